#include "access/table/NAIDAuto.h"

#include "access/driver/NAError.h"
#include "common/platform/MyModuleInfo.h"

namespace {

int bNotBuilt(CNAError* pclError, int nPoint)
{
    if (pclError != nullptr)
        pclError->RaiseUserError(NA_ERRORTYPE_NOTOFFERED, CNAIDAuto::ERRFILE_IDAUTO, nPoint, nullptr, nullptr, nullptr,
                                 ZTERR_NOT_OFFERED);
    return 0;
}

} // namespace

CNAIDAuto::~CNAIDAuto() {}

int CNAIDAuto::bGetNextValue(CNADataAccess*, CNAColumn*, CNAError* pclError, CAny*)
{
    return bNotBuilt(pclError, 1);
}

int CNAIDAuto::bGetMaxCurrentValue(CNADataAccess*, CNAColumn*, CNAError* pclError, CAny*)
{
    return bNotBuilt(pclError, 2);
}
