// Randomised comparison of the in-memory B+-tree with a std::multimap model
// (the values of one key kept ascending). Every starting value is printed on failure;
// ZT_BTREE_START=<value> runs that starting value alone in every configuration.
#include "access/statement/MemBTree.h"

#include "tests/access/statement/MemBTreeChecker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <map>
#include <memory>
#include <ostream>
#include <random>
#include <string>
#include <tuple>
#include <vector>

namespace {

#if defined(__SANITIZE_ADDRESS__)
const int kStarts = 1;
const int kOperations = 2400;
#else
const int kStarts = 3;
const int kOperations = 4000;
#endif

// Records kept at most, so that the whole-content checks stay quick.
const long long kMaxRecords = 800;

int Compare(const void* a, const void* b, unsigned int n)
{
    return std::memcmp(a, b, n);
}

typedef std::multimap<std::string, std::string> Model;
typedef CMemBTreeChecker::Records Records;

struct Config {
    int nOrder;
    unsigned int nKeySize;
    unsigned int nValueSize;
};

void PrintTo(const Config& c, std::ostream* pos)
{
    *pos << "order " << c.nOrder << ", key " << c.nKeySize << ", value " << c.nValueSize;
}

class CRun {
public:
    CRun(const Config& c, unsigned int nStart)
        : m_c(c), m_rng(nStart), m_nKeySpace(c.nKeySize == 1 ? 256 : 1500)
    {
        _NewTree();
        for (int i = 0; i < 3; i++)
            m_vHot.push_back(_Key(_Pick(m_nKeySpace)));
    }

    void Run(int nOperations)
    {
        for (int n = 0; n < nOperations && !testing::Test::HasFailure(); n++) {
            m_nStep = n;
            // Two rounds of growing, mixed and shrinking phases.
            const int nPhase = (n / (nOperations / 6 + 1)) % 3;
            m_nPhase = nPhase;
            int r = _Pick(100);
            if (Size() > kMaxRecords && r < 28 - nPhase * 8)
                r = 52 + _Pick(48); // no more distinct keys beyond the cap
            if (r < 3 && nPhase != 2) {
                _BulkLoad();
            } else if (r < 28 - nPhase * 8) {
                _InsertDistinct();
            } else if (r < 48 - nPhase * 10 && m_c.nValueSize != 0 && nPhase != 2) {
                _InsertDuplicate();
            } else if (r < 52) {
                _InsertRepeat();
            } else if (r < 60 + nPhase * 8) {
                _DeletePair();
            } else if (r < 64 + nPhase * 4) {
                _DeleteKey();
            } else if (r < 70 + nPhase * 4) {
                _DeleteCurrent();
            } else {
                _Move();
            }
            _Verify();
        }
        if (testing::Test::HasFailure())
            return;
        // The run went through every bucket class, nested trees included,
        // and back down from nested trees to vectors.
        if (m_c.nValueSize != 0) {
            for (int c = 0; c < CMemBucket::eClassCount; c++)
                EXPECT_TRUE(m_abSeen[c]) << "no bucket of class " << c << " " << _Where();
            EXPECT_TRUE(m_bShrunk) << "no nested tree turned back into a vector " << _Where();
        }
        // Down to empty: every pool back to 0.
        m_pszOp = "run down";
        while (!m_m.empty() && !testing::Test::HasFailure()) {
            _DeleteCurrent();
            if (m_nPos >= Size())
                _Expect(m_p->bAdvance(0, &m_nDone, 0) == 0, "end after deleting the last record");
            m_p->GotoFirstRecord();
            m_nPos = 0;
            _Verify();
        }
        CMemBTreeChecker cl(*m_p);
        EXPECT_EQ(cl.LiveObjects(), 0) << _Where();
        EXPECT_EQ(cl.Root(), nullptr) << _Where();
    }

private:
    int _Pick(int n) { return static_cast<int>(m_rng() % static_cast<unsigned int>(n)); }

    // Numbers written big-endian so that byte order is numeric order; the
    // rest of a long key is filler.
    std::string _Key(int n)
    {
        std::string s(m_c.nKeySize, '\x5a');
        if (m_c.nKeySize == 1) {
            s[0] = static_cast<char>(n);
        } else {
            s[0] = static_cast<char>(n >> 24);
            s[1] = static_cast<char>(n >> 16);
            s[2] = static_cast<char>(n >> 8);
            s[3] = static_cast<char>(n);
        }
        return s;
    }
    std::string _Value(int n)
    {
        if (m_c.nValueSize == 0)
            return std::string();
        std::string s(4, '\0');
        s[0] = static_cast<char>(n >> 24);
        s[1] = static_cast<char>(n >> 16);
        s[2] = static_cast<char>(n >> 8);
        s[3] = static_cast<char>(n);
        return s;
    }
    const void* _V(const std::string& s) const { return m_c.nValueSize == 0 ? nullptr : s.data(); }

    void _NewTree()
    {
        m_p.reset(CMemBTree::pclCreate(m_c.nKeySize, m_c.nValueSize, Compare, Compare, m_c.nOrder));
        ASSERT_NE(m_p, nullptr);
        m_m.clear();
        m_nPos = 0;
    }

    long long Size() const { return static_cast<long long>(m_m.size()); }

    Model::iterator _LowerBound(const std::string& k, const std::string& v)
    {
        Model::iterator it = m_m.lower_bound(k);
        while (it != m_m.end() && it->first == k && it->second < v)
            ++it;
        return it;
    }
    bool _Has(const std::string& k, const std::string& v)
    {
        Model::iterator it = _LowerBound(k, v);
        return it != m_m.end() && it->first == k && it->second == v;
    }
    long long _Index(Model::iterator it) { return std::distance(m_m.begin(), it); }
    Model::iterator _At(long long n) { return std::next(m_m.begin(), static_cast<long>(n)); }

    // The model's record at the iterator, to find it again after a change.
    bool _Current(std::string* pk, std::string* pv)
    {
        if (m_nPos >= Size())
            return false;
        Model::iterator it = _At(m_nPos);
        *pk = it->first;
        *pv = it->second;
        return true;
    }
    void _Follow(bool bHad, const std::string& k, const std::string& v)
    {
        m_nPos = bHad ? _Index(_LowerBound(k, v)) : Size();
    }

    void _Add(const std::string& k, const std::string& v)
    {
        std::string ck, cv;
        bool bHad = _Current(&ck, &cv);
        m_m.emplace_hint(_LowerBound(k, v), k, v);
        _Follow(bHad, ck, cv);
    }
    void _Remove(Model::iterator first, Model::iterator last)
    {
        std::string ck, cv;
        bool bHad = _Current(&ck, &cv);
        m_m.erase(first, last);
        _Follow(bHad, ck, cv);
    }

    void _InsertDistinct()
    {
        m_pszOp = "InsertDistinct";
        std::string k = _Key(_Pick(m_nKeySpace));
        std::string v = _Value(_Pick(1000));
        const bool bNew = m_c.nValueSize == 0 ? m_m.count(k) == 0 : !_Has(k, v);
        const int b = m_p->bInsert(k.data(), _V(v));
        _Expect(b == (bNew ? 1 : 0), "insert answer");
        if (bNew)
            _Add(k, v);
    }

    // Few keys with many values: buckets climb through every class into
    // nested trees; deletions bring them back.
    void _InsertDuplicate()
    {
        m_pszOp = "InsertDuplicate";
        const std::string& k = m_vHot[_Pick(static_cast<int>(m_vHot.size()))];
        for (int i = 0, n = 1 + _Pick(12); i < n; i++) {
            std::string v = _Value(_Pick(160));
            const bool bNew = !_Has(k, v);
            _Expect(m_p->bInsert(k.data(), _V(v)) == (bNew ? 1 : 0), "duplicate insert answer");
            if (bNew)
                _Add(k, v);
        }
    }

    void _InsertRepeat()
    {
        m_pszOp = "InsertRepeat";
        if (m_m.empty())
            return;
        Model::iterator it = _At(_Pick(static_cast<int>(Size())));
        const int nBefore = m_p->nGetNumRecord();
        _Expect(m_p->bInsert(it->first.data(), _V(it->second)) == 0, "repeated pair refused");
        _Expect(m_p->nGetNumRecord() == nBefore, "refused insert keeps the count");
    }

    void _DeletePair()
    {
        m_pszOp = "DeletePair";
        // While shrinking, runs of values leave the hot keys, so that nested
        // trees fall back to vectors.
        for (int i = 0, n = m_nPhase == 2 ? _Pick(20) : 0; i < n; i++) {
            const std::string& h = m_vHot[_Pick(static_cast<int>(m_vHot.size()))];
            auto r = m_m.equal_range(h);
            if (r.first == r.second)
                continue;
            Model::iterator it = std::next(r.first, _Pick(static_cast<int>(std::distance(r.first, r.second))));
            _Expect(m_p->bDelete(it->first.data(), _V(it->second)) == 1, "hot pair delete answer");
            _Remove(it, std::next(it));
        }
        std::string k, v;
        if (!m_m.empty() && _Pick(4) != 0) {
            Model::iterator it = _At(_Pick(static_cast<int>(Size())));
            if (_Pick(4) < 1 + m_nPhase && m_c.nValueSize != 0) {
                // Often from a hot key, to shrink its bucket.
                const std::string& h = m_vHot[_Pick(static_cast<int>(m_vHot.size()))];
                auto r = m_m.equal_range(h);
                if (r.first != r.second)
                    it = std::next(r.first, _Pick(static_cast<int>(std::distance(r.first, r.second))));
            }
            k = it->first;
            v = it->second;
        } else {
            k = _Key(_Pick(m_nKeySpace));
            v = _Value(_Pick(1000));
        }
        const bool bHas = m_c.nValueSize == 0 ? m_m.count(k) != 0 : _Has(k, v);
        _Expect(m_p->bDelete(k.data(), _V(v)) == (bHas ? 1 : 0), "pair delete answer");
        if (bHas) {
            Model::iterator it = _LowerBound(k, v);
            _Remove(it, std::next(it));
        }
    }

    void _DeleteKey()
    {
        m_pszOp = "DeleteKey";
        std::string k = !m_m.empty() && _Pick(4) != 0 ? _At(_Pick(static_cast<int>(Size())))->first
                                                       : _Key(_Pick(m_nKeySpace));
        if (_Pick(40) == 0)
            k = m_vHot[_Pick(static_cast<int>(m_vHot.size()))];
        auto r = m_m.equal_range(k);
        const bool bHas = r.first != r.second;
        _Expect(m_p->bDelete(k.data(), nullptr) == (bHas ? 1 : 0), "key delete answer");
        if (bHas)
            _Remove(r.first, r.second);
    }

    void _DeleteCurrent()
    {
        m_pszOp = "DeleteCurrent";
        if (m_nPos >= Size()) {
            _Expect(m_p->bDeleteCurrentRecord() == 0, "delete at the end refused");
            return;
        }
        _Expect(m_p->bDeleteCurrentRecord() == 1, "delete current record");
        Model::iterator it = _At(m_nPos);
        const long long nPos = m_nPos;
        m_m.erase(it);
        m_nPos = nPos; // the record that followed, or the end
    }

    void _BulkLoad()
    {
        m_pszOp = "BulkLoad";
        // A fresh tree from shuffled pairs: the model's pairs, a few more,
        // and sometimes a repeated pair, which must be refused.
        std::vector<std::pair<std::string, std::string>> v(m_m.begin(), m_m.end());
        for (int i = 0, n = _Pick(200); i < n; i++) {
            bool bHot = m_c.nValueSize != 0 && _Pick(3) == 0;
            std::string k = bHot ? m_vHot[_Pick(static_cast<int>(m_vHot.size()))] : _Key(_Pick(m_nKeySpace));
            std::string val = _Value(_Pick(400));
            bool bDup = false;
            for (auto& e : v)
                bDup = bDup || (e.first == k && (m_c.nValueSize == 0 || e.second == val));
            if (!bDup)
                v.emplace_back(k, val);
        }
        std::shuffle(v.begin(), v.end(), m_rng);
        _NewTree();
        if (!v.empty() && _Pick(6) == 0) {
            // A repeated pair: refused, and the tree stays empty.
            std::vector<std::pair<std::string, std::string>> w(v);
            w.insert(w.begin() + _Pick(static_cast<int>(w.size()) + 1), v[static_cast<size_t>(_Pick(static_cast<int>(v.size())))]);
            std::string keys, values;
            for (auto& e : w) {
                keys += e.first;
                values += e.second;
            }
            _Expect(m_p->bLoadBulk(keys.data(), values.data(), static_cast<int>(w.size())) == 0,
                    "bulk load of a repeated pair refused");
            _Expect(m_p->nGetNumRecord() == 0, "refused bulk load leaves the tree empty");
            _Expect(CMemBTreeChecker(*m_p).LiveObjects() == 0, "refused bulk load frees what it built");
        }
        std::string keys, values;
        for (auto& e : v) {
            keys += e.first;
            values += e.second;
        }
        _Expect(m_p->bLoadBulk(keys.data(), m_c.nValueSize == 0 ? nullptr : values.data(),
                               static_cast<int>(v.size())) == 1,
                "bulk load answer");
        for (auto& e : v)
            _Add(e.first, e.second);
        // A loaded tree refuses a second load and keeps its records.
        if (!v.empty()) {
            _Expect(m_p->bLoadBulk(keys.data(), values.data(), 1) == 0, "load on a full tree refused");
            _Expect(m_p->nGetNumRecord() == static_cast<int>(v.size()), "count after load");
        }
        m_p->GotoEnd();
        m_nPos = Size();
    }

    // Distinct keys in order, and the key index of a record index.
    std::vector<std::string> _Keys()
    {
        std::vector<std::string> v;
        for (auto it = m_m.begin(); it != m_m.end(); it = m_m.upper_bound(it->first))
            v.push_back(it->first);
        return v;
    }

    void _Move()
    {
        const int r = _Pick(11);
        if (r == 0) {
            m_p->GotoFirstRecord();
            m_nPos = 0;
        } else if (r == 1) {
            m_p->GotoEnd();
            m_nPos = Size();
        } else if (r == 2) {
            int n = _Pick(static_cast<int>(Size()) + 3) - 1;
            if (_Pick(10) == 0)
                n = _Pick(2) ? INT_MAX : INT_MIN;
            m_p->MoveTo(n);
            m_nPos = n >= 0 && n < Size() ? n : Size();
        } else if (r <= 4) {
            _Search();
        } else if (r == 5) {
            _Find();
        } else {
            _Advance();
        }
    }

    std::string _SearchKey()
    {
        if (!m_m.empty() && _Pick(2) == 0)
            return _At(_Pick(static_cast<int>(Size())))->first;
        return _Key(_Pick(m_nKeySpace + 2) - 1);
    }

    void _Search()
    {
        m_pszOp = "Search";
        const std::string k = _SearchKey();
        const int nFlags = _Pick(4);
        Model::iterator it;
        bool bMove;
        if (nFlags & CMemBTree::eSearchLast) {
            it = m_m.upper_bound(k);
            bMove = it != m_m.begin();
            if (bMove)
                --it;
            if (bMove && (nFlags & CMemBTree::eSearchExact))
                bMove = it->first == k;
        } else {
            it = m_m.lower_bound(k);
            bMove = it != m_m.end() && (!(nFlags & CMemBTree::eSearchExact) || it->first == k);
        }
        const void* p = m_p->pSearch(k.data(), nFlags);
        if (bMove) {
            m_nPos = _Index(it);
            if (m_c.nValueSize == 0)
                _Expect(p == nullptr, "search answers null without values");
            else
                _Expect(p != nullptr && std::memcmp(p, it->second.data(), 4) == 0, "search answers the value");
        } else {
            _Expect(p == nullptr, "search without a place answers null");
        }
    }

    void _Find()
    {
        m_pszOp = "Find";
        std::string k, v;
        if (!m_m.empty() && _Pick(2) == 0) {
            Model::iterator it = _At(_Pick(static_cast<int>(Size())));
            k = it->first;
            v = it->second;
        } else {
            k = _SearchKey();
            v = _Value(_Pick(1000));
        }
        const bool bHas = m_c.nValueSize == 0 ? m_m.count(k) != 0 : _Has(k, v);
        _Expect(m_p->bFindRecord(k.data(), _V(v)) == (bHas ? 1 : 0), "find answer");
        m_nPos = m_m.empty() ? 0 : _Index(m_c.nValueSize == 0 ? m_m.lower_bound(k) : _LowerBound(k, v));
    }

    void _Advance()
    {
        m_pszOp = "Advance";
        const int nFlags = _Pick(8);
        int nSteps;
        switch (_Pick(6)) {
        case 0: nSteps = 1; break;
        case 1: nSteps = -1; break;
        case 2: nSteps = _Pick(3 * m_c.nOrder + 3) - (3 * m_c.nOrder + 3) / 2; break;
        case 3: nSteps = _Pick(static_cast<int>(Size()) * 2 + 3) - static_cast<int>(Size()) - 1; break;
        case 4: nSteps = _Pick(2) ? -2147483647 : INT_MIN; break;
        default: nSteps = _Pick(2) ? INT_MAX : 0; break;
        }
        const long long n = Size();
        long long llDone;
        long long llNewPos = m_nPos;
        if (nSteps == 0) {
            const int bExpected = n == 0 ? 0 : (nFlags & 4) ? 1 : m_nPos < n;
            int nDone = 7;
            _Expect(m_p->bAdvance(0, &nDone, nFlags) == bExpected, "zero steps answer");
            _Expect(nDone == 0, "zero steps done");
            return;
        }
        if (n == 0) {
            llDone = 0;
        } else if (nFlags & CMemBTree::eAdvanceByKey) {
            // Keys: from inside a key's values, back one goes to the key before.
            std::vector<std::string> vKeys = _Keys();
            const long long d = static_cast<long long>(vKeys.size());
            long long q = m_nPos >= n ? d
                                      : std::lower_bound(vKeys.begin(), vKeys.end(), _At(m_nPos)->first)
                                            - vKeys.begin();
            long long t = q + nSteps;
            long long qNew;
            if (nSteps > 0)
                qNew = q >= d ? d : t < d ? t : (nFlags & 4) ? d : d - 1;
            else
                qNew = t < 0 ? 0 : t;
            if (q < d && qNew < q && nSteps > 0)
                qNew = q;
            llDone = qNew - q;
            llNewPos = qNew >= d ? n : _Index(m_m.lower_bound(vKeys[static_cast<size_t>(qNew)]));
        } else {
            const long long t = m_nPos + nSteps;
            long long p;
            if (nSteps > 0)
                p = t < n ? t : (nFlags & 4) ? n : n - 1;
            else
                p = t < 0 ? 0 : t;
            if (nSteps > 0 && p < m_nPos)
                p = m_nPos;
            llDone = p - m_nPos;
            llNewPos = p;
        }
        const bool bOk = llDone == nSteps || ((nFlags & CMemBTree::eAdvancePartial) && llDone != 0);
        int nDone = 12345;
        const int b = m_p->bAdvance(nSteps, &nDone, nFlags);
        _Expect(b == (bOk ? 1 : 0), "advance answer");
        _Expect(nDone == llDone, "advance steps done");
        if (bOk)
            m_nPos = llNewPos;
    }

    void _Expect(bool b, const char* psz)
    {
        if (!b)
            ADD_FAILURE() << psz << " " << _Where();
    }

    std::string _Where() const
    {
        return "(order " + std::to_string(m_c.nOrder) + ", key " + std::to_string(m_c.nKeySize) + ", value "
               + std::to_string(m_c.nValueSize) + ", step " + std::to_string(m_nStep) + " " + m_pszOp + ", records "
               + std::to_string(m_m.size()) + ")";
    }

    void _Verify()
    {
        CMemBTreeChecker cl(*m_p);
        testing::AssertionResult r = cl.Check();
        if (!r) {
            ADD_FAILURE() << r.message() << " " << _Where();
            return;
        }
        _Expect(m_p->nGetNumRecord() == Size(), "record count");
        Records v = cl.Content();
        bool bSame = v.size() == m_m.size();
        auto it = m_m.begin();
        for (size_t i = 0; bSame && i < v.size(); i++, ++it)
            bSame = v[i].first == it->first && v[i].second == it->second;
        _Expect(bSame, "content differs from the model");
        // The iterator: its record, its duplicates and its rank.
        if (m_nPos >= Size()) {
            _Expect(m_p->pReadKey() == nullptr, "no key at the end");
            _Expect(m_p->pReadValue() == nullptr, "no value at the end");
            _Expect(m_p->nNumDuplicates() == 0, "no duplicates at the end");
        } else {
            Model::iterator e = _At(m_nPos);
            const void* pKey = m_p->pReadKey();
            _Expect(pKey != nullptr && std::memcmp(pKey, e->first.data(), m_c.nKeySize) == 0, "key at the iterator");
            if (m_c.nValueSize != 0) {
                const void* pValue = m_p->pReadValue();
                _Expect(pValue != nullptr && std::memcmp(pValue, e->second.data(), 4) == 0, "value at the iterator");
            }
            _Expect(m_p->nNumDuplicates() == static_cast<int>(m_m.count(e->first)), "duplicates at the iterator");
        }
        _Expect(cl.Rank() == m_nPos, "iterator rank");
        if (m_c.nValueSize != 0) {
            for (int c = 0; c < CMemBucket::eClassCount; c++)
                m_abSeen[c] = m_abSeen[c] || cl.BucketPool(c)->nGetObjectCount() > 0;
            const int nNested = cl.BucketPool(CMemBucket::eNestedClass)->nGetObjectCount();
            const int nClass5 = cl.BucketPool(5)->nGetObjectCount();
            m_bShrunk = m_bShrunk || (nNested < m_nNested && nClass5 > m_nClass5);
            m_nNested = nNested;
            m_nClass5 = nClass5;
        }
    }

    Config m_c;
    std::mt19937 m_rng;
    int m_nKeySpace;
    std::vector<std::string> m_vHot;
    std::unique_ptr<CMemBTree> m_p;
    Model m_m;
    long long m_nPos = 0; // model index of the iterator; the size is the end
    int m_nStep = 0;
    int m_nDone = 0;
    const char* m_pszOp = "";
    bool m_abSeen[CMemBucket::eClassCount] = {};
    bool m_bShrunk = false;
    int m_nNested = 0;
    int m_nClass5 = 0;
    int m_nPhase = 0;
};

class MemBTreeRandom : public testing::TestWithParam<Config> {};

TEST_P(MemBTreeRandom, MatchesTheModel)
{
    const Config c = GetParam();
    std::vector<unsigned int> vStarts;
    if (const char* psz = std::getenv("ZT_BTREE_START")) {
        vStarts.push_back(static_cast<unsigned int>(std::strtoul(psz, nullptr, 10)));
    } else {
        std::random_device rd;
        for (int i = 0; i < kStarts; i++)
            vStarts.push_back(rd());
    }
    for (unsigned int nStart : vStarts) {
        SCOPED_TRACE("start " + std::to_string(nStart) + " (replay with ZT_BTREE_START=" + std::to_string(nStart) + ")");
        CRun clRun(c, nStart);
        clRun.Run(kOperations);
        if (HasFailure())
            break;
    }
}

std::vector<Config> Configs()
{
    std::vector<Config> v;
    for (int nOrder : {2, 3, 32})
        for (unsigned int nKey : {1u, 4u, 13u})
            for (unsigned int nValue : {0u, 4u})
                v.push_back({nOrder, nKey, nValue});
    v.push_back({40, 4, 4}); // bucket bits over two words
    return v;
}

INSTANTIATE_TEST_SUITE_P(Shapes, MemBTreeRandom, testing::ValuesIn(Configs()),
                         [](const testing::TestParamInfo<Config>& i) {
                             return "Order" + std::to_string(i.param.nOrder) + "Key" + std::to_string(i.param.nKeySize)
                                    + "Value" + std::to_string(i.param.nValueSize);
                         });

} // namespace
