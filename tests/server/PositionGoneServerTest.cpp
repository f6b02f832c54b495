// Returns to saved positions whose row went since, on the private server:
// deleted by another context of the driver or by a plain client, changed
// elsewhere, or kept; on a table read in blocks and on a query served by
// its whole-table cache, in both code pages, on a unique key and on a text
// key with ties. Every expected order is the server's own.
#include "access/statement/NATableCache.h"
#include "common/platform/MyModuleInfo.h"
#include "tests/support/TableObjectServer.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using namespace tableobject;

constexpr unsigned int kCache = CNADataAccess::WPF_TABLE_CACHE;
constexpr size_t kAt = 19; // the 20th record: in the second block of 15
enum eCASE { KEPT, CHANGED, BY_CONTEXT, BY_SESSION };
// The table read in blocks; a query served by its table cache; the same
// with a LIMIT, whose rows are found by their output names.
enum eROAD { SERVER, CACHE, LIMITED };

// 40 rows (key, label), five to a label: the labels hold letters of code
// page 1252 but first differ in a plain one, so that the table cache's
// index orders them as the server does.
std::string Insert(const char* pszTable)
{
    static const char* const apszLabel[] = {"68C3A974C3A9", "63C39C626572", "66616263", "61C3A96C616E",
                                            "677AC3A8627265", "64C38472676572", "62", "65C3A761"};
    std::string str = std::string("INSERT INTO ") + pszTable + " VALUES ";
    for (int i = 1; i <= 40; i++)
        str += (i > 1 ? ", (" : "(") + std::to_string(i) + ", _utf8mb4 X'" + apszLabel[(i * 3) % 8] + "')";
    return str;
}

class PositionGone : public TableObjectServer {
protected:
    PositionGone()
        : TableObjectServer("zt55pg", {"CREATE TABLE g (id INT PRIMARY KEY, label VARCHAR(20) NOT NULL, KEY(label)) "
                                       "CHARACTER SET utf8mb4",
                                       "CREATE TABLE k (w INT NOT NULL, label VARCHAR(20) NOT NULL, KEY(label)) "
                                       "CHARACTER SET utf8mb4"})
    {
    }
    void TearDown() override
    {
        CloseTables();
        m_tabParse.clear();
        m_tabCatalogue.clear();
        TableObjectServer::TearDown();
    }
    // Read in blocks of 15, in either code page.
    CHostConnectionDescription* HostIn(bool bUnicode)
    {
        return HostOn(bUnicode ? L"ZT Cache Size=15" : L"ZT Unicode Support=0;ZT Cache Size=15",
                      bUnicode ? L"zt55u" : L"zt55a");
    }
    // A query on g, with the driver's corrections, whose id browse read to
    // its end filled the table cache (unless it is not to be read).
    INATable* Filled(CHostContext* pc, CHostConnectionDescription* pHost, bool bRead = true, bool bLimited = false)
    {
        BindValueMachine();
        m_tabCatalogue.emplace_back(new CHostCatalogue);
        INADataSourceDescription* piTable = m_piDriver->piGetTableDesc(L"g", pHost);
        if (piTable == nullptr)
            return nullptr;
        m_tabCatalogue.back()->Add(L"g", L"g", piTable);
        piTable->nExternalRelease();
        std::wstring strError;
        m_tabParse.emplace_back(CHostSQLParse::pParse(bLimited ? L"SELECT id, label FROM g ORDER BY id LIMIT 40"
                                                               : L"SELECT id, label FROM g",
                                                      m_tabCatalogue.back().get(), &m_clQueryValues, &strError));
        INATable* pi = nullptr;
        m_piDriver->bHExecuteRequeteSQLEx(&pi, pc, L"Q", pHost, m_tabParse.back().get(), CNADataAccess::QM_MAY_MODIFY,
                                          nullptr);
        if (pi == nullptr)
            return nullptr;
        Keep(pi);
        if (!bRead)
            return pi;
        ReadOn(pi, pc, L"id", FIRST, CNADataAccess::WPF_CONTINUE, L"id");
        return Access(pi, pc)->bHasTableCache() ? pi : nullptr;
    }
    // The values of the key read in the direction to the end (from the
    // first, next; from the last, previous), at most nMax.
    static Rows ReadOn(INATable* pi, CHostContext* pc, const wchar_t* pszItem, eNA_PARSEDIRECTION e,
                       unsigned int nFlags, const wchar_t* pszKey, size_t nMax = 50)
    {
        Rows tab;
        while (tab.size() < nMax && pi->bHLitxxx(pc, pszItem, e, 1, kNoLock, nullptr, nFlags) == 1 &&
               !Out(pi, pc, pszItem)) {
            tab.push_back(Value(pi, pc, pszKey));
            e = e == FIRST ? NEXT : (e == LAST ? PREVIOUS : e);
        }
        return tab;
    }
    static Rows Part(const Rows& tab, size_t nFrom, size_t nTo, bool bBackward = false)
    {
        Rows tabPart(tab.begin() + static_cast<long>(nFrom), tab.begin() + static_cast<long>(nTo));
        return bBackward ? Rows(tabPart.rbegin(), tabPart.rend()) : tabPart;
    }
    // Row 20 of the item's order noted, five more read, then the case; the
    // return and the reads after it against the server's rows.
    void Case(eROAD eRoad, eCASE eCase, bool bUnicode, const char* pszTable, const wchar_t* pszItem)
    {
        const bool bCache = eRoad != SERVER;
        SCOPED_TRACE(std::string("road ") + std::to_string(eRoad) + ", case " + std::to_string(eCase) +
                     (bUnicode ? ", Unicode, " : ", 1252, ") + pszTable + "." + Narrow(pszItem));
        const std::string strTable(pszTable);
        const wchar_t* pszKey = strTable == "g" ? L"id" : L"w";
        ASSERT_TRUE(Admin("DELETE FROM " + strTable) && Admin(Insert(pszTable)));
        CHostConnectionDescription* pHost = HostIn(bUnicode);
        CHostContext* pa = Context(++m_nContext);
        CHostContext* pb = Context(++m_nContext, 2);
        const std::string strOrder =
            "SELECT " + Narrow(pszKey) + " FROM " + strTable + " ORDER BY " + Narrow(pszItem) + ", " + Narrow(pszKey);
        const Rows tabOrder = List(strOrder);
        const unsigned int nFlags = bCache ? kCache : 0;
        INATable* pi = bCache ? Filled(pa, pHost, true, eRoad == LIMITED) : Open(Wide(pszTable).c_str(), pa, pHost);
        ASSERT_NE(pi, nullptr);
        ASSERT_EQ(ReadOn(pi, pa, pszItem, FIRST, nFlags, pszKey, kAt + 1), Part(tabOrder, 0, kAt + 1));
        const std::string strRow = tabOrder[kAt];
        if (bCache) {
            const CNAStatement* p = StatementOf(pi, pa, pszItem);
            ASSERT_TRUE(p->pclGetTableCacheIndexNoRef() != nullptr ||
                        p->pclGetRecordCacheNoRef() == Access(pi, pa)->pclGetTableCacheNoRef()->pclGetFullCache());
        }
        const std::string strLabel = Value(pi, pa, L"label");
        int n = 0;
        ASSERT_EQ(pi->bHSauvePosition(pa, pszItem, &n, 0), 1) << Error(pi, pa);
        ASSERT_EQ(ReadOn(pi, pa, pszItem, NEXT, nFlags, pszKey, 5), Part(tabOrder, kAt + 1, kAt + 6));
        const std::string strWhere = " WHERE " + Narrow(pszKey) + " = " + strRow;
        if (eCase == CHANGED) {
            ASSERT_TRUE(Admin("UPDATE " + strTable + " SET label = 'zzz'" + strWhere));
        } else if (eCase == BY_SESSION) {
            ASSERT_TRUE(Admin("DELETE FROM " + strTable + strWhere));
        } else if (eCase == BY_CONTEXT) {
            // Read by its key in the other context, through a table object.
            INATable* pt = Open(Wide(pszTable).c_str(), pb, pHost);
            ASSERT_NE(pt, nullptr);
            ASSERT_EQ(ReadOn(pt, pb, L"id", FIRST, 0, L"id", std::stoul(strRow)).back(), strRow);
            ASSERT_EQ(pt->bHSupprime(pb, 0, kNoLock), 1) << Error(pt, pb);
        }
        const bool bGone = eCase >= BY_CONTEXT;
        const Rows tabAfter = List(strOrder);
        ASSERT_EQ(tabAfter.size(), tabOrder.size() - (bGone ? 1 : 0));

        // Gone: not found, none of its values, and the rows after its place
        // come next. Still there: as noted, the values noted.
        ASSERT_EQ(pi->bHRetourPosition(pa, n, nullptr, 1, 0), 1) << Error(pi, pa);
        EXPECT_EQ(Found(pi, pa, pszItem), bGone ? 0 : 1);
        EXPECT_FALSE(Out(pi, pa, pszItem));
        EXPECT_EQ(Value(pi, pa, pszKey) == strRow, !bGone);
        EXPECT_EQ(Value(pi, pa, L"label") == strLabel, !bGone);
        if (eCase == CHANGED)
            return;
        const size_t nNext = bGone ? kAt : kAt + 1;
        EXPECT_EQ(ReadOn(pi, pa, pszItem, NEXT, nFlags, pszKey), Part(tabAfter, nNext, tabAfter.size()));
        ASSERT_EQ(pi->bHRetourPosition(pa, n, nullptr, 1, 0), 1) << Error(pi, pa);
        EXPECT_EQ(ReadOn(pi, pa, pszItem, PREVIOUS, nFlags, pszKey), Part(tabAfter, 0, kAt, true));
        // Over its place and back: a row gone stays gone.
        ASSERT_EQ(pi->bHRetourPosition(pa, n, nullptr, 1, 0), 1) << Error(pi, pa);
        ASSERT_EQ(ReadOn(pi, pa, pszItem, NEXT, nFlags, pszKey, 1), Part(tabAfter, nNext, nNext + 1));
        EXPECT_EQ(ReadOn(pi, pa, pszItem, PREVIOUS, nFlags, pszKey), Part(tabAfter, 0, nNext, true));
        if (!bGone)
            return;
        // A write of the record finds nothing, and brings nothing back.
        ASSERT_EQ(pi->bHRetourPosition(pa, n, nullptr, 0, 0), 1) << Error(pi, pa);
        CNAKXRecord* pRecord = nullptr;
        ASSERT_EQ(pi->bGetRecord(pa, &pRecord), 1);
        INAItemDescription* piItem = Access(pi, pa)->piGetItemDescription(L"label");
        const CHostText v(L"new");
        pRecord->vSetItemValue(piItem, &v, 0);
        piItem->nExternalRelease();
        pRecord->nRelease();
        EXPECT_EQ(pi->bHModifie(pa, 0, 0, kNoLock), 0);
        EXPECT_EQ(ErrorOf(pi, pa)->dwGetErrorId(), static_cast<unsigned int>(ZTERR_RECORD_NOT_FOUND)) << Error(pi, pa);
        EXPECT_EQ(ErrorOf(pi, pa)->eGetErrorType(), NA_ERRORTYPE_ROWGONE);
        EXPECT_EQ(List(strOrder), tabAfter);
    }

    std::vector<std::unique_ptr<CHostCatalogue>> m_tabCatalogue;
    std::vector<std::unique_ptr<CHostSQLParse>> m_tabParse;
    unsigned int m_nContext = 0;
};

TEST_F(PositionGone, ARowDeletedSinceIsNotFoundAndTheBrowseGoesOn)
{
    for (const eROAD eRoad : {SERVER, CACHE})
        for (const eCASE e : {BY_CONTEXT, BY_SESSION})
            for (const bool bUnicode : {true, false})
                for (const wchar_t* pszItem : {L"id", L"label"})
                    Case(eRoad, e, bUnicode, "g", pszItem);
    Case(LIMITED, BY_SESSION, true, "g", L"label");
}

// Changed elsewhere, the row comes back with the values noted: the server
// keeps its own.
TEST_F(PositionGone, ARowStillThereComesBackAsNoted)
{
    for (const eROAD eRoad : {SERVER, CACHE, LIMITED})
        for (const eCASE e : {KEPT, CHANGED})
            for (const wchar_t* pszItem : {L"id", L"label"})
                Case(eRoad, e, true, "g", pszItem);
}

// Without a unique key a row is known by all its values; its label ties
// with four others.
TEST_F(PositionGone, ARowOfTiesKnownByItsValues)
{
    for (const bool bUnicode : {true, false})
        for (const eCASE e : {KEPT, BY_SESSION})
            Case(SERVER, e, bUnicode, "k", L"label");
}

// The host's return asks the server once, by the record's key; the returns
// the driver makes for itself while it fills a table cache ask nothing and
// put the current browse back on its record, gone or not.
TEST_F(PositionGone, OnlyTheHostsReturnAsksTheServer)
{
    ASSERT_TRUE(Admin(Insert("g")));
    CHostContext* pa = Context(++m_nContext);
    INATable* pi = Open(L"g", pa, HostIn(true));
    ASSERT_NE(pi, nullptr);
    ASSERT_EQ(ReadOn(pi, pa, L"id", FIRST, 0, L"id").size(), 40u);
    int n = 0;
    ASSERT_EQ(pi->bHSauvePosition(pa, L"id", &n, 0), 1) << Error(pi, pa);
    Sent();
    // Every result the question takes, it gives back.
    const int nTaken = m_pfnResults() - m_pfnFreed();
    ASSERT_EQ(pi->bHRetourPosition(pa, n, nullptr, 1, 0), 1) << Error(pi, pa);
    EXPECT_EQ(m_pfnResults() - m_pfnFreed(), nTaken);
    const Rows tabAsked = Sent();
    ASSERT_EQ(tabAsked.size(), 1u);
    EXPECT_NE(tabAsked[0].find("COUNT(*)"), std::string::npos) << tabAsked[0];
    EXPECT_NE(tabAsked[0].find("`id`=40"), std::string::npos) << tabAsked[0];
    // Noted before anything was read, a position stands on no record: its
    // return asks nothing. A question that fails is the return's failure.
    CHostContext* pn = Context(++m_nContext);
    ASSERT_EQ(pi->bHOuvre(pn, static_cast<eNA_ACCESS>(0), nullptr), 1) << Error(pi, pn);
    int nNone = 0;
    ASSERT_EQ(pi->bHSauvePosition(pn, L"label", &nNone, 0), 1) << Error(pi, pn);
    Sent();
    ASSERT_EQ(pi->bHRetourPosition(pn, nNone, nullptr, 0, 0), 1) << Error(pi, pn);
    EXPECT_EQ(Sent(), Rows());
    ASSERT_TRUE(Admin("RENAME TABLE g TO g_away"));
    EXPECT_EQ(pi->bHRetourPosition(pa, n, nullptr, 1, 0), 0);
    EXPECT_EQ(ErrorOf(pi, pa)->dwGetErrorId(), static_cast<unsigned int>(ZTERR_SERVER)) << Error(pi, pa);
    ASSERT_TRUE(Admin("RENAME TABLE g_away TO g"));
    CPositionDriver::s_bNoStatement = true;
    EXPECT_EQ(pi->bHRetourPosition(pa, n, nullptr, 1, 0), 0);
    CPositionDriver::s_bNoStatement = false;
    EXPECT_EQ(ErrorOf(pi, pa)->dwGetSystemErrorCode(), 12u) << Error(pi, pa);

    // A query's label browse noted on its second record; its table cache,
    // barely read by its id browse; back on the label browse, whose row
    // another session deletes.
    CHostContext* pq = Context(++m_nContext);
    pi = Filled(pq, HostIn(true), false);
    ASSERT_NE(pi, nullptr);
    const Rows tabLabel = List("SELECT id FROM g ORDER BY label, id");
    ASSERT_EQ(ReadOn(pi, pq, L"label", FIRST, 0, L"id", 2), Part(tabLabel, 0, 2));
    ASSERT_EQ(pi->bHSauvePosition(pq, L"label", &n, 0), 1) << Error(pi, pq);
    ASSERT_EQ(pi->bHLitxxx(pq, L"id", FIRST, 1, kNoLock, nullptr, CNADataAccess::WPF_CONTINUE), 1);
    CNATableCache* pCache = Access(pi, pq)->pclGetTableCacheNoRef();
    ASSERT_NE(pCache, nullptr);
    ASSERT_FALSE(pCache->bCacheCompleted());
    const int nQueryTaken = m_pfnResults() - m_pfnFreed();
    ASSERT_EQ(pi->bHRetourPosition(pq, n, nullptr, 0, 0), 1) << Error(pi, pq);
    EXPECT_EQ(m_pfnResults() - m_pfnFreed(), nQueryTaken);
    ASSERT_EQ(Access(pi, pq)->pclGetTableCacheNoRef(), pCache);
    ASSERT_TRUE(Admin("DELETE FROM g WHERE id = " + tabLabel[1]));
    Sent();
    ASSERT_NE(pCache->pclGetFullCache(), nullptr) << Error(pi, pq);
    for (const std::string& s : Sent())
        EXPECT_EQ(s.find("`id`="), std::string::npos) << s;
    EXPECT_EQ(Value(pi, pq, L"id"), tabLabel[1]);
    EXPECT_EQ(Found(pi, pq, L"label"), 1);
}

// A browse on no item reads the rows in the server's own order: the row
// gone, it reads on after it in its result.
TEST_F(PositionGone, ABrowseOnNoItemReadsOnInItsResult)
{
    ASSERT_TRUE(Admin(Insert("g")));
    const Rows tabServer = List("SELECT id, label FROM g LIMIT 15");
    CHostContext* pa = Context(++m_nContext);
    INATable* pi = Open(L"g", pa, HostIn(true));
    ASSERT_NE(pi, nullptr);
    ASSERT_EQ(ReadOn(pi, pa, L"", FIRST, 0, L"id", 5), Part(tabServer, 0, 5));
    int n = 0;
    ASSERT_EQ(pi->bHSauvePosition(pa, L"", &n, 0), 1) << Error(pi, pa);
    ASSERT_TRUE(Admin("DELETE FROM g WHERE id = " + tabServer[4]));
    ASSERT_EQ(pi->bHRetourPosition(pa, n, nullptr, 1, 0), 1) << Error(pi, pa);
    EXPECT_EQ(Found(pi, pa, L""), 0);
    EXPECT_NE(Value(pi, pa, L"id"), tabServer[4]);
    EXPECT_EQ(ReadOn(pi, pa, L"", NEXT, 0, L"id", 5), Part(tabServer, 5, 10));
}

} // namespace
