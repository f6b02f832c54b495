// The SQL text of one statement while it is built, the parameters whose
// values are written into it as literals, and the output definitions of the
// columns it returns. The formatted SQL is the text with every parameter in
// place, the row limit in the dialect's form, in the connection's code page.
#pragma once

#include "access/driver/Interf.h"
#include "access/sql/ISQLParserInformation.h"
#include "access/sql/NADefine.h"
#include "access/sql/NAOperator.h"
#include "access/statement/NAColumn.h"
#include "common/text/TStringConcatAW.h"
#include "common/text/Tableau.h"
#include "common/values/ItemType.h"

#include <string>
#include <vector>

class CAny;
class CColumnNullValueExcluded;
class CNASqlElt;
class CTabValParser;
struct STValParser;
class CNAConnectionDescription;
class CNAConvertVariant;
class CNAVariant;
class CNAError;
class CNARecord;
class CSQLParserInfo;
template <class T>
class CXYString;
class IExpOpExpression;
class IInfoFrom;
class IInfoRubrique;
class INADataSourceDescription;
class INAItemDescription;
class ISQLParserInformation;
class INAQueryParametersValue;

class CNACommand : public CInterf {
public:
    // Classes of parameter values (bit mask).
    enum ePARAMTYPECONV : int {
        PTC_NONE = 0,
        PTC_INTEGER = 1,
        PTC_REAL = 2,
        PTC_TEXT = 4,
        PTC_DATETIME = 8,
        PTC_BINARY = 16,
        PTC_BOOLEAN = 32,
        PTC_CURRENCY = 64,
        PTC_ALL = -1,
    };
    // How bAdd takes the other command's parameters.
    enum eADDMMODE : int {
        ADDMODE_SHARE = 0,
        ADDMODE_CLONE = 1,
    };
    enum : int {
        ERRFILE_COMMAND = 10,
    };

    // One reference on the error and on the connection.
    CNACommand(CNAError* pclError, CNAConnectionDescription* pclConnection);
    ~CNACommand() override;

    // ---- Virtual operations, in slot order (after CInterf's three) -----------
    virtual int bNeedToReplaceStar();
    virtual int bIsEmpty();
    virtual int nGetParameterNbr();
    // Empties the command for reuse; the parameters stay when asked.
    virtual void ResetCommand(int bKeepParameters);
    virtual int bComplete(ISQLParserInformation* piParser);
    // Appends the other command's text, its parameters (cloned in mode 1,
    // shared otherwise, moved by the current length) and its definitions.
    virtual int bAdd(CNACommand* pclOther, eADDMMODE eMode);
    // A parameter at the current end of the text.
    virtual int bAddParameter(CNAConvertVariant* pclCell, eOPEXPRESSION eOperator, unsigned int nFlags,
                              CNAColumn* pclColumn, const wchar_t* pszName, wchar_t cEscape,
                              CNAParameter::eNAPARAMETERINOUT eInOut);
    virtual int bAddSelectColumns(CNARecord* pclRecord, int bPlain);
    virtual int bAddSelectColumn(CNAColumn* pclColumn, int bPlain);
    // The column's definition, read as the expression given.
    int bAddSelectColumnAs(CNAColumn* pclColumn, const wchar_t* pszExpression);
    // The table-qualified name wrapped by the connection so that it compares
    // as the host's date and time texts; 1.
    virtual int _bFormatAndConvertItemInClause(CSQLParserInfo* pclInfo, IExpOpExpression* piExpression,
                                               INAItemDescription* piItem, const wchar_t* pszTable,
                                               const wchar_t* pszName, int eKind, CTString* pclOut);
    // The item type in which a value compared with a column of eType is
    // sent in a clause of kind eKind under the host operator: 2 (text) for
    // the date and time cases the connection cannot compare natively, else
    // 0 (the column's own).
    virtual int eGetFormatExpressionColonne(int eKind, eNA_ITEMTYPE eType, eOPEXPRESSION eOperator,
                                            IExpOpExpression* piExpression);
    // Writes one parameter into the formatted SQL; *pnPos may move past text
    // the writer consumed.
    virtual int _bAddParameterFormated(CNAParameter* pclParameter, ePARAMTYPECONV eMask, unsigned int* pnPos);
    // Writes the parameter's value as a literal for (item type, value type).
    virtual int _bAddParameterFormated(CNAParameter* pclParameter, eNA_ITEMTYPE eItemType, eNA_ITEMTYPE eValueType,
                                       ePARAMTYPECONV eMask, unsigned int* pnPos);
    virtual int _bAddParameterFormatedLike(CNAParameter* pclParameter, eNA_ITEMTYPE eItemType, unsigned int* pnPos);
    virtual void vAddEscapeLike(eNA_ITEMTYPE eType);
    // The escaped LIKE value as a literal, then the ESCAPE clause if needed.
    virtual int vbAddEscapedLikeValue(CNAParameter* pclParameter, const CAny* pValue, eNA_ITEMTYPE eItemType,
                                      unsigned int* pnPos);
    virtual void vAddEscapeLikeIfNeeded(CNAParameter* pclParameter, const wchar_t* pszLiteral, unsigned int* pnPos);
    virtual int _bBuildFormatedSQL(ePARAMTYPECONV eMask);
    virtual void _FormatItemNameInWHEREClause(ISQLParserInformation* piParser, const wchar_t* pszName,
                                              CTString* pclOut, CNAParameter* pclParameter);
    virtual void _FormatRubriqueAlias(unsigned int nPos, const wchar_t* pszText, CSQLParserInfo* pclInfo,
                                      const IInfoRubrique* piItem, CTString* pclOut, int bQualify, int eKind);
    virtual int _vbFormatExpressionOperatorEntreOperande();
    virtual int _vbSkipOperande();
    virtual void _vConvertirFonction();
    virtual void _FormatExpressionArgument(CSQLParserInfo* pclInfo, IExpOpExpression* piExpression, CTString* pclOut);
    // The name of an item of a host query: the parent's kind is the
    // operator (-1 without parent), then FormatExpressionItemName.
    virtual void _FormatExpressionItemName(CSQLParserInfo* pclInfo, IExpOpExpression* piParent, int eKind,
                                           INAItemDescription* piItem, const wchar_t* pszTable,
                                           const wchar_t* pszName, CTString* pclOut);
    virtual void _FormatExpressionLiteral(CSQLParserInfo* pclInfo, IExpOpExpression* piExpression,
                                          IExpOpExpression* piParent, int eKind, INAItemDescription* piItem,
                                          CNAParameter* pclParameter, eNA_ITEMTYPE eType);
    virtual void _FormatExpressionOperator(CSQLParserInfo* pclInfo, IExpOpExpression* piExpression,
                                           IExpOpExpression* piParent, int eKind, CTString* pclOut);
    // "{" and "}": the texts around a host variable name.
    virtual void _GetMotifVariableDebut(wchar_t* pszOut, unsigned int nSize);
    virtual void _GetMotifVariableFin(wchar_t* pszOut, unsigned int nSize);
    virtual void _FormatTableClauseFROM(CSQLParserInfo* pclInfo, INADataSourceDescription* piTable,
                                        const IInfoFrom* piFrom, CTString* pclOut);
    virtual void _FormatTableAliasClauseFROM(CSQLParserInfo* pclInfo, const IInfoFrom* piFrom, CTString* pclOut);
    virtual int _bShouldAddParameter(CSQLParserInfo* pclInfo, IExpOpExpression* piExpression,
                                     IExpOpExpression* piParent, int eKind, INAItemDescription* piItem);

    // ---- Query type ------------------------------------------------------------
    // Host query type to the statement kind: 1 and 2 SELECT, 3 UPDATE, 4
    // INSERT, 5 DELETE, 6 create, 7 drop, any other 8.
    void SetQueryType(eTYPEREQUETE eType) { m_eQueryType = s_eQueryType(eType); }
    // The statement kind itself (a statement's writes and delete-all).
    void SetStatementKind(int eKind) { m_eQueryType = eKind; }
    // Word 5: the statement swaps its fetch directions (a browse ordered
    // the reverse way); the ORDER BY writer sets it, ResetCommand clears it.
    void SetInvertFetch(int bInvert) { m_dwWord5 = bInvert ? 1u : 0u; }
    int bInvertFetch() const { return m_dwWord5 != 0; }
    int eGetQueryType() const { return m_eQueryType; }
    static int eConvertTypeQuery(eTYPEREQUETE eType);
    static ePARAMTYPECONV TQType2eParamType(unsigned short nType);

    // ---- Text -----------------------------------------------------------------
    // Appends text (-1: up to its terminator); a verbatim command with a
    // built formatted SQL appends it there too. 1.
    int bComplete(const wchar_t* pszText, unsigned int nLength);
    int bCompleteWithNumber(int n);
    // Inserts at a character position; the parameters at or after it move.
    void Insert(unsigned int nPos, const wchar_t* pszText);
    // Replaces n characters: parameters inside the span are released, those
    // after it move by the difference of the lengths.
    void Replace(unsigned int nPos, unsigned int nLength, const wchar_t* pszText);
    // Cuts the text; the parameters at or after the cut are released.
    void Tronque(unsigned int nLength);
    // Cuts the text; a parameter placed exactly at the cut stays (its value
    // ends the text), those after it are released.
    void TronqueTexte(unsigned int nLength);
    // Characters of the SQL text.
    unsigned int nGetSQLLength() { return _nTextLength(); }
    int bAddReturning(const wchar_t* pszText);
    int bAddRecordLock();
    int bSetInternalQuery(const wchar_t* pszText, unsigned int nLength);
    int _bAddColumnInSelect(const wchar_t* pszText);
    int bAddSelectAdditionnalColumn(const wchar_t* pszText, CNAConvertVariant* pclCell);
    int bAddSelectAdditionnalColumn(const wchar_t* pszText, unsigned short nHostType);
    int bAddSelectAdditionalColumnInQueryFormat(const wchar_t* pszText, CNAConvertVariant* pclCell);
    int AddDefine(const wchar_t* pszName, CNAConvertVariant* pclCell);
    int AddDefine(CNAColumn* pclColumn);
    int nGetDefineNbr() const { return m_tabDefine.nGetNbElement(); }
    CNADefine* pclGetDefineNoRef(int i) const { return m_tabDefine[i]; }

    // ---- Parameters -----------------------------------------------------------
    int bAddParameter(CNAParameter* pclParameter);
    int bAddParameter(const CAny* pValue, eOPEXPRESSION eOperator, unsigned int nFlags, CNAColumn* pclColumn,
                      wchar_t cEscape, CNAParameter::eNAPARAMETERINOUT eInOut);
    int bAddParameterReturn(CNAConvertVariant* pclCell);
    CNAParameter* pclGetParameterNoRef(unsigned int i) const { return m_tabParameter[static_cast<int>(i)]; }
    CNAParameter* pclGetParameterByNameNoRef(const wchar_t* pszName) const;
    int nGetUserParamIndice(const CNAParameter* pclParameter) const;
    int bUpdateParametersValues();
    static int _bNeedParameterConversionToString(const CNAVariant* pclValue, ePARAMTYPECONV eMask);
    static int _bNeedParameterConversionToString(const CNAParameter* pclParameter, ePARAMTYPECONV eMask);

    // ---- Texts out ---------------------------------------------------------------
    const wchar_t* pszGetOriginalSQL() { return m_clSQL.pszGetW(); }
    const char* pszGetOriginalSQLA() { return m_clSQL.pszGetA(); }
    // Built on first demand and kept; null when the build fails (nothing of
    // a failed build is kept).
    CTStringConcatAW* pclGetFormatedSQL(ePARAMTYPECONV eMask);
    const wchar_t* pszGetFormatedSQLW(ePARAMTYPECONV eMask);
    const wchar_t* pszGetFormatedSQL(ePARAMTYPECONV eMask) { return pszGetFormatedSQLW(eMask); }
    const char* pszGetFormatedSQLA(ePARAMTYPECONV eMask);
    void ResetFormatedSQL();
    const wchar_t* pszGetCommandDump();

    // ---- State -----------------------------------------------------------------------
    void SetVerbatim(int b) { m_bVerbatim = b; }
    int bIsVerbatim() const { return m_bVerbatim; }
    void SetRowLimit(long long llCount, long long llOffset)
    {
        m_llRowLimit = llCount;
        m_llRowOffset = llOffset;
    }
    long long llGetRowLimit() const { return m_llRowLimit; }
    long long llGetRowOffset() const { return m_llRowOffset; }
    int nGetDefineMode() const { return m_nDefineMode; }
    void SetDefineMode(int n) { m_nDefineMode = n; }
    // A condition read outside its query, on the query's rows (a derived
    // table): items are named as the query names its output columns.
    // Kept by ResetCommand: it says where the text goes, not what it holds.
    void SetOutputNames(int b) { m_bOutputNames = b; }
    int bOutputNames() const { return m_bOutputNames; }
    // A write through a query: the database name of the one table it
    // writes, in which its condition names the columns, whatever name the
    // query reads that table by. Empty otherwise; kept by ResetCommand.
    void SetWrittenTable(const wchar_t* pszTable) { m_csWrittenTable.Set(pszTable); }
    const wchar_t* pszGetWrittenTable() const
    {
        return m_csWrittenTable.nTaille() > 0 ? m_csWrittenTable.pszGet() : L"";
    }
    // ---- NULL-exclusion set ---------------------------------------------------------------
    // Whether the command's condition lets NULL values of the column
    // through: 1 without a set.
    int bColumnValuesNullSelected(const CNAColumn* pclColumn) const;
    // The set combined with another by the operator, or a copy of another
    // taken in; the set is made on first need (user error 12 when it cannot
    // be).
    int bCombineColumnValuesNullSelected(eNAOperator eOperator, CColumnNullValueExcluded* pclOther);
    int bCopyColumnValuesNullSelected(CColumnNullValueExcluded* pclOther);
    CColumnNullValueExcluded* pclGetColumnNullValueExcludedNoRef() const { return m_pclNullExcluded; }

    // ---- Names and values in clauses ---------------------------------------------------------
    // The quoted name of an item in a clause, wrapped by the connection when
    // eGetFormatExpressionColonne asks a conversion.
    void FormatExpressionItemName(int eKind, eOPEXPRESSION eOperator, INAItemDescription* piItem,
                                  const wchar_t* pszTable, const wchar_t* pszName, CTString* pclOut);
    // The quoted table, "." and the quoted item; the item alone without a
    // table.
    void _FormatTableAndItemName(const wchar_t* pszTable, const wchar_t* pszName, CTString* pclOut);
    int _eGetFormatExpressionColonneForDateTime(int eKind, eNA_ITEMTYPE eType, eOPEXPRESSION eOperator);
    // A search value made a LIKE pattern of the escape character (0:
    // backslash): quotes doubled, the escape character, "%" and "_" escaped
    // with it, every other character as it is. 0 with user error 12 when
    // the text cannot be sized.
    int bEscapeLIKEParamAsKXParam(CXYString<wchar_t>* pclOut, const wchar_t* pszPattern, wchar_t cEscape);
    int bEscapeLIKEParamAsKXParam(CXYString<char>* pclOut, const char* pszPattern, char cEscape);
    CNAConnectionDescription* pclGetConnectionNoRef() const { return m_pclConnection; }

    // ---- Host-parsed queries: the clause walk (NACommandRewrite.cpp) ------------------
    // Rewrites the digest's query into the text, clause by clause; the
    // filter's condition joins its WHERE. queryMode 1 or bit 4: the text goes
    // as written (verbatim), only its parameters and ORDER BY handled.
    int bFormatCondition(CSQLParserInfo* pclInfo, CNACommand* pclFilter, int bKeepOrderBy, int nQueryMode);
    // Keeps the digest (one reference) and takes the query type from it.
    void _SetSQLParserInfo(CSQLParserInfo* pclInfo);
    CSQLParserInfo* pclGetSQLParserInfoNoRef() const { return m_pclParserInfo; }
    // Appends the host text after the handled part of the query.
    int bFormatEndOfQuery();
    // The ORDER BY of the attached query alone; 1 without one.
    int bFormatORDERBY(int bByAlias, int bForward);
    int _bGetClausePos(unsigned int* pnStart, unsigned int* pnStop, CSQLParserInfo* pclInfo, int eKind);
    unsigned int _nGetClauseStart(CSQLParserInfo* pclInfo, int eKind);
    unsigned int _nGetClauseStop(CSQLParserInfo* pclInfo, int eKind);
    // The clause handlers: each copies the host text up to its own output,
    // writes it and moves *pnPos past what it consumed.
    int _bFormatSELECTList(unsigned int* pnPos, const wchar_t* pszText, CSQLParserInfo* pclInfo);
    int _bFormatGROUPBY(unsigned int* pnPos, const wchar_t* pszText, CSQLParserInfo* pclInfo);
    int _bFormatORDERBY(unsigned int* pnPos, const wchar_t* pszText, int bKeepOrderBy, int bForward, int bByAlias,
                        int* pbUniqueReached);
    int _bAddItemInORDERBY(const IInfoRubrique* piItem, int nIndex, const wchar_t* pszText, tagRECT stPosition,
                           int bByAlias, int* pbUniqueReached);
    int _bAddJoinClause(const CNASqlElt* pclElement, unsigned int* pnPos, const wchar_t* pszText,
                        CSQLParserInfo* pclInfo);
    int _bFormatINSERTUPDATEList(unsigned int* pnPos, const wchar_t* pszText, CSQLParserInfo* pclInfo);
    int _bAddFromClause(const CNASqlElt* pclElement, unsigned int* pnPos, const wchar_t* pszText,
                        CSQLParserInfo* pclInfo);
    // The parameter pass over the host text from the copy position: values
    // become parameters, item references server names (formatted for a
    // WHERE clause when bWhereNames). It pairs forward only.
    int _bAddClause(const CTabValParser* pclValues, const wchar_t* pszText, ISQLParserInformation* piParser,
                    int bWhereNames);

    // ---- Host-parsed queries: expressions (NACommandExpression.cpp) ---------------------
    // Translates a tree into the text; with a filter (WHERE only) its
    // condition is joined by AND, inserted where a WHERE goes when the query
    // has none.
    int bAddTreeExpression(CSQLParserInfo* pclInfo, CSQLParserInfo* pclInfo2, const wchar_t* pszText,
                           IExpOpExpression* piParent, IExpOpExpression* piTree, int eKind, unsigned int* pnPos,
                           CNACommand* pclFilter);
    // One node; *ppiItem carries the description of the last column met (a
    // reference the caller releases); eType is the type the node is
    // expected in.
    int _bExpressionToSQL(CSQLParserInfo* pclInfo, CSQLParserInfo* pclInfo2, const wchar_t* pszText,
                          IExpOpExpression* piParent, IExpOpExpression* piNode, int eKind, unsigned int* pnPos,
                          INAItemDescription** ppiItem, eNA_ITEMTYPE eType, unsigned int nArgument);
    int bFormatSubExpression(CSQLParserInfo* pclInfo, const wchar_t* pszText, IExpOpExpression* piParent,
                             IExpOpExpression* piNode, int eKind);
    // The digest's WHERE as a filter condition (columns read by the record's
    // source query when there is one).
    int bAddFilterExpression(CSQLParserInfo* pclInfo);
    int _bDoExpressionColonne(CSQLParserInfo* pclInfo, CSQLParserInfo* pclInfo2, const wchar_t* pszText,
                              IExpOpExpression* piParent, IExpOpExpression* piNode, int eKind, unsigned int* pnPos,
                              INAItemDescription** ppiItem);
    // The target column of an UPDATE.
    int _bDoExpressionColonne(CSQLParserInfo* pclInfo, const wchar_t* pszText, IExpOpExpression* piNode,
                              unsigned int* pnPos);
    int _bExpressionColonneToSQL(CSQLParserInfo* pclInfo, const wchar_t* pszText, IExpOpExpression* piNode,
                                 unsigned int* pnPos);
    int _bFormatExpressionItemName(CSQLParserInfo* pclInfo, CSQLParserInfo* pclInfo2, IExpOpExpression* piParent,
                                   IExpOpExpression* piNode, int eKind, CTString* pclOut,
                                   INAItemDescription** ppiItem, unsigned int nParameterOffset);
    // Computed output columns: into the text, for a column of the query's
    // record, as a text (with the parameters moved in, placed at
    // nParameterOffset on) and without a command of one's own.
    int _bFormatExpressionColonneCalculee(CSQLParserInfo* pclInfo, IInfoRubrique* piItem, IExpOpExpression* piParent,
                                          int eKind);
    int bFormatExpressionColonneCalculee(CSQLParserInfo* pclInfo, const CNAColumn& clColumn, int eKind);
    int bFormatExpressionColonneCalculee(CSQLParserInfo* pclInfo, IInfoRubrique* piItem, IExpOpExpression* piParent,
                                         int eKind, CTString* pclOut, unsigned int nParameterOffset);
    // Its columns named in the written table given, when one is.
    static int s_bFormatExpressionColonneCalculee(CTString* pclOut, CSQLParserInfo* pclInfo, const CNAColumn& clColumn,
                                                  int eKind, CNAError* pclError, CNAConnectionDescription* pclCnx,
                                                  const wchar_t* pszWrittenTable = L"");
    int _bDoExpressionOperator(CSQLParserInfo* pclInfo, const wchar_t* pszText, IExpOpExpression* piNode,
                               IExpOpExpression* piParent, int eKind, unsigned int* pnPos);
    // The text before a function's argument (bBefore) or through it.
    int _bDoExpressionArgument(CSQLParserInfo* pclInfo, const wchar_t* pszText, IExpOpExpression* piArgument,
                               int bBefore, unsigned int* pnPos);
    int _bDoExpressionLiteral(CSQLParserInfo* pclInfo, const wchar_t* pszText, IExpOpExpression* piNode,
                              IExpOpExpression* piParent, int eKind, unsigned int* pnPos, INAItemDescription* piItem,
                              eNA_ITEMTYPE eType);
    // A host parameter inside a tree: the value of the walk's table at its
    // place, as the parameter pass writes a lone value.
    int _bDoExpressionParameter(CSQLParserInfo* pclInfo, const wchar_t* pszText, IExpOpExpression* piNode,
                                unsigned int* pnPos);
    // The host's ESCAPE clause at *pnPos, after a LIKE pattern that no LIKE
    // parameter writes: the node's character as a literal of the session.
    int _bDoExpressionEscape(const wchar_t* pszText, IExpOpExpression* piLike, unsigned int* pnPos);
    // A date column compared with an empty date: the NULL test (or the
    // constant) in its place. nStart and nHostStart: the text's length and
    // the copy position before the column was written.
    int _bExpressionDateEmpty(unsigned int* pnPos, IExpOpExpression* piNode, const wchar_t* pszText,
                              unsigned int nStart, unsigned int nHostStart, INAItemDescription* piItem);
    int _eTypeRetour(int eKind, IExpOpExpression* piNode, eNA_ITEMTYPE eType, INAItemDescription** ppiItem);
    int _eTypeParameter(int eKind, IExpOpExpression* piNode, unsigned int nArgument, eNA_ITEMTYPE eType,
                        INAItemDescription** ppiItem);
    void FormatExpressionLiteral(int eKind, eOPEXPRESSION eOperator, IExpOpExpression* piNode,
                                 INAItemDescription* piItem, eNA_ITEMTYPE eType, CNAConvertVariant* pclCell);
    static tagRECT _stGetPositionExpression(IExpOpExpression* piNode);
    static int _bLastOperande(IExpOpExpression* piNode, unsigned int nIndex);
    // A table name standing for several FROM entries is written as none of
    // them: the command failed (user error 48).
    void _RefuseSeveralFrom(CSQLParserInfo* pclInfo, const wchar_t* pszName);
    void _GetOriginalTableNameAndItemName(CSQLParserInfo* pclInfo, CTString* pclTable, CTString* pclItem);
    void _GetFormatedOriginalTableNameAndItemName(CSQLParserInfo* pclInfo, CTString* pclTable, CTString* pclItem);
    // One routine over the parser's own list (a reference, or null).
    IInfoRubrique* _piGetInfoRubriqueFromAlias(ISQLParserInformation* piParser, const wchar_t* pszTable,
                                               const wchar_t* pszAlias);
    INAItemDescription* _pclGetOriginalItemDesc(CSQLParserInfo* pclInfo, const wchar_t* pszTable,
                                                const wchar_t* pszItem);
    // An alias after AS at the position, written quoted; 1.
    int _bFormatAlias(unsigned int* pnPos, const wchar_t* pszText);
    static int s_bGetItemNameAndPos(CTString* pclName, unsigned int* pnStart, unsigned int* pnStop,
                                    const wchar_t* pszText, unsigned int nPos);
    void _FormatTableName(const wchar_t* pszName, CTString* pclOut);
    void _FormatItemName(const wchar_t* pszName, CTString* pclOut);
    // An item reference of a condition, its table's physical name found.
    void _FormatItemNameInWHEREClause(ISQLParserInformation* piParser, const wchar_t* pszTable,
                                      const wchar_t* pszName, CTString* pclOut, CNAParameter* pclParameter);
    // A user parameter's value taken again from the host's bind values.
    int _bRefreshUserParameter(CNAParameter* pclParameter, INAQueryParametersValue* piValues);
    void SetLiteralParameter(int b) { m_bLiteralParameter = b; }
    void SetDialectFlags(unsigned int n) { m_nDialectFlags = n; }

    // ---- Scanners of query texts ---------------------------------------------------------
    // Blanks and ! % ( ) * + , - / =.
    static int s_bSeparateur(wchar_t c);
    // How a text is read. The host's query text by the host's rules: a
    // backslash is a plain character in its literals ('' is a quote), names
    // stand in [ ] or " ", parameters in { }, and it has no comments. Text
    // sent as written by the connection's session: backslashes escaping in
    // literals or not, as its sql_mode says, and the server's comments.
    enum eTEXTREADING : int { TR_HOST = 0, TR_SESSION = 1 };
    // What each character of a text is to its reader: code, quoted (a
    // literal, a quoted name or a parameter, its marks included) or part of
    // a comment (its marks included).
    enum : unsigned char { RM_CODE = 0, RM_QUOTED = 1, RM_COMMENT = 2 };
    static std::vector<unsigned char> s_tabReadText(CNAConnectionDescription* pclConnection, const std::wstring& s,
                                                    int eReading, int* pnEnd);
    // Where the quoted run (a literal, a name or a parameter) that opens at
    // i of a host text ends: past its closing mark, or at the end of the
    // text when it is left open; i when the character there opens none.
    static size_t s_nHostRunEnd(const wchar_t* psz, size_t nLength, size_t i);
    // The last place of a keyword in the code of the first nLength
    // characters of a text read as eReading, outside parentheses, as whole
    // words the server cuts them into (a number ends at its fraction or
    // exponent, digits glued to a letter are a name), none after a dot;
    // exact case when asked; -1 when absent.
    static int s_nGetTopLevelKeyword(CNAConnectionDescription* pclConnection, const wchar_t* pszText, size_t nLength,
                                     const wchar_t* pszWord, int eReading, bool bExactCase);

    // Position of the keyword, scanning backwards from nStart (-1: the end)
    // down to 1, outside literals and quoted names; -1 when absent.
    static int s_nGetClauseStart(CNAConnectionDescription* pclConnection, const wchar_t* pszText,
                                 const wchar_t* pszKeyword, int nStart, int eReading = TR_SESSION);
    // Whether the text joins several SELECTs at its top level: UNION,
    // INTERSECT, EXCEPT, and MINUS where the session reads it as one.
    static bool s_bSeveralSelects(CNAConnectionDescription* pclConnection, const wchar_t* pszText, size_t nLength,
                                  int eReading);
    // Whether a host query's own text (SELECT after blanks) limits its rows
    // (read by the host's rules), or joins several SELECTs: either is read
    // as it stands, its rows its own.
    static int s_bQueryResultsetLimited(CNAConnectionDescription* pclConnection, const wchar_t* pszText);
    static int s_bRequeteTerminePar(const wchar_t* pszText, const wchar_t* pszWord);
    static int s_bIsQuerySet(const wchar_t* pszText);
    static int s_bSuiteRequeteCommencePar(const wchar_t* pszText, const wchar_t* pszWord);
    static int s_nGetPosSuiteRequete(const wchar_t* pszText, const wchar_t* pszWord);
    static int s_bSuiteRequeteCommenceParMot(const wchar_t* pszText, const wchar_t* pszWord);
    // Where the statement of a text ends, by one reading.
    enum { TE_CODE = 0, TE_LINE_COMMENT = 1, TE_OPEN_COMMENT = 2 };
    struct STextEnd {
        // How the text ends: in code, in a "--" or "#" comment, or in a block
        // comment (or a "/*!" run of code) left open.
        int nEnd;
        // Where its statement ends: past its last code, the final ";" and
        // the blanks and comments around it left out. The whole text when it
        // ends in an open comment, which the server refuses as it is.
        unsigned int nStatementEnd;
        // A ";" before that end: the text holds more than one statement.
        int bSeveral;
    };
    static STextEnd s_stGetTextEnd(CNAConnectionDescription* pclConnection, const wchar_t* pszText,
                                   int eReading = TR_SESSION);
    // Appends a piece of SQL text. Whatever the pieces, the host's or the
    // driver's, two never join into a comment: a blank goes between a "-"
    // and a "-", or a "/" and a "*", where the pieces meet, and nowhere else.
    // Every piece of a command's text and of its formatted SQL goes in so.
    static void s_AddSQL(CTStringConcatAW& cl, const wchar_t* psz, int n = -1);
    // The two characters side by side open a comment of the session.
    static bool s_bOpensComment(wchar_t cBefore, wchar_t c)
    {
        return (cBefore == L'-' && c == L'-') || (cBefore == L'/' && c == L'*');
    }
    // Appends a literal; one glued to a word, a number or a quote would read
    // as part of it (x'41' is a hexadecimal literal, LIMIT5 a name): one
    // space between.
    static void s_AddLiteral(CTStringConcatAW& cl, const wchar_t* pszLiteral);
    // A character of an unquoted name as the server reads it, whatever the
    // process's locale: ASCII letters and digits, $, _ and every character
    // from U+0080 on.
    static bool s_bNameChar(wchar_t c)
    {
        return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') || c == L'$' ||
               c == L'_' || c >= 0x80;
    }
    // Whether the keyword (of ASCII letters) stands at i of a text of
    // nLength characters, matched as the server matches a keyword: by its
    // ASCII letters in either case alone, whatever the process's locale,
    // which may fold a letter past ASCII into one of them (U+0131 into I,
    // U+017F into S) or fold I otherwise.
    static bool s_bKeywordAt(const wchar_t* psz, size_t nLength, size_t i, const wchar_t* pszWord);
    // Whether a word goes on with c as the server's lexer reads it, whatever
    // the process's locale: a name's character (s_bNameChar), but the
    // no-break space, a blank to a session in 1252.
    static bool s_bWordGoesOn(wchar_t c) { return s_bNameChar(c) && c != 0xA0; }
    // The keyword at i (s_bKeywordAt) as a whole word: no character of a
    // word glued after it.
    static bool s_bWordAt(const wchar_t* psz, size_t nLength, size_t i, const wchar_t* pszWord);
    // The blank that goes before a clause appended at nEnd of a text: none
    // after a minus sign, which with the blank would open a "-- " comment.
    static const wchar_t* s_pszClauseJoin(const std::wstring& s, size_t nEnd);

    // Flags of parameters made from the host's query: a literal, and the
    // host's own LIKE pattern (a literal or a host parameter), which is in
    // the host's escaping and was never doubled by the driver.
    enum : unsigned int {
        PF_LITERAL = 0x80000,
        PF_LIKE_PATTERN = 0x40000,
    };

protected:
    static int s_eQueryType(eTYPEREQUETE eType);
    // User error 8 with kind 7 for a rewriting step of a later issue; 0.
    int _bNotYet(int nPoint);
    int _bInitColumnNullValueExcluded();
    int _bNoMemory(int nPoint);
    // Files a new definition (null: out of memory).
    int _bAddDefine(CNADefine* pclDefine);
    // Appends text to the formatted SQL under the space rule.
    void _AddFormated(const wchar_t* pszText, int nLength);
    // The LIKE escape character of a parameter written at *pnPos of the
    // text: its own (backslash without one), unless no ESCAPE clause that
    // the driver keeps follows and it would be a quote or a string escape
    // of the dialect.
    wchar_t _cLikeEscape(CNAParameter* pclParameter, const unsigned int* pnPos);
    // Where the ESCAPE clause at nPos of a text ends (blanks first): exactly
    // the word ESCAPE and a literal of one character ('''' for a quote); -1
    // when the text there is anything else.
    static int s_nGetEscapeClauseEnd(const wchar_t* pszText, unsigned int nPos);
    // A named user parameter's value taken again, when the query has bind
    // values; 0 on failure.
    int _bRefreshUser(CNAParameter* pclParameter);
    // The host's own pattern in the escape character the driver writes.
    int _bHostLikeValue(CNAParameter* pclParameter, CAny* pValue, wchar_t cEscape);
    // Kind 3 reads no ESCAPE clause: the escaped wildcards of a literal
    // become the forms it reads as plain characters. Out of memory, the
    // error says so and the literal is left empty.
    void _ChangeEscapement(wchar_t cEscape, std::wstring* pstrLiteral);
    void _RemplaceTopParLimit();
    void _RemplaceLimitParTop();
    CTStringConcatAW* _pclNewText();
    unsigned int _nTextLength();
    // Appends to the command's text (s_AddSQL).
    void _AddSQL(const wchar_t* psz, int n = -1) { s_AddSQL(m_clSQL, psz, n); }
    int _nCodePage() const;

    CNAError* m_pclError;                      // 1, one reference
    CNAConnectionDescription* m_pclConnection; // 2, one reference
    int m_bVerbatim;                           // 3
    int m_eQueryType;                          // 4
    unsigned int m_dwWord5;                    // 5
    CSQLParserInfo* m_pclParserInfo;           // 6, one reference, null here
    CTStringConcatAW m_clSQL;                  // 7
    CNARefArray<CNAParameter> m_tabParameter;  // 8
    int m_bLiteralParameter;                   // 9
    unsigned int m_nDialectFlags;              // 10
    CTStringConcatAW m_clSelectAdditional;     // 11
    unsigned int m_dwWord12;                   // 12
    int m_nDefineMode;                         // 13
    CNARefArray<CNADefine> m_tabDefine;        // 14
    long long m_llRowLimit;                    // 15, -1 none
    long long m_llRowOffset;                   // 16, -1 none
    CTStringConcatAW m_clFormated;             // 17
    CTStringConcatAW m_clDump;                 // 18
    unsigned int m_dwWord19;                   // 19
    CColumnNullValueExcluded* m_pclNullExcluded; // 20, owned, null until built
    IInfoRubrique* m_piCurrentCalcul;          // the computed item being translated, or null

    // ---- While a host query is written (NACommandHostText.cpp) -------------------------
    // Host text from *pnPos up to nUpTo written for the session (the
    // position moves on, past a quoted run that nUpTo cuts): read by the
    // host's rules, each literal becomes a literal of the session and each
    // quoted name the connection's quoted name; a parameter (the pass places
    // each one it can) and code the session would read as a comment or a
    // quote are refused; two signs never meet as a comment. Sent as written,
    // the text is copied as it stands. A text that cannot be written marks
    // the command failed (_bHostWritten), the error saying why.
    void _CopyHost(const wchar_t* pszText, unsigned int* pnPos, unsigned int nUpTo);
    int _bHostWritten() const { return !m_bHostFault; }
    // Code of the host text, kept apart from what the text ends with where
    // the session would join them into a comment; a word the session's code
    // page cannot hold is refused as such a name is (user error 77).
    void _AddHostCode(const wchar_t* psz, unsigned int n);
    // The quoted run [nStart, nEnd) of the host text.
    void _AddHostRun(const wchar_t* pszText, unsigned int nStart, unsigned int nEnd);
    // Host text that cannot be written: user error 48, the first reason
    // kept.
    void _HostFault(int nPoint);
    // The host's literal at nStart of its text, of the value given,
    // written as a literal of the session.
    void _AddHostLiteral(const wchar_t* pszText, unsigned int nStart, const std::wstring& strValue);
    // The start of the word that introduces the literal at nStart of the
    // host text as the session reads it (X'41', b'1', N'x', _utf8mb4'x',
    // _latin1 'x'): one letter X, B or N glued to the quote, or "_" and
    // more ASCII, glued or apart by blanks; never a word glued after a dot,
    // which is a name (k._latin1'x'); nStart when there is none.
    unsigned int _nIntroducer(const wchar_t* pszText, unsigned int nStart);
    // The literal of the host text that the session joins to the one at
    // nStart into one text, before or after it, blanks alone between them;
    // HOSTRUN_CODE when there is none.
    unsigned int _nJoinedLiteral(const wchar_t* pszText, unsigned int nStart, bool bAfter);
    // A blank to the session: ASCII's, and on a latin1 session (any but
    // UTF-8) the no-break space, which a UTF-8 one reads as a name's.
    bool _bSessionBlank(wchar_t c) const;
    bool _bSessionNameChar(wchar_t c) const { return s_bNameChar(c) && !_bSessionBlank(c); }
    // A text value as a literal of the session; 0 when the connection
    // cannot write it.
    int _bSessionLiteral(const wchar_t* psz, size_t n, CTStringConcatAW* pclLiteral);
    // The same, appended to the command's text.
    int _bAddSessionLiteral(const wchar_t* psz, size_t n);
    // A name the connection refused (its formatting answered 0) marks the
    // command failed; the first refusal is the one named.
    void _NameHeld(int bHeld)
    {
        if (!bHeld)
            m_bHostFault = 1;
    }
    CNAError* _pclNameError() const { return m_bHostFault ? nullptr : m_pclError; }
    unsigned int _nHostLength(const wchar_t* pszText);
    // The next host text given is read afresh (the last one may be gone).
    void _ForgetHostText() { m_pszHostText = nullptr; }
    // The reading of the host's query text: the host's own, unless the
    // text goes to the server as written.
    int _eHostTextReading() const;
    // The length of the host text that the driver writes: a final ";" and
    // the blanks (and, sent as written, the comments) around it are no part
    // of the statement.
    unsigned int _nStatementLength(const wchar_t* pszText);
    // The table of values the walk reads, and which of them are written.
    const CTabValParser* _pclPassTable(CSQLParserInfo* pclInfo);
    int _bAddPassValue(const CTabValParser* pclTable, int i, const wchar_t* pszText, unsigned int* pnPos);
    int _bAddPassParameter(const CTabValParser* pclTable, int i, CNAParameter** ppclParameter);
    void _PlacePassParameter(const STValParser& st, CNAParameter* pclParameter, const wchar_t* pszText,
                             unsigned int* pnPos);
    // The pass over [*pnPos, nUpTo) of the host text.
    int _bAddClausePart(const CTabValParser* pclTable, const wchar_t* pszText, ISQLParserInformation* piParser,
                        int bWhereNames, unsigned int* pnPos, unsigned int nUpTo);
    int _bUnplaced(int nPoint);
    CTString m_csTableIn;                      // the last table name quoted, and its quoted form
    CTString m_csTableOut;
    const wchar_t* m_pszHostText;
    unsigned int m_nHostLength;
    // Per character of the host text: the start of the quoted run holding
    // it, or HOSTRUN_CODE.
    enum : unsigned int { HOSTRUN_CODE = 0xFFFFFFFFu };
    std::vector<unsigned int> m_tabHostRun;
    int m_bHostFault;
    const CTabValParser* m_pclPassTable;
    CSQLParserInfo* m_pclPassInfo;             // the digest the table came from, no reference
    std::vector<char> m_tabPassDone;
    CNACommand* m_pclOuterCalcul;              // the command a computed column is written for, no reference
    int m_bOutputNames;                        // items by the query's output names
    CTString m_csWrittenTable;
};

// A new command (count 0) on the error and the connection.
CNACommand* pclAllocCommand(CNAError* pclError, CNAConnectionDescription* pclConnection);
