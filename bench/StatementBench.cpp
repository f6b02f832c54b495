// Rows per second of a browse of the benchmark table through the table
// statement: first, then next to the end, every column loaded into the
// current record, a block of 100 rows per SELECT; on the primary key n and
// on the text txt (an index of its own). Beside it in the same run, the raw
// client's keyset loop over the same order, 100 rows per query, every byte of
// every value read. Also the cost of the first and of the last tenth of the
// browse: the next blocks cost the same all the way.
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
#include <cstring>
#include <cwchar>
#include <memory>
#include <string>

namespace {

using namespace zt_bench;

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
    st.hRaw = hKeysetHandle(strError);
    if (st.hRaw == nullptr)
        return strError;
    st.piDriver = piHostDriver();
    if (st.piDriver == nullptr)
        return "no driver";
    st.pclError = new CNAError;
    st.pclError->AddRef();
    DescribeServer(st.clHost);
    st.clHost.SetText(CHostConnectionDescription::TXT_DEFAULTDATABASE, L"ztbench_sql");
    strError = strOpenConnection(st.clHost, L"bench", st.pclError, &st.pclConnection);
    if (!strError.empty())
        return strError;
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
        return "record: " + ErrorText(st.pclError);
    return std::string();
}

// Argument 0: on n; 1: on txt.
void BM_StatementBrowse(benchmark::State& state)
{
    // Other benchmarks of the process set drivers of their own.
    CHostDriverInUse clDriverInUse;
    STBrowse* pst = pReady(state, strStart);
    if (pst == nullptr)
        return;
    const bool bText = state.range(0) != 0;
    const wchar_t* pszItem = bText ? L"txt" : L"n";
    CTestDataAccess* p = pst->pclAccess;
    RunBrowseBesideKeyset(state, "statement browse", bText, true, pst->hRaw, [&](bool bFirst, int* pbOut) {
        if (!p->bRead(pszItem, bFirst ? 0 : 2)) {
            state.SkipWithError(ErrorText(pst->pclError).c_str());
            return false;
        }
        p->m_pclLast->HEndehors(pbOut);
        return true;
    });
}

// A second data access whose browses are served by the table cache: its
// first browse (on amount, one SELECT without row limit) is read whole into
// the full cache; the time of that, in seconds, or a negative value on a
// failure.
double dFullCache(STBrowse* pst, CTestDataAccess** ppAccess)
{
    typedef std::chrono::steady_clock Clock;
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
    CHostDriverInUse clDriverInUse;
    typedef std::chrono::steady_clock Clock;
    STBrowse* pst = pReady(state, strStart);
    if (pst == nullptr)
        return;
    CTestDataAccess* p = nullptr;
    const double dMaking = dFullCache(pst, &p);
    if (dMaking < 0) {
        state.SkipWithError(("full cache: " + ErrorText(pst->pclError)).c_str());
        return;
    }
    const bool bText = state.range(0) != 0;
    const wchar_t* pszItem = bText ? L"txt" : L"n";
    const unsigned int nFlags = CNAStatement::WPF_TABLE_CACHE;
    // The index is built by the first read of its item, timed apart too.
    const Clock::time_point tIndex = Clock::now();
    if (!p->bRead(pszItem, 0, nFlags) || p->m_pclLast->pclGetTableCacheIndexNoRef() == nullptr) {
        state.SkipWithError(("index: " + ErrorText(pst->pclError)).c_str());
        return;
    }
    const double dIndex = std::chrono::duration<double>(Clock::now() - tIndex).count();
    state.counters["full_cache_s"] = dMaking;
    state.counters["index_s"] = dIndex;
    std::printf("table cache: full cache made in %.2f s, index on %s in %.3f s\n", dMaking, bText ? "txt" : "n",
                dIndex);
    RunBrowseBesideKeyset(state, "table-cache browse", bText, true, pst->hRaw, [&](bool bFirst, int* pbOut) {
        if (!p->bRead(pszItem, bFirst ? 0 : 2, nFlags)) {
            state.SkipWithError(ErrorText(pst->pclError).c_str());
            return false;
        }
        p->m_pclLast->HEndehors(pbOut);
        return true;
    });
}

} // namespace

BENCHMARK(BM_TableCacheBrowse)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3)->UseManualTime();
BENCHMARK(BM_StatementBrowse)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3)->UseManualTime();
