// Finding a row again among rows equal to it: the move adjusted for the
// row's place among the equal rows, without a sum that overflows; and which
// browse items may be read a block of rows at a time.
#include "access/table/NADataAccess.h"

#include "access/driver/NAError.h"
#include "access/statement/NARecordCache.h"
#include "access/statement/NAStatement.h"
#include "tests/support/TableScope.h"
#include "tests/support/TestTable.h"
#include "tests/support/ValueCells.h"

#include <gtest/gtest.h>

#include <climits>
#include <memory>

namespace {

const int kPrevious = NA_PARSE_PREVIOUS;
const int kNext = NA_PARSE_NEXT;
const int kStay = CNAStatement::DIRECTION_STAY;
const long long kMax = LLONG_MAX;

struct SMove {
    long long llRank;  // 0-based place among the equal rows
    long long llTotal; // equal rows
    int eDirection;
    long long llCount;
    int eExpected;
    long long llExpected;
};

TEST(DuplicateMove, TableOfCases)
{
    const SMove aCase[] = {
        // Previous: back within the equal rows, else an absolute place.
        {2, 5, kPrevious, 1, kStay, 2},
        {2, 5, kPrevious, 3, kPrevious, 1},
        {2, 5, kPrevious, 5, kPrevious, 3},
        {4, 5, kPrevious, 2, kStay, 3},
        {4, 2, kPrevious, 1, kStay, 4},
        {4, 2, kPrevious, 3, kStay, 2},
        {4, 0, kPrevious, 3, kStay, 1},
        {kMax, 5, kPrevious, 1, kStay, kMax - 1},
        {kMax - 1, kMax, kPrevious, kMax, kPrevious, 1},
        {0, 0, kPrevious, kMax, kPrevious, kMax},
        // Absolute: the place, or the last equal row.
        {2, 5, kStay, 0, kStay, 3},
        {2, 2, kStay, 0, kStay, 2},
        {2, 0, kStay, 7, kStay, 7},
        {kMax, kMax, kStay, 0, kStay, kMax},
        {-4, 5, kStay, 0, kStay, 1},
        // Next: within the equal rows an absolute place, else the moves
        // left after the last of them.
        {1, 5, kNext, 1, kStay, 3},
        {1, 5, kNext, 3, kStay, 5},
        {1, 5, kNext, 4, kNext, 1},
        {1, 2, kNext, 4, kNext, 4},
        {4, 2, kNext, 3, kNext, 3},
        {0, 0, kNext, 1, kNext, 1},
        {1, kMax, kNext, kMax, kNext, 2},
        {kMax - 3, kMax, kNext, kMax, kNext, kMax - 2},
        {0, kMax, kNext, kMax - 1, kStay, kMax},
        // Other directions are left alone.
        {2, 5, NA_PARSE_FIRST, 4, NA_PARSE_FIRST, 4},
        {2, 5, NA_PARSE_LAST, 4, NA_PARSE_LAST, 4},
    };
    for (const SMove& c : aCase) {
        int eDirection = c.eDirection;
        long long llCount = c.llCount;
        CNADataAccess::s_DuplicateMove(c.llRank, c.llTotal, &eDirection, &llCount);
        EXPECT_EQ(eDirection, c.eExpected) << c.llRank << " " << c.llTotal << " " << c.eDirection << " " << c.llCount;
        EXPECT_EQ(llCount, c.llExpected) << c.llRank << " " << c.llTotal << " " << c.eDirection << " " << c.llCount;
    }
}

// A rank read backward counts the equal rows after the row: the place from
// the first of them is what is left of the total; a rank beyond the rows
// still there is the first of them, as one read forward is the last.
TEST(DuplicateMove, ARankReadBackwardCountsFromTheLastEqualRow)
{
    struct SRank {
        long long llRank;
        int bBackward;
        long long llTotal;
        long long llExpected;
    };
    const SRank aCase[] = {
        {0, 1, 3, 2}, {1, 1, 3, 1}, {2, 1, 3, 0}, {3, 1, 3, 0}, {9, 1, 3, 0},
        {0, 1, 1, 0}, {0, 1, 0, 0}, {-2, 1, 4, 3}, {kMax, 1, kMax, 0}, {0, 1, kMax, kMax - 1},
        // Read forward: the rank is already the place from the first.
        {0, 0, 3, 0}, {2, 0, 3, 2}, {7, 0, 3, 7}, {-1, 0, 3, -1},
    };
    for (const SRank& c : aCase) {
        EXPECT_EQ(CNADataAccess::s_llRankFromFirst(c.llRank, c.bBackward, c.llTotal), c.llExpected)
            << c.llRank << " " << c.bBackward << " " << c.llTotal;
    }
    // Through the move: the 1st of three counted from the end is the 3rd.
    int eDirection = kStay;
    long long llCount = 0;
    CNADataAccess::s_DuplicateMove(CNADataAccess::s_llRankFromFirst(2, 1, 3), 3, &eDirection, &llCount);
    EXPECT_EQ(llCount, 1);
}

// A data access over a hand description.
class RecordLimit : public ::testing::Test, protected CTableScope {
protected:
    void SetUp() override
    {
    }
    void TearDown() override
    {
        if (m_pAccess != nullptr) {
            EXPECT_EQ(m_pAccess->nRelease(), 0u);
        }
    }
    CNADataAccess* Access()
    {
        (*m_pTable)->UpdateRecordSize();
        m_pAccess = new CNADataAccess(m_pTable->Get(), m_pCnx, m_pError);
        m_pAccess->AddRef();
        return m_pAccess;
    }

    CNADataAccess* m_pAccess = nullptr;
};

TEST_F(RecordLimit, OnlyAnExactOrderOnAUniqueKey)
{
    m_pTable->Add(L"r", NA_IT_R8, 8, CTestTable::UNIQUE);
    m_pTable->Add(L"d", NA_IT_I4, 4, CTestTable::DUPLICATES);
    m_pTable->Add(L"id", NA_IT_I4, 4, CTestTable::UNIQUE | CNAItemDescription::KF_PRIMARY, false);
    m_pTable->Add(L"f", NA_IT_R4, 4, CTestTable::DUPLICATES);
    m_pTable->Add(L"u", NA_IT_I4, 4, CTestTable::UNIQUE);
    CNADataAccess* p = Access();
    // A real number never; a unique item always.
    EXPECT_EQ(p->_bEnableRecordLimit(L"r"), 0);
    EXPECT_EQ(p->_bEnableRecordLimit(L"f"), 0);
    EXPECT_EQ(p->_bEnableRecordLimit(L"u"), 1);
    // Another item: the unique best item orders it, a real number before it
    // would not.
    EXPECT_EQ(p->_bEnableRecordLimit(L"d"), 0);
    EXPECT_EQ(p->_bEnableRecordLimit(nullptr), 0);
    // An item the description does not know.
    EXPECT_EQ(p->_bEnableRecordLimit(L"nothing"), 0);
}

TEST_F(RecordLimit, TheBestItemBeforeAnyRealNumber)
{
    m_pTable->Add(L"id", NA_IT_I4, 4, CTestTable::UNIQUE | CNAItemDescription::KF_PRIMARY, false);
    m_pTable->Add(L"d", NA_IT_I4, 4, CTestTable::DUPLICATES);
    m_pTable->Add(L"f", NA_IT_R4, 4, CTestTable::DUPLICATES);
    CNADataAccess* p = Access();
    EXPECT_EQ(p->_bEnableRecordLimit(L"d"), 1);
    EXPECT_EQ(p->_bEnableRecordLimit(L""), 1);
    EXPECT_EQ(p->_bEnableRecordLimit(L"f"), 0);
}

TEST_F(RecordLimit, NoUniqueItemNoLimit)
{
    m_pTable->Add(L"a", NA_IT_I4, 4, CTestTable::DUPLICATES);
    m_pTable->Add(L"b", NA_IT_I4, 4);
    CNADataAccess* p = Access();
    EXPECT_EQ(p->bHMode(static_cast<_eNA_HMODE>(3)), 1);
    EXPECT_EQ(p->eGetHMode(), 3);
    EXPECT_EQ(p->_bEnableRecordLimit(L"a"), 0);
    EXPECT_EQ(p->_bEnableRecordLimit(L"b"), 0);
}

TEST_F(RecordLimit, TheTableAnItemComesFrom)
{
    CNAItemDescription* pItem = m_pTable->Add(L"a", NA_IT_I4, 4, 0, true, L"src", L"a0");
    m_pTable->Add(L"b", NA_IT_I4, 4);
    CNADataAccess* p = Access();
    CTString cs;
    p->_GetDBSourceName(pItem, &cs, 0);
    EXPECT_EQ(std::wstring(cs.pszGet()), L"src");
    p->_GetDBSourceName(pItem, &cs, 1);
    EXPECT_EQ(std::wstring(cs.pszGet()), L"src");
    cs.Set(L"kept");
    p->_GetDBSourceName(nullptr, &cs, 1);
    EXPECT_EQ(std::wstring(cs.pszGet()), L"kept");
    EXPECT_EQ(p->bSourceIsQueryOnMultipleTables(), 0);
    EXPECT_EQ(p->bRequeteSansCorrection(), 0);
    // Without a connection the name is not formatted, and nothing breaks.
    CNADataAccess* pAlone = new CNADataAccess(m_pTable->Get(), nullptr, m_pError);
    pAlone->AddRef();
    EXPECT_EQ(std::wstring(pAlone->pszGetFormatedTableName()), L"");
    EXPECT_EQ(std::wstring(p->pszGetFormatedTableName()), L"T");
    EXPECT_EQ(pAlone->nRelease(), 0u);
}

} // namespace
