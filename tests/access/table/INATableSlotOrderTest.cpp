// The slot order of INATable: each operation called by its place in the
// table of operations answers as the one of that place, and the table
// object's counts stand where the host reads them.
#include "access/table/INATable.h"
#include "access/table/NATable.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

// Each operation notes its own name.
class CProbeNATable : public INATable {
public:
    mutable const char* m_pszLast = nullptr;

    int nGetVersion() const override
    { m_pszLast = "nGetVersion"; return {}; }
    int nGetCompatSince() const override
    { m_pszLast = "nGetCompatSince"; return {}; }
    int nGetNAVersion() const override
    { m_pszLast = "nGetNAVersion"; return {}; }
    int nGetNACompatSince() const override
    { m_pszLast = "nGetNACompatSince"; return {}; }
    void NAVersion_EmptySlot_3() override
    { m_pszLast = "NAVersion_EmptySlot_3"; }
    void ExternalAddRef() override
    { m_pszLast = "ExternalAddRef"; }
    int nExternalRelease() override
    { m_pszLast = "nExternalRelease"; return {}; }
    INAError* piGetLastError(INAContext* piContext) const override
    { m_pszLast = "piGetLastError"; return {}; }
    int bIsOpened(INAContext* piContext) const override
    { m_pszLast = "bIsOpened"; return {}; }
    INADataSourceDescription* piGetDataSourceDescription() override
    { m_pszLast = "piGetDataSourceDescription"; return {}; }
    int bNbEnrNeedParse(INAContext* piContext, int* pbNeed, const wchar_t* pszText) override
    { m_pszLast = "bNbEnrNeedParse"; return {}; }
    void FreeMemory(INAContext* piContext, void** ppMemory) const override
    { m_pszLast = "FreeMemory"; }
    int bHReindexe(INAContext* piContext, unsigned int nOptions, IGaugeControl* piGauge) override
    { m_pszLast = "bHReindexe"; return {}; }
    int bHCreationSiInexistant(INAContext* piContext, eNA_ACCESS eAccess, const wchar_t* pszPassword) override
    { m_pszLast = "bHCreationSiInexistant"; return {}; }
    int bHCreation(INAContext* piContext, const wchar_t* pszPassword) override
    { m_pszLast = "bHCreation"; return {}; }
    int bHOuvre(INAContext* piContext, eNA_ACCESS eAccess, const wchar_t* pszPassword) override
    { m_pszLast = "bHOuvre"; return {}; }
    int bHMode(INAContext* piContext, _eNA_HMODE eMode) override
    { m_pszLast = "bHMode"; return {}; }
    int bHFerme(INAContext* piContext) override
    { m_pszLast = "bHFerme"; return {}; }
    int bHAjoute(INAContext* piContext, unsigned int nFlags, eNA_LOCKTYPE eLock) override
    { m_pszLast = "bHAjoute"; return {}; }
    int bHEcrit(INAContext* piContext, long long llRecord, unsigned int nFlags, eNA_LOCKTYPE eLock) override
    { m_pszLast = "bHEcrit"; return {}; }
    int bHRaye(INAContext* piContext, long long llRecord, eNA_LOCKTYPE eLock) override
    { m_pszLast = "bHRaye"; return {}; }
    int bHSupprime(INAContext* piContext, long long llRecord, eNA_LOCKTYPE eLock) override
    { m_pszLast = "bHSupprime"; return {}; }
    int bHModifie(INAContext* piContext, long long llRecord, unsigned int nFlags, eNA_LOCKTYPE eLock) override
    { m_pszLast = "bHModifie"; return {}; }
    int bHRecherche(INAContext* piContext, INAItemDescription* piItem, const CAny* pValue, int n1, int n2, eNA_LOCKTYPE eLock, eNA_LOCKTYPE* peLock, int n3, unsigned int nFlags) override
    { m_pszLast = "bHRecherche"; return {}; }
    int bHLibere(INAContext* piContext) override
    { m_pszLast = "bHLibere"; return {}; }
    int bHLit(INAContext* piContext, long long llRecord, eNA_LOCKTYPE eLock, eNA_LOCKTYPE* peLock) override
    { m_pszLast = "bHLit"; return {}; }
    int bHLitxxx(INAContext* piContext, INAItemDescription* piItem, eNA_PARSEDIRECTION eDirection, int n, eNA_LOCKTYPE eLock, eNA_LOCKTYPE* peLock, unsigned int nFlags) override
    { m_pszLast = "bHLitxxx"; return {}; }
    int bSkipRecord(INAContext* piContext, INAItemDescription* piItem, eNA_PARSEDIRECTION eDirection, long long llCount, int n, eNA_LOCKTYPE eLock, eNA_LOCKTYPE* peLock, unsigned int nFlags) override
    { m_pszLast = "bSkipRecord"; return {}; }
    int bHBloqueFichier(INAContext* piContext, eNA_LOCKTYPE eLock, eNA_LOCKTYPE* peLock) override
    { m_pszLast = "bHBloqueFichier"; return {}; }
    int bHDebloqueFichier(INAContext* piContext) override
    { m_pszLast = "bHDebloqueFichier"; return {}; }
    int bHBloqueNumEnr(INAContext* piContext, long long llRecord, eNA_LOCKTYPE eLock, eNA_LOCKTYPE* peLock) override
    { m_pszLast = "bHBloqueNumEnr"; return {}; }
    int bHDebloqueNumEnr(INAContext* piContext, long long llRecord) override
    { m_pszLast = "bHDebloqueNumEnr"; return {}; }
    int bHEnDehors(INAContext* piContext, INAItemDescription* piItem, int* pbOut) override
    { m_pszLast = "bHEnDehors"; return {}; }
    int bEvalHTrouve(INAContext* piContext, INAItemDescription* piItem, int* pbFound, int* pbOther) override
    { m_pszLast = "bEvalHTrouve"; return {}; }
    int bSetNextOperation(INAContext* piContext, eNA_OPERATION eOperation) override
    { m_pszLast = "bSetNextOperation"; return {}; }
    long long llGetRecNum(INAContext* piContext) override
    { m_pszLast = "llGetRecNum"; return {}; }
    int bGetRecNumState(INAContext* piContext, long long llRecord, unsigned int* pnState) override
    { m_pszLast = "bGetRecNumState"; return {}; }
    int bHFiltre(INAContext* piContext, ISQLParserInformation* piParser, CXYString<wchar_t>* pText) override
    { m_pszLast = "bHFiltre"; return {}; }
    int bHFiltre(INAContext* piContext, INAItemDescription* piItem, const CAny* pLower, int bLowerIncluded, const CAny* pUpper, int bUpperIncluded, ISQLParserInformation* piParser) override
    { m_pszLast = "bHFiltre"; return {}; }
    int bHActiveFiltre(INAContext* piContext, INAItemDescription* piItem, unsigned int nFlags) override
    { m_pszLast = "bHActiveFiltre"; return {}; }
    int bHDesactiveFiltre(INAContext* piContext, INAItemDescription* piItem, unsigned int nFlags) override
    { m_pszLast = "bHDesactiveFiltre"; return {}; }
    int bHRetourPosition(INAContext* piContext, int nPosition, CXYString<wchar_t>* pText, int n, unsigned int nFlags) override
    { m_pszLast = "bHRetourPosition"; return {}; }
    int bHLiberePosition(INAContext* piContext, int nPosition) override
    { m_pszLast = "bHLiberePosition"; return {}; }
    int bHSauvePosition(INAContext* piContext, INAItemDescription* piItem, int* pnPosition, unsigned int nFlags) override
    { m_pszLast = "bHSauvePosition"; return {}; }
    int bHVersion(INAContext* piContext, int* pnVersion) override
    { m_pszLast = "bHVersion"; return {}; }
    int bHNbEnr(INAContext* piContext, long long* pllCount, unsigned int nOptions, unsigned int nFlags) override
    { m_pszLast = "bHNbEnr"; return {}; }
    int bHPositionCourante(INAContext* piContext, INAItemDescription* piItem, int* pnPosition, eNA_PRECISION ePrecision, unsigned int nFlags) override
    { m_pszLast = "bHPositionCourante"; return {}; }
    int bHPositionne(INAContext* piContext, INAItemDescription* piItem, unsigned int nPosition, eNA_PRECISION ePrecision, unsigned int nFlags) override
    { m_pszLast = "bHPositionne"; return {}; }
    int bGetBLOB(INAContext* piContext, unsigned int nItem, CAny* pValue) override
    { m_pszLast = "bGetBLOB"; return {}; }
    int bSetBLOB(INAContext* piContext, unsigned int nItem, const CAny* pValue) override
    { m_pszLast = "bSetBLOB"; return {}; }
    int bGetRecord(INAContext* piContext, CNAKXRecord** ppRecord) const override
    { m_pszLast = "bGetRecord"; return {}; }
    int bSetRecord(INAContext* piContext, CNAKXRecord* pRecord) override
    { m_pszLast = "bSetRecord"; return {}; }
    int bHAttacheMemo(INAContext* piContext, unsigned int nItem, const wchar_t* pszFile) override
    { m_pszLast = "bHAttacheMemo"; return {}; }
    int bExtraitMemo(INAContext* piContext, unsigned int nItem, const wchar_t* pszFile) override
    { m_pszLast = "bExtraitMemo"; return {}; }
    int bHAnnuleRecherche(INAContext* piContext, INAItemDescription* piItem) override
    { m_pszLast = "bHAnnuleRecherche"; return {}; }
    int bHChangeCle(INAContext* piContext, INAItemDescription* piItem, unsigned int nFlags) override
    { m_pszLast = "bHChangeCle"; return {}; }
    int bHConstruitValCle(INAContext* piContext, CAny* pResult, INAItemDescription* piItem, unsigned int nCount, CAny** ppValues) override
    { m_pszLast = "bHConstruitValCle"; return {}; }
    int bHInterditModif(INAContext* piContext) override
    { m_pszLast = "bHInterditModif"; return {}; }
    int bHFinInterditModif(INAContext* piContext) override
    { m_pszLast = "bHFinInterditModif"; return {}; }
    int bCalculateKeyValue(INAContext* piContext, INAItemDescription* piItem, void** ppKey, const void* pRecord, unsigned int* pnSize, unsigned short nType, int n) override
    { m_pszLast = "bCalculateKeyValue"; return {}; }
    int bFreeCache(INAContext* piContext) override
    { m_pszLast = "bFreeCache"; return {}; }
    int bCompareTablePosition(INAContext* piContext, int nPosition1, int nPosition2, int* pnResult) override
    { m_pszLast = "bCompareTablePosition"; return {}; }
    int bTableVirtualMoveSupported() override
    { m_pszLast = "bTableVirtualMoveSupported"; return {}; }
    int bTableVirtualMove(INAContext* piContext, INAItemDescription* piItem, long long* pllMove, unsigned int nFlags, int n) override
    { m_pszLast = "bTableVirtualMove"; return {}; }
    int bSupprimeTout(INAContext* piContext) override
    { m_pszLast = "bSupprimeTout"; return {}; }
    void EmptySlot579() override
    { m_pszLast = "EmptySlot579"; }
    void EmptySlot580() override
    { m_pszLast = "EmptySlot580"; }
    void EmptySlot582() override
    { m_pszLast = "EmptySlot582"; }
    void EmptySlot583() override
    { m_pszLast = "EmptySlot583"; }
    void EmptySlot584() override
    { m_pszLast = "EmptySlot584"; }
    void EmptySlot585() override
    { m_pszLast = "EmptySlot585"; }
    void EmptySlot586() override
    { m_pszLast = "EmptySlot586"; }
    void EmptySlot587() override
    { m_pszLast = "EmptySlot587"; }
    void EmptySlot589() override
    { m_pszLast = "EmptySlot589"; }
    void EmptySlot590() override
    { m_pszLast = "EmptySlot590"; }
    void EmptySlot591() override
    { m_pszLast = "EmptySlot591"; }
    void EmptySlot592() override
    { m_pszLast = "EmptySlot592"; }
    void EmptySlot593() override
    { m_pszLast = "EmptySlot593"; }
    void EmptySlot594() override
    { m_pszLast = "EmptySlot594"; }
};

const char* const kNATable[] = {
    "nGetVersion",
    "nGetCompatSince",
    "nGetNAVersion",
    "nGetNACompatSince",
    "NAVersion_EmptySlot_3",
    "ExternalAddRef",
    "nExternalRelease",
    "piGetLastError",
    "bIsOpened",
    "piGetDataSourceDescription",
    "bNbEnrNeedParse",
    "FreeMemory",
    "bHReindexe",
    "bHCreationSiInexistant",
    "bHCreation",
    "bHOuvre",
    "bHMode",
    "bHFerme",
    "bHAjoute",
    "bHEcrit",
    "bHRaye",
    "bHSupprime",
    "bHModifie",
    "bHRecherche",
    "bHLibere",
    "bHLit",
    "bHLitxxx",
    "bSkipRecord",
    "bHBloqueFichier",
    "bHDebloqueFichier",
    "bHBloqueNumEnr",
    "bHDebloqueNumEnr",
    "bHEnDehors",
    "bEvalHTrouve",
    "bSetNextOperation",
    "llGetRecNum",
    "bGetRecNumState",
    "bHFiltre",
    "bHFiltre",
    "bHActiveFiltre",
    "bHDesactiveFiltre",
    "bHRetourPosition",
    "bHLiberePosition",
    "bHSauvePosition",
    "bHVersion",
    "bHNbEnr",
    "bHPositionCourante",
    "bHPositionne",
    "bGetBLOB",
    "bSetBLOB",
    "bGetRecord",
    "bSetRecord",
    "bHAttacheMemo",
    "bExtraitMemo",
    "bHAnnuleRecherche",
    "bHChangeCle",
    "bHConstruitValCle",
    "bHInterditModif",
    "bHFinInterditModif",
    "bCalculateKeyValue",
    "bFreeCache",
    "bCompareTablePosition",
    "bTableVirtualMoveSupported",
    "bTableVirtualMove",
    "bSupprimeTout",
    "EmptySlot579",
    "EmptySlot580",
    "EmptySlot582",
    "EmptySlot583",
    "EmptySlot584",
    "EmptySlot585",
    "EmptySlot586",
    "EmptySlot587",
    "EmptySlot589",
    "EmptySlot590",
    "EmptySlot591",
    "EmptySlot592",
    "EmptySlot593",
    "EmptySlot594"
};

} // namespace

TEST(INATableSlotOrder, EveryOperationAtItsPlace)
{
    static_assert(sizeof(kNATable) / sizeof(kNATable[0]) == 79, "79 operations");
    CProbeNATable clProbe;
    INATable* pi = &clProbe;
    void** pVtbl = *reinterpret_cast<void***>(pi);
    typedef void (*PFN)(INATable*);
    for (int i = 0; i < 79; i++) {
        clProbe.m_pszLast = nullptr;
        reinterpret_cast<PFN>(pVtbl[i])(pi);
        ASSERT_NE(clProbe.m_pszLast, nullptr) << "slot " << i + 1;
        EXPECT_STREQ(clProbe.m_pszLast, kNATable[i]) << "slot " << i + 1;
    }
}

TEST(INATableSlotOrder, CountsFollowTheTableOfOperations)
{
    CNATable* p = new CNATable(L"Table=t;x", nullptr, nullptr, nullptr);
    p->AddRef();
    p->AddRef();
    p->ExternalAddRef();
    const int* pn = reinterpret_cast<const int*>(p);
    if (sizeof(void*) == 4) {
        EXPECT_EQ(pn[1], 2);
        EXPECT_EQ(pn[2], 1);
    }
    EXPECT_EQ(p->nGetVersion(), 11);
    EXPECT_EQ(p->nGetCompatSince(), 8);
    EXPECT_EQ(p->nRelease(), 1);
    EXPECT_EQ(p->nExternalRelease(), 0);
    EXPECT_EQ(p->nRelease(), 0);
}
