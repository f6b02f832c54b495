// Text on a stream: the two line readers in both modes and across chunk
// boundaries, the separator reader, formatted writes, whole text files.
#include "common/platform/DiskFile.h"

#include "common/text/Tstring.h"
#include "common/text/XYString.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

namespace {

void Put(const std::string& path, const std::string& data) { std::ofstream(path, std::ios::binary) << data; }

std::string Get(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Every line the 8-bit reader gives, until it answers false.
std::vector<std::string> Lines8(const std::string& path, unsigned flags, unsigned size = 256)
{
    CDiskFile f;
    std::vector<std::string> lines;
    if (!f.bOpen(std::wstring(path.begin(), path.end()).c_str(), 0, 2, 0, 0, nullptr))
        return lines;
    std::vector<char> buf(size);
    int bTruncated = 0;
    for (int guard = 0; guard < 1000 && f.bReadLine(buf.data(), size, &bTruncated, flags); guard++)
        lines.push_back(std::string(buf.data()) + (bTruncated ? "~" : ""));
    return lines;
}

std::string Wide(const std::wstring& s)
{
    return std::string(reinterpret_cast<const char*>(s.data()), s.size() * sizeof(wchar_t));
}

}  // namespace

TEST(StreamText, DefaultModeLines)
{
    CTempDir tmp("zt_text");
    const std::string p = tmp.Path() + "/t";
    struct Case {
        std::string data;
        std::vector<std::string> lines;
    } cases[] = {
        {"a\r\nb\nc", {"a", "b", "c"}},
        {"a\rb\n\nc\r", {"a", "b", "", "c"}},
        // The earliest end wins even when an LF comes before a CR.
        {"x\ny\rz", {"x", "y", "z"}},
        {std::string(80, 'q') + "\r\nnext", {std::string(80, 'q'), "next"}},
        {std::string(79, 'r') + "\r\nnext", {std::string(79, 'r'), "next"}},
        {std::string(160, 's'), {std::string(160, 's')}},
        {std::string(80, 't') + "\r", {std::string(80, 't')}},
        {"", {}},
    };
    for (const Case& c : cases) {
        Put(p, c.data);
        EXPECT_EQ(Lines8(p, 0), c.lines) << c.data.size();
    }
}

TEST(StreamText, CRLFModeLines)
{
    CTempDir tmp("zt_text");
    const std::string p = tmp.Path() + "/t";
    Put(p, "a\rb\r\nc\nd");
    EXPECT_EQ(Lines8(p, 1), (std::vector<std::string>{"a\rb", "c\nd"}));
    // A CR LF split by the chunk edge is found whole.
    Put(p, std::string(79, 'u') + "\r\nv");
    EXPECT_EQ(Lines8(p, 1), (std::vector<std::string>{std::string(79, 'u'), "v"}));
    Put(p, std::string(79, 'u') + "\rw");
    EXPECT_EQ(Lines8(p, 1), (std::vector<std::string>{std::string(79, 'u') + "\rw"}));
}

TEST(StreamText, LongLinesAreCutAndContinued)
{
    CTempDir tmp("zt_text");
    const std::string p = tmp.Path() + "/t";
    Put(p, "abcdefgh\nij");
    EXPECT_EQ(Lines8(p, 0, 5), (std::vector<std::string>{"abcd~", "efgh", "ij"}));
}

TEST(StreamText, ExactlyEightyCharactersLeaveTheStreamAfterTheEnd)
{
    CTempDir tmp("zt_text");
    const std::string p = tmp.Path() + "/t";
    Put(p, std::string(80, 'k') + "\r\nZ");
    CDiskFile f;
    ASSERT_TRUE(f.bOpen(std::wstring(p.begin(), p.end()).c_str(), 0, 2, 0, 0, nullptr));
    char buf[200];
    ASSERT_TRUE(f.bReadLine(buf, sizeof(buf), nullptr, 0));
    EXPECT_EQ(f.oGetOffset(), 82);
}

TEST(StreamText, WideLines)
{
    CTempDir tmp("zt_text");
    const std::string p = tmp.Path() + "/w";
    Put(p, Wide(std::wstring(100, L'\u00e9') + L"\r\nsecond\rthird"));
    CDiskFile f;
    ASSERT_TRUE(f.bOpen(std::wstring(p.begin(), p.end()).c_str(), 0, 2, 0, 0, nullptr));
    wchar_t buf[300];
    int bTruncated = 1;
    ASSERT_TRUE(f.bReadLine(buf, 300, &bTruncated, 0));
    EXPECT_EQ(std::wstring(buf), std::wstring(100, L'\u00e9'));
    EXPECT_EQ(bTruncated, 0);
    ASSERT_TRUE(f.bReadLine(buf, 300, &bTruncated, 0));
    EXPECT_STREQ(buf, L"second");
    ASSERT_TRUE(f.bReadLine(buf, 300, &bTruncated, 0));
    EXPECT_STREQ(buf, L"third");
    EXPECT_FALSE(f.bReadLine(buf, 300, &bTruncated, 0));
}

TEST(StreamText, SeparatorReaderAcrossBlocks)
{
    CTempDir tmp("zt_text");
    const std::string p = tmp.Path() + "/sep";
    // The first line ends with a CR LF split between two blocks of 16,384
    // characters; the third is longer than the buffer.
    std::wstring first(16383, L'a');
    std::wstring data = first + L"\r\nb\n" + std::wstring(50, L'c') + L"\r\nd";
    Put(p, Wide(data));
    CDiskFile f;
    ASSERT_TRUE(f.bOpen(std::wstring(p.begin(), p.end()).c_str(), 0, 2, 0, 0, nullptr));
    std::vector<wchar_t> buf(20000);
    CTString over;
    const wchar_t* line = f.pszReadLine(buf.data(), 20000, &over, nullptr);
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(std::wstring(line), first);
    line = f.pszReadLine(buf.data(), 20000, &over, nullptr);
    ASSERT_NE(line, nullptr);
    EXPECT_STREQ(line, L"b");
    line = f.pszReadLine(buf.data(), 10, &over, nullptr);
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(std::wstring(line), std::wstring(50, L'c'));
    line = f.pszReadLine(buf.data(), 20000, &over, nullptr);
    ASSERT_NE(line, nullptr);
    EXPECT_STREQ(line, L"d");
    EXPECT_EQ(f.pszReadLine(buf.data(), 20000, &over, nullptr), nullptr);

    // A separator of several characters split between two blocks.
    std::wstring sepData = std::wstring(16382, L'x') + L"<=>y<=>";
    Put(p, Wide(sepData));
    CDiskFile g;
    ASSERT_TRUE(g.bOpen(std::wstring(p.begin(), p.end()).c_str(), 0, 2, 0, 0, nullptr));
    line = g.pszReadLine(buf.data(), 20000, &over, L"<=>");
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(std::wstring(line), std::wstring(16382, L'x'));
    line = g.pszReadLine(buf.data(), 20000, &over, L"<=>");
    ASSERT_NE(line, nullptr);
    EXPECT_STREQ(line, L"y");
    // Data ending with a separator gives one last empty line.
    line = g.pszReadLine(buf.data(), 20000, &over, L"<=>");
    ASSERT_NE(line, nullptr);
    EXPECT_STREQ(line, L"");
    EXPECT_EQ(g.pszReadLine(buf.data(), 20000, &over, L"<=>"), nullptr);
}

TEST(StreamText, FormattedWritesAreWhole)
{
    CTempDir tmp("zt_text");
    const std::string p = tmp.Path() + "/out";
    CDiskFile f;
    ASSERT_TRUE(f.bOpen(std::wstring(p.begin(), p.end()).c_str(), 1, 2, 576, 0, nullptr));
    const std::string big(2000, 'z');
    ASSERT_TRUE(f.bWriteString("%s|%d", big.c_str(), 42));
    ASSERT_TRUE(f.bWriteString(""));
    ASSERT_TRUE(f.bWriteString(L"%s-%S", L"w\u00e9", "n"));
    f.Close();
    EXPECT_EQ(Get(p), big + "|42" + Wide(L"w\u00e9-n"));
}

TEST(StreamText, WholeTextFileByItsMark)
{
    CTempDir tmp("zt_text");
    const std::string p = tmp.Path() + "/bom";
    const std::wstring wp(p.begin(), p.end());
    struct Case {
        std::string data;
        std::wstring text;
        CDiskFile::etxType type;
    } cases[] = {
        {std::string("\xFF\xFE" "A\0B\0", 6), L"AB", CDiskFile::TXT_UTF16},
        {std::string("\xFE\xFF\0A\0B", 6), L"AB", CDiskFile::TXT_UTF16},
        {"\xEF\xBB\xBF" "caf\xC3\xA9", L"caf\u00e9", CDiskFile::TXT_UTF8},
        {"caf\xC3\xA9", L"caf\u00e9", CDiskFile::TXT_UTF8},
        {"caf\xE9", L"caf\u00e9", CDiskFile::TXT_CODEPAGE},
        {"", L"", CDiskFile::TXT_CODEPAGE},
    };
    for (const Case& c : cases) {
        Put(p, c.data);
        CXYString<wchar_t> out;
        CDiskFile::etxType type = CDiskFile::TXT_UTF16;
        ASSERT_TRUE(CDiskFile::bChargeTexteBOM(out, wp.c_str(), 1252, &type)) << c.data;
        EXPECT_EQ(std::wstring(out.pszGet()), c.text) << c.data;
        EXPECT_EQ(out.nGetLength(), static_cast<int>(c.text.size()));
        EXPECT_EQ(type, c.type) << c.data;
    }
    CXYString<wchar_t> out;
    EXPECT_FALSE(CDiskFile::bChargeTexteBOM(out, (wp + L"none").c_str(), 1252, nullptr));
}
