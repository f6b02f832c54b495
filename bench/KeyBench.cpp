// Sortable keys of host values, a batch of values per iteration, as the
// cache indexes encode them (caller's buffer of the column's key size),
// beside the plain byte copy or byte swap that a key at least costs.
#include "common/values/Any.h"
#include "common/values/ConvertKey.h"

#include "tests/support/TestHost.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int kBatch = 1024;
// The cache indexes' options.
constexpr unsigned short kCacheOptions = 0x2800;

std::vector<std::uint32_t> RandomWords()
{
    std::mt19937 rng(7);
    std::vector<std::uint32_t> v(kBatch);
    for (auto& x : v)
        x = rng();
    return v;
}

std::vector<std::string> RandomTexts()
{
    std::mt19937 rng(11);
    std::uniform_int_distribution<int> len(8, 24), letter('a', 'z');
    std::vector<std::string> v(kBatch);
    for (auto& s : v) {
        s.resize(static_cast<std::size_t>(len(rng)));
        for (auto& c : s)
            c = static_cast<char>(letter(rng));
    }
    return v;
}

// Values of one host type built from the batch.
std::unique_ptr<CAny[]> Values(unsigned short nType)
{
    TimedHost();
    std::unique_ptr<CAny[]> values(new CAny[kBatch]);
    const std::vector<std::uint32_t> words = RandomWords();
    const std::vector<std::string> texts = RandomTexts();
    for (int i = 0; i < kBatch; ++i) {
        CAny& v = values[static_cast<std::size_t>(i)];
        v.__SetType(nType, 0);
        if (nType == TQTYPE_I4) {
            v.pclGetTraitement()->SetValue(&words[static_cast<std::size_t>(i)]);
        } else if (nType == TQTYPE_I8) {
            const std::uint64_t ll = (static_cast<std::uint64_t>(words[static_cast<std::size_t>(i)]) << 32) | words[0];
            v.pclGetTraitement()->SetValue(&ll);
        } else if (nType == TQTYPE_DSTRA) {
            const std::string& s = texts[static_cast<std::size_t>(i)];
            v.pclGetTraitement()->SetValue(s.c_str(), static_cast<unsigned>(s.size()));
        } else if (nType == TQTYPE_DSTRW) {
            const std::string& s = texts[static_cast<std::size_t>(i)];
            const std::wstring w(s.begin(), s.end());
            v.pclGetTraitement()->SetValue(w.c_str(), static_cast<unsigned>(w.size() * sizeof(wchar_t)));
        }
    }
    return values;
}

void Done(benchmark::State& state)
{
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kBatch);
}

// ---- Integers ----------------------------------------------------------------------------

void BM_KeyInt32(benchmark::State& state)
{
    auto values = Values(TQTYPE_I4);
    unsigned char key[4];
    for (auto _ : state) {
        for (int i = 0; i < kBatch; ++i) {
            benchmark::DoNotOptimize(CConvertKey::nConvertKeyAndGetSize(&values[static_cast<std::size_t>(i)], key,
                                                                        sizeof(key), 0, kCacheOptions, 0, 0));
            benchmark::ClobberMemory();
        }
    }
    Done(state);
}

// The encoder alone, on the raw integers.
void BM_KeyInt32_Encoder(benchmark::State& state)
{
    const std::vector<std::uint32_t> words = RandomWords();
    unsigned char key[4];
    for (auto _ : state) {
        for (int i = 0; i < kBatch; ++i) {
            benchmark::DoNotOptimize(CKXConvertKey::__nConvertKey(key, sizeof(key), &words[static_cast<std::size_t>(i)],
                                                                  4, KXIT_I4, kCacheOptions, 0, 0, 0, 0));
            benchmark::ClobberMemory();
        }
    }
    Done(state);
}

void BM_KeyInt32_ByteSwap(benchmark::State& state)
{
    const std::vector<std::uint32_t> words = RandomWords();
    unsigned char key[4];
    for (auto _ : state) {
        for (int i = 0; i < kBatch; ++i) {
            const std::uint32_t w = __builtin_bswap32(words[static_cast<std::size_t>(i)] ^ 0x80000000u);
            std::memcpy(key, &w, sizeof(w));
            benchmark::ClobberMemory();
        }
    }
    Done(state);
}

void BM_KeyInt64(benchmark::State& state)
{
    auto values = Values(TQTYPE_I8);
    unsigned char key[8];
    for (auto _ : state) {
        for (int i = 0; i < kBatch; ++i) {
            benchmark::DoNotOptimize(CConvertKey::nConvertKeyAndGetSize(&values[static_cast<std::size_t>(i)], key,
                                                                        sizeof(key), 0, kCacheOptions, 0, 0));
            benchmark::ClobberMemory();
        }
    }
    Done(state);
}

void BM_KeyInt64_ByteSwap(benchmark::State& state)
{
    const std::vector<std::uint32_t> words = RandomWords();
    unsigned char key[8];
    for (auto _ : state) {
        for (int i = 0; i < kBatch; ++i) {
            const std::uint64_t ll = (static_cast<std::uint64_t>(words[static_cast<std::size_t>(i)]) << 32) | words[0];
            const std::uint64_t w = __builtin_bswap64(ll ^ 0x8000000000000000ull);
            std::memcpy(key, &w, sizeof(w));
            benchmark::ClobberMemory();
        }
    }
    Done(state);
}

// ---- Texts -------------------------------------------------------------------------------

void BM_KeyText8(benchmark::State& state)
{
    auto values = Values(TQTYPE_DSTRA);
    unsigned char key[26];  // 24 characters, terminator, + 1
    for (auto _ : state) {
        for (int i = 0; i < kBatch; ++i) {
            benchmark::DoNotOptimize(CConvertKey::nConvertKeyAndGetSize(&values[static_cast<std::size_t>(i)], key,
                                                                        sizeof(key), 0, kCacheOptions, 0, 0));
            benchmark::ClobberMemory();
        }
    }
    Done(state);
}

void BM_KeyText8_Memcpy(benchmark::State& state)
{
    const std::vector<std::string> texts = RandomTexts();
    unsigned char key[26];
    for (auto _ : state) {
        for (int i = 0; i < kBatch; ++i) {
            const std::string& s = texts[static_cast<std::size_t>(i)];
            std::memcpy(key, s.c_str(), s.size() + 1);
            std::memset(key + s.size() + 1, 0, sizeof(key) - s.size() - 1);
            benchmark::ClobberMemory();
        }
    }
    Done(state);
}

// Wide texts with the sort-weight table and without options.
void BM_KeyTextWide(benchmark::State& state)
{
    auto values = Values(TQTYPE_DSTRW);
    const unsigned short nOption = static_cast<unsigned short>(state.range(0));
    unsigned char key[(24 * 4 + 4) * 2 + 2];
    for (auto _ : state) {
        for (int i = 0; i < kBatch; ++i) {
            benchmark::DoNotOptimize(CConvertKey::nConvertKeyAndGetSize(&values[static_cast<std::size_t>(i)], key,
                                                                        sizeof(key), 0, nOption, 0, 0));
            benchmark::ClobberMemory();
        }
    }
    Done(state);
}

void BM_KeyTextWide_Memcpy(benchmark::State& state)
{
    const std::vector<std::string> texts = RandomTexts();
    std::vector<std::wstring> wide;
    for (const auto& s : texts)
        wide.emplace_back(s.begin(), s.end());
    unsigned char key[(24 * 4 + 4) * 2 + 2];
    for (auto _ : state) {
        for (int i = 0; i < kBatch; ++i) {
            const std::wstring& s = wide[static_cast<std::size_t>(i)];
            const std::size_t n = (s.size() + 1) * sizeof(wchar_t);
            std::memcpy(key, s.c_str(), n);
            std::memset(key + n, 0, sizeof(key) - n);
            benchmark::ClobberMemory();
        }
    }
    Done(state);
}

}  // namespace

BENCHMARK(BM_KeyInt32);
BENCHMARK(BM_KeyInt32_Encoder);
BENCHMARK(BM_KeyInt32_ByteSwap);
BENCHMARK(BM_KeyInt64);
BENCHMARK(BM_KeyInt64_ByteSwap);
BENCHMARK(BM_KeyText8);
BENCHMARK(BM_KeyText8_Memcpy);
BENCHMARK(BM_KeyTextWide)->Arg(0)->Arg(KXOPT_WEIGHTS);
BENCHMARK(BM_KeyTextWide_Memcpy);
