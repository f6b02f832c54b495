// Browses by the host's table object of 50,000 rows whose values the
// record holds less exactly than the server: texts (eight VARCHAR(100) and a
// TEXT of about 2 KB, beyond ASCII but within code page 1252, or in ASCII
// alone) and FLOAT,
// DATETIME(6), DECIMAL(65,30) and ENUM values; each table with an INT
// primary key browsed on it, and the same rows without any key browsed on
// the same column; on connections in code page 1252 and in UTF-8. Then the
// modify and the delete of each of 1,000 rows of the texts without a key,
// read in that browse, in 1252. Beside each in the same run, the raw
// client reads the same rows in the same order (in blocks of 100 on the
// key, in one query without) and writes each row by all its values with
// LIMIT 1. Counted for each side: rows per second, the bytes the client
// received and sent per row (the server's own counters: nothing else talks
// to the private server meanwhile) and the processor time per row.
#include "access/driver/INADataSourceDescription.h"
#include "access/driver/NAError.h"
#include "access/statement/NAKXRecord.h"
#include "access/table/INATable.h"
#include "bench/SQLBenchTable.h"
#include "host/HostConnectionDescription.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace zt_bench;
typedef std::chrono::steady_clock Clock;

constexpr long long kBrowseRows = 50000;
constexpr long long kWriteRows = 1000;

// The tables browsed, by the benchmark's first argument.
enum eTABLE { TEXTS_KEYED, TEXTS_KEYLESS, KINDS_KEYED, KINDS_KEYLESS, ASCII_KEYED, ASCII_KEYLESS, NB_TABLES };
const char* const kapszTable[NB_TABLES] = {"bk_texts", "bk_texts_nokey", "bk_kinds",
                                           "bk_kinds_nokey", "bk_ascii", "bk_ascii_nokey"};
const wchar_t* const kapszTableW[NB_TABLES] = {L"bk_texts", L"bk_texts_nokey", L"bk_kinds",
                                               L"bk_kinds_nokey", L"bk_ascii", L"bk_ascii_nokey"};
const char kTextColumns[] = "id, t1, t2, t3, t4, t5, t6, t7, t8, memo";
const char kKindColumns[] = "id, f, d, m, e";
// The connections, by the benchmark's second argument: 0 code page 1252, 1 UTF-8.
const char* const kapszNames[2] = {"latin1", "utf8mb4"};

bool bIsAscii(int nTable)
{
    return nTable == ASCII_KEYED || nTable == ASCII_KEYLESS;
}

bool bIsTexts(int nTable)
{
    return nTable == TEXTS_KEYED || nTable == TEXTS_KEYLESS || bIsAscii(nTable);
}

bool bKeyed(int nTable)
{
    return nTable == TEXTS_KEYED || nTable == KINDS_KEYED || nTable == ASCII_KEYED;
}

struct STKinds {
    // The tables made and the server's counters read on it.
    MYSQL* hAdmin = nullptr;
    // The raw sides, in each connection's character set.
    MYSQL* ahRaw[2] = {};
    CHostConnectionDescription aclHost[2];
    std::unique_ptr<STHostTable> apTable[NB_TABLES][2];
    // The texts without a key written, in 1252.
    std::unique_ptr<STHostTable> pWrite;
};

bool bRun(MYSQL* h, const std::string& s, std::string& strError)
{
    if (__mysql_real_query(h, s.data(), static_cast<unsigned long>(s.size())) == 0)
        return true;
    strError = s.substr(0, 60) + ": " + __mysql_error(h);
    return false;
}

// The table's columns, with or without its primary key.
std::string Columns(int nTable)
{
    const std::string strId =
        std::string("(id INT") + (bKeyed(nTable) ? " NOT NULL PRIMARY KEY, " : ", ");
    if (!bIsTexts(nTable))
        return strId + "f FLOAT, d DATETIME(6), m DECIMAL(65,30), e ENUM('red', 'green', 'blue'))";
    std::string s = strId;
    for (int i = 1; i <= 8; i++)
        s += "t" + std::to_string(i) + " VARCHAR(100), ";
    return s + "memo TEXT) CHARACTER SET utf8mb4";
}

// The table's rows, each row's texts different (they hold é è û ° € à ù ’ œ
// in UTF-8, or ASCII alone).
std::string Filling(int nTable)
{
    std::string s = "SELECT seq, ";
    if (bIsAscii(nTable)) {
        for (int i = 1; i <= 8; i++)
            s += "CONCAT('Creme brulee " + std::to_string(i) + " no ', seq), ";
        s += "CONCAT(REPEAT('Where is the cafe? Here are 5 EUR for the work. ', 50), seq)";
    } else if (!bIsTexts(nTable)) {
        s += "seq / 7, '2024-01-01' + INTERVAL seq * 1000003 MICROSECOND, seq + 0.142857142857142857142857142857, "
             "ELT(1 + seq % 3, 'red', 'green', 'blue')";
    } else {
        for (int i = 1; i <= 8; i++)
            s += "CONCAT('Cr\xC3\xA8me br\xC3\xBBl\xC3\xA9" "e " + std::to_string(i) + " n\xC2\xB0 ', seq), ";
        s += "CONCAT(REPEAT('O\xC3\xB9 est le caf\xC3\xA9 ? Voil\xC3\xA0 5 \xE2\x82\xAC pour l\xE2\x80\x99"
             "\xC5\x93uvre. ', 50), seq)";
    }
    return s + " FROM seq_1_to_" + std::to_string(kBrowseRows);
}

std::string strMakeTables(MYSQL* h)
{
    std::string strError;
    if (!bRun(h, "CREATE DATABASE IF NOT EXISTS ztbench_sql CHARACTER SET utf8mb4", strError) ||
        !bRun(h, "USE ztbench_sql", strError))
        return strError;
    for (int n = 0; n < NB_TABLES; n++) {
        const std::string strTable = kapszTable[n];
        if (!bRun(h, "DROP TABLE IF EXISTS " + strTable, strError) ||
            !bRun(h, "CREATE TABLE " + strTable + " " + Columns(n), strError) ||
            !bRun(h, "INSERT INTO " + strTable + " " + Filling(n), strError))
            return strError;
    }
    if (!bRun(h, "DROP TABLE IF EXISTS bk_texts_written", strError) ||
        !bRun(h, "CREATE TABLE bk_texts_written LIKE bk_texts_nokey", strError))
        return strError;
    return std::string();
}

std::string strStart(STKinds& st)
{
    std::string strError;
    st.hAdmin = hRawConnect(nullptr, "utf8mb4", strError);
    if (st.hAdmin == nullptr)
        return strError;
    strError = strMakeTables(st.hAdmin);
    if (!strError.empty())
        return "making the tables: " + strError;
    for (int nPage = 0; nPage < 2; nPage++) {
        st.ahRaw[nPage] = hRawConnect("ztbench_sql", kapszNames[nPage], strError);
        if (st.ahRaw[nPage] == nullptr)
            return strError;
        CHostConnectionDescription& clHost = st.aclHost[nPage];
        clHost.SetText(CHostConnectionDescription::TXT_CONNECTIONNAME, nPage == 0 ? L"bench1252" : L"benchutf8");
        clHost.SetText(CHostConnectionDescription::TXT_PROVIDER, L"MySQL");
        DescribeServer(clHost);
        clHost.SetText(CHostConnectionDescription::TXT_DEFAULTDATABASE, L"ztbench_sql");
        if (nPage == 0)
            clHost.SetText(CHostConnectionDescription::TXT_EXTENDEDINFO,
                           (L"Server Port=" + Wide(Env("ZT_TEST_PORT")) + L";ZT Unicode Support=0;").c_str());
        for (int n = 0; n < NB_TABLES; n++) {
            st.apTable[n][nPage].reset(new STHostTable(static_cast<unsigned int>(10 + n * 2 + nPage)));
            strError = strOpenHostTable(clHost, kapszTableW[n], *st.apTable[n][nPage]);
            if (!strError.empty())
                return strError;
        }
    }
    st.pWrite.reset(new STHostTable(30));
    return strOpenHostTable(st.aclHost[0], L"bk_texts_written", *st.pWrite);
}

// The bytes the server received and sent so far, on every connection;
// false (the benchmark stopped) on a failure.
bool bServerBytes(benchmark::State& state, MYSQL* h, long long* pllReceived, long long* pllSent)
{
    static const char szQuery[] = "SELECT VARIABLE_VALUE FROM information_schema.GLOBAL_STATUS "
                                  "WHERE VARIABLE_NAME IN ('BYTES_RECEIVED', 'BYTES_SENT') ORDER BY VARIABLE_NAME";
    MYSQL_RES* p = pRawResult(state, h, szQuery, sizeof(szQuery) - 1, true);
    if (p == nullptr)
        return false;
    long long* apll[2] = {pllReceived, pllSent};
    int n = 0;
    while (MYSQL_ROW row = __mysql_fetch_row(p))
        if (n < 2 && row[0] != nullptr)
            *apll[n++] = std::strtoll(row[0], nullptr, 10);
    __mysql_free_result(p);
    if (n != 2)
        state.SkipWithError("the server's byte counters cannot be read");
    return n == 2;
}

// What one side did over the iterations.
struct STSide {
    double dSeconds = 0;
    double dCPU = 0;
    long long llRows = 0;
    long long llReceived = 0; // by the client: the server's bytes sent
    long long llSent = 0;

    double dPerRow(double d) const { return llRows > 0 ? d / static_cast<double>(llRows) : 0; }
    double dRate() const { return dSeconds > 0 ? static_cast<double>(llRows) / dSeconds : 0; }
};

// Runs the pass (the rows it went through, -1 on a failure) and adds its
// time, processor time and bytes to the side; the seconds it took, or -1
// (the benchmark stopped) on a failure or when it went through other than
// llRows rows.
double dMeasure(benchmark::State& state, MYSQL* hAdmin, STSide& side, long long llRows,
                const std::function<long long()>& fnPass)
{
    long long llReceived0 = 0, llSent0 = 0, llReceived1 = 0, llSent1 = 0;
    if (!bServerBytes(state, hAdmin, &llReceived0, &llSent0))
        return -1;
    const double dCPU0 = dThreadCPU();
    const Clock::time_point t0 = Clock::now();
    const long long ll = fnPass();
    const double dSeconds = std::chrono::duration<double>(Clock::now() - t0).count();
    const double dCPU = dThreadCPU() - dCPU0;
    if (ll < 0 || !bServerBytes(state, hAdmin, &llReceived1, &llSent1))
        return -1;
    if (ll != llRows) {
        state.SkipWithError(("went through " + std::to_string(ll) + " rows of " + std::to_string(llRows)).c_str());
        return -1;
    }
    side.dSeconds += dSeconds;
    side.dCPU += dCPU;
    side.llRows += ll;
    side.llReceived += llSent1 - llSent0;
    side.llSent += llReceived1 - llReceived0;
    return dSeconds;
}

// Counts and prints the figures of both sides under the name given.
void Report(benchmark::State& state, const std::string& strName, const STSide& driver, const STSide& raw)
{
    state.counters["rows_per_s"] = driver.dRate();
    state.counters["raw_rows_per_s"] = raw.dRate();
    state.counters["ratio_to_raw"] = raw.dRate() > 0 ? driver.dRate() / raw.dRate() : 0;
    state.counters["bytes_in_per_row"] = driver.dPerRow(static_cast<double>(driver.llReceived));
    state.counters["bytes_out_per_row"] = driver.dPerRow(static_cast<double>(driver.llSent));
    state.counters["raw_bytes_in_per_row"] = raw.dPerRow(static_cast<double>(raw.llReceived));
    state.counters["raw_bytes_out_per_row"] = raw.dPerRow(static_cast<double>(raw.llSent));
    state.counters["cpu_us_per_row"] = driver.dPerRow(driver.dCPU * 1e6);
    state.counters["raw_cpu_us_per_row"] = raw.dPerRow(raw.dCPU * 1e6);
    state.SetLabel(strName);
    std::printf("%s: %.0f rows/s, raw %.0f rows/s, ratio %.3f; bytes per row in %.0f out %.0f, raw in %.0f out "
                "%.0f; processor %.2f us/row, raw %.2f us/row\n",
                strName.c_str(), driver.dRate(), raw.dRate(), raw.dRate() > 0 ? driver.dRate() / raw.dRate() : 0,
                driver.dPerRow(static_cast<double>(driver.llReceived)),
                driver.dPerRow(static_cast<double>(driver.llSent)), raw.dPerRow(static_cast<double>(raw.llReceived)),
                raw.dPerRow(static_cast<double>(raw.llSent)), driver.dPerRow(driver.dCPU * 1e6),
                raw.dPerRow(raw.dCPU * 1e6));
}

typedef std::vector<std::vector<std::string>> Block;

// The raw client's read of the table's columns in the order of id, every
// byte of every value read, each result used as it streams: in blocks of
// 100 rows ("WHERE id > <last> ORDER BY id LIMIT 100", until a block falls
// short) where id is the primary key, else in one query; with fnRows, each
// result stored and its rows (as texts, none NULL) given to fnRows once
// read (false stops). The rows read, -1 (the benchmark stopped) on a
// failure.
long long llRawOnId(benchmark::State& state, MYSQL* h, const std::string& strSelect, bool bKeyed,
                    const std::function<bool(const Block&)>& fnRows)
{
    long long llRows = 0;
    unsigned long ulSum = 0;
    std::string strLast = "0";
    Block tabRows;
    for (;;) {
        const std::string strQuery =
            strSelect + (bKeyed ? " WHERE id > " + strLast + " ORDER BY id LIMIT 100" : " ORDER BY id");
        MYSQL_RES* p =
            pRawResult(state, h, strQuery.data(), static_cast<unsigned long>(strQuery.size()), bool(fnRows));
        if (p == nullptr)
            return -1;
        const unsigned int nColumns = __mysql_num_fields(p);
        long long llBlock = 0;
        tabRows.clear();
        while (MYSQL_ROW row = __mysql_fetch_row(p)) {
            const unsigned long* pnLength = __mysql_fetch_lengths(p);
            for (unsigned int i = 0; i < nColumns; i++)
                for (unsigned long j = 0; j < pnLength[i]; j++)
                    ulSum += static_cast<unsigned char>(row[i][j]);
            if (fnRows) {
                tabRows.emplace_back();
                for (unsigned int i = 0; i < nColumns; i++)
                    tabRows.back().emplace_back(row[i] != nullptr ? row[i] : "", pnLength[i]);
            }
            strLast.assign(row[0], pnLength[0]);
            llBlock++;
        }
        __mysql_free_result(p);
        if (fnRows && !fnRows(tabRows))
            return -1;
        llRows += llBlock;
        if (!bKeyed || llBlock < 100)
            break;
    }
    benchmark::DoNotOptimize(ulSum);
    return llRows;
}

// The driver's browse of the table on id, first to last, fnRecord run on
// each record read (false stops); the rows read, -1 (the benchmark
// stopped) on a failure.
long long llDriverOnId(benchmark::State& state, STHostTable& st, const std::function<bool(long long)>& fnRecord)
{
    unsigned long ulSum = 0;
    long long llRows = 0;
    int bOut = 1;
    if (!bReadRecord(state, st, L"id", true, true, &bOut, &ulSum))
        return -1;
    while (!bOut) {
        if (fnRecord && !fnRecord(llRows))
            return -1;
        llRows++;
        if (!bReadRecord(state, st, L"id", false, true, &bOut, &ulSum))
            return -1;
    }
    benchmark::DoNotOptimize(ulSum);
    return llRows;
}

// Arguments: the table (eTABLE), the connection (0 code page 1252, 1 UTF-8).
void BM_KindBrowse(benchmark::State& state)
{
    // Other benchmarks of the process set drivers of their own.
    CHostDriverInUse clDriverInUse;
    STKinds* pst = pReady(state, strStart);
    if (pst == nullptr)
        return;
    const int nTable = static_cast<int>(state.range(0));
    const int nPage = static_cast<int>(state.range(1));
    STHostTable& stTable = *pst->apTable[nTable][nPage];
    const std::string strSelect = std::string("SELECT ") + (bIsTexts(nTable) ? kTextColumns : kKindColumns) +
                                  " FROM " + kapszTable[nTable];
    STSide driver, raw;
    for (auto _ : state) {
        const double dSeconds =
            dMeasure(state, pst->hAdmin, driver, kBrowseRows, [&] { return llDriverOnId(state, stTable, nullptr); });
        if (dSeconds < 0 || dMeasure(state, pst->hAdmin, raw, kBrowseRows, [&] {
                return llRawOnId(state, pst->ahRaw[nPage], strSelect, bKeyed(nTable), nullptr);
            }) < 0)
            return;
        state.SetIterationTime(dSeconds);
    }
    Report(state,
           std::string(bIsAscii(nTable)   ? "8 ASCII VARCHAR(100) + TEXT"
                       : bIsTexts(nTable) ? "8 VARCHAR(100) + TEXT"
                                          : "FLOAT, DATETIME(6), DECIMAL(65,30), ENUM") +
               (bKeyed(nTable) ? ", INT key" : ", no key") +
               (nPage == 0 ? ", 1252" : ", UTF-8"),
           driver, raw);
}

// The written table again holding the first rows of the texts without a
// key; false (the benchmark stopped) on a failure.
bool bRefill(benchmark::State& state, STKinds& st)
{
    std::string strError;
    if (bRun(st.hAdmin, "DELETE FROM bk_texts_written", strError) &&
        bRun(st.hAdmin, "INSERT INTO bk_texts_written SELECT * FROM bk_texts_nokey WHERE id <= " +
                            std::to_string(kWriteRows), strError))
        return true;
    state.SkipWithError(strError.c_str());
    return false;
}

// Whether the pass wrote every row: each t1 changed, or none left.
bool bEveryRowWritten(benchmark::State& state, STKinds& st, bool bDelete)
{
    const std::string strQuery = bDelete ? "SELECT COUNT(*) FROM bk_texts_written"
                                         : "SELECT COUNT(*) FROM bk_texts_written WHERE t1 NOT LIKE 'modified %'";
    MYSQL_RES* p = pRawResult(state, st.hAdmin, strQuery.data(), static_cast<unsigned long>(strQuery.size()), true);
    if (p == nullptr)
        return false;
    MYSQL_ROW row = __mysql_fetch_row(p);
    const bool bDone = row != nullptr && row[0] != nullptr && std::strcmp(row[0], "0") == 0;
    __mysql_free_result(p);
    if (!bDone)
        state.SkipWithError("a row was not written");
    return bDone;
}

// The raw client's write of each row of the block by all its values.
bool bRawWrite(MYSQL* h, const Block& tabBlock, bool bDelete)
{
    static const char* const apszColumn[] = {"id", "t1", "t2", "t3", "t4", "t5", "t6", "t7", "t8", "memo"};
    for (const std::vector<std::string>& row : tabBlock) {
        std::string s = bDelete ? "DELETE FROM bk_texts_written WHERE "
                                : "UPDATE bk_texts_written SET t1 = 'modified " + row[0] + "' WHERE ";
        for (size_t i = 0; i < row.size(); i++)
            s += std::string(i > 0 ? " AND " : "") + apszColumn[i] + " = '" + RawEscaped(h, row[i]) + "'";
        s += " LIMIT 1";
        if (__mysql_real_query(h, s.data(), static_cast<unsigned long>(s.size())) != 0 ||
            __mysql_affected_rows(h) != 1)
            return false;
    }
    return true;
}

// Argument 0: modify, 1: delete; each row of the texts without a key read
// in a browse on id and written, on the connection in code page 1252.
void BM_KeylessTextWrite(benchmark::State& state)
{
    CHostDriverInUse clDriverInUse;
    STKinds* pst = pReady(state, strStart);
    if (pst == nullptr)
        return;
    const bool bDelete = state.range(0) != 0;
    STHostTable& st = *pst->pWrite;
    INAItemDescription* piText = st.piDescription->piNAGetItem(L"t1");
    if (piText == nullptr) {
        state.SkipWithError("no item t1");
        return;
    }
    const auto fnWrite = [&](long long llRow) {
        int bDone = 0;
        if (bDelete) {
            bDone = st.piTable->bHSupprime(&st.clContext, 0, static_cast<eNA_LOCKTYPE>(0));
        } else {
            CNAKXRecord* pRecord = nullptr;
            if (st.piTable->bGetRecord(&st.clContext, &pRecord) && pRecord != nullptr) {
                SetRecordText(pRecord, piText, L"modified " + std::to_wstring(llRow + 1));
                pRecord->nRelease();
                bDone = st.piTable->bHModifie(&st.clContext, 0, 0, static_cast<eNA_LOCKTYPE>(0));
            }
        }
        if (!bDone)
            state.SkipWithError(
                ("driver: " + ErrorText(static_cast<CNAError*>(st.piTable->piGetLastError(&st.clContext)))).c_str());
        return bDone != 0;
    };
    const std::string strSelect = std::string("SELECT ") + kTextColumns + " FROM bk_texts_written";
    MYSQL* hRaw = pst->ahRaw[0];
    STSide driver, raw;
    for (auto _ : state) {
        if (!bRefill(state, *pst))
            return;
        const double dSeconds =
            dMeasure(state, pst->hAdmin, driver, kWriteRows, [&] { return llDriverOnId(state, st, fnWrite); });
        if (dSeconds < 0 || !bEveryRowWritten(state, *pst, bDelete) || !bRefill(state, *pst))
            return;
        if (dMeasure(state, pst->hAdmin, raw, kWriteRows, [&] {
                return llRawOnId(state, hRaw, strSelect, false, [&](const Block& tabBlock) {
                    if (bRawWrite(hRaw, tabBlock, bDelete))
                        return true;
                    state.SkipWithError(("raw client: " + std::string(__mysql_error(hRaw))).c_str());
                    return false;
                });
            }) < 0 ||
            !bEveryRowWritten(state, *pst, bDelete))
            return;
        state.SetIterationTime(dSeconds);
    }
    Report(state, std::string("keyless ") + (bDelete ? "deletes" : "modifies") + " of 8 VARCHAR(100) + TEXT, 1252",
           driver, raw);
}

} // namespace

// The browses of the kinds take a tenth of the texts' time: more iterations
// steady their figures.
BENCHMARK(BM_KindBrowse)
    ->ArgsProduct({{TEXTS_KEYED, TEXTS_KEYLESS, ASCII_KEYED, ASCII_KEYLESS}, {0, 1}})
    ->ArgNames({"table", "utf8"})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->UseManualTime();
BENCHMARK(BM_KindBrowse)
    ->ArgsProduct({{KINDS_KEYED, KINDS_KEYLESS}, {0, 1}})
    ->ArgNames({"table", "utf8"})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5)
    ->UseManualTime();
BENCHMARK(BM_KeylessTextWrite)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(1)->UseManualTime();
