// Connection description: the connection name from the host, names with an
// opening quote only, UNSIGNED after the type name, values written as SQL
// literals, a transaction's texts and default values of the catalog with
// real values.
#include "access/driver/NAConnectionDescription.h"

#include "access/driver/NaDriver.h"
#include "common/text/TStringConcatAW.h"
#include "host/HostConnectionDescription.h"
#include "tests/support/ValueCells.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

class CQuotedConnection : public CTestConnection {
public:
    explicit CQuotedConnection(INAConnectionDescription* piHost = nullptr)
        : CTestConnection(1252, 1252, DS_MYSQL)
    {
        m_piHost = piHost;
        if (piHost != nullptr)
            piHost->AddRef();
    }
    void SetQuotes(const wchar_t* pszOpen, const wchar_t* pszClose)
    {
        m_csOpeningQuote = pszOpen;
        m_nOpeningQuoteLength = m_csOpeningQuote.nTaille();
        m_csClosingQuote = pszClose;
        m_nClosingQuoteLength = m_csClosingQuote.nTaille();
    }
};

TEST(NAConnectionDescriptionGaps, TheConnectionNameIsTheHostsOrEmpty)
{
    CHostConnectionDescription host;
    host.SetText(CHostConnectionDescription::TXT_CONNECTIONNAME, L"C");
    CQuotedConnection* pNamed = new CQuotedConnection(&host);
    pNamed->AddRef();
    EXPECT_EQ(std::wstring(pNamed->pszGetConnectionName()), L"C");
    pNamed->nRelease();
    CHostConnectionDescription hostWithout;
    CQuotedConnection* pUnnamed = new CQuotedConnection(&hostWithout);
    pUnnamed->AddRef();
    EXPECT_EQ(std::wstring(pUnnamed->pszGetConnectionName()), L"");
    pUnnamed->nRelease();
}

TEST(NAConnectionDescriptionGaps, ANameWithAnOpeningQuoteOnlyLosesIt)
{
    CQuotedConnection* p = new CQuotedConnection;
    p->AddRef();
    p->SetQuotes(L"#", L"");
    CTString cl;
    p->UnFormatItemName(L"#abc", &cl);
    EXPECT_EQ(std::wstring(cl.pszGet()), L"abc");
    p->nRelease();
}

TEST(NAConnectionDescriptionGaps, UnsignedAfterTheTypeName)
{
    CQuotedConnection* p = new CQuotedConnection;
    p->AddRef();
    const struct {
        const wchar_t* pszText;
        eNA_ITEMTYPE eType;
    } tab[] = {
        {L"int unsigned", NA_IT_UI4},
        {L"int(10) unsigned zerofill", NA_IT_UI4},
        {L"int", NA_IT_I4},
        {L"int unsignedx", NA_IT_I4},  // not the word
    };
    for (const auto& t : tab) {
        eNA_ITEMTYPE e = NA_IT_EMPTY;
        unsigned int nSize = 0, nDigits = 0, nScale = 0;
        p->bSQLTypeNameToNAType(nullptr, &e, &nSize, &nDigits, &nScale, t.pszText, nullptr);
        EXPECT_EQ(e, t.eType) << t.pszText;
    }
    p->nRelease();
}

// Values written as MySQL literals, by their own type.
TEST(NAConnectionDescriptionGaps, ValuesWrittenAsLiterals)
{
    BindValueMachine();
    CQuotedConnection* p = new CQuotedConnection;
    p->AddRef();
    CAny null, r8, r4, text, empty, cara, carw, charA, charW, buffer, date, zeroDate;
    null.__SetType(TQTYPE_I4, 0);
    null.SetNullFlag(true);
    Set(r8, TQTYPE_R8, -1.5);
    Set(r4, TQTYPE_R4, 0.25f);
    SetA(text, "O'B\\");
    SetA(empty, "");
    cara.__SetType(TQTYPE_CARA, 0);
    cara.pclGetTraitement()->SetValue("\0", 1);
    carw.__SetType(TQTYPE_CARW, 0);
    carw.pclGetTraitement()->SetValue(L"\0", sizeof(wchar_t));
    charA.__SetType(TQTYPE_CARA, 0);
    charA.pclGetTraitement()->SetValue("x", 1);
    charW.__SetType(TQTYPE_CARW, 0);
    charW.pclGetTraitement()->SetValue(L"y", sizeof(wchar_t));
    SetA(date, "20240131");
    date.__nCastTo(TQTYPE_DATEA, nullptr, 1);
    SetA(zeroDate, "00000000");
    zeroDate.__nCastTo(TQTYPE_DATEA, nullptr, 1);
    // A buffer refers to bytes that need no terminator.
    const char abyBuffer[] = {'a', 'b', 'c', 'X'};
    buffer.__SetType(TQTYPE_BUFFER, 0);
    buffer.pclGetTraitement()->SetValue(abyBuffer, 3);
    const struct {
        const char* pszName;
        const CAny* pValue;
        const wchar_t* pszExpected;
    } tab[] = {
        {"null", &null, L"NULL"},          {"double", &r8, L"-1.5"},  {"single", &r4, L"0.25"},
        {"text", &text, L"'O''B\\\\'"}, {"empty text", &empty, L"''"}, {"NUL character", &cara, L"''"},
        {"NUL wide character", &carw, L"''"}, {"character", &charA, L"'x'"}, {"wide character", &charW, L"'y'"},
        {"buffer", &buffer, L"'abc'"},
        {"date", &date, L"'2024-01-31'"}, {"zero date", &zeroDate, L"'0000-00-00'"},
    };
    for (const auto& t : tab) {
        CTStringConcatAW out;
        EXPECT_EQ(p->bConvertValueToString(nullptr, &out, t.pValue, NA_IT_EMPTY, NA_IT_EMPTY), 1) << t.pszName;
        EXPECT_EQ(std::wstring(out.pszGetW()), t.pszExpected) << t.pszName;
    }
    p->nRelease();
}

// A value goes to the column's type unless it is bytes, or an integer too
// wide for the column, which the server then refuses itself.
TEST(NAConnectionDescriptionGaps, ValuesKeptOrCastForTheColumn)
{
    BindValueMachine();
    CQuotedConnection* p = new CQuotedConnection;
    p->AddRef();
    CAny wide, narrow, bytes;
    Set(wide, TQTYPE_I8, static_cast<std::int64_t>(5000000000LL));
    Set(narrow, TQTYPE_I8, static_cast<std::int64_t>(7));
    bytes.__SetType(TQTYPE_BIN, 0);
    bytes.pclGetTraitement()->SetValue("ab", 2);
    const struct {
        const char* pszName;
        CAny* pValue;
        eNA_ITEMTYPE eColumn;
        unsigned short nType;
    } tab[] = {
        {"wide integer", &wide, NA_IT_I4, TQTYPE_I8},
        {"narrow integer", &narrow, NA_IT_I4, TQTYPE_I4},
        {"bytes", &bytes, NA_IT_TEXTE, TQTYPE_BIN},
    };
    for (const auto& t : tab) {
        EXPECT_EQ(p->bCastCAnyIntoDBType(nullptr, t.pValue, t.eColumn, NA_IT_EMPTY, 0), 1) << t.pszName;
        EXPECT_EQ(t.pValue->nGetTypeCode(), t.nType) << t.pszName;
    }
    p->nRelease();
}

// Times keep their milliseconds, but in the dialects of kinds 7, 8 and 11
// (the first two with their escape).
TEST(NAConnectionDescriptionGaps, TimesByDialect)
{
    BindValueMachine();
    CAny time;
    SetA(time, "123456789");
    ASSERT_EQ(time.__nCastTo(TQTYPE_TIMEA, nullptr, 1), 0);
    const struct {
        int nKind;
        const wchar_t* pszExpected;
    } tab[] = {
        {CNAConnectionDescription::DS_MYSQL, L"'12:34:56.789'"},
        {7, L"{t '12:34:56'}"},
        {8, L"{t '12:34:56'}"},
        {11, L"'12:34:56'"},
    };
    for (const auto& t : tab) {
        CTestConnection* p = new CTestConnection(1252, 1252, t.nKind);
        p->AddRef();
        CTStringConcatAW out;
        EXPECT_EQ(p->bConvertValueToString(nullptr, &out, &time, NA_IT_EMPTY, NA_IT_EMPTY), 1) << t.nKind;
        EXPECT_EQ(std::wstring(out.pszGetW()), t.pszExpected) << "kind " << t.nKind;
        p->nRelease();
    }
}

// A connection that opens at once and records what it runs; it may have
// no transaction object to give.
class COpenConnection : public CQuotedConnection {
public:
    int bOpen(CNAError*) override { return 1; }
    int bIsOpen() override { return 1; }
    int bExecuteQueryNoResult(CNAError*, const wchar_t* pszQuery) override
    {
        m_astrSQL.push_back(pszQuery);
        return 1;
    }
    CNATransaction* pclAllocTransaction() override
    {
        return m_bRefuse ? nullptr : CNAConnectionDescription::pclAllocTransaction();
    }
    std::vector<std::wstring> m_astrSQL;
    bool m_bRefuse = false;
};

TEST(NAConnectionDescriptionGaps, ATransactionBeginsAndEndsOnTheServer)
{
    CNAError err;
    COpenConnection* p = new COpenConnection;
    p->AddRef();
    ASSERT_EQ(p->bTransactionBegin(&err, L"A"), 1);
    ASSERT_EQ(p->bTransactionCommit(&err, L"A"), 1);
    EXPECT_EQ(p->m_astrSQL, (std::vector<std::wstring>{L"BEGIN", L"COMMIT"}));
    p->nRelease();
    COpenConnection* pRefusing = new COpenConnection;
    pRefusing->AddRef();
    pRefusing->m_bRefuse = true;
    EXPECT_EQ(pRefusing->bTransactionBegin(&err, L"A"), 0);
    EXPECT_TRUE(pRefusing->m_astrSQL.empty());
    pRefusing->nRelease();
}

TEST(NAConnectionDescriptionGaps, DefaultValuesWithRealValues)
{
    BindValueMachine();
    CNADriver clDriver;
    CNADriver* pclBefore = CNADriver::s_pclDriver;
    CNADriver::s_pclDriver = &clDriver;
    CQuotedConnection* p = new CQuotedConnection;
    p->AddRef();
    ItemPtr pReal = Item(NA_IT_R8, 8);
    CAny v;
    ASSERT_EQ(p->bConvertStringToDefaultValue(&v, L"2.5", pReal.get(), nullptr), 1);
    ASSERT_EQ(v.nGetTypeCode(), TQTYPE_R8);
    EXPECT_EQ(Get<double>(v), 2.5);
    ItemPtr pText = Item(NA_IT_TEXTE, 20);
    const struct {
        const wchar_t* pszDefault;
        const char* pszValue;
    } tab[] = {{L"'it''s'", "it's"}, {L"'a\\'b'", "a'b"}, {L"plain", "plain"}, {L"'", "'"}};
    for (const auto& t : tab) {
        CAny w;
        ASSERT_EQ(p->bConvertStringToDefaultValue(&w, t.pszDefault, pText.get(), nullptr), 1);
        ASSERT_EQ(w.__nCastTo(TQTYPE_DSTRA, nullptr, 1), 0);
        EXPECT_EQ(Text8(w), t.pszValue);
    }
    p->nRelease();
    CNADriver::s_pclDriver = pclBefore;
}

} // namespace
