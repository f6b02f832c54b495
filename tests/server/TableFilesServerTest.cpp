// The table as a whole on the private server: the runner of the data
// access creating, dropping and emptying it, the indexes made with a new
// table (texts and the server's own list of indexes), whether it exists;
// and through the table object of the MySQL driver, the connection's
// refusal and a first open that fails.
#include "access/driver/NAContext.h"
#include "access/driver/NAItemDescription.h"
#include "access/statement/NAStatement.h"
#include "access/table/NATable.h"
#include "common/platform/MyModuleInfo.h"
#include "host/HostContext.h"
#include "mysql/MySQLDataAccess.h"
#include "tests/support/DriverServer.h"
#include "tests/support/StatementServer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace {

typedef std::vector<std::string> Texts;

// The server's indexes of T: name and columns in order.
const char kIndexesOfT[] =
    "SELECT CONCAT(INDEX_NAME, ':', GROUP_CONCAT(COLUMN_NAME ORDER BY SEQ_IN_INDEX)) FROM "
    "information_schema.STATISTICS WHERE TABLE_SCHEMA = DATABASE() AND TABLE_NAME = 'T' GROUP BY "
    "INDEX_NAME ORDER BY INDEX_NAME";

// The texts of one index creation: K's, then the generated names of X and
// Y (seconds within the call, the counter going up by one).
void CheckIndexTexts(const Texts& tabSent, unsigned long long nBefore, unsigned long long nAfter,
                     std::vector<std::string>* ptabNames)
{
    ASSERT_EQ(tabSent.size(), 3u) << testing::PrintToString(tabSent);
    EXPECT_EQ(tabSent[0], "CREATE UNIQUE INDEX `K` ON `T` ( `A`,`B` ) ");
    long nCounter = -1;
    const char* apszColumn[] = {"X", "Y"};
    for (int i = 0; i < 2; i++) {
        const std::string& s = tabSent[1 + i];
        const std::string strHead = "CREATE  INDEX ZTIDX";
        ASSERT_EQ(s.compare(0, strHead.size(), strHead), 0) << s;
        const size_t nOn = s.find(" ON ");
        ASSERT_NE(nOn, std::string::npos) << s;
        const std::string strName = s.substr(14, nOn - 14);
        ASSERT_GE(strName.size(), 16u) << strName;
        const unsigned long long nSeconds = std::stoull(strName.substr(5, 10));
        const long n = std::stol(strName.substr(15));
        EXPECT_EQ(s.substr(nOn), std::string(" ON `T` ( `") + apszColumn[i] + "` ) ");
        EXPECT_GE(nSeconds, nBefore);
        EXPECT_LE(nSeconds, nAfter);
        if (i == 1) {
            EXPECT_EQ(n, nCounter + 1);
        }
        nCounter = n;
        ptabNames->push_back(strName);
    }
}

// The items of T: A and B under the unique composite named, X and Y with
// duplicates, U unique.
void AddItemsOfT(CTestTable* p, const wchar_t* pszComposite)
{
    p->Add(L"A", NA_IT_I4, 4);
    p->Add(L"B", NA_IT_I4, 4);
    p->AddComposite(pszComposite, CTestTable::UNIQUE, {L"A", L"B"});
    p->Add(L"X", NA_IT_I4, 4, CTestTable::DUPLICATES);
    p->Add(L"Y", NA_IT_I4, 4, CTestTable::DUPLICATES);
    p->Add(L"U", NA_IT_I4, 4, CTestTable::UNIQUE);
    (*p)->UpdateRecordSize();
}

// The texts that change something: no SHOW, SELECT or SET.
Texts WritesAmong(const Texts& tabSent)
{
    Texts tab;
    for (const std::string& s : tabSent)
        if (s.compare(0, 5, "SHOW ") != 0 && s.compare(0, 7, "SELECT ") != 0 && s.compare(0, 4, "SET ") != 0)
            tab.push_back(s);
    return tab;
}

class TableFiles : public StatementServerTest {
protected:
    TableFiles() : StatementServerTest("zt37files") {}

    // A table "T" described on both sides.
    CTestDataAccess* Describe(CMySQLConnection* pCnx)
    {
        STable* p = NewTable(pCnx, L"T");
        AddItemsOfT(p->pHost.get(), L"K");
        AddItemsOfT(p->pDatabase.get(), L"K");
        return Access(p, pCnx);
    }
    // The writes the runner sent since the nth query.
    Texts Writes(int nFrom) { return WritesAmong(Sent(nFrom)); }
};

unsigned long long Now()
{
    return static_cast<unsigned int>(std::time(nullptr));
}

TEST_F(TableFiles, CreationRunsAndIndexesFollowTheOptions)
{
    CMySQLConnection* pCnx = Connect();
    CTestDataAccess* p = Describe(pCnx);
    CNAStatement* pStatement = p->Statement(L"");
    unsigned long long nBefore = Now();
    int nFrom = Queries();
    ASSERT_EQ(p->_bOperation(pStatement, CNAStatement::QT_CREATE, 0, nullptr), 1) << ErrorText();
    nFrom = Queries();
    EXPECT_EQ(p->_bCreateIndex(pStatement, 2), 1) << ErrorText();
    std::vector<std::string> tabNames;
    ASSERT_NO_FATAL_FAILURE(CheckIndexTexts(Writes(nFrom), nBefore, Now(), &tabNames));
    // The server agrees: K, the two generated, and U's from CREATE TABLE
    // (no index of its own under options 2).
    Rows tabExpected = {"K:A,B", "U:U", tabNames[0] + ":X", tabNames[1] + ":Y"};
    std::sort(tabExpected.begin(), tabExpected.end());
    EXPECT_EQ(List(kIndexesOfT), tabExpected);

    // A refused index (its name taken) stops neither the others nor the
    // walk; the refusal stays in the error.
    ASSERT_EQ(p->_bOperation(pStatement, CNAStatement::QT_DROPTABLE, 0, nullptr), 1) << ErrorText();
    ASSERT_EQ(p->_bOperation(pStatement, CNAStatement::QT_CREATE, 0, nullptr), 1) << ErrorText();
    ASSERT_TRUE(Admin("CREATE INDEX K ON T (U)"));
    m_pError->Reset();
    nBefore = Now();
    nFrom = Queries();
    EXPECT_EQ(p->_bCreateIndex(pStatement, 2), 0);
    EXPECT_EQ(m_pError->dwGetDataBaseErrorCode(), 1061u) << ErrorText();
    tabNames.clear();
    ASSERT_NO_FATAL_FAILURE(CheckIndexTexts(Writes(nFrom), nBefore, Now(), &tabNames));
    tabExpected = {"K:U", "U:U", tabNames[0] + ":X", tabNames[1] + ":Y"};
    std::sort(tabExpected.begin(), tabExpected.end());
    EXPECT_EQ(List(kIndexesOfT), tabExpected);

    // Options 0: none at all.
    nFrom = Queries();
    EXPECT_EQ(p->_bCreateIndex(pStatement, 0), 1);
    EXPECT_EQ(Writes(nFrom), Texts{});
    p->DropStatements();
}

TEST_F(TableFiles, UniqueItemsUnderOptionOne)
{
    CMySQLConnection* pCnx = Connect();
    CTestDataAccess* p = Describe(pCnx);
    CNAStatement* pStatement = p->Statement(L"");
    ASSERT_EQ(p->_bOperation(pStatement, CNAStatement::QT_CREATE, 0, nullptr), 1) << ErrorText();
    const int nFrom = Queries();
    EXPECT_EQ(p->_bCreateIndex(pStatement, 1), 1) << ErrorText();
    const Texts tabSent = Writes(nFrom);
    ASSERT_EQ(tabSent.size(), 1u) << testing::PrintToString(tabSent);
    const std::string strHead = "CREATE UNIQUE INDEX ZTIDX";
    EXPECT_EQ(tabSent[0].compare(0, strHead.size(), strHead), 0) << tabSent[0];
    EXPECT_NE(tabSent[0].find(" ON `T` ( `U` ) "), std::string::npos) << tabSent[0];
    EXPECT_EQ(List(kIndexesOfT).size(), 2u) << "U twice: the column's and the generated one";
    p->DropStatements();
}

// The runner's drop, delete-all and create; a drop of a table that is not
// there is the server's 1051.
TEST_F(TableFiles, RunnerDropsEmptiesAndCreates)
{
    CMySQLConnection* pCnx = Connect();
    CTestDataAccess* p = Describe(pCnx);
    CNAStatement* pStatement = p->Statement(L"");
    m_pError->Reset();
    EXPECT_EQ(p->_bOperation(pStatement, CNAStatement::QT_DROPTABLE, 0, nullptr), 0);
    EXPECT_EQ(m_pError->dwGetDataBaseErrorCode(), 1051u) << ErrorText();
    m_pError->Reset();
    ASSERT_EQ(p->_bOperation(pStatement, CNAStatement::QT_CREATE, 0, nullptr), 1) << ErrorText();
    ASSERT_TRUE(Admin("INSERT INTO T (X, Y, U, A, B) VALUES (1, 1, 1, 1, 1), (2, 2, 2, 2, 2)"));
    const int nFrom = Queries();
    ASSERT_EQ(p->_bOperation(pStatement, CNAStatement::QT_DELETEALL, 0, nullptr), 1) << ErrorText();
    EXPECT_EQ(First("SELECT COUNT(*) FROM T"), "0");
    ASSERT_EQ(p->_bOperation(pStatement, CNAStatement::QT_DROPTABLE, 0, nullptr), 1) << ErrorText();
    EXPECT_EQ(First("SELECT COUNT(*) FROM information_schema.TABLES WHERE TABLE_SCHEMA = DATABASE()"), "0");
    const Texts tabSent = Writes(nFrom);
    ASSERT_EQ(tabSent.size(), 2u) << testing::PrintToString(tabSent);
    EXPECT_EQ(tabSent[1].find("DROP TABLE"), 0u) << tabSent[1];
    p->DropStatements();
}

// A write through the runner: the INSERT sent; a duplicate and a NULL
// refused, each of its kind.
TEST_F(TableFiles, RunnerWritesAndRefinesARefusal)
{
    ASSERT_TRUE(Admin("CREATE TABLE w (id INT NOT NULL PRIMARY KEY, x INT NULL)"));
    CMySQLConnection* pCnx = Connect();
    STable* pTable = NewTable(pCnx, L"w");
    Both(pTable, L"id", NA_IT_I4, 4, CTestTable::UNIQUE | CNAItemDescription::KF_PRIMARY, false);
    Both(pTable, L"x", NA_IT_I4, 4, 0, true);
    CTestDataAccess* p = Access(pTable, pCnx);
    CNAStatement* pStatement = p->Statement(L"");
    Set(p, L"id", L"1");
    Set(p, L"x", L"5");
    m_pError->Reset();
    ASSERT_EQ(p->_bOperation(pStatement, CNAStatement::QT_INSERT, 0, nullptr), 1) << ErrorText();
    EXPECT_EQ(First("SELECT CONCAT(id, '/', x) FROM w"), "1/5");
    // The refusal's kind, from the connection's reading of the server's
    // number, is the error's own.
    ASSERT_TRUE(Admin("ALTER TABLE w MODIFY x INT NOT NULL"));
    struct {
        const char* pszCase;
        const wchar_t* pszId;
        bool bNull;
        unsigned int nServerError;
        eNA_ERRORTYPE eKind;
    } const tabCase[] = {
        {"duplicate", L"1", false, 1062, NA_ERRORTYPE_DUPLICATE},
        {"NULL refused", L"2", true, 1048, NA_ERRORTYPE_NULLREFUSED},
    };
    for (const auto& c : tabCase) {
        SCOPED_TRACE(c.pszCase);
        Set(p, L"id", c.pszId);
        if (c.bNull)
            SetNull(p, L"x");
        m_pError->Reset();
        EXPECT_EQ(p->_bOperation(pStatement, CNAStatement::QT_INSERT, 0, nullptr), 0);
        EXPECT_EQ(m_pError->dwGetDataBaseErrorCode(), c.nServerError) << ErrorText();
        EXPECT_EQ(m_pError->eGetErrorType(), c.eKind);
        EXPECT_EQ(p->eGetNAErrorType(), c.eKind);
    }
    EXPECT_EQ(First("SELECT COUNT(*) FROM w"), "1");
    p->DropStatements();
}

// An INSERT through the runner brings the server's identifier back into
// the record.
TEST_F(TableFiles, RunnerInsertsAndReadsTheIdentifierBack)
{
    ASSERT_TRUE(Admin("CREATE TABLE w (id INT NOT NULL AUTO_INCREMENT PRIMARY KEY, x INT NULL) AUTO_INCREMENT=37"));
    CMySQLConnection* pCnx = Connect();
    STable* pTable = NewTable(pCnx, L"w");
    Both(pTable, L"id", NA_IT_IDAUTO4, 4, CTestTable::UNIQUE | CNAItemDescription::KF_PRIMARY, false);
    Both(pTable, L"x", NA_IT_I4, 4, 0, true);
    CTestDataAccess* p = Access(pTable, pCnx);
    CNAStatement* pStatement = p->Statement(L"");
    Set(p, L"x", L"5");
    m_pError->Reset();
    ASSERT_EQ(p->_bOperation(pStatement, CNAStatement::QT_INSERT, 0, nullptr), 1) << ErrorText();
    EXPECT_EQ(Value(p, L"id"), First("SELECT id FROM w WHERE x = 5"));
    EXPECT_EQ(Value(p, L"id"), "37");
    p->DropStatements();
}

// Whether the table exists: the database's description becomes the
// imported one; a missing table puts message 28541 before the server's
// refusal, the compatible flag written only when asked for.
TEST_F(TableFiles, ExistenceAndTheDatabasesDescription)
{
    CMySQLConnection* pCnx = Connect();
    CTestDataAccess* p = Describe(pCnx);
    ASSERT_EQ(p->_bOperation(p->Statement(L""), CNAStatement::QT_CREATE, 0, nullptr), 1) << ErrorText();
    int bExists = -1, bCompatible = -1;
    m_pError->Reset();
    ASSERT_EQ(p->bFichierExiste(&bExists, &bCompatible), 1) << ErrorText();
    EXPECT_EQ(bExists, 1);
    EXPECT_NE(bCompatible, -1);
    ASSERT_NE(p->pclGetImportedDataSourceDescNoRef(), nullptr);
    EXPECT_STREQ(p->pclGetImportedDataSourceDescNoRef()->pszGetDBTableName(), L"T");
    bExists = -1;
    EXPECT_EQ(p->bFichierExiste(&bExists, nullptr), 1);
    EXPECT_EQ(bExists, 1);

    ASSERT_TRUE(Admin("DROP TABLE T"));
    bExists = bCompatible = -1;
    m_pError->Reset();
    EXPECT_EQ(p->bFichierExiste(&bExists, &bCompatible), 0);
    EXPECT_EQ(bExists, 0);
    EXPECT_EQ(bCompatible, 0);
    EXPECT_EQ(m_pError->dwGetDataBaseErrorCode(), 1146u) << ErrorText();
    const std::string strText = ErrorText();
    EXPECT_NE(strText.find("T"), std::string::npos) << strText;
    EXPECT_LT(strText.find("T"), strText.find("1146")) << "the message naming the table comes first: " << strText;
    p->DropStatements();
}

// ---- Through the table object of the MySQL driver ---------------------------------------------------------

class TableObjectServer : public DriverServerTestOf<CMySQLDriver> {
protected:
    TableObjectServer()
        : DriverServerTestOf<CMySQLDriver>("zt37tab", {"CREATE TABLE present (id INT PRIMARY KEY, v VARCHAR(10))"})
    {
    }
    // The description of a connection for a new user holding only the
    // privileges given on the test's database; its name out for the DROP
    // USER. Null when the server refuses the user.
    CHostConnectionDescription* LimitedHost(const char* pszPrefix, const std::string& strPrivileges,
                                            const wchar_t* pszConnection, std::string* pstrUser)
    {
        *pstrUser = UniqueName(pszPrefix);
        const std::string strPassword = std::string(pszPrefix) + "-pw";
        if (!Admin("CREATE USER '" + *pstrUser + "'@'127.0.0.1' IDENTIFIED BY '" + strPassword + "'") ||
            !Admin("GRANT " + strPrivileges + " ON `" + m_strDatabase + "`.* TO '" + *pstrUser + "'@'127.0.0.1'"))
            return nullptr;
        CHostConnectionDescription* p = HostOn(L"", pszConnection);
        p->SetText(CHostConnectionDescription::TXT_USER, Wide(*pstrUser).c_str());
        p->SetText(CHostConnectionDescription::TXT_PASSWORD, Wide(strPassword).c_str());
        return p;
    }
    void TearDown() override
    {
        for (INATable* pi : m_apTable) {
            for (CHostContext* pContext : m_apContext)
                pi->bHFerme(pContext);
            pi->nExternalRelease();
        }
        for (INADataSourceDescription* pi : m_apDescription)
            pi->nExternalRelease();
        DriverServerTestOf<CMySQLDriver>::TearDown();
    }
    CNATable* Table(INADataSourceDescription* piDescription, CHostConnectionDescription* pHost)
    {
        INATable* pi = m_piDriver->piGetTable(pHost, piDescription);
        EXPECT_NE(pi, nullptr) << Report();
        if (pi != nullptr)
            m_apTable.push_back(pi);
        return static_cast<CNATable*>(pi);
    }
    INADataSourceDescription* Description(const wchar_t* pszTable)
    {
        INADataSourceDescription* pi = m_piDriver->piGetTableDesc(pszTable, m_pHost);
        EXPECT_NE(pi, nullptr) << Report();
        if (pi != nullptr)
            m_apDescription.push_back(pi);
        return pi;
    }
    CHostContext* Context(unsigned int nKey, unsigned int nNumber)
    {
        m_tabContext.emplace_back(nKey, nNumber);
        m_apContext.push_back(&m_tabContext.back());
        return m_apContext.back();
    }
    // T described by hand with its composite key so named, for the host.
    INADataSourceDescription* HandMadeT(const wchar_t* pszComposite)
    {
        CTestTable clTable(nullptr, nullptr, L"T");
        AddItemsOfT(&clTable, pszComposite);
        clTable->ExternalAddRef();
        m_apDescription.push_back(clTable.Get());
        return clTable.Get();
    }
    Texts Writes() { return WritesAmong(Sent()); }
    static std::string TableError(CNATable* p) { return Narrow(p->piGetLastError()->pszGetError()); }
    // "1" when the test's database holds the table, else "0".
    std::string Holds(const std::string& strTable)
    {
        return First("SELECT COUNT(*) FROM information_schema.TABLES WHERE TABLE_SCHEMA = DATABASE() AND "
                     "TABLE_NAME = '" + strTable + "'");
    }
    std::vector<INATable*> m_apTable;
    std::vector<INADataSourceDescription*> m_apDescription;
    std::deque<CHostContext> m_tabContext;
    std::vector<CHostContext*> m_apContext;
};

TEST_F(TableObjectServer, AWrongPasswordIsTheConnectionsErrorInTheTablesAndAKnownContexts)
{
    INADataSourceDescription* piPresent = Description(L"present");
    ASSERT_NE(piPresent, nullptr);
    CNATable* pGood = Table(piPresent, m_pHost);
    CHostContext* pKnown = Context(1, 71);
    CHostContext* pUnknown = Context(1, 72);
    // The context becomes known with a data access of the good table.
    int bNeed = -1;
    ASSERT_EQ(pGood->bNeedCloseQuery(pKnown, nullptr), 0);
    ASSERT_EQ(pGood->bNbEnrNeedParse(pKnown, &bNeed, L"id"), 1);
    EXPECT_EQ(bNeed, 0) << "a MySQL table is counted without a browse";

    CHostConnectionDescription* pWrong = HostOn(L"", L"ztwrong");
    pWrong->SetText(CHostConnectionDescription::TXT_PASSWORD, L"not-the-password");
    CNATable* pBad = Table(piPresent, pWrong);
    ASSERT_NE(pBad, nullptr);
    for (CHostContext* pContext : {pKnown, pUnknown}) {
        SCOPED_TRACE(pContext == pKnown ? "known context" : "unknown context");
        EXPECT_EQ(pBad->bHOuvre(pContext, static_cast<eNA_ACCESS>(0), nullptr), 0);
        CNAError* pTableError = pBad->piGetLastError();
        EXPECT_EQ(pTableError->dwGetDataBaseErrorCode(), 1045u) << Narrow(pTableError->pszGetError());
        CNAError* pSeen = static_cast<CNAError*>(pBad->piGetLastError(pContext));
        EXPECT_EQ(pSeen->dwGetDataBaseErrorCode(), 1045u);
        EXPECT_EQ(pSeen == pTableError, pContext == pUnknown);
        EXPECT_EQ(pBad->nGetNbDataAccess(), 0u);
    }
}

// A first open that fails leaves no data access and its error in the
// table's own error object at level 2; the next one starts afresh.
TEST_F(TableObjectServer, AFailedFirstOpenLeavesNoDataAccess)
{
    CNADataSourceDescription* pMissing = new CNADataSourceDescription(nullptr, nullptr);
    pMissing->ExternalAddRef();
    m_apDescription.push_back(pMissing);
    pMissing->SetLogicalName(L"missing");
    pMissing->SetDBName(L"missing");
    CNATable* pTable = Table(pMissing, m_pHost);
    ASSERT_NE(pTable, nullptr);
    CHostContext* pContext = Context(1, 81);
    for (int i = 0; i < 2; i++) {
        SCOPED_TRACE(i);
        Sent();
        EXPECT_EQ(pTable->bHOuvre(pContext, static_cast<eNA_ACCESS>(0), nullptr), 0);
        // Asked again each time; the server's refusal held, the message
        // naming the table before it.
        EXPECT_EQ(Sent(), Texts{"SHOW FULL COLUMNS FROM `missing`"});
        EXPECT_EQ(pTable->nGetNbDataAccess(), 0u);
        CNAError* pError = pTable->piGetLastError();
        EXPECT_EQ(pError->eGetErrorLevel(), NA_ERRORLEVEL_2);
        EXPECT_EQ(pError->dwGetDataBaseErrorCode(), 1146u);
        const std::string strText = TableError(pTable);
        EXPECT_NE(strText.find("missing"), std::string::npos) << strText;
        EXPECT_LT(strText.find("missing"), strText.find("1146")) << strText;
    }
    EXPECT_EQ(pTable->bIsOpened(pContext), 0);
}

// An open table opens again at once, without a word to the server.
TEST_F(TableObjectServer, AnExistingTableOpensTwice)
{
    CNATable* pTable = Table(Description(L"present"), m_pHost);
    ASSERT_NE(pTable, nullptr);
    CHostContext* pContext = Context(1, 91);
    Sent();
    ASSERT_EQ(pTable->bHOuvre(pContext, static_cast<eNA_ACCESS>(0), nullptr), 1) << TableError(pTable);
    EXPECT_NE(Sent(), Texts{}) << "the first open reads the table's description";
    EXPECT_EQ(pTable->bHOuvre(pContext, static_cast<eNA_ACCESS>(0), nullptr), 1) << TableError(pTable);
    EXPECT_EQ(Sent(), Texts{});
    EXPECT_EQ(pTable->bIsOpened(pContext), 1);
    EXPECT_EQ(pTable->nGetNbDataAccess(), 1u);
    EXPECT_EQ(pTable->piGetLastError()->eGetErrorLevel(), NA_ERRORLEVEL_NOERROR);
}

// A missing table is created with no DROP before it; an existing one is
// only opened, its records kept.
TEST_F(TableObjectServer, CreationIfMissingCreatesOrOnlyOpens)
{
    INADataSourceDescription* pi = Description(L"present");
    ASSERT_NE(pi, nullptr);
    ASSERT_TRUE(Admin("DROP TABLE present"));
    CNATable* pTable = Table(pi, m_pHost);
    ASSERT_NE(pTable, nullptr);
    CHostContext* pContext = Context(1, 92);
    Sent();
    ASSERT_EQ(pTable->bHCreationSiInexistant(pContext, static_cast<eNA_ACCESS>(0), nullptr), 1)
        << TableError(pTable);
    Texts tabWrites = Writes();
    ASSERT_EQ(tabWrites.size(), 1u) << testing::PrintToString(tabWrites);
    EXPECT_EQ(tabWrites[0].find("CREATE TABLE `present`"), 0u) << tabWrites[0];
    EXPECT_EQ(Holds("present"), "1");
    EXPECT_EQ(pTable->bIsOpened(pContext), 1);

    ASSERT_TRUE(Admin("INSERT INTO present (id, v) VALUES (1, 'kept')"));
    ASSERT_EQ(pTable->bHFerme(pContext), 1);
    ASSERT_EQ(pTable->bHCreationSiInexistant(pContext, static_cast<eNA_ACCESS>(0), nullptr), 1)
        << TableError(pTable);
    EXPECT_EQ(Writes(), Texts{});
    EXPECT_EQ(First("SELECT v FROM present"), "kept");
    EXPECT_EQ(pTable->bIsOpened(pContext), 1);

    // A table of that name that does not match is left as it is.
    ASSERT_EQ(pTable->bHFerme(pContext), 1);
    ASSERT_TRUE(Admin("DROP TABLE present"));
    ASSERT_TRUE(Admin("CREATE TABLE present (other INT)"));
    ASSERT_TRUE(Admin("INSERT INTO present (other) VALUES (7)"));
    EXPECT_EQ(pTable->bHCreationSiInexistant(pContext, static_cast<eNA_ACCESS>(0), nullptr), 0);
    EXPECT_EQ(Writes(), Texts{});
    EXPECT_EQ(First("SELECT other FROM present"), "7");
    EXPECT_EQ(pTable->piGetLastError()->eGetErrorLevel(), NA_ERRORLEVEL_2);
    EXPECT_EQ(pTable->nGetNbDataAccess(), 0u);
}

// A creation drops the table that was there, creates it and its indexes;
// over a missing table the server's refusal of the DROP is passed over;
// indexes the server refuses (a user without the INDEX privilege) stop
// neither the others nor the creation.
TEST_F(TableObjectServer, CreationDropsCreatesAndIndexes)
{
    std::string strUser;
    CHostConnectionDescription* pLimited = LimitedHost("ztni", "SELECT, CREATE, DROP, INSERT", L"ztnoindex", &strUser);
    ASSERT_NE(pLimited, nullptr);
    INADataSourceDescription* pi = HandMadeT(L"K");
    struct {
        const char* pszCase;
        CHostConnectionDescription* pHost;
        bool bTableBefore;
        bool bIndexesMade;
    } const tabCase[] = {
        {"over a table", m_pHost, true, true},
        {"over no table", m_pHost, false, true},
        {"indexes refused", pLimited, true, false},
    };
    unsigned int nContext = 93;
    for (const auto& c : tabCase) {
        SCOPED_TRACE(c.pszCase);
        Admin("DROP TABLE IF EXISTS T");
        if (c.bTableBefore) {
            ASSERT_TRUE(Admin("CREATE TABLE T (z INT)"));
            ASSERT_TRUE(Admin("INSERT INTO T (z) VALUES (1)"));
        }
        CNATable* pTable = Table(pi, c.pHost);
        ASSERT_NE(pTable, nullptr);
        CHostContext* pContext = Context(1, nContext++);
        Sent();
        const unsigned long long nBefore = static_cast<unsigned int>(std::time(nullptr));
        ASSERT_EQ(pTable->bHCreation(pContext, nullptr), 1) << TableError(pTable);
        const unsigned long long nAfter = static_cast<unsigned int>(std::time(nullptr));
        const Texts tabWrites = Writes();
        ASSERT_EQ(tabWrites.size(), 5u) << testing::PrintToString(tabWrites);
        EXPECT_EQ(tabWrites[0], "DROP TABLE `T`");
        EXPECT_EQ(tabWrites[1].find("CREATE TABLE `T`"), 0u) << tabWrites[1];
        std::vector<std::string> tabNames;
        ASSERT_NO_FATAL_FAILURE(
            CheckIndexTexts(Texts(tabWrites.begin() + 2, tabWrites.end()), nBefore, nAfter, &tabNames));
        Rows tabExpected = {"U:U"};
        if (c.bIndexesMade)
            tabExpected.insert(tabExpected.end(), {"K:A,B", tabNames[0] + ":X", tabNames[1] + ":Y"});
        std::sort(tabExpected.begin(), tabExpected.end());
        EXPECT_EQ(List(kIndexesOfT), tabExpected);
        EXPECT_EQ(First("SELECT COUNT(*) FROM T"), "0");
        if (c.bIndexesMade) {
            // Nothing is left of a DROP the server refused.
            CNAError* pSeen = static_cast<CNAError*>(pTable->piGetLastError(pContext));
            EXPECT_EQ(pSeen->dwGetDataBaseErrorCode(), 0u) << Narrow(pSeen->pszGetError());
        }
        EXPECT_EQ(pTable->bIsOpened(pContext), 1);
        EXPECT_EQ(pTable->nGetNbDataAccess(), 1u);
        EXPECT_EQ(pTable->bHFerme(pContext), 1);
    }
    Admin("DROP USER '" + strUser + "'@'127.0.0.1'");
}

// A name the connection's code page cannot hold would be created as "?":
// on a 1252 connection the creation of a table so named, or of one with an
// item so named, is refused (user error 77) before anything is written; on
// UTF-8 both are created under their own names.
TEST_F(TableObjectServer, ANameTheCodePageCannotHoldIsNeverCreatedAsAQuestionMark)
{
    CHostConnectionDescription* p1252 = HostOn(L"ZT Unicode Support=0", L"ztnames1252");
    struct {
        const char* pszCase;
        const wchar_t* pszTable;
        const wchar_t* pszItem;
        const char* pszServerName;
    } const tabCase[] = {
        {"a table", L"t\u4e2d", L"a", "t\xe4\xb8\xad"},
        {"an item", L"ti", L"a\u65e5", "ti"},
    };
    unsigned int nContext = 140;
    for (const auto& c : tabCase) {
        SCOPED_TRACE(c.pszCase);
        for (const bool bUTF8 : {false, true}) {
            SCOPED_TRACE(bUTF8 ? "UTF-8" : "1252");
            Admin(std::string("DROP TABLE IF EXISTS `") + c.pszServerName + "`");
            CTestTable clTable(nullptr, nullptr, c.pszTable);
            clTable.Add(L"id", NA_IT_I4, 4, CTestTable::UNIQUE);
            clTable.Add(c.pszItem, NA_IT_I4, 4);
            clTable->UpdateRecordSize();
            clTable->ExternalAddRef();
            m_apDescription.push_back(clTable.Get());
            CNATable* pTable = Table(clTable.Get(), bUTF8 ? m_pHost : p1252);
            ASSERT_NE(pTable, nullptr);
            CHostContext* pContext = Context(1, nContext++);
            Sent();
            const int bCreated = pTable->bHCreation(pContext, nullptr);
            const Texts tabWrites = Writes();
            const std::string strColumns =
                First(std::string("SELECT GROUP_CONCAT(COLUMN_NAME ORDER BY ORDINAL_POSITION) FROM "
                                  "information_schema.COLUMNS WHERE TABLE_SCHEMA = DATABASE() AND TABLE_NAME = '") +
                      c.pszServerName + "'");
            if (bUTF8) {
                EXPECT_EQ(bCreated, 1) << TableError(pTable);
                EXPECT_EQ(strColumns, "id," + UTF8Of(c.pszItem));
                EXPECT_EQ(pTable->bHFerme(pContext), 1);
            } else {
                EXPECT_EQ(bCreated, 0);
                EXPECT_EQ(pTable->piGetLastError()->dwGetErrorId(), static_cast<unsigned>(ZTERR_CODE_PAGE))
                    << TableError(pTable);
                EXPECT_EQ(tabWrites, Texts{});
                EXPECT_EQ(strColumns, "NULL");
                EXPECT_EQ(Holds("?"), "0");
                EXPECT_EQ(Holds("t?"), "0");
            }
        }
        Admin(std::string("DROP TABLE IF EXISTS `") + c.pszServerName + "`");
    }
}

// Dropping the file: a missing table is no failure; a refusal the server
// gives for any other reason is one, kept with level 2. The data access
// goes either way.
TEST_F(TableObjectServer, DroppingTheFile)
{
    std::string strUser;
    CHostConnectionDescription* pLimited = LimitedHost("ztnd", "SELECT, CREATE, INSERT", L"ztnodrop", &strUser);
    ASSERT_NE(pLimited, nullptr);
    INADataSourceDescription* pi = Description(L"present");
    ASSERT_NE(pi, nullptr);
    struct {
        const char* pszCase;
        CHostConnectionDescription* pHost;
        bool bTableBefore;
        bool bOpenedBefore;
        int bResult;
        unsigned int nServerError;
    } const tabCase[] = {
        {"present", m_pHost, true, false, 1, 0},
        {"present and open", m_pHost, true, true, 1, 0},
        {"missing", m_pHost, false, false, 1, 0},
        {"no DROP privilege", pLimited, true, false, 0, 1142},
    };
    unsigned int nContext = 101;
    for (const auto& c : tabCase) {
        SCOPED_TRACE(c.pszCase);
        Admin("DROP TABLE IF EXISTS present");
        if (c.bTableBefore) {
            ASSERT_TRUE(Admin("CREATE TABLE present (id INT PRIMARY KEY, v VARCHAR(10))"));
        }
        CNATable* pTable = Table(pi, c.pHost);
        ASSERT_NE(pTable, nullptr);
        CHostContext* pContext = Context(1, nContext++);
        if (c.bOpenedBefore) {
            ASSERT_EQ(pTable->bHOuvre(pContext, static_cast<eNA_ACCESS>(0), nullptr), 1) << TableError(pTable);
        }
        Sent();
        EXPECT_EQ(pTable->bSupprimeFichier(pContext), c.bResult) << TableError(pTable);
        const Texts tabWrites = Writes();
        ASSERT_EQ(tabWrites.size(), 1u) << testing::PrintToString(tabWrites);
        EXPECT_EQ(tabWrites[0], "DROP TABLE `present`");
        CNAError* pError = pTable->piGetLastError();
        EXPECT_EQ(pError->dwGetDataBaseErrorCode(), c.nServerError) << TableError(pTable);
        EXPECT_EQ(pError->eGetErrorLevel(), c.bResult ? NA_ERRORLEVEL_NOERROR : NA_ERRORLEVEL_2);
        EXPECT_EQ(Holds("present"), c.bResult ? "0" : "1");
        // Nothing is left of the server's 1051 in the context's error.
        CNAError* pSeen = static_cast<CNAError*>(pTable->piGetLastError(pContext));
        EXPECT_EQ(pSeen->dwGetDataBaseErrorCode(), c.nServerError) << Narrow(pSeen->pszGetError());
        EXPECT_EQ(pTable->nGetNbDataAccess(), 0u);
        EXPECT_EQ(pTable->bIsOpened(pContext), 0);
    }
    Admin("DROP USER '" + strUser + "'@'127.0.0.1'");
}

// Deleting every record keeps the table and closes the data access.
TEST_F(TableObjectServer, DeletingEveryRecord)
{
    ASSERT_TRUE(Admin("INSERT INTO present (id, v) VALUES (1, 'a'), (2, 'b'), (3, NULL)"));
    CNATable* pTable = Table(Description(L"present"), m_pHost);
    ASSERT_NE(pTable, nullptr);
    CHostContext* pContext = Context(1, 111);
    ASSERT_EQ(pTable->bHOuvre(pContext, static_cast<eNA_ACCESS>(0), nullptr), 1) << TableError(pTable);
    Sent();
    ASSERT_EQ(pTable->bSupprimeTout(pContext), 1) << TableError(pTable);
    EXPECT_EQ(Writes(), Texts{"DELETE FROM `present`"});
    EXPECT_EQ(First("SELECT COUNT(*) FROM present"), "0");
    EXPECT_EQ(Holds("present"), "1");
    EXPECT_EQ(pTable->bIsOpened(pContext), 0);
    EXPECT_EQ(pTable->nGetNbDataAccess(), 1u);
}

// A creation the server refuses (a user with SELECT only): 0, the refusal
// of the CREATE reported at level 2, not the missing table's (a refused
// DROP before it stays in the error too).
TEST_F(TableObjectServer, ARefusedCreationReportsTheCreation)
{
    std::string strUser;
    CHostConnectionDescription* pLimited = LimitedHost("ztnc", "SELECT", L"ztnocreate", &strUser);
    ASSERT_NE(pLimited, nullptr);
    INADataSourceDescription* pi = Description(L"present");
    ASSERT_NE(pi, nullptr);
    ASSERT_TRUE(Admin("DROP TABLE present"));
    CNATable* pTable = Table(pi, pLimited);
    ASSERT_NE(pTable, nullptr);
    struct {
        const char* pszCase;
        std::function<int(CHostContext*)> create;
        Texts tabWrites;  // their starts
    } const tabCase[] = {
        {"if missing",
         [&](CHostContext* pc) { return pTable->bHCreationSiInexistant(pc, static_cast<eNA_ACCESS>(0), nullptr); },
         {"CREATE TABLE `present`"}},
        {"with a drop", [&](CHostContext* pc) { return pTable->bHCreation(pc, nullptr); },
         {"DROP TABLE `present`", "CREATE TABLE `present`"}},
    };
    unsigned int nContext = 121;
    for (const auto& c : tabCase) {
        SCOPED_TRACE(c.pszCase);
        CHostContext* pContext = Context(1, nContext++);
        Sent();
        EXPECT_EQ(c.create(pContext), 0);
        const Texts tabWrites = Writes();
        ASSERT_EQ(tabWrites.size(), c.tabWrites.size()) << testing::PrintToString(tabWrites);
        for (size_t i = 0; i < tabWrites.size(); i++)
            EXPECT_EQ(tabWrites[i].find(c.tabWrites[i]), 0u) << tabWrites[i];
        CNAError* pError = pTable->piGetLastError();
        EXPECT_EQ(pError->dwGetDataBaseErrorCode(), 1142u) << TableError(pTable);
        EXPECT_EQ(TableError(pTable).find("1146"), std::string::npos) << TableError(pTable);
        EXPECT_NE(TableError(pTable).find("CREATE command denied"), std::string::npos) << TableError(pTable);
        EXPECT_EQ(pError->eGetErrorLevel(), NA_ERRORLEVEL_2);
        EXPECT_EQ(pTable->nGetNbDataAccess(), 0u);
        EXPECT_EQ(Holds("present"), "0");
    }
    Admin("DROP USER '" + strUser + "'@'127.0.0.1'");
}

// Each operation on the whole table names the context's data access by
// the logical name the host gave for it, else by the table's.
TEST_F(TableObjectServer, TheAliasComesFromTheContext)
{
    CNATable* pTable = Table(Description(L"present"), m_pHost);
    ASSERT_NE(pTable, nullptr);
    const eNA_ACCESS eAccess = static_cast<eNA_ACCESS>(0);
    struct {
        const char* pszCase;
        const wchar_t* pszNext;  // null: none given
        std::function<int(CHostContext*)> run;
        const wchar_t* pszAlias;
        const wchar_t* pszNotAlias;
    } const tabCase[] = {
        {"none given", nullptr, [&](CHostContext* pc) { return pTable->bHOuvre(pc, eAccess, nullptr); }, L"present",
         L"other"},
        {"an empty one", L"", [&](CHostContext* pc) { return pTable->bHOuvre(pc, eAccess, nullptr); }, L"present",
         L"other"},
        {"one given", L"other", [&](CHostContext* pc) { return pTable->bHOuvre(pc, eAccess, nullptr); }, L"other",
         L"present"},
        {"a creation", L"made", [&](CHostContext* pc) { return pTable->bHCreation(pc, nullptr); }, L"made",
         L"present"},
        // Opened under the table's name first.
        {"emptied", L"emptied",
         [&](CHostContext* pc) {
             m_piDriver->SetNextLogicalName(pc, L"");
             if (!pTable->bHOuvre(pc, eAccess, nullptr))
                 return 0;
             m_piDriver->SetNextLogicalName(pc, L"emptied");
             return pTable->bSupprimeTout(pc);
         },
         L"emptied", L"present"},
    };
    unsigned int nContext = 131;
    for (const auto& c : tabCase) {
        SCOPED_TRACE(c.pszCase);
        CHostContext* pContext = Context(1, nContext++);
        if (c.pszNext != nullptr) {
            ASSERT_EQ(m_piDriver->SetNextLogicalName(pContext, c.pszNext), 1);
        }
        ASSERT_EQ(c.run(pContext), 1) << TableError(pTable);
        CNAContext* pclContext = pTable->_pclFindContext(pContext);
        ASSERT_NE(pclContext, nullptr);
        CNADataAccess* pFound = pclContext->pclFindDataAccessByAliasName(pTable->pclGetConnection(), c.pszAlias);
        EXPECT_NE(pFound, nullptr);
        if (pFound != nullptr)
            pFound->nRelease();
        pFound = pclContext->pclFindDataAccessByAliasName(pTable->pclGetConnection(), c.pszNotAlias);
        EXPECT_EQ(pFound, nullptr);
        if (pFound != nullptr)
            pFound->nRelease();
        pclContext->nRelease();
    }
}

// Emptying the table refused (a user without DELETE): 0 with the refusal
// at level 2 in the context's error; the records stay.
TEST_F(TableObjectServer, ARefusedEmptyingKeepsTheRecords)
{
    std::string strUser;
    CHostConnectionDescription* pLimited = LimitedHost("ztnx", "SELECT", L"ztnodelete", &strUser);
    ASSERT_NE(pLimited, nullptr);
    ASSERT_TRUE(Admin("INSERT INTO present (id, v) VALUES (1, 'a'), (2, 'b')"));
    CNATable* pTable = Table(Description(L"present"), pLimited);
    ASSERT_NE(pTable, nullptr);
    CHostContext* pContext = Context(1, 141);
    ASSERT_EQ(pTable->bHOuvre(pContext, static_cast<eNA_ACCESS>(0), nullptr), 1) << TableError(pTable);
    EXPECT_EQ(pTable->bSupprimeTout(pContext), 0);
    CNAError* pSeen = static_cast<CNAError*>(pTable->piGetLastError(pContext));
    EXPECT_EQ(pSeen->dwGetDataBaseErrorCode(), 1142u) << Narrow(pSeen->pszGetError());
    EXPECT_EQ(pSeen->eGetErrorLevel(), NA_ERRORLEVEL_2);
    EXPECT_EQ(First("SELECT COUNT(*) FROM present"), "2");
    Admin("DROP USER '" + strUser + "'@'127.0.0.1'");
}

// A creation, and emptying the table, close what the data access had
// read: the browse that follows finds nothing.
TEST_F(TableObjectServer, CreatingAndEmptyingCloseTheBrowse)
{
    CNATable* pTable = Table(Description(L"present"), m_pHost);
    ASSERT_NE(pTable, nullptr);
    const eNA_LOCKTYPE eNoLock = static_cast<eNA_LOCKTYPE>(0);
    struct {
        const char* pszCase;
        std::function<int(CHostContext*)> run;
    } const tabCase[] = {
        {"a creation", [&](CHostContext* pc) { return pTable->bHCreation(pc, nullptr); }},
        {"emptied", [&](CHostContext* pc) { return pTable->bSupprimeTout(pc); }},
    };
    unsigned int nContext = 151;
    for (const auto& c : tabCase) {
        SCOPED_TRACE(c.pszCase);
        ASSERT_TRUE(Admin("INSERT INTO present (id, v) VALUES (1, 'a'), (2, 'b')"));
        CHostContext* pContext = Context(1, nContext++);
        ASSERT_EQ(pTable->bHOuvre(pContext, static_cast<eNA_ACCESS>(0), nullptr), 1) << TableError(pTable);
        ASSERT_EQ(pTable->bHLitxxx(pContext, L"id", NA_PARSE_FIRST, 1, eNoLock, nullptr, 0), 1)
            << TableError(pTable);
        int bOut = -1;
        ASSERT_EQ(pTable->bHEnDehors(pContext, L"id", &bOut), 1);
        ASSERT_EQ(bOut, 0);
        ASSERT_EQ(c.run(pContext), 1) << TableError(pTable);
        EXPECT_EQ(First("SELECT COUNT(*) FROM present"), "0");
        pTable->bHLitxxx(pContext, L"id", NA_PARSE_NEXT, 1, eNoLock, nullptr, 0);
        bOut = -1;
        EXPECT_EQ(pTable->bHEnDehors(pContext, L"id", &bOut), 1);
        EXPECT_EQ(bOut, 1) << "no row read before is read again";
    }
}

} // namespace
