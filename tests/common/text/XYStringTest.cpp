#include "common/text/XYString.h"

#include "common/platform/InformationDLL.h"
#include "tests/support/HostBlocks.h"

#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

namespace {

template <class T>
std::basic_string<T> Text(const CXYString<T>& s)
{
    return std::basic_string<T>(s.pszGet(), static_cast<size_t>(s.nGetLength()));
}

// Four zero bytes right after the data.
template <class T>
bool bTerminated(const CXYString<T>& s)
{
    const char* pEnd = reinterpret_cast<const char*>(s.pGetData()) + Header(s)->nLength;
    return pEnd[0] == 0 && pEnd[1] == 0 && pEnd[2] == 0 && pEnd[3] == 0;
}

const wchar_t kSentinelW = static_cast<wchar_t>(0xFFFFFFFF);

// A handle on an allocated block holding no text.
template <class T>
CXYString<T> AllocatedEmpty()
{
    CXYString<T> s;
    s.nSetLength(1);
    return s;
}

// Every test gives back the host blocks it took.
class XYString : public testing::Test {
    CLiveBlockCheck m_check;
};

}  // namespace

TEST_F(XYString, BlockLayoutAndTerminator)
{
    CXYString<char> a("abc", 3);
    EXPECT_EQ(Header(a)->nLength, 3u);
    EXPECT_EQ(Header(a)->nRefCount, 1);
    EXPECT_GE(Header(a)->nCapacity, 3u);
    EXPECT_TRUE(bTerminated(a));
    CXYString<wchar_t> w(L"xyz", 3);
    EXPECT_EQ(w.nGetLength(), 3);
    EXPECT_EQ(Header(w)->nLength, 12u);  // bytes, 4 per character
    EXPECT_TRUE(bTerminated(w));
    // Empty texts allocate nothing and read as the static empty text.
    CXYString<char> e("abc", 0);
    EXPECT_EQ(e.pGetData(), nullptr);
    EXPECT_EQ(e.pszGet(), CXYString<char>::ChaineVide);
}

TEST_F(XYString, SharingAndCopyOnWrite)
{
    CXYString<char> a("hello", 5);
    {
        CXYString<char> b(a);
        EXPECT_EQ(RefCount(a), 2);
        EXPECT_EQ(b.nConcat(" world", 6), 0);
        EXPECT_EQ(Text(a), "hello");
        EXPECT_EQ(Text(b), "hello world");
        b = a;
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
    // Room asked for below the length of a shared block keeps the whole text.
    CXYString<char> d(a);
    EXPECT_EQ(d.nSetLength(2), 0);
    EXPECT_EQ(Text(d), "hello");
    // An unshared block grows in place; appending clears the sentinel mark.
    CXYString<char> g("ab", 2);
    Header(g)->dwFlags = 0x101;
    EXPECT_EQ(g.nConcat("cdefghij", 8), 0);
    EXPECT_EQ(Text(g), "abcdefghij");
    EXPECT_EQ(Header(g)->dwFlags, 0x100u);
    EXPECT_TRUE(bTerminated(g));
}

TEST_F(XYString, WideConcatOfHandles)
{
    CXYString<wchar_t> empty;
    CXYString<wchar_t> other(L"cd", 2);
    EXPECT_EQ(empty.nConcat(other), 0);
    EXPECT_EQ(empty.pGetData(), other.pGetData());  // shares
    CXYString<wchar_t> a(L"ab", 2);
    Header(other)->dwFlags = 1;
    EXPECT_EQ(a.nConcat(other), 0);
    EXPECT_EQ(Text(a), L"abcd");
    EXPECT_EQ(a.dwGetFlags() & 1u, 1u);  // the mark comes from the other
    // A text joined to itself, alone and shared.
    CXYString<wchar_t> s(L"xy", 2);
    EXPECT_EQ(s.nConcat(s), 0);
    EXPECT_EQ(Text(s), L"xyxy");
    CXYString<wchar_t> t(s);
    EXPECT_EQ(t.nConcat(t), 0);
    EXPECT_EQ(Text(t), L"xyxyxyxy");
    EXPECT_EQ(Text(s), L"xyxy");
}

// Joins with allocated empty texts once wrote their length through a null
// block; each case runs in a child.
TEST_F(XYString, EmptyOperandsJoinWithoutCrashing)
{
    typedef CXYString<wchar_t> W;
    const SChildCase cases[] = {
        {"allocated empty joined to itself",
         [] {
             W a(L"x", 1);
             a.Tronque(0);
             const int n = a.nConcat(a);
             return std::make_pair(n, a.nGetLength());
         }},
        {"copy of an allocated empty joined to the original",
         [] {
             W a(L"x", 1);
             a.SetUtilLength(0, 0);
             W b(a);
             const int n = b.nConcat(a);
             return std::make_pair(n, b.nGetLength());
         }},
        {"shared allocated empty joined to itself",
         [] {
             W a = AllocatedEmpty<wchar_t>();
             W b(a);
             const int n = b.nConcat(b);
             return std::make_pair(n, b.nGetLength());
         }},
        {"null and allocated empty joined both ways",
         [] {
             W a = AllocatedEmpty<wchar_t>();
             W n;
             const int n1 = n.nConcat(a);
             const int n2 = a.nConcat(W());
             return std::make_pair(n1 + n2, n.nGetLength() + a.nGetLength());
         }},
        {"shared allocated empty cut, resized and edited",
         [] {
             W a = AllocatedEmpty<wchar_t>();
             W b(a);
             b.SetUtilLength(0, 0);
             W c(a);
             const int n = c.nSetLength(0);
             c.Supprime(0, 1);
             c.Remplace(0, 1, L"x", 1);
             c.RemplaceBinaire(L"x", 1, L"y", 1, 0);
             return std::make_pair(n, b.nGetLength() + c.nGetLength());
         }},
        {"shared 8-bit allocated empty with its own data appended",
         [] {
             CXYString<char> a = AllocatedEmpty<char>();
             CXYString<char> b(a);
             b.SetUtilLength(0, 0);
             const int n = b.nConcat(b.pGetData(), 0);
             return std::make_pair(n, b.nGetLength());
         }},
    };
    for (const SChildCase& c : cases)
        ExpectInChild(c, "status=0 size=0");
}

TEST_F(XYString, SelfJoinsKeepTheOtherHolderAndTheMark)
{
    CXYString<wchar_t> a(L"ab", 2);
    Header(a)->dwFlags = 0x101;
    CXYString<wchar_t> b(a);
    EXPECT_EQ(b.nConcat(a), 0);
    EXPECT_EQ(Text(b), L"abab");
    EXPECT_EQ(b.dwGetFlags(), 0x101u);  // the copy's word, the other's mark
    EXPECT_EQ(Text(a), L"ab");
    EXPECT_TRUE(bTerminated(b));
    // An allocated empty text joined to itself stays an allocated empty text.
    CXYString<wchar_t> e = AllocatedEmpty<wchar_t>();
    CXYString<wchar_t> f(e);
    EXPECT_EQ(f.nConcat(f), 0);
    EXPECT_NE(f.pGetData(), nullptr);
    EXPECT_TRUE(bTerminated(f));
    EXPECT_EQ(RefCount(e), 1);
}

TEST_F(XYString, LimitsGive108WithoutCallingTheAllocator)
{
    CXYString<wchar_t> w(L"abc", 3);
    void* pBefore = w.pGetData();
    {
        // Any call reaching the allocator would answer 77 instead.
        CFailingAllocator failing(77);
        // 4 x 0x40000000 wraps to 0 in 32 bits.
        EXPECT_EQ(w.nSetLength(0x40000000), 108);
        EXPECT_EQ(w.nConcat(L"x", 0x7FFFFFF0), 108);
        CXYString<wchar_t> n;
        EXPECT_EQ(n.__nConversion("ab", 2, 0x7FFFFFF0, 1252, 0, nullptr), 108);
        CXYString<char> u;
        // 4n + 1 bytes of UTF-8 room: over the limit for n = 0x20000000.
        EXPECT_EQ(u.nAffecteToUTF8("ab", 0x20000000, 1252), 108);
        // The allocator's own failure is passed on unchanged.
        EXPECT_EQ(n.nSetLength(10), 77);
    }
    EXPECT_EQ(w.pGetData(), pBefore);
    EXPECT_EQ(Text(w), L"abc");
}

TEST_F(XYString, FailuresKeepTheText)
{
    // Without the host's allocator: a failure, never a call through null.
    IStrMemAlloc* piSaved = CInformationModule::ms_piStrMemAlloc;
    CInformationModule::ms_piStrMemAlloc = nullptr;
    CXYString<char> n("abc", 3);
    const int nError = n.nSetLength(4);
    CInformationModule::ms_piStrMemAlloc = piSaved;
    EXPECT_EQ(n.pGetData(), nullptr);
    EXPECT_EQ(nError, STRMEM_ERROR_NO_ALLOCATOR);
    // A failed detach or growth keeps the text and the sharing.
    CXYString<wchar_t> a(L"hello", 5);
    CXYString<wchar_t> b(a);
    CXYString<char> c("ab", 2);
    {
        CFailingAllocator failing(1234);
        EXPECT_EQ(b.nConcat(L"!", 1), 1234);
        EXPECT_EQ(c.nConcat("cdefgh", 6), 1234);
        b.Tronque(2);
        b.Supprime(0, 1);
        b.Remplace(0, 1, L"X", 1);
    }
    EXPECT_EQ(b.pGetData(), a.pGetData());
    EXPECT_EQ(Text(b), L"hello");
    EXPECT_EQ(Text(c), "ab");
}

TEST_F(XYString, TronqueSupprimeAndRemplaceAtPosition)
{
    CXYString<wchar_t> a(L"abcd", 4);
    Header(a)->dwFlags = 0x101;
    CXYString<wchar_t> b(a);
    // Shared: a new block, the other keeps text and flags.
    b.Tronque(2);
    EXPECT_EQ(Text(b), L"ab");
    EXPECT_EQ(b.dwGetFlags() & 1u, 0u);
    EXPECT_EQ(Text(a), L"abcd");
    EXPECT_EQ(a.dwGetFlags(), 0x101u);
    // Unshared: the block stays, mark cleared, terminator written.
    a.Tronque(3);
    EXPECT_EQ(Text(a), L"abc");
    EXPECT_EQ(a.dwGetFlags(), 0x100u);
    EXPECT_TRUE(bTerminated(a));
    CXYString<wchar_t> s(L"abcdef", 6);
    CXYString<wchar_t> shared(s);
    s.Supprime(1, 2);
    EXPECT_EQ(Text(s), L"adef");
    EXPECT_EQ(Text(shared), L"abcdef");
    s.Supprime(2, 100);  // cut to the end
    s.Supprime(-1, 1);
    EXPECT_EQ(Text(s), L"ad");
    CXYString<wchar_t> r(L"abc", 3);
    CXYString<wchar_t> keep(r);
    r.Remplace(1, 1, L"XYZ", -1);
    EXPECT_EQ(Text(r), L"aXYZc");
    EXPECT_EQ(Text(keep), L"abc");
    r.Remplace(4, 10, L"", -1);  // n cut to the end, empty source
    r.Remplace(0, 1, L"QQQ", 2);  // only srcLen units are read
    r.Remplace(-1, 0, L"!", 1);
    EXPECT_EQ(Text(r), L"QQXYZ");
    EXPECT_TRUE(bTerminated(r));
}

TEST_F(XYString, SourcesInsideTheOwnBlock)
{
    // Appending the own text: the block moves while it is read.
    CXYString<char> a("abcd", 4);
    EXPECT_EQ(Header(a)->nCapacity, 4u);
    EXPECT_EQ(a.nConcat(a.pGetData(), 4), 0);
    EXPECT_EQ(Text(a), "abcdabcd");
    CXYString<wchar_t> w(L"abc", 3);
    w.Remplace(0, 1, w.pGetData(), 3);
    EXPECT_EQ(Text(w), L"abcbc");
    CXYString<char> r("x-y", 3);
    r.RemplaceBinaire(r.pGetData() + 1, 1, r.pGetData(), 3, 0);
    EXPECT_EQ(Text(r), "xx-yy");
}

TEST_F(XYString, SourceInTheTailThatMoves)
{
    // The tail moves right over the source before the source is read: the
    // text is put together elsewhere.
    CXYString<wchar_t> w(L"abcdef", 6);
    w.Remplace(0, 1, w.pGetData() + 3, 3);
    EXPECT_EQ(Text(w), L"defbcdef");
    EXPECT_TRUE(bTerminated(w));
    CXYString<wchar_t> g(L"abcdef", 6);
    g.Remplace(1, 3, g.pGetData() + 4, 2);
    EXPECT_EQ(Text(g), L"aefef");
}

TEST_F(XYString, EveryFailedAllocationKeepsTheText)
{
    // Each host allocation of an edit fails in turn; the fixture sees every
    // block come back.
    const std::wstring strTail(100, L't');
    const struct {
        const char* pszName;
        std::function<int(CXYString<wchar_t>&)> edit;
        std::wstring strExpected;
        bool bGrowsAlone;  // whether a block held alone is grown or replaced
    } edits[] = {
        {"nConcat", [&](CXYString<wchar_t>& cl) { return cl.nConcat(strTail.c_str(), 100); }, L"abcdef" + strTail,
         true},
        {"nConcat own text", [](CXYString<wchar_t>& cl) { return cl.nConcat(cl.pGetData() + 2, 3); }, L"abcdefcde",
         true},
        {"nConcat itself", [](CXYString<wchar_t>& cl) { return cl.nConcat(cl); }, L"abcdefabcdef", true},
        {"Remplace", [](CXYString<wchar_t>& cl) { return cl.Remplace(2, 2, L"WXYZ", 4), kNoStatus; },
         L"abWXYZef", true},
        {"Remplace from its tail",
         [&](CXYString<wchar_t>& cl) { return cl.Remplace(0, 1, cl.pGetData() + 3, 3), kNoStatus; }, L"defbcdef",
         true},
        {"Remplace text", [](CXYString<wchar_t>& cl) { return cl.Remplace(L"cd", L"1234", 0), kNoStatus; },
         L"ab1234ef", true},
        {"Supprime", [](CXYString<wchar_t>& cl) { return cl.Supprime(1, 2), kNoStatus; }, L"adef", false},
        {"Tronque", [](CXYString<wchar_t>& cl) { return cl.Tronque(2), kNoStatus; }, L"ab", false},
        {"SetUtilLength", [](CXYString<wchar_t>& cl) { return cl.SetUtilLength(3, 0), kNoStatus; }, L"abc", false},
    };
    for (const auto& e : edits)
        for (const bool bShared : {false, true}) {
            SCOPED_TRACE(std::string(e.pszName) + (bShared ? ", shared" : ", held alone"));
            const int n = nEditUnderFailingAllocator([] { return CXYString<wchar_t>(L"abcdef", 6); },
                                                     Text<wchar_t>, e.edit, e.strExpected, bShared);
            if (bShared || e.bGrowsAlone) {
                EXPECT_GE(n, 1) << "the edit allocates";
            } else {
                EXPECT_EQ(n, 0) << "the edit works in place";
            }
        }
}

TEST_F(XYString, CreatedCopiesAnswerFalseWithoutMemory)
{
    // The C-heap copies of bCreateY fail in turn: false and no copy, or the
    // whole copy (LeakSanitizer sees a copy lost on the way).
    CXYString<wchar_t> w(L"ab\u20AC", 3);
    const wchar_t marked[] = {L'a', L'b', kSentinelW};
    CXYString<wchar_t> m(marked, 3);
    Header(m)->dwFlags = 1;
    CXYString<char> a("ab\x80", 3);
    auto narrow = [](const CXYString<wchar_t>& s, std::wstring& out) {
        char* p = nullptr;
        const bool bOk = s.bCreateY(p, 1252);
        if (p != nullptr) {
            for (const char* q = p; *q != 0; ++q)
                out += static_cast<wchar_t>(static_cast<unsigned char>(*q));
            std::free(p);
        }
        return bOk;
    };
    const struct {
        const char* pszName;
        std::function<bool(std::wstring&)> create;
        std::wstring strExpected;
    } cases[] = {
        {"wide to 1252", [&](std::wstring& out) { return narrow(w, out); }, L"ab\x80"},
        {"wide with the mark", [&](std::wstring& out) { return narrow(m, out); }, L"ab\xFF"},
        {"1252 to wide",
         [&](std::wstring& out) {
             wchar_t* p = nullptr;
             const bool bOk = a.bCreateY(p, 1252);
             if (p != nullptr) {
                 out = p;
                 std::free(p);
             }
             return bOk;
         },
         L"ab\u20AC"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pszName);
        const int n = nFailEachAllocation([&](int nAllowed) {
            std::wstring out;
            bool bOk = false;
            {
                CFailingHeap clScope(nAllowed);
                bOk = c.create(out);
            }
            if (!bOk) {
                EXPECT_EQ(out, L"") << "no copy with a failure";
                return false;
            }
            EXPECT_EQ(out, c.strExpected);
            return true;
        });
        EXPECT_GE(n, 1) << "the copy allocates";
    }
}

TEST_F(XYString, RemplaceBinaireAndNPosBinaire)
{
    // Non-overlapping occurrences from the start position on; units compared
    // including NULs.
    CXYString<char> s("aaaXa", 5);
    s.RemplaceBinaire("aa", 2, "b", 1, 1);
    EXPECT_EQ(Text(s), "abXa");
    CXYString<char> z("a\0b\0c", 5);
    z.RemplaceBinaire("\0", 1, "--", 2, 0);
    EXPECT_EQ(Text(z), "a--b--c");
    EXPECT_TRUE(bTerminated(z));
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
    EXPECT_EQ(n.pGetData(), p);
    // Replaced text gets a new block: the mark of the old one is gone.
    Header(n)->dwFlags = 1;
    n.Remplace("b", "B", 0);
    EXPECT_EQ(Text(n), "aBc");
    EXPECT_EQ(n.dwGetFlags() & 1u, 0u);
    CXYString<char> p0("a\0b\0c", 5);
    EXPECT_EQ(p0.nPosBinaire("\0", 1, 2), 3);
    EXPECT_EQ(p0.nPosBinaire("c", 1, 5), -1);
    EXPECT_EQ(p0.nPosBinaire("a", 1, -1), -1);
}

TEST_F(XYString, SetUtilLength)
{
    CXYString<char> s;
    EXPECT_EQ(s.nSetLength(10), 0);
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
}

TEST_F(XYString, SentinelConversions)
{
    const std::wstring marked{L'a', L'b', kSentinelW};
    CXYString<char> a("ab\xFF", 3);
    CXYString<wchar_t> w;
    wchar_t* pW = nullptr;
    // With the mark 0xFF is the sentinel; without it an ordinary 1252 character.
    for (unsigned dwFlags : {1u, 0u}) {
        SCOPED_TRACE(dwFlags);
        const std::wstring expected = dwFlags ? marked : L"ab\u00FF";
        Header(a)->dwFlags = dwFlags;
        EXPECT_EQ(w.nAffecteConversionExplicite(a, 1252, 0, nullptr), 0);
        EXPECT_EQ(Text(w), expected);
        EXPECT_EQ(w.dwGetFlags() & 1u, dwFlags);
        EXPECT_TRUE(a.bCreateY(pW, 1252));
        ASSERT_NE(pW, nullptr);
        EXPECT_EQ(std::wstring(pW), expected);
        std::free(pW);
    }
    // Wide to 8-bit.
    const wchar_t wide[] = {L'x', L'\u20AC', kSentinelW};
    CXYString<wchar_t> s(wide, 3);
    Header(s)->dwFlags = 1;
    CXYString<char> b;
    EXPECT_EQ(b.nAffecteConversionExplicite(s, 1252, 0, nullptr), 0);
    EXPECT_EQ(Text(b), "x\x80\xFF");
    EXPECT_EQ(b.dwGetFlags(), 1u);
}

TEST_F(XYString, Conversions)
{
    CXYString<char> a;
    // 65001 copies the bytes as they are.
    EXPECT_EQ(a.nAffecteUTF8("\xC3\xA9", 2, 65001, 0, nullptr, nullptr), 0);
    EXPECT_EQ(Text(a), "\xC3\xA9");
    EXPECT_EQ(a.nAffecteToUTF8("\xE9\x80", 2, 1252), 0);
    EXPECT_EQ(Text(a), "\xC3\xA9\xE2\x82\xAC");
    // A null source or an empty count empties the handle.
    EXPECT_EQ(a.nAffecteUTF32(L"abc", 0, 1252, 0, nullptr), 0);
    EXPECT_EQ(a.pGetData(), nullptr);
    // -1 is the host's current code page (1252 in the stand-in).
    EXPECT_EQ(Text(PCASTR_To_CWString("\x80", -1, -1)), L"\u20AC");
    CXYString<char> e("\xE9", 1);
    EXPECT_EQ(CAString_To_UTF8(e, 65001).pGetData(), e.pGetData());
    EXPECT_EQ(Text(CAString_To_UTF8(e, 1252)), "\xC3\xA9");
}
