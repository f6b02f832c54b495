// The data access's virtual operations in their slot order (the MySQL data
// access and the tests replace them by place), after the two destructors
// and CInterf's _NotToBeCalled.
#include "access/table/NADataAccess.h"
#include "tests/support/SlotOrder.h"

TEST(NADataAccessSlots, InTheirOrder)
{
    using D = CNADataAccess;
    CheckOrder("CNADataAccess", {
        S(D, _NotToBeCalled), S(D, bGetBLOB), S(D, bSetBLOB), S(D, bExtraitMemo), S(D, bHCreation),
        S(D, bSupprimeFichier), S(D, bSupprimeTout), S(D, bHCreationSiInexistant), S(D, bHOuvre), S(D, bHFerme),
        S(D, bHAjoute), S(D, bHEcrit), S(D, bHSupprime), S(D, bHModifie), S(D, bHRaye), S(D, bHLibere),
        S(D, bHLit), S(D, bHLitxxx), S(D, bSkipRecord),
        SO(D, bHRecherche, int, const wchar_t*, const CAny*, int, int, eNA_LOCKTYPE, eNA_LOCKTYPE*, int,
           unsigned int),
        SO(D, bHRecherche, int, const wchar_t*, const wchar_t*, const CAny*, int, int, eNA_LOCKTYPE, eNA_LOCKTYPE*,
           int, unsigned int),
        S(D, bHAnnuleRecherche), S(D, bHBloqueFichier), S(D, bHDebloqueFichier), S(D, bHBloqueNumEnr),
        S(D, bHDebloqueNumEnr),
        SO(D, bHFiltre, int, const wchar_t*, const CAny*, int, const CAny*, int, ISQLParserInformation*),
        S(D, bHSauvePosition), S(D, bHRetourPosition), S(D, bHLiberePosition), S(D, bHVersion), S(D, bHNbEnr),
        S(D, bGetNbEnr), S(D, bNbEnrNeedParse), S(D, llGetRecNum), S(D, bGetRecNumState), S(D, bHConstruitValCle),
        S(D, bExecuteQuery), S(D, bBuildSelect), S(D, bLockRecord), S(D, bUnlockRecord), S(D, bLockUnlockRecord),
        S(D, bHReindexe), S(D, pclGetDataSourceDescriptionFromDB), S(D, eEvaluateRecordIdType), S(D, bHChangeCle),
        S(D, bSetCurrentRecordRead), S(D, bFichierExiste), S(D, pclAllocPosition), S(D, eGetNAErrorType),
        S(D, SetContext), S(D, CancelRecordLock), S(D, bSetFiltreAuto), S(D, SetFiltreAuto),
        S(D, _pclAllocStatement), S(D, _pclAllocDataSource), S(D, _pclAllocRecord), S(D, _pclAllocIDAuto),
        S(D, _bMove), S(D, _bSetBLOB), S(D, _bHAttacheMemo), S(D, _SetTransactionTermined),
        S(D, _bInitCurrentRecord), S(D, _Close), S(D, _bOperation), S(D, _nGetSequenceCurrentVal),
        SO(D, _bGetRequestedValue, int, CNAStatement*, CAny*, CNACommand*), S(D, _bIsValidRecordNumber),
        S(D, _bFetch), S(D, _bHCreation), S(D, _bSupprimeTout), S(D, _SetImportedDataSourceDesc),
        S(D, _vUpdateRecordInCacheLock), S(D, _bGetUniqueIndexName), S(D, _bUpdateIdAutoAfterInsertFailure),
        S(D, _bHModifie), S(D, _bHAjoute), S(D, _bRepriseErreurParcours), S(D, _bCompareTablePosition),
        S(D, _bCheckRecordSaveID), S(D, _bCheckReccordId), S(D, _AllocTableCache)},
        2);
    // Nothing follows the last one.
    EXPECT_EQ(Slot(&D::_AllocTableCache, "").nPlace, 83);
    // Not virtual: no slot of their own.
    EXPECT_EQ(S(D, bHPositionCourante).nPlace, -1);
    EXPECT_EQ(S(D, bHPositionne).nPlace, -1);
}
