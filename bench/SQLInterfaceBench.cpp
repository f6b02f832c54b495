// Rows per second of a 200,000-row, five-column table read through the SQL
// interface of the driver from piQueryInterface (bExecute, bFetch and
// bGetValue of every column into a host value; and bGetRow), beside the raw
// client library on the same server in the same run (mysql_real_query,
// mysql_use_result, mysql_fetch_row, mysql_fetch_lengths, every value
// touched). The server is the private one the test variables describe; the
// table is made once per run.
#include "access/driver/INADriver.h"
#include "access/driver/INADriverSQL.h"
#include "access/driver/NAError.h"
#include "common/values/Any.h"
#include "common/values/AnyConvert.h"
#include "host/HostConnectionDescription.h"
#include "mysql/NAFunctionLoader.h"
#include "tests/support/TestHost.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <memory>
#include <string>

extern "C" {
int bInitLibrary(void* hModule);
int bDLLCompatible(int nModule, int nVersion, int* pnRequired);
INADriver* piQueryInterface();
}

namespace {

const wchar_t kQuery[] = L"SELECT n, big, txt, amount, stamp FROM ztbench_sql.rows200k";

std::wstring Env(const char* pszName)
{
    const char* psz = std::getenv(pszName);
    const std::string s = psz != nullptr ? psz : "";
    return std::wstring(s.begin(), s.end());
}

// The driver, its SQL interface, one connection of it and one raw handle,
// made once; strError says why not.
struct STBench {
    CHostConnectionDescription clHost;
    INADriver* piDriver = nullptr;
    INADriverSQL* piSQL = nullptr;
    int nConnection = 0;
    CNAError* pclError = nullptr;
    MYSQL* hRaw = nullptr;
    // Why the raw side, then the driver's side, cannot run.
    std::string strError;
    std::string strSQLError;
};

std::string Text(CNAError* pcl)
{
    const wchar_t* psz = pcl != nullptr ? pcl->pszGetError() : nullptr;
    return psz != nullptr ? std::string(psz, psz + std::wcslen(psz)) : std::string();
}

std::string strStartDriver(STBench& st);

STBench& Bench()
{
    static STBench st;
    static bool s_bDone = false;
    if (s_bDone)
        return st;
    s_bDone = true;
    if (Env("ZT_TEST_HOST").empty() || Env("ZT_TEST_PORT").empty()) {
        st.strError = "ZT_TEST_HOST and ZT_TEST_PORT are not set: run through scripts/run.sh --bench";
        return st;
    }
    TestHost();
    void* h = dlopen(ZT_BUILD_DIR "/" HOSTSTANDIN_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    if (h == nullptr || !bInitTQConvFromVM(h, 2, 2) || !bInitTQCalcFromVM(h, 2, 2)) {
        st.strError = "host services not bound";
        return st;
    }
    st.clHost.SetText(CHostConnectionDescription::TXT_CONNECTIONNAME, L"bench");
    st.clHost.SetText(CHostConnectionDescription::TXT_PROVIDER, L"MySQL");
    st.clHost.SetText(CHostConnectionDescription::TXT_DATASOURCE, Env("ZT_TEST_HOST").c_str());
    st.clHost.SetText(CHostConnectionDescription::TXT_USER, Env("ZT_TEST_USER").c_str());
    st.clHost.SetText(CHostConnectionDescription::TXT_PASSWORD, Env("ZT_TEST_PASSWORD").c_str());
    st.clHost.SetText(CHostConnectionDescription::TXT_DEFAULTDATABASE, Env("ZT_TEST_DATABASE").c_str());
    st.clHost.SetText(CHostConnectionDescription::TXT_EXTENDEDINFO,
                      (L"Server Port=" + Env("ZT_TEST_PORT") + L";").c_str());

    // The driver's side first, as the host starts it: its first connection
    // loads the client library and learns its version.
    st.strSQLError = strStartDriver(st);
    // The raw side: the client library the driver loaded, on a handle of its own.
    st.pclError = new CNAError;
    st.pclError->AddRef();
    CTString csPath;
    if (!CNAFunctionLoader::g_bLoaded() && !CNAFunctionLoader::g_bInitNative(st.pclError, &csPath, nullptr, 0)) {
        st.strError = "client library: " + Text(st.pclError);
        return st;
    }
    const auto Narrow = [](const std::wstring& s) { return std::string(s.begin(), s.end()); };
    st.hRaw = __mysql_init(nullptr);
    if (st.hRaw == nullptr ||
        __mysql_real_connect(st.hRaw, Narrow(Env("ZT_TEST_HOST")).c_str(), Narrow(Env("ZT_TEST_USER")).c_str(),
                             Narrow(Env("ZT_TEST_PASSWORD")).c_str(), Narrow(Env("ZT_TEST_DATABASE")).c_str(),
                             static_cast<unsigned>(std::stoul(Narrow(Env("ZT_TEST_PORT")))), nullptr, 0) == nullptr) {
        st.strError = std::string("raw connection: ") + (st.hRaw != nullptr ? __mysql_error(st.hRaw) : "no handle");
        return st;
    }
    const char* const apszMake[] = {
        "SET NAMES utf8mb4",
        "CREATE DATABASE IF NOT EXISTS ztbench_sql CHARACTER SET utf8mb4",
        "DROP TABLE IF EXISTS ztbench_sql.rows200k",
        "CREATE TABLE ztbench_sql.rows200k (n INT PRIMARY KEY, big BIGINT, txt VARCHAR(40), amount DECIMAL(12,2), "
        "stamp DATETIME) ENGINE=InnoDB",
        // The text is é€Ω中 in UTF-8.
        "INSERT INTO ztbench_sql.rows200k SELECT seq, seq * 1000003, "
        "CONCAT('\xC3\xA9\xE2\x82\xAC\xCE\xA9\xE4\xB8\xAD row ', seq), "
        "seq / 100, '2024-01-01' + INTERVAL seq SECOND FROM seq_1_to_200000",
    };
    for (const char* psz : apszMake) {
        if (__mysql_real_query(st.hRaw, psz, std::strlen(psz)) != 0) {
            st.strError = std::string("making the table: ") + __mysql_error(st.hRaw);
            return st;
        }
    }
    return st;
}

std::string strStartDriver(STBench& st)
{
    bInitLibrary(nullptr);
    int nRequired = 0;
    bDLLCompatible(7, 31, &nRequired);
    bDLLCompatible(28, 31, &nRequired);
    st.piDriver = piQueryInterface();
    if (st.piDriver == nullptr)
        return "no driver";
    st.piDriver->bSetKX(static_cast<IKXForNA*>(TestHost().pKeyService()));
    st.piSQL = static_cast<INADriverSQL*>(st.piDriver->piGetInterface(1));
    if (st.piSQL == nullptr)
        return "the driver offers no SQL interface";
    if (!st.piSQL->bOpenConnection(&st.nConnection, &st.clHost)) {
        const wchar_t* psz = st.piSQL->piGetLastError()->pszGetError();
        return "bOpenConnection: " + std::string(psz, psz + std::wcslen(psz));
    }
    return std::string();
}

bool bReady(benchmark::State& state, bool bSQL)
{
    STBench& st = Bench();
    const std::string& strError = st.strError.empty() && bSQL ? st.strSQLError : st.strError;
    if (!strError.empty()) {
        state.SkipWithError(strError.c_str());
        return false;
    }
    return true;
}

void RawClient(benchmark::State& state)
{
    if (!bReady(state, false))
        return;
    STBench& st = Bench();
    MYSQL* h = st.hRaw;
    const std::string strQuery(kQuery, kQuery + sizeof(kQuery) / sizeof(kQuery[0]) - 1);
    long nRows = 0;
    for (auto _ : state) {
        if (__mysql_real_query(h, strQuery.c_str(), strQuery.size()) != 0) {
            state.SkipWithError("mysql_real_query failed");
            return;
        }
        MYSQL_RES* pResult = __mysql_use_result(h);
        unsigned long nSum = 0;
        while (MYSQL_ROW row = __mysql_fetch_row(pResult)) {
            const unsigned long* pnLength = __mysql_fetch_lengths(pResult);
            for (unsigned i = 0; i < 5; i++)
                for (unsigned long j = 0; j < pnLength[i]; j++)
                    nSum += static_cast<unsigned char>(row[i][j]);
            nRows++;
        }
        __mysql_free_result(pResult);
        benchmark::DoNotOptimize(nSum);
    }
    state.counters["rows/s"] = benchmark::Counter(static_cast<double>(nRows), benchmark::Counter::kIsRate);
}
BENCHMARK(RawClient)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();

void SQLInterfaceValues(benchmark::State& state)
{
    if (!bReady(state, true))
        return;
    STBench& st = Bench();
    long nRows = 0;
    CAny v;
    for (auto _ : state) {
        int nStatement = 0;
        if (!st.piSQL->bExecute(&nStatement, st.nConnection, kQuery, nullptr, 0) || nStatement == 0) {
            state.SkipWithError("bExecute failed");
            return;
        }
        while (st.piSQL->bFetch(st.nConnection, nStatement, 0)) {
            for (unsigned i = 1; i <= 5; i++)
                st.piSQL->bGetValue(&v, st.nConnection, nStatement, i, 0);
            nRows++;
        }
        st.piSQL->bFreeStmt(st.nConnection, nStatement, 0);
    }
    state.counters["rows/s"] = benchmark::Counter(static_cast<double>(nRows), benchmark::Counter::kIsRate);
}
BENCHMARK(SQLInterfaceValues)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();

void SQLInterfaceRows(benchmark::State& state)
{
    if (!bReady(state, true))
        return;
    STBench& st = Bench();
    long nRows = 0;
    CAny v;
    for (auto _ : state) {
        int nStatement = 0;
        if (!st.piSQL->bExecute(&nStatement, st.nConnection, kQuery, nullptr, 0) || nStatement == 0) {
            state.SkipWithError("bExecute failed");
            return;
        }
        while (st.piSQL->bFetch(st.nConnection, nStatement, 0)) {
            st.piSQL->bGetRow(&v, st.nConnection, nStatement, L"\t", 0, 0);
            nRows++;
        }
        st.piSQL->bFreeStmt(st.nConnection, nStatement, 0);
    }
    state.counters["rows/s"] = benchmark::Counter(static_cast<double>(nRows), benchmark::Counter::kIsRate);
}
BENCHMARK(SQLInterfaceRows)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();

} // namespace
