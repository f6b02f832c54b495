#include "common/values/AnyText.h"

#include "common/text/XYString.h"
#include "common/values/Any.h"

#include "tests/support/AnyValue.h"
#include "tests/support/TestHost.h"

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

int RefCount(const void* pBlock) { return CBaseStrMem::s_nGetRefCount(pBlock); }

// Restores the host's current code page after a test changes it.
struct CCurrentCodePage {
    explicit CCurrentCodePage(unsigned nCodePage) { TestHost().SetCurrent(0, nCodePage, 1036); }
    ~CCurrentCodePage() { TestHost().SetCurrent(0, 1252, 1036); }
};

} // namespace

// ---- Characters --------------------------------------------------------------------------

TEST(AnyText, CharacterA)
{
    CAny v(TQTYPE_CARA);
    ASSERT_EQ(v.nGetType(), TQTYPE_CARA);
    EXPECT_EQ(Size(v), 1u);
    EXPECT_EQ(DataSize(v), 1u);
    EXPECT_EQ(UtilSize(v), 1u);
    EXPECT_EQ(StrLen(v), 1u);
    EXPECT_EQ(A(v), "");
    const wchar_t* pw = nullptr;
    EXPECT_EQ(T(v)->nGetPCWSTR(&pw), 105);

    T(v)->SetValue("xyz");
    EXPECT_EQ(A(v), "x");
    unsigned char buf[4] = {0x7F, 0x7F, 0x7F, 0x7F};
    EXPECT_EQ(T(v)->nFillBuffer(buf), 0);
    EXPECT_EQ(buf[0], 'x');
    EXPECT_EQ(buf[1], 0x7F);
    EXPECT_EQ(T(v)->nFillDataBuffer(buf), 0);
    EXPECT_EQ(buf[0], 'x');
    EXPECT_EQ(buf[1], 0);
    EXPECT_EQ(buf[2], 0x7F);

    // Wide sources go through Windows-1252: U+00E9 is 0xE9, U+20AC is 0x80.
    T(v)->SetValueFromUNICODE(L"\u00e9t\u00e9");
    EXPECT_EQ(static_cast<unsigned char>(A(v)[0]), 0xE9);
    T(v)->SetValueFromUNICODE(L"\u20ac");
    EXPECT_EQ(static_cast<unsigned char>(A(v)[0]), 0x80);
    T(v)->SetValueFromUNICODE_CP(1252, L"\u20ac", 4);
    EXPECT_EQ(static_cast<unsigned char>(A(v)[0]), 0x80);
    T(v)->SetValueFromUNICODE_CP(65001, L"Z");
    EXPECT_EQ(A(v), "Z");
    // With a length, the wide character's first byte is taken as it is.
    const wchar_t euro = 0x20AC;
    T(v)->SetValueFromUNICODE(&euro, 4);
    EXPECT_EQ(static_cast<unsigned char>(A(v)[0]), 0xAC);
    EXPECT_EQ(A(v).size(), 1u);

    // The NULL flag stays through a set, and a copy carries it.
    v.SetNullFlag(true);
    T(v)->SetValue("q");
    EXPECT_TRUE(v.bIsNull());
    CAny c;
    T(v)->Duplique(&c);
    EXPECT_EQ(c.nGetType(), TQTYPE_CARA | TQFLAG_NULL);
    EXPECT_EQ(A(c), "q");
}

TEST(AnyText, CharacterW)
{
    CAny v(TQTYPE_CARW);
    EXPECT_EQ(Size(v), 4u);
    EXPECT_EQ(DataSize(v), 4u);
    EXPECT_EQ(UtilSize(v), 4u);
    EXPECT_EQ(StrLen(v), 1u);
    EXPECT_EQ(W(v), L"");
    const char* pa = nullptr;
    EXPECT_EQ(T(v)->nGetPCASTR(&pa), 105);

    T(v)->SetValue(L"\u4e2d\u6587");
    EXPECT_EQ(W(v), L"\u4e2d");
    wchar_t buf[3] = {L'#', L'#', L'#'};
    T(v)->nFillBuffer(buf);
    EXPECT_EQ(buf[0], 0x4E2D);
    EXPECT_EQ(buf[1], L'#');
    T(v)->nFillDataBuffer(buf);
    EXPECT_EQ(buf[1], 0);
    EXPECT_EQ(buf[2], L'#');

    // 8-bit sources: Windows-1252 by default, else the code page given.
    T(v)->SetValueFromANSI("\x80uro");
    EXPECT_EQ(W(v), L"\u20ac");
    T(v)->SetValueFromANSI("\xE9", 1);
    EXPECT_EQ(W(v), L"\u00e9");
    T(v)->SetValueFromANSI_CP(65001, "\xC3\xA9t\xC3\xA9");
    EXPECT_EQ(W(v), L"\u00e9");
    T(v)->SetValueFromANSI_CP(65001, "\xE2\x82\xAC", 3);
    EXPECT_EQ(W(v), L"\u20ac");
    T(v)->SetValueFromANSI_CP(1252, "\xC3\xA9", 2);
    EXPECT_EQ(W(v), L"\u00c3");
    // A sequence cut by the length is not the character.
    T(v)->SetValueFromANSI_CP(65001, "\xC3\xA9", 1);
    EXPECT_NE(W(v), L"\u00e9");
    T(v)->SetValueFromANSI(static_cast<const char*>(nullptr));
    EXPECT_EQ(W(v), L"");

    const unsigned short utf16[] = {0x00E9, 0x0041};
    CAny_TQCARW::s_SetFromUTF16(&v, utf16, 2);
    EXPECT_EQ(W(v), L"\u00e9");
    CAny_TQCARW::s_SetFromUTF16(&v, utf16, 0);
    EXPECT_EQ(W(v), L"");
    // Only a wide character value is written.
    CAny text(TQTYPE_PSTRW);
    T(text)->SetValue(L"keep");
    CAny_TQCARW::s_SetFromUTF16(&text, utf16, 1);
    EXPECT_EQ(W(text), L"keep");
}

// ---- Texts by pointer ------------------------------------------------------------------------

TEST(AnyText, PointerTextA)
{
    CAny v(TQTYPE_PSTRA);
    EXPECT_EQ(Ptr(v), nullptr);
    EXPECT_EQ(A(v), "");
    EXPECT_EQ(DataSize(v), 1u);
    EXPECT_EQ(StrLen(v), 0u);
    EXPECT_EQ(UtilSize(v), 0u);
    EXPECT_EQ(Size(v), 4u);
    void* pAdr = nullptr;
    T(v)->nGetAdr(&pAdr);
    EXPECT_EQ(pAdr, v.pbyGetValeur());

    char src[] = "hello";
    T(v)->SetValue(src);
    ASSERT_NE(Ptr(v), nullptr);
    EXPECT_NE(Ptr(v), static_cast<void*>(src));
    src[0] = 'j';
    EXPECT_EQ(A(v), "hello");
    EXPECT_EQ(DataSize(v), 6u);
    EXPECT_EQ(UtilSize(v), 5u);
    EXPECT_EQ(StrLen(v), 5u);

    // The stored form is the pointer: a receiver borrows the text.
    const char* borrowed = nullptr;
    T(v)->nFillBuffer(&borrowed);
    EXPECT_EQ(static_cast<const void*>(borrowed), Ptr(v));
    char buf[8];
    std::memset(buf, '#', sizeof(buf));
    T(v)->nFillUtilDataBuffer(buf);
    EXPECT_EQ(std::string(buf, 6), "hello#");
    T(v)->nFillDataBuffer(buf);
    EXPECT_EQ(std::string(buf, 7), std::string("hello\0#", 7));

    // With a length: at most n characters, never past the terminator.
    T(v)->SetValue("abcdef", 3);
    EXPECT_EQ(A(v), "abc");
    T(v)->SetValue("ab\0cdefgh", 8);
    EXPECT_EQ(A(v), "ab");
    EXPECT_EQ(DataSize(v), 3u);
    // From its own text.
    T(v)->SetValue(static_cast<const char*>(Ptr(v)) + 1);
    EXPECT_EQ(A(v), "b");
    T(v)->SetValue("");
    EXPECT_EQ(Ptr(v), nullptr);
    T(v)->SetValue("abc");
    T(v)->SetValue(nullptr, 3);
    EXPECT_EQ(Ptr(v), nullptr);

    // Options: bit 0 gives a cleared buffer of n characters.
    T(v)->SetValueOption("hello", 3, 1);
    EXPECT_EQ(A(v), "hel");
    T(v)->SetValueOption("hi", 6, 1);
    ASSERT_NE(Ptr(v), nullptr);
    EXPECT_EQ(std::memcmp(Ptr(v), "hi\0\0\0\0\0", 7), 0);
    T(v)->SetValueOption(nullptr, 4, 1);
    ASSERT_NE(Ptr(v), nullptr);
    EXPECT_EQ(A(v), "");
    T(v)->SetValueOption("hello", 2, 0);
    EXPECT_EQ(A(v), "he");
    T(v)->SetValueOption("", 2, 0);
    EXPECT_EQ(Ptr(v), nullptr);
    T(v)->SetValueOption("abc", 0xFFFFFFFFu, 1);
    EXPECT_EQ(Ptr(v), nullptr);

    // The added slots.
    auto* pTr = static_cast<CAny_TQPSTRA*>(T(v));
    pTr->__CreateStr("xyz", 2);
    EXPECT_EQ(A(v), "xy");
    pTr->__CreateStr("uvw");
    EXPECT_EQ(A(v), "uvw");
    pTr->__DeleteStr();
    EXPECT_EQ(Ptr(v), nullptr);

    // A copy owns its own text and carries the flags.
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

TEST(AnyText, PointerTextW)
{
    CAny v(TQTYPE_PSTRW);
    EXPECT_EQ(W(v), L"");
    EXPECT_EQ(DataSize(v), 4u);
    EXPECT_EQ(StrLen(v), 0u);

    // The length is in bytes.
    T(v)->SetValue(L"abcdef", 12);
    EXPECT_EQ(W(v), L"abc");
    EXPECT_EQ(DataSize(v), 16u);
    EXPECT_EQ(UtilSize(v), 12u);
    EXPECT_EQ(StrLen(v), 3u);
    T(v)->SetValue(L"abcdef", 3);
    EXPECT_EQ(Ptr(v), nullptr);
    T(v)->SetValue(L"\u4e2d\u6587");
    EXPECT_EQ(W(v), L"\u4e2d\u6587");
    T(v)->SetValueOption(L"hello", 3, 1);
    EXPECT_EQ(W(v), L"hel");

    // 8-bit sources.
    T(v)->SetValueFromANSI("caf\xE9 \x80");
    EXPECT_EQ(W(v), L"caf\u00e9 \u20ac");
    T(v)->SetValueFromANSI("caf\xE9", 3);
    EXPECT_EQ(W(v), L"caf");
    T(v)->SetValueFromANSI("ab\0cd", 5);
    EXPECT_EQ(W(v), L"ab");
    T(v)->SetValueFromANSI_CP(65001, "caf\xC3\xA9 \xE2\x82\xAC");
    EXPECT_EQ(W(v), L"caf\u00e9 \u20ac");
    T(v)->SetValueFromANSI_CP(65001, "caf\xC3\xA9!", 5);
    EXPECT_EQ(W(v), L"caf\u00e9");
    T(v)->SetValueFromANSI_CP(1252, "\xC3\xA9");
    EXPECT_EQ(W(v), L"\u00c3\u00a9");
    T(v)->SetValueFromANSI(static_cast<const char*>(nullptr));
    EXPECT_EQ(Ptr(v), nullptr);
    T(v)->SetValueFromANSI("abc", 0);
    EXPECT_EQ(Ptr(v), nullptr);
    {
        CCurrentCodePage cp(65001);
        T(v)->SetValueFromANSI_CP(-1, "\xC3\xA9");
        EXPECT_EQ(W(v), L"\u00e9");
    }

    const unsigned short utf16[] = {0x0068, 0x00E9, 0x4E2D, 0x0021};
    CAny_TQPSTRW::s_SetFromUTF16(&v, utf16, 3);
    EXPECT_EQ(W(v), L"h\u00e9\u4e2d");
    CAny_TQPSTRW::s_SetFromUTF16(&v, utf16, 0);
    EXPECT_EQ(Ptr(v), nullptr);

    CAny c;
    T(v)->SetValue(L"wide");
    T(v)->Duplique(&c);
    EXPECT_EQ(c.nGetType(), TQTYPE_PSTRW);
    EXPECT_NE(Ptr(c), Ptr(v));
    EXPECT_EQ(W(c), L"wide");
    // A change of type frees the text (the leak checker sees it).
    v.__SetType(TQTYPE_I4, 0);
    EXPECT_EQ(v.nGetType(), TQTYPE_I4);
}

// ---- Host strings ----------------------------------------------------------------------------

TEST(AnyText, HostStringA)
{
    CLiveBlockCheck check;
    CAny v(TQTYPE_DSTRA);
    EXPECT_EQ(Ptr(v), nullptr);
    EXPECT_EQ(A(v), "");
    EXPECT_EQ(Size(v), 4u);
    EXPECT_EQ(DataSize(v), 1u);
    EXPECT_EQ(StrLen(v), 0u);

    const int nStart = TestHost().nLiveBlocks();
    T(v)->SetValue("hello world", 5);
    EXPECT_EQ(A(v), "hello");
    EXPECT_EQ(TestHost().nLiveBlocks(), nStart + 1);
    EXPECT_EQ(DataSize(v), 6u);
    EXPECT_EQ(UtilSize(v), 5u);
    EXPECT_EQ(StrLen(v), 5u);
    char buf[8];
    std::memset(buf, '#', sizeof(buf));
    T(v)->nFillUtilDataBuffer(buf);
    EXPECT_EQ(std::string(buf, 6), "hello#");
    T(v)->nFillDataBuffer(buf);
    EXPECT_EQ(std::string(buf, 7), std::string("hello\0#", 7));

    // Held alone, the block is reused, also for a text taken from itself.
    void* pBlock = Ptr(v);
    T(v)->SetValue("abc", 0xFFFFFFFFu);
    EXPECT_EQ(Ptr(v), pBlock);
    EXPECT_EQ(A(v), "abc");
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
    // Below 1 (as a signed count), a null text, an empty text: released.
    T(v)->SetValue("abc", 0x80000000u);
    EXPECT_EQ(Ptr(v), nullptr);
    T(v)->SetValue("abc", 3);
    T(v)->SetValue("", 0);
    EXPECT_EQ(Ptr(v), nullptr);
    T(v)->SetValue("abc", 3);
    T(v)->SetValue("", 0xFFFFFFFFu);
    EXPECT_EQ(Ptr(v), nullptr);
    T(v)->SetValue("abc", 3);
    T(v)->SetValue(nullptr, 3);
    EXPECT_EQ(Ptr(v), nullptr);
    EXPECT_EQ(TestHost().nLiveBlocks(), nStart);

    // Sharing: from a host string, into a host string, by copy.
    CXYString<char> s("shared", 6);
    T(v)->SetValue(&s);
    EXPECT_EQ(Ptr(v), s.pGetData());
    EXPECT_EQ(RefCount(s.pGetData()), 2);
    CXYString<char> out("other", 5);
    EXPECT_EQ(T(v)->nFillBuffer(&out), 0);
    EXPECT_EQ(out.pGetData(), s.pGetData());
    EXPECT_EQ(RefCount(s.pGetData()), 3);
    CAny c;
    T(v)->Duplique(&c);
    EXPECT_EQ(c.nGetType(), TQTYPE_DSTRA);
    EXPECT_EQ(Ptr(c), s.pGetData());
    EXPECT_EQ(RefCount(s.pGetData()), 4);
    // A shared block is never written: a set with a length makes a new one.
    T(c)->SetValue("mine", 4);
    EXPECT_NE(Ptr(c), s.pGetData());
    EXPECT_EQ(A(c), "mine");
    EXPECT_EQ(std::string(s.pszGet()), "shared");
    EXPECT_EQ(A(v), "shared");
    EXPECT_EQ(RefCount(s.pGetData()), 3);
    T(v)->SetValue(nullptr);
    EXPECT_EQ(RefCount(s.pGetData()), 2);
}

TEST(AnyText, HostStringW)
{
    CLiveBlockCheck check;
    CAny v(TQTYPE_DSTRW);
    EXPECT_EQ(W(v), L"");
    EXPECT_EQ(DataSize(v), 4u);
    EXPECT_EQ(UtilSize(v), 0u);
    const char* pa = nullptr;
    EXPECT_EQ(T(v)->nGetPCASTR(&pa), 105);

    // The length is in bytes: below 4 is the empty text.
    T(v)->SetValue(L"hello", 20);
    EXPECT_EQ(W(v), L"hello");
    EXPECT_EQ(StrLen(v), 5u);
    EXPECT_EQ(DataSize(v), 24u);
    EXPECT_EQ(UtilSize(v), 20u);
    T(v)->SetValue(L"hello", 7);
    EXPECT_EQ(W(v), L"h");
    T(v)->SetValue(L"hello", 3);
    EXPECT_EQ(Ptr(v), nullptr);

    // 8-bit sources: the terminator is not part of the text.
    T(v)->SetValueFromANSI("caf\xE9");
    EXPECT_EQ(W(v), L"caf\u00e9");
    EXPECT_EQ(StrLen(v), 4u);
    T(v)->SetValueFromANSI("\x80!", 1);
    EXPECT_EQ(W(v), L"\u20ac");
    T(v)->SetValueFromANSI_CP(65001, "caf\xC3\xA9");
    EXPECT_EQ(W(v), L"caf\u00e9");
    EXPECT_EQ(StrLen(v), 4u);
    T(v)->SetValueFromANSI_CP(65001, "\xE2\x82\xAC\xE2\x82\xAC", 3);
    EXPECT_EQ(W(v), L"\u20ac");
    T(v)->SetValueFromANSI_CP(1252, "\xE2\x82\xAC", 0xFFFFFFFFu);
    EXPECT_EQ(W(v), L"\u00e2\u201a\u00ac");
    T(v)->SetValueFromANSI(static_cast<const char*>(nullptr));
    EXPECT_EQ(Ptr(v), nullptr);
    T(v)->SetValueFromANSI("");
    EXPECT_EQ(Ptr(v), nullptr);
    {
        // Without a code page the host's current one is used.
        CCurrentCodePage cp(65001);
        T(v)->SetValueFromANSI("\xC3\xA9t\xC3\xA9", 5);
        EXPECT_EQ(W(v), L"\u00e9t\u00e9");
        T(v)->SetValueFromANSI_CP(-1, "\xE2\x82\xAC");
        EXPECT_EQ(W(v), L"\u20ac");
    }
    T(v)->SetValueFromANSI("\xC3\xA9");
    EXPECT_EQ(W(v), L"\u00c3\u00a9");
    // Too long: unchanged.
    T(v)->SetValueFromANSI_CP(1252, "x", 0x7FFFFF00u);
    EXPECT_EQ(W(v), L"\u00c3\u00a9");

    const unsigned short utf16[] = {0x0068, 0x00E9, 0xD83D, 0xDE00};
    EXPECT_EQ(CAny_TQDSTRW::s_SetFromUTF16(&v, utf16, 4), 0);
    EXPECT_EQ(StrLen(v), 4u);
    EXPECT_EQ(W(v), std::wstring(L"h\u00e9") + wchar_t(0xD83D) + wchar_t(0xDE00));
    EXPECT_EQ(CAny_TQDSTRW::s_SetFromUTF16(&v, utf16, 0x20000000), 108);
    EXPECT_EQ(StrLen(v), 4u);
    CAny other(TQTYPE_DSTRA);
    EXPECT_EQ(CAny_TQDSTRW::s_SetFromUTF16(&other, utf16, 1), 105);
    EXPECT_EQ(CAny_TQDSTRW::s_SetFromUTF16(&v, utf16, 0), 0);
    EXPECT_EQ(Ptr(v), nullptr);

    // A copy shares the block; setting one with a length parts them.
    T(v)->SetValue(L"together", 32);
    v.SetNullFlag(true);
    CAny c(TQTYPE_DSTRW);
    T(v)->Duplique(&c);
    EXPECT_EQ(c.nGetType(), TQTYPE_DSTRW | TQFLAG_NULL);
    ASSERT_EQ(Ptr(c), Ptr(v));
    EXPECT_EQ(RefCount(Ptr(v)), 2);
    T(c)->SetValue(L"apart", 20);
    EXPECT_NE(Ptr(c), Ptr(v));
    EXPECT_EQ(W(c), L"apart");
    EXPECT_EQ(W(v), L"together");
    EXPECT_EQ(RefCount(Ptr(v)), 1);
    EXPECT_TRUE(v.bIsNull());

    // A NULL value of the same code is rebuilt by a change of type: its
    // block is released once.
    v.__SetType(TQTYPE_DSTRW, 0);
    EXPECT_EQ(v.nGetType(), TQTYPE_DSTRW);
    EXPECT_EQ(Ptr(v), nullptr);
}

// ---- Date and time texts ------------------------------------------------------------------------

TEST(AnyText, DateTimeTextA)
{
    CAny d(TQTYPE_DATEA);
    EXPECT_EQ(Size(d), 8u);
    EXPECT_EQ(DataSize(d), 9u);
    EXPECT_EQ(UtilSize(d), 8u);

    T(d)->SetValue("2024010199");
    EXPECT_EQ(A(d), "20240101");
    EXPECT_EQ(StrLen(d), 8u);
    char buf[12];
    std::memset(buf, '#', sizeof(buf));
    T(d)->nFillBuffer(buf);
    EXPECT_EQ(std::string(buf, 9), "20240101#");
    std::memset(buf, '#', sizeof(buf));
    T(d)->nFillDataBuffer(buf);
    EXPECT_EQ(std::string(buf, 10), std::string("20240101\0#", 10));
    std::memset(buf, '#', sizeof(buf));
    T(d)->nFillUtilDataBuffer(buf);
    EXPECT_EQ(std::string(buf, 10), std::string("20240101\0#", 10));

    // Never read past the terminator or the count; the rest is cleared.
    T(d)->SetValue("2024\0" "0101", 9);
    EXPECT_EQ(A(d), "2024");
    std::memset(buf, '#', sizeof(buf));
    T(d)->nFillBuffer(buf);
    EXPECT_EQ(std::string(buf, 9), std::string("2024\0\0\0\0#", 9));
    const char unterminated[6] = {'1', '9', '9', '9', '1', '2'};
    T(d)->SetValue(unterminated, 6);
    EXPECT_EQ(A(d), "199912");
    T(d)->SetValue(static_cast<const char*>(nullptr));
    EXPECT_EQ(A(d), "");
    // From its own text.
    T(d)->SetValue("20240101");
    const char* pOwn = nullptr;
    T(d)->nGetPCASTR(&pOwn);
    T(d)->SetValue(pOwn + 2);
    EXPECT_EQ(A(d), "240101");

    T(d)->SetValueFromUNICODE(L"19991231235959");
    EXPECT_EQ(A(d), "19991231");

    CAny t(TQTYPE_TIMEA);
    EXPECT_EQ(Size(t), 9u);
    EXPECT_EQ(DataSize(t), 10u);
    T(t)->SetValue("1234");
    EXPECT_EQ(UtilSize(t), 4u);
    T(t)->SetValue("123456789012");
    EXPECT_EQ(A(t), "123456789");
    EXPECT_EQ(UtilSize(t), 9u);
    T(t)->SetValueFromUNICODE(L"235959999000");
    EXPECT_EQ(A(t), "235959999");

    t.SetFlags(TQFLAG_0400);
    CAny c(TQTYPE_DSTRA);
    T(t)->Duplique(&c);
    EXPECT_EQ(c.nGetType(), TQTYPE_TIMEA | TQFLAG_0400);
    EXPECT_EQ(A(c), "235959999");
}

TEST(AnyText, DateTimeTextW)
{
    CAny d(TQTYPE_DATEW);
    EXPECT_EQ(Size(d), 32u);
    EXPECT_EQ(DataSize(d), 36u);
    EXPECT_EQ(UtilSize(d), 32u);
    T(d)->SetValue(L"20240229xx");
    EXPECT_EQ(W(d), L"20240229");
    T(d)->SetValue(L"20240229", 4);
    EXPECT_EQ(W(d), L"2024");
    EXPECT_EQ(StrLen(d), 4u);
    wchar_t buf[12];
    std::wmemset(buf, L'#', 12);
    T(d)->nFillDataBuffer(buf);
    EXPECT_EQ(std::wstring(buf, 6), std::wstring(L"2024\0#", 6));
    T(d)->SetValueFromANSI("1999123123");
    EXPECT_EQ(W(d), L"19991231");

    CAny t(TQTYPE_TIMEW);
    EXPECT_EQ(Size(t), 36u);
    EXPECT_EQ(DataSize(t), 40u);
    // An 8-bit text of 12 characters keeps 9.
    T(t)->SetValueFromANSI("123456789012");
    EXPECT_EQ(W(t), L"123456789");
    EXPECT_EQ(UtilSize(t), 36u);
    T(t)->SetValueFromANSI("123456789012", 4);
    EXPECT_EQ(W(t), L"1234");
    EXPECT_EQ(UtilSize(t), 16u);
    std::wmemset(buf, L'#', 12);
    T(t)->nFillBuffer(buf);
    EXPECT_EQ(std::wstring(buf, 10), std::wstring(L"1234\0\0\0\0\0#", 10));

    t.SetNullFlag(true);
    T(t)->SetValue(L"000000001");
    EXPECT_TRUE(t.bIsNull());
    CAny c;
    T(t)->Duplique(&c);
    EXPECT_EQ(c.nGetType(), TQTYPE_TIMEW | TQFLAG_NULL);
    EXPECT_EQ(W(c), L"000000001");
}
