// The current record of one data access: its columns, the key columns, the
// original and current record values and their buffers. The data access
// issue completes the record's building and copies; this part gives the
// columns what they read of it.
#pragma once

#include "access/driver/Interf.h"
#include "common/text/Tableau.h"

class CNAColumn;
class CNAConnectionDescription;
class CNAConvertVariant;
class CNADataAccess;
class CNAError;
class CNAKXRecord;
class CNARecordValue;

class CNARecord : public CInterf {
public:
    // One reference on the error and on the connection.
    CNARecord(CNAError* pclError = nullptr, CNADataAccess* pclDataAccess = nullptr,
              CNAConnectionDescription* pclConnection = nullptr);
    ~CNARecord() override;

    // The current record value's buffer (no reference added).
    CNAKXRecord* pclGetNAKXRecord() const;
    // The original record value's buffer (no reference added).
    CNAKXRecord* pclGetOriginalNAKXRecord() const;
    CNARecordValue* pclGetCurrentRecordValueNoRef() const { return m_pclCurrentValue; }
    CNARecordValue* pclGetOriginalRecordValueNoRef() const { return m_pclOriginalValue; }
    // Column i, no reference added; null outside the columns.
    CNAColumn* pclGetColumnNoRef(int i) const { return m_tabColumn[i]; }
    int nGetNbColumn() const { return m_tabColumn.nGetNbElement(); }
    CNAConnectionDescription* pclGetConnectionNoRef() const { return m_pclConnection; }
    CNAError* pclGetErrorNoRef() const { return m_pclError; }
    // The table or query behind the record; a record without data access
    // reads a table.
    int bSourceIsQuery() const { return 0; }
    // When the column is a memo column, the current record value shares the
    // cell at its memo index; true for any other column.
    bool bShareCurrentRecordMemoValue(const CNAColumn* pclColumn, CNAConvertVariant* pclCell);

    // Appends a column (one reference) to the columns, and to the memo
    // columns for a memo.
    void AddColumn(CNAColumn* pclColumn);
    // The current and original values over these buffers (one reference on
    // each value made).
    bool bSetRecordValues(CNAKXRecord* pclCurrent, CNAKXRecord* pclOriginal);

protected:
    CNAError* m_pclError;                       // one reference
    CNADataAccess* m_pclDataAccess;             // no reference
    CNAConnectionDescription* m_pclConnection;  // one reference
    CRefArray<CNAColumn> m_tabColumn;           // in item order
    CNAColumn* m_pclColumnIDAuto;               // one reference, or null
    CNAColumn* m_pclUniqueKey;                  // one reference, or null
    CNAKXRecord* m_pclPrototype;                // the item defaults; one reference
    CNARecordValue* m_pclOriginalValue;         // one reference
    CNARecordValue* m_pclCurrentValue;          // one reference
    unsigned int m_bOriginalSet;
    CRefArray<CNAColumn> m_tabColumnOrder;
    CRefArray<CNAColumn> m_tabColumnMemo;       // memo columns in item order
    CRefArray<CNAColumn> m_tabCompositeKey;     // unique composite keys
};
