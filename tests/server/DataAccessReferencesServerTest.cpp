// What a data access holds after its positions, searches, filters, writes
// and changes of key, on the private server: its close gives back every
// position, the record saves they held and the item descriptions its
// searches took; its destruction gives back the latest filter and the rest.
#include "access/driver/NAItemDescription.h"
#include "access/sql/NAFilter.h"
#include "access/statement/NARecordCache.h"
#include "tests/support/TableObjectServer.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace tableobject;

class DataAccessReferences : public TableObjectServer {
protected:
    DataAccessReferences()
        : TableObjectServer("zt41rf", {"CREATE TABLE t (id INT PRIMARY KEY, name VARCHAR(20) NOT NULL, KEY(name))",
                                       "INSERT INTO t VALUES (7, 'ABC'), (3, 'B'), (5, 'AA'), (9, 'AZ'), (1, 'C'), "
                                       "(4, 'BA'), (8, 'CA'), (2, 'D')"})
    {
    }
    // The references held on the record saves of the data access.
    static int RecordSaveReferences(CNADataAccess* p)
    {
        const CNARecordCachePosition* pCache = p->pclGetRecordSaveCacheNoRef();
        int nSum = 0;
        for (int i = 0; pCache != nullptr && i < static_cast<int>(pCache->nGetCount()); i++)
            nSum += pCache->nGetRecordSaveRef(i);
        return nSum;
    }
    struct SItemRefs {
        unsigned int nRef;
        unsigned int nExternal;
        bool operator==(const SItemRefs& o) const { return nRef == o.nRef && nExternal == o.nExternal; }
    };
    static SItemRefs RefsOf(const CNAItemDescription* p) { return {p->nGetRef(), p->nGetExternalRef()}; }
};

TEST_F(DataAccessReferences, NothingLeftAfterTheCloseAndTheEnd)
{
    // What the items' descriptions hold once a data access that only read
    // has gone: the description keeps its best browse item.
    CHostContext* pIdle = Context(1);
    INATable* pi = Open(L"t", pIdle);
    ASSERT_NE(pi, nullptr);
    std::vector<CNAItemDescription*> apItem;
    for (const wchar_t* psz : {L"id", L"name"}) {
        apItem.push_back(static_cast<CNAItemDescription*>(Access(pi, pIdle)->piGetItemDescription(psz)));
        ASSERT_NE(apItem.back(), nullptr);
    }
    ASSERT_EQ(Read(pi, pIdle, L"id", FIRST), 1) << Error(pi, pIdle);
    ASSERT_EQ(Read(pi, pIdle, L"name", FIRST), 1) << Error(pi, pIdle);
    ASSERT_EQ(pi->bHFerme(pIdle), 1);
    std::vector<SItemRefs> tabIdle;
    for (const CNAItemDescription* pItem : apItem)
        tabIdle.push_back(RefsOf(pItem));

    CHostContext* pContext = Context(2);
    ASSERT_EQ(pi->bHOuvre(pContext, static_cast<eNA_ACCESS>(0), nullptr), 1) << Error(pi, pContext);
    CNADataAccess* p = Access(pi, pContext);
    ASSERT_NE(p, nullptr);
    p->AddRef(); // kept past the close to look into it
    ASSERT_EQ(static_cast<CNAItemDescription*>(p->piGetItemDescription(L"id")), apItem[0]);
    apItem[0]->nExternalRelease();

    // Searches, a filter, positions on both items, an add, a change of key.
    const CHostText ab(L"AB");
    ASSERT_EQ(pi->bHRecherche(pContext, L"name", &ab, 0, 0, kNoLock, nullptr, 1, 0), 1) << Error(pi, pContext);
    const int nOnName = Save(pi, pContext, L"name");
    const CInt vMin(2), vMax(8);
    ASSERT_EQ(pi->bHFiltre(pContext, L"id", &vMin, 1, &vMax, 1, nullptr), 1) << Error(pi, pContext);
    CNAFilter* pFilter = p->pclGetLatestFilterNoRef();
    ASSERT_NE(pFilter, nullptr);
    pFilter->AddRef();
    const CInt v(4);
    ASSERT_EQ(pi->bHRecherche(pContext, L"id", &v, 1, 0, kNoLock, nullptr, 1, 0), 1) << Error(pi, pContext);
    const int nOnId = Save(pi, pContext, L"id");
    ASSERT_EQ(pi->bHRetourPosition(pContext, nOnName, nullptr, 1, 1), 1) << Error(pi, pContext);
    SetCurrentValue(p, L"id", L"20");
    SetCurrentValue(p, L"name", L"ZZ");
    ASSERT_EQ(pi->bHAjoute(pContext, 0, kNoLock), 1) << Error(pi, pContext);
    const int nAfterAdd = Save(pi, pContext, L"name");
    const int nAfterAddToo = Save(pi, pContext, L"name");
    int bSame = -1;
    ASSERT_EQ(pi->bCompareTablePosition(pContext, nOnName, nAfterAdd, &bSame), 1) << Error(pi, pContext);
    ASSERT_EQ(pi->bHChangeCle(pContext, L"id", 0), 1) << Error(pi, pContext);
    // Returns while the record added is the own record save: it goes, then
    // comes back with a position noted after the add, and holds its own
    // reference once the positions are gone.
    ASSERT_NE(p->nGetOwnRecordSave(), -1);
    ASSERT_EQ(pi->bHRetourPosition(pContext, nOnId, nullptr, 0, 0), 1) << Error(pi, pContext);
    ASSERT_EQ(p->nGetOwnRecordSave(), -1);
    ASSERT_EQ(pi->bHRetourPosition(pContext, nAfterAddToo, nullptr, 0, 0), 1) << Error(pi, pContext);
    ASSERT_EQ(pi->bHLiberePosition(pContext, nAfterAdd), 1);
    ASSERT_NE(p->nGetOwnRecordSave(), -1);
    EXPECT_EQ(p->pclGetRecordSaveCacheNoRef()->nGetRecordSaveRef(p->nGetOwnRecordSave()), 1);
    ASSERT_EQ(Value(pi, pContext, L"name"), "ZZ");
    ASSERT_EQ(Read(pi, pContext, L"id", PREVIOUS), 1) << Error(pi, pContext);
    Save(pi, pContext, L"id");
    ASSERT_EQ(p->nGetPositionCount(), 2u);
    ASSERT_GT(RecordSaveReferences(p), 2);
    ASSERT_GT(pFilter->nGetRef(), 2u) << "the statement, the latest and the positions";

    ASSERT_EQ(pi->bHFerme(pContext), 1);
    EXPECT_EQ(p->nGetPositionCount(), 0u);
    EXPECT_EQ(CCountedPosition::s_nLive, 0);
    // The own record save (the record added) is all the close keeps.
    EXPECT_EQ(RecordSaveReferences(p), p->nGetOwnRecordSave() != -1 ? 1 : 0);
    EXPECT_EQ(pFilter->nGetRef(), p->pclGetLatestFilterNoRef() == pFilter ? 2u : 1u) << "none but the latest's";

    // The end of the data access gives back the latest filter and its
    // description's items.
    EXPECT_EQ(p->nRelease(), 0u);
    EXPECT_EQ(pFilter->nGetRef(), 1u);
    pFilter->nRelease();
    for (size_t i = 0; i < apItem.size(); i++) {
        EXPECT_TRUE(RefsOf(apItem[i]) == tabIdle[i]) << i << ": " << apItem[i]->nGetRef() << "/"
                                                     << apItem[i]->nGetExternalRef() << ", after the idle one "
                                                     << tabIdle[i].nRef << "/" << tabIdle[i].nExternal;
        apItem[i]->nExternalRelease();
    }
}

} // namespace
