// Browses in blocks through the table object on keys the server orders more
// finely than the host holds their values (microseconds, real numbers) and
// on keys with NULL next to values the host engine takes for NULL (0, ''):
// every record once, in the order of the server's own ORDER BY, both ways,
// in blocks of five rows and in one block.
#include "tests/support/TableObjectServer.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace tableobject;

// A key, the table it is on and the server's ORDER BY of that key with
// the browse's own tie-breaker.
struct STKey {
    const wchar_t* pszTable;
    const wchar_t* pszItem;
    const char* pszOrder;
};

class BlockContinuation : public TableObjectServer, public testing::WithParamInterface<const wchar_t*> {
protected:
    BlockContinuation()
        : TableObjectServer(
              "zt51blk",
              {// Microseconds apart, ties on the key, one row every 7 us.
               "CREATE TABLE dt (id INT PRIMARY KEY, d DATETIME(6) NOT NULL, v INT NOT NULL DEFAULT 0, KEY(d))",
               "INSERT INTO dt (id, d) SELECT seq, TIMESTAMPADD(MICROSECOND, (seq * 7) % 23 + IF(seq % 5 = 0, 0, seq DIV 3), "
               "'2024-03-01 10:00:00.100000') FROM seq_1_to_24",
               "CREATE TABLE tm (id INT PRIMARY KEY, t TIME(6) NOT NULL, v INT NOT NULL DEFAULT 0, KEY(t))",
               "INSERT INTO tm (id, t) SELECT seq, TIMESTAMPADD(MICROSECOND, ((seq * 11) % 24) * 125000, TIME'09:59:58') "
               "FROM seq_1_to_24",
               // Integers, to set the fine keys' browse beside.
               "CREATE TABLE ik (id INT PRIMARY KEY, k INT NOT NULL, KEY(k))",
               "INSERT INTO ik SELECT seq, (seq * 7) % 23 FROM seq_1_to_24",
               // A real number inside a key of two parts.
               "CREATE TABLE fl (id INT PRIMARY KEY, a INT NOT NULL, f FLOAT NOT NULL, KEY af (a, f))",
               "INSERT INTO fl SELECT seq, seq % 3, 0.1 * ((seq * 5) % 8) + 0.01 FROM seq_1_to_24",
               // No unique key: rows equal on the key, ordered by a FLOAT
               // or a DECIMAL beyond a double, which the host holds less
               // exactly, then by an id the browse does not know for one.
               "CREATE TABLE fw (o INT NOT NULL, c FLOAT NOT NULL, id INT NOT NULL, KEY(o))",
               "INSERT INTO fw SELECT seq % 3, 1 + ((seq * 7) % 5) * 1e-6, seq FROM seq_1_to_24",
               "CREATE TABLE dw (o INT NOT NULL, c DECIMAL(65,30) NOT NULL, id INT NOT NULL, KEY(o))",
               "INSERT INTO dw SELECT seq % 3, 12345678901234567890123456789012345 + ((seq * 7) % 5) * "
               "0.000000000000000000000000000001, seq "
               "FROM seq_1_to_24",
               // No unique key, microseconds apart within one millisecond:
               // a record is the whole row, the key's order the server's.
               "CREATE TABLE kd (o INT NOT NULL, d DATETIME(6) NOT NULL, v INT NOT NULL DEFAULT 0, id INT NOT NULL, "
               "KEY od (o, d))",
               "INSERT INTO kd (o, d, id) SELECT seq % 2, TIMESTAMPADD(MICROSECOND, (seq * 7) % 24, "
               "'2024-03-01 10:00:00.100000'), seq FROM seq_1_to_24",
               // Values the host engine reads as NULL beside NULL itself.
               "CREATE TABLE nu (id INT PRIMARY KEY, n INT NULL, a INT NULL, b INT NULL, s VARCHAR(8) NULL, "
               "KEY(n), KEY ab (a, b), KEY(s))",
               "INSERT INTO nu SELECT seq, ELT(1 + seq % 4, 2, 1, 0, NULL), ELT(1 + seq % 3, 0, NULL, 1), "
               "ELT(1 + seq % 4, NULL, 0, 2, 0), ELT(1 + seq % 4, 'b', '', NULL, 'a') FROM seq_1_to_24"})
    {
    }
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(TableObjectServer::SetUp());
        m_pHostBlocks = HostOn(GetParam(), L"blk");
    }
    // The ids of the whole browse on the key, from one end to the other.
    Rows Browse(INATable* pi, const wchar_t* pszItem, bool bBackward)
    {
        Rows tab;
        EXPECT_EQ(Read(pi, m_pContext, pszItem, bBackward ? LAST : FIRST), 1) << Error(pi, m_pContext);
        while (!Out(pi, m_pContext, pszItem) && tab.size() < 100) {
            tab.push_back(Value(pi, m_pContext, L"id"));
            EXPECT_EQ(Read(pi, m_pContext, pszItem, bBackward ? PREVIOUS : NEXT), 1) << Error(pi, m_pContext);
        }
        return tab;
    }
    void ExpectServerOrder(const STKey& st)
    {
        SCOPED_TRACE(Narrow(st.pszItem));
        m_pContext = Context(++m_nContext);
        INATable* pi = Open(st.pszTable, m_pContext, m_pHostBlocks);
        ASSERT_NE(pi, nullptr);
        const std::string strTable = Narrow(st.pszTable);
        const Rows tabForward = List("SELECT id FROM " + strTable + " ORDER BY " + st.pszOrder);
        ASSERT_EQ(tabForward.size(), 24u);
        EXPECT_EQ(Browse(pi, st.pszItem, false), tabForward);
        EXPECT_EQ(Browse(pi, st.pszItem, true), Rows(tabForward.rbegin(), tabForward.rend()));
    }

    CHostContext* m_pContext = nullptr;
    unsigned int m_nContext = 0;
    CHostConnectionDescription* m_pHostBlocks = nullptr;
};

// Keys the server orders more finely than the host holds their values.
const STKey kFine[] = {{L"dt", L"d", "d, id"},   {L"tm", L"t", "t, id"},    {L"fl", L"af", "a, f, id"},
                       {L"fw", L"o", "o, c, id"}, {L"dw", L"o", "o, c, id"}};
// Keys with NULL beside 0 and ''.
const STKey kNull[] = {{L"nu", L"n", "n, id"}, {L"nu", L"ab", "a, b, id"}, {L"nu", L"s", "s, id"}};
const STKey kKeys[] = {kFine[0], kFine[1], kFine[2], kFine[3], kFine[4], kNull[0], kNull[1], kNull[2]};

TEST_P(BlockContinuation, FinerThanTheHostKeys)
{
    for (const STKey& st : kFine)
        ExpectServerOrder(st);
}

TEST_P(BlockContinuation, NullBesideZeroAndEmptyText)
{
    for (const STKey& st : kNull)
        ExpectServerOrder(st);
}

// Turns and skips inside blocks and across their edges, from either end:
// each record read is the one at that place of the server's order.
TEST_P(BlockContinuation, TurnsAndSkipsAcrossBlockEdges)
{
    struct STMove {
        eNA_PARSEDIRECTION eDirection;
        int nTimes; // reads, or a skip of that many records when negative
    };
    const STMove aMoves[] = {{FIRST, 1},     {NEXT, 7},  {PREVIOUS, 4}, {NEXT, -9}, {PREVIOUS, -6}, {NEXT, 6},
                             {LAST, 1},      {PREVIOUS, 7}, {NEXT, 2},  {PREVIOUS, -10}, {NEXT, -3}, {PREVIOUS, 5}};
    for (const STKey& st : kKeys) {
        SCOPED_TRACE(Narrow(st.pszItem));
        m_pContext = Context(++m_nContext);
        INATable* pi = Open(st.pszTable, m_pContext, m_pHostBlocks);
        ASSERT_NE(pi, nullptr);
        const Rows tab = List("SELECT id FROM " + Narrow(st.pszTable) + " ORDER BY " + st.pszOrder);
        ASSERT_EQ(tab.size(), 24u);
        int nAt = 0;
        int nStep = 0;
        for (const STMove& m : aMoves) {
            const int nReads = m.nTimes < 0 ? 1 : m.nTimes;
            for (int i = 0; i < nReads; i++, nStep++) {
                const int nBy = m.nTimes < 0 ? -m.nTimes : 1;
                nAt = m.eDirection == FIRST ? 0 : m.eDirection == LAST ? 23 : m.eDirection == NEXT ? nAt + nBy
                                                                                                    : nAt - nBy;
                ASSERT_TRUE(nAt >= 0 && nAt < 24) << "step " << nStep;
                if (m.nTimes < 0)
                    ASSERT_EQ(pi->bSkipRecord(m_pContext, st.pszItem, m.eDirection, nBy, 1, kNoLock, nullptr, 0), 1)
                        << Error(pi, m_pContext);
                else
                    ASSERT_EQ(Read(pi, m_pContext, st.pszItem, m.eDirection), 1) << Error(pi, m_pContext);
                ASSERT_FALSE(Out(pi, m_pContext, st.pszItem)) << "step " << nStep;
                ASSERT_EQ(Value(pi, m_pContext, L"id"), tab[static_cast<size_t>(nAt)]) << "step " << nStep;
            }
        }
    }
}

// A key with a real-number part is read in one SELECT; a key of integers
// in blocks, when the connection asks for blocks.
TEST_P(BlockContinuation, AKeyWithARealNumberPartIsReadWhole)
{
    const bool bBlocks = std::wstring(GetParam()) == L"ZT Cache Size=5";
    for (const STKey& st : {STKey{L"fl", L"af", ""}, STKey{L"nu", L"ab", ""}}) {
        SCOPED_TRACE(Narrow(st.pszItem));
        m_pContext = Context(++m_nContext);
        INATable* pi = Open(st.pszTable, m_pContext, m_pHostBlocks);
        ASSERT_NE(pi, nullptr);
        Sent();
        ASSERT_EQ(Browse(pi, st.pszItem, false).size(), 24u);
        int nSelects = 0;
        int nLimited = 0;
        for (const std::string& q : Sent()) {
            if (q.compare(0, 7, "SELECT ") != 0)
                continue;
            nSelects++;
            nLimited += q.find(" LIMIT 5") != std::string::npos ? 1 : 0;
        }
        const bool bReal = std::wstring(st.pszItem) == L"af";
        EXPECT_EQ(nSelects, bReal || !bBlocks ? 1 : 5);
        EXPECT_EQ(nLimited, bReal || !bBlocks ? 0 : 5);
    }
}


// A TIMESTAMP key across the hour a Paris session reads twice (02:00 to
// 03:00 on 27 October 2024, first in summer time, then in winter time): the
// server orders the instants, and every record comes once in that order.
TEST_P(BlockContinuation, TheHourTheClockGoesBackReadOnByTheInstant)
{
    ASSERT_TRUE(Admin("CREATE TABLE tz (id INT PRIMARY KEY, c TIMESTAMP NULL, KEY(c))"));
    ASSERT_TRUE(Admin("INSERT INTO tz SELECT seq, FROM_UNIXTIME(1729983600 + ((seq * 7) % 24) * 600) FROM seq_1_to_24"));
    m_pContext = Context(++m_nContext);
    INATable* pi = Open(L"tz", m_pContext, m_pHostBlocks);
    ASSERT_NE(pi, nullptr);
    CNADataAccess* p = Access(pi, m_pContext);
    ASSERT_EQ(p->pclGetConnection()->bExecuteQueryNoResult(p->pclGetError(), L"SET time_zone = 'Europe/Paris'"), 1)
        << "the server's time zones are loaded";
    const Rows tabForward = List("SELECT id FROM tz ORDER BY c, id");
    EXPECT_EQ(Browse(pi, L"c", false), tabForward);
    EXPECT_EQ(Browse(pi, L"c", true), Rows(tabForward.rbegin(), tabForward.rend()));
}

// Two tables opened in one host context, whether the host hands both the
// same context or gives each its own key: each browses its own rows, in
// turns with the other, across block edges; closing one leaves the other
// where it stood.
TEST_P(BlockContinuation, TwoTablesInOneHostContext)
{
    const Rows tabDt = List("SELECT id FROM dt ORDER BY d, id");
    const Rows tabTm = List("SELECT id FROM tm ORDER BY t, id");
    ASSERT_EQ(tabDt.size(), 24u);
    ASSERT_EQ(tabTm.size(), 24u);
    ASSERT_NE(tabDt, tabTm) << "the two orders must tell the tables apart";
    for (const unsigned int nKeyTm : {1u, 2u}) {
        SCOPED_TRACE("key of tm " + std::to_string(nKeyTm));
        CHostContext* pDt = Context(++m_nContext);
        CHostContext* pTm = nKeyTm == 1 ? pDt : Context(m_nContext, nKeyTm);
        INATable* piDt = Open(L"dt", pDt, m_pHostBlocks);
        INATable* piTm = Open(L"tm", pTm, m_pHostBlocks);
        ASSERT_TRUE(piDt != nullptr && piTm != nullptr);
        ASSERT_NE(Access(piDt, pDt), Access(piTm, pTm));
        // Forwards on one while backwards on the other, a read each in turn.
        for (size_t i = 0; i < 24; i++) {
            ASSERT_EQ(Read(piDt, pDt, L"d", i == 0 ? FIRST : NEXT), 1) << Error(piDt, pDt);
            ASSERT_EQ(Read(piTm, pTm, L"t", i == 0 ? LAST : PREVIOUS), 1) << Error(piTm, pTm);
            ASSERT_FALSE(Out(piDt, pDt, L"d")) << i;
            ASSERT_FALSE(Out(piTm, pTm, L"t")) << i;
            ASSERT_EQ(Value(piDt, pDt, L"id"), tabDt[i]) << i;
            ASSERT_EQ(Value(piTm, pTm, L"id"), tabTm[23 - i]) << i;
        }
        ASSERT_EQ(Read(piDt, pDt, L"d", NEXT), 1);
        EXPECT_TRUE(Out(piDt, pDt, L"d"));
        // The first one closed, the second goes on from its record.
        ASSERT_EQ(Read(piTm, pTm, L"t", NEXT), 1);
        ASSERT_EQ(piDt->bHFerme(pDt), 1) << Error(piDt, pDt);
        EXPECT_EQ(Access(piDt, pDt), nullptr);
        ASSERT_NE(Access(piTm, pTm), nullptr);
        ASSERT_EQ(Read(piTm, pTm, L"t", NEXT), 1) << Error(piTm, pTm);
        EXPECT_EQ(Value(piTm, pTm, L"id"), tabTm[2]);
        // Opened again after the other: both read their own first rows.
        ASSERT_EQ(piDt->bHOuvre(pDt, static_cast<eNA_ACCESS>(0), nullptr), 1) << Error(piDt, pDt);
        ASSERT_EQ(Read(piDt, pDt, L"d", LAST), 1) << Error(piDt, pDt);
        EXPECT_EQ(Value(piDt, pDt, L"id"), tabDt[23]);
        ASSERT_EQ(Read(piTm, pTm, L"t", FIRST), 1) << Error(piTm, pTm);
        EXPECT_EQ(Value(piTm, pTm, L"id"), tabTm[0]);
        ASSERT_EQ(piTm->bHFerme(pTm), 1);
        ASSERT_EQ(Read(piDt, pDt, L"d", PREVIOUS), 1) << Error(piDt, pDt);
        EXPECT_EQ(Value(piDt, pDt, L"id"), tabDt[22]);
    }
}

// A record modified on a key of microseconds, of a table with a unique key
// or without one (its record is then the whole row): the browse goes on from it in the server's order, each way, every record
// once, and the key's stored value is left as it was.
TEST_P(BlockContinuation, ModifiedRecordOnAFineKeyGoesOn)
{
    for (const STKey& st : {kFine[0], kFine[1], STKey{L"kd", L"od", "o, d"}}) {
        SCOPED_TRACE(Narrow(st.pszItem));
        const std::string strTable = Narrow(st.pszTable);
        // The key's stored values, its parts joined.
        const std::string strKey = "CONCAT_WS('/', " + std::string(st.pszOrder) + ")";
        const Rows tab = List("SELECT id FROM " + strTable + " ORDER BY " + st.pszOrder);
        const Rows tabKeys = List("SELECT " + strKey + " FROM " + strTable + " ORDER BY " + st.pszOrder);
        ASSERT_EQ(tab.size(), 24u);
        for (const size_t nAt : {size_t{0}, size_t{4}, size_t{5}, size_t{13}, size_t{23}})
            for (const bool bBackward : {false, true}) {
                SCOPED_TRACE("row " + std::to_string(nAt) + (bBackward ? " backward" : " forward"));
                m_pContext = Context(++m_nContext);
                INATable* pi = Open(st.pszTable, m_pContext, m_pHostBlocks);
                ASSERT_NE(pi, nullptr);
                ASSERT_EQ(Read(pi, m_pContext, st.pszItem, FIRST), 1) << Error(pi, m_pContext);
                for (size_t i = 0; i < nAt; i++)
                    ASSERT_EQ(Read(pi, m_pContext, st.pszItem, NEXT), 1) << Error(pi, m_pContext);
                ASSERT_EQ(Value(pi, m_pContext, L"id"), tab[nAt]);
                SetItem(pi, m_pContext, L"v", CInt(static_cast<int>(nAt) + 100));
                ASSERT_EQ(pi->bHModifie(m_pContext, 0, 0, kNoLock), 1) << Error(pi, m_pContext);
                EXPECT_EQ(First("SELECT v FROM " + strTable + " WHERE id = " + tab[nAt]), std::to_string(nAt + 100));
                Rows tabRead;
                for (size_t i = 0; i < 30; i++) {
                    ASSERT_EQ(Read(pi, m_pContext, st.pszItem, bBackward ? PREVIOUS : NEXT), 1)
                        << Error(pi, m_pContext);
                    if (Out(pi, m_pContext, st.pszItem))
                        break;
                    tabRead.push_back(Value(pi, m_pContext, L"id"));
                }
                const Rows tabExpected = bBackward ? Rows(tab.rend() - static_cast<long>(nAt), tab.rend())
                                                   : Rows(tab.begin() + static_cast<long>(nAt) + 1, tab.end());
                EXPECT_EQ(tabRead, tabExpected);
                EXPECT_EQ(List("SELECT " + strKey + " FROM " + strTable + " ORDER BY " + st.pszOrder), tabKeys);
            }
    }
}

// A record deleted at either edge of a block, or inside one, on a key of
// microseconds: the browse goes on from the place it had in the server's
// order, each way, every remaining record once.
TEST_P(BlockContinuation, DeletedRecordOnAFineKeyGoesOn)
{
    for (const STKey& st : {kFine[0], kFine[1]}) {
        SCOPED_TRACE(Narrow(st.pszItem));
        const std::string strTable = Narrow(st.pszTable);
        const Rows tab = List("SELECT id FROM " + strTable + " ORDER BY " + st.pszOrder);
        ASSERT_EQ(tab.size(), 24u);
        for (const size_t nAt : {size_t{0}, size_t{4}, size_t{5}, size_t{13}, size_t{23}})
            for (const bool bBackward : {false, true}) {
                SCOPED_TRACE("row " + std::to_string(nAt) + (bBackward ? " backward" : " forward"));
                m_pContext = Context(++m_nContext);
                INATable* pi = Open(st.pszTable, m_pContext, m_pHostBlocks);
                ASSERT_NE(pi, nullptr);
                ASSERT_EQ(Read(pi, m_pContext, st.pszItem, FIRST), 1) << Error(pi, m_pContext);
                for (size_t i = 0; i < nAt; i++)
                    ASSERT_EQ(Read(pi, m_pContext, st.pszItem, NEXT), 1) << Error(pi, m_pContext);
                ASSERT_EQ(Value(pi, m_pContext, L"id"), tab[nAt]);
                ASSERT_TRUE(Admin("CREATE TEMPORARY TABLE kept_" + strTable + " SELECT * FROM " + strTable +
                                  " WHERE id = " + tab[nAt]));
                ASSERT_EQ(pi->bHSupprime(m_pContext, 0, kNoLock), 1) << Error(pi, m_pContext);
                ASSERT_EQ(First("SELECT COUNT(*) FROM " + strTable + " WHERE id = " + tab[nAt]), "0");
                Rows tabRead;
                for (size_t i = 0; i < 30; i++) {
                    ASSERT_EQ(Read(pi, m_pContext, st.pszItem, bBackward ? PREVIOUS : NEXT), 1)
                        << Error(pi, m_pContext);
                    if (Out(pi, m_pContext, st.pszItem))
                        break;
                    tabRead.push_back(Value(pi, m_pContext, L"id"));
                }
                const Rows tabExpected = bBackward ? Rows(tab.rend() - static_cast<long>(nAt), tab.rend())
                                                   : Rows(tab.begin() + static_cast<long>(nAt) + 1, tab.end());
                EXPECT_EQ(tabRead, tabExpected);
                // The table as it was for the next round.
                ASSERT_TRUE(Admin("INSERT INTO " + strTable + " SELECT * FROM kept_" + strTable));
                ASSERT_TRUE(Admin("DROP TEMPORARY TABLE kept_" + strTable));
            }
    }
}

// The key of a record at a block's edge moved past every other: the browse
// goes on from the place the record had, on a key of microseconds as on one
// of integers.
TEST_P(BlockContinuation, KeyMovedPastTheOthersOnAFineKey)
{
    struct STMoved {
        STKey st;
        const wchar_t* pszLast; // the host's text of a value past every row
        const char* pszStored;  // the same as the server shows it
    };
    const STMoved aMoved[] = {{kFine[0], L"20240301100000101", "2024-03-01 10:00:00.101000"},
                              {kFine[1], L"100001000", "10:00:01.000000"}, {{L"ik", L"k", "k, id"}, L"1000", "1000"}};
    for (const STMoved& m : aMoved) {
        SCOPED_TRACE(Narrow(m.st.pszItem));
        const std::string strTable = Narrow(m.st.pszTable);
        const std::string strKey = Narrow(m.st.pszItem);
        for (const size_t nAt : {size_t{4}, size_t{5}})
            for (const bool bBackward : {false, true}) {
                SCOPED_TRACE("row " + std::to_string(nAt) + (bBackward ? " backward" : " forward"));
                const Rows tab = List("SELECT id FROM " + strTable + " ORDER BY " + m.st.pszOrder);
                m_pContext = Context(++m_nContext);
                INATable* pi = Open(m.st.pszTable, m_pContext, m_pHostBlocks);
                ASSERT_NE(pi, nullptr);
                ASSERT_EQ(Read(pi, m_pContext, m.st.pszItem, FIRST), 1) << Error(pi, m_pContext);
                for (size_t i = 0; i < nAt; i++)
                    ASSERT_EQ(Read(pi, m_pContext, m.st.pszItem, NEXT), 1) << Error(pi, m_pContext);
                ASSERT_EQ(Value(pi, m_pContext, L"id"), tab[nAt]);
                const std::string strWas = First("SELECT " + strKey + " FROM " + strTable + " WHERE id = " + tab[nAt]);
                SetItem(pi, m_pContext, m.st.pszItem, m.pszLast);
                ASSERT_EQ(pi->bHModifie(m_pContext, 0, 0, kNoLock), 1) << Error(pi, m_pContext);
                ASSERT_EQ(First("SELECT " + strKey + " FROM " + strTable + " WHERE id = " + tab[nAt]), m.pszStored);
                const Rows tabNow = List("SELECT id FROM " + strTable + " ORDER BY " + m.st.pszOrder);
                ASSERT_EQ(tabNow.back(), tab[nAt]);
                ASSERT_EQ(Read(pi, m_pContext, m.st.pszItem, bBackward ? PREVIOUS : NEXT), 1) << Error(pi, m_pContext);
                ASSERT_FALSE(Out(pi, m_pContext, m.st.pszItem));
                EXPECT_EQ(Value(pi, m_pContext, L"id"), tab[bBackward ? nAt - 1 : nAt + 1]);
                // The table as it was for the next round.
                ASSERT_TRUE(Admin("UPDATE " + strTable + " SET " + strKey + " = '" + strWas + "' WHERE id = " +
                                  tab[nAt]));
            }
    }
}

INSTANTIATE_TEST_SUITE_P(Blocks, BlockContinuation, testing::Values(L"ZT Cache Size=5", L"ZT Cache Size=0"),
                         [](const testing::TestParamInfo<const wchar_t*>& info) {
                             return info.index == 0 ? std::string("OfFive") : std::string("Whole");
                         });

} // namespace

// ---- A search read on to the end of its matches ---------------------------------------------------------------------

// Groups of equal keys, first, between two others and last in the key's
// order, each of as many rows as the case asks, on keys of each kind and on
// a table without a key.
class SearchToTheEnd : public TableObjectServer {
protected:
    SearchToTheEnd()
        : TableObjectServer("zt69end", {"CREATE TABLE ki (id INT PRIMARY KEY, v INT NOT NULL, KEY(v))",
                                        "CREATE TABLE kt (id INT PRIMARY KEY, v VARCHAR(8) NOT NULL, KEY(v))",
                                        "CREATE TABLE kd (id INT PRIMARY KEY, v DATETIME NOT NULL, KEY(v))",
                                        "CREATE TABLE kn (id INT NOT NULL, v INT NOT NULL)",
                                        "CREATE TABLE kc (id INT PRIMARY KEY, v VARCHAR(8) COLLATE "
                                        "utf8mb4_general_ci NOT NULL, KEY(v))",
                                        "INSERT INTO kc VALUES (0, '0'), (1, 'a'), (2, 'A'), (3, 'a '), (4, 'b'), "
                                        "(5, 'A'), (6, _utf8mb4 X'C3A1')",
                                        "CREATE TABLE k6 (id INT PRIMARY KEY, v DATETIME(6) NOT NULL, KEY(v))",
                                        "INSERT INTO k6 VALUES (0, '2024-01-01 10:00:00.122999'), "
                                        "(1, '2024-01-01 10:00:00.123000'), (2, '2024-01-01 10:00:00.123456'), "
                                        "(3, '2024-01-01 10:00:00.123458'), (4, '2024-01-01 10:00:00.123459'), "
                                        "(5, '2024-01-01 10:00:00.124'), (6, '2024-01-01 10:00:00.123')",
                                        // One second's microseconds with a tie, and the rows about them.
                                        "CREATE TABLE g6 (id INT PRIMARY KEY, v DATETIME(6) NOT NULL, KEY(v)) SELECT seq "
                                        "AS id, TIMESTAMPADD(MICROSECOND, ELT(seq + 1, -1, 1, 5e5, 999000, 0, 999999, "
                                        "1e6, 1, 6e7), '2024-01-01 10:00') AS v FROM seq_0_to_8",
                                        "CREATE TABLE n6 (id INT NOT NULL, v DATETIME(6) NOT NULL, KEY(v)) SELECT * FROM g6",
                                        "CREATE TABLE gt (id INT PRIMARY KEY, v TIME(6) NOT NULL, KEY(v)) SELECT * FROM g6",
                                        "CREATE TABLE gd (id INT PRIMARY KEY, v DATE NOT NULL, KEY(v)) SELECT id, "
                                        "TIMESTAMPADD(DAY, id * 11 % 50 - 5, '2024-01-01') AS v FROM g6"})
    {
    }
    // The five groups a b c d e, b and d of two rows, the others of n.
    void Fill(int n)
    {
        for (const char* pszTable : {"ki", "kt", "kd", "kn"}) {
            const std::string strTable = pszTable;
            const std::string strValue = strTable == "kt"   ? "CONCAT('k', CHAR(96 + g))"
                                         : strTable == "kd" ? "TIMESTAMPADD(SECOND, g * 10, '2024-03-01 10:00:00')"
                                                            : "g * 10";
            ASSERT_TRUE(Admin("DELETE FROM " + strTable));
            ASSERT_TRUE(Admin("INSERT INTO " + strTable + " SELECT g * 100 + seq, " + strValue +
                              " FROM (SELECT seq AS g FROM seq_1_to_5) AS groups JOIN seq_1_to_10 "
                              "WHERE seq <= IF(g % 2 = 0, 2, " + std::to_string(n) + ")"));
        }
    }
};

// Every match is read once, then the search is not found; past the last
// row of the key's order it is out of range, after one empty block at
// most, and stays so, asking the server nothing more.
TEST_F(SearchToTheEnd, EveryMatchOnceThenNotFoundAndNothingMoreSent)
{
    struct STKey {
        const wchar_t* pszTable;
        const wchar_t* pszQuery; // null: the table object
        const wchar_t* pszItem;
        const char* pszExpression;
        const wchar_t* apszValue[3]; // the groups a, c and e as the host writes them
    };
    const STKey aKey[] = {
        {L"ki", nullptr, L"v", "v", {L"10", L"30", L"50"}},
        {L"kt", nullptr, L"v", "v", {L"ka", L"kc", L"ke"}},
        {L"kd", nullptr, L"v", "v", {L"20240301100010", L"20240301100030", L"20240301100050"}},
        {L"kn", nullptr, L"v", "v", {L"10", L"30", L"50"}},
        {L"ki", L"SELECT id, v FROM ki", L"v", "v", {L"10", L"30", L"50"}},
        {L"ki", L"SELECT id, v + 1 AS w FROM ki", L"w", "v + 1", {L"11", L"31", L"51"}},
    };
    const char* const apszGroup[] = {"first", "between", "last"};
    unsigned int nContext = 0;
    CHostContext* pc = nullptr;
    INATable* pi = nullptr;
    // One search read on to its end; the group nGroup of the table holds
    // nMatches rows.
    auto fnSearch = [&](const STKey& k, int nMatches, int nGroup, int nBlock, bool bBackward, bool bUTF8) {
        pc = Context(++nContext);
        pi = k.pszQuery == nullptr ? Open(k.pszTable, pc, HostIn(bUTF8, nBlock))
                                   : QueryIn(bUTF8, false, k.pszQuery, pc, {k.pszTable}, nBlock);
        ASSERT_NE(pi, nullptr);
        const std::string strFrom = " FROM " + Narrow(k.pszTable) + " WHERE " + k.pszExpression;
        const std::string strValue = "'" + Narrow(k.apszValue[nGroup]) + "'";
        const std::string strDesc = bBackward ? " DESC" : "";
        const std::string strOrder = " ORDER BY " + std::string(k.pszExpression) + strDesc + ", id" + strDesc;
        const Rows tabMatches = List("SELECT id" + strFrom + " = " + strValue + strOrder);
        ASSERT_EQ(tabMatches.size(), static_cast<size_t>(nMatches));
        const eNA_PARSEDIRECTION eOn = bBackward ? PREVIOUS : NEXT;
        const CHostText v(k.apszValue[nGroup]);
        ASSERT_EQ(pi->bHRecherche(pc, k.pszItem, &v, 1, 0, kNoLock, nullptr, bBackward ? 0 : 1, 0), 1) << Error(pi, pc);
        Rows tabRead;
        while (Found(pi, pc, k.pszItem) == 1 && tabRead.size() < 10) {
            tabRead.push_back(Value(pi, pc, L"id"));
            Sent();
            ASSERT_EQ(Read(pi, pc, k.pszItem, eOn), 1) << Error(pi, pc);
        }
        EXPECT_EQ(tabRead, tabMatches);
        if (nMatches == 0)
            return;
        // The read after the last match: the next row of the key's order,
        // or none when the group ends it.
        const bool bEnd = nGroup == (bBackward ? 0 : 2);
        ASSERT_EQ(Out(pi, pc, k.pszItem), bEnd);
        if (!bEnd) {
            EXPECT_EQ(Value(pi, pc, L"id"),
                      First("SELECT id" + strFrom + (bBackward ? " < " : " > ") + strValue + strOrder + " LIMIT 1"));
            return;
        }
        for (int i = 0; i < 3; i++) {
            ASSERT_EQ(Read(pi, pc, k.pszItem, eOn), 1) << Error(pi, pc);
            EXPECT_TRUE(Out(pi, pc, k.pszItem));
            EXPECT_EQ(Found(pi, pc, k.pszItem), 0);
        }
        EXPECT_LE(Sent().size(), 1u);
    };
    for (int nMatches = 0; nMatches <= 6; nMatches++) {
        ASSERT_NO_FATAL_FAILURE(Fill(nMatches));
        // From none to a block and two more.
        for (int nBlock = nMatches > 2 ? nMatches - 2 : 0; nBlock <= 4; nBlock++)
            for (const STKey& k : aKey)
                for (int nCase = 0; nCase < 12; nCase++) {
                    const int nGroup = nCase % 3;
                    const bool bBackward = nCase % 6 >= 3;
                    const bool bUTF8 = nCase < 6;
                    SCOPED_TRACE(Narrow(k.pszQuery != nullptr ? k.pszQuery : k.pszTable) +
                                 (bUTF8 ? " in UTF-8, " : " in 1252, ") + std::to_string(nMatches) + " matches " +
                                 apszGroup[nGroup] + ", blocks of " + std::to_string(nBlock) +
                                 (bBackward ? ", backward" : ", forward"));
                    fnSearch(k, nMatches, nGroup, nBlock, bBackward, bUTF8);
                    if (pi != nullptr) {
                        EXPECT_EQ(pi->bHFerme(pc), 1) << Error(pi, pc);
                    }
                }
    }
}

// Found on every record read on from a search is the server's own
// comparison of the item with the value searched: its collation (case,
// accents and trailing blanks), every digit of a DATETIME(6), whatever
// the block size and the direction. A generic search's matches are read
// once, then the rows past them, through a query sorted either way too.
TEST_F(SearchToTheEnd, FoundIsTheServersComparisonOnEveryRecord)
{
    struct STSearch {
        const wchar_t* pszTable;
        const wchar_t* pszHost;            // the value as the host writes it
        const char* pszServer;             // as the server reads it (generic: the first value it covers)
        const char* pszMatch = nullptr;    // a generic search's matches; null: an exact search
        const wchar_t* pszQuery = nullptr; // null: the table object
    };
    const char* const pszSecond = "v BETWEEN '2024-01-01 10:00' AND '2024-01-01 10:00:00.999999'";
    const STSearch aSearch[] = {
        {L"kc", L"a", "'a'"},
        {L"kc", L"A ", "'A '"},
        {L"k6", L"20240101100000123", "'2024-01-01 10:00:00.123'"},
        {L"g6", L"20240101100000", "'2024-01-01 10:00'", pszSecond},
        {L"g6", L"20240101100000", "'2024-01-01 10:00'", pszSecond, L"SELECT * FROM g6 ORDER BY v DESC"},
        {L"n6", L"20240101100000", "'2024-01-01 10:00'", pszSecond},
        {L"gd", L"202401", "'2024-01-01'", "v < '2024-02-01' AND v >= '2024-01-01'"},
        {L"gt", L"1000", "'10:00'", "v < '10:01' AND v >= '10:00'"},
        {L"kc", L"a", "'a'", "v LIKE 'a%'", L"SELECT * FROM kc ORDER BY v DESC"},
        {L"k6", L"20240101100000123", "'2024-01-01 10:00:00.123'", nullptr, L"SELECT id, v FROM k6 ORDER BY v DESC"},
    };
    unsigned int nContext = 0;
    for (const STSearch& k : aSearch)
        for (int nBlock = 0; nBlock <= 4; nBlock++)
            for (int nCase = 0; nCase < 4; nCase++) {
                const bool bBackward = nCase % 2 != 0;
                const bool bUTF8 = nCase < 2;
                const std::wstring strQuery = k.pszQuery != nullptr ? k.pszQuery : L"";
                SCOPED_TRACE(Narrow(k.pszTable) + " " + k.pszServer + " " + Narrow(strQuery.c_str()) +
                             (bUTF8 ? " in UTF-8" : " in 1252") + ", blocks of " + std::to_string(nBlock) +
                             (bBackward ? ", backward" : ", forward"));
                CHostContext* pc = Context(++nContext);
                INATable* pi = k.pszQuery == nullptr ? Open(k.pszTable, pc, HostIn(bUTF8, nBlock))
                                                     : QueryIn(bUTF8, false, strQuery, pc, {k.pszTable}, nBlock);
                ASSERT_NE(pi, nullptr);
                // From the first match on to the end of the key's order, each
                // row with the server's answer.
                const bool bDown = bBackward != (strQuery.find(L" DESC") != std::wstring::npos);
                const std::string strMatch =
                    k.pszMatch != nullptr ? k.pszMatch : "v = " + std::string(k.pszServer);
                const Rows tabServer = List("SELECT CONCAT(id, '/', " + strMatch + ") FROM " + Narrow(k.pszTable) +
                                            " WHERE " + strMatch + " OR v " + (bDown ? "< " : "> ") + k.pszServer +
                                            " ORDER BY v" + (bDown ? " DESC" : "") + ", id" +
                                            (bBackward ? " DESC" : ""));
                const CHostText v(k.pszHost);
                ASSERT_EQ(pi->bHRecherche(pc, L"v", &v, k.pszMatch == nullptr, 0, kNoLock, nullptr,
                                          bBackward ? 0 : 1, 0),
                          1)
                    << Error(pi, pc);
                Rows tabRead;
                while (!Out(pi, pc, L"v") && tabRead.size() < 10) {
                    tabRead.push_back(Value(pi, pc, L"id") + "/" + std::to_string(Found(pi, pc, L"v")));
                    ASSERT_EQ(Read(pi, pc, L"v", bBackward ? PREVIOUS : NEXT), 1) << Error(pi, pc);
                }
                EXPECT_EQ(tabRead, tabServer);
                EXPECT_EQ(Found(pi, pc, L"v"), 0);
                EXPECT_EQ(pi->bHFerme(pc), 1) << Error(pi, pc);
            }
}
