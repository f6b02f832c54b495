// Saved positions, searches, filters and the change of browse item on the
// private server, through the table object of the MySQL driver as the host
// calls it. Expected rows come from the server's own ORDER BY and WHERE.
#include "access/statement/NAStatement.h"
#include "access/table/NAUserSearch.h"
#include "common/platform/MyModuleInfo.h"
#include "host/HostQueryParametersValue.h"
#include "host/parse/HostSQLParse.h"
#include "tests/support/TableObjectServer.h"

#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace tableobject;

// The host's equality that fails (its answer would say "equal").
int nEqualityFails(const void*, unsigned short, const void*, unsigned short, int* pnResult, unsigned int, int)
{
    *pnResult = 1;
    return TQSTATUS_NO_MEMORY;
}

class PositionSearch : public TableObjectServer {
protected:
    PositionSearch()
        : TableObjectServer(
              "zt41pos", {"CREATE TABLE t (id INT PRIMARY KEY, name VARCHAR(20) NOT NULL, KEY(name))",
                          "INSERT INTO t VALUES (7, 'ABC'), (3, 'B'), (5, 'AA'), (9, 'AZ'), (1, 'C'), (4, 'BA'),"
                          " (8, 'CA'), (2, 'D'), (6, 'DA'), (10, 'E')",
                          "CREATE TABLE same (v INT NOT NULL, KEY(v))",
                          "INSERT INTO same VALUES (1), (1), (1), (1), (1)", "CREATE TABLE three (id INT PRIMARY KEY)",
                          "INSERT INTO three VALUES (1), (2), (3)", "CREATE TABLE empty (id INT PRIMARY KEY)",
                          "CREATE TABLE u (code INT NULL, other INT NOT NULL, UNIQUE KEY(code), KEY(other))",
                          "INSERT INTO u VALUES (5, 1), (NULL, 2), (NULL, 3), (6, 4)",
                          "CREATE TABLE v (id INT PRIMARY KEY, d DATE NOT NULL, amount DECIMAL(10,2) NOT NULL, "
                          "label VARCHAR(20) NOT NULL, KEY(d), KEY(amount), KEY(label)) CHARACTER SET utf8mb4",
                          "INSERT INTO v VALUES (1, '2023-03-15', 12.50, _utf8mb4 X'C3A974C3A9'), "
                          "(2, '2022-12-31', 3.25, _utf8mb4 X'C39C626572'), (3, '2024-02-29', 100.00, 'abc'), "
                          "(4, '2023-01-01', 7.75, _utf8mb4 X'C3A96C616E')"})
    {
    }

    // A host parse lives until the tables are closed (the driver keeps its
    // digest of it).
    CHostQueryParametersValue m_clValues;
    std::unique_ptr<CHostSQLParse> m_pParse;
};

// ---- Searches -----------------------------------------------------------------------------------------------------------

TEST_F(PositionSearch, GenericAndExactSearchesFromEitherEnd)
{
    CHostContext* pContext = Context(1);
    INATable* pi = Open(L"t", pContext);
    ASSERT_NE(pi, nullptr);
    struct SCase {
        const wchar_t* pszValue;
        int bExact;
        int bFirst;
        const char* pszExpected; // the server's first row, "(no row)" when none
    };
    const SCase aCase[] = {
        {L"AB", 0, 1, "SELECT name FROM t WHERE name LIKE 'AB%' ORDER BY name LIMIT 1"},
        {L"A", 0, 0, "SELECT name FROM t WHERE name LIKE 'A%' ORDER BY name DESC LIMIT 1"},
        {L"A", 0, 1, "SELECT name FROM t WHERE name LIKE 'A%' ORDER BY name LIMIT 1"},
        {L"BA", 1, 1, "SELECT name FROM t WHERE name = 'BA' ORDER BY name LIMIT 1"},
    };
    for (const SCase& c : aCase) {
        SCOPED_TRACE(Narrow(c.pszValue));
        const CHostText v(c.pszValue);
        ASSERT_EQ(pi->bHRecherche(pContext, L"name", &v, c.bExact, 0, kNoLock, nullptr, c.bFirst, 0), 1)
            << Error(pi, pContext);
        EXPECT_EQ(Found(pi, pContext, L"name"), 1);
        EXPECT_EQ(Value(pi, pContext, L"name"), First(c.pszExpected));
    }
    // "AB" exactly is not there.
    ASSERT_EQ(First("SELECT COUNT(*) FROM t WHERE name = 'AB'"), "0");
    const CHostText v(L"AB");
    ASSERT_EQ(pi->bHRecherche(pContext, L"name", &v, 1, 0, kNoLock, nullptr, 1, 0), 1) << Error(pi, pContext);
    EXPECT_EQ(Found(pi, pContext, L"name"), 0);
}

TEST_F(PositionSearch, ExactOnTheKeyAndBrowsingAnotherItem)
{
    CHostContext* pContext = Context(1);
    INATable* pi = Open(L"t", pContext);
    ASSERT_NE(pi, nullptr);
    const CInt v(4);
    ASSERT_EQ(pi->bHRecherche(pContext, L"id", &v, 1, 0, kNoLock, nullptr, 1, 0), 1) << Error(pi, pContext);
    EXPECT_EQ(Value(pi, pContext, L"name"), First("SELECT name FROM t WHERE id = 4"));
    // Searching on id while browsing on name: the statement is name's.
    CNADataAccess* p = Access(pi, pContext);
    ASSERT_EQ(p->bHRecherche(L"name", L"id", &v, 1, 0, kNoLock, nullptr, 1, 0), 1) << Error(pi, pContext);
    EXPECT_EQ(Value(pi, pContext, L"id"), "4");
    EXPECT_EQ(Found(pi, pContext, L"name"), 1);
}

TEST_F(PositionSearch, CancellingAndUnknownItems)
{
    CHostContext* pContext = Context(1);
    INATable* pi = Open(L"t", pContext);
    ASSERT_NE(pi, nullptr);
    CNADataAccess* p = Access(pi, pContext);
    const unsigned int nStatements = p->nGetStatementCount();
    // Nothing browsed: nothing to cancel, no statement made.
    EXPECT_EQ(pi->bHAnnuleRecherche(pContext, nullptr), 1);
    EXPECT_EQ(pi->bHAnnuleRecherche(pContext, L"name"), 1);
    EXPECT_EQ(p->nGetStatementCount(), nStatements);

    const CInt v(1);
    EXPECT_EQ(pi->bHRecherche(pContext, L"nosuch", &v, 1, 0, kNoLock, nullptr, 1, 0), 0);
    ExpectError(pi, pContext, ZTERR_NO_SUCH_ITEM, L"=3.23\r\n", "nosuch");
    EXPECT_NE(Error(pi, pContext).find("nosuch"), std::string::npos) << Error(pi, pContext);
    EXPECT_EQ(pi->bHFiltre(pContext, L"nosuch", &v, 1, &v, 1, nullptr), 0);
    ExpectError(pi, pContext, ZTERR_NO_SUCH_ITEM, L"=3.24\r\n", "nosuch");
    EXPECT_EQ(p->nGetStatementCount(), nStatements);

    // A search not found is found once cancelled; the user search stays.
    const CHostText ab(L"AB");
    ASSERT_EQ(pi->bHRecherche(pContext, L"name", &ab, 1, 0, kNoLock, nullptr, 1, 0), 1);
    ASSERT_EQ(Found(pi, pContext, L"name"), 0);
    EXPECT_EQ(pi->bHAnnuleRecherche(pContext, nullptr), 1);
    ASSERT_EQ(Read(pi, pContext, L"name", NEXT), 1);
    EXPECT_FALSE(Out(pi, pContext, L"name"));
    EXPECT_EQ(Found(pi, pContext, L"name"), 1);
    CNAStatement* pStatement = p->_pclFindStatement(L"name");
    ASSERT_NE(pStatement, nullptr);
    EXPECT_NE(pStatement->pclGetUserSearch()->piGetItemNoRef(), nullptr);
    pStatement->nRelease();
}

// Exact searches on a date, a decimal and a text outside ASCII, given as
// texts; the bounds of filters on the same items.
TEST_F(PositionSearch, DatesDecimalsAndTextsOutsideASCII)
{
    CHostContext* pContext = Context(1);
    INATable* pi = Open(L"v", pContext);
    ASSERT_NE(pi, nullptr);
    struct SSearch {
        const wchar_t* pszItem;
        const wchar_t* pszValue;
        const char* pszWhere;
    };
    const SSearch aSearch[] = {
        {L"d", L"20230101", "d = '2023-01-01'"},
        {L"amount", L"12.50", "amount = 12.50"},
        {L"label", L"\u00e9t\u00e9", "label = _utf8mb4 X'C3A974C3A9'"},
    };
    for (const SSearch& c : aSearch) {
        SCOPED_TRACE(Narrow(c.pszItem));
        const CHostText v(c.pszValue);
        ASSERT_EQ(pi->bHRecherche(pContext, c.pszItem, &v, 1, 0, kNoLock, nullptr, 1, 0), 1) << Error(pi, pContext);
        EXPECT_EQ(Found(pi, pContext, c.pszItem), 1);
        EXPECT_EQ(Value(pi, pContext, L"id"), First(std::string("SELECT id FROM v WHERE ") + c.pszWhere));
    }
    struct SFilter {
        const wchar_t* pszItem;
        const wchar_t* pszMin;
        int bMin;
        const wchar_t* pszMax;
        int bMax;
        const char* pszWhere;
        const char* pszOrder;
    };
    const SFilter aFilter[] = {
        {L"d", L"20221231", 0, L"20230315", 1, "d > '2022-12-31' AND d <= '2023-03-15'", "d"},
        {L"d", L"20221231", 1, L"20230315", 0, "d >= '2022-12-31' AND d < '2023-03-15'", "d"},
        {L"label", L"\u00e9", 1, L"\u00e9t\u00e9", 1,
         "label >= _utf8mb4 X'C3A9' AND label <= _utf8mb4 X'C3A974C3A9'", "label"},
        {L"label", L"\u00e9lan", 0, L"\u00e9t\u00e9", 0,
         "label > _utf8mb4 X'C3A96C616E' AND label < _utf8mb4 X'C3A974C3A9'", "label"},
    };
    for (const SFilter& c : aFilter) {
        SCOPED_TRACE(c.pszWhere);
        const CHostText vMin(c.pszMin);
        const CHostText vMax(c.pszMax);
        ASSERT_EQ(pi->bHFiltre(pContext, c.pszItem, &vMin, c.bMin, &vMax, c.bMax, nullptr), 1) << Error(pi, pContext);
        EXPECT_EQ(Walk(pi, pContext, c.pszItem, L"id"),
                  List(std::string("SELECT id FROM v WHERE ") + c.pszWhere + " ORDER BY " + c.pszOrder + ", id"));
    }
}

// ---- Filters ----------------------------------------------------------------------------------------------------------

TEST_F(PositionSearch, BoundsIncludedAndExcluded)
{
    CHostContext* pContext = Context(1);
    INATable* pi = Open(L"t", pContext);
    ASSERT_NE(pi, nullptr);
    struct SCase {
        int bMin, bMax;
        const char* pszWhere;
    };
    const SCase aCase[] = {{1, 1, "id >= 3 AND id <= 6"}, {0, 0, "id > 3 AND id < 6"}, {1, 0, "id >= 3 AND id < 6"}};
    const CInt vMin(3);
    const CInt vMax(6);
    for (const SCase& c : aCase) {
        SCOPED_TRACE(c.pszWhere);
        ASSERT_EQ(pi->bHFiltre(pContext, L"id", &vMin, c.bMin, &vMax, c.bMax, nullptr), 1) << Error(pi, pContext);
        EXPECT_EQ(Walk(pi, pContext, L"id", L"id"), List(std::string("SELECT id FROM t WHERE ") + c.pszWhere +
                                                          " ORDER BY id"));
    }
    const CHostText tMin(L"B");
    const CHostText tMax(L"CA");
    ASSERT_EQ(pi->bHFiltre(pContext, L"name", &tMin, 0, &tMax, 1, nullptr), 1) << Error(pi, pContext);
    EXPECT_EQ(Walk(pi, pContext, L"name", L"name"),
              List("SELECT name FROM t WHERE name > 'B' AND name <= 'CA' ORDER BY name"));
    // The filter on id is off: one active filter in the data access.
    EXPECT_EQ(Walk(pi, pContext, L"id", L"id"), List("SELECT id FROM t ORDER BY id"));
    // 0x8000 carries name's filter to the browse on id.
    ASSERT_EQ(Read(pi, pContext, L"name", FIRST), 1);
    ASSERT_EQ(pi->bHLitxxx(pContext, L"id", FIRST, 1, kNoLock, nullptr, 0x8000), 1) << Error(pi, pContext);
    Rows tab;
    while (!Out(pi, pContext, L"id") && tab.size() < 20) {
        tab.push_back(Value(pi, pContext, L"id"));
        ASSERT_EQ(pi->bHLitxxx(pContext, L"id", NEXT, 1, kNoLock, nullptr, 0x8000), 1);
    }
    EXPECT_EQ(tab, List("SELECT id FROM t WHERE name > 'B' AND name <= 'CA' ORDER BY id"));
}

TEST_F(PositionSearch, SwitchingTheLatestFilterOffAndOn)
{
    CHostContext* pContext = Context(1);
    INATable* pi = Open(L"t", pContext);
    ASSERT_NE(pi, nullptr);
    const CInt vMin(2);
    const CInt vMax(5);
    ASSERT_EQ(pi->bHFiltre(pContext, L"id", &vMin, 1, &vMax, 1, nullptr), 1) << Error(pi, pContext);
    const Rows tabFiltered = List("SELECT id FROM t WHERE id BETWEEN 2 AND 5 ORDER BY id");
    EXPECT_EQ(Walk(pi, pContext, L"id", L"id"), tabFiltered);
    ASSERT_EQ(pi->bHDesactiveFiltre(pContext, L"id", 0), 1);
    EXPECT_EQ(Walk(pi, pContext, L"id", L"id"), List("SELECT id FROM t ORDER BY id"));
    // An item never browsed still switches the latest filter on.
    ASSERT_EQ(pi->bHActiveFiltre(pContext, L"name", 0), 1) << Error(pi, pContext);
    EXPECT_EQ(Walk(pi, pContext, L"id", L"id"), tabFiltered);

    // Switched on again while the browse stands on a record in range: the
    // browse goes on from it.
    ASSERT_EQ(pi->bHDesactiveFiltre(pContext, L"id", 0), 1);
    ASSERT_EQ(Read(pi, pContext, L"id", FIRST), 1);
    ASSERT_EQ(Read(pi, pContext, L"id", NEXT), 1);
    ASSERT_EQ(Read(pi, pContext, L"id", NEXT), 1);
    ASSERT_EQ(Value(pi, pContext, L"id"), "3");
    ASSERT_EQ(pi->bHActiveFiltre(pContext, L"id", 0), 1) << Error(pi, pContext);
    ASSERT_EQ(Read(pi, pContext, L"id", NEXT), 1) << Error(pi, pContext);
    EXPECT_EQ(Value(pi, pContext, L"id"), "4");
    // From the last record in range, the next read ends the browse.
    ASSERT_EQ(pi->bHDesactiveFiltre(pContext, L"id", 0), 1);
    ASSERT_EQ(Read(pi, pContext, L"id", NEXT), 1);
    ASSERT_EQ(Value(pi, pContext, L"id"), "5");
    ASSERT_EQ(pi->bHActiveFiltre(pContext, L"id", 0), 1) << Error(pi, pContext);
    ASSERT_EQ(Read(pi, pContext, L"id", NEXT), 1) << Error(pi, pContext);
    EXPECT_TRUE(Out(pi, pContext, L"id")) << Value(pi, pContext, L"id");
}

// A condition parsed by the host: the item chosen is written back and the
// browse keeps to the condition's rows.
TEST_F(PositionSearch, AParsedCondition)
{
    CHostContext* pContext = Context(1);
    INATable* pi = Open(L"t", pContext);
    ASSERT_NE(pi, nullptr);
    std::wstring strError;
    m_pParse = CHostSQLParse::pParse(L"SELECT * FROM t WHERE t.id >= 3 AND t.id <= 5", nullptr, &m_clValues, &strError);
    ASSERT_NE(m_pParse, nullptr) << Narrow(strError.c_str());
    wchar_t szItem[255] = L"unchanged";
    ASSERT_EQ(pi->bHFiltre(pContext, m_pParse.get(), szItem), 1) << Error(pi, pContext);
    EXPECT_STREQ(szItem, Access(pi, pContext)->pszGetBestParseItemName());
    EXPECT_EQ(Walk(pi, pContext, szItem, L"id"), List("SELECT id FROM t WHERE id >= 3 AND id <= 5 ORDER BY id"));
}

// ---- Key change -------------------------------------------------------------------------------------------------------

TEST_F(PositionSearch, ChangingTheKeyKeepsTheRecord)
{
    CHostContext* pContext = Context(1);
    INATable* pi = Open(L"t", pContext);
    ASSERT_NE(pi, nullptr);
    const std::string strId = Third(pi, pContext, L"name", false);
    ASSERT_EQ(strId, First("SELECT id FROM t ORDER BY name DESC LIMIT 2, 1"));
    ASSERT_EQ(pi->bHChangeCle(pContext, L"id", 0), 1) << Error(pi, pContext);
    ASSERT_EQ(Read(pi, pContext, L"id", NEXT), 1) << Error(pi, pContext);
    EXPECT_EQ(Value(pi, pContext, L"id"), First("SELECT MIN(id) FROM t WHERE id > " + strId));
    // To the item of the last statement: nothing moves.
    const std::string strNext = Value(pi, pContext, L"id");
    ASSERT_EQ(pi->bHChangeCle(pContext, L"id", 0), 1);
    ASSERT_EQ(Read(pi, pContext, L"id", NEXT), 1);
    EXPECT_EQ(Value(pi, pContext, L"id"), First("SELECT MIN(id) FROM t WHERE id > " + strNext));
}

// ---- Positions --------------------------------------------------------------------------------------------------------

TEST_F(PositionSearch, NumbersForTheWholeProcess)
{
    CHostContext* pOne = Context(1);
    CHostContext* pTwo = Context(2);
    CNADataAccess::ms_nPositionID = 1;
    INATable* piT = Open(L"t", pOne);
    ASSERT_NE(piT, nullptr);
    ASSERT_EQ(piT->bHOuvre(pTwo, static_cast<eNA_ACCESS>(0), nullptr), 1);
    CHostContext* pOneThree = Context(1, 2);
    INATable* piThree = Open(L"three", pOneThree);
    ASSERT_NE(piThree, nullptr);
    ASSERT_EQ(Read(piT, pOne, L"id", FIRST), 1);
    EXPECT_EQ(Save(piT, pOne, L"id"), 1);
    EXPECT_EQ(Save(piT, pTwo, L"id"), 2);
    EXPECT_EQ(Save(piThree, pOneThree, L"id"), 3);
    EXPECT_EQ(piT->bHLiberePosition(pTwo, 2), 1);
    EXPECT_EQ(Save(piT, pTwo, L"id"), 4) << "a freed number is not given again";

    // Past the largest number: 1 again, but 1 is still filed on t in the
    // first context, so 2.
    CNADataAccess::ms_nPositionID = INT_MAX;
    EXPECT_EQ(Save(piT, pOne, L"id"), INT_MAX);
    EXPECT_EQ(Save(piT, pOne, L"id"), 2);
    EXPECT_EQ(CNADataAccess::ms_nPositionID, 3);

    // After the close every number of the data access is gone.
    CNADataAccess* p = Access(piT, pOne);
    EXPECT_EQ(p->nGetPositionCount(), 3u);
    ASSERT_EQ(piT->bHFerme(pOne), 1);
    ASSERT_EQ(piT->bHOuvre(pOne, static_cast<eNA_ACCESS>(0), nullptr), 1);
    wchar_t szItem[255] = L"unchanged";
    EXPECT_EQ(piT->bHRetourPosition(pOne, 1, szItem, 1, 0), 0);
    ExpectError(piT, pOne, ZTERR_POSITION_LOST, L"=3.2\r\n", "");
    EXPECT_STREQ(szItem, L"unchanged");
}

TEST_F(PositionSearch, BackToARecordByRowAndBySearch)
{
    CHostContext* pContext = Context(1);
    INATable* pi = Open(L"t", pContext);
    ASSERT_NE(pi, nullptr);
    const std::string strThird = First("SELECT id FROM t ORDER BY id LIMIT 2, 1");
    ASSERT_EQ(Third(pi, pContext, L"id", true), strThird);
    const int nByRow = Save(pi, pContext, L"id");
    const int nSecond = Save(pi, pContext, L"id");
    ASSERT_GT(nByRow, 0);
    // Elsewhere, then back: the third record, the item written.
    ASSERT_EQ(Read(pi, pContext, L"name", LAST), 1);
    wchar_t szItem[255] = {};
    ASSERT_EQ(pi->bHRetourPosition(pContext, nByRow, szItem, 1, 0), 1) << Error(pi, pContext);
    EXPECT_STREQ(szItem, L"id");
    EXPECT_EQ(Value(pi, pContext, L"id"), strThird);
    ASSERT_EQ(Read(pi, pContext, L"id", NEXT), 1);
    EXPECT_EQ(Value(pi, pContext, L"id"), First("SELECT id FROM t ORDER BY id LIMIT 3, 1"));

    // Its statement closed: by search.
    CNADataAccess* p = Access(pi, pContext);
    CNAStatement* pStatement = p->_pclFindStatement(L"id");
    ASSERT_NE(pStatement, nullptr);
    pStatement->Close();
    pStatement->nRelease();
    ASSERT_EQ(pi->bHRetourPosition(pContext, nByRow, nullptr, 0, 0), 1) << Error(pi, pContext);
    EXPECT_EQ(Value(pi, pContext, L"id"), strThird);
    ASSERT_EQ(Read(pi, pContext, L"id", NEXT), 1);
    EXPECT_EQ(Value(pi, pContext, L"id"), First("SELECT id FROM t ORDER BY id LIMIT 3, 1"));
    // bKeep 0 freed it.
    EXPECT_EQ(pi->bHRetourPosition(pContext, nByRow, nullptr, 1, 0), 0);
    ExpectError(pi, pContext, ZTERR_POSITION_LOST, L"=3.2\r\n", "");
    EXPECT_EQ(pi->bHLiberePosition(pContext, nByRow), 1);
    EXPECT_EQ(pi->bHLiberePosition(pContext, nSecond), 1);
    EXPECT_EQ(p->nGetPositionCount(), 0u);
}

TEST_F(PositionSearch, TheThirdOfFiveIdenticalRows)
{
    CHostContext* pContext = Context(1);
    INATable* pi = Open(L"same", pContext);
    ASSERT_NE(pi, nullptr);
    ASSERT_EQ(First("SELECT COUNT(*) FROM same"), "5");
    ASSERT_EQ(Read(pi, pContext, L"v", FIRST), 1);
    ASSERT_EQ(Read(pi, pContext, L"v", NEXT), 1);
    ASSERT_EQ(Read(pi, pContext, L"v", NEXT), 1);
    const int n = Save(pi, pContext, L"v");
    CNADataAccess* p = Access(pi, pContext);
    CNAStatement* pStatement = p->_pclFindStatement(L"v");
    ASSERT_NE(pStatement, nullptr);
    pStatement->Close();
    pStatement->nRelease();
    ASSERT_EQ(pi->bHRetourPosition(pContext, n, nullptr, 0, 0), 1) << Error(pi, pContext);
    // Two more rows, then out of range.
    int nMore = 0;
    for (;;) {
        ASSERT_EQ(Read(pi, pContext, L"v", NEXT), 1) << Error(pi, pContext);
        if (Out(pi, pContext, L"v") || nMore > 5)
            break;
        nMore++;
    }
    EXPECT_EQ(nMore, 2);
}

TEST_F(PositionSearch, TheItemBufferAndUnknownNumbers)
{
    CHostContext* pContext = Context(1);
    INATable* pi = Open(L"t", pContext);
    ASSERT_NE(pi, nullptr);
    const std::wstring strLong(300, L'x');
    const int n = Save(pi, pContext, strLong.c_str());
    ASSERT_GT(n, 0);
    std::vector<wchar_t> buffer(300, L'#');
    ASSERT_EQ(pi->bHRetourPosition(pContext, n, buffer.data(), 1, 0), 1) << Error(pi, pContext);
    EXPECT_EQ(std::wstring(buffer.data()), std::wstring(254, L'x'));
    EXPECT_EQ(buffer[255], L'#') << "nothing past the 255 characters";

    ASSERT_EQ(Read(pi, pContext, L"id", FIRST), 1);
    const std::string strFirst = Value(pi, pContext, L"id");
    m_pDriver->pclGetError()->Reset();
    EXPECT_EQ(pi->bHRetourPosition(pContext, n + 1000, buffer.data(), 1, 0), 0);
    ExpectError(pi, pContext, ZTERR_POSITION_LOST, L"=3.2\r\n", "");
    EXPECT_NE(Error(pi, pContext).find("t"), std::string::npos);
    EXPECT_EQ(Value(pi, pContext, L"id"), strFirst) << "the browse untouched";
    EXPECT_EQ(pi->bHLiberePosition(pContext, n + 1000), 1);
}

TEST_F(PositionSearch, OptionOneBringsTheFilterBack)
{
    CHostContext* pContext = Context(1);
    INATable* pi = Open(L"t", pContext);
    ASSERT_NE(pi, nullptr);
    const CInt vMin(2);
    const CInt vMax(5);
    ASSERT_EQ(pi->bHFiltre(pContext, L"id", &vMin, 1, &vMax, 1, nullptr), 1) << Error(pi, pContext);
    ASSERT_EQ(Read(pi, pContext, L"id", FIRST), 1);
    const int nWith = Save(pi, pContext, L"id");
    const int nWithout = Save(pi, pContext, L"id");
    ASSERT_EQ(pi->bHDesactiveFiltre(pContext, L"id", 0), 1);
    // Option 0: the filter stays off.
    ASSERT_EQ(pi->bHRetourPosition(pContext, nWithout, nullptr, 0, 0), 1) << Error(pi, pContext);
    EXPECT_EQ(Walk(pi, pContext, L"id", L"id"), List("SELECT id FROM t ORDER BY id"));
    // Option 1: back on, and the latest filter.
    CNADataAccess* p = Access(pi, pContext);
    p->SetLatestFilter(nullptr);
    ASSERT_EQ(pi->bHRetourPosition(pContext, nWith, nullptr, 0, 1), 1) << Error(pi, pContext);
    EXPECT_NE(p->pclGetLatestFilterNoRef(), nullptr);
    EXPECT_EQ(Walk(pi, pContext, L"id", L"id"), List("SELECT id FROM t WHERE id BETWEEN 2 AND 5 ORDER BY id"));
}

TEST_F(PositionSearch, ComparingPositions)
{
    CHostContext* pContext = Context(1);
    INATable* pi = Open(L"t", pContext);
    ASSERT_NE(pi, nullptr);
    ASSERT_EQ(Read(pi, pContext, L"id", FIRST), 1);
    const int nA = Save(pi, pContext, L"id");
    const int nA2 = Save(pi, pContext, L"id");
    ASSERT_EQ(Read(pi, pContext, L"id", NEXT), 1);
    const int nB = Save(pi, pContext, L"id");
    // On name, the same record as nA, another statement: by the saved id.
    const CInt v(1);
    ASSERT_EQ(pi->bHRecherche(pContext, L"id", &v, 1, 0, kNoLock, nullptr, 1, 0), 1);
    ASSERT_EQ(pi->bHChangeCle(pContext, L"name", 0), 1);
    ASSERT_EQ(Read(pi, pContext, L"name", NEXT), 1);
    const int nOther = Save(pi, pContext, L"name");
    struct SCase {
        int n1, n2, bSame;
    };
    const std::string strAfter = Value(pi, pContext, L"id");
    const SCase aCase[] = {{nA, nA, 1}, {nA, nA2, 1}, {nA, nB, 0}, {nB, nA, 0}, {nA, nOther, strAfter == "1" ? 1 : 0}};
    for (const SCase& c : aCase) {
        SCOPED_TRACE(testing::Message() << c.n1 << " " << c.n2);
        int bSame = -1;
        ASSERT_EQ(pi->bCompareTablePosition(pContext, c.n1, c.n2, &bSame), 1) << Error(pi, pContext);
        EXPECT_EQ(bSame, c.bSame);
    }
    int bSame = -1;
    EXPECT_EQ(pi->bCompareTablePosition(pContext, nA + 1000, nA, &bSame), 0);
    ExpectError(pi, pContext, ZTERR_POSITION_LOST, L"=3.19\r\n", "");
    EXPECT_EQ(pi->bCompareTablePosition(pContext, nA, nA + 1000, &bSame), 0);
    ExpectError(pi, pContext, ZTERR_POSITION_LOST, L"=3.20\r\n", "");
}

TEST_F(PositionSearch, AFailedSaveLeavesMinusOne)
{
    CHostContext* pContext = Context(1);
    INATable* pi = Open(L"t", pContext);
    ASSERT_NE(pi, nullptr);
    ASSERT_EQ(Read(pi, pContext, L"id", FIRST), 1);
    CPositionAccess::s_bRefuse = true;
    int n = 77;
    EXPECT_EQ(pi->bHSauvePosition(pContext, L"id", &n, 0), 0);
    EXPECT_EQ(n, -1);
    EXPECT_NE(ErrorOf(pi, pContext)->eGetErrorLevel(), NA_ERRORLEVEL_NOERROR) << Error(pi, pContext);
    CPositionAccess::s_bRefuse = false;
    EXPECT_GT(Save(pi, pContext, L"id"), 0);
    EXPECT_EQ(CCountedPosition::s_nLive, 1);
    ASSERT_EQ(pi->bHFerme(pContext), 1);
    EXPECT_EQ(CCountedPosition::s_nLive, 0) << "the close frees every position";
}

// Positions on two browse items compared by the best browse item's value in
// their record saves (code: unique, NULL allowed).
TEST_F(PositionSearch, ComparingByTheUniqueItemsValue)
{
    CHostContext* pContext = Context(1);
    INATable* pi = Open(L"u", pContext);
    ASSERT_NE(pi, nullptr);
    ASSERT_STREQ(Access(pi, pContext)->pszGetBestParseItemName(), L"code");
    // A row's position on "other", found by its value there.
    const auto SaveOnOther = [&](int nOther) {
        const CInt v(nOther);
        EXPECT_EQ(pi->bHRecherche(pContext, L"other", &v, 1, 0, kNoLock, nullptr, 1, 0), 1) << Error(pi, pContext);
        return Save(pi, pContext, L"other");
    };
    const CInt five(5);
    ASSERT_EQ(pi->bHRecherche(pContext, L"code", &five, 1, 0, kNoLock, nullptr, 1, 0), 1) << Error(pi, pContext);
    const int nFive = Save(pi, pContext, L"code");
    const int nFiveOther = SaveOnOther(std::stoi(First("SELECT other FROM u WHERE code = 5")));
    const int nSix = SaveOnOther(4);
    // The same record changed since: another save, the same unique value.
    ASSERT_TRUE(Admin("UPDATE u SET other = 9 WHERE code = 5"));
    const int nFiveChanged = SaveOnOther(9);
    {
        CNADataAccess* p = Access(pi, pContext);
        CNAPosition* pBefore = p->_pclFindPosition(nFive);
        CNAPosition* pAfter = p->_pclFindPosition(nFiveChanged);
        ASSERT_TRUE(pBefore != nullptr && pAfter != nullptr);
        EXPECT_NE(pBefore->nGetRecordSaveId(), pAfter->nGetRecordSaveId()) << "two saves: compared by value";
        pBefore->nRelease();
        pAfter->nRelease();
    }
    // The first NULL by code, and the other NULL row by "other".
    ASSERT_EQ(Read(pi, pContext, L"code", FIRST), 1);
    ASSERT_EQ(Value(pi, pContext, L"code"), "NULL");
    const int nNullCode = Save(pi, pContext, L"code");
    const int nSameNull = SaveOnOther(std::stoi(Value(pi, pContext, L"other")));
    const int nOtherNull = SaveOnOther(Value(pi, pContext, L"other") == "2" ? 3 : 2);
    ASSERT_EQ(Value(pi, pContext, L"code"), "NULL");
    struct SCase {
        int n1, n2, bSame;
    };
    const SCase aCase[] = {{nFive, nFiveChanged, 1}, {nFive, nFiveOther, 1}, {nFive, nSix, 0}, {nFive, nOtherNull, 0},
                           {nOtherNull, nFive, 0}, {nNullCode, nSameNull, 1}, {nNullCode, nOtherNull, 0}};
    for (const SCase& c : aCase) {
        SCOPED_TRACE(testing::Message() << c.n1 << " " << c.n2);
        int bSame = -1;
        ASSERT_EQ(pi->bCompareTablePosition(pContext, c.n1, c.n2, &bSame), 1) << Error(pi, pContext);
        EXPECT_EQ(bSame, c.bSame);
    }
    // An equality that fails gives no verdict: not the same.
    PFN_VM_COMPARE pfnEquality = gpfnEgaliteEx;
    gpfnEgaliteEx = nEqualityFails;
    int bSame = -1;
    const int bResult = pi->bCompareTablePosition(pContext, nFive, nSix, &bSame);
    gpfnEgaliteEx = pfnEquality;
    EXPECT_EQ(bResult, 1);
    EXPECT_EQ(bSame, 0);
}

// ---- After writes ------------------------------------------------------------------------------------------------------

// The record added is the data access's own record save: a position noted
// after it brings it back, and a change of key starts from it.
TEST_F(PositionSearch, AfterAnAdd)
{
    CHostContext* pContext = Context(1);
    INATable* pi = Open(L"t", pContext);
    ASSERT_NE(pi, nullptr);
    CNADataAccess* p = Access(pi, pContext);
    ASSERT_EQ(Read(pi, pContext, L"name", FIRST), 1);
    SetCurrentValue(p, L"id", L"0");
    SetCurrentValue(p, L"name", L"ZZ");
    ASSERT_EQ(pi->bHAjoute(pContext, 0, kNoLock), 1) << Error(pi, pContext);
    ASSERT_EQ(First("SELECT name FROM t WHERE id = 0"), "ZZ");
    ASSERT_NE(p->nGetOwnRecordSave(), -1);
    const int n = Save(pi, pContext, L"name");

    // The change of key starts from the record added: next on id is 1.
    ASSERT_EQ(pi->bHChangeCle(pContext, L"id", 0), 1) << Error(pi, pContext);
    ASSERT_EQ(Read(pi, pContext, L"id", NEXT), 1) << Error(pi, pContext);
    EXPECT_EQ(Value(pi, pContext, L"id"), First("SELECT MIN(id) FROM t WHERE id > 0"));

    // Back to the position: the record added, as current and original.
    ASSERT_EQ(Read(pi, pContext, L"id", LAST), 1);
    ASSERT_EQ(pi->bHRetourPosition(pContext, n, nullptr, 0, 0), 1) << Error(pi, pContext);
    EXPECT_EQ(Value(pi, pContext, L"id"), "0");
    EXPECT_EQ(Value(pi, pContext, L"name"), "ZZ");
    EXPECT_NE(p->nGetOwnRecordSave(), -1);
    SetCurrentValue(p, L"name", L"ZY");
    ASSERT_EQ(pi->bHModifie(pContext, 0, 0, kNoLock), 1) << Error(pi, pContext);
    EXPECT_EQ(First("SELECT name FROM t WHERE id = 0"), "ZY") << "the original record was the one added";
}

// A row deleted through another browse: the position goes by search, never
// by the stale row.
TEST_F(PositionSearch, ARowDeletedElsewhere)
{
    CHostContext* pContext = Context(1);
    INATable* pi = Open(L"t", pContext);
    ASSERT_NE(pi, nullptr);
    const std::string strThird = Third(pi, pContext, L"id", true);
    const int n = Save(pi, pContext, L"id");
    const CInt v(std::stoi(strThird));
    // The same record on the browse by name, deleted there.
    ASSERT_EQ(Access(pi, pContext)->bHRecherche(L"name", L"id", &v, 1, 0, kNoLock, nullptr, 1, 0), 1);
    ASSERT_EQ(Value(pi, pContext, L"id"), strThird);
    ASSERT_EQ(pi->bHSupprime(pContext, 0, kNoLock), 1) << Error(pi, pContext);
    ASSERT_EQ(First("SELECT COUNT(*) FROM t WHERE id = " + strThird), "0");
    // What sends the return by search: the saved record or the row marked
    // deleted.
    CNADataAccess* p = Access(pi, pContext);
    CNAPosition* pPosition = p->_pclFindPosition(n);
    ASSERT_NE(pPosition, nullptr);
    EXPECT_TRUE(pPosition->bRowDeleted() || p->bRecordDeleted(pPosition->nGetRecordSaveId()));
    pPosition->nRelease();
    ASSERT_EQ(pi->bHRetourPosition(pContext, n, nullptr, 0, 0), 1) << Error(pi, pContext);
    ASSERT_EQ(Read(pi, pContext, L"id", NEXT), 1) << Error(pi, pContext);
    EXPECT_EQ(Value(pi, pContext, L"id"), First("SELECT MIN(id) FROM t WHERE id > " + strThird));
    ASSERT_EQ(Read(pi, pContext, L"id", PREVIOUS), 1) << Error(pi, pContext);
    EXPECT_EQ(Value(pi, pContext, L"id"), First("SELECT MAX(id) FROM t WHERE id < " + strThird));
}

// ---- Places in thousandths --------------------------------------------------------------------------------------------

TEST_F(PositionSearch, ThousandthsOfTheBrowse)
{
    CHostContext* pContext = Context(1);
    CHostContext* pThree = Context(1, 2);
    CHostContext* pEmpty = Context(1, 3);
    INATable* piThree = Open(L"three", pThree);
    INATable* piTen = Open(L"t", pContext);
    INATable* piEmpty = Open(L"empty", pEmpty);
    ASSERT_TRUE(piThree != nullptr && piTen != nullptr && piEmpty != nullptr);
    int n = 0;
    ASSERT_EQ(Read(piThree, pThree, L"id", FIRST), 1);
    ASSERT_EQ(piThree->bHPositionCourante(pThree, L"id", &n, kPrecision, 0), 1) << Error(piThree, pThree);
    EXPECT_EQ(n, 334);
    ASSERT_EQ(Read(piThree, pThree, L"id", LAST), 1);
    ASSERT_EQ(piThree->bHPositionCourante(pThree, L"id", &n, kPrecision, 0), 1);
    EXPECT_EQ(n, 1000);

    ASSERT_EQ(First("SELECT COUNT(*) FROM t"), "10");
    ASSERT_EQ(piTen->bHPositionne(pContext, L"id", 500, kPrecision, 0), 1);  // no statement yet: nothing
    ASSERT_EQ(Read(piTen, pContext, L"id", FIRST), 1);
    ASSERT_EQ(piTen->bHPositionne(pContext, L"id", 500, kPrecision, 0), 1) << Error(piTen, pContext);
    EXPECT_EQ(Value(piTen, pContext, L"id"), First("SELECT id FROM t ORDER BY id LIMIT 4, 1"));
    ASSERT_EQ(piTen->bHPositionCourante(pContext, L"id", &n, kPrecision, 0), 1);
    EXPECT_EQ(n, 500);
    ASSERT_EQ(piTen->bHPositionne(pContext, L"id", 1500, kPrecision, 0), 1) << Error(piTen, pContext);
    EXPECT_EQ(Value(piTen, pContext, L"id"), First("SELECT MAX(id) FROM t"));

    ASSERT_EQ(Read(piEmpty, pEmpty, L"id", FIRST), 1);
    ASSERT_EQ(piEmpty->bHPositionCourante(pEmpty, L"id", &n, kPrecision, 0), 1);
    EXPECT_EQ(n, 1);

    n = 0;
    EXPECT_EQ(piTen->bHPositionCourante(pContext, L"name", &n, kPrecision, 0), 0);
    EXPECT_EQ(n, -1);
    ExpectError(piTen, pContext, ZTERR_NO_CURRENT_RECORD, L"=3.1\r\n", "name");
}

} // namespace
