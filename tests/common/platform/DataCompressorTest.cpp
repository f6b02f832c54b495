#include "common/platform/DataCompressor.h"
#include "common/platform/ResAnsi32.h"
#include "common/platform/ResCharsets.h"

#include <gtest/gtest.h>

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

}  // namespace

TEST(DataCompressor, CodeTables)
{
    for (int cs = 0; cs < 4; ++cs)
        for (int i = 1; i < tabCharsetSize[cs]; ++i)
            EXPECT_LT(tabCharsets[cs][i - 1], tabCharsets[cs][i]) << "charset " << cs << " entry " << i;
    EXPECT_EQ(tabCharsetSize[3], 30);

    for (int cs = 0; cs < 4; ++cs) {
        EXPECT_EQ(CDataCompressor::_nGetCharsetSwitch(cs), cs + 4);
        for (int i = 0; i < tabCharsetSize[cs]; ++i)
            EXPECT_EQ(CDataCompressor::_nGetValue(tabCharsets[cs][i], cs), i + 8);
    }
    EXPECT_EQ(CDataCompressor::_nGetCharsetSwitch(4), 8);
    EXPECT_EQ(CDataCompressor::_nGetCharsetSwitch(-1), 8);
    EXPECT_EQ(CDataCompressor::_nGetValue('A', 0), -1);
    EXPECT_EQ(CDataCompressor::_nGetValue('a', 4), -1);
    // The unused places of the fourth table are not symbols.
    EXPECT_EQ(CDataCompressor::_nGetValue(0xFF, 3), -1);
    const int charsetOf[9] = {0, 1, 2, 3, 0, 1, 2, 3, -1};
    for (int s = 0; s < 9; ++s)
        EXPECT_EQ(CDataCompressor::_nGetCharset(s), charsetOf[s]) << s;
    EXPECT_EQ(CDataCompressor::_nGetCharset(-1), -1);
}

TEST(DataCompressor, SymbolsShiftsAndCharsets)
{
    Result r = Unpack(Pair(Sym(0, 'a'), Sym(0, 'b'), Sym(0, 'c')));
    EXPECT_EQ(r.nRes, 0);
    EXPECT_EQ(r.nCount, 3);
    EXPECT_EQ(r.text, "abc");

    // A one-shot shift serves one character; a set stays.
    r = Unpack(Cat({Pair(1, Sym(1, 'H'), Sym(0, 'i')), Pair(5, Sym(1, 'O'), Sym(1, 'K'))}));
    EXPECT_EQ(r.nRes, 0);
    EXPECT_EQ(r.text, "HiOK");
    r = Unpack(Cat({Pair(6, Sym(2, '4'), Sym(2, '2')), Pair(4, Sym(0, 'x'), 0)}));
    EXPECT_EQ(r.text, "42x");

    // A shift symbol cancelled by a set.
    r = Unpack(Pair(2, 4, Sym(0, 'q')));
    EXPECT_EQ(r.text, "q");

    // Charset 3 below its escapes, and a shift away from it over 38 and 39.
    r = Unpack(Cat({Pair(7, 8, 37), Pair(0, 38, 0), Pair(39, 4, 4)}));
    EXPECT_EQ(r.nRes, 0);
    EXPECT_EQ(r.text, std::string({char(tabCharset4[0]), char(tabCharset4[29]),
                                   char(tabCharset1[30]), char(tabCharset1[31])}));

    // A lone last byte carries one symbol.
    r = Unpack(Cat({Pair(Sym(0, 'o'), Sym(0, 'n'), Sym(0, 'l')), Bytes{static_cast<unsigned char>(Sym(0, 'y') + 1)}}));
    EXPECT_EQ(r.nRes, 0);
    EXPECT_EQ(r.text, "only");

    r = Unpack(Bytes{});
    EXPECT_EQ(r.nRes, 0);
    EXPECT_EQ(r.nCount, 0);
    EXPECT_EQ(r.text, "");
}

TEST(DataCompressor, Escapes)
{
    // 38: one raw byte after the pair, the rest of the pair dropped.
    Result r = Unpack(Cat({Pair(7, 38, Sym(3, 0xA9)), Bytes{0x01}, Pair(4, Sym(0, 'a'), Sym(0, 'b'))}));
    EXPECT_EQ(r.nRes, 0);
    EXPECT_EQ(r.text, std::string("\x01" "ab"));

    // 39: a count and that many raw bytes; a lone byte then in charset 3.
    r = Unpack(Cat({Pair(7, 39, 0), Bytes{3, '^', 0x7F, 'Z'}, Bytes{static_cast<unsigned char>(9)}}));
    EXPECT_EQ(r.nRes, 0);
    EXPECT_EQ(r.nCount, 4);
    EXPECT_EQ(r.text, std::string("^\x7FZ") + char(tabCharset4[0]));

    // An escape under a one-shot shift to charset 3 uses the shift up.
    r = Unpack(Cat({Pair(3, 38, 0), Bytes{'!'}, Pair(Sym(0, 'z'), 0, Sym(0, 'a'))}));
    EXPECT_EQ(r.nRes, 0);
    EXPECT_EQ(r.text, "!za");

    // The input ends inside an escape.
    EXPECT_EQ(Unpack(Pair(7, 38, 0)).nRes, 5);
    EXPECT_EQ(Unpack(Pair(7, 39, 0)).nRes, 5);
    EXPECT_EQ(Unpack(Cat({Pair(7, 39, 0), Bytes{3, 'a', 'b'}})).nRes, 5);
    r = Unpack(Cat({Pair(Sym(0, 'o'), Sym(0, 'k'), 7), Pair(39, 0, 0), Bytes{5, 'a'}}));
    EXPECT_EQ(r.nRes, 5);
    EXPECT_EQ(r.text.substr(0, 2), "ok");
}

TEST(DataCompressor, CorruptInput)
{
    // A zero byte in a pair.
    EXPECT_EQ(Unpack(Bytes{0x00, 0x05}).nRes, 4);
    EXPECT_EQ(Unpack(Cat({Pair(8, 8, 8), Bytes{0x05, 0x00}})).nRes, 4);
    EXPECT_EQ(Unpack(Bytes{0x00}).nRes, 4);

    // Symbols beyond the tables: a pair above 39,39,39 and a lone byte
    // above 40, in charset 0 and in charset 3.
    EXPECT_EQ(Unpack(Bytes{0xFF, 0xFF}).nRes, 4);
    EXPECT_EQ(Unpack(Cat({Pair(7, 7, 7), Bytes{0xFF, 0xFF}})).nRes, 4);
    EXPECT_EQ(Unpack(Bytes{41}).nRes, 4);
    EXPECT_EQ(Unpack(Cat({Pair(7, 7, 7), Bytes{41}})).nRes, 4);

    // A lone last byte cannot open an escape: nothing follows it.
    EXPECT_EQ(Unpack(Cat({Pair(7, 7, 7), Bytes{39}})).nRes, 5);
    EXPECT_EQ(Unpack(Cat({Pair(7, 7, 7), Bytes{40}})).nRes, 5);
    // ... but the same byte in charset 0 is a character.
    Result r = Unpack(Bytes{40});
    EXPECT_EQ(r.nRes, 0);
    EXPECT_EQ(r.text, std::string(1, char(tabCharset1[31])));
}

TEST(DataCompressor, Capacity)
{
    const Bytes in = Cat({Pair(Sym(0, 'a'), Sym(0, 'b'), Sym(0, 'c')), Pair(Sym(0, 'd'), Sym(0, 'e'), Sym(0, 'f'))});
    Result r = Unpack(in, 4);
    EXPECT_EQ(r.nRes, 2);
    EXPECT_EQ(r.nCount, 6);
    EXPECT_EQ(r.text, "abc");
    r = Unpack(in, 6);
    EXPECT_EQ(r.nRes, 2);
    EXPECT_EQ(r.text, "abcde");
    r = Unpack(in, 7);
    EXPECT_EQ(r.nRes, 0);
    EXPECT_EQ(r.text, "abcdef");

    // No room at all: nothing is written, the count is still given.
    unsigned char by = 0xEE;
    int cb = 0;
    CDataCompressor dc;
    EXPECT_EQ(dc.nDeCompress(&by, &cb, in.data(), static_cast<int>(in.size())), 2);
    EXPECT_EQ(cb, 6);
    EXPECT_EQ(by, 0xEE);
}

TEST(DataCompressor, WideTexts)
{
    // UTF-8 "é" (C3 A9) from charset 3.
    const Bytes utf8 = Pair(7, Sym(3, 0xC3), Sym(3, 0xA9));
    STRessourceModule st = {1, 0, utf8.data(), static_cast<uint32_t>(utf8.size()), RESCLASS_UTF8, 0};
    wchar_t buf[8];
    std::fill(buf, buf + 8, L'#');
    int cch = 8;
    EXPECT_EQ(CDataCompressor::s_nDeCompress(buf, &cch, st), 0);
    EXPECT_EQ(cch, 2);   // bytes unpacked
    EXPECT_EQ(std::wstring(buf), L"\u00E9");

    cch = 1;
    buf[0] = L'#';
    EXPECT_EQ(CDataCompressor::s_nDeCompress(buf, &cch, st), 2);
    EXPECT_EQ(buf[0], L'\0');

    wchar_t* psz = CDataCompressor::s_pszDeCompress(st);
    ASSERT_NE(psz, nullptr);
    EXPECT_EQ(std::wstring(psz), L"\u00E9");
    std::free(psz);

    // UTF-16 "A" as raw bytes 41 00.
    const Bytes utf16 = Cat({Pair(7, 39, 0), Bytes{2, 0x41, 0x00}});
    st = {2, 0, utf16.data(), static_cast<uint32_t>(utf16.size()), RESCLASS_UTF16, 0};
    cch = 8;
    EXPECT_EQ(CDataCompressor::s_nDeCompress(buf, &cch, st), 0);
    EXPECT_EQ(std::wstring(buf), L"A");
    // An odd number of UTF-16 bytes is not a text.
    const Bytes odd = Cat({Pair(7, 39, 0), Bytes{3, 0x41, 0x00, 0x42}});
    st = {2, 0, odd.data(), static_cast<uint32_t>(odd.size()), RESCLASS_UTF16, 0};
    cch = 8;
    EXPECT_EQ(CDataCompressor::s_nDeCompress(buf, &cch, st), 4);
    EXPECT_EQ(buf[0], L'\0');

    // Unknown class; corrupt input gives no text.
    st = {3, 0, utf8.data(), static_cast<uint32_t>(utf8.size()), 3, 0};
    cch = 8;
    EXPECT_EQ(CDataCompressor::s_nDeCompress(buf, &cch, st), 4);
    const Bytes bad = {0x05, 0x00};
    st = {4, 0, bad.data(), 2, RESCLASS_UTF8, 0};
    cch = 8;
    EXPECT_EQ(CDataCompressor::s_nDeCompress(buf, &cch, st), 4);
    EXPECT_EQ(buf[0], L'\0');
    EXPECT_EQ(CDataCompressor::s_pszDeCompress(st), nullptr);
}
