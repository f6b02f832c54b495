// Headed files (the 20-byte header written, read back and checked) and the
// message file (numbered texts behind a sorted index).
#include "common/platform/ZTFile.h"
#include "common/platform/ZTMFile.h"

#include "common/platform/XError.h"
#include "common/text/Tstring.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace {

typedef IXStream::eFORMAT FMT;

std::string Get(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void Put(const std::string& path, const std::string& data) { std::ofstream(path, std::ios::binary) << data; }

void U32(std::string& s, uint32_t v) { s.append(reinterpret_cast<const char*>(&v), 4); }
void U64(std::string& s, uint64_t v) { s.append(reinterpret_cast<const char*>(&v), 8); }

std::string Header(uint32_t type, uint32_t size = 20)
{
    std::string s;
    U32(s, 0x00524D56);
    U32(s, size);
    U32(s, type);
    s += std::string("\0\0\x13\0\0\0\0\0", 8);
    s.resize(size, '\0');
    return s;
}

// A message file: header, version, a skipped block, the index, the texts.
std::string MessageFile(uint32_t version, const std::vector<std::pair<uint32_t, std::string>>& texts,
                        uint32_t lengthOverride = 0)
{
    std::string s = Header(0x60001);
    U32(s, version);
    U32(s, 3);
    s += "blk";
    U32(s, static_cast<uint32_t>(texts.size()));
    std::string records;
    for (const auto& t : texts) {
        U32(s, t.first);
        U64(s, records.size());
        records += 'x';
        U32(records, lengthOverride != 0 ? lengthOverride : static_cast<uint32_t>(t.second.size()));
        records += t.second;
    }
    return s + records;
}

}  // namespace

TEST(ZTFile, NewFileGetsTheHeader)
{
    CTempDir tmp("zt_ztfile");
    const std::wstring path = tmp.WPath() + L"/h.bin";
    CZTFile::ms_byCodeProduitCourant = 6;
    CZTFile f(0x70002);
    ASSERT_TRUE(f.bOpen(path.c_str(), static_cast<FMT>(0x1234), 2, 2, 576, 0));
    EXPECT_EQ(f.oGetOffset(), 20);
    f.Close();
    CZTFile::ms_byCodeProduitCourant = 0;
    const std::string expected("\x56\x4D\x52\x00\x14\x00\x00\x00\x02\x00\x07\x00\x00\x00\x13\x06\x34\x12\x00\x00", 20);
    EXPECT_EQ(Get(tmp.Path() + "/h.bin"), expected);
    EXPECT_EQ(CZTFile::byGetCodeProduit(path.c_str()), 6);
    EXPECT_EQ(CZTFile::dwIdFichierInconnu(path.c_str()), 0x70002u);

    CZTFile same(0x70002);
    ASSERT_TRUE(same.bOpen(path.c_str(), static_cast<FMT>(0), 0, 2, 0, 0));
    EXPECT_EQ(same.oGetOffset(), 20);
    EXPECT_EQ(same.wGetFormat(), 0x1234);
    // Opening an existing file with create 64 reads its header.
    CZTFile existing(0x70002);
    ASSERT_TRUE(existing.bOpen(path.c_str(), static_cast<FMT>(0), 2, 2, 64, 0));
    EXPECT_EQ(Get(tmp.Path() + "/h.bin").size(), 20u);
}

TEST(ZTFile, HeaderChecks)
{
    CTempDir tmp("zt_ztfile");
    const std::string p = tmp.Path() + "/c.bin";
    const std::wstring wp(p.begin(), p.end());
    Put(p, Header(0x70002));
    CZTFile other(0x70003);
    EXPECT_FALSE(other.bOpen(wp.c_str(), static_cast<FMT>(0), 0, 2, 0, 0));
    EXPECT_FALSE(other.bIsOpen());
    const CXError* e = other.pclGetXError();
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->nGetErrorId(0), 28259u);
    EXPECT_TRUE(e->bHasInfo(EIT_SRCFILE));
    EXPECT_NE(std::wstring(e->pszGetDebugMessage()).find(L"Type demande=<458755>, type lu=<458754>"),
              std::wstring::npos);

    // A wider header is skipped whole.
    Put(p, Header(8, 24) + "data");
    CZTFile wild(CZTFile::TYPE_WILDCARD);
    ASSERT_TRUE(wild.bOpen(wp.c_str(), static_cast<FMT>(0), 0, 2, 0, 0));
    EXPECT_EQ(wild.dwGetTypeId(), 8u);
    long long llPosition = 0;
    ASSERT_TRUE(wild.bReadHeader(&llPosition));
    EXPECT_EQ(llPosition, 24);
    EXPECT_EQ(wild.dwGetHeaderSize(), 24u);

    Put(p, Header(8, 20).replace(4, 1, "\x10"));
    CZTFile shortHeader(0);
    EXPECT_FALSE(shortHeader.bOpen(wp.c_str(), static_cast<FMT>(0), 0, 2, 0, 0));
    EXPECT_EQ(shortHeader.pclGetXError()->nGetErrorId(0), 28011u);

    Put(p, std::string(20, 'z'));
    CZTFile unsigned_(0);
    EXPECT_FALSE(unsigned_.bOpen(wp.c_str(), static_cast<FMT>(0), 0, 2, 0, 0));
    EXPECT_EQ(unsigned_.pclGetXError()->nGetErrorId(0), 28555u);
    EXPECT_EQ(CZTFile::dwIdFichierInconnu(wp.c_str()), 0u);
    EXPECT_EQ(CZTFile::dwIdFichierInconnu((wp + L"none").c_str()), 0xFFFFFFFFu);
}

TEST(ZTFile, TypeLists)
{
    EXPECT_TRUE(CZTFile::bIdReconnu(0x10007));
    EXPECT_FALSE(CZTFile::bIdReconnu(0x10008));
    EXPECT_TRUE(CZTFile::bIdReconnu(0xB0005));
    EXPECT_FALSE(CZTFile::bIdReconnu(0));
    EXPECT_TRUE(CZTFile::s_bIsProjet(0x1001));
    EXPECT_FALSE(CZTFile::s_bIsProjet(2));
    EXPECT_NE(CZTFile::s_pszVerNomProduit(20), nullptr);
    EXPECT_EQ(CZTFile::s_pszVerNomProduit(1), nullptr);
}

TEST(ZTMFile, TextsByNumberInBothCodePages)
{
    CTempDir tmp("zt_ztmfile");
    const std::string p = tmp.Path() + "/m.msg";
    const std::wstring wp(p.begin(), p.end());
    Put(p, MessageFile(1, {{5, "caf\xE9"}, {70000, "second"}}));
    CZTMFile m;
    ASSERT_TRUE(m.bVerifieFormat(wp.c_str()));
    CZTMFile f;
    ASSERT_TRUE(f.CZTFile::bOpen(wp.c_str(), static_cast<FMT>(0), 0, 2, 0, 0));
    EXPECT_EQ(f.dwGetCodePage(), 1252u);
    CTString text;
    ASSERT_TRUE(f.bLoadString(5, &text));
    EXPECT_STREQ(text.pszGet(), L"caf\u00e9");
    wchar_t buf[4];
    EXPECT_EQ(f.nLoadString(70000, buf, 4), 6);
    EXPECT_STREQ(buf, L"sec");
    EXPECT_FALSE(f.bLoadString(6, &text));
    EXPECT_EQ(f.nLoadString(6, buf, 4), 0);

    Put(p, MessageFile(2, {{1, "caf\xC3\xA9"}}));
    CZTMFile g;
    ASSERT_TRUE(g.CZTFile::bOpen(wp.c_str(), static_cast<FMT>(0), 0, 2, 0, 0));
    EXPECT_EQ(g.dwGetCodePage(), 65001u);
    ASSERT_TRUE(g.bLoadString(1, &text));
    EXPECT_STREQ(text.pszGet(), L"caf\u00e9");
}

TEST(ZTMFile, CountsAndLengthsPastTheFileAreRefused)
{
    CTempDir tmp("zt_ztmfile");
    const std::string p = tmp.Path() + "/bad.msg";
    const std::wstring wp(p.begin(), p.end());
    // A text length far past the end of the file.
    Put(p, MessageFile(2, {{1, "abc"}}, 0x7FFFFFF0));
    CZTMFile f;
    ASSERT_TRUE(f.CZTFile::bOpen(wp.c_str(), static_cast<FMT>(0), 0, 2, 0, 0));
    CTString text;
    EXPECT_FALSE(f.bLoadString(1, &text));

    // An index count past the end: the load fails once, and is not retried.
    std::string data = MessageFile(2, {{1, "abc"}});
    data.replace(20 + 4 + 4 + 3, 4, std::string("\xFF\xFF\xFF\x0F", 4));
    Put(p, data);
    CZTMFile g;
    ASSERT_TRUE(g.CZTFile::bOpen(wp.c_str(), static_cast<FMT>(0), 0, 2, 0, 0));
    EXPECT_FALSE(g._bChargeIndex());
    Put(p, MessageFile(2, {{1, "abc"}}));
    EXPECT_FALSE(g.bLoadString(1, &text));
    EXPECT_FALSE(g.bVerifieFormat((wp + L"x").c_str()));
}
