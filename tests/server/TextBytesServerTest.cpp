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
                if (n == 2)
                    ASSERT_EQ(Read(pi, pc, L"o", NEXT), 1) << Error(pi, pc);
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
                if (n == 2)
                    ASSERT_EQ(Read(pi, pc, L"o", NEXT), 1) << Error(pi, pc);
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
        CHostContext* pc = Context(++nContext);
        INATable* pi = Open(L"pg", pc, HostIn(bUTF8));
        ASSERT_NE(pi, nullptr);
        for (const int n : {1, 2}) {
            ASSERT_EQ(Read(pi, pc, L"k", n == 1 ? LAST : FIRST), 1) << Error(pi, pc);
            PutItem(pi, pc, L"v", CInt(10 * n));
            ASSERT_EQ(pi->bHModifie(pc, 0, 0, kNoLock), 1) << Error(pi, pc);
        }
        EXPECT_EQ(List(strRows), (Rows{"3F/20", "AE/10"}));
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
