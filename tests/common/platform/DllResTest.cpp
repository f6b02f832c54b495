#include "common/platform/DllRes.h"
#include "common/platform/MyModuleInfo.h"
#include "common/platform/ResAnsi32.h"
#include "common/text/Tstring.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <vector>

// The catalogue, found from this file's place in the tree.
#define ZT_MESSAGES_TSV (std::string(__FILE__).substr(0, std::string(__FILE__).rfind("tests/")) + \
                         "common/platform/Messages.tsv")

namespace {

struct Message {
    unsigned nId;
    std::string kinds;   // empty for none
    std::wstring text;
};

// UTF-8 to UTF-32, enough for the catalogue.
std::wstring FromUtf8(const std::string& s)
{
    std::wstring out;
    for (size_t i = 0; i < s.size();) {
        const unsigned char c = s[i];
        int n = c < 0x80 ? 0 : c < 0xE0 ? 1 : c < 0xF0 ? 2 : 3;
        wchar_t w = n == 0 ? c : n == 1 ? (c & 0x1F) : n == 2 ? (c & 0x0F) : (c & 0x07);
        for (int k = 1; k <= n && i + k < s.size(); ++k)
            w = (w << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
        out += w;
        i += n + 1;
    }
    return out;
}

std::vector<Message> ReadCatalogue()
{
    std::vector<Message> out;
    std::ifstream in(ZT_MESSAGES_TSV);
    EXPECT_TRUE(in.good()) << ZT_MESSAGES_TSV;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        const size_t t1 = line.find('\t');
        const size_t t2 = line.find('\t', t1 + 1);
        Message m;
        m.nId = static_cast<unsigned>(std::stoul(line.substr(0, t1)));
        m.kinds = line.substr(t1 + 1, t2 - t1 - 1);
        if (m.kinds == "-")
            m.kinds.clear();
        std::string text;
        const std::string raw = line.substr(t2 + 1);
        for (size_t i = 0; i < raw.size(); ++i) {
            if (raw[i] != '\\' || i + 1 == raw.size()) {
                text += raw[i];
                continue;
            }
            const char c = raw[++i];
            text += c == 'n' ? '\n' : c == 'r' ? '\r' : c == 't' ? '\t' : c;
        }
        m.text = FromUtf8(text);
        out.push_back(m);
    }
    return out;
}

const std::vector<Message>& Catalogue()
{
    static const std::vector<Message> s = ReadCatalogue();
    return s;
}

const Message* Find(unsigned nId)
{
    for (const Message& m : Catalogue())
        if (m.nId == nId)
            return &m;
    return nullptr;
}

// Sample arguments: the i-th argument of a message, as its kind formats it.
const wchar_t* const kWide[] = {L"alpha", L"B\u00E9ta", L"gamma", L"delta", L"epsilon"};
const char* const kNarrow[] = {"one", "two", "three", "four", "five"};
const int kInt[] = {-7, 42, 0, 65001, -2147483647};
const unsigned kUnsigned[] = {4000000000u, 0u, 2006u, 32u, 65535u};

std::wstring SampleText(char kind, int i)
{
    switch (kind) {
    case 's': return kWide[i];
    case 'S': return FromUtf8(kNarrow[i]);
    case 'd': return std::to_wstring(kInt[i]);
    default: return std::to_wstring(kUnsigned[i]);
    }
}

// What a text must become with the sample arguments: each directive of the
// catalogue's plain forms replaced in order, "%%" kept as one '%'.
std::wstring Expected(const Message& m, std::string* pKinds)
{
    std::wstring out;
    pKinds->clear();
    for (size_t i = 0; i < m.text.size(); ++i) {
        if (m.text[i] != L'%') {
            out += m.text[i];
            continue;
        }
        const wchar_t c = i + 1 < m.text.size() ? m.text[++i] : 0;
        char kind = 0;
        if (c == L'%')
            out += L'%';
        else if (c == L's')
            kind = 's';
        else if (c == L'S' || (c == L'h' && i + 1 < m.text.size() && m.text[++i] == L's'))
            kind = 'S';
        else if (c == L'd' || c == L'i')
            kind = 'd';
        else if (c == L'u')
            kind = 'u';
        else
            ADD_FAILURE() << "message " << m.nId << ": directive outside the catalogue's forms";
        if (kind != 0) {
            out += SampleText(kind, static_cast<int>(pKinds->size()));
            *pKinds += kind;
        }
    }
    return out;
}

// Formats message nId with the sample arguments of its kinds.
bool Format(unsigned nId, const std::string& k, CTString* out)
{
    const _stMyModuleInfo* p = &gstMyModuleInfo32;
    const wchar_t* const* w = kWide;
    const int* d = kInt;
    const unsigned* u = kUnsigned;
    if (k.empty()) return DLLRES_bFormatMessage(p, nId, out);
    if (k == "s") return DLLRES_bFormatMessage(p, nId, out, w[0]);
    if (k == "ss") return DLLRES_bFormatMessage(p, nId, out, w[0], w[1]);
    if (k == "sss") return DLLRES_bFormatMessage(p, nId, out, w[0], w[1], w[2]);
    if (k == "su") return DLLRES_bFormatMessage(p, nId, out, w[0], u[1]);
    if (k == "ssu") return DLLRES_bFormatMessage(p, nId, out, w[0], w[1], u[2]);
    if (k == "suu") return DLLRES_bFormatMessage(p, nId, out, w[0], u[1], u[2]);
    if (k == "ssuu") return DLLRES_bFormatMessage(p, nId, out, w[0], w[1], u[2], u[3]);
    if (k == "us") return DLLRES_bFormatMessage(p, nId, out, u[0], w[1]);
    if (k == "uus") return DLLRES_bFormatMessage(p, nId, out, u[0], u[1], w[2]);
    if (k == "u") return DLLRES_bFormatMessage(p, nId, out, u[0]);
    if (k == "d") return DLLRES_bFormatMessage(p, nId, out, d[0]);
    if (k == "dd") return DLLRES_bFormatMessage(p, nId, out, d[0], d[1]);
    if (k == "dds") return DLLRES_bFormatMessage(p, nId, out, d[0], d[1], w[2]);
    if (k == "sdsss") return DLLRES_bFormatMessage(p, nId, out, w[0], d[1], w[2], w[3], w[4]);
    if (k == "sudds") return DLLRES_bFormatMessage(p, nId, out, w[0], u[1], d[2], d[3], w[4]);
    ADD_FAILURE() << "message " << nId << ": no test call for kinds " << k;
    return false;
}

// Sets the host's message loader for one scope.
class CHostLoader {
public:
    explicit CHostLoader(PFN_LOADSTRINGZTM pfn) { gpfnLoadStringZTM = pfn; }
    ~CHostLoader() { gpfnLoadStringZTM = nullptr; }
};

std::vector<int> g_capacities;
std::map<unsigned, std::wstring> g_hostTexts;

int HostLoader(unsigned nId, wchar_t* buf, int cch)
{
    g_capacities.push_back(cch);
    auto it = g_hostTexts.find(nId);
    if (it == g_hostTexts.end())
        return 0;
    const int n = static_cast<int>(it->second.size());
    if (n >= cch)
        return n;
    std::wcscpy(buf, it->second.c_str());
    return n;
}

// Swaps a hand-made block in for the module's own for one scope.
class CBlock {
public:
    explicit CBlock(const std::vector<unsigned char>& block) : m_saved(CResAnsi32::m_stRessource)
    {
        CResAnsi32::m_stRessource.pbyBuffer = block.data();
        CResAnsi32::m_stRessource.pnIndex = nullptr;
        CResAnsi32::m_stRessource.bIndexFait = 0;
        CResAnsi32::m_stRessource.nNbRessource = 0;
    }
    ~CBlock()
    {
        std::free(CResAnsi32::m_stRessource.pnIndex);
        CResAnsi32::m_stRessource = m_saved;
    }

private:
    CResAnsi32::STRessource m_saved;
};

void Record(std::vector<unsigned char>& b, unsigned nId, unsigned char flags, std::vector<unsigned char> packed)
{
    const unsigned n = 7 + static_cast<unsigned>(packed.size());
    b.insert(b.end(), {static_cast<unsigned char>(n), static_cast<unsigned char>(n >> 8),
                       static_cast<unsigned char>(nId), static_cast<unsigned char>(nId >> 8), flags,
                       static_cast<unsigned char>(packed.size()), 0});
    b.insert(b.end(), packed.begin(), packed.end());
}

std::vector<unsigned char> Pair(int s1, int s2, int s3)
{
    const int v = s1 * 1600 + s2 * 40 + s3;
    return {static_cast<unsigned char>(v / 255 + 1), static_cast<unsigned char>(v % 255 + 1)};
}

}  // namespace

TEST(DllRes, EveryTextOfTheCatalogueRoundTrips)
{
    ASSERT_GT(Catalogue().size(), 150u);
    EXPECT_EQ(Catalogue().front().nId, 257u);
    EXPECT_EQ(Catalogue().back().nId, 65535u);
    for (const Message& m : Catalogue()) {
        CTString s;
        EXPECT_TRUE(DLLRES_bLoadString(&gstMyModuleInfo32, m.nId, &s)) << m.nId;
        EXPECT_EQ(std::wstring(s.pszGet()), m.text) << m.nId;

        wchar_t buf[512];
        EXPECT_EQ(DLLRES_nLoadString(&gstMyModuleInfo32, m.nId, buf, 512), static_cast<int>(m.text.size()))
            << m.nId;
        EXPECT_EQ(std::wstring(buf), m.text) << m.nId;
        EXPECT_EQ(DLLRES_nGetUtilisation(&gstMyModuleInfo32, m.nId), 0) << m.nId;
    }
    // The block holds the catalogue and nothing else.
    EXPECT_EQ(CResAnsi32::m_stRessource.nNbRessource, Catalogue().size());
    for (unsigned nId : {0u, 1u, 256u, 258u, 3222u, 28000u, 65534u}) {
        CTString s;
        EXPECT_FALSE(DLLRES_bLoadString(&gstMyModuleInfo32, nId, &s)) << nId;
        wchar_t buf[8] = L"xxxxxxx";
        EXPECT_EQ(DLLRES_nLoadString(&gstMyModuleInfo32, nId, buf, 8), 0) << nId;
        EXPECT_EQ(buf[0], L'\0');
        EXPECT_EQ(DLLRES_nGetUtilisation(&gstMyModuleInfo32, nId), -1) << nId;
    }
}

TEST(DllRes, EveryMessageFormatsWithItsArgumentKinds)
{
    for (const Message& m : Catalogue()) {
        std::string kinds;
        const std::wstring expected = Expected(m, &kinds);
        EXPECT_EQ(kinds, m.kinds) << "message " << m.nId << ": directives and argument kinds differ";
        if (m.text.empty())
            continue;
        CTString out;
        EXPECT_TRUE(Format(m.nId, m.kinds, &out)) << m.nId;
        EXPECT_EQ(std::wstring(out.pszGet()), expected) << m.nId;

        wchar_t* psz = nullptr;
        if (m.kinds.empty()) {
            EXPECT_EQ(DLLRES_nFormatMessage(&gstMyModuleInfo32, m.nId, &psz), static_cast<int>(expected.size()));
            ASSERT_NE(psz, nullptr);
            EXPECT_EQ(std::wstring(psz), expected);
            std::free(psz);
        }
    }
    // The marks of the block hold no text to format; unknown ids format nothing.
    CTString out;
    EXPECT_FALSE(DLLRES_bFormatMessage(&gstMyModuleInfo32, 257, &out));
    EXPECT_FALSE(DLLRES_bFormatMessage(&gstMyModuleInfo32, 4242, &out));
    wchar_t* psz = reinterpret_cast<wchar_t*>(1);
    EXPECT_EQ(DLLRES_nFormatMessage(&gstMyModuleInfo32, 4242, &psz), 0);
    EXPECT_EQ(psz, nullptr);
}

TEST(DllRes, ErrorIdentity)
{
    EXPECT_EQ(gstMyModuleInfo32.pstErrorDef, gstErrorDef32);
    EXPECT_EQ(gstMyModuleInfo32.dwNbErrorDef, 84u);
    EXPECT_EQ(gstMyModuleInfo32.dwModule, 32u);
    EXPECT_EQ(std::wstring(gstMyModuleInfo32.pszModuleName), L"zt190msql.so");
    EXPECT_EQ(std::wstring(gstMyModuleInfo32.pszModuleVersion), L"19.0.3.0");
    EXPECT_EQ(gstMyModuleInfo32.pfnGetRessource, &bGetResAnsi32);

    const unsigned codes[84] = {1,  2,  4,  5,  6,  12, 34, 42, 43, 44, 45, 7,  8,  9,  10, 11, 13,
                                14, 15, 16, 17, 18, 19, 20, 21, 73, 22, 80, 67, 68, 69, 70, 71, 72,
                                23, 24, 25, 26, 27, 28, 29, 30, 31, 29, 32, 33, 35, 37, 38, 39, 40,
                                41, 46, 47, 48, 49, 52, 74, 53, 54, 55, 56, 81, 58, 59, 78, 79, 50,
                                51, 57, 77, 82, 83, 60, 61, 62, 63, 64, 65, 66, 75, 76, 320101, 320102};
    for (unsigned i = 0; i < 84; ++i) {
        const _stErrorDef& row = gstErrorDef32[i];
        EXPECT_EQ(row.dwUserError, codes[i]) << "row " << i;
        const unsigned c = row.dwUserError;
        EXPECT_EQ(row.dwDetail, c >= 17 && c <= 20 ? row.dwRessource : c) << c;
        EXPECT_EQ(row.dwLevel, c == 21 || c == 73 ? 2u : 3u) << c;
        if (c < 320101) {
            EXPECT_TRUE((row.dwRessource >= 25003 && row.dwRessource <= 25881) ||
                        (row.dwRessource >= 28417 && row.dwRessource <= 28994))
                << c;
        }
        // Every error has its message.
        EXPECT_EQ(DLLRES_nGetUtilisation(&gstMyModuleInfo32, row.dwRessource), 0) << c;
    }
    EXPECT_EQ(0, std::memcmp(&gstErrorDef32[40], &gstErrorDef32[43], sizeof(_stErrorDef)));
    const unsigned telling[][4] = {{1, 25624, 1, 3},       {8, 28437, 8, 3},        {17, 28544, 28544, 3},
                                   {18, 28563, 28563, 3},  {19, 28417, 28417, 3},   {20, 28565, 28565, 3},
                                   {21, 28576, 21, 2},     {73, 25860, 73, 2},      {29, 28624, 29, 3},
                                   {53, 25621, 53, 3},     {60, 25293, 60, 3},      {61, 25294, 61, 3},
                                   {62, 25295, 62, 3},     {63, 25296, 63, 3},      {64, 25297, 64, 3},
                                   {65, 25298, 65, 3},     {66, 25292, 66, 3},      {320101, 3221, 320101, 3},
                                   {320102, 3355, 320102, 3}};
    for (const auto& t : telling) {
        const _stErrorDef* p = nullptr;
        for (const _stErrorDef& row : gstErrorDef32)
            if (row.dwUserError == t[0] && p == nullptr)
                p = &row;
        ASSERT_NE(p, nullptr) << t[0];
        EXPECT_EQ(p->dwRessource, t[1]) << t[0];
        EXPECT_EQ(p->dwDetail, t[2]) << t[0];
        EXPECT_EQ(p->dwLevel, t[3]) << t[0];
    }
}

TEST(DllRes, IdsCompareOnSixteenBits)
{
    CTString a, b;
    ASSERT_TRUE(DLLRES_bLoadString(&gstMyModuleInfo32, 3221, &a));
    ASSERT_TRUE(DLLRES_bLoadString(&gstMyModuleInfo32, 65536 + 3221, &b));
    EXPECT_EQ(std::wstring(b.pszGet()), std::wstring(a.pszGet()));
    EXPECT_EQ(std::wstring(a.pszGet()), Find(3221)->text);

    STRessourceModule st = {65536 + 3221, 0, nullptr, 0, 0, -1};
    ASSERT_TRUE(bGetResAnsi32(st));
    EXPECT_EQ(st.nClasse, RESCLASS_UTF8);
    EXPECT_EQ(st.nUtilisation, 0);
    EXPECT_GT(st.nTaille, 0u);
}

TEST(DllRes, SmallCapacity)
{
    const std::wstring text = Find(28437)->text;
    ASSERT_GT(text.size(), 5u);
    wchar_t buf[8];
    std::fill(buf, buf + 8, L'#');
    EXPECT_EQ(DLLRES_nLoadString(&gstMyModuleInfo32, 28437, buf, 5), 4);
    EXPECT_EQ(std::wstring(buf), text.substr(0, 4));
    EXPECT_EQ(buf[5], L'#');

    std::fill(buf, buf + 8, L'#');
    EXPECT_EQ(DLLRES_nLoadString(&gstMyModuleInfo32, 28437, buf, 1), 0);
    EXPECT_EQ(buf[0], L'\0');
    EXPECT_EQ(buf[1], L'#');
    EXPECT_EQ(DLLRES_nLoadString(&gstMyModuleInfo32, 28437, buf, 0), 0);
    EXPECT_EQ(DLLRES_nLoadString(&gstMyModuleInfo32, 28437, nullptr, 8), 0);

    // Exactly the room for the text and its end.
    std::vector<wchar_t> exact(text.size() + 1);
    EXPECT_EQ(DLLRES_nLoadString(&gstMyModuleInfo32, 28437, exact.data(), static_cast<int>(exact.size())),
              static_cast<int>(text.size()));
    EXPECT_EQ(std::wstring(exact.data()), text);
}

TEST(DllRes, HostLoader)
{
    g_hostTexts = {{28437, L"From the host"}, {9000, std::wstring(300, L'x')}};
    g_capacities.clear();
    CHostLoader loader(&HostLoader);

    // The host answers first.
    CTString s;
    EXPECT_TRUE(DLLRES_bLoadString(&gstMyModuleInfo32, 28437, &s));
    EXPECT_EQ(std::wstring(s.pszGet()), L"From the host");
    wchar_t buf[64];
    EXPECT_EQ(DLLRES_nLoadString(&gstMyModuleInfo32, 28437, buf, 64), 13);
    EXPECT_EQ(std::wstring(buf), L"From the host");

    // A host answer of 0 leaves the module's own block to answer.
    EXPECT_TRUE(DLLRES_bLoadString(&gstMyModuleInfo32, 28588, &s));
    EXPECT_EQ(std::wstring(s.pszGet()), Find(28588)->text);
    EXPECT_EQ(DLLRES_nLoadString(&gstMyModuleInfo32, 28846, buf, 64), static_cast<int>(Find(28846)->text.size()));
    EXPECT_EQ(std::wstring(buf), Find(28846)->text);
    EXPECT_FALSE(DLLRES_bLoadString(&gstMyModuleInfo32, 4242, &s));

    // A text longer than the first buffer: asked again with its length.
    g_capacities.clear();
    EXPECT_TRUE(ZTM_bLoadString(9000, &s));
    EXPECT_EQ(std::wstring(s.pszGet()), std::wstring(300, L'x'));
    ASSERT_EQ(g_capacities.size(), 2u);
    EXPECT_EQ(g_capacities[0], 256);
    EXPECT_GE(g_capacities[1], 300);
    EXPECT_FALSE(ZTM_bLoadString(4242, &s));

    // Into a buffer too small for the host's text: what fits, cut and ended.
    EXPECT_EQ(DLLRES_nLoadString(&gstMyModuleInfo32, 9000, buf, 64), 63);
    EXPECT_EQ(std::wstring(buf), std::wstring(63, L'x'));

    // The usage bits are the module's own; the host is not asked.
    g_capacities.clear();
    EXPECT_EQ(DLLRES_nGetUtilisation(&gstMyModuleInfo32, 9000), -1);
    EXPECT_TRUE(g_capacities.empty());
}

TEST(DllRes, WithoutHostLoader)
{
    ASSERT_EQ(gpfnLoadStringZTM, nullptr);
    wchar_t buf[4] = L"abc";
    EXPECT_EQ(ZTM_nLoadString(28437, buf, 4), 0);
    CTString s;
    EXPECT_FALSE(ZTM_bLoadString(28437, &s));
    EXPECT_FALSE(DLLRES_bLoadString(nullptr, 28437, &s));
    EXPECT_FALSE(DLLRES_bLoadString(&gstMyModuleInfo32, 28437, nullptr));
    EXPECT_EQ(DLLRES_nGetUtilisation(nullptr, 28437), -1);
}

TEST(DllRes, HandMadeBlock)
{
    // "é" is C3 A9 in charset 3: places 27 and 16 of its table.
    std::vector<unsigned char> block;
    Record(block, 10, 0x03, Pair(8 + 6, 8 + 7, 0));            // "ab", usage 3
    Record(block, 20, 0x40, [] {                                // UTF-16 "A"
        auto p = Pair(7, 39, 0);
        p.insert(p.end(), {2, 0x41, 0x00});
        return p;
    }());
    Record(block, 30, 0x01, {0x05, 0x00});                     // zero byte in a pair
    Record(block, 40, 0x00, Pair(7, 8 + 27, 8 + 16));          // UTF-8 "é"
    Record(block, 50, 0x00, [] {                               // escape at the end
        return Pair(7, 38, 0);
    }());
    block.insert(block.end(), {0, 0});

    CBlock swap(block);
    EXPECT_EQ(DLLRES_nGetUtilisation(&gstMyModuleInfo32, 10), 3);
    EXPECT_EQ(DLLRES_nGetUtilisation(&gstMyModuleInfo32, 65536 + 10), 3);
    EXPECT_EQ(DLLRES_nGetUtilisation(&gstMyModuleInfo32, 30), 1);
    EXPECT_EQ(DLLRES_nGetUtilisation(&gstMyModuleInfo32, 20), 0);
    EXPECT_EQ(DLLRES_nGetUtilisation(&gstMyModuleInfo32, 15), -1);
    EXPECT_EQ(DLLRES_nGetUtilisation(&gstMyModuleInfo32, 60), -1);
    EXPECT_EQ(CResAnsi32::m_stRessource.nNbRessource, 5u);
    EXPECT_EQ(CResAnsi32::m_stRessource.pnIndex[5], block.size() - 2);

    CTString s;
    EXPECT_TRUE(DLLRES_bLoadString(&gstMyModuleInfo32, 10, &s));
    EXPECT_EQ(std::wstring(s.pszGet()), L"ab");
    EXPECT_TRUE(DLLRES_bLoadString(&gstMyModuleInfo32, 20, &s));
    EXPECT_EQ(std::wstring(s.pszGet()), L"A");

    // The length handed out counts characters, not UTF-8 bytes.
    wchar_t buf[8];
    EXPECT_EQ(DLLRES_nLoadString(&gstMyModuleInfo32, 40, buf, 8), 1);
    EXPECT_EQ(std::wstring(buf), L"\u00E9");

    // Unreadable texts are not texts: callers' own fallbacks apply.
    for (unsigned nId : {30u, 50u}) {
        s = L"previous";
        EXPECT_FALSE(DLLRES_bLoadString(&gstMyModuleInfo32, nId, &s)) << nId;
        EXPECT_EQ(std::wstring(s.pszGet()), L"") << nId;
        buf[0] = L'#';
        EXPECT_EQ(DLLRES_nLoadString(&gstMyModuleInfo32, nId, buf, 8), 0) << nId;
        EXPECT_EQ(buf[0], L'\0') << nId;
    }
}

TEST(DllRes, SingularAndPlural)
{
    g_hostTexts = {{7001, L"%d file\n\u00A7\n%d files\n\u00A7\nno file"}, {7002, L"%s"}};
    CHostLoader loader(&HostLoader);
    CTString s;
    EXPECT_TRUE(DLLRES_bFormatMessageSingulierPluriel(&gstMyModuleInfo32, 0, 7001, &s, 1));
    EXPECT_EQ(std::wstring(s.pszGet()), L"1 file");
    EXPECT_TRUE(DLLRES_bFormatMessageSingulierPluriel(&gstMyModuleInfo32, 1, 7001, &s, 12));
    EXPECT_EQ(std::wstring(s.pszGet()), L"12 files");
    EXPECT_TRUE(DLLRES_bFormatMessageSingulierPluriel(&gstMyModuleInfo32, 2, 7001, &s));
    EXPECT_EQ(std::wstring(s.pszGet()), L"no file");
    EXPECT_FALSE(DLLRES_bFormatMessageSingulierPluriel(&gstMyModuleInfo32, 3, 7001, &s, 1));
    EXPECT_FALSE(DLLRES_bFormatMessageSingulierPluriel(&gstMyModuleInfo32, 0, 4242, &s, 1));
    // A text of one form is its form 0; formatting to nothing is false.
    EXPECT_TRUE(DLLRES_bFormatMessageSingulierPluriel(&gstMyModuleInfo32, 0, 7002, &s, L"x"));
    EXPECT_EQ(std::wstring(s.pszGet()), L"x");
    EXPECT_FALSE(DLLRES_bFormatMessageSingulierPluriel(&gstMyModuleInfo32, 0, 7002, &s, L""));
    EXPECT_FALSE(DLLRES_bFormatMessageSingulierPluriel(&gstMyModuleInfo32, 1, 7002, &s, L"x"));
}

namespace {

int g_nCommande = -1;
STCommandeChargeChaine g_bloc;

int Commande(int n, void* p)
{
    g_nCommande = n;
    g_bloc = *static_cast<STCommandeChargeChaine*>(p);
    return 0;
}

}  // namespace

TEST(DllRes, ModuleServices)
{
    EXPECT_FALSE(DLLRES_bForceInitRessource(nullptr));
    EXPECT_EQ(g_nCommande, -1);
    EXPECT_TRUE(DLLRES_bForceInitRessource(&Commande));
    EXPECT_EQ(g_nCommande, 3);
    EXPECT_EQ(sizeof(STCommandeChargeChaine), 20u);
    EXPECT_EQ(g_bloc.nTaille, 20u);
    EXPECT_EQ(g_bloc.nId, 0u);
    EXPECT_EQ(g_bloc.pszBuffer, nullptr);

    EXPECT_TRUE(DLLRES_bInit(nullptr, 0));
    DLLRES_Term();
    EXPECT_FALSE(DLLRES_bUtiliseDLLRes());
    EXPECT_EQ(ghGetRessourceHandle(), nullptr);
    unsigned n = 0;
    EXPECT_EQ(DLLRES_pLoadResourceModule(&gstMyModuleInfo32, 3221, L"x", &n), nullptr);
    EXPECT_EQ(DLLRES_pLoadResource(&gstMyModuleInfo32, nullptr, 3221, L"x", &n), nullptr);

    // The module exports its resource entry and its error identity.
    void* h = dlopen(ZT_BUILD_DIR "/zt190msql.so", RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(h, nullptr) << dlerror();
    EXPECT_NE(dlsym(h, "DLLRES_pLoadResourceModule"), nullptr);
    const auto* pInfo = static_cast<const _stMyModuleInfo*>(dlsym(h, "gstMyModuleInfo32"));
    ASSERT_NE(pInfo, nullptr);
    EXPECT_EQ(pInfo->dwModule, 32u);
    EXPECT_EQ(pInfo->dwNbErrorDef, 84u);
    EXPECT_EQ(DLLRES_pLoadResource(&gstMyModuleInfo32, h, 3221, L"x", &n), nullptr);
    dlclose(h);
}
