// The driver's own queries on the private server: all rows as text, one
// row into host values, the statement handed out and its record cache off,
// refused texts; the texts the expected answers are compared with come
// from the server itself.
#include "access/driver/NAError.h"
#include "access/statement/NAStatement.h"
#include "access/table/NADataAccess.h"
#include "access/table/NAInternalParse.h"
#include "common/text/XYStringConcat.h"
#include "common/values/Any.h"
#include "tests/support/StatementServer.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class InternalQueryServer : public StatementServerTest {
protected:
    InternalQueryServer() : StatementServerTest("zt_internal") {}
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(StatementServerTest::SetUp());
        ASSERT_TRUE(Admin("CREATE TABLE t (id INT PRIMARY KEY, a VARCHAR(20), b VARCHAR(20)) CHARACTER SET utf8mb4"));
        ASSERT_TRUE(Admin("INSERT INTO t VALUES (1, 'one', 'x'), (2, 'two', NULL), (3, NULL, 'z')"));
    }
    // All rows of the text, after what the text held, with the separators.
    bool Run(CMySQLConnection* pCnx, const std::wstring& strQuery, std::wstring* pstrText, const wchar_t* pszRow,
             const wchar_t* pszColumn)
    {
        CXYStringConcat<wchar_t> clText;
        clText.Add(pstrText->c_str());
        m_pError->Reset();
        const bool b = CNAInternalParse::s_bDoInternalParse(strQuery.c_str(), m_pError, pCnx, &clText, pszRow,
                                                            pszColumn) != 0;
        *pstrText = clText.pszGet();
        return b;
    }
};

// The internal query with its statement in view.
class CSeenParse : public CNAInternalParse {
public:
    using CNAInternalParse::CNAInternalParse;
    CNAStatement* pclStatement() const { return m_pclStatement; }
};

} // namespace

TEST_F(InternalQueryServer, TheStatementOfAnInternalQueryKeepsNoRecordCache)
{
    CMySQLConnection* pCnx = Connect();
    // The data access's own run of the text keeps the browse's cache.
    CNADataAccess* pAccess = CNADriver::s_pclDriver->pclAllocDataAccess(nullptr, pCnx, m_pError);
    ASSERT_NE(pAccess, nullptr);
    pAccess->AddRef();
    CNAStatement* pStatement = nullptr;
    ASSERT_EQ(pAccess->bExecuteQueryInternal(&pStatement, L"$ZTInternal", L"SELECT id FROM t ORDER BY id"), 1)
        << ErrorText();
    ASSERT_NE(pStatement, nullptr);
    const bool bBrowseCache = pStatement->bCacheEnabled() != 0;
    pStatement->nRelease();
    EXPECT_EQ(pAccess->nRelease(), 0u);
    // The internal query reads each row once: its statement's cache is
    // off after the run and stays off through the rows.
    CSeenParse* pParse = new CSeenParse(m_pError, pCnx);
    pParse->m_nRefCount++;
    ASSERT_EQ(pParse->_bAllocate(), 1) << ErrorText();
    ASSERT_EQ(pParse->_bExecute(L"SELECT id FROM t ORDER BY id"), 1) << ErrorText();
    ASSERT_NE(pParse->pclStatement(), nullptr);
    EXPECT_EQ(pParse->pclStatement()->bCacheEnabled(), 0);
    Rows tabRead;
    int bOut = 0;
    CAny v;
    for (eNA_PARSEDIRECTION e = NA_PARSE_FIRST;; e = NA_PARSE_NEXT) {
        ASSERT_EQ(pParse->bFetchData(e, &bOut, &v, 1), 1) << ErrorText();
        if (bOut)
            break;
        int n = 0;
        EXPECT_LE(v.nGetINT(&n), 99);
        tabRead.push_back(std::to_string(n));
        ASSERT_LE(tabRead.size(), 3u);
    }
    EXPECT_EQ(tabRead, List("SELECT id FROM t ORDER BY id"));
    EXPECT_EQ(pParse->pclStatement()->bCacheEnabled(), 0);
    EXPECT_EQ(pParse->dwRelease(), 0u);
    EXPECT_TRUE(bBrowseCache) << "the same run through the data access alone keeps its cache";
}

TEST_F(InternalQueryServer, AllRowsAsText)
{
    CMySQLConnection* pCnx = Connect();
    const std::string strRows = "SELECT a, b FROM t ORDER BY id";
    const struct {
        const char* pszCase;
        const wchar_t* pszRow;
        const wchar_t* pszColumn;
        std::wstring strBefore;
        std::string strExpected; // the server's own joining of the same rows
    } cases[] = {
        {"lines and tabs", L"\r\n", L"\t", L"",
         "SELECT GROUP_CONCAT(CONCAT(IFNULL(a, ''), '\\t', IFNULL(b, '')) ORDER BY id SEPARATOR '\\r\\n') FROM t"},
        {"no separators", L"", L"", L"",
         "SELECT GROUP_CONCAT(CONCAT(IFNULL(a, ''), IFNULL(b, '')) ORDER BY id SEPARATOR '') FROM t"},
        {"text before", L"\r\n", L"\t", L"before",
         "SELECT CONCAT('before\\r\\n', GROUP_CONCAT(CONCAT(IFNULL(a, ''), '\\t', IFNULL(b, '')) ORDER BY id "
         "SEPARATOR '\\r\\n')) FROM t"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pszCase);
        std::wstring strText = c.strBefore;
        EXPECT_TRUE(Run(pCnx, Wide(strRows), &strText, c.pszRow, c.pszColumn)) << ErrorText();
        EXPECT_EQ(UTF8Of(strText), First(c.strExpected));
    }
    // A NULL first row adds nothing, the next one its separator all the same.
    std::wstring strText;
    EXPECT_TRUE(Run(pCnx, L"SELECT NULL AS v UNION ALL SELECT 'b'", &strText, L"\r\n", L"\t")) << ErrorText();
    EXPECT_EQ(UTF8Of(strText), "\r\nb");
    // No row: the text as it was, true.
    strText = L"kept";
    EXPECT_TRUE(Run(pCnx, L"SELECT a FROM t WHERE id > 99", &strText, L"\r\n", L"\t")) << ErrorText();
    EXPECT_EQ(UTF8Of(strText), "kept");
    // A text the server refuses: false, the text as it was, the server's number.
    strText = L"kept";
    EXPECT_FALSE(Run(pCnx, L"SELECT * FROM no_such_table", &strText, L"\r\n", L"\t"));
    EXPECT_EQ(UTF8Of(strText), "kept");
    // The server's own words, and its number for a missing table.
    std::string strServer;
    EXPECT_FALSE(m_clAdmin.bExecute("SELECT * FROM no_such_table", strServer));
    strServer = strServer.substr(0, strServer.find(" in SELECT"));
    EXPECT_NE(ErrorText().find(strServer), std::string::npos) << ErrorText() << " / " << strServer;
    EXPECT_EQ(m_pError->dwGetDataBaseErrorCode(), 1146u) << ErrorText();
}

TEST_F(InternalQueryServer, TextsBeyondASCIIInBothCodePages)
{
    ASSERT_TRUE(Admin("UPDATE t SET a = 'été €', b = 'ĀΩ' WHERE id = 1"));
    for (const bool bUTF8 : {true, false}) {
        SCOPED_TRACE(bUTF8 ? "UTF-8" : "1252");
        CMySQLConnection* pCnx = Connect(bUTF8 ? L"" : L"ZT Unicode Support=0");
        std::wstring strText;
        EXPECT_TRUE(Run(pCnx, L"SELECT a, b FROM t WHERE id = 1", &strText, L"\r\n", L"\t")) << ErrorText();
        // What 1252 cannot hold comes back as the server writes it there.
        const std::string strExpected =
            bUTF8 ? First("SELECT CONCAT(a, '\\t', b) FROM t WHERE id = 1")
                  : First("SELECT CONVERT(CONVERT(CONCAT(a, '\\t', b) USING latin1) USING utf8mb4) FROM t WHERE id = 1");
        EXPECT_EQ(UTF8Of(strText), strExpected);
    }
}

TEST_F(InternalQueryServer, StatementHandedOutAndRowsIntoValues)
{
    CMySQLConnection* pCnx = Connect();
    CNADataAccess* pAccess = CNADriver::s_pclDriver->pclAllocDataAccess(nullptr, pCnx, m_pError);
    ASSERT_NE(pAccess, nullptr);
    pAccess->AddRef();
    CNAStatement* pStatement = nullptr;
    ASSERT_EQ(pAccess->bExecuteQueryInternal(&pStatement, L"$ZTInternal", L"SELECT id, a FROM t ORDER BY id"), 1)
        << ErrorText();
    ASSERT_NE(pStatement, nullptr);
    EXPECT_EQ(pStatement, pAccess->pclGetLastStatementNoRef());
    EXPECT_EQ(pAccess->eGetQueryMode(), 0x84u);
    const unsigned int nHeld = pStatement->nGetRef();
    EXPECT_EQ(pStatement->nRelease(), nHeld - 1) << "one reference handed out";
    // A text without columns hands nothing out.
    pStatement = reinterpret_cast<CNAStatement*>(1);
    EXPECT_EQ(pAccess->bExecuteQueryInternal(&pStatement, L"$ZTInternal", L"DO 1"), 1) << ErrorText();
    EXPECT_EQ(pStatement, nullptr);
    EXPECT_EQ(pAccess->nRelease(), 0u);

    // Row by row into host values, then again after a re-run.
    m_pError->Reset();
    CNAInternalParse* pParse = CNAInternalParse::s_pclGetNAInternalParse(L"SELECT id, a FROM t ORDER BY id",
                                                                        m_pError, pCnx);
    ASSERT_NE(pParse, nullptr) << ErrorText();
    pParse->m_nRefCount++;
    EXPECT_EQ(pParse->nGetColumnNbr(), 2);
    ASSERT_NE(pParse->pclGetColumnNoRef(L"a"), nullptr);
    EXPECT_EQ(pParse->pclGetColumnNoRef(L"a"), pParse->pclGetColumnNoRef(1));
    EXPECT_EQ(pParse->pclGetColumnNoRef(2), nullptr);
    const Rows tabIds = List("SELECT id FROM t ORDER BY id");
    Rows tabRead;
    int bOut = 0;
    CAny aValues[3];
    for (eNA_PARSEDIRECTION e = NA_PARSE_FIRST;; e = NA_PARSE_NEXT) {
        ASSERT_EQ(pParse->bFetchData(e, &bOut, aValues, 3), 1) << ErrorText();
        if (bOut)
            break;
        int n = 0;
        EXPECT_LE(aValues[0].nGetINT(&n), 99);
        tabRead.push_back(std::to_string(n));
        ASSERT_LE(tabRead.size(), tabIds.size());
    }
    EXPECT_EQ(tabRead, tabIds);
    EXPECT_EQ(pParse->dwRelease(), 0u);
}
