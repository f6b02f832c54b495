// A client library that forwards every call to the real one and counts the
// handles made and closed, so that a test can see that none is left open.
#include <mysql/mysql.h>

#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>

namespace {

int s_nInits = 0;
int s_nCloses = 0;

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

extern "C" {

__attribute__((visibility("default"))) int CountingClient_nInits()
{
    return s_nInits;
}

__attribute__((visibility("default"))) int CountingClient_nCloses()
{
    return s_nCloses;
}

const char* mysql_get_client_info(void)
{
    ZT_REAL(mysql_get_client_info);
    return pfnReal();
}

char* mysql_get_server_info(MYSQL* m)
{
    ZT_REAL(mysql_get_server_info);
    return pfnReal(m);
}

MYSQL* mysql_init(MYSQL* m)
{
    ZT_REAL(mysql_init);
    MYSQL* p = pfnReal(m);
    if (p != nullptr)
        s_nInits++;
    return p;
}

MYSQL* mysql_real_connect(MYSQL* m, const char* host, const char* user, const char* password, const char* db,
                          unsigned int port, const char* socket, unsigned long flags)
{
    ZT_REAL(mysql_real_connect);
    return pfnReal(m, host, user, password, db, port, socket, flags);
}

void mysql_close(MYSQL* m)
{
    ZT_REAL(mysql_close);
    if (m != nullptr)
        s_nCloses++;
    pfnReal(m);
}

unsigned long mysql_escape_string(char* to, const char* from, unsigned long n)
{
    ZT_REAL(mysql_escape_string);
    return pfnReal(to, from, n);
}

int mysql_real_query(MYSQL* m, const char* q, unsigned long n)
{
    ZT_REAL(mysql_real_query);
    return pfnReal(m, q, n);
}

MYSQL_RES* mysql_store_result(MYSQL* m)
{
    ZT_REAL(mysql_store_result);
    return pfnReal(m);
}

MYSQL_RES* mysql_use_result(MYSQL* m)
{
    ZT_REAL(mysql_use_result);
    return pfnReal(m);
}

void mysql_free_result(MYSQL_RES* r)
{
    ZT_REAL(mysql_free_result);
    pfnReal(r);
}

MYSQL_FIELD* mysql_fetch_fields(MYSQL_RES* r)
{
    ZT_REAL(mysql_fetch_fields);
    return pfnReal(r);
}

unsigned int mysql_num_fields(MYSQL_RES* r)
{
    ZT_REAL(mysql_num_fields);
    return pfnReal(r);
}

unsigned long* mysql_fetch_lengths(MYSQL_RES* r)
{
    ZT_REAL(mysql_fetch_lengths);
    return pfnReal(r);
}

void mysql_data_seek(MYSQL_RES* r, unsigned long long n)
{
    ZT_REAL(mysql_data_seek);
    pfnReal(r, n);
}

MYSQL_ROW mysql_fetch_row(MYSQL_RES* r)
{
    ZT_REAL(mysql_fetch_row);
    return pfnReal(r);
}

my_ulonglong mysql_num_rows(MYSQL_RES* r)
{
    ZT_REAL(mysql_num_rows);
    return pfnReal(r);
}

my_ulonglong mysql_insert_id(MYSQL* m)
{
    ZT_REAL(mysql_insert_id);
    return pfnReal(m);
}

unsigned int mysql_errno(MYSQL* m)
{
    ZT_REAL(mysql_errno);
    return pfnReal(m);
}

const char* mysql_error(MYSQL* m)
{
    ZT_REAL(mysql_error);
    return pfnReal(m);
}

my_ulonglong mysql_affected_rows(MYSQL* m)
{
    ZT_REAL(mysql_affected_rows);
    return pfnReal(m);
}

int mysql_next_result(MYSQL* m)
{
    ZT_REAL(mysql_next_result);
    return pfnReal(m);
}

int mysql_set_character_set(MYSQL* m, const char* cs)
{
    ZT_REAL(mysql_set_character_set);
    return pfnReal(m, cs);
}

int mysql_ssl_set(MYSQL* m, const char* key, const char* cert, const char* ca, const char* capath,
                  const char* cipher)
{
    ZT_REAL(mysql_ssl_set);
    return pfnReal(m, key, cert, ca, capath, cipher);
}

int mysql_options(MYSQL* m, enum mysql_option option, const void* arg)
{
    ZT_REAL(mysql_options);
    return pfnReal(m, option, arg);
}

// Only the client version is asked for by the driver.
my_bool mariadb_get_infov(MYSQL* m, enum mariadb_value value, void* arg, ...)
{
    ZT_REAL(mariadb_get_infov);
    return pfnReal(m, value, arg);
}

} // extern "C"
