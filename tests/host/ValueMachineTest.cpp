// The stand-in value machine on its own: its factory and decimal objects, and
// the converter's ownership of what it hands out.
#include "common/text/CodePage.h"
#include "common/values/AnyConvert.h"
#include "common/values/Decimal.h"
#include "host/ValueMachine.h"
#include "tests/support/TestHost.h"

#include <cstdint>
#include <cstring>
#include <dlfcn.h>

namespace {

void* Machine()
{
    static void* h = dlopen(ZT_BUILD_DIR "/" HOSTSTANDIN_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    return h;
}

template <class F>
F Entry(const char* pszName)
{
    void* p = dlsym(Machine(), pszName);
    F pfn;
    std::memcpy(&pfn, &p, sizeof(p));
    return pfn;
}

IHostValueMachine& Control()
{
    return *Entry<PFN_HOSTVM_CONTROL>(HOSTVM_CONTROL_ENTRY)();
}

IVMFactory* Factory()
{
    return Entry<PFN_VM_QUERYPROXY>("pQueryProxy")(VM_SERVICE_FACTORY);
}

// A decimal of the given text, made through the converter.
IDecimal* NewDecimal(const wchar_t* psz)
{
    unsigned char abySource[40] = {};
    std::memcpy(abySource, &psz, sizeof(psz));
    unsigned char abyResult[40] = {};
    EXPECT_EQ(Entry<PFN_VM_CONVERSION>("nConversionDepassementExt")(abySource, 110, abyResult, 13, 1, nullptr), 0);
    IDecimal* p;
    std::memcpy(&p, abyResult, sizeof(p));
    return p;
}

}  // namespace

TEST(HostValueMachine, FactoryCountsItsDecimals)
{
    ASSERT_NE(Machine(), nullptr);
    IVMFactory* piFactory = Factory();
    ASSERT_NE(piFactory, nullptr);
    EXPECT_EQ(Entry<PFN_VM_QUERYPROXY>("pQueryProxy")(101), nullptr);

    const int nStart = Control().nLiveDecimals();
    IDecimal* p = piFactory->piCreateObject(0);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(piFactory->piCreateObject(1), nullptr);  // only decimals are made
    EXPECT_EQ(Control().nLiveDecimals(), nStart + 1);
    piFactory->ReleaseObject(p);
    EXPECT_EQ(Control().nLiveDecimals(), nStart);

    const int nBad = Control().nBadReleases();
    piFactory->ReleaseObject(p);
    EXPECT_EQ(Control().nBadReleases(), nBad + 1);
}

TEST(HostValueMachine, DecimalBytesKeysAndBounds)
{
    IVMFactory* piFactory = Factory();
    const int nStart = Control().nLiveDecimals();
    IDecimal* a = NewDecimal(L"-123.45");
    IDecimal* b = piFactory->piCreateObject(0);
    EXPECT_TRUE(a->bIsNegative());
    EXPECT_EQ(a->nGetDigits(), 5);
    EXPECT_EQ(a->nGetDecimals(), 2);

    // Bytes for a precision and scale read back as the same number.
    unsigned char aby[IDecimal::DATA_SIZE] = {};
    ASSERT_EQ(a->nGetBytes(aby, 10, 3), 0);
    ASSERT_EQ(b->nSetBytes(aby, 10, 3), 0);
    EXPECT_EQ(b->nGetDigits(), 10);
    EXPECT_EQ(b->nGetDecimals(), 3);
    unsigned char abyA[IDecimal::DATA_SIZE], abyB[IDecimal::DATA_SIZE];
    a->nGetDataForm(abyA);
    ASSERT_EQ(b->nRescale(5, 2), 0);
    b->nGetDataForm(abyB);
    EXPECT_EQ(std::memcmp(abyA, abyB, sizeof(abyA)), 0);
    // 123.45 needs three integer digits.
    EXPECT_GT(b->nRescale(4, 2), 99);
    EXPECT_GT(a->nGetBytes(aby, 4, 2), 99);

    // Keys sort as the numbers, and read back.
    const wchar_t* apsz[] = {L"-1000", L"-2.5", L"-2", L"0", L"0.05", L"0.5", L"3", L"12.75"};
    unsigned char abyPrevious[IDecimal::KEY_SIZE] = {};
    for (int i = 0; i < 8; ++i) {
        IDecimal* p = NewDecimal(apsz[i]);
        unsigned char abyKey[IDecimal::KEY_SIZE];
        ASSERT_EQ(p->nGetKey(abyKey), 0);
        if (i > 0) {
            EXPECT_LT(std::memcmp(abyPrevious, abyKey, sizeof(abyKey)), 0) << "key of " << i;
        }
        std::memcpy(abyPrevious, abyKey, sizeof(abyKey));
        ASSERT_EQ(b->nSetKey(abyKey), 0);
        unsigned char abyP[IDecimal::DATA_SIZE];
        p->nGetDataForm(abyP);
        b->nGetDataForm(abyB);
        EXPECT_EQ(std::memcmp(abyP, abyB, sizeof(abyP)), 0) << "key of " << i;
        piFactory->ReleaseObject(p);
    }

    // The bounds lie outside every other value.
    unsigned char abyMin[IDecimal::KEY_SIZE], abyMax[IDecimal::KEY_SIZE], abyKey[IDecimal::KEY_SIZE];
    b->SetToMin();
    EXPECT_TRUE(b->bIsNegative());
    b->nGetKey(abyMin);
    b->SetToMax();
    b->nGetKey(abyMax);
    a->nGetKey(abyKey);
    EXPECT_LT(std::memcmp(abyMin, abyKey, sizeof(abyKey)), 0);
    EXPECT_LT(std::memcmp(abyKey, abyMax, sizeof(abyKey)), 0);

    piFactory->ReleaseObject(a);
    piFactory->ReleaseObject(b);
    EXPECT_EQ(Control().nLiveDecimals(), nStart);
}

TEST(HostValueMachine, ConversionResultsAreReleasedByFinConversion)
{
    CLiveBlockCheck check;
    auto pfnConvert = Entry<PFN_VM_CONVERSION>("nConversionDepassementExt");
    auto pfnFin = Entry<PFN_VM_FINCONVERSION>("FinConversion");
    const int nLive = TestHost().nLiveBlocks();

    unsigned char abySource[40] = {};
    const std::int32_t n = -1234;
    std::memcpy(abySource, &n, sizeof(n));
    unsigned char abyResult[40] = {};
    // To a wide host string: a block of the runtime's allocator.
    ASSERT_EQ(pfnConvert(abySource, 8, abyResult, 16, 0, nullptr), 0);
    const wchar_t* psz;
    std::memcpy(&psz, abyResult, sizeof(psz));
    ASSERT_NE(psz, nullptr);
    EXPECT_EQ(std::wcstol(psz, nullptr, 10), -1234);
    EXPECT_EQ(TestHost().nLiveBlocks(), nLive + 1);
    pfnFin(abyResult, 16);
    EXPECT_EQ(TestHost().nLiveBlocks(), nLive);

    // Back from the 8-bit text, in the code page of the options: UTF-8
    // "\xC3\xA9" is one character, in 1252 two.
    const char szUtf8[] = "\xC3\xA9";
    const char* pszUtf8 = szUtf8;
    std::memcpy(abySource, &pszUtf8, sizeof(pszUtf8));
    STOCAW stUtf8{65001};
    ASSERT_EQ(pfnConvert(abySource, 18, abyResult, 110, 0, &stUtf8), 0);
    std::memcpy(&psz, abyResult, sizeof(psz));
    EXPECT_EQ(std::wcscmp(psz, L"\u00E9"), 0);
    pfnFin(abyResult, 110);
    ASSERT_EQ(pfnConvert(abySource, 18, abyResult, 110, 0, nullptr), 0);
    std::memcpy(&psz, abyResult, sizeof(psz));
    EXPECT_EQ(std::wcslen(psz), 2u);
    pfnFin(abyResult, 110);

    // A type it does not know.
    EXPECT_EQ(pfnConvert(abySource, 18, abyResult, 83, 0, nullptr), 105);
    EXPECT_EQ(pfnConvert(abySource, 0, abyResult, 8, 0, nullptr), 102);
}
