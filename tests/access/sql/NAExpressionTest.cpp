// Search expressions written into a command: constants folded at every
// depth with the parameters of what was cut released, the boolean and NULL
// forms, the NULL rows let through, empty texts, LIKE patterns, date ranges,
// the NULL-exclusion sets, continuation and clones.
#include "access/sql/NAExpression.h"

#include "access/sql/NACommand.h"
#include "access/statement/NARecord.h"
#include "common/platform/MyModuleInfo.h"
#include "tests/support/QuerySource.h"
#include "tests/support/SearchObjects.h"
#include "tests/support/TestTable.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

std::string Narrow(const wchar_t* psz)
{
    std::string s;
    for (; psz != nullptr && *psz != 0; psz++)
        s += static_cast<char>(*psz);
    return s;
}

// What writing a tree gave.
struct SWritten {
    std::wstring strText; // formatted, literals in place
    int nConstant;
    int nParameters;      // the search's
    int bResult;
};

class NAExpression : public SearchRecordTest {
protected:
    void Describe(CTestTable& t) override
    {
        t.Add(L"ID", NA_IT_I4, 4, CTestTable::UNIQUE, false);
        t.Add(L"N", NA_IT_I4, 4, CTestTable::DUPLICATES, true);
        t.Add(L"S", NA_IT_TEXTE, 20, CTestTable::DUPLICATES, true);
        t.Add(L"W", NA_IT_UNICODE, 20, CTestTable::DUPLICATES, true);
        t.Add(L"D", NA_IT_DATE8, 8, CTestTable::DUPLICATES, true);
        t.Add(L"DT", NA_IT_DATETIME, 8, CTestTable::DUPLICATES, true);
        t.Add(L"H", NA_IT_HEURE, 7, CTestTable::DUPLICATES, true);
        t.Add(L"B", NA_IT_BOOLEEN, 1, CTestTable::DUPLICATES, true);
    }
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(SearchRecordTest::SetUp());
        m_pFactory = new CCountedExpression(m_pError);
        m_pFactory->AddRef();
        m_pSearch = new CCountedSearch(m_pError, m_pCnx);
        m_pSearch->AddRef();
    }
    void TearDown() override
    {
        for (CNAExpression* p : m_tabHeld)
            p->nRelease();
        m_pSearch->nRelease();
        m_pFactory->nRelease();
        // Every node, cell and parameter goes with its last holder.
        SearchRecordTest::TearDown();
    }
    // A comparison of the named column with the value, held by the test.
    CNAExpression* Leaf(eNAOperator e, const wchar_t* pszColumn, const CAny& v, unsigned int nFlags = 0,
                        bool bWithColumn = true)
    {
        CNAColumn* pclColumn = Col(pszColumn);
        CNAConvertVariant* pCell =
            CNADriver::s_pclDriver->pclGetNewVariant_NV_Any(m_pError, m_pCnx, bWithColumn ? pclColumn : nullptr, &v);
        EXPECT_NE(pCell, nullptr);
        pCell->AddRef();
        CNAExpression* p = Hold(m_pFactory->pclAllocExpression(e, pclColumn, pCell, nFlags));
        pCell->nRelease();
        return p;
    }
    CNAExpression* Int(eNAOperator e, const wchar_t* pszColumn, int n, unsigned int nFlags = 0)
    {
        CAny v;
        SetAs<int>(v, TQTYPE_I4, n);
        return Leaf(e, pszColumn, v, nFlags);
    }
    CNAExpression* Text(eNAOperator e, const wchar_t* pszColumn, const std::string& s, unsigned int nFlags = 0)
    {
        CAny v;
        SetText8(v, s);
        // As the searches make them: a date or time text keeps its own type.
        const std::wstring strColumn(pszColumn);
        return Leaf(e, pszColumn, v, nFlags,
                    !(nFlags & CNAExpression::EXPR_GENERIC) && strColumn != L"D" && strColumn != L"DT" &&
                        strColumn != L"H");
    }
    // A text value on the column, with the column's cell or without.
    CNAExpression* TextLeaf(eNAOperator e, const wchar_t* pszColumn, const std::string& s, unsigned int nFlags,
                            bool bWithColumn)
    {
        CAny v;
        SetText8(v, s);
        return Leaf(e, pszColumn, v, nFlags, bWithColumn);
    }
    CNAExpression* Null(eNAOperator e, const wchar_t* pszColumn)
    {
        CAny v;
        SetNull(v, TQTYPE_I4);
        return Leaf(e, pszColumn, v);
    }
    CNAExpression* Node(eNAOperator e, CNAExpression* a, CNAExpression* b = nullptr)
    {
        return Hold(m_pFactory->pclAllocExpression(e, a, b, 0));
    }
    CNAExpression* Hold(CNAExpression* p)
    {
        EXPECT_NE(p, nullptr);
        p->AddRef();
        m_tabHeld.push_back(p);
        return p;
    }
    // True when written (a text leaf holding for every row), false (a
    // boolean above true), and a NOT of nothing, which its parent drops.
    CNAExpression* True() { return Text(NAOP_GE, L"S", ""); }
    CNAExpression* False()
    {
        CAny v;
        SetAs<int>(v, TQTYPE_BOOL, 1);
        return Leaf(NAOP_GT, L"B", v);
    }
    CNAExpression* Dropped() { return Node(NAOP_NOT, nullptr); }

    SWritten Write(CNAExpression* p, int bNullFirst = 1)
    {
        m_pCnx->m_bNullFirst = bNullFirst;
        m_pSearch->_ResetParameter();
        CNACommand cmd(m_pError, m_pCnx);
        SWritten w;
        w.nConstant = -1;
        w.bResult = p->bGetSQL(&cmd, NAOP_NONE, m_pSearch, &w.nConstant, m_pRecord);
        EXPECT_EQ(cmd.nGetParameterNbr(), m_pSearch->nGetNbParameter());
        const wchar_t* psz = cmd.pszGetFormatedSQLW(CNACommand::PTC_ALL);
        EXPECT_NE(psz, nullptr) << Narrow(m_pError->pszGetError());
        w.strText = psz != nullptr ? psz : L"(failed)";
        w.nParameters = m_pSearch->nGetNbParameter();
        return w;
    }
    std::wstring Text(CNAExpression* p, int bNullFirst = 1) { return Write(p, bNullFirst).strText; }

    CNAExpression* m_pFactory = nullptr;
    CCountedSearch* m_pSearch = nullptr;
    std::vector<CNAExpression*> m_tabHeld;
};

const unsigned int G = CNAExpression::EXPR_GENERIC;

TEST_F(NAExpression, ConstantsFoldAtEveryDepth)
{
    struct Case {
        const char* pszCase;
        std::function<CNAExpression*()> fnTree;
        const wchar_t* pszText;
        int nConstant;
        int nParameters;
    } cases[] = {
        {"AND(true, x)", [&] { return Node(NAOP_AND, True(), Int(NAOP_EQ, L"N", 5)); }, L"`N`=5", 0, 1},
        {"AND(x, true)", [&] { return Node(NAOP_AND, Int(NAOP_EQ, L"N", 5), True()); }, L"`N`=5", 0, 1},
        {"OR(x, true)", [&] { return Node(NAOP_OR, Int(NAOP_EQ, L"N", 5), True()); }, L"", NAOP_TRUE, 0},
        {"OR(true, x)", [&] { return Node(NAOP_OR, True(), Int(NAOP_EQ, L"N", 5)); }, L"", NAOP_TRUE, 0},
        {"AND(x, false)", [&] { return Node(NAOP_AND, Int(NAOP_EQ, L"N", 5), False()); }, L"", NAOP_FALSE, 0},
        {"OR(false, x)", [&] { return Node(NAOP_OR, False(), Int(NAOP_EQ, L"N", 5)); }, L"`N`=5", 0, 1},
        {"OR(x, false)", [&] { return Node(NAOP_OR, Int(NAOP_EQ, L"N", 5), False()); }, L"`N`=5", 0, 1},
        {"NOT(true)", [&] { return Node(NAOP_NOT, True()); }, L"", NAOP_FALSE, 0},
        {"NOT(false)", [&] { return Node(NAOP_NOT, False()); }, L"", NAOP_TRUE, 0},
        {"NOT(NOT(true))", [&] { return Node(NAOP_NOT, Node(NAOP_NOT, True())); }, L"", NAOP_TRUE, 0},
        // A literal and the next text get one blank between them.
        {"NOT(x)", [&] { return Node(NAOP_NOT, Int(NAOP_EQ, L"N", 5)); }, L" NOT (`N`=5 )", 0, 1},
        {"a NOT of nothing is dropped", [&] { return Node(NAOP_AND, Int(NAOP_EQ, L"N", 5), Dropped()); }, L"`N`=5",
         0, 1},
        {"dropped left", [&] { return Node(NAOP_OR, Dropped(), Int(NAOP_EQ, L"N", 5)); }, L"`N`=5", 0, 1},
        {"NOT(dropped)", [&] { return Node(NAOP_NOT, Dropped()); }, L"", NAOP_NOT, 0},
        {"AND(dropped, dropped)", [&] { return Node(NAOP_AND, Dropped(), Dropped()); }, L"", NAOP_NOT, 0},
        {"AND(x, OR(false, AND(y, true)))",
         [&] {
             return Node(NAOP_AND, Int(NAOP_EQ, L"N", 5),
                         Node(NAOP_OR, False(), Node(NAOP_AND, Int(NAOP_GT, L"ID", 7), True())));
         },
         // The OR was opened under the AND before it folded to its right side.
         L"`N`=5 AND (`ID`>7 )", 0, 2},
        {"OR(AND(x, y), AND(z, false))",
         [&] {
             return Node(NAOP_OR, Node(NAOP_AND, Int(NAOP_EQ, L"N", 5), Int(NAOP_EQ, L"ID", 1)),
                         Node(NAOP_AND, Int(NAOP_EQ, L"N", 6), False()));
         },
         L"`N`=5 AND `ID`=1", 0, 2},
        // The parameters of a cut branch go with it.
        {"AND(AND(x, y), NOT(true))",
         [&] {
             return Node(NAOP_AND, Node(NAOP_AND, Int(NAOP_EQ, L"N", 5), Int(NAOP_EQ, L"ID", 1)),
                         Node(NAOP_NOT, True()));
         },
         L"", NAOP_FALSE, 0},
        {"OR(NOT(AND(x, false)), y)",
         [&] {
             return Node(NAOP_OR, Node(NAOP_NOT, Node(NAOP_AND, Int(NAOP_EQ, L"N", 5), False())),
                         Int(NAOP_EQ, L"ID", 1));
         },
         L"", NAOP_TRUE, 0},
        {"AND(OR(x, y), NOT(OR(z, false)))",
         [&] {
             return Node(NAOP_AND, Node(NAOP_OR, Int(NAOP_EQ, L"N", 5), Int(NAOP_EQ, L"ID", 1)),
                         Node(NAOP_NOT, Node(NAOP_OR, Int(NAOP_EQ, L"N", 9), False())));
         },
         L"(`N`=5 OR `ID`=1 ) AND  NOT ((`N`=9 ))", 0, 3},
        {"NOT(OR(x, y))",
         [&] { return Node(NAOP_NOT, Node(NAOP_OR, Int(NAOP_EQ, L"N", 5), Int(NAOP_EQ, L"ID", 1))); },
         L" NOT ((`N`=5 OR `ID`=1 ))", 0, 2},
    };
    // Written again, a constant stays one.
    CNAExpression* pTwice = False();
    EXPECT_EQ(Write(pTwice).nConstant, NAOP_FALSE);
    const SWritten again = Write(pTwice);
    EXPECT_EQ(again.nConstant, NAOP_FALSE);
    EXPECT_EQ(again.bResult, 1);
    // A node takes the constant it folded to.
    CNAExpression* pFolded = Node(NAOP_AND, True(), False());
    EXPECT_EQ(Write(pFolded).nConstant, NAOP_FALSE);
    EXPECT_EQ(pFolded->eGetOperator(), NAOP_FALSE);
    CNAExpression* pOr = Node(NAOP_OR, False(), True());
    EXPECT_EQ(Write(pOr).nConstant, NAOP_TRUE);
    EXPECT_EQ(pOr->eGetOperator(), NAOP_TRUE);
    for (const Case& c : cases) {
        const SWritten w = Write(c.fnTree());
        EXPECT_EQ(w.strText, c.pszText) << c.pszCase;
        EXPECT_EQ(w.nConstant, c.nConstant) << c.pszCase;
        EXPECT_EQ(w.nParameters, c.nParameters) << c.pszCase;
        EXPECT_EQ(w.bResult, 1) << c.pszCase;
    }
}

TEST_F(NAExpression, BooleanComparisons)
{
    struct Case {
        eNAOperator e;
        int b;
        const wchar_t* pszText;
        int nConstant;
    } cases[] = {
        {NAOP_GT, 1, L"", NAOP_FALSE},     {NAOP_GT, 0, L"`B`<>0", 0},
        {NAOP_LT, 1, L"`B`<>1", 0},        {NAOP_LT, 0, L"", NAOP_FALSE},
        {NAOP_GE, 1, L"`B`=1", 0},         {NAOP_GE, 0, L"", NAOP_TRUE},
        {NAOP_LE, 1, L"", NAOP_TRUE},      {NAOP_LE, 0, L"`B`=0", 0},
        {NAOP_EQ, 1, L"`B`=1", 0},         {NAOP_NE, 0, L"`B`<>0", 0},
    };
    for (const Case& c : cases) {
        CAny v;
        SetAs<int>(v, TQTYPE_BOOL, c.b);
        const SWritten w = Write(Leaf(c.e, L"B", v));
        EXPECT_EQ(w.strText, c.pszText) << c.e << " " << c.b;
        EXPECT_EQ(w.nConstant, c.nConstant) << c.e << " " << c.b;
    }
}

TEST_F(NAExpression, NullValues)
{
    struct Case {
        eNAOperator e;
        int bNullFirst;
        const wchar_t* pszText;
        int nConstant;
        int bNullSelected;
    } cases[] = {
        {NAOP_GE, 1, L"", NAOP_TRUE, 1},           {NAOP_LE, 0, L"", NAOP_TRUE, 1},
        {NAOP_GT, 1, L"`N` IS NOT NULL", 0, 0},    {NAOP_GT, 0, L"", NAOP_FALSE, 1},
        {NAOP_LT, 1, L"", NAOP_FALSE, 1},          {NAOP_LT, 0, L"`N` IS NOT NULL", 0, 0},
        {NAOP_EQ, 1, L"`N` IS NULL", 0, 1},        {NAOP_ISNULL, 0, L"`N` IS NULL", 0, 1},
        {NAOP_ISNOTNULL, 1, L"`N` IS NOT NULL", 0, 0},
        // Unequal to NULL: the rows with a value.
        {NAOP_NE, 1, L"`N` IS NOT NULL", 0, 0},
    };
    for (const Case& c : cases) {
        CNAExpression* p = Null(c.e, L"N");
        const SWritten w = Write(p, c.bNullFirst);
        EXPECT_EQ(w.strText, c.pszText) << c.e << " first " << c.bNullFirst;
        EXPECT_EQ(w.nConstant, c.nConstant) << c.e << " first " << c.bNullFirst;
        EXPECT_EQ(p->bColumnValuesNullSelected(Col(L"N")), c.bNullSelected) << c.e << " first " << c.bNullFirst;
    }
    // Operators 13 and 14 take no value.
    CAny v;
    SetAs<int>(v, TQTYPE_I4, 3);
    EXPECT_EQ(Text(Leaf(NAOP_ISNULL, L"N", v)), L"`N` IS NULL");
    EXPECT_EQ(Text(Leaf(NAOP_ISNOTNULL, L"N", v)), L"`N` IS NOT NULL");
}

TEST_F(NAExpression, NullRowsLetThrough)
{
    const unsigned int L = CNAExpression::EXPR_LOWER;
    const unsigned int U = CNAExpression::EXPR_UPPER;
    const unsigned int R = CNAExpression::EXPR_RECORD;
    const unsigned int F = CNAExpression::EXPR_FROMRECORD;
    struct Case {
        const wchar_t* pszColumn;
        eNAOperator e;
        int n;
        unsigned int nFlags;
        int bNullFirst;
        bool bAdded;
    } cases[] = {
        // NULL first: with < and <=, except < a value the engine keeps as NULL.
        {L"N", NAOP_LT, 5, 0, 1, true},   {L"N", NAOP_LE, 5, 0, 1, true},  {L"N", NAOP_LT, 0, 0, 1, false},
        {L"N", NAOP_LE, 0, 0, 1, true},   {L"N", NAOP_GT, 5, 0, 1, false}, {L"N", NAOP_GE, 5, 0, 1, false},
        {L"N", NAOP_EQ, 0, 0, 1, false},  {L"N", NAOP_NE, 5, 0, 1, false},
        // NULL last: with > and >=.
        {L"N", NAOP_GT, 5, 0, 0, true},   {L"N", NAOP_GE, 5, 0, 0, true},  {L"N", NAOP_LT, 5, 0, 0, false},
        {L"N", NAOP_LE, 5, 0, 0, false},
        // Never on a unique column kept from NULL.
        {L"ID", NAOP_LT, 5, 0, 1, false}, {L"ID", NAOP_GT, 5, 0, 0, false},
        // Filter bounds: only a lower = or >= of a value the engine keeps
        // as NULL.
        {L"N", NAOP_GE, 0, L, 1, true},   {L"N", NAOP_EQ, 0, L, 0, true},  {L"N", NAOP_GE, 5, L, 1, false},
        {L"N", NAOP_GT, 0, L, 1, false},  {L"N", NAOP_LE, 0, U, 1, false}, {L"N", NAOP_LT, 5, U, 1, false},
        {L"N", NAOP_GE, 0, U, 0, false},  {L"ID", NAOP_GE, 0, L, 1, false},
        // A record's real 0 has the NULL rows below it, whichever way the
        // record's values came.
        {L"N", NAOP_LT, 0, R, 1, true},   {L"N", NAOP_LT, 0, F, 1, true},  {L"N", NAOP_LT, 0, R, 0, false},
        {L"N", NAOP_GT, 0, R, 0, true},   {L"N", NAOP_GT, 0, R, 1, false}, {L"ID", NAOP_LT, 0, R, 1, false},
    };
    const wchar_t* apszOp[] = {L"", L"", L"", L"", L"=", L">", L"<", L">=", L"<=", L"", L"", L"", L"<>"};
    for (const Case& c : cases) {
        CNAExpression* p = Int(c.e, c.pszColumn, c.n, c.nFlags);
        const std::wstring strName = std::wstring(L"`") + c.pszColumn + L"`";
        const std::wstring strComparison = strName + apszOp[c.e] + std::to_wstring(c.n);
        const std::wstring strExpected =
            c.bAdded ? L"(" + strComparison + L" OR " + strName + L" IS NULL)" : strComparison;
        EXPECT_EQ(Text(p, c.bNullFirst), strExpected)
            << Narrow(c.pszColumn) << " " << c.e << " " << c.n << " flags " << c.nFlags << " first " << c.bNullFirst;
        EXPECT_EQ(p->bColumnValuesNullSelected(Col(c.pszColumn)), c.bAdded ? 1 : 0);
    }
}

TEST_F(NAExpression, EmptyTextsAndPrefixes)
{
    struct Case {
        const wchar_t* pszColumn;
        eNAOperator e;
        const char* pszValue;
        unsigned int nFlags;
        const wchar_t* pszText;
    } cases[] = {
        {L"S", NAOP_EQ, "", 0, L"`S`=''"},
        {L"S", NAOP_EQ, "", G, L"`S` LIKE '%%'"},
        {L"S", NAOP_NE, "", G, L"`S`<>''"},
        {L"S", NAOP_LE, "", 0, L"(`S`<='' OR `S` IS NULL)"},
        {L"S", NAOP_GT, "", 0, L"`S`>''"},
        // An empty generic text flagged exact.
        {L"S", NAOP_EQ, "", G | CNAExpression::EXPR_EMPTYEXACT, L"`S`=''"},
        // Prefixes: the escape character, wildcards and quotes escaped.
        {L"S", NAOP_EQ, "ab", G, L"`S` LIKE 'ab%' ESCAPE '!'"},
        {L"S", NAOP_NE, "ab", G, L"`S` NOT LIKE 'ab%' ESCAPE '!'"},
        {L"S", NAOP_EQ, "5%_'!\\", G, L"`S` LIKE '5!%!_''!!\\\\%' ESCAPE '!'"},
        {L"S", NAOP_EQ, "ab", 0, L"`S`='ab'"},
        {L"S", NAOP_GE, "ab", G, L"`S`>='ab'"},
        // A wide text column: an empty prefix is a pattern too.
        {L"W", NAOP_EQ, "", G, L"`W` LIKE '%' ESCAPE '!'"},
        {L"W", NAOP_EQ, "", 0, L"`W`=''"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Text(Text(c.e, c.pszColumn, c.pszValue, c.nFlags)), c.pszText) << c.pszValue << " " << c.e;
    }
    // Unequal to the empty text: no NULL row.
    CNAExpression* pNe = Text(NAOP_NE, L"S", "");
    EXPECT_EQ(Text(pNe), L"`S`<>''");
    EXPECT_EQ(pNe->bColumnValuesNullSelected(Col(L"S")), 0);
    // Empty texts taken as NULL by the search.
    m_pSearch->SetEmptyTextAsNull(1);
    EXPECT_EQ(Text(Text(NAOP_EQ, L"S", "")), L"`S` IS NULL");
    EXPECT_EQ(Text(Text(NAOP_EQ, L"W", "", G)), L"`W` IS NULL");
    m_pSearch->SetEmptyTextAsNull(0);
    // A text holding for every row.
    EXPECT_EQ(Write(Text(NAOP_GE, L"S", "")).nConstant, NAOP_TRUE);
    EXPECT_EQ(Write(Text(NAOP_LE, L"S", "\xff")).nConstant, NAOP_TRUE);
    EXPECT_EQ(Write(Text(NAOP_LE, L"S", "\xfe")).nConstant, 0);
}

TEST_F(NAExpression, DateRangesAndTimes)
{
    struct Case {
        const wchar_t* pszColumn;
        eNAOperator e;
        const char* pszValue;
        unsigned int nFlags;
        const wchar_t* pszText;
        int nParameters;
    } cases[] = {
        {L"D", NAOP_EQ, "2023", G, L"`D`>='2023-01-01' AND `D`<'2024-01-01'", 2},
        {L"D", NAOP_EQ, "202303", G, L"`D`>='2023-03-01' AND `D`<'2023-04-01'", 2},
        {L"D", NAOP_EQ, "202312", G, L"`D`>='2023-12-01' AND `D`<'2024-01-01'", 2},
        {L"D", NAOP_EQ, "20230315", G, L"`D`='2023-03-15'", 1},
        {L"D", NAOP_EQ, "2023", 0, L"`D`='2023-01-01'", 1},
        // Outside the range: below it or from its end on.
        {L"D", NAOP_NE, "2023", G, L"(`D`<'2023-01-01' OR `D`>='2024-01-01' )", 2},
        {L"DT", NAOP_EQ, "2023", G, L"`DT`>='2023-01-01 00:00:00.000' AND `DT`<'2024-01-01 00:00:00.000'", 2},
        {L"DT", NAOP_EQ, "20230315", G,
         L"`DT`>='2023-03-15 00:00:00.000' AND `DT`<'2023-03-16 00:00:00.000'", 2},
        {L"DT", NAOP_GT, "2023", G, L"`DT`>'2023-01-01 00:00:00.000'", 1},
        // Without a time type the connection compares times as texts.
        {L"H", NAOP_EQ, "12", G, L"TIME_FORMAT(`H`,'%H%i%S') LIKE '12%' ESCAPE '!'", 1},
        {L"H", NAOP_EQ, "123000", 0, L"TIME_FORMAT(`H`,'%H%i%S')='123000'", 1},
        {L"H", NAOP_GE, "12", 0, L"TIME_FORMAT(`H`,'%H%i%S')>='12'", 1},
    };
    for (const Case& c : cases) {
        CNAExpression* p = Text(c.e, c.pszColumn, c.pszValue, c.nFlags);
        const SWritten w = Write(p);
        EXPECT_EQ(w.strText, c.pszText) << Narrow(c.pszColumn) << " " << c.pszValue;
        EXPECT_EQ(w.nParameters, c.nParameters) << Narrow(c.pszColumn) << " " << c.pszValue;
        if (c.nFlags & G) {
            EXPECT_EQ(p->bColumnValuesNullSelected(Col(c.pszColumn)), 0);
        }
    }
}

// An empty text of a record is a value: going back from it, the NULL rows
// follow; a searched empty text is the host's NULL, with nothing below it.
TEST_F(NAExpression, EmptyTextOfARecord)
{
    EXPECT_EQ(Text(Text(NAOP_LT, L"S", "", CNAExpression::EXPR_RECORD)), L"(`S`<'' OR `S` IS NULL)");
    EXPECT_EQ(Text(Text(NAOP_LT, L"S", "", CNAExpression::EXPR_FROMRECORD)), L"(`S`<'' OR `S` IS NULL)");
    EXPECT_EQ(Text(Text(NAOP_LT, L"S", "")), L"`S`<''");
    EXPECT_EQ(Text(Text(NAOP_LT, L"S", "", CNAExpression::EXPR_RECORD), 0), L"`S`<''");
}

// The server's own text of a record's time or date-time stands for the
// record's value, compared with the column itself, without a parameter;
// only for comparisons from the record, exact, and texts with nothing to
// quote.
TEST_F(NAExpression, TheServersTextOfARecordsValue)
{
    const unsigned int R = CNAExpression::EXPR_RECORD;
    const unsigned int F = CNAExpression::EXPR_FROMRECORD;
    m_pSearch->SetServerValue(Col(L"DT"), L"2024-03-01 10:00:00.100005");
    m_pSearch->SetServerValue(Col(L"H"), L"09:59:58.500000");
    m_pSearch->SetServerValue(Col(L"S"), L"it's");
    struct Case {
        const wchar_t* pszColumn;
        eNAOperator e;
        const char* pszValue;
        unsigned int nFlags;
        int bNullFirst;
        const wchar_t* pszText;
        int nParameters;
    } cases[] = {
        {L"DT", NAOP_GT, "20240301100000100", R, 1, L"`DT`>'2024-03-01 10:00:00.100005'", 0},
        {L"DT", NAOP_EQ, "20240301100000100", F, 1, L"`DT`='2024-03-01 10:00:00.100005'", 0},
        {L"DT", NAOP_NE, "20240301100000100", R, 1, L"`DT`<>'2024-03-01 10:00:00.100005'", 0},
        {L"DT", NAOP_GE, "20240301100000100", R, 0, L"(`DT`>='2024-03-01 10:00:00.100005' OR `DT` IS NULL)", 0},
        {L"H", NAOP_LT, "095958500", R, 1, L"(`H`<'09:59:58.500000' OR `H` IS NULL)", 0},
        {L"H", NAOP_LE, "095958500", R, 0, L"`H`<='09:59:58.500000'", 0},
        // A value searched by the host, a prefix, a NULL test: as before.
        {L"H", NAOP_LT, "095958", 0, 0, L"TIME_FORMAT(`H`,'%H%i%S')<'095958'", 1},
        {L"H", NAOP_EQ, "0959", R | G, 1, L"TIME_FORMAT(`H`,'%H%i%S') LIKE '0959%' ESCAPE '!'", 1},
        {L"DT", NAOP_ISNOTNULL, "20240301100000100", R, 1, L"`DT` IS NOT NULL", 0},
        // A text the server value cannot be written as it stands.
        {L"S", NAOP_GT, "its", R, 1, L"`S`>'its'", 1},
        {L"N", NAOP_GT, "5", R, 1, L"`N`>5", 1},
    };
    for (const Case& c : cases) {
        const std::wstring strColumn(c.pszColumn);
        CNAExpression* p = c.nFlags & G ? Text(c.e, c.pszColumn, c.pszValue, c.nFlags)
                                         : TextLeaf(c.e, c.pszColumn, c.pszValue, c.nFlags,
                                                    strColumn == L"S" || strColumn == L"N");
        const SWritten w = Write(p, c.bNullFirst);
        EXPECT_EQ(w.strText, c.pszText) << Narrow(c.pszColumn) << " " << c.e;
        EXPECT_EQ(w.nParameters, c.nParameters) << Narrow(c.pszColumn) << " " << c.e;
    }
    // Another search, or this one emptied, has none.
    m_pSearch->ResetServerValues();
    EXPECT_EQ(m_pSearch->pszGetServerValue(Col(L"DT")), nullptr);
    EXPECT_EQ(Write(TextLeaf(NAOP_GT, L"H", "095958", R, false)).strText, L"TIME_FORMAT(`H`,'%H%i%S')>'095958'");
}

// A record's text the session's code page cannot hold stands as the
// server's hexadecimal literal, written as it is; anything else in its
// place is no literal, and the record's value is compared.
TEST_F(NAExpression, TheServersLiteralOfARecordsText)
{
    const unsigned int R = CNAExpression::EXPR_RECORD;
    const struct {
        const wchar_t* pszServer;
        eNAOperator e;
        int bNullFirst;
        const wchar_t* pszText;
        int nParameters;
    } cases[] = {
        {L"_utf8mb4 X'F09F9880'", NAOP_GT, 1, L"`W`>_utf8mb4 X'F09F9880'", 0},
        {L"_utf8 X'c3a9'", NAOP_EQ, 1, L"`W`=_utf8 X'c3a9'", 0},
        {L"_utf8mb4 X'F09F9880'", NAOP_LT, 1, L"(`W`<_utf8mb4 X'F09F9880' OR `W` IS NULL)", 0},
        {L"_utf8mb4 X'F09F9880'", NAOP_GE, 0, L"(`W`>=_utf8mb4 X'F09F9880' OR `W` IS NULL)", 0},
        {L"_utf8mb4 X''", NAOP_NE, 1, L"`W`<>_utf8mb4 X''", 0},
        // Not a literal of that form: the record's value, as a parameter.
        {L"_utf8mb4 X'F09F988'", NAOP_GT, 1, L"`W`>'a?b'", 1},
        {L"_utf8mb4 X'F09F9880'' OR 1", NAOP_GT, 1, L"`W`>'a?b'", 1},
        {L"_UTF8 X'41'", NAOP_GT, 1, L"`W`>'a?b'", 1},
        {L"_ X'41'", NAOP_GT, 1, L"`W`>'a?b'", 1},
        {L"utf8 X'41'", NAOP_GT, 1, L"`W`>'a?b'", 1},
        {L"_utf8 x'41'", NAOP_GT, 1, L"`W`>'a?b'", 1},
        {L"_utf8 X'4G'", NAOP_GT, 1, L"`W`>'a?b'", 1},
        {L"_utf8 X'41", NAOP_GT, 1, L"`W`>'a?b'", 1},
    };
    for (const auto& c : cases) {
        m_pSearch->ResetServerValues();
        m_pSearch->SetServerValue(Col(L"W"), c.pszServer);
        const SWritten w = Write(TextLeaf(c.e, L"W", "a?b", R, true), c.bNullFirst);
        EXPECT_EQ(w.strText, c.pszText) << Narrow(c.pszServer);
        EXPECT_EQ(w.nParameters, c.nParameters) << Narrow(c.pszServer);
    }
    // A value the host searched keeps its own comparison.
    EXPECT_EQ(Write(TextLeaf(NAOP_GT, L"W", "a?b", 0, true)).strText, L"`W`>'a?b'");
}

// A value the record holds less exactly than the server is compared with
// the server's text of it (a number as a number, a time quoted) in the
// comparisons from the record that take one; without that text, or in one
// that takes none, as the record holds it. A text is told by its
// characters: the record's own, or the server's bytes of them.
TEST_F(NAExpression, AValueHeldLessExactly)
{
    const unsigned int R = CNAExpression::EXPR_RECORD;
    const unsigned int C = CNAExpression::EXPR_CHARACTERS | R;
    CNARecordValue* pRow = new CNARecordValue(m_pError);
    pRow->AddRef();
    ASSERT_TRUE(pRow->bAddHeldTexts({{L"N", L"1.0000009536743164e38"},
                                     {L"DT", L"2024-01-01 10:00:00.123456"},
                                     {L"H", L""},
                                     {L"W", L"_utf8mb4 X'78F09F9880'"}},
                                    -1));
    // Held values are no failure.
    EXPECT_FALSE(CNAReadFailure::s_bReadFails(pRow->pclGetReadFailureNoRef()));
    m_pSearch->SetRefusals(pRow->pclGetReadFailureNoRef());
    pRow->nRelease();
    CAny v;
    SetAs<int>(v, TQTYPE_I4, 1);
    EXPECT_EQ(Write(Leaf(NAOP_EQ, L"N", v, R)).strText, L"`N`=1.0000009536743164e38");
    EXPECT_EQ(Write(Leaf(NAOP_LT, L"N", v, R), 0).strText, L"`N`<1.0000009536743164e38");
    EXPECT_EQ(Write(Leaf(NAOP_EQ, L"N", v, 0)).strText, L"`N`=1");
    EXPECT_EQ(Write(Text(NAOP_GT, L"DT", "20240101100000123", R)).strText, L"`DT`>'2024-01-01 10:00:00.123456'");
    // Without its text: the record's value.
    EXPECT_EQ(Write(Text(NAOP_EQ, L"H", "100000", R)).strText, L"TIME_FORMAT(`H`,'%H%i%S')='100000'");
    EXPECT_EQ(Write(TextLeaf(NAOP_EQ, L"W", "x?", C, true)).strText,
              L"CONVERT(CONVERT(`W` USING utf8mb4) USING binary)=X'78F09F9880'");
    // The record's own characters, in the Unicode set of a server whose
    // version is not known: utf8.
    EXPECT_EQ(Write(TextLeaf(NAOP_EQ, L"S", "A\xE9 ", C, true)).strText,
              L"CONVERT(CONVERT(`S` USING utf8) USING binary)=X'41C3A920'");
    EXPECT_EQ(Write(TextLeaf(NAOP_EQ, L"S", "", C, true)).strText, L"CONVERT(CONVERT(`S` USING utf8) USING binary)=X''");
    m_pSearch->ResetServerValues();
    EXPECT_EQ(Write(TextLeaf(NAOP_EQ, L"W", "x?", C, true)).strText,
              L"CONVERT(CONVERT(`W` USING utf8) USING binary)=X'783F'");
    // No characters to tell: the comparison fails, naming the item.
    CAny n;
    SetNull(n, TQTYPE_I4);
    m_pError->Reset();
    const SWritten wNull = Write(Leaf(NAOP_EQ, L"S", n, C));
    EXPECT_EQ(wNull.bResult, 0);
    EXPECT_EQ(m_pError->nGetUserErrorCode(), static_cast<unsigned int>(ZTERR_CONVERSION));

    // Numbers, and what only looks like one.
    for (const wchar_t* psz : {L"1", L"-0.5", L"12.340", L"1e-7", L"3.4e+38", L"0.00000010000000116860974"})
        EXPECT_TRUE(CNAExpression::s_bNumberText(psz)) << Narrow(psz);
    for (const wchar_t* psz : {L"", L"-", L"1.", L".5", L"1e", L"2024-01-01", L"10:00:00", L"1 2", L"1e3.5"})
        EXPECT_FALSE(CNAExpression::s_bNumberText(psz)) << Narrow(psz);
}

// A value of the record that its item refused is compared with the
// server's text of it in every comparison from the record, never as NULL;
// a text no condition can write, or a comparison that takes no text (a
// prefix, a NULL test), fails with the item's own failure, nothing of it
// written. A value the host searched keeps its comparison.
TEST_F(NAExpression, ARefusedValueOfTheRecord)
{
    const unsigned int R = CNAExpression::EXPR_RECORD;
    const unsigned int F = CNAExpression::EXPR_FROMRECORD;
    CXError* pFailure = new CXError(&gstMyModuleInfo32);
    pFailure->SetUserErrorMessage(&gstMyModuleInfo32, ZTERR_CONVERSION, L"H refused");
    CNARecordValue* pRow = new CNARecordValue(m_pError);
    pRow->AddRef();
    ASSERT_TRUE(pRow->bAddRefusal(L"H", L"-01:00:00", pFailure));
    ASSERT_TRUE(pRow->bAddRefusal(L"N", L"1e3'", pFailure));
    m_pSearch->SetRefusals(pRow->pclGetReadFailureNoRef());
    // The search keeps the failure for itself.
    pRow->nRelease();
    EXPECT_EQ(m_pSearch->pstGetRefusal(Col(L"S")), nullptr);
    const struct {
        const wchar_t* pszColumn;
        eNAOperator e;
        unsigned int nFlags;
        int bNullFirst;
        const wchar_t* pszText; // null: refused
    } cases[] = {
        {L"H", NAOP_GT, R, 1, L"`H`>'-01:00:00'"},
        {L"H", NAOP_LT, R, 1, L"(`H`<'-01:00:00' OR `H` IS NULL)"},
        {L"H", NAOP_EQ, F, 1, L"`H`='-01:00:00'"},
        {L"H", NAOP_NE, R, 1, L"`H`<>'-01:00:00'"},
        {L"H", NAOP_GE, R, 0, L"(`H`>='-01:00:00' OR `H` IS NULL)"},
        {L"H", NAOP_LE, R, 0, L"`H`<='-01:00:00'"},
        {L"H", NAOP_EQ, R | G, 1, nullptr},
        {L"H", NAOP_ISNULL, R, 1, nullptr},
        {L"H", NAOP_ISNOTNULL, F, 1, nullptr},
        {L"N", NAOP_GT, R, 1, nullptr},
        {L"N", NAOP_EQ, F, 1, nullptr},
        // Searched by the host: its NULL.
        {L"H", NAOP_EQ, 0, 1, L"TIME_FORMAT(`H`,'%H%i%S') IS NULL"},
        {L"N", NAOP_NE, 0, 0, L"`N` IS NOT NULL"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.pszColumn) + " " + std::to_string(c.e) + " " + std::to_string(c.nFlags));
        m_pError->Reset();
        CAny v;
        SetNull(v, TQTYPE_I4);
        const SWritten w = Write(Leaf(c.e, c.pszColumn, v, c.nFlags), c.bNullFirst);
        if (c.pszText != nullptr) {
            EXPECT_EQ(w.bResult, 1) << Narrow(m_pError->pszGetError());
            EXPECT_EQ(w.strText, c.pszText);
            EXPECT_EQ(w.nConstant, 0);
        } else {
            EXPECT_EQ(w.bResult, 0);
            EXPECT_EQ(w.strText, L"");
            EXPECT_EQ(m_pError->nGetUserErrorCode(), static_cast<unsigned int>(ZTERR_CONVERSION));
            EXPECT_NE(std::wstring(m_pError->pszGetError()).find(L"H refused"), std::wstring::npos);
        }
        EXPECT_EQ(w.nParameters, 0);
    }
    // A value the host searched is told in advance as ever: every time is
    // at least the empty one.
    const SWritten wHost = Write(Text(NAOP_GE, L"H", ""));
    EXPECT_EQ(wHost.strText, L"");
    EXPECT_EQ(wHost.nConstant, NAOP_TRUE);
    // Another search holds the failure as long as it lives.
    CNARecherche* pOther = new CNARecherche(m_pError, m_pCnx);
    pOther->AddRef();
    CNARecordValue* pHolder = new CNARecordValue(m_pError);
    pHolder->AddRef();
    ASSERT_TRUE(pHolder->bAddRefusal(L"H", L"-02:00:00", pFailure));
    const CXError* pOthersFailure = pHolder->pclGetReadFailureNoRef();
    const int nHeld = pOthersFailure->m_nRefCount;
    pOther->SetRefusals(pOthersFailure);
    pOther->SetRefusals(pOthersFailure);
    EXPECT_EQ(pOthersFailure->m_nRefCount, nHeld + 1);
    pOther->nRelease();
    EXPECT_EQ(pOthersFailure->m_nRefCount, nHeld);
    pHolder->nRelease();
    // Beside a comparison that writes, the refused one fails the tree.
    m_pError->Reset();
    CAny v;
    SetNull(v, TQTYPE_I4);
    EXPECT_EQ(Write(Node(NAOP_AND, Int(NAOP_EQ, L"ID", 1, R), Leaf(NAOP_GT, L"N", v, R))).bResult, 0);
    EXPECT_EQ(m_pError->nGetUserErrorCode(), static_cast<unsigned int>(ZTERR_CONVERSION));
    // Emptied, the search holds none: the record's NULL.
    m_pSearch->ResetServerValues();
    EXPECT_EQ(m_pSearch->pstGetRefusal(Col(L"H")), nullptr);
    EXPECT_EQ(Write(Leaf(NAOP_NE, L"H", v, R), 0).strText, L"TIME_FORMAT(`H`,'%H%i%S') IS NOT NULL");
}

TEST_F(NAExpression, DatesWithoutADate)
{
    // Kind 5 takes an empty date as NULL.
    EXPECT_EQ(Text(Text(NAOP_EQ, L"D", "")), L"`D` IS NULL");
    EXPECT_EQ(Text(Text(NAOP_NE, L"DT", "")), L"`DT` IS NOT NULL");
    EXPECT_EQ(Text(Text(NAOP_EQ, L"D", "00000000")), L"`D`='0000-00-00'");
    // A kind that takes the zero date as NULL too.
    m_pCnx->SetKind(2);
    EXPECT_EQ(Write(Text(NAOP_EQ, L"D", "00000000")).strText.find(L"IS NULL") != std::wstring::npos, true);
    EXPECT_EQ(Write(Text(NAOP_EQ, L"D", "20230101")).strText.find(L"IS NULL"), std::wstring::npos);
    // Only a text value: a date of the column's own type is compared.
    CAny v;
    SetText8(v, "00000000", TQTYPE_DATEA);
    EXPECT_EQ(Write(Leaf(NAOP_EQ, L"D", v)).strText.find(L"IS NULL"), std::wstring::npos);
    m_pCnx->SetKind(CNAConnectionDescription::DS_MYSQL);
}

TEST_F(NAExpression, DateBounds)
{
    struct Case {
        eNA_ITEMTYPE eType;
        const wchar_t* pszValue;
        const wchar_t* pszLower; // null: no bound
        const wchar_t* pszUpper;
    } cases[] = {
        {NA_IT_DATE8, L"2023", L"20230101", L"20240101"},
        {NA_IT_DATE8, L"202302", L"20230201", L"20230301"},
        {NA_IT_DATE8, L"20240229", L"20240229", L"20240301"},
        {NA_IT_HEURE, L"12", L"120000000", L"130000000"},
        {NA_IT_HEURE, L"1230", L"123000000", L"123100000"},
        {NA_IT_DATE8, L"", nullptr, nullptr},
        {NA_IT_DATE8, L"20x3", nullptr, nullptr},
        {NA_IT_HEURE, L"1234567890", nullptr, nullptr},
    };
    for (const Case& c : cases) {
        CAny v;
        SetTextW(v, c.pszValue);
        CAny lo;
        CAny hi;
        const int b = CNAExpression::s_bGetBorneRechercheDateGenerique(c.eType, &v, &lo, &hi);
        EXPECT_EQ(b, c.pszLower != nullptr) << Narrow(c.pszValue);
        if (c.pszLower == nullptr)
            continue;
        const unsigned short nType = c.eType == NA_IT_HEURE ? TQTYPE_TIMEW : TQTYPE_DATEW;
        EXPECT_EQ(lo.nGetTypeCode(), nType);
        EXPECT_EQ(TextW(lo), c.pszLower);
        EXPECT_EQ(TextW(hi), c.pszUpper);
        EXPECT_EQ(lo.nGetFlags(), 0);
    }
    // A date-time item gets date-times.
    CAny v;
    SetTextW(v, L"2023");
    CAny lo;
    ASSERT_EQ(CNAExpression::s_bGetBorneRechercheDateMin(NA_IT_DATETIME, &v, &lo), 1);
    EXPECT_EQ(lo.nGetTypeCode(), TQTYPE_DATETIME);
    CAny clText;
    lo.pclGetTraitement()->Duplique(&clText);
    ASSERT_LE(clText.__nCastTo(TQTYPE_DSTRW, nullptr, 0), 99);
    EXPECT_EQ(TextW(clText).substr(0, 14), L"20230101000000");
    SetNull(v, TQTYPE_DSTRW);
    EXPECT_EQ(CNAExpression::s_bGetBorneRechercheDateMax(NA_IT_DATE8, &v, &lo), 0);
}

TEST_F(NAExpression, ConstantComparisons)
{
    struct Case {
        eNAOperator e;
        int nKind; // 0 boolean, 1 8-bit text, 2 wide text, 3 NULL text, 4 integer, 5 wide character,
                   // 6 wide text by pointer
        const wchar_t* psz;
        int bNullFirst;
        int bTrue;
    } cases[] = {
        {NAOP_LE, 0, L"1", 1, 1}, {NAOP_GE, 0, L"0", 1, 1}, {NAOP_GE, 0, L"1", 1, 0}, {NAOP_LT, 0, L"1", 1, 0},
        {NAOP_GE, 1, L"", 1, 1},  {NAOP_GE, 1, L"a", 1, 0}, {NAOP_LE, 1, L"\xff", 1, 1}, {NAOP_LE, 1, L"\xff", 0, 1},
        {NAOP_LE, 2, L"\xffff", 1, 1}, {NAOP_LE, 2, L"\xfffe", 1, 0}, {NAOP_GT, 1, L"", 1, 0},
        {NAOP_GE, 3, L"", 1, 1},  {NAOP_GE, 3, L"", 0, 0},  {NAOP_LE, 3, L"", 0, 1}, {NAOP_LE, 3, L"", 1, 0},
        {NAOP_GE, 4, L"0", 1, 0},
        {NAOP_GE, 5, L"", 1, 1}, {NAOP_GE, 5, L"a", 1, 0}, {NAOP_LE, 6, L"\xffff", 1, 1},
    };
    for (const Case& c : cases) {
        CAny v;
        std::string s;
        for (const wchar_t* p = c.psz; *p != 0; p++)
            s += static_cast<char>(*p);
        switch (c.nKind) {
        case 0: SetAs<int>(v, TQTYPE_BOOL, c.psz[0] == L'1'); break;
        case 1: SetText8(v, s); break;
        case 2: SetTextW(v, c.psz); break;
        case 3: SetNull(v, TQTYPE_DSTRA); break;
        case 5: SetAs<wchar_t>(v, TQTYPE_CARW, c.psz[0]); break;
        case 6: SetTextW(v, c.psz, TQTYPE_PSTRW); break;
        default: SetAs<int>(v, TQTYPE_I4, 0); break;
        }
        m_pCnx->m_bNullFirst = c.bNullFirst;
        EXPECT_EQ(CNAExpression::s_bExpressionTrue(c.e, m_pCnx, &v), c.bTrue)
            << c.e << " kind " << c.nKind << " first " << c.bNullFirst;
    }
    EXPECT_EQ(CNAExpression::s_bExpressionTrue(NAOP_GE, m_pCnx, nullptr), 0);
}

TEST_F(NAExpression, OperatorsTheirTextsAndKinds)
{
    const struct {
        eNAOperator e;
        const wchar_t* pszText;
        int nKind;
        eNAOperator eInverted;
    } cases[] = {
        {NAOP_NONE, L"", -1, NAOP_NONE},   {NAOP_OR, L" OR ", -1, NAOP_OR},     {NAOP_AND, L" AND ", -1, NAOP_AND},
        {NAOP_NOT, L" NOT ", -1, NAOP_NOT}, {NAOP_EQ, L"=", 9, NAOP_EQ},         {NAOP_GT, L">", 13, NAOP_LT},
        {NAOP_LT, L"<", 11, NAOP_GT},       {NAOP_GE, L">=", 14, NAOP_LE},       {NAOP_LE, L"<=", 12, NAOP_GE},
        {NAOP_PARSED, L"", -1, NAOP_PARSED}, {NAOP_FALSE, L"0=1", -1, NAOP_FALSE}, {NAOP_TRUE, L"1=1", -1, NAOP_TRUE},
        {NAOP_NE, L"<>", 10, NAOP_NE},      {NAOP_ISNULL, L" IS NULL", 33, NAOP_ISNULL},
        {NAOP_ISNOTNULL, L"IS NOT NULL", -1, NAOP_ISNOTNULL}, {static_cast<eNAOperator>(15), L"", -1,
                                                              static_cast<eNAOperator>(15)},
    };
    for (const auto& c : cases) {
        EXPECT_STREQ(CNAExpression::s_pszDumpOp(c.e), c.pszText) << c.e;
        EXPECT_EQ(CNAExpression::Convert_eNAOperator_To_eOPEXPRESSION(c.e), c.nKind) << c.e;
        EXPECT_EQ(CNAExpression::s_eInvertOperator(c.e), c.eInverted) << c.e;
    }
}

TEST_F(NAExpression, NullExclusionOfTrees)
{
    CNAColumn* n = Col(L"N");
    CNAColumn* id = Col(L"ID");
    // Before writing, a leaf answers by its value.
    CNAExpression* pEq0 = Int(NAOP_EQ, L"N", 0);
    EXPECT_EQ(pEq0->bColumnValuesNullSelected(n), 0); // zero is no NULL on this kind
    EXPECT_EQ(Null(NAOP_EQ, L"N")->bColumnValuesNullSelected(n), 1);
    EXPECT_EQ(Null(NAOP_NE, L"N")->bColumnValuesNullSelected(n), 0);
    EXPECT_EQ(Int(NAOP_LT, L"N", 3)->bColumnValuesNullSelected(n), 1);
    EXPECT_EQ(Int(NAOP_GT, L"N", 3)->bColumnValuesNullSelected(n), 0);
    EXPECT_EQ(Int(NAOP_GE, L"N", 3)->bColumnValuesNullSelected(n), 1);
    EXPECT_EQ(pEq0->bColumnValuesNullSelected(id), 1);
    // NULL sorted last: the other way round.
    m_pCnx->m_bNullFirst = 0;
    EXPECT_EQ(Int(NAOP_LT, L"N", 3)->bColumnValuesNullSelected(n), 0);
    EXPECT_EQ(Int(NAOP_GT, L"N", 3)->bColumnValuesNullSelected(n), 1);
    m_pCnx->m_bNullFirst = 1;
    // After writing: AND keeps a column excluded by either side, OR only
    // by both.
    CNAExpression* pAnd = Node(NAOP_AND, Int(NAOP_EQ, L"N", 5), Int(NAOP_LT, L"ID", 3));
    Write(pAnd);
    EXPECT_EQ(pAnd->bColumnValuesNullSelected(n), 0);
    EXPECT_EQ(pAnd->bColumnValuesNullSelected(id), 0);
    CNAExpression* pOr = Node(NAOP_OR, Int(NAOP_EQ, L"N", 5), Int(NAOP_EQ, L"ID", 3));
    Write(pOr);
    EXPECT_EQ(pOr->bColumnValuesNullSelected(n), 1);
    EXPECT_EQ(pOr->bColumnValuesNullSelected(id), 1);
    CNAExpression* pOrBoth = Node(NAOP_OR, Int(NAOP_EQ, L"N", 5), Int(NAOP_GT, L"N", 8));
    Write(pOrBoth);
    EXPECT_EQ(pOrBoth->bColumnValuesNullSelected(n), 0);
    // A NOT turns a single comparison's set over; any other keeps none.
    CNAExpression* pNot = Node(NAOP_NOT, Null(NAOP_EQ, L"N"));
    Write(pNot);
    EXPECT_EQ(pNot->bColumnValuesNullSelected(n), 0);
    CNAExpression* pNotAnd = Node(NAOP_NOT, Node(NAOP_AND, Int(NAOP_EQ, L"N", 5), Int(NAOP_EQ, L"ID", 3)));
    Write(pNotAnd);
    EXPECT_EQ(pNotAnd->pclGetColumnNullValueExcludedNoRef() == nullptr ||
                  pNotAnd->pclGetColumnNullValueExcludedNoRef()->nGetNbColumn() == 0,
              true);
    EXPECT_EQ(pNotAnd->bColumnValuesNullSelected(n), 1);
    // The one side left when the other folds.
    CNAExpression* pFolded = Node(NAOP_AND, True(), Int(NAOP_EQ, L"N", 5));
    Write(pFolded);
    EXPECT_EQ(pFolded->bColumnValuesNullSelected(n), 0);
    CNAExpression* pFoldedRight = Node(NAOP_AND, Int(NAOP_EQ, L"N", 5), True());
    Write(pFoldedRight);
    EXPECT_EQ(pFoldedRight->bColumnValuesNullSelected(n), 0);
}

TEST_F(NAExpression, GoingOnFromAnEquality)
{
    // A prefix: past it, the rows it covers skipped; before it, below it.
    CNAExpression* pPrefix = Text(NAOP_EQ, L"S", "ab", G);
    CNAExpression* pNext = Hold(pPrefix->pclClone());
    CNAExpression* pAfter = pNext->pclTransformEqualTo(m_pRecord, nullptr, NAOP_GT);
    ASSERT_NE(pAfter, nullptr);
    Hold(pAfter);
    EXPECT_EQ(Text(pAfter), L" NOT (`S` LIKE 'ab%' ESCAPE '!' ) AND `S`>'ab'");
    CNAExpression* pBefore = Hold(pPrefix->pclClone());
    EXPECT_EQ(pBefore->pclTransformEqualTo(m_pRecord, nullptr, NAOP_LT), pBefore);
    EXPECT_EQ(Text(pBefore), L"(`S`<'ab' OR `S` IS NULL)");
    // Past a month the same way; a generic number is one value.
    CNAExpression* pMonth = Hold(Text(NAOP_EQ, L"D", "202303", G)->pclTransformEqualTo(m_pRecord, nullptr, NAOP_GT));
    EXPECT_EQ(Text(pMonth), L" NOT (`D`>='2023-03-01' AND `D`<'2023-04-01' ) AND `D`>'2023-03-01'");
    EXPECT_EQ(Text(Int(NAOP_EQ, L"N", 5, G)->pclTransformEqualTo(m_pRecord, nullptr, NAOP_GT)), L"`N`>5");
    // Only the equalities go on.
    CNAExpression* pMixed = Node(NAOP_AND, Int(NAOP_EQ, L"N", 5), Int(NAOP_LT, L"ID", 7));
    pMixed->pclTransformEqualTo(m_pRecord, nullptr, NAOP_GT);
    EXPECT_EQ(Text(pMixed), L"`N`>5 AND `ID`<7");
    // An exact value, under an AND, in place.
    CNAExpression* pAnd = Node(NAOP_AND, Int(NAOP_EQ, L"N", 5), Text(NAOP_EQ, L"S", "cd", G));
    EXPECT_EQ(pAnd->pclTransformEqualTo(m_pRecord, nullptr, NAOP_GT), pAnd);
    EXPECT_EQ(Text(pAnd), L"`N`>5 AND ( NOT (`S` LIKE 'cd%' ESCAPE '!' ) AND `S`>'cd' )");
    // A NULL prefix is an exact comparison.
    CAny v;
    SetNull(v, TQTYPE_DSTRA);
    CNAExpression* pNull = Leaf(NAOP_EQ, L"S", v, G);
    pNull->pclTransformEqualTo(m_pRecord, nullptr, NAOP_GT);
    EXPECT_EQ(Text(pNull), L"`S` IS NOT NULL");
}

TEST_F(NAExpression, ClonesWrittenTwiceAlike)
{
    CNAExpression* pTree = Node(
        NAOP_OR, Node(NAOP_AND, Int(NAOP_LE, L"N", 5), Text(NAOP_EQ, L"S", "x'y", G)),
        Node(NAOP_NOT, Node(NAOP_OR, Text(NAOP_GE, L"S", ""), Int(NAOP_EQ, L"ID", 2))));
    CNAExpression* pCopy = Hold(pTree->pclClone());
    const SWritten a = Write(pTree);
    const SWritten b = Write(pCopy);
    EXPECT_EQ(a.strText, b.strText);
    EXPECT_EQ(a.nParameters, b.nParameters);
    EXPECT_EQ(a.strText, L"(`N`<=5 OR `N` IS NULL) AND `S` LIKE 'x''y%' ESCAPE '!'");
    // The clone shares the leaves' columns and values.
    EXPECT_EQ(pCopy->pclGetLeftNoRef()->pclGetLeftNoRef()->pclGetValueNoRef(),
              pTree->pclGetLeftNoRef()->pclGetLeftNoRef()->pclGetValueNoRef());
    EXPECT_NE(pCopy->pclGetLeftNoRef(), pTree->pclGetLeftNoRef());
}

TEST_F(NAExpression, TheSearchsSuffixFollowsEachParameter)
{
    m_pSearch->SetParameterSuffix(L" /*p*/");
    EXPECT_EQ(Text(Int(NAOP_LT, L"N", 5)), L"(`N`<5 /*p*/ OR `N` IS NULL)");
    EXPECT_EQ(Text(Text(NAOP_EQ, L"D", "2023", G)), L"`D`>='2023-01-01' /*p*/ AND `D`<'2024-01-01' /*p*/");
    m_pSearch->SetParameterSuffix(L"");
}

TEST_F(NAExpression, AHostConditionWithoutParseWritesNothing)
{
    CNAExpression* pEmpty = Hold(m_pFactory->pclAllocExpression(static_cast<ISQLParserInformation*>(nullptr), 0x40));
    ASSERT_NE(pEmpty, nullptr);
    EXPECT_EQ(pEmpty->eGetOperator(), NAOP_PARSED);
    EXPECT_EQ(pEmpty->nGetFlags(), 0x40u);
    const SWritten st = Write(pEmpty);
    EXPECT_EQ(st.bResult, 1);
    EXPECT_EQ(st.strText, L"");
    // A node of the host kind made by hand has no digest: nothing either.
    EXPECT_EQ(Write(Node(NAOP_PARSED, nullptr)).bResult, 1);
    // Insert swaps an operand; an empty node writes nothing.
    CNAExpression* pAnd = Node(NAOP_AND, Int(NAOP_EQ, L"N", 1), Int(NAOP_EQ, L"N", 2));
    CNAExpression::Insert(pAnd, pAnd->pclGetRightNoRef(), Int(NAOP_EQ, L"ID", 3));
    CNAExpression::Insert(pAnd, Int(NAOP_EQ, L"ID", 9), Int(NAOP_EQ, L"ID", 4)); // not an operand
    EXPECT_EQ(Text(pAnd), L"`N`=1 AND `ID`=3");
    EXPECT_EQ(Text(Hold(m_pFactory->pclAllocExpression())), L"");
}

} // namespace

// A generic value holding a NUL would be cut there as a pattern: refused,
// 8-bit or wide, on either text column; the exact search keeps it whole.
TEST_F(NAExpression, AGenericValueHoldingANulIsRefused)
{
    for (const wchar_t* pszColumn : {L"S", L"W"}) {
        CAny v8;
        SetText8(v8, std::string("a\0z", 3));
        CAny vW;
        SetTextW(vW, std::wstring(L"a\0z", 3));
        for (const CAny* pValue : {&v8, &vW}) {
            const SWritten w = Write(Leaf(NAOP_EQ, pszColumn, *pValue, G, false));
            EXPECT_EQ(w.bResult, 0) << w.strText;
            EXPECT_EQ(m_pError->dwGetErrorId(), static_cast<unsigned int>(ZTERR_CONVERSION)) << Narrow(pszColumn);
            m_pError->Reset();
        }
        // A NUL past the end is no part of the value.
        CAny vEnd;
        SetText8(vEnd, "az");
        EXPECT_EQ(Text(Leaf(NAOP_EQ, pszColumn, vEnd, G, false)),
                  std::wstring(L"`") + pszColumn + L"` LIKE 'az%' ESCAPE '!'");
    }
    CAny v;
    SetText8(v, std::string("a\0z", 3));
    EXPECT_EQ(Write(Leaf(NAOP_EQ, L"S", v)).bResult, 1);
}

// The refusal is the expression's own, with the value's place named; an
// empty generic value of a wide column holds no NUL and matches every text.
TEST_F(NAExpression, TheNulRefusalIsSaidAndAnEmptyValuePasses)
{
    CAny vW;
    SetTextW(vW, std::wstring(L"a\0z", 3));
    EXPECT_EQ(Write(Leaf(NAOP_EQ, L"W", vW, G, false)).bResult, 0);
    EXPECT_NE(std::wstring(m_pError->pclGetXError()->pszGetDebugMessage()).find(L"=14.6\r\n"), std::wstring::npos)
        << Narrow(m_pError->pszGetError());
    m_pError->Reset();
    CAny vEmpty;
    SetTextW(vEmpty, L"");
    const SWritten w = Write(Leaf(NAOP_EQ, L"W", vEmpty, G, false));
    EXPECT_EQ(w.bResult, 1) << Narrow(m_pError->pszGetError());
    EXPECT_EQ(w.strText, L"`W` LIKE '%' ESCAPE '!'");
}

namespace {

class ComputedRefusal : public QuerySourceTest {
protected:
    ComputedRefusal() : QuerySourceTest(1) {}
};

} // namespace

// A computed item of a query whose value the record refused is compared
// through its expression with the server's text, which the server takes in
// the expression's type; outside the query, by its output name. A text no
// condition can write fails with the item's failure.
TEST_F(ComputedRefusal, TheExpressionIsComparedWithTheServersText)
{
    m_clHand.pclAdd(L"q", L"q_db", {{L"name", NA_IT_TEXTE, CNAItemDescription::KF_DUPLICATES, true},
                                    {L"amount", NA_IT_I4, 0, true}});
    CHostSQLParse* pParse = Parse(L"SELECT name, amount + 1 AS s FROM q");
    pParse->SetItemType(1, 5);
    CSQLParserInfo* pInfo = Digest(pParse);
    CNARecord* pRecord = RecordOf(pInfo);
    ASSERT_NE(pRecord, nullptr);
    CNAColumn* pS = pRecord->pclGetColumnNoRef(L"s");
    ASSERT_NE(pS, nullptr);
    ASSERT_NE(pS->eGetTypeColonne(), 0);

    CNARecordValue* pRow = Hold(new CNARecordValue(m_pError));
    CXError* pFailure = new CXError(&gstMyModuleInfo32);
    pFailure->SetUserErrorMessage(&gstMyModuleInfo32, ZTERR_CONVERSION, L"s refused");
    ASSERT_TRUE(pRow->bAddRefusal(L"s", L"4294967296", pFailure));
    CNARecherche* pSearch = Hold(new CNARecherche(m_pError, m_pCnx));
    pSearch->SetRefusals(pRow->pclGetReadFailureNoRef());
    CNAExpression* pMaker = Hold(new CNAExpression(m_pError));
    CNAConvertVariant* pCell = Hold(new CNAConvertVariant(m_pError, m_pCnx));
    pCell->InitTypeVariantAny(TQTYPE_I4, 0);
    pCell->SetNull();
    auto Text = [&](eNAOperator e, unsigned int nFlags, int bOutputNames, int* pbResult) {
        CNAExpression* pLeaf = Hold(pMaker->pclAllocExpression(e, pS, pCell, nFlags));
        CNACommand cmd(m_pError, m_pCnx);
        cmd.SetOutputNames(bOutputNames);
        int nConstant = 0;
        *pbResult = pLeaf->bGetSQL(&cmd, NAOP_NONE, pSearch, &nConstant, pRecord);
        return Narrow(cmd.pszGetFormatedSQLW(CNACommand::PTC_ALL));
    };
    const unsigned int R = CNAExpression::EXPR_RECORD;
    int bResult = 0;
    // A number compared as a number.
    EXPECT_EQ(Text(NAOP_GT, R, 0, &bResult), "(`q_db`.`amount` + 1 )>4294967296");
    EXPECT_EQ(bResult, 1) << Narrow(m_pError->pszGetError());
    EXPECT_EQ(Text(NAOP_LT, R, 0, &bResult),
              "((`q_db`.`amount` + 1 )<4294967296 OR (`q_db`.`amount` + 1 ) IS NULL)");
    EXPECT_EQ(Text(NAOP_EQ, R, 1, &bResult), "`s`=4294967296");
    // Searched by the host: its NULL.
    EXPECT_EQ(Text(NAOP_EQ, 0, 0, &bResult), "(`q_db`.`amount` + 1 ) IS NULL");

    ASSERT_TRUE(pRow->bDropRefusal(L"s"));
    ASSERT_TRUE(pRow->bAddRefusal(L"s", L"", pFailure));
    pSearch->SetRefusals(pRow->pclGetReadFailureNoRef());
    m_pError->Reset();
    Text(NAOP_GT, R, 0, &bResult);
    EXPECT_EQ(bResult, 0);
    EXPECT_EQ(m_pError->nGetUserErrorCode(), static_cast<unsigned int>(ZTERR_CONVERSION));
    EXPECT_NE(std::wstring(m_pError->pszGetError()).find(L"s refused"), std::wstring::npos);
    pSearch->ResetServerValues();
    pInfo->SetRecord(nullptr);
}
