// Treatments of the fixed-size host types.
#include "common/values/AnyTreatments.h"
#include "common/values/Decimal.h"
#include "common/values/monetaire.h"

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <type_traits>

// Bytes of the magnitude of n digits, plus a sign byte and a scale byte.
const unsigned char IDecimal::mg_PToN[IDecimal::MAX_DIGITS + 1] = {
    18,                                          // 0: as many as the largest
    3,  3,  4,  4,  5,  5,  5,  6,  6,  7,       // 1-10
    7,  7,  8,  8,  9,  9,  10, 10, 10, 11,      // 11-20
    11, 12, 12, 12, 13, 13, 14, 14, 15, 15,      // 21-30
    15, 16, 16, 17, 17, 17, 18, 18,              // 31-38
};

namespace {

// Adds nPas (+1 or -1) to the stored integer T of at most 32 bits: the
// stored value wraps, 1 when the exact result left the range of T.
template <class T>
int Ajoute(unsigned char* p, int nPas)
{
    const long long nExact = static_cast<long long>(TQ_Lit<T>(p)) + nPas;
    // Wrapping through the unsigned type of the same width.
    typedef typename std::make_unsigned<T>::type U;
    TQ_Ecrit<T>(p, static_cast<T>(static_cast<U>(static_cast<unsigned long long>(nExact))));
    return nExact < std::numeric_limits<T>::min() || nExact > std::numeric_limits<T>::max() ? TQSTATUS_RANGE
                                                                                           : TQSTATUS_OK;
}

// Adds nPas to the stored T with its own arithmetic, never out of range.
template <class T>
int AjouteLibre(unsigned char* p, int nPas)
{
    TQ_Ecrit<T>(p, TQ_Lit<T>(p) + static_cast<T>(nPas));
    return TQSTATUS_OK;
}

// 64-bit unsigned: a result with the top bit set is out of the range kept.
int AjouteUI8(unsigned char* p, int nPas)
{
    const std::uint64_t n = TQ_Lit<std::uint64_t>(p) + static_cast<std::uint64_t>(nPas);
    TQ_Ecrit(p, n);
    return (n >> 63) != 0 ? TQSTATUS_RANGE : TQSTATUS_OK;
}

int AjouteR4(unsigned char* p, int nPas)
{
    const long double ldExact = static_cast<long double>(TQ_Lit<float>(p)) + nPas;
    TQ_Ecrit<float>(p, static_cast<float>(ldExact));
    if (std::isnan(ldExact) || ldExact < -static_cast<long double>(FLT_MAX) ||
        ldExact > static_cast<long double>(FLT_MAX))
        return TQSTATUS_RANGE;
    return TQSTATUS_OK;
}

int AjouteCY(unsigned char* p, bool bPlus)
{
    CMoney st;
    std::memcpy(&st, p, sizeof(st));
    CMoney stResultat = st;
    // Exact: a currency does not survive a round trip through a double.
    if ((bPlus ? pstAddMonetaire(&stResultat, &gstMillion) : pstSubMonetaire(&stResultat, &gstMillion)) == nullptr)
        return TQSTATUS_RANGE;
    std::memcpy(p, &stResultat, sizeof(stResultat));
    return TQSTATUS_OK;
}

IDecimal* Decimal(const unsigned char* p) { return TQ_Lit<IDecimal*>(p); }

} // namespace

// ---- Fixed-size values ------------------------------------------------------------------

template <unsigned N>
void CAny_TQFixe<N>::Duplique(CAny* pclCible) const
{
    if (pclCible == nullptr || pclCible == _pclAny())
        return;
    unsigned char aby[N];
    std::memcpy(aby, _pbyValeur(), N);
    _Duplique(pclCible, static_cast<unsigned char>(_nGetType()), aby);
}

template <unsigned N>
int CAny_TQFixe<N>::nGetSize(unsigned int* pnSize) const
{
    *pnSize = N;
    return TQSTATUS_OK;
}

template <unsigned N>
int CAny_TQFixe<N>::nGetAdr(void** ppAdr) const
{
    *ppAdr = _pbyValeur();
    return TQSTATUS_OK;
}

template <unsigned N>
int CAny_TQFixe<N>::nFillBuffer(void* pBuffer) const
{
    std::memcpy(pBuffer, _pbyValeur(), N);
    return TQSTATUS_OK;
}

template <unsigned N>
int CAny_TQFixe<N>::nGetDataSize(unsigned int* pnSize) const
{
    return nGetSize(pnSize);
}

template <unsigned N>
int CAny_TQFixe<N>::nGetDataAdr(void** ppAdr) const
{
    return nGetAdr(ppAdr);
}

template <unsigned N>
int CAny_TQFixe<N>::nFillDataBuffer(void* pBuffer) const
{
    return nFillBuffer(pBuffer);
}

template <unsigned N>
void CAny_TQFixe<N>::SetValue(const void* p)
{
    // memmove: p may be this value's own area.
    if (p != nullptr)
        std::memmove(_pbyValeur(), p, N);
}

template <unsigned N>
void CAny_TQFixe<N>::SetValue(const void* p, unsigned int)
{
    SetValue(p);
}

template <unsigned N>
int CAny_TQFixe<N>::nGetUtilDataSize(unsigned int* pnSize) const
{
    return nGetSize(pnSize);
}

template <unsigned N>
int CAny_TQFixe<N>::nFillUtilDataBuffer(void* pBuffer) const
{
    return nFillBuffer(pBuffer);
}

template class CAny_TQFixe<1>;
template class CAny_TQFixe<2>;
template class CAny_TQFixe<4>;
template class CAny_TQFixe<8>;
template class CAny_TQFixe<10>;

// ---- Boolean --------------------------------------------------------------------------------

void CAny_TQBOOL::SetValue(const void* p, unsigned int n)
{
    unsigned char aby[4] = {0, 0, 0, 0};
    if (p != nullptr)
        std::memcpy(aby, p, n < 4 ? n : 4);
    std::memcpy(_pbyValeur(), aby, sizeof(aby));
}

// ---- Unsigned integers ------------------------------------------------------------------

int CAny_TQUI1::nIncremente() { return Ajoute<std::uint8_t>(_pbyValeur(), 1); }
int CAny_TQUI1::nDecremente() { return Ajoute<std::uint8_t>(_pbyValeur(), -1); }
int CAny_TQUI2::nIncremente() { return Ajoute<std::uint16_t>(_pbyValeur(), 1); }
int CAny_TQUI2::nDecremente() { return Ajoute<std::uint16_t>(_pbyValeur(), -1); }
int CAny_TQUI4::nIncremente() { return Ajoute<std::uint32_t>(_pbyValeur(), 1); }
int CAny_TQUI4::nDecremente() { return Ajoute<std::uint32_t>(_pbyValeur(), -1); }
int CAny_TQUI8::nIncremente() { return AjouteUI8(_pbyValeur(), 1); }
int CAny_TQUI8::nDecremente() { return AjouteUI8(_pbyValeur(), -1); }

// ---- Signed integers --------------------------------------------------------------------

bool CAny_TQI1::bIsPositive() const { return TQ_Lit<std::int8_t>(_pbyValeur()) >= 0; }
int CAny_TQI1::nIncremente() { return Ajoute<std::int8_t>(_pbyValeur(), 1); }
int CAny_TQI1::nDecremente() { return Ajoute<std::int8_t>(_pbyValeur(), -1); }

bool CAny_TQI2::bIsPositive() const { return TQ_Lit<std::int16_t>(_pbyValeur()) >= 0; }
int CAny_TQI2::nIncremente() { return Ajoute<std::int16_t>(_pbyValeur(), 1); }
int CAny_TQI2::nDecremente() { return Ajoute<std::int16_t>(_pbyValeur(), -1); }

bool CAny_TQI4::bIsPositive() const { return TQ_Lit<std::int32_t>(_pbyValeur()) >= 0; }
int CAny_TQI4::nIncremente() { return Ajoute<std::int32_t>(_pbyValeur(), 1); }
int CAny_TQI4::nDecremente() { return Ajoute<std::int32_t>(_pbyValeur(), -1); }

int CAny_TQUIX::nIncremente() { return Ajoute<std::int32_t>(_pbyValeur(), 1); }
int CAny_TQUIX::nDecremente() { return Ajoute<std::int32_t>(_pbyValeur(), -1); }

bool CAny_TQI8::bIsPositive() const { return TQ_Lit<std::int64_t>(_pbyValeur()) >= 0; }

// Plain 64-bit arithmetic: the maximum wraps silently.
int CAny_TQI8::nIncremente() { return AjouteLibre<std::uint64_t>(_pbyValeur(), 1); }
int CAny_TQI8::nDecremente() { return AjouteLibre<std::uint64_t>(_pbyValeur(), -1); }

// ---- Reals --------------------------------------------------------------------------------

bool CAny_TQR4::bIsPositive() const { return TQ_Lit<float>(_pbyValeur()) >= 0.0f; }
int CAny_TQR4::nIncremente() { return AjouteR4(_pbyValeur(), 1); }
int CAny_TQR4::nDecremente() { return AjouteR4(_pbyValeur(), -1); }

bool CAny_TQR8::bIsPositive() const { return TQ_Lit<double>(_pbyValeur()) >= 0.0; }

int CAny_TQR8::nIncremente() { return AjouteLibre<double>(_pbyValeur(), 1); }
int CAny_TQR8::nDecremente() { return AjouteLibre<double>(_pbyValeur(), -1); }

// ---- Currency -----------------------------------------------------------------------------

bool CAny_TQCY::bIsPositive() const { return (TQ_Lit<std::uint16_t>(_pbyValeur() + 8) & 0x8000) == 0; }
int CAny_TQCY::nIncremente() { return AjouteCY(_pbyValeur(), true); }
int CAny_TQCY::nDecremente() { return AjouteCY(_pbyValeur(), false); }

// ---- Decimal ------------------------------------------------------------------------------

CAny_TQDECIMAL::~CAny_TQDECIMAL()
{
    IDecimal* piDecimal = Decimal(_pbyValeur());
    if (piDecimal != nullptr && gpiVMFactory != nullptr)
        gpiVMFactory->ReleaseObject(piDecimal);
    TQ_Ecrit<IDecimal*>(_pbyValeur(), nullptr);
}

void CAny_TQDECIMAL::Duplique(CAny* pclCible) const
{
    if (pclCible == nullptr || pclCible == _pclAny())
        return;
    // The target's own decimal object takes this one's value.
    _Duplique(pclCible, TQTYPE_DECIMAL, Decimal(_pbyValeur()));
}

int CAny_TQDECIMAL::nGetSize(unsigned int* pnSize) const
{
    *pnSize = sizeof(IDecimal*);
    return TQSTATUS_OK;
}

int CAny_TQDECIMAL::nGetAdr(void** ppAdr) const
{
    *ppAdr = _pbyValeur();
    return TQSTATUS_OK;
}

int CAny_TQDECIMAL::nFillBuffer(void* pBuffer) const
{
    std::memcpy(pBuffer, _pbyValeur(), sizeof(IDecimal*));
    return TQSTATUS_OK;
}

int CAny_TQDECIMAL::nGetDataSize(unsigned int* pnSize) const
{
    *pnSize = IDecimal::DATA_SIZE;
    return TQSTATUS_OK;
}

int CAny_TQDECIMAL::nGetDataAdr(void** ppAdr) const
{
    *ppAdr = nullptr;
    return TQSTATUS_NOT_HANDLED;
}

int CAny_TQDECIMAL::nFillDataBuffer(void* pBuffer) const
{
    IDecimal* piDecimal = Decimal(_pbyValeur());
    if (piDecimal == nullptr)
        return TQSTATUS_NOT_HANDLED;
    piDecimal->nGetDataForm(pBuffer);
    return TQSTATUS_OK;
}

void CAny_TQDECIMAL::SetValue(const void* p)
{
    IDecimal* piDecimal = Decimal(_pbyValeur());
    if (piDecimal != nullptr && p != nullptr && p != piDecimal)
        piDecimal->nSetDecimal(static_cast<const IDecimal*>(p));
}

void CAny_TQDECIMAL::SetValue(const void* p, unsigned int)
{
    IDecimal* piDecimal = Decimal(_pbyValeur());
    if (piDecimal != nullptr && p != nullptr)
        piDecimal->nSetDataForm(p);
}

bool CAny_TQDECIMAL::bIsPositive() const
{
    IDecimal* piDecimal = Decimal(_pbyValeur());
    return piDecimal == nullptr || !piDecimal->bIsNegative();
}

int CAny_TQDECIMAL::nGetUtilDataSize(unsigned int* pnSize) const { return nGetDataSize(pnSize); }

int CAny_TQDECIMAL::nFillUtilDataBuffer(void* pBuffer) const { return nFillDataBuffer(pBuffer); }
