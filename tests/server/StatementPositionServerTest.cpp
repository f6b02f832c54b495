// Positions, relative positions, counts without a query and browses served
// by the table cache, on the server through the MySQL statement: saved rows
// returned to by number or by key search, thousandths both ways, the count
// of a completed record cache, a half-read browse completed, and indexes
// over the whole-table cache read to the end and kept in step with writes.
#include "access/statement/NARecordCache.h"
#include "access/statement/NAStatementSQL.h"
#include "access/statement/NATableCache.h"
#include "access/statement/NATableCacheIndex.h"
#include "access/table/NAPosition.h"
#include "common/platform/MyModuleInfo.h"
#include "tests/support/StatementServer.h"
#include "tests/support/SearchObjects.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace {

const unsigned int kTableCache = CNAStatement::WPF_TABLE_CACHE;
const eNAPOSITION kKeepFilter = static_cast<eNAPOSITION>(CNAStatement::POSITION_FILTER);
const eNAPOSITION kPlain = static_cast<eNAPOSITION>(0);

class StatementPosition : public StatementServerTest {
protected:
    StatementPosition() : StatementServerTest("zt_position") {}
    // Table p: n the key, v a value with duplicates, t a text; rows 1 to
    // nRows unless given.
    CTestDataAccess* Open(int nRows, const std::string& strRows = "")
    {
        EXPECT_TRUE(Admin("CREATE TABLE p (n INT NOT NULL PRIMARY KEY, v INT NULL, t VARCHAR(20) NULL) "
                          "CHARACTER SET utf8mb4"));
        std::string strValues = strRows;
        for (int i = 1; i <= nRows; i++)
            strValues += (strValues.empty() ? "" : ",") + std::string("(") + std::to_string(i) + "," +
                         std::to_string((i * 7) % 5) + ",'r" + std::to_string(i) + "')";
        if (!strValues.empty()) {
            EXPECT_TRUE(Admin("INSERT INTO p VALUES " + strValues));
        }
        m_pCnx = Connect();
        STable* p = NewTable(m_pCnx, L"p");
        Both(p, L"n", NA_IT_I4, 4, CTestTable::UNIQUE | CNAItemDescription::KF_PRIMARY, false);
        Both(p, L"v", NA_IT_I4, 4, CTestTable::DUPLICATES, true);
        Both(p, L"t", NA_IT_TEXTE, 20, CTestTable::DUPLICATES, true);
        return Access(p, m_pCnx);
    }
    // The item's values read from the current row to the end of the browse.
    static Rows ReadOn(CTestDataAccess* p, const wchar_t* pszItem, const wchar_t* pszShown, int eDirection,
                       unsigned int nFlags = 0)
    {
        Rows tab;
        int bOut = 0;
        for (p->Statement(pszItem)->HEndehors(&bOut); !bOut; p->Statement(pszItem)->HEndehors(&bOut)) {
            tab.push_back(Value(p, pszShown));
            if (tab.size() > 100000) {
                ADD_FAILURE() << "no end";
                break;
            }
            if (p->bRead(pszItem, eDirection, nFlags) != 1) {
                ADD_FAILURE() << "read";
                break;
            }
        }
        return tab;
    }
    static int Out(CNAStatement* p)
    {
        int b = -1;
        p->HEndehors(&b);
        return b;
    }
    // The record saves held in the data access's cache.
    static int HeldSaves(CTestDataAccess* p)
    {
        const CNARecordCachePosition* pCache = p->pclGetRecordSaveCacheNoRef();
        int n = 0;
        for (int i = 0; pCache != nullptr && i < pCache->nGetCount(); i++)
            n += pCache->nGetRecordSaveRef(i) > 0 ? 1 : 0;
        return n;
    }
    // The row of the statement's saved position; -2 without one.
    static int SavedRow(CNAStatement* s, int nPosition)
    {
        CNAPosition* pPosition = s->pclGetSavedPosition(nPosition);
        if (pPosition == nullptr)
            return -2;
        const int nRow = pPosition->nGetRowId();
        pPosition->nRelease();
        return nRow;
    }
    CMySQLConnection* m_pCnx = nullptr;
};

TEST_F(StatementPosition, AReturnByRowNumberNeedsNoSeekWhenTheResultIsAlreadyThere)
{
    CTestDataAccess* p = Open(10);
    CNAStatement* s = p->Statement(L"n");
    ASSERT_EQ(p->bRead(L"n", NA_PARSE_FIRST), 1) << ErrorText();
    ASSERT_EQ(p->bSkip(L"n", NA_PARSE_NEXT, 3), 1);
    ASSERT_EQ(Value(p, L"n"), "4");
    int nPosition = 0;
    ASSERT_EQ(p->bHSauvePosition(&nPosition, L"n", kPlain), 1) << ErrorText();
    EXPECT_EQ(SavedRow(s, nPosition), 3);
    // Returning while the result stands on the row: reloaded, not sought.
    int nSeeks = Seeks();
    Set(p, L"t", L"changed");
    ASSERT_EQ(p->bHRetourPosition(nPosition, nullptr, 1, kPlain), 1) << ErrorText();
    EXPECT_EQ(Seeks(), nSeeks);
    EXPECT_EQ(Value(p, L"n"), "4");
    EXPECT_EQ(Value(p, L"t"), "r4");
    // From elsewhere in the same result: one seek, and the browse goes on
    // after the row.
    ASSERT_EQ(p->bSkip(L"n", NA_PARSE_NEXT, 4), 1);
    ASSERT_EQ(Value(p, L"n"), "8");
    nSeeks = Seeks();
    const int nQueries = Queries();
    ASSERT_EQ(p->bHRetourPosition(nPosition, nullptr, 0, kPlain), 1) << ErrorText();
    EXPECT_EQ(Seeks(), nSeeks + 1);
    EXPECT_EQ(Queries(), nQueries);
    EXPECT_EQ(Value(p, L"n"), "4");
    EXPECT_EQ(s->nGetCurrentRecord(), 3);
    ASSERT_EQ(p->bRead(L"n", NA_PARSE_NEXT), 1);
    EXPECT_EQ(Value(p, L"n"), "5");
    EXPECT_EQ(SavedRow(s, nPosition), -2);
}

TEST_F(StatementPosition, ADeletedOrClosedRowReturnsByKeySearch)
{
    for (const bool bDelete : {true, false}) {
        SCOPED_TRACE(bDelete ? "deleted" : "closed");
        CTestDataAccess* p = Open(6);
        CNAStatement* s = p->Statement(L"n");
        ASSERT_EQ(p->bRead(L"n", NA_PARSE_FIRST), 1) << ErrorText();
        ASSERT_EQ(p->bSkip(L"n", NA_PARSE_NEXT, 2), 1);
        int nPosition = 0;
        ASSERT_EQ(p->bHSauvePosition(&nPosition, L"n", kPlain), 1);
        if (bDelete) {
            // The row goes through the unnamed statement.
            ASSERT_EQ(p->bWrite(CNAStatement::QT_DELETE), 1) << ErrorText();
            EXPECT_EQ(First("SELECT COUNT(*) FROM p WHERE n=3"), "0");
        } else {
            s->Close();
            EXPECT_EQ(SavedRow(s, nPosition), -1);
        }
        ASSERT_EQ(p->bRead(L"n", NA_PARSE_LAST), 1);
        ASSERT_EQ(p->bHRetourPosition(nPosition, nullptr, 0, kPlain), 1) << ErrorText();
        // The row comes back from its record save; the next read finds the
        // key again on the server.
        EXPECT_EQ(Value(p, L"n"), "3");
        EXPECT_NE(s->eParseNeedUpdate(), CNAStatement::UPDATE_NONE);
        const int nQueries = Queries();
        ASSERT_EQ(p->bRead(L"n", NA_PARSE_NEXT), 1) << ErrorText();
        EXPECT_GT(Queries(), nQueries);
        EXPECT_EQ(Value(p, L"n"), "4");
        p->DropStatements();
        EXPECT_EQ(HeldSaves(p), 0);
        Admin("DROP TABLE p");
    }
}

TEST_F(StatementPosition, TheFilterComesBackWithOptionOne)
{
    CTestDataAccess* p = Open(10);
    CNAStatement* s = p->Statement(L"n");
    CAny clMin, clMax;
    SetAs<int>(clMin, TQTYPE_I4, 3);
    SetAs<int>(clMax, TQTYPE_I4, 6);
    ASSERT_EQ(s->bSetFilter(L"n", &clMin, 1, &clMax, 1, nullptr), 1) << ErrorText();
    s->pclActivateFilter()->nRelease();
    ASSERT_EQ(p->bRead(L"n", NA_PARSE_FIRST), 1) << ErrorText();
    ASSERT_EQ(Value(p, L"n"), "3");
    int nPosition = 0;
    ASSERT_EQ(p->bHSauvePosition(&nPosition, L"n", kKeepFilter), 1);
    CNAFilter* pFilter = s->pclGetFilter();
    s->_SetFilter(static_cast<CNAFilter*>(nullptr));
    ASSERT_EQ(p->bHRetourPosition(nPosition, nullptr, 1, kPlain), 1) << ErrorText();
    EXPECT_EQ(s->bExistFilter(), 0);
    ASSERT_EQ(p->bHRetourPosition(nPosition, nullptr, 0, kKeepFilter), 1) << ErrorText();
    EXPECT_EQ(s->bExistFilter(), 1);
    // The filter saved with the position, the latest of the data access.
    EXPECT_EQ(p->pclGetLatestFilterNoRef(), pFilter);
    pFilter->nRelease();
    EXPECT_EQ(ReadOn(p, L"n", L"n", NA_PARSE_NEXT), (Rows{"3", "4", "5", "6"}));
}

TEST_F(StatementPosition, ThousandthsBothWays)
{
    CTestDataAccess* p = Open(10);
    CNAStatement* s = p->Statement(L"n");
    ASSERT_EQ(p->bRead(L"n", NA_PARSE_FIRST), 1);
    struct SCase {
        unsigned int nThousandths;
        const char* pszRecord;
    } aCase[] = {{500, "5"}, {0, "1"}, {50, "1"}, {99, "1"}, {100, "1"}, {199, "1"}, {200, "2"}, {1000, "10"}, {1500, "10"},
                 {0xFFFFFFFFu, "10"}};
    for (const SCase& c : aCase) {
        ASSERT_EQ(s->bHPositionne(c.nThousandths, static_cast<eNA_PRECISION>(0), 0), 1) << c.nThousandths
                                                                                        << ErrorText();
        EXPECT_EQ(Value(p, L"n"), c.pszRecord) << c.nThousandths;
    }
    struct SPlace {
        int nSkip;
        int nThousandths;
    } aPlace[] = {{0, 100}, {2, 300}, {9, 1000}};
    for (const SPlace& c : aPlace) {
        ASSERT_EQ(p->bSkip(L"n", NA_PARSE_FIRST, c.nSkip + 1), 1);
        int n = -1;
        ASSERT_EQ(s->bHPositionCourante(&n, static_cast<eNA_PRECISION>(0)), 1) << ErrorText();
        EXPECT_EQ(n, c.nThousandths) << c.nSkip;
    }
    // Three records: 1000/3 rounded up; the last of a browse ordered
    // backwards counts from the other end.
    EXPECT_TRUE(Admin("DELETE FROM p WHERE n>3"));
    ASSERT_EQ(p->bRead(L"n", NA_PARSE_FIRST), 1);
    int n = -1;
    ASSERT_EQ(s->bHPositionCourante(&n, static_cast<eNA_PRECISION>(0)), 1);
    EXPECT_EQ(n, 334);
    ASSERT_EQ(p->bRead(L"n", NA_PARSE_LAST), 1);
    ASSERT_EQ(Value(p, L"n"), "3");
    ASSERT_EQ(s->bHPositionCourante(&n, static_cast<eNA_PRECISION>(0)), 1);
    EXPECT_EQ(n, 1000);
    // A row inserted before the current one: the refresh pending, the
    // records before it are counted again.
    ASSERT_EQ(p->bSkip(L"n", NA_PARSE_FIRST, 2), 1);
    ASSERT_EQ(Value(p, L"n"), "2");
    ASSERT_EQ(p->bRead(L"n", NA_PARSE_NEXT), 1);
    ASSERT_EQ(Value(p, L"n"), "3");
    Set(p, L"n", L"0");
    ASSERT_EQ(p->bWrite(CNAStatement::QT_INSERT), 1) << ErrorText();
    ASSERT_NE(s->eParseNeedUpdate(), CNAStatement::UPDATE_NONE);
    ASSERT_EQ(s->bHPositionCourante(&n, static_cast<eNA_PRECISION>(0)), 1) << ErrorText();
    const int nBefore = std::stoi(First("SELECT COUNT(*) FROM p WHERE n<3"));
    const int nAll = std::stoi(First("SELECT COUNT(*) FROM p"));
    EXPECT_EQ(n, ((nBefore + 1) * 1000 + nAll - 1) / nAll);
    // Empty: 1.
    EXPECT_TRUE(Admin("DELETE FROM p"));
    ASSERT_EQ(p->bRead(L"n", NA_PARSE_FIRST), 1);
    ASSERT_EQ(s->bHPositionCourante(&n, static_cast<eNA_PRECISION>(0)), 1);
    EXPECT_EQ(n, 1);
}

TEST_F(StatementPosition, ACompleteCacheCountsWithoutAQuery)
{
    CTestDataAccess* p = Open(10);
    p->m_bRecordCache = true;
    CNAStatement* s = p->Statement(L"n");
    long long llCount = -1;
    // Not started, then read a block at a time: the caller counts by query.
    EXPECT_EQ(s->bGetNbEnrCurrentParse(&llCount, CNAStatement::WPF_CONTINUE, 0), 0);
    ASSERT_EQ(p->bRead(L"n", NA_PARSE_FIRST, CNAStatement::WPF_CONTINUE), 1);
    ASSERT_NE(s->llGetRowLimit(), CNAStatement::NO_LIMIT);
    EXPECT_EQ(s->bGetNbEnrCurrentParse(&llCount, CNAStatement::WPF_CONTINUE, 0), 0);
    EXPECT_EQ(ReadOn(p, L"n", L"n", NA_PARSE_NEXT).size(), 10u);
    ASSERT_EQ(s->bCacheCompleted(), 1);
    // Two rows go, found through another browse.
    for (const char* pszKey : {"4", "7"}) {
        ASSERT_EQ(p->bRead(L"t", NA_PARSE_FIRST), 1);
        while (Value(p, L"n") != pszKey)
            ASSERT_EQ(p->bRead(L"t", NA_PARSE_NEXT), 1);
        ASSERT_EQ(p->bWrite(CNAStatement::QT_DELETE), 1) << ErrorText();
    }
    const int nQueries = Queries();
    ASSERT_EQ(s->bGetNbEnrCurrentParse(&llCount, CNAStatement::WPF_CONTINUE, 0), 1);
    EXPECT_EQ(llCount, 8);
    EXPECT_EQ(Queries(), nQueries);
    EXPECT_EQ(First("SELECT COUNT(*) FROM p"), "8");
    // Asked for all rows under an active filter: by query.
    CAny clMin;
    SetAs<int>(clMin, TQTYPE_I4, 3);
    ASSERT_EQ(s->bSetFilter(L"n", &clMin, 1, nullptr, 1, nullptr), 1);
    s->pclActivateFilter()->nRelease();
    EXPECT_EQ(s->bGetNbEnrCurrentParse(&llCount, CNAStatement::WPF_CONTINUE, 1), 0);
}

TEST_F(StatementPosition, AHalfReadBrowseIsCompletedAndStaysWhereItWas)
{
    for (const bool bResultClosed : {false, true}) {
    SCOPED_TRACE(bResultClosed ? "result closed" : "result open");
    CTestDataAccess* p = Open(10);
    p->m_bRecordCache = true;
    CNAStatement* s = p->Statement(L"v");
    ASSERT_EQ(p->bRead(L"v", NA_PARSE_FIRST), 1) << ErrorText();
    ASSERT_EQ(p->bSkip(L"v", NA_PARSE_NEXT, 3), 1);
    const std::string strKey = Value(p, L"n");
    ASSERT_EQ(s->pclGetRecordCacheNoRef()->nGetCount(), 4);
    // Without an open result the command runs again.
    const int nQueries = Queries();
    if (bResultClosed)
        s->pclGetStatementSQLNoRef()->bReset();
    ASSERT_NE(s->pclGetFullRecordCache(), nullptr) << ErrorText();
    EXPECT_EQ(s->pclGetRecordCacheNoRef()->nGetCount(), 10);
    EXPECT_EQ(s->bCacheCompleted(), 1);
    EXPECT_EQ(Value(p, L"n"), strKey);
    EXPECT_EQ(s->nGetCurrentRecord(), 3);
    // The browse goes on from the row, in the server's order.
    EXPECT_EQ(Queries(), nQueries + (bResultClosed ? 1 : 0));
    const Rows tabAll = List("SELECT n FROM p ORDER BY v, n");
    Rows tabRest = ReadOn(p, L"v", L"n", NA_PARSE_NEXT);
    EXPECT_EQ(tabRest, Rows(tabAll.begin() + 3, tabAll.end()));
    p->DropStatements();
    EXPECT_EQ(HeldSaves(p), 0);
    Admin("DROP TABLE p");
    }
}

TEST_F(StatementPosition, ARowTheCacheNoLongerHoldsIsUserErrorEleven)
{
    CTestDataAccess* p = Open(3);
    p->m_bRecordCache = true;
    CNAStatement* s = p->Statement(L"n");
    ASSERT_EQ(p->bRead(L"n", NA_PARSE_FIRST), 1);
    int nPosition = 0;
    ASSERT_EQ(p->bHSauvePosition(&nPosition, L"n", kPlain), 1);
    s->EmptyCache();
    EXPECT_EQ(p->bHRetourPosition(nPosition, nullptr, 0, kPlain), 0);
    EXPECT_EQ(m_pError->nGetUserErrorCode(), static_cast<unsigned int>(ZTERR_POSITION_LOST));
}

TEST_F(StatementPosition, MoveSelectsTheLastRowReadAgain)
{
    CTestDataAccess* p = Open(5);
    CNAStatement* s = p->Statement(L"n");
    ASSERT_EQ(p->bSkip(L"n", NA_PARSE_FIRST, 4), 1);
    ASSERT_EQ(Value(p, L"n"), "4");
    EXPECT_TRUE(Admin("UPDATE p SET t='moved' WHERE n=4"));
    const int nQueries = Queries();
    ASSERT_EQ(s->bMove(99, 1), 1) << ErrorText();
    EXPECT_EQ(Queries(), nQueries + 1);
    const std::string strSent = Sent(nQueries).at(0);
    EXPECT_NE(strSent.find("WHERE"), std::string::npos) << strSent;
    EXPECT_EQ(Value(p, L"n"), "4");
    EXPECT_EQ(Value(p, L"t"), "moved");
    EXPECT_EQ(Out(s), 0);
}

TEST_F(StatementPosition, WhatABrowseCanRefreshAndIndex)
{
    CTestDataAccess* p = Open(2);
    CNAStatement* s = p->Statement(L"n");
    EXPECT_EQ(s->bCanUpdateParse(), 1);
    EXPECT_EQ(s->bIndexCache(), 0);
    p->SetQueryText(L"SELECT n, v, t FROM p");
    EXPECT_EQ(s->bIndexCache(), 0);
    s->SetParseFlags(CNAStatement::WPF_CONTINUE);
    EXPECT_EQ(s->bIndexCache(), 1);
    EXPECT_EQ(s->bCanUpdateParse(), 1);
    // On the query's own order without an ORDER BY of its own: no.
    s->SetParseFlags(CNAStatement::WPF_QUERY_ORDER);
    EXPECT_EQ(s->bCanUpdateParse(), 0);
    p->SetQueryText(L"SELECT n, v, t FROM p", CNADataAccess::QM_WITHOUT_CORRECTION);
    EXPECT_EQ(s->bIndexCache(), 1);
    s->SetParseFlags(0);
    EXPECT_EQ(s->bCanUpdateParse(), 0);
}

TEST_F(StatementPosition, AMovedRowLeavesTheIndexBrowseBetweenItsNeighbours)
{
    for (const int eDirection : {NA_PARSE_NEXT, NA_PARSE_PREVIOUS}) {
        SCOPED_TRACE(eDirection == NA_PARSE_NEXT ? "next" : "previous");
        CTestDataAccess* p = Open(9);
        ASSERT_EQ(p->bRead(L"n", NA_PARSE_FIRST, kTableCache), 1) << ErrorText();
        ASSERT_EQ(p->bSkip(L"t", NA_PARSE_FIRST, 4, nullptr, kTableCache), 1) << ErrorText();
        CNAStatement* st = p->Statement(L"t");
        ASSERT_EQ(Value(p, L"t"), "r4");
        // The row's text changes through another statement: the browse
        // must find its place again, and the position it notes meanwhile
        // holds no row.
        Set(p, L"t", L"zz");
        ASSERT_EQ(p->bWrite(CNAStatement::QT_UPDATE), 1) << ErrorText();
        ASSERT_EQ(st->eParseNeedUpdate(), CNAStatement::UPDATE_REPOSITION);
        int nPosition = 0;
        ASSERT_EQ(p->bHSauvePosition(&nPosition, L"t", kPlain), 1);
        EXPECT_EQ(SavedRow(st, nPosition), -1);
        ASSERT_EQ(p->bRead(L"t", eDirection, kTableCache), 1) << ErrorText();
        EXPECT_EQ(Value(p, L"t"), eDirection == NA_PARSE_NEXT ? "r5" : "r3");
        EXPECT_EQ(st->eParseNeedUpdate(), CNAStatement::UPDATE_NONE);
        p->DropStatements();
        Admin("DROP TABLE p");
    }
}

TEST_F(StatementPosition, ARowDeletedUnderAnIndexBrowseLeavesItBetweenItsNeighbours)
{
    // Rows of v's order deleted while v's browse stands on them, through the
    // unnamed statement at once or after t's browse found them; the browse
    // goes on with the rows after (or before) them, none skipped.
    for (const int eDirection : {NA_PARSE_NEXT, NA_PARSE_PREVIOUS}) {
        for (const bool bThroughT : {false, true}) {
            CTestDataAccess* p = Open(8);
            ASSERT_EQ(p->bRead(L"n", NA_PARSE_FIRST, kTableCache), 1) << ErrorText();
            for (size_t k = 0; k < 4; k++) {
                const Rows tabOrder = List("SELECT n FROM p ORDER BY v, n");
                const size_t nAt = eDirection == NA_PARSE_NEXT ? k : tabOrder.size() - 1 - k;
                const std::string strKey = tabOrder[nAt];
                SCOPED_TRACE(std::string(eDirection == NA_PARSE_NEXT ? "next" : "previous") +
                             (bThroughT ? " through t, row " : " row ") + strKey);
                ASSERT_EQ(p->bRead(L"v", NA_PARSE_FIRST, kTableCache), 1) << ErrorText();
                while (Value(p, L"n") != strKey)
                    ASSERT_EQ(p->bRead(L"v", NA_PARSE_NEXT, kTableCache), 1);
                if (bThroughT) {
                    ASSERT_EQ(p->bRead(L"t", NA_PARSE_FIRST, kTableCache), 1) << ErrorText();
                    while (Value(p, L"n") != strKey)
                        ASSERT_EQ(p->bRead(L"t", NA_PARSE_NEXT, kTableCache), 1);
                }
                ASSERT_EQ(p->bWrite(CNAStatement::QT_DELETE), 1) << ErrorText();
                Rows tabExpected(tabOrder.begin() + static_cast<long>(nAt) + 1, tabOrder.end());
                if (eDirection == NA_PARSE_PREVIOUS)
                    tabExpected.assign(tabOrder.rend() - static_cast<long>(nAt), tabOrder.rend());
                ASSERT_EQ(p->bRead(L"v", eDirection, kTableCache), 1) << ErrorText();
                EXPECT_EQ(ReadOn(p, L"v", L"n", eDirection, kTableCache), tabExpected);
            }
            p->DropStatements();
            Admin("DROP TABLE p");
        }
    }
}

TEST_F(StatementPosition, RowsWrittenAheadOfTheCacheBrowseReachTheFullCacheAsTheyAre)
{
    for (const bool bBrowseOn : {false, true}) {
        SCOPED_TRACE(bBrowseOn ? "the browse reads on" : "another item completes the cache");
        CTestDataAccess* p = Open(10);
        ASSERT_EQ(p->bRead(L"n", NA_PARSE_FIRST, kTableCache), 1) << ErrorText();
        ASSERT_EQ(p->bSkip(L"n", NA_PARSE_NEXT, 2), 1);
        ASSERT_EQ(Value(p, L"n"), "3");
        // Rows the browse has not reached yet change through the unnamed
        // statement, which no table cache serves: 8 goes, 9 changes.
        for (const char* pszKey : {"8", "9"}) {
            ASSERT_EQ(p->bRead(L"", NA_PARSE_FIRST), 1) << ErrorText();
            while (!Out(p->Statement(L"")) && Value(p, L"n") != pszKey)
                ASSERT_EQ(p->bRead(L"", NA_PARSE_NEXT), 1) << ErrorText();
            ASSERT_EQ(Value(p, L"n"), pszKey);
            if (std::string(pszKey) == "9")
                Set(p, L"t", L"changed");
            ASSERT_EQ(p->bWrite(std::string(pszKey) == "8" ? CNAStatement::QT_DELETE : CNAStatement::QT_UPDATE), 1)
                << ErrorText();
        }
        ASSERT_EQ(p->pclGetTableCacheNoRef()->bIsEmpty(), 1);
        if (bBrowseOn) {
            ASSERT_EQ(p->bRead(L"n", NA_PARSE_NEXT, kTableCache), 1) << ErrorText();
            EXPECT_EQ(ReadOn(p, L"n", L"t", NA_PARSE_NEXT, kTableCache), List("SELECT t FROM p WHERE n>3 ORDER BY n"));
        }
        ASSERT_EQ(p->bRead(L"t", NA_PARSE_FIRST, kTableCache), 1) << ErrorText();
        EXPECT_EQ(std::to_string(p->pclGetTableCacheNoRef()->llGetRecordNbrActive()), First("SELECT COUNT(*) FROM p"));
        EXPECT_EQ(ReadOn(p, L"t", L"n", NA_PARSE_NEXT, kTableCache), List("SELECT n FROM p ORDER BY t"));
        p->DropStatements();
        Admin("DROP TABLE p");
    }
}

TEST_F(StatementPosition, ATableCacheThatCannotBeFilledFailsTheRead)
{
    CTestDataAccess* p = Open(3);
    // A table cache without browse statement: no full cache can be made.
    ASSERT_EQ(p->_bCreateNewTableCache(nullptr), 1);
    EXPECT_EQ(p->bRead(L"v", NA_PARSE_FIRST), 0);
    EXPECT_EQ(Out(p->Statement(L"v")), 1);
    EXPECT_EQ(p->Statement(L"v")->pclGetTableCacheIndexNoRef(), nullptr);
}

// ---- Browses served by the table cache ------------------------------------------------------------

TEST_F(StatementPosition, ATableCacheServesEachColumnInTheServersOrder)
{
    CTestDataAccess* p = Open(40);
    // The first browse becomes the table cache's, read halfway.
    ASSERT_EQ(p->bRead(L"n", NA_PARSE_FIRST, kTableCache), 1) << ErrorText();
    ASSERT_NE(p->pclGetTableCacheNoRef(), nullptr);
    EXPECT_EQ(p->pclGetTableCacheNoRef()->bIsStatementParse(p->Statement(L"n")), 1);
    ASSERT_EQ(p->bSkip(L"n", NA_PARSE_NEXT, 5), 1);
    // Another item: the full cache is made, the first browse stays on its row.
    const int nQueries = Queries();
    ASSERT_EQ(p->bRead(L"v", NA_PARSE_FIRST, kTableCache), 1) << ErrorText();
    CNATableCache* pCache = p->pclGetTableCacheNoRef();
    EXPECT_EQ(pCache->llGetRecordNbr(), 40);
    EXPECT_EQ(pCache->llGetRecordNbrActive(), 40);
    CNAStatement* sv = p->Statement(L"v");
    ASSERT_NE(sv->pclGetTableCacheIndexNoRef(), nullptr);
    EXPECT_EQ(sv->pclGetStatementSQLNoRef(), nullptr);
    // v in the server's order (duplicates in any order), then t.
    Rows tabV = ReadOn(p, L"v", L"v", NA_PARSE_NEXT, kTableCache);
    EXPECT_EQ(tabV, List("SELECT IFNULL(v,'NULL') FROM p ORDER BY v, n"));
    ASSERT_EQ(p->bRead(L"t", NA_PARSE_LAST, kTableCache), 1) << ErrorText();
    Rows tabT = ReadOn(p, L"t", L"t", NA_PARSE_PREVIOUS, kTableCache);
    Rows tabExpected = List("SELECT t FROM p ORDER BY t DESC");
    EXPECT_EQ(tabT, tabExpected);
    // Served from memory: no query after the one that completed the cache.
    EXPECT_LE(Queries(), nQueries + 1);
    ASSERT_EQ(p->bRead(L"n", NA_PARSE_NEXT, kTableCache), 1) << ErrorText();
    EXPECT_EQ(Value(p, L"n"), "7");
}

TEST_F(StatementPosition, IndexesFollowWritesAndPositionsComeBack)
{
    CTestDataAccess* p = Open(12);
    ASSERT_EQ(p->bRead(L"n", NA_PARSE_FIRST, kTableCache), 1) << ErrorText();
    ASSERT_EQ(p->bRead(L"t", NA_PARSE_FIRST, kTableCache), 1) << ErrorText();
    CNAStatement* st = p->Statement(L"t");
    ASSERT_NE(st->pclGetTableCacheIndexNoRef(), nullptr);
    ASSERT_EQ(p->bSkip(L"t", NA_PARSE_NEXT, 2), 1);
    int nPosition = 0;
    const std::string strSaved = Value(p, L"n");
    ASSERT_EQ(p->bHSauvePosition(&nPosition, L"t", kPlain), 1) << ErrorText();
    // An insert, an update of the text and a delete through the unnamed
    // statement; the index follows them all.
    Set(p, L"n", L"100");
    Set(p, L"v", L"1");
    Set(p, L"t", L"a first");
    ASSERT_EQ(p->bWrite(CNAStatement::QT_INSERT), 1) << ErrorText();
    ASSERT_EQ(p->bSkip(L"n", NA_PARSE_FIRST, 5), 1) << ErrorText();
    ASSERT_EQ(Value(p, L"n"), "5");
    Set(p, L"t", L"zz last");
    ASSERT_EQ(p->bWrite(CNAStatement::QT_UPDATE), 1) << ErrorText();
    ASSERT_EQ(p->bSkip(L"n", NA_PARSE_FIRST, 2), 1);
    ASSERT_EQ(p->bWrite(CNAStatement::QT_DELETE), 1) << ErrorText();
    EXPECT_EQ(p->pclGetTableCacheNoRef()->llGetRecordNbrActive(), 12);
    ASSERT_EQ(p->bRead(L"t", NA_PARSE_FIRST, kTableCache), 1);
    EXPECT_EQ(ReadOn(p, L"t", L"t", NA_PARSE_NEXT, kTableCache), List("SELECT t FROM p ORDER BY t"));
    // Back to the saved row by the index.
    ASSERT_EQ(p->bHRetourPosition(nPosition, nullptr, 0, kPlain), 1) << ErrorText();
    EXPECT_EQ(Value(p, L"n"), strSaved);
    // The cache goes: the browse on a row, the first of the cache too,
    // finds it again later.
    ASSERT_EQ(p->bSkip(L"t", NA_PARSE_FIRST, 2, nullptr, kTableCache), 1);
    ASSERT_EQ(Value(p, L"n"), "1");
    ASSERT_EQ(st->nGetCurrentRecord(), 0);
    ASSERT_EQ(p->bRead(L"n", NA_PARSE_LAST, kTableCache), 1);
    ASSERT_EQ(p->bFreeCache(), 1);
    EXPECT_EQ(st->pclGetTableCacheIndexNoRef(), nullptr);
    EXPECT_EQ(st->eParseNeedUpdate(), CNAStatement::UPDATE_REPOSITION);
    EXPECT_EQ(st->bRecordLost(), 0);
    p->DropStatements();
    EXPECT_EQ(HeldSaves(p), 0);
}

// Random rows of every kind of column, some deleted through another
// statement before the cache completes, some after while an index browse
// stands on them; each column's index walked both ways against the
// server's own order of the same rows.
TEST_F(StatementPosition, EveryColumnsIndexWalksInTheServersOrder)
{
    const unsigned int nStart = static_cast<unsigned int>(std::random_device{}());
    std::printf("random start value %u\n", nStart);
    SCOPED_TRACE("random start value " + std::to_string(nStart));
    std::mt19937 rng(nStart);
    EXPECT_TRUE(Admin("CREATE TABLE r (n INT NOT NULL PRIMARY KEY, i INT NULL, u INT UNSIGNED NULL, d DOUBLE NULL, "
                      "m DECIMAL(10,2) NULL, dt DATE NULL, ts DATETIME NULL, v VARCHAR(20) NULL, "
                      "x TEXT NULL, b BLOB NULL) CHARACTER SET utf8mb4"));
    const char* apszText[] = {"", "a", "\xC3\xA9t\xC3\xA9", "\xE2\x82\xAC 5", "\xF0\x9F\x98\x80", "z", "A"};
    std::string strValues;
    const int nRows = 60;
    for (int k = 1; k <= nRows; k++) {
        auto pick = [&](int nChoices) { return static_cast<int>(rng() % static_cast<unsigned int>(nChoices)); };
        auto nullOr = [&](const std::string& str) { return pick(6) == 0 ? std::string("NULL") : str; };
        strValues += (k > 1 ? "," : "") + std::string("(") + std::to_string(k) + "," +
                     nullOr(std::to_string(pick(9) - 4)) + "," + nullOr(std::to_string(pick(3) * 2000000000u)) + "," +
                     nullOr(std::to_string((pick(9) - 4) * 0.75)) + "," + nullOr(std::to_string(pick(7) - 3) + ".25") +
                     "," + nullOr("'20" + std::to_string(10 + pick(5)) + "-0" + std::to_string(1 + pick(9)) + "-15'") +
                     "," + nullOr("'2024-05-0" + std::to_string(1 + pick(3)) + " 1" + std::to_string(pick(3)) + ":00:00'") +
                     "," + nullOr(std::string("'") + apszText[pick(7)] + "'") + "," +
                     nullOr(std::string("'") + apszText[pick(7)] + "'") + "," + nullOr("X'0" + std::to_string(pick(4)) + "'") +
                     ")";
    }
    ASSERT_TRUE(Admin("INSERT INTO r VALUES " + strValues));
    CMySQLConnection* pCnx = Connect();
    STable* pt = NewTable(pCnx, L"r");
    Both(pt, L"n", NA_IT_I4, 4, CTestTable::UNIQUE | CNAItemDescription::KF_PRIMARY, false);
    Both(pt, L"i", NA_IT_I4, 4, CTestTable::DUPLICATES);
    Both(pt, L"u", NA_IT_UI4, 4, CTestTable::DUPLICATES);
    Both(pt, L"d", NA_IT_R8, 8, CTestTable::DUPLICATES);
    Both(pt, L"m", NA_IT_MONETAIRE, 10, CTestTable::DUPLICATES);
    Both(pt, L"dt", NA_IT_DATE8, 9, CTestTable::DUPLICATES);
    Both(pt, L"ts", NA_IT_DATETIME, 8, CTestTable::DUPLICATES);
    Both(pt, L"v", NA_IT_UNICODE, 82, CTestTable::DUPLICATES);
    Both(pt, L"x", NA_IT_MEMOUNICODE, 8, CTestTable::DUPLICATES);
    Both(pt, L"b", NA_IT_MEMOBINAIRE, 8, CTestTable::DUPLICATES);
    CTestDataAccess* p = Access(pt, pCnx);
    // The browse of the cache read a third of the way; rows go meanwhile.
    ASSERT_EQ(p->bRead(L"n", NA_PARSE_FIRST, kTableCache), 1) << ErrorText();
    ASSERT_EQ(p->bSkip(L"n", NA_PARSE_NEXT, nRows / 3), 1);
    std::set<std::string> setGone;
    for (int k = 0; k < 4; k++) {
        // Among the rows the browse of the cache has already read.
        const std::string strKey = std::to_string(1 + static_cast<int>(rng() % (nRows / 3)));
        ASSERT_EQ(p->bRead(L"x", NA_PARSE_FIRST), 1);
        while (!Out(p->Statement(L"x")) && Value(p, L"n") != strKey)
            ASSERT_EQ(p->bRead(L"x", NA_PARSE_NEXT), 1);
        if (!Out(p->Statement(L"x")) && setGone.insert(strKey).second) {
            ASSERT_EQ(p->bWrite(CNAStatement::QT_DELETE), 1) << ErrorText();
        }
    }
    ASSERT_EQ(p->bRead(L"i", NA_PARSE_FIRST, kTableCache), 1) << ErrorText();
    // Then rows go while a column's index browse stands on them; that
    // browse goes on past them, every other row once.
    const wchar_t* apszIndexed[] = {L"i", L"u", L"d", L"m", L"dt", L"ts", L"v", L"x", L"b"};
    for (int k = 0; k < 4; k++) {
        const wchar_t* pszItem = apszIndexed[rng() % 9];
        const std::string strKey = std::to_string(1 + static_cast<int>(rng() % nRows));
        SCOPED_TRACE(strKey);
        ASSERT_EQ(p->bRead(pszItem, NA_PARSE_FIRST, kTableCache), 1) << ErrorText();
        std::multiset<std::string> setSeen;
        while (!Out(p->Statement(pszItem)) && Value(p, L"n") != strKey) {
            setSeen.insert(Value(p, L"n"));
            ASSERT_EQ(p->bRead(pszItem, NA_PARSE_NEXT, kTableCache), 1);
        }
        if (Out(p->Statement(pszItem)))
            continue;
        ASSERT_EQ(p->bWrite(CNAStatement::QT_DELETE), 1) << ErrorText();
        setGone.insert(strKey);
        ASSERT_EQ(p->bRead(pszItem, NA_PARSE_NEXT, kTableCache), 1) << ErrorText();
        for (const std::string& str : ReadOn(p, pszItem, L"n", NA_PARSE_NEXT, kTableCache))
            setSeen.insert(str);
        const Rows tabLeft = List("SELECT n FROM r");
        EXPECT_EQ(setSeen, std::multiset<std::string>(tabLeft.begin(), tabLeft.end()));
    }
    CNATableCache* pCache = p->pclGetTableCacheNoRef();
    const std::string strCount = First("SELECT COUNT(*) FROM r");
    EXPECT_EQ(std::to_string(pCache->llGetRecordNbrActive()), strCount);
    // The rank of each row in the server's order of the column, by key;
    // rows of equal values share a rank and may come in any order. Texts
    // are ordered by their key bytes, not by the server's collation; an
    // unsigned NULL keys as 0.
    struct SColumn {
        const wchar_t* pszItem;
        const char* pszOrder;
    } aColumn[] = {{L"i", "i"}, {L"u", "IFNULL(u,0)"}, {L"d", "d"}, {L"m", "m"}, {L"dt", "dt"}, {L"ts", "ts"}};
    for (const SColumn& c : aColumn) {
        SCOPED_TRACE(c.pszOrder);
        std::map<std::string, std::string> mapRank;
        for (const std::string& str :
             List(std::string("SELECT CONCAT(n, ':', DENSE_RANK() OVER (ORDER BY ") + c.pszOrder + ")) FROM r"))
            mapRank[str.substr(0, str.find(':'))] = str.substr(str.find(':') + 1);
        Rows tabExpected = List(std::string("SELECT DENSE_RANK() OVER (ORDER BY ") + c.pszOrder +
                                ") AS k FROM r ORDER BY k");
        for (const int eFirst : {NA_PARSE_FIRST, NA_PARSE_LAST}) {
            ASSERT_EQ(p->bRead(c.pszItem, eFirst, kTableCache), 1) << ErrorText();
            ASSERT_NE(p->Statement(c.pszItem)->pclGetTableCacheIndexNoRef(), nullptr);
            Rows tabRank;
            std::set<std::string> setKey;
            for (const std::string& strKey :
                 ReadOn(p, c.pszItem, L"n", eFirst == NA_PARSE_FIRST ? NA_PARSE_NEXT : NA_PARSE_PREVIOUS, kTableCache)) {
                auto it = mapRank.find(strKey);
                tabRank.push_back(it != mapRank.end() ? it->second : "gone " + strKey);
                setKey.insert(strKey);
            }
            if (eFirst == NA_PARSE_LAST)
                std::reverse(tabRank.begin(), tabRank.end());
            EXPECT_EQ(tabRank, tabExpected);
            EXPECT_EQ(std::to_string(setKey.size()), strCount);
        }
    }
    p->DropStatements();
    EXPECT_EQ(HeldSaves(p), 0);
}

} // namespace

