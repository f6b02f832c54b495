#include "common/values/Any.h"

#include "common/text/TQBIN.h"
#include "common/values/AnyTreatments.h"

#include "tests/support/AnyValue.h"
#include "tests/support/TestHost.h"

#include <cstddef>
#include <cstring>
#include <dlfcn.h>

namespace {

void* BinBlock(const CAny& v) { return Get<void*>(v); }

void** Vtable(const CAny_Intern* p) { return *reinterpret_cast<void** const*>(p); }

// Slot of a virtual member function from its pointer (Itanium ABI: the
// pointer holds 1 + the byte offset in the vtable).
template <class M>
std::ptrdiff_t Slot(M pm)
{
    static_assert(sizeof(M) == 2 * sizeof(std::ptrdiff_t), "Itanium member pointer");
    std::ptrdiff_t a[2];
    std::memcpy(a, &pm, sizeof(a));
    return (a[0] - 1) / static_cast<std::ptrdiff_t>(sizeof(void*));
}

int g_nSlot = -1;

// Records which operation ran.
class CRecorder : public CAny_Intern {
public:
    void Duplique(CAny*) const override { g_nSlot = 2; }
    int nGetSize(unsigned int*) const override { return g_nSlot = 3; }
    int nGetAdr(void**) const override { return g_nSlot = 4; }
    int nFillBuffer(void*) const override { return g_nSlot = 5; }
    int nGetDataSize(unsigned int*) const override { return g_nSlot = 6; }
    int nGetDataAdr(void**) const override { return g_nSlot = 7; }
    int nFillDataBuffer(void*) const override { return g_nSlot = 8; }
    void SetValue(const void*) override { g_nSlot = 9; }
    void SetValue(const void*, unsigned int) override { g_nSlot = 10; }
    int nGetPCASTR(const char**) const override { return g_nSlot = 11; }
    int nGetPCWSTR(const wchar_t**) const override { return g_nSlot = 12; }
    int nGetSTRLEN(unsigned int*) const override { return g_nSlot = 13; }
    bool bIsPositive() const override { return (g_nSlot = 14) != 0; }
    int nGetUtilDataSize(unsigned int*) const override { return g_nSlot = 15; }
    int nFillUtilDataBuffer(void*) const override { return g_nSlot = 16; }
    int nIncremente() override { return g_nSlot = 17; }
    int nDecremente() override { return g_nSlot = 18; }
    void SetValueFromANSI(const void*) override { g_nSlot = 19; }
    void SetValueFromANSI(const void*, unsigned int) override { g_nSlot = 20; }
    void SetValueFromUNICODE(const void*) override { g_nSlot = 21; }
    void SetValueFromUNICODE(const void*, unsigned int) override { g_nSlot = 22; }
    void SetValueFromANSI_CP(int, const void*) override { g_nSlot = 23; }
    void SetValueFromANSI_CP(int, const void*, unsigned int) override { g_nSlot = 24; }
    void SetValueFromUNICODE_CP(int, const void*) override { g_nSlot = 25; }
    void SetValueFromUNICODE_CP(int, const void*, unsigned int) override { g_nSlot = 26; }
    void SetValueOption(const void*, unsigned int, unsigned int) override { g_nSlot = 27; }
};

} // namespace

TEST(AnyTest, LayoutIsTheHostOne)
{
    CAny v;
    const unsigned char* pBase = reinterpret_cast<const unsigned char*>(&v);
    EXPECT_EQ(sizeof(CAny), 52u);
    EXPECT_EQ(v.pbyGetValeur() - pBase, 12);
    EXPECT_EQ(reinterpret_cast<const unsigned char*>(v.pclGetTraitement()) - pBase, 4);
    std::uint32_t dwLeading = 1;
    std::memcpy(&dwLeading, pBase, 4);
    EXPECT_EQ(dwLeading, 0u);

    v.__SetType(TQTYPE_I4, 0);
    v.SetNullFlag(true);
    std::uint16_t nWord = 0;
    std::memcpy(&nWord, pBase + 8, 2);
    EXPECT_EQ(nWord, 0x108);

    // An array of values is a plain contiguous array.
    CAny a[2];
    EXPECT_EQ(reinterpret_cast<unsigned char*>(&a[1]) - reinterpret_cast<unsigned char*>(&a[0]), 52);
}

TEST(AnyTest, SlotOrderIsTheHostOne)
{
    EXPECT_EQ(Slot(&CAny_Intern::Duplique), 2);
    EXPECT_EQ(Slot(&CAny_Intern::nGetSize), 3);
    EXPECT_EQ(Slot(&CAny_Intern::nGetAdr), 4);
    EXPECT_EQ(Slot(&CAny_Intern::nFillBuffer), 5);
    EXPECT_EQ(Slot(&CAny_Intern::nGetDataSize), 6);
    EXPECT_EQ(Slot(&CAny_Intern::nGetDataAdr), 7);
    EXPECT_EQ(Slot(&CAny_Intern::nFillDataBuffer), 8);
    EXPECT_EQ(Slot(static_cast<void (CAny_Intern::*)(const void*)>(&CAny_Intern::SetValue)), 9);
    EXPECT_EQ(Slot(static_cast<void (CAny_Intern::*)(const void*, unsigned)>(&CAny_Intern::SetValue)), 10);
    EXPECT_EQ(Slot(&CAny_Intern::nGetPCASTR), 11);
    EXPECT_EQ(Slot(&CAny_Intern::nGetPCWSTR), 12);
    EXPECT_EQ(Slot(&CAny_Intern::nGetSTRLEN), 13);
    EXPECT_EQ(Slot(&CAny_Intern::bIsPositive), 14);
    EXPECT_EQ(Slot(&CAny_Intern::nGetUtilDataSize), 15);
    EXPECT_EQ(Slot(&CAny_Intern::nFillUtilDataBuffer), 16);
    EXPECT_EQ(Slot(&CAny_Intern::nIncremente), 17);
    EXPECT_EQ(Slot(&CAny_Intern::nDecremente), 18);
    EXPECT_EQ(Slot(static_cast<void (CAny_Intern::*)(const void*)>(&CAny_Intern::SetValueFromANSI)), 19);
    EXPECT_EQ(Slot(static_cast<void (CAny_Intern::*)(const void*, unsigned)>(&CAny_Intern::SetValueFromANSI)), 20);
    EXPECT_EQ(Slot(static_cast<void (CAny_Intern::*)(const void*)>(&CAny_Intern::SetValueFromUNICODE)), 21);
    EXPECT_EQ(Slot(static_cast<void (CAny_Intern::*)(const void*, unsigned)>(&CAny_Intern::SetValueFromUNICODE)), 22);
    EXPECT_EQ(Slot(static_cast<void (CAny_Intern::*)(int, const void*)>(&CAny_Intern::SetValueFromANSI_CP)), 23);
    EXPECT_EQ(Slot(static_cast<void (CAny_Intern::*)(int, const void*, unsigned)>(&CAny_Intern::SetValueFromANSI_CP)),
              24);
    EXPECT_EQ(Slot(static_cast<void (CAny_Intern::*)(int, const void*)>(&CAny_Intern::SetValueFromUNICODE_CP)), 25);
    EXPECT_EQ(
        Slot(static_cast<void (CAny_Intern::*)(int, const void*, unsigned)>(&CAny_Intern::SetValueFromUNICODE_CP)), 26);
    EXPECT_EQ(Slot(&CAny_Intern::SetValueOption), 27);

#if defined(__i386__)
    // Called the way the host calls them: through the vtable by index, the
    // object as first argument.
    typedef void (*PFN)(const void*, const void*, const void*, const void*);
    CRecorder clRecorder;
    for (int i = 2; i <= 27; ++i) {
        g_nSlot = -1;
        reinterpret_cast<PFN>(Vtable(&clRecorder)[i])(&clRecorder, nullptr, nullptr, nullptr);
        EXPECT_EQ(g_nSlot, i);
    }

    // Real treatments: slot 3 of an 8-byte integer, slot 6 of a binary.
    CAny v(TQTYPE_I8);
    unsigned n = 0;
    typedef int (*PFNSIZE)(const CAny_Intern*, unsigned*);
    EXPECT_EQ(reinterpret_cast<PFNSIZE>(Vtable(v.pclGetTraitement())[3])(v.pclGetTraitement(), &n), 0);
    EXPECT_EQ(n, 8u);
    {
        CLiveBlockCheck clCheck;
        CAny b;
        SetBin(b, "12345");
        EXPECT_EQ(reinterpret_cast<PFNSIZE>(Vtable(b.pclGetTraitement())[6])(b.pclGetTraitement(), &n), 0);
        EXPECT_EQ(n, 5u);

        // Slot 1, the deleting entry: releases the block and leaves the
        // empty treatment in the value, which stays usable.
        CAny vide;
        typedef void (*PFNDTOR)(CAny_Intern*);
        reinterpret_cast<PFNDTOR>(Vtable(b.pclGetTraitement())[1])(b.pclGetTraitement());
        EXPECT_EQ(Vtable(b.pclGetTraitement()), Vtable(vide.pclGetTraitement()));
        EXPECT_EQ(BinBlock(b), nullptr);
        EXPECT_EQ(b.pclGetTraitement()->nGetSize(&n), TQSTATUS_EMPTY);

        // Slot 0, the complete entry, does the same (the sanitizers clear the
        // vtable pointer of every object they see destroyed).
        CAny c;
        SetBin(c, "abc");
        reinterpret_cast<PFNDTOR>(Vtable(c.pclGetTraitement())[0])(c.pclGetTraitement());
        EXPECT_EQ(BinBlock(c), nullptr);
#if defined(__SANITIZE_ADDRESS__)
        ::new (static_cast<void*>(c.pclGetTraitement())) CAny_Intern;
#endif
        EXPECT_EQ(Vtable(c.pclGetTraitement()), Vtable(vide.pclGetTraitement()));
    }
#endif
}

TEST(AnyTest, EmptyValueHasNothingToGive)
{
    CAny v;
    CAny_Intern* p = v.pclGetTraitement();
    unsigned n = 7;
    void* pv = &n;
    const char* psz = "x";
    const wchar_t* pwsz = L"x";
    EXPECT_EQ(v.nGetType(), 0);
    EXPECT_EQ(p->nGetSize(&n), 102);
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(p->nGetAdr(&pv), 102);
    EXPECT_EQ(pv, nullptr);
    EXPECT_EQ(p->nFillBuffer(&n), 102);
    n = 7;
    EXPECT_EQ(p->nGetDataSize(&n), 102);
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(p->nGetDataAdr(&pv), 102);
    EXPECT_EQ(p->nFillDataBuffer(&n), 102);
    n = 7;
    EXPECT_EQ(p->nGetUtilDataSize(&n), 102);
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(p->nGetPCASTR(&psz), 105);
    EXPECT_EQ(psz, nullptr);
    EXPECT_EQ(p->nGetPCWSTR(&pwsz), 105);
    EXPECT_EQ(pwsz, nullptr);
    n = 7;
    EXPECT_EQ(p->nGetSTRLEN(&n), 105);
    EXPECT_EQ(n, 0u);
    EXPECT_TRUE(p->bIsPositive());
    EXPECT_EQ(p->nIncremente(), 105);
    EXPECT_EQ(p->nDecremente(), 105);

    // Copying the empty value only gives its flags.
    CAny cible(TQTYPE_I2);
    Set<short>(cible, TQTYPE_I2, 12);
    v.SetFlags(TQFLAG_NULL | TQFLAG_0400);
    v.pclGetTraitement()->Duplique(&cible);
    EXPECT_EQ(cible.nGetType(), TQTYPE_I2 | TQFLAG_NULL | TQFLAG_0400);
    EXPECT_EQ(Get<short>(cible), 12);
}

TEST(AnyTest, SetTypeInstallsEachRow)
{
    struct Row {
        unsigned short nType, nStored;
        unsigned nSize, nData;
    };
    const Row aRows[] = {
        {1, 1, 4, 4},     {2, 2, 1, 1},     {3, 3, 2, 2},     {4, 4, 4, 4},     {5, 5, 8, 8},    {6, 6, 1, 1},
        {7, 7, 2, 2},     {8, 8, 4, 4},     {9, 9, 8, 8},     {10, 10, 10, 10}, {11, 11, 4, 4},  {12, 12, 8, 8},
        {13, 13, 4, 18},  {14, 14, 4, 4},   {15, 8, 4, 4},    {26, 26, 8, 8},   {27, 27, 8, 8},  {28, 28, 4, 0},
        {29, 29, 8, 0},   {30, 30, 4, 4},   {50, 50, 4, 4},   {65, 65, 4, 4},   {83, 83, 8, 0},  {108, 108, 4, 4},
        {111, 111, 4, 4}, {141, 141, 4, 4}, {142, 142, 4, 4}, {143, 143, 4, 4},
    };
    for (const Row& r : aRows) {
        SCOPED_TRACE(r.nType);
        CAny v;
        // Garbage in the area: initialisation must clear it.
        std::memset(v.pbyGetValeur(), 0xCC, CAny::VALEUR_SIZE);
        v.__SetType(r.nType, 0);
        EXPECT_EQ(v.nGetType(), r.nStored);
        unsigned n = 99;
        EXPECT_EQ(v.pclGetTraitement()->nGetSize(&n), 0);
        EXPECT_EQ(n, r.nSize);
        EXPECT_EQ(v.pclGetTraitement()->nGetDataSize(&n), 0);
        EXPECT_EQ(n, r.nData);
        for (size_t i = 0; i < CAny::VALEUR_SIZE; ++i)
            ASSERT_EQ(v.pbyGetValeur()[i], 0) << "byte " << i;
    }

    // Codes without a row, above 143, and a high byte that is dropped.
    for (unsigned short nType : {20, 31, 100, 144, 200, 255}) {
        CAny v(TQTYPE_I4);
        v.__SetType(nType, 0);
        EXPECT_EQ(v.nGetType(), 0) << nType;
        unsigned n = 1;
        EXPECT_EQ(v.pclGetTraitement()->nGetSize(&n), 102);
    }
    CAny v;
    v.__SetType(static_cast<unsigned short>(0x0500 | TQTYPE_I2), 0);
    EXPECT_EQ(v.nGetType(), TQTYPE_I2);
}

TEST(AnyTest, SetTypeKeepsOrRebuilds)
{
    CLiveBlockCheck clCheck;
    // The same whole type word: nothing happens, the content stays.
    CAny v;
    Set<int>(v, TQTYPE_I4, 42);
    v.__SetType(TQTYPE_I4, 0);
    EXPECT_EQ(Get<int>(v), 42);

    // A flag makes the word differ: the value is rebuilt and the flags go.
    v.SetFlags(TQFLAG_NULL | TQFLAG_0400);
    v.__SetType(TQTYPE_I4, 0);
    EXPECT_EQ(v.nGetType(), TQTYPE_I4);
    EXPECT_EQ(Get<int>(v), 0);

    // A NULL binary rebuilt: its block is released.
    CAny b;
    SetBin(b, "payload");
    b.SetNullFlag(true);
    b.__SetType(TQTYPE_BIN, 0);
    EXPECT_EQ(b.nGetType(), TQTYPE_BIN);
    EXPECT_EQ(BinBlock(b), nullptr);

    // No initialisation: the area is left for the caller.
    CAny c;
    Set<int>(c, TQTYPE_I4, 0x01020304);
    c.__SetType(TQTYPE_UI4, 1);
    EXPECT_EQ(c.nGetType(), TQTYPE_UI4);
    EXPECT_EQ(Get<unsigned>(c), 0x01020304u);

    // Moving to another type releases the old storage.
    SetBin(c, "abc");
    c.__SetType(TQTYPE_R8, 0);
    EXPECT_EQ(Get<double>(c), 0.0);
}

TEST(AnyTest, DirectIntegerAndRealReads)
{
    int n = 5;
    long long ll = 5;
    unsigned long long ull = 5;
    CAny v;

    Set<int>(v, TQTYPE_BOOL, 1);
    EXPECT_EQ(v.nGetINT(&n), 0);
    EXPECT_EQ(n, 1);
    EXPECT_EQ(v.nGetINT_64(&ll), 0);
    EXPECT_EQ(ll, 1);
    EXPECT_EQ(v.nGetBitField_64(ull), 105);
    EXPECT_EQ(ull, 0u);

    Set<unsigned char>(v, TQTYPE_UI1, 200);
    EXPECT_EQ(v.nGetINT(&n), 0);
    EXPECT_EQ(n, 200);
    Set<unsigned short>(v, TQTYPE_UI2, 65535);
    EXPECT_EQ(v.nGetINT(&n), 0);
    EXPECT_EQ(n, 65535);
    EXPECT_EQ(v.nGetINT_64(&ll), 0);
    EXPECT_EQ(ll, 65535);
    EXPECT_EQ(v.nGetBitField_64(ull), 0);
    EXPECT_EQ(ull, 65535u);

    Set<signed char>(v, TQTYPE_I1, -3);
    EXPECT_EQ(v.nGetINT(&n), 0);
    EXPECT_EQ(n, -3);
    EXPECT_EQ(v.nGetBitField_64(ull), 0);
    EXPECT_EQ(ull, 0xFFFFFFFFFFFFFFFDull);
    Set<short>(v, TQTYPE_I2, -300);
    EXPECT_EQ(v.nGetINT_64(&ll), 0);
    EXPECT_EQ(ll, -300);

    // A 32-bit unsigned value would fit, yet nGetINT does not read it.
    Set<unsigned>(v, TQTYPE_UI4, 4000000000u);
    n = 5;
    EXPECT_EQ(v.nGetINT(&n), 105);
    EXPECT_EQ(n, 0);
    EXPECT_EQ(v.nGetINT_64(&ll), 0);
    EXPECT_EQ(ll, 4000000000ll);

    Set<unsigned long long>(v, TQTYPE_UI8, 0xFFFFFFFFFFFFFFFFull);
    EXPECT_EQ(v.nGetINT_64(&ll), 105);
    EXPECT_EQ(ll, 0);
    EXPECT_EQ(v.nGetBitField_64(ull), 0);
    EXPECT_EQ(ull, 0xFFFFFFFFFFFFFFFFull);

    Set<long long>(v, TQTYPE_I8, -5000000000ll);
    EXPECT_EQ(v.nGetINT_64(&ll), 0);
    EXPECT_EQ(ll, -5000000000ll);
    EXPECT_EQ(v.nGetINT(&n), 105);

    Set<int>(v, TQTYPE_UIX, -7);
    EXPECT_EQ(v.nGetINT(&n), 0);
    EXPECT_EQ(n, -7);
    EXPECT_EQ(v.nGetINT_64(&ll), 105);
    EXPECT_EQ(v.nGetBitField_64(ull), 0);
    EXPECT_EQ(ull, 0xFFFFFFFFFFFFFFF9ull);

    // Flags make every direct read fail, output cleared.
    Set<int>(v, TQTYPE_I4, 9);
    v.SetNullFlag(true);
    n = 5;
    EXPECT_EQ(v.nGetINT(&n), 105);
    EXPECT_EQ(n, 0);
    v.SetFlags(TQFLAG_0400);
    EXPECT_EQ(v.nGetINT_64(&ll), 105);

    // Reals: only 11 and 12; otherwise the output is left untouched.
    double d = 7.0;
    Set<float>(v, TQTYPE_R4, 1.5f);
    EXPECT_EQ(v.nGetREAL(&d), 0);
    EXPECT_EQ(d, 1.5);
    Set<double>(v, TQTYPE_R8, -2.25);
    EXPECT_EQ(v.nGetREAL(&d), 0);
    EXPECT_EQ(d, -2.25);
    EXPECT_EQ(v.nGetINT(&n), 105);
    d = 7.0;
    Set<int>(v, TQTYPE_I4, 3);
    EXPECT_EQ(v.nGetREAL(&d), 105);
    EXPECT_EQ(d, 7.0);
}

TEST(AnyTest, ManipAUBGivesTheBinaryBlock)
{
    CLiveBlockCheck clCheck;
    CAny v;
    SetBin(v, "xyz");
    v.SetNullFlag(true);
    STManipAUB st = {nullptr, 0};
    EXPECT_EQ(v.nGetManipAUB(&st), 0);
    EXPECT_EQ(st.m_pData, BinBlock(v));
    EXPECT_EQ(st.m_nType, static_cast<unsigned>(TQTYPE_BIN | TQFLAG_NULL));
    unsigned nSize = 0;
    const unsigned char* p = st.pbyGetContenu(nSize);
    EXPECT_EQ(nSize, 3u);
    EXPECT_EQ(std::memcmp(p, "xyz", 3), 0);

    CAny i(TQTYPE_I4);
    EXPECT_EQ(i.nGetManipAUB(&st), 105);
    // Only strings are unshared; other types answer 0.
    EXPECT_EQ(i.nUnshare(), 0);
    EXPECT_EQ(v.nUnshare(), 0);
}

TEST(AnyTest, TransfertReleasesTheOldStorageOnce)
{
    CLiveBlockCheck clCheck;
    // Binary to integer: the block goes back.
    {
        CAny v;
        SetBin(v, "old");
        unsigned char aby[CAny::VALEUR_SIZE] = {};
        const int n = -12345;
        std::memcpy(aby, &n, sizeof(n));
        v.__TransfertValeurInterne(TQTYPE_I4, aby);
        EXPECT_EQ(v.nGetType(), TQTYPE_I4);
        int r = 0;
        EXPECT_EQ(v.nGetINT(&r), 0);
        EXPECT_EQ(r, -12345);
    }
    // Binary to binary of the same type word: the old block is released
    // once, the handed reference adopted and released once at the end.
    {
        CAny v, w;
        SetBin(v, "old");
        SetBin(w, "other");
        const CTQBIN* pclW = reinterpret_cast<const CTQBIN*>(w.pbyGetValeur());
        alignas(4) unsigned char aby[CAny::VALEUR_SIZE] = {};
        ::new (static_cast<void*>(aby)) CTQBIN(*pclW);  // one reference for v
        EXPECT_EQ(CBaseStrMem::s_nGetRefCount(pclW->pGetData()), 2);
        v.__TransfertValeurInterne(TQTYPE_BIN, aby);
        EXPECT_EQ(v.nGetType(), TQTYPE_BIN);
        EXPECT_EQ(BinBlock(v), pclW->pGetData());
        EXPECT_EQ(CBaseStrMem::s_nGetRefCount(pclW->pGetData()), 2);
    }
    // A flagged array of binaries to a real: every element released.
    {
        CAny a[2];
        SetBin(a[0], "e0");
        SetBin(a[1], "e1");
        CAny v(TQTYPE_TABANY);
        v.pclGetTraitement()->SetValue(a, 2);
        v.SetNullFlag(true);
        unsigned char aby[CAny::VALEUR_SIZE] = {};
        const double d = 2.5;
        std::memcpy(aby, &d, sizeof(d));
        v.__TransfertValeurInterne(TQTYPE_R8, aby);
        EXPECT_EQ(v.nGetType(), TQTYPE_R8);
        EXPECT_EQ(Get<double>(v), 2.5);
    }
    // A code without a row leaves the empty value.
    {
        CAny v(TQTYPE_I4);
        unsigned char aby[CAny::VALEUR_SIZE] = {};
        v.__TransfertValeurInterne(20, aby);
        EXPECT_EQ(v.nGetType(), 0);
    }
}

TEST(AnyTest, BinaryOfEightBytesBecomesDurationOrDateTime)
{
    CLiveBlockCheck clCheck;
    const unsigned char aby[8] = {0x10, 0x20, 0x30, 0x40, 0x50, 0x60, 0x70, 0x01};
    {
        CAny v;
        v.__SetType(TQTYPE_BIN, 0);
        v.pclGetTraitement()->SetValue(aby, 8);
        EXPECT_EQ(v.nCastFrom_BIN_DUREE_To_DUREE(), 0);
        EXPECT_EQ(v.nGetType(), TQTYPE_DUREE);
        EXPECT_EQ(std::memcmp(v.pbyGetValeur(), aby, 8), 0);
    }
    {
        CAny v;
        v.__SetType(TQTYPE_BIN, 0);
        v.pclGetTraitement()->SetValue(aby, 8);
        EXPECT_EQ(v.nCastFrom_BIN_DATEHEURE_To_DATEHEURE(), 0);
        EXPECT_EQ(v.nGetType(), TQTYPE_DATETIME);
        EXPECT_EQ(std::memcmp(v.pbyGetValeur(), aby, 8), 0);
    }
    // Not 8 bytes, no bytes, not a binary: 104 and nothing changes.
    CAny v;
    v.__SetType(TQTYPE_BIN, 0);
    v.pclGetTraitement()->SetValue(aby, 7);
    EXPECT_EQ(v.nCastFrom_BIN_DUREE_To_DUREE(), 104);
    EXPECT_EQ(v.nGetType(), TQTYPE_BIN);
    unsigned n = 0;
    v.pclGetTraitement()->nGetDataSize(&n);
    EXPECT_EQ(n, 7u);
    v.__SetType(TQTYPE_BUFFER, 0);
    v.__SetType(TQTYPE_BIN, 0);
    EXPECT_EQ(v.nCastFrom_BIN_DATEHEURE_To_DATEHEURE(), 104);
    CAny i(TQTYPE_I8);
    EXPECT_EQ(i.nCastFrom_BIN_DUREE_To_DUREE(), 104);
    EXPECT_EQ(i.nGetType(), TQTYPE_I8);
}

TEST(AnyTest, DupliqueCarriesValueAndFlags)
{
    CAny v, w;
    Set<short>(v, TQTYPE_I2, -77);
    v.SetFlags(TQFLAG_NULL);
    v.pclGetTraitement()->Duplique(&w);
    EXPECT_EQ(w.nGetType(), TQTYPE_I2 | TQFLAG_NULL);
    EXPECT_EQ(Get<short>(w), -77);

    // Into a target of another type with its own flags.
    CAny x;
    Set<double>(x, TQTYPE_R8, 3.5);
    x.SetFlags(TQFLAG_NULL);
    v.SetFlags(TQFLAG_0400);
    v.pclGetTraitement()->Duplique(&x);
    EXPECT_EQ(x.nGetType(), TQTYPE_I2 | TQFLAG_0400);
    EXPECT_EQ(Get<short>(x), -77);

    // Onto itself: unchanged, flags kept.
    v.SetFlags(TQFLAG_NULL | TQFLAG_0400);
    v.pclGetTraitement()->Duplique(&v);
    EXPECT_EQ(v.nGetType(), TQTYPE_I2 | TQFLAG_NULL | TQFLAG_0400);
    EXPECT_EQ(Get<short>(v), -77);

    // A 15 stays an 8 in the copy; a currency copies its 10 bytes.
    CAny a, b;
    Set<int>(a, TQTYPE_I4BIS, 5);
    a.pclGetTraitement()->Duplique(&b);
    EXPECT_EQ(b.nGetType(), TQTYPE_I4);
    a.__SetType(TQTYPE_CY, 0);
    const unsigned char abyCY[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    a.pclGetTraitement()->SetValue(abyCY);
    a.pclGetTraitement()->Duplique(&b);
    EXPECT_EQ(b.nGetType(), TQTYPE_CY);
    EXPECT_EQ(std::memcmp(b.pbyGetValeur(), abyCY, 10), 0);
}

TEST(AnyTest, TypeTables)
{
    // Rows of the host's table, and codes left at 0.
    EXPECT_EQ(tqTabSizeType[1], 4);
    EXPECT_EQ(tqTabSizeType[10], 10);
    EXPECT_EQ(tqTabSizeType[13], 0);
    EXPECT_EQ(tqTabSizeType[18], 0);
    EXPECT_EQ(tqTabSizeType[24], 36);
    EXPECT_EQ(tqTabSizeType[25], 40);
    EXPECT_EQ(tqTabSizeType[31], sizeof(CAny));
    EXPECT_EQ(tqTabSizeType[50], sizeof(CAny));
    EXPECT_EQ(tqTabSizeType[128], 9);
    EXPECT_EQ(tqTabSizeType[129], 10);
    EXPECT_EQ(tqTabSizeType[138], 4);
    EXPECT_EQ(tqTabSizeType[143], 0);
    EXPECT_EQ(tqTabSizeTypeC[2], 4);
    EXPECT_EQ(tqTabSizeTypeC[5], 8);
    EXPECT_EQ(tqTabSizeTypeC[10], 0);
    EXPECT_EQ(tqTabSizeTypeC[15], 0);
    EXPECT_EQ(tqTabSizeTypeC[81], 4);
    EXPECT_EQ(tqTabSizeTypeC[137], 0);
    EXPECT_EQ(tqTabSizeTypeC[138], 4);
    EXPECT_EQ(gbTabTypeSpecial[12], 0);
    EXPECT_EQ(gbTabTypeSpecial[13], 1);
    EXPECT_EQ(gbTabTypeSpecial[15], 0);
    EXPECT_EQ(gbTabTypeSpecial[18], 0);
    EXPECT_EQ(gbTabTypeSpecial[141], 1);
    EXPECT_EQ(gbTabTypeSpecial[142], 0);
    // 65 rows in all, of which the 14 plain numeric ones are not special.
    int nRows = 0, nSpecial = 0;
    for (int i = 0; i <= TQTYPE_MAX; ++i) {
        nSpecial += gbTabTypeSpecial[i];
        nRows += gbTabTypeSpecial[i] != 0 || tqTabSizeType[i] != 0 || tqTabSizeTypeC[i] != 0;
    }
    EXPECT_EQ(nSpecial, 51);
    EXPECT_EQ(nRows, 51 + 14);

    // The module exports them under their C names.
    void* h = dlopen(ZT_BUILD_DIR "/zt190msql.so", RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(h, nullptr) << dlerror();
    const unsigned short* p = static_cast<const unsigned short*>(dlsym(h, "tqTabSizeType"));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p[24], 36);
    EXPECT_NE(dlsym(h, "tqTabSizeTypeC"), nullptr);
    EXPECT_NE(dlsym(h, "gbTabTypeSpecial"), nullptr);
    dlclose(h);
}

TEST(AnyTest, TextRowsAndStringBlocks)
{
    // New date and time texts from the shipped defaults: an empty date and
    // the time "0000" padded to nine digits.
    CAny t(TQTYPE_TIMEW), d(TQTYPE_DATEW), ta(TQTYPE_TIMEA), da(TQTYPE_DATEA);
    EXPECT_STREQ(reinterpret_cast<const wchar_t*>(t.pbyGetValeur()), L"000000000");
    EXPECT_STREQ(reinterpret_cast<const wchar_t*>(d.pbyGetValeur()), L"");
    EXPECT_STREQ(reinterpret_cast<const char*>(ta.pbyGetValeur()), "000000000");
    EXPECT_STREQ(reinterpret_cast<const char*>(da.pbyGetValeur()), "");

    CLiveBlockCheck clCheck;
    CXYString<char> cl("shared", 6);
    {
        // A 19 value adopting one reference to the handle's block.
        CAny v;
        alignas(4) unsigned char aby[CAny::VALEUR_SIZE] = {};
        ::new (static_cast<void*>(aby)) CXYString<char>(cl);
        v.__TransfertValeurInterne(TQTYPE_DSTRA, aby);
        ASSERT_EQ(v.nGetType(), TQTYPE_DSTRA);
        EXPECT_EQ(BinBlock(v), cl.pGetData());
        STManipAUB st = {nullptr, 0};
        EXPECT_EQ(v.nGetManipAUB(&st), 0);
        EXPECT_EQ(st.m_pData, cl.pGetData());
        EXPECT_EQ(st.m_nType, static_cast<unsigned>(TQTYPE_DSTRA));

        // Unsharing gives the value a block of its own with the same text.
        EXPECT_EQ(v.nUnshare(), 0);
        EXPECT_NE(BinBlock(v), cl.pGetData());
        EXPECT_EQ(std::memcmp(BinBlock(v), "shared", 7), 0);
        EXPECT_EQ(CBaseStrMem::s_nGetRefCount(cl.pGetData()), 1);
        // A NULL string is not unshared.
        v.SetNullFlag(true);
        void* pBlock = BinBlock(v);
        EXPECT_EQ(v.nUnshare(), 0);
        EXPECT_EQ(BinBlock(v), pBlock);
    }
}
