// Objects whose own memory comes from the C-heap wrappers, so that their
// allocation fails where the module's other blocks fail: made with
// new (std::nothrow), which answers null without memory.
#pragma once

#include "common/text/SysUtils.h"

#include <cstddef>
#include <new>

class CXMallocObject {
public:
    static void* operator new(std::size_t nSize, const std::nothrow_t&) noexcept { return XMALLOC_pNew_(nSize); }
    static void operator delete(void* p) noexcept { XMALLOC_Del_(p); }
    static void operator delete(void* p, const std::nothrow_t&) noexcept { XMALLOC_Del_(p); }
};
