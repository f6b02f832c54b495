#include "common/values/ItemType.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <set>
#include <string>

namespace {

struct STExpected {
    int nItem;
    const wchar_t* pszName;
    unsigned nTQType;
};

// The item types with their names and host types, as the data engine defines them.
const STExpected gs_expected[] = {
    {0, L"NA_IT_EMPTY", 0},         {1, L"NA_IT_IDAUTO", 9},        {2, L"NA_IT_TEXTE", 19},
    {3, L"NA_IT_I2", 7},            {4, L"NA_IT_I1", 6},            {5, L"NA_IT_I4", 8},
    {6, L"NA_IT_R4", 11},           {7, L"NA_IT_R8", 12},           {9, L"NA_IT_UI2", 3},
    {10, L"NA_IT_DATE6", 128},      {11, L"NA_IT_HEURE", 129},      {12, L"NA_IT_UI1", 2},
    {13, L"NA_IT_REELTURBO", 12},   {14, L"NA_IT_DATE8", 128},      {15, L"NA_IT_MEMOTEXTE", 19},
    {16, L"NA_IT_MEMOBINAIRE4", 28}, {17, L"NA_IT_MONETAIRE", 10},  {18, L"NA_IT_MEMOBINAIRE", 28},
    {19, L"NA_IT_I8", 9},           {20, L"NA_IT_UI8", 5},          {21, L"NA_IT_IMAGE", 19},
    {22, L"NA_IT_UI4", 4},          {23, L"NA_IT_BINAIRE", 28},     {24, L"NA_IT_DATETIME", 26},
    {25, L"NA_IT_TIMELENGHT", 27},  {26, L"NA_IT_CHAR", 17},        {27, L"NA_IT_BOOLEEN", 1},
    {28, L"NA_IT_IDAUTO4", 8},      {29, L"NA_IT_UNICODE", 16},     {30, L"NA_IT_MEMOUNICODE", 16},
    {31, L"NA_IT_DECIMAL", 13},
};

std::wstring Name(int n)
{
    return g_pszGetNAItemTypeName(static_cast<eNA_ITEMTYPE>(n));
}

} // namespace

TEST(ItemType, NamesAndHostTypesOfEveryCode)
{
    for (const STExpected& e : gs_expected) {
        SCOPED_TRACE(e.nItem);
        EXPECT_EQ(Name(e.nItem), e.pszName);
        EXPECT_EQ(ConverteItemToTQType(static_cast<eNA_ITEMTYPE>(e.nItem), -1), e.nTQType);
        // The size plays no part.
        EXPECT_EQ(ConverteItemToTQType(static_cast<eNA_ITEMTYPE>(e.nItem), 4000), e.nTQType);
    }
    // The enumerators carry the codes their names say.
    EXPECT_EQ(NA_IT_UI2, 9);
    EXPECT_EQ(NA_IT_DATE6, 10);
    EXPECT_EQ(NA_IT_TIMELENGHT, 25);
    EXPECT_EQ(NA_IT_DECIMAL, 31);
    EXPECT_STREQ(g_pszGetNAItemTypeName(NA_IT_MEMOBINAIRE4), L"NA_IT_MEMOBINAIRE4");
}

TEST(ItemType, UnknownCodes)
{
    for (int n : {8, -1, 32, -2147483647 - 1, 1000}) {
        SCOPED_TRACE(n);
        EXPECT_EQ(Name(n), L"Type inconnu");
        EXPECT_EQ(ConverteItemToTQType(static_cast<eNA_ITEMTYPE>(n), -1), 0u);
        EXPECT_EQ(bIsTextAW(static_cast<eNA_ITEMTYPE>(n)), 0);
    }
}

TEST(ItemType, HostTypeToItemType)
{
    // host type -> item type, every row; all other codes give NA_IT_EMPTY.
    const int tab[][2] = {{1, 27},  {2, 12},  {3, 9},   {4, 22},   {14, 22}, {5, 20},  {6, 4},   {7, 3},
                          {8, 5},   {9, 19},  {10, 17}, {11, 6},   {12, 7},  {13, 31}, {16, 30}, {17, 26},
                          {18, 2},  {19, 15}, {24, 14}, {128, 14}, {25, 11}, {129, 11}, {26, 24}, {27, 25},
                          {28, 18}, {81, 29}, {110, 29}};
    for (int t = 0; t <= 0xFFFF; ++t) {
        int expected = 0;
        for (const auto& row : tab)
            if (row[0] == t)
                expected = row[1];
        ASSERT_EQ(ConvertTQTypeToeItem(static_cast<unsigned short>(t)), expected) << "host type " << t;
    }
    // A flagged type word is not a host type code.
    EXPECT_EQ(ConvertTQTypeToeItem(0x100 | 19), NA_IT_EMPTY);
    EXPECT_EQ(ConvertTQTypeToeItem(15), NA_IT_EMPTY);
}

TEST(ItemType, RoundTrips)
{
    // Item -> host -> item: stable for the types the reverse map produces,
    // moved to the memo or canonical form for the others.
    const int moved[][2] = {{1, 19},  {10, 14}, {13, 7},  {16, 18}, {2, 15},  {21, 15},
                            {23, 18}, {28, 5},  {29, 30}, {0, 0}};
    std::set<int> produced;
    for (const STExpected& e : gs_expected) {
        SCOPED_TRACE(e.nItem);
        const unsigned tq = ConverteItemToTQType(static_cast<eNA_ITEMTYPE>(e.nItem), -1);
        const int back = ConvertTQTypeToeItem(static_cast<unsigned short>(tq));
        int expected = e.nItem;
        for (const auto& m : moved)
            if (m[0] == e.nItem)
                expected = m[1];
        EXPECT_EQ(back, expected);
        produced.insert(back);
        // And host -> item -> host is stable for every host type an item maps to.
        EXPECT_EQ(ConverteItemToTQType(static_cast<eNA_ITEMTYPE>(back), -1), tq);
    }
    // Never produced by the reverse map.
    for (int n : {1, 13, 10, 21, 23, 16, 28})
        EXPECT_EQ(produced.count(n), 0u) << n;
    EXPECT_EQ(ConvertTQTypeToeItem(static_cast<unsigned short>(ConverteItemToTQType(NA_IT_UNICODE, -1))),
              NA_IT_MEMOUNICODE);
}

TEST(ItemType, TextTests)
{
    for (int n = -1; n <= 32; ++n) {
        const eNA_ITEMTYPE e = static_cast<eNA_ITEMTYPE>(n);
        const int ansi = (n == 2 || n == 15) ? 1 : 0;
        const int wide = (n == 29 || n == 30) ? 1 : 0;
        EXPECT_EQ(bIsTextAnsi(e), ansi) << n;
        EXPECT_EQ(bIsTextUnicode(e), wide) << n;
        EXPECT_EQ(bIsTextAW(e), ansi | wide) << n;
    }
    // A character and an image travel as 8-bit text but are not text items.
    EXPECT_EQ(bIsTextAnsi(NA_IT_CHAR), 0);
    EXPECT_EQ(ConverteItemToTQType(NA_IT_IMAGE, -1), 19u);
    EXPECT_EQ(bIsTextAW(NA_IT_IMAGE), 0);
}

namespace {

// Stands in for an item description: counts what the mapping reads.
class CFakeItem {
public:
    CFakeItem(int type, unsigned size) : m_nType(type), m_nSize(size) {}
    eNA_ITEMTYPE eNAGetItemType() const
    {
        ++m_nTypeCalls;
        return static_cast<eNA_ITEMTYPE>(m_nType);
    }
    unsigned nGetItemSize() const
    {
        ++m_nSizeCalls;
        return m_nSize;
    }
    int m_nType;
    unsigned m_nSize;
    mutable int m_nTypeCalls = 0;
    mutable int m_nSizeCalls = 0;
};

} // namespace

TEST(ItemType, FromDescription)
{
    CFakeItem date(NA_IT_DATE8, 8);
    EXPECT_EQ(ConverteItemToTQType(&date), 128u);
    EXPECT_EQ(date.m_nTypeCalls, 1);
    EXPECT_EQ(date.m_nSizeCalls, 1);

    CFakeItem wide(NA_IT_MEMOUNICODE, 0xFFFFFFFFu);
    EXPECT_EQ(ConverteItemToTQType(&wide), 16u);
    CFakeItem unknown(8, 4);
    EXPECT_EQ(ConverteItemToTQType(&unknown), 0u);
    EXPECT_EQ(ConverteItemToTQType(static_cast<const CFakeItem*>(nullptr)), 0u);
}
