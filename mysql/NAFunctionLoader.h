// The MySQL client library, opened at run time and never linked: every
// client function is reached through a writable, exported pointer that
// holds a stand-by (which throws) until the library is bound, and every
// call through one of them runs under the crash guard bNAClientCall.
#pragma once

#include "common/text/Tstring.h"

#include <mysql/mysql.h>

#include <type_traits>

class CNAConnectionDescription;
class CNAError;

// The client functions in binding order: name, result, parameters and
// whether the library must have it. Each pointer has the function's own
// i386 signature (unsigned long is 32 bits, my_ulonglong 64).
#define ZT_MYSQL_CLIENT_FUNCTIONS(X)                                                                              \
    X(mysql_get_client_info, const char*, (void), 1)                                                          \
    X(mysql_get_server_info, char*, (MYSQL*), 1)                                                              \
    X(mysql_init, MYSQL*, (MYSQL*), 1)                                                                        \
    X(mysql_real_connect, MYSQL*,                                                                             \
      (MYSQL*, const char*, const char*, const char*, const char*, unsigned int, const char*, unsigned long), 1) \
    X(mysql_close, void, (MYSQL*), 1)                                                                         \
    X(mysql_escape_string, unsigned long, (char*, const char*, unsigned long), 1)                             \
    X(mysql_real_query, int, (MYSQL*, const char*, unsigned long), 1)                                         \
    X(mysql_store_result, MYSQL_RES*, (MYSQL*), 1)                                                            \
    X(mysql_use_result, MYSQL_RES*, (MYSQL*), 1)                                                              \
    X(mysql_free_result, void, (MYSQL_RES*), 1)                                                               \
    X(mysql_fetch_fields, MYSQL_FIELD*, (MYSQL_RES*), 1)                                                      \
    X(mysql_num_fields, unsigned int, (MYSQL_RES*), 1)                                                        \
    X(mysql_fetch_lengths, unsigned long*, (MYSQL_RES*), 1)                                                   \
    X(mysql_data_seek, void, (MYSQL_RES*, unsigned long long), 1)                                             \
    X(mysql_fetch_row, MYSQL_ROW, (MYSQL_RES*), 1)                                                            \
    X(mysql_num_rows, my_ulonglong, (MYSQL_RES*), 1)                                                          \
    X(mysql_insert_id, my_ulonglong, (MYSQL*), 1)                                                             \
    X(mysql_errno, unsigned int, (MYSQL*), 1)                                                                 \
    X(mysql_error, const char*, (MYSQL*), 1)                                                                  \
    X(mysql_affected_rows, my_ulonglong, (MYSQL*), 1)                                                         \
    X(mysql_next_result, int, (MYSQL*), 0)                                                                    \
    X(mysql_set_character_set, int, (MYSQL*, const char*), 0)                                                 \
    X(mysql_ssl_set, int, (MYSQL*, const char*, const char*, const char*, const char*, const char*), 0)       \
    X(mysql_options, int, (MYSQL*, enum mysql_option, const void*), 0)                                        \
    X(mysql_real_escape_string, unsigned long, (MYSQL*, char*, const char*, unsigned long), 0)               \
    X(mysql_get_ssl_cipher, const char*, (MYSQL*), 0)

// PFN_mysql_init and the like; the stand-bys DefaultError_mysql_init and
// the like, which throw the function's name as a CTString.
#define ZT_MYSQL_DECLARE_TYPE(name, result, params, required) typedef result(*PFN_##name) params;
#define ZT_MYSQL_DECLARE_STANDBY(name, result, params, required) [[noreturn]] result DefaultError_##name params;
ZT_MYSQL_CLIENT_FUNCTIONS(ZT_MYSQL_DECLARE_TYPE)
ZT_MYSQL_CLIENT_FUNCTIONS(ZT_MYSQL_DECLARE_STANDBY)
#undef ZT_MYSQL_DECLARE_TYPE
#undef ZT_MYSQL_DECLARE_STANDBY

// __mysql_init and the like: exported data of the module.
#define ZT_MYSQL_DECLARE_POINTER(name, result, params, required) \
    extern "C" __attribute__((visibility("default"))) PFN_##name __##name;
ZT_MYSQL_CLIENT_FUNCTIONS(ZT_MYSQL_DECLARE_POINTER)
#undef ZT_MYSQL_DECLARE_POINTER

class CNAFunctionLoader {
public:
    CNAFunctionLoader() : m_hLibrary(nullptr) {}
    CNAFunctionLoader(const CNAFunctionLoader&) = delete;
    CNAFunctionLoader& operator=(const CNAFunctionLoader&) = delete;

    // ---- Virtual operations, in slot order ----------------------------------
    virtual ~CNAFunctionLoader();
    // Closes the library when one is open.
    virtual void _Term();
    virtual const wchar_t* _vpszGetLibraryName() const;

    // Opens the library (pszLibrary, else the default name) and binds the
    // pointers; the loaded file's path goes to pLoadedPath. Errors: 27 at
    // 9.1 when it cannot be opened (the loader stays, with nothing open, and
    // the next call tries again), 37 at 9.2 when a required function is
    // missing (the library stays open).
    static int g_bInitNative(CNAError* pError, CTString* pLoadedPath, const wchar_t* pszLibrary, int bLoadOnly);
    static int _g_bInitLoader(CNAError* pError);
    // Whether a library is open.
    static int g_bLoaded();
    // Module end: closes the library, deletes the loader and puts every
    // pointer back to its stand-by.
    static void g_Term();

    // The loaded library's own version text, read as code page 1252: the
    // client version of mariadb_get_infov when the library has it (its
    // mysql_get_client_info answers the compatibility level only), else
    // mysql_get_client_info. False after a caught call, reported at
    // nFile.nPoint.
    static int g_bGetClientVersion(CNAError* pError, CNAConnectionDescription* pConnection, int nFile, int nPoint,
                                   CTString* pVersion);
    // Major and minor numbers of a version text ("5.0.51a" gives 5 and 0);
    // 0 and 0 when it does not start with a digit.
    static void g_GetVersionNumbers(const wchar_t* pszVersion, int* pnMajor, int* pnMinor);

    int _bInitNative(CNAError* pError, CTString* pLoadedPath, const wchar_t* pszLibrary, int bLoadOnly);
    void _GetLibraryName(CTString* pName, int bLoadOnly) const;
    // Opens pszPath: a path with a directory as it is; a bare name first
    // from the running program's directory, then through the dynamic
    // loader's own search.
    int _bLoadLibraryNative(unsigned int* pErrno, const wchar_t* pszPath);
    // Opens pszName from pszDirectory (none: the loader's search) without
    // changing the working directory.
    int _bLoadLibraryNative(unsigned int* pErrno, const wchar_t* pszName, const wchar_t* pszDirectory);

    static CNAFunctionLoader* g_pclNAFunctionLoader;

protected:
    void* m_hLibrary;
};

// ---- The crash guard ------------------------------------------------------------

// Reports a call that ran into a stand-by: user error 37 with the function's
// name at nFile.nPoint, to pError only (dropped without one).
void NAClientCallMissing(CNAError* pError, CNAConnectionDescription* pConnection, int nFile, int nPoint,
                         const CTString& csFunction);
// Reports any other exception out of a client call: user error 23 at
// nFile.nPoint, to pError or else to the driver's own error object, and
// marks CNADriver::s_bGPFCatched.
void NAClientCallCrash(CNAError* pError, CNAConnectionDescription* pConnection, int nFile, int nPoint);

// Calls pfn(args...) under the guard. A caught call is reported at
// nFile.nPoint, leaves failure in result and answers false; the exception
// never goes further.
template <class R, class... P, class... A>
bool bNAClientCall(CNAError* pError, CNAConnectionDescription* pConnection, int nFile, int nPoint, R& result,
                   typename std::common_type<R>::type failure, R (*pfn)(P...), A... args)
{
    try {
        result = pfn(args...);
        return true;
    } catch (const CTString& csFunction) {
        NAClientCallMissing(pError, pConnection, nFile, nPoint, csFunction);
    } catch (...) {
        NAClientCallCrash(pError, pConnection, nFile, nPoint);
    }
    result = failure;
    return false;
}

// The same for a client function without a result.
template <class... P, class... A>
bool bNAClientCall(CNAError* pError, CNAConnectionDescription* pConnection, int nFile, int nPoint,
                   void (*pfn)(P...), A... args)
{
    try {
        pfn(args...);
        return true;
    } catch (const CTString& csFunction) {
        NAClientCallMissing(pError, pConnection, nFile, nPoint, csFunction);
    } catch (...) {
        NAClientCallCrash(pError, pConnection, nFile, nPoint);
    }
    return false;
}
