// The host's decimal numbers and the object factory that makes them. Both
// live in the host's value machine; the module reaches them only through
// their virtual slots, so the slot order is the contract with the host:
// reserved slots keep the places of operations the module never calls, and
// neither interface has a virtual destructor (it would take two slots).
#pragma once

#include <cstddef>

class IDecimal {
public:
    // Largest number of digits of a decimal.
    static constexpr int MAX_DIGITS = 38;
    // Size of the data form (slots 5 and 6) and of the key (slot 7).
    static constexpr int DATA_SIZE = 18;
    static constexpr int KEY_SIZE = 32;

    // Storage size in bytes of a decimal of n digits, n from 0 to 38 (0
    // counts as the largest).
    static const unsigned char mg_PToN[MAX_DIGITS + 1];

    virtual const void* pGetData() = 0;                                     // 0
    virtual unsigned nGetDataSize() = 0;                                    // 1
    // Sets the number from the bytes of a precision and scale (slot 19's form).
    virtual int nSetBytes(const void* p, int nPrecision, int nScale) = 0;   // 2
    virtual void Reserved3() = 0;                                           // 3
    virtual void Reserved4() = 0;                                           // 4
    // The 18-byte data form.
    virtual int nGetDataForm(void* p) = 0;                                  // 5
    virtual int nSetDataForm(const void* p) = 0;                            // 6
    // The 32-byte sortable key.
    virtual int nGetKey(void* p) = 0;                                       // 7
    virtual void Reserved8() = 0;                                           // 8
    virtual int nSetDecimal(const IDecimal* pOther) = 0;                    // 9
    virtual void Reserved10() = 0;                                          // 10
    virtual void Reserved11() = 0;                                          // 11
    virtual void Reserved12() = 0;                                          // 12
    virtual void Reserved13() = 0;                                          // 13
    virtual void Reserved14() = 0;                                          // 14
    virtual void Reserved15() = 0;                                          // 15
    virtual void Reserved16() = 0;                                          // 16
    virtual void Reserved17() = 0;                                          // 17
    virtual void Reserved18() = 0;                                          // 18
    // The bytes of the number at a precision and scale.
    virtual int nGetBytes(void* p, int nPrecision, int nScale) = 0;         // 19
    virtual void Reserved20() = 0;                                          // 20
    virtual int nGetDigits() = 0;                                           // 21
    virtual int nGetDecimals() = 0;                                         // 22
    virtual bool bIsNegative() = 0;                                         // 23
    virtual int nRescale(int nPrecision, int nScale) = 0;                   // 24
    // The smallest and largest decimals, and the number back from its key
    // (slot 7's form).
    virtual void SetToMin() = 0;                                            // 25
    virtual void SetToMax() = 0;                                            // 26
    virtual int nSetKey(const void* p) = 0;                                 // 27

protected:
    ~IDecimal() = default;
};

// The value machine's object factory ("pQueryProxy" service 102).
class IVMFactory {
public:
    // Kind 0 is a decimal; null when the object cannot be made.
    virtual IDecimal* piCreateObject(int nKind) = 0;                        // 0
    virtual void ReleaseObject(IDecimal* pObject) = 0;                      // 1

protected:
    ~IVMFactory() = default;
};

// Null until the host hands its value machine over; decimal values made
// before then hold no object.
extern IVMFactory* gpiVMFactory;
