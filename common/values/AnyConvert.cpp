#include "common/values/AnyConvert.h"

#include "common/text/CodePage.h"
#include "common/text/Tstring.h"
#include "common/text/XYString.h"
#include "common/values/Any.h"
#include "common/values/Decimal.h"

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <dlfcn.h>

// ---- Bindings ----------------------------------------------------------------------------

void* ghConvVM = nullptr;
int gnVersionConvVM = 0;
int gnVersionCompatConvVM = 0;
void* ghCalcVM = nullptr;
int gnVersionCalcVM = 0;
int gnVersionCompatCalcVM = 0;

PFN_VM_CONVERSION gpfnConvDepExt = nullptr;
PFN_VM_FINCONVERSION gpfnFinConv = nullptr;

PFN_VM_CANCOMPARE gpfnCanCompareEx = nullptr;
PFN_VM_RESULTTYPE gpfnGetTypeAjouteEx = nullptr;
PFN_VM_RESULTTYPE gpfnGetTypeSoustraitEx = nullptr;
PFN_VM_RESULTTYPE gpfnGetTypeMultiplieEx = nullptr;
PFN_VM_RESULTTYPE gpfnGetTypeDiviseEx = nullptr;
PFN_VM_RESULTTYPE gpfnGetTypeModuloEx = nullptr;
PFN_VM_COMPARE gpfnCompareEx = nullptr;
PFN_VM_COMPARE gpfnEgaliteEx = nullptr;
PFN_VM_COMPARE gpfnSuperieurEx = nullptr;
PFN_VM_COMPARE gpfnInferieurEx = nullptr;
PFN_VM_COMPARE gpfnPresqueEgalEx = nullptr;
PFN_VM_COMPARE gpfnSoupleEgalEx = nullptr;
PFN_VM_COMPARE gpfnCommenceParEx = nullptr;
PFN_VM_COMPARE gpfnCommenceParSoupleEx = nullptr;
PFN_VM_COMPARE gpfnCommenceParTresSoupleEx = nullptr;
PFN_VM_COMPARE gpfnContientEx = nullptr;
PFN_VM_COMPARE gpfnContientSoupleEx = nullptr;
PFN_VM_COMPARE gpfnContientTresSoupleEx = nullptr;
PFN_VM_COMPARE gpfnTermineParEx = nullptr;
PFN_VM_COMPARE gpfnTermineParSoupleEx = nullptr;
PFN_VM_COMPARE gpfnTermineParTresSoupleEx = nullptr;
PFN_VM_COMPARE gpfnETLogiqueEx = nullptr;
PFN_VM_COMPARE gpfnOULogiqueEx = nullptr;
PFN_VM_NOT gpfnNONLogiqueEx = nullptr;
PFN_VM_NEGATION gpfnNegationEx = nullptr;
PFN_VM_ARITHMETIC gpfnAdditionEx = nullptr;
PFN_VM_ARITHMETIC gpfnSoustractionEx = nullptr;
PFN_VM_ARITHMETIC gpfnMultiplicationEx = nullptr;
PFN_VM_ARITHMETIC gpfnDivisionEx = nullptr;
PFN_VM_ARITHMETIC gpfnModuloEx = nullptr;

namespace {

constexpr int kMaxSuccess = 99;

static_assert(sizeof(PFN_VM_COMPARE) == sizeof(void*), "function pointers are stored as symbol addresses");

// The operators in the order they are looked up, with the pointer each fills.
struct SOperatorName {
    const char* pszName;
    void* pTarget;
};

const SOperatorName kOperators[] = {
    {"bCanCompareEx", &gpfnCanCompareEx},
    {"wAjouteEx", &gpfnGetTypeAjouteEx},
    {"wSoustraitEx", &gpfnGetTypeSoustraitEx},
    {"wMultiplieEx", &gpfnGetTypeMultiplieEx},
    {"wDiviseEx", &gpfnGetTypeDiviseEx},
    {"wModuloEx", &gpfnGetTypeModuloEx},
    {"nComparaisonEx", &gpfnCompareEx},
    {"nEgaliteEx", &gpfnEgaliteEx},
    {"nSuperieurEx", &gpfnSuperieurEx},
    {"nInferieurEx", &gpfnInferieurEx},
    {"nPresqueEgalEx", &gpfnPresqueEgalEx},
    {"nSoupleEgalEx", &gpfnSoupleEgalEx},
    {"nCommenceParEx", &gpfnCommenceParEx},
    {"nCommenceParSoupleEx", &gpfnCommenceParSoupleEx},
    {"nCommenceParTresSoupleEx", &gpfnCommenceParTresSoupleEx},
    {"nContientEx", &gpfnContientEx},
    {"nContientSoupleEx", &gpfnContientSoupleEx},
    {"nContientTresSoupleEx", &gpfnContientTresSoupleEx},
    {"nTermineParEx", &gpfnTermineParEx},
    {"nTermineParSoupleEx", &gpfnTermineParSoupleEx},
    {"nTermineParTresSoupleEx", &gpfnTermineParTresSoupleEx},
    {"nETLogiqueEx", &gpfnETLogiqueEx},
    {"nOULogiqueEx", &gpfnOULogiqueEx},
    {"nNONLogiqueEx", &gpfnNONLogiqueEx},
    {"nNegationEx", &gpfnNegationEx},
    {"nAdditionEx", &gpfnAdditionEx},
    {"nSoustractionEx", &gpfnSoustractionEx},
    {"nMultiplicationEx", &gpfnMultiplicationEx},
    {"nDivisionEx", &gpfnDivisionEx},
    {"nModuloEx", &gpfnModuloEx},
};
static_assert(sizeof(kOperators) / sizeof(kOperators[0]) == 30, "the machine offers 30 operators");

void SetPointer(void* pTarget, void* pSymbol)
{
    std::memcpy(pTarget, &pSymbol, sizeof(pSymbol));
}

// A null handle would make dlsym search the whole process.
void* pSymbol(void* hVM, const char* pszName)
{
    return hVM != nullptr ? dlsym(hVM, pszName) : nullptr;
}

typedef int (*PFN_BINDING_ENTRY)(void*, int, int);

}  // namespace

int bInitFactory(void* hVM)
{
    void* p = pSymbol(hVM, "pQueryProxy");
    if (p == nullptr)
        return 0;
    PFN_VM_QUERYPROXY pfnQueryProxy;
    SetPointer(&pfnQueryProxy, p);
    gpiVMFactory = pfnQueryProxy(VM_SERVICE_FACTORY);
    return 1;
}

// Every name is looked up before anything is bound: a machine that lacks
// one is not bound at all rather than bound in part.
int bInitTQConvFromVM(void* hVM, int nVersion, int nVersionCompat)
{
    if (nVersion < 2 || nVersionCompat >= 3)
        return 0;
    void* pConversion = pSymbol(hVM, "nConversionDepassementExt");
    void* pFin = pConversion != nullptr ? pSymbol(hVM, "FinConversion") : nullptr;
    if (pFin == nullptr || pSymbol(hVM, "pQueryProxy") == nullptr) {
        gpfnConvDepExt = nullptr;
        gpfnFinConv = nullptr;
        gpiVMFactory = nullptr;
        return 0;
    }
    SetPointer(&gpfnConvDepExt, pConversion);
    SetPointer(&gpfnFinConv, pFin);
    ghConvVM = hVM;
    gnVersionConvVM = nVersion;
    gnVersionCompatConvVM = nVersionCompat;
    return bInitFactory(hVM);
}

int bInitTQCalcFromVM(void* hVM, int nVersion, int nVersionCompat)
{
    if (nVersion < 2 || nVersionCompat > 2)
        return 0;
    void* apFound[30];
    for (int i = 0; i < 30; ++i) {
        apFound[i] = pSymbol(hVM, kOperators[i].pszName);
        if (apFound[i] == nullptr) {
            for (const SOperatorName& op : kOperators)
                SetPointer(op.pTarget, nullptr);
            return 0;
        }
    }
    for (int i = 0; i < 30; ++i)
        SetPointer(kOperators[i].pTarget, apFound[i]);
    ghCalcVM = hVM;
    gnVersionCalcVM = nVersion;
    gnVersionCompatCalcVM = nVersionCompat;
    return 1;
}

namespace {

int nPassOn(void* hModule, const char* pszEntry, void* hVM, int nVersion, int nVersionCompat)
{
    void* p = pSymbol(hModule, pszEntry);
    if (p == nullptr)
        return 1;
    PFN_BINDING_ENTRY pfn;
    SetPointer(&pfn, p);
    return pfn(hVM, nVersion, nVersionCompat);
}

}  // namespace

int bInitTQConvFromServeur_OBSOLETE(void* hModule)
{
    return nPassOn(hModule, "bInitTQConvFromVM", ghConvVM, gnVersionConvVM, gnVersionCompatConvVM);
}

int bInitTQCalcFromServeur(void* hModule)
{
    return nPassOn(hModule, "bInitTQCalcFromVM", ghCalcVM, gnVersionCalcVM, gnVersionCompatCalcVM);
}

// ---- Casts and text extraction ------------------------------------------------------------

namespace {

// Types whose conversion result is a pointer that SetValue takes as such.
bool bPointerResult(unsigned char nType)
{
    return nType == TQTYPE_PSTRA || nType == TQTYPE_PSTRW || nType == TQTYPE_DECIMAL;
}

// Types whose machine result owns storage that an adopting value must take over.
bool bOwningResult(unsigned char nType)
{
    return nType == TQTYPE_DSTRW || nType == TQTYPE_DSTRA || nType == TQTYPE_BIN || nType == TQTYPE_PSTRA ||
           nType == TQTYPE_PSTRW;
}

template <class T>
T* pPointerIn(const unsigned char* pby)
{
    T* p;
    std::memcpy(&p, pby, sizeof(p));
    return p;
}

// Bytes of a type's stored form in a value area (terminators included).
unsigned nStoredBytes(unsigned char nType)
{
    switch (nType) {
    case TQTYPE_DECIMAL:
    case TQTYPE_DSTRW:
    case TQTYPE_PSTRA:
    case TQTYPE_DSTRA:
    case TQTYPE_BIN:
    case TQTYPE_PSTRW:
        return sizeof(void*);
    case TQTYPE_CARA:
        return 2;
    case TQTYPE_CARW:
        return 2 * sizeof(wchar_t);
    default:
        return tqTabSizeType[nType];
    }
}

}  // namespace

int CAny::__nCastTo(unsigned short nType, const STOCAW* pstOCAW, unsigned int nOption)
{
    const unsigned char nCode = static_cast<unsigned char>(nType);
    if (nGetTypeCode() == nCode)
        return TQSTATUS_OK;
    if (gpfnConvDepExt == nullptr)
        return TQSTATUS_NOT_HANDLED;
    unsigned char abyResult[VALEUR_SIZE] = {};
    const int nStatus = gpfnConvDepExt(m_abyValeur, nGetTypeCode(), abyResult, nType, nOption, pstOCAW);
    if (nStatus > kMaxSuccess)
        return nStatus;
    const unsigned short nFlags = nGetFlags();
    __SetType(nType, 0);
    if (bPointerResult(nCode))
        pclGetTraitement()->SetValue(pPointerIn<const void>(abyResult));
    else
        pclGetTraitement()->SetValue(abyResult);
    SetFlags(nFlags);
    if (gpfnFinConv != nullptr)
        gpfnFinConv(abyResult, nType);
    return nStatus;
}

namespace {

// Longest text a host string takes by copy.
constexpr unsigned kMaxCopyLength = 2147483391u;

int nGetDirectText(const CAny_Intern* pcl, const wchar_t** ppsz)
{
    return pcl->nGetPCWSTR(ppsz);
}

int nGetDirectText(const CAny_Intern* pcl, const char** ppsz)
{
    return pcl->nGetPCASTR(ppsz);
}

// The value's text as it is when it has one of that width; otherwise the
// value becomes the host string type nStringType and its text is given.
template <class T>
int nCastToString(CAny& clAny, const T** ppsz, const STOCAW* pstOCAW, unsigned short nStringType)
{
    const T* psz = nullptr;
    if (nGetDirectText(clAny.pclGetTraitement(), &psz) == TQSTATUS_OK) {
        if (ppsz != nullptr)
            *ppsz = psz;
        return TQSTATUS_OK;
    }
    const int nStatus = clAny.__nCastTo(nStringType, pstOCAW, 1);
    if (nStatus <= kMaxSuccess && ppsz != nullptr)
        nGetDirectText(clAny.pclGetTraitement(), ppsz);
    return nStatus;
}

template <class T>
int nFillString(const CAny& clAny, CXYString<T>& cl, const STOCAW* pstOCAW, unsigned short nStringType)
{
    const CAny_Intern* pclTraitement = clAny.pclGetTraitement();
    if (clAny.nGetType() == nStringType) {
        cl = *reinterpret_cast<const CXYString<T>*>(clAny.pbyGetValeur());
        return TQSTATUS_OK;
    }
    const T* psz = nullptr;
    if (nGetDirectText(pclTraitement, &psz) == TQSTATUS_OK) {
        unsigned nLength = 0;
        pclTraitement->nGetSTRLEN(&nLength);
        if (psz == nullptr || nLength == 0) {
            cl = CXYString<T>();
            return TQSTATUS_OK;
        }
        if (nLength > kMaxCopyLength)
            return TQSTATUS_TOO_LONG;
        const int n = static_cast<int>(nLength);
        if (cl.pGetData() != nullptr && !CBaseStrMem::s_bShared(cl.pGetData())) {
            // Held by this string only: reused, grown when too small.
            if (int nStatus = cl.__nPrepareModification(n))
                return nStatus;
            cl.__FillDynStr(psz, n, 0);
            return TQSTATUS_OK;
        }
        CXYString<T> clNew;
        if (int nStatus = clNew.__nNew(n, psz, n))
            return nStatus;
        cl = clNew;
        return TQSTATUS_OK;
    }
    if (gpfnConvDepExt == nullptr)
        return TQSTATUS_NOT_HANDLED;
    unsigned char abyResult[CAny::VALEUR_SIZE] = {};
    const int nStatus =
        gpfnConvDepExt(clAny.pbyGetValeur(), clAny.nGetTypeCode(), abyResult, nStringType, 0, pstOCAW);
    if (nStatus > kMaxSuccess)
        return nStatus;
    cl = *reinterpret_cast<const CXYString<T>*>(abyResult);
    if (gpfnFinConv != nullptr)
        gpfnFinConv(abyResult, nStringType);
    return nStatus;
}

}  // namespace

int CAny::__nCastToString(const wchar_t** ppsz, const STOCAW* pstOCAW)
{
    return nCastToString(*this, ppsz, pstOCAW, TQTYPE_DSTRW);
}

int CAny::__nCastToString(const char** ppsz, const STOCAW* pstOCAW)
{
    return nCastToString(*this, ppsz, pstOCAW, TQTYPE_DSTRA);
}

int CAny::__nFillString(CXYString<wchar_t>& cl, const STOCAW* pstOCAW) const
{
    return nFillString<wchar_t>(*this, cl, pstOCAW, TQTYPE_DSTRW);
}

int CAny::__nFillString(CXYString<char>& cl, const STOCAW* pstOCAW) const
{
    return nFillString<char>(*this, cl, pstOCAW, TQTYPE_DSTRA);
}

int CAny::__nSetString(const wchar_t* psz, int nLength, const STOCAW* pstOCAW)
{
    const unsigned nCodePage = pstOCAW != nullptr ? pstOCAW->nCodePage : STR_nGetCurrentCodePage();
    CXYString<char> cl;
    const int nStatus = cl.__nConversion(psz, nLength, 0, static_cast<int>(nCodePage), 0, nullptr);
    if (nStatus != STRMEM_OK)
        return nStatus;
    __SetType(TQTYPE_DSTRA, 0);
    pclGetTraitement()->SetValue(&cl);
    SetFlags(0);
    return nStatus;
}

int CAny::__s_nCastTo(void* pTarget, const wchar_t* psz, unsigned short nType, const STOCAW* pstOCAW)
{
    if (gpfnConvDepExt == nullptr)
        return TQSTATUS_NOT_HANDLED;
    unsigned char abySource[VALEUR_SIZE] = {};
    std::memcpy(abySource, &psz, sizeof(psz));
    // The machine fills a whole value area; the caller's holds the stored
    // form only.
    unsigned char abyResult[VALEUR_SIZE] = {};
    const int nStatus = gpfnConvDepExt(abySource, TQTYPE_PSTRW, abyResult, nType, 1, pstOCAW);
    if (nStatus <= kMaxSuccess && pTarget != nullptr)
        std::memcpy(pTarget, abyResult, nStoredBytes(static_cast<unsigned char>(nType)));
    return nStatus;
}

// ---- Comparisons and logic ------------------------------------------------------------------

namespace {

int nCallCompare(PFN_VM_COMPARE pfn, const CAny* a, const CAny* b, int* pnResult, unsigned int nOption)
{
    if (a->bIsNull() || b->bIsNull())
        return TQSTATUS_NULL;
    if (pfn == nullptr)
        return TQSTATUS_NOT_HANDLED;
    return pfn(a->pbyGetValeur(), a->nGetType(), b->pbyGetValeur(), b->nGetType(), pnResult, nOption, 0);
}

// The operator's answer negated, written only on success.
int nCallNegated(PFN_VM_COMPARE pfn, const CAny* a, const CAny* b, int* pnResult, unsigned int nOption)
{
    int n = 0;
    const int nStatus = nCallCompare(pfn, a, b, &n, nOption);
    if (nStatus <= kMaxSuccess && pnResult != nullptr)
        *pnResult = n == 0 ? 1 : 0;
    return nStatus;
}

// r becomes a value of nType holding n, flags cleared.
void SetIntResult(CAny* r, unsigned short nType, int n)
{
    r->__SetType(nType, 0);
    r->pclGetTraitement()->SetValue(&n);
    r->SetFlags(0);
}

// The int answer of an operator as a value of nType; no answer for a null operand.
int nIntResult(int (*pfn)(const CAny*, const CAny*, int*, unsigned int), const CAny* a, const CAny* b, CAny* r,
               unsigned int nOption, unsigned short nType)
{
    if (a->bIsNull() || b->bIsNull())
        return TQSTATUS_NULL;
    int n = 0;
    const int nStatus = pfn(a, b, &n, nOption);
    SetIntResult(r, nType, n);
    return nStatus;
}

// A machine result adopted by r on success; a null operand leaves r null.
int nAdopteResultat(int nStatus, CAny* r, unsigned short nType, const unsigned char* abyResult, bool bNull)
{
    if (nStatus > kMaxSuccess)
        return nStatus;
    r->__TransfertValeurInterne(nType, abyResult);
    if (bNull)
        r->SetNullFlag(true);
    return nStatus;
}

}  // namespace

typedef int (*PFN_INT_FORM)(const CAny*, const CAny*, int*, unsigned int);

// Each operator in two forms: the int answer through the machine (call is
// nCallCompare or nCallNegated), and that answer as a boolean value.
#define ZT_VM_OPERATOR(name, call, pointer)                                                \
    int name(const CAny* a, const CAny* b, int* pnResult, unsigned int nOption)             \
    {                                                                                      \
        return call(pointer, a, b, pnResult, nOption);                                     \
    }                                                                                      \
    int name(const CAny* a, const CAny* b, CAny* r, unsigned int nOption)                   \
    {                                                                                      \
        return nIntResult(static_cast<PFN_INT_FORM>(name), a, b, r, nOption, TQTYPE_BOOL); \
    }
#define ZT_VM_COMPARISON(name, pointer) ZT_VM_OPERATOR(name, nCallCompare, pointer)
#define ZT_VM_NEGATED(name, pointer) ZT_VM_OPERATOR(name, nCallNegated, pointer)

ZT_VM_COMPARISON(nEgalite, gpfnEgaliteEx)
ZT_VM_COMPARISON(nSuperieur, gpfnSuperieurEx)
ZT_VM_COMPARISON(nInferieur, gpfnInferieurEx)
ZT_VM_COMPARISON(nPresqueEgal, gpfnPresqueEgalEx)
ZT_VM_COMPARISON(nSoupleEgal, gpfnSoupleEgalEx)
ZT_VM_COMPARISON(nCommencePar, gpfnCommenceParEx)
ZT_VM_COMPARISON(nCommenceParSouple, gpfnCommenceParSoupleEx)
ZT_VM_COMPARISON(nCommenceParTresSouple, gpfnCommenceParTresSoupleEx)
ZT_VM_COMPARISON(nContient, gpfnContientEx)
ZT_VM_COMPARISON(nContientSouple, gpfnContientSoupleEx)
ZT_VM_COMPARISON(nContientTresSouple, gpfnContientTresSoupleEx)
ZT_VM_COMPARISON(nTerminePar, gpfnTermineParEx)
ZT_VM_COMPARISON(nTermineParSouple, gpfnTermineParSoupleEx)
ZT_VM_COMPARISON(nTermineParTresSouple, gpfnTermineParTresSoupleEx)
ZT_VM_COMPARISON(nAnd, gpfnETLogiqueEx)
ZT_VM_COMPARISON(nOr, gpfnOULogiqueEx)
ZT_VM_COMPARISON(nCompare, gpfnCompareEx)
ZT_VM_NEGATED(nDifferent, gpfnEgaliteEx)
ZT_VM_NEGATED(nInfEgal, gpfnSuperieurEx)
ZT_VM_NEGATED(nSupEgal, gpfnInferieurEx)

#undef ZT_VM_COMPARISON
#undef ZT_VM_NEGATED
#undef ZT_VM_OPERATOR

int nCompare(const CAny* a, const CAny* b, CAny* r)
{
    return nIntResult(static_cast<PFN_INT_FORM>(nCompare), a, b, r, 0, TQTYPE_I4);
}

int nNot(const CAny* a, int* pnResult, unsigned int nOption)
{
    if (a->bIsNull())
        return TQSTATUS_NULL;
    if (gpfnNONLogiqueEx == nullptr)
        return TQSTATUS_NOT_HANDLED;
    return gpfnNONLogiqueEx(a->pbyGetValeur(), a->nGetType(), pnResult, nOption, 0);
}

int nNot(const CAny* a, CAny* r, unsigned int nOption)
{
    if (a->bIsNull())
        return TQSTATUS_NULL;
    int n = 0;
    const int nStatus = nNot(a, &n, nOption);
    SetIntResult(r, TQTYPE_BOOL, n);
    return nStatus;
}

// ---- Arithmetic -----------------------------------------------------------------------------

namespace {

int nCallArithmetic(PFN_VM_ARITHMETIC pfn, const CAny* a, const CAny* b, CAny* r, unsigned int nOption)
{
    if (pfn == nullptr)
        return TQSTATUS_NOT_HANDLED;
    unsigned char abyResult[CAny::VALEUR_SIZE] = {};
    unsigned short nType = 0;
    const int nStatus =
        pfn(a->pbyGetValeur(), a->nGetTypeCode(), b->pbyGetValeur(), b->nGetTypeCode(), abyResult, &nType, nOption, 0);
    // Read before r changes: r may be a or b.
    return nAdopteResultat(nStatus, r, nType, abyResult, a->bIsNull() || b->bIsNull());
}

}  // namespace

int nAjoute(const CAny* a, const CAny* b, CAny* r, unsigned int nOption)
{
    return nCallArithmetic(gpfnAdditionEx, a, b, r, nOption);
}

int nAjouteEx(const CAny* a, const CAny* b, CAny* r, unsigned int nOption)
{
    return nCallArithmetic(gpfnAdditionEx, a, b, r, nOption);
}

int nSoustrait(const CAny* a, const CAny* b, CAny* r, unsigned int nOption)
{
    return nCallArithmetic(gpfnSoustractionEx, a, b, r, nOption);
}

int nMultiplie(const CAny* a, const CAny* b, CAny* r, unsigned int nOption)
{
    return nCallArithmetic(gpfnMultiplicationEx, a, b, r, nOption);
}

int nDivise(const CAny* a, const CAny* b, CAny* r, unsigned int nOption)
{
    return nCallArithmetic(gpfnDivisionEx, a, b, r, nOption);
}

int nModulo(const CAny* a, const CAny* b, CAny* r, unsigned int nOption)
{
    return nCallArithmetic(gpfnModuloEx, a, b, r, nOption);
}

// The machine writes into a local area that r adopts on success only, so
// that a failure leaves r as it was and no storage of r is overwritten.
int nNegatif(const CAny* a, CAny* r, unsigned int nOption)
{
    if (gpfnNegationEx == nullptr)
        return TQSTATUS_NOT_HANDLED;
    unsigned char abyResult[CAny::VALEUR_SIZE] = {};
    unsigned short nType = 0;
    const int nStatus = gpfnNegationEx(a->pbyGetValeur(), a->nGetTypeCode(), abyResult, &nType, nOption, 0);
    return nAdopteResultat(nStatus, r, nType, abyResult, a->bIsNull());
}

int nPositif(const CAny* a, CAny* r, unsigned int)
{
    if (r == a)
        return TQSTATUS_OK;
    r->__SetType(TQTYPE_VIDE, 0);
    a->pclGetTraitement()->Duplique(r);
    return TQSTATUS_OK;
}

namespace {

int nStep(PFN_VM_ARITHMETIC pfn, CAny* v, const CAny* step)
{
    if (pfn == nullptr)
        return TQSTATUS_NOT_HANDLED;
    unsigned char abyResult[CAny::VALEUR_SIZE] = {};
    unsigned short nType = 0;
    const int nStatus = pfn(v->pbyGetValeur(), v->nGetTypeCode(), step->pbyGetValeur(), step->nGetTypeCode(),
                            abyResult, &nType, 0, 0);
    if (nStatus > kMaxSuccess)
        return nStatus;
    const bool bNull = v->bIsNull() || step->bIsNull();
    const unsigned char nCode = static_cast<unsigned char>(nType);
    if (nCode == TQTYPE_DECIMAL) {
        // The value's own decimal takes the result's number; the result
        // object goes back to the factory.
        IDecimal* piResult = pPointerIn<IDecimal>(abyResult);
        v->__SetType(nType, 0);
        v->pclGetTraitement()->SetValue(piResult);
        if (piResult != nullptr && gpiVMFactory != nullptr)
            gpiVMFactory->ReleaseObject(piResult);
    } else if (bOwningResult(nCode)) {
        // A result that owns storage is adopted, not copied: a copy would
        // leave the machine's reference behind.
        v->__TransfertValeurInterne(nType, abyResult);
    } else {
        v->__SetType(nType, 0);
        v->pclGetTraitement()->SetValue(abyResult);
    }
    v->SetFlags(bNull ? TQFLAG_NULL : 0);
    return nStatus;
}

}  // namespace

int nIncrementeNumerique(CAny* v, const CAny* step)
{
    return nStep(gpfnAdditionEx, v, step);
}

int nDecrementeNumerique(CAny* v, const CAny* step)
{
    return nStep(gpfnSoustractionEx, v, step);
}

// ---- Debug rendering ------------------------------------------------------------------------

namespace {

void Append(CXYString<wchar_t>* pclOut, const wchar_t* psz)
{
    if (psz != nullptr && *psz != 0)
        pclOut->nConcat(psz, static_cast<int>(std::wcslen(psz)));
}

constexpr unsigned kMaxDumpBytes = 500;

}  // namespace

int nGetString(CXYString<wchar_t>* pclOut, const CAny& clValue, const wchar_t* pszPrefix, int bDetail)
{
    *pclOut = CXYString<wchar_t>();
    Append(pclOut, pszPrefix);
    if (clValue.nGetTypeCode() == TQTYPE_VIDE) {
        Append(pclOut, L"<Empty>");
        return TQSTATUS_OK;
    }
    const CAny_Intern* pclTraitement = clValue.pclGetTraitement();
    if (bDetail) {
        unsigned nSize = 0;
        pclTraitement->nGetDataSize(&nSize);
        wchar_t sz[64];
        std::swprintf(sz, sizeof(sz) / sizeof(sz[0]), L"Type=%d, Len=%d, Value=", clValue.nGetTypeCode(),
                      static_cast<int>(nSize));
        Append(pclOut, sz);
    }
    if (clValue.bIsNull()) {
        Append(pclOut, L"<NULL>");
        return TQSTATUS_OK;
    }
    {
        CAny clCopy;
        pclTraitement->Duplique(&clCopy);
        int nStatus = clCopy.__nCastTo(TQTYPE_PSTRW, nullptr, 1);
        if (nStatus <= kMaxSuccess && clCopy.bIsNull())
            nStatus = TQSTATUS_NULL;
        else if (nStatus <= kMaxSuccess && clCopy.nGetType() != TQTYPE_PSTRW)
            nStatus = TQSTATUS_NOT_HANDLED;
        if (nStatus > kMaxSuccess) {
            Append(pclOut, L"<ERROR>");
            return nStatus;
        }
        const wchar_t* psz = nullptr;
        clCopy.pclGetTraitement()->nGetPCWSTR(&psz);
        Append(pclOut, psz);
    }
    if (!bDetail)
        return TQSTATUS_OK;
    void* pData = nullptr;
    unsigned nSize = 0;
    if (pclTraitement->nGetDataAdr(&pData) != TQSTATUS_OK || pclTraitement->nGetDataSize(&nSize) != TQSTATUS_OK)
        return TQSTATUS_OK;
    Append(pclOut, L", Value(binary)=");
    if (nSize > kMaxDumpBytes) {
        Append(pclOut, L"(first 500 bytes only) ");
        nSize = kMaxDumpBytes;
    }
    const auto* pby = static_cast<const unsigned char*>(pData);
    for (unsigned i = 0; i < nSize && pby != nullptr; ++i) {
        wchar_t sz[4];
        std::swprintf(sz, 4, L"%02X", pby[i]);
        Append(pclOut, sz);
    }
    return TQSTATUS_OK;
}

int nGetString(CXYString<wchar_t>* pclOut, const CAny* pclValue, const wchar_t* pszPrefix, int bDetail)
{
    if (pclValue != nullptr)
        return nGetString(pclOut, *pclValue, pszPrefix, bDetail);
    *pclOut = CXYString<wchar_t>();
    Append(pclOut, pszPrefix);
    Append(pclOut, L"<NULL>");
    return TQSTATUS_OK;
}

namespace {

// The host-string form's text, set into a CTString.
template <class V>
int nVersTString(CTString* pclOut, V value, const wchar_t* pszPrefix, int bDetail)
{
    CXYString<wchar_t> cl;
    const int nStatus = nGetString(&cl, value, pszPrefix, bDetail);
    pclOut->Set(cl);
    return nStatus;
}

}  // namespace

int nGetString(CTString* pclOut, const CAny& clValue, const wchar_t* pszPrefix, int bDetail)
{
    return nVersTString<const CAny&>(pclOut, clValue, pszPrefix, bDetail);
}

int nGetString(CTString* pclOut, const CAny* pclValue, const wchar_t* pszPrefix, int bDetail)
{
    return nVersTString(pclOut, pclValue, pszPrefix, bDetail);
}
