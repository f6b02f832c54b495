// The table both SQL benchmarks read: 200,000 rows of INT, BIGINT,
// VARCHAR(40) with text outside ASCII, DECIMAL(12,2) and DATETIME, made once
// per run on the private server the test variables describe; and the raw
// client library's loop over it, the baseline every figure is divided by.
#pragma once

#include "host/HostContext.h"
#include "mysql/NAFunctionLoader.h"

#include <benchmark/benchmark.h>

#include <functional>
#include <string>
#include <vector>

class CHostConnectionDescription;
class CMySQLConnection;
class CNAKXRecord;
class CNADriver;
class CNAError;
class INADataSourceDescription;
class INADriver;
class INAItemDescription;
class INATable;

namespace zt_bench {

constexpr unsigned int kTableColumns = 5;
constexpr long long kTableRows = 200000;
extern const char kTableQuery[];
extern const wchar_t kTableQueryW[];

std::string Env(const char* pszName);
std::wstring Wide(const std::string& s);

// The host's services bound and the client library the driver loads loaded
// here when the driver has not yet, once for the program; empty, or why
// they cannot be.
std::string strLoadClient();
// A raw connection to the private server in the database given (none:
// null) whose session reads and writes the character set named; null, the
// text saying why.
MYSQL* hRawConnect(const char* pszDatabase, const char* pszNames, std::string& strError);

// The raw handle (on the client library the driver loads, loaded here when
// the driver has not yet) and the table, made on the first call; the text
// says why they cannot be. BM_RawClient runs the raw loop (mysql_real_query,
// mysql_use_result or mysql_store_result, mysql_fetch_row,
// mysql_fetch_lengths, every byte of every value read) in use mode
// (argument 0) and store mode (1); BM_RawPointLookup reads one row by its
// primary key, the baseline of key searches.
MYSQL* hTableHandle(std::string& strError);
// The query's result on the raw handle, stored or used; null (the
// benchmark stopped) on a failure.
MYSQL_RES* pRawResult(benchmark::State& state, MYSQL* h, const char* pszQuery, unsigned long nLength, bool bStore);
// The text escaped for a literal in the raw session's character set.
std::string RawEscaped(MYSQL* h, const std::string& s);
// Runs a query on the raw handle and reads every byte of every row, as the
// driver's fetch does; the rows read, -1 (the benchmark stopped) on a
// failure.
long long llRawQuery(benchmark::State& state, MYSQL* h, const char* pszQuery, unsigned long nLength, bool bStore);

// The processor time of this thread, in seconds.
double dThreadCPU();

// The keyset loops' own handle, in the driver's session character set,
// with the table's index on txt made; the text says why it cannot be.
MYSQL* hKeysetHandle(std::string& strError);
// The raw client's keyset loop over the whole table in queries of 100 rows
// ordered by n ("WHERE n > ? ORDER BY n LIMIT 100"), or by txt then n
// (bText: "WHERE txt > ? OR (txt = ? AND n > ?) ORDER BY txt, n LIMIT 100"),
// each result stored or used (bStore), every byte of every value read; the
// rows read, -1 (the benchmark stopped) on a failure.
long long llRawKeyset(benchmark::State& state, MYSQL* h, bool bText, bool bStore);

// One step of a driver's browse of the table: the first record (bFirst) or
// the next; false (the benchmark stopped) on a failure, *pbOut set when out
// of range.
typedef std::function<bool(bool bFirst, int* pbOut)> FN_BROWSESTEP;
// The iterations of a browse benchmark: the whole table read by the steps,
// then by the raw keyset loop in the same order (bText; each result stored
// or used, bStore); counts and prints, under the name given, both rates and
// their ratio, the time of the last tenth of rows over the first's and the
// processor time per row of each side.
void RunBrowseBesideKeyset(benchmark::State& state, const char* pszName, bool bText, bool bStore, MYSQL* hRaw,
                           const FN_BROWSESTEP& fnStep);

// The stand-in's services bound as the host hands them over, without its
// accounts; the text says why they cannot be.
std::string strBindHost();
// The private server's address, account, database and port.
void DescribeServer(CHostConnectionDescription& clHost);
// The error's text, 8-bit.
std::string ErrorText(CNAError* pclError);
// A driver connection (one reference) made on the host description and
// opened; empty, or why it cannot be opened.
std::string strOpenConnection(CHostConnectionDescription& clHost, const wchar_t* pszId, CNAError* pclError,
                              CMySQLConnection** ppConnection);
// The driver as the host starts it (start-up, version settlement, the
// driver from the module's entry, the key service), one for the program;
// null when it cannot be had.
INADriver* piHostDriver();

// A table opened by the host's driver as the host opens it, in a context of
// its own, kept for the run.
struct STHostTable {
    explicit STHostTable(unsigned int nContext) : clContext(nContext, 1) {}
    INADataSourceDescription* piDescription = nullptr;
    // Every item but the composed keys.
    std::vector<INAItemDescription*> apiItem;
    INATable* piTable = nullptr;
    CHostContext clContext;
};
// Opens the table named on the connection described; empty, or why it
// cannot be.
std::string strOpenHostTable(CHostConnectionDescription& clHost, const wchar_t* pszTable, STHostTable& st);
// Reads the table's first record on the item (bFirst) or the next, made
// the record read (bRecordRead: as before a write) or not, and takes it
// with every value, adding the sizes of the values to *pulSum; false (the
// benchmark stopped) on a failure, *pbOut set when out of range.
bool bReadRecord(benchmark::State& state, STHostTable& st, const wchar_t* pszItem, bool bFirst, bool bRecordRead,
                 int* pbOut, unsigned long* pulSum);
// The host's text value of the item put in the record buffer.
void SetRecordText(CNAKXRecord* pRecord, INAItemDescription* piItem, const std::wstring& s);

// The process-wide driver the driver's objects reach through
// CNADriver::s_pclDriver, made the host's driver for a benchmark's run and
// given back after it: benchmarks with drivers of their own run in the same
// process.
class CHostDriverInUse {
public:
    CHostDriverInUse();
    ~CHostDriverInUse();
    CHostDriverInUse(const CHostDriverInUse&) = delete;
    CHostDriverInUse& operator=(const CHostDriverInUse&) = delete;

private:
    CNADriver* m_pclFormer;
};

// The benchmark's set-up, made by pfnStart on the first call; null, the
// benchmark skipped with the reason, when it could not be made.
template <class T>
T* pReady(benchmark::State& state, std::string (*pfnStart)(T&))
{
    static T s_st;
    static const std::string s_strError = pfnStart(s_st);
    if (!s_strError.empty()) {
        state.SkipWithError(s_strError.c_str());
        return nullptr;
    }
    return &s_st;
}

} // namespace zt_bench
