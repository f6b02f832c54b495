#include "common/values/AnyTreatments.h"

#include "common/text/TQBIN.h"
#include "common/values/Decimal.h"
#include "common/values/monetaire.h"

#include "tests/support/AnyValue.h"
#include "tests/support/TestHost.h"

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

namespace {

// Sets x, takes one step, and gives the status and the value after it.
template <class T>
int Step(CAny& v, unsigned short nType, T x, T& out, int (CAny_Intern::*pfnStep)())
{
    Set(v, nType, x);
    const int n = (v.pclGetTraitement()->*pfnStep)();
    out = Get<T>(v);
    return n;
}

template <class T>
int Incr(CAny& v, unsigned short nType, T x, T& out)
{
    return Step(v, nType, x, out, &CAny_Intern::nIncremente);
}

template <class T>
int Decr(CAny& v, unsigned short nType, T x, T& out)
{
    return Step(v, nType, x, out, &CAny_Intern::nDecremente);
}

void* Ptr(const CAny& v) { return Get<void*>(v); }

int RefCount(const void* pBlock) { return CBaseStrMem::s_nGetRefCount(pBlock); }

std::string Data(const CAny& v)
{
    unsigned n = 0;
    void* p = nullptr;
    v.pclGetTraitement()->nGetDataSize(&n);
    v.pclGetTraitement()->nGetDataAdr(&p);
    return p != nullptr ? std::string(static_cast<const char*>(p), n) : std::string();
}

CMoney Money(const wchar_t* psz)
{
    CMoney st;
    EXPECT_NE(pstChaineVersMonetaire(&st, psz), nullptr);
    return st;
}

// ---- Stand-ins for host objects --------------------------------------------------------

// Decimal whose value is its 18-byte data form; byte 17 set means negative.
class CFakeDecimal final : public IDecimal {
public:
    unsigned char m_aby[DATA_SIZE] = {};

    const void* pGetData() override { return m_aby; }
    unsigned nGetDataSize() override { return DATA_SIZE; }
    int nSetBytes(const void*, int, int) override { return 0; }
    void Reserved3() override {}
    void Reserved4() override {}
    int nGetDataForm(void* p) override
    {
        std::memcpy(p, m_aby, DATA_SIZE);
        return 0;
    }
    int nSetDataForm(const void* p) override
    {
        std::memcpy(m_aby, p, DATA_SIZE);
        return 0;
    }
    int nGetKey(void*) override { return 0; }
    void Reserved8() override {}
    int nSetDecimal(const IDecimal* p) override
    {
        std::memcpy(m_aby, static_cast<const CFakeDecimal*>(p)->m_aby, DATA_SIZE);
        return 0;
    }
    void Reserved10() override {}
    void Reserved11() override {}
    void Reserved12() override {}
    void Reserved13() override {}
    void Reserved14() override {}
    void Reserved15() override {}
    void Reserved16() override {}
    void Reserved17() override {}
    void Reserved18() override {}
    int nGetBytes(void*, int, int) override { return 0; }
    void Reserved20() override {}
    int nGetDigits() override { return 0; }
    int nGetDecimals() override { return 0; }
    bool bIsNegative() override { return m_aby[17] != 0; }
    int nRescale(int, int) override { return 0; }
    void SetToMin() override {}
    void SetToMax() override {}
    int nSetKey(const void*) override { return 0; }
};

class CFakeFactory final : public IVMFactory {
public:
    int m_nCreated = 0;
    int m_nReleased = 0;
    std::vector<IDecimal*> m_apReleased;

    IDecimal* piCreateObject(int nKind) override
    {
        EXPECT_EQ(nKind, 0);
        ++m_nCreated;
        return new CFakeDecimal;
    }
    void ReleaseObject(IDecimal* p) override
    {
        ++m_nReleased;
        m_apReleased.push_back(p);
        delete static_cast<CFakeDecimal*>(p);
    }
    int nLive() const { return m_nCreated - m_nReleased; }
};

// Binds a factory for the scope, as the host does when it hands over its VM.
class CBoundFactory {
public:
    CBoundFactory() { gpiVMFactory = &m_cl; }
    ~CBoundFactory()
    {
        gpiVMFactory = nullptr;
        EXPECT_EQ(m_cl.nLive(), 0) << "decimal objects not given back";
    }
    CFakeFactory m_cl;
};

class CFakeCompte final : public CObjetCompteHote {
public:
    int m_nLibere = 0;
    CFakeCompte() { m_nCompte = 1; }
    void Reserved0() override {}
    void Reserved1() override {}
    void Libere() override
    {
        ++m_nLibere;
        --m_nCompte;
    }
};

#define ZT_RESERVED(n) \
    void Reserved##n() override {}

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
    ZT_RESERVED(9) ZT_RESERVED(10) ZT_RESERVED(11) ZT_RESERVED(12) ZT_RESERVED(13) ZT_RESERVED(14)
    ZT_RESERVED(15) ZT_RESERVED(16) ZT_RESERVED(17) ZT_RESERVED(18) ZT_RESERVED(19) ZT_RESERVED(20)
    ZT_RESERVED(21) ZT_RESERVED(22) ZT_RESERVED(23) ZT_RESERVED(24) ZT_RESERVED(25) ZT_RESERVED(26)
    ZT_RESERVED(27) ZT_RESERVED(28) ZT_RESERVED(29) ZT_RESERVED(30) ZT_RESERVED(31) ZT_RESERVED(32)
    ZT_RESERVED(33) ZT_RESERVED(34) ZT_RESERVED(35) ZT_RESERVED(36) ZT_RESERVED(37) ZT_RESERVED(38)
    ZT_RESERVED(39) ZT_RESERVED(40) ZT_RESERVED(41) ZT_RESERVED(42) ZT_RESERVED(43) ZT_RESERVED(44)
    ZT_RESERVED(45) ZT_RESERVED(46) ZT_RESERVED(47) ZT_RESERVED(48)
    void* piGetTraitement() override { return &m_nTraitement; }
};

} // namespace

// ---- Scalars ----------------------------------------------------------------------------

TEST(AnyTreatmentsTest, ScalarAccessorsCopyTheStoredWidth)
{
    struct Row {
        unsigned short nType;
        unsigned nWidth;
    };
    for (const Row& r : {Row{1, 4}, Row{2, 1}, Row{3, 2}, Row{4, 4}, Row{5, 8}, Row{6, 1}, Row{7, 2}, Row{8, 4},
                         Row{9, 8}, Row{10, 10}, Row{11, 4}, Row{12, 8}, Row{14, 4}, Row{26, 8}, Row{27, 8}}) {
        SCOPED_TRACE(r.nType);
        CAny v(r.nType);
        unsigned char abySrc[16];
        for (int i = 0; i < 16; ++i)
            abySrc[i] = static_cast<unsigned char>(0xA0 + i);
        v.pclGetTraitement()->SetValue(abySrc);
        // Only the width is taken.
        for (unsigned i = 0; i < CAny::VALEUR_SIZE; ++i)
            ASSERT_EQ(v.pbyGetValeur()[i], i < r.nWidth ? abySrc[i] : 0) << i;
        unsigned n = 0;
        EXPECT_EQ(v.pclGetTraitement()->nGetUtilDataSize(&n), 0);
        EXPECT_EQ(n, r.nWidth);
        void* p = nullptr;
        EXPECT_EQ(v.pclGetTraitement()->nGetAdr(&p), 0);
        EXPECT_EQ(p, v.pbyGetValeur());
        EXPECT_EQ(v.pclGetTraitement()->nGetDataAdr(&p), 0);
        EXPECT_EQ(p, v.pbyGetValeur());
        // Fill copies the width and no more.
        for (int k = 0; k < 3; ++k) {
            unsigned char abyOut[16];
            std::memset(abyOut, 0x55, sizeof(abyOut));
            const int nStatus = k == 0   ? v.pclGetTraitement()->nFillBuffer(abyOut)
                                : k == 1 ? v.pclGetTraitement()->nFillDataBuffer(abyOut)
                                         : v.pclGetTraitement()->nFillUtilDataBuffer(abyOut);
            EXPECT_EQ(nStatus, 0);
            EXPECT_EQ(std::memcmp(abyOut, abySrc, r.nWidth), 0);
            EXPECT_EQ(abyOut[r.nWidth], 0x55);
        }
        // The text setters take the stored form too.
        CAny w(r.nType);
        w.pclGetTraitement()->SetValueFromUNICODE_CP(1252, abySrc, 1);
        if (r.nType != TQTYPE_BOOL) {
            EXPECT_EQ(std::memcmp(w.pbyGetValeur(), abySrc, r.nWidth), 0);
        }
    }

    // A boolean set with a length keeps that many bytes and zeroes the rest.
    CAny b(TQTYPE_BOOL);
    const unsigned char aby[4] = {0x11, 0x22, 0x33, 0x44};
    b.pclGetTraitement()->SetValue(aby);
    b.pclGetTraitement()->SetValue(aby, 2);
    EXPECT_EQ(Get<std::uint32_t>(b), 0x2211u);
    b.pclGetTraitement()->SetValue(aby, 9);
    EXPECT_EQ(Get<std::uint32_t>(b), 0x44332211u);
}

TEST(AnyTreatmentsTest, IncrementsReportLeavingTheRange)
{
    CAny v;
    signed char c;
    EXPECT_EQ(Incr<signed char>(v, TQTYPE_I1, 127, c), 1);
    EXPECT_EQ(c, -128);
    EXPECT_EQ(Decr<signed char>(v, TQTYPE_I1, -128, c), 1);
    EXPECT_EQ(c, 127);
    EXPECT_EQ(Incr<signed char>(v, TQTYPE_I1, -1, c), 0);
    EXPECT_EQ(c, 0);

    short s;
    EXPECT_EQ(Decr<short>(v, TQTYPE_I2, -32768, s), 1);
    EXPECT_EQ(s, 32767);
    EXPECT_EQ(Incr<short>(v, TQTYPE_I2, 100, s), 0);
    EXPECT_EQ(s, 101);

    int n;
    EXPECT_EQ(Incr<int>(v, TQTYPE_I4, INT32_MAX, n), 1);
    EXPECT_EQ(n, INT32_MIN);
    EXPECT_EQ(Decr<int>(v, TQTYPE_UIX, INT32_MIN, n), 1);
    EXPECT_EQ(n, INT32_MAX);
    EXPECT_EQ(Incr<int>(v, TQTYPE_UIX, -1, n), 0);
    EXPECT_EQ(n, 0);

    long long ll;
    EXPECT_EQ(Incr<long long>(v, TQTYPE_I8, INT64_MAX, ll), 0);
    EXPECT_EQ(ll, INT64_MIN);
    EXPECT_EQ(Decr<long long>(v, TQTYPE_I8, 0, ll), 0);
    EXPECT_EQ(ll, -1);

    unsigned char uc;
    EXPECT_EQ(Incr<unsigned char>(v, TQTYPE_UI1, 255, uc), 1);
    EXPECT_EQ(uc, 0);
    unsigned short us;
    EXPECT_EQ(Decr<unsigned short>(v, TQTYPE_UI2, 0, us), 1);
    EXPECT_EQ(us, 65535);
    unsigned u;
    EXPECT_EQ(Decr<unsigned>(v, TQTYPE_UI4, 0, u), 1);
    EXPECT_EQ(u, 4294967295u);
    EXPECT_EQ(Incr<unsigned>(v, TQTYPE_UI4, 41, u), 0);
    EXPECT_EQ(u, 42u);

    // Unsigned 64 bits: the top bit decides, both ways.
    unsigned long long ull;
    EXPECT_EQ(Incr<unsigned long long>(v, TQTYPE_UI8, 0x7FFFFFFFFFFFFFFFull, ull), 1);
    EXPECT_EQ(ull, 0x8000000000000000ull);
    EXPECT_EQ(Incr<unsigned long long>(v, TQTYPE_UI8, 0xFFFFFFFFFFFFFFFFull, ull), 0);
    EXPECT_EQ(ull, 0u);
    EXPECT_EQ(Decr<unsigned long long>(v, TQTYPE_UI8, 0, ull), 1);
    EXPECT_EQ(Decr<unsigned long long>(v, TQTYPE_UI8, 0x8000000000000000ull, ull), 0);
    EXPECT_EQ(ull, 0x7FFFFFFFFFFFFFFFull);

    // Reals: the single keeps the rounded result; infinities and NaN leave the range.
    float f;
    EXPECT_EQ(Incr<float>(v, TQTYPE_R4, 1.5f, f), 0);
    EXPECT_EQ(f, 2.5f);
    EXPECT_EQ(Incr<float>(v, TQTYPE_R4, 16777216.0f, f), 0);
    EXPECT_EQ(f, 16777216.0f);
    EXPECT_EQ(Incr<float>(v, TQTYPE_R4, std::numeric_limits<float>::infinity(), f), 1);
    EXPECT_EQ(Decr<float>(v, TQTYPE_R4, -std::numeric_limits<float>::infinity(), f), 1);
    EXPECT_EQ(Decr<float>(v, TQTYPE_R4, std::numeric_limits<float>::quiet_NaN(), f), 1);
    double d;
    EXPECT_EQ(Decr<double>(v, TQTYPE_R8, 0.25, d), 0);
    EXPECT_EQ(d, -0.75);
    EXPECT_EQ(Incr<double>(v, TQTYPE_R8, std::numeric_limits<double>::infinity(), d), 0);

    // Not offered.
    for (unsigned short nType : {TQTYPE_BOOL, TQTYPE_DATETIME, TQTYPE_DUREE, TQTYPE_DECIMAL}) {
        CAny w(nType);
        EXPECT_EQ(w.pclGetTraitement()->nIncremente(), 105) << nType;
        EXPECT_EQ(w.pclGetTraitement()->nDecremente(), 105) << nType;
    }
}

TEST(AnyTreatmentsTest, CurrencyIncrementIsExact)
{
    CAny v;
    CMoney st = Money(L"1.5");
    Set(v, TQTYPE_CY, st);
    EXPECT_EQ(v.pclGetTraitement()->nIncremente(), 0);
    CMoney r = Get<CMoney>(v);
    CMoney expected = Money(L"2.5");
    EXPECT_EQ(nCmpMonetaire(&r, &expected), 0);

    // Beyond the 53 bits of a double: no millionth is lost.
    Set(v, TQTYPE_CY, Money(L"10000000000.000001"));
    EXPECT_EQ(v.pclGetTraitement()->nIncremente(), 0);
    r = Get<CMoney>(v);
    expected = Money(L"10000000001.000001");
    EXPECT_EQ(nCmpMonetaire(&r, &expected), 0);
    EXPECT_EQ(v.pclGetTraitement()->nDecremente(), 0);
    EXPECT_EQ(v.pclGetTraitement()->nDecremente(), 0);
    r = Get<CMoney>(v);
    expected = Money(L"9999999999.000001");
    EXPECT_EQ(nCmpMonetaire(&r, &expected), 0);

    // At the ends: out of range, value kept.
    CMoney stMax;
    SetMonetaireToMax(&stMax);
    Set(v, TQTYPE_CY, stMax);
    EXPECT_EQ(v.pclGetTraitement()->nIncremente(), 1);
    r = Get<CMoney>(v);
    EXPECT_EQ(nCmpMonetaire(&r, &stMax), 0);
    CMoney stMin;
    SetMonetaireToMin(&stMin);
    Set(v, TQTYPE_CY, stMin);
    EXPECT_EQ(v.pclGetTraitement()->nDecremente(), 1);
    r = Get<CMoney>(v);
    EXPECT_EQ(nCmpMonetaire(&r, &stMin), 0);
}

TEST(AnyTreatmentsTest, SignOfScalars)
{
    CAny v;
    Set<signed char>(v, TQTYPE_I1, -1);
    EXPECT_FALSE(v.pclGetTraitement()->bIsPositive());
    Set<short>(v, TQTYPE_I2, 0);
    EXPECT_TRUE(v.pclGetTraitement()->bIsPositive());
    Set<int>(v, TQTYPE_I4, INT32_MIN);
    EXPECT_FALSE(v.pclGetTraitement()->bIsPositive());
    Set<long long>(v, TQTYPE_I8, -1);
    EXPECT_FALSE(v.pclGetTraitement()->bIsPositive());
    Set<long long>(v, TQTYPE_I8, INT64_MAX);
    EXPECT_TRUE(v.pclGetTraitement()->bIsPositive());
    // Unsigned, UIX, boolean, date-time and duration: always.
    Set<unsigned>(v, TQTYPE_UI4, 0xFFFFFFFFu);
    EXPECT_TRUE(v.pclGetTraitement()->bIsPositive());
    Set<int>(v, TQTYPE_UIX, -5);
    EXPECT_TRUE(v.pclGetTraitement()->bIsPositive());
    Set<unsigned long long>(v, TQTYPE_UI8, ~0ull);
    EXPECT_TRUE(v.pclGetTraitement()->bIsPositive());
    Set<long long>(v, TQTYPE_DUREE, -1);
    EXPECT_TRUE(v.pclGetTraitement()->bIsPositive());
    // Reals: NaN is not positive, negative zero is.
    Set<double>(v, TQTYPE_R8, std::nan(""));
    EXPECT_FALSE(v.pclGetTraitement()->bIsPositive());
    Set<double>(v, TQTYPE_R8, -0.0);
    EXPECT_TRUE(v.pclGetTraitement()->bIsPositive());
    Set<float>(v, TQTYPE_R4, -1e-30f);
    EXPECT_FALSE(v.pclGetTraitement()->bIsPositive());
    // Currency: the sign of the top word.
    Set(v, TQTYPE_CY, Money(L"-0.000001"));
    EXPECT_FALSE(v.pclGetTraitement()->bIsPositive());
    Set(v, TQTYPE_CY, Money(L"0"));
    EXPECT_TRUE(v.pclGetTraitement()->bIsPositive());
}

TEST(AnyTreatmentsTest, DecimalWithoutTheValueMachine)
{
    ASSERT_EQ(gpiVMFactory, nullptr);
    CAny v(TQTYPE_DECIMAL), w;
    EXPECT_EQ(Ptr(v), nullptr);
    unsigned char aby[IDecimal::DATA_SIZE] = {1, 2, 3};
    v.pclGetTraitement()->SetValue(aby, IDecimal::DATA_SIZE);
    v.pclGetTraitement()->SetValue(aby);
    EXPECT_EQ(v.pclGetTraitement()->nFillDataBuffer(aby), 105);
    EXPECT_EQ(v.pclGetTraitement()->nFillUtilDataBuffer(aby), 105);
    EXPECT_TRUE(v.pclGetTraitement()->bIsPositive());
    v.SetNullFlag(true);
    v.pclGetTraitement()->Duplique(&w);
    EXPECT_EQ(w.nGetType(), TQTYPE_DECIMAL | TQFLAG_NULL);
    EXPECT_EQ(Ptr(w), nullptr);
}

TEST(AnyTreatmentsTest, DecimalHoldsAHostObject)
{
    CBoundFactory clFactory;
    {
        CAny v(TQTYPE_DECIMAL);
        EXPECT_EQ(clFactory.m_cl.m_nCreated, 1);
        ASSERT_NE(Ptr(v), nullptr);
        unsigned n = 0;
        EXPECT_EQ(v.pclGetTraitement()->nGetSize(&n), 0);
        EXPECT_EQ(n, 4u);
        EXPECT_EQ(v.pclGetTraitement()->nGetDataSize(&n), 0);
        EXPECT_EQ(n, 18u);
        EXPECT_EQ(v.pclGetTraitement()->nGetUtilDataSize(&n), 0);
        EXPECT_EQ(n, 18u);
        void* p = &n;
        EXPECT_EQ(v.pclGetTraitement()->nGetDataAdr(&p), 105);
        EXPECT_EQ(p, nullptr);
        EXPECT_EQ(v.pclGetTraitement()->nFillBuffer(&p), 0);
        EXPECT_EQ(p, Ptr(v));

        // Set from the 18-byte form, read back, copy into a new object.
        unsigned char aby[18];
        for (int i = 0; i < 18; ++i)
            aby[i] = static_cast<unsigned char>(i + 1);
        v.pclGetTraitement()->SetValue(aby, 3);
        unsigned char abyOut[19];
        abyOut[18] = 0x55;
        EXPECT_EQ(v.pclGetTraitement()->nFillDataBuffer(abyOut), 0);
        EXPECT_EQ(std::memcmp(abyOut, aby, 18), 0);
        EXPECT_EQ(abyOut[18], 0x55);
        EXPECT_FALSE(v.pclGetTraitement()->bIsPositive());

        CAny w;
        v.SetFlags(TQFLAG_0400);
        v.pclGetTraitement()->Duplique(&w);
        EXPECT_EQ(clFactory.m_cl.m_nCreated, 2);
        EXPECT_EQ(w.nGetType(), TQTYPE_DECIMAL | TQFLAG_0400);
        ASSERT_NE(Ptr(w), Ptr(v));
        EXPECT_EQ(std::memcmp(static_cast<CFakeDecimal*>(Ptr(w))->m_aby, aby, 18), 0);

        // Rebuilt by __SetType (a flag set): the old object goes back.
        void* pOld = Ptr(w);
        w.__SetType(TQTYPE_DECIMAL, 0);
        EXPECT_EQ(clFactory.m_cl.m_nReleased, 1);
        EXPECT_EQ(clFactory.m_cl.m_apReleased.back(), pOld);

        // Transfer: the old object goes back once, the handed one is adopted.
        IDecimal* piNew = clFactory.m_cl.piCreateObject(0);
        unsigned char abyRaw[CAny::VALEUR_SIZE] = {};
        std::memcpy(abyRaw, &piNew, sizeof(piNew));
        pOld = Ptr(v);
        v.__TransfertValeurInterne(TQTYPE_DECIMAL, abyRaw);
        EXPECT_EQ(clFactory.m_cl.m_nReleased, 2);
        EXPECT_EQ(clFactory.m_cl.m_apReleased.back(), pOld);
        EXPECT_EQ(Ptr(v), piNew);
    }
    EXPECT_EQ(clFactory.m_cl.m_nReleased, 4);
}

// ---- Binaries -----------------------------------------------------------------------------

TEST(AnyTreatmentsTest, BinaryIsSharedAndReleasedOnce)
{
    CLiveBlockCheck clCheck;
    const int nStart = TestHost().nLiveBlocks();
    CAny v;
    v.__SetType(TQTYPE_BIN, 0);
    unsigned n = 9;
    void* p = &n;
    EXPECT_EQ(v.pclGetTraitement()->nGetDataSize(&n), 0);
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(v.pclGetTraitement()->nGetDataAdr(&p), 0);
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(v.pclGetTraitement()->nGetSize(&n), 0);
    EXPECT_EQ(n, 4u);

    SetBin(v, "binary");
    EXPECT_EQ(TestHost().nLiveBlocks(), nStart + 1);
    EXPECT_EQ(Data(v), "binary");
    {
        CAny w;
        v.SetFlags(TQFLAG_NULL | TQFLAG_0400);
        v.pclGetTraitement()->Duplique(&w);
        EXPECT_EQ(w.nGetType(), TQTYPE_BIN | TQFLAG_NULL | TQFLAG_0400);
        EXPECT_EQ(Ptr(w), Ptr(v));
        EXPECT_EQ(RefCount(Ptr(v)), 2);
        EXPECT_EQ(TestHost().nLiveBlocks(), nStart + 1);

        // Fill into a handle: it lets go of its own and shares ours.
        CTQBIN cl(reinterpret_cast<const unsigned char*>("zz"), 2);
        EXPECT_EQ(v.pclGetTraitement()->nFillBuffer(&cl), 0);
        EXPECT_EQ(cl.pGetData(), Ptr(v));
        EXPECT_EQ(RefCount(Ptr(v)), 3);
        EXPECT_EQ(TestHost().nLiveBlocks(), nStart + 1);

        // SetValue(p) shares a handle; SetValue(p, n) copies bytes.
        CAny x(TQTYPE_BIN);
        x.pclGetTraitement()->SetValue(&cl);
        EXPECT_EQ(Ptr(x), Ptr(v));
        EXPECT_EQ(RefCount(Ptr(v)), 4);
        x.pclGetTraitement()->SetValue("copy", 4);
        EXPECT_NE(Ptr(x), Ptr(v));
        EXPECT_EQ(Data(x), "copy");
        EXPECT_EQ(RefCount(Ptr(v)), 3);
        unsigned char aby[8] = {};
        EXPECT_EQ(x.pclGetTraitement()->nFillDataBuffer(aby), 0);
        EXPECT_EQ(std::memcmp(aby, "copy\0", 5), 0);
        EXPECT_EQ(x.pclGetTraitement()->nGetUtilDataSize(&n), 0);
        EXPECT_EQ(n, 4u);
        x.pclGetTraitement()->SetValue(nullptr);
        EXPECT_EQ(Ptr(x), nullptr);
    }
    EXPECT_EQ(RefCount(Ptr(v)), 1);
}

TEST(AnyTreatmentsTest, BufferRefersToTheCallersBytes)
{
    unsigned char abyCaller[6] = {'b', 'u', 'f', 'f', 'e', 'r'};
    CAny v(TQTYPE_BUFFER);
    v.pclGetTraitement()->SetValue(abyCaller);
    unsigned n = 9;
    EXPECT_EQ(v.pclGetTraitement()->nGetDataSize(&n), 0);
    EXPECT_EQ(n, 0u);
    unsigned char abyOut[8];
    std::memset(abyOut, 0x55, sizeof(abyOut));
    EXPECT_EQ(v.pclGetTraitement()->nFillDataBuffer(abyOut), 0);
    EXPECT_EQ(abyOut[0], 0x55);

    v.pclGetTraitement()->SetValue(abyCaller, 6);
    void* p = nullptr;
    EXPECT_EQ(v.pclGetTraitement()->nGetDataAdr(&p), 0);
    EXPECT_EQ(p, abyCaller);
    EXPECT_EQ(v.pclGetTraitement()->nFillDataBuffer(abyOut), 0);
    EXPECT_EQ(std::memcmp(abyOut, abyCaller, 6), 0);
    EXPECT_EQ(abyOut[6], 0x55);
    struct {
        void* p;
        std::uint32_t n;
    } stPair = {nullptr, 0};
    EXPECT_EQ(v.pclGetTraitement()->nFillBuffer(&stPair), 0);
    EXPECT_EQ(stPair.p, abyCaller);
    EXPECT_EQ(stPair.n, 6u);

    CAny w;
    v.SetNullFlag(true);
    v.pclGetTraitement()->Duplique(&w);
    EXPECT_EQ(w.nGetType(), TQTYPE_BUFFER | TQFLAG_NULL);
    EXPECT_EQ(w.pclGetTraitement()->nGetDataAdr(&p), 0);
    EXPECT_EQ(p, abyCaller);
    EXPECT_EQ(w.pclGetTraitement()->nGetDataSize(&n), 0);
    EXPECT_EQ(n, 6u);
}

// ---- Arrays of values ----------------------------------------------------------------------

TEST(AnyTreatmentsTest, ArraysCopyAndReleaseTheirElements)
{
    CLiveBlockCheck clCheck;
    const int nStart = TestHost().nLiveBlocks();
    CAny aSource[3];
    Set<int>(aSource[0], TQTYPE_I4, 7);
    SetBin(aSource[1], "element");
    aSource[1].SetNullFlag(true);
    Set<short>(aSource[2], TQTYPE_I2, -2);
    aSource[2].SetFlags(TQFLAG_0400);

    CAny v(TQTYPE_TABANY);
    v.pclGetTraitement()->SetValue(aSource, 3);
    unsigned n = 0;
    EXPECT_EQ(v.pclGetTraitement()->nGetDataSize(&n), 0);
    EXPECT_EQ(n, 3u);
    EXPECT_EQ(v.pclGetTraitement()->nGetSize(&n), 0);
    EXPECT_EQ(n, 8u);
    void* p = nullptr;
    EXPECT_EQ(v.pclGetTraitement()->nGetDataAdr(&p), 0);
    CAny* pTab = static_cast<CAny*>(p);
    ASSERT_NE(pTab, nullptr);
    EXPECT_NE(pTab, aSource);
    EXPECT_EQ(pTab[0].nGetType(), TQTYPE_I4);
    EXPECT_EQ(Get<int>(pTab[0]), 7);
    EXPECT_EQ(pTab[1].nGetType(), TQTYPE_BIN | TQFLAG_NULL);
    EXPECT_EQ(Ptr(pTab[1]), Ptr(aSource[1]));
    EXPECT_EQ(pTab[2].nGetType(), TQTYPE_I2 | TQFLAG_0400);
    EXPECT_EQ(RefCount(Ptr(aSource[1])), 2);
    unsigned char aby[8];
    EXPECT_EQ(v.pclGetTraitement()->nFillDataBuffer(aby), 105);
    EXPECT_EQ(v.pclGetTraitement()->nFillUtilDataBuffer(aby), 105);
    struct {
        CAny* p;
        std::uint32_t n;
    } stPair = {nullptr, 0};
    EXPECT_EQ(v.pclGetTraitement()->nFillBuffer(&stPair), 0);
    EXPECT_EQ(stPair.p, pTab);
    EXPECT_EQ(stPair.n, 3u);

    // A copy has elements of its own.
    {
        CAny w;
        v.pclGetTraitement()->Duplique(&w);
        EXPECT_EQ(w.nGetType(), TQTYPE_TABANY);
        w.pclGetTraitement()->nGetDataAdr(&p);
        CAny* pCopy = static_cast<CAny*>(p);
        ASSERT_NE(pCopy, pTab);
        EXPECT_EQ(RefCount(Ptr(aSource[1])), 3);
        Set<int>(pCopy[0], TQTYPE_I4, 99);
        EXPECT_EQ(Get<int>(pTab[0]), 7);

        // Copying onto a value that already holds an array frees the old one.
        v.pclGetTraitement()->Duplique(&w);
        EXPECT_EQ(RefCount(Ptr(aSource[1])), 3);
        w.pclGetTraitement()->nGetDataAdr(&p);
        EXPECT_EQ(Get<int>(static_cast<CAny*>(p)[0]), 7);
    }
    EXPECT_EQ(RefCount(Ptr(aSource[1])), 2);

    // Set again from an element of its own array: built before the old goes.
    v.pclGetTraitement()->SetValue(&pTab[1]);
    EXPECT_EQ(v.pclGetTraitement()->nGetDataSize(&n), 0);
    EXPECT_EQ(n, 1u);
    v.pclGetTraitement()->nGetDataAdr(&p);
    EXPECT_EQ(Ptr(static_cast<CAny*>(p)[0]), Ptr(aSource[1]));
    EXPECT_EQ(RefCount(Ptr(aSource[1])), 2);

    // Nested arrays copy deeply.
    CAny outer(TQTYPE_TABANY);
    outer.pclGetTraitement()->SetValue(&v);
    CAny outerCopy;
    outer.pclGetTraitement()->Duplique(&outerCopy);
    EXPECT_EQ(RefCount(Ptr(aSource[1])), 4);

    // An array handed over directly is owned and released with the value.
    CAny* pDirect = static_cast<CAny*>(std::malloc(2 * sizeof(CAny)));
    ::new (static_cast<void*>(&pDirect[0])) CAny;
    ::new (static_cast<void*>(&pDirect[1])) CAny;
    SetBin(pDirect[0], "direct");
    CAny_TQTABANY::s_SetDirect(&outer, pDirect, 2);
    EXPECT_EQ(outer.nGetType(), TQTYPE_TABANY);
    outer.pclGetTraitement()->nGetDataAdr(&p);
    EXPECT_EQ(p, pDirect);
    EXPECT_EQ(RefCount(Ptr(aSource[1])), 3);
    outer.__SetType(TQTYPE_I4, 0);
    outerCopy.__SetType(TQTYPE_I4, 0);
    v.__SetType(TQTYPE_VIDE, 0);
    EXPECT_EQ(RefCount(Ptr(aSource[1])), 1);
    EXPECT_EQ(TestHost().nLiveBlocks(), nStart + 1);
}

// ---- Host objects ---------------------------------------------------------------------------

TEST(AnyTreatmentsTest, CountedObjectsAreCountedAndGivenBack)
{
    for (unsigned short nType : {TQTYPE_MEMOIMG, TQTYPE_CONVOYEUR, TQTYPE_POLICE}) {
        SCOPED_TRACE(nType);
        CFakeCompte clObjet, clAutre;
        {
            CAny v(nType), w;
            v.pclGetTraitement()->Duplique(&w);
            EXPECT_EQ(w.nGetType(), nType);
            EXPECT_EQ(Ptr(w), nullptr);

            v.pclGetTraitement()->SetValue(&clObjet);
            EXPECT_EQ(clObjet.m_nCompte, 2);
            void* p = nullptr;
            EXPECT_EQ(v.pclGetTraitement()->nFillBuffer(&p), 0);
            EXPECT_EQ(p, &clObjet);
            EXPECT_EQ(v.pclGetTraitement()->nGetDataAdr(&p), 0);
            EXPECT_EQ(p, v.pbyGetValeur());
            EXPECT_EQ(clObjet.m_nCompte, 2);

            v.SetNullFlag(true);
            v.pclGetTraitement()->Duplique(&w);
            EXPECT_EQ(w.nGetType(), nType | TQFLAG_NULL);
            EXPECT_EQ(Ptr(w), &clObjet);
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
        EXPECT_EQ(clObjet.m_nRef, 2);
        EXPECT_EQ(v.piGetTraitement(), &clObjet.m_nTraitement);

        // The value holds the only reference; setting the same object keeps it alive.
        clObjet.Release();
        v.pclGetTraitement()->SetValue(&clObjet);
        EXPECT_FALSE(clObjet.m_bDetruit);
        EXPECT_EQ(clObjet.m_nRef, 1);

        // Copies become 108 (or stay 111) and carry no flag.
        v.SetFlags(TQFLAG_NULL | TQFLAG_0400);
        EXPECT_EQ(v.piGetTraitement(), nullptr);
        CAny w;
        v.pclGetTraitement()->Duplique(&w);
        EXPECT_EQ(w.nGetType(), TQTYPE_OBJET);
        EXPECT_EQ(Ptr(w), &clObjet);
        EXPECT_EQ(clObjet.m_nRef, 2);
        EXPECT_EQ(w.piGetTraitement(), nullptr);

        CAny d(TQTYPE_DINO), e;
        d.pclGetTraitement()->SetValue(&clObjet);
        d.SetNullFlag(true);
        d.pclGetTraitement()->Duplique(&e);
        EXPECT_EQ(e.nGetType(), TQTYPE_DINO);
        EXPECT_EQ(clObjet.m_nRef, 4);
        unsigned n = 0;
        EXPECT_EQ(e.pclGetTraitement()->nGetDataSize(&n), 0);
        EXPECT_EQ(n, 4u);
    }
    EXPECT_EQ(clObjet.m_nRef, 0);
    EXPECT_TRUE(clObjet.m_bDetruit);
}

TEST(AnyTreatmentsTest, DecimalStorageSizes)
{
    // Each size holds 10^p - 1 in its magnitude bytes (size less the sign
    // and scale bytes), and one byte less would not.
    for (int p = 1; p <= IDecimal::MAX_DIGITS; ++p) {
        SCOPED_TRACE(p);
        // Bits of 10^p - 1 by repeated multiplication in base 2^32.
        std::vector<std::uint32_t> a(1, 1);
        for (int i = 0; i < p; ++i) {
            std::uint64_t carry = 0;
            for (auto& w : a) {
                const std::uint64_t x = static_cast<std::uint64_t>(w) * 10 + carry;
                w = static_cast<std::uint32_t>(x);
                carry = x >> 32;
            }
            if (carry != 0)
                a.push_back(static_cast<std::uint32_t>(carry));
        }
        // 10^p is not a power of two, so 10^p - 1 has the bits of 10^p.
        int nBits = 32 * static_cast<int>(a.size() - 1);
        for (std::uint32_t w = a.back(); w != 0; w >>= 1)
            ++nBits;
        const int nMagnitude = IDecimal::mg_PToN[p] - 2;
        EXPECT_GE(nMagnitude * 8, nBits);
        EXPECT_LT((nMagnitude - 1) * 8, nBits);
    }
    EXPECT_EQ(IDecimal::mg_PToN[IDecimal::MAX_DIGITS], IDecimal::DATA_SIZE);
}
