#include "common/values/NACnvVariant.h"

int CNAConvertVariant::bLoadFile(const wchar_t* pszPath, CNAError* pclError, int bBinary)
{
    if (!CNAVariant::bLoadFile(pszPath, pclError, bBinary))
        return 0;
    if (m_eVarType == NA_VAR_UNREADYET)
        m_eVarType = NA_VAR_ANY;
    return 1;
}
