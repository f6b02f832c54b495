// Memory blocks, rectangles and the small constant services.
#include "common/platform/WinApi.h"
#include "common/text/SysUtils.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <malloc.h>
#include <new>
#include <sys/utsname.h>

// ---------------------------------------------------------------------------
// Memory

HGLOBAL GlobalAlloc(unsigned flags, size_t size)
{
    return (flags & GMEM_ZEROINIT) ? XMALLOC_pNewZero_(1, size) : XMALLOC_pNew_(size);
}

HGLOBAL GlobalReAlloc(HGLOBAL block, size_t size, unsigned flags)
{
    if (flags & GMEM_MODIFY)
        return block;
    // The block carries no size: what the allocator says it holds stands
    // for the old size.
    const size_t nOld = (block != nullptr && (flags & GMEM_ZEROINIT)) ? malloc_usable_size(block) : 0;
    void* p = XMALLOC_pResize_(block, size);
    if (p != nullptr && (flags & GMEM_ZEROINIT) && size > nOld)
        std::memset(static_cast<char*>(p) + nOld, 0, size - nOld);
    return p;
}

HGLOBAL GlobalFree(HGLOBAL block)
{
    XMALLOC_Del_(block);
    return nullptr;
}

void* GlobalLock(HGLOBAL block)
{
    return block;
}

BOOL GlobalUnlock(HGLOBAL)
{
    return TRUE;
}

namespace {

const size_t kHeapHeader = sizeof(uint32_t);

void* HeapFailure(DWORD flags)
{
    if (flags & HEAP_GENERATE_EXCEPTIONS)
        throw std::bad_alloc();
    return nullptr;
}

}  // namespace

void* HeapAlloc(HANDLE, DWORD flags, size_t size)
{
    if (size > UINT32_MAX - kHeapHeader)
        return HeapFailure(flags);
    char* p = static_cast<char*>(XMALLOC_pNew_(size + kHeapHeader));
    if (p == nullptr)
        return HeapFailure(flags);
    const uint32_t n = static_cast<uint32_t>(size);
    std::memcpy(p, &n, kHeapHeader);
    if (flags & HEAP_ZERO_MEMORY)
        std::memset(p + kHeapHeader, 0, size);
    return p + kHeapHeader;
}

void* HeapReAlloc(HANDLE, DWORD flags, void* block, size_t size)
{
    if (block == nullptr)
        return nullptr;
    if (size > UINT32_MAX - kHeapHeader)
        return HeapFailure(flags);
    char* pOld = static_cast<char*>(block) - kHeapHeader;
    uint32_t nOld;
    std::memcpy(&nOld, pOld, kHeapHeader);
    char* p = static_cast<char*>(XMALLOC_pResize_(pOld, size + kHeapHeader));
    if (p == nullptr)
        return HeapFailure(flags);
    const uint32_t n = static_cast<uint32_t>(size);
    std::memcpy(p, &n, kHeapHeader);
    if ((flags & HEAP_ZERO_MEMORY) && size > nOld)
        std::memset(p + kHeapHeader + nOld, 0, size - nOld);
    return p + kHeapHeader;
}

BOOL HeapFree(HANDLE, DWORD, void* block)
{
    if (block != nullptr)
        XMALLOC_Del_(static_cast<char*>(block) - kHeapHeader);
    return TRUE;
}

void ZeroMemory(void* p, size_t n)
{
    std::memset(p, 0, n);
}

char* _strset(char* s, int c)
{
    for (char* p = s; *p; ++p)
        *p = static_cast<char>(c);
    return s;
}

char* _strnset(char* s, int c, size_t n)
{
    for (char* p = s; n > 0 && *p; ++p, --n)
        *p = static_cast<char>(c);
    return s;
}

// ---------------------------------------------------------------------------
// Rectangles; widths in 64 bits so that extreme edges do not overflow.

BOOL CopyRect(RECT* dst, const RECT* src)
{
    *dst = *src;
    return TRUE;
}

BOOL SetRect(RECT* r, int left, int top, int right, int bottom)
{
    if (r == nullptr)
        return FALSE;
    r->left = left;
    r->top = top;
    r->right = right;
    r->bottom = bottom;
    return TRUE;
}

BOOL SetRectEmpty(RECT* r)
{
    r->left = r->top = r->right = r->bottom = 0;
    return TRUE;
}

BOOL IsRectEmpty(const RECT* r)
{
    return static_cast<int64_t>(r->right) - r->left < 1 || static_cast<int64_t>(r->bottom) - r->top < 1;
}

BOOL PtInRect(const RECT* r, POINT pt)
{
    return r->left <= pt.x && pt.x < r->right && r->top <= pt.y && pt.y < r->bottom;
}

BOOL EqualRect(const RECT* a, const RECT* b)
{
    return a->left == b->left && a->top == b->top && a->right == b->right && a->bottom == b->bottom;
}

BOOL InflateRect(RECT* r, int dx, int dy)
{
    r->left -= dx;
    r->top -= dy;
    r->right += dx;
    r->bottom += dy;
    return TRUE;
}

BOOL OffsetRect(RECT* r, int dx, int dy)
{
    r->left += dx;
    r->right += dx;
    r->top += dy;
    r->bottom += dy;
    return TRUE;
}

BOOL UnionRect(RECT* dst, const RECT* a, const RECT* b)
{
    const bool bEmptyA = IsRectEmpty(a);
    const bool bEmptyB = IsRectEmpty(b);
    if (bEmptyA && bEmptyB) {
        SetRectEmpty(dst);
        return FALSE;
    }
    if (bEmptyA || bEmptyB) {
        *dst = bEmptyA ? *b : *a;
        return TRUE;
    }
    const RECT r = {std::min(a->left, b->left), std::min(a->top, b->top), std::max(a->right, b->right),
                    std::max(a->bottom, b->bottom)};
    *dst = r;
    return TRUE;
}

BOOL IntersectRect(RECT* dst, const RECT* a, const RECT* b)
{
    if (!IsRectEmpty(a) && !IsRectEmpty(b) && a->left < b->right && b->left < a->right &&
        a->top < b->bottom && b->top < a->bottom) {
        const RECT r = {std::max(a->left, b->left), std::max(a->top, b->top),
                        std::min(a->right, b->right), std::min(a->bottom, b->bottom)};
        *dst = r;
        return TRUE;
    }
    SetRectEmpty(dst);
    return FALSE;
}

BOOL SubtractRect(RECT* dst, const RECT* a, const RECT* b)
{
    if (IsRectEmpty(a)) {
        SetRectEmpty(dst);
        return FALSE;
    }
    const RECT src = *a;
    *dst = src;
    RECT inter;
    if (!IntersectRect(&inter, &src, b))
        return TRUE;
    if (EqualRect(&inter, &src)) {
        SetRectEmpty(dst);
        return FALSE;
    }
    if (inter.top == src.top && inter.bottom == src.bottom) {
        if (inter.left == src.left)
            dst->left = inter.right;
        else if (inter.right == src.right)
            dst->right = inter.left;
    } else if (inter.left == src.left && inter.right == src.right) {
        if (inter.top == src.top)
            dst->top = inter.bottom;
        else if (inter.bottom == src.bottom)
            dst->bottom = inter.top;
    }
    return TRUE;
}

// ---------------------------------------------------------------------------
// Constants and small services

HANDLE GetStdHandle(DWORD n)
{
    switch (n) {
    case STD_INPUT_HANDLE: return reinterpret_cast<HANDLE>(static_cast<intptr_t>(0));
    case STD_OUTPUT_HANDLE: return reinterpret_cast<HANDLE>(static_cast<intptr_t>(1));
    case STD_ERROR_HANDLE: return reinterpret_cast<HANDLE>(static_cast<intptr_t>(2));
    default: return INVALID_HANDLE_VALUE;
    }
}

LANGID GetSystemDefaultLangID()
{
    return 0x800;
}

LANGID GetUserDefaultLangID()
{
    return 0x800;
}

BOOL GetVersionEx(OSVERSIONINFO* info)
{
    const DWORD nSize = info->dwOSVersionInfoSize;
    std::memset(info, 0, sizeof(*info));
    info->dwOSVersionInfoSize = nSize;
    info->dwPlatformId = 1000;
    struct utsname name;
    return uname(&name) == 0;
}

int MulDiv(int a, int b, int c)
{
    if (c == 0)
        return -1;
    int64_t product = static_cast<int64_t>(a) * b;
    int64_t divisor = c;
    if (divisor < 0) {
        divisor = -divisor;
        product = -product;
    }
    const int64_t half = divisor / 2;
    const int64_t result = (product >= 0 ? product + half : product - half) / divisor;
    if (result > INT32_MAX || result < INT32_MIN)
        return -1;
    return static_cast<int>(result);
}

BOOL IsEqualGUID(const GUID& a, const GUID& b)
{
    return std::memcmp(&a, &b, sizeof(GUID)) == 0;
}

// Bit c (byte c / 8, bit c % 8): 0-9, A-Z, a-z, 0x83, 0x8A, 0x8C, 0x8E, 0x9A,
// 0x9C, 0x9E, 0x9F, 0xB2, 0xB3, 0xB9, 0xC0-0xD6, 0xD8-0xF6, 0xF8-0xFF.
const unsigned char pbyIsCharAlphaNumeric[32] = {
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF, 0x03,  // 0x00-0x3F
    0xFE, 0xFF, 0xFF, 0x07, 0xFE, 0xFF, 0xFF, 0x07,  // 0x40-0x7F
    0x08, 0x54, 0x00, 0xD4, 0x00, 0x00, 0x0C, 0x02,  // 0x80-0xBF
    0xFF, 0xFF, 0x7F, 0xFF, 0xFF, 0xFF, 0x7F, 0xFF,  // 0xC0-0xFF
};

BOOL LinuxIsCharAlphaNumericA(char c)
{
    const unsigned char u = static_cast<unsigned char>(c);
    return (pbyIsCharAlphaNumeric[u >> 3] >> (u & 7)) & 1;
}

void OutputDebugString(const wchar_t* text)
{
    if (text != nullptr)
        std::fprintf(stderr, "%ls", text);
}
