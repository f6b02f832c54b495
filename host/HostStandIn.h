// Our stand-in for the closed host runtime. It is a shared library of its own,
// loaded with dlopen(RTLD_LOCAL), that exports the runtime entry "Execution"
// and a control entry through which tests and the command-line host inspect
// and steer it. Callers use only virtual operations, so nothing links to it.
#pragma once

#include <cstddef>
#include <cstdint>

// One call received by the locale service.
struct HostLocaleCall {
    int nSlot;           // slot of the locale service
    unsigned nLCID;      // locale identifier passed, 0 for slots without one
    unsigned nFlags;     // flags passed, 0 for slots without flags
    int nSrcLen;         // first length argument
    int nOtherLen;       // second text length (comparisons) or destination size
};

class IHostStandIn {
public:
    // String allocator accounting.
    virtual int nLiveBlocks() = 0;
    virtual int nBadFrees() = 0;            // frees and reallocations of unknown blocks
    virtual void FailAllocationsAfter(int nCount, int nError) = 0;  // -1: never fail
    // Locale service settings and call log.
    virtual void SetCurrent(int nCharset, unsigned nCodePage, unsigned nLCID) = 0;
    virtual std::size_t nLocaleCalls() = 0;
    virtual HostLocaleCall LocaleCall(std::size_t i) = 0;
    virtual void ClearLocaleCalls() = 0;
    // Services handed out by Execution(3053, n).
    virtual void* pService(unsigned n) = 0;

protected:
    ~IHostStandIn() = default;
};

extern "C" typedef IHostStandIn* (*PFN_HOSTSTANDIN_CONTROL)();
#define HOSTSTANDIN_CONTROL_ENTRY "HostStandIn_piControl"
#define HOSTSTANDIN_LIBRARY "zthostrt.so"
