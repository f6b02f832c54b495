// Indexes with a descending part on the private server, through the table
// object as the host calls it: the description follows SHOW INDEX's
// direction of each part, and a browse on the key comes in the server's
// own index order, whole or in blocks of five, both ways.
#include "access/driver/NAItemDescription.h"
#include "access/statement/NATableCache.h"
#include "access/statement/NATableCacheIndex.h"
#include "tests/support/TableObjectServer.h"

#include <gtest/gtest.h>

#include <cstring>
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
    // The table opened with a whole-table cache: the id browse, opened
    // without a read, has its record cache become the table cache's.
    void OpenWithTableCache(CHostContext* pContext, INATable** ppi)
    {
        INATable* pi = Open(L"d", pContext);
        ASSERT_NE(pi, nullptr);
        CNADataAccess* pAccess = Access(pi, pContext);
        ASSERT_EQ(pAccess->bSkipRecord(L"id", FIRST, 0, 0, kNoLock, nullptr, 0), 1) << Error(pi, pContext);
        CNAStatement* pId = StatementOf(pi, pContext, L"id");
        ASSERT_NE(pId, nullptr);
        ASSERT_TRUE(pAccess->_bCreateNewTableCache(pId));
        ASSERT_TRUE(pAccess->pclGetTableCacheNoRef()->bSetStatementParse(pId));
        ASSERT_EQ(Browse(pi, pContext, L"id", true, CNADataAccess::WPF_TABLE_CACHE), List("SELECT id FROM d ORDER BY id"));
        *ppi = pi;
    }
};

// A composite key's value as the host gives it: each part in its field,
// one after the other, a 4-byte integer and a text of 16-bit units in a
// field of 10 units; nBytes of it (the whole by default).
void Image(CAny& v, std::initializer_list<int> tabNumber, const std::wstring& strText = L"", bool bText = false,
           size_t nBytes = 0)
{
    std::vector<unsigned char> aby;
    for (int n : tabNumber) {
        const size_t nAt = aby.size();
        aby.resize(nAt + 4);
        std::memcpy(&aby[nAt], &n, 4);
    }
    if (bText) {
        const size_t nAt = aby.size();
        aby.resize(nAt + 20, 0);
        for (size_t i = 0; i < strText.size(); i++)
            aby[nAt + 2 * i] = static_cast<unsigned char>(strText[i]);
    }
    if (nBytes != 0)
        aby.resize(nBytes);
    v.__SetType(TQTYPE_BIN, 0);
    v.pclGetTraitement()->SetValue(aby.data(), static_cast<unsigned int>(aby.size()));
}

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
    INATable* pi = nullptr;
    ASSERT_NO_FATAL_FAILURE(OpenWithTableCache(pContext, &pi));
    CNADataAccess* pAccess = Access(pi, pContext);
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

// Searches served by the table cache on composite keys and on a
// descending key land where the server's rows say: the first (or last)
// row in the key's order that holds the value, or begins with the prefix,
// and for a value absent the next row after its place; nothing is sent.
TEST_F(DescendingIndex, TheTableCacheSearchesAsTheServersRowsSay)
{
    constexpr unsigned int kCache = CNADataAccess::WPF_TABLE_CACHE;
    CHostContext* pContext = Context(1);
    INATable* pi = nullptr;
    ASSERT_NO_FATAL_FAILURE(OpenWithTableCache(pContext, &pi));
    struct SCase {
        const wchar_t* pszKey;
        std::initializer_list<int> tabNumber;
        const wchar_t* pszText; // null: no text part
        size_t nBytes;          // of the image, 0 the whole
        int bExact;
        const char* pszWhere;
        const char* pszOrder;   // the key's order; its mirror for the last row
        const char* pszMirror;
        int nFound;             // -1: not checked
    };
    const char* pszD = "a, b DESC, id";
    const char* pszDMirror = "a DESC, b, id DESC";
    const char* pszE = "c DESC, a, id";
    const char* pszEMirror = "c, a DESC, id DESC";
    const SCase aCase[] = {
        // Both parts, exact: the rows of the pair.
        {L"ixd", {2}, L"b4", 0, 1, "a = 2 AND b = 'b4'", pszD, pszDMirror, -1},
        {L"ixd", {1}, L"b5", 0, 1, "a = 1 AND b = 'b5'", pszD, pszDMirror, -1},
        {L"ixe", {1, 2}, nullptr, 0, 1, "c = 1 AND a = 2", pszE, pszEMirror, 1},
        {L"ixe", {2, 0}, nullptr, 0, 1, "c = 2 AND a = 0", pszE, pszEMirror, 1},
        // A pair absent: from the next row after its place (the first one
        // before it from the end), b descending within a.
        {L"ixd", {2}, L"b3", 0, 1, "a > 2 OR (a = 2 AND b < 'b3')", pszD, nullptr, 0},
        {L"ixd", {2}, L"b3", 0, 1, "a < 2 OR (a = 2 AND b > 'b3')", nullptr, pszDMirror, 0},
        // Generic: the last part given is a prefix, the parts left out any.
        {L"ixd", {2}, L"b", 6, 0, "a = 2 AND b LIKE 'b%'", pszD, pszDMirror, 1},
        {L"ixd", {0}, L"b", 6, 0, "a = 0 AND b LIKE 'b%'", pszD, pszDMirror, 1},
        {L"ixd", {1}, nullptr, 4, 0, "a = 1", pszD, pszDMirror, 1},
        {L"ixe", {1}, nullptr, 4, 0, "c = 1", pszE, pszEMirror, 1},
        {L"ixe", {0}, nullptr, 4, 0, "c = 0", pszE, pszEMirror, 1},
    };
    for (const SCase& c : aCase) {
        CAny v;
        Image(v, c.tabNumber, c.pszText != nullptr ? c.pszText : L"", c.pszText != nullptr, c.nBytes);
        for (int bFirst = 1; bFirst >= 0; bFirst--) {
            const char* pszOrder = bFirst ? c.pszOrder : c.pszMirror;
            if (pszOrder == nullptr)
                continue;
            SCOPED_TRACE(Narrow(c.pszKey) + " WHERE " + c.pszWhere + (bFirst ? " first" : " last"));
            const std::string strExpected =
                First("SELECT id FROM d WHERE " + std::string(c.pszWhere) + " ORDER BY " + pszOrder + " LIMIT 1");
            ASSERT_FALSE(strExpected.empty());
            Sent();
            ASSERT_EQ(pi->bHRecherche(pContext, c.pszKey, &v, c.bExact, 0, kNoLock, nullptr, bFirst, kCache), 1)
                << Error(pi, pContext);
            EXPECT_EQ(Value(pi, pContext, L"id"), strExpected);
            if (c.nFound >= 0) {
                EXPECT_EQ(Found(pi, pContext, c.pszKey), c.nFound);
            }
            EXPECT_EQ(Sent(), std::vector<std::string>{}) << "served from the table cache";
            CNAStatement* pStatement = StatementOf(pi, pContext, c.pszKey);
            ASSERT_NE(pStatement, nullptr);
            EXPECT_NE(pStatement->pclGetTableCacheIndexNoRef(), nullptr);
        }
    }
}

// A prefix on the descending key from the table cache: the first row in
// the key's order that begins with it, the browse going on from there as
// the server's; from the end, the last of them.
TEST_F(DescendingIndex, APrefixOnTheDescendingKeyFromTheTableCache)
{
    constexpr unsigned int kCache = CNADataAccess::WPF_TABLE_CACHE;
    CHostContext* pContext = Context(1);
    INATable* pi = nullptr;
    ASSERT_NO_FATAL_FAILURE(OpenWithTableCache(pContext, &pi));
    for (const wchar_t* pszPrefix : {L"b", L"b4", L"b0", L"b9"}) {
        const std::string strPrefix = Narrow(pszPrefix);
        SCOPED_TRACE(strPrefix);
        const std::string strLike = "b LIKE '" + strPrefix + "%'";
        const bool bAny = First("SELECT COUNT(*) FROM d WHERE " + strLike) != "0";
        const CHostText clPrefix(pszPrefix);
        Sent();
        ASSERT_EQ(pi->bHRecherche(pContext, L"b", &clPrefix, 0, 0, kNoLock, nullptr, 1, kCache), 1)
            << Error(pi, pContext);
        EXPECT_EQ(Found(pi, pContext, L"b"), bAny ? 1 : 0);
        // What follows in the key's order, the row found first.
        const std::string strFrom = bAny ? strLike : "b < '" + strPrefix + "'";
        const Rows tabRest = List("SELECT id FROM d WHERE b < '" + strPrefix + "' OR " + strFrom +
                                  " ORDER BY b DESC, id DESC");
        ASSERT_FALSE(tabRest.empty());
        Rows tab;
        while (!Out(pi, pContext, L"b") && tab.size() < 40) {
            tab.push_back(Value(pi, pContext, L"id"));
            ASSERT_EQ(pi->bHLitxxx(pContext, L"b", NEXT, 1, kNoLock, nullptr, kCache), 1) << Error(pi, pContext);
        }
        EXPECT_EQ(tab, tabRest);
        if (bAny) {
            ASSERT_EQ(pi->bHRecherche(pContext, L"b", &clPrefix, 0, 0, kNoLock, nullptr, 0, kCache), 1)
                << Error(pi, pContext);
            EXPECT_EQ(Found(pi, pContext, L"b"), 1);
            EXPECT_EQ(Value(pi, pContext, L"id"),
                      First("SELECT id FROM d WHERE " + strLike + " ORDER BY b, id LIMIT 1"));
        }
        EXPECT_EQ(Sent(), std::vector<std::string>{}) << "served from the table cache";
    }
    // An empty prefix is the empty text, as the server's own search takes it.
    const CHostText clEmpty(L"");
    for (int bFirst = 1; bFirst >= 0; bFirst--) {
        ASSERT_EQ(pi->bHRecherche(pContext, L"b", &clEmpty, 0, 0, kNoLock, nullptr, bFirst, kCache), 1)
            << Error(pi, pContext);
        EXPECT_EQ(Found(pi, pContext, L"b"), 1);
        EXPECT_EQ(Value(pi, pContext, L"id"), First(std::string("SELECT id FROM d WHERE b = '' ORDER BY ") +
                                                    (bFirst ? "b DESC, id DESC" : "b, id") + " LIMIT 1"));
    }
}

} // namespace
