// Storing server values in a value cell: the MySQL text forms of integers,
// decimals, reals, booleans, dates, times and date-times (with 1 to 6
// fraction digits), binaries and texts in 1252 and UTF-8, read back as host
// values and in the record-buffer forms; rejected texts; raw bytes and host
// values for the database buffer. Buffers are allocated at their exact size
// so that the sanitizer sees any access beyond them.
#include "common/values/NACnvVariant.h"

#include "access/driver/NAConnectionDescription.h"
#include "access/driver/NAError.h"
#include "access/driver/NAItemDescription.h"
#include "common/values/AnyConvert.h"
#include "common/values/Decimal.h"
#include "common/values/datetime.h"
#include "common/values/monetaire.h"
#include "host/ValueMachine.h"
#include "tests/support/TestHost.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <dlfcn.h>
#include <memory>
#include <string>
#include <vector>

namespace {

void* StandIn()
{
    static void* h = dlopen(ZT_BUILD_DIR "/" HOSTSTANDIN_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    return h;
}

void Bind()
{
    TestHost();
    ASSERT_NE(StandIn(), nullptr);
    ASSERT_EQ(bInitTQConvFromVM(StandIn(), 2, 2), 1);
    ASSERT_EQ(bInitTQCalcFromVM(StandIn(), 2, 2), 1);
}

IHostValueMachine& Machine()
{
    void* p = dlsym(StandIn(), HOSTVM_CONTROL_ENTRY);
    PFN_HOSTVM_CONTROL pfn;
    std::memcpy(&pfn, &p, sizeof(p));
    return *pfn();
}

class CNoLeak {
public:
    CNoLeak() : m_nDecimals(Machine().nLiveDecimals()) {}
    ~CNoLeak() { EXPECT_EQ(Machine().nLiveDecimals(), m_nDecimals) << "decimal objects leaked"; }

private:
    CLiveBlockCheck m_check;
    int m_nDecimals;
};

class CTestItem : public CNAItemDescription {
public:
    static CTestItem* New(eNA_ITEMTYPE eType, unsigned int nSize, int nInteger, int nDecimal)
    {
        CTestItem* p = new CTestItem;
        p->m_eItemType = eType;
        p->m_nItemSize = nSize;
        p->m_nDimension = 1;
        p->m_nIntegerPart = nInteger;
        p->m_nDecimalPart = nDecimal;
        p->m_nOffsetBase = 0;
        p->AddRef();
        return p;
    }
};

struct ItemDeleter {
    void operator()(CTestItem* p) const { p->nRelease(); }
};
typedef std::unique_ptr<CTestItem, ItemDeleter> ItemPtr;

ItemPtr Item(eNA_ITEMTYPE eType, unsigned int nSize = 0, int nInteger = 0, int nDecimal = 0)
{
    return ItemPtr(CTestItem::New(eType, nSize, nInteger, nDecimal));
}

class CTestConnection : public CNAConnectionDescription {
public:
    CTestConnection(int nHostCodePage, int nCnxCodePage)
    {
        m_nHostCodePage = nHostCodePage;
        m_nCnxCodePage = nCnxCodePage;
    }
};

struct ErrorDeleter {
    void operator()(CNAError* p) const { p->nRelease(); }
};
typedef std::unique_ptr<CNAError, ErrorDeleter> ErrorPtr;

ErrorPtr NewError()
{
    CNAError* p = new CNAError;
    p->AddRef();
    return ErrorPtr(p);
}

class CCell : public CNAConvertVariant {
public:
    explicit CCell(CNAError* pError = nullptr, CNAConnectionDescription* pCnx = nullptr)
        : CNAConvertVariant(pError, pCnx)
    {
    }
    int nStateDB() const { return m_nStateBufferDB; }
    unsigned int nLengthDB() const { return m_nLengthDB; }
    void SetStateDB(int n) { m_nStateBufferDB = n; }
};

template <class T>
T Read(const CAny& v)
{
    T x;
    std::memcpy(&x, v.pbyGetValeur(), sizeof(x));
    return x;
}

template <class T>
T ReadBytes(const std::vector<unsigned char>& b)
{
    T x;
    std::memcpy(&x, b.data(), sizeof(x));
    return x;
}

std::string Text8(const CAny& v)
{
    const char* psz = nullptr;
    v.pclGetTraitement()->nGetPCASTR(&psz);
    return psz != nullptr ? psz : "";
}

std::wstring TextW(const CAny& v)
{
    const wchar_t* psz = nullptr;
    v.pclGetTraitement()->nGetPCWSTR(&psz);
    return psz != nullptr ? psz : L"";
}

std::vector<unsigned char> Bytes(const char* p, std::size_t n)
{
    return std::vector<unsigned char>(p, p + n);
}

// The text of a server field as it comes: exactly its bytes, no terminator.
std::unique_ptr<char[]> Field(const char* psz)
{
    const std::size_t n = std::strlen(psz);
    std::unique_ptr<char[]> p(new char[n > 0 ? n : 1]);
    std::memcpy(p.get(), psz, n);
    return p;
}

std::unique_ptr<wchar_t[]> FieldW(const wchar_t* psz)
{
    const std::size_t n = std::wcslen(psz);
    std::unique_ptr<wchar_t[]> p(new wchar_t[n > 0 ? n : 1]);
    std::wmemcpy(p.get(), psz, n);
    return p;
}

// A cell bound to a record-buffer element of nSize bytes.
void BindBuffer(CCell& c, std::vector<unsigned char>& b, unsigned nSize, CTestItem* pItem)
{
    b.assign(nSize, 0xEE);
    c.bInitTypeVariant(NA_VAR_BUFFER, b.data(), nSize, TQTYPE_VIDE);
    c.SetItemDesc(pItem, pItem);
}

unsigned Ms(unsigned h, unsigned m, unsigned s, unsigned ms)
{
    return ((h * 60 + m) * 60 + s) * 1000 + ms;
}

// The date word: day in the low byte, month above, year in the high half.
std::uint32_t DateWord(unsigned y, unsigned m, unsigned d)
{
    return d | (m << 8) | (y << 16);
}

} // namespace

// ---- Numbers ----------------------------------------------------------------------------------------

TEST(NAConvertVariantDB, IntegersAndRealsInEachWidth)
{
    Bind();
    CNoLeak check;
    CTestConnection cnx(1252, 1252);
    {
        // Own values, from 8-bit server text.
        CCell c(nullptr, &cnx);
        c.InitTypeVariantAny(TQTYPE_UI2, 0);
        auto f = Field("65535");
        ASSERT_EQ(c.bSetValueDB(f.get(), 5, 1252), 1);
        EXPECT_EQ(Read<std::uint16_t>(*c.pclGetValue()), 65535);
        c.InitTypeVariantAny(TQTYPE_I1, 0);
        f = Field("-128");
        ASSERT_EQ(c.bSetValueDB(f.get(), 4, 1252), 1);
        EXPECT_EQ(Read<std::int8_t>(*c.pclGetValue()), -128);
        c.InitTypeVariantAny(TQTYPE_I8, 0);
        f = Field("-9223372036854775808");
        ASSERT_EQ(c.bSetValueDB(f.get(), 20, 1252), 1);
        EXPECT_EQ(Read<std::int64_t>(*c.pclGetValue()), INT64_MIN);
        c.InitTypeVariantAny(TQTYPE_UI8, 0);
        f = Field("18446744073709551615");
        ASSERT_EQ(c.bSetValueDB(f.get(), 20, 1252), 1);
        EXPECT_EQ(Read<std::uint64_t>(*c.pclGetValue()), UINT64_MAX);
        c.InitTypeVariantAny(TQTYPE_R8, 0);
        f = Field("-1.5e3");
        ASSERT_EQ(c.bSetValueDB(f.get(), 6, 1252), 1);
        EXPECT_EQ(Read<double>(*c.pclGetValue()), -1500.0);
        c.InitTypeVariantAny(TQTYPE_R4, 0);
        f = Field("0.25");
        ASSERT_EQ(c.bSetValueDB(f.get(), 4, 1252), 1);
        EXPECT_EQ(Read<float>(*c.pclGetValue()), 0.25f);
        // Currency in millionths: 12.345678 is 12345678 = 0xBC614E.
        c.InitTypeVariantAny(TQTYPE_CY, 0);
        f = Field("12.345678");
        ASSERT_EQ(c.bSetValueDB(f.get(), 9, 1252), 1);
        const CMoney m = Read<CMoney>(*c.pclGetValue());
        EXPECT_EQ(m.m_awMot[0], 0x614E);
        EXPECT_EQ(m.m_awMot[1], 0x00BC);
        EXPECT_EQ(m.m_awMot[2], 0);
    }
    {
        // Record-buffer elements of exactly the type's size, from wide text.
        ItemPtr i4 = Item(NA_IT_I4, 4);
        ItemPtr ui1 = Item(NA_IT_UI1, 1);
        ItemPtr r8 = Item(NA_IT_R8, 8);
        ItemPtr i8 = Item(NA_IT_I8, 8);
        std::vector<unsigned char> b;
        CCell c(nullptr, &cnx);
        BindBuffer(c, b, 4, i4.get());
        auto w = FieldW(L"-2147483648");
        ASSERT_EQ(c.bSetValueDB(w.get(), 11), 1);
        EXPECT_EQ(ReadBytes<std::int32_t>(b), INT32_MIN);
        BindBuffer(c, b, 8, r8.get());
        w = FieldW(L"3.75");
        ASSERT_EQ(c.bSetValueDB(w.get(), 4), 1);
        EXPECT_EQ(ReadBytes<double>(b), 3.75);
        // An unsigned byte goes through the host-value path.
        BindBuffer(c, b, 1, ui1.get());
        w = FieldW(L"200");
        ASSERT_EQ(c.bSetValueDB(w.get(), 3), 1);
        EXPECT_EQ(b[0], 200);
        // An element smaller than the type: what fits, nothing beyond.
        BindBuffer(c, b, 3, i8.get());
        w = FieldW(L"65793");  // 0x010101
        ASSERT_EQ(c.bSetValueDB(w.get(), 5), 1);
        EXPECT_EQ(b, (std::vector<unsigned char>{1, 1, 1}));
        // The length counts, not a terminator.
        BindBuffer(c, b, 4, i4.get());
        ASSERT_EQ(c.bSetValueDB(L"12345", 2), 1);
        EXPECT_EQ(ReadBytes<std::int32_t>(b), 12);
    }
}

TEST(NAConvertVariantDB, RejectedNumericTextsAnswerFalse)
{
    Bind();
    CNoLeak check;
    ErrorPtr e = NewError();
    CTestConnection cnx(1252, 1252);
    ItemPtr i4 = Item(NA_IT_I4, 4);
    std::vector<unsigned char> b;
    CCell c(e.get(), &cnx);
    BindBuffer(c, b, 4, i4.get());
    ASSERT_EQ(c.bSetValueDB(L"41", 2), 1);
    auto f = Field("12abc");
    EXPECT_EQ(c.bSetValueDB(f.get(), 5, 1252), 0);
    EXPECT_EQ(ReadBytes<std::int32_t>(b), 41);
    EXPECT_EQ(e->dwGetErrorId(), 53u);
    EXPECT_NE(std::wstring(e->pclGetXError()->pszGetUserMessage()).find(L"12abc"), std::wstring::npos);
    e->Reset();
    EXPECT_EQ(c.bSetValueDB(L"x", 1), 0);
    EXPECT_EQ(e->dwGetErrorId(), 53u);
    // A NULL cell stays NULL.
    c.SetNull();
    EXPECT_EQ(c.bSetValueDB(L"--", 2), 0);
    EXPECT_TRUE(c.pclGetValue()->bIsNull());

    // Own value: unchanged too; the decimal path likewise.
    CCell d(e.get(), &cnx);
    d.InitTypeVariantAny(TQTYPE_R8, 0);
    ASSERT_EQ(d.bSetValueDB(L"2.5", 3), 1);
    EXPECT_EQ(d.bSetValueDB(L"2.5.5", 5), 0);
    EXPECT_EQ(Read<double>(*d.pclGetValue()), 2.5);
    d.InitTypeVariantAny(TQTYPE_DECIMAL, 0);
    e->Reset();
    f = Field("1x");
    EXPECT_EQ(d.bSetValueDB(f.get(), 2, 1252), 0);
    EXPECT_EQ(e->dwGetErrorId(), 53u);
}

TEST(NAConvertVariantDB, Decimals)
{
    Bind();
    CNoLeak check;
    CTestConnection cnx(1252, 1252);
    CCell c(nullptr, &cnx);
    c.InitTypeVariantAny(TQTYPE_DECIMAL, 0);
    auto f = Field("-12345.678");
    ASSERT_EQ(c.bSetValueDB(f.get(), 10, 1252), 1);
    CAny v;
    ASSERT_EQ(c.bGetValue(&v), 1);
    ASSERT_LE(v.__nCastTo(TQTYPE_R8, nullptr, 1), 99);
    EXPECT_DOUBLE_EQ(Read<double>(v), -12345.678);

    // Into a DECIMAL(5,2) element: read back from the buffer.
    ItemPtr dec = Item(NA_IT_DECIMAL, 0, 3, 2);
    std::vector<unsigned char> b;
    BindBuffer(c, b, IDecimal::mg_PToN[5], dec.get());
    ASSERT_EQ(c.pclGetValue()->nGetTypeCode(), TQTYPE_DECIMAL);
    ASSERT_EQ(c.bSetValueDB(L"123.45", 6), 1);
    ASSERT_EQ(c.bGetValue(&v), 1);
    ASSERT_LE(v.__nCastTo(TQTYPE_R8, nullptr, 1), 99);
    EXPECT_DOUBLE_EQ(Read<double>(v), 123.45);
}

TEST(NAConvertVariantDB, Booleans)
{
    Bind();
    CNoLeak check;
    struct {
        const char* psz;
        int b;
    } const cases[] = {{"F", 0}, {"false", 0}, {"0", 0}, {"f", 0}, {"yes", 1}, {"1", 1}, {"T", 1}, {"2", 1}};
    for (const auto& k : cases) {
        CCell c;
        c.InitTypeVariantAny(TQTYPE_BOOL, 0);
        auto f = Field(k.psz);
        ASSERT_EQ(c.bSetValueDB(f.get(), static_cast<unsigned>(std::strlen(k.psz)), 1252), 1);
        EXPECT_EQ(Read<std::int32_t>(*c.pclGetValue()), k.b) << k.psz;
        std::vector<unsigned char> b(1, 0xEE);
        c.bInitTypeVariant(NA_VAR_BUFFER, b.data(), 1, TQTYPE_BOOL);
        std::wstring w(k.psz, k.psz + std::strlen(k.psz));
        ASSERT_EQ(c.bSetValueDB(w.c_str(), static_cast<unsigned>(w.size())), 1);
        EXPECT_EQ(b[0], k.b) << k.psz;
    }
    // The empty text is false; a longer text counts only its length.
    CCell c;
    c.InitTypeVariantAny(TQTYPE_BOOL, 0);
    ASSERT_EQ(c.bSetValueDB(L"1", 0), 1);
    EXPECT_EQ(Read<std::int32_t>(*c.pclGetValue()), 0);
}

// ---- Dates and times ----------------------------------------------------------------------------------

TEST(NAConvertVariantDB, DatesIntoDate8AndDateTimeItems)
{
    Bind();
    CNoLeak check;
    ItemPtr date8 = Item(NA_IT_DATE8, 9);
    ItemPtr dtItem = Item(NA_IT_DATETIME, 8);
    // The DATE column comes with its hyphens or without them.
    for (const char* psz : {"2024-02-29", "20240229"}) {
        std::vector<unsigned char> b;
        CCell c;
        BindBuffer(c, b, 9, date8.get());
        auto f = Field(psz);
        ASSERT_EQ(c.bSetValueDB(f.get(), static_cast<unsigned>(std::strlen(psz)), 1252), 1) << psz;
        EXPECT_EQ(b, Bytes("20240229", 9)) << psz;
        CAny v;
        ASSERT_EQ(c.bGetValue(&v), 1);

        BindBuffer(c, b, 8, dtItem.get());
        std::wstring w(psz, psz + std::strlen(psz));
        ASSERT_EQ(c.bSetValueDB(w.c_str(), static_cast<unsigned>(w.size())), 1) << psz;
        const CDateTime dt = ReadBytes<CDateTime>(b);
        EXPECT_EQ(dt.dwGetMotDate(), DateWord(2024, 2, 29)) << psz;
        EXPECT_EQ(dt.m_dwHeure, 0u) << psz;
    }
    // A date-time into a DATE8 item keeps the date; a time leaves it empty.
    std::vector<unsigned char> b;
    CCell c;
    BindBuffer(c, b, 9, date8.get());
    auto f = Field("2024-01-31 10:20:30.123456");
    ASSERT_EQ(c.bSetValueDB(f.get(), 26, 1252), 1);
    EXPECT_EQ(b, Bytes("20240131", 9));
    f = Field("10:20:30");
    ASSERT_EQ(c.bSetValueDB(f.get(), 8, 1252), 1);
    EXPECT_EQ(b, std::vector<unsigned char>(9, 0));
    // Too small for the date: nothing written, nothing beyond.
    BindBuffer(c, b, 6, date8.get());
    f = Field("2024-02-29");
    ASSERT_EQ(c.bSetValueDB(f.get(), 10, 1252), 1);
    EXPECT_EQ(b, std::vector<unsigned char>(6, 0));
}

TEST(NAConvertVariantDB, DateTimesWithAndWithoutFractions)
{
    Bind();
    CNoLeak check;
    ItemPtr dtItem = Item(NA_IT_DATETIME, 8);
    const std::uint32_t dw = DateWord(2024, 1, 31);
    struct {
        const char* psz;
        std::uint32_t dwDate;
        unsigned nMs;
    } const cases[] = {
        {"2024-01-31 10:20:30", dw, Ms(10, 20, 30, 0)},
        {"20240131 10:20:30", dw, Ms(10, 20, 30, 0)},
        {"20240131102030", dw, Ms(10, 20, 30, 0)},
        {"2024-01-31 10:20:30.5", dw, Ms(10, 20, 30, 500)},
        {"2024-01-31 10:20:30.12", dw, Ms(10, 20, 30, 120)},
        {"2024-01-31 10:20:30.123", dw, Ms(10, 20, 30, 123)},
        {"2024-01-31 10:20:30.1234", dw, Ms(10, 20, 30, 123)},
        {"2024-01-31 10:20:30.12345", dw, Ms(10, 20, 30, 123)},
        {"2024-01-31 10:20:30.123456", dw, Ms(10, 20, 30, 123)},
        {"20240131 10:20:30.5", dw, Ms(10, 20, 30, 500)},
        {"20240131 10:20:30.12", dw, Ms(10, 20, 30, 120)},
        {"20240131 10:20:30.123", dw, Ms(10, 20, 30, 123)},
        {"20240131 10:20:30.1234", dw, Ms(10, 20, 30, 123)},
        {"20240131 10:20:30.12345", dw, Ms(10, 20, 30, 123)},
        {"20240131 10:20:30.999999", dw, Ms(10, 20, 30, 999)},
        {"10:20:30", 0, Ms(10, 20, 30, 0)},
        {"10:20:30.5", 0, Ms(10, 20, 30, 500)},
        {"10:20:30.05", 0, Ms(10, 20, 30, 50)},
        {"10:20:30.123", 0, Ms(10, 20, 30, 123)},
        {"10:20:30.1234", 0, Ms(10, 20, 30, 123)},
        {"10:20:30.12345", 0, Ms(10, 20, 30, 123)},
        {"10:20:30.123456", 0, Ms(10, 20, 30, 123)},
        {"1020", 0, Ms(10, 20, 0, 0)},
        {"10:20", 0, Ms(10, 20, 0, 0)},
        {"102030", 0, Ms(10, 20, 30, 0)},
        {"0000-00-00 00:00:00", 0, 0},
    };
    for (const auto& k : cases) {
        const unsigned n = static_cast<unsigned>(std::strlen(k.psz));
        std::vector<unsigned char> b;
        CCell c;
        BindBuffer(c, b, 8, dtItem.get());
        auto f = Field(k.psz);
        ASSERT_EQ(c.bSetValueDB(f.get(), n, 1252), 1) << k.psz;
        CDateTime dt = ReadBytes<CDateTime>(b);
        EXPECT_EQ(dt.dwGetMotDate(), k.dwDate) << k.psz;
        EXPECT_EQ(dt.m_dwHeure, k.nMs) << k.psz;
        // The same through wide text, into the cell's own value.
        CCell a;
        a.InitTypeVariantAny(TQTYPE_DATETIME, 0);
        auto w = FieldW(std::wstring(k.psz, k.psz + n).c_str());
        ASSERT_EQ(a.bSetValueFromDB(w.get(), n), 1) << k.psz;
        dt = Read<CDateTime>(*a.pclGetValue());
        EXPECT_EQ(dt.dwGetMotDate(), k.dwDate) << k.psz;
        EXPECT_EQ(dt.m_dwHeure, k.nMs) << k.psz;
        EXPECT_FALSE(a.pclGetValue()->bIsNull());
    }
}

TEST(NAConvertVariantDB, TimeItemDigitsAsTheSizeAllows)
{
    Bind();
    CNoLeak check;
    ItemPtr h10 = Item(NA_IT_HEURE, 10);
    struct {
        const char* psz;
        unsigned nSize;
        const char* pszDigits;
    } const cases[] = {
        {"2024-02-29 13:45:07.5", 10, "134507500"},
        {"13:45", 7, "134500"},
        {"13:45:07.25", 10, "134507250"},
        {"13:45:07.123456", 10, "134507123"},
        {"20240229 13:45:07.98", 10, "134507980"},
        {"2024-02-29", 10, "000000000"},
        {"20240229", 7, "000000"},
        {"134507", 5, "1345"},
        {"13:45:07", 3, "13"},
    };
    for (const auto& k : cases) {
        std::vector<unsigned char> b;
        CCell c;
        BindBuffer(c, b, k.nSize, h10.get());
        auto f = Field(k.psz);
        ASSERT_EQ(c.bSetValueDB(f.get(), static_cast<unsigned>(std::strlen(k.psz)), 1252), 1) << k.psz;
        std::vector<unsigned char> expected(k.nSize, 0);
        std::memcpy(expected.data(), k.pszDigits, std::strlen(k.pszDigits));
        EXPECT_EQ(b, expected) << k.psz;
    }
    // Own values of the date and time text types.
    CCell d;
    d.InitTypeVariantAny(TQTYPE_DATEA, 0);
    ASSERT_EQ(d.bSetValueDB(L"2024-02-29", 10), 1);
    EXPECT_EQ(Text8(*d.pclGetValue()), "20240229");
    d.InitTypeVariantAny(TQTYPE_TIMEA, 0);
    ASSERT_EQ(d.bSetValueDB(L"13:45:07.5", 10), 1);
    EXPECT_EQ(Text8(*d.pclGetValue()), "134507500");
    d.InitTypeVariantAny(TQTYPE_TIMEW, 0);
    ASSERT_EQ(d.bSetValueDB(L"13:45", 5), 1);
    EXPECT_EQ(TextW(*d.pclGetValue()), L"134500000");
    d.InitTypeVariantAny(TQTYPE_DATEW, 0);
    ASSERT_EQ(d.bSetValueDB(L"20240229 13:45:07", 17), 1);
    EXPECT_EQ(TextW(*d.pclGetValue()), L"20240229");
}

TEST(NAConvertVariantDB, UnrecognisedDateTextsAnswerFalse)
{
    Bind();
    CNoLeak check;
    ErrorPtr e = NewError();
    ItemPtr dtItem = Item(NA_IT_DATETIME, 8);
    std::vector<unsigned char> b;
    CCell c(e.get());
    BindBuffer(c, b, 8, dtItem.get());
    ASSERT_EQ(c.bSetValueDB(L"2024-02-29", 10), 1);
    const std::vector<unsigned char> before = b;
    for (const char* psz : {"1234567", "123456789", "2024/02/29", "12-34", "2024-01-31 10:20:30.1234567",
                            "838:59:59", "2024-01-31 10:20:30."}) {
        e->Reset();
        auto f = Field(psz);
        EXPECT_EQ(c.bSetValueDB(f.get(), static_cast<unsigned>(std::strlen(psz)), 1252), 0) << psz;
        EXPECT_EQ(b, before) << psz;
        EXPECT_EQ(e->dwGetErrorId(), 53u) << psz;
    }
    // The empty text is the empty date.
    ASSERT_EQ(c.bSetValueDB(L"", 0), 1);
    EXPECT_EQ(b, std::vector<unsigned char>(8, 0));
}

// ---- Texts ------------------------------------------------------------------------------------------

TEST(NAConvertVariantDB, TextsIn1252AndUTF8)
{
    Bind();
    CNoLeak check;
    CTestConnection cnx(1252, 65001);
    ItemPtr texte = Item(NA_IT_TEXTE, 5);
    ItemPtr uni = Item(NA_IT_UNICODE, 8);
    {
        // 1252: e acute is 0xE9.
        CCell c(nullptr, &cnx);
        c.InitTypeVariantAny(TQTYPE_DSTRW, 0);
        auto f = Field("caf\xE9");
        ASSERT_EQ(c.bSetValueDB(f.get(), 4, 1252), 1);
        EXPECT_EQ(TextW(*c.pclGetValue()), L"caf\u00E9");
        // UTF-8: the two bytes C3 A9.
        f = Field("caf\xC3\xA9");
        ASSERT_EQ(c.bSetValueDB(f.get(), 5, 65001), 1);
        EXPECT_EQ(TextW(*c.pclGetValue()), L"caf\u00E9");
        c.InitTypeVariantAny(TQTYPE_DSTRA, 0);
        ASSERT_EQ(c.bSetValueDB(f.get(), 5, 65001), 1);
        EXPECT_EQ(Text8(*c.pclGetValue()), "caf\xE9");
        f = Field("caf\xE9");
        ASSERT_EQ(c.bSetValueDB(f.get(), 4, 1252), 1);
        EXPECT_EQ(Text8(*c.pclGetValue()), "caf\xE9");
    }
    {
        // An 8-bit element of 5 bytes: at most 4 bytes and the terminator.
        std::vector<unsigned char> b;
        CCell c(nullptr, &cnx);
        BindBuffer(c, b, 5, texte.get());
        auto f = Field("\xC3\xA9t\xC3\xA9s!");
        ASSERT_EQ(c.bSetValueDB(f.get(), 7, 65001), 1);
        EXPECT_EQ(b, (std::vector<unsigned char>{0xE9, 't', 0xE9, 's', 0}));
        f = Field("abcdefgh");
        ASSERT_EQ(c.bSetValueDB(f.get(), 8, 1252), 1);
        EXPECT_EQ(b, Bytes("abcd", 5));
        ASSERT_EQ(c.bSetValueDB(L"\u00E9\u20AC", 2), 1);
        EXPECT_EQ(b, (std::vector<unsigned char>{0xE9, 0x80, 0, 0, 0}));
        // The empty text.
        ASSERT_EQ(c.bSetValueDB(f.get(), 0, 1252), 1);
        EXPECT_EQ(b, std::vector<unsigned char>(5, 0));

        // A wide element holds UTF-16 units: 3 and the terminator.
        BindBuffer(c, b, 8, uni.get());
        f = Field("\xC3\xA9t\xC3\xA9s");
        ASSERT_EQ(c.bSetValueDB(f.get(), 6, 65001), 1);
        const std::uint16_t au[4] = {0xE9, 't', 0xE9, 0};
        EXPECT_EQ(std::memcmp(b.data(), au, 8), 0);
        CAny v;
        ASSERT_EQ(c.bGetValue(&v), 1);
        EXPECT_EQ(TextW(v), L"\u00E9t\u00E9");
    }
}

TEST(NAConvertVariantDB, Binaries)
{
    Bind();
    CNoLeak check;
    ItemPtr bin = Item(NA_IT_BINAIRE, 100);
    std::vector<char> data(300);
    for (std::size_t i = 0; i < data.size(); i++)
        data[i] = static_cast<char>(i * 7);
    std::vector<unsigned char> b;
    CCell c;
    BindBuffer(c, b, 100, bin.get());
    ASSERT_EQ(c.bSetValueDB(data.data(), 300, 1252), 1);
    EXPECT_EQ(ReadBytes<std::uint16_t>(b), 98);
    EXPECT_EQ(std::memcmp(b.data() + 2, data.data(), 98), 0);
    CAny v;
    ASSERT_EQ(c.bGetValue(&v), 1);
    EXPECT_EQ(v.nGetTypeCode(), TQTYPE_BIN);
    // Shorter: the rest is zeroed.
    ASSERT_EQ(c.bSetValueDB(data.data(), 3, 1252), 1);
    EXPECT_EQ(ReadBytes<std::uint16_t>(b), 3);
    EXPECT_EQ(std::vector<unsigned char>(b.begin() + 5, b.end()), std::vector<unsigned char>(95, 0));
    // Wide text: one byte per character.
    ASSERT_EQ(c.bSetValueDB(L"abc", 3), 1);
    EXPECT_EQ(std::vector<unsigned char>(b.begin(), b.begin() + 6),
              (std::vector<unsigned char>{3, 0, 'a', 'b', 'c', 0}));
    // An element too small for the length: nothing, nothing beyond.
    BindBuffer(c, b, 1, bin.get());
    ASSERT_EQ(c.bSetValueDB(data.data(), 3, 1252), 1);
    EXPECT_EQ(b[0], 0);

    CCell a;
    a.InitTypeVariantAny(TQTYPE_BIN, 0);
    ASSERT_EQ(a.bSetValueDB(data.data(), 300, 1252), 1);
    EXPECT_EQ(a.nGetSize(), 300u);
    EXPECT_EQ(std::memcmp(a.pGetData(), data.data(), 300), 0);
}

TEST(NAConvertVariantDB, NullAndOtherTypes)
{
    Bind();
    CNoLeak check;
    CCell c;
    c.InitTypeVariantAny(TQTYPE_I4, 0);
    ASSERT_EQ(c.bSetValueDB(L"5", 1), 1);
    ASSERT_EQ(c.bSetValueFromDB(nullptr, 3), 1);
    EXPECT_TRUE(c.pclGetValue()->bIsNull());
    EXPECT_EQ(c.pclGetValue()->nGetTypeCode(), TQTYPE_I4);

    // A cell without type takes the text as wide text.
    CCell e;
    e.InitTypeVariantAny(TQTYPE_VIDE, 0);
    ASSERT_EQ(e.bSetValueFromDB(L"hello", 5), 1);
    EXPECT_EQ(TextW(*e.pclGetValue()), L"hello");

    // A reset cell has no database buffer.
    CCell r;
    EXPECT_EQ(r.bSetValueDB(L"1", 1), 0);
    EXPECT_EQ(r.bSetValueDB("1", 1, 1252), 0);
}

// ---- Raw bytes and host values -------------------------------------------------------------------------

TEST(NAConvertVariantDB, RawBytesAndHostValuesForTheDatabaseBuffer)
{
    Bind();
    CNoLeak check;
    CTestConnection cnx(1252, 1252);
    {
        CCell c(nullptr, &cnx);
        c.InitTypeVariantAny(TQTYPE_I4, 0);
        const std::int32_t n = 99;
        ASSERT_EQ(c.bSetValueDB(reinterpret_cast<const unsigned char*>(&n), 4), 1);
        EXPECT_EQ(Read<std::int32_t>(*c.pclGetValue()), 99);
        EXPECT_EQ(c.nLengthDB(), 4u);
        EXPECT_EQ(c.nStateDB(), 1);
    }
    {
        std::vector<unsigned char> b(4, 0xEE);
        CCell c(nullptr, &cnx);
        c.bInitTypeVariant(NA_VAR_BUFFER, b.data(), 4, TQTYPE_BIN);
        const unsigned char aby[6] = {1, 2, 3, 4, 5, 6};
        ASSERT_EQ(c.bSetValueDB(aby, 6), 1);
        EXPECT_EQ(b, (std::vector<unsigned char>{1, 2, 3, 4}));
        EXPECT_EQ(c.nLengthDB(), 4u);
        ASSERT_EQ(c.bSetValueDB(aby, 2), 1);
        EXPECT_EQ(b, (std::vector<unsigned char>{1, 2, 0, 0}));
        EXPECT_EQ(c.nLengthDB(), 2u);
    }
    {
        // A separate database buffer grows to the bytes given.
        CCell c(nullptr, &cnx);
        c.InitTypeVariantAny(TQTYPE_BIN, 0);
        c.SetStateDB(2);
        const unsigned char aby[5] = {9, 8, 7, 6, 5};
        ASSERT_EQ(c.bSetValueDB(aby, 5), 1);
        unsigned char* p = nullptr;
        unsigned int nSize = 0;
        ASSERT_EQ(c.bGetBufferDB(&p, &nSize, nullptr), 1);
        ASSERT_EQ(nSize, 5u);
        EXPECT_EQ(std::memcmp(p, aby, 5), 0);
    }
    {
        // Host values: 8-bit text into a number, wide text into a date,
        // the cell's own type as it is.
        CCell c(nullptr, &cnx);
        c.InitTypeVariantAny(TQTYPE_I4, 0);
        CAny t;
        t.__SetType(TQTYPE_DSTRA, 0);
        t.pclGetTraitement()->SetValue("314", 3);
        t.SetFlags(0);
        ASSERT_EQ(c.bSetValueDB(&t), 1);
        EXPECT_EQ(Read<std::int32_t>(*c.pclGetValue()), 314);
        CAny w;
        w.__SetType(TQTYPE_DSTRW, 0);
        w.pclGetTraitement()->SetValue(L"2024-02-29", 10 * sizeof(wchar_t));
        w.SetFlags(0);
        c.InitTypeVariantAny(TQTYPE_DATETIME, 0);
        ASSERT_EQ(c.bSetValueDB(&w), 1);
        EXPECT_EQ(Read<CDateTime>(*c.pclGetValue()).dwGetMotDate(), DateWord(2024, 2, 29));
        c.InitTypeVariantAny(TQTYPE_DSTRA, 0);
        ASSERT_EQ(c.bSetValueDB(&t), 1);
        EXPECT_EQ(Text8(*c.pclGetValue()), "314");
        CAny null;
        null.__SetType(TQTYPE_I4, 0);
        null.SetNullFlag(true);
        ASSERT_EQ(c.bSetValueDB(&null), 1);
        EXPECT_TRUE(c.pclGetValue()->bIsNull());
    }
}
