// The stand-in of the host's query parse: every position is checked against
// the text it marks, the trees by their kinds and texts, the tables of
// values and item references, the look-ups of the catalogue and the
// reference counts.
#include "host/HostQueryParametersValue.h"
#include "host/parse/HostSQLParse.h"
#include "tests/support/AnyValue.h"
#include "tests/support/HandDescriptions.h"
#include "tests/support/ProcessLocale.h"
#include "tests/support/TestHost.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// The text a position marks ("" for none).
std::wstring At(const std::wstring& strText, tagRECT st)
{
    if (st.left < 0 || st.right < st.left || st.right >= static_cast<int>(strText.size()))
        return L"";
    return strText.substr(static_cast<size_t>(st.left), static_cast<size_t>(st.right - st.left + 1));
}

std::wstring KindName(int nKind)
{
    for (int i = 0; i < g_nHostKind; i++)
        if (g_astHostKind[i].nKind == nKind)
            return g_astHostKind[i].pszName;
    return L"#" + std::to_wstring(nKind);
}

// A tree as kind[text](operands...), each operand taken and released through
// the next-operand operation.
std::wstring Render(const std::wstring& strText, IExpOpExpression* pi)
{
    std::wstring s = KindName(pi->eGetOperateur()) + L"[" + At(strText, pi->stGetPosition()) + L"]";
    int nIterator = 0;
    std::wstring strOperands;
    for (IExpOpExpression* p = pi->piGetNextOperande(&nIterator); p != nullptr; p = pi->piGetNextOperande(&nIterator)) {
        strOperands += (strOperands.empty() ? L"" : L",") + Render(strText, p);
        p->nRelease();
    }
    return strOperands.empty() ? s : s + L"(" + strOperands + L")";
}

std::unique_ptr<CHostSQLParse> Parse(const wchar_t* pszText, const CHostCatalogue* pCatalogue = nullptr,
                                     CHostQueryParametersValue* pValues = nullptr)
{
    std::wstring strError;
    std::unique_ptr<CHostSQLParse> p = CHostSQLParse::pParse(pszText, pCatalogue, pValues, &strError);
    EXPECT_NE(p, nullptr) << std::string(strError.begin(), strError.end());
    return p;
}

template <class T, class F>
std::vector<T*> All(F fnNext)
{
    std::vector<T*> tab;
    for (T* p = fnNext(1); p != nullptr; p = fnNext(0))
        tab.push_back(p);
    return tab;
}

std::wstring Text(const CAny& v)
{
    const wchar_t* psz = nullptr;
    return v.pclGetTraitement()->nGetPCWSTR(&psz) == 0 && psz != nullptr ? psz : L"(none)";
}

} // namespace

TEST(HostSQLParse, SelectPositionsMarkTheirText)
{
    const std::wstring s =
        L"SELECT t.a, b+1 AS \"x y\", COUNT(*) AS [n] FROM tab t JOIN u ON t.k = u.k "
        L"WHERE a > {p} AND c LIKE 'z%' ESCAPE '!' GROUP BY t.a,b HAVING COUNT(*) > 1 ORDER BY 2 DESC, t.a LIMIT 5;";
    auto p = Parse(s.c_str());
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->eGetTypeRequete(), 1);
    EXPECT_STREQ(p->pszGetRequete(), s.c_str());
    IInfoRequete* pi = p->piGetInfoRequete();

    struct {
        const wchar_t *pszAt, *pszName, *pszAlias, *pszTable, *pszSource, *pszTableSource;
        int nCalcul;
    } const aItem[] = {{L"t.a", L"a", L"", L"t", L"a", L"tab", 0},
                       {L"b+1", L"x y", L"x y", L"", L"", L"", 1},
                       {L"COUNT(*)", L"n", L"n", L"", L"", L"", 1}};
    auto tabItem = All<IInfoRubrique>([&](int b) { return pi->piGetNextRubrique(b); });
    ASSERT_EQ(tabItem.size(), 3u);
    for (size_t i = 0; i < 3; i++) {
        EXPECT_EQ(At(s, tabItem[i]->stGetPosition()), aItem[i].pszAt) << i;
        EXPECT_STREQ(tabItem[i]->pszGetNom(), aItem[i].pszName) << i;
        EXPECT_STREQ(tabItem[i]->pszGetAlias(), aItem[i].pszAlias) << i;
        EXPECT_STREQ(tabItem[i]->pszGetNomTable(), aItem[i].pszTable) << i;
        EXPECT_STREQ(tabItem[i]->pszGetNomRubriqueSource(), aItem[i].pszSource) << i;
        EXPECT_STREQ(tabItem[i]->pszGetNomTableSource(), aItem[i].pszTableSource) << i;
        EXPECT_EQ(tabItem[i]->eGetCalcul(), aItem[i].nCalcul) << i;
    }
    // The output list ends just after the last alias.
    const size_t nEnd = static_cast<size_t>(p->nGetOutputListEnd());
    EXPECT_EQ(s.substr(nEnd - 6, 7), L"AS [n] ");

    auto tabFrom = All<IInfoFrom>([&](int b) { return pi->piGetNextFrom(b); });
    ASSERT_EQ(tabFrom.size(), 2u);
    EXPECT_EQ(At(s, tabFrom[0]->stGetPosition()), L"tab");
    EXPECT_STREQ(tabFrom[0]->pszGetAlias(), L"t");
    EXPECT_EQ(At(s, tabFrom[1]->stGetPosition()), L"u");
    EXPECT_STREQ(tabFrom[1]->pszGetAlias(), L"");
    auto tabJoin = All<IExpOpExpression>([&](int b) { return pi->piGetNextJoin(0, b); });
    ASSERT_EQ(tabJoin.size(), 1u);
    EXPECT_EQ(Render(s, tabJoin[0]), L"=[t.k = u.k](column[t.k],column[u.k])");
    // A JOIN's columns are never marked as an outer side: the text says it.
    IExpOpExpression* piJoinColumn = tabJoin[0]->piGetOperandeGauche();
    EXPECT_EQ(piJoinColumn->bJointureExterne(), 0);
    piJoinColumn->nRelease();

    // Clause bounds: the keywords, the last characters of the conditions.
    EXPECT_EQ(s.substr(static_cast<size_t>(p->nGetWhereStart()), 5), L"WHERE");
    EXPECT_EQ(At(s, {p->nGetWhereStart(), 0, p->nGetWhereStop(), 0}), L"WHERE a > {p} AND c LIKE 'z%' ESCAPE '!'");
    EXPECT_EQ(At(s, {p->nGetHavingStart(), 0, p->nGetHavingStop(), 0}), L"HAVING COUNT(*) > 1");
    EXPECT_EQ(s.substr(static_cast<size_t>(p->nGetOrderByStart()), 8), L"ORDER BY");
    EXPECT_EQ(s[static_cast<size_t>(p->nGetLastClauseStop())], L'5');
    EXPECT_EQ(s[static_cast<size_t>(p->nGetQueryStop())], L';');

    auto tabOrder = All<IInfoOrderBy>([&](int b) { return pi->piGetNextOrderBy(b); });
    ASSERT_EQ(tabOrder.size(), 2u);
    EXPECT_EQ(At(s, tabOrder[0]->stGetPosition()), L"2");
    EXPECT_EQ(tabOrder[0]->nGetIndiceColonne(), 1);
    EXPECT_EQ(At(s, tabOrder[1]->stGetPosition()), L"t.a");
    EXPECT_EQ(tabOrder[1]->nGetIndiceColonne(), 0);

    // t.a names the output item a; b is a column the output list lacks.
    ASSERT_EQ(pi->nGetNbGroupe(), 2);
    auto tabGroup = All<IInfoGroupe>([&](int b) { return pi->piGetNextGroupe(b); });
    ASSERT_EQ(tabGroup.size(), 2u);
    // Alias, with table, table, item, position, file, item alias.
    const std::wstring strAt = std::to_wstring(s.find(L"t.a,b"));
    const std::wstring strB = std::to_wstring(s.find(L"b HAVING"));
    EXPECT_EQ(GroupFields(tabGroup[0]), L"t|1|tab||" + strAt + L"-" + std::to_wstring(std::stoi(strAt) + 2) + L"|t|a");
    EXPECT_EQ(GroupFields(tabGroup[1]), L"|0||b|" + strB + L"-" + strB + L"||");

    IExpOpExpression* piWhere = p->piGetWhere();
    ASSERT_NE(piWhere, nullptr);
    EXPECT_EQ(Render(s, piWhere),
              L"AND[a > {p} AND c LIKE 'z%' ESCAPE '!'](>[a > {p}](column[a],parameter[{p}]),"
              L"LIKE[c LIKE 'z%' ESCAPE '!'](column[c],literal['z%']))");
    piWhere->nRelease();
    EXPECT_EQ(p->nUnbalanced(), 0);
}

TEST(HostSQLParse, TreesByKindAndText)
{
    struct {
        const wchar_t* pszCondition;
        const wchar_t* pszTree;
    } const aCase[] = {
        {L"a+b*c = 1", L"=[a+b*c = 1](+[a+b*c](column[a],*[b*c](column[b],column[c])),literal[1])"},
        {L"(a+b)*c <> 2", L"<>[(a+b)*c <> 2](*[(a+b)*c](()[a+b](+[a+b](column[a],column[b])),column[c]),literal[2])"},
        {L"-a >= x.b", L">=[-a >= x.b](-x[-](column[a]),column[x.b])"},
        {L"a != 'it''s'", L"<>[a != 'it''s'](column[a],literal['it''s'])"},
        {L"NOT a < 1 OR b IS NULL", L"OR[NOT a < 1 OR b IS NULL](NOT[NOT a < 1](<[a < 1](column[a],literal[1])),"
                                    L"IS NULL[b IS NULL](column[b]))"},
        {L"b IS NOT NULL AND c NOT LIKE 'x'", L"AND[b IS NOT NULL AND c NOT LIKE 'x'](IS NOT NULL[b IS NOT NULL](column[b]),"
                                              L"NOT[c NOT LIKE 'x'](LIKE[c NOT LIKE 'x'](column[c],literal['x'])))"},
        {L"UPPER(SUBSTRING(a, 1, 2)) <= f(b)",
         L"<=[UPPER(SUBSTRING(a, 1, 2)) <= f(b)](UPPER[UPPER(SUBSTRING(a, 1, 2))](SUBSTRING[SUBSTRING(a, 1, 2)]("
         L"column[a],literal[1],literal[2])),#6[f(b)](column[b]))"},
        // Letters past ASCII, whatever the process's locale.
        {L"Z\u00e9\u4ef7_0 = 1", L"=[Z\u00e9\u4ef7_0 = 1](column[Z\u00e9\u4ef7_0],literal[1])"},
        {L"a > 1.5 AND b < 3000000000", L"AND[a > 1.5 AND b < 3000000000](>[a > 1.5](column[a],literal[1.5]),"
                                        L"<[b < 3000000000](column[b],literal[3000000000]))"},
    };
    for (const auto& st : aCase) {
        const std::wstring s = std::wstring(L"SELECT a FROM t WHERE ") + st.pszCondition;
        auto p = Parse(s.c_str());
        ASSERT_NE(p, nullptr);
        IExpOpExpression* pi = p->piGetWhere();
        EXPECT_EQ(Render(s, pi), st.pszTree);
        pi->nRelease();
        EXPECT_EQ(p->nUnbalanced(), 0);
    }
    // Parentheses and signs: the outer position holds them, the own one not.
    const std::wstring s = L"SELECT (a), -b FROM t";
    auto p = Parse(s.c_str());
    auto tab = All<IInfoRubrique>([&](int b) { return p->piGetInfoRequete()->piGetNextRubrique(b); });
    ASSERT_EQ(tab.size(), 2u);
    for (IInfoRubrique* pi : tab) {
        IExpOpExpression* piExpression = pi->piGetExpression();
        ASSERT_NE(piExpression, nullptr);
        EXPECT_EQ(At(s, piExpression->stGetPositionExterne()), At(s, pi->stGetPosition()));
        piExpression->nRelease();
    }
    IExpOpExpression* piParen = tab[0]->piGetExpression();
    EXPECT_EQ(At(s, piParen->stGetPositionExterne()), L"(a)");
    EXPECT_EQ(At(s, piParen->stGetPosition()), L"a");
    piParen->nRelease();
    IExpOpExpression* piSign = tab[1]->piGetExpression();
    EXPECT_EQ(At(s, piSign->stGetPositionExterne()), L"-b");
    EXPECT_EQ(At(s, piSign->stGetPosition()), L"-");
    IExpOpExpression* piLeft = piSign->piGetOperandeGauche();
    EXPECT_EQ(piSign->piGetOperandeDroite(), nullptr);
    EXPECT_STREQ(piLeft->pszGetNomRubrique(), L"b");
    piLeft->nRelease();
    piSign->nRelease();
    EXPECT_EQ(p->nUnbalanced(), 0);

    // Computed items: 1 when they read a column or call a function, 2 for a
    // lone value.
    p = Parse(L"SELECT 5, {p} AS q, (7), -(8), -a, COUNT(*), t.a FROM t");
    const int anCalcul[] = {2, 2, 2, 2, 1, 1, 0};
    auto tabCalcul = All<IInfoRubrique>([&](int b) { return p->piGetInfoRequete()->piGetNextRubrique(b); });
    ASSERT_EQ(tabCalcul.size(), 7u);
    for (size_t i = 0; i < 7; i++)
        EXPECT_EQ(tabCalcul[i]->eGetCalcul(), anCalcul[i]) << i;
    // Without an alias a computed item is named by its text.
    EXPECT_STREQ(tabCalcul[3]->pszGetNom(), L"-(8)");
    EXPECT_STREQ(tabCalcul[5]->pszGetNom(), L"COUNT(*)");
}

TEST(HostSQLParse, LiteralValuesAndEscape)
{
    CLiveBlockCheck clBlocks;
    const std::wstring s = L"SELECT a FROM t WHERE a LIKE 'x!%' ESCAPE '!' AND b = 7 AND c = 2.5";
    auto p = Parse(s.c_str());
    IExpOpExpression* piWhere = p->piGetWhere();
    IExpOpExpression* piAnd = piWhere->piGetOperandeGauche();
    IExpOpExpression* piLike = piAnd->piGetOperandeGauche();
    EXPECT_EQ(piLike->eGetOperateur(), 32);
    EXPECT_EQ(piLike->cGetEscape(), L'!');
    EXPECT_EQ(piAnd->cGetEscape(), 0);
    EXPECT_EQ(piLike->pclGetValeur(), nullptr);
    IExpOpExpression* piPattern = piLike->piGetOperandeDroite();
    EXPECT_EQ(Text(*piPattern->pclGetValeur()), L"x!%");
    IExpOpExpression* piEq = piAnd->piGetOperandeDroite();
    IExpOpExpression* piSeven = piEq->piGetOperandeDroite();
    EXPECT_EQ(piSeven->pclGetValeur()->nGetTypeCode(), TQTYPE_I4);
    EXPECT_EQ(Get<int>(*piSeven->pclGetValeur()), 7);
    IExpOpExpression* piReal = piWhere->piGetOperandeDroite()->piGetOperandeDroite();
    EXPECT_EQ(piReal->pclGetValeur()->nGetTypeCode(), TQTYPE_R8);
    EXPECT_EQ(Get<double>(*piReal->pclGetValeur()), 2.5);
    // The right operand of the WHERE tree was taken twice: one release left.
    EXPECT_EQ(p->nUnbalanced(), 8);
    for (IExpOpExpression* pi : {piReal, piSeven, piEq, piPattern, piLike, piAnd, piWhere})
        pi->nRelease();
    std::wstring strReport;
    EXPECT_EQ(p->nUnbalanced(&strReport), 1);
    EXPECT_NE(strReport.find(L"node 9"), std::wstring::npos) << std::string(strReport.begin(), strReport.end());
}

TEST(HostSQLParse, ValuesAndItemReferences)
{
    CHostQueryParametersValue clValues;
    Set<int>(clValues.Value(L"p"), TQTYPE_I4, 5);
    const std::wstring s = L"SELECT a FROM t x WHERE b={p} AND {q} < x.c AND d = 1 LIMIT {n}";
    auto p = Parse(s.c_str(), nullptr, &clValues);
    CTabValParser* pWhole = p->pclGetTabValParser();
    ASSERT_EQ(pWhole->nGetNbValeur(), 3);
    const wchar_t* const apszValue[] = {L"{p}", L"{q}", L"{n}"};
    const wchar_t* const apszName[] = {L"p", L"q", L"n"};
    for (int i = 0; i < 3; i++) {
        const STValParser& st = pWhole->pTabValeur[i];
        EXPECT_EQ(At(s, {st.nPosition, 0, st.nPosition + st.nLongueur - 1, 0}), apszValue[i]);
        EXPECT_STREQ(st.pszNomRubrique, apszName[i]);
    }
    EXPECT_EQ(Get<int>(pWhole->pTabValeur[0].clValeur), 5);
    EXPECT_EQ(pWhole->pTabValeur[1].clValeur.nGetTypeCode(), TQTYPE_VIDE);
    // Each column compared with a parameter, with the table it reads.
    ASSERT_EQ(pWhole->nGetNbRubrique(), 2);
    const STValParser* pRef = pWhole->pTabRubrique;
    EXPECT_EQ(At(s, {pRef[0].nPosition, 0, pRef[0].nPosition + pRef[0].nLongueur - 1, 0}), L"b");
    EXPECT_STREQ(pRef[0].pszNomRubrique, L"b");
    EXPECT_STREQ(pRef[0].pszNomTable, L"t");
    EXPECT_EQ(At(s, {pRef[1].nPosition, 0, pRef[1].nPosition + pRef[1].nLongueur - 1, 0}), L"x.c");
    EXPECT_STREQ(pRef[1].pszNomTable, L"x");
    // The clause walk's table: the same values, no references.
    CTabValParser* pClause = p->pclGetTabValParserClause();
    EXPECT_EQ(pClause->nGetNbValeur(), 3);
    EXPECT_EQ(pClause->pTabValeur, pWhole->pTabValeur);
    EXPECT_EQ(pClause->nGetNbRubrique(), 0);
    // Values are read again at each request.
    clValues.Value(L"q").__SetType(TQTYPE_DSTRW, 0);
    clValues.Value(L"q").pclGetTraitement()->SetValue(L"abc", 3 * sizeof(wchar_t));
    Set<int>(clValues.Value(L"p"), TQTYPE_I4, 6);
    p->pclGetTabValParser();
    EXPECT_EQ(Get<int>(pWhole->pTabValeur[0].clValeur), 6);
    EXPECT_EQ(Text(pWhole->pTabValeur[1].clValeur), L"abc");
    EXPECT_EQ(p->nUnbalanced(), 0);
}

TEST(HostSQLParse, Writes)
{
    std::wstring s = L"INSERT INTO t (a, b) VALUES (1, {p})";
    auto p = Parse(s.c_str());
    EXPECT_EQ(p->eGetTypeRequete(), 4);
    IInfoRequete* pi = p->piGetInfoRequete();
    auto tabFrom = All<IInfoFrom>([&](int b) { return pi->piGetNextFrom(b); });
    ASSERT_EQ(tabFrom.size(), 1u);
    EXPECT_EQ(At(s, tabFrom[0]->stGetPosition()), L"t");
    auto tabItem = All<IInfoRubrique>([&](int b) { return pi->piGetNextRubrique(b); });
    ASSERT_EQ(tabItem.size(), 2u);
    EXPECT_EQ(At(s, tabItem[1]->stGetPosition()), L"b");
    EXPECT_EQ(tabItem[1]->eGetCalcul(), 0);
    auto tabInsert = All<IInfoInsertion>([&](int b) { return pi->piGetNextInsertion(b); });
    ASSERT_EQ(tabInsert.size(), 2u);
    for (size_t i = 0; i < 2; i++) {
        IExpOpExpression* piColumn = tabInsert[i]->piGetColonne();
        IExpOpExpression* piValue = tabInsert[i]->piGetValeur();
        EXPECT_EQ(At(s, piColumn->stGetPosition()), i == 0 ? L"a" : L"b");
        EXPECT_EQ(At(s, piValue->stGetPosition()), i == 0 ? L"1" : L"{p}");
        piColumn->nRelease();
        piValue->nRelease();
    }
    EXPECT_EQ(pi->piGetNextAffectation(1), nullptr);
    EXPECT_EQ(p->nGetOutputListEnd(), 0);
    // Every kind of object is accounted for.
    tabInsert[1]->m_nRefCount++;
    std::wstring strReport;
    EXPECT_EQ(p->nUnbalanced(&strReport), 1);
    EXPECT_EQ(strReport, L"insertion holds 2; ");
    tabInsert[1]->m_nRefCount--;
    EXPECT_EQ(p->nUnbalanced(), 0);

    s = L"UPDATE t SET a = a + 1, b = 'x' WHERE c = {p}";
    p = Parse(s.c_str());
    EXPECT_EQ(p->eGetTypeRequete(), 3);
    pi = p->piGetInfoRequete();
    EXPECT_EQ(pi->piGetNextRubrique(1), nullptr);
    auto tabSet = All<IInfoAffectation>([&](int b) { return pi->piGetNextAffectation(b); });
    ASSERT_EQ(tabSet.size(), 2u);
    IExpOpExpression* piColumn = tabSet[0]->piGetColonne();
    IExpOpExpression* piValue = tabSet[0]->piGetExpression();
    EXPECT_EQ(At(s, piColumn->stGetPosition()), L"a");
    EXPECT_EQ(Render(s, piValue), L"+[a + 1](column[a],literal[1])");
    piColumn->nRelease();
    piValue->nRelease();
    EXPECT_EQ(At(s, {p->nGetWhereStart(), 0, p->nGetWhereStop(), 0}), L"WHERE c = {p}");
    tabSet[1]->m_nRefCount = 0;
    strReport.clear();
    EXPECT_EQ(p->nUnbalanced(&strReport), 1);
    EXPECT_EQ(strReport, L"assignment holds 0; ");
    tabSet[1]->m_nRefCount = 1;
    EXPECT_EQ(p->nUnbalanced(), 0);

    s = L"DELETE FROM t WHERE a IS NULL";
    p = Parse(s.c_str());
    EXPECT_EQ(p->eGetTypeRequete(), 5);
    EXPECT_EQ(At(s, p->piGetInfoRequete()->piGetNextFrom(1)->stGetPosition()), L"t");
    EXPECT_EQ(p->nGetLastClauseStop(), static_cast<int>(s.size()) - 1);
    EXPECT_EQ(p->nGetQueryStop(), static_cast<int>(s.size()) - 1);
}

// MINUS joins another SELECT or a VALUES only when one follows it: elsewhere
// it is a name, of a column or of an alias. A quoted name is a column too.
TEST(HostSQLParse, MinusIsANameButBeforeASelect)
{
    const std::wstring s = L"SELECT a, minus, [b c] FROM t minus WHERE minus > 0 AND \"b c\" < 2";
    auto p = Parse(s.c_str());
    ASSERT_NE(p, nullptr);
    IInfoRequete* pi = p->piGetInfoRequete();
    auto tabItem = All<IInfoRubrique>([&](int b) { return pi->piGetNextRubrique(b); });
    ASSERT_EQ(tabItem.size(), 3u);
    EXPECT_STREQ(tabItem[1]->pszGetNom(), L"minus");
    EXPECT_STREQ(tabItem[2]->pszGetNom(), L"b c");
    EXPECT_EQ(At(s, tabItem[2]->stGetPosition()), L"[b c]");
    auto tabFrom = All<IInfoFrom>([&](int b) { return pi->piGetNextFrom(b); });
    ASSERT_EQ(tabFrom.size(), 1u);
    EXPECT_STREQ(tabFrom[0]->pszGetAlias(), L"minus");
    IExpOpExpression* piWhere = p->piGetWhere();
    ASSERT_NE(piWhere, nullptr);
    EXPECT_EQ(Render(s, piWhere), L"AND[minus > 0 AND \"b c\" < 2](>[minus > 0](column[minus],literal[0]),"
                                  L"<[\"b c\" < 2](column[\"b c\"],literal[2]))");
    piWhere->nRelease();

    for (const wchar_t* psz : {L"SELECT a FROM t MINUS SELECT a FROM u ORDER BY 1",
                               L"SELECT a FROM t minus (SELECT a FROM u) ORDER BY 1",
                               L"SELECT a FROM t MINUS values (1), (2) ORDER BY 1"}) {
        const std::wstring strText = psz;
        auto pSet = Parse(psz);
        ASSERT_NE(pSet, nullptr);
        auto tabSetFrom = All<IInfoFrom>([&](int b) { return pSet->piGetInfoRequete()->piGetNextFrom(b); });
        ASSERT_EQ(tabSetFrom.size(), 1u);
        EXPECT_STREQ(tabSetFrom[0]->pszGetAlias(), L"");
        EXPECT_EQ(strText.substr(static_cast<size_t>(pSet->nGetOrderByStart()), 8), L"ORDER BY");
    }
    // The other set words are no names; a word a locale folds into one is.
    EXPECT_EQ(CHostSQLParse::pParse(L"SELECT union FROM t"), nullptr);
    CProcessLocale clLocale;
    for (const char* pszLocale : {"C", "C.UTF-8"}) {
        ASSERT_TRUE(clLocale.bSet(pszLocale)) << pszLocale;
        auto pName = Parse(L"SELECT a FROM t un\u0131on ORDER BY 1");
        ASSERT_NE(pName, nullptr) << pszLocale;
        auto tabNamed = All<IInfoFrom>([&](int b) { return pName->piGetInfoRequete()->piGetNextFrom(b); });
        ASSERT_EQ(tabNamed.size(), 1u);
        EXPECT_STREQ(tabNamed[0]->pszGetAlias(), L"un\u0131on") << pszLocale;
    }
}

// A table written before a column stands for the FROM entry named so as
// written, else for the one named so with case ignored: the column's type,
// its output item in the order and the groups, and its item reference are
// that entry's, never those of an entry named so in another case.
TEST(HostSQLParse, ATableStandsForTheEntryNamedAsWrittenFirst)
{
    CHandCatalogue clHand;
    clHand.pclAdd(L"t", L"t", {{L"a", NA_IT_I4, 0, true}});
    clHand.pclAdd(L"v", L"v", {{L"a", NA_IT_UNICODE, 0, true}});
    clHand.pclAdd(L"w", L"w", {{L"b", NA_IT_I4, 0, true}});
    const std::wstring s =
        L"SELECT T.a, Ww.b FROM v T, t, w Ww WHERE t.a = {p} GROUP BY T.a, t.a, ww.b ORDER BY t.a, T.a, ww.b";
    auto p = Parse(s.c_str(), &clHand.m_clCatalogue);
    ASSERT_NE(p, nullptr);
    auto tabItem = All<IInfoRubrique>([&](int b) { return p->piGetInfoRequete()->piGetNextRubrique(b); });
    ASSERT_EQ(tabItem.size(), 2u);
    EXPECT_EQ(tabItem[0]->nGetType(), 39);
    auto tabOrder = All<IInfoOrderBy>([&](int b) { return p->piGetInfoRequete()->piGetNextOrderBy(b); });
    ASSERT_EQ(tabOrder.size(), 3u);
    EXPECT_EQ(tabOrder[0]->nGetIndiceColonne(), -1);
    EXPECT_EQ(tabOrder[1]->nGetIndiceColonne(), 0);
    EXPECT_EQ(tabOrder[2]->nGetIndiceColonne(), 1);
    auto tabGroup = All<IInfoGroupe>([&](int b) { return p->piGetInfoRequete()->piGetNextGroupe(b); });
    ASSERT_EQ(tabGroup.size(), 3u);
    const auto Group = [&](size_t i) {
        return std::wstring(tabGroup[i]->pszGetNomFichier()) + L"|" + tabGroup[i]->pszGetNomRubrique() + L"|" +
               tabGroup[i]->pszGetNomRubriqueAlias();
    };
    EXPECT_EQ(Group(0), L"T||a");
    EXPECT_EQ(Group(1), L"t|a|");
    EXPECT_EQ(Group(2), L"Ww||b");
    CTabValParser* pTab = p->pclGetTabValParser();
    ASSERT_EQ(pTab->nGetNbRubrique(), 1);
    EXPECT_STREQ(pTab->pTabRubrique[0].pszNomTable, L"t");
    IExpOpExpression* piWhere = p->piGetWhere();
    IExpOpExpression* piColumn = piWhere->piGetOperandeGauche();
    EXPECT_EQ(piColumn->nGetType(), 5);
    INAItemDescription* piItem = p->piGetItemDescription(L"t", L"a");
    ASSERT_NE(piItem, nullptr);
    EXPECT_EQ(piItem->eNAGetItemType(), NA_IT_I4);
    piItem->nExternalRelease();
    piColumn->nRelease();
    piWhere->nRelease();
    EXPECT_EQ(p->nUnbalanced(), 0);
    // A column written alone is the plain item reading it, whatever its
    // alias.
    auto pAlone = Parse(L"SELECT T.a AS x FROM v T, t ORDER BY a", &clHand.m_clCatalogue);
    ASSERT_NE(pAlone, nullptr);
    EXPECT_EQ(pAlone->piGetInfoRequete()->piGetNextOrderBy(1)->nGetIndiceColonne(), 0);
}

TEST(HostSQLParse, TextsOutsideTheSubsetAreRefused)
{
    const wchar_t* const apszBad[] = {
        L"", L"SELEC a FROM t", L"SELECT a FROM", L"SELECT a FROM t WHERE", L"SELECT a FROM t WHERE a = 'x",
        L"SELECT a FROM t WHERE a = {}", L"SELECT a FROM t WHERE a = {p", L"SELECT \"a FROM t", L"SELECT a FROM t GROUP BY a+1",
        L"SELECT a FROM t ORDER BY", L"SELECT a FROM t LIMIT x", L"INSERT INTO t (a, b) VALUES (1)",
        L"SELECT a FROM t WHERE a LIKE 'x' ESCAPE 'ab'", L"SELECT a FROM t; x", L"SELECT a # b FROM t",
        L"SELECT a FROM t WHERE a = 99999999999999999999", L"SELECT a FROM t JOIN u", L"UPDATE t SET a 1",
    };
    for (const wchar_t* psz : apszBad) {
        std::wstring strError;
        EXPECT_EQ(CHostSQLParse::pParse(psz, nullptr, nullptr, &strError), nullptr) << std::wstring(psz).size();
        EXPECT_FALSE(strError.empty());
    }
    // Nesting has a bound.
    std::wstring s = L"SELECT a FROM t WHERE ";
    for (int i = 0; i < 300; i++)
        s += L"(";
    s += L"a";
    for (int i = 0; i < 300; i++)
        s += L")";
    EXPECT_EQ(CHostSQLParse::pParse(s.c_str()), nullptr);
}

TEST(HostSQLParse, CatalogueLookUpsAndCounts)
{
    CHandCatalogue clHand;
    CNADataSourceDescription* pclT = clHand.pclAdd(L"t", L"t_db", {{L"id", NA_IT_IDAUTO, 0x8000, false},
                                                                   {L"memo", NA_IT_MEMOTEXTE, 0, true},
                                                                   {L"w", NA_IT_MEMOUNICODE, 0, true}});
    clHand.pclAdd(L"u", std::wstring(300, L'p').c_str(), {{L"k", NA_IT_I4, 0, true}});
    const std::wstring s = L"SELECT * FROM t AS x, u";
    auto p = Parse(s.c_str(), &clHand.m_clCatalogue);
    EXPECT_EQ(p->nGetOutputListEnd(), 1);
    auto tabItem = All<IInfoRubrique>([&](int b) { return p->piGetInfoRequete()->piGetNextRubrique(b); });
    ASSERT_EQ(tabItem.size(), 4u);
    const wchar_t* const apszName[] = {L"id", L"memo", L"w", L"k"};
    const int anType[] = {24, 15, 40, 5};
    for (size_t i = 0; i < 4; i++) {
        EXPECT_STREQ(tabItem[i]->pszGetNom(), apszName[i]);
        EXPECT_EQ(tabItem[i]->nGetType(), anType[i]) << i;
        EXPECT_EQ(tabItem[i]->stGetPosition().left + tabItem[i]->stGetPosition().right, 0) << i;
        EXPECT_STREQ(tabItem[i]->pszGetNomTable(), i < 3 ? L"x" : L"u");
    }
    // Place 22: the item of an output item; 23: an item by table or alias.
    INAItemDescription* piItem = p->piGetRubriqueDescription(tabItem[1]);
    ASSERT_NE(piItem, nullptr);
    EXPECT_STREQ(piItem->pszGetName(), L"memo");
    piItem->nExternalRelease();
    for (const wchar_t* pszTable : {L"x", L"", L"t"}) {
        piItem = p->piGetItemDescription(pszTable, L"w");
        ASSERT_NE(piItem, nullptr) << pszTable[0];
        piItem->nExternalRelease();
    }
    EXPECT_EQ(p->piGetItemDescription(L"u", L"w"), nullptr);
    // Places 24, 25 and 34.
    INADataSourceDescription* piTable = p->piGetFromDescription(p->piGetInfoRequete()->piGetNextFrom(1));
    EXPECT_EQ(piTable, pclT);
    piTable->nExternalRelease();
    piTable = p->piGetTableDescription(L"T");
    EXPECT_EQ(piTable, pclT);
    piTable->nExternalRelease();
    EXPECT_EQ(p->piGetTableDescription(L"x"), nullptr);
    EXPECT_EQ(pclT->nGetExternalRef(), 1u);
    wchar_t sz[SQLPARSER_PHYSICALNAME_SIZE + 1];
    p->GetPhysicalName(L"t", sz);
    EXPECT_STREQ(sz, L"t_db");
    p->GetPhysicalName(L"nothing", sz);
    EXPECT_STREQ(sz, L"");
    // A name that fills the buffer: 261 characters, no terminator.
    sz[SQLPARSER_PHYSICALNAME_SIZE] = L'#';
    p->GetPhysicalName(L"u", sz);
    EXPECT_EQ(std::wstring(sz, SQLPARSER_PHYSICALNAME_SIZE + 1), std::wstring(261, L'p') + L"#");

    // Throwing look-ups, all five, counted.
    const int nLookups = p->nLookups();
    p->m_bThrowOnLookup = true;
    EXPECT_ANY_THROW(p->piGetRubriqueDescription(tabItem[0]));
    EXPECT_ANY_THROW(p->piGetItemDescription(L"", L"id"));
    EXPECT_ANY_THROW(p->piGetFromDescription(nullptr));
    EXPECT_ANY_THROW(p->piGetTableDescription(L"t"));
    EXPECT_ANY_THROW(p->GetPhysicalName(L"t", sz));
    EXPECT_EQ(p->nLookups(), nLookups + 5);
    p->m_bThrowOnLookup = false;
    p->m_bThrowOnLists = true;
    EXPECT_ANY_THROW(p->piGetInfoRequete());
    EXPECT_NO_THROW(p->GetPhysicalName(L"t", sz));

    // References: the parse and its items count; a release below the
    // host's hold is noted, not done.
    p->AddRef();
    tabItem[0]->m_nRefCount++;
    std::wstring strReport;
    EXPECT_EQ(p->nUnbalanced(&strReport), 2);
    EXPECT_NE(strReport.find(L"item id holds 2"), std::wstring::npos);
    EXPECT_EQ(p->nRelease(), 1u);
    EXPECT_EQ(tabItem[0]->nRelease(), 1u);
    EXPECT_EQ(p->nOverReleases(), 0);
    EXPECT_EQ(tabItem[0]->nRelease(), 1u);
    EXPECT_EQ(p->nRelease(), 1u);
    EXPECT_EQ(p->nOverReleases(), 2);
    EXPECT_EQ(p->nUnbalanced(), 0);

    // The version exchange writes the host's version and answers as told.
    unsigned int nVersion = 0;
    EXPECT_EQ(p->bVersionExchange(32, 31, &nVersion), 1);
    EXPECT_EQ(nVersion, 31u);
    p->m_bVersionAnswer = 0;
    p->m_nHostVersion = 30;
    EXPECT_EQ(p->bVersionExchange(32, 31, &nVersion), 0);
    EXPECT_EQ(nVersion, 30u);
    EXPECT_EQ(p->m_nVersionExchanges, 2);
}

TEST(HostSQLParse, ColumnsResolveThroughTheCatalogue)
{
    CHandCatalogue clHand;
    clHand.pclAdd(L"t", L"t", {{L"a", NA_IT_I4, 0, true}, {L"m", NA_IT_MEMOBINAIRE, 0, true}});
    clHand.pclAdd(L"u", L"u", {{L"b", NA_IT_UNICODE, 0, true}});
    const std::wstring s = L"SELECT a, b, zz, t.m FROM t, u ORDER BY b, m GROUP BY a";
    std::wstring strError;
    // ORDER BY before GROUP BY is not the subset's order.
    EXPECT_EQ(CHostSQLParse::pParse(s.c_str(), &clHand.m_clCatalogue, nullptr, &strError), nullptr);
    const std::wstring s2 = L"SELECT a, b, zz, t.m FROM t, u WHERE m = {p} GROUP BY a, u.b ORDER BY b, m";
    auto p = Parse(s2.c_str(), &clHand.m_clCatalogue);
    auto tabItem = All<IInfoRubrique>([&](int b) { return p->piGetInfoRequete()->piGetNextRubrique(b); });
    ASSERT_EQ(tabItem.size(), 4u);
    const wchar_t* const apszTable[] = {L"t", L"u", L"", L"t"};
    const int anType[] = {5, 39, 0, 30};
    const int anFlag[] = {1, 1, 0, 1};
    for (size_t i = 0; i < 4; i++) {
        EXPECT_STREQ(tabItem[i]->pszGetNomTable(), apszTable[i]) << i;
        EXPECT_EQ(tabItem[i]->nGetType(), anType[i]) << i;
        EXPECT_EQ(tabItem[i]->bGetItemFlag(), anFlag[i]) << i;
    }
    auto tabOrder = All<IInfoOrderBy>([&](int b) { return p->piGetInfoRequete()->piGetNextOrderBy(b); });
    ASSERT_EQ(tabOrder.size(), 2u);
    EXPECT_EQ(tabOrder[0]->nGetIndiceColonne(), 1);
    EXPECT_EQ(tabOrder[1]->nGetIndiceColonne(), 3);
    auto tabGroup = All<IInfoGroupe>([&](int b) { return p->piGetInfoRequete()->piGetNextGroupe(b); });
    ASSERT_EQ(tabGroup.size(), 2u);
    EXPECT_STREQ(tabGroup[1]->pszGetNomRubriqueAlias(), L"b");
    EXPECT_STREQ(tabGroup[1]->pszGetNomFichier(), L"u");
    // The item reference names the table that holds the column.
    CTabValParser* pTab = p->pclGetTabValParser();
    ASSERT_EQ(pTab->nGetNbRubrique(), 1);
    EXPECT_STREQ(pTab->pTabRubrique[0].pszNomTable, L"t");
    IExpOpExpression* piWhere = p->piGetWhere();
    IExpOpExpression* piColumn = piWhere->piGetOperandeGauche();
    EXPECT_EQ(piColumn->nGetType(), 30);
    EXPECT_STREQ(piColumn->pszGetNomTable(), L"");
    piColumn->nRelease();
    piWhere->nRelease();
    EXPECT_EQ(p->nUnbalanced(), 0);
}
