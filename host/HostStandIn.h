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

// Arguments of the last call-stack request, Execution(3184).
struct HostCallStackCall {
    int nCalls;          // requests received so far
    int nA;
    const wchar_t* pszBuffer;
    int nCapacity;       // third field: the buffer's capacity in characters
    int nC;
};

// The runtime's message loader handed to the module (CommandeComposante 2):
// the text length, the length needed when it does not fit, 0 when unknown.
extern "C" typedef int (*PFN_HOST_LOADSTRING)(unsigned nId, wchar_t* pszBuffer, int nCapacity);

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
    // Module protocol: Execution(3053, n) requests per service number,
    // Execution(3052) "the module ended" calls, the last 3184 request.
    virtual int nServiceCalls(unsigned n) = 0;
    virtual int nModuleEndCalls() = 0;
    virtual HostCallStackCall LastCallStack() = 0;
    // The global factory handed out as service 9: its version (-1: no
    // factory at all) and the calls of its version operation.
    virtual void SetGlobalFactoryVersion(int nVersion) = 0;
    virtual int nFactoryCalls() = 0;
    // The message loader to hand to the module, and its test messages.
    virtual PFN_HOST_LOADSTRING pfnMessageLoader() = 0;
    // The engine key service to hand to the driver (an IKXForNA*).
    virtual void* pKeyService() = 0;
    // Accounting of live blocks (nLiveBlocks, nBadFrees), off until a test
    // turns it on before its first block; and the blocks the allocator has
    // made, always counted.
    virtual void KeepBlockAccounts(bool bOn) = 0;
    virtual long long nAllocations() = 0;

protected:
    ~IHostStandIn() = default;
};

extern "C" typedef IHostStandIn* (*PFN_HOSTSTANDIN_CONTROL)();
#define HOSTSTANDIN_CONTROL_ENTRY "HostStandIn_piControl"
#define HOSTSTANDIN_LIBRARY "zthostrt.so"
// A second runtime library without "Execution", and the resource library.
#define HOSTSTANDIN_NOEXEC_LIBRARY "zthostnoexec.so"
#define HOSTSTANDIN_RESOURCE_LIBRARY "zt190res.so"

// Messages the stand-in's loader knows; every other id answers 0.
enum : unsigned {
    HOSTMSG_VALUE = 25670,        // "Value (runtime)"
    HOSTMSG_ADO_TYPE = 25680,     // "ADO type (runtime)" padded with dots to 300 characters
    HOSTMSG_RUNTIME_ONLY = 64000, // "Message of the runtime", unknown to the module
    HOSTMSG_LONG_LENGTH = 300,
};

// The resource library answers DLLRES_pLoadResourceModule for this id and
// name only: the 8-bit text HOSTRES_TEXT and its size without end mark.
#define HOSTRES_ID 7u
#define HOSTRES_NAME L"STANDIN"
#define HOSTRES_TEXT "stand-in resource"
