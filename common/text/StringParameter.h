// One NAME=value item of a ";"-separated parameter text (connection strings,
// extended options): read, optionally cut out, written back or replaced.
// Names are matched without regard to case, and only as whole item names;
// values run to the next ";" (there is no quoting) and lose their trailing
// blanks.
#pragma once

#include "common/text/Tstring.h"

class CStringParameter {
public:
    explicit CStringParameter(const wchar_t* pszName);
    ~CStringParameter();
    CStringParameter(const CStringParameter&) = delete;
    CStringParameter& operator=(const CStringParameter&) = delete;

    // A null value undefines the parameter; otherwise its first nLen
    // characters (all of it when nLen < 0), trailing blanks removed.
    void SetParameterValue(const wchar_t* pszValue, int nLen, int = 0, int = 0);
    // The same for a directory: a non-empty value ends with "\".
    void SetParameterValueRep(const wchar_t* pszValue, int nLen);
    // Reads the parameter from the text (cutting it out when bRemove).
    int bInitParameterValue(CTString* pclText, int bRemove);
    // Appends NAME=value (after ";" when the text is not empty) when defined.
    int bCompleteConnectionString(CTString* pclText, int = 0, int = 0);

    // Where the item stands: index of its name, of its value's first
    // character and of the last character before the next ";" or the end
    // (valueStart - 1 for an empty value). False, with 0, -1, -1, when the
    // item is absent.
    static bool _s_bGetParameterPos(int& nNamePos, int& nValueStart, int& nValueEnd, CTString* pclText,
                                    const wchar_t* pszName);
    static bool s_bParameterDefined(CTString* pclText, const wchar_t* pszName);
    // The item's value (empty when absent) and whether it was there; with
    // bRemove the item, the blanks before it and the blanks and ";" after it
    // are cut out of the text. Always 1.
    static int s_bGetParameterValue(CTString* pclValue, int* pbFound, CTString* pclText, const wchar_t* pszName,
                                    int bRemove);
    // Replaces the item's value, or appends NAME=value when absent. Always 1.
    static int s_bReplaceParameterValue(CTString* pclText, const wchar_t* pszValue, const wchar_t* pszName);

    const wchar_t* m_pszName;
    CTString m_clValue;
    int m_bDefined;
};
