// The build-time packer against the module's reader: catalogues are packed
// by the built respack tool and every message is read back through the
// module's loaders.
#include "common/platform/DllRes.h"
#include "common/platform/MyModuleInfo.h"
#include "common/platform/ResAnsi32.h"
#include "common/text/Tstring.h"
#include "tests/support/TempDir.h"
#include "tests/support/Paths.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <numeric>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

const _stMyModuleInfo* const M = &gstMyModuleInfo32;
typedef std::vector<unsigned char> Bytes;

// Largest packed text of a record: its 16-bit length counts the 7 header bytes.
const size_t MAX_PACKED = 0xFFFF - 7;

struct Message {
    unsigned nId;
    std::wstring text;   // as the loaders must give it back
};

std::string Utf8(const std::wstring& text)
{
    std::string out;
    for (const wchar_t w : text) {
        const unsigned c = static_cast<unsigned>(w);
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | c >> 6);
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | c >> 12);
            out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | c >> 18);
            out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
            out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

// A catalogue line's text column: the escapes the catalogue knows.
std::string CatalogueText(const std::wstring& text)
{
    std::string out;
    for (const char c : Utf8(text)) {
        switch (c) {
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        case '\\': out += "\\\\"; break;
        default: out += c;
        }
    }
    return out;
}

// Runs the built tool on a catalogue of raw lines; its exit code, with the
// generated block and the tool's complaint.
struct Packing {
    int nExit = -1;
    bool bOutput = false;   // a generated source was left
    Bytes block;
    std::string strErreur;
};

Packing Pack(const std::string& strLignes)
{
    Packing p;
    CTempDir dir("zt_respack");
    if (dir.Path().empty()) {
        ADD_FAILURE() << "no temporary folder";
        return p;
    }
    const std::string tsv = dir.Path() + "/Messages.tsv";
    const std::string cpp = dir.Path() + "/ResourceBlock.cpp";
    const std::string err = dir.Path() + "/stderr";
    std::ofstream(tsv, std::ios::binary) << strLignes;
    const std::string cmd = "'" + BuildPath("respack") + "' '" + tsv + "' '" + cpp + "' 2>'" + err + "'";
    const int st = std::system(cmd.c_str());
    p.nExit = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    std::ostringstream e;
    e << std::ifstream(err).rdbuf();
    p.strErreur = e.str();

    std::ifstream in(cpp);
    p.bOutput = in.good();
    if (!p.bOutput)
        return p;
    std::ostringstream s;
    s << in.rdbuf();
    const std::string src = s.str();
    // "... _pbyBufferRes32[N] = { 0x.., ... };"
    const size_t size = src.find('[');
    const size_t open = src.find('{', size);
    const size_t close = src.find('}', open);
    if (size == std::string::npos || open == std::string::npos || close == std::string::npos) {
        ADD_FAILURE() << "no block in the generated source";
        return p;
    }
    for (size_t i = src.find("0x", open); i < close; i = src.find("0x", i + 2))
        p.block.push_back(static_cast<unsigned char>(std::strtoul(src.c_str() + i, nullptr, 16)));
    EXPECT_EQ(p.block.size(), std::strtoul(src.c_str() + size + 1, nullptr, 10));
    return p;
}

std::string Lines(const std::vector<Message>& messages)
{
    std::string out;
    for (const Message& m : messages)
        out += std::to_string(m.nId) + "\t-\t" + CatalogueText(m.text) + "\n";
    return out;
}

// The module reads its messages from the given block while this lives.
class CBlockInPlace {
public:
    explicit CBlockInPlace(const Bytes& block) : m_saved(CResAnsi32::m_stRessource)
    {
        CResAnsi32::m_stRessource = {block.data(), m_saved.pfnCompare, nullptr, 0, 0};
    }
    ~CBlockInPlace()
    {
        std::free(CResAnsi32::m_stRessource.pnIndex);
        CResAnsi32::m_stRessource = m_saved;
    }
    CBlockInPlace(const CBlockInPlace&) = delete;
    CBlockInPlace& operator=(const CBlockInPlace&) = delete;

private:
    const CResAnsi32::STRessource m_saved;
};

testing::AssertionResult Same(const std::wstring& got, const std::wstring& want)
{
    if (got == want)
        return testing::AssertionSuccess();
    const size_t nCommun = std::min(got.size(), want.size());
    const size_t n = std::mismatch(got.begin(), got.begin() + nCommun, want.begin()).first - got.begin();
    auto failure = testing::AssertionFailure();
    failure << got.size() << " characters instead of " << want.size() << ", first difference at " << n;
    char sz[32];
    if (n < got.size()) {
        std::snprintf(sz, sizeof sz, ": U+%04X", static_cast<unsigned>(got[n]));
        failure << sz;
    }
    if (n < want.size()) {
        std::snprintf(sz, sizeof sz, " where U+%04X stands", static_cast<unsigned>(want[n]));
        failure << sz;
    }
    return failure;
}

// Every message read back equal through both loaders.
void ExpectReadBack(const Bytes& block, const std::vector<Message>& messages)
{
    CBlockInPlace in(block);
    for (const Message& m : messages) {
        std::vector<wchar_t> buf(m.text.size() + 1, L'#');
        EXPECT_EQ(DLLRES_nLoadString(M, m.nId, buf.data(), static_cast<int>(buf.size())),
                  static_cast<int>(m.text.size()))
            << "message " << m.nId;
        EXPECT_TRUE(Same(buf.data(), m.text)) << "DLLRES_nLoadString, message " << m.nId;
        CTString cl;
        EXPECT_TRUE(DLLRES_bLoadString(M, m.nId, &cl)) << "message " << m.nId;
        EXPECT_TRUE(Same(cl.pszGet() != nullptr ? cl.pszGet() : L"", m.text))
            << "DLLRES_bLoadString, message " << m.nId;
    }
}

void ExpectRoundTrip(const std::vector<Message>& messages)
{
    const Packing p = Pack(Lines(messages));
    ASSERT_EQ(p.nExit, 0) << p.strErreur;
    ExpectReadBack(p.block, messages);
}

TEST(Respack, EscapeAtEachPlaceOfAGroup)
{
    // Three symbols make a pair; bytes outside the code tables go raw after
    // an escape symbol, alone (a Latin letter's second byte) or as a run
    // (CJK). The comments give the place of the escape in its group.
    const std::vector<Message> messages = {
        {1, L"a\u4E2D"},                 // third, after a letter and the change to charset 3
        {2, L"\u4E2D"},                  // second
        {3, L"ab\u4E2Dx"},               // first
        {4, L"\u00E4"},                  // first, one raw byte
        {5, L"x\u00E4"},                 // second
        {6, L"xy\u00E4"},                // third
        {7, L"\u4E2Da\u4E2D"},           // third, after a one-shot shift and a letter
        {8, L"\u00C9t\u00E9 \u0416\u03A9\U0001F600 fin"},
        {9, L"\u4E2D\u00E4\u4E2D\u00E4ab"},
    };
    const Packing p = Pack(Lines(messages));
    ASSERT_EQ(p.nExit, 0) << p.strErreur;
    // "a中": the pair (a, charset 3, run escape), then the run's count and bytes.
    const Bytes first(p.block.begin(), p.block.begin() + 13);
    EXPECT_EQ(first, (Bytes{0x0D, 0x00, 0x01, 0x00, 0x00, 0x06, 0x00, 0x5A, 0x19, 0x03, 0xE4, 0xB8, 0xAD}));
    ExpectReadBack(p.block, messages);
}

// Texts that use up every BMP character (surrogates and NUL aside, which no
// UTF-8 text holds) and a sample beyond U+FFFF, mixed with characters of the
// code tables so that escapes fall at every place of a group.
std::vector<std::vector<Message>> RandomCatalogues(std::mt19937& rng)
{
    std::vector<wchar_t> pool;
    for (unsigned c = 1; c <= 0xFFFF; ++c)
        if (c < 0xD800 || c > 0xDFFF)
            pool.push_back(static_cast<wchar_t>(c));
    for (unsigned c : {0x10000u, 0x1F600u, 0x10FFFFu})
        pool.push_back(static_cast<wchar_t>(c));
    std::uniform_int_distribution<unsigned> astral(0x10000, 0x10FFFF);
    for (int i = 0; i < 1000; ++i)
        pool.push_back(static_cast<wchar_t>(astral(rng)));
    std::shuffle(pool.begin(), pool.end(), rng);

    const std::wstring tabled = L"etaoin shrdlu,.'\"ETAOIN:()-\r\n0123456789!#$&*+/;<=>?@[\\]_{|}~\t^`"
                                L"\u00E9\u00E0\u00E8\u00E7\u00C9\u00A7\u00AB\u00BB\u2019\u2026";
    std::vector<unsigned> ids(0xFFFF);
    std::iota(ids.begin(), ids.end(), 1u);
    std::shuffle(ids.begin(), ids.end(), rng);

    std::vector<std::vector<Message>> catalogues(1);
    size_t nPool = 0;
    size_t nId = 0;
    while (nPool < pool.size()) {
        std::wstring text;
        // One text in ten is empty.
        const int n = std::uniform_int_distribution<int>(0, 9)(rng) == 0
                          ? 0
                          : std::uniform_int_distribution<int>(1, 300)(rng);
        for (int k = 0; k < n && nPool < pool.size(); ++k) {
            wchar_t c = std::uniform_int_distribution<int>(0, 1)(rng) == 0
                            ? pool[nPool++]
                            : tabled[std::uniform_int_distribution<size_t>(0, tabled.size() - 1)(rng)];
            text += c;
            // A lone '%' would be a format directive.
            if (c == L'%')
                text += c;
        }
        if (catalogues.back().size() == 100)
            catalogues.emplace_back();
        catalogues.back().push_back({ids[nId++], text});
    }
    return catalogues;
}

TEST(Respack, RandomCataloguesRoundTrip)
{
    std::mt19937 rng(20261206);
    const std::vector<std::vector<Message>> catalogues = RandomCatalogues(rng);
    ASSERT_GT(catalogues.size(), 1u);
    for (size_t i = 0; i < catalogues.size(); ++i) {
        SCOPED_TRACE("catalogue " + std::to_string(i));
        ExpectRoundTrip(catalogues[i]);
    }
}

unsigned RecordLength(const Bytes& block)
{
    return block.size() < 2 ? 0 : block[0] | block[1] << 8;
}

TEST(Respack, LargestTexts)
{
    // Three letters of charset 0 to a pair: a text that fills a record.
    const std::wstring full(MAX_PACKED / 2 * 3, L'a');
    const Packing p = Pack(Lines({{1, full}, {2, L""}}));
    ASSERT_EQ(p.nExit, 0) << p.strErreur;
    EXPECT_EQ(RecordLength(p.block), 0xFFFFu);
    ExpectReadBack(p.block, {{1, full}, {2, L""}});

    const Packing over = Pack(Lines({{1, full + L"a"}}));
    EXPECT_EQ(over.nExit, 1);
    EXPECT_FALSE(over.bOutput);

    // A random mix cut at the longest start that still packs.
    std::mt19937 rng(7);
    std::wstring mix;
    const std::wstring some = L"ab \u00E9\u4E2D\U0001F600\u0416Z9\n\uFFFF\u0085";
    while (mix.size() < 80000)
        mix += some[std::uniform_int_distribution<size_t>(0, some.size() - 1)(rng)];
    ASSERT_NE(Pack(Lines({{1, mix}})).nExit, 0) << "the mix is meant to be too long";
    size_t nFits = 0;
    size_t nTooLong = mix.size();
    while (nTooLong - nFits > 1) {
        const size_t n = nFits + (nTooLong - nFits) / 2;
        if (Pack(Lines({{1, mix.substr(0, n)}})).nExit == 0)
            nFits = n;
        else
            nTooLong = n;
    }
    EXPECT_NE(Pack(Lines({{1, mix.substr(0, nTooLong)}})).strErreur.find("text too long"), std::string::npos);
    const std::wstring longest = mix.substr(0, nFits);
    const Packing last = Pack(Lines({{7, longest}}));
    ASSERT_EQ(last.nExit, 0) << last.strErreur;
    EXPECT_GT(RecordLength(last.block), 0xFFFFu - 8);
    ExpectReadBack(last.block, {{7, longest}});
}

TEST(Respack, TextsTheModuleCouldNotReadStopTheBuild)
{
    const struct {
        const char* psz;
        size_t n;
        const char* what;
    } cases[] = {
        {"a\0b", 3, "NUL"},
        {"\x80", 1, "lone continuation byte"},
        {"\xC0\x80", 2, "overlong NUL"},
        {"\xE0\x80\xAF", 3, "overlong slash"},
        {"\xED\xA0\x80", 3, "surrogate"},
        {"\xF4\x90\x80\x80", 4, "beyond U+10FFFF"},
        {"a\xE4\xB8", 3, "cut at the end"},
        {"\xE4\xB8x", 3, "cut before a letter"},
        {"\xF8\x88\x80\x80\x80", 5, "five bytes"},
    };
    for (const auto& c : cases) {
        const Packing p = Pack("1\t-\tgood\n2\t-\t" + std::string(c.psz, c.n) + "\n");
        EXPECT_EQ(p.nExit, 1) << c.what;
        EXPECT_FALSE(p.bOutput) << c.what;
        EXPECT_NE(p.strErreur.find(":2: "), std::string::npos) << c.what << ": " << p.strErreur;
    }
}

}  // namespace
