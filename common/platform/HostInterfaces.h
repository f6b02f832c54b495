// Interfaces through which the host runtime hands its services to the module.
// Their slot orders are the contract with the host: every operation is a
// virtual slot counted from 0, reserved slots keep the places of operations
// the module never calls, and no interface has a virtual destructor (it
// would take two slots).
#pragma once

#include <cstdint>
#include <cwchar>

// Host string allocator: blocks of text and binaries shared with the host.
// The data pointer points past the block's 16-byte header; a new block has a
// reference count of 1, flag bit 0 clear and room for a 32-bit zero after the
// requested capacity.
class IStrMemAlloc {
public:
    virtual unsigned Reserved0() = 0;
    // Allocates a block of at least nBytes of data; 0 on success, else the
    // allocator's error.
    virtual int nAlloc(void** ppData, unsigned nBytes) = 0;
    // Grows the block in place or moves it, keeping header and content.
    virtual int nRealloc(void** ppData, unsigned nBytes) = 0;
    virtual void Free(void* pData) = 0;

protected:
    ~IStrMemAlloc() = default;
};

// Host locale service: current settings, language-sensitive comparisons,
// sort keys and mappings. Comparisons answer -1, 0 or 1; mappings answer the
// number of characters produced (0 on failure) or, without destination, the
// number needed. Lengths of -1 mean up to the terminator.
class IInfoLocale {
public:
    virtual unsigned Reserved0() = 0;
    virtual unsigned Reserved1() = 0;
    virtual int nGetCurrentCharset() = 0;                                    // 2
    virtual unsigned nGetCurrentCodePage() = 0;                              // 3
    virtual unsigned nGetCurrentLCID() = 0;                                  // 4
    virtual int nCompareA(unsigned lcid, unsigned flags, const char* a, int la,
                          const char* b, int lb) = 0;                        // 5
    virtual int nCompareW(unsigned lcid, unsigned flags, const wchar_t* a, int la,
                          const wchar_t* b, int lb) = 0;                     // 6
    virtual int nCompareCurrentA(unsigned flags, const char* a, int la,
                                 const char* b, int lb) = 0;                 // 7
    virtual int nCompareCurrentW(unsigned flags, const wchar_t* a, int la,
                                 const wchar_t* b, int lb) = 0;              // 8
    // Sort key: bytes whose order is the locale order of the texts.
    virtual int nMapStringSort(unsigned lcid, unsigned char* dst, int dstSize,
                               const wchar_t* src, int srcLen) = 0;          // 9
    virtual unsigned Reserved10() = 0;                                       // 10
    virtual int nMapStringA(unsigned lcid, unsigned flags, char* dst, int dstSize,
                            const char* src, int srcLen) = 0;                // 11
    virtual int nMapStringW(unsigned lcid, unsigned flags, wchar_t* dst, int dstSize,
                            const wchar_t* src, int srcLen) = 0;             // 12
    virtual int nMapStringCurrentA(unsigned flags, char* dst, int dstSize,
                                   const char* src, int srcLen) = 0;         // 13
    virtual int nMapStringCurrentW(unsigned flags, wchar_t* dst, int dstSize,
                                   const wchar_t* src, int srcLen) = 0;      // 14
    virtual unsigned nGetSafeLCID() = 0;                                     // 15

protected:
    ~IInfoLocale() = default;
};

// Locale service flags shared by comparisons and mappings.
enum : unsigned {
    LOCALE_FOLD_CASE = 0x1,          // compare: ignore case; map: upper case
    LOCALE_IGNORE_ACCENTS = 0x2,     // compare: ignore accents; map: remove them
    LOCALE_IGNORE_PUNCT = 0x4,       // white space and punctuation
    LOCALE_LOWER_CASE = 0x100,       // map: lower case
};

// The runtime's entry: Execution(command, argument).
typedef unsigned (*PFN_EXECUTION)(unsigned nCommand, uintptr_t nArgument);

// Runtime services answered by Execution(3053, n).
enum : unsigned {
    EXECUTION_INIT = 3985,
    EXECUTION_TERM = 4875,
    EXECUTION_SET_LOCALE = 4878,
    EXECUTION_SERVICE = 3053,
    EXECUTION_MODULE_ENDS = 3052,
    EXECUTION_CALL_STACK = 3184,
    SERVICE_PRODUCT_CODE = 1,
    SERVICE_LANGUAGE = 2,
    SERVICE_PRODUCT_NAME = 3,
    SERVICE_OPTIONS = 4,
    SERVICE_REAL_PRODUCT_CODE = 5,
    SERVICE_DOTNET = 6,
    SERVICE_LIBSHOP = 7,
    SERVICE_VERSION = 8,
    SERVICE_GLOBAL_FACTORY = 9,
    SERVICE_TOPOLOGY = 10,
    SERVICE_SMARTPHONE = 11,
    SERVICE_LOCALE = 12,
    SERVICE_STRING_ALLOCATOR = 13,
    SERVICE_MULTITHREAD = 14,
    SERVICE_COMPONENT_INFO = 15,
};
