// The automatic identifier's life: both internal queries given back by the
// destructor and by their closing operations (the values are asked of the
// server in tests/server/WriteServerTest.cpp).
#include "access/table/NAIDAuto.h"

#include "access/driver/NAError.h"
#include "access/table/NAInternalParse.h"
#include "common/platform/MyModuleInfo.h"
#include "common/platform/XError.h"
#include "common/text/XYStringConcat.h"
#include "common/values/Any.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

// An internal query that counts its end.
class CCountedQuery : public CNAInternalParse {
public:
    explicit CCountedQuery(int* pnDestroyed) : CNAInternalParse(nullptr, nullptr), m_pnDestroyed(pnDestroyed)
    {
        m_nRefCount = 1;
    }
    ~CCountedQuery() override { (*m_pnDestroyed)++; }

private:
    int* m_pnDestroyed;
};

// The two fields planted.
class CPlanted : public CNAIDAuto {
public:
    void Plant(CNAInternalParse* pNext, CNAInternalParse* pMax)
    {
        m_pclNextValueQuery = pNext;
        m_pclMaxCurrentValueQuery = pMax;
    }
    bool bEmpty() const { return m_pclNextValueQuery == nullptr && m_pclMaxCurrentValueQuery == nullptr; }
};

} // namespace

TEST(NAIDAuto, DestructorAndClosingGiveTheQueriesBack)
{
    int nDestroyed = 0;
    CPlanted* p = new CPlanted;
    p->AddRef();
    p->Plant(new CCountedQuery(&nDestroyed), new CCountedQuery(&nDestroyed));
    p->_CloseInternalParseNextValue();
    EXPECT_EQ(nDestroyed, 1);
    p->_CloseInternalParseNextValue();
    EXPECT_EQ(nDestroyed, 1) << "nothing left to close";
    p->_CloseInternalParseMaxCurrentValue();
    EXPECT_EQ(nDestroyed, 2);
    EXPECT_TRUE(p->bEmpty());
    p->Plant(new CCountedQuery(&nDestroyed), new CCountedQuery(&nDestroyed));
    EXPECT_EQ(p->nRelease(), 0u);
    EXPECT_EQ(nDestroyed, 4) << "the destructor closes both";
}
