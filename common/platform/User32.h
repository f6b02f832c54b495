// The few USER32 functions the platform layer emulates, the product
// language maps and the Windows-version queries (never true here).
#pragma once

#include "common/platform/WinApi.h"

#include <cwchar>

// The null value of a _GUID record.
extern "C" __attribute__((visibility("default"))) const _GUID GUID_NULL;

enum _ELangueProduit {
    ELANGUEPRODUIT_FRANCAIS = 0,
    ELANGUEPRODUIT_ANGLAIS = 1,
    ELANGUEPRODUIT_CHINOIS = 2,
};

// Windows primary language identifiers.
enum : unsigned {
    LANGUE_CHINOIS = 4,
    LANGUE_ANGLAIS = 9,
    LANGUE_FRANCAIS = 12,
};

_ELangueProduit LANG_To_ELangueProduit(unsigned nLang);
unsigned ELangueProduit_To_LANG(_ELangueProduit eLangue);

bool bWindowsNT(unsigned nMajor, unsigned nMinor);
bool bWindowsNT();
bool bWindows2000();
bool bWindowsXP();
bool bWindows2003();
bool bWindowsVista();
bool bWindowsSeven();
bool bWindows8();
bool bWindowsSmartphone();
bool bWindowsCE2002();
bool bIsWindows64();

// No string resources of the Windows kind: 0, the buffer emptied.
int nEmule_LoadStringW(HINSTANCE hInstance, unsigned nId, wchar_t* pszBuffer, int cch);
int nEmule_LoadStringA(HINSTANCE hInstance, unsigned nId, char* pszBuffer, int cch);

// Letters and digits of code page 1252: bit c & 7 of byte c >> 3.
extern const unsigned char gpbyIsChaAlphaNumeric_Latin1[32];
bool bEmule_IsCharAlphaNumericA(char c);

// Null rectangles: empty, and refused by the others.
bool bEmule_IsRectEmpty(const RECT* pr);
bool bEmule_OffsetRect(RECT* pr, int dx, int dy);
// Rectangles that only touch do not intersect; out is zeroed when false.
bool bEmule_IntersectRect(RECT* prOut, const RECT* pa, const RECT* pb);
