// The driver's digest of a query the host has parsed: references on the
// entries of the parse's clause lists, gathered once, with enumeration
// cursors; the output item that is the best key to browse on; and the
// questions the rewriter, the expression writer, the searches and the
// statements ask about the query. No operation raises an error: what the
// host throws from a look-up is answered with null.
#pragma once

#include "access/driver/Interf.h"
#include "access/sql/ISQLParserInformation.h"
#include "access/sql/InfoGroupe.h"
#include "common/text/Tableau.h"
#include "common/text/Tstring.h"

class CNAColumn;
class CNAConnectionDescription;
class CNAError;
class CNARecord;
class INAQueryParametersValue;

class CSQLParserInfo : public CInterf {
public:
    // One reference on the error, then Set.
    CSQLParserInfo(CNAError* pclError, ISQLParserInformation* piParser, INAQueryParametersValue* piValues,
                   int bConditionOnly);
    // Set and SetRecord with nothing, then the error's reference goes.
    ~CSQLParserInfo() override;
    CSQLParserInfo(const CSQLParserInfo&) = delete;
    CSQLParserInfo& operator=(const CSQLParserInfo&) = delete;

    // Drops everything held and gathers again from the parser (its
    // condition alone when bConditionOnly: no GROUP BY, ORDER BY or HAVING).
    // A null parser leaves the digest empty; the parameter values are set
    // in every case.
    void Set(ISQLParserInformation* piParser, INAQueryParametersValue* piValues, int bConditionOnly);
    // Replaces the record the query's rows go to (one reference).
    void SetRecord(CNARecord* pclRecord);

    // ---- Enumerations: 1 restarts at the first entry, 0 goes on; null
    // after the last until restarted. The cursors are shared state. -------------
    IInfoFrom* piEnumFichierFrom(int bRestart);
    IInfoRubrique* piEnumRubriqueOUT(int bRestart);
    CInfoGroupe* piEnumRubriqueClauseGroupe(int bRestart);
    IInfoOrderBy* piEnumRubriqueClauseOrder(int bRestart);
    IInfoAffectation* piEnumRubriqueUpdate(int bRestart);
    IInfoInsertion* piEnumRubriqueInsert(int bRestart);
    // Output item i; null outside 0 to count - 1.
    IInfoRubrique* piGetRubriqueOUT(int i) const { return m_tabRubriqueOUT[i]; }
    int nGetRubriqueOUTNbr() const { return m_tabRubriqueOUT.nGetNbElement(); }
    int nGetFichierFromNbr() const { return m_tabFrom.nGetNbElement(); }
    int nGetClauseOrderNbr() const { return m_tabOrderBy.nGetNbElement(); }
    IInfoOrderBy* piGetClauseOrder(int i) const { return m_tabOrderBy[i]; }
    // FROM entry i; null outside 0 to count - 1 (no cursor moves).
    IInfoFrom* piGetFichierFrom(int i) const { return m_tabFrom[i]; }

    // ---- What was gathered ----------------------------------------------------------
    ISQLParserInformation* piGetSQLParserInformationNoRef() const { return m_piParser; }
    eTYPEREQUETE eGetTypeRequete() const { return m_eTypeRequete; }
    // The trees, owned by the digest (no reference for the caller).
    IExpOpExpression* piGetWhereNoRef() const { return m_piWhere; }
    IExpOpExpression* piGetHavingNoRef() const { return m_piHaving; }
    CNARecord* pclGetRecordNoRef() const { return m_pclRecord; }
    CNAError* pclGetErrorNoRef() const { return m_pclError; }
    IInfoRubrique* piGetBestParseItem() const { return m_piBestParseItem; }
    IInfoRubrique* piGetUniqueNotNullItem() const { return m_piUniqueNotNull; }
    IInfoRubrique* piGetUniqueItem() const { return m_piUnique; }
    IInfoRubrique* piGetKeyItem() const { return m_piKey; }
    IInfoRubrique* piGetOrderByItemInfo() const { return m_piOrderBy; }

    // ---- Questions --------------------------------------------------------------------
    // The query text, null without a parser.
    const wchar_t* pszGetRequete() const;
    // The output names of the best parse item and of the ORDER BY item
    // (null without one).
    const wchar_t* pszGetBestParseItem() const;
    const wchar_t* pszGetOrderByItem() const;
    // The parameter values with a reference added, or null.
    INAQueryParametersValue* piGetUserBindVariable() const;
    int bHPrepareRequeteCalled() const;
    // The description of a plain output item's item (a reference for the
    // caller); null for a computed item or when the host throws.
    INAItemDescription* piGetItemDescription(const IInfoRubrique* piItem) const;
    int bRubriqueUnique(const IInfoRubrique* piItem) const;
    int bRubriqueUniqueNotNull(const IInfoRubrique* piItem) const;
    // The first output item of that output name (case and accents ignored).
    IInfoRubrique* piEnumRubriqueOUT(const wchar_t* pszName) const;
    // The output item a column shows: in the query's own record the item at
    // the column's place, whatever its name there (a name taken twice is
    // numbered, the server may name a computed item otherwise); elsewhere
    // the item of its name. Null when none.
    IInfoRubrique* piGetColumnRubriqueOUT(const CNAColumn* pclColumn) const;
    // The output item of the parser's own list whose output name is the
    // alias as written, else the first whose name is the alias case and
    // accents ignored; with a table, only plain items whose table stands
    // for the FROM entry the table stands for (see pszGetFromAlias), or,
    // when it stands for none, whose table is that name case and accents
    // ignored. A reference for the caller; null when none or when the host
    // throws.
    IInfoRubrique* piGetInfoRubriqueFromAlias(const wchar_t* pszTable, const wchar_t* pszAlias) const;
    static IInfoRubrique* g_piGetInfoRubriqueFromAlias(ISQLParserInformation* piParser, const wchar_t* pszTable,
                                                       const wchar_t* pszAlias);
    // The ORDER BY entry of the column's output item, or of an item reading
    // its source item in its table; the GROUP BY entry naming the column's
    // name.
    IInfoOrderBy* piGetRubriqueClauseOrder(const CNAColumn* pclColumn) const;
    CInfoGroupe* piGetRubriqueClauseGroupe(const CNAColumn* pclColumn) const;
    // The database name of a logical table name, in one buffer shared by
    // every caller (copy it at once); null for an empty name, an empty
    // answer, or when the host throws.
    const wchar_t* pszGetPhysicalName(const wchar_t* pszLogical) const;
    static const wchar_t* pszGetPhysicalName(const wchar_t* pszLogical, ISQLParserInformation* piParser);
    // The physical name of the table an output item reads, else that
    // table's own name.
    const wchar_t* pszGetPhysicalName(IInfoRubrique* piItem) const;
    // The database table name of FROM entry i; empty when there is none.
    CTString csGetFichierFrom_DBTableName(int i) const;
    // The host's description of a table (a reference), or null.
    INADataSourceDescription* piGetNADataSourceDescription(const wchar_t* pszName) const;
    // The host's look-ups by name on a parser (a reference, or null; null
    // too when the host throws or there is no parser).
    static INADataSourceDescription* s_piGetTableDescription(ISQLParserInformation* piParser, const wchar_t* pszName);
    static INAItemDescription* s_piGetItemDescription(ISQLParserInformation* piParser, const wchar_t* pszTable,
                                                      const wchar_t* pszName);
    // The FROM entry a name stands for: the first whose alias (its table
    // name when it has none) is the name as written, else the one whose is
    // the name case and accents ignored, as the host reads names; none when
    // several are. Its alias as the FROM clause writes it when it has one,
    // else null.
    const wchar_t* pszGetFromAlias(const wchar_t* pszName) const;
    // 1 when the name stands for several FROM entries: none is named so as
    // written, several are with case and accents ignored, and which one the
    // host means cannot be told.
    int bNamesSeveralFrom(const wchar_t* pszName) const;
    // 1 when the name stands for a FROM entry with an alias. Otherwise 0,
    // and *ppiSource (when given) receives the data source of the entry
    // it stands for, else the description of that name (a reference, or
    // null).
    int bIsTableAlias(const wchar_t* pszName, INADataSourceDescription** ppiSource) const;
    // The table name of the FROM entry with an alias that the name stands
    // for (null or empty when the host names none); the name itself when
    // it stands for no such entry.
    const wchar_t* pszGetAliasTableName(const wchar_t* pszName) const;
    // The table of the FROM entry the name stands for, as the FROM clause
    // names it (empty when the host names none); null when it stands for
    // no entry.
    const wchar_t* pszGetFromTableName(const wchar_t* pszName) const;
    // The alias of the first FROM entry of the table that bears one; null
    // when none does.
    const wchar_t* pszGetTableAlias(const wchar_t* pszTable) const;
    // 1 when a column of a FROM entry's table may bear the name, its case
    // ignored as the server ignores it: one does, or the entry's columns
    // are not known (a derived table, a table the host does not describe).
    int bColumnMayBeNamed(const wchar_t* pszName) const;
    // 0 when writes through the query cannot be allowed: an aggregate, a
    // GROUP BY, an output item that is not an item, or DISTINCT.
    int bHOperationAllowed() const;
    // Whether the text limits its result (TOP or LIMIT) or joins several
    // SELECTs; computed once.
    int bQueryResultsetLimited(CNAConnectionDescription* pclConnection);
    // Whether the text joins several SELECTs (UNION, INTERSECT, EXCEPT,
    // MINUS); computed once.
    bool bSeveralSelects(CNAConnectionDescription* pclConnection);
    // 1 for one FROM entry and an output item of an automatic identifier.
    int bQueryContainIdAuto() const;
    static int bQueryContainIdAuto(ISQLParserInformation* piParser);
    // 1 when the entry is written descending, else 0.
    int nGetSensTri(IInfoOrderBy* piEntry) const;
    // The host-parsed query of the record's source, or null without a
    // record.
    CSQLParserInfo* pclGetQueryParserInfoNoRef() const;
    // Whether the column's output item reads a memo.
    int bRubriqueSourceIsMemo(const CNAColumn* pclColumn) const;

    // ---- Expression kinds ---------------------------------------------------------------
    static int s_bIsGroupmentColumn(eOPEXPRESSION eKind);
    static int s_bIsFunction(eOPEXPRESSION eKind);
    // Whether the expression reads a memo column.
    static int s_bExpressionReadsMemo(IExpOpExpression* piExpression);

protected:
    void _DropAll();
    void _Gather(IInfoRequete* piLists, int bConditionOnly);
    void _DetectKey(IInfoRubrique* piItem);
    // The description of a FROM entry's table (a reference), or null.
    INADataSourceDescription* _piGetFromDescription(IInfoFrom* piFrom) const;
    // The FROM entry the name stands for (see pszGetFromAlias); null when
    // none, or when several are (*pbSeveral then, when given).
    IInfoFrom* _piGetNamedFrom(const wchar_t* pszName, bool* pbSeveral = nullptr) const;

    CNAError* m_pclError;                        // one reference
    ISQLParserInformation* m_piParser;           // one reference
    eTYPEREQUETE m_eTypeRequete;
    INAQueryParametersValue* m_piValues;         // one reference
    IInfoRubrique* m_piBestParseItem;            // these five point into the output items
    IInfoRubrique* m_piUniqueNotNull;
    IInfoRubrique* m_piUnique;
    IInfoRubrique* m_piKey;
    IInfoRubrique* m_piOrderBy;
    CRefArray<IInfoFrom> m_tabFrom;
    int m_nFromCursor;
    CRefArray<IInfoRubrique> m_tabRubriqueOUT;
    int m_nRubriqueOUTCursor;
    int m_bUnflaggedItem;
    int m_bAggregate;
    CRefArray<CInfoGroupe> m_tabGroupe;
    int m_nGroupeCursor;
    CRefArray<IInfoOrderBy> m_tabOrderBy;
    int m_nOrderByCursor;
    CTTableau<IInfoAffectation*> m_tabUpdate;    // not referenced
    int m_nUpdateCursor;
    CTTableau<IInfoInsertion*> m_tabInsert;      // not referenced
    int m_nInsertCursor;
    IExpOpExpression* m_piWhere;                 // owned
    IExpOpExpression* m_piHaving;                // owned
    CNARecord* m_pclRecord;                      // one reference
    int m_bResultsetLimited;                     // -1 until computed
    int m_bSeveralSelects;                       // -1 until computed
};
