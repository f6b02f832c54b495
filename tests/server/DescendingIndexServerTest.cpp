// Indexes with a descending part on the private server, through the table
// object as the host calls it: the description follows SHOW INDEX's
// direction of each part, and a browse on the key comes in the server's
// own index order, whole or in blocks of five, both ways.
#include "access/driver/NAItemDescription.h"
#include "access/statement/NATableCache.h"
#include "access/statement/NATableCacheIndex.h"
#include "tests/support/TableObjectServer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace tableobject;

class DescendingIndex : public TableObjectServer {
protected:
    DescendingIndex()
        : TableObjectServer("zt51di", {"CREATE TABLE d (id INT PRIMARY KEY, a INT NOT NULL, b VARCHAR(10) NOT NULL, "
                                       "c INT NOT NULL, KEY ixd (a, b DESC), KEY ixe (c DESC, a), KEY ib (b DESC), "
                                       "KEY ic (c)) CHARACTER SET utf8mb4"})
    {
    }
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(TableObjectServer::SetUp());
        // Few values of a and c, texts with '' among them: every part
        // decides somewhere, and ties fall to the primary key.
        std::string s = "INSERT INTO d VALUES ";
        for (int i = 1; i <= 37; i++) {
            const int k = i * 11 % 37;
            const std::string strB = k % 6 == 0 ? "" : "b" + std::to_string(k % 9);
            s += (i > 1 ? "," : "") + std::string("(") + std::to_string(i) + "," + std::to_string(k % 4) + ",'" + strB +
                 "'," + std::to_string(k % 3) + ")";
        }
        ASSERT_TRUE(Admin(s));
    }
    // The ids of the whole browse on the key, from its first or last record.
    static Rows Browse(INATable* pi, CHostContext* pContext, const wchar_t* pszKey, bool bForward,
                       unsigned int nFlags = 0)
    {
        Rows tab;
        EXPECT_EQ(pi->bHLitxxx(pContext, pszKey, bForward ? FIRST : LAST, 1, kNoLock, nullptr, nFlags), 1)
            << Error(pi, pContext);
        while (!Out(pi, pContext, pszKey) && tab.size() < 100) {
            tab.push_back(Value(pi, pContext, L"id"));
            EXPECT_EQ(pi->bHLitxxx(pContext, pszKey, bForward ? NEXT : PREVIOUS, 1, kNoLock, nullptr, nFlags), 1)
                << Error(pi, pContext);
        }
        return tab;
    }
};

TEST_F(DescendingIndex, EachPartDescribedInItsDirection)
{
    CHostContext* pContext = Context(1);
    INATable* pi = Open(L"d", pContext);
    ASSERT_NE(pi, nullptr);
    INADataSourceDescription* piDescription = Description(pi);
    struct SCase {
        const wchar_t* pszItem;
        int bKeyDescending;            // the key's own direction
        int abComponentDescending[2];  // each part's, for a composite key
    };
    for (const SCase& c : {SCase{L"ixd", 0, {0, 1}}, SCase{L"ixe", 0, {1, 0}}, SCase{L"b", 1, {}},
                           SCase{L"c", 0, {}}, SCase{L"a", 0, {}}}) {
        SCOPED_TRACE(Narrow(c.pszItem));
        INAItemDescription* piItem = piDescription->piNAGetItem(c.pszItem);
        ASSERT_NE(piItem, nullptr);
        const bool bComposite = piItem->bIsComposedKey() != 0;
        EXPECT_EQ(bComposite, c.pszItem[0] == L'i');
        EXPECT_EQ(piItem->bGetDescendant(-1), c.bKeyDescending);
        EXPECT_EQ(piItem->bGetAscendant(-1), c.pszItem[0] != L'a' && !c.bKeyDescending) << "a is no key";
        if (bComposite) {
            ASSERT_EQ(piItem->nGetNumComponents(), 2);
            for (int i = 1; i <= 2; i++) {
                EXPECT_EQ(piItem->bGetDescendant(i), c.abComponentDescending[i - 1]) << i;
                EXPECT_EQ(piItem->bGetAscendant(i), !c.abComponentDescending[i - 1]) << i;
            }
            EXPECT_EQ(piItem->bGetDescendant(3), 0) << "no third part";
            EXPECT_EQ(static_cast<CNAItemDescription*>(piItem)->nGetKeyFlags(),
                      CNAItemDescription::KF_DUPLICATES | CNAItemDescription::KF_ASCENDING |
                          CNAItemDescription::KF_COMPOSITE);
        } else if (c.pszItem[0] != L'a') {
            EXPECT_EQ(static_cast<CNAItemDescription*>(piItem)->nGetKeyFlags(),
                      CNAItemDescription::KF_DUPLICATES |
                          (c.bKeyDescending ? CNAItemDescription::KF_DESCENDING : CNAItemDescription::KF_ASCENDING));
        }
        piItem->nExternalRelease();
    }
}

// Whole and in blocks of five: each browse equals the server's ORDER BY of
// the index, the primary key breaking ties (in the direction of the key's
// own order), and the reverse browse its mirror.
TEST_F(DescendingIndex, BrowsesInTheServersIndexOrder)
{
    struct SCase {
        const wchar_t* pszKey;
        const char* pszOrder;
    };
    const SCase aCase[] = {{L"ixd", "a, b DESC, id"}, {L"ixe", "c DESC, a, id"}, {L"b", "b DESC, id DESC"},
                           {L"c", "c, id"}};
    for (const wchar_t* pszOptions : {L"", L"ZT Cache Size=5"}) {
        CHostConnectionDescription* pHost = HostOn(pszOptions, pszOptions[0] == 0 ? L"ztwhole" : L"ztfive");
        CHostContext* pContext = Context(pszOptions[0] == 0 ? 1 : 2);
        INATable* pi = Open(L"d", pContext, pHost);
        ASSERT_NE(pi, nullptr);
        for (const SCase& c : aCase) {
            SCOPED_TRACE(Narrow(c.pszKey) + " " + Narrow(pszOptions));
            const Rows tabServer = List("SELECT id FROM d ORDER BY " + std::string(c.pszOrder));
            ASSERT_EQ(tabServer.size(), 37u);
            EXPECT_EQ(Browse(pi, pContext, c.pszKey, true), tabServer);
            EXPECT_EQ(Browse(pi, pContext, c.pszKey, false), Rows(tabServer.rbegin(), tabServer.rend()));
        }
    }
}

// The whole-table cache, filled by the browse on the primary key, serves
// every other browse from its own index: the same orders as the server's,
// each part in its direction, both ways, with nothing sent.
TEST_F(DescendingIndex, TheTableCacheBrowsesInTheServersIndexOrder)
{
    constexpr unsigned int kCache = CNADataAccess::WPF_TABLE_CACHE;
    struct SCase {
        const wchar_t* pszKey;
        const char* pszOrder;
    };
    // Ties fall to the full cache's rows, in the order of the id browse.
    const SCase aCase[] = {{L"ixd", "a, b DESC, id"}, {L"ixe", "c DESC, a, id"}, {L"b", "b DESC, id DESC"},
                           {L"c", "c, id"}};
    CHostContext* pContext = Context(1);
    INATable* pi = Open(L"d", pContext);
    ASSERT_NE(pi, nullptr);
    // The id browse, opened without a read, has its record cache become
    // the table cache's.
    CNADataAccess* pAccess = Access(pi, pContext);
    ASSERT_EQ(pAccess->bSkipRecord(L"id", FIRST, 0, 0, kNoLock, nullptr, 0), 1) << Error(pi, pContext);
    CNAStatement* pId = StatementOf(pi, pContext, L"id");
    ASSERT_NE(pId, nullptr);
    ASSERT_TRUE(pAccess->_bCreateNewTableCache(pId));
    ASSERT_TRUE(pAccess->pclGetTableCacheNoRef()->bSetStatementParse(pId));
    ASSERT_EQ(Browse(pi, pContext, L"id", true, kCache), List("SELECT id FROM d ORDER BY id"));
    for (const SCase& c : aCase) {
        SCOPED_TRACE(Narrow(c.pszKey));
        const Rows tabServer = List("SELECT id FROM d ORDER BY " + std::string(c.pszOrder));
        ASSERT_EQ(tabServer.size(), 37u);
        Sent();
        EXPECT_EQ(Browse(pi, pContext, c.pszKey, true, kCache), tabServer);
        EXPECT_EQ(Browse(pi, pContext, c.pszKey, false, kCache), Rows(tabServer.rbegin(), tabServer.rend()));
        EXPECT_EQ(Sent(), std::vector<std::string>{}) << "served from the table cache";
        CNAStatement* pStatement = StatementOf(pi, pContext, c.pszKey);
        ASSERT_NE(pStatement, nullptr);
        EXPECT_NE(pStatement->pclGetTableCacheIndexNoRef(), nullptr);
    }
    EXPECT_TRUE(pAccess->bHasTableCache());
}

} // namespace
