// The slot order of INATable: the operations in the order the host calls them
// by place. A member pointer's bits cannot be read in a constant expression,
// so the test reads each operation's place from its pointer (i386 Itanium
// ABI: one plus the slot's byte offset in the table).
#include "access/table/INATable.h"
#include "access/table/NATable.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

struct SSlot {
    int nPlace;  // from 0; -1 for an operation that is not virtual
    const char* pszName;
};

template <class M>
SSlot Slot(M pm, const char* pszName)
{
    static_assert(sizeof(M) == 2 * sizeof(std::uintptr_t), "a member pointer is an address and an adjustment");
    std::uintptr_t au[2];
    std::memcpy(au, &pm, sizeof au);
    const int nPlace = (au[0] & 1) != 0 ? static_cast<int>((au[0] - 1) / sizeof(void*)) : -1;
    return {nPlace, pszName};
}

#define S(f) Slot(&INATable::f, #f)

}  // namespace

TEST(INATableSlotOrder, EveryOperationAtItsPlace)
{
    const std::vector<SSlot> aSlots = {
        S(nGetVersion), S(nGetCompatSince), S(nGetNAVersion), S(nGetNACompatSince), S(NAVersion_EmptySlot_3),
        S(ExternalAddRef), S(nExternalRelease), S(piGetLastError), S(bIsOpened), S(piGetDataSourceDescription),
        S(bNbEnrNeedParse), S(FreeMemory), S(bHReindexe), S(bHCreationSiInexistant), S(bHCreation), S(bHOuvre),
        S(bHMode), S(bHFerme), S(bHAjoute), S(bHEcrit), S(bHRaye), S(bHSupprime), S(bHModifie), S(bHRecherche),
        S(bHLibere), S(bHLit), S(bHLitxxx), S(bSkipRecord), S(bHBloqueFichier), S(bHDebloqueFichier),
        S(bHBloqueNumEnr), S(bHDebloqueNumEnr), S(bHEnDehors), S(bEvalHTrouve), S(bSetNextOperation),
        S(llGetRecNum), S(bGetRecNumState),
        Slot(static_cast<int (INATable::*)(INAContext*, ISQLParserInformation*, CXYString<wchar_t>*)>(
                 &INATable::bHFiltre), "bHFiltre(text)"),
        Slot(static_cast<int (INATable::*)(INAContext*, INAItemDescription*, const CAny*, int, const CAny*, int,
                                           ISQLParserInformation*)>(&INATable::bHFiltre), "bHFiltre(bounds)"),
        S(bHActiveFiltre), S(bHDesactiveFiltre), S(bHRetourPosition), S(bHLiberePosition), S(bHSauvePosition),
        S(bHVersion), S(bHNbEnr), S(bHPositionCourante), S(bHPositionne), S(bGetBLOB), S(bSetBLOB), S(bGetRecord),
        S(bSetRecord), S(bHAttacheMemo), S(bExtraitMemo), S(bHAnnuleRecherche), S(bHChangeCle),
        S(bHConstruitValCle), S(bHInterditModif), S(bHFinInterditModif), S(bCalculateKeyValue), S(bFreeCache),
        S(bCompareTablePosition), S(bTableVirtualMoveSupported), S(bTableVirtualMove), S(bSupprimeTout),
        S(EmptySlot579), S(EmptySlot580), S(EmptySlot582), S(EmptySlot583), S(EmptySlot584), S(EmptySlot585),
        S(EmptySlot586), S(EmptySlot587), S(EmptySlot589), S(EmptySlot590), S(EmptySlot591), S(EmptySlot592),
        S(EmptySlot593), S(EmptySlot594)};
    ASSERT_EQ(aSlots.size(), 79u);
    for (size_t i = 0; i < aSlots.size(); i++)
        EXPECT_EQ(aSlots[i].nPlace, static_cast<int>(i)) << "INATable::" << aSlots[i].pszName;
}

// The host reads the two counts right after the table of operations.
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
