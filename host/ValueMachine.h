// The stand-in runtime's value machine: the converter, the object factory
// with its decimal objects and the operators that the module binds by name
// from the runtime's library handle. The machine works on value areas and
// type words only (the 40-byte area of a host value and its type code), as
// the runtime does; the module's own code is not linked into it.
//
// Tests read the machine's accounting through the control entry below and
// turn the recording of calls on.
#pragma once

#include <cstddef>

// One call the machine received, as the caller passed it.
struct HostVMCall {
    char szName[32];            // the entry's exported name
    unsigned short nType1;      // first type (byte or word, as passed)
    unsigned short nType2;      // second type, or the conversion's target
    unsigned nOption;           // the option word
    const void* pOptions;       // the converter's options record (or null)
    int nReserved;              // the operators' last argument
};

class IHostValueMachine {
public:
    // Decimal objects made (by the factory or as results) and not given back.
    virtual int nLiveDecimals() = 0;
    // Objects given back to the factory that it did not make, or twice.
    virtual int nBadReleases() = 0;
    // Calls received by every entry, and the latest ones (0 the last, up to
    // HOSTVM_RECENT_CALLS - 1 back; an empty record beyond).
    virtual int nCalls() = 0;
    virtual HostVMCall RecentCall(int nBack) = 0;
    // Calls are recorded only while a test asks for it (off at the start).
    virtual void RecordCalls(bool bOn) = 0;

protected:
    ~IHostValueMachine() = default;
};

constexpr int HOSTVM_RECENT_CALLS = 8;

extern "C" typedef IHostValueMachine* (*PFN_HOSTVM_CONTROL)();
#define HOSTVM_CONTROL_ENTRY "HostVM_piControl"

// Failure statuses of the machine besides the host value statuses (102 the
// empty value, 105 not handled, 108 text too long, 110 invalid date, 112
// duration text too short).
enum : int {
    HOSTVM_OVERFLOW = 106,       // a result outside the target type's range
    HOSTVM_NOT_A_NUMBER = 107,   // a text that does not read as a number
    HOSTVM_DIVIDE_BY_ZERO = 109,
};
