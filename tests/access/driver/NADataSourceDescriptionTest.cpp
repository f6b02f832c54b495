// Table and query descriptions without a server: item names, record layout,
// keys, the best browse item, the host's slots, clones and the host engine's
// item types.
#include "access/driver/NADataSourceDescription.h"
#include "access/driver/NAError.h"
#include "access/driver/NaDriver.h"
#include "common/platform/MyModuleInfo.h"
#include "common/text/XYStringConcat.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

extern "C" int bInitLibrary(HINSTANCE hModule);

namespace {

typedef CNAItemDescription CItem;

// Notes its destruction; answers the item version it is told.
class CVersionedItem : public CNAItemDescription {
public:
    CVersionedItem(int nVersion, int* pnDestroyed) : m_nVersion(nVersion), m_pnDestroyed(pnDestroyed) {}
    ~CVersionedItem() override { (*m_pnDestroyed)++; }
    int nGetVersion() const override { return m_nVersion; }
    const wchar_t* pszGetName() const override
    {
        if (m_bThrow)
            throw std::runtime_error("item broke");
        return CNAItemDescription::pszGetName();
    }
    bool m_bThrow = false;

private:
    int m_nVersion;
    int* m_pnDestroyed;
};

class CCountedDescription : public CNADataSourceDescription {
public:
    CCountedDescription(CNAError* pError, int* pnDestroyed)
        : CNADataSourceDescription(nullptr, pError), m_pnDestroyed(pnDestroyed)
    {
    }
    ~CCountedDescription() override { (*m_pnDestroyed)++; }

private:
    int* m_pnDestroyed;
};

// Makes counted items of the version it is told.
class CItemDriver : public CNADriver {
public:
    int m_nItemVersion = 9;
    int m_nItemsDestroyed = 0;
    int m_nDescriptionsDestroyed = 0;
    bool m_bRefuseItems = false;
    CNAItemDescription* pclAllocItemDescription() override
    {
        return m_bRefuseItems ? nullptr : new CVersionedItem(m_nItemVersion, &m_nItemsDestroyed);
    }
    CNADataSourceDescription* pclAllocDataSourceDescription(CNAConnectionDescription*, CNAError* pError) override
    {
        return new CCountedDescription(pError, &m_nDescriptionsDestroyed);
    }
};

class NADataSourceDescription : public testing::Test {
protected:
    void SetUp() override
    {
        bInitLibrary(nullptr);
        m_pDriver = new CItemDriver;
        m_pDriver->ExternalAddRef();
        ASSERT_EQ(m_pDriver->bInitDriver(), 1);
        CNADriver::s_pclDriver = m_pDriver;
        m_pDesc = New();
    }
    void TearDown() override
    {
        for (CNADataSourceDescription* p : m_tabHeld)
            EXPECT_EQ(p->nRelease(), 0u);
        // Every description and item went, each once.
        EXPECT_EQ(m_pDriver->m_nDescriptionsDestroyed, static_cast<int>(m_tabHeld.size()) + m_nOtherDescriptions);
        EXPECT_EQ(m_pDriver->m_nItemsDestroyed, m_nItemsMade);
        m_pDriver->nExternalRelease();
    }
    CNADataSourceDescription* New()
    {
        CNADataSourceDescription* p = m_pDriver->pclAllocDataSourceDescription(nullptr, Error());
        p->AddRef();
        m_tabHeld.push_back(p);
        return p;
    }
    CNAError* Error() { return m_pDriver->pclGetError(); }
    int Add(CNADataSourceDescription* p, const wchar_t* pszName, unsigned int nSize, eNA_ITEMTYPE eType,
            unsigned short nFlags = 0, int nPhysical = -1)
    {
        m_nItemsMade++;
        return p->bAddItem(pszName, L"src", pszName, 1, nSize, eType, nPhysical,
                           nFlags != 0 ? static_cast<int>(p->nGetNumKeys()) : -1, nFlags, 0, 0);
    }
    std::wstring Name(INADataSourceDescription* p, unsigned int i)
    {
        INAItemDescription* pi = p->piNAGetItem(i);
        if (pi == nullptr)
            return L"(none)";
        std::wstring s = pi->pszGetName();
        pi->nExternalRelease();
        return s;
    }

    CItemDriver* m_pDriver = nullptr;
    CNADataSourceDescription* m_pDesc = nullptr;
    std::vector<CNADataSourceDescription*> m_tabHeld;
    int m_nItemsMade = 0;
    int m_nOtherDescriptions = 0;
};

} // namespace

TEST_F(NADataSourceDescription, GeneratedAndRepeatedNames)
{
    // The generated name takes the sub-item count of the last layout.
    ASSERT_EQ(Add(m_pDesc, nullptr, 4, NA_IT_I4), 1);
    ASSERT_EQ(Add(m_pDesc, L"", 4, NA_IT_I4), 1);
    ASSERT_EQ(Add(m_pDesc, L"Total", 4, NA_IT_I4), 1);
    ASSERT_EQ(Add(m_pDesc, L"TOTAL", 4, NA_IT_I4), 1);
    ASSERT_EQ(Add(m_pDesc, L"total", 4, NA_IT_I4), 1);
    m_pDesc->UpdateRecordSize();
    ASSERT_EQ(Add(m_pDesc, nullptr, 4, NA_IT_I4), 1);
    const wchar_t* const apsz[] = {L"Expr1000", L"Expr10002", L"Total", L"TOTAL2", L"total3", L"Expr1005"};
    ASSERT_EQ(m_pDesc->nGetNumItems(), 6u);
    for (unsigned int i = 0; i < 6; i++)
        EXPECT_EQ(Name(m_pDesc, i), apsz[i]) << "item " << i;
    CTString cl;
    m_pDesc->MakeNewName(&cl, L"Base", 17);
    EXPECT_STREQ(cl.pszGet(), L"Base17");
}

TEST_F(NADataSourceDescription, RecordLayoutAndPhysicalOrder)
{
    Add(m_pDesc, L"A", 4, NA_IT_I4);
    Add(m_pDesc, L"B", 5, NA_IT_TEXTE);
    m_nItemsMade++;
    ASSERT_EQ(m_pDesc->bAddItem(L"B", L"src", L"B", 2, 5, NA_IT_TEXTE, 7, -1, 0, 0, 0), 1);
    Add(m_pDesc, L"K", 14, NA_IT_BINAIRE, CItem::KF_COMPOSITE | CItem::KF_DUPLICATES);
    m_pDesc->UpdateRecordSize();
    EXPECT_EQ(m_pDesc->nGetMemoryRecordSize(), 33u);
    EXPECT_EQ(m_pDesc->nGetDiskRecordSize(), 19u);
    const int anOffset[] = {0, 4, 9, 19};
    const int anSub[] = {0, 1, 2, 4};
    const int anPhysical[] = {0, 1, 7, 3};
    for (int i = 0; i < 4; i++) {
        CItem* p = m_pDesc->pclNAGetItemNoRef(i);
        EXPECT_EQ(p->nGetOffset(0), anOffset[i]) << "item " << i;
        EXPECT_EQ(p->nGetSubItemRecordIndice(0), anSub[i]) << "item " << i;
        EXPECT_EQ(p->nGetPhysicalIndice(), anPhysical[i]) << "item " << i;
    }
    EXPECT_EQ(Name(m_pDesc, 2), L"B2");

    // Sizes 4, 10 and a composite key of 14.
    CNADataSourceDescription* p = New();
    Add(p, L"I", 4, NA_IT_I4);
    Add(p, L"T", 10, NA_IT_TEXTE);
    Add(p, L"K", 14, NA_IT_BINAIRE, CItem::KF_COMPOSITE | CItem::KF_UNIQUE);
    // Physical index 0 goes first and renumbers the others.
    Add(p, L"Z", 0, NA_IT_I4, 0, 0);
    p->UpdateRecordSize();
    EXPECT_EQ(p->nGetMemoryRecordSize(), 28u);
    EXPECT_EQ(p->nGetDiskRecordSize(), 14u);
    const wchar_t* const apsz[] = {L"Z", L"I", L"T", L"K"};
    const int anZOffset[] = {0, 0, 4, 14};
    for (int i = 0; i < 4; i++) {
        EXPECT_EQ(Name(p, static_cast<unsigned int>(i)), apsz[i]) << "item " << i;
        EXPECT_EQ(p->pclNAGetItemNoRef(i)->nGetPhysicalIndice(), i) << "item " << i;
        EXPECT_EQ(p->pclNAGetItemNoRef(i)->nGetOffset(0), anZOffset[i]) << "item " << i;
    }
    CItem* pclByPhysical = p->pclNAGetItemByPhysicalIndiceDB(2);
    ASSERT_NE(pclByPhysical, nullptr);
    EXPECT_STREQ(pclByPhysical->pszGetName(), L"T");
    pclByPhysical->nExternalRelease();
    EXPECT_EQ(p->pclNAGetItemByPhysicalIndiceDB(9), nullptr);
}

TEST_F(NADataSourceDescription, KeyTypesAndComponents)
{
    Add(m_pDesc, L"ID", 4, NA_IT_I4, CItem::KF_PRIMARY | CItem::KF_UNIQUE);
    Add(m_pDesc, L"CODE", 4, NA_IT_I4, CItem::KF_DUPLICATES);
    Add(m_pDesc, L"NAME", 11, NA_IT_TEXTE);
    ASSERT_EQ(m_pDesc->nGetNumKeys(), 2u);
    struct {
        const wchar_t* pszItem;
        unsigned short nFlags;
        int nKeyIndice;
        unsigned short nFlagsAfter;
    } const aCase[] = {
        {L"id", CItem::KF_DUPLICATES, 0, CItem::KF_PRIMARY | CItem::KF_UNIQUE}, // a primary stays
        {L"name", CItem::KF_UNIQUE, 2, CItem::KF_UNIQUE},                       // a new key
        {L"Code", CItem::KF_UNIQUE, 1, CItem::KF_UNIQUE},                       // a key keeps its place
    };
    for (const auto& c : aCase) {
        EXPECT_EQ(m_pDesc->_bSetKeyType(c.pszItem, c.nFlags), 1) << c.pszItem;
        CItem* p = m_pDesc->pclNAGetItemNoRef(c.pszItem, 0);
        EXPECT_EQ(p->nGetKeyIndice(), c.nKeyIndice) << c.pszItem;
        EXPECT_EQ(p->nGetKeyFlags(), c.nFlagsAfter) << c.pszItem;
    }
    EXPECT_EQ(m_pDesc->nGetNumKeys(), 3u);
    EXPECT_EQ(m_pDesc->pclNAGetKeyNoRef(2), m_pDesc->pclNAGetItemNoRef(L"NAME", 0));
    EXPECT_EQ(m_pDesc->_bSetKeyType(3, CItem::KF_UNIQUE), 0);
    EXPECT_EQ(m_pDesc->_bSetKeyType(-1, CItem::KF_UNIQUE), 0);
    EXPECT_EQ(m_pDesc->_bSetKeyType(1, CItem::KF_DUPLICATES), 1);
    EXPECT_EQ(m_pDesc->pclNAGetItemNoRef(1)->nGetKeyFlags(), CItem::KF_DUPLICATES);
    EXPECT_EQ(m_pDesc->nGetNumKeys(), 3u);

    // A missing name is user error 26 with the table and the item.
    m_pDesc->SetDBName(L"orders");
    Error()->Reset();
    EXPECT_EQ(m_pDesc->_bSetKeyType(L"nothing", CItem::KF_UNIQUE), 0);
    EXPECT_EQ(Error()->dwGetErrorId(), static_cast<unsigned int>(ZTERR_NO_SUCH_ITEM));
    EXPECT_STREQ(Error()->pszGetLogicalTableName(), L"orders");
    EXPECT_STREQ(Error()->pszGetItemName(), L"nothing");

    CItem* pclKey = m_pDriver->pclAllocItemDescription();
    m_nItemsMade++;
    pclKey->AddRef();
    pclKey->bInit(L"CK", L"", L"", 1, 0, NA_IT_BINAIRE, -1, 3, CItem::KF_COMPOSITE | CItem::KF_UNIQUE, 0, 0);
    EXPECT_EQ(m_pDesc->_bAddItemComponent(pclKey, 0), 1);
    EXPECT_EQ(m_pDesc->_bAddItemComponent(pclKey, L"name"), 1);
    EXPECT_EQ(m_pDesc->_bAddItemComponent(pclKey, 3), 0);
    EXPECT_EQ(m_pDesc->_bAddItemComponent(pclKey, L"absent"), 0);
    EXPECT_EQ(pclKey->nGetNumComponents(), 2);
    EXPECT_EQ(pclKey->nGetItemSize(), 14u);
    m_pDesc->_AddItem(pclKey);
    pclKey->nRelease();
    EXPECT_EQ(m_pDesc->nGetNumKeys(), 4u);
    // Trailing spaces are ignored by key names and by flag 0x1.
    INAItemDescription* pi = m_pDesc->piNAGetKey(L"CK   ");
    ASSERT_NE(pi, nullptr);
    pi->nExternalRelease();
    EXPECT_EQ(m_pDesc->pclNAGetItemNoRef(L"NAME  ", 1), m_pDesc->pclNAGetItemNoRef(2));
    EXPECT_EQ(m_pDesc->pclNAGetItemNoRef(L"NAME  ", 2), nullptr);
    EXPECT_EQ(m_pDesc->piNAGetKey(L"nothing"), nullptr);
}

TEST_F(NADataSourceDescription, BestParseItem)
{
    const unsigned short U = CItem::KF_UNIQUE, D = CItem::KF_DUPLICATES, P = CItem::KF_PRIMARY | U;
    struct STItem { const wchar_t* pszName; eNA_ITEMTYPE eType; unsigned short nFlags; bool bNotNull; };
    struct { const char* pszCase; int nVersion; std::vector<STItem> tab; const wchar_t* pszBest; } const aCase[] = {
        {"no item", 9, {}, nullptr},
        {"no key: first not memo", 9, {{L"M", NA_IT_MEMOTEXTE, 0, false}, {L"A", NA_IT_I4, 0, false}}, L"A"},
        {"no key, memos only", 9, {{L"M", NA_IT_MEMOTEXTE, 0, false}, {L"N", NA_IT_MEMOTEXTE, 0, false}}, L"M"},
        {"primary at once", 9, {{L"U", NA_IT_I4, U, true}, {L"P", NA_IT_I4, P, false}}, L"P"},
        {"first unique", 9, {{L"D", NA_IT_I4, D, true}, {L"U1", NA_IT_I4, U, false}, {L"U2", NA_IT_I4, U, false}},
         L"U1"},
        {"not null replaces", 9, {{L"U1", NA_IT_I4, U, false}, {L"U2", NA_IT_I4, U, true}}, L"U2"},
        {"null does not", 9, {{L"U1", NA_IT_I4, U, true}, {L"U2", NA_IT_I4, U, false}, {L"U3", NA_IT_I4, U, true}},
         L"U1"},
        {"no unique: key 0", 9, {{L"A", NA_IT_I4, 0, false}, {L"D1", NA_IT_I4, D, true}, {L"D2", NA_IT_I4, D, true}},
         L"D1"},
        // Version 8: only automatic identifiers (and primaries) refuse NULL.
        {"v8 constraint ignored", 8, {{L"U1", NA_IT_I4, U, false}, {L"U2", NA_IT_I4, U, true}}, L"U1"},
        {"v8 identifier", 8, {{L"U1", NA_IT_I4, U, true}, {L"U2", NA_IT_IDAUTO4, U, false}}, L"U2"},
        {"v8 8-byte identifier", 8, {{L"U1", NA_IT_I8, U, true}, {L"U2", NA_IT_IDAUTO, U, false}}, L"U2"},
    };
    for (const auto& c : aCase) {
        m_pDriver->m_nItemVersion = c.nVersion;
        CNADataSourceDescription* p = New();
        for (const STItem& st : c.tab) {
            Add(p, st.pszName, st.eType == NA_IT_I4 ? 4 : 8, st.eType, st.nFlags);
            CItem* pclItem = p->pclNAGetItemNoRef(st.pszName, 0);
            pclItem->SetNullable(st.bNotNull ? 0 : 1);
        }
        INAItemDescription* pi = p->piGetBestParseItemDesc();
        if (c.pszBest == nullptr) {
            EXPECT_EQ(pi, nullptr) << c.pszCase;
            continue;
        }
        ASSERT_NE(pi, nullptr) << c.pszCase;
        EXPECT_STREQ(pi->pszGetName(), c.pszBest) << c.pszCase;
        // Kept after the first demand.
        INAItemDescription* pi2 = p->piGetBestParseItemDesc();
        EXPECT_EQ(pi2, pi) << c.pszCase;
        pi->nExternalRelease();
        pi2->nExternalRelease();
    }
    m_pDesc->_SetBestParseItem(L"none");
    EXPECT_EQ(m_pDesc->piGetBestParseItemDesc(), nullptr);
    // Replacing the best item lets the former one go (counted at the end).
    Add(m_pDesc, L"A", 4, NA_IT_I4);
    Add(m_pDesc, L"B", 4, NA_IT_I4);
    m_pDesc->_SetBestParseItem(L"a");
    m_pDesc->_SetBestParseItem(L"b");
    INAItemDescription* pi = m_pDesc->piGetBestParseItemDesc();
    EXPECT_STREQ(pi->pszGetName(), L"B");
    pi->nExternalRelease();
    CItem* pclFirst = m_pDesc->pclNAGetItemNoRef(0);
    EXPECT_EQ(pclFirst->nGetExternalRef(), 1u);
}

TEST_F(NADataSourceDescription, FailuresOfItemsAndSlots)
{
    // No item can be made: 0 with the no-memory error, nothing filed.
    m_pDriver->m_bRefuseItems = true;
    EXPECT_EQ(m_pDesc->bAddItem(L"A", L"", L"", 1, 4, NA_IT_I4, -1, -1, 0, 0, 0), 0);
    EXPECT_EQ(Error()->dwGetErrorId(), static_cast<unsigned int>(ZTERR_NO_MEMORY));
    EXPECT_EQ(m_pDesc->nGetNumItems(), 0u);
    m_pDriver->m_bRefuseItems = false;
    Error()->Reset();
    // An item that throws from the host's slot: null with an error.
    Add(m_pDesc, L"A", 4, NA_IT_I4);
    static_cast<CVersionedItem*>(m_pDesc->pclNAGetItemNoRef(0))->m_bThrow = true;
    EXPECT_EQ(m_pDesc->piNAGetItem(L"A"), nullptr);
    EXPECT_NE(Error()->dwGetErrorId(), 0u);
    static_cast<CVersionedItem*>(m_pDesc->pclNAGetItemNoRef(0))->m_bThrow = false;
}

TEST_F(NADataSourceDescription, HostSlotsAndRanges)
{
    m_pDesc->SetLogicalName(L"LOGICAL");
    m_pDesc->SetDBName(L"dbname");
    Add(m_pDesc, L"ID", 4, NA_IT_I4, CItem::KF_PRIMARY);
    Add(m_pDesc, L"NOTE", 8, NA_IT_MEMOTEXTE);
    Add(m_pDesc, L"V", 3, NA_IT_TEXTE);
    m_pDesc->UpdateRecordSize();
    INADataSourceDescription* pi = m_pDesc;
    EXPECT_EQ(pi->nGetVersion(), 6);
    EXPECT_EQ(pi->nGetCompatSince(), 1);
    EXPECT_EQ(pi->nGetNAVersion(), -1);
    EXPECT_EQ(pi->nGetNACompatSince(), -1);
    pi->NAVersion_EmptySlot_3();
    EXPECT_STREQ(pi->pszGetLogicalName(), L"LOGICAL");
    EXPECT_STREQ(pi->pszGetPhysicalName(), L"LOGICAL");
    EXPECT_STREQ(pi->pszGetDefaultDirectory(), L"");
    EXPECT_EQ(pi->nGetDiskRecordSize(), 15u);
    EXPECT_EQ(pi->nGetMemoryRecordSize(), 15u);
    EXPECT_EQ(pi->nGetNumItems(), 3u);
    EXPECT_EQ(pi->nGetNumKeys(), 1u);
    EXPECT_EQ(pi->nGetNumMemos(), 1u);
    EXPECT_EQ(pi->nGetNumItemPhysicallyInFic(), 3u);
    EXPECT_EQ(pi->eGetNASubDataType(), 1);
    EXPECT_STREQ(pi->pszGetDBTableName(), L"dbname");
    EXPECT_STREQ(pi->pszGetDefaultDatabase(), L"");
    EXPECT_EQ(pi->pszGetExtension(), nullptr);
    EXPECT_EQ(pi->pszGetCaption(), nullptr);
    EXPECT_EQ(pi->bGetNullSupported(), 1);
    EXPECT_STREQ(pi->pszGetExtendedInfo(), L"");
    EXPECT_STREQ(pi->pszGetType(), L"");
    EXPECT_STREQ(pi->pszGetOwner(), L"");
    pi->EmptySlot137();
    pi->EmptySlot146();
    struct { const char* pszSlot; INAItemDescription* piGot; const wchar_t* pszName; } const aCase[] = {
        {"item by name", pi->piNAGetItem(L"note"), L"NOTE"}, {"missing name", pi->piNAGetItem(L"nothing"), nullptr},
        {"item 2", pi->piNAGetItem(2u), L"V"}, {"item 3", pi->piNAGetItem(3u), nullptr},
        {"item -1", pi->piNAGetItem(0xFFFFFFFFu), nullptr}, {"key 0", pi->piNAGetKey(0u), L"ID"},
        {"key 1", pi->piNAGetKey(1u), nullptr}, {"memo 0", pi->piNAGetMemo(0u), L"NOTE"},
        {"memo 1", pi->piNAGetMemo(1u), nullptr}, {"memo 2^31", pi->piNAGetMemo(0x80000000u), nullptr},
        {"best", pi->piGetBestParseItemDesc(), L"ID"},
    };
    for (const auto& c : aCase) {
        if (c.pszName == nullptr) {
            EXPECT_EQ(c.piGot, nullptr) << c.pszSlot;
            continue;
        }
        ASSERT_NE(c.piGot, nullptr) << c.pszSlot;
        EXPECT_STREQ(c.piGot->pszGetName(), c.pszName) << c.pszSlot;
        c.piGot->nExternalRelease();
    }

    // The two counts: the host's last release with no internal reference
    // destroys the description.
    int nDestroyed = 0;
    CCountedDescription* p = new CCountedDescription(Error(), &nDestroyed);
    p->ExternalAddRef();
    p->AddRef();
    EXPECT_EQ(p->nExternalRelease(), 0u);
    EXPECT_EQ(nDestroyed, 0);
    EXPECT_EQ(p->nExternalRelease(), 0u);
    EXPECT_EQ(nDestroyed, 0);
    p->ExternalAddRef();
    EXPECT_EQ(p->nRelease(), 0u);
    EXPECT_EQ(nDestroyed, 0);
    EXPECT_EQ(p->nExternalRelease(), 0u);
    EXPECT_EQ(nDestroyed, 1);
}

TEST_F(NADataSourceDescription, CompatibilityAndCatalogueOfTheBase)
{
    m_pDesc->SetLogicalName(L"MINE");
    Add(m_pDesc, L"A", 4, NA_IT_I4);
    Add(m_pDesc, L"B ", 4, NA_IT_I4);
    CNADataSourceDescription* pOther = New();
    Add(pOther, L"a", 4, NA_IT_I4);
    Add(pOther, L"B", 4, NA_IT_I4);
    Add(pOther, L"K", 8, NA_IT_BINAIRE, CItem::KF_COMPOSITE);
    EXPECT_EQ(m_pDesc->bAreDescriptionCompatible(pOther), 1);
    Add(pOther, L"C", 4, NA_IT_I4);
    Error()->Reset();
    EXPECT_EQ(m_pDesc->bAreDescriptionCompatible(pOther), 0);
    EXPECT_EQ(Error()->dwGetErrorId(), static_cast<unsigned int>(ZTERR_INCOMPATIBLE));
    EXPECT_STREQ(Error()->pszGetLogicalTableName(), L"MINE");
    EXPECT_STREQ(Error()->pszGetItemName(), L"C");

    // The base has no catalogue: it fails and raises nothing itself.
    Error()->Reset();
    CNADataSourceDescription* p = New();
    EXPECT_EQ(p->bInitDataSourceDescriptionFromDB(L"orders", 0), 0);
    EXPECT_EQ(Error()->dwGetErrorId(), 0u);
    EXPECT_STREQ(p->pszGetLogicalName(), L"orders");
    EXPECT_STREQ(p->pszGetDBTableName(), L"orders");
    EXPECT_EQ(p->eGetSourceKind(), static_cast<unsigned int>(CNADataSourceDescription::SOURCE_CATALOGUE));
    CXYStringConcat<wchar_t> clText;
    EXPECT_EQ(p->_bGetQueryShowColumns(&clText), 0);
    EXPECT_EQ(p->_bInitItemFromQueryShowColumns(nullptr), 0);
    EXPECT_EQ(p->_bGetQueryShowIndex(&clText), 0);
    EXPECT_EQ(p->_bInitKeysFromQueryShowIndex(nullptr), 0);
    EXPECT_EQ(clText.m_nLength, 0u);
    // Without a parsed query nothing is completed, but the source is a
    // result.
    EXPECT_EQ(p->bCompleteDescription(nullptr), 1);
    EXPECT_EQ(p->eGetSourceKind(), static_cast<unsigned int>(CNADataSourceDescription::SOURCE_RESULT));
}

// A description the driver filled from the catalogue is known for its own
// while it lives: the host may hand it back. One whose catalogue read
// failed, one never read and one destroyed are not.
TEST_F(NADataSourceDescription, OnlyOneReadFromTheCatalogueIsKnownForTheDrivers)
{
    class CRead : public CCountedDescription {
    public:
        CRead(CNAError* pError, int* pnDestroyed, int bRead) : CCountedDescription(pError, pnDestroyed), m_bRead(bRead)
        {
        }
        int _bGetDataSourceInfo(int) override { return m_bRead; }

    private:
        int m_bRead;
    };
    CNADataSourceDescription* apRead[2];
    for (int bRead : {0, 1}) {
        apRead[bRead] = new CRead(Error(), &m_pDriver->m_nDescriptionsDestroyed, bRead);
        apRead[bRead]->AddRef();
        m_nOtherDescriptions++;
        EXPECT_EQ(CNADataSourceDescription::s_pclReadFromCatalogue(apRead[bRead]), nullptr);
        EXPECT_EQ(apRead[bRead]->bInitDataSourceDescriptionFromDB(L"t", 0), bRead);
    }
    EXPECT_EQ(CNADataSourceDescription::s_pclReadFromCatalogue(apRead[1]), apRead[1]);
    EXPECT_EQ(CNADataSourceDescription::s_pclReadFromCatalogue(apRead[0]), nullptr);
    EXPECT_EQ(CNADataSourceDescription::s_pclReadFromCatalogue(m_pDesc), nullptr);
    EXPECT_EQ(CNADataSourceDescription::s_pclReadFromCatalogue(nullptr), nullptr);
    // Gone, its address stands for nothing of the driver's.
    const std::uintptr_t nGone = reinterpret_cast<std::uintptr_t>(static_cast<INADataSourceDescription*>(apRead[1]));
    for (CNADataSourceDescription* p : apRead)
        EXPECT_EQ(p->nRelease(), 0u);
    EXPECT_EQ(CNADataSourceDescription::s_pclReadFromCatalogue(reinterpret_cast<INADataSourceDescription*>(nGone)),
              nullptr);
}

// A clone's text items are bound by the same declared characters, and know
// the same characters of several byte forms in their set; an item never
// given a length or a set has neither.
TEST_F(NADataSourceDescription, ClonesKeepTheDeclaredCharacters)
{
    Add(m_pDesc, L"V", 18, NA_IT_UNICODE);
    Add(m_pDesc, L"N", 4, NA_IT_I4);
    m_pDesc->pclNAGetItemNoRef(0)->SetCharacterLength(4);
    m_pDesc->pclNAGetItemNoRef(0)->SetColumnCharset(L"cp932_japanese_ci");
    EXPECT_EQ(m_pDesc->pclNAGetItemNoRef(1)->nGetCharacterLength(), 0u);
    for (int nOptions : {0, 0x1, 0x2}) {
        CNADataSourceDescription* p = m_pDesc->pclGetCloneDataSourceDescription(nOptions);
        ASSERT_NE(p, nullptr) << nOptions;
        m_nItemsMade += 2;
        p->AddRef();
        m_tabHeld.push_back(p);
        EXPECT_EQ(p->pclNAGetItemNoRef(0)->nGetCharacterLength(), 4u) << nOptions;
        EXPECT_EQ(p->pclNAGetItemNoRef(1)->nGetCharacterLength(), 0u) << nOptions;
        // Roman numeral one, in two places of cp932.
        EXPECT_TRUE(p->pclNAGetItemNoRef(0)->bTwinForms(0x2160)) << nOptions;
        EXPECT_FALSE(p->pclNAGetItemNoRef(1)->bAnyTwinForms()) << nOptions;
        EXPECT_TRUE(p->pclNAGetItemNoRef(0)->bBytesBeyondCharacters()) << nOptions;
        EXPECT_FALSE(p->pclNAGetItemNoRef(1)->bBytesBeyondCharacters()) << nOptions;
    }
}

TEST_F(NADataSourceDescription, Clones)
{
    m_pDesc->SetLogicalName(L"SRC");
    m_pDesc->SetDBName(L"src_db");
    Add(m_pDesc, L"ID", 4, NA_IT_I4, CItem::KF_UNIQUE);
    Add(m_pDesc, L"WHEN", 8, NA_IT_DATE8);
    Add(m_pDesc, L"AT", 8, NA_IT_DATETIME);
    Add(m_pDesc, L"NOTE", 8, NA_IT_MEMOTEXTE);
    Add(m_pDesc, L"WNOTE", 8, NA_IT_MEMOUNICODE);
    CItem* pclKey = m_pDriver->pclAllocItemDescription();
    m_nItemsMade++;
    pclKey->bInit(L"CK", L"", L"", 1, 0, NA_IT_BINAIRE, -1, 1, CItem::KF_COMPOSITE | CItem::KF_UNIQUE, 0, 0);
    m_pDesc->_bAddItemComponent(pclKey, L"ID");
    m_pDesc->_bAddItemComponent(pclKey, L"WHEN");
    m_pDesc->_AddItem(pclKey);
    m_pDesc->_SetBestParseItem(L"WHEN");
    m_pDesc->UpdateRecordSize();

    // Only keys take a key index, their place among the clone's keys.
    struct {
        int nOptions;
        unsigned short anFlags[6];
        int anKey[6];
        eNA_ITEMTYPE eWhen;
        eNA_ITEMTYPE eAt;
    } const aCase[] = {
        {0,
         {CItem::KF_UNIQUE, 0, 0, 0, 0, CItem::KF_COMPOSITE | CItem::KF_UNIQUE},
         {0, -1, -1, -1, -1, 1},
         NA_IT_DATE8,
         NA_IT_DATETIME},
        {0x1,
         {CItem::KF_UNIQUE, 0x2800, 0x2800, 0, 0, CItem::KF_COMPOSITE | CItem::KF_UNIQUE},
         {0, 1, 2, -1, -1, 3},
         NA_IT_DATE8,
         NA_IT_DATETIME},
        {0x2,
         {CItem::KF_UNIQUE, 0, 0, 0, 0, CItem::KF_COMPOSITE | CItem::KF_UNIQUE},
         {0, -1, -1, -1, -1, 1},
         NA_IT_TEXTE,
         NA_IT_TEXTE},
    };
    for (const auto& c : aCase) {
        const int nBefore = m_pDriver->m_nItemsDestroyed;
        CNADataSourceDescription* p = m_pDesc->pclGetCloneDataSourceDescription(c.nOptions);
        ASSERT_NE(p, nullptr) << c.nOptions;
        m_nItemsMade += 6;
        p->AddRef();
        m_tabHeld.push_back(p);
        EXPECT_EQ(p->nGetRef(), 1u);
        EXPECT_STREQ(p->pszGetLogicalName(), L"SRC");
        EXPECT_STREQ(p->pszGetDBTableName(), L"src_db");
        ASSERT_EQ(p->nGetNumItems(), 6u) << c.nOptions;
        EXPECT_EQ(p->nGetMemoryRecordSize(), m_pDesc->nGetMemoryRecordSize());
        for (int i = 0; i < 6; i++) {
            CItem* pc = p->pclNAGetItemNoRef(i);
            EXPECT_NE(pc, m_pDesc->pclNAGetItemNoRef(i));
            EXPECT_STREQ(pc->pszGetName(), m_pDesc->pclNAGetItemNoRef(i)->pszGetName());
            EXPECT_EQ(pc->nGetKeyFlags(), c.anFlags[i]) << c.nOptions << " item " << i;
            EXPECT_EQ(pc->nGetKeyIndice(), c.anKey[i]) << c.nOptions << " item " << i;
        }
        const unsigned int nKeys = p->nGetNumKeys();
        // An item that was no key becomes the next one.
        if (c.anKey[3] < 0) {
            ASSERT_EQ(p->_bSetKeyType(3, CItem::KF_DUPLICATES), 1);
            EXPECT_EQ(p->nGetNumKeys(), nKeys + 1) << c.nOptions;
            EXPECT_EQ(p->pclNAGetItemNoRef(3)->nGetKeyIndice(), static_cast<int>(nKeys)) << c.nOptions;
        }
        EXPECT_EQ(p->pclNAGetItemNoRef(1)->eNAGetItemType(), c.eWhen) << c.nOptions;
        EXPECT_EQ(p->pclNAGetItemNoRef(2)->eNAGetItemType(), c.eAt) << c.nOptions;
        // A date turned text has an empty text for default, no longer NULL;
        // one kept keeps its NULL default of its own type.
        for (int i : {1, 2}) {
            CItem* pc = p->pclNAGetItemNoRef(i);
            const CAny* pv = pc->pclGetDefaultValue(0);
            const bool bText = pc->eNAGetItemType() == NA_IT_TEXTE;
            EXPECT_EQ(pv->nGetTypeCode(), ConverteItemToTQType(pc->eNAGetItemType(), -1)) << c.nOptions << " item " << i;
            EXPECT_EQ(pv->bIsNull(), !bText) << c.nOptions << " item " << i;
            if (bText) {
                const char* psz = nullptr;
                pv->pclGetTraitement()->nGetPCASTR(&psz);
                EXPECT_STREQ(psz != nullptr ? psz : "", "") << c.nOptions << " item " << i;
            }
        }
        // The composite's components are the clone's own items.
        CItem* pck = p->pclNAGetItemNoRef(5);
        ASSERT_EQ(pck->nGetNumComponents(), 2);
        for (int k = 1; k <= 2; k++) {
            INAItemDescription* piC = pck->piGetItemComponent(k);
            EXPECT_EQ(piC, p->pclNAGetItemNoRef(k - 1)) << c.nOptions << " component " << k;
            piC->nExternalRelease();
        }
        INAItemDescription* piBest = p->piGetBestParseItemDesc();
        EXPECT_EQ(piBest, p->pclNAGetItemNoRef(1));
        piBest->nExternalRelease();
        EXPECT_EQ(m_pDriver->m_nItemsDestroyed, nBefore);
    }

    // A composite filed before its components has nothing to point at in
    // the clone: user error 26, no clone.
    CNADataSourceDescription* pBad = New();
    CItem* pclFirst = m_pDriver->pclAllocItemDescription();
    m_nItemsMade++;
    pclFirst->bInit(L"CK", L"", L"", 1, 0, NA_IT_BINAIRE, -1, 0, CItem::KF_COMPOSITE | CItem::KF_UNIQUE, 0, 0);
    pBad->_AddItem(pclFirst);
    Add(pBad, L"X", 4, NA_IT_I4);
    pBad->_bAddItemComponent(pclFirst, L"X");
    Error()->Reset();
    const int nDescriptions = m_pDriver->m_nDescriptionsDestroyed;
    const int nItems = m_pDriver->m_nItemsDestroyed;
    EXPECT_EQ(pBad->pclGetCloneDataSourceDescription(0), nullptr);
    EXPECT_EQ(Error()->dwGetErrorId(), static_cast<unsigned int>(ZTERR_NO_SUCH_ITEM));
    EXPECT_EQ(m_pDriver->m_nDescriptionsDestroyed, nDescriptions + 1);
    EXPECT_EQ(m_pDriver->m_nItemsDestroyed, nItems + 1);
    m_nOtherDescriptions++;
    m_nItemsMade++;
}

TEST(NADataSourceDescriptionTypes, HostEngineItemTypes)
{
    // Engine types 0 to 45; -1 for the text memo fallback.
    const int anExpected[46] = {0,  15, 2,  3,  4,  5,  6,  7,  3,  9,  10, 11, 26, 13, 14, 15,
                                15, 17, 18, 15, 15, 15, 15, 21, 1,  19, 22, 20, 23, 15, 18, 15,
                                15, 5,  24, 25, 12, 27, 28, 29, 30, 31, 15, 15, 15, 15};
    for (int i = 0; i < 46; i++)
        EXPECT_EQ(CNADataSourceDescription::g_eGetNAItemType(i), anExpected[i]) << "engine type " << i;
    EXPECT_EQ(CNADataSourceDescription::g_eGetNAItemType(-1), NA_IT_MEMOTEXTE);
}
