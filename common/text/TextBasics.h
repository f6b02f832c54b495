// Text lengths, digit tests and the named code pages, for 8-bit, 16-bit and
// wide text alike. A null text has length 0 everywhere.
#pragma once

#include <cstddef>

// Windows code page numbers the module names.
enum : unsigned {
    CP_1252 = 1252,   // the default, also for code page 0
    CP_UTF8 = 65001,
};

// Units before the terminator; 0 for a null text.
template <class T>
inline std::size_t TXT_nLen(const T* p)
{
    std::size_t n = 0;
    if (p != nullptr)
        while (p[n] != 0)
            ++n;
    return n;
}

// The same, reading at most nMax units.
template <class T>
inline std::size_t TXT_nLenMax(const T* p, std::size_t nMax)
{
    std::size_t n = 0;
    if (p != nullptr)
        while (n < nMax && p[n] != 0)
            ++n;
    return n;
}

// Whether c is one of the ASCII digits "0" to "9".
template <class T>
inline constexpr bool TXT_bDigit(T c)
{
    return c >= static_cast<T>('0') && c <= static_cast<T>('9');
}
