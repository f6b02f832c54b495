// The digest of a host-parsed query, every case a query text through the
// host's parse stand-in over hand-made tables: the best parse item, the key
// rules by description version, writes through the query, cursors, kinds,
// automatic identifiers, memo sources, names and look-ups, a throwing host.
// Every digest is destroyed once and gives back all it took of the parse,
// the descriptions and the bind values.
#include "access/sql/SQLParserInfo.h"

#include "access/driver/NAError.h"
#include "access/statement/NAColumn.h"
#include "access/statement/NARecord.h"
#include "host/HostQueryParametersValue.h"
#include "tests/support/AnyValue.h"
#include "tests/support/HandDescriptions.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

typedef CNAItemDescription CItem;
const unsigned short KF_PK = CItem::KF_PRIMARY | CItem::KF_UNIQUE;
const unsigned short KF_UQ = CItem::KF_UNIQUE;
const unsigned short KF_DUP = CItem::KF_DUPLICATES;

class CCountedDigest : public CSQLParserInfo {
public:
    CCountedDigest(CNAError* pclError, ISQLParserInformation* pi, INAQueryParametersValue* piValues, int bCondition,
                   int* pnDestroyed)
        : CSQLParserInfo(pclError, pi, piValues, bCondition), m_pnDestroyed(pnDestroyed)
    {
    }
    ~CCountedDigest() override { (*m_pnDestroyed)++; }

private:
    int* m_pnDestroyed;
};

std::wstring Name(const wchar_t* psz) { return psz != nullptr ? psz : L"(null)"; }

class SQLParserInfo : public testing::Test {
protected:
    void SetUp() override
    {
        m_pclT = m_clHand.pclAdd(L"t", L"t_db", {{L"id", NA_IT_IDAUTO, KF_PK, false},
                                                 {L"code", NA_IT_I4, KF_UQ, false},
                                                 {L"name", NA_IT_TEXTE, KF_DUP, true},
                                                 {L"u", NA_IT_I4, KF_UQ, true},
                                                 {L"memo", NA_IT_MEMOTEXTE, 0, true},
                                                 {L"w", NA_IT_MEMOUNICODE, 0, true}});
        m_clHand.pclAdd(L"v", L"v_db", {{L"k", NA_IT_IDAUTO4, 0, true}, {L"name", NA_IT_TEXTE, 0, true}});
        m_nLiveItems = m_clHand.pDriver()->m_nLiveItems;
    }
    void TearDown() override
    {
        m_tabColumn.clear();
        for (CSQLParserInfo* p : m_tabDigest)
            EXPECT_EQ(p->nRelease(), 0u);
        EXPECT_EQ(m_nDestroyed, static_cast<int>(m_tabDigest.size()));
        for (auto& p : m_tabParse) {
            std::wstring strReport;
            EXPECT_EQ(p->nUnbalanced(&strReport), 0) << std::string(strReport.begin(), strReport.end());
            EXPECT_EQ(p->nOverReleases(), 0);
        }
        EXPECT_EQ(m_clHand.pDriver()->m_nLiveItems, m_nLiveItems);
        EXPECT_EQ(m_pclT->nGetExternalRef(), 1u);
        EXPECT_EQ(m_clValues.m_nRef, 0u);
    }
    // A table filed in the catalogue, whose items stay alive with it.
    void Table(const wchar_t* pszLogical, const wchar_t* pszPhysical, std::initializer_list<SHandItem> tabItem,
               int nItemVersion = 9)
    {
        const int nBefore = m_clHand.pDriver()->m_nLiveItems;
        m_clHand.pclAdd(pszLogical, pszPhysical, tabItem, nItemVersion);
        m_nLiveItems += m_clHand.pDriver()->m_nLiveItems - nBefore;
    }
    CHostSQLParse* Parse(const wchar_t* pszText)
    {
        std::wstring strError;
        m_tabParse.push_back(CHostSQLParse::pParse(pszText, &m_clHand.m_clCatalogue, &m_clValues, &strError));
        EXPECT_NE(m_tabParse.back(), nullptr) << std::string(strError.begin(), strError.end());
        return m_tabParse.back().get();
    }
    CSQLParserInfo* Digest(const wchar_t* pszText, int bCondition = 0, INAQueryParametersValue* piValues = nullptr)
    {
        return Digest(Parse(pszText), bCondition, piValues);
    }
    CSQLParserInfo* Digest(ISQLParserInformation* pi, int bCondition = 0, INAQueryParametersValue* piValues = nullptr)
    {
        CSQLParserInfo* p = new CCountedDigest(m_clHand.pDriver()->pclGetError(), pi, piValues, bCondition, &m_nDestroyed);
        p->AddRef();
        m_tabDigest.push_back(p);
        return p;
    }
    // A column of a query record named and typed like this.
    CNAColumn* Column(const wchar_t* pszName, eNA_ITEMTYPE eType, const wchar_t* pszNameInSource = nullptr,
                      const wchar_t* pszTable = L"")
    {
        CNAItemDescription* pcl = m_clHand.pDriver()->pclAllocItemDescription();
        pcl->AddRef();
        pcl->bInit(pszName, pszTable, pszNameInSource != nullptr ? pszNameInSource : pszName, 1, 8, eType, 0, -1, 0,
                   0, 0);
        m_tabColumn.emplace_back(new CNAColumn(m_clHand.pDriver()->pclGetError(), pcl));
        pcl->nRelease();
        return m_tabColumn.back().get();
    }

    CHandCatalogue m_clHand;
    CHostQueryParametersValue m_clValues;
    CNADataSourceDescription* m_pclT = nullptr;
    int m_nLiveItems = 0;
    std::vector<std::unique_ptr<CNAColumn>> m_tabColumn;
    std::vector<std::unique_ptr<CHostSQLParse>> m_tabParse;
    std::vector<CSQLParserInfo*> m_tabDigest;
    int m_nDestroyed = 0;
};

} // namespace

TEST_F(SQLParserInfo, BestParseItemOverOneAndTwoTables)
{
    struct {
        const wchar_t* pszQuery;
        const wchar_t *pszBest, *pszUniqueNotNull, *pszUnique, *pszKey, *pszOrderBy;
    } const aCase[] = {
        // The first unique item that cannot be NULL ends the detection.
        {L"SELECT name, code, id FROM t", L"code", L"code", L"code", L"code", nullptr},
        {L"SELECT name, u, id FROM t", L"id", L"id", L"id", L"id", nullptr},
        // A unique item that can be NULL takes the key from a key with duplicates.
        {L"SELECT name, u, memo FROM t", L"u", nullptr, L"u", L"u", nullptr},
        {L"SELECT memo, name FROM t", L"name", nullptr, nullptr, L"name", nullptr},
        {L"SELECT memo AS m, w FROM t", L"m", nullptr, nullptr, nullptr, nullptr},
        {L"SELECT id + 1 AS s, UPPER(name) FROM t", L"s", nullptr, nullptr, nullptr, nullptr},
        // The first ORDER BY item wins, keys or not.
        {L"SELECT code, name FROM t ORDER BY name DESC, code", L"name", L"code", L"code", L"code", L"name"},
        {L"SELECT code, name FROM t ORDER BY 2", L"name", L"code", L"code", L"code", L"name"},
        {L"SELECT code AS c FROM t ORDER BY memo", L"c", L"c", L"c", L"c", nullptr},
        // Over two tables no item is a key.
        {L"SELECT t.name, t.id, v.k FROM t, v", L"name", nullptr, nullptr, nullptr, nullptr},
        {L"SELECT t.id, v.k FROM t JOIN v ON t.code = v.k ORDER BY v.k", L"k", nullptr, nullptr, nullptr, L"k"},
    };
    for (const auto& st : aCase) {
        CSQLParserInfo* p = Digest(st.pszQuery);
        auto NameOf = [](IInfoRubrique* pi) { return Name(pi != nullptr ? pi->pszGetNom() : nullptr); };
        EXPECT_EQ(Name(p->pszGetBestParseItem()), Name(st.pszBest)) << st.pszQuery;
        EXPECT_EQ(NameOf(p->piGetUniqueNotNullItem()), Name(st.pszUniqueNotNull)) << st.pszQuery;
        EXPECT_EQ(NameOf(p->piGetUniqueItem()), Name(st.pszUnique)) << st.pszQuery;
        EXPECT_EQ(NameOf(p->piGetKeyItem()), Name(st.pszKey)) << st.pszQuery;
        EXPECT_EQ(Name(p->pszGetOrderByItem()), Name(st.pszOrderBy)) << st.pszQuery;
    }
    // A condition alone takes no ORDER BY: the keys decide.
    CSQLParserInfo* p = Digest(L"SELECT name, code FROM t WHERE id > 1 GROUP BY name HAVING COUNT(*) > 1 ORDER BY name", 1);
    EXPECT_EQ(Name(p->pszGetBestParseItem()), L"code");
    EXPECT_EQ(p->piEnumRubriqueClauseOrder(1), nullptr);
    EXPECT_EQ(p->piEnumRubriqueClauseGroupe(1), nullptr);
    EXPECT_NE(p->piGetWhereNoRef(), nullptr);
    EXPECT_EQ(p->piGetHavingNoRef(), nullptr);
    EXPECT_EQ(p->bHOperationAllowed(), 1);
    p = Digest(L"SELECT name, code FROM t WHERE id > 1 GROUP BY name HAVING COUNT(*) > 1");
    EXPECT_NE(p->piGetHavingNoRef(), nullptr);
    EXPECT_EQ(p->bHOperationAllowed(), 0);
}

TEST_F(SQLParserInfo, KeysByDescriptionVersion)
{
    // Before version 9 only an automatic identifier cannot be NULL; from 9
    // on the description says so. A composite key is passed over.
    Table(L"k8", L"k8", {{L"ab", NA_IT_BINAIRE, CItem::KF_COMPOSITE | KF_UQ, false},
                                   {L"n", NA_IT_I4, KF_UQ, false},
                                   {L"a4", NA_IT_IDAUTO4, KF_UQ, true},
                                   {L"a8", NA_IT_IDAUTO, KF_UQ, true}}, 8);
    Table(L"k9", L"k9", {{L"ab", NA_IT_BINAIRE, CItem::KF_COMPOSITE | KF_UQ, false},
                                   {L"a4", NA_IT_IDAUTO4, KF_UQ, true},
                                   {L"n", NA_IT_I4, KF_UQ, false},
                                   {L"d", NA_IT_I4, KF_DUP, false}}, 9);
    struct {
        const wchar_t* pszQuery;
        const wchar_t *pszUniqueNotNull, *pszUnique, *pszKey;
    } const aCase[] = {
        {L"SELECT ab, n, a4 FROM k8", L"a4", L"a4", L"a4"},
        {L"SELECT ab, n, a8 FROM k8", L"a8", L"a8", L"a8"},
        {L"SELECT ab, n FROM k8", nullptr, L"n", L"n"},
        {L"SELECT ab, d, a4, n FROM k9", L"n", L"n", L"n"},
        {L"SELECT ab, d, a4 FROM k9", nullptr, L"a4", L"a4"},
        {L"SELECT ab, d FROM k9", nullptr, nullptr, L"d"},
    };
    for (const auto& st : aCase) {
        CSQLParserInfo* p = Digest(st.pszQuery);
        auto NameOf = [](IInfoRubrique* pi) { return Name(pi != nullptr ? pi->pszGetNom() : nullptr); };
        EXPECT_EQ(NameOf(p->piGetUniqueNotNullItem()), Name(st.pszUniqueNotNull)) << st.pszQuery;
        EXPECT_EQ(NameOf(p->piGetUniqueItem()), Name(st.pszUnique)) << st.pszQuery;
        EXPECT_EQ(NameOf(p->piGetKeyItem()), Name(st.pszKey)) << st.pszQuery;
    }

    // The rules for any item: the chosen one itself, else its description;
    // 0 for computed items and while the digest has no such item.
    CSQLParserInfo* p = Digest(L"SELECT a4, a8, n, ab, n + 1 AS c FROM k8");
    struct {
        int i;
        int bUniqueNotNull, bUnique;
    } const aRule[] = {{0, 1, 1}, {1, 1, 1}, {2, 0, 1}, {3, 0, 1}, {4, 0, 0}};
    for (const auto& st : aRule) {
        EXPECT_EQ(p->bRubriqueUniqueNotNull(p->piGetRubriqueOUT(st.i)), st.bUniqueNotNull) << st.i;
        EXPECT_EQ(p->bRubriqueUnique(p->piGetRubriqueOUT(st.i)), st.bUnique) << st.i;
    }
    EXPECT_EQ(p->bRubriqueUnique(nullptr), 0);
    p = Digest(L"SELECT d, a4 FROM k9");
    EXPECT_EQ(p->bRubriqueUniqueNotNull(p->piGetRubriqueOUT(1)), 0);
    EXPECT_EQ(p->bRubriqueUnique(p->piGetRubriqueOUT(1)), 1);
    EXPECT_EQ(p->bRubriqueUnique(p->piGetRubriqueOUT(0)), 0);
    p = Digest(L"SELECT d FROM k9");
    EXPECT_EQ(p->bRubriqueUnique(p->piGetRubriqueOUT(0)), 0);
    // Over two tables the digest has none: 0 without asking.
    p = Digest(L"SELECT k9.n, k8.a8 FROM k9, k8");
    EXPECT_EQ(p->bRubriqueUniqueNotNull(p->piGetRubriqueOUT(0)), 0);
    EXPECT_EQ(p->bRubriqueUnique(p->piGetRubriqueOUT(1)), 0);
}

TEST_F(SQLParserInfo, WritesAllowed)
{
    struct {
        const wchar_t* pszQuery;
        int bAllowed;
    } const aCase[] = {
        {L"SELECT id, name FROM t", 1},
        {L"SELECT id + 1 AS x, name FROM t", 1},
        {L"SELECT COUNT(*) FROM t", 0},
        // The first computed item is no aggregate; a later one is.
        {L"SELECT id + 1 AS x, MAX(code) FROM t", 0},
        {L"SELECT name FROM t GROUP BY name", 0},
        {L"SELECT id, zz FROM t", 0},
        {L"SELECT DISTINCT name FROM t", 0},
        {L"select distinct name FROM t", 0},
        {L"SELECT\tDISTINCT\tname FROM t", 0},
        {L"SELECT\r\nDISTINCT\nname FROM t", 0},
        {L"SELECT DISTINCT(name) FROM t", 1},
        {L"SELECT Distinct name FROM t", 1},
        {L"SELECT name AS DISTINCTION FROM t", 1},
    };
    for (const auto& st : aCase)
        EXPECT_EQ(Digest(st.pszQuery)->bHOperationAllowed(), st.bAllowed) << st.pszQuery;
    // No parse: nothing forbids.
    EXPECT_EQ(Digest(static_cast<ISQLParserInformation*>(nullptr))->bHOperationAllowed(), 1);
}

TEST_F(SQLParserInfo, CursorsAndEntries)
{
    CSQLParserInfo* p = Digest(L"SELECT x.id, name, code FROM t AS x, v GROUP BY x.id, name ORDER BY code, 1");
    ASSERT_EQ(p->nGetFichierFromNbr(), 2);
    // 0 before any restart starts at the first; past the end stays null.
    IInfoFrom* piFirst = p->piEnumFichierFrom(0);
    ASSERT_NE(piFirst, nullptr);
    EXPECT_STREQ(piFirst->pszGetNomTable(), L"t");
    EXPECT_STREQ(p->piEnumFichierFrom(0)->pszGetNomTable(), L"v");
    EXPECT_EQ(p->piEnumFichierFrom(0), nullptr);
    EXPECT_EQ(p->piEnumFichierFrom(0), nullptr);
    EXPECT_EQ(p->piEnumFichierFrom(1), piFirst);
    // Two walks of one list share the cursor.
    EXPECT_STREQ(p->piEnumRubriqueOUT(1)->pszGetNom(), L"id");
    EXPECT_STREQ(p->piEnumRubriqueOUT(0)->pszGetNom(), L"name");
    EXPECT_STREQ(p->piEnumRubriqueOUT(0)->pszGetNom(), L"code");
    EXPECT_EQ(p->piEnumRubriqueOUT(0), nullptr);
    EXPECT_EQ(p->nGetRubriqueOUTNbr(), 3);
    EXPECT_EQ(p->piGetRubriqueOUT(-1), nullptr);
    EXPECT_EQ(p->piGetRubriqueOUT(3), nullptr);
    EXPECT_EQ(p->piEnumRubriqueOUT(L"NAME"), p->piGetRubriqueOUT(1));
    EXPECT_EQ(p->piEnumRubriqueOUT(L"nom"), nullptr);

    // The GROUP BY entries are the driver's copies of the host's.
    IInfoRequete* piLists = p->piGetSQLParserInformationNoRef()->piGetInfoRequete();
    IInfoGroupe* piHost = piLists->piGetNextGroupe(1);
    CInfoGroupe* pclCopy = p->piEnumRubriqueClauseGroupe(1);
    for (int i = 0; i < 2; i++) {
        ASSERT_NE(pclCopy, nullptr);
        EXPECT_NE(static_cast<IInfoGroupe*>(pclCopy), piHost);
        EXPECT_EQ(GroupFields(pclCopy), GroupFields(piHost));
        EXPECT_EQ(pclCopy->m_nRefCount, 1u);
        piHost = piLists->piGetNextGroupe(0);
        pclCopy = p->piEnumRubriqueClauseGroupe(0);
    }
    EXPECT_EQ(pclCopy, nullptr);
    EXPECT_EQ(p->piEnumRubriqueClauseOrder(1)->nGetIndiceColonne(), 2);
    EXPECT_EQ(p->piEnumRubriqueClauseOrder(0)->nGetIndiceColonne(), 0);
    EXPECT_EQ(p->piEnumRubriqueClauseOrder(0), nullptr);
    // A SELECT has no write entries.
    EXPECT_EQ(p->piEnumRubriqueUpdate(1), nullptr);
    EXPECT_EQ(p->piEnumRubriqueInsert(1), nullptr);

    p = Digest(L"UPDATE t SET name = 'x', code = code + 1 WHERE id = 3");
    EXPECT_EQ(p->eGetTypeRequete(), 3);
    EXPECT_EQ(p->nGetRubriqueOUTNbr(), 0);
    IInfoAffectation* piSet = p->piEnumRubriqueUpdate(1);
    ASSERT_NE(piSet, nullptr);
    IExpOpExpression* piColumn = piSet->piGetColonne();
    EXPECT_STREQ(piColumn->pszGetNomRubrique(), L"name");
    piColumn->nRelease();
    EXPECT_NE(p->piEnumRubriqueUpdate(0), nullptr);
    EXPECT_EQ(p->piEnumRubriqueUpdate(0), nullptr);
    EXPECT_EQ(p->piEnumRubriqueInsert(1), nullptr);
    EXPECT_EQ(p->bHOperationAllowed(), 1);

    p = Digest(L"INSERT INTO t (name, code) VALUES ('x', 2)");
    EXPECT_EQ(p->eGetTypeRequete(), 4);
    EXPECT_EQ(p->nGetRubriqueOUTNbr(), 2);
    ASSERT_NE(p->piEnumRubriqueInsert(0), nullptr);
    ASSERT_NE(p->piEnumRubriqueInsert(0), nullptr);
    EXPECT_EQ(p->piEnumRubriqueInsert(0), nullptr);
    EXPECT_EQ(p->piEnumRubriqueUpdate(1), nullptr);

    // Set again drops everything and gathers the new parse: the old one
    // gets all its references back at once.
    p = Digest(L"SELECT name FROM t GROUP BY name ORDER BY name");
    CHostSQLParse* piOld = m_tabParse.back().get();
    p->Set(Parse(L"DELETE FROM v WHERE k = 1"), nullptr, 0);
    EXPECT_EQ(piOld->nUnbalanced(), 0);
    EXPECT_EQ(p->piEnumRubriqueClauseGroupe(1), nullptr);
    EXPECT_EQ(p->piEnumRubriqueClauseOrder(1), nullptr);
    EXPECT_EQ(p->bHOperationAllowed(), 1);
    EXPECT_EQ(p->eGetTypeRequete(), 5);
    EXPECT_EQ(p->piEnumRubriqueInsert(1), nullptr);
    EXPECT_STREQ(p->piEnumFichierFrom(1)->pszGetNomTable(), L"v");
    EXPECT_EQ(p->nGetFichierFromNbr(), 1);
    p->Set(nullptr, nullptr, 0);
    EXPECT_EQ(p->pszGetRequete(), nullptr);
    EXPECT_EQ(p->nGetFichierFromNbr(), 0);
    EXPECT_EQ(p->pszGetBestParseItem(), nullptr);
    EXPECT_EQ(p->eGetTypeRequete(), 0);
}

TEST_F(SQLParserInfo, ExpressionKinds)
{
    // Each bound of the function ranges, and a kind on each side.
    const int anFunction[] = {6, 7, 8, 27, 31, 34, 46, 50, 57, 59, 66, 68, 72, 74, 95, 97, 103};
    const int anOther[] = {-1, 0, 5, 9, 26, 32, 33, 47, 48, 49, 58, 67, 73, 96, 104, 135};
    for (int n : anFunction)
        EXPECT_EQ(CSQLParserInfo::s_bIsFunction(n), 1) << n;
    for (int n : anOther)
        EXPECT_EQ(CSQLParserInfo::s_bIsFunction(n), 0) << n;
    for (int n = 20; n < 40; n++)
        EXPECT_EQ(CSQLParserInfo::s_bIsGroupmentColumn(n), n >= 27 && n <= 31) << n;
    // The kinds the stand-in gives its aggregates are the digest's.
    for (const wchar_t* psz : {L"COUNT", L"SUM", L"AVG", L"MIN", L"MAX"})
        EXPECT_EQ(CSQLParserInfo::s_bIsGroupmentColumn(nHostKind(psz)), 1);
}

TEST_F(SQLParserInfo, AutomaticIdentifiers)
{
    struct {
        const wchar_t* pszQuery;
        int bIdAuto;
    } const aCase[] = {
        {L"SELECT name, id FROM t", 1},       {L"SELECT k FROM v", 1},          {L"SELECT name, code FROM t", 0},
        {L"SELECT t.id, v.k FROM t, v", 0},   {L"SELECT id + 1 AS i FROM t", 0}, {L"SELECT * FROM v", 1},
    };
    for (const auto& st : aCase) {
        CHostSQLParse* pi = Parse(st.pszQuery);
        EXPECT_EQ(CSQLParserInfo::bQueryContainIdAuto(pi), st.bIdAuto) << st.pszQuery;
        EXPECT_EQ(Digest(pi)->bQueryContainIdAuto(), st.bIdAuto) << st.pszQuery;
    }
    EXPECT_EQ(CSQLParserInfo::bQueryContainIdAuto(nullptr), 0);
    EXPECT_EQ(Digest(static_cast<ISQLParserInformation*>(nullptr))->bQueryContainIdAuto(), 0);
}

TEST_F(SQLParserInfo, MemoSources)
{
    CSQLParserInfo* p = Digest(L"SELECT memo, name, UPPER(memo) AS um, LEN(name) AS ln, (1 + LEN(w)) * 2 AS lw, "
                               L"{p} AS pv, 'x' AS tx FROM t");
    struct {
        const wchar_t* pszColumn;
        eNA_ITEMTYPE eType;
        int bMemo;
    } const aCase[] = {
        {L"memo", NA_IT_MEMOTEXTE, 1},
        // A plain item answers its column's own test.
        {L"name", NA_IT_TEXTE, 0},
        {L"name", NA_IT_MEMOTEXTE, 1},
        {L"um", NA_IT_TEXTE, 1},
        {L"ln", NA_IT_I4, 0},
        {L"lw", NA_IT_I4, 1},
        {L"pv", NA_IT_TEXTE, 0},
        {L"tx", NA_IT_TEXTE, 0},
        {L"absent", NA_IT_MEMOTEXTE, 0},
    };
    for (const auto& st : aCase)
        EXPECT_EQ(p->bRubriqueSourceIsMemo(Column(st.pszColumn, st.eType)), st.bMemo) << st.pszColumn;
    EXPECT_EQ(p->bRubriqueSourceIsMemo(nullptr), 0);
    EXPECT_EQ(CSQLParserInfo::s_bExpressionReadsMemo(nullptr), 0);

    // Each type of a column node.
    Table(L"mt", L"mt", {{L"m15", NA_IT_MEMOTEXTE, 0, true}, {L"m16", NA_IT_MEMOBINAIRE4, 0, true},
                                   {L"m18", NA_IT_MEMOBINAIRE, 0, true}, {L"m30", NA_IT_MEMOUNICODE, 0, true},
                                   {L"uni", NA_IT_UNICODE, 0, true}, {L"img", NA_IT_IMAGE, 0, true},
                                   {L"bin", NA_IT_BINAIRE, 0, true}});
    p = Digest(L"SELECT UPPER(m15) AS a, UPPER(m16) AS b, UPPER(m18) AS c, UPPER(m30) AS d, UPPER(uni) AS e, "
               L"UPPER(img) AS f, UPPER(bin) AS g FROM mt");
    const int abMemo[] = {1, 1, 1, 1, 0, 0, 0};
    for (int i = 0; i < 7; i++) {
        IExpOpExpression* pi = p->piGetRubriqueOUT(i)->piGetExpression();
        EXPECT_EQ(CSQLParserInfo::s_bExpressionReadsMemo(pi), abMemo[i]) << i;
        pi->nRelease();
    }
}

TEST_F(SQLParserInfo, PhysicalNamesShareOneBuffer)
{
    Table(L"long", std::wstring(261, L'L').c_str(), {{L"a", NA_IT_I4, 0, true}});
    Table(L"longer", std::wstring(300, L'M').c_str(), {{L"a", NA_IT_I4, 0, true}});
    Table(L"fits", std::wstring(260, L'F').c_str(), {{L"a", NA_IT_I4, 0, true}});
    CSQLParserInfo* p = Digest(L"SELECT x.name, v.k FROM t AS x, v");
    const wchar_t* psz = p->pszGetPhysicalName(L"t");
    ASSERT_NE(psz, nullptr);
    EXPECT_STREQ(psz, L"t_db");
    EXPECT_EQ(p->pszGetPhysicalName(L"v"), psz);
    EXPECT_STREQ(psz, L"v_db");
    // The host fills all 261 characters without an end: the answer ends.
    EXPECT_EQ(std::wstring(p->pszGetPhysicalName(L"long")), std::wstring(261, L'L'));
    EXPECT_EQ(std::wstring(p->pszGetPhysicalName(L"longer")), std::wstring(261, L'M'));
    EXPECT_EQ(std::wstring(p->pszGetPhysicalName(L"fits")), std::wstring(260, L'F'));
    EXPECT_EQ(p->pszGetPhysicalName(L"unknown"), nullptr);
    EXPECT_EQ(p->pszGetPhysicalName(L""), nullptr);
    EXPECT_EQ(p->pszGetPhysicalName(static_cast<const wchar_t*>(nullptr)), nullptr);
    EXPECT_EQ(CSQLParserInfo::pszGetPhysicalName(L"t", nullptr), nullptr);
    EXPECT_STREQ(CSQLParserInfo::pszGetPhysicalName(L"t", p->piGetSQLParserInformationNoRef()), L"t_db");
    // An output item: the physical name of its table, else the name itself.
    EXPECT_STREQ(p->pszGetPhysicalName(p->piGetRubriqueOUT(0)), L"x");
    EXPECT_STREQ(p->pszGetPhysicalName(p->piGetRubriqueOUT(1)), L"v_db");
    EXPECT_EQ(p->pszGetPhysicalName(static_cast<IInfoRubrique*>(nullptr)), nullptr);
}

TEST_F(SQLParserInfo, TablesAndAliases)
{
    CSQLParserInfo* p = Digest(L"SELECT x.name, v.k, t2.a FROM t AS x, v, t2 AS t2");
    INADataSourceDescription* pi = reinterpret_cast<INADataSourceDescription*>(1);
    EXPECT_EQ(p->bIsTableAlias(L"x", &pi), 1);
    EXPECT_EQ(pi, nullptr);
    EXPECT_EQ(p->bIsTableAlias(L"X", nullptr), 1);
    // A table's own name: its FROM entry's data source.
    EXPECT_EQ(p->bIsTableAlias(L"t", &pi), 0);
    EXPECT_EQ(pi, m_pclT);
    pi->nExternalRelease();
    EXPECT_EQ(p->bIsTableAlias(L"v", &pi), 0);
    ASSERT_NE(pi, nullptr);
    EXPECT_STREQ(pi->pszGetLogicalName(), L"v");
    pi->nExternalRelease();
    // An alias equal to its table's name is the name the FROM clause reads
    // the entry by, as written there.
    EXPECT_EQ(p->bIsTableAlias(L"T2", &pi), 1);
    EXPECT_EQ(pi, nullptr);
    EXPECT_STREQ(p->pszGetFromAlias(L"T2"), L"t2");
    EXPECT_STREQ(p->pszGetFromAlias(L"X"), L"x");
    EXPECT_EQ(p->pszGetFromAlias(L"v"), nullptr);
    EXPECT_EQ(p->pszGetFromAlias(L"none"), nullptr);
    EXPECT_STREQ(p->pszGetTableAlias(L"T2"), L"t2");
    EXPECT_EQ(p->pszGetTableAlias(L"v"), nullptr);
    // A name as written wins over one of another case.
    CSQLParserInfo* pCase = Digest(L"SELECT X.k FROM v X, t x");
    EXPECT_STREQ(pCase->pszGetFromAlias(L"x"), L"x");
    EXPECT_STREQ(pCase->pszGetFromAlias(L"X"), L"X");
    EXPECT_EQ(pCase->bIsTableAlias(L"T", &pi), 0);
    EXPECT_EQ(pi, m_pclT);
    pi->nExternalRelease();
    EXPECT_STREQ(pCase->pszGetAliasTableName(L"x"), L"t");
    EXPECT_STREQ(pCase->pszGetAliasTableName(L"none"), L"none");
    // A name that stands for several entries, none named so as written,
    // stands for none of them; one named so case and accents ignored is
    // that one.
    CSQLParserInfo* pTwo = Digest(L"SELECT X.k FROM v \u00e9, t e, v Ab, t aB, v X");
    const struct {
        const wchar_t* pszName;
        const wchar_t* pszAlias; // null: none
        int bSeveral;
    } aNamed[] = {
        {L"\u00e9", L"\u00e9", 0}, {L"e", L"e", 0}, {L"E", nullptr, 1}, {L"\u00c9", nullptr, 1},
        {L"Ab", L"Ab", 0},         {L"ab", nullptr, 1}, {L"x", L"X", 0},      {L"none", nullptr, 0},
        {L"", nullptr, 0},
    };
    for (const auto& k : aNamed) {
        EXPECT_EQ(Name(pTwo->pszGetFromAlias(k.pszName)), Name(k.pszAlias)) << Name(k.pszName);
        EXPECT_EQ(pTwo->bNamesSeveralFrom(k.pszName), k.bSeveral) << Name(k.pszName);
    }
    EXPECT_EQ(pTwo->bIsTableAlias(L"AB", nullptr), 0);
    // No FROM entry: the description by name.
    Table(L"w", L"w_db", {{L"a", NA_IT_I4, 0, true}});
    EXPECT_EQ(p->bIsTableAlias(L"w", &pi), 0);
    ASSERT_NE(pi, nullptr);
    EXPECT_STREQ(pi->pszGetDBTableName(), L"w_db");
    pi->nExternalRelease();
    EXPECT_EQ(p->bIsTableAlias(L"none", &pi), 0);
    EXPECT_EQ(pi, nullptr);

    EXPECT_EQ(p->csGetFichierFrom_DBTableName(0), CTString(L"t_db"));
    EXPECT_EQ(p->csGetFichierFrom_DBTableName(1), CTString(L"v_db"));
    EXPECT_EQ(p->csGetFichierFrom_DBTableName(2), CTString(L""));
    EXPECT_EQ(p->csGetFichierFrom_DBTableName(3), CTString(L""));
    EXPECT_EQ(p->csGetFichierFrom_DBTableName(-1), CTString(L""));
    pi = p->piGetNADataSourceDescription(L"T");
    EXPECT_EQ(pi, m_pclT);
    pi->nExternalRelease();
    EXPECT_EQ(p->piGetNADataSourceDescription(L"x"), nullptr);
    EXPECT_EQ(Digest(static_cast<ISQLParserInformation*>(nullptr))->piGetNADataSourceDescription(L"t"), nullptr);

    // A column of any FROM entry's table, its case ignored as the server
    // ignores it, not its accents. Every item taken is given back.
    const auto Taken = [&] {
        unsigned int n = 0;
        for (int k = 0; k < static_cast<int>(m_pclT->nGetNumItems()); k++)
            n += m_pclT->pclNAGetItemNoRef(k)->nGetExternalRef();
        return n;
    };
    const unsigned int nTaken = Taken();
    p = Digest(L"SELECT x.name FROM t AS x, v");
    EXPECT_EQ(p->bColumnMayBeNamed(L"K"), 1);
    EXPECT_EQ(p->bColumnMayBeNamed(L"x"), 0);
    EXPECT_EQ(p->bColumnMayBeNamed(L"m\u00e9mo"), 0);
    EXPECT_EQ(Taken(), nTaken);
}

TEST_F(SQLParserInfo, OutputItemsByAlias)
{
    CSQLParserInfo* p = Digest(L"SELECT x.name AS n, v.name, code + 1 AS c, x.code AS \"Épi\" FROM t AS x, v");
    struct {
        const wchar_t *pszTable, *pszAlias;
        int nIndex;
    } const aCase[] = {
        {L"", L"n", 0},   {L"x", L"N", 0},    {L"v", L"n", -1},   {L"", L"name", 1}, {L"v", L"name", 1},
        {L"x", L"name", -1}, {L"", L"c", 2},  {L"x", L"c", -1},   {nullptr, L"C", 2}, {L"", L"epi", 3},
        {L"x", L"EPI", 3}, {L"", L"zz", -1},
    };
    for (const auto& st : aCase) {
        IInfoRubrique* pi = p->piGetInfoRubriqueFromAlias(st.pszTable, st.pszAlias);
        EXPECT_EQ(pi, p->piGetRubriqueOUT(st.nIndex)) << st.pszAlias;
        if (pi != nullptr) {
            // With a reference for the caller.
            EXPECT_EQ(pi->m_nRefCount, 3u);
            CRefTraits<IInfoRubrique>::Release(pi);
        }
    }
    // The parser's own list, not the digest's cursor.
    p->piEnumRubriqueOUT(1);
    IInfoRubrique* pi = CSQLParserInfo::g_piGetInfoRubriqueFromAlias(p->piGetSQLParserInformationNoRef(), L"", L"c");
    EXPECT_EQ(pi, p->piGetRubriqueOUT(2));
    CRefTraits<IInfoRubrique>::Release(pi);
    EXPECT_EQ(p->piEnumRubriqueOUT(0), p->piGetRubriqueOUT(1));
    EXPECT_EQ(CSQLParserInfo::g_piGetInfoRubriqueFromAlias(nullptr, L"", L"c"), nullptr);

    // A table stands for a FROM entry as a FROM name does: an item of an
    // entry named so in another case or with other accents is another's.
    CSQLParserInfo* pTwo = Digest(L"SELECT T.name, \u00e9.code, e.u, z.k FROM t T, v t, t \u00e9, t e, v Z");
    struct {
        const wchar_t *pszTable, *pszAlias;
        int nIndex;
    } const aTwo[] = {
        {L"T", L"name", 0},  {L"t", L"name", -1}, {L"\u00e9", L"code", 1}, {L"e", L"code", -1},
        {L"E", L"code", -1}, {L"e", L"u", 2},     {L"\u00c9", L"u", -1},   {L"z", L"k", 3},
        {L"Z", L"k", 3},     {L"y", L"k", -1},
    };
    for (const auto& st : aTwo) {
        IInfoRubrique* pi = pTwo->piGetInfoRubriqueFromAlias(st.pszTable, st.pszAlias);
        EXPECT_EQ(pi, pTwo->piGetRubriqueOUT(st.nIndex)) << Name(st.pszTable) << "." << Name(st.pszAlias);
        if (pi != nullptr)
            CRefTraits<IInfoRubrique>::Release(pi);
    }
}

TEST_F(SQLParserInfo, OrderByAndGroupByOfAColumn)
{
    CSQLParserInfo* p = Digest(L"SELECT x.name AS n, code, memo FROM t AS x GROUP BY n, code ORDER BY code DESC, n");
    struct {
        const wchar_t *pszName, *pszNameInSource, *pszTable;
        int nOrder;
    } const aCase[] = {
        {L"code", nullptr, L"", 0},
        {L"N", nullptr, L"", 1},
        // By its source item in the table's physical name.
        {L"other", L"name", L"x", 1},
        {L"other", L"code", L"x", 0},
        {L"other", L"code", L"t", -1},
        {L"memo", nullptr, L"", -1},
    };
    for (const auto& st : aCase) {
        CNAColumn* pcl = Column(st.pszName, NA_IT_I4, st.pszNameInSource, st.pszTable);
        IInfoOrderBy* pi = p->piGetRubriqueClauseOrder(pcl);
        if (st.nOrder < 0) {
            EXPECT_EQ(pi, nullptr) << st.pszName;
            continue;
        }
        IInfoOrderBy* piWant = p->piEnumRubriqueClauseOrder(1);
        for (int i = 0; i < st.nOrder; i++)
            piWant = p->piEnumRubriqueClauseOrder(0);
        EXPECT_EQ(pi, piWant) << st.pszName;
    }
    EXPECT_EQ(p->piGetRubriqueClauseOrder(nullptr), nullptr);
    CInfoGroupe* pclFirst = p->piEnumRubriqueClauseGroupe(1);
    EXPECT_EQ(p->piGetRubriqueClauseGroupe(Column(L"n", NA_IT_TEXTE)), pclFirst);
    EXPECT_EQ(p->piGetRubriqueClauseGroupe(Column(L"CODE", NA_IT_I4)), p->piEnumRubriqueClauseGroupe(0));
    EXPECT_EQ(p->piGetRubriqueClauseGroupe(Column(L"name", NA_IT_TEXTE)), nullptr);
    EXPECT_EQ(p->piGetRubriqueClauseGroupe(nullptr), nullptr);
    // Without an alias the table's database name is compared.
    p = Digest(L"SELECT name FROM t ORDER BY name");
    EXPECT_EQ(p->piGetRubriqueClauseOrder(Column(L"other", NA_IT_I4, L"name", L"t_db")), p->piEnumRubriqueClauseOrder(1));
    EXPECT_EQ(p->piGetRubriqueClauseOrder(Column(L"other", NA_IT_I4, L"name", L"t")), nullptr);
    // The direction written after an entry, in either case; none is
    // ascending.
    p = Digest(L"SELECT name, code, u FROM t ORDER BY name desc, code, u DESC");
    EXPECT_EQ(p->nGetSensTri(p->piGetClauseOrder(0)), 1);
    EXPECT_EQ(p->nGetSensTri(p->piGetClauseOrder(1)), 0);
    EXPECT_EQ(p->nGetSensTri(p->piGetClauseOrder(2)), 1);
    EXPECT_EQ(p->nGetSensTri(nullptr), 0);
}

TEST_F(SQLParserInfo, BindValuesRecordAndLimits)
{
    m_clValues.m_bPrepared = 1;
    CSQLParserInfo* p = Digest(L"SELECT name FROM t WHERE code = {p} LIMIT 10", 0, &m_clValues);
    EXPECT_EQ(m_clValues.m_nRef, 1u);
    EXPECT_EQ(p->bHPrepareRequeteCalled(), 1);
    INAQueryParametersValue* pi = p->piGetUserBindVariable();
    EXPECT_EQ(pi, &m_clValues);
    EXPECT_EQ(m_clValues.m_nRef, 2u);
    pi->nExternalRelease();
    m_clValues.m_bPrepared = 0;
    EXPECT_EQ(p->bHPrepareRequeteCalled(), 0);
    EXPECT_EQ(p->bQueryResultsetLimited(nullptr), 1);
    // Set again with the same values keeps them held once.
    p->Set(p->piGetSQLParserInformationNoRef(), &m_clValues, 0);
    EXPECT_EQ(m_clValues.m_nRef, 1u);
    // Without a parse the values are still set.
    p->Set(nullptr, &m_clValues, 0);
    EXPECT_EQ(p->piGetUserBindVariable(), &m_clValues);
    m_clValues.nExternalRelease();
    EXPECT_EQ(p->bQueryResultsetLimited(nullptr), 0);
    p->Set(nullptr, nullptr, 0);
    EXPECT_EQ(m_clValues.m_nRef, 0u);
    EXPECT_EQ(p->piGetUserBindVariable(), nullptr);
    EXPECT_EQ(p->bHPrepareRequeteCalled(), 0);

    EXPECT_EQ(Digest(L"SELECT name FROM t")->bQueryResultsetLimited(nullptr), 0);
    EXPECT_EQ(Digest(L"SELECT name AS LIMIT5 FROM t")->bQueryResultsetLimited(nullptr), 0);

    // The record: one reference while held, given back by the destructor.
    CNARecord* pclRecord = new CNARecord(nullptr, nullptr);
    pclRecord->AddRef();
    int nDestroyed = 0;
    p = new CCountedDigest(nullptr, Parse(L"SELECT name FROM t"), nullptr, 0, &nDestroyed);
    p->AddRef();
    EXPECT_EQ(p->pclGetRecordNoRef(), nullptr);
    p->SetRecord(pclRecord);
    EXPECT_EQ(pclRecord->nGetRef(), 2u);
    EXPECT_EQ(p->pclGetRecordNoRef(), pclRecord);
    p->SetRecord(pclRecord);
    EXPECT_EQ(pclRecord->nGetRef(), 2u);
    p->SetRecord(nullptr);
    EXPECT_EQ(pclRecord->nGetRef(), 1u);
    p->SetRecord(pclRecord);
    EXPECT_EQ(p->nRelease(), 0u);
    EXPECT_EQ(nDestroyed, 1);
    EXPECT_EQ(pclRecord->nGetRef(), 1u);
    EXPECT_EQ(pclRecord->nRelease(), 0u);
}

TEST_F(SQLParserInfo, AThrowingHost)
{
    CHostSQLParse* pi = Parse(L"SELECT name, code, x.id FROM t AS x");
    pi->m_bThrowOnLookup = true;
    // The key detection finds no description: the first item is the best.
    CSQLParserInfo* p = Digest(pi);
    EXPECT_EQ(Name(p->pszGetBestParseItem()), L"name");
    EXPECT_EQ(p->piGetUniqueItem(), nullptr);
    EXPECT_EQ(p->piGetItemDescription(p->piGetRubriqueOUT(1)), nullptr);
    EXPECT_EQ(p->bRubriqueUnique(p->piGetRubriqueOUT(1)), 0);
    EXPECT_EQ(p->pszGetPhysicalName(L"t"), nullptr);
    EXPECT_EQ(p->csGetFichierFrom_DBTableName(0), CTString(L""));
    EXPECT_EQ(p->piGetNADataSourceDescription(L"t"), nullptr);
    INADataSourceDescription* piSource = reinterpret_cast<INADataSourceDescription*>(1);
    EXPECT_EQ(p->bIsTableAlias(L"t", &piSource), 0);
    EXPECT_EQ(piSource, nullptr);
    EXPECT_EQ(p->bIsTableAlias(L"elsewhere", &piSource), 0);
    EXPECT_EQ(piSource, nullptr);
    // Columns unknown: any name may be one.
    EXPECT_EQ(p->bColumnMayBeNamed(L"elsewhere"), 1);
    pi->m_bThrowOnLists = true;
    EXPECT_EQ(p->piGetInfoRubriqueFromAlias(L"", L"name"), nullptr);
    pi->m_bThrowOnLists = false;
    // The host mended: the same digest answers.
    pi->m_bThrowOnLookup = false;
    INAItemDescription* piItem = p->piGetItemDescription(p->piGetRubriqueOUT(1));
    ASSERT_NE(piItem, nullptr);
    EXPECT_STREQ(piItem->pszGetName(), L"code");
    piItem->nExternalRelease();
    EXPECT_STREQ(p->pszGetPhysicalName(L"t"), L"t_db");
    // A computed item has no description, whatever the host says.
    p = Digest(L"SELECT code + 1 AS c FROM t");
    EXPECT_EQ(p->piGetItemDescription(p->piGetRubriqueOUT(0)), nullptr);
    EXPECT_EQ(p->piGetItemDescription(nullptr), nullptr);
}

TEST_F(SQLParserInfo, QueryTextAndTrees)
{
    const wchar_t* pszText = L"SELECT name FROM t WHERE code > 1 GROUP BY name HAVING COUNT(*) > 0";
    CHostSQLParse* pi = Parse(pszText);
    CSQLParserInfo* p = Digest(pi);
    EXPECT_EQ(p->pszGetRequete(), pi->pszGetRequete());
    EXPECT_EQ(p->piGetSQLParserInformationNoRef(), pi);
    EXPECT_EQ(pi->m_nRefCount, 2u);
    ASSERT_NE(p->piGetWhereNoRef(), nullptr);
    EXPECT_EQ(p->piGetWhereNoRef()->eGetOperateur(), 13);
    EXPECT_EQ(p->piGetWhereNoRef()->m_nRefCount, 2u);
    ASSERT_NE(p->piGetHavingNoRef(), nullptr);
    EXPECT_EQ(p->piGetHavingNoRef()->m_nRefCount, 2u);
    EXPECT_EQ(p->pclGetErrorNoRef(), m_clHand.pDriver()->pclGetError());
    // Each entry holds one reference of the digest.
    EXPECT_EQ(p->piGetRubriqueOUT(0)->m_nRefCount, 2u);
    EXPECT_EQ(p->piEnumFichierFrom(1)->m_nRefCount, 2u);
}
