// Direct SQL statement over a recording back end: client-side substitution,
// refused parameter places, text forms and code pages, columns, rows,
// requested values and the query text kept in errors.
#include "access/sql/TabValParser.h"
#include "tests/support/RecordingStatementSQL.h"
#include "tests/support/TempDir.h"
#include "tests/support/ValueCells.h"

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <string>

namespace {

// The host's parameter table of a query text.
class CParameters {
public:
    explicit CParameters(int n) : m_aValue(new STValParser[n]())
    {
        m_tab.nNbValeur = n;
        m_tab.pTabValeur = m_aValue.get();
        m_tab.nNbRubrique = 0;
        m_tab.pTabRubrique = nullptr;
    }
    STValParser& operator[](int i) { return m_aValue[i]; }
    void Set(int i, int nStart, int nLength) { m_aValue[i].nPosition = nStart; m_aValue[i].nLongueur = nLength; }
    void Int(int i, int n)
    {
        m_aValue[i].clValeur.__SetType(TQTYPE_I4, 0);
        m_aValue[i].clValeur.pclGetTraitement()->SetValue(&n);
    }
    CTabValParser* operator&() { return &m_tab; }

private:
    std::unique_ptr<STValParser[]> m_aValue;
    CTabValParser m_tab;
};

class NAStatementSQLFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        BindValueMachine();
        m_pError = new CNAError;
        m_pError->AddRef();
        m_pCnx = new CTestConnection(1252, 1252, CNAConnectionDescription::DS_MYSQL);
        m_pCnx->AddRef();
        m_pStmt = new CRecordingStatementSQL(m_pCnx, m_pError);
        m_pStmt->AddRef();
    }
    void TearDown() override
    {
        m_pStmt->nRelease();
        m_pCnx->nRelease();
        m_pError->nRelease();
    }
    std::wstring ErrorText() { return m_pError->pszGetError(); }

    CNAError* m_pError = nullptr;
    CTestConnection* m_pCnx = nullptr;
    CRecordingStatementSQL* m_pStmt = nullptr;
};

TEST_F(NAStatementSQLFixture, ParametersBecomeLiteralsInTheirPlaces)
{
    struct Case {
        const wchar_t* pszText;
        int nStart0, nLength0, nStart1, nLength1;
        bool bSecondNull;
        const char* pszSent;
    } cases[] = {
        {L"SELECT ?,?", 7, 1, 9, 1, true, "SELECT 5,NULL"},
        {L"?+?", 0, 1, 2, 1, false, "5+7"},           // at the very start and end
        {L"a=:p AND b=:q;", 2, 2, 11, 2, false, "a=5 AND b=7;"},
        {L"??", 0, 1, 1, 1, false, "57"},
    };
    for (const Case& c : cases) {
        CParameters params(2);
        params.Int(0, 5);
        params.Int(1, 7);
        if (c.bSecondNull)
            params[1].clValeur.SetNullFlag(true);
        params.Set(0, c.nStart0, c.nLength0);
        params.Set(1, c.nStart1, c.nLength1);
        m_pStmt->m_tabSent.clear();
        ASSERT_EQ(m_pStmt->bExecuteDirect(c.pszText, &params, 0), 1) << ErrorText();
        ASSERT_EQ(m_pStmt->m_tabSent.size(), 1u);
        EXPECT_EQ(m_pStmt->m_tabSent[0], c.pszSent);
    }
    // A text value is quoted and its quotes doubled; the text is sent in the
    // connection's code page.
    CParameters one(1);
    SetW(one[0].clValeur, L"l'\u00e9t\u00e9");
    one.Set(0, 2, 1);
    m_pStmt->m_tabSent.clear();
    ASSERT_EQ(m_pStmt->bExecuteDirect(L"x=?", &one, 0), 1);
    EXPECT_EQ(m_pStmt->m_tabSent[0], "x='l''\xe9t\xe9'");
}

TEST_F(NAStatementSQLFixture, FileParameterSendsTheFilesContent)
{
    CTempDir dir;
    ASSERT_FALSE(dir.Path().empty());
    std::ofstream(dir.Path() + "/v.txt") << "it's";
    CParameters params(1);
    SetW(params[0].clValeur, (dir.WPath() + L"/v.txt").c_str());
    params[0].dwType = 0x11; // a file, read as text
    params.Set(0, 2, 1);
    ASSERT_EQ(m_pStmt->bExecuteDirect(L"x=?", &params, 0), 1) << ErrorText();
    ASSERT_EQ(m_pStmt->m_tabSent.size(), 1u);
    EXPECT_EQ(m_pStmt->m_tabSent[0], "x='it''s'");
    // A file that cannot be read sends nothing.
    SetW(params[0].clValeur, (dir.WPath() + L"/none.txt").c_str());
    EXPECT_EQ(m_pStmt->bExecuteDirect(L"x=?", &params, 0), 0);
    EXPECT_EQ(m_pStmt->m_tabSent.size(), 1u);
    m_pError->Reset();
}

TEST_F(NAStatementSQLFixture, RefusedPlacesSendNothing)
{
    struct Case {
        int nStart0, nLength0, nStart1, nLength1;
    } cases[] = {
        {5, 1, 2, 1},  // out of order
        {2, 3, 4, 1},  // overlapping
        {2, 1, 9, 2},  // past the text
        {2, -1, 4, 1}, // negative length
    };
    for (const Case& c : cases) {
        CParameters params(2);
        params.Int(0, 1);
        params.Int(1, 2);
        params.Set(0, c.nStart0, c.nLength0);
        params.Set(1, c.nStart1, c.nLength1);
        m_pError->Reset();
        EXPECT_EQ(m_pStmt->bExecuteDirect(L"a=? b=? c", &params, 0), 0);
        EXPECT_EQ(m_pError->dwGetErrorId(), 53u);
        EXPECT_TRUE(m_pStmt->m_tabSent.empty());
    }
}

TEST_F(NAStatementSQLFixture, TextsThatCannotBeSent)
{
    // No text at all.
    EXPECT_EQ(m_pStmt->bExecuteDirect(static_cast<const wchar_t*>(nullptr), nullptr, 0), 0);
    EXPECT_EQ(m_pError->dwGetErrorId(), 28u);
    m_pError->Reset();
    EXPECT_EQ(m_pStmt->bExecuteDirect(static_cast<const char*>(nullptr), 0), 0);
    EXPECT_EQ(m_pError->dwGetErrorId(), 28u);
    // A character the code page has no place for.
    m_pError->Reset();
    EXPECT_EQ(m_pStmt->bExecuteDirect(L"SELECT '\u4e2d'", nullptr, 0), 0);
    EXPECT_EQ(m_pError->dwGetErrorId(), 77u);
    EXPECT_TRUE(m_pStmt->m_tabSent.empty());
    // Text held wide only.
    CTestConnection* pWide = new CTestConnection(1252, -2, CNAConnectionDescription::DS_MYSQL);
    CRecordingStatementSQL* pStmt = new CRecordingStatementSQL(pWide, m_pError);
    pStmt->AddRef();
    m_pError->Reset();
    EXPECT_EQ(pStmt->bExecuteDirect(L"SELECT 1", nullptr, 0), 0);
    EXPECT_EQ(m_pError->dwGetErrorId(), 77u);
    EXPECT_TRUE(pStmt->m_tabSent.empty());
    pStmt->nRelease();
    // The 8-bit form goes as it is.
    m_pError->Reset();
    EXPECT_EQ(m_pStmt->bExecuteDirect("SELECT 'x'", 0), 1);
    EXPECT_EQ(m_pStmt->m_tabSent.back(), "SELECT 'x'");
}

TEST_F(NAStatementSQLFixture, ColumnsAndRows)
{
    m_pStmt->m_tabColumnName = {L"a", L"b", L"c"};
    m_pStmt->m_tabRow = {{L"x", nullptr, L"z"}};
    ASSERT_EQ(m_pStmt->bExecuteDirect(L"SELECT a, b, c FROM t", nullptr, 0), 1);
    unsigned int nCount = 0;
    m_pStmt->bGetColumnNbr(&nCount, 0);
    EXPECT_EQ(nCount, 3u);
    CAny v;
    ASSERT_EQ(m_pStmt->bGetColumnList(&v, 0), 1);
    EXPECT_EQ(TextW(v), L"a\r\nb\r\nc");
    // An empty name leaves an empty field; a column without a name fails
    // the list after the names before it.
    m_pStmt->pclGetNAColumnSQL(1)->m_csName.Set(L"b", 0);
    ASSERT_EQ(m_pStmt->bGetColumnList(&v, 0), 1);
    EXPECT_EQ(TextW(v), L"a\r\n\r\nc");
    m_pStmt->pclGetNAColumnSQL(1)->m_csName.Vide();
    EXPECT_EQ(m_pStmt->bGetColumnList(&v, 0), 0);
    EXPECT_EQ(TextW(v), L"a");
    m_pStmt->pclGetNAColumnSQL(1)->m_csName = L"b";
    ASSERT_EQ(m_pStmt->bGetColumnName(&v, 1, 0), 1);
    EXPECT_EQ(v.nGetTypeCode(), TQTYPE_PSTRW);
    EXPECT_EQ(TextW(v), L"b");
    EXPECT_EQ(m_pStmt->pclGetNAColumnSQL(3), nullptr);
    EXPECT_EQ(m_pError->dwGetErrorId(), 50u);
    m_pError->Reset();
    EXPECT_EQ(m_pStmt->pclGetNAColumnSQL(-1), nullptr);
    EXPECT_EQ(m_pError->dwGetErrorId(), 50u);
    m_pError->Reset();
    // No current row yet.
    CTString cs;
    EXPECT_EQ(m_pStmt->bGetRow(&cs, L"|", 0, 0), 0);
    EXPECT_EQ(m_pError->dwGetErrorId(), 7u);
    m_pError->Reset();
    ASSERT_EQ(m_pStmt->bFetch(0), 1);
    ASSERT_EQ(m_pStmt->bGetRow(&cs, L"|", 2, 0), 1);
    EXPECT_STREQ(cs.pszGet(), L"x|");
    ASSERT_EQ(m_pStmt->bGetRow(&v, L";", 0, 0), 1);
    EXPECT_EQ(v.nGetTypeCode(), TQTYPE_PSTRW);
    EXPECT_EQ(TextW(v), L"x;;z");
    ASSERT_EQ(m_pStmt->bGetValue(&v, 2, 0), 1);
    EXPECT_EQ(TextW(v), L"z");
    // The reset forgets the result.
    ASSERT_EQ(m_pStmt->bReset(), 1);
    EXPECT_EQ(m_pStmt->llGetRowCount(), -1);
    EXPECT_EQ(m_pStmt->bEndOfData(), 1);
    m_pStmt->bGetColumnNbr(&nCount, 0);
    EXPECT_EQ(nCount, 0u);
}

TEST_F(NAStatementSQLFixture, RequestedValues)
{
    m_pStmt->m_tabColumnName = {L"n"};
    m_pStmt->m_tabRow = {{L"42"}};
    CAny v;
    ASSERT_EQ(m_pStmt->bGetRequestedValue(&v, 0, L"SELECT 42"), 1);
    EXPECT_EQ(TextW(v), L"42");
    EXPECT_EQ(m_pStmt->bEndOfData(), 1); // reset after reading
    // No row: success, the value is left.
    m_pStmt->m_tabRow.clear();
    ASSERT_EQ(m_pStmt->bGetRequestedValue(&v, 0, L"SELECT 42 WHERE 0"), 1);
    EXPECT_EQ(TextW(v), L"42");
    // A failed fetch is the answer though the reset succeeds.
    m_pStmt->m_bFailFetch = true;
    const int nResets = m_pStmt->m_nResets;
    EXPECT_EQ(m_pStmt->bGetRequestedValue(&v, 0, L"SELECT 1"), 0);
    EXPECT_EQ(m_pStmt->m_nResets, nResets + 2);
    m_pError->Reset();
    m_pStmt->m_bFailFetch = false;
    m_pStmt->m_tabRow = {{L"1"}};
    EXPECT_EQ(m_pStmt->bGetRequestedValue(&v, 5, L"SELECT 1"), 0); // no such column
}

TEST_F(NAStatementSQLFixture, FailedTextKeptToFiveThousandCharacters)
{
    CTestConnection* pUTF8 = new CTestConnection(1252, 65001, CNAConnectionDescription::DS_MYSQL);
    CRecordingStatementSQL* pStmt = new CRecordingStatementSQL(pUTF8, m_pError);
    pStmt->AddRef();
    pStmt->m_bFailExecution = true;
    const std::wstring strText(6000, L'\u00e9');
    EXPECT_EQ(pStmt->bExecuteDirect(strText.c_str(), nullptr, 0), 0);
    ASSERT_EQ(pStmt->m_tabSent.size(), 1u);
    EXPECT_EQ(pStmt->m_tabSent[0].size(), 12000u); // two bytes a character
    const std::wstring strError = ErrorText();
    EXPECT_NE(strError.find(std::wstring(5000, L'\u00e9')), std::wstring::npos);
    EXPECT_EQ(strError.find(std::wstring(5001, L'\u00e9')), std::wstring::npos);
    pStmt->nRelease();
}

} // namespace
