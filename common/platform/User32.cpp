#include "common/platform/User32.h"

_ELangueProduit LANG_To_ELangueProduit(unsigned nLang)
{
    switch (nLang) {
    case LANGUE_FRANCAIS:
        return ELANGUEPRODUIT_FRANCAIS;
    case LANGUE_CHINOIS:
        return ELANGUEPRODUIT_CHINOIS;
    default:
        return ELANGUEPRODUIT_ANGLAIS;
    }
}

unsigned ELangueProduit_To_LANG(_ELangueProduit eLangue)
{
    switch (eLangue) {
    case ELANGUEPRODUIT_FRANCAIS:
        return LANGUE_FRANCAIS;
    case ELANGUEPRODUIT_CHINOIS:
        return LANGUE_CHINOIS;
    default:
        return LANGUE_ANGLAIS;
    }
}

bool bWindowsNT(unsigned, unsigned)
{
    return false;
}

bool bWindowsNT()
{
    return bWindowsNT(0, 0);
}

bool bWindows2000()
{
    return bWindowsNT(5, 0);
}

bool bWindowsXP()
{
    return bWindowsNT(5, 1);
}

bool bWindows2003()
{
    return bWindowsNT(5, 2);
}

bool bWindowsVista()
{
    return bWindowsNT(6, 0);
}

bool bWindowsSeven()
{
    return bWindowsNT(6, 1);
}

bool bWindows8()
{
    return bWindowsNT(6, 2);
}

bool bWindowsSmartphone()
{
    return false;
}

bool bWindowsCE2002()
{
    return false;
}

bool bIsWindows64()
{
    return false;
}

int nEmule_LoadStringW(HINSTANCE, unsigned, wchar_t* pszBuffer, int cch)
{
    if (pszBuffer != nullptr && cch > 0)
        pszBuffer[0] = 0;
    return 0;
}

int nEmule_LoadStringA(HINSTANCE, unsigned, char* pszBuffer, int cch)
{
    if (pszBuffer != nullptr && cch > 0)
        pszBuffer[0] = 0;
    return 0;
}

// 0x30-0x39, 0x41-0x5A, 0x61-0x7A, 0x83, 0x8A, 0x8C, 0x8E, 0x9A, 0x9C, 0x9E,
// 0x9F, 0xB2, 0xB3, 0xB9, 0xC0-0xD6, 0xD8-0xF6, 0xF8-0xFF.
const unsigned char gpbyIsChaAlphaNumeric_Latin1[32] = {
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF, 0x03,   // 0x00-0x3F
    0xFE, 0xFF, 0xFF, 0x07, 0xFE, 0xFF, 0xFF, 0x07,   // 0x40-0x7F
    0x08, 0x54, 0x00, 0xD4, 0x00, 0x00, 0x0C, 0x02,   // 0x80-0xBF
    0xFF, 0xFF, 0x7F, 0xFF, 0xFF, 0xFF, 0x7F, 0xFF,   // 0xC0-0xFF
};

bool bEmule_IsCharAlphaNumericA(char c)
{
    const unsigned char by = static_cast<unsigned char>(c);
    return (gpbyIsChaAlphaNumeric_Latin1[by >> 3] >> (by & 7)) & 1;
}

bool bEmule_IsRectEmpty(const RECT* pr)
{
    return pr == nullptr || pr->left >= pr->right || pr->top >= pr->bottom;
}

bool bEmule_OffsetRect(RECT* pr, int dx, int dy)
{
    if (pr == nullptr)
        return false;
    // Wrap like the 32-bit registers rather than overflow.
    auto add = [](int32_t v, int d) {
        return static_cast<int32_t>(static_cast<uint32_t>(v) + static_cast<uint32_t>(d));
    };
    pr->left = add(pr->left, dx);
    pr->right = add(pr->right, dx);
    pr->top = add(pr->top, dy);
    pr->bottom = add(pr->bottom, dy);
    return true;
}

bool bEmule_IntersectRect(RECT* prOut, const RECT* pa, const RECT* pb)
{
    if (prOut == nullptr)
        return false;
    if (!bEmule_IsRectEmpty(pa) && !bEmule_IsRectEmpty(pb) && pa->left < pb->right && pb->left < pa->right &&
        pa->top < pb->bottom && pb->top < pa->bottom) {
        const RECT r = {pa->left > pb->left ? pa->left : pb->left, pa->top > pb->top ? pa->top : pb->top,
                        pa->right < pb->right ? pa->right : pb->right,
                        pa->bottom < pb->bottom ? pa->bottom : pb->bottom};
        *prOut = r;
        return true;
    }
    *prOut = RECT{0, 0, 0, 0};
    return false;
}
