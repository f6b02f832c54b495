#include "common/values/Any.h"

#include "common/text/TQBIN.h"
#include "common/text/XYString.h"
#include "common/values/AnyText.h"
#include "common/values/AnyTreatments.h"
#include "common/values/Decimal.h"
#include "common/values/datetime.h"

#include <cstring>
#include <type_traits>


// The layout the host shares.
struct CAnyLayout {
    static_assert(std::is_standard_layout<CAny>::value, "CAny must keep a plain layout");
    static_assert(sizeof(CAny_Intern) == sizeof(void*), "a treatment is one vtable pointer");
    static_assert(offsetof(CAny, m_abyValeur) + CAny::VALEUR_SIZE == sizeof(CAny), "the value area ends the value");
#if defined(__i386__)
    static_assert(sizeof(CAny) == 52, "a host value is 52 bytes");
    static_assert(offsetof(CAny, m_dwReserve) == 0, "leading word at 0");
    static_assert(offsetof(CAny, m_abyTraitement) == 4, "treatment at 4");
    static_assert(offsetof(CAny, m_nType) == 8, "type word at 8");
    static_assert(offsetof(CAny, m_abyValeur) == 12, "value area at 12");
#endif
};

IVMFactory* gpiVMFactory = nullptr;

// ---- Exported type tables -------------------------------------------------------------

extern "C" const unsigned short tqTabSizeType[TQTYPE_MAX + 1] = {
     0,  4,  1,  2,  4,  8,  1,  2,  4,  8, 10,  4,  8,  0,  4,  4,  // 0-15
     4,  1,  0,  4,  4,  0,  0,  0, 36, 40,  8,  8,  4,  8,  4, 52,  // 16-31
     4,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  // 32-47
     0,  0, 52,  0,  0,  4,  4,  4,  0,  0,  0,  0,  0,  4,  0,  0,  // 48-63
     0,  4,  0,  0,  0,  0,  4,  4,  4,  0,  0,  0,  0,  0,  0,  0,  // 64-79
     0,  4,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  // 80-95
     0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  4,  // 96-111
     0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  // 112-127
     9, 10,  0,  0,  0,  0,  4,  4,  4,  4,  4,  0,  0,  0,  0,  0,  // 128-143
};

extern "C" const unsigned short tqTabSizeTypeC[TQTYPE_MAX + 1] = {
     0,  4,  4,  4,  4,  8,  4,  4,  4,  8,  0,  4,  8,  0,  4,  0,  // 0-15
     4,  4,  0,  4,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  // 16-31
     0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  // 32-47
     0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  // 48-63
     0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  // 64-79
     0,  4,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  // 80-95
     0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  // 96-111
     0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  // 112-127
     0,  0,  0,  0,  0,  0,  0,  4,  4,  0,  4,  0,  0,  0,  0,  0,  // 128-143
};

extern "C" const int gbTabTypeSpecial[TQTYPE_MAX + 1] = {
     0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  1,  0,  0,  // 0-15
     1,  1,  0,  1,  1,  1,  1,  1,  1,  1,  1,  1,  1,  1,  1,  1,  // 16-31
     1,  0,  1,  1,  1,  1,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  // 32-47
     0,  0,  1,  0,  0,  1,  1,  1,  0,  0,  1,  0,  0,  1,  1,  0,  // 48-63
     1,  1,  0,  0,  0,  0,  1,  1,  1,  0,  0,  0,  0,  0,  0,  0,  // 64-79
     0,  1,  1,  1,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  // 80-95
     0,  0,  0,  0,  0,  0,  0,  1,  0,  0,  0,  0,  0,  0,  0,  1,  // 96-111
     1,  1,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  // 112-127
     1,  1,  0,  0,  0,  1,  1,  1,  1,  1,  1,  1,  1,  1,  0,  0,  // 128-143
};

// ---- The empty treatment ----------------------------------------------------------------

CAny_Intern::~CAny_Intern()
{
    // Both destructor entries leave the empty treatment in place. The store
    // outlives this object, so the barrier keeps the compiler from dropping it.
    ::new (static_cast<void*>(this)) CAny_Intern;
    asm volatile("" : : "r"(this) : "memory");
}

void CAny_Intern::operator delete(void* p) noexcept
{
    // The host's deleting entry: the storage is the value's, not the heap's.
    ::new (p) CAny_Intern;
}

void CAny_Intern::Duplique(CAny* pclCible) const
{
    if (pclCible != nullptr)
        pclCible->SetFlags(_pclAny()->nGetFlags());
}

int CAny_Intern::nGetSize(unsigned int* pnSize) const
{
    *pnSize = 0;
    return TQSTATUS_EMPTY;
}

int CAny_Intern::nGetAdr(void** ppAdr) const
{
    *ppAdr = nullptr;
    return TQSTATUS_EMPTY;
}

int CAny_Intern::nFillBuffer(void*) const { return TQSTATUS_EMPTY; }

int CAny_Intern::nGetDataSize(unsigned int* pnSize) const
{
    *pnSize = 0;
    return TQSTATUS_EMPTY;
}

int CAny_Intern::nGetDataAdr(void** ppAdr) const
{
    *ppAdr = nullptr;
    return TQSTATUS_EMPTY;
}

int CAny_Intern::nFillDataBuffer(void*) const { return TQSTATUS_EMPTY; }

void CAny_Intern::SetValue(const void*) {}

void CAny_Intern::SetValue(const void* p, unsigned int) { SetValue(p); }

int CAny_Intern::nGetPCASTR(const char** ppsz) const
{
    *ppsz = nullptr;
    return TQSTATUS_NOT_HANDLED;
}

int CAny_Intern::nGetPCWSTR(const wchar_t** ppsz) const
{
    *ppsz = nullptr;
    return TQSTATUS_NOT_HANDLED;
}

int CAny_Intern::nGetSTRLEN(unsigned int* pnLen) const
{
    *pnLen = 0;
    return TQSTATUS_NOT_HANDLED;
}

bool CAny_Intern::bIsPositive() const { return true; }

int CAny_Intern::nGetUtilDataSize(unsigned int* pnSize) const { return nGetDataSize(pnSize); }

int CAny_Intern::nFillUtilDataBuffer(void* pBuffer) const { return nFillDataBuffer(pBuffer); }

int CAny_Intern::nIncremente() { return TQSTATUS_NOT_HANDLED; }

int CAny_Intern::nDecremente() { return TQSTATUS_NOT_HANDLED; }

void CAny_Intern::SetValueFromANSI(const void* p) { SetValue(p); }

void CAny_Intern::SetValueFromANSI(const void* p, unsigned int n) { SetValue(p, n); }

void CAny_Intern::SetValueFromUNICODE(const void* p) { SetValue(p); }

void CAny_Intern::SetValueFromUNICODE(const void* p, unsigned int n) { SetValue(p, n); }

void CAny_Intern::SetValueFromANSI_CP(int, const void* p) { SetValueFromANSI(p); }

void CAny_Intern::SetValueFromANSI_CP(int, const void* p, unsigned int n) { SetValueFromANSI(p, n); }

void CAny_Intern::SetValueFromUNICODE_CP(int, const void* p) { SetValueFromUNICODE(p); }

void CAny_Intern::SetValueFromUNICODE_CP(int, const void* p, unsigned int n) { SetValueFromUNICODE(p, n); }

void CAny_Intern::SetValueOption(const void* p, unsigned int n, unsigned int) { SetValue(p, n); }

void CAny_Intern::_Duplique(CAny* pclCible, unsigned short nType, const void* p) const
{
    const unsigned short nFlags = _pclAny()->nGetFlags();
    pclCible->__SetType(nType, 0);
    pclCible->pclGetTraitement()->SetValue(p);
    pclCible->SetFlags(nFlags);
}

// ---- Installing a type --------------------------------------------------------------------

namespace {

template <class T>
void Installe(unsigned char* pbyTraitement)
{
    ::new (static_cast<void*>(pbyTraitement)) T;
}

// Up to nMax characters of the default text, padded with cPad to nPad
// characters, then a terminator; each character stored as T.
template <class T>
void InitTexte(unsigned char* pbyValeur, const wchar_t* pszDefaut, unsigned nMax, unsigned nPad)
{
    T* p = reinterpret_cast<T*>(pbyValeur);
    unsigned n = 0;
    if (pszDefaut != nullptr)
        for (; n < nMax && pszDefaut[n] != 0; ++n)
            p[n] = static_cast<T>(pszDefaut[n]);
    for (; n < nPad; ++n)
        p[n] = static_cast<T>('0');
    p[n] = 0;
}

} // namespace

void CAny::__SetType(unsigned short nType, int bNoInit)
{
    if (m_nType == nType)
        return;
    _Release();
    _Installe(static_cast<unsigned char>(nType), bNoInit);
}

void CAny::_Installe(unsigned char nCode, int bNoInit)
{
    unsigned short nStocke = nCode;
    switch (nCode) {
    case TQTYPE_BOOL: Installe<CAny_TQBOOL>(m_abyTraitement); break;
    case TQTYPE_UI1: Installe<CAny_TQUI1>(m_abyTraitement); break;
    case TQTYPE_UI2: Installe<CAny_TQUI2>(m_abyTraitement); break;
    case TQTYPE_UI4: Installe<CAny_TQUI4>(m_abyTraitement); break;
    case TQTYPE_UI8: Installe<CAny_TQUI8>(m_abyTraitement); break;
    case TQTYPE_I1: Installe<CAny_TQI1>(m_abyTraitement); break;
    case TQTYPE_I2: Installe<CAny_TQI2>(m_abyTraitement); break;
    case TQTYPE_I4: Installe<CAny_TQI4>(m_abyTraitement); break;
    case TQTYPE_I4BIS:
        Installe<CAny_TQI4>(m_abyTraitement);
        nStocke = TQTYPE_I4;
        break;
    case TQTYPE_I8: Installe<CAny_TQI8>(m_abyTraitement); break;
    case TQTYPE_CY: Installe<CAny_TQCY>(m_abyTraitement); break;
    case TQTYPE_R4: Installe<CAny_TQR4>(m_abyTraitement); break;
    case TQTYPE_R8: Installe<CAny_TQR8>(m_abyTraitement); break;
    case TQTYPE_DECIMAL: Installe<CAny_TQDECIMAL>(m_abyTraitement); break;
    case TQTYPE_UIX: Installe<CAny_TQUIX>(m_abyTraitement); break;
    case TQTYPE_DATETIME: Installe<CAny_TQDATETIME>(m_abyTraitement); break;
    case TQTYPE_DUREE: Installe<CAny_TQDUREE>(m_abyTraitement); break;
    case TQTYPE_BIN: Installe<CAny_TQBIN>(m_abyTraitement); break;
    case TQTYPE_BUFFER: Installe<CAny_TQBUFFER>(m_abyTraitement); break;
    case TQTYPE_MEMOIMG: Installe<CAny_TQMEMOIMG>(m_abyTraitement); break;
    case TQTYPE_CONVOYEUR: Installe<CAny_TQCONVOYEUR>(m_abyTraitement); break;
    case TQTYPE_POLICE: Installe<CAny_TQPOLICE>(m_abyTraitement); break;
    case TQTYPE_TABANY: Installe<CAny_TQTABANY>(m_abyTraitement); break;
    case TQTYPE_OBJET:
    case TQTYPE_OBJET141:
    case TQTYPE_OBJET142:
    case TQTYPE_OBJET143: Installe<CAny_TQOBJET_BASE>(m_abyTraitement); break;
    case TQTYPE_DINO: Installe<CAny_TQDINO>(m_abyTraitement); break;
    case TQTYPE_DSTRW: Installe<CAny_TQDSTRW>(m_abyTraitement); break;
    case TQTYPE_CARA: Installe<CAny_TQCARA>(m_abyTraitement); break;
    case TQTYPE_PSTRA: Installe<CAny_TQPSTRA>(m_abyTraitement); break;
    case TQTYPE_DSTRA: Installe<CAny_TQDSTRA>(m_abyTraitement); break;
    case TQTYPE_DATEW: Installe<CAny_TQDATEW>(m_abyTraitement); break;
    case TQTYPE_TIMEW: Installe<CAny_TQTIMEW>(m_abyTraitement); break;
    case TQTYPE_CARW: Installe<CAny_TQCARW>(m_abyTraitement); break;
    case TQTYPE_PSTRW: Installe<CAny_TQPSTRW>(m_abyTraitement); break;
    case TQTYPE_DATEA: Installe<CAny_TQDATEA>(m_abyTraitement); break;
    case TQTYPE_TIMEA: Installe<CAny_TQTIMEA>(m_abyTraitement); break;
    default:
        // No row: the empty value (the empty treatment is already in place).
        nStocke = TQTYPE_VIDE;
        break;
    }
    m_nType = nStocke;
    if (bNoInit || nStocke == TQTYPE_VIDE)
        return;

    std::memset(m_abyValeur, 0, sizeof(m_abyValeur));
    switch (nStocke) {
    case TQTYPE_DECIMAL: {
        IDecimal* piDecimal = gpiVMFactory != nullptr ? gpiVMFactory->piCreateObject(0) : nullptr;
        std::memcpy(m_abyValeur, &piDecimal, sizeof(piDecimal));
        break;
    }
    case TQTYPE_DATETIME:
        reinterpret_cast<CDateTimeBase*>(m_abyValeur)->InitDate();
        break;
    case TQTYPE_DATEW: InitTexte<wchar_t>(m_abyValeur, CDateTimeBase::ms_pcszValeurInitDate, 8, 0); break;
    case TQTYPE_DATEA: InitTexte<char>(m_abyValeur, CDateTimeBase::ms_pcszValeurInitDate, 8, 0); break;
    case TQTYPE_TIMEW: InitTexte<wchar_t>(m_abyValeur, CDateTimeBase::ms_pcszValeurInitTime, 9, 9); break;
    case TQTYPE_TIMEA: InitTexte<char>(m_abyValeur, CDateTimeBase::ms_pcszValeurInitTime, 9, 9); break;
    default:
        break;
    }
}

// ---- Direct reads -----------------------------------------------------------------------

int CAny::nGetINT(int* pn) const
{
    *pn = 0;
    switch (m_nType) {
    case TQTYPE_BOOL:
    case TQTYPE_I4:
    case TQTYPE_UIX: *pn = TQ_Lit<std::int32_t>(m_abyValeur); break;
    case TQTYPE_UI1: *pn = TQ_Lit<std::uint8_t>(m_abyValeur); break;
    case TQTYPE_UI2: *pn = TQ_Lit<std::uint16_t>(m_abyValeur); break;
    case TQTYPE_I1: *pn = TQ_Lit<std::int8_t>(m_abyValeur); break;
    case TQTYPE_I2: *pn = TQ_Lit<std::int16_t>(m_abyValeur); break;
    default: return TQSTATUS_NOT_HANDLED;
    }
    return TQSTATUS_OK;
}

int CAny::nGetINT_64(long long* pll) const
{
    *pll = 0;
    switch (m_nType) {
    case TQTYPE_BOOL:
    case TQTYPE_I4: *pll = TQ_Lit<std::int32_t>(m_abyValeur); break;
    case TQTYPE_I1: *pll = TQ_Lit<std::int8_t>(m_abyValeur); break;
    case TQTYPE_I2: *pll = TQ_Lit<std::int16_t>(m_abyValeur); break;
    case TQTYPE_UI1: *pll = TQ_Lit<std::uint8_t>(m_abyValeur); break;
    case TQTYPE_UI2: *pll = TQ_Lit<std::uint16_t>(m_abyValeur); break;
    case TQTYPE_UI4: *pll = TQ_Lit<std::uint32_t>(m_abyValeur); break;
    case TQTYPE_I8: *pll = TQ_Lit<std::int64_t>(m_abyValeur); break;
    default: return TQSTATUS_NOT_HANDLED;
    }
    return TQSTATUS_OK;
}

int CAny::nGetBitField_64(unsigned long long& ull) const
{
    ull = 0;
    switch (m_nType) {
    case TQTYPE_UI1: ull = TQ_Lit<std::uint8_t>(m_abyValeur); break;
    case TQTYPE_UI2: ull = TQ_Lit<std::uint16_t>(m_abyValeur); break;
    case TQTYPE_UI4: ull = TQ_Lit<std::uint32_t>(m_abyValeur); break;
    case TQTYPE_UI8:
    case TQTYPE_I8: ull = TQ_Lit<std::uint64_t>(m_abyValeur); break;
    case TQTYPE_I1: ull = static_cast<unsigned long long>(static_cast<long long>(TQ_Lit<std::int8_t>(m_abyValeur))); break;
    case TQTYPE_I2: ull = static_cast<unsigned long long>(static_cast<long long>(TQ_Lit<std::int16_t>(m_abyValeur))); break;
    case TQTYPE_I4:
    case TQTYPE_UIX: ull = static_cast<unsigned long long>(static_cast<long long>(TQ_Lit<std::int32_t>(m_abyValeur))); break;
    default: return TQSTATUS_NOT_HANDLED;
    }
    return TQSTATUS_OK;
}

int CAny::nGetREAL(double* pd) const
{
    switch (m_nType) {
    case TQTYPE_R4: *pd = TQ_Lit<float>(m_abyValeur); break;
    case TQTYPE_R8: *pd = TQ_Lit<double>(m_abyValeur); break;
    default: return TQSTATUS_NOT_HANDLED;
    }
    return TQSTATUS_OK;
}

int CAny::nGetManipAUB(STManipAUB* pst) const
{
    switch (nGetTypeCode()) {
    case TQTYPE_BIN:
    case TQTYPE_DSTRA:
    case TQTYPE_DSTRW:
        pst->m_pData = TQ_Lit<void*>(m_abyValeur);
        pst->m_nType = m_nType;
        return TQSTATUS_OK;
    default:
        return TQSTATUS_NOT_HANDLED;
    }
}

void* CAny::piGetTraitement() const
{
    if (m_nType != TQTYPE_OBJET141)
        return nullptr;
    IObjetHote* piObjet = TQ_Lit<IObjetHote*>(m_abyValeur);
    return piObjet != nullptr ? piObjet->piGetTraitement() : nullptr;
}

namespace {

// A host string of its own, copied out of a shared block.
template <class T>
int nDetache(unsigned char* pbyValeur)
{
    CXYString<T>* pcl = reinterpret_cast<CXYString<T>*>(pbyValeur);
    return pcl->__nPrepareModification(pcl->nGetLength());
}

} // namespace

int CAny::nUnshare()
{
    if (m_nType == TQTYPE_DSTRW)
        return nDetache<wchar_t>(m_abyValeur);
    if (m_nType == TQTYPE_DSTRA)
        return nDetache<char>(m_abyValeur);
    return TQSTATUS_OK;
}

void CAny::__TransfertValeurInterne(unsigned short nType, const unsigned char* pbyValeur)
{
    // Copied aside first: the bytes may lie in this value's own area.
    unsigned char aby[VALEUR_SIZE];
    std::memcpy(aby, pbyValeur, sizeof(aby));
    // The treatment releases the old storage (once); then the new type is
    // installed unconditionally, even when its code is the old one.
    _Release();
    _Installe(static_cast<unsigned char>(nType), 1);
    std::memcpy(m_abyValeur, aby, sizeof(aby));
}

namespace {

int CastBinHuitOctets(CAny* pclAny, unsigned short nType)
{
    if (pclAny->nGetTypeCode() != TQTYPE_BIN)
        return TQSTATUS_BIN_SIZE;
    const CTQBIN* pclBin = reinterpret_cast<const CTQBIN*>(pclAny->pbyGetValeur());
    if (pclBin->pGetData() == nullptr || pclBin->nGetSize() != 8)
        return TQSTATUS_BIN_SIZE;
    unsigned char aby[8];
    std::memcpy(aby, pclBin->pGetData(), sizeof(aby));
    const unsigned short nFlags = pclAny->nGetFlags();
    pclAny->__SetType(nType, 1);
    std::memset(pclAny->pbyGetValeur(), 0, CAny::VALEUR_SIZE);
    std::memcpy(pclAny->pbyGetValeur(), aby, sizeof(aby));
    pclAny->SetFlags(nFlags);
    return TQSTATUS_OK;
}

} // namespace

int CAny::nCastFrom_BIN_DUREE_To_DUREE() { return CastBinHuitOctets(this, TQTYPE_DUREE); }

int CAny::nCastFrom_BIN_DATEHEURE_To_DATEHEURE() { return CastBinHuitOctets(this, TQTYPE_DATETIME); }
