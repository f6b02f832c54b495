// Direct access to the value area of a host value, for the value tests.
#pragma once

#include "common/values/Any.h"

#include <cstring>

// The value becomes a nType holding x (given to SetValue by address).
template <class T>
void Set(CAny& v, unsigned short nType, T x)
{
    v.__SetType(nType, 0);
    v.pclGetTraitement()->SetValue(&x);
}

// The first sizeof(T) bytes of the value area.
template <class T>
T Get(const CAny& v)
{
    T x;
    std::memcpy(&x, v.pbyGetValeur(), sizeof(x));
    return x;
}

// The value becomes a binary holding the bytes of s.
inline void SetBin(CAny& v, const char* s)
{
    v.__SetType(TQTYPE_BIN, 0);
    v.pclGetTraitement()->SetValue(s, static_cast<unsigned>(std::strlen(s)));
}
