// The in-memory B+-tree beside std::multimap with a memcmp comparator, on
// the same keys and 4-byte values: inserts of distinct keys and of keys with
// 10 values each, exact lookups, ordered scans and going to the n-th record.
#include "access/statement/MemBTree.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <vector>

namespace {

template <unsigned int K>
struct Key {
    unsigned char ab[K];
};

template <unsigned int K>
struct Less {
    bool operator()(const Key<K>& a, const Key<K>& b) const { return std::memcmp(a.ab, b.ab, K) < 0; }
};

template <unsigned int K>
using MultiMap = std::multimap<Key<K>, std::uint32_t, Less<K>>;

// The tree's comparison of K bytes: the same memcmp as the map's comparator.
template <unsigned int K>
int Compare(const void* a, const void* b, unsigned int)
{
    return std::memcmp(a, b, K);
}

// n records in random order; with nPerKey > 1, n / nPerKey keys of nPerKey
// values each. Distinct keys come from a bijection of the index, the rest of
// a long key is random.
template <unsigned int K>
struct Data {
    std::vector<Key<K>> vKeys;
    std::vector<std::uint32_t> vValues;
    std::vector<int> vOrder; // a shuffled visiting order for lookups

    Data(int n, int nPerKey)
    {
        std::mt19937 rng(1234);
        vKeys.resize(static_cast<size_t>(n));
        vValues.resize(static_cast<size_t>(n));
        for (int i = 0; i < n; i++) {
            const std::uint32_t nKey = static_cast<std::uint32_t>(i / nPerKey) * 2654435761u;
            Key<K>& k = vKeys[static_cast<size_t>(i)];
            std::mt19937 fill(nKey);
            for (unsigned int b = 0; b < K; b++)
                k.ab[b] = static_cast<unsigned char>(fill());
            std::memcpy(k.ab, &nKey, 4);
            vValues[static_cast<size_t>(i)] = static_cast<std::uint32_t>(i % nPerKey) * 7919u + 1;
        }
        std::vector<int> v(static_cast<size_t>(n));
        for (int i = 0; i < n; i++)
            v[static_cast<size_t>(i)] = i;
        std::shuffle(v.begin(), v.end(), rng);
        std::vector<Key<K>> k2(vKeys.size());
        std::vector<std::uint32_t> v2(vValues.size());
        for (size_t i = 0; i < v.size(); i++) {
            k2[i] = vKeys[static_cast<size_t>(v[i])];
            v2[i] = vValues[static_cast<size_t>(v[i])];
        }
        vKeys.swap(k2);
        vValues.swap(v2);
        std::shuffle(v.begin(), v.end(), rng);
        vOrder.swap(v);
    }

    static const Data& Get(int n, int nPerKey)
    {
        static std::map<std::pair<int, int>, std::unique_ptr<Data>> s;
        std::unique_ptr<Data>& p = s[{n, nPerKey}];
        if (!p)
            p.reset(new Data(n, nPerKey));
        return *p;
    }
};

template <unsigned int K>
std::unique_ptr<CMemBTree> BuildTree(const Data<K>& d)
{
    std::unique_ptr<CMemBTree> p(CMemBTree::pclCreate(K, 4, Compare<K>, Compare<4>, 0));
    for (size_t i = 0; i < d.vKeys.size(); i++)
        p->bInsert(d.vKeys[i].ab, &d.vValues[i]);
    return p;
}

template <unsigned int K>
std::unique_ptr<MultiMap<K>> BuildMap(const Data<K>& d)
{
    std::unique_ptr<MultiMap<K>> p(new MultiMap<K>);
    for (size_t i = 0; i < d.vKeys.size(); i++)
        p->emplace(d.vKeys[i], d.vValues[i]);
    return p;
}

// ---- Inserts: args n, values per key ----

template <unsigned int K>
void BM_Insert_Tree(benchmark::State& state)
{
    const Data<K>& d = Data<K>::Get(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    for (auto _ : state) {
        std::unique_ptr<CMemBTree> p = BuildTree(d);
        benchmark::DoNotOptimize(p->nGetNumRecord());
        state.PauseTiming();
        p.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

template <unsigned int K>
void BM_Insert_MultiMap(benchmark::State& state)
{
    const Data<K>& d = Data<K>::Get(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    for (auto _ : state) {
        std::unique_ptr<MultiMap<K>> p = BuildMap(d);
        benchmark::DoNotOptimize(p->size());
        state.PauseTiming();
        p.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

// ---- Exact lookups of every key, in a shuffled order ----

template <unsigned int K>
void BM_Lookup_Tree(benchmark::State& state)
{
    const Data<K>& d = Data<K>::Get(static_cast<int>(state.range(0)), 1);
    std::unique_ptr<CMemBTree> p = BuildTree(d);
    for (auto _ : state) {
        std::uint32_t nSum = 0;
        for (int i : d.vOrder) {
            const void* pv = p->pSearch(d.vKeys[static_cast<size_t>(i)].ab, CMemBTree::eSearchExact);
            std::uint32_t n;
            std::memcpy(&n, pv, 4);
            nSum += n;
        }
        benchmark::DoNotOptimize(nSum);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

template <unsigned int K>
void BM_Lookup_MultiMap(benchmark::State& state)
{
    const Data<K>& d = Data<K>::Get(static_cast<int>(state.range(0)), 1);
    std::unique_ptr<MultiMap<K>> p = BuildMap(d);
    for (auto _ : state) {
        std::uint32_t nSum = 0;
        for (int i : d.vOrder)
            nSum += p->find(d.vKeys[static_cast<size_t>(i)])->second;
        benchmark::DoNotOptimize(nSum);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

// ---- Ordered scans of every record ----

template <unsigned int K>
void BM_Scan_Tree(benchmark::State& state)
{
    const Data<K>& d = Data<K>::Get(static_cast<int>(state.range(0)), 1);
    std::unique_ptr<CMemBTree> p = BuildTree(d);
    for (auto _ : state) {
        std::uint32_t nSum = 0;
        int nDone;
        p->GotoFirstRecord();
        do {
            std::uint32_t n;
            std::memcpy(&n, p->pReadValue(), 4);
            nSum += n;
        } while (p->bAdvance(1, &nDone, 0));
        benchmark::DoNotOptimize(nSum);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

template <unsigned int K>
void BM_Scan_MultiMap(benchmark::State& state)
{
    const Data<K>& d = Data<K>::Get(static_cast<int>(state.range(0)), 1);
    std::unique_ptr<MultiMap<K>> p = BuildMap(d);
    for (auto _ : state) {
        std::uint32_t nSum = 0;
        for (const auto& e : *p)
            nSum += e.second;
        benchmark::DoNotOptimize(nSum);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

// ---- The n-th record, for 64 random positions ----

constexpr int kPositions = 64;

std::vector<int> Positions(int n)
{
    std::mt19937 rng(99);
    std::vector<int> v(kPositions);
    for (int& x : v)
        x = static_cast<int>(rng() % static_cast<unsigned int>(n));
    return v;
}

template <unsigned int K>
void BM_MoveTo_Tree(benchmark::State& state)
{
    const Data<K>& d = Data<K>::Get(static_cast<int>(state.range(0)), 1);
    std::unique_ptr<CMemBTree> p = BuildTree(d);
    const std::vector<int> v = Positions(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        std::uint32_t nSum = 0;
        for (int n : v) {
            p->MoveTo(n);
            std::uint32_t x;
            std::memcpy(&x, p->pReadValue(), 4);
            nSum += x;
        }
        benchmark::DoNotOptimize(nSum);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kPositions);
}

template <unsigned int K>
void BM_MoveTo_MultiMap(benchmark::State& state)
{
    const Data<K>& d = Data<K>::Get(static_cast<int>(state.range(0)), 1);
    std::unique_ptr<MultiMap<K>> p = BuildMap(d);
    const std::vector<int> v = Positions(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        std::uint32_t nSum = 0;
        for (int n : v)
            nSum += std::next(p->begin(), n)->second;
        benchmark::DoNotOptimize(nSum);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kPositions);
}

void InsertArgs(benchmark::internal::Benchmark* b)
{
    for (int n : {100000, 1000000})
        for (int nPerKey : {1, 10})
            b->Args({n, nPerKey});
    b->Unit(benchmark::kMillisecond);
}

void SizeArgs(benchmark::internal::Benchmark* b)
{
    for (int n : {100000, 1000000})
        b->Args({n});
    b->Unit(benchmark::kMillisecond);
}

#define ZT_PAIR(name, args)                                                                                            \
    BENCHMARK_TEMPLATE(BM_##name##_Tree, 8)->Apply(args);                                                              \
    BENCHMARK_TEMPLATE(BM_##name##_MultiMap, 8)->Apply(args);                                                          \
    BENCHMARK_TEMPLATE(BM_##name##_Tree, 32)->Apply(args);                                                             \
    BENCHMARK_TEMPLATE(BM_##name##_MultiMap, 32)->Apply(args)

ZT_PAIR(Insert, InsertArgs);
ZT_PAIR(Lookup, SizeArgs);
ZT_PAIR(Scan, SizeArgs);
ZT_PAIR(MoveTo, SizeArgs);

} // namespace
