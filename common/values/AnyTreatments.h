// Treatments of the fixed-size host types (booleans, integers, reals,
// currency, decimal, date-time, duration) and of the types held by
// reference (binaries, caller buffers, arrays of values, host objects).
// Each keeps the slot order of CAny_Intern and adds no virtual slot.
#pragma once

#include "common/values/Any.h"

#include <cstring>

// A T read from or written to any place of a value area, aligned or not.
template <class T>
inline T TQ_Lit(const void* p)
{
    T v;
    std::memcpy(&v, p, sizeof(v));
    return v;
}

template <class T>
inline void TQ_Ecrit(void* p, T v)
{
    std::memcpy(p, &v, sizeof(v));
}

// ---- Host objects held by values ------------------------------------------------------

// Counted host object (image memo, carrier, font): the count is the second
// 32-bit word, raised directly by the holders; slot 2 gives one count back.
class CObjetCompteHote {
public:
    virtual void Reserved0() = 0;  // 0
    virtual void Reserved1() = 0;  // 1
    virtual void Libere() = 0;     // 2

    int m_nCompte;

protected:
    ~CObjetCompteHote() = default;
};

// Reference-counted host object (types 108, 111, 141 to 143).
class IObjetHote {
public:
    virtual unsigned long AddRef() = 0;   // 0
    virtual unsigned long Release() = 0;  // 1
    virtual void Reserved2() = 0;
    virtual void Reserved3() = 0;
    virtual void Reserved4() = 0;
    virtual void Reserved5() = 0;
    virtual void Reserved6() = 0;
    virtual void Reserved7() = 0;
    virtual void Reserved8() = 0;
    virtual void Reserved9() = 0;
    virtual void Reserved10() = 0;
    virtual void Reserved11() = 0;
    virtual void Reserved12() = 0;
    virtual void Reserved13() = 0;
    virtual void Reserved14() = 0;
    virtual void Reserved15() = 0;
    virtual void Reserved16() = 0;
    virtual void Reserved17() = 0;
    virtual void Reserved18() = 0;
    virtual void Reserved19() = 0;
    virtual void Reserved20() = 0;
    virtual void Reserved21() = 0;
    virtual void Reserved22() = 0;
    virtual void Reserved23() = 0;
    virtual void Reserved24() = 0;
    virtual void Reserved25() = 0;
    virtual void Reserved26() = 0;
    virtual void Reserved27() = 0;
    virtual void Reserved28() = 0;
    virtual void Reserved29() = 0;
    virtual void Reserved30() = 0;
    virtual void Reserved31() = 0;
    virtual void Reserved32() = 0;
    virtual void Reserved33() = 0;
    virtual void Reserved34() = 0;
    virtual void Reserved35() = 0;
    virtual void Reserved36() = 0;
    virtual void Reserved37() = 0;
    virtual void Reserved38() = 0;
    virtual void Reserved39() = 0;
    virtual void Reserved40() = 0;
    virtual void Reserved41() = 0;
    virtual void Reserved42() = 0;
    virtual void Reserved43() = 0;
    virtual void Reserved44() = 0;
    virtual void Reserved45() = 0;
    virtual void Reserved46() = 0;
    virtual void Reserved47() = 0;
    virtual void Reserved48() = 0;
    // The object's own treatment interface.
    virtual void* piGetTraitement() = 0;  // 49

protected:
    ~IObjetHote() = default;
};

// ---- Scalars --------------------------------------------------------------------------

// Value of N bytes at the start of the value area; data is the value itself.
template <unsigned N>
class CAny_TQFixe : public CAny_Intern {
public:
    void Duplique(CAny* pclCible) const override;
    int nGetSize(unsigned int* pnSize) const override;
    int nGetAdr(void** ppAdr) const override;
    int nFillBuffer(void* pBuffer) const override;
    int nGetDataSize(unsigned int* pnSize) const override;
    int nGetDataAdr(void** ppAdr) const override;
    int nFillDataBuffer(void* pBuffer) const override;
    void SetValue(const void* p) override;
    void SetValue(const void* p, unsigned int n) override;
    int nGetUtilDataSize(unsigned int* pnSize) const override;
    int nFillUtilDataBuffer(void* pBuffer) const override;
};

class CAny_TQBOOL : public CAny_TQFixe<4> {
public:
    using CAny_TQFixe<4>::SetValue;
    void SetValue(const void* p, unsigned int n) override;
};

class CAny_TQUI1 : public CAny_TQFixe<1> {
public:
    int nIncremente() override;
    int nDecremente() override;
};

class CAny_TQUI2 : public CAny_TQFixe<2> {
public:
    int nIncremente() override;
    int nDecremente() override;
};

class CAny_TQUI4 : public CAny_TQFixe<4> {
public:
    int nIncremente() override;
    int nDecremente() override;
};

class CAny_TQUI8 : public CAny_TQFixe<8> {
public:
    int nIncremente() override;
    int nDecremente() override;
};

class CAny_TQI1 : public CAny_TQFixe<1> {
public:
    bool bIsPositive() const override;
    int nIncremente() override;
    int nDecremente() override;
};

class CAny_TQI2 : public CAny_TQFixe<2> {
public:
    bool bIsPositive() const override;
    int nIncremente() override;
    int nDecremente() override;
};

class CAny_TQI4 : public CAny_TQFixe<4> {
public:
    bool bIsPositive() const override;
    int nIncremente() override;
    int nDecremente() override;
};

class CAny_TQI8 : public CAny_TQFixe<8> {
public:
    bool bIsPositive() const override;
    int nIncremente() override;
    int nDecremente() override;
};

// 32-bit integer whose increments have the signed range.
class CAny_TQUIX : public CAny_TQFixe<4> {
public:
    int nIncremente() override;
    int nDecremente() override;
};

class CAny_TQR4 : public CAny_TQFixe<4> {
public:
    bool bIsPositive() const override;
    int nIncremente() override;
    int nDecremente() override;
};

class CAny_TQR8 : public CAny_TQFixe<8> {
public:
    bool bIsPositive() const override;
    int nIncremente() override;
    int nDecremente() override;
};

// Currency (CMoney, 10 bytes).
class CAny_TQCY : public CAny_TQFixe<10> {
public:
    bool bIsPositive() const override;
    int nIncremente() override;
    int nDecremente() override;
};

class CAny_TQDATETIME : public CAny_TQFixe<8> {};

class CAny_TQDUREE : public CAny_TQFixe<8> {};

// Pointer to a host decimal object (null before the value machine is bound).
class CAny_TQDECIMAL : public CAny_Intern {
public:
    ~CAny_TQDECIMAL() override;
    void Duplique(CAny* pclCible) const override;
    int nGetSize(unsigned int* pnSize) const override;
    int nGetAdr(void** ppAdr) const override;
    int nFillBuffer(void* pBuffer) const override;
    int nGetDataSize(unsigned int* pnSize) const override;
    int nGetDataAdr(void** ppAdr) const override;
    int nFillDataBuffer(void* pBuffer) const override;
    void SetValue(const void* p) override;
    void SetValue(const void* p, unsigned int n) override;
    bool bIsPositive() const override;
    int nGetUtilDataSize(unsigned int* pnSize) const override;
    int nFillUtilDataBuffer(void* pBuffer) const override;
};

// ---- Values held by reference ----------------------------------------------------------

// Host binary: a CTQBIN reference at the start of the value area.
class CAny_TQBIN : public CAny_Intern {
public:
    ~CAny_TQBIN() override;
    void Duplique(CAny* pclCible) const override;
    int nGetSize(unsigned int* pnSize) const override;
    int nGetAdr(void** ppAdr) const override;
    int nFillBuffer(void* pBuffer) const override;
    int nGetDataSize(unsigned int* pnSize) const override;
    int nGetDataAdr(void** ppAdr) const override;
    int nFillDataBuffer(void* pBuffer) const override;
    void SetValue(const void* p) override;
    void SetValue(const void* p, unsigned int n) override;
    int nGetUtilDataSize(unsigned int* pnSize) const override;
    int nFillUtilDataBuffer(void* pBuffer) const override;
};

// A caller's buffer, not owned: pointer, then 32-bit byte count.
class CAny_TQBUFFER : public CAny_Intern {
public:
    void Duplique(CAny* pclCible) const override;
    int nGetSize(unsigned int* pnSize) const override;
    int nGetAdr(void** ppAdr) const override;
    int nFillBuffer(void* pBuffer) const override;
    int nGetDataSize(unsigned int* pnSize) const override;
    int nGetDataAdr(void** ppAdr) const override;
    int nFillDataBuffer(void* pBuffer) const override;
    void SetValue(const void* p) override;
    void SetValue(const void* p, unsigned int n) override;
    int nGetUtilDataSize(unsigned int* pnSize) const override;
    int nFillUtilDataBuffer(void* pBuffer) const override;
};

// Owned C-heap array of values: pointer, then 32-bit element count.
class CAny_TQTABANY : public CAny_Intern {
public:
    ~CAny_TQTABANY() override;
    void Duplique(CAny* pclCible) const override;
    int nGetSize(unsigned int* pnSize) const override;
    int nGetAdr(void** ppAdr) const override;
    int nFillBuffer(void* pBuffer) const override;
    int nGetDataSize(unsigned int* pnSize) const override;
    int nGetDataAdr(void** ppAdr) const override;
    int nFillDataBuffer(void* pBuffer) const override;
    void SetValue(const void* p) override;
    void SetValue(const void* p, unsigned int n) override;
    int nGetUtilDataSize(unsigned int* pnSize) const override;
    int nFillUtilDataBuffer(void* pBuffer) const override;

    // Makes pclAny a type-83 value owning the array (malloc'ed, nCount
    // elements) without copying it.
    static void s_SetDirect(CAny* pclAny, CAny* pTab, unsigned int nCount);
    // Destroys the nCount elements and frees the array.
    static void s_DeleteTab(CAny* pTab, unsigned int nCount);
};

// Pointer to a host object: the common accessors (size 4, the pointer).
class CAny_TQObjet : public CAny_Intern {
public:
    int nGetSize(unsigned int* pnSize) const override;
    int nGetAdr(void** ppAdr) const override;
    int nFillBuffer(void* pBuffer) const override;
    int nGetDataSize(unsigned int* pnSize) const override;
    int nGetDataAdr(void** ppAdr) const override;
    int nFillDataBuffer(void* pBuffer) const override;
    int nGetUtilDataSize(unsigned int* pnSize) const override;
    int nFillUtilDataBuffer(void* pBuffer) const override;
};

// Counted object (types 30, 50, 65).
class CAny_TQObjetCompte : public CAny_TQObjet {
public:
    ~CAny_TQObjetCompte() override;
    void Duplique(CAny* pclCible) const override;
    using CAny_TQObjet::SetValue;
    void SetValue(const void* p) override;
};

class CAny_TQMEMOIMG : public CAny_TQObjetCompte {};
class CAny_TQCONVOYEUR : public CAny_TQObjetCompte {};
class CAny_TQPOLICE : public CAny_TQObjetCompte {};

// Reference-counted object (types 108, 111, 141 to 143).
class CAny_TQObjetRef : public CAny_TQObjet {
public:
    ~CAny_TQObjetRef() override;
    using CAny_TQObjet::SetValue;
    void SetValue(const void* p) override;

protected:
    void _DupliqueObjet(CAny* pclCible, unsigned short nType) const;
};

class CAny_TQOBJET_BASE : public CAny_TQObjetRef {
public:
    void Duplique(CAny* pclCible) const override;
};

class CAny_TQDINO : public CAny_TQObjetRef {
public:
    void Duplique(CAny* pclCible) const override;
};
