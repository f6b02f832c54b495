// The record cache beside a std::vector of byte vectors with a
// std::unordered_map on the identity bytes, on the same 200,000 rows of a
// 60-byte image: appends, reads in order and at random, lookups by identity;
// with record-values identities (argument 1) and with 12-byte row ids
// (argument 3). Both sides take each row from the same record value and
// give it back into one, as a statement does. Each benchmark also notes its
// time per row, and the ratios cache / baseline are printed when the
// program ends.
#include "access/statement/NARecordCache.h"

#include "access/driver/NaDriver.h"
#include "access/statement/NAKXRecord.h"
#include "access/statement/NARecordId.h"
#include "access/statement/NARecordValue.h"
#include "common/values/AnyConvert.h"
#include "common/values/NACnvVariant.h"

#include "bench/BenchHost.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <map>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

const int kRows = 200000;
const unsigned int kImage = 60;
const unsigned int kRowId = 12;

// Nanoseconds per row of each run, by name; the last run of a name counts.
std::map<std::string, double>& Times()
{
    static std::map<std::string, double> s;
    return s;
}

struct CRatios {
    // The table is made first so that it outlives this printer.
    CRatios() { Times(); }
    ~CRatios()
    {
        for (const auto& e : Times()) {
            const std::string sName = e.first;
            const size_t n = sName.rfind("/Cache");
            if (n == std::string::npos)
                continue;
            const auto it = Times().find(sName.substr(0, n) + "/Baseline");
            if (it != Times().end() && it->second > 0)
                std::printf("ratio %-28s cache / baseline = %.2f (%.1f / %.1f ns per row)\n", sName.substr(0, n).c_str(),
                            e.second / it->second, e.second, it->second);
        }
    }
} g_clRatios;

// Times the loop body per row; benchmark's own figures stay the reference.
class CTimer {
public:
    explicit CTimer(benchmark::State& state, const std::string& sName) : m_state(state), m_sName(sName) {}
    ~CTimer()
    {
        const long long n = static_cast<long long>(m_state.iterations()) * kRows;
        if (n > 0)
            Times()[m_sName + (m_state.range(0) == 1 ? "/RecordValues" : "/RowId") + m_sSide] =
                std::chrono::duration<double, std::nano>(m_elapsed).count() / static_cast<double>(n);
        m_state.SetItemsProcessed(n);
    }
    void Start() { m_start = std::chrono::steady_clock::now(); }
    void Stop() { m_elapsed += std::chrono::steady_clock::now() - m_start; }
    void Side(const char* psz) { m_sSide = psz; }

private:
    benchmark::State& m_state;
    std::string m_sName;
    std::string m_sSide;
    std::chrono::steady_clock::time_point m_start;
    std::chrono::steady_clock::duration m_elapsed{};
};

struct CData {
    std::vector<unsigned char> images; // kRows images of kImage bytes
    std::vector<unsigned char> rowIds; // kRows row ids of kRowId bytes
    std::vector<int> order;           // a shuffled visiting order

    static const CData& Get()
    {
        static const CData s = [] {
            CData d;
            std::mt19937 rng(5678);
            d.images.resize(static_cast<size_t>(kRows) * kImage);
            d.rowIds.resize(static_cast<size_t>(kRows) * kRowId);
            for (auto& b : d.images)
                b = static_cast<unsigned char>(rng());
            for (int i = 0; i < kRows; i++) {
                const unsigned int nKey = static_cast<unsigned int>(i) * 2654435761u;
                std::memcpy(&d.images[static_cast<size_t>(i) * kImage + 4], &nKey, 4);
                std::memcpy(&d.rowIds[static_cast<size_t>(i) * kRowId], &nKey, 4);
                std::memcpy(&d.rowIds[static_cast<size_t>(i) * kRowId + 4], &d.images[static_cast<size_t>(i) * kImage], 8);
                d.order.push_back(i);
            }
            std::shuffle(d.order.begin(), d.order.end(), rng);
            return d;
        }();
        return s;
    }
    const unsigned char* Image(int i) const { return &images[static_cast<size_t>(i) * kImage]; }
    const unsigned char* RowId(int i) const { return &rowIds[static_cast<size_t>(i) * kRowId]; }
};

// One record value reused for every row: its buffer and row id are
// overwritten with the row's bytes.
class CRow {
public:
    explicit CRow(int nKind) : m_nKind(nKind)
    {
        CNAKXRecord* pclRecord = new CNAKXRecord;
        std::vector<unsigned char> form(12 + kImage, 0);
        const unsigned int an[3] = {kImage, 8, 1};
        std::memcpy(form.data(), an, sizeof(an));
        pclRecord->Deserialize(form.data(), static_cast<unsigned int>(form.size()));
        m_p = new CNARecordValue(nullptr, pclRecord);
        m_p->AddRef();
        if (nKind == CNARecordId::RECORDID_RECORDVALUES) {
            m_p->bShareRecordID(new CNARecordId_RecordValues(m_p));
        } else {
            m_pclCell = new CNAConvertVariant(nullptr, nullptr);
            m_pclCell->InitTypeVariantAny(TQTYPE_BIN, 0);
            m_p->bShareRecordID(new CNARecordId_RowId(m_pclCell));
        }
    }
    ~CRow() { m_p->nRelease(); }
    void Set(const CData& d, int i) { SetFrom(d.Image(i), d.RowId(i)); }
    void SetFrom(const unsigned char* pbyImage, const unsigned char* pbyRowId)
    {
        std::memcpy(pbyGetImage(), pbyImage, kImage);
        if (m_pclCell != nullptr)
            m_pclCell->bSetValue(pbyRowId, kRowId);
    }
    unsigned char* pbyGetImage() const { return m_p->pclGetNAKXRecord()->pbyGetNullValuesFlags(); }
    // The identity bytes: the image, or the row id.
    const char* pszId() const
    {
        return reinterpret_cast<const char*>(m_pclCell != nullptr ? m_pclCell->pGetData() : pbyGetImage());
    }
    unsigned int nIdLength() const { return m_pclCell != nullptr ? m_pclCell->nGetSize() : kImage; }
    CNARecordValue* get() const { return m_p; }

private:
    int m_nKind;
    CNARecordValue* m_p = nullptr;
    CNAConvertVariant* m_pclCell = nullptr;
};

// The baseline: each row's image (and row id) in its own vector, the
// identity bytes as the key of a hash map to the row number.
struct CBaseline {
    std::vector<std::vector<unsigned char>> rows;
    std::unordered_map<std::string, int> index;
};

bool Fill(CNARecordCache* pclCache, CRow& row, const CData& d)
{
    int nAdded = 0;
    for (int i = 0; i < kRows; i++) {
        row.Set(d, i);
        nAdded += pclCache->nAjoute(row.get()) == i;
    }
    return nAdded == kRows;
}

void Fill(CBaseline& b, CRow& row, const CData& d)
{
    b.rows.reserve(kRows);
    b.index.reserve(kRows);
    for (int i = 0; i < kRows; i++) {
        row.Set(d, i);
        std::vector<unsigned char> stored(row.pbyGetImage(), row.pbyGetImage() + kImage);
        if (row.nIdLength() != kImage)
            stored.insert(stored.end(), row.pszId(), row.pszId() + row.nIdLength());
        b.rows.push_back(std::move(stored));
        b.index.emplace(std::string(row.pszId(), row.nIdLength()), i);
    }
}

void BM_Append_Cache(benchmark::State& state)
{
    bBindHostAndDriver();
    const int nKind = static_cast<int>(state.range(0));
    const CData& d = CData::Get();
    CRow row(nKind);
    CTimer t(state, "Append");
    t.Side("/Cache");
    for (auto _ : state) {
        CNARecordCache* pclCache = new CNARecordCache(1u);
        pclCache->AddRef();
        t.Start();
        const bool bFilled = Fill(pclCache, row, d);
        t.Stop();
        if (!bFilled)
            state.SkipWithError("a row could not be added");
        benchmark::DoNotOptimize(pclCache->nGetCount());
        state.PauseTiming();
        pclCache->nRelease();
        state.ResumeTiming();
    }
}

void BM_Append_Baseline(benchmark::State& state)
{
    bBindHostAndDriver();
    const int nKind = static_cast<int>(state.range(0));
    const CData& d = CData::Get();
    CRow row(nKind);
    CTimer t(state, "Append");
    t.Side("/Baseline");
    for (auto _ : state) {
        CBaseline* pb = new CBaseline;
        t.Start();
        Fill(*pb, row, d);
        t.Stop();
        benchmark::DoNotOptimize(pb->rows.size());
        state.PauseTiming();
        delete pb;
        state.ResumeTiming();
    }
}

// Reads every row, in order (argument 1 = 0) or shuffled.
void BM_Read_Cache(benchmark::State& state)
{
    bBindHostAndDriver();
    const int nKind = static_cast<int>(state.range(0));
    const bool bRandom = state.range(1) != 0;
    const CData& d = CData::Get();
    CRow row(nKind), dst(nKind);
    CNARecordCache* pclCache = new CNARecordCache(1u);
    pclCache->AddRef();
    if (!Fill(pclCache, row, d))
        state.SkipWithError("a row could not be added");
    CTimer t(state, bRandom ? "ReadRandom" : "ReadInOrder");
    t.Side("/Cache");
    int nRead = 0;
    for (auto _ : state) {
        t.Start();
        for (int i = 0; i < kRows; i++)
            nRead += pclCache->bGetAt(dst.get(), static_cast<unsigned int>(bRandom ? d.order[static_cast<size_t>(i)] : i));
        t.Stop();
    }
    if (nRead != static_cast<int>(state.iterations()) * kRows)
        state.SkipWithError("a row could not be read");
    pclCache->nRelease();
}

void BM_Read_Baseline(benchmark::State& state)
{
    bBindHostAndDriver();
    const int nKind = static_cast<int>(state.range(0));
    const bool bRandom = state.range(1) != 0;
    const CData& d = CData::Get();
    CRow row(nKind), dst(nKind);
    CBaseline b;
    Fill(b, row, d);
    CTimer t(state, bRandom ? "ReadRandom" : "ReadInOrder");
    t.Side("/Baseline");
    for (auto _ : state) {
        t.Start();
        for (int i = 0; i < kRows; i++) {
            const std::vector<unsigned char>& r = b.rows[static_cast<size_t>(bRandom ? d.order[static_cast<size_t>(i)] : i)];
            dst.SetFrom(r.data(), r.data() + kImage);
            benchmark::DoNotOptimize(dst.pbyGetImage());
        }
        t.Stop();
    }
}

void BM_Lookup_Cache(benchmark::State& state)
{
    bBindHostAndDriver();
    const int nKind = static_cast<int>(state.range(0));
    const CData& d = CData::Get();
    CRow row(nKind), probe(nKind);
    CNARecordCache* pclCache = new CNARecordCache(1u);
    pclCache->AddRef();
    if (!Fill(pclCache, row, d))
        state.SkipWithError("a row could not be added");
    CTimer t(state, "Lookup");
    t.Side("/Cache");
    long long llSum = 0;
    for (auto _ : state) {
        t.Start();
        for (int i = 0; i < kRows; i++) {
            const int n = d.order[static_cast<size_t>(i)];
            probe.Set(d, n);
            llSum += pclCache->nGetRecordIndice(probe.get()) == n;
        }
        t.Stop();
    }
    if (llSum != static_cast<long long>(state.iterations()) * kRows)
        state.SkipWithError("a row was not found");
    pclCache->nRelease();
}

void BM_Lookup_Baseline(benchmark::State& state)
{
    bBindHostAndDriver();
    const int nKind = static_cast<int>(state.range(0));
    const CData& d = CData::Get();
    CRow row(nKind), probe(nKind);
    CBaseline b;
    Fill(b, row, d);
    CTimer t(state, "Lookup");
    t.Side("/Baseline");
    long long llSum = 0;
    for (auto _ : state) {
        t.Start();
        for (int i = 0; i < kRows; i++) {
            const int n = d.order[static_cast<size_t>(i)];
            probe.Set(d, n);
            const auto it = b.index.find(std::string(probe.pszId(), probe.nIdLength()));
            llSum += it != b.index.end() && it->second == n;
        }
        t.Stop();
    }
    if (llSum != static_cast<long long>(state.iterations()) * kRows)
        state.SkipWithError("a row was not found");
}

void Kinds(benchmark::internal::Benchmark* b) { b->Arg(1)->Arg(3)->Unit(benchmark::kMillisecond); }
void KindsAndOrders(benchmark::internal::Benchmark* b)
{
    b->Args({1, 0})->Args({1, 1})->Args({3, 0})->Args({3, 1})->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_Append_Cache)->Apply(Kinds);
BENCHMARK(BM_Append_Baseline)->Apply(Kinds);
BENCHMARK(BM_Read_Cache)->Apply(KindsAndOrders);
BENCHMARK(BM_Read_Baseline)->Apply(KindsAndOrders);
BENCHMARK(BM_Lookup_Cache)->Apply(Kinds);
BENCHMARK(BM_Lookup_Baseline)->Apply(Kinds);

}  // namespace
