// Rows per second of a browse of the benchmark table through the table
// statement: first, then next to the end, every column loaded into the
// current record, a block of 100 rows per SELECT; on the primary key n and
// on the text txt (an index of its own). Beside it in the same run, the raw
// client's keyset loop over the same order, 100 rows per query, every byte of
// every value read. Also the cost of the first and of the last tenth of the
// browse: the next blocks cost the same all the way. Then the same browses
// served by table-cache indexes over the whole table held in memory, beside
// the same keyset loop (the full cache's making timed apart).
#include "access/driver/INADriver.h"
#include "access/driver/NAError.h"
#include "access/driver/NAItemDescription.h"
#include "access/statement/NAColumn.h"
#include "access/statement/NATableCache.h"
#include "bench/SQLBenchTable.h"
#include "host/HostConnectionDescription.h"
#include "mysql/MySQLConnection.h"
#include "tests/support/TestDataAccess.h"
#include "tests/support/TestTable.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <cstring>
#include <cwchar>
#include <memory>
#include <string>

extern "C" {
int bInitLibrary(HINSTANCE hModule);
int bDLLCompatible(int nModule, int nVersion, int* pnRequired);
INADriver* piQueryInterface();
}

namespace {

using namespace zt_bench;
typedef std::chrono::steady_clock Clock;

// The processor time of this thread, in seconds.
double dThreadCPU()
{
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

std::string Text(CNAError* pcl)
{
    const wchar_t* psz = pcl != nullptr ? pcl->pszGetError() : nullptr;
    return psz != nullptr ? std::string(psz, psz + std::wcslen(psz)) : std::string();
}

struct STBrowse {
    CHostConnectionDescription clHost;
    INADriver* piDriver = nullptr;
    CMySQLConnection* pclConnection = nullptr;
    CNAError* pclError = nullptr;
    std::unique_ptr<CTestTable> pHost;
    std::unique_ptr<CTestTable> pDatabase;
    CTestDataAccess* pclAccess = nullptr;
    MYSQL* hRaw = nullptr;
};

std::string strStart(STBrowse& st)
{
    std::string strError;
    MYSQL* h = hTableHandle(strError);
    if (h == nullptr)
        return strError;
    const char szIndex[] = "CREATE INDEX IF NOT EXISTS rows200k_txt ON ztbench_sql.rows200k (txt)";
    if (__mysql_real_query(h, szIndex, sizeof(szIndex) - 1) != 0)
        return std::string("index on txt: ") + __mysql_error(h);
    // The keyset loop's own handle, in the driver's session character set.
    st.hRaw = __mysql_init(nullptr);
    if (st.hRaw == nullptr ||
        __mysql_real_connect(st.hRaw, Env("ZT_TEST_HOST").c_str(), Env("ZT_TEST_USER").c_str(),
                             Env("ZT_TEST_PASSWORD").c_str(), "ztbench_sql",
                             static_cast<unsigned>(std::strtoul(Env("ZT_TEST_PORT").c_str(), nullptr, 10)), nullptr,
                             0) == nullptr ||
        __mysql_real_query(st.hRaw, "SET NAMES utf8mb4", 17) != 0)
        return "keyset connection refused";
    bInitLibrary(nullptr);
    int n = 0;
    bDLLCompatible(7, 31, &n);
    bDLLCompatible(28, 31, &n);
    st.piDriver = piQueryInterface();
    if (st.piDriver == nullptr)
        return "no driver";
    st.pclError = new CNAError;
    st.pclError->AddRef();
    DescribeServer(st.clHost);
    st.clHost.SetText(CHostConnectionDescription::TXT_DEFAULTDATABASE, L"ztbench_sql");
    st.pclConnection = new CMySQLConnection(L"bench", &st.clHost);
    st.pclConnection->AddRef();
    if (!st.pclConnection->bOpen(st.pclError))
        return "driver connection: " + Text(st.pclError);
    for (std::unique_ptr<CTestTable>* pp : {&st.pHost, &st.pDatabase}) {
        pp->reset(new CTestTable(st.pclError, st.pclConnection, L"rows200k"));
        CTestTable& t = **pp;
        t.Add(L"n", NA_IT_I4, 4, CTestTable::UNIQUE | CNAItemDescription::KF_PRIMARY, false);
        t.Add(L"big", NA_IT_I8, 8);
        t.Add(L"txt", NA_IT_UNICODE, 82, CTestTable::DUPLICATES);
        t.Add(L"amount", NA_IT_R8, 8);
        t.Add(L"stamp", NA_IT_DATETIME, 8);
        t->UpdateRecordSize();
    }
    st.pclAccess = new CTestDataAccess(st.pHost->Get(), st.pclConnection, st.pclError);
    if (!st.pclAccess->Open(st.pDatabase->Get()))
        return "record: " + Text(st.pclError);
    return std::string();
}

// The keyset loop of the raw client: the whole table in queries of 100 rows
// ordered by n, or by txt then n; the rows read, -1 on a failure.
long long llRawKeyset(benchmark::State& state, MYSQL* h, bool bText)
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
        if (__mysql_real_query(h, strQuery.c_str(), static_cast<unsigned long>(strQuery.size())) != 0) {
            state.SkipWithError(__mysql_error(h));
            return -1;
        }
        MYSQL_RES* p = __mysql_store_result(h);
        if (p == nullptr) {
            state.SkipWithError(__mysql_error(h));
            return -1;
        }
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

// One browse of the whole table through the statement; the time of its
// first and its last tenth of rows.
long long llBrowse(benchmark::State& state, STBrowse* pst, const wchar_t* pszItem, double* pdFirst, double* pdLast)
{
    CTestDataAccess* p = pst->pclAccess;
    const long long llTenth = kTableRows / 10;
    long long llRows = 0;
    const Clock::time_point tStart = Clock::now();
    Clock::time_point tLastTenth = tStart;
    int bOut = 1;
    if (!p->bRead(pszItem, 0)) {
        state.SkipWithError(Text(pst->pclError).c_str());
        return -1;
    }
    for (p->m_pclLast->HEndehors(&bOut); !bOut; p->m_pclLast->HEndehors(&bOut)) {
        if (++llRows == llTenth)
            *pdFirst += std::chrono::duration<double>(Clock::now() - tStart).count();
        if (llRows == kTableRows - llTenth)
            tLastTenth = Clock::now();
        if (!p->bRead(pszItem, 2)) {
            state.SkipWithError(Text(pst->pclError).c_str());
            return -1;
        }
    }
    *pdLast += std::chrono::duration<double>(Clock::now() - tLastTenth).count();
    return llRows;
}

// The rows and times of both sides over the iterations.
struct SRates {
    double dDriver = 0;
    double dRaw = 0;
    long long llRows = 0;
    long long llRawRows = 0;
    // One iteration: the driver's browse from t0 to t1, the raw loop to t2;
    // false (the benchmark stopped) unless both read every row.
    bool bAdd(benchmark::State& state, long long ll, long long llRaw, Clock::time_point t0, Clock::time_point t1,
              Clock::time_point t2)
    {
        if (ll < 0 || llRaw < 0)
            return false;
        if (ll != kTableRows || llRaw != kTableRows) {
            state.SkipWithError("not every row read");
            return false;
        }
        dDriver += std::chrono::duration<double>(t1 - t0).count();
        dRaw += std::chrono::duration<double>(t2 - t1).count();
        llRows += ll;
        llRawRows += llRaw;
        state.SetIterationTime(std::chrono::duration<double>(t1 - t0).count());
        return true;
    }
    double dDriverRate() const { return llRows / dDriver; }
    double dRawRate() const { return llRawRows / dRaw; }
    void Publish(benchmark::State& state) const
    {
        state.counters["rows_per_s"] = dDriverRate();
        state.counters["raw_rows_per_s"] = dRawRate();
        state.counters["ratio_to_raw"] = dDriverRate() / dRawRate();
    }
};

// Argument 0: on n; 1: on txt.
void BM_StatementBrowse(benchmark::State& state)
{
    STBrowse* pst = pReady(state, strStart);
    if (pst == nullptr)
        return;
    const bool bText = state.range(0) != 0;
    double dFirst = 0;
    double dLast = 0;
    SRates r;
    double dRawCPU = 0;
    double dDriverCPU = 0;
    for (auto _ : state) {
        const double dCPU0 = dThreadCPU();
        const Clock::time_point t0 = Clock::now();
        const long long ll = llBrowse(state, pst, bText ? L"txt" : L"n", &dFirst, &dLast);
        const Clock::time_point t1 = Clock::now();
        const double dCPU1 = dThreadCPU();
        const long long llRaw = llRawKeyset(state, pst->hRaw, bText);
        const Clock::time_point t2 = Clock::now();
        dDriverCPU += dCPU1 - dCPU0;
        dRawCPU += dThreadCPU() - dCPU1;
        if (!r.bAdd(state, ll, llRaw, t0, t1, t2))
            return;
    }
    r.Publish(state);
    const double dDriverRate = r.dDriverRate();
    const double dRawRate = r.dRawRate();
    const long long llRows = r.llRows;
    const long long llRawRows = r.llRawRows;
    state.counters["last_tenth_to_first"] = dLast / dFirst;
    // Where the time goes: the processor time of each side per row.
    state.counters["cpu_us_per_row"] = dDriverCPU * 1e6 / static_cast<double>(llRows);
    state.counters["raw_cpu_us_per_row"] = dRawCPU * 1e6 / static_cast<double>(llRawRows);
    std::printf("statement browse on %s: %.0f rows/s, raw keyset %.0f rows/s, ratio %.3f; last tenth / first %.3f; "
                "processor %.2f us/row, raw %.2f us/row\n",
                bText ? "txt" : "n", dDriverRate, dRawRate, dDriverRate / dRawRate, dLast / dFirst,
                dDriverCPU * 1e6 / static_cast<double>(llRows), dRawCPU * 1e6 / static_cast<double>(llRawRows));
}

// A second data access whose browses are served by the table cache: its
// first browse (on amount, one SELECT without row limit) is read whole into
// the full cache; the time of
// that, in seconds, or a negative value on a failure.
double dFullCache(STBrowse* pst, CTestDataAccess** ppAccess)
{
    static CTestDataAccess* s_pclAccess = nullptr;
    static double s_dTime = -1;
    if (s_pclAccess == nullptr) {
        s_pclAccess = new CTestDataAccess(pst->pHost->Get(), pst->pclConnection, pst->pclError);
        const Clock::time_point t0 = Clock::now();
        if (s_pclAccess->Open(pst->pDatabase->Get()) &&
            s_pclAccess->bRead(L"amount", 0, CNAStatement::WPF_TABLE_CACHE) &&
            s_pclAccess->pclGetTableCacheNoRef() != nullptr &&
            s_pclAccess->pclGetTableCacheNoRef()->pclGetFullCache() != nullptr)
            s_dTime = std::chrono::duration<double>(Clock::now() - t0).count();
    }
    *ppAccess = s_pclAccess;
    return s_dTime;
}

// Argument 0: on n; 1: on txt; each served by its table-cache index.
void BM_TableCacheBrowse(benchmark::State& state)
{
    STBrowse* pst = pReady(state, strStart);
    if (pst == nullptr)
        return;
    CTestDataAccess* p = nullptr;
    const double dMaking = dFullCache(pst, &p);
    if (dMaking < 0) {
        state.SkipWithError(("full cache: " + Text(pst->pclError)).c_str());
        return;
    }
    const bool bText = state.range(0) != 0;
    const wchar_t* pszItem = bText ? L"txt" : L"n";
    const unsigned int nFlags = CNAStatement::WPF_TABLE_CACHE;
    // The index is built by the first read of its item, timed apart too.
    const Clock::time_point tIndex = Clock::now();
    if (!p->bRead(pszItem, 0, nFlags) || p->m_pclLast->pclGetTableCacheIndexNoRef() == nullptr) {
        state.SkipWithError(("index: " + Text(pst->pclError)).c_str());
        return;
    }
    const double dIndex = std::chrono::duration<double>(Clock::now() - tIndex).count();
    SRates r;
    for (auto _ : state) {
        const Clock::time_point t0 = Clock::now();
        long long ll = 0;
        int bOut = 1;
        if (!p->bRead(pszItem, 0, nFlags)) {
            state.SkipWithError(Text(pst->pclError).c_str());
            return;
        }
        for (p->m_pclLast->HEndehors(&bOut); !bOut; p->m_pclLast->HEndehors(&bOut)) {
            ll++;
            if (!p->bRead(pszItem, 2, nFlags)) {
                state.SkipWithError(Text(pst->pclError).c_str());
                return;
            }
        }
        const Clock::time_point t1 = Clock::now();
        const long long llRaw = llRawKeyset(state, pst->hRaw, bText);
        const Clock::time_point t2 = Clock::now();
        if (!r.bAdd(state, ll, llRaw, t0, t1, t2))
            return;
    }
    r.Publish(state);
    const double dDriverRate = r.dDriverRate();
    const double dRawRate = r.dRawRate();
    state.counters["full_cache_s"] = dMaking;
    state.counters["index_s"] = dIndex;
    std::printf("table-cache browse on %s: %.0f rows/s, raw keyset %.0f rows/s, ratio %.3f; full cache made in "
                "%.2f s, index in %.3f s\n",
                bText ? "txt" : "n", dDriverRate, dRawRate, dDriverRate / dRawRate, dMaking, dIndex);
}

} // namespace

BENCHMARK(BM_TableCacheBrowse)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3)->UseManualTime();
BENCHMARK(BM_StatementBrowse)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3)->UseManualTime();
