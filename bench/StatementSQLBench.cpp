// Rows per second of the benchmark table read by the MySQL SQL statement in
// use mode (argument 0) and store mode (argument 1): every value into a
// host value as the SQL interface reads it (one host value per column, kept
// from row to row as a host's variables are), and every value as raw bytes;
// beside the raw client library in the same mode (BM_RawClient).
#include "mysql/MySQLStatementSQL.h"

#include "access/driver/NAError.h"
#include "bench/SQLBenchTable.h"
#include "common/values/Any.h"
#include "host/HostConnectionDescription.h"
#include "mysql/MySQLConnection.h"

#include <benchmark/benchmark.h>

#include <cwchar>
#include <string>

namespace {

using namespace zt_bench;

// The driver's connection, made once; strError says why not.
struct STBench {
    CHostConnectionDescription clHost;
    CMySQLConnection* pclConnection = nullptr;
    CNAError* pclError = nullptr;
};

std::string strStart(STBench& st)
{
    const std::string strHost = strBindHost();
    if (!strHost.empty())
        return strHost;
    st.pclError = new CNAError;
    st.pclError->AddRef();
    DescribeServer(st.clHost);
    std::string strError = strOpenConnection(st.clHost, L"bench", st.pclError, &st.pclConnection);
    if (!strError.empty())
        return strError;
    if (hTableHandle(strError) == nullptr)
        return strError;
    return std::string();
}

// The statement reads every value: into a host value (bRaw false), or as
// raw bytes.
void RunStatement(benchmark::State& state, bool bRaw)
{
    STBench* pst = pReady(state, strStart);
    if (pst == nullptr)
        return;
    CNAError* pclError = new CNAError;
    pclError->AddRef();
    CMySQLStatementSQL* pclStmt = new CMySQLStatementSQL(pst->pclConnection, pclError);
    pclStmt->AddRef();
    pclStmt->SetStoreResult(state.range(0) != 0);
    long long llRows = 0;
    CAny aclValue[kTableColumns];
    for (auto _ : state) {
        if (!pclStmt->bExecuteDirect(kTableQuery, 0)) {
            state.SkipWithError(ErrorText(pclError).c_str());
            break;
        }
        unsigned long ulTouched = 0;
        for (;;) {
            if (!pclStmt->bFetch(0)) {
                state.SkipWithError(ErrorText(pclError).c_str());
                break;
            }
            if (pclStmt->bEndOfData())
                break;
            for (unsigned int i = 0; i < kTableColumns; i++) {
                if (bRaw) {
                    unsigned char* p = nullptr;
                    unsigned int n = 0;
                    pclStmt->bGetValue(&p, &n, i);
                    if (p != nullptr && n > 0)
                        ulTouched += p[n - 1];
                } else {
                    pclStmt->bGetValue(&aclValue[i], i, 0);
                    ulTouched += aclValue[i].nGetType();
                }
            }
            llRows++;
        }
        benchmark::DoNotOptimize(ulTouched);
        pclStmt->bReset();
    }
    if (llRows % kTableRows != 0)
        state.SkipWithError("not every row was read");
    state.SetItemsProcessed(llRows);
    pclStmt->nRelease();
    pclError->nRelease();
}

void BM_StatementValue(benchmark::State& state)
{
    RunStatement(state, false);
}

void BM_StatementRawBytes(benchmark::State& state)
{
    RunStatement(state, true);
}

} // namespace

BENCHMARK(BM_StatementValue)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_StatementRawBytes)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
