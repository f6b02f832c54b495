#include "common/text/Tableau.h"

#include "access/driver/Interf.h"
#include "tests/support/Counted.h"
#include "tests/support/TestHost.h"

#include <climits>
#include <cstring>
#include <new>
#include <vector>

namespace {

using Vi = std::vector<int>;

// What happened to the counted fakes, in order.
struct CJournal {
    Vi destroyed;       // ids, in destruction order
    Vi countAtDestroy;  // the watched array's count at each destruction
};

// A driver object: the real root, so its rules are those the driver uses.
class CFakeDriverObject : public CInterf {
public:
    CFakeDriverObject(int nId, CJournal* pJournal, const CRefArray<CFakeDriverObject>* pWatched = nullptr)
        : m_nId(nId), m_pJournal(pJournal), m_pWatched(pWatched) {}
    ~CFakeDriverObject() override
    {
        m_pJournal->destroyed.push_back(m_nId);
        if (m_pWatched != nullptr)
            m_pJournal->countAtDestroy.push_back(m_pWatched->nGetNbElement());
    }
    unsigned nCount() const { return m_nRefCount; }
    void SetNoDelete(unsigned bNoDelete) { m_bNoDelete = bNoDelete; }

private:
    int m_nId;
    CJournal* m_pJournal;
    const CRefArray<CFakeDriverObject>* m_pWatched;
};

// A counted type of another subsystem, with its own reference rules.
struct CFakeInfoGroupe {
    unsigned m_nRefCount;
    int m_nId;
    CJournal* m_pJournal;
    ~CFakeInfoGroupe() { m_pJournal->destroyed.push_back(m_nId); }
};

} // namespace

template <>
struct CRefTraits<CFakeInfoGroupe> {
    static void AddRef(CFakeInfoGroupe* p) { p->m_nRefCount++; }
    static void Release(CFakeInfoGroupe* p)
    {
        if (--p->m_nRefCount == 0)
            delete p;
    }
};

namespace {

template <class T>
std::vector<T> Contents(const CTTableau<T>& a)
{
    return std::vector<T>(a.pGetDonnees(), a.pGetDonnees() + a.nGetNbElement());
}

CTTableau<int>* pFill(CTTableau<int>* a, int n, int nFirst = 0)
{
    for (int i = 0; i < n; i++) {
        int v = nFirst + i;
        a->Ajoute(&v);
    }
    return a;
}

struct STTriple { int a, b, c; };

int nFindId(int nCritere, const void* p)
{
    return static_cast<const STTriple*>(p)->a == nCritere ? 0 : 1;
}

} // namespace

TEST(Tableau, GrowthByStep)
{
    // Step 1 grows one by one up to 101, then by 20.
    CTTableau<int> a(1);
    for (int k = 1; k <= 141; k++) {
        a.Ajoute(&k);
        ASSERT_EQ(a.nGetNbAlloue(), k <= 101 ? k : (k <= 121 ? 121 : 141)) << "after " << k << " additions";
    }
    // Elements above 256 bytes keep the step of 1.
    CTTableau<unsigned char[257]> big(1);
    unsigned char b[257] = {};
    for (int k = 1; k <= 110; k++)
        big.Ajoute(&b);
    EXPECT_EQ(big.nGetNbAlloue(), 110);
    // Room for n more: the shortfall rounded up to the grow step.
    CTTableau<int> g(4);
    g.AlloueMemoire(10);
    pFill(&g, 8);
    g.AgranditMemoire(2);
    g.AgranditMemoire(-3);
    EXPECT_EQ(g.nGetNbAlloue(), 10);
    g.AgranditMemoire(11); // shortfall 9 -> 12
    EXPECT_EQ(g.nGetNbAlloue(), 22);
    // A step of 0 still makes room.
    CTTableau<int> z(0);
    EXPECT_EQ(Contents(*pFill(&z, 3, 40)), (Vi{40, 41, 42}));
}

TEST(Tableau, EtendInsertAndSet)
{
    CTTableau<int> e(10);
    int v = 77, f = -1, w = 5;
    e.Etend(7, &v, &f); // capacity: the index + the step
    EXPECT_EQ(e.nGetNbAlloue(), 17);
    e.Etend(3, &w, &f); // inside: overwrite
    e.Etend(8, &w, &f); // at the count: append
    e.Etend(10, &v, &w); // beyond the count, within the capacity
    e.Etend(-1, &v, &f);
    EXPECT_EQ(Contents(e), (Vi{-1, -1, -1, 5, -1, -1, -1, 77, 5, 5, 77}));
    // Value and filler taken from the array while it moves.
    CTTableau<int> s(1);
    pFill(&s, 3, 10);
    s.Etend(6, &s[0], &s[2]);
    EXPECT_EQ(Contents(s), (Vi{10, 11, 12, 12, 12, 12, 10}));
    CTTableau<int> a(1);
    pFill(&a, 3, 1); // 1 2 3, full
    a.Insere(&f, 0);
    a.Insere(&f, 2);
    a.Insere(&f, a.nGetNbElement());
    EXPECT_EQ(Contents(a), (Vi{-1, 1, -1, 2, 3, -1}));
    // Elements of the array itself, when the buffer moves and when the
    // element shifts with the others.
    a.Insere(&a[3], 0);
    a.Ajoute(&a[2]);
    EXPECT_EQ(Contents(a), (Vi{2, -1, 1, -1, 2, 3, -1, 1}));
    a.AlloueMemoire(20);
    a.Insere(&a[5], 1); // 3 moves to slot 6 before the copy
    a.Insere(&a[5], 6); // an element below the insertion point stays
    EXPECT_EQ(Contents(a), (Vi{2, 3, -1, 1, -1, 2, 2, 3, -1, 1}));
    // Indices outside the array change nothing.
    a.Insere(&v, a.nGetNbElement() + 1);
    a.Insere(&v, -1);
    a.SetAt(&v, a.nGetNbElement());
    a.SetAt(&v, -1);
    EXPECT_EQ(Contents(a), (Vi{2, 3, -1, 1, -1, 2, 2, 3, -1, 1}));
    EXPECT_EQ(a.pGetElement(a.nGetNbElement()), nullptr);
    EXPECT_EQ(a.pGetElement(-1), nullptr);
}

TEST(Tableau, RemovalAndCompaction)
{
    CTTableau<int> a(1, 30);
    a.AlloueMemoire(100);
    pFill(&a, 71);
    // 30 free slots afterwards: kept; 31: shrunk to the count.
    a.SupprimeCompacte(0);
    EXPECT_EQ(a.nGetNbAlloue(), 100);
    a.SupprimeCompacte(0);
    a.SupprimeCompacte(69);
    EXPECT_EQ(a.nGetNbAlloue(), 69);
    EXPECT_EQ(a[68], 70);
    CTTableau<int> r(1);
    pFill(&r, 8);
    r.Supprime(2, 3);
    r.Supprime(3, 2);  // the tail
    r.Supprime(2, 2);  // past the count
    r.Supprime(-1, 1);
    r.Supprime(0, -1);
    EXPECT_EQ(Contents(r), (Vi{0, 1, 5}));
    EXPECT_EQ(r.SupprimeDernier(4), 0);
    EXPECT_EQ(r.SupprimeDernier(2), 2);
    EXPECT_EQ(Contents(r), (Vi{0}));
    // Compaction and freeing return the array to no storage.
    r.Compacter();
    EXPECT_EQ(r.nGetNbAlloue(), 1);
    r.SupprimeDernier(1);
    r.Compacter();
    EXPECT_EQ(r.pGetDonnees(), nullptr);
    pFill(&r, 2);
    r.SupprimeToutEtLibere();
    EXPECT_EQ(r.pGetDonnees(), nullptr);
    EXPECT_EQ(Contents(*pFill(&r, 1, 3)), (Vi{3}));
}

TEST(Tableau, Reordering)
{
    CTTableau<STTriple> a(1);
    for (int i = 0; i < 6; i++) {
        STTriple t{i, 10 * i, 100 * i};
        a.Ajoute(&t);
    }
    auto fnOrder = [&]() {
        Vi v;
        for (int i = 0; i < a.nGetNbElement(); i++) {
            EXPECT_EQ(a[i].c, 100 * a[i].a);  // whole elements move
            v.push_back(a[i].a);
        }
        return v;
    };
    a.Deplace(4, 1);
    EXPECT_EQ(fnOrder(), (Vi{0, 4, 1, 2, 3, 5}));
    a.Deplace(0, 5);
    EXPECT_EQ(fnOrder(), (Vi{4, 1, 2, 3, 5, 0}));
    a.Swap(0, 5);
    a.Deplace(6, 0);
    a.Deplace(-1, 2);
    a.Swap(0, 6);
    a.Swap(-1, 0);
    EXPECT_EQ(fnOrder(), (Vi{0, 1, 2, 3, 5, 4}));
    CTTableau<int> p(1);
    p.AlloueMemoire(12);
    pFill(&p, 10);
    _STBlocATrier blocs[] = {{5, 2}, {7, 1}, {2, 3}};
    p.PermuteMultiple(2, blocs, 3);
    EXPECT_EQ(Contents(p), (Vi{0, 1, 5, 6, 7, 2, 3, 4, 8, 9}));
    EXPECT_EQ(p.nGetNbAlloue(), 12);
    // Blocks first, nothing before them, the tail left in place.
    _STBlocATrier debut[] = {{3, 2}, {0, 3}};
    p.PermuteMultiple(0, debut, 2);
    const Vi before = Contents(p);
    EXPECT_EQ(before, (Vi{6, 7, 0, 1, 5, 2, 3, 4, 8, 9}));
    // Blocks outside the array, or repeating elements past the count.
    _STBlocATrier dehors[] = {{8, 3}, {-1, 2}, {0, 6}, {0, 6}};
    p.PermuteMultiple(0, dehors, 1);
    p.PermuteMultiple(0, dehors + 1, 1);
    p.PermuteMultiple(0, dehors + 2, 2);
    p.PermuteMultiple(11, blocs, 3);
    p.PermuteMultiple(0, nullptr, 2);
    EXPECT_EQ(Contents(p), before);
}

TEST(Tableau, Transfers)
{
    CTTableau<int> src(5);
    pFill(&src, 7, 100);
    CTTableau<int> dup(1);
    pFill(&dup, 2);
    dup._Duplique(src);
    dup._Duplique(dup);
    EXPECT_EQ(Contents(dup), Contents(src));
    // Elements only: the step and threshold stay.
    CTTableau<int> rd(3, 40);
    rd._RecupereDonnees(&dup);
    rd._RecupereDonnees(&rd);
    EXPECT_EQ(Contents(rd), Contents(src));
    EXPECT_EQ(rd.nGetPasAgrandissement(), 3);
    EXPECT_EQ(dup.pGetDonnees(), nullptr);
    // The whole state.
    CTTableau<int> all(1, 30);
    pFill(&all, 1);
    all.Recupere(&src);
    all.Recupere(&all);
    EXPECT_EQ(all.nGetPasAgrandissement(), 5);
    EXPECT_EQ(Contents(all), Contents(rd));
    EXPECT_EQ(src.pGetDonnees(), nullptr);
    CTTableau<int> other(9, 31);
    pFill(&other, 2, 50);
    EchangeTableau(&all, &other);
    EXPECT_EQ(Contents(all), (Vi{50, 51}));
    EXPECT_EQ(all.nGetSeuilCompactage(), 31);
    // Elements of another size are not mixed in.
    CTTableau<STTriple> triples(1);
    STTriple t{1, 2, 3};
    triples.Ajoute(&t);
    all._Duplique(triples);
    all._RecupereDonnees(&triples);
    EXPECT_EQ(Contents(all), (Vi{50, 51}));
    EXPECT_EQ(triples.nGetNbElement(), 1);
    // Over arrays of pointers only: no element of another array is read as one.
    CTTableauPtr<STTriple> ptrs(1);
    STTriple t2{2, 0, 0}, t2b{2, 1, 0};
    for (STTriple* p : {&t, &t2, &t2b})
        ptrs.Ajoute(&p);
    EXPECT_EQ(ptrs.nRechercheLineaireCriterePointeur(2, nFindId), 1);
    EXPECT_EQ(ptrs.pRechercheLineaireCriterePointeur(3, nFindId), nullptr);
    EXPECT_EQ(triples.nRechercheLineaireCriterePointeur(1, nFindId), -1);
}

TEST(Tableau, Initialise)
{
    CTTableau<int> a(4);
    a.Initialise(7, 5);
    EXPECT_EQ(Contents(a), Vi(5, 7));
    // Over an array holding storage, from one of its own elements.
    a.Initialise(a[2], 3);
    EXPECT_EQ(Contents(a), Vi(3, 7));
    EXPECT_EQ(a.nGetNbAlloue(), 3);
    a.Initialise(1, 0);
    EXPECT_EQ(a.pGetDonnees(), nullptr);
    // An earlier buffer is given back: 5 GB would not fit a 32-bit process.
    struct STMega { unsigned char b[1 << 20]; };
    static STMega s_mega;
    s_mega.b[0] = 0x5A;
    CTTableau<STMega> big(1);
    for (int i = 0; i < 40; i++)
        ASSERT_NO_THROW(big.Initialise(s_mega, 128)) << "pass " << i;
    EXPECT_EQ(big[127].b[0], 0x5A);
}

TEST(Tableau, OversizeRefused)
{
    CTTableau<long long> a(1);
    for (long long v = 1; v <= 3; v++)
        a.Ajoute(&v);
    long long* pData = a.pGetDonnees();
    auto fnIntact = [&]() {
        EXPECT_EQ(a.nGetNbAlloue(), 3);
        EXPECT_EQ(a.nGetPasAgrandissement(), 1);
        EXPECT_EQ(a.pGetDonnees(), pData);
        EXPECT_EQ(Contents(a), (std::vector<long long>{1, 2, 3}));
    };
    long long v = 9;
    EXPECT_THROW(a.AlloueMemoire(0x10000000), std::bad_alloc); // 2 GB of 8-byte elements
    EXPECT_THROW(a.AgranditMemoire(INT_MAX), std::bad_alloc); // count + n wraps in 32 bits
    EXPECT_THROW(a.Etend(INT_MAX - 1, &v, &v), std::bad_alloc);
    EXPECT_THROW(a.Initialise(v, 0x10000000), std::bad_alloc);
    fnIntact();
    a.SetPasAgrandissement(INT_MAX);
    EXPECT_THROW(a.Ajoute(&v), std::bad_alloc);
    a.SetPasAgrandissement(1);
    fnIntact();
}

TEST(RefArray, DriverObjectProtocol)
{
    static_assert(sizeof(CInterf) == 12, "vtable, count, flag");
    CJournal j;
    CRefArray<CFakeDriverObject> arr(1);
    auto* p = new CFakeDriverObject(1, &j);
    arr.Ajoute(p);
    arr.Ajoute(p);
    arr.Ajoute(nullptr);
    EXPECT_EQ(p->nCount(), 2u);
    EXPECT_EQ(arr.Supprime(2), 1);
    EXPECT_EQ(arr.Supprime(1), 1);
    EXPECT_EQ(p->nCount(), 1u);
    // Nothing at a count of 0.
    auto* q = new CFakeDriverObject(2, &j);
    arr._Release(q);
    EXPECT_EQ(q->nCount(), 0u);
    EXPECT_TRUE(j.destroyed.empty());
    delete q;
}

TEST(RefArray, DestructionOrder)
{
    CJournal j;
    auto* held = new CFakeDriverObject(9, &j);
    held->SetNoDelete(1);
    {
        CRefArray<CFakeDriverObject> arr(10);
        auto* twice = new CFakeDriverObject(4, &j, &arr);
        arr.Ajoute(new CFakeDriverObject(1, &j, &arr));
        arr.Ajoute(twice);
        arr.Ajoute(held);
        arr.Ajoute(new CFakeDriverObject(2, &j, &arr));
        arr.Ajoute(twice);
        arr.Ajoute(new CFakeDriverObject(3, &j, &arr));
    }
    // Last to first, each while the array still held it and those below; the
    // doubly stored object goes when its count drops to 0.
    EXPECT_EQ(j.destroyed, (Vi{3, 2, 4, 1}));
    EXPECT_EQ(j.countAtDestroy, (Vi{6, 4, 2, 1}));
    EXPECT_EQ(held->nCount(), 0u);
    delete held;
}

TEST(RefArray, ReplaceInsertAndBadIndex)
{
    CJournal j;
    CRefArray<CFakeDriverObject> arr(1);
    auto* a = new CFakeDriverObject(1, &j);
    auto* b = new CFakeDriverObject(2, &j);
    arr.Ajoute(a);
    EXPECT_EQ(arr.Insere(b, 0), 1);
    // Replacing an object by itself keeps it alive.
    EXPECT_EQ(arr.SetAt(b, 0), 1);
    EXPECT_EQ(b->nCount(), 1u);
    EXPECT_EQ(arr.SetAt(new CFakeDriverObject(3, &j), 0), 1);
    EXPECT_EQ(j.destroyed, (Vi{2}));
    // Bad indices take and drop nothing; a growth that fails takes no reference.
    auto* d = new CFakeDriverObject(4, &j);
    EXPECT_EQ(arr.Insere(d, 3), 0);
    EXPECT_EQ(arr.SetAt(d, 2), 0);
    EXPECT_EQ(arr.Supprime(-1), 0);
    EXPECT_EQ(arr[2], nullptr);
    arr.SetPasAgrandissement(INT_MAX);
    EXPECT_THROW(arr.Ajoute(d), std::bad_alloc);
    EXPECT_THROW(arr.Insere(d, 0), std::bad_alloc);
    EXPECT_EQ(d->nCount(), 0u);
    EXPECT_EQ(a->nCount(), 1u);
    delete d;
    arr.SupprimeTout();
    EXPECT_EQ(j.destroyed, (Vi{2, 4, 1, 3}));
}

TEST(RefArray, OtherCountedTypes)
{
    // A type with its own reference rules is held through them.
    CJournal g;
    auto* g2 = new CFakeInfoGroupe{0, 2, &g};
    {
        CRefArray<CFakeInfoGroupe> arr(1);
        arr.Ajoute(new CFakeInfoGroupe{0, 1, &g});
        arr.Ajoute(g2);
        arr.Ajoute(g2);
        EXPECT_EQ(g2->m_nRefCount, 2u);
        EXPECT_EQ(arr.Supprime(1), 1);
        EXPECT_TRUE(g.destroyed.empty());
    }
    EXPECT_EQ(g.destroyed, (Vi{2, 1}));
}

TEST(NARefArray, SharedLifetime)
{
    CJournal j;
    auto* arr = new CNARefArray<CFakeDriverObject>(20);
    EXPECT_EQ(arr->m_nRefCount, 0);
    auto* survivor = new CFakeDriverObject(3, &j);
    survivor->AddRef();
    arr->Ajoute(new CFakeDriverObject(1, &j));
    arr->Ajoute(survivor);
    arr->Ajoute(new CFakeDriverObject(2, &j));
    arr->m_nRefCount += 2;
    EXPECT_EQ(arr->dwRelease(), 1u);
    EXPECT_TRUE(j.destroyed.empty());
    EXPECT_EQ(arr->dwRelease(), 0u);
    EXPECT_EQ(j.destroyed, (Vi{2, 1}));
    EXPECT_EQ(survivor->nRelease(), 0u);
    // Deleted through its shared-object root, never raised; shared objects
    // of the common library as elements, one with another owner.
    static_assert(sizeof(CZTUnknown) == 8, "vtable, count");
    int nDestroyed = 0;
    auto* kept = new CCounted(&nDestroyed);
    kept->m_nRefCount++;
    auto* counted = new CNARefArray<CCounted>(1);
    counted->Ajoute(new CCounted(&nDestroyed));
    counted->Ajoute(kept);
    counted->Ajoute(new CCounted(&nDestroyed));
    CZTUnknown* pRoot = counted;
    delete pRoot;
    EXPECT_EQ(nDestroyed, 2);
    EXPECT_EQ(kept->dwRelease(), 0u);
}

#if defined(ZT_CHECKED)
// The checked builds stop at an index outside the count; the product reads
// no check at all.
TEST(TableauDeathTest, IndexOutsideTheCountStopsTheCheckedBuild)
{
    CTTableau<int> tab;
    const int n = 7;
    tab.Ajoute(&n);
    EXPECT_EQ(tab[0], 7);
    EXPECT_DEATH(static_cast<void>(tab[1]), "invariant broken: i < m_nNbElement");
    EXPECT_DEATH(static_cast<void>(tab[-1]), "invariant broken: i >= 0");
}
#endif
