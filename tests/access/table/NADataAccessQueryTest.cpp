// The data access's query operations that need no server: the item a
// condition browses on, the server's binary memos retyped as their items,
// statements renamed, the same-query test, transaction ends on statements
// and the memo refusals.
#include "access/table/NADataAccess.h"

#include "access/driver/NAError.h"
#include "access/sql/SQLParserInfo.h"
#include "access/statement/NAStatement.h"
#include "common/platform/MyModuleInfo.h"
#include "host/HostQueryParametersValue.h"
#include "host/parse/HostSQLParse.h"
#include "tests/support/TestTable.h"
#include "tests/support/ValueCells.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

// A statement without SQL, counted while it lives.
class CLiveStatement : public CNAStatement {
public:
    static int s_nLive;
    explicit CLiveStatement(CNAError* pError) : CNAStatement(pError, nullptr) { s_nLive++; }
    ~CLiveStatement() override { s_nLive--; }
};
int CLiveStatement::s_nLive = 0;

class CQueryTestAccess : public CNADataAccess {
public:
    CQueryTestAccess(INADataSourceDescription* pi, CNAConnectionDescription* pCnx, CNAError* pError)
        : CNADataAccess(pi, pCnx, pError)
    {
        AddRef();
    }
    CNAStatement* _pclAllocStatement(CNADataAccess*, CNAError* pError) override
    {
        return new CLiveStatement(pError);
    }
    // The digest of the parse, as a query set-up leaves it.
    void SetDigest(ISQLParserInformation* pi)
    {
        _FreeQueryParserInfo();
        m_bSourceIsQuery = 1;
        if (pi == nullptr)
            return;
        m_pclQueryParserInfo = new CSQLParserInfo(m_pclError, pi, nullptr, 0);
        m_pclQueryParserInfo->AddRef();
    }
    void SetLast(CNAStatement* p) { m_pclLastStatement = p; }
};

// Whether the error's debug line names the source file and point.
bool bAtPoint(CNAError* p, const wchar_t* pszPoint)
{
    const wchar_t* psz = p->pclGetXError()->pszGetDebugMessage();
    return std::wstring(psz != nullptr ? psz : L"").find(std::wstring(L"IEDUZARO=") + pszPoint + L"\r") !=
           std::wstring::npos;
}

std::string Narrow(const wchar_t* psz)
{
    std::string s;
    for (; psz != nullptr && *psz != 0; psz++)
        s += *psz < 128 ? static_cast<char>(*psz) : '?';
    return s;
}

class NADataAccessQuery : public ::testing::Test {
protected:
    void SetUp() override
    {
        BindValueMachine();
        m_pFormerDriver = CNADriver::s_pclDriver;
        CNADriver::s_pclDriver = &m_clDriver;
        m_pError = new CNAError;
        m_pError->AddRef();
        m_pCnx = new CTestConnection(1252, 1252, CNAConnectionDescription::DS_MYSQL);
        m_pCnx->AddRef();
        m_pTable.reset(new CTestTable(m_pError, m_pCnx));
        m_pTable->Add(L"PLAIN", NA_IT_I4, 4);
        m_pTable->Add(L"ID", NA_IT_I4, 4, CTestTable::UNIQUE);
        m_pTable->Add(L"NAME", NA_IT_TEXTE, 20, CTestTable::DUPLICATES);
        m_pTable->Add(L"NOTE", NA_IT_MEMOTEXTE, 0);
        m_pTable->Add(L"CODE", NA_IT_I4, 4, CTestTable::UNIQUE);
        m_pTable->Add(L"OTHER", NA_IT_I4, 4);
        (*m_pTable)->UpdateRecordSize();
        m_pAccess = new CQueryTestAccess(m_pTable->Get(), m_pCnx, m_pError);
    }
    void TearDown() override
    {
        EXPECT_EQ(m_pAccess->nRelease(), 0u);
        EXPECT_EQ(CLiveStatement::s_nLive, 0);
        m_tabParse.clear();
        m_pTable.reset();
        EXPECT_EQ(m_pCnx->nRelease(), 0u);
        EXPECT_EQ(m_pError->nRelease(), 0u);
        CNADriver::s_pclDriver = m_pFormerDriver;
    }
    // A condition whose values are the texts given (type 110), in order.
    ISQLParserInformation* Condition(const std::vector<const wchar_t*>& tabName)
    {
        std::wstring strText = L"SELECT * FROM T WHERE 1 = 1";
        for (size_t i = 0; i < tabName.size(); i++) {
            const std::wstring strParam = L"p" + std::to_wstring(i);
            strText += L" AND PLAIN = {" + strParam + L"}";
            CAny& v = m_clValues.Value(strParam);
            v.__SetType(TQTYPE_PSTRW, 0);
            v.pclGetTraitement()->SetValue(tabName[i], static_cast<unsigned int>(wcslen(tabName[i]) * sizeof(wchar_t)));
        }
        return Parse(strText.c_str());
    }
    ISQLParserInformation* Parse(const wchar_t* pszText)
    {
        std::wstring strError;
        m_tabParse.push_back(CHostSQLParse::pParse(pszText, nullptr, &m_clValues, &strError));
        EXPECT_NE(m_tabParse.back(), nullptr) << Narrow(strError.c_str());
        return m_tabParse.back().get();
    }
    std::string Best(CNADataAccess* p, ISQLParserInformation* pi)
    {
        wchar_t szItem[256] = {};
        m_pError->Reset();
        return p->bFindBestItem(pi, szItem) ? Narrow(szItem) : "(refused)";
    }

    CNADriver m_clDriver;
    CNADriver* m_pFormerDriver = nullptr;
    CNAError* m_pError = nullptr;
    CTestConnection* m_pCnx = nullptr;
    std::unique_ptr<CTestTable> m_pTable;
    CQueryTestAccess* m_pAccess = nullptr;
    CHostQueryParametersValue m_clValues;
    std::vector<std::unique_ptr<CHostSQLParse>> m_tabParse;
};

} // namespace

TEST_F(NADataAccessQuery, BestItemOfACondition)
{
    INAItemDescription* piBest = (*m_pTable)->piGetBestParseItemDesc();
    ASSERT_NE(piBest, nullptr);
    const std::string strDefault = Narrow(piBest->pszGetName());
    piBest->nExternalRelease();
    const struct {
        std::vector<const wchar_t*> tabName;
        std::string strExpected;
    } cases[] = {
        {{L"T.NAME"}, "NAME"},                         // the item part of a qualified name
        {{L"PLAIN", L"CODE", L"NAME"}, "CODE"},        // a unique item ends the walk
        {{L"PLAIN", L"NAME", L"OTHER"}, "NAME"},       // the duplicates candidate
        {{L"NOTE", L"OTHER"}, "OTHER"},                // a memo is never the first candidate
        {{L"CODE", L"OTHER"}, "CODE"},                 // the first candidate itself is never tested
        {{L"CODE", L"ID"}, "ID"},                      // a later unique item wins over it
        {{L"PLAIN", L"OTHER"}, "PLAIN"},               // the first candidate
        {{}, strDefault},                              // an empty list: the best browse item
        {{L"NOPE", L"X.NOPE"}, strDefault},            // unknown names are skipped
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.strExpected);
        EXPECT_EQ(Best(m_pAccess, Condition(c.tabName)), c.strExpected) << Narrow(m_pError->pszGetError());
    }
    // Values of other types name nothing.
    ISQLParserInformation* pi = Parse(L"SELECT * FROM T WHERE PLAIN = {n} AND PLAIN = {p0}");
    m_clValues.Value(L"n").__SetType(TQTYPE_I4, 0);
    CAny& v = m_clValues.Value(L"p0");
    v.__SetType(TQTYPE_PSTRW, 0);
    v.pclGetTraitement()->SetValue(L"NAME", 4 * sizeof(wchar_t));
    v.SetNullFlag(true);
    EXPECT_EQ(Best(m_pAccess, pi), strDefault) << "a NULL text names nothing";
}

TEST_F(NADataAccessQuery, AQualifiedNameIsCutAfterItsTable)
{
    // An item whose own name holds a dot: the table goes, the rest stays.
    CTestTable clDotted(m_pError, m_pCnx, L"DOTTED");
    clDotted.Add(L"PLAIN", NA_IT_I4, 4);
    clDotted.Add(L"A.B", NA_IT_I4, 4, CTestTable::UNIQUE);
    clDotted.Add(L"B", NA_IT_I4, 4, CTestTable::DUPLICATES);
    clDotted->UpdateRecordSize();
    CQueryTestAccess* p = new CQueryTestAccess(clDotted.Get(), m_pCnx, m_pError);
    EXPECT_EQ(Best(p, Condition({L"PLAIN", L"T.A.B"})), "A.B");
    EXPECT_EQ(Best(p, Condition({L"PLAIN", L"T.B"})), "B");
    EXPECT_EQ(Best(p, Condition({L"PLAIN", L"A.B"})), "B") << "unqualified, A names the table";
    EXPECT_EQ(p->nRelease(), 0u);
}

TEST_F(NADataAccessQuery, ABinaryMemoColumnTakesTheTextMemoOfItsItem)
{
    // The query's items as described, and the server's columns, all binary
    // memos (text columns read with the binary character set).
    CTestTable clQuery(m_pError, m_pCnx, L"Q");
    const struct {
        const wchar_t* pszName;
        eNA_ITEMTYPE eDescribed;
        eNA_ITEMTYPE eImported;
    } tab[] = {
        {L"T", NA_IT_TEXTE, NA_IT_MEMOTEXTE},      {L"M", NA_IT_MEMOTEXTE, NA_IT_MEMOTEXTE},
        {L"U", NA_IT_UNICODE, NA_IT_MEMOUNICODE},  {L"W", NA_IT_MEMOUNICODE, NA_IT_MEMOUNICODE},
        {L"B", NA_IT_MEMOBINAIRE, NA_IT_MEMOBINAIRE}, {L"N", NA_IT_I4, NA_IT_MEMOBINAIRE},
    };
    CTestTable clServer(m_pError, m_pCnx, L"Q");
    for (const auto& t : tab) {
        clQuery.Add(t.pszName, t.eDescribed, 8);
        clServer.Add(t.pszName, NA_IT_MEMOBINAIRE, 8);
    }
    clQuery->UpdateRecordSize();
    clServer->UpdateRecordSize();
    CQueryTestAccess* p = new CQueryTestAccess(clQuery.Get(), m_pCnx, m_pError);
    p->SetDigest(nullptr);
    ASSERT_EQ(p->_SetImportedDataSourceDesc(clServer.Get()), 1);
    EXPECT_EQ(p->pclGetImportedDataSourceDescNoRef(), clServer.Get());
    for (const auto& t : tab) {
        SCOPED_TRACE(Narrow(t.pszName));
        EXPECT_EQ(clServer->pclNAGetItemNoRef(t.pszName, 0)->eNAGetItemType(), t.eImported);
        EXPECT_EQ(clQuery->pclNAGetItemNoRef(t.pszName, 0)->eNAGetItemType(), t.eDescribed);
    }
    p->_SetImportedDataSourceDesc(nullptr);
    EXPECT_EQ(p->nRelease(), 0u);
    // A table's binary memo stays one whatever its item says.
    CTestTable clTableServer(m_pError, m_pCnx, L"Q");
    clTableServer.Add(L"T", NA_IT_MEMOBINAIRE, 8);
    clTableServer->UpdateRecordSize();
    CQueryTestAccess* pTable = new CQueryTestAccess(clQuery.Get(), m_pCnx, m_pError);
    ASSERT_EQ(pTable->_SetImportedDataSourceDesc(clTableServer.Get()), 1);
    EXPECT_EQ(clTableServer->pclNAGetItemNoRef(L"T", 0)->eNAGetItemType(), NA_IT_MEMOBINAIRE);
    pTable->_SetImportedDataSourceDesc(nullptr);
    EXPECT_EQ(pTable->nRelease(), 0u);
}

// A computed item the host typed takes the server's type where it would
// read bytes as a text or a memo in an item that is none: a string of bytes
// the binary of its length, a memo the memo; other types stay. The memos
// are those of the items, in their order.
TEST_F(NADataAccessQuery, AComputedItemTakesTheBytesOrTheMemoTheServerSends)
{
    const struct {
        const wchar_t* pszName;
        eNA_ITEMTYPE eOwn, eServer;
        unsigned int nOwnSize, nServerSize;
        bool bBytes;
        eNA_ITEMTYPE eAfter;
        unsigned int nSizeAfter;
    } tab[] = {
        {L"A", NA_IT_TEXTE, NA_IT_TEXTE, 300, 11, true, NA_IT_BINAIRE, 12},
        {L"B", NA_IT_TEXTE, NA_IT_TEXTE, 300, 11, false, NA_IT_TEXTE, 300},
        {L"C", NA_IT_I4, NA_IT_MEMOTEXTE, 4, 8, false, NA_IT_MEMOTEXTE, 8},
        {L"E", NA_IT_MEMOBINAIRE, NA_IT_TEXTE, 8, 11, true, NA_IT_MEMOBINAIRE, 8},
        {L"G", NA_IT_BINAIRE, NA_IT_MEMOBINAIRE, 30, 8, false, NA_IT_MEMOBINAIRE, 8},
        {L"H", NA_IT_MEMOBINAIRE, NA_IT_TEXTE, 8, 11, false, NA_IT_MEMOBINAIRE, 8},
    };
    CTestTable clQuery(m_pError, m_pCnx, L"Q"), clServer(m_pError, m_pCnx, L"Q");
    std::wstring strQuery = L"SELECT";
    for (const auto& t : tab) {
        clQuery.Add(t.pszName, t.eOwn, t.nOwnSize);
        CNAItemDescription* pServer = clServer.Add(t.pszName, t.eServer, t.nServerSize);
        if (t.bBytes)
            pServer->SetServerBytes();
        strQuery += std::wstring(t.pszName[0] == L'A' ? L" " : L", ") + L"PLAIN + 1 AS " + t.pszName;
    }
    clQuery->UpdateRecordSize();
    clServer->UpdateRecordSize();
    CQueryTestAccess* p = new CQueryTestAccess(clQuery.Get(), m_pCnx, m_pError);
    p->SetDigest(Parse((strQuery + L" FROM T").c_str()));
    ASSERT_EQ(p->_SetImportedDataSourceDesc(clServer.Get()), 1);
    std::string strMemos;
    for (unsigned int i = 0; i < clQuery->nGetNumMemos(); i++) {
        INAItemDescription* pi = clQuery->piNAGetMemo(i);
        strMemos += Narrow(pi->pszGetName());
        pi->nExternalRelease();
    }
    EXPECT_EQ(strMemos, "CEGH");
    for (const auto& t : tab) {
        SCOPED_TRACE(Narrow(t.pszName));
        EXPECT_EQ(clQuery->pclNAGetItemNoRef(t.pszName, 0)->eNAGetItemType(), t.eAfter);
        EXPECT_EQ(clQuery->pclNAGetItemNoRef(t.pszName, 0)->nGetItemSize(), t.nSizeAfter);
    }
    p->_SetImportedDataSourceDesc(nullptr);
    EXPECT_EQ(p->nRelease(), 0u);
}

TEST_F(NADataAccessQuery, NoItemToBrowseAndALongName)
{
    // No item at all: user error 17 at 3.9 with the logical name.
    CTestTable clEmpty(m_pError, m_pCnx, L"EMPTY");
    CQueryTestAccess* pEmpty = new CQueryTestAccess(clEmpty.Get(), m_pCnx, m_pError);
    wchar_t szItem[8] = {L'k', 0};
    EXPECT_EQ(pEmpty->bFindBestItem(Condition({L"NAME"}), szItem), 0);
    EXPECT_EQ(m_pError->nGetUserErrorCode(), static_cast<unsigned int>(ZTERR_NO_BROWSE_ITEM));
    EXPECT_TRUE(bAtPoint(m_pError, L"3.9"));
    EXPECT_EQ(Narrow(m_pError->pszGetLogicalTableName()), "EMPTY");
    EXPECT_EQ(szItem[0], L'k') << "nothing written";
    EXPECT_EQ(pEmpty->nRelease(), 0u);

    // A name of 300 characters: 254 of them and the terminator, nothing past.
    const std::wstring strLong(300, L'L');
    CTestTable clLong(m_pError, m_pCnx, L"LONG");
    clLong.Add(strLong.c_str(), NA_IT_I4, 4, CTestTable::UNIQUE);
    clLong->UpdateRecordSize();
    CQueryTestAccess* pLong = new CQueryTestAccess(clLong.Get(), m_pCnx, m_pError);
    std::vector<wchar_t> tabBuffer(400, L'#');
    EXPECT_EQ(pLong->bFindBestItem(Condition({strLong.c_str()}), tabBuffer.data()), 1);
    EXPECT_EQ(std::wstring(tabBuffer.data()), strLong.substr(0, 254));
    for (size_t i = 255; i < tabBuffer.size(); i++)
        ASSERT_EQ(tabBuffer[i], L'#') << i;
    EXPECT_EQ(pLong->bFindBestItem(Condition({strLong.c_str()}), nullptr), 1) << "a null buffer gets nothing";
    EXPECT_EQ(pLong->nRelease(), 0u);
}

TEST_F(NADataAccessQuery, StatementRenamed)
{
    CNAStatement* pA = m_pAccess->_pclInitStatement(L"A");
    CNAStatement* pB = m_pAccess->_pclInitStatement(L"B");
    CNAStatement* pUnnamed = m_pAccess->_pclGetQueryStatement();
    ASSERT_TRUE(pA != nullptr && pB != nullptr && pUnnamed != nullptr);
    ASSERT_EQ(m_pAccess->nGetStatementCount(), 3u);
    const unsigned int nRefA = pA->nGetRef();

    // The lookup of "A" is remembered; after the rename "A" finds nothing.
    CNAStatement* pFound = m_pAccess->_pclFindStatement(L"A");
    ASSERT_EQ(pFound, pA);
    pFound->nRelease();
    EXPECT_EQ(m_pAccess->_bChangeStatementKey(L"C", L"A", pA), 1);
    EXPECT_EQ(m_pAccess->_pclFindStatement(L"A"), nullptr);
    pFound = m_pAccess->_pclFindStatement(L"C");
    EXPECT_EQ(pFound, pA);
    if (pFound != nullptr)
        pFound->nRelease();
    EXPECT_EQ(Narrow(pA->pszGetName()), "C");
    EXPECT_EQ(Narrow(pA->pszGetParseItem()), "C");
    EXPECT_EQ(pA->nGetRef(), nRefA) << "references balanced";
    EXPECT_EQ(m_pAccess->nGetStatementCount(), 3u);

    // Without a statement, the one filed under the old key.
    EXPECT_EQ(m_pAccess->_bChangeStatementKey(L"D", L"B", nullptr), 1);
    EXPECT_EQ(Narrow(pB->pszGetParseItem()), "D");
    // Nothing filed under the old key: nothing to do.
    EXPECT_EQ(m_pAccess->_bChangeStatementKey(L"E", L"B", nullptr), 1);
    EXPECT_EQ(m_pAccess->nGetStatementCount(), 3u);

    // An occupied key: the occupant leaves; it was the last statement, the
    // renamed one takes its place.
    m_pAccess->SetLast(pB);
    const int nLive = CLiveStatement::s_nLive;
    pB->nRelease();
    pB = nullptr;
    EXPECT_EQ(m_pAccess->_bChangeStatementKey(L"D", L"C", pA), 1);
    EXPECT_EQ(CLiveStatement::s_nLive, nLive - 1) << "the occupant's last reference went";
    EXPECT_EQ(m_pAccess->pclGetLastStatementNoRef(), pA);
    EXPECT_EQ(m_pAccess->nGetStatementCount(), 2u);
    pFound = m_pAccess->_pclFindStatement(L"D");
    EXPECT_EQ(pFound, pA);
    if (pFound != nullptr)
        pFound->nRelease();

    // The same key but for case and accents: only the texts change.
    EXPECT_EQ(m_pAccess->_bChangeStatementKey(L"d", L"D", pA), 1);
    EXPECT_EQ(Narrow(pA->pszGetName()), "d");
    EXPECT_EQ(m_pAccess->nGetStatementCount(), 2u);
    pFound = m_pAccess->_pclFindStatement(L"D");
    EXPECT_EQ(pFound, pA);
    if (pFound != nullptr)
        pFound->nRelease();
    EXPECT_EQ(pA->nGetRef(), nRefA);

    // The unnamed statement takes a name.
    EXPECT_EQ(m_pAccess->_bChangeStatementKey(L"ID", pUnnamed->pszGetParseItem(), pUnnamed), 1);
    EXPECT_EQ(m_pAccess->_pclFindStatement(L""), nullptr);
    pA->nRelease();
    pUnnamed->nRelease();
}

TEST_F(NADataAccessQuery, SameQueryIgnoresCase)
{
    EXPECT_EQ(m_pAccess->bSameQuery(Parse(L"SELECT * FROM T")), 0) << "no digest";
    m_pAccess->SetDigest(Parse(L"SELECT * FROM T WHERE PLAIN = 1"));
    EXPECT_EQ(m_pAccess->bSameQuery(Parse(L"select * from t where plain = 1")), 1);
    EXPECT_EQ(m_pAccess->bSameQuery(Parse(L"SELECT * FROM T WHERE PLAIN = 2")), 0);
    EXPECT_EQ(m_pAccess->bSameQuery(nullptr), 0);
    EXPECT_EQ(m_pAccess->eSourceQueryType(), 1);
    m_pAccess->SetDigest(Parse(L"DELETE FROM T"));
    EXPECT_EQ(m_pAccess->eSourceQueryType(), 4);
    m_pAccess->SetDigest(nullptr);
    EXPECT_EQ(m_pAccess->eSourceQueryType(), 0);
}

TEST_F(NADataAccessQuery, TransactionEndOnStatementsNotStartedOrPending)
{
    CNAStatement* pIdle = m_pAccess->_pclInitStatement(L"IDLE");
    CNAStatement* pPending = m_pAccess->_pclInitStatement(L"PENDING");
    pPending->SetParseStarted();
    pPending->bSetParseNeedUpdate(CNAStatement::UPDATE_REPOSITION, -1);
    EXPECT_EQ(m_pAccess->_SetTransactionTermined(pIdle), 0);
    EXPECT_EQ(m_pAccess->_SetTransactionTermined(pPending), CNAStatement::UPDATE_REPOSITION);
    m_pAccess->SetTransactionTermined();
    EXPECT_EQ(pIdle->eParseNeedUpdate(), CNAStatement::UPDATE_NONE) << "a browse not started is untouched";
    EXPECT_EQ(pPending->eParseNeedUpdate(), CNAStatement::UPDATE_REPOSITION) << "a pending cause stays";
    EXPECT_EQ(m_pAccess->_SetTransactionTermined(nullptr), 0);
    pIdle->nRelease();
    pPending->nRelease();
}

TEST_F(NADataAccessQuery, MemoRefusals)
{
    const std::string strFile = "/tmp/zt_memo_refusal_" + std::to_string(getpid());
    const std::wstring wstrFile(strFile.begin(), strFile.end());
    CAny v(TQTYPE_I4);
    // Before any record: a NULL value, no file, and no write.
    EXPECT_EQ(m_pAccess->bGetBLOB(0, &v), 1);
    EXPECT_TRUE(v.bIsNull());
    EXPECT_EQ(m_pAccess->bExtraitMemo(0, wstrFile.c_str()), 1);
    FILE* pFile = std::fopen(strFile.c_str(), "rb");
    EXPECT_EQ(pFile, nullptr) << "no file written";
    if (pFile != nullptr)
        std::fclose(pFile);
    const struct {
        const char* pszCall;
        std::function<int()> call;
        unsigned int nUserError;
        const wchar_t* pszPoint;
    } rows[] = {
        {"bSetBLOB", [&] { return m_pAccess->bSetBLOB(0, &v); }, ZTERR_NO_CURRENT_RECORD, L"3.60"},
        {"bHAttacheMemo", [&] { return m_pAccess->bHAttacheMemo(0, wstrFile.c_str()); }, ZTERR_NO_CURRENT_RECORD,
         L"3.60"},
        {"bSetBLOB 1", [&] { return m_pAccess->bSetBLOB(1, &v); }, ZTERR_COLUMN_INDEX, L"3.61"},
        {"bHAttacheMemo 7", [&] { return m_pAccess->bHAttacheMemo(7, wstrFile.c_str()); }, ZTERR_COLUMN_INDEX,
         L"3.61"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.pszCall);
        m_pError->Reset();
        EXPECT_EQ(r.call(), 0);
        EXPECT_EQ(m_pError->nGetUserErrorCode(), r.nUserError);
        EXPECT_TRUE(bAtPoint(m_pError, r.pszPoint));
        EXPECT_EQ(Narrow(m_pError->pszGetLogicalTableName()), "T");
    }
    // With a current record an unknown memo is refused by every operation.
    ASSERT_EQ(m_pAccess->_bInitCurrentRecord(), 1);
    m_pError->Reset();
    EXPECT_EQ(m_pAccess->bGetBLOB(3, &v), 0);
    EXPECT_EQ(m_pError->nGetUserErrorCode(), static_cast<unsigned int>(ZTERR_COLUMN_INDEX));
    EXPECT_EQ(m_pAccess->bGetBLOB(0, nullptr), 0);
    // The memo of the current record takes the value and gives it back.
    CAny clText;
    clText.__SetType(TQTYPE_PSTRW, 0);
    clText.pclGetTraitement()->SetValue(L"memo \u00e9", 6 * sizeof(wchar_t));
    EXPECT_EQ(m_pAccess->bSetBLOB(0, &clText), 1) << Narrow(m_pError->pszGetError());
    CAny clBack;
    ASSERT_EQ(m_pAccess->bGetBLOB(0, &clBack), 1);
    const wchar_t* pszBack = nullptr;
    ASSERT_LE(clBack.__nCastTo(TQTYPE_PSTRW, nullptr, 1), 99);
    clBack.pclGetTraitement()->nGetPCWSTR(&pszBack);
    EXPECT_EQ(std::wstring(pszBack != nullptr ? pszBack : L""), L"memo \u00e9");
    EXPECT_EQ(m_pAccess->bSetBLOB(0, nullptr), 0);
}
