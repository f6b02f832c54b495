// A client library that forwards every call to the real one and counts the
// handles made and closed, and the results taken and freed, so that a test
// can see that none is left open; it also keeps every query text sent and
// counts the queries that entered it on a handle already inside one.
#include <mysql/mysql.h>

#include <cstdio>
#include <cstdlib>
#include <deque>
#include <dlfcn.h>
#include <mutex>
#include <set>
#include <string>

namespace {

int s_nInits = 0;
int s_nCloses = 0;
int s_nResults = 0;
int s_nResultsFreed = 0;

// Query texts in the order sent (a deque keeps each in place as it grows),
// the handles inside mysql_real_query, and the calls that entered it on a
// handle already inside.
std::mutex s_mutexQueries;
std::deque<std::string> s_tabQueries;
std::set<MYSQL*> s_setInQuery;
int s_nOverlaps = 0;
int s_nDataSeeks = 0;

void* _pReal(const char* pszName)
{
    static void* hReal = dlopen("libmysqlclient.so", RTLD_NOW | RTLD_LOCAL);
    void* p = hReal != nullptr ? dlsym(hReal, pszName) : nullptr;
    if (p == nullptr) {
        std::fprintf(stderr, "counting client library: no real %s\n", pszName);
        std::abort();
    }
    return p;
}

} // namespace

#define ZT_REAL(name) static const auto pfnReal = reinterpret_cast<decltype(&::name)>(_pReal(#name))
#define ZT_FORWARD(result, name, params, args) \
    result name params                         \
    {                                          \
        ZT_REAL(name);                         \
        return pfnReal args;                   \
    }

extern "C" {

__attribute__((visibility("default"))) int CountingClient_nInits()
{
    return s_nInits;
}

__attribute__((visibility("default"))) int CountingClient_nCloses()
{
    return s_nCloses;
}

__attribute__((visibility("default"))) int CountingClient_nResults()
{
    return s_nResults;
}

__attribute__((visibility("default"))) int CountingClient_nResultsFreed()
{
    return s_nResultsFreed;
}

// The number of query texts sent so far.
__attribute__((visibility("default"))) int CountingClient_nQueries()
{
    std::lock_guard<std::mutex> lock(s_mutexQueries);
    return static_cast<int>(s_tabQueries.size());
}

// Calls of mysql_real_query made while another was running on its handle.
__attribute__((visibility("default"))) int CountingClient_nOverlaps()
{
    std::lock_guard<std::mutex> lock(s_mutexQueries);
    return s_nOverlaps;
}

// Calls of mysql_data_seek.
__attribute__((visibility("default"))) int CountingClient_nDataSeeks()
{
    std::lock_guard<std::mutex> lock(s_mutexQueries);
    return s_nDataSeeks;
}

// Query text i (from 0), null past the last.
__attribute__((visibility("default"))) const char* CountingClient_pszQuery(int i)
{
    std::lock_guard<std::mutex> lock(s_mutexQueries);
    return i >= 0 && static_cast<size_t>(i) < s_tabQueries.size() ? s_tabQueries[static_cast<size_t>(i)].c_str()
                                                                  : nullptr;
}

MYSQL* mysql_init(MYSQL* m)
{
    ZT_REAL(mysql_init);
    MYSQL* p = pfnReal(m);
    if (p != nullptr)
        s_nInits++;
    return p;
}

void mysql_close(MYSQL* m)
{
    ZT_REAL(mysql_close);
    if (m != nullptr)
        s_nCloses++;
    pfnReal(m);
}

ZT_FORWARD(const char*, mysql_get_client_info, (void), ())
ZT_FORWARD(char*, mysql_get_server_info, (MYSQL * m), (m))
ZT_FORWARD(MYSQL*, mysql_real_connect,
           (MYSQL * m, const char* host, const char* user, const char* password, const char* db, unsigned int port,
            const char* socket, unsigned long flags),
           (m, host, user, password, db, port, socket, flags))
ZT_FORWARD(unsigned long, mysql_escape_string, (char* to, const char* from, unsigned long n), (to, from, n))
int mysql_real_query(MYSQL* m, const char* q, unsigned long n)
{
    ZT_REAL(mysql_real_query);
    bool bEntered = false;
    {
        std::lock_guard<std::mutex> lock(s_mutexQueries);
        if (q != nullptr)
            s_tabQueries.emplace_back(q, n);
        bEntered = s_setInQuery.insert(m).second;
        if (!bEntered)
            s_nOverlaps++;
    }
    const int nResult = pfnReal(m, q, n);
    if (bEntered) {
        std::lock_guard<std::mutex> lock(s_mutexQueries);
        s_setInQuery.erase(m);
    }
    return nResult;
}
MYSQL_RES* mysql_store_result(MYSQL* m)
{
    ZT_REAL(mysql_store_result);
    MYSQL_RES* p = pfnReal(m);
    if (p != nullptr)
        s_nResults++;
    return p;
}

MYSQL_RES* mysql_use_result(MYSQL* m)
{
    ZT_REAL(mysql_use_result);
    MYSQL_RES* p = pfnReal(m);
    if (p != nullptr)
        s_nResults++;
    return p;
}

void mysql_free_result(MYSQL_RES* r)
{
    ZT_REAL(mysql_free_result);
    if (r != nullptr)
        s_nResultsFreed++;
    pfnReal(r);
}

ZT_FORWARD(MYSQL_FIELD*, mysql_fetch_fields, (MYSQL_RES * r), (r))
ZT_FORWARD(unsigned int, mysql_num_fields, (MYSQL_RES * r), (r))
ZT_FORWARD(unsigned long*, mysql_fetch_lengths, (MYSQL_RES * r), (r))
void mysql_data_seek(MYSQL_RES* r, unsigned long long n)
{
    ZT_REAL(mysql_data_seek);
    {
        std::lock_guard<std::mutex> lock(s_mutexQueries);
        s_nDataSeeks++;
    }
    pfnReal(r, n);
}
ZT_FORWARD(MYSQL_ROW, mysql_fetch_row, (MYSQL_RES * r), (r))
ZT_FORWARD(my_ulonglong, mysql_num_rows, (MYSQL_RES * r), (r))
ZT_FORWARD(my_ulonglong, mysql_insert_id, (MYSQL * m), (m))
ZT_FORWARD(unsigned int, mysql_errno, (MYSQL * m), (m))
ZT_FORWARD(const char*, mysql_error, (MYSQL * m), (m))
ZT_FORWARD(my_ulonglong, mysql_affected_rows, (MYSQL * m), (m))
ZT_FORWARD(int, mysql_next_result, (MYSQL * m), (m))
ZT_FORWARD(int, mysql_set_character_set, (MYSQL * m, const char* cs), (m, cs))
ZT_FORWARD(int, mysql_ssl_set,
           (MYSQL * m, const char* key, const char* cert, const char* ca, const char* capath, const char* cipher),
           (m, key, cert, ca, capath, cipher))
ZT_FORWARD(unsigned long, mysql_real_escape_string, (MYSQL * m, char* to, const char* from, unsigned long n),
           (m, to, from, n))
ZT_FORWARD(const char*, mysql_get_ssl_cipher, (MYSQL * m), (m))
ZT_FORWARD(int, mysql_options, (MYSQL * m, enum mysql_option option, const void* arg), (m, option, arg))
// Only the client version is asked for by the driver: no further arguments.
ZT_FORWARD(my_bool, mariadb_get_infov, (MYSQL * m, enum mariadb_value value, void* arg, ...), (m, value, arg))

} // extern "C"
