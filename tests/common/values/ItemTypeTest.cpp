#include "common/values/ItemType.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Stands in for an item description.
struct CFakeItem {
    int m_nType;
    unsigned m_nSize;
    eNA_ITEMTYPE eNAGetItemType() const { return static_cast<eNA_ITEMTYPE>(m_nType); }
    unsigned nGetItemSize() const { return m_nSize; }
};

} // namespace

TEST(ItemType, NamesAndHostTypesOfEveryCode)
{
    // The item types with their names and host types, as the data engine defines them.
    const struct {
        int nItem;
        const wchar_t* pszName;
        unsigned nTQType;
    } aExpected[] = {
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
        // Unknown codes, the unused 8 among them.
        {8, L"Type inconnu", 0},        {-1, L"Type inconnu", 0},       {32, L"Type inconnu", 0},
        {-2147483647 - 1, L"Type inconnu", 0},
    };
    for (const auto& e : aExpected) {
        SCOPED_TRACE(e.nItem);
        const eNA_ITEMTYPE eType = static_cast<eNA_ITEMTYPE>(e.nItem);
        EXPECT_EQ(std::wstring(g_pszGetNAItemTypeName(eType)), e.pszName);
        EXPECT_EQ(ConverteItemToTQType(eType, 4000), e.nTQType);  // the size plays no part
        // A character and an image travel as 8-bit text but are not text items.
        const int ansi = (e.nItem == 2 || e.nItem == 15) ? 1 : 0, wide = (e.nItem == 29 || e.nItem == 30) ? 1 : 0;
        EXPECT_EQ(bIsTextAnsi(eType), ansi);
        EXPECT_EQ(bIsTextUnicode(eType), wide);
        EXPECT_EQ(bIsTextAW(eType), ansi | wide);
    }

    // From a description; none, no type.
    const CFakeItem date{NA_IT_DATE8, 8}, wide{NA_IT_MEMOUNICODE, 0xFFFFFFFFu};
    EXPECT_EQ(ConverteItemToTQType(&date), 128u);
    EXPECT_EQ(ConverteItemToTQType(&wide), 16u);
    EXPECT_EQ(ConverteItemToTQType(static_cast<const CFakeItem*>(nullptr)), 0u);
}

TEST(ItemType, HostTypeToItemType)
{
    // host type -> item type, every row; all other codes (flagged type
    // words and 15 among them) give NA_IT_EMPTY.
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
}
