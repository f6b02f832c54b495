// One connection to one database as the driver sees it: it wraps the host's
// description, numbers the connection, keeps the identification under which
// the driver files it, builds its connection string, reads the driver's own
// options out of the host's ExtendedInformation text and carries the SQL
// text rules of its database kind. The back end derives its own connection
// from it and supplies the opening and closing.
#pragma once

#include "access/driver/INAVersion.h"
#include "access/driver/Interf.h"
#include "common/text/Tstring.h"
#include "common/text/XYStringConcat.h"
#include "common/values/ItemType.h"

#include <cwchar>

class _CXErrorModule32;
class CAny;
class CNAError;
class CNAItemDescription;
class CNAMapConvertType;
class CNATransaction;
class CTStringConcatAW;
class CXTime;
class INAConnectionDescription;
class INAItemDescription;
class ISQLParserInformation;
template <class T>
class CXYString;
typedef void* HINSTANCE;

class CNAConnectionDescription : public CInterf {
public:
    // Database kind: selects the SQL dialect rules.
    enum eDATASOURCE : int {
        DS_GENERIC = 0,
        DS_MYSQL = 5,
    };
    enum eCURSORLOCATION : int {
        CL_DEFAULT = 0,
        CL_CLIENT = 1,
        CL_SERVER = 2,
    };

    // Numbers the connection, references the host description (which may be
    // null for a connection made without the host) and reads the options.
    explicit CNAConnectionDescription(const wchar_t* pszIdentification = nullptr,
                                      INAConnectionDescription* piHost = nullptr);
    ~CNAConnectionDescription() override;

    // ---- Virtual operations, in slot order ----------------------------------
    // Opening and closing belong to the back end; bOpen answers 1 at once
    // when the connection is already open.
    virtual int bOpen(CNAError* pError) = 0;                                      // 1
    virtual int bIsOpen() = 0;                                                    // 2
    virtual int bClose(CNAError* pError) = 0;                                     // 3
    virtual int bSupportOrderByMemo();                                            // 4
    virtual int bOrderByIndiceAllowed();                                          // 5
    virtual int bTransactionEndCloseParse();                                      // 6
    virtual int bTreatEmptyDateAsNULL();                                          // 7
    virtual int bTreat0000DateAsNULL();                                           // 8
    virtual int bSupportItemTime();                                               // 9
    virtual int bSupportItemDate();                                               // 10
    virtual int bNULLBeforeNotNULL();                                             // 11
    virtual int bSupportInsertReturning();                                        // 12
    virtual int bCanPrepareQuery();                                               // 13
    virtual int bIndexNamesCommonOnDatabase();                                    // 14
    virtual int bOpenCreate(CNAError* pError);                                    // 15
    // The record-lock text of the "ZT RECORD LOCK" option.
    virtual const wchar_t* pszGetNoLockHint();                                    // 16
    virtual int bTransactionBeginDirect(CNAError* pError);                        // 17
    virtual int bTransactionCommitDirect(CNAError* pError);                       // 18
    virtual int bTransactionRollBackDirect(CNAError* pError);                     // 19
    virtual CNATransaction* pclAllocTransaction();                                // 20
    // Runs "LOCK TABLE " and the given text.
    virtual int bSQLBloque(CNAError* pError, const wchar_t* pszTables);           // 21
    virtual int bSQLBloque(CNAError* pError, ISQLParserInformation* piParser);    // 22
    // Runs the query followed by " FOR UPDATE".
    virtual int bSQLBloqueRequete(CNAError* pError, const wchar_t* pszQuery);     // 23
    virtual int bDiagnose(CNAError* pError, CAny* pResult, const wchar_t* pszText, unsigned int nFlags); // 24
    virtual int bInitError(CNAError* pError, unsigned int nServerError, unsigned int nFlags);          // 25
    virtual eNA_ERRORTYPE eGetNAErrorType(unsigned int nServerError);            // 26
    // The SQL literal of a value; dbType is the column's item type (0: none),
    // kxType the host record's.
    virtual int bConvertValueToString(CNAError* pError, CTStringConcatAW* pclOut, const CAny* pclValue,
                                      eNA_ITEMTYPE eDBType, eNA_ITEMTYPE eKXType);                 // 27
    // Converts a value in place to the host type of the item.
    virtual int bCastCAnyIntoDBType(CNAError* pError, CAny* pclValue, eNA_ITEMTYPE eDBType, eNA_ITEMTYPE eKXType,
                                    int bStrict);                                                  // 28
    virtual int nGetOrderByMaxExpressionNbr();                                    // 29
    // Adds the connection's facts to an error: the client and server
    // versions as infos, then one captioned debug line per known fact (never
    // the password).
    virtual void AddInfoNativeXError(_CXErrorModule32* pError);                   // 30
    virtual int bDBTypeToString(CTString* pclOut, int nDBType);                   // 31
    // Whether the database does not know a server type number.
    virtual int bDBTypeUnkwnownByDB(int nDBType);                                 // 32
    virtual int bExecuteQueryNoResult(CNAError* pError, const wchar_t* pszQuery); // 33
    virtual int bExecuteQueryIgnoreResult(CNAError* pError, const wchar_t* pszQuery); // 34
    virtual int bGetRequestedValue(CNAError* pError, CAny* pResult, int nValue, const wchar_t* pszText); // 35
    // The quoted literal of text or binary data of a host type.
    // Refuses a value without a literal: user error 53 naming its type and
    // text; the output is left empty.
    int _bRaiseConversion(CNAError* pError, CTStringConcatAW* pclOut, unsigned short nType, eNA_ITEMTYPE eDBType,
                          const wchar_t* pszValue);
    virtual int _bEscapeString(CNAError* pError, CTStringConcatAW* pclOut, unsigned short nHostType,
                               unsigned char* pData, unsigned int nSize);                          // 36
    virtual int _bBoolToString(CNAError* pError, CTStringConcatAW* pclOut, int bValue);            // 37
    virtual int _bDateToString(CNAError* pError, CTStringConcatAW* pclOut, const CAny* pclValue,
                               eNA_ITEMTYPE eKXType);                                              // 38
    virtual void _CancelRecordLock(CNATransaction* pclTransaction);               // 39
    // Fills the type map with the back end's native type texts.
    virtual void _InitKX2NativeType() = 0;                                        // 40
    virtual int _bDecomposeServerVersion(CNAError* pError);                       // 41
    // Whether the session reads a backslash in a literal as an escape (not
    // under NO_BACKSLASH_ESCAPES); here the server's default, 1.
    virtual int bBackslashEscapes();
    // Whether the session reads MINUS as a set operator; here never.
    virtual int bMinusSetOperator();
    // The longest statement the session takes, in bytes; 0 when it cannot
    // be told. Here no bound.
    virtual long long llGetMaxStatementLength();
    // What every session takes: statements no longer need no asking.
    static constexpr size_t LEAST_STATEMENT_BOUND = 1022;

    // ---- Identity -----------------------------------------------------------
    // The driver's key for this connection.
    const wchar_t* pszGetIdentification() const { return m_csIdentification.pszGet(); }
    // 1 for the first connection of the process, then 2, ...
    unsigned int nGetNumber() const { return m_nNumber; }
    INAConnectionDescription* piGetHostDescription() const { return m_piHost; }
    // "Provider=...;ExtendedInformation=...;Data source=...;user id=...;password=..."
    const wchar_t* pszGetConnectionString() const { return m_clConnectionString.pszGet(); }
    // The host's ExtendedInformation text less the driver's options.
    const wchar_t* pszGetExtendedInfo() const { return m_csExtendedInfo.pszGet(); }

    // ---- The host description's answers (one call each) --------------------
    const wchar_t* pszGetUserName() const;
    const wchar_t* pszGetPassword() const;
    // The data source: the server's host.
    const wchar_t* pszGetDataBase() const;
    const wchar_t* pszGetDescription() const;
    int eGetAccess() const;
    int nGetNbParam() const;
    void* pclGetParam(int nIndex) const;
    int lGetCursorOptions() const;
    const wchar_t* pszGetDefaultDataBase() const;
    const wchar_t* pszGetLogicalConnectionName() const;
    // The text of the host's connection-name object (empty when none).
    const wchar_t* pszGetConnectionName() const;

    // ---- Options --------------------------------------------------------------
    int nGetConnectionTimeout() const { return m_nConnectionTimeout; }
    int nGetCommandTimeout() const { return m_nCommandTimeout; }
    int nGetLockTimeout() const { return m_nLockTimeout; }
    long long llGetCacheSize() const { return m_llCacheSize; }
    eCURSORLOCATION eGetCursorLocation() const { return m_eCursorLocation; }
    int nGetUnicodeSupport() const { return m_nUnicodeSupport; }
    const wchar_t* pszGetSSLMode() const { return m_csSSLMode.pszGet(); }
    const wchar_t* pszGetSSLKey() const { return m_csSSLKey.pszGet(); }
    const wchar_t* pszGetSSLCert() const { return m_csSSLCert.pszGet(); }
    const wchar_t* pszGetSSLCA() const { return m_csSSLCA.pszGet(); }
    const wchar_t* pszGetSSLCAPath() const { return m_csSSLCAPath.pszGet(); }
    const wchar_t* pszGetSSLCipher() const { return m_csSSLCipher.pszGet(); }
    const wchar_t* pszGetClientVersionWanted() const { return m_csClientVersionWanted.pszGet(); }
    const wchar_t* pszGetClientLibraryWanted() const { return m_csClientLibraryWanted.pszGet(); }
    // "Application Name", else the running program's name without directory
    // and extension, else the built-in name; kept in the field.
    const wchar_t* pszGetApplicationName();
    // "Initial Catalog" of the options, else of the provider text, else the
    // host's default database; cached.
    const wchar_t* pszGetDefaultDataBaseEx();
    // One NAME=value item of the extended information; with bRemove the item
    // is cut out of it.
    int _bGetExtendedParameter(CTString* pclValue, const wchar_t* pszKey, int bRemove);
    int _bGetExtendedParameter(CTString* pclValue, const wchar_t* pszKey, int bRemove, int* pbFound);
    // True when no client library is wanted or the loaded one is the one
    // wanted; else user error 74.
    int _bCheckClientLibraryWanted(CNAError* pError);

    // ---- Transactions, direct queries and native facts -----------------------
    // Opens the connection, makes the current transaction on first need and
    // begins it, or a nested level of it when it is active (with separate
    // transactions off an active one only counts).
    int bTransactionBegin(CNAError* pError, const wchar_t* pszName);
    // User error 9 without a current transaction; with separate
    // transactions off only the last of the nested ends reaches the server.
    // Any end of a lost transaction closes every level: a roll-back answers
    // 1, a commit fails with the error that ended the session.
    int bTransactionCommit(CNAError* pError, const wchar_t* pszName);
    int bTransactionRollBack(CNAError* pError, const wchar_t* pszName);
    // The current transaction exists and is active.
    int _bTransactionOpened() const;
    // True without an open transaction; else the transaction's answer.
    int bActiveCurrentTransaction(CNAError* pError, int bActive);
    int bResumeCurrentTransaction(CNAError* pError);
    // Drops the current transaction and forgets it.
    void _CloseTransactions();
    // Rolls back every level of an open transaction (a lost one without a
    // word to the server); 1 when each level succeeded.
    int bTransactionRollBackAll(CNAError* pError);
    // The session ended under an open transaction: marks it lost (the
    // server rolled it back) with the error that told.
    void _TransactionLost(const CXError* pclCause);
    // True, with the lost transaction's error added, when the open
    // transaction is lost: nothing may reach the server until it ends.
    int _bRefuseInLostTransaction(CNAError* pError);
    CNATransaction* pclGetCurrentTransaction() const { return m_pclTransaction; }
    int nGetTransactionCount() const { return m_nTransactionCount; }
    // One column of the first row of a query as wide text (empty for NULL).
    int bGetRequestedValueString(CNAError* pError, CTString* pclOut, int nColumn, const wchar_t* pszQuery);
    // The connection's facts into the error object's held error.
    void AddInfoNative(CNAError* pError);

    // ---- Automatic close ----------------------------------------------------
    void SetAutoClose(int bAutoClose) { m_bAutoClose = bAutoClose; }
    // The auto-close flag is set and no transaction is open.
    int bAutoCloseEnabled() const;
    // Opens the host holds: +1 on each successful host open, -1 on each host
    // close, so that a host close drops only a reference the host holds.
    int nGetHostOpens() const { return m_nHostOpens; }
    void AddHostOpen() { m_nHostOpens++; }
    void RemoveHostOpen() { m_nHostOpens--; }
    void SetOpenedBySQL(int b) { m_bOpenedBySQL = b; }
    int bOpenedBySQL() const { return m_bOpenedBySQL; }

    // Code page of the host language's 8-bit texts.
    int nGetHostCodePage() const { return m_nHostCodePage; }
    // Code page of the 8-bit texts exchanged with the server; -1 until the
    // back end sets it.
    int nGetCnxCodePage() const { return m_nCnxCodePage; }
    // Code page of the SQL text sent: the server's, or the host's (1252 by
    // default) while the back end has set none.
    int nGetSQLCodePage() const;
    // The server's character set that holds every character: utf8mb4, or
    // utf8 before 5.5.3, which had none.
    const wchar_t* pszGetUnicodeCharset() const;
    eDATASOURCE eGetDataSource() const { return m_eDataSource; }
    const wchar_t* pszGetServerVersion() const { return m_csServerVersion.pszGet(); }
    int nGetServerVersionMajor() const { return m_nServerVersionMajor; }
    int nGetServerVersionMinor() const { return m_nServerVersionMinor; }
    int nGetServerVersionRevision() const { return m_nServerVersionRevision; }
    // The identifier quotes of the dialect.
    const wchar_t* pszGetOpeningQuote() const { return m_csOpeningQuote.pszGet(); }
    const wchar_t* pszGetClosingQuote() const { return m_csClosingQuote.pszGet(); }

    // Host code page := code page of the host language's current charset.
    void _InitCodePageFromTQ();

    // ---- Versions, programs and hexadecimal ---------------------------------
    // The first three "."-separated numbers; a missing one leaves its value.
    static int g_bDecomposeVersion(CNAError* pError, const CTString* pclText, int* pnMajor, int* pnMinor,
                                   int* pnRevision);
    // Full path of a loaded module (null: the program); false when there is
    // none or it does not fit the buffer.
    static int g_bGetModuleFileName(HINSTANCE hModule, CTString* pclPath);
    // The running program's file name without directory and extension.
    static int g_bGetExeName(CTString* pclName);
    // The file name of a path without directory and extension.
    static void s_ExeNameOfPath(const wchar_t* pszPath, CTString* pclName);
    // Two upper-case hexadecimal digits per byte (an empty text for none).
    static void s_BinaryToStringHexa(const unsigned char* p, unsigned int nSize, CTString* pclOut);
    static void s_BinaryToStringHexa(const unsigned char* p, unsigned int nSize, CXYString<char>* pclOut);
    // Digit pairs into at most nCapacity bytes (the rest zero-filled); stops
    // at a NUL and at any other character than a hexadecimal digit. Answers
    // the bytes written.
    static unsigned int s_StringHexaToBinary(const wchar_t* psz, unsigned char* pOut, unsigned int nCapacity);
    static unsigned int s_StringHexaToBinary(const char* psz, unsigned char* pOut, unsigned int nCapacity);

    // ---- SQL text rules: names ------------------------------------------------
    int _bNeedFormatName(CNAError* pError, const wchar_t* pszName);
    static int s_bNeedFormat_Oracle(const wchar_t* pszName);
    static int s_bReservedSQLWord(const wchar_t* pszName);
    // Quotes a name that needs it; a closing quote inside it is doubled.
    // A name the SQL text's code page cannot hold is formatted all the same
    // and refused (user error 77, 0): it would reach the server as "?".
    int bFormatItemName(CNAError* pError, const wchar_t* pszName, CTString* pclOut);
    // Quotes each dotted part of a table name that needs it; refused as
    // bFormatItemName refuses a name.
    int bFormatTableName(CNAError* pError, const wchar_t* pszName, CTString* pclOut);
    // Whether the SQL text's code page holds the name; raises user error 77
    // when it does not.
    int _bNameHeld(CNAError* pError, const wchar_t* pszName);
    // Takes the quotes off a quoted name (and undoes the doubling).
    void UnFormatItemName(const wchar_t* pszName, CTString* pclOut);
    static int bExtractOwner(const wchar_t* pszOwner, const wchar_t* pszName, CTString* pclOwner,
                             CTString* pclTable);
    static void DecomposeTableName(CTString* pclFirst, CTString* pclSecond, CTString* pclLast,
                                   const wchar_t* pszName);

    // ---- SQL text rules: dialect ----------------------------------------------
    int bSupportSubQuery();
    int bSupportLimitOrTop();
    const wchar_t* pszGetVarCharType();
    int nGetVarCharMaxLen();
    const wchar_t* pszGetNVarCharType();
    int nGetNVarCharMaxLen();
    const wchar_t* pszGetCLOBType();
    const wchar_t* pszGetNCLOBType();

    // ---- SQL text rules: types --------------------------------------------------
    // A server column type text (and its character set) as an item type;
    // *pnCharacters: the declared length of a text type, 0 for the others.
    int bSQLTypeNameToNAType(CNAError* pError, eNA_ITEMTYPE* peType, unsigned int* pnSize,
                             unsigned int* pnIntegerDigits, unsigned int* pnScale, const wchar_t* pszTypeText,
                             const wchar_t* pszCharset, unsigned int* pnCharacters = nullptr);
    // The number of "keyword ( n )"; 1 on any mismatch.
    static int _nGetSizeInTypeDecl(const wchar_t* pszText, const wchar_t* pszKeyword);
    // The SQL type text for creating a column of the item.
    int bGetMatchingSQLType(CNAError* pError, INAItemDescription* piItem, CTString* pclOut);
    // Wraps a column expression so that it compares as the host's date and
    // time texts; false (out := the expression) when nothing is converted.
    int bConvertExpressionToString(CNAError* pError, CTStringConcatAW* pclOut, const wchar_t* pszExpression,
                                   INAItemDescription* piItem, INAItemDescription* piOther);
    void SetUnicodeItemsAllowed(int b) { m_bUnicodeItemsAllowed = b; }

    // ---- Literals ---------------------------------------------------------------
    // The worker of _bDateToString: the value cast to wide text, read as a
    // date, time or date-time.
    int _bDateToString(CNAError* pError, CTStringConcatAW* pclOut, const CAny* pclValue, int bEscape,
                       eNA_ITEMTYPE eKXType);
    int _bDateToString(CNAError* pError, CTStringConcatAW* pclOut, const wchar_t* pszText, int bEscape);
    int _bDateTimeToString(CNAError* pError, CTStringConcatAW* pclOut, const wchar_t* pszText, int bEscape);
    int _bDateToString(CNAError* pError, CTStringConcatAW* pclOut, CXTime& clTime, int bEscape);
    int _bDateTimeToString(CNAError* pError, CTStringConcatAW* pclOut, CXTime& clTime, int bEscape);
    int _bTimeToString(CNAError* pError, CTStringConcatAW* pclOut, CXTime& clTime, int bEscape);
    // The value as wide text; out unchanged when it does not convert.
    int bCopyString(CNAError* pError, CXYString<wchar_t>* pclOut, const CAny* pclValue);
    static int s_bBinaryToStringHexa(CNAError* pError, const unsigned char* p, unsigned int nSize,
                                     CTStringConcatAW* pclOut);
    // A column default text from the catalogue as a value of the item.
    int bConvertStringToDefaultValue(CAny* pclOut, const wchar_t* pszText, CNAItemDescription* pclItem,
                                     CNAError* pError);
    static int s_bTimeToStringIncomplete(CNAError* pError, CTStringConcatAW* pclOut, const wchar_t* pszDigits,
                                         wchar_t cSeparator);
    static void s_DateStandardise(CTString* pclText);

    // ---- Process-wide -----------------------------------------------------------
    // Connections made in the process; the next one takes this + 1.
    static unsigned int m_gnCnxGenerator;
    // The loaded client library: its version text and file, and the version
    // numbers (major -1 until loaded).
    static CTString m_csClientVersion;
    static CTString m_csClientLibrary;
    static int m_nClientVersionMajor;
    static int m_nClientVersionMinor;
    static int m_nClientVersionRevision;
    static int m_nClientVersionPatch;

protected:
    // The shared steps of commit and roll-back.
    int _bTransactionEnd(CNAError* pError, const wchar_t* pszName,
                         int (CNATransaction::*pfnEnd)(CNAError*, const wchar_t*), int nPoint);
    // Reads the driver's options out of the extended information.
    void _ReadOptions();
    void _BuildConnectionString();
    // The connection's type map, made and filled on first use.
    CNAMapConvertType* _pclGetMapConvertType();

    unsigned int m_nNumber;
    INAConnectionDescription* m_piHost; // one reference held
    CTString m_csIdentification;
    CXYStringConcat<wchar_t> m_clConnectionString;
    int m_bAutoClose;
    CNATransaction* m_pclTransaction;   // current transaction, one reference held; made on the first begin
    int m_bOpenedBySQL;
    CTString m_csDefaultDataBase;
    long long m_llCacheSize;
    eCURSORLOCATION m_eCursorLocation;
    int m_bSeparateTransactions;
    int m_nTransactionCount;
    CTString m_csExtendedInfo;
    int m_nConnectionTimeout;
    int m_nCommandTimeout;
    int m_nLockTimeout;
    CTString m_csRecordLock;
    CNAMapConvertType* m_pclMapConvertType; // one reference held
    int m_bUnicodeItemsAllowed;
    int m_nUnicodeSupport;
    int m_nHostCodePage;
    int m_nCnxCodePage;
    CTString m_csReserved1;
    unsigned int m_dwReserved;
    CTString m_csSSLMode;
    CTString m_csSSLKey;
    CTString m_csSSLCert;
    CTString m_csSSLCA;
    CTString m_csReserved2;
    CTString m_csSSLCAPath;
    CTString m_csSSLCipher;
    CTString m_csClientVersionWanted;
    CTString m_csClientLibraryWanted;
    CTString m_csApplicationName;
    eDATASOURCE m_eDataSource;
    CTString m_csServerVersion;
    int m_nServerVersionMajor;
    int m_nServerVersionMinor;
    int m_nServerVersionRevision;
    CTString m_csOpeningQuote;
    int m_nOpeningQuoteLength;
    CTString m_csClosingQuote;
    int m_nClosingQuoteLength;
    CTString m_csBinaryPrefix;
    CTString m_csBinarySuffix;
    CTString m_csReserved3[6];
    int m_nHostOpens;
};
