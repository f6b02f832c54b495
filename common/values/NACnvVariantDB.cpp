// Storing values received from the server in a value cell: wide and 8-bit
// row texts turned into the cell's host type (words for booleans, numeric
// texts through the host's converter, date and time texts by their layout,
// binaries with their length prefix), raw bytes for the database buffer and
// host values handed over by the server layer.
#include "common/values/NACnvVariant.h"

// Server values arrive in the connection's code page, for an item, with
// failures reported in the driver's error object.
#include "access/driver/NAConnectionDescription.h" // conversions follow the connection's code pages and data source
#include "access/driver/NAItemDescription.h" // the item description gives the target type and size
#include "common/text/CodePage.h"
#include "common/text/TextBasics.h"
#include "common/text/TextCompare.h"
#include "common/text/XYString.h"
#include "common/values/AnyConvert.h"
#include "common/values/datetime.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

namespace {

const int kMaxSuccess = 99;

// File and point numbers of the debug line of a rejected server text.
const int kFileServer = 12;
const int kPointNumber = 4;
const int kPointDate = 5;

// Forms a date or time text takes in the cell.
enum eDateForm {
    FORM_NONE = 0,
    FORM_DATE8 = NA_IT_DATE8,       // 8-bit "YYYYMMDD"
    FORM_HEURE = NA_IT_HEURE,       // 8-bit "HHMMSS" then milliseconds digits
    FORM_DATETIME = NA_IT_DATETIME, // the 8-byte date-time
    FORM_DATEW = 1000,              // wide "YYYYMMDD"
    FORM_TIMEW = 1001,              // wide "HHMMSSmmm"
};

eDateForm FormOfHostType(unsigned char nType)
{
    switch (nType) {
    case TQTYPE_DATEA: return FORM_DATE8;
    case TQTYPE_TIMEA: return FORM_HEURE;
    case TQTYPE_DATETIME: return FORM_DATETIME;
    case TQTYPE_DATEW: return FORM_DATEW;
    case TQTYPE_TIMEW: return FORM_TIMEW;
    default: return FORM_NONE;
    }
}

// The fields of a server date or time text, as digit characters.
struct STDateParts {
    bool bEmpty = false;
    bool bDate = false;
    char szDate[9] = {};     // YYYYMMDD
    bool bTime = false;
    bool bSeconds = false;
    char szTime[7] = {};     // hhmmss, seconds "00" when absent
    unsigned nFraction = 0;  // fraction digits kept, at most 3
    char szFraction[4] = {};
};

void SetDate(STDateParts& st, const char* p, unsigned nYear, unsigned nMonth, unsigned nDay)
{
    st.bDate = true;
    std::memcpy(st.szDate, p + nYear, 4);
    std::memcpy(st.szDate + 4, p + nMonth, 2);
    std::memcpy(st.szDate + 6, p + nDay, 2);
}

// nSecond < 0: the layout has no seconds.
void SetTime(STDateParts& st, const char* p, unsigned nHour, unsigned nMinute, int nSecond)
{
    st.bTime = true;
    std::memcpy(st.szTime, p + nHour, 2);
    std::memcpy(st.szTime + 2, p + nMinute, 2);
    st.bSeconds = nSecond >= 0;
    if (st.bSeconds)
        std::memcpy(st.szTime + 4, p + nSecond, 2);
    else
        std::memcpy(st.szTime + 4, "00", 2);
}

// The fraction digits from nFrom to the end of the text; only the first
// three count (milliseconds).
void SetFraction(STDateParts& st, const char* p, unsigned nFrom, unsigned nLength)
{
    st.nFraction = nLength > nFrom ? std::min(nLength - nFrom, 3u) : 0;
    std::memcpy(st.szFraction, p + nFrom, st.nFraction);
}

// Where a date or time text goes and in which form.
struct STDateTarget {
    eDateForm eForm;
    unsigned char* p;
    unsigned n;
};

// A value of the cell's own takes the form of its host type; a buffer the
// form of the host item (the host type without a date or time item).
STDateTarget DateTarget(const CAny& clValue, eNAVARTYPE eKind, const INAItemDescription* piItem,
                        unsigned char* pBuffer, unsigned nSize)
{
    STDateTarget st = {FORM_NONE, nullptr, 0};
    const unsigned char nType = clValue.nGetTypeCode();
    if (eKind == NA_VAR_ANY || eKind == NA_VAR_UNREADYET) {
        st.eForm = FormOfHostType(nType);
        if (st.eForm != FORM_NONE) {
            void* p = nullptr;
            unsigned int n = 0;
            clValue.pclGetTraitement()->nGetDataAdr(&p);
            clValue.pclGetTraitement()->nGetDataSize(&n);
            st.p = static_cast<unsigned char*>(p);
            st.n = p != nullptr ? n : 0;
        }
        return st;
    }
    const eNA_ITEMTYPE eItem = piItem != nullptr ? piItem->eNAGetItemType() : NA_IT_EMPTY;
    if (eItem == NA_IT_DATE8 || eItem == NA_IT_HEURE || eItem == NA_IT_DATETIME)
        st.eForm = static_cast<eDateForm>(eItem);
    else
        st.eForm = FormOfHostType(nType);
    st.p = pBuffer;
    st.n = pBuffer != nullptr ? nSize : 0;
    return st;
}

// Writes the fields over the target (zeroed first); 0 when there is no
// form or no target.
int WriteDateParts(const STDateParts& st, const STDateTarget& stTarget)
{
    const eDateForm eForm = stTarget.eForm;
    unsigned char* pTarget = stTarget.p;
    const unsigned nSize = stTarget.n;
    if (eForm == FORM_NONE || pTarget == nullptr)
        return 0;
    std::memset(pTarget, 0, nSize);
    if (st.bEmpty)
        return 1;
    switch (eForm) {
    case FORM_DATE8:
        // The date only when it fits whole.
        if (st.bDate && nSize >= 8)
            std::memcpy(pTarget, st.szDate, 8);
        return 1;
    case FORM_DATETIME: {
        CDateTime dt;
        dt.InitDate();
        if (st.bDate)
            dt.__SetPartieDate(st.szDate);
        if (st.bTime) {
            char sz[10] = {};
            std::memcpy(sz, st.szTime, 6);
            std::memcpy(sz + 6, st.szFraction, st.nFraction);
            dt.__SetPartieHeure(sz);
        }
        if (nSize >= sizeof(dt))
            std::memcpy(pTarget, &dt, sizeof(dt));
        return 1;
    }
    case FORM_HEURE: {
        char sz[9];
        std::memset(sz, '0', sizeof(sz));
        if (st.bTime) {
            std::memcpy(sz, st.szTime, st.bSeconds ? 6 : 4);
            std::memcpy(sz + 6, st.szFraction, st.nFraction);
        }
        // Each position only while a terminator still fits after it.
        for (unsigned i = 0; i < sizeof(sz) && i + 2 <= nSize; i++)
            pTarget[i] = static_cast<unsigned char>(sz[i]);
        return 1;
    }
    case FORM_DATEW:
    case FORM_TIMEW: {
        char sz[10] = {};
        unsigned n = 0;
        if (eForm == FORM_DATEW && st.bDate) {
            std::memcpy(sz, st.szDate, 8);
            n = 8;
        } else if (eForm == FORM_TIMEW && st.bTime) {
            std::memcpy(sz, st.szTime, 6);
            std::memset(sz + 6, '0', 3);
            std::memcpy(sz + 6, st.szFraction, st.nFraction);
            n = 9;
        }
        if (n > 0 && nSize / sizeof(wchar_t) >= n + 1) {
            for (unsigned i = 0; i < n; i++) {
                const wchar_t c = static_cast<unsigned char>(sz[i]);
                std::memcpy(pTarget + i * sizeof(wchar_t), &c, sizeof(c));
            }
        }
        return 1;
    }
    default:
        return 0;
    }
}

// Binary bytes: the host value of kinds 1 and 2, else a 16-bit length then
// the bytes in the buffer.
int StoreBinary(CAny& clValue, eNAVARTYPE eKind, unsigned char* pBuffer, unsigned nSize, const void* p, unsigned n)
{
    if (p == nullptr)
        n = 0;
    if (eKind == NA_VAR_ANY || eKind == NA_VAR_UNREADYET) {
        clValue.__SetType(TQTYPE_BIN, 0);
        static const unsigned char s_byEmpty = 0;
        clValue.pclGetTraitement()->SetValue(n > 0 ? p : &s_byEmpty, n);
        clValue.SetFlags(0);
        return 1;
    }
    if (pBuffer == nullptr)
        return 1;
    std::memset(pBuffer, 0, nSize);
    if (nSize < 2)
        return 1;
    const unsigned k = std::min(std::min(n, nSize - 2), 0xFFFFu);
    const std::uint16_t w = static_cast<std::uint16_t>(k);
    std::memcpy(pBuffer, &w, sizeof(w));
    if (k > 0)
        std::memcpy(pBuffer + 2, p, k);
    return 1;
}

unsigned CurrentIfUnset(int nCodePage)
{
    return nCodePage == -1 ? STR_nGetCurrentCodePage() : static_cast<unsigned>(nCodePage);
}

bool bText8(unsigned char t)
{
    switch (t) {
    case 17: case 18: case 19: case 21: case 22: case 23: case 134:
        return true;
    default:
        return false;
    }
}

bool bTextW(unsigned char t)
{
    return t == 16 || t == 20 || t == 81 || t == 110;
}

bool bNumeric(unsigned char t)
{
    return (t >= 3 && t <= 12) || t == 14;
}

// Numbers up to this many characters are read without a heap copy.
const unsigned kShortNumber = 63;

// A short text of the 8-bit page or of UTF-8 in ASCII only: one character a byte.
bool bShortASCII(const char* p, unsigned n, unsigned nCodePage)
{
    if (n > kShortNumber || (nCodePage != CP_1252 && nCodePage != CP_UTF8))
        return false;
    for (unsigned i = 0; i < n; i++)
        if (static_cast<unsigned char>(p[i]) >= 0x80)
            return false;
    return true;
}

// n <= kShortNumber bytes of the 8-bit page widened and terminated in sz.
const wchar_t* Widened(const char* p, unsigned n, wchar_t* sz)
{
    STR_CP1252ToWideChar(p, static_cast<int>(n), sz, static_cast<int>(kShortNumber));
    sz[n] = 0;
    return sz;
}

// An integer text of the integer host types read as the host's converter
// reads it, for the common form only: '-' for the signed types, then 1 to
// 19 digits, in the type's range. false for anything else (blanks, '+',
// points, exponents, more digits, values out of range), which the
// converter settles with its own status.
bool bReadInteger(const char* p, unsigned n, unsigned char t, unsigned char* pbyValue)
{
    long long llMin = 0;
    unsigned long long ullMax = 0;
    switch (t) {
    case TQTYPE_UI2: ullMax = 0xFFFF; break;
    case TQTYPE_UI4: ullMax = 0xFFFFFFFFu; break;
    case TQTYPE_UI8: ullMax = ~0ull; break;
    case TQTYPE_I1: llMin = INT8_MIN; ullMax = INT8_MAX; break;
    case TQTYPE_I2: llMin = INT16_MIN; ullMax = INT16_MAX; break;
    // The pointer-sized type is read as a signed 32-bit integer.
    case TQTYPE_I4: case TQTYPE_UIX: llMin = INT32_MIN; ullMax = INT32_MAX; break;
    case TQTYPE_I8: llMin = INT64_MIN; ullMax = INT64_MAX; break;
    default: return false;
    }
    const bool bNeg = n > 0 && p[0] == '-';
    if (bNeg && llMin == 0)
        return false;
    const unsigned nFrom = bNeg ? 1 : 0;
    if (n <= nFrom || n - nFrom > 19)
        return false;
    unsigned long long u = 0;
    for (unsigned i = nFrom; i < n; i++) {
        const unsigned d = static_cast<unsigned char>(p[i]) - static_cast<unsigned>('0');
        if (d > 9)
            return false;
        u = u * 10 + d;
    }
    // -0 is 0; the negative bound is one more than the positive one.
    if (bNeg ? u > ullMax + 1 : u > ullMax)
        return false;
    const unsigned long long v = bNeg ? 0 - u : u;
    // Little-endian: the low bytes of the two's complement are the value.
    std::memcpy(pbyValue, &v, tqTabSizeType[t]);
    return true;
}

bool bDateOrTime(unsigned char t)
{
    return (t >= 24 && t <= 26) || t == 128 || t == 129;
}

} // namespace

// ---- Wide text ----------------------------------------------------------------------------------

int CNAConvertVariant::bSetValueDB(const wchar_t* pszText, unsigned int nLength)
{
    if (m_nStateBufferDB == DBBUFFER_NONE && !bInitBufferDB())
        return 0;
    return bSetValueFromDB(pszText, nLength);
}

int CNAConvertVariant::bSetValueFromDB(const wchar_t* pszText, unsigned int nLength)
{
    if (pszText == nullptr) {
        SetNull();
        return 1;
    }
    if (nLength == static_cast<unsigned>(-1))
        nLength = static_cast<unsigned>(std::wcslen(pszText));
    // A rejected text leaves the cell as it was, NULL included.
    const bool bWasNull = m_clValue.bIsNull();
    _OnSetValue(1);
    const unsigned char nType = m_clValue.nGetTypeCode();

    const auto store = [&]() -> int {
        if (nType == TQTYPE_BOOL) {
            const wchar_t sz[2] = {nLength > 0 ? pszText[0] : L'\0', L'\0'};
            const bool b = s_bTextToBool(sz) != 0;
            if (m_eVarType == NA_VAR_ANY)
                return CNAVariant::bSetValue(b);
            if (m_pbyBuffer != nullptr && m_nSize > 0)
                m_pbyBuffer[0] = b ? 1 : 0;
            return 1;
        }

        if (bNumeric(nType)) {
            // The converter takes a terminated text: short ones are
            // terminated on the stack.
            wchar_t sz[kShortNumber + 1];
            if (nLength <= kShortNumber) {
                std::wmemcpy(sz, pszText, nLength);
                sz[nLength] = 0;
                return _bSetValueDB_Number(sz, nType);
            }
            const CXYString<wchar_t> clText(pszText, static_cast<int>(nLength));
            return _bSetValueDB_Number(clText.pszGet(), nType);
        }

        if ((nType >= 16 && nType <= 19) || (nType >= 21 && nType <= 23) || nType == TQTYPE_CARW ||
            nType == TQTYPE_PSTRW)
            return bSetValue(pszText, nLength);

        if (bDateOrTime(nType)) {
            if (nLength == 0)
                return _bSetValueDB_AndConvertToDate("", 0, CP_1252);
            CXYString<char> cl;
            if (cl.__nConversion(pszText, static_cast<int>(nLength), 0, static_cast<int>(CP_1252), 0,
                                 nullptr) != 0)
                return 0;
            return _bSetValueDB_AndConvertToDate(cl.pszGet(), static_cast<unsigned>(cl.nGetLength()),
                                                 CP_1252);
        }

        if (nType == TQTYPE_BIN) {
            // One byte per character.
            std::vector<unsigned char> aby(nLength);
            for (unsigned i = 0; i < nLength; i++)
                aby[i] = static_cast<unsigned char>(pszText[i]);
            return StoreBinary(m_clValue, m_eVarType, m_pbyBuffer, m_nSize, aby.data(), nLength);
        }

        CAny cl(TQTYPE_PSTRW);
        const std::wstring s(pszText, nLength);
        cl.pclGetTraitement()->SetValue(s.c_str(), static_cast<unsigned>(s.size() * sizeof(wchar_t)));
        cl.SetFlags(0);
        return bSetValue(&cl);
    };

    const int bResult = store();
    if (!bResult)
        m_clValue.SetNullFlag(bWasNull);
    return bResult;
}

// ---- 8-bit text ----------------------------------------------------------------------------------

int CNAConvertVariant::bSetValueDB(const char* pszText, unsigned int nLength, unsigned int nCodePage)
{
    if (m_nStateBufferDB == DBBUFFER_NONE && !bInitBufferDB())
        return 0;
    if (pszText == nullptr)
        nLength = 0;
    else if (nLength == static_cast<unsigned>(-1))
        nLength = static_cast<unsigned>(std::strlen(pszText));
    if (nLength == 0)
        return bSetValue(static_cast<const unsigned char*>(nullptr), 0);
    const bool bWasNull = m_clValue.bIsNull();
    _OnSetValue(1);
    const unsigned char nType = m_clValue.nGetTypeCode();

    const auto store = [&]() -> int {
        if ((nType >= 16 && nType <= 23) || nType == TQTYPE_CARW || nType == TQTYPE_PSTRW || nType == 134) {
            // A text item of the record ends at its first NUL: one inside
            // would cut the value. A memo's own value keeps it; a character
            // item takes the first character, whatever follows.
            if (m_eVarType == NA_VAR_BUFFER && nType != TQTYPE_CARA && std::memchr(pszText, 0, nLength) != nullptr)
                return _bRefuseText(pszText, nLength, nCodePage);
            return _bSetValue(pszText, nLength, nCodePage);
        }

        if (nType == TQTYPE_BOOL) {
            const char sz[2] = {pszText[0], 0};
            const bool b = s_bTextToBool(sz) != 0;
            if (m_eVarType == NA_VAR_ANY)
                return CNAVariant::bSetValue(b);
            if (m_pbyBuffer != nullptr && m_nSize > 0)
                m_pbyBuffer[0] = b ? 1 : 0;
            return 1;
        }

        if (bNumeric(nType)) {
            const unsigned nPage = CurrentIfUnset(static_cast<int>(nCodePage));
            unsigned char aby[sizeof(std::uint64_t)];
            if ((nPage == CP_1252 || nPage == CP_UTF8) && bReadInteger(pszText, nLength, nType, aby))
                return _bStoreNumber(aby, nType);
            // Other numbers go to the converter as wide text, widened on the
            // stack when each byte is one character.
            if (nLength <= kShortNumber && (nPage == CP_1252 || bShortASCII(pszText, nLength, nPage))) {
                wchar_t sz[kShortNumber + 1];
                return _bSetValueDB_Number(Widened(pszText, nLength, sz), nType);
            }
            CXYString<wchar_t> cl;
            if (cl.__nConversion(pszText, static_cast<int>(nLength), 0,
                                 static_cast<int>(CurrentIfUnset(static_cast<int>(nCodePage))), 0, nullptr) != 0)
                return _bRefuseText(pszText, nLength, nPage);
            return bSetValueFromDB(cl.pszGet(), static_cast<unsigned>(cl.nGetLength()));
        }

        if (bDateOrTime(nType))
            return _bSetValueDB_AndConvertToDate(pszText, nLength, nCodePage);

        if (nType == TQTYPE_BIN)
            return StoreBinary(m_clValue, m_eVarType, m_pbyBuffer, m_nSize, pszText, nLength);

        if (nType == TQTYPE_DECIMAL && bShortASCII(pszText, nLength, nCodePage)) {
            // The converter reads ASCII alike in both widths: the wide text
            // on the stack, cast straight to a decimal. A refusal goes the
            // long way, which reports it.
            wchar_t sz[kShortNumber + 1];
            unsigned char aby[CAny::VALEUR_SIZE] = {};
            if (CAny::__s_nCastTo(aby, Widened(pszText, nLength, sz), TQTYPE_DECIMAL, nullptr) <= kMaxSuccess) {
                CAny clNumber;
                clNumber.__TransfertValeurInterne(TQTYPE_DECIMAL, aby);
                return bSetValue(&clNumber);
            }
        }
        CAny cl(TQTYPE_PSTRA);
        cl.pclGetTraitement()->SetValueFromANSI(pszText, nLength);
        cl.SetFlags(0);
        return bSetValue(&cl);
    };

    const int bResult = store();
    if (!bResult)
        m_clValue.SetNullFlag(bWasNull);
    return bResult;
}

// ---- Numbers --------------------------------------------------------------------------------------

int CNAConvertVariant::_bSetValueDB_Number(const wchar_t* pszText, unsigned char nType)
{
    // The converter fills a whole value area: a local one, of which what
    // fits is kept.
    unsigned char aby[CAny::VALEUR_SIZE] = {};
    const int nStatus = CAny::__s_nCastTo(aby, pszText, nType, nullptr);
    if (nStatus > kMaxSuccess) {
        _SetErrorConversionFailed(TQTYPE_DSTRW, pszText, kFileServer, kPointNumber);
        return 0;
    }
    return _bStoreNumber(aby, nType);
}

int CNAConvertVariant::_bStoreNumber(const unsigned char* pbyValue, unsigned char nType)
{
    if (m_eVarType == NA_VAR_ANY) {
        m_clValue.pclGetTraitement()->SetValue(pbyValue);
        m_clValue.SetFlags(0);
        return 1;
    }
    if (m_pbyBuffer == nullptr)
        return 0;
    std::memcpy(m_pbyBuffer, pbyValue, std::min<unsigned>(tqTabSizeType[nType], m_nSize));
    return 1;
}

// ---- Raw bytes ----------------------------------------------------------------------------------

int CNAConvertVariant::bSetValueDB(const unsigned char* p, unsigned int n)
{
    if (m_nStateBufferDB == DBBUFFER_NONE && !bInitBufferDB())
        return 0;
    if (p == nullptr)
        n = 0;
    if (m_nStateBufferDB == DBBUFFER_OWN && n > m_nSizeBufferDB && !_bAllocBufferDB(n))
        return 0;
    m_nLengthDB = n;
    if (m_nStateBufferDB == DBBUFFER_INPLACE && (m_eVarType == NA_VAR_ANY || m_eVarType == NA_VAR_UNREADYET))
        return bSetValue(p, n);
    // On the cell's bytes the value is no longer NULL; a separate buffer
    // is converted later.
    if (m_nStateBufferDB == DBBUFFER_INPLACE)
        _OnSetValue(1);
    unsigned char* pTarget = nullptr;
    unsigned int nSize = 0;
    if (!bGetBufferDB(&pTarget, &nSize, nullptr))
        return 0;
    if (pTarget == nullptr) {
        m_nLengthDB = 0;
        return 1;
    }
    const unsigned nCopy = std::min(n, nSize);
    if (nCopy > 0)
        std::memmove(pTarget, p, nCopy);
    std::memset(pTarget + nCopy, 0, nSize - nCopy);
    m_nLengthDB = nCopy;
    return 1;
}

// ---- Host value ---------------------------------------------------------------------------------

int CNAConvertVariant::bSetValueDB(const CAny* pclValue)
{
    if (m_nStateBufferDB == DBBUFFER_NONE && !bInitBufferDB())
        return 0;
    if (pclValue == nullptr || pclValue->bIsNull() || pclValue->nGetTypeCode() == TQTYPE_VIDE) {
        SetNull();
        return 1;
    }
    const CAny_Intern* pclTraitement = pclValue->pclGetTraitement();
    void* p = nullptr;
    unsigned int n = 0;
    pclTraitement->nGetDataAdr(&p);
    // The text without its terminator.
    pclTraitement->nGetUtilDataSize(&n);
    if (p == nullptr)
        n = 0;
    if (m_nStateBufferDB == DBBUFFER_OWN)
        return bSetValueDB(static_cast<const unsigned char*>(p), n);
    const unsigned char t = pclValue->nGetTypeCode();
    if (t == m_clValue.nGetTypeCode())
        return bSetValue(pclValue);
    if (bText8(t)) {
        const int nCodePage = m_pclConnection != nullptr ? m_pclConnection->nGetCnxCodePage() : -1;
        if (n == 0)
            return bSetValueDB("", 0, CurrentIfUnset(nCodePage));
        return bSetValueDB(static_cast<const char*>(p), n, CurrentIfUnset(nCodePage));
    }
    if (bTextW(t))
        return bSetValueDB(p != nullptr ? static_cast<const wchar_t*>(p) : L"", n / static_cast<unsigned>(sizeof(wchar_t)));
    return bSetValue(pclValue);
}

// ---- Date and time texts ---------------------------------------------------------------------------

int CNAConvertVariant::_bSetValueDB_AndConvertToDate(const char* pszText, unsigned int nLength, unsigned int)
{
    if (pszText == nullptr)
        nLength = 0;
    const auto at = [&](unsigned i) { return i < nLength ? pszText[i] : '\0'; };
    int bResult = -1;
    switch (nLength) {
    case 0: {
        // The empty text is the empty value: the zeroed target.
        STDateParts st;
        st.bEmpty = true;
        bResult = WriteDateParts(st, DateTarget(m_clValue, m_eVarType, m_piItem, m_pbyBuffer, m_nSize));
        break;
    }
    case 4:
        bResult = _bSetValueDB_HHMM(pszText, nLength);
        break;
    case 5:
        if (at(2) == ':')
            bResult = _bSetValueDB_HH_MM(pszText, nLength);
        break;
    case 6:
        bResult = _bSetValueDB_HHMMSS(pszText, nLength);
        break;
    case 8:
        bResult = at(2) == ':' ? _bSetValueDB_HH_MM_SS_MMM(pszText, nLength) : _bSetValueDB_AAAAMMJJ(pszText, nLength);
        break;
    case 10:
        if (at(2) == ':')
            bResult = _bSetValueDB_HH_MM_SS_MMM(pszText, nLength);
        else if (at(4) == '-' && at(7) == '-')
            bResult = _bSetValueDB_AAAA_MM_JJ(pszText, nLength);
        break;
    case 11:
    case 12:
        // Not a time of two-digit hours (a sign, a third hour digit): no
        // layout rather than fields read from the wrong places.
        if (at(2) == ':')
            bResult = _bSetValueDB_HH_MM_SS_MMM(pszText, nLength);
        break;
    case 13:
    case 15:
        if (at(2) == ':')
            bResult = _bSetValueDB_HH_MM_SS_MMM(pszText, nLength);
        break;
    case 14:
        bResult = at(2) == ':' ? _bSetValueDB_HH_MM_SS_MMM(pszText, nLength)
                               : _bSetValueDB_AAAAMMDDHHMMSS(pszText, nLength);
        break;
    case 17:
        bResult = _bSetValueDB_AAAAMMDD_HH_MM_SS(pszText, nLength);
        break;
    case 19:
        bResult = at(4) != '-' && at(8) == ' ' ? _bSetValueDB_AAAAMMDD_HH_MM_SS(pszText, nLength)
                                               : _bSetValueDB_AAAA_MM_DD_HH_MM_SS(pszText, nLength);
        break;
    case 20:
        if (at(8) == ' ')
            bResult = _bSetValueDB_AAAAMMDD_HH_MM_SS(pszText, nLength);
        break;
    case 21:
    case 22:
    case 23:
    case 26:
        bResult = at(4) != '-' && at(8) == ' ' ? _bSetValueDB_AAAAMMDD_HH_MM_SS(pszText, nLength)
                                               : _bSetValueDB_AAAA_MM_DD_HH_MM_SS_CC(pszText, nLength);
        break;
    case 24:
        if (at(4) == '-')
            bResult = _bSetValueDB_AAAA_MM_DD_HH_MM_SS_CC(pszText, nLength);
        else if (at(8) == ' ')
            bResult = _bSetValueDB_AAAAMMDD_HH_MM_SS(pszText, nLength);
        break;
    case 25:
        if (at(4) == '-')
            bResult = _bSetValueDB_AAAA_MM_DD_HH_MM_SS_CC(pszText, nLength);
        break;
    default:
        break;
    }
    if (bResult == 1)
        return 1;
    std::wstring s;
    for (unsigned i = 0; i < nLength; i++)
        s += static_cast<wchar_t>(static_cast<unsigned char>(pszText[i]));
    _SetErrorConversionFailed(TQTYPE_DSTRA, s.c_str(), kFileServer, kPointDate);
    return 0;
}

// ---- The layouts ----------------------------------------------------------------------------------
// Each reads its fields at fixed places (the caller has chosen the layout by
// the length and the separators) and answers 0 for a text too short.

namespace {

// Where one layout's fields stand; -1 for a field it does not have.
struct STDateLayout {
    unsigned nMinLength;
    int nYear, nMonth, nDay;
    int nHour, nMinute, nSecond;
    int nFraction;     // first fraction digit
    bool bPointFirst;  // the fraction only after a '.' just before it
};

//                                 length  Y   M   D   h   m   s  fraction point
const STDateLayout kHHMM                = {4, -1, -1, -1, 0, 2, -1, -1, false};
const STDateLayout kHH_MM               = {5, -1, -1, -1, 0, 3, -1, -1, false};
const STDateLayout kHHMMSS              = {6, -1, -1, -1, 0, 2, 4, -1, false};
const STDateLayout kAAAAMMJJ            = {8, 0, 4, 6, -1, -1, -1, -1, false};
const STDateLayout kAAAA_MM_JJ          = {10, 0, 5, 8, -1, -1, -1, -1, false};
const STDateLayout kHH_MM_SS_MMM        = {8, -1, -1, -1, 0, 3, 6, 9, false};
const STDateLayout kAAAAMMDDHHMMSS      = {14, 0, 4, 6, 8, 10, 12, -1, false};
const STDateLayout kAAAAMMDD_HH_MM_SS   = {17, 0, 4, 6, 9, 12, 15, 18, true};
const STDateLayout kAAAA_MM_DD_HH_MM_SS = {19, 0, 5, 8, 11, 14, 17, -1, false};
const STDateLayout kAAAA_MM_DD_HH_MM_SS_CC = {19, 0, 5, 8, 11, 14, 17, 20, true};

// Whether nCount digits stand from nFrom on (a field the layout lacks:
// true).
bool bDigitsAt(const char* p, int nFrom, unsigned nCount, unsigned nLength)
{
    for (unsigned i = 0; nFrom >= 0 && i < nCount; i++) {
        const unsigned k = static_cast<unsigned>(nFrom) + i;
        if (k >= nLength || p[k] < '0' || p[k] > '9')
            return false;
    }
    return true;
}

// The one reader of the layouts.
int nLitDate(const STDateLayout& l, const char* pszText, unsigned int nLength, const STDateTarget& stTarget)
{
    if (pszText == nullptr || nLength < l.nMinLength)
        return 0;
    const unsigned nFrom = static_cast<unsigned>(l.nFraction);
    const bool bFraction =
        l.nFraction >= 0 && (!l.bPointFirst || (nLength > nFrom && pszText[nFrom - 1] == '.'));
    // Digits where the layout reads them: a sign or a third hour digit is
    // never read as part of a field.
    if (!bDigitsAt(pszText, l.nYear, 4, nLength) || !bDigitsAt(pszText, l.nMonth, 2, nLength) ||
        !bDigitsAt(pszText, l.nDay, 2, nLength) || !bDigitsAt(pszText, l.nHour, 2, nLength) ||
        !bDigitsAt(pszText, l.nMinute, 2, nLength) || !bDigitsAt(pszText, l.nSecond, 2, nLength) ||
        (bFraction && nLength > nFrom && !bDigitsAt(pszText, l.nFraction, nLength - nFrom, nLength)))
        return 0;
    STDateParts st;
    if (l.nYear >= 0)
        SetDate(st, pszText, static_cast<unsigned>(l.nYear), static_cast<unsigned>(l.nMonth),
                static_cast<unsigned>(l.nDay));
    if (l.nHour >= 0)
        SetTime(st, pszText, static_cast<unsigned>(l.nHour), static_cast<unsigned>(l.nMinute), l.nSecond);
    if (bFraction)
        SetFraction(st, pszText, nFrom, nLength);
    return WriteDateParts(st, stTarget);
}

} // namespace

#define ZT_DATE_TARGET DateTarget(m_clValue, m_eVarType, m_piItem, m_pbyBuffer, m_nSize)

int CNAConvertVariant::_bSetValueDB_HHMM(const char* pszText, unsigned int nLength)
{
    return nLitDate(kHHMM, pszText, nLength, ZT_DATE_TARGET);
}

int CNAConvertVariant::_bSetValueDB_HH_MM(const char* pszText, unsigned int nLength)
{
    return nLitDate(kHH_MM, pszText, nLength, ZT_DATE_TARGET);
}

int CNAConvertVariant::_bSetValueDB_HHMMSS(const char* pszText, unsigned int nLength)
{
    return nLitDate(kHHMMSS, pszText, nLength, ZT_DATE_TARGET);
}

int CNAConvertVariant::_bSetValueDB_AAAAMMJJ(const char* pszText, unsigned int nLength)
{
    return nLitDate(kAAAAMMJJ, pszText, nLength, ZT_DATE_TARGET);
}

int CNAConvertVariant::_bSetValueDB_AAAA_MM_JJ(const char* pszText, unsigned int nLength)
{
    return nLitDate(kAAAA_MM_JJ, pszText, nLength, ZT_DATE_TARGET);
}

// hh:mm:ss, then '.' and fraction digits.
int CNAConvertVariant::_bSetValueDB_HH_MM_SS_MMM(const char* pszText, unsigned int nLength)
{
    return nLitDate(kHH_MM_SS_MMM, pszText, nLength, ZT_DATE_TARGET);
}

int CNAConvertVariant::_bSetValueDB_AAAAMMDDHHMMSS(const char* pszText, unsigned int nLength)
{
    return nLitDate(kAAAAMMDDHHMMSS, pszText, nLength, ZT_DATE_TARGET);
}

// YYYYMMDD hh:mm:ss, then possibly '.' and fraction digits.
int CNAConvertVariant::_bSetValueDB_AAAAMMDD_HH_MM_SS(const char* pszText, unsigned int nLength)
{
    return nLitDate(kAAAAMMDD_HH_MM_SS, pszText, nLength, ZT_DATE_TARGET);
}

int CNAConvertVariant::_bSetValueDB_AAAA_MM_DD_HH_MM_SS(const char* pszText, unsigned int nLength)
{
    return nLitDate(kAAAA_MM_DD_HH_MM_SS, pszText, nLength, ZT_DATE_TARGET);
}

// YYYY-MM-DD hh:mm:ss, then possibly '.' and fraction digits.
int CNAConvertVariant::_bSetValueDB_AAAA_MM_DD_HH_MM_SS_CC(const char* pszText, unsigned int nLength)
{
    return nLitDate(kAAAA_MM_DD_HH_MM_SS_CC, pszText, nLength, ZT_DATE_TARGET);
}

#undef ZT_DATE_TARGET
