// Chained hash table of pointer-sized keys and values with caller-supplied
// hash and compare functions. Entries live in one pool of fixed records
// addressed by 1-based numbers and chained into prime-sized buckets; the table
// grows and shrinks by stepping through a fixed list of primes so that the
// load stays at or below one half.
//
// The typed, reference-holding forms that the driver files its objects in
// (CRefHashTable, CNARefHashTable, CRefStringHashTable) are in
// common/text/RefHashTable.h.
#pragma once

#include <cstddef>
#include <cstdint>

class CHashTableBounce {
public:
    typedef int (*PFN_COMPARE)(const void* pKey, const void* pStoredKey);
    typedef unsigned int (*PFN_HASHVAL)(const void* pKey);

    // One pool entry. nPrev is 0xFFFFFFFF while the entry is free; nNext then
    // links the free list.
    struct _stELEMENT {
        void* pKey;
        void* pValue;
        unsigned int nPrev;
        unsigned int nNext;
    };

    enum : unsigned int {
        FREE_ENTRY = 0xFFFFFFFFu,
        NB_LEVELS = 29,
    };

    // Bucket counts by level.
    static const unsigned int g__ToutPretToutChaud[NB_LEVELS];

    // Sized to hold nRequest elements without growing. Throws std::bad_alloc
    // when the pool or the buckets cannot be had.
    explicit CHashTableBounce(unsigned int nRequest);
    // Frees the pool and the buckets; keys and values are not touched.
    virtual ~CHashTableBounce();

    virtual void SetCmp(PFN_COMPARE pfCompare);
    virtual void SetHashVal(PFN_HASHVAL pfHashVal);
    virtual unsigned int dwGetNumElement() const;
    // Files a pair in front of any pair of an equal key; false only when the
    // table cannot grow.
    virtual bool bAddElement(void* pKey, void* pValue);
    // Removes the pair of a key; the value and the stored key come back
    // through the out pointers (each may be null). False when absent.
    virtual bool bDeleteElement(const void* pKey, void** ppValue, void** ppStoredKey);
    virtual bool bGetElement(const void* pKey, void** ppValue, void** ppStoredKey) const;
    // Walks the elements: *pnPosition starts at 0 and then holds the number of
    // the element just returned; false after the last one. bRemove unlinks
    // each element returned (the table does not shrink while walking).
    virtual bool bParseTable(unsigned int* pnPosition, int bRemove, void** ppValue, void** ppKey);
    // Ends a walk left before its end.
    virtual void StopParsing();
    // Address of the value word of a key's entry, null when absent.
    virtual void** pGetElement(const void* pKey);
    virtual bool __bGrow();
    virtual bool __bReduce();
    virtual void __RehashElement();
    virtual void __Compact(unsigned int nLimit);
    virtual PFN_COMPARE pfGetCmp() const;
    virtual PFN_HASHVAL pfGetHashVal() const;
    // Empties the table and sizes it for nRequest elements (0 means 7);
    // nothing happens on an empty table.
    virtual void DeleteAll(unsigned int nRequest);
    // Replace the value or key word of the element returned at a position
    // (the key is not rehashed). False for position 0, a position past the
    // pool or a free entry.
    virtual bool bParseSetElement(unsigned int nPosition, void* pValue, void** ppOldValue = nullptr);
    virtual bool bParseSetKey(unsigned int nPosition, void* pKey, void** ppOldKey = nullptr);

    // Keys that are wide C strings, compared and hashed ignoring case and
    // accents.
    static int nStringLogiqueCompare(const void* pKey, const void* pStoredKey);
    static unsigned int dwStringLogiqueHashVal(const void* pKey);

    CHashTableBounce(const CHashTableBounce&) = delete;
    CHashTableBounce& operator=(const CHashTableBounce&) = delete;

protected:
    // Sizes the table for a request; with bReset the current content is
    // dropped first. False when the storage cannot be had.
    bool __Init(unsigned int nRequest, int bReset);
    void __DeleteFromHash(_stELEMENT* pElement, unsigned int nBucket, unsigned int nIndex);

    _stELEMENT& _Entry(unsigned int nNumber) const { return m_pElements[nNumber - 1]; }
    unsigned int _nBucketOf(const void* pKey) const;
    int _nCompare(const void* pKey, const void* pStoredKey) const;
    // Number of the entry of a key, 0 when absent.
    unsigned int _nFind(const void* pKey, unsigned int* pnBucket) const;
    void _ChainFree(unsigned int nFirst, unsigned int nLast, unsigned int nNextFree);
    static unsigned int _nLevelFor(unsigned int nRequest, int nLevel);
    static bool _bSizesFit(int nLevel);

    _stELEMENT* m_pElements;
    unsigned int m_nPoolCapacity;
    unsigned int m_nFreeHead;
    unsigned int* m_pnBuckets;
    unsigned int m_nBucketCount;
    unsigned int m_nElementCount;
    int m_nParseCounter;
    PFN_COMPARE m_pfCompare;
    PFN_HASHVAL m_pfHashVal;
    int m_nLevel;
};

#include "common/text/RefHashTable.h"
