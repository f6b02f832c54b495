// Invariant checker of the in-memory B+-tree (a friend of the tree), and a
// flat copy of its records, for the tree's tests.
#pragma once

#include "access/statement/MemBTree.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

class CMemBTreeChecker {
public:
    typedef std::vector<std::pair<std::string, std::string>> Records;

    explicit CMemBTreeChecker(CMemBTree& clTree) : m_clTree(clTree) {}

    // Every structural rule; the first broken one is described.
    testing::AssertionResult Check()
    {
        m_osError.str("");
        m_nIndex = 0;
        m_nLeaves = 0;
        for (int& n : m_anBuckets)
            n = 0;
        m_apLeaves.clear();
        m_bOk = true;
        _CheckTree();
        if (m_bOk)
            return testing::AssertionSuccess();
        return testing::AssertionFailure() << m_osError.str();
    }

    // Every record in order: key bytes, value bytes (empty in a tree of keys only).
    Records Content() const
    {
        Records v;
        const CMemBTree& t = m_clTree;
        for (CMemDataNode* p = t._pclFirstLeaf(); p != nullptr; p = p->m_pclNext) {
            for (int i = 0; i < p->m_nKeyCount; i++) {
                std::string k(reinterpret_cast<const char*>(t._pbyLeafKey(p, i)), t.m_nKeySize);
                for (const std::string& s : Values(p, i))
                    v.emplace_back(k, s);
            }
        }
        return v;
    }

    // The iterator's record rank counted from the first record (the count
    // at the end), through the tree's own rank descent.
    long long Rank() const { return m_clTree._llRank(m_clTree.m_clIterator); }

    CTObjAlloc* IndexPool() const { return m_clTree.m_pclIndexPool; }
    CTObjAlloc* DataPool() const { return m_clTree.m_pclDataPool; }
    CTObjAlloc* BucketPool(int c) const { return m_clTree.m_apclBucketPool[c]; }
    int Order() const { return m_clTree.m_nOrder; }
    CMemIndexNode* Root() const { return m_clTree.m_pclRoot; }
    // Key counts of the leaves, in order.
    std::vector<int> LeafKeyCounts() const
    {
        std::vector<int> v;
        for (CMemDataNode* p = m_clTree._pclFirstLeaf(); p != nullptr; p = p->m_pclNext)
            v.push_back(p->m_nKeyCount);
        return v;
    }
    // Size class of the bucket of the key at the iterator; -1 for an inline value.
    int IteratorBucketClass() const
    {
        const CMemBTree::CIterator& it = m_clTree.m_clIterator;
        if (it.m_pclLeaf == nullptr || !m_clTree._bIsBucket(it.m_pclLeaf, it.m_nKey))
            return -1;
        return m_clTree._pclBucket(it.m_pclLeaf, it.m_nKey)->m_nClass;
    }
    // Live objects of every pool, nested trees' pools included.
    int LiveObjects() const { return _LiveObjects(m_clTree); }

private:
    static int _LiveObjects(const CMemBTree& t)
    {
        int n = 0;
        if (t.m_pclIndexPool != nullptr)
            n += t.m_pclIndexPool->nGetObjectCount() + t.m_pclDataPool->nGetObjectCount();
        for (CTObjAlloc* p : t.m_apclBucketPool)
            if (p != nullptr)
                n += p->nGetObjectCount();
        return n;
    }

    std::vector<std::string> Values(CMemDataNode* p, int i) const
    {
        const CMemBTree& t = m_clTree;
        std::vector<std::string> v;
        if (t.m_nValueSize == 0) {
            v.emplace_back();
            return v;
        }
        if (!t._bIsBucket(p, i)) {
            v.emplace_back(reinterpret_cast<const char*>(t._pbySlot(p, i)), t.m_nValueSize);
            return v;
        }
        CMemBucket* b = t._pclBucket(p, i);
        if (b->m_nClass == CMemBucket::eNestedClass) {
            CMemBTreeChecker clNested(*CMemBTree::_pclNested(b));
            for (auto& r : clNested.Content())
                v.push_back(r.first);
        } else {
            for (int j = 0; j < b->m_nCount; j++)
                v.emplace_back(reinterpret_cast<const char*>(CMemBTree::_pbyVector(b)) + j * t.m_nValueSize,
                               t.m_nValueSize);
        }
        return v;
    }

    void _Fail(const std::string& s)
    {
        if (m_bOk)
            m_osError << s;
        m_bOk = false;
    }

    // The pool's chunk read from the word before the object.
    static bool _bFromPool(const void* pObject, const CTObjAlloc* pclPool)
    {
        if (pclPool == nullptr)
            return false;
        const CTObjAlloc::CChunk* pclChunk;
        std::memcpy(&pclChunk, static_cast<const unsigned char*>(pObject) - CTObjAlloc::mg_nSpaceCostPerObj,
                    sizeof(pclChunk));
        return pclChunk->m_pclPool == pclPool;
    }

    int _Compare(const unsigned char* a, const unsigned char* b) const
    {
        return m_clTree.m_pfnKeyCompare(a, b, m_clTree.m_nKeySize);
    }

    // Answers the subtree's record count; lo and hi bound its keys (null: open).
    int _CheckNode(CMemNode* p, int nDepth, const unsigned char* lo, const unsigned char* hi, bool bExempt)
    {
        CMemBTree& t = m_clTree;
        if (nDepth > 60) {
            _Fail("tree too deep");
            return 0;
        }
        if (p->m_nType == CMemNode::eData) {
            CMemDataNode* l = static_cast<CMemDataNode*>(p);
            if (!_bFromPool(l, t.m_pclDataPool))
                _Fail("leaf not from the leaf pool");
            m_nLeaves++;
            m_apLeaves.push_back(l);
            if (m_nLeafDepth < 0)
                m_nLeafDepth = nDepth;
            else if (m_nLeafDepth != nDepth)
                _Fail("leaves at different depths");
            if (l->m_nKeyCount > t.m_nOrder)
                _Fail("leaf above the order");
            if (l->m_nKeyCount < 1)
                _Fail("empty leaf");
            if (!bExempt && l->m_nKeyCount < t.m_nMinFill)
                _Fail("leaf below the minimum fill");
            int nRecords = 0;
            for (int i = 0; i < l->m_nKeyCount; i++) {
                const unsigned char* k = t._pbyLeafKey(l, i);
                if (i > 0 && _Compare(t._pbyLeafKey(l, i - 1), k) >= 0)
                    _Fail("leaf keys not strictly ascending");
                if (lo != nullptr && _Compare(k, lo) < 0)
                    _Fail("leaf key below its separator");
                if (hi != nullptr && _Compare(k, hi) >= 0)
                    _Fail("leaf key at or above the next separator");
                nRecords += _CheckSlot(l, i);
            }
            if (nRecords != l->m_nRecordCount)
                _Fail("leaf record count wrong");
            return l->m_nRecordCount;
        }
        CMemIndexNode* n = static_cast<CMemIndexNode*>(p);
        if (!_bFromPool(n, t.m_pclIndexPool))
            _Fail("inner node not from the inner node pool");
        m_nIndex++;
        const bool bRoot = nDepth == 0;
        if (n->m_nType != (bRoot ? CMemNode::eRoot : CMemNode::eIndex))
            _Fail("inner node type wrong");
        if (n->m_nKeyCount > t.m_nOrder)
            _Fail("inner node above the order");
        if (!bRoot && !bExempt && n->m_nKeyCount < t.m_nMinFill - 1)
            _Fail("inner node more than one below the minimum fill");
        if (!bRoot && n->m_nKeyCount < 1)
            _Fail("inner node without a key");
        int nRecords = 0;
        const bool bChildExempt = bRoot && n->m_nKeyCount == 0;
        for (int i = 0; i <= n->m_nKeyCount; i++) {
            const unsigned char* clo = i == 0 ? lo : t._pbyIndexKey(n, i - 1);
            const unsigned char* chi = i == n->m_nKeyCount ? hi : t._pbyIndexKey(n, i);
            CMemNode* c = t._pclChild(n, i);
            if (i > 0 && std::memcmp(t._pbyFirstKey(c), clo, t.m_nKeySize) != 0)
                _Fail("separator differs from the first key of its right subtree");
            int nChild = _CheckNode(c, nDepth + 1, clo, chi, bChildExempt);
            if (nChild != CMemBTree::_nNodeRecords(c))
                _Fail("child record count wrong");
            nRecords += nChild;
        }
        if (nRecords != n->m_nRecordCount)
            _Fail("inner record count wrong");
        return n->m_nRecordCount;
    }

    int _CheckSlot(CMemDataNode* l, int i)
    {
        CMemBTree& t = m_clTree;
        if (!t._bIsBucket(l, i))
            return 1;
        CMemBucket* b = t._pclBucket(l, i);
        if (b->m_nClass < 0 || b->m_nClass >= CMemBucket::eClassCount) {
            _Fail("bucket class out of range");
            return 0;
        }
        if (!_bFromPool(b, t.m_apclBucketPool[b->m_nClass])) {
            _Fail("bucket bit on a slot without a bucket of its class");
            return 0;
        }
        m_anBuckets[b->m_nClass]++;
        if (b->m_nClass == CMemBucket::eNestedClass) {
            if (b->m_nCount != -1)
                _Fail("nested bucket count not -1");
            CMemBTree* pclNested = CMemBTree::_pclNested(b);
            if (pclNested->nGetNumRecord() < 56)
                _Fail("nested tree below 56 values");
            CMemBTreeChecker clNested(*pclNested);
            testing::AssertionResult r = clNested.Check();
            if (!r)
                _Fail(std::string("nested tree: ") + r.message());
            return pclNested->nGetNumRecord();
        }
        const int nCap = CMemBucket::mg_stTabSizeThreshold[b->m_nClass][1];
        if (b->m_nCount < 2)
            _Fail("vector bucket of fewer than 2 values");
        if (b->m_nCount > nCap)
            _Fail("vector bucket above its capacity");
        for (int j = 1; j < b->m_nCount; j++)
            if (t.m_pfnValueCompare(CMemBTree::_pbyVector(b) + (j - 1) * t.m_nValueSize,
                                    CMemBTree::_pbyVector(b) + j * t.m_nValueSize, t.m_nValueSize)
                >= 0)
                _Fail("vector bucket not strictly ascending");
        return b->m_nCount;
    }

    void _CheckTree()
    {
        CMemBTree& t = m_clTree;
        m_nLeafDepth = -1;
        if (t.m_pclRoot != nullptr) {
            _CheckNode(t.m_pclRoot, 0, nullptr, nullptr, true);
            if (t.m_pclRoot->m_nRecordCount <= 0)
                _Fail("root without records");
        }
        // The leaf list both ways, keys ascending across leaves.
        CMemDataNode* p = t._pclFirstLeaf();
        CMemDataNode* pPrev = nullptr;
        size_t i = 0;
        for (; p != nullptr; pPrev = p, p = p->m_pclNext, i++) {
            if (i >= m_apLeaves.size() || m_apLeaves[i] != p) {
                _Fail("leaf list differs from the tree's leaves");
                break;
            }
            if (p->m_pclPrevious != pPrev)
                _Fail("leaf list broken backwards");
            if (pPrev != nullptr && pPrev->m_nKeyCount > 0 && p->m_nKeyCount > 0
                && _Compare(t._pbyLeafKey(pPrev, pPrev->m_nKeyCount - 1), t._pbyLeafKey(p, 0)) >= 0)
                _Fail("keys not ascending along the leaf list");
        }
        if (p == nullptr && i != m_apLeaves.size())
            _Fail("leaf list shorter than the tree's leaves");
        if (t.m_pclIndexPool->nGetObjectCount() != m_nIndex)
            _Fail("inner node pool count differs from the inner nodes");
        if (t.m_pclDataPool->nGetObjectCount() != m_nLeaves)
            _Fail("leaf pool count differs from the leaves");
        for (int c = 0; c < CMemBucket::eClassCount; c++)
            if (t.m_apclBucketPool[c] != nullptr && t.m_apclBucketPool[c]->nGetObjectCount() != m_anBuckets[c])
                _Fail("bucket pool count differs from the buckets of class " + std::to_string(c));
        // The iterator stands on a key of a leaf of this tree.
        const CMemBTree::CIterator& it = t.m_clIterator;
        if (it.m_pclLeaf != nullptr) {
            bool bKnown = false;
            for (CMemDataNode* l : m_apLeaves)
                bKnown = bKnown || l == it.m_pclLeaf;
            if (!bKnown)
                _Fail("iterator on a leaf not in the tree");
            else if (it.m_nKey < 0 || it.m_nKey >= it.m_pclLeaf->m_nKeyCount)
                _Fail("iterator key index out of its leaf");
            else if (t._bIsBucket(it.m_pclLeaf, it.m_nKey)) {
                CMemBucket* b = t._pclBucket(it.m_pclLeaf, it.m_nKey);
                if (b->m_nClass == CMemBucket::eNestedClass) {
                    CMemBTreeChecker clNested(*CMemBTree::_pclNested(b));
                    clNested.Check();
                    bool bIn = false;
                    for (CMemDataNode* l : clNested.m_apLeaves)
                        bIn = bIn || l == it.m_pclBucketLeaf;
                    if (!bIn)
                        _Fail("iterator on a leaf not in its nested tree");
                    else if (it.m_nBucketIndex < 0 || it.m_nBucketIndex >= it.m_pclBucketLeaf->m_nKeyCount)
                        _Fail("iterator index out of its nested leaf");
                } else if (it.m_nBucketIndex < 0 || it.m_nBucketIndex >= b->m_nCount) {
                    _Fail("iterator index out of its vector");
                }
            } else if (it.m_nBucketIndex != 0 || it.m_pclBucketLeaf != nullptr) {
                _Fail("iterator inside a bucket on an inline value");
            }
        }
    }

    CMemBTree& m_clTree;
    std::ostringstream m_osError;
    bool m_bOk = true;
    int m_nIndex = 0;
    int m_nLeaves = 0;
    int m_nLeafDepth = -1;
    int m_anBuckets[CMemBucket::eClassCount] = {};
    std::vector<CMemDataNode*> m_apLeaves;
};
