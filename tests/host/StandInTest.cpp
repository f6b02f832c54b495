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
