#include "common/platform/ZTVariant.h"

#include "common/platform/DllRes.h"
#include "common/platform/MyModuleInfo.h"
#include "common/text/Tstring.h"

#include <cwchar>

wchar_t* CZTVariant::s_pszDumpTQType = nullptr;
wchar_t* CZTVariant::s_pszDumpADOType = nullptr;
wchar_t* CZTVariant::s_pszDumpValue = nullptr;
wchar_t* CZTVariant::s_pszDumpTime = nullptr;
wchar_t* CZTVariant::s_pszDumpDate = nullptr;
wchar_t* CZTVariant::s_pszDumpConvFailed_Text = nullptr;
wchar_t* CZTVariant::s_pszDumpConvFailed_Date = nullptr;
wchar_t* CZTVariant::s_pszDumpConvFailed_Time = nullptr;

namespace {

struct STCaption {
    wchar_t** ppsz;
    unsigned nMessage;
    const wchar_t* pszDefaut;
};

const STCaption s_tabCaption[] = {
    {&CZTVariant::s_pszDumpTQType, ZTMSG_DUMP_TQ_TYPE, L"Type Tarsel"},
    {&CZTVariant::s_pszDumpADOType, ZTMSG_DUMP_ADO_TYPE, L"Type ADO"},
    {&CZTVariant::s_pszDumpValue, ZTMSG_DUMP_VALUE, L"Valeur"},
    {&CZTVariant::s_pszDumpTime, ZTMSG_DUMP_TIME, L"Heure"},
    {&CZTVariant::s_pszDumpDate, ZTMSG_DUMP_DATE, L"Date"},
    {&CZTVariant::s_pszDumpConvFailed_Text, ZTMSG_DUMP_CONV_FAILED_TEXT,
     L"Echec de la conversion de la valeur en texte."},
    {&CZTVariant::s_pszDumpConvFailed_Date, ZTMSG_DUMP_CONV_FAILED_DATE,
     L"Echec de la conversion de la valeur en date"},
    {&CZTVariant::s_pszDumpConvFailed_Time, ZTMSG_DUMP_CONV_FAILED_TIME,
     L"Echec de la conversion de la valeur en heure"},
};

wchar_t* pszCopie(const wchar_t* psz, size_t n)
{
    wchar_t* pszCopie = new wchar_t[n + 1];
    std::wmemcpy(pszCopie, psz, n);
    pszCopie[n] = 0;
    return pszCopie;
}

}  // namespace

void CZTVariant::InitQueryDumpRessources()
{
    InitQueryDumpRessources(&gstMyModuleInfo32);
}

void CZTVariant::InitQueryDumpRessources(const _stMyModuleInfo* pModule)
{
    for (const STCaption& st : s_tabCaption) {
        CTString clTexte;
        wchar_t* psz;
        if (DLLRES_bLoadString(pModule, st.nMessage, &clTexte) && clTexte.nTaille() > 0)
            psz = pszCopie(clTexte.pszGet(), static_cast<size_t>(clTexte.nTaille()));
        else
            psz = pszCopie(st.pszDefaut, std::wcslen(st.pszDefaut));
        delete[] *st.ppsz;
        *st.ppsz = psz;
    }
}

void CZTVariant::FreeQueryDumpRessources()
{
    for (const STCaption& st : s_tabCaption) {
        delete[] *st.ppsz;
        *st.ppsz = nullptr;
    }
}
