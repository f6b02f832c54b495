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

template <class F>
F Entry(const char* pszName)
{
    static void* h = dlopen(ZT_BUILD_DIR "/" HOSTSTANDIN_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    void* p = dlsym(h, pszName);
    F pfn;
    std::memcpy(&pfn, &p, sizeof(p));
    return pfn;
}

IHostValueMachine& Control() { return *Entry<PFN_HOSTVM_CONTROL>(HOSTVM_CONTROL_ENTRY)(); }

IVMFactory* Factory() { return Entry<PFN_VM_QUERYPROXY>("pQueryProxy")(VM_SERVICE_FACTORY); }

// A decimal of the given text, made through the converter.
IDecimal* NewDecimal(const wchar_t* psz)
{
    unsigned char abySource[40] = {}, abyResult[40] = {};
    std::memcpy(abySource, &psz, sizeof(psz));
    EXPECT_EQ(Entry<PFN_VM_CONVERSION>("nConversionDepassementExt")(abySource, 110, abyResult, 13, 1, nullptr), 0);
    IDecimal* p;
    std::memcpy(&p, abyResult, sizeof(p));
    return p;
}

}  // namespace

TEST(HostValueMachine, FactoryCountsItsDecimals)
{
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

    // Bytes for a precision and scale read back as the same number; 123.45
    // needs three integer digits.
    unsigned char aby[IDecimal::DATA_SIZE] = {}, abyA[IDecimal::DATA_SIZE], abyB[IDecimal::DATA_SIZE];
    ASSERT_EQ(a->nGetBytes(aby, 10, 3), 0);
    ASSERT_EQ(b->nSetBytes(aby, 10, 3), 0);
    ASSERT_EQ(b->nRescale(5, 2), 0);
    a->nGetDataForm(abyA);
    b->nGetDataForm(abyB);
    EXPECT_EQ(std::memcmp(abyA, abyB, sizeof(abyA)), 0);
    EXPECT_GT(b->nRescale(4, 2), 99);

    // Keys sort as the numbers, read back, and the bounds lie outside them.
    const wchar_t* apsz[] = {L"-1000", L"-2.5", L"-2", L"0", L"0.05", L"0.5", L"3", L"12.75"};
    unsigned char abyPrevious[IDecimal::KEY_SIZE], abyKey[IDecimal::KEY_SIZE];
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
        piFactory->ReleaseObject(p);
    }
    b->SetToMax();
    b->nGetKey(abyKey);
    EXPECT_LT(std::memcmp(abyPrevious, abyKey, sizeof(abyKey)), 0);

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

    // To a wide host string: a block of the runtime's allocator.
    unsigned char abySource[40] = {}, abyResult[40] = {};
    const std::int32_t n = -1234;
    std::memcpy(abySource, &n, sizeof(n));
    ASSERT_EQ(pfnConvert(abySource, 8, abyResult, 16, 0, nullptr), 0);
    const wchar_t* psz;
    std::memcpy(&psz, abyResult, sizeof(psz));
    EXPECT_EQ(std::wcstol(psz, nullptr, 10), -1234);
    EXPECT_EQ(TestHost().nLiveBlocks(), nLive + 1);
    pfnFin(abyResult, 16);
    EXPECT_EQ(TestHost().nLiveBlocks(), nLive);

    // Back from the 8-bit text, in the code page of the options: UTF-8
    // "\xC3\xA9" is one character, in 1252 two.
    const char* pszUtf8 = "\xC3\xA9";
    std::memcpy(abySource, &pszUtf8, sizeof(pszUtf8));
    const STOCAW stUtf8{65001};
    for (const STOCAW* pst : {&stUtf8, static_cast<const STOCAW*>(nullptr)}) {
        ASSERT_EQ(pfnConvert(abySource, 18, abyResult, 110, 0, pst), 0);
        std::memcpy(&psz, abyResult, sizeof(psz));
        EXPECT_EQ(std::wcslen(psz), pst != nullptr ? 1u : 2u);
        pfnFin(abyResult, 110);
    }

    // A type it does not know; the empty value.
    EXPECT_EQ(pfnConvert(abySource, 18, abyResult, 83, 0, nullptr), 105);
    EXPECT_EQ(pfnConvert(abySource, 0, abyResult, 8, 0, nullptr), 102);
}
