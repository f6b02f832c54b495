// The driver's SQL interface, handed to the host as INADriverSQL: the host
// opens connections and runs query texts by number, then reads the rows of
// the statements filed under their numbers. Every host slot resets the
// error object, holds the driver mutex for its run and stops any exception.
// The back end supplies the direct SQL statements.
#pragma once

#include "access/driver/INADriverSQL.h"
#include "common/text/RefHashTable.h"

class CAny;
class CNAConnectionDescription;
class CNADriver;
class CNAError;
class CNAStatementSQL;
class CTString;
class CTStringConcatAW;
template <class T>
class CXYStringConcat;
template <class T>
class CXYString;

// The statement table holds its statements by the counting of the driver's
// internal objects.
template <>
struct CRefTraits<CNAStatementSQL, void> {
    static void AddRef(CNAStatementSQL* p);
    static void Release(CNAStatementSQL* p);
};

class CNADriverSQL : public INADriverSQL {
public:
    enum : int {
        // Source-file number of this file in the debug line.
        ERRFILE_DRIVERSQL = 51,
    };

    // References the error object.
    CNADriverSQL(CNADriver* pclDriver, CNAError* pclError);
    CNADriverSQL(const CNADriverSQL&) = delete;
    CNADriverSQL& operator=(const CNADriverSQL&) = delete;

    // ---- INADriverSQL, in slot order ------------------------------------------
    int nGetVersion() const override;
    int nGetCompatSince() const override;
    int nGetNAVersion() const override;
    int nGetNACompatSince() const override;
    void NAVersion_EmptySlot_3() override;
    INADriverSQL* ExternalAddRef() override;
    // The object is destroyed when a release brings one count to 0 while
    // the other is 0.
    int nExternalRelease() override;
    // The error object, no reference added.
    INAError* piGetLastError() override;
    void* piGetInterface(int nId) override;
    void* pReservedFct1(unsigned char* p) override;
    void* pReservedFct2(unsigned char* p) override;
    void* pReservedFct3(unsigned char* p) override;
    void* pReservedFct4(unsigned char* p) override;
    void* pReservedFct5(unsigned char* p) override;
    int bLoadNativeDll(unsigned char* p, unsigned int n) override;
    int bFreeNativeDll(unsigned char* p, unsigned int n) override;
    // A new connection of the driver, filed under an identification of its
    // own; its number goes out (0 on failure).
    int bOpenConnection(int* pnConnection, INAConnectionDescription* piDescription) override;
    int bCloseConnection(int nConnection) override;
    int bGetDataBaseList(CAny* pResult, unsigned int nFlags) override;
    int bGetTableList(CAny* pResult, int nConnection, const wchar_t* pszFilter, unsigned int nFlags) override;
    int bGetColumnList(CAny* pResult, int nConnection, const wchar_t* pszTable, unsigned int nFlags) override;
    int bGetColumnList(CAny* pResult, int nConnection, int nStatement, unsigned int nFlags) override;
    INADataSourceDescription* piGetTableDesc(int nConnection, const wchar_t* pszTable, unsigned int nFlags) override;
    INADataSourceDescription* piGetTableDesc(int nConnection, int nStatement, unsigned int nFlags) override;
    // The empty wide text; 1.
    int bGetColumnTypeList(CAny* pResult, int nConnection, unsigned int nFlags) override;
    // Runs the query; a result with columns is filed and its number goes
    // out, else 0 goes out.
    int bExecute(int* pnStatement, int nConnection, const wchar_t* pszQuery, CTabValParser* pParameters,
                 unsigned int nFlags) override;
    // 1 whether or not the statement was filed.
    int bFreeStmt(int nConnection, int nStatement, unsigned int nFlags) override;
    int bGetStmtLastError(INAError** ppiError, int nConnection, int nStatement) override;
    int bGetColumnNbr(int* pnCount, int nConnection, int nStatement, unsigned int nFlags) override;
    int bGetColumnName(CAny* pName, int nConnection, int nStatement, unsigned int nColumn,
                       unsigned int nFlags) override;
    // 1 only on a row; 0 at the end and on a failure.
    int bFetch(int nConnection, int nStatement, unsigned int nFlags) override;
    int bGetRow(CAny* pRow, int nConnection, int nStatement, const wchar_t* pszSeparator, int n,
                unsigned int nFlags) override;
    int bGetValue(CAny* pValue, int nConnection, int nStatement, unsigned int nColumn, unsigned int nFlags) override;
    int bGetBLOBValue(CAny* pValue, int nConnection, int nStatement, unsigned int nColumn,
                      unsigned int nFlags) override;
    // The connection's transaction "SQLTransaction"; the number is not used.
    int bTrsBegin(int* pnTransaction, int nConnection, unsigned int nFlags) override;
    int bTrsCommit(int nConnection, int nTransaction, unsigned int nFlags) override;
    int bTrsRollBack(int nConnection, int nTransaction, unsigned int nFlags) override;
    // Only inside a transaction; else user error 29.
    int bSQLBloqueTable(int nConnection, const wchar_t* pszTable, unsigned int nFlags) override;
    int bSQLBloqueRequete(int nConnection, const wchar_t* pszQuery, unsigned int nFlags) override;
    int bSetVMAndLibShop(ILibShop* piLibShop, IVMData* piVMData) override;
    void EmptySlot258() override;
    void EmptySlot259() override;
    void EmptySlot261() override;
    void EmptySlot262() override;
    void EmptySlot263() override;
    void EmptySlot264() override;
    void EmptySlot265() override;
    void EmptySlot267() override;
    void EmptySlot268() override;
    void EmptySlot269() override;
    void EmptySlot270() override;
    void EmptySlot271() override;
    void EmptySlot273() override;
    void EmptySlot274() override;
    void EmptySlot275() override;
    void EmptySlot276() override;
    void EmptySlot277() override;
    void EmptySlot279() override;
    void EmptySlot280() override;
    void EmptySlot281() override;
    void EmptySlot282() override;
    void EmptySlot283() override;
    void EmptySlot285() override;
    void EmptySlot286() override;
    void EmptySlot287() override;
    void EmptySlot288() override;
    void EmptySlot289() override;
    void EmptySlot291() override;
    void EmptySlot292() override;
    void EmptySlot293() override;
    void EmptySlot294() override;
    void EmptySlot295() override;
    void EmptySlot297() override;
    void EmptySlot298() override;
    void EmptySlot299() override;
    void EmptySlot300() override;
    void EmptySlot301() override;

    // ---- Own virtual operations, in slot order ----------------------------------
    // Drops the error object, then every statement still filed.
    virtual ~CNADriverSQL();
    // The tables of the connection's current database from
    // INFORMATION_SCHEMA (flags: LIST_*). The filter is a clause (LIKE, NOT
    // LIKE or WHERE first) or a bare LIKE pattern; a WHERE clause is not
    // offered here. No table kind asked: the empty text and 1.
    virtual int bGetTableList(CAny* pResult, CNAConnectionDescription* pConnection, const wchar_t* pszFilter,
                              unsigned int nFlags);
    // The names of the table description's items up to its first composite
    // key, one a line.
    virtual int bGetColumnList(CAny* pResult, CNAConnectionDescription* pConnection, const wchar_t* pszTable,
                               unsigned int nFlags);
    // The foreign keys of the table from its CREATE TABLE text (rows with
    // LIST_DETAILED only); 1 untouched on a connection of another kind.
    virtual int bGetLinkList(CAny* pResult, CNAConnectionDescription* pConnection, const wchar_t* pszTable,
                             INADataSourceDescription* piTable, unsigned int nFlags);
    // Opens the connection when needed, then runs the query FOR UPDATE.
    virtual int bSQLBloqueRequete(CNAConnectionDescription* pConnection, const wchar_t* pszQuery,
                                  unsigned int nFlags);
    // Opens the connection when needed, then locks the table.
    virtual int bSQLBloqueTable(CNAError* pError, CNAConnectionDescription* pConnection, const wchar_t* pszTable,
                                unsigned int nFlags);
    // A new direct SQL statement of the connection reporting into pError,
    // or null.
    virtual CNAStatementSQL* pclAllocStatementSQL(CNAConnectionDescription* pConnection, CNAError* pError) = 0;
    // The table-kind condition, parenthesised, then " AND TABLE_NAME " and
    // the LIKE clause when one is given.
    virtual void _GetTableList_GetFilter(CXYStringConcat<wchar_t>* pclOut, const wchar_t* pszLikeClause,
                                         unsigned int nFlags);
    // One database a line; with a table kind asked, each followed by a TAB
    // and its tables joined by TAB.
    virtual int _bGetDatabaseList(CXYStringConcat<wchar_t>* pclOut, CNAConnectionDescription* pConnection,
                                  unsigned int nFlags);
    virtual int _bGetDatabaseListQuery(CTStringConcatAW* pclQuery, CNAConnectionDescription* pConnection,
                                       unsigned int nFlags);
    virtual int _bGetDatabaseTableListQuery(CTStringConcatAW* pclQuery, const wchar_t* pszDatabase,
                                            CNAConnectionDescription* pConnection, unsigned int nFlags);
    virtual int _bGetTableList(CAny* pResult, CNAConnectionDescription* pConnection, const wchar_t* pszCondition,
                               unsigned int nFlags);

    // ---- Catalogue lists --------------------------------------------------------
    // Flags of the lists.
    enum : unsigned int {
        LIST_BASE_TABLES = 0x1,
        LIST_VIEWS = 0x2,
        LIST_OTHER_TABLES = 0x4,
        LIST_TABLES = 0x7,
        LIST_SORTED = 0x10,
        LIST_DETAILED = 0x20,
    };
    // What a host's table filter is.
    enum eTABLEFILTER : int {
        TABLEFILTER_NONE = 0,
        TABLEFILTER_LIKE = 1,   // LIKE or NOT LIKE first
        TABLEFILTER_WHERE = 2,  // WHERE first
        TABLEFILTER_PATTERN = 3, // anything else: a bare LIKE pattern
    };
    static eTABLEFILTER g_eTableFilter(const wchar_t* pszFilter);
    // The filter as a clause: a clause as given, a bare pattern as LIKE and
    // the connection's literal of it; empty without a filter.
    int _bTableFilterClause(CNAConnectionDescription* pConnection, const wchar_t* pszFilter, CTString* pclClause);
    // Runs the query and gives its rows, the first nColumns columns of each
    // joined by TAB, rows joined by CR LF. 1 when the rows ran out normally.
    int _bGetList(CXYStringConcat<wchar_t>* pclOut, CNAConnectionDescription* pConnection, const wchar_t* pszQuery,
                  unsigned int nColumns, unsigned int nFlags);
    int _bGetList(CAny* pResult, CNAConnectionDescription* pConnection, const wchar_t* pszQuery,
                  unsigned int nColumns, unsigned int nFlags);
    // _bGetDatabaseList into a host string (emptied by an empty list).
    int bGetDatabaseList(CXYString<wchar_t>* pclOut, CNAConnectionDescription* pConnection, unsigned int nFlags);
    // The links of one CREATE TABLE text as rows; the scan never reads past
    // the text, skips a constraint that does not follow the pattern and
    // answers 1.
    int _bExtraitLink_FromShowCreateTable(CXYStringConcat<wchar_t>* pclOut, const wchar_t* pszCreate,
                                          const wchar_t* pszTable, CNAConnectionDescription* pConnection,
                                          INADataSourceDescription* piTable, int nFlags);
    // Replaces the columns joined by "," with the name of the table's
    // composite key made of exactly them, when there is one. Without a
    // description the table's is loaded and handed back (the caller
    // releases it); 0 when it cannot be loaded.
    int _bGetNomCleComposee(INADataSourceDescription** ppiTable, CXYString<wchar_t>* pclColumns, int nCount,
                            const wchar_t* pszTable, CNAConnectionDescription* pConnection);
    // A list's value: host wide text, neither NULL nor flagged.
    static void g_SetListText(CAny* pResult, const wchar_t* pszText, unsigned int nLength);
    // The connection's literal of a wide text.
    static int g_bTextLiteral(CNAConnectionDescription* pConnection, CNAError* pError, const wchar_t* psz,
                              CTString* pclOut);
    // Column nColumn of the current row as text (empty for NULL, which
    // *pbNull tells when asked).
    static int g_bGetText(CNAStatementSQL* pclStatement, unsigned int nColumn, CTString* pclOut,
                          bool* pbNull = nullptr);
    // Empties the query and writes the text into it.
    static void g_SetQuery(CTStringConcatAW* pclQuery, const wchar_t* pszText);
    // Sorts the lines of a list ignoring case.
    static void g_SortLines(CXYStringConcat<wchar_t>* pclList);

    // ---- Counting -----------------------------------------------------------------
    void AddRef() { m_nRef++; }
    unsigned int nRelease();
    unsigned int nGetRef() const { return m_nRef; }
    int nGetExternalRef() const { return m_nExternalRef; }

    // ---- Internal operations (under the driver mutex) --------------------------------
    // The driver's connection of that number with a reference the caller
    // gives back with _ReleaseConnection, or null.
    CNAConnectionDescription* _pclGetConnection(int nConnection);
    // Gives back a look-up's reference by the driver's rule for holders, so
    // that a connection the host closed meanwhile closes now.
    void _ReleaseConnection(CNAConnectionDescription* pConnection);
    // Makes a statement of the connection and runs the query; with result
    // columns the statement goes out with a reference for the caller, else
    // null goes out.
    int bExecute(CNAError* pError, CNAStatementSQL** ppclStatement, CNAConnectionDescription* pConnection,
                 const wchar_t* pszQuery, CTabValParser* pParameters, unsigned int nFlags);
    // The driver is going: nothing of it is reached any more.
    void _DriverGone() { m_pclDriver = nullptr; }
    unsigned int nGetNbStatement() const { return m_tabStatement.dwGetNumElement(); }

    // Suffix counter of the identifications of this interface's connections.
    static int m_gnCnxNameGenerator;

protected:
    // A slot's frame: error reset, driver mutex and exceptions stopped.
    template <class R, class F>
    R _Run(R rFailure, F&& f) noexcept;
    template <class R, class F>
    R _RunNoReset(R rFailure, F&& f) noexcept;
    // User error 8 of kind 7 at that point; 0.
    int _bNotOffered(int nPoint, const wchar_t* pszTable = nullptr);
    // The filed statement of that number, its error reset; null for 0 and
    // for an unknown number. The table's reference keeps it while the
    // driver mutex is held.
    CNAStatementSQL* _pclGetStatement(int nStatement);
    // Before a statement leaves the table (numbers are never used twice).
    void _ForgetStatement()
    {
        m_nLastStatement = 0;
        m_pclLastStatement = nullptr;
    }
    // The statement's column count, or 0 with user error 50 when the host's
    // column is outside 1 to the count.
    int _bCheckColumn(CNAStatementSQL* pclStatement, unsigned int nColumn);

    unsigned int m_nRef;
    int m_nExternalRef;
    CNADriver* m_pclDriver; // not referenced
    CNAError* m_pclError;   // one reference held
    CNARefHashTable<int, CNAStatementSQL*> m_tabStatement;
    int m_nLastStatement = 0;
    CNAStatementSQL* m_pclLastStatement = nullptr; // the table's reference
};
