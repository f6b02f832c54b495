// The driver's host operations over its table registry, with scripted table
// objects that record what the driver asks of them: tables and queries,
// file deletion, lock modes, transactions, contexts, table descriptions and
// the driver's end with objects still filed.
#include "access/driver/NAContext.h"
#include "access/driver/NADataSourceDescription.h"
#include "access/driver/NADriverLock.h"
#include "access/driver/NAError.h"
#include "access/driver/NaDriver.h"
#include "common/platform/MyModuleInfo.h"
#include "host/HostConnectionDescription.h"
#include "host/HostContext.h"
#include "host/HostQueryParametersValue.h"
#include "tests/support/CountingConnection.h"
#include "tests/support/FailingHeap.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

extern "C" int bInitLibrary(HINSTANCE hModule);

namespace {

typedef std::vector<std::string> Calls;

// What a scripted table answers; set on the driver for the next tables.
struct STScript {
    int bAnswer = 1;
    int bKeep = 1;
    bool bThrow = false;
    bool bUnfileSelf = false;
    bool bDriverError = false; // reports into the driver's error object
};

struct STLog { Calls tabCalls; int nTablesMade = 0; int nTablesDestroyed = 0; int nDescriptionsDestroyed = 0; };

// A table that records each call of the driver and answers as scripted; its
// failures leave user error 13 in an error object of its own.
class CScriptTable : public CNATable {
public:
    CScriptTable(const wchar_t* pszKey, INADataSourceDescription* pi, CNAConnectionDescription* pcl, CNAError* pe,
                 STLog* pLog, const STScript& st)
        : CNATable(pszKey, pi, pcl, pe), m_st(st), m_pLog(pLog)
    {
        m_pLog->nTablesMade++;
    }
    ~CScriptTable() override { m_pLog->nTablesDestroyed++; }

    int bHMode(INAContext*, _eNA_HMODE eMode) override { return Note("mode " + std::to_string(eMode)); }
    int bHFerme(INAContext*) override { return Note("close"); }
    int bSupprimeFichier(INAContext*) override { return Note("delete"); }
    int bExecuteQuery(int* pbKeep, INAContext*, const wchar_t* pszName, ISQLParserInformation*, unsigned int,
                      const INAQueryExecution*) override
    {
        *pbKeep = m_st.bKeep;
        return Note("execute " + std::string(pszName, pszName + wcslen(pszName)));
    }
    void CancelRecordLock(INAConnectionDescription*, CNATransaction*) override { Note("cancel"); }
    void SetTransactionTermined() override { Note("terminated"); }

    void SetBindValues(INAQueryParametersValue* pi)
    {
        pi->ExternalAddRef();
        m_piQueryBindVariables = pi;
    }
    STScript m_st;

private:
    int Note(const std::string& str)
    {
        m_pLog->tabCalls.push_back(str);
        if (m_st.bThrow)
            throw std::runtime_error("table broke");
        if (m_st.bUnfileSelf)
            CNADriver::s_pclDriver->_bReleaseTable(this);
        if (!m_st.bAnswer)
            m_pclError->RaiseUserError(NA_ERRORTYPE_GENERAL, 6, 99, nullptr, L"T", nullptr, ZTERR_RECORD_NOT_FOUND,
                                       L"T");
        return m_st.bAnswer;
    }
    STLog* m_pLog;
};

// A connection whose transactions only note their SQL in the log.
class CLoggingConnection : public CCountingConnection {
public:
    CLoggingConnection(const wchar_t* pszId, INAConnectionDescription* pi, STConnectionCounts* pst, STLog* pLog,
                       int bEndCloses)
        : CCountingConnection(pszId, pi, pst), m_pLog(pLog), m_bEndCloses(bEndCloses)
    {
    }
    int bExecuteQueryNoResult(CNAError*, const wchar_t* pszQuery) override
    {
        const std::wstring s = pszQuery;
        m_pLog->tabCalls.push_back(std::string(s.begin(), s.end()));
        return 1;
    }
    int bTransactionEndCloseParse() override { return m_bEndCloses; }

private:
    STLog* m_pLog;
    int m_bEndCloses;
};

// A description whose catalogue answers as told: items, or a user error.
class CScriptDescription : public CNADataSourceDescription {
public:
    CScriptDescription(CNAConnectionDescription* pcl, CNAError* pe, STLog* pLog, unsigned int nError)
        : CNADataSourceDescription(pcl, pe), m_pLog(pLog), m_nError(nError)
    {
    }
    ~CScriptDescription() override { m_pLog->nDescriptionsDestroyed++; }
    int _bGetDataSourceInfo(int) override
    {
        if (m_nError == 0)
            return bAddItem(L"ID", L"", L"", 1, 4, NA_IT_I4, -1, -1, 0, 0, 0);
        if (m_nError != 1)
            m_pclError->RaiseUserError(NA_ERRORTYPE_GENERAL, 52, 9, nullptr, L"T", nullptr, m_nError, L"T", L"I");
        return 0;
    }

private:
    STLog* m_pLog;
    unsigned int m_nError;
};

class CTablesDriver : public CNADriver {
public:
    CTablesDriver(STLog* pLog, STConnectionCounts* pst) : m_log(*pLog), m_stConnections(*pst) {}
    STLog& m_log;
    STScript m_script;
    STConnectionCounts& m_stConnections;
    int m_bEndCloses = 0;
    bool m_bRefuseTables = false;
    unsigned int m_nCatalogueError = 0; // 0 items, 1 nothing raised, else that user error

    CNAConnectionDescription* _pclAllocConnectionDescription(const wchar_t* pszId,
                                                             INAConnectionDescription* pi) override
    {
        return new CLoggingConnection(pszId, pi, &m_stConnections, &m_log, m_bEndCloses);
    }
    CNATable* _pclAllocTable(const wchar_t* pszKey, INADataSourceDescription* pi, CNAConnectionDescription* pcl,
                             CNAError* pe) override
    {
        if (m_bRefuseTables)
            return nullptr;
        // Held across the table's construction, which may fail.
        CNAError* pclError = m_script.bDriverError ? pe : new CNAError;
        pclError->AddRef();
        CNATable* p = nullptr;
        try {
            p = new CScriptTable(pszKey, pi, pcl, pclError, &m_log, m_script);
        } catch (...) {
            pclError->nRelease();
            throw;
        }
        pclError->nRelease();
        return p;
    }
    CNADataSourceDescription* pclAllocDataSourceDescription(CNAConnectionDescription* pcl, CNAError* pe) override
    {
        return new CScriptDescription(pcl, pe, &m_log, m_nCatalogueError);
    }
};

class NADriverTables : public testing::Test {
protected:
    void SetUp() override
    {
        bInitLibrary(nullptr);
        m_pDriver = new CTablesDriver(&m_log, &m_stConnections);
        m_pDriver->ExternalAddRef();
        ASSERT_EQ(m_pDriver->bInitDriver(), 1);
        CNADriver::s_pclDriver = m_pDriver;
        m_host.SetText(CHostConnectionDescription::TXT_CONNECTIONNAME, L"main");
        m_host.SetText(CHostConnectionDescription::TXT_DATASOURCE, L"127.0.0.1");
        m_pTable = new CNADataSourceDescription(nullptr, nullptr);
        m_pTable->ExternalAddRef();
        m_pTable->SetLogicalName(L"ORDERS");
        m_pTable->SetDBName(L"orders");
    }
    void TearDown() override
    {
        // The driver's end takes every object still filed, each once.
        if (m_pDriver != nullptr) {
            EXPECT_EQ(m_pDriver->nExternalRelease(), 0);
        }
        CheckAllGone();
        EXPECT_EQ(m_pTable->nExternalRelease(), 0u);
    }
    void CheckAllGone()
    {
        EXPECT_EQ(m_log.nTablesDestroyed, m_log.nTablesMade);
        EXPECT_EQ(m_stConnections.nDestroyed, m_stConnections.nMade);
    }
    Calls Taken()
    {
        Calls tab;
        tab.swap(m_pDriver->m_log.tabCalls);
        return tab;
    }
    CNAError* Error() { return m_pDriver->pclGetError(); }

    STLog m_log;
    STConnectionCounts m_stConnections;
    CTablesDriver* m_pDriver = nullptr;
    CHostConnectionDescription m_host;
    CNADataSourceDescription* m_pTable = nullptr;
};

} // namespace

TEST_F(NADriverTables, TablesAreSharedAndLeaveWithTheHost)
{
    INATable* pi1 = m_pDriver->piGetTable(&m_host, m_pTable);
    INATable* pi2 = m_pDriver->piGetTable(&m_host, m_pTable);
    ASSERT_NE(pi1, nullptr);
    EXPECT_EQ(pi1, pi2);
    CNATable* pcl = static_cast<CNATable*>(pi1);
    EXPECT_EQ(pcl->nGetExternalRef(), 2);
    EXPECT_EQ(pcl->nGetRef(), 1);
    EXPECT_EQ(m_pDriver->nGetNbTable(), 1u);
    EXPECT_STREQ(pcl->pszGetIdentification(),
                 (std::wstring(L"Table=orders;") + pcl->pclGetConnection()->pszGetIdentification()).c_str());
    // The connection is not opened for a table.
    EXPECT_EQ(m_pDriver->m_stConnections.nOpens, 0);
    unsigned int nPosition = 0;
    CNATable* pclEnum = m_pDriver->pclEnumTableByConnection(&nPosition, pcl->pclGetConnection());
    EXPECT_EQ(pclEnum, pcl);
    pclEnum->nRelease();
    EXPECT_EQ(m_pDriver->pclEnumTableByConnection(&nPosition, pcl->pclGetConnection()), nullptr);
    EXPECT_EQ(pi1->nExternalRelease(), 1);
    EXPECT_EQ(m_pDriver->m_log.nTablesDestroyed, 0);
    EXPECT_EQ(pi2->nExternalRelease(), 0);
    EXPECT_EQ(m_pDriver->nGetNbTable(), 0u);
    CheckAllGone();

    // No table object: null with the no-memory error, nothing filed.
    m_pDriver->m_bRefuseTables = true;
    EXPECT_EQ(m_pDriver->piGetTable(&m_host, m_pTable), nullptr);
    EXPECT_EQ(Error()->dwGetErrorId(), static_cast<unsigned int>(ZTERR_NO_MEMORY));
    EXPECT_EQ(m_pDriver->nGetNbTable(), 0u);
}

// The server tells Orders from orders: so does the registry, which keeps a
// table object for each; a query name keeps the host's rule.
TEST_F(NADriverTables, TableNamesCompareWithTheirCase)
{
    m_pTable->SetDBName(L"Orders");
    INATable* piUpper = m_pDriver->piGetTable(&m_host, m_pTable);
    m_pTable->SetDBName(L"orders");
    INATable* piLower = m_pDriver->piGetTable(&m_host, m_pTable);
    INATable* piLowerAgain = m_pDriver->piGetTable(&m_host, m_pTable);
    ASSERT_NE(piUpper, nullptr);
    ASSERT_NE(piLower, nullptr);
    EXPECT_NE(piUpper, piLower);
    EXPECT_EQ(piLower, piLowerAgain);
    EXPECT_EQ(m_pDriver->nGetNbTable(), 2u);
    piLowerAgain->nExternalRelease();
    piLower->nExternalRelease();
    EXPECT_EQ(m_pDriver->nGetNbTable(), 1u);
    piUpper->nExternalRelease();

    CHostContext ctx(1, 4);
    CNADriverLock clLock;
    CNAConnectionDescription* pcl = m_pDriver->_pclGetConnection(&m_host);
    CNATable* pclQuery = m_pDriver->_pclGetQuery(&ctx, L"Q", pcl, 0);
    ASSERT_TRUE(m_pDriver->_AddTable(pclQuery));
    CNATable* pclFound = m_pDriver->_pclGetQuery(&ctx, L"q", pcl, 0);
    EXPECT_EQ(pclFound, pclQuery);
    pclFound->nRelease();
    m_pDriver->nReleaseTable(pclQuery);
    EXPECT_EQ(m_pDriver->nGetNbTable(), 0u);
    m_pDriver->nReleaseConnection(pcl);
    CheckAllGone();
}

// The registries' own rules: an object is filed once under its key and
// leaves only itself; walks and transaction ends reach the tables of the
// connection named; a context stays filed while it holds data accesses.
TEST_F(NADriverTables, RegistryRulesOverTwoConnections)
{
    CHostConnectionDescription hostOther;
    hostOther.SetText(CHostConnectionDescription::TXT_CONNECTIONNAME, L"other");
    hostOther.SetText(CHostConnectionDescription::TXT_DATASOURCE, L"127.0.0.1");
    INATable* piOrders = m_pDriver->piGetTable(&m_host, m_pTable);
    m_pTable->SetDBName(L"items");
    INATable* piItems = m_pDriver->piGetTable(&m_host, m_pTable);
    INATable* piOther = m_pDriver->piGetTable(&hostOther, m_pTable);
    ASSERT_NE(piOrders, nullptr);
    ASSERT_NE(piItems, nullptr);
    ASSERT_NE(piOther, nullptr);
    CNATable* pOrders = static_cast<CNATable*>(piOrders);
    CNAConnectionDescription* pMain = pOrders->pclGetConnection();
    CNAConnectionDescription* pOtherCnx = static_cast<CNATable*>(piOther)->pclGetConnection();
    ASSERT_NE(pMain, pOtherCnx);
    EXPECT_EQ(static_cast<CNATable*>(piItems)->pclGetConnection(), pMain);
    {
        CNADriverLock clLock;
        for (CNAConnectionDescription* pcl : {pMain, pOtherCnx}) {
            std::vector<CNATable*> tab;
            unsigned int nPosition = 0;
            while (CNATable* p = m_pDriver->pclEnumTableByConnection(&nPosition, pcl)) {
                EXPECT_EQ(p->pclGetConnection(), pcl);
                tab.push_back(p);
                p->nRelease();
            }
            EXPECT_EQ(tab.size(), pcl == pMain ? 2u : 1u);
            Taken();
            m_pDriver->_SetTransactionTermined(pcl);
            EXPECT_EQ(Taken(), Calls(pcl == pMain ? 2 : 1, "terminated"));
        }

        // A second object under a key already filed: the first stays, alone.
        CNATable* pTwin = m_pDriver->_pclAllocTable(pOrders->pszGetIdentification(), m_pTable, pMain, Error());
        pTwin->AddRef();
        const int nOrdersRef = pOrders->nGetRef();
        EXPECT_TRUE(m_pDriver->_AddTable(pTwin));
        EXPECT_EQ(pOrders->nGetRef(), nOrdersRef);
        EXPECT_EQ(pTwin->nGetRef(), 1);
        EXPECT_EQ(m_pDriver->nGetNbTable(), 3u);
        EXPECT_EQ(m_pDriver->_bReleaseTable(pTwin), 0);
        EXPECT_EQ(m_pDriver->nGetNbTable(), 3u);
        CNATable* pFound = m_pDriver->_pclFindTable(pOrders->pszGetIdentification());
        EXPECT_EQ(pFound, pOrders);
        if (pFound != nullptr)
            pFound->nRelease();
        pTwin->nRelease();

        // A key without connection fields is found by itself as well.
        CNATable* pLoose = m_pDriver->_pclAllocTable(L"Table=loose", nullptr, pMain, Error());
        pLoose->AddRef();
        EXPECT_TRUE(m_pDriver->_AddTable(pLoose));
        pFound = m_pDriver->_pclFindTable(L"Table=loose");
        EXPECT_EQ(pFound, pLoose);
        if (pFound != nullptr)
            pFound->nRelease();
        EXPECT_EQ(m_pDriver->_bReleaseTable(pLoose), 1);
        pLoose->nRelease();
    }
    piOrders->nExternalRelease();
    piItems->nExternalRelease();
    piOther->nExternalRelease();
    EXPECT_EQ(m_pDriver->nGetNbTable(), 0u);

    // A context that holds a data access stays filed past its releases.
    CHostContext ctx(3, 30);
    int bCreated = 0;
    CNAContext* pContext = m_pDriver->pclGetContext(&ctx, &bCreated);
    ASSERT_NE(pContext, nullptr);
    CNAConnectionDescription* pcl = nullptr;
    {
        CNADriverLock clLock;
        pcl = m_pDriver->_pclGetConnection(&m_host);
    }
    CNADataAccess* pAccess = pContext->pclGetDataAccess(&ctx, pcl, m_pTable, &bCreated);
    ASSERT_NE(pAccess, nullptr);
    pAccess->nRelease();
    EXPECT_EQ(m_pDriver->nReleaseContext(&ctx, pContext), 1);
    EXPECT_EQ(m_pDriver->nGetNbContext(), 1u);
    pContext = m_pDriver->pclFindContext(&ctx);
    ASSERT_NE(pContext, nullptr);
    pContext->RemoveDataAccess(&ctx, nullptr);
    EXPECT_EQ(m_pDriver->nReleaseContext(&ctx, pContext), 0);
    EXPECT_EQ(m_pDriver->nGetNbContext(), 0u);
    m_pDriver->nReleaseConnection(pcl);
    CheckAllGone();
}

TEST_F(NADriverTables, QueriesKeptDroppedAndFailed)
{
    CHostContext ctx(3, 8);
    CHostQueryParametersValue clPrepared;
    clPrepared.m_bPrepared = 1;
    struct {
        const char* pszCase;
        int bAnswer;
        int bKeep;
        unsigned int nFlags;
        bool bPrepared;
        int bResult;
        bool bHanded;
        unsigned int nFiled;
        Calls tabCalls;
    } const aCase[] = {
        {"kept", 1, 1, 0, false, 1, true, 1, {"execute Q"}},
        {"not kept", 1, 0, 0, false, 1, false, 0, {"execute Q", "close"}},
        {"failed", 0, 1, 0, false, 0, false, 0, {"execute Q", "close"}},
        {"failed, kept by 0x10", 0, 1, 0x10, false, 0, false, 1, {"execute Q"}},
        {"failed, prepared", 0, 1, 0, true, 0, false, 1, {"execute Q"}},
    };
    for (const auto& c : aCase) {
        // A query filed before the run, when the case keeps it.
        CNATable* pclFiled = nullptr;
        if (c.nFlags != 0 || c.bPrepared) {
            m_pDriver->m_script = STScript();
            INATable* pi = nullptr;
            ASSERT_EQ(m_pDriver->bHExecuteRequeteSQL(&pi, &ctx, L"Q", &m_host, nullptr, 0), 1) << c.pszCase;
            pclFiled = static_cast<CNATable*>(pi);
            if (c.bPrepared)
                static_cast<CScriptTable*>(pclFiled)->SetBindValues(&clPrepared);
            Taken();
        }
        m_pDriver->m_script.bAnswer = c.bAnswer;
        m_pDriver->m_script.bKeep = c.bKeep;
        if (pclFiled != nullptr) {
            static_cast<CScriptTable*>(pclFiled)->m_st.bAnswer = c.bAnswer;
            static_cast<CScriptTable*>(pclFiled)->m_st.bKeep = c.bKeep;
        }
        INATable* const piUntouched = reinterpret_cast<INATable*>(0x1234);
        INATable* pi = piUntouched;
        EXPECT_EQ(m_pDriver->bHExecuteRequeteSQLEx(&pi, &ctx, L"Q", &m_host, nullptr, c.nFlags, nullptr), c.bResult)
            << c.pszCase;
        EXPECT_EQ(Taken(), c.tabCalls) << c.pszCase;
        EXPECT_EQ(m_pDriver->nGetNbTable(), c.nFiled) << c.pszCase;
        if (c.bHanded) {
            ASSERT_NE(pi, piUntouched);
            ASSERT_NE(pi, nullptr);
            EXPECT_EQ(static_cast<CNATable*>(pi)->nGetExternalRef(), 1) << c.pszCase;
            EXPECT_STREQ(static_cast<CNATable*>(pi)->pszGetIdentification(), (L"CTX=8;Table=Q;" +
                          std::wstring(static_cast<CNATable*>(pi)->pclGetConnection()->pszGetIdentification()))
                             .c_str());
            pclFiled = static_cast<CNATable*>(pi);
        } else if (c.bResult) {
            EXPECT_EQ(pi, nullptr) << c.pszCase;
        } else {
            // A failure leaves the host's pointer alone and the table's error
            // in the driver's.
            EXPECT_EQ(pi, piUntouched) << c.pszCase;
            EXPECT_EQ(Error()->dwGetErrorId(), static_cast<unsigned int>(ZTERR_RECORD_NOT_FOUND)) << c.pszCase;
        }
        if (pclFiled != nullptr) {
            if (c.bPrepared)
                static_cast<CScriptTable*>(pclFiled)->m_st.bAnswer = 1;
            pclFiled->nExternalRelease();
        }
        // The host's last reference unfiles a kept query.
        EXPECT_EQ(m_pDriver->nGetNbTable(), 0u) << c.pszCase;
        Taken();
    }
    CheckAllGone();
    EXPECT_EQ(clPrepared.m_nRef, 0u);

    // Freeing: a filed query is closed; an unknown one is made, closed and let go.
    INATable* pi = nullptr;
    m_pDriver->m_script = STScript();
    ASSERT_EQ(m_pDriver->bHExecuteRequeteSQL(&pi, &ctx, L"Q", &m_host, nullptr, 0), 1);
    Taken();
    EXPECT_EQ(m_pDriver->bFreeDataSource(&ctx, L"Q", &m_host), 1);
    EXPECT_EQ(m_pDriver->bFreeDataSource(&ctx, L"UNKNOWN", &m_host), 1);
    EXPECT_EQ(Taken(), Calls({"close", "close"}));
    EXPECT_EQ(m_pDriver->nGetNbTable(), 1u);
    pi->nExternalRelease();
    EXPECT_EQ(m_pDriver->nGetNbTable(), 0u);
    m_pDriver->m_bRefuseTables = true;
    EXPECT_EQ(m_pDriver->bFreeDataSource(&ctx, L"Q", &m_host), 0);
    EXPECT_EQ(m_pDriver->bHExecuteRequeteSQL(&pi, &ctx, L"Q", &m_host, nullptr, 0), 0);
    EXPECT_EQ(Error()->dwGetErrorId(), static_cast<unsigned int>(ZTERR_NO_MEMORY));
}

TEST_F(NADriverTables, FileDeletion)
{
    CHostContext ctx(1, 1);
    struct {
        const char* pszCase;
        bool bFailOpen;
        bool bRefuseTable;
        int bAnswer;
        bool bDescription;
        int bResult;
        unsigned int nError;
        Calls tabCalls;
        bool bDriverError;
    } const aCase[] = {
        {"deleted", false, false, 1, true, 1, 0, {"delete"}, false},
        {"no description", false, false, 1, false, 1, 0, {}, false},
        {"opening fails", true, false, 1, true, 0, ZTERR_CONNECT, {}, false},
        {"no table object", false, true, 1, true, 0, ZTERR_NO_MEMORY, {}, false},
        {"delete fails", false, false, 0, true, 0, ZTERR_RECORD_NOT_FOUND, {"delete"}, false},
        {"fails in the driver's error", false, false, 0, true, 0, ZTERR_RECORD_NOT_FOUND, {"delete"}, true},
    };
    for (const auto& c : aCase) {
        m_pDriver->m_stConnections.bFailOpen = c.bFailOpen;
        m_pDriver->m_bRefuseTables = c.bRefuseTable;
        m_pDriver->m_script.bAnswer = c.bAnswer;
        m_pDriver->m_script.bDriverError = c.bDriverError;
        EXPECT_EQ(m_pDriver->bSupprimeFichier(&ctx, &m_host, L"orders", c.bDescription ? m_pTable : nullptr),
                  c.bResult)
            << c.pszCase;
        EXPECT_EQ(Error()->dwGetErrorId(), c.nError) << c.pszCase;
        EXPECT_EQ(Taken(), c.tabCalls) << c.pszCase;
        // The table stays filed for the host to get.
        INATable* pi = c.bRefuseTable ? nullptr : m_pDriver->piGetTable(&m_host, m_pTable);
        if (pi != nullptr)
            pi->nExternalRelease();
        EXPECT_EQ(m_pDriver->nGetNbTable(), 0u) << c.pszCase;
    }
    CheckAllGone();
}

TEST_F(NADriverTables, WalksSurviveTablesLeaving)
{
    CHostContext ctx(1, 1);
    EXPECT_EQ(m_pDriver->bHMode(&ctx, static_cast<_eNA_HMODE>(2)), 1);
    EXPECT_EQ(Taken(), Calls());
    std::vector<INATable*> tabHost;
    const wchar_t* const apsz[] = {L"a", L"b", L"c"};
    for (const wchar_t* psz : apsz) {
        m_pTable->SetDBName(psz);
        tabHost.push_back(m_pDriver->piGetTable(&m_host, m_pTable));
    }
    EXPECT_EQ(m_pDriver->bHMode(&ctx, static_cast<_eNA_HMODE>(2)), 1);
    EXPECT_EQ(Taken(), Calls(3, "mode 2"));
    // One answers 0 and unfiles itself in the middle of the walk.
    static_cast<CScriptTable*>(tabHost[1])->m_st.bAnswer = 0;
    static_cast<CScriptTable*>(tabHost[1])->m_st.bUnfileSelf = true;
    EXPECT_EQ(m_pDriver->bHMode(&ctx, static_cast<_eNA_HMODE>(3)), 0);
    EXPECT_EQ(Taken(), Calls(3, "mode 3"));
    EXPECT_EQ(m_pDriver->nGetNbTable(), 2u);
    m_pDriver->CancelRecordLock(&m_host, nullptr);
    EXPECT_EQ(Taken(), Calls(2, "cancel"));
    for (INATable* pi : tabHost)
        pi->nExternalRelease();
    CheckAllGone();

    // A table that throws: 0 with an error, the mutex free for others.
    m_pDriver->m_script.bThrow = true;
    INATable* pi = m_pDriver->piGetTable(&m_host, m_pTable);
    EXPECT_EQ(m_pDriver->bHMode(&ctx, static_cast<_eNA_HMODE>(1)), 0);
    EXPECT_NE(Error()->dwGetErrorId(), 0u);
    bool bLocked = false;
    std::thread th([&] {
        bLocked = pthread_mutex_trylock(&CNADriver::m_gstDriverCriticalSection) == 0;
        if (bLocked)
            pthread_mutex_unlock(&CNADriver::m_gstDriverCriticalSection);
    });
    th.join();
    EXPECT_TRUE(bLocked);
    EXPECT_EQ(m_pDriver->bSupprimeFichier(&ctx, &m_host, L"x", m_pTable), 0);
    pi->nExternalRelease();
    Taken();
}

TEST_F(NADriverTables, TransactionsMarkTheTables)
{
    m_pDriver->m_bEndCloses = 1;
    // Commit on a connection never made: user error 14 naming it, nothing sent.
    EXPECT_EQ(m_pDriver->bTransactionCommit(&m_host, L"T"), 0);
    EXPECT_EQ(Error()->dwGetErrorId(), static_cast<unsigned int>(ZTERR_NO_CONNECTION));
    EXPECT_NE(std::wstring(Error()->pszGetError()).find(L"main"), std::wstring::npos);
    EXPECT_EQ(m_pDriver->bTransactionRollBack(&m_host, L"T"), 0);
    EXPECT_EQ(Taken(), Calls());
    EXPECT_EQ(m_pDriver->nGetNbConnection(), 0u);

    INATable* pi = m_pDriver->piGetTable(&m_host, m_pTable);
    ASSERT_EQ(m_pDriver->bTransactionBegin(&m_host, L"T"), 1) << Error()->pszGetError();
    Calls tab = Taken();
    ASSERT_EQ(tab.size(), 1u);
    EXPECT_EQ(m_pDriver->bTransactionCommit(&m_host, L"T"), 1) << Error()->pszGetError();
    tab = Taken();
    ASSERT_EQ(tab.size(), 2u);
    EXPECT_EQ(tab[1], "terminated");
    ASSERT_EQ(m_pDriver->bTransactionBegin(&m_host, L"T"), 1);
    Taken();
    EXPECT_EQ(m_pDriver->bTransactionRollBack(&m_host, L"T"), 1);
    tab = Taken();
    ASSERT_EQ(tab.size(), 2u);
    EXPECT_EQ(tab[0], "terminated");
    pi->nExternalRelease();
    CheckAllGone();
}

TEST_F(NADriverTables, ContextsAndDescriptions)
{
    CHostContext ctx(5, 6);
    // An unknown context: 0 and no error.
    Error()->RaiseUserError(NA_ERRORTYPE_GENERAL, 5, 1, nullptr, nullptr, nullptr, ZTERR_NO_ROW, L"T", L"I");
    EXPECT_EQ(m_pDriver->bCloseContext(&ctx), 0);
    EXPECT_EQ(Error()->dwGetErrorId(), 0u);
    EXPECT_EQ(m_pDriver->SetNextLogicalName(&ctx, L"NEXT"), 1);
    ASSERT_EQ(m_pDriver->nGetNbContext(), 1u);
    CNAContext* pcl = m_pDriver->pclFindContext(&ctx);
    ASSERT_NE(pcl, nullptr);
    EXPECT_STREQ(pcl->pszGetNextLogicalName(), L"NEXT");
    EXPECT_EQ(pcl->dwGetContextNumber(), 6u);
    int bCreated = -1;
    CNAContext* pcl2 = m_pDriver->pclGetContext(&ctx, &bCreated);
    EXPECT_EQ(pcl2, pcl);
    EXPECT_EQ(bCreated, 0);
    EXPECT_EQ(m_pDriver->nReleaseContext(&ctx, pcl2), 0);
    EXPECT_EQ(m_pDriver->nGetNbContext(), 0u);
    EXPECT_EQ(pcl->nRelease(), 0u);
    EXPECT_EQ(m_pDriver->SetNextLogicalName(&ctx, L"AGAIN"), 1);
    EXPECT_EQ(m_pDriver->bCloseContext(&ctx), 1);
    EXPECT_EQ(m_pDriver->nGetNbContext(), 0u);

    // Descriptions from the catalogue, and the base probe of a table.
    struct {
        const char* pszCase;
        unsigned int nCatalogue;
        bool bDescription;
        int bResult;
        int bExists;
        unsigned int nError;
    } const aCase[] = {
        {"items", 0, true, 1, 1, 0}, {"no column", ZTERR_NO_COLUMN, false, 1, 0, ZTERR_NO_COLUMN},
        {"other error", ZTERR_NO_ROW, false, 0, 0, ZTERR_NO_ROW},
        {"nothing raised", 1, false, 0, 0, ZTERR_NOT_OFFERED},
    };
    for (const auto& c : aCase) {
        m_pDriver->m_nCatalogueError = c.nCatalogue;
        const int nDestroyed = m_pDriver->m_log.nDescriptionsDestroyed;
        INADataSourceDescription* pi = m_pDriver->piGetTableDesc(L"orders", &m_host);
        EXPECT_EQ(pi != nullptr, c.bDescription) << c.pszCase;
        EXPECT_EQ(Error()->dwGetErrorId(), c.nError) << c.pszCase;
        if (pi != nullptr) {
            EXPECT_STREQ(pi->pszGetLogicalName(), L"orders");
            EXPECT_EQ(static_cast<CNADataSourceDescription*>(pi)->nGetRef(), 0u);
            EXPECT_EQ(pi->nExternalRelease(), 0u);
        }
        int bExists = -1;
        EXPECT_EQ(m_pDriver->bTableExists(&bExists, L"orders", &m_host), c.bResult) << c.pszCase;
        EXPECT_EQ(bExists, c.bExists) << c.pszCase;
        EXPECT_EQ(m_pDriver->m_log.nDescriptionsDestroyed, nDestroyed + 2) << c.pszCase;
        // The connection opened for the description closed with it.
        EXPECT_EQ(m_pDriver->nGetNbConnection(), 0u) << c.pszCase;
    }
    m_pDriver->m_stConnections.bFailOpen = true;
    int bExists = -1;
    EXPECT_EQ(m_pDriver->piGetTableDesc(L"orders", &m_host), nullptr);
    EXPECT_EQ(m_pDriver->bTableExists(&bExists, L"orders", &m_host), 0);
    EXPECT_EQ(Error()->dwGetErrorId(), static_cast<unsigned int>(ZTERR_CONNECT));
    CheckAllGone();
}

TEST_F(NADriverTables, DriverEndTakesWhatIsFiled)
{
    CHostContext ctx(2, 2);
    INATable* pi = nullptr;
    ASSERT_EQ(m_pDriver->bHExecuteRequeteSQL(&pi, &ctx, L"Q", &m_host, nullptr, 0), 1);
    // The driver's registry alone holds the query.
    pi->nExternalRelease();
    m_pTable->SetDBName(L"kept");
    INATable* piTable = m_pDriver->piGetTable(&m_host, m_pTable);
    static_cast<CNATable*>(piTable)->AddRef();
    piTable->nExternalRelease();
    EXPECT_EQ(m_pDriver->SetNextLogicalName(&ctx, L"N"), 1);
    EXPECT_EQ(m_pDriver->nGetNbTable(), 1u);
    static_cast<CNATable*>(piTable)->nRelease();
    EXPECT_EQ(m_pDriver->nGetNbTable(), 1u);
    EXPECT_EQ(m_pDriver->nGetNbContext(), 1u);
    EXPECT_EQ(m_log.nTablesDestroyed, m_log.nTablesMade - 1);
}

TEST_F(NADriverTables, TableHeldPastTheDriversEnd)
{
    INATable* pi = m_pDriver->piGetTable(&m_host, m_pTable);
    ASSERT_NE(pi, nullptr);
    EXPECT_EQ(m_pDriver->nExternalRelease(), 0);
    m_pDriver = nullptr;
    EXPECT_EQ(m_log.nTablesDestroyed, 0);
    // The host's last reference takes the table and its connection.
    EXPECT_EQ(pi->nExternalRelease(), 0);
    CheckAllGone();
}

TEST_F(NADriverTables, RegistriesThatCannotGrowFileNothing)
{
    CHostContext ctx(9, 9);
    nFailEachAllocation([&](int n) {
        Error()->Reset();
        INATable* pi = nullptr;
        int bContext = 0;
        {
            CFailingHeap clHeap(n);
            pi = m_pDriver->piGetTable(&m_host, m_pTable);
            if (pi != nullptr)
                bContext = m_pDriver->SetNextLogicalName(&ctx, L"N");
        }
        if (pi == nullptr) {
            EXPECT_EQ(m_pDriver->nGetNbTable(), 0u);
            EXPECT_EQ(m_log.nTablesDestroyed, m_log.nTablesMade);
            EXPECT_NE(Error()->dwGetErrorId(), 0u);
            return false;
        }
        pi->nExternalRelease();
        EXPECT_EQ(m_pDriver->nGetNbTable(), 0u);
        if (!bContext) {
            // A context filed before its name failed stays filed, named or not.
            EXPECT_LE(m_pDriver->nGetNbContext(), 1u);
            EXPECT_NE(Error()->pclGetXError()->nGetUserErrorCode(), 0u);
            return false;
        }
        EXPECT_EQ(m_pDriver->nGetNbContext(), 1u);
        return true;
    });
}
