// The stand-in value machine on its own, bound as the module binds it: its
// decimal objects and the converter's ownership of what it hands out.
#include "common/values/AnyConvert.h"
#include "common/values/Decimal.h"
#include "tests/support/ValueCells.h"

#include <cstdint>
#include <cstring>

namespace {

// A decimal of the given text, made through the converter.
IDecimal* NewDecimal(const wchar_t* psz)
{
    unsigned char abySource[40] = {}, abyResult[40] = {};
    std::memcpy(abySource, &psz, sizeof(psz));
    EXPECT_EQ(gpfnConvDepExt(abySource, TQTYPE_PSTRW, abyResult, TQTYPE_DECIMAL, 1, nullptr), 0);
    IDecimal* p;
    std::memcpy(&p, abyResult, sizeof(p));
    return p;
}

}  // namespace

TEST(HostValueMachine, DecimalsAreCountedAndTheirKeysSortAsTheNumbers)
{
    BindValueMachine();
    const int nStart = Machine().nLiveDecimals(), nBad = Machine().nBadReleases();
    IDecimal* b = gpiVMFactory->piCreateObject(0);
    EXPECT_EQ(Machine().nLiveDecimals(), nStart + 1);

    // Keys sort as the numbers, read back, and the bounds lie outside them.
    const wchar_t* apsz[] = {L"-1000", L"-2.5", L"-2", L"0", L"0.05", L"0.5", L"3", L"12.75"};
    unsigned char abyPrevious[IDecimal::KEY_SIZE], abyKey[IDecimal::KEY_SIZE];
    unsigned char abyA[IDecimal::DATA_SIZE], abyB[IDecimal::DATA_SIZE];
    b->SetToMin();
    b->nGetKey(abyPrevious);
    for (const wchar_t* psz : apsz) {
        IDecimal* p = NewDecimal(psz);
        ASSERT_EQ(p->nGetKey(abyKey), 0);
        EXPECT_LT(std::memcmp(abyPrevious, abyKey, sizeof(abyKey)), 0) << "key of " << psz;
        std::memcpy(abyPrevious, abyKey, sizeof(abyKey));
        ASSERT_EQ(b->nSetKey(abyKey), 0);
        p->nGetDataForm(abyA);
        b->nGetDataForm(abyB);
        EXPECT_EQ(std::memcmp(abyA, abyB, sizeof(abyA)), 0) << "key of " << psz;
        gpiVMFactory->ReleaseObject(p);
    }
    b->SetToMax();
    b->nGetKey(abyKey);
    EXPECT_LT(std::memcmp(abyPrevious, abyKey, sizeof(abyKey)), 0);

    gpiVMFactory->ReleaseObject(b);
    EXPECT_EQ(Machine().nLiveDecimals(), nStart);
    gpiVMFactory->ReleaseObject(b);
    EXPECT_EQ(Machine().nBadReleases(), nBad + 1);
}

TEST(HostValueMachine, ConversionResultsAreReleasedByFinConversion)
{
    BindValueMachine();
    CLiveBlockCheck check;
    const int nLive = TestHost().nLiveBlocks();
    // To a wide host string: a block of the runtime's allocator.
    unsigned char abySource[40] = {}, abyResult[40] = {};
    const std::int32_t n = -1234;
    std::memcpy(abySource, &n, sizeof(n));
    ASSERT_EQ(gpfnConvDepExt(abySource, TQTYPE_I4, abyResult, TQTYPE_DSTRW, 0, nullptr), 0);
    const wchar_t* psz;
    std::memcpy(&psz, abyResult, sizeof(psz));
    EXPECT_EQ(std::wcstol(psz, nullptr, 10), -1234);
    EXPECT_EQ(TestHost().nLiveBlocks(), nLive + 1);
    gpfnFinConv(abyResult, TQTYPE_DSTRW);
    EXPECT_EQ(TestHost().nLiveBlocks(), nLive);
}
