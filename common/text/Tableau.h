// Growable arrays of fixed-size elements in one contiguous C-heap buffer.
// Elements are moved as bytes: no constructor or destructor of an element
// ever runs, so elements are pointers, integers, enumerations or plain
// records. Indices are 0-based; an index outside the array makes an
// operation do nothing (it would otherwise read or write past the buffer).
// Allocation failure and sizes that do not fit 32 bits throw
// std::bad_alloc, leaving the array as it was.
#pragma once

#include "common/platform/ZTUnknown.h"
#include "common/text/RefTraits.h"
#include "common/text/ZTAssert.h"

#include <type_traits>

// A run of elements for PermuteMultiple.
struct _STBlocATrier {
    int nDebut;  // index of the first element
    int nNombre; // number of elements
};

class CTableauDeBuffer {
public:
    CTableauDeBuffer(int nTailleElement, int nPasAgrandissement, int nSeuilCompactage);
    CTableauDeBuffer(const CTableauDeBuffer&) = delete;
    CTableauDeBuffer& operator=(const CTableauDeBuffer&) = delete;

    // Slot order kept: Agrandir, the destructors, Initialise, Compacter.
    virtual void Agrandir();
    virtual ~CTableauDeBuffer();
    // n copies of one value in a new buffer of exactly n elements; an
    // earlier buffer is freed.
    virtual void Initialise(const void* pValeur, int nNombre);
    virtual void Compacter();

    // Answers the address of the stored copy.
    void* Ajoute(const void* pElement);
    void Insere(const void* pElement, int nIndice);
    void SetAt(const void* pElement, int nIndice);
    // Stores pValeur at nIndice; slots between the old count and nIndice
    // get pRemplissage.
    void Etend(int nIndice, const void* pValeur, const void* pRemplissage);
    void Supprime(int nIndice, int nNombre);
    void SupprimeCompacte(int nIndice);
    // Answers the number of elements dropped (0 when n is out of range).
    int SupprimeDernier(int nNombre);
    void SupprimeToutEtLibere();
    void AlloueMemoire(int nNombre);
    void AgranditMemoire(int nNombre);
    void Deplace(int nDepuis, int nVers);
    void Swap(int i, int j);
    // Writes the elements before nPremier, then the blocks in list order
    // (adjacent blocks merged into runs), then the rest in place. Blocks
    // outside the array, or runs that would write past the count, leave the
    // array untouched.
    void PermuteMultiple(int nPremier, _STBlocATrier* pBlocs, unsigned int nBlocs);

    void _Duplique(const CTableauDeBuffer& clSource);
    void _RecupereDonnees(CTableauDeBuffer* pclSource);
    void Recupere(CTableauDeBuffer* pclSource);

    // Over arrays of pointers: the first element p with
    // pfnCritere(nCritere, p) == 0.
    void* pRechercheLineaireCriterePointeur(int nCritere, int (*pfnCritere)(int, const void*)) const;
    int nRechercheLineaireCriterePointeur(int nCritere, int (*pfnCritere)(int, const void*)) const;

    int nGetNbElement() const { return m_nNbElement; }
    int nGetNbAlloue() const { return m_nNbAlloue; }
    int nGetTailleElement() const { return m_nTailleElement; }
    int nGetPasAgrandissement() const { return m_nPasAgrandissement; }
    void SetPasAgrandissement(int nPas) { m_nPasAgrandissement = nPas; }
    int nGetSeuilCompactage() const { return m_nSeuilCompactage; }
    // Address of element i, null outside 0 .. count-1.
    void* pGetElement(int i) const;

    friend void EchangeTableau(CTableauDeBuffer* pclA, CTableauDeBuffer* pclB);

protected:
    // One growth with a temporary step; the grow step is restored even
    // when the growth throws.
    void _AgrandirDe(long long nPas);
    // Grows when full, keeping *ppElement valid if it points into the
    // buffer.
    void _AssureUnePlace(const void** ppElement);
    unsigned char* _pSlot(int i) const
    {
        return static_cast<unsigned char*>(m_pBuffer) + static_cast<unsigned int>(i) * static_cast<unsigned int>(m_nTailleElement);
    }

    int m_nTailleElement;     // bytes per element
    int m_nNbElement;         // elements in use
    int m_nNbAlloue;          // elements the buffer holds
    int m_nPasAgrandissement; // elements added by one growth
    int m_nSeuilCompactage;   // free slots above which SupprimeCompacte shrinks
    void* m_pBuffer;          // null while there is no storage
};

void EchangeTableau(CTableauDeBuffer* pclA, CTableauDeBuffer* pclB);

template <class T>
class CTTableau : public CTableauDeBuffer {
    static_assert(std::is_trivially_copyable<T>::value, "elements are moved as bytes");

public:
    explicit CTTableau(int nPasAgrandissement = 1, int nSeuilCompactage = 30)
        : CTableauDeBuffer(static_cast<int>(sizeof(T)), nPasAgrandissement, nSeuilCompactage)
    {
    }
    ~CTTableau() override {}

    using CTableauDeBuffer::Initialise;
    virtual void Initialise(const T& valeur, int nNombre) { CTableauDeBuffer::Initialise(&valeur, nNombre); }

    // 0 <= i < count; checked only where ZT_ASSERT is on.
    T& operator[](int i)
    {
        ZT_ASSERT(i >= 0);
        ZT_ASSERT(i < m_nNbElement);
        return static_cast<T*>(m_pBuffer)[i];
    }
    const T& operator[](int i) const
    {
        ZT_ASSERT(i >= 0);
        ZT_ASSERT(i < m_nNbElement);
        return static_cast<const T*>(m_pBuffer)[i];
    }
    T* pGetDonnees() const { return static_cast<T*>(m_pBuffer); }
};

// Pointers to objects it does not own.
template <class T>
class CTTableauPtr : public CTTableau<T*> {
public:
    explicit CTTableauPtr(int nPasAgrandissement = 1, int nSeuilCompactage = 30)
        : CTTableau<T*>(nPasAgrandissement, nSeuilCompactage)
    {
    }
    ~CTTableauPtr() override {}
};

// Pointer array holding one reference on every element it stores (null
// elements allowed, a pointer stored twice holds two). Elements are
// released from the last to the first, each while still in the array.
template <class T>
class CRefArray : protected CTTableauPtr<T> {
    typedef CTTableauPtr<T> CBase;

public:
    explicit CRefArray(int nPasAgrandissement = 1, int nSeuilCompactage = 30)
        : CBase(nPasAgrandissement, nSeuilCompactage)
    {
    }
    ~CRefArray() override { SupprimeTout(); }
    void Compacter() override { CBase::Compacter(); }

    void _AddRef(T* p) const
    {
        if (p != nullptr)
            CRefTraits<T>::AddRef(p);
    }
    void _Release(T* p) const
    {
        if (p != nullptr)
            CRefTraits<T>::Release(p);
    }

    // The room is made before the reference is taken, so that a failed
    // growth leaves the object as the caller gave it.
    T** Ajoute(T* p)
    {
        this->_AssureUnePlace(nullptr);
        _AddRef(p);
        return static_cast<T**>(CBase::Ajoute(&p));
    }
    // 1 when stored; 0 (no reference taken) when the index is not 0 .. count.
    int Insere(T* p, int nIndice)
    {
        if (nIndice < 0 || nIndice > this->m_nNbElement)
            return 0;
        this->_AssureUnePlace(nullptr);
        _AddRef(p);
        CBase::Insere(&p, nIndice);
        return 1;
    }
    // Replaces element i, dropping the reference on the old one afterwards.
    int SetAt(T* p, int nIndice)
    {
        if (nIndice < 0 || nIndice >= this->m_nNbElement)
            return 0;
        _AddRef(p);
        T* pAncien = (*this)[nIndice];
        CBase::SetAt(&p, nIndice);
        _Release(pAncien);
        return 1;
    }
    int Supprime(int nIndice)
    {
        if (nIndice < 0 || nIndice >= this->m_nNbElement)
            return 0;
        _Release((*this)[nIndice]);
        CBase::Supprime(nIndice, 1);
        return 1;
    }
    // Empties the array from the last element to the first; the storage
    // stays.
    void SupprimeTout()
    {
        for (int i = this->m_nNbElement - 1; i >= 0; i--) {
            _Release((*this)[i]);
            CBase::Supprime(i, 1);
        }
    }

    // Element i, null outside 0 .. count-1.
    T* operator[](int i) const
    {
        if (i < 0 || i >= this->m_nNbElement)
            return nullptr;
        return this->pGetDonnees()[i];
    }

    using CBase::nGetNbElement;
    using CBase::nGetNbAlloue;
    using CBase::nGetPasAgrandissement;
    using CBase::SetPasAgrandissement;
    using CBase::AlloueMemoire;
    using CBase::Deplace;
    using CBase::Swap;
    using CBase::pRechercheLineaireCriterePointeur;
    using CBase::nRechercheLineaireCriterePointeur;
};

// A reference-holding array that is itself a shared object: its count
// starts at 0 and dwRelease of the last reference destroys it with its
// elements' references.
template <class T>
class CNARefArray : public CRefArray<T>, public CZTUnknown {
public:
    explicit CNARefArray(int nPasAgrandissement = 1, int nSeuilCompactage = 30)
        : CRefArray<T>(nPasAgrandissement, nSeuilCompactage)
    {
    }
    ~CNARefArray() override {}
};
