// Rows per second of a browse of the benchmark table by the host's table
// object: INATable::bHLitxxx first, then next to the end, each record taken
// with bGetRecord and every value read out of it; on the primary key n and on
// the text txt (an index of its own). Beside it in the same run, the raw
// client's keyset loop over the same order, 100 rows per query, each result
// used as it streams. Also the cost of the first and of the last tenth of the
// browse: the next blocks cost the same all the way.
#include "bench/SQLBenchTable.h"
#include "host/HostConnectionDescription.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

using namespace zt_bench;

struct STTable {
    CHostConnectionDescription clHost;
    STHostTable stTable{1};
    MYSQL* hRaw = nullptr;
};

std::string strStart(STTable& st)
{
    std::string strError;
    st.hRaw = hKeysetHandle(strError);
    if (st.hRaw == nullptr)
        return strError;
    st.clHost.SetText(CHostConnectionDescription::TXT_CONNECTIONNAME, L"bench");
    st.clHost.SetText(CHostConnectionDescription::TXT_PROVIDER, L"MySQL");
    DescribeServer(st.clHost);
    st.clHost.SetText(CHostConnectionDescription::TXT_DEFAULTDATABASE, L"ztbench_sql");
    strError = strOpenHostTable(st.clHost, L"rows200k", st.stTable);
    if (strError.empty() && st.stTable.apiItem.size() != kTableColumns)
        return "the description has not the table's five items";
    return strError;
}

// Argument 0: on n; 1: on txt.
void BM_TableBrowse(benchmark::State& state)
{
    // Other benchmarks of the process set drivers of their own.
    CHostDriverInUse clDriverInUse;
    STTable* pst = pReady(state, strStart);
    if (pst == nullptr)
        return;
    const bool bText = state.range(0) != 0;
    const wchar_t* pszItem = bText ? L"txt" : L"n";
    unsigned long ulSum = 0;
    RunBrowseBesideKeyset(state, "table browse", bText, false, pst->hRaw, [&](bool bFirst, int* pbOut) {
        return bReadRecord(state, pst->stTable, pszItem, bFirst, false, pbOut, &ulSum);
    });
    benchmark::DoNotOptimize(ulSum);
}

} // namespace

BENCHMARK(BM_TableBrowse)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3)->UseManualTime();
