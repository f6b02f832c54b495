// Indexes of a full table cache beside std::multimap over the same key
// bytes (memcmp comparator), in the same run, on full caches of 100,000 and
// 1,000,000 rows made in memory, for an INT and a VARCHAR(40) column:
// building (rows read from the cache and keyed on both sides), the first
// position from random start values (keyed on both sides), ordered walks
// by next, and the bytes per entry of the tree's pools (their chunks)
// against the map's nodes (a counting allocator). The ratios index /
// multimap are printed when the program ends.
#include "access/statement/NATableCacheIndex.h"

#include "access/driver/NADataSourceDescription.h"
#include "access/driver/NAError.h"
#include "access/statement/IndexFixedSizeItem.h"
#include "access/statement/NAColumn.h"
#include "access/statement/NARecord.h"
#include "access/statement/NARecordCache.h"
#include "access/statement/NARecordValue.h"
#include "access/table/NADataAccess.h"
#include "common/values/Any.h"
#include "common/values/ConvertKey.h"

#include "bench/BenchHost.h"
#include "tests/access/statement/MemBTreeChecker.h"
#include "tests/support/ClosedConnection.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

enum { COLUMN_INT = 0, COLUMN_TEXT = 1 };
const int kProbes = 20000;
// Key bytes of the two columns: INT, and VARCHAR(40) as 40 wide units and
// their terminator.
const unsigned int kIntKey = 4;
const unsigned int kTextKey = 82;

// Nanoseconds per item of each run, by name; the last run of a name counts.
std::map<std::string, double>& Times()
{
    static std::map<std::string, double> s;
    return s;
}
// Bytes per entry of each side, by name.
std::map<std::string, double>& Bytes()
{
    static std::map<std::string, double> s;
    return s;
}

struct CRatios {
    // The tables are made first so that they outlive this printer.
    CRatios()
    {
        Times();
        Bytes();
    }
    ~CRatios()
    {
        for (const auto& e : Times()) {
            const size_t n = e.first.rfind("/Index");
            if (n == std::string::npos)
                continue;
            const std::string sName = e.first.substr(0, n);
            const auto it = Times().find(sName + "/MultiMap");
            if (it != Times().end() && it->second > 0)
                std::printf("ratio %-26s index / multimap = %.2f (%.1f / %.1f ns per item)\n", sName.c_str(),
                            e.second / it->second, e.second, it->second);
        }
        for (const auto& e : Bytes()) {
            const size_t n = e.first.rfind("/Index");
            if (n == std::string::npos)
                continue;
            const std::string sName = e.first.substr(0, n);
            const auto it = Bytes().find(sName + "/MultiMap");
            if (it != Bytes().end() && it->second > 0)
                std::printf("ratio %-26s index / multimap = %.2f (%.1f / %.1f bytes per entry)\n", sName.c_str(),
                            e.second / it->second, e.second, it->second);
        }
    }
} g_clRatios;

// Times the measured parts per item; benchmark's own figures stay the
// reference.
class CTimer {
public:
    CTimer(benchmark::State& state, const std::string& sName, long long llItems)
        : m_state(state), m_sName(sName), m_llItems(llItems)
    {
    }
    ~CTimer()
    {
        const long long n = static_cast<long long>(m_state.iterations()) * m_llItems;
        if (n > 0)
            Times()[m_sName] = std::chrono::duration<double, std::nano>(m_elapsed).count() / static_cast<double>(n);
        m_state.SetItemsProcessed(n);
    }
    void Start() { m_start = std::chrono::steady_clock::now(); }
    void Stop() { m_elapsed += std::chrono::steady_clock::now() - m_start; }

private:
    benchmark::State& m_state;
    std::string m_sName;
    long long m_llItems;
    std::chrono::steady_clock::time_point m_start;
    std::chrono::steady_clock::duration m_elapsed{};
};

std::string Name(const char* pszWhat, const benchmark::State& state, const char* pszSide)
{
    return std::string(pszWhat) + (state.range(1) == COLUMN_INT ? "/INT/" : "/VARCHAR/") +
           std::to_string(state.range(0)) + pszSide;
}

class CBenchConnection : public CClosedConnection {
public:
    CBenchConnection() { m_eDataSource = DS_MYSQL; }
};

// A table of an INT and a VARCHAR(40) column and a full cache of its rows:
// integers below the row count (a third of them repeated), texts of 1 to
// 40 characters.
class CTable {
public:
    explicit CTable(int nRows)
    {
        m_pError = new CNAError;
        m_pError->AddRef();
        m_pCnx = new CBenchConnection;
        m_pCnx->AddRef();
        m_pDescription = new CNADataSourceDescription(m_pCnx, m_pError);
        m_pDescription->AddRef();
        m_pDescription->SetLogicalName(L"T");
        m_pDescription->bAddItem(L"N", L"", L"", 1, 4, NA_IT_I4, -1, -1, 0, 0, 0);
        m_pDescription->bAddItem(L"TXT", L"", L"", 1, 82, NA_IT_UNICODE, -1, -1, 0, 0, 0);
        m_pDescription->UpdateRecordSize();
        m_pAccess = new CNADataAccess(nullptr, m_pCnx, m_pError);
        m_pAccess->AddRef();
        m_pRecord = new CNARecord(m_pError, m_pAccess);
        m_pRecord->AddRef();
        m_bOk = m_pRecord->bInitRecord(m_pDescription, nullptr, m_pCnx) != 0;
        m_pCache = new CNARecordCache(CNARecordCache::CACHE_ENABLED | CNARecordCache::CACHE_FETCHCOMPLETE);
        m_pCache->AddRef();
        std::mt19937 rng(4242);
        CAny v;
        for (int i = 0; i < nRows && m_bOk; i++) {
            SetInt(static_cast<int>(rng() % static_cast<unsigned int>(nRows)), v);
            m_bOk = Column(COLUMN_INT)->bSetValue(&v, 0) != 0;
            Text(rng, v);
            m_bOk = m_bOk && Column(COLUMN_TEXT)->bSetValue(&v, 0) != 0;
            CNARecordValue* pclRow = m_pRecord->pclGetCurrentRecordValueNoRef()->pclGetClone(CNARecordValue::COPY_ALL);
            m_bOk = m_bOk && pclRow != nullptr;
            if (pclRow != nullptr) {
                pclRow->AddRef();
                m_bOk = m_pCache->nAjoute(pclRow) == i;
                pclRow->nRelease();
            }
        }
        for (int i = 0; i < kProbes; i++) {
            m_aProbe[COLUMN_INT].emplace_back(new CAny);
            SetInt(static_cast<int>(rng() % static_cast<unsigned int>(nRows + 20)) - 10, *m_aProbe[COLUMN_INT].back());
            m_aProbe[COLUMN_TEXT].emplace_back(new CAny);
            Text(rng, *m_aProbe[COLUMN_TEXT].back());
        }
    }
    ~CTable()
    {
        m_pCache->nRelease();
        m_pRecord->nRelease();
        m_pAccess->nRelease();
        m_pDescription->nRelease();
        m_pCnx->nRelease();
        m_pError->nRelease();
    }
    CTable(const CTable&) = delete;
    CTable& operator=(const CTable&) = delete;

    static CTable& Get(int nRows)
    {
        static std::map<int, std::unique_ptr<CTable>> s;
        std::unique_ptr<CTable>& p = s[nRows];
        if (!p)
            p.reset(new CTable(nRows));
        return *p;
    }

    CNAColumn* Column(int c) const { return m_pRecord->pclGetColumnNoRef(c); }
    // The key bytes of a value, as the index makes them.
    void Key(int c, CAny* pValue, unsigned char* pbyKey, unsigned int nKeySize) const
    {
        std::memset(pbyKey, 0, nKeySize);
        CConvertKey::nConvertKeyAndGetSize(pValue, pbyKey, nKeySize, Column(c)->eGetTQType(), 0x2800, 0, 0);
    }
    // A new index of column c (one reference), null when it cannot be made.
    CNATableCacheIndex* NewIndex(int c) const
    {
        CNATableCacheIndex* p = new (std::nothrow) CNATableCacheIndex(m_pError, nullptr, m_pCache, Column(c));
        if (p == nullptr)
            return nullptr;
        p->m_nRefCount++;
        if (!p->bInit()) {
            p->dwRelease();
            return nullptr;
        }
        return p;
    }

    bool m_bOk = false;
    CNAError* m_pError;
    CNAConnectionDescription* m_pCnx;
    CNADataSourceDescription* m_pDescription;
    CNADataAccess* m_pAccess;
    CNARecord* m_pRecord;
    CNARecordCache* m_pCache;
    std::vector<std::unique_ptr<CAny>> m_aProbe[2];

private:
    static void SetInt(int n, CAny& v)
    {
        v.__SetType(TQTYPE_I4, 0);
        v.pclGetTraitement()->SetValue(&n);
    }
    static void Text(std::mt19937& rng, CAny& v)
    {
        static const wchar_t sz[] = L"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 éèàçÉ€";
        const size_t nAlphabet = sizeof(sz) / sizeof(sz[0]) - 1;
        std::wstring s(1 + rng() % 40, L' ');
        for (wchar_t& c : s)
            c = sz[rng() % nAlphabet];
        v.__SetType(TQTYPE_DSTRW, 0);
        v.pclGetTraitement()->SetValue(s.c_str(), static_cast<unsigned int>(s.size() * sizeof(wchar_t)));
    }
};

// ---- The baseline: a multimap of the same key bytes to the row number ----

long long g_llMapBytes = 0;

template <class T>
struct CCountingAllocator {
    typedef T value_type;
    CCountingAllocator() = default;
    template <class U>
    CCountingAllocator(const CCountingAllocator<U>&)
    {
    }
    T* allocate(std::size_t n)
    {
        g_llMapBytes += static_cast<long long>(n * sizeof(T));
        return std::allocator<T>().allocate(n);
    }
    void deallocate(T* p, std::size_t n)
    {
        g_llMapBytes -= static_cast<long long>(n * sizeof(T));
        std::allocator<T>().deallocate(p, n);
    }
};
template <class T, class U>
bool operator==(const CCountingAllocator<T>&, const CCountingAllocator<U>&)
{
    return true;
}
template <class T, class U>
bool operator!=(const CCountingAllocator<T>&, const CCountingAllocator<U>&)
{
    return false;
}

template <unsigned int K>
struct Key {
    unsigned char ab[K];
};
template <unsigned int K>
struct Less {
    bool operator()(const Key<K>& a, const Key<K>& b) const { return std::memcmp(a.ab, b.ab, K) < 0; }
};
template <unsigned int K>
using MultiMap = std::multimap<Key<K>, int, Less<K>, CCountingAllocator<std::pair<const Key<K>, int>>>;

// The rows read from the cache and keyed as the index keys them.
template <unsigned int K>
std::unique_ptr<MultiMap<K>> BuildMap(const CTable& t, int c)
{
    std::unique_ptr<MultiMap<K>> p(new MultiMap<K>);
    CNARecordValue* pclRow = new CNARecordValue(t.m_pError);
    pclRow->AddRef();
    CAny v;
    Key<K> k;
    const int n = t.m_pCache->nGetCount();
    for (int r = 0; r < n; r++) {
        if (t.m_pCache->eGetRecordState(r) != 0 || !t.m_pCache->bGetAt(pclRow, static_cast<unsigned int>(r)))
            continue;
        pclRow->bGetItemValue(&v, t.Column(c)->piGetItem());
        t.Key(c, &v, k.ab, K);
        p->emplace(k, r);
    }
    pclRow->nRelease();
    return p;
}

// Bytes of every chunk of the index's tree.
double IndexBytes(CNATableCacheIndex* p)
{
    auto* pItem = static_cast<CIndexFixedSizeItem*>(p->pclGetIndexItemNoRef());
    CMemBTreeChecker checker(*pItem->pclGetTreeNoRef());
    std::vector<CTObjAlloc*> pools = {checker.IndexPool(), checker.DataPool()};
    for (int c = 0; c < CMemBucket::eClassCount; c++)
        pools.push_back(checker.BucketPool(c));
    double d = 0;
    for (CTObjAlloc* pcl : pools)
        if (pcl != nullptr)
            d += static_cast<double>(pcl->nGetChunkCount()) *
                 (CTObjAlloc::mg_nSpaceCostPerChunk +
                  static_cast<double>(pcl->nGetObjectSize() + CTObjAlloc::mg_nSpaceCostPerObj) *
                      pcl->nGetObjectsPerChunk());
    return d;
}

// The rows of the benchmark's size (argument 0), made once; null with the
// benchmark stopped when the host or the rows are missing.
CTable* pReadyTable(benchmark::State& state)
{
    if (!bBindHostAndDriver()) {
        state.SkipWithError("no host");
        return nullptr;
    }
    CTable& t = CTable::Get(static_cast<int>(state.range(0)));
    if (!t.m_bOk) {
        state.SkipWithError("the rows could not be made");
        return nullptr;
    }
    return &t;
}

// ---- Building ----

void BM_Build_Index(benchmark::State& state)
{
    CTable* pt = pReadyTable(state);
    if (pt == nullptr)
        return;
    CTable& t = *pt;
    const int c = static_cast<int>(state.range(1));
    CTimer clTimer(state, Name("Build", state, "/Index"), t.m_pCache->nGetCount());
    for (auto _ : state) {
        clTimer.Start();
        CNATableCacheIndex* p = t.NewIndex(c);
        clTimer.Stop();
        if (p == nullptr)
            return state.SkipWithError("no index");
        Bytes()[Name("Memory", state, "/Index")] = IndexBytes(p) / p->nGetRecordNbr();
        state.PauseTiming();
        p->dwRelease();
        state.ResumeTiming();
    }
}

template <unsigned int K>
void BuildMultiMap(benchmark::State& state, CTable& t, int c)
{
    CTimer clTimer(state, Name("Build", state, "/MultiMap"), t.m_pCache->nGetCount());
    for (auto _ : state) {
        const long long llBefore = g_llMapBytes;
        clTimer.Start();
        std::unique_ptr<MultiMap<K>> p = BuildMap<K>(t, c);
        clTimer.Stop();
        Bytes()[Name("Memory", state, "/MultiMap")] =
            static_cast<double>(g_llMapBytes - llBefore) / static_cast<double>(p->size());
        state.PauseTiming();
        p.reset();
        state.ResumeTiming();
    }
}

void BM_Build_MultiMap(benchmark::State& state)
{
    CTable* pt = pReadyTable(state);
    if (pt == nullptr)
        return;
    CTable& t = *pt;
    if (state.range(1) == COLUMN_INT)
        BuildMultiMap<kIntKey>(state, t, COLUMN_INT);
    else
        BuildMultiMap<kTextKey>(state, t, COLUMN_TEXT);
}

// ---- The first position from random start values ----

void BM_Lookup_Index(benchmark::State& state)
{
    CTable* pt = pReadyTable(state);
    if (pt == nullptr)
        return;
    CTable& t = *pt;
    const int c = static_cast<int>(state.range(1));
    CNATableCacheIndex* p = t.NewIndex(c);
    if (p == nullptr)
        return state.SkipWithError("no index");
    long long llSum = 0;
    {
        CTimer clTimer(state, Name("Lookup", state, "/Index"), kProbes);
        for (auto _ : state) {
            clTimer.Start();
            for (const std::unique_ptr<CAny>& v : t.m_aProbe[c]) {
                int nRow;
                p->SetStartValue(v.get());
                p->bGetRecordPosition(NA_PARSE_FIRST, 1, &nRow, nullptr);
                llSum += nRow;
            }
            clTimer.Stop();
        }
    }
    benchmark::DoNotOptimize(llSum);
    p->dwRelease();
}

template <unsigned int K>
void LookupMultiMap(benchmark::State& state, CTable& t, int c)
{
    const std::unique_ptr<MultiMap<K>> p = BuildMap<K>(t, c);
    long long llSum = 0;
    Key<K> k;
    CTimer clTimer(state, Name("Lookup", state, "/MultiMap"), kProbes);
    for (auto _ : state) {
        clTimer.Start();
        for (const std::unique_ptr<CAny>& v : t.m_aProbe[c]) {
            t.Key(c, v.get(), k.ab, K);
            const auto it = p->lower_bound(k);
            llSum += it != p->end() ? it->second : -1;
        }
        clTimer.Stop();
    }
    benchmark::DoNotOptimize(llSum);
}

void BM_Lookup_MultiMap(benchmark::State& state)
{
    CTable* pt = pReadyTable(state);
    if (pt == nullptr)
        return;
    CTable& t = *pt;
    if (state.range(1) == COLUMN_INT)
        LookupMultiMap<kIntKey>(state, t, COLUMN_INT);
    else
        LookupMultiMap<kTextKey>(state, t, COLUMN_TEXT);
}

// ---- Ordered walks by next ----

void BM_Walk_Index(benchmark::State& state)
{
    CTable* pt = pReadyTable(state);
    if (pt == nullptr)
        return;
    CTable& t = *pt;
    CNATableCacheIndex* p = t.NewIndex(static_cast<int>(state.range(1)));
    if (p == nullptr)
        return state.SkipWithError("no index");
    long long llSum = 0;
    {
        CTimer clTimer(state, Name("Walk", state, "/Index"), p->nGetRecordNbr());
        for (auto _ : state) {
            clTimer.Start();
            int nRow;
            p->SetStartValue(nullptr);
            p->bGetRecordPosition(NA_PARSE_FIRST, 1, &nRow, nullptr);
            while (nRow != -1) {
                llSum += nRow;
                p->bGetRecordPosition(NA_PARSE_NEXT, 1, &nRow, nullptr);
            }
            clTimer.Stop();
        }
    }
    benchmark::DoNotOptimize(llSum);
    p->dwRelease();
}

template <unsigned int K>
void WalkMultiMap(benchmark::State& state, CTable& t, int c)
{
    const std::unique_ptr<MultiMap<K>> p = BuildMap<K>(t, c);
    long long llSum = 0;
    CTimer clTimer(state, Name("Walk", state, "/MultiMap"), static_cast<long long>(p->size()));
    for (auto _ : state) {
        clTimer.Start();
        for (const auto& e : *p)
            llSum += e.second;
        clTimer.Stop();
    }
    benchmark::DoNotOptimize(llSum);
}

void BM_Walk_MultiMap(benchmark::State& state)
{
    CTable* pt = pReadyTable(state);
    if (pt == nullptr)
        return;
    CTable& t = *pt;
    if (state.range(1) == COLUMN_INT)
        WalkMultiMap<kIntKey>(state, t, COLUMN_INT);
    else
        WalkMultiMap<kTextKey>(state, t, COLUMN_TEXT);
}

void Args(benchmark::internal::Benchmark* b)
{
    for (int n : {100000, 1000000})
        for (int c : {COLUMN_INT, COLUMN_TEXT})
            b->Args({n, c});
    b->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_Build_Index)->Apply(Args);
BENCHMARK(BM_Build_MultiMap)->Apply(Args);
BENCHMARK(BM_Lookup_Index)->Apply(Args);
BENCHMARK(BM_Lookup_MultiMap)->Apply(Args);
BENCHMARK(BM_Walk_Index)->Apply(Args);
BENCHMARK(BM_Walk_MultiMap)->Apply(Args);

} // namespace
