// A counted object that notes its destruction, for the tests of holders.
#pragma once

#include "common/platform/ZTUnknown.h"

class CCounted : public CZTUnknown {
public:
    // *pnDestroyed goes up by one when the object is destroyed.
    explicit CCounted(int* pnDestroyed) : m_pnDestroyed(pnDestroyed) {}
    ~CCounted() override { (*m_pnDestroyed)++; }

private:
    int* m_pnDestroyed;
};
