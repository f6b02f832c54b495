// The driver's own queries and counts over the benchmark table, each beside
// the raw client library doing the same work in the same run:
// s_bDoInternalParse beside mysql_use_result and mysql_fetch_row with every
// value decoded and joined by TAB and CR LF into a wide string; a record
// count by COUNT beside the raw SELECT COUNT(*); and a count a complete
// table cache answers. The ratio of the texts' times is printed when the
// program ends.
#include "access/driver/INADataSourceDescription.h"
#include "access/driver/INADriver.h"
#include "access/driver/NAError.h"
#include "access/driver/NaDriver.h"
#include "access/statement/NAStatement.h"
#include "access/table/NADataAccess.h"
#include "access/table/NAInternalParse.h"
#include "bench/SQLBenchTable.h"
#include "common/text/XYStringConcat.h"
#include "host/HostConnectionDescription.h"
#include "mysql/MySQLConnection.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>


namespace {

using namespace zt_bench;

const char kCountQuery[] = "SELECT COUNT(*) FROM ztbench_sql.rows200k";

// Milliseconds per text of each side in its last run.
struct CTextRatio {
    double dInternal = 0;
    double dRaw = 0;
    ~CTextRatio()
    {
        if (dInternal > 0 && dRaw > 0)
            std::printf("ratio internal query text / raw text join = %.2f (%.1f / %.1f ms per text)\n",
                        dInternal / dRaw, dInternal, dRaw);
    }
} g_clTextRatio;

// Milliseconds per iteration since tStart.
double dMillisecondsEach(const benchmark::State& state, std::chrono::steady_clock::time_point tStart)
{
    const std::chrono::duration<double, std::milli> d = std::chrono::steady_clock::now() - tStart;
    return state.iterations() > 0 ? d.count() / static_cast<double>(state.iterations()) : 0;
}

struct STBench {
    CHostConnectionDescription clHost;
    CHostConnectionDescription clHostTable;
    INADriver* piDriver = nullptr;
    CNAError* pclError = nullptr;
    CMySQLConnection* pclConnection = nullptr;
    CMySQLConnection* pclTableConnection = nullptr;
};

std::string strStart(STBench& st)
{
    std::string strError;
    if (hTableHandle(strError) == nullptr)
        return strError;
    st.piDriver = piHostDriver();
    if (st.piDriver == nullptr)
        return "no driver";
    st.pclError = new CNAError;
    st.pclError->AddRef();
    // Both sides read in the same character set.
    for (CHostConnectionDescription* p : {&st.clHost, &st.clHostTable}) {
        p->SetText(CHostConnectionDescription::TXT_CONNECTIONNAME, L"bench39");
        p->SetText(CHostConnectionDescription::TXT_PROVIDER, L"MySQL");
        DescribeServer(*p);
        p->SetText(CHostConnectionDescription::TXT_EXTENDEDINFO,
                   (L"Server Port=" + Wide(Env("ZT_TEST_PORT")) + L";ZT Unicode Support=0").c_str());
    }
    st.clHostTable.SetText(CHostConnectionDescription::TXT_DEFAULTDATABASE, L"ztbench_sql");
    strError = strOpenConnection(st.clHost, L"bench39", st.pclError, &st.pclConnection);
    if (strError.empty())
        strError = strOpenConnection(st.clHostTable, L"bench39t", st.pclError, &st.pclTableConnection);
    return strError;
}

void BM_InternalParseText(benchmark::State& state)
{
    // Other benchmarks of the process set drivers of their own.
    CHostDriverInUse clDriverInUse;
    STBench* pst = pReady(state, strStart);
    if (pst == nullptr)
        return;
    size_t nChars = 0;
    const auto tStart = std::chrono::steady_clock::now();
    for (auto _ : state) {
        CXYStringConcat<wchar_t> clText;
        if (!CNAInternalParse::s_bDoInternalParse(kTableQueryW, pst->pclError, pst->pclConnection, &clText, L"\r\n",
                                                  L"\t")) {
            state.SkipWithError("s_bDoInternalParse failed");
            return;
        }
        nChars = clText.m_nLength;
        benchmark::DoNotOptimize(clText.pszGet());
    }
    g_clTextRatio.dInternal = dMillisecondsEach(state, tStart);
    state.counters["chars"] = static_cast<double>(nChars);
    state.SetItemsProcessed(state.iterations() * kTableRows);
}

// The raw loop building the same text: Latin-1 bytes to wide characters.
void BM_RawTextJoin(benchmark::State& state)
{
    CHostDriverInUse clDriverInUse;
    std::string strError;
    MYSQL* h = hTableHandle(strError);
    if (h == nullptr) {
        state.SkipWithError(strError.c_str());
        return;
    }
    size_t nChars = 0;
    const auto tStart = std::chrono::steady_clock::now();
    for (auto _ : state) {
        if (__mysql_real_query(h, kTableQuery, std::strlen(kTableQuery)) != 0) {
            state.SkipWithError(__mysql_error(h));
            return;
        }
        MYSQL_RES* p = __mysql_use_result(h);
        if (p == nullptr) {
            state.SkipWithError(__mysql_error(h));
            return;
        }
        std::wstring strText;
        const unsigned int nColumns = __mysql_num_fields(p);
        bool bFirst = true;
        while (MYSQL_ROW row = __mysql_fetch_row(p)) {
            const unsigned long* pnLength = __mysql_fetch_lengths(p);
            if (!bFirst)
                strText += L"\r\n";
            bFirst = false;
            for (unsigned int i = 0; i < nColumns; i++) {
                if (i > 0)
                    strText += L'\t';
                for (unsigned long j = 0; row[i] != nullptr && j < pnLength[i]; j++)
                    strText += static_cast<wchar_t>(static_cast<unsigned char>(row[i][j]));
            }
        }
        __mysql_free_result(p);
        nChars = strText.size();
        benchmark::DoNotOptimize(strText.data());
    }
    g_clTextRatio.dRaw = dMillisecondsEach(state, tStart);
    state.counters["chars"] = static_cast<double>(nChars);
    state.SetItemsProcessed(state.iterations() * kTableRows);
}

// A data access over the table, opened as the host opens it.
CNADataAccess* pclTableAccess(STBench* pst, std::string& strError)
{
    static CNADataAccess* s_p = [&]() -> CNADataAccess* {
        INADataSourceDescription* pi = pst->piDriver->piGetTableDesc(L"rows200k", &pst->clHostTable);
        if (pi == nullptr)
            return nullptr;
        CNADataAccess* p = CNADriver::s_pclDriver->pclAllocDataAccess(pi, pst->pclTableConnection, pst->pclError);
        pi->nExternalRelease();
        if (p == nullptr)
            return nullptr;
        p->AddRef();
        if (!p->bHOuvre(static_cast<eNA_ACCESS>(0), L""))
            return nullptr;
        return p;
    }();
    if (s_p == nullptr) {
        const wchar_t* psz = pst->pclError->pszGetError();
        strError = "table: " + std::string(psz, psz + std::wcslen(psz));
    }
    return s_p;
}

void BM_CountByCOUNT(benchmark::State& state)
{
    CHostDriverInUse clDriverInUse;
    STBench* pst = pReady(state, strStart);
    if (pst == nullptr)
        return;
    std::string strError;
    CNADataAccess* p = pclTableAccess(pst, strError);
    if (p == nullptr) {
        state.SkipWithError(strError.c_str());
        return;
    }
    for (auto _ : state) {
        long long ll = 0;
        if (!p->bHNbEnr(&ll, 0x10, 0) || ll != kTableRows) {
            state.SkipWithError("bHNbEnr failed");
            return;
        }
    }
}

void BM_RawCount(benchmark::State& state)
{
    CHostDriverInUse clDriverInUse;
    std::string strError;
    MYSQL* h = hTableHandle(strError);
    if (h == nullptr) {
        state.SkipWithError(strError.c_str());
        return;
    }
    for (auto _ : state) {
        if (llRawQuery(state, h, kCountQuery, sizeof(kCountQuery) - 1, true) != 1)
            return;
    }
}

// The count of a query sent as written, once its table cache is complete.
void BM_CountFromCompleteCache(benchmark::State& state)
{
    CHostDriverInUse clDriverInUse;
    STBench* pst = pReady(state, strStart);
    if (pst == nullptr)
        return;
    static CNADataAccess* s_p = nullptr;
    if (s_p == nullptr) {
        s_p = CNADriver::s_pclDriver->pclAllocDataAccess(nullptr, pst->pclConnection, pst->pclError);
        s_p->AddRef();
        CNAStatement* pclStatement = nullptr;
        long long ll = 0;
        if (!s_p->bExecuteQueryInternal(&pclStatement, L"bench", kTableQueryW) || !s_p->bHNbEnr(&ll, 0x10, 0)) {
            const wchar_t* psz = pst->pclError->pszGetError();
            static std::string s_strError;
            s_strError = "the query or its first count: " + std::string(psz, psz + std::wcslen(psz));
            state.SkipWithError(s_strError.c_str());
            return;
        }
        if (pclStatement != nullptr)
            pclStatement->nRelease();
    }
    for (auto _ : state) {
        long long ll = 0;
        if (!s_p->bHNbEnr(&ll, 0x10, 0) || ll != kTableRows) {
            state.SkipWithError("bHNbEnr failed");
            return;
        }
    }
}

} // namespace

BENCHMARK(BM_InternalParseText)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_RawTextJoin)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_CountByCOUNT)->Unit(benchmark::kMillisecond)->MinTime(1.0)->UseRealTime();
BENCHMARK(BM_RawCount)->Unit(benchmark::kMillisecond)->MinTime(1.0)->UseRealTime();
BENCHMARK(BM_CountFromCompleteCache)->Unit(benchmark::kNanosecond)->MinTime(0.5)->UseRealTime();
