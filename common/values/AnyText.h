// Treatments of the host's text types: single characters, texts held by
// plain heap pointer, texts held as host string references, and the inline
// date and time texts. Wide characters are 32 bits. Each keeps the slot
// order of CAny_Intern; the pointer texts add three slots after it.
#pragma once

#include "common/values/Any.h"

// ---- Single characters ----------------------------------------------------------------

// One 8-bit character and a 0 byte.
class CAny_TQCARA : public CAny_Intern {
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
    int nGetPCASTR(const char** ppsz) const override;
    int nGetSTRLEN(unsigned int* pnLen) const override;
    int nGetUtilDataSize(unsigned int* pnSize) const override;
    using CAny_Intern::SetValueFromUNICODE;
    void SetValueFromUNICODE(const void* p) override;
    void SetValueFromUNICODE_CP(int nCodePage, const void* p) override;
    void SetValueFromUNICODE_CP(int nCodePage, const void* p, unsigned int n) override;
};

// One wide character and a 0 character.
class CAny_TQCARW : public CAny_Intern {
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
    int nGetPCWSTR(const wchar_t** ppsz) const override;
    int nGetSTRLEN(unsigned int* pnLen) const override;
    int nGetUtilDataSize(unsigned int* pnSize) const override;
    void SetValueFromANSI(const void* p) override;
    void SetValueFromANSI(const void* p, unsigned int n) override;
    void SetValueFromANSI_CP(int nCodePage, const void* p) override;
    void SetValueFromANSI_CP(int nCodePage, const void* p, unsigned int n) override;

    // The character from at most one UTF-16 unit (0 when n < 1); values of
    // other types than 81 are left alone.
    static void s_SetFromUTF16(CAny* pclAny, const unsigned short* p, int n);
};

// ---- Texts held by heap pointer ---------------------------------------------------------

// Pointer to a C-heap text owned by the value (STR_Delete*); null is the
// empty text. CODE is the host type code.
template <class T, unsigned short CODE>
class CAny_TQPSTRT : public CAny_Intern {
public:
    ~CAny_TQPSTRT() override;
    void Duplique(CAny* pclCible) const override;
    int nGetSize(unsigned int* pnSize) const override;
    int nGetAdr(void** ppAdr) const override;
    int nFillBuffer(void* pBuffer) const override;
    int nGetDataSize(unsigned int* pnSize) const override;
    int nGetDataAdr(void** ppAdr) const override;
    int nFillDataBuffer(void* pBuffer) const override;
    void SetValue(const void* p) override;
    // n in bytes: n / sizeof(T) characters.
    void SetValue(const void* p, unsigned int n) override;
    int nGetPCASTR(const char** ppsz) const override;
    int nGetPCWSTR(const wchar_t** ppsz) const override;
    int nGetSTRLEN(unsigned int* pnLen) const override;
    int nGetUtilDataSize(unsigned int* pnSize) const override;
    int nFillUtilDataBuffer(void* pBuffer) const override;
    // Option bit 0: a cleared buffer of n characters holding at most n
    // characters of p; otherwise __CreateStr(p, n).
    void SetValueOption(const void* p, unsigned int n, unsigned int nOption) override;

    // Slot 28: a heap copy of p (null for a null or empty p).
    virtual void __CreateStr(const T* p);
    // Slot 29: a heap copy of at most n characters of p, never read past
    // its terminator (null for a null or empty result).
    virtual void __CreateStr(const T* p, unsigned int n);
    // Slot 30: frees the text.
    virtual void __DeleteStr();

protected:
    T* _pszGet() const;
    void _Set(T* psz);
    const T* _pszTexte() const;
    // Replaces the text by a copy of at most n characters of p (p may be
    // the current text).
    void _Remplace(const T* p, unsigned int n);
};

extern template class CAny_TQPSTRT<char, TQTYPE_PSTRA>;
extern template class CAny_TQPSTRT<wchar_t, TQTYPE_PSTRW>;

// 8-bit text by pointer (18).
class CAny_TQPSTRA : public CAny_TQPSTRT<char, TQTYPE_PSTRA> {};

// Wide text by pointer (110).
class CAny_TQPSTRW : public CAny_TQPSTRT<wchar_t, TQTYPE_PSTRW> {
public:
    // 8-bit text converted from Windows-1252 (or the given code page; -1
    // is the host's current one); n in bytes.
    void SetValueFromANSI(const void* p) override;
    void SetValueFromANSI(const void* p, unsigned int n) override;
    void SetValueFromANSI_CP(int nCodePage, const void* p) override;
    void SetValueFromANSI_CP(int nCodePage, const void* p, unsigned int n) override;

    // An owned text of n characters, one per UTF-16 unit, in place of the
    // former one; values of other types than 110 are left alone. n < 1
    // gives the empty text.
    static void s_SetFromUTF16(CAny* pclAny, const unsigned short* p, int n);

private:
    void _SetFromAnsi(unsigned int nCodePage, const char* p, unsigned int n);
};

// ---- Texts held as host string references ------------------------------------------------

// A CXYString<T> reference (one block pointer, null for the empty text).
template <class T, unsigned short CODE>
class CAny_TQDSTRT : public CAny_Intern {
public:
    ~CAny_TQDSTRT() override;
    void Duplique(CAny* pclCible) const override;
    int nGetSize(unsigned int* pnSize) const override;
    int nGetAdr(void** ppAdr) const override;
    // The buffer is a CXYString<T>: it drops what it held and shares this
    // value's block.
    int nFillBuffer(void* pBuffer) const override;
    int nGetDataSize(unsigned int* pnSize) const override;
    int nGetDataAdr(void** ppAdr) const override;
    int nFillDataBuffer(void* pBuffer) const override;
    // p points to a CXYString<T>: the value shares its block.
    void SetValue(const void* p) override;
    // p is text: 8-bit n characters (-1: up to the terminator), wide n bytes.
    void SetValue(const void* p, unsigned int n) override;
    int nGetPCASTR(const char** ppsz) const override;
    int nGetPCWSTR(const wchar_t** ppsz) const override;
    int nGetSTRLEN(unsigned int* pnLen) const override;
    int nGetUtilDataSize(unsigned int* pnSize) const override;
    int nFillUtilDataBuffer(void* pBuffer) const override;

    // Sets the text to the first n characters of p; an exclusively held
    // block is reused, a shared one left to its other holders. 0, or 108
    // (too long) or the allocator's status with the value unchanged.
    static int s_nSetTexte(CAny* pclAny, const T* p, long long n);

protected:
    CXYString<T>& _clTexte() const;
};

extern template class CAny_TQDSTRT<char, TQTYPE_DSTRA>;
extern template class CAny_TQDSTRT<wchar_t, TQTYPE_DSTRW>;

// 8-bit host string (19).
class CAny_TQDSTRA : public CAny_TQDSTRT<char, TQTYPE_DSTRA> {};

// Wide host string (16).
class CAny_TQDSTRW : public CAny_TQDSTRT<wchar_t, TQTYPE_DSTRW> {
public:
    // 8-bit text converted from the host's current code page, or from the
    // given one (-1: the current one); n in bytes, -1 up to the terminator.
    void SetValueFromANSI(const void* p) override;
    void SetValueFromANSI(const void* p, unsigned int n) override;
    void SetValueFromANSI_CP(int nCodePage, const void* p) override;
    void SetValueFromANSI_CP(int nCodePage, const void* p, unsigned int n) override;

    // The text becomes n wide characters, one per UTF-16 unit (n < 1: the
    // empty text). 0; 105 for a value of another type than 16; 108 when too
    // long or the allocator's status, with the value unchanged.
    static int s_SetFromUTF16(CAny* pclAny, const unsigned short* p, int n);
};

// ---- Inline date and time texts ---------------------------------------------------------

// Up to N characters and a terminator inside the value area. Dates have a
// fixed useful size (N characters), times their length.
template <class T, unsigned short CODE, unsigned N, bool UTIL_LENGTH>
class CAny_TQTexteFixe : public CAny_Intern {
public:
    void Duplique(CAny* pclCible) const override;
    int nGetSize(unsigned int* pnSize) const override;
    int nGetAdr(void** ppAdr) const override;
    int nFillBuffer(void* pBuffer) const override;
    int nGetDataSize(unsigned int* pnSize) const override;
    int nGetDataAdr(void** ppAdr) const override;
    int nFillDataBuffer(void* pBuffer) const override;
    // At most N characters of p, stopping at its terminator.
    void SetValue(const void* p) override;
    // The same, also at most n characters.
    void SetValue(const void* p, unsigned int n) override;
    int nGetPCASTR(const char** ppsz) const override;
    int nGetPCWSTR(const wchar_t** ppsz) const override;
    int nGetSTRLEN(unsigned int* pnLen) const override;
    int nGetUtilDataSize(unsigned int* pnSize) const override;
    int nFillUtilDataBuffer(void* pBuffer) const override;

protected:
    T* _pszTexte() const { return reinterpret_cast<T*>(_pbyValeur()); }
    unsigned _nLongueur() const;
    void _Copie(const T* p, unsigned int nMax);
};

extern template class CAny_TQTexteFixe<char, TQTYPE_DATEA, 8, false>;
extern template class CAny_TQTexteFixe<char, TQTYPE_TIMEA, 9, true>;
extern template class CAny_TQTexteFixe<wchar_t, TQTYPE_DATEW, 8, false>;
extern template class CAny_TQTexteFixe<wchar_t, TQTYPE_TIMEW, 9, true>;

// 8-bit date text YYYYMMDD (128).
class CAny_TQDATEA : public CAny_TQTexteFixe<char, TQTYPE_DATEA, 8, false> {
public:
    using CAny_Intern::SetValueFromUNICODE;
    // Wide text narrowed to Windows-1252.
    void SetValueFromUNICODE(const void* p) override;
};

// 8-bit time text HHMMSSCCC (129).
class CAny_TQTIMEA : public CAny_TQTexteFixe<char, TQTYPE_TIMEA, 9, true> {
public:
    using CAny_Intern::SetValueFromUNICODE;
    void SetValueFromUNICODE(const void* p) override;
};

// Wide date text (24).
class CAny_TQDATEW : public CAny_TQTexteFixe<wchar_t, TQTYPE_DATEW, 8, false> {
public:
    // 8-bit text widened from Windows-1252; n in bytes.
    void SetValueFromANSI(const void* p) override;
    void SetValueFromANSI(const void* p, unsigned int n) override;
};

// Wide time text (25).
class CAny_TQTIMEW : public CAny_TQTexteFixe<wchar_t, TQTYPE_TIMEW, 9, true> {
public:
    void SetValueFromANSI(const void* p) override;
    void SetValueFromANSI(const void* p, unsigned int n) override;
};
