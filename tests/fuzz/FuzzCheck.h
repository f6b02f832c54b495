// Shared pieces of the fuzz targets: a check that aborts (libFuzzer keeps
// the input as a finding) and the host stand-in bound once per process.
#pragma once

#include "tests/support/TestHost.h"

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>

#define FUZZ_CHECK(cond)                                                                   \
    do {                                                                                   \
        if (!(cond)) {                                                                     \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
            std::abort();                                                                  \
        }                                                                                  \
    } while (0)

// The host's string allocator and locale service, bound on first use; the
// stand-in's log of locale calls is emptied at every input.
inline void FuzzBindHost()
{
    TestHost().ClearLocaleCalls();
}

// Bytes as text: a byte below nFirstRaw picks a character of the alphabet
// (rich in what the code under test looks for), any other stands for itself.
template <class C>
std::basic_string<C> FuzzText(const std::string& s, const wchar_t* pszAlphabet, unsigned nFirstRaw)
{
    const std::size_t n = std::wcslen(pszAlphabet);
    std::basic_string<C> t;
    for (unsigned char c : s)
        t += c < nFirstRaw ? static_cast<C>(pszAlphabet[c % n]) : static_cast<C>(c);
    return t;
}
