#include "access/driver/NAItemDescription.h"

#include "access/driver/NAConnectionDescription.h"

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
      m_nDecimalPart(0)
{
}

CNAItemDescription::~CNAItemDescription() {}

// ---- References ------------------------------------------------------------------------
// A release at 0 is ignored: a count never wraps round.

void CNAItemDescription::ExternalAddRef()
{
    m_nExternalRef++;
}

unsigned int CNAItemDescription::nExternalRelease()
{
    if (m_nExternalRef == 0)
        return 0;
    if (--m_nExternalRef == 0 && m_nRef == 0) {
        delete this;
        return 0;
    }
    return m_nExternalRef;
}

unsigned int CNAItemDescription::nRelease()
{
    if (m_nRef == 0)
        return 0;
    if (--m_nRef == 0 && m_nExternalRef == 0) {
        delete this;
        return 0;
    }
    return m_nRef;
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
    return m_eItemType == NA_IT_MEMOTEXTE || m_eItemType == NA_IT_MEMOBINAIRE || m_eItemType == NA_IT_MEMOUNICODE;
}

int CNAItemDescription::bMemoText() const
{
    return m_eItemType == NA_IT_MEMOTEXTE || m_eItemType == NA_IT_MEMOUNICODE;
}

int CNAItemDescription::bMemoBinary() const
{
    return m_eItemType == NA_IT_MEMOBINAIRE;
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
    return 0;
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

int CNAItemDescription::bGetAscendant(int) const
{
    return bIsKey() && (m_nKeyFlags & KF_DESCENDING) == 0;
}

int CNAItemDescription::bGetDescendant(int) const
{
    return (m_nKeyFlags & KF_DESCENDING) != 0;
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

INAItemDescription* CNAItemDescription::piGetItemComponent(int)
{
    return nullptr;
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
    return nullptr;
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
