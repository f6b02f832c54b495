// One item of the current record: the host's item description, the one
// read from the database, the record buffer where its values live and the
// value cell that carries its value to and from the server. Beside it: the
// column of a table statement filled from a fetched row, the description of
// one result column of a direct SQL statement, and a parameter of an SQL
// command.
#pragma once

#include "access/driver/Interf.h"
#include "access/sql/ISQLParserInformation.h"
#include "common/text/Tableau.h"
#include "common/text/Tstring.h"
#include "common/values/ItemType.h"

class CAny;
class CNAConnectionDescription;
class CNAConvertVariant;
class CNAError;
class CNAItemDescription;
class CNAKXRecord;
class CNARecord;
class CNAStatement;
class CSQLParserInfo;
class INADataSourceDescription;
class INAItemDescription;
class INAQueryParametersValue;

class CNAColumn : public CInterf {
public:
    CNAColumn();
    // One external reference on the item, one reference on the error.
    CNAColumn(CNAError* pclError, INAItemDescription* piItem);
    ~CNAColumn() override;

    // ---- Virtual operations, in slot order (after CInterf's three) -----------
    // Keeps the record, formats the names, takes the imported item and,
    // unless a composite key, binds the value cell.
    virtual int vbInit(CNARecord* pclRecord, CNAItemDescription* pclImported);
    virtual int bInitVariant(CNARecord* pclRecord);
    virtual int bSetImportedItemDesc(CNAItemDescription* pclImported);
    // The record buffer changed: the cell is bound again.
    virtual int bUpdateChangedTypeInCurrentRecord(INADataSourceDescription* piDescription);
    virtual int bIsAutoIncrementOnDataBase();
    virtual const wchar_t* pszGetAliasNomTable();
    virtual const wchar_t* pszGetFormatedAliasNomTable();
    // The table a query's column comes from, as named and formatted for SQL.
    void SetAliasTableName(const wchar_t* pszName, const wchar_t* pszFormated);
    virtual int bGetCurrentValue(CAny* pValue, int nIndex);
    virtual int bGetOriginalValue(CAny* pValue, int nIndex);
    // Appends a debug text of the value; whether the value could be read.
    virtual int bCurrentValueToString(CTString* pclText, int bWithName);
    virtual int bSetValue(const CAny* pValue, int nIndex);
    virtual int bValueModified();
    virtual int bValueDefined();
    virtual int bOriginalValueDefined();
    virtual int bSameValue(const CAny* pValue, unsigned int nFlags);
    virtual int bCheckAndCorrectKXRecordValues();
    virtual int bSetValueFromDB(CNAStatement* pclStatement, int nIndex);
    virtual int bHAttacheMemo(const wchar_t* pszFile);
    virtual int bHExtraitMemo(const wchar_t* pszFile);
    virtual int bGetBLOB(CAny* pValue);
    virtual int bMustDefine(unsigned int nFlags);
    virtual int bMustBind(unsigned int nFlags);
    virtual int bGetCacheValue(CAny* pValue, int nIndex);
    // The value cell, no reference added.
    virtual CNAConvertVariant* pclGetNAValue();
    // A clone of the value cell (count 0), or null.
    virtual CNAConvertVariant* pclGetVariantClone();
    virtual int bRestaureOriginalValue(const CNAConvertVariant* pclCell);

    // ---- Description side ------------------------------------------------------
    CNARecord* pclGetRecordNoRef() const { return m_pclRecord; }
    // The host-parsed query of the record's source, through the record; null
    // for a table.
    CSQLParserInfo* pclGetSourceQueryNoRef() const;
    INAItemDescription* piGetItem() const { return m_piItem; }
    CNAItemDescription* pclGetImportedItem() const { return m_pclImportedItem; }
    const wchar_t* pszGetName() const;
    const wchar_t* pszGetOriginalName() const;
    const wchar_t* pszGetSourceName() const;
    int nGetPhysicalIndice() const;
    int bIsComposedKey() const;
    int bIsMemo() const;
    int bIsMemoText() const;
    int bIsMemoBin() const;
    int bLiteral() const;
    unsigned int nGetItemSize() const;
    unsigned int nGetValueSize() const { return nGetItemSize(); }
    int nGetLogicalSize() const;
    int nGetIntegerPart() const;
    int nGetDecimalPart() const;
    eNA_ITEMTYPE eNAGetItemType() const;
    unsigned short eGetTQType() const;
    int bBinaryString() const;
    int bIsIdAuto() const;
    int bGetDescendantComponent(int i) const;
    int bIsMemoDB() const;
    eNA_ITEMTYPE eNAGetItemTypeOnDatabaseEx() const;
    int bGetIgnoreCase(int i) const;
    int bIsNullableOnDataBase() const;
    int bUpdatable() const;
    int nGetLogicalSizeOnDatabase() const;
    int nGetDBType() const;
    eNA_ITEMTYPE eNAGetItemTypeOnDatabase() const;
    int bPrimary() const;
    int bUnique() const;
    int bIsUnique() const { return bUnique(); }
    int bUniqueNotNull() const;
    int bIsNullable() const;
    int eGetTypeColonne() const;
    // The column is a YEAR on the server (its description keeps the
    // server's type text), which its item holds as the date of 1 January.
    bool bServerYear() const;
    // The year of such a column's value (a date, "20240101"): its first
    // four digits; -1 for NULL or a value without them.
    static int s_nYearOf(const CAny* pValue);

    // ---- Names for SQL ---------------------------------------------------------
    int bFormatName();
    const wchar_t* pszGetFormatedName() const { return m_csFormatedName.pszGet(); }
    const wchar_t* pszGetFormatedOriginalName() const { return m_csFormatedOriginalName.pszGet(); }
    const wchar_t* pszGetFormatedSelectName(int bPlain);

    // ---- Composite keys ------------------------------------------------------------
    void AddCompositeKey(CNAColumn* pclComponent);
    int bIsComposedKeyComponent(const CNAColumn* pclColumn) const;
    CNARefArray<CNAColumn>* pclGetTabComponent() const { return m_ptabComponent; }

    // ---- Value side ----------------------------------------------------------------
    // Types a cell made elsewhere for this column (the column's host type when
    // nHostType is 0) and gives it the item descriptions; 1.
    int bInitVariant_NV_Any(CNAError* pclError, CNAConvertVariant* pclCell, unsigned short nHostType);
    int bSetValueNULL();
    int bNullOrEquivalent();
    int bNullOrEquivalent(const CAny* pValue);
    int bSetValueToDB(const CAny* pValue, unsigned int nFlags);
    int bConvertDataToDB();

    // The value is to be fetched later: the cell is NULL and not read yet, a
    // memo forgets its attached file and its modified mark, and the item is
    // marked defined in the current record buffer.
    void SetValueIsUnreadYet();
    int bValueIsUnreadYet() const;
    // The database-side item description of a cell (no reference added).
    static INAItemDescription* s_piGetItemDB(const CNAConvertVariant* pclCell);

protected:
    CNAKXRecord* _pclCurrentKX() const;
    CNAKXRecord* _pclOriginalKX() const;
    CNAConnectionDescription* _pclConnection() const;
    // The composite key's value: the components' fields end to end.
    int _bGetCompositeKeyValue(CAny* pValue);
    int _bSetValueMemoToDB(const CAny* pValue);
    // A memo value counts as NULL when NULL, or empty where the column may be
    // NULL.
    int _bMemoNullEquivalent(const CAny* pValue);
    // A value of a non-memo read from a record buffer.
    int _bReadFromKX(CNAKXRecord* pclKX, CAny* pValue, int nIndex);

    INAItemDescription* m_piItem;            // one external reference
    CNAItemDescription* m_pclImportedItem;   // read from the database; one external reference
    CNAError* m_pclError;                    // one reference
    CTString m_csFormatedName;               // quoted for SQL
    CNARecord* m_pclRecord;                  // the owning record, no reference
    CNARefArray<CNAColumn>* m_ptabComponent; // components of a composite key
    CTString m_csAliasTableName;
    CTString m_csFormatedAliasTableName;
    CTString m_csFormatedOriginalName;
    CTString m_csFormatedSelectName;
    CNAConvertVariant* m_pclValue; // one reference
    unsigned int m_bMemoModified;  // set or attached since the last read
    CTString m_csMemoFile;         // attached by bHAttacheMemo
};

// The column of a table statement: its value comes from the fetched row.
class CNASQLColumn : public CNAColumn {
public:
    using CNAColumn::CNAColumn;
    // A server value the item cannot take leaves the item NULL and the
    // current record with that failure (the first of the row), and the
    // row's other values are read: the read that lands on the record fails
    // with it, the rows around it are read.
    int bSetValueFromDB(CNAStatement* pclStatement, int nIndex) override;

protected:
    // Whether the failure just reported was a refused conversion, now kept
    // on the record (with the item, its SQL type and the server's text).
    int _bKeepRefusedValue(CNAStatement* pclStatement);
};

// A new table-statement column (count 0) for an item of type 1 to 31 but 8;
// null for any other type or without memory.
CNAColumn* _pclAllocNASQLColumn(CNAError* pclError, INAItemDescription* piItem);

// The description of one result column of a direct SQL statement; the back
// end fills it.
class CNAColumnSQL {
public:
    CNAColumnSQL();
    virtual ~CNAColumnSQL();

    CTString m_csName;
    unsigned long long m_ullLength;  // the back end's two words: the column's length
    unsigned int m_nSize;
    int m_nIntegerPart;              // digits
    int m_nDecimalPart;              // decimals
    int m_nDBType;                   // the server's field type
    CTString m_csDBTypeName;
    unsigned int m_nCharsetNumber;
    unsigned int m_dwReserved1;
    eNA_ITEMTYPE m_eItemType;
    unsigned int m_nKeyFlags;        // nonzero for a key column
    CTString m_csTableName;
    CTString m_csNameInSource;
    unsigned int m_dwReserved2;
};

static_assert(sizeof(void*) != 4 || sizeof(CNAColumnSQL) == 64,
              "CNAColumnSQL: table and fourteen fields");

class CNAParameter : public CInterf {
public:
    enum eNAPARAMETERINOUT : int {
        PARAM_IN = 1,
        PARAM_OUT = 2,
        PARAM_RETURN = 4,
    };
    // Flag bits of a parameter.
    enum : unsigned int {
        PF_FILE = 0x1,     // the value names a file whose content is the value
        PF_USER = 0x2,     // a named user parameter
        PF_CURSOR = 0x4,   // a cursor parameter
        PF_LIKE = 0x8,     // compared with LIKE
        PF_FILE_RAW = 0x10, // qualifies the file load
    };

    // One reference on the cell.
    CNAParameter(CNAConvertVariant* pclCell, unsigned int nPosition, unsigned int nFlags, const wchar_t* pszName);
    ~CNAParameter() override;

    CNAConvertVariant* pclGetValue() const { return m_pclValue; }
    unsigned int nGetPosition() const { return m_nPosition; }
    void SetPosition(unsigned int n) { m_nPosition = n; }
    unsigned int nGetFlags() const { return m_nFlags; }
    void SetFlags(unsigned int n) { m_nFlags = n; }
    CNAColumn* pclGetColumn() const { return m_pclColumn; }
    const wchar_t* pszGetName() const { return m_csName.pszGet(); }
    INAItemDescription* piGetItem() const { return m_piItem; }
    wchar_t cGetEscape() const { return m_cEscape; }
    void SetEscape(wchar_t c) { m_cEscape = c; }
    eOPEXPRESSION eGetOperator() const { return m_eOperator; }
    void SetOperator(eOPEXPRESSION e) { m_eOperator = e; }
    unsigned int bGetNull() const { return m_bNull; }
    void SetNull(unsigned int b) { m_bNull = b; }
    unsigned int eGetInOut() const { return m_eInOut; }
    void SetInOut(unsigned int e) { m_eInOut = e; }

    // Binds a column (one reference) and takes its item, or drops both.
    void SetColum(CNAColumn* pclColumn);
    void SetItem(INAItemDescription* piItem);
    int bSetValue(const CAny* pValue);
    int bIsDate() const;
    int bIsText() const;
    int bIsTextUnicode() const;
    int bGetDBType(eNA_ITEMTYPE* peType, int* pnDBType, int* pnSize, int* pnPrecision, int* pnScale) const;
    int bGetTQTypeInfo(eNA_ITEMTYPE* peDBItemType, eNA_ITEMTYPE* peItemType) const;
    int bCaseInSensitiveLIKE() const;
    int bIsParamOUT(INAQueryParametersValue* piValues) const;
    // The cell's value names a file: its content becomes the value (text
    // only when PF_FILE_RAW is set too); PF_FILE is then cleared.
    int bLoadFile(CNAError* pclError);
    int bEqualsParameter(const CNAParameter* pclOther) const;
    // A new parameter sharing the cell (count 0), or null.
    CNAParameter* pclGetClone() const;
    // "(IN|OUT|RETURN)" of the set directions.
    void TypeParam2String(CTString* pclText) const;

protected:
    CNAConvertVariant* m_pclValue; // one reference
    unsigned int m_nPosition;      // character index in the command's SQL text
    unsigned int m_nFlags;         // PF_*
    CNAColumn* m_pclColumn;        // one reference, or null
    CTString m_csName;
    INAItemDescription* m_piItem;  // one external reference
    unsigned int m_cEscape;        // LIKE escape; 0 stands for backslash
    eOPEXPRESSION m_eOperator;
    unsigned int m_bNull;          // the named user parameter's value is NULL
    unsigned int m_eInOut;         // eNAPARAMETERINOUT bits
};

// Tab, line feed, carriage return and space.
int s_bEspaceSQL(wchar_t c);

// Bound class of a host value, for key searches.
enum eCHECKVALUE : int {
    CHECKVALUE_ORDINARY = 0,
    CHECKVALUE_MIN = 1,
    CHECKVALUE_MAX = 2,
};
eCHECKVALUE eCheckValue(const CAny* pValue);
