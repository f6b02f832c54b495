// Key searches and filters as WHERE texts: searches and their continuation
// conditions on simple, unique, composite and descending keys, record
// searches, filter bounds with the engine's markers, composite key images
// split into values, extreme values, comparisons, saves and failures.
#include "access/sql/NARecherche.h"
#include "host/parse/HostSQLParse.h"

#include "access/sql/NACommand.h"
#include "access/sql/NAFilter.h"
#include "access/sql/NAFilterSave.h"
#include "access/statement/NARecord.h"
#include "tests/support/SearchObjects.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cstring>
#include <string>
#include <vector>

namespace {

typedef std::vector<unsigned char> Image;
typedef std::vector<std::wstring> Texts;

std::string Narrow(const std::wstring& s) { return std::string(s.begin(), s.end()); }
eNA_PARSEDIRECTION Dir(int n) { return static_cast<eNA_PARSEDIRECTION>(n); }

// Byte images of composite keys: integers of four bytes, texts in fields of
// the given width.
Image Ints(std::initializer_list<int> tab)
{
    Image aby;
    for (int n : tab)
        aby.insert(aby.end(), reinterpret_cast<const unsigned char*>(&n), reinterpret_cast<const unsigned char*>(&n) + 4);
    return aby;
}
Image Field(const std::string& s, size_t n)
{
    Image aby(n, 0);
    std::memcpy(aby.data(), s.data(), std::min(s.size(), n));
    return aby;
}
Image Join(std::initializer_list<Image> parts)
{
    Image aby;
    for (const Image& p : parts)
        aby.insert(aby.end(), p.begin(), p.end());
    return aby;
}
Image KeyCK(int a, const std::string& c) { return Join({Ints({a}), Field(c, 10)}); }

class NARecherche : public SearchRecordTest {
protected:
    void Describe(CTestTable& t) override
    {
        t.Add(L"ID", NA_IT_I4, 4, CTestTable::UNIQUE, false);
        t.Add(L"N", NA_IT_I4, 4, CTestTable::DUPLICATES, true);
        t.Add(L"U", NA_IT_I4, 4, CTestTable::UNIQUE, true);
        t.Add(L"S", NA_IT_TEXTE, 11, CTestTable::DUPLICATES, true);
        t.Add(L"W", NA_IT_UNICODE, 14, CTestTable::DUPLICATES, true);
        t.Add(L"D", NA_IT_DATE8, 8, CTestTable::DUPLICATES, true);
        t.Add(L"BIN", NA_IT_BINAIRE, 8, 0, true);
        t.Add(L"ND", NA_IT_I4, 4, CTestTable::DUPLICATES | CNAItemDescription::KF_DESCENDING, true);
        t.Add(L"A", NA_IT_I4, 4, 0, false);
        t.Add(L"C", NA_IT_TEXTE, 11, 0, false);
        t.Add(L"L", NA_IT_TEXTE, 21, 0, true);
        t.AddComposite(L"CK", CTestTable::UNIQUE, {L"A", L"C"}, true);
        t.AddComposite(L"WK", CTestTable::DUPLICATES, {L"W", L"BIN", L"D"});
        AddDescendingKey(t, L"DK", L"A", L"N", true);
        t.AddComposite(L"LK", CTestTable::DUPLICATES, {L"L", L"A"});
        t.AddComposite(L"AK3", CTestTable::DUPLICATES, {L"A", L"C", L"N"});
        t.AddComposite(L"IK", CTestTable::DUPLICATES, {L"ID", L"N"});
        t.AddComposite(L"KI", CTestTable::DUPLICATES, {L"N", L"ID"});
        t.Add(L"H", NA_IT_HEURE, 7, 0, true);
        t.AddComposite(L"HK", CTestTable::DUPLICATES, {L"H", L"D", L"N"});
    }
    void TearDown() override
    {
        for (CNARecherche* p : m_tabSearch)
            p->nRelease();
        SearchRecordTest::TearDown();
    }
    template <class T = CCountedSearch>
    T* Search()
    {
        T* p = new T(m_pError, m_pCnx);
        p->AddRef();
        m_tabSearch.push_back(p);
        return p;
    }
    CNAFilter* Filter() { return Search<CCountedFilter>(); }
    // The search's WHERE text, literals in place.
    std::wstring Where(CNARecherche* p, CNAFilter* pFilter = nullptr, CNARecord* pRecord = nullptr)
    {
        CNACommand cmd(m_pError, m_pCnx);
        EXPECT_EQ(p->bGetSQL(&cmd, pFilter, pRecord != nullptr ? pRecord : m_pRecord), 1)
            << Narrow(m_pError->pszGetError());
        EXPECT_EQ(cmd.nGetParameterNbr(), p->nGetNbParameter());
        const wchar_t* psz = cmd.pszGetFormatedSQLW(CNACommand::PTC_ALL);
        return psz != nullptr ? psz : L"(failed)";
    }
    // The search, then the forward and the backward condition.
    Texts Walk(CNARecherche* p, CNARecord* pRecord = nullptr)
    {
        Texts tab{Where(p, nullptr, pRecord)};
        for (int n = 0; n < 2; n++) {
            p->bSetContinueParcours(Dir(n));
            tab.push_back(Where(p, nullptr, pRecord));
            p->bSetContinueParcours(Dir(n));
        }
        return tab;
    }
    CNARecherche* Searched(const wchar_t* pszItem, const CAny* v, int bExact = 1)
    {
        CNARecherche* p = Search();
        EXPECT_EQ(p->bSetRecherche(m_pRecord, Item(pszItem), v, Dir(0), bExact, 0), 1);
        return p;
    }
    CNARecherche* Added(const wchar_t* pszItem, eNAOperator e, const CAny* v, int bGeneric = 0, int bBounds = 0)
    {
        CNARecherche* p = Search();
        EXPECT_EQ(p->bAddExpression(m_pRecord, Item(pszItem), e, v, bGeneric, NAOP_AND, bBounds), 1);
        return p;
    }
    std::wstring Filtered(const wchar_t* pszItem, const CAny* lo, int bLoIn, const CAny* hi, int bHiIn, int nFlags = 0)
    {
        CNAFilter* f = Filter();
        EXPECT_EQ(f->bSetFilter(m_pRecord, Item(pszItem), lo, bLoIn, hi, bHiIn, nullptr, nFlags), 1);
        f->ActivateFilter(1);
        return Where(f);
    }

    std::vector<CNARecherche*> m_tabSearch;
};

TEST_F(NARecherche, SearchesAndTheirContinuations)
{
    const std::wstring kTime = L"TIME_FORMAT(`H`,'%H%i%S')";
    const struct {
        const wchar_t* pszItem;
        CAny* v;
        int bExact;
        Texts tab; // search, forward, backward
    } cases[] = {
        {L"ID", I4(7), 1, {L"`ID`=7", L"`ID`>7", L"`ID`<7"}},
        {L"N", I4(5), 1, {L"`N`=5", L"`N`>5", L"(`N`<5 OR `N` IS NULL)"}},
        // A value the engine keeps as NULL lets no NULL through before it.
        {L"N", I4(0), 1, {L"`N`=0", L"`N`>0", L"`N`<0"}},
        {L"U", I4(3), 1, {L"`U`=3", L"`U`>3", L"(`U`<3 OR `U` IS NULL)"}},
        {L"S", A8("ab"), 0,
         {L"`S` LIKE 'ab%' ESCAPE '!'", L" NOT (`S` LIKE 'ab%' ESCAPE '!' ) AND `S`>'ab'", L"(`S`<'ab' OR `S` IS NULL)"}},
        {L"S", A8("ab"), 1, {L"`S`='ab'", L"`S`>'ab'", L"(`S`<'ab' OR `S` IS NULL)"}},
        // A terminator ending the value makes it exact.
        {L"S", A8(std::string("ab\0", 3)), 0, {L"`S`='ab'", L"`S`>'ab'", L"(`S`<'ab' OR `S` IS NULL)"}},
        // The terminator alone: the empty text, exact; before it no NULL row.
        {L"S", A8(std::string("\0", 1)), 0, {L"`S`=''", L"`S`>''", L"`S`<''"}},
        // A descending key goes on the other way.
        {L"ND", I4(4), 1, {L"`ND`=4", L"(`ND`<4 OR `ND` IS NULL)", L"`ND`>4"}},
        {L"CK", Bin(KeyCK(5, "xy")), 1,
         {L"`A`=5 AND `C`='xy'", L"`A`>5 OR `A`=5 AND `C`>'xy'",
          L"(`A`<5 OR `A` IS NULL) OR `A`=5 AND (`C`<'xy' OR `C` IS NULL)"}},
        // A generic search on a composite key: an empty component is exact.
        {L"CK", Bin(KeyCK(5, "")), 0,
         {L"`A`=5 AND `C`=''", L"`A`>5 OR `A`=5 AND (`C`>'' AND `C`<>'')", L"(`A`<5 OR `A` IS NULL) OR `A`=5 AND `C`<''"}},
        {L"DK", Bin(Ints({5, 3})), 1,
         {L"`A`=5 AND `N`=3", L"`A`>5 OR `A`=5 AND (`N`<3 OR `N` IS NULL)", L"(`A`<5 OR `A` IS NULL) OR `A`=5 AND `N`>3"}},
        // (A, C) is unique and forwards the condition keeps it from NULL:
        // after C nothing is left; backwards the NULL rows come in.
        {L"AK3", Bin(Join({KeyCK(5, "x"), Ints({3})})), 1,
         {L"(`A`=5 AND `C`='x' ) AND `N`=3", L"`A`>5 OR `A`=5 AND `C`>'x'",
          L"(`A`<5 OR `A` IS NULL) OR `A`=5 AND ((`C`<'x' OR `C` IS NULL) OR `C`='x' AND (`N`<3 OR `N` IS NULL))"}},
        // A time component compared as the host's text; a partial date
        // component from the first day it covers.
        {L"HK", Bin(Join({Field("1230", 7), Field("2023", 8), Ints({4})})), 1,
         {L"(" + kTime + L"='1230' AND `D`='2023-01-01' ) AND `N`=4",
          kTime + L">'1230' OR " + kTime + L"='1230' AND (`D`>'2023-01-01' OR `D`='2023-01-01' AND `N`>4 )",
          L"(" + kTime + L"<'1230' OR " + kTime + L" IS NULL) OR " + kTime +
              L"='1230' AND ((`D`<'2023-01-01' OR `D` IS NULL) OR `D`='2023-01-01' AND (`N`<4 OR `N` IS NULL))"}},
    };
    for (const auto& c : cases) {
        CNARecherche* p = Searched(c.pszItem, c.v, c.bExact);
        EXPECT_EQ(p->nGetState(), CNARecherche::STATE_SEARCHING);
        EXPECT_EQ(Walk(p), c.tab) << Narrow(c.pszItem);
    }
    // A unique component alone finds the row, unless the last of a prefix;
    // a component the image does not reach: a value of its type.
    EXPECT_EQ(Where(Searched(L"IK", Bin(Ints({7, 3})))), L"`ID`=7");
    EXPECT_EQ(Where(Searched(L"KI", Bin(Ints({3, 7})))), L"`ID`=7");
    EXPECT_EQ(Where(Searched(L"KI", Bin(Ints({3, 7})), 0)), L"`N`=3 AND `ID`=7");
    EXPECT_EQ(Where(Searched(L"CK", Bin(Ints({5})), 0)), L"`A`=5");
    EXPECT_EQ(Where(Searched(L"AK3", Bin(KeyCK(5, "x")))), L"(`A`=5 AND `C`='x' ) AND `N`=0");
    // A date component not reached: no date.
    const std::wstring strShort = Where(Searched(L"WK", Bin(Field("a", 12))));
    EXPECT_EQ(strShort.substr(strShort.size() - 16), L" AND `D` IS NULL") << Narrow(strShort);
}

TEST_F(NARecherche, RecordSearches)
{
    Set(L"ID", I4(7));
    Set(L"N", I4(5));
    Set(L"A", I4(2));
    Set(L"C", A8("k"));
    const struct {
        const wchar_t* pszItem;
        Texts tab;
    } cases[] = {
        {L"ID", {L"`ID`=7", L"`ID`>7", L"`ID`<7"}},
        // Duplicates: the row by its unique key, then on in the key's order.
        {L"N", {L"`ID`=7", L"`N`>5 OR `N`=5 AND `ID`>7", L"(`N`<5 OR `N` IS NULL) OR `N`=5 AND `ID`<7"}},
        // A unique composite key is complete after its components, unless
        // NULL rows come in.
        {L"CK",
         {L"`ID`=7", L"`A`>2 OR `A`=2 AND `C`>'k'",
          L"(`A`<2 OR `A` IS NULL) OR `A`=2 AND ((`C`<'k' OR `C` IS NULL) OR `C`='k' AND `ID`<7 )"}},
    };
    for (const auto& c : cases) {
        CNARecherche* p = Search();
        ASSERT_EQ(p->bRechercheEnreg(m_pRecord, Item(c.pszItem), Dir(0), 0, nullptr), 1);
        EXPECT_EQ(p->bIsComposedKeySearch(), 0);
        EXPECT_EQ(Walk(p), c.tab) << Narrow(c.pszItem);
    }
    // Given key columns: the first unique one with a value; without
    // continuation conditions.
    auto Keys = [&](CNARefArray<CNAColumn>& tab, const wchar_t* a, const wchar_t* b) -> CNARefArray<CNAColumn>* {
        tab.Ajoute(Col(a));
        tab.Ajoute(Col(b));
        return &tab;
    };
    Set(L"U", I4(3));
    // A unique item finds the row by its own value.
    CNARecherche* p = Search();
    ASSERT_EQ(p->bRechercheEnreg(m_pRecord, Item(L"U"), Dir(0), 0, nullptr), 1);
    EXPECT_EQ(Walk(p), Texts({L"`U`=3", L"`U`>3", L"(`U`<3 OR `U` IS NULL)"}));
    // Set again without continuations: the former ones go.
    CNARefArray<CNAColumn> tabUnique, tabKey, tabComposite;
    ASSERT_EQ(p->bRechercheEnreg(m_pRecord, Item(L"N"), Dir(0), 1, Keys(tabUnique, L"U", L"ID")), 1);
    EXPECT_EQ(Where(p), L"`U`=3");
    EXPECT_EQ(p->pclGetForwardNoRef(), nullptr);
    Set(L"U", Nul());
    ASSERT_EQ(p->bRechercheEnreg(m_pRecord, Item(L"S"), Dir(0), 1, Keys(tabKey, L"N", L"ID")), 1);
    EXPECT_EQ(Where(p), L"`ID`=7");
    // A record search on a composite key compares every component.
    ASSERT_EQ(p->bRechercheEnreg(m_pRecord, Item(L"IK"), Dir(0), 1, Keys(tabComposite, L"ID", L"N")), 1);
    EXPECT_EQ(Where(p), L"`ID`=7");
    // Without a value of the unique key, by the unique composite key.
    Set(L"ID", Nul());
    ASSERT_EQ(p->bRechercheEnreg(m_pRecord, Item(L"N"), Dir(0), 1, nullptr), 1);
    EXPECT_EQ(Where(p), L"`A`=2 AND `C`='k'");
    // A NULL component lets NULL rows through; C keeps them out and ends.
    Set(L"ID", I4(7));
    Set(L"A", Nul());
    Set(L"C", A8("x"));
    Set(L"N", I4(3));
    ASSERT_EQ(p->bRechercheEnreg(m_pRecord, Item(L"AK3"), Dir(0), 0, nullptr), 1);
    EXPECT_EQ(Walk(p)[1], L"`A` IS NOT NULL OR `A` IS NULL AND `C`>'x'");
}

TEST_F(NARecherche, RecordSearchWithoutAUniqueValue)
{
    // No unique key with a value: every order column, the searched first.
    CTestTable t(m_pError, m_pCnx, L"T2");
    t.Add(L"U", NA_IT_I4, 4, CTestTable::UNIQUE, true);
    t.Add(L"D", NA_IT_I4, 4, CTestTable::DUPLICATES, true);
    t.Add(L"P", NA_IT_I4, 4, 0, true);
    CNARecord* pRecord = t.NewRecord(m_pError, m_pCnx);
    ASSERT_NE(pRecord, nullptr);
    pRecord->pclGetColumnNoRef(L"D")->bSetValue(I4(4), 0);
    pRecord->pclGetColumnNoRef(L"P")->bSetValue(I4(9), 0);
    CNARecherche* p = Search();
    ASSERT_EQ(p->bRechercheEnreg(pRecord, t->pclNAGetItemNoRef(L"D", 0), Dir(0), 0, nullptr), 1);
    const Texts tab = Walk(p, pRecord);
    EXPECT_EQ(tab[0], L"(`D`=4 AND `U` IS NULL) AND `P`=9");
    EXPECT_EQ(tab[1], L"`D`>4 OR `D`=4 AND (`U` IS NOT NULL OR `U` IS NULL AND `P`>9 )");
    p->Desactivate();
    pRecord->nRelease();
}

TEST_F(NARecherche, ExpressionsAddedOneByOne)
{
    // A generic <= and > on a text in bound mode: through the prefix, past it.
    EXPECT_EQ(Where(Added(L"S", NAOP_LE, A8("ab"), 1, 1)), L"(`S`<'ab' OR `S` IS NULL) OR `S` LIKE 'ab%' ESCAPE '!'");
    CNARecherche* p = Added(L"S", NAOP_GT, A8("ab"), 1, 1);
    EXPECT_EQ(p->bAddExpression(m_pRecord, Item(L"N"), NAOP_NE, I4(3), 0, NAOP_OR, 0), 1);
    EXPECT_EQ(Where(p), L"`S`>'ab' AND `S` NOT LIKE 'ab%' ESCAPE '!' OR `N`<>3");
    // Outside bound mode a generic <= is one comparison; every row meets
    // >= ''.
    EXPECT_EQ(Where(Added(L"S", NAOP_LE, A8("ab"), 1)), L"(`S`<='ab' OR `S` IS NULL)");
    // Time texts are texts too.
    EXPECT_EQ(Where(Added(L"S", NAOP_LE, Wide(L"12", TQTYPE_TIMEW), 1, 1)),
              L"(`S`<'12' OR `S` IS NULL) OR `S` LIKE '12%' ESCAPE '!'");
    EXPECT_EQ(Added(L"S", NAOP_GE, A8(""))->pclGetCurrentNoRef(), nullptr);
    // Bound mode on composite keys: up to (5, the largest) or from (5, the
    // smallest) the first component alone.
    EXPECT_EQ(Where(Added(L"DK", NAOP_LE, Bin(Join({Ints({5}), {0xFF}})), 0, 1)), L"(`A`<=5 OR `A` IS NULL)");
    EXPECT_EQ(Where(Added(L"DK", NAOP_GE, Bin(Join({Ints({5}), {0}})), 0, 1)), L"`A`>=5");
    EXPECT_EQ(Where(Added(L"DK", NAOP_GE, Bin(Ints({5})), 0, 1)), L"`A`>=5");
    EXPECT_EQ(Where(Added(L"DK", NAOP_GT, Bin(Ints({5, 7})), 0, 1)), L"`A`>5 OR `A`=5 AND (`N`<7 OR `N` IS NULL)");
    EXPECT_EQ(Where(Added(L"DK", NAOP_LE, Bin(Ints({5, 7})), 0, 1)), L"(`A`<5 OR `A` IS NULL) OR `A`=5 AND `N`>=7");
    // Outside bound mode only <= reads the largest character as a prefix.
    EXPECT_EQ(Where(Added(L"CK", NAOP_GT, Bin(KeyCK(5, "x\xff")))), L"`A`>5 OR `A`=5 AND `C`>'x\xff'");
    EXPECT_EQ(Where(Added(L"CK", NAOP_LE, Bin(KeyCK(5, "x\xff")))),
              L"(`A`<5 OR `A` IS NULL) OR `A`=5 AND ((`C`<'x' OR `C` IS NULL) OR `C` LIKE 'x%' ESCAPE '!' )");
    // An item not in the record: no condition, no failure.
    CTestItem* pStranger = new CTestItem(NA_IT_I4, 4, 0, 0);
    pStranger->SetPhysical(99);
    EXPECT_EQ(p->bSetRecherche(m_pRecord, pStranger, I4(1), Dir(0), 1, 0), 1);
    EXPECT_EQ(p->nGetState(), CNARecherche::STATE_INACTIVE);
    pStranger->nRelease();
}

TEST_F(NARecherche, FilterBoundsAndMarkers)
{
    const struct {
        const wchar_t* pszItem;
        CAny* lo;
        int bLoIn;
        CAny* hi;
        int bHiIn;
        const wchar_t* pszText;
    } cases[] = {
        {L"N", I4(3), 1, I4(8), 1, L"`N`>=3 AND `N`<=8"},
        {L"N", I4(3), 0, I4(8), 0, L"`N`>3 AND `N`<8"},
        {L"N", I4(3), 1, I4(8), 0, L"`N`>=3 AND `N`<8"},
        {L"N", I4(3), 0, I4(8), 1, L"`N`>3 AND `N`<=8"},
        {L"N", I4(5), 1, I4(5), 1, L"`N`=5"}, // equal bounds: one equality
        // A lower bound the engine keeps as NULL takes the NULL rows.
        {L"N", I4(0), 1, I4(8), 1, L"(`N`>=0 OR `N` IS NULL) AND `N`<=8"},
        {L"N", I4(0), 0, I4(8), 1, L"`N`>0 AND `N`<=8"},
        {L"N", I4(INT_MIN), 1, I4(INT_MAX), 1, L"`N`>=-2147483648 AND `N`<=2147483647"},
        {L"N", I4(3), 1, I4(INT_MAX), 0, L"`N`>=3 AND `N`<2147483647"},
        // On a descending key each bound keeps its inclusion.
        {L"ND", I4(5), 1, I4(10), 0, L"`ND`<10 AND `ND`>=5"},
        {L"ND", I4(5), 0, I4(10), 1, L"`ND`<=10 AND `ND`>5"},
        // The largest character marks every text of a prefix (the last
        // byte the engine reads, or a wide character); an empty lower
        // bound is none; equal texts are a prefix.
        {L"S", A8("ab"), 1, A8("ab\xff", TQTYPE_PSTRA), 1, L"`S`>='ab' AND (`S`<'ab' OR `S` LIKE 'ab%' ESCAPE '!' )"},
        {L"W", nullptr, 1, Wide(std::wstring(L"ab") + static_cast<wchar_t>(0xFFFFFFFF), TQTYPE_PSTRW), 1,
         L"`W`<'ab' OR `W` LIKE 'ab%' ESCAPE '!'"},
        {L"S", A8(""), 1, A8("k", TQTYPE_PSTRA), 1, L"`S`<='k'"},
        {L"S", A8("ab"), 1, A8("ab", TQTYPE_PSTRA), 1, L"`S` LIKE 'ab%' ESCAPE '!'"},
        {L"S", nullptr, 1, A8("k"), 1, L"`S`<='k'"},
        {L"S", A8("k"), 1, nullptr, 1, L"`S`>='k'"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Filtered(c.pszItem, c.lo, c.bLoIn, c.hi, c.bHiIn), c.pszText) << Narrow(c.pszText);
    // Flag 0x8: the record's value; no bound: no condition, also when set
    // again.
    Set(L"N", I4(6));
    EXPECT_EQ(Filtered(L"N", nullptr, 1, nullptr, 1, 8), L"`N`=6");
    CNAFilter* f = Filter();
    EXPECT_EQ(f->bSetFilter(m_pRecord, Item(L"N"), I4(1), 1, I4(2), 1, nullptr, 0), 1);
    EXPECT_EQ(f->bSetFilter(m_pRecord, Item(L"N"), nullptr, 1, nullptr, 1, nullptr, 0), 1);
    EXPECT_EQ(f->pclGetConditionNoRef(), nullptr);
    // A host-parsed condition joins the bounds in parentheses, its values
    // handed to the search; alone it is the whole condition.
    std::unique_ptr<CHostSQLParse> pParse = CHostSQLParse::pParse(L"SELECT * FROM T WHERE N > 3 OR S = 'x'");
    ASSERT_NE(pParse, nullptr);
    EXPECT_EQ(f->bSetFilter(m_pRecord, Item(L"N"), I4(1), 1, I4(9), 1, pParse.get(), 0), 1);
    f->ActivateFilter(1);
    EXPECT_EQ(Where(f), L"(`N`>=1 AND `N`<=9 ) AND ( `N` > 3 OR `S` = 'x' )");
    EXPECT_EQ(f->bSetFilter(m_pRecord, Item(L"N"), nullptr, 1, nullptr, 1, pParse.get(), 0), 1);
    EXPECT_EQ(Where(f), L" `N` > 3 OR `S` = 'x'");
    // The digest goes before the host's parse does.
    EXPECT_EQ(f->bSetFilter(m_pRecord, Item(L"N"), nullptr, 1, nullptr, 1, nullptr, 0), 1);
    EXPECT_EQ(pParse->nUnbalanced(), 0);
}

TEST_F(NARecherche, SearchWithinAFilter)
{
    CNAFilter* f = Filter();
    ASSERT_EQ(f->bSetFilter(m_pRecord, Item(L"N"), I4(1), 1, I4(9), 1, nullptr, 0), 1);
    CNARecherche* p = Searched(L"ID", I4(4));
    EXPECT_EQ(Where(p, f), L"`ID`=4"); // an inactive filter adds nothing
    f->ActivateFilter(1);
    EXPECT_EQ(Where(p, f), L"(`N`>=1 AND `N`<=9 ) AND `ID`=4");
    EXPECT_EQ(p->nGetNbParameter(), 3);
    p->Desactivate();
    EXPECT_EQ(Where(p, f), L"`N`>=1 AND `N`<=9");
    // A condition that no row meets.
    m_pCnx->m_bNullFirst = 0;
    CNARecherche* pFalse = Added(L"N", NAOP_GT, Nul());
    EXPECT_EQ(Where(pFalse), L"0=1");
    EXPECT_EQ(Where(pFalse, f), L"0=1");
    m_pCnx->m_bNullFirst = 1;
}

TEST_F(NARecherche, CompositeKeyImagesSplit)
{
    // W: 6 UTF-16 units; BIN: a 16-bit length and 6 bytes; D: 8 bytes.
    auto Utf16 = [](const std::u16string& s) {
        Image aby(12, 0);
        std::memcpy(aby.data(), s.data(), std::min<size_t>(s.size(), 6) * 2);
        return aby;
    };
    const Image w = Utf16(u"h\u00e9\U0001F600");
    const Image bin = {3, 0, 'x', 0, 'z', 9, 9, 9};
    const std::wstring strW = L"h\u00e9\U0001F600";
    const struct {
        const wchar_t* pszKey;
        Image aby;
        int bPartial;
        int nBound;
        Texts tab; // texts; binaries in hexadecimal
    } cases[] = {
        {L"WK", Join({w, bin, Field("2023", 8)}), 0, 0, {strW, L"78007A", L"2023"}},
        {L"WK", Join({w, bin, {'2', '0'}}), 0, 0, {strW, L"78007A", L"20"}},
        // A length beyond the field is cut to it, and to the bytes left.
        {L"WK", Join({w, {0xFF, 0xFF, 'a', 'b', 'c', 'd', 'e', 'f'}, Field("2023", 8)}), 0, 0,
         {strW, L"616263646566", L"2023"}},
        {L"WK", Join({w, {0xFF, 0xFF, 'a'}}), 0, 0, {strW, L"61"}},
        {L"WK", Join({w, {5}}), 0, 0, {strW, L""}},
        {L"WK", {'a', 0, 'b'}, 0, 0, {L"a"}}, // an odd byte in a wide text
        {L"WK", Utf16(u"\U00010000"), 0, 0, {L"\U00010000"}},
        // Only a high surrogate followed by a low one makes a pair.
        {L"WK", {'a', 0, 0x00, 0xDC, 'b', 0}, 0, 0, {L"a\xDC00" L"b"}},
        {L"WK", {0x00, 0xDC, 0x00, 0xDC}, 0, 0, {L"\xDC00\xDC00"}},
        {L"WK", {'a', 0, 0x00, 0xD8, 0x00}, 0, 0, {L"a\xD800"}}, // no low surrogate left
        // The engine's markers, in bound mode only, as one unit left.
        {L"WK", Join({w, {0xFF, 0xFF}}), 1, 0, {strW, L""}},
        {L"WK", {0xFF, 0xFF}, 1, CNARecherche::BOUND_MAX, {L"\xffff"}},
        {L"WK", {0, 0}, 1, CNARecherche::BOUND_MIN, {L""}},
        {L"WK", {0xFF, 0xFF}, 0, 0, {L"\xffff"}},
        {L"WK", {}, 1, 0, {}},
        {L"DK", Join({Ints({5}), {0xFF}}), 1, CNARecherche::BOUND_MAX, {L"5", L"2147483647"}},
        {L"DK", Join({Ints({5}), {0}}), 1, CNARecherche::BOUND_MIN, {L"5", L"-2147483648"}},
        {L"DK", Join({Ints({5}), {7, 0}}), 1, 0, {L"5"}}, // a number cut short: none
        // Texts: whole past ten characters, a full field ending there.
        {L"LK", Join({Field("abcdefghijklmno", 20), Ints({5})}), 0, 0, {L"abcdefghijklmno", L"5"}},
        {L"LK", Join({Field("abcdefghijklmnopqrst", 20), Ints({90})}), 0, 0, {L"abcdefghijklmnopqrst", L"90"}},
        {L"N", Ints({1}), 0, 0, {}}, // not a composite key
    };
    for (const auto& c : cases) {
        CAny values[3];
        int n = -1;
        EXPECT_EQ(CNARecherche::s_nGetComponentValue(Col(c.pszKey), Bin(c.aby), c.bPartial, values, 3, &n), c.nBound);
        Texts tab;
        for (int i = 0; i < n; i++) {
            std::wstring s;
            CAny t;
            values[i].pclGetTraitement()->Duplique(&t);
            if (t.nGetTypeCode() == TQTYPE_BIN) {
                for (unsigned char b : DataBytes(t)) {
                    wchar_t sz[3];
                    swprintf(sz, 3, L"%02X", b);
                    s += sz;
                }
            } else {
                EXPECT_LE(t.__nCastTo(TQTYPE_DSTRW, nullptr, 0), 99);
                s = TextW(t);
            }
            tab.push_back(s);
        }
        EXPECT_EQ(tab, c.tab) << Narrow(c.pszKey) << " " << c.aby.size() << " bytes";
    }
    int n = -1;
    CAny values[1];
    EXPECT_EQ(CNARecherche::s_nGetComponentValue(Col(L"WK"), nullptr, 0, values, 1, &n), 0);
    EXPECT_EQ(n, 0);
}

TEST_F(NARecherche, ExtremeValues)
{
    const struct {
        unsigned short nType;
        std::wstring strMax;
        std::wstring strMin;
    } cases[] = {
        {TQTYPE_BOOL, L"1", L"0"},          {TQTYPE_UI1, L"255", L"0"},
        {TQTYPE_UI2, L"65535", L"0"},       {TQTYPE_UI4, L"4294967295", L"0"},
        {TQTYPE_UI8, L"18446744073709551615", L"0"},
        {TQTYPE_I1, L"127", L"-128"},       {TQTYPE_I2, L"32767", L"-32768"},
        {TQTYPE_I4, L"2147483647", L"-2147483648"},
        {TQTYPE_I8, L"9223372036854775807", L"-9223372036854775808"},
        {TQTYPE_CY, L"604462909807314587.353087", L"0"},
        {TQTYPE_DATEW, L"30001231", L""},   {TQTYPE_TIMEW, L"235959999", L"0000"},
        {TQTYPE_DATEA, L"30001231", L""},   {TQTYPE_TIMEA, L"235959999", L"0000"},
    };
    CAny v;
    for (const auto& c : cases) {
        v.__SetType(c.nType, 0);
        for (int bMax = 1; bMax >= 0; bMax--) { // the smallest over the largest
            v.SetFlags(0x500);                  // NULL and the kept flag
            if (bMax)
                CNARecherche::s_SetAnyToMax(&v);
            else
                CNARecherche::s_SetAnyToMin(&v);
            EXPECT_EQ(v.nGetFlags(), 0) << c.nType;
            CAny t;
            v.pclGetTraitement()->Duplique(&t);
            ASSERT_LE(t.__nCastTo(TQTYPE_DSTRW, nullptr, 0), 99) << c.nType;
            EXPECT_EQ(TextW(t), bMax ? c.strMax : c.strMin) << "type " << c.nType << (bMax ? " max" : " min");
        }
    }
    // The 4-byte unsigned of type 14, reals, a duration, a date-time.
    SetAs<unsigned int>(v, TQTYPE_UIX, 5u);
    CNARecherche::s_SetAnyToMax(&v);
    EXPECT_EQ(Get<unsigned int>(v), 0xFFFFFFFFu);
    CNARecherche::s_SetAnyToMin(&v);
    EXPECT_EQ(Get<unsigned int>(v), 0u);
    SetAs<float>(v, TQTYPE_R4, 1.5f);
    CNARecherche::s_SetAnyToMin(&v);
    EXPECT_EQ(Get<float>(v), -FLT_MAX);
    SetAs<double>(v, TQTYPE_R8, 1.5);
    CNARecherche::s_SetAnyToMax(&v);
    EXPECT_EQ(Get<double>(v), DBL_MAX);
    SetAs<long long>(v, TQTYPE_DUREE, 5);
    CNARecherche::s_SetAnyToMin(&v);
    EXPECT_EQ(Get<long long>(v), LLONG_MIN);
    CNARecherche::s_SetAnyToMax(&v);
    EXPECT_EQ(Get<long long>(v), LLONG_MAX);
    v.__SetType(TQTYPE_DATETIME, 0);
    CNARecherche::s_SetAnyToMax(&v);
    CAny t;
    v.pclGetTraitement()->Duplique(&t);
    ASSERT_LE(t.__nCastTo(TQTYPE_DSTRW, nullptr, 0), 99);
    EXPECT_EQ(TextW(t).substr(0, 12), L"300012310000");
    CNARecherche::s_SetAnyToMin(&v);
    EXPECT_EQ(Get<long long>(v), 0);
    // A decimal: its own extremes; other types left alone.
    CAny dec(TQTYPE_DECIMAL);
    CNARecherche::s_SetAnyToMax(&dec);
    EXPECT_EQ(eCheckValue(&dec), CHECKVALUE_MAX);
    CNARecherche::s_SetAnyToMin(&dec);
    EXPECT_EQ(eCheckValue(&dec), CHECKVALUE_MIN);
    SetText8(v, "abc");
    v.SetNullFlag(true);
    CNARecherche::s_SetAnyToMax(&v);
    EXPECT_TRUE(v.bIsNull());
    EXPECT_EQ(Text8(v), "abc");
}

TEST_F(NARecherche, EqualitiesOfSearchesFiltersAndSaves)
{
    auto Set = [&](CNARecherche* p, const wchar_t* pszItem, const CAny* v) {
        p->bSetRecherche(m_pRecord, Item(pszItem), v, Dir(0), 1, 0);
        Where(p); // the parameters
    };
    CNARecherche* a = Search();
    CNARecherche* b = Search();
    EXPECT_EQ(a->bEqualsSearch(b), 1); // two inactive searches
    Set(a, L"N", I4(5));
    Set(b, L"N", I4(5));
    EXPECT_EQ(a->bEqualsSearch(b), 1);
    EXPECT_EQ(a->bEqualsSearch(a), 1);
    Set(b, L"U", I4(5));
    EXPECT_EQ(a->bEqualsSearch(b), 0); // another item
    Set(b, L"N", Nul());
    EXPECT_EQ(a->bEqualsSearch(b), 0); // NULL against a value
    Set(a, L"N", Nul());
    EXPECT_EQ(a->bEqualsSearch(b), 1); // two NULLs
    b->bSetContinueParcours(Dir(0));
    EXPECT_EQ(a->bEqualsSearch(b), 0); // another state
    // A search on an item against the same condition added without one.
    CNARecherche* pOnItem = Search();
    pOnItem->bSetRecherche(m_pRecord, Item(L"N"), I4(5), Dir(4), 1, 0);
    CNARecherche* pNoItem = Added(L"N", NAOP_EQ, I4(5));
    EXPECT_EQ(pOnItem->bEqualsSearch(pNoItem), 0);
    EXPECT_EQ(pNoItem->bEqualsSearch(pOnItem), 0);
    EXPECT_EQ(CNARecherche::g_bEqualsSearch(nullptr, nullptr), 1);
    EXPECT_EQ(CNARecherche::g_bEqualsSearch(a, nullptr), 0);
    // Two searches are compared by their conditions, active or not.
    EXPECT_EQ(CNARecherche::g_bEqualsSearch(pOnItem, pOnItem), 1);
    EXPECT_EQ(CNARecherche::g_bEqualsSearch(pOnItem, pNoItem), 0);
    a->Desactivate();
    EXPECT_EQ(CNARecherche::g_bEqualsSearch(nullptr, a), 1);
    // Filters and their saves.
    CNAFilter* f = Filter();
    CNAFilter* g = Filter();
    f->bSetFilter(m_pRecord, Item(L"N"), I4(5), 1, Nul(), 1, nullptr, 0);
    g->bSetFilter(m_pRecord, Item(L"N"), I4(5), 1, Nul(), 1, nullptr, 0);
    EXPECT_EQ(CNAFilter::g_bEqualsFilter(f, nullptr), 1); // inactive
    f->ActivateFilter(1);
    EXPECT_EQ(CNAFilter::g_bEqualsFilter(f, nullptr), 0);
    EXPECT_EQ(CNAFilter::g_bEqualsFilter(f, g), 0);
    g->ActivateFilter(1);
    EXPECT_EQ(f->bEqualsFilter(g), 1);
    CNAFilterSave save(nullptr);
    EXPECT_EQ(save.bFilterEquals(nullptr), 1);
    g->ActivateFilter(0);
    EXPECT_EQ(save.bFilterEquals(g), 1); // both inactive
    save.SetFilter(f);
    EXPECT_EQ(save.bIsActive(), 1);
    EXPECT_EQ(save.bFilterEquals(g), 0);
    g->ActivateFilter(1);
    EXPECT_EQ(save.bFilterEquals(g), 1);
    CNAFilterSave copy;
    copy.Copy(save);
    EXPECT_EQ(copy.pclGetFilterNoRef(), f);
    f->ActivateFilter(0);
    EXPECT_EQ(copy.bFilterEquals(f), 0); // the save keeps its active flag
    save.SetFilter(nullptr);
    EXPECT_EQ(save.bIsActive(), 0);
}

TEST_F(NARecherche, FailuresReported)
{
    // Cells or nodes refused half way: the operation fails, keeps nothing,
    // leaks nothing.
    const struct {
        int nCells;
        const wchar_t* pszItem;
        eNAOperator e; // 0: a search
        CAny* v;
    } cases[] = {
        {0, L"N", NAOP_NONE, I4(4)},
        {1, L"CK", NAOP_NONE, Bin(KeyCK(5, "x"))},
        {1, L"AK3", NAOP_NONE, Bin(Join({KeyCK(5, ""), Ints({0})}))},
        {1, L"AK3", NAOP_GT, Bin(Join({KeyCK(5, ""), Ints({0})}))},
        {2, L"CK", NAOP_GT, Bin(KeyCK(5, "x"))},
    };
    for (const auto& c : cases) {
        CNARecherche* p = Search();
        m_clDriver.m_nCellsLeft = c.nCells;
        const int b = c.e == NAOP_NONE ? p->bSetRecherche(m_pRecord, Item(c.pszItem), c.v, Dir(0), 1, 0)
                                       : p->bAddExpression(m_pRecord, Item(c.pszItem), c.e, c.v, 0, NAOP_AND, 0);
        m_clDriver.m_nCellsLeft = -1;
        EXPECT_EQ(b, 0) << Narrow(c.pszItem);
        EXPECT_EQ(p->pclGetCurrentNoRef(), nullptr);
    }
    // A continuation refused: the search keeps none of its conditions.
    for (int nNodes = 1; nNodes <= 2; nNodes++) {
        CNARecherche* p = Search();
        Live().nNodesLeft = nNodes;
        EXPECT_EQ(p->bSetRecherche(m_pRecord, Item(L"N"), I4(4), Dir(0), 1, 0), 0) << nNodes;
        Live().nNodesLeft = -1;
        EXPECT_EQ(p->pclGetForwardNoRef(), nullptr) << nNodes;
        EXPECT_EQ(p->pclGetBackwardNoRef(), nullptr) << nNodes;
    }
    CNARecherche* pJoin = Added(L"N", NAOP_EQ, I4(3));
    Live().nNodesLeft = 1; // the leaf, not the join
    EXPECT_EQ(pJoin->bAddExpression(m_pRecord, Item(L"ID"), NAOP_EQ, I4(3), 0, NAOP_AND, 0), 0);
    Live().nNodesLeft = -1;
    EXPECT_EQ(Where(pJoin), L"`N`=3");
    CNAFilter* pRefused = Filter();
    m_clDriver.m_nCellsLeft = 1;
    EXPECT_EQ(pRefused->bSetFilter(m_pRecord, Item(L"N"), I4(1), 1, I4(2), 1, nullptr, 0), 0);
    m_clDriver.m_nCellsLeft = -1;
    EXPECT_EQ(pRefused->pclGetConditionNoRef(), nullptr);
    // Without the driver's factory no parameter is made.
    m_pError->Reset();
    CNADriver* pclDriver = CNADriver::s_pclDriver;
    CNADriver::s_pclDriver = nullptr;
    EXPECT_EQ(pJoin->_pclAddParameter(nullptr, nullptr, 0, 0), nullptr);
    CNADriver::s_pclDriver = pclDriver;
    EXPECT_EQ(m_pError->dwGetErrorId(), 12u);
    EXPECT_NE(std::wstring(m_pError->pclGetXError()->pszGetDebugMessage()).find(L"=14.22"), std::wstring::npos);
}

TEST_F(NARecherche, ACutReleasesTheParametersFromItsPositionOn)
{
    // A host condition that begins with its parameter places it at the cut
    // itself: cut there, the parameter goes with the text.
    CNARecherche* p = Search();
    for (unsigned int nPosition : {0u, 6u, 6u, 11u})
        ASSERT_NE(p->_pclAddParameter(nullptr, nullptr, nPosition, 0), nullptr);
    ASSERT_EQ(p->nGetNbParameter(), 4);
    p->_RemoveParameterByPos(7);
    EXPECT_EQ(p->nGetNbParameter(), 3);
    p->_RemoveParameterByPos(6);
    ASSERT_EQ(p->nGetNbParameter(), 1);
    CNAParameter* pKept = p->pclGetParameter(0);
    ASSERT_NE(pKept, nullptr);
    EXPECT_EQ(pKept->nGetPosition(), 0u);
    pKept->nRelease();
    p->_RemoveParameterByPos(0);
    EXPECT_EQ(p->nGetNbParameter(), 0);
}

TEST_F(NARecherche, StatesClonesAndHolders)
{
    // The search holds its item and its connection while it lives.
    CNAItemDescription* pItem = (*m_pTable)->pclNAGetItemNoRef(L"CK", 0);
    const unsigned int nHeld = pItem->nGetExternalRef();
    const unsigned int nRefs = m_pCnx->nGetRef();
    CNARecherche* p = new CCountedSearch(m_pError, m_pCnx);
    p->AddRef();
    EXPECT_EQ(m_pCnx->nGetRef(), nRefs + 1);
    EXPECT_EQ(p->eGetDirection(), Dir(4));
    EXPECT_EQ(p->bHTrouve(), 0);
    EXPECT_EQ(p->bPeutContinuerParcours(Dir(0)), 0);
    ASSERT_EQ(p->bSetRecherche(m_pRecord, Item(L"CK"), Bin(KeyCK(1, "a")), Dir(1), 1, 0), 1);
    EXPECT_EQ(p->bIsComposedKeySearch(), 1);
    EXPECT_EQ(p->bHTrouve(), 1);
    EXPECT_EQ(p->bPeutContinuerParcours(Dir(0)), 1);
    p->bSetContinueParcours(Dir(1));
    EXPECT_EQ(p->nGetState(), CNARecherche::STATE_BROWSING);
    EXPECT_EQ(p->pclGetCurrentNoRef(), p->pclGetBackwardNoRef());
    EXPECT_EQ(p->bHTrouve(), 0);
    EXPECT_EQ(p->bPeutContinuerParcours(Dir(1)), 0);
    EXPECT_EQ(p->bPeutContinuerParcours(Dir(0)), 1);
    p->Cancel();
    EXPECT_EQ(p->bHTrouve(), 1);
    EXPECT_EQ(p->bReviensParcoursPrecedent(Dir(0)), 1);
    EXPECT_EQ(p->nGetState(), CNARecherche::STATE_SEARCHING);
    // A clone shares the conditions, parameters and suffix, not the item.
    p->SetParameterSuffix(L" /*s*/");
    Where(p);
    CNARecherche* pClone = p->pclClone();
    ASSERT_NE(pClone, nullptr);
    pClone->AddRef();
    m_tabSearch.push_back(pClone);
    EXPECT_EQ(pItem->nGetExternalRef(), nHeld + 1);
    EXPECT_EQ(pClone->pclGetCurrentNoRef(), p->pclGetCurrentNoRef());
    EXPECT_EQ(pClone->pclGetForwardNoRef(), p->pclGetForwardNoRef());
    EXPECT_EQ(pClone->pclGetBackwardNoRef(), p->pclGetBackwardNoRef());
    EXPECT_NE(pClone->pclGetForwardNoRef(), nullptr);
    EXPECT_EQ(pClone->nGetNbParameter(), p->nGetNbParameter());
    EXPECT_EQ(std::wstring(pClone->pszGetParameterSuffix()), L" /*s*/");
    EXPECT_EQ(pClone->piGetFetchItem(), nullptr);
    CNAExpression* pExpression = pClone->pclGetExpression();
    ASSERT_NE(pExpression, nullptr);
    EXPECT_EQ(pExpression, p->pclGetCurrentNoRef());
    pExpression->nRelease();
    CNAParameter* pParameter = p->pclGetParameter(0);
    ASSERT_NE(pParameter, nullptr);
    EXPECT_EQ(pParameter->nRelease(), 2u); // the search and its clone still hold it
    EXPECT_EQ(p->pclGetParameter(9), nullptr);
    // A filter clones as a filter; the host's parameters come later.
    CNARecherche* pFilterClone = Filter()->pclClone();
    ASSERT_NE(dynamic_cast<CNAFilter*>(pFilterClone), nullptr);
    pFilterClone->AddRef();
    m_tabSearch.push_back(pFilterClone);
    // The parameters a command gained from a place on join the search's.
    CNACommand cmd(m_pError, m_pCnx);
    cmd.bAddParameter(I4(1), -1, 0, nullptr, 0, CNAParameter::PARAM_IN);
    cmd.bAddParameter(I4(2), -1, 0, nullptr, 0, CNAParameter::PARAM_IN);
    const int nBeforeQuery = p->nGetNbParameter();
    EXPECT_EQ(p->GetParameterFromQuery(&cmd, 1), 1);
    ASSERT_EQ(p->nGetNbParameter(), nBeforeQuery + 1);
    CNAParameter* pAdded = p->pclGetParameter(nBeforeQuery);
    EXPECT_EQ(pAdded, cmd.pclGetParameterNoRef(1));
    pAdded->nRelease();
    EXPECT_EQ(p->GetParameterFromQuery(nullptr, 0), 0);
    // Gone, the search gives its item and its connection back.
    const unsigned int nBefore = m_pCnx->nGetRef();
    EXPECT_EQ(p->nRelease(), 0u);
    EXPECT_EQ(pItem->nGetExternalRef(), nHeld);
    EXPECT_EQ(m_pCnx->nGetRef(), nBefore - 1);
}

} // namespace
