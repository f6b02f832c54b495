// The value holder: typed setters, copies, equality and ordering, the
// emptiness and zero tests, the checksum and the decimal information. Host
// conversions and operators come from the stand-in's value machine.
#include "common/values/NAVariant.h"

#include "common/values/monetaire.h"
#include "tests/support/ValueCells.h"

#include <cstdint>

namespace {

void SetText8(CNAVariant* v, const char* psz)
{
    v->pclGetValue()->__SetType(TQTYPE_DSTRA, 0);
    v->pclGetValue()->pclGetTraitement()->SetValue(psz, static_cast<unsigned int>(std::strlen(psz)));
}

// The setter gives the type and the bytes, and clears the former flags.
template <class T>
void CheckSetter(T x, unsigned short nType)
{
    CNAVariant v;
    v.pclGetValue()->SetFlags(TQFLAG_NULL | TQFLAG_0400);
    EXPECT_EQ(v.bSetValue(x), 1);
    EXPECT_EQ(v.pclGetValue()->nGetType(), nType);
    EXPECT_EQ(Bytes(v.pclGetValue()->pbyGetValeur(), v.pclGetValue()->pbyGetValeur() + sizeof(T)), Of(x));
}

TEST(NAVariant, TypedSettersSetTypeValueAndClearFlags)
{
    CheckSetter(static_cast<unsigned char>(200), TQTYPE_UI1);
    CheckSetter(18000000000000000000ull, TQTYPE_UI8);
    CheckSetter(static_cast<short>(-300), TQTYPE_I2);
    CheckSetter(-70000, TQTYPE_I4);
    CheckSetter(-5000000000ll, TQTYPE_I8);
    CheckSetter(CMoney{{1, 2, 3, 4, 5}}, TQTYPE_CY);
    CheckSetter(1.5f, TQTYPE_R4);
    CheckSetter(-2.25, TQTYPE_R8);
    // A boolean is held in 32 bits.
    CNAVariant v;
    EXPECT_EQ(v.bSetValue(true), 1);
    EXPECT_EQ(v.pclGetValue()->nGetType(), TQTYPE_BOOL);
    EXPECT_EQ(Get<std::int32_t>(*v.pclGetValue()), 1);
    // Raw bytes keep the type.
    v.bSetValue(7);
    v.pclGetValue()->SetNullFlag(true);
    const std::int32_t n = 1234;
    EXPECT_EQ(v.bSetValue(reinterpret_cast<const unsigned char*>(&n), sizeof(n)), 1);
    EXPECT_EQ(v.pclGetValue()->nGetType(), TQTYPE_I4);
    EXPECT_EQ(Get<std::int32_t>(*v.pclGetValue()), 1234);
}

TEST(NAVariant, CopiesDuplicateWithoutSharingOrLeaking)
{
    CLiveBlockCheck check;
    CNAVariant a, b, v;
    SetText8(&a, "hello");
    a.pclGetValue()->SetFlags(TQFLAG_0400);
    EXPECT_EQ(b.bCopyVariant(&a), 1);
    EXPECT_EQ(b.pclGetValue()->nGetType(), TQTYPE_DSTRA | TQFLAG_0400);
    // Changing the copy leaves the source alone; a value onto itself too.
    SetText8(&b, "world");
    EXPECT_EQ(a.bSetValue(a.pclGetValue()), 1);
    EXPECT_STREQ(static_cast<const char*>(a.pGetData()), "hello");
    // The destination takes the source's type.
    CAny out;
    out.__SetType(TQTYPE_R8, 0);
    EXPECT_EQ(a.bGetValue(&out), 1);
    EXPECT_EQ(out.nGetTypeCode(), TQTYPE_DSTRA);
    // Nothing to copy: NULL of the same type.
    v.bSetValue(5);
    EXPECT_EQ(v.bCopyVariant(nullptr), 1);
    EXPECT_EQ(v.pclGetValue()->nGetType(), TQTYPE_I4 | TQFLAG_NULL);
    EXPECT_EQ(Get<std::int32_t>(*v.pclGetValue()), 0);
}

TEST(NAVariant, OrderingAndEquality)
{
    BindValueMachine();
    CLiveBlockCheck check;
    CNAVariant a, b, n, e;
    // Bytes are unsigned: 0xE9 sorts after 'z'.
    SetText8(&a, "az");
    SetText8(&b, "a\xE9");
    EXPECT_EQ(a.nCmp(&b), -1);
    EXPECT_EQ(b.nCmp(&a), 1);
    // Different sizes: the host orders the texts.
    SetText8(&a, "ab");
    SetText8(&b, "abc");
    EXPECT_LT(a.nCmp(&b), 0);
    // Different types: the host compares the numbers.
    a.bSetValue(5);
    b.bSetValue(7.5);
    EXPECT_LT(a.nCmp(&b), 0);
    // One type and size: by bytes, 1 (01 00 ..) after 256 (00 01 ..).
    a.bSetValue(1);
    b.bSetValue(256);
    EXPECT_EQ(a.nCmp(&b), 1);
    a.bSetValue(5);
    b.bSetValue(5.0);
    EXPECT_TRUE(a.bEqualsNAVariant(&b));
    b.bSetValue(6);
    EXPECT_FALSE(a.bEqualsNAVariant(&b));
    // NULL and empty are alike; neither equals a value.
    n.bSetValue(3);
    n.bCopyVariant(nullptr);
    EXPECT_TRUE(n.bEqualsNAVariant(&e));
    EXPECT_FALSE(n.bEqualsNAVariant(&a));
    EXPECT_FALSE(a.bEqualsNAVariant(&e));
    EXPECT_TRUE(CNAVariant::g_bEqualsNAVariant(nullptr, nullptr));
}

TEST(NAVariant, EmptinessZeroAndChecksum)
{
    BindValueMachine();
    CLiveBlockCheck check;
    CNAVariant v;
    EXPECT_TRUE(v.bIsEmptyString());
    EXPECT_TRUE(v.bIsNumeric0());
    SetText8(&v, "");
    EXPECT_TRUE(v.bCouldBeNullOnKX());
    // A text is never a numeric zero.
    SetText8(&v, "0");
    EXPECT_FALSE(v.bIsEmptyString());
    EXPECT_FALSE(v.bIsNumeric0());
    EXPECT_FALSE(v.bCouldBeNullOnKX());
    v.pclGetValue()->SetNullFlag(true);
    EXPECT_TRUE(v.bIsEmptyString());
    // A date text counts only for the extended test.
    v.pclGetValue()->__SetType(TQTYPE_DATEA, 0);
    v.pclGetValue()->pclGetTraitement()->SetValue("", 0);
    EXPECT_FALSE(v.bIsEmptyString());
    EXPECT_TRUE(v.bIsEmptyStringEx());
    v.bSetValue(-0.0f);
    EXPECT_TRUE(v.bIsNumeric0());
    v.bSetValue(0.001);
    EXPECT_FALSE(v.bIsNumeric0());
    EXPECT_FALSE(v.bCouldBeNullOnKX());
    v.bSetValue(0ll);
    EXPECT_TRUE(v.bCouldBeNullOnKX());
    // The checksum: none for an empty holder.
    EXPECT_EQ(CNAVariant().nChecksum32(), 0u);
    // A host text's data ends with its terminator: one whole word.
    SetText8(&v, "abc");
    EXPECT_EQ(v.nChecksum32(), 0x00636261u);
    // Little-endian words, a partial last word by its bytes, wrapping.
    v.pclGetValue()->__SetType(TQTYPE_BIN, 0);
    const unsigned char ab5[] = {0x01, 0x00, 0x00, 0x00, 0x05};
    v.bSetValue(ab5, sizeof(ab5));
    EXPECT_EQ(v.nChecksum32(), 6u);
    const unsigned char ab9[] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x02};
    v.bSetValue(ab9, sizeof(ab9));
    EXPECT_EQ(v.nChecksum32(), 0u);
    v.bSetValue(static_cast<unsigned short>(0x1234));
    EXPECT_EQ(v.nChecksum32(), 0x34u + 0x12u);
}

TEST(NAVariant, DecimalInformationAndTypeChanges)
{
    BindValueMachine();
    CLiveBlockCheck check;
    CNAVariant v;
    int nDigits = -1, nDecimals = -1;
    EXPECT_EQ(v.bGetDecimalInfo(&nDigits, &nDecimals), 0);
    // From a decimal value's object; a NULL decimal has none.
    CAny text;
    SetW(text, L"123.45");
    ASSERT_LE(text.__nCastTo(TQTYPE_DECIMAL, nullptr, 1), 99);
    v.bSetValue(&text);
    EXPECT_EQ(v.bGetDecimalInfo(&nDigits, &nDecimals), 1);
    EXPECT_EQ(nDigits, 5);
    EXPECT_EQ(nDecimals, 2);
    v.pclGetValue()->SetNullFlag(true);
    EXPECT_EQ(v.bGetDecimalInfo(&nDigits, &nDecimals), 0);
    EXPECT_EQ(nDigits, 0);
    // Another type through a decimal copy; the value is untouched.
    v.bSetValue(-1234);
    EXPECT_EQ(v.bGetDecimalInfo(&nDigits, &nDecimals), 1);
    EXPECT_EQ(nDigits, 4);
    EXPECT_EQ(v.pclGetValue()->nGetType(), TQTYPE_I4);
    // Type changes through the host; a text that is no number stays.
    v.bSetValue(42);
    EXPECT_EQ(v.bChangeItemType(NA_IT_R8, 0), 1);
    EXPECT_EQ(v.pclGetValue()->nGetType(), TQTYPE_R8);
    EXPECT_EQ(Get<double>(*v.pclGetValue()), 42.0);
    SetText8(&v, "abc");
    EXPECT_EQ(v.vbChangeTQType(TQTYPE_I4, 0), 0);
    EXPECT_EQ(v.pclGetValue()->nGetTypeCode(), TQTYPE_DSTRA);
}

} // namespace
