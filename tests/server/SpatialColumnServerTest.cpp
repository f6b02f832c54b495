// Spatial columns on the private server, through the table object and the
// SQL interface as the host calls them, in both code pages: every spatial
// type reads as the server's bytes (a value that is no text of the
// connection's code page included), both ways on a key, by a search and
// from a query's whole-table cache; a record holding one is modified,
// added and deleted with its value written back as bytes, where a key
// finds it and where only its values do. Judged by the server's own HEX
// and ST_AsText. A value that is no text, handed to a text item, fails its
// read with the conversion's error, a memo's as another's.
#include "tests/support/TableObjectServer.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <functional>
#include <string>
#include <vector>

namespace {

using namespace tableobject;

constexpr unsigned int kCache = CNADataAccess::WPF_TABLE_CACHE;

// Each spatial type: its column, a value and another.
struct STSpatial {
    const char* pszColumn;
    const char* pszType;
    const char* pszFirst;
    const char* pszSecond;
};
const STSpatial kSpatial[] = {
    // 1.0 is 00..F03F: no UTF-8 text; 3.0 and 4.0 are control bytes.
    {"p", "POINT", "POINT(1, 2)", "POINT(3, 4)"},
    {"gm", "GEOMETRY", "ST_GeomFromText('LINESTRING(0 0, 1 1)', 4326)", "POINT(-1.5, 1e300)"},
    {"ls", "LINESTRING", "LINESTRING(POINT(0, 0), POINT(1, 1), POINT(2, 0))",
     "ST_GeomFromText('LINESTRING(9 9, 8 8)')"},
    {"pg", "POLYGON", "ST_GeomFromText('POLYGON((0 0, 4 0, 4 4, 0 0))')",
     "ST_GeomFromText('POLYGON((0 0, 9 0, 9 9, 0 0), (1 1, 2 1, 2 2, 1 1))')"},
    {"mp", "MULTIPOINT", "ST_GeomFromText('MULTIPOINT(1 1, 2 2)')", "ST_GeomFromText('MULTIPOINT(-1 -1)')"},
    {"ml", "MULTILINESTRING", "ST_GeomFromText('MULTILINESTRING((0 0, 1 1), (2 2, 3 3))')",
     "ST_GeomFromText('MULTILINESTRING((5 5, 6 6))')"},
    {"my", "MULTIPOLYGON", "ST_GeomFromText('MULTIPOLYGON(((0 0, 1 0, 1 1, 0 0)))')",
     "ST_GeomFromText('MULTIPOLYGON(((0 0, 1 0, 1 1, 0 0)), ((5 5, 6 5, 6 6, 5 5)))')"},
    {"gc", "GEOMETRYCOLLECTION", "ST_GeomFromText('GEOMETRYCOLLECTION(POINT(1 2), LINESTRING(0 0, 1 1))')",
     "ST_GeomFromText('GEOMETRYCOLLECTION EMPTY')"},
};

std::vector<std::string> SpatialTables()
{
    std::string strCreate = "CREATE TABLE g (id INT PRIMARY KEY";
    std::string strFirst, strSecond, strNulls;
    for (const STSpatial& st : kSpatial) {
        strCreate += std::string(", ") + st.pszColumn + " " + st.pszType + " NULL";
        strFirst += std::string(", ") + st.pszFirst;
        strSecond += std::string(", ") + st.pszSecond;
        strNulls += ", NULL";
    }
    return {strCreate + ", b LONGBLOB NULL, n VARCHAR(10)) CHARACTER SET utf8mb4",
            "INSERT INTO g VALUES (1" + strFirst + ", NULL, 'one'), (2" + strSecond + ", NULL, 'two'), (3" + strNulls +
                ", NULL, NULL), (4" + strFirst + ", NULL, 'four')",
            "UPDATE g SET b = gm",
            "CREATE TABLE w (id INT PRIMARY KEY, p POINT NULL, gc GEOMETRYCOLLECTION NULL, n VARCHAR(10))",
            // No key: a record is found by its values.
            "CREATE TABLE k (p POINT NULL, n VARCHAR(10))"};
}

class SpatialColumn : public TableObjectServer {
protected:
    SpatialColumn() : TableObjectServer("ztgeo", SpatialTables()) {}

    CHostConnectionDescription* HostOfPage(bool bUTF8)
    {
        return bUTF8 ? m_pHost : HostOn(L"ZT Unicode Support=0", L"ztgeo1252");
    }
    // The memo's number among the table's memos.
    static unsigned int Memo(INATable* pi, const wchar_t* pszItem)
    {
        INADataSourceDescription* piDescription = pi->piGetDataSourceDescription();
        unsigned int nFound = 99;
        for (unsigned int i = 0; piDescription != nullptr && i < piDescription->nGetNumMemos(); ++i) {
            INAItemDescription* piMemo = piDescription->piNAGetMemo(i);
            if (piMemo != nullptr && std::wcscmp(piMemo->pszGetName(), pszItem) == 0)
                nFound = i;
            if (piMemo != nullptr)
                piMemo->nExternalRelease();
        }
        if (piDescription != nullptr)
            piDescription->nExternalRelease();
        return nFound;
    }
    // The memo's value as the host reads it: its bytes in hexadecimal,
    // NULL, or a text marked as such.
    static std::string MemoBytes(INATable* pi, CHostContext* pc, const wchar_t* pszItem)
    {
        CAny v;
        if (pi->bGetBLOB(pc, Memo(pi, pszItem), &v) != 1)
            return "(unread: " + Error(pi, pc) + ")";
        if (v.bIsNull())
            return "NULL";
        if (v.nGetTypeCode() != TQTYPE_BIN)
            return "text " + ValueText(v);
        const Bytes by = DataBytes(v);
        return HexaOf(std::string(by.begin(), by.end()));
    }
    // The current record: id, each spatial value, the blob, the text.
    static std::string Seen(INATable* pi, CHostContext* pc)
    {
        std::string str = Value(pi, pc, L"id");
        for (const STSpatial& st : kSpatial)
            str += "|" + MemoBytes(pi, pc, Wide(st.pszColumn).c_str());
        return str + "|" + MemoBytes(pi, pc, L"b") + "|" + Value(pi, pc, L"n");
    }
    // The server's rows of g in Seen's form.
    Rows Server(const std::string& strRest)
    {
        std::string str = "SELECT CONCAT_WS('|', id";
        for (const STSpatial& st : kSpatial)
            str += std::string(", IFNULL(HEX(") + st.pszColumn + "), 'NULL')";
        return List(str + ", IFNULL(HEX(b), 'NULL'), IFNULL(n, 'NULL')) FROM g " + strRest);
    }
    // The server's bytes of a spatial expression, as a host binary value.
    std::string ServerBytes(const std::string& strExpression)
    {
        const std::string strHexa = First("SELECT HEX(" + strExpression + ")");
        std::string str;
        for (size_t i = 0; i + 1 < strHexa.size(); i += 2)
            str += static_cast<char>(std::stoi(strHexa.substr(i, 2), nullptr, 16));
        return str;
    }
    static void SetMemo(INATable* pi, CHostContext* pc, const wchar_t* pszItem, const CAny& v)
    {
        ASSERT_EQ(pi->bSetBLOB(pc, Memo(pi, pszItem), &v), 1) << Error(pi, pc);
    }
    static void SetMemoNull(INATable* pi, CHostContext* pc, const wchar_t* pszItem)
    {
        CAny v;
        v.__SetType(TQTYPE_BIN, 0);
        v.SetNullFlag(true);
        SetMemo(pi, pc, pszItem, v);
    }
    // The record of k holding the text and the point's bytes (hexadecimal
    // or NULL), reached by a search on the text; false when none is.
    static bool GoTo(INATable* pi, CHostContext* pc, const std::wstring& strText, const std::string& strPoint)
    {
        const CHostText vText(strText);
        EXPECT_EQ(pi->bHRecherche(pc, L"n", &vText, 1, 1, kNoLock, nullptr, 1, 0), 1) << Error(pi, pc);
        for (int i = 0; i < 10 && Found(pi, pc, L"n") == 1; ++i) {
            if (MemoBytes(pi, pc, L"p") == strPoint)
                return true;
            EXPECT_EQ(Read(pi, pc, L"n", NEXT), 1) << Error(pi, pc);
        }
        return false;
    }
    // Every record from one end on the item.
    Rows Browse(INATable* pi, CHostContext* pc, const wchar_t* pszItem, unsigned int nFlags, bool bBackward)
    {
        return Every(pi, pc, pszItem, nFlags, bBackward, [&](int bRead) {
            return bRead == 1 ? Seen(pi, pc) : "(refused: " + Error(pi, pc) + ")";
        });
    }
};

// The catalogue describes every spatial column as a binary memo, as the
// result of a query does; the browses both ways, a search on the key and a
// query's whole-table cache read the server's bytes, in both code pages.
TEST_F(SpatialColumn, EverySpatialTypeReadsAsTheServersBytes)
{
    for (const bool bUTF8 : {true, false}) {
        SCOPED_TRACE(bUTF8 ? "UTF-8" : "1252");
        CHostContext* pc = Context(bUTF8 ? 1 : 2);
        INATable* pi = Open(L"g", pc, HostOfPage(bUTF8));
        ASSERT_NE(pi, nullptr);
        for (const STSpatial& st : kSpatial) {
            INAItemDescription* piItem = Description(pi)->piNAGetItem(Wide(st.pszColumn).c_str());
            ASSERT_NE(piItem, nullptr) << st.pszColumn;
            EXPECT_EQ(piItem->eNAGetItemType(), NA_IT_MEMOBINAIRE) << st.pszColumn;
            piItem->nExternalRelease();
        }
        EXPECT_EQ(Browse(pi, pc, L"id", 0, false), Server("ORDER BY id"));
        EXPECT_EQ(Browse(pi, pc, L"id", 0, true), Server("ORDER BY id DESC"));
        const CInt vKey(2);
        ASSERT_EQ(pi->bHRecherche(pc, L"id", &vKey, 1, 1, kNoLock, nullptr, 1, 0), 1) << Error(pi, pc);
        EXPECT_EQ(Found(pi, pc, L"id"), 1);
        EXPECT_EQ(Seen(pi, pc), Server("WHERE id = 2").at(0));

        CHostContext* pcQuery = Context(bUTF8 ? 3 : 4);
        INATable* piQuery = RunOn(HostOfPage(bUTF8), pcQuery, L"SELECT * FROM g", {L"g"});
        ASSERT_NE(piQuery, nullptr);
        // Read to its end, the query's rows fill its cache.
        EXPECT_EQ(Browse(piQuery, pcQuery, L"id", CNADataAccess::WPF_CONTINUE, false), Server("ORDER BY id"));
        ASSERT_TRUE(Access(piQuery, pcQuery)->bHasTableCache());
        EXPECT_EQ(Browse(piQuery, pcQuery, L"id", kCache, false), Server("ORDER BY id"));
        EXPECT_EQ(Browse(piQuery, pcQuery, L"id", kCache, true), Server("ORDER BY id DESC"));
    }
}

// The SQL interface describes a spatial column as a binary memo named by
// its field type and gives its bytes, as it does a blob's.
TEST_F(SpatialColumn, TheSQLInterfaceGivesTheBytesAsABlobs)
{
    for (const bool bUTF8 : {true, false}) {
        SCOPED_TRACE(bUTF8 ? "UTF-8" : "1252");
        const int nCnx = DriverServerTestOf<CPositionDriver>::Open(HostOfPage(bUTF8));
        int nStmt = -1;
        ASSERT_EQ(m_piSQL->bExecute(&nStmt, nCnx, L"SELECT gm, b, gc FROM g ORDER BY id", nullptr, 0), 1) << Report();
        INADataSourceDescription* piDescription = m_piSQL->piGetTableDesc(nCnx, nStmt, 0);
        ASSERT_NE(piDescription, nullptr) << Report();
        for (unsigned int n : {0u, 2u}) {
            INAItemDescription* piItem = piDescription->piNAGetItem(n);
            ASSERT_NE(piItem, nullptr);
            EXPECT_EQ(piItem->eNAGetItemType(), NA_IT_MEMOBINAIRE);
            EXPECT_EQ(Narrow(piItem->pszGetDBType()), "MYSQL_TYPE_GEOMETRY");
            piItem->nExternalRelease();
        }
        piDescription->nExternalRelease();
        Rows tab;
        while (m_piSQL->bFetch(nCnx, nStmt, 0) == 1 && tab.size() < 50) {
            std::string s;
            CAny v, vBlob;
            for (unsigned int nColumn : {1u, 3u}) {
                ASSERT_EQ(m_piSQL->bGetBLOBValue(&v, nCnx, nStmt, nColumn, 0), 1) << Report();
                const Bytes by = DataBytes(v);
                s += (v.bIsNull() ? std::string("NULL") : HexaOf(std::string(by.begin(), by.end()))) + "|";
            }
            // Read as a text, the geometry gives what the blob of its bytes
            // gives (its SRID, 4326, first).
            ASSERT_EQ(m_piSQL->bGetValue(&v, nCnx, nStmt, 1, 0), 1) << Report();
            ASSERT_EQ(m_piSQL->bGetValue(&vBlob, nCnx, nStmt, 2, 0), 1) << Report();
            EXPECT_EQ(ValueText(v), ValueText(vBlob));
            tab.push_back(s);
        }
        EXPECT_EQ(Code(), 0u) << Report();
        EXPECT_EQ(tab, List("SELECT CONCAT(IFNULL(HEX(gm), 'NULL'), '|', IFNULL(HEX(gc), 'NULL'), '|') FROM g "
                            "ORDER BY id"));
        EXPECT_EQ(m_piSQL->bFreeStmt(nCnx, nStmt, 0), 1);
    }
}

// A record holding spatial values is modified (its text alone, a value
// changed, one made NULL), added and deleted through the table object: the
// server holds the geometries the host wrote, where the key finds the
// record and where only its values do, in both code pages.
TEST_F(SpatialColumn, ARecordHoldingSpatialValuesIsWrittenBackAsItsBytes)
{
    const std::string strCollection = "ST_GeomFromText('GEOMETRYCOLLECTION(POINT(1 2), LINESTRING(0 0, 1 1))')";
    const CHostBytes vOneTwo(ServerBytes("POINT(1, 2)")), vSevenEight(ServerBytes("POINT(7, 8)")),
        vFiveSix(ServerBytes("POINT(5, 6)")), vCollection(ServerBytes(strCollection));
    const std::string strThreeFour = HexaOf(ServerBytes("POINT(3, 4)"));
    const std::string strRows = "SELECT CONCAT_WS('|', id, IFNULL(ST_AsText(p), 'NULL'), IFNULL(ST_AsText(gc), "
                                "'NULL'), IFNULL(n, 'NULL')) FROM w ORDER BY id";
    const std::string strKeyless = "SELECT CONCAT_WS('|', IFNULL(ST_AsText(p), 'NULL'), n) FROM k ORDER BY 1";
    const std::string strGC = "GEOMETRYCOLLECTION(POINT(1 2),LINESTRING(0 0,1 1))";
    for (const bool bUTF8 : {true, false}) {
        SCOPED_TRACE(bUTF8 ? "UTF-8" : "1252");
        ASSERT_TRUE(Admin("DELETE FROM w"));
        ASSERT_TRUE(Admin("INSERT INTO w VALUES (1, POINT(1, 2), " + strCollection +
                          ", 'a'), (2, POINT(3, 4), NULL, 'b'), (3, NULL, ST_GeomFromText('GEOMETRYCOLLECTION EMPTY'), "
                          "'c')"));
        CHostContext* pc = Context(bUTF8 ? 1 : 2);
        INATable* pi = Open(L"w", pc, HostOfPage(bUTF8));
        ASSERT_NE(pi, nullptr);
        struct STStep {
            const char* pszStep;
            int nId;
            std::function<void()> fnSet;
            int (*pfnWrite)(INATable*, CHostContext*);
            Rows tabAfter;
        };
        const auto Modify = [](INATable* piTable, CHostContext* pcTable) {
            return piTable->bHModifie(pcTable, 0, 0, kNoLock);
        };
        const auto Add = [](INATable* piTable, CHostContext* pcTable) {
            return piTable->bHAjoute(pcTable, 0, kNoLock);
        };
        const auto Delete = [](INATable* piTable, CHostContext* pcTable) {
            return piTable->bHSupprime(pcTable, 0, kNoLock);
        };
        const STStep tabStep[] = {
            {"the text beside", 1, [&] { SetItem(pi, pc, L"n", L"\u00e9t\u00e9"); }, Modify,
             {"1|POINT(1 2)|" + strGC + "|\xC3\xA9t\xC3\xA9", "2|POINT(3 4)|NULL|b",
              "3|NULL|GEOMETRYCOLLECTION EMPTY|c"}},
            {"both values", 2,
             [&] {
                 SetMemo(pi, pc, L"p", vSevenEight);
                 SetMemo(pi, pc, L"gc", vCollection);
             },
             Modify,
             {"1|POINT(1 2)|" + strGC + "|\xC3\xA9t\xC3\xA9", "2|POINT(7 8)|" + strGC + "|b",
              "3|NULL|GEOMETRYCOLLECTION EMPTY|c"}},
            {"a value made NULL", 1, [&] { SetMemoNull(pi, pc, L"p"); }, Modify,
             {"1|NULL|" + strGC + "|\xC3\xA9t\xC3\xA9", "2|POINT(7 8)|" + strGC + "|b",
              "3|NULL|GEOMETRYCOLLECTION EMPTY|c"}},
            {"an added record", 3,
             [&] {
                 SetItem(pi, pc, L"id", CInt(4));
                 SetItem(pi, pc, L"n", L"d");
                 SetMemo(pi, pc, L"p", vOneTwo);
                 SetMemoNull(pi, pc, L"gc");
             },
             Add,
             {"1|NULL|" + strGC + "|\xC3\xA9t\xC3\xA9", "2|POINT(7 8)|" + strGC + "|b",
              "3|NULL|GEOMETRYCOLLECTION EMPTY|c", "4|POINT(1 2)|NULL|d"}},
            {"a deleted record", 2, [] {}, Delete,
             {"1|NULL|" + strGC + "|\xC3\xA9t\xC3\xA9", "3|NULL|GEOMETRYCOLLECTION EMPTY|c", "4|POINT(1 2)|NULL|d"}},
        };
        for (const STStep& st : tabStep) {
            SCOPED_TRACE(st.pszStep);
            const CInt vKey(st.nId);
            ASSERT_EQ(pi->bHRecherche(pc, L"id", &vKey, 1, 1, kNoLock, nullptr, 1, 0), 1) << Error(pi, pc);
            ASSERT_EQ(Found(pi, pc, L"id"), 1);
            st.fnSet();
            EXPECT_EQ(st.pfnWrite(pi, pc), 1) << Error(pi, pc);
            EXPECT_EQ(List(strRows), st.tabAfter);
        }

        // Without a key: the record is found by its values (a memo's are
        // not among them, the point's no more than a blob's).
        ASSERT_TRUE(Admin("DELETE FROM k"));
        ASSERT_TRUE(
            Admin("INSERT INTO k VALUES (POINT(1, 2), 'a'), (POINT(3, 4), 'b'), (NULL, 'c'), (POINT(3, 4), 'd')"));
        CHostContext* pcKeyless = Context(bUTF8 ? 3 : 4);
        INATable* piKeyless = Open(L"k", pcKeyless, HostOfPage(bUTF8));
        ASSERT_NE(piKeyless, nullptr);
        ASSERT_TRUE(GoTo(piKeyless, pcKeyless, L"b", strThreeFour));
        SetItem(piKeyless, pcKeyless, L"n", L"z");
        ASSERT_EQ(piKeyless->bHModifie(pcKeyless, 0, 0, kNoLock), 1) << Error(piKeyless, pcKeyless);
        EXPECT_EQ(List(strKeyless), Rows({"NULL|c", "POINT(1 2)|a", "POINT(3 4)|d", "POINT(3 4)|z"}));
        ASSERT_TRUE(GoTo(piKeyless, pcKeyless, L"a", HexaOf(ServerBytes("POINT(1, 2)"))));
        SetMemo(piKeyless, pcKeyless, L"p", vFiveSix);
        ASSERT_EQ(piKeyless->bHModifie(pcKeyless, 0, 0, kNoLock), 1) << Error(piKeyless, pcKeyless);
        EXPECT_EQ(List(strKeyless), Rows({"NULL|c", "POINT(3 4)|d", "POINT(3 4)|z", "POINT(5 6)|a"}));
        ASSERT_TRUE(GoTo(piKeyless, pcKeyless, L"d", strThreeFour));
        ASSERT_EQ(piKeyless->bHSupprime(pcKeyless, 0, kNoLock), 1) << Error(piKeyless, pcKeyless);
        EXPECT_EQ(List(strKeyless), Rows({"NULL|c", "POINT(3 4)|z", "POINT(5 6)|a"}));
    }
}

// A value its item cannot take as text fails the read that lands on it
// with the conversion's error naming the item and the bytes, not with the
// record count, a memo's as another's; the browses both ways, a search,
// the continued query and its whole-table cache read the rows around it.
// The session hands the server's bytes over unconverted, as a session whose
// results are in another character set would; in UTF-8 (every byte is a
// character of 1252).
TEST_F(SpatialColumn, AValueThatIsNoTextFailsItsReadNamingItsItem)
{
    ASSERT_TRUE(Admin("CREATE TABLE l (id INT PRIMARY KEY, t VARCHAR(10) CHARACTER SET latin1, "
                      "m TEXT CHARACTER SET latin1)"));
    ASSERT_TRUE(Admin("INSERT INTO l VALUES (1, CONCAT('caf', CHAR(0xE9)), 'y'), (2, 'x', CONCAT('caf', CHAR(0xE9))), "
                      "(3, 'z', 'w')"));
    CHostContext* pcTable = Context(1);
    INATable* piTable = Open(L"l", pcTable);
    ASSERT_NE(piTable, nullptr);
    CHostContext* pcQuery = Context(2);
    INATable* piQuery = RunOn(m_pHost, pcQuery, L"SELECT * FROM l", {L"l"});
    ASSERT_NE(piQuery, nullptr);
    ASSERT_EQ(Access(piTable, pcTable)->pclGetConnection()->bExecuteQueryNoResult(
                  ErrorOf(piTable, pcTable), L"SET character_set_results = NULL"),
              1)
        << Error(piTable, pcTable);
    // A read: the record, then what refused it.
    const auto Seen = [](INATable* pi, CHostContext* pc, int bRead) {
        const std::string str = Value(pi, pc, L"id") + "|" + Value(pi, pc, L"t") + "|" + Value(pi, pc, L"m");
        if (bRead == 1)
            return str;
        CNAError* pError = ErrorOf(pi, pc);
        const std::string strMessage = UTF8Of(pError->pclGetXError()->pszGetUserMessage());
        EXPECT_NE(strMessage.find("(value: X'636166E9' in code page 65001)"), std::string::npos) << strMessage;
        return str + " refused " + std::to_string(pError->nGetUserErrorCode()) + " " +
               Narrow(pError->pszGetItemName());
    };
    const Rows tabForward = {"1|NULL|y refused 53 t", "2|x|NULL refused 53 m", "3|z|w"};
    const Rows tabBackward(tabForward.rbegin(), tabForward.rend());
    const struct {
        const char* pszRoad;
        INATable* pi;
        CHostContext* pc;
        unsigned int nFlags;
    } tabRoad[] = {
        {"table", piTable, pcTable, 0},
        {"query continued", piQuery, pcQuery, CNADataAccess::WPF_CONTINUE},
        {"whole-table cache", piQuery, pcQuery, kCache},
    };
    for (const auto& st : tabRoad) {
        SCOPED_TRACE(st.pszRoad);
        for (const bool bBackward : {false, true})
            EXPECT_EQ(Every(st.pi, st.pc, L"id", st.nFlags, bBackward,
                            [&](int bRead) { return Seen(st.pi, st.pc, bRead); }),
                      bBackward ? tabBackward : tabForward);
        // Read to its end, the query's rows fill its cache.
        EXPECT_EQ(Access(st.pi, st.pc)->bHasTableCache(), st.nFlags != 0);
    }
    for (const auto& st : {tabRoad[0], tabRoad[2]}) {
        SCOPED_TRACE(st.pszRoad);
        const CInt vKey(2);
        EXPECT_EQ(Seen(st.pi, st.pc, st.pi->bHRecherche(st.pc, L"id", &vKey, 1, 1, kNoLock, nullptr, 1, 0)),
                  tabForward[1]);
        EXPECT_EQ(Found(st.pi, st.pc, L"id"), 1);
    }
}

// A computed item takes the type of the value the server sends: spatial
// values, blobs and strings of bytes read as bytes, a long text as a text
// memo, numbers and short texts as before; on the browses both ways, a
// search and the whole-table cache, in both code pages. Judged by the
// server's HEX of each value (its text for the others).
TEST_F(SpatialColumn, AComputedItemReadsWhatTheServerSends)
{
    // Each item, and the server's view of its value as Seen gives it. The
    // first column, empty, has no length: a memo by the result's map.
    const char* const tabItem[][2] = {
        {"BINARY('')", "HEX(BINARY(''))"},
        {"POINT(id, 2)", "HEX(POINT(id, 2))"},
        {"IFNULL(b, gm)", "HEX(IFNULL(b, gm))"},
        {"CONCAT(UNHEX('8100'), id)", "HEX(CONCAT(UNHEX('8100'), id))"},
        {"BINARY(n)", "HEX(BINARY(n))"},
        {"CONCAT(n, REPEAT('x', 70000))", "CONCAT('text ', n, REPEAT('x', 70000))"},
        {"ST_X(p)", "ST_X(p)"},
        {"CONCAT(n, 'x')", "CONCAT(n, 'x')"},
    };
    const size_t nItems = sizeof(tabItem) / sizeof(tabItem[0]);
    std::wstring strQuery = L"SELECT";
    std::string strServer = "SELECT CONCAT_WS('|', id";
    for (size_t i = 0; i < nItems; i++) {
        strQuery += L" " + Wide(tabItem[i][0]) + L" AS c" + std::to_wstring(i) + L",";
        strServer += std::string(", IFNULL(") + tabItem[i][1] + ", 'NULL')";
    }
    // A memo by its number, another from the record: bytes in hexadecimal.
    const auto Seen = [&](INATable* pi, CHostContext* pc) {
        std::string str = Value(pi, pc, L"id");
        for (size_t i = 0; i < nItems; i++) {
            const std::wstring strItem = L"c" + std::to_wstring(i);
            CAny v;
            Access(pi, pc)->pclGetCurrentRecordNoRef()->pclGetColumnNoRef(strItem.c_str())->bGetCurrentValue(&v, 0);
            const Bytes by = DataBytes(v);
            str += "|" + (Memo(pi, strItem.c_str()) != 99                  ? MemoBytes(pi, pc, strItem.c_str())
                          : !v.bIsNull() && v.nGetTypeCode() == TQTYPE_BIN ? HexaOf(std::string(by.begin(), by.end()))
                                                                           : ValueText(v));
        }
        return str;
    };
    for (const bool bUTF8 : {true, false}) {
        SCOPED_TRACE(bUTF8 ? "UTF-8" : "1252");
        CHostContext* pc = Context(bUTF8 ? 5 : 6);
        INATable* pi = QueryIn(bUTF8, false, strQuery + L" id FROM g", pc, {L"g"});
        ASSERT_NE(pi, nullptr);
        for (const unsigned int nFlags : {static_cast<unsigned int>(CNADataAccess::WPF_CONTINUE), kCache})
            for (const bool bBackward : {false, true})
                EXPECT_EQ(Every(pi, pc, L"id", nFlags, bBackward, [&](int) { return Seen(pi, pc); }),
                          List(strServer + ") FROM g ORDER BY id" + (bBackward ? " DESC" : "")));
        const CInt vKey(2);
        ASSERT_EQ(pi->bHRecherche(pc, L"id", &vKey, 1, 1, kNoLock, nullptr, 1, 0), 1) << Error(pi, pc);
        EXPECT_EQ(Seen(pi, pc), List(strServer + ") FROM g WHERE id = 2").at(0));
    }
}

} // namespace
