// Code-page conversions of the text layer beside a direct iconv call on the
// same text, in Windows-1252 and in UTF-8. The iconv descriptors are opened
// once, outside the timed loops.
#include "common/text/CodePage.h"

#include "tests/support/TestHost.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <iconv.h>
#include <string>
#include <vector>

namespace {

// French text with accents, as wide characters (all within Latin-1).
std::wstring WideText(std::size_t nChars)
{
    static const wchar_t kPhrase[] =
        L"\x00C9v\x00E9nement \x00E0 l'h\x00F4tel : caf\x00E9, cr\x00E8me br\x00FBl\x00E9"
        L"e, na\x00EFve fa\x00E7""ade, 1234 clients. ";
    std::wstring s;
    while (s.size() < nChars)
        s += kPhrase;
    s.resize(nChars);
    return s;
}

std::string Encode(const std::wstring& s, unsigned nCodePage)
{
    std::string out;
    for (wchar_t w : s) {
        const unsigned c = static_cast<unsigned>(w);
        if (nCodePage == 1252 || c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

const char* IConvName(unsigned nCodePage) { return nCodePage == 1252 ? "CP1252" : "UTF-8"; }

class CIConv {
public:
    CIConv(const char* pszTo, const char* pszFrom) : m_cd(iconv_open(pszTo, pszFrom)) {}
    ~CIConv()
    {
        if (m_cd != reinterpret_cast<iconv_t>(-1))
            iconv_close(m_cd);
    }
    bool bOk() const { return m_cd != reinterpret_cast<iconv_t>(-1); }
    // Bytes written, or -1.
    long n(const void* pIn, std::size_t nIn, void* pOut, std::size_t nOut)
    {
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        char* in = const_cast<char*>(static_cast<const char*>(pIn));
        char* out = static_cast<char*>(pOut);
        const std::size_t nStart = nOut;
        if (iconv(m_cd, &in, &nIn, &out, &nOut) == static_cast<std::size_t>(-1))
            return -1;
        return static_cast<long>(nStart - nOut);
    }

private:
    iconv_t m_cd;
};

void Prepare(benchmark::State& state, unsigned nCodePage, std::string& bytes, std::wstring& wide)
{
    TimedHost();
    wide = WideText(static_cast<std::size_t>(state.range(0)));
    bytes = Encode(wide, nCodePage);
}

void Done(benchmark::State& state, std::size_t nBytes)
{
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(nBytes));
}

// ---- 8-bit to wide -------------------------------------------------------------------

template <unsigned CP>
void BM_MultiByteToWideChar(benchmark::State& state)
{
    std::string bytes;
    std::wstring wide;
    Prepare(state, CP, bytes, wide);
    std::vector<wchar_t> out(wide.size() + 1);
    for (auto _ : state) {
        const int n = MultiByteToWideChar(CP, 0, bytes.data(), static_cast<int>(bytes.size()), out.data(),
                                          static_cast<int>(out.size()));
        benchmark::DoNotOptimize(n);
        benchmark::ClobberMemory();
    }
    Done(state, bytes.size());
}

template <unsigned CP>
void BM_IConvToWide(benchmark::State& state)
{
    std::string bytes;
    std::wstring wide;
    Prepare(state, CP, bytes, wide);
    std::vector<wchar_t> out(wide.size() + 1);
    CIConv cv("WCHAR_T", IConvName(CP));
    if (!cv.bOk()) {
        state.SkipWithError("iconv_open failed");
        return;
    }
    for (auto _ : state) {
        const long n = cv.n(bytes.data(), bytes.size(), out.data(), out.size() * sizeof(wchar_t));
        benchmark::DoNotOptimize(n);
        benchmark::ClobberMemory();
    }
    Done(state, bytes.size());
}

template <unsigned CP>
void BM_STR_CharToWChar_AnyCodepage(benchmark::State& state)
{
    std::string bytes;
    std::wstring wide;
    Prepare(state, CP, bytes, wide);
    for (auto _ : state) {
        wchar_t* p = nullptr;
        int n = 0;
        STR_CharToWChar_AnyCodepage(bytes.data(), static_cast<int>(bytes.size()), CP, &p, &n, 0);
        benchmark::DoNotOptimize(p);
        std::free(p);
    }
    Done(state, bytes.size());
}

// The same allocating form by hand: iconv into a malloc'ed buffer.
template <unsigned CP>
void BM_IConvToWideAlloc(benchmark::State& state)
{
    std::string bytes;
    std::wstring wide;
    Prepare(state, CP, bytes, wide);
    CIConv cv("WCHAR_T", IConvName(CP));
    if (!cv.bOk()) {
        state.SkipWithError("iconv_open failed");
        return;
    }
    for (auto _ : state) {
        const std::size_t nOut = (bytes.size() + 1) * sizeof(wchar_t);
        wchar_t* p = static_cast<wchar_t*>(std::malloc(nOut));
        const long n = cv.n(bytes.data(), bytes.size(), p, nOut);
        p[n / static_cast<long>(sizeof(wchar_t))] = 0;
        benchmark::DoNotOptimize(p);
        std::free(p);
    }
    Done(state, bytes.size());
}

// ---- Wide to 8-bit -------------------------------------------------------------------

template <unsigned CP>
void BM_WideCharToMultiByte(benchmark::State& state)
{
    std::string bytes;
    std::wstring wide;
    Prepare(state, CP, bytes, wide);
    std::vector<char> out(bytes.size() + 8);
    for (auto _ : state) {
        const int n = WideCharToMultiByte(CP, 0, wide.data(), static_cast<int>(wide.size()), out.data(),
                                          static_cast<int>(out.size()), nullptr, nullptr);
        benchmark::DoNotOptimize(n);
        benchmark::ClobberMemory();
    }
    Done(state, bytes.size());
}

template <unsigned CP>
void BM_IConvFromWide(benchmark::State& state)
{
    std::string bytes;
    std::wstring wide;
    Prepare(state, CP, bytes, wide);
    std::vector<char> out(bytes.size() + 8);
    CIConv cv(IConvName(CP), "WCHAR_T");
    if (!cv.bOk()) {
        state.SkipWithError("iconv_open failed");
        return;
    }
    for (auto _ : state) {
        const long n = cv.n(wide.data(), wide.size() * sizeof(wchar_t), out.data(), out.size());
        benchmark::DoNotOptimize(n);
        benchmark::ClobberMemory();
    }
    Done(state, bytes.size());
}

// A plain copy of the same bytes: the floor of any conversion.
void BM_MemcpyBytes(benchmark::State& state)
{
    std::string bytes;
    std::wstring wide;
    Prepare(state, 1252, bytes, wide);
    std::vector<char> out(bytes.size());
    for (auto _ : state) {
        std::memcpy(out.data(), bytes.data(), bytes.size());
        benchmark::ClobberMemory();
    }
    Done(state, bytes.size());
}

}  // namespace

BENCHMARK(BM_MemcpyBytes)->Arg(64)->Arg(4096);
BENCHMARK_TEMPLATE(BM_MultiByteToWideChar, 1252)->Arg(64)->Arg(4096);
BENCHMARK_TEMPLATE(BM_IConvToWide, 1252)->Arg(64)->Arg(4096);
BENCHMARK_TEMPLATE(BM_MultiByteToWideChar, 65001)->Arg(64)->Arg(4096);
BENCHMARK_TEMPLATE(BM_IConvToWide, 65001)->Arg(64)->Arg(4096);
BENCHMARK_TEMPLATE(BM_STR_CharToWChar_AnyCodepage, 1252)->Arg(64)->Arg(4096);
BENCHMARK_TEMPLATE(BM_IConvToWideAlloc, 1252)->Arg(64)->Arg(4096);
BENCHMARK_TEMPLATE(BM_STR_CharToWChar_AnyCodepage, 65001)->Arg(64)->Arg(4096);
BENCHMARK_TEMPLATE(BM_IConvToWideAlloc, 65001)->Arg(64)->Arg(4096);
BENCHMARK_TEMPLATE(BM_WideCharToMultiByte, 1252)->Arg(64)->Arg(4096);
BENCHMARK_TEMPLATE(BM_IConvFromWide, 1252)->Arg(64)->Arg(4096);
BENCHMARK_TEMPLATE(BM_WideCharToMultiByte, 65001)->Arg(64)->Arg(4096);
BENCHMARK_TEMPLATE(BM_IConvFromWide, 65001)->Arg(64)->Arg(4096);
