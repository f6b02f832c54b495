// Returns to saved positions around writes of the browse's own rows through
// the same data access, on the private server: through the table object and
// a host query, keyed and keyless, in both code pages, read whole and in
// blocks of one. The record a return brings back and the row the browse
// reads next are held against the server's own rows.
#include "tests/support/TableObjectServer.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace tableobject;

// What happens between the read of the browse's second row, (2, 'b', Ω),
// and the return.
enum eCASE { WRITTEN_THEN_NOTED, WRITTEN_TWICE, NOTED_THEN_WRITTEN, KEY_WRITTEN, ANOTHER_WRITTEN, ADDED_AGAIN, GONE };

const std::string kOmega = "_utf8mb4 X'CEA9'";

class ReturnAfterWrite : public TableObjectServer {
protected:
    ReturnAfterWrite()
        : TableObjectServer("zt88rw", {"CREATE TABLE k (id INT PRIMARY KEY, o INT, t VARCHAR(9), u VARCHAR(5) "
                                       "CHARACTER SET utf8mb4, KEY (o))",
                                       "CREATE TABLE n (o INT, t VARCHAR(9), u VARCHAR(5) CHARACTER SET utf8mb4, "
                                       "KEY (o))"})
    {
    }
    // Without a key a row is known by its values: once the second row's
    // text is 'new', a row that differs from it only by "?", which is how
    // 1252 reads Ω, stands beside it.
    void Case(eCASE e, bool bKeyed, bool bQuery, bool bUTF8, int nBlock)
    {
        SCOPED_TRACE("case " + std::to_string(e) + (bKeyed ? ", keyed" : ", keyless") + (bQuery ? ", query" : "") +
                     (bUTF8 ? ", UTF-8" : ", 1252") + (nBlock != 0 ? ", blocks of one" : ""));
        const std::string strTable = bKeyed ? "k" : "n";
        const std::string strId = bKeyed ? "id, " : "";
        ASSERT_TRUE(Admin("DELETE FROM " + strTable) &&
                    Admin("INSERT INTO " + strTable + " VALUES (" + (bKeyed ? "1, " : "") + "1, 'a', '?'), (" +
                          (bKeyed ? "2, " : "") + "2, 'b', " + kOmega + "), (" + (bKeyed ? "3, " : "") +
                          "2, 'new', '?'), (" + (bKeyed ? "4, " : "") + "2, 'p', '?'), (" + (bKeyed ? "5, " : "") +
                          "3, 'c', " + kOmega + ")"));
        CHostContext* pc = Context(++m_nContext);
        const std::wstring strName = Wide(strTable);
        INATable* pi = bQuery ? QueryIn(bUTF8, false, Wide("SELECT " + strId + "o, t, u FROM " + strTable), pc,
                                        {strName.c_str()}, nBlock)
                              : Open(strName.c_str(), pc, HostIn(bUTF8, nBlock));
        ASSERT_NE(pi, nullptr);
        ASSERT_EQ(Read(pi, pc, L"o", FIRST), 1) << Error(pi, pc);
        ASSERT_EQ(Read(pi, pc, L"o", NEXT), 1) << Error(pi, pc);
        const auto Write = [&](const wchar_t* pszText) {
            PutItem(pi, pc, L"t", CHostText(pszText));
            return pi->bHModifie(pc, 0, 0, kNoLock);
        };
        // The row as the server holds it at the return, "o/t", and the
        // values whose place the browse goes on from.
        std::string strRow = "2/new";
        std::string strPlace = "2, 'new'";
        int nPosition = e == WRITTEN_THEN_NOTED || e == WRITTEN_TWICE || e == KEY_WRITTEN || e == GONE
                            ? -1
                            : Save(pi, pc, L"o");
        if (e == ANOTHER_WRITTEN) {
            ASSERT_EQ(Read(pi, pc, L"o", NEXT), 1) << Error(pi, pc);
            ASSERT_EQ(Write(L"z"), 1) << Error(pi, pc);
            strRow = "2/b";
            strPlace = "2, 'b'";
        } else if (e == ADDED_AGAIN) {
            ASSERT_EQ(pi->bHSupprime(pc, 0, kNoLock), 1) << Error(pi, pc);
            ASSERT_EQ(pi->bHAjoute(pc, 0, kNoLock), 1) << Error(pi, pc);
            strRow = "2/b";
            strPlace = "2, 'b'";
        } else {
            if (e == KEY_WRITTEN) {
                // The browse goes on from where the row stood when read.
                PutItem(pi, pc, L"o", CInt(5));
                strRow = "5/new";
                strPlace = "2, 'b'";
            }
            ASSERT_TRUE(e != WRITTEN_TWICE || Write(L"q") == 1) << Error(pi, pc);
            ASSERT_EQ(Write(L"new"), 1) << Error(pi, pc);
        }
        if (nPosition == -1)
            nPosition = Save(pi, pc, L"o");
        // Its browse key written, the row the browse reads next is written
        // too.
        ASSERT_TRUE(e != KEY_WRITTEN || (Read(pi, pc, L"o", NEXT) == 1 && Write(L"z") == 1)) << Error(pi, pc);
        ASSERT_TRUE(e != GONE || Admin("DELETE FROM " + strTable + " WHERE t = 'new' AND u = " + kOmega));
        ASSERT_EQ(Read(pi, pc, L"o", FIRST), 1) << Error(pi, pc);
        Sent();
        ASSERT_EQ(pi->bHRetourPosition(pc, nPosition, nullptr, 0, 0), 1) << Error(pi, pc);

        // One question to the server, by the row's own values: Ω by its
        // bytes, not by the "?" 1252 shows.
        const Rows tabAsked = Sent();
        ASSERT_EQ(tabAsked.size(), 1u);
        EXPECT_NE(tabAsked[0].find(bKeyed ? "`id`=2" : "X'CEA9'"), std::string::npos) << tabAsked[0];
        EXPECT_EQ(Found(pi, pc, L"o"), e == GONE ? 0 : 1);
        const std::string strOmega = e == GONE ? "NULL" : bUTF8 ? "\xCE\xA9" : "?";
        EXPECT_EQ(Value(pi, pc, L"o") + "/" + Value(pi, pc, L"t") + "/" + Value(pi, pc, L"u"),
                  (e == GONE ? "NULL/NULL" : strRow) + "/" + strOmega);
        EXPECT_EQ(List("SELECT CONCAT_WS('/', o, t) FROM " + strTable + " WHERE u = " + kOmega + " AND o <> 3"),
                  e == GONE ? Rows() : Rows({strRow}));
        // The next row is the server's next after the place, in the
        // browse's order.
        const std::string strAfter = bKeyed ? "(o, id) > (2, 2) ORDER BY o, id"
                                            : "(o, t, u) > (" + strPlace + ", " + kOmega + ") ORDER BY o, t, u";
        ASSERT_EQ(Read(pi, pc, L"o", NEXT), 1) << Error(pi, pc);
        EXPECT_EQ(Value(pi, pc, L"o") + "/" + Value(pi, pc, L"t"),
                  First("SELECT CONCAT_WS('/', o, t) FROM " + strTable + " WHERE " + strAfter + " LIMIT 1"));
        EXPECT_EQ(First("SELECT GROUP_CONCAT(t ORDER BY t) FROM " + strTable + " WHERE u = '?'"),
                  e == ANOTHER_WRITTEN || e == KEY_WRITTEN ? "a,p,z" : "a,new,p");
    }

    unsigned int m_nContext = 0;
};

// Each return finds its row as the server holds it, written through the
// same data access, or answers "not found" where the row is gone; the browse
// goes on from there in the server's order.
TEST_F(ReturnAfterWrite, EachReturnFindsItsRowAsWritten)
{
    for (const eCASE e : {WRITTEN_THEN_NOTED, WRITTEN_TWICE, NOTED_THEN_WRITTEN, KEY_WRITTEN, ANOTHER_WRITTEN,
                          ADDED_AGAIN, GONE})
        for (const bool bKeyed : {true, false})
            for (const bool bQuery : {false, true})
                for (const bool bUTF8 : {true, false})
                    for (const int nBlock : {0, 1})
                        // In 1252 the host holds Ω as "?", and an add writes
                        // the values the host holds.
                        if (bUTF8 || e != ADDED_AGAIN)
                            Case(e, bKeyed, bQuery, bUTF8, nBlock);
}

} // namespace
