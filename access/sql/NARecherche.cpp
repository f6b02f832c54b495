#include "access/sql/NARecherche.h"

#include "access/driver/NAConnectionDescription.h"
#include "access/driver/NAError.h"
#include "access/driver/NAItemDescription.h"
#include "access/driver/NaDriver.h"
#include "access/sql/ColumnNullValueExcluded.h"
#include "access/sql/NACommand.h"
#include "access/sql/NAExpression.h"
#include "access/sql/NAFilter.h"
#include "access/statement/NARecord.h"
#include "common/platform/MyModuleInfo.h"
#include "common/text/TextCompare.h"
#include "common/values/AnyConvert.h"
#include "common/values/Decimal.h"
#include "common/values/NACnvVariant.h"
#include "common/values/datetime.h"
#include "common/values/monetaire.h"

#include <cfloat>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

namespace {

const int kFile = CNAExpression::ERRFILE_EXPRESSION;

enum : int {
    kPointNoMemory = 21,
    kPointNoDriver = 22,
};

typedef std::vector<CNAColumn*> Columns;

bool _bIsTextType(unsigned short n)
{
    return (n >= 16 && n <= 25) || n == 81 || n == 110 || n == 128 || n == 129 || n == 134;
}

bool _bIsWideType(unsigned short n)
{
    return n == 16 || n == 20 || n == 24 || n == 25 || n == 81 || n == 110;
}

// Text, date and time host types whose generic comparisons take two forms.
bool _bIsGenericBoundType(unsigned short n)
{
    return _bIsTextType(n) || n == TQTYPE_DATETIME;
}

void _Copy(CAny* pTarget, const CAny* pSource)
{
    if (pSource != nullptr)
        pSource->pclGetTraitement()->Duplique(pTarget);
}

bool _bNone(const CAny* p)
{
    return p == nullptr || p->bIsNull() || p->nGetTypeCode() == TQTYPE_VIDE;
}

// Equality of two search values: two without a value are equal, one
// without a value equals no value.
bool _bSameValue(const CAny* a, const CAny* b)
{
    if (_bNone(a) || _bNone(b))
        return _bNone(a) && _bNone(b);
    int n = 0;
    return nEgalite(a, b, &n, 0) <= 99 && n != 0;
}

// Bytes of a value and their count.
void _Data(const CAny* pValue, const unsigned char** pp, unsigned int* pn)
{
    void* p = nullptr;
    unsigned int n = 0;
    pValue->pclGetTraitement()->nGetDataAdr(&p);
    pValue->pclGetTraitement()->nGetUtilDataSize(&n);
    *pp = static_cast<const unsigned char*>(p);
    *pn = p != nullptr ? n : 0;
}

// A text value's characters as wide text (8-bit texts byte by byte).
std::wstring _Units(const CAny* pValue)
{
    std::wstring s;
    if (_bNone(pValue))
        return s;
    const unsigned short nType = pValue->nGetTypeCode();
    if (_bIsWideType(nType)) {
        const wchar_t* psz = nullptr;
        pValue->pclGetTraitement()->nGetPCWSTR(&psz);
        if (psz != nullptr)
            s = psz;
    } else {
        const char* psz = nullptr;
        pValue->pclGetTraitement()->nGetPCASTR(&psz);
        for (; psz != nullptr && *psz != 0; psz++)
            s += static_cast<wchar_t>(static_cast<unsigned char>(*psz));
    }
    return s;
}

// A text value of the same type holding the wide characters (8-bit texts
// byte by byte).
void _SetUnits(CAny* pValue, const std::wstring& s)
{
    const unsigned short nType = pValue->nGetTypeCode();
    if (_bIsWideType(nType)) {
        pValue->pclGetTraitement()->SetValue(s.c_str(), static_cast<unsigned int>(s.size() * sizeof(wchar_t)));
    } else {
        std::string a;
        for (wchar_t c : s)
            a += static_cast<char>(c);
        pValue->pclGetTraitement()->SetValue(a.c_str(), static_cast<unsigned int>(a.size()));
    }
}

// The largest character of a text: a byte 255, a wide character of 65535
// or more.
bool _bIsMaxChar(unsigned short nType, wchar_t c)
{
    return _bIsWideType(nType) ? static_cast<unsigned int>(c) >= 0xFFFFu : static_cast<unsigned int>(c) == 0xFFu;
}

// Whether a text ends with its terminator kept in its data.
bool _bTermineParCaract0(const CAny* pValue)
{
    if (_bNone(pValue) || !_bIsTextType(pValue->nGetTypeCode()))
        return false;
    const unsigned char* p = nullptr;
    unsigned int n = 0;
    _Data(pValue, &p, &n);
    const unsigned int nUnit = _bIsWideType(pValue->nGetTypeCode()) ? sizeof(wchar_t) : 1;
    if (p == nullptr || n < nUnit)
        return false;
    for (unsigned int i = n - nUnit; i < n; i++)
        if (p[i] != 0)
            return false;
    return true;
}

template <class T>
void _SetTyped(CAny* pValue, T x)
{
    pValue->pclGetTraitement()->SetValue(&x);
}

void _SetText(CAny* pValue, const wchar_t* psz)
{
    if (_bIsWideType(pValue->nGetTypeCode())) {
        pValue->pclGetTraitement()->SetValue(psz, static_cast<unsigned int>(wcslen(psz) * sizeof(wchar_t)));
        return;
    }
    std::string a;
    for (; *psz != 0; psz++)
        a += static_cast<char>(*psz);
    pValue->pclGetTraitement()->SetValue(a.c_str(), static_cast<unsigned int>(a.size()));
}

// The host type of a component in a key image and its bytes there.
struct CComponent {
    unsigned short nType;
    unsigned int nBytes;
    bool bBinary; // a 16-bit length first
};

CComponent _Component(CNAColumn* pclColumn)
{
    CComponent st;
    st.nType = pclColumn->eGetTQType();
    const int nLogical = pclColumn->nGetLogicalSize();
    st.nBytes = nLogical > 0 ? static_cast<unsigned int>(nLogical) : pclColumn->nGetItemSize();
    if (_bIsWideType(st.nType))
        st.nBytes *= 2;
    st.bBinary = pclColumn->bBinaryString() != 0;
    return st;
}

} // namespace

// ---- Shared while building ------------------------------------------------------------------------

struct CNARecherche::SBuild {
    // Cells made for a column (with it or not) and a value.
    struct SCell {
        CNAColumn* pclColumn;
        bool bWithColumn;
        CAny clValue;
        CNAConvertVariant* pclCell; // one reference
    };
    std::vector<std::unique_ptr<SCell>> tabCell;
    // The key value split once.
    CNAColumn* pclSplitKey = nullptr;
    std::unique_ptr<CAny[]> pSplit;
    int nSplit = 0;
    int nSplitBound = BOUND_NONE;

    ~SBuild()
    {
        for (const std::unique_ptr<SCell>& p : tabCell)
            p->pclCell->nRelease();
    }
    // A cell already made for the column and the same value, or null.
    CNAConvertVariant* pclFind(CNAColumn* pclColumn, bool bWithColumn, const CAny* pValue) const
    {
        const unsigned char* pData = nullptr;
        unsigned int nData = 0;
        _Data(pValue, &pData, &nData);
        for (const std::unique_ptr<SCell>& p : tabCell) {
            if (p->pclColumn != pclColumn || p->bWithColumn != bWithColumn ||
                p->clValue.nGetType() != pValue->nGetType())
                continue;
            const unsigned char* pOther = nullptr;
            unsigned int nOther = 0;
            _Data(&p->clValue, &pOther, &nOther);
            if (nOther == nData && (nData == 0 || std::memcmp(pOther, pData, nData) == 0))
                return p->pclCell;
        }
        return nullptr;
    }
};

// ---- Life ------------------------------------------------------------------------------------

CNARecherche::CNARecherche(CNAError* pclError, CNAConnectionDescription* pclConnection)
    : m_pclError(pclError),
      m_eState(STATE_INACTIVE),
      m_eDirection(static_cast<eNA_PARSEDIRECTION>(4)),
      m_bCancelled(0),
      m_bEmptyAsNull(0),
      m_nFlags(0),
      m_pclSearch(nullptr),
      m_pclForward(nullptr),
      m_pclBackward(nullptr),
      m_pclCurrent(nullptr),
      m_tabParameter(30),
      m_piFetchItem(nullptr),
      m_pclConnection(pclConnection),
      m_pclRefusals(nullptr),
      m_pBuild(nullptr)
{
    if (m_pclError != nullptr)
        m_pclError->AddRef();
    if (m_pclConnection != nullptr)
        m_pclConnection->AddRef();
}

CNARecherche::CNARecherche() : CNARecherche(nullptr, nullptr) {}

CNARecherche::~CNARecherche()
{
    _ReleaseConditions();
    _ResetParameter();
    _SetFetchItem(nullptr);
    SetRefusals(nullptr);
    if (m_pclConnection != nullptr)
        m_pclConnection->nRelease();
    if (m_pclError != nullptr)
        m_pclError->nRelease();
}

CNAExpression* CNARecherche::pclAllocExpression()
{
    return new (std::nothrow) CNAExpression(m_pclError);
}

CNARecherche* CNARecherche::_pclAllocRecherche()
{
    return new (std::nothrow) CNARecherche();
}

int CNARecherche::_bNoMemory(int nPoint)
{
    if (m_pclError != nullptr)
        m_pclError->RaiseUserError(NA_ERRORTYPE_GENERAL, kFile, nPoint, m_pclConnection, nullptr, nullptr,
                                   ZTERR_NO_MEMORY);
    return 0;
}

void CNARecherche::_SetCondition(CNAExpression** ppclField, CNAExpression* pclNew)
{
    if (pclNew != nullptr)
        pclNew->AddRef();
    if (*ppclField != nullptr)
        (*ppclField)->nRelease();
    *ppclField = pclNew;
}

void CNARecherche::_ReleaseConditions()
{
    _SetCondition(&m_pclSearch, nullptr);
    _SetCondition(&m_pclForward, nullptr);
    _SetCondition(&m_pclBackward, nullptr);
    _SetCondition(&m_pclCurrent, nullptr);
}

void CNARecherche::_SetFetchItem(INAItemDescription* piItem)
{
    if (piItem == m_piFetchItem)
        return;
    if (piItem != nullptr)
        piItem->ExternalAddRef();
    if (m_piFetchItem != nullptr)
        m_piFetchItem->nExternalRelease();
    m_piFetchItem = piItem;
}

CNARecherche* CNARecherche::pclClone()
{
    CNARecherche* pcl = _pclAllocRecherche();
    if (pcl == nullptr)
        return nullptr;
    if (m_pclError != nullptr)
        m_pclError->AddRef();
    if (m_pclConnection != nullptr)
        m_pclConnection->AddRef();
    if (pcl->m_pclError != nullptr)
        pcl->m_pclError->nRelease();
    if (pcl->m_pclConnection != nullptr)
        pcl->m_pclConnection->nRelease();
    pcl->m_pclError = m_pclError;
    pcl->m_pclConnection = m_pclConnection;
    pcl->m_eState = m_eState;
    pcl->m_eDirection = m_eDirection;
    pcl->m_bCancelled = m_bCancelled;
    pcl->m_nFlags = m_nFlags;
    pcl->_SetCondition(&pcl->m_pclSearch, m_pclSearch);
    pcl->_SetCondition(&pcl->m_pclForward, m_pclForward);
    pcl->_SetCondition(&pcl->m_pclBackward, m_pclBackward);
    pcl->_SetCondition(&pcl->m_pclCurrent, m_pclCurrent);
    pcl->_ResetParameter();
    for (int i = 0; i < m_tabParameter.nGetNbElement(); i++)
        pcl->m_tabParameter.Ajoute(m_tabParameter[i]);
    pcl->m_csSuffix.Set(m_csSuffix.pszGet());
    _Copy(&pcl->m_clValue, &m_clValue);
    return pcl;
}

// ---- State ----------------------------------------------------------------------------------------

void CNARecherche::Desactivate()
{
    m_eState = STATE_INACTIVE;
    _SetCondition(&m_pclCurrent, nullptr);
}

void CNARecherche::SetServerValue(const CNAColumn* pclColumn, const wchar_t* pszText)
{
    m_tabServerValue.emplace_back(pclColumn, pszText != nullptr ? pszText : L"");
}

const wchar_t* CNARecherche::pszGetServerValue(const CNAColumn* pclColumn) const
{
    for (const auto& st : m_tabServerValue)
        if (st.first == pclColumn)
            return st.second.c_str();
    return nullptr;
}

void CNARecherche::ResetServerValues()
{
    m_tabServerValue.clear();
    SetRefusals(nullptr);
}

void CNARecherche::SetRefusals(const CXError* pclReadFailure)
{
    CNAReadFailure::s_Hold(&m_pclRefusals, pclReadFailure);
}

const CNAReadFailure::SRefusal* CNARecherche::pstGetRefusal(const CNAColumn* pclColumn) const
{
    return CNAReadFailure::s_pstRefusal(m_pclRefusals, pclColumn != nullptr ? pclColumn->pszGetName() : nullptr);
}

int CNARecherche::bPeutContinuerParcours(eNA_PARSEDIRECTION eDirection) const
{
    if (m_eState == STATE_SEARCHING)
        return 1;
    return m_eState == STATE_BROWSING && eDirection != m_eDirection;
}

void CNARecherche::_SetContinueParcours(eNA_PARSEDIRECTION eDirection)
{
    if (m_eState == STATE_SEARCHING) {
        m_eState = STATE_BROWSING;
        _SetCondition(&m_pclCurrent, static_cast<int>(eDirection) != 0 ? m_pclBackward : m_pclForward);
    } else {
        _SetCondition(&m_pclCurrent, m_pclSearch);
        m_eState = STATE_SEARCHING;
    }
    m_eDirection = eDirection;
}

int CNARecherche::bSetContinueParcours(eNA_PARSEDIRECTION eDirection)
{
    _SetContinueParcours(eDirection);
    return 1;
}

int CNARecherche::bReviensParcoursPrecedent(eNA_PARSEDIRECTION eDirection)
{
    _SetContinueParcours(eDirection);
    return 1;
}

int CNARecherche::bIsComposedKeySearch() const
{
    return !(m_nFlags & RECH_RECORD) && m_piFetchItem != nullptr && m_piFetchItem->bIsComposedKey();
}

CNAExpression* CNARecherche::pclGetExpression()
{
    if (m_pclSearch != nullptr)
        m_pclSearch->AddRef();
    return m_pclSearch;
}

// ---- Parameters ---------------------------------------------------------------------------------------

CNAParameter* CNARecherche::pclGetParameter(int i)
{
    CNAParameter* pcl = m_tabParameter[i];
    if (pcl != nullptr)
        pcl->AddRef();
    return pcl;
}

int CNARecherche::GetParameterFromQuery(CNACommand* pclCommand, unsigned int n)
{
    if (pclCommand == nullptr)
        return 0;
    for (int i = static_cast<int>(n); i < pclCommand->nGetParameterNbr(); i++)
        m_tabParameter.Ajoute(pclCommand->pclGetParameterNoRef(static_cast<unsigned int>(i)));
    return 1;
}

CNAParameter* CNARecherche::_pclAddParameter(CNAColumn* pclColumn, CNAConvertVariant* pclCell,
                                             unsigned int nPosition, unsigned int nFlags)
{
    CNADriver* pclDriver = CNADriver::s_pclDriver;
    CNAParameter* pcl =
        pclDriver != nullptr ? pclDriver->pclAllocParameter_col(pclColumn, pclCell, nPosition, nFlags, nullptr) : nullptr;
    if (pcl == nullptr) {
        _bNoMemory(pclDriver != nullptr ? kPointNoMemory : kPointNoDriver);
        return nullptr;
    }
    m_tabParameter.Ajoute(pcl);
    return pcl;
}

void CNARecherche::_RemoveParameterByPos(unsigned int nPosition)
{
    for (int i = m_tabParameter.nGetNbElement() - 1; i >= 0; i--) {
        CNAParameter* pcl = m_tabParameter[i];
        if (pcl != nullptr && pcl->nGetPosition() >= nPosition)
            m_tabParameter.Supprime(i);
    }
}

void CNARecherche::_ResetParameter()
{
    m_tabParameter.SupprimeTout();
}

// ---- Comparing ------------------------------------------------------------------------------------------

int CNARecherche::bEqualsSearch(const CNARecherche* pclOther) const
{
    if (pclOther == this)
        return 1;
    if (pclOther == nullptr || m_eState != pclOther->m_eState || m_eDirection != pclOther->m_eDirection ||
        m_nFlags != pclOther->m_nFlags)
        return 0;
    if ((m_piFetchItem == nullptr) != (pclOther->m_piFetchItem == nullptr))
        return 0;
    if (m_piFetchItem != nullptr &&
        STR_nCompareW(m_piFetchItem->pszGetName(), pclOther->m_piFetchItem->pszGetName(), 3) != 0)
        return 0;
    if (!_bSameValue(&m_clValue, &pclOther->m_clValue))
        return 0;
    if (m_tabParameter.nGetNbElement() != pclOther->m_tabParameter.nGetNbElement())
        return 0;
    for (int i = 0; i < m_tabParameter.nGetNbElement(); i++) {
        const CNAParameter* a = m_tabParameter[i];
        const CNAParameter* b = pclOther->m_tabParameter[i];
        if (a != b && (a == nullptr || b == nullptr || !a->bEqualsParameter(b)))
            return 0;
    }
    return 1;
}

int CNARecherche::g_bEqualsSearch(const CNARecherche* a, const CNARecherche* b)
{
    if (a == nullptr || b == nullptr)
        return (a == nullptr || a->m_eState == STATE_INACTIVE) && (b == nullptr || b->m_eState == STATE_INACTIVE);
    return a->bEqualsSearch(b);
}

// ---- Extremes -------------------------------------------------------------------------------------------

void CNARecherche::s_SetAnyToMax(CAny* pValue)
{
    if (pValue == nullptr)
        return;
    switch (pValue->nGetTypeCode()) {
    case TQTYPE_BOOL: _SetTyped<int32_t>(pValue, 1); break;
    case TQTYPE_UI1: _SetTyped<uint8_t>(pValue, UINT8_MAX); break;
    case TQTYPE_UI2: _SetTyped<uint16_t>(pValue, UINT16_MAX); break;
    case TQTYPE_UI4:
    case TQTYPE_UIX: _SetTyped<uint32_t>(pValue, UINT32_MAX); break;
    case TQTYPE_UI8: _SetTyped<uint64_t>(pValue, UINT64_MAX); break;
    case TQTYPE_I1: _SetTyped<int8_t>(pValue, INT8_MAX); break;
    case TQTYPE_I2: _SetTyped<int16_t>(pValue, INT16_MAX); break;
    case TQTYPE_I4: _SetTyped<int32_t>(pValue, INT32_MAX); break;
    case TQTYPE_I8:
    case TQTYPE_DUREE: _SetTyped<int64_t>(pValue, INT64_MAX); break;
    case TQTYPE_CY: {
        CMoney m;
        SetMonetaireToMax(&m);
        _SetTyped(pValue, m);
        break;
    }
    case TQTYPE_R4: _SetTyped<float>(pValue, FLT_MAX); break;
    case TQTYPE_R8: _SetTyped<double>(pValue, DBL_MAX); break;
    case TQTYPE_DECIMAL: {
        IDecimal* pi = nullptr;
        std::memcpy(&pi, pValue->pbyGetValeur(), sizeof(pi));
        if (pi == nullptr)
            return;
        pi->SetToMax();
        break;
    }
    case TQTYPE_DATEW:
    case TQTYPE_DATEA: _SetText(pValue, L"30001231"); break;
    case TQTYPE_TIMEW:
    case TQTYPE_TIMEA: _SetText(pValue, L"235959999"); break;
    case TQTYPE_DATETIME: {
        CDateTime cl{};
        cl.Set(3000, 12, 31, 0, 0, 0, 0);
        _SetTyped(pValue, cl);
        break;
    }
    default:
        return;
    }
    pValue->SetFlags(0);
}

void CNARecherche::s_SetAnyToMin(CAny* pValue)
{
    if (pValue == nullptr)
        return;
    switch (pValue->nGetTypeCode()) {
    case TQTYPE_BOOL: _SetTyped<int32_t>(pValue, 0); break;
    case TQTYPE_UI1: _SetTyped<uint8_t>(pValue, 0); break;
    case TQTYPE_UI2: _SetTyped<uint16_t>(pValue, 0); break;
    case TQTYPE_UI4:
    case TQTYPE_UIX: _SetTyped<uint32_t>(pValue, 0); break;
    case TQTYPE_UI8: _SetTyped<uint64_t>(pValue, 0); break;
    case TQTYPE_I1: _SetTyped<int8_t>(pValue, INT8_MIN); break;
    case TQTYPE_I2: _SetTyped<int16_t>(pValue, INT16_MIN); break;
    case TQTYPE_I4: _SetTyped<int32_t>(pValue, INT32_MIN); break;
    case TQTYPE_I8:
    case TQTYPE_DUREE: _SetTyped<int64_t>(pValue, INT64_MIN); break;
    case TQTYPE_CY: {
        // The host engine's currency keys start at zero.
        const CMoney m = {};
        _SetTyped(pValue, m);
        break;
    }
    case TQTYPE_R4: _SetTyped<float>(pValue, -FLT_MAX); break;
    case TQTYPE_R8: _SetTyped<double>(pValue, -DBL_MAX); break;
    case TQTYPE_DECIMAL: {
        IDecimal* pi = nullptr;
        std::memcpy(&pi, pValue->pbyGetValeur(), sizeof(pi));
        if (pi == nullptr)
            return;
        pi->SetToMin();
        break;
    }
    case TQTYPE_DATEW:
    case TQTYPE_DATEA: _SetText(pValue, L""); break;
    case TQTYPE_TIMEW:
    case TQTYPE_TIMEA: _SetText(pValue, L"0000"); break;
    case TQTYPE_DATETIME: _SetTyped(pValue, CDateTime{}); break; // the initial date
    default:
        return;
    }
    pValue->SetFlags(0);
}

// ---- Composite key images ---------------------------------------------------------------------------------

int CNARecherche::s_nGetComponentValue(CNAColumn* pclKey, const CAny* pImage, int bPartialAllowed, CAny* pValues,
                                        int nValues, int* pnValues)
{
    *pnValues = 0;
    CNARefArray<CNAColumn>* ptab = pclKey != nullptr ? pclKey->pclGetTabComponent() : nullptr;
    if (ptab == nullptr || _bNone(pImage))
        return BOUND_NONE;
    const unsigned char* p = nullptr;
    unsigned int nLeft = 0;
    _Data(pImage, &p, &nLeft);
    if (p == nullptr)
        return BOUND_NONE;
    int nBound = BOUND_NONE;
    for (int i = 0; i < ptab->nGetNbElement() && i < nValues && nLeft > 0; i++) {
        CNAColumn* pclComponent = (*ptab)[i];
        if (pclComponent == nullptr)
            break;
        const CComponent st = _Component(pclComponent);
        CAny* pValue = &pValues[i];
        pValue->__SetType(st.nType, 0);
        pValue->SetFlags(0);
        unsigned int nBytes = st.nBytes;
        if (st.bBinary) {
            // Its 16-bit length, then its field; the length is cut to the
            // field and to the bytes left.
            unsigned short nLength = 0;
            std::memcpy(&nLength, p, nLeft >= 2 ? 2 : 1);
            const unsigned int nHeader = nLeft >= 2 ? 2 : nLeft;
            p += nHeader;
            nLeft -= nHeader;
            const unsigned int nField = nBytes < nLeft ? nBytes : nLeft;
            pValue->pclGetTraitement()->SetValue(p, nLength < nField ? nLength : nField);
            p += nField;
            nLeft -= nField;
            (*pnValues)++;
            continue;
        }
        const bool bPartial = nLeft < nBytes;
        const unsigned int nTaken = bPartial ? nLeft : nBytes;
        const bool bText = _bIsTextType(st.nType);
        if (bPartial && bPartialAllowed && st.nType != TQTYPE_UI1 && st.nType != TQTYPE_I1) {
            // A marker is the one unit left of the image.
            const bool bWide = _bIsWideType(st.nType);
            if (nTaken == (bWide ? 2u : 1u)) {
                const unsigned int u = bWide ? (p[0] | (static_cast<unsigned int>(p[1]) << 8)) : p[0];
                if (u == 0)
                    nBound = BOUND_MIN;
                else if (u == (bWide ? 0xFFFFu : 0xFFu))
                    nBound = BOUND_MAX;
            }
            if (nBound != BOUND_NONE && !bText) {
                if (nBound == BOUND_MIN)
                    s_SetAnyToMin(pValue);
                else
                    s_SetAnyToMax(pValue);
                (*pnValues)++;
                break;
            }
        }
        if (bPartial && !bText && nBound == BOUND_NONE)
            break; // a number cut short has no value
        if (bText) {
            std::wstring s;
            if (_bIsWideType(st.nType)) {
                // UTF-16 units, surrogate pairs joined; a unit 65535 stays the
                // largest character.
                for (unsigned int k = 0; k + 1 < nTaken; k += 2) {
                    const unsigned int u = p[k] | (static_cast<unsigned int>(p[k + 1]) << 8);
                    if (u == 0)
                        break;
                    if (u >= 0xD800 && u < 0xDC00 && k + 3 < nTaken) {
                        const unsigned int v = p[k + 2] | (static_cast<unsigned int>(p[k + 3]) << 8);
                        if (v >= 0xDC00 && v < 0xE000) {
                            s += static_cast<wchar_t>(0x10000 + ((u - 0xD800) << 10) + (v - 0xDC00));
                            k += 2;
                            continue;
                        }
                    }
                    s += static_cast<wchar_t>(u);
                }
            } else {
                // Up to the first zero byte; the date and time types keep
                // no more than their own length.
                unsigned int n = 0;
                while (n < nTaken && p[n] != 0)
                    n++;
                for (unsigned int k = 0; k < n; k++)
                    s += static_cast<wchar_t>(p[k]);
            }
            _SetUnits(pValue, s);
        } else {
            unsigned char aby[CAny::VALEUR_SIZE] = {};
            std::memcpy(aby, p, nTaken < sizeof(aby) ? nTaken : sizeof(aby));
            // Read from a zero-filled copy: a short image never reads past
            // its bytes.
            if (st.nType == TQTYPE_DECIMAL)
                pValue->pclGetTraitement()->SetValue(aby, nTaken);
            else
                pValue->pclGetTraitement()->SetValue(aby);
        }
        pValue->SetFlags(0);
        (*pnValues)++;
        p += nTaken;
        nLeft -= nTaken;
        if (bPartial)
            break;
    }
    return nBound;
}

// ---- Setting ---------------------------------------------------------------------------------------------

namespace {

// Drops a node nobody holds yet.
void _Drop(CNAExpression* pcl)
{
    if (pcl != nullptr) {
        pcl->AddRef();
        pcl->nRelease();
    }
}

// A key whose rows may share a value or hold NULL.
bool _bMayHoldEqualOrNull(INAItemDescription* pi)
{
    if (pi->bPrimary())
        return false;
    if (!pi->bUnique())
        return true;
    if (pi->nGetVersion() >= 9)
        return pi->vbConstraintNullAllowed() != 0;
    const eNA_ITEMTYPE e = pi->eNAGetItemType();
    return e != NA_IT_IDAUTO && e != NA_IT_IDAUTO4;
}

Columns _View(const CRefArray<CNAColumn>& tab)
{
    Columns v;
    for (int i = 0; i < tab.nGetNbElement(); i++)
        v.push_back(tab[i]);
    return v;
}

} // namespace

int CNARecherche::bSetRecherche(CNARecord* pclRecord, INAItemDescription* piItem, const CAny* pValue,
                                eNA_PARSEDIRECTION eDirection, int bExact, int)
{
    return _bSetRecherche(pclRecord, piItem, pValue, eDirection, bExact ? 0u : static_cast<unsigned int>(RECH_GENERIC), nullptr);
}

int CNARecherche::bRechercheEnreg(CNARecord* pclRecord, INAItemDescription* piItem, eNA_PARSEDIRECTION eDirection,
                                  int bNoContinue, const CNARefArray<CNAColumn>* ptabKey)
{
    const unsigned int nFlags = RECH_RECORD | RECH_FROMRECORD | (bNoContinue ? static_cast<unsigned int>(RECH_NOCONTINUE) : 0u);
    return _bSetRecherche(pclRecord, piItem, nullptr, eDirection, nFlags, ptabKey);
}

int CNARecherche::_bSetRecherche(CNARecord* pclRecord, INAItemDescription* piItem, const CAny* pValue,
                                 eNA_PARSEDIRECTION eDirection, unsigned int nFlags,
                                 const CNARefArray<CNAColumn>* ptabKey)
{
    _ReleaseConditions();
    if (pValue != nullptr)
        _Copy(&m_clValue, pValue);
    SBuild clBuild;
    m_pBuild = &clBuild;
    struct SEnd {
        SBuild*& pBuild;
        ~SEnd() { pBuild = nullptr; }
    } clEnd{m_pBuild};
    m_eState = STATE_SEARCHING;
    m_bCancelled = 0;
    m_eDirection = eDirection;
    m_nFlags = nFlags;
    _SetFetchItem(piItem);
    int bFailed = 0;
    CNAExpression* pclCondition = nullptr;
    if ((nFlags & RECH_RECORD) && piItem != nullptr && !piItem->bUnique() && pclRecord != nullptr) {
        // The row is found again by its first unique key with a value.
        CNAColumn* pclKey = nullptr;
        if (ptabKey != nullptr) {
            for (int i = 0; i < ptabKey->nGetNbElement() && pclKey == nullptr; i++) {
                CNAColumn* pcl = (*ptabKey)[i];
                if (CNARecord::s_bUniqueNotNull(pcl))
                    pclKey = pcl;
            }
        } else {
            pclKey = pclRecord->pclGetUniqueKeyNotNullNoRef();
        }
        if (pclKey != nullptr)
            pclCondition =
                _pclAddExpression(pclRecord, pclKey->piGetItem(), NAOP_EQ, nullptr, nFlags, nullptr, &bFailed);
    }
    if (pclCondition == nullptr && !bFailed)
        pclCondition = _pclAddExpression(pclRecord, piItem, NAOP_EQ, pValue, nFlags, ptabKey, &bFailed);
    if (bFailed || pclCondition == nullptr) {
        _Drop(pclCondition);
        m_eState = STATE_INACTIVE;
        return !bFailed;
    }
    _SetCondition(&m_pclSearch, pclCondition);
    if (!(nFlags & RECH_NOCONTINUE)) {
        const bool bCopy = piItem != nullptr && !piItem->bIsComposedKey() &&
                           !((nFlags & RECH_RECORD) && _bMayHoldEqualOrNull(piItem));
        CNAExpression** const appField[2] = {&m_pclForward, &m_pclBackward};
        const eNAOperator aeOperator[2] = {NAOP_GT, NAOP_LT};
        // On a key sorted descending the rows after the found one hold
        // smaller values; a query's own order turns them in the copies.
        const bool bDescending = piItem != nullptr && piItem->bGetDescendant(-1) &&
                                 !(pclRecord != nullptr && pclRecord->bSourceIsQuery());
        for (int i = 0; i < 2 && !bFailed; i++) {
            if (!bCopy) {
                _SetCondition(appField[i],
                              _pclAddExpression(pclRecord, piItem, aeOperator[i], pValue, nFlags, ptabKey, &bFailed));
                continue;
            }
            CNAExpression* pcl = m_pclSearch->pclClone();
            if (pcl == nullptr) {
                bFailed = _bNoMemory(kPointNoMemory) == 0;
                break;
            }
            pcl->AddRef();
            CNAExpression* pclNew = pcl->pclTransformEqualTo(pclRecord, nullptr, aeOperator[bDescending ? 1 - i : i]);
            bFailed = pclNew == nullptr;
            _SetCondition(appField[i], pclNew);
            pcl->nRelease();
        }
    }
    if (bFailed) {
        _ReleaseConditions();
        m_eState = STATE_INACTIVE;
        return 0;
    }
    _SetCondition(&m_pclCurrent, m_pclSearch);
    return 1;
}

int CNARecherche::bAddExpression(CNARecord* pclRecord, INAItemDescription* piItem, eNAOperator eOperator,
                                 const CAny* pValue, int bGeneric, eNAOperator eJoin, int bBounds)
{
    if (m_eState == STATE_INACTIVE)
        _ReleaseConditions();
    int bFailed = 0;
    const unsigned int nFlags = (bGeneric ? static_cast<unsigned int>(RECH_GENERIC) : 0u) |
                               (bBounds ? static_cast<unsigned int>(RECH_BOUNDS) : 0u);
    CNAExpression* pcl = _pclAddExpression(pclRecord, piItem, eOperator, pValue, nFlags, nullptr, &bFailed);
    if (pcl != nullptr) {
        CNAExpression* pclJoined = m_pclSearch != nullptr ? m_pclSearch->pclAddOperation(eJoin, pcl) : pcl;
        if (pclJoined == nullptr) {
            _Drop(pcl);
            bFailed = 1;
        } else {
            _SetCondition(&m_pclSearch, pclJoined);
        }
    }
    m_eState = STATE_SEARCHING;
    _SetCondition(&m_pclCurrent, m_pclSearch);
    return !bFailed;
}

int CNARecherche::bAddRecordValue(CNARecord* pclRecord, CNAColumn* pclColumn, const CAny* pValue)
{
    int bFailed = 0;
    CAny clValue;
    _Copy(&clValue, pValue);
    CNAColumn* apColumn[1] = {pclColumn};
    return _bAndCondition(_pclAddKeyExpression(pclRecord, apColumn, &clValue, 1, pclColumn->piGetItem(), 0, 0,
                                               NAOP_EQ, m_nFlags & ~RECH_GENERIC, NAOP_AND, &bFailed));
}

int CNARecherche::bAddRecordCharacters(CNAColumn* pclColumn, const CAny* pValue)
{
    int bFailed = 0;
    return _bAndCondition(_pclNewLeaf(pclColumn, NAOP_EQ, pValue,
                                      (m_nFlags & ~RECH_GENERIC) | RECH_RECORD | CNAExpression::EXPR_CHARACTERS, true,
                                      &bFailed));
}

int CNARecherche::_bAndCondition(CNAExpression* pcl)
{
    if (pcl == nullptr)
        return 0;
    // Without a condition yet, the comparison is the condition.
    CNAExpression* pclJoined = m_pclSearch != nullptr ? m_pclSearch->pclAddOperation(NAOP_AND, pcl) : pcl;
    if (pclJoined == nullptr) {
        _Drop(pcl);
        return _bNoMemory(kPointNoMemory);
    }
    m_eState = STATE_SEARCHING;
    _SetCondition(&m_pclSearch, pclJoined);
    _SetCondition(&m_pclCurrent, m_pclSearch);
    return 1;
}

namespace {

// Calls fn on each node of the tree until it answers true; whether one did.
template <class F>
bool AnyNode(CNAExpression* pclRoot, F fn)
{
    std::vector<CNAExpression*> tabLeft{pclRoot};
    while (!tabLeft.empty()) {
        CNAExpression* pcl = tabLeft.back();
        tabLeft.pop_back();
        if (pcl == nullptr)
            continue;
        if (fn(pcl))
            return true;
        tabLeft.push_back(pcl->pclGetLeftNoRef());
        tabLeft.push_back(pcl->pclGetRightNoRef());
    }
    return false;
}

} // namespace

bool CNARecherche::bCompareCharacters(const CNAColumn* pclColumn)
{
    bool bFound = false;
    AnyNode(m_pclSearch, [&](CNAExpression* pcl) {
        if (pcl->pclGetColumnNoRef() == pclColumn && pcl->eGetOperator() == NAOP_EQ) {
            pcl->SetFlags(pcl->nGetFlags() | CNAExpression::EXPR_CHARACTERS);
            bFound = true;
        }
        return false;
    });
    return bFound;
}

void CNARecherche::LeaveOut(const CNAColumn* pclColumn)
{
    AnyNode(m_pclSearch, [&](CNAExpression* pcl) {
        if (pcl->pclGetColumnNoRef() == pclColumn && pcl->pclGetLeftNoRef() == nullptr &&
            pcl->pclGetRightNoRef() == nullptr)
            pcl->SetComparison(NAOP_TRUE, nullptr, nullptr, pcl->nGetFlags());
        return false;
    });
}

bool CNARecherche::bComparesColumn(const CNAColumn* pclColumn) const
{
    return AnyNode(m_pclSearch, [&](CNAExpression* pcl) { return pcl->pclGetColumnNoRef() == pclColumn; });
}

// ---- Writing ------------------------------------------------------------------------------------------------

int CNARecherche::bGetSQL(CNACommand* pclCommand, CNAFilter* pclFilter, CNARecord* pclRecord)
{
    if (pclCommand == nullptr)
        return 0;
    pclCommand->ResetCommand(0);
    _ResetParameter();
    CNAExpression* pclCondition = m_pclCurrent;
    CNAExpression* pclAnd = nullptr;
    CNARecherche* pclFilterSearch = pclFilter;
    CNAExpression* pclFilterCondition = pclFilter != nullptr && pclFilterSearch != this && pclFilter->bIsFilterActive()
                                            ? pclFilterSearch->m_pclSearch
                                            : nullptr;
    if (pclFilterCondition != nullptr) {
        if (pclCondition == nullptr) {
            pclCondition = pclFilterCondition;
        } else {
            pclAnd = pclAllocExpression();
            if (pclAnd == nullptr)
                return _bNoMemory(kPointNoMemory);
            pclAnd->AddRef();
            pclAnd->SetOperation(NAOP_AND, pclFilterCondition, pclCondition,
                                 bIsComposedKeySearch() ? static_cast<unsigned int>(RECH_COMPOSITE) : 0u);
            pclCondition = pclAnd;
        }
    }
    if (pclCondition == nullptr)
        return 1;
    int nConstant = 0;
    int bResult = pclCondition->bGetSQL(pclCommand, NAOP_NONE, this, &nConstant, pclRecord);
    if (nConstant == NAOP_FALSE && pclCommand->bIsEmpty())
        bResult = pclCondition->_bGetSQLFromValue(pclCommand, this, &nConstant) && bResult;
    else if (nConstant == 0)
        bResult = pclCommand->bCopyColumnValuesNullSelected(pclCondition->pclGetColumnNullValueExcludedNoRef()) &&
                  bResult;
    if (pclAnd != nullptr)
        pclAnd->nRelease();
    return bResult;
}

// ---- Building -------------------------------------------------------------------------------------------------

CNAExpression* CNARecherche::_pclJoin(eNAOperator eOperator, CNAExpression* pclLeft, CNAExpression* pclRight,
                                      unsigned int nFlags, int* pbFailed)
{
    if (pclLeft == nullptr || pclRight == nullptr)
        return pclLeft != nullptr ? pclLeft : pclRight;
    CNAExpression* pcl = pclAllocExpression();
    if (pcl == nullptr) {
        _Drop(pclLeft);
        _Drop(pclRight);
        *pbFailed = 1;
        _bNoMemory(kPointNoMemory);
        return nullptr;
    }
    pcl->SetOperation(eOperator, pclLeft, pclRight, nFlags);
    return pcl;
}

CNAExpression* CNARecherche::_pclNewLeaf(CNAColumn* pclColumn, eNAOperator eOperator, const CAny* pValue,
                                         unsigned int nFlags, bool bWithColumn, int* pbFailed)
{
    CNADriver* pclDriver = CNADriver::s_pclDriver;
    if (pclDriver == nullptr) {
        *pbFailed = 1;
        _bNoMemory(kPointNoDriver);
        return nullptr;
    }
    CNARecord* pclRecord = pclColumn->pclGetRecordNoRef();
    CNAConnectionDescription* pclCnx = pclRecord != nullptr ? pclRecord->pclGetConnectionNoRef() : m_pclConnection;
    // The trees of one search share the cell of a value: a leaf never
    // changes its value.
    CNAConvertVariant* pclCell = m_pBuild != nullptr ? m_pBuild->pclFind(pclColumn, bWithColumn, pValue) : nullptr;
    if (pclCell == nullptr) {
        pclCell = pclDriver->pclGetNewVariant_NV_Any(m_pclError, pclCnx, bWithColumn ? pclColumn : nullptr, pValue);
        if (pclCell != nullptr && m_pBuild != nullptr) {
            std::unique_ptr<SBuild::SCell> p(new (std::nothrow) SBuild::SCell);
            if (p != nullptr) {
                p->pclColumn = pclColumn;
                p->bWithColumn = bWithColumn;
                _Copy(&p->clValue, pValue);
                p->pclCell = pclCell;
                pclCell->AddRef();
                m_pBuild->tabCell.push_back(std::move(p));
            }
        }
    }
    CNAExpression* pcl = pclCell != nullptr ? pclAllocExpression() : nullptr;
    if (pclCell != nullptr) {
        pclCell->AddRef();
        if (pcl != nullptr)
            pcl->SetComparison(eOperator, pclColumn, pclCell, nFlags);
        pclCell->nRelease();
    }
    if (pcl == nullptr) {
        *pbFailed = 1;
        // A value that could not be converted has already said why.
        if (pclCell != nullptr || m_pclError == nullptr || m_pclError->eGetErrorType() == NA_ERRORTYPE_NONE)
            _bNoMemory(kPointNoMemory);
    }
    return pcl;
}

CNAExpression* CNARecherche::_pclAddExpression(CNARecord* pclRecord, INAItemDescription* piItem,
                                               eNAOperator eOperator, const CAny* pValue, unsigned int nFlags,
                                               const CNARefArray<CNAColumn>* ptabKey, int* pbFailed)
{
    CNAColumn* pclColumn = pclRecord != nullptr && piItem != nullptr ? pclRecord->pclGetColumnNoRef(piItem) : nullptr;
    if (pclColumn == nullptr)
        return nullptr;
    CNAConnectionDescription* pclCnx =
        pclRecord->pclGetConnectionNoRef() != nullptr ? pclRecord->pclGetConnectionNoRef() : m_pclConnection;
    if (!(nFlags & (RECH_RECORD | RECH_FROMRECORD)) && pValue != nullptr &&
        CNAExpression::s_bExpressionTrue(eOperator, pclCnx, pValue))
        return nullptr;
    if (nFlags & RECH_RECORD) {
        if (piItem->bUnique() && !pclColumn->bIsComposedKey() && pclColumn->bValueDefined())
            return _pclAddExpression_OneItem(pclRecord, pclColumn, piItem, eOperator, pValue, nFlags, pbFailed);
        CNAColumn* pclKey = eOperator == NAOP_EQ ? pclRecord->pclGetUniqueKeyNotNullNoRef() : nullptr;
        if (pclKey != nullptr && !pclKey->bIsComposedKey())
            return _pclAddExpression_OneItem(pclRecord, pclKey, pclKey->piGetItem(), eOperator, pValue, nFlags,
                                             pbFailed);
    } else if (!pclColumn->bIsComposedKey()) {
        return _pclAddExpression_OneItem(pclRecord, pclColumn, piItem, eOperator, pValue, nFlags, pbFailed);
    }
    return _pclAddExpression_MultipleItems(pclRecord, pclColumn, piItem, eOperator, pValue, nFlags, ptabKey,
                                           pbFailed);
}

CNAExpression* CNARecherche::_pclAddExpression_OneItem(CNARecord* pclRecord, CNAColumn* pclColumn,
                                                       INAItemDescription* piItem, eNAOperator eOperator,
                                                       const CAny* pValue, unsigned int nFlags, int* pbFailed)
{
    CAny clValue;
    if (nFlags & (RECH_RECORD | RECH_FROMRECORD)) {
        pclColumn->bGetCurrentValue(&clValue, 0);
    } else if (pValue != nullptr) {
        _Copy(&clValue, pValue);
    } else {
        clValue.__SetType(pclColumn->eGetTQType(), 0);
        clValue.SetNullFlag(true);
    }
    CNAColumn* apColumn[1] = {pclColumn};
    if (!(nFlags & RECH_BOUNDS)) {
        if (_bTermineParCaract0(&clValue))
            nFlags &= ~RECH_GENERIC;
        return _pclAddKeyExpression(pclRecord, apColumn, &clValue, 1, piItem, 0, 0, eOperator, nFlags, NAOP_AND,
                                    pbFailed);
    }
    // A key value of the engine: its markers decide the comparison.
    const eCHECKVALUE eCheck = eCheckValue(&clValue);
    const unsigned short nType = clValue.nGetTypeCode();
    bool bEmpty = false;
    if (_bIsTextType(nType) && !_bNone(&clValue)) {
        std::wstring s = _Units(&clValue);
        if (eCheck == CHECKVALUE_MAX && !s.empty() && _bIsMaxChar(nType, s.back())) {
            s.pop_back();
            _SetUnits(&clValue, s);
        }
        bEmpty = s.empty();
    }
    if (bEmpty && eOperator != NAOP_EQ)
        return nullptr;
    if (eOperator == NAOP_EQ) {
        nFlags |= RECH_GENERIC;
    } else if (eCheck != CHECKVALUE_ORDINARY) {
        nFlags |= RECH_GENERIC;
        if (eOperator == NAOP_LE && eCheck == CHECKVALUE_MAX &&
            (nType == TQTYPE_DATEA || nType == TQTYPE_TIMEA || nType == TQTYPE_DATETIME)) {
            CAny clUpper;
            if (CNAExpression::s_bGetBorneRechercheDateMax(pclColumn->eNAGetItemType(), &clValue, &clUpper)) {
                _Copy(&clValue, &clUpper);
                eOperator = NAOP_LT;
            }
        } else if (eOperator == NAOP_LT && eCheck == CHECKVALUE_MAX && _bIsTextType(nType)) {
            eOperator = NAOP_LE;
        }
    }
    return _pclAddBorne(pclRecord, apColumn, &clValue, 1, piItem, 0, eOperator, nFlags, pbFailed);
}

CNAExpression* CNARecherche::_pclAddExpression_MultipleItems(CNARecord* pclRecord, CNAColumn* pclColumn,
                                                             INAItemDescription* piItem, eNAOperator eOperator,
                                                             const CAny* pValue, unsigned int nFlags,
                                                             const CNARefArray<CNAColumn>* ptabKey, int* pbFailed)
{
    CRefArray<CNAColumn> tabKey(10);
    INAItemDescription* piKey = piItem;
    bool bRecordValues = true;
    CNAColumn* pclUnique =
        (nFlags & RECH_RECORD) && eOperator == NAOP_EQ ? pclRecord->pclGetUniqueKeyNotNullNoRef() : nullptr;
    auto AddComponents = [&](CNAColumn* pclKey) {
        CNARefArray<CNAColumn>* ptab = pclKey->pclGetTabComponent();
        for (int i = 0; ptab != nullptr && i < ptab->nGetNbElement(); i++)
            tabKey.Ajoute((*ptab)[i]);
    };
    if ((nFlags & RECH_RECORD) && eOperator == NAOP_EQ && pclUnique != nullptr && pclUnique->bIsComposedKey()) {
        // The row itself, by its unique composite key.
        AddComponents(pclUnique);
        piKey = pclUnique->piGetItem();
    } else if (nFlags & RECH_RECORD) {
        if (ptabKey != nullptr) {
            for (int i = 0; i < ptabKey->nGetNbElement(); i++)
                tabKey.Ajoute((*ptabKey)[i]);
        } else if (!pclRecord->_AddAllItem(&tabKey)) {
            *pbFailed = 1;
            return nullptr;
        }
        // The searched column first; a composite key as its components.
        Columns front;
        if (pclColumn->bIsComposedKey()) {
            CNARefArray<CNAColumn>* ptab = pclColumn->pclGetTabComponent();
            for (int i = 0; ptab != nullptr && i < ptab->nGetNbElement(); i++)
                front.push_back((*ptab)[i]);
        } else {
            front.push_back(pclColumn);
        }
        for (int k = static_cast<int>(front.size()) - 1; k >= 0; k--) {
            CNAColumn* pcl = front[static_cast<size_t>(k)];
            if (pcl == nullptr)
                continue;
            pcl->AddRef();
            for (int i = tabKey.nGetNbElement() - 1; i >= 0; i--)
                if (tabKey[i] != nullptr && STR_nCompareW(tabKey[i]->pszGetName(), pcl->pszGetName(), 1) == 0)
                    tabKey.Supprime(i);
            tabKey.Insere(pcl, 0);
            pcl->nRelease();
        }
    } else {
        AddComponents(pclColumn);
        bRecordValues = (nFlags & RECH_FROMRECORD) != 0;
    }
    const Columns cols = _View(tabKey);
    const int nColumns = static_cast<int>(cols.size());
    std::unique_ptr<CAny[]> values(new CAny[static_cast<size_t>(nColumns)]);
    int nValues = 0;
    int nBound = BOUND_NONE;
    if (bRecordValues) {
        for (int i = 0; i < nColumns; i++)
            cols[static_cast<size_t>(i)]->bGetCurrentValue(&values[static_cast<size_t>(i)], 0);
        nValues = nColumns;
    } else if (m_pBuild != nullptr && m_pBuild->pclSplitKey == pclColumn && m_pBuild->nSplit <= nColumns) {
        for (int i = 0; i < m_pBuild->nSplit; i++)
            _Copy(&values[static_cast<size_t>(i)], &m_pBuild->pSplit[static_cast<size_t>(i)]);
        nValues = m_pBuild->nSplit;
        nBound = m_pBuild->nSplitBound;
    } else {
        nBound = s_nGetComponentValue(pclColumn, pValue, (nFlags & (RECH_BOUNDS | RECH_GENERIC)) != 0, values.get(),
                                      nColumns, &nValues);
        if (m_pBuild != nullptr) {
            // Kept for the other conditions of the search (the same value).
            m_pBuild->pSplit.reset(new CAny[static_cast<size_t>(nValues)]);
            for (int i = 0; i < nValues; i++)
                _Copy(&m_pBuild->pSplit[static_cast<size_t>(i)], &values[static_cast<size_t>(i)]);
            m_pBuild->nSplit = nValues;
            m_pBuild->nSplitBound = nBound;
            m_pBuild->pclSplitKey = pclColumn;
        }
    }
    if (eOperator == NAOP_EQ)
        return _pclAddKeyExpressionEq(pclRecord, cols.data(), values.get(), nValues, nColumns, piKey, nFlags,
                                      pbFailed);
    int n;
    if (nFlags & RECH_RECORD) {
        n = (nFlags & RECH_GENERIC) ? nValues : nColumns;
    } else {
        n = (nFlags & (RECH_BOUNDS | RECH_GENERIC)) ? nValues : nColumns;
        if ((nFlags & RECH_BOUNDS) && nValues >= 1 &&
            ((eOperator == NAOP_LE && nBound == BOUND_MAX) || (eOperator == NAOP_GE && nBound == BOUND_MIN)))
            n--;
    }
    return _pclAddKeyExpressionInfSup(pclRecord, cols.data(), values.get(), nValues, n, piKey, eOperator, nFlags,
                                      pbFailed);
}

CNAExpression* CNARecherche::_pclAddKeyExpression(CNARecord* pclRecord, CNAColumn* const* ppclColumns,
                                                  CAny* pValues, int nValues, INAItemDescription* piKey, int nFrom,
                                                  int nTo, eNAOperator eOperator, unsigned int nFlags,
                                                  eNAOperator eJoin, int* pbFailed)
{
    CNAColumn* pclColumn = ppclColumns[nFrom];
    bool bDescending;
    if (piKey != nullptr) {
        // Components are counted from 1, as the key item hands them out.
        bDescending = piKey->bGetDescendant(nFrom + 1) != 0;
    } else {
        const int nSens = CNAExpression::s_eGetSensTriColonne(pclRecord, pclColumn);
        if (nSens < 0) {
            *pbFailed = 1;
            return nullptr;
        }
        bDescending = nSens == 1;
    }
    eNAOperator e = bDescending ? CNAExpression::s_eInvertOperator(eOperator) : eOperator;
    const unsigned short nType = pclColumn->eGetTQType();
    CAny clValue;
    if (nFrom < nValues) {
        _Copy(&clValue, &pValues[nFrom]);
    } else {
        clValue.__SetType(nType, 0);
        if (nType == TQTYPE_DATEA || nType == TQTYPE_DATETIME) {
            clValue.SetNullFlag(true);
            e = NAOP_ISNULL;
        }
    }
    // A date or time text stays as it was given: the column's type would
    // complete a partial one or refuse it.
    const bool bDateTime = nType == TQTYPE_DATEA || nType == TQTYPE_TIMEA || nType == TQTYPE_DATETIME;
    const bool bWithColumn = !(bDateTime && ((nFlags & RECH_GENERIC) || _bIsTextType(clValue.nGetTypeCode())));
    const unsigned int nLeafFlags = bIsComposedKeySearch() ? (nFlags | RECH_COMPOSITE) : nFlags;
    CNAExpression* pclLeaf = _pclNewLeaf(pclColumn, e, &clValue, nLeafFlags, bWithColumn, pbFailed);
    if (pclLeaf == nullptr || nFrom >= nTo)
        return pclLeaf;
    CNAExpression* pclNext = _pclAddKeyExpression(pclRecord, ppclColumns, pValues, nValues, piKey, nFrom + 1, nTo,
                                                  eOperator, nFlags, eJoin, pbFailed);
    if (pclNext == nullptr) {
        _Drop(pclLeaf);
        return nullptr;
    }
    return _pclJoin(eJoin, pclLeaf, pclNext, nFlags, pbFailed);
}

CNAExpression* CNARecherche::_pclAddBorne(CNARecord* pclRecord, CNAColumn* const* ppclColumns, CAny* pValues,
                                          int nValues, INAItemDescription* piKey, int nIndex, eNAOperator eOperator,
                                          unsigned int nFlags, int* pbFailed)
{
    const unsigned short nType = ppclColumns[nIndex]->eGetTQType();
    if (!(nFlags & RECH_GENERIC) || !_bIsGenericBoundType(nType) || (eOperator != NAOP_LE && eOperator != NAOP_GT))
        return _pclAddKeyExpression(pclRecord, ppclColumns, pValues, nValues, piKey, nIndex, nIndex, eOperator,
                                    nFlags, NAOP_AND, pbFailed);
    // Up to and through the prefix, or past it.
    const bool bLE = eOperator == NAOP_LE;
    CNAExpression* pclExact = _pclAddKeyExpression(pclRecord, ppclColumns, pValues, nValues, piKey, nIndex, nIndex,
                                                   bLE ? NAOP_LT : NAOP_GT, nFlags & ~RECH_GENERIC, NAOP_AND,
                                                   pbFailed);
    if (pclExact == nullptr)
        return nullptr;
    CNAExpression* pclPrefix = _pclAddKeyExpression(pclRecord, ppclColumns, pValues, nValues, piKey, nIndex, nIndex,
                                                    bLE ? NAOP_EQ : NAOP_NE, nFlags, NAOP_AND, pbFailed);
    if (pclPrefix == nullptr) {
        _Drop(pclExact);
        return nullptr;
    }
    return _pclJoin(bLE ? NAOP_OR : NAOP_AND, pclExact, pclPrefix, nFlags, pbFailed);
}

CNAExpression* CNARecherche::_pclAddKeyExpressionEq(CNARecord* pclRecord, CNAColumn* const* ppclColumns,
                                                    CAny* pValues, int nValues, int nColumns,
                                                    INAItemDescription* piKey, unsigned int nFlags, int* pbFailed)
{
    const bool bGeneric = (nFlags & RECH_GENERIC) != 0;
    int n = ((nFlags & RECH_BOUNDS) || bGeneric) ? nValues : nColumns;
    if (n > nColumns)
        n = nColumns;
    if (n <= 0)
        return nullptr;
    if (!(nFlags & RECH_RECORD)) {
        // A component that alone finds the row ends the condition.
        for (int i = 0; i < n; i++) {
            CNAColumn* pcl = ppclColumns[i];
            const bool bUnique = pcl->bUniqueNotNull() ||
                                 (pcl->bUnique() && i < nValues && !pcl->bNullOrEquivalent(&pValues[i]));
            if (!bUnique)
                continue;
            if (bGeneric && i == n - 1)
                break;
            return _pclAddKeyExpression(pclRecord, ppclColumns, pValues, nValues, piKey, i, i, NAOP_EQ,
                                        nFlags & ~RECH_GENERIC, NAOP_AND, pbFailed);
        }
    }
    CNAExpression* pclHead = nullptr;
    if (n > 1) {
        pclHead = _pclAddKeyExpression(pclRecord, ppclColumns, pValues, nValues, piKey, 0, n - 2, NAOP_EQ,
                                       nFlags & ~RECH_GENERIC, NAOP_AND, pbFailed);
        if (pclHead == nullptr)
            return nullptr;
    }
    CNAExpression* pclLast = _pclAddKeyExpression(pclRecord, ppclColumns, pValues, nValues, piKey, n - 1, n - 1,
                                                  NAOP_EQ, nFlags, NAOP_AND, pbFailed);
    if (pclLast == nullptr) {
        _Drop(pclHead);
        return nullptr;
    }
    return _pclJoin(NAOP_AND, pclHead, pclLast, nFlags, pbFailed);
}

CNAExpression* CNARecherche::_pclAddKeyExpressionInfSup(CNARecord* pclRecord, CNAColumn* const* ppclColumns,
                                                        CAny* pValues, int nValues, int nCount,
                                                        INAItemDescription* piKey, eNAOperator eOperator,
                                                        unsigned int nFlags, int* pbFailed)
{
    if (nCount <= 0)
        return nullptr;
    std::unique_ptr<CColumnNullValueExcluded> pNulls;
    const CRefArray<CNAColumn>* ptabComposite = pclRecord->pclGetTabCompositeKey();
    if (ptabComposite != nullptr && ptabComposite->nGetNbElement() > 0) {
        pNulls.reset(new (std::nothrow) CColumnNullValueExcluded);
        if (!pNulls) {
            *pbFailed = 1;
            _bNoMemory(kPointNoMemory);
            return nullptr;
        }
    }
    return _pclAddKeyExpressionInfSupIndice(pclRecord, ppclColumns, pValues, nValues, nCount, 0, piKey, eOperator,
                                            nFlags, pNulls.get(), pbFailed);
}

CNAExpression* CNARecherche::_pclAddKeyExpressionInfSupIndice(CNARecord* pclRecord, CNAColumn* const* ppclColumns,
                                                              CAny* pValues, int nValues, int nCount, int nIndex,
                                                              INAItemDescription* piKey, eNAOperator eOperator,
                                                              unsigned int nFlags, CColumnNullValueExcluded* pclNulls,
                                                              int* pbFailed)
{
    if (nIndex == nCount - 1) {
        if (eOperator == NAOP_LE && nIndex < nValues && _bIsTextType(pValues[nIndex].nGetTypeCode())) {
            // The largest character ends the value: the rows of the prefix.
            const unsigned short nType = pValues[nIndex].nGetTypeCode();
            std::wstring s = _Units(&pValues[nIndex]);
            if (!s.empty() && _bIsMaxChar(nType, s.back())) {
                s.pop_back();
                _SetUnits(&pValues[nIndex], s);
                nFlags |= RECH_GENERIC;
            }
        }
        return _pclAddBorne(pclRecord, ppclColumns, pValues, nValues, piKey, nIndex, eOperator, nFlags, pbFailed);
    }
    CNAColumn* pclColumn = ppclColumns[nIndex];
    const unsigned int nExact = nFlags & ~RECH_GENERIC;
    const eNAOperator eStrict = eOperator == NAOP_GE || eOperator == NAOP_GT ? NAOP_GT : NAOP_LT;
    CNAExpression* pclStrict = _pclAddKeyExpression(pclRecord, ppclColumns, pValues, nValues, piKey, nIndex, nIndex,
                                                    eStrict, nExact, NAOP_AND, pbFailed);
    if (pclStrict == nullptr)
        return nullptr;
    const int bStrictNull = pclStrict->bColumnValuesNullSelected(pclColumn);
    if (pclNulls != nullptr)
        pclNulls->bSetColumnValuesNullSelected(pclColumn, bStrictNull);
    if ((eOperator == NAOP_GT || eOperator == NAOP_LT) &&
        pclRecord->bComposedKeyUniqueNotNullAdded(ppclColumns, nIndex + 1, pclNulls))
        return pclStrict;
    CNAExpression* pclEqual = _pclAddKeyExpression(pclRecord, ppclColumns, pValues, nValues, piKey, nIndex, nIndex,
                                                   NAOP_EQ, nExact, NAOP_AND, pbFailed);
    if (pclEqual == nullptr) {
        _Drop(pclStrict);
        return nullptr;
    }
    if (pclNulls != nullptr)
        pclNulls->bSetColumnValuesNullSelected(pclColumn,
                                               bStrictNull || pclEqual->bColumnValuesNullSelected(pclColumn));
    CNAExpression* pclRest = _pclAddKeyExpressionInfSupIndice(pclRecord, ppclColumns, pValues, nValues, nCount,
                                                              nIndex + 1, piKey, eOperator, nFlags, pclNulls,
                                                              pbFailed);
    if (*pbFailed) {
        _Drop(pclStrict);
        _Drop(pclEqual);
        return nullptr;
    }
    CNAExpression* pclAnd = _pclJoin(NAOP_AND, pclEqual, pclRest, nFlags, pbFailed);
    if (pclAnd == nullptr) {
        _Drop(pclStrict);
        return nullptr;
    }
    return _pclJoin(NAOP_OR, pclStrict, pclAnd, nFlags, pbFailed);
}
