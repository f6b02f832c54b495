// Record values and record memos: copy flags, sharing against copying, memo
// copies and equality over uneven counts, identities that follow their
// value's buffer.
#include "tests/support/FailingHeap.h"
#include "tests/support/RecordValues.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

class RecordValue : public ::testing::Test {
protected:
    CDriverScope m_clDriver;
};

const CNARecordId_RecordValues* ValuesId(const CNARecordValue* p)
{
    return static_cast<const CNARecordId_RecordValues*>(p->pclGetRecordIdNoRef());
}

// A record-values identity points at its own value's buffer and memos.
void ExpectIdentityOn(const CNARecordValue* p, const std::string& sWhere)
{
    const CNARecordId_RecordValues* pId = ValuesId(p);
    ASSERT_NE(pId, nullptr) << sWhere;
    ASSERT_EQ(pId->eGetRecordIdType(), 1) << sWhere;
    ASSERT_NE(p->pclGetNAKXRecord(), nullptr) << sWhere;
    EXPECT_EQ(pId->pbyGetImage(), p->pclGetNAKXRecord()->pbyGetNullValuesFlags()) << sWhere;
    EXPECT_EQ(pId->nGetLength(), p->pclGetNAKXRecord()->nGetBufferSize()) << sWhere;
    EXPECT_EQ(pId->pclGetMemoNoRef(), p->pclGetTabMemoNoRef()) << sWhere;
}

TEST_F(RecordValue, CopyFlagsTakeTheirPartsAndAlwaysTheState)
{
    const struct {
        int nFlags;
        bool bBuffer, bMemo, bId;
    } cases[] = {
        {1, true, false, false}, {2, false, true, false}, {4, false, false, true},
        {-1, true, true, true},  {5, true, false, true},  {0, false, false, false},
    };
    CValue source({0x80, 1, 2, 3}, CNARecordId::RECORDID_ROWID, {0x44}, {{9, 9}}, 128);
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "flags " << c.nFlags);
        CValue target({0x00, 7, 7, 7}, CNARecordId::RECORDID_ROWID, {0x55}, {{1}});
        ASSERT_TRUE(target->bCopyRecordValue(source.get(), c.nFlags));
        EXPECT_EQ(target->nGetState(), 128u);
        EXPECT_EQ(target.Image(), c.bBuffer ? ByteVector({0x80, 1, 2, 3}) : ByteVector({0x00, 7, 7, 7}));
        EXPECT_EQ(target.Memos(), (c.bMemo ? std::vector<ByteVector>{{9, 9}} : std::vector<ByteVector>{{1}}));
        EXPECT_EQ(target->pclGetRecordIdNoRef()->bEqualRecordId(source->pclGetRecordIdNoRef()), c.bId);
        // Copies, never shares.
        EXPECT_NE(target->pclGetNAKXRecord(), source->pclGetNAKXRecord());
        EXPECT_NE(target->pclGetTabMemoNoRef(), source->pclGetTabMemoNoRef());
        EXPECT_NE(target->pclGetRecordIdNoRef(), source->pclGetRecordIdNoRef());

        CNARecordValue* pClone = source->pclGetClone(c.nFlags);
        ASSERT_NE(pClone, nullptr);
        pClone->AddRef();
        EXPECT_EQ(pClone->nGetRef(), 1u);
        EXPECT_EQ(pClone->nGetState(), 128u);
        EXPECT_EQ(pClone->pclGetNAKXRecord() != nullptr, c.bBuffer);
        EXPECT_EQ(pClone->pclGetTabMemoNoRef() != nullptr, c.bMemo);
        EXPECT_EQ(pClone->pclGetRecordIdNoRef() != nullptr, c.bId);
        EXPECT_EQ(pClone->pclGetErrorNoRef(), source->pclGetErrorNoRef());
        pClone->nRelease();
    }
    EXPECT_FALSE(CValue()->bCopyRecordValue(nullptr, -1));
}

// A read failure goes with every copy and clone, shared, whatever the
// flags; a source without one clears the target's; the last holder frees it.
TEST_F(RecordValue, TheReadFailureGoesWithEveryCopy)
{
    {
        CValue source({0x80, 1}, CNARecordId::RECORDID_ROWID, {0x44});
        CValue clean({0x80, 1}, CNARecordId::RECORDID_ROWID, {0x44});
        CCountedFailure* pFailure = new CCountedFailure;
        source->SetReadFailure(pFailure);
        EXPECT_EQ(pFailure->m_nRefCount, 1);
        for (const int nFlags : {0, 1, 2, 4, -1}) {
            SCOPED_TRACE(nFlags);
            CValue target({0x00, 7}, CNARecordId::RECORDID_ROWID, {0x55});
            target->SetReadFailure(new CCountedFailure);
            ASSERT_TRUE(target->bCopyRecordValue(source.get(), nFlags));
            EXPECT_EQ(target->pclGetReadFailureNoRef(), pFailure);
            EXPECT_EQ(CCountedFailure::s_nLive, 1) << "the target's own failure was not given back";
            CNARecordValue* pClone = source->pclGetClone(nFlags);
            ASSERT_NE(pClone, nullptr);
            pClone->AddRef();
            EXPECT_EQ(pClone->pclGetReadFailureNoRef(), pFailure);
            EXPECT_EQ(pFailure->m_nRefCount, 3);
            pClone->nRelease();
            ASSERT_TRUE(target->bCopyRecordValue(clean.get(), nFlags));
            EXPECT_EQ(target->pclGetReadFailureNoRef(), nullptr);
        }
        EXPECT_EQ(pFailure->m_nRefCount, 1);
        source->SetReadFailure(pFailure);
        EXPECT_EQ(pFailure->m_nRefCount, 1);
    }
    EXPECT_EQ(CCountedFailure::s_nLive, 0);
}

// A refused item's own failure (count 0), named by its message.
CCountedFailure* ItemFailure(const wchar_t* pszMessage)
{
    CCountedFailure* p = new CCountedFailure;
    p->SetUserErrorMessage(&gstMyModuleInfo32, 53, pszMessage);
    return p;
}

std::wstring Named(const CNARecordValue* p)
{
    const CXError* pFailure = p->pclGetReadFailureNoRef();
    return pFailure != nullptr && pFailure->pszGetUserMessage() != nullptr ? pFailure->pszGetUserMessage() : L"";
}

// The refused items keep their server texts in the order read, the first
// naming the failure; dropping one names the next, dropping the last
// leaves none; the item failures live as long as a failure lists them.
TEST_F(RecordValue, RefusalsKeepTheServersTextsTheFirstNamingTheFailure)
{
    {
        CValue v({0x80, 1}, CNARecordId::RECORDID_RECORDVALUES);
        EXPECT_EQ(RefusedText(v.get(), L"t"), L"(read)");
        ASSERT_TRUE(v->bAddRefusal(L"t", L"-01:00:00", ItemFailure(L"first")));
        const CXError* pOne = v->pclGetReadFailureNoRef();
        ASSERT_TRUE(v->bAddRefusal(L"t2", L"100:00:00", ItemFailure(L"second")));
        EXPECT_NE(v->pclGetReadFailureNoRef(), pOne) << "a failure shared is never changed";
        // The first item's failure, naming every refused item.
        EXPECT_EQ(Named(v.get()), L"first\r\nsecond");
        EXPECT_EQ(v->pclGetReadFailureNoRef()->nGetUserErrorCode(), 53u);
        EXPECT_EQ(CCountedFailure::s_nLive, 2);
        EXPECT_EQ(RefusedText(v.get(), L"t"), L"-01:00:00");
        EXPECT_EQ(RefusedText(v.get(), L"t2"), L"100:00:00");
        EXPECT_EQ(RefusedText(v.get(), L"name"), L"(read)");
        EXPECT_EQ(std::wstring(v->pstGetRefusal(L"t2")->pclFailure->pszGetUserMessage()), L"second");
        EXPECT_EQ(v->pstGetRefusal(nullptr), nullptr);
        const CNAReadFailure::Refusals* ptab = CNAReadFailure::s_ptabRefusals(v->pclGetReadFailureNoRef());
        ASSERT_NE(ptab, nullptr);
        ASSERT_EQ(ptab->size(), 2u);
        EXPECT_EQ((*ptab)[1].strItem, L"t2");

        // A copy shares the failure; the original keeps it when the copy drops.
        CValue copy({0x00, 0}, 0);
        ASSERT_TRUE(copy->bCopyRecordValue(v.get(), -1));
        const CXError* pBoth = v->pclGetReadFailureNoRef();
        ASSERT_TRUE(copy->bDropRefusal(L"name"));
        EXPECT_EQ(copy->pclGetReadFailureNoRef(), pBoth) << "nothing to drop";
        ASSERT_TRUE(copy->bDropRefusal(L"t"));
        EXPECT_EQ(Named(copy.get()), L"second");
        EXPECT_EQ(RefusedText(copy.get(), L"t"), L"(read)");
        EXPECT_EQ(RefusedText(copy.get(), L"t2"), L"100:00:00");
        EXPECT_EQ(v->pclGetReadFailureNoRef(), pBoth);
        EXPECT_EQ(Named(v.get()), L"first\r\nsecond");
        ASSERT_TRUE(copy->bDropRefusal(L"t2"));
        EXPECT_EQ(copy->pclGetReadFailureNoRef(), nullptr);

        // A failure of another kind holds no refusal: the first one replaces it.
        copy->SetReadFailure(new CCountedFailure);
        EXPECT_EQ(CNAReadFailure::s_ptabRefusals(copy->pclGetReadFailureNoRef()), nullptr);
        ASSERT_TRUE(copy->bDropRefusal(L"t"));
        ASSERT_TRUE(copy->bAddRefusal(L"t", L"", ItemFailure(L"third")));
        EXPECT_EQ(Named(copy.get()), L"third");
        EXPECT_EQ(RefusedText(copy.get(), L"t"), L"");
        EXPECT_EQ(CNAReadFailure::s_pclMake({}), nullptr);
        // A refusal without its failure names nothing: nothing is kept.
        CValue clean({0x80, 1}, 0);
        EXPECT_FALSE(clean->bAddRefusal(L"t", L"-01:00:00", nullptr));
        EXPECT_EQ(clean->pclGetReadFailureNoRef(), nullptr);
    }
    EXPECT_EQ(CCountedFailure::s_nLive, 0);
}

// Records equal in their buffers are equal only with the same items
// refused with the same texts: a refused value is never NULL.
TEST_F(RecordValue, RefusedValuesTellEqualBuffersApart)
{
    const auto Refused = [](const std::vector<std::pair<const wchar_t*, const wchar_t*>>& tab) {
        auto p = std::make_unique<CValue>(ByteVector{0x80, 1}, 0);
        for (const auto& st : tab)
            EXPECT_TRUE((*p)->bAddRefusal(st.first, st.second, ItemFailure(L"x")));
        return p;
    };
    const auto none = Refused({});
    const auto a = Refused({{L"t", L"-01:00:00"}});
    const auto b = Refused({{L"t", L"-01:00:00"}});
    const auto c = Refused({{L"t", L"-02:00:00"}});
    const auto d = Refused({{L"t2", L"-01:00:00"}});
    const auto ab = Refused({{L"t", L"-01:00:00"}, {L"t2", L"100:00:00"}});
    EXPECT_TRUE((*a)->bEquals(b->get(), 1)) << "the same refusals, failures of their own";
    EXPECT_TRUE(CNAReadFailure::s_bSameRefusals((*a)->pclGetReadFailureNoRef(), (*b)->pclGetReadFailureNoRef()));
    for (const auto* p : {&none, &c, &d, &ab}) {
        EXPECT_FALSE((*a)->bEquals((*p)->get(), 0));
        EXPECT_FALSE((**p)->bEquals(a->get(), 1));
    }
    // A failure of another kind counts as none.
    CValue other({0x80, 1}, 0);
    other->SetReadFailure(new CCountedFailure);
    EXPECT_TRUE(other->bEquals(none->get(), 1));
    EXPECT_FALSE(other->bEquals(a->get(), 1));
}

class CCountedError : public CNAError {
public:
    unsigned int nRefs() const { return m_nRefCount; }
};

TEST_F(RecordValue, ErrorObjectGivenOrMadeByTheDriver)
{
    CCountedError* pError = new CCountedError;
    pError->AddRef();
    {
        CNARecordValue v(pError);
        EXPECT_EQ(v.pclGetErrorNoRef(), pError);
        EXPECT_EQ(pError->nRefs(), 2u);
        CNARecordValue w(nullptr);
        ASSERT_NE(w.pclGetErrorNoRef(), nullptr);
        EXPECT_NE(w.pclGetErrorNoRef(), pError);
    }
    EXPECT_EQ(pError->nRefs(), 1u);
    pError->nRelease();
}

TEST_F(RecordValue, ShareAgainstCopy)
{
    CValue a({0x80, 1}, CNARecordId::RECORDID_ROWID, {0x01}, {{5}});
    CValue b({0x80, 2}, 0);
    CNARecordId* pId = a->pclGetRecordIdNoRef();
    CNARecordMemo* pMemo = a->pclGetTabMemoNoRef();
    ASSERT_TRUE(b->bShareRecordID(pId));
    ASSERT_TRUE(b->bShareTabMemoValue(pMemo));
    EXPECT_EQ(b->pclGetRecordIdNoRef(), pId);
    EXPECT_EQ(b->pclGetTabMemoNoRef(), pMemo);
    EXPECT_EQ(pId->m_nRefCount, 2);
    EXPECT_EQ(pMemo->m_nRefCount, 2);
    // An empty memo array is not shared: none is left.
    CNARecordMemo empty;
    empty.m_nRefCount++;
    ASSERT_TRUE(b->bShareTabMemoValue(&empty));
    EXPECT_EQ(b->pclGetTabMemoNoRef(), nullptr);
    EXPECT_EQ(pMemo->m_nRefCount, 1);
    ASSERT_TRUE(b->bShareRecordID(nullptr));
    EXPECT_EQ(pId->m_nRefCount, 1);
    // Copying no identity keeps none and succeeds.
    EXPECT_TRUE(b->bCopyRecordID(nullptr));
    EXPECT_EQ(b->pclGetRecordIdNoRef(), nullptr);

    // Memo cells: shared keeps the cell, copied makes another.
    CNAConvertVariant* pCell = NewCell({3, 3});
    ASSERT_TRUE(b->bShareMemoValue(2, pCell));
    EXPECT_EQ(b->pclGetMemoValueNoRef(2), pCell);
    EXPECT_EQ(b->pclGetMemoValueNoRef(0), nullptr);
    ASSERT_TRUE(b->bCopyMemoValue(4, pCell));
    EXPECT_NE(b->pclGetMemoValueNoRef(4), pCell);
    EXPECT_EQ(CellBytes(b->pclGetMemoValueNoRef(4)), ByteVector({3, 3}));
    CNAConvertVariant* pRef = b->pclGetMemoValue(2);
    EXPECT_EQ(pRef->nGetRef(), 2u);
    pRef->nRelease();
    EXPECT_EQ(b->pclGetMemoValue(9), nullptr);
    // A copy over an entry shared with a column (cell 2 here) gives the
    // entry a cell of its own: the column keeps its value, NULL included.
    pCell->AddRef();
    ASSERT_TRUE(b->bCopyMemoValue(2, a->pclGetMemoValueNoRef(0)));
    EXPECT_NE(b->pclGetMemoValueNoRef(2), pCell);
    EXPECT_EQ(CellBytes(b->pclGetMemoValueNoRef(2)), ByteVector({5}));
    EXPECT_EQ(CellBytes(pCell), ByteVector({3, 3}));
    EXPECT_EQ(b->pclGetMemoValueNoRef(2)->nGetRef(), 1u);
    ASSERT_TRUE(b->bShareMemoValue(2, pCell));
    ASSERT_TRUE(b->bCopyMemoValue(2, nullptr));
    EXPECT_FALSE(pCell->pclGetValue()->bIsNull());
    EXPECT_TRUE(CNAVariant::g_bEqualsNAVariant(b->pclGetMemoValueNoRef(2), nullptr));
    EXPECT_EQ(pCell->nGetRef(), 1u);
    pCell->nRelease();
    // An entry of its own takes the value too.
    ASSERT_TRUE(b->bCopyMemoValue(4, a->pclGetMemoValueNoRef(0)));
    EXPECT_EQ(CellBytes(b->pclGetMemoValueNoRef(4)), ByteVector({5}));
    EXPECT_FALSE(b->bCopyMemoValue(-1, a->pclGetMemoValueNoRef(0)));
}

TEST_F(RecordValue, MemoCopiesOverUnevenCounts)
{
    const struct {
        std::vector<ByteVector> target, source, result;
    } cases[] = {
        {{{1}, {2}}, {}, {}},                 // an empty source removes the memos
        {{}, {{7}}, {{7}}},
        {{{1}, {2}, {3}}, {{7}}, {{7}}},      // entries beyond the source become NULL
        {{{1}}, {{7}, {}, {8}}, {{7}, {}, {8}}},
        {{}, {}, {}},
    };
    for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); i++) {
        CValue target({0x80}, 0, {}, cases[i].target);
        CValue source({0x80}, 0, {}, cases[i].source);
        ASSERT_TRUE(target->bCopyTabMemoValue(source->pclGetTabMemoNoRef())) << "case " << i;
        EXPECT_EQ(target.Memos(), cases[i].result) << "case " << i;
        EXPECT_EQ(target->pclGetTabMemoNoRef() == nullptr, cases[i].source.empty()) << "case " << i;
        EXPECT_TRUE(CNARecordMemo::g_bEqualsNARecordMemo(target->pclGetTabMemoNoRef(), source->pclGetTabMemoNoRef()))
            << "case " << i;
    }
}

TEST_F(RecordValue, MemoEqualityOverUnevenCounts)
{
    const struct {
        std::vector<ByteVector> a, b;
        bool bEqual;
    } cases[] = {
        {{}, {}, true},
        {{{1}}, {{1}, {}}, true},       // beyond the count: a NULL cell
        {{{1}, {}}, {{1}}, true},
        {{{1}}, {{1}, {2}}, false},
        {{{1}, {2}}, {{1}}, false},
        {{{1}}, {{2}}, false},
        {{}, {{2}}, false},
        {{{2}}, {}, false},
    };
    for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); i++) {
        CValue a({0x80, 1}, 0, {}, cases[i].a);
        CValue b({0x80, 1}, 0, {}, cases[i].b);
        EXPECT_EQ(CNARecordMemo::g_bEqualsNARecordMemo(a->pclGetTabMemoNoRef(), b->pclGetTabMemoNoRef()),
                  cases[i].bEqual)
            << "case " << i;
        EXPECT_EQ(a->bEquals(b.get(), 1), cases[i].bEqual) << "case " << i;
        EXPECT_TRUE(a->bEquals(b.get(), 0)) << "case " << i;
    }
    CValue a({0x80, 1}, 0);
    CValue c({0x80, 2}, 0);
    CValue d({0x80, 1, 0}, 0);
    EXPECT_FALSE(a->bEquals(c.get(), 0));
    EXPECT_FALSE(a->bEquals(d.get(), 0));
    EXPECT_FALSE(a->bEquals(nullptr, 0));
    EXPECT_TRUE(CNARecordMemo::g_bEqualsNARecordMemo(a->pclGetTabMemoNoRef(), a->pclGetTabMemoNoRef()));
    // NULL cells are equal, a NULL and a value are not.
    CNARecordMemo m1, m2;
    CNAConvertVariant* pNull = NewCell({1});
    pNull->SetNull();
    ASSERT_TRUE(m1.bShare(0, pNull));
    EXPECT_TRUE(CNARecordMemo::g_bEqualsNARecordMemo(&m1, &m2));
    EXPECT_TRUE(CNARecordMemo::g_bEqualsNARecordMemo(&m1, nullptr));
    EXPECT_TRUE(m1.bHasValue());
    EXPECT_FALSE(m2.bHasValue());
}

TEST_F(RecordValue, IdentitiesFollowEveryNewBufferOrMemoArray)
{
    CValue source({0x80, 1, 2, 3}, CNARecordId::RECORDID_RECORDVALUES, {}, {{4}});
    ExpectIdentityOn(source.get(), "source");
    // A clone gets an identity made for it.
    CNARecordValue* pClone = source->pclGetClone(-1);
    ASSERT_NE(pClone, nullptr);
    pClone->AddRef();
    ExpectIdentityOn(pClone, "clone");
    pClone->nRelease();
    // Identity first, then the buffer: the new buffer re-points it.
    CValue v;
    ASSERT_TRUE(v->bCopyRecordValue(source.get(), CNARecordValue::COPY_RECORDID));
    ASSERT_TRUE(v->bCopyNAKXRecord(source->pclGetNAKXRecord()));
    ExpectIdentityOn(v.get(), "buffer after identity");
    ASSERT_TRUE(v->bCopyMemoValue(0, source->pclGetMemoValueNoRef(0)));
    ExpectIdentityOn(v.get(), "memo array made");
    ASSERT_TRUE(v->bCopyTabMemoValue(nullptr));
    ExpectIdentityOn(v.get(), "memo array dropped");
    ASSERT_TRUE(v->bCopyTabMemoValue(source->pclGetTabMemoNoRef()));
    ExpectIdentityOn(v.get(), "memo array copied");
    ASSERT_TRUE(v->bShareTabMemoValue(source->pclGetTabMemoNoRef()));
    ExpectIdentityOn(v.get(), "memo array shared");
    ASSERT_TRUE(v->bShareTabMemoValue(nullptr));
    ExpectIdentityOn(v.get(), "memo array unshared");
    ASSERT_TRUE(v->bShareMemoValue(1, nullptr));
    ExpectIdentityOn(v.get(), "memo array made by a share");
    // A copy over an identity of the same kind re-points it.
    ASSERT_TRUE(v->bCopyRecordID(source->pclGetRecordIdNoRef()));
    ExpectIdentityOn(v.get(), "identity copied");
    // A row-id identity replaces it.
    CValue r({0x80}, CNARecordId::RECORDID_ROWID, {0x12});
    ASSERT_TRUE(v->bCopyRecordID(r->pclGetRecordIdNoRef()));
    EXPECT_TRUE(v->pclGetRecordIdNoRef()->bEqualRecordId(r->pclGetRecordIdNoRef()));
    EXPECT_NE(v->pclGetRecordIdNoRef(), r->pclGetRecordIdNoRef());
}

TEST_F(RecordValue, ItemAndMemoReadsGiveNullWhenAbsent)
{
    CValue v({0x80, 0x2A, 0, 0, 0}, 0, {}, {{}, {6, 7}});
    CRecordItem defined(NA_IT_I4, 0, 0, 4), undefined(NA_IT_I4, 1, 0, 4);
    CAny value;
    ASSERT_TRUE(v->bGetItemValue(&value, &defined));
    EXPECT_FALSE(value.bIsNull());
    EXPECT_EQ(DataBytes(value), ByteVector({0x2A, 0, 0, 0}));
    ASSERT_TRUE(v->bGetItemValue(&value, &undefined));
    EXPECT_TRUE(value.bIsNull());
    CAny memo;
    ASSERT_TRUE(v->bGetMemoValue(&memo, 1));
    EXPECT_FALSE(memo.bIsNull());
    EXPECT_EQ(DataBytes(memo), ByteVector({6, 7}));
    for (int i : {0, 2, -1}) {
        CAny none;
        ASSERT_TRUE(v->bGetMemoValue(&none, i));
        EXPECT_TRUE(none.bIsNull()) << "memo " << i;
    }
    EXPECT_FALSE(v->bGetItemValue(nullptr, &defined));
    EXPECT_FALSE(v->bGetMemoValue(nullptr, 1));
}

// Without the driver's factory a row-id identity cannot be cloned: the copy
// stops there with a no-memory error.
TEST_F(RecordValue, IdentityCopyFailsWithoutAFactory)
{
    CValue source({0x80, 1}, CNARecordId::RECORDID_ROWID, {0x12});
    CValue target({0x80, 2}, 0);
    CNADriver* pDriver = CNADriver::s_pclDriver;
    CNADriver::s_pclDriver = nullptr;
    EXPECT_FALSE(target->bCopyRecordValue(source.get(), -1));
    EXPECT_EQ(source->pclGetClone(-1), nullptr);
    CNADriver::s_pclDriver = pDriver;
    EXPECT_EQ(target->pclGetRecordIdNoRef(), nullptr);
    EXPECT_EQ(target.Image(), source.Image());
    EXPECT_EQ(target->pclGetErrorNoRef()->pclGetXError()->dwGetSystemErrorCode(), 12u);
}

TEST_F(RecordValue, FailedCopiesReportNoMemory)
{
    CValue source({0x80, 1, 2}, CNARecordId::RECORDID_RECORDVALUES, {}, {{4, 4}});
    nFailEachAllocation([&](int n) {
        CValue v;
        bool bDone;
        {
            CFailingHeap heap(n);
            bDone = v->bCopyRecordValue(source.get(), -1);
        }
        if (bDone) {
            EXPECT_EQ(v.Image(), source.Image());
            EXPECT_EQ(v.Memos(), source.Memos());
            ExpectIdentityOn(v.get(), "copied");
        } else {
            EXPECT_EQ(v->pclGetErrorNoRef()->pclGetXError()->dwGetSystemErrorCode(), 12u);
        }
        return bDone;
    });
}

}  // namespace
