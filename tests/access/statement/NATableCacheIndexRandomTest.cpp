// An index of every column kept in step with thousands of random inserts,
// updates (changed, unchanged, to and from NULL) and deletes of a full
// cache, against models kept alike; after each write every index is walked
// both ways and every tree checked. Each run prints its replay number;
// ZT_TABLECACHE_REPLAY=<number> replays one.
#include "tests/access/statement/TableCacheRows.h"

#include "common/values/AnyConvert.h"

#include <iostream>

namespace {

const int kRuns = 2;
const int kRows = 120;
const int kWrites = 1500;

class CUpkeep {
public:
    explicit CUpkeep(unsigned int nReplay) : m_rng(nReplay), m_indexes(), m_keys(C_COUNT)
    {
        for (int i = 0; i < kRows; i++)
            t.AddRandomRow(m_rng);
        for (int r = 0; r < t.m_pCache->nGetCount(); r++) {
            m_bAlive.push_back(t.m_pCache->eGetRecordState(r) == 0);
            for (int k = 0; k < C_COUNT; k++)
                m_keys[static_cast<size_t>(k)][r] = t.KeyOfRow(k, r);
        }
        for (int k = 0; k < C_COUNT; k++) {
            m_indexes.push_back(t.NewIndex(k));
            if (bMemo(k))
                m_memo[k] = BuildMemoModel(t, k);
            else
                m_fixed[k] = BuildFixedModel(t, k);
        }
    }

    void Run(int nWrites)
    {
        for (int n = 0; n < nWrites; n++) {
            std::vector<int> alive;
            for (size_t r = 0; r < m_bAlive.size(); r++)
                if (m_bAlive[r])
                    alive.push_back(static_cast<int>(r));
            const unsigned int nDraw = m_rng() % 100;
            const int r = alive.empty() ? -1 : alive[m_rng() % alive.size()];
            if (r < 0 || nDraw < 35)
                Insert();
            else if (nDraw < 82)
                Update(r);
            else
                Delete(r);
            Check(n);
            if (::testing::Test::HasFailure())
                return;
        }
        EXPECT_GT(m_nUnchanged, 0);
        EXPECT_GT(m_nToNull, 0);
        EXPECT_GT(m_nFromNull, 0);
    }

private:
    bool bMemo(int k) const { return t.Column(k)->bIsMemo() != 0; }

    void Notify(int nType, int r)
    {
        for (int k = 0; k < C_COUNT; k++)
            ASSERT_EQ(m_indexes[static_cast<size_t>(k)]->OnNotifyOperation(nType, r, 0), 1)
                << "column " << k << " kind " << nType;
    }
    void ModelAdd(int k, int r)
    {
        const std::string& s = m_keys[static_cast<size_t>(k)][r];
        if (!bMemo(k)) {
            m_fixed[k].emplace(s + RowBytes(r), r);
            return;
        }
        std::vector<int>& v = m_memo[k];
        // After every memo at or below it.
        const auto it = std::upper_bound(v.begin(), v.end(), s, [&](const std::string& a, int b) {
            return a < m_keys[static_cast<size_t>(k)][b];
        });
        v.insert(it, r);
    }
    void ModelRemove(int k, int r)
    {
        if (!bMemo(k)) {
            ASSERT_EQ(m_fixed[k].erase(m_keys[static_cast<size_t>(k)][r] + RowBytes(r)), 1u);
            return;
        }
        std::vector<int>& v = m_memo[k];
        v.erase(std::find(v.begin(), v.end(), r));
    }

    void Insert()
    {
        const int nCount = t.m_pCache->nGetCount();
        if (nCount > 0 && m_rng() % 6 == 0)
            t.LoadRow(static_cast<int>(m_rng() % static_cast<unsigned int>(nCount)));
        else
            for (int k = 0; k < C_COUNT; k++)
                t.SetValue(k, t.Pick(m_rng, k));
        const int r = t.AddCurrent();
        m_bAlive.push_back(true);
        for (int k = 0; k < C_COUNT; k++) {
            m_keys[static_cast<size_t>(k)][r] = t.KeyOfRow(k, r);
            ModelAdd(k, r);
        }
        Notify(CNARecordCache::NA_NOTIFY_INSERT, r);
    }

    void Update(int r)
    {
        t.LoadRow(r);
        CAny aOld[C_COUNT];
        for (int k = 0; k < C_COUNT; k++) {
            t.RowValue(k, r, aOld[k]);
            const unsigned int nHow = m_rng() % 10;
            if (nHow < 4)
                t.SetValue(k, t.Pick(m_rng, k)); // maybe the same value
            else if (nHow < 5)
                t.SetValue(k, -1);
        }
        ASSERT_EQ(t.m_pCache->Update(static_cast<unsigned int>(r), t.Current()), 1);
        for (int k = 0; k < C_COUNT; k++) {
            CAny clNew;
            t.RowValue(k, r, clNew);
            // The index's own test: equal values (NULL never equal) of the
            // same key bytes.
            int bEqual = 0;
            if (nEgalite(&aOld[k], &clNew, &bEqual, 0) <= 99 && bEqual != 0 &&
                t.KeyOfValue(k, aOld[k]) == t.KeyOfValue(k, clNew)) {
                m_nUnchanged++;
                continue;
            }
            m_nToNull += clNew.bIsNull() && !aOld[k].bIsNull();
            m_nFromNull += aOld[k].bIsNull() && !clNew.bIsNull();
            ModelRemove(k, r);
            m_keys[static_cast<size_t>(k)][r] = t.KeyOfValue(k, clNew);
            ModelAdd(k, r);
        }
        Notify(CNARecordCache::NA_NOTIFY_UPDATE, r);
    }

    void Delete(int r)
    {
        t.LoadRow(r);
        t.m_pCache->SetRecordState(r, NA_RECORDSTATE_DELETED);
        m_bAlive[static_cast<size_t>(r)] = false;
        for (int k = 0; k < C_COUNT; k++)
            ModelRemove(k, r);
        Notify(CNARecordCache::NA_NOTIFY_DELETE, r);
    }

    void Check(int n)
    {
        for (int k = 0; k < C_COUNT; k++) {
            CNATableCacheIndex* p = m_indexes[static_cast<size_t>(k)].get();
            const std::vector<int> expected = bMemo(k) ? m_memo[k] : Rows(m_fixed[k]);
            ASSERT_EQ(p->nGetRecordNbr(), static_cast<int>(expected.size())) << "write " << n << " column " << k;
            ASSERT_EQ(Walk(p, true), expected) << "write " << n << " column " << k;
            ASSERT_EQ(Walk(p, false), std::vector<int>(expected.rbegin(), expected.rend()))
                << "write " << n << " column " << k;
            if (!bMemo(k)) {
                CMemBTreeChecker checker(*Tree(p));
                ASSERT_TRUE(checker.Check()) << "write " << n << " column " << k;
            }
        }
    }

    CTableCacheRows t;
    std::mt19937 m_rng;
    std::vector<IndexPtr> m_indexes;
    std::vector<bool> m_bAlive;
    // Key bytes of each column of each row, as last written.
    std::vector<std::map<int, std::string>> m_keys;
    std::map<int, FixedModel> m_fixed;
    std::map<int, std::vector<int>> m_memo;
    int m_nUnchanged = 0;
    int m_nToNull = 0;
    int m_nFromNull = 0;
};

TEST(TableCacheIndexRandom, IndexesFollowEveryWrite)
{
    for (unsigned int nReplay : ReplayNumbers(kRuns)) {
        std::cout << "replay number " << nReplay << " (replay with ZT_TABLECACHE_REPLAY=" << nReplay << ")"
                  << std::endl;
        SCOPED_TRACE("replay number " + std::to_string(nReplay));
        CUpkeep run(nReplay);
        run.Run(kWrites);
        if (HasFailure())
            break;
    }
}

} // namespace
