// Captions of the value dumps, read from the module's messages once and kept
// until the library shuts down.
#pragma once

struct _stMyModuleInfo;

class CZTVariant {
public:
    static wchar_t* s_pszDumpTQType;
    static wchar_t* s_pszDumpADOType;
    static wchar_t* s_pszDumpValue;
    static wchar_t* s_pszDumpTime;
    static wchar_t* s_pszDumpDate;
    static wchar_t* s_pszDumpConvFailed_Text;
    static wchar_t* s_pszDumpConvFailed_Date;
    static wchar_t* s_pszDumpConvFailed_Time;

    // Loads every caption from this module's messages, the built-in text
    // when a message is missing; captions already loaded are replaced.
    static void InitQueryDumpRessources();
    // The same from the messages of another module record.
    static void InitQueryDumpRessources(const _stMyModuleInfo* pModule);
    // Frees every caption and nulls it; safe to call again.
    static void FreeQueryDumpRessources();
};
