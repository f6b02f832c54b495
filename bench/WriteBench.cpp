// Rows per second of the writes of the host's table object on the private
// server: 10,000 adds, then a modify and a delete of each row by its key,
// each one statement with autocommit, the values put in the record buffer
// the host gets from bGetRecord. Beside them in the same run, the raw client
// sends the same rows as escaped INSERT, UPDATE and DELETE texts. The
// team's target is at least 0.8 of the raw rate for each; the ratios of
// the rates and of the processor times per row are printed.
#include "access/driver/INADataSourceDescription.h"
#include "access/driver/INADriver.h"
#include "access/driver/NAError.h"
#include "access/statement/NAKXRecord.h"
#include "access/table/NADataAccess.h"
#include "access/table/NATable.h"
#include "bench/SQLBenchTable.h"
#include "common/values/Any.h"
#include "host/HostConnectionDescription.h"
#include "host/HostContext.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <memory>
#include <string>


namespace {

using namespace zt_bench;
typedef std::chrono::steady_clock Clock;

constexpr int kRows = 10000;
constexpr eNA_LOCKTYPE kNoLock = static_cast<eNA_LOCKTYPE>(0);

struct STWrite {
    CHostConnectionDescription clHost;
    CHostContext clContext{40, 1};
    INADriver* piDriver = nullptr;
    INADataSourceDescription* piDescription = nullptr;
    INAItemDescription* apiItem[3] = {};
    INATable* piTable = nullptr;
    MYSQL* hRaw = nullptr;
};

bool bRaw(MYSQL* h, const std::string& s)
{
    return __mysql_real_query(h, s.data(), static_cast<unsigned long>(s.size())) == 0;
}

std::string strStart(STWrite& st)
{
    std::string strError;
    if (hTableHandle(strError) == nullptr)
        return strError;
    st.hRaw = hRawConnect("ztbench_sql", "utf8mb4", strError);
    if (st.hRaw == nullptr)
        return strError;
    if (!bRaw(st.hRaw, "DROP TABLE IF EXISTS w40") ||
        !bRaw(st.hRaw, "CREATE TABLE w40 (id INT NOT NULL PRIMARY KEY, v INT NULL, txt VARCHAR(40) NULL) "
                       "ENGINE=InnoDB CHARACTER SET utf8mb4"))
        return "raw connection: " + std::string(__mysql_error(st.hRaw));
    st.piDriver = piHostDriver();
    if (st.piDriver == nullptr)
        return "no driver";
    DescribeServer(st.clHost);
    st.clHost.SetText(CHostConnectionDescription::TXT_DEFAULTDATABASE, L"ztbench_sql");
    st.piDescription = st.piDriver->piGetTableDesc(L"w40", &st.clHost);
    if (st.piDescription == nullptr)
        return "no description of w40";
    const wchar_t* apszItem[] = {L"id", L"v", L"txt"};
    for (int i = 0; i < 3; i++)
        if ((st.apiItem[i] = st.piDescription->piNAGetItem(apszItem[i])) == nullptr)
            return "no item in w40";
    st.piTable = st.piDriver->piGetTable(&st.clHost, st.piDescription);
    if (st.piTable == nullptr || !st.piTable->bHOuvre(&st.clContext, static_cast<eNA_ACCESS>(0), nullptr))
        return "the table does not open";
    return std::string();
}

std::string Error(STWrite& st)
{
    return ErrorText(static_cast<CNAError*>(st.piTable->piGetLastError(&st.clContext)));
}

// Row i, in the record buffer as the host fills it.
bool bSetRow(STWrite& st, int i, int nValue)
{
    CNAKXRecord* pRecord = nullptr;
    if (!st.piTable->bGetRecord(&st.clContext, &pRecord) || pRecord == nullptr)
        return false;
    SetRecordText(pRecord, st.apiItem[0], std::to_wstring(i));
    SetRecordText(pRecord, st.apiItem[1], std::to_wstring(nValue));
    SetRecordText(pRecord, st.apiItem[2], L"\u00E9\u20AC\u03A9\u4E2D 'row' " + std::to_wstring(i));
    pRecord->nRelease();
    return true;
}

// Seconds of the driver's and of the raw client's pass over the rows; the
// operation: 0 add, 1 modify, 2 delete.
bool bDriverPass(STWrite& st, int nOperation, double* pdSeconds)
{
    INATable* pi = st.piTable;
    CHostContext* pc = &st.clContext;
    // The record read before a modify or delete stands for the host's read
    // of the row: no round trip, as the raw side has none.
    CNADataAccess* pAccess = static_cast<CNATable*>(pi)->_pclFindDataAccess(pc);
    if (pAccess == nullptr)
        return false;
    pAccess->nRelease();
    const auto t0 = Clock::now();
    for (int i = 1; i <= kRows; i++) {
        int bResult = 0;
        if (nOperation == 0) {
            bResult = bSetRow(st, i, i) && pi->bHAjoute(pc, 0, kNoLock);
        } else {
            if (!bSetRow(st, i, i) || !pAccess->bSetCurrentRecordRead(0))
                return false;
            if (nOperation == 1)
                bResult = bSetRow(st, i, i + 1) && pi->bHModifie(pc, 0, 0, kNoLock);
            else
                bResult = pi->bHSupprime(pc, 0, kNoLock);
        }
        if (!bResult)
            return false;
    }
    *pdSeconds += std::chrono::duration<double>(Clock::now() - t0).count();
    return true;
}

bool bRawPass(STWrite& st, int nOperation, double* pdSeconds)
{
    const std::string strText = "\xC3\xA9\xE2\x82\xAC\xCE\xA9\xE4\xB8\xAD 'row' ";
    const auto t0 = Clock::now();
    for (int i = 1; i <= kRows; i++) {
        const std::string strId = std::to_string(i);
        std::string s;
        if (nOperation == 0)
            s = "INSERT INTO w40 (id, v, txt) VALUES (" + strId + ", " + strId + ", '" +
                RawEscaped(st.hRaw, strText + strId) + "')";
        else if (nOperation == 1)
            s = "UPDATE w40 SET v = " + std::to_string(i + 1) + " WHERE id = " + strId;
        else
            s = "DELETE FROM w40 WHERE id = " + strId;
        if (!bRaw(st.hRaw, s))
            return false;
    }
    *pdSeconds += std::chrono::duration<double>(Clock::now() - t0).count();
    return true;
}

void BM_Writes(benchmark::State& state)
{
    // Other benchmarks of the process set drivers of their own.
    CHostDriverInUse clDriverInUse;
    STWrite* pst = pReady(state, strStart);
    if (pst == nullptr)
        return;
    const int nOperation = static_cast<int>(state.range(0));
    double dDriver = 0, dRaw = 0, dDriverCPU = 0, dRawCPU = 0;
    for (auto _ : state) {
        // Both sides start from the same table: empty for adds, full for
        // modifies and deletes.
        state.PauseTiming();
        bRaw(pst->hRaw, "DELETE FROM w40");
        double dFill = 0;
        if (nOperation > 0 && !bRawPass(*pst, 0, &dFill)) {
            state.SkipWithError("filling for the driver");
            return;
        }
        state.ResumeTiming();
        double dCPU = dThreadCPU();
        const bool bDriverDone = bDriverPass(*pst, nOperation, &dDriver);
        dDriverCPU += dThreadCPU() - dCPU;
        if (!bDriverDone) {
            state.SkipWithError(("driver: " + Error(*pst)).c_str());
            return;
        }
        state.PauseTiming();
        bRaw(pst->hRaw, "DELETE FROM w40");
        if (nOperation > 0 && !bRawPass(*pst, 0, &dFill)) {
            state.SkipWithError("filling for the raw client");
            return;
        }
        state.ResumeTiming();
        dCPU = dThreadCPU();
        const bool bRawDone = bRawPass(*pst, nOperation, &dRaw);
        dRawCPU += dThreadCPU() - dCPU;
        if (!bRawDone) {
            state.SkipWithError("raw client");
            return;
        }
    }
    const double dRows = static_cast<double>(kRows) * static_cast<double>(state.iterations());
    const double dDriverRate = dDriver > 0 ? dRows / dDriver : 0;
    const double dRawRate = dRaw > 0 ? dRows / dRaw : 0;
    state.counters["driver_rows_per_s"] = dDriverRate;
    state.counters["raw_rows_per_s"] = dRawRate;
    state.counters["ratio_to_raw"] = dRawRate > 0 ? dDriverRate / dRawRate : 0;
    static const char* const apszName[] = {"adds", "modifies", "deletes"};
    // The processor time per row tells the driver's own work from the
    // server's, which dominates the rate on a busy machine.
    std::printf("%s by key: driver %.0f rows/s, raw client %.0f rows/s, ratio %.3f (the team's target 0.8); "
                "processor time per row: driver %.1f us, raw client %.1f us, ratio %.2f\n",
                apszName[nOperation], dDriverRate, dRawRate, dRawRate > 0 ? dDriverRate / dRawRate : 0,
                dDriverCPU / dRows * 1e6, dRawCPU / dRows * 1e6, dRawCPU > 0 ? dDriverCPU / dRawCPU : 0);
}

BENCHMARK(BM_Writes)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace
