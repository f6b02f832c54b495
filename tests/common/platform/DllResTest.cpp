#include "common/platform/DllRes.h"
#include "common/platform/MyModuleInfo.h"
#include "common/platform/ResAnsi32.h"
#include "common/text/Tstring.h"
#include "tests/support/Paths.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <algorithm>
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

const _stMyModuleInfo* const M = &gstMyModuleInfo32;

struct Message {
    unsigned nId;
    std::string kinds;  // empty for none
    std::wstring text;
};

// UTF-8 to UTF-32, enough for the catalogue.
std::wstring FromUtf8(const std::string& s)
{
    std::wstring out;
    for (size_t i = 0; i < s.size();) {
        const unsigned char c = s[i];
        const int n = c < 0x80 ? 0 : c < 0xE0 ? 1 : c < 0xF0 ? 2 : 3;
        wchar_t w = n == 0 ? c : c & (0x3F >> n);
        for (int k = 1; k <= n && i + k < s.size(); ++k)
            w = (w << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
        out += w;
        i += n + 1;
    }
    return out;
}

// Lines "id <tab> kinds <tab> text" with \n \r \t \\ escapes; '#' lines are comments.
const std::vector<Message>& Catalogue()
{
    static const std::vector<Message> s = [] {
        std::vector<Message> out;
        std::ifstream in(ZT_MESSAGES_TSV);
        EXPECT_TRUE(in.good()) << ZT_MESSAGES_TSV;
        std::string line;
        while (std::getline(in, line)) {
            if (line.empty() || line[0] == '#')
                continue;
            const size_t t1 = line.find('\t'), t2 = line.find('\t', t1 + 1);
            const std::string kinds = line.substr(t1 + 1, t2 - t1 - 1);
            std::string text;
            for (size_t i = t2 + 1; i < line.size(); ++i) {
                char c = line[i];
                if (c == '\\' && i + 1 < line.size()) {
                    c = line[++i];
                    c = c == 'n' ? '\n' : c == 'r' ? '\r' : c == 't' ? '\t' : c;
                }
                text += c;
            }
            out.push_back({static_cast<unsigned>(std::stoul(line.substr(0, t1))), kinds == "-" ? "" : kinds,
                           FromUtf8(text)});
        }
        return out;
    }();
    return s;
}

const std::wstring& Text(unsigned nId)
{
    for (const Message& m : Catalogue())
        if (m.nId == nId)
            return m.text;
    static const std::wstring none;
    ADD_FAILURE() << nId << " not in the catalogue";
    return none;
}

// Sample arguments: the i-th argument of a message, as its kind formats it.
const wchar_t* const kWide[] = {L"alpha", L"B\u00E9ta", L"gamma", L"delta", L"epsilon"};
const char* const kNarrow[] = {"one", "two", "three", "four", "five"};
const int kInt[] = {-7, 42, 0, 65001, -2147483647};
const unsigned kUnsigned[] = {4000000000u, 0u, 2006u, 32u, 65535u};

// What a text must become with the sample arguments: each directive of the
// catalogue's plain forms (%s %S %hs %d %i %u) replaced in order, "%%" kept as one '%'.
std::wstring Expected(const Message& m, std::string* pKinds)
{
    std::wstring out;
    pKinds->clear();
    for (size_t i = 0; i < m.text.size(); ++i) {
        if (m.text[i] != L'%') {
            out += m.text[i];
            continue;
        }
        wchar_t c = i + 1 < m.text.size() ? m.text[++i] : 0;
        if (c == L'h' && i + 1 < m.text.size() && m.text[i + 1] == L's')
            c = L'S', ++i;
        const char kind = c == L's' ? 's' : c == L'S' ? 'S' : c == L'd' || c == L'i' ? 'd' : c == L'u' ? 'u' : 0;
        const size_t k = pKinds->size();
        if (c == L'%')
            out += L'%';
        else if (kind == 0 || k >= 5)
            ADD_FAILURE() << "message " << m.nId << ": directive outside the catalogue's forms";
        else
            out += kind == 's' ? std::wstring(kWide[k]) : kind == 'S' ? FromUtf8(kNarrow[k])
                   : std::to_wstring(kind == 'd' ? static_cast<long long>(kInt[k]) : kUnsigned[k]);
        if (kind != 0)
            *pKinds += kind;
    }
    return out;
}

// Formats message nId with the sample arguments of its kinds. Every kind
// takes one 32-bit slot of the argument list; unused trailing ones are not read.
static_assert(sizeof(const wchar_t*) == 4 && sizeof(int) == 4, "i386 argument slots");
bool Format(unsigned nId, const std::string& kinds, CTString* out)
{
    uintptr_t a[5] = {};
    for (size_t i = 0; i < kinds.size() && i < 5; ++i)
        a[i] = kinds[i] == 's' ? reinterpret_cast<uintptr_t>(kWide[i])
               : kinds[i] == 'S' ? reinterpret_cast<uintptr_t>(kNarrow[i])
               : kinds[i] == 'd' ? static_cast<uintptr_t>(kInt[i]) : kUnsigned[i];
    return DLLRES_bFormatMessage(M, nId, out, a[0], a[1], a[2], a[3], a[4]);
}

// The text loaded into a string; "<false>" when the load fails.
std::wstring Load(unsigned nId)
{
    CTString s(L"previous");
    return DLLRES_bLoadString(M, nId, &s) ? s.pszGet() : L"<false>";
}

// The host's message loader, set for one scope.
std::vector<int> g_capacities;
std::map<unsigned, std::wstring> g_hostTexts;

int HostLoader(unsigned nId, wchar_t* buf, int cch)
{
    g_capacities.push_back(cch);
    auto it = g_hostTexts.find(nId);
    const int n = it == g_hostTexts.end() ? 0 : static_cast<int>(it->second.size());
    if (n > 0 && n < cch)
        std::wcscpy(buf, it->second.c_str());
    return n;
}

struct CHostLoader {
    CHostLoader() { gpfnLoadStringZTM = &HostLoader; }
    ~CHostLoader() { gpfnLoadStringZTM = nullptr; }
};

// Three base-40 symbols packed into two bytes (base 255, digits 1..255).
std::vector<unsigned char> Pair(int s1, int s2, int s3)
{
    const int v = s1 * 1600 + s2 * 40 + s3;
    return {static_cast<unsigned char>(v / 255 + 1), static_cast<unsigned char>(v % 255 + 1)};
}

}  // namespace

// The build packs the catalogue into the block; every text must unpack as written.
TEST(DllRes, EveryTextOfTheCatalogueRoundTrips)
{
    ASSERT_GT(Catalogue().size(), 150u);
    for (const Message& m : Catalogue()) {
        EXPECT_EQ(Load(m.nId), m.text) << m.nId;
        wchar_t buf[512];
        EXPECT_EQ(DLLRES_nLoadString(M, m.nId, buf, 512), static_cast<int>(m.text.size())) << m.nId;
        EXPECT_EQ(DLLRES_nGetUtilisation(M, m.nId), 0) << m.nId;
    }
    // The block holds the catalogue and nothing else.
    EXPECT_EQ(CResAnsi32::m_stRessource.nNbRessource, Catalogue().size());
    for (unsigned nId : {0u, 258u, 65534u}) {
        wchar_t buf[8] = L"xxxxxxx";
        EXPECT_EQ(Load(nId), L"<false>") << nId;
        EXPECT_EQ(DLLRES_nLoadString(M, nId, buf, 8), 0) << nId;
        EXPECT_EQ(buf[0], L'\0') << nId;
        EXPECT_EQ(DLLRES_nGetUtilisation(M, nId), -1) << nId;
    }
    // Ids compare on their low 16 bits.
    EXPECT_EQ(Load(65536 + 3221), Text(3221));
    EXPECT_EQ(DLLRES_nGetUtilisation(M, 65536 + 3221), 0);

    // A small buffer: cut at its capacity, always ended, never written past.
    wchar_t buf[8];
    std::fill(buf, buf + 8, L'#');
    EXPECT_EQ(DLLRES_nLoadString(M, 28437, buf, 5), 4);
    EXPECT_EQ(std::wstring(buf), Text(28437).substr(0, 4));
    EXPECT_EQ(buf[5], L'#');
    std::fill(buf, buf + 8, L'#');
    EXPECT_EQ(DLLRES_nLoadString(M, 28437, buf, 1), 0);
    EXPECT_EQ(buf[0], L'\0');
    EXPECT_EQ(buf[1], L'#');
    EXPECT_EQ(DLLRES_nLoadString(M, 28437, nullptr, 8), 0);
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
    }
    // The allocating form; the marks of the block hold no text to format, unknown ids format nothing.
    wchar_t* psz = nullptr;
    EXPECT_EQ(DLLRES_nFormatMessage(M, 25193, &psz), static_cast<int>(Text(25193).size()));
    EXPECT_EQ(std::wstring(psz != nullptr ? psz : L"<null>"), Text(25193));
    std::free(psz);
    CTString out;
    EXPECT_FALSE(DLLRES_bFormatMessage(M, 257, &out));
    EXPECT_FALSE(DLLRES_bFormatMessage(M, 4242, &out));
    psz = reinterpret_cast<wchar_t*>(1);
    EXPECT_EQ(DLLRES_nFormatMessage(M, 4242, &psz), 0);
    EXPECT_EQ(psz, nullptr);
}

TEST(DllRes, ErrorIdentity)
{
    EXPECT_EQ(M->pstErrorDef, gstErrorDef32);
    EXPECT_EQ(M->dwNbErrorDef, 84u);
    EXPECT_EQ(M->dwModule, 32u);
    EXPECT_EQ(std::wstring(M->pszModuleName) + L" " + M->pszModuleVersion, L"zt190msql.so 19.0.3.0");

    // Codes in table order; the detail is the code but for 17-20 (the
    // resource), the level 2 for 21 and 73, 3 otherwise; every row has its message.
    const unsigned codes[84] = {1,  2,  4,  5,  6,  12, 34, 42, 43, 44, 45, 7,  8,  9,  10, 11, 13,
                                14, 15, 16, 17, 18, 19, 20, 21, 73, 22, 80, 67, 68, 69, 70, 71, 72,
                                23, 24, 25, 26, 27, 28, 29, 30, 31, 29, 32, 33, 35, 37, 38, 39, 40,
                                41, 46, 47, 48, 49, 52, 74, 53, 54, 55, 56, 81, 58, 59, 78, 79, 50,
                                51, 57, 77, 82, 83, 60, 61, 62, 63, 64, 65, 66, 75, 76, 320101, 320102};
    for (unsigned i = 0; i < 84; ++i) {
        const _stErrorDef& row = gstErrorDef32[i];
        const unsigned c = row.dwUserError;
        EXPECT_EQ(c, codes[i]) << "row " << i;
        EXPECT_EQ(row.dwDetail, c >= 17 && c <= 20 ? row.dwRessource : c) << c;
        EXPECT_EQ(row.dwLevel, c == 21 || c == 73 ? 2u : 3u) << c;
        EXPECT_EQ(DLLRES_nGetUtilisation(M, row.dwRessource), 0) << "no message for " << c;
    }
    EXPECT_EQ(0, std::memcmp(&gstErrorDef32[40], &gstErrorDef32[43], sizeof(_stErrorDef)));
    // Code and resource of the telling rows.
    const unsigned telling[][2] = {{1, 25624},  {8, 28437},  {17, 28544}, {18, 28563},  {19, 28417},
                                   {20, 28565}, {21, 28576}, {73, 25860}, {29, 28624},  {53, 25621},
                                   {60, 25293}, {61, 25294}, {62, 25295}, {63, 25296},  {64, 25297},
                                   {65, 25298}, {66, 25292}, {320101, 3221}, {320102, 3355}};
    for (const auto& t : telling) {
        const _stErrorDef* p = std::find_if(gstErrorDef32, gstErrorDef32 + 84,
                                            [&](const _stErrorDef& r) { return r.dwUserError == t[0]; });
        ASSERT_NE(p, gstErrorDef32 + 84) << t[0];
        EXPECT_EQ(p->dwRessource, t[1]) << t[0];
    }
}

TEST(DllRes, HostLoader)
{
    // Without one: nothing from the host, null arguments refused.
    wchar_t buf[64] = L"abc";
    CTString s;
    EXPECT_EQ(ZTM_nLoadString(28437, buf, 4), 0);
    EXPECT_FALSE(ZTM_bLoadString(28437, &s));
    EXPECT_FALSE(DLLRES_bLoadString(nullptr, 28437, &s));
    EXPECT_FALSE(DLLRES_bLoadString(M, 28437, nullptr));
    EXPECT_EQ(DLLRES_nGetUtilisation(nullptr, 28437), -1);

    g_hostTexts = {{28437, L"From the host"}, {9000, std::wstring(300, L'x')}};
    CHostLoader loader;
    // The host answers first; its 0 leaves the module's own block to answer.
    EXPECT_EQ(Load(28437), L"From the host");
    EXPECT_EQ(DLLRES_nLoadString(M, 28437, buf, 64), 13);
    EXPECT_EQ(std::wstring(buf), L"From the host");
    EXPECT_EQ(Load(28588), Text(28588));
    EXPECT_FALSE(ZTM_bLoadString(4242, &s));

    // A text longer than the first buffer: asked again with its length.
    g_capacities.clear();
    EXPECT_TRUE(ZTM_bLoadString(9000, &s));
    EXPECT_EQ(std::wstring(s.pszGet()), std::wstring(300, L'x'));
    EXPECT_EQ(g_capacities.size(), 2);
    EXPECT_EQ(g_capacities[0], 256);
    EXPECT_TRUE(g_capacities[1] >= 300);
    // Into a buffer too small for the host's text: what fits, cut and ended.
    EXPECT_EQ(DLLRES_nLoadString(M, 9000, buf, 64), 63);
    EXPECT_EQ(std::wstring(buf), std::wstring(63, L'x'));
    // The usage bits are the module's own; the host is not asked.
    g_capacities.clear();
    EXPECT_EQ(DLLRES_nGetUtilisation(M, 9000), -1);
    EXPECT_TRUE(g_capacities.empty());
}

TEST(DllRes, HandMadeBlock)
{
    // Records: u16 length, u16 id, u8 flags, u16 packed length, packed text.
    std::vector<unsigned char> block;
    const auto record = [&](unsigned nId, unsigned char flags, std::vector<unsigned char> packed) {
        const unsigned n = 7 + static_cast<unsigned>(packed.size());
        block.insert(block.end(), {static_cast<unsigned char>(n), static_cast<unsigned char>(n >> 8),
                                   static_cast<unsigned char>(nId), static_cast<unsigned char>(nId >> 8), flags,
                                   static_cast<unsigned char>(packed.size()), 0});
        block.insert(block.end(), packed.begin(), packed.end());
    };
    record(10, 0x03, Pair(8 + 6, 8 + 7, 0));   // "ab", usage 3
    record(30, 0x01, {0x05, 0x00});            // zero byte in a pair
    record(40, 0x00, Pair(7, 8 + 27, 8 + 16));  // UTF-8 "é": C3 A9 in charset 3
    record(50, 0x00, Pair(7, 38, 0));           // escape at the end
    block.insert(block.end(), {0, 0});

    const CResAnsi32::STRessource saved = CResAnsi32::m_stRessource;
    CResAnsi32::m_stRessource = {block.data(), saved.pfnCompare, nullptr, 0, 0};

    const int usages[][2] = {{10, 3}, {30, 1}, {40, 0}, {15, -1}, {60, -1}};
    for (const auto& u : usages)
        EXPECT_EQ(DLLRES_nGetUtilisation(M, static_cast<unsigned>(u[0])), u[1]) << u[0];
    EXPECT_EQ(CResAnsi32::m_stRessource.nNbRessource, 4u);
    EXPECT_EQ(CResAnsi32::m_stRessource.pnIndex[4], block.size() - 2);

    EXPECT_EQ(Load(10), L"ab");
    // The length handed out counts characters, not UTF-8 bytes.
    wchar_t buf[8];
    EXPECT_EQ(DLLRES_nLoadString(M, 40, buf, 8), 1);
    EXPECT_EQ(std::wstring(buf), L"\u00E9");
    // Unreadable texts are not texts: callers' own fallbacks apply.
    for (unsigned nId : {30u, 50u}) {
        EXPECT_EQ(Load(nId), L"<false>") << nId;
        buf[0] = L'#';
        EXPECT_EQ(DLLRES_nLoadString(M, nId, buf, 8), 0) << nId;
        EXPECT_EQ(buf[0], L'\0') << nId;
    }
    std::free(CResAnsi32::m_stRessource.pnIndex);
    CResAnsi32::m_stRessource = saved;
}

TEST(DllRes, SingularAndPlural)
{
    g_hostTexts = {{7001, L"%d file\n\u00A7\n%d files\n\u00A7\nno file"}, {7002, L"%s"}};
    CHostLoader loader;
    const auto form = [](int n, unsigned nId, auto... args) {
        CTString s;
        return DLLRES_bFormatMessageSingulierPluriel(M, n, nId, &s, args...) ? std::wstring(s.pszGet()) : L"<false>";
    };
    EXPECT_EQ(form(0, 7001, 1), L"1 file");
    EXPECT_EQ(form(1, 7001, 12), L"12 files");
    EXPECT_EQ(form(2, 7001), L"no file");
    EXPECT_EQ(form(3, 7001, 1) + form(0, 4242, 1), L"<false><false>");
    // A text of one form is its form 0; formatting to nothing is false.
    EXPECT_EQ(form(0, 7002, L"x"), L"x");
    EXPECT_EQ(form(0, 7002, L""), L"<false>");
    EXPECT_EQ(form(1, 7002, L"x"), L"<false>");
}

TEST(DllRes, ModuleServices)
{
    // Command 3 with an empty block of 20 bytes.
    static int g_nCommande = -1;
    static STCommandeChargeChaine g_bloc;
    EXPECT_FALSE(DLLRES_bForceInitRessource(nullptr));
    EXPECT_TRUE(DLLRES_bForceInitRessource([](int n, void* p) {
        g_nCommande = n;
        g_bloc = *static_cast<STCommandeChargeChaine*>(p);
        return 0;
    }));
    EXPECT_EQ(g_nCommande, 3);
    EXPECT_EQ(sizeof(STCommandeChargeChaine), 20u);
    EXPECT_EQ(g_bloc.nTaille, 20);
    EXPECT_EQ(g_bloc.nId, 0);
    EXPECT_EQ(g_bloc.pszBuffer, nullptr);

    // The module exports its error identity.
    void* h = dlopen(BuildPath("zt190msql.so").c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(h, nullptr) << dlerror();
    EXPECT_NE(dlsym(h, "gstMyModuleInfo32"), nullptr);
    dlclose(h);
}
