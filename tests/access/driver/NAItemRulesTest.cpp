#include "access/driver/NAItemDescription.h"
#include "tests/support/ValueCells.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class ItemRules : public ::testing::Test {
protected:
    void SetUp() override { BindValueMachine(); }
};

// A description filled through bInit, on the heap with one internal reference.
struct STInit {
    eNA_ITEMTYPE eType;
    unsigned nSize;
    int nInteger, nDecimal;
};

ItemPtr Init(const STInit& st, unsigned short nKeyFlags = 0, unsigned nDimension = 1)
{
    ItemPtr p = Item(NA_IT_EMPTY);
    EXPECT_EQ(p->bInit(L"N", L"S", L"NS", nDimension, st.nSize, st.eType, 3, 2, nKeyFlags, st.nInteger, st.nDecimal), 1);
    return p;
}

TEST_F(ItemRules, InitTypesSizesPartsAndDefault)
{
    struct { STInit in; eNA_ITEMTYPE eType; unsigned nSize; int nInteger, nDecimal; unsigned nOptions; } const tab[] = {
        {{NA_IT_EMPTY, 40, 0, 0}, NA_IT_TEXTE, 1, 0, 0, 0},
        {{NA_IT_DECIMAL, 9, 12, 2}, NA_IT_DECIMAL, 9, 12, 2, 0},
        {{NA_IT_DECIMAL, 9, 8, 2}, NA_IT_DECIMAL, 9, 8, 2, 0},      // a currency answer keeps the digits
        {{NA_IT_DECIMAL, 11, 19, 0}, NA_IT_DECIMAL, 11, 19, 0, 0},  // so does an integer answer
        {{NA_IT_DECIMAL, 18, 30, 10}, NA_IT_R8, 8, 0, 0, 0},
        {{NA_IT_DATETIME, 8, 5, 3}, NA_IT_DATETIME, 8, 0, 3, 0},
        {{NA_IT_HEURE, 10, 5, 3}, NA_IT_HEURE, 10, 0, 3, 0},
        {{NA_IT_I4, 4, 5, 3}, NA_IT_I4, 4, 0, 0, 0},
        {{NA_IT_MEMOTEXTE, 0, 0, 0}, NA_IT_MEMOTEXTE, 8, 0, 0, 0},
        {{NA_IT_MEMOBINAIRE, 100, 0, 0}, NA_IT_MEMOBINAIRE, 8, 0, 0, 0},
        {{NA_IT_IDAUTO, 8, 0, 0}, NA_IT_IDAUTO, 8, 0, 0, 0x3},
        {{NA_IT_IDAUTO4, 4, 0, 0}, NA_IT_IDAUTO4, 4, 0, 0, 0x3},
    };
    for (const auto& st : tab) {
        SCOPED_TRACE(static_cast<int>(st.in.eType));
        ItemPtr p = Init(st.in);
        EXPECT_EQ(p->eNAGetItemType(), st.eType);
        EXPECT_EQ(p->nGetItemSize(), st.nSize);
        EXPECT_EQ(p->nGetIntegerPart(), st.nInteger);
        EXPECT_EQ(p->nGetDecimalPart(), st.nDecimal);
        EXPECT_EQ(p->nGetOptions(), st.nOptions);
        EXPECT_EQ(p->pclGetDefaultValue(0)->nGetTypeCode(), p->eGetItemTQType());
        EXPECT_TRUE(p->pclGetDefaultValue(0)->bIsNull());
    }
    ItemPtr p = Init({NA_IT_TEXTE, 11, 0, 0}, 0x2800);
    EXPECT_EQ(std::wstring(p->pszGetName()), L"N");
    EXPECT_EQ(std::wstring(p->pszGetSourceName()), L"S");
    EXPECT_EQ(std::wstring(p->pszGetNameInSource()), L"NS");
    EXPECT_EQ(p->nGetPhysicalIndice(), 3);
    EXPECT_EQ(p->nGetKeyIndice(), 2);
    EXPECT_EQ(p->bDuplicates(), 1);
}

TEST_F(ItemRules, LogicalSizeOfAllElementsAndOne)
{
    struct { eNA_ITEMTYPE eType; unsigned nSize; unsigned nDimension; unsigned short nFlags; int nAll, nOne; } const tab[] = {
        {NA_IT_TEXTE, 11, 3, 0, 30, 10},
        {NA_IT_UNICODE, 42, 3, 0, 60, 20},
        {NA_IT_BINAIRE, 18, 2, 0, 32, 16},
        {NA_IT_BINAIRE, 18, 2, 0x1000, 36, 18},
        {NA_IT_I4, 4, 5, 0, 20, 4},
        {NA_IT_MEMOTEXTE, 8, 1, 0, 8, 8},
    };
    for (const auto& st : tab) {
        SCOPED_TRACE(static_cast<int>(st.eType));
        ItemPtr p = Init({st.eType, st.nSize, 0, 0}, st.nFlags, st.nDimension);
        EXPECT_EQ(p->nGetLogicalSize(-1), st.nAll);
        EXPECT_EQ(p->nGetLogicalSize(0), st.nOne);
        EXPECT_EQ(p->nGetTotalSize(), st.nSize * st.nDimension);
    }
}

TEST_F(ItemRules, RecordSizeOfEveryType)
{
    struct { int eType; unsigned nSize; int nDigits; unsigned nKX; } const tab[] = {
        {0, 5, 0, 0},    {1, 5, 0, 8},    {2, 10, 0, 11},  {3, 5, 0, 2},    {4, 5, 0, 1},    {5, 5, 0, 4},
        {6, 5, 0, 4},    {7, 5, 0, 8},    {8, 5, 0, 0},    {9, 5, 0, 2},    {10, 5, 0, 0},   {11, 5, 0, 5},
        {11, 5, 3, 8},   {11, 5, 9, 10},  {11, 5, -2, 5},  {12, 5, 0, 1},   {13, 5, 0, 0},   {14, 5, 0, 9},
        {15, 5, 0, 8},   {16, 5, 0, 0},   {17, 5, 0, 10},  {18, 5, 0, 8},   {19, 5, 0, 8},   {20, 5, 0, 8},
        {21, 5, 0, 24},  {22, 5, 0, 4},   {23, 5, 0, 7},   {24, 5, 0, 8},   {25, 5, 0, 8},   {26, 5, 0, 1},
        {27, 5, 0, 1},   {28, 5, 0, 4},   {29, 10, 0, 44}, {30, 5, 0, 8},   {31, 5, 0, 18},  {31, 5, 10, 7},
        {31, 5, 38, 18}, {31, 5, 60, 18}, {32, 5, 0, 0},
    };
    for (const auto& st : tab)
        EXPECT_EQ(CNAItemDescription::s_nGetKXSize(static_cast<eNA_ITEMTYPE>(st.eType), st.nSize, st.nDigits), st.nKX)
            << st.eType << " " << st.nDigits;
}

TEST_F(ItemRules, AutoIncrementSortAndOptions)
{
    struct { eNA_ITEMTYPE eIn, eOut; } const tab[] = {
        {NA_IT_UI4, NA_IT_IDAUTO4}, {NA_IT_I4, NA_IT_IDAUTO4}, {NA_IT_I8, NA_IT_IDAUTO},
        {NA_IT_UI8, NA_IT_IDAUTO},  {NA_IT_I2, NA_IT_I2},      {NA_IT_TEXTE, NA_IT_TEXTE},
    };
    for (const auto& st : tab) {
        ItemPtr p = Item(st.eIn, 4);
        p->SetAutoIncrement();
        EXPECT_EQ(p->eNAGetItemType(), st.eOut) << st.eIn;
        EXPECT_EQ(p->bAutoIncrement(), 1);
    }
    ItemPtr p = Item(NA_IT_I4, 4);
    p->bSetKey(1, 0x2000);
    p->SetSensTri(1);
    EXPECT_EQ(p->nGetKeyFlags(), 0x2400);
    EXPECT_EQ(p->bGetAscendant(0), 0);
    p->SetSensTri(0);
    EXPECT_EQ(p->nGetKeyFlags(), 0x2800);
    EXPECT_EQ(p->bGetAscendant(0), 1);
    p->SetIgnoreCase(1);
    EXPECT_EQ(p->bGetIgnoreCase(0), 1);
    p->SetIgnoreCase(0);
    EXPECT_EQ(p->bGetIgnoreCase(0), 0);
    p->SetNullable(0);
    EXPECT_EQ(p->bNullable(), 0);
    EXPECT_EQ(p->vbConstraintNullAllowed(), 0);
    p->SetNullable(1);
    EXPECT_EQ(p->bNullable(), 1);
    p->SetNotUpdatable();
    EXPECT_EQ(p->bUpdatable(), 0);
    p->SetSpacePadding();
    EXPECT_EQ(p->bSpacePadding(), 1);
    EXPECT_EQ(p->bGetVariableScale(), 0);
    p->SetVariableScale();
    EXPECT_EQ(p->bGetVariableScale(), 1);
}

TEST_F(ItemRules, ComponentsGrowACompositeKeyAndAreHeld)
{
    ItemPtr pKey = Init({NA_IT_BINAIRE, 0, 0, 0}, 0x1000 | 0x2000);
    ItemPtr pText = Item(NA_IT_TEXTE, 11);
    ItemPtr pWide = Item(NA_IT_UNICODE, 42);
    ItemPtr pInt = Item(NA_IT_I4, 4);
    EXPECT_EQ(pKey->bAddComponent(pText.get()), 1);
    EXPECT_EQ(pKey->nGetItemSize(), 10u);
    EXPECT_EQ(pKey->bAddComponent(pWide.get()), 1);
    EXPECT_EQ(pKey->nGetItemSize(), 50u);
    EXPECT_EQ(pKey->bAddComponent(pInt.get()), 1);
    EXPECT_EQ(pKey->nGetItemSize(), 54u);
    EXPECT_EQ(pKey->bAddComponent(nullptr), 0);
    EXPECT_EQ(pKey->nGetNumComponents(), 3);
    EXPECT_EQ(pText->nGetRef(), 2u);

    for (int i : {0, -1, 4}) {
        EXPECT_EQ(pKey->piGetItemComponent(i), nullptr) << i;
    }
    INAItemDescription* pi = pKey->piGetItemComponent(2);
    EXPECT_EQ(pi, static_cast<INAItemDescription*>(pWide.get()));
    EXPECT_EQ(pWide->nGetExternalRef(), 1u);
    pi->nExternalRelease();
    EXPECT_EQ(CNAItemDescription::bIsComponentOf(pKey.get(), pInt.get()), 1);
    ItemPtr pOther = Item(NA_IT_I4, 4);
    EXPECT_EQ(CNAItemDescription::bIsComponentOf(pKey.get(), pOther.get()), 0);
    EXPECT_EQ(CNAItemDescription::bIsComponentOf(nullptr, pInt.get()), 0);
    EXPECT_EQ(CNAItemDescription::bIsComponentOf(pKey.get(), nullptr), 0);
    EXPECT_EQ(pInt->nGetExternalRef(), 0u);

    // A key that is not composite keeps its size.
    ItemPtr pSimple = Init({NA_IT_I4, 4, 0, 0}, 0x2000);
    pSimple->bAddComponent(pText.get());
    EXPECT_EQ(pSimple->nGetItemSize(), 4u);
    pKey.reset();
    pSimple.reset();
    EXPECT_EQ(pText->nGetRef(), 1u);
}

TEST_F(ItemRules, ChangeTypeRetypesTheDefaultValue)
{
    ItemPtr pAuto = Init({NA_IT_IDAUTO4, 4, 0, 0});
    ItemPtr p = Init({NA_IT_TEXTE, 11, 0, 0});
    p->bChangeType(static_cast<INAItemDescription*>(pAuto.get()), 0);
    EXPECT_EQ(p->eNAGetItemType(), NA_IT_I4);
    p->bChangeType(static_cast<INAItemDescription*>(pAuto.get()), 1);
    EXPECT_EQ(p->eNAGetItemType(), NA_IT_IDAUTO4);

    ItemPtr pDecimal = Init({NA_IT_DECIMAL, 9, 12, 2});
    p->bChangeType(pDecimal.get(), 0);
    EXPECT_EQ(p->nGetIntegerPart(), 12);
    EXPECT_EQ(p->nGetDecimalPart(), 2);
    ItemPtr pTime = Init({NA_IT_HEURE, 10, 0, 3});
    p->bChangeType(pTime.get(), 0);
    EXPECT_EQ(p->nGetIntegerPart(), 0);
    EXPECT_EQ(p->nGetDecimalPart(), 3);

    ItemPtr pText = Init({NA_IT_TEXTE, 11, 0, 0});
    ItemPtr pInt = Init({NA_IT_I4, 4, 0, 0});
    // A NULL default stays NULL in its new type.
    p->bChangeType(pText.get(), 0);
    p->bChangeType(pInt.get(), 0);
    EXPECT_EQ(p->pclGetDefaultValue(0)->nGetTypeCode(), TQTYPE_I4);
    EXPECT_TRUE(p->pclGetDefaultValue(0)->bIsNull());
    // A default that casts keeps its value.
    p->bChangeType(pText.get(), 0);
    CAny v;
    SetA(v, "42");
    EXPECT_LE(p->SetDefaultValue(&v), 99);
    p->bChangeType(pInt.get(), 0);
    EXPECT_EQ(p->pclGetDefaultValue(0)->nGetTypeCode(), TQTYPE_I4);
    EXPECT_EQ(Get<int>(*p->pclGetDefaultValue(0)), 42);
    // One that does not is reset to the empty value of the new type.
    p->bChangeType(pText.get(), 0);
    SetA(v, "not a number");
    EXPECT_LE(p->SetDefaultValue(&v), 99);
    p->bChangeType(pInt.get(), 0);
    EXPECT_EQ(p->pclGetDefaultValue(0)->nGetTypeCode(), TQTYPE_I4);
    EXPECT_FALSE(p->pclGetDefaultValue(0)->bIsNull());
    EXPECT_EQ(Get<int>(*p->pclGetDefaultValue(0)), 0);
    // The memo form.
    p->bChangeTypeMemo(NA_IT_MEMOUNICODE);
    EXPECT_EQ(p->pclGetDefaultValue(0)->nGetTypeCode(), TQTYPE_DSTRW);
}

TEST_F(ItemRules, DefaultValueIsCastToTheItemsType)
{
    ItemPtr p = Init({NA_IT_I4, 4, 0, 0});
    CAny v;
    SetA(v, "42");
    EXPECT_LE(p->SetDefaultValue(&v), 99);
    EXPECT_EQ(p->pclGetDefaultValue(0)->nGetTypeCode(), TQTYPE_I4);
    EXPECT_FALSE(p->pclGetDefaultValue(0)->bIsNull());
    EXPECT_EQ(Get<int>(*p->pclGetDefaultValue(0)), 42);
    // A NULL of another type stays NULL, typed as the item.
    SetA(v, "");
    v.SetNullFlag(true);
    EXPECT_LE(p->SetDefaultValue(&v), 99);
    EXPECT_EQ(p->pclGetDefaultValue(0)->nGetTypeCode(), TQTYPE_I4);
    EXPECT_TRUE(p->pclGetDefaultValue(0)->bIsNull());
}

TEST_F(ItemRules, CompleteDescriptionRebuildsKeyFlags)
{
    struct { unsigned short nOther; int bUnique; unsigned short nExpected; } const tab[] = {
        {0x2800, 0, 0x2800},
        {0x4400 | 0x80 | 0x40 | 0x20, 1, 0x4400 | 0x80 | 0x40 | 0x20},
        {0x4800, 0, 0x2800},
        {0x8800, 1, 0xC800},
        {0x8800, 0, 0xA800},
        {0x1000 | 0x2000, 0, 0x2800},
    };
    for (const auto& st : tab) {
        SCOPED_TRACE(st.nOther);
        ItemPtr pOther = Init({NA_IT_I4, 4, 0, 0}, st.nOther);
        ItemPtr p = Init({NA_IT_TEXTE, 11, 0, 0});
        EXPECT_EQ(p->bCompleteDescription(pOther.get(), st.bUnique, 7), 1);
        EXPECT_EQ(p->nGetKeyFlags(), st.nExpected);
        EXPECT_EQ(p->nGetKeyIndice(), 7);
        EXPECT_EQ(p->eNAGetItemType(), NA_IT_I4);
        EXPECT_EQ(std::wstring(p->pszGetSourceName()), L"S");
    }
    ItemPtr pPlain = Init({NA_IT_I4, 4, 0, 0});
    ItemPtr p = Init({NA_IT_TEXTE, 11, 0, 0}, 0x2800);
    p->bCompleteDescription(pPlain.get(), 0, 7);
    EXPECT_EQ(p->nGetKeyFlags(), 0x2800);  // the other is no key: flags kept
    EXPECT_EQ(p->nGetKeyIndice(), 2);
}

TEST_F(ItemRules, TypeMatchMatrix)
{
    struct { STInit me; STInit other; int bAnsi, bLoose, bMatch; } const tab[] = {
        {{NA_IT_TEXTE, 11, 0, 0}, {NA_IT_TEXTE, 11, 0, 0}, 0, 0, 1},
        {{NA_IT_TEXTE, 11, 0, 0}, {NA_IT_TEXTE, 12, 0, 0}, 0, 0, 0},
        {{NA_IT_UNICODE, 22, 0, 0}, {NA_IT_UNICODE, 24, 0, 0}, 0, 0, 0},
        {{NA_IT_TEXTE, 11, 0, 0}, {NA_IT_UNICODE, 22, 0, 0}, 1, 0, 1},
        {{NA_IT_TEXTE, 11, 0, 0}, {NA_IT_UNICODE, 22, 0, 0}, 0, 0, 0},
        {{NA_IT_MEMOTEXTE, 8, 0, 0}, {NA_IT_MEMOUNICODE, 8, 0, 0}, 1, 0, 1},
        {{NA_IT_BINAIRE, 10, 0, 0}, {NA_IT_BINAIRE, 12, 0, 0}, 0, 0, 0},
        {{NA_IT_HEURE, 10, 0, 0}, {NA_IT_HEURE, 7, 0, 0}, 0, 0, 1},
        {{NA_IT_DECIMAL, 9, 12, 2}, {NA_IT_DECIMAL, 9, 12, 3}, 0, 0, 0},
        {{NA_IT_DECIMAL, 9, 12, 2}, {NA_IT_DECIMAL, 9, 11, 2}, 0, 0, 1},
        {{NA_IT_DATETIME, 8, 0, 3}, {NA_IT_DATETIME, 8, 0, 6}, 0, 0, 0},
        {{NA_IT_DATETIME, 8, 0, 3}, {NA_IT_DATETIME, 8, 0, 6}, 0, 1, 1},
        {{NA_IT_DATETIME, 8, 0, 3}, {NA_IT_DATETIME, 8, 0, 3}, 0, 0, 1},
        {{NA_IT_I4, 4, 0, 0}, {NA_IT_I2, 2, 0, 0}, 0, 0, 1},
        {{NA_IT_I2, 2, 0, 0}, {NA_IT_I4, 4, 0, 0}, 0, 0, 0},
        {{NA_IT_I4, 4, 0, 0}, {NA_IT_UI4, 4, 0, 0}, 0, 0, 1},      // same precision
        {{NA_IT_I8, 8, 0, 0}, {NA_IT_UI4, 4, 0, 0}, 0, 0, 1},
        {{NA_IT_I4, 4, 0, 0}, {NA_IT_R8, 8, 0, 0}, 0, 0, 0},
        {{NA_IT_I8, 8, 0, 0}, {NA_IT_MONETAIRE, 10, 0, 0}, 0, 0, 0},
        {{NA_IT_MONETAIRE, 10, 0, 0}, {NA_IT_I8, 8, 0, 0}, 0, 0, 1},
        {{NA_IT_R8, 8, 0, 0}, {NA_IT_R4, 4, 0, 0}, 0, 0, 1},
        {{NA_IT_R4, 4, 0, 0}, {NA_IT_R8, 8, 0, 0}, 0, 0, 0},
        {{NA_IT_DATE6, 6, 0, 0}, {NA_IT_DATETIME, 8, 0, 0}, 0, 0, 0},
        {{NA_IT_DATE6, 6, 0, 0}, {NA_IT_DATETIME, 8, 0, 0}, 0, 1, 1},
        {{NA_IT_HEURE, 10, 0, 0}, {NA_IT_DATETIME, 8, 0, 0}, 0, 1, 1},
        {{NA_IT_DATE8, 9, 0, 0}, {NA_IT_DATE6, 6, 0, 0}, 0, 0, 1},
        {{NA_IT_DATE8, 9, 0, 0}, {NA_IT_DATETIME, 8, 0, 0}, 0, 0, 0},
        {{NA_IT_DATE8, 9, 0, 0}, {NA_IT_DATETIME, 8, 0, 0}, 0, 1, 1},
        {{NA_IT_MEMOTEXTE, 8, 0, 0}, {NA_IT_TEXTE, 100, 0, 0}, 0, 0, 1},
        {{NA_IT_MEMOTEXTE, 8, 0, 0}, {NA_IT_IMAGE, 5, 0, 0}, 0, 0, 1},
        {{NA_IT_MEMOTEXTE, 8, 0, 0}, {NA_IT_BINAIRE, 5, 0, 0}, 0, 0, 0},
        {{NA_IT_MEMOBINAIRE, 8, 0, 0}, {NA_IT_BINAIRE, 5, 0, 0}, 0, 0, 1},
        {{NA_IT_MEMOBINAIRE4, 8, 0, 0}, {NA_IT_BINAIRE, 5, 0, 0}, 0, 0, 1},
        {{NA_IT_DATETIME, 8, 0, 0}, {NA_IT_DATE8, 9, 0, 0}, 0, 0, 1},
        {{NA_IT_DATETIME, 8, 0, 0}, {NA_IT_HEURE, 10, 0, 0}, 0, 0, 1},
        {{NA_IT_DATETIME, 8, 0, 0}, {NA_IT_TEXTE, 10, 0, 0}, 0, 0, 0},
        {{NA_IT_UNICODE, 22, 0, 0}, {NA_IT_TEXTE, 44, 0, 0}, 0, 0, 1},
        {{NA_IT_UNICODE, 22, 0, 0}, {NA_IT_TEXTE, 45, 0, 0}, 0, 0, 0},
        {{NA_IT_MEMOUNICODE, 8, 0, 0}, {NA_IT_UNICODE, 100, 0, 0}, 0, 0, 1},
        {{NA_IT_MEMOUNICODE, 8, 0, 0}, {NA_IT_I4, 4, 0, 0}, 0, 0, 0},
        {{NA_IT_DECIMAL, 9, 8, 2}, {NA_IT_I4, 4, 0, 0}, 0, 0, 1},
        {{NA_IT_DECIMAL, 9, 5, 2}, {NA_IT_I4, 4, 0, 0}, 0, 0, 0},
        {{NA_IT_DECIMAL, 9, 30, 4}, {NA_IT_MONETAIRE, 10, 0, 0}, 0, 0, 0},
        {{NA_IT_DECIMAL, 18, 30, 5}, {NA_IT_MONETAIRE, 10, 0, 0}, 0, 0, 1},
        {{NA_IT_BOOLEEN, 1, 0, 0}, {NA_IT_TEXTE, 2, 0, 0}, 0, 0, 0},
    };
    for (const auto& st : tab) {
        SCOPED_TRACE(std::to_string(st.me.eType) + " <- " + std::to_string(st.other.eType));
        ItemPtr pMe = Init(st.me);
        ItemPtr pOther = Init(st.other);
        // Decimal parts of dates and times come from bInit's fraction digits.
        EXPECT_EQ(pMe->bTypeMatch(pOther.get(), st.bAnsi, st.bLoose), st.bMatch);
    }
    EXPECT_EQ(Init({NA_IT_I4, 4, 0, 0})->bTypeMatch(nullptr, 0, 1), 0);
}

} // namespace
