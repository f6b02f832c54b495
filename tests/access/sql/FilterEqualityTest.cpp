// Whether two filters are the same: what a count from a complete cache and
// a browse's refresh rely on. Bounds live in a filter's condition alone, so
// filters on the same item with other bounds must differ.
#include "access/sql/NAFilter.h"
#include "access/sql/NAFilterSave.h"
#include "tests/support/SearchObjects.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

class FilterEquality : public SearchRecordTest {
protected:
    void Describe(CTestTable& t) override
    {
        t.Add(L"N", NA_IT_I4, 4, CTestTable::DUPLICATES, true);
        t.Add(L"U", NA_IT_I4, 4, CTestTable::UNIQUE, true);
    }
    void TearDown() override
    {
        for (CNAFilter* p : m_tabFilter)
            p->nRelease();
        SearchRecordTest::TearDown();
    }
    // An active filter on the item between the bounds (null: none).
    CNAFilter* Filter(const wchar_t* pszItem, CAny* pLow, int bLowIn, CAny* pHigh, int bHighIn)
    {
        CNAFilter* p = new CCountedFilter(m_pError, m_pCnx);
        p->AddRef();
        m_tabFilter.push_back(p);
        EXPECT_EQ(p->bSetFilter(m_pRecord, Item(pszItem), pLow, bLowIn, pHigh, bHighIn, nullptr, 0), 1);
        p->ActivateFilter(1);
        return p;
    }
    std::vector<CNAFilter*> m_tabFilter;
};

} // namespace

TEST_F(FilterEquality, BoundsItemsAndInclusionsMakeFiltersDiffer)
{
    CNAFilter* pBase = Filter(L"N", I4(5), 1, I4(20), 1);
    const struct {
        const char* pszCase;
        CNAFilter* pOther;
        int bEqual;
    } cases[] = {
        {"the same bounds", Filter(L"N", I4(5), 1, I4(20), 1), 1},
        {"another upper bound", Filter(L"N", I4(5), 1, I4(12), 1), 0},
        {"another lower bound", Filter(L"N", I4(6), 1, I4(20), 1), 0},
        {"the upper bound left out", Filter(L"N", I4(5), 1, I4(20), 0), 0},
        {"the lower bound left out", Filter(L"N", I4(5), 0, I4(20), 1), 0},
        {"no upper bound", Filter(L"N", I4(5), 1, nullptr, 1), 0},
        {"another item", Filter(L"U", I4(5), 1, I4(20), 1), 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pszCase);
        EXPECT_EQ(pBase->bEqualsFilter(c.pOther), c.bEqual);
        EXPECT_EQ(c.pOther->bEqualsFilter(pBase), c.bEqual);
        EXPECT_EQ(CNAFilter::g_bEqualsFilter(pBase, c.pOther), c.bEqual);
        // A browse saved with the first filter sees the other as its own or not.
        CNAFilterSave clSave(pBase);
        EXPECT_EQ(clSave.bFilterEquals(c.pOther), c.bEqual);
    }
}
