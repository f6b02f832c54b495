#include "access/statement/NAColumn.h"

#include "access/driver/NAConnectionDescription.h"
#include "access/driver/NAError.h"
#include "access/driver/NAItemDescription.h"
#include "access/driver/NaDriver.h"
#include "access/sql/INAQueryParametersValue.h"
#include "access/sql/SQLParserInfo.h"
#include "access/statement/NAKXRecord.h"
#include "access/statement/NARecord.h"
#include "access/statement/NARecordValue.h"
#include "access/statement/NAStatement.h"
#include "common/platform/MyModuleInfo.h"
#include "common/platform/XError.h"
#include "common/text/TextCompare.h"
#include "common/values/AnyConvert.h"
#include "common/values/Decimal.h"
#include "common/values/NACnvVariant.h"

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

bool _bEmpty(const wchar_t* psz)
{
    return psz == nullptr || psz[0] == 0;
}

// The value as wide text; false when it does not convert.
bool _bWideText(const CAny* pValue, std::wstring* pstr)
{
    CAny cl;
    pValue->pclGetTraitement()->Duplique(&cl);
    cl.SetFlags(0);
    if (cl.nGetTypeCode() != TQTYPE_DSTRW && cl.__nCastTo(TQTYPE_DSTRW, nullptr, 0) != TQSTATUS_OK)
        return false;
    const wchar_t* psz = nullptr;
    cl.pclGetTraitement()->nGetPCWSTR(&psz);
    pstr->assign(psz != nullptr ? psz : L"");
    return true;
}

// The value's useful data bytes.
void _DataOf(const CAny* pValue, const unsigned char** pp, unsigned int* pn)
{
    void* p = nullptr;
    *pn = 0;
    pValue->pclGetTraitement()->nGetDataAdr(&p);
    pValue->pclGetTraitement()->nGetUtilDataSize(pn);
    *pp = static_cast<const unsigned char*>(p);
    if (*pp == nullptr)
        *pn = 0;
}

bool _bIsDateType(eNA_ITEMTYPE e)
{
    return e == NA_IT_DATE6 || e == NA_IT_DATE8 || e == NA_IT_DATETIME;
}

bool _bIsTextType(eNA_ITEMTYPE e)
{
    return e == NA_IT_TEXTE || e == NA_IT_MEMOTEXTE || e == NA_IT_UNICODE || e == NA_IT_MEMOUNICODE ||
           e == NA_IT_CHAR;
}

void _SetNull(CAny* pValue, unsigned short nType)
{
    pValue->__SetType(nType, 0);
    pValue->SetNullFlag(true);
}

} // namespace

// ---- Column ---------------------------------------------------------------------------

CNAColumn::CNAColumn()
    : m_piItem(nullptr),
      m_pclImportedItem(nullptr),
      m_pclError(nullptr),
      m_pclRecord(nullptr),
      m_ptabComponent(nullptr),
      m_pclValue(nullptr),
      m_bMemoModified(0)
{
}

CNAColumn::CNAColumn(CNAError* pclError, INAItemDescription* piItem) : CNAColumn()
{
    m_pclError = pclError;
    if (m_pclError != nullptr)
        m_pclError->AddRef();
    m_piItem = piItem;
    if (m_piItem != nullptr)
        m_piItem->ExternalAddRef();
}

CNAColumn::~CNAColumn()
{
    if (m_pclValue != nullptr)
        m_pclValue->nRelease();
    if (m_ptabComponent != nullptr)
        m_ptabComponent->dwRelease();
    if (m_pclImportedItem != nullptr)
        m_pclImportedItem->nExternalRelease();
    if (m_piItem != nullptr)
        m_piItem->nExternalRelease();
    if (m_pclError != nullptr)
        m_pclError->nRelease();
}

CNAKXRecord* CNAColumn::_pclCurrentKX() const
{
    return m_pclRecord != nullptr ? m_pclRecord->pclGetNAKXRecord() : nullptr;
}

CNAKXRecord* CNAColumn::_pclOriginalKX() const
{
    return m_pclRecord != nullptr ? m_pclRecord->pclGetOriginalNAKXRecord() : nullptr;
}

CNAConnectionDescription* CNAColumn::_pclConnection() const
{
    return m_pclRecord != nullptr ? m_pclRecord->pclGetConnectionNoRef() : nullptr;
}

// ---- Description side ------------------------------------------------------------------

CSQLParserInfo* CNAColumn::pclGetSourceQueryNoRef() const
{
    return m_pclRecord != nullptr ? m_pclRecord->pclGetSourceQueryNoRef() : nullptr;
}

const wchar_t* CNAColumn::pszGetName() const
{
    return m_piItem != nullptr ? m_piItem->pszGetName() : L"";
}

const wchar_t* CNAColumn::pszGetOriginalName() const
{
    const wchar_t* psz = m_piItem != nullptr ? m_piItem->pszGetNameInSource() : nullptr;
    return !_bEmpty(psz) ? psz : pszGetName();
}

const wchar_t* CNAColumn::pszGetSourceName() const
{
    return m_piItem != nullptr ? m_piItem->pszGetSourceName() : L"";
}

int CNAColumn::nGetPhysicalIndice() const { return m_piItem != nullptr ? m_piItem->nGetPhysicalIndice() : -1; }
int CNAColumn::bIsComposedKey() const { return m_piItem != nullptr && m_piItem->bIsComposedKey(); }
int CNAColumn::bIsMemo() const { return m_piItem != nullptr && m_piItem->bMemo(); }
int CNAColumn::bIsMemoText() const { return m_piItem != nullptr && m_piItem->bMemoText(); }
int CNAColumn::bIsMemoBin() const { return m_piItem != nullptr && m_piItem->bMemoBinary(); }
int CNAColumn::bLiteral() const { return m_piItem != nullptr && m_piItem->bLiteral(); }
unsigned int CNAColumn::nGetItemSize() const { return m_piItem != nullptr ? m_piItem->nGetItemSize() : 0; }
int CNAColumn::nGetLogicalSize() const { return m_piItem != nullptr ? m_piItem->nGetLogicalSize(0) : 0; }
int CNAColumn::nGetIntegerPart() const { return m_piItem != nullptr ? m_piItem->nGetIntegerPart() : 0; }
int CNAColumn::nGetDecimalPart() const { return m_piItem != nullptr ? m_piItem->nGetDecimalPart() : 0; }

eNA_ITEMTYPE CNAColumn::eNAGetItemType() const
{
    return m_piItem != nullptr ? m_piItem->eNAGetItemType() : NA_IT_EMPTY;
}

unsigned short CNAColumn::eGetTQType() const
{
    return static_cast<unsigned short>(ConverteItemToTQType(eNAGetItemType(), static_cast<int>(nGetItemSize())) &
                                       0xFF);
}

int CNAColumn::bBinaryString() const { return eNAGetItemType() == NA_IT_BINAIRE; }

int CNAColumn::bIsIdAuto() const
{
    return eNAGetItemType() == NA_IT_IDAUTO || eNAGetItemType() == NA_IT_IDAUTO4;
}

int CNAColumn::bGetDescendantComponent(int i) const
{
    return m_piItem != nullptr && m_piItem->bGetDescendant(i);
}

int CNAColumn::bIsMemoDB() const
{
    return m_pclImportedItem != nullptr ? m_pclImportedItem->bMemo() : bIsMemo();
}

eNA_ITEMTYPE CNAColumn::eNAGetItemTypeOnDatabaseEx() const
{
    return m_pclImportedItem != nullptr ? m_pclImportedItem->eNAGetItemType() : eNAGetItemType();
}

int CNAColumn::bGetIgnoreCase(int i) const
{
    if (m_pclImportedItem != nullptr)
        return m_pclImportedItem->bGetIgnoreCase(i);
    return m_piItem != nullptr && m_piItem->bGetIgnoreCase(i);
}

int CNAColumn::bIsNullableOnDataBase() const
{
    if (m_pclImportedItem != nullptr)
        return m_pclImportedItem->vbConstraintNullAllowed();
    return bIsNullable();
}

int CNAColumn::bUpdatable() const { return m_pclImportedItem != nullptr && m_pclImportedItem->bUpdatable(); }

int CNAColumn::nGetLogicalSizeOnDatabase() const
{
    return m_pclImportedItem != nullptr ? m_pclImportedItem->nGetLogicalSize(0) : -1;
}

int CNAColumn::nGetDBType() const { return m_pclImportedItem != nullptr ? m_pclImportedItem->nGetDBType() : 0; }

eNA_ITEMTYPE CNAColumn::eNAGetItemTypeOnDatabase() const
{
    return m_pclImportedItem != nullptr ? m_pclImportedItem->eNAGetDBType(_pclConnection()) : NA_IT_EMPTY;
}

int CNAColumn::bIsAutoIncrementOnDataBase()
{
    const eNA_ITEMTYPE e = m_pclImportedItem != nullptr ? m_pclImportedItem->eNAGetItemType() : NA_IT_EMPTY;
    return e == NA_IT_IDAUTO || e == NA_IT_IDAUTO4;
}

int CNAColumn::bPrimary() const
{
    return bIsIdAuto() || (m_piItem != nullptr && m_piItem->bPrimary()) ||
           (m_pclImportedItem != nullptr && m_pclImportedItem->bPrimary());
}

int CNAColumn::bUnique() const
{
    return (m_piItem != nullptr && m_piItem->bUnique()) ||
           (m_pclImportedItem != nullptr && m_pclImportedItem->bUnique());
}

int CNAColumn::bUniqueNotNull() const
{
    if (bPrimary())
        return 1;
    const INAItemDescription* apItem[2] = {m_piItem, m_pclImportedItem};
    for (const INAItemDescription* pi : apItem) {
        if (pi == nullptr || !pi->bUnique())
            continue;
        if (pi->nGetVersion() >= 9 ? !pi->vbConstraintNullAllowed() : bIsIdAuto())
            return 1;
    }
    return 0;
}

int CNAColumn::bIsNullable() const
{
    if (m_piItem == nullptr)
        return 1;
    if (m_piItem->nGetVersion() >= 9)
        return m_piItem->vbConstraintNullAllowed();
    return !m_piItem->bPrimary() && !bIsIdAuto();
}

int CNAColumn::bMustDefine(unsigned int nFlags)
{
    if (bIsComposedKey())
        return 0;
    return !bIsMemo() || (nFlags & 0x2) != 0;
}

int CNAColumn::bMustBind(unsigned int nFlags)
{
    if (eGetTypeColonne() != 0 || bIsComposedKey())
        return 0;
    return !bIsMemo() || (nFlags & 0x1) != 0;
}

int CNAColumn::eGetTypeColonne() const
{
    // Expression columns exist only in a query's record: the kind its
    // output item has there.
    CSQLParserInfo* pclInfo = pclGetSourceQueryNoRef();
    IInfoRubrique* pi = pclInfo != nullptr ? pclInfo->piGetColumnRubriqueOUT(this) : nullptr;
    return pi != nullptr ? pi->eGetCalcul() : 0;
}

bool CNAColumn::bServerYear() const
{
    for (INAItemDescription* pi : {static_cast<INAItemDescription*>(m_pclImportedItem), m_piItem}) {
        const wchar_t* psz = pi != nullptr ? pi->pszGetDBType() : nullptr;
        if (psz == nullptr || psz[0] == 0)
            continue;
        // "year" or "year(4)" for a table, the result's type for a query.
        const CTString csType(psz);
        return csType.bEstEgalI(L"year") || csType.bCommenceParI(L"year(") || csType.bEstEgal(L"MYSQL_TYPE_YEAR");
    }
    return false;
}

int CNAColumn::s_nYearOf(const CAny* pValue)
{
    if (pValue->bIsNull())
        return -1;
    CAny clText;
    pValue->pclGetTraitement()->Duplique(&clText);
    const wchar_t* psz = nullptr;
    if (clText.__nCastTo(TQTYPE_DSTRW, nullptr, 0) > 99 || clText.pclGetTraitement()->nGetPCWSTR(&psz) > 99 ||
        psz == nullptr)
        return -1;
    int nYear = 0;
    for (int i = 0; i < 4; i++) {
        if (psz[i] < L'0' || psz[i] > L'9')
            return -1;
        nYear = nYear * 10 + (psz[i] - L'0');
    }
    return nYear;
}

const wchar_t* CNAColumn::pszGetAliasNomTable()
{
    return m_csAliasTableName.pszGet();
}

const wchar_t* CNAColumn::pszGetFormatedAliasNomTable()
{
    return m_csFormatedAliasTableName.pszGet();
}

void CNAColumn::SetAliasTableName(const wchar_t* pszName, const wchar_t* pszFormated)
{
    m_csAliasTableName.Set(pszName);
    m_csFormatedAliasTableName.Set(pszFormated);
    // The select name is made again with the table.
    m_csFormatedSelectName.Vide();
}

// ---- Names for SQL ---------------------------------------------------------------------

int CNAColumn::bFormatName()
{
    CNAConnectionDescription* pclCnx = _pclConnection();
    if (pclCnx == nullptr) {
        m_csFormatedName.Set(pszGetName());
        m_csFormatedOriginalName.Set(pszGetOriginalName());
        return 1;
    }
    return pclCnx->bFormatItemName(m_pclError, pszGetName(), &m_csFormatedName) &&
           pclCnx->bFormatItemName(m_pclError, pszGetOriginalName(), &m_csFormatedOriginalName);
}

const wchar_t* CNAColumn::pszGetFormatedSelectName(int bPlain)
{
    if (bPlain)
        return m_csFormatedName.pszGet();
    if (m_csFormatedSelectName.nTaille() > 0)
        return m_csFormatedSelectName.pszGet();
    CNAConnectionDescription* pclCnx = _pclConnection();
    if (m_pclRecord != nullptr && m_pclRecord->bSourceIsQuery()) {
        const wchar_t* pszAlias = pszGetFormatedAliasNomTable();
        CTString csTable;
        if (!_bEmpty(pszAlias)) {
            m_csFormatedSelectName.Set(pszAlias, L".", m_csFormatedOriginalName.pszGet());
        } else if (!_bEmpty(pszGetSourceName()) && pclCnx != nullptr &&
                   pclCnx->bFormatTableName(m_pclError, pszGetSourceName(), &csTable)) {
            m_csFormatedSelectName.Set(csTable.pszGet(), L".", m_csFormatedOriginalName.pszGet());
        } else {
            m_csFormatedSelectName.Set(m_csFormatedOriginalName.pszGet());
        }
    } else {
        m_csFormatedSelectName.Set(m_csFormatedOriginalName.pszGet());
    }
    return m_csFormatedSelectName.pszGet();
}

// ---- Composite keys --------------------------------------------------------------------

void CNAColumn::AddCompositeKey(CNAColumn* pclComponent)
{
    if (m_ptabComponent == nullptr) {
        m_ptabComponent = new (std::nothrow) CNARefArray<CNAColumn>(1);
        if (m_ptabComponent == nullptr)
            return;
        m_ptabComponent->m_nRefCount++;
    }
    m_ptabComponent->Ajoute(pclComponent);
}

int CNAColumn::bIsComposedKeyComponent(const CNAColumn* pclColumn) const
{
    if (m_ptabComponent == nullptr || pclColumn == nullptr)
        return 0;
    for (int i = 0; i < m_ptabComponent->nGetNbElement(); i++)
        if ((*m_ptabComponent)[i] == pclColumn)
            return 1;
    return 0;
}

int CNAColumn::_bGetCompositeKeyValue(CAny* pValue)
{
    const unsigned int nKeySize = nGetItemSize();
    std::vector<unsigned char> aby(nKeySize, 0);
    unsigned int nPos = 0;
    const int nCount = m_ptabComponent != nullptr ? m_ptabComponent->nGetNbElement() : 0;
    for (int i = 0; i < nCount && nPos < nKeySize; i++) {
        CNAColumn* pcl = (*m_ptabComponent)[i];
        if (pcl == nullptr || pcl->m_piItem == nullptr)
            continue;
        unsigned int nField = pcl->m_piItem->nGetTotalSize();
        const eNA_ITEMTYPE e = pcl->eNAGetItemType();
        if (e == NA_IT_TEXTE && nField >= 1)
            nField -= 1;
        else if (e == NA_IT_UNICODE && nField >= 2)
            nField -= 2;
        CAny clComponent;
        if (!pcl->bGetCurrentValue(&clComponent, 0))
            return 0;
        const unsigned char* p;
        unsigned int n;
        _DataOf(&clComponent, &p, &n);
        if (clComponent.bIsNull())
            n = 0;
        // Within the key's own size whatever the components claim.
        nField = std::min(nField, nKeySize - nPos);
        if (n > 0)
            memcpy(aby.data() + nPos, p, std::min(n, nField));
        nPos += nField;
    }
    pValue->__SetType(TQTYPE_BIN, 0);
    pValue->pclGetTraitement()->SetValue(aby.data(), nKeySize);
    pValue->SetFlags(0);
    return 1;
}

// ---- Value side ------------------------------------------------------------------------

int CNAColumn::vbInit(CNARecord* pclRecord, CNAItemDescription* pclImported)
{
    m_pclRecord = pclRecord;
    if (!bFormatName())
        return 0;
    if (pclImported != nullptr && !bSetImportedItemDesc(pclImported))
        return 0;
    if (bIsComposedKey())
        return 1;
    return bInitVariant(pclRecord);
}

int CNAColumn::bSetImportedItemDesc(CNAItemDescription* pclImported)
{
    if (pclImported != nullptr)
        pclImported->ExternalAddRef();
    if (m_pclImportedItem != nullptr)
        m_pclImportedItem->nExternalRelease();
    m_pclImportedItem = pclImported;
    return 1;
}

int CNAColumn::bInitVariant(CNARecord* pclRecord)
{
    if (pclRecord != nullptr)
        m_pclRecord = pclRecord;
    if (m_pclValue == nullptr) {
        CNADriver* pclDriver = CNADriver::s_pclDriver;
        m_pclValue = pclDriver != nullptr ? pclDriver->pclAllocVariant(m_pclError, _pclConnection())
                                          : new (std::nothrow) CNAConvertVariant(m_pclError, _pclConnection());
        if (m_pclValue == nullptr) {
            if (m_pclError != nullptr)
                m_pclError->pclGetXError()->SetErrorNoMemory();
            return 0;
        }
        m_pclValue->AddRef();
    }
    if (bIsMemo()) {
        m_pclValue->InitTypeVariantAny(eGetTQType(), 0);
        if (m_pclRecord != nullptr && !m_pclRecord->bShareCurrentRecordMemoValue(this, m_pclValue))
            return 0;
    } else {
        CNAKXRecord* pclKX = _pclCurrentKX();
        unsigned char* pby = pclKX != nullptr ? pclKX->pbyGetItemValue(m_piItem, 0) : nullptr;
        if (pby == nullptr)
            m_pclValue->InitTypeVariantAny(eGetTQType(), nGetItemSize());
        else if (!m_pclValue->bInitTypeVariant(NA_VAR_BUFFER, pby, nGetItemSize(), eGetTQType()))
            return 0;
    }
    m_pclValue->SetItemDesc(m_piItem, m_pclImportedItem);
    return 1;
}

int CNAColumn::bUpdateChangedTypeInCurrentRecord(INADataSourceDescription*)
{
    if (bIsComposedKey())
        return 1;
    return bInitVariant(m_pclRecord);
}

int CNAColumn::bInitVariant_NV_Any(CNAError*, CNAConvertVariant* pclCell, unsigned short nHostType)
{
    if (pclCell == nullptr)
        return 0;
    pclCell->InitTypeVariantAny(nHostType != 0 ? nHostType : eGetTQType(), bIsMemo() ? 0 : nGetItemSize());
    pclCell->SetItemDesc(m_piItem, m_pclImportedItem);
    return 1;
}

int CNAColumn::_bReadFromKX(CNAKXRecord* pclKX, CAny* pValue, int nIndex)
{
    if (pclKX == nullptr || pValue == nullptr)
        return 0;
    if (!pclKX->bItemValueDefined(m_piItem, 0)) {
        _SetNull(pValue, eGetTQType());
        return 1;
    }
    pclKX->GetItemValue(pValue, m_piItem, nIndex);
    return 1;
}

int CNAColumn::bGetCurrentValue(CAny* pValue, int nIndex)
{
    if (pValue == nullptr)
        return 0;
    if (bIsMemo()) {
        CNAConvertVariant* pclCell = pclGetNAValue();
        if (pclCell == nullptr) {
            _SetNull(pValue, eGetTQType());
            return 1;
        }
        if (m_csMemoFile.nTaille() > 0 && pclCell->pclGetValue()->bIsNull() &&
            !pclCell->bLoadFile(m_csMemoFile.pszGet(), m_pclError, bIsMemoBin()))
            return 0;
        return pclCell->bGetValue(pValue);
    }
    if (bIsComposedKey())
        return _bGetCompositeKeyValue(pValue);
    return _bReadFromKX(_pclCurrentKX(), pValue, nIndex);
}

int CNAColumn::bGetOriginalValue(CAny* pValue, int nIndex)
{
    return _bReadFromKX(_pclOriginalKX(), pValue, nIndex);
}

int CNAColumn::bOriginalValueDefined()
{
    CNAKXRecord* pclKX = _pclOriginalKX();
    return pclKX != nullptr && pclKX->bItemValueDefined(m_piItem, 0);
}

int CNAColumn::bSetValue(const CAny* pValue, int nIndex)
{
    CNAKXRecord* pclKX = _pclCurrentKX();
    if (bIsMemo()) {
        m_csMemoFile.Vide();
        m_bMemoModified = 0;
        if (m_pclValue == nullptr || !m_pclValue->bSetValue(pValue))
            return 0;
        if (pclKX != nullptr)
            pclKX->SetItemValueDefined(m_piItem, !m_pclValue->pclGetValue()->bIsNull(), 0);
        return 1;
    }
    if (pclKX == nullptr)
        return 0;
    pclKX->SetItemValue(m_piItem, pValue, static_cast<unsigned int>(nIndex));
    if (m_pclValue != nullptr)
        m_pclValue->m_clValue.SetNullFlag(!pclKX->bItemValueDefined(m_piItem, 0));
    return 1;
}

int CNAColumn::bSetValueNULL()
{
    CAny clNull(eGetTQType());
    clNull.SetNullFlag(true);
    return bSetValue(&clNull, 0);
}

int CNAColumn::bValueModified()
{
    if (bIsComposedKey()) {
        for (int i = 0; m_ptabComponent != nullptr && i < m_ptabComponent->nGetNbElement(); i++)
            if ((*m_ptabComponent)[i] != nullptr && (*m_ptabComponent)[i]->bValueModified())
                return 1;
        return 0;
    }
    if (bIsMemo())
        return m_bMemoModified != 0;
    if ((bValueDefined() != 0) != (bOriginalValueDefined() != 0))
        return 1;
    CNAKXRecord* pclCurrent = _pclCurrentKX();
    CNAKXRecord* pclOriginal = _pclOriginalKX();
    const unsigned char* a = pclCurrent != nullptr ? pclCurrent->pbyGetItemValue(m_piItem, -1) : nullptr;
    const unsigned char* b = pclOriginal != nullptr ? pclOriginal->pbyGetItemValue(m_piItem, -1) : nullptr;
    if (a == nullptr || b == nullptr)
        return a != b;
    return memcmp(a, b, m_piItem->nGetTotalSize()) != 0;
}

int CNAColumn::bValueDefined()
{
    if (bIsComposedKey()) {
        for (int i = 0; m_ptabComponent != nullptr && i < m_ptabComponent->nGetNbElement(); i++)
            if ((*m_ptabComponent)[i] != nullptr && (*m_ptabComponent)[i]->bValueDefined())
                return 1;
        return 0;
    }
    if (bIsMemo())
        return m_csMemoFile.nTaille() > 0 || (m_pclValue != nullptr && !m_pclValue->pclGetValue()->bIsNull());
    return !bNullOrEquivalent();
}

int CNAColumn::bNullOrEquivalent()
{
    CNAKXRecord* pclKX = _pclCurrentKX();
    if (pclKX == nullptr || !pclKX->bItemValueDefined(m_piItem, 0))
        return 1;
    if (m_csMemoFile.nTaille() > 0)
        return 0;
    CAny cl;
    if (!bGetCurrentValue(&cl, 0))
        return 0;
    return bNullOrEquivalent(&cl);
}

int CNAColumn::bNullOrEquivalent(const CAny* pValue)
{
    if (pValue == nullptr || pValue->bIsNull())
        return 1;
    CNAConnectionDescription* pclCnx = _pclConnection();
    if (pclCnx == nullptr || pclCnx->eGetDataSource() != 1)
        return 0;
    const eNA_ITEMTYPE eItem = eNAGetItemType();
    const eNA_ITEMTYPE eDB = eNAGetItemTypeOnDatabaseEx();
    const bool bDate = (_bIsDateType(eItem) || _bIsDateType(eDB)) && eItem != NA_IT_HEURE;
    const bool bText = _bIsTextType(eItem) || _bIsTextType(eDB);
    if (bDate || bText) {
        const unsigned char* p;
        unsigned int n;
        if (pValue->nGetTypeCode() == TQTYPE_DATETIME) {
            _DataOf(pValue, &p, &n);
            return std::all_of(p, p + n, [](unsigned char c) { return c == 0; });
        }
        std::wstring s;
        if (!_bWideText(pValue, &s) || !s.empty())
            return 0;
        const bool bTextItem = bText || eItem == NA_IT_HEURE || eDB == NA_IT_HEURE;
        return bIsNullableOnDataBase() || !bTextItem;
    }
    if (eItem == NA_IT_BINAIRE || eItem == NA_IT_MEMOBINAIRE || eDB == NA_IT_BINAIRE ||
        eDB == NA_IT_MEMOBINAIRE) {
        const unsigned char* p;
        unsigned int n;
        _DataOf(pValue, &p, &n);
        return n == 0;
    }
    return 0;
}

int CNAColumn::bSameValue(const CAny* pValue, unsigned int nFlags)
{
    if (!bIsComposedKey() && !bValueDefined())
        return pValue == nullptr || pValue->bIsNull();
    if (pValue == nullptr)
        return 0;
    CAny clCurrent;
    if (!bGetCurrentValue(&clCurrent, 0))
        return 0;
    const unsigned char a = pValue->nGetTypeCode();
    const unsigned char b = clCurrent.nGetTypeCode();
    const bool bBytes = (a == b || (CNAVariant::s_bIsText8(a) && CNAVariant::s_bIsText8(b)) ||
                         (CNAVariant::s_bIsTextW(a) && CNAVariant::s_bIsTextW(b))) &&
                        a != TQTYPE_DECIMAL;
    if (bBytes) {
        const unsigned char *pGiven, *pCurrent;
        unsigned int nGiven, nCurrent;
        _DataOf(pValue, &pGiven, &nGiven);
        _DataOf(&clCurrent, &pCurrent, &nCurrent);
        if (nGiven > nCurrent)
            return 0;
        if (nGiven > 0 && memcmp(pGiven, pCurrent, nGiven) != 0)
            return 0;
        if (nFlags & 0x1000)
            return 1;
        return std::all_of(pCurrent + nGiven, pCurrent + nCurrent, [](unsigned char c) { return c == 0; });
    }
    int nResult = 0;
    nEgalite(pValue, &clCurrent, &nResult, 0);
    return nResult != 0;
}

int CNAColumn::bCheckAndCorrectKXRecordValues()
{
    if (bIsComposedKey())
        return 1;
    CNAKXRecord* pclKX = _pclCurrentKX();
    if (bIsMemo()) {
        if (pclKX != nullptr && pclKX->bItemValueDefined(m_piItem, 0)) {
            pclKX->SetItemValueDefined(m_piItem, 1, 0);
        } else {
            CAny clNull(eGetTQType());
            clNull.SetNullFlag(true);
            _bSetValueMemoToDB(&clNull);
        }
        return 1;
    }
    if (!bValueDefined())
        return bSetValueNULL();
    if (m_pclValue != nullptr && m_pclValue->eGetVarType() == NA_VAR_BUFFER)
        m_pclValue->m_clValue.SetNullFlag(false);
    return 1;
}

int CNAColumn::bSetValueToDB(const CAny* pValue, unsigned int)
{
    if (bIsMemo())
        return _bSetValueMemoToDB(pValue);
    return m_pclValue != nullptr && m_pclValue->bSetValue(pValue);
}

int CNAColumn::bConvertDataToDB()
{
    if (m_pclValue == nullptr)
        return 0;
    if (m_pclValue->eGetVarType() == NA_VAR_BUFFER)
        m_pclValue->m_clValue.SetNullFlag(!bValueDefined());
    return m_pclValue->bConvertDataToDB();
}

int CNAColumn::_bMemoNullEquivalent(const CAny* pValue)
{
    if (pValue == nullptr || pValue->bIsNull())
        return 1;
    const unsigned char* p;
    unsigned int n;
    _DataOf(pValue, &p, &n);
    return n == 0 && bIsNullableOnDataBase();
}

int CNAColumn::_bSetValueMemoToDB(const CAny* pValue)
{
    if (m_pclValue == nullptr)
        return 0;
    CNAKXRecord* pclKX = _pclCurrentKX();
    const bool bNullEquivalent = _bMemoNullEquivalent(pValue) != 0;
    if (pclKX != nullptr && !pclKX->bItemValueDefined(m_piItem, 0) && !bNullEquivalent)
        pclKX->SetItemValueDefined(m_piItem, 1, 0);
    m_csMemoFile.Vide();
    if (m_pclValue->eGetVarType() == NA_VAR_UNREADYET) {
        m_bMemoModified = 1;
        return m_pclValue->bSetValue(pValue);
    }
    if (!bOriginalValueDefined() && bNullEquivalent) {
        m_pclValue->SetNull();
        m_bMemoModified = 0;
        return 1;
    }
    if (!m_bMemoModified) {
        if (m_pclValue->pclGetValue()->bIsNull())
            m_bMemoModified = !bNullEquivalent;
        else
            m_bMemoModified = !m_pclValue->bEqualsNAVariant(pValue);
    }
    if (m_bMemoModified)
        return m_pclValue->bSetValue(pValue);
    return 1;
}

int CNAColumn::bSetValueFromDB(CNAStatement*, int)
{
    return 0;
}

int CNAColumn::bHAttacheMemo(const wchar_t* pszFile)
{
    m_csMemoFile.Set(pszFile);
    if (m_pclValue != nullptr)
        m_pclValue->SetNull();
    m_bMemoModified = 1;
    // The file is the value: a write must not take the item for NULL.
    CNAKXRecord* pclKX = _pclCurrentKX();
    if (pclKX != nullptr && m_piItem != nullptr)
        pclKX->SetItemValueDefined(m_piItem, 1, 0);
    return 1;
}

int CNAColumn::bHExtraitMemo(const wchar_t* pszFile)
{
    CAny clValue;
    if (m_pclValue == nullptr || !m_pclValue->bGetValue(&clValue)) {
        // No value: a NULL one.
        clValue.__SetType(eGetTQType(), 0);
        clValue.SetNullFlag(true);
    }
    if (!clValue.bIsNull() && CNAVariant::s_bIsText8(clValue.nGetTypeCode())) {
        // A text goes to the file without its terminator.
        const unsigned char* p;
        unsigned int n;
        _DataOf(&clValue, &p, &n);
        CAny clBytes(TQTYPE_BIN);
        clBytes.pclGetTraitement()->SetValue(p, n);
        return CNAVariant::gbStoreFile(&clBytes, pszFile, m_pclError);
    }
    return CNAVariant::gbStoreFile(&clValue, pszFile, m_pclError);
}

int CNAColumn::bGetBLOB(CAny* pValue)
{
    return bGetCurrentValue(pValue, 0);
}

int CNAColumn::bGetCacheValue(CAny* pValue, int nIndex)
{
    return bGetCurrentValue(pValue, nIndex);
}

INAItemDescription* CNAColumn::s_piGetItemDB(const CNAConvertVariant* pclCell)
{
    return pclCell != nullptr ? pclCell->m_piItemDB : nullptr;
}

CNAConvertVariant* CNAColumn::pclGetNAValue()
{
    return m_pclValue;
}

CNAConvertVariant* CNAColumn::pclGetVariantClone()
{
    return m_pclValue != nullptr ? m_pclValue->pclGetCloneVariant() : nullptr;
}

int CNAColumn::bRestaureOriginalValue(const CNAConvertVariant* pclCell)
{
    m_bMemoModified = 0;
    if (m_pclValue == nullptr)
        return 1;
    if (pclCell == nullptr)
        m_pclValue->SetNull();
    else
        m_pclValue->bCopyVariant(pclCell);
    return 1;
}

int CNAColumn::bCurrentValueToString(CTString* pclText, int bWithName)
{
    if (pclText == nullptr)
        return 0;
    if (bWithName)
        pclText->Add(L"<", pszGetName(), L"> = <");
    if (bValueIsUnreadYet()) {
        pclText->Add(L"UNREAD YET");
        if (bWithName)
            pclText->Add(L">");
        return 1;
    }
    CAny cl;
    if (!bGetCurrentValue(&cl, 0)) {
        if (bWithName)
            pclText->Add(L"ERROR RETRIEVING VALUE>");
        return 0;
    }
    if (cl.bIsNull()) {
        if (bWithName)
            pclText->Add(L"NULL>");
        return 1;
    }
    if (bWithName && cl.nGetTypeCode() == TQTYPE_BIN) {
        CTString cs;
        nGetString(&cs, &cl, nullptr, 0);
        pclText->Add(cs.pszGet());
    } else {
        std::wstring s;
        if (_bWideText(&cl, &s)) {
            pclText->Add(s.c_str());
        } else if (bWithName) {
            unsigned int nSize = 0;
            cl.pclGetTraitement()->nGetDataSize(&nSize);
            pclText->Add(L"IMPOSSIBLE TEXT CONVERSION (TQ Type=");
            pclText->AddI4(cl.nGetTypeCode());
            pclText->Add(L", Data Size=");
            pclText->AddI4(static_cast<int>(nSize));
            pclText->Add(L")");
        }
    }
    if (bWithName)
        pclText->Add(L">");
    return 1;
}

void CNAColumn::SetValueIsUnreadYet()
{
    if (m_pclValue != nullptr) {
        m_pclValue->m_clValue.SetNullFlag(true);
        m_pclValue->m_eVarType = NA_VAR_UNREADYET;
    }
    if (m_piItem == nullptr)
        return;
    if (m_piItem->bMemo()) {
        m_csMemoFile.Set(L"");
        m_bMemoModified = 0;
    }
    // The value is there, only not fetched yet.
    CNAKXRecord* pclRecord = _pclCurrentKX();
    if (pclRecord != nullptr)
        pclRecord->SetItemValueDefined(m_piItem, 1, 0);
}

int CNAColumn::bValueIsUnreadYet() const
{
    return m_pclValue != nullptr && m_pclValue->eGetVarType() == NA_VAR_UNREADYET;
}

// ---- Column of a fetched row -------------------------------------------------------------

int CNASQLColumn::bSetValueFromDB(CNAStatement* pclStatement, int nIndex)
{
    if (m_pclValue == nullptr || pclStatement == nullptr)
        return 0;
    const bool bMemo = bIsMemo() != 0;
    if (bMemo) {
        m_csMemoFile.Vide();
        m_bMemoModified = 0;
        m_pclValue->InitTypeVariantAny(eGetTQType(), 0);
        m_pclValue->SetItemDesc(m_piItem, m_pclImportedItem);
    }
    int bResult = pclStatement->bGetSQLColumnValue(m_pclValue, static_cast<unsigned int>(nGetPhysicalIndice()));
    // A memo's refused value leaves the row readable as another's does.
    if (!bResult)
        bResult = _bKeepRefusedValue(pclStatement);
    if (!bResult && bMemo) {
        m_pclValue->SetNull();
        return 0;
    }
    CNAKXRecord* pclKX = _pclCurrentKX();
    if (pclKX != nullptr)
        pclKX->SetItemValueDefined(m_piItem, !m_pclValue->pclGetValue()->bIsNull(), static_cast<unsigned int>(nIndex));
    return bResult;
}

int CNASQLColumn::_bKeepRefusedValue(CNAStatement* pclStatement)
{
    CNARecordValue* pclRow = m_pclRecord != nullptr ? m_pclRecord->pclGetCurrentRecordValueNoRef() : nullptr;
    if (pclRow == nullptr || m_pclError == nullptr || m_pclError->nGetUserErrorCode() != ZTERR_CONVERSION)
        return 0;
    CXError* pclFailure = new (std::nothrow) CXError(*m_pclError->pclGetXError());
    if (pclFailure == nullptr)
        return 0;
    pclFailure->m_nRefCount++;
    // The server's value as text, to name it; whatever that read says
    // goes with the reset.
    CAny clText;
    std::wstring strValue;
    void* pText = nullptr;
    unsigned int nText = 0;
    if (pclStatement->bGetSQLColumnValue(&clText, static_cast<unsigned int>(nGetPhysicalIndice())) &&
        clText.nGetTypeCode() == TQTYPE_DSTRW && !clText.bIsNull() &&
        clText.pclGetTraitement()->nGetDataAdr(&pText) == TQSTATUS_OK && pText != nullptr &&
        clText.pclGetTraitement()->nGetUtilDataSize(&nText) == TQSTATUS_OK)
        strValue.assign(static_cast<const wchar_t*>(pText), nText / sizeof(wchar_t));
    // A text holding a NUL, which its item ends at, is named and found
    // again by its bytes.
    if (strValue.find(L'\0') != std::wstring::npos)
        strValue = pclStatement->strServerTextLiteral(strValue);
    m_pclError->Reset();
    const wchar_t* pszType = m_pclImportedItem != nullptr ? m_pclImportedItem->pszGetDBType() : nullptr;
    const wchar_t* pszTable = m_pclRecord->pszGetTableName();
    pclFailure->AddUserMessageFirst(&gstMyModuleInfo32, ZTMSG_VALUE_NOT_HELD, pszGetName(),
                                    pszTable != nullptr ? pszTable : L"", pszType != nullptr ? pszType : L"",
                                    strValue.c_str());
    // The first refused value of the row names it; the server's text stands
    // for each wherever the row must be told from others.
    const bool bKept = pclRow->bAddRefusal(pszGetName(), strValue.c_str(), pclFailure);
    pclFailure->dwRelease();
    if (!bKept) {
        m_pclError->pclGetXError()->SetErrorNoMemory();
        return 0;
    }
    m_pclValue->SetNull();
    return 1;
}

CNAColumn* _pclAllocNASQLColumn(CNAError* pclError, INAItemDescription* piItem)
{
    if (piItem == nullptr)
        return nullptr;
    const int e = piItem->eNAGetItemType();
    if (e < 1 || e > 31 || e == 8)
        return nullptr;
    return new (std::nothrow) CNASQLColumn(pclError, piItem);
}

// ---- Result column description --------------------------------------------------------------

CNAColumnSQL::CNAColumnSQL()
    : m_ullLength(0),
      m_nSize(0),
      m_nIntegerPart(0),
      m_nDecimalPart(0),
      m_nDBType(0),
      m_nCharsetNumber(0),
      m_dwReserved1(0),
      m_eItemType(NA_IT_EMPTY),
      m_nKeyFlags(0),
      m_dwReserved2(0)
{
}

CNAColumnSQL::~CNAColumnSQL() {}

// ---- Parameter -------------------------------------------------------------------------------

CNAParameter::CNAParameter(CNAConvertVariant* pclCell, unsigned int nPosition, unsigned int nFlags,
                           const wchar_t* pszName)
    : m_pclValue(pclCell),
      m_nPosition(nPosition),
      m_nFlags(nFlags),
      m_pclColumn(nullptr),
      m_csName(pszName),
      m_piItem(nullptr),
      m_cEscape(0),
      m_eOperator(-1),
      m_bNull(0),
      m_eInOut(PARAM_IN)
{
    if (m_pclValue != nullptr)
        m_pclValue->AddRef();
}

CNAParameter::~CNAParameter()
{
    if (m_piItem != nullptr)
        m_piItem->nExternalRelease();
    if (m_pclColumn != nullptr)
        m_pclColumn->nRelease();
    if (m_pclValue != nullptr)
        m_pclValue->nRelease();
}

void CNAParameter::SetColum(CNAColumn* pclColumn)
{
    if (pclColumn != nullptr)
        pclColumn->AddRef();
    if (m_pclColumn != nullptr)
        m_pclColumn->nRelease();
    m_pclColumn = pclColumn;
    SetItem(pclColumn != nullptr ? pclColumn->piGetItem() : nullptr);
}

void CNAParameter::SetItem(INAItemDescription* piItem)
{
    if (piItem != nullptr)
        piItem->ExternalAddRef();
    if (m_piItem != nullptr)
        m_piItem->nExternalRelease();
    m_piItem = piItem;
}

int CNAParameter::bSetValue(const CAny* pValue)
{
    return m_pclValue != nullptr && m_pclValue->bSetValue(pValue);
}

int CNAParameter::bLoadFile(CNAError* pclError)
{
    if (m_pclValue == nullptr)
        return 0;
    CAny clName;
    std::wstring strName;
    if (!m_pclValue->bGetValue(&clName) || !_bWideText(&clName, &strName))
        return 0;
    // Text only when both bits say so.
    const int bBinary = (m_nFlags & (PF_FILE | PF_FILE_RAW)) != (PF_FILE | PF_FILE_RAW);
    if (!m_pclValue->bLoadFile(strName.c_str(), pclError, bBinary))
        return 0;
    m_nFlags &= ~static_cast<unsigned int>(PF_FILE);
    return 1;
}

int CNAParameter::bIsDate() const
{
    const eNA_ITEMTYPE e = m_piItem != nullptr ? m_piItem->eNAGetItemType() : NA_IT_EMPTY;
    return e == NA_IT_DATE6 || e == NA_IT_HEURE || e == NA_IT_DATE8 || e == NA_IT_DATETIME;
}

int CNAParameter::bIsText() const
{
    const eNA_ITEMTYPE e = m_piItem != nullptr ? m_piItem->eNAGetItemType() : NA_IT_EMPTY;
    return e == NA_IT_TEXTE || e == NA_IT_MEMOTEXTE || e == NA_IT_UNICODE || e == NA_IT_MEMOUNICODE;
}

int CNAParameter::bIsTextUnicode() const
{
    const eNA_ITEMTYPE e = m_piItem != nullptr ? m_piItem->eNAGetItemType() : NA_IT_EMPTY;
    return e == NA_IT_UNICODE || e == NA_IT_MEMOUNICODE;
}

int CNAParameter::bGetDBType(eNA_ITEMTYPE* peType, int* pnDBType, int* pnSize, int* pnPrecision,
                             int* pnScale) const
{
    const INAItemDescription* pi = CNAColumn::s_piGetItemDB(m_pclValue);
    if (pi == nullptr && m_pclColumn != nullptr)
        pi = m_pclColumn->pclGetImportedItem();
    if (pi == nullptr)
        return 0;
    const CNAItemDescription* pcl = dynamic_cast<const CNAItemDescription*>(pi);
    *peType = pi->eNAGetItemType();
    *pnDBType = pcl != nullptr ? pcl->nGetDBType() : 0;
    *pnPrecision = pi->nGetIntegerPart() + pi->nGetDecimalPart();
    *pnScale = pi->nGetDecimalPart();
    *pnSize = pi->bMemo() ? -1 : pi->nGetLogicalSize(0);
    return *pnDBType != 0;
}

int CNAParameter::bGetTQTypeInfo(eNA_ITEMTYPE* peDBItemType, eNA_ITEMTYPE* peItemType) const
{
    if (m_pclColumn != nullptr) {
        *peDBItemType = m_pclColumn->eNAGetItemTypeOnDatabaseEx();
        *peItemType = m_pclColumn->eNAGetItemType();
        return 1;
    }
    if (m_pclValue == nullptr)
        return 0;
    *peDBItemType = m_pclValue->eNAGetItemTypeDatabase();
    *peItemType = m_pclValue->eNAGetItemTypeAnalyse();
    return *peDBItemType != NA_IT_EMPTY || *peItemType != NA_IT_EMPTY;
}

int CNAParameter::bCaseInSensitiveLIKE() const
{
    if (m_pclColumn != nullptr)
        return m_pclColumn->bGetIgnoreCase(-1);
    return m_piItem != nullptr && m_piItem->bGetIgnoreCase(-1);
}

int CNAParameter::bIsParamOUT(INAQueryParametersValue* piValues) const
{
    if (piValues == nullptr)
        return 0;
    const int n = piValues->nGetParameterDirection(m_csName.pszGet());
    return n == 2 || n == 3;
}

int CNAParameter::bEqualsParameter(const CNAParameter* pclOther) const
{
    if (pclOther == this)
        return 1;
    if (pclOther == nullptr || pclOther->m_nPosition != m_nPosition || pclOther->m_nFlags != m_nFlags)
        return 0;
    if (!CNAVariant::g_bEqualsNAVariant(m_pclValue, pclOther->m_pclValue))
        return 0;
    if ((m_pclColumn == nullptr) != (pclOther->m_pclColumn == nullptr))
        return 0;
    if (m_pclColumn != nullptr && STR_nCompareW(m_pclColumn->pszGetName(), pclOther->m_pclColumn->pszGetName(), 3) != 0)
        return 0;
    if ((m_piItem == nullptr) != (pclOther->m_piItem == nullptr))
        return 0;
    if (m_piItem != nullptr && STR_nCompareW(m_piItem->pszGetName(), pclOther->m_piItem->pszGetName(), 3) != 0)
        return 0;
    return m_cEscape == pclOther->m_cEscape && m_bNull == pclOther->m_bNull && m_eInOut == pclOther->m_eInOut;
}

CNAParameter* CNAParameter::pclGetClone() const
{
    CNADriver* pclDriver = CNADriver::s_pclDriver;
    CNAParameter* pcl = pclDriver != nullptr
                            ? pclDriver->pclAllocParameter(m_pclValue, m_nPosition, m_nFlags, m_csName.pszGet())
                            : new (std::nothrow) CNAParameter(m_pclValue, m_nPosition, m_nFlags, m_csName.pszGet());
    if (pcl == nullptr)
        return nullptr;
    if (m_pclColumn != nullptr)
        pcl->SetColum(m_pclColumn);
    pcl->SetItem(m_piItem);
    pcl->m_cEscape = m_cEscape;
    return pcl;
}

void CNAParameter::TypeParam2String(CTString* pclText) const
{
    if (pclText == nullptr)
        return;
    pclText->Set(L"(");
    bool bFirst = true;
    const struct {
        unsigned int n;
        const wchar_t* psz;
    } aDirection[] = {{PARAM_IN, L"IN"}, {PARAM_OUT, L"OUT"}, {PARAM_RETURN, L"RETURN"}};
    for (const auto& d : aDirection) {
        if ((m_eInOut & d.n) == 0)
            continue;
        if (!bFirst)
            pclText->Add(L"|");
        pclText->Add(d.psz);
        bFirst = false;
    }
    pclText->Add(L")");
}

// ---- Free functions ------------------------------------------------------------------------------

int s_bEspaceSQL(wchar_t c)
{
    return c == 9 || c == 10 || c == 13 || c == 32;
}

namespace {

template <class T>
T _Read(const CAny* pValue)
{
    T x;
    memcpy(&x, pValue->pbyGetValeur(), sizeof(x));
    return x;
}

// The host string block's flag word of a dynamic text.
bool _bDynamicTextMax(const CAny* pValue)
{
    const unsigned char* p;
    unsigned int n;
    _DataOf(pValue, &p, &n);
    if (p == nullptr || n == 0)
        return false;
    uint32_t dwFlags;
    memcpy(&dwFlags, p - 16, sizeof(dwFlags));
    return (dwFlags & 0x1) != 0;
}

} // namespace

eCHECKVALUE eCheckValue(const CAny* pValue)
{
    if (pValue == nullptr || pValue->bIsNull())
        return CHECKVALUE_ORDINARY;
    switch (pValue->nGetTypeCode()) {
    case TQTYPE_UI1: {
        const uint8_t n = _Read<uint8_t>(pValue);
        return n == 0 ? CHECKVALUE_MIN : n == UINT8_MAX ? CHECKVALUE_MAX : CHECKVALUE_ORDINARY;
    }
    case TQTYPE_UI2: {
        const uint16_t n = _Read<uint16_t>(pValue);
        return n == 0 ? CHECKVALUE_MIN : n == UINT16_MAX ? CHECKVALUE_MAX : CHECKVALUE_ORDINARY;
    }
    case TQTYPE_UI4:
    case TQTYPE_UIX: {
        const uint32_t n = _Read<uint32_t>(pValue);
        return n == 0 ? CHECKVALUE_MIN : n == UINT32_MAX ? CHECKVALUE_MAX : CHECKVALUE_ORDINARY;
    }
    case TQTYPE_UI8: {
        const uint64_t n = _Read<uint64_t>(pValue);
        return n == 0 ? CHECKVALUE_MIN : n == UINT64_MAX ? CHECKVALUE_MAX : CHECKVALUE_ORDINARY;
    }
    case TQTYPE_I1: {
        const int8_t n = _Read<int8_t>(pValue);
        return n == INT8_MIN ? CHECKVALUE_MIN : n == INT8_MAX ? CHECKVALUE_MAX : CHECKVALUE_ORDINARY;
    }
    case TQTYPE_I2: {
        const int16_t n = _Read<int16_t>(pValue);
        return n == INT16_MIN ? CHECKVALUE_MIN : n == INT16_MAX ? CHECKVALUE_MAX : CHECKVALUE_ORDINARY;
    }
    case TQTYPE_I4: {
        const int32_t n = _Read<int32_t>(pValue);
        return n == INT32_MIN ? CHECKVALUE_MIN : n == INT32_MAX ? CHECKVALUE_MAX : CHECKVALUE_ORDINARY;
    }
    case TQTYPE_I8: {
        const int64_t n = _Read<int64_t>(pValue);
        return n == INT64_MIN ? CHECKVALUE_MIN : n == INT64_MAX ? CHECKVALUE_MAX : CHECKVALUE_ORDINARY;
    }
    case TQTYPE_R4: {
        const float f = _Read<float>(pValue);
        return f == -FLT_MAX ? CHECKVALUE_MIN : f == FLT_MAX ? CHECKVALUE_MAX : CHECKVALUE_ORDINARY;
    }
    case TQTYPE_R8: {
        const double d = _Read<double>(pValue);
        return d == -DBL_MAX ? CHECKVALUE_MIN : d == DBL_MAX ? CHECKVALUE_MAX : CHECKVALUE_ORDINARY;
    }
    case TQTYPE_DECIMAL: {
        if (gpiVMFactory == nullptr)
            return CHECKVALUE_ORDINARY;
        eCHECKVALUE e = CHECKVALUE_ORDINARY;
        for (int nBound = 0; nBound < 2 && e == CHECKVALUE_ORDINARY; nBound++) {
            CAny clBound(TQTYPE_DECIMAL);
            IDecimal* piBound = _Read<IDecimal*>(&clBound);
            if (piBound == nullptr)
                break;
            if (nBound == 0)
                piBound->SetToMin();
            else
                piBound->SetToMax();
            int nResult = 0;
            nEgalite(pValue, &clBound, &nResult, 0);
            if (nResult)
                e = nBound == 0 ? CHECKVALUE_MIN : CHECKVALUE_MAX;
        }
        return e;
    }
    case TQTYPE_DATETIME:
    case TQTYPE_DUREE: {
        uint32_t aw[2];
        memcpy(aw, pValue->pbyGetValeur(), sizeof(aw));
        if (aw[0] == 0 && aw[1] == 0)
            return CHECKVALUE_MIN;
        if (aw[1] > 86399999u || (aw[1] == 86399999u && aw[0] > 655297565u))
            return CHECKVALUE_MAX;
        return CHECKVALUE_ORDINARY;
    }
    case TQTYPE_CARA:
        return _Read<uint8_t>(pValue) == 255 ? CHECKVALUE_MAX : CHECKVALUE_ORDINARY;
    case TQTYPE_CARW:
        return _Read<uint32_t>(pValue) == 0xFFFFFFFFu ? CHECKVALUE_MAX : CHECKVALUE_ORDINARY;
    case TQTYPE_PSTRA:
    case TQTYPE_DATEA:
    case TQTYPE_TIMEA: {
        const unsigned char* p;
        unsigned int n;
        _DataOf(pValue, &p, &n);
        return n > 0 && p[n - 1] == 0xFF ? CHECKVALUE_MAX : CHECKVALUE_ORDINARY;
    }
    case TQTYPE_DATEW:
    case TQTYPE_TIMEW:
    case TQTYPE_PSTRW: {
        const unsigned char* p;
        unsigned int n;
        _DataOf(pValue, &p, &n);
        if (n < sizeof(wchar_t))
            return CHECKVALUE_ORDINARY;
        uint32_t c;
        memcpy(&c, p + (n / sizeof(wchar_t) - 1) * sizeof(wchar_t), sizeof(c));
        return c == 0xFFFFFFFFu ? CHECKVALUE_MAX : CHECKVALUE_ORDINARY;
    }
    case TQTYPE_DSTRW:
    case TQTYPE_DSTRA:
        return _bDynamicTextMax(pValue) ? CHECKVALUE_MAX : CHECKVALUE_ORDINARY;
    default:
        return CHECKVALUE_ORDINARY;
    }
}
