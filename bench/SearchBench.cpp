// A key search on a three-component composite key (set, written into a
// command, its formatted SQL) and a filter with two bounds, each measured
// beside the raw client's point lookup by primary key (BM_RawPointLookup in
// SQLBenchTable.cpp) in the same run. The record, the searches and the
// command are made once, outside the timed loops.
#include "bench/SQLBenchTable.h"

#include "access/driver/NAError.h"
#include "access/driver/NaDriver.h"
#include "access/sql/NACommand.h"
#include "access/sql/NAFilter.h"
#include "access/sql/NARecherche.h"
#include "access/statement/NARecord.h"
#include "tests/support/ClosedConnection.h"
#include "tests/support/TestTable.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

struct SSearchSetUp {
    CNADriver clDriver;
    CNAError* pError = nullptr;
    CMySQLKindConnection* pCnx = nullptr;
    std::unique_ptr<CTestTable> pTable;
    CNARecord* pRecord = nullptr;
    CNARecherche* pSearch = nullptr;
    CNAFilter* pFilter = nullptr;
    CNACommand* pCommand = nullptr;
    INAItemDescription* piKey = nullptr;
    INAItemDescription* piFirst = nullptr;
};

std::string strStart(SSearchSetUp& st)
{
    const std::string strError = zt_bench::strBindHost();
    if (!strError.empty())
        return strError;
    CNADriver::s_pclDriver = &st.clDriver;
    st.pError = new CNAError;
    st.pError->AddRef();
    st.pCnx = new CMySQLKindConnection;
    st.pCnx->AddRef();
    st.pTable.reset(new CTestTable(st.pError, st.pCnx, L"rows"));
    CTestTable& t = *st.pTable;
    t.Add(L"n", NA_IT_I4, 4, CTestTable::DUPLICATES, false);
    t.Add(L"txt", NA_IT_TEXTE, 21, 0, false);
    t.Add(L"day", NA_IT_DATE8, 8, 0, false);
    t.AddComposite(L"key3", CTestTable::UNIQUE, {L"n", L"txt", L"day"}, false);
    st.pRecord = t.NewRecord(st.pError, st.pCnx);
    if (st.pRecord == nullptr)
        return "record not built";
    st.piKey = t->pclNAGetItemNoRef(L"key3", 0);
    st.piFirst = t->pclNAGetItemNoRef(L"n", 0);
    st.pSearch = new CNARecherche(st.pError, st.pCnx);
    st.pSearch->AddRef();
    st.pFilter = new CNAFilter(st.pError, st.pCnx);
    st.pFilter->AddRef();
    st.pCommand = new CNACommand(st.pError, st.pCnx);
    st.pCommand->AddRef();
    return std::string();
}

// The image of (n, txt, day): four bytes, twenty, eight.
void KeyImage(CAny* pValue, int n)
{
    unsigned char aby[4 + 20 + 8] = {};
    std::memcpy(aby, &n, 4);
    const char szText[] = "row 'x' 50%";
    std::memcpy(aby + 4, szText, sizeof(szText) - 1);
    std::memcpy(aby + 24, "20240315", 8);
    pValue->__SetType(TQTYPE_BIN, 0);
    pValue->pclGetTraitement()->SetValue(aby, sizeof(aby));
}

void BM_CompositeKeySearch(benchmark::State& state)
{
    SSearchSetUp* pst = zt_bench::pReady(state, strStart);
    if (pst == nullptr)
        return;
    CAny clImage;
    int n = 0;
    for (auto _ : state) {
        KeyImage(&clImage, ++n);
        if (!pst->pSearch->bSetRecherche(pst->pRecord, pst->piKey, &clImage, static_cast<eNA_PARSEDIRECTION>(0), 1,
                                         0) ||
            !pst->pSearch->bGetSQL(pst->pCommand, nullptr, pst->pRecord)) {
            state.SkipWithError("search refused");
            return;
        }
        benchmark::DoNotOptimize(pst->pCommand->pszGetFormatedSQLA(CNACommand::PTC_ALL));
    }
}

void BM_FilterTwoBounds(benchmark::State& state)
{
    SSearchSetUp* pst = zt_bench::pReady(state, strStart);
    if (pst == nullptr)
        return;
    CAny lo;
    CAny hi;
    int n = 0;
    for (auto _ : state) {
        ++n;
        lo.__SetType(TQTYPE_I4, 0);
        lo.pclGetTraitement()->SetValue(&n);
        const int nHigh = n + 1000;
        hi.__SetType(TQTYPE_I4, 0);
        hi.pclGetTraitement()->SetValue(&nHigh);
        if (!pst->pFilter->bSetFilter(pst->pRecord, pst->piFirst, &lo, 1, &hi, 0, nullptr, 0)) {
            state.SkipWithError("filter refused");
            return;
        }
        pst->pFilter->ActivateFilter(1);
        if (!pst->pFilter->bGetSQL(pst->pCommand, nullptr, pst->pRecord)) {
            state.SkipWithError("filter not written");
            return;
        }
        benchmark::DoNotOptimize(pst->pCommand->pszGetFormatedSQLA(CNACommand::PTC_ALL));
    }
}

} // namespace

BENCHMARK(BM_CompositeKeySearch)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_FilterTwoBounds)->Unit(benchmark::kMicrosecond)->UseRealTime();
