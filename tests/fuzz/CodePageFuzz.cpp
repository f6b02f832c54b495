// The code-page converters with random pages and short output buffers:
// counts never above the room given, allocating forms terminated.
#include "common/text/CodePage.h"
#include "tests/fuzz/FuzzCheck.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

const unsigned kPages[] = {0, 1252, 65001, 1250, 1251, 1253, 1254, 1255, 1256, 1257, 1258,
                           874, 932, 936, 949, 950, 437, 850, 20127, 28591, 28605, 12345, 0xFFFFFFFFu};

unsigned Page(FuzzedDataProvider& in)
{
    if (in.ConsumeBool())
        return in.ConsumeIntegral<unsigned>();
    return kPages[in.ConsumeIntegralInRange<size_t>(0, sizeof(kPages) / sizeof(kPages[0]) - 1)];
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzBindHost();
    FuzzedDataProvider in(data, size);
    const unsigned nFrom = Page(in);
    const unsigned nTo = Page(in);
    const unsigned nFlags = in.ConsumeBool() ? 8u : 0u;
    // Size 0 asks for the size needed: the short buffers have 1 to 48.
    const int nRoom = in.ConsumeIntegralInRange<int>(1, 48);
    const std::string s = in.ConsumeRemainingBytesAsString();
    const int nLen = static_cast<int>(s.size());

    // 8-bit to wide: the needed size, then a short buffer.
    const int nNeeded = MultiByteToWideChar(nFrom, nFlags, s.data(), nLen, nullptr, 0);
    FUZZ_CHECK(nNeeded >= 0);
    std::vector<wchar_t> w(static_cast<size_t>(nRoom) + 1, 0);
    const int nWide = MultiByteToWideChar(nFrom, nFlags, s.data(), nLen, w.data(), nRoom);
    FUZZ_CHECK(nWide >= 0 && nWide <= nRoom);
    MultiByteToWideChar(nFrom, nFlags, s.c_str(), -1, w.data(), nRoom);

    // Wide to 8-bit from what the full conversion gives.
    std::vector<wchar_t> all(static_cast<size_t>(nNeeded) + 1, 0);
    const int nAll = nNeeded > 0 ? MultiByteToWideChar(nFrom, nFlags, s.data(), nLen, all.data(), nNeeded) : 0;
    FUZZ_CHECK(nAll >= 0 && nAll <= nNeeded);
    std::vector<char> b(static_cast<size_t>(nRoom) + 1, 0);
    int nDefault = 0;
    const int nBytes = WideCharToMultiByte(nTo, 0, all.data(), nAll, b.data(), nRoom, nullptr, &nDefault);
    FUZZ_CHECK(nBytes >= 0 && nBytes <= nRoom);
    WideCharToMultiByte(nTo, 0, all.data(), nAll, nullptr, 0, "?", nullptr);
    const int nCross = MultiByteToMultiByte(nFrom, s.data(), nLen, nTo, b.data(), nRoom, nFlags);
    FUZZ_CHECK(nCross >= 0 && nCross <= nRoom);

    // Allocating forms: terminated results of the stated count.
    wchar_t* pw = nullptr;
    int nw = 0;
    if (__STR_CharToWChar(s.data(), nLen, nFrom, &pw, &nw, nFlags)) {
        FUZZ_CHECK(pw != nullptr && pw[nw] == 0);
        char* pa = nullptr;
        int na = 0;
        if (__STR_WCharToChar(pw, nw, &pa, &na, nTo))
            FUZZ_CHECK(pa != nullptr && pa[na] == 0);
        std::free(pa);
    } else {
        FUZZ_CHECK(pw == nullptr && nw == 0);
    }
    std::free(pw);
    char* pc = nullptr;
    int nc = 0;
    if (STR_CharToChar_AnyCodepage(s.data(), nLen, nFrom, &pc, &nc, nTo))
        FUZZ_CHECK(pc != nullptr && pc[nc] == 0);
    std::free(pc);
    return 0;
}
