#include "access/driver/NAItemDescription.h"
#include "tests/support/ClosedConnection.h"

#include <gtest/gtest.h>

#include <set>

namespace {

// A description filled field by field, counting its destructions.
class CTestItem : public CNAItemDescription {
public:
    explicit CTestItem(int* pnDestroyed = nullptr) : m_pnDestroyed(pnDestroyed) {}
    ~CTestItem() override { if (m_pnDestroyed != nullptr) (*m_pnDestroyed)++; }
    void Set(eNA_ITEMTYPE eType, unsigned int nSize, unsigned int nDimension, int nDBType)
    {
        m_eItemType = eType;
        m_nItemSize = nSize;
        m_nDimension = nDimension;
        m_nDBType = nDBType;
    }

private:
    int* m_pnDestroyed;
};

// A connection whose database knows no server type number above 100.
class CPickyConnection : public CClosedConnection {
public:
    int bDBTypeUnkwnownByDB(int nDBType) override { return nDBType > 100; }
};

TEST(NAItemDescription, DecimalInfoOfHostTypes)
{
    // No precision (digits untouched, scale 0): reals, texts, dates, past 27.
    struct { unsigned short nType; int bAnswer, nDigits, nDecimals; } const tab[] = {
        {1, 1, 1, 0},   {2, 1, 3, 0},   {6, 1, 3, 0},   {3, 1, 5, 0},   {7, 1, 5, 0},    {4, 1, 10, 0},
        {8, 1, 10, 0},  {14, 1, 10, 0}, {5, 1, 19, 0},  {9, 1, 19, 0},  {27, 1, 19, 0},  {10, 1, 33, 5},
        {0, 0, -7, 0},  {11, 0, -7, 0}, {12, 0, -7, 0}, {13, 0, -7, 0}, {15, 0, -7, 0},  {16, 0, -7, 0},
        {19, 0, -7, 0}, {26, 0, -7, 0}, {28, 0, -7, 0}, {81, 0, -7, 0}, {110, 0, -7, 0}, {300, 0, -7, 0},
    };
    for (const auto& st : tab) {
        SCOPED_TRACE(st.nType);
        int nDigits = -7, nDecimals = -7;
        EXPECT_EQ(CNAItemDescription::s_bGetDecimalInfo(st.nType, &nDigits, &nDecimals), st.bAnswer);
        EXPECT_EQ(nDigits, st.nDigits);
        EXPECT_EQ(nDecimals, st.nDecimals);
    }
}

TEST(NAItemDescription, DatabaseTypeAndHostInterface)
{
    CPickyConnection cnx;
    CClosedConnection cnxBase;
    CTestItem it;
    it.Set(NA_IT_I4, 4, 1, 0);
    EXPECT_EQ(it.eNAGetDBType(&cnxBase), NA_IT_EMPTY); // no server type number
    it.Set(NA_IT_I4, 4, 1, 3);
    EXPECT_EQ(it.eNAGetDBType(&cnxBase), NA_IT_I4);
    EXPECT_EQ(it.eNAGetDBType(nullptr), NA_IT_I4);
    it.Set(NA_IT_TEXTE, 21, 1, 253);
    EXPECT_EQ(it.eNAGetDBType(&cnx), NA_IT_EMPTY); // unknown to that database
    EXPECT_EQ(it.eNAGetDBType(&cnxBase), NA_IT_TEXTE);
    // The host interface.
    it.Set(NA_IT_UNICODE, 42, 3, 0);
    INAItemDescription* pi = &it;
    EXPECT_EQ(pi->nGetVersion(), 9);
    EXPECT_EQ(pi->nGetCompatSince(), 1);
    EXPECT_EQ(pi->nGetTotalSize(), 126u);
    EXPECT_EQ(pi->nGetLogicalSize(-1), 60);
    EXPECT_EQ(pi->nGetLogicalSize(0), 20);
    EXPECT_EQ(pi->bMemo(), 0);
    it.Set(NA_IT_MEMOBINAIRE, 8, 1, 0);
    EXPECT_EQ(pi->bMemoBinary(), 1);
    EXPECT_EQ(pi->bMemoText(), 0);
    it.Set(NA_IT_MEMOBINAIRE4, 8, 1, 0);
    EXPECT_EQ(pi->bMemo(), 0);
    // Fixed answers: no key sizes, index paths, locale or links.
    pi->SetKeySize(12);
    pi->SetComponentKeySize(12, 1);
    EXPECT_EQ(pi->nGetKeySize(), 0u);
    EXPECT_EQ(pi->nGetComponentKeySize(1), 0u);
    EXPECT_EQ(pi->pszGetXBaseIndexPath(), nullptr);
    EXPECT_EQ(pi->pszGetXBaseKeyExpression(), nullptr);
    EXPECT_EQ(pi->pszGetUnicodeLocale(), nullptr);
    EXPECT_EQ(pi->nGetNumForeignLink(), 0);
}

TEST(NAItemDescription, TypeClassesOfEveryType)
{
    // Numbers, the 8-bit text and the memos, as the host asks of each type.
    const std::set<int> setNumerical = {1, 3, 4, 5, 6, 7, 9, 12, 13, 17, 19, 20, 22, 25, 27, 28, 31};
    const std::set<int> setMemoText = {15, 30};
    CTestItem it;
    INAItemDescription* pi = &it;
    for (int nType = 0; nType <= 32; nType++) {
        SCOPED_TRACE(nType);
        it.Set(static_cast<eNA_ITEMTYPE>(nType), 8, 1, 0);
        EXPECT_EQ(pi->bNumerical(), setNumerical.count(nType) != 0 ? 1 : 0);
        EXPECT_EQ(pi->bLiteral(), nType == 2 ? 1 : 0);
        EXPECT_EQ(pi->bMemoText(), setMemoText.count(nType) != 0 ? 1 : 0);
        EXPECT_EQ(pi->bMemoBinary(), nType == 18 ? 1 : 0);
        EXPECT_EQ(pi->bMemo(), setMemoText.count(nType) != 0 || nType == 18 ? 1 : 0);
    }
}

TEST(NAItemDescription, KeyAnswersOfEachFlag)
{
    struct {
        unsigned short nFlags;
        int bKey, bPrimary, bUnique, bDuplicates, bComposed, bAscendant, bDescendant, bCase, bPunctuation, bAccent;
    } const tab[] = {
        {0x0000, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
        {0x0800, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, // ascending alone is no key
        {0x2800, 1, 0, 0, 1, 0, 1, 0, 0, 0, 0},
        {0x2000, 1, 0, 0, 1, 0, 1, 0, 0, 0, 0}, // a key is ascending unless descending
        {0x4400, 1, 0, 1, 0, 0, 0, 1, 0, 0, 0},
        {0x8800, 1, 1, 1, 0, 0, 1, 0, 0, 0, 0}, // a primary key is unique
        {0x5000, 1, 0, 1, 0, 1, 1, 0, 0, 0, 0},
        {0x1000, 1, 0, 0, 0, 1, 1, 0, 0, 0, 0},
        {0x0400, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0}, // flags answer on any item
        {0x2080, 1, 0, 0, 1, 0, 1, 0, 1, 0, 0},
        {0x2040, 1, 0, 0, 1, 0, 1, 0, 0, 1, 0},
        {0x2020, 1, 0, 0, 1, 0, 1, 0, 0, 0, 1},
    };
    CTestItem it;
    INAItemDescription* pi = &it;
    for (const auto& st : tab) {
        SCOPED_TRACE(st.nFlags);
        it.bSetKey(0, st.nFlags);
        EXPECT_EQ(pi->bIsKey(), st.bKey);
        EXPECT_EQ(pi->bPrimary(), st.bPrimary);
        EXPECT_EQ(pi->bUnique(), st.bUnique);
        EXPECT_EQ(pi->bDuplicates(), st.bDuplicates);
        EXPECT_EQ(pi->bIsComposedKey(), st.bComposed);
        EXPECT_EQ(pi->bGetAscendant(1), st.bAscendant);
        EXPECT_EQ(pi->bGetDescendant(1), st.bDescendant);
        EXPECT_EQ(pi->bGetIgnoreCase(1), st.bCase);
        EXPECT_EQ(pi->bGetIgnorePunctuation(1), st.bPunctuation);
        EXPECT_EQ(pi->bGetIgnoreAccent(1), st.bAccent);
    }
}

TEST(NAItemDescription, ExternalReferencesInternalHoldAndArrays)
{
    int nDestroyed = 0;
    CTestItem* p = new CTestItem(&nDestroyed);
    p->ExternalAddRef();
    p->ExternalAddRef();
    EXPECT_EQ(p->nExternalRelease(), 1u);
    EXPECT_EQ(p->nExternalRelease(), 0u);
    EXPECT_EQ(nDestroyed, 1);
    // An internal holder keeps the object past its last external release.
    p = new CTestItem(&nDestroyed);
    p->AddRef();
    p->ExternalAddRef();
    EXPECT_EQ(p->nExternalRelease(), 0u);
    EXPECT_EQ(nDestroyed, 1);
    EXPECT_EQ(p->nExternalRelease(), 0u); // at 0: nothing happens
    EXPECT_EQ(nDestroyed, 1);
    EXPECT_EQ(p->nRelease(), 0u);
    EXPECT_EQ(nDestroyed, 2);
    // Arrays hold external references.
    nDestroyed = 0;
    p = new CTestItem(&nDestroyed);
    p->AddRef(); // the test's own hold
    {
        CRefArray<CNAItemDescription> tab;
        tab.Ajoute(p);
        tab.Ajoute(p);
        EXPECT_EQ(p->nGetExternalRef(), 2u);
    }
    EXPECT_EQ(p->nGetExternalRef(), 0u);
    EXPECT_EQ(nDestroyed, 0);
    {
        CRefArray<CNAItemDescription> tab;
        tab.Ajoute(p);
        p->nRelease();
        EXPECT_EQ(nDestroyed, 0);
    }
    EXPECT_EQ(nDestroyed, 1); // the array held the last reference
}

} // namespace
