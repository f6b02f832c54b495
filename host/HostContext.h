// Stand-in for a host context: the two numbers the driver asks of it.
#pragma once

#include "access/driver/INAContext.h"

class CHostContext : public INAContext {
public:
    CHostContext(unsigned int nDataAccessKey, unsigned int nContextNumber)
        : m_nDataAccessKey(nDataAccessKey), m_nContextNumber(nContextNumber)
    {
    }

    void Reserved1() override {}
    void Reserved2() override {}
    void Reserved3() override {}
    void Reserved4() override {}
    void Reserved5() override {}
    void Reserved6() override {}
    void Reserved7() override {}
    unsigned int dwGetDataAccessKey() override { return m_nDataAccessKey; }
    unsigned int dwGetContextNumber() override { return m_nContextNumber; }

private:
    unsigned int m_nDataAccessKey;
    unsigned int m_nContextNumber;
};
