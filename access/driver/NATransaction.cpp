#include "access/driver/NATransaction.h"

#include "access/driver/NAConnectionDescription.h"
#include "access/driver/NAError.h"
#include "common/platform/MyModuleInfo.h"

#include <new>
#include <string>

namespace {

// Raising sites of this file.
constexpr int kPointNestedOpen = 1;
constexpr int kPointRollBackUnknown = 2;
constexpr int kPointCommitUnknown = 3;
constexpr int kPointNoMemory = 4;

bool bNoName(const wchar_t* psz)
{
    return psz == nullptr || psz[0] == 0;
}

} // namespace

CNATransaction::CNATransaction(CNAConnectionDescription* pclConnection)
    : m_pclConnection(pclConnection), m_pclNested(nullptr), m_bOpen(0), m_bInternal(0), m_nDepth(0),
      m_pclLost(nullptr)
{
}

CNATransaction::~CNATransaction()
{
    ForgetLoss();
    if (m_pclNested != nullptr)
        m_pclNested->nRelease();
    m_pclNested = nullptr;
}

// ---- Virtual operations ---------------------------------------------------------------------

int CNATransaction::bDetach(CNAError*)
{
    return 1;
}

int CNATransaction::bSetActive(CNAError*, int)
{
    return 1;
}

int CNATransaction::bResume(CNAError*)
{
    return 1;
}

int CNATransaction::_bNABegin(CNAError* pError)
{
    if (m_bInternal)
        return _bRunSavepoint(pError, L"SAVEPOINT ");
    return m_pclConnection != nullptr && m_pclConnection->bTransactionBeginDirect(pError);
}

int CNATransaction::_bNACommit(CNAError* pError)
{
    if (m_bInternal)
        return _bRunSavepoint(pError, L"RELEASE SAVEPOINT ");
    return m_pclConnection != nullptr && m_pclConnection->bTransactionCommitDirect(pError);
}

int CNATransaction::_bNARollBack(CNAError* pError)
{
    if (m_bInternal)
        return _bRunSavepoint(pError, L"ROLLBACK TO SAVEPOINT ");
    return m_pclConnection != nullptr && m_pclConnection->bTransactionRollBackDirect(pError);
}

void CNATransaction::GetSavepointName(CTString* pclOut) const
{
    pclOut->printf(L"ZT_LEVEL_%d", m_nDepth);
}

int CNATransaction::_bRunSavepoint(CNAError* pError, const wchar_t* pszVerb)
{
    if (m_pclConnection == nullptr)
        return 0;
    CTString csName;
    GetSavepointName(&csName);
    const std::wstring s = std::wstring(pszVerb) + csName.pszGet();
    return m_pclConnection->bExecuteQueryNoResult(pError, s.c_str());
}

// ---- One level --------------------------------------------------------------------------------

int CNATransaction::_bBegin(CNAError* pError)
{
    m_bOpen = _bNABegin(pError) ? 1 : 0;
    return m_bOpen;
}

int CNATransaction::_bCommit(CNAError* pError)
{
    const int bCommitted = _bNACommit(pError);
    m_bOpen = 0;
    return bCommitted;
}

int CNATransaction::_bRollBack(CNAError* pError)
{
    if (!m_bOpen)
        return 1;
    const int bRolledBack = _bNARollBack(pError);
    m_bOpen = 0;
    return bRolledBack;
}

// ---- A lost session -------------------------------------------------------------------------------

void CNATransaction::MarkLost(const CXError* pclCause)
{
    if (m_pclLost != nullptr || pclCause == nullptr)
        return;
    CNAError* pcl = new (std::nothrow) CNAError();
    if (pcl == nullptr)
        return;
    pcl->AddRef();
    pcl->AddError(NA_ERRORTYPE_GENERAL, pclCause, m_pclConnection);
    m_pclLost = pcl;
}

int CNATransaction::bReportLost(CNAError* pError)
{
    if (pError != nullptr && m_pclLost != nullptr)
        pError->AddError(m_pclLost->eGetErrorType(), m_pclLost->pclGetXError(), m_pclConnection);
    return 0;
}

void CNATransaction::Abandon()
{
    for (CNATransaction* pcl = this; pcl != nullptr; pcl = pcl->m_pclNested)
        pcl->m_bOpen = 0;
}

void CNATransaction::ForgetLoss()
{
    if (m_pclLost != nullptr)
        m_pclLost->nRelease();
    m_pclLost = nullptr;
}

// ---- Chain ------------------------------------------------------------------------------------

int CNATransaction::_bNameIs(const wchar_t* pszName) const
{
    return m_csName.bEstEgalI(pszName) ? 1 : 0;
}

int CNATransaction::_bInternalTransactionOpened() const
{
    return m_pclNested != nullptr && m_pclNested->m_bOpen;
}

int CNATransaction::bBegin(CNAError* pError, const wchar_t* pszName, int bInternal)
{
    m_csName = pszName;
    m_bInternal = bInternal ? 1 : 0;
    return _bBegin(pError);
}

int CNATransaction::bInternalTransactionBegin(CNAError* pError, const wchar_t* pszName)
{
    CNATransaction* pclLevel = this;
    while (pclLevel->_bInternalTransactionOpened())
        pclLevel = pclLevel->m_pclNested;
    if (pclLevel->m_pclNested == nullptr) {
        CNATransaction* pclNew = m_pclConnection != nullptr ? m_pclConnection->pclAllocTransaction() : nullptr;
        if (pclNew == nullptr) {
            if (pError != nullptr)
                pError->AddError(NA_ERRORTYPE_GENERAL, ZTERR_NO_MEMORY, ERRFILE_TRANSACTION, kPointNoMemory,
                                 m_pclConnection);
            return 0;
        }
        pclNew->AddRef();
        pclNew->m_nDepth = pclLevel->m_nDepth + 1;
        pclLevel->m_pclNested = pclNew;
    }
    return pclLevel->m_pclNested->bBegin(pError, pszName, 1);
}

int CNATransaction::bCommit(CNAError* pError, const wchar_t* pszName)
{
    const bool bNestedOpen = _bInternalTransactionOpened() != 0;
    if (bNoName(pszName))
        return bNestedOpen ? m_pclNested->bCommit(pError, pszName) : _bCommit(pError);
    if (!_bNameIs(pszName)) {
        if (bNestedOpen)
            return m_pclNested->bCommit(pError, pszName);
        // Like the roll-back: the host learns that nothing was committed.
        if (pError != nullptr)
            pError->RaiseUserError(NA_ERRORTYPE_GENERAL, ERRFILE_TRANSACTION, kPointCommitUnknown, m_pclConnection,
                                   nullptr, nullptr, ZTERR_NO_TRANSACTION, pszName);
        return 0;
    }
    if (bNestedOpen) {
        if (pError != nullptr)
            pError->RaiseUserError(NA_ERRORTYPE_GENERAL, ERRFILE_TRANSACTION, kPointNestedOpen, m_pclConnection,
                                   nullptr, nullptr, ZTERR_NESTED_TRANSACTION, pszName,
                                   m_pclNested->m_csName.pszGet() != nullptr ? m_pclNested->m_csName.pszGet()
                                                                             : L"");
        return 0;
    }
    return _bCommit(pError);
}

int CNATransaction::bRollBack(CNAError* pError, const wchar_t* pszName)
{
    const bool bNestedOpen = _bInternalTransactionOpened() != 0;
    if (bNoName(pszName))
        return bNestedOpen ? m_pclNested->bRollBack(pError, pszName) : _bRollBack(pError);
    if (_bNameIs(pszName))
        return bNestedOpen ? m_pclNested->bRollBackAll(pError) : _bRollBack(pError);
    if (bNestedOpen)
        return m_pclNested->bRollBack(pError, pszName);
    if (pError != nullptr)
        pError->RaiseUserError(NA_ERRORTYPE_GENERAL, ERRFILE_TRANSACTION, kPointRollBackUnknown, m_pclConnection,
                               nullptr, nullptr, ZTERR_NO_TRANSACTION, pszName);
    return 0;
}

int CNATransaction::bRollBackAll(CNAError* pError)
{
    int bResult = 1;
    if (_bInternalTransactionOpened() && !m_pclNested->bRollBackAll(pError))
        bResult = 0;
    if (!_bRollBack(pError))
        bResult = 0;
    return bResult;
}
