// The stand-in runtime itself: the block format its allocator hands out and
// the locale service's orders, which the module's tests rely on.
#include "common/platform/InformationDLL.h"
#include "tests/support/TestHost.h"

#include <cstdint>
#include <cstring>

TEST(HostStandIn, AllocatorBlocksHaveTheHostHeaderAndAreCounted)
{
    struct Header {
        uint32_t dwFlags;
        int32_t nRefCount;
        uint32_t nCapacity;
        uint32_t nLength;
    };
    IStrMemAlloc* pAlloc = CInformationModule::ms_piStrMemAlloc;
    ASSERT_NE(pAlloc, nullptr);
    const int nStart = TestHost().nLiveBlocks();
    void* pData = nullptr;
    ASSERT_EQ(pAlloc->nAlloc(&pData, 10), 0);
    EXPECT_EQ((static_cast<const Header*>(pData) - 1)->nRefCount, 1);
    EXPECT_GE((static_cast<const Header*>(pData) - 1)->nCapacity, 10u);
    std::memset(pData, 'x', 14);  // with the terminator room
    EXPECT_EQ(TestHost().nLiveBlocks(), nStart + 1);
    ASSERT_EQ(pAlloc->nRealloc(&pData, 1000), 0);
    EXPECT_EQ(std::memcmp(pData, "xxxxxxxxxx", 10), 0);
    EXPECT_GE((static_cast<const Header*>(pData) - 1)->nCapacity, 1000u);
    pAlloc->Free(pData);
    EXPECT_EQ(TestHost().nLiveBlocks(), nStart);

    const int nBad = TestHost().nBadFrees();
    pAlloc->Free(pData);
    EXPECT_EQ(TestHost().nBadFrees(), nBad + 1);

    // Failures on request.
    TestHost().FailAllocationsAfter(0, 42);
    EXPECT_EQ(pAlloc->nAlloc(&pData, 4), 42);
    TestHost().FailAllocationsAfter(-1, 0);
}

TEST(HostStandIn, LocaleComparesMapsAndLogsItsCalls)
{
    IInfoLocale* pLocale = CInformationDLL::ms_piInfoLocale;
    ASSERT_NE(pLocale, nullptr);
    // "école" against "ECOLE": equal when case and accents are ignored only.
    const wchar_t szAccented[] = {0xE9, L'c', L'o', L'l', L'e', 0};
    EXPECT_EQ(pLocale->nCompareW(1024, 3, szAccented, -1, L"ECOLE", -1), 0);
    EXPECT_NE(pLocale->nCompareW(1024, 1, szAccented, -1, L"ECOLE", -1), 0);
    EXPECT_NE(pLocale->nCompareW(1024, 2, szAccented, -1, L"ECOLE", -1), 0);
    EXPECT_EQ(pLocale->nCompareW(1024, 4, L"a-b c", -1, L"abc", -1), 0);
    // 8-bit text is Windows-1252: 0x8A is S with caron.
    EXPECT_EQ(pLocale->nCompareA(1036, 3, "\x8A", 1, "s", 1), 0);

    TestHost().ClearLocaleCalls();
    wchar_t szOut[16] = {};
    const wchar_t szIn[] = {L'a', 0xE9, 0x3B1, 0};  // a, e acute, greek alpha
    EXPECT_EQ(pLocale->nMapStringW(1036, 1, szOut, 16, szIn, -1), 3);
    EXPECT_EQ(std::wstring(szOut), (std::wstring{L'A', 0xC9, 0x391}));
    EXPECT_EQ(pLocale->nMapStringCurrentW(0x100 | 2, szOut, 16, L"\x00C9T\x00C9", -1), 3);
    EXPECT_EQ(std::wstring(szOut), L"ete");
    ASSERT_EQ(TestHost().nLocaleCalls(), 2u);
    EXPECT_EQ(TestHost().LocaleCall(0).nSlot, 12);
    EXPECT_EQ(TestHost().LocaleCall(0).nLCID, 1036u);
    EXPECT_EQ(TestHost().LocaleCall(0).nFlags, 1u);
    EXPECT_EQ(TestHost().LocaleCall(1).nSlot, 14);
}

TEST(HostStandIn, SortKeysFollowTheComparison)
{
    // Letters order by their base letter before accents and case.
    IInfoLocale* pLocale = CInformationDLL::ms_piInfoLocale;
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
