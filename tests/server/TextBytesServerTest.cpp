// Texts of a character set whose bytes the server may read as another
// row's text: a byte that stands for no character (greek 0xAE, cp1250 0x81,
// sjis 0xF040) reads as "?" as a real one does, and cp932 has two byte
// forms of one character. A write of one of two such rows changes that row,
// found by the column's own bytes; sets that hold every text whole read no
// bytes beside it. Judged by the server's own rows, in both code pages.
#include "tests/support/TableObjectServer.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace tableobject;

class TextBytes : public TableObjectServer {
protected:
    TextBytes() : TableObjectServer("zt50tb") {}
};

struct STwins {
    const char* pszTable;
    const char* pszColumn; // its declaration
    const char* pszFirst;  // the row inserted first, then the second
    const char* pszSecond;
};

// Without a key, each of the two rows, read in its place, is modified and
// deleted alone: the write changes the row read, not its twin, which the
// server may find first.
TEST_F(TextBytes, AKeylessRowIsFoundByItsColumnsOwnBytes)
{
    const STwins tabCases[] = {
        {"kg", "VARCHAR(5) CHARACTER SET greek", "_greek X'AE'", "'?'"},
        {"kc", "VARCHAR(5) CHARACTER SET cp1250", "_cp1250 X'81'", "'?'"},
        {"ks", "VARCHAR(5) CHARACTER SET sjis", "_sjis X'F040'", "'?'"},
        {"kj", "VARCHAR(5) CHARACTER SET cp932", "_cp932 X'8790'", "_cp932 X'81E0'"},
        {"km", "TEXT CHARACTER SET greek", "'?'", "_greek X'AE'"},
    };
    unsigned int nContext = 0;
    for (const STwins& c : tabCases) {
        const std::string strTable = c.pszTable;
        ASSERT_TRUE(Admin("CREATE TABLE " + strTable + " (o INT, t " + c.pszColumn + ", KEY (o))"));
        const std::string strInsert =
            "INSERT INTO " + strTable + " VALUES (1, " + c.pszFirst + "), (1, " + c.pszSecond + ")";
        // The browse's order: o, then a VARCHAR as the server sorts it, a
        // memo as the index of o holds it.
        const std::string strRows = "SELECT CONCAT(o, '/', HEX(t)) FROM " + strTable + " FORCE INDEX (o) ORDER BY o" +
                                    (std::string(c.pszColumn).compare(0, 4, "TEXT") == 0 ? "" : ", t");
        for (const bool bUTF8 : {true, false}) {
            for (const int n : {1, 2}) {
                SCOPED_TRACE(strTable + (bUTF8 ? " in UTF-8, row " : " in 1252, row ") + std::to_string(n));
                ASSERT_TRUE(Admin("DELETE FROM " + strTable) && Admin(strInsert));
                const Rows tabBefore = List(strRows);
                ASSERT_EQ(tabBefore.size(), 2u);
                CHostContext* pc = Context(++nContext);
                INATable* pi = Open(Wide(strTable).c_str(), pc, HostIn(bUTF8));
                ASSERT_NE(pi, nullptr);
                Sent();
                ASSERT_EQ(Read(pi, pc, L"o", FIRST), 1) << Error(pi, pc);
                if (n == 2) {
                    ASSERT_EQ(Read(pi, pc, L"o", NEXT), 1) << Error(pi, pc);
                }
                // Its own bytes come with the row.
                const Rows tabSent = Sent();
                ASSERT_FALSE(tabSent.empty());
                EXPECT_NE(tabSent.back().find("CONVERT(`t` USING binary)"), std::string::npos) << tabSent.back();
                PutItem(pi, pc, L"o", CInt(2));
                ASSERT_EQ(pi->bHModifie(pc, 0, 0, kNoLock), 1) << Error(pi, pc);
                const std::string strRead = tabBefore[static_cast<size_t>(n - 1)].substr(2);
                const std::string strOther = tabBefore[static_cast<size_t>(2 - n)].substr(2);
                EXPECT_EQ(List(strRows), (Rows{"1/" + strOther, "2/" + strRead}));

                ASSERT_TRUE(Admin("UPDATE " + strTable + " SET o = 1"));
                ASSERT_EQ(Read(pi, pc, L"o", FIRST), 1) << Error(pi, pc);
                if (n == 2) {
                    ASSERT_EQ(Read(pi, pc, L"o", NEXT), 1) << Error(pi, pc);
                }
                ASSERT_EQ(pi->bHSupprime(pc, 0, kNoLock), 1) << Error(pi, pc);
                EXPECT_EQ(List(strRows), (Rows{"1/" + strOther}));
            }
        }
    }
}

// A unique key of such a set finds its row by the key's own bytes too.
TEST_F(TextBytes, AKeyOfSuchASetFindsItsOwnRow)
{
    ASSERT_TRUE(Admin("CREATE TABLE pg (k VARCHAR(5) CHARACTER SET greek PRIMARY KEY, v INT)"));
    const std::string strRows = "SELECT CONCAT(HEX(k), '/', v) FROM pg ORDER BY k";
    unsigned int nContext = 0;
    for (const bool bUTF8 : {true, false}) {
        SCOPED_TRACE(bUTF8 ? "in UTF-8" : "in 1252");
        ASSERT_TRUE(Admin("DELETE FROM pg") && Admin("INSERT INTO pg VALUES ('?', 1), (_greek X'AE', 2)"));
        // The keys in the server's order, the last modified first.
        const Rows tabKeys = List("SELECT HEX(k) FROM pg ORDER BY k");
        ASSERT_EQ(tabKeys.size(), 2u);
        CHostContext* pc = Context(++nContext);
        INATable* pi = Open(L"pg", pc, HostIn(bUTF8));
        ASSERT_NE(pi, nullptr);
        for (const int n : {1, 2}) {
            ASSERT_EQ(Read(pi, pc, L"k", n == 1 ? LAST : FIRST), 1) << Error(pi, pc);
            PutItem(pi, pc, L"v", CInt(10 * n));
            ASSERT_EQ(pi->bHModifie(pc, 0, 0, kNoLock), 1) << Error(pi, pc);
        }
        EXPECT_EQ(List(strRows), (Rows{tabKeys[0] + "/20", tabKeys[1] + "/10"}));
    }
}

// Read in blocks of one, a browse goes on from each row by its exact form
// read beside it: a greek key's own bytes (0xAE and "?" read alike), and a
// query's text in 1252 (Ω read as "?") by its UTF-8 bytes. Each row once,
// both ways, in the server's order.
TEST_F(TextBytes, ABrowseInBlocksGoesOnFromEachRowsForm)
{
    ASSERT_TRUE(Admin("CREATE TABLE bg (k VARCHAR(5) CHARACTER SET greek PRIMARY KEY, v INT)") &&
                Admin("INSERT INTO bg VALUES ('?', 1), (_greek X'AE', 2), ('a', 3), (_greek X'AEAE', 4), ('b', 5)") &&
                Admin("CREATE TABLE bq (id INT PRIMARY KEY, t VARCHAR(5) CHARACTER SET utf8mb4, KEY (t))") &&
                Admin("INSERT INTO bq VALUES (1, '?'), (2, _utf8mb4 X'CEA9'), (3, 'a'), (4, _utf8mb4 X'CEA9CEA9'), "
                      "(5, 'b'), (6, _utf8mb4 X'CEA93F')"));
    const struct {
        const char* pszTable;
        const wchar_t* pszQuery; // null: the table itself
        const wchar_t* pszItem;
        const wchar_t* pszValue;
        const char* pszOrder;
    } aCases[] = {
        {"bg", nullptr, L"k", L"v", "SELECT v FROM bg ORDER BY k"},
        {"bq", L"SELECT id, t FROM bq", L"t", L"id", "SELECT id FROM bq ORDER BY t, id"},
    };
    unsigned int nContext = 0;
    for (const auto& c : aCases) {
        const Rows tabServer = List(c.pszOrder);
        for (const bool bUTF8 : {true, false}) {
            SCOPED_TRACE(std::string(c.pszTable) + (bUTF8 ? " in UTF-8" : " in 1252"));
            CHostContext* pc = Context(++nContext);
            INATable* pi = c.pszQuery == nullptr ? Open(Wide(c.pszTable).c_str(), pc, HostIn(bUTF8, 1))
                                                 : QueryIn(bUTF8, false, c.pszQuery, pc, {L"bq"}, 1);
            ASSERT_NE(pi, nullptr);
            const auto fnValue = [&](int bRead) { return bRead == 1 ? Value(pi, pc, c.pszValue) : Error(pi, pc); };
            EXPECT_EQ(Every(pi, pc, c.pszItem, 0, false, fnValue), tabServer);
            EXPECT_EQ(Every(pi, pc, c.pszItem, 0, true, fnValue), Rows(tabServer.rbegin(), tabServer.rend()));
        }
    }
}

// Sets that hold every text whole pay nothing: no bytes beside the row.
TEST_F(TextBytes, WholeSetsReadNoBytesBeside)
{
    ASSERT_TRUE(Admin("CREATE TABLE kw (o INT, a VARCHAR(5) CHARACTER SET latin1, b VARCHAR(5) CHARACTER SET utf8mb4, "
                      "c VARCHAR(5) CHARACTER SET utf8mb3, d VARBINARY(5), KEY (o))") &&
                Admin("INSERT INTO kw VALUES (1, 'a', 'b', 'c', 'd')"));
    unsigned int nContext = 0;
    for (const bool bUTF8 : {true, false}) {
        SCOPED_TRACE(bUTF8 ? "in UTF-8" : "in 1252");
        CHostContext* pc = Context(++nContext);
        INATable* pi = Open(L"kw", pc, HostIn(bUTF8));
        ASSERT_NE(pi, nullptr);
        Sent();
        ASSERT_EQ(Read(pi, pc, L"o", FIRST), 1) << Error(pi, pc);
        const Rows tabSent = Sent();
        ASSERT_FALSE(tabSent.empty());
        for (const char* pszColumn : {"a", "b", "c", "d"})
            EXPECT_EQ(tabSent.back().find("CONVERT(`" + std::string(pszColumn) + "` USING binary)"), std::string::npos)
                << tabSent.back();
    }
}

} // namespace
