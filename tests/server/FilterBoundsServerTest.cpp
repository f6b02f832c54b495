// A filter whose bound the item cannot take, on the private server: it is
// refused with the reason (not as a lack of memory), and the filter in
// force before stays the one that limits the browse.
#include "common/platform/MyModuleInfo.h"
#include "tests/support/TableObjectServer.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace tableobject;

class FilterBounds : public TableObjectServer {
protected:
    FilterBounds()
        : TableObjectServer("zt41fb", {"CREATE TABLE t (id INT PRIMARY KEY, name VARCHAR(20) NOT NULL, KEY(name))",
                                       "INSERT INTO t VALUES (7, 'ABC'), (3, 'B'), (5, 'AA'), (9, 'AZ'), (1, 'C'), "
                                       "(4, 'BA'), (8, 'CA'), (2, 'D')"})
    {
    }
};

TEST_F(FilterBounds, ABoundTheItemCannotTakeIsRefused)
{
    CHostContext* pContext = Context(1);
    INATable* pi = Open(L"t", pContext);
    ASSERT_NE(pi, nullptr);
    CNADataAccess* p = Access(pi, pContext);
    const CHostText vMin(L"B"), vMax(L"CA");
    ASSERT_EQ(pi->bHFiltre(pContext, L"name", &vMin, 1, &vMax, 1, nullptr), 1) << Error(pi, pContext);
    const CNAFilter* pLatest = p->pclGetLatestFilterNoRef();
    ASSERT_NE(pLatest, nullptr);

    const CHostText vText(L"x");
    const CInt vInt(5);
    EXPECT_EQ(pi->bHFiltre(pContext, L"id", &vText, 1, &vInt, 1, nullptr), 0);
    EXPECT_EQ(ErrorOf(pi, pContext)->nGetUserErrorCode(), static_cast<unsigned int>(ZTERR_CONVERSION));
    EXPECT_NE(Error(pi, pContext).find("(value: x)"), std::string::npos) << Error(pi, pContext);
    EXPECT_EQ(p->pclGetLatestFilterNoRef(), pLatest);
    EXPECT_EQ(Walk(pi, pContext, L"name", L"name"),
              List("SELECT name FROM t WHERE name >= 'B' AND name <= 'CA' ORDER BY name"));

    // A search for such a value says the same.
    EXPECT_EQ(pi->bHRecherche(pContext, L"id", &vText, 1, 0, kNoLock, nullptr, 1, 0), 0);
    EXPECT_EQ(ErrorOf(pi, pContext)->nGetUserErrorCode(), static_cast<unsigned int>(ZTERR_CONVERSION))
        << Error(pi, pContext);
}

} // namespace
