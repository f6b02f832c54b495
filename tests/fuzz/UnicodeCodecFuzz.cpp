// The UTF-8, UTF-16 and UTF-32 codecs on arbitrary bytes and short output
// buffers: no access outside the buffers, counts within their sizes, and a
// wide text survives the way through UTF-8 and back.
#include "common/text/UnicodeCodec.h"
#include "tests/fuzz/FuzzCheck.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider in(data, size);
    const int nSize = in.ConsumeIntegralInRange<int>(0, 64);
    const std::string s = in.ConsumeRemainingBytesAsString();
    const int nLen = static_cast<int>(s.size());

    // Reading UTF-8: the terminated text and its counted prefix.
    UTF8Valide(s.c_str(), -1);
    UTF8Valide(s.data(), nLen);
    FUZZ_CHECK(StrNLenUTF8(s.data(), nLen) <= nLen);
    UTF8ToWideLen(s.c_str());
    int nFirst = nLen;
    UTF8FirstChar(s.data(), nFirst);
    {
        const char* p = s.data();
        unsigned nLeft = static_cast<unsigned>(nLen);
        while (nLeft > 0) {
            const unsigned nAvant = nLeft;
            UTF8_GetNext(&p, &nLeft);
            FUZZ_CHECK(nLeft < nAvant);
        }
    }
    std::vector<wchar_t> w(static_cast<size_t>(nSize) + 1);
    FUZZ_CHECK(nUTF8ToWide(w.data(), nSize, s.data(), nLen) <= nSize);
    UTF8ToWide(w.data(), nSize, s.c_str());
    std::vector<unsigned short> u(static_cast<size_t>(nSize) + 1);
    FUZZ_CHECK(UTF8ToUTF16(u.data(), nSize, s.data(), nLen) <= nSize);
    UTF8ToUTF16Len(s.data(), nLen);

    // Writing: the bytes read as wide characters (any 32-bit value).
    std::vector<wchar_t> wide(s.size() / 4 + 1, 0);
    for (size_t i = 0; i + 4 <= s.size(); i += 4)
        wide[i / 4] = static_cast<wchar_t>(static_cast<uint32_t>(static_cast<uint8_t>(s[i])) |
                                           static_cast<uint32_t>(static_cast<uint8_t>(s[i + 1])) << 8 |
                                           static_cast<uint32_t>(static_cast<uint8_t>(s[i + 2])) << 16 |
                                           static_cast<uint32_t>(static_cast<uint8_t>(s[i + 3])) << 24);
    for (wchar_t& c : wide)
        if (c == 0)
            c = L'0';
    wide.back() = 0;
    const int nWide = static_cast<int>(wide.size()) - 1;
    std::vector<char> b(static_cast<size_t>(nSize) + 1);
    FUZZ_CHECK(nWideToUTF8(b.data(), nSize, wide.data(), nWide) <= nSize);
    WideToUTF8(b.data(), nSize, wide.data());
    std::vector<unsigned short> u2(static_cast<size_t>(nSize) + 1);
    std::vector<wchar_t> w2(static_cast<size_t>(nSize) + 1);
    // Size 0 asks for the count.
    if (nSize > 0) {
        FUZZ_CHECK(WideCharToUTF16(wide.data(), nWide, u2.data(), nSize) <= nSize);
        FUZZ_CHECK(UTF32ToWideChar(wide.data(), nWide, w2.data(), nSize) <= nSize);
    }

    // Characters of the Unicode range come back unchanged through UTF-8.
    std::wstring strUnicode;
    for (int i = 0; i < nWide; ++i) {
        const uint32_t c = static_cast<uint32_t>(wide[static_cast<size_t>(i)]) % 0x110000;
        if (c != 0 && (c < 0xD800 || c > 0xDFFF))
            strUnicode += static_cast<wchar_t>(c);
    }
    const int nBytes = UTF8ByteLen(strUnicode.c_str());
    std::vector<char> utf8(static_cast<size_t>(nBytes) + 1);
    WideToUTF8(utf8.data(), strUnicode.c_str());
    FUZZ_CHECK(UTF8Valide(utf8.data(), nBytes));
    std::vector<wchar_t> back(strUnicode.size() + 1);
    const int nBack = nUTF8ToWide(back.data(), static_cast<int>(back.size()), utf8.data(), nBytes);
    FUZZ_CHECK(nBack == static_cast<int>(strUnicode.size()));
    FUZZ_CHECK(std::wstring(back.data(), static_cast<size_t>(nBack)) == strUnicode);
    return 0;
}
