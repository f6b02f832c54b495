#include "common/text/TQBIN.h"

#include "tests/support/HostBlocks.h"

#include <cstring>
#include <functional>
#include <string>

namespace {

const unsigned char* B(const char* s) { return reinterpret_cast<const unsigned char*>(s); }
CTQBIN Bin(const char* s) { return CTQBIN(B(s), static_cast<int>(std::strlen(s))); }

std::string Bytes(const CTQBIN& b)
{
    return std::string(reinterpret_cast<const char*>(b.pGetData()), static_cast<size_t>(b.nGetSize()));
}

// A value on an allocated block holding no bytes.
CTQBIN AllocatedEmpty()
{
    CTQBIN b;
    b.nSetMemorySize(4);
    return b;
}

// Every test gives back the host blocks it took.
class TQBIN : public testing::Test {
    CLiveBlockCheck m_check;
};

}  // namespace

TEST_F(TQBIN, SharingAndCopyOnWrite)
{
    CTQBIN a = Bin("abcd");
    Header(a)->dwFlags = 0x101;
    CTQBIN b(a);
    EXPECT_EQ(RefCount(a), 2);
    // Tronque on one copy leaves the other and its flags unchanged.
    b.Tronque(2);
    EXPECT_EQ(Bytes(b), "ab");
    EXPECT_EQ(Bytes(a), "abcd");
    EXPECT_EQ(a.dwGetFlags(), 0x101u);
    // Unshared: in place, mark cleared; Tronque(0) keeps an allocated value.
    a.Tronque(3);
    EXPECT_EQ(Bytes(a), "abc");
    EXPECT_EQ(a.dwGetFlags(), 0x100u);
    a.Tronque(0);
    EXPECT_NE(a.pGetData(), nullptr);
    // Appending to a shared block: a copy with the old flags word.
    CTQBIN d = Bin("xy");
    Header(d)->dwFlags = 0x101;
    CTQBIN e(d);
    EXPECT_EQ(e.nConcat(B("z"), 1), 0);
    EXPECT_EQ(Bytes(e), "xyz");
    EXPECT_EQ(e.dwGetFlags(), 0x101u);
    EXPECT_EQ(Bytes(d), "xy");
    // A size change on a shared block does not reach the other holder.
    CTQBIN g(d);
    g.SetUtilSize(1);
    EXPECT_EQ(Bytes(g), "x");
    EXPECT_EQ(Bytes(d), "xy");
}

TEST_F(TQBIN, AssignmentAndTake)
{
    CTQBIN a = Bin("abc");
    a = a;
    a.Assign(&a, 2);
    EXPECT_EQ(Bytes(a), "ab");
    EXPECT_EQ(RefCount(a), 1);
    // nAssign with its own bytes as the source.
    CTQBIN c = Bin("12345");
    EXPECT_EQ(c.nAssign(c.pGetData() + 2, 3), 0);
    EXPECT_EQ(Bytes(c), "345");
    // Take: the reference moves, the other is left empty.
    CTQBIN e = Bin("take");
    void* p = e.pGetData();
    CTQBIN f = Bin("old");
    f.Take(&e);
    EXPECT_EQ(f.pGetData(), p);
    EXPECT_EQ(e.pGetData(), nullptr);
    f.Take(&f);
    EXPECT_EQ(Bytes(f), "take");
}

TEST_F(TQBIN, SizesAndLimits)
{
    CTQBIN m;
    EXPECT_EQ(m.nSetMemorySize(10), 0);
    EXPECT_GE(m.nGetMemorySize(), 10);
    // SetUtilSize beyond the room does nothing.
    std::memcpy(m.pGetData(), "0123456789", 10);
    m.SetUtilSize(4);
    m.SetUtilSize(m.nGetMemorySize() + 1);
    EXPECT_EQ(Bytes(m), "0123");
    // Over the limits: 108 before the allocator is asked (it would say 55).
    {
        CFailingAllocator failing(55);
        EXPECT_EQ(m.nConcat(B("x"), 0x7FFFFFF0), 108);
        CTQBIN n;
        EXPECT_EQ(n.nRepete(m, 0x7FFFFFFF), 108);
        EXPECT_EQ(n.nSetSize(3), 55);
    }
    EXPECT_EQ(Bytes(m), "0123");
    // A failed detach keeps the shared value.
    CTQBIN a = Bin("hello");
    CTQBIN b(a);
    CTQBIN c = Bin("ab");
    {
        CFailingAllocator failing(4321);
        EXPECT_EQ(b.nConcat(B("!"), 1), 4321);
        b.Tronque(1);
        EXPECT_EQ(c.nConcat(B("cdef"), 4), 4321);  // failed growth in place
    }
    EXPECT_EQ(b.pGetData(), a.pGetData());
    EXPECT_EQ(Bytes(b), "hello");
    EXPECT_EQ(Bytes(c), "ab");
}

TEST_F(TQBIN, ConcatRemplaceMilieuAndOwnContent)
{
    CTQBIN a = Bin("ab");
    EXPECT_EQ(a.nConcat(a.pGetData(), a.nGetSize()), 0);
    EXPECT_EQ(Bytes(a), "abab");
    CTQBIN r = Bin("abcdef");
    CTQBIN other(r);
    r.Remplace(1, 2, Bin("XYZ"));
    EXPECT_EQ(Bytes(r), "aXYZdef");
    EXPECT_EQ(Bytes(other), "abcdef");
    r.Remplace(5, 100, CTQBIN());
    r.Remplace(-1, 1, Bin("!"));
    EXPECT_EQ(Bytes(r), "aXYZd");
    r.Remplace(1, 0, r);  // itself inserted into itself
    EXPECT_EQ(Bytes(r), "aaXYZdXYZd");
    CTQBIN s = Bin("ab");
    EXPECT_EQ(s.nRepete(s, 3), 0);
    EXPECT_EQ(Bytes(s), "ababab");
    const CTQBIN m = Bin("abcd");
    CTQBIN out = Bin("old");
    const struct {
        int start, n;
        const char* expected;
    } rows[] = {{2, -1, "cd"}, {1, 10, "bcd"}, {-1, 1, ""}};
    for (const auto& row : rows) {
        EXPECT_EQ(m.nMilieu(&out, row.start, row.n), 0);
        EXPECT_EQ(Bytes(out), row.expected) << row.start << " " << row.n;
    }
    EXPECT_EQ(out.pGetData(), nullptr);
    // The part of a value taken into the value itself.
    CTQBIN b = Bin("abcd");
    EXPECT_EQ(b.nMilieu(&b, 1, 2), 0);
    EXPECT_EQ(Bytes(b), "bc");
}

TEST_F(TQBIN, ComparisonAndSearch)
{
    const CTQBIN ab = Bin("ab");
    const CTQBIN abc = Bin("abc");
    const CTQBIN none;
    EXPECT_EQ(CTQBIN::nCompare(ab, abc), -1);
    EXPECT_EQ(CTQBIN::nCompare(ab, abc, 2), 0);
    // Bytes compare as unsigned.
    EXPECT_EQ(CTQBIN::nCompare(Bin("\x80"), Bin("\x01\x01")), 1);
    EXPECT_FALSE(CTQBIN::bCommencePar(ab, abc));
    EXPECT_TRUE(CTQBIN::bTerminePar(abc, Bin("bc")));
    EXPECT_TRUE(CTQBIN::bContient(none, none));
    const unsigned char data[] = {'a', 0, 'b', 0, 'b'};
    const CTQBIN z(data, 5);
    EXPECT_EQ(z.nPos(B("\0b"), 2, 2), 3);
    EXPECT_EQ(z.nPos(B("b"), 1, 5), -1);
    EXPECT_EQ(none.nPos(B("b"), 1, 0), -1);
}

TEST_F(TQBIN, Joining)
{
    const CTQBIN sep = Bin(",");
    const struct {
        const char *a, *b;
        int bNoLeadingSep;
        const char* expected;
    } rows[] = {{"a,", "b", 0, "a,b"}, {"a", ",b", 0, "a,b"}, {"", "b", 0, ",b"}, {"", "b", 1, "b"}};
    for (const auto& r : rows) {
        CTQBIN v = Bin(r.a);
        const CTQBIN other = Bin(r.b);
        EXPECT_EQ(v.nConcatSeparateur(&sep, &other, r.bNoLeadingSep), 0);
        EXPECT_EQ(Bytes(v), r.expected) << r.a << " + " << r.b;
    }
    CTQBIN v = Bin("a,");
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
    CTQBIN j2;
    EXPECT_EQ(j2.nConcatInit(&first, nullptr, 0), 0);
    EXPECT_EQ(RefCount(first), 2);
    // With flag 1 an unshared first block moves into the result...
    CTQBIN own = Bin("xy");
    CTQBIN j4;
    EXPECT_EQ(j4.nConcatInit(&own, &own, 1), 0);
    EXPECT_EQ(Bytes(j4), "xyxy");
    EXPECT_EQ(own.pGetData(), nullptr);
    // ...while a shared one is shared once more and stays with first.
    CTQBIN j5;
    EXPECT_EQ(j5.nConcatInit(&first, &second, 1), 0);
    EXPECT_EQ(Bytes(j5), "abcd");
    EXPECT_EQ(Bytes(first), "ab");
}

// Empty, allocated empty and shared empty operands, each case in a child.
TEST_F(TQBIN, EmptyOperands)
{
    const SChildCase cases[] = {
        {"allocated empty joined to itself with a separator",
         [] {
             CTQBIN a = AllocatedEmpty();
             const CTQBIN none;
             const int n = a.nConcatSeparateur(&none, &a, 0);
             return std::make_pair(n, a.nGetSize());
         }},
        {"shared allocated empty grown, cut and resized",
         [] {
             const CTQBIN a = AllocatedEmpty();
             CTQBIN b(a);
             const int n1 = b.nConcat(b.pGetData(), 0);
             b.Remplace(0, 0, b);
             b.Tronque(0);
             CTQBIN c(a);
             const int n2 = c.nSetSize(0);
             c.SetUtilSize(0);
             CTQBIN d(a);
             const int n3 = d.nSetMemorySize(0);
             return std::make_pair(n1 + n2 + n3, b.nGetSize() + c.nGetSize() + d.nGetSize());
         }},
        {"shared allocated empty repeated, assigned and taken apart",
         [] {
             const CTQBIN a = AllocatedEmpty();
             CTQBIN b(a);
             const int n1 = b.nRepete(b, 3);
             CTQBIN c(a);
             const int n2 = c.nAssign(c.pGetData(), 0);
             CTQBIN d(a);
             d.Assign(&d, 0);
             CTQBIN e(a);
             const int n3 = e.nMilieu(&e, 0, -1);
             return std::make_pair(n1 + n2 + n3, b.nGetSize() + c.nGetSize() + d.nGetSize() + e.nGetSize());
         }},
        {"allocated empty values joined into a new value",
         [] {
             CTQBIN a = AllocatedEmpty();
             CTQBIN b(a);
             CTQBIN j1, j2;
             const int n1 = j1.nConcatInit(&a, &a, 1);
             const int n2 = j2.nConcatInit(&b, &a, 0);
             return std::make_pair(n1 + n2, j1.nGetSize() + j2.nGetSize());
         }},
    };
    for (const SChildCase& c : cases)
        ExpectInChild(c, "status=0 size=0");
}

TEST_F(TQBIN, JoiningWithItself)
{
    const CTQBIN sep = Bin(",");
    // The value itself as the other value: read before it grows.
    CTQBIN v = Bin("b");
    EXPECT_EQ(v.nConcatSeparateur(&sep, &v, 0), 0);
    EXPECT_EQ(Bytes(v), "b,b");
    // The same on a shared block, through this handle and through the other.
    CTQBIN s = Bin("b");
    CTQBIN holder(s);
    EXPECT_EQ(s.nConcatSeparateur(&sep, &s, 0), 0);
    EXPECT_EQ(Bytes(s), "b,b");
    EXPECT_EQ(Bytes(holder), "b");
    CTQBIN t(holder);
    EXPECT_EQ(t.nConcatSeparateur(&sep, &holder, 0), 0);
    EXPECT_EQ(Bytes(t), "b,b");
    EXPECT_EQ(Bytes(holder), "b");
    // The value as its own separator: it ends with itself.
    CTQBIN w = Bin("ab");
    const CTQBIN x = Bin("x");
    EXPECT_EQ(w.nConcatSeparateur(&w, &x, 0), 0);
    EXPECT_EQ(Bytes(w), "abx");
}

TEST_F(TQBIN, FailedJoinsKeepTheValues)
{
    const CTQBIN sep = Bin(",");
    const CTQBIN d = Bin("d");
    CTQBIN v = Bin("abc");  // no spare room: any join must grow it
    void* p = v.pGetData();
    {
        CFailingAllocator failing(4321);
        EXPECT_EQ(v.nConcatSeparateur(&sep, &d, 0), 4321);
    }
    EXPECT_EQ(Bytes(v), "abc");
    EXPECT_EQ(v.pGetData(), p);
    // Separator and value take one growth: a second call would have failed.
    {
        CFailingAllocator failing(4321, 1);
        EXPECT_EQ(v.nConcatSeparateur(&sep, &d, 0), 0);
    }
    EXPECT_EQ(Bytes(v), "abc,d");
    // A failed join into a new value gives the moved block back to first.
    CTQBIN first = Bin("ab");
    void* pFirst = first.pGetData();
    CTQBIN joined;
    {
        CFailingAllocator failing(4321);
        EXPECT_EQ(joined.nConcatInit(&first, &d, 1), 4321);
    }
    EXPECT_EQ(joined.pGetData(), nullptr);
    EXPECT_EQ(first.pGetData(), pFirst);
    EXPECT_EQ(Bytes(first), "ab");
    // Repeating, taking a part and assigning a cut copy build aside.
    CTQBIN r = Bin("xy");
    CTQBIN out = Bin("old");
    CTQBIN shared = Bin("shared");
    CTQBIN sharer(shared);
    CTQBIN a = Bin("keep");
    {
        CFailingAllocator failing(4321);
        EXPECT_EQ(r.nRepete(r, 2), 4321);
        EXPECT_EQ(r.nMilieu(&out, 0, 1), 4321);
        a.Assign(&shared, 2);
    }
    EXPECT_EQ(Bytes(r), "xy");
    EXPECT_EQ(Bytes(out), "old");
    EXPECT_EQ(Bytes(a), "keep");
}

TEST_F(TQBIN, EveryFailedAllocationKeepsTheValue)
{
    // Each host allocation of an edit fails in turn; the fixture sees every
    // block come back.
    const std::string strTail(100, 't');
    const CTQBIN sep = Bin(",");
    const CTQBIN d = Bin("d");
    const struct {
        const char* pszName;
        std::function<int(CTQBIN&)> edit;
        std::string strExpected;
        bool bGrowsAlone;  // whether a block held alone is grown or replaced
    } edits[] = {
        {"nAssign longer", [&](CTQBIN& v) { return v.nAssign(B(strTail.c_str()), 100); }, strTail, true},
        {"nAssign own bytes", [](CTQBIN& v) { return v.nAssign(v.pGetData() + 1, 3); }, "bcd", false},
        {"nConcat", [&](CTQBIN& v) { return v.nConcat(B(strTail.c_str()), 100); }, "abcdef" + strTail, true},
        {"nConcat own bytes", [](CTQBIN& v) { return v.nConcat(v.pGetData() + 2, 3); }, "abcdefcde", true},
        {"nConcatSeparateur", [&](CTQBIN& v) { return v.nConcatSeparateur(&sep, &d, 0); }, "abcdef,d", true},
        {"nConcatSeparateur itself", [&](CTQBIN& v) { return v.nConcatSeparateur(&sep, &v, 0); },
         "abcdef,abcdef", true},
        {"nRepete", [](CTQBIN& v) { return v.nRepete(v, 2); }, "abcdefabcdef", true},
        {"nMilieu", [](CTQBIN& v) { return v.nMilieu(&v, 1, 2); }, "bc", true},
        {"Remplace by itself", [](CTQBIN& v) { return v.Remplace(1, 1, v), kNoStatus; }, "aabcdefcdef", true},
        {"nSetSize", [](CTQBIN& v) { return v.nSetSize(3); }, "abc", false},
        {"Tronque", [](CTQBIN& v) { return v.Tronque(2), kNoStatus; }, "ab", false},
    };
    for (const auto& e : edits)
        for (const bool bShared : {false, true}) {
            SCOPED_TRACE(std::string(e.pszName) + (bShared ? ", shared" : ", held alone"));
            const int n =
                nEditUnderFailingAllocator([] { return Bin("abcdef"); }, Bytes, e.edit, e.strExpected, bShared);
            if (bShared || e.bGrowsAlone) {
                EXPECT_GE(n, 1) << "the edit allocates";
            } else {
                EXPECT_EQ(n, 0) << "the edit works in place";
            }
        }
}

TEST_F(TQBIN, Conversions)
{
    CTQBIN w;
    EXPECT_EQ(w.nAffecteToUNICODE("\xE9\x80", -1, 1252, 0), 0);
    const wchar_t wexpected[] = {L'\u00E9', L'\u20AC'};
    EXPECT_EQ(Bytes(w), std::string(reinterpret_cast<const char*>(wexpected), 8));
    // Wide text ending with the sentinel.
    CTQBIN a;
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

TEST_F(TQBIN, STManipAUB)
{
    // A null value reads as the empty value of its type.
    unsigned size = 99;
    STManipAUB nullWide{nullptr, STMANIP_TYPE_DSTRW};
    const unsigned char* p = nullWide.pbyGetContenu(size);
    EXPECT_EQ(size, 4u);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(*reinterpret_cast<const wchar_t*>(p), 0);
    // Contents count the terminator; useful sizes do not.
    CXYString<char> text("abc", 3);
    STManipAUB t{text.pGetData(), STMANIP_TYPE_DSTRA};
    EXPECT_EQ(t.pbyGetContenu(size), reinterpret_cast<const unsigned char*>(text.pGetData()));
    EXPECT_EQ(size, 4u);
    CXYString<wchar_t> wide(L"xy", 2);
    STManipAUB w{wide.pGetData(), STMANIP_TYPE_DSTRW | 0x400};  // flag bits above the type
    w.pbyGetContenu(size);
    EXPECT_EQ(size, 12u);
    EXPECT_EQ(w.nGetLongueur(), 2);
    EXPECT_EQ(w.nGetTailleUtile(), 8);
    CTQBIN bin = Bin("12345");
    STManipAUB b{bin.pGetData(), STMANIP_TYPE_BIN};
    EXPECT_EQ(b.pbyGetContenu(size), bin.pGetData());
    EXPECT_EQ(size, 5u);
    STManipAUB other{bin.pGetData(), 14};
    EXPECT_EQ(other.pbyGetContenu(size), reinterpret_cast<const unsigned char*>(&CBaseStrMem::ChaineVide));
    EXPECT_EQ(size, 0u);
}
