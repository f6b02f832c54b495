#include "common/values/NACnvVariant.h"

// A cell works for the driver: its connection's code pages, its error
// object, its item, the driver's cell factory and the host record buffer.
#include "access/driver/NAConnectionDescription.h" // conversions follow the connection's code pages and data source
#include "access/driver/NAError.h" // failures are reported on the driver's error object
#include "access/driver/NAItemDescription.h" // the item description gives the target type and size
#include "access/driver/NaDriver.h" // clones come from the driver's cell factory
#include "access/statement/NAKXRecord.h" // values are written into key records
#include "common/values/AnyConvert.h"
#include "common/values/Decimal.h"
#include "common/values/datetime.h"
#include "common/text/UnicodeCodec.h"
#include "common/text/SysUtils.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

int Signe(int n)
{
    return n < 0 ? -1 : (n > 0 ? 1 : 0);
}

eNA_ITEMTYPE TypeOf(const INAItemDescription* pi)
{
    return pi != nullptr ? pi->eNAGetItemType() : NA_IT_EMPTY;
}

std::uint16_t LitU16(const unsigned char* p)
{
    std::uint16_t n;
    std::memcpy(&n, p, sizeof(n));
    return n;
}

void EcritU16(unsigned char* p, std::uint16_t n)
{
    std::memcpy(p, &n, sizeof(n));
}

wchar_t LitW(const unsigned char* p)
{
    wchar_t c;
    std::memcpy(&c, p, sizeof(c));
    return c;
}

void EcritW(unsigned char* p, wchar_t c)
{
    std::memcpy(p, &c, sizeof(c));
}

// Bytes before the first 0 within n.
unsigned int NLen8(const unsigned char* p, unsigned int n)
{
    if (p == nullptr)
        return 0;
    const void* pZero = std::memchr(p, 0, n);
    return pZero != nullptr ? static_cast<unsigned int>(static_cast<const unsigned char*>(pZero) - p) : n;
}

// Characters of 32 bits before the first 0 within n characters.
unsigned int NLenW(const unsigned char* p, unsigned int n)
{
    if (p == nullptr)
        return 0;
    unsigned int i = 0;
    while (i < n && LitW(p + i * sizeof(wchar_t)) != 0)
        i++;
    return i;
}

// A text of at most nMax bytes of the buffer, stopping at its terminator,
// copied terminated into psz (nMax + 1 bytes).
void CopieTexte(char* psz, const unsigned char* p, unsigned int nSize, unsigned int nMax)
{
    const unsigned int n = NLen8(p, nSize < nMax ? nSize : nMax);
    if (n > 0)
        std::memcpy(psz, p, n);
    psz[n] = 0;
}

} // namespace

CNAConvertVariant::CNAConvertVariant(CNAError* pclError, CNAConnectionDescription* pclConnection)
    : m_pclConnection(pclConnection),
      m_piItemDB(nullptr),
      m_piItem(nullptr),
      m_eVarType(NA_VAR_RESET),
      m_pbyBuffer(nullptr),
      m_nLength(0),
      m_nSize(0),
      m_pbyBufferDB(nullptr),
      m_nSizeBufferDB(0),
      m_bChanged(0),
      m_nLengthDB(0),
      m_nTypeBind(0),
      m_nStateBufferDB(DBBUFFER_NONE),
      m_pszDateFormat(nullptr),
      m_pclError(pclError)
{
    if (m_pclError != nullptr)
        m_pclError->AddRef();
}

CNAConvertVariant::~CNAConvertVariant()
{
    _SetVarType(NA_VAR_RESET);
    if (m_pclError != nullptr) {
        m_pclError->nRelease();
        m_pclError = nullptr;
    }
}

// ---- Virtual operations -------------------------------------------------------------------

int CNAConvertVariant::vbGetValue(CAny* pclDest) const
{
    return bGetValue(pclDest);
}

int CNAConvertVariant::vbIsEmpty() const
{
    return m_eVarType == NA_VAR_RESET;
}

void* CNAConvertVariant::vpGetData() const
{
    return pGetData();
}

unsigned int CNAConvertVariant::vnGetSize() const
{
    return nGetSize();
}

CNAConnectionDescription* CNAConvertVariant::pclGetCnx()
{
    return m_pclConnection;
}

int CNAConvertVariant::_bConvertDataToKX()
{
    return 1;
}

int CNAConvertVariant::_bConvertDataToDB()
{
    return 1;
}

int CNAConvertVariant::_bInitBufferDB_Ptr()
{
    m_nStateBufferDB = DBBUFFER_INPLACE;
    return 1;
}

int CNAConvertVariant::_bInitBufferDB_Any()
{
    const unsigned char nType = m_clValue.nGetTypeCode();
    if (nType == TQTYPE_VIDE) {
        SetNull();
    } else if ((nType >= TQTYPE_BOOL && nType <= TQTYPE_UIX) || nType == TQTYPE_CARA ||
               (nType >= TQTYPE_DATEW && nType <= TQTYPE_DUREE) || nType == TQTYPE_CARW ||
               nType == TQTYPE_DATEA || nType == TQTYPE_TIMEA) {
        // Fixed-size values: the server works on the value's own bytes.
        void* p = nullptr;
        m_clValue.pclGetTraitement()->nGetDataAdr(&p);
        unsigned int n = 0;
        m_clValue.pclGetTraitement()->nGetDataSize(&n);
        m_pbyBuffer = static_cast<unsigned char*>(p);
        m_nSize = p != nullptr ? n : 0;
    }
    m_nStateBufferDB = DBBUFFER_INPLACE;
    return 1;
}

int CNAConvertVariant::_bInitTypeBind()
{
    return 1;
}

// ---- Set-up -------------------------------------------------------------------------------

void CNAConvertVariant::_SetErrorNoMemory()
{
    if (m_pclError != nullptr)
        m_pclError->pclGetXError()->SetErrorNoMemory();
}

int CNAConvertVariant::_bAllocBuffer(unsigned int nSize)
{
    // One byte at least, so that a buffer of size 0 is still a buffer.
    unsigned char* p = static_cast<unsigned char*>(XMALLOC_pNewZero_(nSize > 0 ? nSize : 1, 1));
    if (p == nullptr) {
        _SetErrorNoMemory();
        return 0;
    }
    m_pbyBuffer = p;
    m_nLength = nSize;
    m_nSize = nSize;
    return 1;
}

void CNAConvertVariant::_SetVarType(eNAVARTYPE eType)
{
    if (m_eVarType == NA_VAR_OWNBUFFER)
        XMALLOC_Del_(m_pbyBuffer);
    m_pbyBuffer = nullptr;
    m_nLength = 0;
    m_nSize = 0;
    _ReleaseValDB();
    if (m_piItem != nullptr) {
        m_piItem->nExternalRelease();
        m_piItem = nullptr;
    }
    if (m_piItemDB != nullptr) {
        m_piItemDB->nExternalRelease();
        m_piItemDB = nullptr;
    }
    m_clValue.__SetType(TQTYPE_VIDE, 0);
    m_eVarType = eType;
    m_nStateBufferDB = (eType == NA_VAR_POINTER || eType == NA_VAR_OWNBUFFER) ? DBBUFFER_INPLACE : DBBUFFER_NONE;
}

int CNAConvertVariant::bInitTypeVariant(eNAVARTYPE eType, unsigned char* pBuffer, unsigned int nSize,
                                        unsigned short nType)
{
    _SetVarType(eType);
    m_clValue.__SetType(nType, 0);
    switch (eType) {
    case NA_VAR_BUFFER:
    case NA_VAR_POINTER:
        m_pbyBuffer = pBuffer;
        // No bytes without a buffer.
        m_nLength = pBuffer != nullptr ? nSize : 0;
        m_nSize = m_nLength;
        return 1;
    case NA_VAR_OWNBUFFER:
        return _bAllocBuffer(nSize);
    default:
        return 1;
    }
}

int CNAConvertVariant::bInitTypeVariantBuffer(unsigned short nType, unsigned int nSize)
{
    _SetVarType(NA_VAR_OWNBUFFER);
    const int bResult = _bAllocBuffer(nSize);
    m_clValue.__SetType(nType, 0);
    _bInitTypeBind();
    return bResult;
}

bool CNAConvertVariant::_bIsBareText(unsigned short nType) const
{
    if (nType != TQTYPE_DSTRW || m_clValue.nGetType() != TQTYPE_DSTRW || m_eVarType != NA_VAR_ANY ||
        m_pbyBuffer != nullptr || m_pbyBufferDB != nullptr || m_piItem != nullptr || m_piItemDB != nullptr)
        return false;
    static const unsigned char abyZero[CAny::VALEUR_SIZE] = {};
    return std::memcmp(m_clValue.pbyGetValeur(), abyZero, sizeof(abyZero)) == 0;
}

void CNAConvertVariant::InitTypeVariantAny(unsigned short nType, unsigned int nSize)
{
    // Cells read text after text: an empty text that nothing else holds is
    // what the set-up would make, without its host string made again.
    if (!_bIsBareText(nType))
        _SetVarType(NA_VAR_ANY);
    m_nLength = nSize;
    m_nSize = nSize;
    m_clValue.__SetType(nType, 0);
    m_nTypeBind = 0;
    m_nStateBufferDB = DBBUFFER_NONE;
}

void CNAConvertVariant::ResetVariant()
{
    _SetVarType(NA_VAR_RESET);
}

void CNAConvertVariant::SetItemDesc(INAItemDescription* piHost, INAItemDescription* piDatabase)
{
    if (piHost != m_piItem) {
        if (piHost != nullptr)
            piHost->ExternalAddRef();
        if (m_piItem != nullptr)
            m_piItem->nExternalRelease();
        m_piItem = piHost;
        // A value already of the item's host type keeps its content.
        const unsigned int nType = ConverteItemToTQType(piHost);
        if (piHost != nullptr && nType != m_clValue.nGetTypeCode())
            m_clValue.__SetType(static_cast<unsigned short>(nType), 0);
    }
    if (piDatabase != m_piItemDB) {
        if (piDatabase != nullptr)
            piDatabase->ExternalAddRef();
        if (m_piItemDB != nullptr)
            m_piItemDB->nExternalRelease();
        m_piItemDB = piDatabase;
    }
}

void CNAConvertVariant::SetNull()
{
    if (m_eVarType == NA_VAR_UNREADYET)
        m_eVarType = NA_VAR_ANY;
    m_bChanged = 0;
    const unsigned char nType = m_clValue.nGetTypeCode();
    m_clValue.__SetType(TQTYPE_VIDE, 0);
    m_clValue.__SetType(nType, 0);
    m_clValue.SetNullFlag(true);
    // A NULL value leaves nothing of the former one in the buffer.
    if ((m_eVarType == NA_VAR_BUFFER || m_eVarType == NA_VAR_OWNBUFFER) && m_pbyBuffer != nullptr)
        std::memset(m_pbyBuffer, 0, m_nSize);
}

// ---- Reading --------------------------------------------------------------------------------

void* CNAConvertVariant::pGetData() const
{
    switch (m_eVarType) {
    case NA_VAR_ANY:
    case NA_VAR_UNREADYET:
        return CNAVariant::pGetData();
    case NA_VAR_BUFFER:
    case NA_VAR_POINTER:
    case NA_VAR_OWNBUFFER:
        return m_pbyBuffer;
    default:
        return nullptr;
    }
}

unsigned int CNAConvertVariant::nGetSize() const
{
    return m_eVarType == NA_VAR_ANY ? CNAVariant::nGetSize() : m_nLength;
}

int CNAConvertVariant::_bBufferIsUTF16() const
{
    if (m_eVarType != NA_VAR_BUFFER && m_eVarType != NA_VAR_OWNBUFFER)
        return 0;
    const eNA_ITEMTYPE eType = TypeOf(m_piItem);
    return bIsTextUnicode(eType);
}

unsigned int CNAConvertVariant::nGetUtilDataSize() const
{
    if (m_eVarType == NA_VAR_ANY)
        return CNAVariant::nGetUtilDataSize();
    const unsigned char nType = m_clValue.nGetTypeCode();
    if (s_bIsText8(nType))
        return _nGetBufferTextLength8();
    if (s_bIsTextW(nType)) {
        if (m_pbyBuffer == nullptr)
            return 0;
        if (_bBufferIsUTF16()) {
            const unsigned int nUnits = m_nSize / 2;
            const unsigned int n = UTF16LELength(m_pbyBuffer, nUnits);
            return n < nUnits ? n * 2 : m_nSize;
        }
        const unsigned int nChars = m_nSize / sizeof(wchar_t);
        const unsigned int n = NLenW(m_pbyBuffer, nChars);
        return n < nChars ? n * static_cast<unsigned int>(sizeof(wchar_t)) : m_nSize;
    }
    return m_nLength;
}

unsigned int CNAConvertVariant::_nGetBufferTextLength8() const
{
    return NLen8(m_pbyBuffer, m_nSize);
}

std::wstring CNAConvertVariant::_sGetBufferTextW() const
{
    if (m_pbyBuffer == nullptr)
        return std::wstring();
    if (_bBufferIsUTF16()) {
        const unsigned int nUnits = UTF16LELength(m_pbyBuffer, m_nSize / 2);
        std::wstring s(nUnits, L'\0');
        s.resize(UTF16LEToWide(m_pbyBuffer, nUnits, nUnits > 0 ? &s[0] : nullptr));
        return s;
    }
    const unsigned int n = NLenW(m_pbyBuffer, m_nSize / sizeof(wchar_t));
    std::wstring s(n, L'\0');
    if (n > 0)
        std::memcpy(&s[0], m_pbyBuffer, n * sizeof(wchar_t));
    return s;
}

std::string CNAConvertVariant::_sGetText8() const
{
    if (m_eVarType == NA_VAR_ANY || m_eVarType == NA_VAR_UNREADYET) {
        const char* psz = nullptr;
        if (m_clValue.pclGetTraitement()->nGetPCASTR(&psz) <= 99 && psz != nullptr)
            return std::string(psz);
        const unsigned char* p = static_cast<const unsigned char*>(CNAVariant::pGetData());
        return std::string(reinterpret_cast<const char*>(p), NLen8(p, CNAVariant::nGetSize()));
    }
    return std::string(reinterpret_cast<const char*>(m_pbyBuffer), _nGetBufferTextLength8());
}

std::wstring CNAConvertVariant::_sGetTextW() const
{
    if (m_eVarType == NA_VAR_ANY || m_eVarType == NA_VAR_UNREADYET) {
        const wchar_t* psz = nullptr;
        if (m_clValue.pclGetTraitement()->nGetPCWSTR(&psz) <= 99 && psz != nullptr)
            return std::wstring(psz);
        const unsigned char* p = static_cast<const unsigned char*>(CNAVariant::pGetData());
        const unsigned int n = NLenW(p, CNAVariant::nGetSize() / sizeof(wchar_t));
        std::wstring s(n, L'\0');
        if (n > 0)
            std::memcpy(&s[0], p, n * sizeof(wchar_t));
        return s;
    }
    return _sGetBufferTextW();
}

int CNAConvertVariant::bGetValue(CAny* pclDest) const
{
    if (pclDest == nullptr)
        return 0;
    switch (m_eVarType) {
    case NA_VAR_ANY:
    case NA_VAR_UNREADYET:
        return CNAVariant::bGetValue(pclDest);
    case NA_VAR_BUFFER:
    case NA_VAR_OWNBUFFER:
        break;
    default:
        return 0;
    }

    // A fresh value of the cell's type: nothing of the former one remains
    // where the buffer gives nothing.
    const unsigned char nType = m_clValue.nGetTypeCode();
    pclDest->__SetType(TQTYPE_VIDE, 0);
    pclDest->__SetType(nType, 0);
    CAny_Intern* pclTraitement = pclDest->pclGetTraitement();
    const unsigned char* p = m_pbyBuffer;
    const unsigned int nSize = p != nullptr ? m_nSize : 0;
    static const unsigned char s_abyVide[sizeof(wchar_t)] = {0, 0, 0, 0};

    switch (nType) {
    case TQTYPE_PSTRA:
    case TQTYPE_DSTRA:
        pclTraitement->SetValue(p != nullptr ? p : s_abyVide, NLen8(p, nSize));
        break;
    case TQTYPE_DSTRW:
    case TQTYPE_PSTRW: {
        const std::wstring s = _sGetBufferTextW();
        pclTraitement->SetValue(s.c_str(), static_cast<unsigned int>(s.size() * sizeof(wchar_t)));
        break;
    }
    case TQTYPE_DECIMAL: {
        IDecimal* piDecimal = nullptr;
        pclTraitement->nFillBuffer(&piDecimal);
        const int nDecimals = m_piItem != nullptr ? m_piItem->nGetDecimalPart() : 0;
        const int nDigits = m_piItem != nullptr ? m_piItem->nGetIntegerPart() + nDecimals : 0;
        // The stored form of that many digits must lie inside the buffer.
        if (piDecimal != nullptr && p != nullptr && nDigits >= 0 && nDigits <= IDecimal::MAX_DIGITS &&
            nDecimals >= 0 && IDecimal::mg_PToN[nDigits] <= nSize)
            piDecimal->nSetBytes(p, nDigits, nDecimals);
        break;
    }
    case TQTYPE_BIN:
        if (TypeOf(m_piItem) == NA_IT_BINAIRE) {
            unsigned int n = 0;
            if (nSize >= 2) {
                n = LitU16(p);
                if (n > nSize - 2)
                    n = nSize - 2;
            }
            pclTraitement->SetValue(nSize >= 2 ? p + 2 : s_abyVide, n);
            break;
        }
        pclTraitement->SetValue(p != nullptr ? p : s_abyVide, nSize);
        break;
    case TQTYPE_DATETIME: {
        CDateTime clDate;
        clDate.InitDate();
        switch (TypeOf(m_piItem)) {
        case NA_IT_DATE8: {
            char sz[9];
            CopieTexte(sz, p, nSize, 8);
            clDate.__SetPartieDate(sz);
            pclTraitement->SetValue(&clDate);
            break;
        }
        case NA_IT_HEURE: {
            char sz[10];
            CopieTexte(sz, p, nSize, 9);
            clDate.__SetPartieHeure(sz);
            pclTraitement->SetValue(&clDate);
            break;
        }
        case NA_IT_DATETIME:
            if (nSize >= sizeof(clDate)) {
                std::memcpy(&clDate, p, sizeof(clDate));
                pclTraitement->SetValue(&clDate);
            }
            break;
        default:
            break;
        }
        break;
    }
    case TQTYPE_CARW:
        if (_bBufferIsUTF16()) {
            const unsigned int nUnits = nSize / 2 < 2 ? nSize / 2 : 2;
            wchar_t aw[2] = {0, 0};
            UTF16LEToWide(p, UTF16LELength(p, nUnits), aw);
            pclTraitement->SetValue(aw);
            break;
        }
        [[fallthrough]];
    default: {
        // The treatments of fixed-size types read their whole size, and
        // read wide characters as such: they get an aligned copy padded
        // with zeros.
        const unsigned int nCopie = nSize > CAny::VALEUR_SIZE ? nSize : static_cast<unsigned int>(CAny::VALEUR_SIZE);
        std::vector<unsigned char> aby(nCopie + sizeof(wchar_t), 0);
        if (nSize > 0)
            std::memcpy(aby.data(), p, nSize);
        pclTraitement->SetValue(aby.data(), nSize);
        break;
    }
    }
    pclDest->SetFlags(0);
    return 1;
}

const wchar_t* CNAConvertVariant::pszGetTableName() const
{
    const INAItemDescription* pi = m_piItem != nullptr ? m_piItem : m_piItemDB;
    return pi != nullptr ? pi->pszGetSourceName() : nullptr;
}

const wchar_t* CNAConvertVariant::pszGetItemName() const
{
    const INAItemDescription* pi = m_piItem != nullptr ? m_piItem : m_piItemDB;
    return pi != nullptr ? pi->pszGetName() : nullptr;
}

eNA_ITEMTYPE CNAConvertVariant::eNAGetItemTypeAnalyse() const
{
    return TypeOf(m_piItem);
}

eNA_ITEMTYPE CNAConvertVariant::eNAGetItemTypeDatabase() const
{
    return TypeOf(m_piItemDB);
}

eNA_ITEMTYPE CNAConvertVariant::eNAGetItemType() const
{
    const eNA_ITEMTYPE eType = TypeOf(m_piItem);
    return eType != NA_IT_EMPTY ? eType : TypeOf(m_piItemDB);
}

eNA_ITEMTYPE CNAConvertVariant::eNAGetItemTypeDatabaseEx() const
{
    eNA_ITEMTYPE eType = TypeOf(m_piItemDB);
    if (eType == NA_IT_EMPTY)
        eType = TypeOf(m_piItem);
    if (eType == NA_IT_EMPTY)
        eType = ConvertTQTypeToeItem(m_clValue.nGetTypeCode());
    return eType;
}

unsigned int CNAConvertVariant::eGetTQTypeDB() const
{
    return ConverteItemToTQType(m_piItemDB);
}

eNA_ITEMTYPE CNAConvertVariant::eNAGetDBType() const
{
    if (m_piItemDB == nullptr)
        return NA_IT_EMPTY;
    // The database side is always a description the driver read itself.
    return static_cast<const CNAItemDescription*>(m_piItemDB)->eNAGetDBType(m_pclConnection);
}

int CNAConvertVariant::bIsMemoBinaire() const
{
    const eNA_ITEMTYPE eType = eNAGetItemType();
    return eType == NA_IT_MEMOBINAIRE4 || eType == NA_IT_MEMOBINAIRE;
}

int CNAConvertVariant::bIsMemo() const
{
    const eNA_ITEMTYPE eType = eNAGetItemType();
    return eType == NA_IT_MEMOTEXTE || eType == NA_IT_MEMOBINAIRE4 || eType == NA_IT_MEMOBINAIRE ||
           eType == NA_IT_MEMOUNICODE;
}

int CNAConvertVariant::bUnicodeDB() const
{
    const INAItemDescription* pi = m_piItemDB != nullptr ? m_piItemDB : m_piItem;
    if (pi != nullptr)
        return bIsTextUnicode(pi->eNAGetItemType());
    switch (m_clValue.nGetTypeCode()) {
    case TQTYPE_DSTRW: case 20: case TQTYPE_DATEW: case TQTYPE_TIMEW: case TQTYPE_CARW: case TQTYPE_PSTRW:
        return 1;
    default:
        return 0;
    }
}

int CNAConvertVariant::bGetDecimalInfo(int* pnDigits, int* pnDecimals) const
{
    if (TypeOf(m_piItem) == NA_IT_DECIMAL) {
        *pnDecimals = m_piItem->nGetDecimalPart();
        *pnDigits = m_piItem->nGetIntegerPart() + *pnDecimals;
        return 1;
    }
    if (m_pclConnection != nullptr && m_pclConnection->eGetDataSource() == 2) {
        const unsigned char nType = m_clValue.nGetTypeCode();
        if (nType == TQTYPE_DECIMAL) {
            if (m_clValue.nGetType() == TQTYPE_DECIMAL) {
                *pnDigits = 0;
                *pnDecimals = 0;
                IDecimal* piDecimal = nullptr;
                m_clValue.pclGetTraitement()->nFillBuffer(&piDecimal);
                if (piDecimal == nullptr)
                    return 0;
                *pnDigits = piDecimal->nGetDigits();
                *pnDecimals = piDecimal->nGetDecimals();
                return 1;
            }
            if (m_clValue.bIsNull()) {
                *pnDigits = 0;
                *pnDecimals = 0;
                return 0;
            }
        } else if (CNAItemDescription::s_bGetDecimalInfo(nType, pnDigits, pnDecimals)) {
            return 1;
        }
    }
    return CNAVariant::bGetDecimalInfo(pnDigits, pnDecimals);
}

int CNAConvertVariant::s_bTextToBool(const char* psz)
{
    if (psz == nullptr)
        return 0;
    return !(psz[0] == 0 || psz[0] == '0' || psz[0] == 'F' || psz[0] == 'f');
}

int CNAConvertVariant::s_bTextToBool(const wchar_t* psz)
{
    if (psz == nullptr)
        return 0;
    return !(psz[0] == 0 || psz[0] == L'0' || psz[0] == L'F' || psz[0] == L'f');
}

int CNAConvertVariant::bIsEmptyString() const
{
    if (m_clValue.bIsNull() || vbIsEmpty())
        return 1;
    if (m_eVarType == NA_VAR_ANY || m_eVarType == NA_VAR_UNREADYET)
        return CNAVariant::bIsEmptyString();
    return _s_bIsEmptyText(m_clValue.nGetTypeCode(), m_pbyBuffer, m_nSize, false, _bBufferIsUTF16() != 0);
}

int CNAConvertVariant::bIsEmptyStringEx() const
{
    if (m_clValue.bIsNull() || vbIsEmpty())
        return 1;
    if (m_eVarType == NA_VAR_ANY || m_eVarType == NA_VAR_UNREADYET)
        return CNAVariant::bIsEmptyStringEx();
    return _s_bIsEmptyText(m_clValue.nGetTypeCode(), m_pbyBuffer, m_nSize, true, _bBufferIsUTF16() != 0);
}

int CNAConvertVariant::bCouldBeNullOnKX() const
{
    return bIsEmptyStringEx() || bIsNumeric0();
}

// ---- Database buffer ----------------------------------------------------------------------

int CNAConvertVariant::bInitBufferDB()
{
    if (m_nStateBufferDB != DBBUFFER_NONE)
        return 1;
    if (!_bInitTypeBind())
        return 0;
    switch (m_eVarType) {
    case NA_VAR_UNREADYET:
        m_eVarType = NA_VAR_ANY;
        return _bInitBufferDB_Any();
    case NA_VAR_ANY:
        return _bInitBufferDB_Any();
    case NA_VAR_BUFFER:
        return _bInitBufferDB_Ptr();
    default:
        return 0;
    }
}

int CNAConvertVariant::nGetTypeBind()
{
    if (m_nStateBufferDB == DBBUFFER_NONE && !bInitBufferDB())
        return 0;
    return m_nTypeBind;
}

int CNAConvertVariant::bGetBufferDB(unsigned char** ppData, unsigned int* pnSize, unsigned int** ppnLength)
{
    if (m_eVarType == NA_VAR_UNREADYET)
        m_eVarType = NA_VAR_ANY;
    if (m_nStateBufferDB == DBBUFFER_NONE && !bInitBufferDB())
        return 0;
    unsigned char* p = nullptr;
    unsigned int n = 0;
    if (m_nStateBufferDB == DBBUFFER_OWN) {
        p = m_pbyBufferDB;
        n = m_nSizeBufferDB;
    } else if (m_eVarType == NA_VAR_ANY) {
        p = static_cast<unsigned char*>(CNAVariant::pGetData());
        n = CNAVariant::nGetSize();
    } else {
        p = m_pbyBuffer;
        n = m_nSize;
    }
    if (ppData != nullptr)
        *ppData = p;
    if (pnSize != nullptr)
        *pnSize = n;
    if (ppnLength != nullptr)
        *ppnLength = &m_nLengthDB;
    return 1;
}

int CNAConvertVariant::bConvertDataToDB()
{
    if (m_nStateBufferDB == DBBUFFER_NONE && !bInitBufferDB())
        return 0;
    if (m_nStateBufferDB == DBBUFFER_OWN)
        return _bConvertDataToDB();
    return 1;
}

int CNAConvertVariant::bConvertDataToKX(CNAKXRecord* pclRecord)
{
    if (m_eVarType == NA_VAR_UNREADYET)
        m_eVarType = NA_VAR_ANY;
    m_bChanged = 0;
    int bResult = 1;
    if (m_nStateBufferDB == DBBUFFER_OWN) {
        bResult = _bConvertDataToKX();
    } else if (m_nStateBufferDB == DBBUFFER_INPLACE && m_eVarType == NA_VAR_BUFFER &&
               TypeOf(m_piItemDB) == NA_IT_TEXTE && TypeOf(m_piItem) == NA_IT_TEXTE && m_pbyBuffer != nullptr) {
        // The server may leave bytes behind the text: the engine compares
        // whole elements.
        const unsigned int n = _nGetBufferTextLength8();
        if (n < m_nSize)
            std::memset(m_pbyBuffer + n, 0, m_nSize - n);
    }
    if (pclRecord != nullptr && m_piItem != nullptr)
        pclRecord->SetItemValueDefined(m_piItem, !m_clValue.bIsNull(), 0);
    return bResult;
}

int CNAConvertVariant::_bAllocBufferDB(unsigned int nSize)
{
    if (m_pbyBufferDB != nullptr) {
        if (m_nSizeBufferDB >= nSize) {
            std::memset(m_pbyBufferDB, 0, m_nSizeBufferDB);
            return 1;
        }
    }
    if (nSize == 0)
        return 1;
    // The old buffer goes only once the new one exists: without memory the
    // cell keeps its bytes.
    unsigned char* p = static_cast<unsigned char*>(XMALLOC_pNewZero_(nSize, 1));
    if (p == nullptr) {
        _SetErrorNoMemory();
        return 0;
    }
    _ReleaseValDB();
    m_pbyBufferDB = p;
    m_nSizeBufferDB = nSize;
    m_nLengthDB = 0;
    return 1;
}

void CNAConvertVariant::_ReleaseValDB()
{
    XMALLOC_Del_(m_pbyBufferDB);
    m_pbyBufferDB = nullptr;
    m_nSizeBufferDB = 0;
}

// ---- Copies and comparisons -------------------------------------------------------------------

int CNAConvertVariant::bCopyVariant(const CNAConvertVariant* pclSource)
{
    if (pclSource == nullptr) {
        SetNull();
        return 1;
    }
    if (pclSource == this)
        return 1;
    m_pclConnection = pclSource->m_pclConnection;

    if (m_nStateBufferDB != DBBUFFER_NONE && m_clValue.nGetTypeCode() == pclSource->m_clValue.nGetTypeCode()) {
        int bResult = 1;
        if (pclSource->m_eVarType == NA_VAR_UNREADYET) {
            SetNull();
            m_eVarType = NA_VAR_UNREADYET;
        } else {
            if (m_eVarType == NA_VAR_UNREADYET)
                m_eVarType = NA_VAR_ANY;
            if (m_eVarType == NA_VAR_ANY && pclSource->m_eVarType == NA_VAR_ANY) {
                bResult = CNAVariant::bCopyVariant(pclSource);
            } else {
                CAny clValue;
                if (pclSource->bGetValue(&clValue)) {
                    // A buffer does not carry the NULL mark: the source's does.
                    if (pclSource->m_clValue.bIsNull())
                        clValue.SetNullFlag(true);
                    bResult = bSetValue(&clValue);
                }
            }
        }
        SetItemDesc(pclSource->m_piItem, pclSource->m_piItemDB);
        m_nLengthDB = pclSource->m_nLengthDB;
        return bResult;
    }

    const unsigned short nType = pclSource->m_clValue.nGetTypeCode();
    if (pclSource->m_eVarType == NA_VAR_OWNBUFFER) {
        if (bInitTypeVariantBuffer(nType, pclSource->m_nSize)) {
            if (TypeOf(pclSource->m_piItem) == NA_IT_BINAIRE) {
                // The whole element, so that the copy keeps the length
                // prefix its binary item reads.
                bSetValue(pclSource->m_pbyBuffer, pclSource->m_nSize);
            } else {
                bSetValue(static_cast<const unsigned char*>(pclSource->pGetData()), pclSource->nGetSize());
            }
        }
    } else {
        InitTypeVariantAny(nType, pclSource->m_nSize);
        if (pclSource->m_eVarType == NA_VAR_BUFFER) {
            // The value of a caller's buffer lives in the buffer, not in the
            // source's own host value.
            CAny clValue;
            pclSource->bGetValue(&clValue);
            if (pclSource->m_clValue.bIsNull())
                clValue.SetNullFlag(true);
            CNAVariant::bSetValue(&clValue);
        } else {
            CNAVariant::bCopyVariant(pclSource);
        }
    }
    SetItemDesc(pclSource->m_piItem, pclSource->m_piItemDB);
    if (pclSource->m_eVarType == NA_VAR_UNREADYET) {
        SetNull();
        m_eVarType = NA_VAR_UNREADYET;
    }
    m_nLengthDB = pclSource->m_nLengthDB;
    return 1;
}

CNAConvertVariant* CNAConvertVariant::pclGetCloneVariant() const
{
    if (CNADriver::s_pclDriver == nullptr)
        return nullptr;
    CNAConvertVariant* pclClone = CNADriver::s_pclDriver->pclAllocVariant(m_pclError, m_pclConnection);
    if (pclClone != nullptr)
        pclClone->bCopyVariant(this);
    return pclClone;
}

int CNAConvertVariant::nCmp(const CNAConvertVariant* pclOther) const
{
    if (pclOther == this)
        return 0;
    if (pclOther == nullptr)
        return 1;
    const unsigned char nType = m_clValue.nGetTypeCode();
    const unsigned char nOtherType = pclOther->m_clValue.nGetTypeCode();
    if (nType == nOtherType) {
        const unsigned int n = nGetSize();
        if (n == pclOther->nGetSize()) {
            if (n == 0)
                return 0;
            const void* p = pGetData();
            const void* pOther = pclOther->pGetData();
            if (p != nullptr && pOther != nullptr)
                return Signe(std::memcmp(p, pOther, n));
        }
    }
    const bool b8 = s_bIsText8(nType) || nType == TQTYPE_DATEA || nType == TQTYPE_TIMEA;
    const bool bOther8 = s_bIsText8(nOtherType) || nOtherType == TQTYPE_DATEA || nOtherType == TQTYPE_TIMEA;
    if (b8 && bOther8)
        return Signe(_sGetText8().compare(pclOther->_sGetText8()));
    const bool bW = s_bIsTextW(nType) || nType == TQTYPE_DATEW || nType == TQTYPE_TIMEW;
    const bool bOtherW = s_bIsTextW(nOtherType) || nOtherType == TQTYPE_DATEW || nOtherType == TQTYPE_TIMEW;
    if (bW && bOtherW)
        return Signe(_sGetTextW().compare(pclOther->_sGetTextW()));
    CAny clThis, clOther;
    bGetValue(&clThis);
    pclOther->bGetValue(&clOther);
    int nResult = 0;
    nCompare(&clThis, &clOther, &nResult, 0);
    return nResult;
}

int CNAConvertVariant::bEqualsNAVariant(const CNAConvertVariant* pclOther) const
{
    if (pclOther == this)
        return 1;
    if (pclOther == nullptr)
        return m_clValue.bIsNull();
    if (m_eVarType == NA_VAR_RESET && pclOther->m_eVarType == NA_VAR_RESET)
        return 1;
    if (m_clValue.bIsNull() && pclOther->m_clValue.bIsNull())
        return 1;
    if (m_eVarType == pclOther->m_eVarType) {
        if (m_eVarType == NA_VAR_ANY)
            return CNAVariant::bEqualsNAVariant(static_cast<const CNAVariant*>(pclOther));
        if (m_eVarType == NA_VAR_UNREADYET)
            return 0;
    }
    return nCmp(pclOther) == 0;
}

void CNAConvertVariant::CompleteSpaces(int nLength)
{
    if (m_clValue.bIsNull())
        return;
    const unsigned char nType = m_clValue.nGetTypeCode();
    const bool b8 = nType == TQTYPE_PSTRA || nType == TQTYPE_DSTRA;
    const bool bW = nType == TQTYPE_DSTRW || nType == TQTYPE_PSTRW;
    if (!b8 && !bW)
        return;
    const bool bOwnValue = m_eVarType == NA_VAR_ANY || m_eVarType == NA_VAR_UNREADYET;
    if (!bOwnValue && m_pbyBuffer == nullptr)
        return;

    if (b8) {
        long long nTarget = nLength == -1 ? static_cast<long long>(m_nSize) - 1 : nLength;
        if (!bOwnValue && nTarget > static_cast<long long>(m_nSize) - 1)
            nTarget = static_cast<long long>(m_nSize) - 1;
        if (nTarget <= 0)
            return;
        if (bOwnValue) {
            std::string s = _sGetText8();
            if (s.size() >= static_cast<unsigned long long>(nTarget))
                return;
            s.resize(static_cast<std::size_t>(nTarget), ' ');
            m_clValue.pclGetTraitement()->SetValue(s.c_str(), static_cast<unsigned int>(s.size()));
            return;
        }
        const unsigned int nCurrent = _nGetBufferTextLength8();
        const unsigned int nNew = static_cast<unsigned int>(nTarget);
        if (nCurrent >= nNew)
            return;
        std::memset(m_pbyBuffer + nCurrent, ' ', nNew - nCurrent);
        m_pbyBuffer[nNew] = 0;
        return;
    }

    const bool bUTF16 = _bBufferIsUTF16() != 0;
    const unsigned int nUnit = bUTF16 ? 2 : static_cast<unsigned int>(sizeof(wchar_t));
    long long nTarget = nLength == -1 ? static_cast<long long>(nGetSize() / nUnit) : nLength;
    if (!bOwnValue && nTarget > static_cast<long long>(m_nSize / nUnit) - 1)
        nTarget = static_cast<long long>(m_nSize / nUnit) - 1;
    if (nTarget <= 0)
        return;
    if (bOwnValue) {
        std::wstring s = _sGetTextW();
        if (s.size() >= static_cast<unsigned long long>(nTarget))
            return;
        s.resize(static_cast<std::size_t>(nTarget), L' ');
        m_clValue.pclGetTraitement()->SetValue(s.c_str(), static_cast<unsigned int>(s.size() * sizeof(wchar_t)));
        return;
    }
    const unsigned int nNew = static_cast<unsigned int>(nTarget);
    const unsigned int nCurrent =
        bUTF16 ? UTF16LELength(m_pbyBuffer, m_nSize / 2) : NLenW(m_pbyBuffer, m_nSize / nUnit);
    if (nCurrent >= nNew)
        return;
    for (unsigned int i = nCurrent; i < nNew; i++) {
        if (bUTF16)
            EcritU16(m_pbyBuffer + 2 * i, ' ');
        else
            EcritW(m_pbyBuffer + i * sizeof(wchar_t), L' ');
    }
    if (bUTF16)
        EcritU16(m_pbyBuffer + 2 * nNew, 0);
    else
        EcritW(m_pbyBuffer + nNew * sizeof(wchar_t), 0);
}
