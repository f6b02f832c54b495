#include "common/text/SimpleBuffer.h"
#include "common/text/SysUtils.h"
#include "common/text/XMath.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

TEST(SysUtilsNumberText, SignedAndUnsignedAtTheLimits)
{
    char a[66];
    wchar_t w[66];
    // The most negative value: its magnitude does not fit a signed 64-bit.
    EXPECT_STREQ(i64toa(INT64_MIN, a, 36), "-1y2p0ij32e8e8");
    // Radix 2: sign, a one and 63 zeros fill 65 characters plus terminator.
    EXPECT_EQ(std::wstring(_i64towVmr(INT64_MIN, w, 2)), L"-1" + std::wstring(63, L'0'));
    EXPECT_EQ(std::string(_ui64toaVmr(UINT64_MAX, a, 2)), std::string(64, '1'));
    EXPECT_STREQ(_ui64towVmr(UINT64_MAX, w, 36), L"3w5e11264sgsf");
    EXPECT_STREQ(ltoa(INT32_MIN, a, 10), "-2147483648");
    // A radix out of range writes an empty text.
    EXPECT_STREQ(itoa(10, a, 1), "");
    EXPECT_STREQ(ui64tow(10, w, 37), L"");
}

TEST(SysUtilsTextNumber, ParsingAndFormatting)
{
    EXPECT_EQ(_wtoi64Vmr(L"  -9223372036854775808"), INT64_MIN);
    EXPECT_EQ(_wtoi64Vmr(nullptr), 0);
    // Only 99 characters are read: the 100th and later are not seen.
    std::wstring spaces(98, L' ');
    EXPECT_EQ(_wtoi64Vmr((spaces + L"42").c_str()), 4);
    EXPECT_DOUBLE_EQ(wtof((spaces + L"75").c_str()), 7.0);
    // A character outside Windows-1252 ends the number, whatever follows.
    EXPECT_EQ(_wtoi64Vmr(L"12\x4e00" L"34"), 12);
    EXPECT_DOUBLE_EQ(wtof(L"1.5\x10000" L"9"), 1.5);

    wchar_t w[32];
    EXPECT_STREQ(_wgcvt(0.000012345, 3, w), L"1.23e-05");
    // More digits than a double holds stay within the documented 32.
    _wgcvt(-1.2345678901234567e-300, 400, w);
    EXPECT_LT(wcslen(w), 32u);

    int count = -1;
    EXPECT_EQ(nGetEntierHexa(L"1aG", count), 26u);
    EXPECT_EQ(count, 2);
    // A 17th digit shifts the first one out.
    EXPECT_EQ(nGetEntierHexa(L"123456789abcdef01 ", count), 0x23456789abcdef01ULL);
    EXPECT_EQ(count, 17);
}

TEST(SysUtilsFormat, BoundedFormattingAlwaysTerminates)
{
    char buf[8];
    memset(buf, '#', sizeof buf);
    EXPECT_EQ(sznprintf(buf, 3, "%d", 12345), -1);
    EXPECT_STREQ(buf, "123");
    EXPECT_EQ(buf[4], '#');  // nothing beyond max + 1
    // Exactly max characters fit.
    EXPECT_EQ(sznprintf(buf, 5, "%d", 12345), 5);
    EXPECT_STREQ(buf, "12345");
    EXPECT_EQ(sznprintf(buf, 0, "%s", "x"), -1);
    EXPECT_EQ(buf[0], 0);
}

TEST(SysUtilsSearch, MemMemAgreesWithNaiveSearchAndStaysInHay)
{
    EXPECT_EQ(xmemmem("aaab", 4, "a", 0), nullptr);  // an empty needle
    std::mt19937 rng(12345);
    for (int round = 0; round < 3000; ++round) {
        const std::size_t n = 1 + rng() % 12;
        const std::size_t m = 1 + rng() % 4;
        // Exact-size heap blocks: a read past either end is caught by the
        // sanitizer.
        std::vector<unsigned char> hay(n), needle(m);
        for (std::size_t i = 0; i < n + m; ++i)
            (i < n ? hay[i] : needle[i - n]) = static_cast<unsigned char>('a' + rng() % 2);
        void* expected = nullptr;
        if (m <= n) {
            auto it = std::search(hay.begin(), hay.end(), needle.begin(), needle.end());
            if (it != hay.end())
                expected = hay.data() + (it - hay.begin());
        }
        ASSERT_EQ(xmemmem(hay.data(), n, needle.data(), m), expected)
            << std::string(hay.begin(), hay.end()) << " / " << std::string(needle.begin(), needle.end());
    }
}

TEST(SysUtilsMath, PrimesForHashTables)
{
    EXPECT_TRUE(CXMath::bEstPremier(1));
    EXPECT_FALSE(CXMath::bEstPremier(0));
    EXPECT_TRUE(CXMath::bEstPremier(4294967291u));   // largest 32-bit prime
    EXPECT_FALSE(CXMath::bEstPremier(4294967295u));  // 3 x 5 x 17 x 257 x 65537
    EXPECT_FALSE(CXMath::bEstPremier(65521u * 65519u));
    for (unsigned n = 2; n < 3000; ++n) {
        bool prime = true;
        for (unsigned d = 2; d * d <= n; ++d)
            prime = prime && n % d != 0;
        ASSERT_EQ(CXMath::bEstPremier(n), prime) << n;
    }
}

TEST(SysUtilsBuffer, SimpleBuffer)
{
    CSimpleBuffer buf("abcdef", 6);
    // Same size through the virtual slot: content kept.
    CSimpleBufferBase& base = buf;
    base.SetSize(6);
    EXPECT_EQ(memcmp(buf.pGetData(), "abcdef", 6), 0);
    base.SetSize(0);
    EXPECT_EQ(buf.pGetData(), nullptr);
    base.CopyBuffer("xyz", 3);
    CSimpleBuffer copy(&buf);
    EXPECT_NE(copy.pGetData(), buf.pGetData());
    EXPECT_EQ(memcmp(copy.pGetData(), "xyz", 3), 0);
}

}  // namespace
