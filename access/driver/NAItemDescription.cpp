#include "access/driver/NAItemDescription.h"

#include "access/sql/ISQLParserInformation.h"

#include "access/driver/Interf.h"
#include "access/driver/NAConnectionDescription.h"
#include "access/driver/NADataSourceDescription.h"
#include "access/driver/NADriverLock.h"
#include "access/driver/NaDriver.h"
#include "common/values/Decimal.h"

#include <algorithm>
#include <cwchar>
#include <initializer_list>
#include <iterator>
#include <string>

CNAItemDescription::CNAItemDescription()
    : m_nDBType(0),
      m_nItemSize(0),
      m_nDimension(0),
      m_eItemType(NA_IT_EMPTY),
      m_nKeyIndice(0),
      m_nPhysicalIndice(0),
      m_nOffsetBase(-1),
      m_nSubItemIndiceBase(-1),
      m_nKeyFlags(0),
      m_nOptions(0),
      m_nRef(0),
      m_nExternalRef(0),
      m_nIntegerPart(0),
      m_nDecimalPart(0),
      m_nDescendingComponents(0),
      m_nCharacterLength(0),
      m_nCharsetNumber(0),
      m_pszTwinCharacters(nullptr),
      m_bBytesBeyondCharacters(false)
{
}

CNAItemDescription::~CNAItemDescription()
{
    _ReleaseComponents();
}

void CNAItemDescription::_ReleaseComponents()
{
    for (int i = 0; i < m_tabComponents.nGetNbElement(); ++i)
        m_tabComponents[i]->nRelease();
    m_tabComponents.SupprimeToutEtLibere();
    m_nDescendingComponents = 0;
}

// ---- References ------------------------------------------------------------------------
// A release at 0 is ignored: a count never wraps round.

// Under the driver mutex: the host may hold the item on several threads.

void CNAItemDescription::ExternalAddRef()
{
    CNADriverLock clLock;
    m_nExternalRef++;
}

unsigned int CNAItemDescription::nExternalRelease()
{
    CNADriverLock clLock;
    return g_nReleaseOneOfTwo(this, m_nExternalRef, m_nRef);
}

unsigned int CNAItemDescription::nRelease()
{
    CNADriverLock clLock;
    return g_nReleaseOneOfTwo(this, m_nRef, m_nExternalRef);
}

// ---- INAItemDescription ------------------------------------------------------------------

int CNAItemDescription::nGetVersion() const
{
    return 9;
}

int CNAItemDescription::nGetCompatSince() const
{
    return 1;
}

int CNAItemDescription::nGetNAVersion() const
{
    return -1;
}

int CNAItemDescription::nGetNACompatSince() const
{
    return -1;
}

void CNAItemDescription::NAVersion_EmptySlot_3() {}

const wchar_t* CNAItemDescription::pszGetName() const
{
    return m_csName.pszGet();
}

unsigned int CNAItemDescription::nGetDimension() const
{
    return m_nDimension;
}

unsigned int CNAItemDescription::nGetItemSize() const
{
    return m_nItemSize;
}

int CNAItemDescription::nGetLogicalSize(int nElement) const
{
    const int nSize = static_cast<int>(m_nItemSize);
    const int nFois = nElement == -1 ? static_cast<int>(m_nDimension) : 1;
    switch (m_eItemType) {
    case NA_IT_TEXTE:
        return (nSize - 1) * nFois;
    case NA_IT_UNICODE:
        return (nSize - 2) * nFois / 2;
    case NA_IT_BINAIRE:
        if (!bIsComposedKey())
            return (nSize - 2) * nFois;
        return nSize * nFois;
    default:
        return nSize * nFois;
    }
}

unsigned int CNAItemDescription::nGetTotalSize() const
{
    return m_nItemSize * m_nDimension;
}

eNA_ITEMTYPE CNAItemDescription::eNAGetItemType() const
{
    return m_eItemType;
}

int CNAItemDescription::nGetPhysicalIndice() const
{
    return m_nPhysicalIndice;
}

int CNAItemDescription::bIsKey() const
{
    return (m_nKeyFlags & (KF_COMPOSITE | KF_DUPLICATES | KF_UNIQUE | KF_PRIMARY)) != 0;
}

int CNAItemDescription::bMemo() const
{
    return g_bIsMemo(m_eItemType);
}

int CNAItemDescription::bMemoText() const
{
    return g_bIsMemoText(m_eItemType);
}

int CNAItemDescription::bMemoBinary() const
{
    return g_bIsMemoBinary(m_eItemType);
}

int CNAItemDescription::g_bIsMemo(eNA_ITEMTYPE eType)
{
    return eType == NA_IT_MEMOTEXTE || eType == NA_IT_MEMOBINAIRE || eType == NA_IT_MEMOUNICODE;
}

int CNAItemDescription::g_bIsMemoText(eNA_ITEMTYPE eType)
{
    return eType == NA_IT_MEMOTEXTE || eType == NA_IT_MEMOUNICODE;
}

int CNAItemDescription::g_bIsMemoBinary(eNA_ITEMTYPE eType)
{
    return eType == NA_IT_MEMOBINAIRE;
}

int CNAItemDescription::bNumerical() const
{
    switch (m_eItemType) {
    case NA_IT_IDAUTO:
    case NA_IT_I2:
    case NA_IT_I1:
    case NA_IT_I4:
    case NA_IT_R4:
    case NA_IT_R8:
    case NA_IT_UI2:
    case NA_IT_UI1:
    case NA_IT_REELTURBO:
    case NA_IT_MONETAIRE:
    case NA_IT_I8:
    case NA_IT_UI8:
    case NA_IT_UI4:
    case NA_IT_TIMELENGHT:
    case NA_IT_BOOLEEN:
    case NA_IT_IDAUTO4:
    case NA_IT_DECIMAL:
        return 1;
    default:
        return 0;
    }
}

int CNAItemDescription::bLiteral() const
{
    return m_eItemType == NA_IT_TEXTE;
}

int CNAItemDescription::nGetKeyIndice() const
{
    return m_nKeyIndice;
}

int CNAItemDescription::nGetNumComponents() const
{
    return m_tabComponents.nGetNbElement();
}

int CNAItemDescription::bPrimary() const
{
    return (m_nKeyFlags & KF_PRIMARY) != 0;
}

int CNAItemDescription::bUnique() const
{
    return (m_nKeyFlags & (KF_UNIQUE | KF_PRIMARY)) != 0;
}

int CNAItemDescription::bDuplicates() const
{
    return (m_nKeyFlags & KF_DUPLICATES) != 0;
}

int CNAItemDescription::bIsComposedKey() const
{
    return (m_nKeyFlags & KF_COMPOSITE) != 0;
}

int CNAItemDescription::bGetAscendant(int nIndex) const
{
    return bIsKey() && !bGetDescendant(nIndex);
}

// A component index (from 1) asks for that component's order within the key.
int CNAItemDescription::bGetDescendant(int nIndex) const
{
    if ((m_nKeyFlags & KF_DESCENDING) != 0)
        return 1;
    return nIndex >= 1 && nIndex <= m_tabComponents.nGetNbElement() && nIndex <= 32 &&
           (m_nDescendingComponents >> (nIndex - 1) & 1u) != 0;
}

int CNAItemDescription::bGetIgnoreCase(int) const
{
    return (m_nKeyFlags & KF_IGNORECASE) != 0;
}

int CNAItemDescription::bGetIgnorePunctuation(int) const
{
    return (m_nKeyFlags & KF_IGNOREPUNCTUATION) != 0;
}

int CNAItemDescription::bGetIgnoreAccent(int) const
{
    return (m_nKeyFlags & KF_IGNOREACCENT) != 0;
}

INAItemDescription* CNAItemDescription::piGetItemComponent(int nIndex)
{
    if (nIndex < 1 || nIndex > m_tabComponents.nGetNbElement())
        return nullptr;
    CNAItemDescription* pcl = m_tabComponents[nIndex - 1];
    pcl->ExternalAddRef();
    return pcl;
}

int CNAItemDescription::nGetOffset(int nIndex) const
{
    return m_nOffsetBase + nIndex * static_cast<int>(m_nItemSize);
}

int CNAItemDescription::nGetSubItemRecordIndice(int nIndex) const
{
    return m_nSubItemIndiceBase + nIndex;
}

CAny* CNAItemDescription::pclGetDefaultValue(int)
{
    return &m_clDefaultValue;
}

const wchar_t* CNAItemDescription::pszGetExtendedInfo() const
{
    return m_csExtendedInfo.pszGet();
}

const wchar_t* CNAItemDescription::pszGetCaption() const
{
    return m_csCaption.pszGet();
}

const wchar_t* CNAItemDescription::pszGetDBType() const
{
    return m_csDBType.pszGet();
}

const wchar_t* CNAItemDescription::pszGetXBaseIndexPath() const
{
    return nullptr;
}

const wchar_t* CNAItemDescription::pszGetXBaseKeyExpression() const
{
    return nullptr;
}

int CNAItemDescription::nGetIntegerPart() const
{
    return m_nIntegerPart;
}

int CNAItemDescription::nGetDecimalPart() const
{
    return m_nDecimalPart;
}

const wchar_t* CNAItemDescription::pszGetNameInSource() const
{
    return m_csNameInSource.pszGet();
}

const wchar_t* CNAItemDescription::pszGetSourceName() const
{
    return m_csSourceName.pszGet();
}

unsigned int CNAItemDescription::nGetKeySize() const
{
    return 0;
}

void CNAItemDescription::SetKeySize(unsigned int) {}

unsigned int CNAItemDescription::nGetComponentKeySize(int) const
{
    return 0;
}

void CNAItemDescription::SetComponentKeySize(unsigned int, int) {}

int CNAItemDescription::bUpdatable() const
{
    return (m_nOptions & OPT_NOTUPDATABLE) == 0;
}

void CNAItemDescription::SetUpdatable(int bUpdatable)
{
    if (bUpdatable)
        m_nOptions &= ~static_cast<unsigned int>(OPT_NOTUPDATABLE);
    else
        m_nOptions |= OPT_NOTUPDATABLE;
}

INAItemDescription* CNAItemDescription::piGetPrimaryLink(INAContext*, INADataSourceDescription**)
{
    return nullptr;
}

INAItemDescription* CNAItemDescription::piGetForeignLink(unsigned int, INAContext*, INADataSourceDescription**)
{
    return nullptr;
}

int CNAItemDescription::nGetNumForeignLink() const
{
    return 0;
}

const wchar_t* CNAItemDescription::pszGetUnicodeLocale() const
{
    return nullptr;
}

int CNAItemDescription::vbConstraintNullAllowed() const
{
    return bNullable();
}

// ---- Types ----------------------------------------------------------------------------------

eNA_ITEMTYPE CNAItemDescription::eNAGetDBType(CNAConnectionDescription* pConnection) const
{
    if (m_nDBType == 0)
        return NA_IT_EMPTY;
    if (pConnection != nullptr && pConnection->bDBTypeUnkwnownByDB(m_nDBType))
        return NA_IT_EMPTY;
    return eNAGetItemType();
}

int CNAItemDescription::s_bGetDecimalInfo(unsigned short nType, int* pnDigits, int* pnDecimals)
{
    int nDigits;
    int nDecimals = 0;
    switch (nType) {
    case 1: // boolean
        nDigits = 1;
        break;
    case 2: // unsigned and signed integers of 1 byte
    case 6:
        nDigits = 3;
        break;
    case 3: // of 2 bytes
    case 7:
        nDigits = 5;
        break;
    case 4: // of 4 bytes
    case 8:
    case 14:
        nDigits = 10;
        break;
    case 5: // of 8 bytes, and the duration
    case 9:
    case 27:
        nDigits = 19;
        break;
    case 10: // currency
        nDigits = 33;
        nDecimals = 5;
        break;
    default:
        if (pnDecimals != nullptr)
            *pnDecimals = 0;
        return 0;
    }
    if (pnDigits != nullptr)
        *pnDigits = nDigits;
    if (pnDecimals != nullptr)
        *pnDecimals = nDecimals;
    return 1;
}

// ---- Filling --------------------------------------------------------------------------------------

CNAItemDescription* CNAItemDescription::pclGetCloneItemDescription(CNADataSourceDescription* pclTarget,
                                                                   eCLONEDESC eOptions)
{
    CNADriver* pclDriver = CNADriver::s_pclDriver;
    if (pclTarget == nullptr || pclDriver == nullptr)
        return nullptr;
    CNAItemDescription* p = pclDriver->pclAllocItemDescription();
    if (p == nullptr)
        return nullptr;
    // Held while it is built: a failure lets it go, a text without memory
    // included.
    p->AddRef();
    struct CBuilding {
        CNAItemDescription* p;
        ~CBuilding()
        {
            if (p != nullptr)
                p->nRelease();
        }
    } clBuilding{p};
    p->m_csName = m_csName;
    p->m_csSourceName = m_csSourceName;
    p->m_csNameInSource = m_csNameInSource;
    p->m_csDBType = m_csDBType;
    p->m_nDimension = m_nDimension;
    p->m_nItemSize = m_nItemSize;
    p->m_eItemType = m_eItemType;
    p->m_nPhysicalIndice = m_nPhysicalIndice;
    p->m_nOffsetBase = m_nOffsetBase;
    p->m_nSubItemIndiceBase = m_nSubItemIndiceBase;
    p->m_nIntegerPart = m_nIntegerPart;
    p->m_nDecimalPart = m_nDecimalPart;
    p->m_nOptions = m_nOptions;
    p->m_nCharacterLength = m_nCharacterLength;
    p->m_csColumnCharset = m_csColumnCharset;
    p->m_pszTwinCharacters = m_pszTwinCharacters;
    p->m_bBytesBeyondCharacters = m_bBytesBeyondCharacters;
    m_clDefaultValue.pclGetTraitement()->Duplique(&p->m_clDefaultValue);
    p->m_nKeyFlags = m_nKeyFlags;
    if ((eOptions & CLONE_EVERY_ITEM_A_KEY) != 0 && m_nKeyFlags == 0 && m_eItemType != NA_IT_MEMOTEXTE &&
        m_eItemType != NA_IT_MEMOUNICODE)
        p->m_nKeyFlags = KF_ASCENDING | KF_DUPLICATES;
    // A key takes its place among the target's keys; any other item none,
    // so that making it a key later files it among them.
    p->m_nKeyIndice = p->bIsKey() ? static_cast<int>(pclTarget->nGetNumKeys()) : -1;
    if ((eOptions & CLONE_DATES_AS_TEXT) != 0 && (m_eItemType == NA_IT_DATE8 || m_eItemType == NA_IT_DATETIME)) {
        p->m_eItemType = NA_IT_TEXTE;
        p->m_clDefaultValue.__SetType(static_cast<unsigned short>(p->eGetItemTQType()), 0);
        p->m_clDefaultValue.SetNullFlag(false);
    }
    // The components are the target's items of the same names; a missing
    // one fails the clone rather than leave a hole in the key.
    p->m_nDescendingComponents = m_nDescendingComponents;
    for (int i = 0; i < m_tabComponents.nGetNbElement(); ++i) {
        CNAItemDescription* pclFound = pclTarget->pclNAGetCorrespondingItem(m_tabComponents[i]->pszGetName());
        if (pclFound == nullptr)
            return nullptr;
        pclFound->AddRef();
        pclFound->nExternalRelease();
        if (p->m_tabComponents.Ajoute(&pclFound) == nullptr) {
            pclFound->nRelease();
            return nullptr;
        }
    }
    // Handed out as new: the caller adds the reference it keeps.
    clBuilding.p = nullptr;
    p->m_nRef--;
    return p;
}

void CNAItemDescription::SetRecordPlace(int nOffset, int nSubItemIndice)
{
    m_nOffsetBase = nOffset;
    m_nSubItemIndiceBase = nSubItemIndice;
}

void CNAItemDescription::SetDBType(const wchar_t* pszName, int nCode)
{
    m_csDBType = pszName;
    m_nDBType = nCode;
}

int CNAItemDescription::bInit(const wchar_t* pszName, const wchar_t* pszSourceName, const wchar_t* pszNameInSource,
                              unsigned int nDimension, unsigned int nItemSize, eNA_ITEMTYPE eType, int nPhysicalIndice,
                              int nKeyIndice, unsigned short nKeyFlags, int nIntegerPart, int nDecimalPart)
{
    if (eType == NA_IT_EMPTY) {
        eType = NA_IT_TEXTE;
        nItemSize = 1;
    }
    m_csName = pszName;
    m_csSourceName = pszSourceName;
    m_csNameInSource = pszNameInSource;
    m_nDimension = nDimension;
    m_nItemSize = nItemSize;
    m_eItemType = eType;
    m_nPhysicalIndice = nPhysicalIndice;
    m_nKeyIndice = nKeyIndice;
    m_nKeyFlags = nKeyFlags;
    if (eType == NA_IT_DECIMAL) {
        eNA_ITEMTYPE eFormat = NA_IT_DECIMAL;
        unsigned int nSize = 0;
        s_GetTypeFromFormat(nIntegerPart, nDecimalPart, &eFormat, &nSize);
        if (eFormat == NA_IT_R8) {
            m_eItemType = NA_IT_R8;
            m_nItemSize = nSize;
        } else {
            // Whatever smaller type would do, the item stays a decimal and
            // keeps its digits.
            m_nIntegerPart = nIntegerPart;
            m_nDecimalPart = nDecimalPart;
        }
    }
    if (eType == NA_IT_DATETIME || eType == NA_IT_HEURE)
        m_nDecimalPart = nDecimalPart;
    if (g_bIsMemo(m_eItemType))
        m_nItemSize = 8;
    if (m_eItemType == NA_IT_IDAUTO || m_eItemType == NA_IT_IDAUTO4)
        m_nOptions |= OPT_AUTOINCREMENT | OPT_NULLREFUSED;
    m_clDefaultValue.__SetType(static_cast<unsigned short>(eGetItemTQType()), 0);
    m_clDefaultValue.SetNullFlag(true);
    return 1;
}

int CNAItemDescription::bSetName(const wchar_t* pszName)
{
    m_csName = pszName;
    return 1;
}

int CNAItemDescription::bSetKey(int nKeyIndice, unsigned short nKeyFlags)
{
    m_nKeyIndice = nKeyIndice;
    m_nKeyFlags = nKeyFlags;
    return 1;
}

int CNAItemDescription::bSetKeyIndice(int nKeyIndice)
{
    m_nKeyIndice = nKeyIndice;
    return 1;
}

void CNAItemDescription::SetSensTri(eSENSTRI eDirection)
{
    if (eDirection != 0)
        m_nKeyFlags = static_cast<unsigned short>((m_nKeyFlags | KF_DESCENDING) & ~KF_ASCENDING);
    else
        m_nKeyFlags = static_cast<unsigned short>((m_nKeyFlags | KF_ASCENDING) & ~KF_DESCENDING);
}

void CNAItemDescription::SetIgnoreCase(int bIgnore)
{
    if (bIgnore)
        m_nKeyFlags |= KF_IGNORECASE;
    else
        m_nKeyFlags = static_cast<unsigned short>(m_nKeyFlags & ~KF_IGNORECASE);
}

void CNAItemDescription::SetNullable(int bNullable)
{
    if (bNullable)
        m_nOptions &= ~static_cast<unsigned int>(OPT_NULLREFUSED);
    else
        m_nOptions |= OPT_NULLREFUSED;
}

void CNAItemDescription::SetAutoIncrement()
{
    m_nOptions |= OPT_AUTOINCREMENT;
    if (m_eItemType == NA_IT_I8 || m_eItemType == NA_IT_UI8)
        m_eItemType = NA_IT_IDAUTO;
    else if (m_eItemType == NA_IT_I4 || m_eItemType == NA_IT_UI4)
        m_eItemType = NA_IT_IDAUTO4;
}

int CNAItemDescription::SetDefaultValue(const CAny* pclValue, int)
{
    if (pclValue != nullptr && pclValue != &m_clDefaultValue)
        pclValue->pclGetTraitement()->Duplique(&m_clDefaultValue);
    const unsigned short nType = static_cast<unsigned short>(eGetItemTQType());
    if (m_clDefaultValue.nGetTypeCode() == nType)
        return TQSTATUS_OK;
    if (m_clDefaultValue.bIsNull()) {
        m_clDefaultValue.__SetType(nType, 0);
        m_clDefaultValue.SetNullFlag(true);
        return TQSTATUS_OK;
    }
    return m_clDefaultValue.__nCastTo(nType, nullptr, 1);
}

void CNAItemDescription::_RetypeDefaultValue()
{
    _RetypeDefaultValue(static_cast<unsigned short>(eGetItemTQType()));
}

void CNAItemDescription::_RetypeDefaultValue(unsigned short nType)
{
    if (m_clDefaultValue.nGetTypeCode() == nType)
        return;
    if (m_clDefaultValue.bIsNull()) {
        m_clDefaultValue.__SetType(nType, 0);
        m_clDefaultValue.SetNullFlag(true);
        return;
    }
    CAny cl;
    m_clDefaultValue.pclGetTraitement()->Duplique(&cl);
    if (cl.__nCastTo(nType, nullptr, 1) <= 99 && cl.nGetTypeCode() == nType)
        cl.pclGetTraitement()->Duplique(&m_clDefaultValue);
    else
        m_clDefaultValue.__SetType(nType, 0);
}

int CNAItemDescription::bAddComponent(CNAItemDescription* pclItem, int bDescending)
{
    if (pclItem == nullptr)
        return 0;
    const int nIndex = m_tabComponents.nGetNbElement();
    if (m_tabComponents.Ajoute(&pclItem) == nullptr)
        return 0;
    pclItem->AddRef();
    if (bDescending && nIndex < 32)
        m_nDescendingComponents |= 1u << nIndex;
    if (bIsComposedKey()) {
        int n = pclItem->nGetLogicalSize(-1);
        if (pclItem->eNAGetItemType() == NA_IT_UNICODE)
            n *= 2;
        m_nItemSize += static_cast<unsigned int>(n);
    }
    return 1;
}

int CNAItemDescription::bChangeType(INAItemDescription* piOther, int bKeepAutoId)
{
    if (piOther == nullptr)
        return 0;
    m_nDimension = piOther->nGetDimension();
    m_nItemSize = piOther->nGetItemSize();
    m_eItemType = piOther->eNAGetItemType();
    m_csDBType = piOther->pszGetDBType();
    m_nDBType = 0;
    if (!bKeepAutoId) {
        if (m_eItemType == NA_IT_IDAUTO)
            m_eItemType = NA_IT_I8;
        else if (m_eItemType == NA_IT_IDAUTO4)
            m_eItemType = NA_IT_I4;
    }
    if (m_eItemType == NA_IT_DECIMAL) {
        m_nIntegerPart = piOther->nGetIntegerPart();
        m_nDecimalPart = piOther->nGetDecimalPart();
    } else if (m_eItemType == NA_IT_HEURE || m_eItemType == NA_IT_DATETIME) {
        m_nIntegerPart = 0;
        m_nDecimalPart = piOther->nGetDecimalPart();
    } else {
        m_nIntegerPart = 0;
        m_nDecimalPart = 0;
    }
    _RetypeDefaultValue();
    return 1;
}

int CNAItemDescription::bChangeType(CNAItemDescription* pclOther, int bKeepAutoId)
{
    if (!bChangeType(static_cast<INAItemDescription*>(pclOther), bKeepAutoId))
        return 0;
    m_nDBType = pclOther->m_nDBType;
    return 1;
}

int CNAItemDescription::bChangeTypeMemo(eNA_ITEMTYPE eType)
{
    m_eItemType = eType;
    _RetypeDefaultValue();
    return 1;
}

void CNAItemDescription::ChangeTextToBytes()
{
    if (bMemo()) {
        m_eItemType = NA_IT_MEMOBINAIRE;
    } else {
        // A text's size counts its end, a binary's two bytes of length.
        m_eItemType = NA_IT_BINAIRE;
        m_nItemSize++;
    }
    _RetypeDefaultValue();
}

int CNAItemDescription::bCompleteDescription(INAItemDescription* piOther, int bUnique, unsigned int nKeyIndice)
{
    if (!bChangeType(piOther, bUnique))
        return 0;
    m_csExtendedInfo = piOther->pszGetExtendedInfo();
    m_csCaption = piOther->pszGetCaption();
    if (piOther->bIsKey()) {
        unsigned short n = 0;
        if (piOther->bGetAscendant(0))
            n |= KF_ASCENDING;
        if (piOther->bGetDescendant(0))
            n |= KF_DESCENDING;
        if (piOther->bGetIgnoreCase(0))
            n |= KF_IGNORECASE;
        if (piOther->bGetIgnorePunctuation(0))
            n |= KF_IGNOREPUNCTUATION;
        if (piOther->bGetIgnoreAccent(0))
            n |= KF_IGNOREACCENT;
        n |= (bUnique && piOther->bUnique()) ? KF_UNIQUE : KF_DUPLICATES;
        if (piOther->bPrimary())
            n |= KF_PRIMARY;
        m_nKeyFlags = n;
        m_nKeyIndice = static_cast<int>(nKeyIndice);
    }
    m_csSourceName = piOther->pszGetSourceName();
    m_csNameInSource = piOther->pszGetNameInSource();
    return 1;
}

int CNAItemDescription::bCompleteDescriptionCalcul(IInfoRubrique* piHostItem)
{
    if (piHostItem == nullptr)
        return 0;
    m_csNameInSource = m_csName;
    m_csSourceName.Vide();
    // The host's alias text is kept as the caption.
    const wchar_t* pszAlias = piHostItem->pszGetAlias();
    if (pszAlias != nullptr && pszAlias[0] != 0)
        m_csCaption = pszAlias;
    const int nEngine = piHostItem->nGetType();
    if (nEngine == 0 || nEngine == 41)
        return 1;
    IExpOpExpression* piExpression = piHostItem->piGetExpression();
    const int eKind = piExpression != nullptr ? piExpression->eGetOperateur() : -1;
    if (piExpression != nullptr)
        piExpression->nRelease();
    if (eKind == 95 || eKind == 96) {
        if (m_eItemType == NA_IT_UNICODE || m_eItemType == NA_IT_MEMOUNICODE) {
            if (m_eItemType == NA_IT_UNICODE)
                m_nItemSize /= 2;
            m_eItemType = m_eItemType == NA_IT_UNICODE ? NA_IT_TEXTE : NA_IT_MEMOTEXTE;
            _RetypeDefaultValue(TQTYPE_PSTRW);
        }
        return 1;
    }
    if ((m_eItemType == NA_IT_TEXTE && nEngine == 29) || (m_eItemType == NA_IT_UNICODE && nEngine == 40) ||
        (m_eItemType == NA_IT_BINAIRE && nEngine == 30))
        return 1;
    if (nEngine == 29 || nEngine == 30 || nEngine == 40)
        m_nItemSize = 8;
    const eNA_ITEMTYPE eNew = CNADataSourceDescription::g_eGetNAItemType(nEngine);
    if (m_eItemType == NA_IT_DECIMAL && eNew != NA_IT_DECIMAL) {
        m_nIntegerPart = 0;
        m_nDecimalPart = 0;
    }
    m_eItemType = eNew;
    _RetypeDefaultValue();
    return 1;
}

// ---- Reading ----------------------------------------------------------------------------------------

void CNAItemDescription::SetColumnCharset(const wchar_t* pszCollation)
{
    // A collation's name starts with its set's: "greek_general_ci"; the
    // binary one is its own.
    const std::wstring strCollation = pszCollation != nullptr ? pszCollation : L"";
    m_csColumnCharset.Set(strCollation.substr(0, strCollation.find(L'_')).c_str());
    m_pszTwinCharacters = s_pszTwinCharacters(m_csColumnCharset.pszGet());
    // Asked of every text of every row read: known once here.
    const wchar_t* psz = m_csColumnCharset.pszGet();
    static const wchar_t* const apszWhole[] = {L"latin1", L"binary", L"utf8", L"utf8mb3", L"utf8mb4",
                                               L"ucs2",   L"utf16",  L"utf16le", L"utf32"};
    m_bBytesBeyondCharacters = psz != nullptr && psz[0] != 0 &&
                               std::none_of(std::begin(apszWhole), std::end(apszWhole),
                                            [psz](const wchar_t* pszWhole) { return std::wcscmp(psz, pszWhole) == 0; });
}

namespace {

// As the server converts each set's characters to Unicode, in order, all
// below U+10000. Bytes that stand for no character read as "?", which is
// not listed.
const char16_t g_szCp932Twins[] =
    u"\u2116\u2121\u2160\u2161\u2162\u2163\u2164\u2165\u2166\u2167\u2168\u2169\u2170\u2171\u2172\u2173\u2174"
    u"\u2175\u2176\u2177\u2178\u2179\u221A\u2220\u2229\u222A\u222B\u2235\u2252\u2261\u22A5\u3231\u4E28\u4EE1"
    u"\u4EFC\u4F00\u4F03\u4F39\u4F56\u4F8A\u4F92\u4F94\u4F9A\u4FC9\u4FCD\u4FFF\u501E\u5022\u5040\u5042\u5046"
    u"\u5070\u5094\u50D8\u50F4\u514A\u5164\u519D\u51BE\u51EC\u5215\u529C\u52A6\u52AF\u52C0\u52DB\u5300\u5307"
    u"\u5324\u5372\u5393\u53B2\u53DD\u548A\u549C\u54A9\u54FF\u5586\u5759\u5765\u57AC\u57C7\u57C8\u589E\u58B2"
    u"\u590B\u5953\u595B\u595D\u5963\u59A4\u59BA\u5B56\u5BC0\u5BD8\u5BEC\u5C1E\u5CA6\u5CBA\u5CF5\u5D27\u5D42"
    u"\u5D53\u5D6D\u5DB8\u5DB9\u5DD0\u5F21\u5F34\u5F45\u5F67\u5FB7\u5FDE\u605D\u6085\u608A\u60D5\u60DE\u60F2"
    u"\u6111\u6120\u6130\u6137\u6198\u6213\u62A6\u63F5\u6460\u649D\u64CE\u654E\u6600\u6609\u6615\u661E\u6624"
    u"\u662E\u6631\u663B\u6657\u6659\u6665\u6673\u6699\u66A0\u66B2\u66BF\u66FA\u66FB\u670E\u6766\u67BB\u67C0"
    u"\u6801\u6844\u6852\u68C8\u68CF\u6968\u6998\u69E2\u6A30\u6A46\u6A6B\u6A73\u6A7E\u6AE2\u6AE4\u6BD6\u6C3F"
    u"\u6C5C\u6C6F\u6C86\u6CDA\u6D04\u6D6F\u6D87\u6D96\u6DAC\u6DCF\u6DF2\u6DF8\u6DFC\u6E27\u6E39\u6E3C\u6E5C"
    u"\u6EBF\u6F88\u6FB5\u6FF5\u7005\u7007\u7028\u7085\u70AB\u70BB\u7104\u710F\u7146\u7147\u715C\u71C1\u71FE"
    u"\u72B1\u72BE\u7324\u7377\u73BD\u73C9\u73D2\u73D6\u73E3\u73F5\u7407\u7426\u7429\u742A\u742E\u7462\u7489"
    u"\u749F\u7501\u752F\u756F\u7682\u769B\u769C\u769E\u76A6\u7746\u7821\u784E\u7864\u787A\u7930\u7994\u799B"
    u"\u7AD1\u7AE7\u7AEB\u7B9E\u7D48\u7D5C\u7DA0\u7DB7\u7DD6\u7E52\u7E8A\u7F47\u7FA1\u8301\u8362\u837F\u83C7"
    u"\u83F6\u8448\u84B4\u84DC\u8553\u8559\u856B\u85B0\u8807\u88F5\u891C\u8A12\u8A37\u8A79\u8AA7\u8ABE\u8ADF"
    u"\u8AF6\u8B53\u8B7F\u8CF0\u8CF4\u8D12\u8D76\u8ECF\u9067\u90DE\u9115\u9127\u91D7\u91DA\u91DE\u91E4\u91E5"
    u"\u91ED\u91EE\u9206\u920A\u9210\u9239\u923A\u923C\u9240\u924E\u9251\u9259\u9267\u9277\u9278\u9288\u92A7"
    u"\u92D0\u92D3\u92D5\u92D7\u92D9\u92E0\u92E7\u92F9\u92FB\u92FF\u9302\u931D\u931E\u9321\u9325\u9348\u9357"
    u"\u9370\u93A4\u93C6\u93DE\u93F8\u9431\u9445\u9448\u9592\u969D\u96AF\u9733\u973B\u9743\u974D\u974F\u9751"
    u"\u9755\u9857\u9865\u9927\u999E\u9A4E\u9AD9\u9ADC\u9B72\u9B75\u9B8F\u9BB1\u9BBB\u9C00\u9D6B\u9D70\u9E19"
    u"\u9ED1\uF929\uF9DC\uFA0E\uFA0F\uFA10\uFA11\uFA12\uFA13\uFA14\uFA15\uFA16\uFA17\uFA18\uFA19\uFA1A\uFA1B"
    u"\uFA1C\uFA1D\uFA1E\uFA1F\uFA20\uFA21\uFA22\uFA23\uFA24\uFA25\uFA26\uFA27\uFA28\uFA29\uFA2A\uFA2B\uFA2C"
    u"\uFA2D\uFF02\uFF07\uFFE2\uFFE4";
const char16_t g_szEucjpmsTwins[] =
    u"\u2116\u2121\u2160\u2161\u2162\u2163\u2164\u2165\u2166\u2167\u2168\u2169\u221A\u2220\u2229\u222A\u222B"
    u"\u2235\u2252\u2261\u22A5\u3231\uFF5E";

const struct {
    const wchar_t* pszCharset;
    const char16_t* pszTwins;
} g_aTwinCharacters[] = {
    {L"armscii8", u"'(),-."},       {L"big5", u"\uFFFD"},   {L"cp932", g_szCp932Twins},
    {L"eucjpms", g_szEucjpmsTwins}, {L"sjis", u"\\"},      {L"tis620", u"\uFFFD"},
    {L"ujis", u"\\~"},
};

} // namespace

const char16_t* CNAItemDescription::s_pszTwinCharacters(const wchar_t* pszCharset)
{
    for (const auto& st : g_aTwinCharacters)
        if (pszCharset != nullptr && std::wcscmp(pszCharset, st.pszCharset) == 0)
            return st.pszTwins;
    return nullptr;
}

bool CNAItemDescription::bTwinForms(wchar_t c) const
{
    if (m_pszTwinCharacters == nullptr || c > 0xFFFF)
        return false;
    const char16_t* pEnd = m_pszTwinCharacters + std::char_traits<char16_t>::length(m_pszTwinCharacters);
    return std::binary_search(m_pszTwinCharacters, pEnd, static_cast<char16_t>(c));
}


unsigned int CNAItemDescription::eGetItemTQType() const
{
    return ConverteItemToTQType(this);
}

int CNAItemDescription::bIsComponentOf(INAItemDescription* piKey, INAItemDescription* piItem)
{
    if (piKey == nullptr || piItem == nullptr)
        return 0;
    const int n = piKey->nGetNumComponents();
    for (int i = 1; i <= n; ++i) {
        INAItemDescription* pi = piKey->piGetItemComponent(i);
        const bool bSame = pi == piItem;
        if (pi != nullptr)
            pi->nExternalRelease();
        if (bSame)
            return 1;
    }
    return 0;
}

namespace {

bool bOneOf(int n, std::initializer_list<int> l)
{
    for (int x : l)
        if (x == n)
            return true;
    return false;
}

} // namespace

int CNAItemDescription::bTypeMatch(const INAItemDescription* piOther, int bAnsi, int bLoose) const
{
    if (piOther == nullptr)
        return 0;
    eNA_ITEMTYPE eThis = m_eItemType;
    unsigned int nThisSize = m_nItemSize;
    eNA_ITEMTYPE eOther = piOther->eNAGetItemType();
    unsigned int nOtherSize = piOther->nGetItemSize();
    if (bAnsi) {
        s_Type2Ansi(&eThis, &nThisSize);
        s_Type2Ansi(&eOther, &nOtherSize);
    }
    if (eThis == eOther) {
        switch (eThis) {
        case NA_IT_TEXTE:
        case NA_IT_HEURE:
        case NA_IT_BINAIRE:
        case NA_IT_UNICODE:
            return nOtherSize <= nThisSize;
        case NA_IT_DECIMAL:
            return piOther->nGetDecimalPart() <= m_nDecimalPart && piOther->nGetIntegerPart() <= m_nIntegerPart;
        case NA_IT_DATETIME:
            return bLoose || piOther->nGetDecimalPart() <= m_nDecimalPart;
        default:
            return 1;
        }
    }
    const int o = static_cast<int>(eOther);
    int nThisDigits = 0, nThisScale = 0, nOtherDigits = 0, nOtherScale = 0;
    const bool bOtherPrecision = s_bGetDecimalInfo(static_cast<unsigned short>(ConverteItemToTQType(eOther, -1)),
                                                   &nOtherDigits, &nOtherScale) != 0;
    switch (eThis) {
    case NA_IT_IDAUTO: case NA_IT_I2: case NA_IT_I1: case NA_IT_I4: case NA_IT_UI2: case NA_IT_UI1:
    case NA_IT_MONETAIRE: case NA_IT_I8: case NA_IT_UI8: case NA_IT_UI4: case NA_IT_TIMELENGHT:
    case NA_IT_IDAUTO4:
        return bOtherPrecision &&
               s_bGetDecimalInfo(static_cast<unsigned short>(ConverteItemToTQType(eThis, -1)), &nThisDigits,
                                 &nThisScale) &&
               nOtherDigits <= nThisDigits && nOtherScale <= nThisScale;
    case NA_IT_R8:
        return o == NA_IT_R4;
    case NA_IT_DATE6:
    case NA_IT_HEURE:
        return bLoose && o == NA_IT_DATETIME;
    case NA_IT_DATE8:
        return o == NA_IT_DATE6 || (bLoose && o == NA_IT_DATETIME);
    case NA_IT_MEMOTEXTE:
        return bOneOf(o, {NA_IT_TEXTE, NA_IT_IMAGE});
    case NA_IT_MEMOBINAIRE4:
    case NA_IT_MEMOBINAIRE:
        return o == NA_IT_BINAIRE;
    case NA_IT_DATETIME:
        return bOneOf(o, {NA_IT_DATE6, NA_IT_HEURE, NA_IT_DATE8});
    case NA_IT_UNICODE:
        return o == NA_IT_TEXTE && nOtherSize <= 2 * nThisSize;
    case NA_IT_MEMOUNICODE:
        return bOneOf(o, {NA_IT_TEXTE, NA_IT_MEMOTEXTE, NA_IT_IMAGE, NA_IT_UNICODE});
    case NA_IT_DECIMAL:
        return bOtherPrecision && m_nIntegerPart + m_nDecimalPart >= nOtherDigits && m_nDecimalPart >= nOtherScale;
    default:
        return 0;
    }
}

// ---- Type rules ---------------------------------------------------------------------------------------

void CNAItemDescription::s_GetTypeFromFormat(int nIntegerPart, int nDecimalPart, eNA_ITEMTYPE* peType,
                                             unsigned int* pnSize)
{
    eNA_ITEMTYPE eType;
    unsigned int nSize;
    if (nIntegerPart < 0 || nDecimalPart < 0 || (nIntegerPart == 0 && nDecimalPart == 0)) {
        eType = NA_IT_R8;
        nSize = 8;
    } else if (nDecimalPart == 0 && nIntegerPart < 20) {
        if (nIntegerPart < 3) {
            eType = NA_IT_I1;
            nSize = 1;
        } else if (nIntegerPart < 5) {
            eType = NA_IT_I2;
            nSize = 2;
        } else if (nIntegerPart <= 9) {
            eType = NA_IT_I4;
            nSize = 4;
        } else {
            eType = NA_IT_I8;
            nSize = 8;
        }
    } else if (nDecimalPart < 7 && nIntegerPart < 11) {
        eType = NA_IT_MONETAIRE;
        nSize = 10;
    } else if (nDecimalPart > IDecimal::MAX_DIGITS || nIntegerPart > IDecimal::MAX_DIGITS ||
               nIntegerPart + nDecimalPart > IDecimal::MAX_DIGITS) {
        eType = NA_IT_R8;
        nSize = 8;
    } else {
        eType = NA_IT_DECIMAL;
        nSize = IDecimal::mg_PToN[nIntegerPart + nDecimalPart];
    }
    if (peType != nullptr)
        *peType = eType;
    if (pnSize != nullptr)
        *pnSize = nSize;
}

void CNAItemDescription::s_GetTypeFromBits(int nBits, eNA_ITEMTYPE* peType, unsigned int* pnSize)
{
    // Signed integers, whose keys put NULL before 0; 64 bits need the
    // unsigned one.
    struct STWidth {
        int nBits;
        eNA_ITEMTYPE eType;
    };
    static const STWidth s_tab[] = {{7, NA_IT_I1}, {15, NA_IT_I2}, {31, NA_IT_I4}, {63, NA_IT_I8}, {64, NA_IT_UI8}};
    if (nBits < 1 || nBits > 64)
        nBits = 64;
    for (const STWidth& st : s_tab) {
        if (nBits > st.nBits)
            continue;
        if (peType != nullptr)
            *peType = st.eType;
        if (pnSize != nullptr)
            *pnSize = static_cast<unsigned int>((st.nBits + 1) / 8);
        return;
    }
}

unsigned int CNAItemDescription::s_nGetKXSize(eNA_ITEMTYPE eType, unsigned int nSize, int nDigits)
{
    switch (eType) {
    case NA_IT_IDAUTO: case NA_IT_R8: case NA_IT_MEMOTEXTE: case NA_IT_MEMOBINAIRE: case NA_IT_I8:
    case NA_IT_UI8: case NA_IT_DATETIME: case NA_IT_TIMELENGHT: case NA_IT_MEMOUNICODE:
        return 8;
    case NA_IT_TEXTE:
        return nSize + 1;
    case NA_IT_I2:
    case NA_IT_UI2:
        return 2;
    case NA_IT_I1: case NA_IT_UI1: case NA_IT_CHAR: case NA_IT_BOOLEEN:
        return 1;
    case NA_IT_I4: case NA_IT_R4: case NA_IT_UI4: case NA_IT_IDAUTO4:
        return 4;
    case NA_IT_HEURE:
        return nDigits < 1 ? 5 : 5 + static_cast<unsigned int>(nDigits > 5 ? 5 : nDigits);
    case NA_IT_DATE8:
        return 9;
    case NA_IT_MONETAIRE:
        return 10;
    case NA_IT_IMAGE:
    case NA_IT_UNICODE:
        return 4 * nSize + 4;
    case NA_IT_BINAIRE:
        return nSize + 2;
    case NA_IT_DECIMAL:
        return nDigits >= 0 && nDigits <= IDecimal::MAX_DIGITS ? IDecimal::mg_PToN[nDigits] : IDecimal::mg_PToN[0];
    default:
        return 0;
    }
}

void CNAItemDescription::s_Type2Ansi(eNA_ITEMTYPE* peType, unsigned int* pnSize)
{
    if (*peType == NA_IT_UNICODE) {
        *peType = NA_IT_TEXTE;
        if (pnSize != nullptr)
            *pnSize /= 2;
    } else if (*peType == NA_IT_MEMOUNICODE) {
        *peType = NA_IT_MEMOTEXTE;
    }
}
