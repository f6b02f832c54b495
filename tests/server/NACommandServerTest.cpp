// Texts written by the command and by the direct statement's substitution,
// run on the private server: each returns exactly the rows expected.
#include "access/sql/NACommand.h"
#include "access/sql/TabValParser.h"
#include "tests/support/ClientLibrary.h"
#include "tests/support/RecordingStatementSQL.h"
#include "tests/support/ValueCells.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

typedef std::vector<std::string> Rows;

class NACommandServer : public ::testing::Test {
protected:
    void SetUp() override
    {
        BindValueMachine();
        std::string strError;
        ASSERT_TRUE(m_server.bConnect(true, strError)) << strError;
        // The driver's texts are in code page 1252 here.
        ASSERT_TRUE(m_server.bExecute("SET NAMES latin1", strError)) << strError;
        ASSERT_TRUE(m_server.bExecute("CREATE TEMPORARY TABLE cmd_rows (id INT PRIMARY KEY, "
                                      "txt VARCHAR(32) CHARACTER SET latin1 COLLATE latin1_bin)",
                                      strError))
            << strError;
        ASSERT_TRUE(m_server.bExecute("INSERT INTO cmd_rows VALUES (1,'a''b'),(2,'50%'),(3,'50%x'),(4,'a_b'),"
                                      "(5,'aXb'),(6,'it''s'),(7,'\xe9t\xe9'),(8,'!x'),(9,'x!y'),(10,'ab')",
                                      strError))
            << strError;
        m_pError = new CNAError;
        m_pError->AddRef();
        m_pCnx = new CTestConnection(1252, 1252, CNAConnectionDescription::DS_MYSQL);
        m_pCnx->AddRef();
    }
    void TearDown() override
    {
        for (CNAConvertVariant* p : m_tabCell)
            p->nRelease();
        if (m_pCnx != nullptr)
            m_pCnx->nRelease();
        if (m_pError != nullptr)
            m_pError->nRelease();
    }
    Rows Run(const char* pszSQL)
    {
        Rows tab;
        std::string strError;
        EXPECT_NE(pszSQL, nullptr);
        if (pszSQL != nullptr) {
            EXPECT_TRUE(m_server.bList(pszSQL, tab, strError)) << strError << "\n" << pszSQL;
        }
        return tab;
    }
    CNAConvertVariant* Text(const wchar_t* psz)
    {
        CNAConvertVariant* p = new CNAConvertVariant(m_pError, nullptr);
        p->AddRef();
        p->InitTypeVariantAny(TQTYPE_DSTRW, 0);
        CAny v;
        SetW(v, psz);
        EXPECT_EQ(p->bSetValue(&v), 1);
        m_tabCell.push_back(p);
        return p;
    }
    // The rows of "SELECT id ... WHERE txt LIKE <value>" written by a command.
    Rows Like(const wchar_t* pszValue, wchar_t cEscape)
    {
        CNACommand c(m_pError, m_pCnx);
        c.bComplete(L"SELECT id FROM cmd_rows WHERE txt LIKE ", static_cast<unsigned int>(-1));
        c.bAddParameter(Text(pszValue), -1, CNAParameter::PF_LIKE, nullptr, nullptr, cEscape,
                        CNAParameter::PARAM_IN);
        c.bComplete(L" ORDER BY id", static_cast<unsigned int>(-1));
        return Run(c.pszGetFormatedSQLA(CNACommand::PTC_ALL));
    }

    CClientLibrary m_server;
    CNAError* m_pError = nullptr;
    CTestConnection* m_pCnx = nullptr;
    std::vector<CNAConvertVariant*> m_tabCell;
};

TEST_F(NACommandServer, RowLimitsOffsetsAndRewrittenTop)
{
    CNACommand limit(m_pError, m_pCnx);
    limit.bComplete(L"SELECT id FROM cmd_rows ORDER BY id", static_cast<unsigned int>(-1));
    limit.SetRowLimit(3, 2);
    EXPECT_EQ(Run(limit.pszGetFormatedSQLA(CNACommand::PTC_ALL)), (Rows{"3", "4", "5"}));
    CNACommand top(m_pError, m_pCnx);
    top.bComplete(L"SELECT TOP 2 id FROM cmd_rows ORDER BY id DESC", static_cast<unsigned int>(-1));
    EXPECT_EQ(Run(top.pszGetFormatedSQLA(CNACommand::PTC_ALL)), (Rows{"10", "9"}));
}

TEST_F(NACommandServer, LikeValuesFindTheirRows)
{
    struct Case {
        const wchar_t* pszValue;
        wchar_t cEscape;
        Rows rows;
    } cases[] = {
        {L"50!%", L'!', {"2"}},           // an escaped "%" is itself
        {L"50%", L'!', {"2", "3"}},       // a plain one is a wildcard
        {L"a!_b", L'!', {"4"}},
        {L"a_b", 0, {"1", "4", "5"}},     // default escape: "_" stays a wildcard
        {L"a'b", 0, {"1"}},               // a quote
        {L"it''s", 0, {"6"}},             // the host's doubled quote
        {L"x!!y", L'!', {"9"}},           // the escape character itself
        {L"!!%", L'!', {"8"}},
        {L"\u00e9%", 0, {"7"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Like(c.pszValue, c.cEscape), c.rows) << std::string(c.pszValue, c.pszValue + wcslen(c.pszValue));
}

TEST_F(NACommandServer, SubstitutedParametersFindTheirRows)
{
    CRecordingStatementSQL* pStmt = new CRecordingStatementSQL(m_pCnx, m_pError);
    pStmt->AddRef();
    const wchar_t* pszText = L"SELECT id FROM cmd_rows WHERE txt = ? OR txt = ? OR id = ? ORDER BY id";
    STValParser aValue[3] = {};
    SetW(aValue[0].clValeur, L"a'b");
    SetW(aValue[1].clValeur, L"\u00e9t\u00e9");
    Set(aValue[2].clValeur, TQTYPE_I4, 10);
    size_t nAt = 0;
    for (STValParser& st : aValue) {
        nAt = std::wstring(pszText).find(L'?', nAt + 1);
        st.nPosition = static_cast<int>(nAt);
        st.nLongueur = 1;
    }
    CTabValParser params = {3, aValue, 0, nullptr};
    ASSERT_EQ(pStmt->bExecuteDirect(pszText, &params, 0), 1) << m_pError->pszGetError();
    ASSERT_EQ(pStmt->m_tabSent.size(), 1u);
    EXPECT_EQ(Run(pStmt->m_tabSent[0].c_str()), (Rows{"1", "7", "10"}));
    pStmt->nRelease();
}

} // namespace
