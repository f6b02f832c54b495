// A stand-in for the client library, built once per scenario:
//   ZT_FAKE_COMPLETE          every function, and mariadb_get_infov
//   ZT_FAKE_NO_AFFECTED_ROWS  without mysql_affected_rows
//   ZT_FAKE_REQUIRED_ONLY     the twenty required functions, no
//                             mariadb_get_infov
//   ZT_FAKE_THROWING          every function but mysql_get_client_info
//                             throws an int
// No server is reached: connecting fails with 2002.
#include <mysql/mysql.h>

#include <cstring>

#ifdef ZT_FAKE_THROWING
#define ZT_FAKE_ANSWER(expr) throw 1
#else
#define ZT_FAKE_ANSWER(expr) return expr
#endif

namespace {
[[maybe_unused]] char s_handle[64];
[[maybe_unused]] char s_szServer[] = "10.11.19-fake";
} // namespace

extern "C" {

const char* mysql_get_client_info(void)
{
#if defined(ZT_FAKE_REQUIRED_ONLY)
    return "4.1.22";
#elif defined(ZT_FAKE_THROWING)
    return "5.0.51a";
#else
    return "3.3.20";
#endif
}

char* mysql_get_server_info(MYSQL*)
{
    ZT_FAKE_ANSWER(s_szServer);
}

MYSQL* mysql_init(MYSQL* p)
{
    ZT_FAKE_ANSWER(p != nullptr ? p : reinterpret_cast<MYSQL*>(s_handle));
}

MYSQL* mysql_real_connect(MYSQL*, const char*, const char*, const char*, const char*, unsigned int, const char*,
                          unsigned long)
{
    ZT_FAKE_ANSWER(nullptr);
}

void mysql_close(MYSQL*)
{
#ifdef ZT_FAKE_THROWING
    throw 1;
#endif
}

unsigned long mysql_escape_string(char* to, const char* from, unsigned long n)
{
#ifdef ZT_FAKE_THROWING
    throw 1;
#endif
    std::memcpy(to, from, n);
    to[n] = 0;
    return n;
}

int mysql_real_query(MYSQL*, const char*, unsigned long)
{
    ZT_FAKE_ANSWER(1);
}

MYSQL_RES* mysql_store_result(MYSQL*)
{
    ZT_FAKE_ANSWER(nullptr);
}

MYSQL_RES* mysql_use_result(MYSQL*)
{
    ZT_FAKE_ANSWER(nullptr);
}

void mysql_free_result(MYSQL_RES*)
{
#ifdef ZT_FAKE_THROWING
    throw 1;
#endif
}

MYSQL_FIELD* mysql_fetch_fields(MYSQL_RES*)
{
    ZT_FAKE_ANSWER(nullptr);
}

unsigned int mysql_num_fields(MYSQL_RES*)
{
    ZT_FAKE_ANSWER(0);
}

unsigned long* mysql_fetch_lengths(MYSQL_RES*)
{
    ZT_FAKE_ANSWER(nullptr);
}

void mysql_data_seek(MYSQL_RES*, unsigned long long)
{
#ifdef ZT_FAKE_THROWING
    throw 1;
#endif
}

MYSQL_ROW mysql_fetch_row(MYSQL_RES*)
{
    ZT_FAKE_ANSWER(nullptr);
}

my_ulonglong mysql_num_rows(MYSQL_RES*)
{
    ZT_FAKE_ANSWER(0);
}

my_ulonglong mysql_insert_id(MYSQL*)
{
    ZT_FAKE_ANSWER(0);
}

unsigned int mysql_errno(MYSQL*)
{
    ZT_FAKE_ANSWER(2002);
}

const char* mysql_error(MYSQL*)
{
    ZT_FAKE_ANSWER("fake client library: no server");
}

#ifndef ZT_FAKE_NO_AFFECTED_ROWS
my_ulonglong mysql_affected_rows(MYSQL*)
{
    ZT_FAKE_ANSWER(0);
}
#endif

#ifndef ZT_FAKE_REQUIRED_ONLY
int mysql_next_result(MYSQL*)
{
    ZT_FAKE_ANSWER(-1);
}

int mysql_set_character_set(MYSQL*, const char*)
{
    ZT_FAKE_ANSWER(0);
}

int mysql_ssl_set(MYSQL*, const char*, const char*, const char*, const char*, const char*)
{
    ZT_FAKE_ANSWER(0);
}

int mysql_options(MYSQL*, enum mysql_option, const void*)
{
    ZT_FAKE_ANSWER(0);
}
#endif

#if defined(ZT_FAKE_COMPLETE) || defined(ZT_FAKE_NO_AFFECTED_ROWS)
my_bool mariadb_get_infov(MYSQL*, enum mariadb_value value, void* arg, ...)
{
    if (value != MARIADB_CLIENT_VERSION || arg == nullptr)
        return 1;
    *static_cast<const char**>(arg) = "10.11.19";
    return 0;
}
#endif

} // extern "C"
