// Texts longer than the session's max_allowed_packet, on a private server
// whose bounds the test sets: each is read whole in both code pages (the
// server answers NULL for CAST(... AS BINARY) and HEX() past that bound),
// a write lands on its own row beside a NULL twin and a "?" twin, and a
// write whose statement the session cannot take fails with user error 53,
// nothing sent, the session kept; so do a browse that cannot go on from
// such a value and a return to its row. Judged by the server's own rows.
#include "common/platform/MyModuleInfo.h"
#include "tests/support/ClientLibrary.h"
#include "tests/support/TableObjectServer.h"
#include "tests/support/TestServer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>

namespace {

using namespace tableobject;

class LongText : public TableObjectServer {
protected:
    LongText() : TableObjectServer("zt50lt") {}

    // The whole test runs on a server of its own: its bounds are global.
    void SetUp() override
    {
        std::string strError;
        ASSERT_TRUE(m_clPlain.bStart(strError)) << strError;
        const char* pszPort = std::getenv("ZT_TEST_PORT");
        m_strPort = pszPort != nullptr ? pszPort : "";
        setenv("ZT_TEST_PORT", std::to_string(m_clPlain.nPort()).c_str(), 1);
        TableObjectServer::SetUp();
    }
    void TearDown() override
    {
        TableObjectServer::TearDown();
        setenv("ZT_TEST_PORT", m_strPort.c_str(), 1);
    }
    // The bounds of the sessions opened from now on.
    void Bound(const char* pszMaxPacket, const char* pszNetBuffer)
    {
        ASSERT_TRUE(Admin(std::string("SET GLOBAL max_allowed_packet = ") + pszMaxPacket) &&
                    Admin(std::string("SET GLOBAL net_buffer_length = ") + pszNetBuffer));
    }
    // Runs the texts on a session of a 64 MiB bound, for rows longer than
    // the admin's.
    void Large(std::initializer_list<std::string> tabSQL)
    {
        Bound("67108864", "16384");
        CClientLibrary cl;
        std::string strError;
        ASSERT_TRUE(cl.bConnect(m_server, false, strError)) << strError;
        ASSERT_TRUE(cl.bExecute("USE `" + m_strDatabase + "`", strError)) << strError;
        for (const std::string& s : tabSQL)
            ASSERT_TRUE(cl.bExecute(s, strError)) << strError;
    }
    // Row n of the browse on o (from 1).
    static int ReadRow(INATable* pi, CHostContext* pc, int n)
    {
        int bRead = Read(pi, pc, L"o", FIRST);
        for (int i = 1; i < n && bRead == 1; i++)
            bRead = Read(pi, pc, L"o", NEXT);
        return bRead;
    }

    CPlainServer m_clPlain;
    std::string m_strPort;
};

// Rows a keyless table holds at each bound: a text past max_allowed_packet
// in ASCII, its NULL twin, Ω (lost in 1252) and "?" of the same length.
const char* const kKeyless = "CREATE TABLE lp (o INT, t TEXT CHARACTER SET utf8mb4, KEY (o))";
const char* const kKeylessRows = "INSERT INTO lp VALUES (1, REPEAT('a', 1100)), (1, NULL), "
                                 "(1, REPEAT(_utf8mb4 X'CEA9', 1100)), (1, REPEAT('?', 1100))";
const char* const kKeylessAll = "SELECT CONCAT(o, '/', IFNULL(MD5(t), 'NULL')) FROM lp ORDER BY 1";
// A keyed table whose key is longer than max_allowed_packet in UTF-8, and
// a longer memo its writes do not compare.
const char* const kKeyed = "CREATE TABLE pk (k VARCHAR(700) CHARACTER SET utf8mb4 PRIMARY KEY, v INT, m TEXT)";
const char* const kKeyedRows = "INSERT INTO pk VALUES (REPEAT(_utf8mb4 X'CEA9', 600), 1, REPEAT('z', 1000)), "
                               "(REPEAT('?', 600), 2, REPEAT('z', 1000))";
const char* const kKeyedAll = "SELECT CONCAT(MD5(k), '/', v) FROM pk ORDER BY k";
// What the driver asks of a session before a statement longer than every
// session takes.
const char* const kBound = "SELECT CONCAT(@@max_allowed_packet, ' ', @@net_buffer_length)";

std::string Repeat(const std::string& s, int n)
{
    std::string str;
    for (int i = 0; i < n; i++)
        str += s;
    return str;
}

// At a max_allowed_packet of 1024 (statements up to the net buffer's 16 KiB)
// every text is read whole, and each row, read in its place, is modified and
// deleted alone.
TEST_F(LongText, ATextPastTheSessionsPacketIsReadWholeAndWritesItsOwnRow)
{
    ASSERT_TRUE(Admin(kKeyless) && Admin(kKeyed));
    Bound("1024", "16384");
    const std::string strOmegas = Repeat("\xCE\xA9", 1100);
    unsigned int nContext = 0;
    for (const bool bUTF8 : {true, false}) {
        SCOPED_TRACE(bUTF8 ? "in UTF-8" : "in 1252");
        // In the browse's order, as the index of o holds them.
        const Rows tabRead{std::string(1100, 'a'), "NULL", bUTF8 ? strOmegas : std::string(1100, '?'),
                           std::string(1100, '?')};
        for (int n = 1; n <= 4; n++) {
            SCOPED_TRACE(n);
            ASSERT_TRUE(Admin("DELETE FROM lp") && Admin(kKeylessRows));
            const Rows tabBefore = List("SELECT IFNULL(MD5(t), 'NULL') FROM lp FORCE INDEX (o) ORDER BY o");
            CHostContext* pc = Context(++nContext);
            INATable* pi = Open(L"lp", pc, HostIn(bUTF8));
            ASSERT_NE(pi, nullptr);
            ASSERT_EQ(ReadRow(pi, pc, n), 1) << Error(pi, pc);
            EXPECT_TRUE(Value(pi, pc, L"t") == tabRead[static_cast<size_t>(n - 1)]);
            PutItem(pi, pc, L"o", CInt(2));
            ASSERT_EQ(pi->bHModifie(pc, 0, 0, kNoLock), 1) << Error(pi, pc);
            EXPECT_EQ(List("SELECT IFNULL(MD5(t), 'NULL') FROM lp WHERE o = 2"),
                      (Rows{tabBefore[static_cast<size_t>(n - 1)]}));
            ASSERT_TRUE(Admin("UPDATE lp SET o = 1"));
            ASSERT_EQ(ReadRow(pi, pc, n), 1) << Error(pi, pc);
            ASSERT_EQ(pi->bHSupprime(pc, 0, kNoLock), 1) << Error(pi, pc);
            Rows tabLeft = tabBefore;
            tabLeft.erase(tabLeft.begin() + (n - 1));
            EXPECT_EQ(List("SELECT IFNULL(MD5(t), 'NULL') FROM lp FORCE INDEX (o) ORDER BY o"), tabLeft);
        }
        ASSERT_TRUE(Admin("DELETE FROM pk") && Admin(kKeyedRows));
        const Rows tabKeys = List("SELECT MD5(k) FROM pk ORDER BY k");
        CHostContext* pc = Context(++nContext);
        INATable* pi = Open(L"pk", pc, HostIn(bUTF8));
        ASSERT_NE(pi, nullptr);
        for (const int n : {1, 2}) {
            ASSERT_EQ(Read(pi, pc, L"k", n == 1 ? FIRST : LAST), 1) << Error(pi, pc);
            // "?" sorts before Ω.
            EXPECT_EQ(Value(pi, pc, L"k").size(), n == 2 && bUTF8 ? 1200u : 600u);
            PutItem(pi, pc, L"v", CInt(10 * n));
            ASSERT_EQ(pi->bHModifie(pc, 0, 0, kNoLock), 1) << Error(pi, pc);
        }
        EXPECT_EQ(List(kKeyedAll), (Rows{tabKeys[0] + "/10", tabKeys[1] + "/20"}));
    }
    // A session that cannot be asked its bound (the server ended it) leaves
    // a long statement to the server: the write fails for the ended
    // session, not for its length, and goes on a new session.
    ASSERT_TRUE(Admin("DELETE FROM lp") && Admin(kKeylessRows));
    CHostContext* pc = Context(++nContext);
    INATable* pi = Open(L"lp", pc, HostOn(L"", L"ztlongended"));
    ASSERT_NE(pi, nullptr);
    ASSERT_EQ(ReadRow(pi, pc, 1), 1) << Error(pi, pc);
    KillSessions();
    PutItem(pi, pc, L"o", CInt(2));
    EXPECT_EQ(pi->bHModifie(pc, 0, 0, kNoLock), 0);
    EXPECT_EQ(ErrorOf(pi, pc)->nGetUserErrorCode(), static_cast<unsigned int>(ZTERR_SERVER)) << Error(pi, pc);
    EXPECT_EQ(pi->bHModifie(pc, 0, 0, kNoLock), 1) << Error(pi, pc);
    EXPECT_EQ(List("SELECT LENGTH(t) FROM lp WHERE o = 2"), (Rows{"1100"}));
}

// Statements up to 1022 bytes: a write whose condition cannot hold the
// row's text fails with user error 53 and sends nothing; the NULL twin is
// still written, and the session goes on.
TEST_F(LongText, AWriteTheSessionCannotTakeIsRefusedWithNothingSent)
{
    ASSERT_TRUE(Admin(kKeyless) && Admin(kKeylessRows) && Admin(kKeyed) && Admin(kKeyedRows));
    Bound("1024", "1024");
    const Rows tabKeyless = List(kKeylessAll);
    const Rows tabKeyed = List("SELECT CONCAT(MD5(k), '/', v) FROM pk WHERE v = 1");
    unsigned int nContext = 0;
    for (const bool bUTF8 : {true, false}) {
        SCOPED_TRACE(bUTF8 ? "in UTF-8" : "in 1252");
        CHostContext* pc = Context(++nContext);
        INATable* pi = Open(L"lp", pc, HostIn(bUTF8));
        ASSERT_NE(pi, nullptr);
        // "a", NULL, Ω then "?", as the browse reads them.
        for (const int n : {1, 3, 4}) {
            SCOPED_TRACE(n);
            ASSERT_EQ(ReadRow(pi, pc, n), 1) << Error(pi, pc);
            EXPECT_EQ(Value(pi, pc, L"t").size(), n == 3 && bUTF8 ? 2200u : 1100u);
            Sent();
            PutItem(pi, pc, L"o", CInt(2));
            EXPECT_EQ(pi->bHModifie(pc, 0, 0, kNoLock), 0);
            EXPECT_EQ(ErrorOf(pi, pc)->nGetUserErrorCode(), static_cast<unsigned int>(ZTERR_CONVERSION))
                << Error(pi, pc);
            EXPECT_EQ(Narrow(ErrorOf(pi, pc)->pszGetItemName()), "t");
            ASSERT_EQ(ReadRow(pi, pc, n), 1) << Error(pi, pc);
            EXPECT_EQ(pi->bHSupprime(pc, 0, kNoLock), 0);
            EXPECT_EQ(ErrorOf(pi, pc)->nGetUserErrorCode(), static_cast<unsigned int>(ZTERR_CONVERSION))
                << Error(pi, pc);
            EXPECT_TRUE(Writes().empty());
        }
        EXPECT_EQ(List(kKeylessAll), tabKeyless);
        // A return to the row asks for it by the same values: refused too,
        // nothing longer than the session takes sent.
        ASSERT_EQ(ReadRow(pi, pc, 1), 1) << Error(pi, pc);
        const int nPosition = Save(pi, pc, L"o");
        ASSERT_EQ(ReadRow(pi, pc, 3), 1) << Error(pi, pc);
        Sent();
        EXPECT_EQ(pi->bHRetourPosition(pc, nPosition, nullptr, 1, 0), 0);
        EXPECT_EQ(ErrorOf(pi, pc)->nGetUserErrorCode(), static_cast<unsigned int>(ZTERR_CONVERSION))
            << Error(pi, pc);
        for (const std::string& q : Sent())
            EXPECT_LE(q.size(), 1022u) << q.substr(0, 200);
        // The NULL twin is its own row, and the session that refused is
        // alive.
        ASSERT_EQ(ReadRow(pi, pc, 2), 1) << Error(pi, pc);
        ASSERT_EQ(Value(pi, pc, L"t"), "NULL");
        PutItem(pi, pc, L"o", CInt(3));
        ASSERT_EQ(pi->bHModifie(pc, 0, 0, kNoLock), 1) << Error(pi, pc);
        EXPECT_EQ(List("SELECT CONCAT(o, '/', IFNULL(MD5(t), 'NULL')) FROM lp WHERE o <> 1"), (Rows{"3/NULL"}));
        ASSERT_TRUE(Admin("UPDATE lp SET o = 1"));

        // Of the keys, "?" x 600 fits a statement, Ω x 600 in UTF-8 not.
        CHostContext* pcKeyed = Context(++nContext);
        INATable* piKeyed = Open(L"pk", pcKeyed, HostIn(bUTF8));
        ASSERT_NE(piKeyed, nullptr);
        ASSERT_EQ(Read(piKeyed, pcKeyed, L"k", LAST), 1) << Error(piKeyed, pcKeyed);
        Sent();
        PutItem(piKeyed, pcKeyed, L"v", CInt(5));
        EXPECT_EQ(piKeyed->bHModifie(pcKeyed, 0, 0, kNoLock), 0);
        EXPECT_EQ(ErrorOf(piKeyed, pcKeyed)->nGetUserErrorCode(), static_cast<unsigned int>(ZTERR_CONVERSION));
        EXPECT_EQ(Narrow(ErrorOf(piKeyed, pcKeyed)->pszGetItemName()), "k");
        EXPECT_TRUE(Writes().empty());
        EXPECT_EQ(List("SELECT CONCAT(MD5(k), '/', v) FROM pk WHERE v = 1"), tabKeyed);
        ASSERT_EQ(Read(piKeyed, pcKeyed, L"k", FIRST), 1) << Error(piKeyed, pcKeyed);
        PutItem(piKeyed, pcKeyed, L"v", CInt(bUTF8 ? 3 : 4));
        ASSERT_EQ(piKeyed->bHModifie(pcKeyed, 0, 0, kNoLock), 1) << Error(piKeyed, pcKeyed);
        EXPECT_EQ(List("SELECT v FROM pk WHERE k = REPEAT('?', 600)"), (Rows{bUTF8 ? "3" : "4"}));
    }
}

// Statements up to 1022 bytes: one of exactly that length is sent and
// lands, one a byte longer is not. A refusal names the compared item of
// the longest value, by its exact form where it has one, and its value.
TEST_F(LongText, TheSessionsBoundToTheByteAndTheItemARefusalNames)
{
    ASSERT_TRUE(Admin("CREATE TABLE lb (o INT, t VARCHAR(600), KEY (o))") &&
                Admin("CREATE TABLE ln (o INT, a VARCHAR(600), b TEXT, KEY (o))") &&
                Admin("INSERT INTO ln VALUES (1, REPEAT(_utf8mb4 X'CEA9', 200), REPEAT('y', 300))"));
    Bound("1024", "1024");
    CHostContext* pc = Context(1);
    INATable* pi = Open(L"lb", pc, HostIn(true));
    ASSERT_NE(pi, nullptr);
    // The row (1, strText) modified to o = nTo by a statement whose text is
    // read back.
    const auto Modify = [&](const std::string& strText, int nTo) {
        EXPECT_TRUE(Admin("DELETE FROM lb") && Admin("INSERT INTO lb VALUES (1, '" + strText + "')"));
        EXPECT_EQ(Read(pi, pc, L"o", FIRST), 1) << Error(pi, pc);
        PutItem(pi, pc, L"o", CInt(nTo));
        Sent();
        return pi->bHModifie(pc, 0, 0, kNoLock);
    };
    ASSERT_EQ(Modify("b", 2), 1) << Error(pi, pc);
    Rows tabWrite = Writes();
    ASSERT_EQ(tabWrite.size(), 1u);
    // But for the new value and the text's hexadecimal digits.
    const size_t nFixed = tabWrite[0].size() - 1 - 2;
    for (const size_t nLength : {size_t{1022}, size_t{1023}}) {
        SCOPED_TRACE(nLength);
        const int nTo = (nLength - nFixed) % 2 == 1 ? 2 : 22;
        const std::string strText((nLength - nFixed - (nTo == 2 ? 1 : 2)) / 2, 'b');
        const int bWritten = Modify(strText, nTo);
        tabWrite = Writes();
        if (nLength == 1022) {
            EXPECT_EQ(bWritten, 1) << Error(pi, pc);
            ASSERT_EQ(tabWrite.size(), 1u);
            EXPECT_EQ(tabWrite[0].size(), nLength);
        } else {
            EXPECT_EQ(bWritten, 0);
            EXPECT_EQ(ErrorOf(pi, pc)->nGetUserErrorCode(), static_cast<unsigned int>(ZTERR_CONVERSION));
            EXPECT_TRUE(tabWrite.empty());
        }
        EXPECT_EQ(List("SELECT o FROM lb"), (Rows{nLength == 1022 ? std::to_string(nTo) : "1"}));
    }
    // In 1252, Ω x 200 reads "?" x 200 and compares its form of 200 bytes
    // in UTF-8, which the 300 letters of b are not.
    for (const bool bUTF8 : {true, false}) {
        SCOPED_TRACE(bUTF8 ? "in UTF-8" : "in 1252");
        CHostContext* pcNamed = Context(bUTF8 ? 2 : 3);
        INATable* piNamed = Open(L"ln", pcNamed, HostIn(bUTF8));
        ASSERT_NE(piNamed, nullptr);
        ASSERT_EQ(Read(piNamed, pcNamed, L"o", FIRST), 1) << Error(piNamed, pcNamed);
        PutItem(piNamed, pcNamed, L"o", CInt(2));
        EXPECT_EQ(piNamed->bHModifie(pcNamed, 0, 0, kNoLock), 0);
        const wchar_t* pszNamed = bUTF8 ? L"b" : L"a";
        EXPECT_EQ(ErrorOf(piNamed, pcNamed)->pszGetItemName(), std::wstring(pszNamed));
        INAItemDescription* piItem = Description(piNamed)->piNAGetItem(pszNamed);
        ASSERT_NE(piItem, nullptr);
        const std::string strReport = Error(piNamed, pcNamed);
        EXPECT_NE(strReport.find("for an item of type " + std::to_string(piItem->eNAGetItemType()) + " (value: " +
                                 std::string(64, bUTF8 ? 'y' : '?') + ")"),
                  std::string::npos)
            << strReport;
        piItem->nExternalRelease();
    }
    EXPECT_EQ(List("SELECT o FROM ln"), (Rows{"1"}));
}

// At the default bound of 16 MiB, a keyless text longer than it is read
// whole; its writes are refused, its NULL twin's land on it.
TEST_F(LongText, ATextPastTheDefaultBoundIsReadWhole)
{
    ASSERT_TRUE(Admin("CREATE TABLE lg (o INT, m LONGTEXT CHARACTER SET utf8mb4, KEY (o))"));
    const std::string strTail = "REPEAT('x', 16 << 20)";
    Large({"INSERT INTO lg VALUES (1, CONCAT(_utf8mb4 X'CEA9', " + strTail + ")), (1, NULL), (1, CONCAT('?', " +
           strTail + "))"});
    Bound("16777216", "16384");
    const std::string strAll = "SELECT CONCAT(o, '/', IFNULL(MD5(m), 'NULL')) FROM lg ORDER BY 1";
    const Rows tabBefore = List(strAll);
    unsigned int nContext = 0;
    for (const bool bUTF8 : {true, false}) {
        SCOPED_TRACE(bUTF8 ? "in UTF-8" : "in 1252");
        CHostContext* pc = Context(++nContext);
        INATable* pi = Open(L"lg", pc, HostIn(bUTF8));
        ASSERT_NE(pi, nullptr);
        // The rows in the browse's order: how each begins, and its length.
        Rows tabRead;
        int nNull = 0;
        for (int n = 1; n <= 3; n++) {
            ASSERT_EQ(ReadRow(pi, pc, n), 1) << Error(pi, pc);
            const std::string strValue = Value(pi, pc, L"m");
            if (strValue == "NULL") {
                nNull = n;
                continue;
            }
            tabRead.push_back(strValue.substr(0, 2) + "/" + std::to_string(strValue.size()));
            Sent();
            PutItem(pi, pc, L"o", CInt(2));
            EXPECT_EQ(pi->bHModifie(pc, 0, 0, kNoLock), 0);
            EXPECT_EQ(ErrorOf(pi, pc)->nGetUserErrorCode(), static_cast<unsigned int>(ZTERR_CONVERSION))
                << Error(pi, pc).substr(0, 500);
            EXPECT_TRUE(Writes().empty());
        }
        std::sort(tabRead.begin(), tabRead.end());
        EXPECT_EQ(tabRead, (Rows{"?x/16777217", bUTF8 ? "\xCE\xA9/16777218" : "?x/16777217"}));
        EXPECT_EQ(List(strAll), tabBefore);
        ASSERT_NE(nNull, 0);
        ASSERT_EQ(ReadRow(pi, pc, nNull), 1) << Error(pi, pc);
        ASSERT_EQ(pi->bHSupprime(pc, 0, kNoLock), 1) << Error(pi, pc);
        EXPECT_EQ(First("SELECT COUNT(*) FROM lg WHERE m IS NULL"), "0");
        EXPECT_EQ(First("SELECT COUNT(*) FROM lg"), "2");
        ASSERT_TRUE(Admin("INSERT INTO lg VALUES (1, NULL)"));
    }
}

// At 1024/1024, in blocks of one, a browse whose next block goes on from a
// value that no statement the session takes can hold (a key of 600 Ω, whose
// exact form in 1252 and whose text in UTF-8 pass the bound) fails that read
// with user error 53 and sends nothing, once and again: never another row,
// never a loop. So does one going on, after an add, from a keyless row of
// 1100 letters, whose equal rows are counted by all its values.
TEST_F(LongText, ABrowseThatCannotGoOnFromItsValueFailsWithNothingSent)
{
    ASSERT_TRUE(Admin("CREATE TABLE pk (k VARCHAR(700) CHARACTER SET utf8mb4 PRIMARY KEY, v INT)") &&
                Admin("INSERT INTO pk VALUES (REPEAT(_utf8mb4 X'CEA9', 600), 1), (REPEAT('?', 600), 2), "
                      "(REPEAT('b', 700), 3), ('c', 4), ('d', 5)") &&
                Admin("CREATE TABLE lk (o INT, t VARCHAR(1100), v INT, KEY (o))") &&
                Admin("INSERT INTO lk VALUES (1, REPEAT('a', 1100), 1), (2, 'x', 2)"));
    Bound("1024", "1024");
    const struct {
        const wchar_t* pszTable;
        const wchar_t* pszItem;
        bool bBackward;
        bool bAdd;           // a row added after the first read
        const char* pszRead; // v of each row, then the refusals
    } aCases[] = {
        {L"pk", L"k", false, false, "2 3 4 5 1 53 53"},
        {L"pk", L"k", true, false, "1 53 53"},
        {L"lk", L"o", false, true, "1 53 53"},
    };
    unsigned int nContext = 0;
    for (const bool bUTF8 : {true, false})
        for (const auto& c : aCases) {
            SCOPED_TRACE(std::string(bUTF8 ? "in UTF-8, " : "in 1252, ") + Narrow(c.pszTable) +
                         (c.bBackward ? " backward" : " forward"));
            CHostContext* pc = Context(++nContext);
            INATable* pi = Open(c.pszTable, pc, HostIn(bUTF8, 1));
            ASSERT_NE(pi, nullptr);
            std::string strRead;
            for (int n = 0, nRefused = 0; n < 12 && nRefused < 2; n++) {
                Sent();
                const eNA_PARSEDIRECTION e = n == 0 ? (c.bBackward ? LAST : FIRST) : (c.bBackward ? PREVIOUS : NEXT);
                const int bRead = Read(pi, pc, c.pszItem, e);
                const Rows tabSent = Sent();
                if (bRead == 1 && Out(pi, pc, c.pszItem))
                    break;
                if (bRead == 1) {
                    strRead += (strRead.empty() ? "" : " ") + Value(pi, pc, L"v");
                } else {
                    strRead += " " + std::to_string(ErrorOf(pi, pc)->nGetUserErrorCode());
                    nRefused++;
                    // Named by its item, its type and its value as the host
                    // holds it.
                    const bool bKey = c.pszTable[0] == L'p';
                    EXPECT_EQ(Narrow(ErrorOf(pi, pc)->pszGetItemName()), bKey ? "k" : "t");
                    const std::string strValue =
                        !bKey ? std::string(20, 'a') : bUTF8 ? Repeat("\xCE\xA9", 20) : std::string(20, '?');
                    EXPECT_NE(Error(pi, pc).find("(value: " + strValue), std::string::npos) << Error(pi, pc);
                    if (bKey && !bUTF8) {
                        EXPECT_NE(Error(pi, pc).find("(SQL type varchar(700))"), std::string::npos) << Error(pi, pc);
                    }
                    // But the session's bound, asked once.
                    for (const std::string& q : tabSent)
                        EXPECT_EQ(q, kBound) << q.substr(0, 200);
                }
                for (const std::string& q : tabSent)
                    EXPECT_LE(q.size(), 1022u) << q.substr(0, 200);
                if (n == 0 && c.bAdd) {
                    PutItem(pi, pc, L"o", CInt(3));
                    PutItem(pi, pc, L"t", CHostText(L"new"));
                    ASSERT_EQ(pi->bHAjoute(pc, 0, kNoLock), 1) << Error(pi, pc);
                }
            }
            EXPECT_EQ(strRead, c.pszRead);
            if (c.bAdd) {
                ASSERT_TRUE(Admin("DELETE FROM lk WHERE o = 3"));
            }
        }
}

// At 1024/1024, returns in one context, in both orders: one to a row whose
// statement the session cannot take is refused with user error 53 for its
// own statement; one to a row added and then modified through the table
// object comes back to that row as written, found by its own values. Before
// or after a refusal, each stands on its own.
TEST_F(LongText, EachReturnAfterARefusalStandsOnItsOwn)
{
    ASSERT_TRUE(Admin("CREATE TABLE lr (o INT, t VARCHAR(1100), v INT, KEY (o))"));
    Bound("1024", "1024");
    const std::string strLong(1100, 'a');
    // Of 850 letters, modified in by a statement the session takes; its
    // return compares twice as many hexadecimal digits.
    const std::wstring strWritten(850, L'b');
    // Refused for its own statement, naming its own value: nothing sent
    // but the session's bound.
    const auto Refused = [&](INATable* pi, CHostContext* pc, int bBack, const Rows& tabSent, char cValue) {
        EXPECT_EQ(bBack, 0);
        EXPECT_EQ(ErrorOf(pi, pc)->nGetUserErrorCode(), static_cast<unsigned int>(ZTERR_CONVERSION));
        EXPECT_EQ(Narrow(ErrorOf(pi, pc)->pszGetItemName()), "t");
        EXPECT_NE(Error(pi, pc).find("(value: " + std::string(20, cValue)), std::string::npos) << Error(pi, pc);
        for (const std::string& q : tabSent)
            EXPECT_EQ(q, kBound) << q.substr(0, 200);
    };
    unsigned int nContext = 0;
    for (const bool bUTF8 : {true, false})
        for (const bool bRefusedFirst : {true, false}) {
            SCOPED_TRACE(std::string(bUTF8 ? "in UTF-8, " : "in 1252, ") +
                         (bRefusedFirst ? "refused first" : "found first"));
            ASSERT_TRUE(Admin("DELETE FROM lr") &&
                        Admin(std::string("INSERT INTO lr VALUES (1, '") + (bRefusedFirst ? strLong : "a") +
                              "', 1), (2, 'x', 2)"));
            CHostContext* pc = Context(++nContext);
            INATable* pi = Open(L"lr", pc, HostIn(bUTF8));
            ASSERT_NE(pi, nullptr);
            ASSERT_EQ(Read(pi, pc, L"o", FIRST), 1) << Error(pi, pc);
            const int nFirst = Save(pi, pc, L"o");
            ASSERT_EQ(Read(pi, pc, L"o", NEXT), 1) << Error(pi, pc);
            Sent();
            if (bRefusedFirst) {
                const int bBack = pi->bHRetourPosition(pc, nFirst, nullptr, 0, 0);
                Refused(pi, pc, bBack, Sent(), 'a');
            } else {
                EXPECT_EQ(pi->bHRetourPosition(pc, nFirst, nullptr, 0, 0), 1) << Error(pi, pc);
                EXPECT_EQ(Value(pi, pc, L"t"), "a");
            }
            // A new row, then written: short after a refusal, long after a
            // row found.
            PutItem(pi, pc, L"o", CInt(3));
            PutItem(pi, pc, L"t", CHostText(L"new"));
            PutItem(pi, pc, L"v", CInt(3));
            ASSERT_EQ(pi->bHAjoute(pc, 0, kNoLock), 1) << Error(pi, pc);
            if (bRefusedFirst)
                PutItem(pi, pc, L"v", CInt(30));
            else
                PutItem(pi, pc, L"t", CHostText(strWritten.c_str()));
            ASSERT_EQ(pi->bHModifie(pc, 0, 0, kNoLock), 1) << Error(pi, pc);
            const int nWritten = Save(pi, pc, L"o");
            ASSERT_EQ(Read(pi, pc, L"o", FIRST), 1) << Error(pi, pc);
            Sent();
            const int bBack = pi->bHRetourPosition(pc, nWritten, nullptr, 0, 0);
            const Rows tabSent = Sent();
            if (bRefusedFirst) {
                EXPECT_EQ(bBack, 1) << Error(pi, pc);
                EXPECT_EQ(Value(pi, pc, L"o") + "/" + Value(pi, pc, L"t") + "/" + Value(pi, pc, L"v"), "3/new/30");
                EXPECT_EQ(Found(pi, pc, L"o"), 1);
                ASSERT_EQ(tabSent.size(), 1u);
                EXPECT_NE(tabSent[0].find("COUNT(*)"), std::string::npos) << tabSent[0];
            } else {
                Refused(pi, pc, bBack, tabSent, 'b');
            }
            EXPECT_EQ(List("SELECT CONCAT(o, '/', LENGTH(t), '/', v) FROM lr ORDER BY o"),
                      (Rows{std::string("1/") + (bRefusedFirst ? "1100" : "1") + "/1", "2/1/2",
                            std::string("3/") + (bRefusedFirst ? "3/30" : "850/3")}));
        }
}

} // namespace
