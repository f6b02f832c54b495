#include "common/text/HashTableBounce.h"

#include "tests/support/TestHost.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <new>
#include <set>
#include <string>
#include <vector>

namespace {

void* W(uintptr_t n) { return reinterpret_cast<void*>(n); }
uintptr_t N(const void* p) { return reinterpret_cast<uintptr_t>(p); }

int nCompareWords(const void* a, const void* b) { return a == b ? 0 : 1; }
unsigned int dwHashWord(const void* p) { return static_cast<unsigned int>(N(p)); }

// Reads the sizing state of a table.
template <class TTable>
struct CProbe : TTable {
    using TTable::TTable;
    unsigned Buckets() const { return this->m_nBucketCount; }
    unsigned Pool() const { return this->m_nPoolCapacity; }
    int Level() const { return this->m_nLevel; }
    int Parsing() const { return this->m_nParseCounter; }
};

struct CIntTable : CProbe<CHashTableBounce> {
    explicit CIntTable(unsigned nRequest = 7) : CProbe<CHashTableBounce>(nRequest)
    {
        SetCmp(nCompareWords);
        SetHashVal(dwHashWord);
    }
    uintptr_t Get(uintptr_t k) const
    {
        void* v = nullptr;
        return bGetElement(W(k), &v, nullptr) ? N(v) : 0;
    }
};

// Keys 1..n with value 1000 + key.
void Fill(CIntTable& t, uintptr_t from, uintptr_t to)
{
    for (uintptr_t k = from; k <= to; ++k)
        ASSERT_TRUE(t.bAddElement(W(k), W(1000 + k)));
}

void ExpectAll(const CIntTable& t, const std::set<uintptr_t>& keys)
{
    EXPECT_EQ(t.dwGetNumElement(), keys.size());
    for (uintptr_t k : keys)
        EXPECT_EQ(t.Get(k), 1000 + k) << "key " << k;
}

}  // namespace

TEST(HashTableBounce, SizingFollowsThePrimes)
{
    EXPECT_EQ(CIntTable(0).Buckets(), 17u);
    EXPECT_EQ(CIntTable(0).Pool(), 8u);
    EXPECT_EQ(CIntTable(7).Buckets(), 17u);
    EXPECT_EQ(CIntTable(8).Buckets(), 17u);
    EXPECT_EQ(CIntTable(9).Buckets(), 53u);
    EXPECT_EQ(CIntTable(9).Pool(), 26u);
    EXPECT_EQ(CIntTable(100).Buckets(), 389u);
    EXPECT_EQ(CIntTable(100).Pool(), 194u);
    // The last level cannot be addressed in 32 bits.
    EXPECT_THROW(CIntTable(0xFFFFFFFFu), std::bad_alloc);
}

TEST(HashTableBounce, GrowsThroughTheLevelsKeepingEveryElement)
{
    CIntTable t;
    Fill(t, 1, 8);
    EXPECT_EQ(t.Buckets(), 17u);
    ASSERT_TRUE(t.bAddElement(W(9), W(1009)));
    EXPECT_EQ(t.Buckets(), 53u);
    EXPECT_EQ(t.Pool(), 26u);
    std::set<uintptr_t> keys;
    for (uintptr_t k = 1; k <= 9; ++k)
        keys.insert(k);
    ExpectAll(t, keys);

    const unsigned primes[] = {17, 53, 97, 193, 389, 769, 1543, 3079};
    int seen = 1;
    for (uintptr_t k = 10; k <= 1500; ++k) {
        ASSERT_TRUE(t.bAddElement(W(k * 17), W(1000 + k * 17)));  // all in few buckets at level 0
        keys.insert(k * 17);
        if (t.Buckets() != primes[seen]) {
            ASSERT_EQ(t.Buckets(), primes[seen + 1]) << "one level at a time";
            ++seen;
            EXPECT_EQ(t.Pool(), primes[seen] / 2);
            EXPECT_EQ(t.dwGetNumElement(), primes[seen - 1] / 2 + 1);
        }
    }
    EXPECT_EQ(t.Buckets(), 3079u);
    ExpectAll(t, keys);
    EXPECT_EQ(t.Get(5000 * 17), 0u);
}

TEST(HashTableBounce, ShrinksWhenBelowAQuarterOfThePreviousLevel)
{
    CIntTable t;
    Fill(t, 1, 27);
    ASSERT_EQ(t.Buckets(), 97u);
    std::set<uintptr_t> keys;
    for (uintptr_t k = 1; k <= 27; ++k)
        keys.insert(k);
    for (uintptr_t k = 27; k > 13; --k) {
        ASSERT_TRUE(t.bDeleteElement(W(k), nullptr, nullptr));
        keys.erase(k);
    }
    EXPECT_EQ(t.Buckets(), 97u) << "13 is not below 53 / 4";
    void* v = nullptr;
    void* stored = nullptr;
    ASSERT_TRUE(t.bDeleteElement(W(13), &v, &stored));
    EXPECT_EQ(N(v), 1013u);
    EXPECT_EQ(N(stored), 13u);
    keys.erase(13);
    EXPECT_EQ(t.Buckets(), 53u);
    EXPECT_EQ(t.Pool(), 26u);
    ExpectAll(t, keys);
    for (uintptr_t k = 12; k > 4; --k) {
        ASSERT_TRUE(t.bDeleteElement(W(k), nullptr, nullptr));
        keys.erase(k);
    }
    EXPECT_EQ(t.Buckets(), 53u);
    ASSERT_TRUE(t.bDeleteElement(W(4), nullptr, nullptr));
    keys.erase(4);
    EXPECT_EQ(t.Buckets(), 17u);
    ExpectAll(t, keys);
    // The compacted pool still takes its full load.
    Fill(t, 100, 104);
    EXPECT_EQ(t.Buckets(), 17u);
    ASSERT_TRUE(t.bAddElement(W(200), W(1200)));
    EXPECT_EQ(t.Buckets(), 53u);
    for (uintptr_t k : {1, 2, 3, 100, 104, 200})
        EXPECT_EQ(t.Get(k), 1000 + k);
}

TEST(HashTableBounce, WalkingWithRemovalVisitsEachOnceAndNeverShrinks)
{
    CIntTable t;
    Fill(t, 1, 150);
    ASSERT_EQ(t.Buckets(), 389u);
    std::map<uintptr_t, int> visits;
    unsigned pos = 0;
    void* v = nullptr;
    void* k = nullptr;
    while (t.bParseTable(&pos, 1, &v, &k)) {
        EXPECT_EQ(N(v), 1000 + N(k));
        ++visits[N(k)];
        EXPECT_EQ(t.Parsing(), 1);
        if (t.dwGetNumElement() == 5)
            break;
    }
    t.StopParsing();
    EXPECT_EQ(t.Parsing(), 0);
    EXPECT_EQ(visits.size(), 145u);
    for (auto& e : visits)
        EXPECT_EQ(e.second, 1);
    EXPECT_EQ(t.Buckets(), 389u) << "no shrinking while walking";
    // Extra StopParsing calls do not take the counter below 0, so the
    // skipped shrink comes with the next removal: 4 elements go to level 0.
    t.StopParsing();
    EXPECT_EQ(t.Parsing(), 0);
    std::set<uintptr_t> left;
    for (uintptr_t key = 1; key <= 150; ++key)
        if (!visits.count(key))
            left.insert(key);
    ASSERT_EQ(left.size(), 5u);
    ASSERT_TRUE(t.bDeleteElement(W(*left.begin()), nullptr, nullptr));
    left.erase(left.begin());
    EXPECT_EQ(t.Buckets(), 17u);
    ExpectAll(t, left);

    // A removal by key during a walk does not shrink either.
    CIntTable u;
    Fill(u, 1, 30);
    ASSERT_EQ(u.Buckets(), 97u);
    pos = 0;
    std::set<uintptr_t> walked;
    while (u.bParseTable(&pos, 0, nullptr, &k)) {
        walked.insert(N(k));
        if (N(k) > 2) {
            EXPECT_TRUE(u.bDeleteElement(k, nullptr, nullptr));
        }
    }
    EXPECT_EQ(walked.size(), 30u);
    EXPECT_EQ(u.dwGetNumElement(), 2u);
    EXPECT_EQ(u.Buckets(), 97u);
    EXPECT_EQ(u.Parsing(), 0);
}

TEST(HashTableBounce, GrowingDuringAWalkKeepsPositions)
{
    CIntTable t;
    Fill(t, 1, 8);
    unsigned pos = 0;
    void* k = nullptr;
    std::multiset<uintptr_t> visited;
    bool grown = false;
    while (t.bParseTable(&pos, 0, nullptr, &k)) {
        visited.insert(N(k));
        if (!grown) {
            Fill(t, 100, 160);
            grown = true;
        }
    }
    EXPECT_EQ(t.Buckets(), 193u);
    for (uintptr_t key = 1; key <= 8; ++key)
        EXPECT_EQ(visited.count(key), 1u) << key;
}

TEST(HashTableBounce, DuplicateKeysShadowAcrossResizes)
{
    CIntTable t;
    // Filed after sixty keys of the same level-0 bucket, the pair sits at
    // the top of the pool: re-filed on growth, moved down by compaction
    // (the later pair first), the later pair keeps shadowing the earlier.
    for (uintptr_t k = 1; k <= 60; ++k)
        ASSERT_TRUE(t.bAddElement(W(5 + 17 * k), W(0)));
    ASSERT_TRUE(t.bAddElement(W(5), W(1)));
    ASSERT_TRUE(t.bAddElement(W(5), W(2)));
    EXPECT_EQ(t.Get(5), 2u);
    Fill(t, 2000, 2030);
    ASSERT_EQ(t.Buckets(), 193u);
    EXPECT_EQ(t.Get(5), 2u);
    for (uintptr_t k = 2000; k <= 2030; ++k)
        ASSERT_TRUE(t.bDeleteElement(W(k), nullptr, nullptr));
    for (uintptr_t k = 1; k <= 60; ++k)
        ASSERT_TRUE(t.bDeleteElement(W(5 + 17 * k), nullptr, nullptr));
    ASSERT_EQ(t.Buckets(), 17u);
    EXPECT_EQ(t.Get(5), 2u);
    void* v = nullptr;
    ASSERT_TRUE(t.bDeleteElement(W(5), &v, nullptr));
    EXPECT_EQ(N(v), 2u);
    EXPECT_EQ(t.Get(5), 1u);
    ASSERT_TRUE(t.bDeleteElement(W(5), nullptr, nullptr));
    EXPECT_FALSE(t.bDeleteElement(W(5), &v, nullptr));
    EXPECT_EQ(N(v), 2u) << "outs untouched when absent";
}

TEST(HashTableBounce, InPlaceChangesAndClearing)
{
    CIntTable t;
    Fill(t, 1, 40);
    void** pv = t.pGetElement(W(7));
    ASSERT_NE(pv, nullptr);
    *pv = W(77);
    EXPECT_EQ(t.Get(7), 77u);
    EXPECT_EQ(t.pGetElement(W(99)), nullptr);

    unsigned pos = 0;
    void* k = nullptr;
    ASSERT_TRUE(t.bParseTable(&pos, 0, nullptr, &k));
    void* old = nullptr;
    EXPECT_TRUE(t.bParseSetElement(pos, W(5555), &old));
    EXPECT_EQ(N(old), N(k) == 7 ? 77u : 1000 + N(k));
    EXPECT_EQ(t.Get(N(k)), 5555u);
    EXPECT_TRUE(t.bParseSetElement(pos, W(6666)));
    EXPECT_EQ(t.Get(N(k)), 6666u);
    EXPECT_TRUE(t.bParseSetKey(pos, k, &old));
    EXPECT_EQ(old, k);
    t.StopParsing();
    EXPECT_FALSE(t.bParseSetElement(0, W(1)));
    EXPECT_FALSE(t.bParseSetElement(t.Pool() + 1, W(1)));
    EXPECT_FALSE(t.bParseSetKey(0, W(1)));

    ASSERT_EQ(t.Buckets(), 97u);
    t.DeleteAll(0);
    EXPECT_EQ(t.dwGetNumElement(), 0u);
    EXPECT_EQ(t.Buckets(), 17u);
    EXPECT_EQ(t.Get(7), 0u);
    Fill(t, 1, 3);
    EXPECT_EQ(t.Get(3), 1003u);

    CIntTable big(100);
    big.DeleteAll(0);
    EXPECT_EQ(big.Buckets(), 389u) << "an empty table is left as it is";

    // A size that cannot be had leaves the table emptied and usable.
    CIntTable u;
    Fill(u, 1, 30);
    u.DeleteAll(0xFFFFFFFFu);
    EXPECT_EQ(u.dwGetNumElement(), 0u);
    EXPECT_EQ(u.Get(1), 0u);
    Fill(u, 1, 200);
    EXPECT_EQ(u.Get(200), 1200u);
}

TEST(HashTableBounce, WithoutFunctionsKeysAreTheirWords)
{
    CProbe<CHashTableBounce> t(7);
    int a = 0, b = 0;
    ASSERT_TRUE(t.bAddElement(&a, W(1)));
    ASSERT_TRUE(t.bAddElement(&b, W(2)));
    void* v = nullptr;
    ASSERT_TRUE(t.bGetElement(&b, &v, nullptr));
    EXPECT_EQ(N(v), 2u);
    EXPECT_EQ(t.pfGetCmp(), nullptr);
}

TEST(HashTableBounce, StringKeysIgnoreCaseAndAccentsThroughTheLocale)
{
    TestHost().ClearLocaleCalls();
    EXPECT_EQ(CHashTableBounce::nStringLogiqueCompare(L"\u00C9cole", L"ECOLE"), 0);
    ASSERT_GE(TestHost().nLocaleCalls(), 1u);
    HostLocaleCall c = TestHost().LocaleCall(0);
    EXPECT_EQ(c.nSlot, 6);
    EXPECT_EQ(c.nLCID, 1024u);
    EXPECT_EQ(c.nFlags, 3u);
    EXPECT_NE(CHashTableBounce::nStringLogiqueCompare(L"\u00C9cole", L"ECOLES"), 0);

    TestHost().ClearLocaleCalls();
    // E + C + O + L + E
    EXPECT_EQ(CHashTableBounce::dwStringLogiqueHashVal(L"\u00C9cole"), 69u + 67 + 79 + 76 + 69);
    ASSERT_EQ(TestHost().nLocaleCalls(), 1u);
    c = TestHost().LocaleCall(0);
    EXPECT_EQ(c.nSlot, 12);
    EXPECT_EQ(c.nLCID, 1036u);
    EXPECT_EQ(c.nFlags, 3u);
    EXPECT_EQ(c.nSrcLen, -1);
    EXPECT_EQ(c.nOtherLen, 6);
    EXPECT_EQ(CHashTableBounce::dwStringLogiqueHashVal(L"ECOLE"), 360u);
    EXPECT_EQ(CHashTableBounce::dwStringLogiqueHashVal(L"ecole"), 360u);
    EXPECT_EQ(CHashTableBounce::dwStringLogiqueHashVal(L""), 0u);
    EXPECT_EQ(CHashTableBounce::dwStringLogiqueHashVal(nullptr), 0u);
    // Beyond 254 characters the mapping goes through the heap.
    const std::wstring shortName(254, L'\u00E9'), longName(1000, L'\u00E9');
    EXPECT_EQ(CHashTableBounce::dwStringLogiqueHashVal(shortName.c_str()), 254u * 69);
    EXPECT_EQ(CHashTableBounce::dwStringLogiqueHashVal(longName.c_str()), 1000u * 69);
}

// ---- Reference holding --------------------------------------------------------------

namespace {

int g_nDestroyed = 0;

// A driver object: count and do-not-delete mark after the table pointer.
struct CCounted : CInterf {
    explicit CCounted(int n = 0) : nId(n) {}
    ~CCounted() override { ++g_nDestroyed; }
    unsigned Count() const { return m_nRefCount; }
    void Hold() { m_bNoDelete = 1; }
    int nId;
};

// The table object's protocol: its own AddRef and nRelease (the latter
// without a test for 0), counted.
struct CFakeNATable {
    CFakeNATable() : m_nRefCount(0), m_bHold(0) {}
    virtual ~CFakeNATable() { ++s_nDestroyed; }
    void AddRef()
    {
        ++s_nAddRef;
        ++m_nRefCount;
    }
    unsigned nRelease()
    {
        ++s_nRelease;
        if (--m_nRefCount == 0 && m_bHold == 0) {
            delete this;
            return 0;
        }
        return m_nRefCount;
    }
    unsigned m_nRefCount;
    unsigned m_bHold;
    static int s_nAddRef, s_nRelease, s_nDestroyed;
    static void Reset() { s_nAddRef = s_nRelease = s_nDestroyed = 0; }
};
int CFakeNATable::s_nAddRef = 0;
int CFakeNATable::s_nRelease = 0;
int CFakeNATable::s_nDestroyed = 0;
static_assert(sizeof(CFakeNATable) == 3 * sizeof(void*), "table pointer, count, hold flag");

// A record memo: a shared object of the common library.
struct CMemo : CZTUnknown {
    ~CMemo() override { ++g_nDestroyed; }
};

}  // namespace

template <>
struct CRefTraits<CFakeNATable> {
    static void AddRef(CFakeNATable* p) { p->AddRef(); }
    static void Release(CFakeNATable* p) { p->nRelease(); }
};

namespace {

template <class V>
struct CStringProbe : CRefStringHashTable<V> {
    using CRefStringHashTable<V>::CRefStringHashTable;
    const wchar_t* LastKey() const { return this->m_pszLastFoundKey; }
    unsigned Buckets() const { return this->m_nBucketCount; }
};

// A driver object that removes itself from its table when it goes.
struct CSelfRemoving : CInterf {
    CSelfRemoving(CRefHashTable<int, CSelfRemoving*>* p, int k) : pTable(p), nKey(k) {}
    ~CSelfRemoving() override
    {
        ++g_nDestroyed;
        pTable->bRemoveValue(nKey);
    }
    CRefHashTable<int, CSelfRemoving*>* pTable;
    int nKey;
};

}  // namespace

TEST(RefHashTable, EachHeldValueIsReleasedExactlyOnce)
{
    g_nDestroyed = 0;
    {
        CProbe<CNARefHashTable<int, CCounted*>> t;
        std::vector<CCounted*> objs;
        for (int i = 0; i < 20; ++i) {
            objs.push_back(new CCounted(i));
            ASSERT_TRUE(t.bAddValue(i, objs.back()));
            EXPECT_EQ(objs.back()->Count(), 1u);
        }
        EXPECT_EQ(t.Buckets(), 53u);
        EXPECT_EQ(t.dwGetNumElement(), 20u);
        CCounted* found = nullptr;
        ASSERT_TRUE(t.bGetValue(3, &found));
        EXPECT_EQ(found, objs[3]);
        EXPECT_EQ(found->Count(), 2u) << "the caller gets its own reference";
        found->nRelease();
        EXPECT_FALSE(t.bGetValue(42, &found));

        // Removal, then replacement.
        ASSERT_TRUE(t.bRemoveValue(3));
        EXPECT_EQ(g_nDestroyed, 1);
        EXPECT_FALSE(t.bRemoveValue(3));
        CCounted* fresh = new CCounted(100);
        ASSERT_TRUE(t.bSetValue(4, fresh));
        EXPECT_EQ(g_nDestroyed, 2);
        EXPECT_EQ(fresh->Count(), 1u);
        ASSERT_TRUE(t.bSetValue(4, fresh));
        EXPECT_EQ(fresh->Count(), 1u) << "set to itself keeps one reference";
        ASSERT_TRUE(t.bSetValue(50, nullptr));
        EXPECT_EQ(t.dwGetNumElement(), 20u);

        // A held object survives its last release.
        objs[5]->Hold();
        ASSERT_TRUE(t.bRemoveValue(5));
        EXPECT_EQ(g_nDestroyed, 2);
        EXPECT_EQ(objs[5]->Count(), 0u);
        delete objs[5];
        g_nDestroyed--;

        t.SupprimeTout();
        EXPECT_EQ(g_nDestroyed, 2 + 18);
        EXPECT_EQ(t.dwGetNumElement(), 0u);
        EXPECT_EQ(t.Buckets(), 17u);

        for (int i = 0; i < 3; ++i)
            ASSERT_TRUE(t.bAddValue(i, new CCounted(i)));
    }
    EXPECT_EQ(g_nDestroyed, 2 + 18 + 3) << "destruction releases what is left";

    // Objects filed as their own keys; shared objects of the common library.
    g_nDestroyed = 0;
    {
        CNARefHashTable<CCounted*, CCounted*> set;
        CCounted* a = new CCounted;
        CCounted* b = new CCounted;
        ASSERT_TRUE(set.bAddValue(a, a));
        ASSERT_TRUE(set.bAddValue(b, b));
        void* v = nullptr;
        EXPECT_TRUE(set.bGetElement(b, &v, nullptr));
        EXPECT_EQ(v, b);
        CNARefHashTable<unsigned, CMemo*> memos;
        CMemo* m = new CMemo;
        ASSERT_TRUE(memos.bAddValue(7u, m));
        EXPECT_EQ(m->m_nRefCount, 1);
        ASSERT_TRUE(memos.bRemoveValue(7u));
        EXPECT_EQ(g_nDestroyed, 1);
    }
    EXPECT_EQ(g_nDestroyed, 3);
}

TEST(RefHashTable, ObjectsThatRemoveThemselvesAreReleasedOnce)
{
    g_nDestroyed = 0;
    {
        CRefHashTable<int, CSelfRemoving*> t;
        for (int i = 0; i < 10; ++i)
            ASSERT_TRUE(t.bAddValue(i, new CSelfRemoving(&t, i)));
        t.SupprimeTout();
        EXPECT_EQ(g_nDestroyed, 10);
        for (int i = 0; i < 10; ++i)
            ASSERT_TRUE(t.bAddValue(i, new CSelfRemoving(&t, i)));
    }
    EXPECT_EQ(g_nDestroyed, 20);
}

TEST(RefHashTable, TablesByNameHoldTheirTables)
{
    CFakeNATable::Reset();
    {
        CStringProbe<CFakeNATable*> t;
        CFakeNATable* a = new CFakeNATable;
        CFakeNATable* b = new CFakeNATable;
        CFakeNATable* c = new CFakeNATable;
        ASSERT_TRUE(t.bAddValue(L"\u00C9cole", a));
        ASSERT_TRUE(t.bAddValue(L"Clients", b));
        ASSERT_TRUE(t.bAddValue(L"Commandes", c));
        EXPECT_EQ(CFakeNATable::s_nAddRef, 3);
        EXPECT_EQ(t.dwGetNumElement(), 3u);

        CFakeNATable* found = nullptr;
        ASSERT_TRUE(t.bGetValue(L"ECOLE", &found));
        EXPECT_EQ(found, a);
        EXPECT_EQ(a->m_nRefCount, 2u);
        found->nRelease();
        // The same name again is answered from the last pair found, without
        // hashing.
        TestHost().ClearLocaleCalls();
        ASSERT_TRUE(t.bGetValue(L"ecole", &found));
        EXPECT_EQ(found, a);
        found->nRelease();
        for (std::size_t i = 0; i < TestHost().nLocaleCalls(); ++i)
            EXPECT_NE(TestHost().LocaleCall(i).nSlot, 12);

        // Replacement drops the old table once.
        CFakeNATable* d = new CFakeNATable;
        ASSERT_TRUE(t.bSetValue(L"CLIENTS", d));
        EXPECT_EQ(CFakeNATable::s_nDestroyed, 1);
        ASSERT_TRUE(t.bGetValue(L"clients", &found));
        EXPECT_EQ(found, d);
        found->nRelease();

        // Removal.
        ASSERT_TRUE(t.bRemoveValue(L"commandes"));
        EXPECT_EQ(CFakeNATable::s_nDestroyed, 2);
        EXPECT_FALSE(t.bRemoveValue(L"commandes"));
        EXPECT_FALSE(t.bGetValue(L"Commandes", &found));
    }
    EXPECT_EQ(CFakeNATable::s_nDestroyed, 4);
    EXPECT_EQ(CFakeNATable::s_nRelease, CFakeNATable::s_nAddRef);

    CFakeNATable::Reset();
    {
        CStringProbe<CFakeNATable*> t;
        for (int i = 0; i < 40; ++i)
            ASSERT_TRUE(t.bAddValue((L"T" + std::to_wstring(i)).c_str(), new CFakeNATable));
        EXPECT_EQ(t.Buckets(), 97u);
        t.SupprimeTout();
        EXPECT_EQ(CFakeNATable::s_nDestroyed, 40);
        EXPECT_EQ(t.Buckets(), 17u);
        ASSERT_TRUE(t.bAddValue(L"x", new CFakeNATable));
    }
    EXPECT_EQ(CFakeNATable::s_nDestroyed, 41);
    EXPECT_EQ(CFakeNATable::s_nRelease, 41);
}

// Each route that removes, replaces or shadows the last pair found forgets
// it; under the sanitizer a stale pair would be read after its key was freed.
TEST(RefHashTable, LastFoundPairNeverOutlivesItsEntry)
{
    g_nDestroyed = 0;
    CStringProbe<CCounted*> t;
    CCounted* a = new CCounted(1);
    CCounted* b = new CCounted(2);
    CCounted* found = nullptr;

    auto findA = [&] {
        ASSERT_TRUE(t.bGetValue(L"alpha", &found));
        found->nRelease();
        ASSERT_NE(t.LastKey(), nullptr);
    };

    // Removal by name.
    ASSERT_TRUE(t.bAddValue(L"Alpha", a));
    ASSERT_TRUE(t.bAddValue(L"Beta", b));
    findA();
    a->AddRef();  // keep it across the removals
    ASSERT_TRUE(t.bRemoveValue(L"ALPHA"));
    EXPECT_EQ(t.LastKey(), nullptr);
    EXPECT_FALSE(t.bGetValue(L"alpha", &found));

    // A walk that removes.
    ASSERT_TRUE(t.bAddValue(L"Alpha", a));
    findA();
    unsigned pos = 0;
    void* v = nullptr;
    void* k = nullptr;
    while (t.bParseTable(&pos, 1, &v, &k)) {
        static_cast<CCounted*>(v)->nRelease();
        free(k);
    }
    EXPECT_EQ(t.LastKey(), nullptr);
    EXPECT_FALSE(t.bGetValue(L"alpha", &found));
    EXPECT_EQ(g_nDestroyed, 1) << "beta went with its last reference";

    // A raw removal, the owner freeing the key.
    ASSERT_TRUE(t.bAddValue(L"Alpha", a));
    findA();
    ASSERT_TRUE(t.bDeleteElement(L"ALPHA", &v, &k));
    EXPECT_EQ(t.LastKey(), nullptr);
    static_cast<CCounted*>(v)->nRelease();
    free(k);

    // Filing the name again shadows the pair found.
    ASSERT_TRUE(t.bAddValue(L"Alpha", a));
    findA();
    CCounted* c = new CCounted(3);
    ASSERT_TRUE(t.bAddValue(L"ALPHA", c));
    ASSERT_TRUE(t.bGetValue(L"alpha", &found));
    EXPECT_EQ(found, c);
    found->nRelease();

    // Replacement through the value's address and by position.
    void** pv = t.pGetElement(L"alpha");
    ASSERT_NE(pv, nullptr);
    EXPECT_EQ(t.LastKey(), nullptr);
    ASSERT_TRUE(t.bGetValue(L"alpha", &found));
    found->nRelease();
    pos = 0;
    while (t.bParseTable(&pos, 0, &v, &k))
        if (v == c)
            break;
    t.StopParsing();
    ASSERT_TRUE(t.bParseSetElement(pos, nullptr, &v));
    EXPECT_EQ(t.LastKey(), nullptr);
    static_cast<CCounted*>(v)->nRelease();
    EXPECT_EQ(g_nDestroyed, 2);
    ASSERT_TRUE(t.bGetValue(L"alpha", &found));
    EXPECT_EQ(found, nullptr);
    ASSERT_TRUE(t.bRemoveValue(L"alpha"));

    // Emptying, and the owner's own clearing.
    findA();
    t.ClearLastFound();
    EXPECT_EQ(t.LastKey(), nullptr);
    findA();
    t.SupprimeTout();
    EXPECT_EQ(t.LastKey(), nullptr);
    EXPECT_FALSE(t.bGetValue(L"alpha", &found));
    EXPECT_EQ(a->Count(), 1u);
    a->nRelease();
    EXPECT_EQ(g_nDestroyed, 3);
}
