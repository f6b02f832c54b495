// The cursor of one data access over a table or query. Its browse building,
// fetch and writes come with the statement issue; here the part the
// columns and the direct SQL statement meet.
#pragma once

#include "access/driver/Interf.h"

class CAny;
class CNAConnectionDescription;
class CNAConvertVariant;
class CNAError;
class CNARecordValue;
class CNARecord;
class CNAStatementSQL;

class CNAStatement : public CInterf {
public:
    // One reference on the error and on the direct SQL statement.
    CNAStatement(CNAError* pclError, CNAStatementSQL* pclStatementSQL);
    ~CNAStatement() override;

    CNAStatementSQL* pclGetStatementSQLNoRef() const { return m_pclStatementSQL; }
    // The data access's current record (one reference held), or null.
    CNARecord* pclGetCurrentRecordNoRef() const { return m_pclCurrentRecord; }
    void SetCurrentRecord(CNARecord* pclRecord);
    // Which columns the statement's texts define (CNAColumn::bMustDefine):
    // memo columns too, as a table's SELECT defines them.
    int nGetDefineMode() const { return 3; }
    // The direct SQL statement's value of a result column; on failure its
    // error is copied into the statement's.
    int bGetSQLColumnValue(CNAConvertVariant* pclCell, unsigned int nColumn);
    int bGetSQLColumnValue(CAny* pValue, unsigned int nColumn);

    // The image of the last row read (no reference added), or null.
    CNARecordValue* pclGetStmtOriginalRecord() const { return m_pclStmtOriginalRecord; }
    // The data access's record save of the current row; -1 none.
    int nGetRecordSaveID() const { return m_nRecordSaveID; }

protected:
    void _CopyStatementSQLError();

    CNAError* m_pclError;                 // one reference
    CNAStatementSQL* m_pclStatementSQL;   // one reference
    CNARecord* m_pclCurrentRecord;        // 9, one reference
    CNARecordValue* m_pclStmtOriginalRecord; // one reference, made on demand
    int m_nRecordSaveID;                  // a reference held on it while not -1
};
