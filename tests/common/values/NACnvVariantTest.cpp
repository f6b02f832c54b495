// The value cell: set-up for each storage kind, reading back from the
// record-buffer forms, copies, comparisons, emptiness, the database buffer
// and the error object's references. Buffers are allocated at their exact
// size so that the sanitizer sees any access beyond them.
#include "tests/support/ValueCells.h"

#include "access/driver/NaDriver.h"
#include "common/text/UnicodeCodec.h"
#include "common/values/Decimal.h"
#include "common/values/monetaire.h"
#include "tests/support/KXRecords.h"

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
        // Clones: none without a driver, else on the same error and connection.
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
    // The last holder's release destroys the error object.
    p = driver.pclAllocVariant(e, &cnx);
    p->AddRef();
    e->nRelease();
    EXPECT_EQ(g_nErrorsDestroyed, 0);
    p->nRelease();
    EXPECT_EQ(g_nErrorsDestroyed, 1);
}

TEST(NAConvertVariant, CallersBufferValuesAndTexts)
{
    CLiveBlockCheck check;
    Bytes buf = Of<std::int32_t>(-123456);
    CCell c;
    CAny v;
    ASSERT_EQ(c.bInitTypeVariant(NA_VAR_BUFFER, buf.data(), 4, TQTYPE_I4), 1);
    // NULL zeroes the buffer; the value read back is 0 and not NULL.
    c.SetNull();
    EXPECT_TRUE(c.pclGetValue()->bIsNull());
    EXPECT_EQ(buf, Bytes(4, 0));
    EXPECT_EQ(Get<std::int32_t>(ReadBack(c, v)), 0);
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
    EXPECT_EQ(Get<std::int64_t>(ReadBack(c, v)), 0);
    // Texts without terminator: the whole size, nothing beyond; unaligned.
    Bytes u = {'w', 'x', 'y', 'z'};
    c.bInitTypeVariant(NA_VAR_BUFFER, u.data(), 4, TQTYPE_PSTRA);
    EXPECT_EQ(Text8(ReadBack(c, v)), "wxyz");
    u[3] = 0;
    EXPECT_EQ(c.nGetUtilDataSize(), 3u);
    Bytes w(1 + 2 * sizeof(wchar_t), 0);
    const wchar_t aw[2] = {L'x', 0x20AC};
    std::memcpy(w.data() + 1, aw, sizeof(aw));
    c.bInitTypeVariant(NA_VAR_BUFFER, w.data() + 1, 2 * sizeof(wchar_t), TQTYPE_PSTRW);
    EXPECT_EQ(TextW(ReadBack(c, v)), L"x\u20AC");
    EXPECT_EQ(c.nGetUtilDataSize(), 8u);
    // Wide text elements hold UTF-16 units; unterminated, they stop at the size.
    ItemPtr item = Item(NA_IT_UNICODE, 4);
    Bytes u16 = {'a', 0, 'b', 0};
    c.bInitTypeVariant(NA_VAR_BUFFER, u16.data(), 4, TQTYPE_DSTRW);
    c.SetItemDesc(item.get(), nullptr);
    EXPECT_EQ(TextW(ReadBack(c, v)), L"ab");
    EXPECT_EQ(c.nGetUtilDataSize(), 4u);
    // The same text in a 32-bit cell compares equal.
    wchar_t aw32[3] = {L'a', L'b', 0};
    CCell c32;
    c32.bInitTypeVariant(NA_VAR_BUFFER, reinterpret_cast<unsigned char*>(aw32), sizeof(aw32), TQTYPE_DSTRW);
    EXPECT_EQ(c.nCmp(&c32), 0);
    EXPECT_TRUE(c.bEqualsNAVariant(&c32));
    // An empty element is an empty text whatever follows its first unit.
    u16[0] = 0;
    EXPECT_TRUE(c.bIsEmptyString());
    c.ResetVariant();
    // A lone high surrogate at the end stays a unit of its own.
    const unsigned char byHigh[4] = {'a', 0, 0x3D, 0xD8};
    wchar_t back[2];
    EXPECT_EQ(UTF16LEToWide(byHigh, 2, back), 2u);
    EXPECT_EQ(back[1], static_cast<wchar_t>(0xD83D));
}

TEST(NAConvertVariant, CallersBufferDatesTimesBinariesAndDecimals)
{
    BindValueMachine();
    CLiveBlockCheck check;
    CCell c;
    CAny v;
    // Full elements without terminator; too small gives nothing; a binary
    // length held to the size, no room for it, no binary item.
    const Bytes bin500 = {0xF4, 0x01, 0, 0, 0, 0, 0, 0, 0, 0};
    struct { eNA_ITEMTYPE eItem; Bytes element; unsigned n; unsigned short nType; Bytes expected; } const rows[] = {
        {NA_IT_DATE8, Padded("20240229", 8), 8, TQTYPE_DATETIME, DateTimeBytes(2024, 2, 29, 0, 0, 0, 0)},
        {NA_IT_HEURE, Padded("0930", 4), 4, TQTYPE_DATETIME, DateTimeBytes(0, 0, 0, 9, 30, 0, 0)},
        {NA_IT_DATETIME, DateTimeBytes(2001, 12, 31, 23, 59, 58, 999), 7, TQTYPE_DATETIME, Bytes(8, 0)},
        {NA_IT_BINAIRE, bin500, 10, TQTYPE_BIN, Bytes(8, 0)},
        {NA_IT_BINAIRE, bin500, 1, TQTYPE_BIN, Bytes()},
        {NA_IT_EMPTY, bin500, 10, TQTYPE_BIN, bin500},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::Message() << "item " << r.eItem << ", size " << r.n);
        Bytes b(r.element.begin(), r.element.begin() + r.n);
        ItemPtr item = Item(r.eItem, static_cast<unsigned>(r.element.size()));
        c.bInitTypeVariant(NA_VAR_BUFFER, b.data(), r.n, r.nType);
        if (r.eItem != NA_IT_EMPTY)
            c.SetItemDesc(item.get(), nullptr);
        c.pclGetValue()->__SetType(r.nType, 0);
        EXPECT_EQ(DataBytes(ReadBack(c, v)), r.expected);
    }
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

TEST(NAConvertVariant, OwnBufferAdoptedPointerAndEmptiness)
{
    BindValueMachine();
    CLiveBlockCheck check;
    CCell c;
    CAny v;
    ASSERT_EQ(c.bInitTypeVariant(NA_VAR_OWNBUFFER, nullptr, 6, TQTYPE_DSTRA), 1);
    unsigned char* p = static_cast<unsigned char*>(c.pGetData());
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(Bytes(p, p + 6), Bytes(6, 0));
    std::memcpy(p, "hi", 2);
    EXPECT_EQ(Text8(ReadBack(c, v)), "hi");
    c.SetNull();
    EXPECT_EQ(Text8(ReadBack(c, v)), "");
    // An adopted pointer is shown and summed, never read into a value.
    Bytes ext = {1, 0, 0, 0, 5};
    c.bInitTypeVariant(NA_VAR_POINTER, ext.data(), 5, TQTYPE_BIN);
    EXPECT_EQ(c.nChecksum32(), 6u);
    EXPECT_EQ(c.bGetValue(&v), 0);
    // The checksum of a caller's buffer covers its length: 'a' + 'b' + 'c'.
    c.bInitTypeVariant(NA_VAR_BUFFER, ext.data(), 3, TQTYPE_BIN);
    std::memcpy(ext.data(), "abc", 3);
    EXPECT_EQ(c.nChecksum32(), 294u);
    // Emptiness of the bytes in a buffer.
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
}

// Text cells are set up again for every text read: whatever the former
// value left, the cell starts as a new empty text.
TEST(NAConvertVariant, TextSetUpAfterAnyFormerValue)
{
    BindValueMachine();
    ItemPtr host = Item(NA_IT_MEMOUNICODE);
    const struct {
        const char* pszName;
        void (*pfnBefore)(CCell&, INAItemDescription*);
    } rows[] = {
        {"new text", [](CCell& c, INAItemDescription*) { c.InitTypeVariantAny(TQTYPE_DSTRW, 0); }},
        {"text", [](CCell& c, INAItemDescription*) {
             c.InitTypeVariantAny(TQTYPE_DSTRW, 0);
             c.bSetValueDB("abc", 3, 1252);
         }},
        {"NULL text", [](CCell& c, INAItemDescription*) {
             c.InitTypeVariantAny(TQTYPE_DSTRW, 0);
             c.SetNull();
         }},
        {"empty text marked NULL", [](CCell& c, INAItemDescription*) {
             c.InitTypeVariantAny(TQTYPE_DSTRW, 0);
             c.pclGetValue()->SetNullFlag(true);
         }},
        {"integer", [](CCell& c, INAItemDescription*) {
             c.InitTypeVariantAny(TQTYPE_I4, 0);
             c.CNAVariant::bSetValue(5);
         }},
        {"text with an item", [](CCell& c, INAItemDescription* pi) {
             c.InitTypeVariantAny(TQTYPE_DSTRW, 0);
             c.SetItemDesc(pi, nullptr);
         }},
        {"own buffer", [](CCell& c, INAItemDescription*) {
             c.bInitTypeVariant(NA_VAR_OWNBUFFER, nullptr, 8, TQTYPE_DSTRW);
         }},
    };
    const CAny fresh(TQTYPE_DSTRW);
    for (const auto& row : rows) {
        {
            CCell c;
            row.pfnBefore(c, host.get());
            c.InitTypeVariantAny(TQTYPE_DSTRW, 0);
            const CAny* pv = c.pclGetValue();
            EXPECT_EQ(pv->nGetType(), TQTYPE_DSTRW) << row.pszName;
            EXPECT_EQ(std::memcmp(pv->pbyGetValeur(), fresh.pbyGetValeur(), CAny::VALEUR_SIZE), 0) << row.pszName;
            EXPECT_EQ(c.eGetVarType(), NA_VAR_ANY) << row.pszName;
            EXPECT_EQ(host->nGetExternalRef(), 0u) << row.pszName;
        }
    }
}

TEST(NAConvertVariant, ItemDescriptionsAndDecimalInformation)
{
    BindValueMachine();
    ItemPtr host = Item(NA_IT_MEMOUNICODE);
    ItemPtr db = Item(NA_IT_UNICODE);
    CCell c;
    c.InitTypeVariantAny(TQTYPE_I4, 0);
    // Only a new host item retypes the value.
    c.SetItemDesc(nullptr, db.get());
    EXPECT_FALSE(c.bIsMemo());
    EXPECT_EQ(c.pclGetValue()->nGetTypeCode(), TQTYPE_I4);
    c.SetItemDesc(host.get(), db.get());
    EXPECT_EQ(c.pclGetValue()->nGetTypeCode(), TQTYPE_DSTRW);
    EXPECT_EQ(c.eNAGetItemTypeDatabaseEx(), NA_IT_UNICODE);
    EXPECT_TRUE(c.bIsMemo());
    // The same items again take no further reference; a new one releases.
    c.SetItemDesc(host.get(), db.get());
    EXPECT_EQ(host->nGetExternalRef(), 1u);
    EXPECT_EQ(db->nGetExternalRef(), 1u);
    ItemPtr memo = Item(NA_IT_MEMOBINAIRE);
    c.SetItemDesc(memo.get(), db.get());
    EXPECT_EQ(host->nGetExternalRef(), 0u);
    c.ResetVariant();
    EXPECT_EQ(memo->nGetExternalRef() + db->nGetExternalRef(), 0u);
    CTestConnection other(1252, 1252, 5), kind2(1252, 1252, 2);
    CCell plain(nullptr, &other), c2(nullptr, &kind2);
    for (CCell* p : {&plain, &c2}) {
        p->InitTypeVariantAny(TQTYPE_I4, 0);
        p->CNAVariant::bSetValue(5);
    }
    int nDigits = 0, nDecimals = -1;
    // Database kind 2 takes the host type's width; others the value's digits.
    EXPECT_EQ(c2.bGetDecimalInfo(&nDigits, &nDecimals), 1);
    EXPECT_EQ(nDigits, 10);
    EXPECT_EQ(nDecimals, 0);
    EXPECT_EQ(plain.bGetDecimalInfo(&nDigits, &nDecimals), 1);
    EXPECT_EQ(nDigits, 1);
    c2.InitTypeVariantAny(TQTYPE_DECIMAL, 0);
    c2.pclGetValue()->SetNullFlag(true);
    EXPECT_EQ(c2.bGetDecimalInfo(&nDigits, &nDecimals), 0);
    EXPECT_FALSE(CNAConvertVariant::s_bTextToBool(static_cast<const char*>(nullptr)));
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
    std::memcpy(p5, "\x03\x00klm", 5); // the 16-bit length 3, then the bytes
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
    // NULLs of different types are equal; cells not read yet never.
    CCell i, r;
    i.InitTypeVariantAny(TQTYPE_I4, 0);
    r.InitTypeVariantAny(TQTYPE_R8, 0);
    i.SetNull();
    r.SetNull();
    EXPECT_TRUE(i.bEqualsNAVariant(&r));
    EXPECT_TRUE(CNAVariant::g_bEqualsNAVariant(&i, nullptr));
    CCell l1, l2;
    for (CCell* l : {&l1, &l2}) {
        l->InitTypeVariantAny(TQTYPE_I4, 0);
        l->CNAVariant::bSetValue(1);
        l->SetUnread();
        l->pclGetValue()->SetNullFlag(false);
    }
    EXPECT_FALSE(l1.bEqualsNAVariant(&l2));
}

TEST(NAConvertVariant, DatabaseBufferAndRecord)
{
    CCell c;
    // A smaller request zeroes and keeps.
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
    // A record of two items: flag byte, then two 6-byte text elements.
    CNAKXRecord rec;
    MakeRecord(rec, 2, 12);
    ItemPtr host = Item(NA_IT_TEXTE, 6);
    ItemPtr db = Item(NA_IT_TEXTE, 6);
    host->SetPhysical(1);
    unsigned char* pElement = rec.pbyGetItemValue(host.get(), 0);
    ASSERT_NE(pElement, nullptr);
    std::memcpy(pElement, "ab\0xyz", 6);
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
}

} // namespace
