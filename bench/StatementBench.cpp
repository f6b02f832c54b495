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
#include "bench/SQLBenchTable.h"
#include "host/HostConnectionDescription.h"
#include "mysql/MySQLConnection.h"
#include "tests/support/TestDataAccess.h"
#include "tests/support/TestTable.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <memory>
#include <string>

namespace {

using namespace zt_bench;

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

// Argument 0: on n; 1: on txt.
void BM_StatementBrowse(benchmark::State& state)
{
    STBrowse* pst = pReady(state, strStart);
    if (pst == nullptr)
        return;
    const bool bText = state.range(0) != 0;
    const wchar_t* pszItem = bText ? L"txt" : L"n";
    CTestDataAccess* p = pst->pclAccess;
    RunBrowseBesideKeyset(state, "statement browse", bText, true, pst->hRaw, [&](bool bFirst, int* pbOut) {
        if (!p->bRead(pszItem, bFirst ? 0 : 2)) {
            state.SkipWithError(Text(pst->pclError).c_str());
            return false;
        }
        p->m_pclLast->HEndehors(pbOut);
        return true;
    });
}

} // namespace

BENCHMARK(BM_StatementBrowse)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3)->UseManualTime();
