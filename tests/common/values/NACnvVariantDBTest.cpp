// Storing server values in a value cell: every MySQL text form into a
// record-buffer element of each item type, read back and stored again as a
// host value; the cell's own values; rejected texts; raw bytes and host
// values. Server texts and elements are allocated at their exact size.
#include "tests/support/ValueCells.h"

#include "common/values/Decimal.h"

#include <cstdint>
#include <limits>

namespace {

// Currency in millionths, as 10 bytes little-endian.
Bytes Money(long long nMillionths)
{
    Bytes b(10, nMillionths < 0 ? 0xFF : 0);
    std::memcpy(b.data(), &nMillionths, 8);
    return b;
}

Bytes U16(std::initializer_list<std::uint16_t> units)
{
    Bytes b;
    for (std::uint16_t u : units)
        b.insert(b.end(), {static_cast<unsigned char>(u & 0xFF), static_cast<unsigned char>(u >> 8)});
    return b;
}

Bytes WideBytes(const wchar_t* psz)
{
    return Bytes(reinterpret_cast<const unsigned char*>(psz),
                 reinterpret_cast<const unsigned char*>(psz + std::wcslen(psz)));
}

// The 8-bit text as wide characters, byte for byte.
std::wstring Widened(const std::string& s)
{
    std::wstring w;
    for (unsigned char c : s)
        w += static_cast<wchar_t>(c);
    return w;
}

// Stores s as the server sends it: exactly its characters, no terminator
// (8-bit texts with their code page).
template <class C, class... CodePage>
int StoreDB(CCell& c, const std::basic_string<C>& s, CodePage... nCodePage)
{
    std::unique_ptr<C[]> p(new C[s.empty() ? 1 : s.size()]);
    std::copy(s.begin(), s.end(), p.get());
    return c.bSetValueDB(p.get(), static_cast<unsigned>(s.size()), nCodePage...);
}

auto& Dt = DateTimeBytes;

Bytes Tm(unsigned h, unsigned mi, unsigned s, unsigned ms)
{
    return DateTimeBytes(0, 0, 0, h, mi, s, ms);
}

struct ElementRow {
    eNA_ITEMTYPE eItem;
    unsigned nSize;
    std::string sText;       // as the server sends it, in nCodePage
    unsigned nCodePage;
    const wchar_t* pszWide;  // the same as wide text; null: sText byte for byte
    Bytes element;           // the element after the store
};

const std::string kBinary("a\0b\xFF", 4);

const ElementRow kElementRows[] = {
    {NA_IT_BOOLEEN, 1, "F", 1252, nullptr, {0}},
    {NA_IT_BOOLEEN, 1, "0", 1252, nullptr, {0}},
    {NA_IT_BOOLEEN, 1, "yes", 1252, nullptr, {1}},
    {NA_IT_UI1, 1, "255", 1252, nullptr, {255}},
    {NA_IT_I1, 1, "-128", 1252, nullptr, {0x80}},
    {NA_IT_I2, 2, "-32768", 1252, nullptr, Of<std::int16_t>(-32768)},
    {NA_IT_UI2, 2, "65535", 1252, nullptr, Of<std::uint16_t>(65535)},
    {NA_IT_I4, 4, "-2147483648", 1252, nullptr, Of(std::numeric_limits<std::int32_t>::min())},
    {NA_IT_UI4, 4, "4294967295", 1252, nullptr, Of<std::uint32_t>(4294967295u)},
    {NA_IT_IDAUTO4, 4, "7", 1252, nullptr, Of<std::int32_t>(7)},
    {NA_IT_I8, 8, "-9223372036854775808", 1252, nullptr, Of(std::numeric_limits<std::int64_t>::min())},
    {NA_IT_UI8, 8, "18446744073709551615", 1252, nullptr, Of(std::numeric_limits<std::uint64_t>::max())},
    {NA_IT_IDAUTO, 8, "123456789012", 1252, nullptr, Of<std::int64_t>(123456789012LL)},
    // An element smaller than the type: what fits (65793 is 0x010101).
    {NA_IT_I8, 3, "65793", 1252, nullptr, {1, 1, 1}},
    {NA_IT_R4, 4, "0.25", 1252, nullptr, Of(0.25f)},
    {NA_IT_R8, 8, "-1.5e3", 1252, nullptr, Of(-1500.0)},
    {NA_IT_REELTURBO, 8, "3.75", 1252, nullptr, Of(3.75)},
    {NA_IT_MONETAIRE, 10, "12.345678", 1252, nullptr, Money(12345678)},
    {NA_IT_MONETAIRE, 10, "-0.5", 1252, nullptr, Money(-500000)},
    // Texts for a 1252 host: at most size - 1 bytes, never part of a character.
    {NA_IT_TEXTE, 5, "caf\xE9", 1252, L"caf\u00E9", Padded("caf\xE9", 5)},
    {NA_IT_TEXTE, 5, "caf\xC3\xA9", 65001, L"caf\u00E9", Padded("caf\xE9", 5)},
    {NA_IT_TEXTE, 5, "abcdefgh", 1252, nullptr, Padded("abcd", 5)},
    {NA_IT_TEXTE, 5, "\xC3\xA9t\xC3\xA9s!", 65001, L"\u00E9t\u00E9s!", {0xE9, 't', 0xE9, 's', 0}},
    {NA_IT_TEXTE, 3, "\xE2\x82\xAC", 65001, L"\u20AC", {0x80, 0, 0}},
    {NA_IT_MEMOTEXTE, 6, "memo", 1252, nullptr, Padded("memo", 6)},
    {NA_IT_CHAR, 2, "xyz", 1252, nullptr, {'x', 0}},
    {NA_IT_CHAR, 2, std::string("\0z", 2), 1252, nullptr, {0, 0}},
    // UTF-16 units and a terminating unit; a pair whole or not at all.
    {NA_IT_UNICODE, 8, "\xC3\xA9t\xC3\xA9s", 65001, L"\u00E9t\u00E9s", U16({0xE9, 't', 0xE9, 0})},
    {NA_IT_UNICODE, 10, "a\xC3\xA9\xF0\x9F\x98\x80" "b", 65001, L"a\u00E9\U0001F600b",
     U16({'a', 0xE9, 0xD83D, 0xDE00, 0})},
    {NA_IT_MEMOUNICODE, 8, "a\xC3\xA9\xF0\x9F\x98\x80", 65001, L"a\u00E9\U0001F600", U16({'a', 0xE9, 0, 0})},
    // Binaries: a 16-bit length, the bytes, zeros; cut to the element.
    {NA_IT_BINAIRE, 8, kBinary, 1252, nullptr, {4, 0, 'a', 0, 'b', 0xFF, 0, 0}},
    {NA_IT_BINAIRE, 5, "abcdef", 1252, nullptr, {3, 0, 'a', 'b', 'c'}},
    {NA_IT_BINAIRE, 1, "abc", 1252, nullptr, {0}},
    // Dates: 8-bit YYYYMMDD.
    {NA_IT_DATE8, 9, "2024-02-29", 1252, nullptr, Padded("20240229", 9)},
    {NA_IT_DATE8, 9, "20240229", 1252, nullptr, Padded("20240229", 9)},
    {NA_IT_DATE8, 9, "2024-01-31 10:20:30.123456", 1252, nullptr, Padded("20240131", 9)},
    // Times: HHMMSS then milliseconds digits while a terminator still fits.
    {NA_IT_HEURE, 10, "2024-02-29 13:45:07.5", 1252, nullptr, Padded("134507500", 10)},
    {NA_IT_HEURE, 10, "13:45:07.25", 1252, nullptr, Padded("134507250", 10)},
    {NA_IT_HEURE, 10, "20240229 13:45:07.98", 1252, nullptr, Padded("134507980", 10)},
    {NA_IT_HEURE, 10, "2024-02-29", 1252, nullptr, Padded("000000000", 10)},
    {NA_IT_HEURE, 9, "13:45:07.5", 1252, nullptr, Padded("13450750", 9)},
    {NA_IT_HEURE, 8, "13:45:07.5", 1252, nullptr, Padded("1345075", 8)},
    {NA_IT_HEURE, 7, "13:45", 1252, nullptr, Padded("134500", 7)},
    {NA_IT_HEURE, 5, "134507", 1252, nullptr, Padded("1345", 5)},
    {NA_IT_HEURE, 3, "13:45:07", 1252, nullptr, Padded("13", 3)},
    // DATETIME(0-6), TIME(0-6), the compact forms; only milliseconds kept.
    {NA_IT_DATETIME, 8, "2024-01-31 10:20:30", 1252, nullptr, Dt(2024, 1, 31, 10, 20, 30, 0)},
    {NA_IT_DATETIME, 8, "2024-01-31 10:20:30.5", 1252, nullptr, Dt(2024, 1, 31, 10, 20, 30, 500)},
    {NA_IT_DATETIME, 8, "2024-01-31 10:20:30.12", 1252, nullptr, Dt(2024, 1, 31, 10, 20, 30, 120)},
    {NA_IT_DATETIME, 8, "2024-01-31 10:20:30.123", 1252, nullptr, Dt(2024, 1, 31, 10, 20, 30, 123)},
    {NA_IT_DATETIME, 8, "2024-01-31 10:20:30.1234", 1252, nullptr, Dt(2024, 1, 31, 10, 20, 30, 123)},
    {NA_IT_DATETIME, 8, "2024-01-31 10:20:30.12345", 1252, nullptr, Dt(2024, 1, 31, 10, 20, 30, 123)},
    {NA_IT_DATETIME, 8, "2024-01-31 10:20:30.999999", 1252, nullptr, Dt(2024, 1, 31, 10, 20, 30, 999)},
    {NA_IT_DATETIME, 8, "2024-02-29", 1252, nullptr, Dt(2024, 2, 29, 0, 0, 0, 0)},
    {NA_IT_DATETIME, 8, "20240229", 1252, nullptr, Dt(2024, 2, 29, 0, 0, 0, 0)},
    {NA_IT_DATETIME, 8, "10:20:30", 1252, nullptr, Tm(10, 20, 30, 0)},
    {NA_IT_DATETIME, 8, "10:20:30.5", 1252, nullptr, Tm(10, 20, 30, 500)},
    {NA_IT_DATETIME, 8, "10:20:30.05", 1252, nullptr, Tm(10, 20, 30, 50)},
    {NA_IT_DATETIME, 8, "10:20:30.123", 1252, nullptr, Tm(10, 20, 30, 123)},
    {NA_IT_DATETIME, 8, "10:20:30.1234", 1252, nullptr, Tm(10, 20, 30, 123)},
    {NA_IT_DATETIME, 8, "10:20:30.12345", 1252, nullptr, Tm(10, 20, 30, 123)},
    {NA_IT_DATETIME, 8, "10:20:30.123456", 1252, nullptr, Tm(10, 20, 30, 123)},
    {NA_IT_DATETIME, 8, "1020", 1252, nullptr, Tm(10, 20, 0, 0)},
    {NA_IT_DATETIME, 8, "10:20", 1252, nullptr, Tm(10, 20, 0, 0)},
    {NA_IT_DATETIME, 8, "102030", 1252, nullptr, Tm(10, 20, 30, 0)},
    {NA_IT_DATETIME, 8, "20240131102030", 1252, nullptr, Dt(2024, 1, 31, 10, 20, 30, 0)},
    {NA_IT_DATETIME, 8, "20240131 10:20:30", 1252, nullptr, Dt(2024, 1, 31, 10, 20, 30, 0)},
    {NA_IT_DATETIME, 8, "20240131 10:20:30.5", 1252, nullptr, Dt(2024, 1, 31, 10, 20, 30, 500)},
    {NA_IT_DATETIME, 8, "20240131 10:20:30.12", 1252, nullptr, Dt(2024, 1, 31, 10, 20, 30, 120)},
    {NA_IT_DATETIME, 8, "20240131 10:20:30.999999", 1252, nullptr, Dt(2024, 1, 31, 10, 20, 30, 999)},
    {NA_IT_DATETIME, 8, "0000-00-00 00:00:00", 1252, nullptr, Bytes(8, 0)},
    // Left empty: no date, no room for the whole date or date-time, no text.
    {NA_IT_DATE8, 9, "10:20:30", 1252, nullptr, Bytes(9, 0)},
    {NA_IT_DATE8, 6, "2024-02-29", 1252, nullptr, Bytes(6, 0)},
    {NA_IT_DATETIME, 7, "2024-02-29", 1252, nullptr, Bytes(7, 0)},
    {NA_IT_DATETIME, 8, "", 1252, nullptr, Bytes(8, 0)},
    {NA_IT_TEXTE, 5, "", 1252, nullptr, Bytes(5, 0)},
};

} // namespace

TEST(NAConvertVariantDB, EachItemTypeFromServerTextsAndBack)
{
    BindValueMachine();
    CNoLeak check;
    CTestConnection cnx(1252, 65001);
    for (const ElementRow& r : kElementRows) {
        SCOPED_TRACE(testing::Message() << "item " << r.eItem << ", size " << r.nSize << ": " << r.sText);
        ItemPtr item = Item(r.eItem, r.nSize);
        Bytes b;
        CCell c(nullptr, &cnx);
        BindBuffer(c, b, r.nSize, item.get());
        c.pclGetValue()->SetNullFlag(true);
        ASSERT_EQ(StoreDB(c, r.sText, r.nCodePage), 1);
        EXPECT_EQ(b, r.element);
        EXPECT_FALSE(c.pclGetValue()->bIsNull());
        BindBuffer(c, b, r.nSize, item.get());
        ASSERT_EQ(StoreDB(c, r.pszWide != nullptr ? std::wstring(r.pszWide) : Widened(r.sText)), 1);
        EXPECT_EQ(b, r.element);
        // Read back as a host value, then stored by the host-value path.
        CAny v;
        ASSERT_EQ(c.bGetValue(&v), 1);
        EXPECT_EQ(v.nGetType(), ConverteItemToTQType(item.get()));
        Bytes b2;
        CCell h(nullptr, &cnx);
        BindBuffer(h, b2, r.nSize, item.get());
        ASSERT_EQ(h.bSetValue(&v), 1);
        EXPECT_EQ(b2, r.element);
    }
}

TEST(NAConvertVariantDB, CellsOwnValuesAndDecimals)
{
    BindValueMachine();
    CNoLeak check;
    CTestConnection cnx(1252, 65001);
    struct { unsigned short nType; std::string sText; unsigned nCodePage; Bytes value; } const rows[] = {
        {TQTYPE_BOOL, "yes", 1252, Of<std::int32_t>(1)},
        {TQTYPE_I8, "-9223372036854775808", 1252, Of(std::numeric_limits<std::int64_t>::min())},
        {TQTYPE_CY, "12.345678", 1252, Money(12345678)},
        {TQTYPE_DATETIME, "2024-01-31 10:20:30.123456", 1252, Dt(2024, 1, 31, 10, 20, 30, 123)},
        {TQTYPE_DATETIME, "10:20:30.5", 1252, Tm(10, 20, 30, 500)},
        {TQTYPE_DATEA, "2024-02-29", 1252, Bytes({'2', '0', '2', '4', '0', '2', '2', '9'})},
        {TQTYPE_TIMEA, "13:45:07.5", 1252, Bytes({'1', '3', '4', '5', '0', '7', '5', '0', '0'})},
        {TQTYPE_TIMEW, "13:45", 1252, WideBytes(L"134500000")},
        {TQTYPE_DATEW, "20240229 13:45:07", 1252, WideBytes(L"20240229")},
        {TQTYPE_DSTRW, "caf\xE9", 1252, WideBytes(L"caf\u00E9")},
        {TQTYPE_DSTRW, "caf\xC3\xA9", 65001, WideBytes(L"caf\u00E9")},
        {TQTYPE_DSTRA, "caf\xC3\xA9", 65001, Bytes({'c', 'a', 'f', 0xE9})},
        {TQTYPE_BIN, kBinary, 1252, Bytes({'a', 0, 'b', 0xFF})},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::Message() << "type " << r.nType << ": " << r.sText);
        CCell c(nullptr, &cnx);
        c.InitTypeVariantAny(r.nType, 0);
        ASSERT_EQ(StoreDB(c, r.sText, r.nCodePage), 1);
        EXPECT_EQ(DataBytes(*c.pclGetValue()), r.value);
        EXPECT_EQ(c.pclGetValue()->nGetType(), r.nType);
        // Wide text from the server (the 8-bit texts read in 1252).
        if (r.nCodePage == 1252) {
            c.InitTypeVariantAny(r.nType, 0);
            ASSERT_EQ(StoreDB(c, Widened(r.sText)), 1);
            EXPECT_EQ(DataBytes(*c.pclGetValue()), r.value);
        }
    }
    // A boolean counts the length, not a terminator.
    CCell c;
    c.InitTypeVariantAny(TQTYPE_BOOL, 0);
    ASSERT_EQ(c.bSetValueDB(L"1", 0), 1);
    EXPECT_EQ(Get<std::int32_t>(*c.pclGetValue()), 0);
    c.InitTypeVariantAny(TQTYPE_I4, 0);
    ASSERT_EQ(c.bSetValueDB(L"12345", 2), 1);
    EXPECT_EQ(Get<std::int32_t>(*c.pclGetValue()), 12);
    // Decimals, as the cell's own value and in a DECIMAL(5,2) element.
    c.InitTypeVariantAny(TQTYPE_DECIMAL, 0);
    ASSERT_EQ(StoreDB(c, std::string("-12345.678"), 1252), 1);
    CAny v;
    ASSERT_EQ(c.bGetValue(&v), 1);
    ASSERT_LE(v.__nCastTo(TQTYPE_R8, nullptr, 1), 99);
    EXPECT_DOUBLE_EQ(Get<double>(v), -12345.678);
    ItemPtr dec = Item(NA_IT_DECIMAL, 0, 3, 2);
    const unsigned nBytes = IDecimal::mg_PToN[5];
    Bytes b, b2;
    BindBuffer(c, b, nBytes, dec.get());
    ASSERT_EQ(StoreDB(c, std::string("123.45"), 1252), 1);
    ASSERT_EQ(c.bGetValue(&v), 1);
    CCell h;
    BindBuffer(h, b2, nBytes, dec.get());
    ASSERT_EQ(h.bSetValue(&v), 1);
    EXPECT_EQ(b2, b);
    ASSERT_LE(v.__nCastTo(TQTYPE_R8, nullptr, 1), 99);
    EXPECT_DOUBLE_EQ(Get<double>(v), 123.45);
    ASSERT_EQ(StoreDB(c, std::wstring(L"-99.5")), 1);
    ASSERT_EQ(c.bGetValue(&v), 1);
    ASSERT_LE(v.__nCastTo(TQTYPE_R8, nullptr, 1), 99);
    EXPECT_DOUBLE_EQ(Get<double>(v), -99.5);
}

TEST(NAConvertVariantDB, RejectedTextsAnswerFalseAndChangeNothing)
{
    BindValueMachine();
    CNoLeak check;
    ErrorPtr e = NewError();
    struct { eNA_ITEMTYPE eItem; unsigned nSize; const char* psz; } const rows[] = {
        {NA_IT_I4, 4, "12abc"},
        {NA_IT_I4, 4, "x"},
        {NA_IT_R8, 8, "2.5.5"},
        {NA_IT_DECIMAL, 8, "1x"},
        // Date and time texts of no known layout.
        {NA_IT_DATETIME, 8, "1234567"},
        {NA_IT_DATETIME, 8, "123456789"},
        {NA_IT_DATETIME, 8, "2024/02/29"},
        {NA_IT_DATETIME, 8, "12-34"},
        {NA_IT_DATETIME, 8, "2024-01-31 10:20:30.1234567"},
        {NA_IT_DATETIME, 8, "2024-01-31 10:20:30."},
        {NA_IT_HEURE, 10, "838:59:59"},
        // The server's times beyond two-digit hours, with a fraction too.
        {NA_IT_HEURE, 10, "-01:00:00"},
        {NA_IT_HEURE, 10, "-01:00:00.5"},
        {NA_IT_HEURE, 10, "100:00:00.5"},
        {NA_IT_HEURE, 10, "-10:00:00.25"},
        {NA_IT_HEURE, 10, "838:59:59.99"},
        {NA_IT_DATETIME, 8, "-838:59:59.9"},
        // ... of the lengths of the date layouts (14, 17), fraction digits
        // of TIME(3), TIME(4) and TIME(6).
        {NA_IT_HEURE, 10, "-09:59:30.9186"},
        {NA_IT_HEURE, 10, "409:59:30.9186"},
        {NA_IT_HEURE, 10, "-409:59:30.918"},
        {NA_IT_HEURE, 10, "-409:59:30.918678"},
        {NA_IT_DATETIME, 8, "409:59:30.9186"},
        {NA_IT_DATETIME, 8, "-409:59:30.918678"},
        {NA_IT_DATE8, 9, "-09:59:30.9186"},
        // Every layout wants digits where it reads them.
        {NA_IT_HEURE, 10, "1-30"},
        {NA_IT_HEURE, 10, "1a:30"},
        {NA_IT_HEURE, 10, "12305 "},
        {NA_IT_DATE8, 9, "2024022x"},
        {NA_IT_HEURE, 10, "10:2 :30"},
        {NA_IT_DATE8, 9, "2024-0 -29"},
        {NA_IT_HEURE, 10, "10:20:30.5x"},
        {NA_IT_DATETIME, 8, "2024013110203 "},
        {NA_IT_DATETIME, 8, "20240131 10:20:3x"},
        {NA_IT_DATETIME, 8, "2024-01-31 1 :20:30"},
        {NA_IT_DATETIME, 8, "2024-01-31 10:20:30.x"},
        {NA_IT_DATETIME, 8, "2024-01-31 10:20:30.12345x"},
        {NA_IT_DATE8, 9, "2024.02.29"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.psz);
        ItemPtr item = Item(r.eItem, r.nSize);
        Bytes b;
        CCell c(e.get());
        BindBuffer(c, b, r.nSize, item.get());
        c.pclGetValue()->SetNullFlag(true);
        e->Reset();
        EXPECT_EQ(StoreDB(c, std::string(r.psz), 1252), 0);
        EXPECT_EQ(e->dwGetErrorId(), 53u);
        const std::wstring sMessage = e->pclGetXError()->pszGetUserMessage();
        EXPECT_NE(sMessage.find(Widened(r.psz)), std::wstring::npos) << sMessage;
        e->Reset();
        EXPECT_EQ(StoreDB(c, Widened(r.psz)), 0);
        EXPECT_EQ(e->dwGetErrorId(), 53u);
        EXPECT_EQ(b, Bytes(r.nSize, 0xEE));
        EXPECT_TRUE(c.pclGetValue()->bIsNull());
    }
    // The cell's own value stays too.
    CCell d(e.get());
    d.InitTypeVariantAny(TQTYPE_R8, 0);
    ASSERT_EQ(d.bSetValueDB(L"2.5", 3), 1);
    EXPECT_EQ(d.bSetValueDB(L"2.5.5", 5), 0);
    EXPECT_EQ(Get<double>(*d.pclGetValue()), 2.5);
}

TEST(NAConvertVariantDB, NullOtherTypesRawBytesAndHostValues)
{
    BindValueMachine();
    CNoLeak check;
    // No text: NULL, keeping the type.
    CCell z;
    z.InitTypeVariantAny(TQTYPE_I4, 0);
    ASSERT_EQ(z.bSetValueDB(L"5", 1), 1);
    ASSERT_EQ(z.bSetValueFromDB(nullptr, 3), 1);
    EXPECT_TRUE(z.pclGetValue()->bIsNull());
    EXPECT_EQ(z.pclGetValue()->nGetTypeCode(), TQTYPE_I4);
    // A cell without type takes the text as wide text.
    CCell e;
    e.InitTypeVariantAny(TQTYPE_VIDE, 0);
    ASSERT_EQ(e.bSetValueFromDB(L"hello", 5), 1);
    EXPECT_EQ(TextW(*e.pclGetValue()), L"hello");
    // A reset cell has no database buffer.
    CCell r;
    EXPECT_EQ(r.bSetValueDB(L"1", 1), 0);
    EXPECT_EQ(r.bSetValueDB("1", 1, 1252), 0);
    // Raw bytes on the cell's own value.
    CTestConnection cnx(1252, 1252);
    CCell c(nullptr, &cnx);
    c.InitTypeVariantAny(TQTYPE_I4, 0);
    const std::int32_t n = 99;
    ASSERT_EQ(c.bSetValueDB(reinterpret_cast<const unsigned char*>(&n), 4), 1);
    EXPECT_EQ(Get<std::int32_t>(*c.pclGetValue()), 99);
    EXPECT_EQ(c.nLengthDB(), 4u);
    EXPECT_EQ(c.nStateDB(), CNAConvertVariant::DBBUFFER_INPLACE);
    // A caller's buffer: what fits, the rest zeroed, the length copied.
    Bytes b(4, 0xEE);
    CCell k(nullptr, &cnx);
    k.bInitTypeVariant(NA_VAR_BUFFER, b.data(), 4, TQTYPE_BIN);
    const unsigned char aby[6] = {1, 2, 3, 4, 5, 6};
    ASSERT_EQ(k.bSetValueDB(aby, 6), 1);
    EXPECT_EQ(b, Bytes({1, 2, 3, 4}));
    EXPECT_EQ(k.nLengthDB(), 4u);
    ASSERT_EQ(k.bSetValueDB(aby, 2), 1);
    EXPECT_EQ(b, Bytes({1, 2, 0, 0}));
    EXPECT_EQ(k.nLengthDB(), 2u);
    // A separate database buffer grows to the bytes given.
    CCell s(nullptr, &cnx);
    s.InitTypeVariantAny(TQTYPE_BIN, 0);
    s.SetStateDB(CNAConvertVariant::DBBUFFER_OWN);
    ASSERT_EQ(s.bSetValueDB(aby, 5), 1);
    unsigned char* p = nullptr;
    unsigned int nSize = 0;
    ASSERT_EQ(s.bGetBufferDB(&p, &nSize, nullptr), 1);
    ASSERT_EQ(nSize, 5u);
    EXPECT_EQ(std::memcmp(p, aby, 5), 0);
    // Host values: a text into a number, NULL.
    CAny t, null;
    SetA(t, "314");
    ASSERT_EQ(c.bSetValueDB(&t), 1);
    EXPECT_EQ(Get<std::int32_t>(*c.pclGetValue()), 314);
    null.__SetType(TQTYPE_I4, 0);
    null.SetNullFlag(true);
    ASSERT_EQ(c.bSetValueDB(&null), 1);
    EXPECT_TRUE(c.pclGetValue()->bIsNull());
}

// Bytes that are no UTF-8 text (ended inside a character) fail on every
// road of a server text into a cell with the conversion's error: it names the item and shows the bytes
// (a long value by its start) and the code page; the cell keeps its value.
TEST(NAConvertVariantDB, BytesThatAreNoTextFailNamingTheItemAndTheConversion)
{
    BindValueMachine();
    CNoLeak check;
    ErrorPtr e = NewError();
    CTestConnection cnx(1252, 65001);
    const std::string strLong = std::string(300, 'x') + "\xE9";
    std::string strShown = "X'";
    for (int i = 0; i < 32; i++)
        strShown += "78";
    strShown += "'... in code page 65001";
    const struct {
        const char* pszRoad;
        unsigned short nHostType; // the cell's own value, or 0 for a record element
        eNA_ITEMTYPE eItem;
        unsigned nSize;
        std::string strText;
        std::string strShown;
    } rows[] = {
        {"wide text", TQTYPE_DSTRW, NA_IT_MEMOUNICODE, 8, "caf\xE9", "X'636166E9' in code page 65001"},
        {"8-bit text of the host", TQTYPE_DSTRA, NA_IT_MEMOTEXTE, 8, "\xC3", "X'C3' in code page 65001"},
        {"number", TQTYPE_I4, NA_IT_I4, 4, "4\xE4", "X'34E4' in code page 65001"},
        {"short wide element", 0, NA_IT_UNICODE, 22, "a\xE2\x82", "X'61E282' in code page 65001"},
        {"long wide element", 0, NA_IT_UNICODE, 1202, strLong, strShown},
        {"8-bit element", 0, NA_IT_TEXTE, 11, "\xE4\xB8", "X'E4B8' in code page 65001"},
        // As many bytes as are shown: the whole value.
        {"element of 32 bytes", 0, NA_IT_TEXTE, 40, strLong.substr(269), strShown.substr(0, 64) + "E9' in code page 65001"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.pszRoad);
        ItemPtr item = Item(r.eItem, r.nSize);
        Bytes b;
        CCell c(e.get(), &cnx);
        if (r.nHostType != 0) {
            c.InitTypeVariantAny(r.nHostType, 0);
            c.SetItemDesc(item.get(), item.get());
        } else {
            BindBuffer(c, b, r.nSize, item.get());
        }
        c.pclGetValue()->SetNullFlag(true);
        e->Reset();
        EXPECT_EQ(StoreDB(c, r.strText, 65001u), 0);
        EXPECT_EQ(e->dwGetErrorId(), 53u);
        EXPECT_EQ(std::wstring(e->pszGetItemName()), L"ITEM");
        const std::wstring sMessage = e->pclGetXError()->pszGetUserMessage();
        EXPECT_NE(sMessage.find(L"(value: " + Widened(r.strShown) + L")"), std::wstring::npos) << sMessage;
        EXPECT_TRUE(c.pclGetValue()->bIsNull());
        if (r.nHostType == 0) {
            EXPECT_EQ(b, Bytes(r.nSize, 0xEE));
        }
    }
}
