#include "common/text/HashTableBounce.h"

#include "access/driver/Interf.h"
#include "tests/support/LocaleCalls.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <new>
#include <set>
#include <string>

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

// Keys from..to with value 1000 + key.
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

std::set<uintptr_t> Range(uintptr_t from, uintptr_t to)
{
    std::set<uintptr_t> s;
    for (uintptr_t k = from; k <= to; ++k)
        s.insert(k);
    return s;
}

}  // namespace

TEST(HashTableBounce, SizingFollowsThePrimes)
{
    // The first level whose pool holds the request.
    EXPECT_EQ(CIntTable(8).Buckets(), 17u);
    EXPECT_EQ(CIntTable(9).Buckets(), 53u);
    EXPECT_EQ(CIntTable(100).Pool(), 194u);
    // The last level cannot be addressed in 32 bits.
    EXPECT_THROW(CIntTable(0xFFFFFFFFu), std::bad_alloc);
}

TEST(HashTableBounce, GrowsThroughTheLevelsKeepingEveryElement)
{
    CIntTable t;
    Fill(t, 1, 8);
    EXPECT_EQ(t.Buckets(), 17u);
    std::set<uintptr_t> keys = Range(1, 8);
    const unsigned primes[] = {17, 53, 97, 193, 389, 769, 1543, 3079};
    int seen = 0;
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
}

TEST(HashTableBounce, ShrinksWhenBelowAQuarterOfThePreviousLevel)
{
    CIntTable t;
    Fill(t, 1, 27);
    ASSERT_EQ(t.Buckets(), 97u);
    for (uintptr_t k = 27; k > 13; --k)
        ASSERT_TRUE(t.bDeleteElement(W(k), nullptr, nullptr));
    EXPECT_EQ(t.Buckets(), 97u) << "13 is not below 53 / 4";
    ASSERT_TRUE(t.bDeleteElement(W(13), nullptr, nullptr));
    EXPECT_EQ(t.Buckets(), 53u);
    EXPECT_EQ(t.Pool(), 26u);
    // The compacted pool still takes its full load.
    Fill(t, 100, 113);
    EXPECT_EQ(t.Buckets(), 53u);
    std::set<uintptr_t> keys = Range(1, 12);
    keys.merge(Range(100, 113));
    ExpectAll(t, keys);
}

TEST(HashTableBounce, WalkingWithRemovalVisitsEachOnceAndNeverShrinks)
{
    CIntTable t;
    Fill(t, 1, 150);
    ASSERT_EQ(t.Buckets(), 389u);
    std::set<uintptr_t> left = Range(1, 150);
    unsigned pos = 0;
    void* v = nullptr;
    void* k = nullptr;
    while (t.dwGetNumElement() > 5 && t.bParseTable(&pos, 1, &v, &k)) {
        EXPECT_EQ(N(v), 1000 + N(k));
        EXPECT_EQ(left.erase(N(k)), 1u) << "visited twice: " << N(k);
    }
    t.StopParsing();
    EXPECT_EQ(t.Buckets(), 389u) << "no shrinking while walking";
    // A spare StopParsing keeps the counter at 0: the next removal shrinks.
    t.StopParsing();
    ASSERT_TRUE(t.bDeleteElement(W(*left.begin()), nullptr, nullptr));
    left.erase(left.begin());
    EXPECT_EQ(t.Buckets(), 17u);
    ExpectAll(t, left);
    // A removal by key during a walk does not shrink either.
    Fill(t, 1000, 1030);
    pos = 0;
    while (t.bParseTable(&pos, 0, nullptr, &k)) {
        if (N(k) >= 1000) {
            ASSERT_TRUE(t.bDeleteElement(k, nullptr, nullptr));
        }
    }
    EXPECT_EQ(t.Buckets(), 97u);
    ExpectAll(t, left);
}

TEST(HashTableBounce, DuplicateKeysShadowAcrossResizes)
{
    CIntTable t;
    // Filed after sixty keys of the same level-0 bucket, the pair sits at
    // the top of the pool: re-filed on growth and moved down by compaction,
    // the later pair keeps shadowing the earlier.
    for (uintptr_t k = 1; k <= 60; ++k)
        ASSERT_TRUE(t.bAddElement(W(5 + 17 * k), W(0)));
    ASSERT_TRUE(t.bAddElement(W(5), W(1)));
    ASSERT_TRUE(t.bAddElement(W(5), W(2)));
    Fill(t, 2000, 2030);
    ASSERT_EQ(t.Buckets(), 193u);
    EXPECT_EQ(t.Get(5), 2u);
    for (uintptr_t k = 2000; k <= 2030; ++k)
        ASSERT_TRUE(t.bDeleteElement(W(k), nullptr, nullptr));
    for (uintptr_t k = 1; k <= 60; ++k)
        ASSERT_TRUE(t.bDeleteElement(W(5 + 17 * k), nullptr, nullptr));
    ASSERT_EQ(t.Buckets(), 17u);
    EXPECT_EQ(t.Get(5), 2u);
    ASSERT_TRUE(t.bDeleteElement(W(5), nullptr, nullptr));
    EXPECT_EQ(t.Get(5), 1u);
}

TEST(HashTableBounce, ChangesByPositionAndClearing)
{
    CIntTable t;
    Fill(t, 1, 40);
    unsigned pos = 0;
    void* k = nullptr;
    ASSERT_TRUE(t.bParseTable(&pos, 0, nullptr, &k));
    void* old = nullptr;
    EXPECT_TRUE(t.bParseSetElement(pos, W(5555), &old));
    EXPECT_EQ(N(old), 1000 + N(k));
    EXPECT_EQ(t.Get(N(k)), 5555u);
    t.StopParsing();
    EXPECT_FALSE(t.bParseSetElement(0, W(1)));
    EXPECT_FALSE(t.bParseSetKey(t.Pool() + 1, W(1)));

    t.DeleteAll(0);
    EXPECT_EQ(t.Buckets(), 17u);
    ExpectAll(t, {});
    // A size that cannot be had leaves the table emptied and usable.
    Fill(t, 1, 30);
    t.DeleteAll(0xFFFFFFFFu);
    ExpectAll(t, {});
    Fill(t, 1, 200);
    ExpectAll(t, Range(1, 200));
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
    EXPECT_LOCALE_CALLS({{12, 1036, 3, -1, 6}});
    // Beyond 254 characters the mapping goes through the heap.
    const std::wstring longName(1000, L'\u00E9');
    EXPECT_EQ(CHashTableBounce::dwStringLogiqueHashVal(longName.c_str()), 1000u * 69);
}

// ---- Reference holding --------------------------------------------------------------

namespace {

int g_nDestroyed = 0;

struct CCounted : CInterf {
    ~CCounted() override { ++g_nDestroyed; }
    unsigned Count() const { return m_nRefCount; }
};

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
        for (int i = 0; i < 20; ++i)
            ASSERT_TRUE(t.bAddValue(i, new CCounted));
        CCounted* found = nullptr;
        ASSERT_TRUE(t.bGetValue(3, &found));
        EXPECT_EQ(found->Count(), 2u) << "the caller gets its own reference";
        found->nRelease();
        ASSERT_TRUE(t.bRemoveValue(3));
        EXPECT_EQ(g_nDestroyed, 1);
        CCounted* fresh = new CCounted;
        ASSERT_TRUE(t.bSetValue(4, fresh));
        EXPECT_EQ(g_nDestroyed, 2);
        ASSERT_TRUE(t.bSetValue(4, fresh));
        EXPECT_EQ(fresh->Count(), 1u) << "set to itself keeps one reference";
        t.SupprimeTout();
        EXPECT_EQ(g_nDestroyed, 21) << "twenty objects and the fresh one";
        EXPECT_EQ(t.Buckets(), 17u);
        for (int i = 0; i < 3; ++i)
            ASSERT_TRUE(t.bAddValue(i, new CCounted));
    }
    EXPECT_EQ(g_nDestroyed, 24) << "destruction releases what is left";
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
        ASSERT_TRUE(t.bAddValue(1, new CSelfRemoving(&t, 1)));
    }
    EXPECT_EQ(g_nDestroyed, 11);
}

// Names compare and hash without case and accents. Each route that
// removes, replaces or shadows the last pair found forgets it; under the
// sanitizer a stale pair would be read after its key was freed.
TEST(RefHashTable, TablesByNameAndTheLastPairFound)
{
    g_nDestroyed = 0;
    CStringProbe<CCounted*> t;
    for (int i = 0; i < 40; ++i)
        ASSERT_TRUE(t.bAddValue((L"T" + std::to_wstring(i)).c_str(), new CCounted));
    EXPECT_EQ(t.Buckets(), 97u);
    ASSERT_TRUE(t.bAddValue(L"\u00C9cole", new CCounted));
    ASSERT_TRUE(t.bGetValue(L"ECOLE", nullptr));
    // The same name again is answered from the last pair found, unhashed.
    TestHost().ClearLocaleCalls();
    ASSERT_TRUE(t.bGetValue(L"ecole", nullptr));
    for (std::size_t i = 0; i < TestHost().nLocaleCalls(); ++i)
        EXPECT_NE(TestHost().LocaleCall(i).nSlot, 12);
    ASSERT_TRUE(t.bSetValue(L"t1", new CCounted));
    EXPECT_EQ(g_nDestroyed, 1);

    CCounted* a = new CCounted;
    a->AddRef();  // ours, kept across the removals
    CCounted* c = new CCounted;
    CCounted* found = nullptr;
    void* v = nullptr;
    void* k = nullptr;
    unsigned pos = 0;
    auto forgets = [&](const char* route, auto op) {
        SCOPED_TRACE(route);
        if (!t.bGetValue(L"alpha", nullptr)) {
            ASSERT_TRUE(t.bAddValue(L"Alpha", a));
        }
        ASSERT_TRUE(t.bGetValue(L"ALPHA", nullptr));
        ASSERT_NE(t.LastKey(), nullptr);
        op();
        EXPECT_EQ(t.LastKey(), nullptr);
    };
    forgets("removal by name", [&] { ASSERT_TRUE(t.bRemoveValue(L"alpha")); });
    EXPECT_FALSE(t.bGetValue(L"alpha", &found));
    forgets("walk that removes", [&] {
        while (t.bParseTable(&pos, 1, &v, &k)) {
            static_cast<CCounted*>(v)->nRelease();
            free(k);
        }
    });
    EXPECT_EQ(g_nDestroyed, 42) << "the forty-one others";
    forgets("raw removal", [&] {
        ASSERT_TRUE(t.bDeleteElement(L"ALPHA", &v, &k));
        static_cast<CCounted*>(v)->nRelease();
        free(k);
    });
    forgets("shadowed", [&] { ASSERT_TRUE(t.bAddValue(L"ALPHA", c)); });
    ASSERT_TRUE(t.bGetValue(L"alpha", &found));
    EXPECT_EQ(found, c);
    found->nRelease();
    forgets("value address", [&] { ASSERT_NE(t.pGetElement(L"alpha"), nullptr); });
    forgets("set by position", [&] {
        pos = 0;
        while (t.bParseTable(&pos, 0, &v, &k) && v != c) {
        }
        t.StopParsing();
        ASSERT_TRUE(t.bParseSetElement(pos, nullptr, &v));
        static_cast<CCounted*>(v)->nRelease();
    });
    EXPECT_EQ(g_nDestroyed, 43);
    ASSERT_TRUE(t.bGetValue(L"alpha", &found));
    EXPECT_EQ(found, nullptr);
    ASSERT_TRUE(t.bRemoveValue(L"alpha"));
    forgets("emptying", [&] { t.SupprimeTout(); });
    EXPECT_EQ(t.Buckets(), 17u);
    EXPECT_FALSE(t.bGetValue(L"alpha", &found));
    EXPECT_EQ(a->Count(), 1u);
    a->nRelease();
    EXPECT_EQ(g_nDestroyed, 44);
}
