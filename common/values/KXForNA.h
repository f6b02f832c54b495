// The host data engine's key service, handed to the driver with bSetKX. The
// module reaches it only through the virtual slots below, so the slot order
// is the contract with the host: reserved slots keep the places of
// operations the module never calls, and neither interface has a virtual
// destructor (it would take two slots).
#pragma once

// The engine's Unicode key builder: writes the key of a text as UTF-16 units
// whose bytes, in memory order, compare like the texts, ended by a 0 unit
// within nUnits. bOption40 and bOption20 pass the key's option bits 0x40 and
// 0x20; nMode 1 asks for units in the machine's own byte order instead.
class IKXUnicodeKey {
public:
    virtual void Reserved0() = 0;   // 0
    virtual void Reserved1() = 0;   // 1
    virtual void Reserved2() = 0;   // 2
    virtual void Reserved3() = 0;   // 3
    virtual void Reserved4() = 0;   // 4
    virtual void Reserved5() = 0;   // 5
    virtual void Reserved6() = 0;   // 6
    virtual void Reserved7() = 0;   // 7
    virtual void Reserved8() = 0;   // 8
    virtual void Reserved9() = 0;   // 9
    virtual void Reserved10() = 0;  // 10
    virtual void Reserved11() = 0;  // 11
    virtual void Reserved12() = 0;  // 12
    virtual void Reserved13() = 0;  // 13
    virtual void Reserved14() = 0;  // 14
    virtual void Reserved15() = 0;  // 15
    virtual void Reserved16() = 0;  // 16
    // From nChars UTF-16 units; answers the units written before the 0 unit.
    virtual int nKeyFromUTF16(unsigned short* pKey, unsigned int nUnits, const unsigned short* pText,
                              unsigned int nChars, int bOption40, int bOption20, int nMode) = 0;  // 17
    // From nChars 32-bit characters.
    virtual int nKeyFromUTF32(unsigned short* pKey, unsigned int nUnits, const wchar_t* pText,
                              unsigned int nChars, int bOption40, int bOption20, int nMode) = 0;  // 18

protected:
    ~IKXUnicodeKey() = default;
};

class IKXForNA {
public:
    virtual void Reserved0() = 0;  // 0
    virtual void Reserved1() = 0;  // 1
    virtual void Reserved2() = 0;  // 2
    virtual void Reserved3() = 0;  // 3
    virtual void Reserved4() = 0;  // 4
    virtual void Reserved5() = 0;  // 5
    virtual void Reserved6() = 0;  // 6
    // The Unicode key builder, null when the engine has none.
    virtual IKXUnicodeKey* piGetUnicodeKey() = 0;  // 7

protected:
    ~IKXForNA() = default;
};
