#include "common/text/HashBase.h"

#include "common/text/XMath.h"

#include <cctype>
#include <cwctype>
#include <new>

CHashBase::CHashBase(int nBucketCount)
    : m_nGrowFactor(3), m_nShrinkFactor(1), m_nBucketCount(0), m_pBuckets(nullptr), m_nElementCount(0)
{
    if (nBucketCount > 0) {
        m_pBuckets = static_cast<CListeDeBuffer*>(::operator new(sizeof(CListeDeBuffer) * nBucketCount, std::nothrow));
        if (m_pBuckets != nullptr) {
            for (int i = 0; i < nBucketCount; i++)
                new (&m_pBuckets[i]) CListeDeBuffer(sizeof(stPair));
            m_nBucketCount = nBucketCount;
        }
    }
}

namespace {

void _DestroyBuckets(CListeDeBuffer* p, int n)
{
    if (p == nullptr)
        return;
    for (int i = 0; i < n; i++)
        p[i].~CListeDeBuffer();
    ::operator delete(p);
}

}  // namespace

CHashBase::~CHashBase() { _DestroyBuckets(m_pBuckets, m_nBucketCount); }

void CHashBase::SetNiveau(int nGrowFactor, int nShrinkFactor)
{
    m_nGrowFactor = nGrowFactor;
    m_nShrinkFactor = nShrinkFactor;
}

unsigned CHashBase::_nBucket(void* pKey, int nBucketCount) const
{
    return const_cast<CHashBase*>(this)->dwHashKey(pKey) % static_cast<unsigned>(nBucketCount);
}

bool CHashBase::Ajoute(void* pKey, void* pValue)
{
    if (m_nBucketCount <= 0)
        return false;
    stPair st = {pKey, pValue};
    if (!m_pBuckets[_nBucket(pKey, m_nBucketCount)].Ajoute(&st, 1))
        return false;
    m_nElementCount++;
    return true;
}

bool CHashBase::AjouteDYN(void* pKey, void* pValue)
{
    _RedimentionneTablePlus();
    return Ajoute(pKey, pValue);
}

int CHashBase::_nFirstPrimeFrom(int n)
{
    if (n < 2)
        n = 2;
    while (!CXMath::bEstPremier(static_cast<unsigned>(n)))
        n++;
    return n;
}

void CHashBase::_RedimentionneTablePlus()
{
    if (m_nElementCount >= m_nBucketCount * m_nGrowFactor)
        RedimensionneTable(_nFirstPrimeFrom(2 * m_nBucketCount));
}

void CHashBase::_RedimentionneTableMoins()
{
    if (m_nElementCount < m_nBucketCount * m_nShrinkFactor) {
        int n = _nFirstPrimeFrom(m_nBucketCount / 2);
        RedimensionneTable(n < 43 ? 43 : n);
    }
}

void CHashBase::RedimensionneTable(int nBucketCount)
{
    if (nBucketCount < 1 || nBucketCount == m_nBucketCount)
        return;
    CListeDeBuffer* pNew =
        static_cast<CListeDeBuffer*>(::operator new(sizeof(CListeDeBuffer) * nBucketCount, std::nothrow));
    // Without room the table stays as it is.
    if (pNew == nullptr)
        return;
    for (int i = 0; i < nBucketCount; i++)
        new (&pNew[i]) CListeDeBuffer(sizeof(stPair));
    const int nCount = m_nElementCount;
    int nBucket = 0;
    for (;;) {
        void* pValue = nullptr;
        void* pKey = nullptr;
        SupprimeCourant(&nBucket, &pValue, &pKey);
        if (nBucket >= m_nBucketCount)
            break;
        stPair st = {pKey, pValue};
        pNew[_nBucket(pKey, nBucketCount)].Ajoute(&st, 1);
    }
    _DestroyBuckets(m_pBuckets, m_nBucketCount);
    m_pBuckets = pNew;
    m_nBucketCount = nBucketCount;
    m_nElementCount = nCount;
}

void CHashBase::SupprimeCourant(int* pnBucket, void** ppValue, void** ppKey)
{
    while (*pnBucket < m_nBucketCount && m_pBuckets[*pnBucket].nGetNbElement() == 0)
        (*pnBucket)++;
    if (*pnBucket >= m_nBucketCount) {
        *ppValue = nullptr;
        return;
    }
    CListeDeBuffer& cl = m_pBuckets[*pnBucket];
    cl.pVaSurNumero(0);
    const stPair* p = static_cast<const stPair*>(cl.pCourant());
    *ppValue = p->pValue;
    if (ppKey != nullptr)
        *ppKey = p->pKey;
    cl.SupprimeCourant();
    m_nElementCount--;
}

bool CHashBase::bRecherche(void* pKey, void** ppValue, void** ppStoredKey)
{
    if (m_nBucketCount <= 0)
        return false;
    CListeDeBuffer& cl = m_pBuckets[_nBucket(pKey, m_nBucketCount)];
    for (stPair* p = static_cast<stPair*>(cl.pVaSurNumero(0)); p != nullptr; p = static_cast<stPair*>(cl.pVaSuivant())) {
        if (bSameKey(p->pKey, pKey)) {
            if (ppValue != nullptr)
                *ppValue = p->pValue;
            if (ppStoredKey != nullptr)
                *ppStoredKey = p->pKey;
            return true;
        }
    }
    return false;
}

bool CHashBase::bRechercheConst(void* pKey, void** ppValue, void** ppStoredKey) const
{
    if (m_nBucketCount <= 0)
        return false;
    CListeDeBuffer cl(m_pBuckets[_nBucket(pKey, m_nBucketCount)]);
    CHashBase* pThis = const_cast<CHashBase*>(this);
    for (stPair* p = static_cast<stPair*>(cl.pVaSurNumero(0)); p != nullptr; p = static_cast<stPair*>(cl.pVaSuivant())) {
        if (pThis->bSameKey(p->pKey, pKey)) {
            if (ppValue != nullptr)
                *ppValue = p->pValue;
            if (ppStoredKey != nullptr)
                *ppStoredKey = p->pKey;
            return true;
        }
    }
    return false;
}

bool CHashBase::bSupprime(void* pKey)
{
    if (!bRecherche(pKey, nullptr, nullptr))
        return false;
    m_pBuckets[_nBucket(pKey, m_nBucketCount)].SupprimeCourant();
    m_nElementCount--;
    return true;
}

bool CHashBase::bSupprimeDYN(void* pKey)
{
    if (!bSupprime(pKey))
        return false;
    _RedimentionneTableMoins();
    return true;
}

void CHashBase::SupprimeTout()
{
    if (m_nElementCount <= 0)
        return;
    for (int i = 0; i < m_nBucketCount; i++)
        m_pBuckets[i].SupprimeTout();
    m_nElementCount = 0;
}

// ---- String hashes ------------------------------------------------------------

unsigned int dwHashValT(const wchar_t* psz)
{
    unsigned int n = 0;
    for (; psz != nullptr && *psz != 0; psz++)
        n += static_cast<unsigned int>(*psz);
    return n;
}

unsigned int dwHashValTA(const char* psz)
{
    unsigned int n = 0;
    for (; psz != nullptr && *psz != 0; psz++)
        n += static_cast<unsigned int>(static_cast<int>(static_cast<signed char>(*psz)));
    return n;
}

unsigned int dwHashValTi(const wchar_t* psz)
{
    unsigned int n = 0;
    for (; psz != nullptr && *psz != 0; psz++)
        n += static_cast<unsigned int>(std::towupper(static_cast<wint_t>(*psz)));
    return n;
}

unsigned int dwHashValTiA(const char* psz)
{
    unsigned int n = 0;
    for (; psz != nullptr && *psz != 0; psz++) {
        const int c = static_cast<signed char>(*psz);
        // toupper is defined for unsigned char values: bytes above 0x7F keep
        // their signed value.
        n += static_cast<unsigned int>(c >= 0 ? std::toupper(c) : c);
    }
    return n;
}
