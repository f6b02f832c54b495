// The slot orders of the host-visible interfaces: each table lists an
// interface's operations in the order the host calls them by place.
#include "access/driver/INAConnectionDescription.h"
#include "access/driver/INAContext.h"
#include "access/driver/INADataSourceDescription.h"
#include "access/driver/INADriver.h"
#include "access/driver/INADriverSQL.h"
#include "access/driver/NAItemDescription.h"
#include "access/sql/ISQLParserInformation.h"
#include "access/sql/InfoGroupe.h"
#include "access/table/INATable.h"
#include "tests/support/SlotOrder.h"

#define VERSION(I) \
    S(I, nGetVersion), S(I, nGetCompatSince), S(I, nGetNAVersion), S(I, nGetNACompatSince), \
        S(I, NAVersion_EmptySlot_3)

TEST(SlotOrder, HostInterfaces)
{
    using D = INADriver;
    CheckOrder("INADriver", {
        VERSION(D), S(D, ExternalAddRef), S(D, nExternalRelease), S(D, piGetInterface), S(D, bOpenConnection),
        S(D, bCloseConnection), S(D, bCopyContext), S(D, piGetLastError), S(D, bHMode), S(D, piGetTable),
        S(D, bGetTableList), S(D, piGetTableDesc), S(D, bHExecuteRequeteSQL), S(D, bCloseContext),
        S(D, bTransactionBegin), S(D, bTransactionCommit), S(D, bTransactionRollBack), S(D, bSQLBloqueTable),
        S(D, bSQLBloqueRequete), S(D, bSQLFormatColonne), S(D, bHConnexionDiagnose), S(D, bGetProviderList),
        S(D, bTableExists), S(D, bGetLinkList), S(D, bGetListeSource), S(D, bSetQueryParameters),
        S(D, bSetVMAndLibShop), S(D, bFiltreAuto), S(D, SetNextLogicalName), S(D, bHExecuteRequeteSQLEx),
        S(D, bFreeDataSource), S(D, bValidConnection), S(D, bSetKX), S(D, bSupprimeFichier),
        S(D, bGetDatabaseList)});

    using Q = INADriverSQL;
    CheckOrder("INADriverSQL", {
        VERSION(Q), S(Q, ExternalAddRef), S(Q, nExternalRelease), S(Q, piGetLastError), S(Q, piGetInterface),
        S(Q, pReservedFct1), S(Q, pReservedFct2), S(Q, pReservedFct3), S(Q, pReservedFct4), S(Q, pReservedFct5),
        S(Q, bLoadNativeDll), S(Q, bFreeNativeDll), S(Q, bOpenConnection), S(Q, bCloseConnection),
        S(Q, bGetDataBaseList), S(Q, bGetTableList),
        SO(Q, bGetColumnList, int, CAny*, int, const wchar_t*, unsigned int),
        SO(Q, bGetColumnList, int, CAny*, int, int, unsigned int),
        SO(Q, piGetTableDesc, INADataSourceDescription*, int, const wchar_t*, unsigned int),
        SO(Q, piGetTableDesc, INADataSourceDescription*, int, int, unsigned int),
        S(Q, bGetColumnTypeList), S(Q, bExecute), S(Q, bFreeStmt), S(Q, bGetStmtLastError), S(Q, bGetColumnNbr),
        S(Q, bGetColumnName), S(Q, bFetch), S(Q, bGetRow), S(Q, bGetValue), S(Q, bGetBLOBValue), S(Q, bTrsBegin),
        S(Q, bTrsCommit), S(Q, bTrsRollBack), S(Q, bSQLBloqueTable), S(Q, bSQLBloqueRequete),
        S(Q, bSetVMAndLibShop), S(Q, EmptySlot258), S(Q, EmptySlot259), S(Q, EmptySlot261), S(Q, EmptySlot262),
        S(Q, EmptySlot263), S(Q, EmptySlot264), S(Q, EmptySlot265), S(Q, EmptySlot267), S(Q, EmptySlot268),
        S(Q, EmptySlot269), S(Q, EmptySlot270), S(Q, EmptySlot271), S(Q, EmptySlot273), S(Q, EmptySlot274),
        S(Q, EmptySlot275), S(Q, EmptySlot276), S(Q, EmptySlot277), S(Q, EmptySlot279), S(Q, EmptySlot280),
        S(Q, EmptySlot281), S(Q, EmptySlot282), S(Q, EmptySlot283), S(Q, EmptySlot285), S(Q, EmptySlot286),
        S(Q, EmptySlot287), S(Q, EmptySlot288), S(Q, EmptySlot289), S(Q, EmptySlot291), S(Q, EmptySlot292),
        S(Q, EmptySlot293), S(Q, EmptySlot294), S(Q, EmptySlot295), S(Q, EmptySlot297), S(Q, EmptySlot298),
        S(Q, EmptySlot299), S(Q, EmptySlot300), S(Q, EmptySlot301)});

    using T = INADataSourceDescription;
    CheckOrder("INADataSourceDescription", {
        VERSION(T), S(T, ExternalAddRef), S(T, nExternalRelease), S(T, pszGetLogicalName), S(T, pszGetPhysicalName),
        S(T, pszGetDefaultDirectory), S(T, nGetDiskRecordSize), S(T, nGetMemoryRecordSize), S(T, nGetNumItems),
        S(T, nGetNumKeys), S(T, nGetNumMemos), S(T, nGetNumItemPhysicallyInFic),
        SO(T, piNAGetItem, INAItemDescription*, const wchar_t*), SO(T, piNAGetItem, INAItemDescription*, unsigned int),
        S(T, piNAGetKey), S(T, piNAGetMemo), S(T, eGetNASubDataType), S(T, pszGetDBTableName),
        S(T, piGetBestParseItemDesc), S(T, pszGetExtendedInfo), S(T, pszGetType), S(T, pszGetOwner),
        S(T, pszGetDefaultDatabase), S(T, pszGetExtension), S(T, pszGetCaption), S(T, bGetNullSupported),
        S(T, EmptySlot137), S(T, EmptySlot138), S(T, EmptySlot139), S(T, EmptySlot140), S(T, EmptySlot141),
        S(T, EmptySlot142), S(T, EmptySlot143), S(T, EmptySlot144), S(T, EmptySlot145), S(T, EmptySlot146)});

    using C = INAConnectionDescription;
    CheckOrder("INAConnectionDescription", {
        VERSION(C), S(C, AddRef), S(C, Release), S(C, pszGetUserName), S(C, pszGetPassword), S(C, pszGetDataSource),
        S(C, pszGetDescription), S(C, eGetAccess), S(C, nGetNbParam), S(C, pclGetParam), S(C, pszGetProvider),
        S(C, nGetDefaultConnectionTimeout), S(C, nGetDefaultCommandTimeout), S(C, pszGetExtendedInfo),
        S(C, pszGetConnectionName), S(C, lGetCursorOptions), S(C, Reserved16), S(C, pszGetDefaultDataBase),
        S(C, llGetCacheSize), S(C, Reserved19), S(C, Reserved20), S(C, pszGetLogicalConnectionName)});

    using X = INAContext;
    CheckOrder("INAContext", {
        S(X, Reserved1), S(X, Reserved2), S(X, Reserved3), S(X, Reserved4), S(X, Reserved5), S(X, Reserved6),
        S(X, Reserved7), S(X, dwGetDataAccessKey), S(X, dwGetContextNumber)});

    using I = INAItemDescription;
    CheckOrder("INAItemDescription", {
        VERSION(I), S(I, ExternalAddRef), S(I, nExternalRelease), S(I, pszGetName), S(I, nGetDimension),
        S(I, nGetItemSize), S(I, nGetLogicalSize), S(I, nGetTotalSize), S(I, eNAGetItemType), S(I, nGetPhysicalIndice),
        S(I, bIsKey), S(I, bMemo), S(I, bMemoText), S(I, bMemoBinary), S(I, bNumerical), S(I, bLiteral),
        S(I, nGetKeyIndice), S(I, nGetNumComponents), S(I, bPrimary), S(I, bUnique), S(I, bDuplicates),
        S(I, bIsComposedKey), S(I, bGetAscendant), S(I, bGetDescendant), S(I, bGetIgnoreCase),
        S(I, bGetIgnorePunctuation), S(I, bGetIgnoreAccent), S(I, piGetItemComponent), S(I, nGetOffset),
        S(I, nGetSubItemRecordIndice), S(I, pclGetDefaultValue), S(I, pszGetExtendedInfo), S(I, pszGetCaption),
        S(I, pszGetDBType), S(I, pszGetXBaseIndexPath), S(I, pszGetXBaseKeyExpression), S(I, nGetIntegerPart),
        S(I, nGetDecimalPart), S(I, pszGetNameInSource), S(I, pszGetSourceName), S(I, nGetKeySize),
        S(I, SetKeySize), S(I, nGetComponentKeySize), S(I, SetComponentKeySize), S(I, bUpdatable),
        S(I, SetUpdatable), S(I, piGetPrimaryLink), S(I, piGetForeignLink), S(I, nGetNumForeignLink),
        S(I, pszGetUnicodeLocale), S(I, vbConstraintNullAllowed)});

    using E = INAError;
    CheckOrder("INAError", {
        VERSION(E), S(E, pszGetError), S(E, dwGetErrorId), S(E, eGetErrorType), S(E, pszGetLogicalTableName),
        S(E, pszGetItemName), S(E, pclGetXError), S(E, eGetErrorLevel), S(E, EmptySlot52), S(E, EmptySlot53),
        S(E, EmptySlot54), S(E, EmptySlot55), S(E, EmptySlot56)});
    using A = INATable;
    const std::vector<SSlot> aTable = {
        S(A, nGetVersion), S(A, nGetCompatSince), S(A, nGetNAVersion), S(A, nGetNACompatSince),
        S(A, NAVersion_EmptySlot_3), S(A, ExternalAddRef), S(A, nExternalRelease), S(A, piGetLastError),
        S(A, bIsOpened), S(A, piGetDataSourceDescription), S(A, bNbEnrNeedParse), S(A, FreeMemory), S(A, bHReindexe),
        S(A, bHCreationSiInexistant), S(A, bHCreation), S(A, bHOuvre), S(A, bHMode), S(A, bHFerme), S(A, bHAjoute),
        S(A, bHEcrit), S(A, bHRaye), S(A, bHSupprime), S(A, bHModifie), S(A, bHRecherche), S(A, bHLibere),
        S(A, bHLit), S(A, bHLitxxx), S(A, bSkipRecord), S(A, bHBloqueFichier), S(A, bHDebloqueFichier),
        S(A, bHBloqueNumEnr), S(A, bHDebloqueNumEnr), S(A, bHEnDehors), S(A, bEvalHTrouve), S(A, bSetNextOperation),
        S(A, llGetRecNum), S(A, bGetRecNumState),
        SO(A, bHFiltre, int, INAContext*, ISQLParserInformation*, wchar_t*),
        SO(A, bHFiltre, int, INAContext*, const wchar_t*, const CAny*, int, const CAny*, int, ISQLParserInformation*),
        S(A, bHActiveFiltre), S(A, bHDesactiveFiltre), S(A, bHRetourPosition), S(A, bHLiberePosition),
        S(A, bHSauvePosition), S(A, bHVersion), S(A, bHNbEnr), S(A, bHPositionCourante), S(A, bHPositionne),
        S(A, bGetBLOB), S(A, bSetBLOB), S(A, bGetRecord), S(A, bSetRecord), S(A, bHAttacheMemo), S(A, bExtraitMemo),
        S(A, bHAnnuleRecherche), S(A, bHChangeCle), S(A, bHConstruitValCle), S(A, bHInterditModif),
        S(A, bHFinInterditModif), S(A, bCalculateKeyValue), S(A, bFreeCache), S(A, bCompareTablePosition),
        S(A, bTableVirtualMoveSupported), S(A, bTableVirtualMove), S(A, bSupprimeTout), S(A, EmptySlot579),
        S(A, EmptySlot580), S(A, EmptySlot582), S(A, EmptySlot583), S(A, EmptySlot584), S(A, EmptySlot585),
        S(A, EmptySlot586), S(A, EmptySlot587), S(A, EmptySlot589), S(A, EmptySlot590), S(A, EmptySlot591),
        S(A, EmptySlot592), S(A, EmptySlot593), S(A, EmptySlot594)};
    EXPECT_EQ(aTable.size(), 79u);
    CheckOrder("INATable", aTable);
}

// The host's parse: the places the driver calls, the others reserved.
TEST(SlotOrder, HostParseInterfaces)
{
#define R(I, n) S(I, Reserved##n)
    using P = ISQLParserInformation;
    CheckOrder("ISQLParserInformation", {
        S(P, bVersionExchange), S(P, AddRef), S(P, nRelease), S(P, nGetLastClauseStop), S(P, nGetQueryStop),
        R(P, 6), S(P, pclGetTabValParser), S(P, pszGetRequete), R(P, 9), S(P, nGetWhereStart), S(P, nGetWhereStop),
        S(P, nGetOrderByStart), S(P, piGetInfoRequete), S(P, nGetHavingStart), S(P, nGetHavingStop), R(P, 16),
        R(P, 17), S(P, piGetWhere), R(P, 19), S(P, pclGetTabValParserClause), R(P, 21), S(P, piGetRubriqueDescription),
        S(P, piGetItemDescription), S(P, piGetFromDescription), S(P, piGetTableDescription), R(P, 26),
        S(P, eGetTypeRequete), S(P, piGetHaving), R(P, 29), R(P, 30), R(P, 31), S(P, nGetOutputListEnd), R(P, 33),
        S(P, GetPhysicalName)});

    using L = IInfoRequete;
    CheckOrder("IInfoRequete", {
        S(L, piGetNextRubrique), R(L, 2), R(L, 3), R(L, 4), S(L, nGetNbGroupe), R(L, 6), S(L, piGetNextFrom),
        S(L, piGetNextOrderBy), S(L, piGetNextGroupe), R(L, 10), R(L, 11), R(L, 12), S(L, piGetNextJoin), R(L, 14),
        R(L, 15), R(L, 16), R(L, 17), S(L, piGetNextAffectation), S(L, piGetNextInsertion)});

    using E = IExpOpExpression;
    CheckOrder("IExpOpExpression", {
        R(E, 1), S(E, nRelease), S(E, eGetOperateur), S(E, piGetOperandeGauche), S(E, piGetOperandeDroite),
        S(E, pclGetValeur), S(E, cGetEscape), R(E, 8), R(E, 9), R(E, 10), R(E, 11), S(E, pszGetNomRubrique), R(E, 13),
        R(E, 14), R(E, 15), R(E, 16), R(E, 17), R(E, 18), R(E, 19), R(E, 20), R(E, 21), R(E, 22), R(E, 23), R(E, 24),
        S(E, stGetPosition), S(E, pszGetNomTable), R(E, 27), S(E, stGetPositionExterne), S(E, bJointureExterne),
        R(E, 30), R(E, 31), R(E, 32), R(E, 33), R(E, 34), S(E, nGetType), R(E, 36), R(E, 37),
        S(E, piGetNextOperande)});

    using U = IInfoRubrique;
    CheckOrder("IInfoRubrique", {
        R(U, 1), R(U, 2), S(U, nRelease), S(U, pszGetNomTable), S(U, pszGetNom), S(U, pszGetNomRubriqueSource),
        R(U, 7), R(U, 8), R(U, 9), S(U, pszGetAlias), S(U, eGetCalcul), R(U, 12), R(U, 13), R(U, 14), S(U, nGetType),
        R(U, 16), R(U, 17), R(U, 18), R(U, 19), R(U, 20), S(U, piGetExpression), S(U, stGetPosition),
        S(U, pszGetNomTableSource), S(U, bGetItemFlag)});

    using F = IInfoFrom;
    CheckOrder("IInfoFrom", {R(F, 1), R(F, 2), S(F, nRelease), S(F, pszGetNomTable), S(F, pszGetAlias),
                             S(F, stGetPosition)});
    using O = IInfoOrderBy;
    CheckOrder("IInfoOrderBy", {R(O, 1), R(O, 2), S(O, nRelease), R(O, 4), S(O, nGetIndiceColonne),
                                S(O, stGetPosition)});
    // The driver's copy of a GROUP BY entry keeps the host's order, then its
    // destructors.
    using G = CInfoGroupe;
    CheckOrder("CInfoGroupe", {S(G, pszGetAlias), S(G, bIsAvecTable), S(G, pszGetNomTable), S(G, pszGetNomRubrique),
                               S(G, stGetPosition), S(G, pszGetNomFichier), S(G, pszGetNomRubriqueAlias)});
    using A = IInfoAffectation;
    CheckOrder("IInfoAffectation", {S(A, piGetColonne), S(A, piGetExpression)});
    using N = IInfoInsertion;
    CheckOrder("IInfoInsertion", {S(N, piGetValeur), S(N, piGetColonne)});
#undef R
}
