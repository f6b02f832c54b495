#include "common/values/ItemType.h"

namespace {

struct STItemTypeInfo {
    const wchar_t* pszName;
    unsigned short nTQType;
};

// Indexed by item type; the unused code 8 keeps the unknown row.
const STItemTypeInfo gs_tabItemType[] = {
    {L"NA_IT_EMPTY", 0},          // 0
    {L"NA_IT_IDAUTO", 9},         // 1
    {L"NA_IT_TEXTE", 19},         // 2
    {L"NA_IT_I2", 7},             // 3
    {L"NA_IT_I1", 6},             // 4
    {L"NA_IT_I4", 8},             // 5
    {L"NA_IT_R4", 11},            // 6
    {L"NA_IT_R8", 12},            // 7
    {L"Type inconnu", 0},         // 8
    {L"NA_IT_UI2", 3},            // 9
    {L"NA_IT_DATE6", 128},        // 10
    {L"NA_IT_HEURE", 129},        // 11
    {L"NA_IT_UI1", 2},            // 12
    {L"NA_IT_REELTURBO", 12},     // 13
    {L"NA_IT_DATE8", 128},        // 14
    {L"NA_IT_MEMOTEXTE", 19},     // 15
    {L"NA_IT_MEMOBINAIRE4", 28},  // 16
    {L"NA_IT_MONETAIRE", 10},     // 17
    {L"NA_IT_MEMOBINAIRE", 28},   // 18
    {L"NA_IT_I8", 9},             // 19
    {L"NA_IT_UI8", 5},            // 20
    {L"NA_IT_IMAGE", 19},         // 21
    {L"NA_IT_UI4", 4},            // 22
    {L"NA_IT_BINAIRE", 28},       // 23
    {L"NA_IT_DATETIME", 26},      // 24
    {L"NA_IT_TIMELENGHT", 27},    // 25
    {L"NA_IT_CHAR", 17},          // 26
    {L"NA_IT_BOOLEEN", 1},        // 27
    {L"NA_IT_IDAUTO4", 8},        // 28
    {L"NA_IT_UNICODE", 16},       // 29
    {L"NA_IT_MEMOUNICODE", 16},   // 30
    {L"NA_IT_DECIMAL", 13},       // 31
};

const int gs_nItemTypes = static_cast<int>(sizeof(gs_tabItemType) / sizeof(gs_tabItemType[0]));
const wchar_t gs_szUnknown[] = L"Type inconnu";

} // namespace

const wchar_t* g_pszGetNAItemTypeName(eNA_ITEMTYPE eType)
{
    const int n = static_cast<int>(eType);
    return (n >= 0 && n < gs_nItemTypes) ? gs_tabItemType[n].pszName : gs_szUnknown;
}

unsigned int ConverteItemToTQType(eNA_ITEMTYPE eType, int /*nSize*/)
{
    const int n = static_cast<int>(eType);
    return (n >= 0 && n < gs_nItemTypes) ? gs_tabItemType[n].nTQType : 0;
}

eNA_ITEMTYPE ConvertTQTypeToeItem(unsigned short nTQType)
{
    switch (nTQType) {
    case 1:
        return NA_IT_BOOLEEN;
    case 2:
        return NA_IT_UI1;
    case 3:
        return NA_IT_UI2;
    case 4:
    case 14:
        return NA_IT_UI4;
    case 5:
        return NA_IT_UI8;
    case 6:
        return NA_IT_I1;
    case 7:
        return NA_IT_I2;
    case 8:
        return NA_IT_I4;
    case 9:
        return NA_IT_I8;
    case 10:
        return NA_IT_MONETAIRE;
    case 11:
        return NA_IT_R4;
    case 12:
        return NA_IT_R8;
    case 13:
        return NA_IT_DECIMAL;
    case 16:
        return NA_IT_MEMOUNICODE;
    case 17:
        return NA_IT_CHAR;
    case 18:
        return NA_IT_TEXTE;
    case 19:
        return NA_IT_MEMOTEXTE;
    case 24:
    case 128:
        return NA_IT_DATE8;
    case 25:
    case 129:
        return NA_IT_HEURE;
    case 26:
        return NA_IT_DATETIME;
    case 27:
        return NA_IT_TIMELENGHT;
    case 28:
        return NA_IT_MEMOBINAIRE;
    case 81:
    case 110:
        return NA_IT_UNICODE;
    default:
        return NA_IT_EMPTY;
    }
}

int bIsTextAnsi(eNA_ITEMTYPE eType)
{
    return (eType == NA_IT_TEXTE || eType == NA_IT_MEMOTEXTE) ? 1 : 0;
}

int bIsTextUnicode(eNA_ITEMTYPE eType)
{
    return (eType == NA_IT_UNICODE || eType == NA_IT_MEMOUNICODE) ? 1 : 0;
}

int bIsTextAW(eNA_ITEMTYPE eType)
{
    return (bIsTextAnsi(eType) || bIsTextUnicode(eType)) ? 1 : 0;
}
