// An abstract hash table whose buckets are lists of (key, value) pairs and
// whose bucket count follows the element count through primes; and the
// library's four string hash functions.
#pragma once

#include "common/text/ListeDeBuffer.h"

class CHashBase {
public:
    explicit CHashBase(int nBucketCount);
    virtual ~CHashBase();
    CHashBase(const CHashBase&) = delete;
    CHashBase& operator=(const CHashBase&) = delete;

    // The key's hash value and the key test (non-zero for the same key).
    virtual unsigned int dwHashKey(void* pKey) = 0;
    virtual int bSameKey(void* pStoredKey, void* pKey) = 0;

    void SetNiveau(int nGrowFactor, int nShrinkFactor);
    // No test for an existing key. False when the pair cannot be filed.
    bool Ajoute(void* pKey, void* pValue);
    bool AjouteDYN(void* pKey, void* pValue);
    bool bRecherche(void* pKey, void** ppValue, void** ppStoredKey);
    bool bRechercheConst(void* pKey, void** ppValue, void** ppStoredKey) const;
    bool bSupprime(void* pKey);
    bool bSupprimeDYN(void* pKey);
    // The first pair of the first non-empty bucket from *pnBucket on;
    // *ppValue null when there is none.
    void SupprimeCourant(int* pnBucket, void** ppValue, void** ppKey);
    void SupprimeTout();
    void RedimensionneTable(int nBucketCount);
    void _RedimentionneTablePlus();
    void _RedimentionneTableMoins();

    int nGetBucketCount() const { return m_nBucketCount; }
    int nGetNbElement() const { return m_nElementCount; }

private:
    struct stPair {
        void* pKey;
        void* pValue;
    };
    static int _nFirstPrimeFrom(int n);
    unsigned _nBucket(void* pKey, int nBucketCount) const;

    int m_nGrowFactor;
    int m_nShrinkFactor;
    int m_nBucketCount;
    CListeDeBuffer* m_pBuckets;
    int m_nElementCount;
};

// String hashes: sums of the characters modulo 2^32 (0 for null or empty).
unsigned int dwHashValT(const wchar_t* psz);
// Bytes taken as signed characters.
unsigned int dwHashValTA(const char* psz);
// Upper-cased first.
unsigned int dwHashValTi(const wchar_t* psz);
unsigned int dwHashValTiA(const char* psz);
