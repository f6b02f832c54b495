// Host values converted, compared and computed through the host's value
// machine: the stand-in runtime's machine, bound with the runtime library's
// handle as the host would hand it over. Only what the module fixes is
// asserted (statuses, type words, flags, call forms, ownership); the
// machine's own text forms are read back, never spelled out.
#include "common/values/AnyConvert.h"

#include "common/text/CodePage.h"
#include "common/text/Tstring.h"
#include "common/text/XYString.h"
#include "common/values/Any.h"
#include "common/values/Decimal.h"
#include "common/values/monetaire.h"
#include "host/ValueMachine.h"
#include "tests/support/TestHost.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <dlfcn.h>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

namespace {

void* StandIn()
{
    static void* h = dlopen(ZT_BUILD_DIR "/" HOSTSTANDIN_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    return h;
}

void* Symbol(void* h, const char* pszName)
{
    return dlsym(h, pszName);
}

IHostValueMachine& Machine()
{
    void* p = Symbol(StandIn(), HOSTVM_CONTROL_ENTRY);
    PFN_HOSTVM_CONTROL pfn;
    std::memcpy(&pfn, &p, sizeof(p));
    return *pfn();
}

bool bBind()
{
    return bInitTQConvFromVM(StandIn(), 2, 2) == 1 && bInitTQCalcFromVM(StandIn(), 2, 2) == 1;
}

// The test program's own handle has none of the machine's names.
void Unbind()
{
    void* hSelf = dlopen(nullptr, RTLD_NOW);
    EXPECT_EQ(bInitTQConvFromVM(hSelf, 2, 2), 0);
    EXPECT_EQ(bInitTQCalcFromVM(hSelf, 2, 2), 0);
}

// A copy of the runtime library in which one exported name is spelt
// otherwise, so that the copy lacks exactly that name.
class CLibraryWithout {
public:
    explicit CLibraryWithout(const char* pszName)
    {
        std::ifstream in(ZT_BUILD_DIR "/" HOSTSTANDIN_LIBRARY, std::ios::binary);
        std::string image((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const std::string name = std::string(1, '\0') + pszName + '\0';
        int nFound = 0;
        for (std::size_t pos = image.find(name); pos != std::string::npos; pos = image.find(name, pos + 1)) {
            image[pos + 1] = 'Q';
            ++nFound;
        }
        EXPECT_GT(nFound, 0) << pszName;
        char szPath[] = "/tmp/ztvmXXXXXX";
        const int fd = mkstemp(szPath);
        EXPECT_GE(fd, 0);
        EXPECT_EQ(write(fd, image.data(), image.size()), static_cast<ssize_t>(image.size()));
        close(fd);
        m_path = szPath;
        m_h = dlopen(szPath, RTLD_NOW | RTLD_LOCAL);
        EXPECT_NE(m_h, nullptr) << dlerror();
    }
    ~CLibraryWithout()
    {
        if (m_h != nullptr)
            dlclose(m_h);
        unlink(m_path.c_str());
    }
    void* Handle() const { return m_h; }

private:
    std::string m_path;
    void* m_h = nullptr;
};

void SetI4(CAny& v, int n)
{
    v.__SetType(TQTYPE_I4, 0);
    v.pclGetTraitement()->SetValue(&n);
}

void SetR8(CAny& v, double d)
{
    v.__SetType(TQTYPE_R8, 0);
    v.pclGetTraitement()->SetValue(&d);
}

void SetBool(CAny& v, bool b)
{
    const int n = b ? 1 : 0;
    v.__SetType(TQTYPE_BOOL, 0);
    v.pclGetTraitement()->SetValue(&n);
}

void SetText(CAny& v, const wchar_t* psz)
{
    v.__SetType(TQTYPE_PSTRW, 0);
    v.pclGetTraitement()->SetValue(psz);
}

void SetDynText(CAny& v, const wchar_t* psz)
{
    v.__SetType(TQTYPE_DSTRW, 0);
    v.pclGetTraitement()->SetValue(psz, static_cast<unsigned>(std::wcslen(psz) * sizeof(wchar_t)));
}

// A decimal value of a real, cast by the machine.
void SetDecimal(CAny& v, double d)
{
    SetR8(v, d);
    ASSERT_EQ(v.__nCastTo(TQTYPE_DECIMAL, nullptr, 1), 0);
}

long long I64(const CAny& v)
{
    long long ll = -999;
    EXPECT_EQ(v.nGetINT_64(&ll), 0) << "type word " << v.nGetType();
    return ll;
}

// The value as a double, through a cast of a copy.
double Real(const CAny& v)
{
    CAny clCopy;
    v.pclGetTraitement()->Duplique(&clCopy);
    clCopy.SetFlags(0);
    EXPECT_LE(clCopy.__nCastTo(TQTYPE_R8, nullptr, 1), 99);
    double d = -999;
    EXPECT_EQ(clCopy.nGetREAL(&d), 0);
    return d;
}

std::wstring Text(const CAny& v)
{
    const wchar_t* psz = nullptr;
    EXPECT_EQ(v.pclGetTraitement()->nGetPCWSTR(&psz), 0);
    return psz != nullptr ? psz : L"";
}

std::wstring Str(const CXYString<wchar_t>& cl)
{
    return std::wstring(cl.pszGet(), static_cast<std::size_t>(cl.nGetLength()));
}

// Every test starts bound and must give back what it took: host blocks and
// the machine's decimal objects.
class AnyConvertTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(StandIn(), nullptr);
        ASSERT_TRUE(bBind());
        m_nDecimals = Machine().nLiveDecimals();
    }
    void TearDown() override
    {
        EXPECT_EQ(Machine().nLiveDecimals(), m_nDecimals) << "decimal objects leaked";
        EXPECT_EQ(Machine().nBadReleases(), 0);
    }

    CLiveBlockCheck m_check;
    int m_nDecimals = 0;
};

}  // namespace

// ---- Binding ------------------------------------------------------------------------------

TEST(AnyConvertBinding, BindsEveryNameFromTheRuntimeHandle)
{
    ASSERT_NE(StandIn(), nullptr);
    Unbind();
    EXPECT_EQ(bInitTQConvFromVM(StandIn(), 1, 0), 0);
    EXPECT_EQ(bInitTQConvFromVM(StandIn(), 2, 3), 0);
    EXPECT_EQ(gpfnConvDepExt, nullptr);
    EXPECT_EQ(bInitTQCalcFromVM(StandIn(), 1, 0), 0);
    EXPECT_EQ(bInitTQCalcFromVM(StandIn(), 2, 3), 0);
    EXPECT_EQ(gpfnEgaliteEx, nullptr);

    ASSERT_EQ(bInitTQConvFromVM(StandIn(), 3, 2), 1);
    EXPECT_EQ(reinterpret_cast<void*>(gpfnConvDepExt), Symbol(StandIn(), "nConversionDepassementExt"));
    EXPECT_EQ(reinterpret_cast<void*>(gpfnFinConv), Symbol(StandIn(), "FinConversion"));
    EXPECT_EQ(ghConvVM, StandIn());
    EXPECT_EQ(gnVersionConvVM, 3);
    EXPECT_EQ(gnVersionCompatConvVM, 2);
    // The factory is the machine's answer to service 102.
    PFN_VM_QUERYPROXY pfnQuery;
    void* p = Symbol(StandIn(), "pQueryProxy");
    std::memcpy(&pfnQuery, &p, sizeof(p));
    EXPECT_EQ(gpiVMFactory, pfnQuery(VM_SERVICE_FACTORY));
    EXPECT_NE(gpiVMFactory, nullptr);
    EXPECT_EQ(std::strcmp(Machine().RecentCall(0).szName, "pQueryProxy"), 0);
    EXPECT_EQ(Machine().RecentCall(0).nOption, 102u);

    ASSERT_EQ(bInitTQCalcFromVM(StandIn(), 2, 1), 1);
    EXPECT_EQ(ghCalcVM, StandIn());
    EXPECT_EQ(gnVersionCalcVM, 2);
    EXPECT_EQ(gnVersionCompatCalcVM, 1);
    const std::pair<const char*, void*> aBound[] = {
        {"bCanCompareEx", reinterpret_cast<void*>(gpfnCanCompareEx)},
        {"wAjouteEx", reinterpret_cast<void*>(gpfnGetTypeAjouteEx)},
        {"wSoustraitEx", reinterpret_cast<void*>(gpfnGetTypeSoustraitEx)},
        {"wMultiplieEx", reinterpret_cast<void*>(gpfnGetTypeMultiplieEx)},
        {"wDiviseEx", reinterpret_cast<void*>(gpfnGetTypeDiviseEx)},
        {"wModuloEx", reinterpret_cast<void*>(gpfnGetTypeModuloEx)},
        {"nComparaisonEx", reinterpret_cast<void*>(gpfnCompareEx)},
        {"nEgaliteEx", reinterpret_cast<void*>(gpfnEgaliteEx)},
        {"nSuperieurEx", reinterpret_cast<void*>(gpfnSuperieurEx)},
        {"nInferieurEx", reinterpret_cast<void*>(gpfnInferieurEx)},
        {"nPresqueEgalEx", reinterpret_cast<void*>(gpfnPresqueEgalEx)},
        {"nSoupleEgalEx", reinterpret_cast<void*>(gpfnSoupleEgalEx)},
        {"nCommenceParEx", reinterpret_cast<void*>(gpfnCommenceParEx)},
        {"nCommenceParSoupleEx", reinterpret_cast<void*>(gpfnCommenceParSoupleEx)},
        {"nCommenceParTresSoupleEx", reinterpret_cast<void*>(gpfnCommenceParTresSoupleEx)},
        {"nContientEx", reinterpret_cast<void*>(gpfnContientEx)},
        {"nContientSoupleEx", reinterpret_cast<void*>(gpfnContientSoupleEx)},
        {"nContientTresSoupleEx", reinterpret_cast<void*>(gpfnContientTresSoupleEx)},
        {"nTermineParEx", reinterpret_cast<void*>(gpfnTermineParEx)},
        {"nTermineParSoupleEx", reinterpret_cast<void*>(gpfnTermineParSoupleEx)},
        {"nTermineParTresSoupleEx", reinterpret_cast<void*>(gpfnTermineParTresSoupleEx)},
        {"nETLogiqueEx", reinterpret_cast<void*>(gpfnETLogiqueEx)},
        {"nOULogiqueEx", reinterpret_cast<void*>(gpfnOULogiqueEx)},
        {"nNONLogiqueEx", reinterpret_cast<void*>(gpfnNONLogiqueEx)},
        {"nNegationEx", reinterpret_cast<void*>(gpfnNegationEx)},
        {"nAdditionEx", reinterpret_cast<void*>(gpfnAdditionEx)},
        {"nSoustractionEx", reinterpret_cast<void*>(gpfnSoustractionEx)},
        {"nMultiplicationEx", reinterpret_cast<void*>(gpfnMultiplicationEx)},
        {"nDivisionEx", reinterpret_cast<void*>(gpfnDivisionEx)},
        {"nModuloEx", reinterpret_cast<void*>(gpfnModuloEx)},
    };
    for (const auto& bound : aBound) {
        EXPECT_NE(bound.second, nullptr) << bound.first;
        EXPECT_EQ(bound.second, Symbol(StandIn(), bound.first)) << bound.first;
    }
}

TEST(AnyConvertBinding, AHandleMissingOneNameBindsNothing)
{
    ASSERT_TRUE(bBind());
    {
        // The last operator looked up.
        CLibraryWithout lib("nModuloEx");
        ASSERT_NE(lib.Handle(), nullptr);
        EXPECT_EQ(bInitTQCalcFromVM(lib.Handle(), 2, 2), 0);
        EXPECT_EQ(gpfnCanCompareEx, nullptr);
        EXPECT_EQ(gpfnEgaliteEx, nullptr);
        EXPECT_EQ(gpfnDivisionEx, nullptr);
        EXPECT_EQ(gpfnModuloEx, nullptr);
        // The converter is bound on its own.
        EXPECT_NE(gpfnConvDepExt, nullptr);
    }
    {
        CLibraryWithout lib("pQueryProxy");
        ASSERT_NE(lib.Handle(), nullptr);
        EXPECT_EQ(bInitTQConvFromVM(lib.Handle(), 2, 2), 0);
        EXPECT_EQ(gpfnConvDepExt, nullptr);
        EXPECT_EQ(gpfnFinConv, nullptr);
        EXPECT_EQ(gpiVMFactory, nullptr);
    }
    {
        CLibraryWithout lib("FinConversion");
        EXPECT_EQ(bInitTQConvFromVM(lib.Handle(), 2, 2), 0);
        EXPECT_EQ(gpfnConvDepExt, nullptr);
        EXPECT_EQ(bInitFactory(lib.Handle()), 1);  // the factory alone is there
        gpiVMFactory = nullptr;
    }
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
        // A decimal made before the binding holds no object.
        CAny d(TQTYPE_DECIMAL);
        void* pObject = reinterpret_cast<void*>(1);
        std::memcpy(&pObject, d.pbyGetValeur(), sizeof(pObject));
        EXPECT_EQ(pObject, nullptr);

        CAny a, b, r;
        SetI4(a, 5);
        SetI4(b, 7);
        SetI4(r, 99);
        EXPECT_EQ(a.__nCastTo(TQTYPE_R8, nullptr, 1), 105);
        EXPECT_EQ(a.nGetType(), TQTYPE_I4);
        int n = 42;
        EXPECT_EQ(nEgalite(&a, &b, &n, 0), 105);
        EXPECT_EQ(nDifferent(&a, &b, &n, 0), 105);
        EXPECT_EQ(n, 42);
        EXPECT_EQ(nNot(&a, &n, 0), 105);
        EXPECT_EQ(nAjoute(&a, &b, &r, 0), 105);
        EXPECT_EQ(nNegatif(&a, &r, 0), 105);
        EXPECT_EQ(nIncrementeNumerique(&r, &b), 105);
        EXPECT_EQ(I64(r), 99);
        long long ll = 0;
        EXPECT_EQ(CAny::__s_nCastTo(&ll, L"12", TQTYPE_I8, nullptr), 105);
        CXYString<wchar_t> cl;
        EXPECT_EQ(a.__nFillString(cl, nullptr), 105);
        EXPECT_EQ(nGetString(&cl, a, L"v=", 0), 105);
        EXPECT_EQ(Str(cl), L"v=<ERROR>");
        // NULL operands are still told apart.
        a.SetNullFlag(true);
        EXPECT_EQ(nEgalite(&a, &b, &n, 0), 103);
    }
    EXPECT_EQ(Machine().nCalls(), nCalls);
    ASSERT_TRUE(bBind());
}

TEST(AnyConvertBinding, PassesTheBindingOnToAnotherModule)
{
    ASSERT_TRUE(bBind());
    // The runtime library has no binding entry of its own.
    EXPECT_EQ(bInitTQCalcFromServeur(StandIn()), 1);
    EXPECT_EQ(bInitTQConvFromServeur_OBSOLETE(StandIn()), 1);

    // The driver module exports the entries and the bindings by name.
    void* hModule = dlopen(ZT_BUILD_DIR "/zt190msql.so", RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(hModule, nullptr) << dlerror();
    EXPECT_NE(Symbol(hModule, "ghConvVM"), nullptr);
    EXPECT_NE(Symbol(hModule, "gpfnConvDepExt"), nullptr);
    EXPECT_NE(Symbol(hModule, "gpfnCanCompareEx"), nullptr);
    void** ppfnModulo = static_cast<void**>(Symbol(hModule, "gpfnModuloEx"));
    ASSERT_NE(ppfnModulo, nullptr);
    EXPECT_EQ(*ppfnModulo, nullptr);
    EXPECT_EQ(bInitTQCalcFromServeur(hModule), 1);
    EXPECT_EQ(*ppfnModulo, Symbol(StandIn(), "nModuloEx"));
    EXPECT_EQ(*static_cast<void**>(Symbol(hModule, "ghCalcVM")), StandIn());
    EXPECT_EQ(bInitTQConvFromServeur_OBSOLETE(hModule), 1);
    EXPECT_EQ(*static_cast<void**>(Symbol(hModule, "gpfnConvDepExt")), Symbol(StandIn(), "nConversionDepassementExt"));
    dlclose(hModule);
}

// ---- Casts ----------------------------------------------------------------------------------

TEST_F(AnyConvertTest, CastConvertsInPlaceAndKeepsTheFlags)
{
    CAny v;
    SetI4(v, 42);
    STOCAW st{1252};
    ASSERT_EQ(v.__nCastTo(TQTYPE_R8, &st, 7), 0);
    EXPECT_EQ(v.nGetType(), TQTYPE_R8);
    double d = 0;
    EXPECT_EQ(v.nGetREAL(&d), 0);
    EXPECT_EQ(d, 42.0);
    // The converter got the source type byte, the target, the option word
    // and the options record; its result was then released.
    HostVMCall conv = Machine().RecentCall(1);
    EXPECT_STREQ(conv.szName, "nConversionDepassementExt");
    EXPECT_EQ(conv.nType1, TQTYPE_I4);
    EXPECT_EQ(conv.nType2, TQTYPE_R8);
    EXPECT_EQ(conv.nOption, 7u);
    EXPECT_EQ(conv.pOptions, &st);
    EXPECT_STREQ(Machine().RecentCall(0).szName, "FinConversion");
    EXPECT_EQ(Machine().RecentCall(0).nType1, TQTYPE_R8);

    // To its own type: nothing, and no call.
    const int nCalls = Machine().nCalls();
    EXPECT_EQ(v.__nCastTo(TQTYPE_R8, nullptr, 1), 0);
    EXPECT_EQ(Machine().nCalls(), nCalls);

    // Flags survive the cast; the machine is given the type byte only.
    v.SetFlags(TQFLAG_NULL | TQFLAG_0400);
    ASSERT_EQ(v.__nCastTo(TQTYPE_I8, nullptr, 1), 0);
    EXPECT_EQ(v.nGetType(), TQTYPE_I8 | TQFLAG_NULL | TQFLAG_0400);
    EXPECT_EQ(Machine().RecentCall(1).nType1, TQTYPE_R8);
    v.SetFlags(0);
    EXPECT_EQ(I64(v), 42);
    v.SetFlags(TQFLAG_0400);
    ASSERT_EQ(v.__nCastTo(TQTYPE_I4BIS, nullptr, 1), 0);
    EXPECT_EQ(v.nGetType(), TQTYPE_I4 | TQFLAG_0400);

    // Currency in its 80-bit millionths: 3 is 3,000,000 = 0x2DC6C0.
    CAny cy;
    SetI4(cy, 3);
    ASSERT_EQ(cy.__nCastTo(TQTYPE_CY, nullptr, 1), 0);
    const CMoney* pMoney = reinterpret_cast<const CMoney*>(cy.pbyGetValeur());
    EXPECT_EQ(pMoney->m_awMot[0], 0xC6C0);
    EXPECT_EQ(pMoney->m_awMot[1], 0x2D);
    EXPECT_EQ(pMoney->m_awMot[2] | pMoney->m_awMot[3] | pMoney->m_awMot[4], 0);
}

TEST_F(AnyConvertTest, FailedCastLeavesTheValueAsItWas)
{
    CAny v;
    SetR8(v, 1e300);
    v.SetFlags(TQFLAG_0400);
    EXPECT_GT(v.__nCastTo(TQTYPE_I4, nullptr, 1), 99);
    EXPECT_EQ(v.nGetType(), TQTYPE_R8 | TQFLAG_0400);
    double d = 0;
    v.SetFlags(0);
    EXPECT_EQ(v.nGetREAL(&d), 0);
    EXPECT_EQ(d, 1e300);
    // A type the machine does not handle.
    EXPECT_EQ(v.__nCastTo(TQTYPE_TABANY, nullptr, 1), 105);
    EXPECT_EQ(v.nGetType(), TQTYPE_R8);
}

TEST_F(AnyConvertTest, DecimalsComeFromTheFactoryAndGoBack)
{
    const int nStart = Machine().nLiveDecimals();
    {
        CAny d(TQTYPE_DECIMAL);
        IDecimal* piObject = nullptr;
        std::memcpy(&piObject, d.pbyGetValeur(), sizeof(piObject));
        EXPECT_NE(piObject, nullptr);
        EXPECT_EQ(Machine().nLiveDecimals(), nStart + 1);

        CAny v;
        SetR8(v, 2.25);
        ASSERT_EQ(v.__nCastTo(TQTYPE_DECIMAL, nullptr, 1), 0);
        EXPECT_EQ(v.nGetType(), TQTYPE_DECIMAL);
        // The value's own object, the conversion's given back.
        EXPECT_EQ(Machine().nLiveDecimals(), nStart + 2);
        EXPECT_EQ(Real(v), 2.25);
        EXPECT_TRUE(v.pclGetTraitement()->bIsPositive());
    }
    EXPECT_EQ(Machine().nLiveDecimals(), nStart);

    // The storage sizes by digits are the machine's.
    IDecimal* p = gpiVMFactory->piCreateObject(0);
    for (int nDigits = 1; nDigits <= IDecimal::MAX_DIGITS; ++nDigits) {
        ASSERT_EQ(p->nRescale(nDigits, 0), 0);
        EXPECT_EQ(p->nGetDataSize(), IDecimal::mg_PToN[nDigits]) << nDigits << " digits";
    }
    EXPECT_EQ(IDecimal::mg_PToN[0], IDecimal::mg_PToN[IDecimal::MAX_DIGITS]);
    gpiVMFactory->ReleaseObject(p);
}

TEST_F(AnyConvertTest, CastToStringGivesTheTextInPlace)
{
    CAny v;
    SetR8(v, 2.5);
    const wchar_t* psz = nullptr;
    ASSERT_EQ(v.__nCastToString(&psz, nullptr), 0);
    EXPECT_EQ(v.nGetType(), TQTYPE_DSTRW);
    ASSERT_NE(psz, nullptr);
    EXPECT_EQ(std::wcstod(psz, nullptr), 2.5);
    EXPECT_EQ(Machine().RecentCall(1).nOption, 1u);
    // A text already: answered directly, no call.
    const int nCalls = Machine().nCalls();
    const wchar_t* psz2 = nullptr;
    EXPECT_EQ(v.__nCastToString(&psz2, nullptr), 0);
    EXPECT_EQ(psz2, psz);
    EXPECT_EQ(Machine().nCalls(), nCalls);

    CAny a;
    SetI4(a, -17);
    const char* pszA = nullptr;
    ASSERT_EQ(a.__nCastToString(&pszA, nullptr), 0);
    EXPECT_EQ(a.nGetType(), TQTYPE_DSTRA);
    EXPECT_EQ(std::atoi(pszA), -17);
    // No pointer wanted: the cast still happens.
    CAny b;
    SetI4(b, 3);
    EXPECT_EQ(b.__nCastToString(static_cast<const wchar_t**>(nullptr), nullptr), 0);
    EXPECT_EQ(b.nGetType(), TQTYPE_DSTRW);
}

TEST_F(AnyConvertTest, FillStringLeavesTheValueAlone)
{
    CAny v;
    SetI4(v, 12);
    CXYString<wchar_t> cl;
    ASSERT_EQ(v.__nFillString(cl, nullptr), 0);
    EXPECT_EQ(std::wcstol(cl.pszGet(), nullptr, 10), 12);
    EXPECT_EQ(v.nGetType(), TQTYPE_I4);
    EXPECT_EQ(Machine().RecentCall(1).nOption, 0u);
    EXPECT_EQ(Machine().RecentCall(1).nType2, TQTYPE_DSTRW);

    // A wide host string is shared.
    CAny t;
    SetDynText(t, L"shared");
    ASSERT_EQ(t.__nFillString(cl, nullptr), 0);
    const wchar_t* pBlock = nullptr;
    std::memcpy(&pBlock, t.pbyGetValeur(), sizeof(pBlock));
    EXPECT_EQ(cl.pGetData(), pBlock);
    EXPECT_EQ(CBaseStrMem::s_nGetRefCount(pBlock), 2);

    // A direct text is copied: a shared block is left to its other holder...
    CAny p;
    SetText(p, L"copied");
    ASSERT_EQ(p.__nFillString(cl, nullptr), 0);
    EXPECT_EQ(Str(cl), L"copied");
    EXPECT_NE(cl.pGetData(), pBlock);
    EXPECT_EQ(Text(t), L"shared");
    EXPECT_EQ(CBaseStrMem::s_nGetRefCount(pBlock), 1);
    // ...and a block of its own reused, grown when too short.
    const wchar_t* pOwn = cl.pGetData();
    SetText(p, L"four");
    ASSERT_EQ(p.__nFillString(cl, nullptr), 0);
    EXPECT_EQ(Str(cl), L"four");
    EXPECT_EQ(cl.pGetData(), pOwn);
    SetText(p, L"a much longer text than before");
    ASSERT_EQ(p.__nFillString(cl, nullptr), 0);
    EXPECT_EQ(Str(cl), L"a much longer text than before");
    // An empty text empties the string.
    SetText(p, L"");
    ASSERT_EQ(p.__nFillString(cl, nullptr), 0);
    EXPECT_EQ(cl.pGetData(), nullptr);
    // A NULL wide string is not shared: its text is copied.
    t.SetNullFlag(true);
    ASSERT_EQ(t.__nFillString(cl, nullptr), 0);
    EXPECT_EQ(Str(cl), L"shared");
    EXPECT_NE(cl.pGetData(), pBlock);

    // 8-bit strings through the code page of the options.
    CXYString<char> clA;
    CAny w;
    SetText(w, L"\u00E9t\u00E9");
    STOCAW stUtf8{65001};
    ASSERT_EQ(w.__nFillString(clA, &stUtf8), 0);
    EXPECT_STREQ(clA.pszGet(), "\xC3\xA9t\xC3\xA9");
    ASSERT_EQ(w.__nFillString(clA, nullptr), 0);
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
    CXYString<wchar_t> clW;
    EXPECT_EQ(v.__nFillString(clW, nullptr), 108);
    EXPECT_EQ(v.__nCastTo(TQTYPE_DSTRW, nullptr, 1), 108);
    EXPECT_EQ(v.nGetType(), TQTYPE_DSTRA | TQFLAG_0400);
    std::memset(v.pbyGetValeur(), 0, sizeof(void*));
    EXPECT_EQ(fake.header.nRefCount, 1000);
}

TEST_F(AnyConvertTest, SetStringConvertsToAnEightBitHostString)
{
    CAny v;
    SetI4(v, 1);
    v.SetFlags(TQFLAG_NULL | TQFLAG_0400);
    STOCAW st1252{1252};
    ASSERT_EQ(v.__nSetString(L"h\u00E9", -1, &st1252), 0);
    EXPECT_EQ(v.nGetType(), TQTYPE_DSTRA);
    const char* psz = nullptr;
    ASSERT_EQ(v.pclGetTraitement()->nGetPCASTR(&psz), 0);
    EXPECT_STREQ(psz, "h\xE9");
    STOCAW stUtf8{65001};
    ASSERT_EQ(v.__nSetString(L"h\u00E9llo", 2, &stUtf8), 0);
    v.pclGetTraitement()->nGetPCASTR(&psz);
    EXPECT_STREQ(psz, "h\xC3\xA9");
    // Without options: the locale service's current code page (1252).
    ASSERT_EQ(v.__nSetString(L"\u20AC", -1, nullptr), 0);
    v.pclGetTraitement()->nGetPCASTR(&psz);
    EXPECT_STREQ(psz, "\x80");
}

TEST_F(AnyConvertTest, StaticCastWritesTheStoredFormOnly)
{
    struct {
        long long ll;
        unsigned dwGuard;
    } target = {0, 0xDEADBEEF};
    ASSERT_EQ(CAny::__s_nCastTo(&target.ll, L"123456789012", TQTYPE_I8, nullptr), 0);
    EXPECT_EQ(target.ll, 123456789012LL);
    EXPECT_EQ(target.dwGuard, 0xDEADBEEFu);
    HostVMCall conv = Machine().RecentCall(0);
    EXPECT_EQ(conv.nType1, TQTYPE_PSTRW);
    EXPECT_EQ(conv.nType2, TQTYPE_I8);
    EXPECT_EQ(conv.nOption, 1u);
    EXPECT_GT(CAny::__s_nCastTo(&target.ll, L"12x", TQTYPE_I8, nullptr), 99);
    EXPECT_EQ(target.ll, 123456789012LL);

    struct {
        double d;
        unsigned dwGuard;
    } real = {0, 0xDEADBEEF};
    ASSERT_EQ(CAny::__s_nCastTo(&real.d, L"-0.5", TQTYPE_R8, nullptr), 0);
    EXPECT_EQ(real.d, -0.5);
    EXPECT_EQ(real.dwGuard, 0xDEADBEEFu);
}

// ---- Comparisons and logic ---------------------------------------------------------------------

TEST_F(AnyConvertTest, ComparisonsAndTheirNegations)
{
    CAny three, five, fiveReal;
    SetI4(three, 3);
    SetI4(five, 5);
    SetR8(fiveReal, 5.0);
    int n = -7;
    EXPECT_EQ(nEgalite(&five, &fiveReal, &n, 0), 0);
    EXPECT_EQ(n, 1);
    EXPECT_EQ(nDifferent(&five, &fiveReal, &n, 0), 0);
    EXPECT_EQ(n, 0);
    EXPECT_EQ(nDifferent(&three, &five, &n, 0), 0);
    EXPECT_EQ(n, 1);
    EXPECT_EQ(nCompare(&three, &five, &n, 0), 0);
    EXPECT_LT(n, 0);
    EXPECT_EQ(nSuperieur(&five, &three, &n, 0), 0);
    EXPECT_EQ(n, 1);
    EXPECT_EQ(nInferieur(&five, &three, &n, 0), 0);
    EXPECT_EQ(n, 0);
    // Less or equal is "not greater", greater or equal "not less".
    const struct {
        const CAny* a;
        const CAny* b;
        int nInfEgal;
        int nSupEgal;
    } aCases[] = {{&three, &five, 1, 0}, {&five, &fiveReal, 1, 1}, {&five, &three, 0, 1}};
    for (const auto& c : aCases) {
        EXPECT_EQ(nInfEgal(c.a, c.b, &n, 0), 0);
        EXPECT_EQ(n, c.nInfEgal);
        EXPECT_STREQ(Machine().RecentCall(0).szName, "nSuperieurEx");
        EXPECT_EQ(nSupEgal(c.a, c.b, &n, 0), 0);
        EXPECT_EQ(n, c.nSupEgal);
        EXPECT_STREQ(Machine().RecentCall(0).szName, "nInferieurEx");
    }

    // The machine gets the whole type words, the option word and a 0.
    five.SetFlags(TQFLAG_0400);
    EXPECT_EQ(nEgalite(&five, &three, &n, 0x55), 0);
    HostVMCall call = Machine().RecentCall(0);
    EXPECT_STREQ(call.szName, "nEgaliteEx");
    EXPECT_EQ(call.nType1, TQTYPE_I4 | TQFLAG_0400);
    EXPECT_EQ(call.nType2, TQTYPE_I4);
    EXPECT_EQ(call.nOption, 0x55u);
    EXPECT_EQ(call.nReserved, 0);
}

TEST_F(AnyConvertTest, NullOperandsAnswer103AndTouchNothing)
{
    CAny a, b, r;
    SetI4(a, 1);
    SetI4(b, 1);
    SetR8(r, 9.5);
    r.SetFlags(TQFLAG_0400);
    b.SetNullFlag(true);
    const int nCalls = Machine().nCalls();
    int n = 42;
    EXPECT_EQ(nEgalite(&a, &b, &n, 0), 103);
    EXPECT_EQ(nEgalite(&b, &a, &n, 0), 103);
    EXPECT_EQ(nDifferent(&a, &b, &n, 0), 103);
    EXPECT_EQ(nCompare(&a, &b, &n, 0), 103);
    EXPECT_EQ(nContient(&a, &b, &n, 0), 103);
    EXPECT_EQ(nAnd(&a, &b, &n, 0), 103);
    EXPECT_EQ(nNot(&b, &n, 0), 103);
    EXPECT_EQ(n, 42);
    EXPECT_EQ(nEgalite(&a, &b, &r, 0), 103);
    EXPECT_EQ(nCompare(&a, &b, &r), 103);
    EXPECT_EQ(nNot(&b, &r, 0), 103);
    EXPECT_EQ(r.nGetType(), TQTYPE_R8 | TQFLAG_0400);
    EXPECT_EQ(Machine().nCalls(), nCalls);
}

TEST_F(AnyConvertTest, ValueResultsAreBooleansOrTheComparison)
{
    CAny three, five, r;
    SetI4(three, 3);
    SetI4(five, 5);
    SetText(r, L"old");
    r.SetFlags(TQFLAG_NULL | TQFLAG_0400);
    EXPECT_EQ(nInferieur(&three, &five, &r, 0), 0);
    EXPECT_EQ(r.nGetType(), TQTYPE_BOOL);
    EXPECT_EQ(I64(r), 1);
    EXPECT_EQ(nDifferent(&three, &three, &r, 0), 0);
    EXPECT_EQ(r.nGetType(), TQTYPE_BOOL);
    EXPECT_EQ(I64(r), 0);

    r.SetFlags(TQFLAG_0400);
    EXPECT_EQ(nCompare(&five, &three, &r), 0);
    EXPECT_EQ(r.nGetType(), TQTYPE_I4);
    EXPECT_GT(I64(r), 0);
    EXPECT_EQ(Machine().RecentCall(0).nOption, 0u);

    // The result is written whatever the status: a failed operator leaves 0.
    CAny array(TQTYPE_TABANY);
    SetI4(r, 77);
    EXPECT_GT(nEgalite(&array, &three, &r, 0), 99);
    EXPECT_EQ(r.nGetType(), TQTYPE_BOOL);
    EXPECT_EQ(I64(r), 0);
    // r may be an operand.
    EXPECT_EQ(nSuperieur(&five, &three, &five, 0), 0);
    EXPECT_EQ(five.nGetType(), TQTYPE_BOOL);
    EXPECT_EQ(I64(five), 1);
}

TEST_F(AnyConvertTest, TextOperatorsAndLogic)
{
    CAny text, start, middle, end, other;
    SetText(text, L"Hello World");
    SetDynText(start, L"Hello");
    SetText(middle, L"lo Wo");
    SetText(end, L"World");
    SetText(other, L"world");
    int n = -1;
    EXPECT_EQ(nCommencePar(&text, &start, &n, 0), 0);
    EXPECT_EQ(n, 1);
    EXPECT_EQ(nCommencePar(&text, &end, &n, 0), 0);
    EXPECT_EQ(n, 0);
    EXPECT_EQ(nContient(&text, &middle, &n, 0), 0);
    EXPECT_EQ(n, 1);
    EXPECT_EQ(nTerminePar(&text, &end, &n, 0), 0);
    EXPECT_EQ(n, 1);
    // Case differences: exact forms see them, flexible ones do not.
    EXPECT_EQ(nTerminePar(&text, &other, &n, 0), 0);
    EXPECT_EQ(n, 0);
    EXPECT_EQ(nTermineParSouple(&text, &other, &n, 0), 0);
    EXPECT_EQ(n, 1);
    EXPECT_EQ(nTermineParTresSouple(&text, &other, &n, 0), 0);
    EXPECT_EQ(n, 1);
    EXPECT_EQ(nContientSouple(&text, &other, &n, 0), 0);
    EXPECT_EQ(n, 1);
    EXPECT_EQ(nEgalite(&end, &other, &n, 0), 0);
    EXPECT_EQ(n, 0);
    EXPECT_EQ(nSoupleEgal(&end, &other, &n, 0), 0);
    EXPECT_EQ(n, 1);
    EXPECT_EQ(nPresqueEgal(&end, &other, &n, 0), 0);
    EXPECT_EQ(n, 1);

    CAny yes, no;
    SetBool(yes, true);
    SetBool(no, false);
    EXPECT_EQ(nAnd(&yes, &no, &n, 0), 0);
    EXPECT_EQ(n, 0);
    EXPECT_EQ(nOr(&yes, &no, &n, 0), 0);
    EXPECT_EQ(n, 1);
    EXPECT_EQ(nNot(&no, &n, 0), 0);
    EXPECT_EQ(n, 1);
    CAny r;
    EXPECT_EQ(nNot(&yes, &r, 0), 0);
    EXPECT_EQ(r.nGetType(), TQTYPE_BOOL);
    EXPECT_EQ(I64(r), 0);
}

// ---- Arithmetic --------------------------------------------------------------------------------

TEST_F(AnyConvertTest, ArithmeticAdoptsTheResult)
{
    CAny a, b, r;
    SetI4(a, 7);
    SetI4(b, 2);
    SetText(r, L"replaced");
    ASSERT_EQ(nAjoute(&a, &b, &r, 0), 0);
    EXPECT_EQ(I64(r), 9);
    ASSERT_EQ(nAjouteEx(&a, &b, &r, 0), 0);
    EXPECT_EQ(I64(r), 9);
    ASSERT_EQ(nSoustrait(&a, &b, &r, 0), 0);
    EXPECT_EQ(I64(r), 5);
    ASSERT_EQ(nMultiplie(&a, &b, &r, 0), 0);
    EXPECT_EQ(I64(r), 14);
    ASSERT_EQ(nDivise(&a, &b, &r, 0), 0);
    EXPECT_EQ(Real(r), 3.5);
    ASSERT_EQ(nModulo(&a, &b, &r, 0), 0);
    EXPECT_EQ(I64(r), 1);
    HostVMCall call = Machine().RecentCall(0);
    EXPECT_STREQ(call.szName, "nModuloEx");
    EXPECT_EQ(call.nType1, TQTYPE_I4);

    // The machine gets type bytes; a NULL operand marks the result NULL.
    a.SetFlags(TQFLAG_NULL | TQFLAG_0400);
    ASSERT_EQ(nAjoute(&a, &b, &r, 3), 0);
    call = Machine().RecentCall(0);
    EXPECT_EQ(call.nType1, TQTYPE_I4);
    EXPECT_EQ(call.nOption, 3u);
    EXPECT_EQ(r.nGetFlags(), TQFLAG_NULL);
    r.SetFlags(0);
    EXPECT_EQ(I64(r), 9);
    a.SetFlags(0);

    // r may be an operand.
    ASSERT_EQ(nAjoute(&a, &b, &a, 0), 0);
    EXPECT_EQ(I64(a), 9);

    // A failure leaves r as it was.
    CAny zero;
    SetI4(zero, 0);
    SetR8(r, 1.25);
    r.SetFlags(TQFLAG_0400);
    EXPECT_GT(nDivise(&a, &zero, &r, 0), 99);
    EXPECT_EQ(r.nGetType(), TQTYPE_R8 | TQFLAG_0400);
    EXPECT_EQ(Real(r), 1.25);

    // Texts: the result's host string is the value's own.
    CAny s1, s2;
    SetDynText(s1, L"ab");
    SetDynText(s2, L"cd");
    ASSERT_EQ(nAjoute(&s1, &s2, &r, 0), 0);
    EXPECT_EQ(Text(r), L"abcd");
    const wchar_t* pBlock = nullptr;
    ASSERT_EQ(r.nGetType(), TQTYPE_DSTRW);
    std::memcpy(&pBlock, r.pbyGetValeur(), sizeof(pBlock));
    EXPECT_EQ(CBaseStrMem::s_nGetRefCount(pBlock), 1);

    // Decimals: the result object is the value's, given back with it.
    CAny d;
    SetDecimal(d, 1.5);
    ASSERT_EQ(nAjoute(&d, &b, &r, 0), 0);
    EXPECT_EQ(r.nGetTypeCode(), TQTYPE_DECIMAL);
    EXPECT_EQ(Real(r), 3.5);
    ASSERT_EQ(nMultiplie(&r, &d, &r, 0), 0);
    EXPECT_EQ(Real(r), 5.25);
}

TEST_F(AnyConvertTest, NegationKeepsTheTargetOnFailure)
{
    CAny a, r;
    SetI4(a, 5);
    ASSERT_EQ(nNegatif(&a, &r, 0), 0);
    EXPECT_EQ(I64(r), -5);
    HostVMCall call = Machine().RecentCall(0);
    EXPECT_STREQ(call.szName, "nNegationEx");
    EXPECT_EQ(call.nType1, TQTYPE_I4);

    a.SetFlags(TQFLAG_NULL | TQFLAG_0400);
    ASSERT_EQ(nNegatif(&a, &r, 0), 0);
    EXPECT_EQ(r.nGetFlags(), TQFLAG_NULL);
    a.SetFlags(0);
    ASSERT_EQ(nNegatif(&a, &a, 0), 0);
    EXPECT_EQ(I64(a), -5);

    // A decimal target keeps its value and object when the machine fails...
    CAny d, text;
    SetDecimal(d, 2.5);
    d.SetFlags(TQFLAG_0400);
    const int nLive = Machine().nLiveDecimals();
    SetText(text, L"not a number");
    EXPECT_GT(nNegatif(&text, &d, 0), 99);
    EXPECT_EQ(d.nGetType(), TQTYPE_DECIMAL | TQFLAG_0400);
    EXPECT_EQ(Real(d), 2.5);
    EXPECT_EQ(Machine().nLiveDecimals(), nLive);
    // ...and gives its object back when it takes the result.
    d.SetFlags(0);
    ASSERT_EQ(nNegatif(&d, &d, 0), 0);
    EXPECT_EQ(Real(d), -2.5);
    EXPECT_EQ(Machine().nLiveDecimals(), nLive);
}

TEST_F(AnyConvertTest, PositiveCopies)
{
    CAny a, r;
    SetDynText(a, L"copy me");
    SetDynText(r, L"old");
    a.SetFlags(TQFLAG_0400);
    EXPECT_EQ(nPositif(&a, &r, 0), 0);
    EXPECT_EQ(r.nGetType(), TQTYPE_DSTRW | TQFLAG_0400);
    EXPECT_EQ(Text(r), L"copy me");
    EXPECT_EQ(nPositif(&a, &a, 0), 0);
    EXPECT_EQ(Text(a), L"copy me");
}

TEST_F(AnyConvertTest, IncrementsInPlace)
{
    CAny v, step;
    SetI4(v, 41);
    SetI4(step, 1);
    v.SetFlags(TQFLAG_0400);
    ASSERT_EQ(nIncrementeNumerique(&v, &step), 0);
    EXPECT_EQ(v.nGetFlags(), 0);
    EXPECT_EQ(I64(v), 42);
    EXPECT_EQ(Machine().RecentCall(0).nOption, 0u);
    ASSERT_EQ(nDecrementeNumerique(&v, &step), 0);
    EXPECT_EQ(I64(v), 41);
    EXPECT_STREQ(Machine().RecentCall(0).szName, "nSoustractionEx");

    // A NULL value with a non-NULL step gives a NULL result; so does a NULL step.
    v.SetNullFlag(true);
    ASSERT_EQ(nIncrementeNumerique(&v, &step), 0);
    EXPECT_EQ(v.nGetFlags(), TQFLAG_NULL);
    v.SetFlags(0);
    step.SetNullFlag(true);
    ASSERT_EQ(nIncrementeNumerique(&v, &step), 0);
    EXPECT_EQ(v.nGetFlags(), TQFLAG_NULL);
    v.SetFlags(0);
    step.SetFlags(0);
    EXPECT_EQ(I64(v), 43);

    // Decimals: the value keeps one object, the result's goes back.
    CAny d;
    SetDecimal(d, 1.5);
    const int nLive = Machine().nLiveDecimals();
    ASSERT_EQ(nIncrementeNumerique(&d, &step), 0);
    EXPECT_EQ(d.nGetType(), TQTYPE_DECIMAL);
    EXPECT_EQ(Real(d), 2.5);
    EXPECT_EQ(Machine().nLiveDecimals(), nLive);

    // Texts add up into a text the value adopts.
    CAny t, suffix;
    SetDynText(t, L"ab");
    SetDynText(suffix, L"c");
    ASSERT_EQ(nIncrementeNumerique(&t, &suffix), 0);
    EXPECT_EQ(Text(t), L"abc");

    // A failure leaves the value alone.
    CAny array(TQTYPE_TABANY);
    SetI4(v, 7);
    v.SetFlags(TQFLAG_0400);
    EXPECT_GT(nIncrementeNumerique(&v, &array), 99);
    EXPECT_EQ(v.nGetType(), TQTYPE_I4 | TQFLAG_0400);
    v.SetFlags(0);
    EXPECT_EQ(I64(v), 7);
}

// ---- Debug rendering ---------------------------------------------------------------------------

TEST_F(AnyConvertTest, DebugTextOfAValue)
{
    CXYString<wchar_t> cl;
    CAny empty;
    EXPECT_EQ(nGetString(&cl, empty, L"v: ", 1), 0);
    EXPECT_EQ(Str(cl), L"v: <Empty>");
    EXPECT_EQ(nGetString(&cl, static_cast<const CAny*>(nullptr), L"v: ", 0), 0);
    EXPECT_EQ(Str(cl), L"v: <NULL>");

    CAny v;
    SetI4(v, 42);
    v.SetNullFlag(true);
    EXPECT_EQ(nGetString(&cl, v, L"v: ", 0), 0);
    EXPECT_EQ(Str(cl), L"v: <NULL>");
    EXPECT_EQ(nGetString(&cl, v, nullptr, 1), 0);
    EXPECT_EQ(Str(cl), L"Type=8, Len=4, Value=<NULL>");
    v.SetNullFlag(false);

    // The text is the machine's wide text of the value.
    CAny copy;
    v.pclGetTraitement()->Duplique(&copy);
    ASSERT_EQ(copy.__nCastTo(TQTYPE_PSTRW, nullptr, 1), 0);
    const std::wstring text = Text(copy);
    EXPECT_EQ(nGetString(&cl, v, L"v: ", 0), 0);
    EXPECT_EQ(Str(cl), L"v: " + text);
    EXPECT_EQ(nGetString(&cl, v, L"", 1), 0);
    EXPECT_EQ(Str(cl), L"Type=8, Len=4, Value=" + text + L", Value(binary)=2A000000");
    EXPECT_EQ(v.nGetType(), TQTYPE_I4);

    CTString str;
    EXPECT_EQ(nGetString(&str, &v, L"p", 0), 0);
    EXPECT_EQ(std::wstring(str.pszGet()), L"p" + text);

    // A value the machine cannot write.
    CAny array(TQTYPE_TABANY);
    EXPECT_GT(nGetString(&cl, array, L"a: ", 0), 99);
    EXPECT_EQ(Str(cl), L"a: <ERROR>");
}

TEST_F(AnyConvertTest, DebugTextOfALongBinaryShowsItsFirst500Bytes)
{
    unsigned char aby[1000];
    std::string hex;
    for (int i = 0; i < 1000; ++i) {
        aby[i] = static_cast<unsigned char>(i * 7 + 1);
        if (i < 500) {
            char sz[3];
            std::snprintf(sz, sizeof(sz), "%02X", aby[i]);
            hex += sz;
        }
    }
    CAny bin(TQTYPE_BIN);
    bin.pclGetTraitement()->SetValue(aby, sizeof(aby));
    CXYString<wchar_t> cl;
    ASSERT_EQ(nGetString(&cl, bin, L"", 1), 0);
    const std::wstring out = Str(cl);
    EXPECT_EQ(out.rfind(L"Type=28, Len=1000, Value=", 0), 0u);
    const std::wstring tail = L", Value(binary)=(first 500 bytes only) " + std::wstring(hex.begin(), hex.end());
    ASSERT_GE(out.size(), tail.size());
    EXPECT_EQ(out.substr(out.size() - tail.size()), tail);
}
