#include "common/values/NAVariant.h"

#include "access/driver/NaDriver.h" // copies are made by the driver's cell factory
#include "common/text/Tstring.h"
#include "common/text/XYString.h"
#include "common/values/AnyConvert.h"
#include "common/values/Decimal.h"
#include "common/values/NACnvVariant.h"
#include "common/values/monetaire.h"

#include <cstdint>
#include <cstring>

namespace {

// Statuses up to this one are successes (with a remark above 0).
const int kMaxSuccess = 99;

} // namespace

CNAVariant::CNAVariant() {}

CNAVariant::~CNAVariant() {}

// ---- Virtual operations -------------------------------------------------------------------

int CNAVariant::vbChangeTQType(unsigned short nType, int)
{
    return m_clValue.__nCastTo(nType, nullptr, 1) <= kMaxSuccess;
}

int CNAVariant::vbGetValue(CAny* pclDest) const
{
    return bGetValue(pclDest);
}

int CNAVariant::vbIsEmpty() const
{
    return m_clValue.nGetTypeCode() == TQTYPE_VIDE;
}

void* CNAVariant::vpGetData() const
{
    return pGetData();
}

unsigned int CNAVariant::vnGetSize() const
{
    return nGetSize();
}

CNAConnectionDescription* CNAVariant::pclGetCnx()
{
    return nullptr;
}

// ---- Access ---------------------------------------------------------------------------------

int CNAVariant::bGetValue(CAny** ppclValue)
{
    *ppclValue = &m_clValue;
    return 1;
}

int CNAVariant::bGetValue(const CAny** ppclValue) const
{
    *ppclValue = &m_clValue;
    return 1;
}

void* CNAVariant::pGetData() const
{
    if (m_clValue.nGetTypeCode() == TQTYPE_VIDE)
        return nullptr;
    void* p = nullptr;
    m_clValue.pclGetTraitement()->nGetDataAdr(&p);
    return p;
}

unsigned int CNAVariant::nGetSize() const
{
    unsigned int n = 0;
    m_clValue.pclGetTraitement()->nGetDataSize(&n);
    return n;
}

unsigned int CNAVariant::nGetUtilDataSize() const
{
    unsigned int n = 0;
    m_clValue.pclGetTraitement()->nGetUtilDataSize(&n);
    return n;
}

eNA_ITEMTYPE CNAVariant::eNAGetItemTypeValue() const
{
    return ConvertTQTypeToeItem(m_clValue.nGetTypeCode());
}

int CNAVariant::bChangeItemType(eNA_ITEMTYPE eType, int nGeneric)
{
    return vbChangeTQType(static_cast<unsigned short>(ConverteItemToTQType(eType, -1)), nGeneric);
}

// ---- Setters ----------------------------------------------------------------------------------

int CNAVariant::_bSetTyped(unsigned short nType, const void* p)
{
    m_clValue.__SetType(nType, 0);
    m_clValue.pclGetTraitement()->SetValue(p);
    m_clValue.SetFlags(0);
    return 1;
}

int CNAVariant::bSetValue(bool b)
{
    // The host boolean is stored on 32 bits.
    const std::int32_t n = b ? 1 : 0;
    return _bSetTyped(TQTYPE_BOOL, &n);
}

int CNAVariant::bSetValue(unsigned char n) { return _bSetTyped(TQTYPE_UI1, &n); }
int CNAVariant::bSetValue(unsigned short n) { return _bSetTyped(TQTYPE_UI2, &n); }
int CNAVariant::bSetValue(unsigned int n) { return _bSetTyped(TQTYPE_UI4, &n); }
int CNAVariant::bSetValue(unsigned long long n) { return _bSetTyped(TQTYPE_UI8, &n); }
int CNAVariant::bSetValue(char n) { return _bSetTyped(TQTYPE_I1, &n); }
int CNAVariant::bSetValue(short n) { return _bSetTyped(TQTYPE_I2, &n); }
int CNAVariant::bSetValue(int n) { return _bSetTyped(TQTYPE_I4, &n); }
int CNAVariant::bSetValue(long long n) { return _bSetTyped(TQTYPE_I8, &n); }
int CNAVariant::bSetValue(const CMoney& m) { return _bSetTyped(TQTYPE_CY, &m); }
int CNAVariant::bSetValue(float f) { return _bSetTyped(TQTYPE_R4, &f); }
int CNAVariant::bSetValue(double d) { return _bSetTyped(TQTYPE_R8, &d); }

int CNAVariant::bSetValue(const unsigned char* p, unsigned int n)
{
    m_clValue.pclGetTraitement()->SetValue(p, n);
    m_clValue.SetFlags(0);
    return 1;
}

int CNAVariant::bSetValue(const CAny* pclSource)
{
    if (pclSource == &m_clValue || pclSource == nullptr)
        return 1;
    m_clValue._Release();
    m_clValue.__SetType(TQTYPE_VIDE, 0);
    m_clValue.__SetType(pclSource->nGetTypeCode(), 0);
    pclSource->pclGetTraitement()->Duplique(&m_clValue);
    return 1;
}

int CNAVariant::bGetValue(CAny* pclDest) const
{
    if (pclDest == &m_clValue || pclDest == nullptr)
        return 1;
    pclDest->_Release();
    pclDest->__SetType(TQTYPE_VIDE, 0);
    pclDest->__SetType(m_clValue.nGetTypeCode(), 0);
    m_clValue.pclGetTraitement()->Duplique(pclDest);
    return 1;
}

int CNAVariant::bCopyVariant(const CNAVariant* pclSource)
{
    if (pclSource != nullptr) {
        const CAny* pclValue = nullptr;
        pclSource->bGetValue(&pclValue);
        return bSetValue(pclValue);
    }
    const unsigned char nType = m_clValue.nGetTypeCode();
    m_clValue.__SetType(TQTYPE_VIDE, 0);
    m_clValue.__SetType(nType, 0);
    m_clValue.SetNullFlag(true);
    return 1;
}

CNAConvertVariant* CNAVariant::pclGetCloneVariant() const
{
    if (CNADriver::s_pclDriver == nullptr)
        return nullptr;
    CNAConvertVariant* pclClone = CNADriver::s_pclDriver->pclAllocVariant(nullptr, nullptr);
    if (pclClone == nullptr)
        return nullptr;
    // A new cell has no storage yet: the copy must land in its own value.
    pclClone->InitTypeVariantAny(m_clValue.nGetTypeCode(), 0);
    pclClone->CNAVariant::bCopyVariant(this);
    return pclClone;
}

// ---- Comparisons ------------------------------------------------------------------------------

int CNAVariant::bEqualsNAVariant(const CAny* pclOther) const
{
    const bool bThisNull = m_clValue.bIsNull() || m_clValue.nGetTypeCode() == TQTYPE_VIDE;
    const bool bOtherNull =
        pclOther == nullptr || pclOther->bIsNull() || pclOther->nGetTypeCode() == TQTYPE_VIDE;
    if (bThisNull && bOtherNull)
        return 1;
    if (pclOther == nullptr)
        return 0;
    int nResult = 0;
    nEgalite(&m_clValue, pclOther, &nResult, 0);
    return nResult != 0;
}

int CNAVariant::bEqualsNAVariant(const CNAVariant* pclOther) const
{
    if (pclOther == this)
        return 1;
    return bEqualsNAVariant(pclOther != nullptr ? &pclOther->m_clValue : nullptr);
}

int CNAVariant::g_bEqualsNAVariant(const CNAConvertVariant* a, const CNAConvertVariant* b)
{
    const bool bNullA = a == nullptr || a->pclGetValue()->bIsNull();
    const bool bNullB = b == nullptr || b->pclGetValue()->bIsNull();
    if (bNullA && bNullB)
        return 1;
    if (bNullA || bNullB)
        return 0;
    return a->bEqualsNAVariant(b);
}

namespace {

int Signe(int n)
{
    return n < 0 ? -1 : (n > 0 ? 1 : 0);
}

} // namespace

int CNAVariant::nCmp(const CAny* pclOther) const
{
    if (pclOther == nullptr)
        return 1;
    if (m_clValue.nGetTypeCode() == pclOther->nGetTypeCode()) {
        unsigned int nOther = 0;
        pclOther->pclGetTraitement()->nGetDataSize(&nOther);
        const unsigned int nThis = nGetSize();
        if (nThis == nOther) {
            if (nThis == 0)
                return 0;
            void* pOther = nullptr;
            pclOther->pclGetTraitement()->nGetDataAdr(&pOther);
            const void* pThis = pGetData();
            // Without bytes on either side only the host can compare.
            if (pThis != nullptr && pOther != nullptr)
                return Signe(std::memcmp(pThis, pOther, nThis));
        }
    }
    int nResult = 0;
    nCompare(&m_clValue, pclOther, &nResult, 0);
    return nResult;
}

int CNAVariant::nCmp(const CNAVariant* pclOther) const
{
    if (pclOther == this)
        return 0;
    return nCmp(pclOther != nullptr ? &pclOther->m_clValue : nullptr);
}

// ---- Tests ------------------------------------------------------------------------------------

bool CNAVariant::s_bIsText8(unsigned char nType)
{
    switch (nType) {
    case 17: case 18: case 19: case 21: case 22: case 23: case 134:
        return true;
    default:
        return false;
    }
}

bool CNAVariant::s_bIsTextW(unsigned char nType)
{
    switch (nType) {
    case 16: case 20: case 81: case 110:
        return true;
    default:
        return false;
    }
}

int CNAVariant::_s_bIsEmptyText(unsigned char nType, const void* p, unsigned int nBound, bool bEx, bool bUTF16)
{
    const bool b8 = s_bIsText8(nType) || (bEx && (nType == TQTYPE_DATEA || nType == TQTYPE_TIMEA));
    const bool bW = s_bIsTextW(nType) || (bEx && (nType == TQTYPE_DATEW || nType == TQTYPE_TIMEW));
    if (!b8 && !bW)
        return 0;
    // Bytes that cannot hold one character hold none.
    const unsigned int nUnit = b8 ? 1 : (bUTF16 ? 2 : 4);
    if (p == nullptr || nBound < nUnit)
        return 1;
    const unsigned char* pby = static_cast<const unsigned char*>(p);
    for (unsigned int i = 0; i < nUnit; i++)
        if (pby[i] != 0)
            return 0;
    return 1;
}

int CNAVariant::bIsEmptyString() const
{
    if (m_clValue.bIsNull() || vbIsEmpty())
        return 1;
    return _s_bIsEmptyText(m_clValue.nGetTypeCode(), vpGetData(), vnGetSize(), false, false);
}

int CNAVariant::bIsEmptyStringEx() const
{
    if (m_clValue.bIsNull() || vbIsEmpty())
        return 1;
    return _s_bIsEmptyText(m_clValue.nGetTypeCode(), vpGetData(), vnGetSize(), true, false);
}

int CNAVariant::bIsNumeric0() const
{
    if (m_clValue.bIsNull() || vbIsEmpty())
        return 1;
    const unsigned char nType = m_clValue.nGetTypeCode();
    if (nType < TQTYPE_BOOL || nType > TQTYPE_UIX)
        return 0;
    CAny clCopy;
    if (!vbGetValue(&clCopy))
        return 1;
    if (clCopy.__nCastTo(TQTYPE_R8, nullptr, 1) > kMaxSuccess || clCopy.nGetType() != TQTYPE_R8)
        return 0;
    double d = 1.0;
    clCopy.nGetREAL(&d);
    return d == 0.0;
}

int CNAVariant::bCouldBeNullOnKX() const
{
    return bIsEmptyStringEx() || bIsNumeric0();
}

// ---- Other -----------------------------------------------------------------------------------

unsigned int CNAVariant::nChecksum32() const
{
    return s_nChecksum32(vpGetData(), vnGetSize());
}

unsigned int CNAVariant::s_nChecksum32(const void* pData, unsigned int n)
{
    const unsigned char* p = static_cast<const unsigned char*>(pData);
    if (p == nullptr)
        return 0;
    std::uint32_t nSum = 0;
    unsigned int i = 0;
    for (; i + 4 <= n; i += 4) {
        std::uint32_t w;
        std::memcpy(&w, p + i, sizeof(w));
        nSum += w;
    }
    for (; i < n; i++)
        nSum += p[i];
    return nSum;
}

namespace {

// Digits and decimals of a decimal value's object; false without one.
bool DecimalInfo(const CAny& clValue, int* pnDigits, int* pnDecimals)
{
    IDecimal* piDecimal = nullptr;
    clValue.pclGetTraitement()->nFillBuffer(&piDecimal);
    if (piDecimal == nullptr)
        return false;
    *pnDigits = piDecimal->nGetDigits();
    *pnDecimals = piDecimal->nGetDecimals();
    return true;
}

} // namespace

int CNAVariant::bGetDecimalInfo(int* pnDigits, int* pnDecimals) const
{
    *pnDigits = 0;
    *pnDecimals = 0;
    if (m_clValue.nGetTypeCode() == TQTYPE_DECIMAL) {
        if (m_clValue.bIsNull())
            return 0;
        return DecimalInfo(m_clValue, pnDigits, pnDecimals);
    }
    CAny clCopy;
    bGetValue(&clCopy);
    if (clCopy.__nCastTo(TQTYPE_DECIMAL, nullptr, 1) >= 100 || clCopy.nGetType() != TQTYPE_DECIMAL)
        return 0;
    return DecimalInfo(clCopy, pnDigits, pnDecimals);
}

void CNAVariant::GetString(CXYString<wchar_t>* pclOut, const wchar_t* pszFormat, int n) const
{
    CAny clCopy;
    vbGetValue(&clCopy);
    nGetString(pclOut, clCopy, pszFormat, n);
}

void CNAVariant::GetString(CTString* pclOut, const wchar_t* pszFormat, int n) const
{
    CXYString<wchar_t> clText;
    GetString(&clText, pszFormat, n);
    pclOut->Set(clText.pszGet());
}
