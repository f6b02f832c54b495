// Formatting members of CTString, on the Windows-rule formatter.
#include "common/text/Tstring.h"

#include "common/platform/FormatWin.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <new>

namespace {

const unsigned kFlagsMessage = 0x500;  // allocate the result; the source is a text
const size_t kMaxCapacite = static_cast<size_t>(INT_MAX) / sizeof(wchar_t);

}  // namespace

void CTString::FormatV(const wchar_t* pszFormat, va_list args)
{
    if (pszFormat == nullptr) {
        Vide();
        return;
    }
    va_list a;
    va_copy(a, args);
    const int nEstime = STRG_nCalculeLongueurPrintf<wchar_t>(pszFormat, a);
    va_end(a);

    // The estimate is only a start: a text that does not fit gets a larger
    // buffer and is formatted again.
    size_t nCapacite = nEstime > 0 ? static_cast<size_t>(nEstime) + 1 : 16;
    if (nCapacite > kMaxCapacite)
        nCapacite = kMaxCapacite;
    for (;;) {
        wchar_t* psz = static_cast<wchar_t*>(std::malloc(nCapacite * sizeof(wchar_t)));
        if (psz == nullptr)
            throw std::bad_alloc();
        va_copy(a, args);
        const int r = vsnwprintfWin(psz, nCapacite, pszFormat, a);
        const int nErreur = errno;
        va_end(a);
        if (r >= 0) {
            // The old text may have been an argument: replaced only now.
            SetBuffer(psz);
            return;
        }
        std::free(psz);
        if (nErreur != 0 || nCapacite >= kMaxCapacite) {
            Vide();
            return;
        }
        nCapacite = nCapacite > kMaxCapacite / 2 ? kMaxCapacite : nCapacite * 2;
    }
}

void CTString::printf(const wchar_t* pszFormat, ...)
{
    va_list a;
    va_start(a, pszFormat);
    FormatV(pszFormat, a);
    va_end(a);
}

void CTString::AddPrintf(const wchar_t* pszFormat, ...)
{
    CTString cl;
    va_list a;
    va_start(a, pszFormat);
    cl.FormatV(pszFormat, a);
    va_end(a);
    Add(cl.pszGet());
}

void CTString::FormatMessageWin(const wchar_t* pszFormat, ...)
{
    wchar_t* psz = nullptr;
    va_list a;
    va_start(a, pszFormat);
    const unsigned n = ::FormatMessageWin(kFlagsMessage, pszFormat, 0, 0, reinterpret_cast<wchar_t*>(&psz), 0,
                                          reinterpret_cast<char**>(&a));
    va_end(a);
    if (n != 0 && psz != nullptr)
        Set(psz);
    std::free(psz);
}

void CTString::FormatMessageW(const wchar_t* pszFormat, ...)
{
    wchar_t* psz = nullptr;
    va_list a;
    va_start(a, pszFormat);
    const unsigned n = ::FormatMessageW(kFlagsMessage, pszFormat, 0, 0, reinterpret_cast<wchar_t*>(&psz), 0,
                                        reinterpret_cast<char**>(&a));
    va_end(a);
    if (n != 0 && psz != nullptr)
        Set(psz);
    std::free(psz);
}
