#include "bench/SQLBenchTable.h"

#include "access/driver/NAError.h"
#include "common/values/AnyConvert.h"
#include "host/HostConnectionDescription.h"
#include "common/text/Tstring.h"
#include "tests/support/TestHost.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <dlfcn.h>

namespace zt_bench {

const char kTableQuery[] = "SELECT n, big, txt, amount, stamp FROM ztbench_sql.rows200k";
const wchar_t kTableQueryW[] = L"SELECT n, big, txt, amount, stamp FROM ztbench_sql.rows200k";

std::string Env(const char* pszName)
{
    const char* psz = std::getenv(pszName);
    return psz != nullptr ? psz : "";
}

std::wstring Wide(const std::string& s)
{
    return std::wstring(s.begin(), s.end());
}

std::string strBindHost()
{
    if (Env("ZT_TEST_HOST").empty() || Env("ZT_TEST_PORT").empty())
        return "ZT_TEST_HOST and ZT_TEST_PORT are not set: run against the private server";
    TimedHost();
    void* h = dlopen(ZT_BUILD_DIR "/" HOSTSTANDIN_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    if (h == nullptr || !bInitTQConvFromVM(h, 2, 2) || !bInitTQCalcFromVM(h, 2, 2))
        return "host services not bound";
    return std::string();
}

void DescribeServer(CHostConnectionDescription& clHost)
{
    clHost.SetText(CHostConnectionDescription::TXT_DATASOURCE, Wide(Env("ZT_TEST_HOST")).c_str());
    clHost.SetText(CHostConnectionDescription::TXT_USER, Wide(Env("ZT_TEST_USER")).c_str());
    clHost.SetText(CHostConnectionDescription::TXT_PASSWORD, Wide(Env("ZT_TEST_PASSWORD")).c_str());
    clHost.SetText(CHostConnectionDescription::TXT_DEFAULTDATABASE, Wide(Env("ZT_TEST_DATABASE")).c_str());
    clHost.SetText(CHostConnectionDescription::TXT_EXTENDEDINFO,
                   (L"Server Port=" + Wide(Env("ZT_TEST_PORT")) + L";").c_str());
}

MYSQL* hTableHandle(std::string& strError)
{
    static std::string s_strError;
    static MYSQL* s_h = [] () -> MYSQL* {
        s_strError = strBindHost();
        if (!s_strError.empty())
            return nullptr;
        CNAError* pclError = new CNAError;
        pclError->AddRef();
        CTString csPath;
        const bool bLoaded =
            CNAFunctionLoader::g_bLoaded() || CNAFunctionLoader::g_bInitNative(pclError, &csPath, nullptr, 0);
        if (!bLoaded) {
            const wchar_t* psz = pclError->pszGetError();
            s_strError = "client library: " + (psz != nullptr ? std::string(psz, psz + std::wcslen(psz)) : "");
        }
        pclError->nRelease();
        if (!bLoaded)
            return nullptr;
        MYSQL* h = __mysql_init(nullptr);
        if (h == nullptr ||
            __mysql_real_connect(h, Env("ZT_TEST_HOST").c_str(), Env("ZT_TEST_USER").c_str(),
                                 Env("ZT_TEST_PASSWORD").c_str(), Env("ZT_TEST_DATABASE").c_str(),
                                 static_cast<unsigned>(std::strtoul(Env("ZT_TEST_PORT").c_str(), nullptr, 10)),
                                 nullptr, 0) == nullptr) {
            s_strError = std::string("raw connection: ") + (h != nullptr ? __mysql_error(h) : "no handle");
            return nullptr;
        }
        const char* const apszMake[] = {
            "SET NAMES utf8mb4",
            "CREATE DATABASE IF NOT EXISTS ztbench_sql CHARACTER SET utf8mb4",
            "DROP TABLE IF EXISTS ztbench_sql.rows200k",
            "CREATE TABLE ztbench_sql.rows200k (n INT PRIMARY KEY, big BIGINT, txt VARCHAR(40), "
            "amount DECIMAL(12,2), stamp DATETIME) ENGINE=InnoDB",
            // The text is é€Ω中 in UTF-8.
            "INSERT INTO ztbench_sql.rows200k SELECT seq, seq * 1000003, "
            "CONCAT('\xC3\xA9\xE2\x82\xAC\xCE\xA9\xE4\xB8\xAD row ', seq), "
            "seq / 100, '2024-01-01' + INTERVAL seq SECOND FROM seq_1_to_200000",
            // The raw side reads in the driver's session character set.
            "SET NAMES latin1",
        };
        for (const char* psz : apszMake) {
            if (__mysql_real_query(h, psz, std::strlen(psz)) != 0) {
                s_strError = std::string("making the table: ") + __mysql_error(h);
                return nullptr;
            }
        }
        return h;
    }();
    strError = s_strError;
    return s_h;
}

long long llRawQuery(benchmark::State& state, MYSQL* h, const char* pszQuery, unsigned long nLength, bool bStore)
{
    if (__mysql_real_query(h, pszQuery, nLength) != 0) {
        state.SkipWithError(__mysql_error(h));
        return -1;
    }
    MYSQL_RES* p = bStore ? __mysql_store_result(h) : __mysql_use_result(h);
    if (p == nullptr) {
        state.SkipWithError(__mysql_error(h));
        return -1;
    }
    long long llRows = 0;
    unsigned long ulSum = 0;
    const unsigned int nColumns = __mysql_num_fields(p);
    while (MYSQL_ROW row = __mysql_fetch_row(p)) {
        const unsigned long* pnLength = __mysql_fetch_lengths(p);
        for (unsigned int i = 0; i < nColumns; i++)
            for (unsigned long j = 0; j < pnLength[i]; j++)
                ulSum += static_cast<unsigned char>(row[i][j]);
        llRows++;
    }
    __mysql_free_result(p);
    benchmark::DoNotOptimize(ulSum);
    return llRows;
}

namespace {

void BM_RawClient(benchmark::State& state)
{
    std::string strError;
    MYSQL* h = hTableHandle(strError);
    if (h == nullptr) {
        state.SkipWithError(strError.c_str());
        return;
    }
    long long llRows = 0;
    for (auto _ : state) {
        const long long ll = llRawQuery(state, h, kTableQuery, sizeof(kTableQuery) - 1, state.range(0) != 0);
        if (ll < 0)
            return;
        llRows += ll;
    }
    state.SetItemsProcessed(llRows);
}

// One row by its primary key, every byte of it read: the raw client's
// point lookup, the baseline of the key searches.
void BM_RawPointLookup(benchmark::State& state)
{
    std::string strError;
    MYSQL* h = hTableHandle(strError);
    if (h == nullptr) {
        state.SkipWithError(strError.c_str());
        return;
    }
    unsigned int nKey = 1;
    char szQuery[128];
    for (auto _ : state) {
        nKey = (nKey + 7919) % static_cast<unsigned int>(kTableRows); // a walk over the keys
        const int n = std::snprintf(szQuery, sizeof(szQuery), "%s WHERE n = %u", kTableQuery, nKey + 1);
        const long long ll = llRawQuery(state, h, szQuery, static_cast<unsigned long>(n), true);
        if (ll != 1) {
            if (ll == 0)
                state.SkipWithError("no row of that key");
            return;
        }
    }
}

} // namespace

// Argument 0: use mode, 1: store mode.
BENCHMARK(BM_RawClient)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_RawPointLookup)->Unit(benchmark::kMicrosecond)->MinTime(1.0)->UseRealTime();

} // namespace zt_bench
