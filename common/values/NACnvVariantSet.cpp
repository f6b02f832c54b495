// Storing host-side values in a value cell: host values with their
// conversion to the cell's host type, native C values, texts, raw bytes,
// binaries, system times, the change of host type, and a date-time written
// as text in the cell's date format.
#include "common/values/NACnvVariant.h"

// Host values are stored for an item, in the connection's code page, with
// failures reported in the driver's error object.
#include "access/driver/NAConnectionDescription.h" // conversions follow the connection's code pages and data source
#include "access/driver/NAError.h" // failures are reported on the driver's error object
#include "access/driver/NAItemDescription.h" // the item description gives the target type and size
#include "common/platform/MyModuleInfo.h"
#include "common/platform/WinApi.h"
#include "common/platform/XError.h"
#include "common/platform/XTime.h"
#include "common/text/UnicodeCodec.h"
#include "common/text/CodePage.h"
#include "common/text/TQBIN.h"
#include "common/text/TextBasics.h"
#include "common/text/Tstring.h"
#include "common/text/XYString.h"
#include "common/values/AnyConvert.h"
#include "common/values/Decimal.h"
#include "common/values/datetime.h"
#include "common/values/monetaire.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

namespace {

const int kMaxSuccess = 99;
// Texts of fewer bytes are widened in a stack buffer on their way into a record.
const unsigned kShortWide = 256;

// File and point numbers of the debug line of a failed conversion.
const int kFileStore = 12;
const int kPointDateText = 2;
const int kPointCast = 3;
const int kPointText = 6;
// Bytes of a refused text shown in its failure.
const unsigned kShownBytes = 32;

bool bText8(unsigned char t)
{
    switch (t) {
    case 17: case 18: case 19: case 21: case 22: case 23: case 128: case 129: case 134:
        return true;
    default:
        return false;
    }
}

bool bTextW(unsigned char t)
{
    switch (t) {
    case 16: case 20: case 24: case 25: case 81: case 110:
        return true;
    default:
        return false;
    }
}

bool bTextLike(unsigned char t)
{
    return (t >= 16 && t <= 25) || t == 81 || t == 110 || t == 128 || t == 129 || t == 134;
}

// Plain texts, without the date and time texts.
bool bTextPlain(unsigned char t)
{
    return (t >= 16 && t <= 23) || t == 81 || t == 110 || t == 134;
}

eNA_ITEMTYPE TypeOf(const INAItemDescription* pi)
{
    return pi != nullptr ? pi->eNAGetItemType() : NA_IT_EMPTY;
}

unsigned HostCodePage(const CNAConnectionDescription* pclConnection)
{
    const int n = pclConnection != nullptr ? pclConnection->nGetHostCodePage() : -1;
    return n == -1 ? STR_nGetCurrentCodePage() : static_cast<unsigned>(n);
}

// Whole characters of p converted to the code page, as many as fit in
// nRoom bytes; answers the bytes written.
unsigned NarrowInto(const wchar_t* p, unsigned n, unsigned nCodePage, unsigned char* pDest, unsigned nRoom)
{
    if (p == nullptr || n == 0 || pDest == nullptr || nRoom == 0)
        return 0;
    const int nNeeded = WideCharToMultiByte(nCodePage, 0, p, static_cast<int>(n), nullptr, 0, nullptr, nullptr);
    if (nNeeded > 0 && static_cast<unsigned>(nNeeded) <= nRoom) {
        std::string s(static_cast<std::size_t>(nNeeded), '\0');
        const int nDone = WideCharToMultiByte(nCodePage, 0, p, static_cast<int>(n), &s[0], nNeeded, nullptr, nullptr);
        if (nDone > 0) {
            std::memcpy(pDest, s.data(), static_cast<std::size_t>(nDone));
            return static_cast<unsigned>(nDone);
        }
    }
    // Too long: one character at a time, so that none is cut.
    unsigned nOut = 0;
    char ach[16];
    for (unsigned i = 0; i < n; i++) {
        const int k = WideCharToMultiByte(nCodePage, 0, p + i, 1, ach, sizeof(ach), nullptr, nullptr);
        if (k <= 0 || nOut + static_cast<unsigned>(k) > nRoom)
            break;
        std::memcpy(pDest + nOut, ach, static_cast<std::size_t>(k));
        nOut += static_cast<unsigned>(k);
    }
    return nOut;
}

// Host types whose treatments read a fixed number of bytes whatever the
// length they are given.
bool bFixedRead(unsigned char t)
{
    return (t >= 1 && t <= 15) || t == 17 || (t >= 24 && t <= 27) || t == 81 || t == 128 || t == 129;
}

// A value of type T holding *p, stored through the host-value path.
int StoreAsAny(CNAConvertVariant* pclCell, unsigned short nType, const void* p)
{
    CAny cl(nType);
    cl.pclGetTraitement()->SetValue(p);
    cl.SetFlags(0);
    return pclCell->bSetValue(&cl);
}

// "YYYYMMDD" or "HHMMSSmmm" of a date-time, in 8-bit digits.
void DateDigits(const CDateTimeBase& dt, char* psz)
{
    FAST_SETI2DATE(psz, dt.m_wAnnee, 4);
    FAST_SETI2DATE(psz + 4, dt.m_byMois, 2);
    FAST_SETI2DATE(psz + 6, dt.m_byJour, 2);
}

void TimeDigits(const CDateTimeBase& dt, char* psz)
{
    const unsigned n = dt.m_dwHeure;
    FAST_SETI2DATE(psz, static_cast<int>(n / 3600000u), 2);
    FAST_SETI2DATE(psz + 2, static_cast<int>((n % 3600000u) / 60000u), 2);
    FAST_SETI2DATE(psz + 4, static_cast<int>((n % 60000u) / 1000u), 2);
    FAST_SETI2DATE(psz + 6, static_cast<int>(n % 1000u), 3);
}

} // namespace

// ---- Store mark ------------------------------------------------------------------------------

void CNAConvertVariant::_OnSetValue(int bClearNull)
{
    if (m_eVarType == NA_VAR_UNREADYET)
        m_eVarType = NA_VAR_ANY;
    m_bChanged = 0;
    if (bClearNull)
        m_clValue.SetNullFlag(false);
}

// ---- Host values -----------------------------------------------------------------------------

int CNAConvertVariant::bSetValue(const CAny* pclValue)
{
    _OnSetValue(0);
    if (pclValue == nullptr || pclValue->bIsNull() || pclValue->nGetTypeCode() == TQTYPE_VIDE) {
        SetNull();
        return 1;
    }
    const unsigned char t = pclValue->nGetTypeCode();
    unsigned char c = m_clValue.nGetTypeCode();
    const CAny_Intern* pclSource = pclValue->pclGetTraitement();

    if (c == TQTYPE_VIDE && m_eVarType == NA_VAR_ANY) {
        InitTypeVariantAny(t, 0);
        c = t;
    }

    if (t == c) {
        if (m_eVarType == NA_VAR_ANY)
            return CNAVariant::bSetValue(pclValue);
        if (m_eVarType != NA_VAR_BUFFER && m_eVarType != NA_VAR_OWNBUFFER)
            return 1;
        m_clValue.SetNullFlag(false);
        switch (t) {
        case TQTYPE_DECIMAL: {
            IDecimal* piDecimal = nullptr;
            if (pclValue->nGetType() == TQTYPE_DECIMAL)
                pclSource->nFillBuffer(&piDecimal);
            int nDigits = 0;
            int nDecimals = 0;
            if (piDecimal != nullptr && m_pbyBuffer != nullptr && bGetDecimalInfo(&nDigits, &nDecimals) &&
                nDigits >= 0 && nDigits <= IDecimal::MAX_DIGITS) {
                // Through a local area: the buffer may be smaller than the form.
                unsigned char aby[64] = {};
                piDecimal->nGetBytes(aby, nDigits, nDecimals);
                const unsigned n = std::min<unsigned>(IDecimal::mg_PToN[nDigits], sizeof(aby));
                std::memcpy(m_pbyBuffer, aby, std::min(n, m_nSize));
            }
            return 1;
        }
        case TQTYPE_DATETIME: {
            const eNA_ITEMTYPE eItem = TypeOf(m_piItem);
            if (eItem == NA_IT_DATE8 || eItem == NA_IT_HEURE) {
                if (m_pbyBuffer == nullptr || m_nSize == 0)
                    return 1;
                std::memset(m_pbyBuffer, 0, m_nSize);
                CDateTime dt;
                if (pclValue->nGetType() != TQTYPE_DATETIME || pclSource->nFillBuffer(&dt) > kMaxSuccess)
                    return 1;
                char sz[9];
                unsigned n = 8;
                if (eItem == NA_IT_DATE8) {
                    DateDigits(dt, sz);
                } else {
                    TimeDigits(dt, sz);
                    n = 9;
                }
                // A whole date fills an 8-byte element; otherwise room is kept
                // for the terminator.
                const bool bWholeDate = eItem == NA_IT_DATE8 && m_nSize >= n;
                std::memcpy(m_pbyBuffer, sz, std::min(n, bWholeDate ? m_nSize : m_nSize - 1));
            } else if (eItem == NA_IT_DATETIME) {
                void* p = nullptr;
                unsigned int n = 0;
                pclSource->nGetDataAdr(&p);
                pclSource->nGetDataSize(&n);
                bSetValue(static_cast<const unsigned char*>(p), n);
            }
            return 1;
        }
        case TQTYPE_BOOL: {
            int n = 0;
            if (pclValue->nGetType() == TQTYPE_BOOL)
                pclValue->nGetINT(&n);
            return bSetValue(n != 0);
        }
        default:
            break;
        }
        void* p = nullptr;
        unsigned int n = 0;
        pclSource->nGetDataAdr(&p);
        pclSource->nGetUtilDataSize(&n);
        // Wide texts go through the wide setter: it keeps whole characters
        // and knows the buffers of 16-bit units.
        if (bTextW(t))
            return bSetValue(static_cast<const wchar_t*>(p), n / static_cast<unsigned>(sizeof(wchar_t)));
        return bSetValue(static_cast<const unsigned char*>(p), n);
    }

    if (bText8(t) && bTextLike(c)) {
        void* p = nullptr;
        unsigned int n = 0;
        pclSource->nGetDataAdr(&p);
        pclSource->nGetUtilDataSize(&n);
        return bSetValue(static_cast<const char*>(p), p != nullptr ? n : 0);
    }
    if (bTextW(t) && bTextLike(c)) {
        void* p = nullptr;
        unsigned int n = 0;
        pclSource->nGetDataAdr(&p);
        pclSource->nGetUtilDataSize(&n);
        return bSetValue(static_cast<const wchar_t*>(p), p != nullptr ? n / static_cast<unsigned>(sizeof(wchar_t)) : 0);
    }
    if (t == TQTYPE_DATETIME && bTextLike(c) && m_pszDateFormat != nullptr)
        return _bSetValueDateToString(pclValue);
    if (c == TQTYPE_DATETIME && (t == TQTYPE_TIMEA || t == TQTYPE_TIMEW)) {
        CDateTime dt;
        dt.InitDate();
        if (t == TQTYPE_TIMEA) {
            const char* psz = nullptr;
            pclSource->nGetPCASTR(&psz);
            dt.__SetPartieHeure(psz);
        } else {
            const wchar_t* psz = nullptr;
            pclSource->nGetPCWSTR(&psz);
            dt.__SetPartieHeure(psz);
        }
        return StoreAsAny(this, TQTYPE_DATETIME, &dt);
    }

    unsigned short nTarget = c;
    if (c == TQTYPE_DUREE && (bTextPlain(t) || t == TQTYPE_DECIMAL || t == TQTYPE_CY))
        nTarget = TQTYPE_I8;
    CAny clCopy;
    pclSource->Duplique(&clCopy);
    const int nStatus = clCopy.__nCastTo(nTarget, nullptr, 1);
    if (nStatus <= kMaxSuccess && clCopy.nGetTypeCode() == nTarget)
        return bSetValue(&clCopy);
    CTString clText;
    nGetString(&clText, pclValue, nullptr, 0);
    _SetErrorConversionFailed(t, clText.pszGet(), kFileStore, kPointCast);
    return 0;
}

// ---- Native values -----------------------------------------------------------------------------
// A value of the cell's own host type is written as it is (one byte for a
// boolean in a buffer); any other goes through the host-value path.

namespace {

void WriteFixed(eNAVARTYPE eKind, unsigned char* pBuffer, unsigned nSize, const void* p, unsigned n)
{
    if ((eKind == NA_VAR_BUFFER || eKind == NA_VAR_OWNBUFFER) && pBuffer != nullptr)
        std::memcpy(pBuffer, p, std::min(n, nSize));
}

} // namespace

int CNAConvertVariant::bSetValue(bool b)
{
    if (m_clValue.nGetTypeCode() != TQTYPE_BOOL) {
        const std::int32_t n = b ? 1 : 0;
        return StoreAsAny(this, TQTYPE_BOOL, &n);
    }
    _OnSetValue(1);
    if (m_eVarType == NA_VAR_ANY)
        return CNAVariant::bSetValue(b);
    const unsigned char by = b ? 1 : 0;
    WriteFixed(m_eVarType, m_pbyBuffer, m_nSize, &by, 1);
    return 1;
}

#define ZT_NATIVE_SETTER(TYPE, CODE)                                                                 \
    int CNAConvertVariant::bSetValue(TYPE v)                                                         \
    {                                                                                                \
        if (m_clValue.nGetTypeCode() != (CODE))                                                      \
            return StoreAsAny(this, (CODE), &v);                                                     \
        _OnSetValue(1);                                                                              \
        if (m_eVarType == NA_VAR_ANY)                                                                \
            return CNAVariant::bSetValue(v);                                                         \
        WriteFixed(m_eVarType, m_pbyBuffer, m_nSize, &v, static_cast<unsigned>(sizeof(v)));         \
        return 1;                                                                                    \
    }

ZT_NATIVE_SETTER(unsigned char, TQTYPE_UI1)
ZT_NATIVE_SETTER(unsigned short, TQTYPE_UI2)
ZT_NATIVE_SETTER(unsigned int, TQTYPE_UI4)
ZT_NATIVE_SETTER(unsigned long long, TQTYPE_UI8)
ZT_NATIVE_SETTER(char, TQTYPE_I1)
ZT_NATIVE_SETTER(short, TQTYPE_I2)
ZT_NATIVE_SETTER(int, TQTYPE_I4)
ZT_NATIVE_SETTER(long long, TQTYPE_I8)
ZT_NATIVE_SETTER(float, TQTYPE_R4)
ZT_NATIVE_SETTER(double, TQTYPE_R8)

#undef ZT_NATIVE_SETTER

int CNAConvertVariant::bSetValue(const CMoney& m)
{
    if (m_clValue.nGetTypeCode() != TQTYPE_CY)
        return StoreAsAny(this, TQTYPE_CY, &m);
    _OnSetValue(1);
    if (m_eVarType == NA_VAR_ANY)
        return CNAVariant::bSetValue(m);
    WriteFixed(m_eVarType, m_pbyBuffer, m_nSize, &m, static_cast<unsigned>(sizeof(m)));
    return 1;
}

int CNAConvertVariant::bSetValue(CDateTime* pclDateTime)
{
    if (pclDateTime == nullptr) {
        _OnSetValue(0);
        SetNull();
        return 1;
    }
    if (m_clValue.nGetTypeCode() != TQTYPE_DATETIME)
        return StoreAsAny(this, TQTYPE_DATETIME, pclDateTime);
    _OnSetValue(1);
    if (m_eVarType == NA_VAR_ANY) {
        m_clValue.pclGetTraitement()->SetValue(pclDateTime);
        m_clValue.SetFlags(0);
        return 1;
    }
    WriteFixed(m_eVarType, m_pbyBuffer, m_nSize, pclDateTime, static_cast<unsigned>(sizeof(CDateTime)));
    return 1;
}

// ---- Raw bytes and binaries ----------------------------------------------------------------------

int CNAConvertVariant::bSetValue(const unsigned char* p, unsigned int n)
{
    _OnSetValue(1);
    if (p == nullptr)
        n = 0;
    const unsigned char nType = m_clValue.nGetTypeCode();
    if (m_eVarType == NA_VAR_ANY) {
        CAny_Intern* pclTraitement = m_clValue.pclGetTraitement();
        if (bFixedRead(nType) || p == nullptr) {
            // These treatments read their whole size: a zero-padded copy.
            std::vector<unsigned char> aby(std::max<std::size_t>(n, CAny::VALEUR_SIZE) + sizeof(wchar_t), 0);
            if (n > 0)
                std::memcpy(aby.data(), p, n);
            pclTraitement->SetValue(aby.data(), n);
        } else {
            pclTraitement->SetValue(p, n);
        }
        m_clValue.SetFlags(0);
        return 1;
    }
    if (m_eVarType == NA_VAR_POINTER) {
        m_pbyBuffer = const_cast<unsigned char*>(p);
        m_nLength = n;
        m_nSize = n;
        return 1;
    }
    if (m_pbyBuffer == nullptr)
        return 1;
    if (TypeOf(m_piItem) == NA_IT_BINAIRE) {
        // A binary element is a 16-bit length followed by the bytes.
        if (m_nSize < 2) {
            std::memset(m_pbyBuffer, 0, m_nSize);
            return 1;
        }
        const unsigned nCopy = std::min({n, m_nSize - 2, 0xFFFFu});
        if (nCopy > 0)
            std::memmove(m_pbyBuffer + 2, p, nCopy);
        std::memset(m_pbyBuffer + 2 + nCopy, 0, m_nSize - 2 - nCopy);
        m_pbyBuffer[0] = static_cast<unsigned char>(nCopy);
        m_pbyBuffer[1] = static_cast<unsigned char>(nCopy >> 8);
        m_nLength = nCopy;
        return 1;
    }
    unsigned nTerminator = 0;
    if (bText8(nType))
        nTerminator = 1;
    else if (bTextW(nType))
        nTerminator = _bBufferIsUTF16() ? 2 : static_cast<unsigned>(sizeof(wchar_t));
    const unsigned nRoom = m_nSize > nTerminator ? m_nSize - nTerminator : 0;
    const unsigned nCopy = std::min(n, nRoom);
    if (nCopy > 0)
        std::memmove(m_pbyBuffer, p, nCopy);
    std::memset(m_pbyBuffer + nCopy, 0, m_nSize - nCopy);
    m_nLength = nCopy;
    return 1;
}

int CNAConvertVariant::bSetValue(CTQBIN* pclBinary)
{
    _OnSetValue(1);
    if (m_eVarType == NA_VAR_ANY && m_clValue.nGetTypeCode() == TQTYPE_BIN) {
        CTQBIN clEmpty;
        m_clValue.pclGetTraitement()->SetValue(pclBinary != nullptr ? pclBinary : &clEmpty);
        m_clValue.SetFlags(0);
        return 1;
    }
    if (pclBinary == nullptr)
        return bSetValue(static_cast<const unsigned char*>(nullptr), 0);
    return bSetValue(pclBinary->pGetData(), static_cast<unsigned>(pclBinary->nGetSize()));
}

// ---- Texts ------------------------------------------------------------------------------------

int CNAConvertVariant::bSetValue(const wchar_t* pszText, unsigned int nLength)
{
    // NULL is cleared where the text is stored here; the host-value path
    // clears it on success only.
    _OnSetValue(0);
    if (pszText == nullptr)
        nLength = 0;
    else if (nLength == static_cast<unsigned>(-1))
        nLength = static_cast<unsigned>(std::wcslen(pszText));
    const unsigned char nType = m_clValue.nGetTypeCode();

    if (m_eVarType == NA_VAR_ANY && (bText8(nType) || bTextW(nType))) {
        CAny_Intern* pclTraitement = m_clValue.pclGetTraitement();
        if (bText8(nType)) {
            CXYString<char> cl;
            if (nLength > 0 && cl.__nConversion(pszText, static_cast<int>(nLength), 0,
                                                static_cast<int>(HostCodePage(m_pclConnection)), 0, nullptr) != 0)
                return 0;
            // Terminated: some treatments read up to the terminator.
            const std::string s(cl.pszGet(), static_cast<std::size_t>(cl.nGetLength()));
            pclTraitement->SetValueFromANSI(s.c_str(), static_cast<unsigned>(s.size()));
        } else {
            const std::wstring s(pszText != nullptr ? pszText : L"", nLength);
            pclTraitement->SetValue(s.c_str(), static_cast<unsigned>(s.size() * sizeof(wchar_t)));
        }
        m_clValue.SetFlags(0);
        return 1;
    }

    if ((m_eVarType == NA_VAR_BUFFER || m_eVarType == NA_VAR_OWNBUFFER) && (bText8(nType) || bTextW(nType))) {
        m_clValue.SetNullFlag(false);
        if (m_pbyBuffer == nullptr)
            return 1;
        unsigned char* p = m_pbyBuffer;
        const unsigned nSize = m_nSize;
        std::memset(p, 0, nSize);
        m_nLength = 0;
        if (nLength == 0)
            return 1;
        if (_bBufferIsUTF16() && bTextW(nType)) {
            // A wide character may take two units: only whole ones, and a
            // terminating unit always.
            const unsigned nMaxUnits = nSize / 2 > 0 ? nSize / 2 - 1 : 0;
            const unsigned nMax = nType == TQTYPE_CARW ? 1 : nLength;
            m_nLength = 2 * WideToUTF16LE(pszText, std::min(nMax, nLength), p, nMaxUnits);
            return 1;
        }
        if (nType == TQTYPE_CARW) {
            if (nSize >= sizeof(wchar_t)) {
                std::memcpy(p, pszText, sizeof(wchar_t));
                m_nLength = sizeof(wchar_t);
            }
            return 1;
        }
        if (nType == TQTYPE_CARA) {
            const int c = STR_WCharToAChar(pszText[0], 0, HostCodePage(m_pclConnection));
            p[0] = static_cast<unsigned char>(c);
            m_nLength = 1;
            return 1;
        }
        if (bTextW(nType)) {
            const unsigned nChars = nSize / sizeof(wchar_t) > 0 ? nSize / sizeof(wchar_t) - 1 : 0;
            const unsigned n = std::min(nLength, nChars);
            std::memcpy(p, pszText, n * sizeof(wchar_t));
            m_nLength = n * static_cast<unsigned>(sizeof(wchar_t));
            return 1;
        }
        m_nLength = NarrowInto(pszText, nLength, HostCodePage(m_pclConnection), p, nSize > 0 ? nSize - 1 : 0);
        return 1;
    }

    // A text cell without buffer of its own keeps nothing (going through
    // the host-value path would come back here).
    if (bText8(nType) || bTextW(nType))
        return 1;
    CAny cl(TQTYPE_DSTRW);
    const std::wstring s(pszText != nullptr ? pszText : L"", nLength);
    cl.pclGetTraitement()->SetValue(s.c_str(), static_cast<unsigned>(s.size() * sizeof(wchar_t)));
    cl.SetFlags(0);
    return bSetValue(&cl);
}

int CNAConvertVariant::bSetValue(const char* pszText, unsigned int nLength)
{
    _OnSetValue(0);
    if (pszText == nullptr)
        nLength = 0;
    else if (nLength == static_cast<unsigned>(-1))
        nLength = static_cast<unsigned>(std::strlen(pszText));
    if (!bTextLike(m_clValue.nGetTypeCode())) {
        CAny cl(TQTYPE_DSTRA);
        const std::string s(pszText != nullptr ? pszText : "", nLength);
        cl.pclGetTraitement()->SetValue(s.c_str(), static_cast<unsigned>(s.size()));
        cl.SetFlags(0);
        return bSetValue(&cl);
    }
    return _bSetValue(pszText, nLength, HostCodePage(m_pclConnection));
}

int CNAConvertVariant::_bSetValue(const char* pszText, unsigned int nLength, unsigned int nCodePage)
{
    _OnSetValue(1);
    if (pszText == nullptr)
        nLength = 0;
    else if (nLength == static_cast<unsigned>(-1))
        nLength = static_cast<unsigned>(std::strlen(pszText));
    if (nCodePage == static_cast<unsigned>(-1))
        nCodePage = STR_nGetCurrentCodePage();
    const unsigned char nType = m_clValue.nGetTypeCode();
    const unsigned nHostCodePage = HostCodePage(m_pclConnection);
    const bool bFromUTF8 = nCodePage == CP_UTF8 && nHostCodePage != CP_UTF8;

    if (m_eVarType == NA_VAR_ANY) {
        CAny_Intern* pclTraitement = m_clValue.pclGetTraitement();
        if (nType == TQTYPE_DSTRW) {
            // Straight into the value's block, which is written again when
            // nobody else holds it.
            auto& cl = *reinterpret_cast<CXYString<wchar_t>*>(m_clValue.pbyGetValeur());
            if (cl.nAffecteKeepingBlock(pszText, static_cast<int>(nLength), static_cast<int>(nCodePage)) != 0)
                return _bRefuseText(pszText, nLength, nCodePage);
        } else if (!bText8(nType)) {
            CXYString<wchar_t> cl;
            if (nLength > 0 &&
                cl.__nConversion(pszText, static_cast<int>(nLength), 0, static_cast<int>(nCodePage), 0, nullptr) != 0)
                return _bRefuseText(pszText, nLength, nCodePage);
            pclTraitement->SetValue(cl.pszGet(), static_cast<unsigned>(cl.nGetLength()) * sizeof(wchar_t));
        } else if (bFromUTF8) {
            CXYString<char> cl;
            if (nLength > 0 && cl.nAffecteUTF8(pszText, static_cast<int>(nLength), static_cast<int>(nHostCodePage)) != 0)
                return _bRefuseText(pszText, nLength, nCodePage);
            if (nType == TQTYPE_DSTRA) {
                pclTraitement->SetValue(&cl);
            } else {
                const std::string s(cl.pszGet(), static_cast<std::size_t>(cl.nGetLength()));
                pclTraitement->SetValueFromANSI(s.c_str(), static_cast<unsigned>(s.size()));
            }
        } else {
            const std::string s(pszText != nullptr ? pszText : "", nLength);
            pclTraitement->SetValueFromANSI(s.c_str(), static_cast<unsigned>(s.size()));
        }
        m_clValue.SetFlags(0);
        return 1;
    }

    if (m_pbyBuffer == nullptr)
        return 1;
    if (nLength == 0) {
        std::memset(m_pbyBuffer, 0, m_nSize);
        m_nLength = 0;
        return 1;
    }
    if (!bText8(nType)) {
        // The wide setter knows the buffer forms of the wide types. A short
        // UTF-8 text is widened once on the stack: it never has more
        // characters than bytes.
        if (nCodePage == CP_UTF8 && nLength < kShortWide) {
            wchar_t szWide[kShortWide];
            const int nWide =
                MultiByteToWideChar(CP_UTF8, 0, pszText, static_cast<int>(nLength), szWide, static_cast<int>(kShortWide) - 1);
            if (nWide <= 0)
                return _bRefuseText(pszText, nLength, nCodePage);
            szWide[nWide] = 0;
            return bSetValue(szWide, static_cast<unsigned>(nWide));
        }
        CXYString<wchar_t> cl;
        if (cl.__nConversion(pszText, static_cast<int>(nLength), 0, static_cast<int>(nCodePage), 0, nullptr) != 0)
            return _bRefuseText(pszText, nLength, nCodePage);
        return bSetValue(cl.pszGet(), static_cast<unsigned>(cl.nGetLength()));
    }
    if (bFromUTF8) {
        CXYString<wchar_t> cl;
        if (cl.__nConversion(pszText, static_cast<int>(nLength), 0, static_cast<int>(CP_UTF8), 0, nullptr) != 0)
            return _bRefuseText(pszText, nLength, nCodePage);
        std::memset(m_pbyBuffer, 0, m_nSize);
        m_nLength = NarrowInto(cl.pszGet(), static_cast<unsigned>(cl.nGetLength()), nHostCodePage, m_pbyBuffer,
                               m_nSize > 0 ? m_nSize - 1 : 0);
        return 1;
    }
    if (nType == TQTYPE_CARA) {
        if (m_nSize > 0) {
            std::memset(m_pbyBuffer, 0, m_nSize);
            m_pbyBuffer[0] = static_cast<unsigned char>(pszText[0]);
            m_nLength = 1;
        }
        return 1;
    }
    const unsigned n = std::min(nLength, m_nSize > 0 ? m_nSize - 1 : 0);
    if (n > 0)
        std::memmove(m_pbyBuffer, pszText, n);
    std::memset(m_pbyBuffer + n, 0, m_nSize - n);
    m_nLength = n;
    return 1;
}

// ---- System time -------------------------------------------------------------------------------

int CNAConvertVariant::bSetValue(_SYSTEMTIME* pstTime)
{
    if (pstTime == nullptr)
        return 0;
    if (eNAGetItemType() == NA_IT_TEXTE) {
        const CXTime clTime(*pstTime, -1);
        wchar_t sz[32] = {};
        switch (nGetSize()) {
        case 5:
            clTime.GetTQTimeHHMM(sz, 5);
            break;
        case 7:
            clTime.GetTQTimeHHMMSS(sz, 7);
            break;
        case 9:
            clTime.GetTQTimeHHMMSSCCm(sz, 9);
            break;
        case 10:
            clTime.GetTQTimeHHMMSSCCm(sz, 10);
            break;
        default:
            clTime.GetTQTimeAAAAMMJJ_HHMMSS(sz, 16);
            break;
        }
        return bSetValue(sz, static_cast<unsigned>(std::wcslen(sz)));
    }
    CDateTime dt;
    dt.InitDate();
    dt.InitDate(pstTime);
    return bSetValue(&dt);
}

// ---- Change of host type -------------------------------------------------------------------------

int CNAConvertVariant::vbChangeTQType(unsigned short nType, int bNoPad)
{
    CAny clCopy;
    if (!vbGetValue(&clCopy))
        return 0;
    if (!clCopy.bIsNull() && bTextPlain(static_cast<unsigned char>(nType)) && TypeOf(m_piItem) == NA_IT_HEURE) {
        // A time item's digits as text, as long as the item holds them.
        const long long L = static_cast<long long>(m_piItem->nGetItemSize()) - 1;
        if (clCopy.__nCastTo(TQTYPE_PSTRW, nullptr, 1) > kMaxSuccess)
            return 0;
        const wchar_t* psz = nullptr;
        clCopy.pclGetTraitement()->nGetPCWSTR(&psz);
        if (psz != nullptr) {
            std::wstring s(psz);
            if (L < 1)
                s.clear();
            else if (static_cast<long long>(s.size()) > L)
                s.resize(static_cast<std::size_t>(L));
            else if (static_cast<long long>(s.size()) < L && !bNoPad)
                s.resize(static_cast<std::size_t>(L), L'0');
            clCopy.pclGetTraitement()->SetValue(s.c_str(), static_cast<unsigned>(s.size() * sizeof(wchar_t)));
        }
    }
    InitTypeVariantAny(nType, 0);
    return bSetValue(&clCopy);
}

// ---- Failure -------------------------------------------------------------------------------------

void CNAConvertVariant::_SetErrorConversionFailed(int nSourceType, const wchar_t* pszValue, int nFile, int nPoint)
{
    if (m_pclError == nullptr)
        return;
    _CXErrorModule32 cl;
    cl.SetUserError(&gstMyModuleInfo32, 53, nSourceType, static_cast<int>(eNAGetItemType()),
                    pszValue != nullptr ? pszValue : L"");
    CNAError::g_SetInfoNames(&cl, pszGetTableName(), pszGetItemName());
    int nCode = 53;
    cl.AddInfo(EIT_NATIVECODE, &nCode);
    CNAError::g_AddDebugInfo(&cl, nFile, nPoint);
    m_pclError->AddError(NA_ERRORTYPE_GENERAL, &cl, m_pclConnection);
}

int CNAConvertVariant::_bRefuseText(const char* pszText, unsigned int nLength, unsigned int nCodePage)
{
    // The bytes as the server would write them, a long value by its start.
    CTString clHexa;
    CNAConnectionDescription::s_BinaryToStringHexa(reinterpret_cast<const unsigned char*>(pszText),
                                                   std::min(nLength, kShownBytes), &clHexa);
    std::wstring s = L"X'";
    s += clHexa.pszGet() != nullptr ? clHexa.pszGet() : L"";
    s += nLength > kShownBytes ? L"'... in code page " : L"' in code page ";
    s += std::to_wstring(nCodePage);
    _SetErrorConversionFailed(TQTYPE_DSTRA, s.c_str(), kFileStore, kPointText);
    return 0;
}

// ---- Date-time as text ------------------------------------------------------------------------------

int CNAConvertVariant::_bSetValueDateToString(const CAny* pclValue)
{
    if (pclValue == nullptr)
        return 0;
    if (pclValue->nGetTypeCode() != TQTYPE_DATETIME) {
        CAny clCopy;
        pclValue->pclGetTraitement()->Duplique(&clCopy);
        const int nStatus = clCopy.__nCastTo(TQTYPE_DATETIME, nullptr, 1);
        if (nStatus <= kMaxSuccess && clCopy.nGetTypeCode() == TQTYPE_DATETIME)
            return _bSetValueDateToString(&clCopy);
        if (m_pclError != nullptr)
            m_pclError->SetAnyError(nStatus, pclValue->nGetTypeCode(), TQTYPE_DATETIME, kFileStore, kPointDateText,
                                    m_pclConnection, pszGetTableName(), pszGetItemName());
        return 0;
    }

    CDateTime dt;
    dt.InitDate();
    if (pclValue->nGetType() != TQTYPE_DATETIME || pclValue->pclGetTraitement()->nFillBuffer(&dt) > kMaxSuccess)
        dt.InitDate();
    const int d = dt.m_byJour;
    const int m = dt.m_byMois;
    const int y = dt.m_wAnnee;
    const unsigned ms = dt.m_dwHeure;
    const int h = static_cast<int>(ms / 3600000u);
    const int mi = static_cast<int>((ms % 3600000u) / 60000u);
    const int s = static_cast<int>((ms % 60000u) / 1000u);
    const int mil = static_cast<int>(ms % 1000u);
    const int cent = mil / 10;

    const wchar_t* pszFormat = m_pszDateFormat != nullptr ? m_pszDateFormat : L"";
    CTString cl;
    if (std::wcscmp(pszFormat, L"DD-MM-YYYY HH24:MI:SS") == 0)
        cl.printf(L"%02d-%02d-%04d %02d:%02d:%02d", d, m, y, h, mi, s);
    else if (std::wcscmp(pszFormat, L"AAAA-MM-JJ HH:MM:SS.CCC") == 0)
        cl.printf(L"%04d-%02d-%02d %02d:%02d:%02d.%03d", y, m, d, h, mi, s, mil);
    else if (std::wcscmp(pszFormat, L"AAAAMMJJ HH:MM:SS.CCC") == 0)
        cl.printf(L"%04d%02d%02d %02d:%02d:%02d.%03d", y, m, d, h, mi, s, mil);
    else if (std::wcscmp(pszFormat, L"YYYYMMDDHH24MISS") == 0)
        cl.printf(L"%04d%02d%02d%02d%02d%02d", y, m, d, h, mi, s);
    else if (std::wcscmp(pszFormat, L"YYYYMMDD HH24MISS") == 0)
        cl.printf(L"%04d%02d%02d %02d%02d%02d", y, m, d, h, mi, s);
    else if (std::wcscmp(pszFormat, L"YYYYMMDD HH24:MI:SS") == 0)
        cl.printf(L"%04d%02d%02d %02d:%02d:%02d", y, m, d, h, mi, s);
    else if (std::wcscmp(pszFormat, L"YYYYMMDDHH24MISSFF") == 0)
        cl.printf(L"%04d%02d%02d%02d%02d%02d%02d", y, m, d, h, mi, s, cent);
    else
        cl.printf(L"%04d%02d%02d%02d%02d%02d%03d", y, m, d, h, mi, s, mil);
    const wchar_t* psz = cl.pszGet();
    return bSetValue(psz, psz != nullptr ? static_cast<unsigned>(std::wcslen(psz)) : 0);
}
