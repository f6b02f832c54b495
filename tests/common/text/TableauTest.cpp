#include "common/text/Tableau.h"

#include "tests/support/TestHost.h"

#include <climits>
#include <cstring>
#include <new>
#include <vector>

namespace {

// What happened to the counted fakes, in order.
struct CJournal {
    int nAddRef = 0;
    int nRelease = 0;
    std::vector<int> destroyed;       // ids, in destruction order
    std::vector<int> countAtDestroy;  // the watched array's count at each destruction
};

// A driver object: the real root, so its rules are those the driver uses.
class CFakeDriverObject : public CInterf {
public:
    CFakeDriverObject(int nId, CJournal* pJournal, const CRefArray<CFakeDriverObject>* pWatched = nullptr)
        : m_nId(nId), m_pJournal(pJournal), m_pWatched(pWatched)
    {
    }
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

// A record memo: a shared object of the common library.
class CFakeRecordMemo : public CZTUnknown {
public:
    CFakeRecordMemo(int nId, CJournal* pJournal) : m_nId(nId), m_pJournal(pJournal) {}
    ~CFakeRecordMemo() override { m_pJournal->destroyed.push_back(m_nId); }
    unsigned int dwRelease() override
    {
        m_pJournal->nRelease++;
        return CZTUnknown::dwRelease();
    }

private:
    int m_nId;
    CJournal* m_pJournal;
};

// A GROUP BY entry: seven accessors, then the virtual destructor; the count
// follows the table of operations.
class CFakeInfoGroupe {
public:
    CFakeInfoGroupe(int nId, CJournal* pJournal) : m_nRefCount(0), m_nId(nId), m_pJournal(pJournal) {}
    virtual int nGet0() const { return 0; }
    virtual int nGet1() const { return 1; }
    virtual int nGet2() const { return 2; }
    virtual int nGet3() const { return 3; }
    virtual int nGet4() const { return 4; }
    virtual int nGet5() const { return 5; }
    virtual int nGet6() const { return 6; }
    virtual ~CFakeInfoGroupe() { m_pJournal->destroyed.push_back(m_nId); }

    unsigned m_nRefCount;
    int m_nId;
    CJournal* m_pJournal;
};

// An item description: the host interface's external reference operations
// over a count and a hold flag.
class CFakeItemDescription {
public:
    CFakeItemDescription(int nId, CJournal* pJournal) : m_nRefCount(0), m_bHold(0), m_nId(nId), m_pJournal(pJournal) {}
    virtual void ExternalAddRef()
    {
        m_pJournal->nAddRef++;
        m_nRefCount++;
    }
    virtual int nExternalRelease()
    {
        m_pJournal->nRelease++;
        if (--m_nRefCount == 0 && m_bHold == 0) {
            delete this;
            return 0;
        }
        return static_cast<int>(m_nRefCount);
    }
    virtual ~CFakeItemDescription() { m_pJournal->destroyed.push_back(m_nId); }

    unsigned m_nRefCount;
    unsigned m_bHold;
    int m_nId;
    CJournal* m_pJournal;
};

} // namespace

template <>
struct CRefTraits<CFakeInfoGroupe> {
    static void AddRef(CFakeInfoGroupe* p)
    {
        p->m_pJournal->nAddRef++;
        p->m_nRefCount++;
    }
    static void Release(CFakeInfoGroupe* p)
    {
        p->m_pJournal->nRelease++;
        if (--p->m_nRefCount == 0)
            delete p;
    }
};

template <>
struct CRefTraits<CFakeItemDescription> {
    static void AddRef(CFakeItemDescription* p) { p->ExternalAddRef(); }
    static void Release(CFakeItemDescription* p) { p->nExternalRelease(); }
};

namespace {

template <class T>
std::vector<T> Contents(const CTTableau<T>& a)
{
    std::vector<T> v;
    for (int i = 0; i < a.nGetNbElement(); i++)
        v.push_back(a[i]);
    return v;
}

CTTableau<int>* pFill(CTTableau<int>* a, int n, int nFirst = 0)
{
    for (int i = 0; i < n; i++) {
        int v = nFirst + i;
        a->Ajoute(&v);
    }
    return a;
}

struct STBig {
    unsigned char b[300];
};

struct STTriple {
    int a, b, c;
};

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
        int nExpected = k <= 101 ? k : (k <= 121 ? 121 : 141);
        ASSERT_EQ(a.nGetNbAlloue(), nExpected) << "after " << k << " additions";
    }
    for (int k = 0; k < 141; k++)
        ASSERT_EQ(a[k], k + 1);

    // Large elements keep the step of 1.
    CTTableau<STBig> big(1);
    STBig b{};
    for (int k = 1; k <= 130; k++) {
        b.b[0] = static_cast<unsigned char>(k);
        big.Ajoute(&b);
        ASSERT_EQ(big.nGetNbAlloue(), k);
    }
    EXPECT_EQ(big[129].b[0], 130);

    // A temporary step of 1 past 100 also becomes 20.
    CTTableau<int> t(1);
    t.AlloueMemoire(101);
    EXPECT_EQ(t.nGetNbAlloue(), 101);
    t.AlloueMemoire(102);
    EXPECT_EQ(t.nGetNbAlloue(), 121);
    t.AlloueMemoire(50);
    EXPECT_EQ(t.nGetNbAlloue(), 121);
    EXPECT_EQ(t.nGetPasAgrandissement(), 1);

    // Room for n more: the shortfall rounded up to the grow step.
    CTTableau<int> g(4);
    g.AlloueMemoire(10);
    pFill(&g, 8);
    g.AgranditMemoire(2);
    EXPECT_EQ(g.nGetNbAlloue(), 10);
    g.AgranditMemoire(0);
    g.AgranditMemoire(-3);
    EXPECT_EQ(g.nGetNbAlloue(), 10);
    g.AgranditMemoire(5);
    EXPECT_EQ(g.nGetNbAlloue(), 14);
    g.AgranditMemoire(11); // shortfall 5 -> 8
    EXPECT_EQ(g.nGetNbAlloue(), 22);
    EXPECT_EQ(g.nGetPasAgrandissement(), 4);
    EXPECT_EQ(g.nGetNbElement(), 8);

    // A step of 0 still makes room.
    CTTableau<int> z(0);
    pFill(&z, 3, 40);
    EXPECT_EQ(Contents(z), (std::vector<int>{40, 41, 42}));
}

TEST(Tableau, Etend)
{
    CTTableau<int> a(10);
    int v = 77, f = -1;
    a.Etend(7, &v, &f);
    EXPECT_EQ(a.nGetNbAlloue(), 17);
    EXPECT_EQ(Contents(a), (std::vector<int>{-1, -1, -1, -1, -1, -1, -1, 77}));

    int w = 5;
    a.Etend(3, &w, &f); // inside: overwrite
    a.Etend(8, &w, &f); // at the count: append
    EXPECT_EQ(Contents(a), (std::vector<int>{-1, -1, -1, 5, -1, -1, -1, 77, 5}));
    a.Etend(12, &v, &w); // beyond the count, within the capacity
    EXPECT_EQ(a.nGetNbAlloue(), 17);
    EXPECT_EQ(Contents(a), (std::vector<int>{-1, -1, -1, 5, -1, -1, -1, 77, 5, 5, 5, 5, 77}));
    a.Etend(-1, &v, &f);
    EXPECT_EQ(a.nGetNbElement(), 13);

    // Value and filler taken from the array while it moves.
    CTTableau<int> s(1);
    pFill(&s, 3, 10);
    s.Etend(6, &s[0], &s[2]);
    EXPECT_EQ(Contents(s), (std::vector<int>{10, 11, 12, 12, 12, 12, 10}));
}

TEST(Tableau, InsertAndSet)
{
    CTTableau<int> a(1);
    pFill(&a, 3, 1); // 1 2 3, full
    int v = 9;
    a.Insere(&v, 0);
    a.Insere(&v, 2);
    a.Insere(&v, a.nGetNbElement());
    EXPECT_EQ(Contents(a), (std::vector<int>{9, 1, 9, 2, 3, 9}));

    // Elements of the array itself, when the buffer moves and when the
    // element shifts with the others.
    a.Insere(&a[3], 0);
    EXPECT_EQ(Contents(a), (std::vector<int>{2, 9, 1, 9, 2, 3, 9}));
    a.Ajoute(&a[2]);
    EXPECT_EQ(a[7], 1);
    a.AlloueMemoire(20);
    a.Insere(&a[5], 1); // 3 moves to slot 6 before the copy
    EXPECT_EQ(Contents(a), (std::vector<int>{2, 3, 9, 1, 9, 2, 3, 9, 1}));
    a.Insere(&a[5], 6); // an element below the insertion point stays
    EXPECT_EQ(Contents(a), (std::vector<int>{2, 3, 9, 1, 9, 2, 2, 3, 9, 1}));

    int w = 4;
    a.SetAt(&w, 9);
    a.SetAt(&a[0], 0);
    EXPECT_EQ(a[9], 4);
    EXPECT_EQ(a[0], 2);

    // Indices outside the array change nothing.
    std::vector<int> before = Contents(a);
    int nCapacity = a.nGetNbAlloue();
    a.Insere(&w, a.nGetNbElement() + 1);
    a.Insere(&w, -1);
    a.SetAt(&w, a.nGetNbElement());
    a.SetAt(&w, -1);
    EXPECT_EQ(Contents(a), before);
    EXPECT_EQ(a.nGetNbAlloue(), nCapacity);
    EXPECT_EQ(a.pGetElement(a.nGetNbElement()), nullptr);
    EXPECT_EQ(a.pGetElement(-1), nullptr);
    EXPECT_EQ(a.pGetElement(1), &a[1]);
}

TEST(Tableau, RemovalAndCompaction)
{
    CTTableau<int> a(1, 30);
    a.AlloueMemoire(100);
    pFill(&a, 71);
    a.Supprime(5, 0);
    a.Supprime(500, 0);
    EXPECT_EQ(a.nGetNbElement(), 71);

    // 30 free slots afterwards: kept; 31: shrunk to the count.
    a.SupprimeCompacte(0);
    EXPECT_EQ(a.nGetNbElement(), 70);
    EXPECT_EQ(a.nGetNbAlloue(), 100);
    a.SupprimeCompacte(0);
    EXPECT_EQ(a.nGetNbElement(), 69);
    EXPECT_EQ(a.nGetNbAlloue(), 69);
    EXPECT_EQ(a[0], 2);
    EXPECT_EQ(a[68], 70);
    a.SupprimeCompacte(69);
    EXPECT_EQ(a.nGetNbElement(), 69);

    // Runs in the middle and at the tail.
    CTTableau<int> r(1);
    pFill(&r, 8);
    r.Supprime(2, 3);
    EXPECT_EQ(Contents(r), (std::vector<int>{0, 1, 5, 6, 7}));
    r.Supprime(3, 2);
    EXPECT_EQ(Contents(r), (std::vector<int>{0, 1, 5}));
    EXPECT_EQ(r.nGetNbAlloue(), 8);
    r.Supprime(2, 2);  // past the count
    r.Supprime(-1, 1);
    r.Supprime(0, -1);
    EXPECT_EQ(Contents(r), (std::vector<int>{0, 1, 5}));

    EXPECT_EQ(r.SupprimeDernier(4), 0);
    EXPECT_EQ(r.SupprimeDernier(-1), 0);
    EXPECT_EQ(r.SupprimeDernier(2), 2);
    EXPECT_EQ(Contents(r), (std::vector<int>{0}));

    // Compaction and freeing return the array to no storage.
    r.Compacter();
    EXPECT_EQ(r.nGetNbAlloue(), 1);
    r.SupprimeDernier(1);
    r.Compacter();
    EXPECT_EQ(r.nGetNbAlloue(), 0);
    EXPECT_EQ(r.pGetDonnees(), nullptr);
    pFill(&r, 2);
    r.SupprimeToutEtLibere();
    EXPECT_EQ(r.nGetNbElement(), 0);
    EXPECT_EQ(r.nGetNbAlloue(), 0);
    EXPECT_EQ(r.pGetDonnees(), nullptr);
    pFill(&r, 1, 3);
    EXPECT_EQ(Contents(r), (std::vector<int>{3}));
}

TEST(Tableau, DeplaceAndSwap)
{
    CTTableau<STTriple> a(1);
    for (int i = 0; i < 6; i++) {
        STTriple t{i, 10 * i, 100 * i};
        a.Ajoute(&t);
    }
    auto fnOrder = [&]() {
        std::vector<int> v;
        for (int i = 0; i < a.nGetNbElement(); i++) {
            EXPECT_EQ(a[i].b, 10 * a[i].a);
            EXPECT_EQ(a[i].c, 100 * a[i].a);
            v.push_back(a[i].a);
        }
        return v;
    };
    a.Deplace(4, 1);
    EXPECT_EQ(fnOrder(), (std::vector<int>{0, 4, 1, 2, 3, 5}));
    a.Deplace(1, 4);
    EXPECT_EQ(fnOrder(), (std::vector<int>{0, 1, 2, 3, 4, 5}));
    a.Deplace(0, 5);
    EXPECT_EQ(fnOrder(), (std::vector<int>{1, 2, 3, 4, 5, 0}));
    a.Deplace(3, 3);
    a.Swap(0, 5);
    a.Swap(2, 2);
    EXPECT_EQ(fnOrder(), (std::vector<int>{0, 2, 3, 4, 5, 1}));

    a.Deplace(6, 0);
    a.Deplace(0, 6);
    a.Deplace(-1, 2);
    a.Swap(0, 6);
    a.Swap(-1, 0);
    EXPECT_EQ(fnOrder(), (std::vector<int>{0, 2, 3, 4, 5, 1}));
}

TEST(Tableau, PermuteMultiple)
{
    CTTableau<int> a(1);
    a.AlloueMemoire(12);
    pFill(&a, 10);
    _STBlocATrier blocs[] = {{5, 2}, {7, 1}, {2, 3}};
    a.PermuteMultiple(2, blocs, 3);
    EXPECT_EQ(Contents(a), (std::vector<int>{0, 1, 5, 6, 7, 2, 3, 4, 8, 9}));
    EXPECT_EQ(a.nGetNbAlloue(), 12);

    // Blocks first, nothing before them, the tail left in place.
    _STBlocATrier debut[] = {{3, 2}, {0, 3}};
    a.PermuteMultiple(0, debut, 2);
    EXPECT_EQ(Contents(a), (std::vector<int>{6, 7, 0, 1, 5, 2, 3, 4, 8, 9}));

    // Nothing to move.
    a.PermuteMultiple(10, nullptr, 0);
    EXPECT_EQ(Contents(a), (std::vector<int>{6, 7, 0, 1, 5, 2, 3, 4, 8, 9}));

    // Blocks outside the array, or repeating elements past the count.
    std::vector<int> before = Contents(a);
    _STBlocATrier dehors[] = {{8, 3}};
    a.PermuteMultiple(0, dehors, 1);
    _STBlocATrier negatif[] = {{-1, 2}};
    a.PermuteMultiple(0, negatif, 1);
    _STBlocATrier repete[] = {{0, 6}, {0, 6}};
    a.PermuteMultiple(0, repete, 2);
    a.PermuteMultiple(11, blocs, 3);
    a.PermuteMultiple(0, nullptr, 2);
    EXPECT_EQ(Contents(a), before);
}

TEST(Tableau, Transfers)
{
    CTTableau<int> src(5);
    pFill(&src, 7, 100);
    CTTableau<int> dup(1);
    pFill(&dup, 2);
    dup._Duplique(src);
    EXPECT_EQ(Contents(dup), Contents(src));
    EXPECT_NE(dup.pGetDonnees(), src.pGetDonnees());
    dup[0] = 1;
    EXPECT_EQ(src[0], 100);
    dup._Duplique(dup);
    EXPECT_EQ(dup.nGetNbElement(), 7);

    // Elements only: the step and threshold stay.
    CTTableau<int> rd(3, 40);
    rd._RecupereDonnees(&dup);
    EXPECT_EQ(rd.nGetNbElement(), 7);
    EXPECT_EQ(rd[6], 106);
    EXPECT_EQ(rd.nGetPasAgrandissement(), 3);
    EXPECT_EQ(dup.nGetNbElement(), 0);
    EXPECT_EQ(dup.nGetNbAlloue(), 0);
    EXPECT_EQ(dup.pGetDonnees(), nullptr);
    EXPECT_EQ(dup.nGetPasAgrandissement(), 1);
    rd._RecupereDonnees(&rd);
    EXPECT_EQ(rd.nGetNbElement(), 7);

    // The whole state.
    CTTableau<int> all(1, 30);
    pFill(&all, 1);
    all.Recupere(&src);
    EXPECT_EQ(all.nGetPasAgrandissement(), 5);
    EXPECT_EQ(all.nGetNbElement(), 7);
    EXPECT_EQ(all[0], 100);
    EXPECT_EQ(src.nGetNbElement(), 0);
    EXPECT_EQ(src.pGetDonnees(), nullptr);
    all.Recupere(&all);
    EXPECT_EQ(all.nGetNbElement(), 7);

    CTTableau<int> other(9, 31);
    pFill(&other, 2, 50);
    EchangeTableau(&all, &other);
    EXPECT_EQ(Contents(all), (std::vector<int>{50, 51}));
    EXPECT_EQ(all.nGetPasAgrandissement(), 9);
    EXPECT_EQ(all.nGetSeuilCompactage(), 31);
    EXPECT_EQ(other.nGetNbElement(), 7);
    EXPECT_EQ(other.nGetPasAgrandissement(), 5);

    // Elements of another size are not mixed in.
    CTTableau<STTriple> triples(1);
    STTriple t{1, 2, 3};
    triples.Ajoute(&t);
    all._Duplique(triples);
    all._RecupereDonnees(&triples);
    EXPECT_EQ(Contents(all), (std::vector<int>{50, 51}));
    EXPECT_EQ(triples.nGetNbElement(), 1);
}

TEST(Tableau, LinearSearch)
{
    CTTableauPtr<STTriple> a(1);
    EXPECT_EQ(a.nRechercheLineaireCriterePointeur(1, nFindId), -1);
    EXPECT_EQ(a.pRechercheLineaireCriterePointeur(1, nFindId), nullptr);

    STTriple t1{1, 0, 0}, t2{2, 0, 0}, t2b{2, 1, 0};
    STTriple* p = &t1;
    a.Ajoute(&p);
    p = &t2;
    a.Ajoute(&p);
    p = &t2b;
    a.Ajoute(&p);
    EXPECT_EQ(a.nRechercheLineaireCriterePointeur(2, nFindId), 1);
    EXPECT_EQ(a.pRechercheLineaireCriterePointeur(2, nFindId), &t2);
    EXPECT_EQ(a.nRechercheLineaireCriterePointeur(3, nFindId), -1);
    EXPECT_EQ(a.pRechercheLineaireCriterePointeur(3, nFindId), nullptr);

    // Not an array of pointers: no element is read as one.
    CTTableau<STTriple> values(1);
    values.Ajoute(&t1);
    EXPECT_EQ(values.nRechercheLineaireCriterePointeur(1, nFindId), -1);
}

TEST(Tableau, Initialise)
{
    CTTableau<int> a(4);
    a.Initialise(7, 5);
    EXPECT_EQ(Contents(a), (std::vector<int>(5, 7)));
    EXPECT_EQ(a.nGetNbAlloue(), 5);
    EXPECT_EQ(a.nGetPasAgrandissement(), 4);

    // Over an array holding storage, from one of its own elements.
    a.Initialise(a[2], 3);
    EXPECT_EQ(Contents(a), (std::vector<int>(3, 7)));
    EXPECT_EQ(a.nGetNbAlloue(), 3);
    int v = 8;
    a.Initialise(&v, 2); // the untyped form
    EXPECT_EQ(Contents(a), (std::vector<int>(2, 8)));
    a.Initialise(1, -1);
    EXPECT_EQ(Contents(a), (std::vector<int>(2, 8)));
    a.Initialise(1, 0);
    EXPECT_EQ(a.nGetNbElement(), 0);
    EXPECT_EQ(a.pGetDonnees(), nullptr);

    // An earlier buffer is given back: 5 GB would not fit a 32-bit process.
    struct STMega {
        unsigned char b[1 << 20];
    };
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
        EXPECT_EQ(a.nGetNbElement(), 3);
        EXPECT_EQ(a.nGetNbAlloue(), 3);
        EXPECT_EQ(a.nGetPasAgrandissement(), 1);
        EXPECT_EQ(a.pGetDonnees(), pData);
        EXPECT_EQ(Contents(a), (std::vector<long long>{1, 2, 3}));
    };
    EXPECT_THROW(a.AlloueMemoire(0x10000000), std::bad_alloc); // 2 GB of 8-byte elements
    fnIntact();
    EXPECT_THROW(a.AgranditMemoire(INT_MAX), std::bad_alloc); // count + n wraps in 32 bits
    fnIntact();
    long long v = 9;
    EXPECT_THROW(a.Etend(INT_MAX - 1, &v, &v), std::bad_alloc);
    fnIntact();
    EXPECT_THROW(a.Initialise(v, 0x10000000), std::bad_alloc);
    fnIntact();
    a.SetPasAgrandissement(INT_MAX);
    EXPECT_THROW(a.Ajoute(&v), std::bad_alloc);
    EXPECT_EQ(a.nGetPasAgrandissement(), INT_MAX);
    a.SetPasAgrandissement(1);
    fnIntact();
}

TEST(RefArray, DriverObjectProtocol)
{
    CJournal j;
    // Table of operations, then the count, then the do-not-delete flag.
    static_assert(sizeof(CInterf) == 12, "vtable, count, flag");
    {
        CFakeDriverObject o(0, &j);
        o.AddRef();
        o.AddRef();
        o.SetNoDelete(1);
        const CInterf* pBase = &o;
        unsigned w[2];
        memcpy(w, reinterpret_cast<const unsigned char*>(pBase) + 4, sizeof(w));
        EXPECT_EQ(w[0], 2u);
        EXPECT_EQ(w[1], 1u);
        EXPECT_EQ(o._NotToBeCalled(), 0);
    }
    j.destroyed.clear();

    CRefArray<CFakeDriverObject> arr(1);
    auto* p = new CFakeDriverObject(1, &j);
    arr.Ajoute(p);
    arr.Ajoute(p);
    arr.Ajoute(nullptr);
    EXPECT_EQ(p->nCount(), 2u);
    EXPECT_EQ(arr.nGetNbElement(), 3);
    EXPECT_EQ(arr[2], nullptr);
    EXPECT_EQ(arr.Supprime(2), 1);
    EXPECT_EQ(arr.Supprime(1), 1);
    EXPECT_EQ(p->nCount(), 1u);
    EXPECT_TRUE(j.destroyed.empty());

    // Nothing at a count of 0; a hold flag keeps the object at 0.
    auto* q = new CFakeDriverObject(2, &j);
    arr._Release(q);
    EXPECT_EQ(q->nCount(), 0u);
    EXPECT_EQ(q->nRelease(), 0u);
    auto* h = new CFakeDriverObject(3, &j);
    h->SetNoDelete(1);
    arr.Ajoute(h);
    EXPECT_EQ(arr.Supprime(1), 1);
    EXPECT_EQ(h->nCount(), 0u);
    EXPECT_TRUE(j.destroyed.empty());
    delete q;
    delete h;
    EXPECT_EQ(j.destroyed, (std::vector<int>{2, 3}));

    // The object's own release answers the count left.
    auto* r = new CFakeDriverObject(4, &j);
    r->AddRef();
    r->AddRef();
    EXPECT_EQ(r->nRelease(), 1u);
    EXPECT_EQ(r->nRelease(), 0u);
    EXPECT_EQ(j.destroyed, (std::vector<int>{2, 3, 4}));

    EXPECT_EQ(arr.Supprime(0), 1);
    EXPECT_EQ(j.destroyed, (std::vector<int>{2, 3, 4, 1}));
    EXPECT_EQ(arr.nGetNbElement(), 0);
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
        EXPECT_EQ(twice->nCount(), 2u);
    }
    // Last to first, each while the array still held it and those below;
    // the doubly stored object goes at its first slot from the end that
    // drops its count to 0.
    EXPECT_EQ(j.destroyed, (std::vector<int>{3, 2, 4, 1}));
    EXPECT_EQ(j.countAtDestroy, (std::vector<int>{6, 4, 2, 1}));
    EXPECT_EQ(held->nCount(), 0u);
    delete held;
}

TEST(RefArray, ReplaceInsertAndBadIndex)
{
    CJournal j;
    CRefArray<CFakeDriverObject> arr(1);
    auto* a = new CFakeDriverObject(1, &j);
    auto* b = new CFakeDriverObject(2, &j);
    auto* c = new CFakeDriverObject(3, &j);
    arr.Ajoute(a);
    EXPECT_EQ(arr.Insere(b, 0), 1);
    EXPECT_EQ(arr[0], b);
    EXPECT_EQ(arr[1], a);

    // Replacing an object by itself keeps it alive.
    EXPECT_EQ(arr.SetAt(b, 0), 1);
    EXPECT_EQ(b->nCount(), 1u);
    EXPECT_EQ(arr.SetAt(c, 0), 1);
    EXPECT_EQ(j.destroyed, (std::vector<int>{2}));
    EXPECT_EQ(c->nCount(), 1u);

    // Bad indices take and drop nothing.
    auto* d = new CFakeDriverObject(4, &j);
    EXPECT_EQ(arr.Insere(d, 3), 0);
    EXPECT_EQ(arr.Insere(d, -1), 0);
    EXPECT_EQ(arr.SetAt(d, 2), 0);
    EXPECT_EQ(d->nCount(), 0u);
    EXPECT_EQ(arr.Supprime(2), 0);
    EXPECT_EQ(arr.Supprime(-1), 0);
    EXPECT_EQ(arr[2], nullptr);
    EXPECT_EQ(arr[-1], nullptr);
    EXPECT_EQ(a->nCount(), 1u);
    EXPECT_EQ(arr.nGetNbElement(), 2);

    // A growth that fails takes no reference.
    arr.SetPasAgrandissement(INT_MAX);
    EXPECT_THROW(arr.Ajoute(d), std::bad_alloc);
    EXPECT_THROW(arr.Insere(d, 0), std::bad_alloc);
    EXPECT_EQ(d->nCount(), 0u);
    EXPECT_EQ(arr.nGetNbElement(), 2);
    delete d;

    arr.SupprimeTout();
    EXPECT_EQ(j.destroyed, (std::vector<int>{2, 4, 1, 3}));
    EXPECT_EQ(arr.nGetNbElement(), 0);
}

TEST(RefArray, RecordMemoProtocol)
{
    CJournal j;
    static_assert(sizeof(CZTUnknown) == 8, "vtable, count");
    auto* kept = new CFakeRecordMemo(2, &j);
    kept->m_nRefCount++; // an owner besides the array
    {
        CRefArray<CFakeRecordMemo> arr(10);
        arr.Ajoute(new CFakeRecordMemo(1, &j));
        arr.Ajoute(kept);
        arr.Ajoute(nullptr);
        arr.Ajoute(new CFakeRecordMemo(3, &j));
        EXPECT_EQ(kept->m_nRefCount, 2);
    }
    EXPECT_EQ(j.nRelease, 3);
    EXPECT_EQ(j.destroyed, (std::vector<int>{3, 1}));
    EXPECT_EQ(kept->m_nRefCount, 1);
    EXPECT_EQ(kept->dwRelease(), 0u);
    EXPECT_EQ(j.destroyed, (std::vector<int>{3, 1, 2}));
}

TEST(RefArray, GroupByEntryProtocol)
{
    CJournal j;
    auto* g1 = new CFakeInfoGroupe(1, &j);
    auto* g2 = new CFakeInfoGroupe(2, &j);
    unsigned w;
    g1->m_nRefCount = 5;
    memcpy(&w, reinterpret_cast<const unsigned char*>(g1) + sizeof(void*), sizeof(w));
    EXPECT_EQ(w, 5u);
    g1->m_nRefCount = 0;
    {
        CRefArray<CFakeInfoGroupe> arr(1);
        arr.Ajoute(g1);
        arr.Ajoute(g2);
        arr.Ajoute(g2);
        EXPECT_EQ(j.nAddRef, 3);
        EXPECT_EQ(g2->m_nRefCount, 2u);
        EXPECT_EQ(arr.Supprime(1), 1);
        EXPECT_EQ(j.nRelease, 1);
        EXPECT_TRUE(j.destroyed.empty());
    }
    EXPECT_EQ(j.nAddRef, 3);
    EXPECT_EQ(j.nRelease, 3);
    EXPECT_EQ(j.destroyed, (std::vector<int>{2, 1}));
}

TEST(RefArray, ItemDescriptionProtocol)
{
    CJournal j;
    auto* held = new CFakeItemDescription(2, &j);
    held->m_bHold = 1;
    {
        CRefArray<CFakeItemDescription> arr(1);
        arr.Ajoute(new CFakeItemDescription(1, &j));
        arr.Ajoute(held);
        arr.Ajoute(new CFakeItemDescription(3, &j));
        arr.Ajoute(nullptr);
        EXPECT_EQ(j.nAddRef, 3);
    }
    EXPECT_EQ(j.nRelease, 3);
    EXPECT_EQ(j.destroyed, (std::vector<int>{3, 1}));
    EXPECT_EQ(held->m_nRefCount, 0u);
    delete held;
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
    arr->m_nRefCount++;
    arr->m_nRefCount++;
    EXPECT_EQ(arr->dwRelease(), 1u);
    EXPECT_TRUE(j.destroyed.empty());
    EXPECT_EQ(arr->dwRelease(), 0u);
    EXPECT_EQ(j.destroyed, (std::vector<int>{2, 1}));
    EXPECT_EQ(survivor->nCount(), 1u);
    survivor->nRelease();
    EXPECT_EQ(j.destroyed, (std::vector<int>{2, 1, 3}));

    // Deleted through its shared-object root, never raised.
    j.destroyed.clear();
    auto* memos = new CNARefArray<CFakeRecordMemo>(1);
    memos->Ajoute(new CFakeRecordMemo(7, &j));
    memos->Ajoute(new CFakeRecordMemo(8, &j));
    CZTUnknown* pRoot = memos;
    delete pRoot;
    EXPECT_EQ(j.destroyed, (std::vector<int>{8, 7}));

    // Embedded: lives and dies with its owner.
    j.destroyed.clear();
    {
        struct STOwner {
            CNARefArray<CFakeDriverObject> cols{1};
        } owner;
        owner.cols.Ajoute(new CFakeDriverObject(5, &j));
    }
    EXPECT_EQ(j.destroyed, (std::vector<int>{5}));
}
