// Checks of the calls made to the stand-in's locale service, and scopes that
// change its current settings or the service handed to the module.
#pragma once

#include "common/platform/InformationDLL.h"
#include "tests/support/TestHost.h"

#include <initializer_list>

// Expected calls (slot, identifier, flags, both lengths), then forgotten.
inline void ExpectLocaleCalls(std::initializer_list<HostLocaleCall> expected)
{
    ASSERT_EQ(TestHost().nLocaleCalls(), expected.size());
    std::size_t i = 0;
    for (const HostLocaleCall& e : expected) {
        SCOPED_TRACE(testing::Message() << "locale call " << i);
        const HostLocaleCall c = TestHost().LocaleCall(i++);
        EXPECT_EQ(c.nSlot, e.nSlot);
        EXPECT_EQ(c.nLCID, e.nLCID);
        EXPECT_EQ(c.nFlags, e.nFlags);
        EXPECT_EQ(c.nSrcLen, e.nSrcLen);
        EXPECT_EQ(c.nOtherLen, e.nOtherLen);
    }
    TestHost().ClearLocaleCalls();
}

// The same, reporting the line of the check.
#define EXPECT_LOCALE_CALLS(...)                   \
    do {                                           \
        SCOPED_TRACE("locale calls checked here"); \
        ExpectLocaleCalls(__VA_ARGS__);            \
    } while (0)

// Slot 4, the current locale identifier.
const HostLocaleCall kGetCurrentLCID = {4, 0, 0, 0, 0};

// Current settings for a scope; the stand-in's defaults come back after.
class CCurrentLocale {
public:
    CCurrentLocale(int nCharset, unsigned nCodePage, unsigned nLCID)
    {
        TestHost().SetCurrent(nCharset, nCodePage, nLCID);
        TestHost().ClearLocaleCalls();
    }
    ~CCurrentLocale() { TestHost().SetCurrent(0, 1252, 1036); }
};

// Another locale service (null: none handed over yet) for a scope.
class CLocaleServiceSwap {
public:
    explicit CLocaleServiceSwap(IInfoLocale* p) : m_p(CInformationDLL::ms_piInfoLocale)
    {
        CInformationDLL::ms_piInfoLocale = p;
    }
    ~CLocaleServiceSwap() { CInformationDLL::ms_piInfoLocale = m_p; }

private:
    IInfoLocale* m_p;
};
