#include "mysql/MySQLStatement.h"

#include "access/driver/NADataSourceDescription.h"
#include "access/driver/NAError.h"
#include "access/driver/NAItemDescription.h"
#include "access/sql/NACommand.h"
#include "access/statement/NAColumn.h"
#include "access/statement/NARecord.h"
#include "access/statement/NAStatementSQL.h"
#include "access/table/NADataAccess.h"
#include "common/platform/MyModuleInfo.h"
#include "common/values/Any.h"
#include "mysql/MySQLConnection.h"
#include "mysql/MySQLStatementSQL.h"
#include "mysql/NAFunctionLoader.h"

#include <climits>

namespace {

const int FILE_MYSQL_STATEMENT = CMySQLStatementSQL::ERRFILE_MYSQLSTATEMENTSQL;
// The server's last insert id; a streamed row that failed.
const int PT_INSERT_ID = 3;
const int PT_STREAM_FAILED = 25;

} // namespace

CMySQLStatement::CMySQLStatement(CNADataAccess* pclDataAccess, CNAError* pclError)
    : CNAStatement(pclDataAccess, pclError)
{
}

CMySQLStatement::~CMySQLStatement() = default;

int CMySQLStatement::bBuildQueryCREATE(CNACommand* pclCommand)
{
    if (!CNAStatement::bBuildQueryCREATE(pclCommand))
        return 0;
    CNAConnectionDescription* pclConnection = pclGetConnectionNoRef();
    const bool bOldServer = pclConnection != nullptr && pclConnection->nGetServerVersionMajor() <= 4;
    return pclCommand->bComplete(bOldServer ? L" Type=InnoDB" : L" ENGINE=InnoDB", static_cast<unsigned int>(-1));
}

int CMySQLStatement::_bGetQueryStructure(CNADataSourceDescription* pclDescription, int bSkip)
{
    const int bResult = CNAStatement::_bGetQueryStructure(pclDescription, bSkip);
    if (!bResult || bSkip)
        return bResult;
    // The items of a fresh description, one a column.
    CNAStatementSQL* pclSQL = pclGetStatementSQLNoRef();
    for (unsigned int i = 0; i < pclDescription->nGetNumItems(); i++) {
        const CNAColumnSQL* pclColumn = pclSQL->pclGetNAColumnSQL(static_cast<int>(i));
        if (pclColumn != nullptr && pclColumn->m_nCharsetNumber == CMySQLConnection::CHARSET_BINARY &&
            (pclColumn->m_eItemType == NA_IT_TEXTE || pclColumn->m_eItemType == NA_IT_MEMOTEXTE))
            pclDescription->pclNAGetItemNoRef(static_cast<int>(i))->SetServerBytes();
    }
    return 1;
}

int CMySQLStatement::_bGetNativeConstraint(CNAColumn* pclColumn, CTString* pclText)
{
    pclText->Vide();
    INAItemDescription* piItem = pclColumn->piGetItem();
    if (piItem == nullptr)
        return CNAStatement::_bGetNativeConstraint(pclColumn, pclText);
    const eNA_ITEMTYPE eType = piItem->eNAGetItemType();
    CTString csKey;
    csKey.Set(L", PRIMARY KEY (", pclColumn->pszGetFormatedName(), L")");
    if (eType == NA_IT_IDAUTO || eType == NA_IT_IDAUTO4) {
        pclText->Set(L" NOT NULL AUTO_INCREMENT", csKey.pszGet(), L"");
        return 1;
    }
    if (piItem->bPrimary()) {
        pclText->Set(csKey.pszGet());
        return 1;
    }
    return CNAStatement::_bGetNativeConstraint(pclColumn, pclText);
}

int CMySQLStatement::bUpdateRecordAfterInsert(int, unsigned int)
{
    CNAColumn* pclIdAuto = m_pclCurrentRecord != nullptr ? m_pclCurrentRecord->pclGetColumnIDAutoNoRef() : nullptr;
    if (pclIdAuto == nullptr)
        return 1;
    CNAConnectionDescription* pclConnection = pclGetConnectionNoRef();
    MYSQL* h = pclConnection != nullptr ? static_cast<CMySQLConnection*>(pclConnection)->pGetHandle() : nullptr;
    my_ulonglong nId = 0;
    if (!bNAClientCall(m_pclError, pclConnection, FILE_MYSQL_STATEMENT, PT_INSERT_ID, nId, static_cast<my_ulonglong>(0),
                       __mysql_insert_id, h)) {
        if (m_pclError != nullptr && m_pclDataAccess != nullptr)
            m_pclError->SetInfoNames(m_pclDataAccess->pszGetLogicalName(), pclIdAuto->pszGetName());
        return 0;
    }
    if (nId == 0)
        return 1;
    // An id beyond the signed range stays a positive number.
    CAny clValue;
    if (nId > static_cast<my_ulonglong>(LLONG_MAX)) {
        const unsigned long long ull = nId;
        clValue.__SetType(TQTYPE_UI8, 0);
        clValue.pclGetTraitement()->SetValue(&ull);
    } else {
        const long long ll = static_cast<long long>(nId);
        clValue.__SetType(TQTYPE_I8, 0);
        clValue.pclGetTraitement()->SetValue(&ll);
    }
    clValue.SetFlags(0);
    pclIdAuto->bSetValue(&clValue, 0);
    return 1;
}

int CMySQLStatement::bGetNbEnr(long long* pllCount, unsigned int nFlags, int bAllRows)
{
    if (m_pclDataAccess == nullptr || !m_pclDataAccess->bSourceIsQuery() || m_pclDataAccess->bRequeteSansCorrection())
        return CNAStatement::bGetNbEnr(pllCount, nFlags, bAllRows);
    ResetQuery();
    EnableCache(0);
    CNACommand* pclCommand = m_pclDataAccess->pclAllocCommand(m_pclError);
    if (pclCommand == nullptr)
        return 0;
    pclCommand->AddRef();
    const int bBuilt = m_pclDataAccess->bBuildSelect(pclCommand, this, nullptr, 1, 0, nullptr);
    pclCommand->SetRowLimit(-1, -1);
    CMySQLStatementSQL* pclSQL = static_cast<CMySQLStatementSQL*>(m_pclStatementSQL);
    if (pclSQL != nullptr)
        pclSQL->SetStoreResult(0);
    int bResult = 0;
    if (bBuilt && pclSQL != nullptr) {
        bResult = bExecuteDirectNewCommand(pclCommand, 0, 1);
        if (bResult) {
            long long llCount = 0;
            int bCaught = 0;
            while (pclSQL->__pFetchRow(&bCaught) != nullptr)
                llCount++;
            pclSQL->SetStreamPending(0);
            // The end of the rows, or a failure met on the way.
            unsigned int nErrno = 0;
            CNAConnectionDescription* pclConnection = pclGetConnectionNoRef();
            const int bRead = !bCaught && pclConnection != nullptr &&
                              static_cast<CMySQLConnection*>(pclConnection)->bGetLastError(m_pclError, &nErrno);
            if (!bRead || nErrno != 0) {
                if (nErrno != 0)
                    pclSQL->_bInitLastError(FILE_MYSQL_STATEMENT, PT_STREAM_FAILED);
                bResult = 0;
            } else {
                *pllCount = llCount;
            }
        }
    }
    if (pclSQL != nullptr)
        pclSQL->SetStoreResult(1);
    pclCommand->nRelease();
    return bResult;
}
