#include "common/platform/DataCompressor.h"
#include "common/platform/ResAnsi32.h"
#include "common/platform/ResCharsets.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

typedef std::vector<unsigned char> Bytes;

// A pair of packed bytes: three base-40 symbols written in base 255 with
// digits 1..255.
Bytes Pair(int s1, int s2, int s3)
{
    const int v = s1 * 1600 + s2 * 40 + s3;
    return Bytes{static_cast<unsigned char>(v / 255 + 1), static_cast<unsigned char>(v % 255 + 1)};
}

Bytes Cat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& b : parts)
        out.insert(out.end(), b.begin(), b.end());
    return out;
}

// Symbol of a byte in a charset, by a plain scan of the table.
int Sym(int cs, unsigned char by)
{
    for (int i = 0; i < tabCharsetSize[cs]; ++i)
        if (tabCharsets[cs][i] == by)
            return i + 8;
    ADD_FAILURE() << "byte " << int(by) << " not in charset " << cs;
    return 0;
}

struct Result {
    int nRes;
    int nCount;
    std::string text;
};

Result Unpack(const Bytes& in, int cap = 256)
{
    std::vector<unsigned char> out(cap + 8, 0xEE);
    int cb = cap;
    CDataCompressor dc;
    Result r;
    r.nRes = dc.nDeCompress(out.data(), &cb, in.data(), static_cast<int>(in.size()));
    r.nCount = cb;
    for (int i = cap; i < cap + 8; ++i)
        EXPECT_EQ(out[i], 0xEE) << "written past the capacity";
    r.text.assign(reinterpret_cast<const char*>(out.data()));
    return r;
}

std::string Chars(std::initializer_list<unsigned char> b) { return std::string(b.begin(), b.end()); }

}  // namespace

// Sorted tables (the fourth of 30 entries) and the packing side's lookups.
TEST(DataCompressor, CodeTables)
{
    EXPECT_EQ(tabCharsetSize[3], 30);
    for (int cs = 0; cs < 5; ++cs)
        EXPECT_EQ(CDataCompressor::_nGetCharsetSwitch(cs), cs < 4 ? cs + 4 : 8);
    for (int cs = 0; cs < 4; ++cs)
        for (int i = 0; i < tabCharsetSize[cs]; ++i) {
            EXPECT_TRUE(i == 0 || tabCharsets[cs][i - 1] < tabCharsets[cs][i]) << cs << " " << i;
            EXPECT_EQ(CDataCompressor::_nGetValue(tabCharsets[cs][i], cs), i + 8);
        }
    EXPECT_EQ(CDataCompressor::_nGetValue(0xFF, 3), -1);  // beyond the 30 entries
    for (int s = -1; s < 9; ++s)
        EXPECT_EQ(CDataCompressor::_nGetCharset(s), s >= 0 && s < 8 ? s % 4 : -1) << s;
}

TEST(DataCompressor, SymbolsEscapesAndCorruptInput)
{
    const auto S0 = [](char c) { return Sym(0, static_cast<unsigned char>(c)); };
    const struct { const char* what; Bytes in; int res; std::string text; } cases[] = {
        {"charset 0", Pair(S0('a'), S0('b'), S0('c')), 0, "abc"},
        {"a shift serves one character, a set stays",
         Cat({Pair(1, Sym(1, 'H'), S0('i')), Pair(5, Sym(1, 'O'), Sym(1, 'K'))}), 0, "HiOK"},
        {"set back to charset 0", Cat({Pair(6, Sym(2, '4'), Sym(2, '2')), Pair(4, S0('x'), 0)}), 0, "42x"},
        {"a set cancels a shift", Pair(2, 4, S0('q')), 0, "q"},
        {"charset 3 below its escapes, a shift away over 38 and 39",
         Cat({Pair(7, 8, 37), Pair(0, 38, 0), Pair(39, 4, 4)}), 0,
         Chars({tabCharset4[0], tabCharset4[29], tabCharset1[30], tabCharset1[31]})},
        {"a lone last byte carries one symbol",
         Cat({Pair(S0('o'), S0('n'), S0('l')), Bytes{static_cast<unsigned char>(S0('y') + 1)}}), 0, "only"},
        {"38: one raw byte, the rest of the pair dropped",
         Cat({Pair(7, 38, Sym(3, 0xA9)), Bytes{0x01}, Pair(4, S0('a'), S0('b'))}), 0, "\x01" "ab"},
        {"39: a count and raw bytes, a lone byte then in charset 3",
         Cat({Pair(7, 39, 0), Bytes{3, '^', 0x7F, 'Z'}, Bytes{9}}), 0, "^\x7FZ" + Chars({tabCharset4[0]})},
        {"an escape under a shift uses the shift up",
         Cat({Pair(3, 38, 0), Bytes{'!'}, Pair(S0('z'), 0, S0('a'))}), 0, "!za"},
        {"ends inside escape 38", Pair(7, 38, 0), 5, ""},
        {"run longer than the input", Cat({Pair(7, 39, 0), Bytes{3, 'a', 'b'}}), 5, ""},
        {"what came before the bad escape stays", Cat({Pair(S0('o'), S0('k'), 7), Pair(39, 0, 0), Bytes{5, 'a'}}),
         5, "ok"},
        {"zero byte first", Bytes{0x00, 0x05}, 4, ""},     {"pair above 39,39,39", Bytes{0xFF, 0xFF}, 4, ""},
        {"zero byte second", Cat({Pair(8, 8, 8), Bytes{0x05, 0x00}}), 4, std::string(3, char(tabCharset1[0]))},
        {"lone byte above 40", Bytes{41}, 4, ""},          {"empty", Bytes{}, 0, ""},
        // A lone last byte cannot open an escape: nothing follows it.
        {"lone 39 in charset 3", Cat({Pair(7, 7, 7), Bytes{39}}), 5, ""},
        {"lone 40 in charset 0 is a character", Bytes{40}, 0, Chars({tabCharset1[31]})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Result r = Unpack(c.in);
        EXPECT_EQ(r.nRes, c.res);
        if (c.res == 0 || !c.text.empty()) {
            EXPECT_EQ(r.text, c.text);
        }
    }
}

TEST(DataCompressor, Capacity)
{
    const Bytes in = Cat({Pair(Sym(0, 'a'), Sym(0, 'b'), Sym(0, 'c')), Pair(Sym(0, 'd'), Sym(0, 'e'), Sym(0, 'f'))});
    const struct { int cap, res; const char* text; } cases[] = {{4, 2, "abc"}, {6, 2, "abcde"}, {7, 0, "abcdef"}};
    for (const auto& c : cases) {
        const Result r = Unpack(in, c.cap);
        EXPECT_EQ(r.nRes, c.res) << c.cap;
        EXPECT_EQ(r.nCount, 6) << c.cap;
        EXPECT_EQ(r.text, c.text) << c.cap;
    }
    // No room at all: nothing is written, the count is still given.
    unsigned char by = 0xEE;
    int cb = 0;
    EXPECT_EQ(CDataCompressor().nDeCompress(&by, &cb, in.data(), static_cast<int>(in.size())), 2);
    EXPECT_EQ(cb, 6);
    EXPECT_EQ(by, 0xEE);
}

TEST(DataCompressor, WideTexts)
{
    // "status:text" of a wide unpack into cap characters.
    int cch = 0;
    const auto unpack = [&](const Bytes& b, uint32_t cls, int cap = 8) {
        STRessourceModule st = {1, 0, b.data(), static_cast<uint32_t>(b.size()), cls, 0};
        wchar_t buf[8];
        std::fill(buf, buf + 8, L'#');
        cch = cap;
        const int r = CDataCompressor::s_nDeCompress(buf, &cch, st);
        return std::to_wstring(r) + L":" + std::wstring(buf, std::find(buf, buf + 8, 0));
    };
    // UTF-8 "é" (C3 A9) from charset 3; the count is of unpacked bytes.
    const Bytes utf8 = Pair(7, Sym(3, 0xC3), Sym(3, 0xA9)), bad = {0x05, 0x00};
    EXPECT_EQ(unpack(utf8, RESCLASS_UTF8), L"0:\u00E9");
    EXPECT_EQ(cch, 2);
    EXPECT_EQ(unpack(utf8, RESCLASS_UTF8, 1), L"2:");
    // UTF-16 "A" as raw bytes 41 00; an odd byte count is not a text.
    EXPECT_EQ(unpack(Cat({Pair(7, 39, 0), Bytes{2, 0x41, 0x00}}), RESCLASS_UTF16), L"0:A");
    EXPECT_EQ(unpack(Cat({Pair(7, 39, 0), Bytes{3, 0x41, 0x00, 0x42}}), RESCLASS_UTF16), L"4:");
    // Unknown class; corrupt input gives no text.
    EXPECT_EQ(unpack(utf8, 3), L"4:");
    EXPECT_EQ(unpack(bad, RESCLASS_UTF8), L"4:");

    // The allocating form.
    STRessourceModule st = {1, 0, utf8.data(), static_cast<uint32_t>(utf8.size()), RESCLASS_UTF8, 0};
    wchar_t* psz = CDataCompressor::s_pszDeCompress(st);
    EXPECT_EQ(std::wstring(psz != nullptr ? psz : L"<null>"), L"\u00E9");
    std::free(psz);
    st = {4, 0, bad.data(), 2, RESCLASS_UTF8, 0};
    EXPECT_EQ(CDataCompressor::s_pszDeCompress(st), nullptr);
}
