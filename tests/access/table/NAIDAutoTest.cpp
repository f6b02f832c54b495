// The automatic identifier's life: both internal queries given back by the
// destructor and by their closing operations (the values are asked of the
// server in tests/server/WriteServerTest.cpp).
#include "access/table/NAIDAuto.h"

#include "access/driver/NAError.h"
#include "access/table/NAInternalParse.h"
#include "common/platform/MyModuleInfo.h"
#include "common/platform/XError.h"
#include "common/text/XYStringConcat.h"
#include "common/values/Any.h"
#include "tests/support/TableScope.h"
#include "tests/support/TestDataAccess.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

// An internal query that counts its end.
class CCountedQuery : public CNAInternalParse {
public:
    explicit CCountedQuery(int* pnDestroyed) : CNAInternalParse(nullptr, nullptr), m_pnDestroyed(pnDestroyed)
    {
        m_nRefCount = 1;
    }
    ~CCountedQuery() override { (*m_pnDestroyed)++; }

private:
    int* m_pnDestroyed;
};

// The two fields planted.
class CPlanted : public CNAIDAuto {
public:
    void Plant(CNAInternalParse* pNext, CNAInternalParse* pMax)
    {
        m_pclNextValueQuery = pNext;
        m_pclMaxCurrentValueQuery = pMax;
    }
    bool bEmpty() const { return m_pclNextValueQuery == nullptr && m_pclMaxCurrentValueQuery == nullptr; }
};

} // namespace

TEST(NAIDAuto, DestructorAndClosingGiveTheQueriesBack)
{
    int nDestroyed = 0;
    CPlanted* p = new CPlanted;
    p->AddRef();
    p->Plant(new CCountedQuery(&nDestroyed), new CCountedQuery(&nDestroyed));
    p->_CloseInternalParseNextValue();
    EXPECT_EQ(nDestroyed, 1);
    p->_CloseInternalParseNextValue();
    EXPECT_EQ(nDestroyed, 1) << "nothing left to close";
    p->_CloseInternalParseMaxCurrentValue();
    EXPECT_EQ(nDestroyed, 2);
    EXPECT_TRUE(p->bEmpty());
    p->Plant(new CCountedQuery(&nDestroyed), new CCountedQuery(&nDestroyed));
    EXPECT_EQ(p->nRelease(), 0u);
    EXPECT_EQ(nDestroyed, 4) << "the destructor closes both";
}

namespace {

// A query source on a data access without a connection: the names cannot
// be formatted, and the text says so rather than reading through nothing.
class IdAutoText : public testing::Test, protected CTableScope {};

TEST_F(IdAutoText, AQuerySourceWithoutAConnectionNamesNothing)
{
    m_pTable->Add(L"ident", NA_IT_IDAUTO, 8, CTestTable::UNIQUE, false, L"src", L"i");
    CNARecord* pRecord = m_pTable->NewRecord(m_pError, m_pCnx);
    ASSERT_NE(pRecord, nullptr);
    CTestDataAccess* pAccess = new CTestDataAccess(m_pTable->Get(), nullptr, m_pError);
    pAccess->SetQueryText(L"SELECT i AS ident FROM src");
    CNAIDAuto* pAuto = new CNAIDAuto;
    pAuto->AddRef();
    CXYStringConcat<wchar_t> clText;
    EXPECT_EQ(pAuto->_bBuildQueryGetNextValue(&clText, pAccess, pRecord->pclGetColumnNoRef(0)), 1);
    EXPECT_EQ(std::wstring(clText.pszGet()), L"SELECT MAX()+1 FROM ");
    EXPECT_EQ(pAuto->nRelease(), 0u);
    EXPECT_EQ(pAccess->nRelease(), 0u);
    pRecord->nRelease();
}

} // namespace
