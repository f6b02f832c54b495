// The stand-in runtime's entries: "Execution" for the module protocol and the
// control entry for tests.
#include "host/HostStandIn.h"
#include "host/InfoLocale.h"
#include "host/StrMemAllocator.h"

namespace {

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

    void* pService(unsigned n) override
    {
        switch (n) {
        case SERVICE_LOCALE:
            return static_cast<IInfoLocale*>(&m_locale);
        case SERVICE_STRING_ALLOCATOR:
            return static_cast<IStrMemAlloc*>(&m_allocator);
        default:
            return nullptr;
        }
    }

private:
    CStrMemAllocator m_allocator;
    CInfoLocale m_locale;
};

CHostStandIn& StandIn()
{
    static CHostStandIn* p = new CHostStandIn;  // lives as long as the process
    return *p;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) unsigned Execution(unsigned nCommand, uintptr_t nArgument)
{
    switch (nCommand) {
    case EXECUTION_SERVICE:
        return static_cast<unsigned>(reinterpret_cast<uintptr_t>(StandIn().pService(static_cast<unsigned>(nArgument))));
    default:
        return 0;
    }
}

extern "C" __attribute__((visibility("default"))) IHostStandIn* HostStandIn_piControl()
{
    return &StandIn();
}
