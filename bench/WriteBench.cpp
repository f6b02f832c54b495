// Rows per second of the data access's writes on the private server: 10,000
// adds, then a modify and a delete of each row by its key, each one
// statement with autocommit. Beside them in the same run, the raw client
// sends the same rows as escaped INSERT, UPDATE and DELETE texts. The goal
// is at least 0.8 of the raw rate for each; the ratios are printed.
#include "access/driver/NAError.h"
#include "access/driver/NAItemDescription.h"
#include "access/statement/NAColumn.h"
#include "access/statement/NARecord.h"
#include "bench/SQLBenchTable.h"
#include "host/HostConnectionDescription.h"
#include "mysql/MySQLConnection.h"
#include "tests/support/TestDataAccess.h"
#include "tests/support/TestTable.h"

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
    CMySQLConnection* pclConnection = nullptr;
    CNAError* pclError = nullptr;
    std::unique_ptr<CTestTable> pHost;
    std::unique_ptr<CTestTable> pDatabase;
    CTestDataAccess* pclAccess = nullptr;
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
    st.hRaw = __mysql_init(nullptr);
    if (st.hRaw == nullptr ||
        __mysql_real_connect(st.hRaw, Env("ZT_TEST_HOST").c_str(), Env("ZT_TEST_USER").c_str(),
                             Env("ZT_TEST_PASSWORD").c_str(), "ztbench_sql",
                             static_cast<unsigned>(std::strtoul(Env("ZT_TEST_PORT").c_str(), nullptr, 10)), nullptr,
                             0) == nullptr ||
        !bRaw(st.hRaw, "SET NAMES utf8mb4") || !bRaw(st.hRaw, "DROP TABLE IF EXISTS w40") ||
        !bRaw(st.hRaw, "CREATE TABLE w40 (id INT NOT NULL PRIMARY KEY, v INT NULL, txt VARCHAR(40) NULL) "
                       "ENGINE=InnoDB CHARACTER SET utf8mb4"))
        return "raw connection: " + std::string(st.hRaw != nullptr ? __mysql_error(st.hRaw) : "no handle");
    if (piHostDriver() == nullptr)
        return "no driver";
    st.pclError = new CNAError;
    st.pclError->AddRef();
    DescribeServer(st.clHost);
    st.clHost.SetText(CHostConnectionDescription::TXT_DEFAULTDATABASE, L"ztbench_sql");
    strError = strOpenConnection(st.clHost, L"bench", st.pclError, &st.pclConnection);
    if (!strError.empty())
        return strError;
    for (std::unique_ptr<CTestTable>* pp : {&st.pHost, &st.pDatabase}) {
        pp->reset(new CTestTable(st.pclError, st.pclConnection, L"w40"));
        CTestTable& t = **pp;
        t.Add(L"id", NA_IT_I4, 4, CTestTable::UNIQUE | CNAItemDescription::KF_PRIMARY, false);
        t.Add(L"v", NA_IT_I4, 4);
        t.Add(L"txt", NA_IT_UNICODE, 82);
        t->UpdateRecordSize();
    }
    st.pclAccess = new CTestDataAccess(st.pHost->Get(), st.pclConnection, st.pclError);
    if (!st.pclAccess->Open(st.pDatabase->Get()))
        return "record: " + ErrorText(st.pclError);
    return std::string();
}

void SetColumn(CNADataAccess* p, const wchar_t* pszItem, const std::wstring& s)
{
    CAny v;
    v.__SetType(TQTYPE_DSTRW, 0);
    v.pclGetTraitement()->SetValue(s.c_str(), static_cast<unsigned int>(s.size() * sizeof(wchar_t)));
    v.SetFlags(0);
    p->pclGetCurrentRecordNoRef()->pclGetColumnNoRef(pszItem)->bSetValue(&v, 0);
}

// The row i as the record read: what a modify or delete by key finds.
void SetRow(CNADataAccess* p, int i, int nValue)
{
    SetColumn(p, L"id", std::to_wstring(i));
    SetColumn(p, L"v", std::to_wstring(nValue));
    SetColumn(p, L"txt", L"\u00E9\u20AC\u03A9\u4E2D 'row' " + std::to_wstring(i));
}

std::string Escaped(MYSQL* h, const std::string& s)
{
    std::string strOut(s.size() * 2 + 1, '\0');
    const unsigned long n = __mysql_real_escape_string(h, &strOut[0], s.data(), static_cast<unsigned long>(s.size()));
    strOut.resize(n);
    return strOut;
}

// Seconds of the driver's and of the raw client's pass over the rows; the
// operation: 0 add, 1 modify, 2 delete.
bool bDriverPass(STWrite& st, int nOperation, double* pdSeconds)
{
    CTestDataAccess* p = st.pclAccess;
    const auto t0 = Clock::now();
    for (int i = 1; i <= kRows; i++) {
        int bResult = 0;
        if (nOperation == 0) {
            SetRow(p, i, i);
            bResult = p->bHAjoute(0, kNoLock);
        } else {
            SetRow(p, i, nOperation == 1 ? i : i + 1);
            p->bSetCurrentRecordRead(0);
            if (nOperation == 1) {
                SetColumn(p, L"v", std::to_wstring(i + 1));
                bResult = p->bHModifie(0, 0, kNoLock);
            } else {
                bResult = p->bHSupprime(0, kNoLock);
            }
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
                Escaped(st.hRaw, strText + strId) + "')";
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
    STWrite* pst = pReady(state, strStart);
    if (pst == nullptr)
        return;
    const int nOperation = static_cast<int>(state.range(0));
    double dDriver = 0, dRaw = 0;
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
        if (!bDriverPass(*pst, nOperation, &dDriver)) {
            state.SkipWithError(("driver: " + ErrorText(pst->pclError)).c_str());
            return;
        }
        state.PauseTiming();
        bRaw(pst->hRaw, "DELETE FROM w40");
        if (nOperation > 0 && !bRawPass(*pst, 0, &dFill)) {
            state.SkipWithError("filling for the raw client");
            return;
        }
        state.ResumeTiming();
        if (!bRawPass(*pst, nOperation, &dRaw)) {
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
    std::printf("%s by key: driver %.0f rows/s, raw client %.0f rows/s, ratio %.3f (goal 0.8)\n",
                apszName[nOperation], dDriverRate, dRawRate, dRawRate > 0 ? dDriverRate / dRawRate : 0);
}

BENCHMARK(BM_Writes)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace
