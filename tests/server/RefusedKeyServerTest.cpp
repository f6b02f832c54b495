// Records holding a server value that their item cannot take (a TIME below
// 00:00:00 or from 100:00:00 on), computed by a query or read from a column,
// in a table keyed on id: a modify or a delete of the record finds its row
// by the key alone and writes what the same write by hand writes, and a
// return to a saved position asks after the row by the key. Without a key
// free of NULLs every item is compared, each refused one with the server's
// text of its value (a computed item by its expression), never as NULL: a
// write changes that row, and a browse brought back to the record reads on
// past it both ways, its place counted among the rows. A query whose first
// item is computed writes to its table; a query that limits its rows finds
// the record of a refused value by the server's text through the value's
// output name, after a write elsewhere, and reads on from it. In both code
// pages, on the server road and from a query's whole-table cache. Judged by
// the server's own rows.
#include "common/platform/MyModuleInfo.h"
#include "tests/support/TableObjectServer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace tableobject;

constexpr unsigned int kCache = CNADataAccess::WPF_TABLE_CACHE;
enum eROAD { SERVER, CACHE };
enum eWRITE { RENAME, SET_TIME, REMOVE, ADD };

std::string Table(const char* pszName, const char* pszKey)
{
    return std::string("CREATE TABLE ") + pszName + " (id INT " + pszKey +
           ", name VARCHAR(10), t TIME NULL, u TIME NULL) CHARACTER SET utf8mb4";
}

// Row 2: its difference refused, row 4 alike in all but the key, row 5 the
// difference NULL. Row 6: the time and the difference refused, row 7 alike
// with the time NULL.
const char* const kRows = "(1, 'a', '10:00:00', '09:00:00'), (2, 'b\xC3\xA9', '08:00:00', '09:00:00'), "
                          "(3, 'c', '11:00:00', '09:00:00'), (4, 'b\xC3\xA9', '08:00:00', '09:00:00'), "
                          "(5, 'b\xC3\xA9', NULL, '09:00:00'), (6, 'b\xC3\xA9', '-01:00:00', '09:00:00'), "
                          "(7, 'b\xC3\xA9', NULL, '09:00:00')";
// The rows and row 6 again with its time NULL: a table without a key holds
// it twice.
const std::string kTwin = std::string(kRows) + ", (6, 'b\xC3\xA9', NULL, '09:00:00')";

class RefusedKey : public TableObjectServer {
protected:
    RefusedKey()
        : TableObjectServer("ztrefkey", {Table("kp", "NOT NULL PRIMARY KEY"), Table("nk", "NULL, KEY(id)"),
                                       Table("nu", "NULL UNIQUE")})
    {
    }
    // The table's rows made anew, and a copy h to write by hand.
    void Reset(const char* pszTable, const std::string& strValues = kRows)
    {
        ASSERT_TRUE(Admin(std::string("DELETE FROM ") + pszTable));
        ASSERT_TRUE(Admin(std::string("INSERT INTO ") + pszTable + " VALUES " + strValues));
        ASSERT_TRUE(Admin("DROP TABLE IF EXISTS h"));
        ASSERT_TRUE(Admin(std::string("CREATE TABLE h LIKE ") + pszTable));
        ASSERT_TRUE(Admin(std::string("INSERT INTO h SELECT * FROM ") + pszTable));
    }
    Rows Server(const std::string& strTable)
    {
        return List("SELECT CONCAT_WS('|', IFNULL(id, 'NULL'), name, IFNULL(t, 'NULL'), IFNULL(u, 'NULL')) FROM " +
                    strTable + " ORDER BY id, t");
    }
    // The query on the road in a context of its own.
    INATable* Query(bool bUTF8, eROAD eRoad, const std::wstring& strText, CHostContext** ppc, int nBlock = 0)
    {
        *ppc = Context(++m_nContext);
        return QueryIn(bUTF8, eRoad == CACHE, strText, *ppc, {L"kp", L"nk", L"nu"}, nBlock);
    }
    // The browse on the item moved from its first record to the first of
    // the id whose read fails: on the item named, with user error 53.
    static void Land(INATable* pi, CHostContext* pc, const wchar_t* pszItem, unsigned int nFlags,
                     const std::string& strId, const char* pszRefused)
    {
        for (eNA_PARSEDIRECTION e = FIRST;; e = NEXT) {
            const int bRead = pi->bHLitxxx(pc, pszItem, e, 1, kNoLock, nullptr, nFlags);
            ASSERT_FALSE(bRead == 1 && Out(pi, pc, pszItem)) << "no refused record " << strId;
            if (bRead == 0 && Value(pi, pc, L"id") == strId) {
                ExpectRefused(pi, pc, pszRefused);
                return;
            }
        }
    }
    static void ExpectRefused(INATable* pi, CHostContext* pc, const char* pszItem)
    {
        CNAError* pError = ErrorOf(pi, pc);
        const std::string strMessage = UTF8Of(pError->pclGetXError()->pszGetUserMessage());
        EXPECT_EQ(pError->nGetUserErrorCode(), 53u) << strMessage;
        EXPECT_NE(strMessage.find(std::string("Item \"") + pszItem + "\""), std::string::npos) << strMessage;
    }
    // The write of the record, then the same write by hand in h on the
    // rows the condition given finds (an add: of id 50, named).
    void Write(INATable* pi, CHostContext* pc, eWRITE eWrite, const std::string& strWhere,
               const wchar_t* pszName = L"z\u00E9", const char* pszNameUTF8 = "z\xC3\xA9")
    {
        if (eWrite == REMOVE) {
            ASSERT_EQ(pi->bHSupprime(pc, 0, kNoLock), 1) << Error(pi, pc);
            ASSERT_TRUE(Admin("DELETE FROM h WHERE " + strWhere));
            return;
        }
        if (eWrite == ADD) {
            PutItem(pi, pc, L"id", CInt(50));
            PutItem(pi, pc, L"name", CHostText(pszName));
            ASSERT_EQ(pi->bHAjoute(pc, 0, kNoLock), 1) << Error(pi, pc);
            ASSERT_TRUE(Admin(std::string("INSERT INTO h (id, name) VALUES (50, '") + pszNameUTF8 + "')"));
            return;
        }
        PutItem(pi, pc, eWrite == RENAME ? L"name" : L"t", CHostText(eWrite == RENAME ? pszName : L"103000000"));
        ASSERT_EQ(pi->bHModifie(pc, 0, 0, kNoLock), 1) << Error(pi, pc);
        const std::string strSet = eWrite == RENAME ? std::string("name = '") + pszNameUTF8 + "'" : "t = '10:30:00'";
        ASSERT_TRUE(Admin("UPDATE h SET " + strSet + " WHERE " + strWhere));
    }
    // The browse on the item moved from its first record to the first of
    // the id: the answer of that read.
    static int ReadTo(INATable* pi, CHostContext* pc, const wchar_t* pszItem, unsigned int nFlags,
                      const std::string& strId)
    {
        for (eNA_PARSEDIRECTION e = FIRST;; e = NEXT) {
            const int bRead = pi->bHLitxxx(pc, pszItem, e, 1, kNoLock, nullptr, nFlags);
            EXPECT_FALSE(bRead == 1 && Out(pi, pc, pszItem)) << "no record " << strId;
            if ((bRead == 1 && Out(pi, pc, pszItem)) || Value(pi, pc, L"id") == strId)
                return bRead;
        }
    }
    // What a read gave: id, name and time, and whether it failed.
    static std::string Seen(INATable* pi, CHostContext* pc, const wchar_t* pszItem, int bRead)
    {
        if (bRead == 1 && Out(pi, pc, pszItem))
            return "out";
        return Value(pi, pc, L"id") + "|" + Value(pi, pc, L"name") + "|" + Value(pi, pc, L"t") +
               (bRead == 1 ? "" : " refused");
    }
    // The whole browse on the item of the query run afresh, as the server
    // holds the rows now.
    Rows Order(bool bUTF8, eROAD eRoad, const std::wstring& strQuery, const wchar_t* pszItem)
    {
        CHostContext* pc = nullptr;
        INATable* pi = Query(bUTF8, eRoad, strQuery, &pc);
        if (pi == nullptr)
            return Rows();
        return Every(pi, pc, pszItem, eRoad == CACHE ? kCache : 0, false,
                     [&](int bRead) { return Seen(pi, pc, pszItem, bRead); });
    }

    int m_nContext = 0;
};

// What the record comes from: queries computing the difference, the key
// first or last, one reading the time too; the table itself.
struct SSource {
    const wchar_t* pszQuery; // null: the table opened
    bool bTime;              // the time is an item
};
const SSource kSources[] = {
    {L"SELECT id, name, TIMEDIFF(t, u) AS d FROM kp", false},
    {L"SELECT name, TIMEDIFF(t, u) AS d, id FROM kp", false},
    {L"SELECT id, name, t, TIMEDIFF(t, u) AS d FROM kp", true},
    {nullptr, true},
};

// A modify or a delete of a record whose computed difference, or time, is
// refused writes the row of its key as the same write by hand does: never
// its twin, the refused values left as the server holds them unless
// written.
TEST_F(RefusedKey, AWriteFindsTheRowByItsKeyWhateverItsRefusedItems)
{
    for (const bool bUTF8 : {true, false}) {
        for (const SSource& c : kSources) {
            for (const eROAD eRoad : {SERVER, CACHE}) {
                if (c.pszQuery == nullptr && eRoad == CACHE)
                    continue;
                for (const char* pszId : {"2", "6"}) {
                    // The first refused item of the record names the failure.
                    const char* pszRefused = !c.bTime || std::string(pszId) == "2" ? "d" : "t";
                    if (c.pszQuery == nullptr && std::string(pszId) == "2")
                        continue; // nothing refused
                    for (const eWRITE eWrite : {RENAME, SET_TIME, REMOVE}) {
                        if (eWrite == SET_TIME && !c.bTime)
                            continue;
                        SCOPED_TRACE(std::string(bUTF8 ? "UTF-8, " : "1252, ") +
                                     (c.pszQuery != nullptr ? Narrow(c.pszQuery) : "table") +
                                     (eRoad == SERVER ? ", server" : ", cache") + ", id " + pszId + ", write " +
                                     std::to_string(eWrite));
                        ASSERT_NO_FATAL_FAILURE(Reset("kp"));
                        CHostContext* pc = nullptr;
                        INATable* pi = nullptr;
                        if (c.pszQuery != nullptr) {
                            pi = Query(bUTF8, eRoad, c.pszQuery, &pc);
                        } else {
                            pc = Context(++m_nContext);
                            pi = Open(L"kp", pc, HostIn(bUTF8));
                        }
                        ASSERT_NE(pi, nullptr);
                        ASSERT_NO_FATAL_FAILURE(Land(pi, pc, L"id", eRoad == CACHE ? kCache : 0, pszId, pszRefused));
                        ASSERT_NO_FATAL_FAILURE(Write(pi, pc, eWrite, std::string("id = ") + pszId));
                        EXPECT_EQ(Server("kp"), Server("h"));
                    }
                }
            }
        }
    }
}

// Without a key free of NULLs (none, or a unique one holding NULL) the
// condition compares every item, each refused one with the server's text
// of its value: a refused difference by its expression, a refused time by
// its column. The write changes that row, never its twin.
TEST_F(RefusedKey, WithoutAKeyEveryRefusedItemIsCompared)
{
    const std::string strNullKeys = "(1, 'a', '10:00:00', '09:00:00'), (NULL, 'b\xC3\xA9', '08:00:00', '09:00:00'), "
                                    "(NULL, 'b\xC3\xA9', NULL, '09:00:00'), (NULL, 'b\xC3\xA9', '-01:00:00', '09:00:00')";
    for (const bool bUTF8 : {true, false}) {
        for (const eROAD eRoad : {SERVER, CACHE}) {
            for (const char* pszTable : {"nk", "nu"}) {
                for (const eWRITE eWrite : {RENAME, REMOVE}) {
                    SCOPED_TRACE(std::string(bUTF8 ? "UTF-8, " : "1252, ") +
                                 (eRoad == SERVER ? "server, " : "cache, ") + pszTable + ", write " +
                                 std::to_string(eWrite));
                    const bool bNullKeys = std::string(pszTable) == "nu";
                    ASSERT_NO_FATAL_FAILURE(Reset(pszTable, bNullKeys ? strNullKeys : kTwin));
                    CHostContext* pc = nullptr;
                    INATable* pi = Query(bUTF8, eRoad,
                                         L"SELECT id, name, TIMEDIFF(t, u) AS d FROM " + Wide(pszTable), &pc);
                    ASSERT_NE(pi, nullptr);
                    const unsigned int nFlags = eRoad == CACHE ? kCache : 0;
                    // The record of the first refused difference: row 2, or
                    // the row of NULL key whose time is refused.
                    for (eNA_PARSEDIRECTION e = FIRST;; e = NEXT) {
                        const int bRead = pi->bHLitxxx(pc, L"id", e, 1, kNoLock, nullptr, nFlags);
                        ASSERT_FALSE(bRead == 1 && Out(pi, pc, L"id"));
                        if (bRead == 0)
                            break;
                    }
                    ExpectRefused(pi, pc, "d");
                    ASSERT_NO_FATAL_FAILURE(
                        Write(pi, pc, eWrite, bNullKeys ? "id IS NULL AND t < '00:00:00'" : "id = 2"));
                    EXPECT_EQ(Server(pszTable), Server("h"));

                    // The time refused in the row whose twin holds NULL.
                    ASSERT_NO_FATAL_FAILURE(Reset(pszTable, bNullKeys ? strNullKeys : kTwin));
                    pi = Query(bUTF8, eRoad, L"SELECT id, name, t FROM " + Wide(pszTable), &pc);
                    ASSERT_NE(pi, nullptr);
                    ASSERT_NO_FATAL_FAILURE(Land(pi, pc, L"id", nFlags, bNullKeys ? "NULL" : "6", "t"));
                    ASSERT_NO_FATAL_FAILURE(Write(pi, pc, eWrite,
                                                  std::string(bNullKeys ? "id IS NULL" : "id = 6") +
                                                      " AND t < '00:00:00'"));
                    EXPECT_EQ(Server(pszTable), Server("h"));
                }
            }
        }
    }
}

// A return to a saved position on a record whose difference is refused
// asks the server after its row by the key: a row still there comes back,
// its read failing as any read of it does; a row deleted since is not
// found, and nothing failed. The browse reads on from its place both ways.
TEST_F(RefusedKey, AReturnAsksAfterTheRowByItsKey)
{
    for (const bool bUTF8 : {true, false}) {
        for (const eROAD eRoad : {SERVER, CACHE}) {
            for (const bool bGone : {false, true}) {
                SCOPED_TRACE(std::string(bUTF8 ? "UTF-8, " : "1252, ") + (eRoad == SERVER ? "server" : "cache") +
                             (bGone ? ", gone" : ", kept"));
                ASSERT_NO_FATAL_FAILURE(Reset("kp"));
                CHostContext* pc = nullptr;
                INATable* pi = Query(bUTF8, eRoad, L"SELECT id, name, TIMEDIFF(t, u) AS d FROM kp", &pc);
                ASSERT_NE(pi, nullptr);
                const unsigned int nFlags = eRoad == CACHE ? kCache : 0;
                ASSERT_NO_FATAL_FAILURE(Land(pi, pc, L"id", nFlags, "4", "d"));
                const int nPosition = Save(pi, pc, L"id");
                ASSERT_EQ(pi->bHLitxxx(pc, L"id", FIRST, 1, kNoLock, nullptr, nFlags), 1) << Error(pi, pc);
                if (bGone) {
                    ASSERT_TRUE(Admin("DELETE FROM kp WHERE id = 4"));
                }
                for (const eNA_PARSEDIRECTION e : {NEXT, PREVIOUS}) {
                    const int bReturn = pi->bHRetourPosition(pc, nPosition, nullptr, 1, 0);
                    if (bGone) {
                        // Not found, and none of its values shown.
                        EXPECT_EQ(bReturn, 1) << Error(pi, pc);
                        EXPECT_EQ(Found(pi, pc, L"id"), 0);
                        EXPECT_NE(Value(pi, pc, L"id"), "4");
                    } else {
                        EXPECT_EQ(bReturn, 0);
                        ExpectRefused(pi, pc, "d");
                        EXPECT_EQ(Found(pi, pc, L"id"), 1);
                        EXPECT_EQ(Value(pi, pc, L"id"), "4");
                    }
                    pi->bHLitxxx(pc, L"id", e, 1, kNoLock, nullptr, nFlags);
                    EXPECT_EQ(Value(pi, pc, L"id"), e == NEXT ? "5" : "3");
                }
            }
        }
    }
}

// A refused record another session deleted: the return to its saved
// position reports it not found, and nothing failed; a modify of it finds
// no row and changes none. Found by the key or by the time's text, with
// the query's own limit or without.
TEST_F(RefusedKey, AReturnToARefusedRecordGoneFindsNothing)
{
    struct SGone {
        const char* pszTable;
        const wchar_t* pszQuery;
        const char* pszRefused;
        const char* pszWhere; // the refused row
    };
    const SGone kGone[] = {
        {"kp", L"SELECT id, name, TIMEDIFF(t, u) AS d FROM kp", "d", "id = 6"},
        {"kp", L"SELECT id, name, TIMEDIFF(t, u) AS d FROM kp ORDER BY id LIMIT 7", "d", "id = 6"},
        {"nk", L"SELECT id, name, t FROM nk", "t", "id = 6 AND t < '00:00:00'"},
        {"nk", L"SELECT id, name, t FROM nk ORDER BY id, name, t LIMIT 8", "t", "id = 6 AND t < '00:00:00'"},
    };
    for (const bool bUTF8 : {true, false}) {
        for (const eROAD eRoad : {SERVER, CACHE}) {
            for (const SGone& c : kGone) {
                SCOPED_TRACE(std::string(bUTF8 ? "UTF-8, " : "1252, ") + (eRoad == SERVER ? "server, " : "cache, ") +
                             Narrow(c.pszQuery));
                ASSERT_NO_FATAL_FAILURE(Reset(c.pszTable, std::string(c.pszTable) == "nk" ? kTwin : kRows));
                CHostContext* pc = nullptr;
                INATable* pi = Query(bUTF8, eRoad, c.pszQuery, &pc);
                ASSERT_NE(pi, nullptr);
                const unsigned int nFlags = eRoad == CACHE ? kCache : 0;
                ASSERT_NO_FATAL_FAILURE(Land(pi, pc, L"id", nFlags, "6", c.pszRefused));
                const int nPosition = Save(pi, pc, L"id");
                ASSERT_EQ(pi->bHLitxxx(pc, L"id", FIRST, 1, kNoLock, nullptr, nFlags), 1) << Error(pi, pc);
                ASSERT_TRUE(Admin(std::string("DELETE FROM ") + c.pszTable + " WHERE " + c.pszWhere));
                const Rows tabLeft = Server(c.pszTable);

                EXPECT_EQ(pi->bHRetourPosition(pc, nPosition, nullptr, 1, 0), 1) << Error(pi, pc);
                EXPECT_EQ(ErrorOf(pi, pc)->nGetUserErrorCode(), 0u) << Error(pi, pc);
                EXPECT_EQ(Found(pi, pc, L"id"), 0);
                EXPECT_EQ(Value(pi, pc, L"id"), "NULL");
                PutItem(pi, pc, L"name", CHostText(L"z"));
                EXPECT_EQ(pi->bHModifie(pc, 0, 0, kNoLock), 0);
                EXPECT_EQ(ErrorOf(pi, pc)->dwGetErrorId(), static_cast<unsigned int>(ZTERR_RECORD_NOT_FOUND))
                    << Error(pi, pc);
                EXPECT_EQ(Server(c.pszTable), tabLeft);
            }
        }
    }
}

// A browse without a key free of NULLs found again after a write: its
// condition compares every item, each refused one by its text (the
// difference by its expression, the time by its column), so the browse
// going back from the refused record reads its twin of NULL time next,
// then the server's rows before.
TEST_F(RefusedKey, ARefreshComparesEachRefusedItemByItsText)
{
    for (const bool bUTF8 : {true, false}) {
        SCOPED_TRACE(bUTF8 ? "UTF-8" : "1252");
        ASSERT_NO_FATAL_FAILURE(Reset("nk", kTwin));
        CHostContext* pc = nullptr;
        INATable* pi = Query(bUTF8, SERVER, L"SELECT id, name, TIMEDIFF(t, u) AS d, t FROM nk", &pc);
        ASSERT_NE(pi, nullptr);
        ASSERT_NO_FATAL_FAILURE(Land(pi, pc, L"id", 0, "6", "d"));
        const int nPosition = Save(pi, pc, L"id");
        // A write of another record: the browse's result goes.
        ASSERT_EQ(pi->bHLitxxx(pc, L"id", FIRST, 1, kNoLock, nullptr, 0), 1) << Error(pi, pc);
        PutItem(pi, pc, L"name", CHostText(L"a2"));
        ASSERT_EQ(pi->bHModifie(pc, 0, 0, kNoLock), 1) << Error(pi, pc);
        // The return finds the record, whose read fails.
        EXPECT_EQ(pi->bHRetourPosition(pc, nPosition, nullptr, 1, 0), 0);
        ExpectRefused(pi, pc, "d");
        Sent();
        Rows tabSeen;
        while (tabSeen.size() < 10 && !(pi->bHLitxxx(pc, L"id", PREVIOUS, 1, kNoLock, nullptr, 0) == 1 &&
                                        Out(pi, pc, L"id")))
            tabSeen.push_back(Value(pi, pc, L"id") + "|" + Value(pi, pc, L"name") + "|" + Value(pi, pc, L"t"));
        EXPECT_FALSE(Sent().empty()) << "the browse is found again on the server";
        EXPECT_EQ(tabSeen, List("SELECT CONCAT_WS('|', id, name, IF(t IS NULL OR t < '00:00:00', 'NULL', "
                                "TIME_FORMAT(t, '%H%i%s'))) FROM nk WHERE id < 6 OR id = 6 AND t IS NULL "
                                "ORDER BY id DESC, name DESC, TIMEDIFF(t, u) DESC, t DESC"));
    }
}

// A query whose first item is computed writes to the table of its items:
// a modify, a delete and an add of a record, readable or with its
// difference refused, change the rows the same write by hand changes.
TEST_F(RefusedKey, AQueryWhoseFirstItemIsComputedWritesToItsTable)
{
    for (const bool bUTF8 : {true, false}) {
        for (const wchar_t* pszQuery : {L"SELECT TIMEDIFF(t, u) AS d, id, name FROM kp",
                                        L"SELECT TIMEDIFF(t, u) AS d, id, name FROM kp ORDER BY id LIMIT 6"}) {
            for (const char* pszId : {"1", "2"}) {
                for (const eWRITE eWrite : {RENAME, REMOVE, ADD}) {
                    SCOPED_TRACE(std::string(bUTF8 ? "UTF-8, " : "1252, ") + Narrow(pszQuery) + ", id " + pszId +
                                 ", write " + std::to_string(eWrite));
                    ASSERT_NO_FATAL_FAILURE(Reset("kp"));
                    CHostContext* pc = nullptr;
                    INATable* pi = Query(bUTF8, SERVER, pszQuery, &pc);
                    ASSERT_NE(pi, nullptr);
                    ASSERT_EQ(ReadTo(pi, pc, L"id", 0, pszId), std::string(pszId) == "1" ? 1 : 0);
                    ASSERT_NO_FATAL_FAILURE(Write(pi, pc, eWrite, std::string("id = ") + pszId));
                    EXPECT_EQ(Server("kp"), Server("h"));
                }
            }
        }
    }
}

// Queries that limit their rows, read by their output names: the record of
// a refused difference, or of a refused time without a key, is found by the
// server's text of it after a write of another record or of itself. The
// return lands on it; a modify (of its name, or of its refused time to a
// good one) writes its row as the same write by hand does, a refused
// difference compared by its expression; the browse reads on from it, never
// from the record written before the return. A readable record does the
// same.
TEST_F(RefusedKey, ALimitedQueryFindsTheRefusedRecordByItsTextAndReadsOnFromIt)
{
    struct SLimited {
        const char* pszTable;
        const wchar_t* pszQuery;
        const char* pszId;
        const char* pszRefused; // the item naming the failure; null: read
        const char* pszWhere;   // the row by hand
        bool bTime;             // the time is an item
    };
    const SLimited kLimited[] = {
        {"kp", L"SELECT id, name, TIMEDIFF(t, u) AS d FROM kp ORDER BY id LIMIT 7", "6", "d", "id = 6", false},
        {"kp", L"SELECT id, name, TIMEDIFF(t, u) AS d FROM kp ORDER BY id LIMIT 7", "5", nullptr, "id = 5", false},
        {"nk", L"SELECT id, name, t FROM nk ORDER BY id, name, t LIMIT 8", "6", "t", "id = 6 AND t < '00:00:00'",
         true},
        {"nk", L"SELECT id, name, TIMEDIFF(t, u) AS d FROM nk ORDER BY id, name, d LIMIT 8", "6", "d",
         "id = 6 AND t < '00:00:00'", false},
    };
    // Landed on the record, its position saved; a write of another record
    // or of itself; the return; the write; one read on.
    const auto Run = [this](bool bUTF8, eROAD eRoad, const SLimited& c, bool bItself, eWRITE eWrite,
                            eNA_PARSEDIRECTION eDirection) {
        ASSERT_NO_FATAL_FAILURE(Reset(c.pszTable, std::string(c.pszTable) == "nk" ? kTwin : kRows));
        CHostContext* pc = nullptr;
        INATable* pi = Query(bUTF8, eRoad, c.pszQuery, &pc);
        ASSERT_NE(pi, nullptr);
        const unsigned int nFlags = eRoad == CACHE ? kCache : 0;
        if (c.pszRefused != nullptr) {
            ASSERT_NO_FATAL_FAILURE(Land(pi, pc, L"id", nFlags, c.pszId, c.pszRefused));
        } else {
            ASSERT_EQ(ReadTo(pi, pc, L"id", nFlags, c.pszId), 1) << Error(pi, pc);
        }
        const int nPosition = Save(pi, pc, L"id");
        if (!bItself) {
            ASSERT_EQ(pi->bHLitxxx(pc, L"id", FIRST, 1, kNoLock, nullptr, nFlags), 1) << Error(pi, pc);
        }
        ASSERT_NO_FATAL_FAILURE(Write(pi, pc, RENAME, bItself ? c.pszWhere : "id = 1", L"y", "y"));

        // The error before the found state is asked: each call starts clear.
        const int bReturn = pi->bHRetourPosition(pc, nPosition, nullptr, 1, 0);
        if (c.pszRefused != nullptr) {
            EXPECT_EQ(bReturn, 0);
            ExpectRefused(pi, pc, c.pszRefused);
        } else {
            EXPECT_EQ(bReturn, 1) << Error(pi, pc);
        }
        EXPECT_EQ(Value(pi, pc, L"id") + "|" + Value(pi, pc, L"name"),
                  std::string(c.pszId) + (bItself ? "|y" : "|b\xC3\xA9"));
        EXPECT_EQ(Found(pi, pc, L"id"), 1);
        const auto Held = [&](bool bRefused) {
            return Value(pi, pc, L"id") + "|" + Value(pi, pc, L"name") + "|" + Value(pi, pc, L"t") +
                   (bRefused ? " refused" : "");
        };
        ASSERT_NO_FATAL_FAILURE(Write(pi, pc, eWrite, c.pszWhere));
        EXPECT_EQ(Server(c.pszTable), Server("h"));
        // The record as the write left it, refused still unless the time
        // written was its refused item.
        const std::string strRecord =
            Held(c.pszRefused != nullptr && !(eWrite == SET_TIME && std::string(c.pszRefused) == "t"));

        // Its neighbours in the browse the server's rows make now.
        const Rows tabOrder = Order(bUTF8, eRoad, c.pszQuery, L"id");
        const auto it = std::find(tabOrder.begin(), tabOrder.end(), strRecord);
        ASSERT_TRUE(it != tabOrder.end() && it != tabOrder.begin() && it + 1 != tabOrder.end())
            << strRecord << " between two records";
        EXPECT_EQ(Seen(pi, pc, L"id", pi->bHLitxxx(pc, L"id", eDirection, 1, kNoLock, nullptr, nFlags)),
                  eDirection == NEXT ? *(it + 1) : *(it - 1));
    };
    for (const bool bUTF8 : {true, false}) {
        for (const eROAD eRoad : {SERVER, CACHE}) {
            for (const SLimited& c : kLimited) {
                for (const bool bItself : {false, true}) {
                    for (const eWRITE eWrite : {RENAME, SET_TIME}) {
                        for (const eNA_PARSEDIRECTION eDirection : {NEXT, PREVIOUS}) {
                            if (eWrite == SET_TIME && !c.bTime)
                                continue;
                            SCOPED_TRACE(std::string(bUTF8 ? "UTF-8, " : "1252, ") +
                                         (eRoad == SERVER ? "server, " : "cache, ") + Narrow(c.pszQuery) + ", id " +
                                         c.pszId + (bItself ? ", itself written" : "") + ", write " +
                                         std::to_string(eWrite) + (eDirection == NEXT ? ", next" : ", back"));
                            ASSERT_NO_FATAL_FAILURE(Run(bUTF8, eRoad, c, bItself, eWrite, eDirection));
                        }
                    }
                }
            }
        }
    }
}

} // namespace

namespace {

// kTwin's rows, two rows alike in every value whose difference is refused
// beside their twin of NULL time, and a readable last row.
const std::string kWalkRows = kTwin + ", (8, 'x', '-01:00:00', '09:00:00'), (8, 'x', '-01:00:00', '09:00:00'), "
                                      "(8, 'x', NULL, '09:00:00'), (9, 'y', '10:00:00', '09:00:00')";
// The same kinds of rows keyed on a unique id that holds NULL.
const std::string kWalkNullKeys = "(1, 'a', '10:00:00', '09:00:00'), (2, 'b\xC3\xA9', '08:00:00', '09:00:00'), "
                                  "(NULL, 'b\xC3\xA9', '08:00:00', '09:00:00'), (NULL, 'b\xC3\xA9', NULL, '09:00:00'), "
                                  "(NULL, 'b\xC3\xA9', '-01:00:00', '09:00:00'), (NULL, 'x', '-01:00:00', '09:00:00'), "
                                  "(NULL, 'x', '-01:00:00', '09:00:00'), (NULL, 'x', NULL, '09:00:00'), "
                                  "(9, 'y', '10:00:00', '09:00:00')";

class RefusedComputed : public RefusedKey {
protected:
    // A query browsed on an item, and the same written by hand.
    struct SWalk {
        const wchar_t* pszQuery;
        const wchar_t* pszItem;
        const char* pszFrom;
        const char* pszOrder;
    };
    // What a read gave: id, name and the difference d as the host holds it,
    // or the server's value of d named by a read that failed on it.
    static std::string Seen(INATable* pi, CHostContext* pc, int bRead)
    {
        const std::string strRecord = Value(pi, pc, L"id") + "|" + Value(pi, pc, L"name") + "|";
        if (bRead == 1)
            return strRecord + Value(pi, pc, L"d");
        ExpectRefused(pi, pc, "d");
        const std::string strMessage = UTF8Of(ErrorOf(pi, pc)->pclGetXError()->pszGetUserMessage());
        const size_t nValue = strMessage.find("value ");
        if (nValue == std::string::npos)
            return strRecord + "failed: " + strMessage;
        return strRecord + "refused " + strMessage.substr(nValue + 6, strMessage.find(' ', nValue + 6) - nValue - 6);
    }
    // The server's rows in that form, in the order given.
    Rows ServerRows(const std::string& strFrom, const std::string& strOrder)
    {
        const std::string d = "TIMEDIFF(t, u)";
        return List("SELECT CONCAT(IFNULL(id, 'NULL'), '|', name, '|', CASE WHEN " + d + " IS NULL THEN 'NULL' WHEN " +
                    d + " < '00:00:00' OR " + d + " >= '100:00:00' THEN CONCAT('refused ', " + d +
                    ") ELSE CONCAT('00000000', TIME_FORMAT(" + d + ", '%H%i%s'), '000') END) FROM " + strFrom +
                    " ORDER BY " + strOrder);
    }
    // The place of the current record in thousandths, as the host asks it.
    static int Place(INATable* pi, CHostContext* pc, const wchar_t* pszItem)
    {
        int n = -1;
        EXPECT_EQ(pi->bHPositionCourante(pc, pszItem, &n, kPrecision, 0), 1) << Error(pi, pc);
        return n;
    }
    // The browse on the item from one end to the other, its position saved
    // at each record, the browse moved to the other end and brought back
    // there before it reads on: the records read, at most as many as the
    // rows given and three more (a browse that reads a record again never
    // ends). Each return shows the record as its read did, at its place
    // among the rows given: on the server equal rows share the place of the
    // first, in the cache each has its own.
    Rows WalkWithReturns(INATable* pi, CHostContext* pc, const wchar_t* pszItem, unsigned int nFlags, bool bBackward,
                         const Rows& tabRows, bool bSharedPlace)
    {
        Rows tab;
        const eNA_PARSEDIRECTION eStart = bBackward ? LAST : FIRST;
        const eNA_PARSEDIRECTION eOn = bBackward ? PREVIOUS : NEXT;
        for (eNA_PARSEDIRECTION e = eStart; tab.size() < tabRows.size() + 3; e = eOn) {
            const int bRead = pi->bHLitxxx(pc, pszItem, e, 1, kNoLock, nullptr, nFlags);
            if (bRead == 1 && Out(pi, pc, pszItem))
                break;
            tab.push_back(Seen(pi, pc, bRead));
            const int nPosition = Save(pi, pc, pszItem);
            pi->bHLitxxx(pc, pszItem, bBackward ? FIRST : LAST, 1, kNoLock, nullptr, nFlags);
            EXPECT_EQ(Seen(pi, pc, pi->bHRetourPosition(pc, nPosition, nullptr, 0, 0)), tab.back());
            EXPECT_EQ(Found(pi, pc, pszItem), 1);
            const long long llCount = static_cast<long long>(tabRows.size());
            std::vector<int> tabPlaces;
            for (size_t i = 0; i < tabRows.size() && !(bSharedPlace && !tabPlaces.empty()); i++)
                if (tabRows[i] == tab.back())
                    tabPlaces.push_back(static_cast<int>((static_cast<long long>(i + 1) * 1000 + llCount - 1) / llCount));
            const int nPlace = Place(pi, pc, pszItem);
            EXPECT_NE(std::find(tabPlaces.begin(), tabPlaces.end(), nPlace), tabPlaces.end())
                << tab.back() << " at " << nPlace;
        }
        return tab;
    }
};

// A query without a key free of NULLs whose computed difference is refused
// in some rows, with twins holding NULL there: the position saved on each
// record in turn and the browse brought back to it, it reads on past the
// record both ways and lists each row once, in the order the server gives
// the same query written by hand, whole or in blocks of three rows; its
// place counts the rows before it. From the whole-table cache, as the
// browse of the cache lists them.
TEST_F(RefusedComputed, ABrowseBroughtBackToARefusedRecordReadsOnPastIt)
{
    const SWalk kWalks[] = {
        {L"SELECT id, name, TIMEDIFF(t, u) AS d FROM nk", L"id", "nk", "id, name, TIMEDIFF(t, u)"},
        {L"SELECT id, name, TIMEDIFF(t, u) AS d FROM nk", L"d", "nk", "TIMEDIFF(t, u), id, name"},
        {L"SELECT id, name, TIMEDIFF(t, u) AS d, t FROM nk", L"id", "nk", "id, name, TIMEDIFF(t, u), t"},
        {L"SELECT id, name, TIMEDIFF(t, u) AS d FROM nu", L"id", "nu", "id, name, TIMEDIFF(t, u)"},
    };
    for (const bool bUTF8 : {true, false}) {
        for (const SWalk& c : kWalks) {
            ASSERT_NO_FATAL_FAILURE(Reset("nk", kWalkRows));
            ASSERT_NO_FATAL_FAILURE(Reset("nu", kWalkNullKeys));
            const Rows tabServer = ServerRows(c.pszFrom, c.pszOrder);
            ASSERT_FALSE(tabServer.empty());
            for (const eROAD eRoad : {SERVER, CACHE}) {
                for (const int nBlock : {0, 3}) {
                    if (eRoad == CACHE && nBlock != 0)
                        continue;
                    for (const bool bBackward : {false, true}) {
                        SCOPED_TRACE(std::string(bUTF8 ? "UTF-8, " : "1252, ") +
                                     (eRoad == SERVER ? "server, " : "cache, ") + Narrow(c.pszQuery) + " on " +
                                     Narrow(c.pszItem) + (nBlock != 0 ? ", blocks" : "") +
                                     (bBackward ? ", backward" : ", forward"));
                        CHostContext* pc = nullptr;
                        INATable* pi = Query(bUTF8, eRoad, c.pszQuery, &pc, nBlock);
                        ASSERT_NE(pi, nullptr);
                        const unsigned int nFlags = eRoad == CACHE ? kCache : 0;
                        // The cache places a refused value where NULL goes.
                        Rows tabOrder = tabServer;
                        if (eRoad == CACHE) {
                            tabOrder = Every(pi, pc, c.pszItem, nFlags, false,
                                             [&](int bRead) { return Seen(pi, pc, bRead); });
                            Rows tabSorted = tabOrder;
                            Rows tabServerSorted = tabServer;
                            std::sort(tabSorted.begin(), tabSorted.end());
                            std::sort(tabServerSorted.begin(), tabServerSorted.end());
                            ASSERT_EQ(tabSorted, tabServerSorted);
                        }
                        const Rows tabExpected = bBackward ? Rows(tabOrder.rbegin(), tabOrder.rend()) : tabOrder;
                        EXPECT_EQ(WalkWithReturns(pi, pc, c.pszItem, nFlags, bBackward, tabOrder, eRoad == SERVER),
                                  tabExpected);
                    }
                }
            }
        }
    }
}

// Read in blocks of two rows, a browse whose blocks end on records of a
// refused difference (two of them alike) goes on from each by the server's
// text of it: every row once, in the server's order, both ways.
TEST_F(RefusedComputed, ABlockEndingOnARefusedRecordGoesOnPastIt)
{
    const SWalk kBrowses[] = {
        {L"SELECT id, name, TIMEDIFF(t, u) AS d FROM nk", L"id", "nk", "id, name, TIMEDIFF(t, u)"},
        {L"SELECT id, name, TIMEDIFF(t, u) AS d FROM nk", L"d", "nk", "TIMEDIFF(t, u), id, name"},
        {L"SELECT id, name, TIMEDIFF(t, u) AS d FROM nu", L"id", "nu", "id, name, TIMEDIFF(t, u)"},
    };
    for (const bool bUTF8 : {true, false}) {
        for (const auto& c : kBrowses) {
            SCOPED_TRACE(std::string(bUTF8 ? "UTF-8, " : "1252, ") + Narrow(c.pszQuery) + " on " +
                         Narrow(c.pszItem));
            ASSERT_NO_FATAL_FAILURE(Reset("nk", kWalkRows));
            ASSERT_NO_FATAL_FAILURE(Reset("nu", kWalkNullKeys));
            const Rows tabServer = ServerRows(c.pszFrom, c.pszOrder);
            CHostContext* pc = nullptr;
            INATable* pi = Query(bUTF8, SERVER, c.pszQuery, &pc, 2);
            ASSERT_NE(pi, nullptr);
            const auto Read = [&](int bRead) { return Seen(pi, pc, bRead); };
            EXPECT_EQ(Every(pi, pc, c.pszItem, 0, false, Read), tabServer);
            EXPECT_EQ(Every(pi, pc, c.pszItem, 0, true, Read), Rows(tabServer.rbegin(), tabServer.rend()));
        }
    }
}

} // namespace
