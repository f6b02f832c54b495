// The table cache of a data access: the browse statement it names, the
// full cache it keeps (made once, its blocks never moving), its counts, the
// indexes it hands out, and allocation failures while an index is built
// and kept in step.
#include "access/statement/NATableCache.h"

#include "access/statement/NAStatement.h"
#include "common/platform/MyModuleInfo.h"
#include "tests/access/statement/TableCacheRows.h"
#include "tests/support/FailingHeap.h"
#include "tests/support/SlotOrder.h"

namespace {

// The full cache a completed browse leaves, given by hand.
class CTestTableCache : public CNATableCache {
public:
    using CNATableCache::CNATableCache;
    void SetFullCache(CNARecordCache* p)
    {
        p->AddRef();
        m_pclFullCache = p;
    }
};

class TableCache : public ::testing::Test {
protected:
    void SetUp() override
    {
        p = new (std::nothrow) CTestTableCache(t.m_pError, t.m_pAccess);
        ASSERT_NE(p, nullptr);
        p->m_nRefCount++;
        for (CNAStatement*& s : m_apStatement) {
            s = new CNAStatement(t.m_pError, nullptr);
            s->AddRef();
        }
    }
    void TearDown() override
    {
        if (p != nullptr) {
            EXPECT_EQ(p->dwRelease(), 0u);
        }
        for (CNAStatement* s : m_apStatement)
            EXPECT_EQ(s->nRelease(), 0u);
    }
    // Rows of picks i modulo the size of the column's list (distinct up to
    // 11 rows), the full cache of the table cache.
    void FullCache(int n, std::initializer_list<int> deleted = {})
    {
        for (int i = 0; i < n; i++) {
            t.SetValue(C_I4, i % (ValueCount(C_I4) - 1));
            t.SetValue(C_TEXT, i % (ValueCount(C_TEXT) - 1));
            t.SetValue(C_MEMO, i % (ValueCount(C_MEMO) - 1));
            const bool bDeleted = std::find(deleted.begin(), deleted.end(), i) != deleted.end();
            t.AddCurrent(bDeleted ? static_cast<unsigned int>(NA_RECORDSTATE_DELETED) : 0u);
        }
        p->SetFullCache(t.m_pCache);
    }
    // An index handed out, held by the test.
    IndexPtr Index(int k, int nStatement = 0)
    {
        CNATableCacheIndex* pIndex = p->pclGetCacheIndex(m_apStatement[nStatement], t.Column(k));
        if (pIndex != nullptr) {
            EXPECT_EQ(pIndex->m_nRefCount, 0);
            pIndex->m_nRefCount++;
        }
        return {pIndex, [](CNATableCacheIndex* q) {
                    if (q != nullptr) {
                        EXPECT_EQ(q->dwRelease(), 0u);
                    }
                }};
    }
    bool bNoMemory() const { return t.m_pError->pclGetXError()->dwGetSystemErrorCode() == 12u; }

    CTableCacheRows t;
    CTestTableCache* p = nullptr;
    CNAStatement* m_apStatement[2] = {};
};

TEST_F(TableCache, SlotsKeepTheirOrder)
{
    CheckOrder("CNATableCache", {S(CNATableCache, dwRelease), S(CNATableCache, _bSetStatementParse)}, 2);
}

TEST_F(TableCache, TheFirstStatementBecomesTheBrowse)
{
    CNAStatement* s = m_apStatement[0];
    EXPECT_EQ(p->bInitDone(), 1);
    EXPECT_EQ(p->bIsEmpty(), 1);
    // Nothing filled is not complete.
    EXPECT_EQ(p->bCacheCompleted(), 0);
    EXPECT_EQ(p->bIsStatementParse(s), 0);
    EXPECT_EQ(p->bIsStatementParse(nullptr), 0);
    EXPECT_EQ(p->bSetStatementParse(s), 1);
    EXPECT_EQ(s->nGetRef(), 2u);
    EXPECT_EQ(p->bIsStatementParse(s), 1);
    EXPECT_EQ(p->bInitDone(), 0);
    EXPECT_EQ(p->bCacheCompleted(), 0);
    EXPECT_EQ(p->bFilterEquals(nullptr), 1);
    // Only the first time.
    EXPECT_EQ(p->bSetStatementParse(m_apStatement[1]), 1);
    EXPECT_EQ(p->bIsStatementParse(m_apStatement[1]), 0);
    EXPECT_EQ(m_apStatement[1]->nGetRef(), 1u);
    EXPECT_EQ(p->bIsStatementParse(s), 1);
}

TEST_F(TableCache, AFullCacheThatCannotBeMadeLeavesAllAsItWas)
{
    CNAStatement* s = m_apStatement[0];
    for (const bool bBrowse : {false, true}) {
        SCOPED_TRACE(bBrowse ? "with a browse statement" : "without one");
        if (bBrowse)
            p->bSetStatementParse(s);
        t.m_pError->Reset();
        EXPECT_EQ(p->pclGetFullCache(), nullptr);
        // The hold it took on itself is given back.
        EXPECT_EQ(p->m_nRefCount, 1);
        EXPECT_EQ(p->bIsStatementParse(s), bBrowse ? 1 : 0);
        EXPECT_EQ(p->llGetRecordNbr(), 0);
        EXPECT_EQ(p->llGetRecordNbrActive(), 0);
        EXPECT_EQ(p->pclGetCacheIndex(s, t.Column(C_I4)), nullptr);
        EXPECT_EQ(p->bIsRecordCache(t.m_pCache), 0);
        EXPECT_EQ(p->m_nRefCount, 1);
        // The browse statement's record cache is switched on, and cannot
        // be read to its end without a data access.
        EXPECT_EQ(s->bCacheEnabled(), bBrowse ? 1 : 0);
        EXPECT_EQ(s->bCacheCompleted(), 0);
    }
}

TEST_F(TableCache, AFullCacheIsCountedAndIndexed)
{
    FullCache(10, {3, 7});
    EXPECT_EQ(p->llGetRecordNbr(), 10);
    EXPECT_EQ(p->llGetRecordNbrActive(), 8);
    EXPECT_EQ(p->bIsEmpty(), 0);
    EXPECT_EQ(p->bInitDone(), 0);
    EXPECT_EQ(p->bCacheCompleted(), 1);
    EXPECT_EQ(p->bIsRecordCache(t.m_pCache), 1);
    EXPECT_EQ(p->bIsRecordCache(nullptr), 0);
    EXPECT_EQ(p->pclGetFullCache(), t.m_pCache);
    EXPECT_EQ(p->m_nRefCount, 1);
    // Once a full cache stands, no statement becomes the browse.
    EXPECT_EQ(p->bSetStatementParse(m_apStatement[0]), 1);
    EXPECT_EQ(p->bIsStatementParse(m_apStatement[0]), 0);

    const unsigned int nCacheRefs = t.m_pCache->nGetRef();
    for (int k : {C_I4, C_MEMO}) {
        SCOPED_TRACE(k);
        IndexPtr i = Index(k, 1);
        ASSERT_NE(i, nullptr);
        EXPECT_EQ(i->nGetRecordNbr(), 8);
        EXPECT_EQ(i->pclGetStatementNoRef(), m_apStatement[1]);
        EXPECT_EQ(i->pclGetRecordCacheNoRef(), t.m_pCache);
        EXPECT_EQ(i->pclGetColumnNoRef(), t.Column(k));
        EXPECT_EQ(t.m_pCache->nGetRef(), nCacheRefs + 1);
        std::vector<int> rows = Walk(i.get(), true);
        std::sort(rows.begin(), rows.end());
        EXPECT_EQ(rows, (std::vector<int>{0, 1, 2, 4, 5, 6, 8, 9}));
    }
    EXPECT_EQ(t.m_pCache->nGetRef(), nCacheRefs);
}

TEST_F(TableCache, AnEmptyFullCacheIsEmpty)
{
    FullCache(0);
    EXPECT_EQ(p->bIsEmpty(), 1);
    EXPECT_EQ(p->llGetRecordNbr(), 0);
    IndexPtr i = Index(C_TEXT);
    ASSERT_NE(i, nullptr);
    EXPECT_EQ(i->nGetRecordNbr(), 0);
}

TEST_F(TableCache, TheFullCacheIsMadeOnceAndItsBlocksNeverMove)
{
    t.m_pCache->SetGrowStep(4, 0); // a block every four rows
    FullCache(30);
    std::vector<const unsigned char*> blocks;
    for (int b = 0; b < t.m_pCache->GetImageTable().nGetBlockCount(); b++)
        blocks.push_back(t.m_pCache->GetImageTable().pstGetBlock(b)->pbyData);
    ASSERT_GE(blocks.size(), 5u);
    IndexPtr i = Index(C_I4);
    IndexPtr m = Index(C_MEMO);
    for (int n = 0; n < 40; n++) {
        t.SetValue(C_I4, n % 10 + 1);
        t.SetValue(C_MEMO, n % 10 + 1);
        const int r = t.AddCurrent();
        EXPECT_EQ(i->OnNotifyOperation(CNARecordCache::NA_NOTIFY_INSERT, r, 0), 1);
        EXPECT_EQ(m->OnNotifyOperation(CNARecordCache::NA_NOTIFY_INSERT, r, 0), 1);
        EXPECT_EQ(p->pclGetFullCache(), t.m_pCache);
    }
    for (size_t b = 0; b < blocks.size(); b++)
        EXPECT_EQ(t.m_pCache->GetImageTable().pstGetBlock(static_cast<int>(b))->pbyData, blocks[b]) << "block " << b;
    EXPECT_EQ(Walk(i.get(), true), Rows(BuildFixedModel(t, C_I4)));
    EXPECT_EQ(Walk(m.get(), true), BuildMemoModel(t, C_MEMO));
    EXPECT_EQ(p->llGetRecordNbr(), 70);
}

TEST_F(TableCache, AColumnWithoutKeyBytesGetsNoIndex)
{
    FullCache(3);
    CTestTable table(t.m_pError, t.m_pCnx);
    table.Add(L"Z", NA_IT_BINAIRE, 2);
    CNARecord* pRecord = table.NewRecord(t.m_pError, t.m_pCnx);
    ASSERT_NE(pRecord, nullptr);
    EXPECT_EQ(p->pclGetCacheIndex(m_apStatement[0], pRecord->pclGetColumnNoRef(0)), nullptr);
    EXPECT_EQ(t.m_pError->eGetErrorType(), NA_ERRORTYPE_NOTOFFERED);
    EXPECT_EQ(t.m_pError->nGetUserErrorCode(), static_cast<unsigned int>(ZTERR_NOT_OFFERED));
    EXPECT_FALSE(bNoMemory());
    EXPECT_EQ(pRecord->nRelease(), 0u);
}

class TableCacheBuild : public TableCache, public ::testing::WithParamInterface<int> {};

// No index or a whole one; an index whose building stopped holds a valid
// part of it.
TEST_P(TableCacheBuild, FailedAllocationsWhileAnIndexIsBuilt)
{
    const int k = GetParam();
    const bool bMemo = t.Column(k)->bIsMemo() != 0;
    FullCache(bMemo ? 40 : 300, {10, 20});
    const std::vector<int> expected = bMemo ? BuildMemoModel(t, k) : Rows(BuildFixedModel(t, k));
    const int nAllowed = nFailEachAllocation([&](int n) {
        t.m_pError->Reset();
        CNATableCacheIndex* pIndex;
        {
            CFailingHeap heap(n);
            pIndex = p->pclGetCacheIndex(m_apStatement[0], t.Column(k));
        }
        if (pIndex == nullptr) {
            EXPECT_TRUE(bNoMemory());
            return false;
        }
        pIndex->m_nRefCount++;
        EXPECT_EQ(Walk(pIndex, true), expected);
        EXPECT_EQ(pIndex->dwRelease(), 0u);
        return true;
    });
    EXPECT_GT(nAllowed, 1);
    nFailEachAllocation([&](int n) {
        t.m_pError->Reset();
        CNATableCacheIndex* pIndex =
            new (std::nothrow) CNATableCacheIndex(t.m_pError, m_apStatement[0], t.m_pCache, t.Column(k));
        pIndex->m_nRefCount++;
        int bDone;
        {
            CFailingHeap heap(n);
            bDone = pIndex->bInit();
        }
        if (!bDone) {
            EXPECT_TRUE(bNoMemory());
            if (CMemBTree* pTree = Tree(pIndex)) {
                CMemBTreeChecker checker(*pTree);
                EXPECT_TRUE(checker.Check());
            }
        } else {
            EXPECT_EQ(Walk(pIndex, true), expected);
        }
        EXPECT_EQ(pIndex->dwRelease(), 0u);
        return bDone != 0;
    });
}

INSTANTIATE_TEST_SUITE_P(Columns, TableCacheBuild, ::testing::Values(C_I4, C_TEXT, C_MEMO),
                         [](const ::testing::TestParamInfo<int>& i) {
                             const wchar_t* psz = Kind(i.param).pszName;
                             return std::string(psz, psz + std::wcslen(psz));
                         });

TEST_F(TableCache, FailedAllocationsWhileAnIndexFollowsAWrite)
{
    // Distinct keys: a second row on a key needs the tree's first bucket.
    FullCache(11);
    CNARecordValue* pSaved = nullptr;
    const struct {
        const char* pszCase;
        int nType;
        int nRow;  // the row written, -1 a new one
        int nPick; // its new value
        bool bFixedFails, bMemoFails; // whether an allocation it needs may fail
    } writes[] = {
        {"insert on a present key", CNARecordCache::NA_NOTIFY_INSERT, -1, 2, true, true},
        {"insert on a new key", CNARecordCache::NA_NOTIFY_INSERT, -1, 11, false, true},
        {"update onto a present key", CNARecordCache::NA_NOTIFY_UPDATE, 5, 3, false, true},
        {"update to NULL", CNARecordCache::NA_NOTIFY_UPDATE, 6, -1, false, true},
        {"delete", CNARecordCache::NA_NOTIFY_DELETE, 7, 0, false, false},
    };
    for (int k : {C_I4, C_MEMO}) {
        for (const auto& w : writes) {
            SCOPED_TRACE(std::string(w.pszCase) + (k == C_MEMO ? " (memo)" : ""));
            int nFailed = 0;
            nFailEachAllocation([&](int n) {
                IndexPtr i = Index(k);
                // The write the full cache takes first.
                int r = w.nRow;
                if (r < 0) {
                    t.SetValue(k, w.nPick);
                    r = t.AddCurrent();
                } else {
                    t.LoadRow(r);
                    pSaved = t.Original()->pclGetClone(CNARecordValue::COPY_ALL);
                    pSaved->AddRef();
                    if (w.nType == CNARecordCache::NA_NOTIFY_DELETE) {
                        t.m_pCache->SetRecordState(r, NA_RECORDSTATE_DELETED);
                    } else {
                        t.SetValue(k, w.nPick);
                        t.m_pCache->Update(static_cast<unsigned int>(r), t.Current());
                    }
                }
                t.m_pError->Reset();
                int bDone;
                {
                    CFailingHeap heap(n);
                    bDone = i->OnNotifyOperation(w.nType, r, 0);
                }
                if (Tree(i.get()) != nullptr) {
                    CMemBTreeChecker checker(*Tree(i.get()));
                    EXPECT_TRUE(checker.Check());
                }
                if (bDone) {
                    EXPECT_EQ(Walk(i.get(), true), k == C_MEMO ? BuildMemoModel(t, k) : Rows(BuildFixedModel(t, k)));
                } else {
                    EXPECT_TRUE(bNoMemory());
                    nFailed++;
                    // The write undone for the next try.
                    if (w.nRow < 0)
                        t.m_pCache->SetRecordState(r, NA_RECORDSTATE_DELETED);
                    else if (w.nType == CNARecordCache::NA_NOTIFY_DELETE)
                        t.m_pCache->SetRecordState(r, NA_RECORDSTATE_NORMAL);
                    else
                        t.m_pCache->Update(static_cast<unsigned int>(r), pSaved);
                }
                if (pSaved != nullptr)
                    pSaved->nRelease();
                pSaved = nullptr;
                return bDone != 0;
            });
            if (k == C_MEMO ? w.bMemoFails : w.bFixedFails) {
                EXPECT_GT(nFailed, 0) << "no allocation could fail";
            }
        }
    }
}

} // namespace
