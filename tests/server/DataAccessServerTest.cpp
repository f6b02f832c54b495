// The data access on the private server, through its own operations: the
// host's description, the current record from _bInitCurrentRecord, MySQL
// statements counted as they live. Every walk is compared with the order
// the server itself gives; the SQL texts are those the client library sent.
#include "access/driver/NAItemDescription.h"
#include "access/sql/NACommand.h"
#include "access/statement/NAColumn.h"
#include "access/statement/NAKXRecord.h"
#include "access/statement/NARecord.h"
#include "access/statement/NATableCache.h"
#include "access/table/NAPosition.h"
#include "common/platform/MyModuleInfo.h"
#include "common/values/Any.h"
#include "mysql/MySQLStatement.h"
#include "tests/support/OpenedAccess.h"
#include "tests/support/AnyValue.h"
#include "tests/support/SearchObjects.h"
#include "tests/support/StatementServer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr int kRows = 1200;
constexpr eNA_LOCKTYPE kNoLock = static_cast<eNA_LOCKTYPE>(0);
constexpr eNA_PARSEDIRECTION FIRST = NA_PARSE_FIRST, LAST = NA_PARSE_LAST, NEXT = NA_PARSE_NEXT,
                             PREVIOUS = NA_PARSE_PREVIOUS;

// A MySQL statement that counts the live ones, may read forwards only and
// refuses lock 5.
class CCountedStatement : public CMySQLStatement {
public:
    static int s_nLive;
    CCountedStatement(CNADataAccess* pclAccess, CNAError* pclError, bool bForwardOnly)
        : CMySQLStatement(pclAccess, pclError), m_bForwardOnly(bForwardOnly)
    {
        s_nLive++;
    }
    ~CCountedStatement() override { s_nLive--; }
    int bCanFetchBackward() override { return m_bForwardOnly ? 0 : 1; }
    int bSetLockType(eNA_LOCKTYPE eLock) override
    {
        return static_cast<int>(eLock) == 5 ? 0 : CMySQLStatement::bSetLockType(eLock);
    }

private:
    bool m_bForwardOnly;
};
int CCountedStatement::s_nLive = 0;

// The data access itself; only what opening a table will do is added.
class CLiveAccess : public COpenedAccess<CNADataAccess> {
public:
    using COpenedAccess<CNADataAccess>::COpenedAccess;
    CNAStatement* _pclAllocStatement(CNADataAccess* pclOwner, CNAError* pclError) override
    {
        return new CCountedStatement(pclOwner, pclError, m_bForwardOnly);
    }
    // Answers scripted in turn, the last one repeated.
    int bFichierExiste(int* pbExists, int* pbCompatible) override
    {
        const size_t n = std::min(m_tabExists.size() - 1, static_cast<size_t>(m_nExistsAsked++));
        *pbExists = 1;
        *pbCompatible = m_tabExists[n];
        return 1;
    }
    void KeepOwnSave()
    {
        m_nOwnRecordSave = nKeepCurrentRecordSave();
        AddRefRecordSave(m_nOwnRecordSave);
    }
    void AsQuery() { m_bSourceIsQuery = 1; }
    void AsQueryWithoutCorrection()
    {
        m_bSourceIsQuery = 1;
        m_eQueryMode = QM_WITHOUT_CORRECTION;
    }

    // A table cache, filled by the statement's browse when one is given.
    bool TableCache(CNAStatement* pclStatement)
    {
        return _bCreateNewTableCache(pclStatement) &&
               (pclStatement == nullptr || _bTableCacheSetStatementParse(pclStatement));
    }

    bool m_bForwardOnly = false;
    std::vector<int> m_tabExists = {0};
    int m_nExistsAsked = 0;
};

class DataAccessServer : public StatementServerTest {
protected:
    DataAccessServer() : StatementServerTest("zt_dataaccess") {}
    void TearDown() override
    {
        for (CLiveAccess* p : m_tabLive)
            EXPECT_EQ(p->nRelease(), 0u);
        m_tabLive.clear();
        EXPECT_EQ(CCountedStatement::s_nLive, 0);
        StatementServerTest::TearDown();
    }
    // b: 1,200 rows, ids out of insertion order, a key with duplicates, a
    // two-column key and a unique real number.
    void Fill()
    {
        ASSERT_TRUE(Admin("CREATE TABLE b (id INT NOT NULL PRIMARY KEY, k INT NOT NULL, ca INT NOT NULL, "
                          "cb INT NOT NULL, r DOUBLE NOT NULL, KEY(k), UNIQUE KEY(ca, cb), UNIQUE KEY(r))"));
        std::string strSQL = "INSERT INTO b VALUES ";
        for (int i = 1; i <= kRows; i++) {
            strSQL += (i > 1 ? "," : "") + std::string("(") + std::to_string(i * 37 % 1201) + "," +
                      std::to_string(i % 47) + "," + std::to_string(i % 30) + "," + std::to_string(i / 30) + "," +
                      std::to_string(i) + ".5)";
        }
        ASSERT_TRUE(Admin(strSQL));
    }
    CLiveAccess* TableB(const std::wstring& strOptions = L"")
    {
        CMySQLConnection* pCnx = Connect(strOptions);
        STable* p = NewTable(pCnx, L"b");
        Both(p, L"id", NA_IT_I4, 4, CTestTable::UNIQUE | CNAItemDescription::KF_PRIMARY, false);
        Both(p, L"k", NA_IT_I4, 4, CTestTable::DUPLICATES, false);
        Both(p, L"ca", NA_IT_I4, 4, 0, false);
        Both(p, L"cb", NA_IT_I4, 4, 0, false);
        Both(p, L"r", NA_IT_R8, 8, CTestTable::UNIQUE, false);
        p->pHost->AddComposite(L"ck", CTestTable::UNIQUE, {L"ca", L"cb"}, false);
        p->pDatabase->AddComposite(L"ck", CTestTable::UNIQUE, {L"ca", L"cb"}, false);
        return Live(p, p->pDatabase.get(), pCnx);
    }
    // Opened over the database's description when one is given.
    CLiveAccess* Live(STable* p, CTestTable* pDatabase, CNAConnectionDescription* pCnx)
    {
        (*p->pHost)->UpdateRecordSize();
        if (pDatabase != nullptr)
            (*pDatabase)->UpdateRecordSize();
        CLiveAccess* pAccess = new CLiveAccess(p->pHost->Get(), pCnx, m_pError);
        m_tabLive.push_back(pAccess);
        EXPECT_TRUE(pAccess->Open(pDatabase != nullptr ? pDatabase->Get() : nullptr)) << ErrorText();
        return pAccess;
    }
    int Read(CLiveAccess* p, const wchar_t* pszItem, eNA_PARSEDIRECTION eDirection, unsigned int nFlags = 0)
    {
        return p->bHLitxxx(pszItem, eDirection, 1, kNoLock, nullptr, nFlags);
    }
    bool Out(CLiveAccess* p, const wchar_t* pszItem)
    {
        int bOut = 1;
        EXPECT_EQ(p->bHEndehors(pszItem, &bOut), 1);
        return bOut != 0;
    }
    // The rows ("id/k") from one end to the other.
    Rows Walk(CLiveAccess* p, const wchar_t* pszItem, bool bForward, unsigned int nFlags)
    {
        Rows tab;
        EXPECT_EQ(Read(p, pszItem, bForward ? FIRST : LAST, nFlags), 1) << ErrorText();
        while (!Out(p, pszItem) && tab.size() <= kRows) {
            tab.push_back(Row(p));
            EXPECT_EQ(Read(p, pszItem, bForward ? NEXT : PREVIOUS, nFlags), 1) << ErrorText();
        }
        return tab;
    }
    static std::string Row(CLiveAccess* p) { return Value(p, L"id") + "/" + Value(p, L"k"); }
    // The error held: user error, debug point, kind and names together.
    void ExpectError(unsigned int nUserError, const wchar_t* pszPoint, eNA_ERRORTYPE eKind, const char* pszItem)
    {
        EXPECT_EQ(m_pError->nGetUserErrorCode(), nUserError) << ErrorText();
        const wchar_t* pszDebug = m_pError->pclGetXError()->pszGetDebugMessage();
        EXPECT_NE(std::wstring(pszDebug != nullptr ? pszDebug : L"").find(pszPoint), std::wstring::npos)
            << ErrorText();
        EXPECT_EQ(m_pError->eGetErrorType(), eKind);
        EXPECT_EQ(Narrow(m_pError->pszGetLogicalTableName()), "b");
        EXPECT_EQ(Narrow(m_pError->pszGetItemName()), pszItem);
    }

    std::vector<CLiveAccess*> m_tabLive;
};

// Rows as "id/k", the k part alone, and sorted.
Rows Part(const Rows& tab, bool bK)
{
    Rows tabPart;
    for (const std::string& s : tab)
        tabPart.push_back(bK ? s.substr(s.find('/') + 1) : s.substr(0, s.find('/')));
    return tabPart;
}
Rows Sorted(Rows tab)
{
    std::sort(tab.begin(), tab.end());
    return tab;
}

TEST_F(DataAccessServer, EveryRowOnceInTheServersOrder)
{
    ASSERT_NO_FATAL_FAILURE(Fill());
    struct SItem {
        const wchar_t* pszItem;
        const char* pszOrder;
        // Without its tie-break, the order the item alone gives.
        const char* pszOrderAlone;
    };
    const SItem aItem[] = {{L"id", "id", "id"}, {L"k", "k, id", "k"}, {L"ck", "ca, cb", "ca, cb"}};
    for (const wchar_t* pszOptions : {L"", L"ZT Cache Size=15"}) {
        CLiveAccess* p = TableB(pszOptions);
        for (const SItem& item : aItem) {
            for (unsigned int nFlags : {0u, 0x110000u}) {
                const std::string strCase = Narrow(pszOptions) + " " + item.pszOrder + " " + std::to_string(nFlags);
                const bool bExact = nFlags == 0 || std::string(item.pszOrder) == item.pszOrderAlone;
                const Rows tabExpected =
                    List(std::string("SELECT CONCAT(id, '/', k) FROM b ORDER BY ") + item.pszOrder);
                ASSERT_EQ(tabExpected.size(), static_cast<size_t>(kRows));
                Rows tabBackward = tabExpected;
                std::reverse(tabBackward.begin(), tabBackward.end());
                for (bool bForward : {true, false}) {
                    const Rows tab = Walk(p, item.pszItem, bForward, nFlags);
                    const Rows& tabWanted = bForward ? tabExpected : tabBackward;
                    if (bExact) {
                        EXPECT_EQ(tab, tabWanted) << strCase << " " << bForward;
                    } else {
                        // Rows of equal k come in the server's order for them.
                        EXPECT_EQ(Part(tab, true), Part(tabWanted, true)) << strCase << " " << bForward;
                        EXPECT_EQ(Sorted(tab), Sorted(tabWanted)) << strCase << " " << bForward;
                    }
                }
                if (!bExact)
                    continue;
                // Forwards past two block ends, then back over them.
                ASSERT_EQ(Read(p, item.pszItem, FIRST, nFlags), 1);
                for (int i = 1; i < 230; i++)
                    ASSERT_EQ(Read(p, item.pszItem, NEXT, nFlags), 1) << strCase;
                EXPECT_EQ(Row(p), tabExpected[229]) << strCase;
                for (int i = 228; i >= 0; i--) {
                    ASSERT_EQ(Read(p, item.pszItem, PREVIOUS, nFlags), 1) << strCase;
                    ASSERT_EQ(Row(p), tabExpected[i]) << strCase << " " << i;
                }
            }
        }
    }
}

TEST_F(DataAccessServer, EachActionOfTheEngine)
{
    ASSERT_NO_FATAL_FAILURE(Fill());
    CLiveAccess* p = TableB();
    const Rows tabOrder = List("SELECT id FROM b ORDER BY k, id");
    // A lock the statement refuses: nothing read, nothing sent.
    int nFrom = Queries();
    EXPECT_EQ(p->bHLitxxx(L"k", FIRST, 1, static_cast<eNA_LOCKTYPE>(5), nullptr, 0), 0);
    EXPECT_EQ(Queries(), nFrom);
    // Reopen: a SELECT for every first without 0x2000.
    ASSERT_EQ(Read(p, L"k", FIRST), 1) << ErrorText();
    EXPECT_EQ(Selects(nFrom).size(), 1u);
    for (int i = 0; i < 3; i++)
        ASSERT_EQ(Read(p, L"k", NEXT), 1);
    // Read the open result: first with 0x2000 on a result holding the start.
    nFrom = Queries();
    ASSERT_EQ(Read(p, L"k", FIRST, 0x2000), 1) << ErrorText();
    EXPECT_EQ(Queries(), nFrom);
    EXPECT_EQ(Value(p, L"id"), tabOrder[0]);
    // The result was cut by its row limit: last reopens.
    ASSERT_EQ(Read(p, L"k", LAST, 0x2000), 1) << ErrorText();
    EXPECT_EQ(Selects(nFrom).size(), 1u);
    EXPECT_EQ(Value(p, L"id"), tabOrder.back());
    // A lost record: next answers 1 and reads nothing.
    CNAStatement* pStatement = p->_pclFindStatement(L"k");
    ASSERT_NE(pStatement, nullptr);
    pStatement->SetRecordLost(1);
    nFrom = Queries();
    ASSERT_EQ(Read(p, L"k", PREVIOUS), 1);
    EXPECT_EQ(Queries(), nFrom);
    EXPECT_EQ(Value(p, L"id"), tabOrder.back());
    pStatement->SetRecordLost(0);
    // A pending refresh: the browse found again on its row, then moved.
    ASSERT_EQ(pStatement->bSetParseNeedUpdate(CNAStatement::UPDATE_REPOSITION, p->nKeepOriginalRecordSave(nullptr)), 1);
    ASSERT_EQ(Read(p, L"k", PREVIOUS), 1) << ErrorText();
    EXPECT_EQ(Value(p, L"id"), tabOrder[kRows - 2]);
    EXPECT_EQ(pStatement->eParseNeedUpdate(), CNAStatement::UPDATE_NONE);
    pStatement->nRelease();
}

TEST_F(DataAccessServer, BackwardsOnAForwardOnlyResult)
{
    ASSERT_NO_FATAL_FAILURE(Fill());
    CLiveAccess* p = TableB();
    p->m_bForwardOnly = true;
    ASSERT_EQ(Read(p, L"id", FIRST, 0x110000), 1) << ErrorText();
    ASSERT_EQ(Read(p, L"id", NEXT, 0x110000), 1) << ErrorText();
    ASSERT_EQ(Read(p, L"id", NEXT, 0x110000), 1) << ErrorText();
    const std::string strRow = Value(p, L"id");
    // A table's browse is marked and sent again from the row it stands on.
    int nFrom = Queries();
    ASSERT_EQ(Read(p, L"id", PREVIOUS, 0x110000), 1) << ErrorText();
    EXPECT_EQ(Value(p, L"id"), First("SELECT id FROM b WHERE id < " + strRow + " ORDER BY id DESC LIMIT 1"));
    EXPECT_EQ(Selects(nFrom).size(), 1u);
    ASSERT_EQ(Read(p, L"id", NEXT, 0x110000), 1) << ErrorText();
    EXPECT_EQ(Value(p, L"id"), strRow);
    // A query sent as written cannot be sent again: nothing serves.
    p->AsQueryWithoutCorrection();
    m_pError->Reset();
    nFrom = Queries();
    EXPECT_EQ(Read(p, L"id", PREVIOUS, 0x110000), 0);
    // Behind whatever the statement said about refreshing.
    const std::string strError = ErrorText();
    EXPECT_NE(strError.find("User error code: 82"), std::string::npos) << strError;
    EXPECT_NE(strError.find("IEDUZARO=3.27"), std::string::npos) << strError;
    EXPECT_NE(strError.find("EIT_ITEMNAME : <id>"), std::string::npos) << strError;
    EXPECT_EQ(Value(p, L"id"), strRow);
    EXPECT_EQ(Queries(), nFrom);
}

TEST_F(DataAccessServer, RowLimitsAndTheirOffset)
{
    ASSERT_NO_FATAL_FAILURE(Fill());
    const std::string strThousandth = First("SELECT id FROM b ORDER BY id LIMIT 999, 1");
    struct SCase {
        const wchar_t* pszOptions;
        const char* pszLimit;
    };
    for (const SCase& c : {SCase{L"", " LIMIT 990, 100"}, SCase{L"ZT Cache Size=15", " LIMIT 994, 15"}}) {
        CLiveAccess* p = TableB(c.pszOptions);
        const int nFrom = Queries();
        ASSERT_EQ(p->bSkipRecord(L"id", FIRST, 1000, 1, kNoLock, nullptr, 0), 1) << ErrorText();
        const std::vector<std::string> tab = Selects(nFrom);
        ASSERT_EQ(tab.size(), 1u);
        const std::string& s = tab[0];
        EXPECT_EQ(s.substr(s.size() - std::string(c.pszLimit).size()), c.pszLimit) << s;
        EXPECT_EQ(Value(p, L"id"), strThousandth);
    }
    // A real number orders no exact block.
    CLiveAccess* p = TableB();
    int nFrom = Queries();
    ASSERT_EQ(Read(p, L"r", FIRST), 1) << ErrorText();
    ASSERT_EQ(Selects(nFrom).size(), 1u);
    EXPECT_EQ(Selects(nFrom)[0].find(" LIMIT "), std::string::npos) << Selects(nFrom)[0];
    // Without its tie-break only a unique item reads by blocks.
    for (const wchar_t* pszItem : {L"k", L"id"}) {
        nFrom = Queries();
        ASSERT_EQ(Read(p, pszItem, FIRST, 0x110000), 1) << ErrorText();
        ASSERT_EQ(Selects(nFrom).size(), 1u);
        EXPECT_EQ(Selects(nFrom)[0].find(" LIMIT ") == std::string::npos, pszItem[0] == L'k') << Selects(nFrom)[0];
    }
    // A key with duplicates over a table without a unique key.
    ASSERT_TRUE(Admin("CREATE TABLE u (a INT NULL, b INT NULL, KEY(a))"));
    ASSERT_TRUE(Admin("INSERT INTO u VALUES (2,1),(1,5),(2,1),(NULL,3)"));
    CMySQLConnection* pCnx = Connect();
    STable* pTable = NewTable(pCnx, L"u");
    Both(pTable, L"a", NA_IT_I4, 4, CTestTable::DUPLICATES, true);
    Both(pTable, L"b", NA_IT_I4, 4, 0, true);
    CLiveAccess* pU = Live(pTable, pTable->pDatabase.get(), pCnx);
    nFrom = Queries();
    ASSERT_EQ(Read(pU, L"a", FIRST), 1) << ErrorText();
    ASSERT_EQ(Selects(nFrom).size(), 1u);
    EXPECT_EQ(Selects(nFrom)[0].find(" LIMIT "), std::string::npos) << Selects(nFrom)[0];
}

TEST_F(DataAccessServer, ErrorsWithTheirPointsAndNames)
{
    ASSERT_NO_FATAL_FAILURE(Fill());
    CLiveAccess* p = TableB();
    eNA_LOCKTYPE eOut = static_cast<eNA_LOCKTYPE>(9);
    EXPECT_EQ(p->bHLit(5, kNoLock, &eOut), 0);
    ExpectError(ZTERR_RECORD_NUMBER, L"IEDUZARO=3.14\r\n", NA_ERRORTYPE_GENERAL, "");
    EXPECT_EQ(p->nGetStatementCount(), 0u);
    EXPECT_EQ(static_cast<int>(eOut), 9);
    m_pError->Reset();
    int bOut = 7, bFound = 7, bIn = 7;
    EXPECT_EQ(p->bHEndehors(L"k", &bOut), 0);
    ExpectError(ZTERR_ITEM_NOT_BROWSED, L"IEDUZARO=3.17\r\n", NA_ERRORTYPE_GENERAL, "k");
    m_pError->Reset();
    EXPECT_EQ(p->bEvalHTrouve(L"k", &bFound, &bIn), 0);
    ExpectError(ZTERR_ITEM_NOT_BROWSED, L"IEDUZARO=3.18\r\n", NA_ERRORTYPE_GENERAL, "k");
    EXPECT_EQ(bOut + bFound + bIn, 21);
    // Browsed, both answer.
    ASSERT_EQ(Read(p, L"k", FIRST), 1);
    EXPECT_EQ(p->bHEndehors(L"k", &bOut), 1);
    EXPECT_EQ(bOut, 0);
    EXPECT_EQ(p->bEvalHTrouve(L"k", &bFound, &bIn), 1);
    // Without a table cache every announced operation can be served.
    for (int nOperation : {1, 2, 3, 7}) {
        m_pError->Reset();
        EXPECT_EQ(p->bSetNextOperation(static_cast<eNA_OPERATION>(nOperation)), 1) << nOperation;
        EXPECT_EQ(p->eGetNextOperation(), nOperation);
        EXPECT_EQ(m_pError->nGetUserErrorCode(), 0u);
    }
}

TEST_F(DataAccessServer, RefusedAndInertOperations)
{
    ASSERT_NO_FATAL_FAILURE(Fill());
    CLiveAccess* p = TableB();
    ASSERT_EQ(Read(p, L"id", FIRST), 1);
    ASSERT_EQ(Read(p, L"id", NEXT), 1);
    const std::string strRow = Value(p, L"id");
    struct SCase {
        const char* pszName;
        std::function<int(eNA_LOCKTYPE*, CAny*)> call;
        const wchar_t* pszPoint;
        eNAERRORLEVEL eLevel;
    };
    const std::vector<SCase> tabCase = {
        {"bHBloqueFichier", [&](eNA_LOCKTYPE* pe, CAny*) { return p->bHBloqueFichier(kNoLock, pe); },
         L"IEDUZARO=3.5\r\n", static_cast<eNAERRORLEVEL>(2)},
        {"bHBloqueNumEnr", [&](eNA_LOCKTYPE* pe, CAny*) { return p->bHBloqueNumEnr(0, kNoLock, pe); },
         L"IEDUZARO=3.7\r\n", static_cast<eNAERRORLEVEL>(2)},
        {"bHRaye", [&](eNA_LOCKTYPE*, CAny*) { return p->bHRaye(0, kNoLock); }, L"IEDUZARO=3.10\r\n",
         static_cast<eNAERRORLEVEL>(3)},
        {"bHLibere", [&](eNA_LOCKTYPE*, CAny*) { return p->bHLibere(); }, L"IEDUZARO=3.11\r\n",
         static_cast<eNAERRORLEVEL>(3)},
        {"bHConstruitValCle", [&](eNA_LOCKTYPE*, CAny* pv) { return p->bHConstruitValCle(pv, L"id", 0, nullptr); },
         L"IEDUZARO=3.13\r\n", static_cast<eNAERRORLEVEL>(3)},
    };
    for (const SCase& c : tabCase) {
        m_pError->Reset();
        eNA_LOCKTYPE eOut = static_cast<eNA_LOCKTYPE>(9);
        CAny v;
        SetAs<int>(v, TQTYPE_I4, 41);
        EXPECT_EQ(c.call(&eOut, &v), 0) << c.pszName;
        ExpectError(ZTERR_NOT_OFFERED, c.pszPoint, NA_ERRORTYPE_NOTOFFERED, "");
        EXPECT_EQ(m_pError->eGetErrorLevel(), c.eLevel) << c.pszName;
        EXPECT_EQ(static_cast<int>(eOut), 9) << c.pszName;
        EXPECT_EQ(Get<int>(v), 41) << c.pszName;
        EXPECT_EQ(p->eGetNAErrorType(), NA_ERRORTYPE_NOTOFFERED);
    }
    m_pError->Reset();
    EXPECT_EQ(p->bHDebloqueFichier(), 1);
    EXPECT_EQ(p->bHDebloqueNumEnr(3), 1);
    EXPECT_EQ(m_pError->nGetUserErrorCode(), 0u);
    // The browse stands where it stood.
    EXPECT_EQ(Value(p, L"id"), strRow);
    ASSERT_EQ(Read(p, L"id", NEXT), 1);
    EXPECT_EQ(Value(p, L"id"), First("SELECT id FROM b ORDER BY id LIMIT 2, 1"));
    // A duplicate reported by the server takes the connection's kind.
    m_pError->Reset();
    m_pError->AddError(NA_ERRORTYPE_GENERAL, 3, 1, p->pclGetConnection(), ZTERR_NOT_OFFERED);
    m_pError->SetDataBaseErrorCode(1062);
    EXPECT_EQ(p->eGetNAErrorType(), NA_ERRORTYPE_DUPLICATE);
}

TEST_F(DataAccessServer, RegistryAndClosing)
{
    ASSERT_NO_FATAL_FAILURE(Fill());
    CLiveAccess* p = TableB();
    // One statement for "Item" and "ITEM", a reference for each caller.
    CNAStatement* pA = p->_pclGetNewItemStatement(L"Item", FIRST, 0);
    ASSERT_NE(pA, nullptr);
    const unsigned int nRef = pA->nGetRef();
    CNAStatement* pB = p->_pclGetNewItemStatement(L"ITEM", FIRST, 0);
    EXPECT_EQ(pB, pA);
    EXPECT_EQ(pA->nGetRef(), nRef + 1);
    EXPECT_EQ(p->nGetStatementCount(), 1u);
    EXPECT_EQ(p->pclGetLastStatementNoRef(), pA);
    pA->nRelease();
    pB->nRelease();
    // 0x8000 carries the filter to another item only.
    CNAStatement* pK = p->_pclGetNewItemStatement(L"k", FIRST, 0);
    CAny a, b;
    SetAs<int>(a, TQTYPE_I4, 5);
    SetAs<int>(b, TQTYPE_I4, 9);
    ASSERT_EQ(pK->bSetFilter(L"k", &a, 1, &b, 1, nullptr), 1) << ErrorText();
    pK->pclActivateFilter()->nRelease();
    CNAStatement* pSame = p->_pclGetNewItemStatement(L"k", FIRST, 0x8000);
    EXPECT_EQ(pSame, pK);
    CNAStatement* pId = p->_pclGetNewItemStatement(L"id", FIRST, 0x8000);
    EXPECT_EQ(pId->bExistFilter(), 1);
    CNAStatement* pR = p->_pclGetNewItemStatement(L"r", FIRST, 0);
    EXPECT_EQ(pR->bExistFilter(), 0);
    for (CNAStatement* pcl : {pK, pSame, pId, pR})
        pcl->nRelease();
    // Without a last statement: the best item's.
    EXPECT_EQ(p->bHFerme(), 1);
    EXPECT_EQ(p->pclGetLastStatementNoRef(), nullptr);
    CNAStatement* pLast = p->_pclGetLastStatement();
    ASSERT_NE(pLast, nullptr);
    EXPECT_EQ(Narrow(pLast->pszGetName()), "id");
    EXPECT_EQ(p->pclGetLastStatementNoRef(), pLast);
    pLast->nRelease();
    // Browses, a position and a count, then everything given back.
    ASSERT_EQ(Read(p, L"k", FIRST), 1);
    ASSERT_EQ(Read(p, L"ck", LAST), 1);
    long long llCount = 0;
    ASSERT_EQ(p->bHNbEnr(&llCount, 16, 0), 1) << ErrorText();
    EXPECT_GT(CCountedStatement::s_nLive, 0);
    EXPECT_EQ(p->bHFerme(), 1);
    EXPECT_EQ(p->bHFerme(), 1);
    EXPECT_EQ(p->nGetStatementCount(), 0u);
    EXPECT_EQ(p->nGetPositionCount(), 0u);
    EXPECT_EQ(p->bIsOpened(), 0);
    EXPECT_EQ(CCountedStatement::s_nLive, 0);
    EXPECT_EQ(CountingClient("CountingClient_nResults")(), CountingClient("CountingClient_nResultsFreed")());
    // The description and the current record stay.
    EXPECT_NE(p->pclGetCurrentRecordNoRef(), nullptr);
    EXPECT_STREQ(p->pszGetLogicalName(), L"b");
}

TEST_F(DataAccessServer, CompatibilityAskedUntilTrue)
{
    ASSERT_NO_FATAL_FAILURE(Fill());
    CLiveAccess* p = TableB();
    p->m_tabExists = {0, 0, 1, 0};
    EXPECT_EQ(p->bCheckCompatibilityWithDatabase(), 0);
    EXPECT_EQ(p->bCheckCompatibilityWithDatabase(), 0);
    EXPECT_EQ(p->bCheckCompatibilityWithDatabase(), 1);
    EXPECT_EQ(p->bCheckCompatibilityWithDatabase(), 1);
    EXPECT_EQ(p->m_nExistsAsked, 3);
    // A query's description for the host: one clone, a reference a call.
    CLiveAccess* pQuery = TableB();
    pQuery->AsQuery();
    INADataSourceDescription* pi1 = pQuery->piGetDataSourceDescriptionForKX();
    ASSERT_NE(pi1, nullptr);
    EXPECT_NE(pi1, pQuery->piGetDataSourceDescriptionNoRef());
    CNADataSourceDescription* pclClone = static_cast<CNADataSourceDescription*>(pi1);
    const unsigned int nRef = pclClone->nGetExternalRef();
    INADataSourceDescription* pi2 = pQuery->piGetDataSourceDescriptionForKX();
    EXPECT_EQ(pi2, pi1);
    EXPECT_EQ(pclClone->nGetExternalRef(), nRef + 1);
    pi1->nExternalRelease();
    pi2->nExternalRelease();
    // The description with one reference for the caller.
    CNADataSourceDescription* pclOwn = static_cast<CNADataSourceDescription*>(p->piGetDataSourceDescriptionNoRef());
    const unsigned int nOwnRef = pclOwn->nGetExternalRef();
    INADataSourceDescription* piOwn = p->piGetDataSourceDescription();
    EXPECT_EQ(piOwn, pclOwn);
    EXPECT_EQ(pclOwn->nGetExternalRef(), nOwnRef + 1);
    piOwn->nExternalRelease();
    // A table's is its own description.
    INADataSourceDescription* piTable = p->piGetDataSourceDescriptionForKX();
    EXPECT_EQ(piTable, p->piGetDataSourceDescriptionNoRef());
    piTable->nExternalRelease();
}

TEST_F(DataAccessServer, TheCurrentRecord)
{
    ASSERT_NO_FATAL_FAILURE(Fill());
    CMySQLConnection* pCnx = Connect();
    STable* pTable = NewTable(pCnx, L"b");
    Both(pTable, L"id", NA_IT_I4, 4, CTestTable::UNIQUE | CNAItemDescription::KF_PRIMARY, false);
    Both(pTable, L"k", NA_IT_I4, 4, CTestTable::DUPLICATES, false);
    (*pTable->pHost)->UpdateRecordSize();
    (*pTable->pDatabase)->UpdateRecordSize();
    CLiveAccess* p = new CLiveAccess(pTable->pHost->Get(), pCnx, m_pError);
    m_tabLive.push_back(p);
    // Unopened: no buffer handed out, none taken, no error.
    CNAKXRecord* pOut = nullptr;
    EXPECT_EQ(p->bGetRecord(&pOut), 0);
    EXPECT_EQ(pOut, nullptr);
    CNAKXRecord* pHost = new CNAKXRecord();
    pHost->AddRef();
    pHost->AddRef();
    EXPECT_EQ(p->bSetRecord(pHost), 0);
    // Both references still there.
    EXPECT_EQ(pHost->nRelease(), 1u);
    EXPECT_EQ(m_pError->nGetUserErrorCode(), 0u);
    ASSERT_TRUE(p->Open(pTable->pDatabase->Get())) << ErrorText();
    // The same buffer at every call, a reference each time.
    CNAKXRecord* pFirst = nullptr;
    EXPECT_EQ(p->bGetRecord(nullptr), 0);
    ASSERT_EQ(p->bGetRecord(&pFirst), 1);
    ASSERT_EQ(p->bGetRecord(&pOut), 1);
    EXPECT_EQ(pOut, pFirst);
    const unsigned int nAfterOne = pOut->nRelease();
    EXPECT_EQ(pFirst->nRelease(), nAfterOne - 1);
    pHost->nRelease();
    // The first NOT NULL item without a value.
    INAItemDescription* piNull = p->piGetNullItemDesc(0);
    ASSERT_NE(piNull, nullptr);
    EXPECT_EQ(Narrow(piNull->pszGetName()), "id");
    piNull->nExternalRelease();
    Set(p, L"id", L"4");
    piNull = p->piGetNullItemDesc(0);
    ASSERT_NE(piNull, nullptr);
    EXPECT_EQ(Narrow(piNull->pszGetName()), "k");
    piNull->nExternalRelease();
    Set(p, L"k", L"2");
    EXPECT_EQ(p->piGetNullItemDesc(0), nullptr);
    // The own record save: kept by 1, given up by 0.
    p->KeepOwnSave();
    const int nSave = p->nGetOwnRecordSave();
    ASSERT_NE(nSave, -1);
    EXPECT_EQ(p->bSetCurrentRecordRead(1), 1);
    EXPECT_EQ(p->nGetOwnRecordSave(), nSave);
    EXPECT_EQ(Value(p, L"id"), "4");
    EXPECT_EQ(p->bSetCurrentRecordRead(0), 1);
    EXPECT_EQ(p->nGetOwnRecordSave(), -1);
    // A composite key first ends the walk.
    STable* pComposite = NewTable(pCnx, L"b");
    pComposite->pHost->Add(L"ca", NA_IT_I4, 4, 0, false);
    pComposite->pHost->Add(L"cb", NA_IT_I4, 4, 0, false);
    pComposite->pDatabase->Add(L"ca", NA_IT_I4, 4, 0, false);
    pComposite->pDatabase->Add(L"cb", NA_IT_I4, 4, 0, false);
    CLiveAccess* pC = nullptr;
    {
        // The key is declared first, its components after it.
        STable* pKeyFirst = NewTable(pCnx, L"b");
        for (CTestTable* pt : {pKeyFirst->pHost.get(), pKeyFirst->pDatabase.get()}) {
            CNAItemDescription* pKey = pt->Add(L"ck", NA_IT_BINAIRE, 0,
                                               static_cast<unsigned short>(CTestTable::UNIQUE | CTestTable::COMPOSITE),
                                               false);
            pt->Add(L"ca", NA_IT_I4, 4, 0, false);
            pt->Add(L"cb", NA_IT_I4, 4, 0, false);
            EXPECT_EQ((*pt)->_bAddItemComponent(pKey, L"ca"), 1);
            EXPECT_EQ((*pt)->_bAddItemComponent(pKey, L"cb"), 1);
        }
        pC = Live(pKeyFirst, pKeyFirst->pDatabase.get(), pCnx);
    }
    EXPECT_EQ(pC->piGetNullItemDesc(0), nullptr);
}

TEST_F(DataAccessServer, Counts)
{
    ASSERT_NO_FATAL_FAILURE(Fill());
    CLiveAccess* p = TableB();
    long long llCount = -5;
    // A mode without 0x10: 0, nothing sent.
    int nFrom = Queries();
    EXPECT_EQ(p->bHNbEnr(&llCount, 0, 0), 1);
    EXPECT_EQ(llCount, 0);
    EXPECT_EQ(Queries(), nFrom);
    // Before any browse the whole table.
    ASSERT_EQ(p->bHNbEnr(&llCount, 16, 0), 1) << ErrorText();
    EXPECT_EQ(llCount, kRows);
    // The whole browse by COUNT; filtered when its filter is in force.
    nFrom = Queries();
    ASSERT_EQ(Read(p, L"k", FIRST), 1);
    ASSERT_EQ(p->bHNbEnr(&llCount, 16, 0), 1) << ErrorText();
    EXPECT_EQ(std::to_string(llCount), First("SELECT COUNT(*) FROM b"));
    ASSERT_EQ(Sent(nFrom).size(), 2u);
    EXPECT_EQ(Sent(nFrom)[1], "SELECT COUNT(*) AS ZTACCESNATIF_NBENR FROM `b`");
    CNAStatement* pK = p->_pclFindStatement(L"k");
    ASSERT_NE(pK, nullptr);
    CAny a, b;
    SetAs<int>(a, TQTYPE_I4, 5);
    SetAs<int>(b, TQTYPE_I4, 9);
    ASSERT_EQ(pK->bSetFilter(L"k", &a, 1, &b, 1, nullptr), 1) << ErrorText();
    pK->pclActivateFilter()->nRelease();
    ASSERT_EQ(Read(p, L"k", FIRST), 1) << ErrorText();
    ASSERT_EQ(p->bHNbEnr(&llCount, 16, 0x4000), 1) << ErrorText();
    EXPECT_EQ(std::to_string(llCount), First("SELECT COUNT(*) FROM b WHERE k BETWEEN 5 AND 9"));
    pK->DesactivateFilter();
    // Rows around a row among duplicates, by the server's numbering.
    const Rows tabOrder = List("SELECT id FROM b ORDER BY k, id");
    ASSERT_EQ(Read(p, L"k", FIRST), 1);
    for (int i = 0; i < 500; i++)
        ASSERT_EQ(Read(p, L"k", NEXT), 1);
    const std::string strId = Value(p, L"id");
    const long long llRank = std::find(tabOrder.begin(), tabOrder.end(), strId) - tabOrder.begin();
    ASSERT_EQ(llRank, 500);
    const std::string strK = Value(p, L"k");
    struct SCase {
        int eDirection;
        std::string strExpected;
    };
    const std::vector<SCase> tabCase = {
        {NA_PARSE_NEXT, std::to_string(kRows - 1 - llRank)},
        {NA_PARSE_PREVIOUS, std::to_string(llRank)},
        // The rows equal to the record: the browse's order makes them one.
        {NA_PARSE_STAY, First("SELECT COUNT(*) FROM b WHERE k = " + strK + " AND id = " + strId)},
    };
    for (const SCase& c : tabCase) {
        ASSERT_EQ(p->bGetNbEnr(&llCount, 16, 0, pK, c.eDirection), 1) << ErrorText();
        EXPECT_EQ(std::to_string(llCount), c.strExpected) << c.eDirection;
        EXPECT_EQ(Value(p, L"id"), strId);
    }
    // A COUNT the server refuses: 0, -1 and the current record as it was.
    Set(p, L"k", L"999");
    CNAKXRecord* pBefore = p->pclGetCurrentRecordNoRef()->pclGetNAKXRecord()->pclGetClone();
    ASSERT_NE(pBefore, nullptr);
    pBefore->AddRef();
    ASSERT_TRUE(Admin("RENAME TABLE b TO b_gone"));
    m_pError->Reset();
    llCount = 12;
    EXPECT_EQ(p->bGetNbEnr(&llCount, 16, 0, pK, NA_PARSE_PREVIOUS), 0);
    EXPECT_EQ(llCount, -1);
    EXPECT_NE(m_pError->eGetErrorLevel(), static_cast<eNAERRORLEVEL>(NA_ERRORLEVEL_NOERROR));
    EXPECT_TRUE(pBefore->bEquals(p->pclGetCurrentRecordNoRef()->pclGetNAKXRecord()));
    llCount = 12;
    EXPECT_EQ(p->bHNbEnr(&llCount, 16, 0), 0);
    EXPECT_EQ(llCount, -1);
    pBefore->nRelease();
    pK->nRelease();
}

TEST_F(DataAccessServer, ImportedDescriptionMadeOnceAfterTheFirstSelect)
{
    ASSERT_NO_FATAL_FAILURE(Fill());
    CMySQLConnection* pCnx = Connect();
    STable* pTable = NewTable(pCnx, L"b");
    pTable->pHost->Add(L"id", NA_IT_I4, 4, CTestTable::UNIQUE | CNAItemDescription::KF_PRIMARY, false);
    pTable->pHost->Add(L"k", NA_IT_I4, 4, CTestTable::DUPLICATES, false);
    CLiveAccess* p = Live(pTable, nullptr, pCnx);
    EXPECT_EQ(p->pclGetImportedDataSourceDescNoRef(), nullptr);
    CNAColumn* pclColumn = p->pclGetCurrentRecordNoRef()->pclGetColumnNoRef(L"k");
    ASSERT_NE(pclColumn, nullptr);
    EXPECT_EQ(pclColumn->pclGetImportedItem(), nullptr);
    ASSERT_EQ(Read(p, L"k", FIRST), 1) << ErrorText();
    CNADataSourceDescription* pclImported = p->pclGetImportedDataSourceDescNoRef();
    ASSERT_NE(pclImported, nullptr);
    // The columns the SELECT named.
    EXPECT_EQ(pclImported->nGetNumItems(), 2u);
    EXPECT_NE(pclColumn->pclGetImportedItem(), nullptr);
    EXPECT_EQ(Value(p, L"id"), First("SELECT id FROM b ORDER BY k, id LIMIT 1"));
    ASSERT_EQ(Read(p, L"k", LAST), 1) << ErrorText();
    ASSERT_EQ(Read(p, L"id", FIRST), 1) << ErrorText();
    EXPECT_EQ(p->pclGetImportedDataSourceDescNoRef(), pclImported);
}

TEST_F(DataAccessServer, RequestedValueLeavesNoResultOpen)
{
    ASSERT_NO_FATAL_FAILURE(Fill());
    CLiveAccess* p = TableB();
    CNACommand* pclCommand = p->pclAllocCommand(nullptr);
    ASSERT_NE(pclCommand, nullptr);
    pclCommand->AddRef();
    const std::wstring strText = L"SELECT COUNT(*) FROM b WHERE k = 3";
    ASSERT_EQ(pclCommand->bSetInternalQuery(strText.c_str(), static_cast<unsigned int>(strText.size())), 1);
    CAny v;
    ASSERT_EQ(p->_bGetRequestedValue(&v, pclCommand), 1) << ErrorText();
    ASSERT_LE(v.__nCastTo(TQTYPE_DSTRW, nullptr, 0), 99);
    EXPECT_EQ(UTF8Of(TextW(v)), First("SELECT COUNT(*) FROM b WHERE k = 3"));
    // The unnamed statement was reset: its result is given back at once.
    EXPECT_EQ(CountingClient("CountingClient_nResults")(), CountingClient("CountingClient_nResultsFreed")());
    pclCommand->nRelease();
}

TEST_F(DataAccessServer, RecordNumberZeroIsTheCurrentRecord)
{
    ASSERT_NO_FATAL_FAILURE(Fill());
    CLiveAccess* p = TableB();
    ASSERT_EQ(Read(p, L"id", FIRST), 1) << ErrorText();
    unsigned int nState = 7;
    ASSERT_EQ(p->bGetRecNumState(0, &nState), 1);
    EXPECT_EQ(nState, 0u);
    m_pError->Reset();
    EXPECT_EQ(p->bGetRecNumState(2, &nState), 0);
    EXPECT_EQ(nState, 0u);
    EXPECT_EQ(m_pError->nGetUserErrorCode(), static_cast<unsigned int>(ZTERR_RECORD_NUMBER));
    // Record 0 goes to the unnamed statement, made for it.
    EXPECT_EQ(p->nGetStatementCount(), 1u);
    eNA_LOCKTYPE eOut = static_cast<eNA_LOCKTYPE>(9);
    const std::string strRow = Value(p, L"id");
    const int nFrom = Queries();
    EXPECT_EQ(p->bHLit(0, kNoLock, &eOut), 1) << ErrorText();
    EXPECT_EQ(p->nGetStatementCount(), 2u);
    // The row read last, selected again by its key.
    EXPECT_EQ(Value(p, L"id"), strRow);
    ASSERT_EQ(Selects(nFrom).size(), 1u);
    EXPECT_NE(Selects(nFrom)[0].find("WHERE"), std::string::npos) << Selects(nFrom)[0];
    CNAStatement* pUnnamed = p->_pclFindStatement(L"");
    ASSERT_NE(pUnnamed, nullptr);
    pUnnamed->nRelease();
}

TEST_F(DataAccessServer, LargestRowLengthRaisedByEachBlock)
{
    ASSERT_NO_FATAL_FAILURE(Fill());
    CLiveAccess* p = TableB();
    ASSERT_EQ(Read(p, L"id", FIRST), 1) << ErrorText();
    EXPECT_EQ(p->nGetRowMaxLen(), 0u);
    for (int i = 0; i < 100; i++)
        ASSERT_EQ(Read(p, L"id", NEXT), 1) << ErrorText();
    // The first block's result, column by column at its widest.
    EXPECT_EQ(std::to_string(p->nGetRowMaxLen()),
              First("SELECT MAX(LENGTH(id)) + MAX(LENGTH(k)) + MAX(LENGTH(ca)) + MAX(LENGTH(cb)) + MAX(LENGTH(r)) "
                    "FROM (SELECT * FROM b ORDER BY id LIMIT 100) f"));
}

// ---- The table cache ------------------------------------------------------------------------------------

TEST_F(DataAccessServer, TheTableCacheServesReadsAndCounts)
{
    ASSERT_NO_FATAL_FAILURE(Fill());
    CLiveAccess* p = TableB();
    const Rows tabId = List("SELECT id FROM b ORDER BY id");
    // The id browse opened without a read, then its record cache filled
    // as the table cache's.
    ASSERT_EQ(p->bSkipRecord(L"id", FIRST, 0, 0, kNoLock, nullptr, 0), 1) << ErrorText();
    CNAStatement* pId = p->_pclFindStatement(L"id");
    ASSERT_NE(pId, nullptr);
    ASSERT_TRUE(p->TableCache(pId)) << ErrorText();
    pId->nRelease();
    ASSERT_EQ(Read(p, L"id", FIRST, CNAStatement::WPF_TABLE_CACHE), 1) << ErrorText();
    ASSERT_EQ(Read(p, L"id", NEXT, CNAStatement::WPF_TABLE_CACHE), 1) << ErrorText();
    EXPECT_EQ(Value(p, L"id"), tabId[1]);
    // Announcing a first read fills the cache from the id browse, which
    // stays on its row.
    EXPECT_EQ(p->bSetNextOperation(static_cast<eNA_OPERATION>(1)), 1) << ErrorText();
    EXPECT_EQ(p->pclGetTableCacheNoRef()->llGetRecordNbr(), kRows);
    EXPECT_EQ(Value(p, L"id"), tabId[1]);
    EXPECT_EQ(p->bSetNextOperation(static_cast<eNA_OPERATION>(2)), 1);
    EXPECT_EQ(p->bSetNextOperation(static_cast<eNA_OPERATION>(3)), 1);
    // Another item with 0x2000 reads the full cache: the server's order,
    // both ways, and nothing sent.
    const int nFrom = Queries();
    // Rows of equal k come in the index's order for them.
    Rows tabExpected = List("SELECT CONCAT(id, '/', k) FROM b ORDER BY k, id");
    for (const bool bForward : {true, false}) {
        const Rows tab = Walk(p, L"k", bForward, CNAStatement::WPF_TABLE_CACHE);
        EXPECT_EQ(Part(tab, true), Part(tabExpected, true)) << bForward;
        EXPECT_EQ(Sorted(tab), Sorted(tabExpected)) << bForward;
        std::reverse(tabExpected.begin(), tabExpected.end());
    }
    CNAStatement* pK = p->_pclFindStatement(L"k");
    ASSERT_NE(pK, nullptr);
    EXPECT_NE(pK->pclGetTableCacheIndexNoRef(), nullptr);
    // Counts from the complete cache, the browse's too.
    long long llCount = -1;
    ASSERT_EQ(p->bHNbEnr(&llCount, 16, 0), 1) << ErrorText();
    EXPECT_EQ(llCount, kRows);
    llCount = -1;
    ASSERT_EQ(p->bGetNbEnr(&llCount, 16, CNAStatement::WPF_CONTINUE, pK, -1), 1) << ErrorText();
    EXPECT_EQ(llCount, kRows);
    EXPECT_EQ(Queries(), nFrom);
    pK->nRelease();
    // The id browse reads on in its own cache.
    ASSERT_EQ(Read(p, L"id", NEXT, CNAStatement::WPF_TABLE_CACHE), 1) << ErrorText();
    EXPECT_EQ(Value(p, L"id"), tabId[2]);
    EXPECT_EQ(Queries(), nFrom);
}

// Filling the full cache reads the cache's own browse: the browse the data
// access stands on is put back on its record, and the position noted for
// that is given back.
TEST_F(DataAccessServer, FillingTheCacheKeepsTheCurrentBrowse)
{
    ASSERT_NO_FATAL_FAILURE(Fill());
    CLiveAccess* p = TableB();
    const Rows tabK = List("SELECT CONCAT(id, '/', k) FROM b ORDER BY k, id");
    ASSERT_EQ(p->bSkipRecord(L"id", FIRST, 0, 0, kNoLock, nullptr, 0), 1) << ErrorText();
    // The k browse, on its third record, is the current one.
    ASSERT_EQ(Read(p, L"k", FIRST), 1) << ErrorText();
    ASSERT_EQ(Read(p, L"k", NEXT), 1) << ErrorText();
    ASSERT_EQ(Read(p, L"k", NEXT), 1) << ErrorText();
    ASSERT_EQ(Value(p, L"id") + "/" + Value(p, L"k"), tabK[2]);
    const CNAStatement* pK = p->pclGetLastStatementNoRef();
    // The id browse's record cache becomes the table cache's.
    CNAStatement* pId = p->_pclFindStatement(L"id");
    ASSERT_NE(pId, nullptr);
    ASSERT_TRUE(p->TableCache(pId)) << ErrorText();
    pId->nRelease();
    ASSERT_NE(p->pclGetTableCacheNoRef(), nullptr);
    ASSERT_NE(p->pclGetTableCacheNoRef()->pclGetFullCache(), nullptr) << ErrorText();
    EXPECT_EQ(p->pclGetTableCacheNoRef()->llGetRecordNbr(), kRows);
    EXPECT_EQ(Value(p, L"id") + "/" + Value(p, L"k"), tabK[2]);
    EXPECT_EQ(p->pclGetLastStatementNoRef(), pK);
    EXPECT_EQ(p->nGetPositionCount(), 0u);
    ASSERT_EQ(Read(p, L"k", NEXT), 1) << ErrorText();
    EXPECT_EQ(Value(p, L"id") + "/" + Value(p, L"k"), tabK[3]);
}

TEST_F(DataAccessServer, ATableCacheThatCannotBeFilled)
{
    ASSERT_NO_FATAL_FAILURE(Fill());
    CLiveAccess* p = TableB();
    // No browse statement: no full cache can be made.
    ASSERT_TRUE(p->TableCache(nullptr));
    for (int nOperation : {1, 3}) {
        m_pError->Reset();
        EXPECT_EQ(p->bSetNextOperation(static_cast<eNA_OPERATION>(nOperation)), 0) << nOperation;
        EXPECT_EQ(p->eGetNextOperation(), nOperation);
        ExpectError(ZTERR_CACHE_INCOMPLETE, L"IEDUZARO=3.21\r\n", NA_ERRORTYPE_GENERAL, "");
    }
    m_pError->Reset();
    EXPECT_EQ(p->bSetNextOperation(static_cast<eNA_OPERATION>(2)), 0);
    EXPECT_EQ(p->bSetNextOperation(static_cast<eNA_OPERATION>(7)), 1);
    // An error already held gets the message in front, and stays.
    m_pError->Reset();
    EXPECT_EQ(p->bHLit(5, kNoLock, nullptr), 0);
    const std::string strHeld = ErrorText();
    EXPECT_EQ(p->bSetNextOperation(static_cast<eNA_OPERATION>(1)), 0);
    EXPECT_EQ(m_pError->nGetUserErrorCode(), static_cast<unsigned int>(ZTERR_RECORD_NUMBER));
    EXPECT_NE(ErrorText(), strHeld);
    // One message line more, in front of the held one's.
    std::string strNow = ErrorText();
    const size_t nLine = strNow.find('\n') + 1;
    const size_t nLineEnd = strNow.find('\n', nLine);
    ASSERT_NE(nLineEnd, std::string::npos);
    EXPECT_GT(nLineEnd, nLine);
    EXPECT_EQ(strNow.erase(nLine, nLineEnd + 1 - nLine), strHeld);
    // A count is never taken from a cache that holds nothing.
    m_pError->Reset();
    ASSERT_EQ(Read(p, L"k", FIRST), 1) << ErrorText();
    ASSERT_TRUE(p->TableCache(nullptr));
    long long llCount = -1;
    ASSERT_EQ(p->bHNbEnr(&llCount, 16, 0), 1) << ErrorText();
    EXPECT_EQ(llCount, kRows);
}

} // namespace
