// Rows per second of a 200,000-row table of INT, BIGINT, VARCHAR(40) with
// text outside ASCII, DECIMAL(12,2) and DATETIME, read by the MySQL SQL
// statement in use mode (argument 0) and store mode (argument 1): every
// value into a host value as the SQL interface reads it, and every value as
// raw bytes; beside the raw client library in the same mode on a handle of
// its own (mysql_real_query, mysql_use_result or mysql_store_result,
// mysql_fetch_row, mysql_fetch_lengths, every value touched). The server is
// the private one the test variables describe; the table is made once.
#include "mysql/MySQLStatementSQL.h"

#include "access/driver/NAError.h"
#include "common/values/Any.h"
#include "common/values/AnyConvert.h"
#include "host/HostConnectionDescription.h"
#include "mysql/MySQLConnection.h"
#include "mysql/NAFunctionLoader.h"
#include "tests/support/TestHost.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <string>

namespace {

const char kQuery[] = "SELECT n, big, txt, amount, stamp FROM ztbench_stmt.rows200k";
const unsigned int kColumns = 5;
const long long kRows = 200000;

std::string Env(const char* pszName)
{
    const char* psz = std::getenv(pszName);
    return psz != nullptr ? psz : "";
}

std::wstring Wide(const std::string& s)
{
    return std::wstring(s.begin(), s.end());
}

std::string Text(CNAError* pcl)
{
    const wchar_t* psz = pcl != nullptr ? pcl->pszGetError() : nullptr;
    return psz != nullptr ? std::string(psz, psz + std::wcslen(psz)) : std::string();
}

// The driver's connection and a raw handle, made once; strError says why
// not.
struct STBench {
    CHostConnectionDescription clHost;
    CMySQLConnection* pclConnection = nullptr;
    CNAError* pclError = nullptr;
    MYSQL* hRaw = nullptr;
    std::string strError;
};

STBench& Bench()
{
    static STBench st;
    static bool s_bDone = false;
    if (s_bDone)
        return st;
    s_bDone = true;
    if (Env("ZT_TEST_HOST").empty() || Env("ZT_TEST_PORT").empty()) {
        st.strError = "ZT_TEST_HOST and ZT_TEST_PORT are not set: run against the private server";
        return st;
    }
    TestHost();
    void* h = dlopen(ZT_BUILD_DIR "/" HOSTSTANDIN_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    if (h == nullptr || !bInitTQConvFromVM(h, 2, 2) || !bInitTQCalcFromVM(h, 2, 2)) {
        st.strError = "host services not bound";
        return st;
    }
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
    if (!st.pclConnection->bOpen(st.pclError)) {
        st.strError = "driver connection: " + Text(st.pclError);
        return st;
    }

    // The raw side: the library the connection loaded, on a handle of its own.
    st.hRaw = __mysql_init(nullptr);
    if (st.hRaw == nullptr ||
        __mysql_real_connect(st.hRaw, Env("ZT_TEST_HOST").c_str(), Env("ZT_TEST_USER").c_str(),
                             Env("ZT_TEST_PASSWORD").c_str(), Env("ZT_TEST_DATABASE").c_str(),
                             static_cast<unsigned>(std::stoul(Env("ZT_TEST_PORT"))), nullptr, 0) == nullptr) {
        st.strError = std::string("raw connection: ") + (st.hRaw != nullptr ? __mysql_error(st.hRaw) : "no handle");
        return st;
    }
    const char* const apszMake[] = {
        "SET NAMES utf8mb4",
        "CREATE DATABASE IF NOT EXISTS ztbench_stmt CHARACTER SET utf8mb4",
        "DROP TABLE IF EXISTS ztbench_stmt.rows200k",
        "CREATE TABLE ztbench_stmt.rows200k (n INT PRIMARY KEY, big BIGINT, txt VARCHAR(40), amount DECIMAL(12,2), "
        "stamp DATETIME) ENGINE=InnoDB",
        // The text begins with é€ in UTF-8.
        "INSERT INTO ztbench_stmt.rows200k SELECT seq, seq * 1000003, CONCAT('\xC3\xA9\xE2\x82\xAC row ', seq), "
        "seq / 100, '2024-01-01' + INTERVAL seq SECOND FROM seq_1_to_200000",
        // The raw side reads in the driver's session character set.
        "SET NAMES latin1",
    };
    for (const char* psz : apszMake) {
        if (__mysql_real_query(st.hRaw, psz, std::strlen(psz)) != 0) {
            st.strError = std::string("making the table: ") + __mysql_error(st.hRaw);
            return st;
        }
    }
    return st;
}

bool bReady(benchmark::State& state)
{
    STBench& st = Bench();
    if (!st.strError.empty()) {
        state.SkipWithError(st.strError.c_str());
        return false;
    }
    return true;
}

void BM_RawClient(benchmark::State& state)
{
    if (!bReady(state))
        return;
    MYSQL* h = Bench().hRaw;
    const bool bStore = state.range(0) != 0;
    long long llRows = 0;
    for (auto _ : state) {
        if (__mysql_real_query(h, kQuery, sizeof(kQuery) - 1) != 0) {
            state.SkipWithError(__mysql_error(h));
            return;
        }
        MYSQL_RES* p = bStore ? __mysql_store_result(h) : __mysql_use_result(h);
        if (p == nullptr) {
            state.SkipWithError(__mysql_error(h));
            return;
        }
        unsigned long ulTouched = 0;
        while (MYSQL_ROW row = __mysql_fetch_row(p)) {
            const unsigned long* pLengths = __mysql_fetch_lengths(p);
            for (unsigned int i = 0; i < kColumns; i++)
                if (row[i] != nullptr && pLengths[i] > 0)
                    ulTouched += static_cast<unsigned char>(row[i][pLengths[i] - 1]);
            llRows++;
        }
        benchmark::DoNotOptimize(ulTouched);
        __mysql_free_result(p);
    }
    state.SetItemsProcessed(llRows);
}

// The statement reads every value: into a host value (argument 1 = 0), or
// as raw bytes (1).
void RunStatement(benchmark::State& state, bool bRaw)
{
    if (!bReady(state))
        return;
    STBench& st = Bench();
    CNAError* pclError = new CNAError;
    pclError->AddRef();
    CMySQLStatementSQL* pclStmt = new CMySQLStatementSQL(st.pclConnection, pclError);
    pclStmt->AddRef();
    pclStmt->SetStoreResult(state.range(0) != 0);
    long long llRows = 0;
    for (auto _ : state) {
        if (!pclStmt->bExecuteDirect(kQuery, 0)) {
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
            for (unsigned int i = 0; i < kColumns; i++) {
                if (bRaw) {
                    unsigned char* p = nullptr;
                    unsigned int n = 0;
                    pclStmt->bGetValue(&p, &n, i);
                    if (p != nullptr && n > 0)
                        ulTouched += p[n - 1];
                } else {
                    CAny clValue;
                    pclStmt->bGetValue(&clValue, i, 0);
                    ulTouched += clValue.nGetType();
                }
            }
            llRows++;
        }
        benchmark::DoNotOptimize(ulTouched);
        pclStmt->bReset();
    }
    if (llRows % kRows != 0)
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

BENCHMARK(BM_RawClient)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_StatementValue)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(BM_StatementRawBytes)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();

} // namespace
