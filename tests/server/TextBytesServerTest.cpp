// Texts of a character set whose bytes the server may read as another
// row's text: a byte that stands for no character (greek 0xAE, cp1250 0x81,
// sjis 0xF040) reads as "?" as a real one does, and cp932 has two byte
// forms of one character. A write of one of two such rows changes that row,
// found by the column's own bytes, through the table object and a host
// query alike; sets that hold every text whole read no bytes beside it.
// Judged by the server's own rows, in both code pages.
#include "access/driver/NAItemDescription.h"
#include "common/platform/MyModuleInfo.h"
#include "tests/support/TableObjectServer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace tableobject;

class TextBytes : public TableObjectServer {
protected:
    TextBytes() : TableObjectServer("zt50tb") {}
    static Rows Sorted(Rows tab)
    {
        std::sort(tab.begin(), tab.end());
        return tab;
    }
    // How many of the texts start so.
    static long Starting(const Rows& tab, const char* pszStart)
    {
        return std::count_if(tab.begin(), tab.end(), [&](const std::string& s) { return s.rfind(pszStart, 0) == 0; });
    }
};

struct STwins {
    const char* pszTable;
    const char* pszColumn; // its declaration
    const char* pszFirst;  // the row inserted first, then the second
    const char* pszSecond;
    bool bKeyed;           // the text is the primary key, else o is a plain index
};

// Each of the two rows, read in its place through the table object or a host
// query, is modified and deleted alone: the write changes the row read, not
// its twin, which the server may find first. Without a key every text finds
// the row, with one the key alone. The host may hold the driver's
// descriptions or its own, which name no set: a query over the driver's
// reads no more of its tables, over the host's own it reads each table's
// columns once, never again while it is browsed and written.
TEST_F(TextBytes, ARowIsFoundByItsColumnsOwnBytes)
{
    const STwins tabCases[] = {
        {"kg", "VARCHAR(5) CHARACTER SET greek", "_greek X'AE'", "'?'", false},
        {"kc", "VARCHAR(5) CHARACTER SET cp1250", "_cp1250 X'81'", "'?'", false},
        {"ks", "VARCHAR(5) CHARACTER SET sjis", "_sjis X'F040'", "'?'", false},
        {"kj", "VARCHAR(5) CHARACTER SET cp932", "_cp932 X'8790'", "_cp932 X'81E0'", false},
        {"kb", "VARCHAR(5) CHARACTER SET big5", "_big5 X'A240'", "_big5 X'A1FE'", false},
        {"ka", "VARCHAR(5) CHARACTER SET armscii8", "_armscii8 X'FF'", "_armscii8 X'27'", false},
        {"km", "TEXT CHARACTER SET greek", "'?'", "_greek X'AE'", false},
        {"pg", "VARCHAR(5) CHARACTER SET greek", "'?'", "_greek X'AE'", true},
        {"pj", "VARCHAR(5) CHARACTER SET cp932", "_cp932 X'8790'", "_cp932 X'81E0'", true},
    };
    // The table object and a query, over the driver's descriptions or the
    // host's own.
    enum eROAD { TABLE, TABLE_HOST_DESCRIPTIONS, QUERY, QUERY_HOST_DESCRIPTIONS };
    unsigned int nContext = 0;
    for (const STwins& c : tabCases) {
        const std::string strTable = c.pszTable;
        ASSERT_TRUE(Admin("CREATE TABLE " + strTable + " (o INT, t " + c.pszColumn +
                          (c.bKeyed ? ", PRIMARY KEY (t))" : ", KEY (o))")));
        const std::string strInsert =
            "INSERT INTO " + strTable + " VALUES (1, " + c.pszFirst + "), (1, " + c.pszSecond + ")";
        // The browse's order: the key; else o, then a VARCHAR as the server
        // sorts it, a memo as the index of o holds it.
        const std::string strRows =
            "SELECT CONCAT(o, '/', HEX(t)) FROM " + strTable +
            (c.bKeyed ? " ORDER BY t"
                      : " FORCE INDEX (o) ORDER BY o" +
                            std::string(std::string(c.pszColumn).compare(0, 4, "TEXT") == 0 ? "" : ", t"));
        const wchar_t* pszItem = c.bKeyed ? L"t" : L"o";
        for (const eROAD eRoad : {TABLE, TABLE_HOST_DESCRIPTIONS, QUERY, QUERY_HOST_DESCRIPTIONS})
            for (const bool bUTF8 : {true, false}) {
                for (const int n : {1, 2}) {
                    SCOPED_TRACE(strTable + " on road " + std::to_string(eRoad) +
                                 (bUTF8 ? " in UTF-8, row " : " in 1252, row ") + std::to_string(n));
                    ASSERT_TRUE(Admin("DELETE FROM " + strTable) && Admin(strInsert));
                    const Rows tabBefore = List(strRows);
                    ASSERT_EQ(tabBefore.size(), 2u);
                    // A table object the driver keeps goes by the description
                    // it was made on: none is kept from another road.
                    CloseTables();
                    CHostContext* pc = Context(++nContext);
                    const bool bQuery = eRoad == QUERY || eRoad == QUERY_HOST_DESCRIPTIONS;
                    m_bHostOwnDescriptions = eRoad == TABLE_HOST_DESCRIPTIONS || eRoad == QUERY_HOST_DESCRIPTIONS;
                    Sent();
                    INATable* pi = bQuery ? QueryIn(bUTF8, false, L"SELECT o, t FROM " + Wide(strTable), pc,
                                                    {Wide(strTable).c_str()})
                                          : Open(Wide(strTable).c_str(), pc, HostIn(bUTF8));
                    ASSERT_NE(pi, nullptr);
                    // The catalogue's description, then the query's own read.
                    const Rows tabOpened = Sent();
                    if (bQuery) {
                        EXPECT_EQ(Starting(tabOpened, "SHOW INDEX"), 1);
                        EXPECT_EQ(Starting(tabOpened, "SHOW FULL COLUMNS"), eRoad == QUERY ? 1 : 2);
                    }
                    const auto fnReadRow = [&] {
                        ASSERT_EQ(Read(pi, pc, pszItem, FIRST), 1) << Error(pi, pc);
                        if (n == 2) {
                            ASSERT_EQ(Read(pi, pc, pszItem, NEXT), 1) << Error(pi, pc);
                        }
                        // Its own bytes come with the row.
                        const Rows tabSent = Sent();
                        EXPECT_EQ(Starting(tabSent, "SHOW"), 0);
                        EXPECT_TRUE(std::any_of(tabSent.begin(), tabSent.end(), [](const std::string& s) {
                            return s.find("t` USING binary)") != std::string::npos;
                        }));
                    };
                    fnReadRow();
                    PutItem(pi, pc, L"o", CInt(2));
                    ASSERT_EQ(pi->bHModifie(pc, 0, 0, kNoLock), 1) << Error(pi, pc);
                    const std::string strRead = tabBefore[static_cast<size_t>(n - 1)].substr(2);
                    const std::string strOther = tabBefore[static_cast<size_t>(2 - n)].substr(2);
                    EXPECT_EQ(Sorted(List(strRows)), Sorted({"1/" + strOther, "2/" + strRead}));

                    ASSERT_TRUE(Admin("UPDATE " + strTable + " SET o = 1"));
                    Sent();
                    fnReadRow();
                    ASSERT_EQ(pi->bHSupprime(pc, 0, kNoLock), 1) << Error(pi, pc);
                    EXPECT_EQ(Starting(Sent(), "SHOW"), 0);
                    EXPECT_EQ(List(strRows), (Rows{"1/" + strOther}));
                }
            }
    }
}

// A query text whose set is not known (its table's description could not be
// read) holding more than ASCII letters, digits and spaces may read alike
// from another row's bytes; nor may a "?" of a set lacking bytes where the
// query's own row limit reads nothing beside it. Its write is refused (user
// error 53 naming it), nothing sent; any other lands. Rows: a greek 0xAE
// beside a real "?", letters, digits and a space, an omega, and an omega
// before 0xAE beside one before "?".
TEST_F(TextBytes, AQueryTextThatMayStandForOtherBytesIsNotWritten)
{
    ASSERT_TRUE(Admin("CREATE TABLE qu (o INT, t VARCHAR(10) CHARACTER SET greek, KEY (o))"));
    const std::string strInsert = "INSERT INTO qu VALUES (1, _greek X'AE'), (1, '?'), (2, 'azAZ 09'), "
                                  "(3, _greek X'D9'), (4, _greek X'D9AE'), (4, _greek X'D93F')";
    const std::string strRows = "SELECT CONCAT(o, '/', HEX(t)) FROM qu ORDER BY o, HEX(t)";
    const struct {
        const wchar_t* pszQuery;
        bool bUnreadable;
        // Whether the omega's write lands, in UTF-8 and in 1252 (whose item
        // holds it as "?").
        bool bOmegaUTF8, bOmega1252;
    } aCases[] = {
        {L"SELECT o, t FROM qu", true, false, false},
        {L"SELECT o, t FROM qu ORDER BY o LIMIT 10", false, true, false},
    };
    unsigned int nContext = 0;
    for (const auto& c : aCases)
        for (const bool bUTF8 : {true, false})
            for (const int o : {1, 2, 3, 4}) {
                SCOPED_TRACE(Narrow(c.pszQuery) + (bUTF8 ? " in UTF-8, o = " : " in 1252, o = ") + std::to_string(o));
                ASSERT_TRUE(Admin("DELETE FROM qu") && Admin(strInsert));
                const Rows tabBefore = List(strRows);
                // The host's own description of the table: the driver reads
                // the table's columns, or fails to.
                CItemsUnreadable::s_bUnreadable = c.bUnreadable;
                m_bHostOwnDescriptions = c.bUnreadable;
                CHostContext* pc = Context(++nContext);
                INATable* pi = QueryIn(bUTF8, false, c.pszQuery, pc, {L"qu"});
                CItemsUnreadable::s_bUnreadable = false;
                ASSERT_NE(pi, nullptr);
                ASSERT_EQ(Read(pi, pc, L"o", FIRST), 1) << Error(pi, pc);
                while (Value(pi, pc, L"o") != std::to_string(o))
                    ASSERT_EQ(Read(pi, pc, L"o", NEXT), 1) << Error(pi, pc);
                PutItem(pi, pc, L"o", CInt(10 + o));
                Sent();
                const bool bLands = o == 2 || (o == 3 && (bUTF8 ? c.bOmegaUTF8 : c.bOmega1252));
                EXPECT_EQ(pi->bHModifie(pc, 0, 0, kNoLock), bLands ? 1 : 0) << Error(pi, pc);
                if (bLands) {
                    Rows tabAfter = tabBefore;
                    for (std::string& s : tabAfter)
                        if (s.compare(0, 2, std::to_string(o) + "/") == 0)
                            s = std::to_string(10 + o) + s.substr(1);
                    EXPECT_EQ(Sorted(List(strRows)), Sorted(tabAfter));
                    continue;
                }
                EXPECT_EQ(ErrorOf(pi, pc)->nGetUserErrorCode(), static_cast<unsigned int>(ZTERR_CONVERSION))
                    << Error(pi, pc);
                const wchar_t* pszItem = ErrorOf(pi, pc)->pszGetItemName();
                EXPECT_EQ(Narrow(pszItem != nullptr ? pszItem : L""), "t");
                EXPECT_TRUE(Writes().empty());
                EXPECT_EQ(List(strRows), tabBefore);
            }
}

// Read without its bytes beside it (through a query with its own row
// limit, or a table's DISTINCT browse), a text holding a character its set
// has two byte forms of could be either row's: a return to it, its modify
// and its delete are refused (user error 53 naming it), nothing sent, both
// rows kept. Texts of characters of one form write: one beyond ASCII in
// UTF-8 (1252 reads it as "?"), an ASCII one in both; so does every text
// whose bytes were read. The text a key, or not.
TEST_F(TextBytes, ATextOfTwoByteFormsReadWithoutItsBytesIsNotWritten)
{
    const struct {
        const char* pszCharset;
        const char* pszFirst; // the two forms' bytes
        const char* pszSecond;
        const char* pszExact; // a character beyond ASCII of one form
    } aCases[] = {
        {"armscii8", "FF", "27", "B2"},       {"armscii8", "A5", "28", "B2"},     {"armscii8", "A4", "29", "B2"},
        {"armscii8", "AB", "2C", "B2"},       {"armscii8", "AC", "2D", "B2"},     {"armscii8", "A9", "2E", "B2"},
        {"big5", "A240", "A1FE", "A4A4"},     {"tis620", "A0", "DB", "A1"},       {"sjis", "815F", "5C", "93FA"},
        {"ujis", "A1C0", "5C", "C6FC"},       {"ujis", "8FA2B7", "7E", "C6FC"},   {"eucjpms", "A2E5", "ADF5", "C6FC"},
        {"eucjpms", "8FA2F1", "ADE2", "C6FC"}, {"eucjpms", "8FA2B7", "A1C1", "C6FC"},
        {"cp932", "FA59", "8782", "93FA"},    {"cp932", "ED40", "FA5C", "93FA"},  {"cp932", "EEFC", "FA57", "93FA"},
    };
    unsigned int nContext = 0;
    for (const auto& c : aCases)
        for (const bool bQuery : {true, false})
            for (const bool bKeyed : {false, true})
                for (const bool bUTF8 : {true, false}) {
                    SCOPED_TRACE(std::string(c.pszCharset) + " " + c.pszFirst + "/" + c.pszSecond +
                                 (bQuery ? " through a query" : " through a table") + (bKeyed ? ", keyed" : "") +
                                 (bUTF8 ? ", in UTF-8" : ", in 1252"));
                    const std::string strTable = "ql" + std::to_string(nContext);
                    ASSERT_TRUE(Admin("CREATE TABLE " + strTable + " (o INT, t VARCHAR(5) CHARACTER SET " +
                                      c.pszCharset +
                                      (bKeyed ? " COLLATE " + std::string(c.pszCharset) + "_bin PRIMARY KEY" : "") +
                                      ", v INT, KEY (o))"));
                    const auto Text = [&](const char* pszHex) {
                        return "_" + std::string(c.pszCharset) + " X'61" + pszHex + "'";
                    };
                    ASSERT_TRUE(Admin("INSERT INTO " + strTable + " VALUES (1, " + Text(c.pszFirst) + ", 1), (1, " +
                                      Text(c.pszSecond) + ", 1), (2, " + Text(c.pszExact) + ", 1), (3, " +
                                      Text("21") + ", 1)"));
                    const std::string strRows = "SELECT CONCAT(o, '/', HEX(t), '/', v) FROM " + strTable;
                    const Rows tabBefore = Sorted(List(strRows));
                    CHostContext* pc = Context(++nContext);
                    INATable* pi = bQuery ? QueryIn(bUTF8, false,
                                                    L"SELECT o, t, v FROM " + Wide(strTable) + L" ORDER BY o LIMIT 9",
                                                    pc, {Wide(strTable).c_str()})
                                          : Open(Wide(strTable).c_str(), pc, HostIn(bUTF8));
                    ASSERT_NE(pi, nullptr);
                    const unsigned int nFlags = bQuery ? 0u : static_cast<unsigned int>(CNAStatement::WPF_DISTINCT);
                    const auto fnRead = [&](eNA_PARSEDIRECTION e) {
                        return pi->bHLitxxx(pc, L"o", e, 1, kNoLock, nullptr, nFlags);
                    };
                    // A row of o = 1 is told from its twin by no form. A
                    // table's browse on its unique key is no DISTINCT one: it
                    // reads the key's bytes and tells every row.
                    const auto fnTold = [&](const std::string& strO) {
                        return (bKeyed && !bQuery) || strO == "3" || (strO == "2" && bUTF8);
                    };
                    const auto fnRefused = [&] {
                        EXPECT_EQ(ErrorOf(pi, pc)->nGetUserErrorCode(), static_cast<unsigned int>(ZTERR_CONVERSION))
                            << Error(pi, pc);
                        const wchar_t* pszItem = ErrorOf(pi, pc)->pszGetItemName();
                        EXPECT_EQ(Narrow(pszItem != nullptr ? pszItem : L""), "t");
                        EXPECT_EQ(Sent(), Rows());
                    };
                    // A return to each row noted in a first browse asks the
                    // server after the row by the same form.
                    std::vector<std::pair<int, std::string>> tabNoted;
                    ASSERT_EQ(fnRead(FIRST), 1) << Error(pi, pc);
                    while (!Out(pi, pc, L"o") && tabNoted.size() < 5) {
                        tabNoted.emplace_back(Save(pi, pc, L"o"), Value(pi, pc, L"o"));
                        ASSERT_EQ(fnRead(NEXT), 1) << Error(pi, pc);
                    }
                    ASSERT_EQ(tabNoted.size(), 4u);
                    for (const auto& stNoted : tabNoted) {
                        SCOPED_TRACE("return to o = " + stNoted.second);
                        Sent();
                        const bool bTold = fnTold(stNoted.second);
                        EXPECT_EQ(pi->bHRetourPosition(pc, stNoted.first, nullptr, 0, 0), bTold ? 1 : 0);
                        if (!bTold)
                            fnRefused();
                        else
                            EXPECT_EQ(Value(pi, pc, L"o"), stNoted.second);
                    }
                    ASSERT_EQ(fnRead(FIRST), 1) << Error(pi, pc);
                    for (int n = 0; n < 4; n++) {
                        const std::string strO = Value(pi, pc, L"o");
                        SCOPED_TRACE("o = " + strO);
                        Sent();
                        PutItem(pi, pc, L"v", CInt(2));
                        const bool bTold = fnTold(strO);
                        EXPECT_EQ(pi->bHModifie(pc, 0, 0, kNoLock), bTold ? 1 : 0) << Error(pi, pc);
                        if (bTold) {
                            EXPECT_EQ(Writes().size(), 1u);
                        } else {
                            fnRefused();
                            EXPECT_EQ(pi->bHSupprime(pc, 0, kNoLock), 0);
                            fnRefused();
                        }
                        ASSERT_EQ(fnRead(NEXT), 1) << Error(pi, pc);
                    }
                    EXPECT_TRUE(Out(pi, pc, L"o"));
                    Rows tabExpected;
                    for (std::string strRow : tabBefore) {
                        if (fnTold(strRow.substr(0, 1)))
                            strRow.back() = '2';
                        tabExpected.push_back(strRow);
                    }
                    EXPECT_EQ(Sorted(List(strRows)), Sorted(tabExpected));
                }
}

// The characters the driver takes for those of several byte forms in a
// set are the server's own: each set that may hold bytes beyond its
// characters, every sequence of its bytes (one, two, and three after 0x8F
// where its characters take three) converted to utf8mb4, the characters
// more than one of them reads as, "?" apart.
TEST_F(TextBytes, TheSetsCharactersOfSeveralFormsAreTheServers)
{
    const Rows tabSets =
        List("SELECT CONCAT(CHARACTER_SET_NAME, ' ', MAXLEN) FROM information_schema.CHARACTER_SETS ORDER BY 1");
    long nAsked = 0, nTwins = 0;
    for (const std::string& strSet : tabSets) {
        const std::string strName = strSet.substr(0, strSet.find(' '));
        const int nMax = std::stoi(strSet.substr(strSet.find(' ') + 1));
        CNAItemDescription clItem;
        clItem.SetColumnCharset(Wide(strName + "_general_ci").c_str());
        if (!clItem.bBytesBeyondCharacters())
            continue;
        SCOPED_TRACE(strName);
        // Beyond three bytes, or three without 0x8F, the sequences here are
        // not all of the set's.
        ASSERT_LE(nMax, 3);
        std::string strBytes = "SELECT UNHEX(LPAD(HEX(seq), 2, '0')) b FROM seq_0_to_255";
        if (nMax >= 2)
            strBytes += " UNION ALL SELECT UNHEX(LPAD(HEX(seq), 4, '0')) FROM seq_0_to_65535";
        if (nMax == 3) {
            ASSERT_TRUE(strName == "ujis" || strName == "eucjpms");
            strBytes += " UNION ALL SELECT UNHEX(CONCAT('8F', LPAD(HEX(seq), 4, '0'))) FROM seq_0_to_65535";
        }
        const Rows tabServer = List("SELECT HEX(CONVERT(u USING utf32)) FROM (SELECT CONVERT(CONVERT(b USING " +
                                    strName + ") USING utf8mb4) u FROM (" + strBytes +
                                    ") s) t WHERE CHAR_LENGTH(u) = 1 AND HEX(u) <> '3F' GROUP BY HEX(u) "
                                    "HAVING COUNT(*) > 1 ORDER BY 1");
        Rows tabDriver;
        for (unsigned int c = 0; c <= 0x10FFFF; c++)
            if (clItem.bTwinForms(static_cast<wchar_t>(c))) {
                char sz[9];
                std::snprintf(sz, sizeof sz, "%08X", c);
                tabDriver.push_back(sz);
            }
        EXPECT_EQ(tabDriver, tabServer);
        nAsked++;
        nTwins += static_cast<long>(tabServer.size());
    }
    // Every set but latin1, binary and the Unicode ones, some with such
    // characters.
    EXPECT_EQ(nAsked, static_cast<long>(tabSets.size()) - 8);
    EXPECT_GT(nTwins, 0);
}

// Over the host's own descriptions, a query that reads texts it may write
// reads each table's columns once; one it cannot write (a DISTINCT, a
// GROUP BY, one sent as written) or that reads no text asks nothing of its
// tables. A query the driver refuses sends nothing, its own row limit or
// not.
TEST_F(TextBytes, AQueryAsksItsTablesColumnsOnlyWhereItWritesTexts)
{
    ASSERT_TRUE(Admin("CREATE TABLE qd (o INT, t VARCHAR(5) CHARACTER SET greek, KEY (o))") &&
                Admin("INSERT INTO qd VALUES (1, 'a'), (2, 'b')"));
    const struct {
        const wchar_t* pszQuery;
        unsigned int nMode;
        long nColumnsRead;
    } aCases[] = {
        {L"SELECT o, t, t AS u FROM qd", CNADataAccess::QM_MAY_MODIFY, 1},
        {L"SELECT o, t FROM qd ORDER BY o LIMIT 5", CNADataAccess::QM_MAY_MODIFY, 1},
        {L"SELECT o FROM qd", CNADataAccess::QM_MAY_MODIFY, 0},
        {L"SELECT DISTINCT o, t FROM qd", CNADataAccess::QM_MAY_MODIFY, 0},
        {L"SELECT t, COUNT(*) AS n FROM qd GROUP BY t", CNADataAccess::QM_MAY_MODIFY, 0},
        {L"SELECT o, t FROM qd LIMIT 5", CNADataAccess::QM_WITHOUT_CORRECTION, 0},
    };
    m_bHostOwnDescriptions = true;
    unsigned int nContext = 0;
    for (const auto& c : aCases) {
        SCOPED_TRACE(Narrow(c.pszQuery));
        Sent();
        ASSERT_NE(RunOn(HostIn(true), Context(++nContext), c.pszQuery, {L"qd"}, c.nMode), nullptr) << Report();
        // Beside the catalogue's description of the table.
        const Rows tabSent = Sent();
        EXPECT_EQ(Starting(tabSent, "SHOW INDEX"), 1);
        EXPECT_EQ(Starting(tabSent, "SHOW FULL COLUMNS"), 1 + c.nColumnsRead);
    }
    for (const wchar_t* pszQuery : {L"SELECT tt.o FROM qd Tt, qd tT", L"SELECT tt.o FROM qd Tt, qd tT LIMIT 5"})
        EXPECT_EQ(QueryRefusal(HostIn(true), Context(++nContext), pszQuery),
                  static_cast<unsigned int>(ZTERR_EXPRESSION_REFUSED))
            << Narrow(pszQuery) << Report();
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
        {"bg", L"SELECT k, v FROM bg", L"k", L"v", "SELECT v FROM bg ORDER BY k"},
    };
    unsigned int nContext = 0;
    for (const auto& c : aCases) {
        const Rows tabServer = List(c.pszOrder);
        for (const bool bUTF8 : {true, false}) {
            SCOPED_TRACE(std::string(c.pszTable) + (bUTF8 ? " in UTF-8" : " in 1252"));
            CHostContext* pc = Context(++nContext);
            INATable* pi = c.pszQuery == nullptr ? Open(Wide(c.pszTable).c_str(), pc, HostIn(bUTF8, 1))
                                                 : QueryIn(bUTF8, false, c.pszQuery, pc, {Wide(c.pszTable).c_str()}, 1);
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
