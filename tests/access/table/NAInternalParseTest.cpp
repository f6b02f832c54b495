// Internal queries over recorded results: rows as text when a fetch or a
// value read fails, the object without a statement, a run again, and each
// private data access and statement destroyed once.
#include "access/table/NAInternalParse.h"

#include "access/driver/NAError.h"
#include "access/statement/NARecordCache.h"
#include "access/statement/NAStatement.h"
#include "access/table/NADataAccess.h"
#include "common/text/XYStringConcat.h"
#include "common/values/Any.h"
#include "mysql/MySQLDriver.h"
#include "tests/support/RecordingStatementSQL.h"
#include "tests/support/ValueCells.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

extern "C" int bInitLibrary(HINSTANCE hModule);

namespace {

struct SScript {
    std::vector<std::wstring> tabColumn;
    std::vector<std::vector<const wchar_t*>> tabRow;
    long long llFailFetchRow = -1; // a fetch reaching this row fails
    long long llFailValueRow = -1; // the values of this row cannot be read
    int nReruns = 0;
    int nLiveAccess = 0, nMadeAccess = 0;
    int nLiveStatement = 0, nMadeStatement = 0;
};

class CScriptedSQL : public CRecordingStatementSQL {
public:
    CScriptedSQL(CNAConnectionDescription* pCnx, CNAError* pError, SScript* pScript)
        : CRecordingStatementSQL(pCnx, pError), m_pScript(pScript)
    {
        m_tabColumnName = pScript->tabColumn;
        m_tabRow = pScript->tabRow;
    }
    int bFetch(unsigned int nFlags) override
    {
        const int b = CRecordingStatementSQL::bFetch(nFlags);
        if (m_llCurrentRow == m_pScript->llFailFetchRow) {
            m_pclError->RaiseUserError(NA_ERRORTYPE_GENERAL, 100, 2, nullptr, nullptr, nullptr, 38);
            return 0;
        }
        return b;
    }
    int bGetValue(CNAConvertVariant* pclCell, unsigned int nColumn, unsigned int nFlags) override
    {
        if (m_llCurrentRow == m_pScript->llFailValueRow) {
            m_pclError->RaiseUserError(NA_ERRORTYPE_GENERAL, 100, 3, nullptr, nullptr, nullptr, 38);
            return 0;
        }
        return CRecordingStatementSQL::bGetValue(pclCell, nColumn, nFlags);
    }
    using CRecordingStatementSQL::bGetValue;
    // Text columns of up to 20 characters.
    int _bInitTabNAColumn() override
    {
        if (!CRecordingStatementSQL::_bInitTabNAColumn())
            return 0;
        for (unsigned int i = 0; i < m_nColumnCount; i++) {
            m_ptabColumn[i].m_eItemType = NA_IT_UNICODE;
            m_ptabColumn[i].m_nSize = 20;
            m_ptabColumn[i].m_ullLength = 20;
        }
        return 1;
    }
    int bExecutePreparedQuery(unsigned int) override
    {
        m_pScript->nReruns++;
        m_llCurrentRow = -1;
        return _bExecuteDirect("again", nullptr, 0);
    }

private:
    SScript* m_pScript;
};

class CCountedStatement : public CNAStatement {
public:
    CCountedStatement(CNAError* pError, CNAStatementSQL* pSQL, SScript* pScript)
        : CNAStatement(pError, pSQL), m_pScript(pScript)
    {
        m_pScript->nLiveStatement++;
        m_pScript->nMadeStatement++;
    }
    ~CCountedStatement() override { m_pScript->nLiveStatement--; }

private:
    SScript* m_pScript;
};

class CCountedAccess : public CNADataAccess {
public:
    CCountedAccess(CNAConnectionDescription* pCnx, CNAError* pError, SScript* pScript)
        : CNADataAccess(nullptr, pCnx, pError), m_pScript(pScript)
    {
        m_pScript->nLiveAccess++;
        m_pScript->nMadeAccess++;
    }
    ~CCountedAccess() override { m_pScript->nLiveAccess--; }

private:
    SScript* m_pScript;
};

class CScriptedDriver : public CMySQLDriver {
public:
    SScript m_st;
    CNADataAccess* pclAllocDataAccess(INADataSourceDescription*, CNAConnectionDescription* pCnx,
                                      CNAError* pError) override
    {
        return new CCountedAccess(pCnx, pError, &m_st);
    }
    CNAStatement* pclAllocStatement(CNADataAccess*, CNAConnectionDescription* pCnx, CNAError* pError) override
    {
        return new CCountedStatement(pError, new CScriptedSQL(pCnx, pError, &m_st), &m_st);
    }
};

// A connection that is open for the data access.
class COpenConnection : public CTestConnection {
public:
    COpenConnection() : CTestConnection(1252, 65001, DS_MYSQL) {}
    int bOpen(CNAError*) override { return 1; }
    int bIsOpen() override { return 1; }
};

class NAInternalParse : public ::testing::Test {
protected:
    void SetUp() override
    {
        BindValueMachine();
        bInitLibrary(nullptr);
        m_pFormer = CNADriver::s_pclDriver;
        m_pDriver = new CScriptedDriver;
        m_pDriver->ExternalAddRef();
        ASSERT_EQ(m_pDriver->bInitDriver(), 1);
        CNADriver::s_pclDriver = m_pDriver;
        m_pError = new CNAError;
        m_pError->AddRef();
        m_pCnx = new COpenConnection;
        m_pCnx->AddRef();
        m_pDriver->m_st.tabColumn = {L"a", L"b"};
        m_pDriver->m_st.tabRow = {{L"x", L"1"}, {L"y", nullptr}, {L"z", L"3"}};
    }
    void TearDown() override
    {
        EXPECT_EQ(m_pDriver->m_st.nLiveAccess, 0);
        EXPECT_EQ(m_pDriver->m_st.nLiveStatement, 0);
        EXPECT_EQ(m_pCnx->nRelease(), 0u);
        EXPECT_EQ(m_pError->nRelease(), 0u);
        CNADriver::s_pclDriver = m_pFormer;
        m_pDriver->nExternalRelease();
    }
    static std::string Narrow(const wchar_t* psz)
    {
        std::string s;
        for (; psz != nullptr && *psz != 0; psz++)
            s += static_cast<char>(*psz);
        return s;
    }
    std::string Text(const CXYStringConcat<wchar_t>& cl)
    {
        std::string s;
        for (const wchar_t* p = cl.pszGet(); *p != 0; p++)
            s += static_cast<char>(*p);
        return s;
    }

    CNADriver* m_pFormer = nullptr;
    CScriptedDriver* m_pDriver = nullptr;
    CNAError* m_pError = nullptr;
    COpenConnection* m_pCnx = nullptr;
};

} // namespace

TEST_F(NAInternalParse, RowsAsTextAndFailedReads)
{
    const struct {
        const char* pszCase;
        long long llFailFetch;
        long long llFailValue;
        int bExpected;
        const char* pszExpected;
    } cases[] = {
        {"every row", -1, -1, 1, "x\t1\r\ny\t\r\nz\t3"},
        {"a fetch fails on row 2", 1, -1, 0, "x\t1"},
        {"a value fails on row 2", -1, 1, 0, "x\t1"},
        {"a fetch fails on row 1", 0, -1, 0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pszCase);
        m_pDriver->m_st.llFailFetchRow = c.llFailFetch;
        m_pDriver->m_st.llFailValueRow = c.llFailValue;
        const int nMade = m_pDriver->m_st.nMadeAccess;
        CXYStringConcat<wchar_t> clText;
        m_pError->Reset();
        EXPECT_EQ(CNAInternalParse::s_bDoInternalParse(L"SELECT a, b FROM t", m_pError, m_pCnx, &clText, L"\r\n",
                                                       L"\t"),
                  c.bExpected)
            << Narrow(m_pError->pszGetError());
        EXPECT_EQ(Text(clText), c.pszExpected);
        if (!c.bExpected) {
            EXPECT_NE(m_pError->nGetUserErrorCode(), 0u) << "the failure is reported";
        }
        EXPECT_EQ(m_pDriver->m_st.nMadeAccess, nMade + 1);
        EXPECT_EQ(m_pDriver->m_st.nLiveAccess, 0) << "its data access went with it";
        EXPECT_EQ(m_pDriver->m_st.nLiveStatement, 0);
    }
}

TEST_F(NAInternalParse, WithoutAStatementAndRunAgain)
{
    CNAInternalParse clEmpty(m_pError, m_pCnx);
    int bOut = 0;
    EXPECT_EQ(clEmpty.bFetch(NA_PARSE_FIRST, &bOut), 1);
    EXPECT_EQ(bOut, 1);
    CAny aValues[2];
    bOut = 5;
    EXPECT_EQ(clEmpty.bFetchData(NA_PARSE_FIRST, &bOut, aValues, 2), 0);
    CXYStringConcat<wchar_t> clText;
    clText.Add(L"k");
    EXPECT_EQ(clEmpty.bFetchData(NA_PARSE_FIRST, &bOut, &clText, L";", L","), 0);
    EXPECT_EQ(bOut, 5) << "not written";
    EXPECT_EQ(clEmpty.bFetchAll(&clText, L";", L","), 0);
    EXPECT_EQ(Text(clText), "k");
    EXPECT_EQ(clEmpty.nGetColumnNbr(), 0);
    EXPECT_EQ(clEmpty.bReExecute(), 0);

    CNAInternalParse* p = CNAInternalParse::s_pclGetNAInternalParse(L"SELECT a, b FROM t", m_pError, m_pCnx);
    ASSERT_NE(p, nullptr) << Narrow(m_pError->pszGetError());
    EXPECT_EQ(p->m_nRefCount, 0) << "the caller takes its own";
    p->m_nRefCount++;
    EXPECT_EQ(p->nGetColumnNbr(), 2);
    EXPECT_EQ(p->bFetchAll(&clText, L";", L","), 1);
    EXPECT_EQ(Text(clText), "k;x,1;y,;z,3");
    EXPECT_EQ(p->bReExecute(), 1);
    EXPECT_EQ(m_pDriver->m_st.nReruns, 1);
    EXPECT_EQ(p->bFetch(NA_PARSE_FIRST, &bOut), 1);
    EXPECT_EQ(bOut, 0);
    CXYStringConcat<wchar_t> clRow;
    EXPECT_EQ(p->bFetchData(NA_PARSE_NEXT, &bOut, &clRow, L";", L","), 1);
    EXPECT_EQ(Text(clRow), "y,") << "no separator before the first row of an empty text";
    EXPECT_EQ(p->dwRelease(), 0u);
    EXPECT_EQ(m_pDriver->m_st.nMadeAccess, 1);
    EXPECT_EQ(m_pDriver->m_st.nMadeStatement, 1) << "one statement, renamed, for the whole run";
}
