// Counts of the statement on the private server, and the table definitions
// it writes: the COUNT of the filter and search in force, the rows of a
// query streamed and counted, a stream stopped by the server; CREATE TABLE
// of every item type with its keys and the engine clause, DROP TABLE.
#include "access/driver/NAItemDescription.h"
#include "access/sql/NACommand.h"
#include "common/platform/MyModuleInfo.h"
#include "common/values/Any.h"
#include "mysql/MySQLStatementSQL.h"
#include "tests/support/SearchObjects.h"
#include "tests/support/StatementServer.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class StatementCount : public StatementServerTest {
protected:
    StatementCount() : StatementServerTest("zt_count") {}
    CTestDataAccess* Open(const wchar_t* pszTable = L"c")
    {
        CMySQLConnection* pCnx = Connect();
        STable* p = NewTable(pCnx, pszTable);
        Both(p, L"n", NA_IT_I4, 4, CTestTable::UNIQUE | CNAItemDescription::KF_PRIMARY, false);
        Both(p, L"d", NA_IT_I4, 4, CTestTable::DUPLICATES, true);
        return Access(p, pCnx);
    }
    void Fill()
    {
        ASSERT_TRUE(Admin("CREATE TABLE c (n INT NOT NULL PRIMARY KEY, d INT NULL, KEY(d))"));
        ASSERT_TRUE(Admin("INSERT INTO c VALUES (1,5),(2,5),(3,NULL),(4,7),(5,5),(6,9),(7,7),(8,1)"));
    }
    CMySQLStatementSQL* SQL(CNAStatement* p) { return static_cast<CMySQLStatementSQL*>(p->pclGetStatementSQLNoRef()); }
};

TEST_F(StatementCount, UnderAFilterAndASearch)
{
    ASSERT_NO_FATAL_FAILURE(Fill());
    CTestDataAccess* p = Open();
    long long llCount = -1;
    int nFrom = Queries();
    ASSERT_EQ(p->bGetNbEnr(&llCount, 16, 0, nullptr, -1), 1) << ErrorText();
    EXPECT_EQ(std::to_string(llCount), First("SELECT COUNT(*) FROM c"));
    EXPECT_EQ(Sent(nFrom), (std::vector<std::string>{"SELECT COUNT(*) AS ZTACCESNATIF_NBENR FROM `c`"}));
    // A mode without 0x10: no count asked.
    nFrom = Queries();
    ASSERT_EQ(p->bGetNbEnr(&llCount, 0, 0, nullptr, -1), 1);
    EXPECT_EQ(llCount, 0);
    EXPECT_EQ(Queries(), nFrom);
    // The filter of a browse is carried with 0x4000.
    CNAStatement* pBrowse = p->Statement(L"d");
    CAny a, b;
    SetAs<int>(a, TQTYPE_I4, 5);
    SetAs<int>(b, TQTYPE_I4, 8);
    ASSERT_EQ(pBrowse->bSetFilter(L"d", &a, 1, &b, 1, nullptr), 1);
    pBrowse->pclActivateFilter()->nRelease();
    ASSERT_EQ(p->bGetNbEnr(&llCount, 16, 0x4000, pBrowse, -1), 1) << ErrorText();
    EXPECT_EQ(std::to_string(llCount), First("SELECT COUNT(*) FROM c WHERE d BETWEEN 5 AND 8"));
    ASSERT_EQ(p->bGetNbEnr(&llCount, 16, 0, pBrowse, -1), 1) << ErrorText();
    EXPECT_EQ(std::to_string(llCount), First("SELECT COUNT(*) FROM c"));
    // The rows equal to the browse's row (found again by its unique key),
    // and those after it.
    ASSERT_EQ(p->bRead(L"d", NA_PARSE_FIRST), 1);
    ASSERT_EQ(Value(p, L"d"), "5");
    ASSERT_EQ(p->bGetNbEnr(&llCount, 16, 0x4000, pBrowse, CNAStatement::DIRECTION_STAY), 1) << ErrorText();
    EXPECT_EQ(std::to_string(llCount), First("SELECT COUNT(*) FROM c WHERE n = 1"));
    ASSERT_EQ(p->bGetNbEnr(&llCount, 16, 0x4000, pBrowse, NA_PARSE_NEXT), 1) << ErrorText();
    EXPECT_EQ(std::to_string(llCount), First("SELECT COUNT(*) FROM c WHERE d > 5 AND d <= 8 OR (d = 5 AND n > 1)"));
    // The current record is left as it was.
    EXPECT_EQ(Value(p, L"n"), "1");
}

TEST_F(StatementCount, EmptyAndFailed)
{
    ASSERT_TRUE(Admin("CREATE TABLE c (n INT NOT NULL PRIMARY KEY, d INT NULL)"));
    CTestDataAccess* p = Open();
    long long llCount = -1;
    ASSERT_EQ(p->Statement(L"")->bGetNbEnr(&llCount, 16, 1), 1) << ErrorText();
    EXPECT_EQ(llCount, 0);
    ASSERT_TRUE(Admin("DROP TABLE c"));
    m_pError->Reset();
    EXPECT_EQ(p->Statement(L"")->bGetNbEnr(&llCount, 16, 1), 0);
    EXPECT_EQ(llCount, -1);
    EXPECT_EQ(m_pError->dwGetErrorId(), static_cast<unsigned int>(ZTERR_SERVER));
}

TEST_F(StatementCount, AQueryStreamedAndCounted)
{
    ASSERT_NO_FATAL_FAILURE(Fill());
    CTestDataAccess* p = Open();
    p->SetQueryText(L"SELECT n, d FROM c WHERE d >= 5");
    CNAStatement* pStatement = p->Statement(L"");
    long long llCount = -1;
    const int nFrom = Queries();
    ASSERT_EQ(pStatement->bGetNbEnr(&llCount, 16, 1), 1) << ErrorText();
    EXPECT_EQ(std::to_string(llCount), First("SELECT COUNT(*) FROM c WHERE d >= 5"));
    EXPECT_EQ(Sent(nFrom), (std::vector<std::string>{"SELECT n, d FROM c WHERE d >= 5"}));
    EXPECT_EQ(SQL(pStatement)->bGetStoreResult(), 1);
    // The handle takes the next query: the stream was read to its end.
    ASSERT_EQ(pStatement->bGetNbEnr(&llCount, 16, 1), 1) << ErrorText();
    // No row at all.
    p->SetQueryText(L"SELECT n FROM c WHERE d > 100");
    ASSERT_EQ(pStatement->bGetNbEnr(&llCount, 16, 1), 1) << ErrorText();
    EXPECT_EQ(llCount, 0);
    // A query the server refuses: no count, store mode back.
    p->SetQueryText(L"SELECT nothing FROM c");
    llCount = 12;
    m_pError->Reset();
    EXPECT_EQ(pStatement->bGetNbEnr(&llCount, 16, 1), 0);
    EXPECT_EQ(llCount, 12);
    EXPECT_EQ(SQL(pStatement)->bGetStoreResult(), 1);
}

TEST_F(StatementCount, TheGenericStatementCountsAQueryByFetching)
{
    ASSERT_NO_FATAL_FAILURE(Fill());
    CTestDataAccess* p = Open();
    p->SetQueryText(L"SELECT n, d FROM c WHERE d <> 5");
    CNAStatement* pStatement = new CNAStatement(p, m_pError);
    pStatement->AddRef();
    long long llCount = -1;
    ASSERT_EQ(pStatement->bGetNbEnr(&llCount, 16, 1), 1) << ErrorText();
    EXPECT_EQ(std::to_string(llCount), First("SELECT COUNT(*) FROM c WHERE d <> 5"));
    p->SetQueryText(L"SELECT n FROM c WHERE n > 100");
    ASSERT_EQ(pStatement->bGetNbEnr(&llCount, 16, 1), 1) << ErrorText();
    EXPECT_EQ(llCount, 0);
    p->SetQueryText(L"SELECT nothing FROM c");
    llCount = 5;
    EXPECT_EQ(pStatement->bGetNbEnr(&llCount, 16, 1), 0);
    EXPECT_EQ(llCount, 5);
    EXPECT_EQ(pStatement->nRelease(), 0u);
}

TEST_F(StatementCount, AStreamStoppedByTheServerCountsNothing)
{
    ASSERT_NO_FATAL_FAILURE(Fill());
    ASSERT_TRUE(Admin("CREATE TABLE two (k INT NOT NULL, v INT NOT NULL)"));
    ASSERT_TRUE(Admin("INSERT INTO two VALUES (1,10),(2,20),(6,60),(6,61)"));
    CTestDataAccess* p = Open();
    // Rows 1 to 5 go out; the sixth meets two rows in the subquery.
    p->SetQueryText(L"SELECT n, (SELECT v FROM two WHERE two.k = c.n) FROM c ORDER BY n");
    CNAStatement* pStatement = p->Statement(L"");
    long long llCount = -1;
    m_pError->Reset();
    EXPECT_EQ(pStatement->bGetNbEnr(&llCount, 16, 1), 0);
    EXPECT_EQ(llCount, -1);
    EXPECT_EQ(m_pError->dwGetErrorId(), static_cast<unsigned int>(ZTERR_SERVER)) << ErrorText();
    EXPECT_EQ(m_pError->dwGetDataBaseErrorCode(), 1242u) << ErrorText();
    EXPECT_NE(ErrorText().find("100.25"), std::string::npos) << ErrorText();
    EXPECT_EQ(SQL(pStatement)->bGetStoreResult(), 1);
    // The connection serves the next query.
    p->SetQueryText(L"SELECT n FROM c");
    m_pError->Reset();
    ASSERT_EQ(pStatement->bGetNbEnr(&llCount, 16, 1), 1) << ErrorText();
    EXPECT_EQ(llCount, 8);
}

// ---- Table definitions -------------------------------------------------------------------------------------

// An item of a description older than version 9: its NULL rule is not
// written.
class COldItem : public CNAItemDescription {
public:
    int nGetVersion() const override { return 8; }
};

class StatementDefinition : public StatementServerTest {
protected:
    StatementDefinition() : StatementServerTest("zt_define") {}
    // The CREATE TABLE the statement writes for the table, and its run.
    int Create(STable* pTable, CMySQLConnection* pCnx, std::string* pstrText)
    {
        CTestDataAccess* p = Access(pTable, pCnx);
        CNACommand* pCommand = p->pclAllocCommand(m_pError);
        pCommand->AddRef();
        CNAStatement* pStatement = p->Statement(L"");
        int bResult = pStatement->bBuildQuery(CNAStatement::QT_CREATE, pCommand, 0);
        const char* psz = bResult ? pCommand->pszGetFormatedSQLA(CNACommand::PTC_ALL) : nullptr;
        *pstrText = psz != nullptr ? psz : "";
        bResult = bResult && pStatement->bExecute(0, 1);
        pCommand->nRelease();
        return bResult;
    }
    int Drop(CTestDataAccess* p)
    {
        CNACommand* pCommand = p->pclAllocCommand(m_pError);
        pCommand->AddRef();
        CNAStatement* pStatement = p->Statement(L"");
        const int bResult = pStatement->bBuildQuery(CNAStatement::QT_DROPTABLE, pCommand, 0) && pStatement->bExecute(0, 1);
        pCommand->nRelease();
        return bResult;
    }
};

TEST_F(StatementDefinition, KeysAndTheirConstraints)
{
    CMySQLConnection* pCnx = Connect();
    STable* pTable = NewTable(pCnx, L"k");
    Both(pTable, L"id", NA_IT_IDAUTO, 8, CTestTable::UNIQUE | CNAItemDescription::KF_PRIMARY, false);
    Both(pTable, L"u", NA_IT_I4, 4, CTestTable::UNIQUE, false);
    Both(pTable, L"un", NA_IT_I4, 4, CTestTable::UNIQUE, true);
    Both(pTable, L"d", NA_IT_I4, 4, CTestTable::DUPLICATES, true);
    CNAItemDescription* pOld = new COldItem;
    pOld->bInit(L"old", L"k", L"", 1, 4, NA_IT_I4, -1, static_cast<int>((*pTable->pHost)->nGetNumKeys()),
                CTestTable::UNIQUE, 0, 0);
    pOld->SetNullable(0);
    (*pTable->pHost)->_AddItem(pOld);
    Both(pTable, L"s", NA_IT_TEXTE, 21, 0, true);
    std::string strText;
    ASSERT_EQ(Create(pTable, pCnx, &strText), 1) << ErrorText() << "\n" << strText;
    // Each column: its name, a blank, its type, and a blank and its
    // constraint when it has one.
    auto Column = [&](const wchar_t* pszName, const char* pszConstraint) {
        CTString csType;
        EXPECT_EQ(pCnx->bGetMatchingSQLType(m_pError, (*pTable->pHost)->pclNAGetItemNoRef(pszName, 0), &csType), 1);
        return "`" + Narrow(pszName) + "` " + Narrow(csType.pszGet()) +
               (pszConstraint[0] != 0 ? " " + std::string(pszConstraint) : "");
    };
    const std::string strExpected =
        "CREATE TABLE `k`( " + Column(L"id", " NOT NULL AUTO_INCREMENT, PRIMARY KEY (`id`)") + ", " +
        Column(L"u", " UNIQUE  NOT NULL ") + ", " + Column(L"un", " UNIQUE ") + ", " + Column(L"d", "") + ", " +
        Column(L"old", " UNIQUE ") + ", " + Column(L"s", "") + " ) ENGINE=InnoDB";
    EXPECT_EQ(strText, strExpected);
    // Built again into the same command: the same text, not added to it.
    CNACommand* pCommand = m_tabAccess.back()->pclAllocCommand(m_pError);
    pCommand->AddRef();
    for (int i = 0; i < 2; i++) {
        ASSERT_EQ(m_tabAccess.back()->Statement(L"")->bBuildQueryCREATE(pCommand), 1);
        EXPECT_EQ(Narrow(pCommand->pszGetOriginalSQL()), strExpected);
    }
    pCommand->nRelease();
    EXPECT_EQ(First("SELECT ENGINE FROM information_schema.TABLES WHERE TABLE_SCHEMA = DATABASE() AND TABLE_NAME = 'k'"),
              "InnoDB");
    EXPECT_EQ(List("SELECT CONCAT(COLUMN_NAME, IS_NULLABLE) FROM information_schema.COLUMNS WHERE TABLE_SCHEMA = "
                   "DATABASE() AND TABLE_NAME = 'k' ORDER BY ORDINAL_POSITION"),
              (Rows{"idNO", "uNO", "unYES", "dYES", "oldYES", "sYES"}));
    EXPECT_EQ(First("SELECT COUNT(*) FROM information_schema.STATISTICS WHERE TABLE_SCHEMA = DATABASE() AND "
                    "TABLE_NAME = 'k' AND NON_UNIQUE = 0"),
              "4");
    ASSERT_EQ(Drop(m_tabAccess.back()), 1) << ErrorText();
    EXPECT_EQ(First("SELECT COUNT(*) FROM information_schema.TABLES WHERE TABLE_SCHEMA = DATABASE()"), "0");
}

TEST_F(StatementDefinition, EveryItemTypeOfTheTypeMap)
{
    CMySQLConnection* pCnx = Connect();
    for (int e = NA_IT_IDAUTO; e <= NA_IT_DECIMAL; e++) {
        if (e == 8)
            continue;
        const eNA_ITEMTYPE eType = static_cast<eNA_ITEMTYPE>(e);
        const std::wstring strName = L"t" + std::to_wstring(e);
        STable* pTable = NewTable(pCnx, strName.c_str());
        const bool bIdAuto = eType == NA_IT_IDAUTO || eType == NA_IT_IDAUTO4;
        if (!bIdAuto)
            Both(pTable, L"k", NA_IT_I4, 4, CTestTable::UNIQUE | CNAItemDescription::KF_PRIMARY, false);
        const unsigned int nSize = eType == NA_IT_TEXTE ? 21 : (eType == NA_IT_UNICODE ? 42 : (eType == NA_IT_BINAIRE ? 16 : 8));
        Both(pTable, L"c", eType, nSize, bIdAuto ? CTestTable::UNIQUE | CNAItemDescription::KF_PRIMARY : 0, !bIdAuto);
        CTString csType;
        const int bTyped = pCnx->bGetMatchingSQLType(m_pError, (*pTable->pHost)->pclNAGetItemNoRef(L"c", 0), &csType);
        std::string strText;
        m_pError->Reset();
        const int nFrom = Queries();
        const int bCreated = Create(pTable, pCnx, &strText);
        if (!bTyped) {
            // Nothing the server would refuse is sent.
            EXPECT_EQ(bCreated, 0) << e;
            EXPECT_EQ(Queries(), nFrom) << e;
            continue;
        }
        ASSERT_EQ(bCreated, 1) << e << " " << ErrorText() << "\n" << strText;
        EXPECT_NE(strText.find("`c` " + Narrow(csType.pszGet())), std::string::npos) << strText;
        EXPECT_EQ(First("SELECT COUNT(*) FROM information_schema.COLUMNS WHERE TABLE_SCHEMA = DATABASE() AND "
                        "TABLE_NAME = '" + Narrow(strName.c_str()) + "' AND COLUMN_NAME = 'c'"),
                  "1")
            << e;
        ASSERT_EQ(Drop(m_tabAccess.back()), 1) << e << " " << ErrorText();
    }
    EXPECT_EQ(First("SELECT COUNT(*) FROM information_schema.TABLES WHERE TABLE_SCHEMA = DATABASE()"), "0");
}

} // namespace
