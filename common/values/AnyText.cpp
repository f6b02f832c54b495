#include "common/values/AnyText.h"

#include "common/text/CodePage.h"
#include "common/text/STR.h"
#include "common/text/TextBasics.h"
#include "common/text/UnicodeCodec.h"
#include "common/text/XYString.h"
#include "common/text/ZTAssert.h"
#include "common/values/AnyTreatments.h"

#include <climits>
#include <cstddef>
#include <cstring>
#include <cwchar>
#include <type_traits>

namespace {

// Flag of MultiByteToWideChar: reject invalid input.
constexpr unsigned kFlagStrict = 8;
// Longest multi-byte sequence of one character in the code pages served.
constexpr std::size_t kOctetsParCaractereMax = 4;

// -1 is the host's current code page.
unsigned PageDe(int nCodePage)
{
    return nCodePage == -1 ? STR_nGetCurrentCodePage() : static_cast<unsigned>(nCodePage);
}

// The first character of the nAvail bytes of p: the shortest sequence the
// code page accepts, so that multi-byte pages give a whole character.
wchar_t PremierCaractere(unsigned nPage, const char* p, std::size_t nAvail)
{
    if (p == nullptr || nAvail == 0)
        return 0;
    if (nAvail > kOctetsParCaractereMax)
        nAvail = kOctetsParCaractereMax;
    wchar_t w = 0;
    for (std::size_t k = 1; k <= nAvail; ++k) {
        if (MultiByteToWideChar(nPage, kFlagStrict, p, static_cast<int>(k), &w, 1) == 1)
            return w;
    }
    // No valid sequence: what the page makes of the first byte alone.
    w = 0;
    return MultiByteToWideChar(nPage, 0, p, 1, &w, 1) == 1 ? w : 0;
}

// Heap copy of at most n characters of p; null for an empty result.
template <class T>
T* CopieTas(const T* p, std::size_t n)
{
    const std::size_t k = TXT_nLenMax(p, n);
    if (k == 0 || k >= static_cast<std::size_t>(INT_MAX))
        return nullptr;
    if constexpr (std::is_same<T, char>::value)
        return STR_pszCreateA(static_cast<int>(k), p);
    else
        return STR_pszCreateW(static_cast<int>(k), p);
}

template <class T>
T* NouveauTas(int n)
{
    if constexpr (std::is_same<T, char>::value)
        return STR_pszCreateA(n);
    else
        return STR_pszCreateW(n);
}

template <class T>
void LibereTas(T* p)
{
    if constexpr (std::is_same<T, char>::value)
        STR_DeleteA(p);
    else
        STR_DeleteW(p);
}

bool bMemeValeur(const CAny* a, const CAny* b) { return a == b; }

// Gives the text to a reader of its own width (true); a reader of the other
// width is left to the base treatment (false).
template <class C, class T>
bool bDonneTexte(const T* psz, const C** ppsz)
{
    if constexpr (std::is_same<T, C>::value)
        *ppsz = psz;
    return std::is_same<T, C>::value;
}

} // namespace

// ---- CAny_TQCARA --------------------------------------------------------------------------

void CAny_TQCARA::Duplique(CAny* pclCible) const
{
    if (pclCible == nullptr || bMemeValeur(pclCible, _pclAny()))
        return;
    _Duplique(pclCible, TQTYPE_CARA, _pbyValeur());
}

int CAny_TQCARA::nGetSize(unsigned int* pnSize) const
{
    *pnSize = 1;
    return TQSTATUS_OK;
}

int CAny_TQCARA::nGetAdr(void** ppAdr) const
{
    *ppAdr = _pbyValeur();
    return TQSTATUS_OK;
}

int CAny_TQCARA::nFillBuffer(void* pBuffer) const
{
    std::memcpy(pBuffer, _pbyValeur(), 1);
    return TQSTATUS_OK;
}

int CAny_TQCARA::nGetDataSize(unsigned int* pnSize) const
{
    *pnSize = 1;
    return TQSTATUS_OK;
}

int CAny_TQCARA::nGetDataAdr(void** ppAdr) const
{
    *ppAdr = _pbyValeur();
    return TQSTATUS_OK;
}

int CAny_TQCARA::nFillDataBuffer(void* pBuffer) const
{
    // The character and its terminator, as a string copy.
    const unsigned char* v = _pbyValeur();
    unsigned char* q = static_cast<unsigned char*>(pBuffer);
    q[0] = v[0];
    if (v[0] != 0)
        q[1] = 0;
    return TQSTATUS_OK;
}

void CAny_TQCARA::SetValue(const void* p)
{
    unsigned char* v = _pbyValeur();
    v[0] = p != nullptr ? *static_cast<const unsigned char*>(p) : 0;
    v[1] = 0;
}

void CAny_TQCARA::SetValue(const void* p, unsigned int) { CAny_TQCARA::SetValue(p); }

int CAny_TQCARA::nGetPCASTR(const char** ppsz) const
{
    *ppsz = reinterpret_cast<const char*>(_pbyValeur());
    return TQSTATUS_OK;
}

int CAny_TQCARA::nGetSTRLEN(unsigned int* pnLen) const
{
    *pnLen = 1;
    return TQSTATUS_OK;
}

int CAny_TQCARA::nGetUtilDataSize(unsigned int* pnSize) const
{
    *pnSize = 1;
    return TQSTATUS_OK;
}

void CAny_TQCARA::SetValueFromUNICODE(const void* p) { SetValueFromUNICODE_CP(static_cast<int>(CP_1252), p); }

void CAny_TQCARA::SetValueFromUNICODE_CP(int nCodePage, const void* p)
{
    const wchar_t w = p != nullptr ? TQ_Lit<wchar_t>(p) : 0;
    unsigned char* v = _pbyValeur();
    v[0] = w != 0 ? static_cast<unsigned char>(STR_WCharToAChar(w, 0, PageDe(nCodePage))) : 0;
    v[1] = 0;
}

void CAny_TQCARA::SetValueFromUNICODE_CP(int nCodePage, const void* p, unsigned int)
{
    SetValueFromUNICODE_CP(nCodePage, p);
}

// ---- CAny_TQCARW --------------------------------------------------------------------------

void CAny_TQCARW::Duplique(CAny* pclCible) const
{
    if (pclCible == nullptr || bMemeValeur(pclCible, _pclAny()))
        return;
    _Duplique(pclCible, TQTYPE_CARW, _pbyValeur());
}

int CAny_TQCARW::nGetSize(unsigned int* pnSize) const
{
    *pnSize = sizeof(wchar_t);
    return TQSTATUS_OK;
}

int CAny_TQCARW::nGetAdr(void** ppAdr) const
{
    *ppAdr = _pbyValeur();
    return TQSTATUS_OK;
}

int CAny_TQCARW::nFillBuffer(void* pBuffer) const
{
    std::memcpy(pBuffer, _pbyValeur(), sizeof(wchar_t));
    return TQSTATUS_OK;
}

int CAny_TQCARW::nGetDataSize(unsigned int* pnSize) const
{
    *pnSize = sizeof(wchar_t);
    return TQSTATUS_OK;
}

int CAny_TQCARW::nGetDataAdr(void** ppAdr) const
{
    *ppAdr = _pbyValeur();
    return TQSTATUS_OK;
}

int CAny_TQCARW::nFillDataBuffer(void* pBuffer) const
{
    const wchar_t w = TQ_Lit<wchar_t>(_pbyValeur());
    TQ_Ecrit(pBuffer, w);
    if (w != 0)
        TQ_Ecrit(static_cast<unsigned char*>(pBuffer) + sizeof(wchar_t), static_cast<wchar_t>(0));
    return TQSTATUS_OK;
}

void CAny_TQCARW::SetValue(const void* p)
{
    TQ_Ecrit(_pbyValeur(), p != nullptr ? TQ_Lit<wchar_t>(p) : static_cast<wchar_t>(0));
    TQ_Ecrit(_pbyValeur() + sizeof(wchar_t), static_cast<wchar_t>(0));
}

void CAny_TQCARW::SetValue(const void* p, unsigned int) { CAny_TQCARW::SetValue(p); }

int CAny_TQCARW::nGetPCWSTR(const wchar_t** ppsz) const
{
    *ppsz = reinterpret_cast<const wchar_t*>(_pbyValeur());
    return TQSTATUS_OK;
}

int CAny_TQCARW::nGetSTRLEN(unsigned int* pnLen) const
{
    *pnLen = 1;
    return TQSTATUS_OK;
}

int CAny_TQCARW::nGetUtilDataSize(unsigned int* pnSize) const
{
    *pnSize = sizeof(wchar_t);
    return TQSTATUS_OK;
}

void CAny_TQCARW::SetValueFromANSI(const void* p) { SetValueFromANSI_CP(static_cast<int>(CP_1252), p); }

void CAny_TQCARW::SetValueFromANSI(const void* p, unsigned int n)
{
    SetValueFromANSI_CP(static_cast<int>(CP_1252), p, n);
}

void CAny_TQCARW::SetValueFromANSI_CP(int nCodePage, const void* p)
{
    const char* psz = static_cast<const char*>(p);
    const wchar_t w = PremierCaractere(PageDe(nCodePage), psz, TXT_nLenMax(psz, kOctetsParCaractereMax));
    CAny_TQCARW::SetValue(&w);
}

void CAny_TQCARW::SetValueFromANSI_CP(int nCodePage, const void* p, unsigned int n)
{
    const char* psz = static_cast<const char*>(p);
    const std::size_t nMax = n < kOctetsParCaractereMax ? n : kOctetsParCaractereMax;
    const wchar_t w = PremierCaractere(PageDe(nCodePage), psz, TXT_nLenMax(psz, nMax));
    CAny_TQCARW::SetValue(&w);
}

void CAny_TQCARW::s_SetFromUTF16(CAny* pclAny, const unsigned short* p, int n)
{
    if (pclAny == nullptr || pclAny->nGetTypeCode() != TQTYPE_CARW)
        return;
    wchar_t w = 0;
    if (p != nullptr && n >= 1)
        UTF16ToWideChar(p, 1, &w, 1);
    TQ_Ecrit(pclAny->pbyGetValeur(), w);
    TQ_Ecrit(pclAny->pbyGetValeur() + sizeof(wchar_t), static_cast<wchar_t>(0));
}

// ---- Texts by pointer ---------------------------------------------------------------------

template <class T, unsigned short CODE>
T* CAny_TQPSTRT<T, CODE>::_pszGet() const
{
    return TQ_Lit<T*>(_pbyValeur());
}

template <class T, unsigned short CODE>
void CAny_TQPSTRT<T, CODE>::_Set(T* psz)
{
    TQ_Ecrit(_pbyValeur(), psz);
}

template <class T, unsigned short CODE>
const T* CAny_TQPSTRT<T, CODE>::_pszTexte() const
{
    const T* psz = _pszGet();
    return psz != nullptr ? psz : CXYString<T>::ChaineVide;
}

template <class T, unsigned short CODE>
void CAny_TQPSTRT<T, CODE>::_Remplace(const T* p, unsigned int n)
{
    // The copy first: p may be the text being replaced.
    T* pszNouveau = CopieTas(p, n);
    T* pszAncien = _pszGet();
    _Set(pszNouveau);
    LibereTas(pszAncien);
}

template <class T, unsigned short CODE>
CAny_TQPSTRT<T, CODE>::~CAny_TQPSTRT()
{
    LibereTas(_pszGet());
    _Set(nullptr);
}

template <class T, unsigned short CODE>
void CAny_TQPSTRT<T, CODE>::Duplique(CAny* pclCible) const
{
    if (pclCible == nullptr || bMemeValeur(pclCible, _pclAny()))
        return;
    _Duplique(pclCible, CODE, _pszGet());
}

template <class T, unsigned short CODE>
int CAny_TQPSTRT<T, CODE>::nGetSize(unsigned int* pnSize) const
{
    *pnSize = sizeof(T*);
    return TQSTATUS_OK;
}

template <class T, unsigned short CODE>
int CAny_TQPSTRT<T, CODE>::nGetAdr(void** ppAdr) const
{
    *ppAdr = _pbyValeur();
    return TQSTATUS_OK;
}

template <class T, unsigned short CODE>
int CAny_TQPSTRT<T, CODE>::nFillBuffer(void* pBuffer) const
{
    // The receiver borrows the text.
    TQ_Ecrit(pBuffer, _pszTexte());
    return TQSTATUS_OK;
}

template <class T, unsigned short CODE>
int CAny_TQPSTRT<T, CODE>::nGetDataSize(unsigned int* pnSize) const
{
    *pnSize = static_cast<unsigned int>((TXT_nLen(_pszGet()) + 1) * sizeof(T));
    return TQSTATUS_OK;
}

template <class T, unsigned short CODE>
int CAny_TQPSTRT<T, CODE>::nGetDataAdr(void** ppAdr) const
{
    *ppAdr = const_cast<T*>(_pszTexte());
    return TQSTATUS_OK;
}

template <class T, unsigned short CODE>
int CAny_TQPSTRT<T, CODE>::nFillDataBuffer(void* pBuffer) const
{
    const T* psz = _pszTexte();
    std::memcpy(pBuffer, psz, (TXT_nLen(psz) + 1) * sizeof(T));
    return TQSTATUS_OK;
}

template <class T, unsigned short CODE>
void CAny_TQPSTRT<T, CODE>::SetValue(const void* p)
{
    __CreateStr(static_cast<const T*>(p));
}

template <class T, unsigned short CODE>
void CAny_TQPSTRT<T, CODE>::SetValue(const void* p, unsigned int n)
{
    __CreateStr(static_cast<const T*>(p), static_cast<unsigned int>(n / sizeof(T)));
}

template <class T, unsigned short CODE>
int CAny_TQPSTRT<T, CODE>::nGetPCASTR(const char** ppsz) const
{
    return bDonneTexte(_pszTexte(), ppsz) ? TQSTATUS_OK : CAny_Intern::nGetPCASTR(ppsz);
}

template <class T, unsigned short CODE>
int CAny_TQPSTRT<T, CODE>::nGetPCWSTR(const wchar_t** ppsz) const
{
    return bDonneTexte(_pszTexte(), ppsz) ? TQSTATUS_OK : CAny_Intern::nGetPCWSTR(ppsz);
}

template <class T, unsigned short CODE>
int CAny_TQPSTRT<T, CODE>::nGetSTRLEN(unsigned int* pnLen) const
{
    *pnLen = static_cast<unsigned int>(TXT_nLen(_pszGet()));
    return TQSTATUS_OK;
}

template <class T, unsigned short CODE>
int CAny_TQPSTRT<T, CODE>::nGetUtilDataSize(unsigned int* pnSize) const
{
    *pnSize = static_cast<unsigned int>(TXT_nLen(_pszGet()) * sizeof(T));
    return TQSTATUS_OK;
}

template <class T, unsigned short CODE>
int CAny_TQPSTRT<T, CODE>::nFillUtilDataBuffer(void* pBuffer) const
{
    const T* psz = _pszGet();
    if (psz != nullptr)
        std::memcpy(pBuffer, psz, TXT_nLen(psz) * sizeof(T));
    return TQSTATUS_OK;
}

template <class T, unsigned short CODE>
void CAny_TQPSTRT<T, CODE>::SetValueOption(const void* p, unsigned int n, unsigned int nOption)
{
    if ((nOption & 1) == 0) {
        __CreateStr(static_cast<const T*>(p), n);
        return;
    }
    // A cleared buffer of n characters; too large a count leaves no text.
    T* pszNouveau = n <= static_cast<unsigned int>(INT_MAX) ? NouveauTas<T>(static_cast<int>(n)) : nullptr;
    if (pszNouveau != nullptr) {
        std::memset(pszNouveau, 0, (static_cast<std::size_t>(n) + 1) * sizeof(T));
        const T* src = static_cast<const T*>(p);
        const std::size_t k = TXT_nLenMax(src, n);
        if (k != 0)
            std::memcpy(pszNouveau, src, k * sizeof(T));
    }
    T* pszAncien = _pszGet();
    _Set(pszNouveau);
    LibereTas(pszAncien);
}

template <class T, unsigned short CODE>
void CAny_TQPSTRT<T, CODE>::__CreateStr(const T* p)
{
    _Remplace(p, UINT_MAX);
}

template <class T, unsigned short CODE>
void CAny_TQPSTRT<T, CODE>::__CreateStr(const T* p, unsigned int n)
{
    _Remplace(p, n);
}

template <class T, unsigned short CODE>
void CAny_TQPSTRT<T, CODE>::__DeleteStr()
{
    LibereTas(_pszGet());
    _Set(nullptr);
}

template class CAny_TQPSTRT<char, TQTYPE_PSTRA>;
template class CAny_TQPSTRT<wchar_t, TQTYPE_PSTRW>;

void CAny_TQPSTRW::_SetFromAnsi(unsigned int nCodePage, const char* p, unsigned int n)
{
    // A C string ends at its terminator whatever the count says.
    const std::size_t k = TXT_nLenMax(p, n);
    wchar_t* pszNouveau = nullptr;
    if (k != 0 && k < static_cast<std::size_t>(INT_MAX))
        pszNouveau = pszCSTR2XSTR(p, static_cast<int>(k), nCodePage);
    wchar_t* pszAncien = _pszGet();
    _Set(pszNouveau);
    STR_DeleteW(pszAncien);
}

void CAny_TQPSTRW::SetValueFromANSI(const void* p)
{
    const char* psz = static_cast<const char*>(p);
    SetValueFromANSI(p, static_cast<unsigned int>(TXT_nLenMax(psz, UINT_MAX)));
}

void CAny_TQPSTRW::SetValueFromANSI(const void* p, unsigned int n)
{
    _SetFromAnsi(CP_1252, static_cast<const char*>(p), n);
}

void CAny_TQPSTRW::SetValueFromANSI_CP(int nCodePage, const void* p)
{
    const char* psz = static_cast<const char*>(p);
    SetValueFromANSI_CP(nCodePage, p, static_cast<unsigned int>(TXT_nLenMax(psz, UINT_MAX)));
}

void CAny_TQPSTRW::SetValueFromANSI_CP(int nCodePage, const void* p, unsigned int n)
{
    _SetFromAnsi(PageDe(nCodePage), static_cast<const char*>(p), n);
}

void CAny_TQPSTRW::s_SetFromUTF16(CAny* pclAny, const unsigned short* p, int n)
{
    if (pclAny == nullptr || pclAny->nGetTypeCode() != TQTYPE_PSTRW)
        return;
    wchar_t* pszNouveau = nullptr;
    if (p != nullptr && n >= 1) {
        pszNouveau = STR_pszCreateW(n);
        if (pszNouveau != nullptr) {
            UTF16ToWideChar(p, n, pszNouveau, n);
            pszNouveau[n] = 0;
        }
    }
    unsigned char* v = pclAny->pbyGetValeur();
    wchar_t* pszAncien = TQ_Lit<wchar_t*>(v);
    TQ_Ecrit(v, pszNouveau);
    STR_DeleteW(pszAncien);
}

// ---- Host string references -----------------------------------------------------------------

template <class T, unsigned short CODE>
CXYString<T>& CAny_TQDSTRT<T, CODE>::_clTexte() const
{
    return *reinterpret_cast<CXYString<T>*>(_pbyValeur());
}

template <class T, unsigned short CODE>
CAny_TQDSTRT<T, CODE>::~CAny_TQDSTRT()
{
    CBaseStrMem::s_ReleaseStrMem(TQ_Lit<void*>(_pbyValeur()));
    TQ_Ecrit(_pbyValeur(), static_cast<void*>(nullptr));
}

template <class T, unsigned short CODE>
void CAny_TQDSTRT<T, CODE>::Duplique(CAny* pclCible) const
{
    if (pclCible == nullptr || bMemeValeur(pclCible, _pclAny()))
        return;
    _Duplique(pclCible, CODE, &_clTexte());
}

template <class T, unsigned short CODE>
int CAny_TQDSTRT<T, CODE>::nGetSize(unsigned int* pnSize) const
{
    *pnSize = sizeof(CXYString<T>);
    return TQSTATUS_OK;
}

template <class T, unsigned short CODE>
int CAny_TQDSTRT<T, CODE>::nGetAdr(void** ppAdr) const
{
    *ppAdr = _pbyValeur();
    return TQSTATUS_OK;
}

template <class T, unsigned short CODE>
int CAny_TQDSTRT<T, CODE>::nFillBuffer(void* pBuffer) const
{
    *static_cast<CXYString<T>*>(pBuffer) = _clTexte();
    return TQSTATUS_OK;
}

template <class T, unsigned short CODE>
int CAny_TQDSTRT<T, CODE>::nGetDataSize(unsigned int* pnSize) const
{
    *pnSize = static_cast<unsigned int>(_clTexte().nGetLength()) * sizeof(T) + sizeof(T);
    return TQSTATUS_OK;
}

template <class T, unsigned short CODE>
int CAny_TQDSTRT<T, CODE>::nGetDataAdr(void** ppAdr) const
{
    *ppAdr = const_cast<T*>(_clTexte().pszGet());
    return TQSTATUS_OK;
}

template <class T, unsigned short CODE>
int CAny_TQDSTRT<T, CODE>::nFillDataBuffer(void* pBuffer) const
{
    const CXYString<T>& cl = _clTexte();
    const std::size_t n = static_cast<std::size_t>(cl.nGetLength());
    if (n != 0)
        std::memcpy(pBuffer, cl.pszGet(), n * sizeof(T));
    static_cast<T*>(pBuffer)[n] = 0;
    return TQSTATUS_OK;
}

template <class T, unsigned short CODE>
void CAny_TQDSTRT<T, CODE>::SetValue(const void* p)
{
    if (p == nullptr) {
        _clTexte() = CXYString<T>();
        return;
    }
    _clTexte() = *static_cast<const CXYString<T>*>(p);
}

template <class T, unsigned short CODE>
void CAny_TQDSTRT<T, CODE>::SetValue(const void* p, unsigned int n)
{
    const T* psz = static_cast<const T*>(p);
    const int nSigne = static_cast<int>(n);
    long long nCaracteres = 0;
    if constexpr (std::is_same<T, char>::value)
        nCaracteres = nSigne == -1 ? static_cast<long long>(TXT_nLen(psz)) : nSigne;
    else
        nCaracteres = nSigne < static_cast<int>(sizeof(T)) ? 0 : nSigne / static_cast<int>(sizeof(T));
    s_nSetTexte(_pclAny(), psz, nCaracteres);
}

template <class T, unsigned short CODE>
int CAny_TQDSTRT<T, CODE>::nGetPCASTR(const char** ppsz) const
{
    return bDonneTexte(_clTexte().pszGet(), ppsz) ? TQSTATUS_OK : CAny_Intern::nGetPCASTR(ppsz);
}

template <class T, unsigned short CODE>
int CAny_TQDSTRT<T, CODE>::nGetPCWSTR(const wchar_t** ppsz) const
{
    return bDonneTexte(_clTexte().pszGet(), ppsz) ? TQSTATUS_OK : CAny_Intern::nGetPCWSTR(ppsz);
}

template <class T, unsigned short CODE>
int CAny_TQDSTRT<T, CODE>::nGetSTRLEN(unsigned int* pnLen) const
{
    *pnLen = static_cast<unsigned int>(_clTexte().nGetLength());
    return TQSTATUS_OK;
}

template <class T, unsigned short CODE>
int CAny_TQDSTRT<T, CODE>::nGetUtilDataSize(unsigned int* pnSize) const
{
    *pnSize = static_cast<unsigned int>(_clTexte().nGetLength()) * sizeof(T);
    return TQSTATUS_OK;
}

template <class T, unsigned short CODE>
int CAny_TQDSTRT<T, CODE>::nFillUtilDataBuffer(void* pBuffer) const
{
    const CXYString<T>& cl = _clTexte();
    const std::size_t n = static_cast<std::size_t>(cl.nGetLength());
    if (n != 0)
        std::memcpy(pBuffer, cl.pszGet(), n * sizeof(T));
    return TQSTATUS_OK;
}

template <class T, unsigned short CODE>
int CAny_TQDSTRT<T, CODE>::s_nSetTexte(CAny* pclAny, const T* p, long long n)
{
    CXYString<T>& cl = *reinterpret_cast<CXYString<T>*>(pclAny->pbyGetValeur());
    if (p == nullptr || n < 1) {
        cl = CXYString<T>();
        return STRMEM_OK;
    }
    if (n > STRMEM_MAX_SIZE / static_cast<long long>(sizeof(T)))
        return STRMEM_ERROR_TOO_LONG;
    const int nLen = static_cast<int>(n);
    T* pData = cl.pGetData();
    if (pData != nullptr && CBaseStrMem::s_nGetRefCount(pData) < 2) {
        // Held by this value alone: the block is reused, grown when short.
        // A source inside the block moves with it: its offset is kept.
        const bool bDedans = CBaseStrMem::s_bInBlock(pData, p, n * static_cast<long long>(sizeof(T)));
        const std::ptrdiff_t nDecalage = bDedans ? p - pData : 0;
        const int nError = cl.__nPrepareModification(nLen);
        if (nError != STRMEM_OK)
            return nError;
        // Written in place only while no other holder shares the block.
        ZT_ASSERT(CBaseStrMem::s_nGetRefCount(cl.pGetData()) < 2);
        cl.__FillDynStr(bDedans ? cl.pGetData() + nDecalage : p, nLen, 0);
        return STRMEM_OK;
    }
    // Shared or none: a new block of the exact length; the other holders
    // keep theirs.
    CXYString<T> clNouveau;
    const int nError = clNouveau.__nNew(nLen, p, nLen);
    if (nError != STRMEM_OK)
        return nError;
    cl = clNouveau;
    return STRMEM_OK;
}

template class CAny_TQDSTRT<char, TQTYPE_DSTRA>;
template class CAny_TQDSTRT<wchar_t, TQTYPE_DSTRW>;

void CAny_TQDSTRW::SetValueFromANSI(const void* p)
{
    // The terminator is not part of the text.
    SetValueFromANSI(p, static_cast<unsigned int>(TXT_nLenMax(static_cast<const char*>(p), STRMEM_MAX_SIZE + 1)));
}

void CAny_TQDSTRW::SetValueFromANSI(const void* p, unsigned int n)
{
    SetValueFromANSI_CP(-1, p, n);
}

void CAny_TQDSTRW::SetValueFromANSI_CP(int nCodePage, const void* p)
{
    SetValueFromANSI_CP(nCodePage, p,
                        static_cast<unsigned int>(TXT_nLenMax(static_cast<const char*>(p), STRMEM_MAX_SIZE + 1)));
}

void CAny_TQDSTRW::SetValueFromANSI_CP(int nCodePage, const void* p, unsigned int n)
{
    // Too long for a host string: the value is left as it is.
    if (n != UINT_MAX && n > static_cast<unsigned int>(STRMEM_MAX_SIZE))
        return;
    _clTexte().__nConversion(static_cast<const char*>(p), static_cast<int>(n), 0,
                             static_cast<int>(PageDe(nCodePage)), 0, nullptr);
}

int CAny_TQDSTRW::s_SetFromUTF16(CAny* pclAny, const unsigned short* p, int n)
{
    if (pclAny == nullptr || pclAny->nGetTypeCode() != TQTYPE_DSTRW)
        return TQSTATUS_NOT_HANDLED;
    if (p == nullptr || n < 1)
        return s_nSetTexte(pclAny, nullptr, 0);
    if (n > STRMEM_MAX_SIZE / static_cast<long long>(sizeof(wchar_t)))
        return STRMEM_ERROR_TOO_LONG;
    // No more wide characters than UTF-16 units.
    wchar_t* pw = static_cast<wchar_t*>(XMALLOC_pNew_(static_cast<std::size_t>(n) * sizeof(wchar_t)));
    if (pw == nullptr)
        return TQSTATUS_NO_MEMORY;
    const int nWide = UTF16ToWideChar(p, n, pw, n);
    const int nStatus = s_nSetTexte(pclAny, pw, nWide);
    XMALLOC_Del_(pw);
    return nStatus;
}

// ---- Inline date and time texts --------------------------------------------------------------

template <class T, unsigned short CODE, unsigned N, bool UTIL_LENGTH>
unsigned CAny_TQTexteFixe<T, CODE, N, UTIL_LENGTH>::_nLongueur() const
{
    return static_cast<unsigned>(TXT_nLenMax(_pszTexte(), N));
}

template <class T, unsigned short CODE, unsigned N, bool UTIL_LENGTH>
void CAny_TQTexteFixe<T, CODE, N, UTIL_LENGTH>::_Copie(const T* p, unsigned int nMax)
{
    if (nMax > N)
        nMax = N;
    const std::size_t k = TXT_nLenMax(p, nMax);
    T* psz = _pszTexte();
    // p may be this very text.
    if (k != 0)
        std::memmove(psz, p, k * sizeof(T));
    for (std::size_t i = k; i <= N; ++i)
        psz[i] = 0;
}

template <class T, unsigned short CODE, unsigned N, bool UTIL_LENGTH>
void CAny_TQTexteFixe<T, CODE, N, UTIL_LENGTH>::Duplique(CAny* pclCible) const
{
    if (pclCible == nullptr || bMemeValeur(pclCible, _pclAny()))
        return;
    _Duplique(pclCible, CODE, _pszTexte());
}

template <class T, unsigned short CODE, unsigned N, bool UTIL_LENGTH>
int CAny_TQTexteFixe<T, CODE, N, UTIL_LENGTH>::nGetSize(unsigned int* pnSize) const
{
    *pnSize = N * sizeof(T);
    return TQSTATUS_OK;
}

template <class T, unsigned short CODE, unsigned N, bool UTIL_LENGTH>
int CAny_TQTexteFixe<T, CODE, N, UTIL_LENGTH>::nGetAdr(void** ppAdr) const
{
    *ppAdr = _pszTexte();
    return TQSTATUS_OK;
}

template <class T, unsigned short CODE, unsigned N, bool UTIL_LENGTH>
int CAny_TQTexteFixe<T, CODE, N, UTIL_LENGTH>::nFillBuffer(void* pBuffer) const
{
    std::memcpy(pBuffer, _pszTexte(), N * sizeof(T));
    return TQSTATUS_OK;
}

template <class T, unsigned short CODE, unsigned N, bool UTIL_LENGTH>
int CAny_TQTexteFixe<T, CODE, N, UTIL_LENGTH>::nGetDataSize(unsigned int* pnSize) const
{
    *pnSize = (N + 1) * sizeof(T);
    return TQSTATUS_OK;
}

template <class T, unsigned short CODE, unsigned N, bool UTIL_LENGTH>
int CAny_TQTexteFixe<T, CODE, N, UTIL_LENGTH>::nGetDataAdr(void** ppAdr) const
{
    *ppAdr = _pszTexte();
    return TQSTATUS_OK;
}

template <class T, unsigned short CODE, unsigned N, bool UTIL_LENGTH>
int CAny_TQTexteFixe<T, CODE, N, UTIL_LENGTH>::nFillDataBuffer(void* pBuffer) const
{
    const unsigned n = _nLongueur();
    std::memcpy(pBuffer, _pszTexte(), n * sizeof(T));
    static_cast<T*>(pBuffer)[n] = 0;
    return TQSTATUS_OK;
}

template <class T, unsigned short CODE, unsigned N, bool UTIL_LENGTH>
void CAny_TQTexteFixe<T, CODE, N, UTIL_LENGTH>::SetValue(const void* p)
{
    _Copie(static_cast<const T*>(p), N);
}

template <class T, unsigned short CODE, unsigned N, bool UTIL_LENGTH>
void CAny_TQTexteFixe<T, CODE, N, UTIL_LENGTH>::SetValue(const void* p, unsigned int n)
{
    _Copie(static_cast<const T*>(p), n);
}

template <class T, unsigned short CODE, unsigned N, bool UTIL_LENGTH>
int CAny_TQTexteFixe<T, CODE, N, UTIL_LENGTH>::nGetPCASTR(const char** ppsz) const
{
    return bDonneTexte(_pszTexte(), ppsz) ? TQSTATUS_OK : CAny_Intern::nGetPCASTR(ppsz);
}

template <class T, unsigned short CODE, unsigned N, bool UTIL_LENGTH>
int CAny_TQTexteFixe<T, CODE, N, UTIL_LENGTH>::nGetPCWSTR(const wchar_t** ppsz) const
{
    return bDonneTexte(_pszTexte(), ppsz) ? TQSTATUS_OK : CAny_Intern::nGetPCWSTR(ppsz);
}

template <class T, unsigned short CODE, unsigned N, bool UTIL_LENGTH>
int CAny_TQTexteFixe<T, CODE, N, UTIL_LENGTH>::nGetSTRLEN(unsigned int* pnLen) const
{
    *pnLen = _nLongueur();
    return TQSTATUS_OK;
}

template <class T, unsigned short CODE, unsigned N, bool UTIL_LENGTH>
int CAny_TQTexteFixe<T, CODE, N, UTIL_LENGTH>::nGetUtilDataSize(unsigned int* pnSize) const
{
    *pnSize = (UTIL_LENGTH ? _nLongueur() : N) * sizeof(T);
    return TQSTATUS_OK;
}

template <class T, unsigned short CODE, unsigned N, bool UTIL_LENGTH>
int CAny_TQTexteFixe<T, CODE, N, UTIL_LENGTH>::nFillUtilDataBuffer(void* pBuffer) const
{
    return nFillDataBuffer(pBuffer);
}

template class CAny_TQTexteFixe<char, TQTYPE_DATEA, 8, false>;
template class CAny_TQTexteFixe<char, TQTYPE_TIMEA, 9, true>;
template class CAny_TQTexteFixe<wchar_t, TQTYPE_DATEW, 8, false>;
template class CAny_TQTexteFixe<wchar_t, TQTYPE_TIMEW, 9, true>;

namespace {

// At most N wide characters of p narrowed to Windows-1252 into psz (N + 1
// bytes); answers the bytes written.
template <unsigned N>
unsigned Retrecit(const void* p, char (&psz)[N + 1])
{
    const wchar_t* pw = static_cast<const wchar_t*>(p);
    const std::size_t k = TXT_nLenMax(pw, N);
    if (k == 0)
        return 0;
    const int n = WideCharToMultiByte(CP_1252, 0, pw, static_cast<int>(k), psz, N + 1, nullptr, nullptr);
    return n > 0 ? static_cast<unsigned>(n) : 0;
}

// At most min(n, N) bytes of p widened from Windows-1252 into psz.
template <unsigned N>
unsigned Elargit(const void* p, unsigned int n, wchar_t (&psz)[N + 1])
{
    const char* pa = static_cast<const char*>(p);
    const std::size_t k = TXT_nLenMax(pa, n < N ? n : N);
    if (k == 0)
        return 0;
    const int nOut = MultiByteToWideChar(CP_1252, 0, pa, static_cast<int>(k), psz, N + 1);
    return nOut > 0 ? static_cast<unsigned>(nOut) : 0;
}

} // namespace

void CAny_TQDATEA::SetValueFromUNICODE(const void* p)
{
    char sz[9];
    const unsigned n = Retrecit<8>(p, sz);
    _Copie(sz, n);
}

void CAny_TQTIMEA::SetValueFromUNICODE(const void* p)
{
    char sz[10];
    const unsigned n = Retrecit<9>(p, sz);
    _Copie(sz, n);
}

void CAny_TQDATEW::SetValueFromANSI(const void* p) { SetValueFromANSI(p, UINT_MAX); }

void CAny_TQDATEW::SetValueFromANSI(const void* p, unsigned int n)
{
    wchar_t sz[9];
    const unsigned nOut = Elargit<8>(p, n, sz);
    _Copie(sz, nOut);
}

void CAny_TQTIMEW::SetValueFromANSI(const void* p) { SetValueFromANSI(p, UINT_MAX); }

void CAny_TQTIMEW::SetValueFromANSI(const void* p, unsigned int n)
{
    wchar_t sz[10];
    const unsigned nOut = Elargit<9>(p, n, sz);
    _Copie(sz, nOut);
}
