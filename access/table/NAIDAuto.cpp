#include "access/table/NAIDAuto.h"

#include "access/driver/NAError.h"
#include "access/table/NADataAccess.h"
#include "access/table/NAInternalParse.h"
#include "common/platform/MyModuleInfo.h"

namespace {

enum : int {
    PT_NEXT_VALUE = 2,
    PT_MAX_CURRENT_VALUE = 3,
    PT_BUILD_NEXT = 4,
    PT_BUILD_MAX = 5,
    PT_PREFIX = 6,
};

int bNotBuilt(CNAError* pclError, int nPoint)
{
    if (pclError != nullptr)
        pclError->RaiseUserError(NA_ERRORTYPE_NOTOFFERED, CNAIDAuto::ERRFILE_IDAUTO, nPoint, nullptr, nullptr, nullptr,
                                 ZTERR_NOT_OFFERED);
    return 0;
}

CNAError* pclErrorOf(CNADataAccess* pclDataAccess)
{
    return pclDataAccess != nullptr ? pclDataAccess->pclGetError() : nullptr;
}

// Drops the query's reference and clears the field.
void Close(CNAInternalParse*& pclQuery)
{
    CNAInternalParse* pcl = pclQuery;
    pclQuery = nullptr;
    if (pcl != nullptr)
        pcl->dwRelease();
}

} // namespace

CNAIDAuto::CNAIDAuto() : m_pclNextValueQuery(nullptr), m_pclMaxCurrentValueQuery(nullptr) {}

CNAIDAuto::~CNAIDAuto()
{
    _CloseInternalParseNextValue();
    _CloseInternalParseMaxCurrentValue();
}

void CNAIDAuto::_CloseInternalParseNextValue()
{
    Close(m_pclNextValueQuery);
}

void CNAIDAuto::_CloseInternalParseMaxCurrentValue()
{
    Close(m_pclMaxCurrentValueQuery);
}

int CNAIDAuto::bGetNextValue(CNADataAccess*, CNAColumn*, CNAError* pclError, CAny*)
{
    return bNotBuilt(pclError, PT_NEXT_VALUE);
}

int CNAIDAuto::bGetMaxCurrentValue(CNADataAccess*, CNAColumn*, CNAError* pclError, CAny*)
{
    return bNotBuilt(pclError, PT_MAX_CURRENT_VALUE);
}

int CNAIDAuto::_bBuildQueryGetNextValue(CXYStringConcat<wchar_t>*, CNADataAccess* pclDataAccess, CNAColumn*)
{
    return bNotBuilt(pclErrorOf(pclDataAccess), PT_BUILD_NEXT);
}

int CNAIDAuto::_bBuildQueryGetMaxCurrentValue(CXYStringConcat<wchar_t>*, CNADataAccess* pclDataAccess, CNAColumn*)
{
    return bNotBuilt(pclErrorOf(pclDataAccess), PT_BUILD_MAX);
}

void CNAIDAuto::_PrefixMessageErreur(CNAError* pclError, CNADataAccess*, CNAColumn*)
{
    bNotBuilt(pclError, PT_PREFIX);
}
