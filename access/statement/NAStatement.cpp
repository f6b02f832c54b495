#include "access/statement/NAStatement.h"

#include "access/driver/NAError.h"
#include "access/statement/NARecord.h"
#include "access/statement/NARecordValue.h"
#include "access/statement/NAStatementSQL.h"

CNAStatement::CNAStatement(CNAError* pclError, CNAStatementSQL* pclStatementSQL)
    : m_pclError(pclError), m_pclStatementSQL(pclStatementSQL), m_pclCurrentRecord(nullptr),
      m_pclStmtOriginalRecord(nullptr), m_nRecordSaveID(-1)
{
    if (m_pclError != nullptr)
        m_pclError->AddRef();
    if (m_pclStatementSQL != nullptr)
        m_pclStatementSQL->AddRef();
}

CNAStatement::~CNAStatement()
{
    if (m_pclStmtOriginalRecord != nullptr)
        m_pclStmtOriginalRecord->nRelease();
    if (m_pclCurrentRecord != nullptr)
        m_pclCurrentRecord->nRelease();
    if (m_pclStatementSQL != nullptr)
        m_pclStatementSQL->nRelease();
    if (m_pclError != nullptr)
        m_pclError->nRelease();
}

void CNAStatement::SetCurrentRecord(CNARecord* pclRecord)
{
    if (pclRecord == m_pclCurrentRecord)
        return;
    if (pclRecord != nullptr)
        pclRecord->AddRef();
    if (m_pclCurrentRecord != nullptr)
        m_pclCurrentRecord->nRelease();
    m_pclCurrentRecord = pclRecord;
}

void CNAStatement::_CopyStatementSQLError()
{
    CNAError* pclError = nullptr;
    if (m_pclError != nullptr && m_pclStatementSQL->bGetStmtLastError(&pclError) && pclError != nullptr &&
        pclError != m_pclError)
        m_pclError->Copy(pclError);
}

int CNAStatement::bGetSQLColumnValue(CNAConvertVariant* pclCell, unsigned int nColumn)
{
    if (m_pclStatementSQL == nullptr)
        return 0;
    if (m_pclStatementSQL->bGetValue(pclCell, nColumn, 0))
        return 1;
    _CopyStatementSQLError();
    return 0;
}

int CNAStatement::bGetSQLColumnValue(CAny* pValue, unsigned int nColumn)
{
    if (m_pclStatementSQL == nullptr)
        return 0;
    if (m_pclStatementSQL->bGetValue(pValue, nColumn, 0))
        return 1;
    _CopyStatementSQLError();
    return 0;
}
