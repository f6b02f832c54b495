#include "tools/zthost/ValueForm.h"

#include "access/driver/NAItemDescription.h"
#include "common/text/TextCompare.h"
#include "common/values/Any.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <iconv.h>

namespace {

const char kHexDigits[] = "0123456789ABCDEF";

bool bDigits(const std::string& s, size_t nFrom, size_t nCount)
{
    return s.size() >= nFrom + nCount &&
           std::all_of(s.begin() + static_cast<long>(nFrom), s.begin() + static_cast<long>(nFrom + nCount),
                       [](char c) { return c >= '0' && c <= '9'; });
}

// The numbers in a server type's parentheses: "decimal(10,2)" gives 10 and
// 2, "datetime(3)" gives 3 and -1, "int" gives -1 and -1.
void TypeNumbers(const wchar_t* pszType, int* pnFirst, int* pnSecond)
{
    *pnFirst = *pnSecond = -1;
    const wchar_t* p = pszType != nullptr ? std::wcschr(pszType, L'(') : nullptr;
    if (p == nullptr)
        return;
    wchar_t* pEnd = nullptr;
    *pnFirst = static_cast<int>(std::wcstol(p + 1, &pEnd, 10));
    if (*pEnd == L',')
        *pnSecond = static_cast<int>(std::wcstol(pEnd + 1, nullptr, 10));
}

// "YYYYMMDD" as "YYYY-MM-DD", then the rest as it is.
std::string HyphenedDate(const std::string& s, const std::string& strRest)
{
    return s.substr(0, 4) + "-" + s.substr(4, 2) + "-" + s.substr(6, 2) + strRest;
}

// "HHMMSS" at nFrom as "HH:MM:SS", then up to nDigits of the fraction
// ("mmm") that follows, when the value holds one.
std::string ClockText(const std::string& s, size_t nFrom, int nDigits)
{
    std::string str = s.substr(nFrom, 2) + ":" + s.substr(nFrom + 2, 2) + ":" + s.substr(nFrom + 4, 2);
    const std::string strFraction = s.substr(nFrom + 6, static_cast<size_t>(std::max(nDigits, 0)));
    if (!strFraction.empty())
        str += "." + strFraction;
    return str;
}

bool bBytesItem(eNA_ITEMTYPE e)
{
    return e == NA_IT_BINAIRE || e == NA_IT_MEMOBINAIRE || e == NA_IT_MEMOBINAIRE4 || e == NA_IT_IMAGE;
}

// The character sets other than UTF-8 whose texts print converted, by the
// server's numbers of their collations. Each converter reads every byte as
// the server converts it to UTF-8 (tried byte by byte), but for those the
// set leaves undefined. The server's latin1 is Windows-1252 with its five
// undefined bytes the characters of the same value.
const char kLatin1[] = "latin1";
struct STCharset {
    const char* pszIConv;
    unsigned anCollation[8];
};
const STCharset kConvertedCharsets[] = {
    {kLatin1, {5, 8, 15, 31, 47, 48, 49, 94}}, {"ISO-8859-9", {30, 78}},  {"ISO-8859-13", {20, 41, 42, 79}},
    {"IBM850", {4, 80}},                       {"CP1250", {26, 34, 44, 66, 99}}, {"KOI8-R", {7, 74}},
    {"ASCII", {11, 65}},
};

// A result's text in character set nCollation: the converter's name, else
// null where the driver reads it (UTF-8) and kBytes where it prints as
// bytes. The numbers below 192 are of sets other than UTF-8 but for
// utf8mb3's and utf8mb4's, and MySQL's gb18030 is 248 to 250; MariaDB's NO
// PAD collation of a set is 1024 above another of it.
const char kBytes[] = "";
const char* TextCharset(unsigned nCollation)
{
    const unsigned n = nCollation >= 1024 && nCollation < 2048 ? nCollation - 1024 : nCollation;
    for (const STCharset& st : kConvertedCharsets) {
        if (n != 0 && std::find(std::begin(st.anCollation), std::end(st.anCollation), n) != std::end(st.anCollation))
            return st.pszIConv;
    }
    const bool bUtf8 = n == 33 || n == 45 || n == 46 || n == 76 || n == 83;
    return (n < 192 && !bUtf8) || (n >= 248 && n <= 250) ? kBytes : nullptr;
}

// A text's bytes in the character set as UTF-8; false where a byte has no
// character there.
bool bUtf8From(const std::string& strBytes, const char* pszCharset, std::string* pstrUtf8)
{
    if (pszCharset == kLatin1) {
        std::wstring str;
        for (const char c : strBytes)
            str += STR_FromCP1252(static_cast<unsigned char>(c));
        *pstrUtf8 = Utf8(str.c_str(), str.size());
        return true;
    }
    const iconv_t cd = iconv_open("UTF-8", pszCharset);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return false;
    // A byte of these sets is at most three of UTF-8.
    std::string str(strBytes.size() * 3, '\0');
    char* pIn = const_cast<char*>(strBytes.data());
    size_t nIn = strBytes.size();
    char* pOut = &str[0];
    size_t nOut = str.size();
    const bool bOk = iconv(cd, &pIn, &nIn, &pOut, &nOut) != static_cast<size_t>(-1);
    iconv_close(cd);
    str.resize(str.size() - nOut);
    *pstrUtf8 = str;
    return bOk;
}

template <class T>
std::string RealText(T d)
{
    char sz[64];
    const std::to_chars_result r = std::to_chars(sz, sz + sizeof(sz), d);
    return std::string(sz, r.ptr);
}

// A real's text read back as a number of the item's width and printed in
// the real form; a text that is no number stays as it is.
template <class T>
std::string RealTextOf(const std::string& s)
{
    if (s.empty())
        return s;
    char* pEnd = nullptr;
    const double d = std::strtod(s.c_str(), &pEnd);
    if (*pEnd != 0)
        return s;
    return RealText(static_cast<T>(d));
}

// A decimal's text with nScale digits after its point.
std::string ScaledText(const std::string& s, int nScale)
{
    if (s.find_first_not_of("-0123456789.") != std::string::npos)
        return s;
    const size_t nPoint = s.find('.');
    const size_t nHeld = nPoint == std::string::npos ? 0 : s.size() - nPoint - 1;
    if (nHeld >= static_cast<size_t>(nScale))
        return s;
    return s + (nPoint == std::string::npos ? "." : "") + std::string(static_cast<size_t>(nScale) - nHeld, '0');
}

// The host's text of a value in UTF-8 (its own conversion for what is no
// text), its NUL characters kept; empty when it has none.
std::string WideText(CAny& v)
{
    const wchar_t* psz = nullptr;
    if (v.pclGetTraitement()->nGetPCWSTR(&psz) > 99 || psz == nullptr) {
        psz = nullptr;
        if (v.__nCastTo(TQTYPE_DSTRW, nullptr, 1) > 99 || v.pclGetTraitement()->nGetPCWSTR(&psz) > 99 ||
            psz == nullptr)
            return std::string();
    }
    unsigned int n = 0;
    if (v.pclGetTraitement()->nGetSTRLEN(&n) > 99)
        n = static_cast<unsigned int>(std::wcslen(psz));
    return Utf8(psz, n);
}

std::string BytesText(const CAny& v)
{
    std::string str = "\\x";
    for (const char c : ValueBytes(v)) {
        str += kHexDigits[static_cast<unsigned char>(c) >> 4];
        str += kHexDigits[c & 0xF];
    }
    return str;
}

} // namespace

std::string ValueBytes(const CAny& v)
{
    void* p = nullptr;
    unsigned int n = 0;
    if (v.pclGetTraitement()->nGetDataAdr(&p) > 99 || v.pclGetTraitement()->nGetUtilDataSize(&n) > 99 ||
        p == nullptr)
        return std::string();
    return std::string(static_cast<const char*>(p), n);
}

std::string Utf8(const wchar_t* psz, size_t n)
{
    std::string str;
    for (size_t i = 0; i < n; ++i) {
        const unsigned c = static_cast<unsigned>(psz[i]);
        if (c < 0x80) {
            str += static_cast<char>(c);
        } else if (c < 0x800) {
            str += static_cast<char>(0xC0 | (c >> 6));
            str += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            str += static_cast<char>(0xE0 | (c >> 12));
            str += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            str += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            str += static_cast<char>(0xF0 | (c >> 18));
            str += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            str += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            str += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return str;
}

std::string EscapedText(const std::string& strUtf8)
{
    std::string str;
    for (char c : strUtf8) {
        switch (c) {
        case '\\': str += "\\\\"; break;
        case '\t': str += "\\t"; break;
        case '\n': str += "\\n"; break;
        case '\r': str += "\\r"; break;
        case '\0': str += "\\0"; break;
        default: str += c; break;
        }
    }
    return str;
}

STValueForm FormOfColumn(INAItemDescription* piColumn, bool bOwnBuild)
{
    STValueForm st;
    const wchar_t* pszType = piColumn->pszGetDBType();
    const std::wstring strType = pszType != nullptr ? pszType : L"";
    const eNA_ITEMTYPE eType = piColumn->eNAGetItemType();
    // The driver reads a text as the connection's UTF-8; the interface
    // names no character set, the driver's own description of the column
    // does, read only from a module of this build. Another's 8-bit texts
    // hold bytes.
    const bool b8Bit = eType == NA_IT_TEXTE || eType == NA_IT_MEMOTEXTE;
    if (!bOwnBuild)
        st.pszCharset = b8Bit ? kBytes : nullptr;
    else if (b8Bit || eType == NA_IT_UNICODE || eType == NA_IT_MEMOUNICODE)
        st.pszCharset = TextCharset(static_cast<const CNAItemDescription*>(piColumn)->nGetCharsetNumber());
    if (bBytesItem(eType) || st.pszCharset == kBytes) {
        st.eKind = STValueForm::BYTES;
        return st;
    }
    switch (eType) {
    case NA_IT_DATE6:
    case NA_IT_DATE8:
    case NA_IT_DATETIME:
        st.eKind = STValueForm::SERVER_DATE;
        break;
    default:
        // A DECIMAL of many digits is a real item too: the server's digits
        // print as they are.
        if (strType == L"MYSQL_TYPE_DOUBLE")
            st.eKind = STValueForm::REAL8;
        else if (strType == L"MYSQL_TYPE_FLOAT")
            st.eKind = STValueForm::REAL4;
        break;
    }
    return st;
}

STValueForm FormOfItem(INAItemDescription* piItem)
{
    STValueForm st;
    int nFirst = -1;
    int nSecond = -1;
    TypeNumbers(piItem->pszGetDBType(), &nFirst, &nSecond);
    if (bBytesItem(piItem->eNAGetItemType())) {
        st.eKind = STValueForm::BYTES;
        return st;
    }
    switch (piItem->eNAGetItemType()) {
    case NA_IT_DATE6:
    case NA_IT_DATE8:
        st.eKind = STValueForm::DATE;
        break;
    case NA_IT_DATETIME:
    case NA_IT_HEURE:
        // The table object holds milliseconds at most.
        st.eKind = piItem->eNAGetItemType() == NA_IT_HEURE ? STValueForm::TIME : STValueForm::DATETIME;
        st.nDigits = std::min(std::max(nFirst, 0), 3);
        break;
    case NA_IT_R4:
        st.eKind = STValueForm::REAL4;
        break;
    case NA_IT_R8:
        st.eKind = STValueForm::REAL8;
        break;
    case NA_IT_MONETAIRE:
    case NA_IT_DECIMAL:
        st.eKind = STValueForm::DECIMAL;
        st.nDigits = std::max(nSecond, 0);
        break;
    default:
        break;
    }
    return st;
}

std::string ColumnValueText(CAny& v, const STValueForm& stForm)
{
    if (v.bIsNull())
        return "\\N";
    if (stForm.eKind == STValueForm::BYTES)
        return BytesText(v);
    std::string strUtf8;
    if (stForm.pszCharset != nullptr)
        return bUtf8From(ValueBytes(v), stForm.pszCharset, &strUtf8) ? EscapedText(strUtf8) : BytesText(v);
    const std::string str = WideText(v);
    switch (stForm.eKind) {
    case STValueForm::SERVER_DATE:
        // The interface hands dates without their hyphens.
        if (bDigits(str, 0, 8) && (str.size() == 8 || str[8] == ' '))
            return HyphenedDate(str, str.substr(8));
        return EscapedText(str);
    case STValueForm::REAL4:
        return RealTextOf<float>(str);
    case STValueForm::REAL8:
        return RealTextOf<double>(str);
    default:
        return EscapedText(str);
    }
}

std::string ItemValueText(CAny& v, const STValueForm& stForm)
{
    if (v.bIsNull())
        return "\\N";
    switch (stForm.eKind) {
    case STValueForm::BYTES:
        return BytesText(v);
    case STValueForm::REAL4:
    case STValueForm::REAL8: {
        double d = 0;
        if (v.nGetREAL(&d) > 99)
            break;
        return stForm.eKind == STValueForm::REAL4 ? RealText(static_cast<float>(d)) : RealText(d);
    }
    default:
        break;
    }
    const std::string str = WideText(v);
    // The host's dates and times are digits: "YYYYMMDD", "YYYYMMDDHHMMSSmmm"
    // and "HHMMSS[mmm]".
    switch (stForm.eKind) {
    case STValueForm::DATE:
        return bDigits(str, 0, 8) ? HyphenedDate(str, "") : EscapedText(str);
    case STValueForm::DATETIME:
        return bDigits(str, 0, 14) ? HyphenedDate(str, " " + ClockText(str, 8, stForm.nDigits)) : EscapedText(str);
    case STValueForm::TIME:
        return bDigits(str, 0, 6) ? ClockText(str, 0, stForm.nDigits) : EscapedText(str);
    case STValueForm::DECIMAL:
        return ScaledText(str, stForm.nDigits);
    default:
        return EscapedText(str);
    }
}
