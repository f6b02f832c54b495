// Storing host-side values in a value cell: host values of the cell's own
// and of other host types, native values, texts in code pages, raw bytes,
// binaries, system times, the change of host type, date-times as text, and
// the report of a failed conversion. Buffers are allocated at their exact
// size so that the sanitizer sees any access beyond them.
#include "common/values/NACnvVariant.h"

#include "access/driver/NAConnectionDescription.h"
#include "access/driver/NAError.h"
#include "access/driver/NAItemDescription.h"
#include "common/platform/WinApi.h"
#include "common/text/TQBIN.h"
#include "common/text/XYString.h"
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

// Neither host blocks nor decimal objects outlive the scope.
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
        p->m_csName.Set(L"ITEM");
        p->m_csSourceName.Set(L"TABLE");
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
    explicit CTestConnection(int nHostCodePage) { m_nHostCodePage = nHostCodePage; }
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
    void SetDateFormat(const wchar_t* psz) { m_pszDateFormat = psz; }
    void SetUnread() { m_eVarType = NA_VAR_UNREADYET; }
    int bChanged() const { return m_bChanged; }
    void MarkChanged() { m_bChanged = 1; }
    unsigned int nLength() const { return m_nLength; }
};

template <class T>
T Read(const CAny& v)
{
    T x;
    std::memcpy(&x, v.pbyGetValeur(), sizeof(x));
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

void SetW(CAny& v, const wchar_t* psz)
{
    v.__SetType(TQTYPE_DSTRW, 0);
    v.pclGetTraitement()->SetValue(psz, static_cast<unsigned>(std::wcslen(psz) * sizeof(wchar_t)));
    v.SetFlags(0);
}

void SetA(CAny& v, const char* psz)
{
    v.__SetType(TQTYPE_DSTRA, 0);
    v.pclGetTraitement()->SetValue(psz, static_cast<unsigned>(std::strlen(psz)));
    v.SetFlags(0);
}

template <class T>
void SetScalar(CAny& v, unsigned short nType, T x)
{
    v.__SetType(nType, 0);
    v.pclGetTraitement()->SetValue(&x);
    v.SetFlags(0);
}

CDateTime Date(int y, int mo, int d, unsigned ms)
{
    CDateTime dt;
    dt.InitDate();
    dt.m_wAnnee = static_cast<std::uint16_t>(y);
    dt.m_byMois = static_cast<unsigned char>(mo);
    dt.m_byJour = static_cast<unsigned char>(d);
    dt.m_dwHeure = ms;
    return dt;
}

// 5 March 2024, 07:08:09.456.
const unsigned kMs070809456 = 7 * 3600000u + 8 * 60000u + 9 * 1000u + 456u;

} // namespace

// ---- Host values of the cell's own type ----------------------------------------------------------

TEST(NAConvertVariantSet, SameHostTypeInEachKind)
{
    Bind();
    CNoLeak check;
    CAny v;
    SetScalar<std::int32_t>(v, TQTYPE_I4, -42);

    // Own value: a copy; a not-read-yet cell becomes an own value and the
    // changed mark is cleared.
    CCell c1;
    c1.InitTypeVariantAny(TQTYPE_I4, 0);
    c1.SetUnread();
    c1.MarkChanged();
    ASSERT_EQ(c1.bSetValue(&v), 1);
    EXPECT_EQ(c1.eGetVarType(), NA_VAR_ANY);
    EXPECT_EQ(c1.bChanged(), 0);
    EXPECT_EQ(Read<std::int32_t>(*c1.pclGetValue()), -42);

    // Caller's buffer of exactly 4 bytes.
    std::vector<unsigned char> buf(4, 0xEE);
    CCell c3;
    c3.bInitTypeVariant(NA_VAR_BUFFER, buf.data(), 4, TQTYPE_I4);
    c3.pclGetValue()->SetNullFlag(true);
    ASSERT_EQ(c3.bSetValue(&v), 1);
    EXPECT_FALSE(c3.pclGetValue()->bIsNull());
    std::int32_t n = 0;
    std::memcpy(&n, buf.data(), 4);
    EXPECT_EQ(n, -42);

    // Own buffer; an empty cell of kind 1 takes the source's type.
    CCell c5;
    c5.bInitTypeVariantBuffer(TQTYPE_I4, 4);
    ASSERT_EQ(c5.bSetValue(&v), 1);
    std::memcpy(&n, c5.pGetData(), 4);
    EXPECT_EQ(n, -42);
    CCell c0;
    c0.InitTypeVariantAny(TQTYPE_VIDE, 0);
    ASSERT_EQ(c0.bSetValue(&v), 1);
    EXPECT_EQ(c0.pclGetValue()->nGetType(), TQTYPE_I4);

    // A reset cell and an adopted pointer store nothing and succeed.
    CCell r;
    r.bInitTypeVariant(NA_VAR_RESET, nullptr, 0, TQTYPE_I4);
    EXPECT_EQ(r.bSetValue(&v), 1);
    std::vector<unsigned char> adopted(4, 0);
    CCell c4;
    c4.bInitTypeVariant(NA_VAR_POINTER, adopted.data(), 4, TQTYPE_I4);
    EXPECT_EQ(c4.bSetValue(&v), 1);
    EXPECT_EQ(adopted, std::vector<unsigned char>(4, 0));
}

TEST(NAConvertVariantSet, NullSourceKeepsTheTypeAndZeroesTheBuffer)
{
    Bind();
    CNoLeak check;
    CAny v;
    v.__SetType(TQTYPE_I8, 0);
    v.SetNullFlag(true);
    std::vector<unsigned char> buf(4, 0x55);
    CCell c;
    c.bInitTypeVariant(NA_VAR_BUFFER, buf.data(), 4, TQTYPE_I4);
    ASSERT_EQ(c.bSetValue(&v), 1);
    EXPECT_TRUE(c.pclGetValue()->bIsNull());
    EXPECT_EQ(c.pclGetValue()->nGetTypeCode(), TQTYPE_I4);
    EXPECT_EQ(buf, std::vector<unsigned char>(4, 0));
    CAny empty;
    CCell c1;
    c1.InitTypeVariantAny(TQTYPE_DSTRA, 0);
    ASSERT_EQ(c1.bSetValue(&empty), 1);
    EXPECT_TRUE(c1.pclGetValue()->bIsNull());
    EXPECT_EQ(c1.pclGetValue()->nGetTypeCode(), TQTYPE_DSTRA);
}

TEST(NAConvertVariantSet, TextsIntoBuffersAreCutAndTerminated)
{
    Bind();
    CNoLeak check;
    CTestConnection cnx(1252);
    {
        // abcdef into 20 bytes of 32-bit characters: 4 characters and a
        // zero character.
        CAny v;
        SetW(v, L"abcdef");
        std::vector<unsigned char> w(20, 0xEE);
        CCell c(nullptr, &cnx);
        c.bInitTypeVariant(NA_VAR_BUFFER, w.data(), 20, TQTYPE_DSTRW);
        ASSERT_EQ(c.bSetValue(&v), 1);
        std::vector<unsigned char> expected(20, 0);
        std::memcpy(expected.data(), L"abcd", 16);
        EXPECT_EQ(w, expected);
        // A size that is not a multiple of 4 keeps whole characters and a
        // whole zero character: 11 bytes hold one character.
        std::vector<unsigned char> w2(11, 0xEE);
        c.bInitTypeVariant(NA_VAR_BUFFER, w2.data(), 11, TQTYPE_DSTRW);
        ASSERT_EQ(c.bSetValue(&v), 1);
        expected.assign(11, 0);
        std::memcpy(expected.data(), L"a", 4);
        EXPECT_EQ(w2, expected);

        // abc into 3 bytes of 8-bit text: ab and a terminator.
        CAny a;
        SetA(a, "abc");
        std::vector<unsigned char> b(3, 0xEE);
        c.bInitTypeVariant(NA_VAR_BUFFER, b.data(), 3, TQTYPE_DSTRA);
        ASSERT_EQ(c.bSetValue(&a), 1);
        EXPECT_EQ(b, Bytes("ab", 3));
        // Sizes 1 and 0 hold no character.
        std::vector<unsigned char> b1(1, 0xEE);
        c.bInitTypeVariant(NA_VAR_BUFFER, b1.data(), 1, TQTYPE_DSTRA);
        ASSERT_EQ(c.bSetValue(&a), 1);
        EXPECT_EQ(b1[0], 0);
        c.bInitTypeVariant(NA_VAR_BUFFER, b1.data(), 0, TQTYPE_DSTRW);
        EXPECT_EQ(c.bSetValue(&v), 1);

        // Wide text into an 8-bit buffer in the host code page (1252: é is
        // 0xE9, the euro sign 0x80).
        CAny e;
        SetW(e, L"\u00E9\u20AC!");
        std::vector<unsigned char> b8(4, 0xEE);
        c.bInitTypeVariant(NA_VAR_BUFFER, b8.data(), 4, TQTYPE_DSTRA);
        ASSERT_EQ(c.bSetValue(&e), 1);
        EXPECT_EQ(b8, (std::vector<unsigned char>{0xE9, 0x80, '!', 0}));
        // 8-bit text into a wide buffer, from the host code page.
        CAny a8;
        SetA(a8, "\x80x");
        std::vector<unsigned char> w8(12, 0xEE);
        c.bInitTypeVariant(NA_VAR_BUFFER, w8.data(), 12, TQTYPE_DSTRW);
        ASSERT_EQ(c.bSetValue(&a8), 1);
        const wchar_t awExpected[3] = {0x20AC, L'x', 0};
        EXPECT_EQ(std::memcmp(w8.data(), awExpected, 12), 0);
    }
    {
        // In UTF-8 a character is never cut: a, then é needs two bytes.
        CTestConnection utf8(65001);
        CAny e;
        SetW(e, L"a\u00E9");
        std::vector<unsigned char> b(3, 0xEE);
        CCell c(nullptr, &utf8);
        c.bInitTypeVariant(NA_VAR_BUFFER, b.data(), 3, TQTYPE_DSTRA);
        ASSERT_EQ(c.bSetValue(&e), 1);
        EXPECT_EQ(b, Bytes("a\0", 3));
        std::vector<unsigned char> b4(4, 0xEE);
        c.bInitTypeVariant(NA_VAR_BUFFER, b4.data(), 4, TQTYPE_DSTRA);
        ASSERT_EQ(c.bSetValue(&e), 1);
        EXPECT_EQ(b4, (std::vector<unsigned char>{'a', 0xC3, 0xA9, 0}));
    }
}

TEST(NAConvertVariantSet, WideTextItemsHoldUTF16Units)
{
    Bind();
    CNoLeak check;
    ItemPtr item = Item(NA_IT_UNICODE, 10);
    CAny v;
    // a, e acute, U+1F600 (a surrogate pair), b.
    SetW(v, L"a\u00E9\U0001F600b");
    std::vector<unsigned char> buf(10, 0xEE);
    CCell c;
    c.bInitTypeVariant(NA_VAR_BUFFER, buf.data(), 10, TQTYPE_VIDE);
    c.SetItemDesc(item.get(), nullptr);
    ASSERT_EQ(c.pclGetValue()->nGetTypeCode(), TQTYPE_DSTRW);
    ASSERT_EQ(c.bSetValue(&v), 1);
    // At most size / 2 - 1 = 4 units, then the terminating unit.
    const std::uint16_t auExpected[5] = {0x61, 0xE9, 0xD83D, 0xDE00, 0};
    EXPECT_EQ(std::memcmp(buf.data(), auExpected, 10), 0);
    CAny back;
    ASSERT_EQ(c.bGetValue(&back), 1);
    EXPECT_EQ(TextW(back), std::wstring(L"a\u00E9\U0001F600"));

    // Three units of room: the pair does not fit and is not cut.
    std::vector<unsigned char> b8(8, 0xEE);
    c.bInitTypeVariant(NA_VAR_BUFFER, b8.data(), 8, TQTYPE_VIDE);
    c.SetItemDesc(item.get(), nullptr);
    ASSERT_EQ(c.bSetValue(L"a\u00E9\U0001F600b", -1), 1);
    const std::uint16_t auCut[4] = {0x61, 0xE9, 0, 0};
    EXPECT_EQ(std::memcmp(b8.data(), auCut, 8), 0);
}

TEST(NAConvertVariantSet, DecimalIntoABuffer)
{
    Bind();
    CNoLeak check;
    ItemPtr item = Item(NA_IT_DECIMAL, 5, 3, 2);
    CAny src;
    SetW(src, L"-123.45");
    ASSERT_LE(src.__nCastTo(TQTYPE_DECIMAL, nullptr, 1), 99);
    const unsigned int nBytes = IDecimal::mg_PToN[5];
    std::vector<unsigned char> buf(nBytes, 0);
    CCell c;
    c.bInitTypeVariant(NA_VAR_BUFFER, buf.data(), nBytes, TQTYPE_VIDE);
    c.SetItemDesc(item.get(), nullptr);
    ASSERT_EQ(c.bSetValue(&src), 1);
    CAny back;
    ASSERT_EQ(c.bGetValue(&back), 1);
    int nEqual = 0;
    ASSERT_LE(nEgalite(&back, &src, &nEqual, 0), 99);
    EXPECT_EQ(nEqual, 1);

    // A decimal from a text of another type goes through the converter.
    CAny text;
    SetW(text, L"7.5");
    std::vector<unsigned char> buf2(nBytes, 0);
    c.bInitTypeVariant(NA_VAR_BUFFER, buf2.data(), nBytes, TQTYPE_VIDE);
    c.SetItemDesc(item.get(), nullptr);
    ASSERT_EQ(c.bSetValue(&text), 1);
    ASSERT_EQ(c.bGetValue(&back), 1);
    ASSERT_LE(back.__nCastTo(TQTYPE_R8, nullptr, 1), 99);
    EXPECT_DOUBLE_EQ(Read<double>(back), 7.5);

    // A buffer smaller than the stored form gets what fits, no more.
    std::vector<unsigned char> small(2, 0);
    c.bInitTypeVariant(NA_VAR_BUFFER, small.data(), 2, TQTYPE_VIDE);
    c.SetItemDesc(item.get(), nullptr);
    EXPECT_EQ(c.bSetValue(&src), 1);
}

TEST(NAConvertVariantSet, DateTimeIntoDateTimeAndTimeItems)
{
    Bind();
    CNoLeak check;
    CAny v;
    const CDateTime dt = Date(2024, 3, 5, kMs070809456);
    SetScalar(v, TQTYPE_DATETIME, dt);

    // A date-time cell of a DATE8 item: the date as 8-bit digits.
    ItemPtr date8 = Item(NA_IT_DATE8, 9);
    std::vector<unsigned char> d(9, 0xEE);
    CCell c;
    c.bInitTypeVariant(NA_VAR_BUFFER, d.data(), 9, TQTYPE_DATETIME);
    c.SetItemDesc(date8.get(), nullptr);
    c.pclGetValue()->__SetType(TQTYPE_DATETIME, 0);
    ASSERT_EQ(c.bSetValue(&v), 1);
    EXPECT_EQ(d, Bytes("20240305", 9));
    // Room for 4 digits and the terminator only.
    std::vector<unsigned char> d5(5, 0xEE);
    c.bInitTypeVariant(NA_VAR_BUFFER, d5.data(), 5, TQTYPE_DATETIME);
    c.SetItemDesc(date8.get(), nullptr);
    c.pclGetValue()->__SetType(TQTYPE_DATETIME, 0);
    ASSERT_EQ(c.bSetValue(&v), 1);
    EXPECT_EQ(d5, Bytes("2024", 5));

    // A time item: HHMMSS then milliseconds, as the size allows.
    ItemPtr heure = Item(NA_IT_HEURE, 10);
    std::vector<unsigned char> t(10, 0xEE);
    c.bInitTypeVariant(NA_VAR_BUFFER, t.data(), 10, TQTYPE_DATETIME);
    c.SetItemDesc(heure.get(), nullptr);
    c.pclGetValue()->__SetType(TQTYPE_DATETIME, 0);
    ASSERT_EQ(c.bSetValue(&v), 1);
    EXPECT_EQ(t, Bytes("070809456", 10));
    std::vector<unsigned char> t7(7, 0xEE);
    c.bInitTypeVariant(NA_VAR_BUFFER, t7.data(), 7, TQTYPE_DATETIME);
    c.SetItemDesc(heure.get(), nullptr);
    c.pclGetValue()->__SetType(TQTYPE_DATETIME, 0);
    ASSERT_EQ(c.bSetValue(&v), 1);
    EXPECT_EQ(t7, Bytes("070809", 7));

    // A DATETIME item: the 8 bytes.
    ItemPtr dtItem = Item(NA_IT_DATETIME, 8);
    std::vector<unsigned char> b(8, 0xEE);
    c.bInitTypeVariant(NA_VAR_BUFFER, b.data(), 8, TQTYPE_VIDE);
    c.SetItemDesc(dtItem.get(), nullptr);
    ASSERT_EQ(c.bSetValue(&v), 1);
    EXPECT_EQ(std::memcmp(b.data(), &dt, 8), 0);

    // A time text becomes a date-time with date 0.
    CAny time;
    time.__SetType(TQTYPE_TIMEA, 0);
    time.pclGetTraitement()->SetValue("134507250", 9);
    time.SetFlags(0);
    CCell any;
    any.InitTypeVariantAny(TQTYPE_DATETIME, 0);
    ASSERT_EQ(any.bSetValue(&time), 1);
    const CDateTime got = Read<CDateTime>(*any.pclGetValue());
    EXPECT_EQ(got.dwGetMotDate(), 0u);
    EXPECT_EQ(got.m_dwHeure, 13 * 3600000u + 45 * 60000u + 7000u + 250u);
}

TEST(NAConvertVariantSet, BooleansAreTrueWhenNotZero)
{
    Bind();
    CNoLeak check;
    std::vector<unsigned char> b(1, 0xEE);
    CCell c;
    c.bInitTypeVariant(NA_VAR_BUFFER, b.data(), 1, TQTYPE_BOOL);
    CAny v;
    SetScalar<std::int32_t>(v, TQTYPE_BOOL, 2);
    ASSERT_EQ(c.bSetValue(&v), 1);
    EXPECT_EQ(b[0], 1);
    SetScalar<std::int32_t>(v, TQTYPE_BOOL, 0);
    ASSERT_EQ(c.bSetValue(&v), 1);
    EXPECT_EQ(b[0], 0);
    ASSERT_EQ(c.bSetValue(true), 1);
    EXPECT_EQ(b[0], 1);
    CCell any;
    any.InitTypeVariantAny(TQTYPE_BOOL, 0);
    ASSERT_EQ(any.bSetValue(false), 1);
    EXPECT_EQ(Read<std::int32_t>(*any.pclGetValue()), 0);
}

// ---- Conversions ----------------------------------------------------------------------------------

TEST(NAConvertVariantSet, OtherHostTypesAreCastThroughTheConverter)
{
    Bind();
    CNoLeak check;
    // An integer into an 8-bit text cell: the source is not changed.
    CAny n;
    SetScalar<std::int32_t>(n, TQTYPE_I4, 123);
    CCell c;
    c.InitTypeVariantAny(TQTYPE_DSTRA, 0);
    ASSERT_EQ(c.bSetValue(&n), 1);
    EXPECT_EQ(Text8(*c.pclGetValue()), "123");
    EXPECT_EQ(n.nGetType(), TQTYPE_I4);
    EXPECT_EQ(Read<std::int32_t>(n), 123);

    // A text into an integer buffer of its exact size.
    CAny t;
    SetA(t, "-31000");
    std::vector<unsigned char> b(2, 0);
    CCell c2;
    c2.bInitTypeVariant(NA_VAR_BUFFER, b.data(), 2, TQTYPE_I2);
    ASSERT_EQ(c2.bSetValue(&t), 1);
    std::int16_t s = 0;
    std::memcpy(&s, b.data(), 2);
    EXPECT_EQ(s, -31000);

    // Currency into a duration goes through an 8-byte integer.
    CAny cy;
    const CMoney m = {{0x4240, 0x000F, 0, 0, 0}}; // 1.000000
    SetScalar(cy, TQTYPE_CY, m);
    CCell d;
    d.InitTypeVariantAny(TQTYPE_DUREE, 0);
    const int nCalls = Machine().nCalls();
    d.bSetValue(&cy);
    bool bThroughI8 = false;
    for (int i = 0; i < Machine().nCalls() - nCalls && i < HOSTVM_RECENT_CALLS; i++) {
        const HostVMCall call = Machine().RecentCall(i);
        if (call.nType1 == TQTYPE_CY && call.nType2 == TQTYPE_I8)
            bThroughI8 = true;
        EXPECT_FALSE(call.nType1 == TQTYPE_CY && call.nType2 == TQTYPE_DUREE);
    }
    EXPECT_TRUE(bThroughI8);
}

TEST(NAConvertVariantSet, FailedCastIsUserError53AndKeepsTheValue)
{
    Bind();
    CNoLeak check;
    ErrorPtr e = NewError();
    ItemPtr item = Item(NA_IT_I4, 4);
    std::vector<unsigned char> b(4, 0);
    {
        CCell c(e.get());
        c.bInitTypeVariant(NA_VAR_BUFFER, b.data(), 4, TQTYPE_VIDE);
        c.SetItemDesc(item.get(), nullptr);
        ASSERT_EQ(c.bSetValue(7), 1);
        CAny t;
        SetA(t, "abc");
        EXPECT_EQ(c.bSetValue(&t), 0);
        std::int32_t n = 0;
        std::memcpy(&n, b.data(), 4);
        EXPECT_EQ(n, 7);
        EXPECT_EQ(e->dwGetErrorId(), 53u);
        const std::wstring msg = e->pclGetXError()->pszGetUserMessage();
        // The source's host type (19), the item type (5) and the value.
        EXPECT_NE(msg.find(L"type 19"), std::wstring::npos) << msg;
        EXPECT_NE(msg.find(L"type 5"), std::wstring::npos) << msg;
        EXPECT_NE(msg.find(L"abc"), std::wstring::npos) << msg;
        EXPECT_EQ(std::wstring(e->pszGetItemName()), L"ITEM");
        EXPECT_EQ(std::wstring(e->pszGetLogicalTableName()), L"TABLE");

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

// ---- Native values, raw bytes, binaries --------------------------------------------------------------

TEST(NAConvertVariantSet, NativeValues)
{
    Bind();
    CNoLeak check;
    CCell c;
    c.InitTypeVariantAny(TQTYPE_R8, 0);
    ASSERT_EQ(c.bSetValue(2.5), 1);
    EXPECT_EQ(Read<double>(*c.pclGetValue()), 2.5);
    // Another type is cast: 2 into a real.
    ASSERT_EQ(c.bSetValue(2), 1);
    EXPECT_EQ(c.pclGetValue()->nGetType(), TQTYPE_R8);
    EXPECT_EQ(Read<double>(*c.pclGetValue()), 2.0);

    std::vector<unsigned char> b2(2, 0);
    c.bInitTypeVariant(NA_VAR_BUFFER, b2.data(), 2, TQTYPE_UI2);
    ASSERT_EQ(c.bSetValue(static_cast<unsigned short>(0xBEEF)), 1);
    std::uint16_t u = 0;
    std::memcpy(&u, b2.data(), 2);
    EXPECT_EQ(u, 0xBEEF);
    // A buffer smaller than the value gets what fits.
    std::vector<unsigned char> b3(3, 0);
    c.bInitTypeVariant(NA_VAR_BUFFER, b3.data(), 3, TQTYPE_I8);
    ASSERT_EQ(c.bSetValue(0x0102030405060708LL), 1);
    EXPECT_EQ(b3, (std::vector<unsigned char>{0x08, 0x07, 0x06}));

    std::vector<unsigned char> cy(10, 0);
    const CMoney m = {{1, 2, 3, 4, 5}};
    c.bInitTypeVariant(NA_VAR_OWNBUFFER, nullptr, 10, TQTYPE_CY);
    ASSERT_EQ(c.bSetValue(m), 1);
    EXPECT_EQ(std::memcmp(c.pGetData(), &m, 10), 0);

    CDateTime dt = Date(2000, 1, 2, 3);
    c.InitTypeVariantAny(TQTYPE_DATETIME, 0);
    ASSERT_EQ(c.bSetValue(&dt), 1);
    EXPECT_EQ(Read<CDateTime>(*c.pclGetValue()).dwGetMotDate(), dt.dwGetMotDate());
    ASSERT_EQ(c.bSetValue(static_cast<CDateTime*>(nullptr)), 1);
    EXPECT_TRUE(c.pclGetValue()->bIsNull());

    // An integer into a text cell becomes its text.
    c.InitTypeVariantAny(TQTYPE_DSTRW, 0);
    ASSERT_EQ(c.bSetValue(static_cast<unsigned char>(200)), 1);
    EXPECT_EQ(TextW(*c.pclGetValue()), L"200");
}

TEST(NAConvertVariantSet, RawBytesAndBinaries)
{
    Bind();
    CNoLeak check;
    CCell c;
    // One byte given to an 8-byte value is read as one byte.
    std::unique_ptr<unsigned char[]> one(new unsigned char[1]{0x7F});
    c.InitTypeVariantAny(TQTYPE_I8, 0);
    ASSERT_EQ(c.bSetValue(one.get(), 1), 1);
    EXPECT_EQ(Read<std::int64_t>(*c.pclGetValue()), 0x7F);

    // Adopted pointer: taken as it is.
    std::vector<unsigned char> own = {1, 2, 3};
    c.bInitTypeVariant(NA_VAR_POINTER, nullptr, 0, TQTYPE_BIN);
    ASSERT_EQ(c.bSetValue(own.data(), 3), 1);
    EXPECT_EQ(c.pGetData(), own.data());
    EXPECT_EQ(c.nGetSize(), 3u);

    // A caller's buffer: the rest is zeroed, the length is what was copied.
    std::vector<unsigned char> b(5, 0xEE);
    CCell c3;
    c3.bInitTypeVariant(NA_VAR_BUFFER, b.data(), 5, TQTYPE_BIN);
    ASSERT_EQ(c3.bSetValue(own.data(), 3), 1);
    EXPECT_EQ(b, (std::vector<unsigned char>{1, 2, 3, 0, 0}));
    EXPECT_EQ(c3.nLength(), 3u);
    const std::vector<unsigned char> big(9, 9);
    ASSERT_EQ(c3.bSetValue(big.data(), 9), 1);
    EXPECT_EQ(b, std::vector<unsigned char>(5, 9));

    // A host binary: the cell's own binary shares it; a buffer gets its bytes.
    const unsigned char abyBin[4] = {0xDE, 0xAD, 0xBE, 0xEF};
    CTQBIN bin(abyBin, 4);
    CCell cb;
    cb.InitTypeVariantAny(TQTYPE_BIN, 0);
    ASSERT_EQ(cb.bSetValue(&bin), 1);
    EXPECT_EQ(cb.nGetSize(), 4u);
    EXPECT_EQ(std::memcmp(cb.pGetData(), abyBin, 4), 0);
    ASSERT_EQ(c3.bSetValue(&bin), 1);
    EXPECT_EQ(b, (std::vector<unsigned char>{0xDE, 0xAD, 0xBE, 0xEF, 0}));
}

// ---- 8-bit texts of a code page ----------------------------------------------------------------------

TEST(NAConvertVariantSet, EightBitTextOfACodePage)
{
    Bind();
    CNoLeak check;
    CTestConnection cnx(1252);
    // UTF-8 e acute then abc, into a 1252 host: 0xE9 a b c.
    const char szUTF8[] = "\xC3\xA9" "abc";
    CCell c(nullptr, &cnx);
    c.InitTypeVariantAny(TQTYPE_DSTRA, 0);
    ASSERT_EQ(c._bSetValue(szUTF8, 5, 65001), 1);
    EXPECT_EQ(Text8(*c.pclGetValue()), "\xE9" "abc");

    // Into a buffer: at most size - 1 bytes, terminated.
    std::vector<unsigned char> b(4, 0xEE);
    c.bInitTypeVariant(NA_VAR_BUFFER, b.data(), 4, TQTYPE_DSTRA);
    ASSERT_EQ(c._bSetValue(szUTF8, 5, 65001), 1);
    EXPECT_EQ(b, (std::vector<unsigned char>{0xE9, 'a', 'b', 0}));
    // Another code page goes unchanged.
    ASSERT_EQ(c._bSetValue("\xC3\xA9z", 3, 1252), 1);
    EXPECT_EQ(b, (std::vector<unsigned char>{0xC3, 0xA9, 'z', 0}));
    // A wide cell reads the text in its code page.
    c.InitTypeVariantAny(TQTYPE_DSTRW, 0);
    ASSERT_EQ(c._bSetValue(szUTF8, 5, 65001), 1);
    EXPECT_EQ(TextW(*c.pclGetValue()), L"\u00E9abc");
    std::vector<unsigned char> w(12, 0xEE);
    c.bInitTypeVariant(NA_VAR_BUFFER, w.data(), 12, TQTYPE_DSTRW);
    ASSERT_EQ(c._bSetValue(szUTF8, 5, 65001), 1);
    const wchar_t awExpected[3] = {0xE9, L'a', 0};
    EXPECT_EQ(std::memcmp(w.data(), awExpected, 12), 0);
    // An empty text zeroes the buffer.
    ASSERT_EQ(c._bSetValue("", 0, 1252), 1);
    EXPECT_EQ(w, std::vector<unsigned char>(12, 0));

    // A non-text cell gets the text through the converter.
    CCell n(nullptr, &cnx);
    n.InitTypeVariantAny(TQTYPE_I4, 0);
    ASSERT_EQ(n.bSetValue("1234", -1), 1);
    EXPECT_EQ(Read<std::int32_t>(*n.pclGetValue()), 1234);
}

TEST(NAConvertVariantSet, WithoutConnectionTheHostsCurrentCodePage)
{
    Bind();
    CNoLeak check;
    TestHost().SetCurrent(204, 1251, 1049);
    {
        // Cyrillic capital zhe is 0xC6 in Windows-1251.
        CCell c;
        std::vector<unsigned char> b(2, 0xEE);
        c.bInitTypeVariant(NA_VAR_BUFFER, b.data(), 2, TQTYPE_DSTRA);
        ASSERT_EQ(c.bSetValue(L"\u0416", 1), 1);
        EXPECT_EQ(b, (std::vector<unsigned char>{0xC6, 0}));
    }
    TestHost().SetCurrent(0, 1252, 1036);
}

// ---- System time, change of type ----------------------------------------------------------------------

TEST(NAConvertVariantSet, SystemTimeIntoATextItem)
{
    Bind();
    CNoLeak check;
    ItemPtr texte = Item(NA_IT_TEXTE, 7);
    SYSTEMTIME st = {};
    st.wYear = 2024;
    st.wMonth = 3;
    st.wDay = 5;
    st.wHour = 13;
    st.wMinute = 5;
    st.wSecond = 9;
    st.wMilliseconds = 250;
    struct {
        unsigned n;
        const char* psz;
    } const cases[] = {{7, "130509"}, {5, "1305"}, {10, "130509250"}, {9, "13050925"}, {16, "20240305 130509"}};
    for (const auto& k : cases) {
        std::vector<unsigned char> b(k.n, 0xEE);
        CCell c;
        c.bInitTypeVariant(NA_VAR_BUFFER, b.data(), k.n, TQTYPE_VIDE);
        c.SetItemDesc(texte.get(), nullptr);
        ASSERT_EQ(c.bSetValue(&st), 1);
        std::vector<unsigned char> expected(k.n, 0);
        std::memcpy(expected.data(), k.psz, std::strlen(k.psz));
        EXPECT_EQ(b, expected) << k.n;
    }
    // Any other item: a date-time.
    CCell d;
    d.InitTypeVariantAny(TQTYPE_DATETIME, 0);
    ASSERT_EQ(d.bSetValue(&st), 1);
    const CDateTime got = Read<CDateTime>(*d.pclGetValue());
    EXPECT_EQ(got.dwGetMotDate(), Date(2024, 3, 5, 0).dwGetMotDate());
    EXPECT_EQ(got.m_dwHeure, 13 * 3600000u + 5 * 60000u + 9000u + 250u);
}

TEST(NAConvertVariantSet, ChangeOfTypePadsTimeDigits)
{
    Bind();
    CNoLeak check;
    ItemPtr heure = Item(NA_IT_HEURE, 7);
    {
        CCell c;
        c.InitTypeVariantAny(TQTYPE_VIDE, 0);
        c.SetItemDesc(heure.get(), nullptr);
        ASSERT_EQ(c.pclGetValue()->nGetTypeCode(), TQTYPE_TIMEA);
        c.pclGetValue()->pclGetTraitement()->SetValue("1230", 4);
        ASSERT_EQ(c.vbChangeTQType(TQTYPE_DSTRW, 0), 1);
        EXPECT_EQ(c.pclGetValue()->nGetType(), TQTYPE_DSTRW);
        EXPECT_EQ(TextW(*c.pclGetValue()), L"123000");
    }
    {
        CCell c;
        c.InitTypeVariantAny(TQTYPE_VIDE, 0);
        c.SetItemDesc(heure.get(), nullptr);
        c.pclGetValue()->pclGetTraitement()->SetValue("1230", 4);
        ASSERT_EQ(c.vbChangeTQType(TQTYPE_DSTRW, 1), 1);
        EXPECT_EQ(TextW(*c.pclGetValue()), L"1230");
        // Longer than the item: cut.
        c.InitTypeVariantAny(TQTYPE_VIDE, 0);
        c.SetItemDesc(heure.get(), nullptr);
        c.pclGetValue()->pclGetTraitement()->SetValue("123456789", 9);
        ASSERT_EQ(c.vbChangeTQType(TQTYPE_DSTRA, 0), 1);
        EXPECT_EQ(Text8(*c.pclGetValue()), "123456");
    }
    // Without a time item: a plain conversion; a reset cell has nothing.
    CCell n;
    n.InitTypeVariantAny(TQTYPE_I4, 0);
    n.bSetValue(77);
    ASSERT_EQ(n.vbChangeTQType(TQTYPE_DSTRW, 0), 1);
    EXPECT_EQ(TextW(*n.pclGetValue()), L"77");
    CCell r;
    EXPECT_EQ(r.vbChangeTQType(TQTYPE_DSTRW, 0), 0);
}

// ---- Date-time as text -------------------------------------------------------------------------------

TEST(NAConvertVariantSet, DateTimeTextInTheCellsFormat)
{
    Bind();
    CNoLeak check;
    CAny v;
    SetScalar(v, TQTYPE_DATETIME, Date(2024, 3, 5, kMs070809456));
    struct {
        const wchar_t* pszFormat;
        const wchar_t* pszText;
    } const cases[] = {
        {L"AAAA-MM-JJ HH:MM:SS.CCC", L"2024-03-05 07:08:09.456"},
        {L"AAAAMMJJ HH:MM:SS.CCC", L"20240305 07:08:09.456"},
        {L"YYYYMMDDHH24MISSFF", L"2024030507080945"},
        {L"YYYYMMDDHH24MISS", L"20240305070809"},
        {L"YYYYMMDD HH24MISS", L"20240305 070809"},
        {L"YYYYMMDD HH24:MI:SS", L"20240305 07:08:09"},
        {L"DD-MM-YYYY HH24:MI:SS", L"05-03-2024 07:08:09"},
        {L"unknown", L"20240305070809456"},
    };
    for (const auto& k : cases) {
        CCell c;
        c.InitTypeVariantAny(TQTYPE_DSTRW, 0);
        c.SetDateFormat(k.pszFormat);
        ASSERT_EQ(c.bSetValue(&v), 1);
        EXPECT_EQ(TextW(*c.pclGetValue()), k.pszText) << k.pszFormat;
    }
    // Into an 8-bit buffer.
    std::vector<unsigned char> b(20, 0xEE);
    CCell c;
    c.bInitTypeVariant(NA_VAR_BUFFER, b.data(), 20, TQTYPE_DSTRA);
    c.SetDateFormat(L"DD-MM-YYYY HH24:MI:SS");
    ASSERT_EQ(c.bSetValue(&v), 1);
    EXPECT_EQ(b, Bytes("05-03-2024 07:08:09", 20));

    // A value that cannot become a date-time: the host value error.
    ErrorPtr e = NewError();
    CCell f(e.get());
    f.InitTypeVariantAny(TQTYPE_DSTRW, 0);
    f.SetDateFormat(L"YYYYMMDDHH24MISS");
    CAny bin(TQTYPE_BIN);
    const unsigned char aby[3] = {1, 2, 3};
    bin.pclGetTraitement()->SetValue(aby, 3);
    bin.SetFlags(0);
    EXPECT_EQ(f._bSetValueDateToString(&bin), 0);
    EXPECT_NE(e->dwGetErrorId(), 0u);
}
