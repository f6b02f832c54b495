// Key searches and filters as WHERE texts: searches and their continuation
// conditions on simple, unique, composite and descending keys, record
// searches, filter bounds with the engine's markers, composite key images
// split into values, extreme values, comparisons and saves.
#include "access/sql/NARecherche.h"

#include "access/sql/NACommand.h"
#include "access/sql/NAFilter.h"
#include "access/sql/NAFilterSave.h"
#include "access/statement/NARecord.h"
#include "common/values/Decimal.h"
#include "common/values/datetime.h"
#include "common/values/monetaire.h"
#include "tests/support/SearchObjects.h"
#include "tests/support/TestTable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

typedef std::vector<unsigned char> Image;

std::string Narrow(const std::wstring& s)
{
    return std::string(s.begin(), s.end());
}

eNA_PARSEDIRECTION Dir(int n)
{
    return static_cast<eNA_PARSEDIRECTION>(n);
}

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
        t.AddComposite(L"CK", CTestTable::UNIQUE, {L"A", L"C"}, false);
        t.AddComposite(L"WK", CTestTable::DUPLICATES, {L"W", L"BIN", L"D"});
        AddDescendingKey(t, L"DK", L"A", L"N", true);
        t.Add(L"L", NA_IT_TEXTE, 21, 0, true);
        t.AddComposite(L"LK", CTestTable::DUPLICATES, {L"L", L"A"});
    }
    void TearDown() override
    {
        for (CNARecherche* p : m_tabSearch)
            p->nRelease();
        SearchRecordTest::TearDown();
    }
    CNARecherche* Search()
    {
        m_tabSearch.push_back(new CCountedSearch(m_pError, m_pCnx));
        m_tabSearch.back()->AddRef();
        return m_tabSearch.back();
    }
    CNAFilter* Filter()
    {
        CNAFilter* p = new CCountedFilter(m_pError, m_pCnx);
        p->AddRef();
        m_tabSearch.push_back(p);
        return p;
    }
    // The item (the table keeps the reference).
    INAItemDescription* Item(const wchar_t* pszName) { return (*m_pTable)->pclNAGetItemNoRef(pszName, 0); }
    // The search's WHERE text, literals in place.
    std::wstring Where(CNARecherche* p, CNAFilter* pFilter = nullptr)
    {
        CNACommand cmd(m_pError, m_pCnx);
        EXPECT_EQ(p->bGetSQL(&cmd, pFilter, m_pRecord), 1) << Narrow(m_pError->pszGetError());
        EXPECT_EQ(cmd.nGetParameterNbr(), p->nGetNbParameter());
        const wchar_t* psz = cmd.pszGetFormatedSQLW(CNACommand::PTC_ALL);
        return psz != nullptr ? psz : L"(failed)";
    }
    // The search, then the forward and the backward condition.
    std::vector<std::wstring> Walk(CNARecherche* p)
    {
        std::vector<std::wstring> tab{Where(p)};
        for (int n = 0; n < 2; n++) {
            p->bSetContinueParcours(Dir(n));
            tab.push_back(Where(p));
            p->bSetContinueParcours(Dir(n));
        }
        return tab;
    }
    void SetColumn(const wchar_t* pszName, const CAny& v) { ASSERT_EQ(Col(pszName)->bSetValue(&v, 0), 1); }
    void SetInt(const wchar_t* pszName, int n)
    {
        CAny v;
        SetAs<int>(v, TQTYPE_I4, n);
        SetColumn(pszName, v);
    }
    void SetText(const wchar_t* pszName, const char* psz)
    {
        CAny v;
        SetText8(v, psz);
        SetColumn(pszName, v);
    }
    static void SetImage(CAny& v, const Image& aby)
    {
        v.__SetType(TQTYPE_BIN, 0);
        v.pclGetTraitement()->SetValue(aby.data(), static_cast<unsigned int>(aby.size()));
        v.SetFlags(0);
    }

    std::vector<CNARecherche*> m_tabSearch;
};

// The image of CK: A's four bytes, then C's ten.
Image KeyCK(int a, const std::string& c)
{
    Image aby(4 + 10, 0);
    std::memcpy(aby.data(), &a, 4);
    std::memcpy(aby.data() + 4, c.data(), std::min<size_t>(c.size(), 10));
    return aby;
}

TEST_F(NARecherche, SearchesAndTheirContinuations)
{
    struct Case {
        const wchar_t* pszItem;
        int nKind; // 0 integer, 1 8-bit text, 2 image of CK, 3 image of DK
        int n;
        const char* psz;
        int bExact;
        std::vector<const wchar_t*> tabText; // search, forward, backward
    } cases[] = {
        {L"ID", 0, 7, "", 1, {L"`ID`=7", L"`ID`>7", L"`ID`<7"}},
        {L"N", 0, 5, "", 1, {L"`N`=5", L"`N`>5", L"(`N`<5 OR `N` IS NULL)"}},
        // A value the engine keeps as NULL lets no NULL through before it.
        {L"N", 0, 0, "", 1, {L"`N`=0", L"`N`>0", L"`N`<0"}},
        {L"U", 0, 3, "", 1, {L"`U`=3", L"`U`>3", L"(`U`<3 OR `U` IS NULL)"}},
        {L"S", 1, 0, "ab", 0,
         {L"`S` LIKE 'ab%' ESCAPE '!'", L" NOT (`S` LIKE 'ab%' ESCAPE '!' ) AND `S`>'ab'",
          L"(`S`<'ab' OR `S` IS NULL)"}},
        {L"S", 1, 0, "ab", 1, {L"`S`='ab'", L"`S`>'ab'", L"(`S`<'ab' OR `S` IS NULL)"}},
        // A descending key goes on the other way.
        {L"ND", 0, 4, "", 1, {L"`ND`=4", L"(`ND`<4 OR `ND` IS NULL)", L"`ND`>4"}},
        {L"CK", 2, 5, "xy", 1,
         {L"`A`=5 AND `C`='xy'", L"`A`>5 OR `A`=5 AND `C`>'xy'",
          L"(`A`<5 OR `A` IS NULL) OR `A`=5 AND (`C`<'xy' OR `C` IS NULL)"}},
        // A generic search on a composite key: an empty component is exact.
        {L"CK", 2, 5, "", 0, {L"`A`=5 AND `C`=''", L"`A`>5 OR `A`=5 AND (`C`>'' AND `C`<>'')",
                              L"(`A`<5 OR `A` IS NULL) OR `A`=5 AND `C`<''"}},
        {L"DK", 3, 5, "", 1,
         {L"`A`=5 AND `N`=3", L"`A`>5 OR `A`=5 AND (`N`<3 OR `N` IS NULL)",
          L"(`A`<5 OR `A` IS NULL) OR `A`=5 AND `N`>3"}},
    };
    for (const Case& c : cases) {
        CNARecherche* p = Search();
        CAny v;
        if (c.nKind == 0) {
            SetAs<int>(v, TQTYPE_I4, c.n);
        } else if (c.nKind == 1) {
            SetText8(v, c.psz);
        } else if (c.nKind == 2) {
            SetImage(v, KeyCK(c.n, c.psz));
        } else {
            const int an[2] = {c.n, 3};
            Image aby(8);
            std::memcpy(aby.data(), an, 8);
            SetImage(v, aby);
        }
        ASSERT_EQ(p->bSetRecherche(m_pRecord, Item(c.pszItem), &v, Dir(0), c.bExact, 0), 1);
        EXPECT_EQ(p->nGetState(), CNARecherche::STATE_SEARCHING);
        const std::vector<std::wstring> tab = Walk(p);
        for (size_t i = 0; i < 3; i++)
            EXPECT_EQ(tab[i], c.tabText[i]) << Narrow(c.pszItem) << " " << c.n << " " << c.psz << " part " << i;
    }
}

TEST_F(NARecherche, RecordSearches)
{
    SetInt(L"ID", 7);
    SetInt(L"N", 5);
    SetInt(L"A", 2);
    SetText(L"C", "k");
    struct Case {
        const wchar_t* pszItem;
        std::vector<const wchar_t*> tabText;
    } cases[] = {
        {L"ID", {L"`ID`=7", L"`ID`>7", L"`ID`<7"}},
        // A key with duplicates: the row by its unique key, then on in the
        // key's order, the unique key deciding between equal values.
        {L"N", {L"`ID`=7", L"`N`>5 OR `N`=5 AND `ID`>7", L"(`N`<5 OR `N` IS NULL) OR `N`=5 AND `ID`<7"}},
        // A unique composite key kept from NULL is complete after its
        // components.
        {L"CK",
         {L"`ID`=7", L"`A`>2 OR `A`=2 AND `C`>'k'", L"(`A`<2 OR `A` IS NULL) OR `A`=2 AND (`C`<'k' OR `C` IS NULL)"}},
    };
    for (const Case& c : cases) {
        CNARecherche* p = Search();
        ASSERT_EQ(p->bRechercheEnreg(m_pRecord, Item(c.pszItem), Dir(0), 0, nullptr), 1);
        EXPECT_EQ(p->bIsComposedKeySearch(), 0);
        const std::vector<std::wstring> tab = Walk(p);
        for (size_t i = 0; i < 3; i++)
            EXPECT_EQ(tab[i], c.tabText[i]) << Narrow(c.pszItem) << " part " << i;
    }
    // Given key columns; without continuation conditions.
    CNARefArray<CNAColumn> tabKey;
    tabKey.Ajoute(Col(L"N"));
    tabKey.Ajoute(Col(L"ID"));
    CNARecherche* p = Search();
    ASSERT_EQ(p->bRechercheEnreg(m_pRecord, Item(L"S"), Dir(0), 1, &tabKey), 1);
    EXPECT_EQ(p->pclGetForwardNoRef(), nullptr);
    EXPECT_EQ(Where(p), L"`ID`=7");
    // Without a value of the unique key, by the unique composite key.
    CAny v;
    SetNull(v, TQTYPE_I4);
    SetColumn(L"ID", v);
    CNARecherche* pNoId = Search();
    ASSERT_EQ(pNoId->bRechercheEnreg(m_pRecord, Item(L"N"), Dir(0), 1, nullptr), 1);
    EXPECT_EQ(Where(pNoId), L"`A`=2 AND `C`='k'");
}

TEST_F(NARecherche, ExpressionsAddedOneByOne)
{
    CNARecherche* p = Search();
    CAny v;
    SetText8(v, "ab");
    // A generic <= and > on a text in bound mode: through the prefix, past it.
    EXPECT_EQ(p->bAddExpression(m_pRecord, Item(L"S"), NAOP_LE, &v, 1, NAOP_AND, 1), 1);
    EXPECT_EQ(Where(p), L"(`S`<'ab' OR `S` IS NULL) OR `S` LIKE 'ab%' ESCAPE '!'");
    p->Desactivate();
    EXPECT_EQ(p->bAddExpression(m_pRecord, Item(L"S"), NAOP_GT, &v, 1, NAOP_AND, 1), 1);
    SetAs<int>(v, TQTYPE_I4, 3);
    EXPECT_EQ(p->bAddExpression(m_pRecord, Item(L"N"), NAOP_NE, &v, 0, NAOP_OR, 0), 1);
    EXPECT_EQ(Where(p), L"`S`>'ab' AND `S` NOT LIKE 'ab%' ESCAPE '!' OR `N`<>3");
    // Outside bound mode a generic <= is one comparison.
    p->Desactivate();
    SetText8(v, "ab");
    p->bAddExpression(m_pRecord, Item(L"S"), NAOP_LE, &v, 1, NAOP_AND, 0);
    EXPECT_EQ(Where(p), L"(`S`<='ab' OR `S` IS NULL)");
    // A comparison every row meets adds nothing.
    p->Desactivate();
    SetText8(v, "");
    p->bAddExpression(m_pRecord, Item(L"S"), NAOP_GE, &v, 0, NAOP_AND, 0);
    EXPECT_EQ(p->pclGetCurrentNoRef(), nullptr);
    EXPECT_EQ(Where(p), L"");
    // An item not in the record: no condition, no failure.
    CTestItem* pStranger = new CTestItem(NA_IT_I4, 4, 0, 0);
    pStranger->SetPhysical(99);
    EXPECT_EQ(p->bSetRecherche(m_pRecord, pStranger, &v, Dir(0), 1, 0), 1);
    EXPECT_EQ(p->nGetState(), CNARecherche::STATE_INACTIVE);
    pStranger->nRelease();
}

TEST_F(NARecherche, FilterBoundsAndMarkers)
{
    CAny lo;
    CAny hi;
    struct Case {
        const wchar_t* pszItem;
        int nLo; // INT_MIN and INT_MAX are the markers
        int bLoIn;
        int nHi;
        int bHiIn;
        const wchar_t* pszText;
    } cases[] = {
        {L"N", 3, 1, 8, 1, L"`N`>=3 AND `N`<=8"},
        {L"N", 3, 0, 8, 0, L"`N`>3 AND `N`<8"},
        {L"N", 3, 1, 8, 0, L"`N`>=3 AND `N`<8"},
        {L"N", 3, 0, 8, 1, L"`N`>3 AND `N`<=8"},
        // Equal bounds: one equality.
        {L"N", 5, 1, 5, 1, L"`N`=5"},
        // A lower bound the engine keeps as NULL takes the NULL rows.
        {L"N", 0, 1, 8, 1, L"(`N`>=0 OR `N` IS NULL) AND `N`<=8"},
        {L"N", 0, 0, 8, 1, L"`N`>0 AND `N`<=8"},
        {L"N", INT_MIN, 1, INT_MAX, 1, L"`N`>=-2147483648 AND `N`<=2147483647"},
        {L"N", 3, 1, INT_MAX, 0, L"`N`>=3 AND `N`<2147483647"},
        // On a descending key each bound keeps its inclusion.
        {L"ND", 5, 1, 10, 0, L"`ND`<10 AND `ND`>=5"},
        {L"ND", 5, 0, 10, 1, L"`ND`<=10 AND `ND`>5"},
    };
    for (const Case& c : cases) {
        CNAFilter* f = Filter();
        SetAs<int>(lo, TQTYPE_I4, c.nLo);
        SetAs<int>(hi, TQTYPE_I4, c.nHi);
        ASSERT_EQ(f->bSetFilter(m_pRecord, Item(c.pszItem), &lo, c.bLoIn, &hi, c.bHiIn, nullptr, 0), 1);
        f->ActivateFilter(1);
        EXPECT_EQ(Where(f), c.pszText) << c.nLo << " " << c.bLoIn << " " << c.nHi << " " << c.bHiIn;
    }
    // Texts: the largest character marks every text of a prefix; an empty
    // lower bound is no bound; equal bounds are a prefix.
    struct TextCase {
        const char* pszLo; // null: none
        const char* pszHi;
        const wchar_t* pszText;
    } texts[] = {
        {"ab", "ab\xff", L"`S`>='ab' AND (`S`<'ab' OR `S` LIKE 'ab%' ESCAPE '!' )"},
        {"", "k", L"`S`<='k'"},
        {"ab", "ab", L"`S` LIKE 'ab%' ESCAPE '!'"},
        {nullptr, "k", L"`S`<='k'"},
        {"k", nullptr, L"`S`>='k'"},
    };
    for (const TextCase& c : texts) {
        CNAFilter* f = Filter();
        if (c.pszLo != nullptr)
            SetText8(lo, c.pszLo);
        if (c.pszHi != nullptr)
            SetText8(hi, c.pszHi, TQTYPE_PSTRA); // a text whose last byte the engine reads
        ASSERT_EQ(f->bSetFilter(m_pRecord, Item(L"S"), c.pszLo ? &lo : nullptr, 1, c.pszHi ? &hi : nullptr, 1,
                                nullptr, 0),
                  1);
        f->ActivateFilter(1);
        EXPECT_EQ(Where(f), c.pszText) << (c.pszLo ? c.pszLo : "none") << " " << (c.pszHi ? c.pszHi : "none");
    }
    // The largest wide character ends a wide text: the character goes.
    CNAFilter* pWide = Filter();
    SetTextW(hi, std::wstring(L"ab") + static_cast<wchar_t>(0xFFFFFFFF), TQTYPE_PSTRW);
    ASSERT_EQ(pWide->bSetFilter(m_pRecord, Item(L"W"), nullptr, 1, &hi, 1, nullptr, 0), 1);
    pWide->ActivateFilter(1);
    EXPECT_EQ(Where(pWide), L"`W`<'ab' OR `W` LIKE 'ab%' ESCAPE '!'");
    // Flag 0x8: the record's value; no bound at all: no condition.
    SetInt(L"N", 6);
    CNAFilter* f = Filter();
    ASSERT_EQ(f->bSetFilter(m_pRecord, Item(L"N"), nullptr, 1, nullptr, 1, nullptr, 8), 1);
    f->ActivateFilter(1);
    EXPECT_EQ(Where(f), L"`N`=6");
    CNAFilter* pNone = Filter();
    EXPECT_EQ(pNone->bSetFilter(m_pRecord, Item(L"N"), nullptr, 1, nullptr, 1, nullptr, 0), 1);
    EXPECT_EQ(pNone->pclGetConditionNoRef(), nullptr);
    // A bound whose cell cannot be made: nothing kept, nothing leaked.
    m_clDriver.m_nCellsLeft = 1;
    CNAFilter* pRefused = Filter();
    SetAs<int>(lo, TQTYPE_I4, 1);
    SetAs<int>(hi, TQTYPE_I4, 2);
    EXPECT_EQ(pRefused->bSetFilter(m_pRecord, Item(L"N"), &lo, 1, &hi, 1, nullptr, 0), 0);
    EXPECT_EQ(pRefused->pclGetConditionNoRef(), nullptr);
    m_clDriver.m_nCellsLeft = -1;
    m_pError->Reset();
    // A host-parsed condition is read with the query rewriting.
    int nParser = 0;
    EXPECT_EQ(pNone->bSetFilter(m_pRecord, Item(L"N"), nullptr, 1, nullptr, 1,
                                reinterpret_cast<ISQLParserInformation*>(&nParser), 0),
              0);
    EXPECT_EQ(m_pError->dwGetErrorId(), 8u);
}

TEST_F(NARecherche, SearchWithinAFilter)
{
    CNAFilter* f = Filter();
    CAny lo;
    CAny hi;
    SetAs<int>(lo, TQTYPE_I4, 1);
    SetAs<int>(hi, TQTYPE_I4, 9);
    ASSERT_EQ(f->bSetFilter(m_pRecord, Item(L"N"), &lo, 1, &hi, 1, nullptr, 0), 1);
    CNARecherche* p = Search();
    CAny v;
    SetAs<int>(v, TQTYPE_I4, 4);
    p->bSetRecherche(m_pRecord, Item(L"ID"), &v, Dir(0), 1, 0);
    // An inactive filter adds nothing.
    EXPECT_EQ(Where(p, f), L"`ID`=4");
    f->ActivateFilter(1);
    EXPECT_EQ(Where(p, f), L"(`N`>=1 AND `N`<=9 ) AND `ID`=4");
    EXPECT_EQ(p->nGetNbParameter(), 3);
    // A search without condition: the filter's alone.
    p->Desactivate();
    EXPECT_EQ(Where(p, f), L"`N`>=1 AND `N`<=9");
    // A condition that no row meets.
    m_pCnx->m_bNullFirst = 0;
    CNARecherche* pFalse = Search();
    CAny null;
    SetNull(null, TQTYPE_I4);
    pFalse->bAddExpression(m_pRecord, Item(L"N"), NAOP_GT, &null, 0, NAOP_AND, 0);
    EXPECT_EQ(Where(pFalse), L"0=1");
    EXPECT_EQ(Where(pFalse, f), L"0=1");
    m_pCnx->m_bNullFirst = 1;
}

TEST_F(NARecherche, CompositeKeyImagesSplit)
{
    CNAColumn* pKey = Col(L"WK");
    // W: 6 UTF-16 units; BIN: a 16-bit length and 6 bytes; D: 8 bytes.
    auto Utf16 = [](const std::u16string& s, size_t nUnits) {
        Image aby(nUnits * 2, 0);
        std::memcpy(aby.data(), s.data(), std::min(s.size(), nUnits) * 2);
        return aby;
    };
    auto Join = [](std::vector<Image> parts) {
        Image aby;
        for (const Image& p : parts)
            aby.insert(aby.end(), p.begin(), p.end());
        return aby;
    };
    const Image w = Utf16(u"h\u00e9\U0001F600", 6);
    const Image bin = {3, 0, 'x', 0, 'z', 9, 9, 9};
    const Image d = {'2', '0', '2', '3', 0, 0, 0, 0};
    struct Case {
        const char* pszCase;
        Image aby;
        int bPartial;
        int nBound;
        std::vector<std::wstring> tabValues; // texts; binaries in hexadecimal
    } cases[] = {
        {"whole", Join({w, bin, d}), 0, 0, {L"h\u00e9\U0001F600", L"78007A", L"2023"}},
        {"date cut", Join({w, bin, {'2', '0'}}), 0, 0, {L"h\u00e9\U0001F600", L"78007A", L"20"}},
        // A length beyond the field is cut to it, and to the bytes left.
        {"hostile length", Join({w, {0xFF, 0xFF, 'a', 'b', 'c', 'd', 'e', 'f'}, d}), 0, 0,
         {L"h\u00e9\U0001F600", L"616263646566", L"2023"}},
        {"length cut short", Join({w, {0xFF, 0xFF, 'a'}}), 0, 0, {L"h\u00e9\U0001F600", L"61"}},
        {"one byte of a length", Join({w, {5}}), 0, 0, {L"h\u00e9\U0001F600", L""}},
        {"odd byte in a wide text", {'a', 0, 'b'}, 0, 0, {L"a"}},
        // The engine's markers, in bound mode only.
        {"maximum", Join({w, {0xFF, 0xFF}}), 1, CNARecherche::BOUND_NONE, {L"h\u00e9\U0001F600", L""}},
        {"wide maximum", {0xFF, 0xFF}, 1, CNARecherche::BOUND_MAX, {L"\xffff"}},
        {"wide minimum", {0, 0}, 1, CNARecherche::BOUND_MIN, {L""}},
        {"no marker outside bound mode", {0xFF, 0xFF}, 0, CNARecherche::BOUND_NONE, {L"\xffff"}},
        {"empty image", {}, 1, CNARecherche::BOUND_NONE, {}},
    };
    for (const Case& c : cases) {
        CAny image;
        SetImage(image, c.aby);
        CAny values[3];
        int n = -1;
        EXPECT_EQ(CNARecherche::s_nGetComponentValue(pKey, &image, c.bPartial, values, 3, &n), c.nBound)
            << c.pszCase;
        ASSERT_EQ(n, static_cast<int>(c.tabValues.size())) << c.pszCase;
        for (int i = 0; i < n; i++) {
            std::wstring s;
            if (values[i].nGetTypeCode() == TQTYPE_BIN) {
                for (unsigned char b : DataBytes(values[i])) {
                    wchar_t sz[3];
                    swprintf(sz, 3, L"%02X", b);
                    s += sz;
                }
            } else {
                CAny t;
                values[i].pclGetTraitement()->Duplique(&t);
                ASSERT_LE(t.__nCastTo(TQTYPE_DSTRW, nullptr, 0), 99) << c.pszCase;
                s = TextW(t);
            }
            EXPECT_EQ(s, c.tabValues[static_cast<size_t>(i)]) << c.pszCase << " component " << i;
        }
    }
    // A text component longer than ten characters is whole.
    CAny long_;
    Image abyLong(24, 0);
    std::memcpy(abyLong.data(), "abcdefghijklmno", 15);
    SetImage(long_, abyLong);
    CAny longValues[2];
    int nLong = 0;
    CNARecherche::s_nGetComponentValue(Col(L"LK"), &long_, 0, longValues, 2, &nLong);
    ASSERT_EQ(nLong, 2);
    EXPECT_EQ(Text8(longValues[0]), "abcdefghijklmno");
    // A date component the image does not reach: no date.
    CNARecherche* pShort = Search();
    SetImage(long_, Join({w, bin}));
    ASSERT_EQ(pShort->bSetRecherche(m_pRecord, Item(L"WK"), &long_, Dir(0), 1, 0), 1);
    const std::wstring strShort = Where(pShort);
    EXPECT_EQ(strShort.substr(strShort.size() - 16), L" AND `D` IS NULL") << Narrow(strShort);
    // Numbers: a marker, or nothing for a number cut short.
    CNAColumn* pCK = Col(L"DK");
    struct NumberCase {
        Image aby;
        int nBound;
        int nValues;
        int nSecond;
    } numbers[] = {
        {{5, 0, 0, 0, 0xFF}, CNARecherche::BOUND_MAX, 2, INT_MAX},
        {{5, 0, 0, 0, 0}, CNARecherche::BOUND_MIN, 2, INT_MIN},
        {{5, 0, 0, 0, 7, 0}, CNARecherche::BOUND_NONE, 1, 0},
    };
    for (const NumberCase& c : numbers) {
        CAny image;
        SetImage(image, c.aby);
        CAny values[2];
        int n = 0;
        EXPECT_EQ(CNARecherche::s_nGetComponentValue(pCK, &image, 1, values, 2, &n), c.nBound);
        ASSERT_EQ(n, c.nValues);
        EXPECT_EQ(Get<int>(values[0]), 5);
        if (n > 1) {
            EXPECT_EQ(Get<int>(values[1]), c.nSecond);
        }
    }
    // Not a composite key, or no image: no values.
    CAny image;
    SetImage(image, {1, 2, 3, 4});
    int n = -1;
    CAny values[1];
    EXPECT_EQ(CNARecherche::s_nGetComponentValue(Col(L"N"), &image, 0, values, 1, &n), 0);
    EXPECT_EQ(n, 0);
    EXPECT_EQ(CNARecherche::s_nGetComponentValue(pKey, nullptr, 0, values, 1, &n), 0);
}

TEST_F(NARecherche, CompositeSearchesInBoundMode)
{
    // Up to (5, the largest): the first component alone; from (5, the
    // smallest): the same.
    struct Case {
        eNAOperator e;
        Image aby;
        const wchar_t* pszText;
    } cases[] = {
        {NAOP_LE, {5, 0, 0, 0, 0xFF}, L"(`A`<=5 OR `A` IS NULL)"},
        {NAOP_GE, {5, 0, 0, 0, 0}, L"`A`>=5"},
        {NAOP_GE, {5, 0, 0, 0}, L"`A`>=5"},
        {NAOP_GT, {5, 0, 0, 0, 7, 0, 0, 0}, L"`A`>5 OR `A`=5 AND (`N`<7 OR `N` IS NULL)"},
    };
    for (const Case& c : cases) {
        CNARecherche* p = Search();
        CAny v;
        SetImage(v, c.aby);
        ASSERT_EQ(p->bAddExpression(m_pRecord, Item(L"DK"), c.e, &v, 0, NAOP_AND, 1), 1);
        EXPECT_EQ(Where(p), c.pszText) << c.e;
    }
}

TEST_F(NARecherche, ExtremeValues)
{
    CAny v;
    struct Case {
        unsigned short nType;
        std::wstring strMax;
        std::wstring strMin;
    } cases[] = {
        {TQTYPE_BOOL, L"1", L"0"},
        {TQTYPE_UI1, L"255", L"0"},
        {TQTYPE_UI2, L"65535", L"0"},
        {TQTYPE_UI4, L"4294967295", L"0"},
        {TQTYPE_UI8, L"18446744073709551615", L"0"},
        {TQTYPE_I1, L"127", L"-128"},
        {TQTYPE_I2, L"32767", L"-32768"},
        {TQTYPE_I4, L"2147483647", L"-2147483648"},
        {TQTYPE_I8, L"9223372036854775807", L"-9223372036854775808"},
        {TQTYPE_CY, L"604462909807314587.353087", L"0"},
        {TQTYPE_DATEW, L"30001231", L""},
        {TQTYPE_TIMEW, L"235959999", L"0000"},
        {TQTYPE_DATEA, L"30001231", L""},
        {TQTYPE_TIMEA, L"235959999", L"0000"},
    };
    for (const Case& c : cases) {
        for (int bMax = 0; bMax < 2; bMax++) {
            v.__SetType(c.nType, 0);
            v.SetFlags(0x500); // NULL and the kept flag
            if (bMax)
                CNARecherche::s_SetAnyToMax(&v);
            else
                CNARecherche::s_SetAnyToMin(&v);
            EXPECT_EQ(v.nGetFlags(), 0) << c.nType;
            EXPECT_EQ(v.nGetTypeCode(), c.nType);
            CAny t;
            v.pclGetTraitement()->Duplique(&t);
            ASSERT_LE(t.__nCastTo(TQTYPE_DSTRW, nullptr, 0), 99) << c.nType;
            std::wstring s = TextW(t);
            if (c.nType == TQTYPE_CY && s.find(L'.') == std::wstring::npos && s != L"0")
                s += L".0";
            EXPECT_EQ(s, bMax ? c.strMax : c.strMin) << "type " << c.nType << (bMax ? " max" : " min");
        }
    }
    // The 4-byte unsigned of type 14: all bits set.
    SetAs<unsigned int>(v, TQTYPE_UIX, 5u);
    CNARecherche::s_SetAnyToMax(&v);
    EXPECT_EQ(Get<unsigned int>(v), 0xFFFFFFFFu);
    EXPECT_EQ(eCheckValue(&v), CHECKVALUE_MAX);
    CNARecherche::s_SetAnyToMin(&v);
    EXPECT_EQ(Get<unsigned int>(v), 0u);
    // Reals: the largest finite values; a duration; a date-time.
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
    EXPECT_EQ(eCheckValue(&v), CHECKVALUE_ORDINARY);
    CAny t;
    v.pclGetTraitement()->Duplique(&t);
    ASSERT_LE(t.__nCastTo(TQTYPE_DSTRW, nullptr, 0), 99);
    EXPECT_EQ(TextW(t).substr(0, 12), L"300012310000");
    CNARecherche::s_SetAnyToMin(&v);
    EXPECT_EQ(eCheckValue(&v), CHECKVALUE_MIN);
    // A decimal: its own extremes.
    CAny dec(TQTYPE_DECIMAL);
    CNARecherche::s_SetAnyToMax(&dec);
    EXPECT_EQ(eCheckValue(&dec), CHECKVALUE_MAX);
    CNARecherche::s_SetAnyToMin(&dec);
    EXPECT_EQ(eCheckValue(&dec), CHECKVALUE_MIN);
    // Other types are left alone.
    SetText8(v, "abc");
    v.SetNullFlag(true);
    CNARecherche::s_SetAnyToMax(&v);
    EXPECT_TRUE(v.bIsNull());
    EXPECT_EQ(Text8(v), "abc");
}

TEST_F(NARecherche, EqualitiesOfSearchesFiltersAndSaves)
{
    CAny five;
    SetAs<int>(five, TQTYPE_I4, 5);
    CAny null;
    SetNull(null, TQTYPE_I4);
    auto Set = [&](CNARecherche* p, const wchar_t* pszItem, const CAny* v) {
        p->bSetRecherche(m_pRecord, Item(pszItem), v, Dir(0), 1, 0);
        Where(p); // the parameters
    };
    CNARecherche* a = Search();
    CNARecherche* b = Search();
    EXPECT_EQ(a->bEqualsSearch(b), 1); // two inactive searches
    Set(a, L"N", &five);
    Set(b, L"N", &five);
    EXPECT_EQ(a->bEqualsSearch(b), 1);
    EXPECT_EQ(a->bEqualsSearch(a), 1);
    Set(b, L"U", &five);
    EXPECT_EQ(a->bEqualsSearch(b), 0); // another item
    Set(b, L"N", &null);
    EXPECT_EQ(a->bEqualsSearch(b), 0); // NULL against a value
    Set(a, L"N", &null);
    EXPECT_EQ(a->bEqualsSearch(b), 1); // two NULLs
    b->bSetContinueParcours(Dir(0));
    EXPECT_EQ(a->bEqualsSearch(b), 0); // another state
    EXPECT_EQ(CNARecherche::g_bEqualsSearch(nullptr, nullptr), 1);
    EXPECT_EQ(CNARecherche::g_bEqualsSearch(a, nullptr), 0);
    a->Desactivate();
    EXPECT_EQ(CNARecherche::g_bEqualsSearch(nullptr, a), 1);
    // Filters and their saves.
    CNAFilter* f = Filter();
    CNAFilter* g = Filter();
    f->bSetFilter(m_pRecord, Item(L"N"), &five, 1, &null, 1, nullptr, 0);
    g->bSetFilter(m_pRecord, Item(L"N"), &five, 1, &null, 1, nullptr, 0);
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

TEST_F(NARecherche, ATerminatorEndingTheValueMakesItExact)
{
    CNARecherche* p = Search();
    CAny v;
    v.__SetType(TQTYPE_DSTRA, 0);
    v.pclGetTraitement()->SetValue("ab\0", 3);
    ASSERT_EQ(p->bSetRecherche(m_pRecord, Item(L"S"), &v, Dir(0), 0, 0), 1);
    EXPECT_EQ(Walk(p), (std::vector<std::wstring>{L"`S`='ab'", L"`S`>'ab'", L"(`S`<'ab' OR `S` IS NULL)"}));
}

TEST_F(NARecherche, RecordSearchWithoutAUniqueValue)
{
    // No unique key with a value: the row by every order column, the
    // searched one first.
    CTestTable t(m_pError, m_pCnx, L"T2");
    t.Add(L"U", NA_IT_I4, 4, CTestTable::UNIQUE, true);
    t.Add(L"D", NA_IT_I4, 4, CTestTable::DUPLICATES, true);
    t.Add(L"P", NA_IT_I4, 4, 0, true);
    CNARecord* pRecord = t.NewRecord(m_pError, m_pCnx);
    ASSERT_NE(pRecord, nullptr);
    CAny v;
    SetAs<int>(v, TQTYPE_I4, 4);
    pRecord->pclGetColumnNoRef(L"D")->bSetValue(&v, 0);
    SetAs<int>(v, TQTYPE_I4, 9);
    pRecord->pclGetColumnNoRef(L"P")->bSetValue(&v, 0);
    CNARecherche* p = Search();
    ASSERT_EQ(p->bRechercheEnreg(pRecord, t->pclNAGetItemNoRef(L"D", 0), Dir(0), 0, nullptr), 1);
    std::vector<std::wstring> tab;
    for (int n = 0; n < 2; n++) {
        CNACommand cmd(m_pError, m_pCnx);
        ASSERT_EQ(p->bGetSQL(&cmd, nullptr, pRecord), 1);
        tab.push_back(cmd.pszGetFormatedSQLW(CNACommand::PTC_ALL));
        p->bSetContinueParcours(Dir(0));
    }
    EXPECT_EQ(tab, (std::vector<std::wstring>{L"(`D`=4 AND `U` IS NULL) AND `P`=9",
                                              L"`D`>4 OR `D`=4 AND (`U` IS NOT NULL OR `U` IS NULL AND `P`>9 )"}));
    p->Desactivate();
    pRecord->nRelease();
}

TEST_F(NARecherche, StatesAndClones)
{
    // The search holds its item while it lives.
    CNAItemDescription* pItem = (*m_pTable)->pclNAGetItemNoRef(L"CK", 0);
    const unsigned int nHeld = pItem->nGetExternalRef();
    CNARecherche* p = Search();
    EXPECT_EQ(p->eGetDirection(), Dir(4));
    EXPECT_EQ(p->bHTrouve(), 0);
    EXPECT_EQ(p->bPeutContinuerParcours(Dir(0)), 0);
    CAny v;
    SetImage(v, KeyCK(1, "a"));
    ASSERT_EQ(p->bSetRecherche(m_pRecord, Item(L"CK"), &v, Dir(1), 1, 0), 1);
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
    p->bReviensParcoursPrecedent(Dir(0));
    EXPECT_EQ(p->nGetState(), CNARecherche::STATE_SEARCHING);
    // A clone shares the conditions and parameters, not the item.
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
    EXPECT_EQ(pClone->piGetFetchItem(), nullptr);
    CNAExpression* pExpression = pClone->pclGetExpression();
    ASSERT_NE(pExpression, nullptr);
    EXPECT_EQ(pExpression, p->pclGetCurrentNoRef());
    pExpression->nRelease();
    CNAParameter* pParameter = p->pclGetParameter(0);
    ASSERT_NE(pParameter, nullptr);
    pParameter->nRelease();
    EXPECT_EQ(p->pclGetParameter(9), nullptr);
    // A filter clones as a filter; the host's parameters come later.
    CNAFilter* f = Filter();
    CNARecherche* pFilterClone = f->pclClone();
    ASSERT_NE(dynamic_cast<CNAFilter*>(pFilterClone), nullptr);
    pFilterClone->AddRef();
    m_tabSearch.push_back(pFilterClone);
    CNACommand cmd(m_pError, m_pCnx);
    EXPECT_EQ(p->GetParameterFromQuery(&cmd, 0), 0);
    EXPECT_EQ(m_pError->dwGetErrorId(), 8u);
    // Gone, the search gives its item back.
    m_tabSearch.erase(std::find(m_tabSearch.begin(), m_tabSearch.end(), p));
    EXPECT_EQ(p->nRelease(), 0u);
    EXPECT_EQ(pItem->nGetExternalRef(), nHeld);
}

} // namespace
