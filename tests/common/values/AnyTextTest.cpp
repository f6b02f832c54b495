#include "common/values/AnyText.h"

#include "common/text/XYString.h"
#include "common/values/Any.h"

#include "tests/support/AnyValue.h"
#include "tests/support/TestHost.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace {

CAny_Intern* T(CAny& v) { return v.pclGetTraitement(); }

void* Ptr(const CAny& v) { return Get<void*>(v); }

// The count a query gives, the query succeeding.
unsigned Count(CAny& v, int (CAny_Intern::*pfnQuery)(unsigned int*) const)
{
    unsigned n = 12345;
    EXPECT_EQ((T(v)->*pfnQuery)(&n), 0);
    return n;
}

unsigned Size(CAny& v) { return Count(v, &CAny_Intern::nGetSize); }
unsigned DataSize(CAny& v) { return Count(v, &CAny_Intern::nGetDataSize); }
unsigned UtilSize(CAny& v) { return Count(v, &CAny_Intern::nGetUtilDataSize); }
unsigned StrLen(CAny& v) { return Count(v, &CAny_Intern::nGetSTRLEN); }

std::string A(CAny& v)
{
    const char* p = nullptr;
    EXPECT_EQ(T(v)->nGetPCASTR(&p), 0);
    return p != nullptr ? std::string(p) : std::string("<null>");
}

std::wstring W(CAny& v)
{
    const wchar_t* p = nullptr;
    EXPECT_EQ(T(v)->nGetPCWSTR(&p), 0);
    return p != nullptr ? std::wstring(p) : std::wstring(L"<null>");
}

// The first n characters of a buffer of '#' after a fill slot wrote into it.
template <class C>
std::basic_string<C> Fill(CAny& v, int (CAny_Intern::*pfnFill)(void*) const, std::size_t n)
{
    C buf[16];
    std::fill(buf, buf + 16, C('#'));
    EXPECT_EQ((T(v)->*pfnFill)(buf), 0);
    return std::basic_string<C>(buf, n);
}

int RefCount(const void* pBlock) { return CBaseStrMem::s_nGetRefCount(pBlock); }

// Restores the host's current code page after a test changes it.
struct CCurrentCodePage {
    explicit CCurrentCodePage(unsigned nCodePage) { TestHost().SetCurrent(0, nCodePage, 1036); }
    ~CCurrentCodePage() { TestHost().SetCurrent(0, 1252, 1036); }
};

} // namespace

TEST(AnyText, Characters)
{
    CAny v(TQTYPE_CARA);
    EXPECT_EQ(StrLen(v), 1u);
    T(v)->SetValue("xyz");
    EXPECT_EQ(Fill<char>(v, &CAny_Intern::nFillBuffer, 2), "x#");
    EXPECT_EQ(Fill<char>(v, &CAny_Intern::nFillDataBuffer, 3), std::string("x\0#", 3));

    // Wide sources go through Windows-1252: U+20AC is 0x80.
    T(v)->SetValueFromUNICODE(L"\u20ac");
    EXPECT_EQ(A(v), "\x80");
    // With a length, the wide character's first byte is taken as it is.
    const wchar_t euro = 0x20AC;
    T(v)->SetValueFromUNICODE(&euro, 4);
    EXPECT_EQ(A(v), "\xAC");

    // The NULL flag stays through a set.
    v.SetNullFlag(true);
    T(v)->SetValue("q");
    EXPECT_EQ(v.nGetType(), TQTYPE_CARA | TQFLAG_NULL);

    // Wide characters.
    v.__SetType(TQTYPE_CARW, 0);
    T(v)->SetValue(L"\u4e2d\u6587");
    EXPECT_EQ(Fill<wchar_t>(v, &CAny_Intern::nFillDataBuffer, 3), std::wstring(L"\u4e2d\0#", 3));

    // 8-bit sources: Windows-1252 by default, else the code page given.
    T(v)->SetValueFromANSI("\x80uro");
    EXPECT_EQ(W(v), L"\u20ac");
    // A sequence cut by the length is not the character.
    T(v)->SetValueFromANSI_CP(65001, "\xC3\xA9", 1);
    EXPECT_NE(W(v), L"\u00e9");

    const unsigned short utf16[] = {0x00E9, 0x0041};
    CAny_TQCARW::s_SetFromUTF16(&v, utf16, 2);
    EXPECT_EQ(W(v), L"\u00e9");
}

TEST(AnyText, PointerTextA)
{
    CAny v(TQTYPE_PSTRA);
    EXPECT_EQ(A(v), "");
    char src[] = "hello";
    T(v)->SetValue(src);
    src[0] = 'j';
    EXPECT_EQ(DataSize(v), 6u);
    EXPECT_EQ(Fill<char>(v, &CAny_Intern::nFillUtilDataBuffer, 6), "hello#");
    // The stored form is the pointer: a receiver borrows the text.
    const char* borrowed = nullptr;
    T(v)->nFillBuffer(&borrowed);
    EXPECT_EQ(static_cast<const void*>(borrowed), Ptr(v));

    // With a length: at most n characters, never past the terminator.
    T(v)->SetValue("abcdef", 3);
    EXPECT_EQ(A(v), "abc");
    T(v)->SetValue("ab\0cdefgh", 8);
    EXPECT_EQ(DataSize(v), 3u);
    // From its own text.
    T(v)->SetValue(static_cast<const char*>(Ptr(v)) + 1);
    EXPECT_EQ(A(v), "b");
    T(v)->SetValue("");
    EXPECT_EQ(Ptr(v), nullptr);

    // Options: bit 0 gives a cleared buffer of n characters; too large a
    // count leaves no text.
    T(v)->SetValueOption("hi", 6, 1);
    ASSERT_NE(Ptr(v), nullptr);
    EXPECT_EQ(std::memcmp(Ptr(v), "hi\0\0\0\0\0", 7), 0);
    T(v)->SetValueOption("abc", 0xFFFFFFFFu, 1);
    EXPECT_EQ(Ptr(v), nullptr);

    // A copy owns its own text and carries the flags; onto itself, nothing.
    T(v)->SetValue("copy me");
    v.SetFlags(TQFLAG_NULL | TQFLAG_0400);
    CAny c(TQTYPE_I4);
    T(v)->Duplique(&c);
    EXPECT_EQ(c.nGetType(), TQTYPE_PSTRA | TQFLAG_NULL | TQFLAG_0400);
    EXPECT_NE(Ptr(c), Ptr(v));
    EXPECT_EQ(A(c), "copy me");
    T(v)->Duplique(&v);
    EXPECT_EQ(A(v), "copy me");
}

// The wide form of the same template: what differs is the length in bytes
// and the 8-bit and UTF-16 sources.
TEST(AnyText, PointerTextW)
{
    CAny v(TQTYPE_PSTRW);
    T(v)->SetValue(L"abcdef", 12);
    EXPECT_EQ(W(v), L"abc");
    EXPECT_EQ(DataSize(v), 16u);
    T(v)->SetValueFromANSI("caf\xE9 \x80");
    EXPECT_EQ(W(v), L"caf\u00e9 \u20ac");
    {
        // -1: the host's current code page.
        CCurrentCodePage cp(65001);
        T(v)->SetValueFromANSI_CP(-1, "caf\xC3\xA9!", 5);
        EXPECT_EQ(W(v), L"caf\u00e9");
    }
    const unsigned short utf16[] = {0x0068, 0x00E9, 0x4E2D, 0x0021};
    CAny_TQPSTRW::s_SetFromUTF16(&v, utf16, 3);
    EXPECT_EQ(W(v), L"h\u00e9\u4e2d");
}

TEST(AnyText, HostStringA)
{
    CLiveBlockCheck check;
    CAny v(TQTYPE_DSTRA);
    const int nStart = TestHost().nLiveBlocks();
    T(v)->SetValue("hello world", 5);
    EXPECT_EQ(UtilSize(v), 5u);
    EXPECT_EQ(Fill<char>(v, &CAny_Intern::nFillDataBuffer, 7), std::string("hello\0#", 7));

    // Held alone, the block is reused, also for a text taken from itself.
    void* pBlock = Ptr(v);
    T(v)->SetValue("abc", 0xFFFFFFFFu);
    EXPECT_EQ(Ptr(v), pBlock);
    T(v)->SetValue(static_cast<const char*>(pBlock) + 1, 2);
    EXPECT_EQ(A(v), "bc");
    std::string longText(300, 'x');
    T(v)->SetValue(longText.c_str(), 300);
    EXPECT_EQ(A(v), longText);
    EXPECT_EQ(TestHost().nLiveBlocks(), nStart + 1);

    // The allocator failing to grow the block leaves the value as it was.
    std::string longer(5000, 'y');
    TestHost().FailAllocationsAfter(0, 14);
    T(v)->SetValue(longer.c_str(), 5000);
    TestHost().FailAllocationsAfter(-1, 0);
    EXPECT_EQ(A(v), longText);

    // Too long for a host string: unchanged (the text is not read).
    T(v)->SetValue("z", 2147483392u);
    EXPECT_EQ(A(v), longText);
    // Below 1 (as a signed count), an empty text, a null text: released.
    const struct {
        const char* psz;
        unsigned n;
    } aReleasing[] = {{"abc", 0x80000000u}, {"", 0}, {nullptr, 3}};
    for (const auto& r : aReleasing) {
        T(v)->SetValue("abc", 3);
        T(v)->SetValue(r.psz, r.n);
        EXPECT_EQ(Ptr(v), nullptr) << r.n;
    }
    EXPECT_EQ(TestHost().nLiveBlocks(), nStart);

    // Sharing: from a host string, into a host string, by copy.
    CXYString<char> s("shared", 6);
    T(v)->SetValue(&s);
    EXPECT_EQ(Ptr(v), s.pGetData());
    CAny c;
    T(v)->Duplique(&c);
    EXPECT_EQ(Ptr(c), s.pGetData());
    EXPECT_EQ(RefCount(s.pGetData()), 3);
    // A shared block is never written: a set with a length makes a new one.
    T(c)->SetValue("mine", 4);
    EXPECT_EQ(A(c), "mine");
    EXPECT_EQ(std::string(s.pszGet()), "shared");
    EXPECT_EQ(RefCount(s.pGetData()), 2);
}

// The wide form of the same template: the length in bytes, the 8-bit and
// UTF-16 sources.
TEST(AnyText, HostStringW)
{
    CLiveBlockCheck check;
    CAny v(TQTYPE_DSTRW);
    // Below 4 bytes is the empty text.
    T(v)->SetValue(L"hello", 7);
    EXPECT_EQ(W(v), L"h");
    EXPECT_EQ(UtilSize(v), 4u);
    T(v)->SetValue(L"hello", 3);
    EXPECT_EQ(Ptr(v), nullptr);

    // 8-bit sources: the terminator is not part of the text; without a
    // code page the host's current one is used.
    T(v)->SetValueFromANSI_CP(65001, "caf\xC3\xA9");
    EXPECT_EQ(StrLen(v), 4u);
    {
        CCurrentCodePage cp(65001);
        T(v)->SetValueFromANSI("\xC3\xA9t\xC3\xA9", 5);
        EXPECT_EQ(W(v), L"\u00e9t\u00e9");
    }
    // Too long: unchanged.
    T(v)->SetValueFromANSI_CP(1252, "x", 0x7FFFFF00u);
    EXPECT_EQ(W(v), L"\u00e9t\u00e9");

    const unsigned short utf16[] = {0x0068, 0x00E9, 0xD83D, 0xDE00};
    EXPECT_EQ(CAny_TQDSTRW::s_SetFromUTF16(&v, utf16, 4), 0);
    EXPECT_EQ(W(v), std::wstring(L"h\u00e9") + wchar_t(0xD83D) + wchar_t(0xDE00));
    EXPECT_EQ(CAny_TQDSTRW::s_SetFromUTF16(&v, utf16, 0x20000000), 108);
    EXPECT_EQ(StrLen(v), 4u);
    CAny other(TQTYPE_DSTRA);
    EXPECT_EQ(CAny_TQDSTRW::s_SetFromUTF16(&other, utf16, 1), 105);
}

TEST(AnyText, DateTimeTexts)
{
    CAny d(TQTYPE_DATEA);
    EXPECT_EQ(Size(d), 8u);
    EXPECT_EQ(DataSize(d), 9u);
    EXPECT_EQ(UtilSize(d), 8u);
    T(d)->SetValue("2024010199");
    EXPECT_EQ(Fill<char>(d, &CAny_Intern::nFillDataBuffer, 10), std::string("20240101\0#", 10));

    // Never read past the terminator or the count; the rest is cleared.
    T(d)->SetValue("2024\0" "0101", 9);
    EXPECT_EQ(Fill<char>(d, &CAny_Intern::nFillBuffer, 9), std::string("2024\0\0\0\0#", 9));
    const char unterminated[6] = {'1', '9', '9', '9', '1', '2'};
    T(d)->SetValue(unterminated, 6);
    EXPECT_EQ(A(d), "199912");
    // From its own text.
    T(d)->SetValue("20240101");
    T(d)->SetValue(reinterpret_cast<const char*>(d.pbyGetValeur()) + 2);
    EXPECT_EQ(A(d), "240101");
    T(d)->SetValueFromUNICODE(L"19991231235959");
    EXPECT_EQ(A(d), "19991231");

    CAny t(TQTYPE_TIMEA);
    EXPECT_EQ(Size(t), 9u);
    T(t)->SetValue("1234");
    EXPECT_EQ(UtilSize(t), 4u);
    T(t)->SetValue("123456789012");
    EXPECT_EQ(A(t), "123456789");
    t.SetFlags(TQFLAG_0400);
    CAny c(TQTYPE_DSTRA);
    T(t)->Duplique(&c);
    EXPECT_EQ(c.nGetType(), TQTYPE_TIMEA | TQFLAG_0400);

    // Wide forms: sizes in wide characters, 8-bit sources widened.
    t.__SetType(TQTYPE_TIMEW, 0);
    EXPECT_EQ(Size(t), 36u);
    T(t)->SetValueFromANSI("123456789012");
    EXPECT_EQ(W(t), L"123456789");
    T(t)->SetValueFromANSI("123456789012", 4);
    EXPECT_EQ(Fill<wchar_t>(t, &CAny_Intern::nFillBuffer, 10), std::wstring(L"1234\0\0\0\0\0#", 10));
}
