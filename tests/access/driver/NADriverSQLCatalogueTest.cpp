// The catalogue lists of the SQL interface and of the driver over the
// recording back end: the texts sent, the rows as list text, the filters,
// the SQL locks and the diagnosis of the driver core, and the scan of
// CREATE TABLE texts for links.
#include "tests/support/FakeDriverSQL.h"

#include "access/driver/NADataSourceDescription.h"
#include "common/text/XYStringConcat.h"
#include "tests/support/ServerDriver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

typedef std::vector<std::string> Texts;

const char kTables[] = "SELECT TABLE_NAME, TABLE_SCHEMA, TABLE_TYPE FROM INFORMATION_SCHEMA.TABLES WHERE ";
const char kTablesEnd[] = "TABLE_SCHEMA = SCHEMA() ORDER BY TABLE_SCHEMA, TABLE_NAME";
const char kSchemata[] = "SELECT SCHEMA_NAME FROM INFORMATION_SCHEMA.SCHEMATA ORDER BY SCHEMA_NAME";

std::string TablesQuery(const std::string& strCondition)
{
    return kTables + strCondition + kTablesEnd;
}

std::string SchemaQuery(const std::string& strDatabase)
{
    return "SELECT TABLE_NAME FROM INFORMATION_SCHEMA.TABLES WHERE (TABLE_TYPE='BASE TABLE') AND TABLE_SCHEMA = '" +
           strDatabase + "' ORDER BY TABLE_NAME";
}

class Catalogue : public DriverSQL {
protected:
    CNADriverSQL* SQL() { return static_cast<CNADriverSQL*>(m_pSQL); }
    // One-column rows.
    void Script(const std::string& strText, std::vector<const wchar_t*> tabValues, const wchar_t* pszColumn = L"n")
    {
        STWorld::STResult& st = m_st.mapResult[strText];
        st.tabColumn = {pszColumn};
        st.tabRow.clear();
        for (const wchar_t* psz : tabValues)
            st.tabRow.push_back({psz});
    }
    std::wstring Links(const wchar_t* pszCreate, int nFlags = 0x20, INADataSourceDescription* piTable = nullptr)
    {
        CXYStringConcat<wchar_t> cl;
        EXPECT_EQ(SQL()->_bExtraitLink_FromShowCreateTable(&cl, pszCreate, L"c", nullptr, piTable, nFlags), 1);
        return cl.pszGet();
    }
};

TEST_F(Catalogue, TableFilterKinds)
{
    struct {
        const wchar_t* pszFilter;
        CNADriverSQL::eTABLEFILTER eKind;
    } const tab[] = {
        {nullptr, CNADriverSQL::TABLEFILTER_NONE},       {L"", CNADriverSQL::TABLEFILTER_NONE},
        {L" \t", CNADriverSQL::TABLEFILTER_NONE},        {L"LIKE 'a%'", CNADriverSQL::TABLEFILTER_LIKE},
        {L"  like'a%'", CNADriverSQL::TABLEFILTER_LIKE}, {L"LIKE", CNADriverSQL::TABLEFILTER_LIKE},
        {L"NOT LIKE 'a%'", CNADriverSQL::TABLEFILTER_LIKE}, {L"not\t like 'a'", CNADriverSQL::TABLEFILTER_LIKE},
        {L"\r\nNOT\r\nLIKE\n'a'", CNADriverSQL::TABLEFILTER_LIKE}, {L"WHERE\nx", CNADriverSQL::TABLEFILTER_WHERE},
        {L"WHERE x = 1", CNADriverSQL::TABLEFILTER_WHERE}, {L"where(x)", CNADriverSQL::TABLEFILTER_WHERE},
        {L"a%", CNADriverSQL::TABLEFILTER_PATTERN},      {L"like%", CNADriverSQL::TABLEFILTER_PATTERN},
        {L"likes", CNADriverSQL::TABLEFILTER_PATTERN},   {L"NOTLIKE 'a'", CNADriverSQL::TABLEFILTER_PATTERN},
        {L"NOT 'a'", CNADriverSQL::TABLEFILTER_PATTERN}, {L"NOT", CNADriverSQL::TABLEFILTER_PATTERN},
        {L"wherever", CNADriverSQL::TABLEFILTER_PATTERN},
    };
    for (const auto& t : tab)
        EXPECT_EQ(CNADriverSQL::g_eTableFilter(t.pszFilter), t.eKind)
            << (t.pszFilter != nullptr ? Narrow(t.pszFilter) : "(null)");
    // The clause of no filter is the empty text, whatever was there.
    const int nCnx = Open();
    CTString cs(L"left over");
    EXPECT_EQ(SQL()->_bTableFilterClause(Connection(nCnx), nullptr, &cs), 1);
    EXPECT_EQ(cs.nTaille(), 0);
    EXPECT_EQ(SQL()->_bTableFilterClause(Connection(nCnx), L"x_%", &cs), 1);
    EXPECT_STREQ(cs.pszGet(), L"LIKE 'x_%'");
    EXPECT_EQ(m_pSQL->bCloseConnection(nCnx), 1);
}

TEST_F(Catalogue, TableKindConditions)
{
    struct {
        unsigned int nFlags;
        const wchar_t* pszClause;
        const wchar_t* pszCondition;
    } const tab[] = {
        {0x0, nullptr, L""},
        {0x4, nullptr, L""},
        {0x1, nullptr, L"(TABLE_TYPE='BASE TABLE')"},
        {0x2, nullptr, L"(TABLE_TYPE='SYSTEM TABLE' OR TABLE_TYPE='VIEW')"},
        {0x3, L"", L"(TABLE_TYPE='BASE TABLE' OR TABLE_TYPE='SYSTEM TABLE' OR TABLE_TYPE='VIEW')"},
        {0x31, L"LIKE 'a%'", L"(TABLE_TYPE='BASE TABLE') AND TABLE_NAME LIKE 'a%'"},
        {0x4, L"NOT LIKE 'a%'", L"TABLE_NAME NOT LIKE 'a%'"},
    };
    CXYStringConcat<wchar_t> cl;
    cl.Add(L"left over");
    for (const auto& t : tab) {
        SQL()->_GetTableList_GetFilter(&cl, t.pszClause, t.nFlags);
        EXPECT_EQ(std::wstring(cl.pszGet()), t.pszCondition) << t.nFlags;
    }
}

TEST_F(Catalogue, TableListTextsAndRows)
{
    const int nCnx = Open();
    Script(TablesQuery("(TABLE_TYPE='BASE TABLE') AND "), {L"b", L"A", L"c"});
    m_st.mapResult[TablesQuery("")] = {{L"TABLE_NAME", L"TABLE_SCHEMA", L"TABLE_TYPE"},
                                       {{L"t1", L"db", L"BASE TABLE"}, {L"v1", L"db", L"VIEW"},
                                        {L"t2", L"db", L"base table"}, {L"s", nullptr, L"SYSTEM VIEW"}}};
    struct {
        unsigned int nFlags;
        const wchar_t* pszFilter;
        const char* pszSent; // null: nothing sent
        int bResult;
        const wchar_t* pszList;
    } const tab[] = {
        {0x0, L"a%", nullptr, 1, L""},
        {0x10, nullptr, nullptr, 1, L""},
        {0x1, nullptr, "(TABLE_TYPE='BASE TABLE') AND ", 1, L"b\r\nA\r\nc"},
        {0x11, L"  ", "(TABLE_TYPE='BASE TABLE') AND ", 1, L"A\r\nb\r\nc"},
        {0x3, L"LIKE 'a%'",
         "(TABLE_TYPE='BASE TABLE' OR TABLE_TYPE='SYSTEM TABLE' OR TABLE_TYPE='VIEW') AND TABLE_NAME LIKE 'a%' AND ", 1,
         L"1\r\n2\r\n3"},
        {0x2, L"o'b\\%", "(TABLE_TYPE='SYSTEM TABLE' OR TABLE_TYPE='VIEW') AND TABLE_NAME LIKE 'o''b\\\\%' AND ", 1,
         L"1\r\n2\r\n3"},
        {0x4, L"NOT LIKE 'x%'", "TABLE_NAME NOT LIKE 'x%' AND ", 1, L"1\r\n2\r\n3"},
        {0x24, nullptr, "", 1, L"t1\tdb\tTABLE\r\nv1\tdb\tVIEW\r\nt2\tdb\tTABLE\r\ns\t\tSYSTEM VIEW"},
        {0x34, nullptr, "", 1, L"s\t\tSYSTEM VIEW\r\nt1\tdb\tTABLE\r\nt2\tdb\tTABLE\r\nv1\tdb\tVIEW"},
        {0x4, L"", "", 1, L"t1\r\nv1\r\nt2\r\ns"},
        // Three columns asked of a two-column result: the list stops.
        {0x24, L"a%", "TABLE_NAME LIKE 'a%' AND ", 0, L""},
    };
    for (const auto& t : tab) {
        SCOPED_TRACE(t.nFlags);
        CAny v;
        EXPECT_EQ(m_pSQL->bGetTableList(&v, nCnx, t.pszFilter, t.nFlags), t.bResult);
        EXPECT_EQ(TextW(v), t.pszList);
        EXPECT_FALSE(v.bIsNull());
        EXPECT_EQ(Sent(), t.pszSent != nullptr ? Texts{TablesQuery(t.pszSent)} : Texts{});
    }
    // A WHERE clause names SHOW TABLES' columns: not offered here.
    CAny v;
    EXPECT_EQ(m_pSQL->bGetTableList(&v, nCnx, L"WHERE Tables_in_db LIKE 'a%'", 0x1), 0);
    EXPECT_EQ(Code(), static_cast<unsigned int>(ZTERR_NOT_OFFERED));
    EXPECT_EQ(m_pSQL->piGetLastError()->eGetErrorType(), NA_ERRORTYPE_NOTOFFERED);
    EXPECT_TRUE(Sent().empty());
    // A refused text and a failed fetch fail the list.
    m_st.setRefused.insert(TablesQuery("(TABLE_TYPE='BASE TABLE') AND "));
    EXPECT_EQ(m_pSQL->bGetTableList(&v, nCnx, nullptr, 0x1), 0);
    EXPECT_EQ(Code(), 38u);
    m_st.setFetchFails.insert(TablesQuery(""));
    EXPECT_EQ(m_pSQL->bGetTableList(&v, nCnx, nullptr, 0x4), 0);
    EXPECT_EQ(Code(), 38u);
    // No connection of that number: nothing sent, nothing recorded.
    EXPECT_EQ(m_pSQL->bGetTableList(&v, nCnx + 99, nullptr, 0x1), 0);
    EXPECT_EQ(Code(), 0u);
    Sent();
    EXPECT_EQ(m_pSQL->bCloseConnection(nCnx), 1);
}

TEST_F(Catalogue, AnExceptionInAListGivesTheConnectionBack)
{
    const int nCnx = Open();
    m_st.bThrow = true;
    CAny v;
    EXPECT_EQ(m_pSQL->bGetTableList(&v, nCnx, nullptr, 0x1), 0);
    EXPECT_EQ(Code(), static_cast<unsigned int>(ZTERR_CANCELLED));
    EXPECT_EQ(m_pSQL->bGetColumnList(&v, nCnx, 7, 0), 0);
    m_st.bThrow = false;
    // The look-ups gave their references back: one close ends it.
    EXPECT_EQ(m_pSQL->bCloseConnection(nCnx), 1);
    EXPECT_EQ(m_st.nCloses, 1);
    EXPECT_EQ(m_pDriver->nGetNbConnection(), 0u);
}

TEST_F(Catalogue, ColumnSlots)
{
    const int nCnx = Open();
    CAny v;
    // The generic form needs the table's description, which the base
    // description cannot read.
    EXPECT_EQ(m_pSQL->bGetColumnList(&v, nCnx, L"t", 0), 0);
    EXPECT_EQ(m_pSQL->bGetColumnList(&v, nCnx + 99, L"t", 0), 0);
    // By statement: its result's column names.
    const int nStmt = Execute(nCnx, L"SELECT id, name FROM t");
    ASSERT_GT(nStmt, 0);
    EXPECT_EQ(m_pSQL->bGetColumnList(&v, nCnx, nStmt, 0), 1);
    EXPECT_EQ(TextW(v), L"id\r\nname");
    CAny w;
    EXPECT_EQ(m_pSQL->bGetColumnList(&w, nCnx, 0, 0), 0);
    EXPECT_EQ(m_pSQL->bGetColumnList(&w, nCnx + 99, nStmt, 0), 0);
    EXPECT_EQ(m_pSQL->bGetColumnList(&w, nCnx, nStmt + 99, 0), 0);
    EXPECT_TRUE(w.bIsNull() || TextW(w).empty());
    // The slot of all databases stays refused.
    EXPECT_EQ(m_pSQL->bGetDataBaseList(&v, 0), 0);
    EXPECT_EQ(Code(), static_cast<unsigned int>(ZTERR_NOT_OFFERED));
    EXPECT_EQ(m_pSQL->piGetLastError()->eGetErrorType(), NA_ERRORTYPE_NOTOFFERED);
    EXPECT_EQ(m_pSQL->bFreeStmt(nCnx, nStmt, 0), 1);
    EXPECT_EQ(m_pSQL->bCloseConnection(nCnx), 1);
}

TEST_F(Catalogue, DatabaseListsWithAndWithoutTables)
{
    const int nCnx = Open();
    CNAConnectionDescription* pcl = Connection(nCnx);
    Script(kSchemata, {L"b", L"A", L"c"});
    Script(SchemaQuery("A"), {L"t1", L"t2"});
    Script(SchemaQuery("b"), {});
    Script(SchemaQuery("c"), {L"t3"});
    struct {
        unsigned int nFlags;
        const wchar_t* pszList;
        Texts tabSent;
    } const tab[] = {
        {0x0, L"b\r\nA\r\nc", {kSchemata}},
        {0x10, L"A\r\nb\r\nc", {kSchemata}},
        {0x11, L"A\tt1\tt2\r\nb\t\r\nc\tt3", {kSchemata, SchemaQuery("A"), SchemaQuery("b"), SchemaQuery("c")}},
        {0x1, L"b\t\r\nA\tt1\tt2\r\nc\tt3", {kSchemata, SchemaQuery("b"), SchemaQuery("A"), SchemaQuery("c")}},
    };
    for (const auto& t : tab) {
        SCOPED_TRACE(t.nFlags);
        CXYString<wchar_t> cl;
        EXPECT_EQ(SQL()->bGetDatabaseList(&cl, pcl, t.nFlags), 1);
        EXPECT_EQ(std::wstring(cl.pszGet()), t.pszList);
        EXPECT_EQ(Sent(), t.tabSent);
    }
    // A failing table query stops the whole list, as a failing list of
    // databases does.
    m_st.setRefused.insert(SchemaQuery("b"));
    CXYStringConcat<wchar_t> clOut;
    EXPECT_EQ(SQL()->_bGetDatabaseList(&clOut, pcl, 0x11), 0);
    EXPECT_EQ(Sent(), (Texts{kSchemata, SchemaQuery("A"), SchemaQuery("b")}));
    m_st.setRefused.insert(kSchemata);
    EXPECT_EQ(SQL()->_bGetDatabaseList(&clOut, pcl, 0x0), 0);
    EXPECT_EQ(Code(), 38u);
    m_st.setRefused.clear();
    Sent();
    // Through the driver, into the host's string: an empty list empties it,
    // and an earlier error is gone.
    Script(kSchemata, {});
    CXYString<wchar_t> clHost(L"old", 3);
    m_pDriver->pclGetError()->RaiseUserError(NA_ERRORTYPE_GENERAL, 5, 99, nullptr, nullptr, nullptr, 9u, L"T");
    EXPECT_EQ(m_pDriver->bGetDatabaseList(&clHost, &m_host, 0x1), 1);
    EXPECT_EQ(clHost.pGetData(), nullptr);
    EXPECT_EQ(Code(), 0u);
    EXPECT_EQ(m_pSQL->bCloseConnection(nCnx), 1);
}

TEST_F(Catalogue, DriverListsLocksAndDiagnosis)
{
    Script(TablesQuery("(TABLE_TYPE='BASE TABLE') AND "), {L"orders"});
    CAny v;
    EXPECT_EQ(m_pDriver->bGetTableList(&v, &m_host, 0x1), 1);
    EXPECT_EQ(TextW(v), L"orders");
    // The connection made for the list is closed and gone with it.
    EXPECT_EQ(m_st.nOpens, 1);
    EXPECT_EQ(m_st.nCloses, 1);
    EXPECT_EQ(m_pDriver->nGetNbConnection(), 0u);
    Sent();

    // Locks and diagnosis need a registered connection.
    const struct {
        const char* pszName;
        std::function<int()> fn;
    } tabUnregistered[] = {
        {"table lock", [&] { return m_pDriver->bSQLBloqueTable(&m_host, L"orders"); }},
        {"query lock", [&] { return m_pDriver->bSQLBloqueRequete(&m_host, nullptr); }},
        {"diagnosis", [&] { return m_pDriver->bHConnexionDiagnose(&v, &m_host, L"x", 0); }},
    };
    for (const auto& t : tabUnregistered) {
        SCOPED_TRACE(t.pszName);
        m_pDriver->pclGetError()->RaiseUserError(NA_ERRORTYPE_GENERAL, 5, 99, nullptr, nullptr, nullptr, 9u, L"T");
        EXPECT_EQ(t.fn(), 0);
        EXPECT_EQ(Code(), static_cast<unsigned int>(ZTERR_NO_CONNECTION));
        EXPECT_EQ(m_pDriver->pclGetError()->pclGetXError()->nGetNbSubError(), 0);
        EXPECT_NE(Narrow(m_pDriver->pclGetError()->pszGetError()).find("cnx"), std::string::npos);
    }
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(m_st.nMade, 1);

    ASSERT_EQ(m_pDriver->bOpenConnection(&m_host), 1);
    EXPECT_EQ(m_pDriver->bSQLBloqueTable(&m_host, L"orders"), 1);
    EXPECT_EQ(Sent(), (Texts{"LOCK TABLE orders"}));
    // The base connection cannot lock a parsed query.
    EXPECT_EQ(m_pDriver->bSQLBloqueRequete(&m_host, nullptr), 0);
    EXPECT_EQ(m_pDriver->bHConnexionDiagnose(&v, &m_host, L"x", 0), 0);
    EXPECT_EQ(Code(), static_cast<unsigned int>(ZTERR_NOT_OFFERED));
    EXPECT_EQ(m_pDriver->pclGetError()->eGetErrorType(), NA_ERRORTYPE_NOTOFFERED);
    // The finds gave their references back: one close ends it.
    EXPECT_EQ(m_pDriver->bCloseConnection(&m_host), 1);
    EXPECT_EQ(m_pDriver->nGetNbConnection(), 0u);
}

TEST_F(Catalogue, DriverListsOnAConnectionThatDoesNotOpen)
{
    m_st.bFailOpen = true;
    CAny v;
    CXYString<wchar_t> cl;
    const struct {
        const char* pszName;
        std::function<int()> fn;
    } tab[] = {
        {"tables", [&] { return m_pDriver->bGetTableList(&v, &m_host, 0x1); }},
        {"databases", [&] { return m_pDriver->bGetDatabaseList(&cl, &m_host, 0x1); }},
        {"links", [&] { return m_pDriver->bGetLinkList(&v, L"c", nullptr, &m_host, 0x20); }},
    };
    for (const auto& t : tab) {
        SCOPED_TRACE(t.pszName);
        EXPECT_EQ(t.fn(), 0);
        EXPECT_EQ(Code(), static_cast<unsigned int>(ZTERR_CONNECT));
        EXPECT_EQ(m_pDriver->nGetNbConnection(), 0u);
        m_pDriver->pclGetError()->Reset();
    }
    EXPECT_TRUE(Sent().empty());
}

TEST_F(Catalogue, LinkListsOfOtherKindsAndWithoutTheDriver)
{
    const int nCnx = Open();
    CFakeConnection* pcl = Connection(nCnx);
    pcl->SetDataSource(CNAConnectionDescription::DS_GENERIC);
    CAny v;
    CNADriverSQL::g_SetListText(&v, L"as given", 8);
    EXPECT_EQ(SQL()->bGetLinkList(&v, pcl, L"c", nullptr, 0x20), 1);
    EXPECT_EQ(TextW(v), L"as given");
    EXPECT_TRUE(Sent().empty());
    // Once the driver is gone nothing is read.
    SQL()->_DriverGone();
    EXPECT_EQ(SQL()->CNADriverSQL::bGetColumnList(&v, pcl, L"c", 0), 0);
    EXPECT_EQ(TextW(v), L"as given");
}

TEST_F(Catalogue, LinkListThroughTheDriverKeepsAnEarlierError)
{
    m_st.mapResult["SHOW CREATE TABLE c"] = {
        {L"Table", L"Create Table"},
        {{L"c", L"CREATE TABLE c (a int, CONSTRAINT `fk1` FOREIGN KEY (`a`) REFERENCES `p` (`id`))"}}};
    m_pDriver->pclGetError()->RaiseUserError(NA_ERRORTYPE_GENERAL, 5, 99, nullptr, nullptr, nullptr, 9u, L"T");
    CAny v;
    EXPECT_EQ(m_pDriver->bGetLinkList(&v, L"c", nullptr, &m_host, 0x20), 1);
    EXPECT_EQ(TextW(v), L"fk1\tp\tid\t0,N\tc\ta\t0,1\t2021\t2021");
    EXPECT_EQ(Code(), 9u);
    EXPECT_EQ(Sent(), (Texts{"SHOW CREATE TABLE c"}));
    // Another result than a table's: nothing found, the value untouched.
    m_st.mapResult["SHOW CREATE TABLE v"] = {{L"View", L"Create View"}, {{L"v", L"CREATE VIEW v AS SELECT 1"}}};
    CAny w;
    EXPECT_EQ(m_pDriver->bGetLinkList(&w, L"v", nullptr, &m_host, 0x20), 1);
    EXPECT_TRUE(TextW(w).empty());
    // A result without columns: nothing found.
    EXPECT_EQ(m_pDriver->bGetLinkList(&w, L"nothing", nullptr, &m_host, 0x20), 1);
    EXPECT_TRUE(TextW(w).empty());
    // A refused text fails.
    m_st.setRefused.insert("SHOW CREATE TABLE c");
    EXPECT_EQ(m_pDriver->bGetLinkList(&w, L"c", nullptr, &m_host, 0x20), 0);
    EXPECT_EQ(m_pDriver->nGetNbConnection(), 0u);
}

TEST_F(Catalogue, LinkRowsAndRules)
{
    const std::wstring strHead = L"CREATE TABLE `c` (\n  `a` int(11) NOT NULL,\n  ";
    struct {
        const wchar_t* pszConstraint;
        const wchar_t* pszRow;
    } const tab[] = {
        {L"CONSTRAINT `fk1` FOREIGN KEY (`a`) REFERENCES `p` (`id`) ON DELETE CASCADE",
         L"fk1\tp\tid\t0,N\tc\ta\t0,1\t2021\t2022"},
        {L"CONSTRAINT `f` FOREIGN KEY (`a`) REFERENCES `p` (`id`) ON DELETE RESTRICT", L"f\tp\tid\t0,N\tc\ta\t0,1\t2021\t2021"},
        {L"CONSTRAINT `f` FOREIGN KEY (`a`) REFERENCES `p` (`id`) ON DELETE SET DEFAULT",
         L"f\tp\tid\t0,N\tc\ta\t0,1\t2021\t2021"},
        {L"CONSTRAINT `f` FOREIGN KEY (`a`) REFERENCES `p` (`id`) ON DELETE SET NULL", L"f\tp\tid\t0,N\tc\ta\t0,1\t2021\t2023"},
        {L"CONSTRAINT `f` FOREIGN KEY (`a`) REFERENCES `p` (`id`) ON DELETE NO ACTION", L"f\tp\tid\t0,N\tc\ta\t0,1\t2021\t2020"},
        {L"CONSTRAINT `f` FOREIGN KEY (`a`) REFERENCES `p` (`id`) ON UPDATE CASCADE", L"f\tp\tid\t0,N\tc\ta\t0,1\t2022\t2021"},
        {L"constraint\t`f`\tforeign key(`a`)references `p`(`x` ) on update set null on delete no action",
         L"f\tp\tx\t0,N\tc\ta\t0,1\t2023\t2020"},
        {L"CONSTRAINT\n`f`\r\nFOREIGN\nKEY\n(\n`a`\n)\nREFERENCES\n`p`\n(\n`id`\n)\nON\nDELETE\nSET\nNULL",
         L"f\tp\tid\t0,N\tc\ta\t0,1\t2021\t2023"},
        {L"CONSTRAINT `f``k` FOREIGN KEY (`a``b`) REFERENCES `p``q` (`i``d`)",
         L"f`k\tp`q\ti`d\t0,N\tc\ta`b\t0,1\t2021\t2021"},
        {L"CONSTRAINT `a` CHECK (`a` > 0)", L""},
        {L"CONSTRAINT `q` FOREIGN KEY (`a`) REFERENCES `other`.`p` (`id`)", L""},
        {L"CONSTRAINT `x` FOREIGN KEY (`a`) REFERENCES `p`", L""},
        {L"CONSTRAINT x FOREIGN KEY (`a`) REFERENCES `p` (`id`)", L""},
        {L"`b` int COMMENT 'CONSTRAINT `fk` FOREIGN KEY (`a`) REFERENCES `p` (`id`)'", L""},
        {L"`b` int COMMENT 'it''s \\' CONSTRAINT `fk` FOREIGN KEY (`a`) REFERENCES `p` (`id`)'", L""},
        {L"`CONSTRAINT` int, `x CONSTRAINT `", L""},
        {L"NOCONSTRAINT `fk` FOREIGN KEY (`a`) REFERENCES `p` (`id`)", L""},
    };
    for (const auto& t : tab) {
        SCOPED_TRACE(Narrow(t.pszConstraint));
        const std::wstring strCreate = strHead + t.pszConstraint + L"\n) ENGINE=InnoDB";
        EXPECT_EQ(Links(strCreate.c_str()), t.pszRow);
        // Without detailed rows, nothing.
        EXPECT_EQ(Links(strCreate.c_str(), 0x1), L"");
    }
    // Several constraints, one of them skipped.
    const std::wstring strCreate =
        strHead + L"CONSTRAINT `f1` FOREIGN KEY (`a`) REFERENCES `p` (`id`),\n  CONSTRAINT `f2` FOREIGN KEY (`a`) "
                  L"REFERENCES `db`.`p` (`id`),\n  CONSTRAINT `f3` FOREIGN KEY (`a`) REFERENCES `q` (`id`) ON DELETE "
                  L"CASCADE ON UPDATE CASCADE\n)";
    EXPECT_EQ(Links(strCreate.c_str()),
              L"f1\tp\tid\t0,N\tc\ta\t0,1\t2021\t2021\r\nf3\tq\tid\t0,N\tc\ta\t0,1\t2022\t2022");
    CXYStringConcat<wchar_t> cl;
    EXPECT_EQ(SQL()->_bExtraitLink_FromShowCreateTable(&cl, nullptr, L"c", nullptr, nullptr, 0x20), 1);
    EXPECT_EQ(cl.m_nLength, 0u);
}

TEST_F(Catalogue, LinkColumnsByCompositeKey)
{
    std::unique_ptr<CNADataSourceDescription, void (*)(CNADataSourceDescription*)> pcl(
        new CNADataSourceDescription(nullptr, nullptr), [](CNADataSourceDescription* p) { p->nExternalRelease(); });
    pcl->ExternalAddRef();
    for (const wchar_t* psz : {L"a", L"b"})
        ASSERT_EQ(pcl->bAddItem(psz, L"c", psz, 1, 4, NA_IT_I4, -1, -1, 0, 0, 0), 1);
    ASSERT_EQ(pcl->bAddItem(L"K", L"c", L"K", 1, 0, NA_IT_BINAIRE, -1, 0,
                            CNAItemDescription::KF_COMPOSITE | CNAItemDescription::KF_UNIQUE, 0, 0),
              1);
    CNAItemDescription* pclKey = pcl->pclNAGetItemNoRef(L"K", 2);
    ASSERT_EQ(pcl->_bAddItemComponent(pclKey, L"a"), 1);
    ASSERT_EQ(pcl->_bAddItemComponent(pclKey, L"b"), 1);
    const std::wstring strHead = L"CREATE TABLE `c` (`a` int, `b` int, ";
    struct {
        const wchar_t* pszConstraint;
        INADataSourceDescription* piTable;
        const wchar_t* pszRow;
    } const tab[] = {
        {L"CONSTRAINT `s` FOREIGN KEY (`a`, `b`) REFERENCES `c` (`A`, `B`))", pcl.get(),
         L"s\tc\tK\t0,N\tc\tK\t0,1\t2021\t2021"},
        {L"CONSTRAINT `s` FOREIGN KEY (`b`, `a`) REFERENCES `c` (`a`, `b`))", pcl.get(),
         L"s\tc\tK\t0,N\tc\tb,a\t0,1\t2021\t2021"},
        {L"CONSTRAINT `s` FOREIGN KEY (`a`, `b`) REFERENCES `c` (`a`))", pcl.get(), L"s\tc\ta\t0,N\tc\tK\t0,1\t2021\t2021"},
        // Another table's description cannot be loaded without a connection:
        // skipped.
        {L"CONSTRAINT `s` FOREIGN KEY (`a`, `b`) REFERENCES `p` (`a`, `b`))", pcl.get(), L""},
        {L"CONSTRAINT `s` FOREIGN KEY (`a`, `b`) REFERENCES `c` (`a`))", nullptr, L""},
        {L"CONSTRAINT `s` FOREIGN KEY (`a`) REFERENCES `c` (`a`))", nullptr, L"s\tc\ta\t0,N\tc\ta\t0,1\t2021\t2021"},
    };
    for (const auto& t : tab) {
        SCOPED_TRACE(Narrow(t.pszConstraint));
        EXPECT_EQ(Links((strHead + t.pszConstraint).c_str(), 0x20, t.piTable), t.pszRow);
    }
    // The caller's description is not released.
    EXPECT_EQ(pcl->nGetExternalRef(), 1u);
    // Nor with one whose catalogue the base description cannot read.
    const int nCnx = Open();
    CXYStringConcat<wchar_t> cl;
    EXPECT_EQ(SQL()->_bExtraitLink_FromShowCreateTable(
                  &cl, (strHead + L"CONSTRAINT `s` FOREIGN KEY (`a`, `b`) REFERENCES `p` (`a`, `b`))").c_str(), L"c",
                  Connection(nCnx), pcl.get(), 0x20),
              1);
    EXPECT_EQ(cl.m_nLength, 0u);
    EXPECT_EQ(m_pSQL->bCloseConnection(nCnx), 1);
}

TEST_F(Catalogue, LinkScanStopsAtTheEndOfEveryCutText)
{
    const std::wstring strCreate =
        L"CREATE TABLE `c` (\n  `a` int COMMENT 'x''\\'y',\n  `b``c` int,\n  CONSTRAINT `f``1` FOREIGN KEY (`a`) "
        L"REFERENCES `p` (`id`) ON DELETE SET NULL ON UPDATE NO ACTION,\n  CONSTRAINT `f2` FOREIGN KEY (`a`) "
        L"REFERENCES `d`.`p` (`id`),\n  CONSTRAINT `f3` FOREIGN KEY (`a`) REFERENCES `q` (`id`) ON DELETE CASCADE\n)";
    const std::wstring strFull = L"f`1\tp\tid\t0,N\tc\ta\t0,1\t2020\t2023\r\nf3\tq\tid\t0,N\tc\ta\t0,1\t2021\t2022";
    EXPECT_EQ(Links(strCreate.c_str()), strFull);
    auto Split = [](const std::wstring& s) {
        std::vector<std::wstring> tab;
        for (size_t i = 0; i < s.size();) {
            const size_t nEnd = std::min(s.find(L"\r\n", i), s.size());
            tab.push_back(s.substr(i, nEnd - i));
            i = nEnd + 2;
        }
        return tab;
    };
    const std::vector<std::wstring> tabFull = Split(strFull);
    for (size_t n = 0; n <= strCreate.size(); n++) {
        // A heap copy of exactly the cut text: any read past it is caught.
        std::unique_ptr<wchar_t[]> p(new wchar_t[n + 1]);
        strCreate.copy(p.get(), n);
        p[n] = 0;
        // A cut text lists the whole one's links in its order, the rules
        // aside (a cut rule reads as another one).
        const std::vector<std::wstring> tabRows = Split(Links(p.get()));
        ASSERT_LE(tabRows.size(), tabFull.size()) << n;
        for (size_t i = 0; i < tabRows.size(); i++)
            EXPECT_EQ(tabRows[i].substr(0, tabRows[i].size() - 10), tabFull[i].substr(0, tabFull[i].size() - 10)) << n;
    }
}

} // namespace
