// The data access's adds, modifies and deletes on the private server: what
// another connection reads back, the refusals named (duplicate, NULL, lock
// time-out) with nothing changed, automatic identifiers taken from the
// server, and the refusals made before any SQL.
#include "access/driver/NAItemDescription.h"
#include "access/statement/NAColumn.h"
#include "access/statement/NARecord.h"
#include "access/statement/NARecordCache.h"
#include "access/statement/NARecordValue.h"
#include "access/statement/NATableCache.h"
#include "access/table/NAIDAuto.h"
#include "common/platform/MyModuleInfo.h"
#include "common/platform/XError.h"
#include "common/text/XYStringConcat.h"
#include "tests/support/ClientLibrary.h"
#include "tests/support/DuplicateCases.h"
#include "tests/support/StatementServer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr eNA_LOCKTYPE kNoLock = static_cast<eNA_LOCKTYPE>(0);

// The test data access with the query-source states of a data access.
class CWriteAccess : public CTestDataAccess {
public:
    using CTestDataAccess::CTestDataAccess;
    void AsQueryWithoutCorrection()
    {
        m_bSourceIsQuery = 1;
        m_eQueryMode = QM_WITHOUT_CORRECTION;
    }
    void SetNotifyOptions(int n) { m_nNotifyOptions = n; }
};

class WriteServer : public StatementServerTest {
protected:
    WriteServer() : StatementServerTest("zt40write") {}

    // w: id key, u1 unique (column 2), a text, u2 nullable unique
    // (column 4), a composite unique key over ca and cb.
    CWriteAccess* Writable(CMySQLConnection* pCnx)
    {
        EXPECT_TRUE(Admin("CREATE TABLE w (id INT NOT NULL PRIMARY KEY, u1 INT NOT NULL UNIQUE, txt VARCHAR(40) NULL, "
                          "u2 INT NULL UNIQUE, ca INT NULL, cb INT NULL, UNIQUE KEY kc (ca, cb))"));
        STable* p = NewTable(pCnx, L"w");
        Both(p, L"id", NA_IT_I4, 4, CTestTable::UNIQUE | CNAItemDescription::KF_PRIMARY, false);
        Both(p, L"u1", NA_IT_I4, 4, CTestTable::UNIQUE, false);
        Both(p, L"txt", NA_IT_TEXTE, 40, 0, true);
        Both(p, L"u2", NA_IT_I4, 4, CTestTable::UNIQUE, true);
        Both(p, L"ca", NA_IT_I4, 4, 0, true);
        Both(p, L"cb", NA_IT_I4, 4, 0, true);
        p->pHost->AddComposite(L"kc", CTestTable::UNIQUE, {L"ca", L"cb"});
        p->pDatabase->AddComposite(L"kc", CTestTable::UNIQUE, {L"ca", L"cb"});
        (*p->pHost)->UpdateRecordSize();
        (*p->pDatabase)->UpdateRecordSize();
        CWriteAccess* pAccess = new CWriteAccess(p->pHost->Get(), pCnx, m_pError);
        m_tabAccess.push_back(pAccess);
        EXPECT_TRUE(pAccess->Open(p->pDatabase->Get())) << ErrorText();
        return pAccess;
    }
    // The whole table as the server has it, in key order.
    Rows Table()
    {
        return List("SELECT CONCAT_WS('/', id, u1, IFNULL(txt, 'NULL'), IFNULL(u2, 'NULL'), IFNULL(ca, 'NULL'), "
                    "IFNULL(cb, 'NULL')) FROM w ORDER BY id");
    }
    void Fill(CNADataAccess* p, int nId, int nU1, const std::wstring& strText, int nU2)
    {
        Set(p, L"id", std::to_wstring(nId));
        Set(p, L"u1", std::to_wstring(nU1));
        Set(p, L"txt", strText);
        if (nU2 < 0)
            SetNull(p, L"u2");
        else
            Set(p, L"u2", std::to_wstring(nU2));
        SetNull(p, L"ca");
        SetNull(p, L"cb");
    }
    std::string Item() { return m_pError->pszGetItemName() != nullptr ? Narrow(m_pError->pszGetItemName()) : ""; }
    std::string Table_() { return Narrow(m_pError->pszGetLogicalTableName()); }
};

TEST_F(WriteServer, AddModifyDeleteAreWhatTheServerReadsBack)
{
    CWriteAccess* p = Writable(Connect());
    Fill(p, 1, 10, L"first", 100);
    m_pError->Reset();
    ASSERT_EQ(p->bHAjoute(0, kNoLock), 1) << ErrorText();
    EXPECT_EQ(m_pError->dwGetErrorId(), 0u) << ErrorText();
    Fill(p, 2, 20, L"second", -1);
    ASSERT_EQ(p->bHAjoute(0, kNoLock), 1) << ErrorText();
    EXPECT_EQ(Table(), (Rows{"1/10/first/100/NULL/NULL", "2/20/second/NULL/NULL/NULL"}));
    EXPECT_NE(p->nGetOwnRecordSave(), -1) << "an add keeps the written values as the own record save";

    // The record just added is modified by its key as written, even the key.
    Set(p, L"txt", L"changed");
    Set(p, L"id", L"3");
    ASSERT_EQ(p->bHModifie(0, 0, kNoLock), 1) << ErrorText();
    EXPECT_EQ(Table(), (Rows{"1/10/first/100/NULL/NULL", "3/20/changed/NULL/NULL/NULL"}));
    // bHEcrit is the same operation; one that changes nothing succeeds.
    Set(p, L"u2", L"7");
    ASSERT_EQ(p->bHEcrit(0, 0, kNoLock), 1) << ErrorText();
    EXPECT_EQ(Table(), (Rows{"1/10/first/100/NULL/NULL", "3/20/changed/7/NULL/NULL"}));
    m_pError->Reset();
    ASSERT_EQ(p->bHModifie(0, 0, kNoLock), 1) << ErrorText();
    EXPECT_EQ(m_pError->dwGetErrorId(), 0u);
    // The record added is no browse's row: a position noted on it comes
    // back to it as written.
    EXPECT_NE(p->nGetOwnRecordSave(), -1) << "a modify of the record added keeps its written values";
    EXPECT_EQ(Table(), (Rows{"1/10/first/100/NULL/NULL", "3/20/changed/7/NULL/NULL"}));
    // Asked to, it makes them the record read.
    ASSERT_EQ(p->bHModifie(0, CNAStatement::WPF_RECORD_READ, kNoLock), 1) << ErrorText();
    EXPECT_EQ(p->nGetOwnRecordSave(), -1) << "a modify of the record read leaves no own record save";

    ASSERT_EQ(p->bHSupprime(0, kNoLock), 1) << ErrorText();
    EXPECT_EQ(Table(), (Rows{"1/10/first/100/NULL/NULL"}));
    EXPECT_EQ(p->pclGetCurrentRecordNoRef()->pclGetCurrentRecordValueNoRef()->nGetState(),
              static_cast<unsigned int>(NA_RECORDSTATE_DELETED));
    // A modify of the deleted record writes it again with its values and
    // leaves no error behind.
    m_pError->Reset();
    const int nFrom = Queries();
    ASSERT_EQ(p->bHModifie(0, 0, kNoLock), 1) << ErrorText();
    EXPECT_EQ(m_pError->dwGetErrorId(), 0u) << ErrorText();
    EXPECT_EQ(Table(), (Rows{"1/10/first/100/NULL/NULL", "3/20/changed/7/NULL/NULL"})) << testing::PrintToString(Sent(nFrom));
    p->DropStatements();
}

// A row another connection deleted is not written again: the modify fails
// with the row gone and nothing is sent after it.
TEST_F(WriteServer, AModifyOfARowDeletedElsewhereFailsWithoutAnInsert)
{
    CWriteAccess* p = Writable(Connect());
    Fill(p, 1, 10, L"a", -1);
    ASSERT_EQ(p->bHAjoute(0, kNoLock), 1) << ErrorText();
    ASSERT_TRUE(Admin("DELETE FROM w"));
    Set(p, L"txt", L"b");
    m_pError->Reset();
    const int nFrom = Queries();
    EXPECT_EQ(p->bHModifie(0, 0, kNoLock), 0);
    EXPECT_EQ(m_pError->dwGetErrorId(), static_cast<unsigned int>(ZTERR_RECORD_NOT_FOUND)) << ErrorText();
    EXPECT_EQ(m_pError->eGetErrorType(), NA_ERRORTYPE_ROWGONE);
    for (const std::string& s : Sent(nFrom))
        EXPECT_NE(s.compare(0, 6, "INSERT"), 0) << s;
    EXPECT_EQ(Table(), Rows{});
    p->DropStatements();
}

class WriteDuplicates : public WriteServer, public testing::WithParamInterface<SDuplicateCase> {};

TEST_P(WriteDuplicates, TheRefusalNamesTheItemAndChangesNothing)
{
    const SDuplicateCase& c = GetParam();
    CWriteAccess* p = Writable(Connect());
    ASSERT_TRUE(Admin("INSERT INTO w VALUES (1, 10, 'one', 100, 5, 6)"));
    Fill(p, 2, 20, L"two", 200);
    ASSERT_EQ(p->bHAjoute(0, kNoLock), 1) << ErrorText();
    const Rows tabBefore = Table();
    const int nOwn = p->nGetOwnRecordSave();
    if (!c.bModify)
        Set(p, L"id", L"3");
    Set(p, L"u1", std::to_wstring(c.nU1));
    if (c.nU2 < 0)
        SetNull(p, L"u2");
    else
        Set(p, L"u2", std::to_wstring(c.nU2));
    if (c.bComposite) {
        Set(p, L"ca", L"5");
        Set(p, L"cb", L"6");
    }
    m_pError->Reset();
    const int bResult = c.bModify ? p->bHModifie(0, 0, kNoLock) : p->bHAjoute(0, kNoLock);
    EXPECT_EQ(bResult, 0);
    EXPECT_EQ(m_pError->dwGetDataBaseErrorCode(), 1062u) << ErrorText();
    EXPECT_EQ(m_pError->eGetErrorType(), NA_ERRORTYPE_DUPLICATE);
    EXPECT_EQ(Item(), c.pszItem) << ErrorText();
    EXPECT_EQ(Table_(), "w");
    EXPECT_EQ(Table(), tabBefore);
    EXPECT_EQ(p->nGetOwnRecordSave(), nOwn);
    // The one-column test agrees, and leaves the error as it is.
    CNAColumn* pColumn = p->pclGetCurrentRecordNoRef()->pclGetColumnNoRef(Wide(c.pszItem).c_str());
    ASSERT_NE(pColumn, nullptr);
    if (!pColumn->bIsComposedKey()) {
        EXPECT_EQ(p->bIsDuplicateItem(!c.bModify, pColumn), 1);
        EXPECT_EQ(m_pError->dwGetDataBaseErrorCode(), 1062u);
        CNAColumn* pU2 = p->pclGetCurrentRecordNoRef()->pclGetColumnNoRef(L"u2");
        EXPECT_EQ(p->bIsDuplicateItem(!c.bModify, pU2), c.pszItem == std::string("u2") ? 1 : 0);
    }
    p->DropStatements();
}

INSTANTIATE_TEST_SUITE_P(Items, WriteDuplicates, testing::ValuesIn(kDuplicateCases), DuplicateCaseName);

TEST_F(WriteServer, AnUndefinedNotNullItemIsNamed)
{
    CWriteAccess* p = Writable(Connect());
    Set(p, L"id", L"1");
    m_pError->Reset();
    EXPECT_EQ(p->bHAjoute(0, kNoLock), 0);
    EXPECT_EQ(m_pError->eGetErrorType(), NA_ERRORTYPE_NULLREFUSED) << ErrorText();
    EXPECT_EQ(Item(), "u1") << ErrorText();
    EXPECT_EQ(Table(), Rows{});
    p->DropStatements();
}

TEST_F(WriteServer, ARowLockedElsewhereTimesOut)
{
    CWriteAccess* p = Writable(Connect());
    Fill(p, 1, 10, L"a", -1);
    ASSERT_EQ(p->bHAjoute(0, kNoLock), 1) << ErrorText();
    CClientLibrary clHolder;
    std::string strError;
    ASSERT_TRUE(clHolder.bConnect(false, strError)) << strError;
    ASSERT_TRUE(clHolder.bHoldRows("SELECT id FROM `" + m_strDatabase + "`.w WHERE id = 1", strError)) << strError;
    const int nOwn = p->nGetOwnRecordSave();
    Set(p, L"txt", L"b");
    m_pError->Reset();
    EXPECT_EQ(p->bHModifie(0, 0, kNoLock), 0);
    EXPECT_EQ(m_pError->eGetErrorType(), NA_ERRORTYPE_LOCKTIMEOUT) << ErrorText();
    EXPECT_EQ(m_pError->dwGetDataBaseErrorCode(), 1205u);
    EXPECT_EQ(p->nGetOwnRecordSave(), nOwn);
    ASSERT_TRUE(clHolder.bExecute("ROLLBACK", strError)) << strError;
    EXPECT_EQ(Table(), Rows{"1/10/a/NULL/NULL/NULL"});
    p->DropStatements();
}

// Refusals before any SQL: a query run as written, a record number but 0.
TEST_F(WriteServer, RefusalsSendNothing)
{
    CWriteAccess* p = Writable(Connect());
    Fill(p, 1, 10, L"a", -1);
    ASSERT_EQ(p->bHAjoute(0, kNoLock), 1) << ErrorText();
    int nFrom = Queries();
    m_pError->Reset();
    EXPECT_EQ(p->bHModifie(5, 0, kNoLock), 0);
    EXPECT_EQ(m_pError->dwGetErrorId(), static_cast<unsigned int>(ZTERR_RECORD_NUMBER));
    m_pError->Reset();
    EXPECT_EQ(p->bHSupprime(-1, kNoLock), 0);
    EXPECT_EQ(m_pError->dwGetErrorId(), static_cast<unsigned int>(ZTERR_RECORD_NUMBER));
    EXPECT_EQ(Sent(nFrom), Rows{});

    p->AsQueryWithoutCorrection();
    nFrom = Queries();
    for (int i = 0; i < 3; i++) {
        SCOPED_TRACE(i);
        m_pError->Reset();
        const int bResult = i == 0 ? p->bHAjoute(0, kNoLock) : i == 1 ? p->bHModifie(0, 0, kNoLock)
                                                                       : p->bHSupprime(0, kNoLock);
        EXPECT_EQ(bResult, 0);
        EXPECT_EQ(m_pError->dwGetErrorId(), static_cast<unsigned int>(ZTERR_WITHOUT_CORRECTION)) << ErrorText();
        EXPECT_NE(ErrorText().find("3.16"), std::string::npos) << ErrorText();
    }
    EXPECT_EQ(Sent(nFrom), Rows{});
    EXPECT_EQ(Table(), Rows{"1/10/a/NULL/NULL/NULL"});
    p->DropStatements();
}

// ---- Automatic identifiers --------------------------------------------------------------------------------------

// The data access making the driver's own automatic-identifier object.
class CRealIdAccess : public CTestDataAccess {
public:
    using CTestDataAccess::CTestDataAccess;
    CNAIDAuto* _pclAllocIDAuto() override { return CNADataAccess::_pclAllocIDAuto(); }
};

class WriteAutoId : public WriteServer {
protected:
    CRealIdAccess* Counter(CMySQLConnection* pCnx)
    {
        EXPECT_TRUE(Admin("CREATE TABLE a (id BIGINT NOT NULL AUTO_INCREMENT PRIMARY KEY, v INT NULL)"));
        STable* p = NewTable(pCnx, L"a");
        Both(p, L"id", NA_IT_IDAUTO, 8, CTestTable::UNIQUE | CNAItemDescription::KF_PRIMARY, false);
        Both(p, L"v", NA_IT_I4, 4, 0, true);
        (*p->pHost)->UpdateRecordSize();
        (*p->pDatabase)->UpdateRecordSize();
        CRealIdAccess* pAccess = new CRealIdAccess(p->pHost->Get(), pCnx, m_pError);
        m_tabAccess.push_back(pAccess);
        EXPECT_TRUE(pAccess->Open(p->pDatabase->Get())) << ErrorText();
        return pAccess;
    }
};

TEST_F(WriteAutoId, SuccessiveAddsTakeTheServersValues)
{
    CTestDataAccess* p = Counter(Connect());
    ASSERT_TRUE(Admin("ALTER TABLE a AUTO_INCREMENT = 41"));
    for (int i = 0; i < 3; i++) {
        SCOPED_TRACE(i);
        Set(p, L"v", std::to_wstring(i));
        ASSERT_EQ(p->bHAjoute(0, kNoLock), 1) << ErrorText();
        EXPECT_EQ(Value(p, L"id"), std::to_string(41 + i));
    }
    EXPECT_EQ(List("SELECT CONCAT(id, '/', v) FROM a ORDER BY id"), (Rows{"41/0", "42/1", "43/2"}));
    // The own record save holds the value the server gave.
    CNAColumn* pId = p->pclGetCurrentRecordNoRef()->pclGetColumnNoRef(L"id");
    ASSERT_NE(pId, nullptr);
    ASSERT_TRUE(p->bRestoreOriginalRecordSave(p->nGetOwnRecordSave()));
    CAny clOriginal;
    ASSERT_EQ(pId->bGetOriginalValue(&clOriginal, 0), 1);
    long long llId = 0;
    ASSERT_EQ(clOriginal.nGetINT_64(&llId), 0);
    EXPECT_EQ(llId, 43);
    // A modify finds the row by that value.
    Set(p, L"v", L"9");
    ASSERT_EQ(p->bHModifie(0, 0, kNoLock), 1) << ErrorText();
    EXPECT_EQ(First("SELECT v FROM a WHERE id = 43"), "9");
    p->DropStatements();
}

TEST_F(WriteAutoId, TheTextsAskTheMaximumOfTheQuotedColumn)
{
    CMySQLConnection* pCnx = Connect();
    ASSERT_TRUE(Admin("CREATE TABLE `we``ird` (`i``d` INT NOT NULL PRIMARY KEY)"));
    STable* pTable = NewTable(pCnx, L"we`ird");
    Both(pTable, L"i`d", NA_IT_I4, 4, CTestTable::UNIQUE | CNAItemDescription::KF_PRIMARY, false);
    CTestDataAccess* pWeird = Access(pTable, pCnx);
    CTestDataAccess* pPlain = Counter(pCnx);
    struct SCase {
        CTestDataAccess* p;
        const wchar_t* pszColumn;
        const char* pszNext;
        const char* pszMax;
    } aCase[] = {
        {pPlain, L"id", "SELECT MAX(`id`)+1 FROM `a`", "SELECT MAX(`id`) FROM `a`"},
        {pWeird, L"i`d", "SELECT MAX(`i``d`)+1 FROM `we``ird`", "SELECT MAX(`i``d`) FROM `we``ird`"},
    };
    CNAIDAuto* pAuto = new CNAIDAuto;
    pAuto->AddRef();
    for (const SCase& c : aCase) {
        SCOPED_TRACE(c.pszNext);
        CNAColumn* pColumn = c.p->pclGetCurrentRecordNoRef()->pclGetColumnNoRef(c.pszColumn);
        ASSERT_NE(pColumn, nullptr);
        CXYStringConcat<wchar_t> clNext, clMax;
        EXPECT_EQ(pAuto->_bBuildQueryGetNextValue(&clNext, c.p, pColumn), 1);
        EXPECT_EQ(pAuto->_bBuildQueryGetMaxCurrentValue(&clMax, c.p, pColumn), 1);
        EXPECT_EQ(Narrow(clNext.pszGet()), c.pszNext);
        EXPECT_EQ(Narrow(clMax.pszGet()), c.pszMax);
        // The text is appended to what the buffer holds.
        pAuto->_bBuildQueryGetMaxCurrentValue(&clMax, c.p, pColumn);
        EXPECT_EQ(Narrow(clMax.pszGet()), std::string(c.pszMax) + c.pszMax);
    }
    // The server agrees with the text: it runs.
    EXPECT_EQ(First("SELECT IFNULL(MAX(`i``d`)+1, 'NULL') FROM `we``ird`"), "NULL");
    EXPECT_EQ(pAuto->nRelease(), 0u);
    pWeird->DropStatements();
    pPlain->DropStatements();
}

TEST_F(WriteAutoId, WithoutSuchAColumnNothingIsTouched)
{
    CWriteAccess* p = Writable(Connect());
    Fill(p, 1, 10, L"a", -1);
    const std::string strBefore = Value(p, L"id") + Value(p, L"u1") + Value(p, L"txt");
    const int nFrom = Queries();
    EXPECT_EQ(p->bSetNewAutoId(), 1);
    EXPECT_EQ(Value(p, L"id") + Value(p, L"u1") + Value(p, L"txt"), strBefore);
    EXPECT_EQ(Sent(nFrom), Rows{});
    INAItemDescription* pi = p->pclGetIdAutoItem();
    EXPECT_EQ(pi, nullptr);
    p->DropStatements();
}

TEST_F(WriteAutoId, TheKeyOfTheIdentifierIsFound)
{
    CTestDataAccess* p = Counter(Connect());
    INAItemDescription* pi = p->pclGetIdAutoItem();
    ASSERT_NE(pi, nullptr);
    EXPECT_STREQ(pi->pszGetName(), L"id");
    pi->nExternalRelease();
    p->DropStatements();
}

} // namespace

namespace {

// A CREATE TABLE refused for a text column beyond the server's row size is
// sent once more with the large-text type; the refusal is then cleared.
TEST_F(WriteServer, ARefusedCreationIsRetriedWithLargeTexts)
{
    CMySQLConnection* pCnx = Connect();
    STable* pTable = NewTable(pCnx, L"big");
    Both(pTable, L"id", NA_IT_I4, 4, CTestTable::UNIQUE | CNAItemDescription::KF_PRIMARY, false);
    Both(pTable, L"u", NA_IT_UNICODE, 80000, 0, true);
    Both(pTable, L"s", NA_IT_TEXTE, 10, 0, true);
    CTestDataAccess* p = Access(pTable, pCnx);
    m_pError->Reset();
    const int nFrom = Queries();
    ASSERT_EQ(p->_bOperation(p->Statement(L""), CNAStatement::QT_CREATE, 0, nullptr), 1) << ErrorText();
    EXPECT_EQ(m_pError->dwGetErrorId(), 0u) << ErrorText();
    Rows tabCreates;
    for (const std::string& s : Sent(nFrom))
        if (s.compare(0, 12, "CREATE TABLE") == 0)
            tabCreates.push_back(s);
    ASSERT_EQ(tabCreates.size(), 2u) << testing::PrintToString(tabCreates);
    // u's length in characters is beyond the 65,535 bytes of a row.
    std::string strRetry = tabCreates[0];
    const size_t nLong = strRetry.find("`u` VARCHAR(");
    ASSERT_NE(nLong, std::string::npos) << strRetry;
    const size_t nEnd = strRetry.find(')', nLong);
    EXPECT_GT(std::stoi(strRetry.substr(nLong + 12, nEnd - nLong - 12)), 32767) << strRetry;
    strRetry.replace(nLong + 4, nEnd + 1 - nLong - 4, "LONGTEXT");
    EXPECT_EQ(tabCreates[1], strRetry);
    EXPECT_EQ(List("SELECT CONCAT(COLUMN_NAME, ':', DATA_TYPE) FROM information_schema.COLUMNS WHERE TABLE_SCHEMA = "
                   "DATABASE() AND TABLE_NAME = 'big' ORDER BY ORDINAL_POSITION"),
              (Rows{"id:int", "u:longtext", "s:varchar"}));
    p->DropStatements();
}

} // namespace

namespace {

class WriteIdValues : public WriteAutoId {
protected:
    // The value read, as "type:value" ("NULL" for NULL).
    static std::string Read(CNAIDAuto* pAuto, CNADataAccess* p, bool bNext, CNAError* pError, int* pbResult)
    {
        CNAColumn* pColumn = p->pclGetCurrentRecordNoRef()->pclGetColumnNoRef(L"id");
        CAny clValue;
        *pbResult = bNext ? pAuto->bGetNextValue(p, pColumn, pError, &clValue)
                          : pAuto->bGetMaxCurrentValue(p, pColumn, pError, &clValue);
        if (clValue.bIsNull())
            return "NULL";
        long long ll = -1;
        clValue.nGetINT_64(&ll);
        return std::to_string(clValue.nGetTypeCode()) + ":" + std::to_string(ll);
    }
};

TEST_F(WriteIdValues, NextAndMaximumAskTheServerEachTime)
{
    CRealIdAccess* p = Counter(Connect());
    CNAIDAuto* pAuto = p->pclGetIDAuto();
    ASSERT_NE(pAuto, nullptr);
    int bResult = 0;
    int nFrom = Queries();
    EXPECT_EQ(Read(pAuto, p, true, m_pError, &bResult), "9:1") << ErrorText();
    EXPECT_EQ(bResult, 1);
    EXPECT_EQ(Read(pAuto, p, false, m_pError, &bResult), "NULL");
    EXPECT_EQ(bResult, 1);
    ASSERT_TRUE(Admin("INSERT INTO a VALUES (41, 0)"));
    EXPECT_EQ(Read(pAuto, p, true, m_pError, &bResult).substr(1), ":42");
    EXPECT_EQ(Read(pAuto, p, false, m_pError, &bResult).substr(1), ":41");
    const Rows tabSent = Sent(nFrom);
    const Rows tabExpected = {"SELECT MAX(`id`)+1 FROM `a`", "SELECT MAX(`id`) FROM `a`", "SELECT MAX(`id`)+1 FROM `a`",
                              "SELECT MAX(`id`) FROM `a`"};
    EXPECT_EQ(tabSent, tabExpected);

    // A refusal: false with the message naming the table and the item
    // ahead of the server's.
    ASSERT_TRUE(Admin("DROP TABLE a"));
    m_pError->Reset();
    Read(pAuto, p, true, m_pError, &bResult);
    EXPECT_EQ(bResult, 0);
    EXPECT_EQ(m_pError->dwGetDataBaseErrorCode(), 1146u) << ErrorText();
    const std::wstring strUser = m_pError->pclGetXError()->pszGetUserMessage();
    EXPECT_LT(strUser.find(L"id"), strUser.find(L"doesn't exist")) << Narrow(strUser.c_str());
    pAuto->nRelease();
    p->DropStatements();
}

// A query's column is asked of the table and column it comes from.
TEST_F(WriteIdValues, AQuerySourceNamesItsSourceColumnAndTable)
{
    CMySQLConnection* pCnx = Connect();
    CTestTable clHost(m_pError, pCnx, L"q");
    clHost.Add(L"ident", NA_IT_IDAUTO, 8, CTestTable::UNIQUE | CNAItemDescription::KF_PRIMARY, false, L"we`ird",
               L"i`d");
    clHost->UpdateRecordSize();
    CTestDataAccess* p = new CTestDataAccess(clHost.Get(), pCnx, m_pError);
    m_tabAccess.push_back(p);
    ASSERT_TRUE(p->Open(nullptr)) << ErrorText();
    p->SetQueryText(L"SELECT `i``d` AS ident FROM `we``ird`");
    CNAIDAuto* pAuto = new CNAIDAuto;
    pAuto->AddRef();
    CXYStringConcat<wchar_t> clText;
    EXPECT_EQ(pAuto->_bBuildQueryGetNextValue(&clText, p, p->pclGetCurrentRecordNoRef()->pclGetColumnNoRef(L"ident")),
              1);
    EXPECT_EQ(Narrow(clText.pszGet()), "SELECT MAX(`i``d`)+1 FROM `we``ird`");
    EXPECT_EQ(pAuto->nRelease(), 0u);
    p->DropStatements();
}

// Flag 0x200 gives the new record MAX+1 instead of the server's counter.
TEST_F(WriteIdValues, ANewIdentifierIsDrawnWhenAskedFor)
{
    CRealIdAccess* p = Counter(Connect());
    ASSERT_TRUE(Admin("INSERT INTO a VALUES (41, 0)"));
    ASSERT_TRUE(Admin("ALTER TABLE a AUTO_INCREMENT = 100"));
    Set(p, L"v", L"1");
    ASSERT_EQ(p->bHAjoute(CNAStatement::WPF_AUTOID_NEW, kNoLock), 1) << ErrorText();
    EXPECT_EQ(Value(p, L"id"), "42");
    Set(p, L"v", L"2");
    ASSERT_EQ(p->bHAjoute(0, kNoLock), 1) << ErrorText();
    EXPECT_EQ(Value(p, L"id"), "100");
    EXPECT_EQ(List("SELECT CONCAT(id, '/', v) FROM a ORDER BY id"), (Rows{"41/0", "42/1", "100/2"}));
    p->DropStatements();
}

} // namespace

namespace {

// The complete table cache takes each write; under options 2 nobody hears.
TEST_F(WriteServer, TheCompleteTableCacheTakesEveryWrite)
{
    for (const int nOptions : {1, 2}) {
        SCOPED_TRACE(nOptions);
        CWriteAccess* p = Writable(Connect());
        ASSERT_TRUE(Admin("INSERT INTO w (id, u1) VALUES (1, 10), (2, 20), (3, 30)"));
        p->SetNotifyOptions(nOptions);
        const unsigned int kTableCache = CNAStatement::WPF_TABLE_CACHE;
        ASSERT_EQ(p->bRead(L"id", NA_PARSE_FIRST, kTableCache), 1) << ErrorText();
        ASSERT_EQ(p->bRead(L"u1", NA_PARSE_FIRST, kTableCache), 1) << ErrorText();
        CNATableCache* pCache = p->pclGetTableCacheNoRef();
        ASSERT_NE(pCache, nullptr);
        ASSERT_EQ(pCache->llGetRecordNbr(), 3);
        const long long nTaken = nOptions == 1 ? 1 : 0;
        Fill(p, 4, 40, L"d", -1);
        ASSERT_EQ(p->bHAjoute(0, kNoLock), 1) << ErrorText();
        EXPECT_EQ(pCache->llGetRecordNbr(), 3 + nTaken);
        Set(p, L"txt", L"e");
        ASSERT_EQ(p->bHModifie(0, 0, kNoLock), 1) << ErrorText();
        EXPECT_EQ(pCache->llGetRecordNbr(), 3 + nTaken);
        ASSERT_EQ(p->bHSupprime(0, kNoLock), 1) << ErrorText();
        EXPECT_EQ(pCache->llGetRecordNbr(), 3 + nTaken);
        EXPECT_EQ(pCache->llGetRecordNbrActive(), 3);
        EXPECT_EQ(Table(), (Rows{"1/10/NULL/NULL/NULL/NULL", "2/20/NULL/NULL/NULL/NULL", "3/30/NULL/NULL/NULL/NULL"}));
        p->DropStatements();
        ASSERT_TRUE(Admin("DROP TABLE w"));
    }
}

// A browse with a record cache hears of an add made as the record read;
// under options 2 it does not.
TEST_F(WriteServer, AnotherBrowseHearsOfAnAddUnlessToldNot)
{
    for (const int nOptions : {1, 2}) {
        SCOPED_TRACE(nOptions);
        CWriteAccess* p = Writable(Connect());
        ASSERT_TRUE(Admin("INSERT INTO w (id, u1) VALUES (1, 10), (2, 20), (3, 30)"));
        p->SetNotifyOptions(nOptions);
        p->m_bRecordCache = true;
        ASSERT_EQ(p->bRead(L"id", NA_PARSE_FIRST), 1) << ErrorText();
        while (p->bRead(L"id", NA_PARSE_NEXT) && p->Statement(L"id")->pclGetRecordCacheNoRef() != nullptr &&
               !p->Statement(L"id")->bCacheCompleted()) {
        }
        CNAStatement* pBrowse = p->Statement(L"id");
        ASSERT_NE(pBrowse->pclGetRecordCacheNoRef(), nullptr);
        const int nCount = pBrowse->pclGetRecordCacheNoRef()->nGetCount();
        ASSERT_EQ(nCount, 3);
        Fill(p, 4, 40, L"d", -1);
        ASSERT_EQ(p->bHAjoute(CNAStatement::WPF_RECORD_READ, kNoLock), 1) << ErrorText();
        EXPECT_EQ(pBrowse->pclGetRecordCacheNoRef()->nGetCount(), nOptions == 1 ? 4 : 3);
        EXPECT_EQ(pBrowse->eParseNeedUpdate() != CNAStatement::UPDATE_NONE, nOptions == 1);
        p->DropStatements();
        ASSERT_TRUE(Admin("DROP TABLE w"));
    }
}

} // namespace

namespace {

// Texts beyond code page 1252, every byte in a binary, memos set through
// the data access and NULLs: each add and modify is what another
// connection reads.
TEST_F(WriteServer, ValuesOfEveryKindTravelBothWays)
{
    ASSERT_TRUE(Admin("CREATE TABLE r (id INT NOT NULL PRIMARY KEY, t VARCHAR(40) NULL, b VARBINARY(256) NULL, "
                      "d DOUBLE NULL, m LONGTEXT NULL, mb LONGBLOB NULL) CHARACTER SET utf8mb4"));
    CMySQLConnection* pCnx = Connect();
    STable* pTable = NewTable(pCnx, L"r");
    Both(pTable, L"id", NA_IT_I4, 4, CTestTable::UNIQUE | CNAItemDescription::KF_PRIMARY, false);
    Both(pTable, L"t", NA_IT_UNICODE, 40, 0, true);
    // A binary item's size counts its two-byte length.
    Both(pTable, L"b", NA_IT_BINAIRE, 258, 0, true);
    Both(pTable, L"d", NA_IT_R8, 8, 0, true);
    Both(pTable, L"m", NA_IT_MEMOUNICODE, 0, 0, true);
    Both(pTable, L"mb", NA_IT_MEMOBINAIRE, 0, 0, true);
    CTestDataAccess* p = Access(pTable, pCnx);
    const std::wstring strText = L"\u00E9\u20AC\u03A9\u4E2D\U0001F600";
    const std::string strAll = AllBytes();
    CAny clBinary;
    clBinary.__SetType(TQTYPE_BIN, 0);
    clBinary.pclGetTraitement()->SetValue(strAll.data(), static_cast<unsigned>(strAll.size()));
    CAny clMemo;
    clMemo.__SetType(TQTYPE_DSTRW, 0);
    const std::wstring strMemo = strText + L" memo";
    clMemo.pclGetTraitement()->SetValue(strMemo.c_str(), static_cast<unsigned>(strMemo.size() * sizeof(wchar_t)));

    Set(p, L"id", L"1");
    Set(p, L"t", strText);
    ASSERT_EQ(p->pclGetCurrentRecordNoRef()->pclGetColumnNoRef(L"b")->bSetValue(&clBinary, 0), 1);
    Set(p, L"d", L"-2.5");
    ASSERT_EQ(p->bSetBLOB(0, &clMemo), 1) << ErrorText();
    ASSERT_EQ(p->bSetBLOB(1, &clBinary), 1) << ErrorText();
    ASSERT_EQ(p->bHAjoute(0, kNoLock), 1) << ErrorText();
    const std::string strExpected = HexaOf(UTF8Of(strText)) + "/" + HexaOf(strAll) + "/-2.5/" +
                                    HexaOf(UTF8Of(strMemo)) + "/" + HexaOf(strAll);
    auto Row = [&] {
        return First("SELECT CONCAT_WS('/', IFNULL(HEX(t), 'NULL'), IFNULL(HEX(b), 'NULL'), IFNULL(d, 'NULL'), "
                     "IFNULL(HEX(m), 'NULL'), IFNULL(HEX(mb), 'NULL')) FROM r WHERE id = 1");
    };
    EXPECT_EQ(Row(), strExpected);

    // Everything but the key becomes NULL, then the text comes back.
    for (const wchar_t* psz : {L"t", L"b", L"d"})
        SetNull(p, psz);
    CAny clNull;
    clNull.__SetType(TQTYPE_DSTRW, 0);
    clNull.SetNullFlag(true);
    ASSERT_EQ(p->bSetBLOB(0, &clNull), 1) << ErrorText();
    ASSERT_EQ(p->bSetBLOB(1, &clNull), 1) << ErrorText();
    ASSERT_EQ(p->bHModifie(0, 0, kNoLock), 1) << ErrorText();
    EXPECT_EQ(Row(), "NULL/NULL/NULL/NULL/NULL");
    Set(p, L"t", strText);
    ASSERT_EQ(p->bHEcrit(0, 0, kNoLock), 1) << ErrorText();
    EXPECT_EQ(Row(), HexaOf(UTF8Of(strText)) + "/NULL/NULL/NULL/NULL");
    p->DropStatements();
}

} // namespace

namespace {

// A maximum asked by a text whose result has no row.
class CNoRowIDAuto : public CNAIDAuto {
public:
    int _bBuildQueryGetMaxCurrentValue(CXYStringConcat<wchar_t>* pclText, CNADataAccess* pclAccess,
                                       CNAColumn* pclColumn) override
    {
        CNAIDAuto::_bBuildQueryGetMaxCurrentValue(pclText, pclAccess, pclColumn);
        pclText->Add(L" HAVING 0");
        return 1;
    }
    bool bNoneOpen() const { return m_pclNextValueQuery == nullptr && m_pclMaxCurrentValueQuery == nullptr; }
};

TEST_F(WriteIdValues, AMaximumWithoutARowIsUserError59)
{
    CRealIdAccess* p = Counter(Connect());
    CNoRowIDAuto* pAuto = new CNoRowIDAuto;
    pAuto->AddRef();
    CNAColumn* pColumn = p->pclGetCurrentRecordNoRef()->pclGetColumnNoRef(L"id");
    CAny clValue;
    m_pError->Reset();
    EXPECT_EQ(pAuto->bGetMaxCurrentValue(p, pColumn, m_pError, &clValue), 0);
    EXPECT_EQ(m_pError->dwGetErrorId(), static_cast<unsigned int>(ZTERR_NO_ROW)) << ErrorText();
    EXPECT_STREQ(m_pError->pszGetLogicalTableName(), L"a");
    EXPECT_STREQ(m_pError->pszGetItemName(), L"id");
    EXPECT_NE(std::wstring(m_pError->pclGetXError()->pszGetDebugMessage()).find(L"=14.1\r\n"), std::wstring::npos)
        << ErrorText();
    EXPECT_TRUE(pAuto->bNoneOpen()) << "the query is closed after a result without a row";
    // Without an error object the failure stays silent.
    m_pError->Reset();
    EXPECT_EQ(pAuto->bGetMaxCurrentValue(p, pColumn, nullptr, &clValue), 0);
    EXPECT_EQ(m_pError->dwGetErrorId(), 0u);
    EXPECT_EQ(pAuto->nRelease(), 0u);
    p->DropStatements();
}

} // namespace

namespace {

// The host's description need not know the key: the database's unique
// item names the duplicate.
TEST_F(WriteServer, TheDatabasesUniqueItemNamesADuplicate)
{
    ASSERT_TRUE(Admin("CREATE TABLE h (id INT NOT NULL PRIMARY KEY, u INT NULL UNIQUE)"));
    ASSERT_TRUE(Admin("INSERT INTO h VALUES (1, 5)"));
    CMySQLConnection* pCnx = Connect();
    STable* pTable = NewTable(pCnx, L"h");
    Both(pTable, L"id", NA_IT_I4, 4, CTestTable::UNIQUE | CNAItemDescription::KF_PRIMARY, false);
    pTable->pHost->Add(L"u", NA_IT_I4, 4, 0, true);
    pTable->pDatabase->Add(L"u", NA_IT_I4, 4, CTestTable::UNIQUE, true);
    CTestDataAccess* p = Access(pTable, pCnx);
    Set(p, L"id", L"2");
    Set(p, L"u", L"5");
    m_pError->Reset();
    EXPECT_EQ(p->bHAjoute(0, kNoLock), 0);
    EXPECT_EQ(m_pError->eGetErrorType(), NA_ERRORTYPE_DUPLICATE);
    EXPECT_EQ(Item(), "u") << ErrorText();
    EXPECT_EQ(List("SELECT CONCAT(id, '/', u) FROM h ORDER BY id"), Rows{"1/5"});
    p->DropStatements();
}

} // namespace
