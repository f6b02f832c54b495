// The stand-in engine key service handed out by IHostStandIn::pKeyService.
// Its Unicode key builder writes each UTF-16 unit most significant byte
// first (nMode 1: in the machine's order), so that memcmp orders the keys
// like the texts by their UTF-16 units; bOption40 lowers the case of
// Latin letters and bOption20 drops the accents of Latin-1 letters first.
// It writes at most nUnits - 1 units and a 0 unit, and stops at a 0
// character; a pair that does not fit whole is left out.
//
// Tests reach the call log by casting the builder to IHostUnicodeKey.
#pragma once

#include "common/values/KXForNA.h"

// One call received by the builder.
struct HostKeyCall {
    int nSlot;          // 17 or 18
    unsigned nUnits;
    unsigned nChars;
    int bOption40;
    int bOption20;
    int nMode;
};

class IHostUnicodeKey : public IKXUnicodeKey {
public:
    virtual int nCalls() = 0;             // 19
    virtual HostKeyCall LastCall() = 0;   // 20
    virtual void ClearCalls() = 0;        // 21

protected:
    ~IHostUnicodeKey() = default;
};

// The stand-in's one service (inside the runtime library only).
IKXForNA* HostKeyService();
