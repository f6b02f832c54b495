// The escaping family on arbitrary texts with every switch: outputs within
// the sizes the functions state, and a LIKE value escape undone by the purge.
#include "common/text/Escape.h"
#include "tests/fuzz/FuzzCheck.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

namespace {

// The characters the escapes touch.
const wchar_t kAlphabet[] = L"'\\%_!#\"ab";

template <class C>
void Famille(FuzzedDataProvider& in, const std::string& raw)
{
    const std::basic_string<C> s = FuzzText<C>(raw, kAlphabet, 0x80);
    const size_t n = s.size();
    const C cEscape = static_cast<C>(in.ConsumeBool() ? '\\' : (in.ConsumeBool() ? '!' : '#'));
    const C cQuote = static_cast<C>(in.ConsumeBool() ? '\'' : '\\');
    int ab[8];
    for (int& b : ab)
        b = in.ConsumeBool() ? 1 : 0;

    // Escape: 2 x length + 1 characters.
    std::vector<C> dst(2 * n + 1);
    Escape(s.c_str(), dst.data(), ab[0], ab[1], ab[2], ab[3], ab[4], ab[5], ab[6], ab[7], cQuote, cEscape);
    C* p = pszEscape(s.c_str(), ab[0], ab[1], ab[2], ab[3], ab[4], ab[5], ab[6], ab[7], cQuote, cEscape);
    FUZZ_CHECK(p != nullptr);
    FUZZ_CHECK(std::basic_string<C>(p) == std::basic_string<C>(dst.data()));
    std::free(p);

    // The LIKE value form doubles lone escapes: never shorter, at most twice.
    C* pLike = pszEscape(s.c_str(), cEscape, cQuote);
    FUZZ_CHECK(pLike != nullptr);
    const std::basic_string<C> strLike(pLike);
    FUZZ_CHECK(strLike.size() >= n);
    FUZZ_CHECK(strLike.size() <= 2 * n);
    PurgeEscapeEscape(pLike, cEscape);
    std::free(pLike);

    // ChangeEscape: length + (length / 2) x the longer triple + 1.
    const C aPercent[] = {'%', '%', 0};
    const C aBefore[] = {'[', 0};
    const C aAfter[] = {']', ']', ']', 0};
    const C aUnder[] = {'?', 0};
    std::vector<C> chg(n + (n / 2) * 6 + 1);
    ChangeEscape(s.c_str(), chg.data(), aPercent, aBefore, aAfter, aUnder, nullptr, aBefore, cEscape);
    C* pChg = pszChangeEscape(s.c_str(), aPercent, aBefore, aAfter, aUnder, nullptr, aBefore, cEscape);
    FUZZ_CHECK(pChg != nullptr);
    FUZZ_CHECK(std::basic_string<C>(pChg) == std::basic_string<C>(chg.data()));
    std::free(pChg);

    // In-place purges never lengthen the text.
    std::vector<C> w(s.begin(), s.end());
    w.push_back(0);
    PurgeQuote(w.data(), ab[0]);
    PurgeEscape(w.data(), cEscape);
    PurgeEscapeBackSlash(w.data());
    size_t nAfter = 0;
    while (w[nAfter] != 0)
        ++nAfter;
    FUZZ_CHECK(nAfter <= n);
    C* pVerrue = pszVerrueEscapeMySQL(s.c_str(), static_cast<wchar_t>(cEscape));
    FUZZ_CHECK(pVerrue != nullptr);
    std::free(pVerrue);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzBindHost();
    FuzzedDataProvider in(data, size);
    const std::string raw = in.ConsumeRandomLengthString(512);
    Famille<char>(in, raw);
    Famille<wchar_t>(in, raw);
    return 0;
}
