#include "common/text/XYString.h"

#include "common/platform/InformationDLL.h"
#include "common/text/NomStandard.h"
#include "tests/support/TestHost.h"

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

std::string Text(const CXYString<char>& s)
{
    return std::string(s.pszGet(), static_cast<size_t>(s.nGetLength()));
}

std::wstring Text(const CXYString<wchar_t>& s)
{
    return std::wstring(s.pszGet(), static_cast<size_t>(s.nGetLength()));
}

template <class T>
CBaseStrMem::STHeader* Header(const CXYString<T>& s)
{
    return CBaseStrMem::s_pHeader(s.pGetData());
}

template <class T>
int RefCount(const CXYString<T>& s)
{
    return CBaseStrMem::s_nGetRefCount(s.pGetData());
}

// Four zero bytes right after the data.
template <class T>
bool bTerminated(const CXYString<T>& s)
{
    const char* pEnd = reinterpret_cast<const char*>(s.pGetData()) + Header(s)->nLength;
    return pEnd[0] == 0 && pEnd[1] == 0 && pEnd[2] == 0 && pEnd[3] == 0;
}

const wchar_t kSentinelW = static_cast<wchar_t>(0xFFFFFFFF);

// Makes the allocator fail with an error of its own for the scope.
class CFailingAllocator {
public:
    explicit CFailingAllocator(int nError) { TestHost().FailAllocationsAfter(0, nError); }
    ~CFailingAllocator() { TestHost().FailAllocationsAfter(-1, 0); }
};

}  // namespace

TEST(XYString, BlockLayoutAndTerminator)
{
    CLiveBlockCheck check;
    CXYString<char> a("abc", 3);
    ASSERT_NE(a.pGetData(), nullptr);
    EXPECT_EQ(Header(a)->nLength, 3u);
    EXPECT_EQ(Header(a)->nRefCount, 1);
    EXPECT_GE(Header(a)->nCapacity, 3u);
    EXPECT_EQ(Header(a)->dwFlags & 1u, 0u);
    EXPECT_TRUE(bTerminated(a));

    CXYString<wchar_t> w(L"xyz", 3);
    EXPECT_EQ(w.nGetLength(), 3);
    EXPECT_EQ(Header(w)->nLength, 12u);  // bytes, 4 per character
    EXPECT_GE(Header(w)->nCapacity, 12u);
    EXPECT_TRUE(bTerminated(w));

    // Empty texts allocate nothing and read as the static empty text.
    CXYString<char> e1("");
    CXYString<char> e2(static_cast<const char*>(nullptr));
    CXYString<wchar_t> e3(L"abc", 0);
    EXPECT_EQ(e1.pGetData(), nullptr);
    EXPECT_EQ(e2.pGetData(), nullptr);
    EXPECT_EQ(e3.pGetData(), nullptr);
    EXPECT_EQ(e1.pszGet(), CXYString<char>::ChaineVide);
    EXPECT_EQ(e3.pszGet()[0], L'\0');
    EXPECT_EQ(CBaseStrMem::ChaineVide, 0u);

    // The C-string constructor copies up to the terminator.
    CXYString<char> c("hello");
    EXPECT_EQ(Text(c), "hello");

    // The standard-name placeholder points at the empty wide text.
    EXPECT_EQ(CNomStandardStatique::ChaineVide.m_pszNom, CXYString<wchar_t>::ChaineVide);
    EXPECT_EQ(CNomStandardStatique::ChaineVide.m_pszNomStandard, CXYString<wchar_t>::ChaineVide);

    int x = 1, y = 2;
    XSwap(x, y);
    EXPECT_EQ(x, 2);
    EXPECT_EQ(y, 1);
}

TEST(XYString, SharingAndCopyOnWrite)
{
    CLiveBlockCheck check;
    CXYString<char> a("hello", 5);
    {
        CXYString<char> b(a);
        EXPECT_EQ(b.pGetData(), a.pGetData());
        EXPECT_EQ(RefCount(a), 2);

        // Appending to a shared block leaves the other's text unchanged.
        EXPECT_EQ(b.nConcat(" world", 6), 0);
        EXPECT_EQ(Text(a), "hello");
        EXPECT_EQ(Text(b), "hello world");
        EXPECT_NE(b.pGetData(), a.pGetData());
        EXPECT_EQ(RefCount(a), 1);
        EXPECT_TRUE(bTerminated(a));

        // Assignment shares and drops the old reference.
        b = a;
        EXPECT_EQ(b.pGetData(), a.pGetData());
        EXPECT_EQ(RefCount(a), 2);
        b = b;
        EXPECT_EQ(RefCount(a), 2);
    }
    EXPECT_EQ(RefCount(a), 1);

    // The whole flags word follows a detached copy made by the gate.
    Header(a)->dwFlags = 0x101;
    CXYString<char> c(a);
    EXPECT_EQ(c.nSetLength(40), 0);
    EXPECT_NE(c.pGetData(), a.pGetData());
    EXPECT_EQ(Header(c)->dwFlags, 0x101u);
    EXPECT_EQ(Text(c), "hello");
    EXPECT_GE(Header(c)->nCapacity, 40u);

    // Room asked for below the length of a shared block keeps the whole text.
    CXYString<char> d(a);
    EXPECT_EQ(d.nSetLength(2), 0);
    EXPECT_EQ(Text(d), "hello");
    EXPECT_EQ(Text(a), "hello");

    // An unshared block grows in place; appending clears the sentinel mark.
    CXYString<char> g("ab", 2);
    Header(g)->dwFlags = 0x101;
    EXPECT_EQ(g.nConcat("cdefghij", 8), 0);
    EXPECT_EQ(Text(g), "abcdefghij");
    EXPECT_EQ(Header(g)->dwFlags, 0x100u);
    EXPECT_TRUE(bTerminated(g));

    // nConcat: nothing for n < 1 or a null source; a new block for a null handle.
    EXPECT_EQ(g.nConcat("xyz", -1), 0);
    EXPECT_EQ(g.nConcat(nullptr, 3), 0);
    EXPECT_EQ(Text(g), "abcdefghij");
    CXYString<char> n;
    EXPECT_EQ(n.nConcat("xy", 2), 0);
    EXPECT_EQ(Text(n), "xy");
}

TEST(XYString, WideConcatOfHandles)
{
    CLiveBlockCheck check;
    CXYString<wchar_t> empty;
    CXYString<wchar_t> other(L"cd", 2);
    EXPECT_EQ(empty.nConcat(other), 0);
    EXPECT_EQ(empty.pGetData(), other.pGetData());  // shares
    EXPECT_EQ(RefCount(other), 2);

    CXYString<wchar_t> a(L"ab", 2);
    CBaseStrMem::s_pHeader(other.pGetData())->dwFlags = 1;
    EXPECT_EQ(a.nConcat(other), 0);
    EXPECT_EQ(Text(a), L"abcd");
    EXPECT_EQ(a.dwGetFlags() & 1u, 1u);  // the mark comes from the other
    EXPECT_EQ(Text(other), L"cd");

    // A text joined to itself.
    CXYString<wchar_t> s(L"xy", 2);
    EXPECT_EQ(s.nConcat(s), 0);
    EXPECT_EQ(Text(s), L"xyxy");
    CXYString<wchar_t> t(s);
    EXPECT_EQ(t.nConcat(t), 0);
    EXPECT_EQ(Text(t), L"xyxyxyxy");
    EXPECT_EQ(Text(s), L"xyxy");
}

TEST(XYString, LimitsGive108WithoutCallingTheAllocator)
{
    CLiveBlockCheck check;
    CXYString<wchar_t> w(L"abc", 3);
    CXYString<char> a("abc", 3);
    void* pBefore = w.pGetData();
    {
        // Any call reaching the allocator would answer 77 instead.
        CFailingAllocator failing(77);
        EXPECT_EQ(w.nSetLength(0x7FFFFF00), 108);
        EXPECT_EQ(w.__nPrepareModification(0x7FFFFF00), 108);
        // 4 x 0x40000000 wraps to 0 in 32 bits.
        EXPECT_EQ(w.nSetLength(0x40000000), 108);
        EXPECT_EQ(a.nSetLength(0x7FFFFF00), 108);
        EXPECT_EQ(w.nConcat(L"x", 0x7FFFFFF0), 108);

        CXYString<wchar_t> n;
        EXPECT_EQ(n.nSetLength(0x40000000), 108);
        EXPECT_EQ(n.__nNew(-1, nullptr, 0), 108);
        EXPECT_EQ(n.__nNew(0x7FFFFF00, nullptr, 0), 108);
        EXPECT_EQ(n.__nNew(0, L"abc", 3), 0);  // nothing to allocate
        EXPECT_EQ(n.pGetData(), nullptr);
        EXPECT_EQ(n.__nConversion("ab", 2, 0x7FFFFFF0, 1252, 0, nullptr), 108);

        CXYString<char> u;
        // 4n + 1 bytes of UTF-8 room: over the limit for n = 0x20000000.
        EXPECT_EQ(u.nAffecteToUTF8("ab", 0x20000000, 1252), 108);
        EXPECT_EQ(u.pGetData(), nullptr);

        // The allocator's own failure is passed on unchanged.
        EXPECT_EQ(n.nSetLength(10), 77);
    }
    EXPECT_EQ(w.pGetData(), pBefore);
    EXPECT_EQ(Text(w), L"abc");
    EXPECT_EQ(Text(a), "abc");
}

TEST(XYString, NoAllocatorAnswersAFailure)
{
    CLiveBlockCheck check;
    IStrMemAlloc* piSaved = CInformationModule::ms_piStrMemAlloc;
    CInformationModule::ms_piStrMemAlloc = nullptr;
    CXYString<char> a("abc", 3);
    CXYString<wchar_t> w;
    const int nError = w.nSetLength(4);
    CInformationModule::ms_piStrMemAlloc = piSaved;
    EXPECT_EQ(a.pGetData(), nullptr);
    EXPECT_EQ(nError, STRMEM_ERROR_NO_ALLOCATOR);
    EXPECT_NE(nError, 0);
    EXPECT_NE(nError, 105);
    EXPECT_NE(nError, 108);
}

TEST(XYString, FailedDetachKeepsTheText)
{
    CLiveBlockCheck check;
    CXYString<wchar_t> a(L"hello", 5);
    CXYString<wchar_t> b(a);
    CXYString<char> c("ab", 2);
    {
        CFailingAllocator failing(1234);
        EXPECT_EQ(b.nConcat(L"!", 1), 1234);
        EXPECT_EQ(b.__nPrepareModification(5), 1234);
        EXPECT_EQ(c.nConcat("cdefgh", 6), 1234);  // a failed growth in place
        b.Tronque(2);
        b.Supprime(0, 1);
        b.Remplace(0, 1, L"X", 1);
    }
    EXPECT_EQ(b.pGetData(), a.pGetData());
    EXPECT_EQ(Text(b), L"hello");
    EXPECT_EQ(RefCount(a), 2);
    EXPECT_EQ(Text(c), "ab");
}

TEST(XYString, Tronque)
{
    CLiveBlockCheck check;
    CXYString<wchar_t> a(L"abcd", 4);
    Header(a)->dwFlags = 0x101;
    CXYString<wchar_t> b(a);

    // Shared: a new block, the other keeps text and flags.
    b.Tronque(2);
    EXPECT_EQ(Text(b), L"ab");
    EXPECT_EQ(b.dwGetFlags() & 1u, 0u);
    EXPECT_EQ(Text(a), L"abcd");
    EXPECT_EQ(a.dwGetFlags(), 0x101u);

    CXYString<wchar_t> c(a);
    c.Tronque(0);
    EXPECT_EQ(c.pGetData(), nullptr);
    EXPECT_EQ(RefCount(a), 1);

    // Unshared: the block stays, mark cleared, terminator written.
    a.Tronque(3);
    EXPECT_EQ(Text(a), L"abc");
    EXPECT_EQ(a.dwGetFlags(), 0x100u);
    EXPECT_TRUE(bTerminated(a));
    a.Tronque(0);
    EXPECT_NE(a.pGetData(), nullptr);
    EXPECT_EQ(a.nGetLength(), 0);

    // Out of range: nothing.
    CXYString<wchar_t> d(L"xy", 2);
    d.Tronque(2);
    d.Tronque(-1);
    EXPECT_EQ(Text(d), L"xy");
}

TEST(XYString, SupprimeAndRemplaceAtPosition)
{
    CLiveBlockCheck check;
    CXYString<wchar_t> a(L"abcdef", 6);
    CXYString<wchar_t> shared(a);
    a.Supprime(1, 2);
    EXPECT_EQ(Text(a), L"adef");
    EXPECT_EQ(Text(shared), L"abcdef");
    EXPECT_TRUE(bTerminated(a));
    a.Supprime(2, 100);  // cut to the end
    EXPECT_EQ(Text(a), L"ad");
    a.Supprime(-1, 1);
    a.Supprime(2, 1);
    a.Supprime(0, -1);
    EXPECT_EQ(Text(a), L"ad");

    CXYString<wchar_t> r(L"abc", 3);
    CXYString<wchar_t> keep(r);
    r.Remplace(1, 1, L"XYZ", -1);
    EXPECT_EQ(Text(r), L"aXYZc");
    EXPECT_EQ(Text(keep), L"abc");
    r.Remplace(4, 10, L"", -1);  // n cut to the end, empty source
    EXPECT_EQ(Text(r), L"aXYZ");
    r.Remplace(0, 2, nullptr, -1);
    EXPECT_EQ(Text(r), L"YZ");
    r.Remplace(0, 1, L"QQQ", 2);  // only srcLen units are read
    EXPECT_EQ(Text(r), L"QQZ");
    r.Remplace(3, 0, L"!", 1);
    r.Remplace(-1, 0, L"!", 1);
    r.Remplace(0, -1, L"!", 1);
    EXPECT_EQ(Text(r), L"QQZ");
    EXPECT_TRUE(bTerminated(r));
}

TEST(XYString, SourcesInsideTheOwnBlock)
{
    CLiveBlockCheck check;
    // Appending the own text: the block moves while it is read.
    CXYString<char> a("abcd", 4);
    EXPECT_EQ(Header(a)->nCapacity, 4u);
    EXPECT_EQ(a.nConcat(a.pGetData(), 4), 0);
    EXPECT_EQ(Text(a), "abcdabcd");
    EXPECT_EQ(a.nConcat(a.pGetData() + 1, 2), 0);
    EXPECT_EQ(Text(a), "abcdabcdbc");

    CXYString<wchar_t> w(L"abc", 3);
    w.Remplace(0, 1, w.pGetData(), 3);
    EXPECT_EQ(Text(w), L"abcbc");
    w.Remplace(1, 0, w.pGetData() + 3, 2);
    EXPECT_EQ(Text(w), L"abcbcbc");

    // Replacement texts taken from the own block.
    CXYString<char> r("x-y", 3);
    r.RemplaceBinaire(r.pGetData() + 1, 1, r.pGetData(), 3, 0);
    EXPECT_EQ(Text(r), "xx-yy");
}

TEST(XYString, RemplaceBinaire)
{
    CLiveBlockCheck check;
    CXYString<char> d("2024-01-31 10:20:30", 19);
    d.Remplace("-", "", 0);
    EXPECT_EQ(Text(d), "20240131 10:20:30");
    EXPECT_TRUE(bTerminated(d));

    // Non-overlapping occurrences, from the start position on.
    CXYString<char> s("aaaa", 4);
    s.RemplaceBinaire("aa", 2, "b", 1, 0);
    EXPECT_EQ(Text(s), "bb");
    CXYString<char> t("aXaXa", 5);
    t.Remplace("a", "bb", 1);
    EXPECT_EQ(Text(t), "aXbbXbb");
    CXYString<char> u("aaa", 3);
    u.RemplaceBinaire("aa", 2, "b", 1, 0);
    EXPECT_EQ(Text(u), "ba");

    // Units compared including NULs.
    CXYString<char> z("a\0b\0c", 5);
    z.RemplaceBinaire("\0", 1, "--", 2, 0);
    EXPECT_EQ(Text(z), "a--b--c");

    // The whole text replaced by nothing leaves a null handle.
    CXYString<char> w("abab", 4);
    CXYString<char> other(w);
    w.RemplaceBinaire("ab", 2, nullptr, 0, 0);
    EXPECT_EQ(w.pGetData(), nullptr);
    EXPECT_EQ(Text(other), "abab");

    // Nothing found, empty pattern or start past the text: unchanged block.
    CXYString<char> n("abc", 3);
    void* p = n.pGetData();
    n.Remplace("z", "y", 0);
    n.Remplace("", "y", 0);
    n.Remplace("a", "y", 1);
    n.RemplaceBinaire("a", 1, "y", 1, -1);
    EXPECT_EQ(n.pGetData(), p);
    EXPECT_EQ(Text(n), "abc");

    // Replaced text gets a new block: the mark of the old one is gone.
    Header(n)->dwFlags = 1;
    n.Remplace("b", "B", 0);
    EXPECT_EQ(Text(n), "aBc");
    EXPECT_EQ(n.dwGetFlags() & 1u, 0u);
}

TEST(XYString, NPosBinaire)
{
    CLiveBlockCheck check;
    CXYString<char> s("a\0b\0c", 5);
    EXPECT_EQ(s.nPosBinaire("\0c", 2, 0), 3);
    EXPECT_EQ(s.nPosBinaire("\0", 1, 2), 3);
    EXPECT_EQ(s.nPosBinaire("c", 1, 4), 4);
    EXPECT_EQ(s.nPosBinaire("c", 0, 0), -1);
    EXPECT_EQ(s.nPosBinaire("c", 1, 5), -1);
    EXPECT_EQ(s.nPosBinaire("bc", 2, 0), -1);
    EXPECT_EQ(s.nPosBinaire("a", 1, -1), -1);
    CXYString<wchar_t> w(L"abcabc", 6);
    EXPECT_EQ(w.nPosBinaire(L"ca", 2, 0), 2);
    EXPECT_EQ(w.nPosBinaire(L"bc", 2, 2), 4);
    CXYString<wchar_t> e;
    EXPECT_EQ(e.nPosBinaire(L"a", 1, 0), -1);
}

TEST(XYString, SetUtilLength)
{
    CLiveBlockCheck check;
    CXYString<char> s;
    EXPECT_EQ(s.nSetLength(10), 0);
    EXPECT_EQ(s.nGetLength(), 0);
    std::memcpy(s.pGetData(), "abcdef", 6);
    s.SetUtilLength(4, 0);
    EXPECT_EQ(Text(s), "abcd");
    EXPECT_TRUE(bTerminated(s));

    // A shared block is not written: the other keeps its length.
    CXYString<char> other(s);
    s.SetUtilLength(2, 0);
    EXPECT_EQ(Text(s), "ab");
    EXPECT_EQ(Text(other), "abcd");

    // A length beyond the room grows the block instead of writing past it.
    CXYString<char> g("ab", 2);
    g.SetUtilLength(50, 0);
    EXPECT_EQ(g.nGetLength(), 50);
    EXPECT_GE(Header(g)->nCapacity, 50u);
    EXPECT_TRUE(bTerminated(g));

    s.SetUtilLength(0, 1);
    EXPECT_EQ(s.pGetData(), nullptr);
    s.SetUtilLength(3, 0);  // null handle: nothing
    EXPECT_EQ(s.pGetData(), nullptr);
}

TEST(XYString, SentinelConversions)
{
    CLiveBlockCheck check;
    CXYString<char> a("ab\xFF", 3);
    Header(a)->dwFlags = 1;
    CXYString<wchar_t> w;
    EXPECT_EQ(w.nAffecteConversionExplicite(a, 1252, 0, nullptr), 0);
    EXPECT_EQ(Text(w), (std::wstring{L'a', L'b', kSentinelW}));
    EXPECT_EQ(w.dwGetFlags(), 1u);

    // Without the mark 0xFF is an ordinary 1252 character.
    Header(a)->dwFlags = 0;
    EXPECT_EQ(w.nAffecteConversionExplicite(a, 1252, 0, nullptr), 0);
    EXPECT_EQ(Text(w), L"ab\u00FF");
    EXPECT_EQ(w.dwGetFlags() & 1u, 0u);

    // Wide to 8-bit.
    const wchar_t wide[] = {L'x', L'\u20AC', kSentinelW};
    CXYString<wchar_t> s(wide, 3);
    Header(s)->dwFlags = 1;
    CXYString<char> b;
    EXPECT_EQ(b.nAffecteConversionExplicite(s, 1252, 0, nullptr), 0);
    EXPECT_EQ(Text(b), "x\x80\xFF");
    EXPECT_EQ(b.dwGetFlags(), 1u);

    // The sentinel alone.
    CXYString<wchar_t> only(&kSentinelW, 1);
    Header(only)->dwFlags = 1;
    EXPECT_EQ(b.nAffecteConversionExplicite(only, 1252, 0, nullptr), 0);
    EXPECT_EQ(Text(b), "\xFF");

    // Heap copies in the other width keep the sentinel as well.
    char* pA = nullptr;
    EXPECT_TRUE(s.bCreateY(pA, 1252));
    ASSERT_NE(pA, nullptr);
    EXPECT_STREQ(pA, "x\x80\xFF");
    std::free(pA);
    EXPECT_TRUE(only.bCreateY(pA, 1252));
    ASSERT_NE(pA, nullptr);
    EXPECT_STREQ(pA, "\xFF");
    std::free(pA);

    Header(a)->dwFlags = 1;
    wchar_t* pW = nullptr;
    EXPECT_TRUE(a.bCreateY(pW, 1252));
    ASSERT_NE(pW, nullptr);
    EXPECT_EQ(std::wstring(pW), (std::wstring{L'a', L'b', kSentinelW}));
    std::free(pW);
    Header(a)->dwFlags = 0;
    EXPECT_TRUE(a.bCreateY(pW, 1252));
    ASSERT_NE(pW, nullptr);
    EXPECT_EQ(std::wstring(pW), L"ab\u00FF");
    std::free(pW);

    CXYString<wchar_t> empty;
    pA = reinterpret_cast<char*>(&pA);
    EXPECT_TRUE(empty.bCreateY(pA, 1252));
    EXPECT_EQ(pA, nullptr);
}

TEST(XYString, ConversionsIntoAHandle)
{
    CLiveBlockCheck check;
    // Three characters to code page 1252: three bytes.
    CXYString<char> a;
    EXPECT_EQ(a.nAffecteUTF32(L"\u00E9\u20ACa", 3, 1252, 0, nullptr), 0);
    EXPECT_EQ(Text(a), "\xE9\x80" "a");

    const unsigned short utf16[] = {0x41, 0xE9, 0x20AC};
    EXPECT_EQ(a.nAffecteUTF16(utf16, 3, 1252, 0, nullptr), 0);
    EXPECT_EQ(Text(a), "A\xE9\x80");
    CXYString<wchar_t> w;
    EXPECT_EQ(w.nAffecteUTF16(utf16, 3), 0);
    EXPECT_EQ(Text(w), L"A\u00E9\u20AC");
    EXPECT_EQ(w.nAffecteUTF32(L"xyz", 2), 0);
    EXPECT_EQ(Text(w), L"xy");

    // UTF-8 to 8-bit text and back; 65001 copies the bytes as they are.
    EXPECT_EQ(a.nAffecteUTF8("\xC3\xA9\xE2\x82\xAC", 5, 1252, 0, nullptr, nullptr), 0);
    EXPECT_EQ(Text(a), "\xE9\x80");
    EXPECT_EQ(a.nAffecteUTF8("\xC3\xA9", 2, 65001, 0, nullptr, nullptr), 0);
    EXPECT_EQ(Text(a), "\xC3\xA9");
    EXPECT_EQ(a.nAffecteToUTF8("\xE9\x80", 2, 1252), 0);
    EXPECT_EQ(Text(a), "\xC3\xA9\xE2\x82\xAC");
    EXPECT_EQ(a.nAffecteToUTF8(L"\u00E9", -1), 0);
    EXPECT_EQ(Text(a), "\xC3\xA9");
    EXPECT_EQ(w.nAffecteUTF8("h\xC3\xA9", -1), 0);
    EXPECT_EQ(Text(w), L"h\u00E9");

    // 8-bit to wide: the 1252 table and the general converter agree.
    EXPECT_EQ(w.__nConversion("\x80\xE9z", -1, 0, 1252, 0, nullptr), 0);
    EXPECT_EQ(Text(w), L"\u20AC\u00E9z");
    EXPECT_EQ(w.__nConversion("\xC3\xA9", 2, 0, 65001, 0, nullptr), 0);
    EXPECT_EQ(Text(w), L"\u00E9");
    EXPECT_EQ(a.__nConversion(L"\u20AC", 1, 0, 1252, 0, nullptr), 0);
    EXPECT_EQ(Text(a), "\x80");

    // A null source or an empty count empties the handle.
    EXPECT_EQ(w.__nConversion(nullptr, 3, 0, 1252, 0, nullptr), 0);
    EXPECT_EQ(w.pGetData(), nullptr);
    EXPECT_EQ(a.nAffecteUTF32(L"abc", 0, 1252, 0, nullptr), 0);
    EXPECT_EQ(a.pGetData(), nullptr);

    // The wide forms of nAffecteToUTF8 do nothing.
    CXYString<wchar_t> keep(L"k", 1);
    EXPECT_EQ(keep.nAffecteToUTF8("abc", 3, 1252), 0);
    EXPECT_EQ(keep.nAffecteToUTF8(L"abc", 3), 0);
    EXPECT_EQ(Text(keep), L"k");
}

TEST(XYString, ConversionsIntoNewHandles)
{
    CLiveBlockCheck check;
    EXPECT_EQ(Text(UTF8_To_CWString("h\xC3\xA9")), L"h\u00E9");
    EXPECT_EQ(Text(UTF8_To_CWString("h\xC3\xA9", 1)), L"h");
    EXPECT_EQ(Text(PCWSTR_To_UTF8(L"\u00E9\u20AC")), "\xC3\xA9\xE2\x82\xAC");
    EXPECT_EQ(Text(PCWSTR_N_To_UTF8(L"\u00E9\u20AC", 1)), "\xC3\xA9");
    EXPECT_EQ(Text(UTF8_To_CAString("\xC3\xA9\xE2\x82\xAC", 1252)), "\xE9\x80");
    EXPECT_EQ(Text(UTF8_To_CAString("\xC3\xA9!", 2, 65001)), "\xC3\xA9");
    EXPECT_EQ(Text(PCASTR_To_UTF8("\xE9", 1252)), "\xC3\xA9");
    EXPECT_EQ(Text(PCASTR_N_To_UTF8("\x80\xE9", 1, 1252)), "\xE2\x82\xAC");
    EXPECT_EQ(Text(PCASTR_To_UTF8("ab", 65001)), "ab");
    // -1: the host's current code page (1252 in the stand-in).
    EXPECT_EQ(Text(PCASTR_To_CWString("\x80", -1, -1)), L"\u20AC");
    EXPECT_EQ(Text(PCWSTR_To_CAString(L"\u20ACx", -1, 1)), "\x80");
    EXPECT_EQ(Text(CWString_To_UTF8(CXYString<wchar_t>(L"\u00E9", 1))), "\xC3\xA9");

    CXYString<char> a("\xE9", 1);
    const CXYString<char> same = CAString_To_UTF8(a, 65001);
    EXPECT_EQ(same.pGetData(), a.pGetData());
    EXPECT_EQ(Text(CAString_To_UTF8(a, 1252)), "\xC3\xA9");

    EXPECT_EQ(UTF8_To_CWString(nullptr).pGetData(), nullptr);
    EXPECT_EQ(PCASTR_To_UTF8("", 1252).pGetData(), nullptr);
}
