// One SQL text run on one connection, and its result: row count, current
// row, result columns and the values of the current row. The base does the
// generic half (ids, client-side parameter substitution, the three text
// forms, values through a cell, names, rows as text, error texts); the back
// end sends the 8-bit text, fetches, seeks, reads values and builds the
// columns.
#pragma once

#include "access/driver/Interf.h"
#include "common/text/Tstring.h"
#include "common/text/XYString.h"

#include <string>

class CAny;
class CNAColumnSQL;
class CNAConnectionDescription;
class CNAConvertVariant;
class CNAError;
class CTabValParser;
class CTStringConcatAW;

class CNAStatementSQL : public CInterf {
public:
    enum : int {
        ERRFILE_STATEMENTSQL = 50,
        // The query text copied into an error stops there.
        QUERY_DUMP_MAX = 5000,
    };

    // One reference on the connection and on the error; a fresh id.
    CNAStatementSQL(CNAConnectionDescription* pclConnection, CNAError* pclError);
    ~CNAStatementSQL() override;

    // ---- Virtual operations, in slot order (after CInterf's three) -----------
    // No prepared statements here: 0 without an error.
    virtual int bPrepareSQL(const wchar_t* pszText);
    virtual int bExecutePreparedQuery(unsigned int nFlags);
    // Resets, then runs the text with each parameter written in place as a
    // literal. Parameters out of order, overlapping or past the text are
    // refused before anything is sent.
    virtual int bExecuteDirect(const wchar_t* pszText, CTabValParser* pParameters, unsigned int nFlags);
    virtual int bGetAffected_rows(long long* pllCount);
    virtual int bFetch(unsigned int nFlags);
    virtual int bDataSeek(long long llRow);
    virtual int bGetValue(CNAConvertVariant* pclCell, unsigned int nColumn, unsigned int nFlags);
    // Through the statement's cell typed as wide text, then into the value.
    virtual int bGetValue(CAny* pValue, unsigned int nColumn, unsigned int nFlags);
    // The same through a binary cell.
    virtual int bGetBLOBValue(CAny* pValue, unsigned int nColumn, unsigned int nFlags);
    virtual int bReset();
    virtual int _bCloseParse();
    virtual int _bInitTabNAColumn();
    // The connection fills the error with the client's last error.
    virtual int _bInitLastError(int nFile, int nPoint);
    virtual void _InitExecuteError(int nFile, int nPoint, const char* pszText, unsigned int nLength,
                                   unsigned int nFlags);
    // Appends the literal of a value.
    virtual int _bAddParameter(CTStringConcatAW* pclText, unsigned int nIndex, CAny* pValue);
    // The wide form for text held wide only, else the 8-bit form.
    virtual int _bExecuteDirect(CTStringConcatAW* pclText, CTabValParser* pParameters, unsigned int nFlags);
    // Converted into the connection's code page, then the 8-bit form.
    virtual int _bExecuteDirect(const wchar_t* pszText, CTabValParser* pParameters, unsigned int nFlags);
    // The back end's: sends the text with its byte length.
    virtual int _bExecuteDirect(const char* pszText, CTabValParser* pParameters, unsigned int nFlags);
    // The current row's bytes of a column as the server sent them, null for
    // NULL; false where the back end has none.
    virtual int bGetValue(unsigned char** ppData, unsigned int* pnLength, unsigned int nColumn);

    // ---- Other operations ------------------------------------------------------
    int bExecuteDirect(const char* pszText, unsigned int nFlags);
    // Runs the text and reads one column of its first row; a text that
    // returns no row succeeds and leaves the value. A failed run, fetch or
    // read is the answer even though the result is reset.
    int bGetRequestedValue(CAny* pValue, unsigned int nColumn, const wchar_t* pszText);
    // The statement's error, no reference added; 1.
    int bGetStmtLastError(CNAError** ppclError);
    void ResetLastError();
    int bGetColumnNbr(unsigned int* pnCount, unsigned int nFlags);
    // Null, with user error 50, for an index outside the columns.
    CNAColumnSQL* pclGetNAColumnSQL(int nIndex);
    int _eGetColumnType(int nIndex);
    const wchar_t* _pszGetColumnName(int nIndex);
    int bGetColumnName(CAny* pValue, int nIndex, unsigned int nFlags);
    // The names joined by "\r\n".
    int bGetColumnList(CAny* pValue, unsigned int nFlags);
    // The current row's values joined by the separator (the first nMax
    // columns when 0 < nMax < count); NULL gives an empty field.
    int bGetRow(CTString* pclText, const wchar_t* pszSeparator, int nMax, unsigned int nFlags);
    int bGetRow(CAny* pValue, const wchar_t* pszSeparator, int nMax, unsigned int nFlags);

    int nGetStmtID() const { return m_nStmtID; }
    unsigned int nGetRowMaxLen() const { return m_nRowMaxLen; }
    long long llGetRowCount() const { return m_llRowCount; }
    long long llGetCurrentRow() const { return m_llCurrentRow; }
    int bEndOfData() const { return m_bEndOfData; }

    // The query text into the error after the connection's facts.
    void _DumpQueryInError(const char* pszText, unsigned int nLength);
    void _DumpQueryInError(const wchar_t* pszText);
    void _DumpQueryInError(CTStringConcatAW* pclText);

    // Statements made in the process; the next one takes this + 1.
    static int m_gnStmtGenerator;

protected:
    CNAConvertVariant* _pclGetVariant();
    // The reset before an execution; a null text is user error 28.
    int _bResetForText(const void* pText);
    // A result value through the statement's cell typed nType.
    int _bGetValueAs(CAny* pValue, unsigned int nColumn, unsigned int nFlags, unsigned short nType);
    // A column as wide host text in the statement's cell, the block of
    // clBlock moved into the cell first (written over when nobody else
    // holds it); null on failure, the block given back. After a success
    // _ReturnText gives clBlock the cell's text.
    CAny* _pclReadText(unsigned int nColumn, unsigned int nFlags, CXYString<wchar_t>& clBlock);
    static void _ReturnText(CAny* pclText, CXYString<wchar_t>& clBlock);
    // The current row's texts joined by the separator, into m_sRow.
    int _bReadRow(const wchar_t* pszSeparator, int nMax, unsigned int nFlags);
    // Value, start and length of parameter i; a file parameter's value is
    // the file's content.
    int _bGetParameter(CAny* pValue, int* pnStart, int* pnLength, CTabValParser* pParameters, int nIndex);
    // The connection's code page for 8-bit text.
    int _nGetCodePage() const;
    // User error 77 naming the text and the code page; 0.
    int _bRaiseCodePage(const wchar_t* pszText);
    void _RaiseUserError(int nPoint, unsigned int nUserError, ...);

    CNAError* m_pclError;                      // one reference
    CNAConnectionDescription* m_pclConnection; // one reference
    unsigned int m_bResultOpen;                // the back end keeps its own result handle
    long long m_llRowCount;                    // -1: none yet
    long long m_llCurrentRow;                  // 0-based, -1 before the first row
    unsigned int m_nColumnCount;
    CNAColumnSQL* m_ptabColumn;                // built on first use
    int m_bEndOfData;                          // no current row
    unsigned int m_nRowMaxLen;                 // total of the columns' maximum lengths
    int m_nStmtID;
    CNAConvertVariant* m_pclVariant;           // one reference, made on first use
    CXYString<wchar_t> m_clSpareText;          // the block of texts read for no host text value
    std::wstring m_sRow;                       // the last row read as one text
};
