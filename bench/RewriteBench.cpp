// A host-parsed query of ten output columns with WHERE, GROUP BY, ORDER BY
// and a filter rewritten by a command (bFormatCondition and the formatted
// SQL, the digest made once), beside the raw client running the rewritten
// text on the private server's shared table: the rewriting is a small part
// of what the query costs.
#include "access/driver/NAError.h"
#include "access/sql/NACommand.h"
#include "access/sql/SQLParserInfo.h"
#include "bench/SQLBenchTable.h"
#include "host/HostQueryParametersValue.h"
#include "tests/support/ClosedConnection.h"
#include "tests/support/HandDescriptions.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

namespace {

const wchar_t kQuery[] =
    L"SELECT n, big, txt, amount, stamp, n + 1 AS n1, big - n AS d1, UPPER(txt) AS up, amount * 2 AS a2, "
    L"LEFT(txt, 3) AS l3 FROM rows WHERE n > {p} AND (txt LIKE '\u00e9%' OR big <> 0) GROUP BY n "
    L"ORDER BY n DESC";

// The query's parse over a catalogue of the shared table, its digest, the
// connection's rules and the filter, made for one benchmark run.
struct SRewrite {
    CNADriver* pclFormer = CNADriver::s_pclDriver;
    std::unique_ptr<CHandCatalogue> pHand;
    CHostQueryParametersValue clValues;
    std::unique_ptr<CHostSQLParse> pParse;
    CSQLParserInfo* pInfo = nullptr;
    CMySQLKindConnection* pCnx = nullptr;
    CNACommand* pFilter = nullptr;

    std::string strStart()
    {
        pHand.reset(new CHandCatalogue);
        pHand->pclAdd(L"rows", L"ztbench_sql.rows200k", {{L"n", NA_IT_I4, CNAItemDescription::KF_PRIMARY | CNAItemDescription::KF_UNIQUE, false},
                                                         {L"big", NA_IT_I8, 0, true},
                                                         {L"txt", NA_IT_TEXTE, 0, true},
                                                         {L"amount", NA_IT_R8, 0, true},
                                                         {L"stamp", NA_IT_DATETIME, 0, true}});
        int n = static_cast<int>(zt_bench::kTableRows) - 1000;
        CAny& v = clValues.Value(L"p");
        v.__SetType(TQTYPE_I4, 0);
        v.pclGetTraitement()->SetValue(&n);
        pParse = CHostSQLParse::pParse(kQuery, &pHand->m_clCatalogue, &clValues);
        if (pParse == nullptr)
            return "the query does not parse";
        CNAError* pclError = pHand->pDriver()->pclGetError();
        pInfo = new CSQLParserInfo(pclError, pParse.get(), &clValues, 0);
        pInfo->AddRef();
        pCnx = new CMySQLKindConnection;
        pCnx->AddRef();
        pFilter = new CNACommand(pclError, pCnx);
        pFilter->AddRef();
        pFilter->bComplete(L"`rows200k`.`stamp` IS NOT NULL", static_cast<unsigned int>(-1));
        return std::string();
    }
    ~SRewrite()
    {
        if (pFilter != nullptr)
            pFilter->nRelease();
        if (pInfo != nullptr)
            pInfo->nRelease();
        if (pCnx != nullptr)
            pCnx->nRelease();
        pParse.reset();
        pHand.reset();
        CNADriver::s_pclDriver = pclFormer;
    }
    // The rewritten query in the connection's code page.
    std::string strRewritten()
    {
        CNACommand cmd(pHand->pDriver()->pclGetError(), pCnx);
        if (!cmd.bFormatCondition(pInfo, pFilter, 1, 0))
            return std::string();
        const char* psz = cmd.pszGetFormatedSQLA(CNACommand::PTC_ALL);
        return psz != nullptr ? psz : "";
    }
};

// bFormatCondition and the formatted text, the digest made once.
void BM_RewriteQuery(benchmark::State& state)
{
    const std::string strHost = zt_bench::strBindHost();
    if (!strHost.empty()) {
        state.SkipWithError(strHost.c_str());
        return;
    }
    SRewrite st;
    const std::string strError = st.strStart();
    if (!strError.empty() || st.strRewritten().empty()) {
        state.SkipWithError(strError.empty() ? "the query is not rewritten" : strError.c_str());
        return;
    }
    for (auto _ : state) {
        CNACommand cmd(st.pHand->pDriver()->pclGetError(), st.pCnx);
        cmd.bFormatCondition(st.pInfo, st.pFilter, 1, 0);
        benchmark::DoNotOptimize(cmd.pszGetFormatedSQLA(CNACommand::PTC_ALL));
    }
}

// The raw client running the rewritten text: the baseline.
void BM_RewriteRawQuery(benchmark::State& state)
{
    std::string strError;
    MYSQL* h = zt_bench::hTableHandle(strError);
    if (h == nullptr) {
        state.SkipWithError(strError.c_str());
        return;
    }
    std::string strQuery;
    {
        SRewrite st;
        strError = st.strStart();
        strQuery = st.strRewritten();
    }
    if (strQuery.empty()) {
        state.SkipWithError(strError.empty() ? "the query is not rewritten" : strError.c_str());
        return;
    }
    long long llRows = 0;
    for (auto _ : state) {
        const long long ll =
            zt_bench::llRawQuery(state, h, strQuery.c_str(), static_cast<unsigned long>(strQuery.size()), true);
        if (ll < 0)
            return;
        llRows += ll;
    }
    state.SetItemsProcessed(llRows);
    state.SetLabel(std::to_string(llRows / static_cast<long long>(state.iterations())) + " rows");
}

} // namespace

BENCHMARK(BM_RewriteQuery)->Unit(benchmark::kMicrosecond)->MinTime(1.0);
BENCHMARK(BM_RewriteRawQuery)->Unit(benchmark::kMicrosecond)->MinTime(2.0)->UseRealTime();
