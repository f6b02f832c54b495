// The current record built from descriptions: order columns, composite
// keys, lookups, identities, debug text, the connection's release.
#include "access/statement/NARecord.h"

#include "access/driver/NADriverLock.h"
#include "access/statement/NAColumn.h"
#include "access/statement/NARecordId.h"
#include "access/statement/NARecordValue.h"
#include "access/table/NADataAccess.h"
#include "common/platform/MyModuleInfo.h"
#include "host/HostConnectionDescription.h"
#include "tests/support/CountingConnection.h"
#include "tests/support/FailingHeap.h"
#include "tests/support/RecordValues.h"
#include "tests/support/SlotOrder.h"
#include "tests/support/TestTable.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

extern "C" int bInitLibrary(HINSTANCE hModule);

namespace {

// A data access that reads a table or a query and names an identity kind.
class CTestAccess : public CNADataAccess {
public:
    CTestAccess(CNAConnectionDescription* pCnx, CNAError* pError, int nKind, int bQuery)
        : CNADataAccess(nullptr, pCnx, pError), m_nKind(nKind)
    {
        m_bSourceIsQuery = bQuery;
        AddRef();
    }
    int eEvaluateRecordIdType() override { return m_nKind; }
    int m_nKind;
};

struct SItem {
    const wchar_t* pszName;
    eNA_ITEMTYPE eType;
    unsigned short nFlags = 0;
    bool bNullable = true;
    std::vector<const wchar_t*> components = {}; // a composite key when not empty
};

// Names of columns, comma-separated.
std::wstring Names(const CRefArray<CNAColumn>& tab)
{
    std::wstring s;
    for (int i = 0; i < tab.nGetNbElement(); i++)
        s += (i > 0 ? L"," : L"") + std::wstring(tab[i]->pszGetName());
    return s;
}

std::wstring OrderNames(const CNARecord* p)
{
    CRefArray<CNAColumn> tab;
    for (int i = 0; i < p->nGetNbColumnOrder(); i++)
        tab.Ajoute(p->pclGetColumnOrderNoRef(i));
    return Names(tab);
}

class NARecord : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_pError = new CNAError;
        m_pError->AddRef();
        m_pCnx = Connection(CNAConnectionDescription::DS_MYSQL);
    }
    void TearDown() override
    {
        for (CNARecord* p : m_tabRecord)
            EXPECT_EQ(p->nRelease(), 0u);
        m_tabTable.clear();
        for (CNADataAccess* p : m_tabAccess)
            EXPECT_EQ(p->nRelease(), 0u);
        for (CNAConnectionDescription* p : m_tabCnx)
            EXPECT_EQ(p->nRelease(), 0u);
        EXPECT_EQ(m_pError->nRelease(), 0u);
    }
    CNAConnectionDescription* Connection(int nKind)
    {
        m_tabCnx.push_back(new CTestConnection(1252, 1252, nKind));
        m_tabCnx.back()->AddRef();
        return m_tabCnx.back();
    }
    CTestTable& Table(const std::vector<SItem>& items, CNAConnectionDescription* pCnx = nullptr)
    {
        m_tabTable.emplace_back(new CTestTable(m_pError, pCnx != nullptr ? pCnx : m_pCnx));
        CTestTable& t = *m_tabTable.back();
        for (const SItem& it : items) {
            if (it.components.empty()) {
                t.Add(it.pszName, it.eType, it.eType == NA_IT_TEXTE ? 10 : 4, it.nFlags, it.bNullable);
                continue;
            }
            CNAItemDescription* pKey = t.Add(it.pszName, NA_IT_BINAIRE, 0, it.nFlags | CTestTable::COMPOSITE,
                                             it.bNullable);
            for (const wchar_t* psz : it.components)
                EXPECT_EQ(t->_bAddItemComponent(pKey, psz), 1);
        }
        return t;
    }
    CNADataAccess* Access(int nKind = CNARecordId::RECORDID_RECORDVALUES, int bQuery = 0)
    {
        m_tabAccess.push_back(new CTestAccess(m_pCnx, m_pError, nKind, bQuery));
        return m_tabAccess.back();
    }
    CNARecord* Record(CTestTable& t, CNADataAccess* pAccess = nullptr, CNAConnectionDescription* pCnx = nullptr,
                      CNADataSourceDescription* pDatabase = nullptr)
    {
        CNARecord* p = t.NewRecord(m_pError, pCnx != nullptr ? pCnx : m_pCnx, pAccess, pDatabase);
        EXPECT_NE(p, nullptr) << "record not built";
        if (p != nullptr)
            m_tabRecord.push_back(p);
        return p;
    }
    static void SetI4(CNAColumn* pCol, int n)
    {
        CAny v(TQTYPE_I4);
        v.pclGetTraitement()->SetValue(&n);
        ASSERT_EQ(pCol->bSetValue(&v, 0), 1);
    }

    CDriverScope m_clDriver;
    CNAError* m_pError = nullptr;
    CNAConnectionDescription* m_pCnx = nullptr;
    std::vector<CNAConnectionDescription*> m_tabCnx;
    std::vector<std::unique_ptr<CTestTable>> m_tabTable;
    std::vector<CNADataAccess*> m_tabAccess;
    std::vector<CNARecord*> m_tabRecord;
};

const eNA_ITEMTYPE I4 = NA_IT_I4;
const unsigned short U = CTestTable::UNIQUE;
const unsigned short D = CTestTable::DUPLICATES;

} // namespace

TEST_F(NARecord, OrderColumnsMakeTheBrowseUnique)
{
    const struct { const char* pszCase; std::vector<SItem> items; const wchar_t* pszOrder; } cases[] = {
        {"identity alone", {{L"U", I4, U, false}, {L"ID", NA_IT_IDAUTO}, {L"D", I4, D}, {L"P", I4}}, L"ID"},
        {"nullable unique, duplicates, plain, no memo",
         {{L"P", NA_IT_TEXTE}, {L"M", NA_IT_MEMOTEXTE}, {L"D", I4, D}, {L"U", I4, U}}, L"U,D,P"},
        {"not nullable unique alone after a nullable one",
         {{L"U1", I4, U}, {L"D", I4, D}, {L"U2", I4, U, false}, {L"U3", I4, U, false}}, L"U2"},
        {"unique composite keys expanded, none twice",
         {{L"A", I4}, {L"B", I4}, {L"P", I4}, {L"CK", I4, U, true, {L"B", L"A"}}, {L"CD", I4, D, true, {L"P", L"A"}}},
         L"B,A,P"},
        {"plain duplicates before composite ones",
         {{L"A", I4}, {L"B", I4}, {L"CD", I4, D, true, {L"B", L"A"}}, {L"D", I4, D}}, L"D,B,A"},
        {"composite duplicates before plain columns",
         {{L"A", I4}, {L"B", I4}, {L"P", I4}, {L"CD", I4, D, true, {L"P", L"A"}}}, L"P,A,B"},
        {"a key with a component ordered adds nothing",
         {{L"A", I4, U}, {L"B", I4}, {L"CK", I4, U, true, {L"B", L"A"}}}, L"A,B"},
        {"not nullable composite key alone",
         {{L"U", I4, U}, {L"A", I4}, {L"B", I4}, {L"CK", I4, U, false, {L"A", L"B"}}}, L"A,B"},
    };
    for (const auto& c : cases) {
        CNARecord* p = Record(Table(c.items));
        ASSERT_NE(p, nullptr) << c.pszCase;
        EXPECT_EQ(OrderNames(p), c.pszOrder) << c.pszCase;
    }
}

TEST_F(NARecord, OrderStopsAtThirtyOneOnKindFour)
{
    std::vector<SItem> items;
    static wchar_t aszName[40][4];
    for (int i = 0; i < 40; i++) {
        swprintf(aszName[i], 4, L"C%d", i);
        items.push_back({aszName[i], I4});
    }
    // The unique composite key over the last columns comes first and is cut
    // inside itself.
    items.push_back({L"CK", I4, U, true, {L"C39", L"C38"}});
    for (int nKind : {4, 5}) {
        CNAConnectionDescription* pCnx = Connection(nKind);
        CNARecord* p = Record(Table(items, pCnx), nullptr, pCnx);
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(p->nGetNbColumnOrder(), nKind == 4 ? 31 : 40) << "kind " << nKind;
        EXPECT_STREQ(p->pclGetColumnOrderNoRef(0)->pszGetName(), L"C39");
        EXPECT_STREQ(p->pclGetColumnOrderNoRef(2)->pszGetName(), L"C0");
        EXPECT_EQ(p->pclGetColumnOrderNoRef(p->nGetNbColumnOrder()), nullptr);
        EXPECT_EQ(p->pclGetColumnOrderNoRef(-1), nullptr);
    }
}

TEST_F(NARecord, TheDatabaseSaysWhichKeysMayBeNull)
{
    // The host allows NULL in U1; the database refuses it, so U1 orders alone.
    CTestTable& host = Table({{L"P", I4}, {L"U1", I4, U}, {L"U2", I4, U, false}});
    CTestTable& db = Table({{L"u1", I4, U, false}, {L"p", I4}});
    const unsigned int nRefs = db->pclNAGetItemNoRef(0)->nGetExternalRef();
    CNARecord* p = Record(host, nullptr, nullptr, db.Get());
    ASSERT_NE(p, nullptr);
    // Its column and the column's cell hold it, nothing else.
    EXPECT_EQ(db->pclNAGetItemNoRef(0)->nGetExternalRef(), nRefs + 2);
    EXPECT_EQ(OrderNames(p), L"U1");
    EXPECT_EQ(p->pclGetColumnNoRef(L"U1")->pclGetImportedItem(), db->pclNAGetItemNoRef(0));
    EXPECT_EQ(p->pclGetColumnNoRef(L"U2")->pclGetImportedItem(), nullptr);
    EXPECT_EQ(p->pclGetUniqueKeyNoRef(), p->pclGetColumnNoRef(L"U1"));
}

TEST_F(NARecord, LookupsByNameAndByItem)
{
    CTestTable& t = Table(
        {{L"Prénom", NA_IT_TEXTE}, {L"AGE", I4}, {L"ID", NA_IT_IDAUTO}, {L"ID2", NA_IT_IDAUTO4}, {L"M", NA_IT_MEMOTEXTE}});
    CNARecord* p = Record(t);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->nGetNbColumn(), 5);
    const struct { const wchar_t* pszName; int nColumn; } names[] = {
        {L"PRENOM", 0}, {L"prénom", 0}, {L"age", 1}, {L"Âge", 1}, {L"AGE ", -1}, {L"", -1}, {nullptr, -1}};
    for (const auto& c : names)
        EXPECT_EQ(p->pclGetColumnNoRef(c.pszName), p->pclGetColumnNoRef(c.nColumn)) << c.nColumn;
    for (int i = 0; i < 5; i++)
        EXPECT_EQ(p->pclGetColumnNoRef(static_cast<const INAItemDescription*>(t->pclNAGetItemNoRef(i))),
                  p->pclGetColumnNoRef(i));
    // A physical index outside the columns has none.
    for (int n : {-1, 5}) {
        CRecordItem item(NA_IT_I4, n, 0, 4);
        EXPECT_EQ(p->pclGetColumnNoRef(static_cast<const INAItemDescription*>(&item)), nullptr) << n;
    }
    EXPECT_EQ(p->pclGetColumnNoRef(static_cast<const INAItemDescription*>(nullptr)), nullptr);
    // The first automatic identifier, the memo columns.
    EXPECT_EQ(p->pclGetColumnIDAutoNoRef(), p->pclGetColumnNoRef(2));
    ASSERT_EQ(p->pclGetTabColumnMemo()->nGetNbElement(), 1);
    EXPECT_EQ((*p->pclGetTabColumnMemo())[0], p->pclGetColumnNoRef(4));
    EXPECT_EQ(p->pclGetNAColumnIdentityNoRef(), nullptr); // nothing read from the database
    EXPECT_EQ(p->bSourceIsQuery(), 0);
    EXPECT_STREQ(p->pszGetTableName(), L"");
    EXPECT_EQ(p->pclGetSourceQueryNoRef(), nullptr);
    EXPECT_EQ(p->pclGetDataAccessNoRef(), nullptr);
    // A column that is no memo shares nothing and needs nothing.
    EXPECT_TRUE(p->bShareCurrentRecordMemoValue(p->pclGetColumnNoRef(1), p->pclGetColumnNoRef(1)->pclGetNAValue()));
    EXPECT_EQ(p->pclGetCurrentRecordValueNoRef()->pclGetMemoValueNoRef(1), nullptr);
}

TEST_F(NARecord, InitialisedAgainFromScratch)
{
    CTestTable& t = Table(
        {{L"A", I4, U}, {L"B", I4}, {L"M", NA_IT_MEMOTEXTE}, {L"CK", I4, U, true, {L"A", L"B"}}, {L"ID", NA_IT_IDAUTO}});
    CNARecord* p = Record(t, Access());
    ASSERT_NE(p, nullptr);
    // Held by the columns and by their roles: the identity by the order too,
    // the unique key by the composite key's components.
    EXPECT_EQ(p->pclGetColumnNoRef(4)->nGetRef(), 3u);
    EXPECT_EQ(p->pclGetColumnNoRef(0)->nGetRef(), 3u);
    EXPECT_EQ(p->pclGetColumnNoRef(1)->nGetRef(), 2u);
    p->bCopyCurrentRecordToOriginalRecord();
    CNAConnectionDescription* pOther = Connection(CNAConnectionDescription::DS_MYSQL);
    const unsigned int nRefs = m_pCnx->nGetRef();
    ASSERT_EQ(p->bInitRecord(t.Get(), nullptr, pOther), 1);
    EXPECT_EQ(m_pCnx->nGetRef(), nRefs - 1);
    EXPECT_EQ(p->pclGetConnectionNoRef(), pOther);
    EXPECT_EQ(p->bOriginalSet(), 0u);
    EXPECT_EQ(p->nGetNbColumn(), 5);
    EXPECT_EQ(p->pclGetTabColumnMemo()->nGetNbElement(), 1);
    EXPECT_EQ(p->pclGetTabCompositeKey()->nGetNbElement(), 1);
    EXPECT_EQ(p->pclGetColumnNoRef(3)->pclGetTabComponent()->nGetNbElement(), 2);
    EXPECT_EQ(OrderNames(p), L"ID");
    EXPECT_EQ(p->pclGetColumnIDAutoNoRef(), p->pclGetColumnNoRef(4));
    EXPECT_EQ(p->pclGetUniqueKeyNoRef(), p->pclGetColumnNoRef(0));
    EXPECT_EQ(p->pclGetCurrentRecordValueNoRef()->pclGetMemoValueNoRef(0), p->pclGetColumnNoRef(2)->pclGetNAValue());
}

TEST_F(NARecord, QueryColumnsFoundByTheirOrigin)
{
    CTestTable& t = Table({});
    // Columns named alike in two source tables, one computed, two of one
    // origin.
    t.Add(L"ID", I4, 4, 0, true, L"orders", L"id");
    t.Add(L"ID2", I4, 4, 0, true, L"customers", L"id");
    t.Add(L"TOTAL", I4, 4, 0, true);
    t.Add(L"IDC", I4, 4, 0, true, L"customers", L"id");
    CNADataAccess* pAccess = Access(CNARecordId::RECORDID_RECORDVALUES, 1);
    CNARecord* p = Record(t, pAccess);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->bSourceIsQuery(), 1);
    const struct { const wchar_t *pszName, *pszSource, *pszNameInSource; int nColumn; } cases[] = {
        {L"ID2", L"CUSTOMERS", L"ID", 1},   // the three names, at once
        {L"other", L"customers", L"id", 3}, // the origin alone: the last of it
        {L"ID", L"customers", L"id", 3},    // a name of another origin does not count
        {L"id2", L"", L"", 1},              // no origin: the name
        {L"ID2", L"", L"id", 1},            // half an origin is none
        {L"TOTAL", L"orders", L"total", 2}, // the column has no origin: the name
        {L"other", L"shops", L"id", -1},
    };
    for (const auto& c : cases) {
        CNAItemDescription* pItem = Table({}).Add(c.pszName, I4, 4, 0, true, c.pszSource, c.pszNameInSource);
        EXPECT_EQ(p->pclGetColumnNoRef(static_cast<const INAItemDescription*>(pItem)), p->pclGetColumnNoRef(c.nColumn))
            << c.pszName << "/" << c.pszSource;
    }
    // A query's select names take the origin; a table's do not (this
    // connection quotes nothing).
    CNARecord* pTable = Record(t);
    ASSERT_NE(pTable, nullptr);
    EXPECT_STREQ(p->pclGetColumnNoRef(1)->pszGetFormatedSelectName(0), L"customers.id");
    EXPECT_STREQ(p->pclGetColumnNoRef(2)->pszGetFormatedSelectName(0), L"TOTAL");
    EXPECT_STREQ(pTable->pclGetColumnNoRef(1)->pszGetFormatedSelectName(0), L"id");
}

TEST_F(NARecord, AnEmptyDescriptionIsUserErrorOne)
{
    CTestTable& t = Table({});
    t->SetLogicalName(L"EMPTY");
    CNARecord* p = new CNARecord(m_pError, nullptr);
    p->AddRef();
    EXPECT_EQ(p->bInitRecord(t.Get(), nullptr, m_pCnx), 0);
    EXPECT_EQ(m_pError->dwGetErrorId(), static_cast<unsigned int>(ZTERR_EMPTY_DESCRIPTION));
    EXPECT_NE(std::wstring(m_pError->pclGetXError()->pszGetUserMessage()).find(L"EMPTY"), std::wstring::npos);
    EXPECT_EQ(p->nGetNbColumn(), 0);
    EXPECT_EQ(p->pclGetNAKXRecord(), nullptr);
    EXPECT_EQ(p->bInitRecord(nullptr, nullptr, m_pCnx), 0);
    // Without values nothing is copied or compared.
    CNAKXRecord* pKX = new CNAKXRecord;
    MakeRecord(*pKX, 1, 4);
    CNARecordValue value(m_pError, pKX);
    EXPECT_FALSE(p->bSetNAKXRecord(pKX));
    EXPECT_FALSE(p->bCopyToCurrentRecord(&value));
    EXPECT_FALSE(p->bCopyCurrentRecordToOriginalRecord());
    EXPECT_FALSE(p->bEquals(&value, 0));
    p->SetDeleted();
    CTString cs;
    p->CurrentRecordToString(&cs);
    EXPECT_STREQ(cs.pszGet(), L"<Record ID> : NULL<NullValuesFlags (0=NULL)> :");
    p->nRelease();
}

TEST_F(NARecord, ColumnsWithoutTheDriversFactoryOrOfNoType)
{
    CTestTable& t = Table({{L"A", I4}, {L"M", NA_IT_MEMOTEXTE}});
    CNADriver* pDriver = CNADriver::s_pclDriver;
    CNADriver::s_pclDriver = nullptr;
    CNARecord* p = Record(t);
    CNADriver::s_pclDriver = pDriver;
    ASSERT_NE(p, nullptr);
    SetI4(p->pclGetColumnNoRef(0), 4);
    EXPECT_TRUE(p->pclGetNAKXRecord()->bItemValueDefined(p->pclGetColumnNoRef(0)->piGetItem(), 0));
    CRecordItem item(static_cast<eNA_ITEMTYPE>(40), 0, 0, 4);
    EXPECT_EQ(p->bAddColumn(&item, nullptr), 0);
    EXPECT_EQ(m_pError->pclGetXError()->dwGetSystemErrorCode(), 12u);
    EXPECT_EQ(p->bAddColumn(nullptr, nullptr), 0);
    EXPECT_EQ(p->nGetNbColumn(), 2);
}

TEST_F(NARecord, FailedAllocationsLeaveNothingHalfMade)
{
    CTestTable& t =
        Table({{L"A", I4, U}, {L"B", NA_IT_TEXTE}, {L"M", NA_IT_MEMOTEXTE}, {L"CK", I4, U, true, {L"A", L"B"}}});
    t->UpdateRecordSize();
    CNADataAccess* pAccess = Access();
    nFailEachAllocation([&](int n) {
        CNARecord* p = new CNARecord(m_pError, pAccess);
        p->AddRef();
        int bDone;
        {
            CFailingHeap clHeap(n);
            bDone = p->bInitRecord(t.Get(), nullptr, m_pCnx);
        }
        if (bDone)
            EXPECT_EQ(OrderNames(p), L"A,B");
        else
            EXPECT_EQ(m_pError->pclGetXError()->dwGetSystemErrorCode(), 12u);
        m_pError->Reset();
        EXPECT_EQ(p->nRelease(), 0u);
        return bDone != 0;
    });
    // New buffers for a changed description: a failure to make them keeps
    // the former ones (only a memo's sharing may fail after); either way the
    // columns write to the buffers the record holds.
    CNARecord* p = Record(t, pAccess);
    ASSERT_NE(p, nullptr);
    CNAColumn* pA = p->pclGetColumnNoRef(0);
    nFailEachAllocation([&](int n) {
        CNAKXRecord* pFormer = p->pclGetNAKXRecord();
        SetI4(pA, n);
        int bDone;
        {
            CFailingHeap clHeap(n);
            bDone = p->bUpdateChangedTypeInCurrentRecord(t.Get());
        }
        m_pError->Reset();
        const bool bSwapped = p->pclGetNAKXRecord() != pFormer;
        const bool bMemoShared =
            p->pclGetCurrentRecordValueNoRef()->pclGetMemoValueNoRef(0) == p->pclGetColumnNoRef(2)->pclGetNAValue();
        EXPECT_TRUE(bDone ? bSwapped && bMemoShared : !bSwapped || !bMemoShared);
        EXPECT_EQ(p->pclGetNAKXRecord()->bItemValueDefined(pA->piGetItem(), 0), !bSwapped);
        SetI4(pA, 1000 + n);
        int nRead = 0;
        p->pclGetNAKXRecord()->GetItemValue(&nRead, pA->piGetItem(), 0);
        EXPECT_EQ(nRead, 1000 + n);
        const auto* pId =
            static_cast<const CNARecordId_RecordValues*>(p->pclGetCurrentRecordValueNoRef()->pclGetRecordIdNoRef());
        EXPECT_EQ(pId->pbyGetImage(), p->pclGetNAKXRecord()->pbyGetNullValuesFlags());
        return bDone != 0;
    });
    EXPECT_FALSE(p->bUpdateChangedTypeInCurrentRecord(nullptr));
    EXPECT_NE(p->pclGetNAKXRecord(), nullptr);
}

TEST_F(NARecord, DebugTextOfTheCurrentRecord)
{
    std::vector<SItem> items = {{L"A", I4}, {L"B", I4}, {L"CK", I4, U, true, {L"A"}}, {L"C", I4}};
    for (int i = 0; i < 6; i++)
        items.push_back({L"", I4});
    CNARecord* p = Record(Table(items));
    ASSERT_NE(p, nullptr);
    CTString cs;
    p->CurrentRecordToString(&cs);
    // Ten items: two flag bytes; the columns end at the composite key.
    EXPECT_STREQ(cs.pszGet(), L"<Record ID> : NULL<NullValuesFlags (0=NULL)> : 00000000 00000000"
                              L"\n<A> = <NULL>\n<B> = <NULL>");
    SetI4(p->pclGetColumnNoRef(0), 10);
    CTString cs2;
    p->CurrentRecordToString(&cs2);
    EXPECT_STREQ(cs2.pszGet(), L"<Record ID> : NULL<NullValuesFlags (0=NULL)> : 10000000 00000000"
                               L"\n<A> = <10>\n<B> = <NULL>");
    // With the data access's identity.
    CNARecord* pWithId = Record(Table({{L"A", I4}}), Access());
    ASSERT_NE(pWithId, nullptr);
    CTString cs3;
    pWithId->CurrentRecordToString(&cs3);
    EXPECT_STREQ(cs3.pszGet(), L"<Record ID> : record values (5 bytes)<NullValuesFlags (0=NULL)> : 00000000"
                               L"\n<A> = <NULL>");
}

TEST_F(NARecord, UniqueKeyNotNullToFindTheRowAgain)
{
    // The unique key is U1 (host); X is unique on the database only; ID is
    // the identity, unique on the database, and the only order column.
    CTestTable& host = Table({{L"P", I4}, {L"U1", I4, U}, {L"X", I4}, {L"ID", NA_IT_IDAUTO}});
    CTestTable& db = Table({{L"X", I4, U}, {L"ID", NA_IT_IDAUTO, U, false}});
    const struct { std::vector<const wchar_t*> defined; const wchar_t* pszExpected; } cases[] = {
        {{}, nullptr}, {{L"P"}, nullptr}, {{L"U1", L"X", L"ID"}, L"U1"},
        {{L"X", L"ID"}, L"ID"}, // the first order column before column order
        {{L"X"}, L"X"}, {{L"P", L"ID"}, L"ID"},
    };
    for (const auto& c : cases) {
        CNARecord* p = Record(host, nullptr, nullptr, db.Get());
        ASSERT_NE(p, nullptr);
        ASSERT_EQ(OrderNames(p), L"ID");
        for (const wchar_t* psz : c.defined)
            SetI4(p->pclGetColumnNoRef(psz), 1);
        CNAColumn* pKey = p->pclGetUniqueKeyNotNullNoRef();
        EXPECT_EQ(pKey, c.pszExpected != nullptr ? p->pclGetColumnNoRef(c.pszExpected) : nullptr) << c.defined.size();
    }
}

TEST_F(NARecord, OrderColumnsUpToTheUniqueKey)
{
    CNARecord* p = Record(Table({{L"P", I4}, {L"D", I4, D}, {L"U", I4, U}}));
    ASSERT_NE(p, nullptr);
    ASSERT_EQ(OrderNames(p), L"U,D,P");
    auto List = [&](std::vector<const wchar_t*> first) {
        CRefArray<CNAColumn> tab;
        for (const wchar_t* psz : first)
            tab.Ajoute(p->pclGetColumnNoRef(psz));
        EXPECT_TRUE(p->_AddAllItem(&tab));
        return Names(tab);
    };
    EXPECT_EQ(List({}), L"U,D,P"); // no key defined: the whole order
    EXPECT_EQ(List({L"D"}), L"D,U,P");
    SetI4(p->pclGetColumnNoRef(L"U"), 3);
    EXPECT_EQ(List({}), L"U");
    EXPECT_EQ(List({L"P"}), L"P,U");
    EXPECT_FALSE(p->_AddAllItem(nullptr));
}

TEST_F(NARecord, CompositeKeysCompleteAndNotNull)
{
    CNARecord* p = Record(Table({{L"A", I4}, {L"B", I4}, {L"C", I4}, {L"E", I4}, {L"CK", I4, U, true, {L"A", L"B"}},
                                 {L"CN", I4, U, false, {L"C", L"E"}}, {L"CD", I4, D, false, {L"A", L"C"}}}));
    ASSERT_NE(p, nullptr);
    ASSERT_EQ(p->pclGetTabCompositeKey()->nGetNbElement(), 2); // the unique ones
    const struct { std::vector<const wchar_t*> columns, defined; bool bAdded; } cases[] = {
        {{L"A"}, {L"A"}, false},                // one column is never enough
        {{L"A", L"B"}, {}, false},              // nullable, nothing defined
        {{L"A", L"B"}, {L"B"}, true},
        {{L"B", L"A"}, {L"A"}, true},
        {{L"A", L"B", L"C"}, {L"A"}, false},    // C is no component of CK; CN lacks E
        {{L"A", L"C"}, {L"A", L"C"}, false},    // a duplicates key does not count
        {{L"C", L"E"}, {}, true},               // kept from NULL by the database
        {{L"A", L"B", L"E", L"C"}, {}, true},
        {{L"C", L"C"}, {}, false},              // E missing
    };
    for (const auto& c : cases) {
        CNAColumn* apDefined[4] = {};
        for (size_t i = 0; i < c.defined.size(); i++) {
            apDefined[i] = p->pclGetColumnNoRef(c.defined[i]);
            SetI4(apDefined[i], 1);
        }
        std::vector<CNAColumn*> tab;
        for (const wchar_t* psz : c.columns)
            tab.push_back(p->pclGetColumnNoRef(psz));
        EXPECT_EQ(p->bComposedKeyUniqueNotNullAdded(tab.data(), static_cast<int>(tab.size()), nullptr), c.bAdded)
            << tab.size() << " columns, " << c.defined.size() << " defined";
        for (CNAColumn* pCol : apDefined)
            if (pCol != nullptr)
                pCol->bSetValueNULL();
    }
    EXPECT_FALSE(p->bComposedKeyUniqueNotNullAdded(nullptr, 2, nullptr));
}

TEST_F(NARecord, IdentityOfTheKindTheDataAccessNames)
{
    CTestTable& t = Table({{L"A", I4}, {L"M", NA_IT_MEMOTEXTE}});
    CNARecord* p = Record(t, Access());
    ASSERT_NE(p, nullptr);
    // Each value's identity is its own image and memos.
    for (CNARecordValue* pValue : {p->pclGetCurrentRecordValueNoRef(), p->pclGetOriginalRecordValueNoRef()}) {
        const CNARecordId* pId = pValue->pclGetRecordIdNoRef();
        ASSERT_NE(pId, nullptr);
        ASSERT_EQ(pId->eGetRecordIdType(), CNARecordId::RECORDID_RECORDVALUES);
        const auto* pRV = static_cast<const CNARecordId_RecordValues*>(pId);
        EXPECT_EQ(pRV->pbyGetImage(), pValue->pclGetNAKXRecord()->pbyGetNullValuesFlags());
        EXPECT_EQ(pRV->nGetLength(), pValue->pclGetNAKXRecord()->nGetBufferSize());
        EXPECT_EQ(pRV->pclGetMemoNoRef(), pValue->pclGetTabMemoNoRef());
    }
    EXPECT_NE(p->pclGetCurrentRecordValueNoRef()->pclGetRecordIdNoRef(),
              p->pclGetOriginalRecordValueNoRef()->pclGetRecordIdNoRef());
    // The memo column shares its cell with the current value.
    EXPECT_EQ(p->pclGetCurrentRecordValueNoRef()->pclGetMemoValueNoRef(0), p->pclGetColumnNoRef(1)->pclGetNAValue());
    // Other kinds give no identity; a row id without a cell from the driver
    // cannot make the record.
    for (int nKind : {0, 2}) {
        CNARecord* pNone = Record(t, Access(nKind));
        ASSERT_NE(pNone, nullptr);
        EXPECT_EQ(pNone->pclGetCurrentRecordValueNoRef()->pclGetRecordIdNoRef(), nullptr);
    }
    CNARecord* pRow = new CNARecord(m_pError, Access(CNARecordId::RECORDID_ROWID));
    pRow->AddRef();
    EXPECT_EQ(pRow->bInitRecord(t.Get(), nullptr, m_pCnx), 0);
    EXPECT_EQ(pRow->pclGetNAKXRecord(), nullptr);
    EXPECT_EQ(m_pError->pclGetXError()->dwGetSystemErrorCode(), 12u); // no memory
    pRow->nRelease();
}

TEST_F(NARecord, ValuesBuffersAndCells)
{
    CTestTable& t = Table({{L"A", I4}, {L"B", I4}, {L"M", NA_IT_MEMOTEXTE}});
    CNARecord* p = Record(t, Access());
    ASSERT_NE(p, nullptr);
    CNAColumn* pA = p->pclGetColumnNoRef(L"A");
    CNAColumn* pB = p->pclGetColumnNoRef(L"B");
    EXPECT_EQ(p->llGetDuplicateRank(), 0);
    EXPECT_EQ(p->bDuplicateRankBackward(), 0);
    p->SetDuplicateRank(1LL << 40, 1);
    EXPECT_EQ(p->llGetDuplicateRank(), 1LL << 40);
    EXPECT_EQ(p->bDuplicateRankBackward(), 1);
    p->SetDuplicateRank(2);
    EXPECT_EQ(p->bDuplicateRankBackward(), 0);
    // The prototype is held once, by the record.
    p->pclGetPrototypeNoRef()->AddRef();
    EXPECT_EQ(p->pclGetPrototypeNoRef()->nRelease(), 1u);
    // A buffer from elsewhere: the cells follow its defined bits.
    SetI4(pA, 7);
    CNAKXRecord* pOther = p->pclGetNAKXRecord()->pclGetClone();
    pOther->AddRef();
    pOther->SetItemValueDefined(pA->piGetItem(), 0, 0);
    int n = 9;
    pOther->SetItemValue(pB->piGetItem(), &n, 4, 0);
    pB->pclGetNAValue()->pclGetValue()->SetNullFlag(true);
    EXPECT_TRUE(p->bSetNAKXRecord(pOther));
    EXPECT_TRUE(pA->pclGetNAValue()->pclGetValue()->bIsNull());
    EXPECT_FALSE(pB->pclGetNAValue()->pclGetValue()->bIsNull());
    EXPECT_EQ(p->pclGetNAKXRecord()->bEquals(pOther), true);
    pOther->nRelease();
    // Current to original and back, deleted state, equality.
    EXPECT_EQ(p->bOriginalSet(), 0u);
    EXPECT_FALSE(p->bEquals(p->pclGetOriginalRecordValueNoRef(), 1));
    EXPECT_TRUE(p->bCopyCurrentRecordToOriginalRecord());
    EXPECT_EQ(p->bOriginalSet(), 1u);
    EXPECT_TRUE(p->bEquals(p->pclGetOriginalRecordValueNoRef(), 1));
    EXPECT_EQ(p->pclGetOriginalRecordValueNoRef()->pclGetRecordIdNoRef()->eGetRecordIdType(), 1);
    p->SetDeleted();
    EXPECT_EQ(p->pclGetCurrentRecordValueNoRef()->nGetState(), 128u);
    SetI4(pB, 11);
    EXPECT_TRUE(p->bCopyOriginalRecordToCurrentRecord());
    EXPECT_EQ(p->pclGetCurrentRecordValueNoRef()->nGetState(), 0u);
    CAny v;
    ASSERT_EQ(pB->bGetCurrentValue(&v, 0), 1);
    int nBack = 0;
    v.nGetINT(&nBack);
    EXPECT_EQ(nBack, 9);
    // New buffers: the columns, memo cells and identities follow.
    CNAKXRecord* pFormer = p->pclGetNAKXRecord();
    pFormer->AddRef();
    ASSERT_TRUE(p->bUpdateChangedTypeInCurrentRecord(t.Get()));
    EXPECT_NE(p->pclGetNAKXRecord(), pFormer);
    pFormer->nRelease();
    SetI4(pB, 12);
    EXPECT_TRUE(p->pclGetNAKXRecord()->bItemValueDefined(pB->piGetItem(), 0));
    const auto* pId =
        static_cast<const CNARecordId_RecordValues*>(p->pclGetCurrentRecordValueNoRef()->pclGetRecordIdNoRef());
    EXPECT_EQ(pId->pbyGetImage(), p->pclGetNAKXRecord()->pbyGetNullValuesFlags());
    EXPECT_EQ(p->pclGetCurrentRecordValueNoRef()->pclGetMemoValueNoRef(0), p->pclGetColumnNoRef(2)->pclGetNAValue());
    EXPECT_EQ(p->bOriginalSet(), 1u);
}

TEST(NARecordSlots, VirtualOperationsInOrder)
{
    CheckOrder("CNARecord", {
        SOC(CNARecord, pclGetColumnNoRef, CNAColumn*, const wchar_t*), S(CNARecord, bInitRecord),
        S(CNARecord, SetDeleted), S(CNARecord, _pclAllocColumn)}, 3);
}

// ---- The connection given back through the driver ---------------------------------------------

namespace {

class CCountingDriver : public CNADriver {
public:
    STConnectionCounts m_st;
    CNAConnectionDescription* _pclAllocConnectionDescription(const wchar_t* pszId,
                                                             INAConnectionDescription* pi) override
    {
        return new CCountingConnection(pszId, pi, &m_st);
    }
};

} // namespace

TEST(NARecordConnection, GivenBackThroughTheDriver)
{
    bInitLibrary(nullptr);
    BindValueMachine();
    CCountingDriver* pDriver = new CCountingDriver;
    pDriver->ExternalAddRef();
    ASSERT_EQ(pDriver->bInitDriver(), 1);
    CNADriver::s_pclDriver = pDriver;
    {
        std::unique_ptr<CHostConnectionDescription> pHost(new CHostConnectionDescription);
        pHost->SetText(CHostConnectionDescription::TXT_CONNECTIONNAME, L"records");
        pHost->SetText(CHostConnectionDescription::TXT_PROVIDER, L"MySQL");
        CNADriverLock clLock;
        CNAConnectionDescription* pCnx = pDriver->_pclGetConnection(pHost.get());
        ASSERT_NE(pCnx, nullptr);
        ASSERT_EQ(pCnx->bOpen(pDriver->pclGetError()), 1);
        CNARecord* pRecord;
        {
            CTestTable t(pDriver->pclGetError(), pCnx);
            t.Add(L"A", NA_IT_I4, 4);
            pRecord = t.NewRecord(pDriver->pclGetError(), pCnx);
            ASSERT_NE(pRecord, nullptr);
        }
        // The registry and the record hold it now.
        EXPECT_EQ(pDriver->nReleaseConnection(pCnx), 2);
        EXPECT_EQ(pDriver->m_st.nCloses, 0);
        // The record's release leaves the registry alone with it: closed,
        // unfiled, destroyed.
        EXPECT_EQ(pRecord->nRelease(), 0u);
        EXPECT_EQ(pDriver->m_st.nCloses, 1);
        EXPECT_EQ(pDriver->m_st.nDestroyed, 1);
        EXPECT_EQ(pDriver->nGetNbConnection(), 0u);
    }
    EXPECT_EQ(pDriver->nExternalRelease(), 0);
}
