// The slot orders of the host-visible interfaces: each operation called by
// its place in the table of operations answers as the one of that place.
#include "access/driver/INAConnectionDescription.h"
#include "access/driver/INAContext.h"
#include "access/driver/INADataSourceDescription.h"
#include "access/driver/INADriver.h"
#include "access/driver/INADriverSQL.h"
#include "access/driver/NAItemDescription.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Each operation notes its own name.
class CProbeNADriver : public INADriver {
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
    void* piGetInterface(int nId) override
    { m_pszLast = "piGetInterface"; return {}; }
    int bOpenConnection(INAConnectionDescription* piDescription) override
    { m_pszLast = "bOpenConnection"; return {}; }
    int bCloseConnection(INAConnectionDescription* piDescription) override
    { m_pszLast = "bCloseConnection"; return {}; }
    int bCopyContext(INACopyCtx* piCopy, INAContext* piFrom, INAContext* piTo, unsigned int nFlags) override
    { m_pszLast = "bCopyContext"; return {}; }
    INAError* piGetLastError() override
    { m_pszLast = "piGetLastError"; return {}; }
    int bHMode(INAContext* piContext, _eNA_HMODE eMode) override
    { m_pszLast = "bHMode"; return {}; }
    INATable* piGetTable(INAConnectionDescription* piDescription, INADataSourceDescription* piTable) override
    { m_pszLast = "piGetTable"; return {}; }
    int bGetTableList(CAny* pResult, INAConnectionDescription* piDescription, unsigned int nFlags) override
    { m_pszLast = "bGetTableList"; return {}; }
    INADataSourceDescription* piGetTableDesc(const wchar_t* pszName, INAConnectionDescription* piDescription) override
    { m_pszLast = "piGetTableDesc"; return {}; }
    int bHExecuteRequeteSQL(INATable** ppiTable, INAContext* piContext, const wchar_t* pszName, INAConnectionDescription* piDescription, ISQLParserInformation* piParser, unsigned int nFlags) override
    { m_pszLast = "bHExecuteRequeteSQL"; return {}; }
    int bCloseContext(INAContext* piContext) override
    { m_pszLast = "bCloseContext"; return {}; }
    int bTransactionBegin(INAConnectionDescription* piDescription, const wchar_t* pszName) override
    { m_pszLast = "bTransactionBegin"; return {}; }
    int bTransactionCommit(INAConnectionDescription* piDescription, const wchar_t* pszName) override
    { m_pszLast = "bTransactionCommit"; return {}; }
    int bTransactionRollBack(INAConnectionDescription* piDescription, const wchar_t* pszName) override
    { m_pszLast = "bTransactionRollBack"; return {}; }
    int bSQLBloqueTable(INAConnectionDescription* piDescription, const wchar_t* pszTable) override
    { m_pszLast = "bSQLBloqueTable"; return {}; }
    int bSQLBloqueRequete(INAConnectionDescription* piDescription, ISQLParserInformation* piParser) override
    { m_pszLast = "bSQLBloqueRequete"; return {}; }
    int bSQLFormatColonne(INAConnectionDescription* piDescription, CAny* pResult) override
    { m_pszLast = "bSQLFormatColonne"; return {}; }
    int bHConnexionDiagnose(CAny* pResult, INAConnectionDescription* piDescription, const wchar_t* pszText, unsigned int nFlags) override
    { m_pszLast = "bHConnexionDiagnose"; return {}; }
    int bGetProviderList(CAny* pResult) override
    { m_pszLast = "bGetProviderList"; return {}; }
    int bTableExists(int* pbExists, const wchar_t* pszName, INAConnectionDescription* piDescription) override
    { m_pszLast = "bTableExists"; return {}; }
    int bGetLinkList(CAny* pResult, const wchar_t* pszTable, INADataSourceDescription* piTable, INAConnectionDescription* piDescription, unsigned int nFlags) override
    { m_pszLast = "bGetLinkList"; return {}; }
    int bGetListeSource(CAny* pResult, int n) override
    { m_pszLast = "bGetListeSource"; return {}; }
    int bSetQueryParameters(INAContext* piContext, INAConnectionDescription* piDescription, INAQueryParametersValue* piValues) override
    { m_pszLast = "bSetQueryParameters"; return {}; }
    int bSetVMAndLibShop(ILibShop* piLibShop, IVMData* piVMData) override
    { m_pszLast = "bSetVMAndLibShop"; return {}; }
    int bFiltreAuto(INAContext* piContext, INAConnectionDescription* piDescription, int n, const wchar_t* pszTable1, INADataSourceDescription* piTable1, const wchar_t* pszTable2, INADataSourceDescription* piTable2) override
    { m_pszLast = "bFiltreAuto"; return {}; }
    int SetNextLogicalName(INAContext* piContext, const wchar_t* pszName) override
    { m_pszLast = "SetNextLogicalName"; return {}; }
    int bHExecuteRequeteSQLEx(INATable** ppiTable, INAContext* piContext, const wchar_t* pszName, INAConnectionDescription* piDescription, ISQLParserInformation* piParser, unsigned int nFlags, const INAQueryExecution* piExecution) override
    { m_pszLast = "bHExecuteRequeteSQLEx"; return {}; }
    int bFreeDataSource(INAContext* piContext, const wchar_t* pszName, INAConnectionDescription* piDescription) override
    { m_pszLast = "bFreeDataSource"; return {}; }
    int bValidConnection(INAConnectionDescription* piDescription) override
    { m_pszLast = "bValidConnection"; return {}; }
    int bSetKX(IKXForNA* piKX) override
    { m_pszLast = "bSetKX"; return {}; }
    int bSupprimeFichier(INAContext* piContext, INAConnectionDescription* piDescription, const wchar_t* pszName, INADataSourceDescription* piTable) override
    { m_pszLast = "bSupprimeFichier"; return {}; }
    int bGetDatabaseList(CXYString<wchar_t>* pResult, INAConnectionDescription* piDescription, unsigned int nFlags) override
    { m_pszLast = "bGetDatabaseList"; return {}; }
};

class CProbeNADriverSQL : public INADriverSQL {
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
    INADriverSQL* ExternalAddRef() override
    { m_pszLast = "ExternalAddRef"; return {}; }
    int nExternalRelease() override
    { m_pszLast = "nExternalRelease"; return {}; }
    INAError* piGetLastError() override
    { m_pszLast = "piGetLastError"; return {}; }
    void* piGetInterface(int nId) override
    { m_pszLast = "piGetInterface"; return {}; }
    void* pReservedFct1(unsigned char* p) override
    { m_pszLast = "pReservedFct1"; return {}; }
    void* pReservedFct2(unsigned char* p) override
    { m_pszLast = "pReservedFct2"; return {}; }
    void* pReservedFct3(unsigned char* p) override
    { m_pszLast = "pReservedFct3"; return {}; }
    void* pReservedFct4(unsigned char* p) override
    { m_pszLast = "pReservedFct4"; return {}; }
    void* pReservedFct5(unsigned char* p) override
    { m_pszLast = "pReservedFct5"; return {}; }
    int bLoadNativeDll(unsigned char* p, unsigned int n) override
    { m_pszLast = "bLoadNativeDll"; return {}; }
    int bFreeNativeDll(unsigned char* p, unsigned int n) override
    { m_pszLast = "bFreeNativeDll"; return {}; }
    int bOpenConnection(int* pnConnection, INAConnectionDescription* piDescription) override
    { m_pszLast = "bOpenConnection"; return {}; }
    int bCloseConnection(int nConnection) override
    { m_pszLast = "bCloseConnection"; return {}; }
    int bGetDataBaseList(CAny* pResult, unsigned int nFlags) override
    { m_pszLast = "bGetDataBaseList"; return {}; }
    int bGetTableList(CAny* pResult, int nConnection, const wchar_t* pszFilter, unsigned int nFlags) override
    { m_pszLast = "bGetTableList"; return {}; }
    int bGetColumnList(CAny* pResult, int nConnection, const wchar_t* pszTable, unsigned int nFlags) override
    { m_pszLast = "bGetColumnList"; return {}; }
    int bGetColumnList(CAny* pResult, int nConnection, int nStatement, unsigned int nFlags) override
    { m_pszLast = "bGetColumnList"; return {}; }
    INADataSourceDescription* piGetTableDesc(int nConnection, const wchar_t* pszTable, unsigned int nFlags) override
    { m_pszLast = "piGetTableDesc"; return {}; }
    INADataSourceDescription* piGetTableDesc(int nConnection, int nStatement, unsigned int nFlags) override
    { m_pszLast = "piGetTableDesc"; return {}; }
    int bGetColumnTypeList(CAny* pResult, int nConnection, unsigned int nFlags) override
    { m_pszLast = "bGetColumnTypeList"; return {}; }
    int bExecute(int* pnStatement, int nConnection, const wchar_t* pszQuery, CTabValParser* pParameters, unsigned int nFlags) override
    { m_pszLast = "bExecute"; return {}; }
    int bFreeStmt(int nConnection, int nStatement, unsigned int nFlags) override
    { m_pszLast = "bFreeStmt"; return {}; }
    int bGetStmtLastError(INAError** ppiError, int nConnection, int nStatement) override
    { m_pszLast = "bGetStmtLastError"; return {}; }
    int bGetColumnNbr(int* pnCount, int nConnection, int nStatement, unsigned int nFlags) override
    { m_pszLast = "bGetColumnNbr"; return {}; }
    int bGetColumnName(CAny* pName, int nConnection, int nStatement, unsigned int nColumn, unsigned int nFlags) override
    { m_pszLast = "bGetColumnName"; return {}; }
    int bFetch(int nConnection, int nStatement, unsigned int nFlags) override
    { m_pszLast = "bFetch"; return {}; }
    int bGetRow(CAny* pRow, int nConnection, int nStatement, const wchar_t* pszSeparator, int n, unsigned int nFlags) override
    { m_pszLast = "bGetRow"; return {}; }
    int bGetValue(CAny* pValue, int nConnection, int nStatement, unsigned int nColumn, unsigned int nFlags) override
    { m_pszLast = "bGetValue"; return {}; }
    int bGetBLOBValue(CAny* pValue, int nConnection, int nStatement, unsigned int nColumn, unsigned int nFlags) override
    { m_pszLast = "bGetBLOBValue"; return {}; }
    int bTrsBegin(int* pnTransaction, int nConnection, unsigned int nFlags) override
    { m_pszLast = "bTrsBegin"; return {}; }
    int bTrsCommit(int nConnection, int nTransaction, unsigned int nFlags) override
    { m_pszLast = "bTrsCommit"; return {}; }
    int bTrsRollBack(int nConnection, int nTransaction, unsigned int nFlags) override
    { m_pszLast = "bTrsRollBack"; return {}; }
    int bSQLBloqueTable(int nConnection, const wchar_t* pszTable, unsigned int nFlags) override
    { m_pszLast = "bSQLBloqueTable"; return {}; }
    int bSQLBloqueRequete(int nConnection, const wchar_t* pszQuery, unsigned int nFlags) override
    { m_pszLast = "bSQLBloqueRequete"; return {}; }
    int bSetVMAndLibShop(ILibShop* piLibShop, IVMData* piVMData) override
    { m_pszLast = "bSetVMAndLibShop"; return {}; }
    void EmptySlot258() override
    { m_pszLast = "EmptySlot258"; }
    void EmptySlot259() override
    { m_pszLast = "EmptySlot259"; }
    void EmptySlot261() override
    { m_pszLast = "EmptySlot261"; }
    void EmptySlot262() override
    { m_pszLast = "EmptySlot262"; }
    void EmptySlot263() override
    { m_pszLast = "EmptySlot263"; }
    void EmptySlot264() override
    { m_pszLast = "EmptySlot264"; }
    void EmptySlot265() override
    { m_pszLast = "EmptySlot265"; }
    void EmptySlot267() override
    { m_pszLast = "EmptySlot267"; }
    void EmptySlot268() override
    { m_pszLast = "EmptySlot268"; }
    void EmptySlot269() override
    { m_pszLast = "EmptySlot269"; }
    void EmptySlot270() override
    { m_pszLast = "EmptySlot270"; }
    void EmptySlot271() override
    { m_pszLast = "EmptySlot271"; }
    void EmptySlot273() override
    { m_pszLast = "EmptySlot273"; }
    void EmptySlot274() override
    { m_pszLast = "EmptySlot274"; }
    void EmptySlot275() override
    { m_pszLast = "EmptySlot275"; }
    void EmptySlot276() override
    { m_pszLast = "EmptySlot276"; }
    void EmptySlot277() override
    { m_pszLast = "EmptySlot277"; }
    void EmptySlot279() override
    { m_pszLast = "EmptySlot279"; }
    void EmptySlot280() override
    { m_pszLast = "EmptySlot280"; }
    void EmptySlot281() override
    { m_pszLast = "EmptySlot281"; }
    void EmptySlot282() override
    { m_pszLast = "EmptySlot282"; }
    void EmptySlot283() override
    { m_pszLast = "EmptySlot283"; }
    void EmptySlot285() override
    { m_pszLast = "EmptySlot285"; }
    void EmptySlot286() override
    { m_pszLast = "EmptySlot286"; }
    void EmptySlot287() override
    { m_pszLast = "EmptySlot287"; }
    void EmptySlot288() override
    { m_pszLast = "EmptySlot288"; }
    void EmptySlot289() override
    { m_pszLast = "EmptySlot289"; }
    void EmptySlot291() override
    { m_pszLast = "EmptySlot291"; }
    void EmptySlot292() override
    { m_pszLast = "EmptySlot292"; }
    void EmptySlot293() override
    { m_pszLast = "EmptySlot293"; }
    void EmptySlot294() override
    { m_pszLast = "EmptySlot294"; }
    void EmptySlot295() override
    { m_pszLast = "EmptySlot295"; }
    void EmptySlot297() override
    { m_pszLast = "EmptySlot297"; }
    void EmptySlot298() override
    { m_pszLast = "EmptySlot298"; }
    void EmptySlot299() override
    { m_pszLast = "EmptySlot299"; }
    void EmptySlot300() override
    { m_pszLast = "EmptySlot300"; }
    void EmptySlot301() override
    { m_pszLast = "EmptySlot301"; }
};

class CProbeNADataSourceDescription : public INADataSourceDescription {
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
    unsigned int nExternalRelease() override
    { m_pszLast = "nExternalRelease"; return {}; }
    const wchar_t* pszGetLogicalName() const override
    { m_pszLast = "pszGetLogicalName"; return {}; }
    const wchar_t* pszGetPhysicalName() const override
    { m_pszLast = "pszGetPhysicalName"; return {}; }
    const wchar_t* pszGetDefaultDirectory() const override
    { m_pszLast = "pszGetDefaultDirectory"; return {}; }
    unsigned int nGetDiskRecordSize() const override
    { m_pszLast = "nGetDiskRecordSize"; return {}; }
    unsigned int nGetMemoryRecordSize() const override
    { m_pszLast = "nGetMemoryRecordSize"; return {}; }
    unsigned int nGetNumItems() const override
    { m_pszLast = "nGetNumItems"; return {}; }
    unsigned int nGetNumKeys() const override
    { m_pszLast = "nGetNumKeys"; return {}; }
    unsigned int nGetNumMemos() const override
    { m_pszLast = "nGetNumMemos"; return {}; }
    unsigned int nGetNumItemPhysicallyInFic() const override
    { m_pszLast = "nGetNumItemPhysicallyInFic"; return {}; }
    INAItemDescription* piNAGetItem(const wchar_t* pszName) override
    { m_pszLast = "piNAGetItem"; return {}; }
    INAItemDescription* piNAGetItem(unsigned int nIndex) override
    { m_pszLast = "piNAGetItem"; return {}; }
    INAItemDescription* piNAGetKey(unsigned int nIndex) override
    { m_pszLast = "piNAGetKey"; return {}; }
    INAItemDescription* piNAGetMemo(unsigned int nIndex) override
    { m_pszLast = "piNAGetMemo"; return {}; }
    int eGetNASubDataType() const override
    { m_pszLast = "eGetNASubDataType"; return {}; }
    const wchar_t* pszGetDBTableName() const override
    { m_pszLast = "pszGetDBTableName"; return {}; }
    INAItemDescription* piGetBestParseItemDesc() override
    { m_pszLast = "piGetBestParseItemDesc"; return {}; }
    const wchar_t* pszGetExtendedInfo() const override
    { m_pszLast = "pszGetExtendedInfo"; return {}; }
    const wchar_t* pszGetType() const override
    { m_pszLast = "pszGetType"; return {}; }
    const wchar_t* pszGetOwner() const override
    { m_pszLast = "pszGetOwner"; return {}; }
    const wchar_t* pszGetDefaultDatabase() const override
    { m_pszLast = "pszGetDefaultDatabase"; return {}; }
    const wchar_t* pszGetExtension() const override
    { m_pszLast = "pszGetExtension"; return {}; }
    const wchar_t* pszGetCaption() const override
    { m_pszLast = "pszGetCaption"; return {}; }
    int bGetNullSupported() const override
    { m_pszLast = "bGetNullSupported"; return {}; }
    void EmptySlot137() override
    { m_pszLast = "EmptySlot137"; }
    void EmptySlot138() override
    { m_pszLast = "EmptySlot138"; }
    void EmptySlot139() override
    { m_pszLast = "EmptySlot139"; }
    void EmptySlot140() override
    { m_pszLast = "EmptySlot140"; }
    void EmptySlot141() override
    { m_pszLast = "EmptySlot141"; }
    void EmptySlot142() override
    { m_pszLast = "EmptySlot142"; }
    void EmptySlot143() override
    { m_pszLast = "EmptySlot143"; }
    void EmptySlot144() override
    { m_pszLast = "EmptySlot144"; }
    void EmptySlot145() override
    { m_pszLast = "EmptySlot145"; }
    void EmptySlot146() override
    { m_pszLast = "EmptySlot146"; }
};

class CProbeNAConnectionDescription : public INAConnectionDescription {
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
    unsigned int AddRef() override
    { m_pszLast = "AddRef"; return {}; }
    unsigned int Release() override
    { m_pszLast = "Release"; return {}; }
    const wchar_t* pszGetUserName() override
    { m_pszLast = "pszGetUserName"; return {}; }
    const wchar_t* pszGetPassword() override
    { m_pszLast = "pszGetPassword"; return {}; }
    const wchar_t* pszGetDataSource() override
    { m_pszLast = "pszGetDataSource"; return {}; }
    const wchar_t* pszGetDescription() override
    { m_pszLast = "pszGetDescription"; return {}; }
    eNA_ACCESSMODE eGetAccess() override
    { m_pszLast = "eGetAccess"; return {}; }
    int nGetNbParam() override
    { m_pszLast = "nGetNbParam"; return {}; }
    void* pclGetParam(int nIndex) override
    { m_pszLast = "pclGetParam"; return {}; }
    const wchar_t* pszGetProvider() override
    { m_pszLast = "pszGetProvider"; return {}; }
    int nGetDefaultConnectionTimeout() override
    { m_pszLast = "nGetDefaultConnectionTimeout"; return {}; }
    int nGetDefaultCommandTimeout() override
    { m_pszLast = "nGetDefaultCommandTimeout"; return {}; }
    const wchar_t* pszGetExtendedInfo() override
    { m_pszLast = "pszGetExtendedInfo"; return {}; }
    const wchar_t* pszGetConnectionName() override
    { m_pszLast = "pszGetConnectionName"; return {}; }
    int lGetCursorOptions() override
    { m_pszLast = "lGetCursorOptions"; return {}; }
    void Reserved16() override
    { m_pszLast = "Reserved16"; }
    const wchar_t* pszGetDefaultDataBase() override
    { m_pszLast = "pszGetDefaultDataBase"; return {}; }
    long long llGetCacheSize() override
    { m_pszLast = "llGetCacheSize"; return {}; }
    void Reserved19() override
    { m_pszLast = "Reserved19"; }
    void Reserved20() override
    { m_pszLast = "Reserved20"; }
    const wchar_t* pszGetLogicalConnectionName() override
    { m_pszLast = "pszGetLogicalConnectionName"; return {}; }
};

class CProbeNAContext : public INAContext {
public:
    mutable const char* m_pszLast = nullptr;

    void Reserved1() override
    { m_pszLast = "Reserved1"; }
    void Reserved2() override
    { m_pszLast = "Reserved2"; }
    void Reserved3() override
    { m_pszLast = "Reserved3"; }
    void Reserved4() override
    { m_pszLast = "Reserved4"; }
    void Reserved5() override
    { m_pszLast = "Reserved5"; }
    void Reserved6() override
    { m_pszLast = "Reserved6"; }
    void Reserved7() override
    { m_pszLast = "Reserved7"; }
    unsigned int dwGetDataAccessKey() override
    { m_pszLast = "dwGetDataAccessKey"; return {}; }
    unsigned int dwGetContextNumber() override
    { m_pszLast = "dwGetContextNumber"; return {}; }
};

class CProbeNAItemDescription : public INAItemDescription {
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
    unsigned int nExternalRelease() override
    { m_pszLast = "nExternalRelease"; return {}; }
    const wchar_t* pszGetName() const override
    { m_pszLast = "pszGetName"; return {}; }
    unsigned int nGetDimension() const override
    { m_pszLast = "nGetDimension"; return {}; }
    unsigned int nGetItemSize() const override
    { m_pszLast = "nGetItemSize"; return {}; }
    int nGetLogicalSize(int nElement) const override
    { m_pszLast = "nGetLogicalSize"; return {}; }
    unsigned int nGetTotalSize() const override
    { m_pszLast = "nGetTotalSize"; return {}; }
    eNA_ITEMTYPE eNAGetItemType() const override
    { m_pszLast = "eNAGetItemType"; return {}; }
    int nGetPhysicalIndice() const override
    { m_pszLast = "nGetPhysicalIndice"; return {}; }
    int bIsKey() const override
    { m_pszLast = "bIsKey"; return {}; }
    int bMemo() const override
    { m_pszLast = "bMemo"; return {}; }
    int bMemoText() const override
    { m_pszLast = "bMemoText"; return {}; }
    int bMemoBinary() const override
    { m_pszLast = "bMemoBinary"; return {}; }
    int bNumerical() const override
    { m_pszLast = "bNumerical"; return {}; }
    int bLiteral() const override
    { m_pszLast = "bLiteral"; return {}; }
    int nGetKeyIndice() const override
    { m_pszLast = "nGetKeyIndice"; return {}; }
    int nGetNumComponents() const override
    { m_pszLast = "nGetNumComponents"; return {}; }
    int bPrimary() const override
    { m_pszLast = "bPrimary"; return {}; }
    int bUnique() const override
    { m_pszLast = "bUnique"; return {}; }
    int bDuplicates() const override
    { m_pszLast = "bDuplicates"; return {}; }
    int bIsComposedKey() const override
    { m_pszLast = "bIsComposedKey"; return {}; }
    int bGetAscendant(int nIndex) const override
    { m_pszLast = "bGetAscendant"; return {}; }
    int bGetDescendant(int nIndex) const override
    { m_pszLast = "bGetDescendant"; return {}; }
    int bGetIgnoreCase(int nIndex) const override
    { m_pszLast = "bGetIgnoreCase"; return {}; }
    int bGetIgnorePunctuation(int nIndex) const override
    { m_pszLast = "bGetIgnorePunctuation"; return {}; }
    int bGetIgnoreAccent(int nIndex) const override
    { m_pszLast = "bGetIgnoreAccent"; return {}; }
    INAItemDescription* piGetItemComponent(int nIndex) override
    { m_pszLast = "piGetItemComponent"; return {}; }
    int nGetOffset(int nIndex) const override
    { m_pszLast = "nGetOffset"; return {}; }
    int nGetSubItemRecordIndice(int nIndex) const override
    { m_pszLast = "nGetSubItemRecordIndice"; return {}; }
    CAny* pclGetDefaultValue(int nIndex) override
    { m_pszLast = "pclGetDefaultValue"; return {}; }
    const wchar_t* pszGetExtendedInfo() const override
    { m_pszLast = "pszGetExtendedInfo"; return {}; }
    const wchar_t* pszGetCaption() const override
    { m_pszLast = "pszGetCaption"; return {}; }
    const wchar_t* pszGetDBType() const override
    { m_pszLast = "pszGetDBType"; return {}; }
    const wchar_t* pszGetXBaseIndexPath() const override
    { m_pszLast = "pszGetXBaseIndexPath"; return {}; }
    const wchar_t* pszGetXBaseKeyExpression() const override
    { m_pszLast = "pszGetXBaseKeyExpression"; return {}; }
    int nGetIntegerPart() const override
    { m_pszLast = "nGetIntegerPart"; return {}; }
    int nGetDecimalPart() const override
    { m_pszLast = "nGetDecimalPart"; return {}; }
    const wchar_t* pszGetNameInSource() const override
    { m_pszLast = "pszGetNameInSource"; return {}; }
    const wchar_t* pszGetSourceName() const override
    { m_pszLast = "pszGetSourceName"; return {}; }
    unsigned int nGetKeySize() const override
    { m_pszLast = "nGetKeySize"; return {}; }
    void SetKeySize(unsigned int nSize) override
    { m_pszLast = "SetKeySize"; }
    unsigned int nGetComponentKeySize(int nIndex) const override
    { m_pszLast = "nGetComponentKeySize"; return {}; }
    void SetComponentKeySize(unsigned int nSize, int nIndex) override
    { m_pszLast = "SetComponentKeySize"; }
    int bUpdatable() const override
    { m_pszLast = "bUpdatable"; return {}; }
    void SetUpdatable(int bUpdatable) override
    { m_pszLast = "SetUpdatable"; }
    INAItemDescription* piGetPrimaryLink(INAContext* piContext, INADataSourceDescription** ppiTable) override
    { m_pszLast = "piGetPrimaryLink"; return {}; }
    INAItemDescription* piGetForeignLink(unsigned int nIndex, INAContext* piContext, INADataSourceDescription** ppiTable) override
    { m_pszLast = "piGetForeignLink"; return {}; }
    int nGetNumForeignLink() const override
    { m_pszLast = "nGetNumForeignLink"; return {}; }
    const wchar_t* pszGetUnicodeLocale() const override
    { m_pszLast = "pszGetUnicodeLocale"; return {}; }
    int vbConstraintNullAllowed() const override
    { m_pszLast = "vbConstraintNullAllowed"; return {}; }
};

class CProbeNAError : public INAError {
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
    const wchar_t* pszGetError() override
    { m_pszLast = "pszGetError"; return {}; }
    unsigned int dwGetErrorId() const override
    { m_pszLast = "dwGetErrorId"; return {}; }
    eNA_ERRORTYPE eGetErrorType() const override
    { m_pszLast = "eGetErrorType"; return {}; }
    const wchar_t* pszGetLogicalTableName() const override
    { m_pszLast = "pszGetLogicalTableName"; return {}; }
    const wchar_t* pszGetItemName() const override
    { m_pszLast = "pszGetItemName"; return {}; }
    CXError* pclGetXError() override
    { m_pszLast = "pclGetXError"; return {}; }
    eNAERRORLEVEL eGetErrorLevel() const override
    { m_pszLast = "eGetErrorLevel"; return {}; }
    void EmptySlot52() override
    { m_pszLast = "EmptySlot52"; }
    void EmptySlot53() override
    { m_pszLast = "EmptySlot53"; }
    void EmptySlot54() override
    { m_pszLast = "EmptySlot54"; }
    void EmptySlot55() override
    { m_pszLast = "EmptySlot55"; }
    void EmptySlot56() override
    { m_pszLast = "EmptySlot56"; }
};


// The orders the host expects.
const char* const kNADriver[] = {
    "nGetVersion", "nGetCompatSince", "nGetNAVersion", "nGetNACompatSince", "NAVersion_EmptySlot_3",
    "ExternalAddRef", "nExternalRelease", "piGetInterface", "bOpenConnection", "bCloseConnection",
    "bCopyContext", "piGetLastError", "bHMode", "piGetTable", "bGetTableList", "piGetTableDesc",
    "bHExecuteRequeteSQL", "bCloseContext", "bTransactionBegin", "bTransactionCommit", "bTransactionRollBack",
    "bSQLBloqueTable", "bSQLBloqueRequete", "bSQLFormatColonne", "bHConnexionDiagnose", "bGetProviderList",
    "bTableExists", "bGetLinkList", "bGetListeSource", "bSetQueryParameters", "bSetVMAndLibShop",
    "bFiltreAuto", "SetNextLogicalName", "bHExecuteRequeteSQLEx", "bFreeDataSource", "bValidConnection",
    "bSetKX", "bSupprimeFichier", "bGetDatabaseList"
};

const char* const kNADriverSQL[] = {
    "nGetVersion", "nGetCompatSince", "nGetNAVersion", "nGetNACompatSince", "NAVersion_EmptySlot_3",
    "ExternalAddRef", "nExternalRelease", "piGetLastError", "piGetInterface", "pReservedFct1", "pReservedFct2",
    "pReservedFct3", "pReservedFct4", "pReservedFct5", "bLoadNativeDll", "bFreeNativeDll", "bOpenConnection",
    "bCloseConnection", "bGetDataBaseList", "bGetTableList", "bGetColumnList", "bGetColumnList",
    "piGetTableDesc", "piGetTableDesc", "bGetColumnTypeList", "bExecute", "bFreeStmt", "bGetStmtLastError",
    "bGetColumnNbr", "bGetColumnName", "bFetch", "bGetRow", "bGetValue", "bGetBLOBValue", "bTrsBegin",
    "bTrsCommit", "bTrsRollBack", "bSQLBloqueTable", "bSQLBloqueRequete", "bSetVMAndLibShop", "EmptySlot258",
    "EmptySlot259", "EmptySlot261", "EmptySlot262", "EmptySlot263", "EmptySlot264", "EmptySlot265",
    "EmptySlot267", "EmptySlot268", "EmptySlot269", "EmptySlot270", "EmptySlot271", "EmptySlot273",
    "EmptySlot274", "EmptySlot275", "EmptySlot276", "EmptySlot277", "EmptySlot279", "EmptySlot280",
    "EmptySlot281", "EmptySlot282", "EmptySlot283", "EmptySlot285", "EmptySlot286", "EmptySlot287",
    "EmptySlot288", "EmptySlot289", "EmptySlot291", "EmptySlot292", "EmptySlot293", "EmptySlot294",
    "EmptySlot295", "EmptySlot297", "EmptySlot298", "EmptySlot299", "EmptySlot300", "EmptySlot301"
};

const char* const kNADataSourceDescription[] = {
    "nGetVersion", "nGetCompatSince", "nGetNAVersion", "nGetNACompatSince", "NAVersion_EmptySlot_3",
    "ExternalAddRef", "nExternalRelease", "pszGetLogicalName", "pszGetPhysicalName", "pszGetDefaultDirectory",
    "nGetDiskRecordSize", "nGetMemoryRecordSize", "nGetNumItems", "nGetNumKeys", "nGetNumMemos",
    "nGetNumItemPhysicallyInFic", "piNAGetItem", "piNAGetItem", "piNAGetKey", "piNAGetMemo",
    "eGetNASubDataType", "pszGetDBTableName", "piGetBestParseItemDesc", "pszGetExtendedInfo", "pszGetType",
    "pszGetOwner", "pszGetDefaultDatabase", "pszGetExtension", "pszGetCaption", "bGetNullSupported",
    "EmptySlot137", "EmptySlot138", "EmptySlot139", "EmptySlot140", "EmptySlot141", "EmptySlot142",
    "EmptySlot143", "EmptySlot144", "EmptySlot145", "EmptySlot146"
};

const char* const kNAConnectionDescription[] = {
    "nGetVersion", "nGetCompatSince", "nGetNAVersion", "nGetNACompatSince", "NAVersion_EmptySlot_3", "AddRef",
    "Release", "pszGetUserName", "pszGetPassword", "pszGetDataSource", "pszGetDescription", "eGetAccess",
    "nGetNbParam", "pclGetParam", "pszGetProvider", "nGetDefaultConnectionTimeout",
    "nGetDefaultCommandTimeout", "pszGetExtendedInfo", "pszGetConnectionName", "lGetCursorOptions",
    "Reserved16", "pszGetDefaultDataBase", "llGetCacheSize", "Reserved19", "Reserved20",
    "pszGetLogicalConnectionName"
};

const char* const kNAContext[] = {
    "Reserved1", "Reserved2", "Reserved3", "Reserved4", "Reserved5", "Reserved6", "Reserved7",
    "dwGetDataAccessKey", "dwGetContextNumber"
};

const char* const kNAItemDescription[] = {
    "nGetVersion", "nGetCompatSince", "nGetNAVersion", "nGetNACompatSince", "NAVersion_EmptySlot_3",
    "ExternalAddRef", "nExternalRelease", "pszGetName", "nGetDimension", "nGetItemSize", "nGetLogicalSize",
    "nGetTotalSize", "eNAGetItemType", "nGetPhysicalIndice", "bIsKey", "bMemo", "bMemoText", "bMemoBinary",
    "bNumerical", "bLiteral", "nGetKeyIndice", "nGetNumComponents", "bPrimary", "bUnique", "bDuplicates",
    "bIsComposedKey", "bGetAscendant", "bGetDescendant", "bGetIgnoreCase", "bGetIgnorePunctuation",
    "bGetIgnoreAccent", "piGetItemComponent", "nGetOffset", "nGetSubItemRecordIndice", "pclGetDefaultValue",
    "pszGetExtendedInfo", "pszGetCaption", "pszGetDBType", "pszGetXBaseIndexPath", "pszGetXBaseKeyExpression",
    "nGetIntegerPart", "nGetDecimalPart", "pszGetNameInSource", "pszGetSourceName", "nGetKeySize",
    "SetKeySize", "nGetComponentKeySize", "SetComponentKeySize", "bUpdatable", "SetUpdatable",
    "piGetPrimaryLink", "piGetForeignLink", "nGetNumForeignLink", "pszGetUnicodeLocale",
    "vbConstraintNullAllowed"
};

const char* const kNAError[] = {
    "nGetVersion", "nGetCompatSince", "nGetNAVersion", "nGetNACompatSince", "NAVersion_EmptySlot_3",
    "pszGetError", "dwGetErrorId", "eGetErrorType", "pszGetLogicalTableName", "pszGetItemName", "pclGetXError",
    "eGetErrorLevel", "EmptySlot52", "EmptySlot53", "EmptySlot54", "EmptySlot55", "EmptySlot56"
};

// Calls the operation at place nSlot (from 1) of an object's table with no
// argument besides the object: every probe operation ignores its arguments.
template <class I>
const char* CallProbe(I* pi, const char* const* ppszLast, int nSlot)
{
    typedef void (*PFN)(I*);
    void** pVtbl = *reinterpret_cast<void***>(pi);
    reinterpret_cast<PFN>(pVtbl[nSlot - 1])(pi);
    return *ppszLast;
}

template <class P, class I, size_t N>
void CheckOrder(P& probe, const char* const (&apszExpected)[N])
{
    I* pi = &probe;
    for (size_t i = 0; i < N; i++) {
        probe.m_pszLast = nullptr;
        const char* psz = CallProbe<I>(pi, &probe.m_pszLast, static_cast<int>(i + 1));
        ASSERT_NE(psz, nullptr) << "slot " << i + 1;
        EXPECT_STREQ(psz, apszExpected[i]) << "slot " << i + 1;
    }
}

} // namespace

TEST(SlotOrder, HostInterfaces)
{
    CProbeNADriver clDriver;
    CheckOrder<CProbeNADriver, INADriver>(clDriver, kNADriver);
    CProbeNADriverSQL clSQL;
    CheckOrder<CProbeNADriverSQL, INADriverSQL>(clSQL, kNADriverSQL);
    CProbeNADataSourceDescription clTable;
    CheckOrder<CProbeNADataSourceDescription, INADataSourceDescription>(clTable, kNADataSourceDescription);
    CProbeNAConnectionDescription clCnx;
    CheckOrder<CProbeNAConnectionDescription, INAConnectionDescription>(clCnx, kNAConnectionDescription);
    CProbeNAContext clContext;
    CheckOrder<CProbeNAContext, INAContext>(clContext, kNAContext);
    CProbeNAItemDescription clItem;
    CheckOrder<CProbeNAItemDescription, INAItemDescription>(clItem, kNAItemDescription);
    CProbeNAError clError;
    CheckOrder<CProbeNAError, INAError>(clError, kNAError);
}
