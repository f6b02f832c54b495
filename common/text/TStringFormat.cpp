#include "common/text/TStringFormat.h"

#include "common/platform/DllRes.h"

CTStringFormat::CTStringFormat(const wchar_t* pszFormat, ...)
{
    va_list a;
    va_start(a, pszFormat);
    FormatV(pszFormat, a);
    va_end(a);
}

CTStringFormatMessage::CTStringFormatMessage(const wchar_t* pszFormat, ...)
{
    va_list a;
    va_start(a, pszFormat);
    DLLRES_dwFormatMessage(pszFormat, this, a);
    va_end(a);
}
