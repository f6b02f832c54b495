// The in-memory B+-tree's set-up, node sizes and named edge cases; the
// randomised comparison with a model is in MemBTreeRandomTest.
#include "access/statement/MemBTree.h"

#include "tests/access/statement/MemBTreeChecker.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

int Compare(const void* a, const void* b, unsigned int n)
{
    return std::memcmp(a, b, n);
}

// Big-endian, so that byte order is numeric order.
struct BE {
    unsigned char ab[4];
    explicit BE(unsigned int n)
    {
        ab[0] = static_cast<unsigned char>(n >> 24);
        ab[1] = static_cast<unsigned char>(n >> 16);
        ab[2] = static_cast<unsigned char>(n >> 8);
        ab[3] = static_cast<unsigned char>(n);
    }
};

unsigned int Read(const void* p)
{
    const unsigned char* pb = static_cast<const unsigned char*>(p);
    return (static_cast<unsigned int>(pb[0]) << 24) | (pb[1] << 16) | (pb[2] << 8) | pb[3];
}

std::unique_ptr<CMemBTree> Tree(unsigned int nValueSize = 4, int nOrder = 0)
{
    return std::unique_ptr<CMemBTree>(CMemBTree::pclCreate(4, nValueSize, Compare, Compare, nOrder));
}

bool Insert(CMemBTree& t, unsigned int k, unsigned int v)
{
    BE bk(k), bv(v);
    return t.bInsert(bk.ab, bv.ab) == 1;
}

// Key at the iterator, or -1 at the end.
long long KeyAt(const CMemBTree& t)
{
    const void* p = t.pReadKey();
    return p == nullptr ? -1 : static_cast<long long>(Read(p));
}

TEST(MemBTree, SetUpRefusals)
{
    struct Case {
        unsigned int nKey, nValue;
        PFNMEMBTREECOMPARE pfnKey, pfnValue;
        int nOrder;
        bool bAccepted;
    };
    const Case aCases[] = {
        {0, 4, Compare, Compare, 32, false},  // no key
        {4, 4, Compare, Compare, 1, false},   // one key per node cannot split
        {4, 4, Compare, Compare, -1, false},
        {4, 4, Compare, Compare, INT_MIN, false},
        {4, 4, nullptr, Compare, 32, false},
        {4, 4, Compare, nullptr, 32, false},  // values without their comparison
        {4, 0, Compare, nullptr, 32, true},   // keys only
        {4, 4, Compare, Compare, 2, true},
        {4, 4, Compare, Compare, 0, true},
        {1u << 30, 4, Compare, Compare, 32, false}, // nodes too large
    };
    for (const Case& c : aCases) {
        std::unique_ptr<CMemBTree> p(CMemBTree::pclCreate(c.nKey, c.nValue, c.pfnKey, c.pfnValue, c.nOrder));
        EXPECT_EQ(p != nullptr, c.bAccepted) << "key " << c.nKey << " order " << c.nOrder;
    }
    std::unique_ptr<CMemBTree> p = Tree(4, 0);
    EXPECT_EQ(CMemBTreeChecker(*p).Order(), 32);
    EXPECT_EQ(p->bInit(4, 4, Compare, Compare, 8), 0); // once only
    CMemBTree clBare; // not set up: every change refused
    BE b(1);
    EXPECT_EQ(clBare.bInsert(b.ab, b.ab), 0);
    EXPECT_EQ(clBare.bLoadBulk(b.ab, b.ab, 1), 0);
}

TEST(MemBTree, NodeAndBucketSizes)
{
    struct Case {
        unsigned int nKey, nValue;
        int nOrder;
        unsigned int nIndex, nLeaf;
    };
    // Inner: order × (key + 4) + 16; leaf: order × key + 20 without values,
    // else (key + slot) × order + ((order − 1) / 32) × 4 + 24; sizes rounded
    // up to whole words.
    const Case aCases[] = {
        {4, 4, 32, 272, 280},  {13, 0, 32, 560, 436}, {13, 4, 3, 67 + 1, 75 + 1},
        {1, 4, 2, 26 + 2, 34 + 2}, {8, 12, 33, 412, 688}, {3, 0, 5, 51 + 1, 35 + 1},
    };
    for (const Case& c : aCases) {
        std::unique_ptr<CMemBTree> p(CMemBTree::pclCreate(c.nKey, c.nValue, Compare, Compare, c.nOrder));
        ASSERT_NE(p, nullptr);
        CMemBTreeChecker cl(*p);
        EXPECT_EQ(cl.IndexPool()->nGetObjectSize(), c.nIndex) << "key " << c.nKey << " order " << c.nOrder;
        EXPECT_EQ(cl.DataPool()->nGetObjectSize(), c.nLeaf) << "key " << c.nKey << " order " << c.nOrder;
    }
    std::unique_ptr<CMemBTree> p = Tree(6);
    CMemBTreeChecker cl(*p);
    const unsigned int anVector[] = {16, 28, 52, 100, 196, 388};
    for (int c = 0; c < 6; c++)
        EXPECT_EQ(cl.BucketPool(c)->nGetObjectSize(), anVector[c]) << "class " << c;
    EXPECT_EQ(cl.BucketPool(6)->nGetObjectSize(), 4 + sizeof(CMemBTree));
    std::unique_ptr<CMemBTree> pKeys = Tree(0);
    EXPECT_EQ(CMemBTreeChecker(*pKeys).BucketPool(0), nullptr);
}

TEST(MemBTree, ObjectsPerChunk)
{
    // Inner nodes of 60 bytes (key 18, order 2): 4096 / 64; of 3000 bytes
    // (key 1488): 2 at least.
    std::unique_ptr<CMemBTree> p(CMemBTree::pclCreate(18, 0, Compare, nullptr, 2));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(CMemBTreeChecker(*p).IndexPool()->nGetObjectsPerChunk(), 64);
    p.reset(CMemBTree::pclCreate(1488, 0, Compare, nullptr, 2));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(CMemBTreeChecker(*p).IndexPool()->nGetObjectsPerChunk(), 2);
}

TEST(MemBTree, ThirtyThirdKeySplitsTheLeafInHalves)
{
    struct Case {
        unsigned int nNew;
        std::vector<int> vLeaves;
    };
    // Keys 0, 2, ..., 62 fill one leaf; the new key joins its half.
    const Case aCases[] = {{1, {17, 16}}, {63, {16, 17}}, {31, {17, 16}}, {33, {16, 17}}};
    for (const Case& c : aCases) {
        std::unique_ptr<CMemBTree> p = Tree(4, 32);
        for (unsigned int k = 0; k < 64; k += 2)
            ASSERT_TRUE(Insert(*p, k, k));
        CMemBTreeChecker cl(*p);
        ASSERT_EQ(cl.LeafKeyCounts(), std::vector<int>{32});
        BE b(40);
        ASSERT_NE(p->pSearch(b.ab, CMemBTree::eSearchExact), nullptr);
        ASSERT_TRUE(Insert(*p, c.nNew, 0));
        EXPECT_EQ(cl.LeafKeyCounts(), c.vLeaves) << "new key " << c.nNew;
        EXPECT_EQ(cl.Root()->m_nRecordCount, 33);
        EXPECT_EQ(KeyAt(*p), 40) << "the iterator follows its key";
        EXPECT_TRUE(cl.Check());
    }
}

TEST(MemBTree, BucketsGrowIntoNestedTreesAndBack)
{
    std::unique_ptr<CMemBTree> p = Tree();
    CMemBTreeChecker cl(*p);
    BE k(7);
    auto Class = [&]() {
        p->pSearch(k.ab, CMemBTree::eSearchExact);
        return cl.IteratorBucketClass();
    };
    std::vector<int> vClasses; // class after each value, from the second on
    for (unsigned int v = 1; v <= 70; v++) {
        ASSERT_TRUE(Insert(*p, 7, v * 3));
        if (v >= 2)
            vClasses.push_back(Class());
    }
    // Capacities 2, 4, 8, 16, 32, 64, then the nested tree from the 65th.
    for (size_t i = 0; i < vClasses.size(); i++) {
        const int nValues = static_cast<int>(i) + 2;
        const int nExpected = nValues <= 2 ? 0 : nValues <= 4 ? 1 : nValues <= 8 ? 2 : nValues <= 16 ? 3
                            : nValues <= 32 ? 4 : nValues <= 64 ? 5 : 6;
        EXPECT_EQ(vClasses[i], nExpected) << nValues << " values";
    }
    EXPECT_TRUE(cl.Check());
    // Down to 56 the nested tree stays; the 55th value goes back into a vector.
    for (unsigned int v = 70; v > 56; v--)
        ASSERT_TRUE(p->bDelete(k.ab, BE(v * 3).ab));
    EXPECT_EQ(Class(), 6);
    EXPECT_EQ(p->nNumDuplicates(), 56);
    ASSERT_TRUE(p->bDelete(k.ab, BE(2 * 3).ab));
    EXPECT_EQ(Class(), 5);
    EXPECT_EQ(p->nNumDuplicates(), 55);
    EXPECT_EQ(cl.BucketPool(6)->nGetObjectCount(), 0);
    EXPECT_TRUE(cl.Check());
    // Values come back in order: 3, then 9 to 168.
    std::vector<unsigned int> v;
    for (p->pSearch(k.ab, 0); p->pReadKey() != nullptr; p->bAdvance(1, nullptr, CMemBTree::eAdvanceToEnd)) {
        v.push_back(Read(p->pReadValue()));
        if (v.size() > 60)
            break;
    }
    ASSERT_EQ(v.size(), 55u);
    EXPECT_EQ(v[0], 3u);
    EXPECT_EQ(v[1], 9u);
    EXPECT_EQ(v[54], 168u);
}

TEST(MemBTree, RepeatsAreRefused)
{
    std::unique_ptr<CMemBTree> p = Tree();
    ASSERT_TRUE(Insert(*p, 1, 10));
    EXPECT_FALSE(Insert(*p, 1, 10)); // inline value
    ASSERT_TRUE(Insert(*p, 1, 11));
    EXPECT_FALSE(Insert(*p, 1, 11)); // in a vector
    for (unsigned int v = 12; v < 90; v++)
        ASSERT_TRUE(Insert(*p, 1, v));
    EXPECT_FALSE(Insert(*p, 1, 50)); // in a nested tree
    EXPECT_EQ(p->nGetNumRecord(), 80);

    std::unique_ptr<CMemBTree> pKeys = Tree(0);
    BE k(5);
    ASSERT_EQ(pKeys->bInsert(k.ab, nullptr), 1);
    EXPECT_EQ(pKeys->bInsert(k.ab, nullptr), 0);
    EXPECT_EQ(pKeys->nGetNumRecord(), 1);
    EXPECT_TRUE(CMemBTreeChecker(*pKeys).Check());
}

// Ten records, keys 0 to 9.
std::unique_ptr<CMemBTree> Ten(int nOrder)
{
    std::unique_ptr<CMemBTree> p = Tree(4, nOrder);
    for (unsigned int k = 0; k < 10; k++)
        Insert(*p, k, k);
    return p;
}

TEST(MemBTree, AdvancePastTheLastRecord)
{
    for (int nOrder : {2, 32}) {
        std::unique_ptr<CMemBTree> p = Ten(nOrder);
        int n = -1;
        p->MoveTo(7); // the third-last
        EXPECT_EQ(p->bAdvance(3, &n, 0), 0);
        EXPECT_EQ(n, 2);
        EXPECT_EQ(KeyAt(*p), 7) << "a refused move stays";
        EXPECT_EQ(p->bAdvance(3, &n, CMemBTree::eAdvancePartial), 1);
        EXPECT_EQ(n, 2);
        EXPECT_EQ(KeyAt(*p), 9);
        p->MoveTo(7);
        EXPECT_EQ(p->bAdvance(3, &n, CMemBTree::eAdvanceToEnd), 1);
        EXPECT_EQ(n, 3);
        EXPECT_EQ(KeyAt(*p), -1);
        // One step from the last record: only to the end with the flag.
        p->MoveTo(9);
        EXPECT_EQ(p->bAdvance(1, &n, 0), 0);
        EXPECT_EQ(n, 0);
        EXPECT_EQ(KeyAt(*p), 9);
        // Zero steps: whether the iterator stands on a record.
        EXPECT_EQ(p->bAdvance(0, &n, 0), 1);
        p->GotoEnd();
        EXPECT_EQ(p->bAdvance(0, &n, 0), 0);
        EXPECT_EQ(p->bAdvance(0, &n, CMemBTree::eAdvanceToEnd), 1);
    }
}

TEST(MemBTree, AdvanceByExtremeCounts)
{
    for (int nOrder : {2, 3, 32}) {
        std::unique_ptr<CMemBTree> p = Ten(nOrder);
        int n = 0;
        p->MoveTo(6);
        EXPECT_EQ(p->bAdvance(-2147483647, &n, 0), 0);
        EXPECT_EQ(-n, 6) << "the number of records before";
        EXPECT_EQ(KeyAt(*p), 6);
        EXPECT_EQ(p->bAdvance(INT_MIN, &n, CMemBTree::eAdvancePartial), 1);
        EXPECT_EQ(n, -6);
        EXPECT_EQ(KeyAt(*p), 0);
        EXPECT_EQ(p->bAdvance(INT_MAX, &n, CMemBTree::eAdvancePartial | CMemBTree::eAdvanceToEnd), 1);
        EXPECT_EQ(n, 10);
        EXPECT_EQ(KeyAt(*p), -1);
        EXPECT_EQ(p->bAdvance(INT_MIN, &n, CMemBTree::eAdvanceByKey | CMemBTree::eAdvancePartial), 1);
        EXPECT_EQ(n, -10);
        EXPECT_EQ(KeyAt(*p), 0);
    }
}

TEST(MemBTree, MoveToBeyondTheRecordsIsTheEnd)
{
    std::unique_ptr<CMemBTree> p = Ten(3);
    for (int n : {10, 11, INT_MAX, -1, INT_MIN}) {
        p->MoveTo(0);
        p->MoveTo(n);
        EXPECT_EQ(p->pReadKey(), nullptr) << n;
        EXPECT_EQ(p->pReadValue(), nullptr) << n;
        EXPECT_EQ(p->nNumDuplicates(), 0) << n;
    }
    for (int n = 0; n < 10; n++) {
        p->MoveTo(n);
        EXPECT_EQ(KeyAt(*p), n);
    }
}

TEST(MemBTree, DeletingEveryRecordFreesTheRoot)
{
    for (int nOrder : {2, 32}) {
        std::unique_ptr<CMemBTree> p = Tree(4, nOrder);
        CMemBTreeChecker cl(*p);
        for (unsigned int k = 0; k < 300; k++)
            for (unsigned int v = 0; v < 1 + k % 80; v += 9)
                ASSERT_TRUE(Insert(*p, (k * 37) % 300, v));
        ASSERT_TRUE(cl.Check());
        p->MoveTo(5);
        for (unsigned int k = 0; k < 300; k++)
            ASSERT_EQ(p->bDelete(BE(k).ab, nullptr), 1);
        EXPECT_EQ(cl.Root(), nullptr);
        EXPECT_EQ(cl.LiveObjects(), 0);
        EXPECT_EQ(p->nGetNumRecord(), 0);
        EXPECT_EQ(p->pReadKey(), nullptr);
        EXPECT_EQ(p->bDeleteCurrentRecord(), 0);
        ASSERT_TRUE(Insert(*p, 4, 4));
        EXPECT_EQ(p->nGetNumRecord(), 1);
        EXPECT_TRUE(cl.Check());
    }
}

TEST(MemBTree, DeleteCurrentRecordMovesToTheNext)
{
    std::unique_ptr<CMemBTree> p = Tree();
    for (unsigned int v : {1, 2, 3})
        Insert(*p, 5, v);
    Insert(*p, 6, 1);
    ASSERT_TRUE(p->bFindRecord(BE(5).ab, BE(2).ab));
    ASSERT_EQ(p->bDeleteCurrentRecord(), 1);
    EXPECT_EQ(KeyAt(*p), 5);
    EXPECT_EQ(Read(p->pReadValue()), 3u);
    ASSERT_EQ(p->bDeleteCurrentRecord(), 1);
    EXPECT_EQ(KeyAt(*p), 6);
    ASSERT_EQ(p->bDeleteCurrentRecord(), 1);
    EXPECT_EQ(KeyAt(*p), -1);
    EXPECT_EQ(p->bDeleteCurrentRecord(), 0);
    EXPECT_EQ(p->nGetNumRecord(), 1);
    EXPECT_TRUE(CMemBTreeChecker(*p).Check());
}

TEST(MemBTree, SearchFlags)
{
    std::unique_ptr<CMemBTree> p = Tree();
    for (unsigned int k : {10, 20, 30})
        for (unsigned int v : {1, 2})
            Insert(*p, k, v);
    struct Case {
        unsigned int nKey;
        int nFlags;
        long long nKeyAt; // -2: no move, null answer
        unsigned int nValue;
    };
    const Case aCases[] = {
        {20, 0, 20, 1}, {15, 0, 20, 1}, {15, 1, -2, 0}, {20, 2, 20, 2}, {25, 2, 20, 2},
        {5, 2, -2, 0},  {35, 0, -2, 0}, {35, 2, 30, 2}, {25, 3, -2, 0}, {30, 3, 30, 2},
    };
    for (const Case& c : aCases) {
        p->MoveTo(4); // key 30, value 1
        const void* pv = p->pSearch(BE(c.nKey).ab, c.nFlags);
        if (c.nKeyAt == -2) {
            EXPECT_EQ(pv, nullptr) << c.nKey << " flags " << c.nFlags;
            EXPECT_EQ(KeyAt(*p), 30) << c.nKey << " flags " << c.nFlags;
            EXPECT_EQ(Read(p->pReadValue()), 1u) << c.nKey << " flags " << c.nFlags;
        } else {
            ASSERT_NE(pv, nullptr) << c.nKey << " flags " << c.nFlags;
            EXPECT_EQ(Read(pv), c.nValue) << c.nKey << " flags " << c.nFlags;
            EXPECT_EQ(KeyAt(*p), c.nKeyAt) << c.nKey << " flags " << c.nFlags;
        }
    }
    // Keys only: the iterator moves, the answer is null.
    std::unique_ptr<CMemBTree> pKeys = Tree(0);
    for (unsigned int k : {10, 20})
        pKeys->bInsert(BE(k).ab, nullptr);
    EXPECT_EQ(pKeys->pSearch(BE(15).ab, 0), nullptr);
    EXPECT_EQ(KeyAt(*pKeys), 20);
    EXPECT_EQ(pKeys->nNumDuplicates(), 1);
}

TEST(MemBTree, BulkLoadRules)
{
    std::vector<BE> vKeys, vValues;
    for (unsigned int i = 0; i < 1000; i++) {
        vKeys.emplace_back((i * 7919) % 1000);
        vValues.emplace_back(i);
    }
    std::unique_ptr<CMemBTree> p = Tree(4, 32);
    CMemBTreeChecker cl(*p);
    ASSERT_EQ(p->bLoadBulk(vKeys.data(), vValues.data(), 1000), 1);
    EXPECT_TRUE(cl.Check());
    // 1000 keys: 32 leaves of 31, the first 8 of them 32.
    std::vector<int> vExpected(32, 31);
    for (int i = 0; i < 8; i++)
        vExpected[static_cast<size_t>(i)] = 32;
    EXPECT_EQ(cl.LeafKeyCounts(), vExpected);
    EXPECT_EQ(p->bLoadBulk(vKeys.data(), vValues.data(), 10), 0) << "not on a tree with records";
    EXPECT_EQ(p->nGetNumRecord(), 1000);

    // A repeated pair: refused, the tree left empty and nothing kept.
    std::unique_ptr<CMemBTree> q = Tree(4, 3);
    std::vector<BE> vk = {BE(1), BE(2), BE(1)}, vv = {BE(5), BE(6), BE(5)};
    EXPECT_EQ(q->bLoadBulk(vk.data(), vv.data(), 3), 0);
    EXPECT_EQ(q->nGetNumRecord(), 0);
    EXPECT_EQ(CMemBTreeChecker(*q).LiveObjects(), 0);
    // The same key with different values is a bucket.
    vv[2] = BE(4);
    EXPECT_EQ(q->bLoadBulk(vk.data(), vv.data(), 3), 1);
    q->GotoFirstRecord();
    EXPECT_EQ(q->nNumDuplicates(), 2);
    EXPECT_EQ(Read(q->pReadValue()), 4u);

    std::unique_ptr<CMemBTree> pKeys = Tree(0);
    EXPECT_EQ(pKeys->bLoadBulk(vk.data(), nullptr, 3), 0) << "a repeated key without values";
    EXPECT_EQ(pKeys->bLoadBulk(vk.data(), nullptr, 0), 1);
    EXPECT_EQ(pKeys->nGetNumRecord(), 0);
    EXPECT_EQ(pKeys->bLoadBulk(vk.data(), nullptr, -1), 0);
}

} // namespace
