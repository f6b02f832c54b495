// Writes of the statement on the private server: the INSERT, UPDATE and
// DELETE texts, identities coming back, values that need escaping, the row
// changed behind the statement's back, and what the other statements of the
// data access make of a write.
#include "access/sql/NACommand.h"
#include "access/statement/NAColumn.h"
#include "common/platform/MyModuleInfo.h"
#include "common/values/Any.h"
#include "mysql/MySQLStatementSQL.h"
#include "tests/support/StatementServer.h"
#include "tests/support/ValueCells.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class StatementWrite : public StatementServerTest {
protected:
    StatementWrite() : StatementServerTest("zt_write") {}
    CTestDataAccess* Open(const std::string& strTail = "", const std::wstring& strOptions = L"")
    {
        EXPECT_TRUE(Admin("CREATE TABLE w (id INT NOT NULL AUTO_INCREMENT PRIMARY KEY, s VARCHAR(300) NULL, "
                          "x INT NULL)" + strTail));
        CMySQLConnection* pCnx = Connect(strOptions);
        STable* p = NewTable(pCnx, L"w");
        Both(p, L"id", NA_IT_IDAUTO4, 4, CTestTable::UNIQUE | CNAItemDescription::KF_PRIMARY, false);
        Both(p, L"s", NA_IT_UNICODE, 602, 0, true);
        Both(p, L"x", NA_IT_I4, 4, 0, true);
        return Access(p, pCnx);
    }
    // The writes sent since the nth query.
    std::vector<std::string> Writes(int nFrom)
    {
        std::vector<std::string> tab;
        for (const std::string& s : Sent(nFrom))
            if (s.compare(0, 7, "SELECT ") != 0)
                tab.push_back(s);
        return tab;
    }
    int ErrorId() { return static_cast<int>(m_pError->dwGetErrorId()); }
};

TEST_F(StatementWrite, InsertTextsAndTheIdBack)
{
    CTestDataAccess* p = Open(" AUTO_INCREMENT=42");
    Set(p, L"s", L"abc");
    Set(p, L"x", L"5");
    int nFrom = Queries();
    ASSERT_EQ(p->bWrite(CNAStatement::QT_INSERT), 1) << ErrorText();
    ASSERT_EQ(Writes(nFrom), (std::vector<std::string>{"INSERT INTO `w` (`s`,`x`) VALUES ( 'abc' , 5 )"}));
    EXPECT_EQ(Value(p, L"id"), "42");
    EXPECT_EQ(First("SELECT CONCAT(id,'/',s,'/',x) FROM w"), "42/abc/5");
    // A NULL value, and an identifier the record holds, written with 0x100.
    SetNull(p, L"s");
    Set(p, L"id", L"50");
    nFrom = Queries();
    ASSERT_EQ(p->bWrite(CNAStatement::QT_INSERT, CNAStatement::WPF_AUTOID_GIVEN), 1) << ErrorText();
    EXPECT_EQ(Writes(nFrom), (std::vector<std::string>{"INSERT INTO `w` (`id`,`s`,`x`) VALUES ( 50 , NULL , 5 )"}));
    EXPECT_EQ(Value(p, L"id"), "50");
    // With 0x200 the data access draws the value.
    nFrom = Queries();
    ASSERT_EQ(p->bWrite(CNAStatement::QT_INSERT, CNAStatement::WPF_AUTOID_NEW), 1) << ErrorText();
    EXPECT_EQ(Writes(nFrom).back(), "INSERT INTO `w` (`id`,`s`,`x`) VALUES ( 51 , NULL , 5 )");
    EXPECT_EQ(p->m_pclTestIDAuto->m_nNextValues, 1);
    EXPECT_EQ(First("SELECT COUNT(*) FROM w"), "3");
}

TEST_F(StatementWrite, AnIdentifierBeyondTheSignedRangeStaysPositive)
{
    ASSERT_TRUE(Admin("CREATE TABLE big (id BIGINT UNSIGNED NOT NULL AUTO_INCREMENT PRIMARY KEY, x INT NULL) "
                      "AUTO_INCREMENT=9223372036854775810"));
    CMySQLConnection* pCnx = Connect();
    STable* pTable = NewTable(pCnx, L"big");
    Both(pTable, L"id", NA_IT_IDAUTO, 8, CTestTable::UNIQUE | CNAItemDescription::KF_PRIMARY, false);
    Both(pTable, L"x", NA_IT_I4, 4, 0, true);
    CTestDataAccess* p = Access(pTable, pCnx);
    Set(p, L"x", L"1");
    ASSERT_EQ(p->bWrite(CNAStatement::QT_INSERT), 1) << ErrorText();
    EXPECT_EQ(First("SELECT id FROM big"), "9223372036854775810");
    // Sent as an unsigned value, which an 8-byte identifier cannot hold: the
    // record never shows it wrapped to a negative number.
    EXPECT_EQ(Value(p, L"id").find('-'), std::string::npos) << Value(p, L"id");
}

TEST_F(StatementWrite, OnlyAnAutomaticIdentifier)
{
    ASSERT_TRUE(Admin("CREATE TABLE o (id INT NOT NULL AUTO_INCREMENT PRIMARY KEY) AUTO_INCREMENT=7"));
    CMySQLConnection* pCnx = Connect();
    STable* pTable = NewTable(pCnx, L"o");
    Both(pTable, L"id", NA_IT_IDAUTO4, 4, CTestTable::UNIQUE | CNAItemDescription::KF_PRIMARY, false);
    CTestDataAccess* p = Access(pTable, pCnx);
    const int nFrom = Queries();
    ASSERT_EQ(p->bWrite(CNAStatement::QT_INSERT), 1) << ErrorText();
    EXPECT_EQ(Writes(nFrom), (std::vector<std::string>{"INSERT INTO `o` VALUES ( DEFAULT )"}));
    EXPECT_EQ(Value(p, L"id"), "7");
    EXPECT_EQ(First("SELECT COUNT(*) FROM o"), "1");
}

// A column both descriptions call an automatic identifier, which the server
// does not fill: the insert leaves the server's insert id at 0 and the
// record's identifier keeps what it held. Described as a plain integer on
// the database, the identifier is drawn by the driver and kept likewise.
TEST_F(StatementWrite, AnInsertIdOfZeroLeavesTheIdentifierAlone)
{
    ASSERT_TRUE(Admin("CREATE TABLE z (id INT NOT NULL DEFAULT 0, x INT NULL)"));
    ASSERT_TRUE(Admin("INSERT INTO z VALUES (41, 1)"));
    CMySQLConnection* pCnx = Connect();
    STable* pTable = NewTable(pCnx, L"z");
    Both(pTable, L"id", NA_IT_IDAUTO4, 4, CTestTable::UNIQUE | CNAItemDescription::KF_PRIMARY, false);
    Both(pTable, L"x", NA_IT_I4, 4, 0, true);
    CTestDataAccess* p = Access(pTable, pCnx);
    Set(p, L"id", L"77");
    Set(p, L"x", L"5");
    int nFrom = Queries();
    ASSERT_EQ(p->bWrite(CNAStatement::QT_INSERT), 1) << ErrorText();
    EXPECT_EQ(Writes(nFrom), (std::vector<std::string>{"INSERT INTO `z` (`x`) VALUES ( 5 )"}));
    EXPECT_EQ(List("SELECT CONCAT(id, '/', x) FROM z ORDER BY x"), (Rows{"41/1", "0/5"}));
    EXPECT_EQ(Value(p, L"id"), "77");

    STable* pPlain = NewTable(pCnx, L"z");
    pPlain->pHost->Add(L"id", NA_IT_IDAUTO4, 4, CTestTable::UNIQUE | CNAItemDescription::KF_PRIMARY, false);
    pPlain->pDatabase->Add(L"id", NA_IT_I4, 4, 0, false);
    Both(pPlain, L"x", NA_IT_I4, 4, 0, true);
    CTestDataAccess* pDrawn = Access(pPlain, pCnx);
    Set(pDrawn, L"x", L"6");
    nFrom = Queries();
    ASSERT_EQ(pDrawn->bWrite(CNAStatement::QT_INSERT), 1) << ErrorText();
    EXPECT_EQ(Writes(nFrom).back(), "INSERT INTO `z` (`id`,`x`) VALUES ( 42 , 6 )");
    EXPECT_EQ(First("SELECT id FROM z WHERE x = 6"), "42");
    EXPECT_EQ(Value(pDrawn, L"id"), "42");
}

// A FLOAT the host holds as an 8-byte real, a DOUBLE it holds as a 4-byte
// real, a DECIMAL finer than a double it holds as an 8-byte real: each is
// rounded on one side, and the row is found again.
TEST_F(StatementWrite, RealsHeldInAnotherSizeFindTheirRow)
{
    ASSERT_TRUE(Admin("CREATE TABLE r (f FLOAT NULL, d DOUBLE NULL, m DECIMAL(30,20) NULL, v INT NULL, KEY (v))"));
    ASSERT_TRUE(Admin("INSERT INTO r (f, d, m, v) VALUES (3.14159, 0.5, 0.5, 1), "
                      "(0.5, 0.1, 0.12345678901234567890, 2)"));
    CMySQLConnection* pCnx = Connect();
    STable* pTable = NewTable(pCnx, L"r");
    pTable->pHost->Add(L"f", NA_IT_R8, 8, 0, true);
    pTable->pDatabase->Add(L"f", NA_IT_R4, 4, 0, true);
    pTable->pHost->Add(L"d", NA_IT_R4, 4, 0, true);
    pTable->pDatabase->Add(L"d", NA_IT_R8, 8, 0, true);
    pTable->pHost->Add(L"m", NA_IT_R8, 8, 0, true);
    pTable->pDatabase->Add(L"m", NA_IT_DECIMAL, 16, 0, true);
    Both(pTable, L"v", NA_IT_I4, 4, CTestTable::DUPLICATES, true);
    CTestDataAccess* p = Access(pTable, pCnx);
    ASSERT_EQ(p->bRead(L"v", NA_PARSE_FIRST), 1) << ErrorText();
    Set(p, L"v", L"10");
    ASSERT_EQ(p->bWrite(CNAStatement::QT_UPDATE), 1) << ErrorText();
    ASSERT_EQ(p->bRead(L"v", NA_PARSE_FIRST), 1) << ErrorText();
    ASSERT_EQ(Value(p, L"v"), "2");
    Set(p, L"v", L"20");
    ASSERT_EQ(p->bWrite(CNAStatement::QT_UPDATE), 1) << ErrorText();
    EXPECT_EQ(List("SELECT v FROM r ORDER BY v"), (Rows{"10", "20"}));
}

TEST_F(StatementWrite, UpdatesFindTheRowByItsValuesAsRead)
{
    CTestDataAccess* p = Open();
    ASSERT_TRUE(Admin("INSERT INTO w (s, x) VALUES ('a', 1), ('b', 2), ('c', 3)"));
    ASSERT_EQ(p->bRead(L"id", NA_PARSE_FIRST), 1);
    ASSERT_EQ(p->bRead(L"id", NA_PARSE_NEXT), 1);
    Set(p, L"s", L"b2");
    int nFrom = Queries();
    ASSERT_EQ(p->bWrite(CNAStatement::QT_UPDATE), 1) << ErrorText();
    EXPECT_EQ(Writes(nFrom), (std::vector<std::string>{"UPDATE `w` SET `s` = 'b2' WHERE `id`=2"}));
    EXPECT_EQ(List("SELECT CONCAT(id,s) FROM w ORDER BY id"), (Rows{"1a", "2b2", "3c"}));
    // Nothing changed: nothing sent, success.
    nFrom = Queries();
    ASSERT_EQ(p->bWrite(CNAStatement::QT_UPDATE), 1) << ErrorText();
    EXPECT_TRUE(Writes(nFrom).empty());
    // The identifier changed by the host stays the one read.
    Set(p, L"id", L"9");
    Set(p, L"x", L"20");
    ASSERT_EQ(p->bWrite(CNAStatement::QT_UPDATE), 1) << ErrorText();
    EXPECT_EQ(Value(p, L"id"), "2");
    EXPECT_EQ(First("SELECT x FROM w WHERE id = 2"), "20");
}

TEST_F(StatementWrite, ARowGoneBehindTheStatementsBack)
{
    CTestDataAccess* p = Open();
    ASSERT_TRUE(Admin("INSERT INTO w (s, x) VALUES ('a', 1), ('b', 2)"));
    ASSERT_EQ(p->bRead(L"id", NA_PARSE_FIRST), 1);
    ASSERT_TRUE(Admin("DELETE FROM w WHERE id = 1"));
    Set(p, L"s", L"gone");
    m_pError->Reset();
    EXPECT_EQ(p->bWrite(CNAStatement::QT_UPDATE), 0);
    EXPECT_EQ(ErrorId(), ZTERR_RECORD_NOT_FOUND);
    EXPECT_EQ(m_pError->eGetErrorType(), NA_ERRORTYPE_ROWGONE);
    // The record as text among the debug messages, the values it holds.
    EXPECT_NE(ErrorText().find("gone"), std::string::npos) << ErrorText();
    EXPECT_EQ(Value(p, L"s"), "gone");
    EXPECT_EQ(First("SELECT COUNT(*) FROM w WHERE s = 'gone'"), "0");
}

TEST_F(StatementWrite, WritesRefused)
{
    CTestDataAccess* p = Open();
    // Nothing read yet: no row to aim at.
    m_pError->Reset();
    EXPECT_EQ(p->bWrite(CNAStatement::QT_DELETE), 0);
    EXPECT_EQ(ErrorId(), ZTERR_NO_CURRENT_RECORD);
    Set(p, L"x", L"3");
    m_pError->Reset();
    const int nFrom = Queries();
    EXPECT_EQ(p->bWrite(CNAStatement::QT_UPDATE), 0);
    EXPECT_EQ(ErrorId(), ZTERR_NO_CURRENT_RECORD);
    EXPECT_TRUE(Writes(nFrom).empty());
    // A kind the statement does not write.
    for (int eKind : {0, static_cast<int>(CNAStatement::QT_NORESULT), 7, 10}) {
        m_pError->Reset();
        CNACommand* pCommand = p->pclAllocCommand(m_pError);
        pCommand->AddRef();
        EXPECT_EQ(p->Statement(L"")->bBuildQuery(eKind, pCommand, 0), 0) << eKind;
        EXPECT_EQ(ErrorId(), ZTERR_NOT_OFFERED) << eKind;
        EXPECT_EQ(m_pError->eGetErrorType(), NA_ERRORTYPE_NOTOFFERED) << eKind;
        pCommand->nRelease();
    }
}

TEST_F(StatementWrite, ValuesThatNeedEscaping)
{
    for (const wchar_t* pszOptions : {L"", L"ZT Unicode Support=0;"}) {
        const bool bUnicode = pszOptions[0] == 0;
        CTestDataAccess* p = Open("", pszOptions);
        std::vector<std::wstring> tabValue = {L"it's", L"a\\b", L"\\'", L"''\\\\", L"\u00e9t\u00e9 \u20ac",
                                              std::wstring(256, L'x') + L"'"};
        if (bUnicode)
            tabValue.push_back(L"smile \U0001F600 \u4e2d");
        for (const std::wstring& s : tabValue) {
            Set(p, L"s", s);
            ASSERT_EQ(p->bWrite(CNAStatement::QT_INSERT), 1) << ErrorText();
            const std::string strId = Value(p, L"id");
            EXPECT_EQ(First("SELECT HEX(s) FROM w WHERE id = " + strId), HexaOf(UTF8Of(s))) << UTF8Of(s);
            // Read back through a browse, then changed in place.
            CAny a;
            a.__SetType(TQTYPE_I4, 0);
            const int nId = std::stoi(strId);
            a.pclGetTraitement()->SetValue(&nId);
            a.SetFlags(0);
            ASSERT_EQ(p->bSearch(L"id", &a, 1), 1);
            EXPECT_EQ(Value(p, L"s"), UTF8Of(s));
            Set(p, L"s", s + L"!");
            ASSERT_EQ(p->bWrite(CNAStatement::QT_UPDATE), 1) << ErrorText();
            EXPECT_EQ(First("SELECT HEX(s) FROM w WHERE id = " + strId), HexaOf(UTF8Of(s + L"!")));
        }
        SetNull(p, L"s");
        ASSERT_EQ(p->bWrite(CNAStatement::QT_UPDATE), 1) << ErrorText();
        EXPECT_EQ(First("SELECT COUNT(*) FROM w WHERE s IS NULL"), "1");
        // The record keeps the values written, not those it was found by.
        EXPECT_EQ(Value(p, L"s"), "NULL");
        ASSERT_EQ(p->bWrite(CNAStatement::QT_DELETEALL), 1) << ErrorText();
        EXPECT_EQ(First("SELECT COUNT(*) FROM w"), "0");
        ASSERT_TRUE(Admin("DROP TABLE w"));
    }
}

TEST_F(StatementWrite, AQueryOnOneTableWritesToItsTable)
{
    ASSERT_TRUE(Admin("CREATE TABLE w (id INT NOT NULL AUTO_INCREMENT PRIMARY KEY, s VARCHAR(300) NULL, x INT NULL)"));
    CMySQLConnection* pCnx = Connect();
    STable* pTable = NewTable(pCnx, L"q");
    for (CTestTable* t : {pTable->pHost.get(), pTable->pDatabase.get()}) {
        t->Add(L"qid", NA_IT_IDAUTO4, 4, CTestTable::UNIQUE | CNAItemDescription::KF_PRIMARY, false, L"w", L"id");
        t->Add(L"qs", NA_IT_UNICODE, 602, 0, true, L"w", L"s");
    }
    CTestDataAccess* p = Access(pTable, pCnx);
    p->SetQueryText(L"SELECT id AS qid, s AS qs FROM w");
    const CNAItemDescription* pFirst = (*pTable->pHost)->pclNAGetItemNoRef(0);
    const unsigned int nRefs = pFirst->nGetExternalRef();
    Set(p, L"qs", L"by query");
    const int nFrom = Queries();
    ASSERT_EQ(p->bWrite(CNAStatement::QT_INSERT), 1) << ErrorText();
    EXPECT_EQ(Writes(nFrom), (std::vector<std::string>{"INSERT INTO `w` (`s`) VALUES ( 'by query' )"}));
    EXPECT_EQ(First("SELECT s FROM w"), "by query");
    EXPECT_EQ(pFirst->nGetExternalRef(), nRefs);
    // Deleting every row of a query is refused.
    m_pError->Reset();
    EXPECT_EQ(p->bWrite(CNAStatement::QT_DELETEALL), 0);
    EXPECT_EQ(ErrorId(), ZTERR_NOT_OFFERED);
    EXPECT_EQ(First("SELECT COUNT(*) FROM w"), "1");
}

TEST_F(StatementWrite, DeletesOneRowOrAll)
{
    CTestDataAccess* p = Open();
    ASSERT_TRUE(Admin("INSERT INTO w (s, x) VALUES ('a', 1), ('b', 2), ('c', 3)"));
    ASSERT_EQ(p->bRead(L"id", NA_PARSE_LAST), 1);
    int nFrom = Queries();
    ASSERT_EQ(p->bWrite(CNAStatement::QT_DELETE), 1) << ErrorText();
    EXPECT_EQ(Writes(nFrom), (std::vector<std::string>{"DELETE FROM `w` WHERE `id`=3"}));
    EXPECT_EQ(List("SELECT id FROM w ORDER BY id"), (Rows{"1", "2"}));
    nFrom = Queries();
    ASSERT_EQ(p->bWrite(CNAStatement::QT_DELETEALL), 1) << ErrorText();
    EXPECT_EQ(Writes(nFrom), (std::vector<std::string>{"DELETE FROM `w`"}));
    EXPECT_EQ(First("SELECT COUNT(*) FROM w"), "0");
}

TEST_F(StatementWrite, WhatTheOtherStatementsMakeOfAWrite)
{
    CTestDataAccess* p = Open();
    ASSERT_TRUE(Admin("INSERT INTO w (id, s, x) VALUES (10,'a',1), (20,'b',2), (30,'c',3), (40,'d',4)"));
    CNAStatement* pBrowse = p->Statement(L"id");
    ASSERT_EQ(p->bRead(L"id", NA_PARSE_FIRST), 1);
    ASSERT_EQ(p->bRead(L"id", NA_PARSE_NEXT), 1);
    // An update that leaves the browse item: the position is kept, the row
    // read again is the one written.
    Set(p, L"s", L"b2");
    int nFrom = Queries();
    const CNAItemDescription* pId = (*m_tabTable.back()->pHost)->pclNAGetItemNoRef(0);
    // The description keeps its best browse item once asked.
    (*m_tabTable.back()->pHost)->piGetBestParseItemDesc()->nExternalRelease();
    const unsigned int nRefs = pId->nGetExternalRef();
    ASSERT_EQ(p->bWrite(CNAStatement::QT_UPDATE), 1) << ErrorText();
    // Once the write's command is dropped, the item is held as before.
    p->Statement(L"")->ResetQuery();
    EXPECT_EQ(pId->nGetExternalRef(), nRefs);
    EXPECT_EQ(pBrowse->eParseNeedUpdate(), 0);
    ASSERT_GE(pBrowse->nGetRecordSaveAt(1), 0);
    // The browse holds the one reference of the save it stores, and gives
    // it back when it closes.
    const int nSave = pBrowse->nGetRecordSaveAt(1);
    EXPECT_EQ(p->pclGetRecordSaveCacheNoRef()->nGetRecordSaveRef(nSave), 1);
    ASSERT_EQ(p->bRead(L"id", NA_PARSE_NEXT), 1);
    EXPECT_EQ(Value(p, L"id"), "30");
    ASSERT_EQ(p->bRead(L"id", NA_PARSE_PREVIOUS), 1);
    EXPECT_EQ(Value(p, L"s"), "b2");
    EXPECT_EQ(Writes(nFrom).size(), 1u);
    EXPECT_EQ(Sent(nFrom).size(), 1u);
    // An insert: the browse is run again at its next read, from its row.
    Set(p, L"id", L"25");
    Set(p, L"s", L"new");
    ASSERT_EQ(p->bWrite(CNAStatement::QT_INSERT, CNAStatement::WPF_AUTOID_GIVEN), 1) << ErrorText();
    EXPECT_EQ(pBrowse->eParseNeedUpdate(), 1);
    nFrom = Queries();
    ASSERT_EQ(p->bRead(L"id", NA_PARSE_NEXT), 1) << ErrorText();
    EXPECT_EQ(Value(p, L"id"), "25");
    EXPECT_EQ(Sent(nFrom), (std::vector<std::string>{"SELECT `id`,`s`,`x` FROM `w` WHERE `id`>20 ORDER BY `id` LIMIT 100"}));
    ASSERT_EQ(p->bRead(L"id", NA_PARSE_NEXT), 1) << ErrorText();
    EXPECT_EQ(Value(p, L"id"), "30");
    // A delete of the row the browse stands on: marked, passed over.
    ASSERT_EQ(p->bWrite(CNAStatement::QT_DELETE), 1) << ErrorText();
    EXPECT_EQ(pBrowse->eParseNeedUpdate(), 0);
    EXPECT_TRUE(pBrowse->bCurrentRowDeleted());
    ASSERT_EQ(p->bRead(L"id", NA_PARSE_PREVIOUS), 1) << ErrorText();
    EXPECT_EQ(Value(p, L"id"), "25");
    ASSERT_EQ(p->bRead(L"id", NA_PARSE_NEXT), 1) << ErrorText();
    EXPECT_EQ(Value(p, L"id"), "40");
    // Back past the first row of the browse run again: the rows before it.
    ASSERT_EQ(p->bSkip(L"id", NA_PARSE_PREVIOUS, 3), 1) << ErrorText();
    EXPECT_EQ(Value(p, L"id"), "10");
    // Closed, the browse holds no save any more.
    pBrowse->Close();
    EXPECT_EQ(p->pclGetRecordSaveCacheNoRef()->nGetRecordSaveRef(nSave), 0);
}

} // namespace
