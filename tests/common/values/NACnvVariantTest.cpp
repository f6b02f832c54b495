// The value cell: set-up for each storage kind, reading back from the
// record-buffer forms, copies, comparisons, emptiness, NULL, the database
// buffer and the error object's references. Buffers are allocated at their
// exact size so that the sanitizer sees any access beyond them.
#include "tests/support/ValueCells.h"

#include "access/driver/NaDriver.h"
#include "access/statement/NAKXRecord.h"
#include "common/values/Decimal.h"
#include "common/values/datetime.h"
#include "common/values/monetaire.h"

#include <cstdint>

// Allocations too large to be had answer null instead of stopping the run.
extern "C" const char* __asan_default_options()
{
    return "allocator_may_return_null=1";
}

namespace {

int g_nErrorsDestroyed = 0;

class CCountedError : public CNAError {
public:
    ~CCountedError() override { g_nErrorsDestroyed++; }
    unsigned int nRefs() const { return m_nRefCount; }
};

class CTestDriver : public CNADriver {
public:
    CNAError* pclError() const { return m_pclError; }
};

void PutU16(unsigned char* p, std::uint16_t n)
{
    std::memcpy(p, &n, sizeof(n));
}

// The cell's value read back into a host value.
CAny& ReadBack(const CCell& c, CAny& v)
{
    EXPECT_EQ(c.bGetValue(&v), 1);
    return v;
}

TEST(NAConvertVariant, ErrorReferencesFactoryClonesAndOutOfMemory)
{
    BindValueMachine();
    CLiveBlockCheck check;
    g_nErrorsDestroyed = 0;
    CCountedError* e = new CCountedError;
    e->AddRef();
    CTestConnection cnx(1252, 1252, 5);
    CTestDriver driver;
    driver.AllocError();
    {
        CCell c(e, &cnx);
        EXPECT_EQ(e->nRefs(), 2u);
        EXPECT_EQ(c.bInitTypeVariant(NA_VAR_OWNBUFFER, nullptr, 0xFFFFFFF0u, TQTYPE_BIN), 0);
        EXPECT_EQ(e->pclGetXError()->dwGetSystemErrorCode(), 12u);
        e->pclGetXError()->RAZ();
        EXPECT_EQ(c._bAllocBufferDB(0xFFFFFFF0u), 0);
        EXPECT_EQ(e->pclGetXError()->dwGetSystemErrorCode(), 12u);
        EXPECT_EQ(c.pbyBufferDB(), nullptr);

        // Clones: none without a driver, else on the same error object and
        // connection, also through the holder.
        c.InitTypeVariantAny(TQTYPE_DSTRA, 0);
        c.pclGetValue()->pclGetTraitement()->SetValue("clone me", 8);
        EXPECT_EQ(c.pclGetCloneVariant(), nullptr);
        CNADriver::s_pclDriver = &driver;
        CNAConvertVariant* p = c.pclGetCloneVariant();
        ASSERT_NE(p, nullptr);
        p->AddRef();
        EXPECT_EQ(e->nRefs(), 3u);
        EXPECT_EQ(p->pclGetCnx(), &cnx);
        EXPECT_TRUE(p->bEqualsNAVariant(&c));
        p->nRelease();
        p = static_cast<const CNAVariant&>(c).pclGetCloneVariant();
        ASSERT_NE(p, nullptr);
        p->AddRef();
        EXPECT_TRUE(p->bEqualsNAVariant(&c));
        p->nRelease();
        CNADriver::s_pclDriver = nullptr;
    }
    EXPECT_EQ(e->nRefs(), 1u);

    // Without an error object: the driver's own, or none but the result.
    CNAConvertVariant* p = driver.pclAllocVariant(nullptr, nullptr);
    ASSERT_NE(p, nullptr);
    p->AddRef();
    EXPECT_EQ(p->bInitTypeVariantBuffer(TQTYPE_DSTRA, 0xFFFFFFF0u), 0);
    EXPECT_EQ(driver.pclError()->pclGetXError()->dwGetSystemErrorCode(), 12u);
    p->nRelease();
    CCell lone;
    EXPECT_EQ(lone.bInitTypeVariantBuffer(TQTYPE_BIN, 0xFFFFFFF0u), 0);

    // The last holder's release destroys the error object.
    p = driver.pclAllocVariant(e, &cnx);
    p->AddRef();
    e->nRelease();
    EXPECT_EQ(g_nErrorsDestroyed, 0);
    p->nRelease();
    EXPECT_EQ(g_nErrorsDestroyed, 1);
}

TEST(NAConvertVariant, CallersBufferFixedSizeValues)
{
    CLiveBlockCheck check;
    Bytes buf = Of<std::int32_t>(-123456);
    CCell c;
    CAny v;
    ASSERT_EQ(c.bInitTypeVariant(NA_VAR_BUFFER, buf.data(), 4, TQTYPE_I4), 1);

    // NULL zeroes the buffer; the value read back is 0 and not NULL.
    c.SetNull();
    EXPECT_TRUE(c.pclGetValue()->bIsNull());
    EXPECT_EQ(c.pclGetValue()->nGetTypeCode(), TQTYPE_I4);
    EXPECT_EQ(buf, Bytes(4, 0));
    EXPECT_EQ(Get<std::int32_t>(ReadBack(c, v)), 0);
    EXPECT_EQ(v.nGetType(), TQTYPE_I4);

    // Currency at an odd address.
    Bytes cy(11);
    const CMoney m = {{0x1111, 0x2222, 0x3333, 0x4444, 0x0005}};
    std::memcpy(cy.data() + 1, &m, 10);
    c.bInitTypeVariant(NA_VAR_BUFFER, cy.data() + 1, 10, TQTYPE_CY);
    EXPECT_EQ(DataBytes(ReadBack(c, v)), Of(m));

    // A buffer smaller than the type gives only its own bytes; none, none.
    Bytes small = {0x01, 0x02, 0x03};
    c.bInitTypeVariant(NA_VAR_BUFFER, small.data(), 3, TQTYPE_I8);
    EXPECT_EQ(Get<std::int64_t>(ReadBack(c, v)), 0x030201);
    c.bInitTypeVariant(NA_VAR_BUFFER, nullptr, 8, TQTYPE_I8);
    EXPECT_EQ(c.nGetSize(), 0u);
    EXPECT_EQ(Get<std::int64_t>(ReadBack(c, v)), 0);
}

TEST(NAConvertVariant, CallersBufferTexts)
{
    CLiveBlockCheck check;
    CCell c;
    CAny v;
    // No terminator within the size: the whole size, nothing beyond.
    Bytes u = {'w', 'x', 'y', 'z'};
    c.bInitTypeVariant(NA_VAR_BUFFER, u.data(), 4, TQTYPE_PSTRA);
    EXPECT_EQ(Text8(ReadBack(c, v)), "wxyz");
    EXPECT_EQ(c.nGetUtilDataSize(), 4u);
    u[3] = 0;
    EXPECT_EQ(c.nGetUtilDataSize(), 3u);

    // 32-bit characters at an unaligned address; full of characters.
    Bytes w(1 + 3 * sizeof(wchar_t), 0);
    const wchar_t aw[2] = {L'x', 0x20AC};
    std::memcpy(w.data() + 1, aw, sizeof(aw));
    c.bInitTypeVariant(NA_VAR_BUFFER, w.data() + 1, 3 * sizeof(wchar_t), TQTYPE_DSTRW);
    EXPECT_EQ(TextW(ReadBack(c, v)), L"x\u20AC");
    EXPECT_EQ(c.nGetUtilDataSize(), 8u);
    c.bInitTypeVariant(NA_VAR_BUFFER, w.data() + 1, 2 * sizeof(wchar_t), TQTYPE_PSTRW);
    EXPECT_EQ(TextW(ReadBack(c, v)), L"x\u20AC");
    EXPECT_EQ(c.nGetUtilDataSize(), 8u);
}

TEST(NAConvertVariant, WideTextElementsHoldUTF16Units)
{
    CLiveBlockCheck check;
    ItemPtr item = Item(NA_IT_UNICODE, 4);
    CCell c;
    CAny v;
    // Unterminated units stop at the size.
    Bytes u(4);
    PutU16(u.data(), 'a');
    PutU16(u.data() + 2, 'b');
    c.bInitTypeVariant(NA_VAR_BUFFER, u.data(), 4, TQTYPE_DSTRW);
    c.SetItemDesc(item.get(), nullptr);
    EXPECT_EQ(item->nGetExternalRef(), 1u);
    EXPECT_EQ(TextW(ReadBack(c, v)), L"ab");
    EXPECT_EQ(c.nGetUtilDataSize(), 4u);
    EXPECT_EQ(c.bUnicodeDB(), 1);

    // The same text in a 32-bit cell compares equal.
    Bytes w(3 * sizeof(wchar_t), 0);
    const wchar_t aw[2] = {L'a', L'b'};
    std::memcpy(w.data(), aw, sizeof(aw));
    CCell c32;
    c32.bInitTypeVariant(NA_VAR_BUFFER, w.data(), 12, TQTYPE_DSTRW);
    EXPECT_EQ(c.nCmp(&c32), 0);
    EXPECT_TRUE(c.bEqualsNAVariant(&c32));

    // An empty element is an empty text whatever follows its first unit.
    PutU16(u.data(), 0);
    EXPECT_TRUE(c.bIsEmptyString());
    c.ResetVariant();
    EXPECT_EQ(item->nGetExternalRef(), 0u);

    // A pair is written only as a whole; a lone high surrogate at the end
    // stays a unit of its own.
    const wchar_t aPair[] = {L'a', static_cast<wchar_t>(0x1F600), L'b'};
    unsigned char by[8];
    EXPECT_EQ(CCell::_s_nWideToUTF16(aPair, 3, by, 2), 1u);
    EXPECT_EQ(CCell::_s_nWideToUTF16(aPair, 3, by, 4), 4u);
    wchar_t back[4];
    EXPECT_EQ(CCell::_s_nUTF16ToWide(by, 4, back), 3u);
    EXPECT_EQ(std::wstring(back, 3), std::wstring(aPair, 3));
    EXPECT_EQ(CCell::_s_nUTF16ToWide(by, 2, back), 2u);
    EXPECT_EQ(back[1], static_cast<wchar_t>(0xD83D));
}

TEST(NAConvertVariant, CallersBufferDatesTimesBinariesAndDecimals)
{
    BindValueMachine();
    CLiveBlockCheck check;
    CCell c;
    CAny v;
    // An 8-digit date or 4 time digits filling their element, no terminator.
    ItemPtr date8 = Item(NA_IT_DATE8, 8);
    ItemPtr heure = Item(NA_IT_HEURE, 4);
    Bytes d = {'2', '0', '2', '4', '0', '2', '2', '9'};
    c.bInitTypeVariant(NA_VAR_BUFFER, d.data(), 8, TQTYPE_DATETIME);
    c.SetItemDesc(date8.get(), nullptr);
    c.pclGetValue()->__SetType(TQTYPE_DATETIME, 0);
    EXPECT_EQ(DataBytes(ReadBack(c, v)), DateTimeBytes(2024, 2, 29, 0, 0, 0, 0));
    Bytes t4 = {'0', '9', '3', '0'};
    c.bInitTypeVariant(NA_VAR_BUFFER, t4.data(), 4, TQTYPE_DATETIME);
    c.SetItemDesc(heure.get(), nullptr);
    c.pclGetValue()->__SetType(TQTYPE_DATETIME, 0);
    EXPECT_EQ(DataBytes(ReadBack(c, v)), DateTimeBytes(0, 0, 0, 9, 30, 0, 0));

    // A date-time element too small gives nothing.
    ItemPtr dt = Item(NA_IT_DATETIME, 8);
    Bytes raw = DateTimeBytes(2001, 12, 31, 23, 59, 58, 999);
    c.bInitTypeVariant(NA_VAR_BUFFER, raw.data(), 7, TQTYPE_DATETIME);
    c.SetItemDesc(dt.get(), nullptr);
    EXPECT_EQ(Get<std::uint32_t>(ReadBack(c, v)), 0u);

    // Binary: the length held to the size; no room for it; no binary item.
    ItemPtr bin = Item(NA_IT_BINAIRE, 10);
    Bytes b(10, 0);
    PutU16(b.data(), 500);
    c.bInitTypeVariant(NA_VAR_BUFFER, b.data(), 10, TQTYPE_BIN);
    c.SetItemDesc(bin.get(), nullptr);
    EXPECT_EQ(DataBytes(ReadBack(c, v)), Bytes(8, 0));
    c.bInitTypeVariant(NA_VAR_BUFFER, b.data(), 1, TQTYPE_BIN);
    c.SetItemDesc(bin.get(), nullptr);
    EXPECT_TRUE(DataBytes(ReadBack(c, v)).empty());
    c.bInitTypeVariant(NA_VAR_BUFFER, b.data(), 10, TQTYPE_BIN);
    EXPECT_EQ(DataBytes(ReadBack(c, v)), b);

    // A decimal element too small for the stored form is not read.
    ItemPtr dec = Item(NA_IT_DECIMAL, 5, 3, 2);
    const unsigned int nBytes = IDecimal::mg_PToN[5];
    Bytes e(nBytes - 1, 0x99);
    c.bInitTypeVariant(NA_VAR_BUFFER, e.data(), nBytes - 1, TQTYPE_VIDE);
    c.SetItemDesc(dec.get(), nullptr);
    ASSERT_EQ(c.pclGetValue()->nGetTypeCode(), TQTYPE_DECIMAL);
    ASSERT_LE(ReadBack(c, v).__nCastTo(TQTYPE_R8, nullptr, 1), 99);
    EXPECT_EQ(Get<double>(v), 0.0);
}

TEST(NAConvertVariant, OwnBufferHostValueAdoptedPointerAndReset)
{
    CLiveBlockCheck check;
    CCell c;
    CAny v;
    ASSERT_EQ(c.bInitTypeVariant(NA_VAR_OWNBUFFER, nullptr, 6, TQTYPE_DSTRA), 1);
    EXPECT_EQ(c.nGetSize(), 6u);
    unsigned char* p = static_cast<unsigned char*>(c.pGetData());
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(Bytes(p, p + 6), Bytes(6, 0));
    std::memcpy(p, "hi", 2);
    EXPECT_EQ(Text8(ReadBack(c, v)), "hi");
    // NULL leaves nothing of the former value.
    c.SetNull();
    EXPECT_EQ(Text8(ReadBack(c, v)), "");
    // A buffer of size 0 holds the empty text.
    ASSERT_EQ(c.bInitTypeVariantBuffer(TQTYPE_DSTRA, 0), 1);
    EXPECT_EQ(Text8(ReadBack(c, v)), "");
    EXPECT_TRUE(c.bIsEmptyString());

    // An adopted pointer is shown and summed, never read into a value.
    Bytes ext = {1, 0, 0, 0, 5};
    c.bInitTypeVariant(NA_VAR_POINTER, ext.data(), 5, TQTYPE_BIN);
    EXPECT_EQ(c.nChecksum32(), 6u);
    EXPECT_EQ(c.bGetValue(&v), 0);
    // The checksum of a caller's buffer covers its length: 'a' + 'b' + 'c'.
    c.bInitTypeVariant(NA_VAR_BUFFER, ext.data(), 3, TQTYPE_BIN);
    std::memcpy(ext.data(), "abc", 3);
    EXPECT_EQ(c.nChecksum32(), 294u);

    c.ResetVariant();
    EXPECT_EQ(c.bGetValue(&v), 0);
    EXPECT_EQ(c.nStateDB(), CNAConvertVariant::DBBUFFER_NONE);
}

TEST(NAConvertVariant, ItemDescriptionsAndQueries)
{
    ItemPtr host = Item(NA_IT_MEMOUNICODE);
    ItemPtr db = Item(NA_IT_UNICODE);
    CCell c;
    c.InitTypeVariantAny(TQTYPE_I4, 0);
    EXPECT_EQ(c.pszGetTableName(), nullptr);
    EXPECT_EQ(c.eNAGetItemTypeDatabaseEx(), NA_IT_I4);

    // Only a new host item retypes the value.
    c.SetItemDesc(nullptr, db.get());
    EXPECT_EQ(c.eNAGetItemType(), NA_IT_UNICODE);
    EXPECT_FALSE(c.bIsMemo());
    EXPECT_EQ(c.pclGetValue()->nGetTypeCode(), TQTYPE_I4);
    c.SetItemDesc(host.get(), db.get());
    EXPECT_EQ(c.pclGetValue()->nGetTypeCode(), TQTYPE_DSTRW);
    EXPECT_EQ(c.eNAGetItemTypeDatabaseEx(), NA_IT_UNICODE);
    EXPECT_TRUE(c.bIsMemo());
    EXPECT_STREQ(c.pszGetTableName(), L"TABLE");
    EXPECT_STREQ(c.pszGetItemName(), L"ITEM");

    // The same items again take no further reference; a new one releases.
    c.SetItemDesc(host.get(), db.get());
    EXPECT_EQ(host->nGetExternalRef(), 1u);
    EXPECT_EQ(db->nGetExternalRef(), 1u);
    ItemPtr memo = Item(NA_IT_MEMOBINAIRE);
    c.SetItemDesc(memo.get(), db.get());
    EXPECT_EQ(host->nGetExternalRef(), 0u);
    EXPECT_TRUE(c.bIsMemoBinaire());
    c.ResetVariant();
    EXPECT_EQ(memo->nGetExternalRef() + db->nGetExternalRef(), 0u);
    c.InitTypeVariantAny(TQTYPE_PSTRW, 0);
    EXPECT_EQ(c.bUnicodeDB(), 1);
}

TEST(NAConvertVariant, DecimalInformationByConnectionAndTextToBool)
{
    BindValueMachine();
    CTestConnection other(1252, 1252, 5), kind2(1252, 1252, 2);
    CCell plain(nullptr, &other), c2(nullptr, &kind2);
    plain.InitTypeVariantAny(TQTYPE_I4, 0);
    plain.CNAVariant::bSetValue(5);
    c2.InitTypeVariantAny(TQTYPE_I4, 0);
    c2.CNAVariant::bSetValue(5);
    int nDigits = 0, nDecimals = -1;
    // Database kind 2 takes the host type's full width; others the value's
    // own digits.
    EXPECT_EQ(c2.bGetDecimalInfo(&nDigits, &nDecimals), 1);
    EXPECT_EQ(nDigits, 10);
    EXPECT_EQ(nDecimals, 0);
    EXPECT_EQ(plain.bGetDecimalInfo(&nDigits, &nDecimals), 1);
    EXPECT_EQ(nDigits, 1);
    c2.InitTypeVariantAny(TQTYPE_DECIMAL, 0);
    c2.pclGetValue()->SetNullFlag(true);
    EXPECT_EQ(c2.bGetDecimalInfo(&nDigits, &nDecimals), 0);

    for (const char* psz : {"false", "F", "0", ""})
        EXPECT_FALSE(CNAConvertVariant::s_bTextToBool(psz)) << psz;
    for (const char* psz : {"true", "2", "yes"})
        EXPECT_TRUE(CNAConvertVariant::s_bTextToBool(psz)) << psz;
    EXPECT_FALSE(CNAConvertVariant::s_bTextToBool(static_cast<const char*>(nullptr)));
    EXPECT_FALSE(CNAConvertVariant::s_bTextToBool(L"f"));
    EXPECT_TRUE(CNAConvertVariant::s_bTextToBool(L"T"));
}

TEST(NAConvertVariant, EmptinessOfBuffers)
{
    BindValueMachine();
    CCell c;
    Bytes t(3, 0);
    c.bInitTypeVariant(NA_VAR_BUFFER, t.data(), 3, TQTYPE_DSTRA);
    EXPECT_TRUE(c.bIsEmptyString());
    EXPECT_TRUE(c.bCouldBeNullOnKX());
    t[0] = 'a';
    EXPECT_FALSE(c.bCouldBeNullOnKX());

    // An 8-bit date text only for the extended test.
    Bytes d(9, 0);
    c.bInitTypeVariant(NA_VAR_BUFFER, d.data(), 9, TQTYPE_DATEA);
    EXPECT_FALSE(c.bIsEmptyString());
    EXPECT_TRUE(c.bIsEmptyStringEx());

    // Too small for one wide character: empty, nothing read beyond.
    Bytes w = {'x', 'y'};
    c.bInitTypeVariant(NA_VAR_BUFFER, w.data(), 2, TQTYPE_DSTRW);
    EXPECT_TRUE(c.bIsEmptyString());

    // Numbers in a buffer: zero may be stored as NULL.
    Bytes n(4, 0);
    c.bInitTypeVariant(NA_VAR_BUFFER, n.data(), 4, TQTYPE_I4);
    EXPECT_TRUE(c.bCouldBeNullOnKX());
    n[1] = 1;
    EXPECT_FALSE(c.bCouldBeNullOnKX());
}

TEST(NAConvertVariant, CopiesByStorageKind)
{
    BindValueMachine();
    CLiveBlockCheck check;
    CTestConnection cnx(1252, 1252);
    ItemPtr item = Item(NA_IT_I4, 4);
    CCell src(nullptr, &cnx), dst;
    CAny v;
    src.InitTypeVariantAny(TQTYPE_I4, 0);
    src.SetItemDesc(item.get(), nullptr);
    src.CNAVariant::bSetValue(41);
    ASSERT_EQ(dst.bCopyVariant(&src), 1);
    EXPECT_EQ(dst.pclGetCnx(), &cnx);
    EXPECT_EQ(item->nGetExternalRef(), 2u);
    EXPECT_EQ(Get<std::int32_t>(ReadBack(dst, v)), 41);
    EXPECT_EQ(dst.bCopyVariant(&dst), 1);

    // A caller's buffer: the value is the buffer's, and so is its NULL mark.
    Bytes buf = Of<std::int32_t>(1234567);
    CCell b3, copy3;
    b3.bInitTypeVariant(NA_VAR_BUFFER, buf.data(), 4, TQTYPE_I4);
    ASSERT_EQ(copy3.bCopyVariant(&b3), 1);
    EXPECT_EQ(copy3.eGetVarType(), NA_VAR_ANY);
    EXPECT_EQ(Get<std::int32_t>(ReadBack(copy3, v)), 1234567);
    EXPECT_FALSE(copy3.pclGetValue()->bIsNull());
    b3.SetNull();
    copy3.bCopyVariant(&b3);
    EXPECT_TRUE(copy3.pclGetValue()->bIsNull());

    // Into a buffer already set up for the server, same type.
    Bytes target(4, 0xAA);
    CCell t3;
    t3.bInitTypeVariant(NA_VAR_BUFFER, target.data(), 4, TQTYPE_I4);
    ASSERT_EQ(t3.bInitBufferDB(), 1);
    ASSERT_EQ(t3.bCopyVariant(&src), 1);
    EXPECT_EQ(t3.eGetVarType(), NA_VAR_BUFFER);
    EXPECT_EQ(target, Of<std::int32_t>(41));

    // An own binary element keeps its length prefix.
    ItemPtr bin = Item(NA_IT_BINAIRE, 8);
    CCell b5, copy5;
    ASSERT_EQ(b5.bInitTypeVariantBuffer(TQTYPE_BIN, 8), 1);
    b5.SetItemDesc(bin.get(), nullptr);
    unsigned char* p5 = static_cast<unsigned char*>(b5.pGetData());
    PutU16(p5, 3);
    std::memcpy(p5 + 2, "klm", 3);
    ASSERT_EQ(copy5.bCopyVariant(&b5), 1);
    EXPECT_NE(copy5.pGetData(), b5.pGetData());
    EXPECT_EQ(DataBytes(ReadBack(copy5, v)), Bytes({'k', 'l', 'm'}));

    // A value not read yet stays so; nothing to copy is NULL.
    CCell lazy, copyLazy;
    lazy.InitTypeVariantAny(TQTYPE_DSTRW, 0);
    lazy.SetUnread();
    copyLazy.bCopyVariant(&lazy);
    EXPECT_EQ(copyLazy.eGetVarType(), NA_VAR_UNREADYET);
    EXPECT_EQ(copyLazy.pclGetValue()->nGetType(), TQTYPE_DSTRW | TQFLAG_NULL);
    dst.bCopyVariant(nullptr);
    EXPECT_EQ(dst.pclGetValue()->nGetType(), TQTYPE_I4 | TQFLAG_NULL);
}

TEST(NAConvertVariant, OrderingAndEquality)
{
    BindValueMachine();
    CLiveBlockCheck check;
    CCell a, b;
    a.InitTypeVariantAny(TQTYPE_DSTRA, 0);
    b.InitTypeVariantAny(TQTYPE_DSTRA, 0);
    EXPECT_EQ(a.nCmp(&b), 0);
    a.pclGetValue()->pclGetTraitement()->SetValue("abc", 3);
    b.pclGetValue()->pclGetTraitement()->SetValue("abd", 3);
    EXPECT_EQ(a.nCmp(&b), -1);
    b.pclGetValue()->pclGetTraitement()->SetValue("abcd", 4);
    EXPECT_LT(a.nCmp(&b), 0);

    // A text in a record element against the same text held as a value.
    Bytes t = {'a', 'b', 'c', 0, 0, 0, 0, 0};
    CCell e;
    e.bInitTypeVariant(NA_VAR_BUFFER, t.data(), 8, TQTYPE_PSTRA);
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
    EXPECT_TRUE(i.bEqualsNAVariant(&r));

    // NULL cells of different types are equal; cells not read yet never.
    i.SetNull();
    r.SetNull();
    EXPECT_TRUE(i.bEqualsNAVariant(&r));
    EXPECT_TRUE(CNAVariant::g_bEqualsNAVariant(&i, nullptr));
    EXPECT_FALSE(CNAVariant::g_bEqualsNAVariant(nullptr, &a));
    CCell l1, l2;
    for (CCell* l : {&l1, &l2}) {
        l->InitTypeVariantAny(TQTYPE_I4, 0);
        l->CNAVariant::bSetValue(1);
        l->SetUnread();
        l->pclGetValue()->SetNullFlag(false);
    }
    EXPECT_FALSE(l1.bEqualsNAVariant(&l2));
    CCell z1, z2;
    EXPECT_TRUE(z1.bEqualsNAVariant(&z2));
}

TEST(NAConvertVariant, DatabaseBuffer)
{
    CCell c;
    // Nothing asked, nothing made; a smaller request zeroes and keeps.
    EXPECT_EQ(c._bAllocBufferDB(0), 1);
    EXPECT_EQ(c.pbyBufferDB(), nullptr);
    ASSERT_EQ(c._bAllocBufferDB(16), 1);
    c.pbyBufferDB()[15] = 9;
    unsigned char* pOld = c.pbyBufferDB();
    ASSERT_EQ(c._bAllocBufferDB(8), 1);
    EXPECT_EQ(c.pbyBufferDB(), pOld);
    EXPECT_EQ(c.pbyBufferDB()[15], 0);
    c._ReleaseValDB();
    EXPECT_EQ(c.bInitBufferDB(), 0); // a reset cell

    // A fixed-size value: the server works on the value's bytes.
    c.InitTypeVariantAny(TQTYPE_I8, 0);
    unsigned char* p = nullptr;
    unsigned int n = 0;
    unsigned int* pnLength = nullptr;
    ASSERT_EQ(c.bGetBufferDB(&p, &n, &pnLength), 1);
    EXPECT_EQ(c.nStateDB(), CNAConvertVariant::DBBUFFER_INPLACE);
    EXPECT_EQ(p, c.pclGetValue()->pbyGetValeur());
    EXPECT_EQ(n, 8u);
    EXPECT_NE(pnLength, nullptr);

    // A value not read yet is read from now on.
    c.InitTypeVariantAny(TQTYPE_I4, 0);
    c.SetUnread();
    EXPECT_EQ(c.bInitBufferDB(), 1);
    EXPECT_EQ(c.eGetVarType(), NA_VAR_ANY);

    // A caller's buffer is used where it is.
    Bytes buf(6);
    c.bInitTypeVariant(NA_VAR_BUFFER, buf.data(), 6, TQTYPE_DSTRA);
    ASSERT_EQ(c.bGetBufferDB(&p, &n, nullptr), 1);
    EXPECT_EQ(p, buf.data());
    EXPECT_EQ(n, 6u);
}

TEST(NAConvertVariant, ConvertToTheRecord)
{
    // A record of two items: flag byte, then two 6-byte text elements.
    CNAKXRecord rec;
    Bytes form(12 + 1 + 12, 0);
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
    EXPECT_EQ(Bytes(pElement, pElement + 6), Padded("ab", 6));
    EXPECT_EQ(rec.pbyGetNullValuesFlags()[0], 0x40);
    c.SetNull();
    EXPECT_EQ(c.bConvertDataToKX(&rec), 1);
    EXPECT_EQ(rec.bItemValueDefined(host.get(), 0), 0);
    c.ResetVariant();
}

TEST(NAConvertVariant, CompleteSpaces)
{
    CLiveBlockCheck check;
    CCell c;
    Bytes t = Padded("ab", 8);
    c.bInitTypeVariant(NA_VAR_BUFFER, t.data(), 8, TQTYPE_DSTRA);
    c.CompleteSpaces(5);
    EXPECT_EQ(t, Padded("ab   ", 8));
    c.CompleteSpaces(20);
    EXPECT_EQ(t, Padded("ab     ", 8));
    c.SetNull();
    c.CompleteSpaces(5);
    EXPECT_EQ(t, Bytes(8, 0));

    // 32-bit characters and UTF-16 units, cut to the room.
    Bytes w = Padded(std::string(reinterpret_cast<const char*>(L"x"), 4), 16);
    c.bInitTypeVariant(NA_VAR_BUFFER, w.data(), 16, TQTYPE_DSTRW);
    c.CompleteSpaces(10);
    EXPECT_EQ(w, Padded(std::string(reinterpret_cast<const char*>(L"x  "), 12), 16));
    ItemPtr item = Item(NA_IT_UNICODE, 8);
    Bytes u = {'y', 0, 0, 0, 0, 0, 0, 0};
    c.bInitTypeVariant(NA_VAR_BUFFER, u.data(), 8, TQTYPE_DSTRW);
    c.SetItemDesc(item.get(), nullptr);
    c.CompleteSpaces(-1);
    EXPECT_EQ(u, Bytes({'y', 0, ' ', 0, ' ', 0, 0, 0}));
    c.ResetVariant();

    // The cell's own text.
    c.InitTypeVariantAny(TQTYPE_DSTRA, 0);
    c.pclGetValue()->pclGetTraitement()->SetValue("ab", 2);
    c.CompleteSpaces(4);
    CAny v;
    EXPECT_EQ(Text8(ReadBack(c, v)), "ab  ");
}

} // namespace
