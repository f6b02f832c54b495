// Rows per second of the benchmark table read by the MySQL SQL statement in
// use mode (argument 0) and store mode (argument 1): every value into a
// host value as the SQL interface reads it (one host value per column, kept
// from row to row as a host's variables are), and every value as raw bytes;
// beside the raw client library in the same mode (BM_RawClient).
#include "mysql/MySQLStatementSQL.h"

#include "access/driver/NAError.h"
#include "bench/SQLBenchTable.h"
#include "common/values/Any.h"
#include "common/values/AnyConvert.h"
#include "host/HostConnectionDescription.h"
#include "mysql/MySQLConnection.h"
#include "tests/support/TestHost.h"

#include <benchmark/benchmark.h>

#include <cwchar>
#include <dlfcn.h>
#include <string>

namespace {

using namespace zt_bench;

std::string Text(CNAError* pcl)
{
    const wchar_t* psz = pcl != nullptr ? pcl->pszGetError() : nullptr;
    return psz != nullptr ? std::string(psz, psz + std::wcslen(psz)) : std::string();
}

// The driver's connection, made once; strError says why not.
struct STBench {
    CHostConnectionDescription clHost;
    CMySQLConnection* pclConnection = nullptr;
    CNAError* pclError = nullptr;
};

std::string strStart(STBench& st)
{
    if (Env("ZT_TEST_HOST").empty() || Env("ZT_TEST_PORT").empty())
        return "ZT_TEST_HOST and ZT_TEST_PORT are not set: run against the private server";
    TimedHost();
    void* h = dlopen(ZT_BUILD_DIR "/" HOSTSTANDIN_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    if (h == nullptr || !bInitTQConvFromVM(h, 2, 2) || !bInitTQCalcFromVM(h, 2, 2))
        return "host services not bound";
    st.pclError = new CNAError;
    st.pclError->AddRef();
    st.clHost.SetText(CHostConnectionDescription::TXT_DATASOURCE, Wide(Env("ZT_TEST_HOST")).c_str());
    st.clHost.SetText(CHostConnectionDescription::TXT_USER, Wide(Env("ZT_TEST_USER")).c_str());
    st.clHost.SetText(CHostConnectionDescription::TXT_PASSWORD, Wide(Env("ZT_TEST_PASSWORD")).c_str());
    st.clHost.SetText(CHostConnectionDescription::TXT_DEFAULTDATABASE, Wide(Env("ZT_TEST_DATABASE")).c_str());
    st.clHost.SetText(CHostConnectionDescription::TXT_EXTENDEDINFO,
                      (L"Server Port=" + Wide(Env("ZT_TEST_PORT")) + L";").c_str());
    st.pclConnection = new CMySQLConnection(L"bench", &st.clHost);
    st.pclConnection->AddRef();
    if (!st.pclConnection->bOpen(st.pclError))
        return "driver connection: " + Text(st.pclError);
    std::string strError;
    if (hTableHandle(strError) == nullptr)
        return strError;
    return std::string();
}

STBench* pReady(benchmark::State& state)
{
    static STBench s_st;
    static const std::string s_strError = strStart(s_st);
    if (!s_strError.empty()) {
        state.SkipWithError(s_strError.c_str());
        return nullptr;
    }
    return &s_st;
}

// The statement reads every value: into a host value (bRaw false), or as
// raw bytes.
void RunStatement(benchmark::State& state, bool bRaw)
{
    STBench* pst = pReady(state);
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
            state.SkipWithError(Text(pclError).c_str());
            break;
        }
        unsigned long ulTouched = 0;
        for (;;) {
            if (!pclStmt->bFetch(0)) {
                state.SkipWithError(Text(pclError).c_str());
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
