// Record buffer: the host engine's view (field places, slot order), values
// stored and read by item type, defaults, copies and hostile buffers.
#include "access/driver/INADataSourceDescription.h"
#include "tests/support/KXRecords.h"
#include "tests/support/ValueCells.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

class KXRecordValue : public ::testing::Test {
protected:
    void SetUp() override { BindValueMachine(); }
};

// An item of given element defaults (1-based as the description asks).
class CDefaultItem : public CRecordItem {
public:
    using CRecordItem::CRecordItem;
    std::vector<CAny*> m_tabDefault;
    void SetComposite() { m_nKeyFlags = KF_COMPOSITE; }
    CAny* pclGetDefaultValue(int n) override
    {
        return n >= 1 && n <= static_cast<int>(m_tabDefault.size()) ? m_tabDefault[n - 1] : nullptr;
    }
};

// A table description of given items; every other operation answers 0.
class CTable : public INADataSourceDescription {
public:
    std::vector<INAItemDescription*> m_tabItem;
    unsigned int m_nPhysical = 0;
    unsigned int m_nDiskSize = 0;
    int m_nReleases = 0;

    INAItemDescription* piNAGetItem(unsigned int i) override
    {
        m_nReleases--; // the record gives each one back
        return i < m_tabItem.size() ? m_tabItem[i] : nullptr;
    }
    unsigned int nGetNumItems() const override { return static_cast<unsigned int>(m_tabItem.size()); }
    unsigned int nGetNumItemPhysicallyInFic() const override { return m_nPhysical; }
    unsigned int nGetDiskRecordSize() const override { return m_nDiskSize; }
    int nGetVersion() const override { return 6; }
    int nGetCompatSince() const override { return 1; }
    int nGetNAVersion() const override { return 0; }
    int nGetNACompatSince() const override { return 0; }
    void NAVersion_EmptySlot_3() override {}
    void ExternalAddRef() override {}
    unsigned int nExternalRelease() override { return 0; }
    const wchar_t* pszGetLogicalName() const override { return L"T"; }
    const wchar_t* pszGetPhysicalName() const override { return L"T"; }
    const wchar_t* pszGetDefaultDirectory() const override { return L""; }
    unsigned int nGetMemoryRecordSize() const override { return 0; }
    unsigned int nGetNumKeys() const override { return 0; }
    unsigned int nGetNumMemos() const override { return 0; }
    INAItemDescription* piNAGetItem(const wchar_t*) override { return nullptr; }
    INAItemDescription* piNAGetKey(unsigned int) override { return nullptr; }
    INAItemDescription* piNAGetMemo(unsigned int) override { return nullptr; }
    int eGetNASubDataType() const override { return 0; }
    const wchar_t* pszGetDBTableName() const override { return L"T"; }
    INAItemDescription* piGetBestParseItemDesc() override { return nullptr; }
    const wchar_t* pszGetExtendedInfo() const override { return L""; }
    const wchar_t* pszGetType() const override { return L""; }
    const wchar_t* pszGetOwner() const override { return L""; }
    const wchar_t* pszGetDefaultDatabase() const override { return L""; }
    const wchar_t* pszGetExtension() const override { return L""; }
    const wchar_t* pszGetCaption() const override { return L""; }
    int bGetNullSupported() const override { return 1; }
    void EmptySlot137() override {}
    void EmptySlot138() override {}
    void EmptySlot139() override {}
    void EmptySlot140() override {}
    void EmptySlot141() override {}
    void EmptySlot142() override {}
    void EmptySlot143() override {}
    void EmptySlot144() override {}
    void EmptySlot145() override {}
    void EmptySlot146() override {}
};

// Word i of the object as the host engine reads it.
uint32_t Word(const CNAKXRecord& rec, int i)
{
    uint32_t n;
    std::memcpy(&n, reinterpret_cast<const unsigned char*>(&rec) + 4 * i, 4);
    return n;
}

uint32_t Addr(const void* p)
{
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(p));
}

TEST_F(KXRecordValue, EightWordsAtTheirPlaces)
{
    if (sizeof(void*) != 4)
        GTEST_SKIP() << "the engine's layout is that of the 32-bit build";
    CNAKXRecord rec;
    MakeRecord(rec, 10, 20, 0);
    rec.AddRef();
    rec.AddRef();
    EXPECT_EQ(Word(rec, 1), 2u);  // reference count
    EXPECT_EQ(Word(rec, 2), 0u);  // do-not-delete flag
    EXPECT_EQ(Word(rec, 3), 22u); // buffer size
    EXPECT_EQ(Word(rec, 4), Addr(rec.pbyGetNullValuesFlags())); // buffer
    EXPECT_EQ(Word(rec, 5), 10u); // item count
    EXPECT_EQ(Word(rec, 6), Addr(rec.pbyGetValues()));
    EXPECT_EQ(Word(rec, 7), 2u);  // flag field size
    EXPECT_EQ(Word(rec, 8), Addr(rec.pbyGetNullValuesFlags()));
}

// Slot i of the object's table, called with the engine's signature.
template <class F>
F Slot(CNAKXRecord* p, int i)
{
    void** ppTable = *reinterpret_cast<void***>(p);
    F f;
    std::memcpy(&f, &ppTable[i], sizeof(f));
    return f;
}

TEST_F(KXRecordValue, EverySlotThroughTheTable)
{
    CNAKXRecord rec;
    MakeRecord(rec, 2, 16, 0);
    CRecordItem it(NA_IT_I4, 1, 4, 4);
    CNAKXRecord* p = &rec;
    // Slots 0 and 1 are the destructors; the engine's slot n is index n - 1.
    const int32_t n = 0x01020304;
    Slot<void (*)(CNAKXRecord*, const INAItemDescription*, const void*, unsigned, unsigned)>(p, 6)(p, &it, &n, 4, 0);
    EXPECT_EQ(Slot<int (*)(const CNAKXRecord*, const INAItemDescription*, unsigned)>(p, 11)(p, &it, 0), 1);
    unsigned char aby[4] = {};
    Slot<void (*)(const CNAKXRecord*, void*, const INAItemDescription*, int)>(p, 9)(p, aby, &it, 0);
    EXPECT_EQ(std::memcmp(aby, &n, 4), 0);
    EXPECT_EQ((Slot<unsigned char* (*)(CNAKXRecord*, const INAItemDescription*, int)>(p, 4)(p, &it, 0)),
              rec.pbyGetValues() + 4);
    EXPECT_EQ((Slot<const unsigned char* (*)(const CNAKXRecord*, const INAItemDescription*, int)>(p, 5)(p, &it, 0)),
              rec.pbyGetValues() + 4);
    CAny v;
    Slot<void (*)(const CNAKXRecord*, CAny*, const INAItemDescription*, int)>(p, 8)(p, &v, &it, 0);
    int nRead = 0;
    v.nGetINT(&nRead);
    EXPECT_EQ(nRead, n);
    CAny w(TQTYPE_I4);
    const int32_t n2 = 77;
    w.pclGetTraitement()->SetValue(&n2);
    Slot<void (*)(CNAKXRecord*, const INAItemDescription*, const CAny*, unsigned)>(p, 7)(p, &it, &w, 0);
    EXPECT_EQ(std::memcmp(rec.pbyGetValues() + 4, &n2, 4), 0);
    Slot<void (*)(CNAKXRecord*, const INAItemDescription*, int, unsigned)>(p, 10)(p, &it, 0, 0);
    EXPECT_EQ(rec.bItemValueDefined(&it, 0), 0);
    const unsigned char abyAll[16] = {9, 9, 9, 9, 9};
    Slot<void (*)(CNAKXRecord*, const unsigned char*, unsigned)>(p, 3)(p, abyAll, 16);
    EXPECT_EQ(rec.pbyGetNullValuesFlags()[0], 0xFF);
    CNAKXRecord* pClone = Slot<CNAKXRecord* (*)(CNAKXRecord*)>(p, 2)(p);
    ASSERT_NE(pClone, nullptr);
    EXPECT_TRUE(pClone->bEquals(&rec));
    pClone->AddRef();
    pClone->nRelease();
}

std::string Element(CNAKXRecord& rec, const INAItemDescription& it, int i = 0)
{
    const unsigned char* p = rec.pbyGetItemValue(&it, i);
    return p != nullptr ? std::string(reinterpret_cast<const char*>(p), it.nGetItemSize()) : std::string("<none>");
}

TEST_F(KXRecordValue, RawStoresStayInsideTheirElement)
{
    CNAKXRecord rec;
    MakeRecord(rec, 4, 40, 0xEE);
    CRecordItem itText(NA_IT_TEXTE, 0, 0, 10);
    CRecordItem itBin(NA_IT_BINAIRE, 1, 10, 6);
    CRecordItem itInt(NA_IT_I4, 2, 16, 4);
    CRecordItem itEmptyText(NA_IT_TEXTE, 3, 20, 0);
    struct {
        const CRecordItem* pItem;
        std::string strIn;
        std::string strStored;
    } cases[] = {
        {&itText, "ABCDEFGHIJKLMNO", std::string("ABCDEFGHI\0", 10)},        // 15 characters keep 9
        {&itText, "AB", std::string("AB\0\0\0\0\0\0\0\0", 10)},
        {&itBin, "0123456789", std::string("\x04\x00" "0123", 6)},            // length 4 and 4 bytes
        {&itBin, "xy", std::string("\x02\x00xy\0\0", 6)},
        {&itInt, "\x01\x02", std::string("\x01\x02\0\0", 4)},                 // never more than given
    };
    for (const auto& c : cases) {
        rec.SetItemValue(c.pItem, c.strIn.data(), static_cast<unsigned>(c.strIn.size()), 0);
        EXPECT_EQ(Element(rec, *c.pItem), c.strStored) << c.strIn;
        EXPECT_EQ(rec.bItemValueDefined(c.pItem, 0), 1) << c.strIn;
    }
    // A zero-size text element takes nothing and the next item is intact.
    rec.SetItemValue(&itEmptyText, "Z", 1, 0);
    EXPECT_EQ(rec.pbyGetValues()[20], 0xEE);
    // A null source zero-fills.
    rec.SetItemValue(&itInt, nullptr, 4, 0);
    EXPECT_EQ(Element(rec, itInt), std::string(4, '\0'));
    EXPECT_EQ(rec.pbyGetValues()[21], 0xEE);
}

TEST_F(KXRecordValue, HostValuesRoundTripByItemType)
{
    CNAKXRecord rec;
    MakeRecord(rec, 8, 96, 0);
    CAny v, back;
    // Integer item from a wide text: converted to the item's host type.
    CRecordItem itI2(NA_IT_I2, 0, 0, 2);
    SetW(v, L"-1234");
    rec.SetItemValue(&itI2, &v, 0);
    EXPECT_EQ(Element(rec, itI2), std::string("\x2e\xfb", 2));
    rec.GetItemValue(&back, &itI2, 0);
    EXPECT_EQ(back.nGetTypeCode(), TQTYPE_I2);
    int n = 0;
    back.nGetINT(&n);
    EXPECT_EQ(n, -1234);
    // Text.
    CRecordItem itText(NA_IT_TEXTE, 1, 2, 8);
    SetW(v, L"hello");
    rec.SetItemValue(&itText, &v, 0);
    rec.GetItemValue(&back, &itText, 0);
    EXPECT_EQ(Text8(back), "hello");
    // Wide text beyond the BMP: a surrogate pair, read back whole.
    CRecordItem itW(NA_IT_UNICODE, 2, 10, 10);
    const wchar_t szW[] = {L'a', static_cast<wchar_t>(0x1F600), L'b', 0};
    SetW(v, szW);
    rec.SetItemValue(&itW, &v, 0);
    const unsigned char abyW[10] = {'a', 0, 0x3D, 0xD8, 0x00, 0xDE, 'b', 0, 0, 0};
    EXPECT_EQ(Element(rec, itW), std::string(reinterpret_cast<const char*>(abyW), 10));
    rec.GetItemValue(&back, &itW, 0);
    EXPECT_EQ(TextW(back), std::wstring(szW));
    // A pair that does not fit whole is left out, never split.
    const wchar_t szCut[] = {L'a', L'b', L'c', L'd', static_cast<wchar_t>(0x1F600), 0};
    SetW(v, szCut);
    rec.SetItemValue(&itW, &v, 0);
    rec.GetItemValue(&back, &itW, 0);
    EXPECT_EQ(TextW(back), L"abcd");
    // Binary.
    CRecordItem itBin(NA_IT_BINAIRE, 3, 20, 8);
    v.__SetType(TQTYPE_BIN, 0);
    v.pclGetTraitement()->SetValue("\x01\x00\x02", 3);
    rec.SetItemValue(&itBin, &v, 0);
    rec.GetItemValue(&back, &itBin, 0);
    EXPECT_EQ(DataBytes(back), (Bytes{1, 0, 2}));
    // NULL marks the element NULL.
    v.SetNullFlag(true);
    rec.SetItemValue(&itBin, &v, 0);
    EXPECT_EQ(rec.bItemValueDefined(&itBin, 0), 0);
    EXPECT_EQ(Element(rec, itBin), std::string(8, '\0'));
}

TEST_F(KXRecordValue, TimeItemFromDateTimeAndBack)
{
    CNAKXRecord rec;
    MakeRecord(rec, 1, 12, 0xEE);
    CRecordItem itTime(NA_IT_HEURE, 0, 0, 10);
    CAny v;
    v.__SetType(TQTYPE_DATETIME, 0);
    const Bytes b = DateTimeBytes(2026, 12, 6, 13, 45, 30, 250);
    v.pclGetTraitement()->SetValue(b.data(), 8);
    rec.SetItemValue(&itTime, &v, 0);
    EXPECT_EQ(Element(rec, itTime), std::string("134530250\0", 10));
    EXPECT_EQ(rec.pbyGetValues()[10], 0xEE);
    // Read back as the time's 8-bit text; such a text cast for the item
    // becomes a date-time of the empty date with that time of day.
    CAny back;
    rec.GetItemValue(&back, &itTime, 0);
    EXPECT_EQ(back.nGetTypeCode(), TQTYPE_TIMEA);
    EXPECT_EQ(Text8(back), "134530250");
    SetA(back, "134530250");
    EXPECT_EQ(CNAKXRecord::nCastTo(&back, TQTYPE_DATETIME, &itTime), TQSTATUS_OK);
    EXPECT_EQ(back.nGetTypeCode(), TQTYPE_DATETIME);
    EXPECT_EQ(Bytes(back.pbyGetValeur(), back.pbyGetValeur() + 8), DateTimeBytes(0, 0, 0, 13, 45, 30, 250));
}

TEST_F(KXRecordValue, InitSizesAndDefaultsPerElement)
{
    CAny v1, v3;
    SetW(v1, L"7");
    SetW(v3, L"9");
    CAny vNull(TQTYPE_I4);
    vNull.SetNullFlag(true);
    CDefaultItem itArr(NA_IT_I4, 0, 0, 4, 3); // three elements
    itArr.m_tabDefault = {&v1, &vNull, &v3};
    CDefaultItem itKey(NA_IT_I4, 1, 12, 4);
    itKey.m_tabDefault = {&v1};
    itKey.SetComposite();
    CDefaultItem itMemo(NA_IT_MEMOTEXTE, 2, 16, 8);
    itMemo.m_tabDefault = {&v1};
    CTable table;
    table.m_tabItem = {&itArr, &itKey, &itMemo};
    table.m_nPhysical = 9;
    table.m_nDiskSize = 24;
    CNAKXRecord rec;
    ASSERT_TRUE(rec.bInit(&table, CNAKXRecord::INIT_DEFAULT));
    EXPECT_EQ(rec.nGetFlagFieldSize(), 2u);
    EXPECT_EQ(rec.nGetBufferSize(), 26u);
    EXPECT_EQ(table.m_nReleases, -3);
    int32_t an[3];
    std::memcpy(an, rec.pbyGetValues(), sizeof(an));
    EXPECT_EQ(an[0], 7);
    EXPECT_EQ(an[1], 0);
    EXPECT_EQ(an[2], 9);
    // The composite key is left alone; the memo holds its NULL marker.
    EXPECT_EQ(Element(rec, itKey), std::string(4, '\0'));
    EXPECT_EQ(Element(rec, itMemo), std::string(8, '\xFF'));
    // Zero-filled without defaults; no item: no flag field.
    CNAKXRecord rec2;
    ASSERT_TRUE(rec2.bInit(&table, CNAKXRecord::INIT_ZERO));
    EXPECT_EQ(Element(rec2, itMemo), std::string(8, '\0'));
    table.m_nPhysical = 0;
    CNAKXRecord rec3;
    ASSERT_TRUE(rec3.bInit(&table, CNAKXRecord::INIT_ZERO));
    EXPECT_EQ(rec3.nGetFlagFieldSize(), 0u);
    EXPECT_EQ(rec3.nGetBufferSize(), 24u);
}

TEST_F(KXRecordValue, CopiesClonesAndEquality)
{
    CNAKXRecord a, b;
    MakeRecord(a, 3, 8, 0x11);
    MakeRecord(b, 3, 8, 0x11);
    EXPECT_TRUE(a.bEquals(&b));
    CRecordItem it(NA_IT_I1, 3, 0, 1);
    b.SetItemValueDefined(&it, 0, 0);
    b.pbyGetValues()[0] = 0x11; // same values, other flag bit
    EXPECT_FALSE(a.bEquals(&b));
    EXPECT_FALSE(a.bEquals(nullptr));
    // Copy over a record of another size copies the smaller size.
    CNAKXRecord small;
    MakeRecord(small, 3, 2, 0x22);
    a.Copy(&small);
    EXPECT_EQ(a.pbyGetValues()[1], 0x22);
    EXPECT_EQ(a.pbyGetValues()[2], 0x11);
    small.Copy(&b);
    EXPECT_EQ(small.pbyGetValues()[1], 0x11);
    CNAKXRecord* pClone = a.pclGetClone();
    ASSERT_NE(pClone, nullptr);
    EXPECT_TRUE(pClone->bEquals(&a));
    EXPECT_NE(pClone->pbyGetValues(), a.pbyGetValues());
    delete pClone;
    // Serialised and back into an empty record: equal.
    std::vector<unsigned char> v(a.nGetSerializeSize());
    a.Serialize(v.data(), static_cast<unsigned int>(v.size()));
    CNAKXRecord c;
    c.Deserialize(v.data(), static_cast<unsigned int>(v.size()));
    EXPECT_TRUE(c.bEquals(&a));
}

TEST_F(KXRecordValue, HostileBuffersAndTablesStayInside)
{
    // Values longer than the values area, flags claiming more items than
    // bits: only the record's own bytes are written (the sanitized run
    // checks what is outside).
    CNAKXRecord rec;
    MakeRecord(rec, 3, 4, 0);
    std::vector<unsigned char> big(64, 0x5A);
    rec.SetValues(big.data(), static_cast<unsigned>(big.size()));
    EXPECT_EQ(rec.pbyGetValues()[3], 0x5A);
    EXPECT_EQ(rec.pbyGetNullValuesFlags()[0], 0xFF);
    const CRecordItem itFar(NA_IT_I4, 60, 0, 4);
    const CRecordItem itNear(NA_IT_I4, 2, 0, 4);
    const INAItemDescription* ap[2] = {&itFar, &itNear};
    const unsigned int an[2] = {60, 2};
    const int ab[2] = {1, 0};
    rec.SetTabItemValueDefined(ap, 2, an, ab);
    EXPECT_EQ(rec.pbyGetNullValuesFlags()[0], 0xDF);
    EXPECT_EQ(rec.pbyGetValues()[0], 0x00);
    // A serialised form of another size reallocates; an element past the
    // new values is refused.
    std::vector<unsigned char> form(12 + 1 + 2, 0x33);
    const uint32_t aHeader[3] = {3, 2, 1};
    std::memcpy(form.data(), aHeader, 12);
    rec.Deserialize(form.data(), static_cast<unsigned int>(form.size()));
    EXPECT_EQ(rec.nGetBufferSize(), 3u);
    rec.SetItemValue(&itNear, "ABCD", 4, 0);
    EXPECT_EQ(rec.pbyGetValues()[0], 0x33);
    CAny v;
    rec.GetItemValue(&v, &itNear, 0);
    EXPECT_EQ(v.nGetTypeCode(), TQTYPE_VIDE);
}

} // namespace

namespace {

// Wide elements of every size about the reading's local room: the text read
// back is the element's, up to its terminator, a pair at its end whole.
TEST_F(KXRecordValue, WideElementsOfEverySizeReadBackWhole)
{
    for (unsigned int nUnits : {1u, 2u, 254u, 255u, 256u, 257u, 258u, 600u}) {
        for (bool bFull : {true, false}) {
            SCOPED_TRACE(testing::Message() << nUnits << " units, " << (bFull ? "full" : "shorter"));
            CNAKXRecord rec;
            MakeRecord(rec, 1, nUnits * 2, 0xEE);
            CRecordItem itW(NA_IT_UNICODE, 0, 0, nUnits * 2);
            std::wstring s;
            const unsigned int nText = bFull ? nUnits : nUnits / 2;
            for (unsigned int i = 0; s.size() < nText; i++)
                s += static_cast<wchar_t>(L'a' + i % 26);
            if (nText >= 2) {
                s.resize(nText - 2);
                s += static_cast<wchar_t>(0x1F600);
            }
            CAny v, back;
            SetW(v, s.c_str());
            rec.SetItemValue(&itW, &v, 0);
            rec.GetItemValue(&back, &itW, 0);
            EXPECT_EQ(back.nGetTypeCode(), TQTYPE_DSTRW);
            EXPECT_EQ(TextW(back), s);
        }
    }
}

} // namespace
