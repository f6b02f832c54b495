#include "common/values/Any.h"

#include "common/text/TQBIN.h"
#include "common/values/AnyTreatments.h"

#include "tests/support/AnyValue.h"
#include "tests/support/TestHost.h"
#include "tests/support/Paths.h"

#include <cstring>
#include <dlfcn.h>

namespace {

void* BinBlock(const CAny& v) { return Get<void*>(v); }

void** Vtable(const CAny_Intern* p) { return *reinterpret_cast<void** const*>(p); }

int g_nSlot = -1;

// Records which operation ran: slot n stores n.
#define ZT_SLOT(n, ret, ...) \
    ret __VA_ARGS__ override { g_nSlot = n; return static_cast<ret>(n); }
class CRecorder : public CAny_Intern {
public:
    ZT_SLOT(2, void, Duplique(CAny*) const) ZT_SLOT(3, int, nGetSize(unsigned int*) const)
    ZT_SLOT(4, int, nGetAdr(void**) const) ZT_SLOT(5, int, nFillBuffer(void*) const)
    ZT_SLOT(6, int, nGetDataSize(unsigned int*) const) ZT_SLOT(7, int, nGetDataAdr(void**) const)
    ZT_SLOT(8, int, nFillDataBuffer(void*) const) ZT_SLOT(9, void, SetValue(const void*))
    ZT_SLOT(10, void, SetValue(const void*, unsigned int)) ZT_SLOT(11, int, nGetPCASTR(const char**) const)
    ZT_SLOT(12, int, nGetPCWSTR(const wchar_t**) const) ZT_SLOT(13, int, nGetSTRLEN(unsigned int*) const)
    ZT_SLOT(14, bool, bIsPositive() const) ZT_SLOT(15, int, nGetUtilDataSize(unsigned int*) const)
    ZT_SLOT(16, int, nFillUtilDataBuffer(void*) const) ZT_SLOT(17, int, nIncremente())
    ZT_SLOT(18, int, nDecremente()) ZT_SLOT(19, void, SetValueFromANSI(const void*))
    ZT_SLOT(20, void, SetValueFromANSI(const void*, unsigned int)) ZT_SLOT(21, void, SetValueFromUNICODE(const void*))
    ZT_SLOT(22, void, SetValueFromUNICODE(const void*, unsigned int))
    ZT_SLOT(23, void, SetValueFromANSI_CP(int, const void*))
    ZT_SLOT(24, void, SetValueFromANSI_CP(int, const void*, unsigned int))
    ZT_SLOT(25, void, SetValueFromUNICODE_CP(int, const void*))
    ZT_SLOT(26, void, SetValueFromUNICODE_CP(int, const void*, unsigned int))
    ZT_SLOT(27, void, SetValueOption(const void*, unsigned int, unsigned int))
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
}

TEST(AnyTest, SlotOrderIsTheHostOne)
{
    // Called the way the host calls them: through the vtable by index, the
    // object as first argument.
    typedef void (*PFN)(const void*, const void*, const void*, const void*);
    CRecorder clRecorder;
    for (int i = 2; i <= 27; ++i) {
        g_nSlot = -1;
        reinterpret_cast<PFN>(Vtable(&clRecorder)[i])(&clRecorder, nullptr, nullptr, nullptr);
        EXPECT_EQ(g_nSlot, i);
    }

    // Slot 1, the deleting entry: releases the block and leaves the empty
    // treatment in the value, which stays usable.
    CLiveBlockCheck clCheck;
    CAny b, vide;
    SetBin(b, "12345");
    typedef void (*PFNDTOR)(CAny_Intern*);
    reinterpret_cast<PFNDTOR>(Vtable(b.pclGetTraitement())[1])(b.pclGetTraitement());
    EXPECT_EQ(Vtable(b.pclGetTraitement()), Vtable(vide.pclGetTraitement()));
    EXPECT_EQ(BinBlock(b), nullptr);
    unsigned n = 0;
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

TEST(AnyTest, EmptyValueHasNothingToGive)
{
    CAny v;
    unsigned n = 7;
    const char* psz = "x";
    EXPECT_EQ(v.pclGetTraitement()->nGetSize(&n), 102);
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(v.pclGetTraitement()->nGetPCASTR(&psz), 105);
    EXPECT_EQ(psz, nullptr);

    // Copying the empty value only gives its flags.
    CAny cible;
    Set<short>(cible, TQTYPE_I2, 12);
    v.SetFlags(TQFLAG_NULL | TQFLAG_0400);
    v.pclGetTraitement()->Duplique(&cible);
    EXPECT_EQ(cible.nGetType(), TQTYPE_I2 | TQFLAG_NULL | TQFLAG_0400);
    EXPECT_EQ(Get<short>(cible), 12);
}

TEST(AnyTest, SetTypeInstallsEachRowOrKeepsTheValue)
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
    for (unsigned short nType : {20, 31, 100, 144, 255}) {
        CAny v(TQTYPE_I4);
        v.__SetType(nType, 0);
        EXPECT_EQ(v.nGetType(), 0) << nType;
    }
    CAny v;
    v.__SetType(static_cast<unsigned short>(0x0500 | TQTYPE_I2), 0);
    EXPECT_EQ(v.nGetType(), TQTYPE_I2);

    // The same whole type word: nothing happens, the content stays.
    CLiveBlockCheck clCheck;
    Set<int>(v, TQTYPE_I4, 42);
    v.__SetType(TQTYPE_I4, 0);
    EXPECT_EQ(Get<int>(v), 42);

    // A flag makes the word differ: the value is rebuilt and the flags go.
    v.SetFlags(TQFLAG_NULL | TQFLAG_0400);
    v.__SetType(TQTYPE_I4, 0);
    EXPECT_EQ(v.nGetType(), TQTYPE_I4);
    EXPECT_EQ(Get<int>(v), 0);

    // A NULL binary rebuilt: its block is released.
    SetBin(v, "payload");
    v.SetNullFlag(true);
    v.__SetType(TQTYPE_BIN, 0);
    EXPECT_EQ(BinBlock(v), nullptr);

    // No initialisation: the area is left for the caller.
    Set<int>(v, TQTYPE_I4, 0x01020304);
    v.__SetType(TQTYPE_UI4, 1);
    EXPECT_EQ(Get<unsigned>(v), 0x01020304u);
}

TEST(AnyTest, DirectIntegerAndRealReads)
{
    // Whole type word, stored bits; then status and result of nGetINT,
    // nGetINT_64 and nGetBitField_64 (a failed read gives 0).
    struct Row {
        unsigned short nWord;
        unsigned long long ullBits;
        int nInt, nIntValue, nI64;
        long long llValue;
        int nBits;
        unsigned long long ullValue;
    };
    const Row aRows[] = {
        {TQTYPE_BOOL, 1, 0, 1, 0, 1, 105, 0},
        {TQTYPE_UI2, 65535, 0, 65535, 0, 65535, 0, 65535},
        {TQTYPE_I1, 0xFD, 0, -3, 0, -3, 0, 0xFFFFFFFFFFFFFFFDull},
        // A 32-bit unsigned value would fit, yet nGetINT does not read it.
        {TQTYPE_UI4, 4000000000u, 105, 0, 0, 4000000000ll, 0, 4000000000ull},
        {TQTYPE_UI8, ~0ull, 105, 0, 105, 0, 0, ~0ull},
        {TQTYPE_I8, static_cast<unsigned long long>(-5000000000ll), 105, 0, 0, -5000000000ll, 0,
         static_cast<unsigned long long>(-5000000000ll)},
        {TQTYPE_UIX, 0xFFFFFFF9u, 0, -7, 105, 0, 0, 0xFFFFFFFFFFFFFFF9ull},
        // Flags make every direct read fail.
        {TQTYPE_I4 | TQFLAG_NULL, 9, 105, 0, 105, 0, 105, 0},
        {TQTYPE_R8, 0x4000000000000000ull, 105, 0, 105, 0, 105, 0},
    };
    for (const Row& r : aRows) {
        SCOPED_TRACE(r.nWord);
        CAny v;
        Set(v, static_cast<unsigned short>(r.nWord & 0xFF), r.ullBits);
        v.SetFlags(r.nWord);
        int n = 5;
        long long ll = 5;
        unsigned long long ull = 5;
        EXPECT_EQ(v.nGetINT(&n), r.nInt);
        EXPECT_EQ(n, r.nIntValue);
        EXPECT_EQ(v.nGetINT_64(&ll), r.nI64);
        EXPECT_EQ(ll, r.llValue);
        EXPECT_EQ(v.nGetBitField_64(ull), r.nBits);
        EXPECT_EQ(ull, r.ullValue);
    }

    // Reals: only 11 and 12; otherwise the output is left untouched.
    CAny v;
    double d = 7.0;
    Set<float>(v, TQTYPE_R4, 1.5f);
    EXPECT_EQ(v.nGetREAL(&d), 0);
    EXPECT_EQ(d, 1.5);
    Set<int>(v, TQTYPE_I4, 3);
    EXPECT_EQ(v.nGetREAL(&d), 105);
    EXPECT_EQ(d, 1.5);
}

TEST(AnyTest, TransfertReleasesTheOldStorageOnce)
{
    CLiveBlockCheck clCheck;
    // Binary to binary of the same type word: the old block is released
    // once, the handed reference adopted and released once at the end.
    {
        CAny v, w;
        SetBin(v, "old");
        SetBin(w, "other");
        const CTQBIN* pclW = reinterpret_cast<const CTQBIN*>(w.pbyGetValeur());
        alignas(4) unsigned char aby[CAny::VALEUR_SIZE] = {};
        ::new (static_cast<void*>(aby)) CTQBIN(*pclW);  // one reference for v
        v.__TransfertValeurInterne(TQTYPE_BIN, aby);
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
    CAny v(TQTYPE_I4);
    unsigned char aby[CAny::VALEUR_SIZE] = {};
    v.__TransfertValeurInterne(20, aby);
    EXPECT_EQ(v.nGetType(), 0);
}

TEST(AnyTest, BinaryOfEightBytesBecomesDurationOrDateTime)
{
    CLiveBlockCheck clCheck;
    const unsigned char aby[8] = {0x10, 0x20, 0x30, 0x40, 0x50, 0x60, 0x70, 0x01};
    for (bool bDuree : {true, false}) {
        CAny v;
        v.__SetType(TQTYPE_BIN, 0);
        v.pclGetTraitement()->SetValue(aby, 8);
        v.SetFlags(TQFLAG_0400);
        EXPECT_EQ(bDuree ? v.nCastFrom_BIN_DUREE_To_DUREE() : v.nCastFrom_BIN_DATEHEURE_To_DATEHEURE(), 0);
        EXPECT_EQ(v.nGetType(), (bDuree ? TQTYPE_DUREE : TQTYPE_DATETIME) | TQFLAG_0400);
        EXPECT_EQ(std::memcmp(v.pbyGetValeur(), aby, 8), 0);
    }
    // Not 8 bytes, not a binary: 104 and nothing changes.
    CAny v, i(TQTYPE_I8);
    v.__SetType(TQTYPE_BIN, 0);
    v.pclGetTraitement()->SetValue(aby, 7);
    EXPECT_EQ(v.nCastFrom_BIN_DUREE_To_DUREE(), 104);
    EXPECT_EQ(v.nGetType(), TQTYPE_BIN);
    EXPECT_EQ(i.nCastFrom_BIN_DATEHEURE_To_DATEHEURE(), 104);
}

TEST(AnyTest, DupliqueCarriesValueAndFlags)
{
    // The target's own flags go; onto itself nothing changes.
    CAny v, x;
    Set<short>(v, TQTYPE_I2, -77);
    x.SetFlags(TQFLAG_NULL);
    v.SetFlags(TQFLAG_0400);
    v.pclGetTraitement()->Duplique(&x);
    EXPECT_EQ(x.nGetType(), TQTYPE_I2 | TQFLAG_0400);
    v.pclGetTraitement()->Duplique(&v);
    EXPECT_EQ(v.nGetType(), TQTYPE_I2 | TQFLAG_0400);
    EXPECT_EQ(Get<short>(v), -77);

    // A 15 stays an 8 in the copy.
    Set<int>(v, TQTYPE_I4BIS, 5);
    v.pclGetTraitement()->Duplique(&x);
    EXPECT_EQ(x.nGetType(), TQTYPE_I4);
}

TEST(AnyTest, TypeTables)
{
    // Rows of the host's tables (code, size, C size, special), and codes left at 0.
    const int aRows[][4] = {{1, 4, 4, 0},    {5, 8, 8, 0},   {10, 10, 0, 0}, {13, 0, 0, 1},  {18, 0, 0, 0},
                            {24, 36, 0, 1},  {25, 40, 0, 1}, {31, 52, 0, 1}, {50, 52, 0, 1}, {81, 4, 4, 1},
                            {128, 9, 0, 1},  {129, 10, 0, 1}, {137, 4, 0, 1}, {138, 4, 4, 1}, {141, 0, 0, 1},
                            {142, 0, 0, 0},  {143, 0, 0, 0}};
    for (const auto& r : aRows) {
        EXPECT_EQ(tqTabSizeType[r[0]], r[1]) << r[0];
        EXPECT_EQ(tqTabSizeTypeC[r[0]], r[2]) << r[0];
        EXPECT_EQ(gbTabTypeSpecial[r[0]], r[3]) << r[0];
    }
    // The module exports them under their C names.
    void* h = dlopen(BuildPath("zt190msql.so").c_str(), RTLD_NOW | RTLD_LOCAL);
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
    CAny t(TQTYPE_TIMEW), d(TQTYPE_DATEW), ta(TQTYPE_TIMEA);
    EXPECT_STREQ(reinterpret_cast<const wchar_t*>(t.pbyGetValeur()), L"000000000");
    EXPECT_STREQ(reinterpret_cast<const wchar_t*>(d.pbyGetValeur()), L"");
    EXPECT_STREQ(reinterpret_cast<const char*>(ta.pbyGetValeur()), "000000000");

    CLiveBlockCheck clCheck;
    CXYString<char> cl("shared", 6);
    CAny v;
    alignas(4) unsigned char aby[CAny::VALEUR_SIZE] = {};
    ::new (static_cast<void*>(aby)) CXYString<char>(cl);
    v.__TransfertValeurInterne(TQTYPE_DSTRA, aby);
    ASSERT_EQ(v.nGetType(), TQTYPE_DSTRA);
    STManipAUB st = {nullptr, 0};
    EXPECT_EQ(v.nGetManipAUB(&st), 0);
    EXPECT_EQ(st.m_pData, cl.pGetData());
    EXPECT_EQ(st.m_nType, static_cast<unsigned>(TQTYPE_DSTRA));

    // Unsharing gives the value a block of its own with the same text.
    EXPECT_EQ(v.nUnshare(), 0);
    EXPECT_NE(BinBlock(v), cl.pGetData());
    EXPECT_EQ(std::memcmp(BinBlock(v), "shared", 7), 0);
    EXPECT_EQ(CBaseStrMem::s_nGetRefCount(cl.pGetData()), 1);
    // A NULL string is not unshared; its block comes with the whole type word.
    v.SetNullFlag(true);
    void* pBlock = BinBlock(v);
    EXPECT_EQ(v.nUnshare(), 0);
    EXPECT_EQ(BinBlock(v), pBlock);
    EXPECT_EQ(v.nGetManipAUB(&st), 0);
    EXPECT_EQ(st.m_nType, static_cast<unsigned>(TQTYPE_DSTRA | TQFLAG_NULL));
    CAny i(TQTYPE_I4);
    EXPECT_EQ(i.nGetManipAUB(&st), 105);
}
