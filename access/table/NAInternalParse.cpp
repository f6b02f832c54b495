#include "access/table/NAInternalParse.h"

#include "access/driver/NAError.h"
#include "access/driver/NaDriver.h"
#include "access/statement/NAColumn.h"
#include "access/statement/NARecord.h"
#include "access/statement/NARecordCache.h"
#include "access/statement/NAStatement.h"
#include "access/table/NADataAccess.h"
#include "common/text/XYStringConcat.h"
#include "common/values/Any.h"

#include <new>

namespace {
// The name of the query and of its statement.
const wchar_t* const INTERNAL_NAME = L"$ZTInternal";
// Statuses of a host-value conversion that succeeded.
constexpr int CAST_SUCCESS_MAX = 99;
} // namespace

CNAInternalParse::CNAInternalParse(CNAError* pclError, CNAConnectionDescription* pclConnection)
    : m_pclError(pclError), m_pclConnection(pclConnection), m_pclDataAccess(nullptr), m_pclStatement(nullptr)
{
}

CNAInternalParse::~CNAInternalParse()
{
    if (m_pclStatement != nullptr)
        m_pclStatement->nRelease();
    if (m_pclDataAccess != nullptr)
        m_pclDataAccess->nRelease();
}

CNAInternalParse* CNAInternalParse::s_pclGetNAInternalParse(const wchar_t* pszQuery, CNAError* pclError,
                                                            CNAConnectionDescription* pclConnection)
{
    CNAInternalParse* pcl = new (std::nothrow) CNAInternalParse(pclError, pclConnection);
    if (pcl == nullptr) {
        if (pclError != nullptr)
            pclError->pclGetXError()->SetErrorNoMemory();
        return nullptr;
    }
    int bReady = 0;
    try {
        bReady = pcl->_bAllocate() && pcl->_bExecute(pszQuery);
    } catch (const std::bad_alloc&) {
        // The driver's objects throw when their containers find no memory.
        if (pclError != nullptr)
            pclError->pclGetXError()->SetErrorNoMemory();
    }
    if (bReady)
        return pcl;
    pcl->m_nRefCount++;
    pcl->dwRelease();
    return nullptr;
}

int CNAInternalParse::s_bDoInternalParse(const wchar_t* pszQuery, CNAError* pclError,
                                         CNAConnectionDescription* pclConnection, CXYStringConcat<wchar_t>* pclText,
                                         const wchar_t* pszRowSeparator, const wchar_t* pszColumnSeparator)
{
    CNAInternalParse* pcl = s_pclGetNAInternalParse(pszQuery, pclError, pclConnection);
    if (pcl == nullptr)
        return 0;
    pcl->m_nRefCount++;
    const int bResult = pcl->bFetchAll(pclText, pszRowSeparator, pszColumnSeparator);
    pcl->dwRelease();
    return bResult;
}

int CNAInternalParse::_bAllocate()
{
    if (CNADriver::s_pclDriver == nullptr)
        return 0;
    m_pclDataAccess = CNADriver::s_pclDriver->pclAllocDataAccess(nullptr, m_pclConnection, m_pclError);
    if (m_pclDataAccess == nullptr) {
        // The factories make nothing only for want of memory.
        if (m_pclError != nullptr && m_pclError->eGetErrorType() == NA_ERRORTYPE_NONE)
            m_pclError->pclGetXError()->SetErrorNoMemory();
        return 0;
    }
    m_pclDataAccess->AddRef();
    return 1;
}

int CNAInternalParse::_bExecute(const wchar_t* pszQuery)
{
    if (m_pclDataAccess == nullptr)
        return 0;
    const int bResult = m_pclDataAccess->bExecuteQueryInternal(&m_pclStatement, INTERNAL_NAME, pszQuery);
    if (bResult && m_pclStatement != nullptr)
        m_pclStatement->EnableCache(0);
    return bResult;
}

int CNAInternalParse::bReExecute()
{
    return m_pclStatement != nullptr && m_pclStatement->bExecutePreparedQuery(CNADataAccess::WPF_NO_CACHES, 0);
}

int CNAInternalParse::bFetch(eNA_PARSEDIRECTION eDirection, int* pbOutOfRange)
{
    if (m_pclStatement == nullptr) {
        if (pbOutOfRange != nullptr)
            *pbOutOfRange = 1;
        return 1;
    }
    long long llMoved = 0;
    const int bResult = m_pclStatement->bFetch(eDirection, 1, 1, &llMoved);
    if (bResult && pbOutOfRange != nullptr)
        m_pclStatement->HEndehors(pbOutOfRange);
    return bResult;
}

int CNAInternalParse::bFetchData(eNA_PARSEDIRECTION eDirection, int* pbOutOfRange, CAny* pValues, int nCount)
{
    if (m_pclStatement == nullptr)
        return 0;
    return m_pclStatement->bFetchData(eDirection, pbOutOfRange, pValues, nCount);
}

int CNAInternalParse::bFetchData(eNA_PARSEDIRECTION eDirection, int* pbOutOfRange, CXYStringConcat<wchar_t>* pclText,
                                 const wchar_t* pszRowSeparator, const wchar_t* pszColumnSeparator)
{
    return _bFetchRow(eDirection, pbOutOfRange, pclText, pszRowSeparator, pszColumnSeparator,
                      pclText != nullptr && pclText->m_nLength > 0);
}

int CNAInternalParse::_bFetchRow(eNA_PARSEDIRECTION eDirection, int* pbOutOfRange, CXYStringConcat<wchar_t>* pclText,
                                 const wchar_t* pszRowSeparator, const wchar_t* pszColumnSeparator, bool bSeparate)
{
    if (m_pclStatement == nullptr || pclText == nullptr)
        return 0;
    long long llMoved = 0;
    int bResult = 0;
    try {
        bResult = m_pclStatement->bFetch(eDirection, 1, 1, &llMoved);
    } catch (const std::bad_alloc&) {
        if (m_pclError != nullptr)
            m_pclError->pclGetXError()->SetErrorNoMemory();
    }
    int bOutOfRange = 1;
    m_pclStatement->HEndehors(&bOutOfRange);
    if (pbOutOfRange != nullptr)
        *pbOutOfRange = bOutOfRange;
    if (!bResult || bOutOfRange)
        return bResult;
    // A row that cannot be read whole leaves nothing of itself.
    const unsigned int nRowStart = pclText->m_nLength;
    try {
        if (bSeparate && pszRowSeparator != nullptr)
            pclText->Add(pszRowSeparator);
        const int nColumns = nGetColumnNbr();
        for (int i = 0; i < nColumns; i++) {
            CNAColumn* pclColumn = pclGetColumnNoRef(i);
            CAny clValue;
            if (pclColumn == nullptr || !pclColumn->bGetCurrentValue(&clValue, 0)) {
                pclText->m_nLength = nRowStart;
                pclText->_Termine();
                return 0;
            }
            const wchar_t* pszValue = nullptr;
            const unsigned char nType = clValue.nGetTypeCode();
            if (clValue.bIsNull()) {
                // An empty field.
            } else if (nType == TQTYPE_DSTRW || nType == TQTYPE_PSTRW) {
                // Already wide text: the cast would only copy it.
                clValue.pclGetTraitement()->nGetPCWSTR(&pszValue);
            } else if (clValue.__nCastTo(TQTYPE_PSTRW, nullptr, 1) <= CAST_SUCCESS_MAX) {
                clValue.pclGetTraitement()->nGetPCWSTR(&pszValue);
            }
            if (i > 0 && pszColumnSeparator != nullptr)
                pclText->Add(pszColumnSeparator);
            if (pszValue != nullptr)
                pclText->Add(pszValue);
        }
    } catch (const std::bad_alloc&) {
        pclText->m_nLength = nRowStart;
        pclText->_Termine();
        if (m_pclError != nullptr)
            m_pclError->pclGetXError()->SetErrorNoMemory();
        return 0;
    }
    return bResult;
}

int CNAInternalParse::bFetchAll(CXYStringConcat<wchar_t>* pclText, const wchar_t* pszRowSeparator,
                                const wchar_t* pszColumnSeparator)
{
    if (m_pclStatement == nullptr || pclText == nullptr)
        return 0;
    int bOutOfRange = 1;
    int bResult = _bFetchRow(NA_PARSE_FIRST, &bOutOfRange, pclText, pszRowSeparator, pszColumnSeparator,
                             pclText->m_nLength > 0);
    while (bResult && !bOutOfRange)
        bResult = _bFetchRow(NA_PARSE_NEXT, &bOutOfRange, pclText, pszRowSeparator, pszColumnSeparator, true);
    return bResult;
}

int CNAInternalParse::nGetColumnNbr()
{
    if (m_pclStatement == nullptr || m_pclDataAccess == nullptr)
        return 0;
    CNARecord* pclRecord = m_pclDataAccess->pclGetCurrentRecordNoRef();
    return pclRecord != nullptr ? pclRecord->nGetNbColumn() : 0;
}

CNAColumn* CNAInternalParse::pclGetColumnNoRef(int n)
{
    CNARecord* pclRecord = m_pclDataAccess != nullptr ? m_pclDataAccess->pclGetCurrentRecordNoRef() : nullptr;
    if (pclRecord == nullptr || n < 0 || n >= pclRecord->nGetNbColumn())
        return nullptr;
    return pclRecord->pclGetColumnNoRef(n);
}

CNAColumn* CNAInternalParse::pclGetColumnNoRef(const wchar_t* pszName)
{
    CNARecord* pclRecord = m_pclDataAccess != nullptr ? m_pclDataAccess->pclGetCurrentRecordNoRef() : nullptr;
    return pclRecord != nullptr && pszName != nullptr ? pclRecord->pclGetColumnNoRef(pszName) : nullptr;
}
