// The browse's place in thousandths on the private server while a search is
// in force: the place counted by the server on the search's browse agrees
// with the place of the same record on a plain browse, and with the
// server's own count of the records before it.
#include "tests/support/TableObjectServer.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace tableobject;

class PositionThousandths : public TableObjectServer {
protected:
    PositionThousandths()
        : TableObjectServer("zt41th",
                            {"CREATE TABLE t (id INT PRIMARY KEY, name VARCHAR(20) NOT NULL, KEY(name))",
                             "INSERT INTO t VALUES (7, 'ABC'), (3, 'B'), (5, 'AA'), (9, 'AZ'), (1, 'C'), (4, 'BA'),"
                             " (8, 'CA'), (2, 'D'), (6, 'DA'), (10, 'E'), (11, 'B'), (12, 'B')",
                             "CREATE TABLE r (id INT PRIMARY KEY, x DOUBLE NOT NULL, KEY(x))",
                             "INSERT INTO r VALUES (1, 2.5), (2, 0.5), (3, 9.5), (4, 4.5), (5, 1.5), (6, 7.5), "
                             "(7, 3.5), (8, 8.5), (9, 6.5), (10, 5.5)"})
    {
    }
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(TableObjectServer::SetUp());
        m_pContext = Context(1);
        m_pi = Open(L"t", m_pContext);
        ASSERT_NE(m_pi, nullptr);
    }
    int Thousandths(const wchar_t* pszItem)
    {
        int n = -7;
        EXPECT_EQ(m_pi->bHPositionCourante(m_pContext, pszItem, &n, kPrecision, 0), 1) << Error(m_pi, m_pContext);
        return n;
    }
    // The thousandths of the nth record (from 1) of the server's order by
    // name and id, rounded up.
    int Expected(int nRecord)
    {
        const int nCount = std::stoi(First("SELECT COUNT(*) FROM t"));
        return (nRecord * 1000 + nCount - 1) / nCount;
    }

    CHostContext* m_pContext = nullptr;
    INATable* m_pi = nullptr;
};

// Record by record on name: the place on the plain browse, then the place
// of the same record found by an exact search on its id while browsing
// name, and by a search of its name.
TEST_F(PositionThousandths, TheCountRoadAgreesWithTheRowRoad)
{
    const Rows tabIds = List("SELECT id FROM t ORDER BY name, id");
    ASSERT_EQ(tabIds.size(), 12u);
    CNADataAccess* p = Access(m_pi, m_pContext);
    for (size_t i = 0; i < tabIds.size(); i++) {
        SCOPED_TRACE(tabIds[i]);
        ASSERT_EQ(Read(m_pi, m_pContext, L"name", i == 0 ? FIRST : NEXT), 1) << Error(m_pi, m_pContext);
        ASSERT_EQ(Value(m_pi, m_pContext, L"id"), tabIds[i]);
        const int nRowRoad = Thousandths(L"name");
        EXPECT_EQ(nRowRoad, Expected(static_cast<int>(i) + 1));
        // The same record by a search on id while browsing name.
        const CInt v(std::stoi(tabIds[i]));
        ASSERT_EQ(p->bHRecherche(L"name", L"id", &v, 1, 0, kNoLock, nullptr, 1, 0), 1) << Error(m_pi, m_pContext);
        ASSERT_EQ(Value(m_pi, m_pContext, L"id"), tabIds[i]);
        EXPECT_EQ(Thousandths(L"name"), nRowRoad);
        // Back on the plain browse where it stood.
        ASSERT_EQ(Read(m_pi, m_pContext, L"name", FIRST), 1);
        for (size_t j = 0; j < i; j++)
            ASSERT_EQ(Read(m_pi, m_pContext, L"name", NEXT), 1);
    }
}

// A search by name, then reads on under it: every record's place is its
// place in the whole browse, duplicates of the value included.
TEST_F(PositionThousandths, ReadingOnUnderASearch)
{
    const Rows tabIds = List("SELECT id FROM t ORDER BY name, id");
    const int nFirstB = std::stoi(First("SELECT COUNT(*) FROM t WHERE name < 'B'"));
    const CHostText v(L"B");
    ASSERT_EQ(m_pi->bHRecherche(m_pContext, L"name", &v, 0, 0, kNoLock, nullptr, 1, 0), 1) << Error(m_pi, m_pContext);
    for (size_t i = static_cast<size_t>(nFirstB); i < tabIds.size(); i++) {
        SCOPED_TRACE(tabIds[i]);
        ASSERT_FALSE(Out(m_pi, m_pContext, L"name"));
        ASSERT_EQ(Value(m_pi, m_pContext, L"id"), tabIds[i]);
        EXPECT_EQ(Thousandths(L"name"), Expected(static_cast<int>(i) + 1));
        ASSERT_EQ(Read(m_pi, m_pContext, L"name", NEXT), 1) << Error(m_pi, m_pContext);
    }
    EXPECT_TRUE(Out(m_pi, m_pContext, L"name"));

    // From the end backwards.
    const CHostText d(L"D");
    ASSERT_EQ(m_pi->bHRecherche(m_pContext, L"name", &d, 0, 0, kNoLock, nullptr, 0, 0), 1) << Error(m_pi, m_pContext);
    const int nLastD = std::stoi(First("SELECT COUNT(*) FROM t WHERE name < 'E'"));
    ASSERT_EQ(Value(m_pi, m_pContext, L"id"), tabIds[static_cast<size_t>(nLastD) - 1]);
    EXPECT_EQ(Thousandths(L"name"), Expected(nLastD));
    ASSERT_EQ(Read(m_pi, m_pContext, L"name", PREVIOUS), 1) << Error(m_pi, m_pContext);
    EXPECT_EQ(Thousandths(L"name"), Expected(nLastD - 1));
}

// A move to a place while a search is in force moves on the whole browse.
TEST_F(PositionThousandths, MovingUnderASearch)
{
    const Rows tabIds = List("SELECT id FROM t ORDER BY name, id");
    const CHostText v(L"C");
    struct SCase {
        unsigned int nThousandths;
        size_t nRecord; // from 1
    };
    // 12 records: 500 is the 6th, 1 the first, 999 the 11th, 1000 and more the last.
    const SCase aCase[] = {{500, 6}, {1, 1}, {999, 11}, {1000, 12}, {4000, 12}};
    for (const SCase& c : aCase) {
        SCOPED_TRACE(c.nThousandths);
        ASSERT_EQ(m_pi->bHRecherche(m_pContext, L"name", &v, 1, 0, kNoLock, nullptr, 1, 0), 1);
        ASSERT_EQ(Found(m_pi, m_pContext, L"name"), 1);
        ASSERT_EQ(m_pi->bHPositionne(m_pContext, L"name", c.nThousandths, kPrecision, 0), 1) << Error(m_pi, m_pContext);
        EXPECT_EQ(Value(m_pi, m_pContext, L"id"), tabIds[c.nRecord - 1]);
        EXPECT_EQ(Thousandths(L"name"), Expected(static_cast<int>(c.nRecord)));
    }
}

// A browse read whole, without a row limit (a real item): under a search
// its result holds only the rows from the value searched, and the count
// is still the whole browse's.
TEST_F(PositionThousandths, AWholeResultUnderASearch)
{
    CHostContext* pContext = Context(2, 2);
    INATable* pi = Open(L"r", pContext);
    ASSERT_NE(pi, nullptr);
    const Rows tabX = List("SELECT x FROM r ORDER BY x");
    ASSERT_EQ(tabX.size(), 10u);
    for (size_t i : {0u, 4u, 9u}) {
        SCOPED_TRACE(tabX[i]);
        const CHostText v(Wide(tabX[i]));
        ASSERT_EQ(pi->bHRecherche(pContext, L"x", &v, 1, 0, kNoLock, nullptr, 1, 0), 1) << Error(pi, pContext);
        ASSERT_EQ(Found(pi, pContext, L"x"), 1);
        int n = -7;
        ASSERT_EQ(pi->bHPositionCourante(pContext, L"x", &n, kPrecision, 0), 1) << Error(pi, pContext);
        EXPECT_EQ(n, static_cast<int>(i + 1) * 100);
    }
}

// A move to a place reads a record: the record added before is no longer
// the data access's own record save.
TEST_F(PositionThousandths, AMoveReadsTheRecord)
{
    CNADataAccess* p = Access(m_pi, m_pContext);
    ASSERT_EQ(Read(m_pi, m_pContext, L"name", FIRST), 1);
    SetCurrentValue(p, L"id", L"20");
    SetCurrentValue(p, L"name", L"ZZ");
    ASSERT_EQ(m_pi->bHAjoute(m_pContext, 0, kNoLock), 1) << Error(m_pi, m_pContext);
    ASSERT_NE(p->nGetOwnRecordSave(), -1);
    ASSERT_EQ(m_pi->bHPositionne(m_pContext, L"name", 500, kPrecision, 0), 1) << Error(m_pi, m_pContext);
    EXPECT_EQ(p->nGetOwnRecordSave(), -1);
    EXPECT_EQ(Value(m_pi, m_pContext, L"id"), First("SELECT id FROM t ORDER BY name, id LIMIT 5, 1"));
}

} // namespace
