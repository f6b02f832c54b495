// The value cell: set-up for each storage kind, reading back as host values
// and in the record-buffer forms, copies, comparisons, the checksum,
// emptiness, NULL, the database buffer and the error object's references.
// Buffers are allocated at their exact size so that the sanitizer sees any
// access beyond them.
#include "common/values/NACnvVariant.h"

#include "access/driver/NAConnectionDescription.h"
#include "access/driver/NAError.h"
#include "access/driver/NAItemDescription.h"
#include "access/driver/NaDriver.h"
#include "access/statement/NAKXRecord.h"
#include "common/values/AnyConvert.h"
#include "common/values/Decimal.h"
#include "common/values/datetime.h"
#include "common/values/monetaire.h"
#include "host/HostStandIn.h"
#include "tests/support/TestHost.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <dlfcn.h>
#include <memory>
#include <string>
#include <vector>

// Allocations too large to be had answer null instead of stopping the run.
extern "C" const char* __asan_default_options()
{
    return "allocator_may_return_null=1";
}

namespace {

void Bind()
{
    TestHost();
    static void* h = dlopen(ZT_BUILD_DIR "/" HOSTSTANDIN_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(bInitTQConvFromVM(h, 2, 2), 1);
    ASSERT_EQ(bInitTQCalcFromVM(h, 2, 2), 1);
}

int g_nErrorsDestroyed = 0;

class CCountedError : public CNAError {
public:
    ~CCountedError() override { g_nErrorsDestroyed++; }
    unsigned int nRefs() const { return m_nRefCount; }
};

// Heap descriptions kept alive by one internal reference, so that the
// cell's external references can be watched.
class CTestItem : public CNAItemDescription {
public:
    static CTestItem* New(eNA_ITEMTYPE eType, unsigned int nSize = 0, int nInteger = 0, int nDecimal = 0)
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
    void SetNames(const wchar_t* pszName, const wchar_t* pszSource)
    {
        m_csName.Set(pszName);
        m_csSourceName.Set(pszSource);
    }
    void SetPhysical(int n) { m_nPhysicalIndice = n; }
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
    explicit CTestConnection(int nSource) { m_eDataSource = static_cast<eDATASOURCE>(nSource); }
};

// A cell whose fields the tests may read.
class CCell : public CNAConvertVariant {
public:
    explicit CCell(CNAError* pError = nullptr, CNAConnectionDescription* pCnx = nullptr)
        : CNAConvertVariant(pError, pCnx)
    {
    }
    int nStateDB() const { return m_nStateBufferDB; }
    unsigned int nSizeField() const { return m_nSize; }
    unsigned char* pbyBufferDB() const { return m_pbyBufferDB; }
    unsigned int nSizeDB() const { return m_nSizeBufferDB; }
    void SetUnread()
    {
        m_clValue.SetNullFlag(true);
        m_eVarType = NA_VAR_UNREADYET;
    }
    using CNAConvertVariant::_s_nUTF16ToWide;
    using CNAConvertVariant::_s_nWideToUTF16;
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

std::vector<unsigned char> Bytes(const CAny& v)
{
    void* p = nullptr;
    unsigned int n = 0;
    v.pclGetTraitement()->nGetDataAdr(&p);
    v.pclGetTraitement()->nGetDataSize(&n);
    const unsigned char* pby = static_cast<const unsigned char*>(p);
    return std::vector<unsigned char>(pby, pby + (p != nullptr ? n : 0));
}

void PutU16(unsigned char* p, std::uint16_t n)
{
    std::memcpy(p, &n, sizeof(n));
}

// ---- Error object --------------------------------------------------------------------------

TEST(NAConvertVariant, CountedReferenceOnTheErrorObject)
{
    g_nErrorsDestroyed = 0;
    CCountedError* e = new CCountedError;
    e->AddRef();
    CTestConnection cnx(5);
    {
        CCell c(e, &cnx);
        EXPECT_EQ(e->nRefs(), 2u);
        EXPECT_EQ(c.pclGetCnx(), &cnx);
        // None on the connection.
        EXPECT_EQ(cnx.nRelease(), 0u);
    }
    EXPECT_EQ(e->nRefs(), 1u);

    // The last holder's release destroys the error object.
    CNAConvertVariant* p = new CNAConvertVariant(e, nullptr);
    p->AddRef();
    EXPECT_EQ(e->nRefs(), 2u);
    e->nRelease();
    EXPECT_EQ(g_nErrorsDestroyed, 0);
    EXPECT_EQ(p->nRelease(), 0u);
    EXPECT_EQ(g_nErrorsDestroyed, 1);

    CCell none;
    EXPECT_EQ(none.pclGetCnx(), nullptr);
}

class CTestDriver : public CNADriver {
public:
    CNAError* pclError() const { return m_pclError; }
};

TEST(NAConvertVariant, FactoryUsesTheDriversErrorWhenNoneIsGiven)
{
    g_nErrorsDestroyed = 0;
    CTestDriver driver;
    driver.AllocError();
    ASSERT_NE(driver.pclError(), nullptr);
    CCountedError* e = new CCountedError;
    e->AddRef();
    CTestConnection cnx(5);

    CNAConvertVariant* p = driver.pclAllocVariant(e, &cnx);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(e->nRefs(), 2u);
    EXPECT_EQ(p->pclGetCnx(), &cnx);
    EXPECT_EQ(p->eGetVarType(), NA_VAR_RESET);
    p->AddRef();
    p->nRelease();
    EXPECT_EQ(e->nRefs(), 1u);

    // Without an error object the driver's own takes the cell's reports.
    p = driver.pclAllocVariant(nullptr, nullptr);
    ASSERT_NE(p, nullptr);
    p->AddRef();
    EXPECT_EQ(driver.pclError()->pclGetXError()->dwGetSystemErrorCode(), 0u);
    EXPECT_EQ(p->bInitTypeVariantBuffer(TQTYPE_DSTRA, 0xFFFFFFF0u), 0);
    EXPECT_EQ(driver.pclError()->pclGetXError()->dwGetSystemErrorCode(), 12u);
    p->nRelease();
    EXPECT_EQ(e->nRefs(), 1u);
    e->nRelease();
    EXPECT_EQ(g_nErrorsDestroyed, 1);
}

TEST(NAConvertVariant, OutOfMemoryIsReportedOnTheErrorObject)
{
    CCountedError* e = new CCountedError;
    e->AddRef();
    {
        CCell c(e);
        EXPECT_EQ(c.bInitTypeVariant(NA_VAR_OWNBUFFER, nullptr, 0xFFFFFFF0u, TQTYPE_BIN), 0);
        EXPECT_EQ(e->pclGetXError()->dwGetSystemErrorCode(), 12u);
        e->pclGetXError()->RAZ();
        EXPECT_EQ(c._bAllocBufferDB(0xFFFFFFF0u), 0);
        EXPECT_EQ(e->pclGetXError()->dwGetSystemErrorCode(), 12u);
        EXPECT_EQ(c.pbyBufferDB(), nullptr);
        // Without an error object the failure is only the result.
        CCell lone;
        EXPECT_EQ(lone.bInitTypeVariantBuffer(TQTYPE_BIN, 0xFFFFFFF0u), 0);
    }
    e->nRelease();
}

// ---- Caller's buffer ---------------------------------------------------------------------------

TEST(NAConvertVariant, CallersBufferFixedSizeValues)
{
    CLiveBlockCheck check;
    std::vector<unsigned char> buf(4);
    const std::int32_t n = -123456;
    std::memcpy(buf.data(), &n, 4);
    CCell c;
    ASSERT_EQ(c.bInitTypeVariant(NA_VAR_BUFFER, buf.data(), 4, TQTYPE_I4), 1);
    EXPECT_EQ(c.eGetVarType(), NA_VAR_BUFFER);
    EXPECT_EQ(c.pGetData(), buf.data());
    EXPECT_EQ(c.nGetSize(), 4u);
    EXPECT_FALSE(c.vbIsEmpty());
    CAny v;
    ASSERT_EQ(c.bGetValue(&v), 1);
    EXPECT_EQ(v.nGetType(), TQTYPE_I4);
    EXPECT_EQ(Read<std::int32_t>(v), -123456);

    // NULL zeroes the buffer; the value read back is 0 and not NULL.
    c.SetNull();
    EXPECT_TRUE(c.pclGetValue()->bIsNull());
    EXPECT_EQ(c.pclGetValue()->nGetTypeCode(), TQTYPE_I4);
    EXPECT_EQ(buf, std::vector<unsigned char>(4, 0));
    ASSERT_EQ(c.bGetValue(&v), 1);
    EXPECT_EQ(v.nGetType(), TQTYPE_I4);
    EXPECT_EQ(Read<std::int32_t>(v), 0);

    // A boolean element is one byte.
    std::vector<unsigned char> b1(1, 1);
    c.bInitTypeVariant(NA_VAR_BUFFER, b1.data(), 1, TQTYPE_BOOL);
    ASSERT_EQ(c.bGetValue(&v), 1);
    EXPECT_EQ(v.nGetType(), TQTYPE_BOOL);
    EXPECT_EQ(Read<std::int32_t>(v), 1);

    // Currency and reals as their bytes, at an odd address.
    std::vector<unsigned char> cy(11);
    const CMoney m = {{0x1111, 0x2222, 0x3333, 0x4444, 0x0005}};
    std::memcpy(cy.data() + 1, &m, 10);
    c.bInitTypeVariant(NA_VAR_BUFFER, cy.data() + 1, 10, TQTYPE_CY);
    ASSERT_EQ(c.bGetValue(&v), 1);
    EXPECT_EQ(v.nGetType(), TQTYPE_CY);
    EXPECT_EQ(std::memcmp(v.pbyGetValeur(), &m, 10), 0);
    std::vector<unsigned char> r8(8);
    const double d = 2.5;
    std::memcpy(r8.data(), &d, 8);
    c.bInitTypeVariant(NA_VAR_BUFFER, r8.data(), 8, TQTYPE_R8);
    c.bGetValue(&v);
    EXPECT_EQ(Read<double>(v), 2.5);

    // A buffer smaller than the type gives only its own bytes.
    std::vector<unsigned char> small = {0x01, 0x02, 0x03};
    c.bInitTypeVariant(NA_VAR_BUFFER, small.data(), 3, TQTYPE_I8);
    ASSERT_EQ(c.bGetValue(&v), 1);
    EXPECT_EQ(Read<std::int64_t>(v), 0x030201);
    c.bInitTypeVariant(NA_VAR_BUFFER, nullptr, 8, TQTYPE_I8);
    EXPECT_EQ(c.nGetSize(), 0u);
    ASSERT_EQ(c.bGetValue(&v), 1);
    EXPECT_EQ(Read<std::int64_t>(v), 0);
}

TEST(NAConvertVariant, CallersBufferTexts)
{
    CLiveBlockCheck check;
    {
        CCell c;
        CAny v;
        std::vector<unsigned char> t(8, 0);
        std::memcpy(t.data(), "abc", 3);
        c.bInitTypeVariant(NA_VAR_BUFFER, t.data(), 8, TQTYPE_DSTRA);
        ASSERT_EQ(c.bGetValue(&v), 1);
        EXPECT_EQ(v.nGetType(), TQTYPE_DSTRA);
        EXPECT_EQ(Text8(v), "abc");
        EXPECT_EQ(c.nGetUtilDataSize(), 3u);

        // No terminator within the size: the whole size, nothing beyond.
        std::vector<unsigned char> u = {'w', 'x', 'y', 'z'};
        c.bInitTypeVariant(NA_VAR_BUFFER, u.data(), 4, TQTYPE_PSTRA);
        ASSERT_EQ(c.bGetValue(&v), 1);
        EXPECT_EQ(v.nGetTypeCode(), TQTYPE_PSTRA);
        EXPECT_EQ(Text8(v), "wxyz");
        EXPECT_EQ(c.nGetUtilDataSize(), 4u);

        // Wide text of 32-bit characters, at an unaligned address.
        std::vector<unsigned char> w(1 + 3 * sizeof(wchar_t), 0);
        const wchar_t aw[2] = {L'x', 0x20AC};
        std::memcpy(w.data() + 1, aw, sizeof(aw));
        c.bInitTypeVariant(NA_VAR_BUFFER, w.data() + 1, 3 * sizeof(wchar_t), TQTYPE_DSTRW);
        ASSERT_EQ(c.bGetValue(&v), 1);
        EXPECT_EQ(v.nGetType(), TQTYPE_DSTRW);
        EXPECT_EQ(TextW(v), std::wstring(L"x\u20AC"));
        EXPECT_EQ(c.nGetUtilDataSize(), 8u);
        // Full of characters: the whole size.
        std::vector<unsigned char> wf(2 * sizeof(wchar_t));
        const wchar_t awf[2] = {L'p', L'q'};
        std::memcpy(wf.data(), awf, sizeof(awf));
        c.bInitTypeVariant(NA_VAR_BUFFER, wf.data(), 8, TQTYPE_PSTRW);
        ASSERT_EQ(c.bGetValue(&v), 1);
        EXPECT_EQ(TextW(v), L"pq");
        EXPECT_EQ(c.nGetUtilDataSize(), 8u);
    }
}

TEST(NAConvertVariant, WideTextElementsHoldUTF16Units)
{
    CLiveBlockCheck check;
    {
        ItemPtr item = Item(NA_IT_UNICODE, 12);
        CCell c;
        CAny v;
        // "h", e acute, a character beyond the basic plane as a pair, then 0.
        std::vector<unsigned char> u(12, 0);
        const std::uint16_t units[] = {'h', 0xE9, 0xD83D, 0xDE00};
        std::memcpy(u.data(), units, sizeof(units));
        c.bInitTypeVariant(NA_VAR_BUFFER, u.data(), 12, TQTYPE_VIDE);
        c.SetItemDesc(item.get(), nullptr);
        EXPECT_EQ(c.pclGetValue()->nGetTypeCode(), TQTYPE_DSTRW);
        EXPECT_EQ(item->nGetExternalRef(), 1u);
        ASSERT_EQ(c.bGetValue(&v), 1);
        EXPECT_EQ(TextW(v), std::wstring(L"h\u00E9\U0001F600"));
        EXPECT_EQ(c.nGetUtilDataSize(), 8u);
        EXPECT_EQ(c.bUnicodeDB(), 1);

        // Unterminated units stop at the size.
        std::vector<unsigned char> u2(4);
        PutU16(u2.data(), 'a');
        PutU16(u2.data() + 2, 'b');
        c.bInitTypeVariant(NA_VAR_BUFFER, u2.data(), 4, TQTYPE_DSTRW);
        EXPECT_EQ(item->nGetExternalRef(), 0u);
        c.SetItemDesc(item.get(), nullptr);
        ASSERT_EQ(c.bGetValue(&v), 1);
        EXPECT_EQ(TextW(v), L"ab");
        EXPECT_EQ(c.nGetUtilDataSize(), 4u);

        // An empty element is an empty text whatever follows its first unit.
        std::vector<unsigned char> u3(4);
        PutU16(u3.data(), 0);
        PutU16(u3.data() + 2, 'z');
        c.bInitTypeVariant(NA_VAR_BUFFER, u3.data(), 4, TQTYPE_DSTRW);
        c.SetItemDesc(item.get(), nullptr);
        EXPECT_TRUE(c.bIsEmptyString());
        PutU16(u3.data(), 'y');
        EXPECT_FALSE(c.bIsEmptyString());

        // The same text in a 32-bit cell compares equal.
        std::vector<unsigned char> w(3 * sizeof(wchar_t), 0);
        const wchar_t aw[2] = {L'y', L'z'};
        std::memcpy(w.data(), aw, sizeof(aw));
        CCell c32;
        c32.bInitTypeVariant(NA_VAR_BUFFER, w.data(), 12, TQTYPE_DSTRW);
        EXPECT_EQ(c.nCmp(&c32), 0);
        EXPECT_TRUE(c.bEqualsNAVariant(&c32));
        c.ResetVariant();
        EXPECT_EQ(item->nGetExternalRef(), 0u);
    }
}

TEST(NAConvertVariant, UTF16UnitConversions)
{
    const wchar_t aw[] = {L'a', static_cast<wchar_t>(0x1F600), L'b'};
    unsigned char by[8];
    // A pair is written only as a whole.
    EXPECT_EQ(CCell::_s_nWideToUTF16(aw, 3, by, 2), 1u);
    EXPECT_EQ(CCell::_s_nWideToUTF16(aw, 3, by, 4), 4u);
    std::uint16_t units[4];
    std::memcpy(units, by, sizeof(units));
    EXPECT_EQ(units[1], 0xD83D);
    EXPECT_EQ(units[2], 0xDE00);
    wchar_t back[4];
    EXPECT_EQ(CCell::_s_nUTF16ToWide(by, 4, back), 3u);
    EXPECT_EQ(std::wstring(back, 3), std::wstring(aw, 3));
    // A lone high surrogate at the end stays a unit of its own.
    EXPECT_EQ(CCell::_s_nUTF16ToWide(by, 2, back), 2u);
    EXPECT_EQ(back[1], static_cast<wchar_t>(0xD83D));
}

TEST(NAConvertVariant, CallersBufferDatesTimesAndBinaries)
{
    CLiveBlockCheck check;
    {
        CCell c;
        CAny v;
        ItemPtr date8 = Item(NA_IT_DATE8, 9);
        ItemPtr heure = Item(NA_IT_HEURE, 10);
        ItemPtr dt = Item(NA_IT_DATETIME, 8);
        ItemPtr bin = Item(NA_IT_BINAIRE, 10);

        // An 8-digit date filling its element, no terminator.
        std::vector<unsigned char> d(8);
        std::memcpy(d.data(), "20240229", 8);
        c.bInitTypeVariant(NA_VAR_BUFFER, d.data(), 8, TQTYPE_DATETIME);
        c.SetItemDesc(date8.get(), nullptr);
        c.pclGetValue()->__SetType(TQTYPE_DATETIME, 0);
        ASSERT_EQ(c.bGetValue(&v), 1);
        ASSERT_EQ(v.nGetType(), TQTYPE_DATETIME);
        CDateTime r = Read<CDateTime>(v);
        EXPECT_EQ(r.m_byJour, 29);
        EXPECT_EQ(r.m_byMois, 2);
        EXPECT_EQ(r.m_wAnnee, 2024);
        EXPECT_EQ(r.m_dwHeure, 0u);

        // Times: hours, minutes, seconds, then 3, 2 or 1 fraction digits.
        std::vector<unsigned char> t(10, 0);
        std::memcpy(t.data(), "134507500", 9);
        c.bInitTypeVariant(NA_VAR_BUFFER, t.data(), 10, TQTYPE_DATETIME);
        c.SetItemDesc(heure.get(), nullptr);
        c.pclGetValue()->__SetType(TQTYPE_DATETIME, 0);
        c.bGetValue(&v);
        r = Read<CDateTime>(v);
        EXPECT_EQ(r.dwGetMotDate(), 0u);
        EXPECT_EQ(r.m_dwHeure, 13u * 3600000 + 45u * 60000 + 7u * 1000 + 500);
        std::memcpy(t.data(), "13450750\0", 9);
        c.bGetValue(&v);
        EXPECT_EQ(Read<CDateTime>(v).m_dwHeure, 13u * 3600000 + 45u * 60000 + 7u * 1000 + 500);
        std::memcpy(t.data(), "1345075\0\0", 9);
        c.bGetValue(&v);
        EXPECT_EQ(Read<CDateTime>(v).m_dwHeure, 13u * 3600000 + 45u * 60000 + 7u * 1000 + 500);
        // Four digits filling a 4-byte element.
        std::vector<unsigned char> t4 = {'0', '9', '3', '0'};
        c.bInitTypeVariant(NA_VAR_BUFFER, t4.data(), 4, TQTYPE_DATETIME);
        c.SetItemDesc(heure.get(), nullptr);
        c.pclGetValue()->__SetType(TQTYPE_DATETIME, 0);
        c.bGetValue(&v);
        EXPECT_EQ(Read<CDateTime>(v).m_dwHeure, 9u * 3600000 + 30u * 60000);

        // The 8-byte date-time as it is; too small an element gives nothing.
        CDateTime src;
        src.Set(2001, 12, 31, 23, 59, 58, 999);
        std::vector<unsigned char> raw(8);
        std::memcpy(raw.data(), &src, 8);
        c.bInitTypeVariant(NA_VAR_BUFFER, raw.data(), 8, TQTYPE_DATETIME);
        c.SetItemDesc(dt.get(), nullptr);
        c.bGetValue(&v);
        EXPECT_EQ(std::memcmp(v.pbyGetValeur(), &src, 8), 0);
        c.bInitTypeVariant(NA_VAR_BUFFER, raw.data(), 7, TQTYPE_DATETIME);
        c.SetItemDesc(dt.get(), nullptr);
        ASSERT_EQ(c.bGetValue(&v), 1);
        EXPECT_EQ(Read<CDateTime>(v).dwGetMotDate(), 0u);

        // Binary: 16-bit length then the bytes, the length held to the size.
        std::vector<unsigned char> b(10, 0);
        PutU16(b.data(), 3);
        std::memcpy(b.data() + 2, "xyz", 3);
        c.bInitTypeVariant(NA_VAR_BUFFER, b.data(), 10, TQTYPE_BIN);
        c.SetItemDesc(bin.get(), nullptr);
        ASSERT_EQ(c.bGetValue(&v), 1);
        EXPECT_EQ(v.nGetType(), TQTYPE_BIN);
        EXPECT_EQ(Bytes(v), std::vector<unsigned char>({'x', 'y', 'z'}));
        PutU16(b.data(), 500);
        c.bGetValue(&v);
        EXPECT_EQ(Bytes(v).size(), 8u);
        std::vector<unsigned char> b1(1, 0x7F);
        c.bInitTypeVariant(NA_VAR_BUFFER, b1.data(), 1, TQTYPE_BIN);
        c.SetItemDesc(bin.get(), nullptr);
        c.bGetValue(&v);
        EXPECT_TRUE(Bytes(v).empty());
        // Without the binary item the whole element is the value.
        c.bInitTypeVariant(NA_VAR_BUFFER, b.data(), 10, TQTYPE_BIN);
        c.bGetValue(&v);
        EXPECT_EQ(Bytes(v), b);
    }
}

TEST(NAConvertVariant, CallersBufferDecimal)
{
    Bind();
    CCell c;
    ItemPtr item = Item(NA_IT_DECIMAL, 5, 3, 2);
    CAny src;
    src.__SetType(TQTYPE_DSTRW, 0);
    src.pclGetTraitement()->SetValue(L"-123.45", 7 * sizeof(wchar_t));
    ASSERT_LE(src.__nCastTo(TQTYPE_DECIMAL, nullptr, 1), 99);
    IDecimal* piSrc = nullptr;
    src.pclGetTraitement()->nFillBuffer(&piSrc);
    ASSERT_NE(piSrc, nullptr);
    const unsigned int nBytes = IDecimal::mg_PToN[5];
    std::vector<unsigned char> buf(nBytes);
    ASSERT_EQ(piSrc->nGetBytes(buf.data(), 5, 2), 0);

    c.bInitTypeVariant(NA_VAR_BUFFER, buf.data(), nBytes, TQTYPE_VIDE);
    c.SetItemDesc(item.get(), nullptr);
    EXPECT_EQ(c.pclGetValue()->nGetTypeCode(), TQTYPE_DECIMAL);
    CAny v;
    ASSERT_EQ(c.bGetValue(&v), 1);
    int nEqual = 0;
    nEgalite(&v, &src, &nEqual, 0);
    EXPECT_EQ(nEqual, 1);
    int nDigits = 0, nDecimals = 0;
    EXPECT_EQ(c.bGetDecimalInfo(&nDigits, &nDecimals), 1);
    EXPECT_EQ(nDigits, 5);
    EXPECT_EQ(nDecimals, 2);

    // An element too small for the stored form is not read.
    c.bInitTypeVariant(NA_VAR_BUFFER, buf.data(), nBytes - 1, TQTYPE_DECIMAL);
    c.SetItemDesc(item.get(), nullptr);
    ASSERT_EQ(c.bGetValue(&v), 1);
    nEgalite(&v, &src, &nEqual, 0);
    EXPECT_EQ(nEqual, 0);
}

// ---- Other kinds ---------------------------------------------------------------------------------

TEST(NAConvertVariant, OwnBufferHostValueAdoptedPointerAndReset)
{
    CLiveBlockCheck check;
    {
        CCell c;
        CAny v;
        ASSERT_EQ(c.bInitTypeVariant(NA_VAR_OWNBUFFER, nullptr, 6, TQTYPE_DSTRA), 1);
        EXPECT_EQ(c.eGetVarType(), NA_VAR_OWNBUFFER);
        EXPECT_EQ(c.nGetSize(), 6u);
        unsigned char* p = static_cast<unsigned char*>(c.pGetData());
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(std::vector<unsigned char>(p, p + 6), std::vector<unsigned char>(6, 0));
        std::memcpy(p, "hi", 2);
        c.bGetValue(&v);
        EXPECT_EQ(Text8(v), "hi");
        // NULL leaves nothing of the former value.
        c.SetNull();
        c.bGetValue(&v);
        EXPECT_EQ(Text8(v), "");

        ASSERT_EQ(c.bInitTypeVariantBuffer(TQTYPE_I2, 2), 1);
        p = static_cast<unsigned char*>(c.pGetData());
        p[0] = 0xFE;
        p[1] = 0xFF;
        c.bGetValue(&v);
        EXPECT_EQ(v.nGetType(), TQTYPE_I2);
        EXPECT_EQ(Read<std::int16_t>(v), -2);
        // A buffer of size 0 holds the empty text.
        ASSERT_EQ(c.bInitTypeVariantBuffer(TQTYPE_DSTRA, 0), 1);
        ASSERT_EQ(c.bGetValue(&v), 1);
        EXPECT_EQ(Text8(v), "");
        EXPECT_TRUE(c.bIsEmptyString());

        // The cell's own host value.
        c.InitTypeVariantAny(TQTYPE_I4, 0);
        EXPECT_EQ(c.eGetVarType(), NA_VAR_ANY);
        c.CNAVariant::bSetValue(77);
        EXPECT_EQ(c.pGetData(), c.pclGetValue()->pbyGetValeur());
        EXPECT_EQ(c.nGetSize(), 4u);
        c.bGetValue(&v);
        EXPECT_EQ(Read<std::int32_t>(v), 77);
        c.SetNull();
        EXPECT_TRUE(c.pclGetValue()->bIsNull());
        EXPECT_EQ(c.pclGetValue()->nGetTypeCode(), TQTYPE_I4);

        // An adopted pointer is shown, never read into a value, never freed.
        std::vector<unsigned char> ext = {1, 0, 0, 0, 5};
        c.bInitTypeVariant(NA_VAR_POINTER, ext.data(), 5, TQTYPE_BIN);
        EXPECT_EQ(c.pGetData(), ext.data());
        EXPECT_EQ(c.nGetSize(), 5u);
        EXPECT_EQ(c.nChecksum32(), 6u);
        EXPECT_EQ(c.bGetValue(&v), 0);
        EXPECT_EQ(c.nStateDB(), CNAConvertVariant::DBBUFFER_INPLACE);

        c.ResetVariant();
        EXPECT_TRUE(c.vbIsEmpty());
        EXPECT_EQ(c.pGetData(), nullptr);
        EXPECT_EQ(c.bGetValue(&v), 0);
        EXPECT_EQ(c.pclGetValue()->nGetType(), 0);
        EXPECT_EQ(c.nStateDB(), CNAConvertVariant::DBBUFFER_NONE);
    }
}

TEST(NAConvertVariant, ChecksumOfTheBufferLength)
{
    std::vector<unsigned char> buf = {'a', 'b', 'c'};
    CCell c;
    c.bInitTypeVariant(NA_VAR_BUFFER, buf.data(), 3, TQTYPE_BIN);
    EXPECT_EQ(c.nChecksum32(), 294u);
}

TEST(NAConvertVariant, ItemDescriptionsAndQueries)
{
    ItemPtr host = Item(NA_IT_MEMOUNICODE);
    ItemPtr db = Item(NA_IT_UNICODE);
    host->SetNames(L"NAME", L"CUSTOMER");
    CCell c;
    c.InitTypeVariantAny(TQTYPE_I4, 0);
    EXPECT_EQ(c.pszGetTableName(), nullptr);
    EXPECT_EQ(c.eNAGetItemType(), NA_IT_EMPTY);
    EXPECT_EQ(c.eNAGetItemTypeDatabaseEx(), NA_IT_I4);
    EXPECT_EQ(c.bUnicodeDB(), 0);

    c.SetItemDesc(nullptr, db.get());
    EXPECT_EQ(c.eNAGetItemTypeDatabase(), NA_IT_UNICODE);
    EXPECT_EQ(c.eNAGetItemType(), NA_IT_UNICODE);
    EXPECT_EQ(c.eGetTQTypeDB(), 16u);
    EXPECT_FALSE(c.bIsMemo());
    // Only a new host item retypes the value.
    EXPECT_EQ(c.pclGetValue()->nGetTypeCode(), TQTYPE_I4);

    c.SetItemDesc(host.get(), db.get());
    EXPECT_EQ(host->nGetExternalRef(), 1u);
    EXPECT_EQ(db->nGetExternalRef(), 1u);
    EXPECT_EQ(c.pclGetValue()->nGetTypeCode(), TQTYPE_DSTRW);
    EXPECT_EQ(c.eNAGetItemTypeAnalyse(), NA_IT_MEMOUNICODE);
    EXPECT_EQ(c.eNAGetItemType(), NA_IT_MEMOUNICODE);
    EXPECT_EQ(c.eNAGetItemTypeDatabaseEx(), NA_IT_UNICODE);
    EXPECT_TRUE(c.bIsMemo());
    EXPECT_FALSE(c.bIsMemoBinaire());
    EXPECT_STREQ(c.pszGetTableName(), L"CUSTOMER");
    EXPECT_STREQ(c.pszGetItemName(), L"NAME");

    // The same items again take no further reference.
    c.SetItemDesc(host.get(), db.get());
    EXPECT_EQ(host->nGetExternalRef(), 1u);
    ItemPtr memo = Item(NA_IT_MEMOBINAIRE);
    c.SetItemDesc(memo.get(), db.get());
    EXPECT_EQ(host->nGetExternalRef(), 0u);
    EXPECT_TRUE(c.bIsMemoBinaire());
    EXPECT_TRUE(c.bIsMemo());
    c.ResetVariant();
    EXPECT_EQ(memo->nGetExternalRef(), 0u);
    EXPECT_EQ(db->nGetExternalRef(), 0u);

    ItemPtr texte = Item(NA_IT_TEXTE);
    c.SetItemDesc(texte.get(), nullptr);
    EXPECT_EQ(c.bUnicodeDB(), 0);
    c.ResetVariant();
    c.InitTypeVariantAny(TQTYPE_PSTRW, 0);
    EXPECT_EQ(c.bUnicodeDB(), 1);
}

TEST(NAConvertVariant, DecimalInformationByConnection)
{
    Bind();
    CTestConnection other(5), kind2(2);
    CCell plain(nullptr, &other), c2(nullptr, &kind2);
    plain.InitTypeVariantAny(TQTYPE_I4, 0);
    plain.CNAVariant::bSetValue(5);
    c2.InitTypeVariantAny(TQTYPE_I4, 0);
    c2.CNAVariant::bSetValue(5);
    int nDigits = 0, nDecimals = -1;
    // Database kind 2 takes the host type's full width.
    EXPECT_EQ(c2.bGetDecimalInfo(&nDigits, &nDecimals), 1);
    EXPECT_EQ(nDigits, 10);
    EXPECT_EQ(nDecimals, 0);
    // Others the value's own digits.
    EXPECT_EQ(plain.bGetDecimalInfo(&nDigits, &nDecimals), 1);
    EXPECT_EQ(nDigits, 1);
    EXPECT_EQ(nDecimals, 0);
    c2.SetNull();
    c2.pclGetValue()->__SetType(TQTYPE_DECIMAL, 0);
    c2.pclGetValue()->SetNullFlag(true);
    EXPECT_EQ(c2.bGetDecimalInfo(&nDigits, &nDecimals), 0);
}

TEST(NAConvertVariant, TextToBool)
{
    EXPECT_FALSE(CNAConvertVariant::s_bTextToBool("false"));
    EXPECT_FALSE(CNAConvertVariant::s_bTextToBool("F"));
    EXPECT_FALSE(CNAConvertVariant::s_bTextToBool("0"));
    EXPECT_FALSE(CNAConvertVariant::s_bTextToBool(""));
    EXPECT_FALSE(CNAConvertVariant::s_bTextToBool(static_cast<const char*>(nullptr)));
    EXPECT_TRUE(CNAConvertVariant::s_bTextToBool("true"));
    EXPECT_TRUE(CNAConvertVariant::s_bTextToBool("2"));
    EXPECT_TRUE(CNAConvertVariant::s_bTextToBool("yes"));
    EXPECT_FALSE(CNAConvertVariant::s_bTextToBool(L"f"));
    EXPECT_TRUE(CNAConvertVariant::s_bTextToBool(L"T"));
}

// ---- Emptiness and NULL ---------------------------------------------------------------------------

TEST(NAConvertVariant, EmptinessOfBuffers)
{
    Bind();
    CCell c;
    std::vector<unsigned char> t(3, 0);
    c.bInitTypeVariant(NA_VAR_BUFFER, t.data(), 3, TQTYPE_DSTRA);
    EXPECT_TRUE(c.bIsEmptyString());
    EXPECT_TRUE(c.bCouldBeNullOnKX());
    t[0] = 'a';
    EXPECT_FALSE(c.bIsEmptyString());
    EXPECT_FALSE(c.bCouldBeNullOnKX());

    // An 8-bit date text only for the extended test.
    std::vector<unsigned char> d(9, 0);
    c.bInitTypeVariant(NA_VAR_BUFFER, d.data(), 9, TQTYPE_DATEA);
    EXPECT_FALSE(c.bIsEmptyString());
    EXPECT_TRUE(c.bIsEmptyStringEx());

    // Too small for one wide character: empty, nothing read beyond.
    std::vector<unsigned char> w = {'x', 'y'};
    c.bInitTypeVariant(NA_VAR_BUFFER, w.data(), 2, TQTYPE_DSTRW);
    EXPECT_TRUE(c.bIsEmptyString());

    // Numbers in a buffer: zero may be stored as NULL.
    std::vector<unsigned char> n(4, 0);
    c.bInitTypeVariant(NA_VAR_BUFFER, n.data(), 4, TQTYPE_I4);
    EXPECT_FALSE(c.bIsEmptyString());
    EXPECT_TRUE(c.bCouldBeNullOnKX());
    n[1] = 1;
    EXPECT_FALSE(c.bCouldBeNullOnKX());

    c.ResetVariant();
    EXPECT_TRUE(c.bIsEmptyString());
}

// ---- Copies ------------------------------------------------------------------------------------

TEST(NAConvertVariant, CopiesByStorageKind)
{
    Bind();
    CLiveBlockCheck check;
    {
        CTestConnection cnx(5);
        ItemPtr item = Item(NA_IT_I4, 4);
        // Own value into a new cell.
        CCell src(nullptr, &cnx), dst;
        src.InitTypeVariantAny(TQTYPE_I4, 0);
        src.SetItemDesc(item.get(), nullptr);
        src.CNAVariant::bSetValue(41);
        ASSERT_EQ(dst.bCopyVariant(&src), 1);
        EXPECT_EQ(dst.eGetVarType(), NA_VAR_ANY);
        EXPECT_EQ(dst.pclGetCnx(), &cnx);
        EXPECT_EQ(item->nGetExternalRef(), 2u);
        CAny v;
        dst.bGetValue(&v);
        EXPECT_EQ(Read<std::int32_t>(v), 41);
        EXPECT_TRUE(dst.bEqualsNAVariant(&src));
        EXPECT_EQ(dst.bCopyVariant(&dst), 1);
        dst.bGetValue(&v);
        EXPECT_EQ(Read<std::int32_t>(v), 41);

        // A caller's buffer: the value is the buffer's.
        std::vector<unsigned char> buf(4);
        const std::int32_t n = 1234567;
        std::memcpy(buf.data(), &n, 4);
        CCell b3, copy3;
        b3.bInitTypeVariant(NA_VAR_BUFFER, buf.data(), 4, TQTYPE_I4);
        ASSERT_EQ(copy3.bCopyVariant(&b3), 1);
        EXPECT_EQ(copy3.eGetVarType(), NA_VAR_ANY);
        copy3.bGetValue(&v);
        EXPECT_EQ(Read<std::int32_t>(v), 1234567);
        EXPECT_FALSE(copy3.pclGetValue()->bIsNull());
        // ... and its NULL mark.
        b3.SetNull();
        copy3.bCopyVariant(&b3);
        EXPECT_TRUE(copy3.pclGetValue()->bIsNull());

        // Into a buffer already set up for the server, same type.
        std::vector<unsigned char> target(4, 0xAA);
        CCell t3;
        t3.bInitTypeVariant(NA_VAR_BUFFER, target.data(), 4, TQTYPE_I4);
        ASSERT_EQ(t3.bInitBufferDB(), 1);
        ASSERT_EQ(t3.bCopyVariant(&src), 1);
        EXPECT_EQ(t3.eGetVarType(), NA_VAR_BUFFER);
        std::int32_t nStored = 0;
        std::memcpy(&nStored, target.data(), 4);
        EXPECT_EQ(nStored, 41);
        EXPECT_EQ(item->nGetExternalRef(), 3u);

        // An own binary element keeps its length prefix.
        ItemPtr bin = Item(NA_IT_BINAIRE, 8);
        CCell b5, copy5;
        ASSERT_EQ(b5.bInitTypeVariantBuffer(TQTYPE_BIN, 8), 1);
        b5.SetItemDesc(bin.get(), nullptr);
        unsigned char* p5 = static_cast<unsigned char*>(b5.pGetData());
        PutU16(p5, 3);
        std::memcpy(p5 + 2, "klm", 3);
        ASSERT_EQ(copy5.bCopyVariant(&b5), 1);
        EXPECT_EQ(copy5.eGetVarType(), NA_VAR_OWNBUFFER);
        EXPECT_EQ(copy5.nSizeField(), 8u);
        EXPECT_NE(copy5.pGetData(), b5.pGetData());
        copy5.bGetValue(&v);
        EXPECT_EQ(Bytes(v), std::vector<unsigned char>({'k', 'l', 'm'}));
        EXPECT_TRUE(copy5.bEqualsNAVariant(&b5));

        // A value not read yet stays so.
        CCell lazy, copyLazy;
        lazy.InitTypeVariantAny(TQTYPE_DSTRW, 0);
        lazy.SetUnread();
        copyLazy.bCopyVariant(&lazy);
        EXPECT_EQ(copyLazy.eGetVarType(), NA_VAR_UNREADYET);
        EXPECT_TRUE(copyLazy.pclGetValue()->bIsNull());
        EXPECT_EQ(copyLazy.pclGetValue()->nGetTypeCode(), TQTYPE_DSTRW);

        // Nothing to copy: NULL.
        dst.bCopyVariant(nullptr);
        EXPECT_TRUE(dst.pclGetValue()->bIsNull());
        EXPECT_EQ(dst.pclGetValue()->nGetTypeCode(), TQTYPE_I4);
    }
}

TEST(NAConvertVariant, ClonesComeFromTheDriver)
{
    Bind();
    CLiveBlockCheck check;
    g_nErrorsDestroyed = 0;
    CCountedError* e = new CCountedError;
    e->AddRef();
    CTestConnection cnx(5);
    {
        CCell c(e, &cnx);
        c.InitTypeVariantAny(TQTYPE_DSTRA, 0);
        c.pclGetValue()->pclGetTraitement()->SetValue("clone me", 8);
        EXPECT_EQ(c.pclGetCloneVariant(), nullptr);

        CNADriver driver;
        CNADriver::s_pclDriver = &driver;
        CNAConvertVariant* p = c.pclGetCloneVariant();
        ASSERT_NE(p, nullptr);
        p->AddRef();
        EXPECT_EQ(e->nRefs(), 3u);
        EXPECT_EQ(p->pclGetCnx(), &cnx);
        EXPECT_TRUE(p->bEqualsNAVariant(&c));
        CAny v;
        p->bGetValue(&v);
        EXPECT_EQ(Text8(v), "clone me");
        p->nRelease();

        // Through the holder the clone is a cell holding the value.
        const CNAVariant* h = &c;
        p = h->pclGetCloneVariant();
        ASSERT_NE(p, nullptr);
        p->AddRef();
        EXPECT_EQ(p->eGetVarType(), NA_VAR_ANY);
        p->bGetValue(&v);
        EXPECT_EQ(Text8(v), "clone me");
        p->nRelease();
        CNADriver::s_pclDriver = nullptr;
    }
    EXPECT_EQ(e->nRefs(), 1u);
    e->nRelease();
    EXPECT_EQ(g_nErrorsDestroyed, 1);
}

// ---- Comparisons ---------------------------------------------------------------------------------

TEST(NAConvertVariant, OrderingAndEquality)
{
    Bind();
    CLiveBlockCheck check;
    {
        CCell a, b;
        a.InitTypeVariantAny(TQTYPE_DSTRA, 0);
        b.InitTypeVariantAny(TQTYPE_DSTRA, 0);
        EXPECT_EQ(a.nCmp(&b), 0);
        a.pclGetValue()->pclGetTraitement()->SetValue("abc", 3);
        b.pclGetValue()->pclGetTraitement()->SetValue("abd", 3);
        EXPECT_EQ(a.nCmp(&b), -1);
        EXPECT_EQ(b.nCmp(&a), 1);
        EXPECT_FALSE(a.bEqualsNAVariant(&b));
        b.pclGetValue()->pclGetTraitement()->SetValue("abcd", 4);
        EXPECT_LT(a.nCmp(&b), 0);
        EXPECT_GT(b.nCmp(&a), 0);

        // A text in a record element against the same text held as a value.
        std::vector<unsigned char> t(8, 0);
        std::memcpy(t.data(), "abc", 3);
        CCell e;
        e.bInitTypeVariant(NA_VAR_BUFFER, t.data(), 8, TQTYPE_PSTRA);
        EXPECT_EQ(e.nCmp(&a), 0);
        EXPECT_TRUE(e.bEqualsNAVariant(&a));
        std::memcpy(t.data(), "abcdefgh", 8);
        EXPECT_GT(e.nCmp(&a), 0);

        // Numbers of different types through the host.
        CCell i, r;
        i.InitTypeVariantAny(TQTYPE_I4, 0);
        i.CNAVariant::bSetValue(3);
        r.InitTypeVariantAny(TQTYPE_R8, 0);
        r.CNAVariant::bSetValue(3.5);
        EXPECT_LT(i.nCmp(&r), 0);
        r.CNAVariant::bSetValue(3.0);
        EXPECT_EQ(i.nCmp(&r), 0);
        EXPECT_TRUE(i.bEqualsNAVariant(&r));

        // The same value in a buffer and as a value.
        std::vector<unsigned char> nb(4);
        const std::int32_t n3 = 3;
        std::memcpy(nb.data(), &n3, 4);
        CCell ib;
        ib.bInitTypeVariant(NA_VAR_BUFFER, nb.data(), 4, TQTYPE_I4);
        EXPECT_TRUE(ib.bEqualsNAVariant(&i));

        // NULL cells of different types are equal; cells not read yet never.
        i.SetNull();
        r.SetNull();
        EXPECT_TRUE(i.bEqualsNAVariant(&r));
        EXPECT_TRUE(CNAVariant::g_bEqualsNAVariant(&i, nullptr));
        EXPECT_FALSE(CNAVariant::g_bEqualsNAVariant(&a, nullptr));
        EXPECT_FALSE(CNAVariant::g_bEqualsNAVariant(nullptr, &a));
        EXPECT_TRUE(CNAVariant::g_bEqualsNAVariant(&a, &a));
        CCell l1, l2;
        l1.InitTypeVariantAny(TQTYPE_I4, 0);
        l2.InitTypeVariantAny(TQTYPE_I4, 0);
        l1.CNAVariant::bSetValue(1);
        l2.CNAVariant::bSetValue(1);
        l1.SetUnread();
        l2.SetUnread();
        l1.pclGetValue()->SetNullFlag(false);
        l2.pclGetValue()->SetNullFlag(false);
        EXPECT_FALSE(l1.bEqualsNAVariant(&l2));
        CCell z1, z2;
        EXPECT_TRUE(z1.bEqualsNAVariant(&z2));
    }
}

// ---- Database buffer --------------------------------------------------------------------------------

TEST(NAConvertVariant, DatabaseBuffer)
{
    CCell c;
    // Nothing asked, nothing made.
    EXPECT_EQ(c._bAllocBufferDB(0), 1);
    EXPECT_EQ(c.pbyBufferDB(), nullptr);
    ASSERT_EQ(c._bAllocBufferDB(16), 1);
    ASSERT_NE(c.pbyBufferDB(), nullptr);
    EXPECT_EQ(c.nSizeDB(), 16u);
    c.pbyBufferDB()[15] = 9;
    unsigned char* pOld = c.pbyBufferDB();
    ASSERT_EQ(c._bAllocBufferDB(8), 1);
    EXPECT_EQ(c.pbyBufferDB(), pOld);
    EXPECT_EQ(c.pbyBufferDB()[15], 0);
    ASSERT_EQ(c._bAllocBufferDB(32), 1);
    EXPECT_EQ(c.nSizeDB(), 32u);
    c._ReleaseValDB();
    EXPECT_EQ(c.pbyBufferDB(), nullptr);
    EXPECT_EQ(c.nSizeDB(), 0u);

    // Nothing to set up on a reset cell.
    EXPECT_EQ(c.bInitBufferDB(), 0);
    EXPECT_EQ(c.nGetTypeBind(), 0);

    // A fixed-size value: the server works on the value's bytes.
    c.InitTypeVariantAny(TQTYPE_I8, 0);
    unsigned char* p = nullptr;
    unsigned int n = 0;
    unsigned int* pnLength = nullptr;
    ASSERT_EQ(c.bGetBufferDB(&p, &n, &pnLength), 1);
    EXPECT_EQ(c.nStateDB(), CNAConvertVariant::DBBUFFER_INPLACE);
    EXPECT_EQ(p, c.pclGetValue()->pbyGetValeur());
    EXPECT_EQ(n, 8u);
    ASSERT_NE(pnLength, nullptr);
    EXPECT_EQ(c.bConvertDataToDB(), 1);

    // The empty type becomes NULL.
    c.InitTypeVariantAny(TQTYPE_VIDE, 0);
    EXPECT_EQ(c.bInitBufferDB(), 1);
    EXPECT_TRUE(c.pclGetValue()->bIsNull());

    // A value not read yet is read from now on.
    c.InitTypeVariantAny(TQTYPE_I4, 0);
    c.SetUnread();
    EXPECT_EQ(c.bInitBufferDB(), 1);
    EXPECT_EQ(c.eGetVarType(), NA_VAR_ANY);

    // A caller's buffer is used where it is.
    std::vector<unsigned char> buf(6);
    c.bInitTypeVariant(NA_VAR_BUFFER, buf.data(), 6, TQTYPE_DSTRA);
    EXPECT_EQ(c.nStateDB(), CNAConvertVariant::DBBUFFER_NONE);
    ASSERT_EQ(c.bGetBufferDB(&p, &n, nullptr), 1);
    EXPECT_EQ(p, buf.data());
    EXPECT_EQ(n, 6u);
}

TEST(NAConvertVariant, ConvertToTheRecord)
{
    // A record of two items: flag byte, then two 6-byte text elements.
    CNAKXRecord rec;
    std::vector<unsigned char> form(12 + 1 + 12, 0);
    const unsigned int an[3] = {13, 2, 1};
    std::memcpy(form.data(), an, sizeof(an));
    rec.Deserialize(form.data(), static_cast<unsigned int>(form.size()));
    ItemPtr host = Item(NA_IT_TEXTE, 6);
    ItemPtr db = Item(NA_IT_TEXTE, 6);
    host->SetPhysical(1);

    unsigned char* pElement = rec.pbyGetItemValue(host.get(), 0);
    ASSERT_NE(pElement, nullptr);
    std::memcpy(pElement, "ab\0xyz", 6);
    CCell c;
    c.bInitTypeVariant(NA_VAR_BUFFER, pElement, 6, TQTYPE_PSTRA);
    c.SetItemDesc(host.get(), db.get());
    ASSERT_EQ(c.bInitBufferDB(), 1);
    EXPECT_EQ(c.bConvertDataToKX(&rec), 1);
    // What the server left after the text is cleared.
    EXPECT_EQ(std::memcmp(pElement, "ab\0\0\0\0", 6), 0);
    EXPECT_EQ(rec.bItemValueDefined(host.get(), 0), 1);
    EXPECT_EQ(rec.pbyGetNullValuesFlags()[0], 0x40);

    c.SetNull();
    EXPECT_EQ(c.bConvertDataToKX(&rec), 1);
    EXPECT_EQ(rec.bItemValueDefined(host.get(), 0), 0);
    c.ResetVariant();
}

TEST(NAConvertVariant, CompleteSpaces)
{
    CLiveBlockCheck check;
    {
        CCell c;
        std::vector<unsigned char> t(8, 0);
        t[0] = 'a';
        t[1] = 'b';
        c.bInitTypeVariant(NA_VAR_BUFFER, t.data(), 8, TQTYPE_DSTRA);
        c.CompleteSpaces(5);
        EXPECT_EQ(std::memcmp(t.data(), "ab   \0\0\0", 8), 0);
        c.CompleteSpaces(3);
        EXPECT_EQ(std::memcmp(t.data(), "ab   \0\0\0", 8), 0);
        c.CompleteSpaces(20);
        EXPECT_EQ(std::memcmp(t.data(), "ab     \0", 8), 0);
        std::memset(t.data() + 1, 0, 7);
        c.CompleteSpaces(-1);
        EXPECT_EQ(std::memcmp(t.data(), "a      \0", 8), 0);
        // NULL: nothing.
        c.SetNull();
        c.CompleteSpaces(5);
        EXPECT_EQ(t, std::vector<unsigned char>(8, 0));

        // 32-bit characters, cut to the room.
        std::vector<unsigned char> w(4 * sizeof(wchar_t), 0);
        const wchar_t x = L'x';
        std::memcpy(w.data(), &x, sizeof(x));
        c.bInitTypeVariant(NA_VAR_BUFFER, w.data(), 16, TQTYPE_DSTRW);
        c.CompleteSpaces(10);
        wchar_t aw[4];
        std::memcpy(aw, w.data(), sizeof(aw));
        EXPECT_EQ(std::wstring(aw, 4), std::wstring(L"x  \0", 4));

        // UTF-16 units.
        ItemPtr item = Item(NA_IT_UNICODE, 8);
        std::vector<unsigned char> u(8, 0);
        PutU16(u.data(), 'y');
        c.bInitTypeVariant(NA_VAR_BUFFER, u.data(), 8, TQTYPE_DSTRW);
        c.SetItemDesc(item.get(), nullptr);
        c.CompleteSpaces(3);
        std::uint16_t units[4];
        std::memcpy(units, u.data(), sizeof(units));
        EXPECT_EQ(units[0], 'y');
        EXPECT_EQ(units[1], ' ');
        EXPECT_EQ(units[2], ' ');
        EXPECT_EQ(units[3], 0);
        c.ResetVariant();

        // The cell's own text.
        c.InitTypeVariantAny(TQTYPE_DSTRA, 0);
        c.pclGetValue()->pclGetTraitement()->SetValue("ab", 2);
        c.CompleteSpaces(4);
        CAny v;
        c.bGetValue(&v);
        EXPECT_EQ(Text8(v), "ab  ");
    }
}

} // namespace
