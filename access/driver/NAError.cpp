#include "access/driver/NAError.h"

#include "access/driver/NAConnectionDescription.h"
#include "common/platform/MyModuleInfo.h"

#include <cstdint>
#include <exception>
#include <new>

namespace {

const wchar_t s_szModuleName[] = L"DUZARO";
const wchar_t s_szModuleVersion[] = L"19.0.3.0";
const wchar_t s_szDebugLine[] = L"IE%s=%u.%u\r\nModule=<%s>\r\nVersion=<%s>";

bool _bVide(const wchar_t* psz)
{
    return psz == nullptr || psz[0] == 0;
}

} // namespace

CNAError::CNAError() : m_nRefCount(0), m_eErrorType(NA_ERRORTYPE_NONE), m_bQuiet(0) {}

CNAError::~CNAError() {}

unsigned int CNAError::nRelease()
{
    unsigned int n = m_nRefCount.load();
    do {
        if (n == 0)
            return 0;
    } while (!m_nRefCount.compare_exchange_weak(n, n - 1));
    if (n == 1)
        delete this;
    return n - 1;
}

// ---- INAError ---------------------------------------------------------------------
// Called by the host: nothing may throw out of them.

int CNAError::nGetVersion() const
{
    return 1;
}

int CNAError::nGetCompatSince() const
{
    return 1;
}

int CNAError::nGetNAVersion() const
{
    return -1;
}

int CNAError::nGetNACompatSince() const
{
    return -1;
}

void CNAError::NAVersion_EmptySlot_3() {}

const wchar_t* CNAError::pszGetError()
{
    try {
        m_clDump.Vide();
        m_clError.StringDump(m_clDump, XEI_DEFAULT);
    } catch (...) {
        // Short of memory: whatever part of the report was written.
    }
    return m_clDump.pszGet();
}

unsigned int CNAError::dwGetErrorId() const
{
    if (m_clError.eGetErrorLevel() == EL_NOERROR)
        return 0;
    return m_clError.nGetUserErrorCode();
}

eNA_ERRORTYPE CNAError::eGetErrorType() const
{
    return m_eErrorType;
}

const wchar_t* CNAError::pszGetLogicalTableName() const
{
    return _pszGetTextInfo(EIT_LOGICALTABLENAME);
}

const wchar_t* CNAError::pszGetItemName() const
{
    return _pszGetTextInfo(EIT_ITEMNAME);
}

CXError* CNAError::pclGetXError()
{
    return &m_clError;
}

eNAERRORLEVEL CNAError::eGetErrorLevel() const
{
    return static_cast<eNAERRORLEVEL>(m_clError.eGetErrorLevel());
}

void CNAError::EmptySlot52() {}
void CNAError::EmptySlot53() {}
void CNAError::EmptySlot54() {}
void CNAError::EmptySlot55() {}
void CNAError::EmptySlot56() {}

// ---- Own operations -----------------------------------------------------------------

void CNAError::Reset()
{
    m_clError.RAZ();
    m_eErrorType = NA_ERRORTYPE_NONE;
    m_clDump.Vide();
}

const wchar_t* CNAError::_pszGetTextInfo(eERRORINFOTYPE eType) const
{
    const void* p = nullptr;
    if (!m_clError.bGetInfo(eType, &p))
        return nullptr;
    return static_cast<const wchar_t*>(p);
}

// 32-bit infos come back as the value itself in the pointer's place.
unsigned int CNAError::_dwGetIntInfo(eERRORINFOTYPE eType) const
{
    const void* p = nullptr;
    if (!_pclGetLastError()->bGetInfo(eType, &p))
        return 0;
    return static_cast<unsigned int>(reinterpret_cast<uintptr_t>(p));
}

CXError* CNAError::_pclGetLastError()
{
    int n = m_clError.nGetNbSubError();
    if (n > 0) {
        CXError* pcl = m_clError.pclGetSubError(n - 1);
        if (pcl != nullptr)
            return pcl;
    }
    return &m_clError;
}

const CXError* CNAError::_pclGetLastError() const
{
    return const_cast<CNAError*>(this)->_pclGetLastError();
}

// ---- Raising ------------------------------------------------------------------------

void CNAError::_AddErrorList(eNA_ERRORTYPE eType, int nFile, int nPoint, CNAConnectionDescription* pConnection,
                             unsigned int nUserError, va_list args)
{
    if (m_eErrorType == NA_ERRORTYPE_NONE) {
        // The first error goes straight into the held one.
        m_eErrorType = eType;
        m_clError.SetUserErrorList(&gstMyModuleInfo32, nUserError, args);
        if (!m_bQuiet) {
            g_AddDebugInfo(&m_clError, nFile, nPoint);
            g_AddInfoNative(&m_clError, pConnection);
        }
        return;
    }
    _CXErrorModule32 cl;
    cl.SetUserErrorList(&gstMyModuleInfo32, nUserError, args);
    if (!m_bQuiet)
        g_AddDebugInfo(&cl, nFile, nPoint);
    AddError(eType, &cl, pConnection);
}

void CNAError::AddError(eNA_ERRORTYPE eType, int nFile, int nPoint, CNAConnectionDescription* pConnection,
                        unsigned int nUserError, ...)
{
    va_list args;
    va_start(args, nUserError);
    _AddErrorList(eType, nFile, nPoint, pConnection, nUserError, args);
    va_end(args);
}

void CNAError::AddError(eNA_ERRORTYPE eType, unsigned int nUserError, int nFile, int nPoint,
                        CNAConnectionDescription* pConnection)
{
    AddError(eType, nFile, nPoint, pConnection, nUserError);
}

void CNAError::AddError(eNA_ERRORTYPE eType, const CXError* pError, CNAConnectionDescription* pConnection)
{
    if (pError == nullptr)
        return;
    if (m_eErrorType == NA_ERRORTYPE_NONE) {
        m_eErrorType = eType;
        if (pError != &m_clError)
            m_clError = *pError;
        if (!m_bQuiet)
            g_AddInfoNative(&m_clError, pConnection);
        return;
    }
    AddSubError(pError);
}

void CNAError::AddErrorFirst(eNA_ERRORTYPE eType, int nFile, int nPoint, CNAConnectionDescription* pConnection,
                             unsigned int nUserError, ...)
{
    va_list args;
    va_start(args, nUserError);
    if (m_eErrorType == NA_ERRORTYPE_NONE) {
        _AddErrorList(eType, nFile, nPoint, pConnection, nUserError, args);
        va_end(args);
        return;
    }
    // The earlier error, with its own sub-errors, moves under the new one.
    _CXErrorModule32 clAncienne;
    clAncienne = m_clError;
    m_eErrorType = eType;
    m_clError.SetUserErrorList(&gstMyModuleInfo32, nUserError, args);
    va_end(args);
    if (!m_bQuiet)
        g_AddDebugInfo(&m_clError, nFile, nPoint);
    m_clError.AddSubError(&clAncienne);
}

void CNAError::RaiseUserError(eNA_ERRORTYPE eType, int nFile, int nPoint, CNAConnectionDescription* pConnection,
                              const wchar_t* pszTable, const wchar_t* pszItem, unsigned int nUserError, ...)
{
    _CXErrorModule32 cl;
    va_list args;
    va_start(args, nUserError);
    cl.SetUserErrorList(&gstMyModuleInfo32, nUserError, args);
    va_end(args);
    g_SetInfoNames(&cl, pszTable, pszItem);
    int nNative = static_cast<int>(nUserError);
    cl.AddInfo(EIT_NATIVECODE, &nNative);
    if (!m_bQuiet)
        g_AddDebugInfo(&cl, nFile, nPoint);
    AddError(eType, &cl, pConnection);
}

void CNAError::OnException(int nFile, int nPoint) noexcept
{
    try {
        try {
            throw;
        } catch (const std::bad_alloc&) {
            m_clError.SetErrorNoMemory();
            m_clError.SetUserErrorCode(ZTERR_NO_MEMORY);
            if (m_eErrorType == NA_ERRORTYPE_NONE)
                m_eErrorType = NA_ERRORTYPE_GENERAL;
        } catch (const std::exception& e) {
            RaiseUserError(NA_ERRORTYPE_GENERAL, nFile, nPoint, nullptr, nullptr, nullptr, ZTERR_CANCELLED);
            CTString cl(e.what());
            AddDebugMessageNoFormat(cl.pszGet());
        } catch (...) {
            RaiseUserError(NA_ERRORTYPE_GENERAL, nFile, nPoint, nullptr, nullptr, nullptr, ZTERR_CANCELLED);
        }
    } catch (...) {
        // Raising needed memory it could not have.
        m_clError.SetErrorNoMemory();
    }
}

void CNAError::AddSubError(const CXError* pError)
{
    if (pError == nullptr || pError->eGetErrorLevel() == EL_NOERROR)
        return;
    m_clError.AddSubError(const_cast<CXError*>(pError));
}

void CNAError::SetAnyError(int nStatus, int nFromType, int nToType, int nFile, int nPoint,
                           CNAConnectionDescription* pConnection, const wchar_t* pszTable, const wchar_t* pszItem)
{
    _CXErrorModule32 cl;
    cl.SetAnyError(&gstMyModuleInfo32, nStatus, nFromType, nToType);
    if (!m_bQuiet) {
        g_SetInfoNames(&cl, pszTable, pszItem);
        g_AddDebugInfo(&cl, nFile, nPoint);
    }
    AddError(NA_ERRORTYPE_GENERAL, &cl, pConnection);
}

void CNAError::_SetDataBaseError(eNA_ERRORTYPE eType, CNAConnectionDescription* pConnection,
                                 unsigned int nUserError, unsigned int nServerError, const wchar_t* pszServerText,
                                 const wchar_t* pszTable, const wchar_t* pszItem)
{
    const wchar_t* pszBase = pConnection != nullptr ? pConnection->pszGetDefaultDataBaseEx() : nullptr;
    if (pszBase == nullptr)
        pszBase = L"";
    _CXErrorModule32 cl;
    cl.SetUserError(&gstMyModuleInfo32, nUserError, pszBase, nServerError);
    if (!_bVide(pszServerText)) {
        cl.AddUserMessageNoFormat(pszServerText);
        cl.SetSystemErrorMessage(pszServerText);
    }
    if (nServerError != 0) {
        int n = static_cast<int>(nServerError);
        cl.AddInfo(EIT_BASECODE, &n);
    }
    g_SetInfoNames(&cl, pszTable, pszItem);
    AddError(eType, &cl, pConnection);
}

void CNAError::SetInfoNames(const wchar_t* pszTable, const wchar_t* pszItem)
{
    g_SetInfoNames(&m_clError, pszTable, pszItem);
}

void CNAError::g_SetInfoNames(CXError* pError, const wchar_t* pszTable, const wchar_t* pszItem)
{
    if (pError == nullptr || _bVide(pszTable))
        return;
    pError->AddInfo(EIT_LOGICALTABLENAME, pszTable);
    if (!_bVide(pszItem))
        pError->AddInfo(EIT_ITEMNAME, pszItem);
}

void CNAError::g_AddInfoNative(_CXErrorModule32* pError, CNAConnectionDescription* pConnection)
{
    if (pError != nullptr && pConnection != nullptr)
        pConnection->AddInfoNativeXError(pError);
}

void CNAError::AddDebugInfo(int nFile, int nPoint)
{
    g_AddDebugInfo(_pclGetLastError(), nFile, nPoint);
}

void CNAError::g_AddDebugInfo(CXError* pError, int nFile, int nPoint)
{
    if (pError == nullptr)
        return;
    CTString cl;
    cl.printf(s_szDebugLine, s_szModuleName, static_cast<unsigned int>(nFile), static_cast<unsigned int>(nPoint),
              s_szModuleName, s_szModuleVersion);
    pError->AddDebugMessageNoFormat(cl.pszGet());
}

// ---- On the last error ----------------------------------------------------------------

void CNAError::AddDebugMessage(unsigned int nId, ...)
{
    va_list args;
    va_start(args, nId);
    _pclGetLastError()->AddDebugMessageList(&gstMyModuleInfo32, nId, args);
    va_end(args);
}

void CNAError::AddDebugMessageNoFormat(const wchar_t* pszText)
{
    _pclGetLastError()->AddDebugMessageNoFormat(pszText);
}

void CNAError::AddDebugMessageNoFormatFirst(const wchar_t* pszText)
{
    _pclGetLastError()->AddDebugMessageFirst(pszText);
}

void CNAError::AddUserMessage(unsigned int nId, ...)
{
    va_list args;
    va_start(args, nId);
    _pclGetLastError()->AddUserMessageList(&gstMyModuleInfo32, nId, args);
    va_end(args);
}

void CNAError::AddUserMessageFirst(unsigned int nId, ...)
{
    va_list args;
    va_start(args, nId);
    _pclGetLastError()->AddUserMessageListFirst(&gstMyModuleInfo32, nId, args);
    va_end(args);
}

void CNAError::AddUserMessageNoFormat(const wchar_t* pszText)
{
    _pclGetLastError()->AddUserMessageNoFormat(pszText);
}

void CNAError::SetSystemErrorCode(unsigned int nCode)
{
    _pclGetLastError()->SetSystemErrorParam(nCode);
}

const wchar_t* CNAError::pszGetSystemErrorMessage() const
{
    return _pclGetLastError()->pszGetSystemErrorMessage();
}

unsigned int CNAError::dwGetSystemErrorCode() const
{
    return _pclGetLastError()->dwGetSystemErrorCode();
}

unsigned int CNAError::nGetUserErrorCode() const
{
    return _pclGetLastError()->nGetUserErrorCode();
}

void CNAError::SetDataBaseErrorCode(unsigned int nCode)
{
    int n = static_cast<int>(nCode);
    _pclGetLastError()->AddInfo(EIT_BASECODE, &n);
}

void CNAError::SetDataBaseErrorMessage(const wchar_t* pszText)
{
    _pclGetLastError()->AddInfo(EIT_BASEMESSAGE, pszText);
}

unsigned int CNAError::dwGetDataBaseErrorCode() const
{
    return _dwGetIntInfo(EIT_BASECODE);
}

unsigned int CNAError::dwGetADOErrorCode() const
{
    return _dwGetIntInfo(EIT_ADOCODE);
}

// ---- Whole object -------------------------------------------------------------------

void CNAError::SetErrorLevel(int nLevel)
{
    if (nLevel >= EL_NOERROR && nLevel <= EL_ERROR)
        m_clError.SetErrorLevel(static_cast<eERRORLEVEL>(nLevel));
}

void CNAError::Copy(INAError* piOther)
{
    if (piOther == nullptr || piOther == static_cast<INAError*>(this))
        return;
    const CXError* pcl = piOther->pclGetXError();
    m_eErrorType = piOther->eGetErrorType();
    if (pcl != nullptr)
        m_clError = *pcl;
    else
        m_clError.RAZ();
}

CTString CNAError::StringDump() const
{
    return m_clError.StringDump(XEI_DEFAULT);
}
