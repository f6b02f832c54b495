#include "bench/SQLBenchTable.h"

#include "access/driver/INADataSourceDescription.h"
#include "access/driver/INADriver.h"
#include "access/driver/NAError.h"
#include "access/driver/NAItemDescription.h"
#include "access/driver/NaDriver.h"
#include "access/statement/NAKXRecord.h"
#include "access/table/INATable.h"
#include "common/values/AnyConvert.h"
#include "host/HostConnectionDescription.h"
#include "mysql/MySQLConnection.h"
#include "common/text/Tstring.h"
#include "tests/support/TestHost.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <cwchar>
#include <dlfcn.h>
#include <string>

extern "C" {
int bInitLibrary(void* hModule);
int bDLLCompatible(int nModule, int nVersion, int* pnRequired);
INADriver* piQueryInterface();
}

namespace zt_bench {

const char kTableQuery[] = "SELECT n, big, txt, amount, stamp FROM ztbench_sql.rows200k";
const wchar_t kTableQueryW[] = L"SELECT n, big, txt, amount, stamp FROM ztbench_sql.rows200k";

std::string Env(const char* pszName)
{
    const char* psz = std::getenv(pszName);
    return psz != nullptr ? psz : "";
}

std::wstring Wide(const std::string& s)
{
    return std::wstring(s.begin(), s.end());
}

std::string strBindHost()
{
    if (Env("ZT_TEST_HOST").empty() || Env("ZT_TEST_PORT").empty())
        return "ZT_TEST_HOST and ZT_TEST_PORT are not set: run against the private server";
    TimedHost();
    void* h = dlopen(ZT_BUILD_DIR "/" HOSTSTANDIN_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    if (h == nullptr || !bInitTQConvFromVM(h, 2, 2) || !bInitTQCalcFromVM(h, 2, 2))
        return "host services not bound";
    return std::string();
}

void DescribeServer(CHostConnectionDescription& clHost)
{
    clHost.SetText(CHostConnectionDescription::TXT_DATASOURCE, Wide(Env("ZT_TEST_HOST")).c_str());
    clHost.SetText(CHostConnectionDescription::TXT_USER, Wide(Env("ZT_TEST_USER")).c_str());
    clHost.SetText(CHostConnectionDescription::TXT_PASSWORD, Wide(Env("ZT_TEST_PASSWORD")).c_str());
    clHost.SetText(CHostConnectionDescription::TXT_DEFAULTDATABASE, Wide(Env("ZT_TEST_DATABASE")).c_str());
    clHost.SetText(CHostConnectionDescription::TXT_EXTENDEDINFO,
                   (L"Server Port=" + Wide(Env("ZT_TEST_PORT")) + L";").c_str());
}

std::string ErrorText(CNAError* pclError)
{
    // A failure that left no error must still say something.
    if (pclError == nullptr || pclError->dwGetErrorId() == 0)
        return "failed without an error recorded";
    const wchar_t* psz = pclError->pszGetError();
    return psz != nullptr ? std::string(psz, psz + std::wcslen(psz)) : std::string();
}

std::string strOpenConnection(CHostConnectionDescription& clHost, const wchar_t* pszId, CNAError* pclError,
                              CMySQLConnection** ppConnection)
{
    *ppConnection = new CMySQLConnection(pszId, &clHost);
    (*ppConnection)->AddRef();
    return (*ppConnection)->bOpen(pclError) ? std::string() : "driver connection: " + ErrorText(pclError);
}

INADriver* piHostDriver()
{
    static INADriver* s_pi = []() -> INADriver* {
        bInitLibrary(nullptr);
        int nRequired = 0;
        bDLLCompatible(7, 31, &nRequired);
        bDLLCompatible(28, 31, &nRequired);
        INADriver* pi = piQueryInterface();
        if (pi != nullptr)
            pi->bSetKX(static_cast<IKXForNA*>(TimedHost().pKeyService()));
        return pi;
    }();
    return s_pi;
}

CHostDriverInUse::CHostDriverInUse() : m_pclFormer(CNADriver::s_pclDriver)
{
    INADriver* pi = piHostDriver();
    if (pi != nullptr)
        CNADriver::s_pclDriver = static_cast<CNADriver*>(pi);
}

CHostDriverInUse::~CHostDriverInUse()
{
    CNADriver::s_pclDriver = m_pclFormer;
}

std::string strLoadClient()
{
    static const std::string s_strError = []() -> std::string {
        std::string strError = strBindHost();
        if (!strError.empty())
            return strError;
        CNAError* pclError = new CNAError;
        pclError->AddRef();
        CTString csPath;
        if (!CNAFunctionLoader::g_bLoaded() && !CNAFunctionLoader::g_bInitNative(pclError, &csPath, nullptr, 0)) {
            const wchar_t* psz = pclError->pszGetError();
            strError = "client library: " + (psz != nullptr ? std::string(psz, psz + std::wcslen(psz)) : "");
        }
        pclError->nRelease();
        return strError;
    }();
    return s_strError;
}

MYSQL* hRawConnect(const char* pszDatabase, const char* pszNames, std::string& strError)
{
    strError = strLoadClient();
    if (!strError.empty())
        return nullptr;
    MYSQL* h = __mysql_init(nullptr);
    if (h == nullptr ||
        __mysql_real_connect(h, Env("ZT_TEST_HOST").c_str(), Env("ZT_TEST_USER").c_str(),
                             Env("ZT_TEST_PASSWORD").c_str(), pszDatabase,
                             static_cast<unsigned>(std::strtoul(Env("ZT_TEST_PORT").c_str(), nullptr, 10)), nullptr,
                             0) == nullptr) {
        strError = std::string("raw connection: ") + (h != nullptr ? __mysql_error(h) : "no handle");
        return nullptr;
    }
    const std::string strNames = std::string("SET NAMES ") + pszNames;
    if (__mysql_real_query(h, strNames.data(), static_cast<unsigned long>(strNames.size())) != 0) {
        strError = std::string("raw connection: ") + __mysql_error(h);
        return nullptr;
    }
    return h;
}

std::string strOpenHostTable(CHostConnectionDescription& clHost, const wchar_t* pszTable, STHostTable& st)
{
    INADriver* piDriver = piHostDriver();
    if (piDriver == nullptr)
        return "no driver";
    st.piDescription = piDriver->piGetTableDesc(pszTable, &clHost);
    if (st.piDescription == nullptr)
        return "piGetTableDesc: " + ErrorText(static_cast<CNAError*>(piDriver->piGetLastError()));
    for (unsigned int i = 0; i < st.piDescription->nGetNumItems(); i++) {
        INAItemDescription* pi = st.piDescription->piNAGetItem(i);
        if (pi != nullptr && !pi->bIsComposedKey())
            st.apiItem.push_back(pi);
        else if (pi != nullptr)
            pi->nExternalRelease();
    }
    st.piTable = piDriver->piGetTable(&clHost, st.piDescription);
    if (st.piTable == nullptr)
        return "piGetTable: " + ErrorText(static_cast<CNAError*>(piDriver->piGetLastError()));
    if (!st.piTable->bHOuvre(&st.clContext, static_cast<eNA_ACCESS>(0), L""))
        return "bHOuvre: " + ErrorText(static_cast<CNAError*>(piDriver->piGetLastError()));
    return std::string();
}

bool bReadRecord(benchmark::State& state, STHostTable& st, const wchar_t* pszItem, bool bFirst, bool bRecordRead,
                 int* pbOut, unsigned long* pulSum)
{
    INATable* pi = st.piTable;
    eNA_LOCKTYPE eLock = static_cast<eNA_LOCKTYPE>(0);
    if (!pi->bHLitxxx(&st.clContext, pszItem, static_cast<eNA_PARSEDIRECTION>(bFirst ? 0 : 2), bRecordRead ? 1 : 0,
                      eLock, &eLock, 0) ||
        !pi->bHEnDehors(&st.clContext, pszItem, pbOut)) {
        state.SkipWithError(ErrorText(static_cast<CNAError*>(pi->piGetLastError(&st.clContext))).c_str());
        return false;
    }
    if (*pbOut)
        return true;
    CNAKXRecord* pRecord = nullptr;
    if (!pi->bGetRecord(&st.clContext, &pRecord) || pRecord == nullptr) {
        state.SkipWithError(ErrorText(static_cast<CNAError*>(pi->piGetLastError(&st.clContext))).c_str());
        return false;
    }
    CAny v;
    for (INAItemDescription* piItem : st.apiItem) {
        if (!pRecord->vbItemValueDefined(piItem, 0))
            continue;
        pRecord->vGetItemValue(&v, piItem, 0);
        unsigned int nSize = 0;
        v.pclGetTraitement()->nGetUtilDataSize(&nSize);
        *pulSum += nSize;
    }
    pRecord->nRelease();
    return true;
}

void SetRecordText(CNAKXRecord* pRecord, INAItemDescription* piItem, const std::wstring& s)
{
    CAny v;
    v.__SetType(TQTYPE_DSTRW, 0);
    v.pclGetTraitement()->SetValue(s.c_str(), static_cast<unsigned int>(s.size() * sizeof(wchar_t)));
    v.SetFlags(0);
    pRecord->vSetItemValue(piItem, &v, 0);
}

MYSQL* hTableHandle(std::string& strError)
{
    static std::string s_strError;
    static MYSQL* s_h = [] () -> MYSQL* {
        MYSQL* h = hRawConnect(Env("ZT_TEST_DATABASE").c_str(), "utf8mb4", s_strError);
        if (h == nullptr)
            return nullptr;
        const char* const apszMake[] = {
            "CREATE DATABASE IF NOT EXISTS ztbench_sql CHARACTER SET utf8mb4",
            "DROP TABLE IF EXISTS ztbench_sql.rows200k",
            "CREATE TABLE ztbench_sql.rows200k (n INT PRIMARY KEY, big BIGINT, txt VARCHAR(40), "
            "amount DECIMAL(12,2), stamp DATETIME) ENGINE=InnoDB",
            // The text is é€Ω中 in UTF-8.
            "INSERT INTO ztbench_sql.rows200k SELECT seq, seq * 1000003, "
            "CONCAT('\xC3\xA9\xE2\x82\xAC\xCE\xA9\xE4\xB8\xAD row ', seq), "
            "seq / 100, '2024-01-01' + INTERVAL seq SECOND FROM seq_1_to_200000",
            // The raw side reads in the driver's session character set.
            "SET NAMES latin1",
        };
        for (const char* psz : apszMake) {
            if (__mysql_real_query(h, psz, std::strlen(psz)) != 0) {
                s_strError = std::string("making the table: ") + __mysql_error(h);
                return nullptr;
            }
        }
        return h;
    }();
    strError = s_strError;
    return s_h;
}

MYSQL_RES* pRawResult(benchmark::State& state, MYSQL* h, const char* pszQuery, unsigned long nLength, bool bStore)
{
    MYSQL_RES* p = nullptr;
    if (__mysql_real_query(h, pszQuery, nLength) == 0)
        p = bStore ? __mysql_store_result(h) : __mysql_use_result(h);
    if (p == nullptr)
        state.SkipWithError(__mysql_error(h));
    return p;
}

std::string RawEscaped(MYSQL* h, const std::string& s)
{
    std::string strOut(s.size() * 2 + 1, '\0');
    const unsigned long n = __mysql_real_escape_string(h, &strOut[0], s.data(), static_cast<unsigned long>(s.size()));
    strOut.resize(n);
    return strOut;
}

double dThreadCPU()
{
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

MYSQL* hKeysetHandle(std::string& strError)
{
    static std::string s_strError;
    static MYSQL* s_h = []() -> MYSQL* {
        MYSQL* hTable = hTableHandle(s_strError);
        if (hTable == nullptr)
            return nullptr;
        const char szIndex[] = "CREATE INDEX IF NOT EXISTS rows200k_txt ON ztbench_sql.rows200k (txt)";
        if (__mysql_real_query(hTable, szIndex, sizeof(szIndex) - 1) != 0) {
            s_strError = std::string("index on txt: ") + __mysql_error(hTable);
            return nullptr;
        }
        return hRawConnect("ztbench_sql", "utf8mb4", s_strError);
    }();
    strError = s_strError;
    return s_h;
}

long long llRawKeyset(benchmark::State& state, MYSQL* h, bool bText, bool bStore)
{
    long long llRows = 0;
    long long llLastN = 0;
    std::string strLastText;
    unsigned long ulSum = 0;
    std::string strQuery;
    for (;;) {
        strQuery = "SELECT n, big, txt, amount, stamp FROM rows200k";
        if (!bText) {
            strQuery += " WHERE n > " + std::to_string(llLastN) + " ORDER BY n LIMIT 100";
        } else if (llRows == 0) {
            strQuery += " ORDER BY txt, n LIMIT 100";
        } else {
            std::string strHex;
            static const char szDigits[] = "0123456789ABCDEF";
            for (unsigned char c : strLastText) {
                strHex += szDigits[c >> 4];
                strHex += szDigits[c & 15];
            }
            strQuery += " WHERE txt > _utf8mb4 X'" + strHex + "' OR (txt = _utf8mb4 X'" + strHex + "' AND n > " +
                        std::to_string(llLastN) + ") ORDER BY txt, n LIMIT 100";
        }
        MYSQL_RES* p = pRawResult(state, h, strQuery.c_str(), static_cast<unsigned long>(strQuery.size()), bStore);
        if (p == nullptr)
            return -1;
        int nBlock = 0;
        while (MYSQL_ROW row = __mysql_fetch_row(p)) {
            const unsigned long* pnLength = __mysql_fetch_lengths(p);
            for (unsigned int i = 0; i < kTableColumns; i++)
                for (unsigned long j = 0; j < pnLength[i]; j++)
                    ulSum += static_cast<unsigned char>(row[i][j]);
            llLastN = std::strtoll(row[0], nullptr, 10);
            strLastText.assign(row[2], pnLength[2]);
            nBlock++;
        }
        __mysql_free_result(p);
        llRows += nBlock;
        if (nBlock < 100)
            break;
    }
    benchmark::DoNotOptimize(ulSum);
    return llRows;
}

namespace {

// One browse of the whole table by the steps; the time of its first and its
// last tenth of rows added.
long long llBrowse(const FN_BROWSESTEP& fnStep, double* pdFirst, double* pdLast)
{
    typedef std::chrono::steady_clock Clock;
    const long long llTenth = kTableRows / 10;
    long long llRows = 0;
    const Clock::time_point tStart = Clock::now();
    Clock::time_point tLastTenth = tStart;
    int bOut = 1;
    if (!fnStep(true, &bOut))
        return -1;
    while (!bOut) {
        if (++llRows == llTenth)
            *pdFirst += std::chrono::duration<double>(Clock::now() - tStart).count();
        if (llRows == kTableRows - llTenth)
            tLastTenth = Clock::now();
        if (!fnStep(false, &bOut))
            return -1;
    }
    *pdLast += std::chrono::duration<double>(Clock::now() - tLastTenth).count();
    return llRows;
}

} // namespace

void RunBrowseBesideKeyset(benchmark::State& state, const char* pszName, bool bText, bool bStore, MYSQL* hRaw,
                           const FN_BROWSESTEP& fnStep)
{
    typedef std::chrono::steady_clock Clock;
    double dFirst = 0;
    double dLast = 0;
    double dRaw = 0;
    double dDriver = 0;
    double dRawCPU = 0;
    double dDriverCPU = 0;
    long long llRows = 0;
    long long llRawRows = 0;
    for (auto _ : state) {
        const double dCPU0 = dThreadCPU();
        const Clock::time_point t0 = Clock::now();
        const long long ll = llBrowse(fnStep, &dFirst, &dLast);
        const Clock::time_point t1 = Clock::now();
        const double dCPU1 = dThreadCPU();
        const long long llRaw = llRawKeyset(state, hRaw, bText, bStore);
        const Clock::time_point t2 = Clock::now();
        dDriverCPU += dCPU1 - dCPU0;
        dRawCPU += dThreadCPU() - dCPU1;
        if (ll < 0 || llRaw < 0)
            return;
        if (ll != kTableRows || llRaw != kTableRows) {
            state.SkipWithError("not every row read");
            return;
        }
        dDriver += std::chrono::duration<double>(t1 - t0).count();
        dRaw += std::chrono::duration<double>(t2 - t1).count();
        llRows += ll;
        llRawRows += llRaw;
        state.SetIterationTime(std::chrono::duration<double>(t1 - t0).count());
    }
    const double dDriverRate = static_cast<double>(llRows) / dDriver;
    const double dRawRate = static_cast<double>(llRawRows) / dRaw;
    state.counters["rows_per_s"] = dDriverRate;
    state.counters["raw_rows_per_s"] = dRawRate;
    state.counters["ratio_to_raw"] = dDriverRate / dRawRate;
    state.counters["last_tenth_to_first"] = dLast / dFirst;
    // Where the time goes: the processor time of each side per row.
    state.counters["cpu_us_per_row"] = dDriverCPU * 1e6 / static_cast<double>(llRows);
    state.counters["raw_cpu_us_per_row"] = dRawCPU * 1e6 / static_cast<double>(llRawRows);
    std::printf("%s on %s: %.0f rows/s, raw keyset %.0f rows/s, ratio %.3f; last tenth / first %.3f; "
                "processor %.2f us/row, raw %.2f us/row\n",
                pszName, bText ? "txt" : "n", dDriverRate, dRawRate, dDriverRate / dRawRate, dLast / dFirst,
                dDriverCPU * 1e6 / static_cast<double>(llRows), dRawCPU * 1e6 / static_cast<double>(llRawRows));
}

// Runs the query and reads every byte of every row, as the driver's fetch
// does; the rows read, -1 (the benchmark stopped) on a failure.
long long llRawQuery(benchmark::State& state, MYSQL* h, const char* pszQuery, unsigned long nLength, bool bStore)
{
    MYSQL_RES* p = pRawResult(state, h, pszQuery, nLength, bStore);
    if (p == nullptr)
        return -1;
    long long llRows = 0;
    unsigned long ulSum = 0;
    const unsigned int nColumns = __mysql_num_fields(p);
    while (MYSQL_ROW row = __mysql_fetch_row(p)) {
        const unsigned long* pnLength = __mysql_fetch_lengths(p);
        for (unsigned int i = 0; i < nColumns; i++)
            for (unsigned long j = 0; j < pnLength[i]; j++)
                ulSum += static_cast<unsigned char>(row[i][j]);
        llRows++;
    }
    __mysql_free_result(p);
    benchmark::DoNotOptimize(ulSum);
    return llRows;
}

namespace {

void BM_RawClient(benchmark::State& state)
{
    std::string strError;
    MYSQL* h = hTableHandle(strError);
    if (h == nullptr) {
        state.SkipWithError(strError.c_str());
        return;
    }
    long long llRows = 0;
    for (auto _ : state) {
        const long long ll = llRawQuery(state, h, kTableQuery, sizeof(kTableQuery) - 1, state.range(0) != 0);
        if (ll < 0)
            return;
        llRows += ll;
    }
    state.SetItemsProcessed(llRows);
}

// One row by its primary key, every byte of it read: the raw client's
// point lookup, the baseline of the key searches.
void BM_RawPointLookup(benchmark::State& state)
{
    std::string strError;
    MYSQL* h = hTableHandle(strError);
    if (h == nullptr) {
        state.SkipWithError(strError.c_str());
        return;
    }
    unsigned int nKey = 1;
    char szQuery[128];
    for (auto _ : state) {
        nKey = (nKey + 7919) % static_cast<unsigned int>(kTableRows); // a walk over the keys
        const int n = std::snprintf(szQuery, sizeof(szQuery), "%s WHERE n = %u", kTableQuery, nKey + 1);
        const long long ll = llRawQuery(state, h, szQuery, static_cast<unsigned long>(n), true);
        if (ll != 1) {
            if (ll == 0)
                state.SkipWithError("no row of that key");
            return;
        }
    }
}

} // namespace

// Argument 0: use mode, 1: store mode.
BENCHMARK(BM_RawClient)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_RawPointLookup)->Unit(benchmark::kMicrosecond)->MinTime(1.0)->UseRealTime();

} // namespace zt_bench
