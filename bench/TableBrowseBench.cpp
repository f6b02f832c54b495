// Rows per second of a browse of the benchmark table by the host's table
// object: INATable::bHLitxxx first, then next to the end, each record taken
// with bGetRecord and every value read out of it; on the primary key n and on
// the text txt (an index of its own). Beside it in the same run, the raw
// client's keyset loop over the same order, 100 rows per query, each result
// used as it streams. Also the cost of the first and of the last tenth of the
// browse: the next blocks cost the same all the way.
#include "access/driver/INADataSourceDescription.h"
#include "access/driver/INADriver.h"
#include "access/driver/NAItemDescription.h"
#include "access/statement/NAKXRecord.h"
#include "access/table/INATable.h"
#include "bench/SQLBenchTable.h"
#include "host/HostConnectionDescription.h"
#include "host/HostContext.h"

#include <benchmark/benchmark.h>

#include <cwchar>
#include <string>
#include <vector>

namespace {

using namespace zt_bench;

const eNA_PARSEDIRECTION FIRST = static_cast<eNA_PARSEDIRECTION>(0);
const eNA_PARSEDIRECTION NEXT = static_cast<eNA_PARSEDIRECTION>(2);
const eNA_LOCKTYPE NO_LOCK = static_cast<eNA_LOCKTYPE>(0);

std::string Text(INAError* pi)
{
    const wchar_t* psz = pi != nullptr ? pi->pszGetError() : nullptr;
    return psz != nullptr ? std::string(psz, psz + std::wcslen(psz)) : std::string("(no error)");
}

// The table opened as the host opens it, in one context, kept for the run.
struct STTable {
    CHostConnectionDescription clHost;
    INADriver* piDriver = nullptr;
    INADataSourceDescription* piDescription = nullptr;
    std::vector<INAItemDescription*> apiItem;
    INATable* piTable = nullptr;
    CHostContext clContext{1, 1};
    MYSQL* hRaw = nullptr;
};

std::string strStart(STTable& st)
{
    std::string strError;
    st.hRaw = hKeysetHandle(strError);
    if (st.hRaw == nullptr)
        return strError;
    st.piDriver = piHostDriver();
    if (st.piDriver == nullptr)
        return "no driver";
    st.clHost.SetText(CHostConnectionDescription::TXT_CONNECTIONNAME, L"bench");
    st.clHost.SetText(CHostConnectionDescription::TXT_PROVIDER, L"MySQL");
    DescribeServer(st.clHost);
    st.clHost.SetText(CHostConnectionDescription::TXT_DEFAULTDATABASE, L"ztbench_sql");
    st.piDescription = st.piDriver->piGetTableDesc(L"rows200k", &st.clHost);
    if (st.piDescription == nullptr)
        return "piGetTableDesc: " + Text(st.piDriver->piGetLastError());
    for (unsigned int i = 0; i < st.piDescription->nGetNumItems(); i++) {
        INAItemDescription* pi = st.piDescription->piNAGetItem(i);
        if (pi != nullptr && !pi->bIsComposedKey())
            st.apiItem.push_back(pi);
        else if (pi != nullptr)
            pi->nExternalRelease();
    }
    if (st.apiItem.size() != kTableColumns)
        return "the description has not the table's five items";
    st.piTable = st.piDriver->piGetTable(&st.clHost, st.piDescription);
    if (st.piTable == nullptr)
        return "piGetTable: " + Text(st.piDriver->piGetLastError());
    if (!st.piTable->bHOuvre(&st.clContext, static_cast<eNA_ACCESS>(0), L""))
        return "bHOuvre: " + Text(st.piDriver->piGetLastError());
    return std::string();
}

// Reads on in the direction and takes the record with every value; false
// (the benchmark stopped) on a failure. *pbOut: out of range.
bool bStep(benchmark::State& state, STTable* pst, const wchar_t* pszItem, eNA_PARSEDIRECTION eDirection, int* pbOut,
           unsigned long* pulSum)
{
    INATable* pi = pst->piTable;
    eNA_LOCKTYPE eLock = NO_LOCK;
    if (!pi->bHLitxxx(&pst->clContext, pszItem, eDirection, 0, NO_LOCK, &eLock, 0) ||
        !pi->bHEnDehors(&pst->clContext, pszItem, pbOut)) {
        state.SkipWithError(Text(pi->piGetLastError(&pst->clContext)).c_str());
        return false;
    }
    if (*pbOut)
        return true;
    CNAKXRecord* pRecord = nullptr;
    if (!pi->bGetRecord(&pst->clContext, &pRecord) || pRecord == nullptr) {
        state.SkipWithError(Text(pi->piGetLastError(&pst->clContext)).c_str());
        return false;
    }
    CAny v;
    for (INAItemDescription* piItem : pst->apiItem) {
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
        return bStep(state, pst, pszItem, bFirst ? FIRST : NEXT, pbOut, &ulSum);
    });
    benchmark::DoNotOptimize(ulSum);
}

} // namespace

BENCHMARK(BM_TableBrowse)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3)->UseManualTime();
