// The host language's variant value. A value is a 16-bit type word, a
// treatment object for its type and a fixed value area; the host reads and
// writes values of this layout directly and calls the treatments' virtual
// slots, so the layout and the slot order are a binary contract.
//
// The treatment object has no data of its own: it is one vtable pointer
// embedded in the value, and its operations reach the type word and the
// value area of the value around it. Installing a type means constructing
// another treatment class in that place.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cwchar>
#include <new>
#include <type_traits>

class CAny;
struct STManipAUB;
struct STOCAW;
template <class T>
class CXYString;

// Host type codes (low byte of the type word).
enum : unsigned short {
    TQTYPE_VIDE = 0,
    TQTYPE_BOOL = 1,
    TQTYPE_UI1 = 2,
    TQTYPE_UI2 = 3,
    TQTYPE_UI4 = 4,
    TQTYPE_UI8 = 5,
    TQTYPE_I1 = 6,
    TQTYPE_I2 = 7,
    TQTYPE_I4 = 8,
    TQTYPE_I8 = 9,
    TQTYPE_CY = 10,
    TQTYPE_R4 = 11,
    TQTYPE_R8 = 12,
    TQTYPE_DECIMAL = 13,
    TQTYPE_UIX = 14,
    TQTYPE_I4BIS = 15,  // stored as 8
    TQTYPE_DSTRW = 16,
    TQTYPE_CARA = 17,
    TQTYPE_PSTRA = 18,
    TQTYPE_DSTRA = 19,
    TQTYPE_DATEW = 24,
    TQTYPE_TIMEW = 25,
    TQTYPE_DATETIME = 26,
    TQTYPE_DUREE = 27,
    TQTYPE_BIN = 28,
    TQTYPE_BUFFER = 29,
    TQTYPE_MEMOIMG = 30,
    TQTYPE_CONVOYEUR = 50,
    TQTYPE_POLICE = 65,
    TQTYPE_CARW = 81,
    TQTYPE_TABANY = 83,
    TQTYPE_OBJET = 108,
    TQTYPE_PSTRW = 110,
    TQTYPE_DINO = 111,
    TQTYPE_DATEA = 128,
    TQTYPE_TIMEA = 129,
    TQTYPE_OBJET141 = 141,
    TQTYPE_OBJET142 = 142,
    TQTYPE_OBJET143 = 143,
    TQTYPE_MAX = 143,
};

// Flags of the type word.
enum : unsigned short {
    TQFLAG_NULL = 0x100,
    TQFLAG_0400 = 0x400,  // carried with the value, never interpreted here
    TQFLAG_MASK = TQFLAG_NULL | TQFLAG_0400,
};

// Statuses of the value operations.
enum : int {
    TQSTATUS_OK = 0,
    TQSTATUS_RANGE = 1,         // an increment or decrement left the range
    TQSTATUS_NO_MEMORY = 100,   // out of memory (CXError::SetAnyError)
    TQSTATUS_EMPTY = 102,       // the empty value has nothing to give
    TQSTATUS_NULL = 103,        // an operand is NULL
    TQSTATUS_BIN_SIZE = 104,    // a binary of other than 8 bytes
    TQSTATUS_NOT_HANDLED = 105, // operation or type not handled
    TQSTATUS_TOO_LONG = 108,    // text too long for a host string
};

// Treatment of the empty value, and base of every treatment. The virtual
// slots, in order, are the host's: do not reorder, insert or remove.
class CAny_Intern {
public:
    CAny_Intern() = default;
    CAny_Intern(const CAny_Intern&) = delete;
    CAny_Intern& operator=(const CAny_Intern&) = delete;

    // Slots 0 and 1: release the value's storage. The deleting entry frees
    // nothing: it puts the empty treatment back in place.
    virtual ~CAny_Intern();
    virtual void Duplique(CAny* pclCible) const;                                            // 2
    virtual int nGetSize(unsigned int* pnSize) const;                                       // 3
    virtual int nGetAdr(void** ppAdr) const;                                                // 4
    virtual int nFillBuffer(void* pBuffer) const;                                           // 5
    virtual int nGetDataSize(unsigned int* pnSize) const;                                   // 6
    virtual int nGetDataAdr(void** ppAdr) const;                                            // 7
    virtual int nFillDataBuffer(void* pBuffer) const;                                       // 8
    virtual void SetValue(const void* p);                                                   // 9
    virtual void SetValue(const void* p, unsigned int n);                                   // 10
    virtual int nGetPCASTR(const char** ppsz) const;                                        // 11
    virtual int nGetPCWSTR(const wchar_t** ppsz) const;                                     // 12
    virtual int nGetSTRLEN(unsigned int* pnLen) const;                                      // 13
    virtual bool bIsPositive() const;                                                       // 14
    virtual int nGetUtilDataSize(unsigned int* pnSize) const;                               // 15
    virtual int nFillUtilDataBuffer(void* pBuffer) const;                                   // 16
    virtual int nIncremente();                                                              // 17
    virtual int nDecremente();                                                              // 18
    virtual void SetValueFromANSI(const void* p);                                           // 19
    virtual void SetValueFromANSI(const void* p, unsigned int n);                           // 20
    virtual void SetValueFromUNICODE(const void* p);                                        // 21
    virtual void SetValueFromUNICODE(const void* p, unsigned int n);                        // 22
    virtual void SetValueFromANSI_CP(int nCodePage, const void* p);                         // 23
    virtual void SetValueFromANSI_CP(int nCodePage, const void* p, unsigned int n);         // 24
    virtual void SetValueFromUNICODE_CP(int nCodePage, const void* p);                      // 25
    virtual void SetValueFromUNICODE_CP(int nCodePage, const void* p, unsigned int n);      // 26
    virtual void SetValueOption(const void* p, unsigned int n, unsigned int nOption);       // 27

    // Treatments live only inside values.
    static void* operator new(std::size_t) = delete;
    static void* operator new[](std::size_t) = delete;
    static void operator delete(void* p) noexcept;

protected:
    // The value that embeds this treatment, its value area and type word.
    CAny* _pclAny() const;
    unsigned char* _pbyValeur() const;
    unsigned short _nGetType() const;
    // Copy protocol shared by the treatments: the target takes nType, then
    // its SetValue(p) (its own copy or reference), then the source's flags.
    void _Duplique(CAny* pclCible, unsigned short nType, const void* p) const;
};

// The host value. No data member may move: the host shares this layout.
class CAny {
public:
    static constexpr std::size_t VALEUR_SIZE = 40;

    // The empty value.
    CAny() noexcept : m_dwReserve(0), m_nType(0), m_abyValeur{}
    {
        ::new (static_cast<void*>(m_abyTraitement)) CAny_Intern;
    }
    explicit CAny(unsigned short nType) : CAny() { __SetType(nType, 0); }
    ~CAny() { _Release(); }
    CAny(const CAny&) = delete;
    CAny& operator=(const CAny&) = delete;

    CAny_Intern* pclGetTraitement() const
    {
        return std::launder(reinterpret_cast<CAny_Intern*>(const_cast<unsigned char*>(m_abyTraitement)));
    }

    // The whole type word, its type code and its flags.
    unsigned short nGetType() const { return m_nType; }
    unsigned char nGetTypeCode() const { return static_cast<unsigned char>(m_nType); }
    bool bIsNull() const { return (m_nType & TQFLAG_NULL) != 0; }
    unsigned short nGetFlags() const { return m_nType & TQFLAG_MASK; }
    // Replaces both flags by those of nFlags.
    void SetFlags(unsigned short nFlags)
    {
        m_nType = static_cast<unsigned short>((m_nType & ~TQFLAG_MASK) | (nFlags & TQFLAG_MASK));
    }
    void SetNullFlag(bool bNull) { SetFlags(bNull ? (nGetFlags() | TQFLAG_NULL) : (nGetFlags() & ~TQFLAG_NULL)); }

    unsigned char* pbyGetValeur() { return m_abyValeur; }
    const unsigned char* pbyGetValeur() const { return m_abyValeur; }

    // Installs the treatment of nType (its old storage released first) and,
    // unless bNoInit, the type's initial content. Nothing happens when the
    // whole type word already equals nType.
    void __SetType(unsigned short nType, int bNoInit);

    // Direct reads of integers and reals (105 for other types).
    int nGetINT(int* pn) const;
    int nGetINT_64(long long* pll) const;
    int nGetBitField_64(unsigned long long& ull) const;
    int nGetREAL(double* pd) const;
    // The host string or binary block of a 16, 19 or 28 value.
    int nGetManipAUB(STManipAUB* pst) const;
    // The treatment interface of a 141 object, else null.
    void* piGetTraitement() const;
    // Makes the string block of a 16 or 19 value exclusively owned.
    int nUnshare();
    // Adopts a raw value area produced by the host: the old storage is
    // released once, the type installed without initialisation and the 40
    // bytes copied; the value owns what they point to from then on.
    void __TransfertValeurInterne(unsigned short nType, const unsigned char* pbyValeur);
    // An 8-byte binary becomes a duration or a date-time of the same bytes.
    int nCastFrom_BIN_DUREE_To_DUREE();
    int nCastFrom_BIN_DATEHEURE_To_DATEHEURE();

    // Conversions through the host's value machine.
    int __nCastTo(unsigned short nType, const STOCAW* pstOCAW, unsigned int nOption);
    int __nCastToString(const wchar_t** ppsz, const STOCAW* pstOCAW);
    int __nCastToString(const char** ppsz, const STOCAW* pstOCAW);
    int __nFillString(CXYString<wchar_t>& cl, const STOCAW* pstOCAW) const;
    int __nFillString(CXYString<char>& cl, const STOCAW* pstOCAW) const;
    int __nSetString(const wchar_t* psz, int nLength, const STOCAW* pstOCAW);
    static int __s_nCastTo(void* pTarget, const wchar_t* psz, unsigned short nType, const STOCAW* pstOCAW);

    // Releases the storage and leaves the empty treatment; the type word is
    // not changed.
    void _Release()
    {
        pclGetTraitement()->~CAny_Intern();
        ::new (static_cast<void*>(m_abyTraitement)) CAny_Intern;
    }

private:
    friend class CAny_Intern;
    friend struct CAnyLayout;

    // Installs the row of nCode over the empty treatment.
    void _Installe(unsigned char nCode, int bNoInit);

    std::uint32_t m_dwReserve;                                   // 0 when built, not read
    alignas(void*) unsigned char m_abyTraitement[sizeof(void*)]; // the treatment object
    unsigned short m_nType;                                      // type word
    alignas(4) unsigned char m_abyValeur[VALEUR_SIZE];          // value area
};

inline CAny* CAny_Intern::_pclAny() const
{
    return reinterpret_cast<CAny*>(reinterpret_cast<char*>(const_cast<CAny_Intern*>(this)) -
                                   offsetof(CAny, m_abyTraitement));
}
inline unsigned char* CAny_Intern::_pbyValeur() const { return _pclAny()->m_abyValeur; }
inline unsigned short CAny_Intern::_nGetType() const { return _pclAny()->m_nType; }

// Tables the host reads, indexed by host type code 0 to 143.
extern "C" __attribute__((visibility("default"))) const unsigned short tqTabSizeType[TQTYPE_MAX + 1];
extern "C" __attribute__((visibility("default"))) const unsigned short tqTabSizeTypeC[TQTYPE_MAX + 1];
extern "C" __attribute__((visibility("default"))) const int gbTabTypeSpecial[TQTYPE_MAX + 1];
