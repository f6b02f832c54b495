// Record identities: image hash, both compares over unequal lengths, the
// serialised forms byte by byte and their bounds, clones and copies, the
// text form, and a hash table of each kind finding every identity.
#include "common/text/HashTableBounce.h"
#include "common/text/XYString.h"
#include "tests/support/RecordValues.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

namespace {

class RecordId : public ::testing::Test {
protected:
    CDriverScope m_clDriver;
};

unsigned int U32At(const ByteVector& aby, size_t nOffset)
{
    unsigned int n;
    std::memcpy(&n, aby.data() + nOffset, 4);
    return n;
}

const void* PtrAt(const ByteVector& aby, size_t nOffset)
{
    const void* p;
    std::memcpy(&p, aby.data() + nOffset, sizeof(p));
    return p;
}

ByteVector Serialized(const CNARecordId& id)
{
    ByteVector aby(id.nGetSerializedSize());
    id.Serialize(aby.data(), static_cast<unsigned int>(aby.size()));
    return aby;
}

int Sign(int n) { return n < 0 ? -1 : (n > 0 ? 1 : 0); }

TEST_F(RecordId, ImageHashSumsWordsThenTrailingBytes)
{
    const struct {
        ByteVector aby;
        unsigned int nHash;
    } cases[] = {
        {{}, 0u},
        {{0x01, 0x00, 0x00, 0x00, 0x02}, 3u},
        {{0xFF, 0xFF, 0xFF}, 765u},
        {{0x01, 0x02, 0x03, 0x04}, 0x04030201u},
        {{0xFF, 0xFF, 0xFF, 0xFF, 0x02, 0x00, 0x00, 0x00}, 1u}, // wraps
        {{0x00, 0x00, 0x00, 0x01, 0x05, 0x06}, 0x0100000Bu},
    };
    for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); i++) {
        CNARecordId_RecordValues id(cases[i].aby.data(), static_cast<unsigned int>(cases[i].aby.size()), nullptr);
        EXPECT_EQ(id.dwGetHashVal(), cases[i].nHash) << "case " << i;
        EXPECT_EQ(CNARecordId::g_dwPtrHashVal(Serialized(id).data()), cases[i].nHash) << "case " << i;
    }
}

TEST_F(RecordId, BothComparesOverUnequalLengths)
{
    const struct {
        ByteVector a, b;
        int nSign;
    } cases[] = {
        {{0x41, 0x42}, {0x41, 0x42, 0x43}, -1},
        {{0x41, 0x42, 0x43}, {0x41, 0x42}, 1},
        {{0x41, 0x42, 0x44}, {0x41, 0x42, 0x43}, 1},
        {{0x41, 0x42, 0x43}, {0x41, 0x42, 0x44}, -1},
        {{0x41, 0x42, 0x43}, {0x41, 0x42, 0x43}, 0},
        {{}, {}, 0},
        {{}, {0x00}, -1},
        {{0x00}, {}, 1},
        {{0x80}, {0x7F, 0xFF}, 1}, // unsigned, first byte decides
        {{0x7F, 0xFF}, {0x80}, -1},
    };
    for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); i++) {
        CNAConvertVariant* pa = NewCell(cases[i].a);
        CNAConvertVariant* pb = NewCell(cases[i].b);
        CNARecordId_RowId ra(pa), rb(pb);
        EXPECT_EQ(Sign(CNARecordId_RowId::g_nCompare_CNARecordId_RowId(Serialized(ra).data(), Serialized(rb).data())),
                  cases[i].nSign)
            << "row id case " << i;
        // The images are exactly as long as the vectors: the sanitizer sees
        // any read past the shorter one.
        ByteVector a = cases[i].a, b = cases[i].b;
        CNARecordId_RecordValues va(a.empty() ? nullptr : a.data(), static_cast<unsigned int>(a.size()), nullptr);
        CNARecordId_RecordValues vb(b.empty() ? nullptr : b.data(), static_cast<unsigned int>(b.size()), nullptr);
        EXPECT_EQ(Sign(CNARecordId_RecordValues::g_nCompare_CNARecordId_RecordValues(Serialized(va).data(),
                                                                                     Serialized(vb).data())),
                  cases[i].nSign)
            << "record values case " << i;
        EXPECT_EQ(va.bEqualRecordId(&vb), cases[i].nSign == 0) << "case " << i;
        EXPECT_EQ(ra.bEqualRecordId(&rb), cases[i].nSign == 0) << "case " << i;
    }
}

TEST_F(RecordId, KindsNeverEqualAndCopiesStayInTheirKind)
{
    ByteVector aby = {0x41, 0x42};
    CNARecordId_RowId row(NewCell(aby));
    CNARecordId_RecordValues values(aby.data(), 2, nullptr);
    EXPECT_EQ(row.eGetRecordIdType(), 3);
    EXPECT_EQ(values.eGetRecordIdType(), 1);
    EXPECT_FALSE(row.bEqualRecordId(&values));
    EXPECT_FALSE(values.bEqualRecordId(&row));
    EXPECT_FALSE(row.bEqualRecordId(nullptr));
    EXPECT_FALSE(values.bEqualRecordId(nullptr));
    EXPECT_FALSE(row.bCopy(nullptr, &values));
    EXPECT_EQ(CellBytes(row.pclGetValueNoRef()), aby);
    CNARecordId_RowId other(NewCell({0x01, 0x02, 0x03}));
    EXPECT_TRUE(row.bCopy(nullptr, &other));
    EXPECT_EQ(CellBytes(row.pclGetValueNoRef()), ByteVector({0x01, 0x02, 0x03}));
    EXPECT_NE(row.pclGetValueNoRef(), other.pclGetValueNoRef());
}

TEST_F(RecordId, SerialisedFormsByteByByte)
{
    ByteVector image = {0x01, 0x00, 0x00, 0x00, 0x02, 0x09};
    CNARecordMemo memo;
    CNARecordId_RecordValues values(image.data(), 6, &memo);
    const ByteVector v = Serialized(values);
    ASSERT_EQ(v.size(), 8 + 2 * sizeof(void*));
    EXPECT_EQ(U32At(v, 0), 12u);
    EXPECT_EQ(U32At(v, 4), 6u);
    EXPECT_EQ(PtrAt(v, 8), image.data());
    EXPECT_EQ(PtrAt(v, 8 + sizeof(void*)), &memo);

    CNARecordId_RowId row(NewCell({0x10, 0x20, 0x30, 0x40, 0x50}));
    const ByteVector r = Serialized(row);
    EXPECT_EQ(r, ByteVector({0x60, 0x20, 0x30, 0x40, 5, 0, 0, 0, 0x10, 0x20, 0x30, 0x40, 0x50}));

    // Taking the forms back: record values ignores the hash.
    ByteVector w = v;
    w[0] ^= 0xFF;
    CNARecordId_RecordValues back(nullptr, 0, nullptr);
    back.DeSerialize(w.data(), static_cast<unsigned int>(w.size()));
    EXPECT_EQ(back.pbyGetImage(), image.data());
    EXPECT_EQ(back.nGetLength(), 6u);
    EXPECT_EQ(back.pclGetMemoNoRef(), &memo);
    CNARecordId_RowId rowBack(NewCell({}));
    rowBack.DeSerialize(r.data(), static_cast<unsigned int>(r.size()));
    EXPECT_TRUE(rowBack.bEqualRecordId(&row));
}

TEST_F(RecordId, SerialiseAndDeserialiseKeepToTheGivenLengths)
{
    ByteVector image(120, 0x33);
    CNARecordId_RecordValues values(image.data(), 120, nullptr);
    CNARecordId_RowId row(NewCell({1, 2, 3, 4, 5, 6, 7}));
    const CNARecordId* ids[] = {&values, &row};
    for (const CNARecordId* pId : ids) {
        const unsigned int n = pId->nGetSerializedSize();
        ByteVector out(n, 0xEE);
        pId->Serialize(out.data(), n - 1);
        EXPECT_EQ(out, ByteVector(n, 0xEE)) << "kind " << pId->eGetRecordIdType();
        pId->Serialize(nullptr, n);
    }
    // A record-values form shorter than its size changes nothing.
    ByteVector form = Serialized(values);
    CNARecordId_RecordValues other(nullptr, 0, nullptr);
    other.DeSerialize(form.data(), static_cast<unsigned int>(form.size()) - 1);
    EXPECT_EQ(other.nGetLength(), 0u);
    EXPECT_EQ(other.pbyGetImage(), nullptr);
    // A row-id form whose size word claims more than was given: only the
    // given bytes are read (the vector is cut to them).
    const struct {
        unsigned int nGiven;
        ByteVector expected;
    } cases[] = {
        {15, {1, 2, 3, 4, 5, 6, 7}},
        {11, {1, 2, 3}},
        {8, {}},
    };
    for (const auto& c : cases) {
        ByteVector cut = Serialized(row);
        cut.resize(c.nGiven);
        CNARecordId_RowId target(NewCell({9}));
        target.DeSerialize(cut.data(), c.nGiven);
        EXPECT_EQ(CellBytes(target.pclGetValueNoRef()), c.expected) << c.nGiven << " bytes given";
    }
    CNARecordId_RowId target(NewCell({9}));
    ByteVector tiny(7, 0);
    target.DeSerialize(tiny.data(), 7);
    EXPECT_EQ(CellBytes(target.pclGetValueNoRef()), ByteVector({9}));
}

TEST_F(RecordId, ClonesAndCopiesFollowTheRecordValue)
{
    CValue a({0x80, 1, 2, 3}, CNARecordId::RECORDID_RECORDVALUES, {}, {{7, 7}});
    CValue b({0x80, 4, 5, 6, 7, 8}, 0);
    const CNARecordId* pId = a->pclGetRecordIdNoRef();
    CNARecordId* pClone = pId->pclGetClone(b.get());
    ASSERT_NE(pClone, nullptr);
    const CNARecordId_RecordValues* pValues = static_cast<const CNARecordId_RecordValues*>(pClone);
    EXPECT_EQ(pValues->pbyGetImage(), b->pclGetNAKXRecord()->pbyGetNullValuesFlags());
    EXPECT_EQ(pValues->nGetLength(), 6u);
    EXPECT_EQ(pValues->pclGetMemoNoRef(), nullptr);
    EXPECT_TRUE(pClone->bCopy(a.get(), nullptr));
    EXPECT_EQ(pValues->pbyGetImage(), a->pclGetNAKXRecord()->pbyGetNullValuesFlags());
    EXPECT_EQ(pValues->nGetLength(), 4u);
    EXPECT_EQ(pValues->pclGetMemoNoRef(), a->pclGetTabMemoNoRef());
    EXPECT_TRUE(pClone->bEqualRecordId(pId));
    pClone->m_nRefCount++;
    pClone->dwRelease();

    CValue r({0x80}, CNARecordId::RECORDID_ROWID, {0x11, 0x22});
    const CNARecordId_RowId* pRow = static_cast<const CNARecordId_RowId*>(r->pclGetRecordIdNoRef());
    CNARecordId* pRowClone = pRow->pclGetClone(nullptr);
    ASSERT_NE(pRowClone, nullptr);
    EXPECT_TRUE(pRowClone->bEqualRecordId(pRow));
    EXPECT_NE(static_cast<CNARecordId_RowId*>(pRowClone)->pclGetValueNoRef(), pRow->pclGetValueNoRef());
    EXPECT_EQ(pRowClone->dwGetHashVal(), 0x33u);
    pRowClone->m_nRefCount++;
    pRowClone->dwRelease();
    // Without a cell there is nothing to clone.
    CNARecordId_RowId empty(nullptr);
    EXPECT_EQ(empty.pclGetClone(nullptr), nullptr);
    EXPECT_EQ(empty.nGetSerializedSize(), 8u);
    EXPECT_EQ(empty.dwGetHashVal(), 0u);
}

TEST_F(RecordId, TextForms)
{
    ByteVector image(120, 0);
    CNARecordId_RecordValues values(image.data(), 120, nullptr);
    const struct {
        const wchar_t* pszPrefix;
        std::wstring expected;
    } cases[] = {
        {L"", L"record values (120 bytes)"},
        {nullptr, L"record values (120 bytes)"},
        {L"<Record ID> : ", L"<Record ID> : record values (120 bytes)"},
    };
    for (const auto& c : cases) {
        CXYString<wchar_t> text(L"old", 3);
        values.RecordIdToString(&text, c.pszPrefix, 0);
        EXPECT_EQ(std::wstring(text.pszGet()), c.expected);
    }
    CNAConvertVariant* pCell = NewCell({});
    pCell->InitTypeVariantAny(TQTYPE_DSTRA, 0);
    pCell->bSetValue("K42", 3);
    CNARecordId_RowId row(pCell);
    CXYString<wchar_t> text;
    row.RecordIdToString(&text, nullptr, 0);
    CXYString<wchar_t> direct;
    pCell->GetString(&direct, nullptr, 0);
    EXPECT_EQ(std::wstring(text.pszGet()), std::wstring(direct.pszGet()));
    EXPECT_NE(text.nGetLength(), 0);
    // No text to write, or no cell: nothing happens.
    row.RecordIdToString(nullptr, nullptr, 0);
    CNARecordId_RowId none(nullptr);
    CXYString<wchar_t> untouched(L"old", 3);
    none.RecordIdToString(&untouched, nullptr, 0);
    EXPECT_EQ(std::wstring(untouched.pszGet()), L"old");
}

// A hash table keyed on serialised identities finds each one from a fresh
// serialisation, never one it does not hold.
TEST_F(RecordId, HashTableOfEachKindFindsEveryIdentity)
{
    const int nCount = 300;
    for (int nKind : {1, 3}) {
        std::vector<ByteVector> images, forms;
        images.reserve(nCount);
        for (int i = 0; i < nCount; i++)
            images.push_back(ByteVector{static_cast<unsigned char>(i), static_cast<unsigned char>(i >> 8), 0x5A,
                                        static_cast<unsigned char>(i % 7)});
        CHashTableBounce table(7);
        std::vector<CNARecordId*> ids;
        for (int i = 0; i < nCount; i++) {
            CNARecordId* p = nKind == 1 ? static_cast<CNARecordId*>(new CNARecordId_RecordValues(images[i].data(), 4, nullptr))
                                        : new CNARecordId_RowId(NewCell(images[i]));
            ids.push_back(p);
            forms.push_back(Serialized(*p));
        }
        ids[0]->SetHashTableFct_SerializedObject(&table);
        for (int i = 0; i < nCount; i++)
            ASSERT_TRUE(table.bAddElement(forms[i].data(), reinterpret_cast<void*>(static_cast<intptr_t>(i))));
        for (int i = 0; i < nCount; i++) {
            ByteVector image = images[i];
            CNARecordId_RecordValues probeValues(image.data(), 4, nullptr);
            CNARecordId_RowId probeRow(NewCell(image));
            const ByteVector probe = nKind == 1 ? Serialized(probeValues) : Serialized(probeRow);
            void* pValue = nullptr;
            ASSERT_TRUE(table.bGetElement(probe.data(), &pValue, nullptr)) << "kind " << nKind << " row " << i;
            EXPECT_EQ(reinterpret_cast<intptr_t>(pValue), i) << "kind " << nKind;
        }
        ByteVector absent = {0x01, 0x01, 0x5B, 0x00};
        CNARecordId_RecordValues probeValues(absent.data(), 4, nullptr);
        CNARecordId_RowId probeRow(NewCell(absent));
        const ByteVector probe = nKind == 1 ? Serialized(probeValues) : Serialized(probeRow);
        EXPECT_FALSE(table.bGetElement(probe.data(), nullptr, nullptr)) << "kind " << nKind;
        for (CNARecordId* p : ids) {
            p->m_nRefCount++;
            p->dwRelease();
        }
    }
}

// A cell of each host type a row identity can hold, its value cast from a
// wide text (a binary holds fixed bytes, a duration the number).
CNAConvertVariant* TypedCell(unsigned short nType, const wchar_t* pszText)
{
    CAny v;
    v.__SetType(TQTYPE_DSTRW, 0);
    v.pclGetTraitement()->SetValue(pszText, static_cast<unsigned int>(std::wcslen(pszText) * sizeof(wchar_t)));
    if (nType == TQTYPE_BIN) {
        v.__SetType(TQTYPE_BIN, 0);
        v.pclGetTraitement()->SetValue("K\0\x34\x32\xFF", 5);
    } else if (nType == TQTYPE_DUREE) {
        Set<long long>(v, TQTYPE_DUREE, std::wcstoll(pszText, nullptr, 10));
    } else {
        EXPECT_LE(v.__nCastTo(nType, nullptr, 0), 99) << "type " << nType;
    }
    CNAConvertVariant* p = CNADriver::s_pclDriver->pclAllocVariant(nullptr, nullptr);
    p->InitTypeVariantAny(nType, 0);
    p->bSetValue(&v);
    return p;
}

// Serialised, then taken back into a cell of the same type holding another
// value: an equal identity with the same form, round after round.
TEST_F(RecordId, EveryHostTypeComesBackEqual)
{
    const struct {
        unsigned short nType;
        const wchar_t* pszValue;
        const wchar_t* pszOther;
    } cases[] = {
        {TQTYPE_BOOL, L"1", L"0"},
        {TQTYPE_UI1, L"42", L"7"},
        {TQTYPE_UI2, L"4242", L"7"},
        {TQTYPE_UI4, L"424242", L"7"},
        {TQTYPE_UI8, L"42424242", L"7"},
        {TQTYPE_I1, L"-42", L"7"},
        {TQTYPE_I2, L"-4242", L"7"},
        {TQTYPE_I4, L"-424242", L"7"},
        {TQTYPE_I8, L"-42424242", L"7"},
        {TQTYPE_CY, L"12.5", L"7"},
        {TQTYPE_R4, L"1.5", L"7"},
        {TQTYPE_R8, L"-2.25", L"7"},
        {TQTYPE_DECIMAL, L"123.45", L"7"},
        {TQTYPE_DSTRW, L"K42", L"7"},
        {TQTYPE_DSTRW, L"K\u20AC\U0001D11E", L"seven"},
        {TQTYPE_DSTRW, L"", L"7"},
        {TQTYPE_CARA, L"K", L"7"},
        {TQTYPE_PSTRA, L"K42", L"7"},
        {TQTYPE_DSTRA, L"K42", L"7"},
        {TQTYPE_DSTRA, L"", L"7"},
        {TQTYPE_DATEW, L"20240131", L"19991231"},
        {TQTYPE_TIMEW, L"1234", L"235959"},
        {TQTYPE_DATETIME, L"20240131123456789", L"19991231235959000"},
        {TQTYPE_DUREE, L"1234", L"7"},
        {TQTYPE_BIN, L"", L""},
        {TQTYPE_CARW, L"\u20AC", L"7"},
        {TQTYPE_PSTRW, L"K\u20AC42", L"7"},
        {TQTYPE_DATEA, L"20240131", L"19991231"},
        {TQTYPE_TIMEA, L"1234", L"235959"},
    };
    for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); i++) {
        const auto& c = cases[i];
        SCOPED_TRACE(testing::Message() << "case " << i << ", type " << c.nType);
        CNARecordId_RowId original(TypedCell(c.nType, c.pszValue));
        EXPECT_EQ(original.pclGetValueNoRef()->nGetRef(), 1u);
        const ByteVector form = Serialized(original);
        CNARecordId_RowId back(TypedCell(c.nType, c.pszOther));
        ByteVector again = form;
        for (int nRound = 0; nRound < 3; nRound++) {
            back.DeSerialize(again.data(), static_cast<unsigned int>(again.size()));
            EXPECT_TRUE(back.bEqualRecordId(&original)) << "round " << nRound;
            again = Serialized(back);
            EXPECT_EQ(again, form) << "round " << nRound;
        }
        EXPECT_EQ(back.dwGetHashVal(), original.dwGetHashVal());
        EXPECT_EQ(back.pclGetValueNoRef()->pclGetValue()->nGetTypeCode(), c.nType);
        // A clone reads the same form.
        CNARecordId* pClone = original.pclGetClone(nullptr);
        ASSERT_NE(pClone, nullptr);
        EXPECT_EQ(Serialized(*pClone), form);
        pClone->m_nRefCount++;
        pClone->dwRelease();
    }
}

}  // namespace
