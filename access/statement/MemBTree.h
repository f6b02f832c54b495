// In-memory B+-tree of fixed-size keys, each key carrying any number of
// distinct fixed-size values. Inner nodes count the records below them, so
// that going to the n-th record and moving by many records walk down the
// tree once. Nodes and value buckets come from the tree's object pools. No
// error object: operations answer 0, -1 or null.
#pragma once

#include "access/statement/TObjAlloc.h"

// Answers below 0, 0 or above 0 as a is below, equal to or above b; the
// searched key is always a.
typedef int (*PFNMEMBTREECOMPARE)(const void* a, const void* b, unsigned int nSize);

// Common head of the nodes: 1 inner node, 2 leaf, 3 root (an inner node).
struct CMemNode {
    enum { eIndex = 1, eData = 2, eRoot = 3 };
    int m_nType;

    // Binary search of pKey in nCount elements of nSize bytes: the element's
    // position with *pbFound = 1, else the insertion point with *pbFound = 0.
    static int nSearch(unsigned int nSize, int nCount, const void* pArray, const void* pKey,
                       PFNMEMBTREECOMPARE pfnCompare, int* pbFound);
};

// Inner node; followed by order keys (key j is the first key of child j + 1)
// and order + 1 child pointers.
struct CMemIndexNode : CMemNode {
    int m_nKeyCount;
    int m_nRecordCount; // records of the whole subtree
};

// Leaf; followed by order keys, then (with values) order value slots (the
// key's only value or its bucket's address) and the bucket bits.
struct CMemDataNode : CMemNode {
    CMemDataNode* m_pclPrevious;
    CMemDataNode* m_pclNext;
    int m_nKeyCount;
    int m_nRecordCount; // values of this leaf, bucket contents included
};

// The values of a key that has more than one: a vector in ascending order,
// or from class 6 on a nested tree whose keys are the values.
struct CMemBucket {
    enum { eClassCount = 7, eNestedClass = 6 };
    short m_nCount; // -1 for a nested tree
    short m_nClass;
    // {shrink threshold, capacity} of each class; capacity 0: nested tree.
    static const short mg_stTabSizeThreshold[eClassCount][2];
};

#if defined(__i386__)
static_assert(sizeof(CMemIndexNode) == 12, "inner node head: type, key count, record count");
static_assert(sizeof(CMemDataNode) == 20, "leaf head: type, previous, next, key count, record count");
#endif
static_assert(sizeof(CMemBucket) == 4, "bucket head: count and class, 16 bits each");

class CMemBTree {
public:
    // The tree's one position: a key of a leaf and, for a key with a bucket,
    // the value's index in its vector or its place in the nested tree. No
    // leaf: the end (or an empty tree). Key moves land on a key's first value.
    class CIterator {
    public:
        bool bEnd() const { return m_pclLeaf == nullptr; }
        // To the first record; 0 when the tree is empty.
        int bFirstRecord();
        // To the next key or the end; 0 (and no move) at the end.
        int bKeyMoveForward();
        // To the previous key (from the end: the last key); 0 (and no move)
        // on the first key or in an empty tree.
        int bKeyMoveBackward();
        // One record on; nothing at the end.
        void RecordMoveForward();
        // One record back (from the end: the last record); nothing on the
        // first record.
        void RecordMoveBackward();
        // A key index past its leaf's last key moves onto the next leaf's
        // first key (its first value) or the end.
        void Validate();

        CMemBTree* m_pclTree;
        CMemDataNode* m_pclLeaf;
        int m_nKey;
        CMemDataNode* m_pclBucketLeaf; // leaf of a nested tree, else null
        int m_nBucketIndex;

    private:
        friend class CMemBTree;
        void _FirstValue();
        void _LastValue();
    };

    enum { eSearchExact = 1, eSearchLast = 2 };
    enum { eAdvanceByKey = 1, eAdvancePartial = 2, eAdvanceToEnd = 4 };

    CMemBTree();
    CMemBTree(const CMemBTree&) = delete;
    CMemBTree& operator=(const CMemBTree&) = delete;
    ~CMemBTree();

    // Unsigned bytes, as memcmp: the comparison of keys whose byte order is
    // their sort order.
    static int nCompareBytes(const void* a, const void* b, unsigned int nSize);

    // A new tree set up by bInit; null when set-up fails. Release with delete.
    static CMemBTree* pclCreate(unsigned int nKeySize, unsigned int nValueSize, PFNMEMBTREECOMPARE pfnKeyCompare,
                                PFNMEMBTREECOMPARE pfnValueCompare, int nOrder);
    // Order 0 means 32; a key size of 0, an order of 1 or below 0, missing
    // comparisons and sizes too large are refused. Value size 0: keys only.
    // Only once, on an empty tree.
    int bInit(unsigned int nKeySize, unsigned int nValueSize, PFNMEMBTREECOMPARE pfnKeyCompare,
              PFNMEMBTREECOMPARE pfnValueCompare, int nOrder);

    // 0 when the pair is present already, or the key in a tree of keys only.
    int bInsert(const void* pKey, const void* pValue);
    // A null pValue removes the key with all its values. 0 when absent.
    int bDelete(const void* pKey, const void* pValue);
    // Removes the record at the iterator, which moves to the next record or
    // the end. 0 at the end.
    int bDeleteCurrentRecord();

    // Flags eSearchExact, eSearchLast; answers the value at the new position
    // (null in a tree of keys only, and when nothing fits: then no move).
    const void* pSearch(const void* pKey, int nFlags);
    // Positions on the first record at or after the pair; answers whether
    // the pair is there.
    int bFindRecord(const void* pKey, const void* pValue);

    void GotoFirstRecord();
    void GotoEnd();
    // The n-th record from 0; n beyond the last or below 0: the end.
    void MoveTo(int n);
    // Moves nSteps records (or keys with eAdvanceByKey); *pnDone gets the
    // steps made. A move not made in full is refused (no move) unless
    // eAdvancePartial is given and a step was made; the end is a place to
    // stop only with eAdvanceToEnd.
    int bAdvance(int nSteps, int* pnDone, int nFlags);

    const void* pReadKey() const;
    const void* pReadValue() const;
    int nNumDuplicates() const;
    int nGetNumRecord() const;

    // Builds the tree from n pairs in any order. 0 (tree left empty) on a
    // repeated pair, or a repeated key in a tree of keys only; 0 on a tree
    // that holds records already.
    int bLoadBulk(const void* pKeys, const void* pValues, int n);

    int nCompareKey(const void* pKey1, const void* pKey2) const;
    // Key, then value, of two elements of key size + value size bytes.
    int _nCompareRec(const void* pRec1, const void* pRec2) const;

    const CIterator& clGetIterator() const { return m_clIterator; }

private:
    friend class CIterator;
    friend class CMemBTreeChecker; // the tests' invariant checker

    struct CPath;
    struct CScratch;

    // Layout
    unsigned char* _pbyIndexKey(CMemIndexNode* p, int i) const
    {
        return reinterpret_cast<unsigned char*>(p + 1) + static_cast<unsigned int>(i) * m_nKeySize;
    }
    unsigned char* _pbyChildSlot(CMemIndexNode* p, int i) const
    {
        return reinterpret_cast<unsigned char*>(p + 1) + m_nOrder * m_nKeySize + static_cast<unsigned int>(i) * sizeof(void*);
    }
    CMemNode* _pclChild(CMemIndexNode* p, int i) const;
    void _SetChild(CMemIndexNode* p, int i, CMemNode* pclChild) const;
    unsigned char* _pbyLeafKey(CMemDataNode* p, int i) const
    {
        return reinterpret_cast<unsigned char*>(p + 1) + static_cast<unsigned int>(i) * m_nKeySize;
    }
    unsigned char* _pbySlot(CMemDataNode* p, int i) const
    {
        return reinterpret_cast<unsigned char*>(p + 1) + m_nOrder * m_nKeySize + static_cast<unsigned int>(i) * m_nSlotSize;
    }
    unsigned char* _pbyBits(CMemDataNode* p) const
    {
        return reinterpret_cast<unsigned char*>(p + 1) + m_nOrder * (m_nKeySize + m_nSlotSize);
    }
    bool _bIsBucket(CMemDataNode* p, int i) const;
    void _SetBucketBit(CMemDataNode* p, int i, bool b) const;
    CMemBucket* _pclBucket(CMemDataNode* p, int i) const;
    void _SetBucket(CMemDataNode* p, int i, CMemBucket* pcl) const;
    static unsigned char* _pbyVector(CMemBucket* p) { return reinterpret_cast<unsigned char*>(p + 1); }
    static CMemBTree* _pclNested(CMemBucket* p) { return reinterpret_cast<CMemBTree*>(p + 1); }
    static int _nBucketCount(CMemBucket* p);
    int _nValueCount(CMemDataNode* p, int i) const;
    static int _nNodeRecords(CMemNode* p);
    static void _AddNodeRecords(CMemNode* p, int n);

    // Pools
    CMemIndexNode* _pclNewIndex(int nType);
    CMemDataNode* _pclNewLeaf();
    void _FreeIndex(CMemIndexNode* p);
    void _FreeLeaf(CMemDataNode* p);
    CMemBucket* _pclNewBucket(int nClass);
    void _FreeBucket(CMemBucket* p);
    void _FreeSlotContents(CMemDataNode* p, int i);
    void _FreeAll();

    // Searches and positions
    int _nChildIndex(CMemIndexNode* p, const void* pKey) const;
    CMemDataNode* _pclFindLeaf(const void* pKey, CPath* pPath) const;
    CMemDataNode* _pclFirstLeaf() const;
    CMemDataNode* _pclLastLeaf() const;
    const unsigned char* _pbyFirstKey(CMemNode* p) const;
    const unsigned char* _pbyValueAt(const CIterator& it) const;
    void _SeekPair(const void* pKey, const void* pValue, int* pbFound);
    long long _llRank(const CIterator& it) const;
    int _nRankInTree(CMemDataNode* pclLeaf, int nKey) const;
    void _PositionAt(CIterator& it, int n) const;
    bool _bSaveIterator(CScratch& cl) const;
    void _RestoreIterator(const CScratch& cl, bool bSaved);

    // Changes without the iterator
    int _bInsert(const void* pKey, const void* pValue);
    int _bDelete(const void* pKey, const void* pValue);
    int _bAddValue(CMemDataNode* pclLeaf, int nPos, const void* pValue);
    int _nRemoveValue(CMemDataNode* pclLeaf, int nPos, const void* pValue);
    void _LeafInsertAt(CMemDataNode* p, int nPos, const void* pKey, const void* pValue);
    void _LeafMove(CMemDataNode* pDst, int nDst, CMemDataNode* pSrc, int nSrc, int n);
    void _LeafShift(CMemDataNode* p, int nFrom, int nBy);
    void _IndexInsertAt(CMemIndexNode* p, int nKeyPos, const void* pKey, CMemNode* pclChild);
    void _IndexRemoveAt(CMemIndexNode* p, int nKeyPos);
    bool _bLeafRotateOnInsert(CMemIndexNode* pParent, int nChild, int nPos, const void* pKey, const void* pValue);
    CMemDataNode* _pclSplitLeaf(CMemDataNode* p, int nPos, const void* pKey, const void* pValue, CMemDataNode* pclNew);
    bool _bIndexRotateOnInsert(CMemIndexNode* pParent, int nChild, int nKeyPos, const void* pKey, CMemNode* pclNew);
    CMemIndexNode* _pclSplitIndex(CMemIndexNode* p, int nKeyPos, const void* pKey, CMemNode* pclNew,
                                  CMemIndexNode* pclRight, const void** ppUp);
    int _nRebalance(CMemIndexNode* pParent, int nChild);
    int _bBuildSorted(const unsigned char* pbyRecs, int n);

    CTObjAlloc* m_pclIndexPool;
    CTObjAlloc* m_pclDataPool;
    int m_nOrder;
    int m_nMinFill;
    PFNMEMBTREECOMPARE m_pfnKeyCompare;
    PFNMEMBTREECOMPARE m_pfnValueCompare;
    unsigned int m_nKeySize;
    unsigned int m_nValueSize;
    unsigned int m_nSlotSize;
    CTObjAlloc* m_apclBucketPool[CMemBucket::eClassCount];
    CMemIndexNode* m_pclRoot;
    CIterator m_clIterator;
};

#if defined(__i386__)
static_assert(sizeof(CMemBTree) == 88, "pools by address, seven set-up words, root, five-word iterator");
static_assert(alignof(CMemBTree) <= 4, "a nested tree sits 4 bytes into its bucket");
#endif
