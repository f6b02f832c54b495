#include "access/driver/NAConnectionDescription.h"
#include "access/driver/NAItemDescription.h"
#include "tests/support/TestHost.h"

#include <gtest/gtest.h>

namespace {

// A description filled field by field, counting its destructions.
class CTestItem : public CNAItemDescription {
public:
    explicit CTestItem(int* pnDestroyed = nullptr) : m_pnDestroyed(pnDestroyed) {}
    ~CTestItem() override
    {
        if (m_pnDestroyed != nullptr)
            (*m_pnDestroyed)++;
    }
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
class CPickyConnection : public CNAConnectionDescription {
public:
    int bDBTypeUnkwnownByDB(int nDBType) override { return nDBType > 100; }
};

TEST(NAItemDescription, DecimalInfoOfHostTypes)
{
    struct {
        unsigned short nType;
        int nDigits;
        int nDecimals;
    } const tab[] = {
        {1, 1, 0},   {2, 3, 0},   {6, 3, 0},   {3, 5, 0},   {7, 5, 0},   {4, 10, 0},  {8, 10, 0},
        {14, 10, 0}, {5, 19, 0},  {9, 19, 0},  {27, 19, 0}, {10, 33, 5},
    };
    for (const auto& st : tab) {
        int nDigits = -7, nDecimals = -7;
        EXPECT_EQ(CNAItemDescription::s_bGetDecimalInfo(st.nType, &nDigits, &nDecimals), 1) << st.nType;
        EXPECT_EQ(nDigits, st.nDigits) << st.nType;
        EXPECT_EQ(nDecimals, st.nDecimals) << st.nType;
    }
    // Reals, decimal, texts, dates and codes past 27: no precision; the scale
    // is still set to 0 and the digits untouched.
    const unsigned short anNone[] = {0, 11, 12, 13, 15, 16, 19, 26, 28, 81, 110, 300};
    for (unsigned short nType : anNone) {
        int nDigits = -7, nDecimals = -7;
        EXPECT_EQ(CNAItemDescription::s_bGetDecimalInfo(nType, &nDigits, &nDecimals), 0) << nType;
        EXPECT_EQ(nDigits, -7) << nType;
        EXPECT_EQ(nDecimals, 0) << nType;
    }
}

TEST(NAItemDescription, DatabaseType)
{
    CPickyConnection cnx;
    CNAConnectionDescription cnxBase;
    CTestItem it;
    it.Set(NA_IT_I4, 4, 1, 0);
    EXPECT_EQ(it.eNAGetDBType(&cnxBase), NA_IT_EMPTY); // no server type number
    it.Set(NA_IT_I4, 4, 1, 3);
    EXPECT_EQ(it.eNAGetDBType(&cnxBase), NA_IT_I4);
    EXPECT_EQ(it.eNAGetDBType(nullptr), NA_IT_I4);
    it.Set(NA_IT_TEXTE, 21, 1, 253);
    EXPECT_EQ(it.eNAGetDBType(&cnx), NA_IT_EMPTY); // unknown to that database
    EXPECT_EQ(it.eNAGetDBType(&cnxBase), NA_IT_TEXTE);
}

TEST(NAItemDescription, ExternalReferencesAndTheInternalHold)
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

    // And the other way round.
    p = new CTestItem(&nDestroyed);
    p->ExternalAddRef();
    p->AddRef();
    EXPECT_EQ(p->nRelease(), 0u);
    EXPECT_EQ(nDestroyed, 2);
    EXPECT_EQ(p->nExternalRelease(), 0u);
    EXPECT_EQ(nDestroyed, 3);
}

TEST(NAItemDescription, ArraysHoldExternalReferences)
{
    int nDestroyed = 0;
    CTestItem* p = new CTestItem(&nDestroyed);
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

TEST(NAItemDescription, HostInterfaceAnswers)
{
    CTestItem it;
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
}

} // namespace
