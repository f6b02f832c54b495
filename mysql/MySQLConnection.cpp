#include "mysql/MySQLConnection.h"

#include "access/driver/NADriverSQL.h"
#include "access/driver/NAError.h"
#include "access/driver/NaDriver.h"
#include "access/statement/NAStatementSQL.h"
#include "access/driver/NAItemDescription.h"
#include "access/driver/NAMapConvertType.h"
#include "common/platform/MyModuleInfo.h"
#include "common/text/CodePage.h"
#include "common/text/STR.h"
#include "common/text/TextCompare.h"
#include "common/text/TQBIN.h"
#include "common/text/TStringConcatAW.h"
#include "common/values/Any.h"
#include "mysql/NACodePageCnv.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <new>
#include <string>

int CMySQLConnection::gbUseNextResult = 0;

namespace {

const int FILE_CNX = CMySQLConnection::ERRFILE_MYSQLCONNECTION;

// Error points of this file.
enum : int {
    PT_NO_SSL = 1,
    PT_NO_OPTIONS = 2,
    PT_ESCAPE_BUFFER = 3,
    PT_OPTIONS = 4,
    PT_CONNECT = 5,
    PT_INIT = 6,
    PT_CLIENT_INFO = 7,
    PT_CLOSE = 8,
    PT_ESCAPE = 9,
    PT_QUERY = 10,
    PT_ERROR = 12,
    PT_ERRNO = 13,
    PT_SERVER_INFO = 15,
    PT_CONNECT_REFUSED = 16,
    PT_QUERY_REFUSED = 17,
    PT_SSL = 18,
    PT_SSL_SERVER = 19,
    PT_OPTIONS_REFUSED = 20,
    PT_INIT_NULL = 21,
    PT_SSL_REFUSED = 22,
    PT_CONNECT_FAILED = 23,
    PT_CONNECT_NO_DATABASE = 27,
    PT_RECONNECT = 28,
    PT_STORE_RESULT = 29,
    PT_FREE_RESULT = 30,
    PT_NEXT_RESULT = 31,
    PT_NOT_CONNECTED = 32,
    PT_NO_SQL_INTERFACE = 33,
    PT_SSL_CIPHER = 34,
    PT_NOT_ENCRYPTED = 35,
    PT_CODE_PAGE = 36,
    PT_SSL_MODE = 37,
    PT_SSL_NO_CA = 38,
};

// The server's number for a database it does not know.
const unsigned int SERVER_UNKNOWN_DATABASE = 1049;
// The client library's codes for a session that has ended under it.
const unsigned int CLIENT_SERVER_GONE = 2006;
const unsigned int CLIENT_SERVER_LOST = 2013;
const int NB_SSL_TEXTS = 5;

bool _bVide(const wchar_t* psz)
{
    return psz == nullptr || psz[0] == 0;
}

const wchar_t* _pszOrNull(const wchar_t* psz)
{
    return _bVide(psz) ? nullptr : psz;
}

const wchar_t* _pszOrEmpty(const wchar_t* psz)
{
    return psz != nullptr ? psz : L"";
}

// "SSL Mode", in any case. Absent or empty asks for nothing; from REQUIRED
// up a session in TLS or none; the two VERIFY modes also have the library
// verify the server's certificate with the CA given.
enum eSSLMODE : int {
    SSLMODE_UNKNOWN = -1,
    SSLMODE_NONE = 0,
    SSLMODE_DISABLED,
    SSLMODE_PREFERRED,
    SSLMODE_REQUIRED,
    SSLMODE_VERIFY_CA,
    SSLMODE_VERIFY_IDENTITY,
};

eSSLMODE _eSSLMode(const wchar_t* pszMode)
{
    if (_bVide(pszMode))
        return SSLMODE_NONE;
    const wchar_t* const tabWord[] = {L"DISABLED", L"PREFERRED", L"REQUIRED", L"VERIFY_CA", L"VERIFY_IDENTITY"};
    for (int i = 0; i < 5; i++)
        if (STR_nCompareW(pszMode, tabWord[i], 1) == 0)
            return static_cast<eSSLMODE>(SSLMODE_DISABLED + i);
    return SSLMODE_UNKNOWN;
}

bool _bAscii(const wchar_t* psz)
{
    for (; psz != nullptr && *psz != 0; psz++)
        if (static_cast<unsigned int>(*psz) > 0x7F)
            return false;
    return true;
}

int _nReadInt(const CTString& cs)
{
    int n = 0;
    return cs.nTaille() > 0 && std::swscanf(cs.pszGet(), L"%d", &n) == 1 ? n : 0;
}

void _Empty(CTStringConcatAW* pclOut)
{
    pclOut->m_clA.m_nLength = 0;
    pclOut->m_clA._Termine();
    pclOut->m_clW.m_nLength = 0;
    pclOut->m_clW._Termine();
}

bool _bAtLeast(int nMajor, int nMinor, int nRelease, int nWantedMajor, int nWantedMinor, int nWantedRelease)
{
    if (nMajor != nWantedMajor)
        return nMajor > nWantedMajor;
    if (nMinor != nWantedMinor)
        return nMinor > nWantedMinor;
    return nRelease >= nWantedRelease;
}

} // namespace

CMySQLConnection::CMySQLConnection(const wchar_t* pszIdentification, INAConnectionDescription* piHost)
    : CNAConnectionDescription(pszIdentification, piHost),
      m_bOpened(0),
      m_bConnected(0),
      m_hMySQL(nullptr),
      m_bServerOptionsRead(0),
      m_nPort(0),
      m_nClientFlag(0),
      m_bSessionToReopen(0),
      m_llMaxPacket(-1)
{
    m_eDataSource = DS_MYSQL;
    m_csOpeningQuote = L"`";
    m_nOpeningQuoteLength = 1;
    m_csClosingQuote = L"`";
    m_nClosingQuoteLength = 1;
}

CMySQLConnection::~CMySQLConnection()
{
    bClose(nullptr);
}

// ---- Opening ----------------------------------------------------------------------------------

int CMySQLConnection::bOpen(CNAError* pError)
{
    return _bOpenCreate(pError, 0);
}

int CMySQLConnection::bOpenCreate(CNAError* pError)
{
    return _bOpenCreate(pError, 1);
}

int CMySQLConnection::bIsOpen()
{
    return m_bConnected;
}

int CMySQLConnection::bSupportOrderByMemo()
{
    return 1;
}

int CMySQLConnection::_bOpenCreate(CNAError* pError, int bCreate)
{
    if (m_bConnected)
        return 1;
    _InitCodePageFromTQ();
    m_nCnxCodePage = 1252;
    if (!CNAFunctionLoader::g_bLoaded() && !_bLoadClientLibrary(pError))
        return 0;
    // A library loaded by someone else still needs its version: the result
    // layouts depend on it.
    if (m_nClientVersionMajor < 0 && !_bGetClientLibraryVersion(pError))
        return 0;
    _ReadServerOptions();
    if (!_bCheckSSLMode(pError))
        return 0;

    const wchar_t* tabSSL[NB_SSL_TEXTS] = {_pszOrNull(m_csSSLKey.pszGet()), _pszOrNull(m_csSSLCert.pszGet()),
                                           _pszOrNull(m_csSSLCA.pszGet()), _pszOrNull(m_csSSLCAPath.pszGet()),
                                           _pszOrNull(m_csSSLCipher.pszGet())};
    int bSSL = _eSSLMode(pszGetSSLMode()) >= SSLMODE_REQUIRED ? 1 : 0;
    for (const wchar_t* psz : tabSSL)
        bSSL |= psz != nullptr;

    const wchar_t* pszHost = pszGetDataBase();
    const wchar_t* pszUser = pszGetUserName();
    const wchar_t* pszPassword = pszGetPassword();
    // An empty name asks for no database.
    const wchar_t* pszDatabase = _pszOrNull(pszGetDefaultDataBaseEx());
    const wchar_t* pszSocket = _pszOrNull(m_csUnixSocket.pszGet());

    if (m_nUnicodeSupport != 0 &&
        !_bProcessUnicodeCnxParameters(pError, bSSL, pszHost, pszUser, pszPassword, pszDatabase, pszSocket, tabSSL))
        return 0;
    if (bSSL && __mysql_ssl_set == DefaultError_mysql_ssl_set) {
        if (pError != nullptr)
            pError->AddError(NA_ERRORTYPE_GENERAL, FILE_CNX, PT_NO_SSL, this, ZTERR_NO_SSL, m_csClientVersion.pszGet());
        return 0;
    }
    if (!_bOpenCreateDatabase(pError, bCreate, bSSL, tabSSL, pszHost, pszUser, pszPassword, pszDatabase, pszSocket))
        return 0;
    if (!_bGetServerVersion(pError)) {
        bClose(pError);
        return 0;
    }
    m_bOpened = 1;
    m_bSessionToReopen = 0;
    _SetSessionCharset();
    return m_bConnected;
}

int CMySQLConnection::_bCheckSSLMode(CNAError* pError)
{
    const wchar_t* pszMode = pszGetSSLMode();
    const eSSLMODE eMode = _eSSLMode(pszMode);
    int nPoint = 0;
    std::wstring strWhy;
    if (eMode == SSLMODE_UNKNOWN) {
        // Ignored, a mistyped strict mode would give a clear-text session.
        nPoint = PT_SSL_MODE;
        strWhy = L"SSL Mode=" + std::wstring(pszMode) +
                 L": not a mode of this driver (DISABLED, PREFERRED, REQUIRED, VERIFY_CA, VERIFY_IDENTITY)";
    } else if (eMode >= SSLMODE_VERIFY_CA && _bVide(m_csSSLCA.pszGet()) && _bVide(m_csSSLCAPath.pszGet())) {
        nPoint = PT_SSL_NO_CA;
        strWhy = L"SSL Mode=" + std::wstring(pszMode) + L": \"SSL CA\" or \"SSL CAPath\" must give the certificate "
                 L"authority that verifies the server";
    } else {
        return 1;
    }
    if (pError != nullptr) {
        pError->AddErrorFirst(NA_ERRORTYPE_GENERAL, FILE_CNX, nPoint, this, ZTERR_CONNECT);
        pError->AddUserMessageNoFormat(strWhy.c_str());
    }
    return 0;
}

int CMySQLConnection::_bLoadClientLibrary(CNAError* pError)
{
    if (!CNAFunctionLoader::g_bInitNative(pError, &m_csClientLibrary, m_csClientLibraryWanted.pszGet(), 0))
        return 0;
    // Set at every load: a library loaded after the module's end may differ.
    gbUseNextResult = __mysql_next_result != DefaultError_mysql_next_result ? 1 : 0;
    return _bGetClientLibraryVersion(pError);
}

int CMySQLConnection::_bGetClientLibraryVersion(CNAError* pError)
{
    CTString csVersion;
    if (!CNAFunctionLoader::g_bGetClientVersion(pError, this, FILE_CNX, PT_CLIENT_INFO, &csVersion))
        return 0;
    m_csClientVersion = csVersion;
    CNAFunctionLoader::g_GetVersionNumbers(csVersion.pszGet(), &m_nClientVersionMajor, &m_nClientVersionMinor);
    return 1;
}

int CMySQLConnection::_bProcessUnicodeCnxParameters(CNAError* pError, int bSSL, const wchar_t* pszHost,
                                                    const wchar_t* pszUser, const wchar_t* pszPassword,
                                                    const wchar_t* pszDatabase, const wchar_t* pszSocket,
                                                    const wchar_t* const* tabSSL)
{
    // The server converts names from the handshake's character set, but
    // compares a password's bytes with those it was set with, which its
    // own tools send in UTF-8: a password outside ASCII travels in UTF-8.
    bool bNeed = !bLatin1(pszHost) || !bLatin1(pszUser) || !_bAscii(pszPassword) || !bLatin1(pszDatabase) ||
                 !bLatin1(pszSocket);
    for (int i = 0; bSSL && i < NB_SSL_TEXTS; i++)
        bNeed = bNeed || !bLatin1(tabSSL[i]);
    if (!bNeed)
        return 1;
    // The character set is set on each handle (_hNewHandle).
    if (__mysql_options == DefaultError_mysql_options) {
        if (pError != nullptr)
            pError->AddError(NA_ERRORTYPE_GENERAL, FILE_CNX, PT_NO_OPTIONS, this, ZTERR_NO_OPTIONS,
                             m_csClientVersion.pszGet());
        return 0;
    }
    m_nCnxCodePage = 65001;
    return 1;
}

MYSQL* CMySQLConnection::_hNewHandle(CNAError* pError, int bSSL, const wchar_t* const* tabSSL)
{
    MYSQL* h = nullptr;
    if (!bNAClientCall(pError, this, FILE_CNX, PT_INIT, h, nullptr, __mysql_init, nullptr)) {
        if (pError != nullptr)
            pError->AddErrorFirst(NA_ERRORTYPE_GENERAL, FILE_CNX, PT_INIT_NULL, this, ZTERR_INIT_HANDLE);
        return nullptr;
    }
    if (h == nullptr) {
        if (pError != nullptr) {
            pError->AddErrorFirst(NA_ERRORTYPE_GENERAL, FILE_CNX, PT_INIT_NULL, this, ZTERR_INIT_HANDLE);
            pError->AddDebugMessageNoFormat(L"mysql_init returned NULL");
        }
        return nullptr;
    }
    if (__mysql_options != DefaultError_mysql_options) {
        // The library's own default is utf8mb4: the session must be told the
        // code page the texts travel in.
        const char* pszCharset = m_nCnxCodePage == 65001 ? "utf8" : "latin1";
        // Without a time-out an address that accepts and never answers
        // holds the open, and the driver mutex with it, for ever.
        const unsigned int nTimeout = static_cast<unsigned int>(nGetConnectionTimeout());
        if (!_bSetOption(pError, h, MYSQL_SET_CHARSET_NAME, pszCharset) ||
            (nGetConnectionTimeout() > 0 && !_bSetOption(pError, h, MYSQL_OPT_CONNECT_TIMEOUT, &nTimeout))) {
            _bCloseHandle(pError, h);
            return nullptr;
        }
    }
    if (bSSL && !_bSetSSLParameters(pError, h, tabSSL)) {
        _bCloseHandle(pError, h);
        return nullptr;
    }
    // The library checks the server's name against its certificate only
    // when asked; the chain it verifies with any CA it is given.
    const my_bool bVerify = 1;
    if (bSSL && _eSSLMode(pszGetSSLMode()) == SSLMODE_VERIFY_IDENTITY &&
        !_bSetOption(pError, h, MYSQL_OPT_SSL_VERIFY_SERVER_CERT, &bVerify)) {
        _bCloseHandle(pError, h);
        return nullptr;
    }
    return h;
}

int CMySQLConnection::_bSetOption(CNAError* pError, MYSQL* h, int nOption, const void* pValue)
{
    int nResult = 1;
    bNAClientCall(pError, this, FILE_CNX, PT_OPTIONS, nResult, 1, __mysql_options, h,
                  static_cast<enum mysql_option>(nOption), pValue);
    if (nResult == 0)
        return 1;
    if (pError != nullptr)
        pError->AddErrorFirst(NA_ERRORTYPE_GENERAL, FILE_CNX, PT_OPTIONS_REFUSED, this, ZTERR_NO_OPTIONS,
                              m_csClientVersion.pszGet());
    return 0;
}

int CMySQLConnection::_bSetSSLParameters(CNAError* pError, MYSQL* h, const wchar_t* const* tabSSL)
{
    CNACodePageCnvIN clKey(m_nCnxCodePage, tabSSL[0]);
    CNACodePageCnvIN clCert(m_nCnxCodePage, tabSSL[1]);
    CNACodePageCnvIN clCA(m_nCnxCodePage, tabSSL[2]);
    CNACodePageCnvIN clCAPath(m_nCnxCodePage, tabSSL[3]);
    CNACodePageCnvIN clCipher(m_nCnxCodePage, tabSSL[4]);
    int nResult = 1;
    const bool bCalled = bNAClientCall(pError, this, FILE_CNX, PT_SSL, nResult, 1, __mysql_ssl_set, h,
                                       clKey.pszGet(), clCert.pszGet(), clCA.pszGet(), clCAPath.pszGet(),
                                       clCipher.pszGet());
    // A one-byte answer.
    if (bCalled && (nResult & 0xFF) == 0)
        return 1;
    _bInitError(pError, h, FILE_CNX, PT_SSL_SERVER, nullptr);
    if (pError != nullptr)
        pError->AddErrorFirst(NA_ERRORTYPE_GENERAL, FILE_CNX, PT_SSL_REFUSED, this, ZTERR_CONNECT);
    return 0;
}

MYSQL* CMySQLConnection::_hConnect(CNAError* pError, int nPoint, int bSSL, const wchar_t* const* tabSSL,
                                   const wchar_t* pszHost, const wchar_t* pszUser, const wchar_t* pszPassword,
                                   const wchar_t* pszDatabase, const wchar_t* pszSocket, unsigned int* pnServerError)
{
    *pnServerError = 0;
    MYSQL* h = _hNewHandle(pError, bSSL, tabSSL);
    if (h == nullptr)
        return nullptr;
    unsigned long nFlags = static_cast<unsigned long>(nGetClientFlag()) | CLIENT_FOUND_ROWS;
    if (bMultipleRecordsetEnabled())
        nFlags |= CLIENT_MULTI_STATEMENTS;
    CNACodePageCnvIN clHost(m_nCnxCodePage, pszHost);
    CNACodePageCnvIN clUser(m_nCnxCodePage, pszUser);
    CNACodePageCnvIN clPassword(m_nCnxCodePage, pszPassword);
    CNACodePageCnvIN clDatabase(m_nCnxCodePage, pszDatabase);
    CNACodePageCnvIN clSocket(m_nCnxCodePage, pszSocket);
    MYSQL* hConnected = nullptr;
    if (bNAClientCall(pError, this, FILE_CNX, nPoint, hConnected, nullptr, __mysql_real_connect, h, clHost.pszGet(),
                      clUser.pszGet(), clPassword.pszGet(), clDatabase.pszGet(),
                      static_cast<unsigned int>(nGetPort()), clSocket.pszGet(), nFlags)) {
        if (hConnected != nullptr && _bEncryptedAsRequired(pError, h))
            return h;
        if (hConnected == nullptr) {
            _bInitError(pError, h, FILE_CNX, PT_CONNECT_REFUSED, pnServerError);
            if (pError != nullptr)
                pError->AddErrorFirst(NA_ERRORTYPE_GENERAL, FILE_CNX, PT_CONNECT_FAILED, this, ZTERR_CONNECT);
        }
    }
    _bCloseHandle(pError, h);
    return nullptr;
}

int CMySQLConnection::_bEncryptedAsRequired(CNAError* pError, MYSQL* h)
{
    if (_eSSLMode(pszGetSSLMode()) < SSLMODE_REQUIRED)
        return 1;
    // A library that asked for TLS but went on in clear text is caught
    // here: the session's cipher is the proof.
    const char* pszCipher = nullptr;
    bNAClientCall(pError, this, FILE_CNX, PT_SSL_CIPHER, pszCipher, nullptr, __mysql_get_ssl_cipher, h);
    if (pszCipher != nullptr && pszCipher[0] != 0)
        return 1;
    if (pError != nullptr) {
        pError->AddErrorFirst(NA_ERRORTYPE_GENERAL, FILE_CNX, PT_NOT_ENCRYPTED, this, ZTERR_CONNECT);
        const std::wstring strWhy = L"SSL Mode=" + std::wstring(pszGetSSLMode()) + L": the session is not encrypted";
        pError->AddDebugMessageNoFormat(strWhy.c_str());
    }
    return 0;
}

int CMySQLConnection::_bOpenCreateDatabase(CNAError* pError, int bCreate, int bSSL, const wchar_t* const* tabSSL,
                                           const wchar_t* pszHost, const wchar_t* pszUser,
                                           const wchar_t* pszPassword, const wchar_t* pszDatabase,
                                           const wchar_t* pszSocket)
{
    unsigned int nServerError = 0;
    MYSQL* h = _hConnect(pError, PT_CONNECT, bSSL, tabSSL, pszHost, pszUser, pszPassword, pszDatabase, pszSocket,
                         &nServerError);
    if (h == nullptr) {
        if (!bCreate || nServerError != SERVER_UNKNOWN_DATABASE || pszDatabase == nullptr)
            return 0;
        // A handle of its own, without a database, makes the database.
        MYSQL* hCreate = _hConnect(pError, PT_CONNECT_NO_DATABASE, bSSL, tabSSL, pszHost, pszUser, pszPassword,
                                   nullptr, pszSocket, &nServerError);
        if (hCreate == nullptr)
            return 0;
        // The whole name as one identifier, a dot included.
        CTString csQuery(L"CREATE DATABASE `");
        for (const wchar_t* p = pszDatabase; *p != 0; p++) {
            csQuery.Add(*p);
            if (*p == L'`')
                csQuery.Add(L'`');
        }
        csQuery.Add(L'`');
        m_hMySQL = hCreate;
        const int bCreated = bExecuteQueryNoResult(pError, csQuery.pszGet());
        m_hMySQL = nullptr;
        _bCloseHandle(pError, hCreate);
        if (!bCreated)
            return 0;
        h = _hConnect(pError, PT_RECONNECT, bSSL, tabSSL, pszHost, pszUser, pszPassword, pszDatabase, pszSocket,
                      &nServerError);
        if (h == nullptr)
            return 0;
        // The database exists now: the refusal that led here is void.
        if (pError != nullptr)
            pError->Reset();
    }
    m_hMySQL = h;
    m_bConnected = 1;
    m_llMaxPacket = -1;
    return 1;
}

int CMySQLConnection::_bGetServerVersion(CNAError* pError)
{
    char* psz = nullptr;
    if (!bNAClientCall(pError, this, FILE_CNX, PT_SERVER_INFO, psz, nullptr, __mysql_get_server_info, m_hMySQL))
        return 0;
    CNACodePageCnvOUTPtr clVersion(m_nCnxCodePage, psz);
    m_csServerVersion = _pszOrEmpty(clVersion.pszGet());
    return _bDecomposeServerVersion(pError);
}

void CMySQLConnection::_SetSessionCharset()
{
    if (m_nUnicodeSupport == 0)
        return;
    if (!bServerVersionGreaterThan4_1() || !bClientVersionGreaterThan4_1()) {
        m_nUnicodeSupport = 0;
        return;
    }
    // 'utf8' holds three bytes at most from 5.5.3 on: characters beyond
    // U+FFFF would come back as '?'.
    const bool bMb4 = _bAtLeast(m_nServerVersionMajor, m_nServerVersionMinor, m_nServerVersionRevision, 5, 5, 3);
    // A refusal leaves the connection as it was, in its 8-bit code page.
    CNAError clIgnored;
    if (bExecuteQueryNoResult(&clIgnored, bMb4 ? L"SET NAMES 'utf8mb4'" : L"SET NAMES 'utf8'"))
        m_nCnxCodePage = 65001;
    else
        m_nUnicodeSupport = 0;
}

// ---- Closing ----------------------------------------------------------------------------------

int CMySQLConnection::bReopenLostSession(CNAError* pError)
{
    // A new session would run the transaction's later statements outside
    // it and commit them alone.
    if (_bTransactionOpened())
        return 0;
    bClose(pError);
    m_bSessionToReopen = 1;
    return bOpen(pError);
}

int CMySQLConnection::bTransactionBeginDirect(CNAError* pError)
{
    CNAError clBefore;
    if (pError != nullptr)
        clBefore.Copy(pError);
    if (CNAConnectionDescription::bTransactionBeginDirect(pError))
        return 1;
    // Only an outermost level runs BEGIN: the ended session held no open
    // transaction and took no work with it, so the transaction begins on a
    // new one. The error of the first try stays when none can be had.
    unsigned int nServerError = 0;
    if (!bGetLastError(pError, &nServerError) ||
        (nServerError != CLIENT_SERVER_GONE && nServerError != CLIENT_SERVER_LOST))
        return 0;
    CNAError clReopen;
    if (!bReopenLostSession(&clReopen)) {
        if (pError != nullptr)
            pError->AddError(clReopen.eGetErrorType(), clReopen.pclGetXError(), this);
        return 0;
    }
    if (pError != nullptr)
        pError->Copy(&clBefore);
    return CNAConnectionDescription::bTransactionBeginDirect(pError);
}

int CMySQLConnection::bClose(CNAError* pError)
{
    if (!m_bConnected)
        return 1;
    const int bClosed = _bCloseHandle(pError, m_hMySQL);
    m_hMySQL = nullptr;
    m_bConnected = 0;
    return bClosed;
}

int CMySQLConnection::_bCloseHandle(CNAError* pError, MYSQL* h)
{
    return bNAClientCall(pError, this, FILE_CNX, PT_CLOSE, __mysql_close, h) ? 1 : 0;
}

void CMySQLConnection::g_TermNativeLibrary() {}

// ---- Options and versions ------------------------------------------------------------------------

void CMySQLConnection::_ReadServerOptions()
{
    if (m_bServerOptionsRead)
        return;
    m_bServerOptionsRead = 1;
    CTString cs;
    _bGetExtendedParameter(&cs, L"Server Port", 1);
    m_nPort = _nReadInt(cs);
    _bGetExtendedParameter(&cs, L"Client Flag", 1);
    m_nClientFlag = _nReadInt(cs);
    _bGetExtendedParameter(&m_csUnixSocket, L"Unix Socket", 1);
}

int CMySQLConnection::nGetPort()
{
    _ReadServerOptions();
    return m_nPort;
}

int CMySQLConnection::nGetClientFlag()
{
    _ReadServerOptions();
    return m_nClientFlag;
}

int CMySQLConnection::bGetUnixSocket(CTString* pclSocket)
{
    _ReadServerOptions();
    *pclSocket = m_csUnixSocket;
    return 1;
}

int CMySQLConnection::bClientVersionGreaterThan4_1() const
{
    return _bAtLeast(m_nClientVersionMajor, m_nClientVersionMinor, 0, 4, 1, 0) ? 1 : 0;
}

int CMySQLConnection::bServerVersionGreaterThan4_1() const
{
    return _bAtLeast(m_nServerVersionMajor, m_nServerVersionMinor, 0, 4, 1, 0) ? 1 : 0;
}

int CMySQLConnection::bServerVersionGreaterThan4_1_2() const
{
    return _bAtLeast(m_nServerVersionMajor, m_nServerVersionMinor, m_nServerVersionRevision, 4, 1, 2) ? 1 : 0;
}

int CMySQLConnection::bMultipleRecordsetEnabled() const
{
    return gbUseNextResult != 0 && bClientVersionGreaterThan4_1() ? 1 : 0;
}

// ---- Errors ---------------------------------------------------------------------------------------

int CMySQLConnection::bGetLastError(CNAError* pError, unsigned int* pnServerError)
{
    return _bGetLastError(pError, m_hMySQL, pnServerError);
}

int CMySQLConnection::_bGetLastError(CNAError* pError, MYSQL* h, unsigned int* pnServerError)
{
    *pnServerError = 0;
    // No handle, no error: the library would read through a null pointer.
    if (h == nullptr)
        return 1;
    unsigned int n = 0;
    if (!bNAClientCall(pError, this, FILE_CNX, PT_ERRNO, n, 0u, __mysql_errno, h))
        return 0;
    *pnServerError = n;
    return 1;
}

int CMySQLConnection::bInitError(CNAError* pError, unsigned int nFile, unsigned int nPoint)
{
    return _bInitError(pError, m_hMySQL, nFile, nPoint, nullptr);
}

int CMySQLConnection::_bInitError(CNAError* pError, MYSQL* h, unsigned int nFile, unsigned int nPoint,
                                  unsigned int* pnServerError)
{
    unsigned int nServerError = 0;
    const int bRead = _bGetLastError(pError, h, &nServerError);
    if (pnServerError != nullptr)
        *pnServerError = nServerError;
    if (nServerError == 0)
        return bRead;
    const bool bSessionEnded = nServerError == CLIENT_SERVER_GONE || nServerError == CLIENT_SERVER_LOST;
    if (pError == nullptr && !(bSessionEnded && _bTransactionOpened()))
        return bRead;
    const char* pszMessage = nullptr;
    bNAClientCall(pError, this, FILE_CNX, PT_ERROR, pszMessage, nullptr, __mysql_error, h);
    CNACodePageCnvOUTPtr clMessage(m_nCnxCodePage, pszMessage);
    _CXErrorModule32 cl;
    cl.SetUserError(&gstMyModuleInfo32, ZTERR_SERVER, _pszOrEmpty(pszGetDataBase()), nServerError);
    cl.AddUserMessageNoFormat(_pszOrEmpty(clMessage.pszGet()));
    if (pError == nullptr || !pError->bIsQuiet()) {
        CNAError::g_AddDebugInfo(&cl, static_cast<int>(nFile), static_cast<int>(nPoint));
        cl.AddDebugMessage(&gstMyModuleInfo32, 0xFFFFFFFFu);
    }
    const int nBase = static_cast<int>(nServerError);
    cl.AddInfo(EIT_BASECODE, &nBase);
    // The server rolled back what the session held: the host must learn it
    // at every later step of the transaction, not only at this one.
    if (bSessionEnded)
        _TransactionLost(&cl);
    if (pError != nullptr)
        pError->AddError(NA_ERRORTYPE_GENERAL, &cl, this);
    return bRead;
}

eNA_ERRORTYPE CMySQLConnection::eGetNAErrorType(unsigned int nServerError)
{
    switch (nServerError) {
    case 1062:
        return NA_ERRORTYPE_DUPLICATE;
    case 1205:
        return NA_ERRORTYPE_LOCKTIMEOUT;
    case 1048:
        return NA_ERRORTYPE_NULLREFUSED;
    default:
        return NA_ERRORTYPE_GENERAL;
    }
}

// ---- Direct queries -------------------------------------------------------------------------------

int CMySQLConnection::bExecuteQueryNoResult(CNAError* pError, const wchar_t* pszQuery)
{
    if (m_hMySQL == nullptr) {
        if (pError != nullptr)
            pError->AddError(NA_ERRORTYPE_GENERAL, FILE_CNX, PT_NOT_CONNECTED, this, ZTERR_CONNECT);
        return 0;
    }
    CNACodePageCnvIN clQuery(m_nCnxCodePage, pszQuery);
    int nResult = 1;
    if (!bNAClientCall(pError, this, FILE_CNX, PT_QUERY, nResult, 1, __mysql_real_query, m_hMySQL, clQuery.pszGet(),
                       static_cast<unsigned long>(clQuery.nGetByteLength())))
        return 0;
    if (nResult != 0) {
        bInitError(pError, FILE_CNX, PT_QUERY_REFUSED);
        return 0;
    }
    return _bDropResults(pError);
}

int CMySQLConnection::_bDropResults(CNAError* pError)
{
    const bool bNextResult = __mysql_next_result != DefaultError_mysql_next_result;
    for (;;) {
        MYSQL_RES* pResult = nullptr;
        if (!bNAClientCall(pError, this, FILE_CNX, PT_STORE_RESULT, pResult, nullptr, __mysql_store_result,
                           m_hMySQL))
            return 0;
        if (pResult != nullptr) {
            bNAClientCall(pError, this, FILE_CNX, PT_FREE_RESULT, __mysql_free_result, pResult);
        } else {
            // No result: a statement without rows, or rows that could not
            // be read.
            unsigned int nServerError = 0;
            if (!bGetLastError(pError, &nServerError))
                return 0;
            if (nServerError != 0) {
                bInitError(pError, FILE_CNX, PT_QUERY_REFUSED);
                return 0;
            }
        }
        if (!bNextResult)
            return 1;
        int nNext = -1;
        if (!bNAClientCall(pError, this, FILE_CNX, PT_NEXT_RESULT, nNext, -1, __mysql_next_result, m_hMySQL))
            return 0;
        if (nNext < 0)
            return 1;
        if (nNext > 0) {
            bInitError(pError, FILE_CNX, PT_QUERY_REFUSED);
            return 0;
        }
    }
}

// Through a statement of the SQL interface, so that its failures are
// diagnosed as every statement's are (a lost connection above all).
int CMySQLConnection::bExecuteQueryIgnoreResult(CNAError* pError, const wchar_t* pszQuery)
{
    CNADriverSQL* pclSQL = CNADriver::s_pclGetDriverSQL();
    if (pclSQL == nullptr) {
        if (pError != nullptr)
            pError->AddError(NA_ERRORTYPE_GENERAL, ZTERR_NO_MEMORY, FILE_CNX, PT_NO_SQL_INTERFACE, this);
        return 0;
    }
    CNAStatementSQL* pclStatement = nullptr;
    const int bResult = pclSQL->bExecute(pError, &pclStatement, this, pszQuery, nullptr, 0);
    if (pclStatement != nullptr)
        pclStatement->nRelease();
    return bResult;
}

int CMySQLConnection::bSQLBloque(CNAError* pError, const wchar_t* pszTable)
{
    // The name as a name, never as SQL.
    CTString csTable;
    bFormatTableName(pError, pszTable, &csTable);
    CTString csQuery(L"SELECT * FROM ");
    csQuery.Add(csTable.pszGet());
    csQuery.Add(L" FOR UPDATE");
    return bExecuteQueryIgnoreResult(pError, csQuery.pszGet());
}

// ---- Literals -------------------------------------------------------------------------------------

int CMySQLConnection::_bEscapeString(CNAError* pError, CTStringConcatAW* pclOut, unsigned short nHostType,
                                     unsigned char* pData, unsigned int nSize)
{
    _Empty(pclOut);
    if (nSize == 0 || pData == nullptr) {
        pclOut->Add(L"''", 2, 1252);
        return 1;
    }
    // Before an open the texts are written as the open will send them.
    const int nCodePage = m_nCnxCodePage != -1 ? m_nCnxCodePage : 1252;
    CXYString<char> clText;
    const char* pBytes = nullptr;
    int nLength = 0;
    switch (nHostType) {
    case TQTYPE_PSTRA:
    case TQTYPE_DSTRA:
    case TQTYPE_CARA: {
        // 8-bit text of the host's code page, NUL characters included; a
        // character is one byte.
        const char* psz = reinterpret_cast<const char*>(pData);
        nLength = nHostType == TQTYPE_CARA ? 1 : static_cast<int>(nSize);
        pBytes = psz;
        if (nCodePage == 65001) {
            if (clText.nAffecteToUTF8(psz, nLength, m_nHostCodePage) != 0)
                return _bOutOfMemory(pError);
            pBytes = clText.pszGet();
            nLength = clText.nGetLength();
        }
        break;
    }
    case TQTYPE_DSTRW:
    case TQTYPE_PSTRW:
    case TQTYPE_CARW: {
        const wchar_t* psz = reinterpret_cast<const wchar_t*>(pData);
        const int nChars = nHostType == TQTYPE_CARW ? 1 : static_cast<int>(nSize / sizeof(wchar_t));
        // A character the session cannot hold is refused, never sent as '?'.
        int bLost = 0;
        if (WideCharToMultiByte(static_cast<unsigned>(nCodePage), 0, psz, nChars, nullptr, 0, nullptr, &bLost) <= 0 ||
            bLost)
            return _bRaiseCodePage(pError, psz, nChars, nCodePage);
        if (clText.__nConversion(psz, nChars, 0, nCodePage, 0, nullptr) != 0)
            return _bOutOfMemory(pError);
        pBytes = clText.pszGet();
        nLength = clText.nGetLength();
        break;
    }
    default:
        // Binary values travel as hexadecimal: every byte as it is, and
        // nothing the session's character set could change.
        _AppendHexa(pclOut, nullptr, pData, nSize);
        return 1;
    }

    // A NUL cannot travel inside the query text, and without the
    // connection's own escaping the session's sql_mode is unknown: such
    // texts go as hexadecimal of the session's character set, which reads
    // the same in every mode.
    const bool bRealEscape = m_hMySQL != nullptr && __mysql_real_escape_string != DefaultError_mysql_real_escape_string;
    bool bHexa = false;
    for (int i = 0; i < nLength && !bHexa; i++)
        bHexa = pBytes[i] == 0 || (!bRealEscape && (pBytes[i] == '\'' || pBytes[i] == '\\'));
    if (bHexa) {
        _AppendHexa(pclOut, _pszSessionCharset(nCodePage), reinterpret_cast<const unsigned char*>(pBytes),
                    static_cast<unsigned int>(nLength));
        return 1;
    }
    CTQBIN clBuffer;
    if (clBuffer.nSetSize(2 * nLength + 3) != 0)
        return _bOutOfMemory(pError);
    char* p = reinterpret_cast<char*>(clBuffer.pGetData());
    p[0] = '\'';
    unsigned long nEscaped = static_cast<unsigned long>(nLength);
    if (bRealEscape) {
        // The connection's own escaping follows the session's sql_mode
        // (NO_BACKSLASH_ESCAPES doubles quotes instead).
        if (!bNAClientCall(pError, this, FILE_CNX, PT_ESCAPE, nEscaped, 0ul, __mysql_real_escape_string, m_hMySQL,
                           p + 1, pBytes, static_cast<unsigned long>(nLength)))
            return 0;
    } else {
        std::memcpy(p + 1, pBytes, static_cast<size_t>(nLength));
    }
    p[nEscaped + 1] = '\'';
    p[nEscaped + 2] = 0;
    pclOut->Add(p, static_cast<int>(nEscaped) + 2, static_cast<unsigned int>(nCodePage));
    return 1;
}

int CMySQLConnection::bBackslashEscapes()
{
    if (m_hMySQL == nullptr)
        return CNAConnectionDescription::bBackslashEscapes();
    // A backslash comes back doubled unless the session reads it as itself;
    // a library without that escaping answers the default through the
    // failure value.
    char sz[3] = {};
    unsigned long nEscaped = 0;
    bNAClientCall(nullptr, this, FILE_CNX, PT_ESCAPE, nEscaped, 2ul, __mysql_real_escape_string, m_hMySQL, sz, "\\",
                  1ul);
    return nEscaped != 1;
}

int CMySQLConnection::_bAskSession(const wchar_t* pszQuery, CTString* pclAnswer)
{
    // The question's own failure is no one's.
    CNAError* pclQuiet = new (std::nothrow) CNAError();
    if (pclQuiet == nullptr)
        return 0;
    pclQuiet->SetQuiet(1);
    pclQuiet->AddRef();
    const int bAsked = bGetRequestedValueString(pclQuiet, pclAnswer, 0, pszQuery);
    pclQuiet->nRelease();
    return bAsked && pclAnswer->pszGet() != nullptr;
}

int CMySQLConnection::bMinusSetOperator()
{
    const wchar_t* pszVersion = m_csServerVersion.pszGet();
    if (m_hMySQL == nullptr || pszVersion == nullptr || std::wcsstr(pszVersion, L"MariaDB") == nullptr ||
        !_bAtLeast(m_nServerVersionMajor, m_nServerVersionMinor, m_nServerVersionRevision, 10, 6, 0))
        return 0;
    // Unknown, the text is taken for several SELECTs: read as it stands and
    // never written through.
    CTString csMode;
    return !_bAskSession(L"SELECT IF(FIND_IN_SET('ORACLE', @@SESSION.sql_mode), 'ORACLE', 'DEFAULT')", &csMode) ||
           std::wcscmp(csMode.pszGet(), L"ORACLE") == 0;
}

long long CMySQLConnection::llGetMaxStatementLength()
{
    if (m_hMySQL == nullptr)
        return 0;
    // Asked where a statement may come near it, once a session; a
    // question that fails (a result still streaming) tells nothing.
    CTString csVariables;
    if (m_llMaxPacket < 0 &&
        _bAskSession(L"SELECT CONCAT(@@max_allowed_packet, ' ', @@net_buffer_length)", &csVariables)) {
        wchar_t* pEnd = nullptr;
        const long long llMaxPacket = std::wcstoll(csVariables.pszGet(), &pEnd, 10);
        m_llMaxPacket = s_llStatementBound(llMaxPacket, std::wcstoll(pEnd, nullptr, 10));
    }
    return m_llMaxPacket >= 0 ? m_llMaxPacket : 0;
}

long long CMySQLConnection::s_llStatementBound(long long llMaxPacket, long long llNetBuffer)
{
    // The server reads a packet (the statement and its command byte)
    // shorter than the larger of the two.
    return std::max(llMaxPacket, llNetBuffer) - 2;
}

const char* CMySQLConnection::_pszSessionCharset(int nCodePage) const
{
    if (nCodePage != 65001)
        return "latin1";
    const bool bMb4 = _bAtLeast(m_nServerVersionMajor, m_nServerVersionMinor, m_nServerVersionRevision, 5, 5, 3);
    return m_nUnicodeSupport != 0 && bMb4 ? "utf8mb4" : "utf8";
}

void CMySQLConnection::_AppendHexa(CTStringConcatAW* pclOut, const char* pszCharset, const unsigned char* pData,
                                   unsigned int nSize)
{
    _Empty(pclOut);
    if (pszCharset != nullptr) {
        pclOut->Add("_", 1, 1252);
        pclOut->Add(pszCharset, -1, 1252);
        pclOut->Add(" ", 1, 1252);
    }
    CTString csHexa;
    s_BinaryToStringHexa(pData, nSize, &csHexa);
    pclOut->Add(L"X'", 2, 1252);
    pclOut->Add(csHexa.pszGet(), csHexa.nTaille(), 1252);
    pclOut->Add(L"'", 1, 1252);
}

int CMySQLConnection::_bOutOfMemory(CNAError* pError)
{
    if (pError != nullptr)
        pError->AddError(NA_ERRORTYPE_GENERAL, FILE_CNX, PT_ESCAPE_BUFFER, this, ZTERR_NO_MEMORY);
    return 0;
}

int CMySQLConnection::_bRaiseCodePage(CNAError* pError, const wchar_t* pszText, int nChars, int nCodePage)
{
    if (pError == nullptr)
        return 0;
    // The value, cut short, names what was refused.
    const std::wstring s(pszText, static_cast<size_t>(nChars < 64 ? nChars : 64));
    pError->AddError(NA_ERRORTYPE_GENERAL, FILE_CNX, PT_CODE_PAGE, this, ZTERR_CODE_PAGE, s.c_str(), nCodePage,
                     _pszOrEmpty(pszGetLogicalConnectionName()), _pszOrEmpty(pszGetDefaultDataBaseEx()),
                     _pszOrEmpty(pszGetDataBase()));
    return 0;
}

// ---- Type maps ----------------------------------------------------------------------------------

namespace {

// Field type codes and names of the client library.
struct STDBTypeName {
    int nType;
    const wchar_t* pszName;
};

const STDBTypeName s_tabDBTypeName[] = {
    {0, L"MYSQL_TYPE_DECIMAL"},       {1, L"MYSQL_TYPE_TINY"},         {2, L"MYSQL_TYPE_SHORT"},
    {3, L"MYSQL_TYPE_LONG"},          {4, L"MYSQL_TYPE_FLOAT"},        {5, L"MYSQL_TYPE_DOUBLE"},
    {6, L"MYSQL_TYPE_NULL"},          {7, L"MYSQL_TYPE_TIMESTAMP"},    {8, L"MYSQL_TYPE_LONGLONG"},
    {9, L"MYSQL_TYPE_INT24"},         {10, L"MYSQL_TYPE_DATE"},        {11, L"MYSQL_TYPE_TIME"},
    {12, L"MYSQL_TYPE_DATETIME"},     {13, L"MYSQL_TYPE_YEAR"},        {14, L"MYSQL_TYPE_NEWDATE"},
    {15, L"MYSQL_TYPE_VARCHAR"},      {16, L"MYSQL_TYPE_BIT"},         {246, L"MYSQL_TYPE_NEWDECIMAL"},
    {247, L"MYSQL_TYPE_ENUM"},        {248, L"MYSQL_TYPE_SET"},        {249, L"MYSQL_TYPE_TINY_BLOB"},
    {250, L"MYSQL_TYPE_MEDIUM_BLOB"}, {251, L"MYSQL_TYPE_LONG_BLOB"},  {252, L"MYSQL_TYPE_BLOB"},
    {253, L"MYSQL_TYPE_VAR_STRING"},  {254, L"MYSQL_TYPE_STRING"},     {255, L"MYSQL_TYPE_GEOMETRY"},
};

// The character sets below 99 that hold multi-byte text; every number from
// 99 on does.
const unsigned int s_tabWideCharset[] = {12, 17, 33, 35, 45, 46, 54, 55, 56, 60, 61, 62, 76, 83, 90, 91};
const unsigned int FIRST_WIDE_RANGE = 99;
const int MAX_SIZED_TEXT = 65534;
const unsigned int MEMO_SIZE = 8;

} // namespace

int CMySQLConnection::bDBTypeToString(CTString* pclOut, int nDBType)
{
    for (const STDBTypeName& st : s_tabDBTypeName) {
        if (st.nType == nDBType) {
            if (pclOut != nullptr)
                pclOut->Set(st.pszName);
            return 1;
        }
    }
    if (pclOut != nullptr)
        pclOut->Set(L"MYSQL_TYPE_NEWDECIMAL");
    return 0;
}

int CMySQLConnection::bCharsetUnicode(unsigned int nCharset)
{
    if (nCharset >= FIRST_WIDE_RANGE)
        return 1;
    for (unsigned int n : s_tabWideCharset)
        if (n == nCharset)
            return 1;
    return 0;
}

void CMySQLConnection::ConvertItemType(eNA_ITEMTYPE* peType, unsigned int* pnSize, int nDBType, int nLength,
                                       int nDigits, int nDecimals, unsigned int nCharset)
{
    eNA_ITEMTYPE eType = NA_IT_EMPTY;
    unsigned int nSize = 0;
    switch (nDBType) {
    case 0:
    case 246:
        CNAItemDescription::s_GetTypeFromFormat(nDigits, nDecimals, &eType, &nSize);
        break;
    case 1:
        eType = NA_IT_I1;
        nSize = 1;
        break;
    case 2:
        eType = NA_IT_I2;
        nSize = 2;
        break;
    case 3:
    case 9:
    case 247:
    case 248:
        eType = NA_IT_I4;
        nSize = 4;
        break;
    case 4:
        eType = NA_IT_R4;
        nSize = 4;
        break;
    case 5:
        eType = NA_IT_R8;
        nSize = 8;
        break;
    case 6:
        break;
    case 8:
        eType = NA_IT_I8;
        nSize = 8;
        break;
    case 10:
        eType = NA_IT_DATE8;
        nSize = 9;
        break;
    case 7:
    case 11:
    case 12:
    case 13:
    case 14:
        eType = NA_IT_DATETIME;
        nSize = 8;
        break;
    case 16:
        // The number the bits hold, as the server's flag+0 gives it.
        CNAItemDescription::s_GetTypeFromBits(nLength, &eType, &nSize);
        break;
    case 249:
    case 250:
    case 251:
    case 252:
    case 255: // spatial values: the server's bytes, a blob of the binary set
        if (nCharset == CHARSET_BINARY)
            eType = NA_IT_MEMOBINAIRE;
        else if (nCharset != 0 && bCharsetUnicode(nCharset))
            eType = NA_IT_MEMOUNICODE;
        else
            eType = NA_IT_MEMOTEXTE;
        nSize = MEMO_SIZE;
        break;
    default: {
        // VARCHAR, VAR_STRING, STRING and any code not named above.
        const bool bWide = bCharsetUnicode(nCharset) != 0;
        if (nLength >= 1 && nLength <= MAX_SIZED_TEXT) {
            const long long llWide = 2LL * (static_cast<long long>(nLength) + 1);
            if (!bWide) {
                eType = NA_IT_TEXTE;
                nSize = static_cast<unsigned int>(nLength) + 1;
                break;
            }
            if (llWide <= MAX_SIZED_TEXT) {
                eType = NA_IT_UNICODE;
                nSize = static_cast<unsigned int>(llWide);
                break;
            }
        }
        eType = bWide ? NA_IT_MEMOUNICODE : NA_IT_MEMOTEXTE;
        nSize = MEMO_SIZE;
        break;
    }
    }
    if (peType != nullptr)
        *peType = eType;
    if (pnSize != nullptr)
        *pnSize = nSize;
}

void CMySQLConnection::_InitKX2NativeType()
{
    CNAMapConvertType* pclMap = m_pclMapConvertType;
    if (pclMap == nullptr)
        return;
    const bool bServer4 = m_nServerVersionMajor > 3;
    const bool bServer4_1 = bServerVersionGreaterThan4_1() != 0;
    pclMap->Add(NA_IT_IDAUTO, L"BIGINT", 0);
    pclMap->Add(NA_IT_I1, L"TINYINT", 0);
    pclMap->Add(NA_IT_R4, L"FLOAT", 0);
    pclMap->Add(NA_IT_R8, L"DOUBLE", 0);
    pclMap->Add(NA_IT_UI2, L"SMALLINT UNSIGNED", 0);
    pclMap->Add(NA_IT_UI1, L"TINYINT UNSIGNED", 0);
    pclMap->Add(NA_IT_REELTURBO, L"DOUBLE", 0);
    pclMap->Add(NA_IT_MEMOTEXTE, bServer4 ? L"LONGTEXT" : L"LONGBLOB", 0);
    pclMap->Add(NA_IT_MEMOBINAIRE4, L"LONGBLOB", 0);
    pclMap->Add(NA_IT_MEMOBINAIRE, L"LONGBLOB", 0);
    pclMap->Add(NA_IT_I8, L"BIGINT", 0);
    pclMap->Add(NA_IT_UI8, L"BIGINT UNSIGNED", 0);
    pclMap->Add(NA_IT_UI4, L"INTEGER UNSIGNED", 0);
    pclMap->Add(NA_IT_BINAIRE, bServerVersionGreaterThan4_1_2() ? L"VARBINARY(%d)" : L"VARCHAR(%d) BINARY", 1);
    pclMap->Add(NA_IT_DATETIME, L"DATETIME", 0);
    pclMap->Add(NA_IT_TIMELENGHT, L"BIGINT", 0);
    pclMap->Add(NA_IT_BOOLEEN, L"TINYINT", 0);
    pclMap->Add(NA_IT_UNICODE, bServer4_1 ? L"VARCHAR(%d) CHARACTER SET ucs2" : L"VARCHAR(%d)", 1);
    pclMap->Add(NA_IT_MEMOUNICODE,
                bServer4_1 ? L"LONGTEXT CHARACTER SET ucs2" : (bServer4 ? L"LONGTEXT" : L"LONGBLOB"), 0);
}
