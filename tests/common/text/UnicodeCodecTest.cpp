#include "common/text/UnicodeCodec.h"

#include "tests/support/TestHost.h"

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

typedef std::vector<unsigned char> B;
typedef std::vector<unsigned short> U16;

// A heap copy of exactly these bytes: the address sanitizer catches any read
// past them.
std::unique_ptr<char[]> Exact(std::initializer_list<unsigned> bytes)
{
    std::unique_ptr<char[]> p(new char[bytes.size()]);
    std::size_t i = 0;
    for (unsigned b : bytes)
        p[i++] = static_cast<char>(b);
    return p;
}

// Output buffer prefilled with 0x55 so that writes beyond a limit show.
struct COut {
    char b[16];
    COut() { std::memset(b, 0x55, sizeof b); }
    B First(std::size_t n) const { return B(b, b + n); }
};

// Characters by the definition: bytes that are not continuation bytes.
int CountByBytes(const unsigned char* p, std::size_t n)
{
    int c = 0;
    for (std::size_t i = 0; i < n && p[i] != 0; ++i)
        c += (p[i] & 0xC0) != 0x80;
    return c;
}

}  // namespace

TEST(UnicodeCodec, LeadByteRules)
{
    // lead, table length, second rule
    const unsigned cases[][3] = {{0x7F, 1, 1}, {0x80, 0, 2}, {0xBF, 0, 2}, {0xC0, 2, 2}, {0xE0, 3, 3},
                                 {0xF0, 4, 4}, {0xF8, 5, 5}, {0xFC, 6, 6}, {0xFE, 6, 1}, {0xFF, 6, 1}};
    for (const auto& c : cases) {
        EXPECT_EQ(TabUTF8len[c[0] >> 2], c[1]) << std::hex << c[0];
        EXPECT_EQ(STR_nGetNbByteUTF8(static_cast<unsigned char>(c[0])), int(c[2])) << std::hex << c[0];
    }
}

TEST(UnicodeCodec, WalkAndDecodeStopAtTheTerminator)
{
    auto broken = Exact({0xC3, 0x28, 0x00});
    EXPECT_EQ(UTF8next(broken.get()), broken.get() + 1);
    // A stray continuation byte takes at most five more with it.
    EXPECT_EQ(UTF8Len(Exact({0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x00}).get()), 6);
    // Truncated before the terminator, the buffer ending there: stops on it.
    auto cut = Exact({0xE2, 0x82, 0x00});
    EXPECT_EQ(UTF8next(cut.get()), cut.get() + 2);
    const char* p = cut.get();
    EXPECT_EQ(UTF8_GetNext(&p), unsigned('?'));
    EXPECT_EQ(p, cut.get() + 2);
    // Bounded: a sequence cut by the bound leaves the pointer where it was.
    auto bounded = Exact({0xF0, 0x9F, 0x98, 0x80});
    p = bounded.get();
    unsigned left = 3;
    EXPECT_EQ(UTF8_GetNext(&p, &left), unsigned('?'));
    EXPECT_EQ(left, 0u);
    EXPECT_EQ(p, bounded.get());
    left = 4;
    EXPECT_EQ(UTF8_GetNext(&p, &left), 0x1F600u);
}

TEST(UnicodeCodec, StrictFirstCharacterAndValidation)
{
    auto euro = Exact({0xE2, 0x82, 0xAC});
    int len = 2;
    EXPECT_EQ(UTF8FirstChar(euro.get(), len), -1);
    EXPECT_EQ(len, 0);
    len = 3;
    EXPECT_EQ(UTF8FirstChar(euro.get(), len), 0x20AC);
    EXPECT_EQ(len, 3);

    EXPECT_TRUE(UTF8Valide("h\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80", -1));
    EXPECT_TRUE(UTF8Valide("\xC0\x80\xED\xA0\x80", 5));  // overlong, surrogate
    EXPECT_TRUE(UTF8Valide(Exact({'a', 0x00, 0xFF}).get(), 3));
    // Truncated at the end of the buffer and before a terminator.
    EXPECT_FALSE(UTF8Valide(Exact({'a', 0xE2, 0x82}).get(), 3));
    EXPECT_FALSE(UTF8Valide(Exact({'a', 0xE2, 0x82, 0x00}).get(), -1));
}

TEST(UnicodeCodec, CountingMatchesBytewiseCount)
{
    const unsigned char pattern[] = {0x41, 0x80, 0xBF, 0xC3, 0xA9, 0x01, 0xFF, 0x7F,
                                     0xC0, 0x80, 0x80, 0xE2, 0x82, 0xAC, 0x81, 0x40};
    for (std::size_t off = 0; off < 8; ++off) {
        for (std::size_t len = 0; len <= 12; ++len) {
            // The text at an offset from an aligned block, then its terminator.
            std::unique_ptr<unsigned char[]> buf(new unsigned char[off + len + 1]);
            std::memset(buf.get(), 'x', off);
            for (std::size_t i = 0; i < len; ++i)
                buf[off + i] = pattern[(i + off) % sizeof pattern];
            buf[off + len] = 0;
            const unsigned char* s = buf.get() + off;
            const char* cs = reinterpret_cast<const char*>(s);
            EXPECT_EQ(StrLenUTF8(cs), CountByBytes(s, len)) << off << " " << len;
            for (std::size_t n = 0; n <= len + 1; ++n)
                EXPECT_EQ(StrNLenUTF8(cs, int(n)), CountByBytes(s, n)) << off << " " << len << " " << n;
        }
    }
}

TEST(UnicodeCodec, EncodeAndSizeLimits)
{
    const wchar_t wide[] = {0x7F, 0x80, 0x7FF, 0x800, 0xFFFF, 0x10000, 0x10FFFF, 0x110000,
                            static_cast<wchar_t>(0xFFFFFFFFu), 0};
    const B expected = {0x7F, 0xC2, 0x80, 0xDF, 0xBF, 0xE0, 0xA0, 0x80, 0xEF, 0xBF, 0xBF, 0xF0,
                        0x90, 0x80, 0x80, 0xF4, 0x8F, 0xBF, 0xBF, '?', '?', 0};
    char out[32];
    WideToUTF8(out, wide);
    EXPECT_EQ(B(out, out + expected.size()), expected);
    EXPECT_EQ(UTF8ByteLen(wide), int(expected.size()) - 1);
    // The sized encoder keeps room for the terminator.
    const wchar_t* text = L"a\u20ACb";
    const std::pair<int, B> sized[] = {{4, {'a', 0, 0x55}}, {5, {'a', 0xE2, 0x82, 0xAC, 0, 0x55}}};
    for (const auto& c : sized) {
        COut o;
        WideToUTF8(o.b, c.first, text);
        EXPECT_EQ(o.First(c.second.size()), c.second) << c.first;
    }
    // The counted encoder adds no terminator of its own.
    COut part;
    EXPECT_EQ(nWideToUTF8(part.b, 3, text, -1), 1);
    EXPECT_EQ(part.First(2), (B{'a', 0x55}));
}

TEST(UnicodeCodec, DecodeIntoWideAndUTF16)
{
    wchar_t out[8];
    std::fill(out, out + 8, L'#');
    UTF8ToWide(out, 0, "abc");
    EXPECT_EQ(out[0], L'#');
    // Truncated at the end of the buffer, and before the terminator.
    EXPECT_EQ(nUTF8ToWide(out, 8, Exact({'a', 0xF0, 0x9F, 0x98}).get(), 4), 2);
    EXPECT_EQ(std::wstring(out, 2), L"a?");
    EXPECT_EQ(nUTF8ToWide(out, 8, Exact({0xE2, 0x00}).get(), -1), 2);
    EXPECT_EQ(std::wstring(out, 2), std::wstring(L"?\0", 2));

    auto emoji = Exact({0xF0, 0x9F, 0x98, 0x80});
    unsigned short u[8];
    std::fill(u, u + 8, 0x5555);
    EXPECT_EQ(UTF8ToUTF16(u, 2, emoji.get(), 4), 0);  // no room for the pair
    EXPECT_EQ(u[0], 0x5555);
    EXPECT_EQ(UTF8ToUTF16(u, 3, emoji.get(), 4), 2);
    EXPECT_EQ(U16(u, u + 3), (U16{0xD83D, 0xDE00, 0x5555}));
    // Beyond Unicode: one '?' unit, not a broken pair.
    auto five = Exact({0xF8, 0x88, 0x80, 0x80, 0x80});
    EXPECT_EQ(UTF8ToUTF16(u, 8, five.get(), 5), 1);
    EXPECT_EQ(u[0], '?');
}

TEST(UnicodeCodec, Utf16StringsAndUnitCopies)
{
    const unsigned short hello[] = {'H', 'e', 'l', 'l', 'o', 0};
    const unsigned short abc[] = {'A', 'B', 'C', 0}, abd[] = {'a', 'b', 'd', 0};
    EXPECT_EQ(utf16nicmp(abc, abd, 3), 'c' - 'd');
    const unsigned short he[] = {'h', 'E', 0}, lo[] = {'L', 'o', 0};
    EXPECT_EQ(utf16niutf16(hello, he, 2), hello);  // at the first unit, exactly n units
    EXPECT_EQ(utf16niutf16(hello, lo, 4), nullptr);
    EXPECT_EQ(utf16niutf16(hello, lo, 5), hello + 3);

    const unsigned short pair[] = {0xD83D, 0xDE00, 0xFFFF, 0};
    wchar_t wide[8];
    std::fill(wide, wide + 8, L'#');
    EXPECT_EQ(UTF16ToWideChar(pair, 3, wide, 2), 2);
    EXPECT_EQ(std::wstring(wide, 3), std::wstring(L"\xD83D\xDE00#", 3));
    const wchar_t emoji[] = {0x1F600, 0x41, 0};
    unsigned short units[4] = {0x5555, 0x5555, 0x5555, 0x5555};
    EXPECT_EQ(WideCharToUTF16(emoji, -1, units, 4), 3);
    EXPECT_EQ(U16(units, units + 4), (U16{0xF600, 0x41, 0, 0x5555}));
}

TEST(UnicodeCodec, UnalignedWideCopies)
{
    const wchar_t text[] = L"h\u00E9\U0001F600";
    // Source and destination offsets: each misalignment on either side.
    for (std::size_t so = 0; so < 4; ++so) {
        const std::size_t dof = (so + 1) % 4;
        alignas(4) unsigned char src[32], dst[40];
        std::memcpy(src + so, text, sizeof text);
        const wchar_t* s = reinterpret_cast<const wchar_t*>(src + so);
        wchar_t* d = reinterpret_cast<wchar_t*>(dst + dof);
        EXPECT_EQ(__UNALIGNED__UNICODE__STRLEN__(s), 3u);
        std::memset(dst, 0x55, sizeof dst);
        EXPECT_EQ(__UNALIGNED__UNICODE__STRCPY__(d, s), d);
        EXPECT_EQ(std::memcmp(dst + dof, text, sizeof text), 0);
        EXPECT_EQ(dst[dof + sizeof text], 0x55);
        // Padded with zero characters up to n, or cut at n.
        std::memset(dst, 0x55, sizeof dst);
        __UNALIGNED__UNICODE__STRNCPY__(d, s, 6);
        unsigned char expected[24] = {};
        std::memcpy(expected, text, 12);
        EXPECT_EQ(std::memcmp(dst + dof, expected, 24), 0);
        EXPECT_EQ(dst[dof + 24], 0x55);
        std::memset(dst, 0x55, sizeof dst);
        __UNALIGNED__UNICODE__STRNCPY__(d, s, 2);
        EXPECT_EQ(dst[dof + 8], 0x55);
    }
}

TEST(UnicodeCodec, BridgesThroughCodePages)
{
    COut a;
    EXPECT_EQ(MultiByteToUTF8(1252, Exact({0x61, 0xE9, 0x62}).get(), 3, a.b, 10, 0), 4);
    EXPECT_EQ(a.First(11), (B{0x61, 0xC3, 0xA9, 0x62, 0, 0, 0, 0, 0, 0, 0x55}));
    COut tight;  // a run that does not fit fails the conversion
    EXPECT_EQ(MultiByteToUTF8(1252, "ab\xE9", 3, tight.b, 3, 0), 0);
    EXPECT_EQ(tight.First(4)[3], 0x55);
    COut d;  // the flag of an early run survives the later runs
    int used = 0;
    EXPECT_EQ(UTF8ToMultiByte(1252, "\xE4\xB8\xAD-\xE2\x82\xAC", -1, d.b, 8, 0, nullptr, &used), 4);
    EXPECT_EQ(d.First(5), (B{'?', '-', 0x80, 0, 0}));
    EXPECT_EQ(used, 1);
    // UTF-8 on both sides: the source buffer ends at srcLen.
    auto src = Exact({'a', 'b', 'c'});
    COut c;
    EXPECT_EQ(UTF8ToMultiByte(65001, src.get(), 3, c.b, 3, 0, nullptr, nullptr), 2);
    EXPECT_EQ(c.First(4), (B{'a', 'b', 0, 0x55}));
    // In Shift-JIS U+8868 is 95 5C: its trail byte is a backslash.
    COut sj;
    EXPECT_EQ(MultiByteToUTF8(932, "a\x95\x5C" "b", 4, sj.b, 6, 0), 5);
    EXPECT_EQ(sj.First(6), (B{'a', 0xE8, 0xA1, 0xA8, 'b', 0}));
    COut back;
    EXPECT_EQ(UTF8ToMultiByte(932, "a\xE8\xA1\xA8" "b", 5, back.b, 5, 0, nullptr, nullptr), 4);
    EXPECT_EQ(back.First(5), (B{'a', 0x95, 0x5C, 'b', 0}));

    const unsigned short han[] = {0x4E2D, 0};
    EXPECT_EQ(UTF16ToMultiByte(1252, 0, han, 1, a.b, 8, "_", &used), 1);
    EXPECT_EQ(a.b[0], '_');
    // A size query whose temporary would not fit on the stack.
    std::vector<unsigned short> big(3000000, 'a');
    big.back() = 0;
    EXPECT_EQ(UTF16ToMultiByte(1252, 0, big.data(), -1, nullptr, 0, nullptr, nullptr), int(big.size()));

    unsigned short w[4] = {};
    TestHost().SetCurrent(65001, 65001, 1036);
    EXPECT_EQ(MultiByteToUTF16_CurrentCharset("\xC3\xA9", 2, w, 4, 0), 1);
    TestHost().SetCurrent(0, 1252, 1036);
    EXPECT_EQ(w[0], 0xE9);
}
