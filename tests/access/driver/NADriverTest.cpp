#include "access/driver/NADriverLock.h"
#include "access/driver/NAError.h"
#include "access/driver/NaDriver.h"
#include "access/sql/TabValParser.h"
#include "common/platform/MyModuleInfo.h"
#include "host/HostConnectionDescription.h"
#include "host/HostContext.h"
#include "tests/support/ClosedConnection.h"
#include "tests/support/CountingConnection.h"
#include "tests/support/ValueCells.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <thread>

extern "C" int bInitLibrary(HINSTANCE hModule);

namespace {

typedef CHostConnectionDescription CHost;

// What the fake connections of one driver went through.
struct STCounters : STConnectionCounts {
    // Seen by the last connection destroyed: the process's driver and the
    // kind of its error object.
    CNADriver* pclDriverSeen = nullptr;
    int nKindSeen = -2;
};

// A connection that opens without a server, or fails when told to.
class CFakeConnection : public CCountingConnection {
public:
    CFakeConnection(const wchar_t* pszId, INAConnectionDescription* pi, STCounters* pst)
        : CCountingConnection(pszId, pi, pst), m_pst(pst)
    {
    }
    ~CFakeConnection() override
    {
        m_pst->pclDriverSeen = CNADriver::s_pclDriver;
        if (CNADriver::s_pclDriver != nullptr && CNADriver::s_pclDriver->pclGetError() != nullptr)
            m_pst->nKindSeen = CNADriver::s_pclDriver->pclGetError()->eGetErrorType();
    }

private:
    STCounters* m_pst;
};

// Throws from its connection factory when told to.
class CFakeDriver : public CNADriver {
public:
    explicit CFakeDriver(STCounters* pst) : m_st(*pst) {}
    STCounters& m_st;
    int m_nThrow = 0; // 1 bad_alloc, 2 runtime_error, 3 an int

    CNAConnectionDescription* _pclAllocConnectionDescription(const wchar_t* pszId,
                                                             INAConnectionDescription* pi) override
    {
        if (m_nThrow == 1)
            throw std::bad_alloc();
        if (m_nThrow == 2)
            throw std::runtime_error("factory broke");
        if (m_nThrow == 3)
            throw 3;
        return new CFakeConnection(pszId, pi, &m_st);
    }
};

CHost* NewHost(const wchar_t* pszName, const wchar_t* pszUser = L"root")
{
    CHost* p = new CHost;
    p->SetText(CHost::TXT_CONNECTIONNAME, pszName);
    p->SetText(CHost::TXT_PROVIDER, L"MySQL");
    p->SetText(CHost::TXT_EXTENDEDINFO, L"");
    p->SetText(CHost::TXT_DATASOURCE, L"127.0.0.1");
    p->SetText(CHost::TXT_USER, pszUser);
    p->SetText(CHost::TXT_PASSWORD, L"secret");
    return p;
}

class NADriver : public testing::Test {
protected:
    void SetUp() override
    {
        bInitLibrary(nullptr);
        m_pDriver = new CFakeDriver(&m_st);
        m_pDriver->ExternalAddRef();
        ASSERT_EQ(m_pDriver->bInitDriver(), 1);
    }
    void TearDown() override
    {
        // The driver's end destroys every connection left, each once.
        EXPECT_EQ(m_pDriver->nExternalRelease(), 0);
        EXPECT_EQ(CNADriver::s_pclDriver, nullptr);
        EXPECT_EQ(m_st.nDestroyed, m_st.nMade);
    }
    CNAError* Error() { return m_pDriver->pclGetError(); }

    STCounters m_st;
    CFakeDriver* m_pDriver = nullptr;
};

std::wstring Ident(CNADriver* p, CHost* pHost)
{
    CTString cl;
    EXPECT_EQ(p->bBuildCnxIdentification(&cl, pHost), 1);
    return cl.pszGet();
}

} // namespace

TEST_F(NADriver, IdentificationTexts)
{
    std::unique_ptr<CHost> pHost(NewHost(L"main"));
    EXPECT_EQ(Ident(m_pDriver, pHost.get()), L"Connection=main;Provider=MySQL;ExtendedInformation=;Data "
                                             L"source=127.0.0.1;user id=root;password=secret;access=RW;"
                                             L"Default database=NULL");
    pHost->SetAccess(NA_ACCESS_READ);
    pHost->SetText(CHost::TXT_DEFAULTDATABASE, L"Shop");
    const std::wstring strRead = Ident(m_pDriver, pHost.get());
    EXPECT_EQ(strRead.substr(strRead.size() - 31), L";access=R;Default database=Shop");
    pHost->SetText(CHost::TXT_DEFAULTDATABASE, nullptr);
    // A missing password is NULL, an empty one nothing; a missing name
    // nothing.
    pHost->SetText(CHost::TXT_PASSWORD, nullptr);
    pHost->SetText(CHost::TXT_CONNECTIONNAME, nullptr);
    pHost->SetText(CHost::TXT_EXTENDEDINFO, nullptr);
    EXPECT_EQ(Ident(m_pDriver, pHost.get()), L"Connection=;Provider=MySQL;ExtendedInformation=NULL;Data "
                                             L"source=127.0.0.1;user id=root;password=NULL;access=R;"
                                             L"Default database=NULL");
    pHost->SetText(CHost::TXT_PASSWORD, L"");
    EXPECT_NE(Ident(m_pDriver, pHost.get()).find(L";password=;access=R"), std::wstring::npos);

    CTString cl;
    EXPECT_EQ(m_pDriver->bBuildTableIdentification(&cl, L"ORDERS", L"Connection=x"), 1);
    EXPECT_STREQ(cl.pszGet(), L"Table=ORDERS;Connection=x");
    CHostContext ctx(4, 77);
    EXPECT_EQ(m_pDriver->bBuildQueryIdentification(&cl, L"QRY", L"Connection=x", &ctx), 1);
    EXPECT_STREQ(cl.pszGet(), L"CTX=77;Table=QRY;Connection=x");
    CNADriver::g_GenerateItemName(&cl, 5);
    EXPECT_STREQ(cl.pszGet(), L"Expr1005");
}

TEST_F(NADriver, CaseOrAccentDifferencesShareOneConnection)
{
    // The user and the password compare exactly.
    std::unique_ptr<CHost> pA(NewHost(L"Élan", L"émile"));
    std::unique_ptr<CHost> pB(NewHost(L"ELAN", L"émile"));
    CNADriverLock clLock;
    CNAConnectionDescription* p1 = m_pDriver->_pclGetConnection(pA.get());
    CNAConnectionDescription* p2 = m_pDriver->_pclGetConnection(pB.get());
    ASSERT_NE(p1, nullptr);
    EXPECT_EQ(p1, p2);
    EXPECT_EQ(m_pDriver->m_st.nMade, 1);
    EXPECT_EQ(m_pDriver->nGetNbConnection(), 1u);
    // Each get holds one reference besides the registry's.
    EXPECT_EQ(p1->nGetRef(), 3u);
    EXPECT_EQ(m_pDriver->nReleaseConnection(p1), 2);
    // The last user lets it go: closed if open, unfiled, destroyed.
    EXPECT_EQ(m_pDriver->nReleaseConnection(p2), 0);
    EXPECT_EQ(m_pDriver->m_st.nDestroyed, 1);
    EXPECT_EQ(m_pDriver->nGetNbConnection(), 0u);
    // The description is given back.
    EXPECT_EQ(pA->nGetRefCount(), 0);
}

TEST_F(NADriver, HostOpensAndCloses)
{
    std::unique_ptr<CHost> pHost(NewHost(L"main"));
    EXPECT_EQ(m_pDriver->bOpenConnection(pHost.get()), 1);
    EXPECT_EQ(m_pDriver->bOpenConnection(pHost.get()), 1);
    EXPECT_EQ(m_pDriver->m_st.nOpens, 1);
    EXPECT_EQ(m_pDriver->bCloseConnection(pHost.get()), 1);
    // One opening of the host is left: still filed and open.
    CNAConnectionDescription* pcl = m_pDriver->_pclFindConnection(pHost.get());
    ASSERT_NE(pcl, nullptr);
    EXPECT_EQ(pcl->bIsOpen(), 1);
    EXPECT_EQ(pcl->nGetHostOpens(), 1);
    pcl->nRelease();
    EXPECT_EQ(m_pDriver->bCloseConnection(pHost.get()), 1);
    EXPECT_EQ(m_pDriver->m_st.nCloses, 1);
    EXPECT_EQ(m_pDriver->nGetNbConnection(), 0u);
    EXPECT_EQ(m_pDriver->m_st.nDestroyed, 1);
    // Closing a description never opened answers 1 and changes nothing.
    EXPECT_EQ(m_pDriver->bCloseConnection(pHost.get()), 1);
    EXPECT_EQ(m_pDriver->m_st.nMade, 1);
    EXPECT_EQ(pHost->nGetRefCount(), 0);
}

TEST_F(NADriver, HostCloseOfAConnectionItNeverOpened)
{
    std::unique_ptr<CHost> pHost(NewHost(L"main"));
    CNADriverLock clLock;
    CNAConnectionDescription* pUser = m_pDriver->_pclGetConnection(pHost.get());
    ASSERT_NE(pUser, nullptr);
    EXPECT_EQ(m_pDriver->bCloseConnection(pHost.get()), 1);
    EXPECT_EQ(m_pDriver->_bCloseConnectionById(static_cast<int>(pUser->nGetNumber())), 1);
    // The user's reference is untouched.
    EXPECT_EQ(pUser->nGetRef(), 2u);
    EXPECT_EQ(m_pDriver->m_st.nDestroyed, 0);
    EXPECT_EQ(m_pDriver->nReleaseConnection(pUser), 0);
    EXPECT_EQ(m_pDriver->m_st.nDestroyed, 1);
}

TEST_F(NADriver, FailedOpenLeavesTheRegistry)
{
    std::unique_ptr<CHost> pHost(NewHost(L"main"));
    m_pDriver->m_st.bFailOpen = true;
    EXPECT_EQ(m_pDriver->bOpenConnection(pHost.get()), 0);
    EXPECT_EQ(Error()->eGetErrorLevel(), NA_ERRORLEVEL_2);
    EXPECT_EQ(Error()->dwGetErrorId(), static_cast<unsigned int>(ZTERR_CONNECT));
    EXPECT_EQ(m_pDriver->nGetNbConnection(), 0u);
    EXPECT_EQ(m_pDriver->m_st.nDestroyed, 1);
    const unsigned int nFirst = CNAConnectionDescription::m_gnCnxGenerator;
    m_pDriver->m_st.bFailOpen = false;
    EXPECT_EQ(m_pDriver->bOpenConnection(pHost.get()), 1);
    EXPECT_EQ(Error()->dwGetErrorId(), 0u);
    CNAConnectionDescription* pcl = m_pDriver->pclGetConnectionByID(static_cast<int>(nFirst + 1));
    ASSERT_NE(pcl, nullptr);
    EXPECT_EQ(m_pDriver->m_st.nMade, 2);
    m_pDriver->nReleaseConnection(pcl);
    // By number, the host's close.
    EXPECT_EQ(m_pDriver->_bCloseConnectionById(static_cast<int>(nFirst + 1)), 1);
    EXPECT_EQ(m_pDriver->m_st.nCloses, 1);
    EXPECT_EQ(m_pDriver->m_st.nDestroyed, 2);
    EXPECT_EQ(m_pDriver->_bCloseConnectionById(static_cast<int>(nFirst + 1)), 1);
}

TEST_F(NADriver, AutomaticCloseAndLastHit)
{
    std::unique_ptr<CHost> pHost(NewHost(L"main"));
    CNADriverLock clLock;
    CTString clId;
    m_pDriver->bBuildCnxIdentification(&clId, pHost.get());
    // A connection made for a table, opened by it.
    CNAConnectionDescription* pcl = m_pDriver->_pclGetConnection(pHost.get());
    ASSERT_EQ(pcl->bOpen(Error()), 1);
    CNAConnectionDescription* pFound = m_pDriver->_pclFindConnection(clId.pszGet()); // last hit now
    EXPECT_EQ(pFound, pcl);
    m_pDriver->nReleaseConnection(pFound);
    // Kept while automatic close is not allowed.
    pcl->SetAutoClose(0);
    EXPECT_EQ(m_pDriver->nReleaseConnection(pcl), 1);
    EXPECT_EQ(m_pDriver->m_st.nCloses, 0);
    pFound = m_pDriver->_pclFindConnection(clId.pszGet());
    ASSERT_EQ(pFound, pcl);
    pcl->SetAutoClose(1);
    EXPECT_EQ(m_pDriver->nReleaseConnection(pFound), 0);
    EXPECT_EQ(m_pDriver->m_st.nCloses, 1);
    EXPECT_EQ(m_pDriver->m_st.nDestroyed, 1);
    // The last-hit entry went with the object.
    EXPECT_EQ(m_pDriver->_pclFindConnection(clId.pszGet()), nullptr);
    // A release that destroys a connection still filed unfiles it.
    pcl = m_pDriver->_pclGetConnection(pHost.get());
    pFound = m_pDriver->_pclFindConnection(clId.pszGet());
    pcl->nRelease();
    pFound->nRelease();
    EXPECT_EQ(m_pDriver->nReleaseConnection(pcl), 0);
    EXPECT_EQ(m_pDriver->nGetNbConnection(), 0u);
    EXPECT_EQ(m_pDriver->_pclFindConnection(clId.pszGet()), nullptr);
    EXPECT_EQ(m_pDriver->m_st.nDestroyed, 2);
    EXPECT_EQ(m_pDriver->nReleaseConnection(nullptr), 0);
}

TEST_F(NADriver, LookUpsByNameAndNumber)
{
    std::unique_ptr<CHost> pA(NewHost(L"Ventes"));
    std::unique_ptr<CHost> pB(NewHost(L"Stock"));
    ASSERT_EQ(m_pDriver->bOpenConnection(pA.get()), 1);
    ASSERT_EQ(m_pDriver->bOpenConnection(pB.get()), 1);
    CNAConnectionDescription* pcl = m_pDriver->pclGetConnectionByName(L"STOCK");
    ASSERT_NE(pcl, nullptr);
    EXPECT_STREQ(pcl->pszGetConnectionName(), L"Stock");
    CNAConnectionDescription* pById = m_pDriver->pclGetConnectionByID(static_cast<int>(pcl->nGetNumber()));
    EXPECT_EQ(pById, pcl);
    EXPECT_EQ(m_pDriver->pclGetConnectionByName(L"Achats"), nullptr);
    EXPECT_EQ(m_pDriver->pclGetConnectionByID(-1), nullptr);
    m_pDriver->nReleaseConnection(pById);
    m_pDriver->nReleaseConnection(pcl);
    EXPECT_EQ(m_pDriver->bCloseConnection(pA.get()), 1);
    EXPECT_EQ(m_pDriver->bCloseConnection(pB.get()), 1);
    EXPECT_EQ(m_pDriver->nGetNbConnection(), 0u);
}

TEST_F(NADriver, OpeningsLeftGoWithTheDriver)
{
    std::unique_ptr<CHost> pA(NewHost(L"a"));
    std::unique_ptr<CHost> pB(NewHost(L"b"));
    ASSERT_EQ(m_pDriver->bOpenConnection(pA.get()), 1);
    ASSERT_EQ(m_pDriver->bOpenConnection(pA.get()), 1);
    CNAConnectionDescription* pcl = nullptr;
    {
        CNADriverLock clLock;
        pcl = m_pDriver->_pclGetConnection(pB.get());
    }
    m_pDriver->nReleaseConnection(pcl); // made for a table, let go at once
    EXPECT_EQ(m_st.nMade, 2);
    EXPECT_EQ(m_st.nDestroyed, 1);
    EXPECT_EQ(pA->nGetRefCount(), 1);
    EXPECT_EQ(pB->nGetRefCount(), 0);
    // The end in its order: error reset, connections released while the
    // error object lives and the driver is still the process's, then the
    // driver no longer the process's.
    CNADriver::s_pclDriver = m_pDriver;
    Error()->RaiseUserError(NA_ERRORTYPE_DUPLICATE, 5, 98, nullptr, nullptr, nullptr, ZTERR_NOT_OFFERED);
    CNADriver* pclDriver = m_pDriver;
    EXPECT_EQ(m_pDriver->nExternalRelease(), 0);
    EXPECT_EQ(m_st.nDestroyed, 2);
    EXPECT_EQ(m_st.pclDriverSeen, pclDriver);
    EXPECT_EQ(m_st.nKindSeen, static_cast<int>(NA_ERRORTYPE_NONE));
    EXPECT_EQ(CNADriver::s_pclDriver, nullptr);
    EXPECT_EQ(pA->nGetRefCount(), 0);
    m_pDriver = new CFakeDriver(&m_st);
    m_pDriver->ExternalAddRef();
    m_pDriver->bInitDriver();
}

// ---- Raising -----------------------------------------------------------------------------

TEST_F(NADriver, RaisingSequence)
{
    CNAError cl;
    cl.RaiseUserError(NA_ERRORTYPE_DUPLICATE, 3, 12, nullptr, L"ORDERS", L"ID", ZTERR_NO_SUCH_ITEM, L"ORDERS", L"ID");
    EXPECT_EQ(cl.eGetErrorType(), NA_ERRORTYPE_DUPLICATE);
    EXPECT_EQ(cl.dwGetErrorId(), static_cast<unsigned int>(ZTERR_NO_SUCH_ITEM));
    EXPECT_STREQ(cl.pszGetLogicalTableName(), L"ORDERS");
    EXPECT_STREQ(cl.pszGetItemName(), L"ID");
    const void* p = nullptr;
    ASSERT_TRUE(cl.pclGetXError()->bGetInfo(EIT_NATIVECODE, &p));
    EXPECT_EQ(reinterpret_cast<uintptr_t>(p), static_cast<uintptr_t>(ZTERR_NO_SUCH_ITEM));
    EXPECT_NE(std::wstring(cl.pclGetXError()->pszGetDebugMessage()).find(L"IEDUZARO=3.12\r\n"), std::wstring::npos);
    // A second raising becomes a sub-error; the kind stays.
    cl.RaiseUserError(NA_ERRORTYPE_GENERAL, 3, 13, nullptr, nullptr, nullptr, ZTERR_NOT_OFFERED);
    EXPECT_EQ(cl.eGetErrorType(), NA_ERRORTYPE_DUPLICATE);
    EXPECT_EQ(cl.pclGetXError()->nGetNbSubError(), 1);
    // Quiet: no debug line.
    CNAError clQuiet;
    clQuiet.SetQuiet(1);
    clQuiet.RaiseUserError(NA_ERRORTYPE_GENERAL, 3, 14, nullptr, L"T", nullptr, ZTERR_NOT_OFFERED);
    EXPECT_EQ(clQuiet.dwGetErrorId(), static_cast<unsigned int>(ZTERR_NOT_OFFERED));
    EXPECT_EQ(std::wstring(clQuiet.pszGetError()).find(L"IEDUZARO"), std::wstring::npos);
    // The kinds the data access writes.
    for (eNA_ERRORTYPE e : {NA_ERRORTYPE_KIND1, NA_ERRORTYPE_KIND4}) {
        clQuiet.SetErrorType(e);
        EXPECT_EQ(clQuiet.eGetErrorType(), e);
    }
    EXPECT_EQ(static_cast<int>(NA_ERRORTYPE_KIND1), 1);
    EXPECT_EQ(static_cast<int>(NA_ERRORTYPE_KIND4), 4);
}

TEST_F(NADriver, ThrowingWorkAnswersZeroWithAnError)
{
    std::unique_ptr<CHost> pHost(NewHost(L"main"));
    struct STCase { int nThrow; unsigned int nError; };
    for (STCase st : {STCase{1, ZTERR_NO_MEMORY}, STCase{2, ZTERR_CANCELLED}, STCase{3, ZTERR_CANCELLED}}) {
        m_pDriver->m_nThrow = st.nThrow;
        EXPECT_EQ(m_pDriver->bOpenConnection(pHost.get()), 0) << st.nThrow;
        EXPECT_EQ(Error()->dwGetErrorId(), st.nError) << st.nThrow;
        EXPECT_NE(Error()->eGetErrorType(), NA_ERRORTYPE_NONE) << st.nThrow;
        // The mutex was given back on the way out: another thread takes it.
        int nLock = -1;
        std::thread th([&] {
            nLock = pthread_mutex_trylock(&CNADriver::m_gstDriverCriticalSection);
            if (nLock == 0)
                pthread_mutex_unlock(&CNADriver::m_gstDriverCriticalSection);
        });
        th.join();
        EXPECT_EQ(nLock, 0) << st.nThrow;
    }
    m_pDriver->m_nThrow = 0;
    EXPECT_EQ(m_pDriver->bOpenConnection(nullptr), 0);
    EXPECT_EQ(Error()->dwGetErrorId(), static_cast<unsigned int>(ZTERR_NO_CONNECTION));
}

// ---- Query dump ----------------------------------------------------------------------------

namespace {

std::wstring Label(CNADriver* p, int n) { return p->pszGetLabel(n); }

std::wstring Line(CNADriver* p, int i, int nType, const std::wstring& strText)
{
    return Label(p, 3) + L" " + std::to_wstring(i) + L" :\t" + Label(p, 4) + L" = <" + std::to_wstring(nType) +
           L">\t" + Label(p, 6) + L" = <" + strText + L">\r\n";
}

std::wstring Dump(CNADriver* p, const wchar_t* pszQuery, CTabValParser* pValues, unsigned int nMax)
{
    CTString cl(L"old");
    EXPECT_EQ(p->bGetQueryDump(&cl, pszQuery, pValues, nMax), 1);
    return cl.pszGet();
}

} // namespace

TEST_F(NADriver, QueryDump)
{
    BindValueMachine();
    EXPECT_EQ(Label(m_pDriver, 1), L"");
    const std::wstring strHead = [&] {
        Dump(m_pDriver, nullptr, nullptr, static_cast<unsigned int>(-1));
        return Label(m_pDriver, 1) + L"SELECT 1\r\n";
    }();
    for (int n = 1; n <= CNADriver::NB_LABELS; n++) {
        if (n >= 8 && n <= 10) {
            EXPECT_EQ(Label(m_pDriver, n), L"") << n;
            continue;
        }
        ASSERT_GE(Label(m_pDriver, n).size(), 2u) << n;
        EXPECT_EQ(Label(m_pDriver, n).back(), L' ') << n;
    }
    EXPECT_EQ(Dump(m_pDriver, L"SELECT 1", nullptr, 1000), strHead);
    EXPECT_EQ(Dump(m_pDriver, L"", nullptr, 1000), Label(m_pDriver, 1) + L"\r\n");

    STValParser ast[3];
    Set<int>(ast[0].clValeur, TQTYPE_I4, 42);
    ast[1].clValeur.__SetType(TQTYPE_DSTRW, 0);
    ast[1].clValeur.pclGetTraitement()->SetValue(L"abc", 3 * sizeof(wchar_t));
    Set<int>(ast[2].clValeur, TQTYPE_I4, 7);
    ast[2].clValeur.SetNullFlag(true);
    CTabValParser tab = {2, ast, 0, nullptr};
    const std::wstring strCount = Label(m_pDriver, 2) + L"=2\r\n";
    const std::wstring strTwo = strHead + strCount + Line(m_pDriver, 0, TQTYPE_I4, L"42") +
                                Line(m_pDriver, 1, TQTYPE_DSTRW, L"abc");
    EXPECT_EQ(Dump(m_pDriver, L"SELECT 1", &tab, 1000), strTwo);
    // -1: every value and no cut.
    EXPECT_EQ(Dump(m_pDriver, L"SELECT 1", &tab, static_cast<unsigned int>(-1)), strTwo);
    // The cut, and no value line once the text reaches the limit.
    EXPECT_EQ(Dump(m_pDriver, L"SELECT 1", &tab, 10), strTwo.substr(0, 10));
    EXPECT_EQ(Dump(m_pDriver, L"SELECT 1", &tab, 0), L"");
    EXPECT_EQ(Dump(m_pDriver, L"SELECT 1", &tab, static_cast<unsigned int>(-5)), L"");
    const unsigned int nJustPast = static_cast<unsigned int>((strHead + strCount).size() + 1);
    EXPECT_EQ(Dump(m_pDriver, L"SELECT 1", &tab, nJustPast), strTwo.substr(0, nJustPast));
    // A NULL value shows label 7.
    CTabValParser tabNull = {1, ast + 2, 0, nullptr};
    EXPECT_EQ(Dump(m_pDriver, L"SELECT 1", &tabNull, 1000), strHead + Label(m_pDriver, 2) + L"=1\r\n" +
                  Line(m_pDriver, 0, TQTYPE_I4, Label(m_pDriver, 7)));
}

// ---- Slots by their place ------------------------------------------------------------------

namespace {

// The operation at place nSlot (from 1) with seven null or zero arguments;
// every slot of the driver takes at most seven, all of one word.
uintptr_t CallDriverSlot(INADriver* pi, int nSlot)
{
    typedef uintptr_t (*PFN)(INADriver*, uintptr_t, uintptr_t, uintptr_t, uintptr_t, uintptr_t, uintptr_t, uintptr_t);
    void** pVtbl = *reinterpret_cast<void***>(pi);
    return reinterpret_cast<PFN>(pVtbl[nSlot - 1])(pi, 0, 0, 0, 0, 0, 0, 0);
}

} // namespace

TEST_F(NADriver, EverySlotByItsPlace)
{
    // Answer, and the user error left (8 with kind 7 for refused slots, 14
    // for a missing connection description).
    struct STSlot { int nSlot; int nAnswer; unsigned int nError; };
    const int kVoid = -99;
    const STSlot aSlots[] = {
        {1, 18, 0},  {2, 17, 0},  {3, -1, 0}, {4, -1, 0}, {5, kVoid, 0}, {8, 0, 0},   {9, 0, 14},  {10, 1, 0},
        {11, 0, 0},  {13, 1, 0},  {14, 0, 14}, {15, 0, 14}, {16, 0, 14}, {17, 0, 14}, {18, 0, 0},  {19, 0, 14},
        {20, 0, 14}, {21, 0, 14}, {22, 0, 14}, {23, 0, 14}, {24, 1, 0},  {25, 0, 14}, {26, 0, 8},  {27, 0, 14},
        {28, 0, 14}, {29, 1, 0},  {30, 1, 0},  {31, 1, 0},  {32, 0, 8},  {33, 0, 0},  {34, 0, 14}, {35, 0, 14},
        {36, 1, 0},  {37, 1, 0},  {38, 0, 14}, {39, 0, 14},
    };
    INADriver* pi = m_pDriver;
    for (const STSlot& st : aSlots) {
        Error()->Reset();
        const uintptr_t n = CallDriverSlot(pi, st.nSlot);
        if (st.nAnswer != kVoid) {
            EXPECT_EQ(static_cast<int>(n), st.nAnswer) << "slot " << st.nSlot;
        }
        EXPECT_EQ(Error()->dwGetErrorId(), st.nError) << "slot " << st.nSlot;
        if (st.nError == ZTERR_NOT_OFFERED) {
            EXPECT_EQ(Error()->eGetErrorType(), NA_ERRORTYPE_NOTOFFERED) << "slot " << st.nSlot;
        }
    }
    // 6 and 7: the host's references; 12: the error object itself.
    CallDriverSlot(pi, 6);
    EXPECT_EQ(m_pDriver->nGetExternalRef(), 2);
    EXPECT_EQ(static_cast<int>(CallDriverSlot(pi, 7)), 1);
    EXPECT_EQ(CallDriverSlot(pi, 12), reinterpret_cast<uintptr_t>(static_cast<INAError*>(Error())));
    // The SQL interface: none made by the base, the error left reset.
    Error()->RaiseUserError(NA_ERRORTYPE_GENERAL, 5, 99, nullptr, nullptr, nullptr, ZTERR_NOT_OFFERED);
    EXPECT_EQ(m_pDriver->piGetInterface(1), nullptr);
    EXPECT_EQ(m_pDriver->piGetInterface(2), nullptr);
    EXPECT_EQ(Error()->dwGetErrorId(), 0u);
    // The fixed answers leave their results as the host expects.
    CAny clList;
    EXPECT_EQ(m_pDriver->bGetListeSource(&clList, 3), 1);
    EXPECT_EQ(clList.nGetType(), static_cast<unsigned short>(TQTYPE_PSTRW));
    const wchar_t* psz = nullptr;
    clList.pclGetTraitement()->nGetPCWSTR(&psz);
    EXPECT_STREQ(psz, L"");
    EXPECT_EQ(m_pDriver->bFiltreAuto(nullptr, nullptr, 0, L"ORDERS", nullptr, L"LINES", nullptr), 0);
    EXPECT_STREQ(Error()->pszGetLogicalTableName(), L"ORDERS");
}
