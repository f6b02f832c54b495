// Internal queries that cannot start: no data access from the driver, or a
// connection that does not open. Nothing is answered, nothing is left
// alive, and the failure is in the error object the caller gave. An object
// without a query finds no column.
#include "access/table/NAInternalParse.h"

#include "access/driver/NAError.h"
#include "access/table/NADataAccess.h"
#include "common/text/XYStringConcat.h"
#include "mysql/MySQLDriver.h"
#include "tests/support/ValueCells.h"

#include <gtest/gtest.h>

extern "C" int bInitLibrary(HINSTANCE hModule);

namespace {

// A data access that counts the living ones.
class CCountedAccess : public CNADataAccess {
public:
    CCountedAccess(CNAConnectionDescription* pCnx, CNAError* pError, int* pnLive)
        : CNADataAccess(nullptr, pCnx, pError), m_pnLive(pnLive)
    {
        ++*m_pnLive;
    }
    ~CCountedAccess() override { --*m_pnLive; }

private:
    int* m_pnLive;
};

// A driver whose data accesses are counted, or that makes none.
class CFactoryDriver : public CMySQLDriver {
public:
    bool m_bNone = false;
    int m_nLive = 0;
    int m_nMade = 0;
    CNADataAccess* pclAllocDataAccess(INADataSourceDescription*, CNAConnectionDescription* pCnx,
                                      CNAError* pError) override
    {
        if (m_bNone)
            return nullptr;
        ++m_nMade;
        return new CCountedAccess(pCnx, pError, &m_nLive);
    }
};

class InternalParseFailure : public ::testing::Test {
protected:
    void SetUp() override
    {
        BindValueMachine();
        bInitLibrary(nullptr);
        m_pFormer = CNADriver::s_pclDriver;
        m_pDriver = new CFactoryDriver;
        m_pDriver->ExternalAddRef();
        ASSERT_EQ(m_pDriver->bInitDriver(), 1);
        CNADriver::s_pclDriver = m_pDriver;
        m_pError = new CNAError;
        m_pError->AddRef();
        // A connection that never opens.
        m_pCnx = new CTestConnection(1252, 1252, CNAConnectionDescription::DS_MYSQL);
        m_pCnx->AddRef();
    }
    void TearDown() override
    {
        EXPECT_EQ(m_pDriver->m_nLive, 0);
        EXPECT_EQ(m_pCnx->nRelease(), 0u);
        EXPECT_EQ(m_pError->nRelease(), 0u);
        CNADriver::s_pclDriver = m_pFormer;
        m_pDriver->nExternalRelease();
    }

    CNADriver* m_pFormer = nullptr;
    CFactoryDriver* m_pDriver = nullptr;
    CNAError* m_pError = nullptr;
    CTestConnection* m_pCnx = nullptr;
};

} // namespace

TEST_F(InternalParseFailure, NothingStartsAndNothingIsLeft)
{
    for (const bool bNoAccess : {true, false}) {
        SCOPED_TRACE(bNoAccess ? "no data access" : "the connection does not open");
        m_pDriver->m_bNone = bNoAccess;
        const int nMade = m_pDriver->m_nMade;
        m_pError->Reset();
        EXPECT_EQ(CNAInternalParse::s_pclGetNAInternalParse(L"SELECT 1", m_pError, m_pCnx), nullptr);
        CXYStringConcat<wchar_t> clText;
        clText.Add(L"kept");
        EXPECT_EQ(CNAInternalParse::s_bDoInternalParse(L"SELECT 1", m_pError, m_pCnx, &clText, L"\r\n", L"\t"), 0);
        EXPECT_STREQ(clText.pszGet(), L"kept");
        if (bNoAccess) {
            EXPECT_EQ(m_pError->dwGetSystemErrorCode(), 12u) << "a factory makes nothing for want of memory";
        }
        EXPECT_EQ(m_pDriver->m_nMade, nMade + (bNoAccess ? 0 : 2));
        EXPECT_EQ(m_pDriver->m_nLive, 0) << "the private data access went with its object";
    }
}

TEST_F(InternalParseFailure, WithoutAQueryNoColumnIsFound)
{
    CNAInternalParse clEmpty(m_pError, m_pCnx);
    EXPECT_EQ(clEmpty.nGetColumnNbr(), 0);
    EXPECT_EQ(clEmpty.pclGetColumnNoRef(0), nullptr);
    EXPECT_EQ(clEmpty.pclGetColumnNoRef(L"a"), nullptr);
    EXPECT_EQ(clEmpty.pclGetColumnNoRef(static_cast<const wchar_t*>(nullptr)), nullptr);
}
