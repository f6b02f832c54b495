// The stand-in runtime itself: the block format its allocator hands out and
// the locale service's orders, which the module's tests rely on.
#include "common/platform/InformationDLL.h"
#include "common/text/TextCompare.h"
#include "tests/support/TestHost.h"

#include <cstdint>
#include <cstring>
#include <string>

TEST(HostStandIn, AllocatorBlocksHaveTheHostHeaderAndAreCounted)
{
    struct Header {
        uint32_t dwFlags;
        int32_t nRefCount;
        uint32_t nCapacity, nLength;
    };
    IStrMemAlloc* pAlloc = CInformationModule::ms_piStrMemAlloc;
    ASSERT_NE(pAlloc, nullptr);
    const int nStart = TestHost().nLiveBlocks(), nBad = TestHost().nBadFrees();
    void* pData = nullptr;
    ASSERT_EQ(pAlloc->nAlloc(&pData, 10), 0);
    EXPECT_EQ((static_cast<const Header*>(pData) - 1)->nRefCount, 1);
    EXPECT_GE((static_cast<const Header*>(pData) - 1)->nCapacity, 10u);
    std::memset(pData, 'x', 14);  // with the terminator room
    EXPECT_EQ(TestHost().nLiveBlocks(), nStart + 1);
    pAlloc->Free(pData);
    pAlloc->Free(pData);  // again: counted as bad, not done
    EXPECT_EQ(TestHost().nLiveBlocks(), nStart);
    EXPECT_EQ(TestHost().nBadFrees(), nBad + 1);
}

TEST(HostStandIn, LocaleOrdersAndSortKeys)
{
    IInfoLocale* pLocale = CInformationDLL::ms_piInfoLocale;
    ASSERT_NE(pLocale, nullptr);
    // 8-bit text is Windows-1252: 0x8A is S with caron.
    EXPECT_EQ(pLocale->nCompareA(1036, 3, "\x8A", 1, "s", 1), 0);

    // Letters order by their base letter before accents and case; the sort
    // keys order as the comparison.
    const wchar_t* texts[] = {L"abc", L"ABC", L"abd", L"ab", L"\x00E9t\x00E9", L"ete", L"f"};
    EXPECT_LT(pLocale->nCompareW(1036, 0, texts[4], -1, L"f", -1), 0);
    for (const wchar_t* a : texts) {
        for (const wchar_t* b : texts) {
            unsigned char ka[128], kb[128];
            const int na = pLocale->nMapStringSort(1036, ka, sizeof ka, a, -1);
            const int nb = pLocale->nMapStringSort(1036, kb, sizeof kb, b, -1);
            ASSERT_GT(na, 0);
            int byKey = std::memcmp(ka, kb, static_cast<size_t>(na < nb ? na : nb));
            if (byKey == 0)
                byKey = na - nb;
            EXPECT_EQ(byKey < 0 ? -1 : (byKey > 0 ? 1 : 0), pLocale->nCompareW(1036, 0, a, -1, b, -1));
        }
    }
}

// Texts of the same characters compare equal whatever their lengths are
// given as; a prefix or one more character does not, in all four forms.
TEST(HostStandIn, LocaleComparesByTheGivenLengths)
{
    IInfoLocale* pLocale = CInformationDLL::ms_piInfoLocale;
    ASSERT_NE(pLocale, nullptr);
    const struct {
        const char* a;
        int la;
        const char* b;
        int lb;
        int expected;
    } rows[] = {
        {"abc", 2, "ab", -1, 0}, {"ab", -1, "abc", 2, 0},  {"abc", -1, "abc", -1, 0}, {"abc", 3, "abd", 2, 1},
        {"ab", -1, "abc", -1, -1}, {"abc", -1, "ab", 2, 1}, {"", -1, "", 0, 0},        {"a", 0, "", -1, 0},
        {"abd", -1, "abc", -1, 1}, {"ab", 2, "ac", 2, -1},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::Message() << r.a << "/" << r.la << " vs " << r.b << "/" << r.lb);
        const std::wstring wa(r.a, r.a + std::strlen(r.a)), wb(r.b, r.b + std::strlen(r.b));
        EXPECT_EQ(pLocale->nCompareA(1036, 0, r.a, r.la, r.b, r.lb), r.expected);
        EXPECT_EQ(pLocale->nCompareW(1036, 0, wa.c_str(), r.la, wb.c_str(), r.lb), r.expected);
        EXPECT_EQ(pLocale->nCompareCurrentA(0, r.a, r.la, r.b, r.lb), r.expected);
        EXPECT_EQ(pLocale->nCompareCurrentW(0, wa.c_str(), r.la, wb.c_str(), r.lb), r.expected);
    }
}

// 8-bit case mapping stays in Windows-1252: every byte maps as its character
// does in the wide service when the result is in the page, and is kept
// otherwise (the micro sign and f with hook have their other case outside).
TEST(HostStandIn, EightBitCaseMappingStaysInThePage)
{
    IInfoLocale* pLocale = CInformationDLL::ms_piInfoLocale;
    ASSERT_NE(pLocale, nullptr);
    const struct {
        unsigned nFlags;
        unsigned char c, expected;
    } rows[] = {
        {1, 0xB5, 0xB5},   {1, 0x83, 0x83},   {0x100, 0xB5, 0xB5}, {1, 'a', 'A'},
        {1, 0xE9, 0xC9},   {1, 0xFF, 0x9F},   {1, 0x9A, 0x8A},     {0x100, 0x8A, 0x9A},
        {0x100, 0x9F, 0xFF}, {0x100, 0xC9, 0xE9}, {1, 0xDF, 0xDF},
    };
    for (const auto& r : rows) {
        char out[2] = {0, 0};
        const char c = static_cast<char>(r.c);
        EXPECT_EQ(pLocale->nMapStringA(1036, r.nFlags, out, 2, &c, 1), 1) << std::hex << unsigned(r.c);
        EXPECT_EQ(static_cast<unsigned char>(out[0]), r.expected) << std::hex << unsigned(r.c);
    }
    for (unsigned nFlags : {1u, 0x100u}) {
        char all[255];
        for (int b = 1; b < 256; ++b)
            all[b - 1] = static_cast<char>(b);
        char mapped[256] = {};
        ASSERT_EQ(pLocale->nMapStringA(1036, nFlags, mapped, 256, all, 255), 255);
        // The module's own in-place form goes through the same service.
        char inPlace[256] = {};
        std::memcpy(inPlace, all, sizeof all);
        if (nFlags == 1)
            STR_ToUpperBuff(inPlace, 255);
        else
            STR_ToLowerBuff(inPlace, 255);
        for (int b = 1; b < 256; ++b) {
            SCOPED_TRACE(testing::Message() << "byte 0x" << std::hex << b << " flags 0x" << nFlags);
            const wchar_t wc = STR_FromCP1252(static_cast<unsigned char>(b));
            wchar_t wMapped[2] = {0, 0};
            ASSERT_EQ(pLocale->nMapStringW(1036, nFlags, wMapped, 2, &wc, 1), 1);
            unsigned char inPage = 0;
            const unsigned char expected =
                STR_bIsCp1252(wMapped[0], inPage) ? inPage : static_cast<unsigned char>(b);
            EXPECT_EQ(static_cast<unsigned char>(mapped[b - 1]), expected);
            EXPECT_EQ(static_cast<unsigned char>(inPlace[b - 1]), expected);
        }
    }
}
