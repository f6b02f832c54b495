// Test access to the host stand-in: loaded once per test program with its
// services bound to the module's statics, as the runtime would hand them over.
#pragma once

#include "host/HostStandIn.h"

#include <gtest/gtest.h>

// Tests: the stand-in keeps its accounts (live blocks, the value machine's
// calls) from its loading on. Benchmarks: the stand-in as fast as the host,
// without them.
IHostStandIn& TestHost();
IHostStandIn& TimedHost();

// Checks that a scope gives back every host block it allocated.
class CLiveBlockCheck {
public:
    CLiveBlockCheck() : m_nStart(TestHost().nLiveBlocks()), m_nBadFrees(TestHost().nBadFrees()) {}
    ~CLiveBlockCheck()
    {
        EXPECT_EQ(TestHost().nLiveBlocks(), m_nStart) << "host blocks leaked or freed twice";
        EXPECT_EQ(TestHost().nBadFrees(), m_nBadFrees) << "unknown host blocks freed";
    }

private:
    int m_nStart;
    int m_nBadFrees;
};
