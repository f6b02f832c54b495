#include "mysql/NACodePageCnv.h"

#include "tests/support/HostBlocks.h"

#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>
#include <stdexcept>
#include <string>

namespace {

// Every test gives back the host blocks it took.
class NACodePageCnv : public testing::Test {
    CLiveBlockCheck m_check;
};

const int kWide = CNACodePageCnv::CODEPAGE_WIDE;

TEST_F(NACodePageCnv, InNullStaysNullAndEmptyStaysEmpty)
{
    for (int nCodePage : {1252, 65001, kWide}) {
        CNACodePageCnvIN clNull(nCodePage, nullptr);
        EXPECT_EQ(clNull.pszGet(), nullptr) << nCodePage;
        EXPECT_EQ(clNull.nGetLength(), 0) << nCodePage;

        CNACodePageCnvIN clEmpty(nCodePage, L"");
        ASSERT_NE(clEmpty.pszGet(), nullptr) << nCodePage;
        EXPECT_EQ(clEmpty.pszGet()[0], 0) << nCodePage;
        EXPECT_EQ(clEmpty.nGetLength(), 0) << nCodePage;
        EXPECT_EQ(clEmpty.nGetByteLength(), 0) << nCodePage;
    }
}

TEST_F(NACodePageCnv, InConvertsToTheCodePageAndCountsCharacters)
{
    struct {
        int nCodePage;
        const wchar_t* pszSource;
        std::string strBytes;
    } tab[] = {
        {65001, L"ab\u00e9", "ab\xc3\xa9"},
        {1252, L"ab\u00e9", "ab\xe9"},
        {1252, L"\u20ac", "\x80"},
        {65001, L"\u4e2d\U0001F600", "\xe4\xb8\xad\xf0\x9f\x98\x80"},
    };
    for (const auto& t : tab) {
        CNACodePageCnvIN cl(t.nCodePage, t.pszSource);
        EXPECT_EQ(cl.nGetLength(), static_cast<int>(std::wcslen(t.pszSource))) << t.strBytes;
        ASSERT_NE(cl.pszGet(), nullptr) << t.strBytes;
        EXPECT_EQ(std::string(cl.pszGet(), static_cast<size_t>(cl.nGetByteLength())), t.strBytes);
        EXPECT_EQ(cl.pszGet()[cl.nGetByteLength()], 0) << t.strBytes;
    }
}

TEST_F(NACodePageCnv, InWideCodePageHandsTheSourceOver)
{
    const wchar_t* psz = L"ab\u00e9";
    CNACodePageCnvIN cl(kWide, psz);
    EXPECT_EQ(cl.pszGet(), reinterpret_cast<const char*>(psz));
    EXPECT_EQ(cl.nGetLength(), 3);
    EXPECT_EQ(cl.nGetByteLength(), 12);
}

TEST_F(NACodePageCnv, ConvertedBlockGoesWithTheHolderAlsoOnAnException)
{
    try {
        CNACodePageCnvIN clIn(65001, L"d\u00e9j\u00e0");
        CNACodePageCnvOUTPtr clOut(65001, "d\xc3\xa9j\xc3\xa0");
        ASSERT_NE(clOut.pszGet(), nullptr);
        ASSERT_NE(clIn.pszGet(), nullptr);
        throw std::runtime_error("interrupted");
    } catch (const std::runtime_error&) {
    }
}

TEST_F(NACodePageCnv, InWithoutMemoryGivesTheEmptyText)
{
    CFailingAllocator failing(STRMEM_ERROR_TOO_LONG);
    CNACodePageCnvIN cl(65001, L"ab\u00e9");
    ASSERT_NE(cl.pszGet(), nullptr);
    EXPECT_EQ(cl.pszGet()[0], 0);
    EXPECT_EQ(cl.nGetLength(), 3);
}

TEST_F(NACodePageCnv, OutConvertsFromTheCodePage)
{
    struct {
        int nCodePage;
        const char* pszSource;
        const wchar_t* pszText;
    } tab[] = {
        {65001, "ab\xc3\xa9", L"ab\u00e9"},
        {1252, "ab\xe9\x80", L"ab\u00e9\u20ac"},
        {65001, "\xf0\x9f\x98\x80", L"\U0001F600"},
        {1252, "", L""},
        {65001, "", L""},
    };
    for (const auto& t : tab) {
        CNACodePageCnvOUTPtr cl(t.nCodePage, t.pszSource);
        EXPECT_EQ(cl.nGetByteLength(), static_cast<int>(std::strlen(t.pszSource)));
        const wchar_t* psz = cl.pszGet();
        ASSERT_NE(psz, nullptr) << t.pszSource;
        EXPECT_EQ(std::wstring(psz), t.pszText) << t.pszSource;
        // Converted once.
        EXPECT_EQ(cl.pszGet(), psz) << t.pszSource;
    }
}

TEST_F(NACodePageCnv, OutNullStaysNull)
{
    for (int nCodePage : {1252, 65001, kWide}) {
        CNACodePageCnvOUTPtr cl(nCodePage, nullptr);
        EXPECT_EQ(cl.pszGet(), nullptr) << nCodePage;
        EXPECT_EQ(cl.nGetByteLength(), 0) << nCodePage;
    }
}

TEST_F(NACodePageCnv, OutWideCodePageTakesTheWideCharacters)
{
    // Terminated: the source itself, measured in characters.
    const wchar_t* pszWide = L"ab\u00e9";
    CNACodePageCnvOUTPtr clPtr(kWide, reinterpret_cast<const char*>(pszWide));
    EXPECT_EQ(clPtr.nGetByteLength(), 12);
    EXPECT_EQ(clPtr.pszGet(), pszWide);

    // A length that ends before the terminator: a terminated copy.
    const wchar_t szLonger[] = L"abcd";
    CNACodePageCnvOUT clCut(kWide, reinterpret_cast<const char*>(szLonger), 8);
    const wchar_t* pszCut = clCut.pszGet();
    ASSERT_NE(pszCut, nullptr);
    EXPECT_NE(pszCut, szLonger);
    EXPECT_EQ(std::wstring(pszCut), L"ab");

    // Less than one character: the empty text.
    CNACodePageCnvOUT clNone(kWide, reinterpret_cast<const char*>(szLonger), 3);
    ASSERT_NE(clNone.pszGet(), nullptr);
    EXPECT_EQ(clNone.pszGet()[0], 0);
}

} // namespace
