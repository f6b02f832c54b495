#include "access/table/NAInternalParse.h"

#include "access/driver/NAError.h"
#include "access/statement/NAStatement.h"
#include "access/table/NADataAccess.h"
#include "common/platform/MyModuleInfo.h"

#include <new>

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

int CNAInternalParse::_bNotBuilt()
{
    if (m_pclError != nullptr)
        m_pclError->RaiseUserError(NA_ERRORTYPE_NOTOFFERED, ERRFILE_INTERNALPARSE, 1, m_pclConnection, nullptr,
                                   nullptr, ZTERR_NOT_OFFERED);
    return 0;
}

CNAInternalParse* CNAInternalParse::s_pclGetNAInternalParse(const wchar_t*, CNAError* pclError,
                                                            CNAConnectionDescription* pclConnection)
{
    CNAInternalParse clParse(pclError, pclConnection);
    clParse._bNotBuilt();
    return nullptr;
}

int CNAInternalParse::s_bDoInternalParse(const wchar_t* pszQuery, CNAError* pclError,
                                         CNAConnectionDescription* pclConnection, CXYStringConcat<wchar_t>*,
                                         const wchar_t*, const wchar_t*)
{
    return s_pclGetNAInternalParse(pszQuery, pclError, pclConnection) != nullptr;
}

int CNAInternalParse::_bAllocate() { return _bNotBuilt(); }
int CNAInternalParse::_bExecute(const wchar_t*) { return _bNotBuilt(); }
int CNAInternalParse::bReExecute() { return _bNotBuilt(); }
int CNAInternalParse::bFetch(eNA_PARSEDIRECTION, int*) { return _bNotBuilt(); }
int CNAInternalParse::bFetchData(eNA_PARSEDIRECTION, int*, CAny*, int) { return _bNotBuilt(); }
int CNAInternalParse::bFetchData(eNA_PARSEDIRECTION, int*, CXYStringConcat<wchar_t>*, const wchar_t*, const wchar_t*)
{
    return _bNotBuilt();
}
int CNAInternalParse::bFetchAll(CXYStringConcat<wchar_t>*, const wchar_t*, const wchar_t*) { return _bNotBuilt(); }
int CNAInternalParse::nGetColumnNbr() { return 0; }
CNAColumn* CNAInternalParse::pclGetColumnNoRef(int) { return nullptr; }
CNAColumn* CNAInternalParse::pclGetColumnNoRef(const wchar_t*) { return nullptr; }
