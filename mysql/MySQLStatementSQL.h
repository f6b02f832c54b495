// One SQL text run over the MYSQL handle of a MySQL connection: the result
// taken whole (store mode) or row by row (use mode), its columns described
// from the client library's field records, and the current row with its
// value lengths for the fetches, seeks and value reads.
#pragma once

#include "access/statement/NAStatementSQL.h"

#include <mysql/mysql.h>

class CMySQLConnection;

class CMySQLStatementSQL : public CNAStatementSQL {
public:
    enum : int {
        // Source-file number of this file in the debug line.
        ERRFILE_MYSQLSTATEMENTSQL = 100,
    };

    // Store mode, nothing open.
    CMySQLStatementSQL(CNAConnectionDescription* pclConnection, CNAError* pclError);
    // Closes an open result (a streamed one read to its end first).
    ~CMySQLStatementSQL() override;

    // ---- Replaced operations, in the base's slot order ------------------------
    // Closes the result (a streamed one drained), then the server's count.
    int bGetAffected_rows(long long* pllCount) override;
    // One row forward while the result has rows; the end of rows is the
    // base's end-of-rows flag.
    int bFetch(unsigned int nFlags) override;
    // The next fetch delivers row llRow (0-based) of a stored result.
    int bDataSeek(long long llRow) override;
    // The value of a column of the current row into the cell; false without
    // a current row, and with user error 50 for a column out of range.
    int bGetValue(CNAConvertVariant* pclCell, unsigned int nColumn, unsigned int nFlags) override;
    using CNAStatementSQL::bGetValue;
    int _bCloseParse() override;
    int _bInitTabNAColumn() override;
    // The server's error with the query text; after a lost connection (2006)
    // a probe of max_allowed_packet tells whether the text was too long.
    void _InitExecuteError(int nFile, int nPoint, const char* pszText, unsigned int nLength,
                           unsigned int nFlags) override;
    using CNAStatementSQL::_bExecuteDirect;
    int _bExecuteDirect(const char* pszText, CTabValParser* pParameters, unsigned int nFlags) override;

    // ---- Own operations -----------------------------------------------------------
    int _bGetStoreResult();
    int _bGetUseResult();
    int _bFetch();
    // The next row of the result, or null (also after a caught crash).
    MYSQL_ROW __pFetchRow();
    // The same; *pbCaught tells a crash in the call from the end.
    MYSQL_ROW __pFetchRow(int* pbCaught) { return _pFetchRow(pbCaught); }
    // A streamed result read to its end by its reader.
    void SetStreamPending(int bPending) { m_bStreamPending = bPending; }
    // The current row's bytes of a column, null for NULL; false without a
    // current row or for a column out of range.
    int bGetValue(unsigned char** ppData, unsigned int* pnLength, unsigned int nColumn) override;

    // Store mode (1, the default) or use mode (0) for the next executions.
    void SetStoreResult(int bStore) { m_bStoreResult = bStore ? 1 : 0; }
    int bGetStoreResult() const { return m_bStoreResult; }

    // Byte offsets of the field record members the statement reads, by
    // record size (32, 40, 80 or 84); -1 for a member the layout lacks.
    struct STFieldLayout {
        unsigned int nSize;
        int nName;
        int nOrgName;
        int nOrgTable;
        int nLength;
        int nMaxLength;
        int nFlags;
        int nDecimals;
        int nCharset;
        int nType;
    };
    // The layout of the field records of a client library version text.
    static const STFieldLayout* s_pstGetFieldLayout(const wchar_t* pszClientVersion);
    // Digits before the point of a decimal column.
    static int s_nGetDecimalDigits(unsigned int nLength, unsigned int nDecimals, int bUnsigned);

protected:
    CMySQLConnection* _pclGetMySQLConnection() const;
    // The next row; *pbCaught tells a crash in the call from the end.
    MYSQL_ROW _pFetchRow(int* pbCaught);
    MYSQL* _hGetHandle() const;
    // User error 50 for a column at or above the count.
    int _bCheckColumn(unsigned int nColumn);
    // Takes the reply's first result set (store or use), passing over the
    // statements without one: 1 with m_pResult set, 0 without (counts 0),
    // -1 when the reply failed; *pbResult is cleared after a caught crash.
    int _nTakeResultSet(int bStore, int* pbResult);
    // Whether a further result follows a statement without a result set;
    // the statement's count is kept first. False after a failure.
    int _bSkipToNextResult(int* pbMore);
    // Reads and frees the results that follow in the reply; false when one
    // of them failed (its server error recorded when bRecord is set).
    int _bDrainResults(int bRecord);

    MYSQL_RES* m_pResult;
    MYSQL_ROW m_pRow;
    int m_bStreamPending;
    unsigned long* m_pLengths;
    int m_bStoreResult;
    // The count of the last statement without a result set, read before the
    // next result resets it; -1: the library's own count stands.
    long long m_llAffectedRows;
};
