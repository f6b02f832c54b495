// Server texts stored in cells, beside the road they took before the cell
// read integers itself and wrote texts into the block it already holds: a
// number's text widened into a host string in the code page and cast by the
// host's converter; a text converted into a new host string. Same value
// bytes, same result, same error, and a rejected text leaves the cell as it
// was; in both code pages, on the cell's own value and on a record buffer.
#include "common/text/XYString.h"
#include "common/values/Decimal.h"
#include "tests/support/ValueCells.h"

#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace {

const unsigned short kNumberTypes[] = {TQTYPE_UI2, TQTYPE_UI4, TQTYPE_UI8, TQTYPE_I1, TQTYPE_I2, TQTYPE_I4,
                                       TQTYPE_I8,  TQTYPE_CY,  TQTYPE_R4,  TQTYPE_R8, TQTYPE_UIX};
const unsigned kCodePages[] = {1252, 65001};

struct Outcome {
    int bResult;
    Bytes value;
    bool bNull;
    unsigned nError;
};

std::string Show(const std::string& s)
{
    std::string r;
    for (unsigned char c : s) {
        char sz[8];
        std::snprintf(sz, sizeof sz, c >= 0x20 && c < 0x7F ? "%c" : "\\x%02X", c);
        r += sz;
    }
    return r;
}

// A cell of a numeric host type on its own value (bBuffer false) or on a
// record element of the type's size, holding 1 and marked NULL.
class CNumberCell {
public:
    CNumberCell(CNAError* pError, CNAConnectionDescription* pCnx, unsigned short nType, bool bBuffer)
        : m_cell(pError, pCnx), m_nType(nType), m_element(tqTabSizeType[nType], 0xEE)
    {
        if (bBuffer)
            m_cell.bInitTypeVariant(NA_VAR_BUFFER, m_element.data(), static_cast<unsigned>(m_element.size()), nType);
        else
            m_cell.InitTypeVariantAny(nType, 0);
        EXPECT_EQ(m_cell.bSetValueDB("1", 1, 1252), 1);
        m_cell.pclGetValue()->SetNullFlag(true);
    }
    Bytes Value() const
    {
        if (m_cell.eGetVarType() != NA_VAR_ANY)
            return m_element;
        const unsigned char* p = m_cell.pclGetValue()->pbyGetValeur();
        return Bytes(p, p + tqTabSizeType[m_nType]);
    }
    Outcome Now(int bResult, CNAError* pError) const
    {
        return {bResult, Value(), m_cell.pclGetValue()->bIsNull(), pError->dwGetErrorId()};
    }
    CCell m_cell;

private:
    unsigned short m_nType;
    Bytes m_element;
};

// The road before: widened in the code page, cast by the host.
Outcome Reference(const CNumberCell& c, unsigned short nType, const std::string& s, unsigned nCodePage)
{
    Outcome before = {0, c.Value(), true, 0};
    CXYString<wchar_t> w;
    // Bytes that are no text of the code page: the conversion's failure.
    if (w.__nConversion(s.data(), static_cast<int>(s.size()), 0, static_cast<int>(nCodePage), 0, nullptr) != 0) {
        before.nError = 53;
        return before;
    }
    unsigned char aby[CAny::VALEUR_SIZE] = {};
    if (CAny::__s_nCastTo(aby, w.pszGet(), nType, nullptr) > 99) {
        before.nError = 53;
        return before;
    }
    return {1, Bytes(aby, aby + tqTabSizeType[nType]), false, 0};
}

void CheckNumber(unsigned short nType, const std::string& s)
{
    ErrorPtr e = NewError();
    for (unsigned nCodePage : kCodePages) {
        CTestConnection cnx(1252, static_cast<int>(nCodePage));
        for (bool bBuffer : {false, true}) {
            CNumberCell c(e.get(), &cnx, nType, bBuffer);
            Outcome expected;
            if (s.empty()) {
                // The empty text is the raw setter's empty value.
                CNumberCell r(e.get(), &cnx, nType, bBuffer);
                const int bResult = r.m_cell.bSetValue(static_cast<const unsigned char*>(nullptr), 0);
                expected = r.Now(bResult, e.get());
            } else {
                expected = Reference(c, nType, s, nCodePage);
            }
            e->Reset();
            const Outcome got = c.Now(c.m_cell.bSetValueDB(s.data(), static_cast<unsigned>(s.size()), nCodePage),
                                      e.get());
            if (got.bResult != expected.bResult || got.value != expected.value || got.bNull != expected.bNull ||
                got.nError != expected.nError)
                ADD_FAILURE() << "type " << nType << ", code page " << nCodePage
                              << (bBuffer ? ", record buffer" : ", own value") << ": \"" << Show(s)
                              << "\" gives " << got.bResult << " error " << got.nError << ", expected "
                              << expected.bResult << " error " << expected.nError
                              << (got.value != expected.value ? ", other bytes" : "")
                              << (got.bNull != expected.bNull ? ", other NULL flag" : "");
        }
    }
}

template <class T>
std::string Dec(T v)
{
    return std::to_string(v);
}

// Limits of each integer type and one beyond each.
std::vector<std::string> Limits()
{
    std::vector<std::string> tab = {"0", "-0", "007", "-007", "1", "-1"};
    const long long allSigned[][2] = {{INT8_MIN, INT8_MAX}, {INT16_MIN, INT16_MAX}, {INT32_MIN, INT32_MAX}};
    for (const auto& r : allSigned) {
        tab.push_back(Dec(r[0]));
        tab.push_back(Dec(r[1]));
        tab.push_back(Dec(r[0] - 1));
        tab.push_back(Dec(r[1] + 1));
    }
    for (unsigned long long u : {0xFFull, 0xFFFFull, 0xFFFFFFFFull}) {
        tab.push_back(Dec(u));
        tab.push_back(Dec(u + 1));
    }
    tab.push_back(Dec(std::numeric_limits<long long>::min()));
    tab.push_back(Dec(std::numeric_limits<long long>::max()));
    tab.push_back(Dec(std::numeric_limits<unsigned long long>::max()));
    tab.push_back("18446744073709551616");
    tab.push_back("9999999999999999999");
    tab.push_back("0000000000000000000000001");
    return tab;
}

const char* const kMalformed[] = {
    "", "-", "+5", " 5", "5 ", "0x10", "1e3", "12345678901234567890", "9223372036854775808",
    "-9223372036854775809", "--5", "5-", "1.5", "-.5", ".", "1,5", "\xC3\xA9", "\xE2\x82\xAC", "\x80",
    "\xE4\xB8\xAD", "\xF0\x9F\x98\x80", "5\xC3\xA9", "\xE4\xB8",
};

} // namespace

TEST(NAConvertVariantServerText, NumbersAtTheLimitsAndMalformedAsTheHostCastsThem)
{
    BindValueMachine();
    CNoLeak check;
    std::vector<std::string> tab = Limits();
    tab.insert(tab.end(), std::begin(kMalformed), std::end(kMalformed));
    // Every byte of the 8-bit page alone and after a digit.
    for (int b = 1; b < 256; b++) {
        tab.push_back(std::string(1, static_cast<char>(b)));
        tab.push_back("4" + std::string(1, static_cast<char>(b)));
    }
    for (unsigned short nType : kNumberTypes)
        for (const std::string& s : tab)
            CheckNumber(nType, s);
}

// Plain integers in range are read by the cell; every other text still
// reaches the host's converter, once.
TEST(NAConvertVariantServerText, OnlyPlainIntegersInRangeSkipTheConverter)
{
    BindValueMachine();
    CTestConnection cnx(1252, 65001);
    const struct {
        unsigned short nType;
        const char* psz;
        int nCalls;
    } rows[] = {
        {TQTYPE_I4, "2147483647", 0}, {TQTYPE_I4, "-2147483648", 0}, {TQTYPE_I4, "2147483648", 1},
        {TQTYPE_I8, "-9223372036854775808", 0}, {TQTYPE_I8, "9223372036854775808", 1},
        {TQTYPE_UI8, "18446744073709551615", 1}, {TQTYPE_UI8, "9999999999999999999", 0},
        {TQTYPE_UI2, "-0", 1}, {TQTYPE_I2, "-0", 0}, {TQTYPE_I1, "12a", 1}, {TQTYPE_UI4, "+5", 1},
        {TQTYPE_I4, "", 0}, {TQTYPE_R8, "5", 1}, {TQTYPE_CY, "5", 1},
    };
    for (const auto& r : rows) {
        CCell c(nullptr, &cnx);
        c.InitTypeVariantAny(r.nType, 0);
        const int nBefore = Machine().nCalls();
        c.bSetValueDB(r.psz, static_cast<unsigned>(std::strlen(r.psz)), 65001);
        // The converter and the release of its result.
        const int nCalls = Machine().nCalls() - nBefore;
        EXPECT_EQ(nCalls > 0 ? 1 : 0, r.nCalls) << "type " << r.nType << ": \"" << r.psz << "\", " << nCalls;
    }
}

TEST(NAConvertVariantServerText, RandomNumbersAsTheHostCastsThem)
{
    BindValueMachine();
    CNoLeak check;
    const unsigned nStart = 20261207;
    std::printf("random values from start %u\n", nStart);
    SCOPED_TRACE(testing::Message() << "start " << nStart);
    std::mt19937_64 rng(nStart);
    for (unsigned short nType : kNumberTypes) {
        for (int i = 0; i < 10000; i++) {
            std::string s;
            const unsigned long long u = rng();
            switch (i % 4) {
            case 0: // any 64-bit pattern, signed
                s = Dec(static_cast<long long>(u));
                break;
            case 1: // small magnitudes, near the narrow types' limits
                s = Dec(static_cast<long long>(u % 140000) - 70000);
                break;
            case 2: // unsigned, up to the top
                s = Dec(u >> (u % 64));
                break;
            default: { // reals and amounts
                char sz[40];
                std::snprintf(sz, sizeof sz, "%.*f", static_cast<int>(u % 7),
                              static_cast<double>(static_cast<long long>(u >> 20)) / 1e4);
                s = sz;
                break;
            }
            }
            CheckNumber(nType, s);
        }
    }
}

// Decimals: beside the road of a host text cast to a decimal, on the cell's
// own value (compared as text) and on a DECIMAL(12,3) record element.
TEST(NAConvertVariantServerText, DecimalsAsTheTextCastBefore)
{
    BindValueMachine();
    CNoLeak check;
    ErrorPtr e = NewError();
    ItemPtr item = Item(NA_IT_DECIMAL, IDecimal::mg_PToN[12], 9, 3);
    std::vector<std::string> tab = {"0", "-0", "1.5", "-1234567.891", "999999999.999", "-999999999.999",
                                    "1000000000", "0.0005", "12.3456", "99999999999999999999999999999.5"};
    tab.insert(tab.end(), std::begin(kMalformed), std::end(kMalformed));
    for (unsigned nCodePage : kCodePages) {
        CTestConnection cnx(1252, static_cast<int>(nCodePage));
        for (bool bBuffer : {false, true}) {
            for (const std::string& s : tab) {
                SCOPED_TRACE(testing::Message() << "code page " << nCodePage << (bBuffer ? ", buffer" : ", own")
                                                << ": \"" << Show(s) << "\"");
                CCell c(e.get(), &cnx), r(e.get(), &cnx);
                Bytes bc, br;
                if (bBuffer) {
                    BindBuffer(c, bc, IDecimal::mg_PToN[12], item.get());
                    BindBuffer(r, br, IDecimal::mg_PToN[12], item.get());
                } else {
                    c.InitTypeVariantAny(TQTYPE_DECIMAL, 0);
                    r.InitTypeVariantAny(TQTYPE_DECIMAL, 0);
                }
                ASSERT_EQ(r.bInitBufferDB(), 1);
                e->Reset();
                CAny text;
                text.__SetType(TQTYPE_PSTRA, 0);
                text.pclGetTraitement()->SetValueFromANSI(s.data(), static_cast<unsigned>(s.size()));
                const int bExpected = s.empty() ? r.bSetValue(static_cast<const unsigned char*>(nullptr), 0)
                                                : r.bSetValue(&text);
                const unsigned nExpected = e->dwGetErrorId();
                e->Reset();
                EXPECT_EQ(c.bSetValueDB(s.data(), static_cast<unsigned>(s.size()), nCodePage), bExpected);
                EXPECT_EQ(e->dwGetErrorId(), nExpected);
                EXPECT_EQ(bc, br);
                CAny vc, vr;
                ASSERT_EQ(c.bGetValue(&vc), r.bGetValue(&vr));
                EXPECT_EQ(vc.nGetType(), vr.nGetType());
                if (!vc.bIsNull() && !vr.bIsNull() && vc.nGetTypeCode() == TQTYPE_DECIMAL) {
                    ASSERT_LE(vc.__nCastTo(TQTYPE_DSTRW, nullptr, 1), 99);
                    ASSERT_LE(vr.__nCastTo(TQTYPE_DSTRW, nullptr, 1), 99);
                    EXPECT_EQ(TextW(vc), TextW(vr));
                }
            }
        }
    }
}

// Texts into a wide cell: the conversion the host string had before, and
// a block that someone else holds is never written over.
TEST(NAConvertVariantServerText, TextsConvertAsBeforeAndSharedBlocksStay)
{
    BindValueMachine();
    CNoLeak check;
    std::vector<std::string> tab = {"", "abc", "\xC3\xA9\xE2\x82\xAC\xCE\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80", "\xE9\x80",
                                    "\xE4\xB8", "\xC3", "\x80\x81", "a\xE4\xB8"};
    std::string sAll;
    for (int b = 1; b < 256; b++)
        sAll += static_cast<char>(b);
    tab.push_back(sAll);
    tab.push_back(std::string(300, 'x') + "\xC3\xA9");
    tab.push_back(std::string(100, '\xE4') + "\xB8\xAD");
    for (int b = 0; b < 256; b++)
        tab.push_back(std::string(1, static_cast<char>(b)));
    ErrorPtr e = NewError();
    for (unsigned nCodePage : kCodePages) {
        CTestConnection cnx(1252, static_cast<int>(nCodePage));
        CCell c(e.get(), &cnx);
        c.InitTypeVariantAny(TQTYPE_DSTRW, 0);
        ASSERT_EQ(c.bSetValueDB("start", 5, nCodePage), 1);
        for (const std::string& s : tab) {
            SCOPED_TRACE(testing::Message() << "code page " << nCodePage << ": \"" << Show(s) << "\"");
            CAny before;
            ASSERT_EQ(c.bGetValue(&before), 1);
            const Bytes sBefore = DataBytes(before);
            CXYString<wchar_t> w;
            const int nError =
                s.empty() ? 0 : w.__nConversion(s.data(), static_cast<int>(s.size()), 0, static_cast<int>(nCodePage), 0, nullptr);
            const int bResult = c.bSetValueDB(s.data(), static_cast<unsigned>(s.size()), nCodePage);
            CAny after;
            ASSERT_EQ(c.bGetValue(&after), 1);
            EXPECT_EQ(bResult, nError == 0 ? 1 : 0);
            const unsigned char* pw = reinterpret_cast<const unsigned char*>(w.pszGet());
            EXPECT_EQ(DataBytes(after), nError == 0 ? Bytes(pw, pw + w.nGetLength() * sizeof(wchar_t)) : sBefore);
            EXPECT_EQ(after.nGetType(), TQTYPE_DSTRW);
            // The copy taken before the store keeps its text.
            EXPECT_EQ(DataBytes(before), sBefore);
        }
    }
}

// Into a wide record element, short UTF-8 texts included: the bytes written
// and the answer are those of the text widened into a host string first;
// a rejected text, or one holding a NUL the element would end at, leaves
// the element as it was.
TEST(NAConvertVariantServerText, TextsIntoAWideElementAsThroughAHostString)
{
    BindValueMachine();
    CNoLeak check;
    std::vector<std::string> tab = {"abc", "\xC3\xA9\xE2\x82\xAC\xCE\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80", "\xC3",
                                    "\x80\x81", "a\xE4\xB8", std::string("a\0b", 3)};
    for (std::size_t n : {254u, 255u, 256u, 257u}) {
        tab.push_back(std::string(n, 'x'));
        tab.push_back(std::string(n - 1, 'x') + "\xC3\xA9");
        tab.push_back(std::string(n / 3, '\xE4') + std::string(n - n / 3, '\xAD'));
        tab.push_back(std::string(n, '\x80'));
    }
    ErrorPtr e = NewError();
    CTestConnection cnx(1252, 65001);
    for (const std::string& s : tab) {
        SCOPED_TRACE(testing::Message() << s.size() << " bytes: \"" << Show(s.substr(0, 12)) << "\"");
        Bytes got(1200, 0xEE), want(1200, 0xEE);
        CCell c(e.get(), &cnx), r(e.get(), &cnx);
        ASSERT_EQ(c.bInitTypeVariant(NA_VAR_BUFFER, got.data(), static_cast<unsigned>(got.size()), TQTYPE_DSTRW), 1);
        ASSERT_EQ(r.bInitTypeVariant(NA_VAR_BUFFER, want.data(), static_cast<unsigned>(want.size()), TQTYPE_DSTRW), 1);
        CXYString<wchar_t> w;
        const int nError = w.__nConversion(s.data(), static_cast<int>(s.size()), 0, 65001, 0, nullptr);
        const int bResult = c.bSetValueDB(s.data(), static_cast<unsigned>(s.size()), 65001);
        if (nError == 0 && s.find('\0') == std::string::npos) {
            ASSERT_EQ(r.bSetValue(w.pszGet(), static_cast<unsigned>(w.nGetLength())), 1);
            EXPECT_EQ(bResult, 1);
        } else {
            EXPECT_EQ(bResult, 0);
        }
        EXPECT_EQ(got, want);
    }
}
