// The table object off the server: every host slot called by its place in
// the table of operations and the data access it reaches (a recording one
// from the test driver's factory), the last-hit cache and the registry, the
// two counts, the table's own errors and the version exchange with the
// host's parse, the mutex on every way out, two threads in two contexts,
// and forwarding that allocates nothing.
#include "access/driver/INAContext.h"
#include "access/driver/NAConnectionDescription.h"
#include "access/driver/NAContext.h"
#include "access/driver/NADataSourceDescription.h"
#include "access/driver/NADriverLock.h"
#include "access/driver/NAError.h"
#include "access/driver/NaDriver.h"
#include "access/statement/NARecordCache.h"
#include "access/table/NATable.h"
#include "common/platform/MyModuleInfo.h"
#include "common/platform/XError.h"
#include "host/HostConnectionDescription.h"
#include "host/HostContext.h"
#include "host/HostQueryParametersValue.h"
#include "host/parse/HostSQLParse.h"
#include "tests/support/CountingConnection.h"
#include "tests/support/TestHost.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <malloc.h>
#include <memory>
#include <pthread.h>
#include <new>
#include <stdexcept>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

extern "C" int bInitLibrary(HINSTANCE hModule);

// ---- Blocks of operator new still alive, counted while asked ------------------------------------------

namespace {
std::atomic<long> g_nNewLive{0};
std::atomic<long> g_nNewCalls{0};
} // namespace

void* operator new(std::size_t n)
{
    void* p = std::malloc(n != 0 ? n : 1);
    if (p == nullptr)
        throw std::bad_alloc();
    g_nNewLive++;
    g_nNewCalls++;
    return p;
}
void* operator new[](std::size_t n)
{
    return operator new(n);
}
void* operator new(std::size_t n, const std::nothrow_t&) noexcept
{
    try {
        return operator new(n);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept
{
    return operator new(n, std::nothrow);
}
// The blocks come from malloc in operator new above.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* p) noexcept
{
    if (p == nullptr)
        return;
    g_nNewLive--;
    std::free(p);
}
#pragma GCC diagnostic pop
void operator delete[](void* p) noexcept
{
    operator delete(p);
}
void operator delete(void* p, std::size_t) noexcept
{
    operator delete(p);
}
void operator delete[](void* p, std::size_t) noexcept
{
    operator delete(p);
}

namespace {

typedef std::vector<std::string> Calls;

std::string Narrow(const wchar_t* psz)
{
    std::string s;
    for (; *psz != 0; psz++)
        s += static_cast<char>(*psz);
    return s;
}

// One argument as the log writes it: texts as themselves, other pointers
// by address, numbers in decimal.
template <class X>
std::string Text(X x)
{
    if constexpr (std::is_same<X, const wchar_t*>::value || std::is_same<X, wchar_t*>::value) {
        return x != nullptr ? Narrow(x) : "null";
    } else if constexpr (std::is_pointer<X>::value) {
        char sz[32];
        std::snprintf(sz, sizeof sz, "%p", static_cast<const void*>(x));
        return sz;
    } else if constexpr (std::is_enum<X>::value) {
        return std::to_string(static_cast<long long>(x));
    } else {
        return std::to_string(x);
    }
}

template <class... A>
std::string Line(const char* pszName, A... a)
{
    std::string s = pszName;
    ((s += " " + Text(a)), ...);
    return s;
}

// What a recording data access answers, and where it notes its calls.
struct STRecord {
    Calls tabCalls;
    int nAnswer = 7;
    bool bThrow = false;
    bool bQuiet = false; // counts only: nothing allocated
    long nCalls = 0;
    int nMade = 0;
    int nDestroyed = 0;
    unsigned int nLastFlags = 0;
};

// A data access that notes each virtual operation the table reaches, with
// its arguments, and answers as told.
class CRecordingAccess : public CNADataAccess {
public:
    CRecordingAccess(INADataSourceDescription* pi, CNAConnectionDescription* pcl, CNAError* pe, STRecord* pst)
        : CNADataAccess(pi, pcl, pe), m_pst(pst)
    {
        m_pst->nMade++;
    }
    ~CRecordingAccess() override { m_pst->nDestroyed++; }

    template <class... A>
    int Note(const char* pszName, A... a)
    {
        m_pst->nCalls++;
        m_nOwnCalls++;
        if (!m_pst->bQuiet)
            m_pst->tabCalls.push_back(Line(pszName, a...));
        if (m_pst->bThrow)
            throw std::runtime_error("the data access broke");
        // A failure leaves its error, as a data access does.
        if (m_pst->nAnswer == 0 && m_pclError != nullptr)
            m_pclError->AddError(NA_ERRORTYPE_GENERAL, ZTERR_NOT_OFFERED, 3, 99, nullptr);
        return m_pst->nAnswer;
    }

    int bNbEnrNeedParse(int* pb, const wchar_t* psz) override { return Note("bNbEnrNeedParse", pb, psz); }
    int bHReindexe(unsigned int n, IGaugeControl* pi) override { return Note("bHReindexe", n, pi); }
    int bHCreationSiInexistant(eNA_ACCESS e, const wchar_t* psz) override
    {
        return Note("bHCreationSiInexistant", e, psz);
    }
    int bHCreation(const wchar_t* psz, int b) override { return Note("bHCreation", psz, b); }
    int bHOuvre(eNA_ACCESS e, const wchar_t* psz) override
    {
        m_bOpened = 1;
        return Note("bHOuvre", e, psz);
    }
    int bSupprimeFichier() override { return Note("bSupprimeFichier"); }
    int bSupprimeTout() override { return Note("bSupprimeTout"); }
    int bHFerme() override { return Note("bHFerme"); }
    int bHAjoute(unsigned int n, eNA_LOCKTYPE e) override
    {
        m_pst->nLastFlags = n;
        return Note("bHAjoute", n, e);
    }
    int bHEcrit(long long ll, unsigned int n, eNA_LOCKTYPE e) override { return Note("bHEcrit", ll, n, e); }
    int bHSupprime(long long ll, eNA_LOCKTYPE e) override { return Note("bHSupprime", ll, e); }
    int bHModifie(long long ll, unsigned int n, eNA_LOCKTYPE e) override { return Note("bHModifie", ll, n, e); }
    int bHRaye(long long ll, eNA_LOCKTYPE e) override { return Note("bHRaye", ll, e); }
    int bHLibere() override { return Note("bHLibere"); }
    int bHLit(long long ll, eNA_LOCKTYPE e, eNA_LOCKTYPE* pe) override { return Note("bHLit", ll, e, pe); }
    int bHLitxxx(const wchar_t* psz, eNA_PARSEDIRECTION e, int n, eNA_LOCKTYPE l, eNA_LOCKTYPE* pl,
                 unsigned int f) override
    {
        return Note("bHLitxxx", psz, e, n, l, pl, f);
    }
    int bSkipRecord(const wchar_t* psz, eNA_PARSEDIRECTION e, long long ll, int n, eNA_LOCKTYPE l, eNA_LOCKTYPE* pl,
                    unsigned int f) override
    {
        return Note("bSkipRecord", psz, e, ll, n, l, pl, f);
    }
    int bHRecherche(const wchar_t* psz, const CAny* pv, int b, int n, eNA_LOCKTYPE l, eNA_LOCKTYPE* pl, int bf,
                    unsigned int f) override
    {
        return Note("bHRecherche", psz, pv, b, n, l, pl, bf, f);
    }
    int bHAnnuleRecherche(const wchar_t* psz) override { return Note("bHAnnuleRecherche", psz); }
    int bHBloqueFichier(eNA_LOCKTYPE l, eNA_LOCKTYPE* pl) override { return Note("bHBloqueFichier", l, pl); }
    int bHDebloqueFichier() override { return Note("bHDebloqueFichier"); }
    int bHBloqueNumEnr(long long ll, eNA_LOCKTYPE l, eNA_LOCKTYPE* pl) override
    {
        return Note("bHBloqueNumEnr", ll, l, pl);
    }
    int bHDebloqueNumEnr(long long ll) override { return Note("bHDebloqueNumEnr", ll); }
    int bHFiltre(const wchar_t* psz, const CAny* p1, int b1, const CAny* p2, int b2,
                 ISQLParserInformation* pi) override
    {
        return Note("bHFiltre", psz, p1, b1, p2, b2, pi);
    }
    int bHSauvePosition(int* pn, const wchar_t* psz, eNAPOSITION e) override
    {
        return Note("bHSauvePosition", pn, psz, e);
    }
    int bHRetourPosition(int n, wchar_t* psz, int b, eNAPOSITION e) override
    {
        return Note("bHRetourPosition", n, psz, b, e);
    }
    int bHLiberePosition(int n) override { return Note("bHLiberePosition", n); }
    int bHVersion(int* pn) override { return Note("bHVersion", pn); }
    int bHNbEnr(long long* pll, unsigned int n, unsigned int f) override { return Note("bHNbEnr", pll, n, f); }
    long long llGetRecNum() override
    {
        Note("llGetRecNum");
        return 0x123456789LL;
    }
    int bGetRecNumState(long long ll, unsigned int* pn) override { return Note("bGetRecNumState", ll, pn); }
    int bHConstruitValCle(CAny* p, const wchar_t* psz, unsigned int n, CAny** pp) override
    {
        return Note("bHConstruitValCle", p, psz, n, pp);
    }
    int bGetBLOB(unsigned int n, CAny* p) override { return Note("bGetBLOB", n, p); }
    int bSetBLOB(unsigned int n, const CAny* p) override { return Note("bSetBLOB", n, p); }
    int bExtraitMemo(unsigned int n, const wchar_t* psz) override { return Note("bExtraitMemo", n, psz); }
    int bHChangeCle(const wchar_t* psz, unsigned int f) override { return Note("bHChangeCle", psz, f); }
    int bExecuteQuery(int* pb, const wchar_t* psz, ISQLParserInformation* pi, unsigned int e,
                      const INAQueryExecution* px) override
    {
        *pb = m_bHasResult;
        return Note("bExecuteQuery", psz, pi, e, px);
    }
    int bSetFiltreAuto(int n, const wchar_t* p1, const wchar_t* p2, INADataSourceDescription* pi) override
    {
        return Note("bSetFiltreAuto", n, p1, p2, pi);
    }
    void SetFiltreAuto(int n) override { Note("SetFiltreAuto", n); }
    void CancelRecordLock(INAConnectionDescription* pi, CNATransaction* p) override { Note("CancelRecordLock", pi, p); }

    int m_bHasResult = 1;
    long m_nOwnCalls = 0;

private:
    STRecord* m_pst;
};

// Its counts live with the test: the driver's base destroys the data
// accesses and connections after the derived part has gone.
class CRecordingDriver : public CNADriver {
public:
    CRecordingDriver(STRecord* pst, STConnectionCounts* pstConnections)
        : m_st(*pst), m_stConnections(*pstConnections)
    {
    }
    STRecord& m_st;
    STConnectionCounts& m_stConnections;
    CNAConnectionDescription* _pclAllocConnectionDescription(const wchar_t* pszId,
                                                             INAConnectionDescription* pi) override
    {
        return new CCountingConnection(pszId, pi, &m_stConnections);
    }
    CNADataAccess* pclAllocDataAccess(INADataSourceDescription* pi, CNAConnectionDescription* pcl,
                                      CNAError* pe) override
    {
        return new CRecordingAccess(pi, pcl, pe, &m_st);
    }
};

// A host context that counts the two numbers it is asked.
class CCountingContext : public CHostContext {
public:
    using CHostContext::CHostContext;
    unsigned int dwGetDataAccessKey() override
    {
        m_nKeys++;
        return CHostContext::dwGetDataAccessKey();
    }
    unsigned int dwGetContextNumber() override
    {
        m_nNumbers++;
        return CHostContext::dwGetContextNumber();
    }
    int m_nKeys = 0;
    int m_nNumbers = 0;
};

// A slot called by its place in the table of operations, the host's way.
template <class R, class... A>
R CallSlot(INATable* pi, int nSlot, A... a)
{
    typedef R (*PFN)(INATable*, A...);
    void** ppTable = *reinterpret_cast<void***>(pi);
    return reinterpret_cast<PFN>(ppTable[nSlot])(pi, a...);
}

eNA_LOCKTYPE Lock(int n)
{
    return static_cast<eNA_LOCKTYPE>(n);
}

// The error held: user error, kind, level and debug point together.
std::string Facts(CNAError* p)
{
    const wchar_t* pszDebug = p->pclGetXError()->pszGetDebugMessage();
    std::string strPoint = "-";
    if (pszDebug != nullptr) {
        const std::wstring s = pszDebug;
        const size_t n = s.find(L"IEDUZARO=");
        if (n != std::wstring::npos)
            strPoint = Narrow(s.substr(n + 9, s.find(L"\r\n", n) - n - 9).c_str());
    }
    const wchar_t* pszTable = p->pszGetLogicalTableName();
    const wchar_t* pszItem = p->pszGetItemName();
    return std::to_string(p->dwGetErrorId()) + " at " + strPoint + " kind " + std::to_string(p->eGetErrorType()) +
           " level " + std::to_string(p->eGetErrorLevel()) + " table " + (pszTable ? Narrow(pszTable) : "-") +
           " item " + (pszItem ? Narrow(pszItem) : "-");
}

class NATable : public testing::Test {
protected:
    void SetUp() override
    {
        bInitLibrary(nullptr);
        m_pDriver = new CRecordingDriver(&m_stRecord, &m_stConnections);
        m_pDriver->ExternalAddRef();
        ASSERT_EQ(m_pDriver->bInitDriver(), 1);
        CNADriver::s_pclDriver = m_pDriver;
        CNADriver::s_nID_ZTSQL = 31;
        m_host.SetText(CHostConnectionDescription::TXT_CONNECTIONNAME, L"main");
        m_pConnection = m_pDriver->_pclGetConnection(&m_host);
        ASSERT_NE(m_pConnection, nullptr);
        m_pOrders = Describe(L"ORDERS");
        m_pTable = NewTable(L"Table=orders;x", m_pOrders);
        gpclLastDataAccess = nullptr;
    }
    void TearDown() override
    {
        for (CNATable* p : m_apTable)
            p->nRelease();
        m_pConnection->nRelease();
        EXPECT_EQ(m_pDriver->nExternalRelease(), 0);
        for (CNADataSourceDescription* p : m_apDescription)
            EXPECT_EQ(p->nExternalRelease(), 0u);
        EXPECT_EQ(m_stRecord.nDestroyed, m_stRecord.nMade) << "data accesses left alive";
        EXPECT_EQ(m_stConnections.nDestroyed, m_stConnections.nMade);
        EXPECT_EQ(gpclLastDataAccess, nullptr);
    }
    CNADataSourceDescription* Describe(const wchar_t* pszLogical)
    {
        CNADataSourceDescription* p = new CNADataSourceDescription(nullptr, nullptr);
        p->ExternalAddRef();
        p->SetLogicalName(pszLogical);
        p->SetDBName(pszLogical);
        m_apDescription.push_back(p);
        return p;
    }
    // A table held by the test (one internal reference).
    CNATable* NewTable(const wchar_t* pszKey, INADataSourceDescription* pi)
    {
        CNATable* p = new CNATable(pszKey, pi, m_pConnection, m_pDriver->pclGetError());
        p->AddRef();
        m_apTable.push_back(p);
        return p;
    }
    // The data access of the context, opened through the table.
    CRecordingAccess* Open(INAContext* pi, CNATable* pTable = nullptr)
    {
        CNATable* p = pTable != nullptr ? pTable : m_pTable;
        EXPECT_EQ(p->bHOuvre(pi, static_cast<eNA_ACCESS>(0), nullptr), 7);
        CNADataAccess* pcl = p->_pclFindDataAccess(pi);
        if (pcl != nullptr)
            pcl->nRelease();
        return static_cast<CRecordingAccess*>(pcl);
    }
    CNAError* ContextError(INAContext* pi)
    {
        CNAContext* pcl = m_pDriver->pclFindContext(pi);
        if (pcl == nullptr)
            return nullptr;
        CNAError* pe = pcl->pclGetError();
        pcl->nRelease();
        return pe;
    }
    Calls& Log() { return m_pDriver->m_st.tabCalls; }
    CNAError* TableError() { return m_pTable->piGetLastError(); }

    STRecord m_stRecord;
    STConnectionCounts m_stConnections;
    CRecordingDriver* m_pDriver = nullptr;
    CHostConnectionDescription m_host;
    CNAConnectionDescription* m_pConnection = nullptr;
    CNADataSourceDescription* m_pOrders = nullptr;
    CNATable* m_pTable = nullptr;
    std::vector<CNATable*> m_apTable;
    std::vector<CNADataSourceDescription*> m_apDescription;
};

} // namespace

TEST_F(NATable, CountsFollowTheTableOfOperations)
{
    CNATable* p = new CNATable(L"Table=t;x", nullptr, nullptr, nullptr);
    p->AddRef();
    p->AddRef();
    p->ExternalAddRef();
    const int* pn = reinterpret_cast<const int*>(p);
    if (sizeof(void*) == 4) {
        EXPECT_EQ(pn[1], 2);
        EXPECT_EQ(pn[2], 1);
    }
    EXPECT_EQ(p->nRelease(), 1);
    EXPECT_EQ(p->nExternalRelease(), 0);
    EXPECT_EQ(p->nRelease(), 0);
}

// Every slot by its place: the data access reached with the host's
// arguments in order, its answer unchanged.
TEST_F(NATable, EverySlotReachesItsOperationByPlace)
{
    CHostContext ctx(5, 1);
    CRecordingAccess* pAccess = Open(&ctx);
    ASSERT_NE(pAccess, nullptr);
    INATable* pi = m_pTable;
    const long long llBig = 0x100000002LL;
    eNA_LOCKTYPE eOut = Lock(0);
    int n = 0;
    unsigned int u = 0;
    long long ll = 0;
    CAny* pValue = reinterpret_cast<CAny*>(&u);
    CAny** ppValues = &pValue;
    IGaugeControl* piGauge = reinterpret_cast<IGaugeControl*>(&ll);
    CHostQueryParametersValue* pNone = nullptr;
    (void)pNone;
    wchar_t szItem[255] = L"K";
    struct SRow {
        int nSlot;
        std::function<long long()> call;
        std::string strExpected;
    };
    const std::vector<SRow> aRows = {
        {10, [&] { return CallSlot<int, INAContext*, int*, const wchar_t*>(pi, 10, &ctx, &n, L"K"); },
         Line("bNbEnrNeedParse", &n, L"K")},
        {12, [&] { return CallSlot<int, INAContext*, unsigned, IGaugeControl*>(pi, 12, &ctx, 3u, piGauge); },
         Line("bHReindexe", 3, piGauge)},
        {18, [&] { return CallSlot<int, INAContext*, unsigned, eNA_LOCKTYPE>(pi, 18, &ctx, 0x40u, Lock(2)); },
         "bHAjoute 64 2"},
        {19,
         [&] { return CallSlot<int, INAContext*, long long, unsigned, eNA_LOCKTYPE>(pi, 19, &ctx, llBig, 5u, Lock(1)); },
         "bHEcrit 4294967298 5 1"},
        {20, [&] { return CallSlot<int, INAContext*, long long, eNA_LOCKTYPE>(pi, 20, &ctx, llBig, Lock(3)); },
         "bHRaye 4294967298 3"},
        {21, [&] { return CallSlot<int, INAContext*, long long, eNA_LOCKTYPE>(pi, 21, &ctx, -llBig, Lock(2)); },
         "bHSupprime -4294967298 2"},
        {22,
         [&] { return CallSlot<int, INAContext*, long long, unsigned, eNA_LOCKTYPE>(pi, 22, &ctx, llBig, 9u, Lock(4)); },
         "bHModifie 4294967298 9 4"},
        {23,
         [&] {
             return CallSlot<int, INAContext*, const wchar_t*, const CAny*, int, int, eNA_LOCKTYPE, eNA_LOCKTYPE*, int,
                             unsigned>(pi, 23, &ctx, L"K", pValue, 1, 2, Lock(3), &eOut, 4, 5u);
         },
         Line("bHRecherche", L"K", pValue, 1, 2, 3, &eOut, 4, 5)},
        {24, [&] { return CallSlot<int, INAContext*>(pi, 24, &ctx); }, "bHLibere"},
        {25, [&] { return CallSlot<int, INAContext*, long long, eNA_LOCKTYPE, eNA_LOCKTYPE*>(pi, 25, &ctx, llBig, Lock(1), &eOut); },
         Line("bHLit", llBig, 1, &eOut)},
        {26,
         [&] {
             return CallSlot<int, INAContext*, const wchar_t*, eNA_PARSEDIRECTION, int, eNA_LOCKTYPE, eNA_LOCKTYPE*,
                             unsigned>(pi, 26, &ctx, L"K", NA_PARSE_PREVIOUS, 6, Lock(2), &eOut, 0x2000u);
         },
         Line("bHLitxxx", L"K", 3, 6, 2, &eOut, 0x2000)},
        {27,
         [&] {
             return CallSlot<int, INAContext*, const wchar_t*, eNA_PARSEDIRECTION, long long, int, eNA_LOCKTYPE,
                             eNA_LOCKTYPE*, unsigned>(pi, 27, &ctx, L"K", NA_PARSE_NEXT, llBig, 8, Lock(1), &eOut,
                                                      0x4000u);
         },
         Line("bSkipRecord", L"K", 2, llBig, 8, 1, &eOut, 0x4000)},
        {28, [&] { return CallSlot<int, INAContext*, eNA_LOCKTYPE, eNA_LOCKTYPE*>(pi, 28, &ctx, Lock(2), &eOut); },
         Line("bHBloqueFichier", 2, &eOut)},
        {29, [&] { return CallSlot<int, INAContext*>(pi, 29, &ctx); }, "bHDebloqueFichier"},
        {30,
         [&] {
             return CallSlot<int, INAContext*, long long, eNA_LOCKTYPE, eNA_LOCKTYPE*>(pi, 30, &ctx, llBig, Lock(3),
                                                                                      &eOut);
         },
         Line("bHBloqueNumEnr", llBig, 3, &eOut)},
        {31, [&] { return CallSlot<int, INAContext*, long long>(pi, 31, &ctx, llBig); },
         "bHDebloqueNumEnr 4294967298"},
        {35, [&] { return CallSlot<long long, INAContext*>(pi, 35, &ctx); }, "llGetRecNum"},
        {36, [&] { return CallSlot<int, INAContext*, long long, unsigned*>(pi, 36, &ctx, llBig, &u); },
         Line("bGetRecNumState", llBig, &u)},
        {38,
         [&] {
             return CallSlot<int, INAContext*, const wchar_t*, const CAny*, int, const CAny*, int,
                             ISQLParserInformation*>(pi, 38, &ctx, L"K", pValue, 1, nullptr, 0, nullptr);
         },
         Line("bHFiltre", L"K", pValue, 1, static_cast<CAny*>(nullptr), 0, static_cast<void*>(nullptr))},
        {41,
         [&] { return CallSlot<int, INAContext*, int, wchar_t*, int, unsigned>(pi, 41, &ctx, 12, szItem, 1, 1u); },
         Line("bHRetourPosition", 12, szItem, 1, 1)},
        {42, [&] { return CallSlot<int, INAContext*, int>(pi, 42, &ctx, 13); }, "bHLiberePosition 13"},
        {43, [&] { return CallSlot<int, INAContext*, const wchar_t*, int*, unsigned>(pi, 43, &ctx, L"K", &n, 1u); },
         Line("bHSauvePosition", &n, L"K", 1)},
        {44, [&] { return CallSlot<int, INAContext*, int*>(pi, 44, &ctx, &n); }, Line("bHVersion", &n)},
        {45, [&] { return CallSlot<int, INAContext*, long long*, unsigned, unsigned>(pi, 45, &ctx, &ll, 0x10u, 3u); },
         Line("bHNbEnr", &ll, 16, 3)},
        {48, [&] { return CallSlot<int, INAContext*, unsigned, CAny*>(pi, 48, &ctx, 2u, pValue); },
         Line("bGetBLOB", 2, pValue)},
        {49, [&] { return CallSlot<int, INAContext*, unsigned, const CAny*>(pi, 49, &ctx, 3u, pValue); },
         Line("bSetBLOB", 3, pValue)},
        {53, [&] { return CallSlot<int, INAContext*, unsigned, const wchar_t*>(pi, 53, &ctx, 4u, L"/tmp/m"); },
         "bExtraitMemo 4 /tmp/m"},
        {54, [&] { return CallSlot<int, INAContext*, const wchar_t*>(pi, 54, &ctx, L"K"); }, "bHAnnuleRecherche K"},
        {55, [&] { return CallSlot<int, INAContext*, const wchar_t*, unsigned>(pi, 55, &ctx, L"K", 0x8000u); },
         "bHChangeCle K 32768"},
        {56,
         [&] {
             return CallSlot<int, INAContext*, CAny*, const wchar_t*, unsigned, CAny**>(pi, 56, &ctx, pValue, L"K", 2u,
                                                                                      ppValues);
         },
         Line("bHConstruitValCle", pValue, L"K", 2, ppValues)},
        {64, [&] { return CallSlot<int, INAContext*>(pi, 64, &ctx); }, "bSupprimeTout"},
    };
    for (const SRow& r : aRows) {
        SCOPED_TRACE(r.strExpected);
        Log().clear();
        ContextError(&ctx)->AddError(NA_ERRORTYPE_GENERAL, ZTERR_NO_MEMORY, 3, 1, nullptr);
        const long long llAnswer = r.call();
        EXPECT_EQ(llAnswer, r.nSlot == 35 ? 0x123456789LL : 7) << "slot " << r.nSlot;
        EXPECT_EQ(Log(), Calls{r.strExpected}) << "slot " << r.nSlot;
        // The forwarding resets the data access's error, but llGetRecNum
        // and bHReindexe.
        const bool bKept = r.nSlot == 35 || r.nSlot == 12;
        EXPECT_EQ(ContextError(&ctx)->dwGetErrorId(), bKept ? ZTERR_NO_MEMORY : 0u) << "slot " << r.nSlot;
        EXPECT_EQ(TableError()->dwGetErrorId(), 0u);
        ContextError(&ctx)->Reset();
    }
    // The own slots after the interface: bSupprimeFichier (79) and, after
    // the two destructors, bExecuteQuery (82).
    Log().clear();
    EXPECT_EQ((CallSlot<int, INAContext*>(pi, 79, &ctx)), 7);
    EXPECT_EQ(Log(), (Calls{"bSupprimeFichier"}));
    Log().clear();
    int bHasResult = -1;
    CHostContext ctxQuery(6, 1);
    const INAQueryExecution* piExecution = reinterpret_cast<const INAQueryExecution*>(&ll);
    EXPECT_EQ((CallSlot<int, int*, INAContext*, const wchar_t*, ISQLParserInformation*, unsigned,
                        const INAQueryExecution*>(pi, 82, &bHasResult, &ctxQuery, L"Q", nullptr, 0x84u, piExecution)),
              7);
    EXPECT_EQ(bHasResult, 1);
    EXPECT_EQ(Log(), Calls{Line("bExecuteQuery", L"Q", static_cast<void*>(nullptr), 0x84, piExecution)});
    // Run again, the data access's error is reset first.
    ContextError(&ctxQuery)->AddError(NA_ERRORTYPE_GENERAL, ZTERR_NO_MEMORY, 3, 1, nullptr);
    EXPECT_EQ(m_pTable->bExecuteQuery(&bHasResult, &ctxQuery, L"Q", nullptr, 0x84u, piExecution), 7);
    EXPECT_EQ(ContextError(&ctxQuery)->dwGetErrorId(), 0u);
}

// The slots the table answers itself, and those that reach the opening
// operations or operations the data access does not let a test see.
TEST_F(NATable, SlotsTheTableAnswersAndThoseWithoutRecord)
{
    CHostContext ctx(5, 1);
    INATable* pi = m_pTable;
    EXPECT_EQ((CallSlot<int>(pi, 0)), 11);
    EXPECT_EQ((CallSlot<int>(pi, 1)), 8);
    EXPECT_EQ((CallSlot<int>(pi, 2)), -1);
    EXPECT_EQ((CallSlot<int>(pi, 3)), -1);
    CallSlot<void>(pi, 4);
    for (int nSlot = 65; nSlot < 79; nSlot++)
        CallSlot<void>(pi, nSlot);
    EXPECT_EQ((CallSlot<int>(pi, 62)), 0);
    long long llMove = 3;
    EXPECT_EQ((CallSlot<int, INAContext*, const wchar_t*, long long*, unsigned, int>(pi, 63, &ctx, L"K", &llMove, 1u, 1)),
              0);
    EXPECT_EQ(llMove, 3);
    EXPECT_TRUE(Log().empty());
    EXPECT_EQ(TableError()->dwGetErrorId(), 0u);
    EXPECT_EQ(m_pDriver->nGetNbContext(), 0u) << "none of them made a context";

    // The counts and the description.
    const int nExternal = m_pTable->nGetExternalRef();
    CallSlot<void>(pi, 5);
    EXPECT_EQ(m_pTable->nGetExternalRef(), nExternal + 1);
    EXPECT_EQ((CallSlot<int>(pi, 6)), nExternal);
    const unsigned int nDescriptionRefs = m_pOrders->nGetExternalRef();
    EXPECT_EQ((CallSlot<INADataSourceDescription*>(pi, 9)), m_pOrders);
    EXPECT_EQ(m_pOrders->nGetExternalRef(), nDescriptionRefs + 1);
    m_pOrders->nExternalRelease();

    // The opening operations.
    Log().clear();
    EXPECT_EQ((CallSlot<int, INAContext*, eNA_ACCESS, const wchar_t*>(pi, 15, &ctx, static_cast<eNA_ACCESS>(2), L"pw")),
              7);
    EXPECT_EQ((CallSlot<int, INAContext*, eNA_ACCESS, const wchar_t*>(pi, 13, &ctx, static_cast<eNA_ACCESS>(1), L"pw")),
              7);
    EXPECT_EQ((CallSlot<int, INAContext*, const wchar_t*>(pi, 14, &ctx, L"pw")), 7);
    EXPECT_EQ(Log(), (Calls{"bHOuvre 2 pw", "bHCreationSiInexistant 1 pw", "bHCreation pw 1"}));
    Log().clear();
    EXPECT_EQ((CallSlot<int, INAContext*>(pi, 8, &ctx)), 1) << "bIsOpened: the data access's flag";
    EXPECT_EQ((CallSlot<INAError*, INAContext*>(pi, 7, &ctx)), ContextError(&ctx));
    EXPECT_EQ((CallSlot<int, INAContext*, _eNA_HMODE>(pi, 16, &ctx, static_cast<_eNA_HMODE>(3))), 1);
    CNADataAccess* pAccess = m_pTable->_pclFindDataAccess(&ctx);
    ASSERT_NE(pAccess, nullptr);
    EXPECT_EQ(pAccess->eGetHMode(), 3);
    pAccess->nRelease();

    // The forwarding of the operations the data access keeps to itself:
    // the table answers what the data access answers to the same call.
    struct SDirect {
        const char* pszName;
        std::function<long long()> viaTable;
        std::function<long long()> direct;
    };
    int a[4] = {-5, -5, -5, -5};
    wchar_t szItem[255] = L"";
    CNAKXRecord* pRecord = nullptr;
    const std::vector<SDirect> aDirect = {
        {"bHEnDehors", [&] { return CallSlot<int, INAContext*, const wchar_t*, int*>(pi, 32, &ctx, L"K", &a[0]); },
         [&] { return pAccess->bHEndehors(L"K", &a[1]); }},
        {"bEvalHTrouve",
         [&] { return CallSlot<int, INAContext*, const wchar_t*, int*, int*>(pi, 33, &ctx, L"K", &a[0], &a[2]); },
         [&] { return pAccess->bEvalHTrouve(L"K", &a[1], &a[3]); }},
        {"bSetNextOperation",
         [&] { return CallSlot<int, INAContext*, eNA_OPERATION>(pi, 34, &ctx, static_cast<eNA_OPERATION>(2)); },
         [&] { return pAccess->bSetNextOperation(static_cast<eNA_OPERATION>(2)); }},
        {"bHActiveFiltre", [&] { return CallSlot<int, INAContext*, const wchar_t*, unsigned>(pi, 39, &ctx, L"K", 9u); },
         [&] { return pAccess->bHActiveFiltre(L"K"); }},
        {"bHDesactiveFiltre",
         [&] { return CallSlot<int, INAContext*, const wchar_t*, unsigned>(pi, 40, &ctx, L"K", 9u); },
         [&] { return pAccess->bHDesactiveFiltre(L"K"); }},
        {"bHPositionCourante",
         [&] {
             return CallSlot<int, INAContext*, const wchar_t*, int*, eNA_PRECISION, unsigned>(
                 pi, 46, &ctx, L"K", &a[0], static_cast<eNA_PRECISION>(1), 9u);
         },
         [&] { return pAccess->bHPositionCourante(&a[1], L"K", static_cast<eNA_PRECISION>(1)); }},
        {"bHPositionne",
         [&] {
             return CallSlot<int, INAContext*, const wchar_t*, unsigned, eNA_PRECISION, unsigned>(
                 pi, 47, &ctx, L"K", 500u, static_cast<eNA_PRECISION>(1), 0x2000u);
         },
         [&] { return pAccess->bHPositionne(L"K", 500u, static_cast<eNA_PRECISION>(1), 0x2000u); }},
        {"bGetRecord", [&] { return CallSlot<int, INAContext*, CNAKXRecord**>(pi, 50, &ctx, &pRecord); },
         [&] { return pAccess->bGetRecord(&pRecord); }},
        {"bHAttacheMemo",
         [&] { return CallSlot<int, INAContext*, unsigned, const wchar_t*>(pi, 52, &ctx, 1u, L"/tmp/none"); },
         [&] { return pAccess->bHAttacheMemo(1u, L"/tmp/none"); }},
        {"bFreeCache", [&] { return CallSlot<int, INAContext*>(pi, 60, &ctx); }, [&] { return pAccess->bFreeCache(); }},
        {"bCompareTablePosition",
         [&] { return CallSlot<int, INAContext*, int, int, int*>(pi, 61, &ctx, 1, 2, &a[0]); },
         [&] { return pAccess->bCompareTablePosition(1, 2, &a[1]); }},
        {"bHFiltre (parse)",
         [&] { return CallSlot<int, INAContext*, ISQLParserInformation*, wchar_t*>(pi, 37, &ctx, nullptr, szItem); },
         [&] { return pAccess->bHFiltre(nullptr, szItem); }},
    };
    pAccess->AddRef();
    for (const SDirect& r : aDirect) {
        SCOPED_TRACE(r.pszName);
        ContextError(&ctx)->AddError(NA_ERRORTYPE_GENERAL, ZTERR_NO_MEMORY, 3, 1, nullptr);
        const long long llTable = r.viaTable();
        const std::string strTable = Facts(ContextError(&ctx));
        pAccess->pclGetError()->Reset();
        const long long llDirect = r.direct();
        EXPECT_EQ(llTable, llDirect);
        EXPECT_EQ(strTable, Facts(ContextError(&ctx)));
        EXPECT_EQ(a[0], a[1]);
        EXPECT_EQ(a[2], a[3]);
        pAccess->pclGetError()->Reset();
    }
    pAccess->nRelease();
    EXPECT_EQ(TableError()->dwGetErrorId(), 0u);
    EXPECT_TRUE(Log().empty());

    // Closing: the data access goes, and with it the cache's memory of it.
    EXPECT_EQ((CallSlot<int, INAContext*>(pi, 17, &ctx)), 7);
    EXPECT_EQ(Log(), Calls{"bHFerme"});
    EXPECT_EQ(m_pTable->nGetNbDataAccess(), 0u);
    EXPECT_EQ((CallSlot<int, INAContext*>(pi, 8, &ctx)), 0) << "bIsOpened without a data access";
}

// The operations not offered: user error 8 of kind 7 at their points, in
// the table's error and copied to the context's when the driver knows it.
TEST_F(NATable, OperationsNotOfferedAtTheirPoints)
{
    CHostContext ctxKnown(5, 1), ctxUnknown(5, 2);
    Open(&ctxKnown);
    Log().clear();
    INATable* pi = m_pTable;
    struct SRow {
        const char* pszPoint;
        std::function<long long(INAContext*)> call;
    };
    void* pMemory = nullptr;
    const std::vector<SRow> aRows = {
        {"6.3", [&](INAContext* p) { return CallSlot<int, INAContext*>(pi, 57, p); }},
        {"6.4", [&](INAContext* p) { return CallSlot<int, INAContext*>(pi, 58, p); }},
        {"6.5",
         [&](INAContext* p) {
             return CallSlot<int, INAContext*, const wchar_t*, void**, const void*, unsigned*, unsigned short, int>(
                 pi, 59, p, L"K", &pMemory, nullptr, nullptr, 1, 0);
         }},
        {"6.6",
         [&](INAContext* p) {
             CallSlot<void, INAContext*, void**>(pi, 11, p, &pMemory);
             return 0LL;
         }},
    };
    for (const SRow& r : aRows) {
        SCOPED_TRACE(r.pszPoint);
        for (INAContext* pContext : {static_cast<INAContext*>(&ctxKnown), static_cast<INAContext*>(&ctxUnknown)}) {
            TableError()->Reset();
            ContextError(&ctxKnown)->Reset();
            EXPECT_EQ(r.call(pContext), 0);
            const std::string strExpected = "8 at " + std::string(r.pszPoint) + " kind 7 level 3 table ORDERS item -";
            EXPECT_EQ(Facts(TableError()), strExpected);
            EXPECT_EQ(Facts(ContextError(&ctxKnown)),
                      pContext == &ctxKnown ? strExpected : "0 at - kind -1 level 1 table - item -");
        }
    }
    EXPECT_TRUE(Log().empty());
    EXPECT_EQ(pMemory, nullptr);
}

TEST_F(NATable, MissingDataAccessIsTheTablesError)
{
    CHostContext ctxOther(5, 1), ctx(6, 1);
    Open(&ctxOther, NewTable(L"Table=lines;x", Describe(L"LINES")));
    ASSERT_NE(ContextError(&ctx), nullptr) << "the context is known, without a data access for this table";
    Log().clear();

    eNA_LOCKTYPE eOut = Lock(0);
    EXPECT_EQ(m_pTable->bHLitxxx(&ctx, L"K", NA_PARSE_FIRST, 1, Lock(1), &eOut, 0), 0);
    EXPECT_EQ(Facts(TableError()), "19 at 6.7 kind 0 level 3 table ORDERS item -");
    EXPECT_EQ(ContextError(&ctx)->dwGetErrorId(), 0u) << "the context's error is untouched";
    EXPECT_NE(m_pTable->piGetLastError(&ctx), TableError()) << "a known context answers its own error";

    EXPECT_EQ(m_pTable->bHAnnuleRecherche(&ctx, L"K"), 1);
    EXPECT_EQ(Facts(TableError()), "19 at 6.7 kind 0 level 3 table ORDERS item -");

    // llGetRecNum resets nothing: its error follows the one held.
    EXPECT_EQ(m_pTable->llGetRecNum(&ctx), 0);
    EXPECT_EQ(Facts(TableError()), "19 at 6.7 kind 0 level 3 table ORDERS item -");
    ASSERT_NE(TableError()->pclGetXError()->nGetNbSubError(), 0);
    TableError()->Reset();
    EXPECT_EQ(m_pTable->llGetRecNum(&ctx), 0);
    EXPECT_EQ(Facts(TableError()), "19 at 6.8 kind 0 level 3 table ORDERS item -");

    // A context the driver does not know answers the table's error.
    CHostContext ctxUnknown(7, 9);
    EXPECT_EQ(m_pTable->piGetLastError(&ctxUnknown), TableError());
    EXPECT_EQ(m_pTable->bHDesactiveFiltre(&ctx, L"K", 0), 1);
    EXPECT_EQ(m_pTable->bHLiberePosition(&ctx, 3), 1);
    EXPECT_EQ(TableError()->dwGetErrorId(), 0u) << "both reset the table's error and answer 1 without one";
    EXPECT_EQ(m_pTable->bHFerme(&ctx), 1);
    EXPECT_TRUE(Log().empty());
}

// The last-hit cache and the registry of data accesses.
TEST_F(NATable, LastHitCacheAndRegistry)
{
    CCountingContext ctx(5, 1);
    CRecordingAccess* pAccess = Open(&ctx);
    ASSERT_NE(pAccess, nullptr);
    int n = 0;
    ASSERT_EQ(m_pTable->bHVersion(&ctx, &n), 7);
    // A second call: one number and one key asked, no look-up in the
    // context (which would ask the number again).
    ctx.m_nNumbers = ctx.m_nKeys = 0;
    const long nBefore = pAccess->m_nOwnCalls;
    ASSERT_EQ(m_pTable->bHVersion(&ctx, &n), 7);
    EXPECT_EQ(ctx.m_nNumbers, 1);
    EXPECT_EQ(ctx.m_nKeys, 1);
    EXPECT_EQ(pAccess->m_nOwnCalls, nBefore + 1);
    EXPECT_EQ(gpclLastDataAccess, pAccess);

    // The same two numbers on another table never reach this one's.
    CNATable* pOther = NewTable(L"Table=lines;x", Describe(L"LINES"));
    EXPECT_EQ(pOther->bHVersion(&ctx, &n), 0);
    EXPECT_EQ(Facts(pOther->piGetLastError()), "19 at 6.7 kind 0 level 3 table LINES item -");
    EXPECT_EQ(pAccess->m_nOwnCalls, nBefore + 1);

    // Closed: the cache forgets it.
    EXPECT_EQ(m_pTable->bHFerme(&ctx), 7);
    EXPECT_EQ(gpclLastDataAccess, nullptr);
    EXPECT_EQ(m_pTable->nGetNbDataAccess(), 0u);
    EXPECT_EQ(m_pDriver->nGetNbContext(), 0u) << "a context without data access is forgotten";
    // Never opened in that context: 1, nothing changed.
    CHostContext ctxNever(9, 9);
    EXPECT_EQ(m_pTable->bHFerme(&ctxNever), 1);
    EXPECT_EQ(m_pDriver->nGetNbContext(), 0u);

    // The driver closes the whole context; reopened, the table reads
    // through its new data access, not the closed one.
    pAccess = Open(&ctx);
    ASSERT_EQ(m_pTable->bHVersion(&ctx, &n), 7);
    ASSERT_EQ(gpclLastDataAccess, pAccess);
    EXPECT_EQ(m_pDriver->bCloseContext(&ctx), 1);
    EXPECT_EQ(gpclLastDataAccess, nullptr);
    CRecordingAccess* pNew = Open(&ctx);
    ASSERT_NE(pNew, nullptr);
    const long nNew = pNew->m_nOwnCalls;
    EXPECT_EQ(m_pTable->bHVersion(&ctx, &n), 7);
    EXPECT_EQ(pNew->m_nOwnCalls, nNew + 1);
    EXPECT_EQ(m_pTable->bHFerme(&ctx), 7);

    // bNeedCloseQuery on a new context: 0, and one data access filed.
    // (The registry still holds the one of the context the driver closed.)
    const unsigned int nFiled = m_pTable->nGetNbDataAccess();
    CHostContext ctxNew(3, 4);
    EXPECT_EQ(m_pTable->bNeedCloseQuery(&ctxNew, nullptr), 0);
    EXPECT_EQ(m_pTable->nGetNbDataAccess(), nFiled + 1);
    EXPECT_EQ(m_pTable->bNeedCloseQuery(&ctxNew, nullptr), 1) << "it holds no query like the parse's";
    EXPECT_EQ(m_pTable->nGetNbDataAccess(), nFiled + 1);
    EXPECT_EQ(m_pTable->bHFerme(&ctxNew), 7);
}

TEST_F(NATable, OpeningAndClosingKeepsMemoryFlat)
{
    CHostContext ctx(5, 1);
    m_pDriver->m_st.bQuiet = true;
    auto Cycle = [&] {
        EXPECT_EQ(m_pTable->bHOuvre(&ctx, static_cast<eNA_ACCESS>(0), nullptr), 7);
        EXPECT_EQ(m_pTable->bHFerme(&ctx), 7);
    };
    Cycle();
    CLiveBlockCheck clBlocks;
    const long nLive = g_nNewLive;
    for (int i = 0; i < 100000; i++)
        Cycle();
    EXPECT_EQ(g_nNewLive, nLive);
    EXPECT_EQ(m_pDriver->m_st.nMade, 100001);
    EXPECT_EQ(m_pDriver->m_st.nDestroyed, 100001);
}

// The two counts: the host's last reference on a table the registry alone
// holds unfiles and destroys it, once.
TEST_F(NATable, CountsAndTheDriversRegistry)
{
    const unsigned int nDescription = m_pOrders->nGetExternalRef();
    INATable* pi = m_pDriver->piGetTable(&m_host, m_pOrders);
    ASSERT_NE(pi, nullptr);
    CNATable* p = static_cast<CNATable*>(pi);
    EXPECT_EQ(p->nGetRef(), 1);
    EXPECT_EQ(p->nGetExternalRef(), 1);
    EXPECT_EQ(m_pDriver->nGetNbTable(), 1u);
    EXPECT_EQ(m_pOrders->nGetExternalRef(), nDescription + 1);
    EXPECT_EQ(pi->nExternalRelease(), 0);
    EXPECT_EQ(m_pDriver->nGetNbTable(), 0u);
    EXPECT_EQ(m_pOrders->nGetExternalRef(), nDescription) << "destroyed, its description given back";

    // Another internal reference keeps it filed.
    pi = m_pDriver->piGetTable(&m_host, m_pOrders);
    p = static_cast<CNATable*>(pi);
    p->AddRef();
    EXPECT_EQ(pi->nExternalRelease(), 0);
    EXPECT_EQ(m_pDriver->nGetNbTable(), 1u);
    EXPECT_EQ(p->nRelease(), 1);
    pi->ExternalAddRef();
    EXPECT_EQ(pi->nExternalRelease(), 0);
    EXPECT_EQ(m_pDriver->nGetNbTable(), 0u);
    EXPECT_EQ(m_pOrders->nGetExternalRef(), nDescription);
}

// A host's release that throws.
class CThrowingValues : public CHostQueryParametersValue {
public:
    unsigned int nExternalRelease() override
    {
        m_nReleases++;
        throw std::runtime_error("the host's release broke");
    }
    int m_nReleases = 0;
};

TEST_F(NATable, BindVariablesReleasedOnce)
{
    CHostContext ctx(5, 1);
    CHostQueryParametersValue clValues;
    m_pTable->SetQueryBindVariable(&clValues);
    m_pTable->SetQueryBindVariable(&clValues);
    EXPECT_EQ(clValues.m_nRef, 1u);
    EXPECT_EQ(m_pTable->piGetQueryBindVariableNoRef(), &clValues);
    Open(&ctx);
    EXPECT_EQ(m_pTable->bHFerme(&ctx), 7);
    EXPECT_EQ(clValues.m_nRef, 0u) << "a close gives them back";
    EXPECT_EQ(m_pTable->piGetQueryBindVariableNoRef(), nullptr);

    // The table's end gives them back once; a release that throws is
    // swallowed.
    CNATable* p = new CNATable(L"Table=q;x", nullptr, m_pConnection, m_pDriver->pclGetError());
    p->AddRef();
    p->SetQueryBindVariable(&clValues);
    EXPECT_EQ(p->nRelease(), 0);
    EXPECT_EQ(clValues.m_nRef, 0u);
    CThrowingValues clThrowing;
    p = new CNATable(L"Table=q;x", nullptr, m_pConnection, m_pDriver->pclGetError());
    p->AddRef();
    p->SetQueryBindVariable(&clThrowing);
    EXPECT_NO_THROW(p->nRelease());
    EXPECT_EQ(clThrowing.m_nReleases, 1);
}

// The version exchange with the host's parse, once per process.
TEST_F(NATable, VersionExchangeWithTheHostsParse)
{
    CHostContext ctx(5, 1);
    Open(&ctx);
    std::unique_ptr<CHostSQLParse> pParse = CHostSQLParse::pParse(L"SELECT * FROM ORDERS");
    ASSERT_NE(pParse, nullptr);
    m_pDriver->SetSQLModuleChecked(0);
    CNADriver::s_nID_ZTSQL = 0;
    wchar_t szItem[255] = L"";
    auto Text = [&] { return Narrow(TableError()->pszGetError()); };
    Log().clear();

    // Refused: 16 at 6.1, the module's name first.
    pParse->m_bVersionAnswer = 0;
    EXPECT_EQ(m_pTable->bHFiltre(&ctx, pParse.get(), szItem), 0);
    EXPECT_EQ(Facts(TableError()), "16 at 6.1 kind 0 level 3 table - item -");
    EXPECT_LT(Text().find("DUZARO"), Text().find("zt190sql.so")) << Text();
    EXPECT_EQ(pParse->m_nVersionExchanges, 1);

    // A host SQL module of 30: 16 at 6.2, the names the other way round,
    // the flag still clear.
    pParse->m_bVersionAnswer = 1;
    pParse->m_nHostVersion = 30;
    TableError()->Reset();
    EXPECT_EQ(m_pTable->bHFiltre(&ctx, L"K", nullptr, 1, nullptr, 1, pParse.get()), 0);
    EXPECT_EQ(Facts(TableError()), "16 at 6.2 kind 0 level 3 table - item -");
    EXPECT_GT(Text().find("DUZARO"), Text().find("zt190sql.so")) << Text();
    EXPECT_EQ(CNADriver::s_nID_ZTSQL, 30u);
    EXPECT_EQ(m_pDriver->bGetSQLModuleChecked(), 0);
    EXPECT_TRUE(Log().empty());

    // A null parse: no exchange, the filter runs.
    EXPECT_EQ(m_pTable->bHFiltre(&ctx, L"K", nullptr, 1, nullptr, 1, nullptr), 7);
    EXPECT_EQ(pParse->m_nVersionExchanges, 2);
    EXPECT_EQ(Log().size(), 1u);

    // 31: the flag set, never asked again by any table.
    pParse->m_nHostVersion = 31;
    EXPECT_EQ(m_pTable->bHFiltre(&ctx, L"K", nullptr, 1, nullptr, 1, pParse.get()), 7);
    EXPECT_EQ(m_pDriver->bGetSQLModuleChecked(), 1);
    EXPECT_EQ(pParse->m_nVersionExchanges, 3);
    pParse->m_nHostVersion = 30;
    CNATable* pOther = NewTable(L"Table=lines;x", Describe(L"LINES"));
    int bHasResult = 0;
    CHostContext ctxQuery(6, 1);
    EXPECT_EQ(pOther->bExecuteQuery(&bHasResult, &ctxQuery, L"Q", pParse.get(), 0, nullptr), 7);
    EXPECT_EQ(m_pTable->bHFiltre(&ctx, pParse.get(), szItem), 0) << "the parse form is the data access's own";
    EXPECT_EQ(pParse->m_nVersionExchanges, 3);
    EXPECT_EQ(pOther->bHFerme(&ctxQuery), 7);
    EXPECT_EQ(m_pTable->bHFerme(&ctx), 7);
}

// A slot whose work throws answers 0 and leaves the mutex free.
TEST_F(NATable, AThrowingOperationAnswersZeroAndUnlocks)
{
    CHostContext ctx(5, 1);
    Open(&ctx);
    m_pDriver->m_st.bThrow = true;
    int n = 0;
    eNA_LOCKTYPE eOut = Lock(0);
    EXPECT_EQ(m_pTable->bHVersion(&ctx, &n), 0);
    EXPECT_NE(TableError()->dwGetErrorId(), 0u) << "the table reports it";
    EXPECT_EQ(m_pTable->bHLitxxx(&ctx, L"K", NA_PARSE_FIRST, 1, Lock(1), &eOut, 0), 0);
    EXPECT_EQ(m_pTable->llGetRecNum(&ctx), 0);
    EXPECT_EQ(m_pTable->bFiltreAuto(&ctx, 1, L"*", L"", nullptr), 0);
    TableError()->Reset();
    EXPECT_EQ(m_pTable->bHLiberePosition(&ctx, 3), 0);
    EXPECT_NE(TableError()->dwGetErrorId(), 0u) << "the table reports it";
    TableError()->Reset();
    EXPECT_EQ(m_pTable->bCloseAllDataAccess(), 0);
    EXPECT_NE(TableError()->dwGetErrorId(), 0u) << "the table reports it";
    int bHasResult = 0;
    EXPECT_EQ(m_pTable->bExecuteQuery(&bHasResult, &ctx, L"Q", nullptr, 0, nullptr), 0);
    int nLocked = -1;
    std::thread clOther([&] {
        nLocked = pthread_mutex_trylock(&CNADriver::m_gstDriverCriticalSection);
        if (nLocked == 0)
            pthread_mutex_unlock(&CNADriver::m_gstDriverCriticalSection);
    });
    clOther.join();
    EXPECT_EQ(nLocked, 0) << "another thread takes the mutex";
    m_pDriver->m_st.bThrow = false;
    EXPECT_EQ(m_pTable->bHFerme(&ctx), 7);
}

// The operations over the registry; a failed query execution.
TEST_F(NATable, OverEveryDataAccessOfTheContext)
{
    CHostContext ctxA(5, 1), ctxB(6, 1), ctxOther(7, 2);
    for (CHostContext* p : {&ctxA, &ctxB, &ctxOther})
        Open(p);
    Log().clear();
    EXPECT_EQ(m_pTable->bFiltreAuto(&ctxA, 3, L"*", L"other", nullptr), 1);
    EXPECT_EQ(Log(), (Calls{Line("bSetFiltreAuto", 3, L"*", L"other", static_cast<void*>(nullptr)),
                            Line("bSetFiltreAuto", 3, L"*", L"other", static_cast<void*>(nullptr))}));
    m_pDriver->m_st.nAnswer = 0;
    EXPECT_EQ(m_pTable->bFiltreAuto(&ctxA, 3, L"*", L"other", nullptr), 0);
    m_pDriver->m_st.nAnswer = 7;
    Log().clear();
    EXPECT_EQ(m_pTable->bFiltreAuto(&ctxA, 2, L"orders", L"", nullptr), 1) << "the name ignoring case";
    EXPECT_EQ(Log().size(), 2u);
    Log().clear();
    EXPECT_EQ(m_pTable->bFiltreAuto(&ctxA, 2, L"lines", L"", nullptr), 1);
    EXPECT_TRUE(Log().empty());
    EXPECT_EQ(m_pTable->bFiltreAuto(&ctxA, 4, L"Orders"), 1);
    EXPECT_EQ(Log(), Calls{"SetFiltreAuto 4"}) << "the first one only";
    Log().clear();

    // bCloseAllDataAccess of a context and a name: those leave.
    EXPECT_EQ(m_pTable->bCloseAllDataAccess(&ctxA, L"ORDERS"), 1) << "a true answer of 7 is true";
    EXPECT_EQ(Log(), (Calls{"bHFerme", "bHFerme"}));
    EXPECT_EQ(m_pTable->nGetNbDataAccess(), 1u);
    Log().clear();

    // A failed query execution unfiles the data access it made, and its
    // error reaches the table's.
    m_pDriver->m_st.nAnswer = 0;
    int bHasResult = -1;
    EXPECT_EQ(m_pTable->bExecuteQuery(&bHasResult, &ctxA, L"Q", nullptr, 0, nullptr), 0);
    EXPECT_EQ(m_pTable->nGetNbDataAccess(), 1u);
    m_pDriver->m_st.nAnswer = 7;
    EXPECT_EQ(m_pTable->bHFerme(&ctxOther), 7);
}

// A host that hands one context, key and all, to several tables: each table
// makes and reaches its own data access, whichever was filed first, and
// closing one leaves the others filed.
TEST_F(NATable, TablesSharingOneHostContext)
{
    CHostContext ctx(5, 1);
    CNATable* apTable[] = {m_pTable, NewTable(L"Table=lines;x", Describe(L"LINES")),
                           NewTable(L"Table=items;x", Describe(L"ITEMS"))};
    CRecordingAccess* apAccess[3] = {};
    for (int i = 0; i < 3; i++) {
        apAccess[i] = Open(&ctx, apTable[i]);
        ASSERT_NE(apAccess[i], nullptr) << i;
        EXPECT_EQ(apAccess[i]->pclGetTableNoRef(), apTable[i]);
    }
    EXPECT_NE(apAccess[0], apAccess[1]);
    EXPECT_NE(apAccess[1], apAccess[2]);
    CNAContext* pContext = m_pDriver->pclFindContext(&ctx);
    ASSERT_NE(pContext, nullptr);
    EXPECT_EQ(pContext->nGetNbDataAccess(), 3u);
    // In turns, so that the last-hit cache names another table each time.
    int n = 0;
    for (int nRound = 0; nRound < 2; nRound++)
        for (int i : {0, 2, 1}) {
            const long nBefore = apAccess[i]->m_nOwnCalls;
            ASSERT_EQ(apTable[i]->bHVersion(&ctx, &n), 7) << i;
            EXPECT_EQ(apAccess[i]->m_nOwnCalls, nBefore + 1) << i;
        }
    // Opened again: the data access it has, no new one.
    EXPECT_EQ(Open(&ctx, apTable[1]), apAccess[1]);
    EXPECT_EQ(pContext->nGetNbDataAccess(), 3u);

    // The middle one closed: only its own leaves, the others still answer.
    EXPECT_EQ(apTable[1]->bHFerme(&ctx), 7);
    EXPECT_EQ(apTable[1]->_pclFindDataAccess(&ctx), nullptr);
    EXPECT_EQ(pContext->nGetNbDataAccess(), 2u);
    for (int i : {0, 2}) {
        const long nBefore = apAccess[i]->m_nOwnCalls;
        ASSERT_EQ(apTable[i]->bHVersion(&ctx, &n), 7) << i;
        EXPECT_EQ(apAccess[i]->m_nOwnCalls, nBefore + 1) << i;
    }
    EXPECT_EQ(apTable[1]->bHVersion(&ctx, &n), 0);
    EXPECT_EQ(Facts(apTable[1]->piGetLastError()), "19 at 6.7 kind 0 level 3 table LINES item -");
    // The first filed closed in its turn: the last one stays.
    EXPECT_EQ(apTable[0]->bHFerme(&ctx), 7);
    EXPECT_EQ(pContext->nGetNbDataAccess(), 1u);
    EXPECT_EQ(Open(&ctx, apTable[2]), apAccess[2]);
    pContext->nRelease();

    // Reopened, then the driver closes the whole context: each closed once.
    Open(&ctx, apTable[0]);
    Log().clear();
    EXPECT_EQ(m_pDriver->bCloseContext(&ctx), 1);
    EXPECT_EQ(Log(), (Calls{"bHFerme", "bHFerme"}));
    EXPECT_EQ(m_pDriver->nGetNbContext(), 0u);
    for (CNATable* p : apTable)
        EXPECT_EQ(p->bHFerme(&ctx), 1);
}

// Two threads, each in its own context of the one table.
TEST_F(NATable, TwoThreadsReachOnlyTheirOwnDataAccess)
{
    CHostContext ctx1(5, 1), ctx2(5, 2);
    CRecordingAccess* p1 = Open(&ctx1);
    CRecordingAccess* p2 = Open(&ctx2);
    ASSERT_NE(p1, p2);
    m_pDriver->m_st.bQuiet = true;
    const long n1 = p1->m_nOwnCalls, n2 = p2->m_nOwnCalls;
    std::atomic<int> nWrong{0};
    auto Run = [&](CHostContext* pContext, CRecordingAccess* pMine) {
        for (int i = 0; i < 10000; i++) {
            int n = 0;
            if (m_pTable->bHVersion(pContext, &n) != 7)
                nWrong++;
            CNADataAccess* p = m_pTable->_pclFindDataAccess(pContext);
            if (p != pMine)
                nWrong++;
            if (p != nullptr)
                p->nRelease();
        }
    };
    std::thread t1(Run, &ctx1, p1), t2(Run, &ctx2, p2);
    t1.join();
    t2.join();
    EXPECT_EQ(nWrong.load(), 0);
    EXPECT_EQ(p1->m_nOwnCalls, n1 + 10000);
    EXPECT_EQ(p2->m_nOwnCalls, n2 + 10000);
    EXPECT_EQ(m_pTable->bHFerme(&ctx1), 7);
    EXPECT_EQ(m_pTable->bHFerme(&ctx2), 7);
}

// The forwarding allocates nothing: neither operator new nor host blocks.
TEST_F(NATable, ForwardingAllocatesNothing)
{
    CHostContext ctx(5, 1);
    Open(&ctx);
    m_pDriver->m_st.bQuiet = true;
    int n = 0;
    eNA_LOCKTYPE eOut = Lock(0);
    m_pTable->bHVersion(&ctx, &n);
    CLiveBlockCheck clBlocks;
    const long nCalls = g_nNewCalls;
    for (int i = 0; i < 1000; i++) {
        m_pTable->bHVersion(&ctx, &n);
        m_pTable->bHLitxxx(&ctx, L"K", NA_PARSE_NEXT, 1, Lock(1), &eOut, 0);
        m_pTable->bHAjoute(&ctx, 0, Lock(1));
    }
    EXPECT_EQ(g_nNewCalls, nCalls);
    EXPECT_EQ(m_pTable->bHFerme(&ctx), 7);
}

// What a failing close, file deletion or query execution leaves in the
// table's own error; a file deletion unfiles its data access whatever the
// answer.
TEST_F(NATable, FailuresCopiedIntoTheTablesError)
{
    CHostContext ctx(5, 1);
    struct SRow {
        const char* pszName;
        std::function<int()> call;
        unsigned int nLeft;
    };
    int bHasResult = 0;
    const std::vector<SRow> aRows = {
        {"bHFerme", [&] { return m_pTable->bHFerme(&ctx); }, 0},
        {"bSupprimeFichier", [&] { return m_pTable->bSupprimeFichier(&ctx); }, 0},
        {"bExecuteQuery", [&] { return m_pTable->bExecuteQuery(&bHasResult, &ctx, L"Q", nullptr, 0, nullptr); }, 0},
    };
    for (const SRow& r : aRows) {
        SCOPED_TRACE(r.pszName);
        Open(&ctx);
        m_pDriver->m_st.nAnswer = 0;
        TableError()->Reset();
        EXPECT_EQ(r.call(), 0);
        EXPECT_EQ(Facts(TableError()), "8 at 3.99 kind 0 level 3 table - item -");
        EXPECT_EQ(m_pTable->nGetNbDataAccess(), r.nLeft);
        m_pDriver->m_st.nAnswer = 7;
        m_pTable->bHFerme(&ctx);
    }
    // A file deletion that succeeds unfiles it too.
    Open(&ctx);
    EXPECT_EQ(m_pTable->bSupprimeFichier(&ctx), 7);
    EXPECT_EQ(m_pTable->nGetNbDataAccess(), 0u);
    // A failing open of a data access that was there keeps it, and its
    // error stays the context's.
    Open(&ctx);
    m_pDriver->m_st.nAnswer = 0;
    TableError()->Reset();
    EXPECT_EQ(m_pTable->bHOuvre(&ctx, static_cast<eNA_ACCESS>(0), nullptr), 0);
    EXPECT_EQ(m_pTable->nGetNbDataAccess(), 1u);
    EXPECT_EQ(TableError()->dwGetErrorId(), 0u);
    EXPECT_EQ(Facts(ContextError(&ctx)), "8 at 3.99 kind 0 level 3 table - item -");
    m_pDriver->m_st.nAnswer = 7;
    EXPECT_EQ(m_pTable->bHFerme(&ctx), 7);
    // Without a context there is no data access to run the query in.
    EXPECT_EQ(m_pTable->bExecuteQuery(&bHasResult, nullptr, L"Q", nullptr, 0, nullptr), 0);
}

TEST_F(NATable, RecordLocksCancelledOnTheHostsConnectionOnly)
{
    CHostContext ctxA(5, 1), ctxB(6, 2);
    Open(&ctxA);
    Open(&ctxB);
    Log().clear();
    CHostConnectionDescription clOther;
    m_pTable->CancelRecordLock(&clOther, nullptr);
    EXPECT_TRUE(Log().empty());
    m_pTable->CancelRecordLock(&m_host, nullptr);
    EXPECT_EQ(Log().size(), 2u);
    EXPECT_EQ(Log()[0], Line("CancelRecordLock", static_cast<INAConnectionDescription*>(&m_host),
                             static_cast<void*>(nullptr)));
    EXPECT_EQ(m_pTable->bHFerme(&ctxA), 7);
    EXPECT_EQ(m_pTable->bHFerme(&ctxB), 7);
}

// A table that goes while its data access stays filed in its context: the
// data access loses its way back and the cache forgets it.
TEST_F(NATable, ATableGoneLeavesNoWayBack)
{
    CHostContext ctx(5, 1);
    CNATable* p = new CNATable(L"Table=gone;x", m_pOrders, m_pConnection, m_pDriver->pclGetError());
    p->AddRef();
    CRecordingAccess* pAccess = Open(&ctx, p);
    ASSERT_NE(pAccess, nullptr);
    int n = 0;
    ASSERT_EQ(p->bHVersion(&ctx, &n), 7);
    ASSERT_EQ(gpclLastDataAccess, pAccess);
    pAccess->AddRef();
    EXPECT_EQ(p->nRelease(), 0);
    EXPECT_EQ(gpclLastDataAccess, nullptr);
    EXPECT_EQ(pAccess->pclGetTableNoRef(), nullptr);
    pAccess->nRelease();
    EXPECT_EQ(m_pDriver->bCloseContext(&ctx), 1);
}
