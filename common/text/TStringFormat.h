// Wide strings formatted at construction: printf-style (Windows rules) and
// through the module's message formatting.
#pragma once

#include "common/text/Tstring.h"

class CTStringFormat : public CTString {
public:
    explicit CTStringFormat(const wchar_t* pszFormat, ...);
};

class CTStringFormatMessage : public CTString {
public:
    explicit CTStringFormatMessage(const wchar_t* pszFormat, ...);
};
