// One key search of a table: the search condition for a value (exact or a
// prefix) on a simple or composite key, and the conditions to browse on
// after and before the row found, taking descending components, unique keys,
// NULL values and the host engine's minimum and maximum key markers into
// account. The statement asks it for the WHERE text of its SELECT.
#pragma once

#include "access/driver/Interf.h"
#include "access/sql/NAOperator.h"
#include "access/statement/NAColumn.h"
#include "access/statement/NARecordValue.h"
#include "common/text/Tableau.h"
#include "common/text/Tstring.h"
#include "common/values/Any.h"

#include <string>
#include <utility>
#include <vector>

class CColumnNullValueExcluded;
class CNACommand;
class CNAConnectionDescription;
class CNAConvertVariant;
class CNAError;
class CNAExpression;
class CNAFilter;
class CNARecord;
class INAItemDescription;

// The host's browse direction: 0 first, 1 last, 2 next, 3 previous; 4 none.
enum eNA_PARSEDIRECTION : int;

class CNARecherche : public CInterf {
public:
    // Search flags.
    enum : unsigned int {
        RECH_GENERIC = 0x1,       // a prefix
        RECH_RECORD = 0x2,        // the key values of the current record
        RECH_BOUNDS = 0x4,        // partial values with the engine's markers
        RECH_FROMRECORD = 0x8,    // components read from the record's columns
        RECH_NOCONTINUE = 0x10,   // no continuation conditions
        RECH_LOWER = 0x40,        // lower bound of a filter
        RECH_UPPER = 0x80,        // upper bound of a filter
        RECH_COMPOSITE = 0x100,   // an empty generic text component is exact
    };
    enum eSTATE : int {
        STATE_INACTIVE = 0,
        STATE_SEARCHING = 1,
        STATE_BROWSING = 2,
    };
    // What splitting a composite key image met.
    enum : int {
        BOUND_NONE = 0,
        BOUND_MIN = 1,
        BOUND_MAX = 2,
    };

    // Inactive, direction 4, no conditions; one reference on each object.
    CNARecherche(CNAError* pclError, CNAConnectionDescription* pclConnection);
    CNARecherche();
    CNARecherche(const CNARecherche&) = delete;
    CNARecherche& operator=(const CNARecherche&) = delete;

    // ---- Virtual operations, in slot order (after CInterf's three) ------------
    ~CNARecherche() override;
    // Empties the command and writes the current condition, ANDed with an
    // active filter's; true without condition (nothing written).
    virtual int bGetSQL(CNACommand* pclCommand, CNAFilter* pclFilter, CNARecord* pclRecord);
    // A copy sharing the conditions and parameters (count 0), or null.
    virtual CNARecherche* pclClone();
    // A new node (count 0) on this search's error object.
    virtual CNAExpression* pclAllocExpression();
    // A new empty object of this class (count 0).
    virtual CNARecherche* _pclAllocRecherche();

    // ---- Setting ----------------------------------------------------------------------
    // A value searched on an item in a direction: exact when bExact, else a
    // prefix. nParseFlags are the browse's and change nothing here.
    int bSetRecherche(CNARecord* pclRecord, INAItemDescription* piItem, const CAny* pValue,
                      eNA_PARSEDIRECTION eDirection, int bExact, int nParseFlags);
    // The current record's key values on an item, optionally on the given
    // key columns; without continuation conditions when bNoContinue.
    int bRechercheEnreg(CNARecord* pclRecord, INAItemDescription* piItem, eNA_PARSEDIRECTION eDirection,
                        int bNoContinue, const CNARefArray<CNAColumn>* ptabKey);
    // One comparison joined by eJoin to the conditions already there (an
    // inactive search drops them first); generic when bGeneric, in bound
    // mode when bBounds. 1.
    int bAddExpression(CNARecord* pclRecord, INAItemDescription* piItem, eNAOperator eOperator, const CAny* pValue,
                       int bGeneric, eNAOperator eJoin, int bBounds);
    // A record's condition joined with the column equal to the value, as
    // the record's own values are compared (a refused one by its text).
    int bAddRecordValue(CNARecord* pclRecord, CNAColumn* pclColumn, const CAny* pValue);
    // The same for a text, equal in its characters too: a collation holds
    // texts equal that differ in case, accents or trailing blanks.
    int bAddRecordCharacters(CNAColumn* pclColumn, const CAny* pValue);
    // Whether a comparison of the search's condition names the column.
    bool bComparesColumn(const CNAColumn* pclColumn) const;
    // The condition's equalities of the column compare its characters
    // alone; false when it has none.
    bool bCompareCharacters(const CNAColumn* pclColumn);
    // The condition's comparisons of the column hold true: it no longer
    // compares the column.
    void LeaveOut(const CNAColumn* pclColumn);

    // ---- State ----------------------------------------------------------------------------
    void Activate() { m_eState = STATE_SEARCHING; }
    void Desactivate();
    void Cancel() { m_bCancelled = 1; }
    // While searching; else the cancelled flag.
    int bHTrouve() const { return m_eState == STATE_SEARCHING || m_bCancelled; }
    int bPeutContinuerParcours(eNA_PARSEDIRECTION eDirection) const;
    // Searching becomes browsing on (the backward condition for a non-zero
    // direction, else the forward one); any other state searches again. 1.
    int bSetContinueParcours(eNA_PARSEDIRECTION eDirection);
    int bReviensParcoursPrecedent(eNA_PARSEDIRECTION eDirection);
    int bIsComposedKeySearch() const;
    int nGetState() const { return m_eState; }
    eNA_PARSEDIRECTION eGetDirection() const { return m_eDirection; }
    unsigned int nGetFlags() const { return m_nFlags; }
    int bEmptyTextAsNull() const { return m_bEmptyAsNull; }
    void SetEmptyTextAsNull(int b) { m_bEmptyAsNull = b; }
    const wchar_t* pszGetParameterSuffix() const { return m_csSuffix.pszGet(); }
    void SetParameterSuffix(const wchar_t* psz) { m_csSuffix.Set(psz); }
    const CAny* pclGetSearchValue() const { return &m_clValue; }
    // The text the server gave a column of the record a continuation starts
    // from: the record's values hold fewer digits than the server orders by.
    // Comparisons with the record's value of that column write it instead.
    void SetServerValue(const CNAColumn* pclColumn, const wchar_t* pszText);
    typedef std::vector<std::pair<const CNAColumn*, std::wstring>> ServerValues;
    void SetServerValues(const ServerValues& tab) { m_tabServerValue = tab; }
    // The texts and the refusals go.
    void ResetServerValues();
    // Null when the column has none.
    const wchar_t* pszGetServerValue(const CNAColumn* pclColumn) const;
    // The read failure of the record the conditions compare with (one
    // reference held; null: a record read whole). A comparison with the
    // record's value of an item it refused compares the server's text of
    // that value, never NULL, or fails with the item's own failure where no
    // condition can write the text.
    void SetRefusals(const CXError* pclReadFailure);
    // The refusal of the column's item in that record; null when read.
    const CNAReadFailure::SRefusal* pstGetRefusal(const CNAColumn* pclColumn) const;
    INAItemDescription* piGetFetchItem() const { return m_piFetchItem; }

    // ---- Conditions and parameters ----------------------------------------------------------
    // The search condition with a reference, or null.
    CNAExpression* pclGetExpression();
    CNAExpression* pclGetForwardNoRef() const { return m_pclForward; }
    CNAExpression* pclGetBackwardNoRef() const { return m_pclBackward; }
    CNAExpression* pclGetCurrentNoRef() const { return m_pclCurrent; }
    int nGetNbParameter() const { return m_tabParameter.nGetNbElement(); }
    // With a reference, null outside the parameters.
    CNAParameter* pclGetParameter(int i);
    // The command's parameters from index n on; they come from a
    // host-parsed condition, read with the query rewriting.
    int GetParameterFromQuery(CNACommand* pclCommand, unsigned int n);
    // A new parameter from the driver's factory appended (the search's
    // reference) and returned; null on failure.
    CNAParameter* _pclAddParameter(CNAColumn* pclColumn, CNAConvertVariant* pclCell, unsigned int nPosition,
                                   unsigned int nFlags);
    // Releases, from the last back, the parameters placed at or after the
    // position.
    void _RemoveParameterByPos(unsigned int nPosition);
    void _ResetParameter();

    // ---- Comparing and extremes -----------------------------------------------------------------
    int bEqualsSearch(const CNARecherche* pclOther) const;
    static int g_bEqualsSearch(const CNARecherche* a, const CNARecherche* b);
    // The largest and the smallest value of the value's host type; NULL and
    // flag 0x400 cleared; other types unchanged.
    static void s_SetAnyToMax(CAny* pValue);
    static void s_SetAnyToMin(CAny* pValue);
    // Splits a composite key's byte image into one value per component
    // (values of the components' host types); answers what it met
    // (BOUND_NONE, BOUND_MIN, BOUND_MAX). A component the image does not
    // reach has no value.
    static int s_nGetComponentValue(CNAColumn* pclKey, const CAny* pImage, int bPartialAllowed, CAny* pValues,
                                    int nValues, int* pnValues);

protected:
    // Every mode of setting a search ends here.
    int _bSetRecherche(CNARecord* pclRecord, INAItemDescription* piItem, const CAny* pValue,
                       eNA_PARSEDIRECTION eDirection, unsigned int nFlags, const CNARefArray<CNAColumn>* ptabKey);
    void _SetContinueParcours(eNA_PARSEDIRECTION eDirection);
    void _SetFetchItem(INAItemDescription* piItem);
    void _ReleaseConditions();
    void _SetCondition(CNAExpression** ppclField, CNAExpression* pclNew);
    // The condition for one operator on an item; null when none (*pbFailed
    // tells a failure apart from a condition that every row meets).
    CNAExpression* _pclAddExpression(CNARecord* pclRecord, INAItemDescription* piItem, eNAOperator eOperator,
                                     const CAny* pValue, unsigned int nFlags, const CNARefArray<CNAColumn>* ptabKey,
                                     int* pbFailed);
    CNAExpression* _pclAddExpression_OneItem(CNARecord* pclRecord, CNAColumn* pclColumn, INAItemDescription* piItem,
                                             eNAOperator eOperator, const CAny* pValue, unsigned int nFlags,
                                             int* pbFailed);
    CNAExpression* _pclAddExpression_MultipleItems(CNARecord* pclRecord, CNAColumn* pclColumn,
                                                   INAItemDescription* piItem, eNAOperator eOperator,
                                                   const CAny* pValue, unsigned int nFlags,
                                                   const CNARefArray<CNAColumn>* ptabKey, int* pbFailed);
    // Components from..to compared by eOperator and joined by eJoin.
    CNAExpression* _pclAddKeyExpression(CNARecord* pclRecord, CNAColumn* const* ppclColumns, CAny* pValues,
                                        int nValues, INAItemDescription* piKey, int nFrom, int nTo,
                                        eNAOperator eOperator, unsigned int nFlags, eNAOperator eJoin,
                                        int* pbFailed);
    // A generic <= or > on a text, date or time column as an exact and a
    // generic comparison; any other as one key comparison.
    CNAExpression* _pclAddBorne(CNARecord* pclRecord, CNAColumn* const* ppclColumns, CAny* pValues, int nValues,
                                INAItemDescription* piKey, int nIndex, eNAOperator eOperator, unsigned int nFlags,
                                int* pbFailed);
    CNAExpression* _pclAddKeyExpressionEq(CNARecord* pclRecord, CNAColumn* const* ppclColumns, CAny* pValues,
                                          int nValues, int nColumns, INAItemDescription* piKey, unsigned int nFlags,
                                          int* pbFailed);
    CNAExpression* _pclAddKeyExpressionInfSup(CNARecord* pclRecord, CNAColumn* const* ppclColumns, CAny* pValues,
                                              int nValues, int nCount, INAItemDescription* piKey,
                                              eNAOperator eOperator, unsigned int nFlags, int* pbFailed);
    CNAExpression* _pclAddKeyExpressionInfSupIndice(CNARecord* pclRecord, CNAColumn* const* ppclColumns,
                                                    CAny* pValues, int nValues, int nCount, int nIndex,
                                                    INAItemDescription* piKey, eNAOperator eOperator,
                                                    unsigned int nFlags, CColumnNullValueExcluded* pclNulls,
                                                    int* pbFailed);
    // A new leaf on the column with a cell of the value.
    CNAExpression* _pclNewLeaf(CNAColumn* pclColumn, eNAOperator eOperator, const CAny* pValue, unsigned int nFlags,
                               bool bWithColumn, int* pbFailed);
    CNAExpression* _pclJoin(eNAOperator eOperator, CNAExpression* pclLeft, CNAExpression* pclRight,
                            unsigned int nFlags, int* pbFailed);
    // The comparison (null: it failed) ANDed to the condition.
    int _bAndCondition(CNAExpression* pcl);
    int _bNoMemory(int nPoint);

    CNAError* m_pclError;                       // one reference
    eSTATE m_eState;
    eNA_PARSEDIRECTION m_eDirection;
    int m_bCancelled;
    int m_bEmptyAsNull;
    unsigned int m_nFlags;
    CNAExpression* m_pclSearch;                 // one reference each
    CNAExpression* m_pclForward;
    CNAExpression* m_pclBackward;
    CNAExpression* m_pclCurrent;
    CRefArray<CNAParameter> m_tabParameter;     // in the order of their positions
    CTString m_csSuffix;                        // written after each parameter
    CAny m_clValue;                             // a copy of the value searched
    INAItemDescription* m_piFetchItem;          // one external reference
    CNAConnectionDescription* m_pclConnection;  // one reference
    ServerValues m_tabServerValue;
    CXError* m_pclRefusals;                     // one reference, or null

private:
    // While the conditions of one search are built: the split key value and
    // the value cells the three trees share.
    struct SBuild;
    SBuild* m_pBuild;
};
