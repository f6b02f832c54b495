// NULL-exclusion sets: the flag of a column, its combination under AND and
// OR (an absent column counting as selected), copies, and the clause
// elements' order.
#include "access/sql/ColumnNullValueExcluded.h"
#include "access/sql/NASqlElt.h"
#include "access/statement/NAColumn.h"

#include "tests/support/ValueCells.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace {

class ColumnNullValueExcludedFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        const wchar_t* apszName[] = {L"A", L"B", L"C"};
        for (const wchar_t* psz : apszName) {
            CTestItem* pItem = new CTestItem(NA_IT_I4, 4, 0, 0);
            pItem->bSetName(psz);
            m_tabItem.push_back(pItem);
            CNAColumn* pclColumn = new CNAColumn(nullptr, pItem);
            pclColumn->AddRef();
            m_tabColumn.push_back(pclColumn);
        }
    }
    void TearDown() override
    {
        for (CNAColumn* p : m_tabColumn)
            p->nRelease();
        for (CTestItem* p : m_tabItem)
            p->nRelease();
    }
    CNAColumn* Col(char c) { return m_tabColumn[static_cast<size_t>(c - 'A')]; }
    // "A0 B1": A excluded, B selected.
    void Fill(CColumnNullValueExcluded& cl, const std::string& s)
    {
        for (size_t i = 0; i + 1 < s.size(); i += 3)
            cl.bSetColumnValuesNullSelected(Col(s[i]), s[i + 1] == '1');
    }
    // The entries in order, "A0 B1".
    std::string Dump(const CColumnNullValueExcluded& cl)
    {
        std::string s;
        for (int i = 0; i < cl.nGetNbColumn(); i++) {
            CNAColumn* pcl = cl.pclGetColumnNoRef(i);
            if (!s.empty())
                s += ' ';
            s += static_cast<char>('A' + (std::find(m_tabColumn.begin(), m_tabColumn.end(), pcl) - m_tabColumn.begin()));
            s += cl.bColumnValuesNullSelected(pcl) ? '1' : '0';
        }
        return s;
    }
    std::vector<CTestItem*> m_tabItem;
    std::vector<CNAColumn*> m_tabColumn;
};

TEST_F(ColumnNullValueExcludedFixture, FlagsByColumnAndByName)
{
    CColumnNullValueExcluded cl;
    // Empty: every column selected.
    for (CNAColumn* p : m_tabColumn)
        EXPECT_EQ(cl.bColumnValuesNullSelected(p), 1);
    EXPECT_EQ(cl.bColumnValuesNullSelected(static_cast<const CNAColumn*>(nullptr)), 1);
    EXPECT_EQ(cl.bSetColumnValuesNullSelected(nullptr, 0), 1);
    EXPECT_EQ(cl.nGetNbColumn(), 0);
    EXPECT_EQ(cl.bSetColumnValuesNullSelected(Col('A'), 0), 1);
    Fill(cl, "B1");
    EXPECT_EQ(cl.bSetColumnValuesNullSelected(Col('A'), 7), 1); // any non-zero is selected, set again in place
    cl.bSetColumnValuesNullSelected(Col('B'), 0);
    EXPECT_EQ(Dump(cl), "A1 B0");
    EXPECT_EQ(cl.bColumnValuesNullSelected(L"b"), 0);
    EXPECT_EQ(cl.bColumnValuesNullSelected(L"a"), 1);
    EXPECT_EQ(cl.bColumnValuesNullSelected(L"C"), 1);
    EXPECT_EQ(cl.bColumnValuesNullSelected(static_cast<const wchar_t*>(nullptr)), 1);
    cl.Reset();
    EXPECT_EQ(Dump(cl), "");
}

TEST_F(ColumnNullValueExcludedFixture, CombiningOneColumn)
{
    struct Case {
        const char* pszBefore;
        eNAOperator eOperator;
        int bSelected;
        const char* pszAfter;
    } cases[] = {
        {"A1", NAOP_AND, 0, "A0"}, {"A1", NAOP_AND, 1, "A1"}, {"A0", NAOP_AND, 1, "A0"},
        {"A0", NAOP_OR, 1, "A1"},  {"A0", NAOP_OR, 0, "A0"},  {"A1", NAOP_OR, 0, "A1"},
        // Absent: selected, so only AND with an exclusion adds it.
        {"", NAOP_AND, 0, "A0"},   {"", NAOP_AND, 1, ""},     {"", NAOP_OR, 0, ""},
        {"", NAOP_NOT, 0, ""},
    };
    for (const Case& c : cases) {
        CColumnNullValueExcluded cl;
        Fill(cl, c.pszBefore);
        EXPECT_EQ(cl.bCombineColumnValuesNullSelected(c.eOperator, Col('A'), c.bSelected), 1);
        EXPECT_EQ(Dump(cl), c.pszAfter) << c.pszBefore << " op " << c.eOperator << " " << c.bSelected;
    }
    CColumnNullValueExcluded cl;
    EXPECT_EQ(cl.bCombineColumnValuesNullSelected(NAOP_AND, nullptr, 0), 1);
    EXPECT_EQ(cl.nGetNbColumn(), 0);
}

TEST_F(ColumnNullValueExcludedFixture, CombiningSets)
{
    struct Case {
        const char* pszThis;
        const char* pszOther; // null: no other set
        eNAOperator eOperator;
        const char* pszAfter;
    } cases[] = {
        {"A0 B0", "A1 C0", NAOP_AND, "A0 B0 C0"},
        // Under OR a column the other side lacks is selected there.
        {"A0 B0", "A0 C0", NAOP_OR, "A0 B1"},
        {"A0 B1", "A1 C0", NAOP_OR, "A1 B1"},
        {"A0", nullptr, NAOP_OR, ""},
        {"A0", nullptr, NAOP_AND, "A0"},
        {"", "B0", NAOP_AND, "B0"},
    };
    for (const Case& c : cases) {
        CColumnNullValueExcluded cl;
        CColumnNullValueExcluded clOther;
        Fill(cl, c.pszThis);
        if (c.pszOther != nullptr)
            Fill(clOther, c.pszOther);
        EXPECT_EQ(cl.bCombineColumnValuesNullSelected(c.eOperator, c.pszOther != nullptr ? &clOther : nullptr), 1);
        EXPECT_EQ(Dump(cl), c.pszAfter) << c.pszThis << " with " << (c.pszOther ? c.pszOther : "none");
    }
    // With itself: unchanged.
    CColumnNullValueExcluded cl;
    Fill(cl, "A0 B1");
    cl.bCombineColumnValuesNullSelected(NAOP_OR, &cl);
    EXPECT_EQ(Dump(cl), "A0 B1");
}

TEST_F(ColumnNullValueExcludedFixture, CombiningBothSides)
{
    struct Case {
        const char* pszA; // null: no set
        const char* pszB;
        eNAOperator eOperator;
        const char* pszAfter;
    } cases[] = {
        {"A0 B0", "A0 C0", NAOP_OR, "A0 B1"},
        {"A0 B0", "A1 C0", NAOP_AND, "A0 B0 C0"},
        {nullptr, "B0", NAOP_AND, "B0"},
        {"B0", nullptr, NAOP_AND, "B0"},
        {nullptr, "B0", NAOP_OR, ""},
        {"B0", nullptr, NAOP_OR, ""},
        {nullptr, nullptr, NAOP_AND, ""},
    };
    for (const Case& c : cases) {
        CColumnNullValueExcluded cl;
        CColumnNullValueExcluded clA;
        CColumnNullValueExcluded clB;
        if (c.pszA != nullptr)
            Fill(clA, c.pszA);
        if (c.pszB != nullptr)
            Fill(clB, c.pszB);
        EXPECT_EQ(cl.bCombineColumnValuesNullSelected(c.eOperator, c.pszA ? &clA : nullptr, c.pszB ? &clB : nullptr),
                  1);
        EXPECT_EQ(Dump(cl), c.pszAfter) << (c.pszA ? c.pszA : "none") << " op " << c.eOperator << " "
                                        << (c.pszB ? c.pszB : "none");
    }
}

TEST_F(ColumnNullValueExcludedFixture, CopiesUpdateAndTurnOver)
{
    CColumnNullValueExcluded cl;
    Fill(cl, "A1 C0");
    CColumnNullValueExcluded clOther;
    Fill(clOther, "A0 B1");
    EXPECT_EQ(cl.bCopyColumnValuesNullSelected(&clOther, 0), 1);
    EXPECT_EQ(Dump(cl), "A0 C0 B1"); // A taken in place, not twice
    CColumnNullValueExcluded clInverted;
    clInverted.bCopyColumnValuesNullSelected(&clOther, 1);
    EXPECT_EQ(Dump(clInverted), "A1 B0");
    clInverted.bCopyColumnValuesNullSelected(nullptr, 1);
    EXPECT_EQ(Dump(clInverted), "A1 B0");
}

TEST(NASqlEltTest, ElementsOrderByStart)
{
    struct Case {
        unsigned int nA;
        unsigned int nB;
        int nSign;
    } cases[] = {{3, 7, -1}, {7, 3, 1}, {5, 5, 0}, {0, 0xFFFFFFFFu, -1}, {0xFFFFFFFFu, 1, 1}};
    for (const Case& c : cases) {
        CNASqlElt* a = new CNASqlElt(CNASqlElt::SQLELT_WHERE, c.nA, c.nA + 10);
        CNASqlElt* b = new CNASqlElt(CNASqlElt::SQLELT_FROM, c.nB, c.nB, L"t");
        const int n = CNASqlElt::pfnCmpELT(&a, &b);
        EXPECT_EQ((n > 0) - (n < 0), c.nSign) << c.nA << " " << c.nB;
        delete a;
        delete b;
    }
    CNASqlElt cl(CNASqlElt::SQLELT_JOIN, 4, 9, L"x");
    EXPECT_EQ(cl.eGetKind(), CNASqlElt::SQLELT_JOIN);
    EXPECT_EQ(cl.nGetStop(), 9u);
    EXPECT_STREQ(cl.pszGetText(), L"x");
}

} // namespace
