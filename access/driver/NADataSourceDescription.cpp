#include "access/driver/NADataSourceDescription.h"

#include "access/driver/Interf.h"
#include "access/driver/NAConnectionDescription.h"
#include "access/driver/NADriverLock.h"
#include "access/driver/NADriverSQL.h"
#include "access/driver/NAError.h"
#include "access/driver/NaDriver.h"
#include "access/sql/SQLParserInfo.h"
#include "access/statement/NAColumn.h"
#include "access/statement/NAStatementSQL.h"
#include "common/platform/MyModuleInfo.h"
#include "common/text/TextCompare.h"
#include "common/text/XYStringConcat.h"

#include <cstdint>
#include <new>
#include <set>

namespace {

// Raising points of this file.
enum : int {
    POINT_NO_SUCH_ITEM = 1,
    POINT_INCOMPATIBLE = 2,
    POINT_NO_COLUMN = 3,
    POINT_NO_MEMORY = 4,
    POINT_NOT_BUILT = 5,
    POINT_NO_SQL = 6,
};

const int kFile = CNADataSourceDescription::ERRFILE_DESCRIPTION;

// A host entry: an exception stops there with the failure answer.
template <class R, class F>
R Guard(CNAError* pclError, R rFailure, F&& f) noexcept
{
    try {
        return f();
    } catch (...) {
        if (pclError != nullptr)
            pclError->OnException(kFile, POINT_NO_MEMORY);
        return rFailure;
    }
}

// An item with an external reference for the caller, or null.
INAItemDescription* piWithRef(CNAItemDescription* p)
{
    if (p != nullptr)
        p->ExternalAddRef();
    return p;
}

bool bSameTrimmed(const wchar_t* pszA, const wchar_t* pszB)
{
    CTString clA(pszA);
    CTString clB(pszB);
    clA.SansEspace();
    clB.SansEspace();
    return STR_nCompareW(clA.pszGet(), clB.pszGet(), 3) == 0;
}

// Holds a new item while it is built and filed: a failure lets it go.
struct CItemHold {
    CNAItemDescription* p;
    explicit CItemHold(CNAItemDescription* pcl) : p(pcl) { p->AddRef(); }
    ~CItemHold() { p->nRelease(); }
    CItemHold(const CItemHold&) = delete;
    CItemHold& operator=(const CItemHold&) = delete;
};

// Gives a statement back on every way out.
struct CStatementHold {
    CNAStatementSQL* p = nullptr;
    ~CStatementHold()
    {
        if (p != nullptr)
            p->nRelease();
    }
};

} // namespace

CNADataSourceDescription::CNADataSourceDescription(CNAConnectionDescription* pclConnection, CNAError* pclError)
    : m_pclError(pclError),
      m_nRef(0),
      m_nExternalRef(0),
      m_pclConnection(pclConnection),
      m_nDiskRecordSize(0),
      m_nMemoryRecordSize(0),
      m_nSubItemCount(0),
      m_tabItems(20),
      m_tabKeys(10),
      m_tabMemos(10),
      m_piBestParseItem(nullptr),
      m_eSourceKind(SOURCE_NONE)
{
    if (m_pclError != nullptr)
        m_pclError->AddRef();
    if (m_pclConnection != nullptr)
        m_pclConnection->AddRef();
}

namespace {

// The descriptions read from the catalogue that are alive. The set goes with
// the module's statics; a description destroyed after that (by another
// static's destructor) finds no set and has nothing to leave.
bool s_bReadFromCatalogueGone = false;

struct SReadFromCatalogue
{
    std::set<const INADataSourceDescription*> set;
    ~SReadFromCatalogue() { s_bReadFromCatalogueGone = true; }
};

std::set<const INADataSourceDescription*>* ReadFromCatalogue()
{
    if (s_bReadFromCatalogueGone)
        return nullptr;
    static SReadFromCatalogue s_st;
    return &s_st.set;
}

} // namespace

CNADataSourceDescription* CNADataSourceDescription::s_pclReadFromCatalogue(INADataSourceDescription* pi)
{
    CNADriverLock clLock;
    const auto* pSet = ReadFromCatalogue();
    return pi != nullptr && pSet != nullptr && pSet->count(pi) > 0 ? static_cast<CNADataSourceDescription*>(pi)
                                                                   : nullptr;
}

CNADataSourceDescription::~CNADataSourceDescription()
{
    {
        CNADriverLock clLock;
        if (auto* pSet = ReadFromCatalogue())
            pSet->erase(this);
    }
    m_tabItems.SupprimeTout();
    m_tabKeys.SupprimeTout();
    m_tabMemos.SupprimeTout();
    if (m_piBestParseItem != nullptr)
        m_piBestParseItem->nExternalRelease();
    m_piBestParseItem = nullptr;
    // A connection made for this description closes with its last user.
    CNADriver::g_ReleaseHeldConnection(m_pclConnection);
    m_pclConnection = nullptr;
    if (m_pclError != nullptr)
        m_pclError->nRelease();
    m_pclError = nullptr;
}

// ---- Counting -------------------------------------------------------------------------------

// Both counts change under the driver mutex: the host may hold the
// description on several threads.
void CNADataSourceDescription::ExternalAddRef()
{
    CNADriverLock clLock;
    m_nExternalRef++;
}

unsigned int CNADataSourceDescription::nExternalRelease()
{
    return Guard(m_pclError, 0u, [&] {
        CNADriverLock clLock;
        return g_nReleaseOneOfTwo(this, m_nExternalRef, m_nRef);
    });
}

unsigned int CNADataSourceDescription::nRelease()
{
    CNADriverLock clLock;
    return g_nReleaseOneOfTwo(this, m_nRef, m_nExternalRef);
}

// ---- Fixed answers ------------------------------------------------------------------------------

int CNADataSourceDescription::nGetVersion() const
{
    return 6;
}

int CNADataSourceDescription::nGetCompatSince() const
{
    return 1;
}

int CNADataSourceDescription::nGetNAVersion() const
{
    return -1;
}

int CNADataSourceDescription::nGetNACompatSince() const
{
    return -1;
}

void CNADataSourceDescription::NAVersion_EmptySlot_3() {}

const wchar_t* CNADataSourceDescription::pszGetLogicalName() const
{
    return m_csLogicalName.pszGet();
}

const wchar_t* CNADataSourceDescription::pszGetPhysicalName() const
{
    return m_csLogicalName.pszGet();
}

const wchar_t* CNADataSourceDescription::pszGetDefaultDirectory() const
{
    return L"";
}

unsigned int CNADataSourceDescription::nGetDiskRecordSize() const
{
    return m_nDiskRecordSize;
}

unsigned int CNADataSourceDescription::nGetMemoryRecordSize() const
{
    return m_nMemoryRecordSize;
}

unsigned int CNADataSourceDescription::nGetNumItems() const
{
    return static_cast<unsigned int>(m_tabItems.nGetNbElement());
}

unsigned int CNADataSourceDescription::nGetNumKeys() const
{
    return static_cast<unsigned int>(m_tabKeys.nGetNbElement());
}

unsigned int CNADataSourceDescription::nGetNumMemos() const
{
    return static_cast<unsigned int>(m_tabMemos.nGetNbElement());
}

unsigned int CNADataSourceDescription::nGetNumItemPhysicallyInFic() const
{
    return nGetNumItems();
}

INAItemDescription* CNADataSourceDescription::piNAGetItem(const wchar_t* pszName)
{
    return Guard(m_pclError, static_cast<INAItemDescription*>(nullptr), [&] { return pclNAGetItem(pszName, 2); });
}

// Indexes above INT_MAX are outside the arrays as well.
INAItemDescription* CNADataSourceDescription::piNAGetItem(unsigned int nIndex)
{
    return nIndex > INT32_MAX ? nullptr : piWithRef(m_tabItems[static_cast<int>(nIndex)]);
}

INAItemDescription* CNADataSourceDescription::piNAGetKey(unsigned int nIndex)
{
    return nIndex > INT32_MAX ? nullptr : piWithRef(m_tabKeys[static_cast<int>(nIndex)]);
}

INAItemDescription* CNADataSourceDescription::piNAGetMemo(unsigned int nIndex)
{
    return nIndex > INT32_MAX ? nullptr : piWithRef(m_tabMemos[static_cast<int>(nIndex)]);
}

int CNADataSourceDescription::eGetNASubDataType() const
{
    return 1;
}

const wchar_t* CNADataSourceDescription::pszGetDBTableName() const
{
    return m_csDBName.pszGet();
}

INAItemDescription* CNADataSourceDescription::piGetBestParseItemDesc()
{
    return Guard(m_pclError, static_cast<INAItemDescription*>(nullptr), [&]() -> INAItemDescription* {
        // Made once and kept: two threads must not both make it.
        CNADriverLock clLock;
        if (m_piBestParseItem == nullptr)
            _SetBestParseItem(_piComputeBestParseItem());
        if (m_piBestParseItem != nullptr)
            m_piBestParseItem->ExternalAddRef();
        return m_piBestParseItem;
    });
}

const wchar_t* CNADataSourceDescription::pszGetExtendedInfo() const
{
    return m_csExtendedInfo.pszGet();
}

const wchar_t* CNADataSourceDescription::pszGetType() const
{
    return m_csType.pszGet();
}

const wchar_t* CNADataSourceDescription::pszGetOwner() const
{
    return m_csOwner.pszGet();
}

const wchar_t* CNADataSourceDescription::pszGetDefaultDatabase() const
{
    return Guard(m_pclError, L"", [&]() -> const wchar_t* {
        return m_pclConnection != nullptr ? m_pclConnection->pszGetDefaultDataBase() : L"";
    });
}

const wchar_t* CNADataSourceDescription::pszGetExtension() const
{
    return nullptr;
}

const wchar_t* CNADataSourceDescription::pszGetCaption() const
{
    return nullptr;
}

int CNADataSourceDescription::bGetNullSupported() const
{
    return 1;
}

void CNADataSourceDescription::EmptySlot137() {}
void CNADataSourceDescription::EmptySlot138() {}
void CNADataSourceDescription::EmptySlot139() {}
void CNADataSourceDescription::EmptySlot140() {}
void CNADataSourceDescription::EmptySlot141() {}
void CNADataSourceDescription::EmptySlot142() {}
void CNADataSourceDescription::EmptySlot143() {}
void CNADataSourceDescription::EmptySlot144() {}
void CNADataSourceDescription::EmptySlot145() {}
void CNADataSourceDescription::EmptySlot146() {}

// ---- Errors ----------------------------------------------------------------------------------------

int CNADataSourceDescription::_bNoMemory(int nPoint)
{
    if (m_pclError != nullptr)
        m_pclError->AddError(NA_ERRORTYPE_GENERAL, ZTERR_NO_MEMORY, kFile, nPoint, m_pclConnection);
    return 0;
}

// ---- Look-ups -------------------------------------------------------------------------------------

CNAItemDescription* CNADataSourceDescription::pclNAGetItemNoRef(const wchar_t* pszName, int nFlags) const
{
    if (pszName == nullptr)
        pszName = L"";
    for (int i = 0; i < m_tabItems.nGetNbElement(); ++i) {
        CNAItemDescription* p = m_tabItems[i];
        const bool bSame = (nFlags & 0x1) != 0 ? bSameTrimmed(p->pszGetName(), pszName)
                                               : STR_nCompareW(p->pszGetName(), pszName, 3) == 0;
        if (bSame)
            return p;
    }
    return nullptr;
}

CNAItemDescription* CNADataSourceDescription::pclNAGetItem(const wchar_t* pszName, int nFlags)
{
    CNAItemDescription* p = pclNAGetItemNoRef(pszName, nFlags);
    if (p != nullptr)
        p->ExternalAddRef();
    return p;
}

INAItemDescription* CNADataSourceDescription::piNAGetKey(const wchar_t* pszName)
{
    for (int i = 0; i < m_tabKeys.nGetNbElement(); ++i)
        if (bSameTrimmed(m_tabKeys[i]->pszGetName(), pszName != nullptr ? pszName : L""))
            return piWithRef(m_tabKeys[i]);
    return nullptr;
}

CNAItemDescription* CNADataSourceDescription::pclNAGetCorrespondingItem(const wchar_t* pszName)
{
    CNAItemDescription* p = pclNAGetItem(pszName, 2);
    if (p == nullptr && m_pclError != nullptr)
        m_pclError->RaiseUserError(NA_ERRORTYPE_GENERAL, kFile, POINT_NO_SUCH_ITEM, m_pclConnection,
                                   m_csDBName.pszGet(), pszName, ZTERR_NO_SUCH_ITEM, m_csDBName.pszGet(),
                                   pszName != nullptr ? pszName : L"");
    return p;
}

CNAItemDescription* CNADataSourceDescription::pclNAGetItemByPhysicalIndiceDB(int nIndex)
{
    for (int i = 0; i < m_tabItems.nGetNbElement(); ++i)
        if (m_tabItems[i]->nGetPhysicalIndice() == nIndex)
            return static_cast<CNAItemDescription*>(piWithRef(m_tabItems[i]));
    return nullptr;
}

// ---- Best parse item ----------------------------------------------------------------------------

namespace {

bool bCannotBeNull(const CNAItemDescription* p)
{
    if (p->nGetVersion() >= 9)
        return !p->vbConstraintNullAllowed();
    return p->bPrimary() || p->eNAGetItemType() == NA_IT_IDAUTO || p->eNAGetItemType() == NA_IT_IDAUTO4;
}

} // namespace

INAItemDescription* CNADataSourceDescription::_piComputeBestParseItem() const
{
    if (m_tabItems.nGetNbElement() == 0)
        return nullptr;
    if (m_tabKeys.nGetNbElement() == 0) {
        for (int i = 0; i < m_tabItems.nGetNbElement(); ++i)
            if (!m_tabItems[i]->bMemo())
                return m_tabItems[i];
        return m_tabItems[0];
    }
    CNAItemDescription* pclCandidate = nullptr;
    for (int i = 0; i < m_tabKeys.nGetNbElement(); ++i) {
        CNAItemDescription* p = m_tabKeys[i];
        if (p->bPrimary())
            return p;
        if (!p->bUnique())
            continue;
        if (pclCandidate == nullptr || (!bCannotBeNull(pclCandidate) && bCannotBeNull(p)))
            pclCandidate = p;
    }
    return pclCandidate != nullptr ? pclCandidate : m_tabKeys[0];
}

void CNADataSourceDescription::_SetBestParseItem(INAItemDescription* piItem)
{
    if (piItem != nullptr)
        piItem->ExternalAddRef();
    if (m_piBestParseItem != nullptr)
        m_piBestParseItem->nExternalRelease();
    m_piBestParseItem = piItem;
}

void CNADataSourceDescription::_SetBestParseItem(const wchar_t* pszName)
{
    _SetBestParseItem(pclNAGetItemNoRef(pszName, 2));
}

// ---- Filing ---------------------------------------------------------------------------------------

void CNADataSourceDescription::MakeNewName(CTString* pclOut, const wchar_t* pszBase, int n)
{
    pclOut->printf(L"%s%d", pszBase != nullptr ? pszBase : L"", n);
}

void CNADataSourceDescription::_AddItem(CNAItemDescription* pclItem)
{
    if (pclItem == nullptr)
        return;
    const CItemHold clHold(pclItem);

    const wchar_t* pszName = pclItem->pszGetName();
    if (pszName == nullptr || pszName[0] == 0) {
        CTString cl;
        CNADriver::g_GenerateItemName(&cl, static_cast<int>(m_nSubItemCount));
        pclItem->bSetName(cl.pszGet());
    }
    if (pclNAGetItemNoRef(pclItem->pszGetName(), 2) != nullptr) {
        const CTString clBase(pclItem->pszGetName());
        CTString cl;
        for (int n = 2; n > 0; ++n) {
            MakeNewName(&cl, clBase.pszGet(), n);
            if (pclNAGetItemNoRef(cl.pszGet(), 2) == nullptr)
                break;
            if (n == INT32_MAX)
                break;
        }
        pclItem->bSetName(cl.pszGet());
    }
    const int nItems = m_tabItems.nGetNbElement();
    if (pclItem->nGetPhysicalIndice() == -1) {
        pclItem->SetPhysicalIndice(nItems);
        m_tabItems.Ajoute(pclItem);
    } else if (pclItem->nGetPhysicalIndice() == 0 && nItems > 0) {
        m_tabItems.Insere(pclItem, 0);
        for (int i = 1; i <= nItems; ++i)
            m_tabItems[i]->SetPhysicalIndice(i);
    } else {
        m_tabItems.Ajoute(pclItem);
    }
    if (pclItem->bIsKey())
        m_tabKeys.Ajoute(pclItem);
    if (pclItem->bMemo())
        m_tabMemos.Ajoute(pclItem);
}

int CNADataSourceDescription::bAddItem(const wchar_t* pszName, const wchar_t* pszSourceName,
                                       const wchar_t* pszNameInSource, unsigned int nDimension, unsigned int nSize,
                                       eNA_ITEMTYPE eType, int nPhysicalIndice, int nKeyIndice,
                                       unsigned short nKeyFlags, int nIntegerPart, int nDecimalPart)
{
    CNAItemDescription* p =
        CNADriver::s_pclDriver != nullptr ? CNADriver::s_pclDriver->pclAllocItemDescription() : nullptr;
    if (p == nullptr)
        return _bNoMemory(POINT_NO_MEMORY);
    if (nPhysicalIndice == -1)
        nPhysicalIndice = static_cast<int>(nGetNumItems());
    const CItemHold clHold(p);
    const int bResult = p->bInit(pszName, pszSourceName, pszNameInSource, nDimension, nSize, eType, nPhysicalIndice,
                                 nKeyIndice, nKeyFlags, nIntegerPart, nDecimalPart);
    _AddItem(p);
    return bResult;
}

int CNADataSourceDescription::_bSetKeyType(CNAItemDescription* pclItem, unsigned short nKeyFlags)
{
    if (pclItem == nullptr)
        return 0;
    if (pclItem->bPrimary())
        return 1;
    if (pclItem->nGetKeyIndice() < 0) {
        pclItem->bSetKey(static_cast<int>(nGetNumKeys()), nKeyFlags);
        m_tabKeys.Ajoute(pclItem);
    } else {
        pclItem->bSetKey(pclItem->nGetKeyIndice(), nKeyFlags);
    }
    return 1;
}

int CNADataSourceDescription::_bSetKeyType(int nItem, unsigned short nKeyFlags)
{
    if (nItem < 0 || nItem >= m_tabItems.nGetNbElement())
        return 0;
    return _bSetKeyType(m_tabItems[nItem], nKeyFlags);
}

int CNADataSourceDescription::_bSetKeyType(const wchar_t* pszItem, unsigned short nKeyFlags)
{
    CNAItemDescription* p = pclNAGetCorrespondingItem(pszItem);
    if (p == nullptr)
        return 0;
    const int bResult = _bSetKeyType(p, nKeyFlags);
    p->nExternalRelease();
    return bResult;
}

int CNADataSourceDescription::_bAddItemComponent(CNAItemDescription* pclComposite, int nItem)
{
    CNAItemDescription* p = m_tabItems[nItem];
    if (pclComposite == nullptr || p == nullptr)
        return 0;
    return pclComposite->bAddComponent(p);
}

int CNADataSourceDescription::_bAddItemComponent(CNAItemDescription* pclComposite, const wchar_t* pszItem,
                                                  int bDescending)
{
    if (pclComposite == nullptr)
        return 0;
    CNAItemDescription* p = pclNAGetCorrespondingItem(pszItem);
    if (p == nullptr)
        return 0;
    const int bResult = pclComposite->bAddComponent(p, bDescending);
    p->nExternalRelease();
    return bResult;
}

void CNADataSourceDescription::UpdateRecordSize()
{
    m_nDiskRecordSize = 0;
    m_nMemoryRecordSize = 0;
    m_nSubItemCount = 0;
    unsigned int nOffset = 0;
    for (int i = 0; i < m_tabItems.nGetNbElement(); ++i) {
        CNAItemDescription* p = m_tabItems[i];
        const unsigned int nSize = p->nGetTotalSize();
        p->SetRecordPlace(static_cast<int>(nOffset), static_cast<int>(m_nSubItemCount));
        nOffset += nSize;
        m_nSubItemCount += p->nGetDimension();
        m_nMemoryRecordSize += nSize;
        if (!p->bIsComposedKey())
            m_nDiskRecordSize += nSize;
    }
}

// ---- Building -------------------------------------------------------------------------------------

int CNADataSourceDescription::bInitDataSourceDescriptionFromDB(const wchar_t* pszName, int nOption)
{
    m_csLogicalName = pszName;
    m_csDBName = pszName;
    m_eSourceKind = SOURCE_CATALOGUE;
    if (!_bGetDataSourceInfo(nOption))
        return 0;
    // Known to be the driver's when the host hands it back; without memory
    // for that it is merely not known so.
    try {
        CNADriverLock clLock;
        if (auto* pSet = ReadFromCatalogue())
            pSet->insert(this);
    } catch (const std::bad_alloc&) {
    }
    return 1;
}

int CNADataSourceDescription::_bGetDataSourceInfo(int nOption)
{
    if (!_bImportItems() || (nOption != DB_ITEMS_ONLY && !_bImportIndex()))
        return 0;
    // The layout of the record read from the catalogue.
    UpdateRecordSize();
    return 1;
}

int CNADataSourceDescription::_bImport(int (CNADataSourceDescription::*pfnQuery)(CXYStringConcat<wchar_t>*),
                                       int (CNADataSourceDescription::*pfnRead)(CNAStatementSQL*))
{
    CXYStringConcat<wchar_t> clText;
    if (!(this->*pfnQuery)(&clText))
        return 0;
    CNADriverSQL* pclSQL = CNADriver::s_pclGetDriverSQL();
    if (pclSQL == nullptr) {
        if (m_pclError != nullptr)
            m_pclError->RaiseUserError(NA_ERRORTYPE_NOTOFFERED, kFile, POINT_NO_SQL, m_pclConnection,
                                       m_csLogicalName.pszGet(), nullptr, ZTERR_NOT_OFFERED);
        return 0;
    }
    CStatementHold clStatement;
    int bResult = pclSQL->bExecute(m_pclError, &clStatement.p, m_pclConnection, clText.pszGet(), nullptr, 0);
    if (bResult && clStatement.p != nullptr)
        bResult = (this->*pfnRead)(clStatement.p);
    return bResult;
}

int CNADataSourceDescription::_bImportItems()
{
    if (!_bImport(&CNADataSourceDescription::_bGetQueryShowColumns,
                  &CNADataSourceDescription::_bInitItemFromQueryShowColumns))
        return 0;
    if (m_tabItems.nGetNbElement() > 0)
        return 1;
    if (m_pclError != nullptr)
        m_pclError->RaiseUserError(NA_ERRORTYPE_GENERAL, kFile, POINT_NO_COLUMN, m_pclConnection,
                                   m_csLogicalName.pszGet(), nullptr, ZTERR_NO_COLUMN, m_csLogicalName.pszGet());
    return 0;
}

int CNADataSourceDescription::_bImportIndex()
{
    return _bImport(&CNADataSourceDescription::_bGetQueryShowIndex,
                    &CNADataSourceDescription::_bInitKeysFromQueryShowIndex);
}

int CNADataSourceDescription::_bGetQueryShowColumns(CXYStringConcat<wchar_t>*)
{
    return 0;
}

int CNADataSourceDescription::_bInitItemFromQueryShowColumns(CNAStatementSQL*)
{
    return 0;
}

int CNADataSourceDescription::_bGetQueryShowIndex(CXYStringConcat<wchar_t>*)
{
    return 0;
}

int CNADataSourceDescription::_bInitKeysFromQueryShowIndex(CNAStatementSQL*)
{
    return 0;
}

int CNADataSourceDescription::bInitDataSourceDescriptionFromStatement(CNAStatementSQL* pclStatement)
{
    if (pclStatement == nullptr)
        return 0;
    m_eSourceKind = SOURCE_RESULT;
    if (m_csLogicalName.nTaille() == 0) {
        CTString cl;
        cl.printf(L"%u", static_cast<unsigned int>(reinterpret_cast<uintptr_t>(pclStatement)));
        m_csLogicalName = cl;
        m_csDBName = cl;
    }
    if (!_bInitItems(pclStatement))
        return 0;
    UpdateRecordSize();
    return 1;
}

int CNADataSourceDescription::_bInitItems(CNAStatementSQL* pclStatement)
{
    unsigned int nColumns = 0;
    if (!pclStatement->bGetColumnNbr(&nColumns, 0))
        return 0;
    int nKey = 0;
    for (unsigned int i = 0; i < nColumns; ++i) {
        const CNAColumnSQL* pclColumn = pclStatement->pclGetNAColumnSQL(static_cast<int>(i));
        if (pclColumn == nullptr)
            return 0;
        CNAItemDescription* p =
            CNADriver::s_pclDriver != nullptr ? CNADriver::s_pclDriver->pclAllocItemDescription() : nullptr;
        if (p == nullptr)
            return _bNoMemory(POINT_NO_MEMORY);
        const CItemHold clHold(p);
        const wchar_t* pszName = pclColumn->m_csName.pszGet();
        const bool bKey = pclColumn->m_nKeyFlags != 0;
        p->bInit(pszName, pclColumn->m_csTableName.nTaille() > 0 ? pclColumn->m_csTableName.pszGet()
                                                                 : pszGetPhysicalName(),
                 pclColumn->m_csNameInSource.nTaille() > 0 ? pclColumn->m_csNameInSource.pszGet() : pszName, 1,
                 pclColumn->m_nSize, pclColumn->m_eItemType, static_cast<int>(i), bKey ? nKey : -1,
                 static_cast<unsigned short>(pclColumn->m_nKeyFlags), pclColumn->m_nIntegerPart,
                 pclColumn->m_nDecimalPart);
        if (bKey)
            nKey++;
        p->SetDBType(pclColumn->m_csDBTypeName.pszGet(), pclColumn->m_nDBType);
        p->SetCharsetNumber(pclColumn->m_nCharsetNumber);
        _AddItem(p);
    }
    return 1;
}

namespace {

// The database name of the table an output item reads: the physical name
// the parse gives for it, else its description's, when the query names
// the table itself; else the alias.
std::wstring SourceTableOf(CSQLParserInfo* pclParsed, IInfoRubrique* piOut)
{
    const wchar_t* pszAlias = piOut->pszGetNomTable();
    const wchar_t* pszTable = piOut->pszGetNomTableSource();
    if (STR_nCompareW(pszAlias != nullptr ? pszAlias : L"", pszTable != nullptr ? pszTable : L"", 3) != 0)
        return pszAlias != nullptr ? pszAlias : L"";
    const wchar_t* psz = pclParsed->pszGetPhysicalName(pszTable);
    if (psz != nullptr)
        return psz;
    std::wstring s;
    INADataSourceDescription* pi = pclParsed->piGetNADataSourceDescription(pszTable);
    if (pi != nullptr) {
        s = pi->pszGetDBTableName() != nullptr ? pi->pszGetDBTableName() : L"";
        pi->nExternalRelease();
    }
    return s;
}

} // namespace

int CNADataSourceDescription::bCompleteDescription(CSQLParserInfo* pclParsed)
{
    m_eSourceKind = SOURCE_RESULT;
    if (pclParsed == nullptr || pclParsed->piGetSQLParserInformationNoRef() == nullptr)
        return 1;
    const bool bSingle = pclParsed->nGetFichierFromNbr() < 2;
    int bResult = 1;
    for (int k = 0; k < pclParsed->nGetRubriqueOUTNbr() && bResult; k++) {
        IInfoRubrique* piOut = pclParsed->piGetRubriqueOUT(k);
        const bool bExpression = piOut->eGetCalcul() != 0;
        INAItemDescription* piSource = bExpression ? nullptr : pclParsed->piGetItemDescription(piOut);
        if (k < m_tabItems.nGetNbElement()) {
            CNAItemDescription* pclItem = m_tabItems[k];
            const bool bWasKey = pclItem->bIsKey() != 0;
            const bool bWasMemo = pclItem->bMemo() != 0;
            if (piSource == nullptr && bExpression)
                bResult = pclItem->bCompleteDescriptionCalcul(piOut);
            else if (piSource != nullptr)
                bResult = pclItem->bCompleteDescription(piSource, bSingle, m_tabKeys.nGetNbElement());
            // Over several tables no key stays primary.
            if (!bSingle && pclItem->bPrimary())
                pclItem->bSetKey(pclItem->nGetKeyIndice(),
                                 static_cast<unsigned short>(pclItem->nGetKeyFlags() & ~CNAItemDescription::KF_PRIMARY));
            _RefileItem(pclItem, bWasKey, bWasMemo);
            if (!bExpression)
                pclItem->SetSourceName(SourceTableOf(pclParsed, piOut).c_str());
        } else if (piSource == nullptr && bExpression) {
            const eNA_ITEMTYPE eType = g_eGetNAItemType(piOut->nGetType());
            bResult = bAddItem(piOut->pszGetNom(), L"", L"", 1, CNAItemDescription::s_nGetKXSize(eType, 1, 0), eType,
                               m_tabItems.nGetNbElement(), -1, 0, 0, 0);
        } else if (piSource != nullptr && !piSource->bIsComposedKey()) {
            unsigned short nFlags = 0;
            int nKey = -1;
            if (piSource->bIsKey()) {
                nKey = m_tabKeys.nGetNbElement();
                nFlags = piSource->bGetDescendant(0) ? CNAItemDescription::KF_DESCENDING : CNAItemDescription::KF_ASCENDING;
                nFlags |= bSingle && piSource->bUnique() ? CNAItemDescription::KF_UNIQUE : CNAItemDescription::KF_DUPLICATES;
                if (bSingle && piSource->bPrimary())
                    nFlags |= CNAItemDescription::KF_PRIMARY;
            }
            const wchar_t* pszName = piOut->pszGetNom() != nullptr && piOut->pszGetNom()[0] != 0 ? piOut->pszGetNom()
                                                                                                 : piSource->pszGetName();
            const std::wstring strTable = SourceTableOf(pclParsed, piOut);
            bResult = bAddItem(pszName, strTable.c_str(), piSource->pszGetNameInSource(), piSource->nGetDimension(),
                               piSource->nGetItemSize(), piSource->eNAGetItemType(), m_tabItems.nGetNbElement(), nKey,
                               nFlags, piSource->nGetIntegerPart(), piSource->nGetDecimalPart());
        }
        if (piSource != nullptr)
            piSource->nExternalRelease();
    }
    // The query's order: its directions, and its first item browses.
    bool bFirst = true;
    for (IInfoOrderBy* pi = pclParsed->piEnumRubriqueClauseOrder(1); pi != nullptr && bResult;
         pi = pclParsed->piEnumRubriqueClauseOrder(0)) {
        const int n = pi->nGetIndiceColonne();
        if (n < 0 || n >= m_tabItems.nGetNbElement())
            continue;
        m_tabItems[n]->SetSensTri(pclParsed->nGetSensTri(pi));
        if (bFirst)
            _SetBestParseItem(m_tabItems[n]);
        bFirst = false;
    }
    UpdateRecordSize();
    return bResult;
}

void CNADataSourceDescription::TakeServerType(CNAItemDescription* pclItem, CNAItemDescription* pclServer)
{
    pclItem->bChangeType(static_cast<INAItemDescription*>(pclServer), 0);
    if (pclServer->bServerBytes())
        pclItem->ChangeTextToBytes();
    m_tabMemos.SupprimeTout();
    for (int i = 0; i < m_tabItems.nGetNbElement(); i++)
        if (m_tabItems[i]->bMemo())
            m_tabMemos.Ajoute(m_tabItems[i]);
}

void CNADataSourceDescription::_RefileItem(CNAItemDescription* pclItem, bool bWasKey, bool bWasMemo)
{
    const bool bKey = pclItem->bIsKey() != 0;
    if (bKey && !bWasKey) {
        m_tabKeys.Ajoute(pclItem);
    } else if (!bKey && bWasKey) {
        for (int i = 0; i < m_tabKeys.nGetNbElement(); i++)
            if (m_tabKeys[i] == pclItem) {
                m_tabKeys.Supprime(i);
                break;
            }
        for (int i = 0; i < m_tabKeys.nGetNbElement(); i++)
            m_tabKeys[i]->bSetKeyIndice(i);
    }
    const bool bMemo = pclItem->bMemo() != 0;
    if (bMemo && !bWasMemo) {
        m_tabMemos.Ajoute(pclItem);
    } else if (!bMemo && bWasMemo) {
        for (int i = 0; i < m_tabMemos.nGetNbElement(); i++)
            if (m_tabMemos[i] == pclItem) {
                m_tabMemos.Supprime(i);
                break;
            }
    }
}

// ---- Clones and comparisons ----------------------------------------------------------------------

CNADataSourceDescription* CNADataSourceDescription::pclGetCloneDataSourceDescription(int nOptions)
{
    CNADriver* pclDriver = CNADriver::s_pclDriver;
    CNADataSourceDescription* p =
        pclDriver != nullptr ? pclDriver->pclAllocDataSourceDescription(m_pclConnection, m_pclError) : nullptr;
    if (p == nullptr) {
        _bNoMemory(POINT_NO_MEMORY);
        return nullptr;
    }
    // Held while it is built.
    p->AddRef();
    struct CHold {
        CNADataSourceDescription* p;
        ~CHold()
        {
            if (p != nullptr)
                p->nRelease();
        }
    } clHold{p};
    p->m_csLogicalName = m_csLogicalName;
    p->m_csDBName = m_csDBName;
    p->m_csExtendedInfo = m_csExtendedInfo;
    p->m_csType = m_csType;
    p->m_csOwner = m_csOwner;
    p->m_nDiskRecordSize = m_nDiskRecordSize;
    p->m_nMemoryRecordSize = m_nMemoryRecordSize;
    p->m_nSubItemCount = m_nSubItemCount;
    for (int i = 0; i < m_tabItems.nGetNbElement(); ++i) {
        CNAItemDescription* pclClone = m_tabItems[i]->pclGetCloneItemDescription(
            p, static_cast<CNAItemDescription::eCLONEDESC>(nOptions));
        if (pclClone == nullptr) {
            if (m_pclError != nullptr && m_pclError->eGetErrorType() == NA_ERRORTYPE_NONE)
                _bNoMemory(POINT_NO_MEMORY);
            return nullptr;
        }
        p->_AddItem(pclClone);
    }
    if (m_tabItems.nGetNbElement() > 0) {
        INAItemDescription* piBest = piGetBestParseItemDesc();
        if (piBest != nullptr) {
            CNAItemDescription* pclSame = p->pclNAGetCorrespondingItem(piBest->pszGetName());
            piBest->nExternalRelease();
            if (pclSame == nullptr)
                return nullptr;
            p->_SetBestParseItem(pclSame);
            pclSame->nExternalRelease();
        }
    }
    p->UpdateRecordSize();
    // Handed out as new: the caller adds the reference it keeps.
    clHold.p = nullptr;
    p->m_nRef--;
    return p;
}

int CNADataSourceDescription::bAreDescriptionCompatible(INADataSourceDescription* piOther)
{
    if (piOther == nullptr)
        return 0;
    const unsigned int n = piOther->nGetNumItems();
    for (unsigned int i = 0; i < n; ++i) {
        INAItemDescription* pi = piOther->piNAGetItem(i);
        if (pi == nullptr)
            continue;
        const bool bMissing = !pi->bIsComposedKey() && pclNAGetItemNoRef(pi->pszGetName(), 3) == nullptr;
        if (bMissing && m_pclError != nullptr)
            m_pclError->RaiseUserError(NA_ERRORTYPE_GENERAL, kFile, POINT_INCOMPATIBLE, m_pclConnection,
                                       m_csLogicalName.pszGet(), pi->pszGetName(), ZTERR_INCOMPATIBLE,
                                       m_csLogicalName.pszGet(), pi->pszGetName());
        pi->nExternalRelease();
        if (bMissing)
            return 0;
    }
    return 1;
}

// ---- Host engine types --------------------------------------------------------------------------

eNA_ITEMTYPE CNADataSourceDescription::g_eGetNAItemType(int eKXType)
{
    struct STMap {
        int nFrom;
        int nTo;
    };
    static const STMap s_tab[] = {
        {0, 0},   {2, 2},   {3, 3},   {4, 4},   {5, 5},   {6, 6},   {7, 7},   {9, 9},   {10, 10}, {11, 11},
        {13, 13}, {14, 14}, {17, 17}, {18, 18}, {8, 3},   {12, 26}, {23, 21}, {24, 1},  {25, 19}, {26, 22},
        {27, 20}, {28, 23}, {30, 18}, {33, 5},  {34, 24}, {35, 25}, {36, 12}, {37, 27}, {38, 28}, {39, 29},
        {40, 30}, {41, 31},
    };
    for (const STMap& st : s_tab)
        if (st.nFrom == eKXType)
            return static_cast<eNA_ITEMTYPE>(st.nTo);
    return NA_IT_MEMOTEXTE;
}
