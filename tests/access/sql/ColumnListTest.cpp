// Column lists: the separator rule, growth by steps with the terminator
// kept, and the list of a statement's record.
#include "access/sql/ColumnList.h"

#include "access/statement/NAStatement.h"
#include "tests/support/FailingHeap.h"
#include "tests/support/SearchObjects.h"
#include "tests/support/TestTable.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <string>

namespace {

TEST(ColumnListTest, NamesJoinedByCommas)
{
    struct Case {
        std::vector<const wchar_t*> tabNames;
        const wchar_t* pszText;
        int nCount;
    } cases[] = {
        {{}, L"", 0},
        {{L""}, L"", 1},
        {{L"", L"a"}, L",a", 2},
        {{nullptr, nullptr}, L",", 2},
        {{L"a", L"b", L"`c d`"}, L"a,b,`c d`", 3},
    };
    for (const Case& c : cases) {
        CColumnList cl;
        for (const wchar_t* psz : c.tabNames)
            EXPECT_EQ(cl.AddColumn(psz), 1);
        EXPECT_STREQ(cl.pszGet(), c.pszText);
        EXPECT_EQ(cl.nGetLength(), wcslen(c.pszText));
        EXPECT_EQ(cl.nGetCount(), c.nCount);
    }
}

TEST(ColumnListTest, GrowsInStepsAndEmptiesInPlace)
{
    CColumnList cl;
    const std::wstring strName(99, L'x');
    std::wstring strExpected;
    // 15 names of 99 and 14 commas: 1499 characters, then 1599.
    for (int i = 0; i < 16; i++) {
        cl.AddColumn(strName.c_str());
        strExpected += (i > 0 ? L"," : L"") + strName;
        EXPECT_EQ(cl.nGetCapacity(), strExpected.size() < 1024 ? 1024u : 2048u) << i;
    }
    EXPECT_EQ(cl.nGetLength(), 1599u);
    EXPECT_EQ(std::wstring(cl.pszGet()), strExpected);
    EXPECT_EQ(cl.pszGet()[cl.nGetLength()], L'\0');
    // Exactly one step: the terminator still fits, in the next one.
    CColumnList clStep;
    clStep.AddColumn(std::wstring(1023, L'y').c_str());
    EXPECT_EQ(clStep.nGetCapacity(), 1024u);
    clStep.AddColumn(nullptr);
    EXPECT_EQ(clStep.nGetLength(), 1024u);
    EXPECT_EQ(clStep.nGetCapacity(), 2048u);
    cl.Empty();
    EXPECT_STREQ(cl.pszGet(), L"");
    EXPECT_EQ(cl.nGetCount(), 0);
    EXPECT_EQ(cl.nGetCapacity(), 2048u);
    cl.AddColumn(L"a");
    EXPECT_STREQ(cl.pszGet(), L"a");
}

TEST(ColumnListTest, ListUnchangedWhenItCannotGrow)
{
    CColumnList cl;
    cl.AddColumn(std::wstring(1020, L'a').c_str());
    {
        CFailingHeap clHeap(0);
        EXPECT_EQ(cl.AddColumn(L"bcdefgh"), 0);
    }
    EXPECT_EQ(cl.nGetLength(), 1020u);
    EXPECT_EQ(cl.nGetCount(), 1);
    EXPECT_EQ(std::wstring(cl.pszGet()), std::wstring(1020, L'a'));
    CColumnList clEmpty;
    {
        CFailingHeap clHeap(0);
        EXPECT_EQ(clEmpty.AddColumn(L"a"), 0);
    }
    EXPECT_STREQ(clEmpty.pszGet(), L"");
    EXPECT_EQ(clEmpty.nGetCount(), 0);
}

TEST(ColumnListTest, ColumnsOfTheStatementsRecord)
{
    CCountingDriver clDriver;
    CNAError* pError = new CNAError;
    pError->AddRef();
    CSearchConnection* pCnx = new CSearchConnection;
    pCnx->AddRef();
    {
        CTestTable t(pError, pCnx);
        t.Add(L"A", NA_IT_I4, 4);
        t.Add(L"ID", NA_IT_IDAUTO, 8, CTestTable::UNIQUE, false);
        t.Add(L"M", NA_IT_MEMOTEXTE, 0);
        t.Add(L"b c", NA_IT_TEXTE, 11);
        t.AddComposite(L"CK", CTestTable::UNIQUE, {L"A", L"b c"});
        CNARecord* pRecord = t.NewRecord(pError, pCnx);
        ASSERT_NE(pRecord, nullptr);
        CNAStatement* pStatement = new CNAStatement(pError, nullptr);
        pStatement->AddRef();
        CColumnList cl;
        // No record yet: nothing listed.
        EXPECT_EQ(cl.BuildColumnList(pStatement, 1), 1);
        EXPECT_STREQ(cl.pszGet(), L"");
        pStatement->SetCurrentRecord(pRecord);
        EXPECT_EQ(pRecord->nGetRef(), 2u);
        // Memos listed, composite keys never, the identifier when asked.
        EXPECT_EQ(cl.BuildColumnList(pStatement, 1), 1);
        EXPECT_STREQ(cl.pszGet(), L"`A`,`ID`,`M`,`b c`");
        cl.Empty();
        EXPECT_EQ(cl.BuildColumnList(pStatement, 0), 1);
        EXPECT_STREQ(cl.pszGet(), L"`A`,`M`,`b c`");
        EXPECT_EQ(cl.nGetCount(), 3);
        pStatement->SetCurrentRecord(pRecord);
        pStatement->SetCurrentRecord(nullptr);
        EXPECT_EQ(pRecord->nGetRef(), 1u);
        pStatement->SetCurrentRecord(pRecord);
        pStatement->nRelease(); // lets the record go
        EXPECT_EQ(pRecord->nRelease(), 0u);
    }
    pCnx->nRelease();
    pError->nRelease();
}

} // namespace
