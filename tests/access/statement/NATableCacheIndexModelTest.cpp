// Where an index puts a browse back on its record, against the index's own
// order: every record found again among equal keys and memos (never a
// neighbour of the same value), and a record deleted or moved under the
// browse leaving the position at its former place, so that the next read
// finds the entry after it and the previous one the entry before. Each run
// prints its replay number; ZT_TABLECACHE_REPLAY=<number> replays one.
#include "tests/access/statement/TableCacheRows.h"

#include "access/statement/NAStatement.h"

#include <iostream>

namespace {

// The browse an index serves: the row it stands on is the one it read.
class CBrowseAtRow : public CNAStatement {
public:
    using CNAStatement::CNAStatement;
    void At(long long llRow) { m_llCurrentRecord = llRow; }
};

struct SBrowse {
    CBrowseAtRow* pStatement;
    IndexPtr pIndex;
};

// An index of column k for a browse of its own.
SBrowse NewBrowse(CTableCacheRows& t, int k)
{
    CBrowseAtRow* s = new CBrowseAtRow(t.m_pAccess, t.m_pError);
    s->AddRef();
    CNATableCacheIndex* p = new (std::nothrow) CNATableCacheIndex(t.m_pError, s, t.m_pCache, t.Column(k));
    EXPECT_NE(p, nullptr);
    p->m_nRefCount++;
    EXPECT_EQ(p->bInit(), 1) << "column " << k;
    return {s, IndexPtr(p, [](CNATableCacheIndex* q) { EXPECT_EQ(q->dwRelease(), 0u); })};
}

std::vector<int> AliveRows(const CTableCacheRows& t)
{
    std::vector<int> v;
    for (int r = 0; r < t.m_pCache->nGetCount(); r++)
        if (t.m_pCache->eGetRecordState(r) == 0)
            v.push_back(r);
    return v;
}

std::string Name(int k)
{
    const wchar_t* p = Kind(k).pszName;
    return std::string(p, p + std::wcslen(p));
}

TEST(TableCacheIndexModel, EveryRecordIsFoundAgainItself)
{
    for (unsigned int nReplay : ReplayNumbers(2)) {
        std::cout << "replay number " << nReplay << " (replay with ZT_TABLECACHE_REPLAY=" << nReplay << ")\n";
        SCOPED_TRACE("replay number " + std::to_string(nReplay));
        CTableCacheRows t;
        std::mt19937 rng(nReplay);
        for (int i = 0; i < 150; i++)
            t.AddRandomRow(rng);
        for (int k = 0; k < C_COUNT; k++) {
            SCOPED_TRACE("column " + Name(k));
            SBrowse b = NewBrowse(t, k);
            const std::vector<int> order = Walk(b.pIndex.get(), true);
            for (int r : AliveRows(t)) {
                t.LoadRow(r);
                int bFound = -1;
                ASSERT_EQ(b.pIndex->bSetCurrentPos(-1, 0, &bFound), 1) << "row " << r;
                EXPECT_EQ(bFound, 1) << "row " << r;
                // The record itself, or the first record identical to it.
                const int nAt = b.pIndex->nGetCurrentRecordId();
                ASSERT_GE(nAt, 0) << "row " << r;
                EXPECT_EQ(t.m_pCache->bEquals(nAt, r, 1), 1) << "row " << r << " found " << nAt;
                const auto it = std::find(order.begin(), order.end(), nAt);
                ASSERT_NE(it, order.end());
                EXPECT_EQ(b.pIndex->nGetPreviousRecordNbr(), it - order.begin()) << "row " << r;
            }
            b.pIndex.reset();
            b.pStatement->nRelease();
        }
        if (HasFailure())
            break;
    }
}

// Rows deleted or given another value while a browse stands on them.
TEST(TableCacheIndexModel, AGoneRecordLeavesTheBrowseAtItsPlace)
{
    for (unsigned int nReplay : ReplayNumbers(2)) {
        std::cout << "replay number " << nReplay << " (replay with ZT_TABLECACHE_REPLAY=" << nReplay << ")\n";
        SCOPED_TRACE("replay number " + std::to_string(nReplay));
        std::mt19937 rng(nReplay);
        for (int k = 0; k < C_COUNT; k++) {
            SCOPED_TRACE("column " + Name(k));
            CTableCacheRows t;
            for (int i = 0; i < 90; i++)
                t.AddRandomRow(rng);
            SBrowse b = NewBrowse(t, k);
            CNATableCacheIndex* p = b.pIndex.get();
            int nMoved = 0;
            for (int nWrite = 0; nWrite < 40; nWrite++) {
                const std::vector<int> order = Walk(p, true);
                if (order.size() < 2)
                    break;
                // The browse reads row r.
                const size_t nAt = rng() % order.size();
                const int r = order[nAt];
                const bool bDelete = rng() % 2 == 0;
                SCOPED_TRACE(testing::Message() << "write " << nWrite << (bDelete ? " deletes" : " moves") << " row "
                                                << r << " at " << nAt);
                int nRow = -1;
                p->SetStartValue(nullptr);
                ASSERT_EQ(p->bGetRecordPosition(NA_PARSE_FIRST, static_cast<int>(nAt) + 1, &nRow, nullptr), 1);
                ASSERT_EQ(nRow, r);
                b.pStatement->At(r);
                t.LoadRow(r);
                const std::string strOld = t.KeyOfRow(k, r);
                if (bDelete) {
                    t.m_pCache->SetRecordState(r, NA_RECORDSTATE_DELETED);
                    ASSERT_EQ(p->OnNotifyOperation(CNARecordCache::NA_NOTIFY_DELETE, r, 0), 1);
                } else {
                    // Another value of the column (NULL among them).
                    for (int nTry = 0; nTry < 50 && t.KeyOfRow(k, r) == strOld; nTry++) {
                        t.SetValue(k, t.Pick(rng, k));
                        ASSERT_EQ(t.m_pCache->Update(static_cast<unsigned int>(r), t.Current()), 1);
                    }
                    if (t.KeyOfRow(k, r) == strOld)
                        continue;
                    nMoved++;
                    ASSERT_EQ(p->OnNotifyOperation(CNARecordCache::NA_NOTIFY_UPDATE, r, 0), 1);
                }
                // The order without the row; a moved row's new place in it:
                // after the memos at or below its own, among equal keys by
                // its row's bytes.
                std::vector<int> left = order;
                left.erase(left.begin() + static_cast<long>(nAt));
                if (!bDelete) {
                    const bool bMemo = t.Column(k)->bIsMemo() != 0;
                    const std::string strNew = t.KeyOfRow(k, r) + (bMemo ? "" : RowBytes(r));
                    size_t j = 0;
                    for (int q : left) {
                        const std::string strKey = t.KeyOfRow(k, q) + (bMemo ? "" : RowBytes(q));
                        j += bMemo ? strKey <= strNew : strKey < strNew;
                    }
                    // Back where it was: either of its neighbours may come next.
                    if (j == nAt)
                        continue;
                }
                int bFound = -1;
                ASSERT_EQ(p->bSetCurrentPos(-1, 0, &bFound), 1);
                // Another record identical to the old one stands for it.
                bool bTwin = false;
                for (int q : left)
                    bTwin = bTwin || t.m_pCache->bEquals(q, t.Original(), 1);
                if (bTwin)
                    continue;
                EXPECT_EQ(bFound, 0);
                // Asked again, the same place.
                ASSERT_EQ(p->bSetCurrentPos(-1, 0, &bFound), 1);
                EXPECT_EQ(bFound, 0);
                if (bDelete) {
                    EXPECT_EQ(p->nGetPreviousRecordNbr(), static_cast<int>(nAt));
                }
                ASSERT_EQ(p->bGetRecordPosition(NA_PARSE_NEXT, 0, &nRow, nullptr), 1);
                EXPECT_EQ(nRow, nAt < left.size() ? left[nAt] : -1);
                ASSERT_EQ(p->bGetRecordPosition(NA_PARSE_PREVIOUS, 1, &nRow, nullptr), 1);
                EXPECT_EQ(nRow, nAt > 0 ? left[nAt - 1] : -1);
                if (HasFailure())
                    break;
            }
            if (!t.Column(k)->bIsMemo()) {
                EXPECT_TRUE(CMemBTreeChecker(*Tree(p)).Check());
            }
            EXPECT_GT(nMoved, 0);
            b.pIndex.reset();
            b.pStatement->nRelease();
            if (HasFailure())
                break;
        }
        if (HasFailure())
            break;
    }
}

// A row the index never held (deleted before it was built) goes without
// changing anything; the browse stays where it stands.
TEST(TableCacheIndexModel, ARowNeverIndexedLeavesTheIndexAsItIs)
{
    CTableCacheRows t;
    for (int i = 0; i < 6; i++) {
        t.SetValue(C_I4, i % 3 + 1);
        t.SetValue(C_MEMO, i % 3 + 1);
        t.AddCurrent(i == 2 || i == 5 ? static_cast<unsigned int>(NA_RECORDSTATE_DELETED) : 0u);
    }
    for (int k : {C_I4, C_MEMO}) {
        SCOPED_TRACE("column " + Name(k));
        IndexPtr p = t.NewIndex(k);
        const std::vector<int> order = Walk(p.get(), true);
        ASSERT_EQ(order.size(), 4u);
        int nRow = -1;
        ASSERT_EQ(p->bGetRecordPosition(NA_PARSE_FIRST, 2, &nRow, nullptr), 1);
        for (int r : {5, 2}) {
            t.LoadRow(r);
            EXPECT_EQ(p->OnNotifyOperation(CNARecordCache::NA_NOTIFY_DELETE, r, 0), 1);
            EXPECT_EQ(p->nGetRecordNbr(), 4);
            EXPECT_EQ(p->nGetCurrentRecordId(), order[1]);
        }
        EXPECT_EQ(Walk(p.get(), true), order);
    }
}

// Texts as long as the column allows (40 characters, 82 key bytes) keep
// every character in their keys, though the host's wide characters are of
// 4 bytes: texts alike in their first twenty or thirty-nine characters are
// ordered by the rest.
TEST(TableCacheIndexModel, LongTextsAreOrderedByEveryCharacter)
{
    CTableCacheRows t;
    ASSERT_EQ(t.Column(C_TEXT)->nGetLogicalSize(), 40);
    const std::wstring strSame(20, L'a');
    const std::vector<std::wstring> texts = {strSame + L"B",       strSame + L"A", std::wstring(39, L'a') + L"c",
                                             std::wstring(40, L'a'), strSame + L"A" + std::wstring(19, L'z'),
                                             std::wstring(39, L'a') + L"b", strSame};
    for (const std::wstring& str : texts) {
        CAny v;
        SetW(v, str.c_str());
        ASSERT_EQ(t.Column(C_TEXT)->bSetValue(&v, 0), 1);
        t.AddCurrent();
    }
    std::vector<int> expected(texts.size());
    for (size_t i = 0; i < texts.size(); i++)
        expected[i] = static_cast<int>(i);
    std::sort(expected.begin(), expected.end(), [&](int a, int b) { return texts[a] < texts[b]; });
    IndexPtr p = t.NewIndex(C_TEXT);
    EXPECT_EQ(Walk(p.get(), true), expected);
    // Each text found from itself as a start value.
    for (size_t i = 0; i < texts.size(); i++) {
        CAny v;
        SetW(v, texts[i].c_str());
        p->SetStartValue(&v);
        int nRow = -1;
        ASSERT_EQ(p->bGetRecordPosition(NA_PARSE_FIRST, 1, &nRow, nullptr), 1);
        EXPECT_EQ(nRow, static_cast<int>(i)) << i;
        p->SetStartValue(nullptr);
    }
}

// Without a value a fixed-size entry's key comes from its row in the
// record cache, the first row included.
TEST(TableCacheIndexModel, AFixedSizeEntryWithoutValueTakesItsRowsValue)
{
    CTableCacheRows t;
    for (int i : {3, 1, 2}) {
        t.SetValue(C_I4, i);
        t.AddCurrent();
    }
    IndexPtr p = t.NewIndex(C_I4);
    CIndexItem* pItem = p->pclGetIndexItemNoRef();
    for (int r : {0, 2}) {
        SCOPED_TRACE(r);
        EXPECT_EQ(pItem->bDeleteRecord(r, nullptr), 1);
        EXPECT_EQ(p->nGetRecordNbr(), 2);
        EXPECT_EQ(pItem->bInsertRecord(r, nullptr), 1);
        EXPECT_EQ(Walk(p.get(), true), (std::vector<int>{1, 2, 0}));
        // The pair is there already.
        EXPECT_EQ(pItem->bInsertRecord(r, nullptr), 0);
    }
    EXPECT_EQ(pItem->bInsertRecord(-1, nullptr), 0);
    EXPECT_EQ(pItem->bDeleteRecord(-1, nullptr), 0);
    EXPECT_EQ(p->nGetRecordNbr(), 3);
}

} // namespace
