// A write of one record through the table object changes that record's row
// and no other: twin rows without a unique key, rows told apart by a memo
// only, a unique composite key with a NULL part, FLOAT and DOUBLE values
// found again as the server stores them, and a delete of a row gone
// elsewhere refused. Every result is judged by the server's own rows.
#include "access/sql/NAExpression.h"
#include "access/statement/NARecordValue.h"
#include "common/platform/MyModuleInfo.h"
#include "tests/support/TableObjectServer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

using namespace tableobject;

class RecordWrite : public TableObjectServer {
protected:
    RecordWrite()
        : TableObjectServer(
              "zt50rw",
              {"CREATE TABLE tw (a INT, b VARCHAR(10), KEY (a)) ENGINE=InnoDB",
               "INSERT INTO tw VALUES (1, 'x'), (1, 'x'), (2, 'y')",
               "CREATE TABLE tm (a INT, t TEXT, bl BLOB, KEY (a)) ENGINE=InnoDB",
               "INSERT INTO tm VALUES (1, 'p', x'00'), (1, 'q', x'00'), (2, 'r', x'01'), (2, 'r', x'02')",
               "CREATE TABLE tu (ca INT NULL, cb INT NULL, v INT, UNIQUE KEY kc (ca, cb), KEY (v)) ENGINE=InnoDB",
               "INSERT INTO tu VALUES (NULL, 1, 5), (NULL, 1, 5), (2, 1, 7)",
               "CREATE TABLE tf (f FLOAT, d DOUBLE, v INT, w INT, KEY (v)) ENGINE=InnoDB",
               "INSERT INTO tf (f, d, v) VALUES (0.1, 0.1, 1), (3.14159, 0.30000000000000004, 2), "
               "(16777217, 1e300, 3), (-1.17549e-38, 5e-324, 4), (0, -2.5, 5), (123456.7, 1.0000000000000002, 6)",
               "CREATE TABLE tk (id INT PRIMARY KEY, v INT) ENGINE=InnoDB",
               "INSERT INTO tk VALUES (1, 10), (2, 20)",
               "CREATE TABLE tn (m DECIMAL(30,20), d DOUBLE, v INT, w INT, KEY (v)) ENGINE=InnoDB",
               "INSERT INTO tn (m, d, v) VALUES (0.12345678901234567891, 0.5, 1), (0.12345678901234567890, 0.5, 1), "
               "(7, 1.0000001, 2), (7, 1.0000002, 2)",
               "CREATE TABLE tg (a INT NOT NULL, f FLOAT NOT NULL, v INT, w INT, UNIQUE KEY kf (a, f), KEY (v)) "
               "ENGINE=InnoDB",
               "INSERT INTO tg (a, f, v) VALUES (1, 1.000001, 1), (1, 1.000002, 2)",
               "CREATE TABLE tz (o INT, f FLOAT, KEY (o)) ENGINE=InnoDB",
               "INSERT INTO tz VALUES (1, 1.000001), (1, 1.000002)",
               "CREATE TABLE tj (o INT, c VARCHAR(10) CHARACTER SET greek, KEY (o)) ENGINE=InnoDB",
               "INSERT INTO tj VALUES (1, _utf8mb4 X'CEA9'), (1, '?')",
               "CREATE TABLE tx (o INT, c VARCHAR(10) CHARACTER SET latin1, KEY (o)) ENGINE=InnoDB",
               "INSERT INTO tx VALUES (1, 'x'), (2, _utf8mb4 X'C3A9'), (3, 'x')",
               "CREATE TABLE tt (o INT, c TIMESTAMP NULL, KEY (o)) ENGINE=InnoDB",
               "INSERT INTO tt VALUES (1, '2024-10-27 02:30:00'), (1, '2024-10-27 02:31:00')",
               "CREATE TABLE tq (id INT, v VARCHAR(8), f FLOAT) ENGINE=InnoDB",
               "INSERT INTO tq VALUES (1, 'a', 1.5), (2, 'A', 1.5), (3, 'b', 2.5)",
               "CREATE TABLE kf (id INT AUTO_INCREMENT PRIMARY KEY, o INT, c FLOAT)", "CREATE TABLE kt (o INT, c FLOAT)",
               "CREATE TABLE jf (id INT PRIMARY KEY, o INT, c FLOAT)", "INSERT INTO jf VALUES (1, 1, 1)"})
    {
    }
    static bool EndsWithLimit(const std::string& s)
    {
        return s.size() >= 8 && s.compare(s.size() - 8, 8, " LIMIT 1") == 0;
    }
    // A host query, its items read in order, and the query written by hand
    // that reads the same rows (the items joined by "/").
    struct SByHand {
        const wchar_t* pszQuery;
        std::vector<const wchar_t*> tabItems;
        const char* pszHand;
    };
    // Over the tables named, in both code pages, each query reads the rows
    // of its query written by hand, and each of the others is refused with
    // user error 48, nothing sent.
    void ExpectRowsByHand(const std::vector<SByHand>& tabCase, std::initializer_list<STableName> tabTables,
                          const std::vector<const wchar_t*>& tabRefused)
    {
        unsigned int nContext = 0;
        for (const bool bUTF8 : {true, false}) {
            for (const SByHand& k : tabCase) {
                SCOPED_TRACE(Narrow(k.pszQuery) + (bUTF8 ? " in UTF-8" : " in 1252"));
                CHostContext* pc = Context(++nContext);
                INATable* pi = QueryIn(bUTF8, false, k.pszQuery, pc, tabTables);
                if (pi == nullptr)
                    continue; // failed: QueryIn says why
                Rows tabRead = Every(pi, pc, k.tabItems.front(), 0, false, [&](int bRead) {
                    std::string s = bRead == 1 ? "" : Error(pi, pc);
                    for (const wchar_t* pszItem : k.tabItems)
                        s += (pszItem == k.tabItems.front() ? "" : "/") + Value(pi, pc, pszItem);
                    return s;
                });
                std::sort(tabRead.begin(), tabRead.end());
                Rows tabHand = List(k.pszHand);
                std::sort(tabHand.begin(), tabHand.end());
                ASSERT_FALSE(tabHand.empty());
                EXPECT_EQ(tabRead, tabHand);
            }
            // The tables are described once a query on them ran.
            const wchar_t* pszFirst = tabTables.begin()->pszLogical;
            ASSERT_NE(QueryIn(bUTF8, false, std::wstring(L"SELECT * FROM ") + pszFirst, Context(++nContext), tabTables),
                      nullptr);
            for (const wchar_t* pszQuery : tabRefused)
                EXPECT_EQ(QueryRefusal(HostIn(bUTF8), Context(++nContext), pszQuery),
                          static_cast<unsigned int>(ZTERR_EXPRESSION_REFUSED))
                    << Narrow(pszQuery) << (bUTF8 ? " in UTF-8 " : " in 1252 ") << Report();
        }
    }
};

// Two equal rows and no unique key: a delete takes one, a modify changes
// one, and each sends its statement with LIMIT 1.
TEST_F(RecordWrite, TwinRowsWithoutAUniqueKey)
{
    CHostContext* pc = Context(1);
    INATable* pi = Open(L"tw", pc);
    ASSERT_NE(pi, nullptr);
    ASSERT_EQ(Read(pi, pc, L"a", FIRST), 1) << Error(pi, pc);
    SetItem(pi, pc, L"b", L"z");
    Sent();
    ASSERT_EQ(pi->bHModifie(pc, 0, 0, kNoLock), 1) << Error(pi, pc);
    const Rows tabModify = Writes();
    ASSERT_EQ(tabModify.size(), 1u);
    EXPECT_TRUE(EndsWithLimit(tabModify[0])) << tabModify[0];
    EXPECT_EQ(List("SELECT CONCAT(a, b) FROM tw ORDER BY a, b"), (Rows{"1x", "1z", "2y"}));

    // The twin left as it was: read on and deleted, then the other.
    ASSERT_EQ(Read(pi, pc, L"a", FIRST), 1) << Error(pi, pc);
    for (int i = 0; i < 3 && Value(pi, pc, L"b") != "x"; i++)
        ASSERT_EQ(Read(pi, pc, L"a", NEXT), 1) << Error(pi, pc);
    ASSERT_EQ(Value(pi, pc, L"b"), "x");
    ASSERT_EQ(pi->bHSupprime(pc, 0, kNoLock), 1) << Error(pi, pc);
    const Rows tabDelete = Writes();
    ASSERT_EQ(tabDelete.size(), 1u);
    EXPECT_TRUE(EndsWithLimit(tabDelete[0])) << tabDelete[0];
    EXPECT_EQ(List("SELECT CONCAT(a, b) FROM tw ORDER BY a, b"), (Rows{"1z", "2y"}));
}

TEST_F(RecordWrite, EqualTwinsDeletedOneByOne)
{
    CHostContext* pc = Context(1);
    INATable* pi = Open(L"tw", pc);
    ASSERT_NE(pi, nullptr);
    ASSERT_EQ(Read(pi, pc, L"a", FIRST), 1) << Error(pi, pc);
    ASSERT_EQ(pi->bHSupprime(pc, 0, kNoLock), 1) << Error(pi, pc);
    EXPECT_EQ(List("SELECT CONCAT(a, b) FROM tw ORDER BY a, b"), (Rows{"1x", "2y"}));
    ASSERT_EQ(Read(pi, pc, L"a", FIRST), 1) << Error(pi, pc);
    ASSERT_EQ(pi->bHSupprime(pc, 0, kNoLock), 1) << Error(pi, pc);
    EXPECT_EQ(List("SELECT CONCAT(a, b) FROM tw ORDER BY a, b"), (Rows{"2y"}));
}

// Rows that differ only in a TEXT or a BLOB: one row per write.
TEST_F(RecordWrite, RowsThatDifferOnlyInAMemo)
{
    CHostContext* pc = Context(1);
    INATable* pi = Open(L"tm", pc);
    ASSERT_NE(pi, nullptr);
    ASSERT_EQ(Read(pi, pc, L"a", FIRST), 1) << Error(pi, pc);
    ASSERT_EQ(pi->bHSupprime(pc, 0, kNoLock), 1) << Error(pi, pc);
    EXPECT_EQ(First("SELECT COUNT(*) FROM tm WHERE a = 1"), "1");
    EXPECT_EQ(First("SELECT COUNT(*) FROM tm"), "3");

    // The rows of a = 2 differ by their BLOB only.
    ASSERT_EQ(Read(pi, pc, L"a", LAST), 1) << Error(pi, pc);
    ASSERT_EQ(Value(pi, pc, L"a"), "2");
    SetItem(pi, pc, L"a", L"3");
    ASSERT_EQ(pi->bHModifie(pc, 0, 0, kNoLock), 1) << Error(pi, pc);
    EXPECT_EQ(List("SELECT a FROM tm ORDER BY a"), (Rows{"1", "2", "3"}));
    EXPECT_EQ(First("SELECT COUNT(*) FROM tm WHERE a = 3 AND t = 'r'"), "1");
}

// A unique key with a NULL part finds both (NULL, 1) rows: each write takes
// one of them; the complete key (2, 1) finds its row alone, without LIMIT.
TEST_F(RecordWrite, AUniqueCompositeKeyWithANullPart)
{
    CHostContext* pc = Context(1);
    INATable* pi = Open(L"tu", pc);
    ASSERT_NE(pi, nullptr);
    ASSERT_EQ(Read(pi, pc, L"v", FIRST), 1) << Error(pi, pc);
    ASSERT_EQ(Value(pi, pc, L"v"), "5");
    SetItem(pi, pc, L"v", L"6");
    Sent();
    ASSERT_EQ(pi->bHModifie(pc, 0, 0, kNoLock), 1) << Error(pi, pc);
    Rows tab = Writes();
    ASSERT_EQ(tab.size(), 1u);
    EXPECT_TRUE(EndsWithLimit(tab[0])) << tab[0];
    EXPECT_EQ(List("SELECT v FROM tu ORDER BY v"), (Rows{"5", "6", "7"}));

    ASSERT_EQ(Read(pi, pc, L"v", FIRST), 1) << Error(pi, pc);
    ASSERT_EQ(pi->bHSupprime(pc, 0, kNoLock), 1) << Error(pi, pc);
    EXPECT_EQ(List("SELECT v FROM tu ORDER BY v"), (Rows{"6", "7"}));

    ASSERT_EQ(Read(pi, pc, L"v", LAST), 1) << Error(pi, pc);
    ASSERT_EQ(Value(pi, pc, L"ca"), "2");
    SetItem(pi, pc, L"v", L"8");
    Sent();
    ASSERT_EQ(pi->bHModifie(pc, 0, 0, kNoLock), 1) << Error(pi, pc);
    tab = Writes();
    ASSERT_EQ(tab.size(), 1u);
    EXPECT_FALSE(EndsWithLimit(tab[0])) << tab[0];
    // The key alone: no other value compared.
    EXPECT_EQ(tab[0].find("`v`", tab[0].find(" WHERE ")), std::string::npos) << tab[0];
    EXPECT_EQ(List("SELECT v FROM tu ORDER BY v"), (Rows{"6", "8"}));
}

// A primary key finds the row: no LIMIT.
TEST_F(RecordWrite, AKeyWithoutNullSendsNoLimit)
{
    CHostContext* pc = Context(1);
    INATable* pi = Open(L"tk", pc);
    ASSERT_NE(pi, nullptr);
    ASSERT_EQ(Read(pi, pc, L"id", FIRST), 1) << Error(pi, pc);
    SetItem(pi, pc, L"v", L"11");
    Sent();
    ASSERT_EQ(pi->bHModifie(pc, 0, 0, kNoLock), 1) << Error(pi, pc);
    ASSERT_EQ(pi->bHSupprime(pc, 0, kNoLock), 1) << Error(pi, pc);
    const Rows tab = Writes();
    ASSERT_EQ(tab.size(), 2u);
    for (const std::string& s : tab)
        EXPECT_FALSE(EndsWithLimit(s)) << s;
    EXPECT_EQ(List("SELECT CONCAT(id, '/', v) FROM tk ORDER BY id"), Rows{"2/20"});
}

// FLOAT and DOUBLE values are found again as stored: every row modified,
// then every row deleted.
TEST_F(RecordWrite, RealValuesAreFoundAsStored)
{
    CHostContext* pc = Context(1);
    INATable* pi = Open(L"tf", pc);
    ASSERT_NE(pi, nullptr);
    const Rows tabBefore = List("SELECT CONCAT(CAST(f AS DOUBLE), '/', d) FROM tf ORDER BY v");
    ASSERT_EQ(tabBefore.size(), 6u);
    ASSERT_EQ(Read(pi, pc, L"v", FIRST), 1) << Error(pi, pc);
    for (int n = 1; n <= 6; n++) {
        ASSERT_EQ(Value(pi, pc, L"v"), std::to_string(n));
        SetItem(pi, pc, L"w", std::to_wstring(n + 10));
        EXPECT_EQ(pi->bHModifie(pc, 0, 0, kNoLock), 1) << n << ": " << Error(pi, pc);
        ASSERT_EQ(Read(pi, pc, L"v", NEXT), 1) << Error(pi, pc);
    }
    EXPECT_EQ(List("SELECT CONCAT(v, '/', w) FROM tf ORDER BY v"),
              (Rows{"1/11", "2/12", "3/13", "4/14", "5/15", "6/16"}));
    // The reals themselves are untouched.
    EXPECT_EQ(List("SELECT CONCAT(CAST(f AS DOUBLE), '/', d) FROM tf ORDER BY v"), tabBefore);

    ASSERT_EQ(Read(pi, pc, L"v", FIRST), 1) << Error(pi, pc);
    for (int n = 1; n <= 6; n++) {
        ASSERT_EQ(Value(pi, pc, L"v"), std::to_string(n));
        EXPECT_EQ(pi->bHSupprime(pc, 0, kNoLock), 1) << n << ": " << Error(pi, pc);
        EXPECT_EQ(First("SELECT COUNT(*) FROM tf WHERE v = " + std::to_string(n)), "0") << n;
        ASSERT_EQ(Read(pi, pc, L"v", NEXT), 1) << Error(pi, pc);
    }
    EXPECT_EQ(First("SELECT COUNT(*) FROM tf"), "0");
}

// Rows a double cannot tell apart: DECIMAL values finer than a double, and
// DOUBLE values a ten-millionth apart. The second row of each pair is modified or
// deleted and the first, which the server meets first, is left alone.
TEST_F(RecordWrite, NeighbouringValuesTellTheirRowsApart)
{
    CHostContext* pc = Context(1);
    INATable* pi = Open(L"tn", pc);
    ASSERT_NE(pi, nullptr);
    ASSERT_EQ(Read(pi, pc, L"v", FIRST), 1) << Error(pi, pc);
    for (int i = 0; i < 3 && Value(pi, pc, L"m") != "0.12345678901234567890"; i++)
        ASSERT_EQ(Read(pi, pc, L"v", NEXT), 1) << Error(pi, pc);
    ASSERT_EQ(Value(pi, pc, L"m"), "0.12345678901234567890");
    SetItem(pi, pc, L"w", L"8");
    ASSERT_EQ(pi->bHModifie(pc, 0, 0, kNoLock), 1) << Error(pi, pc);
    EXPECT_EQ(List("SELECT CONCAT(m, '/', IFNULL(w, '-')) FROM tn WHERE v = 1 ORDER BY m"),
              (Rows{"0.12345678901234567890/8", "0.12345678901234567891/-"}));

    ASSERT_EQ(Read(pi, pc, L"v", LAST), 1) << Error(pi, pc);
    for (int i = 0; i < 3 && Value(pi, pc, L"d") != "1.0000002"; i++)
        ASSERT_EQ(Read(pi, pc, L"v", PREVIOUS), 1) << Error(pi, pc);
    ASSERT_EQ(Value(pi, pc, L"d"), "1.0000002");
    ASSERT_EQ(pi->bHSupprime(pc, 0, kNoLock), 1) << Error(pi, pc);
    EXPECT_EQ(List("SELECT d FROM tn WHERE v = 2"), Rows{"1.0000001"});
}

// A unique key with a FLOAT part is compared over the range the value's text
// stands for, which holds both rows: the other values tell the row read.
TEST_F(RecordWrite, AUniqueKeyWithAFloatPart)
{
    CHostContext* pc = Context(1);
    INATable* pi = Open(L"tg", pc);
    ASSERT_NE(pi, nullptr);
    ASSERT_EQ(Read(pi, pc, L"v", LAST), 1) << Error(pi, pc);
    SetItem(pi, pc, L"w", L"7");
    Sent();
    ASSERT_EQ(pi->bHModifie(pc, 0, 0, kNoLock), 1) << Error(pi, pc);
    const Rows tab = Writes();
    ASSERT_EQ(tab.size(), 1u);
    EXPECT_TRUE(EndsWithLimit(tab[0])) << tab[0];
    EXPECT_EQ(List("SELECT CONCAT(v, '/', IFNULL(w, '-')) FROM tg ORDER BY v"), (Rows{"1/-", "2/7"}));
}

// A query read with its own row limit reads nothing beside its items: a
// write that would compare a FLOAT by its six digits or a TIMESTAMP by a
// local time that may stand for two instants fails naming the item, and
// changes nothing.
TEST_F(RecordWrite, AnExactFormNotReadFailsTheWrite)
{
    const struct {
        const wchar_t* pszQuery;
        const wchar_t* pszTable;
        const char* pszItem;
        const char* pszExact;
        const char* pszValue; // as the record holds it
    } kCases[] = {{L"SELECT o, f FROM tz LIMIT 5", L"tz", "f", "CAST(f AS DOUBLE)", "1"},
                  {L"SELECT o, c FROM tt LIMIT 5", L"tt", "c", "UNIX_TIMESTAMP(c)", "20241027023000000"}};
    for (const auto& c : kCases) {
        SCOPED_TRACE(Narrow(c.pszQuery));
        CHostContext* pc = Context(c.pszItem[0]);
        INATable* pi = RunOn(HostIn(true), pc, c.pszQuery, {c.pszTable});
        ASSERT_NE(pi, nullptr);
        const std::string strRows =
            "SELECT CONCAT(o, '/', " + std::string(c.pszExact) + ") FROM " + Narrow(c.pszTable) + " ORDER BY 1";
        const Rows tabBefore = List(strRows);
        ASSERT_EQ(Read(pi, pc, L"o", FIRST), 1) << Error(pi, pc);
        PutItem(pi, pc, L"o", CInt(2));
        Sent();
        EXPECT_EQ(pi->bHModifie(pc, 0, 0, kNoLock), 0);
        EXPECT_EQ(ErrorOf(pi, pc)->nGetUserErrorCode(), static_cast<unsigned int>(ZTERR_CONVERSION)) << Error(pi, pc);
        const wchar_t* pszItem = ErrorOf(pi, pc)->pszGetItemName();
        EXPECT_EQ(Narrow(pszItem != nullptr ? pszItem : L""), c.pszItem);
        EXPECT_NE(Error(pi, pc).find("exact form"), std::string::npos) << Error(pi, pc);
        // The value named is the one the record holds.
        EXPECT_NE(Error(pi, pc).find(std::string("(value: ") + c.pszValue + ")"), std::string::npos) << Error(pi, pc);
        EXPECT_EQ(pi->bHSupprime(pc, 0, kNoLock), 0);
        EXPECT_TRUE(Writes().empty());
        EXPECT_EQ(List(strRows), tabBefore);
    }
    // A greek text its 8-bit item holds as "?" is its own exact form, read
    // with it: the write lands on the row read, not on its twin holding a
    // real "?".
    {
        CHostContext* pc = Context(7);
        INATable* pi = RunOn(HostIn(true), pc, L"SELECT o, c FROM tj LIMIT 5", {L"tj"});
        ASSERT_NE(pi, nullptr);
        const std::string strFirst = First("SELECT HEX(CONVERT(c USING utf8mb4)) FROM tj LIMIT 5");
        ASSERT_EQ(Read(pi, pc, L"o", FIRST), 1) << Error(pi, pc);
        EXPECT_EQ(Value(pi, pc, L"c"), "?");
        PutItem(pi, pc, L"o", CInt(2));
        ASSERT_EQ(pi->bHModifie(pc, 0, 0, kNoLock), 1) << Error(pi, pc);
        EXPECT_EQ(List("SELECT CONCAT(o, '/', HEX(CONVERT(c USING utf8mb4))) FROM tj WHERE o = 2"),
                  (Rows{"2/" + strFirst}));
        EXPECT_EQ(First("SELECT COUNT(*) FROM tj WHERE o = 1"), "1");
    }
    // A text its item holds whole is compared as it is: each record's own
    // row is written, "x" or "é".
    for (int o : {5, 6}) {
        CHostContext* pc = Context(o);
        INATable* pi = RunOn(HostIn(true), pc, L"SELECT o, c FROM tx LIMIT 5", {L"tx"});
        ASSERT_NE(pi, nullptr);
        for (eNA_PARSEDIRECTION e = FIRST; Read(pi, pc, L"o", e) == 1 && Value(pi, pc, L"c") != (o == 5 ? "x" : "é");)
            e = NEXT;
        PutItem(pi, pc, L"o", CInt(o));
        EXPECT_EQ(pi->bHModifie(pc, 0, 0, kNoLock), 1) << Error(pi, pc);
    }
    EXPECT_EQ(List("SELECT CONCAT(o, HEX(c)) FROM tx ORDER BY o"), (Rows{"378", "578", "6E9"}));
}

// A query the host cannot write through reads no exact forms beside its
// items: its rows are the server's own, a DISTINCT keeping as one the texts
// its collation takes as equal.
TEST_F(RecordWrite, AQueryNotWrittenThroughReadsItsOwnRows)
{
    const struct {
        const wchar_t* pszQuery;
        const char* pszRows;
    } aQuery[] = {
        {L"SELECT DISTINCT v, f FROM tq", "SELECT COUNT(*) FROM (SELECT DISTINCT v, f FROM tq) AS d"},
        {L"SELECT v, COUNT(*) AS n FROM tq GROUP BY v", "SELECT COUNT(DISTINCT v) FROM tq"},
    };
    unsigned int nContext = 0;
    for (const auto& q : aQuery)
        for (const bool bUTF8 : {true, false}) {
            SCOPED_TRACE(Narrow(q.pszQuery) + (bUTF8 ? " in UTF-8" : " in 1252"));
            CHostContext* pc = Context(++nContext);
            INATable* pi = QueryIn(bUTF8, false, q.pszQuery, pc, {L"tq"});
            ASSERT_NE(pi, nullptr);
            EXPECT_EQ(std::to_string(Walk(pi, pc, L"v", L"v").size()), First(q.pszRows));
            EXPECT_EQ(pi->bHFerme(pc), 1) << Error(pi, pc);
        }
}

// A row deleted by another connection: the delete fails as the modify does,
// user error 13, and nothing changes.
TEST_F(RecordWrite, ADeleteOfAVanishedRowFails)
{
    CHostContext* pc = Context(1);
    INATable* pi = Open(L"tk", pc);
    ASSERT_NE(pi, nullptr);
    ASSERT_EQ(Read(pi, pc, L"id", FIRST), 1) << Error(pi, pc);
    ASSERT_TRUE(Admin("DELETE FROM tk WHERE id = 1"));
    EXPECT_EQ(pi->bHSupprime(pc, 0, kNoLock), 0);
    EXPECT_EQ(ErrorOf(pi, pc)->nGetUserErrorCode(), static_cast<unsigned int>(ZTERR_RECORD_NOT_FOUND));
    EXPECT_EQ(ErrorOf(pi, pc)->eGetErrorType(), NA_ERRORTYPE_ROWGONE);
    EXPECT_EQ(List("SELECT id FROM tk ORDER BY id"), Rows{"2"});
    SetItem(pi, pc, L"v", L"99");
    EXPECT_EQ(pi->bHModifie(pc, 0, 0, kNoLock), 0);
    EXPECT_EQ(ErrorOf(pi, pc)->nGetUserErrorCode(), static_cast<unsigned int>(ZTERR_RECORD_NOT_FOUND));
    EXPECT_EQ(List("SELECT CONCAT(id, '/', v) FROM tk ORDER BY id"), Rows{"2/20"});

    // A FLOAT row gone elsewhere as well.
    CHostContext* pcF = Context(2);
    INATable* piF = Open(L"tf", pcF);
    ASSERT_NE(piF, nullptr);
    ASSERT_EQ(Read(piF, pcF, L"v", FIRST), 1) << Error(piF, pcF);
    ASSERT_TRUE(Admin("DELETE FROM tf WHERE v = 1"));
    EXPECT_EQ(piF->bHSupprime(pcF, 0, kNoLock), 0);
    EXPECT_EQ(ErrorOf(piF, pcF)->nGetUserErrorCode(), static_cast<unsigned int>(ZTERR_RECORD_NOT_FOUND));
    EXPECT_EQ(First("SELECT COUNT(*) FROM tf"), "5");
}

// Two rows of a table without a unique key that differ in one column only,
// of every type the driver maps, memos and spatial values among them, and
// by less than the record holds (a FLOAT's seventh digit, a DATETIME(6)'s
// microseconds, a text the code page cannot hold, texts a collation takes
// as equal): the row the driver's own SELECT gives second read again, a
// modify of the other item, a modify of that column and a delete of it
// each land on that row, through the table object and a query, in both
// code pages.
TEST_F(RecordWrite, TwinsDifferingInOneColumnOfAnyType)
{
    struct SColumn {
        const char* pszType;
        const char* pszFirst; // as the server reads them
        const char* pszSecond;
        // An exact form of c, and of each value, where a binary cast is not.
        const char* pszExact = "CAST(c AS BINARY)";
        const char* pszFirstExact = nullptr;
        const char* pszSecondExact = nullptr;
        // The session's time zone, when not the server's.
        const char* pszZone = "SYSTEM";
    };
    const char* const pszFloat = "CAST(c AS DOUBLE)";
    const char* const pszCharacters = "HEX(CONVERT(c USING utf8mb4))";
    // The hour 01:30 UTC reads the same as 00:30 UTC: 02:30, in Paris.
    const char* const pszParis = "Europe/Paris";
    const char* const pszEarly = "FROM_UNIXTIME(1729989000)";
    const char* const pszLate = "FROM_UNIXTIME(1729992600)";
    const char* const pszInstant = "UNIX_TIMESTAMP(c)";
    const SColumn aColumn[] = {
        {"TINYINT", "1", "2"},
        {"SMALLINT UNSIGNED", "1", "2"},
        {"MEDIUMINT", "-1", "-2"},
        {"INT", "1", "2"},
        {"BIGINT", "9007199254740993", "9007199254740995"},
        {"BIGINT UNSIGNED", "18446744073709551614", "18446744073709551615"},
        {"BOOLEAN", "1", "0"},
        {"DECIMAL(10,2)", "1.25", "2.50"},
        {"DECIMAL(65,30)", "12345678901234567890123456789012345.123456789012345678901234567890",
         "12345678901234567890123456789012345.123456789012345678901234567891"},
        {"FLOAT", "1.5", "2.5"},
        {"FLOAT", "1.000001", "1.000002", pszFloat, "1.0000009536743164", "1.0000020265579224"},
        {"FLOAT", "0.1", "0.1000001", pszFloat, "0.10000000149011612", "0.10000009834766388"},
        {"FLOAT", "1e-7", "1.0000001e-7", pszFloat, "1.0000000116860974e-7", "1.000000082740371e-7"},
        {"FLOAT", "3.4e38", "3.400001e38", pszFloat, "3.3999999521443642e38", "3.4000009662648444e38"},
        {"FLOAT, UNIQUE KEY (o, c)", "1.000001", "1.000002", pszFloat, "1.0000009536743164", "1.0000020265579224"},
        {"DOUBLE", "0.1", "0.2"},
        {"BIT(8)", "b'1'", "b'10'"},
        {"YEAR", "2001", "2002"},
        {"YEAR", "2000", "0", "c+0", "2000", "0"},
        {"YEAR", "0", "2000", "c+0", "0", "2000"},
        {"DATE", "'2024-01-01'", "'2024-01-02'"},
        {"TIME", "'10:00:00'", "'11:00:00'"},
        {"TIME(6)", "'10:00:00.000000'", "'10:00:00.500000'"},
        {"DATETIME(3)", "'2024-01-01 10:00:00.001'", "'2024-01-01 10:00:00.002'"},
        {"DATETIME(6)", "'2024-01-01 10:00:00.123000'", "'2024-01-01 10:00:00.123456'"},
        {"DATETIME(6)", "'2024-01-01 10:00:00.123457'", "'2024-01-01 10:00:00.123456'"},
        {"DATETIME(6), UNIQUE KEY (o, c)", "'2024-01-01 10:00:00.123457'", "'2024-01-01 10:00:00.123456'"},
        {"TIMESTAMP NULL", "'2024-01-01 10:00:00'", "'2024-01-01 10:00:01'"},
        {"TIMESTAMP(6) NULL", "'2024-01-01 10:00:00.000000'", "'2024-01-01 10:00:00.000100'"},
        {"TIMESTAMP NULL", pszEarly, pszLate, pszInstant, "1729989000", "1729992600", pszParis},
        {"TIMESTAMP NULL", pszLate, pszEarly, pszInstant, "1729992600", "1729989000", pszParis},
        {"TIMESTAMP(6) NULL", "FROM_UNIXTIME(1729992600.5)", "FROM_UNIXTIME(1729989000.5)", pszInstant,
         "1729992600.500000", "1729989000.500000", pszParis},
        {"CHAR(4)", "'ab'", "'ac'"},
        {"VARCHAR(10)", "_utf8mb4 X'C3A961'", "_utf8mb4 X'C3A962'"},
        {"VARCHAR(10)", "_utf8mb4 X'78F09F9880'", "'x?'"},
        {"VARCHAR(10)", "'x?'", "_utf8mb4 X'78F09F9880'"},
        {"TEXT", "'x?'", "_utf8mb4 X'78F09F9880'"},
        {"VARCHAR(10)", "'a'", "'A'"},
        {"VARCHAR(10)", "'e'", "_utf8mb4 X'C3A9'"},
        {"VARCHAR(10)", "'a'", "'a '"},
        {"VARCHAR(3000)", "'ab'", "'ac'"},
        // An 8-bit item's text, equal under the collation; then characters
        // no 8-bit item holds, whatever the session's code page.
        {"VARCHAR(10) CHARACTER SET latin1", "'e'", "_utf8mb4 X'C3A9'", pszCharacters, "'65'", "'C3A9'"},
        {"VARCHAR(10) CHARACTER SET latin1", "' '", "''", pszCharacters, "'20'", "''"},
        {"VARCHAR(10) CHARACTER SET greek", "'?a'", "_utf8mb4 X'CEA961'", pszCharacters, "'3F61'", "'CEA961'"},
        {"VARCHAR(10) CHARACTER SET greek", "_utf8mb4 X'CEA961'", "'?a'", pszCharacters, "'CEA961'", "'3F61'"},
        {"TEXT CHARACTER SET cp1250", "'?a'", "_utf8mb4 X'C59161'", pszCharacters, "'3F61'", "'C59161'"},
        {"BINARY(2)", "X'0001'", "X'0002'"},
        {"VARBINARY(8)", "X'00'", "X'0000'"},
        {"TINYTEXT", "'x1'", "'x2'"},
        {"TEXT", "_utf8mb4 X'C3A931'", "_utf8mb4 X'C3A932'"},
        {"TEXT", "'p'", "'P'"},
        {"MEDIUMTEXT", "'x1'", "'x2'"},
        {"LONGTEXT", "'x1'", "'x2'"},
        {"TINYBLOB", "X'01'", "X'02'"},
        {"BLOB", "X'0100'", "X'0101'"},
        {"MEDIUMBLOB", "X'01'", "X'02'"},
        {"LONGBLOB", "X'01'", "X'02'"},
        {"ENUM('a','b')", "'a'", "'b'"},
        // An error value, stored by an insert that ignores errors, beside
        // the member ''.
        {"ENUM('','a')", "'zzz'", "''", "c+0", "0", "1"},
        {"SET('a','b')", "'a'", "'a,b'"},
        {"JSON", "'[1]'", "'[2]'"},
        {"POINT", "POINT(1, 2)", "POINT(3, 4)"},
        {"GEOMETRY", "POINT(1, 2)", "LINESTRING(POINT(1, 2), POINT(3, 4))"},
    };
    unsigned int nContext = 0;
    int nTable = 0;
    for (const SColumn& c : aColumn)
        for (int nCase = 0; nCase < 4; nCase++) [&] {
            // A case that stops stops alone: the others still run.
            const bool bUTF8 = nCase % 2 == 0;
            const bool bQuery = nCase >= 2;
            SCOPED_TRACE(std::string(c.pszType) + " " + c.pszFirst + " / " + c.pszSecond +
                         (bUTF8 ? " in UTF-8" : " in 1252") + (bQuery ? " through a query" : ""));
            // Tables of their own: the driver keeps a table's description.
            const std::string strOne = "one" + std::to_string(++nTable);
            const std::string strTwo = "two" + std::to_string(nTable);
            ASSERT_TRUE(Admin("CREATE TABLE " + strOne + " (o INT, c " + c.pszType + ")"));
            ASSERT_TRUE(Admin("INSERT IGNORE INTO " + strOne + " VALUES (1, " + c.pszSecond + ")"));
            ASSERT_TRUE(Admin("CREATE TABLE " + strTwo + " LIKE " + strOne));
            auto fnFill = [&] {
                return Admin("DELETE FROM " + strTwo) &&
                       Admin("INSERT IGNORE INTO " + strTwo + " VALUES (1, " + c.pszFirst + ")") &&
                       Admin("INSERT INTO " + strTwo + " SELECT * FROM " + strOne);
            };
            auto fnOpen = [&](const std::string& strTable) {
                CHostContext* pc = Context(++nContext);
                const std::wstring strName = Wide(strTable);
                INATable* pi = bQuery ? QueryIn(bUTF8, false, L"SELECT o, c FROM " + strName, pc, {strName.c_str()})
                                      : Open(strName.c_str(), pc, HostIn(bUTF8));
                CNADataAccess* pAccess = pi != nullptr ? Access(pi, pc) : nullptr;
                EXPECT_TRUE(pAccess != nullptr && pAccess->pclGetConnection()->bExecuteQueryNoResult(
                                                      pAccess->pclGetError(),
                                                      Wide("SET time_zone = '" + std::string(c.pszZone) + "'").c_str()))
                    << "the server's time zones are loaded";
                return std::make_pair(pc, pi);
            };
            // The second row's value as the host holds it, bytes as well.
            auto fnHeld = [&](INATable* pi, CHostContext* pc) {
                CAny v;
                CNAColumn* pcl = Access(pi, pc)->pclGetCurrentRecordNoRef()->pclGetColumnNoRef(L"c");
                if (pcl == nullptr || !pcl->bGetCurrentValue(&v, 0))
                    return std::string("(unreadable)");
                void* p = nullptr;
                unsigned int n = 0;
                if (v.nGetTypeCode() != TQTYPE_BIN || v.bIsNull() || v.pclGetTraitement()->nGetDataAdr(&p) != 0 ||
                    v.pclGetTraitement()->nGetUtilDataSize(&n) != 0)
                    return ValueText(v);
                return "X'" + HexaOf(std::string(static_cast<const char*>(p), n)) + "'";
            };
            auto [pcOne, piOne] = fnOpen(strOne);
            ASSERT_NE(piOne, nullptr);
            ASSERT_EQ(Read(piOne, pcOne, L"o", FIRST), 1) << Error(piOne, pcOne);
            const std::string strHeld = fnHeld(piOne, pcOne);
            EXPECT_EQ(piOne->bHFerme(pcOne), 1);
            auto fnRows = [&](const std::string& strWhere) {
                return First("SELECT COUNT(*) FROM " + strTwo + " WHERE " + strWhere);
            };
            // Whether c is exactly the value.
            auto fnIs = [&](const char* pszValue, const char* pszExact) {
                return " AND " + std::string(c.pszExact) + " = " +
                       (pszExact != nullptr ? pszExact : "CAST(" + std::string(pszValue) + " AS BINARY)");
            };
            const std::string strFirst = fnIs(c.pszFirst, c.pszFirstExact);
            const std::string strSecond = fnIs(c.pszSecond, c.pszSecondExact);
            for (int nWrite = 0; nWrite < 3; nWrite++) {
                SCOPED_TRACE(nWrite == 0 ? "modify of o" : nWrite == 1 ? "modify of c" : "delete");
                ASSERT_TRUE(fnFill());
                ASSERT_EQ(fnRows("o = 1" + strFirst), "1");
                ASSERT_EQ(fnRows("o = 1" + strSecond), "1");
                auto [pc, pi] = fnOpen(strTwo);
                ASSERT_NE(pi, nullptr);
                Sent();
                ASSERT_EQ(Read(pi, pc, L"o", FIRST), 1) << Error(pi, pc);
                // Where the driver's own SELECT puts the second row: its
                // list of columns made the exact form's test.
                const Rows tabSent = Sent();
                ASSERT_EQ(tabSent.size(), 1u);
                const size_t nFrom = tabSent[0].find(" FROM ");
                ASSERT_NE(nFrom, std::string::npos) << tabSent[0];
                const Rows tabSecond =
                    List("SELECT " + std::string(strSecond, 5) + tabSent[0].substr(nFrom));
                ASSERT_EQ(tabSecond.size(), 2u) << tabSent[0];
                if (tabSecond[0] != "1") {
                    ASSERT_EQ(Read(pi, pc, L"o", NEXT), 1) << Error(pi, pc);
                }
                ASSERT_EQ(fnHeld(pi, pc), strHeld);
                // Read again as record 0: the same row.
                ASSERT_EQ(pi->bHLit(pc, 0, kNoLock, nullptr), 1) << Error(pi, pc);
                ASSERT_EQ(fnHeld(pi, pc), strHeld);
                INADataSourceDescription* piDescription = pi->piGetDataSourceDescription();
                INAItemDescription* piItem = piDescription->piNAGetItem(L"c");
                const bool bMemo = piItem->bMemo() != 0;
                piItem->nExternalRelease();
                piDescription->nExternalRelease();
                CAny clNull;
                clNull.__SetType(TQTYPE_DSTRW, 0);
                clNull.SetNullFlag(true);
                if (nWrite == 0) {
                    PutItem(pi, pc, L"o", CInt(2));
                } else if (nWrite == 1 && bMemo) {
                    ASSERT_EQ(pi->bSetBLOB(pc, 0, &clNull), 1) << Error(pi, pc);
                } else if (nWrite == 1) {
                    PutItem(pi, pc, L"c", clNull);
                }
                ASSERT_EQ(nWrite == 2 ? pi->bHSupprime(pc, 0, kNoLock) : pi->bHModifie(pc, 0, 0, kNoLock), 1)
                    << Error(pi, pc);
                // The first row as it was, the second as written.
                EXPECT_EQ(fnRows("o = 1" + strFirst), "1");
                EXPECT_EQ(fnRows("TRUE"), nWrite == 2 ? "1" : "2");
                if (nWrite == 0) {
                    EXPECT_EQ(fnRows("o = 2" + strSecond), "1");
                } else if (nWrite == 1) {
                    EXPECT_EQ(fnRows("o = 1 AND c IS NULL"), "1");
                }
                EXPECT_EQ(pi->bHFerme(pc), 1);
            }
        }();
}

// A delete, an add and a modify of the item set land on the column it reads,
// in its FROM entry's table (not jf, the alias's namesake), and the record
// written finds its row again; a computed item is not written, two items of
// one column set apart are refused, and so is a table the driver cannot tell.
TEST_F(RecordWrite, AWriteThroughAQueryLandsOnTheColumnAndTableItemsRead)
{
    const struct {
        const wchar_t *pszQuery, *pszItem, *pszOther; // set to 3, and the other to 4
        const char *pszTable, *pszRow;                // the row modified, none when refused
    } aCase[] = {
        {L"SELECT id, o, c FROM kf jf", L"o", nullptr, "kf", "3/1"},
        {L"SELECT id, o, c FROM kf AS jf", L"c", nullptr, "kf", "1/3"},
        {L"SELECT o AS c, c AS o FROM kf", L"c", nullptr, "kf", "3/1"},
        {L"SELECT o AS c, c AS o FROM kf", L"o", nullptr, "kf", "1/3"},
        {L"SELECT x.o, x.c AS g, x.o * 2 AS c FROM kf x", L"g", L"c", "kf", "1/3"},
        {L"SELECT c AS o, o AS s FROM kt", L"s", nullptr, "kt", "3/1"},
        {L"SELECT o, c AS \"g\", c FROM kt AS x", L"g", nullptr, "kt", "1/3"},
        {L"SELECT o, c AS [g], c FROM kt", L"g", L"c", "kt", nullptr},
    };
    auto Of = [&](const char* pszTable) { return List("SELECT CONCAT(o, '/', c) FROM " + std::string(pszTable)); };
    unsigned int nContext = 0;
    for (const bool bUTF8 : {true, false})
        for (const auto& k : aCase) {
            SCOPED_TRACE(Narrow(k.pszQuery) + " set " + Narrow(k.pszItem) + (bUTF8 ? " in UTF-8" : " in 1252"));
            ASSERT_TRUE(Admin("DELETE FROM kf") && Admin("INSERT INTO kf VALUES (1, 1, 1.000001)") &&
                        Admin("DELETE FROM kt") && Admin("INSERT INTO kt VALUES (1, 1.000001)"));
            CHostContext* pc = Context(++nContext);
            INATable* pi = QueryIn(bUTF8, false, k.pszQuery, pc, {L"kf", L"jf", L"kt"});
            ASSERT_TRUE(pi != nullptr && Read(pi, pc, L"o", FIRST) &&
                        (bUTF8 || Access(pi, pc)->pclGetConnection()->bExecuteQueryNoResult(
                                      m_pDriver->pclGetError(), L"SET sql_mode = CONCAT(@@sql_mode, ',ANSI_QUOTES')")));
            EXPECT_TRUE(pi->bHSupprime(pc, 0, kNoLock) && Of(k.pszTable).empty() && pi->bHAjoute(pc, 0, kNoLock))
                << Error(pi, pc);
            PutItem(pi, pc, k.pszItem, CInt(3));
            if (k.pszOther != nullptr)
                PutItem(pi, pc, k.pszOther, CInt(4));
            EXPECT_EQ(pi->bHModifie(pc, 0, 0, kNoLock), k.pszRow != nullptr ? 1 : 0) << Error(pi, pc);
            EXPECT_TRUE(k.pszRow != nullptr || (ErrorOf(pi, pc)->nGetUserErrorCode() == ZTERR_NOT_OFFERED &&
                                                Error(pi, pc).find("different values") != std::string::npos));
            EXPECT_TRUE(k.pszOther == nullptr || Value(pi, pc, k.pszOther) == "4");
            EXPECT_EQ(Of(k.pszTable), Rows{k.pszRow != nullptr ? k.pszRow : "1/1"});
            EXPECT_TRUE(k.pszOther != nullptr || (pi->bHSupprime(pc, 0, kNoLock) && Of(k.pszTable).empty()))
                << Error(pi, pc);
        }
    EXPECT_EQ(Of("jf"), Rows{"1/1"});
    CHostContext* pc = Context(++nContext);
    INATable* pi = QueryIn(true, false, L"SELECT o, c FROM kt y", pc, {L"kt"});
    m_tabQueryParse.back()->SetUnnamedFrom(true);
    ASSERT_TRUE(pi != nullptr && Read(pi, pc, L"o", FIRST) && !Sent().empty());
    EXPECT_EQ(pi->bHSupprime(pc, 0, kNoLock), 0);
    EXPECT_TRUE(ErrorOf(pi, pc)->nGetUserErrorCode() == ZTERR_NOT_OFFERED && Sent().empty()) << Error(pi, pc);
    EXPECT_NE(Error(pi, pc).find("cannot be told"), std::string::npos) << Error(pi, pc);
}

// A key free of NULLs finds a written row alone: browsed on it, the SELECT
// reads no exact form and the row keeps none. Without a key the SELECT
// reads the forms the row keeps: a text's bytes only where the code page
// cannot hold it (a "?" of its own is held whole), and the write compares
// each value once. Each write lands on its own row.
TEST_F(RecordWrite, ExactFormsReadOnlyWhereTheyFindARow)
{
    const std::string strKinds = "f FLOAT, d DATETIME(6), m DECIMAL(65,30), e ENUM('a','b'), t VARCHAR(10)";
    ASSERT_TRUE(Admin("CREATE TABLE ek (id INT PRIMARY KEY, " + strKinds + ")"));
    ASSERT_TRUE(Admin("CREATE TABLE en (id INT, " + strKinds + ", KEY (id))"));
    const std::string strRows = " VALUES (1, 1.000001, '2024-01-01 10:00:00.123456', 0.12345678901234567890123, 'a', "
                                "'x?'), (2, 1.000002, '2024-01-01 10:00:00.123457', 0.12345678901234567890124, 'b', "
                                "_utf8mb4 X'78F09F9880')";
    auto Columns = [](const std::string& s) { return s.substr(0, s.find(" FROM ")); };
    auto Row = [&](const char* pszTable, int nId) {
        return First("SELECT CONCAT_WS('/', f + 0e0, e, HEX(t)) FROM " + std::string(pszTable) +
                     " WHERE id = " + std::to_string(nId));
    };
    unsigned int nContext = 0;
    for (const bool bUTF8 : {true, false}) {
        SCOPED_TRACE(bUTF8 ? "in UTF-8" : "in 1252");
        ASSERT_TRUE(Admin("DELETE FROM ek") && Admin("INSERT INTO ek" + strRows));
        ASSERT_TRUE(Admin("DELETE FROM en") && Admin("INSERT INTO en" + strRows));
        CHostContext* pc = Context(++nContext);
        INATable* pi = Open(L"ek", pc, HostIn(bUTF8));
        ASSERT_NE(pi, nullptr);
        Sent();
        ASSERT_EQ(Read(pi, pc, L"id", FIRST), 1) << Error(pi, pc);
        Rows tabSent = Sent();
        ASSERT_EQ(tabSent.size(), 1u);
        EXPECT_EQ(Columns(tabSent[0]), "SELECT `id`,`f`,`d`,`m`,`e`,`t`");
        ASSERT_EQ(Read(pi, pc, L"id", NEXT), 1) << Error(pi, pc);
        const CNARecordValue* pclRow = Access(pi, pc)->pclGetCurrentRecordNoRef()->pclGetCurrentRecordValueNoRef();
        ASSERT_NE(pclRow, nullptr);
        EXPECT_EQ(pclRow->pclGetReadFailureNoRef(), nullptr);
        SetItem(pi, pc, L"t", L"z");
        ASSERT_EQ(pi->bHModifie(pc, 0, 0, kNoLock), 1) << Error(pi, pc);
        EXPECT_EQ(Row("ek", 2), "1.0000020265579224/b/7A");
        EXPECT_EQ(Row("ek", 1), "1.0000009536743164/a/783F");

        pc = Context(++nContext);
        pi = Open(L"en", pc, HostIn(bUTF8));
        ASSERT_NE(pi, nullptr);
        Sent();
        ASSERT_EQ(Read(pi, pc, L"id", FIRST), 1) << Error(pi, pc);
        tabSent = Sent();
        ASSERT_EQ(tabSent.size(), 1u);
        // The text is its own form: in 1252 it comes in UTF-8, which the
        // driver converts itself.
        const std::string strForms = ",`f`+0e0,IF(`e`='' OR INSTR(CONVERT(`e` USING latin1),'?'),`e`+0,NULL)";
        EXPECT_EQ(Columns(tabSent[0]), std::string("SELECT `id`,`f`,`d`,`m`,`e`,") +
                                           (bUTF8 ? "`t`" : "CONVERT(CONVERT(`t` USING utf8mb4) USING binary)") + strForms);
        // The text's own "?" is held whole; the code page's is not.
        pclRow = Access(pi, pc)->pclGetCurrentRecordNoRef()->pclGetCurrentRecordValueNoRef();
        ASSERT_NE(pclRow, nullptr);
        EXPECT_EQ(pclRow->pstGetRefusal(L"t"), nullptr);
        EXPECT_NE(pclRow->pstGetRefusal(L"f"), nullptr);
        for (const int nId : {1, 2}) {
            if (nId == 2) {
                ASSERT_EQ(Read(pi, pc, L"id", NEXT), 1) << Error(pi, pc);
                pclRow = Access(pi, pc)->pclGetCurrentRecordNoRef()->pclGetCurrentRecordValueNoRef();
                const CNAReadFailure::SRefusal* pst = pclRow->pstGetRefusal(L"t");
                EXPECT_EQ(pst != nullptr ? Narrow(pst->strText.c_str()) : std::string("none"),
                          bUTF8 ? "none" : "_utf8mb4 X'78F09F9880'");
            }
            SetItem(pi, pc, L"t", nId == 1 ? L"z1" : L"z2");
            Sent();
            ASSERT_EQ(pi->bHModifie(pc, 0, 0, kNoLock), 1) << Error(pi, pc);
            const Rows tabWrite = Writes();
            ASSERT_EQ(tabWrite.size(), 1u);
            const std::string strWhere = tabWrite[0].substr(tabWrite[0].find(" WHERE "));
            // Each value once: the text by its characters alone.
            EXPECT_EQ(strWhere.find("`t`"), strWhere.rfind("`t`")) << strWhere;
            EXPECT_EQ(strWhere.find("`t`='"), std::string::npos) << strWhere;
        }
        EXPECT_EQ(Row("en", 1), "1.0000009536743164/a/7A31");
        EXPECT_EQ(Row("en", 2), "1.0000020265579224/b/7A32");
    }
    // The browse's own text keeps its comparison, which its index reads,
    // beside its characters.
    ASSERT_TRUE(Admin("CREATE TABLE ex (t VARCHAR(10), o INT, KEY (t))") &&
                Admin("INSERT INTO ex VALUES ('a', 1), ('A', 2)"));
    CHostContext* pc = Context(++nContext);
    INATable* pi = Open(L"ex", pc);
    ASSERT_TRUE(pi != nullptr && Read(pi, pc, L"t", FIRST) == 1) << Error(pi, pc);
    const std::string strValue = Value(pi, pc, L"t");
    PutItem(pi, pc, L"o", CInt(5));
    Sent();
    ASSERT_EQ(pi->bHModifie(pc, 0, 0, kNoLock), 1) << Error(pi, pc);
    const Rows tabWrite = Writes();
    ASSERT_EQ(tabWrite.size(), 1u);
    EXPECT_NE(tabWrite[0].find("`t`='" + strValue + "'"), std::string::npos) << tabWrite[0];
    EXPECT_NE(tabWrite[0].find("CONVERT(CONVERT(`t` USING utf8mb4) USING binary)"), std::string::npos) << tabWrite[0];
    EXPECT_EQ(List("SELECT CONCAT(t, o) FROM ex ORDER BY o"), (Rows{strValue == "a" ? "A2" : "a1", strValue + "5"}));
}

// Without a key, each text is its own exact form, read with the row (in
// 1252 as its UTF-8 bytes, converted by the driver): a real "?", a text
// the code page holds, a character it lacks in a VARCHAR and in a memo,
// each row read in blocks of one both ways, then modified and deleted
// alone. The server computes no form.
TEST_F(RecordWrite, KeylessTextsAreTheirOwnExactForms)
{
    ASSERT_TRUE(Admin("CREATE TABLE kx (o INT, t VARCHAR(8), m TEXT, KEY (o)) CHARACTER SET utf8mb4"));
    // Rows 1 and 2 differ by t alone, as do 3 and 4 by m; 5 is held whole,
    // 6 empty and NULL; 7's form is longer than the least statement a
    // server takes, shorter than this one's; of 8 and 9, the server's latin1
    // lacks U+0080 and holds U+0081.
    const std::string strRows = "(1, 'a?', 'm'), (1, _utf8mb4 X'61F09F9880', 'm'), (1, 'b', '?'), "
                                "(1, 'b', _utf8mb4 X'CEA9'), (1, _utf8mb4 X'C3A9', _utf8mb4 X'E282AC'), (1, '', NULL), "
                                "(1, 'c', REPEAT(_utf8mb4 X'CEA9', 600)), (1, 'd', _utf8mb4 X'C280'), "
                                "(1, 'd', _utf8mb4 X'C281')";
    std::string strOmegas, strHexa;
    for (int i = 0; i < 600; i++) {
        strOmegas += "\xCE\xA9";
        strHexa += "CEA9";
    }
    const std::string strAll = "SELECT CONCAT_WS('/', o, HEX(t), IFNULL(HEX(m), 'NULL')) FROM kx ORDER BY 1";
    unsigned int nContext = 0;
    for (const bool bUTF8 : {true, false}) {
        SCOPED_TRACE(bUTF8 ? "in UTF-8" : "in 1252");
        ASSERT_TRUE(Admin("DELETE FROM kx") && Admin("INSERT INTO kx VALUES " + strRows));
        const Rows tabBefore = List(strAll);
        CHostContext* pc = Context(++nContext);
        INATable* pi = Open(L"kx", pc, HostIn(bUTF8, 1));
        ASSERT_NE(pi, nullptr);
        Sent();
        // Each row once, whichever way; the forms held are the lost texts'.
        Rows tabForms;
        const auto Forms = [&](int bRead) {
            const CNARecordValue* pclRow =
                Access(pi, pc)->pclGetCurrentRecordNoRef()->pclGetCurrentRecordValueNoRef();
            std::string str = bRead == 1 ? Value(pi, pc, L"t") + "|" + Value(pi, pc, L"m") : "failed: " + Error(pi, pc);
            for (const wchar_t* pszItem : {L"t", L"m"}) {
                const CNAReadFailure::SRefusal* pst = pclRow != nullptr ? pclRow->pstGetRefusal(pszItem) : nullptr;
                str += "|" + (pst != nullptr ? Narrow(pst->strText.c_str()) : std::string());
            }
            return str;
        };
        Rows tabForward = Every(pi, pc, L"o", 0, false, Forms);
        Rows tabBackward = Every(pi, pc, L"o", 0, true, Forms);
        ASSERT_EQ(tabForward.size(), 9u);
        std::sort(tabForward.begin(), tabForward.end());
        std::sort(tabBackward.begin(), tabBackward.end());
        EXPECT_EQ(tabForward, tabBackward);
        const Rows tabExpected =
            bUTF8 ? Rows{"a?|m||", "a\xF0\x9F\x98\x80|m||", "b|?||", "b|\xCE\xA9||", "c|" + strOmegas + "||",
                         "d|\xC2\x80||", "d|\xC2\x81||", "|NULL||", "\xC3\xA9|\xE2\x82\xAC||"}
                  : Rows{"a?|m|_utf8mb4 X'61F09F9880'|", "a?|m||", "b|?||", "b|?||_utf8mb4 X'CEA9'",
                         "c|" + std::string(600, '?') + "||_utf8mb4 X'" + strHexa + "'", "d|?||_utf8mb4 X'C280'",
                         "d|\xC2\x81||", "|NULL||",
                         "\xC3\xA9|\xE2\x82\xAC||"};
        EXPECT_EQ(tabForward, tabExpected);
        // The session's bound is asked once, for the long form.
        int nAsked = 0;
        for (const std::string& q : Sent())
            if (q.find("@@max_allowed_packet") != std::string::npos) {
                nAsked++;
            } else if (q.compare(0, 7, "SELECT ") == 0) {
                EXPECT_EQ(q.find("HEX("), std::string::npos) << q;
                EXPECT_EQ(q.find("CONVERT(CONVERT(`t` USING utf8mb4) USING binary),CONVERT(CONVERT(`m` USING utf8mb4) "
                                 "USING binary)") != std::string::npos,
                          !bUTF8)
                    << q;
            }
        EXPECT_EQ(nAsked, bUTF8 ? 0 : 1);
        // Each row modified alone, then deleted alone.
        Rows tabIds;
        for (int n = 1; n <= 9; n++) {
            ASSERT_EQ(Read(pi, pc, L"o", FIRST), 1) << Error(pi, pc);
            PutItem(pi, pc, L"o", CInt(10 + n));
            ASSERT_EQ(pi->bHModifie(pc, 0, 0, kNoLock), 1) << Error(pi, pc);
            EXPECT_EQ(First("SELECT COUNT(*) FROM kx WHERE o = 1"), std::to_string(9 - n));
        }
        Rows tabAfter = List("SELECT CONCAT_WS('/', 1, HEX(t), IFNULL(HEX(m), 'NULL')) FROM kx ORDER BY 1");
        EXPECT_EQ(tabAfter, tabBefore);
        for (int n = 9; n >= 1; n--) {
            ASSERT_EQ(Read(pi, pc, L"o", FIRST), 1) << Error(pi, pc);
            ASSERT_EQ(pi->bHSupprime(pc, 0, kNoLock), 1) << Error(pi, pc);
            EXPECT_EQ(First("SELECT COUNT(*) FROM kx"), std::to_string(n - 1));
        }
    }
}

// A memo holding a NUL (and a character of 1252 above U+00FF) is held
// whole, and a write finds its row by the whole memo, not by its twin
// holding the text before the NUL.
TEST_F(RecordWrite, AMemoHoldingANulWritesItsOwnRow)
{
    ASSERT_TRUE(Admin("CREATE TABLE kn (o INT, m TEXT, KEY (o)) CHARACTER SET utf8mb4"));
    const std::string strAll = "SELECT CONCAT(o, '/', HEX(m)) FROM kn ORDER BY 1";
    unsigned int nContext = 0;
    for (const bool bUTF8 : {true, false}) {
        SCOPED_TRACE(bUTF8 ? "in UTF-8" : "in 1252");
        ASSERT_TRUE(Admin("DELETE FROM kn") && Admin("INSERT INTO kn VALUES (1, 'a'), (1, _utf8mb4 X'6100E282AC')"));
        CHostContext* pc = Context(++nContext);
        INATable* pi = Open(L"kn", pc, HostIn(bUTF8, 1));
        ASSERT_NE(pi, nullptr);
        // The memo as the record holds it, to its length.
        const auto Memo = [&] {
            CNAColumn* pColumn = Access(pi, pc)->pclGetCurrentRecordNoRef()->pclGetColumnNoRef(L"m");
            CAny v;
            std::wstring s;
            if (pColumn != nullptr && pColumn->bGetCurrentValue(&v, 0))
                CNAExpression::s_bReadWide(&v, &s);
            return s;
        };
        const std::wstring strNul(L"a\0\u20AC", 3);
        ASSERT_EQ(Read(pi, pc, L"o", FIRST), 1) << Error(pi, pc);
        if (Memo() != strNul) {
            ASSERT_EQ(Read(pi, pc, L"o", NEXT), 1) << Error(pi, pc);
        }
        ASSERT_EQ(Memo(), strNul);
        PutItem(pi, pc, L"o", CInt(2));
        ASSERT_EQ(pi->bHModifie(pc, 0, 0, kNoLock), 1) << Error(pi, pc);
        EXPECT_EQ(List(strAll), (Rows{"1/61", "2/6100E282AC"}));
        ASSERT_EQ(Read(pi, pc, L"o", LAST), 1) << Error(pi, pc);
        ASSERT_EQ(Memo(), strNul);
        ASSERT_EQ(pi->bHSupprime(pc, 0, kNoLock), 1) << Error(pi, pc);
        EXPECT_EQ(List(strAll), (Rows{"1/61"}));
    }
}

// A text the code page cannot hold whose bytes are more than the server
// sends in one value: its exact form is not had, and a write that would
// compare it fails with nothing sent, beside a twin holding a real "?".
TEST_F(RecordWrite, ATextTooLongForItsExactFormIsNotWrittenBlind)
{
    ASSERT_TRUE(Admin("CREATE TABLE eb (o INT, m LONGTEXT, KEY (o))"));
    const std::string strTail = "REPEAT('x', 9 << 20)";
    ASSERT_TRUE(Admin("INSERT INTO eb VALUES (1, CONCAT(_utf8mb4 X'F09F9880', " + strTail + ")), (1, CONCAT('?', " +
                      strTail + "))"));
    const std::string strRows = "SELECT CONCAT(o, '/', HEX(LEFT(m, 1))) FROM eb ORDER BY 1";
    const Rows tabBefore = List(strRows);
    ASSERT_EQ(tabBefore, (Rows{"1/3F", "1/F09F9880"}));
    CHostContext* pc = Context(1);
    INATable* pi = Open(L"eb", pc, HostIn(false));
    ASSERT_NE(pi, nullptr);
    ASSERT_EQ(Read(pi, pc, L"o", FIRST), 1) << Error(pi, pc);
    const CNARecordValue* pclRow = Access(pi, pc)->pclGetCurrentRecordNoRef()->pclGetCurrentRecordValueNoRef();
    const CNAReadFailure::SRefusal* pst = pclRow != nullptr ? pclRow->pstGetRefusal(L"m") : nullptr;
    if (pst == nullptr) {
        // The real "?" first: held whole.
        ASSERT_EQ(Read(pi, pc, L"o", NEXT), 1) << Error(pi, pc);
        pclRow = Access(pi, pc)->pclGetCurrentRecordNoRef()->pclGetCurrentRecordValueNoRef();
        pst = pclRow != nullptr ? pclRow->pstGetRefusal(L"m") : nullptr;
    }
    ASSERT_NE(pst, nullptr);
    EXPECT_TRUE(pst->bHeld && pst->strText.empty());
    PutItem(pi, pc, L"o", CInt(2));
    Sent();
    EXPECT_EQ(pi->bHModifie(pc, 0, 0, kNoLock), 0);
    EXPECT_EQ(ErrorOf(pi, pc)->nGetUserErrorCode(), static_cast<unsigned int>(ZTERR_CONVERSION)) << Error(pi, pc);
    EXPECT_TRUE(Writes().empty());
    EXPECT_EQ(List(strRows), tabBefore);
}

// Through a query reading a column twice and an item computed of its
// items, the record's writes compare each column once and leave the
// computed item out (a write makes it stale): a modify twice and a delete
// each land on the row. A browse on the repeated item goes on from its own
// value, FLOATs the host reads as 1, reading each row once in blocks of one.
TEST_F(RecordWrite, AQueryWrittenTwiceComparesEachColumnOnce)
{
    unsigned int nContext = 0;
    for (const bool bUTF8 : {true, false}) {
        SCOPED_TRACE(bUTF8 ? "in UTF-8" : "in 1252");
        ASSERT_TRUE(Admin("DELETE FROM kt") && Admin("INSERT INTO kt VALUES (1, 1.000001), (1, 1.000002)"));
        CHostContext* pc = Context(++nContext);
        INATable* pi = QueryIn(bUTF8, false, L"SELECT o, c, c AS g, o * 2 AS w FROM kt", pc, {L"kt"});
        ASSERT_TRUE(pi != nullptr && Read(pi, pc, L"o", FIRST)) << Error(pi, pc);
        Sent();
        for (const int o : {3, 4}) {
            PutItem(pi, pc, L"o", CInt(o));
            ASSERT_EQ(pi->bHModifie(pc, 0, 0, kNoLock), 1) << Error(pi, pc);
        }
        const Rows tabWrite = Writes();
        ASSERT_EQ(tabWrite.size(), 2u);
        for (const std::string& s : tabWrite) {
            const std::string strWhere = s.substr(s.find(" WHERE "));
            EXPECT_EQ(strWhere.find("`c`="), strWhere.rfind("`c`=")) << s;
            EXPECT_EQ(strWhere.find("* 2"), std::string::npos) << s;
            EXPECT_EQ(strWhere.find("*2"), std::string::npos) << s;
        }
        EXPECT_EQ(List("SELECT CONCAT(o, '/', c + 0e0) FROM kt ORDER BY c"),
                  (Rows{"4/1.0000009536743164", "1/1.0000020265579224"}));
        ASSERT_EQ(pi->bHSupprime(pc, 0, kNoLock), 1) << Error(pi, pc);
        EXPECT_EQ(List("SELECT CONCAT(o, '/', c + 0e0) FROM kt"), Rows{"1/1.0000020265579224"});

        ASSERT_TRUE(Admin("DELETE FROM kt") &&
                    Admin("INSERT INTO kt VALUES (1, 1.00000012), (2, 1.00000024), (3, 1.00000036), (4, 1.00000048)"));
        pc = Context(++nContext);
        pi = QueryIn(bUTF8, false, L"SELECT o, c, c AS g FROM kt", pc, {L"kt"}, 1);
        ASSERT_NE(pi, nullptr);
        std::string strOrder;
        for (eNA_PARSEDIRECTION e = FIRST; Read(pi, pc, L"g", e) == 1 && !Out(pi, pc, L"g") && strOrder.size() < 9;
             e = NEXT)
            strOrder += Value(pi, pc, L"o");
        EXPECT_EQ(strOrder, "1234") << Error(pi, pc);
        strOrder.clear();
        for (eNA_PARSEDIRECTION e = LAST; Read(pi, pc, L"g", e) == 1 && !Out(pi, pc, L"g") && strOrder.size() < 9;
             e = PREVIOUS)
            strOrder += Value(pi, pc, L"o");
        EXPECT_EQ(strOrder, "4321") << Error(pi, pc);
    }
    // A computed item of a column the query does not read tells twins
    // apart: it stays in the condition.
    ASSERT_TRUE(Admin("CREATE TABLE kw (o INT, s VARCHAR(4))") && Admin("INSERT INTO kw VALUES (1, 'a'), (1, 'b')"));
    CHostContext* pc = Context(++nContext);
    INATable* pi = QueryIn(true, false, L"SELECT o, UPPER(s) AS w FROM kw", pc, {L"kw"});
    ASSERT_NE(pi, nullptr);
    for (eNA_PARSEDIRECTION e = FIRST; Read(pi, pc, L"o", e) == 1 && !Out(pi, pc, L"o") && Value(pi, pc, L"w") != "B";)
        e = NEXT;
    ASSERT_EQ(Value(pi, pc, L"w"), "B");
    PutItem(pi, pc, L"o", CInt(2));
    ASSERT_EQ(pi->bHModifie(pc, 0, 0, kNoLock), 1) << Error(pi, pc);
    EXPECT_EQ(List("SELECT CONCAT(o, s) FROM kw ORDER BY s"), (Rows{"1a", "2b"}));
}

// A query of several SELECTs is read as it stands, in its own order both
// ways (an order of the driver's would name one SELECT's columns), and is
// never written through: its rows are no one table's.
TEST_F(RecordWrite, AQueryOfSeveralSelectsIsReadAsItStandsAndNeverWritten)
{
    ASSERT_TRUE(Admin("CREATE TABLE sa (o INT, t VARCHAR(8))") && Admin("INSERT INTO sa VALUES (1, 'a'), (3, 'c')"));
    ASSERT_TRUE(Admin("CREATE TABLE sb (o INT, t VARCHAR(8))") &&
                Admin("INSERT INTO sb VALUES (2, 'b'), (3, 'c'), (4, 'd')"));
    const std::string strTables = "SELECT CONCAT((SELECT GROUP_CONCAT(o ORDER BY o) FROM sa), '/', "
                                  "(SELECT GROUP_CONCAT(o ORDER BY o) FROM sb))";
    const std::string strBefore = First(strTables);
    const char* const kQueries[] = {
        "SELECT o, t FROM sa UNION SELECT o, t FROM sb ORDER BY o DESC",
        "SELECT o, t FROM sa UNION ALL SELECT o, t FROM sb ORDER BY t, o",
        "SELECT o, t FROM sa INTERSECT SELECT o, t FROM sb ORDER BY o",
        "SELECT o, t FROM sa EXCEPT SELECT o, t FROM sb ORDER BY o",
        "SELECT o AS x, t FROM sa UNION SELECT o, t FROM sb ORDER BY x DESC",
    };
    unsigned int nContext = 0;
    for (const bool bUTF8 : {true, false})
        for (const char* pszQuery : kQueries) {
            SCOPED_TRACE(std::string(pszQuery) + (bUTF8 ? " in UTF-8" : " in 1252"));
            const Rows tabServer = List(pszQuery);
            ASSERT_FALSE(tabServer.empty());
            const wchar_t* pszItem = std::string(pszQuery).find(" AS x") != std::string::npos ? L"x" : L"o";
            CHostContext* pc = Context(++nContext);
            INATable* pi = QueryIn(bUTF8, false, Wide(pszQuery), pc, {L"sa", L"sb"});
            ASSERT_NE(pi, nullptr);
            Rows tabForward, tabBackward;
            for (eNA_PARSEDIRECTION e = FIRST; Read(pi, pc, pszItem, e) == 1 && !Out(pi, pc, pszItem) &&
                                               tabForward.size() <= tabServer.size();
                 e = NEXT)
                tabForward.push_back(Value(pi, pc, pszItem));
            for (eNA_PARSEDIRECTION e = LAST; Read(pi, pc, pszItem, e) == 1 && !Out(pi, pc, pszItem) &&
                                              tabBackward.size() <= tabServer.size();
                 e = PREVIOUS)
                tabBackward.insert(tabBackward.begin(), Value(pi, pc, pszItem));
            EXPECT_EQ(tabForward, tabServer) << Error(pi, pc);
            EXPECT_EQ(tabBackward, tabServer) << Error(pi, pc);
            ASSERT_EQ(Read(pi, pc, pszItem, FIRST), 1) << Error(pi, pc);
            PutItem(pi, pc, L"t", CHostText(L"z"));
            Sent();
            EXPECT_EQ(pi->bHModifie(pc, 0, 0, kNoLock), 0);
            EXPECT_EQ(ErrorOf(pi, pc)->nGetUserErrorCode(), static_cast<unsigned int>(ZTERR_NOT_OFFERED))
                << Error(pi, pc);
            EXPECT_EQ(pi->bHSupprime(pc, 0, kNoLock), 0);
            EXPECT_EQ(ErrorOf(pi, pc)->nGetUserErrorCode(), static_cast<unsigned int>(ZTERR_NOT_OFFERED))
                << Error(pi, pc);
            EXPECT_TRUE(Writes().empty());
            EXPECT_EQ(First(strTables), strBefore);
        }
}

// The year 0000 is its own: searched, filtered, read on in blocks of one
// row both ways, it is compared by its number (the server reads the date
// '0000-01-01' as the year 2000), and a write finds a lone 0000's row.
TEST_F(RecordWrite, AYearOfZeroIsNoOtherYear)
{
    ASSERT_TRUE(Admin("CREATE TABLE ty (id INT PRIMARY KEY, c YEAR, KEY (c))"));
    ASSERT_TRUE(Admin("INSERT INTO ty VALUES (1, 0), (2, 1999), (3, 2000), (4, 2001), (5, 1901)"));
    ASSERT_TRUE(Admin("CREATE TABLE tl (o INT, c YEAR, KEY (o))"));
    const Rows tabOrder = List("SELECT CAST(id AS CHAR) FROM ty ORDER BY c");
    const auto Ids = [](INATable* pi, CHostContext* pc, unsigned int nFlags, bool bBackward) {
        return Every(pi, pc, L"c", nFlags, bBackward,
                     [&](int bRead) { return bRead == 1 ? Value(pi, pc, L"id") : "failed: " + Error(pi, pc); });
    };
    const CHostText clZero(L"00000101"), cl1999(L"19990101");
    int nContext = 0;
    for (const bool bUTF8 : {true, false}) {
        SCOPED_TRACE(bUTF8 ? "UTF-8" : "1252");
        CHostContext* pc = Context(++nContext);
        INATable* pi = Open(L"ty", pc, HostIn(bUTF8, 1));
        ASSERT_NE(pi, nullptr);
        EXPECT_EQ(Ids(pi, pc, 0, false), tabOrder);
        EXPECT_EQ(Ids(pi, pc, 0, true), Rows(tabOrder.rbegin(), tabOrder.rend()));
        ASSERT_EQ(pi->bHRecherche(pc, L"c", &clZero, 1, 1, kNoLock, nullptr, 1, 0), 1) << Error(pi, pc);
        EXPECT_EQ(Found(pi, pc, L"c"), 1);
        EXPECT_EQ(Value(pi, pc, L"id"), "1");
        ASSERT_EQ(Read(pi, pc, L"c", NEXT), 1) << Error(pi, pc);
        EXPECT_EQ(Found(pi, pc, L"c"), 0);
        ASSERT_EQ(pi->bHFiltre(pc, L"c", &clZero, 1, &cl1999, 1, nullptr), 1) << Error(pi, pc);
        EXPECT_EQ(Ids(pi, pc, CNADataAccess::WPF_CONTINUE, false), (Rows{"1", "5", "2"}));

        ASSERT_TRUE(Admin("DELETE FROM tl"));
        ASSERT_TRUE(Admin("INSERT INTO tl VALUES (1, 0)"));
        pc = Context(++nContext);
        pi = Open(L"tl", pc, HostIn(bUTF8));
        ASSERT_NE(pi, nullptr);
        ASSERT_EQ(Read(pi, pc, L"o", FIRST), 1) << Error(pi, pc);
        PutItem(pi, pc, L"o", CInt(2));
        EXPECT_EQ(pi->bHModifie(pc, 0, 0, kNoLock), 1) << Error(pi, pc);
        EXPECT_EQ(List("SELECT CONCAT(o, '/', c) FROM tl"), (Rows{"2/0000"}));
        // Written, 0000 stays itself.
        SetItem(pi, pc, L"c", L"20000101");
        ASSERT_EQ(pi->bHModifie(pc, 0, 0, kNoLock), 1) << Error(pi, pc);
        SetItem(pi, pc, L"c", L"00000101");
        EXPECT_EQ(pi->bHModifie(pc, 0, 0, kNoLock), 1) << Error(pi, pc);
        EXPECT_EQ(List("SELECT CONCAT(o, '/', c) FROM tl"), (Rows{"2/0000"}));
        ASSERT_EQ(Read(pi, pc, L"o", FIRST), 1) << Error(pi, pc);
        EXPECT_EQ(pi->bHSupprime(pc, 0, kNoLock), 1) << Error(pi, pc);
        EXPECT_EQ(First("SELECT COUNT(*) FROM tl"), "0");
    }
}

// Wherever the driver names a FROM entry (its items, order, exact forms,
// searches, filters and writes) it writes the entry's alias as the FROM
// clause does, whatever case the host writes it in and whatever table
// bears its name in another case: read both ways, searched, filtered and
// written as by hand, no other table changed.
TEST_F(RecordWrite, AFromEntryGoesByItsAliasAsTheFromClauseWritesIt)
{
    ASSERT_TRUE(Admin("CREATE TABLE ka (id INT, o INT, c FLOAT, KEY (id))") &&
                Admin("CREATE TABLE kb (id INT, o INT, c FLOAT, KEY (id))") &&
                Admin("CREATE TABLE Kc (id INT, o INT, c FLOAT, KEY (id))"));
    const char* const pszJoin = "ka x JOIN kb y ON y.id = x.id";
    const struct {
        const wchar_t* pszQuery;
        const char *pszFrom, *pszP, *pszTable; // by hand (x reads id and o), item p by hand, the table written
    } aCase[] = {
        {L"SELECT id, o, c FROM ka KB", "ka x", nullptr, "ka"},
        {L"SELECT id, o, c FROM ka AS Kb", "ka x", nullptr, "ka"},
        {L"SELECT KB.id, KB.o, KB.c FROM ka kb", "ka x", nullptr, "ka"},
        {L"SELECT id, o, c FROM ka KA", "ka x", nullptr, "ka"},
        {L"SELECT KA.id, KA.o, KA.c FROM ka", "ka x", nullptr, "ka"},
        {L"SELECT id, KB.o, c FROM ka \"KB\"", "ka x", nullptr, "ka"},
        {L"SELECT kb.id, o, c FROM ka AS [KB]", "ka x", nullptr, "ka"},
        {L"SELECT KB.id, o, c FROM ka kb WHERE Kb.o > 10 ORDER BY kB.c", "(SELECT * FROM ka WHERE o > 10) x", nullptr,
         "ka"},
        {L"SELECT id, o, c, kb.o * 2 AS p FROM ka KB", "ka x", "x.o * 2", "ka"},
        {L"SELECT kc.id, kc.o, kc.c FROM Kc", "Kc x", nullptr, "Kc"},
        {L"SELECT KA.id, o, c FROM Kc ka", "Kc x", nullptr, "Kc"},
        {L"SELECT KB.id, KB.o, KA.o AS p FROM ka KB JOIN kb KA ON KA.id = KB.id", pszJoin, "y.o", nullptr},
        {L"SELECT kb.id, kb.o, ka.o AS p FROM ka KB JOIN kb KA ON ka.id = kb.id", pszJoin, "y.o", nullptr},
    };
    // Every table's rows, the one written read through the expression and
    // condition given.
    const auto Tables = [&](const char* pszWritten, const std::string& strO, const std::string& strWhere) {
        std::string s;
        for (const std::string t : {"ka", "kb", "Kc"})
            s += First("SELECT GROUP_CONCAT(CONCAT_WS('/', id, " + (t == pszWritten ? strO : "o") +
                       ", c + 0e0) ORDER BY id) FROM " + t + (t == pszWritten ? strWhere : "")) + ";";
        return s;
    };
    unsigned int nContext = 0;
    for (const bool bUTF8 : {true, false})
        for (const auto& k : aCase) {
            SCOPED_TRACE(Narrow(k.pszQuery) + (bUTF8 ? " in UTF-8" : " in 1252"));
            ASSERT_TRUE(Admin("DELETE FROM ka") && Admin("DELETE FROM kb") && Admin("DELETE FROM Kc") &&
                        Admin("INSERT INTO ka VALUES (1, 10, 1.5), (2, 20, 1.000001), (3, 30, 2.5), "
                              "(4, 20, 1.000002)") &&
                        Admin("INSERT INTO kb VALUES (2, 200, 7.5), (4, 400, 1.000001), (6, 600, 8.5)") &&
                        Admin("INSERT INTO Kc VALUES (2, 20, 1.000001), (4, 41, 1.000002), (7, 20, 4.5)"));
            const std::string strHand = std::string("SELECT CONCAT_WS('/', x.id, x.o") +
                                        (k.pszP != nullptr ? std::string(", ") + k.pszP : "") + ") FROM " + k.pszFrom;
            CHostContext* pc = Context(++nContext);
            INATable* pi = QueryIn(bUTF8, false, k.pszQuery, pc, {L"ka", L"kb", L"Kc"});
            ASSERT_NE(pi, nullptr);
            const auto Record = [&](int bRead) {
                return bRead != 1 ? Error(pi, pc)
                                  : Value(pi, pc, L"id") + "/" + Value(pi, pc, L"o") +
                                        (k.pszP != nullptr ? "/" + Value(pi, pc, L"p") : "");
            };
            const Rows tabRows = List(strHand + " ORDER BY x.id");
            EXPECT_EQ(Every(pi, pc, L"id", 0, false, Record), tabRows);
            EXPECT_EQ(Every(pi, pc, L"id", 0, true, Record), Rows(tabRows.rbegin(), tabRows.rend()));
            const CInt v20(20);
            Rows tabFound;
            for (int b = pi->bHRecherche(pc, L"o", &v20, 1, 1, kNoLock, nullptr, 1, 0);
                 Found(pi, pc, L"o") == 1 && tabFound.size() < 9; b = Read(pi, pc, L"o", NEXT))
                tabFound.push_back(Record(b));
            std::sort(tabFound.begin(), tabFound.end());
            EXPECT_EQ(tabFound, List(strHand + " WHERE x.o = 20 ORDER BY 1"));
            std::wstring strError;
            m_tabQueryParse.push_back(CHostSQLParse::pParse(L"SELECT * FROM ka WHERE o < 25",
                                                            m_tabQueryCatalogues.back().get(), &m_clQueryValues,
                                                            &strError));
            wchar_t szItem[256] = L"";
            ASSERT_EQ(pi->bHFiltre(pc, m_tabQueryParse.back().get(), szItem), 1) << Error(pi, pc);
            Rows tabFiltered = Every(pi, pc, szItem, CNADataAccess::WPF_CONTINUE, false, Record);
            std::sort(tabFiltered.begin(), tabFiltered.end());
            EXPECT_EQ(tabFiltered, List(strHand + " WHERE x.o < 25 ORDER BY 1"));
            if (k.pszTable == nullptr)
                continue;
            ASSERT_EQ(pi->bHDesactiveFiltre(pc, szItem, 0), 1) << Error(pi, pc);
            const CInt v4(4);
            ASSERT_EQ(pi->bHRecherche(pc, L"id", &v4, 1, 1, kNoLock, nullptr, 1, 0), 1) << Error(pi, pc);
            ASSERT_EQ(Found(pi, pc, L"id"), 1);
            PutItem(pi, pc, L"o", CInt(99));
            std::string strExpected = Tables(k.pszTable, "IF(id = 4, 99, o)", "");
            EXPECT_EQ(pi->bHModifie(pc, 0, 0, kNoLock), 1) << Error(pi, pc);
            EXPECT_EQ(Tables(k.pszTable, "o", ""), strExpected);
            strExpected = Tables(k.pszTable, "o", " WHERE id <> 4");
            EXPECT_EQ(pi->bHSupprime(pc, 0, kNoLock), 1) << Error(pi, pc);
            EXPECT_EQ(Tables(k.pszTable, "o", ""), strExpected);
        }
}

// A column goes by its own FROM entry's qualifier, whatever spelling an
// output item of the same column uses for another entry: the entry a name
// stands for is the one named so as written, else the one named so with
// case and accents ignored. In ON, WHERE, GROUP BY, HAVING, ORDER BY and
// a computed item the driver reads the rows of the query written by hand.
// A name that stands for two entries is refused, and nothing is sent.
TEST_F(RecordWrite, AColumnGoesByItsOwnFromEntry)
{
    ASSERT_TRUE(Admin("CREATE TABLE qa (id INT, n VARCHAR(8), m INT)") &&
                Admin("CREATE TABLE qb (id INT, n VARCHAR(8), m INT)") &&
                Admin("INSERT INTO qa VALUES (1, 'p', 10), (2, 'q', 20), (3, 'r', 30)") &&
                Admin("INSERT INTO qb VALUES (1, 'q', 100), (2, 'r', 200), (4, 's', 400)"));
    // By hand x is qa and y is qb.
    const char* const pszOn = "SELECT CONCAT_WS('/', x.n, y.m) FROM qa x JOIN qb y ON x.n = y.n";
    const char* const pszWhere = "SELECT CONCAT_WS('/', x.n, y.m) FROM qa x, qb y WHERE y.n = 'q'";
    ExpectRowsByHand(
        {
            {L"SELECT T.n, t.m FROM qa T JOIN qb t ON T.n = t.n", {L"n", L"m"}, pszOn},
            {L"SELECT Qb.n, qb.m FROM qa Qb JOIN qb ON Qb.n = qb.n", {L"n", L"m"}, pszOn},
            {L"SELECT \u00e9.n, e.m FROM qa \u00e9 JOIN qb e ON \u00e9.n = e.n", {L"n", L"m"}, pszOn},
            {L"SELECT t.m, T.n FROM qa T JOIN qb t ON t.n = T.n", {L"m", L"n"},
             "SELECT CONCAT_WS('/', y.m, x.n) FROM qa x JOIN qb y ON x.n = y.n"},
            {L"SELECT T.n, t.m FROM qa T, qb t WHERE t.n = 'q'", {L"n", L"m"}, pszWhere},
            {L"SELECT \u00c9.n, e.m FROM qa \u00c9, qb e WHERE e.n = 'q'", {L"n", L"m"}, pszWhere},
            {L"SELECT e.n, \u00e9.m FROM qa e, qb \u00e9 WHERE \u00e9.n = 'q'", {L"n", L"m"}, pszWhere},
            {L"SELECT T.n, MAX(t.m) AS mx FROM qa T, qb t GROUP BY T.n, t.n", {L"n", L"mx"},
             "SELECT CONCAT_WS('/', x.n, MAX(y.m)) FROM qa x, qb y GROUP BY x.n, y.n"},
            {L"SELECT T.m, COUNT(*) AS c FROM qa T, qb t WHERE T.id <= t.id GROUP BY T.m HAVING MAX(t.m) > 250",
             {L"m", L"c"},
             "SELECT CONCAT_WS('/', x.m, COUNT(*)) FROM qa x, qb y WHERE x.id <= y.id GROUP BY x.m HAVING MAX(y.m) > "
             "250"},
            {L"SELECT T.n, t.m FROM qa T, qb t ORDER BY t.n DESC, T.n LIMIT 2", {L"n", L"m"},
             "SELECT CONCAT_WS('/', x.n, y.m) FROM qa x, qb y ORDER BY y.n DESC, x.n LIMIT 2"},
            {L"SELECT T.n, CONCAT(t.n, '!') AS u FROM qa T, qb t WHERE T.id = t.id", {L"n", L"u"},
             "SELECT CONCAT_WS('/', x.n, CONCAT(y.n, '!')) FROM qa x, qb y WHERE x.id = y.id"},
        },
        {L"qa", L"qb"},
        // Each stands for two entries: é and E, é and e, Tt and tT.
        {
            L"SELECT \u00e9.n, E.m FROM qa \u00e9, qb E WHERE e.n = 'q'",
            L"SELECT E.n FROM qa \u00e9, qb e",
            L"SELECT Tt.n, tT.m FROM qa Tt JOIN qb tT ON tt.id = Tt.id",
            L"SELECT Tt.n, COUNT(*) AS c FROM qa Tt, qb tT GROUP BY Tt.n, tt.n",
        });
}

// A GROUP BY or kept ORDER BY column written after its table goes by the
// FROM entry that table stands for, whatever output item the host took it
// for and whatever other table bears its name: x is EPI under an alias
// whose item is written epi beside the entry épi, and the tables t and v
// are t_db and v_db on the server, while épi is epi_db; the host describes
// no table w2. In a query of its own LIMIT or of several SELECTs the
// driver reads the rows of the query written by hand; a table that stands
// for two entries is refused.
TEST_F(RecordWrite, AGroupOrAnOrderGoesByItsOwnFromEntry)
{
    ASSERT_TRUE(Admin("CREATE TABLE EPI (name VARCHAR(8), k INT)") &&
                Admin("INSERT INTO EPI VALUES ('q', 1), ('r', 1), ('s', 2)") &&
                Admin("CREATE TABLE t_db (name VARCHAR(8), amount INT, k INT PRIMARY KEY)") &&
                Admin("INSERT INTO t_db VALUES ('x', 5, 1), ('y', 7, 2), ('z', 5, 3)") &&
                Admin("CREATE TABLE v_db (name VARCHAR(8), k INT)") &&
                Admin("INSERT INTO v_db VALUES ('a', 1), ('b', 2)") &&
                Admin("CREATE TABLE epi_db (name VARCHAR(8), k INT)") && Admin("INSERT INTO epi_db VALUES ('e', 1)") &&
                Admin("CREATE TABLE w2 (name VARCHAR(8))") && Admin("INSERT INTO w2 VALUES ('q'), ('p')"));
    const std::wstring strGroup =
        L"SELECT epi.name, COUNT(*) AS c FROM EPI AS x, t AS \u00e9pi WHERE \u00e9pi.k = 1 GROUP BY x.name";
    const std::wstring strUnion = strGroup + L" UNION ALL SELECT name, k FROM v_db";
    const std::string strGroupHand =
        "SELECT CONCAT_WS('/', y.name, COUNT(*)) FROM EPI x, t_db y WHERE y.k = 1 GROUP BY x.name";
    const std::string strUnionHand = strGroupHand + " UNION ALL SELECT CONCAT_WS('/', name, k) FROM v_db";
    const char* const pszLast =
        "SELECT CONCAT_WS('/', y.name, x.k) FROM EPI x, t_db y ORDER BY x.name DESC, y.name LIMIT 1";
    ExpectRowsByHand(
        {
            {strGroup.c_str(), {L"name", L"c"}, strGroupHand.c_str()},
            {strUnion.c_str(), {L"name", L"c"}, strUnionHand.c_str()},
            {L"SELECT x.k AS name, COUNT(*) AS c FROM EPI x GROUP BY x.name", {L"name", L"c"},
             "SELECT CONCAT_WS('/', k, COUNT(*)) FROM EPI GROUP BY name"},
            {L"SELECT MIN(EPI.name) AS m, COUNT(*) AS c FROM EPI GROUP BY \u00e9pi.k", {L"m", L"c"},
             "SELECT CONCAT_WS('/', MIN(name), COUNT(*)) FROM EPI GROUP BY k"},
            {L"SELECT 'p' AS g, COUNT(*) AS c FROM EPI GROUP BY g", {L"g", L"c"},
             "SELECT CONCAT_WS('/', 'p', COUNT(*)) FROM EPI"},
            {L"SELECT t.amount, COUNT(*) AS c FROM t GROUP BY T.amount", {L"amount", L"c"},
             "SELECT CONCAT_WS('/', amount, COUNT(*)) FROM t_db GROUP BY amount"},
            {L"SELECT epi.name, x.k FROM EPI AS x, t AS \u00e9pi ORDER BY [x] . name DESC, \"\u00e9pi\".name LIMIT 1",
             {L"name", L"k"}, pszLast},
            {L"SELECT epi.name, zA_09Z.k FROM EPI AS zA_09Z, t AS \u00e9pi ORDER BY zA_09Z.name DESC, \u00e9pi.name "
             L"LIMIT 1",
             {L"name", L"k"}, pszLast},
            {L"SELECT x.name FROM EPI x ORDER BY x.k * -1, x.name LIMIT 1", {L"name"},
             "SELECT name FROM EPI ORDER BY k * -1, name LIMIT 1"},
            {L"SELECT k.name FROM EPI k ORDER BY k-k, k.name DESC LIMIT 1", {L"name"},
             "SELECT name FROM EPI ORDER BY k - k, name DESC LIMIT 1"},
            {L"SELECT v.k, t.name FROM v, t ORDER BY t.amount DESC, t.name, v.k LIMIT 3", {L"k", L"name"},
             "SELECT CONCAT_WS('/', v.k, t.name) FROM v_db v, t_db t ORDER BY t.amount DESC, t.name, v.k LIMIT 3"},
            {L"SELECT T.k FROM v, T WHERE v.k = 1 ORDER BY t.name DESC LIMIT 1", {L"k"},
             "SELECT t.k FROM v_db v, t_db t WHERE v.k = 1 ORDER BY t.name DESC LIMIT 1"},
            {L"SELECT EPI.name FROM EPI ORDER BY \u00e9pi.k DESC, \u00e9pi.name LIMIT 2", {L"name"},
             "SELECT name FROM EPI ORDER BY k DESC, name LIMIT 2"},
            {L"SELECT X.name FROM EPI x UNION SELECT name FROM t_db ORDER BY x.name DESC LIMIT 2", {L"name"},
             "SELECT name FROM EPI UNION SELECT name FROM t_db ORDER BY name DESC LIMIT 2"},
            {L"SELECT T.k, t.name FROM t ORDER BY t.k DESC, t.amount LIMIT 2", {L"k", L"name"},
             "SELECT CONCAT_WS('/', k, name) FROM t_db ORDER BY k DESC LIMIT 2"},
            {L"SELECT EPI.name FROM EPI WHERE \u00e9pi.k = 1", {L"name"}, "SELECT name FROM EPI WHERE k = 1"},
            {L"SELECT EPI.name FROM EPI, w2 WHERE W2.name = 'q'", {L"name"},
             "SELECT EPI.name FROM EPI, w2 WHERE w2.name = 'q'"},
            {L"SELECT EPI.name FROM EPI, w2 ORDER BY W2.name DESC, EPI.name LIMIT 2", {L"name"},
             "SELECT EPI.name FROM EPI, w2 ORDER BY w2.name DESC, EPI.name LIMIT 2"},
        },
        {L"EPI", {L"t", L"t_db"}, {L"v", L"v_db"}, {L"\u00e9pi", L"epi_db"}},
        // E stands for e and é.
        {
            L"SELECT e.name FROM v AS e, t AS \u00e9 ORDER BY E.name LIMIT 3",
            L"SELECT e.name FROM v AS e, t AS \u00e9 UNION SELECT name FROM epi_db ORDER BY E.name LIMIT 3",
        });
}

// A new automatic id asked through a query is the next of the table its
// FROM entry reads, whatever table bears the entry's alias.
TEST_F(RecordWrite, ANewIdThroughAnAliasIsItsOwnTables)
{
    ASSERT_TRUE(Admin("CREATE TABLE ia (id INT AUTO_INCREMENT PRIMARY KEY, o INT)") &&
                Admin("INSERT INTO ia VALUES (1, 1), (2, 2)") &&
                Admin("CREATE TABLE ib (id INT AUTO_INCREMENT PRIMARY KEY, o INT)") &&
                Admin("INSERT INTO ib VALUES (10, 10)"));
    unsigned int nContext = 0;
    for (const wchar_t* pszQuery : {L"SELECT id, o FROM ia ib", L"SELECT IB.id, IB.o FROM ia IB"}) {
        SCOPED_TRACE(Narrow(pszQuery));
        const std::string strNext = First("SELECT MAX(id) + 1 FROM ia");
        CHostContext* pc = Context(++nContext);
        INATable* pi = QueryIn(true, false, pszQuery, pc, {L"ia", L"ib"});
        ASSERT_NE(pi, nullptr);
        ASSERT_EQ(Read(pi, pc, L"id", FIRST), 1) << Error(pi, pc);
        PutItem(pi, pc, L"o", CInt(5));
        ASSERT_EQ(pi->bHAjoute(pc, CNAStatement::WPF_AUTOID_NEW, kNoLock), 1) << Error(pi, pc);
        EXPECT_EQ(First("SELECT o FROM ia WHERE id = " + strNext), "5");
        EXPECT_EQ(First("SELECT GROUP_CONCAT(id) FROM ib"), "10");
    }
}

// ---- Writes the other tests leave alone -------------------------------------------------------------------------

class HeldWrite : public TableObjectServer {
protected:
    HeldWrite()
        : TableObjectServer(
              "zt50hw",
              {"CREATE TABLE wu (id INT PRIMARY KEY, u INT NOT NULL, t VARCHAR(10), UNIQUE KEY (u)) ENGINE=InnoDB",
               "INSERT INTO wu VALUES (1, 10, 'a'), (2, 20, 'b')",
               "CREATE TABLE wd (id INT PRIMARY KEY, m DECIMAL(5,2), t VARCHAR(10)) ENGINE=InnoDB",
               "CREATE TABLE wa (id INT AUTO_INCREMENT PRIMARY KEY, v INT) ENGINE=InnoDB",
               "INSERT INTO wa VALUES (1, 10), (2, 20)",
               "CREATE TABLE wq (id INT PRIMARY KEY, g INT, KEY (g)) ENGINE=InnoDB",
               "INSERT INTO wq VALUES (1, 1), (2, 1), (3, 2), (4, 2), (5, 3)"})
    {
    }
};

// A read record whose key is changed and whose unique item is left as read
// is refused as a duplicate of that item; nothing is added.
TEST_F(HeldWrite, AnAddKeepingAReadUniqueValueNamesIt)
{
    CHostContext* pc = Context(1);
    INATable* pi = Open(L"wu", pc);
    ASSERT_NE(pi, nullptr);
    ASSERT_EQ(Read(pi, pc, L"id", FIRST), 1) << Error(pi, pc);
    SetItem(pi, pc, L"id", L"99");
    EXPECT_EQ(pi->bHAjoute(pc, 0, kNoLock), 0);
    EXPECT_EQ(ErrorOf(pi, pc)->eGetErrorType(), NA_ERRORTYPE_DUPLICATE) << Error(pi, pc);
    const wchar_t* pszItem = ErrorOf(pi, pc)->pszGetItemName();
    EXPECT_EQ(Narrow(pszItem != nullptr ? pszItem : L""), "u");
    EXPECT_EQ(List("SELECT CONCAT(id, '/', u) FROM wu ORDER BY id"), (Rows{"1/10", "2/20"}));
}

// Record 0 after an add is the row as the server stored it, whatever the
// buffer holds since; a row another connection deleted reads as deleted.
TEST_F(HeldWrite, RecordZeroAfterAnAddAndAfterADeleteElsewhere)
{
    CHostContext* pc = Context(1);
    INATable* pi = Open(L"wd", pc);
    ASSERT_NE(pi, nullptr);
    SetItem(pi, pc, L"id", L"5");
    SetItem(pi, pc, L"m", L"1.236");
    SetItem(pi, pc, L"t", L"added");
    ASSERT_EQ(pi->bHAjoute(pc, 0, kNoLock), 1) << Error(pi, pc);
    SetItem(pi, pc, L"m", L"7");
    SetItem(pi, pc, L"t", L"changed");
    ASSERT_EQ(pi->bHLit(pc, 0, kNoLock, nullptr), 1) << Error(pi, pc);
    EXPECT_EQ(Value(pi, pc, L"id"), "5");
    EXPECT_EQ(Value(pi, pc, L"m"), First("SELECT m FROM wd WHERE id = 5"));
    EXPECT_EQ(Value(pi, pc, L"t"), First("SELECT t FROM wd WHERE id = 5"));
    unsigned int nState = 7;
    ASSERT_EQ(pi->bGetRecNumState(pc, 0, &nState), 1);
    EXPECT_EQ(nState, 0u);

    ASSERT_TRUE(Admin("DELETE FROM wd WHERE id = 5"));
    EXPECT_EQ(pi->bHLit(pc, 0, kNoLock, nullptr), 1) << Error(pi, pc);
    ASSERT_EQ(pi->bGetRecNumState(pc, 0, &nState), 1);
    EXPECT_EQ(nState, 128u);
}

// The automatic identifier changed in the buffer: not written unless the
// host says it gives it, and the record keeps the identifier of its row.
TEST_F(HeldWrite, TheAutomaticIdentifierOnAModify)
{
    CHostContext* pc = Context(1);
    INATable* pi = Open(L"wa", pc);
    ASSERT_NE(pi, nullptr);
    ASSERT_EQ(Read(pi, pc, L"id", FIRST), 1) << Error(pi, pc);
    SetItem(pi, pc, L"id", L"50");
    SetItem(pi, pc, L"v", L"11");
    ASSERT_EQ(pi->bHModifie(pc, 0, 0, kNoLock), 1) << Error(pi, pc);
    EXPECT_EQ(List("SELECT CONCAT(id, '/', v) FROM wa ORDER BY id"), (Rows{"1/11", "2/20"}));
    EXPECT_EQ(Value(pi, pc, L"id"), "1");

    SetItem(pi, pc, L"id", L"60");
    SetItem(pi, pc, L"v", L"12");
    ASSERT_EQ(pi->bHModifie(pc, 0, CNAStatement::WPF_AUTOID_GIVEN, kNoLock), 1) << Error(pi, pc);
    EXPECT_EQ(List("SELECT CONCAT(id, '/', v) FROM wa ORDER BY id"), (Rows{"2/20", "60/12"}));
    EXPECT_EQ(Value(pi, pc, L"id"), "60");
}

// Deleting every record of a query takes that query's rows only; an empty
// query deletes nothing; a query sent as written is refused.
TEST_F(HeldWrite, DeletingEveryRecordOfAQuery)
{
    CHostContext* pc = Context(1);
    INATable* piEmpty = Run(L"SELECT id, g FROM wq WHERE g > 10", L"wq", pc, 0);
    ASSERT_NE(piEmpty, nullptr);
    EXPECT_EQ(piEmpty->bSupprimeTout(pc), 1) << Error(piEmpty, pc);
    EXPECT_EQ(First("SELECT COUNT(*) FROM wq"), "5");

    CHostContext* pcAsWritten = Context(2);
    INATable* piAsWritten =
        Run(L"SELECT id, g FROM wq WHERE g = 3", L"wq", pcAsWritten, CNADataAccess::QM_WITHOUT_CORRECTION);
    ASSERT_NE(piAsWritten, nullptr);
    EXPECT_EQ(piAsWritten->bSupprimeTout(pcAsWritten), 0);
    EXPECT_EQ(ErrorOf(piAsWritten, pcAsWritten)->nGetUserErrorCode(),
              static_cast<unsigned int>(ZTERR_WITHOUT_CORRECTION));
    EXPECT_EQ(First("SELECT COUNT(*) FROM wq"), "5");

    CHostContext* pcSome = Context(3);
    INATable* piSome = Run(L"SELECT id, g FROM wq WHERE g = 1", L"wq", pcSome, 0);
    ASSERT_NE(piSome, nullptr);
    EXPECT_EQ(piSome->bSupprimeTout(pcSome), 1) << Error(piSome, pcSome);
    EXPECT_EQ(List("SELECT id FROM wq ORDER BY id"), (Rows{"3", "4", "5"}));
}

} // namespace
