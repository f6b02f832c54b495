// Cancelling a search by its item's name on the private server: the
// search's own condition goes, so the browse reads on as found, while the
// user search stays; another item's search is left alone.
#include "access/table/NAUserSearch.h"
#include "tests/support/TableObjectServer.h"

#include <gtest/gtest.h>

namespace {

using namespace tableobject;

class SearchCancel : public TableObjectServer {
protected:
    SearchCancel()
        : TableObjectServer("zt41sx", {"CREATE TABLE t (id INT PRIMARY KEY, name VARCHAR(20) NOT NULL, KEY(name))",
                                       "INSERT INTO t VALUES (7, 'ABC'), (3, 'B'), (5, 'AA'), (9, 'AZ'), (1, 'C')"})
    {
    }
};

TEST_F(SearchCancel, ByTheItemsName)
{
    CHostContext* pContext = Context(1);
    INATable* pi = Open(L"t", pContext);
    ASSERT_NE(pi, nullptr);
    const CHostText ab(L"AB");
    const CInt three(3);
    ASSERT_EQ(pi->bHRecherche(pContext, L"id", &three, 1, 0, kNoLock, nullptr, 1, 0), 1) << Error(pi, pContext);
    ASSERT_EQ(pi->bHRecherche(pContext, L"name", &ab, 1, 0, kNoLock, nullptr, 1, 0), 1) << Error(pi, pContext);
    ASSERT_EQ(Found(pi, pContext, L"name"), 0);
    // The id browse is the one named: name's search stays.
    ASSERT_EQ(pi->bHAnnuleRecherche(pContext, L"id"), 1);
    ASSERT_EQ(Read(pi, pContext, L"name", NEXT), 1) << Error(pi, pContext);
    EXPECT_EQ(Found(pi, pContext, L"name"), 0);

    ASSERT_EQ(pi->bHRecherche(pContext, L"name", &ab, 1, 0, kNoLock, nullptr, 1, 0), 1) << Error(pi, pContext);
    ASSERT_EQ(Read(pi, pContext, L"id", FIRST), 1) << Error(pi, pContext);
    ASSERT_EQ(pi->bHAnnuleRecherche(pContext, L"name"), 1);
    ASSERT_EQ(Read(pi, pContext, L"name", NEXT), 1) << Error(pi, pContext);
    EXPECT_FALSE(Out(pi, pContext, L"name"));
    EXPECT_EQ(Found(pi, pContext, L"name"), 1);
    EXPECT_NE(StatementOf(pi, pContext, L"name")->pclGetUserSearch()->piGetItemNoRef(), nullptr);
}

} // namespace
