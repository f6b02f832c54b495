// The value holder: typed setters, copies, equality and ordering, the
// emptiness and zero tests, the checksum and the decimal information. Host
// conversions and operators come from the stand-in runtime's value machine.
#include "common/values/NAVariant.h"

#include "common/text/Tstring.h"
#include "common/text/XYString.h"
#include "common/values/AnyConvert.h"
#include "common/values/Decimal.h"
#include "common/values/monetaire.h"
#include "host/HostStandIn.h"
#include "tests/support/TestHost.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <dlfcn.h>

namespace {

void Bind()
{
    TestHost();
    static void* h = dlopen(ZT_BUILD_DIR "/" HOSTSTANDIN_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(bInitTQConvFromVM(h, 2, 2), 1);
    ASSERT_EQ(bInitTQCalcFromVM(h, 2, 2), 1);
}

template <class T>
T Read(const CAny* p)
{
    T v;
    std::memcpy(&v, p->pbyGetValeur(), sizeof(v));
    return v;
}

void SetText8(CAny* p, const char* psz)
{
    p->__SetType(TQTYPE_DSTRA, 0);
    p->pclGetTraitement()->SetValue(psz, static_cast<unsigned int>(std::strlen(psz)));
}

void SetText8(CNAVariant* v, const char* psz)
{
    SetText8(v->pclGetValue(), psz);
}

TEST(NAVariant, NewHolderIsEmpty)
{
    CNAVariant v;
    EXPECT_EQ(v.pclGetValue()->nGetType(), 0);
    EXPECT_TRUE(v.vbIsEmpty());
    EXPECT_EQ(v.pGetData(), nullptr);
    EXPECT_EQ(v.nGetSize(), 0u);
    EXPECT_EQ(v.nChecksum32(), 0u);
    EXPECT_EQ(v.pclGetCnx(), nullptr);
    const CAny* pc = nullptr;
    CAny* p = nullptr;
    EXPECT_EQ(v.bGetValue(&pc), 1);
    EXPECT_EQ(v.bGetValue(&p), 1);
    EXPECT_EQ(pc, v.pclGetValue());
    EXPECT_EQ(p, v.pclGetValue());
}

TEST(NAVariant, TypedSettersSetTypeValueAndClearFlags)
{
    CNAVariant v;
    // Every setter clears NULL and the kept flag left by the former value.
    auto Flag = [&v] { v.pclGetValue()->SetFlags(TQFLAG_NULL | TQFLAG_0400); };

    Flag();
    EXPECT_EQ(v.bSetValue(true), 1);
    EXPECT_EQ(v.pclGetValue()->nGetType(), 1);
    EXPECT_EQ(Read<std::int32_t>(v.pclGetValue()), 1);
    EXPECT_EQ(v.bSetValue(false), 1);
    EXPECT_EQ(Read<std::int32_t>(v.pclGetValue()), 0);

    Flag();
    v.bSetValue(static_cast<unsigned char>(200));
    EXPECT_EQ(v.pclGetValue()->nGetType(), 2);
    EXPECT_EQ(Read<std::uint8_t>(v.pclGetValue()), 200);
    Flag();
    v.bSetValue(static_cast<unsigned short>(60000));
    EXPECT_EQ(v.pclGetValue()->nGetType(), 3);
    EXPECT_EQ(Read<std::uint16_t>(v.pclGetValue()), 60000);
    Flag();
    v.bSetValue(4000000000u);
    EXPECT_EQ(v.pclGetValue()->nGetType(), 4);
    EXPECT_EQ(Read<std::uint32_t>(v.pclGetValue()), 4000000000u);
    Flag();
    v.bSetValue(18000000000000000000ull);
    EXPECT_EQ(v.pclGetValue()->nGetType(), 5);
    EXPECT_EQ(Read<std::uint64_t>(v.pclGetValue()), 18000000000000000000ull);
    Flag();
    v.bSetValue(static_cast<char>(-5));
    EXPECT_EQ(v.pclGetValue()->nGetType(), 6);
    EXPECT_EQ(Read<std::int8_t>(v.pclGetValue()), -5);
    Flag();
    v.bSetValue(static_cast<short>(-300));
    EXPECT_EQ(v.pclGetValue()->nGetType(), 7);
    EXPECT_EQ(Read<std::int16_t>(v.pclGetValue()), -300);
    Flag();
    v.bSetValue(-70000);
    EXPECT_EQ(v.pclGetValue()->nGetType(), 8);
    EXPECT_EQ(Read<std::int32_t>(v.pclGetValue()), -70000);
    Flag();
    v.bSetValue(-5000000000ll);
    EXPECT_EQ(v.pclGetValue()->nGetType(), 9);
    EXPECT_EQ(Read<std::int64_t>(v.pclGetValue()), -5000000000ll);
    Flag();
    const CMoney m = {{1, 2, 3, 4, 5}};
    v.bSetValue(m);
    EXPECT_EQ(v.pclGetValue()->nGetType(), 10);
    EXPECT_EQ(std::memcmp(v.pclGetValue()->pbyGetValeur(), &m, sizeof(m)), 0);
    Flag();
    v.bSetValue(1.5f);
    EXPECT_EQ(v.pclGetValue()->nGetType(), 11);
    EXPECT_EQ(Read<float>(v.pclGetValue()), 1.5f);
    Flag();
    v.bSetValue(-2.25);
    EXPECT_EQ(v.pclGetValue()->nGetType(), 12);
    EXPECT_EQ(Read<double>(v.pclGetValue()), -2.25);
    EXPECT_EQ(v.eNAGetItemTypeValue(), NA_IT_R8);

    // Raw bytes keep the type.
    v.bSetValue(7);
    Flag();
    const std::int32_t n = 1234;
    EXPECT_EQ(v.bSetValue(reinterpret_cast<const unsigned char*>(&n), sizeof(n)), 1);
    EXPECT_EQ(v.pclGetValue()->nGetType(), 8);
    EXPECT_EQ(Read<std::int32_t>(v.pclGetValue()), 1234);
    EXPECT_EQ(v.nGetSize(), 4u);
    EXPECT_EQ(v.pGetData(), v.pclGetValue()->pbyGetValeur());
}

TEST(NAVariant, CopiesDuplicateWithoutSharingOrLeaking)
{
    CLiveBlockCheck check;
    {
        CNAVariant a, b;
        SetText8(&a, "hello");
        a.pclGetValue()->SetFlags(TQFLAG_0400);
        EXPECT_EQ(b.bCopyVariant(&a), 1);
        EXPECT_EQ(b.pclGetValue()->nGetType(), TQTYPE_DSTRA | TQFLAG_0400);
        EXPECT_STREQ(static_cast<const char*>(b.pGetData()), "hello");
        EXPECT_EQ(b.nCmp(&a), 0);

        // Changing the copy leaves the source alone.
        SetText8(&b, "world");
        EXPECT_STREQ(static_cast<const char*>(a.pGetData()), "hello");

        CAny out;
        out.__SetType(TQTYPE_R8, 0);
        EXPECT_EQ(a.bGetValue(&out), 1);
        EXPECT_EQ(out.nGetTypeCode(), TQTYPE_DSTRA);
        EXPECT_EQ(a.bSetValue(a.pclGetValue()), 1);
        EXPECT_STREQ(static_cast<const char*>(a.pGetData()), "hello");

        CAny src;
        src.__SetType(TQTYPE_I4, 0);
        const std::int32_t n = 42;
        src.pclGetTraitement()->SetValue(&n);
        EXPECT_EQ(a.bSetValue(&src), 1);
        EXPECT_EQ(a.pclGetValue()->nGetType(), TQTYPE_I4);
        EXPECT_EQ(Read<std::int32_t>(a.pclGetValue()), 42);
    }
}

TEST(NAVariant, CopyOfNothingIsNullOfTheSameType)
{
    CNAVariant v;
    v.bSetValue(5);
    EXPECT_EQ(v.bCopyVariant(nullptr), 1);
    EXPECT_EQ(v.pclGetValue()->nGetType(), TQTYPE_I4 | TQFLAG_NULL);
    EXPECT_EQ(Read<std::int32_t>(v.pclGetValue()), 0);
    EXPECT_TRUE(v.bIsEmptyString());
}

TEST(NAVariant, OrderingByBytesThenByTheHost)
{
    Bind();
    CLiveBlockCheck check;
    {
        CNAVariant a, b;
        SetText8(&a, "ab");
        SetText8(&b, "ac");
        EXPECT_EQ(a.nCmp(&b), -1);
        EXPECT_EQ(b.nCmp(&a), 1);
        EXPECT_EQ(a.nCmp(&a), 0);
        // Bytes are unsigned: 0xE9 sorts after 'z'.
        SetText8(&b, "a\xE9");
        SetText8(&a, "az");
        EXPECT_EQ(a.nCmp(&b), -1);
        // Different sizes: the host orders the texts.
        SetText8(&a, "ab");
        SetText8(&b, "abc");
        EXPECT_LT(a.nCmp(&b), 0);
        EXPECT_GT(b.nCmp(&a), 0);
        // Different types: the host compares the numbers.
        a.bSetValue(5);
        b.bSetValue(7.5);
        EXPECT_LT(a.nCmp(&b), 0);
        b.bSetValue(2.0);
        EXPECT_GT(a.nCmp(&b), 0);
        // Values of one type and size compare by their bytes from the
        // first: 1 (01 00 00 00) after 256 (00 01 00 00).
        a.bSetValue(1);
        b.bSetValue(256);
        EXPECT_EQ(a.nCmp(&b), 1);
        CNAVariant e1, e2;
        EXPECT_EQ(e1.nCmp(&e2), 0);
    }
}

TEST(NAVariant, Equality)
{
    Bind();
    CNAVariant a, b;
    a.bSetValue(5);
    b.bSetValue(5);
    EXPECT_TRUE(a.bEqualsNAVariant(&b));
    b.bSetValue(6);
    EXPECT_FALSE(a.bEqualsNAVariant(&b));
    b.bSetValue(5.0);
    EXPECT_TRUE(a.bEqualsNAVariant(&b));
    EXPECT_TRUE(a.bEqualsNAVariant(&a));

    // NULL and empty are alike; neither equals a value.
    CNAVariant n, e;
    n.bSetValue(3);
    n.bCopyVariant(nullptr);
    EXPECT_TRUE(n.bEqualsNAVariant(&e));
    EXPECT_TRUE(e.bEqualsNAVariant(&n));
    EXPECT_FALSE(n.bEqualsNAVariant(&a));
    EXPECT_FALSE(a.bEqualsNAVariant(&n));
    EXPECT_FALSE(a.bEqualsNAVariant(&e));

    EXPECT_TRUE(CNAVariant::g_bEqualsNAVariant(nullptr, nullptr));
}

TEST(NAVariant, EmptyTexts)
{
    CLiveBlockCheck check;
    {
        CNAVariant v;
        EXPECT_TRUE(v.bIsEmptyString());
        SetText8(&v, "");
        EXPECT_TRUE(v.bIsEmptyString());
        SetText8(&v, "x");
        EXPECT_FALSE(v.bIsEmptyString());
        v.pclGetValue()->SetNullFlag(true);
        EXPECT_TRUE(v.bIsEmptyString());

        v.pclGetValue()->__SetType(TQTYPE_DSTRW, 0);
        EXPECT_TRUE(v.bIsEmptyString());
        v.pclGetValue()->pclGetTraitement()->SetValue(L"w", sizeof(wchar_t));
        EXPECT_FALSE(v.bIsEmptyString());

        // A date text counts only for the extended test.
        v.pclGetValue()->__SetType(TQTYPE_DATEA, 0);
        v.pclGetValue()->pclGetTraitement()->SetValue("", 0);
        ASSERT_EQ(static_cast<const char*>(v.pGetData())[0], 0);
        EXPECT_FALSE(v.bIsEmptyString());
        EXPECT_TRUE(v.bIsEmptyStringEx());
        v.pclGetValue()->pclGetTraitement()->SetValue("20240229", 8);
        EXPECT_FALSE(v.bIsEmptyStringEx());

        v.bSetValue(0);
        EXPECT_FALSE(v.bIsEmptyString());
        EXPECT_FALSE(v.bIsEmptyStringEx());
    }
}

TEST(NAVariant, NumericZero)
{
    Bind();
    CLiveBlockCheck check;
    {
        CNAVariant v;
        EXPECT_TRUE(v.bIsNumeric0());
        v.bSetValue(-0.0f);
        EXPECT_TRUE(v.bIsNumeric0());
        v.bSetValue(0);
        EXPECT_TRUE(v.bIsNumeric0());
        v.bSetValue(3);
        EXPECT_FALSE(v.bIsNumeric0());
        EXPECT_FALSE(v.bCouldBeNullOnKX());
        v.bSetValue(0.001);
        EXPECT_FALSE(v.bIsNumeric0());
        v.bSetValue(false);
        EXPECT_TRUE(v.bIsNumeric0());
        v.bSetValue(7);
        v.bCopyVariant(nullptr);
        EXPECT_TRUE(v.bIsNumeric0());
        // A text is never a numeric zero.
        SetText8(&v, "0");
        EXPECT_FALSE(v.bIsNumeric0());
        EXPECT_FALSE(v.bCouldBeNullOnKX());
        SetText8(&v, "");
        EXPECT_TRUE(v.bCouldBeNullOnKX());
        v.bSetValue(0ll);
        EXPECT_TRUE(v.bCouldBeNullOnKX());
    }
}

TEST(NAVariant, Checksum)
{
    CLiveBlockCheck check;
    {
        CNAVariant v;
        // A host text's data ends with its terminator: one whole word.
        SetText8(&v, "abc");
        EXPECT_EQ(v.nChecksum32(), 0x00636261u);

        v.pclGetValue()->__SetType(TQTYPE_BIN, 0);
        v.bSetValue(reinterpret_cast<const unsigned char*>("abc"), 3);
        EXPECT_EQ(v.nChecksum32(), 0x61u + 0x62u + 0x63u);
        const unsigned char ab5[] = {0x01, 0x00, 0x00, 0x00, 0x05};
        v.bSetValue(ab5, sizeof(ab5));
        EXPECT_EQ(v.nGetSize(), 5u);
        EXPECT_EQ(v.nChecksum32(), 6u);

        // Words are little-endian and the sum wraps.
        const unsigned char ab9[] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x02};
        v.bSetValue(ab9, sizeof(ab9));
        EXPECT_EQ(v.nChecksum32(), 0u);
        const unsigned char ab4[] = {0x01, 0x02, 0x03, 0x04};
        v.bSetValue(ab4, sizeof(ab4));
        EXPECT_EQ(v.nChecksum32(), 0x04030201u);

        v.bSetValue(static_cast<unsigned short>(0x1234));
        EXPECT_EQ(v.nChecksum32(), 0x34u + 0x12u);
    }
}

TEST(NAVariant, DecimalInformation)
{
    Bind();
    CNAVariant v;
    int nDigits = -1, nDecimals = -1;
    // From a decimal value's object.
    CAny text;
    text.__SetType(TQTYPE_DSTRW, 0);
    text.pclGetTraitement()->SetValue(L"123.45", 6 * sizeof(wchar_t));
    ASSERT_LE(text.__nCastTo(TQTYPE_DECIMAL, nullptr, 1), 99);
    v.bSetValue(&text);
    EXPECT_EQ(v.bGetDecimalInfo(&nDigits, &nDecimals), 1);
    EXPECT_EQ(nDigits, 5);
    EXPECT_EQ(nDecimals, 2);
    // A NULL decimal has none.
    v.pclGetValue()->SetNullFlag(true);
    EXPECT_EQ(v.bGetDecimalInfo(&nDigits, &nDecimals), 0);
    EXPECT_EQ(nDigits, 0);
    EXPECT_EQ(nDecimals, 0);
    // Another type through a decimal copy; the value itself is untouched.
    v.bSetValue(-1234);
    EXPECT_EQ(v.bGetDecimalInfo(&nDigits, &nDecimals), 1);
    EXPECT_EQ(nDigits, 4);
    EXPECT_EQ(nDecimals, 0);
    EXPECT_EQ(v.pclGetValue()->nGetType(), TQTYPE_I4);
    // Nothing to convert.
    CNAVariant e;
    EXPECT_EQ(e.bGetDecimalInfo(&nDigits, &nDecimals), 0);
}

TEST(NAVariant, TypeChangesThroughTheHost)
{
    Bind();
    CLiveBlockCheck check;
    {
        CNAVariant v;
        v.bSetValue(42);
        EXPECT_EQ(v.bChangeItemType(NA_IT_R8, 0), 1);
        EXPECT_EQ(v.pclGetValue()->nGetType(), TQTYPE_R8);
        EXPECT_EQ(Read<double>(v.pclGetValue()), 42.0);
        EXPECT_EQ(v.vbChangeTQType(TQTYPE_DSTRW, 0), 1);
        EXPECT_EQ(v.pclGetValue()->nGetTypeCode(), TQTYPE_DSTRW);
        // A text that is no number stays as it is.
        SetText8(&v, "abc");
        EXPECT_EQ(v.vbChangeTQType(TQTYPE_I4, 0), 0);
    }
}

TEST(NAVariant, DebugText)
{
    Bind();
    CLiveBlockCheck check;
    {
        CNAVariant v;
        v.bSetValue(42);
        CTString s;
        v.GetString(&s, L"v=", 0);
        CXYString<wchar_t> x;
        nGetString(&x, *v.pclGetValue(), L"v=", 0);
        EXPECT_STREQ(s.pszGet(), x.pszGet());
        EXPECT_EQ(std::wcsncmp(s.pszGet(), L"v=", 2), 0);
        EXPECT_NE(std::wcsstr(s.pszGet(), L"42"), nullptr);
    }
}

} // namespace
