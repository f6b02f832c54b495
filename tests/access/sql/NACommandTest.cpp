// SQL command: text and parameter operations, the formatted SQL with its
// literals and row limits, LIKE escapes, the scanners and the dump.
#include "access/sql/NACommand.h"

#include "access/driver/NaDriver.h"
#include "common/platform/MyModuleInfo.h"
#include "tests/support/FailingHeap.h"
#include "tests/support/ProcessLocale.h"
#include "tests/support/TempDir.h"
#include "tests/support/ValueCells.h"

#include <gtest/gtest.h>

#include <fstream>
#include <new>
#include <string>

namespace {

std::wstring W(const wchar_t* psz) { return psz != nullptr ? psz : L"<null>"; }

// A connection of a kind, a server major version and a record-lock text.
class CDialect : public CTestConnection {
public:
    CDialect(int nKind, int nMajor, const wchar_t* pszRecordLock = L"") : CTestConnection(1252, 1252, nKind)
    {
        m_nServerVersionMajor = nMajor;
        m_csRecordLock.Set(pszRecordLock);
    }
};

// A MySQL-kind connection quoting names in brackets.
class CBracketed : public CTestConnection {
public:
    CBracketed() : CTestConnection(1252, 1252, DS_MYSQL)
    {
        m_csOpeningQuote.Set(L"[");
        m_csClosingQuote.Set(L"]");
        m_nOpeningQuoteLength = 1;
        m_nClosingQuoteLength = 1;
    }
};

// A MySQL-kind connection whose session reads backslashes in literals as
// escapes or, under NO_BACKSLASH_ESCAPES, as themselves.
class CSessionMode : public CTestConnection {
public:
    explicit CSessionMode(int bBackslash) : CTestConnection(1252, 1252, DS_MYSQL), m_bBackslash(bBackslash) {}
    int bBackslashEscapes() override { return m_bBackslash; }
    int m_bBackslash;
};

// A MySQL-kind connection whose session reads MINUS as a set operator or
// not, counting the questions.
class COracleMode : public CTestConnection {
public:
    explicit COracleMode(int bMinus) : CTestConnection(1252, 1252, DS_MYSQL), m_bMinus(bMinus) {}
    int bMinusSetOperator() override
    {
        m_nAsked++;
        return m_bMinus;
    }
    int m_bMinus;
    int m_nAsked = 0;
};

class CCountedError : public CNAError {
public:
    unsigned int nRefs() const { return m_nRefCount; }
};

class NACommandFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        BindValueMachine();
        m_pError = new CCountedError;
        m_pError->AddRef();
    }
    void TearDown() override
    {
        for (CNAConvertVariant* p : m_tabCell) {
            // The command let go of every cell it held.
            EXPECT_EQ(p->nGetRef(), 1u);
            p->nRelease();
        }
        for (CTestConnection* p : m_tabCnx)
            p->nRelease();
        EXPECT_EQ(m_pError->nRefs(), 1u);
        m_pError->nRelease();
    }
    CTestConnection* Cnx(int nKind, int nMajor = 10, const wchar_t* pszRecordLock = L"")
    {
        CTestConnection* p = new CDialect(nKind, nMajor, pszRecordLock);
        p->AddRef();
        m_tabCnx.push_back(p);
        return p;
    }
    CTestConnection* Session(int bBackslash)
    {
        CTestConnection* p = new CSessionMode(bBackslash);
        p->AddRef();
        m_tabCnx.push_back(p);
        return p;
    }
    // A cell of a host type (held by the test too).
    CNAConvertVariant* Cell(unsigned short nType)
    {
        CNAConvertVariant* p = new CNAConvertVariant(m_pError, nullptr);
        p->AddRef();
        p->InitTypeVariantAny(nType, 0);
        m_tabCell.push_back(p);
        return p;
    }
    CNAConvertVariant* Int(int n)
    {
        CNAConvertVariant* p = Cell(TQTYPE_I4);
        EXPECT_EQ(p->bSetValue(n), 1);
        return p;
    }
    CNAConvertVariant* Text(const char* psz)
    {
        CNAConvertVariant* p = Cell(TQTYPE_DSTRA);
        CAny v;
        SetA(v, psz);
        EXPECT_EQ(p->bSetValue(&v), 1);
        return p;
    }
    CCountedError* m_pError = nullptr;
    std::vector<CTestConnection*> m_tabCnx;
    std::vector<CNAConvertVariant*> m_tabCell;
};

struct CCommand {
    CNACommand* p;
    CCommand(CNAError* e, CNAConnectionDescription* c) : p(new CNACommand(e, c)) { p->AddRef(); }
    ~CCommand() { p->nRelease(); }
    CNACommand* operator->() { return p; }
    void Text(const wchar_t* psz) { p->bComplete(psz, static_cast<unsigned int>(-1)); }
    void Param(CNAConvertVariant* pCell, unsigned int nFlags = 0, wchar_t cEscape = 0)
    {
        ASSERT_EQ(p->bAddParameter(pCell, -1, nFlags, nullptr, nullptr, cEscape, CNAParameter::PARAM_IN), 1);
    }
    std::wstring Formated() { return W(p->pszGetFormatedSQLW(CNACommand::PTC_ALL)); }
};

TEST_F(NACommandFixture, ParametersWrittenAsLiteralsWithOneSpace)
{
    CCommand c(m_pError, Cnx(CNAConnectionDescription::DS_MYSQL));
    c.Text(L"SELECT a FROM t WHERE a=");
    c.Param(Int(5));
    c.Text(L"AND b=");
    c.Param(Text("O'Br\\n"));
    c.Text(L" ORDER BY a");
    EXPECT_EQ(c->nGetParameterNbr(), 2);
    EXPECT_EQ(c->pclGetParameterNoRef(0)->nGetPosition(), 24u);
    EXPECT_EQ(c.Formated(), L"SELECT a FROM t WHERE a=5 AND b='O''Br\\\\n' ORDER BY a");
    // Kept until reset.
    EXPECT_EQ(c.Formated(), L"SELECT a FROM t WHERE a=5 AND b='O''Br\\\\n' ORDER BY a");
    EXPECT_STREQ(c->pszGetFormatedSQLA(CNACommand::PTC_ALL), "SELECT a FROM t WHERE a=5 AND b='O''Br\\\\n' ORDER BY a");
    // Without parameters the text is the formatted SQL.
    CCommand plain(m_pError, Cnx(CNAConnectionDescription::DS_MYSQL));
    plain.Text(L"UPDATE t SET a=1");
    EXPECT_EQ(plain.Formated(), L"UPDATE t SET a=1");
}

TEST_F(NACommandFixture, RowLimitsByDialect)
{
    struct Case {
        int nKind;
        const wchar_t* pszText;
        long long llLimit;
        long long llOffset;
        const wchar_t* pszFormated;
    } cases[] = {
        {5, L"SELECT TOP 10 a FROM t", -1, -1, L"SELECT  a FROM t LIMIT 10"},
        {5, L"SELECT a FROM t", 5, 20, L"SELECT a FROM t LIMIT 20, 5"},
        {5, L"SELECT a FROM t", 5000000000LL, -1, L"SELECT a FROM t LIMIT 5000000000"},
        {5, L"SELECT a FROM t", 6000000000LL, 7000000000LL, L"SELECT a FROM t LIMIT 7000000000, 6000000000"},
        {5, L"SELECT a FROM t LIMIT 0", 5, -1, L"SELECT a FROM t LIMIT 0"},
        {5, L"SELECT a FROM t", -1, 20, L"SELECT a FROM t"},
        {5, L"select top 3 a from t", -1, -1, L"select  a from t LIMIT 3"},
        {1, L"SELECT a FROM t LIMIT 5", -1, -1, L"SELECT TOP 5  a FROM t"},
        {1, L"SELECT a FROM t LIMIT 5, 10", -1, -1, L"SELECT a FROM t LIMIT 5, 10"},
        {1, L"SELECT a FROM t LIMIT 5, 010", -1, -1, L"SELECT a FROM t LIMIT 5, 010"},
        {1, L"SELECT a FROM t LIMIT 5, 9", -1, -1, L"SELECT a FROM t LIMIT 5, 9"},
        {1, L"SELECT a FROM t LIMIT 5, 0", -1, -1, L"SELECT TOP 5  a FROM t"},
        {1, L"SELECT a FROM t WHERE b='LIMIT 5'", -1, -1, L"SELECT a FROM t WHERE b='LIMIT 5'"},
        {0, L"SELECT TOP 10 a FROM t", 5, -1, L"SELECT TOP 10 a FROM t"},
        // TOP only as a whole word followed by a number.
        {5, L"SELECT TOP10 FROM t", -1, -1, L"SELECT TOP10 FROM t"},
        {5, L"SELECT TOP 10a FROM t", -1, -1, L"SELECT TOP 10a FROM t"},
        // SELECT only as a whole word.
        {5, L"SELECTTOP 5, a FROM t", 4, -1, L"SELECTTOP 5, a FROM t"},
        {5, L"SELECT_x FROM t", 4, -1, L"SELECT_x FROM t"},
        {1, L"SELECTED a FROM t LIMIT 5", -1, -1, L"SELECTED a FROM t LIMIT 5"},
        {5, L"SELECT*FROM t", 4, -1, L"SELECT*FROM t LIMIT 4"},
        {5, L"SELECT", 4, -1, L"SELECT LIMIT 4"},
        // A limit ends the statement: trailing comments and a final ";" go.
        {5, L"SELECT a FROM t -- all", 5, -1, L"SELECT a FROM t LIMIT 5"},
        {5, L"SELECT a FROM t # all", 5, -1, L"SELECT a FROM t LIMIT 5"},
        {5, L"SELECT a FROM t /* all */", 5, -1, L"SELECT a FROM t LIMIT 5"},
        {5, L"SELECT '-- x', `#` FROM t --", 5, -1, L"SELECT '-- x', `#` FROM t LIMIT 5"},
        {5, L"SELECT a FROM t ; ", 5, 3, L"SELECT a FROM t LIMIT 3, 5"},
        {5, L"SELECT a FROM t LIMIT 0; # c", 5, -1, L"SELECT a FROM t LIMIT 0; # c"},
        {5, L"SELECT a FROM t;", 0, -1, L"SELECT a FROM t;"},
        {5, L"SELECT a FROM t /* all", 5, -1, L"SELECT a FROM t /* all LIMIT 5"},
        {5, L"SELECT '-- x', \"# y\", `#` FROM t", 5, -1, L"SELECT '-- x', \"# y\", `#` FROM t LIMIT 5"},
        {5, L"SELECT a--b FROM t", 5, -1, L"SELECT a--b FROM t LIMIT 5"},
        // Never joined to the text's last minus signs into a comment.
        {5, L"SELECT a FROM t --#", 5, -1, L"SELECT a FROM t --LIMIT 5"},
        {5, L"SELECT a FROM t WHERE b = 1 - ", 5, -1, L"SELECT a FROM t WHERE b = 1 -LIMIT 5"},
        {5, L"SELECT 5\f;\v", 5, -1, L"SELECT 5 LIMIT 5"},
        {5, L"SELECT 1 /*! +1 */*2 FROM t -- note", 5, -1, L"SELECT 1 /*! +1 */*2 FROM t LIMIT 5"},
    };
    for (const Case& k : cases) {
        CCommand c(m_pError, Cnx(k.nKind));
        c.Text(k.pszText);
        c->SetRowLimit(k.llLimit, k.llOffset);
        EXPECT_EQ(c.Formated(), k.pszFormated) << k.pszText;
    }
    // A verbatim command is not rewritten.
    CCommand v(m_pError, Cnx(5));
    v->SetVerbatim(1);
    v.Text(L"SELECT TOP 10 a FROM t");
    EXPECT_EQ(v.Formated(), L"SELECT TOP 10 a FROM t");
    // Text inserted before the first build is in it once.
    CCommand vi(m_pError, Cnx(5));
    vi->SetVerbatim(1);
    vi.Text(L"a");
    vi->Insert(0, L"SELECT ");
    EXPECT_EQ(vi.Formated(), L"SELECT a");
    // Text appended to a built verbatim command reaches its formatted SQL.
    v.Text(L" WHERE 1");
    EXPECT_EQ(v.Formated(), L"SELECT TOP 10 a FROM t WHERE 1");
    // So does text inserted into it.
    v->Insert(7, L"DISTINCT ");
    EXPECT_EQ(W(v->pszGetOriginalSQL()), L"SELECT DISTINCT TOP 10 a FROM t WHERE 1");
    EXPECT_EQ(v.Formated(), L"SELECT DISTINCT TOP 10 a FROM t WHERE 1");
}

TEST_F(NACommandFixture, NamesInTheConnectionsQuotes)
{
    CBracketed* pCnx = new CBracketed;
    pCnx->AddRef();
    m_tabCnx.push_back(pCnx);
    const struct { const wchar_t* pszText; int nPos; } clauses[] = {
        {L"SELECT [x LIMIT 1] FROM t", -1}, {L"SELECT [a]] LIMIT 1] FROM t", -1}, // a doubled closing quote
        {L"SELECT [a] FROM t LIMIT 1", 18},
    };
    for (const auto& k : clauses)
        EXPECT_EQ(CNACommand::s_nGetClauseStart(pCnx, k.pszText, L"LIMIT", -1), k.nPos) << k.pszText;
    // A comment mark inside a quoted name starts no comment before the limit.
    CCommand c(m_pError, pCnx);
    c.Text(L"SELECT [a -- b] FROM t");
    c->SetRowLimit(5, -1);
    EXPECT_EQ(c.Formated(), L"SELECT [a -- b] FROM t LIMIT 5");
}

TEST_F(NACommandFixture, LiteralsNeverGlueToAWord)
{
    struct Case { const wchar_t* pszBefore; bool bText; const wchar_t* pszFormated; } cases[] = {
        {L"a=x", true, L"a=x 'A'"},       // not the hexadecimal x'41'
        {L"LIMIT", false, L"LIMIT 5"}, {L"a=b_", false, L"a=b_ 5"}, {L"a='s'", false, L"a='s' 5"},
        {L"a=`c`", true, L"a=`c` 'A'"}, {L"a=(", true, L"a=('A'"}, {L"a=", false, L"a=5"},
    };
    for (const Case& k : cases) {
        CCommand c(m_pError, Cnx(CNAConnectionDescription::DS_MYSQL));
        c.Text(k.pszBefore);
        c.Param(k.bText ? Text("A") : Int(5));
        EXPECT_EQ(c.Formated(), k.pszFormated) << W(k.pszBefore);
    }
}

// Wherever two pieces of a command meet, text or a value written into it,
// a "-" and a "-", or a "/" and a "*", are kept apart by a blank; nothing
// else changes.
TEST_F(NACommandFixture, PiecesNeverJoinIntoAComment)
{
    struct Case { const wchar_t* pszBefore; const wchar_t* pszPiece; int nValue; const wchar_t* pszFormated; } cases[] = {
        {L"a -", L"-1", 0, L"a - -1"}, {L"a /", L"*b", 0, L"a / *b"}, {L"a-", L"- -", 0, L"a- - -"},
        {L"a -", L" -1", 0, L"a - -1"}, {L"a -", L"b", 0, L"a -b"}, {L"a *", L"/b", 0, L"a */b"},
        {L"a /", L"/b", 0, L"a //b"}, {L"a -", L"*b", 0, L"a -*b"}, {L"a /", L"-b", 0, L"a /-b"},
        {L"a -", nullptr, -1, L"a - -1"}, {L"a-", nullptr, 1, L"a-1"}, {L"a /", nullptr, -1, L"a /-1"},
    };
    for (const Case& k : cases) {
        CCommand c(m_pError, Cnx(CNAConnectionDescription::DS_MYSQL));
        c.Text(k.pszBefore);
        if (k.pszPiece != nullptr)
            c.Text(k.pszPiece);
        else
            c.Param(Int(k.nValue));
        EXPECT_EQ(c.Formated(), k.pszFormated) << W(k.pszBefore);
    }
    // A piece of no characters adds nothing, not even a blank.
    CTStringConcatAW cl;
    cl.Add(L"a -", -1, 0);
    CNACommand::s_AddSQL(cl, L"-1", 0);
    EXPECT_EQ(W(cl.pszGetW()), L"a -");
    // A number, and text after the formatted SQL of a verbatim command.
    CCommand n(m_pError, Cnx(CNAConnectionDescription::DS_MYSQL));
    n.Text(L"a -");
    n->bCompleteWithNumber(-2);
    EXPECT_EQ(W(n->pszGetOriginalSQL()), L"a - -2");
    CCommand v(m_pError, Cnx(CNAConnectionDescription::DS_MYSQL));
    v->SetVerbatim(1);
    v.Text(L"SELECT a -");
    EXPECT_EQ(v.Formated(), L"SELECT a -");
    v.Text(L"-1");
    EXPECT_EQ(v.Formated(), L"SELECT a - -1");
}

TEST_F(NACommandFixture, LikeValuesAndTheirEscapeClause)
{
    struct Case { const char* pszValue; wchar_t cEscape; const wchar_t* pszFormated; } cases[] = {
        // This kind always names its escape, never a backslash nor a quote.
        {"a\\b%", 0, L"a LIKE 'a\\\\b%' ESCAPE '!'"}, {"a\\b%", L'\\', L"a LIKE 'a\\\\b%' ESCAPE '!'"},
        {"a'b!", L'\'', L"a LIKE 'a''b!!' ESCAPE '!'"}, {"50!%%", L'!', L"a LIKE '50!%%' ESCAPE '!'"},
        {"a!b", L'!', L"a LIKE 'a!!b' ESCAPE '!'"}, // a lone escape doubled
        {"O''Neil_", 0, L"a LIKE 'O''Neil_' ESCAPE '!'"}, // quotes purged, then written again
        {"plain", L'#', L"a LIKE 'plain' ESCAPE '#'"},
    };
    for (const Case& k : cases) {
        CCommand c(m_pError, Cnx(CNAConnectionDescription::DS_MYSQL));
        c.Text(L"a LIKE ");
        c.Param(Text(k.pszValue), CNAParameter::PF_LIKE, k.cEscape);
        EXPECT_EQ(c.Formated(), k.pszFormated) << k.pszValue;
    }
    // A number is matched as its text.
    CCommand n(m_pError, Cnx(CNAConnectionDescription::DS_MYSQL));
    n.Text(L"a LIKE ");
    n.Param(Int(5), CNAParameter::PF_LIKE);
    EXPECT_EQ(n.Formated(), L"a LIKE '5' ESCAPE '!'");
    // A host ESCAPE clause after the parameter is left to the host text.
    CCommand h(m_pError, Cnx(CNAConnectionDescription::DS_MYSQL));
    h.Text(L"a LIKE ");
    h.Param(Text("x!%"), CNAParameter::PF_LIKE, L'!');
    h.Text(L" ESCAPE '!'");
    EXPECT_EQ(h.Formated(), L"a LIKE 'x!%' ESCAPE '!'");
    // Kind 3 passes over the host's clause and writes none.
    CCommand h3(m_pError, Cnx(3));
    h3.Text(L"a LIKE ");
    h3.Param(Text("x"), CNAParameter::PF_LIKE, L'!');
    h3.Text(L" ESCAPE '!'");
    EXPECT_EQ(h3.Formated(), L"a LIKE 'x'");
}

TEST_F(NACommandFixture, EscapeClauseOfOtherKinds)
{
    struct Case {
        int nKind;
        int nMajor;
        const char* pszValue;
        wchar_t cEscape;
        const wchar_t* pszClause; // null: none
    } cases[] = {
        // A backslash doubled for kind 12, and for kind 6 before version 9.
        {6, 8, "a\\b", 0, L" ESCAPE '\\\\'"}, {6, 9, "a\\b", 0, L" ESCAPE '\\'"},
        {12, 10, "a\\b", 0, L" ESCAPE '\\\\'"}, {0, 8, "a\\b", 0, L" ESCAPE '\\'"},
        {0, 10, "a!b", L'!', L" ESCAPE '!'"},
        // Only when the value holds the escape character.
        {0, 10, "ab", L'!', nullptr}, {6, 8, "ab", 0, nullptr},
    };
    for (const Case& k : cases) {
        CCommand c(m_pError, Cnx(k.nKind, k.nMajor));
        c.Text(L"a LIKE ");
        c.Param(Text(k.pszValue), CNAParameter::PF_LIKE, k.cEscape);
        const std::wstring str = c.Formated();
        const size_t nEscape = str.find(L" ESCAPE ");
        if (k.pszClause == nullptr)
            EXPECT_EQ(nEscape, std::wstring::npos) << str;
        else
            EXPECT_TRUE(nEscape != std::wstring::npos && str.substr(nEscape) == k.pszClause) << str;
    }
}

TEST_F(NACommandFixture, TextOperationsMoveAndDropParameters)
{
    CCommand c(m_pError, Cnx(5));
    c.Text(L"a=");
    c.Param(Int(1));
    c.Text(L" AND b=");
    c.Param(Int(2));
    c->Insert(0, L"WHERE ");
    EXPECT_EQ(c->pclGetParameterNoRef(0)->nGetPosition(), 8u);
    EXPECT_EQ(c->pclGetParameterNoRef(1)->nGetPosition(), 15u);
    EXPECT_EQ(c.Formated(), L"WHERE a=1 AND b=2");
    // Replacing " AND " by " OR ": the later parameter moves by -1.
    c->Replace(8, 5, L" OR ");
    EXPECT_EQ(W(c->pszGetOriginalSQL()), L"WHERE a= OR b=");
    EXPECT_EQ(c->pclGetParameterNoRef(1)->nGetPosition(), 14u);
    EXPECT_EQ(c.Formated(), L"WHERE a=1 OR b=2");
    // A parameter inside a replaced span goes with it.
    c->Replace(7, 3, L"");
    EXPECT_EQ(c->nGetParameterNbr(), 1);
    c->Tronque(0);
    EXPECT_EQ(c->nGetParameterNbr(), 0);
    EXPECT_EQ(c->bIsEmpty(), 1);
}

TEST_F(NACommandFixture, AddingCommandsSharesOrClonesParameters)
{
    CCommand a(m_pError, Cnx(5));
    CCommand b(m_pError, Cnx(5));
    b.Text(L"x=");
    b.Param(Int(3));
    b->AddDefine(L"x", Int(9));
    CNAParameter* pOriginal = b->pclGetParameterNoRef(0);
    a.Text(L"WHERE ");
    ASSERT_EQ(a->bAdd(b.p, CNACommand::ADDMODE_SHARE), 1);
    EXPECT_EQ(a->pclGetParameterNoRef(0), pOriginal);
    ASSERT_EQ(a->nGetDefineNbr(), 1); // the output definitions come along
    EXPECT_EQ(a->pclGetDefineNoRef(0), b->pclGetDefineNoRef(0));
    EXPECT_EQ(pOriginal->nGetPosition(), 8u); // moved in place
    EXPECT_EQ(a.Formated(), L"WHERE x=3");
    CCommand d(m_pError, Cnx(5));
    d.Text(L"y=");
    d.Param(Int(4));
    CCommand e(m_pError, Cnx(5));
    e.Text(L"AND ");
    ASSERT_EQ(e->bAdd(d.p, CNACommand::ADDMODE_CLONE), 1);
    EXPECT_NE(e->pclGetParameterNoRef(0), d->pclGetParameterNoRef(0));
    EXPECT_EQ(e->pclGetParameterNoRef(0)->nGetPosition(), 6u);
    EXPECT_EQ(d->pclGetParameterNoRef(0)->nGetPosition(), 2u);
    EXPECT_EQ(e.Formated(), L"AND y=4");
}

TEST_F(NACommandFixture, TextPiecesSelfAddAndUserParameters)
{
    CCommand c(m_pError, Cnx(5));
    EXPECT_EQ(c->bComplete(L"SELECT abc", 8), 1);
    EXPECT_EQ(c->bComplete(nullptr, 3), 1);
    EXPECT_EQ(c->bComplete(L"zz", 0), 1);
    EXPECT_EQ(c->bCompleteWithNumber(-42), 1);
    EXPECT_EQ(W(c->pszGetOriginalSQL()), L"SELECT a-42");
    CCommand r(m_pError, Cnx(5));
    r.Text(L"INSERT INTO t VALUES (1)");
    EXPECT_EQ(r->bAddReturning(L"id"), 1);
    EXPECT_EQ(W(r->pszGetOriginalSQL()), L"INSERT INTO t VALUES (1) RETURNING id");
    // The record-lock text of the connection, when it has one.
    for (const wchar_t* pszLock : {L"", L"FOR UPDATE"}) {
        CCommand k(m_pError, Cnx(5, 10, pszLock));
        k.Text(L"SELECT a FROM t");
        EXPECT_EQ(k->bAddRecordLock(), 1);
        EXPECT_EQ(W(k->pszGetOriginalSQL()), pszLock[0] != 0 ? L"SELECT a FROM t FOR UPDATE" : L"SELECT a FROM t");
    }
    // Columns added to a select list, a comma between them.
    CCommand s(m_pError, Cnx(5));
    s.Text(L"SELECT ");
    EXPECT_EQ(s->bAddSelectAdditionnalColumn(L"a", Int(1)), 1);
    EXPECT_EQ(s->bAddSelectAdditionnalColumn(L"COUNT(*)", Int(2)), 1);
    EXPECT_EQ(W(s->pszGetOriginalSQL()), L"SELECT a,COUNT(*)");
    EXPECT_EQ(s->nGetDefineNbr(), 2);
    // Without a driver no value cell of a host type can be made.
    ASSERT_EQ(CNADriver::s_pclDriver, nullptr);
    EXPECT_EQ(s->bAddSelectAdditionnalColumn(L"b", static_cast<unsigned short>(TQTYPE_I4)), 0);
    EXPECT_EQ(s->nGetDefineNbr(), 2);
    // Nothing to add succeeds; the command itself is refused and unchanged.
    EXPECT_EQ(c->bAdd(nullptr, CNACommand::ADDMODE_SHARE), 1);
    EXPECT_EQ(c->bAdd(c.p, CNACommand::ADDMODE_SHARE), 0);
    EXPECT_EQ(W(c->pszGetOriginalSQL()), L"SELECT a-42");
    c.Text(L" WHERE a=");
    c.Param(Int(1));
    c.Text(L" AND b=");
    c.Param(Int(2), CNAParameter::PF_USER);
    EXPECT_EQ(c->nGetUserParamIndice(c->pclGetParameterNoRef(1)), 1);
    EXPECT_EQ(c->nGetUserParamIndice(c->pclGetParameterNoRef(0)), -1);
    EXPECT_EQ(c->nGetUserParamIndice(nullptr), -1);
}

TEST_F(NACommandFixture, ParametersKeepWhatTheyWereAddedWith)
{
    CCommand c(m_pError, Cnx(5));
    c.Text(L"a LIKE ");
    ASSERT_EQ(c->bAddParameter(Text("x"), 32, CNAParameter::PF_LIKE, nullptr, L"p", L'!', CNAParameter::PARAM_OUT), 1);
    c.Text(L" AND b=");
    ASSERT_EQ(c->bAddParameterReturn(Int(1)), 1);
    const struct {
        unsigned int nPosition;
        eOPEXPRESSION eOperator;
        wchar_t cEscape;
        unsigned int eInOut;
        const wchar_t* pszName;
    } expected[] = {
        {7, 32, L'!', CNAParameter::PARAM_OUT, L"p"},
        {14, -1, 0, CNAParameter::PARAM_RETURN, L""},
    };
    ASSERT_EQ(c->nGetParameterNbr(), 2);
    for (int i = 0; i < 2; i++) {
        const CNAParameter* p = c->pclGetParameterNoRef(static_cast<unsigned int>(i));
        EXPECT_EQ(p->nGetPosition(), expected[i].nPosition) << i;
        EXPECT_EQ(p->eGetOperator(), expected[i].eOperator) << i;
        EXPECT_EQ(p->cGetEscape(), expected[i].cEscape) << i;
        EXPECT_EQ(p->eGetInOut(), expected[i].eInOut) << i;
        EXPECT_EQ(std::wstring(p->pszGetName() != nullptr ? p->pszGetName() : L""), expected[i].pszName) << i;
    }
}

TEST_F(NACommandFixture, FileParameterWritesTheFilesContent)
{
    CTempDir dir;
    ASSERT_FALSE(dir.Path().empty());
    std::ofstream(dir.Path() + "/v.txt") << "a'b";
    const std::string strName = dir.Path() + "/v.txt";
    CCommand c(m_pError, Cnx(5));
    c.Text(L"x=");
    c.Param(Text(strName.c_str()), CNAParameter::PF_FILE | CNAParameter::PF_FILE_RAW);
    EXPECT_EQ(c.Formated(), L"x='a''b'");
    // Loaded once: the parameter holds the content from then on.
    EXPECT_EQ(c->pclGetParameterNoRef(0)->nGetFlags() & CNAParameter::PF_FILE, 0u);
    c->ResetFormatedSQL();
    EXPECT_EQ(c.Formated(), L"x='a''b'");
}

TEST_F(NACommandFixture, FailedBuildIsNeverServed)
{
    CTempDir dir;
    const std::string strName = dir.Path() + "/missing.txt";
    CCommand c(m_pError, Cnx(5));
    c.Text(L"SELECT ");
    c.Param(Text(strName.c_str()), CNAParameter::PF_FILE);
    c.Text(L" FROM t");
    EXPECT_EQ(c->pszGetFormatedSQLW(CNACommand::PTC_ALL), nullptr);
    EXPECT_NE(m_pError->dwGetErrorId(), 0u);
    m_pError->Reset();
    // Asked again: built again, refused again, nothing of the first try.
    EXPECT_EQ(c->pszGetFormatedSQLA(CNACommand::PTC_ALL), nullptr);
    EXPECT_NE(m_pError->dwGetErrorId(), 0u);
    m_pError->Reset();
}

TEST_F(NACommandFixture, ResetAndDump)
{
    CCommand c(m_pError, Cnx(5));
    c.Text(L"SELECT ");
    c.Param(Int(12));
    CNAConvertVariant* pNull = Int(0);
    pNull->SetNull();
    c.Param(pNull);
    c.Param(Int(34), CNAParameter::PF_CURSOR);
    c->AddDefine(L"d", Int(7));
    const std::wstring strDump = W(c->pszGetCommandDump());
    EXPECT_NE(strDump.find(L"SELECT \r\n"), std::wstring::npos);
    EXPECT_NE(strDump.find(L"=3\r\n"), std::wstring::npos);
    EXPECT_NE(strDump.find(L" 0 :\t"), std::wstring::npos);
    EXPECT_NE(strDump.find(L"8 = <12>\r\n"), std::wstring::npos);
    EXPECT_NE(strDump.find(L" 1 :\t"), std::wstring::npos);
    // A cursor parameter is named, its value not shown.
    EXPECT_NE(strDump.find(L" 2 :\t = <cursor parameter>\r\n"), std::wstring::npos);
    EXPECT_EQ(strDump.find(L"<34>"), std::wstring::npos);
    c->SetRowLimit(3, 4);
    c->ResetCommand(1);
    EXPECT_EQ(c->nGetParameterNbr(), 3);
    EXPECT_EQ(c->nGetDefineNbr(), 0);
    EXPECT_EQ(c->llGetRowLimit(), -1);
    EXPECT_EQ(c->bIsEmpty(), 1);
    c->ResetCommand(0);
    EXPECT_EQ(c->nGetParameterNbr(), 0);
}

TEST(NACommandStatic, TypeMaps)
{
    const struct {
        unsigned short nType;
        int eClass;
    } classes[] = {{1, 32}, {2, 1}, {9, 1}, {14, 1}, {10, 64}, {13, 64}, {11, 2}, {12, 2}, {16, 4}, {19, 4},
                   {81, 4}, {110, 4}, {24, 8}, {27, 8}, {128, 8}, {129, 8}, {28, 16}, {29, 16}, {0, 0}, {15, 0}};
    for (const auto& c : classes)
        EXPECT_EQ(CNACommand::TQType2eParamType(c.nType), c.eClass) << c.nType;
    const struct {
        int nHost;
        int nSet;
        int nConvert;
    } types[] = {{1, 1, 1}, {2, 1, 1}, {3, 2, 2}, {4, 3, 3}, {5, 4, 4}, {6, 6, 8}, {7, 9, 8}, {0, 8, 8}, {12, 8, 8}};
    for (const auto& t : types) {
        CNACommand c(nullptr, nullptr);
        c.SetQueryType(t.nHost);
        EXPECT_EQ(c.eGetQueryType(), t.nSet) << t.nHost;
        EXPECT_EQ(CNACommand::eConvertTypeQuery(t.nHost), t.nConvert) << t.nHost;
    }
}

TEST(NACommandStatic, Scanners)
{
    for (wchar_t c : std::wstring(L"\t\n\r !%()*+,-/="))
        EXPECT_EQ(CNACommand::s_bSeparateur(c), 1) << static_cast<int>(c);
    for (wchar_t c : std::wstring(L"a_.;'<"))
        EXPECT_EQ(CNACommand::s_bSeparateur(c), 0) << static_cast<int>(c);
    const struct { const wchar_t* pszText; int nPos; } clauses[] = {
        {L"SELECT a FROM t LIMIT 5", 16},
        {L"LIMIT 5", -1},                               // never at position 0
        {L"SELECT 'x LIMIT 1' FROM t", -1},             // inside a literal
        {L"SELECT 'it''s LIMIT' FROM t limit 2", 28},   // doubled quote inside
        {L"SELECT a FROM t WHERE LIMITED=1", -1},       // part of a word
        {L"SELECT a FROM t LIMIT 1 UNION SELECT b FROM u LIMIT 2", 46}, {L"", -1},
        // Every kind of quote and comment, read as the server reads them.
        {L"SELECT a FROM t LIMIT 1 UNION SELECT`q` FROM u", 16}, {L"SELECT \"x LIMIT 1\" FROM t", -1},
        {L"SELECT 'a\\' LIMIT 1' FROM t", -1}, {L"SELECT a FROM t -- LIMIT 1", -1},
        {L"SELECT a FROM t # LIMIT 1\nWHERE b", -1}, {L"SELECT a /* LIMIT 1 */ FROM t", -1},
        {L"SELECT a FROM t /* LIMIT 1", -1}, {L"SELECT `x LIMIT 1` FROM t", -1},
        {L"SELECT a FROM t -- c\nLIMIT 3", 21},
        {L"SELECT a FROM t WHERE b='' LIMIT 1", 27}, // an empty literal
    };
    for (const auto& c : clauses)
        EXPECT_EQ(CNACommand::s_nGetClauseStart(nullptr, c.pszText, L"LIMIT", -1), c.nPos) << c.pszText;
    const struct {
        const wchar_t* pszText;
        int bSet;
    } sets[] = {{L"SET", 1}, {L"  set names", 1}, {L"SET a=1", 1}, {L"SET a = 1 ;", 1}, {L"SET a 1", 1},
                {L"SET a=1, b=2", 0}, {L"SETX a=1", 0}, {L"SELECT 1", 0}, {L"SET a=1 b", 0}};
    for (const auto& s : sets)
        EXPECT_EQ(CNACommand::s_bIsQuerySet(s.pszText), s.bSet) << s.pszText;
    EXPECT_EQ(CNACommand::s_bRequeteTerminePar(L"SELECT a LIMIT 0 \r\n", L"LIMIT 0"), 1);
    EXPECT_EQ(CNACommand::s_bRequeteTerminePar(L"SELECT aLIMIT 0", L"LIMIT 0"), 0);
    EXPECT_EQ(CNACommand::s_bRequeteTerminePar(L"LIMIT 0", L"LIMIT 0"), 0);
    EXPECT_EQ(CNACommand::s_bQueryResultsetLimited(nullptr, L"SELECT TOP 5 a"), 1);
    EXPECT_EQ(CNACommand::s_bQueryResultsetLimited(nullptr, L"SELECT a FROM t LIMIT 5"), 1);
    EXPECT_EQ(CNACommand::s_bQueryResultsetLimited(nullptr, L"SELECT TOPAZ FROM t"), 0);
    EXPECT_EQ(CNACommand::s_bQueryResultsetLimited(nullptr, L"SELECTED a FROM t LIMIT 5"), 0);
    EXPECT_EQ(CNACommand::s_bQueryResultsetLimited(nullptr, L"SELECT\tTOP 5 a"), 1);
    EXPECT_EQ(CNACommand::s_bQueryResultsetLimited(nullptr, L"UPDATE t LIMIT 5"), 0);
    EXPECT_EQ(CNACommand::s_nGetPosSuiteRequete(L"  ORDER BY a", L"order"), 2);
    EXPECT_EQ(CNACommand::s_bSuiteRequeteCommenceParMot(L" ORDERS", L"ORDER"), 0);
    EXPECT_EQ(CNACommand::s_bSuiteRequeteCommenceParMot(L" ORDER(", L"ORDER"), 1);
    EXPECT_EQ(CNACommand::s_bSuiteRequeteCommencePar(L" ORDERS", L"ORDER"), 1);
    wchar_t sz[2];
    CNACommand c(nullptr, nullptr);
    c._GetMotifVariableDebut(sz, 2);
    EXPECT_STREQ(sz, L"{");
    c._GetMotifVariableFin(sz, 2);
    EXPECT_STREQ(sz, L"}");
    // A quoted name closes on its own mark; an empty or open one is none.
    struct Name {
        const wchar_t* pszText;
        const wchar_t* pszName; // null: not read
        unsigned int nStop;
    } const names[] = {
        {L"AS [x\"y] FROM", L"x\"y", 7}, {L"AS \"a]b\" FROM", L"a]b", 7}, {L"AS [] FROM", nullptr, 0},
        {L"AS [open", nullptr, 0},          {L"AS \"open", nullptr, 0},
    };
    for (const Name& k : names) {
        CTString cs;
        unsigned int nStart = 0, nStop = 0;
        const int b = CNACommand::s_bGetItemNameAndPos(&cs, &nStart, &nStop, k.pszText, 2);
        EXPECT_EQ(b, k.pszName != nullptr ? 1 : 0) << k.pszText;
        if (b == 1 && k.pszName != nullptr) {
            EXPECT_STREQ(cs.pszGet(), k.pszName);
            EXPECT_EQ(nStart, 3u);
            EXPECT_EQ(nStop, k.nStop);
        }
    }
}

} // namespace

// The host's own pattern: as the host wrote it, its escape rewritten only
// where MySQL is given another, and the host's ESCAPE clause replaced by the
// driver's.
TEST_F(NACommandFixture, HostPatternsKeepTheirMeaning)
{
    const unsigned int nHost = CNAParameter::PF_LIKE | CNACommand::PF_LIKE_PATTERN;
    struct Case {
        const char* pszValue;
        wchar_t cEscape;
        const wchar_t* pszHostClause; // after the value in the host text
        const wchar_t* pszFormated;
    } cases[] = {
        {"a\\%", 0, L"", L"a LIKE 'a!%' ESCAPE '!'"},
        {"a\\\\b", 0, L"", L"a LIKE 'a\\\\b' ESCAPE '!'"},   // one backslash
        {"a\\_!", 0, L"", L"a LIKE 'a!_!!' ESCAPE '!'"},
        {"a\\", 0, L"", L"a LIKE 'a\\\\' ESCAPE '!'"},       // a last lone escape
        {"a\\x", 0, L"", L"a LIKE 'ax' ESCAPE '!'"},
        {"a''%", 0, L"", L"a LIKE 'a''''%' ESCAPE '!'"},     // never purged
        {"0 ab", L'a', L" ESCAPE 'a'", L"a LIKE '0 ab' ESCAPE 'a' OR 1"},
        {"a!%", L'!', L" ESCAPE '!'", L"a LIKE 'a!%' ESCAPE '!' OR 1"},
        {"a\\%", L'\\', L" ESCAPE '\\'", L"a LIKE 'a!%' ESCAPE '!' OR 1"},
        {"a'%!", L'\'', L" ESCAPE ''''", L"a LIKE 'a!%!!' ESCAPE '!' OR 1"},
        {"a#%", L'#', L"  ESCAPE  '#'", L"a LIKE 'a#%' ESCAPE '#' OR 1"},
    };
    for (const Case& k : cases) {
        CCommand c(m_pError, Cnx(CNAConnectionDescription::DS_MYSQL));
        c.Text(L"a LIKE ");
        c.Param(Text(k.pszValue), nHost, k.cEscape);
        if (k.pszHostClause[0] != 0) {
            c.Text(k.pszHostClause);
            c.Text(L" OR 1");
        }
        EXPECT_EQ(c.Formated(), k.pszFormated) << k.pszValue;
    }
    // A number pattern stays its text.
    CCommand n(m_pError, Cnx(CNAConnectionDescription::DS_MYSQL));
    n.Text(L"a LIKE ");
    n.Param(Int(15), nHost);
    EXPECT_EQ(n.Formated(), L"a LIKE '15' ESCAPE '!'");
    // Other kinds keep the host's clause and escape.
    CCommand o(m_pError, Cnx(0));
    o.Text(L"a LIKE ");
    o.Param(Text("a\\%"), nHost, L'\\');
    o.Text(L" ESCAPE '\\'");
    EXPECT_EQ(o.Formated(), L"a LIKE 'a\\%' ESCAPE '\\'");
}

// Text after a LIKE parameter that begins with ESCAPE: only the word and a
// literal of one character is a clause the driver replaces (or, on kind 3,
// passes over); anything else stays as written, no clause is added to it,
// and the value keeps the parameter's own escape character.
TEST_F(NACommandFixture, OnlyAnExactEscapeClauseIsReplaced)
{
    const unsigned int nHost = CNAParameter::PF_LIKE | CNACommand::PF_LIKE_PATTERN;
    struct Case {
        int nKind;
        const char* pszValue;
        wchar_t cEscape;
        const wchar_t* pszAfter;
        const wchar_t* pszFormated;
    } cases[] = {
        {5, "a\\%", L'\\', L" ESCAPE '\\' OR b = 'x'", L"a LIKE 'a!%' ESCAPE '!' OR b = 'x'"},
        {5, "a#%", L'#', L"\nescape\t'#'OR b = 'x'", L"a LIKE 'a#%' ESCAPE '#' OR b = 'x'"},
        {5, "a#%", L'#', L" ESCAPE'#'", L"a LIKE 'a#%' ESCAPE '#'"},
        {5, "a\\%", L'\\', L" ESCAPE '\\\\' OR b = 'x'", L"a LIKE 'a\\\\%' ESCAPE '\\\\' OR b = 'x'"},
        {5, "a!%", L'!', L" ESCAPE ? OR b = 'x'", L"a LIKE 'a!%' ESCAPE ? OR b = 'x'"},
        {5, "a!%", L'!', L" ESCAPE '!''x' OR b = 'y'", L"a LIKE 'a!%' ESCAPE '!''x' OR b = 'y'"},
        {5, "a'%", L'\'', L" ESCAPE ''''' OR b", L"a LIKE 'a''%' ESCAPE ''''' OR b"},
        {5, "a!%", L'!', L" ESCAPE ''", L"a LIKE 'a!%' ESCAPE ''"},
        {5, "a!%", L'!', L" ESCAPE ''' OR b", L"a LIKE 'a!%' ESCAPE ''' OR b"},
        {5, "a!%", L'!', L" ESCAPE 'ab!' OR b = 'y'", L"a LIKE 'a!%' ESCAPE 'ab!' OR b = 'y'"},
        {5, "a!%", L'!', L" ESCAPE c!' OR b = 'y'", L"a LIKE 'a!%' ESCAPE c!' OR b = 'y'"},
        {5, "a!%", L'!', L" ESCAPE '", L"a LIKE 'a!%' ESCAPE '"},
        {5, "a!%", L'!', L" ESCAPE", L"a LIKE 'a!%' ESCAPE"},
        {5, "a\\%", L'\\', L" escapes FROM t WHERE b <> 'zz'", L"a LIKE 'a!%' ESCAPE '!' escapes FROM t WHERE b <> 'zz'"},
        {5, "a\\%", L'\\', L" ESCAPE_X", L"a LIKE 'a!%' ESCAPE '!' ESCAPE_X"},
        {5, "a\\%", L'\\', L" ESCAPE$", L"a LIKE 'a!%' ESCAPE '!' ESCAPE$"},
        {0, "a\\%", L'\\', L" ESCAPED", L"a LIKE 'a\\%' ESCAPE '\\' ESCAPED"},
        {0, "a\\%", L'\\', L" ESCAPE '\\' OR 1", L"a LIKE 'a\\%' ESCAPE '\\' OR 1"},
        {3, "a!%", L'!', L" ESCAPE '!' OR 1", L"a LIKE 'a[%]' OR 1"},
        {3, "a!%", L'!', L" ESCAPE CHAR(33) OR 1", L"a LIKE 'a[%]' ESCAPE CHAR(33) OR 1"},
    };
    for (const Case& k : cases) {
        CCommand c(m_pError, Cnx(k.nKind));
        c.Text(L"a LIKE ");
        c.Param(Text(k.pszValue), nHost, k.cEscape);
        c.Text(k.pszAfter);
        EXPECT_EQ(c.Formated(), k.pszFormated) << k.nKind << " " << W(k.pszAfter);
    }
}

// Kind 3 reads no ESCAPE clause: escaped wildcards go bracketed, a doubled
// escape goes single, and the host's clause is passed over.
TEST_F(NACommandFixture, KindThreeBracketsEscapedWildcards)
{
    struct Case {
        const char* pszValue;
        wchar_t cEscape;
        unsigned int nFlags;
        const wchar_t* pszFormated;
    } cases[] = {
        {"50!%!_x", L'!', CNACommand::PF_LIKE_PATTERN, L"a LIKE '50[%][_]x'"},
        {"a!!b%", L'!', CNACommand::PF_LIKE_PATTERN, L"a LIKE 'a!b%'"},
        {"a#%b", L'#', CNACommand::PF_LIKE_PATTERN, L"a LIKE 'a[%]b'"},
        {"a!b", L'!', 0, L"a LIKE 'a!b'"},      // a search value: its lone escape doubled, then single
        {"plain%", L'!', 0, L"a LIKE 'plain%'"},
    };
    for (const Case& k : cases) {
        CCommand c(m_pError, Cnx(3));
        c.Text(L"a LIKE ");
        c.Param(Text(k.pszValue), CNAParameter::PF_LIKE | k.nFlags, k.cEscape);
        c.Text(L" ESCAPE '");
        const wchar_t sz[2] = {k.cEscape, 0};
        c.Text(sz);
        c.Text(L"'");
        EXPECT_EQ(c.Formated(), k.pszFormated) << k.pszValue;
    }
}

// How a text ends and where its statement ends, as the session reads it:
// the statement is the text's first nStatement characters. Keyword scans
// read literals the same way.
TEST_F(NACommandFixture, HowATextEndsAsTheSessionReadsIt)
{
    const int TE_CODE = CNACommand::TE_CODE, TE_LINE = CNACommand::TE_LINE_COMMENT,
              TE_OPEN = CNACommand::TE_OPEN_COMMENT;
    struct Case {
        const wchar_t* pszText;
        int bBackslash;
        int nEnd;
        unsigned int nStatement;
        int bSeveral;
    } cases[] = {
        {L"SELECT 1 --", 1, TE_LINE, 8, 0},
        {L"SELECT 1 --c", 1, TE_CODE, 12, 0}, // no comment without a blank
        {L"SELECT 1 --\tc", 1, TE_LINE, 8, 0},
        {L"SELECT 1 # c\nFROM t", 1, TE_CODE, 19, 0},
        {L"SELECT 1 /* c", 1, TE_OPEN, 13, 0}, // refused by the server as it is
        {L"SELECT `a -- b`", 1, TE_CODE, 15, 0},
        {L"SELECT \"a;\" ", 1, TE_CODE, 11, 0},
        {L"", 1, TE_CODE, 0, 0},
        {L"SELECT 1 /* a */ ; # b\n/* c */\n", 1, TE_CODE, 8, 0},
        {L"SELECT 1;;", 1, TE_CODE, 8, 0},
        {L"SELECT ';'", 1, TE_CODE, 10, 0},
        {L"/* ; */ SELECT 1", 1, TE_CODE, 16, 0},
        // Code the server runs stays.
        {L"SELECT 1 /*! , 2 */;", 1, TE_CODE, 19, 0},
        {L"SELECT 1 /*M!100000 , 2 */", 1, TE_CODE, 26, 0},
        {L"SELECT 1 /*! ; DO 2 */", 1, TE_CODE, 22, 1},
        {L"SELECT 1; SELECT 2;", 1, TE_CODE, 18, 1},
        // Backslashes as the session reads them.
        {L"SELECT '\\' -- '", 1, TE_CODE, 15, 0},
        {L"SELECT '\\' -- '", 0, TE_LINE, 10, 0},
        {L"SELECT \"a\\\"; \"", 1, TE_CODE, 14, 0},
        {L"SELECT \"a\\\"; \"", 0, TE_CODE, 14, 1},
        {L"SELECT `a\\`;", 1, TE_CODE, 11, 0}, // never an escape in a name
        // Form feed and vertical tab are blanks.
        {L"SELECT 5\f;\v", 1, TE_CODE, 8, 0},
        // The "*/" of a run of code ends it, and opens nothing.
        {L"SELECT 1 /*! +1 */*2 FROM t -- note", 1, TE_LINE, 27, 0},
        {L"SELECT 1 /*M! '*/' */ ;", 1, TE_CODE, 21, 0},
        {L"SELECT 1 /*! +1", 1, TE_OPEN, 15, 0},
        {L"SELECT 1 /*! /* */ ", 1, TE_OPEN, 19, 0},
        {L"SELECT 1 /*! -- */\n", 1, TE_OPEN, 19, 0},
    };
    for (const Case& k : cases) {
        const CNACommand::STextEnd st = CNACommand::s_stGetTextEnd(Session(k.bBackslash), k.pszText);
        const std::wstring strTrace = W(k.pszText) + (k.bBackslash ? L" (backslash escapes)" : L" (as itself)");
        EXPECT_EQ(st.nEnd, k.nEnd) << strTrace;
        EXPECT_EQ(std::wstring(k.pszText).substr(0, st.nStatementEnd),
                  std::wstring(k.pszText).substr(0, k.nStatement))
            << strTrace;
        EXPECT_EQ(st.bSeveral, k.bSeveral) << strTrace;
    }
    // Without a connection: the server's default reading.
    EXPECT_EQ(CNACommand::s_stGetTextEnd(nullptr, L"SELECT '\\' /* ';").nStatementEnd, 15u);
    EXPECT_EQ(CNACommand::s_stGetTextEnd(nullptr, nullptr).nStatementEnd, 0u);
    // A LIMIT inside a literal of the session is no clause.
    const wchar_t* const pszText = L"SELECT a FROM t WHERE b = 'x\\' LIMIT 1 '";
    EXPECT_EQ(CNACommand::s_nGetClauseStart(Session(1), pszText, L"LIMIT", -1), -1);
    EXPECT_EQ(CNACommand::s_nGetClauseStart(Session(0), pszText, L"LIMIT", -1), 31);
}

// The host's own query text, read by the host's rules whatever the
// session's mode: a backslash is a plain character in its literals, names
// stand in [ ] or " ", parameters in { }, and nothing is a comment.
TEST_F(NACommandFixture, HowAHostTextEndsAsTheHostReadsIt)
{
    struct Case {
        const wchar_t* pszText;
        const wchar_t* pszStatement;
    } cases[] = {
        {L"SELECT a FROM t WHERE b <> 'a\\' OR b = '#' ORDER BY n LIMIT 5",
         L"SELECT a FROM t WHERE b <> 'a\\' OR b = '#' ORDER BY n LIMIT 5"},
        {L"SELECT a FROM t WHERE b = 'a\\';", L"SELECT a FROM t WHERE b = 'a\\'"},
        {L"SELECT [it's] FROM t ; \r\n", L"SELECT [it's] FROM t"},
        {L"SELECT [a`b], \"x'\" FROM t;", L"SELECT [a`b], \"x'\" FROM t"},
        {L"SELECT 'a'';' ;", L"SELECT 'a'';'"},
        {L"SELECT a FROM t WHERE b = {p;x} ;", L"SELECT a FROM t WHERE b = {p;x}"},
        {L"SELECT '/*' FROM t;", L"SELECT '/*' FROM t"},
        {L"SELECT 'open;", L"SELECT 'open;"},
        {L"", L""},
    };
    for (int bBackslash = 0; bBackslash <= 1; bBackslash++) {
        for (const Case& k : cases) {
            const CNACommand::STextEnd st =
                CNACommand::s_stGetTextEnd(Session(bBackslash), k.pszText, CNACommand::TR_HOST);
            EXPECT_EQ(std::wstring(k.pszText).substr(0, st.nStatementEnd), k.pszStatement) << W(k.pszText);
            EXPECT_EQ(st.nEnd, CNACommand::TE_CODE) << W(k.pszText);
        }
        // Keywords are found past such literals and names, and not inside
        // them.
        EXPECT_EQ(CNACommand::s_nGetClauseStart(Session(bBackslash), L"SELECT [it's] FROM t", L"FROM", -1,
                                                CNACommand::TR_HOST),
                  14);
        EXPECT_EQ(CNACommand::s_nGetClauseStart(Session(bBackslash), L"SELECT a FROM t WHERE b = '[x' LIMIT 1",
                                                L"LIMIT", -1, CNACommand::TR_HOST),
                  31);
        EXPECT_EQ(CNACommand::s_nGetClauseStart(Session(bBackslash), L"SELECT a FROM t WHERE b = 'x'' LIMIT 1'",
                                                L"LIMIT", -1, CNACommand::TR_HOST),
                  -1);
        EXPECT_EQ(CNACommand::s_bQueryResultsetLimited(Session(bBackslash),
                                                       L"SELECT a FROM t WHERE b = 'x\\' LIMIT 1"),
                  1);
        EXPECT_EQ(CNACommand::s_bQueryResultsetLimited(Session(bBackslash), L"SELECT a FROM [LIMIT 1]"), 0);
    }
    // The session's reading of the same texts differs.
    EXPECT_EQ(CNACommand::s_nGetClauseStart(Session(1), L"SELECT [it's] FROM t", L"FROM", -1), -1);
    // A scan from position 0 finds nothing; only a SELECT is limited.
    EXPECT_EQ(CNACommand::s_nGetClauseStart(Session(1), L"SELECT a FROM t", L"FROM", 0), -1);
    EXPECT_EQ(CNACommand::s_bQueryResultsetLimited(Session(1), L"DELETE FROM t LIMIT 1"), 0);
    // What goes before an appended clause: no blank after a minus sign.
    EXPECT_EQ(W(CNACommand::s_pszClauseJoin(L"", 0)), L" ");
    EXPECT_EQ(W(CNACommand::s_pszClauseJoin(L"a-", 2)), L"");
    EXPECT_EQ(W(CNACommand::s_pszClauseJoin(L"a-", 1)), L" ");
}

// A set operator, a LIMIT or a FROM is a word where the server cuts one:
// glued to a quote, a bracket, a brace, a parenthesis or a number's fraction
// or exponent it is one; glued to an integer, a hexadecimal or bit literal,
// or after a dot, it is part of a name; its letters are ASCII's in any
// locale. MINUS joins SELECTs only where the session says so and only
// before a SELECT or a VALUES; the session is asked then only.
TEST_F(NACommandFixture, SetOperatorsAreTheWordsTheSessionReads)
{
    const struct {
        const wchar_t* pszText;
        bool bSeveral;
    } cases[] = {
        {L"SELECT a FROM t UNION SELECT a FROM u", true},
        {L"SELECT a FROM t WHERE b <> 'x'UNION SELECT a FROM u", true},
        {L"SELECT a FROM t WHERE b <> [x]Union SELECT a FROM u", true},
        {L"SELECT a FROM t WHERE b <> {p}intersect SELECT a FROM u", true},
        {L"SELECT a FROM t WHERE (b > 0)EXCEPT SELECT a FROM u", true},
        {L"SELECT a FROM t WHERE b <> 9.9UNION SELECT a FROM u", true},
        {L"SELECT a FROM t WHERE b <> 1.UNION SELECT a FROM u", true},
        {L"SELECT a FROM t WHERE b <> .5UNION SELECT a FROM u", true},
        {L"SELECT a FROM t WHERE b <> 1e0UNION SELECT a FROM u", true},
        {L"SELECT a FROM t WHERE b <> 1E+2UNION SELECT a FROM u", true},
        {L"SELECT a FROM t WHERE b <> 0x1F UNION SELECT a FROM u", true},
        {L"SELECT a FROM t WHERE b <> 1UNION SELECT a FROM u", false},
        {L"SELECT a FROM t WHERE b <> 1eUNION SELECT a FROM u", false},
        {L"SELECT a FROM t WHERE b <> 0x1UNION SELECT a FROM u", false},
        {L"SELECT a FROM t WHERE b <> 0b1UNION SELECT a FROM u", false},
        {L"SELECT a FROM t WHERE b <> x$UNION SELECT a FROM u", false},
        {L"SELECT t.union FROM t", false},
        {L"SELECT t.a FROM t UNION SELECT a FROM u", true},
        {L"SELECT a FROM t WHERE b <> e5UNION SELECT a FROM u", false},
        {L"SELECT a FROM t WHERE b <> 'x UNION y'", false},
        {L"SELECT [union] FROM t", false},
        {L"SELECT a FROM t WHERE b IN (SELECT b FROM u UNION SELECT 1)", false},
        {L"SELECT a FROM t WHERE b <> 'x'UNIONS", false},
        // A letter past ASCII that a locale folds into a set word's makes a
        // name of the word: a dotless i.
        {L"SELECT a FROM t un\u0131on", false},
        {L"SELECT a FROM t \u0131ntersect", false},
        {L"SELECT a FROM t WHERE b <> 'x'un\u0131on SELECT a FROM u", false},
        {L"SELECT a FROM t union SELECT a FROM u", true},
    };
    // Only the first characters count.
    const wchar_t* pszCut = L"SELECT a FROM t UNION SELECT a FROM u";
    EXPECT_FALSE(CNACommand::s_bSeveralSelects(nullptr, pszCut, 17, CNACommand::TR_HOST));
    EXPECT_TRUE(CNACommand::s_bSeveralSelects(nullptr, pszCut, 21, CNACommand::TR_HOST));

    const struct {
        const wchar_t* pszText;
        bool bBeforeSelect;
    } minus[] = {
        {L"SELECT a FROM t MINUS SELECT a FROM u", true},
        {L"SELECT a FROM t WHERE b <> 'x'minus (SELECT a FROM u)", true},
        {L"SELECT a FROM t MINUS ALL SELECT a FROM u", true},
        {L"SELECT a FROM t MINUS\n DISTINCT SELECT a FROM u", true},
        {L"SELECT a FROM t MINUS VALUES (1)", true},
        {L"SELECT a FROM t minus\tvalues(1), (2)", true},
        {L"SELECT a FROM t MINUS ALL VALUES (1)", true},
        {L"SELECT a FROM t MINUS VALUESX (1)", false},
        {L"SELECT a, minus FROM t", false},
        {L"SELECT a FROM t minus WHERE minus.a > 0", false},
        {L"SELECT a FROM t minus", false},
        {L"SELECT a FROM t MINUS SELECTED", false},
        {L"SELECT a FROM t WHERE b IN (SELECT a FROM u MINUS SELECT 1)", false},
        // Long s folds into S in a UTF-8 locale.
        {L"SELECT a FROM t minu\u017f SELECT a FROM u", false},
        {L"SELECT a FROM t minu\u017f VALUES (1)", false},
        {L"SELECT a FROM t MINUS \u017fELECT a FROM u", false},
        {L"SELECT a FROM t MINUS VALUE\u017f (1)", false},
        {L"SELECT a FROM t MINUS di\u017ftinct SELECT a FROM u", false},
        {L"SELECT a FROM t minus Select a FROM u", true},
    };
    // The same in the plain "C" locale and in a UTF-8 one.
    CProcessLocale clLocale;
    for (const char* pszLocale : {"C", "C.UTF-8"}) {
        ASSERT_TRUE(clLocale.bSet(pszLocale)) << pszLocale;
        for (const auto& k : cases)
            EXPECT_EQ(CNACommand::s_bSeveralSelects(nullptr, k.pszText, wcslen(k.pszText), CNACommand::TR_HOST),
                      k.bSeveral)
                << W(k.pszText) << " " << pszLocale;
        for (const auto& k : minus)
            for (int bMode = 0; bMode <= 1; bMode++) {
                COracleMode* pCnx = new COracleMode(bMode);
                pCnx->AddRef();
                m_tabCnx.push_back(pCnx);
                EXPECT_EQ(CNACommand::s_bSeveralSelects(pCnx, k.pszText, wcslen(k.pszText), CNACommand::TR_HOST),
                          k.bBeforeSelect && bMode == 1)
                    << W(k.pszText) << " mode " << bMode << " " << pszLocale;
                EXPECT_EQ(pCnx->m_nAsked, k.bBeforeSelect ? 1 : 0) << W(k.pszText);
                EXPECT_FALSE(
                    CNACommand::s_bSeveralSelects(nullptr, k.pszText, wcslen(k.pszText), CNACommand::TR_HOST));
            }
    }

    // The other keywords are cut the same way; blanks before the first
    // SELECT are passed over.
    EXPECT_EQ(CNACommand::s_bQueryResultsetLimited(nullptr, L"SELECT a FROM t WHERE b = 'x'LIMIT 5"), 1);
    EXPECT_EQ(CNACommand::s_bQueryResultsetLimited(nullptr, L"SELECT a FROM t WHERE b = 5LIMIT 5"), 0);
    EXPECT_EQ(CNACommand::s_bQueryResultsetLimited(nullptr, L"SELECT a FROM t WHERE b = t.limit"), 0);
    EXPECT_EQ(CNACommand::s_bQueryResultsetLimited(nullptr, L"\n \t\f\vSELECT a FROM t LIMIT 5"), 1);
    EXPECT_EQ(CNACommand::s_bQueryResultsetLimited(nullptr, L"\n  SELECT a FROM t UNION SELECT a FROM u"), 1);
    EXPECT_EQ(CNACommand::s_bQueryResultsetLimited(nullptr, L"\r\n SELECT TOP 5 a"), 1);
    EXPECT_EQ(CNACommand::s_bQueryResultsetLimited(nullptr, L"  SELECT TOP "), 0);
    EXPECT_EQ(CNACommand::s_bQueryResultsetLimited(nullptr, L"\n  SELECT a FROM t"), 0);
    EXPECT_EQ(CNACommand::s_bQueryResultsetLimited(nullptr, L"/* c */ SELECT a FROM t UNION SELECT a FROM u"), 1);
    EXPECT_EQ(CNACommand::s_bQueryResultsetLimited(nullptr, L"-- c\n# d\n SELECT a FROM t LIMIT 5"), 1);
    EXPECT_EQ(CNACommand::s_bQueryResultsetLimited(nullptr, L"/* c */ UPDATE t LIMIT 5"), 0);
    EXPECT_EQ(CNACommand::s_bQueryResultsetLimited(nullptr, L"/* c */ -- d"), 0);
    EXPECT_EQ(CNACommand::s_bQueryResultsetLimited(nullptr, L"  SELECTED a FROM t LIMIT 5"), 0);
    EXPECT_EQ(CNACommand::s_nGetTopLevelKeyword(nullptr, L"SELECT 'x'FROM t", 16, L"FROM", CNACommand::TR_HOST, false),
              10);
    EXPECT_EQ(CNACommand::s_nGetTopLevelKeyword(nullptr, L"SELECT 1FROM t", 14, L"FROM", CNACommand::TR_HOST, false),
              -1);
}

// A keyword of the host's text is its ASCII letters in either case, as the
// server reads it, whatever the process's locale: a letter past ASCII that a
// locale folds into one of them (dotless i into I, long s into S) makes a
// name of the word, for every scanner. The same in the plain "C" locale and
// in a UTF-8 one.
TEST_F(NACommandFixture, KeywordsAreTheirAsciiLettersInAnyLocale)
{
    const struct {
        const wchar_t* pszText;
        size_t nLength;
        size_t i;
        const wchar_t* pszWord;
        bool bAt;
    } at[] = {
        {L"union", 5, 0, L"UNION", true},       {L"a UnIoN", 7, 2, L"UNION", true},
        {L"un\u0131on", 5, 0, L"UNION", false}, {L"minu\u017f", 5, 0, L"MINUS", false},
        {L"\u0130n", 2, 0, L"IN", false},       {L"IN", 2, 0, L"in", true},
        {L"UNION", 4, 0, L"UNION", false},      {L"xAS", 3, 1, L"AS", true},
        // Past the text's end, at its end, and the neighbours of the letters.
        {L"AS", 2, 3, L"S", false},             {L"AS", 2, 2, L"S", false},
        {L"AS", 2, 2, L"", true},               {L"[S", 2, 0, L"{S", false},
        {L"@", 1, 0, L"`", false},
    };
    // A word ends where the server's lexer ends it: before no character of
    // a name, or a no-break space (a blank to a 1252 session).
    const struct {
        const wchar_t* pszText;
        size_t i;
        const wchar_t* pszWord;
        bool bAt;
    } word[] = {
        {L"SELECT\u00d7a", 0, L"SELECT", false}, {L"SELECT\u00e9a", 0, L"SELECT", false},
        {L"SELECT$", 0, L"SELECT", false},       {L"SELECT_", 0, L"SELECT", false},
        {L"SELECT1", 0, L"SELECT", false},       {L"SELECT\u0131", 0, L"SELECT", false},
        {L"SELECT\u00a0a", 0, L"SELECT", true},  {L"SELECT(", 0, L"SELECT", true},
        {L"a DESC\u00d7", 2, L"DESC", false},    {L"a ASC\u00e9", 2, L"ASC", false},
        {L"a desc", 2, L"DESC", true},           {L"ESCAPE\u00c9", 0, L"ESCAPE", false},
        {L"a DES", 2, L"DESC", false},
    };
    CProcessLocale clLocale;
    for (const char* pszLocale : {"C", "C.UTF-8", "tr_TR.UTF-8"}) {
        ASSERT_TRUE(clLocale.bSet(pszLocale)) << pszLocale;
        for (const auto& k : at)
            EXPECT_EQ(CNACommand::s_bKeywordAt(k.pszText, k.nLength, k.i, k.pszWord), k.bAt)
                << W(k.pszText) << " " << k.i << " " << pszLocale;
        for (const auto& k : word)
            EXPECT_EQ(CNACommand::s_bWordAt(k.pszText, wcslen(k.pszText), k.i, k.pszWord), k.bAt)
                << W(k.pszText) << " " << pszLocale;
        // A row limit goes after a SELECT alone.
        for (const wchar_t* psz : {L"SELECT\u00d7a FROM t", L"SELECT\u00e9a FROM t", L"SELECT(a) FROM t"}) {
            CCommand c(m_pError, Cnx(CNAConnectionDescription::DS_MYSQL));
            c.Text(psz);
            c->SetRowLimit(5, -1);
            EXPECT_EQ(c.Formated(), std::wstring(psz) + (psz[6] == L'(' ? L" LIMIT 5" : L"")) << pszLocale;
        }
        // LIMIT, SELECT and SET as the other scanners look for them.
        EXPECT_EQ(CNACommand::s_bQueryResultsetLimited(nullptr, L"SELECT a FROM t l\u0131m\u0131t"), 0) << pszLocale;
        EXPECT_EQ(CNACommand::s_bQueryResultsetLimited(nullptr, L"SELECT a FROM t limit 5"), 1) << pszLocale;
        EXPECT_EQ(CNACommand::s_bQueryResultsetLimited(nullptr, L"\u017fELECT a FROM t LIMIT 5"), 0) << pszLocale;
        EXPECT_EQ(CNACommand::s_nGetClauseStart(nullptr, L"SELECT a FROM t l\u0131m\u0131t", L"LIMIT", -1), -1)
            << pszLocale;
        EXPECT_EQ(CNACommand::s_nGetClauseStart(nullptr, L"SELECT a FROM t limit 1", L"limit", -1), 16) << pszLocale;
        EXPECT_EQ(CNACommand::s_nGetClauseStart(nullptr, L"SELECT a FROM t za", L"ZA", -1), 16) << pszLocale;
        EXPECT_EQ(CNACommand::s_nGetTopLevelKeyword(nullptr, L"SELECT a FROM t l\u0131m\u0131t", 22, L"LIMIT",
                                                    CNACommand::TR_HOST, false),
                  -1)
            << pszLocale;
        EXPECT_EQ(CNACommand::s_bIsQuerySet(L"\u017fET a = 1"), 0) << pszLocale;
        EXPECT_EQ(CNACommand::s_bIsQuerySet(L"set a = 1"), 1) << pszLocale;
    }
}

// The host's pattern where the parameter says NULL, whatever its cell holds;
// a kind that keeps the host's clause keeps a quote as its escape.
TEST_F(NACommandFixture, HostPatternsNullOrEscapedByAQuote)
{
    const unsigned int nHost = CNAParameter::PF_LIKE | CNACommand::PF_LIKE_PATTERN;
    CCommand c(m_pError, Cnx(CNAConnectionDescription::DS_MYSQL));
    c.Text(L"a LIKE ");
    c.Param(Text("a%"), nHost);
    c->pclGetParameterNoRef(0)->SetNull(1);
    EXPECT_EQ(c.Formated(), L"a LIKE NULL ESCAPE '!'");

    CCommand o(m_pError, Cnx(0));
    o.Text(L"a LIKE ");
    o.Param(Text("a'%b"), nHost, L'\'');
    o.Text(L" ESCAPE ''''");
    EXPECT_EQ(o.Formated(), L"a LIKE 'a''%b' ESCAPE ''''");
}

// Kind 3's bracketing while the module's heap gives out: the build fails
// with "no memory" said (or thrown, which the entry points catch), or
// writes the whole text; without an error object to tell, it still fails,
// never writing the literal unbracketed or cut.
TEST_F(NACommandFixture, KindThreeBracketingWithoutMemory)
{
    for (CNAError* pError : {static_cast<CNAError*>(m_pError), static_cast<CNAError*>(nullptr)}) {
        int nFailures = 0;
        int nNull = 0;
        const int nEnough = nFailEachAllocation([&](int n) {
            CCommand c(pError, Cnx(3));
            c.Text(L"a LIKE ");
            c.Param(Text("50!%x"), CNAParameter::PF_LIKE | CNACommand::PF_LIKE_PATTERN, L'!');
            m_pError->Reset();
            const wchar_t* psz = nullptr;
            {
                CFailingHeap clHeap(n);
                try {
                    psz = c->pszGetFormatedSQLW(CNACommand::PTC_ALL);
                } catch (const std::bad_alloc&) {
                    ++nFailures;
                    return false;
                }
            }
            if (psz == nullptr) {
                ++nFailures;
                ++nNull;
                if (pError != nullptr) {
                    EXPECT_EQ(m_pError->dwGetErrorId(), static_cast<unsigned int>(ZTERR_NO_MEMORY));
                }
                return false;
            }
            EXPECT_EQ(W(psz), L"a LIKE '50[%]x'");
            return true;
        });
        EXPECT_GT(nEnough, 0);
        EXPECT_GT(nFailures, 0);
        if (pError == nullptr) {
            EXPECT_GT(nNull, 0);
        }
    }
}
