#include "common/platform/UTF8Buffer.h"

#include "common/text/CodePage.h"
#include "common/text/SysUtils.h"
#include "common/text/TextBasics.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

CUTF8Buffer::CUTF8Buffer(const wchar_t* wide) : m_pHeap(nullptr), m_psz(nullptr)
{
    if (wide == nullptr) {
        errno = EFAULT;
        return;
    }
    // The size with the terminator, then one byte of margin.
    const int nNeeded = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    if (nNeeded <= 0 || nNeeded == INT_MAX) {
        errno = EINVAL;
        return;
    }
    const int nSize = nNeeded + 1;
    char* p = m_szLocal;
    if (nSize > LOCAL_SIZE) {
        m_pHeap = static_cast<char*>(XMALLOC_pNew_(static_cast<size_t>(nSize)));
        if (m_pHeap == nullptr) {
            errno = ENOMEM;
            return;
        }
        p = m_pHeap;
    }
    if (WideCharToMultiByte(CP_UTF8, 0, wide, -1, p, nSize, nullptr, nullptr) != nNeeded) {
        errno = EINVAL;
        return;
    }
    p[nNeeded] = 0;
    m_psz = p;
}

CUTF8Buffer::~CUTF8Buffer()
{
    XMALLOC_Del_(m_pHeap);
}

int nUTF8ToWideBounded(const char* utf8, int len, wchar_t* out, unsigned n)
{
    if (out == nullptr || n == 0)
        return -1;
    out[0] = 0;
    if (utf8 == nullptr)
        return -1;
    const int nBytes = len < 0 ? static_cast<int>(std::strlen(utf8)) : len;
    if (nBytes == 0)
        return 0;
    const int nChars = MultiByteToWideChar(CP_UTF8, 0, utf8, nBytes, nullptr, 0);
    if (nChars <= 0 || static_cast<unsigned>(nChars) >= n)
        return -1;
    if (MultiByteToWideChar(CP_UTF8, 0, utf8, nBytes, out, nChars) != nChars) {
        out[0] = 0;
        return -1;
    }
    out[nChars] = 0;
    return nChars;
}
