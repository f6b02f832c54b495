// Item types of the host's data engine and their host value types.
#pragma once

// Type of an item (column, key, parameter) as the host's data engine
// describes it. Code 8 is unused.
enum eNA_ITEMTYPE : int {
    NA_IT_EMPTY = 0,
    NA_IT_IDAUTO = 1,
    NA_IT_TEXTE = 2,
    NA_IT_I2 = 3,
    NA_IT_I1 = 4,
    NA_IT_I4 = 5,
    NA_IT_R4 = 6,
    NA_IT_R8 = 7,
    NA_IT_UI2 = 9,
    NA_IT_DATE6 = 10,
    NA_IT_HEURE = 11,
    NA_IT_UI1 = 12,
    NA_IT_REELTURBO = 13,
    NA_IT_DATE8 = 14,
    NA_IT_MEMOTEXTE = 15,
    NA_IT_MEMOBINAIRE4 = 16,
    NA_IT_MONETAIRE = 17,
    NA_IT_MEMOBINAIRE = 18,
    NA_IT_I8 = 19,
    NA_IT_UI8 = 20,
    NA_IT_IMAGE = 21,
    NA_IT_UI4 = 22,
    NA_IT_BINAIRE = 23,
    NA_IT_DATETIME = 24,
    NA_IT_TIMELENGHT = 25,
    NA_IT_CHAR = 26,
    NA_IT_BOOLEEN = 27,
    NA_IT_IDAUTO4 = 28,
    NA_IT_UNICODE = 29,
    NA_IT_MEMOUNICODE = 30,
    NA_IT_DECIMAL = 31,
};

// Name of an item type for debug texts; "Type inconnu" for an unknown code.
const wchar_t* g_pszGetNAItemTypeName(eNA_ITEMTYPE eType);

// Host value type in which values of an item type travel (0 for an unknown
// code). The size is accepted and not used (-1 when the caller has none).
unsigned int ConverteItemToTQType(eNA_ITEMTYPE eType, int nSize);

// The same for an item description: reads its type and size. Written for
// any description class with const eNAGetItemType() and nGetItemSize(), so
// that this header does not depend on the description interface. A missing
// description has the empty type.
template <class TItemDescription>
unsigned int ConverteItemToTQType(const TItemDescription* pItem)
{
    if (pItem == nullptr)
        return 0;
    const eNA_ITEMTYPE eType = static_cast<eNA_ITEMTYPE>(pItem->eNAGetItemType());
    const int nSize = static_cast<int>(pItem->nGetItemSize());
    return ConverteItemToTQType(eType, nSize) & 0xFFFF;
}

// Item type of a host value type (NA_IT_EMPTY when it has none).
eNA_ITEMTYPE ConvertTQTypeToeItem(unsigned short nTQType);

// 8-bit text items: NA_IT_TEXTE and NA_IT_MEMOTEXTE.
int bIsTextAnsi(eNA_ITEMTYPE eType);
// Wide text items: NA_IT_UNICODE and NA_IT_MEMOUNICODE.
int bIsTextUnicode(eNA_ITEMTYPE eType);
// Either of the two.
int bIsTextAW(eNA_ITEMTYPE eType);
