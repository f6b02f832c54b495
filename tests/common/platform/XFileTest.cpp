// The file object: its own stream kept across close and open, a shared
// stream let go at close, failure without a stream, copies between files.
#include "common/platform/XFile.h"

#include "common/platform/DiskFile.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

namespace {

std::string Get(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// A stream that counts its destruction.
class CCountedStream : public CDiskFile {
public:
    explicit CCountedStream(int* pn) : m_pn(pn) {}
    ~CCountedStream() override { (*m_pn)++; }

private:
    int* m_pn;
};

}  // namespace

TEST(XFile, FreshObjectAnswersWithoutMakingAStream)
{
    CXFile f;
    EXPECT_FALSE(f.bIsOpen());
    EXPECT_EQ(f.pszGetName(), nullptr);
    EXPECT_EQ(f.pclGetXError(), nullptr);
    EXPECT_EQ(f.veGetAccess(), -1);
    EXPECT_EQ(f.piGetStream(), nullptr);
    // Forwarded operations fail instead of reaching a null stream.
    char c;
    EXPECT_FALSE(f.bRead(&c, 1, nullptr));
    EXPECT_FALSE(f.bWrite(&c, 1, nullptr));
    EXPECT_FALSE(f.bSeek(0, 0));
    EXPECT_EQ(f.oGetSize(), -1);
    EXPECT_EQ(f.oGetOffset(), -1);
    EXPECT_FALSE(f.bWriteString("x"));
    EXPECT_FALSE(f.bReadLineUNICODE(nullptr, 0, nullptr));
    EXPECT_FALSE(f.bLockFile(0, 1));
    f.Close();
}

TEST(XFile, OwnStreamIsKeptAcrossClose)
{
    CTempDir tmp("zt_xfile");
    const std::wstring path = tmp.WPath() + L"/f";
    CXFile f;
    ASSERT_TRUE(f.bOpen(path.c_str(), 2, 2, 576, 0, nullptr));
    const CXError* pclError = f.pclGetXError();
    ASSERT_NE(pclError, nullptr);
    EXPECT_EQ(f.piGetStream(), nullptr);
    ASSERT_TRUE(f.bWriteLine(L"ab"));
    f.Close();
    EXPECT_FALSE(f.bIsOpen());
    ASSERT_TRUE(f.bOpen(path.c_str(), 0, 2, 0, 0, nullptr));
    EXPECT_EQ(f.pclGetXError(), pclError);
    EXPECT_EQ(f.oGetSize(), 16);
    wchar_t buf[10];
    ASSERT_TRUE(f.bReadLineUNICODE(buf, 10, nullptr));
    EXPECT_STREQ(buf, L"ab");
}

TEST(XFile, SharedStreamIsLetGoAtClose)
{
    CTempDir tmp("zt_xfile");
    int nDestroyed = 0;
    CCountedStream* pStream = new CCountedStream(&nDestroyed);
    pStream->m_nRefCount++;
    {
        CXFile f(pStream);
        EXPECT_EQ(pStream->m_nRefCount, 2);
        EXPECT_EQ(f.piGetStream(), pStream);
        ASSERT_TRUE(f.bOpen((tmp.WPath() + L"/g").c_str(), 2, 2, 576, 0, nullptr));
        f.Close();
        EXPECT_EQ(pStream->m_nRefCount, 1);
        EXPECT_EQ(f.piGetStream(), nullptr);
    }
    EXPECT_EQ(nDestroyed, 0);
    EXPECT_EQ(pStream->dwRelease(), 0u);
    EXPECT_EQ(nDestroyed, 1);

    // SetStream shares the stream; the destructor gives it back.
    int nOther = 0;
    CCountedStream* pOther = new CCountedStream(&nOther);
    {
        CXFile f;
        f.SetStream(pOther);
        EXPECT_EQ(pOther->m_nRefCount, 1);
    }
    EXPECT_EQ(nOther, 1);
}

TEST(XFile, ExtractCopiesBlocksAndStopsAtTheEnd)
{
    CTempDir tmp("zt_xfile");
    std::string data;
    for (int i = 0; i < 200000; i++)
        data += static_cast<char>(i * 7);
    std::ofstream(tmp.Path() + "/src", std::ios::binary) << data;
    CXFile src, dst;
    ASSERT_TRUE(src.bOpen((tmp.WPath() + L"/src").c_str(), 0, 2, 0, 0, nullptr));
    ASSERT_TRUE(dst.bOpen((tmp.WPath() + L"/dst").c_str(), 1, 2, 576, 0, nullptr));
    ASSERT_TRUE(src.bExtract(&dst, 10));
    EXPECT_EQ(src.oGetOffset(), 10);
    ASSERT_TRUE(src.bSeek(100000, 0));
    ASSERT_TRUE(src.bExtract(&dst, -1));
    EXPECT_EQ(src.oGetOffset(), 200000);
    EXPECT_TRUE(src.bExtract(&dst, 0));
    dst.Close();
    EXPECT_EQ(Get(tmp.Path() + "/dst"), data.substr(0, 10) + data.substr(100000));
}
