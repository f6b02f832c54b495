// Storing host-side values in a value cell: the storage kinds, NULL, texts,
// casts and their failure, native values, raw bytes, binaries, system times,
// the change of host type and date-times as text. Buffers are allocated at
// their exact size so that the sanitizer sees any access beyond them.
#include "tests/support/ValueCells.h"

#include "common/platform/WinApi.h"
#include "common/text/TQBIN.h"
#include "common/values/Decimal.h"
#include "common/values/datetime.h"
#include "common/values/monetaire.h"

#include <cstdint>

namespace {

// The host date-time 2024-03-05 07:08:09.456.
void SetDate(CAny& v)
{
    CDateTime dt;
    std::memcpy(&dt, DateTimeBytes(2024, 3, 5, 7, 8, 9, 456).data(), sizeof(dt));
    Set(v, TQTYPE_DATETIME, dt);
}

} // namespace

TEST(NAConvertVariantSet, SameHostTypeInEachKind)
{
    BindValueMachine();
    CNoLeak check;
    CAny v;
    Set<std::int32_t>(v, TQTYPE_I4, -42);
    // A not-read-yet cell becomes an own value; the changed mark is cleared.
    CCell c1;
    c1.InitTypeVariantAny(TQTYPE_I4, 0);
    c1.SetUnread();
    c1.MarkChanged();
    ASSERT_EQ(c1.bSetValue(&v), 1);
    EXPECT_EQ(c1.eGetVarType(), NA_VAR_ANY);
    EXPECT_EQ(c1.bChanged(), 0);
    EXPECT_FALSE(c1.pclGetValue()->bIsNull());
    EXPECT_EQ(Get<std::int32_t>(*c1.pclGetValue()), -42);
    // A caller's buffer of exactly 4 bytes loses its NULL mark.
    Bytes buf(4, 0xEE);
    CCell c3;
    c3.bInitTypeVariant(NA_VAR_BUFFER, buf.data(), 4, TQTYPE_I4);
    c3.pclGetValue()->SetNullFlag(true);
    ASSERT_EQ(c3.bSetValue(&v), 1);
    EXPECT_FALSE(c3.pclGetValue()->bIsNull());
    EXPECT_EQ(buf, Of<std::int32_t>(-42));
    // An adopted pointer stores nothing and succeeds.
    Bytes adopted(4, 0);
    CCell c4;
    c4.bInitTypeVariant(NA_VAR_POINTER, adopted.data(), 4, TQTYPE_I4);
    EXPECT_EQ(c4.bSetValue(&v), 1);
    EXPECT_EQ(adopted, Bytes(4, 0));
    // A NULL source keeps the cell's type and zeroes its buffer.
    CAny null;
    null.__SetType(TQTYPE_I8, 0);
    null.SetNullFlag(true);
    ASSERT_EQ(c3.bSetValue(&null), 1);
    EXPECT_TRUE(c3.pclGetValue()->bIsNull());
    EXPECT_EQ(c3.pclGetValue()->nGetTypeCode(), TQTYPE_I4);
    EXPECT_EQ(buf, Bytes(4, 0));
    // A boolean element is true for any value not 0.
    Bytes b1(1, 0xEE);
    CCell cb;
    cb.bInitTypeVariant(NA_VAR_BUFFER, b1.data(), 1, TQTYPE_BOOL);
    for (std::int32_t n : {2, 0}) {
        Set<std::int32_t>(v, TQTYPE_BOOL, n);
        ASSERT_EQ(cb.bSetValue(&v), 1);
        EXPECT_EQ(b1[0], n != 0 ? 1 : 0);
    }
}

TEST(NAConvertVariantSet, TextsIntoBuffersAreCutAndTerminated)
{
    BindValueMachine();
    CNoLeak check;
    CTestConnection cnx(1252, 1252);
    CCell c(nullptr, &cnx);
    CAny w, a, a8;
    SetW(w, L"abcdef");
    SetA(a, "abc");
    SetA(a8, "\x80");
    const auto Wide = [](const wchar_t* psz, unsigned n) {
        return Padded(std::string(reinterpret_cast<const char*>(psz), std::wcslen(psz) * sizeof(wchar_t)), n);
    };
    struct { unsigned short nType; const CAny* pSource; unsigned nSize; Bytes expected; } const rows[] = {
        // Only whole characters and a whole zero character.
        {TQTYPE_DSTRW, &w, 20, Wide(L"abcd", 20)},
        {TQTYPE_DSTRW, &w, 11, Wide(L"a", 11)},
        {TQTYPE_DSTRA, &a, 3, Padded("ab", 3)},
        {TQTYPE_DSTRA, &a, 1, Bytes(1, 0)},
        {TQTYPE_DSTRA, &w, 5, Padded("abcd", 5)},
        // 8-bit text read in the host code page.
        {TQTYPE_DSTRW, &a8, 8, Wide(L"\u20AC", 8)},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::Message() << "type " << r.nType << ", size " << r.nSize);
        Bytes b(r.nSize, 0xEE);
        c.bInitTypeVariant(NA_VAR_BUFFER, b.data(), r.nSize, r.nType);
        ASSERT_EQ(c.bSetValue(r.pSource), 1);
        EXPECT_EQ(b, r.expected);
    }
    // A UTF-8 host: a character is never cut.
    CTestConnection utf8(65001, 65001);
    CCell u(nullptr, &utf8);
    for (unsigned n : {3u, 4u}) {
        Bytes b(n, 0xEE);
        u.bInitTypeVariant(NA_VAR_BUFFER, b.data(), n, TQTYPE_DSTRA);
        ASSERT_EQ(u.bSetValue(L"a\u00E9", 2), 1);
        EXPECT_EQ(b, n == 3 ? Bytes({'a', 0, 0}) : Bytes({'a', 0xC3, 0xA9, 0}));
    }
    // Without a connection: the host's current code page (1251: zhe is 0xC6).
    TestHost().SetCurrent(204, 1251, 1049);
    CCell n;
    Bytes b2(2, 0xEE);
    n.bInitTypeVariant(NA_VAR_BUFFER, b2.data(), 2, TQTYPE_DSTRA);
    ASSERT_EQ(n.bSetValue(L"\u0416", 1), 1);
    TestHost().SetCurrent(0, 1252, 1036);
    EXPECT_EQ(b2, Bytes({0xC6, 0}));
}

TEST(NAConvertVariantSet, DateTimesIntoSmallElements)
{
    BindValueMachine();
    CNoLeak check;
    CAny v;
    SetDate(v);
    // What fits before a terminator; a whole date fills an 8-byte element.
    struct { eNA_ITEMTYPE eItem; unsigned nSize; Bytes expected; } const rows[] = {
        {NA_IT_DATE8, 5, Padded("2024", 5)},
        {NA_IT_DATE8, 8, Bytes({'2', '0', '2', '4', '0', '3', '0', '5'})},
        {NA_IT_HEURE, 7, Padded("070809", 7)},
        {NA_IT_HEURE, 1, Bytes(1, 0)}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.nSize);
        ItemPtr item = Item(r.eItem, r.nSize);
        Bytes b;
        CCell c;
        BindBuffer(c, b, r.nSize, item.get());
        c.pclGetValue()->__SetType(TQTYPE_DATETIME, 0);
        ASSERT_EQ(c.bSetValue(&v), 1);
        EXPECT_EQ(b, r.expected);
    }
    // A time text becomes a date-time with date 0.
    CAny time(TQTYPE_TIMEA);
    time.pclGetTraitement()->SetValue("134507250", 9);
    time.SetFlags(0);
    CCell any;
    any.InitTypeVariantAny(TQTYPE_DATETIME, 0);
    ASSERT_EQ(any.bSetValue(&time), 1);
    EXPECT_EQ(DataBytes(*any.pclGetValue()), DateTimeBytes(0, 0, 0, 13, 45, 7, 250));
    // A system time into a text item: the time digits while they fit.
    ItemPtr texte = Item(NA_IT_TEXTE, 7);
    SYSTEMTIME st = {2024, 3, 2, 5, 13, 5, 9, 250};
    struct { unsigned n; const char* psz; } const texts[] = {
        {7, "130509"}, {5, "1305"}, {10, "130509250"}, {9, "13050925"}, {16, "20240305 130509"}};
    for (const auto& r : texts) {
        SCOPED_TRACE(r.n);
        Bytes b;
        CCell c;
        BindBuffer(c, b, r.n, texte.get());
        ASSERT_EQ(c.bSetValue(&st), 1);
        EXPECT_EQ(b, Padded(r.psz, r.n));
    }
    // Any other item: a date-time.
    CCell d;
    d.InitTypeVariantAny(TQTYPE_DATETIME, 0);
    ASSERT_EQ(d.bSetValue(&st), 1);
    EXPECT_EQ(DataBytes(*d.pclGetValue()), DateTimeBytes(2024, 3, 5, 13, 5, 9, 250));
}

TEST(NAConvertVariantSet, OtherHostTypesAreCastThroughTheConverter)
{
    BindValueMachine();
    CNoLeak check;
    // An integer into an 8-bit text cell: the source is not changed.
    CAny n;
    Set<std::int32_t>(n, TQTYPE_I4, 123);
    CCell c;
    c.InitTypeVariantAny(TQTYPE_DSTRA, 0);
    ASSERT_EQ(c.bSetValue(&n), 1);
    EXPECT_EQ(Text8(*c.pclGetValue()), "123");
    EXPECT_EQ(n.nGetType(), TQTYPE_I4);
    // A text into an integer buffer of its exact size.
    CAny t;
    SetA(t, "-31000");
    Bytes b(2, 0);
    CCell c2;
    c2.bInitTypeVariant(NA_VAR_BUFFER, b.data(), 2, TQTYPE_I2);
    ASSERT_EQ(c2.bSetValue(&t), 1);
    EXPECT_EQ(b, Of<std::int16_t>(-31000));
    // A text into a decimal element.
    ItemPtr item = Item(NA_IT_DECIMAL, 5, 3, 2);
    const unsigned int nBytes = IDecimal::mg_PToN[5];
    CAny text, back;
    SetW(text, L"7.5");
    Bytes e;
    CCell ce;
    BindBuffer(ce, e, nBytes, item.get());
    ASSERT_EQ(ce.bSetValue(&text), 1);
    ASSERT_EQ(ce.bGetValue(&back), 1);
    ASSERT_LE(back.__nCastTo(TQTYPE_R8, nullptr, 1), 99);
    EXPECT_DOUBLE_EQ(Get<double>(back), 7.5);
    // A buffer smaller than the stored form gets what fits, no more.
    BindBuffer(ce, e, 2, item.get());
    EXPECT_EQ(ce.bSetValue(&text), 1);
    // Currency into a duration goes through an 8-byte integer.
    CAny cy;
    const CMoney m = {{0x4240, 0x000F, 0, 0, 0}}; // 1.000000
    Set(cy, TQTYPE_CY, m);
    CCell d;
    d.InitTypeVariantAny(TQTYPE_DUREE, 0);
    const int nCalls = Machine().nCalls();
    d.bSetValue(&cy);
    bool bThroughI8 = false;
    for (int i = 0; i < Machine().nCalls() - nCalls && i < HOSTVM_RECENT_CALLS; i++) {
        const HostVMCall call = Machine().RecentCall(i);
        bThroughI8 = bThroughI8 || (call.nType1 == TQTYPE_CY && call.nType2 == TQTYPE_I8);
    }
    EXPECT_TRUE(bThroughI8);
}

TEST(NAConvertVariantSet, FailedCastIsUserError53AndKeepsTheValue)
{
    BindValueMachine();
    CNoLeak check;
    ErrorPtr e = NewError();
    ItemPtr item = Item(NA_IT_I4, 4);
    Bytes b;
    {
        CCell c(e.get());
        BindBuffer(c, b, 4, item.get());
        ASSERT_EQ(c.bSetValue(7), 1);
        CAny t;
        SetA(t, "abc");
        EXPECT_EQ(c.bSetValue(&t), 0);
        EXPECT_EQ(b, Of<std::int32_t>(7));
        EXPECT_EQ(e->dwGetErrorId(), 53u);
        const std::wstring msg = e->pclGetXError()->pszGetUserMessage();
        // The source's host type (19), the item type (5) and the value.
        EXPECT_NE(msg.find(L"type 19"), std::wstring::npos) << msg;
        EXPECT_NE(msg.find(L"type 5"), std::wstring::npos) << msg;
        EXPECT_NE(msg.find(L"abc"), std::wstring::npos) << msg;
        EXPECT_STREQ(e->pszGetItemName(), L"ITEM");
        EXPECT_STREQ(e->pszGetLogicalTableName(), L"TABLE");
        // A NULL cell stays NULL when the text is refused.
        c.SetNull();
        EXPECT_EQ(c.bSetValue("xyz", -1), 0);
        EXPECT_TRUE(c.pclGetValue()->bIsNull());
        EXPECT_EQ(c.bSetValue(L"xyz", -1), 0);
        EXPECT_TRUE(c.pclGetValue()->bIsNull());
    }
    // Without an error object the failure is only the result.
    CCell lone;
    lone.InitTypeVariantAny(TQTYPE_I4, 0);
    EXPECT_EQ(lone.bSetValue("zz", 2), 0);
}

TEST(NAConvertVariantSet, NativeValuesRawBytesAndBinaries)
{
    BindValueMachine();
    CNoLeak check;
    CCell c;
    // No date-time: NULL.
    c.InitTypeVariantAny(TQTYPE_DATETIME, 0);
    ASSERT_EQ(c.bSetValue(static_cast<CDateTime*>(nullptr)), 1);
    EXPECT_TRUE(c.pclGetValue()->bIsNull());
    // A buffer smaller than the value gets what fits.
    Bytes b3(3, 0);
    c.bInitTypeVariant(NA_VAR_BUFFER, b3.data(), 3, TQTYPE_I8);
    ASSERT_EQ(c.bSetValue(0x0102030405060708LL), 1);
    EXPECT_EQ(b3, Bytes({0x08, 0x07, 0x06}));
    // One byte given to an 8-byte value is read as one byte.
    std::unique_ptr<unsigned char[]> one(new unsigned char[1]{0x7F});
    c.InitTypeVariantAny(TQTYPE_I8, 0);
    ASSERT_EQ(c.bSetValue(one.get(), 1), 1);
    EXPECT_EQ(Get<std::int64_t>(*c.pclGetValue()), 0x7F);
    // An adopted pointer is taken as it is.
    const Bytes own = {1, 2, 3};
    c.bInitTypeVariant(NA_VAR_POINTER, nullptr, 0, TQTYPE_BIN);
    ASSERT_EQ(c.bSetValue(own.data(), 3), 1);
    EXPECT_EQ(c.pGetData(), own.data());
    EXPECT_EQ(c.nGetSize(), 3u);
    // A caller's buffer: the rest zeroed, the length what was copied.
    Bytes b(5, 0xEE);
    c.bInitTypeVariant(NA_VAR_BUFFER, b.data(), 5, TQTYPE_BIN);
    ASSERT_EQ(c.bSetValue(own.data(), 3), 1);
    EXPECT_EQ(b, Bytes({1, 2, 3, 0, 0}));
    EXPECT_EQ(c.nLength(), 3u);
    const Bytes big(9, 9);
    ASSERT_EQ(c.bSetValue(big.data(), 9), 1);
    EXPECT_EQ(b, Bytes(5, 9));
    // A host binary: an own binary value takes it; a buffer its bytes.
    const unsigned char abyBin[4] = {0xDE, 0xAD, 0xBE, 0xEF};
    CTQBIN bin(abyBin, 4);
    ASSERT_EQ(c.bSetValue(&bin), 1);
    EXPECT_EQ(b, Bytes({0xDE, 0xAD, 0xBE, 0xEF, 0}));
    CCell cb;
    cb.InitTypeVariantAny(TQTYPE_BIN, 0);
    ASSERT_EQ(cb.bSetValue(&bin), 1);
    EXPECT_EQ(DataBytes(*cb.pclGetValue()), Bytes(abyBin, abyBin + 4));
}

TEST(NAConvertVariantSet, DateTimeTextsAndTimeTypeChanges)
{
    BindValueMachine();
    CNoLeak check;
    CAny v;
    SetDate(v);
    struct { const wchar_t* pszFormat; const wchar_t* pszText; } const rows[] = {
        {L"AAAA-MM-JJ HH:MM:SS.CCC", L"2024-03-05 07:08:09.456"},
        {L"AAAAMMJJ HH:MM:SS.CCC", L"20240305 07:08:09.456"},
        {L"YYYYMMDDHH24MISSFF", L"2024030507080945"},
        {L"YYYYMMDDHH24MISS", L"20240305070809"},
        {L"YYYYMMDD HH24MISS", L"20240305 070809"},
        {L"YYYYMMDD HH24:MI:SS", L"20240305 07:08:09"},
        {L"DD-MM-YYYY HH24:MI:SS", L"05-03-2024 07:08:09"},
        {L"unknown", L"20240305070809456"},
    };
    for (const auto& r : rows) {
        CCell c;
        c.InitTypeVariantAny(TQTYPE_DSTRW, 0);
        c.SetDateFormat(r.pszFormat);
        ASSERT_EQ(c.bSetValue(&v), 1);
        EXPECT_EQ(TextW(*c.pclGetValue()), r.pszText) << r.pszFormat;
    }
    // Into an 8-bit buffer.
    Bytes b(20, 0xEE);
    CCell c;
    c.bInitTypeVariant(NA_VAR_BUFFER, b.data(), 20, TQTYPE_DSTRA);
    c.SetDateFormat(L"DD-MM-YYYY HH24:MI:SS");
    ASSERT_EQ(c.bSetValue(&v), 1);
    EXPECT_EQ(b, Padded("05-03-2024 07:08:09", 20));
    // A value that cannot become a date-time: the host value error.
    ErrorPtr e = NewError();
    CCell f(e.get());
    f.InitTypeVariantAny(TQTYPE_DSTRW, 0);
    f.SetDateFormat(L"YYYYMMDDHH24MISS");
    CAny bin;
    SetBin(bin, "abc");
    bin.SetFlags(0);
    EXPECT_EQ(f._bSetValueDateToString(&bin), 0);
    EXPECT_NE(e->dwGetErrorId(), 0u);
    // A change of host type pads the time digits.
    ItemPtr heure = Item(NA_IT_HEURE, 7);
    struct { const char* pszValue; unsigned short nType; int bNoPad; const char* pszText; } const changes[] = {
        {"1230", TQTYPE_DSTRW, 0, "123000"}, {"1230", TQTYPE_DSTRW, 1, "1230"},
        {"123456789", TQTYPE_DSTRA, 0, "123456"}};
    for (const auto& rc : changes) {
        SCOPED_TRACE(rc.pszValue);
        CCell ch;
        ch.InitTypeVariantAny(TQTYPE_VIDE, 0);
        ch.SetItemDesc(heure.get(), nullptr);
        ch.pclGetValue()->pclGetTraitement()->SetValue(rc.pszValue, static_cast<unsigned>(std::strlen(rc.pszValue)));
        ASSERT_EQ(ch.vbChangeTQType(rc.nType, rc.bNoPad), 1);
        EXPECT_EQ(ch.pclGetValue()->nGetType(), rc.nType);
        CAny vOut;
        ch.bGetValue(&vOut);
        ASSERT_LE(vOut.__nCastTo(TQTYPE_DSTRA, nullptr, 1), 99);
        EXPECT_EQ(Text8(vOut), rc.pszText);
    }
    // A reset cell has nothing to change.
    CCell reset;
    EXPECT_EQ(reset.vbChangeTQType(TQTYPE_DSTRW, 0), 0);
}
