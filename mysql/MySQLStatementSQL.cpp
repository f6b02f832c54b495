#include "mysql/MySQLStatementSQL.h"

#include "access/driver/NAError.h"
#include "access/driver/NaDriver.h"
#include "access/statement/NAColumn.h"
#include "common/platform/MyModuleInfo.h"
#include "common/values/Any.h"
#include "common/values/NACnvVariant.h"
#include "mysql/MySQLConnection.h"
#include "mysql/NAFunctionLoader.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

namespace {

const int FILE_STMT = CMySQLStatementSQL::ERRFILE_MYSQLSTATEMENTSQL;

// Error points of this file.
enum : int {
    PT_NO_COLUMNS = 1,
    PT_QUERY = 3,
    PT_STORE = 5,
    PT_USE = 6,
    PT_FREE = 7,
    PT_FETCH_FIELDS = 8,
    PT_NUM_FIELDS_STORE = 9,
    PT_NUM_FIELDS_USE = 10,
    PT_DATA_SEEK = 11,
    PT_FETCH_ROW = 12,
    PT_NUM_ROWS = 13,
    PT_ERRNO_STORE = 15,
    PT_ERRNO_USE = 16,
    PT_AFFECTED_ROWS = 17,
    PT_DRAIN_STORE = 18,
    PT_DRAIN_NEXT = 19,
    PT_DRAIN_FREE = 20,
    PT_SKIP_NEXT = 21,
    PT_STORE_FAILED = 22,
    PT_QUERY_REFUSED = 23,
    PT_USE_FAILED = 24,
    PT_FETCH_FAILED = 25,
    PT_QUERY_TOO_LONG = 26,
    PT_FETCH_LENGTHS = 27,
    PT_COLUMN_INDEX = 28,
    PT_SEEK_STREAMED = 29,
    PT_NOT_CONNECTED = 30,
};

// The client library's codes for a session that has ended under it: gone
// before the query, or lost during it.
const unsigned int CR_LOST_CONNECTION = 2006;
const unsigned int CR_LOST_DURING_QUERY = 2013;

bool _bSessionEnded(unsigned int nCode)
{
    return nCode == CR_LOST_CONNECTION || nCode == CR_LOST_DURING_QUERY;
}
// The row count of a streamed result: unknown, and above 0 so that
// fetching goes on.
const long long STREAMED_ROW_COUNT = 4294967295LL;
const unsigned int CHARSET_BINARY = CMySQLConnection::CHARSET_BINARY;
// UNSIGNED in the field record's flags.
const unsigned int FIELD_UNSIGNED = 0x20;
const unsigned int FIELD_ENUM = 0x100;
const int QUERY_START_IN_ERROR = 20;

const CMySQLStatementSQL::STFieldLayout s_tabLayout[] = {
    {32, 0, -1, -1, 16, 20, -1, 28, -1, 12},
    {40, 0, -1, -1, 20, 24, -1, 32, -1, 36},
    {80, 0, 4, 12, 28, 32, 64, 68, 72, 76},
    {84, 0, 4, 12, 28, 32, 64, 68, 72, 76},
};

unsigned int _nWord(const unsigned char* pRecord, int nOffset)
{
    unsigned int n = 0;
    if (nOffset >= 0)
        std::memcpy(&n, pRecord + nOffset, sizeof(n));
    return n;
}

const char* _pszText(const unsigned char* pRecord, int nOffset)
{
    const char* psz = nullptr;
    if (nOffset >= 0)
        std::memcpy(&psz, pRecord + nOffset, sizeof(psz));
    return psz;
}

eNA_ITEMTYPE _eUnsignedItem(eNA_ITEMTYPE e, int nDBType)
{
    switch (nDBType) {
    case MYSQL_TYPE_TINY:
        return NA_IT_UI1;
    case MYSQL_TYPE_SHORT:
        return NA_IT_UI2;
    case MYSQL_TYPE_LONG:
        return NA_IT_UI4;
    case MYSQL_TYPE_LONGLONG:
        return NA_IT_UI8;
    default:
        return e;
    }
}

bool _bIsDateCell(CNAConvertVariant* pclCell)
{
    switch (pclCell->eNAGetItemType()) {
    case NA_IT_DATETIME:
    case NA_IT_DATE8:
    case NA_IT_DATE6:
        return true;
    default:
        break;
    }
    const unsigned char nType = pclCell->pclGetValue()->nGetTypeCode();
    return nType == TQTYPE_DATETIME || nType == TQTYPE_DATEW || nType == TQTYPE_DATEA;
}

bool _bIsBinaryItem(eNA_ITEMTYPE e)
{
    return e == NA_IT_BINAIRE || e == NA_IT_MEMOBINAIRE;
}

// A BIT value goes as its bytes only to a cell that reads bytes: a binary
// item, or a binary value where no item says otherwise.
bool _bReadsBitBytes(CNAConvertVariant* pclCell)
{
    const eNA_ITEMTYPE eAnalyse = pclCell->eNAGetItemTypeAnalyse();
    if (eAnalyse != NA_IT_EMPTY)
        return _bIsBinaryItem(eAnalyse);
    const eNA_ITEMTYPE eDatabase = pclCell->eNAGetItemTypeDatabase();
    if (eDatabase != NA_IT_EMPTY)
        return _bIsBinaryItem(eDatabase);
    return pclCell->pclGetValue()->nGetTypeCode() == TQTYPE_BIN;
}

// The decimal text of the unsigned number the bytes hold, most significant
// first, as the server's flag+0 writes it; 0 when they are more than a
// 64-bit number holds.
unsigned int _nBitNumberText(const char* pValue, unsigned int nLength, char (&sz)[24])
{
    if (nLength > sizeof(unsigned long long))
        return 0;
    unsigned long long ull = 0;
    for (unsigned int i = 0; i < nLength; i++)
        ull = (ull << 8) | static_cast<unsigned char>(pValue[i]);
    const int n = std::snprintf(sz, sizeof(sz), "%llu", ull);
    return n > 0 ? static_cast<unsigned int>(n) : 0;
}

} // namespace

// ---- Construction ------------------------------------------------------------------------------

CMySQLStatementSQL::CMySQLStatementSQL(CNAConnectionDescription* pclConnection, CNAError* pclError)
    : CNAStatementSQL(pclConnection, pclError),
      m_pResult(nullptr),
      m_pRow(nullptr),
      m_bStreamPending(0),
      m_pLengths(nullptr),
      m_bStoreResult(1),
      m_llAffectedRows(-1)
{
}

CMySQLStatementSQL::~CMySQLStatementSQL()
{
    if (m_bResultOpen || m_pResult != nullptr)
        _bCloseParse();
}

CMySQLConnection* CMySQLStatementSQL::_pclGetMySQLConnection() const
{
    // The MySQL SQL interface makes statements for MySQL connections only.
    return static_cast<CMySQLConnection*>(m_pclConnection);
}

MYSQL* CMySQLStatementSQL::_hGetHandle() const
{
    return m_pclConnection != nullptr ? _pclGetMySQLConnection()->pGetHandle() : nullptr;
}

// ---- Execution ---------------------------------------------------------------------------------

int CMySQLStatementSQL::_bExecuteDirect(const char* pszText, CTabValParser*, unsigned int nFlags)
{
    if (pszText == nullptr || (m_pclConnection != nullptr && m_pclConnection->_bRefuseInLostTransaction(m_pclError)))
        return 0;
    MYSQL* h = _hGetHandle();
    // A lost session the server could not take back before: again now.
    const bool bReopen = h == nullptr && m_pclConnection != nullptr && _pclGetMySQLConnection()->bSessionToReopen();
    if (bReopen && _pclGetMySQLConnection()->bReopenLostSession(m_pclError))
        h = _hGetHandle();
    if (h == nullptr) {
        // A failed reopening has already said why.
        if (m_pclError != nullptr && (!bReopen || m_pclError->eGetErrorType() == NA_ERRORTYPE_NONE))
            m_pclError->AddError(NA_ERRORTYPE_GENERAL, FILE_STMT, PT_NOT_CONNECTED, m_pclConnection, ZTERR_CONNECT);
        return 0;
    }
    const unsigned long nLength = static_cast<unsigned long>(std::strlen(pszText));
    m_llAffectedRows = -1;
    int nAnswer = 1;
    if (!bNAClientCall(m_pclError, m_pclConnection, FILE_STMT, PT_QUERY, nAnswer, 1, __mysql_real_query, h,
                       pszText, nLength))
        return 0;
    if (nAnswer != 0) {
        _InitExecuteError(FILE_STMT, PT_QUERY_REFUSED, pszText, static_cast<unsigned int>(nLength), nFlags);
        return 0;
    }
    const int bResult = m_bStoreResult ? _bGetStoreResult() : _bGetUseResult();
    if (!bResult)
        return 0;
    if (m_nColumnCount != 0)
        return _bInitTabNAColumn();
    return 1;
}

int CMySQLStatementSQL::_nTakeResultSet(int bStore, int* pbResult)
{
    MYSQL* h = _hGetHandle();
    for (;;) {
        m_pResult = nullptr;
        if (!bNAClientCall(m_pclError, m_pclConnection, FILE_STMT, bStore ? PT_STORE : PT_USE, m_pResult,
                           static_cast<MYSQL_RES*>(nullptr), bStore ? __mysql_store_result : __mysql_use_result, h))
            *pbResult = 0;
        m_bResultOpen = 1;
        if (m_pResult != nullptr)
            return 1;
        unsigned int nErrno = 0;
        if (!bNAClientCall(m_pclError, m_pclConnection, FILE_STMT, bStore ? PT_ERRNO_STORE : PT_ERRNO_USE, nErrno,
                           0u, __mysql_errno, h))
            *pbResult = 0;
        if (nErrno != 0) {
            _bInitLastError(FILE_STMT, bStore ? PT_STORE_FAILED : PT_USE_FAILED);
            return -1;
        }
        // A statement without a result set: the ones after it may have one,
        // and the handle is busy until they are read.
        int bMore = 0;
        if (!_bSkipToNextResult(&bMore)) {
            if (bMore < 0)
                return -1;
            *pbResult = 0;
        }
        if (bMore <= 0) {
            m_llRowCount = 0;
            m_nColumnCount = 0;
            return 0;
        }
    }
}

int CMySQLStatementSQL::_bGetStoreResult()
{
    int bResult = 1;
    const int nTaken = _nTakeResultSet(1, &bResult);
    if (nTaken <= 0)
        return nTaken < 0 ? 0 : bResult;
    my_ulonglong nRows = 0;
    if (!bNAClientCall(m_pclError, m_pclConnection, FILE_STMT, PT_NUM_ROWS, nRows, static_cast<my_ulonglong>(0),
                       __mysql_num_rows, m_pResult))
        bResult = 0;
    m_llRowCount = static_cast<long long>(nRows);
    if (!bNAClientCall(m_pclError, m_pclConnection, FILE_STMT, PT_NUM_FIELDS_STORE, m_nColumnCount, 0u,
                       __mysql_num_fields, m_pResult))
        bResult = 0;
    // The handle takes no other command before the rest of the reply is read.
    if (_pclGetMySQLConnection()->bMultipleRecordsetEnabled() && !_bDrainResults(1))
        bResult = 0;
    return bResult;
}

int CMySQLStatementSQL::_bGetUseResult()
{
    int bResult = 1;
    const int nTaken = _nTakeResultSet(0, &bResult);
    if (nTaken <= 0)
        return nTaken < 0 ? 0 : bResult;
    m_bStreamPending = 1;
    m_llRowCount = STREAMED_ROW_COUNT;
    if (!bNAClientCall(m_pclError, m_pclConnection, FILE_STMT, PT_NUM_FIELDS_USE, m_nColumnCount, 0u,
                       __mysql_num_fields, m_pResult))
        bResult = 0;
    return bResult;
}

int CMySQLStatementSQL::_bSkipToNextResult(int* pbMore)
{
    *pbMore = 0;
    if (!_pclGetMySQLConnection()->bMultipleRecordsetEnabled())
        return 1;
    MYSQL* h = _hGetHandle();
    // Asking for the next result resets the count.
    my_ulonglong nAffected = static_cast<my_ulonglong>(-1);
    const bool bCount = bNAClientCall(m_pclError, m_pclConnection, FILE_STMT, PT_AFFECTED_ROWS, nAffected,
                                      static_cast<my_ulonglong>(-1), __mysql_affected_rows, h);
    m_llAffectedRows = static_cast<long long>(nAffected);
    int nNext = -1;
    const bool bNext =
        bNAClientCall(m_pclError, m_pclConnection, FILE_STMT, PT_SKIP_NEXT, nNext, -1, __mysql_next_result, h);
    if (nNext > 0) {
        // A later statement of the text failed.
        _bInitLastError(FILE_STMT, PT_SKIP_NEXT);
        *pbMore = -1;
        return 0;
    }
    if (nNext == 0) {
        m_llAffectedRows = -1;
        *pbMore = 1;
    }
    return bCount && bNext ? 1 : 0;
}

int CMySQLStatementSQL::_bDrainResults(int bRecord)
{
    MYSQL* h = _hGetHandle();
    CNAError* pclError = bRecord ? m_pclError : nullptr;
    for (;;) {
        int nNext = -1;
        if (!bNAClientCall(pclError, m_pclConnection, FILE_STMT, PT_DRAIN_NEXT, nNext, -1, __mysql_next_result, h))
            return 0;
        if (nNext < 0)
            return 1;
        if (nNext > 0) {
            if (bRecord)
                _bInitLastError(FILE_STMT, PT_DRAIN_NEXT);
            return 0;
        }
        MYSQL_RES* pResult = nullptr;
        if (!bNAClientCall(pclError, m_pclConnection, FILE_STMT, PT_DRAIN_STORE, pResult,
                           static_cast<MYSQL_RES*>(nullptr), __mysql_store_result, h))
            return 0;
        if (pResult != nullptr &&
            !bNAClientCall(pclError, m_pclConnection, FILE_STMT, PT_DRAIN_FREE, __mysql_free_result, pResult))
            return 0;
    }
}

int CMySQLStatementSQL::_bCloseParse()
{
    if (m_pResult != nullptr) {
        // A streamed result must be read to its end before the handle takes
        // another command.
        if (m_bStreamPending) {
            while (__pFetchRow() != nullptr) {
            }
            m_bStreamPending = 0;
        }
        const bool bStreamed = m_llRowCount == STREAMED_ROW_COUNT;
        bNAClientCall(m_pclError, m_pclConnection, FILE_STMT, PT_FREE, __mysql_free_result, m_pResult);
        m_pResult = nullptr;
        m_pRow = nullptr;
        m_pLengths = nullptr;
        m_llRowCount = 0;
        m_nColumnCount = 0;
        m_llCurrentRow = -1;
        // Results after a streamed one are still in the reply. A failure
        // among them belongs to no caller now: the closing goes on.
        if (bStreamed && m_pclConnection != nullptr && _pclGetMySQLConnection()->bMultipleRecordsetEnabled())
            _bDrainResults(0);
    }
    m_bResultOpen = 0;
    return 1;
}

int CMySQLStatementSQL::bGetAffected_rows(long long* pllCount)
{
    // The count is the last statement's only once any result is read.
    _bCloseParse();
    if (m_llAffectedRows != -1) {
        if (pllCount != nullptr)
            *pllCount = m_llAffectedRows;
        return 1;
    }
    my_ulonglong n = 0;
    const bool bCalled = bNAClientCall(m_pclError, m_pclConnection, FILE_STMT, PT_AFFECTED_ROWS, n,
                                       static_cast<my_ulonglong>(0), __mysql_affected_rows, _hGetHandle());
    if (pllCount != nullptr)
        *pllCount = static_cast<long long>(n);
    return bCalled ? 1 : 0;
}

// ---- Execution errors --------------------------------------------------------------------------

void CMySQLStatementSQL::_InitExecuteError(int nFile, int nPoint, const char* pszText, unsigned int nLength,
                                           unsigned int nFlags)
{
    CNAStatementSQL::_InitExecuteError(nFile, nPoint, pszText, nLength, nFlags);
    // A lost connection may be the server refusing a text longer than its
    // max_allowed_packet: ask it. The probe's own error object is quiet, so
    // a probe that loses the connection starts no other. Either code is one
    // ended session: the probe reopens it for the next call.
    if (m_pclError == nullptr || !_bSessionEnded(m_pclError->dwGetDataBaseErrorCode()) || m_pclError->bIsQuiet())
        return;
    const unsigned int nCode = m_pclError->dwGetDataBaseErrorCode();
    CNADriver* pclDriver = CNADriver::s_pclDriver;
    CNAError* pclProbeError = pclDriver != nullptr ? pclDriver->pclAllocError() : new (std::nothrow) CNAError();
    if (pclProbeError == nullptr)
        return;
    pclProbeError->SetQuiet(1);
    pclProbeError->AddRef();

    // The session's variable, -1 where it cannot be read.
    const auto nVariable = [&](const wchar_t* pszProbe, bool bReopen) {
        CAny clValue;
        int bOK = m_pclConnection->bGetRequestedValue(pclProbeError, &clValue, 1, pszProbe);
        if (!bOK && bReopen && _bSessionEnded(pclProbeError->dwGetDataBaseErrorCode()) &&
            _pclGetMySQLConnection()->bReopenLostSession(pclProbeError))
            bOK = m_pclConnection->bGetRequestedValue(pclProbeError, &clValue, 1, pszProbe);
        int nValue = -1;
        if (!bOK || clValue.bIsNull() || clValue.__nCastTo(TQTYPE_I4, nullptr, 0) > 99)
            return -1;
        const unsigned char nType = clValue.nGetTypeCode();
        if ((nType != TQTYPE_I4 && nType != TQTYPE_UI4 && nType != TQTYPE_BOOL) || clValue.nGetINT(&nValue) > 99)
            return -1;
        return nValue;
    };
    const int nMax = nVariable(L"show variables like 'max_allowed_packet'", true);
    // A text the session takes ended no session; one the packet alone
    // would refuse asks the net buffer too.
    const auto bTaken = [nLength](long long llMaxPacket, long long llNetBuffer) {
        return static_cast<long long>(nLength) <= CMySQLConnection::s_llStatementBound(llMaxPacket, llNetBuffer);
    };
    const int nBuffer =
        nMax > 0 && !bTaken(nMax, -1) ? nVariable(L"show variables like 'net_buffer_length'", false) : -1;
    pclProbeError->nRelease();
    if (nMax <= 0 || bTaken(nMax, nBuffer))
        return;

    // The query's first characters, whole characters only.
    CTString csStart;
    csStart.SetANSIEx(pszText, static_cast<int>(nLength), static_cast<unsigned int>(_nGetCodePage()));
    std::wstring sStart(csStart.pszGet() != nullptr ? csStart.pszGet() : L"");
    if (sStart.size() > static_cast<size_t>(QUERY_START_IN_ERROR))
        sStart.resize(QUERY_START_IN_ERROR);
    const wchar_t* pszDatabase = m_pclConnection->pszGetDataBase();
    m_pclError->AddErrorFirst(NA_ERRORTYPE_GENERAL, FILE_STMT, PT_QUERY_TOO_LONG, m_pclConnection,
                              ZTERR_QUERY_TOO_LONG, pszDatabase != nullptr ? pszDatabase : L"", nCode, nMax,
                              static_cast<int>(nLength), sStart.c_str());
    m_pclError->SetDataBaseErrorCode(nCode);
}

// ---- Columns -----------------------------------------------------------------------------------

const CMySQLStatementSQL::STFieldLayout* CMySQLStatementSQL::s_pstGetFieldLayout(const wchar_t* pszClientVersion)
{
    // By number: "10.11.19" is a version above 5, not one below 4.
    int nMajor = 0;
    int nMinor = 0;
    CNAFunctionLoader::g_GetVersionNumbers(pszClientVersion, &nMajor, &nMinor);
    if (nMajor <= 3)
        return &s_tabLayout[0];
    if (nMajor == 4 && nMinor == 0)
        return &s_tabLayout[1];
    if (nMajor == 4 || (nMajor == 5 && nMinor == 0))
        return &s_tabLayout[2];
    return &s_tabLayout[3];
}

int CMySQLStatementSQL::s_nGetDecimalDigits(unsigned int nLength, unsigned int nDecimals, int bUnsigned)
{
    long long ll = static_cast<long long>(nLength) - nDecimals;
    if (nDecimals > 0)
        ll--; // the point
    if (!bUnsigned)
        ll--; // the sign
    return ll > 0 ? static_cast<int>(ll) : 0;
}

int CMySQLStatementSQL::_bInitTabNAColumn()
{
    const unsigned int nCount = m_nColumnCount;
    delete[] m_ptabColumn;
    m_ptabColumn = new (std::nothrow) CNAColumnSQL[nCount > 0 ? nCount : 1];
    if (m_ptabColumn == nullptr) {
        if (m_pclError != nullptr)
            m_pclError->AddError(NA_ERRORTYPE_GENERAL, FILE_STMT, PT_NO_COLUMNS, m_pclConnection, ZTERR_NO_MEMORY);
        return 0;
    }
    if (nCount == 0 || m_pResult == nullptr)
        return 1;
    MYSQL_FIELD* pFields = nullptr;
    if (!bNAClientCall(m_pclError, m_pclConnection, FILE_STMT, PT_FETCH_FIELDS, pFields,
                       static_cast<MYSQL_FIELD*>(nullptr), __mysql_fetch_fields, m_pResult))
        return 0;
    if (pFields == nullptr)
        return 0;

    const STFieldLayout* pst = s_pstGetFieldLayout(CNAConnectionDescription::m_csClientVersion.pszGet());
    const bool bExtended = pst->nOrgName >= 0;
    const unsigned int nCodePage = static_cast<unsigned int>(_nGetCodePage());
    CMySQLConnection* pclCnx = _pclGetMySQLConnection();
    const unsigned char* pRecord = reinterpret_cast<const unsigned char*>(pFields);
    for (unsigned int i = 0; i < nCount; i++, pRecord += pst->nSize) {
        CNAColumnSQL& cl = m_ptabColumn[i];
        cl.m_csName.SetANSIEx(_pszText(pRecord, pst->nName), -1, nCodePage);
        cl.m_nDBType = static_cast<int>(_nWord(pRecord, pst->nType));
        unsigned int nLength = _nWord(pRecord, pst->nLength);
        cl.m_nDecimalPart = static_cast<int>(_nWord(pRecord, pst->nDecimals));
        cl.m_nCharsetNumber = _nWord(pRecord, pst->nCharset);
        m_nRowMaxLen += _nWord(pRecord, pst->nMaxLength);
        if (nLength == 0 && m_nRowMaxLen != 0)
            nLength = m_nRowMaxLen;
        cl.m_ullLength = nLength;
        if (cl.m_nDBType == MYSQL_TYPE_NEWDECIMAL || cl.m_nDBType == MYSQL_TYPE_DECIMAL) {
            const int bUnsigned = (_nWord(pRecord, pst->nFlags) & FIELD_UNSIGNED) != 0;
            cl.m_nIntegerPart = s_nGetDecimalDigits(nLength, static_cast<unsigned int>(cl.m_nDecimalPart), bUnsigned);
        }
        CMySQLConnection::ConvertItemType(&cl.m_eItemType, &cl.m_nSize, cl.m_nDBType, static_cast<int>(nLength),
                                          cl.m_nIntegerPart, cl.m_nDecimalPart, cl.m_nCharsetNumber);
        // An unsigned integer's upper half does not fit the signed item.
        if ((_nWord(pRecord, pst->nFlags) & FIELD_UNSIGNED) != 0)
            cl.m_eItemType = _eUnsignedItem(cl.m_eItemType, cl.m_nDBType);
        if (bExtended) {
            // An ENUM comes as a string flagged ENUM: named as the ENUM it
            // is, whose index tells its '' members from its error value.
            const bool bEnum = (_nWord(pRecord, pst->nFlags) & FIELD_ENUM) != 0;
            pclCnx->bDBTypeToString(&cl.m_csDBTypeName, bEnum ? MYSQL_TYPE_ENUM : cl.m_nDBType);
            cl.m_csTableName.SetANSIEx(_pszText(pRecord, pst->nOrgTable), -1, nCodePage);
            cl.m_csNameInSource.SetANSIEx(_pszText(pRecord, pst->nOrgName), -1, nCodePage);
        }
    }
    return 1;
}

// ---- Rows --------------------------------------------------------------------------------------

MYSQL_ROW CMySQLStatementSQL::__pFetchRow()
{
    int bCaught = 0;
    return _pFetchRow(&bCaught);
}

MYSQL_ROW CMySQLStatementSQL::_pFetchRow(int* pbCaught)
{
    *pbCaught = 0;
    if (m_pResult == nullptr)
        return nullptr;
    MYSQL_ROW pRow = nullptr;
    if (!bNAClientCall(m_pclError, m_pclConnection, FILE_STMT, PT_FETCH_ROW, pRow, static_cast<MYSQL_ROW>(nullptr),
                       __mysql_fetch_row, m_pResult))
        *pbCaught = 1;
    return pRow;
}

int CMySQLStatementSQL::bFetch(unsigned int)
{
    if (m_llRowCount > 0)
        return _bFetch();
    return 1;
}

int CMySQLStatementSQL::_bFetch()
{
    int bCaught = 0;
    m_pRow = _pFetchRow(&bCaught);
    if (m_pRow != nullptr) {
        m_llCurrentRow++;
        if (!bNAClientCall(m_pclError, m_pclConnection, FILE_STMT, PT_FETCH_LENGTHS, m_pLengths,
                           static_cast<unsigned long*>(nullptr), __mysql_fetch_lengths, m_pResult) ||
            m_pLengths == nullptr) {
            // A row without its lengths cannot be read.
            m_pRow = nullptr;
            m_pLengths = nullptr;
            return 0;
        }
        m_bEndOfData = 0;
        return 1;
    }
    m_pLengths = nullptr;
    unsigned int nErrno = 0;
    const int bRead = _pclGetMySQLConnection()->bGetLastError(m_pclError, &nErrno);
    m_bEndOfData = 1;
    m_bStreamPending = 0;
    if (bRead && nErrno == 0)
        return bCaught ? 0 : 1;
    _bInitLastError(FILE_STMT, PT_FETCH_FAILED);
    return 0;
}

int CMySQLStatementSQL::bDataSeek(long long llRow)
{
    m_pLengths = nullptr;
    m_pRow = nullptr;
    if (m_pResult == nullptr)
        return 0;
    if (m_llRowCount == STREAMED_ROW_COUNT) {
        // A streamed result has only its next row.
        if (m_pclError != nullptr)
            m_pclError->AddError(NA_ERRORTYPE_NOTOFFERED, FILE_STMT, PT_SEEK_STREAMED, m_pclConnection,
                                 ZTERR_NOT_OFFERED);
        return 0;
    }
    m_llCurrentRow = llRow - 1;
    return bNAClientCall(m_pclError, m_pclConnection, FILE_STMT, PT_DATA_SEEK, __mysql_data_seek, m_pResult,
                         static_cast<unsigned long long>(llRow))
               ? 1
               : 0;
}

// ---- Values ------------------------------------------------------------------------------------

int CMySQLStatementSQL::_bCheckColumn(unsigned int nColumn)
{
    if (nColumn < m_nColumnCount && m_ptabColumn != nullptr)
        return 1;
    if (m_pclError != nullptr)
        m_pclError->AddError(NA_ERRORTYPE_GENERAL, FILE_STMT, PT_COLUMN_INDEX, m_pclConnection, ZTERR_COLUMN_INDEX,
                             static_cast<int>(nColumn), static_cast<int>(m_nColumnCount));
    return 0;
}

int CMySQLStatementSQL::bGetValue(unsigned char** ppData, unsigned int* pnLength, unsigned int nColumn)
{
    if (m_pRow == nullptr || m_pLengths == nullptr)
        return 0;
    if (!_bCheckColumn(nColumn))
        return 0;
    if (ppData != nullptr)
        *ppData = reinterpret_cast<unsigned char*>(m_pRow[nColumn]);
    if (pnLength != nullptr)
        *pnLength = static_cast<unsigned int>(m_pLengths[nColumn]);
    return 1;
}

int CMySQLStatementSQL::bGetValue(CNAConvertVariant* pclCell, unsigned int nColumn, unsigned int)
{
    if (m_pRow == nullptr || m_pLengths == nullptr || pclCell == nullptr)
        return 0;
    if (!_bCheckColumn(nColumn))
        return 0;
    const char* pValue = m_pRow[nColumn];
    const unsigned int nLength = static_cast<unsigned int>(m_pLengths[nColumn]);
    if (pValue == nullptr) {
        pclCell->SetNull();
        return 1;
    }
    const CNAColumnSQL& clColumn = m_ptabColumn[nColumn];
    const unsigned int nCodePage = static_cast<unsigned int>(_nGetCodePage());
    bool bBlob = false;
    switch (clColumn.m_nDBType) {
    case MYSQL_TYPE_DATE:
    case MYSQL_TYPE_DATETIME: {
        // The cell reads dates as digits: the hyphens go.
        char szShort[64];
        std::string sLong;
        char* pOut = szShort;
        if (nLength >= sizeof(szShort)) {
            sLong.resize(nLength);
            pOut = &sLong[0];
        }
        unsigned int n = 0;
        for (unsigned int i = 0; i < nLength; i++)
            if (pValue[i] != '-')
                pOut[n++] = pValue[i];
        return pclCell->bSetValueDB(pOut, n, nCodePage);
    }
    case MYSQL_TYPE_YEAR:
        // A year alone is no date: a date cell gets its first of January.
        if (nLength == 4 && _bIsDateCell(pclCell)) {
            char szDate[8];
            std::memcpy(szDate, pValue, 4);
            std::memcpy(szDate + 4, "0101", 4);
            return pclCell->bSetValueDB(szDate, sizeof(szDate), nCodePage);
        }
        break;
    case MYSQL_TYPE_BIT: {
        char szNumber[24];
        const unsigned int nNumber = _bReadsBitBytes(pclCell) ? 0 : _nBitNumberText(pValue, nLength, szNumber);
        if (nNumber > 0)
            return pclCell->bSetValueDB(szNumber, nNumber, nCodePage);
        bBlob = true;
        break;
    }
    case MYSQL_TYPE_TINY_BLOB:
    case MYSQL_TYPE_MEDIUM_BLOB:
    case MYSQL_TYPE_LONG_BLOB:
    case MYSQL_TYPE_BLOB:
    case MYSQL_TYPE_GEOMETRY:
        bBlob = true;
        break;
    case MYSQL_TYPE_VARCHAR:
    case MYSQL_TYPE_VAR_STRING:
    case MYSQL_TYPE_STRING:
        // BINARY and VARBINARY: bytes, never text of the connection.
        bBlob = clColumn.m_nCharsetNumber == CHARSET_BINARY;
        break;
    default:
        break;
    }
    if (!bBlob)
        return pclCell->bSetValueDB(pValue, nLength, nCodePage);

    const eNA_ITEMTYPE eAnalyse = pclCell->eNAGetItemTypeAnalyse();
    if (_bIsBinaryItem(eAnalyse))
        return pclCell->bSetValue(reinterpret_cast<const unsigned char*>(pValue), nLength);
    const eNA_ITEMTYPE eDatabase = pclCell->eNAGetItemTypeDatabase();
    const bool bBytes = _bIsBinaryItem(eDatabase) ||
                        (eDatabase == NA_IT_EMPTY && (clColumn.m_nCharsetNumber == CHARSET_BINARY ||
                                                      clColumn.m_nDBType == MYSQL_TYPE_BIT));
    if (!bBytes)
        return pclCell->bSetValueDB(pValue, nLength, nCodePage);
    if (eAnalyse == NA_IT_UNICODE || eAnalyse == NA_IT_MEMOUNICODE) {
        // Wide text the driver wrote as bytes: the host's characters.
        const unsigned int nChars = nLength / sizeof(wchar_t);
        if (reinterpret_cast<uintptr_t>(pValue) % alignof(wchar_t) == 0)
            return pclCell->bSetValueDB(reinterpret_cast<const wchar_t*>(pValue), nChars);
        std::wstring s(nChars, L'\0');
        std::memcpy(&s[0], pValue, nChars * sizeof(wchar_t));
        return pclCell->bSetValueDB(s.c_str(), nChars);
    }
    return pclCell->bSetValueDB(pValue, nLength,
                                static_cast<unsigned int>(m_pclConnection->nGetHostCodePage()));
}
