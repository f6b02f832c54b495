#include "common/text/Tableau.h"
#include "common/text/SysUtils.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

// Bytes for n elements; sizes that do not fit a positive int are refused so
// that no count x size computation can wrap.
size_t nOctetsPour(long long nElements, int nTailleElement)
{
    if (nElements < 0 || nTailleElement < 1)
        throw std::bad_alloc();
    long long nOctets = nElements * nTailleElement;
    if (nElements > INT_MAX || nOctets > INT_MAX)
        throw std::bad_alloc();
    return static_cast<size_t>(nOctets);
}

// Offset of p inside [pBuffer, pBuffer + nOctets), or -1.
long long nDecalageDans(const void* p, const void* pBuffer, size_t nOctets)
{
    if (p == nullptr || pBuffer == nullptr)
        return -1;
    uintptr_t a = reinterpret_cast<uintptr_t>(p);
    uintptr_t b = reinterpret_cast<uintptr_t>(pBuffer);
    if (a < b || a - b >= nOctets)
        return -1;
    return static_cast<long long>(a - b);
}

} // namespace

CTableauDeBuffer::CTableauDeBuffer(int nTailleElement, int nPasAgrandissement, int nSeuilCompactage)
    : m_nTailleElement(nTailleElement),
      m_nNbElement(0),
      m_nNbAlloue(0),
      m_nPasAgrandissement(nPasAgrandissement),
      m_nSeuilCompactage(nSeuilCompactage),
      m_pBuffer(nullptr)
{
}

CTableauDeBuffer::~CTableauDeBuffer()
{
    XMALLOC_Del_(m_pBuffer);
}

void CTableauDeBuffer::Agrandir()
{
    int nPas = m_nPasAgrandissement;
    // One-by-one arrays stop reallocating on every addition past 100.
    if (nPas == 1 && m_nNbAlloue > 100 && m_nTailleElement <= 256)
        nPas = 20;
    // A step below 1 would leave a full array full.
    if (nPas < 1)
        nPas = 1;
    long long nNouveau = static_cast<long long>(m_nNbAlloue) + nPas;
    size_t nOctets = nOctetsPour(nNouveau, m_nTailleElement);
    void* p = m_pBuffer != nullptr ? XMALLOC_pResize_(m_pBuffer, nOctets) : XMALLOC_pNew_(nOctets);
    if (p == nullptr)
        throw std::bad_alloc();
    m_pBuffer = p;
    m_nNbAlloue = static_cast<int>(nNouveau);
}

void CTableauDeBuffer::_AgrandirDe(long long nPas)
{
    if (nPas > INT_MAX)
        throw std::bad_alloc();
    int nAncien = m_nPasAgrandissement;
    m_nPasAgrandissement = static_cast<int>(nPas);
    try {
        Agrandir();
    } catch (...) {
        m_nPasAgrandissement = nAncien;
        throw;
    }
    m_nPasAgrandissement = nAncien;
}

void CTableauDeBuffer::_AssureUnePlace(const void** ppElement)
{
    if (m_nNbElement < m_nNbAlloue)
        return;
    long long nDecalage = -1;
    if (ppElement != nullptr)
        nDecalage = nDecalageDans(*ppElement, m_pBuffer, static_cast<size_t>(m_nNbAlloue) * m_nTailleElement);
    Agrandir();
    // The element may have been a slot of the old buffer.
    if (nDecalage >= 0)
        *ppElement = static_cast<unsigned char*>(m_pBuffer) + nDecalage;
}

void CTableauDeBuffer::Initialise(const void* pValeur, int nNombre)
{
    if (nNombre < 0)
        return;
    if (nNombre == 0) {
        SupprimeToutEtLibere();
        return;
    }
    size_t nOctets = nOctetsPour(nNombre, m_nTailleElement);
    void* p = XMALLOC_pNew_(nOctets);
    if (p == nullptr)
        throw std::bad_alloc();
    // Filled before the old buffer goes: the value may live in it.
    for (int i = 0; i < nNombre; i++)
        memcpy(static_cast<unsigned char*>(p) + static_cast<size_t>(i) * m_nTailleElement, pValeur, m_nTailleElement);
    XMALLOC_Del_(m_pBuffer);
    m_pBuffer = p;
    m_nNbElement = nNombre;
    m_nNbAlloue = nNombre;
}

void CTableauDeBuffer::Compacter()
{
    if (m_nNbElement > 0) {
        if (m_nNbElement == m_nNbAlloue)
            return;
        void* p = XMALLOC_pResize_(m_pBuffer, static_cast<size_t>(m_nNbElement) * m_nTailleElement);
        // A shrink that fails keeps the larger buffer, which is still sound.
        if (p == nullptr)
            return;
        m_pBuffer = p;
    } else {
        XMALLOC_Del_(m_pBuffer);
        m_pBuffer = nullptr;
    }
    m_nNbAlloue = m_nNbElement;
}

void* CTableauDeBuffer::Ajoute(const void* pElement)
{
    _AssureUnePlace(&pElement);
    unsigned char* pSlot = _pSlot(m_nNbElement);
    memmove(pSlot, pElement, m_nTailleElement);
    m_nNbElement++;
    ZT_ASSERT(m_nNbElement <= m_nNbAlloue);
    return pSlot;
}

void CTableauDeBuffer::Insere(const void* pElement, int nIndice)
{
    if (nIndice < 0 || nIndice > m_nNbElement)
        return;
    _AssureUnePlace(&pElement);
    long long nDecalage = nDecalageDans(pElement, m_pBuffer, static_cast<size_t>(m_nNbElement) * m_nTailleElement);
    unsigned char* pSlot = _pSlot(nIndice);
    memmove(pSlot + m_nTailleElement, pSlot, static_cast<size_t>(m_nNbElement - nIndice) * m_nTailleElement);
    // An element of the array itself moved up with the others.
    if (nDecalage >= static_cast<long long>(nIndice) * m_nTailleElement)
        pElement = static_cast<const unsigned char*>(pElement) + m_nTailleElement;
    memmove(pSlot, pElement, m_nTailleElement);
    m_nNbElement++;
    ZT_ASSERT(m_nNbElement <= m_nNbAlloue);
}

void CTableauDeBuffer::SetAt(const void* pElement, int nIndice)
{
    if (nIndice < 0 || nIndice >= m_nNbElement)
        return;
    memmove(_pSlot(nIndice), pElement, m_nTailleElement);
}

void CTableauDeBuffer::Etend(int nIndice, const void* pValeur, const void* pRemplissage)
{
    if (nIndice < 0)
        return;
    if (nIndice < m_nNbElement) {
        SetAt(pValeur, nIndice);
        return;
    }
    if (nIndice == m_nNbElement) {
        Ajoute(pValeur);
        return;
    }
    if (nIndice >= m_nNbAlloue) {
        // The new capacity is nIndice + the grow step.
        size_t nOctets = static_cast<size_t>(m_nNbAlloue) * m_nTailleElement;
        long long nValeur = nDecalageDans(pValeur, m_pBuffer, nOctets);
        long long nRemplissage = nDecalageDans(pRemplissage, m_pBuffer, nOctets);
        int nPas = m_nPasAgrandissement < 1 ? 1 : m_nPasAgrandissement;
        _AgrandirDe(static_cast<long long>(nPas) - m_nNbAlloue + nIndice);
        unsigned char* pNouveau = static_cast<unsigned char*>(m_pBuffer);
        if (nValeur >= 0)
            pValeur = pNouveau + nValeur;
        if (nRemplissage >= 0)
            pRemplissage = pNouveau + nRemplissage;
    }
    for (int i = m_nNbElement; i < nIndice; i++)
        memmove(_pSlot(i), pRemplissage, m_nTailleElement);
    memmove(_pSlot(nIndice), pValeur, m_nTailleElement);
    m_nNbElement = nIndice + 1;
    ZT_ASSERT(m_nNbElement <= m_nNbAlloue);
}

void CTableauDeBuffer::Supprime(int nIndice, int nNombre)
{
    if (nNombre == 0)
        return;
    if (nIndice < 0 || nNombre < 0 || nIndice > m_nNbElement - nNombre)
        return;
    if (nIndice + nNombre < m_nNbElement)
        memmove(_pSlot(nIndice), _pSlot(nIndice + nNombre), static_cast<size_t>(m_nNbElement - nIndice - nNombre) * m_nTailleElement);
    m_nNbElement -= nNombre;
}

void CTableauDeBuffer::SupprimeCompacte(int nIndice)
{
    if (nIndice < 0 || nIndice >= m_nNbElement)
        return;
    Supprime(nIndice, 1);
    if (m_nNbAlloue - m_nNbElement > m_nSeuilCompactage)
        Compacter();
}

int CTableauDeBuffer::SupprimeDernier(int nNombre)
{
    if (nNombre < 0 || nNombre > m_nNbElement)
        return 0;
    m_nNbElement -= nNombre;
    return nNombre;
}

void CTableauDeBuffer::SupprimeToutEtLibere()
{
    XMALLOC_Del_(m_pBuffer);
    m_pBuffer = nullptr;
    m_nNbElement = 0;
    m_nNbAlloue = 0;
}

void CTableauDeBuffer::AlloueMemoire(int nNombre)
{
    if (m_nNbAlloue < nNombre)
        _AgrandirDe(static_cast<long long>(nNombre) - m_nNbAlloue);
}

void CTableauDeBuffer::AgranditMemoire(int nNombre)
{
    if (nNombre < 1)
        return;
    long long nManque = static_cast<long long>(m_nNbElement) + nNombre - m_nNbAlloue;
    if (nManque < 1)
        return;
    long long nPas = m_nPasAgrandissement < 1 ? 1 : m_nPasAgrandissement;
    _AgrandirDe((nManque + nPas - 1) / nPas * nPas);
}

void CTableauDeBuffer::Deplace(int nDepuis, int nVers)
{
    if (nDepuis == nVers)
        return;
    if (nDepuis < 0 || nDepuis >= m_nNbElement || nVers < 0 || nVers >= m_nNbElement)
        return;
    // A rotation of the bytes between the two slots does the shift and the
    // move at once.
    if (nDepuis > nVers)
        std::rotate(_pSlot(nVers), _pSlot(nDepuis), _pSlot(nDepuis + 1));
    else
        std::rotate(_pSlot(nDepuis), _pSlot(nDepuis + 1), _pSlot(nVers + 1));
}

void CTableauDeBuffer::Swap(int i, int j)
{
    if (i < 0 || i >= m_nNbElement || j < 0 || j >= m_nNbElement || i == j)
        return;
    std::swap_ranges(_pSlot(i), _pSlot(i + 1), _pSlot(j));
}

void CTableauDeBuffer::PermuteMultiple(int nPremier, _STBlocATrier* pBlocs, unsigned int nBlocs)
{
    if (nPremier < 0 || nPremier > m_nNbElement || (pBlocs == nullptr && nBlocs != 0))
        return;
    for (unsigned int b = 0; b < nBlocs; b++) {
        if (pBlocs[b].nDebut < 0 || pBlocs[b].nNombre < 0 || pBlocs[b].nDebut > m_nNbElement - pBlocs[b].nNombre)
            return;
    }

    // Runs of adjacent blocks are copied whole. The first pass only checks
    // that no run is written past the count (blocks that repeat elements).
    unsigned char* pNouveau = nullptr;
    for (int nPasse = 0; nPasse < 2; nPasse++) {
        if (nPasse == 1) {
            if (m_nNbElement == 0)
                return;
            pNouveau = static_cast<unsigned char*>(XMALLOC_pNew_(static_cast<size_t>(m_nNbAlloue) * m_nTailleElement));
            if (pNouveau == nullptr)
                throw std::bad_alloc();
        }
        long long nDebut = 0;
        long long nLongueur = nPremier;
        long long nSortie = 0;
        auto fnCopie = [&]() -> bool {
            if (nSortie + nLongueur > m_nNbElement)
                return false;
            if (pNouveau != nullptr && nLongueur > 0)
                memcpy(pNouveau + nSortie * m_nTailleElement, _pSlot(static_cast<int>(nDebut)), static_cast<size_t>(nLongueur) * m_nTailleElement);
            nSortie += nLongueur;
            return true;
        };
        for (unsigned int b = 0; b < nBlocs; b++) {
            if (pBlocs[b].nDebut == nDebut + nLongueur) {
                nLongueur += pBlocs[b].nNombre;
                continue;
            }
            if (nLongueur > 0 && !fnCopie()) {
                XMALLOC_Del_(pNouveau);
                return;
            }
            nDebut = pBlocs[b].nDebut;
            nLongueur = pBlocs[b].nNombre;
        }
        if (!fnCopie()) {
            XMALLOC_Del_(pNouveau);
            return;
        }
        if (pNouveau != nullptr) {
            if (nSortie < m_nNbElement)
                memcpy(pNouveau + nSortie * m_nTailleElement, _pSlot(static_cast<int>(nSortie)), static_cast<size_t>(m_nNbElement - nSortie) * m_nTailleElement);
            XMALLOC_Del_(m_pBuffer);
            m_pBuffer = pNouveau;
        }
    }
}

void CTableauDeBuffer::_Duplique(const CTableauDeBuffer& clSource)
{
    // Another element size would copy past one of the two buffers.
    if (&clSource == this || clSource.m_nTailleElement != m_nTailleElement)
        return;
    SupprimeToutEtLibere();
    AlloueMemoire(clSource.m_nNbElement);
    if (clSource.m_nNbElement > 0)
        memcpy(m_pBuffer, clSource.m_pBuffer, static_cast<size_t>(clSource.m_nNbElement) * m_nTailleElement);
    m_nNbElement = clSource.m_nNbElement;
    ZT_ASSERT(m_nNbElement <= m_nNbAlloue);
}

void CTableauDeBuffer::_RecupereDonnees(CTableauDeBuffer* pclSource)
{
    // Taking elements of another size would misread the capacity.
    if (pclSource == nullptr || pclSource == this || pclSource->m_nTailleElement != m_nTailleElement)
        return;
    SupprimeToutEtLibere();
    m_nNbElement = pclSource->m_nNbElement;
    m_nNbAlloue = pclSource->m_nNbAlloue;
    ZT_ASSERT(m_nNbElement <= m_nNbAlloue);
    m_pBuffer = pclSource->m_pBuffer;
    pclSource->m_nNbElement = 0;
    pclSource->m_nNbAlloue = 0;
    pclSource->m_pBuffer = nullptr;
}

// The source's settings too, whatever its element size.
void CTableauDeBuffer::Recupere(CTableauDeBuffer* pclSource)
{
    if (pclSource == nullptr || pclSource == this)
        return;
    m_nTailleElement = pclSource->m_nTailleElement;
    m_nPasAgrandissement = pclSource->m_nPasAgrandissement;
    m_nSeuilCompactage = pclSource->m_nSeuilCompactage;
    _RecupereDonnees(pclSource);
}

void EchangeTableau(CTableauDeBuffer* pclA, CTableauDeBuffer* pclB)
{
    if (pclA == nullptr || pclB == nullptr || pclA == pclB)
        return;
    std::swap(pclA->m_nTailleElement, pclB->m_nTailleElement);
    std::swap(pclA->m_nNbElement, pclB->m_nNbElement);
    std::swap(pclA->m_nNbAlloue, pclB->m_nNbAlloue);
    std::swap(pclA->m_nPasAgrandissement, pclB->m_nPasAgrandissement);
    std::swap(pclA->m_nSeuilCompactage, pclB->m_nSeuilCompactage);
    std::swap(pclA->m_pBuffer, pclB->m_pBuffer);
}

void* CTableauDeBuffer::pRechercheLineaireCriterePointeur(int nCritere, int (*pfnCritere)(int, const void*)) const
{
    int i = nRechercheLineaireCriterePointeur(nCritere, pfnCritere);
    return i < 0 ? nullptr : static_cast<void**>(m_pBuffer)[i];
}

int CTableauDeBuffer::nRechercheLineaireCriterePointeur(int nCritere, int (*pfnCritere)(int, const void*)) const
{
    // Only arrays of pointers can be read as pointers.
    if (pfnCritere == nullptr || m_nTailleElement != static_cast<int>(sizeof(void*)))
        return -1;
    void* const* pElements = static_cast<void* const*>(m_pBuffer);
    for (int i = 0; i < m_nNbElement; i++) {
        if (pfnCritere(nCritere, pElements[i]) == 0)
            return i;
    }
    return -1;
}

void* CTableauDeBuffer::pGetElement(int i) const
{
    if (i < 0 || i >= m_nNbElement)
        return nullptr;
    return _pSlot(i);
}
