// SQL command: LIKE values that are not 8-bit text, text appended by length
// and as a number, user parameters found again, commands added to
// themselves or failing to clone, the dump's label, values written as text
// by the mask, and keywords at the very end of a text.
#include "access/sql/NACommand.h"

#include "access/driver/NaDriver.h"
#include "tests/support/ValueCells.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class NACommandGaps : public ::testing::Test {
protected:
    void SetUp() override
    {
        BindValueMachine();
        m_pCommand = new CNACommand(m_pError, m_pCnx);
        m_pCommand->AddRef();
    }
    void TearDown() override
    {
        m_pCommand->nRelease();
        for (CNAConvertVariant* p : m_tabCell) {
            EXPECT_EQ(p->nGetRef(), 1u) << "the command let go of its cells";
            p->nRelease();
        }
    }
    // A cell of a host type with a value (held by the test too).
    CNAConvertVariant* Cell(unsigned short nType, const CAny& v)
    {
        CNAConvertVariant* p = new CNAConvertVariant(m_pError, nullptr);
        p->AddRef();
        p->InitTypeVariantAny(nType, 0);
        EXPECT_EQ(p->bSetValue(&v), 1);
        m_tabCell.push_back(p);
        return p;
    }
    void Text(const wchar_t* psz) { m_pCommand->bComplete(psz, static_cast<unsigned int>(-1)); }
    void Param(CNAConvertVariant* pCell, unsigned int nFlags, const wchar_t* pszName = nullptr)
    {
        ASSERT_EQ(m_pCommand->bAddParameter(pCell, -1, nFlags, nullptr, pszName, 0, CNAParameter::PARAM_IN), 1);
    }
    std::wstring Formated()
    {
        const wchar_t* psz = m_pCommand->pszGetFormatedSQLW(CNACommand::PTC_ALL);
        return psz != nullptr ? psz : L"<null>";
    }

    SHeld<CNAError> m_pError{new CNAError};
    SHeld<CTestConnection> m_pCnx{new CTestConnection(1252, 1252, CNAConnectionDescription::DS_MYSQL)};
    CNACommand* m_pCommand = nullptr;
    std::vector<CNAConvertVariant*> m_tabCell;
};

// A LIKE value of another type is written as its text, escaped and quoted
// all the same; wide values of each wide type alike. MySQL always gets its
// escape character named: under NO_BACKSLASH_ESCAPES LIKE has none.
TEST_F(NACommandGaps, LikeValuesOfEveryType)
{
    CAny i, w, a, b;
    Set(i, TQTYPE_I4, 42);
    SetW(w, L"it's_%");
    SetA(a, "it's");
    SetA(b, "a[b");
    const struct {
        unsigned short nCellType;
        const CAny* pValue;
        const wchar_t* pszExpected;
    } tab[] = {
        {TQTYPE_I4, &i, L"a LIKE '42' ESCAPE '!'"},
        {TQTYPE_DSTRW, &w, L"a LIKE 'it''s_%' ESCAPE '!'"},
        {TQTYPE_PSTRW, &w, L"a LIKE 'it''s_%' ESCAPE '!'"},
        {TQTYPE_CARW, &w, L"a LIKE 'i' ESCAPE '!'"},  // one character
        {TQTYPE_DSTRA, &a, L"a LIKE 'it''s' ESCAPE '!'"},
        {TQTYPE_DSTRA, &b, L"a LIKE 'a[b' ESCAPE '!'"},  // brackets are no pattern here
    };
    for (const auto& t : tab) {
        m_pCommand->ResetCommand(0);
        m_pCommand->ResetFormatedSQL();
        Text(L"a LIKE ");
        Param(Cell(t.nCellType, *t.pValue), CNAParameter::PF_LIKE);
        EXPECT_EQ(Formated(), t.pszExpected) << "cell type " << t.nCellType;
    }
}

TEST_F(NACommandGaps, TextByLengthAndNumbers)
{
    EXPECT_EQ(m_pCommand->bComplete(L"SELECT abcdef", 7), 1);
    EXPECT_EQ(m_pCommand->bComplete(L"ignored", 0), 1);
    EXPECT_EQ(m_pCommand->bComplete(nullptr, 3), 1);
    EXPECT_EQ(m_pCommand->bCompleteWithNumber(-42), 1);
    Text(L",");
    EXPECT_EQ(m_pCommand->bCompleteWithNumber(7), 1);
    EXPECT_EQ(std::wstring(m_pCommand->pszGetOriginalSQL()), L"SELECT -42,7");
}

// A user parameter is found by its position; others are not.
TEST_F(NACommandGaps, UserParametersByPosition)
{
    CAny v;
    Set(v, TQTYPE_I4, 1);
    Text(L"a=");
    Param(Cell(TQTYPE_I4, v), 0);
    Text(L" AND b=");
    Param(Cell(TQTYPE_I4, v), CNAParameter::PF_USER, L"pb");
    Text(L" AND c=");
    Param(Cell(TQTYPE_I4, v), CNAParameter::PF_USER, L"pc");
    EXPECT_EQ(m_pCommand->nGetUserParamIndice(m_pCommand->pclGetParameterNoRef(2)), 2);
    EXPECT_EQ(m_pCommand->nGetUserParamIndice(m_pCommand->pclGetParameterNoRef(1)), 1);
    EXPECT_EQ(m_pCommand->nGetUserParamIndice(m_pCommand->pclGetParameterNoRef(0)), -1);
    EXPECT_EQ(m_pCommand->nGetUserParamIndice(nullptr), -1);
    EXPECT_EQ(m_pCommand->pclGetParameterByNameNoRef(L"PC"), m_pCommand->pclGetParameterNoRef(2));
    EXPECT_EQ(m_pCommand->pclGetParameterByNameNoRef(L"none"), nullptr);
}

// Adding nothing succeeds and adds nothing; a command added to itself is refused.
TEST_F(NACommandGaps, AddingNothingOrItself)
{
    Text(L"SELECT 1");
    EXPECT_EQ(m_pCommand->bAdd(nullptr, CNACommand::ADDMODE_SHARE), 1);
    EXPECT_EQ(m_pCommand->bAdd(m_pCommand, CNACommand::ADDMODE_SHARE), 0);
    EXPECT_EQ(std::wstring(m_pCommand->pszGetOriginalSQL()), L"SELECT 1");
}

// A value needs its text when its class is inside the mask, or when it is
// an empty text; never with no mask.
// A driver that has no parameter to give.
class CNoParameterDriver : public CNADriver {
public:
    CNAParameter* pclAllocParameter(CNAConvertVariant*, unsigned int, unsigned int, const wchar_t*) override
    {
        return nullptr;
    }
};

// A parameter that cannot be cloned fails the adding.
TEST_F(NACommandGaps, AddingFailsWhenAParameterCannotBeCloned)
{
    CAny v;
    Set(v, TQTYPE_I4, 1);
    SHeld<CNACommand> other(new CNACommand(m_pError, m_pCnx));
    other->bComplete(L"x=", static_cast<unsigned int>(-1));
    ASSERT_EQ(other->bAddParameter(Cell(TQTYPE_I4, v), -1, 0, nullptr, nullptr, 0, CNAParameter::PARAM_IN), 1);
    CNoParameterDriver clDriver;
    CNADriver* pclBefore = CNADriver::s_pclDriver;
    CNADriver::s_pclDriver = &clDriver;
    EXPECT_EQ(m_pCommand->bAdd(other, CNACommand::ADDMODE_CLONE), 0);
    CNADriver::s_pclDriver = pclBefore;
    EXPECT_EQ(m_pCommand->nGetParameterNbr(), 0);
}

// The dump loads the driver's labels when they are not loaded yet and
// names the text and each parameter's line with them.
TEST_F(NACommandGaps, TheDumpLabelsTheText)
{
    CNADriver clLoaded;
    clLoaded.InitQueryDumpRessources();
    auto Label = [&clLoaded](int n) { return std::wstring(clLoaded.pszGetLabel(n)); };
    ASSERT_FALSE(Label(1).empty());
    ASSERT_FALSE(Label(4).empty());
    CNADriver clDriver; // its labels not loaded
    CNADriver* pclBefore = CNADriver::s_pclDriver;
    CNADriver::s_pclDriver = &clDriver;
    Text(L"SELECT ");
    CAny v;
    Set(v, TQTYPE_I4, 3);
    Param(Cell(TQTYPE_I4, v), 0);
    const std::wstring strDump = m_pCommand->pszGetCommandDump();
    CNADriver::s_pclDriver = pclBefore;
    const std::wstring strExpected = Label(1) + L"SELECT \r\n" + Label(2) + L"=1\r\n" + Label(3) + L" 0 :\t" + Label(4) +
                                     std::to_wstring(TQTYPE_I4) + L" = <3>\r\n";
    EXPECT_EQ(strDump, strExpected) << std::string(strDump.begin(), strDump.end());
}

TEST_F(NACommandGaps, ValuesWrittenAsTextByTheMask)
{
    CAny i, a, empty, bin;
    Set(i, TQTYPE_I4, 3);
    SetA(a, "abc");
    SetA(empty, "");
    bin.__SetType(TQTYPE_BIN, 0);
    const struct {
        unsigned short nType;
        const CAny* pValue;
        CNACommand::ePARAMTYPECONV eMask;
        int bExpected;
    } tab[] = {
        {TQTYPE_I4, &i, CNACommand::PTC_INTEGER, 1},
        {TQTYPE_I4, &i, CNACommand::PTC_TEXT, 0},
        {TQTYPE_I4, &i, CNACommand::PTC_ALL, 1},
        {TQTYPE_DSTRA, &a, CNACommand::PTC_INTEGER, 0},
        {TQTYPE_DSTRA, &empty, CNACommand::PTC_INTEGER, 1},
        {TQTYPE_DSTRA, &empty, CNACommand::PTC_NONE, 0},
        {TQTYPE_BIN, &bin, CNACommand::PTC_TEXT, 0},
    };
    for (const auto& t : tab) {
        CNAConvertVariant* p = Cell(t.nType, *t.pValue);
        EXPECT_EQ(CNACommand::_bNeedParameterConversionToString(p, t.eMask), t.bExpected)
            << "type " << t.nType << ", size " << p->nGetUtilDataSize() << ", mask " << t.eMask;
    }
    EXPECT_EQ(CNACommand::_bNeedParameterConversionToString(static_cast<const CNAVariant*>(nullptr),
                                                            CNACommand::PTC_ALL), 0);
}

// Without a connection no parameter can be written: no formatted SQL.
TEST_F(NACommandGaps, NoConnectionNoFormatedSQL)
{
    CAny v;
    Set(v, TQTYPE_I4, 1);
    CNACommand* p = new CNACommand(m_pError, nullptr);
    p->AddRef();
    p->bComplete(L"a=", static_cast<unsigned int>(-1));
    ASSERT_EQ(p->bAddParameter(Cell(TQTYPE_I4, v), -1, 0, nullptr, nullptr, 0, CNAParameter::PARAM_IN), 1);
    EXPECT_EQ(p->pszGetFormatedSQLW(CNACommand::PTC_ALL), nullptr);
    p->nRelease();
}

TEST(NACommandGapsStatic, KeywordsAtTheVeryEnd)
{
    const struct {
        const wchar_t* pszText;
        int nPos;
    } tab[] = {
        {L"SELECT a FROM t LIMIT", 16},
        {L"SELECT a FROM t xLIMIT", -1},
        {L"SELECT a FROM t \"LIMIT\"", -1},  // a quoted name
        {L"SELECT a FROM \"t\" LIMIT", 18},
    };
    for (const auto& t : tab)
        EXPECT_EQ(CNACommand::s_nGetClauseStart(nullptr, t.pszText, L"LIMIT", -1), t.nPos) << t.pszText;
    EXPECT_EQ(CNACommand::s_bQueryResultsetLimited(nullptr, L"SELECT a FROM t LIMIT"), 1);
    EXPECT_EQ(CNACommand::s_nGetClauseStart(nullptr, L"a  b", L"", -1), -1) << "no keyword";
    // The scan goes backwards from the start given, down to position 1.
    for (const auto& t : {std::make_pair(0, -1), std::make_pair(15, -1), std::make_pair(16, 16), std::make_pair(99, 16)})
        EXPECT_EQ(CNACommand::s_nGetClauseStart(nullptr, L"SELECT a FROM t LIMIT 5", L"LIMIT", t.first), t.second)
            << "from " << t.first;
}

} // namespace
