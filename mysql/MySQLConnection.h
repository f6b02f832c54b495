// The connection of the MySQL back end: one client library handle, opened
// and closed here, with the server's errors, the literals of texts and
// binaries and direct queries. Every client call goes through the
// __mysql_* pointers under the crash guard.
#pragma once

#include "access/driver/NAConnectionDescription.h"
#include "mysql/NAFunctionLoader.h"

class CMySQLConnection : public CNAConnectionDescription {
public:
    enum : int {
        // Source-file number of this file in the debug line.
        ERRFILE_MYSQLCONNECTION = 101,
    };

    CMySQLConnection(const wchar_t* pszIdentification, INAConnectionDescription* piHost);
    // Closes a connected handle (errors go to the driver's own object).
    ~CMySQLConnection() override;

    // ---- Replaced operations, in the base's slot order ------------------------
    // Opens when not connected; 1 at once when connected.
    int bOpen(CNAError* pError) override;
    int bIsOpen() override;
    // Closes a connected handle; 1 at once when not connected.
    int bClose(CNAError* pError) override;
    int bSupportOrderByMemo() override;
    // bOpen, which also creates the database when the server does not know
    // it (1049).
    int bOpenCreate(CNAError* pError) override;
    // A session the server ended, outside a transaction: the handle is given
    // back and a new session opened. When the server cannot be reached yet,
    // the connection stays closed until a statement tries again.
    int bReopenLostSession(CNAError* pError);
    int bSessionToReopen() const { return m_bSessionToReopen; }
    // "BEGIN"; when no transaction is open and the server had ended the
    // session, on a new session once more.
    int bTransactionBeginDirect(CNAError* pError) override;
    // "SELECT * FROM <table> FOR UPDATE", rows dropped.
    int bSQLBloque(CNAError* pError, const wchar_t* pszTable) override;
    using CNAConnectionDescription::bSQLBloque;
    // The handle's last server error as user error 22 at nFile.nPoint;
    // nothing when there is none. 0 after a caught call.
    int bInitError(CNAError* pError, unsigned int nFile, unsigned int nPoint) override;
    eNA_ERRORTYPE eGetNAErrorType(unsigned int nServerError) override;
    // Sends the text; its results are freed, so the handle is ready for the
    // next command. 1 when the server accepted it.
    int bExecuteQueryNoResult(CNAError* pError, const wchar_t* pszQuery) override;
    int bExecuteQueryIgnoreResult(CNAError* pError, const wchar_t* pszQuery) override;
    // Texts as the quoted form of mysql_escape_string in the connection's
    // code page; binary values as X'hex'.
    int _bEscapeString(CNAError* pError, CTStringConcatAW* pclOut, unsigned short nHostType, unsigned char* pData,
                       unsigned int nSize) override;
    // The name of a field type code of the client library; 0, with the
    // name of the newer DECIMAL, for an unknown code.
    int bDBTypeToString(CTString* pclOut, int nDBType) override;
    // The MySQL DDL type texts into the connection's type map, by the
    // server version of the open connection.
    void _InitKX2NativeType() override;
    // As the client library's escaping reads the session: the server tells
    // it when NO_BACKSLASH_ESCAPES is on. The server's default without a
    // session or without that escaping.
    int bBackslashEscapes() override;
    // MariaDB reads MINUS as EXCEPT under sql_mode ORACLE (10.6 on); the
    // session is asked, as its sql_mode changes without the driver.
    int bMinusSetOperator() override;
    // The session's bound, asked once a session.
    long long llGetMaxStatementLength() override;
    // The longest statement a session of these variables takes, in bytes
    // (a variable not known: -1).
    static long long s_llStatementBound(long long llMaxPacket, long long llNetBuffer);

    // ---- Own operations -----------------------------------------------------------
    // The handle's last server error number (0: none); 0 after a caught call.
    int bGetLastError(CNAError* pError, unsigned int* pnServerError);
    // "Server Port", "Client Flag" and "Unix Socket", read out of the options
    // by the first open and kept for every later one.
    int nGetPort();
    int nGetClientFlag();
    int bGetUnixSocket(CTString* pclSocket);
    // "GreaterThan" reads "at least".
    int bClientVersionGreaterThan4_1() const;
    int bServerVersionGreaterThan4_1() const;
    int bServerVersionGreaterThan4_1_2() const;
    int bMultipleRecordsetEnabled() const;
    // The handle of the open connection (null when not connected), for the
    // statements and descriptions of this connection.
    MYSQL* pGetHandle() const { return m_hMySQL; }

    // ---- Type maps --------------------------------------------------------------
    // The character-set number of binary data.
    static constexpr unsigned int CHARSET_BINARY = 63;
    // The item type and value size of a result column from its field type,
    // length, digits before the point, decimals and character set.
    static void ConvertItemType(eNA_ITEMTYPE* peType, unsigned int* pnSize, int nDBType, int nLength, int nDigits,
                                int nDecimals, unsigned int nCharset);
    // Whether a character set of the server holds multi-byte text.
    static int bCharsetUnicode(unsigned int nCharset);

    // The back end's module end: nothing to do.
    static void g_TermNativeLibrary();

    // 1 when the loaded library has mysql_next_result.
    static int gbUseNextResult;

protected:
    int _bOpenCreate(CNAError* pError, int bCreate);
    // "SSL Mode" before any handle is made: a word the driver does not know,
    // or a verifying mode without a CA, is user error 79 first.
    int _bCheckSSLMode(CNAError* pError);
    int _bLoadClientLibrary(CNAError* pError);
    int _bGetClientLibraryVersion(CNAError* pError);
    // Whether the connect parameters need UTF-8, and whether the library
    // can send them so; the connection code page becomes 65001 when they do.
    int _bProcessUnicodeCnxParameters(CNAError* pError, int bSSL, const wchar_t* pszHost, const wchar_t* pszUser,
                                      const wchar_t* pszPassword, const wchar_t* pszDatabase,
                                      const wchar_t* pszSocket, const wchar_t* const* tabSSL);
    // A new handle with the character set and SSL options applied; null,
    // reported, when any step fails (the handle is then closed).
    MYSQL* _hNewHandle(CNAError* pError, int bSSL, const wchar_t* const* tabSSL);
    int _bSetSSLParameters(CNAError* pError, MYSQL* h, const wchar_t* const* tabSSL);
    // One mysql_options call on a new handle; a refusal is user error
    // ZTERR_NO_OPTIONS.
    int _bSetOption(CNAError* pError, MYSQL* h, int nOption, const void* pValue);
    // With "SSL Mode" REQUIRED or stricter, whether the connected handle h
    // runs in TLS; user error 79 first when it does not.
    int _bEncryptedAsRequired(CNAError* pError, MYSQL* h);
    // Literals: the character set of the session's texts, a hexadecimal
    // literal (of that character set, or binary without one), and the
    // refusals of _bEscapeString.
    const char* _pszSessionCharset(int nCodePage) const;
    void _AppendHexa(CTStringConcatAW* pclOut, const char* pszCharset, const unsigned char* pData, unsigned int nSize);
    int _bOutOfMemory(CNAError* pError);
    int _bRaiseCodePage(CNAError* pError, const wchar_t* pszText, int nChars, int nCodePage);
    // Connects a new handle to the database (null: none); on failure the
    // server's error is reported, pnServerError receives its number and
    // the handle is closed.
    MYSQL* _hConnect(CNAError* pError, int nPoint, int bSSL, const wchar_t* const* tabSSL, const wchar_t* pszHost,
                     const wchar_t* pszUser, const wchar_t* pszPassword, const wchar_t* pszDatabase,
                     const wchar_t* pszSocket, unsigned int* pnServerError);
    int _bOpenCreateDatabase(CNAError* pError, int bCreate, int bSSL, const wchar_t* const* tabSSL,
                             const wchar_t* pszHost, const wchar_t* pszUser, const wchar_t* pszPassword,
                             const wchar_t* pszDatabase, const wchar_t* pszSocket);
    int _bGetServerVersion(CNAError* pError);
    // UTF-8 for the session when the mode asks for it and both sides can.
    void _SetSessionCharset();
    // Gives a handle back to the library.
    int _bCloseHandle(CNAError* pError, MYSQL* h);
    int _bGetLastError(CNAError* pError, MYSQL* h, unsigned int* pnServerError);
    // bInitError on a given handle; pnServerError (may be null) receives the
    // number.
    int _bInitError(CNAError* pError, MYSQL* h, unsigned int nFile, unsigned int nPoint,
                    unsigned int* pnServerError);
    // Frees every result of the last query; a later statement's failure is
    // the query's.
    int _bDropResults(CNAError* pError);
    void _ReadServerOptions();
    // The first column of a question to the session, as text; 0 when it
    // fails (a result still streaming) or answers NULL.
    int _bAskSession(const wchar_t* pszQuery, CTString* pclAnswer);

    int m_bOpened;
    int m_bConnected;
    MYSQL* m_hMySQL;
    int m_bServerOptionsRead;
    int m_nPort;
    int m_nClientFlag;
    CTString m_csUnixSocket;
    int m_bSessionToReopen;
    long long m_llMaxPacket; // -1 until asked
};
