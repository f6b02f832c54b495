// The catalogue lists of the SQL interface and of the driver over the
// recording back end: texts sent, rows as list text, filters, the driver
// core's locks and diagnosis, and the scan of CREATE TABLE texts for links.
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
typedef CNADriverSQL Q;

const char kSchemata[] = "SELECT SCHEMA_NAME FROM INFORMATION_SCHEMA.SCHEMATA ORDER BY SCHEMA_NAME";
const char kBase[] = "(TABLE_TYPE='BASE TABLE') AND ";

std::string TablesQuery(const std::string& strCondition)
{
    return "SELECT TABLE_NAME, TABLE_SCHEMA, TABLE_TYPE FROM INFORMATION_SCHEMA.TABLES WHERE " + strCondition +
           "TABLE_SCHEMA = SCHEMA() ORDER BY TABLE_SCHEMA, TABLE_NAME";
}

std::string SchemaQuery(const std::string& strDatabase)
{
    return "SELECT TABLE_NAME FROM INFORMATION_SCHEMA.TABLES WHERE " + std::string(kBase) + "TABLE_SCHEMA = '" +
           strDatabase + "' ORDER BY TABLE_NAME";
}

class Catalogue : public DriverSQL {
protected:
    CNADriverSQL* SQL() { return static_cast<CNADriverSQL*>(m_pSQL); }
    void Script(const std::string& strText, std::vector<const wchar_t*> tabValues)
    {
        STWorld::STResult& st = m_st.mapResult[strText];
        st.tabColumn = {L"n"};
        st.tabRow.clear();
        for (const wchar_t* psz : tabValues)
            st.tabRow.push_back({psz});
    }
    std::wstring Links(const wchar_t* pszCreate, int nFlags = 0x20, INADataSourceDescription* pi = nullptr,
                       CNAConnectionDescription* pcl = nullptr)
    {
        CXYStringConcat<wchar_t> cl;
        EXPECT_EQ(SQL()->_bExtraitLink_FromShowCreateTable(&cl, pszCreate, L"c", pcl, pi, nFlags), 1);
        return cl.pszGet();
    }
    void RaiseNine() { m_pDriver->pclGetError()->RaiseUserError(NA_ERRORTYPE_GENERAL, 5, 99, nullptr, nullptr, nullptr, 9u, L"T"); }
};

TEST_F(Catalogue, TableFilterKindsAndClauses)
{
    const struct {
        const wchar_t* pszFilter;
        Q::eTABLEFILTER eKind;
    } tab[] = {
        {nullptr, Q::TABLEFILTER_NONE}, {L" \t", Q::TABLEFILTER_NONE}, {L"  like'a%'", Q::TABLEFILTER_LIKE},
        {L"LIKE", Q::TABLEFILTER_LIKE}, {L"not\t like 'a'", Q::TABLEFILTER_LIKE},
        {L"\r\nNOT\r\nLIKE\n'a'", Q::TABLEFILTER_LIKE}, {L"WHERE\nx", Q::TABLEFILTER_WHERE},
        {L"where(x)", Q::TABLEFILTER_WHERE}, {L"a%", Q::TABLEFILTER_PATTERN}, {L"like%", Q::TABLEFILTER_PATTERN},
        {L"likes", Q::TABLEFILTER_PATTERN}, {L"NOTLIKE 'a'", Q::TABLEFILTER_PATTERN},
        {L"NOT 'a'", Q::TABLEFILTER_PATTERN}, {L"NOT", Q::TABLEFILTER_PATTERN}, {L"wherever", Q::TABLEFILTER_PATTERN},
    };
    for (const auto& t : tab)
        EXPECT_EQ(Q::g_eTableFilter(t.pszFilter), t.eKind) << (t.pszFilter != nullptr ? Narrow(t.pszFilter) : "");
    const int nCnx = Open();
    CTString cs(L"left over");
    EXPECT_EQ(SQL()->_bTableFilterClause(Connection(nCnx), nullptr, &cs), 1);
    EXPECT_EQ(cs.nTaille(), 0);
    EXPECT_EQ(SQL()->_bTableFilterClause(Connection(nCnx), L"x_%", &cs), 1);
    EXPECT_STREQ(cs.pszGet(), L"LIKE 'x_%'");
    EXPECT_EQ(m_pSQL->bCloseConnection(nCnx), 1);
}

TEST_F(Catalogue, TableListTextsAndRows)
{
    const int nCnx = Open();
    Script(TablesQuery(kBase), {L"b", L"A", L"c"});
    m_st.mapResult[TablesQuery("")] = {{L"TABLE_NAME", L"TABLE_SCHEMA", L"TABLE_TYPE"},
                                       {{L"t1", L"db", L"BASE TABLE"}, {L"v1", L"db", L"VIEW"},
                                        {L"t2", L"db", L"base table"}, {L"s", nullptr, L"SYSTEM VIEW"}}};
    const std::string strAll = "(TABLE_TYPE='BASE TABLE' OR TABLE_TYPE='SYSTEM TABLE' OR TABLE_TYPE='VIEW') AND ";
    const struct {
        unsigned int nFlags;
        const wchar_t* pszFilter;
        const char* pszSent; // null: nothing sent
        int bResult;
        const wchar_t* pszList;
    } tab[] = {
        {0x0, L"a%", nullptr, 1, L""},
        {0x10, nullptr, nullptr, 1, L""},
        {0x1, nullptr, kBase, 1, L"b\r\nA\r\nc"},
        {0x11, L"  ", kBase, 1, L"A\r\nb\r\nc"},
        {0x3, L"LIKE 'a%'", "(TABLE_TYPE='BASE TABLE' OR TABLE_TYPE='SYSTEM TABLE' OR TABLE_TYPE='VIEW') AND "
                            "TABLE_NAME LIKE 'a%' AND ", 1, L"1\r\n2\r\n3"},
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
    EXPECT_EQ(m_pSQL->piGetLastError()->eGetErrorType(), NA_ERRORTYPE_NOTOFFERED);
    EXPECT_TRUE(Sent().empty());
    // A refused text and a failed fetch fail the list; an unknown number
    // records nothing.
    m_st.setRefused.insert(TablesQuery(kBase));
    EXPECT_EQ(m_pSQL->bGetTableList(&v, nCnx, nullptr, 0x1), 0);
    EXPECT_EQ(Code(), 38u);
    m_st.setFetchFails.insert(TablesQuery(""));
    EXPECT_EQ(m_pSQL->bGetTableList(&v, nCnx, nullptr, 0x4), 0);
    EXPECT_EQ(Code(), 38u);
    EXPECT_EQ(m_pSQL->bGetTableList(&v, nCnx + 99, nullptr, 0x1), 0);
    EXPECT_EQ(Code(), 0u);
    // An exception gives the connection's look-up back: one close ends it.
    m_st.bThrow = true;
    EXPECT_EQ(m_pSQL->bGetTableList(&v, nCnx, nullptr, 0x1), 0);
    EXPECT_EQ(Code(), static_cast<unsigned int>(ZTERR_CANCELLED));
    m_st.bThrow = false;
    EXPECT_EQ(m_pSQL->bCloseConnection(nCnx), 1);
    EXPECT_EQ(m_pDriver->nGetNbConnection(), 0u);
}

TEST_F(Catalogue, ColumnSlots)
{
    const int nCnx = Open();
    CAny v, w;
    // The generic form needs a description the base cannot read.
    EXPECT_EQ(m_pSQL->bGetColumnList(&v, nCnx, L"t", 0), 0);
    EXPECT_EQ(m_pSQL->bGetColumnList(&v, nCnx + 99, L"t", 0), 0);
    const int nStmt = Execute(nCnx, L"SELECT id, name FROM t");
    EXPECT_EQ(m_pSQL->bGetColumnList(&v, nCnx, nStmt, 0), 1);
    EXPECT_EQ(TextW(v), L"id\r\nname");
    EXPECT_EQ(m_pSQL->bGetColumnList(&w, nCnx, 0, 0), 0);
    EXPECT_EQ(m_pSQL->bGetColumnList(&w, nCnx + 99, nStmt, 0), 0);
    EXPECT_EQ(m_pSQL->bGetColumnList(&w, nCnx, nStmt + 99, 0), 0);
    EXPECT_TRUE(TextW(w).empty());
    // The slot of all databases stays refused.
    EXPECT_EQ(m_pSQL->bGetDataBaseList(&v, 0), 0);
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
    const struct {
        unsigned int nFlags;
        const wchar_t* pszList;
        Texts tabSent;
    } tab[] = {
        {0x0, L"b\r\nA\r\nc", {kSchemata}},
        {0x10, L"A\r\nb\r\nc", {kSchemata}},
        {0x11, L"A\tt1\tt2\r\nb\t\r\nc\tt3", {kSchemata, SchemaQuery("A"), SchemaQuery("b"), SchemaQuery("c")}},
        {0x1, L"b\t\r\nA\tt1\tt2\r\nc\tt3", {kSchemata, SchemaQuery("b"), SchemaQuery("A"), SchemaQuery("c")}},
    };
    for (const auto& t : tab) {
        CXYString<wchar_t> cl;
        EXPECT_EQ(SQL()->bGetDatabaseList(&cl, pcl, t.nFlags), 1);
        EXPECT_EQ(std::wstring(cl.pszGet()), t.pszList) << t.nFlags;
        EXPECT_EQ(Sent(), t.tabSent) << t.nFlags;
    }
    // A failing table query stops the whole list, as a failing list of
    // databases does.
    m_st.setRefused.insert(SchemaQuery("b"));
    CXYStringConcat<wchar_t> clOut;
    EXPECT_EQ(SQL()->_bGetDatabaseList(&clOut, pcl, 0x11), 0);
    EXPECT_EQ(Sent(), (Texts{kSchemata, SchemaQuery("A"), SchemaQuery("b")}));
    m_st.setRefused = {kSchemata};
    EXPECT_EQ(SQL()->_bGetDatabaseList(&clOut, pcl, 0x0), 0);
    m_st.setRefused.clear();
    // Through the driver into the host's string: an empty list empties it,
    // and an earlier error is gone.
    Script(kSchemata, {});
    CXYString<wchar_t> clHost(L"old", 3);
    RaiseNine();
    EXPECT_EQ(m_pDriver->bGetDatabaseList(&clHost, &m_host, 0x1), 1);
    EXPECT_EQ(clHost.pGetData(), nullptr);
    EXPECT_EQ(Code(), 0u);
    EXPECT_EQ(m_pSQL->bCloseConnection(nCnx), 1);
}

TEST_F(Catalogue, DriverListsLocksAndDiagnosis)
{
    Script(TablesQuery(kBase), {L"orders"});
    CAny v;
    CXYString<wchar_t> cl;
    EXPECT_EQ(m_pDriver->bGetTableList(&v, &m_host, 0x1), 1);
    EXPECT_EQ(TextW(v), L"orders");
    // The connection made for the list is closed and gone with it.
    EXPECT_EQ(m_st.nCloses, 1);
    EXPECT_EQ(m_pDriver->nGetNbConnection(), 0u);
    // Lists on a connection that does not open fail with its error.
    m_st.bFailOpen = true;
    for (const std::function<int()>& fn :
         {std::function<int()>([&] { return m_pDriver->bGetTableList(&v, &m_host, 0x1); }),
          std::function<int()>([&] { return m_pDriver->bGetDatabaseList(&cl, &m_host, 0x1); }),
          std::function<int()>([&] { return m_pDriver->bGetLinkList(&v, L"c", nullptr, &m_host, 0x20); })}) {
        EXPECT_EQ(fn(), 0);
        EXPECT_EQ(Code(), static_cast<unsigned int>(ZTERR_CONNECT));
        m_pDriver->pclGetError()->Reset();
    }
    m_st.bFailOpen = false;
    Sent();
    // Locks and diagnosis need a registered connection; each resets first.
    for (const std::function<int()>& fn :
         {std::function<int()>([&] { return m_pDriver->bSQLBloqueTable(&m_host, L"orders"); }),
          std::function<int()>([&] { return m_pDriver->bSQLBloqueRequete(&m_host, nullptr); }),
          std::function<int()>([&] { return m_pDriver->bHConnexionDiagnose(&v, &m_host, L"x", 0); })}) {
        RaiseNine();
        EXPECT_EQ(fn(), 0);
        EXPECT_EQ(Code(), static_cast<unsigned int>(ZTERR_NO_CONNECTION));
        EXPECT_EQ(m_pDriver->pclGetError()->pclGetXError()->nGetNbSubError(), 0);
        EXPECT_NE(Narrow(m_pDriver->pclGetError()->pszGetError()).find("cnx"), std::string::npos);
    }
    EXPECT_TRUE(Sent().empty());
    ASSERT_EQ(m_pDriver->bOpenConnection(&m_host), 1);
    EXPECT_EQ(m_pDriver->bSQLBloqueTable(&m_host, L"orders"), 1);
    EXPECT_EQ(Sent(), (Texts{"LOCK TABLE orders"}));
    // The base connection locks no parsed query and diagnoses nothing.
    EXPECT_EQ(m_pDriver->bSQLBloqueRequete(&m_host, nullptr), 0);
    EXPECT_EQ(m_pDriver->bHConnexionDiagnose(&v, &m_host, L"x", 0), 0);
    EXPECT_EQ(m_pDriver->pclGetError()->eGetErrorType(), NA_ERRORTYPE_NOTOFFERED);
    // The finds gave their references back: one close ends it.
    EXPECT_EQ(m_pDriver->bCloseConnection(&m_host), 1);
    EXPECT_EQ(m_pDriver->nGetNbConnection(), 0u);
}

TEST_F(Catalogue, LinkListsThroughTheDriver)
{
    m_st.mapResult["SHOW CREATE TABLE c"] = {
        {L"Table", L"Create Table"},
        {{L"c", L"CREATE TABLE c (a int, CONSTRAINT `fk1` FOREIGN KEY (`a`) REFERENCES `p` (`id`))"}}};
    m_st.mapResult["SHOW CREATE TABLE v"] = {{L"View", L"Create View"}, {{L"v", L"CREATE VIEW v AS SELECT 1"}}};
    // An earlier error stays.
    RaiseNine();
    CAny v, w;
    EXPECT_EQ(m_pDriver->bGetLinkList(&v, L"c", nullptr, &m_host, 0x20), 1);
    EXPECT_EQ(TextW(v), L"fk1\tp\tid\t0,N\tc\ta\t0,1\t2021\t2021");
    EXPECT_EQ(Code(), 9u);
    // A view's text, or no result at all: nothing found, the value as it was.
    CNADriverSQL::g_SetListText(&w, L"as it was", 9);
    EXPECT_EQ(m_pDriver->bGetLinkList(&w, L"v", nullptr, &m_host, 0x20), 1);
    EXPECT_EQ(m_pDriver->bGetLinkList(&w, L"nothing", nullptr, &m_host, 0x20), 1);
    EXPECT_EQ(TextW(w), L"as it was");
    m_st.setRefused.insert("SHOW CREATE TABLE c");
    EXPECT_EQ(m_pDriver->bGetLinkList(&w, L"c", nullptr, &m_host, 0x20), 0);
    EXPECT_EQ(Sent(), (Texts{"SHOW CREATE TABLE c", "SHOW CREATE TABLE v", "SHOW CREATE TABLE nothing",
                             "SHOW CREATE TABLE c"}));
    // A connection of another kind answers 1, the value untouched; once the
    // driver is gone nothing is read.
    const int nCnx = Open();
    Connection(nCnx)->SetDataSource(CNAConnectionDescription::DS_GENERIC);
    EXPECT_EQ(SQL()->bGetLinkList(&v, Connection(nCnx), L"c", nullptr, 0x20), 1);
    EXPECT_TRUE(Sent().empty());
    SQL()->_DriverGone();
    EXPECT_EQ(SQL()->CNADriverSQL::bGetColumnList(&v, Connection(nCnx), L"c", 0), 0);
    EXPECT_EQ(TextW(v), L"fk1\tp\tid\t0,N\tc\ta\t0,1\t2021\t2021");
}

TEST_F(Catalogue, LinkRowsAndRules)
{
    const std::wstring strHead = L"CREATE TABLE `c` (\n  `a` int(11) NOT NULL,\n  ";
    const wchar_t* const pszFK = L"CONSTRAINT `f` FOREIGN KEY (`a`) REFERENCES `p` (`id`)";
    const struct {
        std::wstring strConstraint;
        const wchar_t* pszRow;
    } tab[] = {
        {std::wstring(pszFK) + L" ON DELETE CASCADE", L"f\tp\tid\t0,N\tc\ta\t0,1\t2021\t2022"},
        {std::wstring(pszFK) + L" ON DELETE RESTRICT", L"f\tp\tid\t0,N\tc\ta\t0,1\t2021\t2021"},
        {std::wstring(pszFK) + L" ON DELETE SET DEFAULT", L"f\tp\tid\t0,N\tc\ta\t0,1\t2021\t2021"},
        {std::wstring(pszFK) + L" ON DELETE SET NULL", L"f\tp\tid\t0,N\tc\ta\t0,1\t2021\t2023"},
        {std::wstring(pszFK) + L" ON DELETE NO ACTION", L"f\tp\tid\t0,N\tc\ta\t0,1\t2021\t2020"},
        {std::wstring(pszFK) + L" ON UPDATE CASCADE", L"f\tp\tid\t0,N\tc\ta\t0,1\t2022\t2021"},
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
        {L"`b` int COMMENT 'it''s \\' CONSTRAINT `fk` FOREIGN KEY (`a`) REFERENCES `p` (`id`)'", L""},
        {L"`CONSTRAINT` int, `x CONSTRAINT `", L""},
        {L"NOCONSTRAINT `fk` FOREIGN KEY (`a`) REFERENCES `p` (`id`)", L""},
        {L"zCONSTRAINT `fk` FOREIGN KEY (`a`) REFERENCES `p` (`id`)", L""},
        {L"Z9_$CONSTRAINT `fk` FOREIGN KEY (`a`) REFERENCES `p` (`id`)", L""},
    };
    for (const auto& t : tab) {
        const std::wstring strCreate = strHead + t.strConstraint + L"\n) ENGINE=InnoDB";
        EXPECT_EQ(Links(strCreate.c_str()), t.pszRow) << Narrow(t.strConstraint.c_str());
        // Without detailed rows, nothing.
        EXPECT_EQ(Links(strCreate.c_str(), 0x1), L"") << Narrow(t.strConstraint.c_str());
    }
    EXPECT_EQ(Links(nullptr), L"");
}

TEST_F(Catalogue, LinkColumnsByCompositeKey)
{
    std::unique_ptr<CNADataSourceDescription, void (*)(CNADataSourceDescription*)> pcl(
        new CNADataSourceDescription(nullptr, nullptr), [](CNADataSourceDescription* p) { p->nExternalRelease(); });
    pcl->ExternalAddRef();
    for (const wchar_t* psz : {L"a", L"b"})
        ASSERT_EQ(pcl->bAddItem(psz, L"c", psz, 1, 4, NA_IT_I4, -1, -1, 0, 0, 0), 1);
    ASSERT_EQ(pcl->bAddItem(L"K", L"c", L"K", 1, 0, NA_IT_BINAIRE, -1, 0, 0x5000, 0, 0), 1);
    for (const wchar_t* psz : {L"a", L"b"})
        ASSERT_EQ(pcl->_bAddItemComponent(pcl->pclNAGetItemNoRef(L"K", 2), psz), 1);
    const int nCnx = Open();
    const std::wstring strHead = L"CREATE TABLE `c` (`a` int, `b` int, CONSTRAINT `s` FOREIGN KEY ";
    const struct {
        const wchar_t* pszConstraint;
        INADataSourceDescription* piTable;
        CNAConnectionDescription* pclConnection;
        const wchar_t* pszRow;
    } tab[] = {
        {L"(`a`, `b`) REFERENCES `c` (`A`, `B`))", pcl.get(), nullptr, L"s\tc\tK\t0,N\tc\tK\t0,1\t2021\t2021"},
        {L"(`b`, `a`) REFERENCES `c` (`a`, `b`))", pcl.get(), nullptr, L"s\tc\tK\t0,N\tc\tb,a\t0,1\t2021\t2021"},
        {L"(`a`, `b`) REFERENCES `c` (`a`))", pcl.get(), nullptr, L"s\tc\ta\t0,N\tc\tK\t0,1\t2021\t2021"},
        // Another table's description, not loaded or not readable: skipped.
        {L"(`a`, `b`) REFERENCES `p` (`a`, `b`))", pcl.get(), nullptr, L""},
        {L"(`a`, `b`) REFERENCES `p` (`a`, `b`))", pcl.get(), Connection(nCnx), L""},
        {L"(`a`, `b`) REFERENCES `c` (`a`))", nullptr, nullptr, L""},
        {L"(`a`) REFERENCES `c` (`a`))", nullptr, nullptr, L"s\tc\ta\t0,N\tc\ta\t0,1\t2021\t2021"},
    };
    for (const auto& t : tab)
        EXPECT_EQ(Links((strHead + t.pszConstraint).c_str(), 0x20, t.piTable, t.pclConnection), t.pszRow)
            << Narrow(t.pszConstraint);
    // The caller's description is not released.
    EXPECT_EQ(pcl->nGetExternalRef(), 1u);
    EXPECT_EQ(m_pSQL->bCloseConnection(nCnx), 1);
}

TEST_F(Catalogue, LinkScanStopsAtTheEndOfEveryCutText)
{
    const std::wstring strCreate =
        L"CREATE TABLE `c` (\n  `a` int COMMENT 'x''\\'y',\n  `b``c` int,\n  CONSTRAINT `f``1` FOREIGN KEY (`a`) "
        L"REFERENCES `p` (`id`) ON DELETE SET NULL ON UPDATE NO ACTION,\n  CONSTRAINT `f2` FOREIGN KEY (`a`) "
        L"REFERENCES `d`.`p` (`id`),\n  CONSTRAINT `f3` FOREIGN KEY (`a`) REFERENCES `q` (`id`) ON DELETE CASCADE\n)";
    const std::vector<std::wstring> tabFull = {L"f`1\tp\tid\t0,N\tc\ta\t0,1\t2020\t2023",
                                               L"f3\tq\tid\t0,N\tc\ta\t0,1\t2021\t2022"};
    EXPECT_EQ(Links(strCreate.c_str()), tabFull[0] + L"\r\n" + tabFull[1]);
    for (size_t n = 0; n <= strCreate.size(); n++) {
        // A heap copy of exactly the cut text: any read past it is caught.
        std::unique_ptr<wchar_t[]> p(new wchar_t[n + 1]);
        strCreate.copy(p.get(), n);
        p[n] = 0;
        // The cut text lists the whole one's links in order, the rules aside
        // (a cut rule reads as another).
        const std::wstring s = Links(p.get());
        size_t nRow = 0;
        for (size_t i = 0; i < s.size(); nRow++) {
            const size_t nEnd = std::min(s.find(L"\r\n", i), s.size());
            ASSERT_LT(nRow, tabFull.size()) << n;
            EXPECT_EQ(s.substr(i, nEnd - i - 10), tabFull[nRow].substr(0, tabFull[nRow].size() - 10)) << n;
            i = nEnd + 2;
        }
    }
}

} // namespace
