// The stand-in runtime's entries: "Execution" for the module protocol and the
// control entry for tests.
#include "common/platform/InformationDLL.h"
#include "host/HostLifetime.h"
#include "host/HostStandIn.h"
#include "host/InfoLocale.h"
#include "host/KeyService.h"
#include "host/StrMemAllocator.h"

#include <cwchar>
#include <string>

namespace {

// Objects the module only holds or passes on.
struct COpaque {
    unsigned dwMarque;
};

class CGlobalFactory final : public IGlobalFactory {
public:
    int nGetVersion() override
    {
        ++m_nCalls;
        return m_nVersion;
    }
    int m_nVersion = 2;
    int m_nCalls = 0;
};

const wchar_t kNomProduit[] = L"Quorvix Runtime (stand-in)";

const std::wstring& LongMessage()
{
    static const std::wstring s = [] {
        std::wstring str = L"ADO type (runtime)";
        str.resize(HOSTMSG_LONG_LENGTH, L'.');
        return str;
    }();
    return s;
}

extern "C" int LoadMessage(unsigned nId, wchar_t* pszBuffer, int nCapacity)
{
    std::wstring strTexte;
    switch (nId) {
    case HOSTMSG_VALUE:
        strTexte = L"Value (runtime)";
        break;
    case HOSTMSG_ADO_TYPE:
        strTexte = LongMessage();
        break;
    case HOSTMSG_RUNTIME_ONLY:
        strTexte = L"Message of the runtime";
        break;
    default:
        return 0;
    }
    const int n = static_cast<int>(strTexte.size());
    if (n > nCapacity || pszBuffer == nullptr)
        return n;   // the length needed
    std::wmemcpy(pszBuffer, strTexte.data(), static_cast<size_t>(n));
    if (n < nCapacity)
        pszBuffer[n] = 0;
    return n;
}

class CHostStandIn final : public IHostStandIn {
public:
    int nLiveBlocks() override { return m_allocator.nLiveBlocks(); }
    int nBadFrees() override { return m_allocator.nBadFrees(); }
    void FailAllocationsAfter(int nCount, int nError) override { m_allocator.FailAfter(nCount, nError); }
    void SetCurrent(int nCharset, unsigned nCodePage, unsigned nLCID) override
    {
        m_locale.SetCurrent(nCharset, nCodePage, nLCID);
    }
    std::size_t nLocaleCalls() override { return m_locale.nCalls(); }
    HostLocaleCall LocaleCall(std::size_t i) override { return m_locale.Call(i); }
    void ClearLocaleCalls() override { m_locale.ClearCalls(); }

    void* pService(unsigned n) override { return reinterpret_cast<void*>(nService(n)); }

    int nServiceCalls(unsigned n) override { return n < kNbServices ? m_tabServiceCalls[n] : 0; }
    int nModuleEndCalls() override { return m_nModuleEndCalls; }
    HostCallStackCall LastCallStack() override { return m_stCallStack; }
    void SetGlobalFactoryVersion(int nVersion) override { m_factory.m_nVersion = nVersion; }
    int nFactoryCalls() override { return m_factory.m_nCalls; }
    PFN_HOST_LOADSTRING pfnMessageLoader() override { return &LoadMessage; }
    void* pKeyService() override { return HostKeyService(); }
    void KeepBlockAccounts(bool bOn) override { m_allocator.KeepAccounts(bOn); }
    long long nAllocations() override { return m_allocator.nAllocations(); }

    unsigned nExecution(unsigned nCommand, uintptr_t nArgument)
    {
        switch (nCommand) {
        case EXECUTION_SERVICE: {
            const unsigned n = static_cast<unsigned>(nArgument);
            if (n < kNbServices)
                ++m_tabServiceCalls[n];
            return static_cast<unsigned>(nService(n));
        }
        case EXECUTION_MODULE_ENDS:
            ++m_nModuleEndCalls;
            return 1;
        case EXECUTION_CALL_STACK:
            return nCallStack(reinterpret_cast<const HostCallStackArgs*>(nArgument));
        default:
            return 0;
        }
    }

private:
    static const unsigned kNbServices = 16;

    // The module's block of Execution(3184).
    struct HostCallStackArgs {
        int nA;
        wchar_t* pszBuffer;
        int nCapacity;
        int nC;
    };

    uintptr_t nService(unsigned n)
    {
        switch (n) {
        case SERVICE_PRODUCT_CODE:
            return 41;
        case SERVICE_LANGUAGE:
            return 9;
        case SERVICE_PRODUCT_NAME:
            return reinterpret_cast<uintptr_t>(kNomProduit);
        case SERVICE_OPTIONS:
            return 0x5;
        case SERVICE_REAL_PRODUCT_CODE:
            return 42;
        case SERVICE_DOTNET:
            return 0;
        case SERVICE_LIBSHOP:
            return reinterpret_cast<uintptr_t>(&m_libShop);
        case SERVICE_VERSION:
            return 26;
        case SERVICE_GLOBAL_FACTORY:
            return m_factory.m_nVersion < 0 ? 0 : reinterpret_cast<uintptr_t>(&m_factory);
        case SERVICE_TOPOLOGY:
            return reinterpret_cast<uintptr_t>(&m_topologie);
        case SERVICE_SMARTPHONE:
            return 0;
        case SERVICE_LOCALE:
            return reinterpret_cast<uintptr_t>(static_cast<IInfoLocale*>(&m_locale));
        case SERVICE_STRING_ALLOCATOR:
            return reinterpret_cast<uintptr_t>(static_cast<IStrMemAlloc*>(&m_allocator));
        case SERVICE_MULTITHREAD:
            return reinterpret_cast<uintptr_t>(&m_bMultithread);
        case SERVICE_COMPONENT_INFO:
            return reinterpret_cast<uintptr_t>(&m_composante);
        default:
            return 0;
        }
    }

    unsigned nCallStack(const HostCallStackArgs* pst)
    {
        ++m_stCallStack.nCalls;
        if (pst == nullptr)
            return 0;
        m_stCallStack.nA = pst->nA;
        m_stCallStack.pszBuffer = pst->pszBuffer;
        m_stCallStack.nCapacity = pst->nCapacity;
        m_stCallStack.nC = pst->nC;
        if (pst->pszBuffer == nullptr || pst->nCapacity <= 0)
            return 0;
        std::wcsncpy(pst->pszBuffer, L"stand-in call stack", static_cast<size_t>(pst->nCapacity));
        pst->pszBuffer[pst->nCapacity - 1] = 0;
        return 1;
    }

    CStrMemAllocator m_allocator;
    CInfoLocale m_locale;
    CGlobalFactory m_factory;
    COpaque m_libShop = {0x4C53};
    COpaque m_topologie = {0x544F};
    COpaque m_composante = {0x434F};
    int m_bMultithread = 0;
    int m_tabServiceCalls[kNbServices] = {};
    int m_nModuleEndCalls = 0;
    HostCallStackCall m_stCallStack = {};
};

CHostStandIn& StandIn()
{
    static CHostStandIn* p = HostKeep(new CHostStandIn);
    return *p;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) unsigned Execution(unsigned nCommand, uintptr_t nArgument)
{
    return StandIn().nExecution(nCommand, nArgument);
}

extern "C" __attribute__((visibility("default"))) IHostStandIn* HostStandIn_piControl()
{
    return &StandIn();
}
