#include "access/driver/NAContext.h"

#include "access/driver/INAContext.h"
#include "access/driver/NADriverLock.h"
#include "access/driver/NAError.h"
#include "access/driver/NaDriver.h"
#include "access/table/NATable.h"
#include "common/platform/MyModuleInfo.h"
#include "common/text/TextCompare.h"

namespace {

enum : int {
    POINT_NO_MEMORY = 1,
};

} // namespace

CNAContext::CNAContext()
    : m_pclError(nullptr),
      m_dwContextNumber(static_cast<unsigned int>(-1)),
      m_eDefaultMode(static_cast<_eNA_HMODE>(1)),
      m_tabDataAccess(7)
{
    if (CNADriver::s_pclDriver != nullptr)
        m_pclError = CNADriver::s_pclDriver->pclAllocError();
    if (m_pclError != nullptr)
        m_pclError->AddRef();
}

CNAContext::~CNAContext()
{
    if (m_pclError != nullptr)
        m_pclError->nRelease();
    m_pclError = nullptr;
    while (m_tabDataAccess.dwGetNumElement() > 0) {
        unsigned int nPosition = 0;
        void* pKey = nullptr;
        if (!m_tabDataAccess.bParseTable(&nPosition, 0, nullptr, &pKey))
            break;
        m_tabDataAccess.StopParsing();
        _bUnfile(CHTBKeyWord<unsigned int>::FromWord(pKey));
    }
}

int CNAContext::nGetVersion() const
{
    return 2;
}

int CNAContext::nGetCompatSince() const
{
    return 2;
}

CNADataAccess* CNAContext::_pclAllocDataAccess(INADataSourceDescription* piDescription,
                                               CNAConnectionDescription* pclConnection, CNAError* pclError)
{
    return CNADriver::s_pclDriver != nullptr
               ? CNADriver::s_pclDriver->pclAllocDataAccess(piDescription, pclConnection, pclError)
               : nullptr;
}

CNADataAccess* CNAContext::pclFindDataAccess(INAContext* piContext, const CNATable* pclTable)
{
    CNADriverLock clLock;
    const unsigned int nKey = piContext->dwGetDataAccessKey();
    CNADataAccess* p = nullptr;
    if (!m_tabDataAccess.bGetValue(nKey, &p))
        return nullptr;
    if (pclTable == nullptr || p->pclGetTableNoRef() == pclTable)
        return p;
    p->nRelease();
    // Another table's under the same key: this table's may be behind it.
    unsigned int nPosition = 0;
    void* pValue = nullptr;
    void* pKey = nullptr;
    while (m_tabDataAccess.bParseTable(&nPosition, 0, &pValue, &pKey)) {
        p = static_cast<CNADataAccess*>(pValue);
        if (CHTBKeyWord<unsigned int>::FromWord(pKey) == nKey && p->pclGetTableNoRef() == pclTable) {
            m_tabDataAccess.StopParsing();
            p->AddRef();
            return p;
        }
    }
    return nullptr;
}

CNADataAccess* CNAContext::pclGetDataAccess(INAContext* piContext, CNAConnectionDescription* pclConnection,
                                            INADataSourceDescription* piDescription, int* pbCreated,
                                            const CNATable* pclTable)
{
    CNADriverLock clLock;
    if (pbCreated != nullptr)
        *pbCreated = 0;
    CNADataAccess* p = pclFindDataAccess(piContext, pclTable);
    if (p != nullptr)
        return p;
    p = _pclAllocDataAccess(piDescription, pclConnection, m_pclError);
    if (p != nullptr) {
        p->AddRef();
        bool bFiled = false;
        try {
            bFiled = _AddDataAccess(piContext, p);
        } catch (...) {
        }
        if (bFiled) {
            if (pbCreated != nullptr)
                *pbCreated = 1;
            return p;
        }
        // Nobody else holds it.
        p->nRelease();
    }
    if (m_pclError != nullptr) {
        try {
            m_pclError->AddError(NA_ERRORTYPE_GENERAL, ZTERR_NO_MEMORY, ERRFILE_CONTEXT, POINT_NO_MEMORY,
                                 pclConnection);
        } catch (...) {
            // Raising needs memory too: the bare no-memory error then.
            m_pclError->pclGetXError()->SetErrorNoMemory();
        }
    }
    return nullptr;
}

bool CNAContext::_AddDataAccess(INAContext* piContext, CNADataAccess* pclDataAccess)
{
    return __AddDataAccess(piContext->dwGetDataAccessKey(), pclDataAccess);
}

bool CNAContext::__AddDataAccess(unsigned int nKey, CNADataAccess* pclDataAccess)
{
    CNADriverLock clLock;
    if (!m_tabDataAccess.bAddValue(nKey, pclDataAccess))
        return false;
    pclDataAccess->SetContext(this);
    return true;
}

bool CNAContext::_bUnfile(unsigned int nKey)
{
    // Whoever still holds the data access must not reach this context
    // through it any more.
    void* pValue = nullptr;
    if (m_tabDataAccess.bGetElement(CHTBKeyWord<unsigned int>::pToWord(nKey), &pValue, nullptr)) {
        CNADataAccess* p = static_cast<CNADataAccess*>(pValue);
        if (p != nullptr && p->pclGetContext() == this)
            p->SetContext(nullptr);
        // Nor the tables' last-hit cache, whose lookups go through contexts.
        g_ForgetLastDataAccess(p);
    }
    return m_tabDataAccess.bRemoveValue(nKey);
}

bool CNAContext::_bBringForward(unsigned int nKey, const CNADataAccess* pclDataAccess)
{
    void** ppFirst = m_tabDataAccess.pGetElement(CHTBKeyWord<unsigned int>::pToWord(nKey));
    if (ppFirst == nullptr)
        return false;
    if (*ppFirst == pclDataAccess)
        return true;
    unsigned int nPosition = 0;
    void* pValue = nullptr;
    void* pKey = nullptr;
    while (m_tabDataAccess.bParseTable(&nPosition, 0, &pValue, &pKey)) {
        if (pValue == pclDataAccess && CHTBKeyWord<unsigned int>::FromWord(pKey) == nKey) {
            m_tabDataAccess.StopParsing();
            // The two swap places; each keeps its one reference.
            m_tabDataAccess.bParseSetElement(nPosition, *ppFirst);
            *ppFirst = pValue;
            return true;
        }
    }
    return false;
}

void CNAContext::RemoveDataAccess(INAContext* piContext, CNADataAccess* pclDataAccess)
{
    CNADriverLock clLock;
    const unsigned int nKey = piContext->dwGetDataAccessKey();
    if (pclDataAccess != nullptr)
        _bBringForward(nKey, pclDataAccess);
    _bUnfile(nKey);
}

int CNAContext::bHMode(const wchar_t* pszLogicalName, _eNA_HMODE eMode)
{
    CNADriverLock clLock;
    int bResult = 1;
    unsigned int nPosition = 0;
    void* pValue = nullptr;
    while (m_tabDataAccess.bParseTable(&nPosition, 0, &pValue, nullptr)) {
        CNADataAccess* p = static_cast<CNADataAccess*>(pValue);
        p->AddRef();
        if (STR_nCompareW(p->pszGetLogicalName(), pszLogicalName != nullptr ? pszLogicalName : L"", 3) == 0)
            bResult &= p->bHMode(eMode);
        p->nRelease();
    }
    m_eDefaultMode = eMode;
    return bResult;
}

void CNAContext::CloseAllDataAccess()
{
    CNADriverLock clLock;
    while (m_tabDataAccess.dwGetNumElement() > 0) {
        unsigned int nPosition = 0;
        void* pValue = nullptr;
        void* pKey = nullptr;
        if (!m_tabDataAccess.bParseTable(&nPosition, 0, &pValue, &pKey))
            break;
        m_tabDataAccess.StopParsing();
        const unsigned int nKey = CHTBKeyWord<unsigned int>::FromWord(pKey);
        CNADataAccess* p = static_cast<CNADataAccess*>(pValue);
        // Held across its close, which may unfile it; let go on every way out.
        p->AddRef();
        struct CHold {
            CNADataAccess* p;
            ~CHold() { p->nRelease(); }
        } clHold{p};
        if (p->bIsOpened())
            p->bHFerme();
        // Its close may have unfiled it already.
        if (_bBringForward(nKey, p))
            _bUnfile(nKey);
    }
}

CNADataAccess* CNAContext::_pclFind(CNAConnectionDescription* pclConnection, const wchar_t* pszName,
                                    const wchar_t* (CNADataAccess::*pfnName)() const)
{
    CNADriverLock clLock;
    unsigned int nPosition = 0;
    void* pValue = nullptr;
    while (m_tabDataAccess.bParseTable(&nPosition, 0, &pValue, nullptr)) {
        CNADataAccess* p = static_cast<CNADataAccess*>(pValue);
        p->AddRef();
        if (p->pclGetConnection() == pclConnection &&
            STR_nCompareW((p->*pfnName)(), pszName != nullptr ? pszName : L"", 3) == 0) {
            m_tabDataAccess.StopParsing();
            return p;
        }
        p->nRelease();
    }
    return nullptr;
}

CNADataAccess* CNAContext::pclFindDataAccessByAliasName(CNAConnectionDescription* pclConnection,
                                                        const wchar_t* pszName)
{
    return _pclFind(pclConnection, pszName, &CNADataAccess::pszGetAliasName);
}

CNADataAccess* CNAContext::pclFindDataAccessByDBTableName(CNAConnectionDescription* pclConnection,
                                                          const wchar_t* pszName)
{
    return _pclFind(pclConnection, pszName, &CNADataAccess::pszGetDBTableName);
}
