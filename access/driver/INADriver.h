// The driver as the host reads it: connections, tables, queries, contexts,
// transactions, catalogue lists and the SQL interface. The order of the
// operations is the contract with the host.
#pragma once

#include "access/driver/INAVersion.h"

template <class T>
class CXYString;
class CAny;
class IKXForNA;
class ILibShop;
class INAConnectionDescription;
class INAContext;
class INACopyCtx;
class INADataSourceDescription;
class INAQueryExecution;
class INAQueryParametersValue;
class INATable;
class ISQLParserInformation;
class IVMData;

// The host's lock mode of a context; its values belong to the host.
enum _eNA_HMODE : int;

// Five version operations, then 34 (39 in all).
class INADriver : public INAVersion {
public:
    virtual void ExternalAddRef() = 0;
    virtual int nExternalRelease() = 0;
    virtual void* piGetInterface(int nId) = 0;
    virtual int bOpenConnection(INAConnectionDescription* piDescription) = 0;
    virtual int bCloseConnection(INAConnectionDescription* piDescription) = 0;
    virtual int bCopyContext(INACopyCtx* piCopy, INAContext* piFrom, INAContext* piTo, unsigned int nFlags) = 0;
    virtual INAError* piGetLastError() = 0;
    virtual int bHMode(INAContext* piContext, _eNA_HMODE eMode) = 0;
    virtual INATable* piGetTable(INAConnectionDescription* piDescription, INADataSourceDescription* piTable) = 0;
    virtual int bGetTableList(CAny* pResult, INAConnectionDescription* piDescription, unsigned int nFlags) = 0;
    virtual INADataSourceDescription* piGetTableDesc(const wchar_t* pszName,
                                                     INAConnectionDescription* piDescription) = 0;
    virtual int bHExecuteRequeteSQL(INATable** ppiTable, INAContext* piContext, const wchar_t* pszName,
                                    INAConnectionDescription* piDescription, ISQLParserInformation* piParser,
                                    unsigned int nFlags) = 0;
    virtual int bCloseContext(INAContext* piContext) = 0;
    virtual int bTransactionBegin(INAConnectionDescription* piDescription, const wchar_t* pszName) = 0;
    virtual int bTransactionCommit(INAConnectionDescription* piDescription, const wchar_t* pszName) = 0;
    virtual int bTransactionRollBack(INAConnectionDescription* piDescription, const wchar_t* pszName) = 0;
    virtual int bSQLBloqueTable(INAConnectionDescription* piDescription, const wchar_t* pszTable) = 0;
    virtual int bSQLBloqueRequete(INAConnectionDescription* piDescription, ISQLParserInformation* piParser) = 0;
    virtual int bSQLFormatColonne(INAConnectionDescription* piDescription, CAny* pResult) = 0;
    virtual int bHConnexionDiagnose(CAny* pResult, INAConnectionDescription* piDescription, const wchar_t* pszText,
                                    unsigned int nFlags) = 0;
    virtual int bGetProviderList(CAny* pResult) = 0;
    virtual int bTableExists(int* pbExists, const wchar_t* pszName, INAConnectionDescription* piDescription) = 0;
    virtual int bGetLinkList(CAny* pResult, const wchar_t* pszTable, INADataSourceDescription* piTable,
                             INAConnectionDescription* piDescription, unsigned int nFlags) = 0;
    virtual int bGetListeSource(CAny* pResult, int n) = 0;
    virtual int bSetQueryParameters(INAContext* piContext, INAConnectionDescription* piDescription,
                                    INAQueryParametersValue* piValues) = 0;
    virtual int bSetVMAndLibShop(ILibShop* piLibShop, IVMData* piVMData) = 0;
    virtual int bFiltreAuto(INAContext* piContext, INAConnectionDescription* piDescription, int n,
                            const wchar_t* pszTable1, INADataSourceDescription* piTable1, const wchar_t* pszTable2,
                            INADataSourceDescription* piTable2) = 0;
    virtual int SetNextLogicalName(INAContext* piContext, const wchar_t* pszName) = 0;
    virtual int bHExecuteRequeteSQLEx(INATable** ppiTable, INAContext* piContext, const wchar_t* pszName,
                                      INAConnectionDescription* piDescription, ISQLParserInformation* piParser,
                                      unsigned int nFlags, const INAQueryExecution* piExecution) = 0;
    virtual int bFreeDataSource(INAContext* piContext, const wchar_t* pszName,
                                INAConnectionDescription* piDescription) = 0;
    virtual int bValidConnection(INAConnectionDescription* piDescription) = 0;
    virtual int bSetKX(IKXForNA* piKX) = 0;
    virtual int bSupprimeFichier(INAContext* piContext, INAConnectionDescription* piDescription,
                                 const wchar_t* pszName, INADataSourceDescription* piTable) = 0;
    virtual int bGetDatabaseList(CXYString<wchar_t>* pResult, INAConnectionDescription* piDescription,
                                 unsigned int nFlags) = 0;

protected:
    ~INADriver() = default;
};
