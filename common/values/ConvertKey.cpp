#include "common/values/ConvertKey.h"

#include "access/driver/NaDriver.h" // the host key service comes through the driver
#include "common/text/CodePage.h"
#include "common/text/UnicodeCodec.h"
#include "common/values/Any.h"
#include "common/values/Decimal.h"
#include "common/values/KXForNA.h"
#include "common/values/monetaire.h"
#include "common/text/SysUtils.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

unsigned short tabUCS2FastSort[65536];

namespace {

// ---- Sort weights of the UTF-16 units ---------------------------------------------------
//
// Units are laid out in collation order and take the free weights one after
// the other: the C0 controls other than the white-space ones keep their own
// value; then the ignorable units (C1 controls, combining marks, format
// characters, surrogates), white space, the space, punctuation, symbols,
// digits grouped by value, Latin letters grouped by base letter (small form,
// its variants, capital form, its variants, then the accented forms small
// before capital), Greek, Cyrillic, and every other unit in code order. A
// few units have fixed weights; the room before each is filled with private
// use units, which have no order of their own.

struct SAnchor {
    unsigned short nUnit;
    unsigned short nWeight;
};
const SAnchor kAnchors[] = {
    {0x0020, 0x0A3D}, {0x0030, 0x1684}, {0x0031, 0x16A3}, {0x0061, 0x1877}, {0x0041, 0x187B},
    {0x00E1, 0x1882}, {0x00E0, 0x1884}, {0x00C0, 0x1885}, {0x0062, 0x18D8}, {0x0042, 0x18DB},
};

constexpr unsigned kPrivateFirst = 0xE000;
constexpr unsigned kPrivateLast = 0xF8FF;

// Base letters of U+00C0-U+017F (capital letter for a capital form, '*' for
// none) and their accents, ranked by kAccentRanks.
const char kLatinBase[] =
    "AAAAAAACEEEEIIIIDNOOOOO*OUUUUY*s"
    "aaaaaaaceeeeiiiidnooooo*ouuuuy*y"
    "AaAaAaCcCcCcCcDdDdEeEeEeEeEeGgGgGgGgHhHhIiIiIiIiIiIiJjKkkLlLlLlLlLlNnNnNnnNnOoOoOoOoRrRrRr"
    "SsSsSsSsTtTtTtUuUuUuUuUuUuWwYyYZzZzZzs";
const char kLatinAccent[] =
    "gactdrLegacdgacdStgactd*SgacdaXX"
    "gactdrLegacdgacdStgactd*Sgacda*d"
    "mmbbkkaaccoovvvvSSmmbbookkvvccbbooeeccSSttmmbbkkoXLLcceeXaaeevvooSSaaeevvXXXmmbbhhLLaaeevv"
    "aacceevveevvSSttmmbbrrhhkkccccdaaoovvX";
const char kAccentRanks[] = "agcvbrdhtoekmSLX";
static_assert(sizeof(kLatinBase) == 193 && sizeof(kLatinAccent) == 193, "one entry per unit");

// Decimal digits other than ASCII, fullwidth, superscript and subscript:
// the zero of each script.
const unsigned short kDigitZeros[] = {0x0660, 0x06F0, 0x0966, 0x09E6, 0x0A66, 0x0AE6, 0x0B66, 0x0BE6, 0x0C66,
                                      0x0CE6, 0x0D66, 0x0E50, 0x0ED0, 0x0F20, 0x1040, 0x17E0, 0x1810};

class CFastSortBuilder {
public:
    explicit CFastSortBuilder(unsigned short* pTab) : m_pTab(pTab) {}

    void Build()
    {
        for (unsigned u = 0; u < 32; ++u) {
            if (u <= 8 || u >= 14) {
                m_pTab[u] = Swap(u);
                m_abTaken[u] = true;
            }
        }
        // Ignorables.
        Range(0x7F, 0x9F);
        Place(0xAD);
        Range(0x300, 0x36F);
        Range(0x200B, 0x200F);
        Range(0x202A, 0x202E);
        Range(0x2060, 0x206F);
        Range(0xFE00, 0xFE0F);
        Place(0xFEFF);
        Range(0xD800, 0xDFFF);
        // White space, the space, punctuation.
        Range(0x09, 0x0D);
        Place(0xA0);
        Place(0x1680);
        Range(0x2000, 0x200A);
        Place(0x2028);
        Place(0x2029);
        Place(0x202F);
        Place(0x205F);
        Place(0x3000);
        Place(0x20);
        Text("!\"#%&'()*,-./:;?@[\\]_{}");
        for (unsigned u : {0xA1, 0xA7, 0xAB, 0xB6, 0xB7, 0xBB, 0xBF})
            Place(u);
        Range(0x2010, 0x2027);
        Range(0x2030, 0x205E);
        Range(0x3001, 0x303F);
        Range(0xFF01, 0xFF0F);
        Range(0xFF1A, 0xFF20);
        Range(0xFF3B, 0xFF40);
        Range(0xFF5B, 0xFF65);
        // Symbols.
        Text("`^~$+<=>|");
        for (unsigned u : {0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA8, 0xA9, 0xAC, 0xAE, 0xAF, 0xB0, 0xB1, 0xB4, 0xB8,
                           0xBC, 0xBD, 0xBE, 0xD7, 0xF7})
            Place(u);
        Range(0x20A0, 0x20CF);
        Range(0x2100, 0x218F);
        Range(0x2190, 0x245F);
        Range(0x2500, 0x2BFF);
        // Digits by value.
        for (unsigned d = 0; d < 10; ++d) {
            Place(0x30 + d);
            Place(0xFF10 + d);
            Place(d == 1 ? 0xB9 : d == 2 ? 0xB2 : d == 3 ? 0xB3 : 0x2070 + d);
            Place(0x2080 + d);
            for (unsigned z : kDigitZeros)
                Place(z + d);
        }
        // Latin letters.
        for (unsigned k = 0; k < 26; ++k) {
            Place('a' + k);
            Place(0xFF41 + k);
            Place(0x24D0 + k);
            if (k == 0)
                Place(0xAA);
            if (k == 14)
                Place(0xBA);
            Place('A' + k);
            Place(0xFF21 + k);
            Place(0x24B6 + k);
            Accented(static_cast<char>('a' + k));
        }
        Place(0xFE);
        Place(0xDE);
        Range(0x370, 0x3FF);
        Range(0x400, 0x52F);
        // Everything else, private use included, in code order.
        for (unsigned u = 0; u < 65536; ++u)
            if (!m_abTaken[u])
                Put(u);
    }

private:
    static unsigned short Swap(unsigned w) { return static_cast<unsigned short>(((w & 0xFF) << 8) | (w >> 8)); }

    static bool bPrivate(unsigned u) { return u >= kPrivateFirst && u <= kPrivateLast; }

    // Gives u the next free weight.
    void Put(unsigned u)
    {
        m_pTab[u] = Swap(m_nNext);
        m_abTaken[u] = true;
        ++m_nNext;
        if (m_nNext == 14)
            m_nNext = 32;
    }

    void Place(unsigned u)
    {
        if (u > 0xFFFF || m_abTaken[u] || bPrivate(u))
            return;
        for (const SAnchor& st : kAnchors) {
            if (st.nUnit == u) {
                while (m_nNext < st.nWeight && m_nFiller <= kPrivateLast) {
                    if (!m_abTaken[m_nFiller])
                        Put(m_nFiller);
                    ++m_nFiller;
                }
            }
        }
        Put(u);
    }

    void Range(unsigned a, unsigned b)
    {
        for (unsigned u = a; u <= b; ++u)
            Place(u);
    }

    void Text(const char* psz)
    {
        for (; *psz != 0; ++psz)
            Place(static_cast<unsigned char>(*psz));
    }

    // Accented forms of a base letter: by accent, then small before capital.
    void Accented(char cBase)
    {
        struct SForme {
            int nRank;
            unsigned nPartner;  // the small form of a pair
            int bCapital;
            unsigned nUnit;
        };
        std::vector<SForme> v;
        for (unsigned i = 0; i < sizeof(kLatinBase) - 1; ++i) {
            const char c = kLatinBase[i];
            if (c == '*' || (c | 0x20) != cBase)
                continue;
            const unsigned u = 0xC0 + i;
            const bool bCapital = c >= 'A' && c <= 'Z';
            unsigned nPartner = u;
            if (bCapital)
                nPartner = u < 0x100 ? u + 0x20 : (u == 0x178 ? 0xFF : (u == 0x130 ? u : u + 1));
            const int nRank = static_cast<int>(std::strchr(kAccentRanks, kLatinAccent[i]) - kAccentRanks);
            v.push_back({nRank, nPartner, bCapital ? 1 : 0, u});
        }
        std::sort(v.begin(), v.end(), [](const SForme& a, const SForme& b) {
            if (a.nRank != b.nRank)
                return a.nRank < b.nRank;
            if (a.nPartner != b.nPartner)
                return a.nPartner < b.nPartner;
            return a.bCapital < b.bCapital;
        });
        for (const SForme& st : v)
            Place(st.nUnit);
    }

    unsigned short* m_pTab;
    bool m_abTaken[65536] = {};
    unsigned m_nNext = 9;
    unsigned m_nFiller = kPrivateFirst;
};

struct CFastSortInit {
    CFastSortInit()
    {
        std::unique_ptr<CFastSortBuilder> p(new CFastSortBuilder(tabUCS2FastSort));
        p->Build();
    }
} g_clFastSortInit;

// ---- Helpers ----------------------------------------------------------------------------

unsigned short LoadUnit(const unsigned char* p)
{
    unsigned short u;
    std::memcpy(&u, p, sizeof(u));
    return u;
}

void StoreUnit(unsigned char* p, unsigned short u) { std::memcpy(p, &u, sizeof(u)); }

// Big-endian copy of n little-endian bytes.
void BigEndian(unsigned char* pOut, const unsigned char* pIn, unsigned n)
{
    for (unsigned i = 0; i < n; ++i)
        pOut[i] = pIn[n - 1 - i];
}

// A text that ends with a 0xFF filler (the upper bound of a range) keeps
// 0xFF in its key even after mapping.
void HighValue(unsigned char* pKey, unsigned nKeySize, const unsigned char* pText, unsigned nDataSize)
{
    if (pKey == nullptr || pText == nullptr)
        return;
    const long long i = std::min(static_cast<long long>(nKeySize) - 2, static_cast<long long>(nDataSize) - 1);
    if (i < 0)
        return;
    if (pText[i] == 0xFF) {
        pKey[i] = 0xFF;
        return;
    }
    if (pText[i] != 0 && pText[i] != ' ')
        return;
    for (long long j = i - 1; j >= 0; --j) {
        if (pText[j] == 0 || pText[j] == ' ')
            continue;
        if (pText[j] == 0xFF)
            pKey[j] = 0xFF;
        return;
    }
}

IKXUnicodeKey* piUnicodeKeyBuilder()
{
    CNADriver* pclDriver = CNADriver::s_pclDriver;
    IKXForNA* piKX = pclDriver != nullptr ? pclDriver->piGetKX() : nullptr;
    return piKX != nullptr ? piKX->piGetUnicodeKey() : nullptr;
}

int nClamp(unsigned n) { return n > static_cast<unsigned>(INT_MAX) ? INT_MAX : static_cast<int>(n); }

}  // namespace

// ---- CConvertKey --------------------------------------------------------------------------

unsigned int CConvertKey::nConvertKeyAndGetSize(CAny* pclValue, unsigned char* pbyKey, unsigned int nKeySize,
                                                unsigned short nType, unsigned short nOption, int nDigits,
                                                int nDecimals)
{
    return _nConvertKeyAndGetSize(pclValue, pbyKey, nKeySize, nullptr, nType, nOption, nDigits, nDecimals);
}

unsigned int CConvertKey::nConvertKeyAndGetSize(CAny* pclValue, unsigned char** ppbyKey, unsigned short nType,
                                                unsigned short nOption, int nDigits, int nDecimals)
{
    if (ppbyKey == nullptr)
        return 0;
    *ppbyKey = nullptr;
    return _nConvertKeyAndGetSize(pclValue, nullptr, 0, ppbyKey, nType, nOption, nDigits, nDecimals);
}

void CConvertKey::__InvertKey(unsigned char* pbyKey, unsigned int nSize)
{
    if (pbyKey == nullptr)
        return;
    unsigned i = 0;
    for (; i + 4 <= nSize; i += 4) {
        std::uint32_t w;
        std::memcpy(&w, pbyKey + i, 4);
        w = ~w;
        std::memcpy(pbyKey + i, &w, 4);
    }
    for (; i < nSize; ++i)
        pbyKey[i] = static_cast<unsigned char>(~pbyKey[i]);
}

unsigned int CConvertKey::_nConvertKeyAndGetSize(CAny* pclValue, unsigned char* pbyKey, unsigned int nKeySize,
                                                 unsigned char** ppbyKey, unsigned short nType,
                                                 unsigned short nOption, int nDigits, int nDecimals)
{
    // The caller's value stays as it is, NULL included: a cast or a NULL
    // value is worked on in a copy.
    const bool bNull = pclValue == nullptr || pclValue->bIsNull() || pclValue->nGetTypeCode() == TQTYPE_VIDE;
    const unsigned char nOwn = bNull ? static_cast<unsigned char>(TQTYPE_PSTRW) : pclValue->nGetTypeCode();
    const unsigned char nCode = static_cast<unsigned char>(nType != 0 ? nType : nOwn);
    CAny clCopy;
    const CAny* pclSource = pclValue;
    if (bNull || nCode != nOwn || nCode == TQTYPE_DECIMAL) {
        if (bNull)
            clCopy.__SetType(TQTYPE_PSTRW, 0);
        else
            pclValue->pclGetTraitement()->Duplique(&clCopy);
        clCopy.__nCastTo(nCode, nullptr, 1);
        pclSource = &clCopy;
    }

    // A copy that did not become the target type gives an empty key: its
    // data is not of the form the encoder would read.
    const void* pData = nullptr;
    unsigned nSize = 0;
    int nPrecision = nDigits + nDecimals;
    int nScale = nDecimals;
    if (pclSource->nGetTypeCode() == nCode) {
        if (nCode == TQTYPE_DECIMAL) {
            IDecimal* piDecimal = nullptr;
            std::memcpy(&piDecimal, pclSource->pbyGetValeur(), sizeof(piDecimal));
            if (piDecimal != nullptr) {
                if (piDecimal->nRescale(nPrecision, nScale) != 0) {
                    // Out of that precision: keyed at its own (the key
                    // does not depend on it).
                    nPrecision = piDecimal->nGetDigits();
                    nScale = piDecimal->nGetDecimals();
                }
                pData = piDecimal->pGetData();
                nSize = piDecimal->nGetDataSize();
            }
        } else {
            const CAny_Intern* pclTraitement = pclSource->pclGetTraitement();
            void* p = nullptr;
            unsigned n = 0;
            if (pclTraitement->nGetDataAdr(&p) == TQSTATUS_OK && p != nullptr &&
                pclTraitement->nGetUtilDataSize(&n) == TQSTATUS_OK) {
                pData = p;
                nSize = n;
                switch (nCode) {
                case TQTYPE_PSTRA:
                case TQTYPE_DSTRA:
                    nSize += 1;  // the terminator
                    break;
                case TQTYPE_BOOL:
                    nSize = 1;
                    break;
                case TQTYPE_DSTRW:
                case TQTYPE_PSTRW:
                    nSize += sizeof(wchar_t);  // the wide terminator
                    break;
                default:
                    break;
                }
            }
        }
    }

    const eITEMTYPE eType = CKXConvertKey::eGetItemType(nCode);
    if (ppbyKey != nullptr) {
        nKeySize = CKXConvertKey::nCalculateKeySize(eType, nSize);
        pbyKey = static_cast<unsigned char*>(XMALLOC_pNewZero_(nKeySize != 0 ? nKeySize : 1, 1));
        // Out of memory: no key and a length of 0.
        if (pbyKey == nullptr)
            return 0;
        *ppbyKey = pbyKey;
    }
    if (pbyKey == nullptr)
        nKeySize = 0;
    else if (eType == KXIT_BUFFER)
        std::memset(pbyKey, 0, nKeySize);
    // Wide host text is 32-bit characters.
    const int nFlags = (eType == KXIT_STRW || eType == KXIT_PSTRW) ? KXFLAG_UTF32 : 0;
    const unsigned nLength = CKXConvertKey::__nConvertKey(pbyKey, nKeySize, pData, nSize, eType, nOption,
                                                          nPrecision, nScale, 0, nFlags);
    if (nOption & KXOPT_DESCENDING)
        __InvertKey(pbyKey, nKeySize);
    return nLength;
}

// ---- CKXConvertKey --------------------------------------------------------------------------

eITEMTYPE CKXConvertKey::eGetItemType(unsigned short nHostType)
{
    switch (static_cast<unsigned char>(nHostType)) {
    case 18:
    case 19:
    case 21:
    case 22:
    case 23:
    case 24:
    case 25:
    case 128:
    case 129:
        return KXIT_STRA;
    case TQTYPE_I1:
        return KXIT_I1;
    case TQTYPE_I2:
        return KXIT_I2;
    case TQTYPE_I8:
        return KXIT_I8;
    case TQTYPE_R4:
        return KXIT_R4;
    case TQTYPE_R8:
        return KXIT_R8;
    case TQTYPE_UI1:
        return KXIT_UI1;
    case TQTYPE_UI2:
        return KXIT_UI2;
    case TQTYPE_UI4:
        return KXIT_UI4;
    case TQTYPE_UI8:
        return KXIT_UI8;
    case TQTYPE_BUFFER:
        return KXIT_BUFFER;
    case TQTYPE_CY:
        return KXIT_MONEY;
    case TQTYPE_DATETIME:
        return KXIT_DATETIME;
    case TQTYPE_DUREE:
        return KXIT_DUREE;
    case TQTYPE_BIN:
        return KXIT_BIN;
    case TQTYPE_CARA:
        return KXIT_CARA;
    case TQTYPE_BOOL:
        return KXIT_BOOL;
    case TQTYPE_PSTRW:
        return KXIT_PSTRW;
    case TQTYPE_DSTRW:
        return KXIT_STRW;
    case TQTYPE_DECIMAL:
        return KXIT_DECIMAL;
    default:
        return KXIT_I4;
    }
}

unsigned int CKXConvertKey::nCalculateKeySize(eITEMTYPE eType, unsigned int nSize)
{
    switch (eType) {
    case KXIT_STRA:
    case KXIT_STRA2:
        return nSize + 1;
    case KXIT_BIN:
        return nSize * 2;
    case KXIT_PSTRW:
    case KXIT_STRW:
        return nSize * 2 + 2;
    case KXIT_DECIMAL:
        return IDecimal::KEY_SIZE;
    default:
        return nSize;
    }
}

unsigned int CKXConvertKey::nCalculateKeySize(unsigned short nHostType, unsigned int nSize)
{
    return nCalculateKeySize(eGetItemType(nHostType), nSize);
}

unsigned int CKXConvertKey::__nConvertKey(void* pKey, unsigned int nKeySize, const void* pData,
                                          unsigned int nDataSize, eITEMTYPE eType, unsigned short nOption,
                                          int nPrecision, int nScale, unsigned int nCharset, int nFlags)
{
    if (eType < KXIT_STRA || eType > KXIT_DECIMAL || eType == KXIT_BUFFER || pKey == nullptr)
        return 0;
    unsigned char* pbyKey = static_cast<unsigned char*>(pKey);
    const unsigned char* pbyData = static_cast<const unsigned char*>(pData);
    if (pbyData == nullptr)
        nDataSize = 0;
    std::memset(pbyKey, 0, nKeySize);

    unsigned char abyKey[IDecimal::KEY_SIZE];
    unsigned nWidth = 0;
    switch (eType) {
    case KXIT_STRA:
    case KXIT_STRA2: {
        const unsigned n = _nSTR_to_Key(reinterpret_cast<char*>(pbyKey), nKeySize,
                                        reinterpret_cast<const char*>(pbyData), nDataSize, nOption, nCharset);
        HighValue(pbyKey, nKeySize, pbyData, nDataSize);
        return n;
    }
    case KXIT_PSTRW:
    case KXIT_STRW:
        return _nUNICODE_to_Key(static_cast<unsigned short*>(pKey), nKeySize,
                                static_cast<const unsigned short*>(pData), nDataSize, nOption, nFlags);
    case KXIT_I1:
    case KXIT_I2:
    case KXIT_I4:
    case KXIT_I8:
    case KXIT_DUREE:
        // The sign bit flips: negative values come first.
        nWidth = eType == KXIT_I1 ? 1 : eType == KXIT_I2 ? 2 : eType == KXIT_I4 ? 4 : 8;
        if (nDataSize < nWidth)
            return 0;
        BigEndian(abyKey, pbyData, nWidth);
        abyKey[0] ^= 0x80;
        break;
    case KXIT_BOOL:
        nWidth = 1;
        if (nDataSize < nWidth)
            return 0;
        abyKey[0] = static_cast<unsigned char>(pbyData[0] ^ 0x80);
        break;
    case KXIT_UI1:
    case KXIT_UI2:
    case KXIT_UI4:
    case KXIT_UI8:
    case KXIT_CARA:
        nWidth = eType == KXIT_UI2 ? 2 : eType == KXIT_UI4 ? 4 : eType == KXIT_UI8 ? 8 : 1;
        if (nDataSize < nWidth)
            return 0;
        BigEndian(abyKey, pbyData, nWidth);
        break;
    case KXIT_R4:
    case KXIT_R8:
        // Sign and magnitude: negative values inverted, positive ones
        // above them.
        nWidth = eType == KXIT_R4 ? 4 : 8;
        if (nDataSize < nWidth)
            return 0;
        BigEndian(abyKey, pbyData, nWidth);
        if (abyKey[0] & 0x80) {
            for (unsigned i = 0; i < nWidth; ++i)
                abyKey[i] = static_cast<unsigned char>(~abyKey[i]);
        } else {
            abyKey[0] |= 0x80;
        }
        break;
    case KXIT_DATETIME:
        nWidth = 8;
        if (nDataSize < nWidth)
            return 0;
        BigEndian(abyKey, pbyData, 4);
        BigEndian(abyKey + 4, pbyData + 4, 4);
        break;
    case KXIT_MONEY: {
        nWidth = sizeof(CMoney);
        if (nDataSize < nWidth)
            return 0;
        CMoney stMoney;
        std::memcpy(&stMoney, pbyData, sizeof(stMoney));
        MonetaireVersCleKX(abyKey, &stMoney);
        break;
    }
    case KXIT_BIN: {
        static const char kHex[] = "0123456789abcdef";
        unsigned n = nDataSize;
        if (nKeySize / 2 < n)
            n = nKeySize / 2;
        for (unsigned i = 0; i < n; ++i) {
            pbyKey[2 * i] = static_cast<unsigned char>(kHex[pbyData[i] >> 4]);
            pbyKey[2 * i + 1] = static_cast<unsigned char>(kHex[pbyData[i] & 0xF]);
        }
        std::memset(pbyKey + 2 * n, '0', nKeySize - 2 * n);
        return 2 * n;
    }
    case KXIT_DECIMAL: {
        IVMFactory* piFactory = gpiVMFactory;
        const int nDigits = nPrecision == 0 ? IDecimal::MAX_DIGITS : nPrecision;
        if (piFactory == nullptr || nDigits < 1 || nDigits > IDecimal::MAX_DIGITS || nScale < 0 ||
            nScale > nDigits || nDataSize < IDecimal::mg_PToN[nDigits])
            return 0;
        IDecimal* piDecimal = piFactory->piCreateObject(0);
        if (piDecimal == nullptr)
            return 0;
        const bool bOk = piDecimal->nSetBytes(pbyData, nPrecision, nScale) == 0 && piDecimal->nGetKey(abyKey) == 0;
        piFactory->ReleaseObject(piDecimal);
        if (!bOk)
            return 0;
        nWidth = IDecimal::KEY_SIZE;
        break;
    }
    default:
        return 0;
    }
    const unsigned n = std::min(nWidth, nKeySize);
    std::memcpy(pbyKey, abyKey, n);
    return n;
}

unsigned int CKXConvertKey::_nSTR_to_Key(char* pKey, unsigned int nKeySize, const char* pText, unsigned int nLength,
                                         unsigned short nOption, unsigned int nCharset)
{
    if (pKey == nullptr || nKeySize == 0)
        return 0;
    std::memset(pKey, 0, nKeySize);
    if (pText == nullptr || nLength == 0)
        return 0;
    unsigned nMap = 0;
    if (nOption & KXOPT_MAP_1)
        nMap |= 1;
    if (nOption & KXOPT_MAP_4)
        nMap |= 4;
    if (nOption & KXOPT_MAP_2)
        nMap |= 2;

    unsigned n = 0;
    if (nMap != 0 && STR_piGetInfoLocale() != nullptr) {
        const int nMapped = STR_nMapStringEx_Charset(static_cast<int>(nCharset), nMap, pKey, nClamp(nKeySize), pText,
                                                     nClamp(nLength));
        n = nMapped > 0 ? std::min(static_cast<unsigned>(nMapped), nKeySize) : 0;
    } else {
        n = std::min(nLength, nKeySize);
        std::memcpy(pKey, pText, n);
    }
    pKey[nKeySize - 1] = 0;

    if (nCharset != 0 && STR_piGetInfoLocale() != nullptr) {
        // The key becomes its sort key in the charset's language.
        unsigned nText = 0;
        while (nText < n && pKey[nText] != 0)
            ++nText;
        std::vector<wchar_t> wide(nText + 1);
        int nWide = 0;
        if (nText != 0)
            nWide = MultiByteToWideChar(dwGetCodePageFromCharset(static_cast<int>(nCharset)), 0, pKey,
                                        static_cast<int>(nText), wide.data(), static_cast<int>(nText));
        std::memset(pKey, 0, nKeySize);
        const int nSort = STR_MapStringSortEx_Charset(static_cast<int>(nCharset), reinterpret_cast<unsigned char*>(pKey),
                                                      nClamp(nKeySize), wide.data(), nWide);
        n = nSort > 0 ? std::min(static_cast<unsigned>(nSort), nKeySize) : 0;
    }
    return n;
}

unsigned int CKXConvertKey::_nUNICODE_to_Key(unsigned short* pKey, unsigned int nKeySize, const unsigned short* pText,
                                             unsigned int nSize, unsigned short nOption, int nFlags)
{
    if (pKey == nullptr)
        return 0;
    unsigned char* pbyKey = reinterpret_cast<unsigned char*>(pKey);
    std::memset(pbyKey, 0, nKeySize);
    if (pText == nullptr || nSize == 0)
        return 0;
    const unsigned nUnits = nKeySize / 2;
    const bool bWeights = (nOption & KXOPT_WEIGHTS) != 0;
    const bool bModeBits = (nOption & KXOPT_BUILDER_MODE) && (nOption & (KXOPT_WEIGHTS | KXOPT_BIG_ENDIAN));
    const bool bBuilder = (nOption & (KXOPT_MAP_2 | KXOPT_MAP_4)) || bModeBits;
    const bool bSwap = (nOption & KXOPT_BIG_ENDIAN) && !bWeights;
    const bool b32 = (nFlags & KXFLAG_UTF32) != 0;
    const unsigned nChars = b32 ? nSize / 4 : nSize / 2;

    // Without the engine's builder (not handed over yet) the built-in
    // encoding stands in.
    IKXUnicodeKey* piBuilder = bBuilder ? piUnicodeKeyBuilder() : nullptr;
    unsigned nLength = 0;
    if (piBuilder != nullptr) {
        if (nUnits != 0) {
            const int b40 = (nOption & KXOPT_MAP_4) ? 1 : 0;
            const int b20 = (nOption & KXOPT_MAP_2) ? 1 : 0;
            const int nMode = bModeBits ? 1 : 0;
            if (b32)
                piBuilder->nKeyFromUTF32(pKey, nUnits, reinterpret_cast<const wchar_t*>(pText), nChars, b40, b20,
                                         nMode);
            else
                piBuilder->nKeyFromUTF16(pKey, nUnits, pText, nChars, b40, b20, nMode);
            nLength = static_cast<unsigned>(utf16nlen(pKey, nClamp(nUnits))) * 2;
        }
    } else if (b32) {
        // One unit per character, a pair above U+FFFF, so that the key
        // holds every character; the last unit stays 0.
        const unsigned char* pbyText = reinterpret_cast<const unsigned char*>(pText);
        unsigned n = 0;
        for (unsigned i = 0; i < nChars && nUnits != 0; ++i) {
            std::uint32_t c;
            std::memcpy(&c, pbyText + 4 * i, 4);
            if (c > 0x10FFFF)
                c = '?';
            if (c > 0xFFFF) {
                if (n + 2 > nUnits - 1)
                    break;
                c -= 0x10000;
                StoreUnit(pbyKey + 2 * n++, static_cast<unsigned short>(0xD800 + (c >> 10)));
                StoreUnit(pbyKey + 2 * n++, static_cast<unsigned short>(0xDC00 + (c & 0x3FF)));
            } else {
                if (n + 1 > nUnits - 1)
                    break;
                StoreUnit(pbyKey + 2 * n++, static_cast<unsigned short>(c));
            }
        }
        nLength = 2 * n;
    } else {
        nLength = std::min(nSize, nKeySize);
        std::memcpy(pbyKey, pText, nLength);
        if (nUnits != 0)
            StoreUnit(pbyKey + 2 * (nUnits - 1), 0);
    }

    if (nUnits != 0 && (bWeights || bSwap)) {
        for (unsigned i = 0; i + 1 < nUnits; ++i) {
            const unsigned short u = LoadUnit(pbyKey + 2 * i);
            StoreUnit(pbyKey + 2 * i,
                      bWeights ? tabUCS2FastSort[u] : static_cast<unsigned short>((u >> 8) | (u << 8)));
        }
    }
    return nLength;
}
