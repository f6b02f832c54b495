// What the command gives the search expressions: the item type values of
// date and time columns are sent in, column names in clauses, LIKE
// patterns of search values, and the NULL-exclusion set of its condition.
#include "access/sql/ColumnNullValueExcluded.h"
#include "access/sql/NACommand.h"
#include "host/parse/HostSQLParse.h"
#include "common/text/XYString.h"

#include "tests/support/ValueCells.h"

#include <gtest/gtest.h>

#include <memory>

#include <string>

namespace {

// A connection of kind 5 quoting names with backquotes.
class CBackquoted : public CTestConnection {
public:
    explicit CBackquoted(int bTimeType = 0) : CTestConnection(1252, 1252, DS_MYSQL), m_bTimeType(bTimeType)
    {
        m_csOpeningQuote.Set(L"`");
        m_csClosingQuote.Set(L"`");
        m_nOpeningQuoteLength = 1;
        m_nClosingQuoteLength = 1;
        AddRef();
    }
    int bSupportItemTime() override { return m_bTimeType; }
    int m_bTimeType;
};

class NACommandClause : public ::testing::Test {
protected:
    void SetUp() override
    {
        BindValueMachine();
        m_pError = new CNAError;
        m_pError->AddRef();
    }
    void TearDown() override
    {
        m_pCnx->nRelease();
        m_pError->nRelease();
    }
    CNAError* m_pError = nullptr;
    CBackquoted* m_pCnx = new CBackquoted;
};

TEST_F(NACommandClause, SendingTypeOfDateAndTimeColumns)
{
    struct Case {
        int bTimeType;
        int eKind;
        eNA_ITEMTYPE eType;
        eOPEXPRESSION eOperator;
        int eSent;
    } cases[] = {
        // Only times, dates and date-times; never for IS NULL.
        {0, 3, NA_IT_TEXTE, 9, 0}, {0, 3, NA_IT_I4, 15, 0}, {0, 3, NA_IT_HEURE, 33, 0},
        // A time without a time type: as text in WHERE to ORDER BY, and for
        // comparisons anywhere.
        {0, 3, NA_IT_HEURE, -1, 2}, {0, 6, NA_IT_HEURE, 9, 2}, {0, 1, NA_IT_HEURE, 9, 2},
        {0, 1, NA_IT_HEURE, 23, 2}, {0, 1, NA_IT_HEURE, 24, 0}, {0, 7, NA_IT_HEURE, 8, 0},
        // With a time type, and for dates, only the text functions ask it.
        {1, 3, NA_IT_HEURE, 9, 0}, {1, 3, NA_IT_HEURE, 15, 2}, {0, 3, NA_IT_DATE8, 9, 0},
        {0, 3, NA_IT_DATE8, 21, 2}, {0, 3, NA_IT_DATETIME, 32, 2}, {0, 3, NA_IT_DATETIME, 42, 2},
        {0, 3, NA_IT_DATETIME, 46, 2}, {0, 3, NA_IT_DATETIME, 47, 0}, {0, 3, NA_IT_DATE8, 50, 2},
        {0, 3, NA_IT_DATE8, 57, 2}, {0, 3, NA_IT_DATE8, 58, 0}, {0, 3, NA_IT_DATE8, 31, 0},
        {0, 3, NA_IT_DATE8, 14, 0},
    };
    for (const Case& c : cases) {
        m_pCnx->m_bTimeType = c.bTimeType;
        CNACommand cmd(m_pError, m_pCnx);
        EXPECT_EQ(cmd.eGetFormatExpressionColonne(c.eKind, c.eType, c.eOperator, nullptr), c.eSent)
            << "time type " << c.bTimeType << " kind " << c.eKind << " type " << c.eType << " op " << c.eOperator;
    }
}

TEST_F(NACommandClause, NamesInClauses)
{
    CTestItem* pTime = new CTestItem(NA_IT_HEURE, 7, 0, 0);
    CTestItem* pText = new CTestItem(NA_IT_TEXTE, 20, 0, 0);
    struct Case {
        CTestItem* pItem;
        const wchar_t* pszTable;
        const wchar_t* pszName;
        eOPEXPRESSION eOperator;
        const wchar_t* pszOut;
    } cases[] = {
        {pText, L"t", L"a", 9, L"`t`.`a`"},
        {pText, L"", L"a`b", 9, L"`a``b`"},
        {pText, nullptr, L"a", 9, L"`a`"},
        {nullptr, L"db.t", L"a", 9, L"`db`.`t`.`a`"},
        // A time compared as the host's text: wrapped by the connection.
        {pTime, L"t", L"h", 9, L"TIME_FORMAT(`t`.`h`,'%H%i%S')"},
        {pTime, L"", L"h", 13, L"TIME_FORMAT(`h`,'%H%i%S')"},
        {pTime, L"", L"h", 33, L"`h`"},
    };
    for (const Case& c : cases) {
        CNACommand cmd(m_pError, m_pCnx);
        CTString cs;
        cmd.FormatExpressionItemName(3, c.eOperator, c.pItem, c.pszTable, c.pszName, &cs);
        EXPECT_STREQ(cs.pszGet(), c.pszOut);
    }
    // A host query's item: the operator is its parent's, none without one.
    CNACommand cmd(m_pError, m_pCnx);
    CTString cs;
    cmd._FormatExpressionItemName(nullptr, nullptr, 1, pTime, L"t", L"h", &cs);
    EXPECT_STREQ(cs.pszGet(), L"`t`.`h`");
    cmd._FormatExpressionItemName(nullptr, nullptr, 3, pTime, L"t", L"h", &cs);
    EXPECT_STREQ(cs.pszGet(), L"TIME_FORMAT(`t`.`h`,'%H%i%S')");
    // Under a comparison read from the host's parse, a time is converted
    // in the output list too.
    std::unique_ptr<CHostSQLParse> pParse = CHostSQLParse::pParse(L"SELECT a FROM t WHERE a = 1");
    ASSERT_NE(pParse, nullptr);
    IExpOpExpression* piEqual = pParse->piGetWhere();
    cmd._FormatExpressionItemName(nullptr, piEqual, 1, pTime, L"t", L"h", &cs);
    EXPECT_STREQ(cs.pszGet(), L"TIME_FORMAT(`t`.`h`,'%H%i%S')");
    piEqual->nRelease();
    // Without a connection the names are kept.
    CNACommand bare(m_pError, nullptr);
    bare._FormatTableAndItemName(L"t", L"a b", &cs);
    EXPECT_STREQ(cs.pszGet(), L"t.a b");
    // Nothing to convert with either: the plain name, and success.
    EXPECT_EQ(bare._bFormatAndConvertItemInClause(nullptr, nullptr, pTime, L"t", L"h", 3, &cs), 1);
    EXPECT_STREQ(cs.pszGet(), L"t.h");
    pTime->nRelease();
    pText->nRelease();
}

TEST_F(NACommandClause, SearchValuesAsLikePatterns)
{
    struct Case {
        const wchar_t* pszValue;
        wchar_t cEscape;
        const wchar_t* pszPattern;
    } cases[] = {
        {L"abc", L'!', L"abc"},
        {L"50%", L'!', L"50!%"},
        {L"a_b", L'!', L"a!_b"},
        {L"it's", L'!', L"it''s"},
        {L"a!b", L'!', L"a!!b"},
        {L"!!", L'!', L"!!!!"},
        {L"!%", L'!', L"!!!%"},
        {L"!_", L'!', L"!!!_"},
        // A backslash that is not the escape character stays single: the
        // server's literal escapes it.
        {L"a\\b", L'!', L"a\\b"},
        {L"", L'!', L""},
        // Without an escape character, the backslash.
        {L"50%", 0, L"50\\%"},
        {L"a\\b", 0, L"a\\\\b"},
        {L"\\%", 0, L"\\\\\\%"},
    };
    for (const Case& c : cases) {
        CNACommand cmd(m_pError, m_pCnx);
        CXYString<wchar_t> clW;
        EXPECT_EQ(cmd.bEscapeLIKEParamAsKXParam(&clW, c.pszValue, c.cEscape), 1);
        EXPECT_STREQ(clW.pszGet(), c.pszPattern) << c.pszValue;
        std::string strValue;
        std::string strPattern;
        for (const wchar_t* p = c.pszValue; *p != 0; p++)
            strValue += static_cast<char>(*p);
        for (const wchar_t* p = c.pszPattern; *p != 0; p++)
            strPattern += static_cast<char>(*p);
        CXYString<char> clA;
        EXPECT_EQ(cmd.bEscapeLIKEParamAsKXParam(&clA, strValue.c_str(), static_cast<char>(c.cEscape)), 1);
        EXPECT_STREQ(clA.pszGet(), strPattern.c_str()) << strValue;
    }
    // Long patterns: room for every escape.
    CNACommand cmd(m_pError, m_pCnx);
    CXYString<char> clLong;
    ASSERT_EQ(cmd.bEscapeLIKEParamAsKXParam(&clLong, std::string(30, '%').c_str(), '!'), 1);
    std::string strLong;
    for (int i = 0; i < 30; i++)
        strLong += "!%";
    EXPECT_EQ(std::string(clLong.pszGet()), strLong);
    EXPECT_EQ(cmd.bEscapeLIKEParamAsKXParam(static_cast<CXYString<wchar_t>*>(nullptr), L"a", L'!'), 0);
    EXPECT_EQ(m_pError->dwGetErrorId(), 12u);
}

TEST_F(NACommandClause, TextCutKeepsTheParameterAtTheCut)
{
    CNACommand cmd(m_pError, m_pCnx);
    CNAConvertVariant* pCell = new CNAConvertVariant(m_pError, nullptr);
    pCell->AddRef();
    pCell->InitTypeVariantAny(TQTYPE_I4, 0);
    pCell->bSetValue(1);
    for (const wchar_t* psz : {L"a=", L" AND b=", L" AND c="}) {
        cmd.bComplete(psz, static_cast<unsigned int>(-1));
        cmd.bAddParameter(pCell, -1, 0, nullptr, nullptr, 0, CNAParameter::PARAM_IN);
    }
    // The second parameter ends the text once cut there; the third goes.
    cmd.TronqueTexte(9);
    EXPECT_STREQ(cmd.pszGetOriginalSQL(), L"a= AND b=");
    ASSERT_EQ(cmd.nGetParameterNbr(), 2);
    EXPECT_EQ(cmd.pclGetParameterNoRef(1)->nGetPosition(), 9u);
    EXPECT_EQ(cmd.nGetSQLLength(), 9u);
    pCell->nRelease();
}

TEST_F(NACommandClause, NullExclusionOfTheCondition)
{
    CTestItem* pItem = new CTestItem(NA_IT_I4, 4, 0, 0);
    CNAColumn* a = new CNAColumn(nullptr, pItem);
    CNAColumn* b = new CNAColumn(nullptr, pItem);
    a->AddRef();
    b->AddRef();
    CNACommand cmd(m_pError, m_pCnx);
    EXPECT_EQ(cmd.bColumnValuesNullSelected(a), 1);
    EXPECT_EQ(cmd.pclGetColumnNullValueExcludedNoRef(), nullptr);
    CColumnNullValueExcluded cl;
    cl.bSetColumnValuesNullSelected(a, 0);
    cl.bSetColumnValuesNullSelected(b, 0);
    EXPECT_EQ(cmd.bCopyColumnValuesNullSelected(&cl), 1);
    EXPECT_EQ(cmd.bColumnValuesNullSelected(a), 0);
    CColumnNullValueExcluded clOther;
    clOther.bSetColumnValuesNullSelected(a, 0);
    EXPECT_EQ(cmd.bCombineColumnValuesNullSelected(NAOP_OR, &clOther), 1);
    EXPECT_EQ(cmd.bColumnValuesNullSelected(a), 0);
    EXPECT_EQ(cmd.bColumnValuesNullSelected(b), 1);
    // Reset for reuse: no condition, nothing excluded.
    cmd.ResetCommand(1);
    EXPECT_EQ(cmd.bColumnValuesNullSelected(a), 1);
    CNACommand fresh(m_pError, m_pCnx);
    EXPECT_EQ(fresh.bCombineColumnValuesNullSelected(NAOP_AND, &clOther), 1);
    EXPECT_EQ(fresh.bColumnValuesNullSelected(a), 0);
    a->nRelease();
    b->nRelease();
    pItem->nRelease();
}

} // namespace
