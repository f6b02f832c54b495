// A connection of no back end that opens without a server (or fails when
// told to) and counts what it went through, for the tests of the driver's
// registries and of its SQL interface.
#pragma once

#include "access/driver/NAConnectionDescription.h"
#include "access/driver/NAError.h"
#include "common/platform/MyModuleInfo.h"

// What the counting connections of one test went through.
struct STConnectionCounts {
    int nMade = 0;
    int nDestroyed = 0;
    int nOpens = 0;
    int nCloses = 0;
    bool bFailOpen = false;
};

class CCountingConnection : public CNAConnectionDescription {
public:
    CCountingConnection(const wchar_t* pszId, INAConnectionDescription* pi, STConnectionCounts* pst)
        : CNAConnectionDescription(pszId, pi), m_pstCounts(pst)
    {
        m_pstCounts->nMade++;
    }
    ~CCountingConnection() override { m_pstCounts->nDestroyed++; }
    // A refused opening is user error 79 at 101.1.
    int bOpen(CNAError* pError) override
    {
        if (m_bOpen)
            return 1;
        if (m_pstCounts->bFailOpen) {
            pError->RaiseUserError(NA_ERRORTYPE_GENERAL, 101, 1, this, nullptr, nullptr, ZTERR_CONNECT);
            return 0;
        }
        m_bOpen = true;
        m_pstCounts->nOpens++;
        return 1;
    }
    int bIsOpen() override { return m_bOpen; }
    int bClose(CNAError*) override
    {
        m_bOpen = false;
        m_pstCounts->nCloses++;
        return 1;
    }
    void _InitKX2NativeType() override {}

protected:
    STConnectionCounts* m_pstCounts;
    bool m_bOpen = false;
};
