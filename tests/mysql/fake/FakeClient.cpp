// A stand-in for the client library, built once per scenario:
//   ZT_FAKE_COMPLETE          every function, and mariadb_get_infov
//   ZT_FAKE_NO_AFFECTED_ROWS  without mysql_affected_rows
//   ZT_FAKE_REQUIRED_ONLY     the twenty required functions, no
//                             mariadb_get_infov (nor the connection's
//                             own escaping or TLS cipher)
//   ZT_FAKE_NO_INFOV          every function, no mariadb_get_infov
//   ZT_FAKE_NO_NEXT_RESULT    every function but mysql_next_result
//   ZT_FAKE_THROWING          every function but mysql_get_client_info
//                             throws an int
// No server is reached: what the calls answer, and what they were given,
// is in the state that FakeClient_pState() hands to the tests.
#include "tests/support/FakeClientState.h"

#include <mysql/mysql.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifdef ZT_FAKE_THROWING
#define ZT_FAKE_ENTER() \
    s_state.nCalls++;   \
    throw 1
#else
#define ZT_FAKE_ENTER() s_state.nCalls++
#endif

namespace {

STFakeClientState s_state = {};
unsigned int s_nLastErrno = 0;

template <size_t N>
void Keep(char (&sz)[N], const char* psz)
{
    std::snprintf(sz, N, "%s", psz != nullptr ? psz : "(null)");
}

unsigned long EscapeBytes(char* to, const char* from, unsigned long n, bool bQuotesOnly);

} // namespace

extern "C" {

__attribute__((visibility("default"))) STFakeClientState* FakeClient_pState()
{
    return &s_state;
}

const char* mysql_get_client_info(void)
{
    s_state.nCalls++;
    if (s_state.szClientInfo[0] != 0)
        return s_state.szClientInfo;
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
    ZT_FAKE_ENTER();
    static char szDefault[] = "10.11.19-fake";
    return s_state.szServerInfo[0] != 0 ? s_state.szServerInfo : szDefault;
}

MYSQL* mysql_init(MYSQL* p)
{
    ZT_FAKE_ENTER();
    if (s_state.bInitNull)
        return nullptr;
    s_state.nInits++;
    return p != nullptr ? p : static_cast<MYSQL*>(std::calloc(1, 16));
}

MYSQL* mysql_real_connect(MYSQL* h, const char* host, const char* user, const char* password, const char* db,
                          unsigned int port, const char* socket, unsigned long flags)
{
    ZT_FAKE_ENTER();
    s_state.nConnects++;
    Keep(s_state.szHost, host);
    Keep(s_state.szUser, user);
    Keep(s_state.szPassword, password);
    Keep(s_state.szDatabase, db);
    Keep(s_state.szSocket, socket);
    s_state.nPort = port;
    s_state.nFlags = flags;
    s_nLastErrno = s_state.bConnectOK ? 0 : 2002;
    return s_state.bConnectOK ? h : nullptr;
}

void mysql_close(MYSQL* h)
{
    ZT_FAKE_ENTER();
    if (h != nullptr) {
        s_state.nCloses++;
        std::free(h);
    }
}

unsigned long mysql_escape_string(char* to, const char* from, unsigned long n)
{
    ZT_FAKE_ENTER();
    return EscapeBytes(to, from, n, false);
}

} // extern "C"

namespace {

unsigned long EscapeBytes(char* to, const char* from, unsigned long n, bool bQuotesOnly)
{
    char* p = to;
    if (bQuotesOnly) {
        for (unsigned long i = 0; i < n; i++) {
            if (from[i] == '\'')
                *p++ = '\'';
            *p++ = from[i];
        }
        *p = 0;
        return static_cast<unsigned long>(p - to);
    }
    for (unsigned long i = 0; i < n; i++) {
        const char c = from[i];
        const char* pszEscape = c == 0 ? "\\0" : c == '\n' ? "\\n" : c == '\r' ? "\\r" : c == '\\' ? "\\\\"
                              : c == '\'' ? "\\'" : c == '"' ? "\\\"" : c == '\032' ? "\\Z" : nullptr;
        if (pszEscape != nullptr) {
            *p++ = pszEscape[0];
            *p++ = pszEscape[1];
        } else {
            *p++ = c;
        }
    }
    *p = 0;
    return static_cast<unsigned long>(p - to);
}

} // namespace

extern "C" {

int mysql_real_query(MYSQL*, const char* q, unsigned long n)
{
    ZT_FAKE_ENTER();
    const size_t nUsed = std::strlen(s_state.szQueries);
    std::snprintf(s_state.szQueries + nUsed, sizeof(s_state.szQueries) - nUsed, "%.*s\n", static_cast<int>(n), q);
    s_nLastErrno = s_state.nQueryResult != 0 ? 1064 : 0;
    return s_state.nQueryResult;
}

MYSQL_RES* mysql_store_result(MYSQL*)
{
    ZT_FAKE_ENTER();
    return nullptr;
}

MYSQL_RES* mysql_use_result(MYSQL*)
{
    ZT_FAKE_ENTER();
    return nullptr;
}

void mysql_free_result(MYSQL_RES*)
{
    ZT_FAKE_ENTER();
}

MYSQL_FIELD* mysql_fetch_fields(MYSQL_RES*)
{
    ZT_FAKE_ENTER();
    return nullptr;
}

unsigned int mysql_num_fields(MYSQL_RES*)
{
    ZT_FAKE_ENTER();
    return 0;
}

unsigned long* mysql_fetch_lengths(MYSQL_RES*)
{
    ZT_FAKE_ENTER();
    return nullptr;
}

void mysql_data_seek(MYSQL_RES*, unsigned long long)
{
    ZT_FAKE_ENTER();
}

MYSQL_ROW mysql_fetch_row(MYSQL_RES*)
{
    ZT_FAKE_ENTER();
    return nullptr;
}

my_ulonglong mysql_num_rows(MYSQL_RES*)
{
    ZT_FAKE_ENTER();
    return 0;
}

my_ulonglong mysql_insert_id(MYSQL*)
{
    ZT_FAKE_ENTER();
    return 0;
}

unsigned int mysql_errno(MYSQL*)
{
    ZT_FAKE_ENTER();
    return s_nLastErrno;
}

const char* mysql_error(MYSQL*)
{
    ZT_FAKE_ENTER();
    return s_nLastErrno != 0 ? "fake client library: refused" : "";
}

#ifndef ZT_FAKE_NO_AFFECTED_ROWS
my_ulonglong mysql_affected_rows(MYSQL*)
{
    ZT_FAKE_ENTER();
    return 0;
}
#endif

#if !defined(ZT_FAKE_REQUIRED_ONLY) && !defined(ZT_FAKE_NO_NEXT_RESULT)
int mysql_next_result(MYSQL*)
{
    ZT_FAKE_ENTER();
    return -1;
}
#endif

#ifndef ZT_FAKE_REQUIRED_ONLY
int mysql_set_character_set(MYSQL*, const char*)
{
    ZT_FAKE_ENTER();
    return 0;
}

int mysql_ssl_set(MYSQL*, const char*, const char*, const char* ca, const char*, const char*)
{
    ZT_FAKE_ENTER();
    s_state.nSslCalls++;
    Keep(s_state.szSslCA, ca);
    s_nLastErrno = s_state.nSslResult != 0 ? 2026 : 0;
    return s_state.nSslResult;
}

unsigned long mysql_real_escape_string(MYSQL*, char* to, const char* from, unsigned long n)
{
    ZT_FAKE_ENTER();
    s_state.nRealEscapes++;
    return EscapeBytes(to, from, n, s_state.bNoBackslashEscapes != 0);
}

const char* mysql_get_ssl_cipher(MYSQL*)
{
    ZT_FAKE_ENTER();
    return s_state.szSslCipher[0] != 0 ? s_state.szSslCipher : nullptr;
}

int mysql_options(MYSQL*, enum mysql_option option, const void* arg)
{
    ZT_FAKE_ENTER();
    s_state.nOptionsCalls++;
    if (option == MYSQL_SET_CHARSET_NAME)
        Keep(s_state.szCharset, static_cast<const char*>(arg));
    if (option == MYSQL_OPT_CONNECT_TIMEOUT) {
        s_state.nConnectTimeout = *static_cast<const unsigned int*>(arg);
        s_state.nConnectTimeoutCalls++;
    }
    if (option == MYSQL_OPT_SSL_VERIFY_SERVER_CERT) {
        s_state.nVerifyServerCert = *static_cast<const my_bool*>(arg);
        s_state.nVerifyServerCertCalls++;
        if (s_state.nVerifyServerCertResult != 0)
            return s_state.nVerifyServerCertResult;
    }
    return s_state.nOptionsResult;
}
#endif

#if !defined(ZT_FAKE_REQUIRED_ONLY)
void mysql_server_end(void)
{
    ZT_FAKE_ENTER();
    s_state.nServerEnds++;
}
#endif

#if !defined(ZT_FAKE_REQUIRED_ONLY) && !defined(ZT_FAKE_NO_INFOV) && !defined(ZT_FAKE_THROWING)
my_bool mariadb_get_infov(MYSQL*, enum mariadb_value value, void* arg, ...)
{
    if (s_state.bNoInfovVersion || value != MARIADB_CLIENT_VERSION || arg == nullptr)
        return 1;
    *static_cast<const char**>(arg) = "10.11.19";
    return 0;
}
#endif

} // extern "C"
