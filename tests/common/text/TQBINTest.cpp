#include "common/text/TQBIN.h"

#include "tests/support/TestHost.h"

#include <cstring>
#include <string>

namespace {

const unsigned char* B(const char* s)
{
    return reinterpret_cast<const unsigned char*>(s);
}

CTQBIN Bin(const char* s)
{
    return CTQBIN(B(s), static_cast<int>(std::strlen(s)));
}

std::string Bytes(const CTQBIN& b)
{
    return std::string(reinterpret_cast<const char*>(b.pGetData()), static_cast<size_t>(b.nGetSize()));
}

CBaseStrMem::STHeader* Header(const CTQBIN& b)
{
    return CBaseStrMem::s_pHeader(b.pGetData());
}

int RefCount(const CTQBIN& b)
{
    return CBaseStrMem::s_nGetRefCount(b.pGetData());
}

class CFailingAllocator {
public:
    explicit CFailingAllocator(int nError) { TestHost().FailAllocationsAfter(0, nError); }
    ~CFailingAllocator() { TestHost().FailAllocationsAfter(-1, 0); }
};

}  // namespace

TEST(TQBIN, SharingAndCopyOnWrite)
{
    CLiveBlockCheck check;
    CTQBIN a = Bin("abcd");
    Header(a)->dwFlags = 0x101;
    CTQBIN b(a);
    EXPECT_EQ(b.pGetData(), a.pGetData());
    EXPECT_EQ(RefCount(a), 2);

    // Tronque on one copy leaves the other and its flags unchanged.
    b.Tronque(2);
    EXPECT_EQ(Bytes(b), "ab");
    EXPECT_EQ(Bytes(a), "abcd");
    EXPECT_EQ(a.dwGetFlags(), 0x101u);
    EXPECT_EQ(RefCount(a), 1);

    // Unshared: in place, mark cleared; Tronque(0) keeps an allocated value.
    a.Tronque(3);
    EXPECT_EQ(Bytes(a), "abc");
    EXPECT_EQ(a.dwGetFlags(), 0x100u);
    CTQBIN c(a);
    c.Tronque(0);
    EXPECT_EQ(c.pGetData(), nullptr);
    a.Tronque(0);
    EXPECT_NE(a.pGetData(), nullptr);
    EXPECT_EQ(a.nGetSize(), 0);

    // Appending to a shared block: a copy with the old flags word.
    CTQBIN d = Bin("xy");
    Header(d)->dwFlags = 0x101;
    CTQBIN e(d);
    EXPECT_EQ(e.nConcat(B("z"), 1), 0);
    EXPECT_EQ(Bytes(e), "xyz");
    EXPECT_EQ(e.dwGetFlags(), 0x101u);
    EXPECT_EQ(Bytes(d), "xy");

    // Size changes on a shared block do not reach the other holder.
    CTQBIN f(d);
    EXPECT_EQ(f.nSetSize(1), 0);
    EXPECT_EQ(Bytes(f), "x");
    EXPECT_EQ(Bytes(d), "xy");
    CTQBIN g(d);
    g.SetUtilSize(1);
    EXPECT_EQ(Bytes(g), "x");
    EXPECT_EQ(Bytes(d), "xy");
    CTQBIN h(d);
    EXPECT_EQ(h.nSetMemorySize(64), 0);
    EXPECT_NE(h.pGetData(), d.pGetData());
    EXPECT_EQ(Bytes(h), "xy");
}

TEST(TQBIN, AssignmentAndTake)
{
    CLiveBlockCheck check;
    CTQBIN a = Bin("abc");
    a = a;
    EXPECT_EQ(Bytes(a), "abc");
    EXPECT_EQ(RefCount(a), 1);
    a.Assign(&a, 2);
    EXPECT_EQ(Bytes(a), "ab");

    CTQBIN b;
    b.Assign(&a, -1);
    EXPECT_EQ(b.pGetData(), a.pGetData());
    b.Assign(&a, 0);
    EXPECT_EQ(b.pGetData(), nullptr);
    b.Assign(nullptr, -1);
    EXPECT_EQ(b.pGetData(), nullptr);

    // nAssign: in place when unshared, a new block when shared.
    CTQBIN c = Bin("xy");
    EXPECT_EQ(c.nAssign(B("12345"), 5), 0);
    EXPECT_EQ(Bytes(c), "12345");
    CTQBIN d(c);
    EXPECT_EQ(d.nAssign(B("9"), 1), 0);
    EXPECT_EQ(Bytes(d), "9");
    EXPECT_EQ(Bytes(c), "12345");
    EXPECT_EQ(c.nAssign(c.pGetData() + 2, 3), 0);  // from its own bytes
    EXPECT_EQ(Bytes(c), "345");
    EXPECT_EQ(c.nAssign(B("x"), -1), 108);
    EXPECT_EQ(Bytes(c), "345");
    EXPECT_EQ(c.nAssign(nullptr, 0), 0);
    EXPECT_EQ(c.pGetData(), nullptr);

    // Take: the reference moves, the other is left empty.
    CTQBIN e = Bin("take");
    void* p = e.pGetData();
    CTQBIN f = Bin("old");
    f.Take(&e);
    EXPECT_EQ(f.pGetData(), p);
    EXPECT_EQ(e.pGetData(), nullptr);
    EXPECT_EQ(RefCount(f), 1);
    f.Take(&f);
    EXPECT_EQ(Bytes(f), "take");

    // Handles that hold nothing yet.
    CTQBIN g;
    EXPECT_EQ(g.nAssignInit(B("ab"), 2), 0);
    EXPECT_EQ(Bytes(g), "ab");
    CTQBIN h;
    EXPECT_EQ(h.nAssignInit(nullptr, 2), 0);
    EXPECT_EQ(h.pGetData(), nullptr);
}

TEST(TQBIN, SizesAndLimits)
{
    CLiveBlockCheck check;
    CTQBIN a;
    EXPECT_EQ(a.nSetSize(6), 0);
    EXPECT_EQ(a.nGetSize(), 6);
    EXPECT_EQ(a.nSetSize(2), 0);
    EXPECT_EQ(a.nGetSize(), 2);
    EXPECT_EQ(a.nSetSize(100), 0);
    EXPECT_GE(a.nGetMemorySize(), 100);
    EXPECT_EQ(a.nSetSize(-1), 108);
    EXPECT_EQ(a.nGetSize(), 100);

    CTQBIN m;
    EXPECT_EQ(m.nSetMemorySize(10), 0);
    EXPECT_EQ(m.nGetSize(), 0);
    EXPECT_GE(m.nGetMemorySize(), 10);
    EXPECT_EQ(m.nSetMemorySize(-1), 108);

    // SetUtilSize beyond the room or negative does nothing.
    std::memcpy(m.pGetData(), "0123456789", 10);
    m.SetUtilSize(4);
    EXPECT_EQ(Bytes(m), "0123");
    m.SetUtilSize(m.nGetMemorySize() + 1);
    m.SetUtilSize(-1);
    EXPECT_EQ(Bytes(m), "0123");

    // Over the limits: 108 before the allocator is asked (it would say 55).
    {
        CFailingAllocator failing(55);
        EXPECT_EQ(m.nSetSize(0x7FFFFF00), 108);
        EXPECT_EQ(m.nSetMemorySize(0x7FFFFF00), 108);
        EXPECT_EQ(m.nConcat(B("x"), 0x7FFFFFF0), 108);
        EXPECT_EQ(m.nConcat(B("x"), -1), 108);
        EXPECT_EQ(m.nAssign(B("x"), 0x7FFFFF00), 108);
        CTQBIN n;
        EXPECT_EQ(n.nSetSize(0x7FFFFF00), 108);
        EXPECT_EQ(n.nSetSize(-5), 108);
        EXPECT_EQ(n.nRepete(m, 0x7FFFFFFF), 108);
        EXPECT_EQ(n.nSetSize(3), 55);
    }
    EXPECT_EQ(Bytes(m), "0123");
}

TEST(TQBIN, FailedDetachKeepsTheValue)
{
    CLiveBlockCheck check;
    CTQBIN a = Bin("hello");
    CTQBIN b(a);
    CTQBIN c = Bin("ab");
    {
        CFailingAllocator failing(4321);
        EXPECT_EQ(b.nConcat(B("!"), 1), 4321);
        EXPECT_EQ(b.nSetSize(2), 4321);
        EXPECT_EQ(b.__nPrepareModification(5), 4321);
        EXPECT_EQ(b.nAssign(B("x"), 1), 4321);
        b.Tronque(1);
        b.Remplace(0, 1, c);
        EXPECT_EQ(c.nConcat(B("cdef"), 4), 4321);  // failed growth in place
    }
    EXPECT_EQ(b.pGetData(), a.pGetData());
    EXPECT_EQ(Bytes(b), "hello");
    EXPECT_EQ(RefCount(a), 2);
    EXPECT_EQ(Bytes(c), "ab");
}

TEST(TQBIN, ConcatRemplaceAndOwnContent)
{
    CLiveBlockCheck check;
    CTQBIN a = Bin("ab");
    EXPECT_EQ(a.nConcat(a.pGetData(), a.nGetSize()), 0);
    EXPECT_EQ(Bytes(a), "abab");
    EXPECT_EQ(a.nConcat(nullptr, 0), 0);
    EXPECT_EQ(Bytes(a), "abab");
    CTQBIN n;
    EXPECT_EQ(n.nConcat(B("xyz"), 2), 0);
    EXPECT_EQ(Bytes(n), "xy");

    CTQBIN r = Bin("abcdef");
    CTQBIN other(r);
    r.Remplace(1, 2, Bin("XYZ"));
    EXPECT_EQ(Bytes(r), "aXYZdef");
    EXPECT_EQ(Bytes(other), "abcdef");
    r.Remplace(5, 100, CTQBIN());
    EXPECT_EQ(Bytes(r), "aXYZd");
    r.Remplace(5, 1, Bin("!"));
    r.Remplace(-1, 1, Bin("!"));
    r.Remplace(0, -1, Bin("!"));
    EXPECT_EQ(Bytes(r), "aXYZd");
    r.Remplace(1, 0, r);  // itself inserted into itself
    EXPECT_EQ(Bytes(r), "aaXYZdXYZd");

    // nRepete, the value itself included.
    CTQBIN s = Bin("ab");
    CTQBIN t;
    EXPECT_EQ(t.nRepete(s, 3), 0);
    EXPECT_EQ(Bytes(t), "ababab");
    EXPECT_EQ(t.nRepete(s, 0), 0);
    EXPECT_EQ(t.pGetData(), nullptr);
    EXPECT_EQ(t.nRepete(CTQBIN(), 4), 0);
    EXPECT_EQ(t.pGetData(), nullptr);
    EXPECT_EQ(s.nRepete(s, 2), 0);
    EXPECT_EQ(Bytes(s), "abab");
}

TEST(TQBIN, NMilieu)
{
    CLiveBlockCheck check;
    const CTQBIN a = Bin("abcd");
    CTQBIN out = Bin("old");
    EXPECT_EQ(a.nMilieu(&out, 2, -1), 0);
    EXPECT_EQ(Bytes(out), "cd");
    EXPECT_EQ(a.nMilieu(&out, 5, 1), 0);
    EXPECT_EQ(out.pGetData(), nullptr);
    EXPECT_EQ(a.nMilieu(&out, 1, 2), 0);
    EXPECT_EQ(Bytes(out), "bc");
    EXPECT_EQ(a.nMilieu(&out, 1, 10), 0);
    EXPECT_EQ(Bytes(out), "bcd");
    EXPECT_EQ(a.nMilieu(&out, 4, 1), 0);
    EXPECT_EQ(out.pGetData(), nullptr);
    EXPECT_EQ(a.nMilieu(&out, -1, 1), 0);
    EXPECT_EQ(out.pGetData(), nullptr);
    EXPECT_EQ(Bytes(a.clMilieu(1, 1)), "b");
    EXPECT_EQ(a.clMilieu(9, 1).pGetData(), nullptr);

    // The part of a value taken into the value itself.
    CTQBIN b = Bin("abcd");
    EXPECT_EQ(b.nMilieu(&b, 1, 2), 0);
    EXPECT_EQ(Bytes(b), "bc");
}

TEST(TQBIN, ComparisonAndSearch)
{
    CLiveBlockCheck check;
    const CTQBIN ab = Bin("ab");
    const CTQBIN abc = Bin("abc");
    const CTQBIN none;
    EXPECT_EQ(CTQBIN::nCompare(ab, abc), -1);
    EXPECT_EQ(CTQBIN::nCompare(abc, ab), 1);
    EXPECT_EQ(CTQBIN::nCompare(ab, abc, 2), 0);
    EXPECT_EQ(CTQBIN::nCompare(ab, abc, 3), -1);
    EXPECT_EQ(CTQBIN::nCompare(ab, abc, 0), 0);
    EXPECT_EQ(CTQBIN::nCompare(ab, Bin("ab")), 0);
    EXPECT_EQ(CTQBIN::nCompare(none, CTQBIN(B("x"), 0)), 0);
    EXPECT_EQ(CTQBIN::nCompare(none, ab), -1);
    // Bytes compare as unsigned.
    EXPECT_EQ(CTQBIN::nCompare(Bin("\x80"), Bin("\x01\x01")), 1);

    EXPECT_TRUE(CTQBIN::bCommencePar(abc, ab));
    EXPECT_FALSE(CTQBIN::bCommencePar(ab, abc));
    EXPECT_TRUE(CTQBIN::bCommencePar(ab, none));
    EXPECT_TRUE(CTQBIN::bTerminePar(abc, Bin("bc")));
    EXPECT_FALSE(CTQBIN::bTerminePar(abc, Bin("ab")));
    EXPECT_FALSE(CTQBIN::bTerminePar(ab, abc));
    EXPECT_TRUE(CTQBIN::bTerminePar(none, none));
    EXPECT_TRUE(CTQBIN::bContient(abc, Bin("bc")));
    EXPECT_FALSE(CTQBIN::bContient(abc, Bin("ca")));
    EXPECT_FALSE(CTQBIN::bContient(ab, abc));
    EXPECT_TRUE(CTQBIN::bContient(none, none));

    const unsigned char data[] = {'a', 0, 'b', 0, 'b'};
    const CTQBIN z(data, 5);
    EXPECT_EQ(z.nPos(B("\0b"), 2, 0), 1);
    EXPECT_EQ(z.nPos(B("\0b"), 2, 2), 3);
    EXPECT_EQ(z.nPos(B("b"), 1, -1), -1);
    EXPECT_EQ(z.nPos(B("b"), 0, 0), -1);
    EXPECT_EQ(z.nPos(B("bb"), 2, 0), -1);
    EXPECT_EQ(z.nPos(B("b"), 1, 5), -1);
    EXPECT_EQ(none.nPos(B("b"), 1, 0), -1);
}

TEST(TQBIN, Joining)
{
    CLiveBlockCheck check;
    const CTQBIN sep = Bin(",");
    auto join = [&](const char* a, const char* b, int bNoLeadingSep) {
        CTQBIN v = Bin(a);
        const CTQBIN other = Bin(b);
        EXPECT_EQ(v.nConcatSeparateur(&sep, &other, bNoLeadingSep), 0);
        return Bytes(v);
    };
    EXPECT_EQ(join("a,", "b", 0), "a,b");
    EXPECT_EQ(join("a", ",b", 0), "a,b");
    EXPECT_EQ(join("a", "b", 0), "a,b");
    EXPECT_EQ(join("", "b", 0), ",b");
    EXPECT_EQ(join("", "b", 1), "b");
    EXPECT_EQ(join("a", "", 0), "a");

    CTQBIN v = Bin("a");
    EXPECT_EQ(v.nConcatSeparateur(&sep, nullptr, 0), 0);
    EXPECT_EQ(Bytes(v), "a,");
    EXPECT_EQ(v.nConcatSeparateur(nullptr, &v, 0), 0);  // empty separator, itself appended
    EXPECT_EQ(Bytes(v), "a,a,");

    // nConcatInit without flag: a new block marked as the second.
    CTQBIN first = Bin("ab");
    CTQBIN second = Bin("cd");
    Header(second)->dwFlags = 1;
    CTQBIN j1;
    EXPECT_EQ(j1.nConcatInit(&first, &second, 0), 0);
    EXPECT_EQ(Bytes(j1), "abcd");
    EXPECT_EQ(j1.dwGetFlags() & 1u, 1u);
    EXPECT_EQ(Bytes(first), "ab");
    CTQBIN j2;
    EXPECT_EQ(j2.nConcatInit(&first, nullptr, 0), 0);
    EXPECT_EQ(j2.pGetData(), first.pGetData());
    CTQBIN j3;
    CTQBIN empty;
    EXPECT_EQ(j3.nConcatInit(&empty, &second, 0), 0);
    EXPECT_EQ(j3.pGetData(), second.pGetData());

    // With flag 1 an unshared first block moves into the result...
    CTQBIN own = Bin("xy");
    CTQBIN j4;
    EXPECT_EQ(j4.nConcatInit(&own, &own, 1), 0);
    EXPECT_EQ(Bytes(j4), "xyxy");
    EXPECT_EQ(own.pGetData(), nullptr);
    // ...while a shared one is shared once more and stays with first.
    CTQBIN held(first);
    CTQBIN j5;
    EXPECT_EQ(j5.nConcatInit(&first, &second, 1), 0);
    EXPECT_EQ(Bytes(j5), "abcd");
    EXPECT_EQ(Bytes(first), "ab");
    EXPECT_EQ(first.pGetData(), held.pGetData());
}

TEST(TQBIN, Conversions)
{
    CLiveBlockCheck check;
    CTQBIN w;
    EXPECT_EQ(w.nAffecteToUNICODE("\xE9\x80", -1, 1252, 0), 0);
    ASSERT_EQ(w.nGetSize(), 8);
    const wchar_t* pw = reinterpret_cast<const wchar_t*>(w.pGetData());
    EXPECT_EQ(pw[0], L'\u00E9');
    EXPECT_EQ(pw[1], L'\u20AC');

    CTQBIN a;
    EXPECT_EQ(a.nAffecteToANSI(L"\u00E9\u20AC", 2, 1252, 0, nullptr, nullptr, 0), 0);
    EXPECT_EQ(Bytes(a), "\xE9\x80");
    EXPECT_EQ(a.nAffecteToANSI(L"x", 0, 1252, 0, nullptr, nullptr, 0), 0);
    EXPECT_EQ(a.pGetData(), nullptr);

    // Wide text ending with the sentinel.
    const wchar_t wide[] = {L'a', static_cast<wchar_t>(0xFFFFFFFF)};
    CTQBIN s(reinterpret_cast<const unsigned char*>(wide), 8);
    Header(s)->dwFlags = 1;
    EXPECT_EQ(a.nAffecteToANSI(&s, 1252, 0, nullptr, nullptr), 0);
    EXPECT_EQ(Bytes(a), "a\xFF");
    EXPECT_EQ(a.dwGetFlags(), 1u);
    // The same with the value converted in place.
    EXPECT_EQ(w.nAffecteToANSI(&w, 1252, 0, nullptr, nullptr), 0);
    EXPECT_EQ(Bytes(w), "\xE9\x80");
}

TEST(TQBIN, STManipAUB)
{
    CLiveBlockCheck check;
    unsigned size = 99;
    STManipAUB nullWide{nullptr, STMANIP_TYPE_DSTRW};
    const unsigned char* p = nullWide.pbyGetContenu(size);
    EXPECT_EQ(size, 4u);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(std::memcmp(p, "\0\0\0\0", 4), 0);
    EXPECT_EQ(nullWide.nGetLongueur(), 0);
    EXPECT_STREQ(nullWide.pszGetStringW(), L"");
    EXPECT_STREQ(nullWide.pszGetStringA(), "");

    STManipAUB nullText{nullptr, STMANIP_TYPE_DSTRA};
    nullText.pbyGetContenu(size);
    EXPECT_EQ(size, 1u);
    STManipAUB nullBin{nullptr, STMANIP_TYPE_BIN};
    EXPECT_EQ(nullBin.pbyGetContenu(size), nullptr);
    EXPECT_EQ(size, 0u);

    CXYString<char> text("abc", 3);
    STManipAUB t{text.pGetData(), STMANIP_TYPE_DSTRA};
    EXPECT_EQ(t.pbyGetContenu(size), reinterpret_cast<const unsigned char*>(text.pGetData()));
    EXPECT_EQ(size, 4u);
    t.pbyGetContenuUtile(size);
    EXPECT_EQ(size, 3u);
    EXPECT_EQ(t.nGetLongueur(), 3);
    EXPECT_STREQ(t.pszGetStringA(), "abc");

    CXYString<wchar_t> wide(L"xy", 2);
    STManipAUB w{wide.pGetData(), STMANIP_TYPE_DSTRW};
    w.pbyGetContenu(size);
    EXPECT_EQ(size, 12u);
    EXPECT_EQ(w.nGetLongueur(), 2);
    EXPECT_EQ(w.nGetTailleUtile(), 8);
    // Flag bits above the type code do not change the type.
    STManipAUB flagged{wide.pGetData(), STMANIP_TYPE_DSTRW | 0x400};
    EXPECT_EQ(flagged.nGetLongueur(), 2);

    CTQBIN bin = Bin("12345");
    STManipAUB b{bin.pGetData(), STMANIP_TYPE_BIN};
    EXPECT_EQ(b.pbyGetContenu(size), bin.pGetData());
    EXPECT_EQ(size, 5u);
    EXPECT_EQ(b.nGetLongueur(), 5);

    STManipAUB other{bin.pGetData(), 14};
    EXPECT_EQ(other.pbyGetContenu(size), reinterpret_cast<const unsigned char*>(&CBaseStrMem::ChaineVide));
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(other.pbyGetContenuUtile(size), reinterpret_cast<const unsigned char*>(&CBaseStrMem::ChaineVide));
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(other.nGetLongueur(), 0);
    EXPECT_EQ(other.nGetTailleUtile(), 0);
}
