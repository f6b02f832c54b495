// One host value inside a reference-counted driver object, with the
// operations every layer of the driver uses on it. The value cell derives
// from it and moves the value bytes elsewhere (caller's buffer, own buffer):
// the virtual operations below are the ones the cell redefines, and the
// plain operations reach the bytes through them where they must.
#pragma once

#include "access/driver/Interf.h" // a value holder is a driver object
#include "common/values/Any.h"
#include "common/values/ItemType.h"

class CNAConnectionDescription;
class CNAConvertVariant;
class CNAError;
class CTString;
struct CMoney;
template <class T>
class CXYString;

class CNAVariant : public CInterf {
public:
    CNAVariant();
    CNAVariant(const CNAVariant&) = delete;
    CNAVariant& operator=(const CNAVariant&) = delete;

    // ---- Virtual operations, in slot order (0 to 2 are CInterf's) ----------
    ~CNAVariant() override;
    // Converts the held value in place; the int is not used here.
    virtual int vbChangeTQType(unsigned short nType, int bUnused);
    virtual int vbGetValue(CAny* pclDest) const;
    virtual int vbIsEmpty() const;
    virtual void* vpGetData() const;
    virtual unsigned int vnGetSize() const;
    // The holder has no connection.
    virtual CNAConnectionDescription* pclGetCnx();

    // ---- Access -------------------------------------------------------------
    CAny* pclGetValue() { return &m_clValue; }
    const CAny* pclGetValue() const { return &m_clValue; }
    int bGetValue(CAny** ppclValue);
    int bGetValue(const CAny** ppclValue) const;
    // Null for the empty type.
    void* pGetData() const;
    unsigned int nGetSize() const;
    unsigned int nGetUtilDataSize() const;
    eNA_ITEMTYPE eNAGetItemTypeValue() const;
    int bChangeItemType(eNA_ITEMTYPE eType, int nGeneric);

    // ---- Setters: the value takes the argument's host type, NULL cleared -----
    int bSetValue(bool b);
    int bSetValue(unsigned char n);
    int bSetValue(unsigned short n);
    int bSetValue(unsigned int n);
    int bSetValue(unsigned long long n);
    int bSetValue(char n);
    int bSetValue(short n);
    int bSetValue(int n);
    int bSetValue(long long n);
    int bSetValue(const CMoney& m);
    int bSetValue(float f);
    int bSetValue(double d);
    // Raw bytes for the current host type.
    int bSetValue(const unsigned char* p, unsigned int n);
    // A duplicate of the source, its type and flags included.
    int bSetValue(const CAny* pclSource);
    int bGetValue(CAny* pclDest) const;
    // Without a source the value becomes NULL and keeps its host type.
    int bCopyVariant(const CNAVariant* pclSource);
    // A new cell from the driver's factory holding a copy; null when none.
    CNAConvertVariant* pclGetCloneVariant() const;

    // ---- Comparisons ----------------------------------------------------------
    int bEqualsNAVariant(const CAny* pclOther) const;
    int bEqualsNAVariant(const CNAVariant* pclOther) const;
    // An absent cell counts as NULL.
    static int g_bEqualsNAVariant(const CNAConvertVariant* a, const CNAConvertVariant* b);
    int nCmp(const CAny* pclOther) const;
    int nCmp(const CNAVariant* pclOther) const;

    // ---- Tests ------------------------------------------------------------------
    int bIsEmptyString() const;
    // Also the date and time texts.
    int bIsEmptyStringEx() const;
    int bIsNumeric0() const;
    // Values the host engine may store as NULL.
    int bCouldBeNullOnKX() const;

    // ---- Other --------------------------------------------------------------------
    unsigned int nChecksum32() const;
    // Sum of the 32-bit words in host order, then of the trailing bytes,
    // modulo 2^32; 0 for no bytes.
    static unsigned int s_nChecksum32(const void* p, unsigned int nSize);
    int bGetDecimalInfo(int* pnDigits, int* pnDecimals) const;
    void GetString(CXYString<wchar_t>* pclOut, const wchar_t* pszFormat, int n) const;
    void GetString(CTString* pclOut, const wchar_t* pszFormat, int n) const;

    // ---- Files ----------------------------------------------------------------------
    // The value's bytes into the file (created or emptied); failures to
    // open are recorded in err (which may be null).
    int bStoreFile(const wchar_t* pszPath, CNAError* pclError);
    // The file's content as 8-bit text, or as a binary when bBinary.
    int bLoadFile(const wchar_t* pszPath, CNAError* pclError, int bBinary);
    static int gbStoreFile(CAny* pclValue, const wchar_t* pszPath, CNAError* pclError);
    static int gbLoadFile(CAny* pclValue, const wchar_t* pszPath, CNAError* pclError, int bBinary);

    // Host type groups (low byte of the type word).
    static bool s_bIsText8(unsigned char nType);
    static bool s_bIsTextW(unsigned char nType);

protected:
    // The test of bIsEmptyString on bytes known to hold at least nBound
    // bytes; a wide text of 16-bit units when bUTF16.
    static int _s_bIsEmptyText(unsigned char nType, const void* p, unsigned int nBound, bool bEx, bool bUTF16);
    int _bSetTyped(unsigned short nType, const void* p);

    CAny m_clValue;
};
