// Conversions and operators of host values through the host's value machine.
// The module neither converts nor compares host values itself: the host
// hands its machine over (bInitTQConvFromVM, bInitTQCalcFromVM), the entries
// below find the converter, the object factory and the operators in it by
// name, and the operations on CAny pass value areas and type words to them.
//
// Before the binding every pointer is null and every operation that needs
// the machine answers 105 (not handled) without calling anything.
#pragma once

#include <cstdint>

class CAny;
class CTString;
class IVMFactory;
struct STOCAW;
template <class T>
class CXYString;

#define ZT_VM_EXPORT extern "C" __attribute__((visibility("default")))

// Call forms of the machine's entries. A value is the address of its 40-byte
// value area; a "type byte" is the low byte of the type word, a "type word"
// all 16 bits with the flags. Every entry answers a status: 99 or less is
// success (1 to 99 with a remark), above 99 failure.
extern "C" {
// "nConversionDepassementExt": the source into the result buffer, in the
// target type's stored form.
typedef int (*PFN_VM_CONVERSION)(const void* pSource, unsigned char nSourceType, void* pResult,
                                 unsigned short nTargetType, unsigned int nOption, const STOCAW* pstOCAW);
// "FinConversion": releases what a conversion left in the result buffer.
typedef void (*PFN_VM_FINCONVERSION)(void* pResult, unsigned short nType);
// "pQueryProxy": the machine's services; 102 answers the object factory.
typedef IVMFactory* (*PFN_VM_QUERYPROXY)(int nService);
// "bCanCompareEx" and the result-type queries "wAjouteEx" to "wModuloEx".
typedef int (*PFN_VM_CANCOMPARE)(unsigned short nType1, unsigned short nType2);
typedef unsigned short (*PFN_VM_RESULTTYPE)(unsigned short nType1, unsigned short nType2);
// Comparisons and two-operand logic: the result (a comparison's sign, or 1
// and 0) goes through pnResult.
typedef int (*PFN_VM_COMPARE)(const void* p1, unsigned short nType1, const void* p2, unsigned short nType2,
                              int* pnResult, unsigned int nOption, int nReserved);
// "nNONLogiqueEx".
typedef int (*PFN_VM_NOT)(const void* p, unsigned short nType, int* pnResult, unsigned int nOption,
                          int nReserved);
// "nNegationEx": the result in a value area and its type.
typedef int (*PFN_VM_NEGATION)(const void* p, unsigned char nType, void* pResult, unsigned short* pnResultType,
                               unsigned int nOption, int nReserved);
// Arithmetic: the result in a 40-byte buffer and its type.
typedef int (*PFN_VM_ARITHMETIC)(const void* p1, unsigned char nType1, const void* p2, unsigned char nType2,
                                 void* pResult, unsigned short* pnResultType, unsigned int nOption,
                                 int nReserved);
}

// Service of "pQueryProxy" that answers the object factory.
constexpr int VM_SERVICE_FACTORY = 102;

// ---- Bindings (written by the binding entries, read everywhere) ----------------

ZT_VM_EXPORT void* ghConvVM;
ZT_VM_EXPORT int gnVersionConvVM;
ZT_VM_EXPORT int gnVersionCompatConvVM;
ZT_VM_EXPORT void* ghCalcVM;
ZT_VM_EXPORT int gnVersionCalcVM;
ZT_VM_EXPORT int gnVersionCompatCalcVM;

ZT_VM_EXPORT PFN_VM_CONVERSION gpfnConvDepExt;
ZT_VM_EXPORT PFN_VM_FINCONVERSION gpfnFinConv;

ZT_VM_EXPORT PFN_VM_CANCOMPARE gpfnCanCompareEx;
ZT_VM_EXPORT PFN_VM_RESULTTYPE gpfnGetTypeAjouteEx;
ZT_VM_EXPORT PFN_VM_RESULTTYPE gpfnGetTypeSoustraitEx;
ZT_VM_EXPORT PFN_VM_RESULTTYPE gpfnGetTypeMultiplieEx;
ZT_VM_EXPORT PFN_VM_RESULTTYPE gpfnGetTypeDiviseEx;
ZT_VM_EXPORT PFN_VM_RESULTTYPE gpfnGetTypeModuloEx;
ZT_VM_EXPORT PFN_VM_COMPARE gpfnCompareEx;
ZT_VM_EXPORT PFN_VM_COMPARE gpfnEgaliteEx;
ZT_VM_EXPORT PFN_VM_COMPARE gpfnSuperieurEx;
ZT_VM_EXPORT PFN_VM_COMPARE gpfnInferieurEx;
ZT_VM_EXPORT PFN_VM_COMPARE gpfnPresqueEgalEx;
ZT_VM_EXPORT PFN_VM_COMPARE gpfnSoupleEgalEx;
ZT_VM_EXPORT PFN_VM_COMPARE gpfnCommenceParEx;
ZT_VM_EXPORT PFN_VM_COMPARE gpfnCommenceParSoupleEx;
ZT_VM_EXPORT PFN_VM_COMPARE gpfnCommenceParTresSoupleEx;
ZT_VM_EXPORT PFN_VM_COMPARE gpfnContientEx;
ZT_VM_EXPORT PFN_VM_COMPARE gpfnContientSoupleEx;
ZT_VM_EXPORT PFN_VM_COMPARE gpfnContientTresSoupleEx;
ZT_VM_EXPORT PFN_VM_COMPARE gpfnTermineParEx;
ZT_VM_EXPORT PFN_VM_COMPARE gpfnTermineParSoupleEx;
ZT_VM_EXPORT PFN_VM_COMPARE gpfnTermineParTresSoupleEx;
ZT_VM_EXPORT PFN_VM_COMPARE gpfnETLogiqueEx;
ZT_VM_EXPORT PFN_VM_COMPARE gpfnOULogiqueEx;
ZT_VM_EXPORT PFN_VM_NOT gpfnNONLogiqueEx;
ZT_VM_EXPORT PFN_VM_NEGATION gpfnNegationEx;
ZT_VM_EXPORT PFN_VM_ARITHMETIC gpfnAdditionEx;
ZT_VM_EXPORT PFN_VM_ARITHMETIC gpfnSoustractionEx;
ZT_VM_EXPORT PFN_VM_ARITHMETIC gpfnMultiplicationEx;
ZT_VM_EXPORT PFN_VM_ARITHMETIC gpfnDivisionEx;
ZT_VM_EXPORT PFN_VM_ARITHMETIC gpfnModuloEx;

// ---- Binding entries ---------------------------------------------------------------

// Binds the converter and the object factory: 0 unless version >= 2 and
// compat < 3 and the handle has every name. A binding that fails leaves the
// converter, its release and the factory null.
ZT_VM_EXPORT int bInitTQConvFromVM(void* hVM, int nVersion, int nVersionCompat);
// Binds the 30 operators: 0 unless version >= 2 and compat <= 2 and the
// handle has every name; a binding that fails leaves them all null.
ZT_VM_EXPORT int bInitTQCalcFromVM(void* hVM, int nVersion, int nVersionCompat);
// Finds "pQueryProxy" and keeps its answer for service 102 as the factory
// (even null); 0 when the name is missing.
int bInitFactory(void* hVM);
// Hand the kept handle and versions on to another module's binding entry;
// 1 when the module has no such entry.
int bInitTQConvFromServeur_OBSOLETE(void* hModule);
int bInitTQCalcFromServeur(void* hModule);

// ---- Operators on values -------------------------------------------------------------
// The option word is handed to the machine as it is. Comparisons and logic
// answer 103 (result untouched) when an operand is NULL; the forms with a
// CAny result make it a boolean (nCompare: a 32-bit integer) holding the int
// result, flags cleared, whatever the status.

int nCompare(const CAny* a, const CAny* b, int* pnResult, unsigned int nOption);
int nEgalite(const CAny* a, const CAny* b, int* pnResult, unsigned int nOption);
int nDifferent(const CAny* a, const CAny* b, int* pnResult, unsigned int nOption);
int nSuperieur(const CAny* a, const CAny* b, int* pnResult, unsigned int nOption);
int nInferieur(const CAny* a, const CAny* b, int* pnResult, unsigned int nOption);
int nSupEgal(const CAny* a, const CAny* b, int* pnResult, unsigned int nOption);
int nInfEgal(const CAny* a, const CAny* b, int* pnResult, unsigned int nOption);
int nPresqueEgal(const CAny* a, const CAny* b, int* pnResult, unsigned int nOption);
int nSoupleEgal(const CAny* a, const CAny* b, int* pnResult, unsigned int nOption);
int nCommencePar(const CAny* a, const CAny* b, int* pnResult, unsigned int nOption);
int nCommenceParSouple(const CAny* a, const CAny* b, int* pnResult, unsigned int nOption);
int nCommenceParTresSouple(const CAny* a, const CAny* b, int* pnResult, unsigned int nOption);
int nContient(const CAny* a, const CAny* b, int* pnResult, unsigned int nOption);
int nContientSouple(const CAny* a, const CAny* b, int* pnResult, unsigned int nOption);
int nContientTresSouple(const CAny* a, const CAny* b, int* pnResult, unsigned int nOption);
int nTerminePar(const CAny* a, const CAny* b, int* pnResult, unsigned int nOption);
int nTermineParSouple(const CAny* a, const CAny* b, int* pnResult, unsigned int nOption);
int nTermineParTresSouple(const CAny* a, const CAny* b, int* pnResult, unsigned int nOption);
int nAnd(const CAny* a, const CAny* b, int* pnResult, unsigned int nOption);
int nOr(const CAny* a, const CAny* b, int* pnResult, unsigned int nOption);
int nNot(const CAny* a, int* pnResult, unsigned int nOption);

int nCompare(const CAny* a, const CAny* b, CAny* r, unsigned int nOption);
int nCompare(const CAny* a, const CAny* b, CAny* r);
int nEgalite(const CAny* a, const CAny* b, CAny* r, unsigned int nOption);
int nDifferent(const CAny* a, const CAny* b, CAny* r, unsigned int nOption);
int nSuperieur(const CAny* a, const CAny* b, CAny* r, unsigned int nOption);
int nInferieur(const CAny* a, const CAny* b, CAny* r, unsigned int nOption);
int nSupEgal(const CAny* a, const CAny* b, CAny* r, unsigned int nOption);
int nInfEgal(const CAny* a, const CAny* b, CAny* r, unsigned int nOption);
int nPresqueEgal(const CAny* a, const CAny* b, CAny* r, unsigned int nOption);
int nSoupleEgal(const CAny* a, const CAny* b, CAny* r, unsigned int nOption);
int nCommencePar(const CAny* a, const CAny* b, CAny* r, unsigned int nOption);
int nCommenceParSouple(const CAny* a, const CAny* b, CAny* r, unsigned int nOption);
int nCommenceParTresSouple(const CAny* a, const CAny* b, CAny* r, unsigned int nOption);
int nContient(const CAny* a, const CAny* b, CAny* r, unsigned int nOption);
int nContientSouple(const CAny* a, const CAny* b, CAny* r, unsigned int nOption);
int nContientTresSouple(const CAny* a, const CAny* b, CAny* r, unsigned int nOption);
int nTerminePar(const CAny* a, const CAny* b, CAny* r, unsigned int nOption);
int nTermineParSouple(const CAny* a, const CAny* b, CAny* r, unsigned int nOption);
int nTermineParTresSouple(const CAny* a, const CAny* b, CAny* r, unsigned int nOption);
int nAnd(const CAny* a, const CAny* b, CAny* r, unsigned int nOption);
int nOr(const CAny* a, const CAny* b, CAny* r, unsigned int nOption);
int nNot(const CAny* a, CAny* r, unsigned int nOption);

// Arithmetic: on failure the status and r unchanged; on success r adopts the
// machine's result and is NULL when a or b was. r may be a or b.
int nAjoute(const CAny* a, const CAny* b, CAny* r, unsigned int nOption);
int nAjouteEx(const CAny* a, const CAny* b, CAny* r, unsigned int nOption);
int nSoustrait(const CAny* a, const CAny* b, CAny* r, unsigned int nOption);
int nMultiplie(const CAny* a, const CAny* b, CAny* r, unsigned int nOption);
int nDivise(const CAny* a, const CAny* b, CAny* r, unsigned int nOption);
int nModulo(const CAny* a, const CAny* b, CAny* r, unsigned int nOption);
// -a into r (r unchanged on failure); r may be a.
int nNegatif(const CAny* a, CAny* r, unsigned int nOption);
// A copy of a into r; 0.
int nPositif(const CAny* a, CAny* r, unsigned int nOption);
// v + step (v - step) in place; v unchanged on failure.
int nIncrementeNumerique(CAny* v, const CAny* step);
int nDecrementeNumerique(CAny* v, const CAny* step);

// ---- Debug rendering -----------------------------------------------------------------
// The prefix, then "<Empty>", "<NULL>", the value's text or "<ERROR>"; with
// bDetail also its type code, data size and (at most 500) data bytes in
// hexadecimal.
int nGetString(CXYString<wchar_t>* pclOut, const CAny& clValue, const wchar_t* pszPrefix, int bDetail);
int nGetString(CXYString<wchar_t>* pclOut, const CAny* pclValue, const wchar_t* pszPrefix, int bDetail);
int nGetString(CTString* pclOut, const CAny& clValue, const wchar_t* pszPrefix, int bDetail);
int nGetString(CTString* pclOut, const CAny* pclValue, const wchar_t* pszPrefix, int bDetail);

#undef ZT_VM_EXPORT
