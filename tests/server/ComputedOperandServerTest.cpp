// A computed item of a host query (an expression of its output list) is one
// value wherever the rewrite writes its expression in place of it: in the
// query's condition and GROUP BY (HAVING reads it by its name unless a
// column bears that name), in a search, a filter and a filter by a host
// condition on it, in the condition that finds a record again for a write,
// a return or a refresh, in the next block's anchor and in the count of the
// rows before a record. Items topped by OR, AND, a comparison, a sum and a
// sign, in both code pages, on tables without a key, with a unique key
// holding NULL and with a primary key, on the server road and from the
// whole-table cache. Judged by the rows the server holds after each write
// and by the same query written by hand with the item in parentheses.
#include "tests/support/SearchObjects.h"
#include "tests/support/TableObjectServer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using namespace tableobject;

constexpr unsigned int kCache = CNADataAccess::WPF_TABLE_CACHE;
enum eROAD { SERVER, CACHE };
enum eWRITE { RENAME, REMOVE };

// k has no key; ku's unique id holds NULL where k's id is 1, 3 or 6. Rows
// told apart by n alone, the first of them one a loose condition takes;
// with twins, two of them twice.
const char* const kRowsK = "(1, 'a', 3), (1, 'a', 7), (2, 'b', 10), (3, 'c', NULL), (4, 'd', 1), (1, 'a', 12), "
                           "(1, 'a', 0), (5, 'e', -4), (6, 'f', NULL)";
const char* const kRowsKU = "(NULL, 'a', 3), (NULL, 'a', 7), (2, 'b', 10), (NULL, 'c', NULL), (4, 'd', 1), "
                            "(NULL, 'a', 12), (NULL, 'a', 0), (5, 'e', -4), (NULL, 'f', NULL)";
const char* const kTwinsK = ", (1, 'a', 7), (6, 'f', NULL)";
const char* const kTwinsKU = ", (NULL, 'a', 7), (NULL, 'f', NULL)";

// An output item computed by the expression, named by the alias.
struct SItem {
    const char* pszExpression;
    const char* pszAlias;
};
const SItem kItems[] = {
    {"n < 2 OR n > 8", "o"}, {"n > 5 AND n < 9", "b"}, {"n >= 7", "g"}, {"n + 1", "s"}, {"- n", "m"},
};

class ComputedOperand : public TableObjectServer {
protected:
    ComputedOperand()
        : TableObjectServer("zt66op", {"CREATE TABLE k (id INT NULL, name VARCHAR(10) NULL, n INT NULL) "
                                       "CHARACTER SET utf8mb4",
                                       "CREATE TABLE ku (id INT NULL UNIQUE, name VARCHAR(10) NULL, n INT NULL) "
                                       "CHARACTER SET utf8mb4",
                                       "CREATE TABLE t (id INT NOT NULL PRIMARY KEY, name VARCHAR(20) NULL, n INT "
                                       "NULL) CHARACTER SET utf8mb4",
                                       "CREATE TABLE q (id INT NOT NULL PRIMARY KEY, n INT NULL, g INT NULL)"})
    {
    }
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(TableObjectServer::SetUp());
        // t: n from 1 to 30, ids out of order, names n0 to n4.
        std::string strRows = "INSERT INTO t VALUES ";
        for (int i = 1; i <= 30; i++)
            strRows += (i > 1 ? "," : "") + std::string("(") + std::to_string(i * 7 % 31) + ",'n" +
                       std::to_string(i % 5) + "'," + std::to_string(i) + ")";
        ASSERT_TRUE(Admin(strRows));
        // q: a column g beside the items named g.
        ASSERT_TRUE(Admin("INSERT INTO q VALUES (1, 4, 1), (2, 7, 1), (3, 9, 2), (4, 12, 2)"));
    }
    // The table's rows made anew, and a copy h to write by hand.
    void Reset(const char* pszTable, bool bTwins = false)
    {
        const std::string strTable = pszTable;
        const bool bK = strTable == "k";
        ASSERT_TRUE(Admin("DELETE FROM " + strTable));
        ASSERT_TRUE(Admin("INSERT INTO " + strTable + " VALUES " + (bK ? kRowsK : kRowsKU) +
                          (bTwins ? (bK ? kTwinsK : kTwinsKU) : "")));
        ASSERT_TRUE(Admin("DROP TABLE IF EXISTS h"));
        ASSERT_TRUE(Admin("CREATE TABLE h LIKE " + strTable));
        ASSERT_TRUE(Admin("INSERT INTO h SELECT * FROM " + strTable));
    }
    Rows Server(const std::string& strTable)
    {
        return List("SELECT CONCAT_WS('|', IFNULL(id, 'NULL'), name, IFNULL(n, 'NULL')) FROM " + strTable +
                    " ORDER BY id, name, n");
    }
    // The query on the road in a context of its own.
    INATable* Query(bool bUTF8, eROAD eRoad, const std::string& strText, CHostContext** ppc, int nBlock = 0)
    {
        *ppc = Context(++m_nContext);
        return QueryIn(bUTF8, eRoad == CACHE, Wide(strText), *ppc, {L"k", L"ku", L"t", L"q"}, nBlock);
    }
    // A host condition parsed over the catalogue of the last query run.
    ISQLParserInformation* Condition(const std::string& strText)
    {
        std::wstring strError;
        m_tabQueryParse.push_back(CHostSQLParse::pParse(Wide(strText).c_str(), m_tabQueryCatalogues.back().get(),
                                                        &m_clQueryValues, &strError));
        EXPECT_NE(m_tabQueryParse.back(), nullptr) << UTF8Of(strError);
        return m_tabQueryParse.back().get();
    }
    // A record as the host holds it: id, name and n.
    static std::string Record(INATable* pi, CHostContext* pc)
    {
        return Value(pi, pc, L"id") + "|" + Value(pi, pc, L"name") + "|" + Value(pi, pc, L"n");
    }
    // The browse on the item moved from its first record to the record
    // given; false when it is not met.
    static bool ReadTo(INATable* pi, CHostContext* pc, const wchar_t* pszItem, unsigned int nFlags,
                       const std::string& strRecord)
    {
        for (eNA_PARSEDIRECTION e = FIRST;; e = NEXT) {
            const int bRead = pi->bHLitxxx(pc, pszItem, e, 1, kNoLock, nullptr, nFlags);
            if (bRead != 1 || Out(pi, pc, pszItem))
                return false;
            if (Record(pi, pc) == strRecord)
                return true;
        }
    }
    // Each record of the browse on the item from one end to the other (at
    // most 50).
    static Rows Records(INATable* pi, CHostContext* pc, const wchar_t* pszItem, unsigned int nFlags, bool bBackward)
    {
        return Every(pi, pc, pszItem, nFlags, bBackward,
                     [&](int bRead) { return Record(pi, pc) + (bRead == 1 ? "" : " failed: " + Error(pi, pc)); });
    }
    // The ids the searches of the item found from the value on, as many as
    // stay found.
    static Rows Searched(INATable* pi, CHostContext* pc, const wchar_t* pszItem, int nValue)
    {
        const CInt v(nValue);
        Rows tab;
        int bRead = pi->bHRecherche(pc, pszItem, &v, 1, 1, kNoLock, nullptr, 1, 0);
        while (bRead == 1 && Found(pi, pc, pszItem) == 1 && tab.size() < 40) {
            tab.push_back(Value(pi, pc, L"id"));
            bRead = pi->bHLitxxx(pc, pszItem, NEXT, 1, kNoLock, nullptr, 0);
        }
        EXPECT_EQ(bRead, 1) << Error(pi, pc);
        return tab;
    }
    // The ids the browse on the item reads under the filter in force.
    static Rows Filtered(INATable* pi, CHostContext* pc, const wchar_t* pszItem)
    {
        return Every(pi, pc, pszItem, CNADataAccess::WPF_CONTINUE, false,
                     [&](int bRead) { return bRead == 1 ? Value(pi, pc, L"id") : "failed: " + Error(pi, pc); });
    }
    // Numbers in their order (texts of one length in theirs).
    static Rows Sorted(Rows tab)
    {
        std::sort(tab.begin(), tab.end(), [](const std::string& a, const std::string& b) {
            return a.size() != b.size() ? a.size() < b.size() : a < b;
        });
        return tab;
    }
    // The place of the current record in thousandths, as the host asks it.
    static int Place(INATable* pi, CHostContext* pc, const wchar_t* pszItem)
    {
        int n = -1;
        EXPECT_EQ(pi->bHPositionCourante(pc, pszItem, &n, kPrecision, 0), 1) << Error(pi, pc);
        return n;
    }
    // The query of the item over the table, and the server's order of its
    // browse on the item by hand, every row in the host's form.
    static std::string QueryOf(const SItem& c, const char* pszTable)
    {
        return std::string("SELECT id, name, n, ") + c.pszExpression + " AS " + c.pszAlias + " FROM " + pszTable;
    }
    Rows ByHand(const SItem& c, const char* pszTable, bool bBackward)
    {
        const std::string strDirection = bBackward ? " DESC" : "";
        return List(std::string("SELECT CONCAT_WS('|', IFNULL(id, 'NULL'), name, IFNULL(n, 'NULL')) FROM ") + pszTable +
                    " ORDER BY (" + c.pszExpression + ")" + strDirection + ", id" + strDirection + ", name" +
                    strDirection + ", n" + strDirection);
    }

    int m_nContext = 0;
};

std::string Trace(bool bUTF8, const std::string& strRest)
{
    return std::string(bUTF8 ? "UTF-8, " : "1252, ") + strRest;
}

} // namespace

// Without a key free of NULLs a record is found again by every item: a
// modify or a delete of it changes its row, as the same write by hand does,
// never the row a loose condition would take first.
TEST_F(ComputedOperand, AWriteChangesTheRowOfItsRecord)
{
    struct STarget {
        const char* pszTable;
        const char* pszRecord; // as the host holds it
        const char* pszWhere;  // its row, by hand
    };
    const STarget kTargets[] = {
        {"k", "1|a|7", "name = 'a' AND n = 7"},
        {"k", "6|f|NULL", "name = 'f'"},
        {"ku", "NULL|a|7", "name = 'a' AND n = 7"},
        {"ku", "NULL|f|NULL", "name = 'f'"},
    };
    for (const bool bUTF8 : {true, false}) {
        for (const SItem& c : kItems) {
            for (const STarget& d : kTargets) {
                for (const eROAD eRoad : {SERVER, CACHE}) {
                    for (const eWRITE eWrite : {RENAME, REMOVE}) {
                        SCOPED_TRACE(Trace(bUTF8, QueryOf(c, d.pszTable) + ", record " + d.pszRecord +
                                                      (eRoad == SERVER ? ", server" : ", cache") +
                                                      (eWrite == RENAME ? ", modify" : ", delete")));
                        ASSERT_NO_FATAL_FAILURE(Reset(d.pszTable));
                        CHostContext* pc = nullptr;
                        INATable* pi = Query(bUTF8, eRoad, QueryOf(c, d.pszTable), &pc);
                        ASSERT_NE(pi, nullptr);
                        ASSERT_TRUE(ReadTo(pi, pc, L"id", eRoad == CACHE ? kCache : 0, d.pszRecord));
                        if (eWrite == RENAME) {
                            PutItem(pi, pc, L"name", CHostText(L"z"));
                            EXPECT_EQ(pi->bHModifie(pc, 0, 0, kNoLock), 1) << Error(pi, pc);
                            ASSERT_TRUE(Admin(std::string("UPDATE h SET name = 'z' WHERE ") + d.pszWhere));
                        } else {
                            EXPECT_EQ(pi->bHSupprime(pc, 0, kNoLock), 1) << Error(pi, pc);
                            ASSERT_TRUE(Admin(std::string("DELETE FROM h WHERE ") + d.pszWhere));
                        }
                        EXPECT_EQ(Server(d.pszTable), Server("h"));
                    }
                }
            }
        }
    }
}

// The query's own condition, HAVING, GROUP BY and ORDER BY read a computed
// item as one value, its parameters and literals in their places: the rows
// and their count are those of the query by hand.
TEST_F(ComputedOperand, TheQuerysClausesReadTheItemAsOneValue)
{
    struct SRead {
        const char* pszQuery;
        const wchar_t* pszItem; // browsed
        const char* pszHand;    // its values, in any order
    };
    const SRead kReads[] = {
        {"SELECT id, n, n + 1 AS s FROM t WHERE s * 2 > 50", L"id", "SELECT id FROM t WHERE (n + 1) * 2 > 50"},
        {"SELECT id, n, n < 2 OR n > 28 AS o FROM t WHERE o AND id > 5", L"id",
         "SELECT id FROM t WHERE (n < 2 OR n > 28) AND id > 5"},
        {"SELECT id, n, n > 5 AND n < 9 AS b FROM t WHERE NOT b AND n < 12", L"id",
         "SELECT id FROM t WHERE NOT (n > 5 AND n < 9) AND n < 12"},
        {"SELECT id, n, n >= 20 AS g FROM t WHERE g * 3 = 3", L"id", "SELECT id FROM t WHERE (n >= 20) * 3 = 3"},
        {"SELECT id, n, - n AS m FROM t WHERE 0 - m > 25", L"id", "SELECT id FROM t WHERE 0 - (- n) > 25"},
        {"SELECT id, n, - n AS m FROM t WHERE m * m > 800 ORDER BY m", L"id", "SELECT id FROM t WHERE n * n > 800"},
        // A parameter and a literal of the item land in their places.
        {"SELECT id, n, n + {p} AS x FROM t WHERE x * 2 > 50", L"id", "SELECT id FROM t WHERE (n + 1) * 2 > 50"},
        {"SELECT id, n, CONCAT(name, '-') AS y, n + 1 AS s FROM t WHERE y = 'n1-' AND s * 2 > 20", L"id",
         "SELECT id FROM t WHERE name = 'n1' AND (n + 1) * 2 > 20"},
        // An item of the output list read by another.
        {"SELECT id, n + 1 AS s, s * 2 AS d FROM t WHERE d > 50", L"id", "SELECT id FROM t WHERE (n + 1) * 2 > 50"},
        // HAVING on an aggregate with a sum on top; GROUP BY an item.
        {"SELECT name, SUM(n) + 1 AS s FROM t GROUP BY name HAVING s * 2 > 200", L"name",
         "SELECT name FROM t GROUP BY name HAVING (SUM(n) + 1) * 2 > 200"},
        {"SELECT n < 10 OR n > 20 AS o, COUNT(*) AS c FROM t GROUP BY o", L"o",
         "SELECT n < 10 OR n > 20 FROM t GROUP BY 1"},
        // HAVING on an item of the group.
        {"SELECT n - 1 AS s, COUNT(*) AS c FROM t GROUP BY s HAVING s * 2 > 50 AND c = 1", L"s",
         "SELECT n - 1 AS s FROM t GROUP BY s HAVING s * 2 > 50 AND COUNT(*) = 1"},
        // HAVING where a column bears the item's name: the column is not read.
        {"SELECT SUM(id) AS g, n FROM q GROUP BY q.g, n HAVING g >= 3", L"g",
         "SELECT SUM(id) FROM q GROUP BY q.g, n HAVING SUM(id) >= 3"},
        {"SELECT MIN(id) AS g, n FROM q GROUP BY q.g, n HAVING g < 3", L"g",
         "SELECT MIN(id) FROM q GROUP BY q.g, n HAVING MIN(id) < 3"},
        {"SELECT SUM(a.id) AS G, a.n FROM t a JOIN q b ON a.id = b.id GROUP BY b.g, a.n HAVING G >= 3", L"G",
         "SELECT SUM(a.id) FROM t a JOIN q b ON a.id = b.id GROUP BY b.g, a.n HAVING SUM(a.id) >= 3"},
    };
    SetAs<int>(m_clQueryValues.Value(L"p"), TQTYPE_I4, 1);
    for (const bool bUTF8 : {true, false}) {
        for (const SRead& c : kReads) {
            SCOPED_TRACE(Trace(bUTF8, c.pszQuery));
            const Rows tabHand = Sorted(List(c.pszHand));
            ASSERT_FALSE(tabHand.empty());
            ASSERT_LT(tabHand.size(), 30u);
            CHostContext* pc = nullptr;
            INATable* pi = Query(bUTF8, SERVER, c.pszQuery, &pc);
            ASSERT_NE(pi, nullptr);
            EXPECT_EQ(Sorted(Every(pi, pc, c.pszItem, 0, false,
                                   [&](int bRead) {
                                       return bRead == 1 ? Value(pi, pc, c.pszItem) : "failed: " + Error(pi, pc);
                                   })),
                      tabHand);
            long long llCount = -1;
            EXPECT_EQ(pi->bHNbEnr(pc, &llCount, 0x10, 0), 1) << Error(pi, pc);
            EXPECT_EQ(llCount, static_cast<long long>(tabHand.size()));
        }
    }
}

// A search of a computed item, a filter between two of its values and a
// filter by a host condition on it take the rows the same condition by
// hand takes.
TEST_F(ComputedOperand, SearchesAndFiltersOnTheItemTakeItsRows)
{
    struct SSearch {
        const char* pszExpression;
        const wchar_t* pszAlias;
        int nValue;               // searched
        int nLow;                 // filtered from, included
        int nHigh;                // filtered up to, included
        const char* pszCondition; // a filter by a host condition
        const char* pszHand;      // the same by hand
    };
    const SSearch kSearches[] = {
        {"n < 2 OR n > 8", L"o", 1, 0, 0, "o = 0 AND n < 20", "(n < 2 OR n > 8) = 0 AND n < 20"},
        {"n > 5 AND n < 9", L"b", 0, 1, 1, "b = 0", "(n > 5 AND n < 9) = 0"},
        {"n >= 7", L"g", 0, 1, 1, "g * 3 = 3", "(n >= 7) * 3 = 3"},
        {"n + 1", L"s", 10, 5, 8, "s * 2 > 50", "(n + 1) * 2 > 50"},
        {"- n", L"m", -5, -8, -3, "0 - m > 25", "0 - (- n) > 25"},
        {"n + {p}", L"x", 10, 5, 8, "x * 2 > 50", "(n + 1) * 2 > 50"},
    };
    SetAs<int>(m_clQueryValues.Value(L"p"), TQTYPE_I4, 1);
    for (const bool bUTF8 : {true, false}) {
        for (const SSearch& c : kSearches) {
            const std::string strItem = UTF8Of(c.pszAlias);
            const std::string strQuery =
                std::string("SELECT id, name, n, ") + c.pszExpression + " AS " + strItem + " FROM t";
            const std::string strHand = std::string("(") + c.pszExpression + ")";
            const auto Hand = [&](const std::string& strCondition) {
                std::string s = strCondition;
                for (size_t i = s.find("{p}"); i != std::string::npos; i = s.find("{p}"))
                    s.replace(i, 3, "1");
                return Sorted(List("SELECT id FROM t WHERE " + s));
            };
            for (const eROAD eRoad : {SERVER, CACHE}) {
                SCOPED_TRACE(Trace(bUTF8, strQuery + (eRoad == SERVER ? ", server" : ", cache")));
                const unsigned int nFlags = eRoad == CACHE ? kCache : 0;
                CHostContext* pc = nullptr;
                INATable* pi = Query(bUTF8, eRoad, strQuery, &pc);
                ASSERT_NE(pi, nullptr);
                EXPECT_EQ(Sorted(Searched(pi, pc, c.pszAlias, c.nValue)),
                          Hand(strHand + " = " + std::to_string(c.nValue)));
                const CInt clLow(c.nLow), clHigh(c.nHigh);
                EXPECT_EQ(pi->bHFiltre(pc, c.pszAlias, &clLow, 1, &clHigh, 1, nullptr), 1) << Error(pi, pc);
                EXPECT_EQ(Sorted(Filtered(pi, pc, c.pszAlias)),
                          Hand(strHand + " BETWEEN " + std::to_string(c.nLow) + " AND " + std::to_string(c.nHigh)));
                EXPECT_EQ(pi->bHDesactiveFiltre(pc, c.pszAlias, nFlags), 1) << Error(pi, pc);
                wchar_t szItem[256] = L"";
                EXPECT_EQ(pi->bHFiltre(pc, Condition(std::string("SELECT * FROM t WHERE ") + c.pszCondition), szItem),
                          1)
                    << Error(pi, pc);
                EXPECT_EQ(Sorted(Filtered(pi, pc, szItem)), Hand(c.pszHand));
            }
        }
    }
}

// Read whole or in blocks of two rows, a browse on a computed item goes on
// from the last record of each block: every record once, twins too, in the
// order of the same query by hand, both ways. A return to the position
// saved on each record shows it again at its place among the rows (twins
// at the place of the first) and the browse reads on from it. Tables
// without a key, with a unique key holding NULL and with a primary key.
TEST_F(ComputedOperand, ABrowseOnTheItemReadsEveryRecordOnce)
{
    for (const bool bUTF8 : {true, false}) {
        for (const char* pszTable : {"k", "ku", "t"}) {
            if (std::string(pszTable) != "t") {
                ASSERT_NO_FATAL_FAILURE(Reset(pszTable, true));
            }
            for (const SItem& c : kItems) {
                const std::wstring strItem = Wide(c.pszAlias);
                const Rows tabForward = ByHand(c, pszTable, false);
                const Rows tabBackward = ByHand(c, pszTable, true);
                ASSERT_EQ(tabForward.size(), std::string(pszTable) == "t" ? 30u : 11u);
                for (const int nBlock : {2, 0}) {
                    for (const bool bBackward : {false, true}) {
                        SCOPED_TRACE(Trace(bUTF8, QueryOf(c, pszTable) + ", blocks of " + std::to_string(nBlock) +
                                                      (bBackward ? ", backward" : ", forward")));
                        CHostContext* pc = nullptr;
                        INATable* pi = Query(bUTF8, SERVER, QueryOf(c, pszTable), &pc, nBlock);
                        ASSERT_NE(pi, nullptr);
                        EXPECT_EQ(Records(pi, pc, strItem.c_str(), 0, bBackward), bBackward ? tabBackward : tabForward);
                        Rows tabBack;
                        const eNA_PARSEDIRECTION eOn = bBackward ? PREVIOUS : NEXT;
                        for (eNA_PARSEDIRECTION e = bBackward ? LAST : FIRST; tabBack.size() < tabForward.size() + 3;
                             e = eOn) {
                            if (pi->bHLitxxx(pc, strItem.c_str(), e, 1, kNoLock, nullptr, 0) == 1 &&
                                Out(pi, pc, strItem.c_str()))
                                break;
                            const std::string strRecord = Record(pi, pc);
                            tabBack.push_back(strRecord);
                            const int nPosition = Save(pi, pc, strItem.c_str());
                            pi->bHLitxxx(pc, strItem.c_str(), bBackward ? FIRST : LAST, 1, kNoLock, nullptr, 0);
                            EXPECT_EQ(pi->bHRetourPosition(pc, nPosition, nullptr, 0, 0), 1) << Error(pi, pc);
                            EXPECT_EQ(Record(pi, pc), strRecord);
                            const size_t nRank =
                                std::find(tabForward.begin(), tabForward.end(), strRecord) - tabForward.begin() + 1;
                            const size_t nRows = tabForward.size();
                            EXPECT_EQ(Place(pi, pc, strItem.c_str()),
                                      static_cast<int>((nRank * 1000 + nRows - 1) / nRows))
                                << strRecord;
                        }
                        EXPECT_EQ(tabBack, bBackward ? tabBackward : tabForward);
                    }
                }
            }
        }
    }
}

// A write of another record, read on another item, makes the browse on the
// computed item find its record again: read on from there, or brought back
// to it by a return, it reads on to its neighbours in the server's order,
// each once.
TEST_F(ComputedOperand, AWriteElsewhereLeavesTheBrowseOnItsRecord)
{
    for (const bool bUTF8 : {true, false}) {
        for (const char* pszTable : {"k", "ku"}) {
            for (const SItem& c : kItems) {
                for (const bool bReturn : {false, true}) {
                    for (const bool bBackward : {false, true}) {
                        SCOPED_TRACE(Trace(bUTF8, QueryOf(c, pszTable) + (bReturn ? ", return" : ", refresh") +
                                                      (bBackward ? ", back" : ", on")));
                        ASSERT_NO_FATAL_FAILURE(Reset(pszTable, true));
                        const std::wstring strItem = Wide(c.pszAlias);
                        CHostContext* pc = nullptr;
                        INATable* pi = Query(bUTF8, SERVER, QueryOf(c, pszTable), &pc);
                        ASSERT_NE(pi, nullptr);
                        const std::string strRecord = std::string(pszTable) == "k" ? "1|a|7" : "NULL|a|7";
                        ASSERT_TRUE(ReadTo(pi, pc, strItem.c_str(), 0, strRecord));
                        const int nPosition = Save(pi, pc, strItem.c_str());
                        // Another record renamed: (4, d, 1), read on name.
                        ASSERT_TRUE(ReadTo(pi, pc, L"name", 0, "4|d|1"));
                        PutItem(pi, pc, L"name", CHostText(L"d2"));
                        ASSERT_EQ(pi->bHModifie(pc, 0, 0, kNoLock), 1) << Error(pi, pc);
                        if (bReturn) {
                            EXPECT_EQ(pi->bHRetourPosition(pc, nPosition, nullptr, 1, 0), 1) << Error(pi, pc);
                            EXPECT_EQ(Record(pi, pc), strRecord);
                        }
                        const Rows tabOrder = ByHand(c, pszTable, false);
                        const auto it = std::find(tabOrder.begin(), tabOrder.end(), strRecord);
                        ASSERT_TRUE(it != tabOrder.end());
                        Rows tabSeen;
                        const eNA_PARSEDIRECTION eOn = bBackward ? PREVIOUS : NEXT;
                        while (tabSeen.size() < 14 &&
                               !(pi->bHLitxxx(pc, strItem.c_str(), eOn, 1, kNoLock, nullptr, 0) == 1 &&
                                 Out(pi, pc, strItem.c_str())))
                            tabSeen.push_back(Record(pi, pc));
                        EXPECT_EQ(tabSeen, bBackward ? Rows(std::make_reverse_iterator(it), tabOrder.rend())
                                                     : Rows(it + 1, tabOrder.end()));
                    }
                }
            }
        }
    }
}

// A computed item its record holds less exactly than the server (a FLOAT's
// six digits, a text's "?" on a 1252 connection) is compared by the
// server's form of its value, as its column is: through the query, with a
// key or without, an add writes the columns alone and a modify or a delete
// changes the row read (the last on c), never its twin.
TEST_F(ComputedOperand, AnItemHeldLessExactlyFindsItsRow)
{
    // c's type, c of the row read and of its twin, the item.
    const char* const kCases[][4] = {{"FLOAT", "1.000002", "1.000001", "IFNULL(c, c)"},
                                     {"FLOAT", "1.000002", "1.000001", "COALESCE(c)"},
                                     {"VARCHAR(10)", "_utf8mb4 X'78F09F9880'", "'x?'", "CONCAT(s, c)"}};
    const Rows kAfter[] = {{"1:1", "2:1", "3:3"}, {"2:1", "1:3"}, {"2:1"}};
    int nTable = 0;
    for (const bool bUTF8 : {true, false})
        for (const auto& c : kCases)
            for (const bool bKey : {false, true})
                for (int nWrite = 0; nWrite < 3; nWrite++) {
                    const std::string strTable = "w" + std::to_string(++nTable);
                    const std::string strQuery = std::string(bKey ? "SELECT id, " : "SELECT ") + "o, c, " + c[3] +
                                                 " AS w FROM " + strTable;
                    SCOPED_TRACE(Trace(bUTF8, strQuery + " " + std::to_string(nWrite)));
                    ASSERT_TRUE(Admin("CREATE TABLE " + strTable + " (id INT" + (bKey ? " PRIMARY KEY" : "") +
                                      ", o INT, c " + c[0] + ", s VARCHAR(8), d DATE)"));
                    ASSERT_TRUE(Admin("INSERT INTO " + strTable + " VALUES (1, 1, " + c[1] + ", 'xab', '2024-05-06'), " +
                                      "(2, 1, " + c[2] + ", 'xab', '2024-05-06')"));
                    CHostContext* pc = Context(++m_nContext);
                    INATable* pi = QueryIn(bUTF8, false, Wide(strQuery), pc, {Wide(strTable).c_str()});
                    ASSERT_NE(pi, nullptr);
                    ASSERT_EQ(pi->bHLitxxx(pc, L"c", LAST, 1, kNoLock, nullptr, 0), 1) << Error(pi, pc);
                    PutItem(pi, pc, L"o", CInt(3));
                    if (bKey)
                        PutItem(pi, pc, L"id", CInt(nWrite == 0 ? 3 : 1));
                    EXPECT_EQ(nWrite == 0   ? pi->bHAjoute(pc, 0, kNoLock)
                              : nWrite == 1 ? pi->bHModifie(pc, 0, 0, kNoLock)
                                            : pi->bHSupprime(pc, 0, kNoLock),
                              1)
                        << Error(pi, pc);
                    // An added row has no id without a key.
                    EXPECT_EQ(List("SELECT CONCAT(IFNULL(id, 3), ':', o) FROM " + strTable + " ORDER BY o, id"),
                              kAfter[nWrite]);
                }
}
