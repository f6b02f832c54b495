// Column indexes over full caches made in memory: an index of each kind of
// column walked both ways against a model of the same key bytes, position
// reads in four directions from random start values, the ranks and
// positions of identical records, the memo index's order and the edge
// cases of an index.
#include "tests/access/statement/TableCacheRows.h"
#include "common/platform/MyModuleInfo.h"
#include "tests/support/SlotOrder.h"

#include <iostream>
#include <iterator>

namespace {

const eNA_PARSEDIRECTION kOther = static_cast<eNA_PARSEDIRECTION>(7);

std::string Name(int k)
{
    const wchar_t* p = Kind(k).pszName;
    return std::string(p, p + std::wcslen(p));
}

TEST(TableCacheIndex, SlotsKeepTheirOrder)
{
    CheckOrder("CIndexItem", {S(CIndexItem, bInit), S(CIndexItem, bInsertRecord), S(CIndexItem, bDeleteRecord),
                              S(CIndexItem, bGetRecordPosition), S(CIndexItem, nGetCurrentRecordId),
                              S(CIndexItem, nGetRecordNbr), S(CIndexItem, nGetPreviousRecordNbr),
                              S(CIndexItem, bSetCurrentPos)},
               2);
    CheckOrder("CNATableCacheIndex", {S(CNATableCacheIndex, dwRelease)}, 2);
}

TEST(TableCacheIndex, EveryColumnWalksBothWaysAsItsModel)
{
    for (unsigned int nReplay : ReplayNumbers(2)) {
        std::cout << "replay number " << nReplay << " (replay with ZT_TABLECACHE_REPLAY=" << nReplay << ")\n";
        SCOPED_TRACE("replay number " + std::to_string(nReplay));
        CTableCacheRows t;
        std::mt19937 rng(nReplay);
        for (int i = 0; i < 300; i++)
            t.AddRandomRow(rng);
        ASSERT_GT(t.m_pCache->nGetDeletedCount(), 0);
        for (int k = 0; k < C_COUNT; k++) {
            SCOPED_TRACE("column " + Name(k));
            IndexPtr p = t.NewIndex(k);
            const bool bMemo = t.Column(k)->bIsMemo() != 0;
            EXPECT_EQ(dynamic_cast<CIndexMemo*>(p->pclGetIndexItemNoRef()) != nullptr, bMemo);
            const std::vector<int> expected = bMemo ? BuildMemoModel(t, k) : Rows(BuildFixedModel(t, k));
            EXPECT_EQ(p->nGetRecordNbr(), static_cast<int>(expected.size()));
            const std::vector<int> forward = Walk(p.get(), true);
            EXPECT_EQ(forward, expected);
            EXPECT_EQ(Walk(p.get(), false), std::vector<int>(expected.rbegin(), expected.rend()));
            if (!bMemo) {
                CMemBTreeChecker checker(*Tree(p.get()));
                EXPECT_TRUE(checker.Check());
            }
            // The key bytes sort numbers, dates and times as their values.
            int nLast = -1;
            for (int r : forward) {
                const int nPick = t.m_picks[static_cast<size_t>(r)][static_cast<size_t>(k)];
                if (!Kind(k).bNatural || nPick < 0)
                    continue;
                EXPECT_LE(nLast, nPick) << "row " << r;
                nLast = nPick;
            }
        }
        if (HasFailure())
            break;
    }
}

// Position reads of a fixed-size index against the model's iterators.
void CheckFixedReads(CTableCacheRows& t, int k, std::mt19937& rng)
{
    IndexPtr p = t.NewIndex(k);
    const FixedModel m = BuildFixedModel(t, k);
    const long n = static_cast<long>(m.size());
    const size_t nKey = dynamic_cast<CIndexFixedSizeItem*>(p->pclGetIndexItemNoRef())->nGetKeySize();
    long nPos = n; // the end, where a new tree stands
    CAny clStart;
    CAny clNone;
    for (int nOp = 0; nOp < 400; nOp++) {
        const eNA_PARSEDIRECTION e = rng() % 9 == 0 ? kOther : static_cast<eNA_PARSEDIRECTION>(rng() % 4);
        const bool bEnds = e == NA_PARSE_FIRST || e == NA_PARSE_LAST;
        int nCount = bEnds ? static_cast<int>(rng() % 4) : 1 + static_cast<int>(rng() % 3);
        if (rng() % 10 == 0)
            nCount = static_cast<int>(n / 2 + 1);
        const int nPick = bEnds && rng() % 3 != 0 ? static_cast<int>(rng() % static_cast<unsigned>(ValueCount(k))) : -1;
        if (nPick >= 0)
            MakeValue(k, nPick, clStart);
        p->SetStartValue(nPick >= 0 ? &clStart : (rng() % 2 ? &clNone : nullptr));
        SCOPED_TRACE(testing::Message() << "read " << nOp << ": direction " << e << " count " << nCount << " start "
                                        << nPick);

        long nBase = nPos;
        bool bReach = n > 0;
        if (bReach && e == NA_PARSE_FIRST) {
            nBase = 0;
            if (nPick >= 0) {
                const auto it = m.lower_bound(t.KeyOfPick(k, nPick) + std::string(4, '\0'));
                bReach = it != m.end();
                nBase = bReach ? std::distance(m.begin(), it) : nPos;
            }
        } else if (bReach && e == NA_PARSE_LAST) {
            nBase = n - 1;
            if (nPick >= 0) {
                const auto it = m.upper_bound(t.KeyOfPick(k, nPick) + std::string(4, '\xFF'));
                bReach = it != m.begin();
                nBase = bReach ? std::distance(m.begin(), it) - 1 : nPos;
            }
        }
        long nSteps = 0;
        if (e == NA_PARSE_FIRST)
            nSteps = nCount - 1;
        else if (e == NA_PARSE_LAST)
            nSteps = 1 - nCount;
        else if (e == NA_PARSE_NEXT)
            nSteps = nCount;
        else if (e == NA_PARSE_PREVIOUS)
            nSteps = -nCount;
        const long nTarget = nBase + nSteps;
        // A move forward needs a record to start from; none may end at or
        // beyond the end.
        const bool bMove = bReach && nTarget >= 0 && nTarget < n && (nSteps < 0 || nBase < n);
        nPos = bMove ? nTarget : nBase;
        const auto itPos = std::next(m.begin(), nPos);
        const int nExpected = bMove ? itPos->second : -1;

        unsigned int nDuplicate = 99;
        const bool bDuplicate = rng() % 2 == 0;
        int nRow = -5;
        ASSERT_EQ(p->bGetRecordPosition(e, nCount, &nRow, bDuplicate ? &nDuplicate : nullptr), 1);
        ASSERT_EQ(nRow, nExpected);
        ASSERT_EQ(p->nGetCurrentRecordId(), nPos < n ? itPos->second : -1);
        ASSERT_EQ(p->nGetPreviousRecordNbr(), nPos);
        if (bDuplicate) {
            // Identical records just before it on the same key.
            unsigned int nSame = 0;
            for (auto it = itPos; bMove && it != m.begin();) {
                --it;
                if (it->first.compare(0, nKey, itPos->first, 0, nKey) != 0 ||
                    !t.m_pCache->bEquals(it->second, itPos->second, 1))
                    break;
                nSame++;
            }
            ASSERT_EQ(nDuplicate, nSame);
        }
    }
}

// Position reads of a memo index against the model's positions.
void CheckMemoReads(CTableCacheRows& t, int k, std::mt19937& rng)
{
    IndexPtr p = t.NewIndex(k);
    const std::vector<int> v = BuildMemoModel(t, k);
    const int n = static_cast<int>(v.size());
    std::vector<std::string> keys;
    for (int r : v)
        keys.push_back(t.KeyOfRow(k, r));
    int nPos = -1;
    CAny clStart;
    for (int nOp = 0; nOp < 400; nOp++) {
        const eNA_PARSEDIRECTION e = rng() % 9 == 0 ? kOther : static_cast<eNA_PARSEDIRECTION>(rng() % 4);
        const bool bEnds = e == NA_PARSE_FIRST || e == NA_PARSE_LAST;
        int nCount = bEnds ? static_cast<int>(rng() % 4) : 1 + static_cast<int>(rng() % 3);
        const int nPick = bEnds && rng() % 3 != 0 ? static_cast<int>(rng() % static_cast<unsigned>(ValueCount(k))) : -1;
        if (nPick >= 0)
            MakeValue(k, nPick, clStart);
        p->SetStartValue(nPick >= 0 ? &clStart : nullptr);
        SCOPED_TRACE(testing::Message() << "read " << nOp << ": direction " << e << " count " << nCount << " start "
                                        << nPick);
        int nTarget = -1;
        bool bReach = n > 0;
        const std::string sKey = nPick >= 0 ? t.KeyOfPick(k, nPick) : std::string();
        if (e == NA_PARSE_FIRST) {
            const int r = nPick < 0 ? 0 : static_cast<int>(std::lower_bound(keys.begin(), keys.end(), sKey) - keys.begin());
            bReach = bReach && r < n;
            nTarget = r + nCount - 1;
        } else if (e == NA_PARSE_LAST) {
            const int r = nPick < 0 ? n - 1
                                    : static_cast<int>(std::upper_bound(keys.begin(), keys.end(), sKey) - keys.begin()) - 1;
            bReach = bReach && r >= 0;
            nTarget = r - (nCount - 1);
        } else if (e == NA_PARSE_NEXT) {
            nTarget = nPos + nCount;
        } else if (e == NA_PARSE_PREVIOUS) {
            nTarget = nPos - nCount;
        } else {
            nTarget = nPos;
        }
        const bool bMove = bReach && nTarget >= 0 && nTarget < n;
        if (bMove)
            nPos = nTarget;
        unsigned int nDuplicate = 99;
        int nRow = -5;
        ASSERT_EQ(p->bGetRecordPosition(e, nCount, &nRow, &nDuplicate), 1);
        ASSERT_EQ(nRow, bMove ? v[static_cast<size_t>(nPos)] : -1);
        ASSERT_EQ(nDuplicate, 0u);
        ASSERT_EQ(p->nGetCurrentRecordId(), nPos >= 0 ? v[static_cast<size_t>(nPos)] : -1);
        ASSERT_EQ(p->nGetPreviousRecordNbr(), nPos > 0 ? nPos : 0);
    }
}

TEST(TableCacheIndex, PositionReadsFromRandomStartValuesFollowTheModel)
{
    for (unsigned int nReplay : ReplayNumbers(1)) {
        std::cout << "replay number " << nReplay << " (replay with ZT_TABLECACHE_REPLAY=" << nReplay << ")\n";
        SCOPED_TRACE("replay number " + std::to_string(nReplay));
        CTableCacheRows t;
        std::mt19937 rng(nReplay);
        for (int i = 0; i < 160; i++)
            t.AddRandomRow(rng);
        for (int k = 0; k < C_COUNT; k++) {
            SCOPED_TRACE("column " + Name(k));
            if (t.Column(k)->bIsMemo())
                CheckMemoReads(t, k, rng);
            else
                CheckFixedReads(t, k, rng);
        }
    }
}

// Rows 0 to 6 of a column I4: 7; then five rows of key 0, of which 2, 3
// and 4 are identical records; then 256.
class IdenticalRecords : public ::testing::Test {
protected:
    void SetUp() override
    {
        const int picks[][2] = {{7, 1}, {5, 1}, {5, 2}, {5, 2}, {5, 2}, {5, 3}, {9, 1}};
        for (const auto& a : picks) {
            t.SetValue(C_I4, a[0]);
            t.SetValue(C_UI4, a[1]);
            t.SetValue(C_MEMO, a[1] + 2);
            t.AddCurrent();
        }
        p = t.NewIndex(C_I4);
    }

    CTableCacheRows t;
    IndexPtr p{nullptr, [](CNATableCacheIndex*) {}};
};

TEST_F(IdenticalRecords, SetCurrentPosFindsTheRecordAmongIdenticalOnes)
{
    const struct {
        const char* pszCase;
        int nLoad;       // the row read as the original record
        int nI4, nUI4;   // then values changed (-2 none)
        int nPos, nDuplicate;
        int bFound, nRow; // nRow -2: not checked
    } cases[] = {
        {"first identical record", 2, -2, -2, -1, 0, 1, 2},
        {"second identical record", 3, -2, -2, -1, 1, 1, 3},
        {"third identical record", 4, -2, -2, -1, 2, 1, 4},
        {"beyond the identical records", 2, -2, -2, -1, 3, 0, 2},
        {"the first entry of the key", 1, -2, -2, -1, 0, 1, 1},
        {"after entries that differ", 5, -2, -2, -1, 0, 1, 5},
        {"a key's single entry", 0, -2, -2, -1, 0, 1, 0},
        {"no entry of the key holds it", 2, -2, 7, -1, 0, 0, 1},
        {"a key absent: the next key", 0, 6, -2, -1, 0, 0, 0},
        {"beyond every key: the end", 0, 11, -2, -1, 0, 0, -1},
        {"the exact pair", 2, -2, -2, 4, 0, 1, 4},
        {"a pair absent", 2, -2, -2, 6, 0, 0, -2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pszCase);
        t.LoadRow(c.nLoad);
        if (c.nI4 != -2)
            t.SetValue(C_I4, c.nI4);
        if (c.nUI4 != -2)
            t.SetValue(C_UI4, c.nUI4);
        ASSERT_TRUE(t.m_pRecord->bCopyCurrentRecordToOriginalRecord());
        int nRow;
        p->SetStartValue(nullptr);
        p->bGetRecordPosition(NA_PARSE_LAST, 1, &nRow, nullptr); // somewhere else first
        int bFound = -1;
        EXPECT_EQ(p->bSetCurrentPos(c.nPos, c.nDuplicate, &bFound), 1);
        EXPECT_EQ(bFound, c.bFound);
        if (c.nRow != -2) {
            EXPECT_EQ(p->nGetCurrentRecordId(), c.nRow);
        }
    }
}

TEST_F(IdenticalRecords, ReadsCountTheIdenticalRecordsBefore)
{
    // Key 0 holds rows 1 to 5 in row order, then come rows 0 and 6.
    const struct {
        eNA_PARSEDIRECTION e;
        int nCount;
        int nRow;
        unsigned int nDuplicate;
    } reads[] = {
        {NA_PARSE_FIRST, 1, 1, 0}, {NA_PARSE_NEXT, 1, 2, 0}, {NA_PARSE_NEXT, 1, 3, 1}, {NA_PARSE_NEXT, 1, 4, 2},
        {NA_PARSE_NEXT, 1, 5, 0},  {NA_PARSE_PREVIOUS, 2, 3, 1}, {kOther, 1, 3, 1},   {NA_PARSE_LAST, 2, 0, 0},
        {NA_PARSE_LAST, 1, 6, 0},
    };
    int nStep = 0;
    for (const auto& r : reads) {
        SCOPED_TRACE(testing::Message() << "read " << nStep++);
        int nRow;
        unsigned int nDuplicate = 99;
        EXPECT_EQ(p->bGetRecordPosition(r.e, r.nCount, &nRow, &nDuplicate), 1);
        EXPECT_EQ(nRow, r.nRow);
        EXPECT_EQ(nDuplicate, r.nDuplicate);
        // The count comes back to where it started.
        EXPECT_EQ(p->nGetCurrentRecordId(), r.nRow);
    }
}

// Memo rows, in the order they are added (-1 NULL).
class MemoOrder : public ::testing::Test {
protected:
    int Add(int nPick)
    {
        t.SetValue(C_MEMO, nPick);
        return t.AddCurrent();
    }
    std::vector<int> Order() const
    {
        std::vector<int> v;
        auto* pItem = static_cast<CIndexMemo*>(p->pclGetIndexItemNoRef());
        for (int i = 0; i < pItem->nGetRecordNbr(); i++)
            v.push_back(pItem->nGetRowAt(i));
        return v;
    }
    int EmptyEnd() const { return static_cast<CIndexMemo*>(p->pclGetIndexItemNoRef())->nGetEmptyEnd(); }
    void Notify(int nType, int nRow) { EXPECT_EQ(p->OnNotifyOperation(nType, nRow, 0), 1); }

    CTableCacheRows t;
    IndexPtr p{nullptr, [](CNATableCacheIndex*) {}};
};

// Text picks: 0 "", 2 "a", 3 "ab", 4 "abc", 9 "z"; memos compare by
// their bytes, the terminator of a text included, so that an empty text
// sorts after NULL memos (those without bytes) and before every other.
TEST_F(MemoOrder, EmptyMemosFirstInTheirOrderAndEqualMemosAfterTheOthers)
{
    for (int nPick : {4, -1, 3, 0, 4, -1})
        Add(nPick);
    p = t.NewIndex(C_MEMO);
    EXPECT_EQ(Order(), (std::vector<int>{1, 5, 3, 2, 0, 4}));
    EXPECT_EQ(EmptyEnd(), 1);
    // A new equal memo goes after the others; a new empty one ends the run.
    Notify(CNARecordCache::NA_NOTIFY_INSERT, Add(4));
    Notify(CNARecordCache::NA_NOTIFY_INSERT, Add(-1));
    EXPECT_EQ(Order(), (std::vector<int>{1, 5, 7, 3, 2, 0, 4, 6}));
    EXPECT_EQ(EmptyEnd(), 2);
    // A removed empty memo shortens the run, so the next one still lands
    // before every non-empty memo.
    t.LoadRow(5);
    t.m_pCache->SetRecordState(5, NA_RECORDSTATE_DELETED);
    Notify(CNARecordCache::NA_NOTIFY_DELETE, 5);
    EXPECT_EQ(EmptyEnd(), 1);
    Notify(CNARecordCache::NA_NOTIFY_INSERT, Add(-1));
    EXPECT_EQ(Order(), (std::vector<int>{1, 7, 8, 3, 2, 0, 4, 6}));
    EXPECT_EQ(EmptyEnd(), 2);
    // A removed non-empty memo leaves the run alone.
    t.LoadRow(2);
    Notify(CNARecordCache::NA_NOTIFY_DELETE, 2);
    EXPECT_EQ(EmptyEnd(), 2);
    EXPECT_EQ(Order(), (std::vector<int>{1, 7, 8, 3, 0, 4, 6}));
    // An update that keeps the memo leaves the row in its place.
    t.LoadRow(0);
    Notify(CNARecordCache::NA_NOTIFY_UPDATE, 0);
    EXPECT_EQ(Order(), (std::vector<int>{1, 7, 8, 3, 0, 4, 6}));
    // A changed memo goes after those equal to its new value.
    const auto Change = [&](int r, int nPick) {
        t.LoadRow(r);
        t.SetValue(C_MEMO, nPick);
        t.m_pCache->Update(static_cast<unsigned int>(r), t.Current());
        Notify(CNARecordCache::NA_NOTIFY_UPDATE, r);
    };
    Change(6, 3);
    EXPECT_EQ(Order(), (std::vector<int>{1, 7, 8, 3, 6, 0, 4}));
    Change(4, 3);
    EXPECT_EQ(Order(), (std::vector<int>{1, 7, 8, 3, 6, 4, 0}));
    Change(0, -1);
    EXPECT_EQ(Order(), (std::vector<int>{1, 7, 8, 0, 3, 6, 4}));
    EXPECT_EQ(EmptyEnd(), 3);
}

TEST_F(MemoOrder, PositionsAnswerTheRowThereOrNone)
{
    for (int nPick : {4, -1, 3, 0, 4, -1, 4})
        Add(nPick);
    p = t.NewIndex(C_MEMO); // 1 5 | 3 2 0 4 6
    CAny clStart;
    const struct {
        const char* pszCase;
        eNA_PARSEDIRECTION e;
        int nCount;
        int nStart; // pick, -1 a NULL memo, -2 none
        int nRow;   // answered
        int nCurrent;
    } reads[] = {
        {"first", NA_PARSE_FIRST, 1, -2, 1, 1},
        {"beyond the array", NA_PARSE_FIRST, 8, -2, -1, 1},
        {"next", NA_PARSE_NEXT, 3, -2, 2, 2},
        {"previous", NA_PARSE_PREVIOUS, 2, -2, 5, 5},
        {"before the array", NA_PARSE_PREVIOUS, 2, -2, -1, 5},
        {"last", NA_PARSE_LAST, 2, -2, 4, 4},
        {"first of equal memos", NA_PARSE_FIRST, 1, 4, 0, 0},
        {"second from equal memos", NA_PARSE_FIRST, 2, 4, 4, 4},
        {"last of equal memos", NA_PARSE_LAST, 1, 4, 6, 6},
        {"first at or after", NA_PARSE_FIRST, 1, 2, 2, 2},
        {"last at or before", NA_PARSE_LAST, 1, 2, 3, 3},
        {"first beyond every memo", NA_PARSE_FIRST, 1, 9, -1, 3},
        {"an empty text", NA_PARSE_LAST, 1, 0, 3, 3},
        {"last of the empty memos", NA_PARSE_LAST, 1, -1, 5, 5},
        {"first of the empty memos", NA_PARSE_FIRST, 1, -1, 1, 1},
        {"the current row", kOther, 1, -2, 1, 1},
    };
    int nRow;
    for (const auto& r : reads) {
        SCOPED_TRACE(r.pszCase);
        if (r.nStart >= -1)
            MakeValue(C_MEMO, r.nStart < 0 ? 0 : r.nStart, clStart);
        clStart.SetNullFlag(r.nStart == -1);
        p->SetStartValue(r.nStart >= -1 ? &clStart : nullptr);
        nRow = -5;
        EXPECT_EQ(p->bGetRecordPosition(r.e, r.nCount, &nRow, nullptr), 1);
        EXPECT_EQ(nRow, r.nRow);
        EXPECT_EQ(p->nGetCurrentRecordId(), r.nCurrent);
    }
    // An entry added at the position or before it moves the position with
    // the row; removing a row the index does not hold changes nothing.
    t.LoadRow(0);
    EXPECT_EQ(p->bGetRecordPosition(NA_PARSE_FIRST, 3, &nRow, nullptr), 1); // row 3, the first with bytes
    const int nAt = Add(-1); // lands at the position, after the empty ones
    Notify(CNARecordCache::NA_NOTIFY_INSERT, nAt);
    EXPECT_EQ(p->nGetCurrentRecordId(), 3);
    EXPECT_EQ(p->nGetPreviousRecordNbr(), 3);
    EXPECT_EQ(p->OnNotifyOperation(CNARecordCache::NA_NOTIFY_DELETE, 99, 0), 1);
    EXPECT_EQ(p->nGetRecordNbr(), 8);
    EXPECT_EQ(p->nGetCurrentRecordId(), 3);
    EXPECT_EQ(p->bGetRecordPosition(NA_PARSE_FIRST, 1, &nRow, nullptr), 1);
    EXPECT_EQ(nRow, 1);
    t.LoadRow(1);
    Notify(CNARecordCache::NA_NOTIFY_DELETE, 1);
    EXPECT_EQ(p->nGetCurrentRecordId(), -1);
    EXPECT_EQ(p->bGetRecordPosition(kOther, 1, &nRow, nullptr), 1);
    EXPECT_EQ(nRow, -1);
    EXPECT_EQ(p->bGetRecordPosition(NA_PARSE_FIRST, 1, &nRow, nullptr), 1);
    EXPECT_EQ(nRow, 5);
}

TEST_F(MemoOrder, SetCurrentPosLandsOnTheOriginalMemo)
{
    for (int nPick : {4, -1, 3, 4, 9})
        Add(nPick);
    p = t.NewIndex(C_MEMO); // 1 | 2 | 0 3 | 4
    const struct {
        const char* pszCase;
        int nPick; // the original memo
        int nPos;
        int nAnswer, bFound, nCurrent, nPrevious;
    } cases[] = {
        {"the first record identical among equal memos", 4, -1, 1, 1, 0, 2},
        {"absent: the first above", 6, -1, 1, 0, 4, 4},
        {"beyond every memo", 7, -1, 1, 0, -1, 5},
        {"an empty memo", -1, -1, 1, 1, 1, 0},
        {"a position in the array", 4, 3, 1, 1, 3, 3},
        {"the identical record it stands on", 4, -1, 1, 1, 3, 3},
        {"a position outside", 4, 5, 0, -1, 3, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pszCase);
        t.SetValue(C_MEMO, c.nPick);
        ASSERT_TRUE(t.m_pRecord->bCopyCurrentRecordToOriginalRecord());
        int bFound = -1;
        EXPECT_EQ(p->bSetCurrentPos(c.nPos, 0, &bFound), c.nAnswer);
        EXPECT_EQ(bFound, c.bFound);
        EXPECT_EQ(p->nGetCurrentRecordId(), c.nCurrent);
        EXPECT_EQ(p->nGetPreviousRecordNbr(), c.nPrevious);
    }
}

TEST(TableCacheIndex, EmptyIndexesAnswerNoRow)
{
    for (const bool bDeletedRows : {false, true}) {
        CTableCacheRows t;
        if (bDeletedRows) {
            t.SetValue(C_I4, 3);
            t.AddCurrent(NA_RECORDSTATE_DELETED);
        }
        for (int k : {C_I4, C_TEXT, C_MEMO}) {
            SCOPED_TRACE(Name(k) + (bDeletedRows ? " over deleted rows" : " over no row"));
            IndexPtr p = t.NewIndex(k);
            EXPECT_EQ(p->nGetRecordNbr(), 0);
            for (const eNA_PARSEDIRECTION e : {NA_PARSE_FIRST, NA_PARSE_LAST, NA_PARSE_NEXT, NA_PARSE_PREVIOUS}) {
                int nRow = 5;
                unsigned int nDuplicate = 5;
                EXPECT_EQ(p->bGetRecordPosition(e, 1, &nRow, &nDuplicate), 1);
                EXPECT_EQ(nRow, -1);
                EXPECT_EQ(nDuplicate, 0u);
            }
            EXPECT_EQ(p->nGetCurrentRecordId(), -1);
            EXPECT_EQ(p->nGetPreviousRecordNbr(), 0);
        }
    }
}

TEST(TableCacheIndex, FixedSizeEntriesChangeOnlyWithTheirValue)
{
    CTableCacheRows t;
    for (int nPick : {3, 3, 8, -1, 3}) {
        t.SetValue(C_I4, nPick);
        t.SetValue(C_TEXT, nPick < 0 ? -1 : nPick + 2);
        t.AddCurrent();
    }
    for (int k : {C_I4, C_TEXT}) {
        SCOPED_TRACE(Name(k));
        IndexPtr p = t.NewIndex(k);
        CIndexItem* pItem = p->pclGetIndexItemNoRef();
        CMemBTreeChecker checker(*Tree(p.get()));
        const CMemBTreeChecker::Records before = checker.Content();
        // Two rows of one key are two entries; the same pair again is
        // refused without an error, the position kept.
        int nRow;
        p->bGetRecordPosition(NA_PARSE_FIRST, 2, &nRow, nullptr);
        CAny v;
        t.RowValue(k, 1, v);
        EXPECT_EQ(pItem->bInsertRecord(1, &v), 0);
        EXPECT_EQ(pItem->bInsertRecord(0, nullptr), 0);
        EXPECT_EQ(t.m_pError->pclGetXError()->dwGetSystemErrorCode(), 0u);
        EXPECT_EQ(p->nGetCurrentRecordId(), nRow);
        EXPECT_EQ(checker.Content(), before);
        // A row the cache does not hold has no value to key.
        EXPECT_EQ(pItem->bInsertRecord(99, nullptr), 0);
        EXPECT_EQ(pItem->bDeleteRecord(99, nullptr), 0);
        EXPECT_EQ(pItem->bDeleteRecord(-1, nullptr), 0);
        EXPECT_EQ(checker.Content(), before);
        // An update that keeps the value does not touch the index: the row
        // taken out by hand stays out.
        EXPECT_EQ(pItem->bDeleteRecord(4, nullptr), 1);
        t.LoadRow(4);
        EXPECT_EQ(p->OnNotifyOperation(CNARecordCache::NA_NOTIFY_UPDATE, 4, 0), 1);
        EXPECT_EQ(p->nGetRecordNbr(), 4);
        // A changed one takes the old entry out and puts the new one in.
        t.SetValue(k, k == C_I4 ? 9 : 12);
        t.m_pCache->Update(4, t.Current());
        EXPECT_EQ(p->OnNotifyOperation(CNARecordCache::NA_NOTIFY_UPDATE, 4, 0), 1);
        EXPECT_EQ(Walk(p.get(), true), Rows(BuildFixedModel(t, k)));
        // To NULL and back from it.
        t.LoadRow(2);
        t.SetValue(k, -1);
        t.m_pCache->Update(2, t.Current());
        EXPECT_EQ(p->OnNotifyOperation(CNARecordCache::NA_NOTIFY_UPDATE, 2, 0), 1);
        EXPECT_EQ(Walk(p.get(), true), Rows(BuildFixedModel(t, k)));
        t.LoadRow(3);
        t.SetValue(k, 4);
        t.m_pCache->Update(3, t.Current());
        EXPECT_EQ(p->OnNotifyOperation(CNARecordCache::NA_NOTIFY_UPDATE, 3, 0), 1);
        EXPECT_EQ(Walk(p.get(), true), Rows(BuildFixedModel(t, k)));
        EXPECT_TRUE(checker.Check());
        // Other statement kinds change nothing.
        EXPECT_EQ(p->OnNotifyOperation(1, 3, 0), 1);
        EXPECT_EQ(Walk(p.get(), true), Rows(BuildFixedModel(t, k)));
    }
}

TEST(TableCacheIndex, StartValuesBeyondEveryKeyReachNoRow)
{
    // Rows inside the lists, no NULL: the lists' ends lie beyond every key.
    CTableCacheRows t;
    for (int nPick : {3, 4, 9}) { // in row order in both columns
        t.SetValue(C_I4, nPick);
        t.SetValue(C_MEMO, nPick);
        t.AddCurrent();
    }
    for (int k : {C_I4, C_MEMO}) {
        SCOPED_TRACE(Name(k));
        IndexPtr p = t.NewIndex(k);
        CAny clStart;
        for (const auto& c : {std::make_pair(NA_PARSE_FIRST, ValueCount(k) - 1), std::make_pair(NA_PARSE_LAST, 1)}) {
            int nRow;
            p->SetStartValue(nullptr);
            p->bGetRecordPosition(NA_PARSE_FIRST, 3, &nRow, nullptr);
            ASSERT_EQ(nRow, 2);
            MakeValue(k, c.second, clStart);
            p->SetStartValue(&clStart);
            EXPECT_EQ(p->bGetRecordPosition(c.first, 1, &nRow, nullptr), 1);
            EXPECT_EQ(nRow, -1);
            // The position stays where the earlier read left it.
            EXPECT_EQ(p->nGetCurrentRecordId(), 2);
        }
    }
}

TEST(TableCacheIndex, AnIndexBuiltAgainHoldsEachRowOnce)
{
    CTableCacheRows t;
    std::mt19937 rng(7);
    for (int i = 0; i < 50; i++)
        t.AddRandomRow(rng);
    for (int k : {C_I4, C_TEXT, C_MEMO}) {
        SCOPED_TRACE(Name(k));
        IndexPtr p = t.NewIndex(k);
        EXPECT_EQ(p->pclGetIndexItemNoRef()->bInit(), 1);
        EXPECT_EQ(p->bInit(), 1);
        EXPECT_EQ(Walk(p.get(), true), t.Column(k)->bIsMemo() ? BuildMemoModel(t, k) : Rows(BuildFixedModel(t, k)));
    }
}

TEST(TableCacheIndex, EqualValuesOfOtherKeysAreAChange)
{
    // 0 and -0 are equal values whose keys differ: the entry must follow
    // the key, or the row's later removal would miss it.
    CTableCacheRows t;
    for (int nPick : {5, 4, 9}) { // 0, -0, 1
        t.SetValue(C_R8, nPick);
        t.AddCurrent();
    }
    IndexPtr p = t.NewIndex(C_R8);
    EXPECT_EQ(Walk(p.get(), true), (std::vector<int>{1, 0, 2}));
    t.LoadRow(0);
    t.SetValue(C_R8, 4);
    t.m_pCache->Update(0, t.Current());
    EXPECT_EQ(p->OnNotifyOperation(CNARecordCache::NA_NOTIFY_UPDATE, 0, 0), 1);
    EXPECT_EQ(Walk(p.get(), true), (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(Walk(p.get(), true), Rows(BuildFixedModel(t, C_R8)));
    t.LoadRow(0);
    t.m_pCache->SetRecordState(0, NA_RECORDSTATE_DELETED);
    EXPECT_EQ(p->OnNotifyOperation(CNARecordCache::NA_NOTIFY_DELETE, 0, 0), 1);
    EXPECT_EQ(Walk(p.get(), true), (std::vector<int>{1, 2}));
}

TEST(TableCacheIndex, KeysDependOnlyOnTheirOwnValue)
{
    // A long text, then short ones and NULL: each key is the conversion of
    // its own value alone.
    CTableCacheRows t;
    for (int nPick : {14, 1, 11, -1, 0, 13, 2}) {
        t.SetValue(C_TEXT, nPick);
        t.AddCurrent();
    }
    IndexPtr p = t.NewIndex(C_TEXT);
    CMemBTreeChecker checker(*Tree(p.get()));
    CMemBTreeChecker::Records expected;
    for (const auto& e : BuildFixedModel(t, C_TEXT))
        expected.emplace_back(e.first.substr(0, e.first.size() - 4), RowBytes(e.second));
    EXPECT_EQ(checker.Content(), expected);
    // Start values too: after a long one, a short one finds its own key.
    const FixedModel m = BuildFixedModel(t, C_TEXT);
    CAny clLong, clShort;
    MakeValue(C_TEXT, 14, clLong);
    MakeValue(C_TEXT, 1, clShort);
    int nRow;
    p->SetStartValue(&clLong);
    p->bGetRecordPosition(NA_PARSE_FIRST, 1, &nRow, nullptr);
    EXPECT_EQ(nRow, m.lower_bound(t.KeyOfPick(C_TEXT, 14) + std::string(4, '\0'))->second);
    p->SetStartValue(&clShort);
    p->bGetRecordPosition(NA_PARSE_LAST, 1, &nRow, nullptr);
    EXPECT_EQ(nRow, std::prev(m.upper_bound(t.KeyOfPick(C_TEXT, 1) + std::string(4, '\xFF')))->second);
}

TEST(TableCacheIndex, ForwardersWithoutAnItem)
{
    CTableCacheRows t;
    CNATableCacheIndex* p = new (std::nothrow) CNATableCacheIndex(t.m_pError, nullptr, t.m_pCache, t.Column(C_I4));
    ASSERT_NE(p, nullptr);
    p->m_nRefCount++;
    const unsigned int nCacheRefs = t.m_pCache->nGetRef() - 1;
    const unsigned int nColumnRefs = t.Column(C_I4)->nGetRef() - 1;
    int nRow = 5, bFound = 5;
    unsigned int nDuplicate = 5;
    EXPECT_EQ(p->bGetRecordPosition(NA_PARSE_FIRST, 1, &nRow, &nDuplicate), 0);
    EXPECT_EQ(nRow, -1);
    EXPECT_EQ(nDuplicate, 0u);
    EXPECT_EQ(p->nGetCurrentRecordId(), -1);
    EXPECT_EQ(p->nGetRecordNbr(), 0);
    EXPECT_EQ(p->nGetPreviousRecordNbr(), 0);
    EXPECT_EQ(p->bSetCurrentPos(-1, 0, &bFound), 0);
    EXPECT_EQ(p->OnNotifyOperation(CNARecordCache::NA_NOTIFY_INSERT, 0, 0), 0);
    // The references it holds go with it.
    EXPECT_EQ(p->dwRelease(), 0u);
    EXPECT_EQ(t.m_pCache->nGetRef(), nCacheRefs);
    EXPECT_EQ(t.Column(C_I4)->nGetRef(), nColumnRefs);
    // Without a cache or a column nothing is built.
    for (const bool bCache : {false, true}) {
        CNATableCacheIndex* q = new (std::nothrow)
            CNATableCacheIndex(t.m_pError, nullptr, bCache ? t.m_pCache : nullptr, bCache ? nullptr : t.Column(C_I4));
        q->m_nRefCount++;
        EXPECT_EQ(q->bInit(), 0);
        EXPECT_EQ(q->pclGetIndexItemNoRef(), nullptr);
        EXPECT_EQ(q->dwRelease(), 0u);
    }
}

TEST(TableCacheIndex, AColumnWithoutKeyBytesGetsNoIndex)
{
    CDriverScope clDriver;
    CNAError* pError = new CNAError;
    pError->AddRef();
    CTestConnection* pCnx = new CTestConnection(1252, 1252, CNAConnectionDescription::DS_MYSQL);
    pCnx->AddRef();
    {
        CTestTable table(pError, pCnx);
        table.Add(L"Z", NA_IT_BINAIRE, 2);
        CNARecord* pRecord = table.NewRecord(pError, pCnx);
        ASSERT_NE(pRecord, nullptr);
        CNARecordCache* pCache = new CNARecordCache(CNARecordCache::CACHE_ENABLED);
        pCache->AddRef();
        CNATableCacheIndex* p = new (std::nothrow) CNATableCacheIndex(pError, nullptr, pCache, pRecord->pclGetColumnNoRef(0));
        p->m_nRefCount++;
        EXPECT_EQ(p->bInit(), 0);
        EXPECT_EQ(pError->eGetErrorType(), NA_ERRORTYPE_NOTOFFERED);
        EXPECT_EQ(pError->nGetUserErrorCode(), static_cast<unsigned int>(ZTERR_NOT_OFFERED));
        EXPECT_NE(pError->pclGetXError()->dwGetSystemErrorCode(), 12u);
        // The item left without a tree answers as an empty one.
        CIndexItem* pItem = p->pclGetIndexItemNoRef();
        ASSERT_NE(pItem, nullptr);
        int nRow = 5, bFound = 5;
        EXPECT_EQ(pItem->bGetRecordPosition(NA_PARSE_FIRST, 1, &nRow, nullptr), 1);
        EXPECT_EQ(nRow, -1);
        EXPECT_EQ(pItem->nGetCurrentRecordId(), -1);
        EXPECT_EQ(pItem->nGetRecordNbr(), 0);
        EXPECT_EQ(pItem->nGetPreviousRecordNbr(), 0);
        EXPECT_EQ(pItem->bSetCurrentPos(-1, 0, &bFound), 0);
        EXPECT_EQ(pItem->bInsertRecord(0, nullptr), 0);
        EXPECT_EQ(pItem->bDeleteRecord(0, nullptr), 0);
        EXPECT_EQ(p->dwRelease(), 0u);
        EXPECT_EQ(pCache->nRelease(), 0u);
        EXPECT_EQ(pRecord->nRelease(), 0u);
    }
    EXPECT_EQ(pCnx->nRelease(), 0u);
    EXPECT_EQ(pError->nRelease(), 0u);
}

} // namespace

namespace {

std::string Text(const wchar_t* psz)
{
    std::string s;
    for (; psz != nullptr && *psz != 0; psz++)
        s += *psz < 128 ? static_cast<char>(*psz) : '?';
    return s;
}

// Composite keys over (a, v), ascending and with v descending, and a
// descending key w (the same text as v) over a full cache of a few rows,
// against the orders their parts' values give.
class CompositeKeys : public ::testing::Test {
protected:
    enum { A, V, W, N, K, KD };
    void SetUp() override
    {
        m_pError = new CNAError;
        m_pError->AddRef();
        m_pCnx = new CTestConnection(1252, 1252, CNAConnectionDescription::DS_MYSQL);
        m_pCnx->AddRef();
        m_pAccess = new CNADataAccess(nullptr, m_pCnx, m_pError);
        m_pAccess->AddRef();
        m_pTable.reset(new CTestTable(m_pError, m_pCnx));
        m_pTable->Add(L"a", NA_IT_I4, 4);
        m_pTable->Add(L"v", NA_IT_UNICODE, 42);
        m_pTable->Add(L"w", NA_IT_UNICODE, 42, CTestTable::DUPLICATES | CNAItemDescription::KF_DESCENDING);
        EXPECT_EQ((*m_pTable)->bAddItem(L"n", L"", L"", 1, 16, NA_IT_DECIMAL, -1, -1, 0, 8, 2), 1);
        m_pTable->AddComposite(L"k", CTestTable::DUPLICATES, {L"a", L"v"});
        CNAItemDescription* pKd = m_pTable->Add(L"kd", NA_IT_BINAIRE, 0, CTestTable::DUPLICATES | CTestTable::COMPOSITE);
        EXPECT_EQ((*m_pTable)->_bAddItemComponent(pKd, L"a"), 1);
        EXPECT_EQ((*m_pTable)->_bAddItemComponent(pKd, L"v", 1), 1);
        m_pRecord = m_pTable->NewRecord(m_pError, m_pCnx, m_pAccess);
        ASSERT_NE(m_pRecord, nullptr);
        m_pCache = new CNARecordCache(CNARecordCache::CACHE_ENABLED | CNARecordCache::CACHE_FETCHCOMPLETE);
        m_pCache->AddRef();
        // Equal pairs, identical records (rows 0 and 4), '' and prefixes.
        const std::pair<int, const wchar_t*> rows[] = {{1, L"b"}, {2, L"a"}, {1, L"ab"}, {2, L""}, {1, L"b"},
                                                       {3, L"z"}, {2, L"ab"}, {1, L"a"}, {1, L"ba"}};
        for (const auto& r : rows)
            AddRow(r.first, r.second);
    }
    void TearDown() override
    {
        EXPECT_EQ(m_pCache->nRelease(), 0u);
        EXPECT_EQ(m_pRecord->nRelease(), 0u);
        m_pTable.reset();
        EXPECT_EQ(m_pAccess->nRelease(), 0u);
        EXPECT_EQ(m_pCnx->nRelease(), 0u);
        EXPECT_EQ(m_pError->nRelease(), 0u);
    }
    CNAColumn* Column(int c) const { return m_pRecord->pclGetColumnNoRef(c); }
    void Set(int a, const std::wstring& s)
    {
        CAny v;
        ::Set(v, TQTYPE_I4, a);
        ASSERT_EQ(Column(A)->bSetValue(&v, 0), 1);
        SetW(v, s.c_str());
        ASSERT_EQ(Column(V)->bSetValue(&v, 0), 1);
        ASSERT_EQ(Column(W)->bSetValue(&v, 0), 1);
        SetW(v, L"1.5");
        v.__nCastTo(TQTYPE_DECIMAL, nullptr, 1);
        ASSERT_EQ(Column(N)->bSetValue(&v, 0), 1);
    }
    int AddRow(int a, const std::wstring& s)
    {
        Set(a, s);
        CNARecordValue* pclRow = m_pRecord->pclGetCurrentRecordValueNoRef()->pclGetClone(CNARecordValue::COPY_ALL);
        pclRow->AddRef();
        const int n = m_pCache->nAjoute(pclRow);
        pclRow->nRelease();
        m_rows.push_back({a, s});
        m_live.push_back(true);
        return n;
    }
    void LoadRow(int r)
    {
        ASSERT_EQ(m_pCache->bGetAt(m_pRecord->pclGetOriginalRecordValueNoRef(), static_cast<unsigned int>(r)), 1);
        ASSERT_TRUE(m_pRecord->bCopyOriginalRecordToCurrentRecord());
    }
    IndexPtr NewIndex(int c)
    {
        CNATableCacheIndex* p = new (std::nothrow) CNATableCacheIndex(m_pError, nullptr, m_pCache, Column(c));
        p->m_nRefCount++;
        EXPECT_EQ(p->bInit(), 1) << Text(m_pError->pszGetError());
        return {p, [](CNATableCacheIndex* q) { EXPECT_EQ(q->dwRelease(), 0u); }};
    }
    // Whether (a, s) comes before (b, t) in index c's order of values.
    static bool bBefore(int c, int a, const std::wstring& s, int b, const std::wstring& t)
    {
        if (c == W)
            return s > t;
        if (a != b)
            return a < b;
        return c == KD ? s > t : s < t;
    }
    // The live rows in index c's order: equal values by row, backwards on
    // the descending key.
    std::vector<int> Model(int c) const
    {
        std::vector<int> v;
        for (size_t r = 0; r < m_rows.size(); r++)
            if (m_live[r])
                v.push_back(static_cast<int>(r));
        std::stable_sort(v.begin(), v.end(), [&](int x, int y) {
            const auto& p = m_rows[static_cast<size_t>(x)];
            const auto& q = m_rows[static_cast<size_t>(y)];
            if (bBefore(c, p.first, p.second, q.first, q.second))
                return true;
            if (bBefore(c, q.first, q.second, p.first, p.second))
                return false;
            return c == W ? x > y : x < y;
        });
        return v;
    }
    // A composite value as the host gives it: a's 4 bytes, then v's 16-bit
    // units in its field.
    void Image(CAny& v, int a, const std::wstring& s) const
    {
        const size_t nField = static_cast<size_t>(Column(V)->nGetLogicalSize()) * 2;
        std::vector<unsigned char> aby(4 + nField, 0);
        std::memcpy(aby.data(), &a, 4);
        for (size_t i = 0; i < s.size(); i++)
            aby[4 + 2 * i] = static_cast<unsigned char>(s[i]);
        v.__SetType(TQTYPE_BIN, 0);
        v.pclGetTraitement()->SetValue(aby.data(), static_cast<unsigned int>(aby.size()));
    }

    CDriverScope m_clDriver;
    CNAError* m_pError = nullptr;
    CNAConnectionDescription* m_pCnx = nullptr;
    CNADataAccess* m_pAccess = nullptr;
    std::unique_ptr<CTestTable> m_pTable;
    CNARecord* m_pRecord = nullptr;
    CNARecordCache* m_pCache = nullptr;
    std::vector<std::pair<int, std::wstring>> m_rows;
    std::vector<bool> m_live;
};

TEST_F(CompositeKeys, EachKeyWalksInItsPartsOrder)
{
    for (int c : {K, KD, W}) {
        SCOPED_TRACE(c);
        IndexPtr p = NewIndex(c);
        const std::vector<int> expected = Model(c);
        EXPECT_EQ(Walk(p.get(), true), expected);
        EXPECT_EQ(Walk(p.get(), false), std::vector<int>(expected.rbegin(), expected.rend()));
    }
}

// An exact search value on a composite key, split into its parts: first
// on the first row at or after it in the key's order, last on the last at
// or before it.
TEST_F(CompositeKeys, AStartValueIsKeyedPartByPart)
{
    const std::pair<int, const wchar_t*> searches[] = {{1, L"b"}, {1, L"a"}, {2, L"ab"}, {2, L"aa"}, {1, L"bb"},
                                                       {0, L"a"}, {3, L"z"}, {4, L""},  {2, L""},   {1, L""}};
    for (int c : {K, KD}) {
        IndexPtr p = NewIndex(c);
        const std::vector<int> order = Model(c);
        for (const auto& s : searches) {
            SCOPED_TRACE(testing::Message() << c << " " << s.first << " '" << Text(s.second) << "'");
            CAny v;
            Image(v, s.first, s.second);
            p->SetStartValue(&v);
            int nExpected = -1;
            for (int r : order) {
                const auto& row = m_rows[static_cast<size_t>(r)];
                if (!bBefore(c, row.first, row.second, s.first, s.second)) {
                    nExpected = r;
                    break;
                }
            }
            int nRow = -2;
            ASSERT_EQ(p->bGetRecordPosition(NA_PARSE_FIRST, 1, &nRow, nullptr), 1);
            EXPECT_EQ(nRow, nExpected) << "first";
            nExpected = -1;
            for (int r : order) {
                const auto& row = m_rows[static_cast<size_t>(r)];
                if (!bBefore(c, s.first, s.second, row.first, row.second))
                    nExpected = r;
            }
            if (nExpected == -1)
                continue; // before every key: the position is left as it was
            ASSERT_EQ(p->bGetRecordPosition(NA_PARSE_LAST, 1, &nRow, nullptr), 1);
            EXPECT_EQ(nRow, nExpected) << "last";
        }
    }
}

// Writes follow each part: an update of a part moves the row, of another
// column leaves it; insertions and deletions; the record's place found
// again among identical records; the same key told by the parts.
TEST_F(CompositeKeys, WritesFollowTheParts)
{
    IndexPtr pk = NewIndex(K);
    IndexPtr pkd = NewIndex(KD);
    IndexPtr pw = NewIndex(W);
    auto Check = [&](const char* pszStep) {
        SCOPED_TRACE(pszStep);
        EXPECT_EQ(Walk(pk.get(), true), Model(K));
        EXPECT_EQ(Walk(pkd.get(), true), Model(KD));
        EXPECT_EQ(Walk(pw.get(), true), Model(W));
        const std::vector<int> backwards = Model(KD);
        EXPECT_EQ(Walk(pkd.get(), false), std::vector<int>(backwards.rbegin(), backwards.rend()));
    };
    auto* pItem = dynamic_cast<CIndexFixedSizeItem*>(pkd->pclGetIndexItemNoRef());
    ASSERT_NE(pItem, nullptr);
    // The same key: the original parts against the current ones.
    LoadRow(2);
    EXPECT_TRUE(pItem->bSameKey(nullptr, nullptr));
    CAny n;
    SetW(n, L"7.25");
    n.__nCastTo(TQTYPE_DECIMAL, nullptr, 1);
    ASSERT_EQ(Column(N)->bSetValue(&n, 0), 1);
    EXPECT_TRUE(pItem->bSameKey(nullptr, nullptr)) << "not a part";
    Set(1, L"abc");
    EXPECT_FALSE(pItem->bSameKey(nullptr, nullptr));
    Set(5, L"ab");
    EXPECT_FALSE(pItem->bSameKey(nullptr, nullptr));

    // Rows 0 and 4 are identical: the second is found as the second.
    for (auto* p : {pk.get(), pkd.get(), pw.get()}) {
        const std::vector<int> order = Walk(p, true);
        const auto it0 = std::find(order.begin(), order.end(), 0);
        const auto it4 = std::find(order.begin(), order.end(), 4);
        ASSERT_TRUE(it0 != order.end() && it4 != order.end());
        const int nFirst = it0 < it4 ? 0 : 4;
        LoadRow(4);
        int bFound = -1;
        ASSERT_EQ(p->bSetCurrentPos(-1, 0, &bFound), 1);
        EXPECT_EQ(bFound, 1);
        EXPECT_EQ(p->nGetCurrentRecordId(), nFirst);
        ASSERT_EQ(p->bSetCurrentPos(-1, 1, &bFound), 1);
        EXPECT_EQ(bFound, 1);
        EXPECT_EQ(p->nGetCurrentRecordId(), 4 - nFirst);
        ASSERT_EQ(p->bSetCurrentPos(-1, 2, &bFound), 1);
        EXPECT_EQ(bFound, 0) << "no third";
        // The exact pair, and a row that is not there.
        ASSERT_EQ(p->bSetCurrentPos(4, 0, &bFound), 1);
        EXPECT_EQ(bFound, 1);
        EXPECT_EQ(p->nGetCurrentRecordId(), 4);
        ASSERT_EQ(p->bSetCurrentPos(6, 0, &bFound), 1);
        EXPECT_EQ(bFound, 0);
        // A value no row holds: the next one in the key's order.
        LoadRow(7);
        Set(1, L"aa");
        ASSERT_TRUE(m_pRecord->bCopyCurrentRecordToOriginalRecord());
        ASSERT_EQ(p->bSetCurrentPos(-1, 0, &bFound), 1);
        EXPECT_EQ(bFound, 0);
        int nExpected = -1;
        const int c = p == pk.get() ? K : p == pkd.get() ? KD : W;
        for (int r : Model(c))
            if (!bBefore(c, m_rows[static_cast<size_t>(r)].first, m_rows[static_cast<size_t>(r)].second, 1, L"aa")) {
                nExpected = r;
                break;
            }
        EXPECT_EQ(p->nGetCurrentRecordId(), nExpected);
    }

    // Row 2 (1, 'ab') becomes (2, 'b'): out of its place, into the new one.
    LoadRow(2);
    Set(2, L"b");
    m_pCache->Update(2, m_pRecord->pclGetCurrentRecordValueNoRef());
    for (auto* p : {pk.get(), pkd.get(), pw.get()})
        EXPECT_EQ(p->OnNotifyOperation(CNARecordCache::NA_NOTIFY_UPDATE, 2, 0), 1);
    m_rows[2] = {2, L"b"};
    Check("update");
    // A new row, then a row gone.
    const int nNew = AddRow(3, L"a");
    for (auto* p : {pk.get(), pkd.get(), pw.get()})
        EXPECT_EQ(p->OnNotifyOperation(CNARecordCache::NA_NOTIFY_INSERT, nNew, 0), 1);
    Check("insert");
    LoadRow(6);
    for (auto* p : {pk.get(), pkd.get(), pw.get()})
        EXPECT_EQ(p->OnNotifyOperation(CNARecordCache::NA_NOTIFY_DELETE, 6, 0), 1);
    m_live[6] = false;
    Check("delete");
}

} // namespace
