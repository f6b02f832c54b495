// The current record of one data access: its columns built from the host's
// table or query description, the key columns that identify a row, the
// columns that make a browse order unique, and two record values: the
// current one (what the host reads and writes) and the original one (the row
// as last read).
#pragma once

#include "access/driver/Interf.h"
#include "common/text/Tableau.h"

class CColumnNullValueExcluded;
class CNAColumn;
class CNAConnectionDescription;
class CNAConvertVariant;
class CNADataAccess;
class CNADataSourceDescription;
class CNAError;
class CNAItemDescription;
class CNAKXRecord;
class CNARecordValue;
class CSQLParserInfo;
class CTString;
class INADataSourceDescription;
class INAItemDescription;

class CNARecord : public CInterf {
public:
    enum : int {
        // Source-file number of the current record in the debug line.
        ERRFILE_RECORD = 11,
    };

    // One reference on the error; the data access owns the record.
    CNARecord(CNAError* pclError, CNADataAccess* pclDataAccess);
    CNARecord(const CNARecord&) = delete;
    CNARecord& operator=(const CNARecord&) = delete;

    // ---- Virtual operations, in slot order (after CInterf's three) ------------
    ~CNARecord() override;
    // The first column whose item name compares equal, case and accents
    // ignored; null when none.
    virtual CNAColumn* pclGetColumnNoRef(const wchar_t* pszName) const;
    // Keeps the connection, makes the buffers and one column per host item
    // (with the database's item of the same name), then the composite keys'
    // components and the order columns. An empty description is user
    // error 1.
    virtual int bInitRecord(INADataSourceDescription* piHost, CNADataSourceDescription* pclDatabase,
                            CNAConnectionDescription* pclConnection);
    // The current record value's state becomes deleted.
    virtual void SetDeleted();
    // A new column (count 0) from the driver's factory.
    virtual CNAColumn* _pclAllocColumn(INAItemDescription* piItem);

    // ---- Columns, none with a reference added ------------------------------------
    // Column i; null outside the columns.
    CNAColumn* pclGetColumnNoRef(int i) const { return m_tabColumn[i]; }
    // The column of a host item: on a table the column at the item's
    // physical index; on a query the column of the same names (below).
    CNAColumn* pclGetColumnNoRef(const INAItemDescription* piItem) const;
    int nGetNbColumn() const { return m_tabColumn.nGetNbElement(); }
    CNAColumn* pclGetColumnOrderNoRef(int i) const { return m_tabColumnOrder[i]; }
    int nGetNbColumnOrder() const { return m_tabColumnOrder.nGetNbElement(); }
    CNAColumn* pclGetColumnIDAutoNoRef() const { return m_pclColumnIDAuto; }
    CNAColumn* pclGetUniqueKeyNoRef() const { return m_pclUniqueKey; }
    const CRefArray<CNAColumn>* pclGetTabColumnMemo() const { return &m_tabColumnMemo; }
    const CRefArray<CNAColumn>* pclGetTabCompositeKey() const { return &m_tabCompositeKey; }
    // The first column that is an automatic identifier on the database.
    CNAColumn* pclGetNAColumnIdentityNoRef() const;
    // A unique column whose current value is defined, to find the current
    // row again: the unique key column, else the first order column, else
    // the first such column in column order; null when none.
    CNAColumn* pclGetUniqueKeyNotNullNoRef() const;
    // Whether the column is unique and no part of its current value is NULL:
    // a unique index admits any number of NULLs, so a composite key with a
    // NULL part finds several rows.
    static bool s_bUniqueNotNull(CNAColumn* pclColumn);
    // With at least two columns: whether a unique composite key of the
    // record is complete among them, has the last one as a component, and
    // cannot be NULL (not nullable on the database, or with a component
    // that the exclusions keep from NULL, or without exclusions whose value
    // is defined).
    bool bComposedKeyUniqueNotNullAdded(CNAColumn* const* ppclColumns, int nCount,
                                        const CColumnNullValueExcluded* pclExclusions) const;
    // Appends to the list (one reference each) the order columns from the
    // first up to and including the unique key not NULL, every order column
    // when that key is not among them; a column already listed is not
    // added again. False without memory.
    bool _AddAllItem(CRefArray<CNAColumn>* ptabColumn) const;

    // ---- Source ---------------------------------------------------------------------
    int bSourceIsQuery() const;
    CSQLParserInfo* pclGetSourceQueryNoRef() const;
    // The data access's logical name ("" without one).
    const wchar_t* pszGetTableName() const;
    CNAConnectionDescription* pclGetConnectionNoRef() const { return m_pclConnection; }
    CNADataAccess* pclGetDataAccessNoRef() const { return m_pclDataAccess; }
    CNAError* pclGetErrorNoRef() const { return m_pclError; }

    // ---- Record values ----------------------------------------------------------------
    // The current record value's buffer (no reference added).
    CNAKXRecord* pclGetNAKXRecord() const;
    // The original record value's buffer (no reference added).
    CNAKXRecord* pclGetOriginalNAKXRecord() const;
    CNAKXRecord* pclGetPrototypeNoRef() const { return m_pclPrototype; }
    CNARecordValue* pclGetCurrentRecordValueNoRef() const { return m_pclCurrentValue; }
    CNARecordValue* pclGetOriginalRecordValueNoRef() const { return m_pclOriginalValue; }
    unsigned int bOriginalSet() const { return m_bOriginalSet; }
    // Copies the buffer into the current record value; the value cells
    // then follow its defined bits.
    bool bSetNAKXRecord(const CNAKXRecord* pclBuffer);
    bool bCopyToCurrentRecord(const CNARecordValue* pclValue);
    bool bCopyOriginalRecordToCurrentRecord();
    // Marks the original set and copies everything into it.
    bool bCopyCurrentRecordToOriginalRecord();
    bool bEquals(const CNARecordValue* pclValue, int bWithMemos) const;
    bool bGetPosition() const { return true; }
    // When the column is a memo column, the current record value shares the
    // cell at its memo index; true for any other column.
    bool bShareCurrentRecordMemoValue(const CNAColumn* pclColumn, CNAConvertVariant* pclCell);
    // New buffers for the description, then every column binds again.
    bool bUpdateChangedTypeInCurrentRecord(INADataSourceDescription* piDescription);

    // ---- Building ------------------------------------------------------------------------
    // A column for the item appended (a memo also to the memo columns, a
    // unique composite key to the composite keys) and initialised.
    int bAddColumn(INAItemDescription* piItem, CNAItemDescription* pclImported);
    // Releases every column, from the last to the first.
    void DeleteAllColumn();
    // Debug text: the identity, the defined bits, then each column up to
    // the first composite key.
    void CurrentRecordToString(CTString* pclText) const;
    // After a buffer change: each plain column's cell is NULL exactly when
    // its value is not defined.
    void OnNAKXRecordChanged();

    // How many rows read before this one, in a row, share its browse value;
    // read backward, those rows come after it in the browse's order.
    long long llGetDuplicateRank() const { return m_llDuplicateRank; }
    int bDuplicateRankBackward() const { return m_bDuplicateRankBackward; }
    void SetDuplicateRank(long long ll, int bBackward = 0)
    {
        m_llDuplicateRank = ll;
        m_bDuplicateRankBackward = bBackward;
    }

protected:
    // The prototype with the item defaults, the original value with its
    // identity and the current value cloned from it.
    bool _bAllocRecordsBuffer(INADataSourceDescription* piDescription);
    void _FreeRecordsBuffer();
    void _InitCompositeKey();
    void _InitOrderBy();
    void _AddColumnOrder(CNAColumn* pclColumn);
    bool _bOrderFull() const;
    bool _bIsOrderColumn(const CNAColumn* pclColumn) const;
    // Drops whatever an earlier initialisation left.
    void _Reset();
    bool _bNoMemory() const;

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
    long long m_llDuplicateRank;
    int m_bDuplicateRankBackward;
};
