// Host values through the stand-in runtime's value machine, bound with the
// runtime library's handle. Only what the module fixes is asserted (statuses,
// type words, flags, call forms, ownership), not the machine's text forms.
#include "common/values/AnyConvert.h"

#include "common/text/CodePage.h"
#include "common/text/XYString.h"
#include "common/values/Any.h"
#include "common/values/Decimal.h"
#include "tests/support/ValueCells.h"
#include "tests/support/Paths.h"

#include <cstring>
#include <cwchar>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

namespace {

bool bBind() { return bInitTQConvFromVM(StandIn(), 2, 2) == 1 && bInitTQCalcFromVM(StandIn(), 2, 2) == 1; }

// The test program's own handle has none of the machine's names.
void Unbind()
{
    void* hSelf = dlopen(nullptr, RTLD_NOW);
    EXPECT_EQ(bInitTQConvFromVM(hSelf, 2, 2), 0);
    EXPECT_EQ(bInitTQCalcFromVM(hSelf, 2, 2), 0);
}

// A wide text by pointer (110) or as a host string (16).
void SetText(CAny& v, const wchar_t* psz, unsigned short nType = TQTYPE_PSTRW)
{
    v.__SetType(nType, 0);
    v.pclGetTraitement()->SetValue(psz, static_cast<unsigned>(std::wcslen(psz) * sizeof(wchar_t)));
}

// A decimal value of a real, cast by the machine.
void SetDecimal(CAny& v, double d)
{
    Set(v, TQTYPE_R8, d);
    ASSERT_EQ(v.__nCastTo(TQTYPE_DECIMAL, nullptr, 1), 0);
}

// The value as a double, through a cast of a copy without flags.
double Real(const CAny& v)
{
    CAny clCopy;
    v.pclGetTraitement()->Duplique(&clCopy);
    clCopy.SetFlags(0);
    EXPECT_LE(clCopy.__nCastTo(TQTYPE_R8, nullptr, 1), 99);
    return Get<double>(clCopy);
}

std::wstring Str(const CXYString<wchar_t>& cl) { return std::wstring(cl.pszGet(), cl.nGetLength()); }

const void* Block(const CAny& v) { return Get<const void*>(v); }

// Every test starts bound and must give back what it took: host blocks and
// the machine's decimal objects.
class AnyConvertTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(bBind()); }
    void TearDown() override { EXPECT_EQ(Machine().nBadReleases(), 0); }

    CNoLeak m_noLeak;
};

}  // namespace

// ---- Binding ------------------------------------------------------------------------------

TEST(AnyConvertBinding, BindsEveryNameFromTheRuntimeHandle)
{
    ASSERT_NE(StandIn(), nullptr);
    Unbind();
    EXPECT_EQ(bInitTQConvFromVM(StandIn(), 1, 0), 0);
    EXPECT_EQ(bInitTQConvFromVM(StandIn(), 2, 3), 0);
    EXPECT_EQ(bInitTQCalcFromVM(StandIn(), 1, 0), 0);
    EXPECT_EQ(bInitTQCalcFromVM(StandIn(), 2, 3), 0);
    EXPECT_EQ(gpfnConvDepExt, nullptr);
    EXPECT_EQ(gpfnEgaliteEx, nullptr);

    ASSERT_EQ(bInitTQConvFromVM(StandIn(), 3, 2), 1);
    EXPECT_EQ(reinterpret_cast<void*>(gpfnConvDepExt), dlsym(StandIn(), "nConversionDepassementExt"));
    EXPECT_EQ(reinterpret_cast<void*>(gpfnFinConv), dlsym(StandIn(), "FinConversion"));
    EXPECT_EQ(ghConvVM, StandIn());
    EXPECT_EQ(gnVersionConvVM * 10 + gnVersionCompatConvVM, 32);
    // The factory is the machine's answer to service 102.
    EXPECT_NE(gpiVMFactory, nullptr);
    EXPECT_STREQ(Machine().RecentCall(0).szName, "pQueryProxy");
    EXPECT_EQ(Machine().RecentCall(0).nOption, 102u);

    ASSERT_EQ(bInitTQCalcFromVM(StandIn(), 2, 1), 1);
    EXPECT_EQ(ghCalcVM, StandIn());
    EXPECT_EQ(gnVersionCompatCalcVM, 1);
    // The first and the last operator looked up; most others are seen
    // called by name below.
    EXPECT_EQ(reinterpret_cast<void*>(gpfnCanCompareEx), dlsym(StandIn(), "bCanCompareEx"));
    EXPECT_EQ(reinterpret_cast<void*>(gpfnModuloEx), dlsym(StandIn(), "nModuloEx"));
}

TEST(AnyConvertBinding, AHandleMissingOneNameBindsNothing)
{
    ASSERT_TRUE(bBind());
    // A copy of the runtime library lacking the last operator looked up (its
    // name spelt otherwise): no operator is bound; the converter stays.
    std::ifstream in(BuildPath(HOSTSTANDIN_LIBRARY), std::ios::binary);
    std::string image((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::string name("\0nModuloEx\0", 11);
    for (std::size_t pos = image.find(name); pos != std::string::npos; pos = image.find(name, pos + 1))
        image[pos + 1] = 'Q';
    char szPath[] = "/tmp/ztvmXXXXXX";
    const int fd = mkstemp(szPath);
    EXPECT_EQ(write(fd, image.data(), image.size()), static_cast<ssize_t>(image.size()));
    close(fd);
    void* h = dlopen(szPath, RTLD_NOW | RTLD_LOCAL);
    unlink(szPath);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(bInitTQCalcFromVM(h, 2, 2), 0);
    EXPECT_EQ(gpfnCanCompareEx, nullptr);
    EXPECT_NE(gpfnConvDepExt, nullptr);
    dlclose(h);
    // A null handle would make dlsym search the whole process.
    EXPECT_EQ(bInitTQConvFromVM(nullptr, 2, 2), 0);
    EXPECT_EQ(bInitFactory(nullptr), 0);
    ASSERT_TRUE(bBind());
}

TEST(AnyConvertBinding, UnboundOperationsAnswer105WithoutCalling)
{
    Unbind();
    const int nCalls = Machine().nCalls();
    {
        CLiveBlockCheck check;
        // A decimal made before the binding holds no object and gives no data.
        CAny d(TQTYPE_DECIMAL);
        EXPECT_EQ(Block(d), nullptr);
        unsigned char aby[IDecimal::DATA_SIZE] = {1, 2, 3};
        d.pclGetTraitement()->SetValue(aby, IDecimal::DATA_SIZE);
        EXPECT_EQ(d.pclGetTraitement()->nFillDataBuffer(aby), 105);

        CAny a, b, r;
        Set(a, TQTYPE_I4, 5);
        Set(b, TQTYPE_I4, 7);
        Set(r, TQTYPE_I4, 99);
        EXPECT_EQ(a.__nCastTo(TQTYPE_R8, nullptr, 1), 105);
        EXPECT_EQ(a.nGetType(), TQTYPE_I4);
        int n = 42;
        EXPECT_EQ(nDifferent(&a, &b, &n, 0), 105);
        EXPECT_EQ(n, 42);
        EXPECT_EQ(nAjoute(&a, &b, &r, 0), 105);
        EXPECT_EQ(nIncrementeNumerique(&r, &b), 105);
        EXPECT_EQ(Get<int>(r), 99);
        CXYString<wchar_t> cl;
        EXPECT_EQ(nGetString(&cl, a, L"v=", 0), 105);
        EXPECT_EQ(Str(cl), L"v=<ERROR>");
    }
    EXPECT_EQ(Machine().nCalls(), nCalls);
    ASSERT_TRUE(bBind());
}

TEST(AnyConvertBinding, PassesTheBindingOnToAnotherModule)
{
    ASSERT_TRUE(bBind());
    // The driver module exports the entries and the bindings by name.
    void* hModule = dlopen(BuildPath("zt190msql.so").c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(hModule, nullptr) << dlerror();
    void** ppfnModulo = static_cast<void**>(dlsym(hModule, "gpfnModuloEx"));
    ASSERT_NE(ppfnModulo, nullptr);
    EXPECT_EQ(*ppfnModulo, nullptr);
    EXPECT_EQ(bInitTQCalcFromServeur(hModule), 1);
    EXPECT_EQ(*ppfnModulo, dlsym(StandIn(), "nModuloEx"));
    EXPECT_EQ(bInitTQConvFromServeur_OBSOLETE(hModule), 1);
    EXPECT_EQ(*static_cast<void**>(dlsym(hModule, "gpfnConvDepExt")), dlsym(StandIn(), "nConversionDepassementExt"));
    dlclose(hModule);
}

// ---- Casts ----------------------------------------------------------------------------------

TEST_F(AnyConvertTest, CastConvertsInPlaceAndKeepsTheFlags)
{
    CAny v;
    Set(v, TQTYPE_I4, 42);
    STOCAW st{1252};
    ASSERT_EQ(v.__nCastTo(TQTYPE_R8, &st, 7), 0);
    EXPECT_EQ(Get<double>(v), 42.0);
    // The converter got the source type byte, the target, the option word
    // and the options record; its result was then released.
    HostVMCall conv = Machine().RecentCall(1);
    EXPECT_STREQ(conv.szName, "nConversionDepassementExt");
    EXPECT_EQ(conv.nType1, TQTYPE_I4);
    EXPECT_EQ(conv.nType2, TQTYPE_R8);
    EXPECT_EQ(conv.nOption, 7u);
    EXPECT_EQ(conv.pOptions, &st);
    EXPECT_STREQ(Machine().RecentCall(0).szName, "FinConversion");

    // Flags survive the cast; the machine is given the type byte only.
    v.SetFlags(TQFLAG_NULL | TQFLAG_0400);
    ASSERT_EQ(v.__nCastTo(TQTYPE_I8, nullptr, 1), 0);
    EXPECT_EQ(v.nGetType(), TQTYPE_I8 | TQFLAG_NULL | TQFLAG_0400);
    EXPECT_EQ(Get<long long>(v), 42);

    // A failed cast leaves the value as it was.
    Set(v, TQTYPE_R8, 1e300);
    v.SetFlags(TQFLAG_0400);
    EXPECT_GT(v.__nCastTo(TQTYPE_I4, nullptr, 1), 99);
    EXPECT_EQ(v.nGetType(), TQTYPE_R8 | TQFLAG_0400);
    EXPECT_EQ(Get<double>(v), 1e300);
    EXPECT_EQ(v.__nCastTo(TQTYPE_TABANY, nullptr, 1), 105);
}

TEST_F(AnyConvertTest, StringCasts)
{
    // To a wide text in place; a text already is answered without a call.
    CAny v;
    Set(v, TQTYPE_R8, 2.5);
    const wchar_t* psz = nullptr;
    ASSERT_EQ(v.__nCastToString(&psz, nullptr), 0);
    EXPECT_EQ(v.nGetType(), TQTYPE_DSTRW);
    EXPECT_EQ(std::wcstod(psz, nullptr), 2.5);
    const int nCalls = Machine().nCalls();
    const wchar_t* psz2 = nullptr;
    EXPECT_EQ(v.__nCastToString(&psz2, nullptr), 0);
    EXPECT_EQ(psz2, psz);
    EXPECT_EQ(Machine().nCalls(), nCalls);

    // A wide text set as an 8-bit host string in the options' code page.
    Set(v, TQTYPE_I4, 1);
    v.SetFlags(TQFLAG_NULL);
    STOCAW stUtf8{65001};
    ASSERT_EQ(v.__nSetString(L"h\u00E9llo", 2, &stUtf8), 0);
    EXPECT_EQ(v.nGetType(), TQTYPE_DSTRA);
    EXPECT_EQ(Text8(v), "h\xC3\xA9");

    // From a text into a bare stored form: nothing written beyond it.
    struct {
        long long ll;
        unsigned dwGuard;
    } target = {0, 0xDEADBEEF};
    ASSERT_EQ(CAny::__s_nCastTo(&target.ll, L"123456789012", TQTYPE_I8, nullptr), 0);
    EXPECT_EQ(target.ll, 123456789012LL);
    EXPECT_EQ(target.dwGuard, 0xDEADBEEFu);
    EXPECT_EQ(Machine().RecentCall(0).nType1, TQTYPE_PSTRW);
    EXPECT_GT(CAny::__s_nCastTo(&target.ll, L"12x", TQTYPE_I8, nullptr), 99);
    EXPECT_EQ(target.ll, 123456789012LL);
}

TEST_F(AnyConvertTest, FillStringLeavesTheValueAlone)
{
    CAny v;
    Set(v, TQTYPE_I4, 12);
    CXYString<wchar_t> cl;
    ASSERT_EQ(v.__nFillString(cl, nullptr), 0);
    EXPECT_EQ(std::wcstol(cl.pszGet(), nullptr, 10), 12);
    EXPECT_EQ(v.nGetType(), TQTYPE_I4);

    // A wide host string is shared.
    CAny t;
    SetText(t, L"shared", TQTYPE_DSTRW);
    ASSERT_EQ(t.__nFillString(cl, nullptr), 0);
    EXPECT_EQ(cl.pGetData(), Block(t));
    EXPECT_EQ(CBaseStrMem::s_nGetRefCount(Block(t)), 2);
    // A direct text is copied: a shared block is left to its other holder.
    SetText(v, L"copied");
    ASSERT_EQ(v.__nFillString(cl, nullptr), 0);
    EXPECT_EQ(Str(cl), L"copied");
    EXPECT_EQ(CBaseStrMem::s_nGetRefCount(Block(t)), 1);
    // A NULL wide string is not shared: its text is copied.
    t.SetNullFlag(true);
    ASSERT_EQ(t.__nFillString(cl, nullptr), 0);
    EXPECT_EQ(Str(cl), L"shared");
    EXPECT_NE(cl.pGetData(), Block(t));

    // 8-bit strings through the code page of the options.
    CXYString<char> clA;
    SetText(v, L"\u00E9t\u00E9");
    STOCAW stUtf8{65001};
    ASSERT_EQ(v.__nFillString(clA, &stUtf8), 0);
    EXPECT_STREQ(clA.pszGet(), "\xC3\xA9t\xC3\xA9");
    ASSERT_EQ(v.__nFillString(clA, nullptr), 0);
    EXPECT_STREQ(clA.pszGet(), "\xE9t\xE9");
}

TEST_F(AnyConvertTest, TextsTooLongForAHostStringAnswer108)
{
    // A block header claiming more than a host string may hold; its bytes
    // are never read.
    struct {
        CBaseStrMem::STHeader header;
        char aby[8];
    } fake = {{0, 1000, 8, 0x7FFFFFF0u}, "abc"};
    const char* pData = fake.aby;
    CAny v(TQTYPE_DSTRA);
    std::memcpy(v.pbyGetValeur(), &pData, sizeof(pData));
    v.SetFlags(TQFLAG_0400);  // not exactly 19: copied, not shared
    CXYString<char> cl;
    EXPECT_EQ(v.__nFillString(cl, nullptr), 108);
    EXPECT_EQ(cl.pGetData(), nullptr);
    EXPECT_EQ(v.__nCastTo(TQTYPE_DSTRW, nullptr, 1), 108);
    EXPECT_EQ(v.nGetType(), TQTYPE_DSTRA | TQFLAG_0400);
    std::memset(v.pbyGetValeur(), 0, sizeof(void*));
    EXPECT_EQ(fake.header.nRefCount, 1000);
}

// ---- Comparisons and logic ---------------------------------------------------------------------

TEST_F(AnyConvertTest, ComparisonsLogicAndTheirValueResults)
{
    CAny three, five, fiveReal, text, start, middle, end, other, yes, no, r;
    Set(three, TQTYPE_I4, 3);
    Set(five, TQTYPE_I4, 5);
    Set(fiveReal, TQTYPE_R8, 5.0);
    SetText(text, L"Hello World");
    SetText(start, L"Hello", TQTYPE_DSTRW);
    SetText(middle, L"lo Wo");
    SetText(end, L"World");
    SetText(other, L"world");
    Set(yes, TQTYPE_BOOL, 1);
    Set(no, TQTYPE_BOOL, 0);
    // Less or equal is "not greater", greater or equal "not less"; case
    // differences are seen by the exact forms only.
    const struct {
        int (*pfn)(const CAny*, const CAny*, int*, unsigned);
        const char* pszCalled;
        const CAny *a, *b;
        int nExpected;
    } aCases[] = {
        {nEgalite, "nEgaliteEx", &five, &fiveReal, 1},         {nDifferent, "nEgaliteEx", &five, &fiveReal, 0},
        {nDifferent, "nEgaliteEx", &three, &five, 1},          {nSuperieur, "nSuperieurEx", &five, &three, 1},
        {nInferieur, "nInferieurEx", &five, &three, 0},        {nInfEgal, "nSuperieurEx", &three, &five, 1},
        {nInfEgal, "nSuperieurEx", &five, &fiveReal, 1},       {nInfEgal, "nSuperieurEx", &five, &three, 0},
        {nSupEgal, "nInferieurEx", &three, &five, 0},          {nSupEgal, "nInferieurEx", &five, &fiveReal, 1},
        {nCommencePar, "nCommenceParEx", &text, &start, 1},    {nCommencePar, "nCommenceParEx", &text, &end, 0},
        {nContient, "nContientEx", &text, &middle, 1},         {nTerminePar, "nTermineParEx", &text, &other, 0},
        {nTermineParSouple, "nTermineParSoupleEx", &text, &other, 1},
        {nTermineParTresSouple, "nTermineParTresSoupleEx", &text, &other, 1},
        {nContientSouple, "nContientSoupleEx", &text, &other, 1}, {nEgalite, "nEgaliteEx", &end, &other, 0},
        {nSoupleEgal, "nSoupleEgalEx", &end, &other, 1},       {nPresqueEgal, "nPresqueEgalEx", &end, &other, 1},
        {nAnd, "nETLogiqueEx", &yes, &no, 0},                  {nOr, "nOULogiqueEx", &yes, &no, 1},
    };
    for (const auto& c : aCases) {
        SCOPED_TRACE(c.pszCalled);
        int n = -7;
        EXPECT_EQ(c.pfn(c.a, c.b, &n, 0), 0);
        EXPECT_EQ(n, c.nExpected);
        EXPECT_STREQ(Machine().RecentCall(0).szName, c.pszCalled);
    }
    int n = 0;
    EXPECT_EQ(nCompare(&three, &five, &n, 0), 0);
    EXPECT_LT(n, 0);
    EXPECT_EQ(nNot(&no, &n, 0), 0);
    EXPECT_EQ(n, 1);

    // Value results: a boolean, flags cleared; nCompare's an integer, option 0.
    SetText(r, L"old");
    r.SetFlags(TQFLAG_NULL | TQFLAG_0400);
    EXPECT_EQ(nInferieur(&three, &five, &r, 0), 0);
    EXPECT_EQ(r.nGetType(), TQTYPE_BOOL);
    EXPECT_EQ(Get<int>(r), 1);
    EXPECT_EQ(nCompare(&five, &three, &r), 0);
    EXPECT_EQ(r.nGetType(), TQTYPE_I4);
    EXPECT_GT(Get<int>(r), 0);
    EXPECT_EQ(Machine().RecentCall(0).nOption, 0u);
    // Written whatever the status: a failed operator leaves 0.
    CAny array(TQTYPE_TABANY);
    EXPECT_GT(nEgalite(&array, &three, &r, 0), 99);
    EXPECT_EQ(r.nGetType(), TQTYPE_BOOL);
    EXPECT_EQ(Get<int>(r), 0);
    // r may be an operand.
    EXPECT_EQ(nSuperieur(&five, &three, &five, 0), 0);
    EXPECT_EQ(Get<int>(five), 1);

    // The machine gets the whole type words, the option word and a 0.
    Set(five, TQTYPE_I4, 5);
    five.SetFlags(TQFLAG_0400);
    EXPECT_EQ(nEgalite(&five, &three, &n, 0x55), 0);
    HostVMCall call = Machine().RecentCall(0);
    EXPECT_EQ(call.nType1, TQTYPE_I4 | TQFLAG_0400);
    EXPECT_EQ(call.nType2, TQTYPE_I4);
    EXPECT_EQ(call.nOption, 0x55u);
    EXPECT_EQ(call.nReserved, 0);

    // A NULL operand: 103, no call, the result untouched.
    Set(r, TQTYPE_R8, 9.5);
    r.SetFlags(TQFLAG_0400);
    three.SetNullFlag(true);
    const int nCalls = Machine().nCalls();
    n = 42;
    EXPECT_EQ(nDifferent(&three, &five, &n, 0), 103);
    EXPECT_EQ(nNot(&three, &n, 0), 103);
    EXPECT_EQ(n, 42);
    EXPECT_EQ(nEgalite(&five, &three, &r, 0), 103);
    EXPECT_EQ(nCompare(&three, &five, &r), 103);
    EXPECT_EQ(r.nGetType(), TQTYPE_R8 | TQFLAG_0400);
    EXPECT_EQ(Machine().nCalls(), nCalls);
}

// ---- Arithmetic --------------------------------------------------------------------------------

TEST_F(AnyConvertTest, ArithmeticAdoptsTheResult)
{
    CAny a, b, r;
    Set(a, TQTYPE_I4, 7);
    Set(b, TQTYPE_I4, 2);
    SetText(r, L"replaced");
    const struct {
        int (*pfn)(const CAny*, const CAny*, CAny*, unsigned);
        const char* pszCalled;
        double dExpected;
    } aCases[] = {{nAjoute, "nAdditionEx", 9},          {nAjouteEx, "nAdditionEx", 9},
                  {nSoustrait, "nSoustractionEx", 5},   {nMultiplie, "nMultiplicationEx", 14},
                  {nDivise, "nDivisionEx", 3.5},        {nModulo, "nModuloEx", 1}};
    for (const auto& c : aCases) {
        ASSERT_EQ(c.pfn(&a, &b, &r, 0), 0) << c.pszCalled;
        EXPECT_STREQ(Machine().RecentCall(0).szName, c.pszCalled);
        EXPECT_EQ(Real(r), c.dExpected) << c.pszCalled;
    }

    // The machine gets type bytes; a NULL operand marks the result NULL.
    a.SetFlags(TQFLAG_NULL | TQFLAG_0400);
    ASSERT_EQ(nAjoute(&a, &b, &r, 3), 0);
    EXPECT_EQ(Machine().RecentCall(0).nType1, TQTYPE_I4);
    EXPECT_EQ(Machine().RecentCall(0).nOption, 3u);
    EXPECT_EQ(r.nGetFlags(), TQFLAG_NULL);
    // r may be an operand; a failure leaves r as it was.
    a.SetFlags(0);
    ASSERT_EQ(nAjoute(&a, &b, &a, 0), 0);
    EXPECT_EQ(Get<int>(a), 9);
    Set(b, TQTYPE_I4, 0);
    Set(r, TQTYPE_R8, 1.25);
    r.SetFlags(TQFLAG_0400);
    EXPECT_GT(nDivise(&a, &b, &r, 0), 99);
    EXPECT_EQ(r.nGetType(), TQTYPE_R8 | TQFLAG_0400);
    EXPECT_EQ(Get<double>(r), 1.25);

    // Texts: the result's host string is the value's own.
    CAny s1, s2;
    SetText(s1, L"ab", TQTYPE_DSTRW);
    SetText(s2, L"cd", TQTYPE_DSTRW);
    ASSERT_EQ(nAjoute(&s1, &s2, &r, 0), 0);
    ASSERT_EQ(r.nGetType(), TQTYPE_DSTRW);
    EXPECT_EQ(TextW(r), L"abcd");
    EXPECT_EQ(CBaseStrMem::s_nGetRefCount(Block(r)), 1);
    // Decimals: the result object is the value's, given back with it.
    CAny d;
    SetDecimal(d, 1.5);
    ASSERT_EQ(nAjoute(&d, &d, &r, 0), 0);
    EXPECT_EQ(r.nGetTypeCode(), TQTYPE_DECIMAL);
    ASSERT_EQ(nMultiplie(&r, &d, &r, 0), 0);
    EXPECT_EQ(Real(r), 4.5);
}

TEST_F(AnyConvertTest, NegationKeepsTheTargetOnFailure)
{
    // A decimal target keeps its value and object when the machine fails,
    // and gives its object back when it takes the result.
    CAny a, d, r;
    SetDecimal(d, 2.5);
    d.SetFlags(TQFLAG_0400);
    SetText(r, L"not a number");
    EXPECT_GT(nNegatif(&r, &d, 0), 99);
    EXPECT_STREQ(Machine().RecentCall(0).szName, "nNegationEx");
    EXPECT_EQ(d.nGetType(), TQTYPE_DECIMAL | TQFLAG_0400);
    EXPECT_EQ(Real(d), 2.5);
    ASSERT_EQ(nNegatif(&d, &d, 0), 0);
    EXPECT_EQ(Real(d), -2.5);

    // The positive form copies, flags included.
    SetText(a, L"copy me", TQTYPE_DSTRW);
    a.SetFlags(TQFLAG_0400);
    EXPECT_EQ(nPositif(&a, &r, 0), 0);
    EXPECT_EQ(r.nGetType(), TQTYPE_DSTRW | TQFLAG_0400);
    EXPECT_EQ(TextW(r), L"copy me");
    EXPECT_EQ(nPositif(&a, &a, 0), 0);
    EXPECT_EQ(TextW(a), L"copy me");
}

TEST_F(AnyConvertTest, IncrementsInPlace)
{
    CAny v, step;
    Set(v, TQTYPE_I4, 41);
    Set(step, TQTYPE_I4, 1);
    v.SetFlags(TQFLAG_0400);
    ASSERT_EQ(nIncrementeNumerique(&v, &step), 0);
    EXPECT_EQ(v.nGetType(), TQTYPE_I4);
    EXPECT_EQ(Get<int>(v), 42);
    ASSERT_EQ(nDecrementeNumerique(&v, &step), 0);
    EXPECT_STREQ(Machine().RecentCall(0).szName, "nSoustractionEx");
    EXPECT_EQ(Get<int>(v), 41);
    // A NULL step gives a NULL result.
    step.SetNullFlag(true);
    ASSERT_EQ(nIncrementeNumerique(&v, &step), 0);
    EXPECT_EQ(v.nGetFlags(), TQFLAG_NULL);
    step.SetFlags(0);

    // Decimals keep one object; texts adopt the result.
    CAny d, t, suffix;
    SetDecimal(d, 1.5);
    ASSERT_EQ(nIncrementeNumerique(&d, &step), 0);
    EXPECT_EQ(Real(d), 2.5);
    SetText(t, L"ab", TQTYPE_DSTRW);
    SetText(suffix, L"c", TQTYPE_DSTRW);
    ASSERT_EQ(nIncrementeNumerique(&t, &suffix), 0);
    EXPECT_EQ(TextW(t), L"abc");

    // A failure leaves the value alone.
    CAny array(TQTYPE_TABANY);
    Set(v, TQTYPE_I4, 7);
    v.SetFlags(TQFLAG_0400);
    EXPECT_GT(nIncrementeNumerique(&v, &array), 99);
    EXPECT_EQ(v.nGetType(), TQTYPE_I4 | TQFLAG_0400);
    EXPECT_EQ(Get<int>(v), 7);
}

// ---- Debug rendering ---------------------------------------------------------------------------

TEST_F(AnyConvertTest, DebugText)
{
    CXYString<wchar_t> cl;
    CAny v;
    EXPECT_EQ(nGetString(&cl, v, L"v: ", 1), 0);
    EXPECT_EQ(Str(cl), L"v: <Empty>");
    EXPECT_EQ(nGetString(&cl, static_cast<const CAny*>(nullptr), L"v: ", 0), 0);
    EXPECT_EQ(Str(cl), L"v: <NULL>");
    Set(v, TQTYPE_I4, 42);
    v.SetNullFlag(true);
    EXPECT_EQ(nGetString(&cl, v, nullptr, 1), 0);
    EXPECT_EQ(Str(cl), L"Type=8, Len=4, Value=<NULL>");

    // The text is the machine's wide text of the value.
    v.SetNullFlag(false);
    CAny copy;
    v.pclGetTraitement()->Duplique(&copy);
    ASSERT_EQ(copy.__nCastTo(TQTYPE_PSTRW, nullptr, 1), 0);
    EXPECT_EQ(nGetString(&cl, v, L"", 1), 0);
    EXPECT_EQ(Str(cl), L"Type=8, Len=4, Value=" + TextW(copy) + L", Value(binary)=2A000000");
    EXPECT_EQ(nGetString(&cl, &v, L"p", 0), 0);
    EXPECT_EQ(Str(cl), L"p" + TextW(copy));
    // A value the machine cannot write.
    CAny array(TQTYPE_TABANY);
    EXPECT_GT(nGetString(&cl, array, L"a: ", 0), 99);
    EXPECT_EQ(Str(cl), L"a: <ERROR>");

    // A long binary shows its first 500 bytes.
    const Bytes aby(1000, 0xA7);
    CAny bin(TQTYPE_BIN);
    bin.pclGetTraitement()->SetValue(aby.data(), 1000);
    ASSERT_EQ(nGetString(&cl, bin, L"", 1), 0);
    std::wstring tail = L", Value(binary)=(first 500 bytes only) ";
    for (int i = 0; i < 500; ++i)
        tail += L"A7";
    const std::wstring out = Str(cl);
    EXPECT_EQ(out.rfind(L"Type=28, Len=1000, Value=", 0), 0u);
    ASSERT_GE(out.size(), tail.size());
    EXPECT_EQ(out.substr(out.size() - tail.size()), tail);
}
