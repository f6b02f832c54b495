// The handle-based SQL interface as the host reads it. The order of the
// operations is the contract with the host. Connections and statements are
// named by integer numbers; column numbers count from 1.
#pragma once

#include "access/driver/INAVersion.h"

class CAny;
class CTabValParser;
class ILibShop;
class INAConnectionDescription;
class INADataSourceDescription;
class IVMData;

// Five version operations, then 72 (77 in all).
class INADriverSQL : public INAVersion {
public:
    virtual INADriverSQL* ExternalAddRef() = 0;
    virtual int nExternalRelease() = 0;
    virtual INAError* piGetLastError() = 0;
    virtual void* piGetInterface(int nId) = 0;
    virtual void* pReservedFct1(unsigned char* p) = 0;
    virtual void* pReservedFct2(unsigned char* p) = 0;
    virtual void* pReservedFct3(unsigned char* p) = 0;
    virtual void* pReservedFct4(unsigned char* p) = 0;
    virtual void* pReservedFct5(unsigned char* p) = 0;
    virtual int bLoadNativeDll(unsigned char* p, unsigned int n) = 0;
    virtual int bFreeNativeDll(unsigned char* p, unsigned int n) = 0;
    virtual int bOpenConnection(int* pnConnection, INAConnectionDescription* piDescription) = 0;
    virtual int bCloseConnection(int nConnection) = 0;
    virtual int bGetDataBaseList(CAny* pResult, unsigned int nFlags) = 0;
    virtual int bGetTableList(CAny* pResult, int nConnection, const wchar_t* pszFilter, unsigned int nFlags) = 0;
    virtual int bGetColumnList(CAny* pResult, int nConnection, const wchar_t* pszTable, unsigned int nFlags) = 0;
    virtual int bGetColumnList(CAny* pResult, int nConnection, int nStatement, unsigned int nFlags) = 0;
    virtual INADataSourceDescription* piGetTableDesc(int nConnection, const wchar_t* pszTable,
                                                     unsigned int nFlags) = 0;
    virtual INADataSourceDescription* piGetTableDesc(int nConnection, int nStatement, unsigned int nFlags) = 0;
    virtual int bGetColumnTypeList(CAny* pResult, int nConnection, unsigned int nFlags) = 0;
    virtual int bExecute(int* pnStatement, int nConnection, const wchar_t* pszQuery, CTabValParser* pParameters,
                         unsigned int nFlags) = 0;
    virtual int bFreeStmt(int nConnection, int nStatement, unsigned int nFlags) = 0;
    virtual int bGetStmtLastError(INAError** ppiError, int nConnection, int nStatement) = 0;
    virtual int bGetColumnNbr(int* pnCount, int nConnection, int nStatement, unsigned int nFlags) = 0;
    virtual int bGetColumnName(CAny* pName, int nConnection, int nStatement, unsigned int nColumn,
                               unsigned int nFlags) = 0;
    virtual int bFetch(int nConnection, int nStatement, unsigned int nFlags) = 0;
    virtual int bGetRow(CAny* pRow, int nConnection, int nStatement, const wchar_t* pszSeparator, int n,
                        unsigned int nFlags) = 0;
    virtual int bGetValue(CAny* pValue, int nConnection, int nStatement, unsigned int nColumn,
                          unsigned int nFlags) = 0;
    virtual int bGetBLOBValue(CAny* pValue, int nConnection, int nStatement, unsigned int nColumn,
                              unsigned int nFlags) = 0;
    virtual int bTrsBegin(int* pnTransaction, int nConnection, unsigned int nFlags) = 0;
    virtual int bTrsCommit(int nConnection, int nTransaction, unsigned int nFlags) = 0;
    virtual int bTrsRollBack(int nConnection, int nTransaction, unsigned int nFlags) = 0;
    virtual int bSQLBloqueTable(int nConnection, const wchar_t* pszTable, unsigned int nFlags) = 0;
    virtual int bSQLBloqueRequete(int nConnection, const wchar_t* pszQuery, unsigned int nFlags) = 0;
    virtual int bSetVMAndLibShop(ILibShop* piLibShop, IVMData* piVMData) = 0;
    virtual void EmptySlot258() = 0;
    virtual void EmptySlot259() = 0;
    virtual void EmptySlot261() = 0;
    virtual void EmptySlot262() = 0;
    virtual void EmptySlot263() = 0;
    virtual void EmptySlot264() = 0;
    virtual void EmptySlot265() = 0;
    virtual void EmptySlot267() = 0;
    virtual void EmptySlot268() = 0;
    virtual void EmptySlot269() = 0;
    virtual void EmptySlot270() = 0;
    virtual void EmptySlot271() = 0;
    virtual void EmptySlot273() = 0;
    virtual void EmptySlot274() = 0;
    virtual void EmptySlot275() = 0;
    virtual void EmptySlot276() = 0;
    virtual void EmptySlot277() = 0;
    virtual void EmptySlot279() = 0;
    virtual void EmptySlot280() = 0;
    virtual void EmptySlot281() = 0;
    virtual void EmptySlot282() = 0;
    virtual void EmptySlot283() = 0;
    virtual void EmptySlot285() = 0;
    virtual void EmptySlot286() = 0;
    virtual void EmptySlot287() = 0;
    virtual void EmptySlot288() = 0;
    virtual void EmptySlot289() = 0;
    virtual void EmptySlot291() = 0;
    virtual void EmptySlot292() = 0;
    virtual void EmptySlot293() = 0;
    virtual void EmptySlot294() = 0;
    virtual void EmptySlot295() = 0;
    virtual void EmptySlot297() = 0;
    virtual void EmptySlot298() = 0;
    virtual void EmptySlot299() = 0;
    virtual void EmptySlot300() = 0;
    virtual void EmptySlot301() = 0;

protected:
    ~INADriverSQL() = default;
};
