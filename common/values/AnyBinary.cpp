// Treatments of the host types held by reference: binaries, caller buffers,
// arrays of values and host objects.
#include "common/text/TQBIN.h"
#include "common/values/AnyTreatments.h"
#include "common/text/SysUtils.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

CTQBIN* Bin(unsigned char* p) { return reinterpret_cast<CTQBIN*>(p); }

// Pointer at 0 and 32-bit count at 4 (buffers and arrays).
template <class T>
T* Pointeur(const unsigned char* p)
{
    return TQ_Lit<T*>(p);
}

// Bytes of a pointer and its 32-bit count.
const unsigned kTaillePaire = sizeof(void*) + sizeof(std::uint32_t);

std::uint32_t Compte(const unsigned char* p) { return TQ_Lit<std::uint32_t>(p + sizeof(void*)); }

template <class T>
void EcritPaire(unsigned char* p, T* pt, std::uint32_t n)
{
    TQ_Ecrit<T*>(p, pt);
    TQ_Ecrit<std::uint32_t>(p + sizeof(void*), n);
}

// A new C-heap array of deep copies of the n values at pSource into
// *ppTab (null for none). False when memory runs out: nothing is kept.
bool bCopieTab(const CAny* pSource, unsigned int n, CAny** ppTab)
{
    *ppTab = nullptr;
    if (pSource == nullptr || n == 0)
        return true;
    if (n > static_cast<unsigned int>(-1) / sizeof(CAny))
        return false;
    CAny* pTab = static_cast<CAny*>(XMALLOC_pNew_(sizeof(CAny) * n));
    if (pTab == nullptr)
        return false;
    for (unsigned int i = 0; i < n; ++i) {
        ::new (static_cast<void*>(&pTab[i])) CAny;
        pTab[i].__SetType(pSource[i].nGetType(), 0);
        if (pSource[i].nGetTypeCode() != TQTYPE_TABANY) {
            pSource[i].pclGetTraitement()->Duplique(&pTab[i]);
            continue;
        }
        // A nested array is copied here so that its failure is seen.
        CAny* pSous = nullptr;
        const std::uint32_t nSous = Compte(pSource[i].pbyGetValeur());
        if (!bCopieTab(Pointeur<CAny>(pSource[i].pbyGetValeur()), nSous, &pSous)) {
            CAny_TQTABANY::s_DeleteTab(pTab, i + 1);
            return false;
        }
        CAny_TQTABANY::s_SetDirect(&pTab[i], pSous, nSous);
        pTab[i].SetFlags(pSource[i].nGetFlags());
    }
    *ppTab = pTab;
    return true;
}

// Installs an array in a type-83 value, freeing the array it held.
void RemplaceTab(unsigned char* pbyValeur, CAny* pTab, unsigned int n)
{
    CAny* pAncien = Pointeur<CAny>(pbyValeur);
    const std::uint32_t nAncien = Compte(pbyValeur);
    EcritPaire(pbyValeur, pTab, n);
    CAny_TQTABANY::s_DeleteTab(pAncien, nAncien);
}

// How the holders of host objects take and give back a count.
void Prend(CObjetCompteHote* p) { ++p->m_nCompte; }
void Rend(CObjetCompteHote* p) { p->Libere(); }
void Prend(IObjetHote* p) { p->AddRef(); }
void Rend(IObjetHote* p) { p->Release(); }

// Puts pNouveau (null: none) in place of the object a value holds. It is
// taken before the old one is given back: they may be the same object.
template <class T>
void RemplaceObjet(unsigned char* pbyValeur, T* pNouveau)
{
    if (pNouveau != nullptr)
        Prend(pNouveau);
    T* pAncien = TQ_Lit<T*>(pbyValeur);
    TQ_Ecrit(pbyValeur, pNouveau);
    if (pAncien != nullptr)
        Rend(pAncien);
}

} // namespace

// ---- Binary -----------------------------------------------------------------------------

CAny_TQBIN::~CAny_TQBIN() { Bin(_pbyValeur())->Assign(nullptr, 0); }

void CAny_TQBIN::Duplique(CAny* pclCible) const
{
    if (pclCible == nullptr || pclCible == _pclAny())
        return;
    // A reference of our own keeps the block alive while the target changes.
    CTQBIN clPartage(*Bin(_pbyValeur()));
    _Duplique(pclCible, TQTYPE_BIN, &clPartage);
}

int CAny_TQBIN::nGetSize(unsigned int* pnSize) const
{
    *pnSize = sizeof(CTQBIN);
    return TQSTATUS_OK;
}

int CAny_TQBIN::nGetAdr(void** ppAdr) const
{
    *ppAdr = _pbyValeur();
    return TQSTATUS_OK;
}

int CAny_TQBIN::nFillBuffer(void* pBuffer) const
{
    static_cast<CTQBIN*>(pBuffer)->Assign(Bin(_pbyValeur()), -1);
    return TQSTATUS_OK;
}

int CAny_TQBIN::nGetDataSize(unsigned int* pnSize) const
{
    *pnSize = static_cast<unsigned int>(Bin(_pbyValeur())->nGetSize());
    return TQSTATUS_OK;
}

int CAny_TQBIN::nGetDataAdr(void** ppAdr) const
{
    *ppAdr = Bin(_pbyValeur())->pGetData();
    return TQSTATUS_OK;
}

int CAny_TQBIN::nFillDataBuffer(void* pBuffer) const
{
    const CTQBIN* pcl = Bin(_pbyValeur());
    if (pcl->nGetSize() > 0)
        std::memcpy(pBuffer, pcl->pGetData(), static_cast<size_t>(pcl->nGetSize()));
    return TQSTATUS_OK;
}

void CAny_TQBIN::SetValue(const void* p) { Bin(_pbyValeur())->Assign(static_cast<const CTQBIN*>(p), -1); }

void CAny_TQBIN::SetValue(const void* p, unsigned int n)
{
    // Above the signed range nAssign refuses (108) and leaves the value.
    Bin(_pbyValeur())->nAssign(static_cast<const unsigned char*>(p), p != nullptr ? static_cast<int>(n) : 0);
}

int CAny_TQBIN::nGetUtilDataSize(unsigned int* pnSize) const { return nGetDataSize(pnSize); }

int CAny_TQBIN::nFillUtilDataBuffer(void* pBuffer) const { return nFillDataBuffer(pBuffer); }

// ---- Caller's buffer ------------------------------------------------------------------------

void CAny_TQBUFFER::Duplique(CAny* pclCible) const
{
    if (pclCible == nullptr || pclCible == _pclAny())
        return;
    void* p = Pointeur<void>(_pbyValeur());
    const std::uint32_t n = Compte(_pbyValeur());
    const unsigned short nFlags = _pclAny()->nGetFlags();
    pclCible->__SetType(TQTYPE_BUFFER, 0);
    pclCible->pclGetTraitement()->SetValue(p, n);
    pclCible->SetFlags(nFlags);
}

int CAny_TQBUFFER::nGetSize(unsigned int* pnSize) const
{
    *pnSize = kTaillePaire;
    return TQSTATUS_OK;
}

int CAny_TQBUFFER::nGetAdr(void** ppAdr) const
{
    *ppAdr = _pbyValeur();
    return TQSTATUS_OK;
}

int CAny_TQBUFFER::nFillBuffer(void* pBuffer) const
{
    std::memcpy(pBuffer, _pbyValeur(), kTaillePaire);
    return TQSTATUS_OK;
}

int CAny_TQBUFFER::nGetDataSize(unsigned int* pnSize) const
{
    *pnSize = Compte(_pbyValeur());
    return TQSTATUS_OK;
}

int CAny_TQBUFFER::nGetDataAdr(void** ppAdr) const
{
    *ppAdr = Pointeur<void>(_pbyValeur());
    return TQSTATUS_OK;
}

int CAny_TQBUFFER::nFillDataBuffer(void* pBuffer) const
{
    const void* p = Pointeur<void>(_pbyValeur());
    const std::uint32_t n = Compte(_pbyValeur());
    if (p != nullptr && n > 0)
        std::memcpy(pBuffer, p, n);
    return TQSTATUS_OK;
}

void CAny_TQBUFFER::SetValue(const void* p) { EcritPaire(_pbyValeur(), const_cast<void*>(p), 0); }

void CAny_TQBUFFER::SetValue(const void* p, unsigned int n) { EcritPaire(_pbyValeur(), const_cast<void*>(p), n); }

int CAny_TQBUFFER::nGetUtilDataSize(unsigned int* pnSize) const { return nGetDataSize(pnSize); }

int CAny_TQBUFFER::nFillUtilDataBuffer(void* pBuffer) const { return nFillDataBuffer(pBuffer); }

// ---- Array of values --------------------------------------------------------------------

void CAny_TQTABANY::s_DeleteTab(CAny* pTab, unsigned int nCount)
{
    if (pTab == nullptr)
        return;
    for (unsigned int i = 0; i < nCount; ++i)
        pTab[i].~CAny();
    XMALLOC_Del_(pTab);
}

void CAny_TQTABANY::s_SetDirect(CAny* pclAny, CAny* pTab, unsigned int nCount)
{
    pclAny->__SetType(TQTYPE_TABANY, 0);
    RemplaceTab(pclAny->pbyGetValeur(), pTab, pTab != nullptr ? nCount : 0);
}

CAny_TQTABANY::~CAny_TQTABANY() { RemplaceTab(_pbyValeur(), nullptr, 0); }

void CAny_TQTABANY::Duplique(CAny* pclCible) const
{
    if (pclCible == nullptr || pclCible == _pclAny())
        return;
    // The copy is complete before the target changes: this value may be an
    // element of the target's array.
    // When memory runs out the target keeps its value.
    const std::uint32_t n = Compte(_pbyValeur());
    CAny* pCopie = nullptr;
    if (!bCopieTab(Pointeur<CAny>(_pbyValeur()), n, &pCopie))
        return;
    const unsigned short nFlags = _pclAny()->nGetFlags();
    s_SetDirect(pclCible, pCopie, n);
    pclCible->SetFlags(nFlags);
}

int CAny_TQTABANY::nGetSize(unsigned int* pnSize) const
{
    *pnSize = kTaillePaire;
    return TQSTATUS_OK;
}

int CAny_TQTABANY::nGetAdr(void** ppAdr) const
{
    *ppAdr = _pbyValeur();
    return TQSTATUS_OK;
}

int CAny_TQTABANY::nFillBuffer(void* pBuffer) const
{
    std::memcpy(pBuffer, _pbyValeur(), kTaillePaire);
    return TQSTATUS_OK;
}

int CAny_TQTABANY::nGetDataSize(unsigned int* pnSize) const
{
    *pnSize = Compte(_pbyValeur());
    return TQSTATUS_OK;
}

int CAny_TQTABANY::nGetDataAdr(void** ppAdr) const
{
    *ppAdr = Pointeur<CAny>(_pbyValeur());
    return TQSTATUS_OK;
}

int CAny_TQTABANY::nFillDataBuffer(void*) const { return TQSTATUS_NOT_HANDLED; }

void CAny_TQTABANY::SetValue(const void* p) { SetValue(p, 1); }

void CAny_TQTABANY::SetValue(const void* p, unsigned int n)
{
    // Built before the old array goes: p may point into it. When memory
    // runs out the value keeps its array.
    CAny* pCopie = nullptr;
    if (!bCopieTab(static_cast<const CAny*>(p), n, &pCopie))
        return;
    RemplaceTab(_pbyValeur(), pCopie, pCopie != nullptr ? n : 0);
}

int CAny_TQTABANY::nGetUtilDataSize(unsigned int* pnSize) const { return nGetDataSize(pnSize); }

int CAny_TQTABANY::nFillUtilDataBuffer(void* pBuffer) const { return nFillDataBuffer(pBuffer); }

// ---- Host objects -------------------------------------------------------------------------

int CAny_TQObjet::nGetSize(unsigned int* pnSize) const
{
    *pnSize = sizeof(void*);
    return TQSTATUS_OK;
}

int CAny_TQObjet::nGetAdr(void** ppAdr) const
{
    *ppAdr = _pbyValeur();
    return TQSTATUS_OK;
}

int CAny_TQObjet::nFillBuffer(void* pBuffer) const
{
    std::memcpy(pBuffer, _pbyValeur(), sizeof(void*));
    return TQSTATUS_OK;
}

int CAny_TQObjet::nGetDataSize(unsigned int* pnSize) const { return nGetSize(pnSize); }

int CAny_TQObjet::nGetDataAdr(void** ppAdr) const { return nGetAdr(ppAdr); }

int CAny_TQObjet::nFillDataBuffer(void* pBuffer) const { return nFillBuffer(pBuffer); }

int CAny_TQObjet::nGetUtilDataSize(unsigned int* pnSize) const { return nGetSize(pnSize); }

int CAny_TQObjet::nFillUtilDataBuffer(void* pBuffer) const { return nFillBuffer(pBuffer); }

CAny_TQObjetCompte::~CAny_TQObjetCompte()
{
    RemplaceObjet<CObjetCompteHote>(_pbyValeur(), nullptr);
}

void CAny_TQObjetCompte::Duplique(CAny* pclCible) const
{
    if (pclCible == nullptr || pclCible == _pclAny())
        return;
    _Duplique(pclCible, static_cast<unsigned char>(_nGetType()), TQ_Lit<CObjetCompteHote*>(_pbyValeur()));
}

void CAny_TQObjetCompte::SetValue(const void* p)
{
    RemplaceObjet(_pbyValeur(), static_cast<CObjetCompteHote*>(const_cast<void*>(p)));
}

CAny_TQObjetRef::~CAny_TQObjetRef()
{
    RemplaceObjet<IObjetHote>(_pbyValeur(), nullptr);
}

void CAny_TQObjetRef::SetValue(const void* p)
{
    RemplaceObjet(_pbyValeur(), static_cast<IObjetHote*>(const_cast<void*>(p)));
}

void CAny_TQObjetRef::_DupliqueObjet(CAny* pclCible, unsigned short nType) const
{
    if (pclCible == nullptr || pclCible == _pclAny())
        return;
    pclCible->__SetType(nType, 0);
    pclCible->pclGetTraitement()->SetValue(TQ_Lit<IObjetHote*>(_pbyValeur()));
    pclCible->SetFlags(0);
}

void CAny_TQOBJET_BASE::Duplique(CAny* pclCible) const { _DupliqueObjet(pclCible, TQTYPE_OBJET); }

void CAny_TQDINO::Duplique(CAny* pclCible) const { _DupliqueObjet(pclCible, TQTYPE_DINO); }
