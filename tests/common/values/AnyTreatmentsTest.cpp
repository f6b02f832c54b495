#include "common/values/AnyTreatments.h"

#include "common/text/TQBIN.h"
#include "common/values/monetaire.h"

#include "tests/support/AnyValue.h"
#include "tests/support/TestHost.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

void* Ptr(const CAny& v) { return Get<void*>(v); }

int RefCount(const void* pBlock) { return CBaseStrMem::s_nGetRefCount(pBlock); }

CMoney Money(const wchar_t* psz)
{
    CMoney st;
    EXPECT_NE(pstChaineVersMonetaire(&st, psz), nullptr);
    return st;
}

#define ZT_RESERVED(n) void Reserved##n() override {}
#define ZT_RESERVED_TENS(t) ZT_RESERVED(t##0) ZT_RESERVED(t##1) ZT_RESERVED(t##2) ZT_RESERVED(t##3) ZT_RESERVED(t##4) \
    ZT_RESERVED(t##5) ZT_RESERVED(t##6) ZT_RESERVED(t##7) ZT_RESERVED(t##8) ZT_RESERVED(t##9)

class CFakeCompte final : public CObjetCompteHote {
public:
    int m_nLibere = 0;
    CFakeCompte() { m_nCompte = 1; }
    ZT_RESERVED(0) ZT_RESERVED(1)
    void Libere() override
    {
        ++m_nLibere;
        --m_nCompte;
    }
};

// Reference-counted object that records its end instead of freeing itself.
class CFakeObjet final : public IObjetHote {
public:
    int m_nRef = 1;
    bool m_bDetruit = false;
    int m_nTraitement = 0;

    unsigned long AddRef() override
    {
        EXPECT_FALSE(m_bDetruit);
        return static_cast<unsigned long>(++m_nRef);
    }
    unsigned long Release() override
    {
        EXPECT_FALSE(m_bDetruit);
        if (--m_nRef == 0)
            m_bDetruit = true;
        return static_cast<unsigned long>(m_nRef);
    }
    ZT_RESERVED(2) ZT_RESERVED(3) ZT_RESERVED(4) ZT_RESERVED(5) ZT_RESERVED(6) ZT_RESERVED(7) ZT_RESERVED(8)
    ZT_RESERVED(9) ZT_RESERVED_TENS(1) ZT_RESERVED_TENS(2) ZT_RESERVED_TENS(3) ZT_RESERVED(40) ZT_RESERVED(41)
    ZT_RESERVED(42) ZT_RESERVED(43) ZT_RESERVED(44) ZT_RESERVED(45) ZT_RESERVED(46) ZT_RESERVED(47) ZT_RESERVED(48)
    void* piGetTraitement() override { return &m_nTraitement; }
};

} // namespace

// ---- Scalars ----------------------------------------------------------------------------

TEST(AnyTreatmentsTest, ScalarAccessorsCopyTheStoredWidth)
{
    unsigned char abySrc[16];
    for (int i = 0; i < 16; ++i)
        abySrc[i] = static_cast<unsigned char>(0xA0 + i);
    const unsigned aWidths[][2] = {{1, 4},  {2, 1},   {3, 2},  {4, 4},  {5, 8},  {6, 1},  {7, 2},  {8, 4},
                                   {9, 8},  {10, 10}, {11, 4}, {12, 8}, {14, 4}, {26, 8}, {27, 8}};
    for (const auto& r : aWidths) {
        SCOPED_TRACE(r[0]);
        CAny v(static_cast<unsigned short>(r[0]));
        v.pclGetTraitement()->SetValue(abySrc);
        // Only the width is taken, and each fill copies it and no more.
        for (unsigned i = 0; i < CAny::VALEUR_SIZE; ++i)
            ASSERT_EQ(v.pbyGetValeur()[i], i < r[1] ? abySrc[i] : 0) << i;
        for (auto pfnFill :
             {&CAny_Intern::nFillBuffer, &CAny_Intern::nFillDataBuffer, &CAny_Intern::nFillUtilDataBuffer}) {
            unsigned char abyOut[16];
            std::memset(abyOut, 0x55, sizeof(abyOut));
            EXPECT_EQ((v.pclGetTraitement()->*pfnFill)(abyOut), 0);
            EXPECT_EQ(std::memcmp(abyOut, abySrc, r[1]), 0);
            EXPECT_EQ(abyOut[r[1]], 0x55);
        }
    }

    // A boolean set with a length keeps that many bytes and zeroes the rest.
    CAny b(TQTYPE_BOOL);
    b.pclGetTraitement()->SetValue(abySrc);
    b.pclGetTraitement()->SetValue(abySrc, 2);
    EXPECT_EQ(Get<std::uint32_t>(b), 0xA1A0u);
}

TEST(AnyTreatmentsTest, IncrementsReportLeavingTheRange)
{
    // Type, step, stored bits before; status and bits after (of the type's width).
    struct Row {
        unsigned short nType;
        int nStep;
        unsigned long long ullIn;
        int nStatus;
        unsigned long long ullOut;
    };
    const Row aRows[] = {
        {TQTYPE_I1, 1, 0x7F, 1, 0x80}, {TQTYPE_I1, -1, 0x80, 1, 0x7F}, {TQTYPE_I1, 1, 0xFF, 0, 0},
        {TQTYPE_I2, -1, 0x8000, 1, 0x7FFF}, {TQTYPE_I4, 1, 0x7FFFFFFF, 1, 0x80000000},
        // UIX steps in the signed range; signed 64 bits wrap silently.
        {TQTYPE_UIX, -1, 0x80000000, 1, 0x7FFFFFFF}, {TQTYPE_UIX, 1, 0xFFFFFFFF, 0, 0},
        {TQTYPE_I8, 1, 0x7FFFFFFFFFFFFFFFull, 0, 0x8000000000000000ull}, {TQTYPE_I8, -1, 0, 0, ~0ull},
        {TQTYPE_UI1, 1, 0xFF, 1, 0}, {TQTYPE_UI2, -1, 0, 1, 0xFFFF}, {TQTYPE_UI4, -1, 0, 1, 0xFFFFFFFF},
        {TQTYPE_UI4, 1, 41, 0, 42},
        // Unsigned 64 bits: the top bit decides, both ways.
        {TQTYPE_UI8, 1, 0x7FFFFFFFFFFFFFFFull, 1, 0x8000000000000000ull}, {TQTYPE_UI8, 1, ~0ull, 0, 0},
        {TQTYPE_UI8, -1, 0, 1, ~0ull}, {TQTYPE_UI8, -1, 0x8000000000000000ull, 0, 0x7FFFFFFFFFFFFFFFull},
        // Reals: the single keeps the rounded result (2^24 + 1), its
        // infinities and NaN leave the range.
        {TQTYPE_R4, 1, 0x4B800000, 0, 0x4B800000}, {TQTYPE_R4, -1, 0xFF800000, 1, 0xFF800000},
        {TQTYPE_R4, 1, 0x7FC00000, 1, 0x7FC00000}, {TQTYPE_R8, -1, 0x3FD0000000000000ull, 0, 0xBFE8000000000000ull},
    };
    for (const Row& r : aRows) {
        SCOPED_TRACE(testing::Message() << r.nType << " step " << r.nStep << " from " << std::hex << r.ullIn);
        CAny v;
        Set(v, r.nType, r.ullIn);
        EXPECT_EQ(r.nStep > 0 ? v.pclGetTraitement()->nIncremente() : v.pclGetTraitement()->nDecremente(), r.nStatus);
        unsigned nWidth = 0;
        v.pclGetTraitement()->nGetUtilDataSize(&nWidth);
        unsigned long long ull = 0;
        std::memcpy(&ull, v.pbyGetValeur(), nWidth);
        EXPECT_EQ(ull, r.ullOut);
    }
    for (unsigned short nType : {TQTYPE_BOOL, TQTYPE_DATETIME, TQTYPE_DUREE, TQTYPE_DECIMAL}) {
        CAny w(nType);
        EXPECT_EQ(w.pclGetTraitement()->nIncremente(), 105) << nType;
        EXPECT_EQ(w.pclGetTraitement()->nDecremente(), 105) << nType;
    }

    // Currency: exact beyond the 53 bits of a double; at the ends out of
    // range, the value kept.
    CAny v;
    Set(v, TQTYPE_CY, Money(L"10000000000.000001"));
    EXPECT_EQ(v.pclGetTraitement()->nIncremente(), 0);
    CMoney r = Get<CMoney>(v), expected = Money(L"10000000001.000001");
    EXPECT_EQ(nCmpMonetaire(&r, &expected), 0);
    SetMonetaireToMax(&expected);
    Set(v, TQTYPE_CY, expected);
    EXPECT_EQ(v.pclGetTraitement()->nIncremente(), 1);
    r = Get<CMoney>(v);
    EXPECT_EQ(nCmpMonetaire(&r, &expected), 0);
}

TEST(AnyTreatmentsTest, SignOfScalars)
{
    // Read at the type's width; unsigned, UIX and duration always positive;
    // NaN is not positive, negative zero is.
    const struct {
        unsigned short nType;
        unsigned long long ullBits;
        bool bPositive;
    } aRows[] = {{TQTYPE_I1, 0xFF, false},           {TQTYPE_I4, 0x80000000, false},
                 {TQTYPE_I8, 0x7FFFFFFFFFFFFFFFull, true}, {TQTYPE_UIX, 0xFFFFFFFB, true},
                 {TQTYPE_DUREE, ~0ull, true},         {TQTYPE_R8, 0x7FF8000000000000ull, false},
                 {TQTYPE_R8, 0x8000000000000000ull, true}, {TQTYPE_R4, 0xBF800000, false}};
    for (const auto& r : aRows) {
        CAny v;
        Set(v, r.nType, r.ullBits);
        EXPECT_EQ(v.pclGetTraitement()->bIsPositive(), r.bPositive) << r.nType << " " << std::hex << r.ullBits;
    }
    // Currency: the sign of the top word.
    CAny v;
    Set(v, TQTYPE_CY, Money(L"-0.000001"));
    EXPECT_FALSE(v.pclGetTraitement()->bIsPositive());
}

// ---- Held by reference ---------------------------------------------------------------------

TEST(AnyTreatmentsTest, BinaryIsSharedAndReleasedOnce)
{
    CLiveBlockCheck clCheck;
    CAny v;
    SetBin(v, "binary");
    {
        CAny w;
        v.SetFlags(TQFLAG_NULL | TQFLAG_0400);  // shared all the same
        v.pclGetTraitement()->Duplique(&w);
        EXPECT_EQ(Ptr(w), Ptr(v));
        // Fill into a handle: it lets go of its own and shares ours.
        CTQBIN cl(reinterpret_cast<const unsigned char*>("zz"), 2);
        EXPECT_EQ(v.pclGetTraitement()->nFillBuffer(&cl), 0);
        EXPECT_EQ(cl.pGetData(), Ptr(v));
        EXPECT_EQ(RefCount(Ptr(v)), 3);
        // SetValue(p) shares a handle; SetValue(p, n) copies bytes.
        CAny x(TQTYPE_BIN);
        x.pclGetTraitement()->SetValue(&cl);
        EXPECT_EQ(Ptr(x), Ptr(v));
        x.pclGetTraitement()->SetValue("copy", 4);
        EXPECT_NE(Ptr(x), Ptr(v));
        EXPECT_EQ(std::memcmp(static_cast<const char*>(Ptr(x)), "copy", 4), 0);
    }
    EXPECT_EQ(RefCount(Ptr(v)), 1);

    // A caller's buffer is referred to, not owned; without a length it has no bytes.
    unsigned char abyCaller[6] = {'b', 'u', 'f', 'f', 'e', 'r'}, abyOut[8];
    CAny b(TQTYPE_BUFFER), c;
    b.pclGetTraitement()->SetValue(abyCaller);
    std::memset(abyOut, 0x55, sizeof(abyOut));
    EXPECT_EQ(b.pclGetTraitement()->nFillDataBuffer(abyOut), 0);
    EXPECT_EQ(abyOut[0], 0x55);
    b.pclGetTraitement()->SetValue(abyCaller, 6);
    EXPECT_EQ(b.pclGetTraitement()->nFillDataBuffer(abyOut), 0);
    EXPECT_EQ(std::memcmp(abyOut, "buffer\x55", 7), 0);
    struct { void* p; std::uint32_t n; } stPair = {nullptr, 0};
    b.SetNullFlag(true);
    b.pclGetTraitement()->Duplique(&c);
    EXPECT_EQ(c.nGetType(), TQTYPE_BUFFER | TQFLAG_NULL);
    EXPECT_EQ(c.pclGetTraitement()->nFillBuffer(&stPair), 0);
    EXPECT_EQ(stPair.p, abyCaller);
    EXPECT_EQ(stPair.n, 6u);
}

TEST(AnyTreatmentsTest, ArraysCopyAndReleaseTheirElements)
{
    CLiveBlockCheck clCheck;
    CAny aSource[3];
    Set<int>(aSource[0], TQTYPE_I4, 7);
    SetBin(aSource[1], "element");
    aSource[1].SetNullFlag(true);
    Set<short>(aSource[2], TQTYPE_I2, -2);
    aSource[2].SetFlags(TQFLAG_0400);
    const void* pElement = Ptr(aSource[1]);

    // The stored form: pointer and count.
    CAny v(TQTYPE_TABANY);
    v.pclGetTraitement()->SetValue(aSource, 3);
    struct { CAny* p; std::uint32_t n; } stPair = {nullptr, 0};
    EXPECT_EQ(v.pclGetTraitement()->nFillBuffer(&stPair), 0);
    CAny* pTab = stPair.p;
    ASSERT_NE(pTab, nullptr);
    EXPECT_NE(pTab, aSource);
    EXPECT_EQ(stPair.n, 3u);
    EXPECT_EQ(Get<int>(pTab[0]), 7);
    EXPECT_EQ(pTab[1].nGetType(), TQTYPE_BIN | TQFLAG_NULL);
    EXPECT_EQ(pTab[2].nGetType(), TQTYPE_I2 | TQFLAG_0400);
    EXPECT_EQ(RefCount(pElement), 2);

    // A copy has elements of its own; copying onto a value that already
    // holds an array frees the old one.
    {
        CAny w;
        v.pclGetTraitement()->Duplique(&w);
        void* p = nullptr;
        w.pclGetTraitement()->nGetDataAdr(&p);
        ASSERT_NE(p, pTab);
        EXPECT_EQ(RefCount(pElement), 3);
        v.pclGetTraitement()->Duplique(&w);
        EXPECT_EQ(RefCount(pElement), 3);
    }
    EXPECT_EQ(RefCount(pElement), 2);

    // Set again from an element of its own array: built before the old goes.
    v.pclGetTraitement()->SetValue(&pTab[1]);
    EXPECT_EQ(v.pclGetTraitement()->nFillBuffer(&stPair), 0);
    EXPECT_EQ(stPair.n, 1u);
    EXPECT_EQ(Ptr(stPair.p[0]), pElement);
    EXPECT_EQ(RefCount(pElement), 2);

    // An array handed over directly is owned and released with the value.
    CAny outer(TQTYPE_TABANY);
    CAny* pDirect = static_cast<CAny*>(std::malloc(2 * sizeof(CAny)));
    ::new (static_cast<void*>(&pDirect[0])) CAny;
    ::new (static_cast<void*>(&pDirect[1])) CAny;
    SetBin(pDirect[0], "direct");
    CAny_TQTABANY::s_SetDirect(&outer, pDirect, 2);
    EXPECT_EQ(outer.pclGetTraitement()->nFillBuffer(&stPair), 0);
    EXPECT_EQ(stPair.p, pDirect);
    outer.__SetType(TQTYPE_I4, 0);
    v.__SetType(TQTYPE_VIDE, 0);
    EXPECT_EQ(RefCount(pElement), 1);
}

// ---- Host objects ---------------------------------------------------------------------------

TEST(AnyTreatmentsTest, CountedObjectsAreCountedAndGivenBack)
{
    for (unsigned short nType : {TQTYPE_MEMOIMG, TQTYPE_CONVOYEUR, TQTYPE_POLICE}) {
        SCOPED_TRACE(nType);
        CFakeCompte clObjet, clAutre;
        {
            CAny v(nType), w;
            v.pclGetTraitement()->SetValue(&clObjet);
            EXPECT_EQ(clObjet.m_nCompte, 2);
            void* p = nullptr;
            EXPECT_EQ(v.pclGetTraitement()->nFillBuffer(&p), 0);
            EXPECT_EQ(p, &clObjet);
            v.SetNullFlag(true);
            v.pclGetTraitement()->Duplique(&w);
            EXPECT_EQ(clObjet.m_nCompte, 3);
            // The same object again: one up, one down.
            v.pclGetTraitement()->SetValue(&clObjet);
            EXPECT_EQ(clObjet.m_nCompte, 3);
            EXPECT_EQ(clObjet.m_nLibere, 1);
            // Another object: the old one is given back.
            w.pclGetTraitement()->SetValue(&clAutre);
            EXPECT_EQ(clObjet.m_nCompte, 2);
            EXPECT_EQ(clAutre.m_nCompte, 2);
        }
        EXPECT_EQ(clObjet.m_nCompte, 1);
        EXPECT_EQ(clAutre.m_nCompte, 1);
    }
}

TEST(AnyTreatmentsTest, ReferenceCountedObjects)
{
    CFakeObjet clObjet;
    {
        CAny v(TQTYPE_OBJET141);
        EXPECT_EQ(v.piGetTraitement(), nullptr);
        v.pclGetTraitement()->SetValue(&clObjet);
        EXPECT_EQ(v.piGetTraitement(), &clObjet.m_nTraitement);
        // The value holds the only reference; setting the same object keeps it alive.
        clObjet.Release();
        v.pclGetTraitement()->SetValue(&clObjet);
        EXPECT_FALSE(clObjet.m_bDetruit);
        EXPECT_EQ(clObjet.m_nRef, 1);

        // Copies become 108 (or stay 111) and carry no flag.
        v.SetFlags(TQFLAG_NULL | TQFLAG_0400);
        EXPECT_EQ(v.piGetTraitement(), nullptr);
        CAny w, d(TQTYPE_DINO), e;
        v.pclGetTraitement()->Duplique(&w);
        EXPECT_EQ(w.nGetType(), TQTYPE_OBJET);
        EXPECT_EQ(Ptr(w), &clObjet);
        d.pclGetTraitement()->SetValue(&clObjet);
        d.SetNullFlag(true);
        d.pclGetTraitement()->Duplique(&e);
        EXPECT_EQ(e.nGetType(), TQTYPE_DINO);
        EXPECT_EQ(clObjet.m_nRef, 4);
    }
    EXPECT_EQ(clObjet.m_nRef, 0);
    EXPECT_TRUE(clObjet.m_bDetruit);
}
