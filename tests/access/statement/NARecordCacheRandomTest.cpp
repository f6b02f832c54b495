// Randomised comparison of the record cache with a plain model (rows,
// states, memos, identity bytes to row), for both identity kinds. Every
// starting value is printed; ZT_CACHE_START=<value> replays one.
#include "access/statement/NARecordCache.h"

#include "tests/support/RecordValues.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <iostream>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

#if defined(__SANITIZE_ADDRESS__)
const int kStarts = 1;
const int kOperations = 1200;
#else
const int kStarts = 2;
const int kOperations = 3000;
#endif

typedef std::vector<ByteVector> Memos;

struct CModelRow {
    bool bImage = false;
    ByteVector image;
    Memos memos;
    unsigned int nState = 128;
    bool bId = false;
    ByteVector id;
};

Memos Trimmed(Memos m)
{
    while (!m.empty() && m.back().empty())
        m.pop_back();
    return m;
}

class CRun {
public:
    CRun(int nKind, unsigned int nStart) : m_nKind(nKind), m_rng(nStart), m_pCache(new CNARecordCache(1u))
    {
        m_pCache->AddRef();
        // Small blocks: many of them, and rows across their ends.
        m_pCache->SetGrowStep(7, 0);
    }
    ~CRun() { m_pCache->nRelease(); }

    void Run(int nOperations)
    {
        for (int nStep = 0; nStep < nOperations && !::testing::Test::HasFailure(); nStep++) {
            m_sLast = "step " + std::to_string(nStep) + ": ";
            Step();
            Check();
        }
    }

private:
    int nRand(int nBelow) { return static_cast<int>(m_rng() % static_cast<unsigned int>(nBelow)); }

    // A new value with a unique identity: the serial in the image (record
    // values) or in the row id.
    struct CGenerated {
        std::unique_ptr<CValue> value;
        CModelRow row;
    };
    CGenerated Generate(unsigned int nMinImage = 0)
    {
        CGenerated g;
        const unsigned int nSerial = m_nSerial++;
        unsigned int nSize = 12 + 4 * static_cast<unsigned int>(nRand(4));
        if (nSize < nMinImage)
            nSize = nMinImage;
        ByteVector image(nSize);
        for (auto& b : image)
            b = static_cast<unsigned char>(m_rng());
        for (unsigned int i = 0; i < 4; i++)
            image[1 + i] = static_cast<unsigned char>(nSerial >> (8 * i));
        ByteVector rowId(4 + static_cast<unsigned int>(nRand(3)) * 3, 0x77);
        for (unsigned int i = 0; i < 4; i++)
            rowId[i] = static_cast<unsigned char>(nSerial >> (8 * i));
        Memos memos(static_cast<size_t>(nRand(4)));
        for (auto& m : memos)
            if (nRand(3) != 0)
                m = ByteVector(1 + static_cast<size_t>(nRand(5)), static_cast<unsigned char>(m_rng()));
        const unsigned int nState = nRand(10) == 0 ? 128u : 0u;
        g.value = std::make_unique<CValue>(image, m_nKind, rowId, memos, nState);
        g.row.bImage = true;
        g.row.image = image;
        g.row.memos = Trimmed(memos);
        g.row.nState = nState;
        g.row.bId = true;
        g.row.id = m_nKind == CNARecordId::RECORDID_RECORDVALUES ? image : rowId;
        return g;
    }

    // A probe value carrying an identity.
    std::unique_ptr<CValue> Probe(const ByteVector& id)
    {
        if (m_nKind == CNARecordId::RECORDID_RECORDVALUES)
            return std::make_unique<CValue>(id, m_nKind);
        return std::make_unique<CValue>(ByteVector{0}, m_nKind, id);
    }

    // ---- The model ----
    void MAppend(const CModelRow& r)
    {
        if (r.bId)
            m_index[r.id] = static_cast<int>(m_rows.size());
        m_rows.push_back(r);
    }
    void MInsert(const CModelRow& r, int i)
    {
        for (auto& e : m_index)
            if (e.second >= i)
                e.second++;
        if (r.bId)
            m_index[r.id] = i;
        m_rows.insert(m_rows.begin() + i, r);
    }
    void MUpdate(int i, const CModelRow* p)
    {
        CModelRow& r = m_rows[static_cast<size_t>(i)];
        if (p == nullptr) {
            r.bImage = false;
            r.bId = false;
            r.nState = 128;
            return;
        }
        if (r.bId)
            m_index.erase(r.id);
        r.bImage = true;
        r.image = p->image;
        if (!p->memos.empty())
            r.memos = p->memos;
        r.bId = true;
        r.id = p->id;
        m_index[r.id] = i;
        r.nState = p->nState;
    }
    void MRemove(int i)
    {
        for (auto it = m_index.begin(); it != m_index.end();) {
            if (it->second == i) {
                it = m_index.erase(it);
                continue;
            }
            if (it->second > i)
                it->second--;
            ++it;
        }
        m_rows.erase(m_rows.begin() + i);
    }
    int MFind(const ByteVector& id) const
    {
        auto it = m_index.find(id);
        return it != m_index.end() ? it->second : -1;
    }
    long long MPosition(long long llCurrent, int nDirection, long long llCount) const
    {
        const long long n = static_cast<long long>(m_rows.size());
        const bool bBackward = nDirection == 1 || nDirection == 3;
        const long long s = nDirection == 1 ? n : (nDirection == 2 || nDirection == 3 ? llCurrent : -1);
        int nDeleted = 0;
        for (const auto& r : m_rows)
            nDeleted += r.nState == 128;
        auto Free = [&](long long r) { return r < 0 || r >= n || m_rows[static_cast<size_t>(r)].nState != 128; };
        long long p;
        if (nDeleted < 1) {
            p = bBackward ? s - llCount : s + llCount;
        } else if (llCount <= 0) {
            p = s;
        } else if (!bBackward) {
            std::vector<long long> L;
            for (long long r = s + 1; r < n; r++)
                if (Free(r))
                    L.push_back(r);
            p = llCount <= static_cast<long long>(L.size()) ? L[static_cast<size_t>(llCount - 1)]
                                                            : std::max(s + 1, n) + (llCount - static_cast<long long>(L.size())) - 1;
        } else {
            if (s < 0)
                return -1;
            const long long llAbove = std::max(0LL, s - n);
            if (llCount <= llAbove) {
                p = s - llCount;
            } else {
                std::vector<long long> L;
                for (long long r = std::min(s, n) - 1; r >= 0; r--)
                    if (Free(r))
                        L.push_back(r);
                const long long k = llCount - llAbove;
                p = k <= static_cast<long long>(L.size()) ? L[static_cast<size_t>(k - 1)] : -1;
            }
        }
        return p < 0 ? -1 : (p > INT_MAX ? INT_MAX : p);
    }

    void Step()
    {
        const int n = static_cast<int>(m_rows.size());
        const int nOp = nRand(1000);
        if (nOp < 300) {
            CGenerated g = Generate();
            m_sLast += "append";
            EXPECT_EQ(m_pCache->nAjoute(g.value->get()), n) << m_sLast;
            MAppend(g.row);
        } else if (nOp < 330) {
            m_sLast += "append null";
            EXPECT_EQ(m_pCache->nAjoute(nullptr), n) << m_sLast;
            MAppend(CModelRow());
        } else if (nOp < 480) {
            // Inside, at the end or past it.
            const int i = nOp < 430 ? nRand(n + 1) : n + nRand(4);
            const bool bNull = nOp >= 465;
            CGenerated g = Generate();
            m_sLast += "insert " + std::string(bNull ? "null " : "") + "at " + std::to_string(i);
            EXPECT_EQ(m_pCache->Insere(bNull ? nullptr : g.value->get(), static_cast<unsigned int>(i)), i) << m_sLast;
            while (static_cast<int>(m_rows.size()) < i)
                MAppend(CModelRow());
            MInsert(bNull ? CModelRow() : g.row, i);
        } else if (nOp < 640 && n > 0) {
            const int i = nRand(n);
            const int nKind = nRand(4); // same size or shorter, longer, null, without memo
            CGenerated g = Generate(nKind == 1 ? 40 : 0);
            if (nKind == 3) {
                g.value->get()->bShareTabMemoValue(nullptr);
                g.row.memos.clear();
            }
            m_sLast += "update " + std::to_string(i) + " kind " + std::to_string(nKind);
            EXPECT_EQ(m_pCache->Update(static_cast<unsigned int>(i), nKind == 2 ? nullptr : g.value->get()), 1) << m_sLast;
            MUpdate(i, nKind == 2 ? nullptr : &g.row);
        } else if (nOp < 700 && n > 0) {
            const int i = nRand(n);
            m_sLast += "remove " + std::to_string(i);
            m_pCache->Supprime(static_cast<unsigned int>(i));
            MRemove(i);
        } else if (nOp < 780 && n > 0) {
            const int i = nRand(n);
            const unsigned int nState = nRand(2) != 0 ? 128u : 0u;
            m_sLast += "state " + std::to_string(i) + " " + std::to_string(nState);
            m_pCache->SetRecordState(i, static_cast<eNA_RECORDSTATE>(nState));
            m_rows[static_cast<size_t>(i)].nState = nState;
        } else if (nOp < 997) {
            // A write notified; the former row is a cached one or none.
            const int nType = 2 + nRand(3);
            ByteVector former;
            if (n > 0 && nRand(5) != 0) {
                const CModelRow& r = m_rows[static_cast<size_t>(nRand(n))];
                former = r.bId ? r.id : ByteVector{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
            } else {
                former = ByteVector{9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9};
            }
            std::unique_ptr<CValue> old = Probe(former);
            CGenerated g = Generate();
            const int bFirst = nRand(2);
            m_sLast += "notify " + std::to_string(nType) + (bFirst ? " first" : "");
            const int nResult = m_pCache->nOnNotifyOperation(nType, g.value->get(), old->get(), 0, bFirst);
            if (nType == 3) {
                EXPECT_EQ(nResult, bFirst ? 0 : n) << m_sLast;
                if (bFirst)
                    MInsert(g.row, 0);
                else
                    MAppend(g.row);
            } else {
                const int nRow = MFind(former);
                EXPECT_EQ(nResult, nRow) << m_sLast;
                if (nRow >= 0 && nType == 2)
                    MUpdate(nRow, &g.row);
                else if (nRow >= 0)
                    m_rows[static_cast<size_t>(nRow)].nState = 128;
            }
        } else {
            m_sLast += "remove all";
            m_pCache->SupprimeTout();
            m_rows.clear();
            m_index.clear();
        }
    }

    void Check()
    {
        const int n = static_cast<int>(m_rows.size());
        ASSERT_EQ(m_pCache->nGetCount(), n) << m_sLast;
        int nDeleted = 0;
        for (int i = 0; i < n; i++) {
            const CModelRow& r = m_rows[static_cast<size_t>(i)];
            nDeleted += r.nState == 128;
            ASSERT_EQ(m_pCache->eGetRecordState(i), r.nState) << m_sLast << ", row " << i;
            ASSERT_EQ(m_pCache->bRecordInCache(static_cast<unsigned int>(i)), r.bImage ? 1 : 0) << m_sLast << ", row " << i;
            CValue v(ByteVector(r.bImage ? r.image.size() : 8, 0), m_nKind, ByteVector{0});
            const int bRead = m_pCache->bGetAt(v.get(), static_cast<unsigned int>(i));
            ASSERT_EQ(bRead, r.bImage && r.bId ? 1 : 0) << m_sLast << ", row " << i;
            if (!bRead)
                continue;
            ASSERT_EQ(v.Image(), r.image) << m_sLast << ", row " << i;
            ASSERT_EQ(v.Memos(), r.memos) << m_sLast << ", row " << i;
            if (m_nKind == CNARecordId::RECORDID_ROWID) {
                ASSERT_EQ(CellBytes(static_cast<CNARecordId_RowId*>(v->pclGetRecordIdNoRef())->pclGetValueNoRef()), r.id)
                    << m_sLast << ", row " << i;
            }
        }
        ASSERT_EQ(m_pCache->nGetDeletedCount(), nDeleted) << m_sLast;
        ASSERT_EQ(m_pCache->nGetIndexCount(), m_index.size()) << m_sLast;
        for (const auto& e : m_index)
            ASSERT_EQ(m_pCache->nGetRecordIndice(Probe(e.first)->get()), e.second) << m_sLast;
        ASSERT_EQ(m_pCache->nGetRecordIndice(Probe(ByteVector{0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE})->get()), -1) << m_sLast;
        const long long counts[] = {0, 1, 2, 3, 7, -1, (1LL << 32) + 3};
        for (int k = 0; k < 4; k++) {
            const long long llCurrent = nRand(n + 6) - 2;
            const int nDirection = nRand(4);
            const long long llCount = nRand(3) == 0 ? counts[nRand(7)] : nRand(n + 4);
            ASSERT_EQ(m_pCache->nGetPosition(llCurrent, static_cast<eNA_PARSEDIRECTION>(nDirection), llCount),
                      MPosition(llCurrent, nDirection, llCount))
                << m_sLast << ", position from " << llCurrent << " direction " << nDirection << " count " << llCount;
        }
    }

    int m_nKind;
    std::mt19937 m_rng;
    CNARecordCache* m_pCache;
    std::vector<CModelRow> m_rows;
    std::map<ByteVector, int> m_index;
    unsigned int m_nSerial = 1;
    std::string m_sLast;
};

class RecordCacheRandom : public ::testing::TestWithParam<int> {
protected:
    CDriverScope m_clDriver;
};

TEST_P(RecordCacheRandom, MatchesTheModel)
{
    std::vector<unsigned int> starts;
    if (const char* psz = std::getenv("ZT_CACHE_START")) {
        starts.push_back(static_cast<unsigned int>(std::strtoul(psz, nullptr, 10)));
    } else {
        std::random_device rd;
        for (int i = 0; i < kStarts; i++)
            starts.push_back(rd());
    }
    for (unsigned int nStart : starts) {
        std::cout << "identity kind " << GetParam() << ", start " << nStart << " (replay with ZT_CACHE_START=" << nStart
                  << ")" << std::endl;
        SCOPED_TRACE("start " + std::to_string(nStart));
        CRun run(GetParam(), nStart);
        run.Run(kOperations);
        if (HasFailure())
            break;
    }
}

INSTANTIATE_TEST_SUITE_P(IdentityKinds, RecordCacheRandom, ::testing::Values(1, 3),
                         [](const ::testing::TestParamInfo<int>& i) {
                             return i.param == 1 ? std::string("RecordValues") : std::string("RowId");
                         });

}  // namespace
