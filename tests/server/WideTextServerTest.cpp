// Texts beyond the Basic Multilingual Plane in utf8mb4 columns through the
// table object as the host uses it: read, added, modified and browsed in
// blocks of five whole, judged by the server's own rows, on a connection in
// UTF-8 and on one in code page 1252.
#include "tests/support/TableObjectServer.h"

#include "common/platform/MyModuleInfo.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

namespace {

using namespace tableobject;

// Characters beyond U+FFFF, two UTF-16 units each.
const std::wstring kGrin = L"\U0001F600", kCat = L"\U0001F431", kNote = L"\U0001D11E", kLeaf = L"\U0001F341";

class WideText : public TableObjectServer {
protected:
    WideText()
        : TableObjectServer("zt50wt", {"CREATE TABLE u (id INT PRIMARY KEY, v VARCHAR(4) NULL, c CHAR(3) NULL, "
                                       "KEY (v), KEY (c)) ENGINE=InnoDB CHARACTER SET utf8mb4 COLLATE utf8mb4_bin"})
    {
    }
    // The text as the server writes it in a statement.
    static std::string Literal(const std::wstring& s) { return "_utf8mb4 X'" + HexaOf(UTF8Of(s.c_str())) + "'"; }
    // Rows 1 to 12: each column full of characters beyond U+FFFF, mixed, or
    // shorter, every v apart.
    void Fill()
    {
        const std::wstring aV[] = {kGrin + kGrin + kGrin + kGrin, kCat + kCat + kCat + kCat,
                                   kNote + L"a" + kNote + L"b", L"abcd",
                                   kLeaf + kLeaf + kLeaf + kLeaf, kGrin + kCat + kNote + kLeaf,
                                   L"\u00e9" + kGrin + kGrin + kGrin, kCat,
                                   kGrin + kGrin, L"z" + kLeaf + kLeaf + kLeaf,
                                   kNote + kNote + kNote + kNote, kLeaf + kNote + kCat + kGrin};
        const std::wstring aC[] = {kGrin + kGrin + kGrin, kCat + kCat + kCat, kNote + L"a" + kNote, L"abc"};
        for (int i = 0; i < 12; i++)
            ASSERT_TRUE(Admin("INSERT INTO u VALUES (" + std::to_string(i + 1) + ", " + Literal(aV[i]) + ", " +
                              Literal(aC[i % 4]) + ")"));
    }
    // id, v and c of the current record: v and c in hexadecimal UTF-8.
    static std::string Row(INATable* pi, CHostContext* pc)
    {
        return Value(pi, pc, L"id") + "/" + HexaOf(Value(pi, pc, L"v")) + "/" + HexaOf(Value(pi, pc, L"c"));
    }
    // The server's rows in the same form, in the order given.
    Rows ServerRows(const std::string& strOrder)
    {
        return List("SELECT CONCAT_WS('/', id, HEX(v), HEX(c)) FROM u ORDER BY " + strOrder);
    }
    // Every record on the item, forward then backward, in the host's form.
    static Rows Browse(INATable* pi, CHostContext* pc, const wchar_t* pszItem, bool bForward)
    {
        Rows tab;
        EXPECT_EQ(Read(pi, pc, pszItem, bForward ? FIRST : LAST), 1) << Error(pi, pc);
        while (!Out(pi, pc, pszItem) && tab.size() < 50) {
            tab.push_back(Row(pi, pc));
            EXPECT_EQ(Read(pi, pc, pszItem, bForward ? NEXT : PREVIOUS), 1) << Error(pi, pc);
        }
        return tab;
    }
    static Rows Reversed(Rows tab) { return Rows(tab.rbegin(), tab.rend()); }
};

TEST_F(WideText, ItemsHoldTwoUnitsACharacter)
{
    CHostContext* pc = Context(1);
    INATable* pi = Open(L"u", pc);
    ASSERT_NE(pi, nullptr);
    INADataSourceDescription* piDescription = Description(pi);
    // n characters and the terminator, two bytes a unit; the column's n
    // kept as its bound.
    struct {
        const wchar_t* pszItem;
        eNA_ITEMTYPE eType;
        unsigned int nSize, nCharacters;
    } const tab[] = {{L"v", NA_IT_UNICODE, 18u, 4u}, {L"c", NA_IT_UNICODE, 14u, 3u}, {L"id", NA_IT_I4, 4u, 0u}};
    for (const auto& st : tab) {
        SCOPED_TRACE(Narrow(st.pszItem));
        INAItemDescription* piItem = piDescription->piNAGetItem(st.pszItem);
        ASSERT_NE(piItem, nullptr);
        EXPECT_EQ(piItem->eNAGetItemType(), st.eType);
        EXPECT_EQ(piItem->nGetItemSize(), st.nSize);
        EXPECT_EQ(static_cast<CNAItemDescription*>(piItem)->nGetCharacterLength(), st.nCharacters);
        piItem->nExternalRelease();
    }
}

TEST_F(WideText, ReadAndBrowsedInBlocksOfFiveEveryRowOnce)
{
    Fill();
    CHostContext* pc = Context(1);
    INATable* pi = Open(L"u", pc, HostOn(L"ZT Cache Size=5", L"zt5utf8"));
    ASSERT_NE(pi, nullptr);
    for (const wchar_t* psz : {L"id", L"v"}) {
        SCOPED_TRACE(Narrow(psz));
        const Rows tabServer = ServerRows(psz == std::wstring(L"id") ? "id" : "v, id");
        ASSERT_EQ(tabServer.size(), 12u);
        EXPECT_EQ(Browse(pi, pc, psz, true), tabServer);
        EXPECT_EQ(Browse(pi, pc, psz, false), Reversed(tabServer));
    }
    // c repeats its values: each record still once.
    Rows tabC = Browse(pi, pc, L"c", true);
    std::sort(tabC.begin(), tabC.end());
    Rows tabAll = ServerRows("id");
    std::sort(tabAll.begin(), tabAll.end());
    EXPECT_EQ(tabC, tabAll);
    // A search on a whole value of four such characters finds its record.
    const CHostText clValue(kLeaf + kNote + kCat + kGrin);
    ASSERT_EQ(pi->bHRecherche(pc, L"v", &clValue, 1, 0, kNoLock, nullptr, 1, 0), 1) << Error(pi, pc);
    EXPECT_EQ(Found(pi, pc, L"v"), 1);
    EXPECT_EQ(Value(pi, pc, L"id"), "12");
}

TEST_F(WideText, AddedAndModifiedWhole)
{
    CHostContext* pc = Context(1);
    INATable* pi = Open(L"u", pc);
    ASSERT_NE(pi, nullptr);
    SetItem(pi, pc, L"id", L"1");
    SetItem(pi, pc, L"v", kGrin + kCat + kNote + kLeaf);
    SetItem(pi, pc, L"c", kCat + kCat + kCat);
    ASSERT_EQ(pi->bHAjoute(pc, 0, kNoLock), 1) << Error(pi, pc);
    EXPECT_EQ(First("SELECT COUNT(*) FROM u WHERE id = 1 AND v = " + Literal(kGrin + kCat + kNote + kLeaf) +
                    " AND c = " + Literal(kCat + kCat + kCat)),
              "1");
    SetItem(pi, pc, L"v", kLeaf + kLeaf + kLeaf + kLeaf);
    SetItem(pi, pc, L"c", L"a" + kNote + kNote);
    ASSERT_EQ(pi->bHModifie(pc, 0, 0, kNoLock), 1) << Error(pi, pc);
    EXPECT_EQ(ServerRows("id"), Rows{"1/" + HexaOf(UTF8Of((kLeaf + kLeaf + kLeaf + kLeaf).c_str())) + "/" +
                                     HexaOf(UTF8Of((L"a" + kNote + kNote).c_str()))});
    // Read back through the table, as the server has it.
    ASSERT_EQ(Read(pi, pc, L"id", FIRST), 1) << Error(pi, pc);
    EXPECT_EQ(Row(pi, pc), ServerRows("id")[0]);

    // Five characters are more than the column holds: refused before the
    // server sees them, named, and nothing written.
    const Rows tabBefore = ServerRows("id");
    SetItem(pi, pc, L"v", L"abcde");
    EXPECT_EQ(pi->bHModifie(pc, 0, 0, kNoLock), 0);
    EXPECT_EQ(ErrorOf(pi, pc)->nGetUserErrorCode(), static_cast<unsigned int>(ZTERR_VALUE_TOO_LONG)) << Error(pi, pc);
    EXPECT_EQ(Narrow(ErrorOf(pi, pc)->pszGetItemName()), "v");
    SetItem(pi, pc, L"id", L"2");
    EXPECT_EQ(pi->bHAjoute(pc, 0, kNoLock), 0);
    EXPECT_EQ(ErrorOf(pi, pc)->nGetUserErrorCode(), static_cast<unsigned int>(ZTERR_VALUE_TOO_LONG)) << Error(pi, pc);
    EXPECT_EQ(ServerRows("id"), tabBefore);
}

// A text column declares no length: however long, a wide text is written
// whole, in a session that would cut one as in any other.
TEST_F(WideText, ATextColumnBoundsNothing)
{
    ASSERT_TRUE(Admin("CREATE TABLE m (id INT PRIMARY KEY, t TEXT NULL) CHARACTER SET utf8mb4 COLLATE utf8mb4_bin"));
    CHostContext* pc = Context(1);
    INATable* pi = Open(L"m", pc);
    ASSERT_NE(pi, nullptr);
    CNAConnectionDescription* pCnx = Access(pi, pc)->pclGetConnection();
    ASSERT_NE(pCnx, nullptr);
    ASSERT_EQ(pCnx->bExecuteQueryNoResult(m_pDriver->pclGetError(), L"SET SESSION sql_mode = ''"), 1) << Report();
    std::wstring strLong;
    for (int i = 0; i < 40; i++)
        strLong += kGrin + L"x";
    SetItem(pi, pc, L"id", L"1");
    const CHostText clLong(strLong);
    ASSERT_EQ(pi->bSetBLOB(pc, 0, &clLong), 1) << Error(pi, pc);
    ASSERT_EQ(pi->bHAjoute(pc, 0, kNoLock), 1) << Error(pi, pc);
    EXPECT_EQ(First("SELECT HEX(t) FROM m WHERE id = 1"), HexaOf(UTF8Of(strLong.c_str())));
}

// On a connection in code page 1252 the session cannot carry a character
// beyond U+FFFF: an add or modify of one is refused before anything is
// sent, and records holding them are read, browsed on their key every one
// once.
TEST_F(WideText, ACodePage1252Connection)
{
    Fill();
    CHostContext* pc = Context(1);
    INATable* pi = Open(L"u", pc, HostOn(L"ZT Unicode Support=0;ZT Cache Size=5", L"zt5cp1252"));
    ASSERT_NE(pi, nullptr);
    const Rows tabServer = ServerRows("id");
    Rows tabIds;
    ASSERT_EQ(Read(pi, pc, L"id", FIRST), 1) << Error(pi, pc);
    while (!Out(pi, pc, L"id") && tabIds.size() < 50) {
        tabIds.push_back(Value(pi, pc, L"id"));
        ASSERT_EQ(Read(pi, pc, L"id", NEXT), 1) << Error(pi, pc);
    }
    EXPECT_EQ(tabIds, List("SELECT id FROM u ORDER BY id"));
    // Each read as the session has it: a character it cannot carry is '?'.
    ASSERT_EQ(Read(pi, pc, L"id", FIRST), 1) << Error(pi, pc);
    EXPECT_EQ(Value(pi, pc, L"v"), "????");
    EXPECT_EQ(Value(pi, pc, L"c"), "???");

    SetItem(pi, pc, L"id", L"20");
    SetItem(pi, pc, L"v", kGrin + kGrin + kGrin + kGrin);
    SetItem(pi, pc, L"c", L"abc");
    EXPECT_EQ(pi->bHAjoute(pc, 0, kNoLock), 0);
    EXPECT_NE(ErrorOf(pi, pc)->dwGetErrorId(), 0u);
    EXPECT_EQ(ServerRows("id"), tabServer);
    // A text the code page holds is written whole.
    SetItem(pi, pc, L"v", L"\u00e9t\u00e9!");
    SetItem(pi, pc, L"c", L"\u00e0\u00e7\u00fc");
    ASSERT_EQ(pi->bHAjoute(pc, 0, kNoLock), 1) << Error(pi, pc);
    EXPECT_EQ(First("SELECT CONCAT(HEX(v), '/', HEX(c)) FROM u WHERE id = 20"),
              HexaOf(UTF8Of(L"\u00e9t\u00e9!")) + "/" + HexaOf(UTF8Of(L"\u00e0\u00e7\u00fc")));
}

// Texts of 0 to 9 characters with one character the page holds, one it
// lacks or one beyond U+FFFF at each place among ASCII, in a table without a
// unique key (read in UTF-8 beside the row): each read on 1252 as the
// server's latin1 has it, whatever bytes share its group of four.
TEST_F(WideText, EachCharacterAtEachPlaceIsReadAsTheSessionHasIt)
{
    ASSERT_TRUE(Admin("CREATE TABLE w (id INT, t VARCHAR(9), KEY (id)) CHARACTER SET utf8mb4"));
    std::string strInsert = "INSERT INTO w VALUES (0, '')";
    int nId = 1;
    for (size_t nLength = 1; nLength <= 9; nLength++) {
        strInsert += ", (" + std::to_string(nId++) + ", '" + std::string(nLength, 'a') + "')";
        for (const std::wstring& strChar : {std::wstring(L"\u00e9"), std::wstring(L"\u03a9"), kGrin})
            for (size_t nAt = 0; nAt < nLength; nAt++)
                strInsert += ", (" + std::to_string(nId++) + ", " +
                             Literal(std::wstring(nAt, L'a') + strChar + std::wstring(nLength - nAt - 1, L'b')) + ")";
    }
    ASSERT_TRUE(Admin(strInsert));
    CHostContext* pc = Context(1);
    INATable* pi = Open(L"w", pc, HostOn(L"ZT Unicode Support=0;ZT Cache Size=5", L"zt5cp1252w"));
    ASSERT_NE(pi, nullptr);
    Rows tabRead;
    ASSERT_EQ(Read(pi, pc, L"id", FIRST), 1) << Error(pi, pc);
    while (!Out(pi, pc, L"id") && tabRead.size() < 200) {
        tabRead.push_back(Value(pi, pc, L"id") + "/" + HexaOf(Value(pi, pc, L"t")));
        ASSERT_EQ(Read(pi, pc, L"id", NEXT), 1) << Error(pi, pc);
    }
    EXPECT_EQ(tabRead.size(), 145u);
    EXPECT_EQ(tabRead,
              List("SELECT CONCAT(id, '/', HEX(CONVERT(CONVERT(t USING latin1) USING utf8mb4))) FROM w ORDER BY id"));
}

// A connection's code page and block size.
struct STMode {
    const wchar_t* pszOptions;
    const wchar_t* pszName;
    bool bUnicode;
};
void PrintTo(const STMode& st, std::ostream* pOut) { *pOut << Narrow(st.pszOptions); }

class WideTextBrowse : public WideText, public testing::WithParamInterface<STMode> {
protected:
    // The server's rows as the session carries them: in code page 1252 a
    // character it lacks is '?'.
    Rows SessionRows(const std::string& strOrder)
    {
        const auto Text = [](const char* psz) {
            return std::string("HEX(CONVERT(CONVERT(") + psz + " USING latin1) USING utf8mb4))";
        };
        if (GetParam().bUnicode)
            return ServerRows(strOrder);
        return List("SELECT CONCAT_WS('/', id, " + Text("v") + ", " + Text("c") + ") FROM u ORDER BY " + strOrder);
    }
    INATable* OpenU(CHostContext* pc, const wchar_t* pszTable = L"u")
    {
        return Open(pszTable, pc, HostOn(GetParam().pszOptions, GetParam().pszName));
    }
    void WrittenAndReadOn(bool bDelete);
};

TEST_P(WideTextBrowse, EachKeyBrowsedEveryRowOnceInTheServersOrder)
{
    Fill();
    CHostContext* pc = Context(1);
    INATable* pi = OpenU(pc);
    ASSERT_NE(pi, nullptr);
    for (const wchar_t* psz : {L"v", L"c", L"id"}) {
        SCOPED_TRACE(Narrow(psz));
        const Rows tabServer = SessionRows(Narrow(psz) + ", id");
        ASSERT_EQ(tabServer.size(), 12u);
        Sent();
        EXPECT_EQ(Browse(pi, pc, psz, true), tabServer);
        EXPECT_EQ(Browse(pi, pc, psz, false), Reversed(tabServer));
        // Over the code page every SELECT of the browse on a text, in blocks
        // or whole, reads that text in UTF-8, its bytes its exact form; the
        // key's browse and UTF-8 none. The key finds a row: no other text's.
        // The server computes no form.
        const std::string strCarried = "CONVERT(CONVERT(`" + Narrow(psz) + "` USING utf8mb4) USING binary)";
        int nSelects = 0, nCarrying = 0;
        for (const std::string& q : Sent()) {
            if (q.compare(0, 7, "SELECT ") != 0)
                continue;
            nSelects++;
            nCarrying += q.find(strCarried) != std::string::npos ? 1 : 0;
            EXPECT_EQ(q.find("HEX("), std::string::npos) << q;
            EXPECT_EQ(q.find(" USING binary)"), q.rfind(" USING binary)")) << q;
        }
        EXPECT_GT(nSelects, 0);
        EXPECT_EQ(nCarrying, !GetParam().bUnicode && std::wstring(psz) != L"id" ? nSelects : 0);
    }
}

// A modify of another item of a record read with '?' for what the session
// cannot carry leaves the server's text of its key as it was; a modify of
// the key to a text the session holds moves the record: every record once
// in the server's order after either.
TEST_P(WideTextBrowse, ModifiedAndBrowsedAgain)
{
    Fill();
    CHostContext* pc = Context(1);
    INATable* pi = OpenU(pc);
    ASSERT_NE(pi, nullptr);
    const Rows tabIds = List("SELECT id FROM u ORDER BY v, id");
    const auto Fifth = [&] {
        ASSERT_EQ(Read(pi, pc, L"v", FIRST), 1) << Error(pi, pc);
        for (int i = 0; i < 4; i++)
            ASSERT_EQ(Read(pi, pc, L"v", NEXT), 1) << Error(pi, pc);
    };
    ASSERT_NO_FATAL_FAILURE(Fifth());
    ASSERT_EQ(Value(pi, pc, L"id"), tabIds[4]);
    const std::string strVBefore = First("SELECT HEX(v) FROM u WHERE id = " + tabIds[4]);
    SetItem(pi, pc, L"c", L"xyz");
    ASSERT_EQ(pi->bHModifie(pc, 0, 0, kNoLock), 1) << Error(pi, pc);
    EXPECT_EQ(First("SELECT CONCAT(HEX(v), '/', c) FROM u WHERE id = " + tabIds[4]), strVBefore + "/xyz");
    EXPECT_EQ(Browse(pi, pc, L"v", true), SessionRows("v, id"));

    ASSERT_NO_FATAL_FAILURE(Fifth());
    SetItem(pi, pc, L"v", L"\u00e9t\u00e9");
    ASSERT_EQ(pi->bHModifie(pc, 0, 0, kNoLock), 1) << Error(pi, pc);
    EXPECT_EQ(First("SELECT HEX(v) FROM u WHERE id = " + tabIds[4]), HexaOf(UTF8Of(L"\u00e9t\u00e9")));
    for (const wchar_t* psz : {L"v", L"c"}) {
        SCOPED_TRACE(Narrow(psz));
        const Rows tabServer = SessionRows(Narrow(psz) + ", id");
        EXPECT_EQ(Browse(pi, pc, psz, true), tabServer);
        EXPECT_EQ(Browse(pi, pc, psz, false), Reversed(tabServer));
    }
}

// In a session out of strict mode the server cuts a text longer than its
// column with a warning only: the driver itself refuses one character more
// than the column's length (a pair of UTF-16 units counting one), names
// the item and sends nothing; a text at the length is written whole.
TEST_P(WideTextBrowse, ALongerTextIsRefusedInASessionThatWouldCutIt)
{
    CHostContext* pc = Context(1);
    INATable* pi = OpenU(pc);
    ASSERT_NE(pi, nullptr);
    CNAConnectionDescription* pCnx = Access(pi, pc)->pclGetConnection();
    ASSERT_NE(pCnx, nullptr);
    ASSERT_EQ(pCnx->bExecuteQueryNoResult(m_pDriver->pclGetError(), L"SET SESSION sql_mode = ''"), 1) << Report();
    // The session does cut: proof that the refusals below are the driver's.
    ASSERT_EQ(pCnx->bExecuteQueryNoResult(m_pDriver->pclGetError(), L"INSERT INTO u VALUES (99, 'abcde', 'wxyz')"),
              1)
        << Report();
    ASSERT_EQ(First("SELECT CONCAT(v, '/', c) FROM u WHERE id = 99"), "abcd/wxy");
    ASSERT_TRUE(Admin("DELETE FROM u"));

    const bool bWide = GetParam().bUnicode;
    // Texts at the length: beyond U+FFFF only where the session carries them.
    const std::wstring strV = bWide ? kGrin + L"a" + kCat + kNote : L"\u00e9t\u00e9!";
    const std::wstring strC = bWide ? kLeaf + kLeaf + kLeaf : L"\u00e0\u00e7\u00fc";
    const auto Hex = [](const std::wstring& s) { return HexaOf(UTF8Of(s.c_str())); };
    SetItem(pi, pc, L"id", L"1");
    SetItem(pi, pc, L"v", strV);
    SetItem(pi, pc, L"c", strC);
    ASSERT_EQ(pi->bHAjoute(pc, 0, kNoLock), 1) << Error(pi, pc);
    const Rows tabAdded{"1/" + Hex(strV) + "/" + Hex(strC)};
    EXPECT_EQ(ServerRows("id"), tabAdded);

    // One character more, each within the record's room for the item.
    struct STOver {
        const wchar_t* pszItem;
        std::wstring strText;
    };
    std::vector<STOver> tabOver = {{L"v", L"abcde"}, {L"c", L"\u00e9bcd"}};
    if (bWide) {
        tabOver.push_back({L"v", kGrin + L"abcd"});
        tabOver.push_back({L"c", L"ab" + kCat + kNote});
    }
    const auto ExpectRefused = [&](const STOver& st, const char* pszWrite) {
        SCOPED_TRACE(std::string(pszWrite) + " " + Narrow(st.pszItem) + " " + Hex(st.strText));
        CNAError* pError = ErrorOf(pi, pc);
        EXPECT_EQ(pError->nGetUserErrorCode(), static_cast<unsigned int>(ZTERR_VALUE_TOO_LONG)) << Error(pi, pc);
        EXPECT_EQ(Narrow(pError->pszGetItemName()), Narrow(st.pszItem));
        EXPECT_EQ(pError->dwGetDataBaseErrorCode(), 0u);
    };
    for (const STOver& st : tabOver) {
        // A new record: refused, nothing added.
        SetItem(pi, pc, L"id", L"2");
        SetItem(pi, pc, L"v", strV);
        SetItem(pi, pc, L"c", strC);
        SetItem(pi, pc, st.pszItem, st.strText);
        Sent();
        EXPECT_EQ(pi->bHAjoute(pc, 0, kNoLock), 0);
        ExpectRefused(st, "add");
        EXPECT_EQ(ServerRows("id"), tabAdded);
        // The record read again and changed: refused, the row as it was.
        ASSERT_EQ(Read(pi, pc, L"id", FIRST), 1) << Error(pi, pc);
        SetItem(pi, pc, st.pszItem, st.strText);
        EXPECT_EQ(pi->bHModifie(pc, 0, 0, kNoLock), 0);
        ExpectRefused(st, "modify");
        EXPECT_EQ(ServerRows("id"), tabAdded);
        for (const std::string& q : Sent())
            EXPECT_TRUE(q.compare(0, 7, "INSERT ") != 0 && q.compare(0, 7, "UPDATE ") != 0) << q;
    }

    // A modify at the length goes through whole, the other item kept.
    ASSERT_EQ(Read(pi, pc, L"id", FIRST), 1) << Error(pi, pc);
    const std::wstring strV2 = bWide ? kNote + kNote + kNote + kNote : L"wxyz";
    SetItem(pi, pc, L"v", strV2);
    ASSERT_EQ(pi->bHModifie(pc, 0, 0, kNoLock), 1) << Error(pi, pc);
    EXPECT_EQ(ServerRows("id"), Rows{"1/" + Hex(strV2) + "/" + Hex(strC)});
    // NULL and an empty text are no length at all.
    SetItemNull(pi, pc, L"v");
    SetItem(pi, pc, L"c", L"");
    ASSERT_EQ(pi->bHModifie(pc, 0, 0, kNoLock), 1) << Error(pi, pc);
    EXPECT_EQ(First("SELECT CONCAT(ISNULL(v), '/', HEX(c)) FROM u WHERE id = 1"), "1/");
}

// A record modified at either edge of a block, or inside one, on a key
// whose texts the session carries with '?': the browse goes on from it in
// the server's order, each way, every remaining record once, and the key's
// stored text is left as it was. On v another item is written; on c, whose
// values repeat, v is.
TEST_P(WideTextBrowse, ModifiedAtABlocksEdgeAndReadOn)
{
    Fill();
    struct STWrite {
        const wchar_t* pszKey;
        const wchar_t* pszOther;
        std::wstring strValue;
    };
    const STWrite aWrite[] = {{L"v", L"c", L"xyz"}, {L"c", L"v", L"\u00e9t\u00e9"}};
    unsigned int nContext = 1;
    for (const STWrite& w : aWrite) {
        SCOPED_TRACE(Narrow(w.pszKey));
        const std::string strKey = Narrow(w.pszKey), strOther = Narrow(w.pszOther);
        const std::string strOrder = strKey + ", id";
        const Rows tab = List("SELECT id FROM u ORDER BY " + strOrder);
        const Rows tabKeys = List("SELECT HEX(" + strKey + ") FROM u ORDER BY " + strOrder);
        ASSERT_EQ(tab.size(), 12u);
        for (const size_t nAt : {size_t{0}, size_t{2}, size_t{4}, size_t{5}, size_t{9}, size_t{10}, size_t{11}})
            for (const bool bBackward : {false, true}) {
                SCOPED_TRACE("row " + std::to_string(nAt) + (bBackward ? " backward" : " forward"));
                CHostContext* pc = Context(++nContext);
                INATable* pi = OpenU(pc);
                ASSERT_NE(pi, nullptr);
                ASSERT_EQ(Read(pi, pc, w.pszKey, FIRST), 1) << Error(pi, pc);
                for (size_t i = 0; i < nAt; i++)
                    ASSERT_EQ(Read(pi, pc, w.pszKey, NEXT), 1) << Error(pi, pc);
                ASSERT_EQ(Value(pi, pc, L"id"), tab[nAt]);
                const std::string strWas = First("SELECT HEX(" + strOther + ") FROM u WHERE id = " + tab[nAt]);
                SetItem(pi, pc, w.pszOther, w.strValue);
                ASSERT_EQ(pi->bHModifie(pc, 0, 0, kNoLock), 1) << Error(pi, pc);
                ASSERT_EQ(First("SELECT HEX(" + strOther + ") FROM u WHERE id = " + tab[nAt]),
                          HexaOf(UTF8Of(w.strValue.c_str())));
                Rows tabRead;
                for (size_t i = 0; i < 30; i++) {
                    ASSERT_EQ(Read(pi, pc, w.pszKey, bBackward ? PREVIOUS : NEXT), 1) << Error(pi, pc);
                    if (Out(pi, pc, w.pszKey))
                        break;
                    tabRead.push_back(Value(pi, pc, L"id"));
                }
                const Rows tabExpected = bBackward ? Rows(tab.rend() - static_cast<long>(nAt), tab.rend())
                                                   : Rows(tab.begin() + static_cast<long>(nAt) + 1, tab.end());
                EXPECT_EQ(tabRead, tabExpected);
                EXPECT_EQ(List("SELECT HEX(" + strKey + ") FROM u ORDER BY " + strOrder), tabKeys);
                // The table as it was for the next round.
                ASSERT_TRUE(Admin("UPDATE u SET " + strOther + " = UNHEX('" + strWas + "') WHERE id = " + tab[nAt]));
            }
    }
}

// On each key, a record at either edge of a block, or inside one, deleted
// or its key moved before every other: the browse goes on from the place
// the record had in the server's order, each way, every remaining record
// once.
void WideTextBrowse::WrittenAndReadOn(bool bDelete)
{
    unsigned int nContext = 1;
    for (const wchar_t* pszKey : {L"v", L"c"})
        for (const size_t nAt : {size_t{0}, size_t{2}, size_t{4}, size_t{5}, size_t{9}, size_t{10}, size_t{11}})
            for (const bool bBackward : {false, true}) {
                SCOPED_TRACE(Narrow(pszKey) + " row " + std::to_string(nAt) + (bBackward ? " backward" : " forward"));
                ASSERT_TRUE(Admin("DELETE FROM u"));
                ASSERT_NO_FATAL_FAILURE(Fill());
                const std::string strKey = Narrow(pszKey);
                const Rows tab = List("SELECT id FROM u ORDER BY " + strKey + ", id");
                CHostContext* pc = Context(++nContext);
                INATable* pi = OpenU(pc);
                ASSERT_NE(pi, nullptr);
                ASSERT_EQ(Read(pi, pc, pszKey, FIRST), 1) << Error(pi, pc);
                for (size_t i = 0; i < nAt; i++)
                    ASSERT_EQ(Read(pi, pc, pszKey, NEXT), 1) << Error(pi, pc);
                ASSERT_EQ(Value(pi, pc, L"id"), tab[nAt]);
                // The place the record had, in the server's terms.
                const std::string strPlace =
                    "(" + strKey + ", id) " + (bBackward ? "<" : ">") + " (CONVERT(UNHEX('" +
                    First("SELECT HEX(" + strKey + ") FROM u WHERE id = " + tab[nAt]) + "') USING utf8mb4), " +
                    tab[nAt] + ")";
                if (bDelete) {
                    ASSERT_EQ(pi->bHSupprime(pc, 0, kNoLock), 1) << Error(pi, pc);
                    ASSERT_EQ(First("SELECT COUNT(*) FROM u WHERE id = " + tab[nAt]), "0");
                } else {
                    SetItem(pi, pc, pszKey, L"0");
                    ASSERT_EQ(pi->bHModifie(pc, 0, 0, kNoLock), 1) << Error(pi, pc);
                    ASSERT_EQ(First("SELECT " + strKey + " FROM u WHERE id = " + tab[nAt]), "0");
                }
                Rows tabRead;
                for (size_t i = 0; i < 30; i++) {
                    ASSERT_EQ(Read(pi, pc, pszKey, bBackward ? PREVIOUS : NEXT), 1) << Error(pi, pc);
                    if (Out(pi, pc, pszKey))
                        break;
                    tabRead.push_back(Value(pi, pc, L"id"));
                }
                const Rows tabExpected = List("SELECT id FROM u WHERE " + strPlace + " ORDER BY " + strKey +
                                              (bBackward ? " DESC, id DESC" : ", id"));
                EXPECT_EQ(tabRead, tabExpected);
                // Backward, a key moved first comes last.
                EXPECT_EQ(tabExpected.size(), bBackward ? nAt + (bDelete ? 0 : 1) : 11 - nAt);
            }
}

TEST_P(WideTextBrowse, DeletedAndReadOn)
{
    WrittenAndReadOn(true);
}

TEST_P(WideTextBrowse, KeyMovedAndReadOn)
{
    WrittenAndReadOn(false);
}

// Without a unique key a browse has no row limit: over the code page it
// still carries the server text of its key, which it goes on from, and
// reads every record once in the server's order, each way.
TEST_P(WideTextBrowse, WithoutAUniqueKeyCarriesItsKeysServerText)
{
    Fill();
    ASSERT_TRUE(Admin("CREATE TABLE n (id INT NOT NULL, v VARCHAR(4) NULL, c CHAR(3) NULL, KEY (v)) "
                      "ENGINE=InnoDB CHARACTER SET utf8mb4 COLLATE utf8mb4_bin"));
    ASSERT_TRUE(Admin("INSERT INTO n SELECT * FROM u"));
    // Nothing in the table orders records of the same v: they differ in v.
    ASSERT_EQ(First("SELECT COUNT(DISTINCT v) FROM n"), "12");
    CHostContext* pc = Context(1);
    INATable* pi = OpenU(pc, L"n");
    ASSERT_NE(pi, nullptr);
    const Rows tabServer = SessionRows("v, id");
    ASSERT_EQ(tabServer.size(), 12u);
    Sent();
    EXPECT_EQ(Browse(pi, pc, L"v", true), tabServer);
    EXPECT_EQ(Browse(pi, pc, L"v", false), Reversed(tabServer));
    int nSelects = 0, nCarrying = 0;
    for (const std::string& q : Sent()) {
        if (q.compare(0, 7, "SELECT ") != 0)
            continue;
        nSelects++;
        nCarrying += q.find("CONVERT(CONVERT(`v` USING utf8mb4) USING binary),CONVERT(CONVERT(`c` USING utf8mb4) USING binary)") !=
                             std::string::npos
                         ? 1
                         : 0;
        EXPECT_EQ(q.find("HEX("), std::string::npos) << q;
        EXPECT_NE(q.find("FROM `n` ORDER BY `v`"), std::string::npos) << q;
    }
    EXPECT_GT(nSelects, 0);
    EXPECT_EQ(nCarrying, GetParam().bUnicode ? 0 : nSelects);
}

INSTANTIATE_TEST_SUITE_P(Modes, WideTextBrowse,
                         testing::Values(STMode{L"ZT Cache Size=5", L"zt5wu5", true},
                                         STMode{L"ZT Cache Size=0", L"zt5wu0", true},
                                         STMode{L"ZT Unicode Support=0;ZT Cache Size=5", L"zt5w85", false},
                                         STMode{L"ZT Unicode Support=0;ZT Cache Size=0", L"zt5w80", false}),
                         [](const testing::TestParamInfo<STMode>& info) {
                             return std::string(info.param.bUnicode ? "Unicode" : "CodePage1252") +
                                    (std::wstring(info.param.pszOptions).find(L"=5") != std::wstring::npos
                                         ? "BlocksOfFive"
                                         : "Whole");
                         });

} // namespace
