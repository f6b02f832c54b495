#include "tests/support/FailingHeap.h"
#include "tests/support/KXRecords.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

TEST(NAKXRecord, DefinedBitsByPhysicalIndex)
{
    CNAKXRecord rec;
    MakeRecord(rec, 9, 40, 0);
    EXPECT_EQ(rec.nGetFlagFieldSize(), 2u);
    EXPECT_EQ(rec.pbyGetValues(), rec.pbyGetNullValuesFlags() + 2);
    EXPECT_EQ(rec.nGetSerializeSize(), 42u + 12u);
    CRecordItem it0(NA_IT_I4, 0, 0, 4), it3(NA_IT_I4, 3, 4, 4), it9(NA_IT_I4, 9, 8, 4);
    rec.SetItemValueDefined(&it9, 1, 0);
    EXPECT_EQ(rec.pbyGetNullValuesFlags()[0], 0x00);
    EXPECT_EQ(rec.pbyGetNullValuesFlags()[1], 0x40); // byte 1, mask 0x80 >> 1
    rec.SetItemValueDefined(&it0, 1, 0);
    rec.SetItemValueDefined(&it3, 1, 0);
    EXPECT_EQ(rec.pbyGetNullValuesFlags()[0], 0x90);
    EXPECT_EQ(rec.bItemValueDefined(&it9, 0), 1);
    // Physical index -1 is the first bit.
    CRecordItem itNone(NA_IT_I4, -1, 12, 4);
    rec.SetItemValueDefined(&it0, 0, 0);
    EXPECT_EQ(rec.bItemValueDefined(&itNone, 0), 0);
    rec.SetItemValueDefined(&itNone, 1, 0);
    EXPECT_EQ(rec.bItemValueDefined(&it0, 0), 1);
    EXPECT_EQ(rec.pbyGetNullValuesFlags()[0], 0x90);
    // Clearing one bit leaves the others.
    rec.SetItemValueDefined(&it3, 0, 0);
    EXPECT_EQ(rec.pbyGetNullValuesFlags()[0], 0x80);
    EXPECT_EQ(rec.pbyGetNullValuesFlags()[1], 0x40);
    // A physical index past the flag field touches nothing.
    CRecordItem itFar(NA_IT_I4, 16, 16, 4);
    rec.SetItemValueDefined(&itFar, 1, 0);
    EXPECT_EQ(rec.bItemValueDefined(&itFar, 0), 0);
    EXPECT_EQ(rec.pbyGetValues()[0], 0x00);
    CNAKXRecord recEmpty;
    MakeRecord(recEmpty, 0, 8, 0);
    EXPECT_EQ(recEmpty.nGetFlagFieldSize(), 0u);
    EXPECT_EQ(recEmpty.pbyGetValues(), recEmpty.pbyGetNullValuesFlags());
}

TEST(NAKXRecord, NullFormsOfValues)
{
    CNAKXRecord rec;
    MakeRecord(rec, 4, 48, 0xAB);
    unsigned char* pv = rec.pbyGetValues();
    // A plain item: clearing zeroes the element; setting keeps its bytes.
    CRecordItem itArr(NA_IT_I4, 0, 0, 4, 3); // 3 elements of 4 bytes at 0
    rec.SetItemValueDefined(&itArr, 0, 1);
    EXPECT_EQ(std::count(pv, pv + 4, 0xAB), 4);
    EXPECT_EQ(std::count(pv + 4, pv + 8, 0x00), 4);
    EXPECT_EQ(std::count(pv + 8, pv + 12, 0xAB), 4);
    memset(pv + 4, 0x11, 4);
    rec.SetItemValueDefined(&itArr, 1, 1);
    EXPECT_EQ(std::count(pv + 4, pv + 8, 0x11), 4);
    // An index below 0: the whole item.
    rec.SetItemValueDefined(&itArr, 0, static_cast<unsigned int>(-1));
    EXPECT_EQ(std::count(pv, pv + 12, 0x00), 12);
    EXPECT_EQ(pv[12], 0xAB);
    // A binary memo: eight 0xFF bytes when NULL, eight zeros when defined.
    CRecordItem itMemo(NA_IT_MEMOBINAIRE, 1, 16, 8);
    rec.SetItemValueDefined(&itMemo, 0, 0);
    EXPECT_EQ(rec.bItemValueDefined(&itMemo, 0), 0);
    EXPECT_EQ(std::count(pv + 16, pv + 24, 0xFF), 8);
    EXPECT_EQ(pv[24], 0xAB);
    rec.SetItemValueDefined(&itMemo, 1, 0);
    EXPECT_EQ(std::count(pv + 16, pv + 24, 0x00), 8);
    // A wide-text memo: two 0xFFFFFFFF characters narrowed to UTF-16 units.
    CRecordItem itMemoW(NA_IT_MEMOUNICODE, 2, 24, 8);
    rec.SetItemValueDefined(&itMemoW, 0, 0);
    EXPECT_EQ(std::count(pv + 24, pv + 28, 0xFF), 4);
    EXPECT_EQ(std::count(pv + 28, pv + 32, 0x00), 4);
    EXPECT_EQ(pv[32], 0xAB);
    // A text memo: the 8-bit marker as it is.
    CRecordItem itMemoT(NA_IT_MEMOTEXTE, 3, 32, 8);
    rec.SetItemValueDefined(&itMemoT, 0, 0);
    EXPECT_EQ(std::count(pv + 32, pv + 40, 0xFF), 8);
    // An element outside the values area is not written.
    CRecordItem itOut(NA_IT_I4, 0, 46, 4);
    rec.SetItemValueDefined(&itOut, 0, 0);
    EXPECT_EQ(pv[46], 0xAB);
    EXPECT_EQ(pv[47], 0xAB);
    EXPECT_EQ(rec.pbyGetItemValue(&itOut, 0), nullptr);
    EXPECT_EQ(rec.pbyGetItemValue(&itArr, 2), pv + 8);
}

TEST(NAKXRecord, SerialisedFormAndReferenceCount)
{
    CNAKXRecord rec;
    MakeRecord(rec, 3, 6, 0);
    CRecordItem it2(NA_IT_I2, 2, 2, 2);
    rec.SetItemValueDefined(&it2, 1, 0);
    rec.pbyGetValues()[2] = 0x34;
    rec.pbyGetValues()[3] = 0x12;
    std::vector<unsigned char> v(rec.nGetSerializeSize());
    rec.Serialize(v.data(), static_cast<unsigned int>(v.size()));
    unsigned int an[3];
    memcpy(an, v.data(), sizeof(an));
    EXPECT_EQ(an[0], 7u);
    EXPECT_EQ(an[1], 3u);
    EXPECT_EQ(an[2], 1u);
    EXPECT_EQ(v[12], 0x20);
    EXPECT_EQ(rec.nGetSerializeValuesOffset(), 13u);
    EXPECT_EQ(v[13 + 2], 0x34);
    CNAKXRecord copie;
    copie.Deserialize(v.data(), static_cast<unsigned int>(v.size()));
    EXPECT_EQ(copie.nGetNumItem(), 3u);
    EXPECT_EQ(memcmp(copie.pbyGetNullValuesFlags(), rec.pbyGetNullValuesFlags(), 7), 0);
    // An inconsistent form (flag field larger than the buffer) is refused.
    an[0] = 1;
    an[2] = 2;
    memcpy(v.data(), an, sizeof(an));
    copie.Deserialize(v.data(), static_cast<unsigned int>(v.size()));
    EXPECT_EQ(copie.nGetBufferSize(), 7u);
    EXPECT_EQ(copie.nGetFlagFieldSize(), 1u);
    // Input shorter than its header or than the buffer it announces, and an
    // output shorter than the form, are left alone.
    an[0] = 7;
    an[2] = 1;
    memcpy(v.data(), an, sizeof(an));
    CNAKXRecord empty;
    empty.Deserialize(v.data(), 0);
    EXPECT_EQ(empty.nGetBufferSize(), 0u);
    empty.Deserialize(v.data(), 11);
    EXPECT_EQ(empty.nGetBufferSize(), 0u);
    empty.Deserialize(v.data(), static_cast<unsigned int>(v.size()) - 1);
    EXPECT_EQ(empty.nGetBufferSize(), 0u);
    std::vector<unsigned char> shortOut(v.size(), 0xEE);
    rec.Serialize(shortOut.data(), static_cast<unsigned int>(shortOut.size()) - 1);
    EXPECT_EQ(shortOut[0], 0xEE);
    CNAKXRecord* p = new CNAKXRecord();
    EXPECT_EQ(p->nRelease(), 0u); // at 0 nothing happens
    p->AddRef();
    EXPECT_EQ(p->nRelease(), 0u); // deleted (the sanitizer run checks it)
}

TEST(NAKXRecord, RefusedAllocationsKeepTheRecord)
{
    CNAKXRecord rec;
    MakeRecord(rec, 3, 6, 0x11);
    std::vector<unsigned char> big(12 + 1 + 40, 0x22);
    const unsigned int an[3] = {41, 3, 1};
    std::memcpy(big.data(), an, sizeof(an));
    {
        CFailingHeap heap(0);
        rec.Deserialize(big.data(), static_cast<unsigned int>(big.size()));
        EXPECT_EQ(rec.pclGetClone(), nullptr);
    }
    EXPECT_EQ(rec.nGetBufferSize(), 7u);
    EXPECT_EQ(rec.pbyGetValues()[5], 0x11);
    rec.Deserialize(big.data(), static_cast<unsigned int>(big.size()));
    EXPECT_EQ(rec.nGetBufferSize(), 41u);
    EXPECT_EQ(rec.pbyGetValues()[39], 0x22);
}

} // namespace
