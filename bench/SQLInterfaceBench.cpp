// Rows per second of the benchmark table read through the SQL interface of
// the driver from piQueryInterface (bExecute, bFetch and bGetValue of every
// column into one host value; and bGetRow), beside the raw client library
// in the same run (BM_RawClient, store mode: the SQL interface stores its
// results).
#include "access/driver/INADriver.h"
#include "access/driver/INADriverSQL.h"
#include "access/driver/NAError.h"
#include "bench/SQLBenchTable.h"
#include "common/values/Any.h"
#include "host/HostConnectionDescription.h"

#include <benchmark/benchmark.h>

#include <cwchar>
#include <string>

namespace {

using namespace zt_bench;

// The driver, its SQL interface and one connection of it, made once;
// strError says why not.
struct STBench {
    CHostConnectionDescription clHost;
    INADriver* piDriver = nullptr;
    INADriverSQL* piSQL = nullptr;
    int nConnection = 0;
    std::string strError;
};

std::string strStart(STBench& st)
{
    const std::string strHost = strBindHost();
    if (!strHost.empty())
        return strHost;
    st.clHost.SetText(CHostConnectionDescription::TXT_CONNECTIONNAME, L"bench");
    st.clHost.SetText(CHostConnectionDescription::TXT_PROVIDER, L"MySQL");
    DescribeServer(st.clHost);
    // As the host starts the driver: its first connection loads the client
    // library and learns its version.
    st.piDriver = piHostDriver();
    if (st.piDriver == nullptr)
        return "no driver";
    st.piSQL = static_cast<INADriverSQL*>(st.piDriver->piGetInterface(1));
    if (st.piSQL == nullptr)
        return "the driver offers no SQL interface";
    if (!st.piSQL->bOpenConnection(&st.nConnection, &st.clHost)) {
        const wchar_t* psz = st.piSQL->piGetLastError()->pszGetError();
        return "bOpenConnection: " + std::string(psz, psz + std::wcslen(psz));
    }
    std::string strError;
    if (hTableHandle(strError) == nullptr)
        return strError;
    return std::string();
}

// Every row of the table: bGetValue of each column (bRow false) or bGetRow.
void Run(benchmark::State& state, bool bRow)
{
    STBench* pst = pReady(state, strStart);
    if (pst == nullptr)
        return;
    long long llRows = 0;
    CAny v;
    for (auto _ : state) {
        int nStatement = 0;
        if (!pst->piSQL->bExecute(&nStatement, pst->nConnection, kTableQueryW, nullptr, 0) || nStatement == 0) {
            state.SkipWithError("bExecute failed");
            return;
        }
        while (pst->piSQL->bFetch(pst->nConnection, nStatement, 0)) {
            if (bRow) {
                pst->piSQL->bGetRow(&v, pst->nConnection, nStatement, L"\t", 0, 0);
            } else {
                for (unsigned i = 1; i <= kTableColumns; i++)
                    pst->piSQL->bGetValue(&v, pst->nConnection, nStatement, i, 0);
            }
            llRows++;
        }
        pst->piSQL->bFreeStmt(pst->nConnection, nStatement, 0);
    }
    if (llRows % kTableRows != 0)
        state.SkipWithError("not every row was read");
    state.SetItemsProcessed(llRows);
}

void BM_SQLInterfaceValues(benchmark::State& state)
{
    // Other benchmarks of the process set drivers of their own.
    CHostDriverInUse clDriverInUse;
    Run(state, false);
}

void BM_SQLInterfaceRows(benchmark::State& state)
{
    CHostDriverInUse clDriverInUse;
    Run(state, true);
}

} // namespace

BENCHMARK(BM_SQLInterfaceValues)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_SQLInterfaceRows)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
