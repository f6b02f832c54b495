// One node of a search condition: a comparison of a column with a value, a
// host-parsed condition, a constant, or an AND, OR or NOT of conditions.
// Writing a tree into a command emits its WHERE text with every compared
// value as a parameter of the search, folds away the branches whose outcome
// is known in advance, lets NULL rows through where the host engine's order
// wants them, expands prefix searches into LIKE patterns or date ranges, and
// records which columns the condition keeps from being NULL.
#pragma once

#include "access/driver/Interf.h"
#include "access/sql/ColumnNullValueExcluded.h"
#include "access/sql/NAOperator.h"
#include "access/statement/NAColumn.h"
#include "common/values/ItemType.h"

#include <string>

class CAny;
class CNACommand;
class CNAConnectionDescription;
class CNAConvertVariant;
class CNAError;
class CNARecherche;
class CNARecord;
class CSQLParserInfo;
class CTString;
class ISQLParserInformation;

class CNAExpression : public CInterf {
public:
    // Flag bits of a node; the others are the search's own, carried along.
    enum : unsigned int {
        EXPR_GENERIC = 0x1,       // the value is a prefix
        EXPR_RECORD = 0x2,        // values of the current record
        EXPR_BOUNDS = 0x4,        // a key value with the engine's markers
        EXPR_FROMRECORD = 0x8,    // components read from the record
        EXPR_NOCONTINUE = 0x10,
        EXPR_LOWER = 0x40,        // lower bound of a filter
        EXPR_UPPER = 0x80,        // upper bound of a filter
        EXPR_EMPTYEXACT = 0x100,  // an empty generic text is exact
        EXPR_CHARACTERS = 0x200,  // a text equal in its characters, not only by the collation
    };
    enum : int {
        ERRFILE_EXPRESSION = 14,
    };

    // An empty node (operator 0) on the error object (one reference).
    explicit CNAExpression(CNAError* pclError);
    CNAExpression(const CNAExpression&) = delete;
    CNAExpression& operator=(const CNAExpression&) = delete;

    // ---- Virtual operations, in slot order (after CInterf's three) ------------
    ~CNAExpression() override;
    // A new empty node (count 0) with this node's error object.
    virtual CNAExpression* pclAllocExpression();
    // Writes a leaf into the command; *pbConstant as bGetSQL.
    virtual int _bGetSQLFromValue(CNACommand* pclCommand, CNARecherche* pclSearch, int* pbConstant);

    // ---- Building (each a new node of count 0, made by pclAllocExpression();
    //      null when none can be made) ----------------------------------------------
    // A host-parsed condition.
    CNAExpression* pclAllocExpression(ISQLParserInformation* piParser, unsigned int nFlags);
    // A comparison of the column with the value (one reference on each).
    CNAExpression* pclAllocExpression(eNAOperator eOperator, CNAColumn* pclColumn, CNAConvertVariant* pclValue,
                                      unsigned int nFlags);
    // An AND, OR or NOT of operands (one reference on each; no right one for
    // NOT).
    CNAExpression* pclAllocExpression(eNAOperator eOperator, CNAExpression* pclLeft, CNAExpression* pclRight,
                                      unsigned int nFlags);
    // An empty node made a comparison or a combination, as the forms above
    // make theirs (references taken).
    void SetComparison(eNAOperator eOperator, CNAColumn* pclColumn, CNAConvertVariant* pclValue,
                       unsigned int nFlags);
    void SetOperation(eNAOperator eOperator, CNAExpression* pclLeft, CNAExpression* pclRight, unsigned int nFlags);
    // The operator over this node and the other, with this node's flags.
    CNAExpression* pclAddOperation(eNAOperator eOperator, CNAExpression* pclOther);
    // A deep copy; its leaves share the columns and values.
    CNAExpression* pclClone();
    // In the parent, the operand pclOld becomes pclNew (the reference moves).
    static void Insert(CNAExpression* pclParent, CNAExpression* pclOld, CNAExpression* pclNew);
    // The condition to go on from a row found by an equality: each = leaf
    // takes the operator (inverted on a column the query sorts
    // descending); a prefix on a text skips the rows of the prefix. The
    // node now in this node's place, null on failure.
    CNAExpression* pclTransformEqualTo(CNARecord* pclRecord, CNAExpression* pclParent, eNAOperator eOperator);

    // ---- Writing ------------------------------------------------------------------
    // Writes the tree into the command under the parent's operator (0 at
    // the top); the search collects the parameters. *pbConstant is 0 when
    // text was written, else the operator of the constant the node folded
    // to: 10 false, 11 true, 3 neither (its parent drops it). A tree is
    // written once: writing may change its operators.
    int bGetSQL(CNACommand* pclCommand, eNAOperator eParent, CNARecherche* pclSearch, int* pbConstant,
                CNARecord* pclRecord);
    // Whether the condition lets NULL values of the column through.
    int bColumnValuesNullSelected(const CNAColumn* pclColumn);
    int bIsGenerique() const { return (m_nFlags & EXPR_GENERIC) != 0; }

    // ---- Values -------------------------------------------------------------------------
    // Whether a comparison with this value holds for every row.
    static int s_bExpressionTrue(eNAOperator eOperator, CNAConnectionDescription* pclConnection, const CAny* pValue);
    // A real column whose values come back rounded: a 4-byte real in the
    // host's item or on the database (the server's text of a FLOAT keeps
    // six significant digits).
    static bool s_bRoundedReal(const CNAColumn* pclColumn);
    // Whether a server's text of a column's value is written as it is in
    // place of the record's value: a date or a time, a text's literal, or
    // "@" and a TIMESTAMP's instant (seconds from 1970 UTC), which compares
    // with the column's.
    static bool s_bServerValueText(const wchar_t* psz);
    // The value as wide text; false when it has none or does not convert.
    static bool s_bReadWide(const CAny* pValue, std::wstring* ps);
    // Whether the server value is a text's literal "_charset X'...'".
    static bool s_bHexaLiteral(const wchar_t* psz);
    // The bytes of an expression's text in a character set, as a binary
    // string of any length: CAST(... AS BINARY) and HEX() answer NULL past
    // the session's max_allowed_packet, CONVERT does not.
    static std::wstring s_strBytesIn(const wchar_t* pszExpression, const wchar_t* pszCharset);
    // Whether the server value is a number, written without quotes: a
    // quoted one would be compared as a double.
    static bool s_bNumberText(const wchar_t* psz);
    // The first instant a partial date or time text covers, and the first
    // after every one it covers: a time text (host type 25) for a time
    // item, a date text (24) for a date item, else a date-time (26).
    static int s_bGetBorneRechercheDateMin(eNA_ITEMTYPE eType, CAny* pValue, CAny* pBound);
    static int s_bGetBorneRechercheDateMax(eNA_ITEMTYPE eType, CAny* pValue, CAny* pBound);
    static int s_bGetBorneRechercheDateGenerique(eNA_ITEMTYPE eType, CAny* pValue, CAny* pLower, CAny* pUpper);
    // The direction the record's source query sorts the column in: 1
    // descending, 0 ascending or not sorted.
    static int s_eGetSensTriColonne(CNARecord* pclRecord, CNAColumn* pclColumn);

    // ---- Operators ------------------------------------------------------------------------
    // The text each operator writes; empty for any other code.
    static const wchar_t* s_pszDumpOp(eNAOperator eOperator);
    // The host's expression kind of a comparison, -1 for the others.
    static eOPEXPRESSION Convert_eNAOperator_To_eOPEXPRESSION(eNAOperator eOperator);
    // > and < exchanged, >= and <=; any other unchanged.
    static eNAOperator s_eInvertOperator(eNAOperator eOperator);

    // ---- State ------------------------------------------------------------------------------
    eNAOperator eGetOperator() const { return m_eOperator; }
    CNAExpression* pclGetLeftNoRef() const { return m_pclLeft; }
    CNAExpression* pclGetRightNoRef() const { return m_pclRight; }
    CNAColumn* pclGetColumnNoRef() const { return m_pclColumn; }
    CNAConvertVariant* pclGetValueNoRef() const { return m_pclValue; }
    unsigned int nGetFlags() const { return m_nFlags; }
    // Stores the flags; a generic leaf of a text column flagged 0x100 whose
    // value is empty becomes exact.
    void SetFlags(unsigned int nFlags);
    CColumnNullValueExcluded* pclGetColumnNullValueExcludedNoRef() const { return m_pclNullExcluded; }

protected:
    bool _bIsLeaf() const;
    CNAConnectionDescription* _pclConnection(CNACommand* pclCommand) const;
    // Boolean comparisons rewritten from the value, comparisons of texts
    // that hold for every row made true.
    void _PrepareLeaf(CNACommand* pclCommand);
    int _bWriteNode(CNACommand* pclCommand, eNAOperator eParent, CNARecherche* pclSearch, int* pbConstant,
                    CNARecord* pclRecord);
    int _bWriteAndOr(CNACommand* pclCommand, eNAOperator eParent, CNARecherche* pclSearch, int* pbConstant,
                     CNARecord* pclRecord);
    int _bWriteNot(CNACommand* pclCommand, CNARecherche* pclSearch, int* pbConstant, CNARecord* pclRecord);
    // Whether NULL rows are let through beside the comparison.
    int _bAddNullRows(CNAConnectionDescription* pclConnection);
    int _bGetSQLFromValueNULL(const wchar_t* pszName, CNACommand* pclCommand, int* pbConstant);
    int _bGetSQLFromValueString(const wchar_t* pszName, CNACommand* pclCommand, CNARecherche* pclSearch,
                                int bAddNull, int* pbConstant);
    int _bGetSQLFromValueDateTime(const wchar_t* pszName, CNACommand* pclCommand, CNARecherche* pclSearch,
                                  int bAddNull);
    int _bGetSQLFromValueUsingParameter(const wchar_t* pszName, CNACommand* pclCommand, CNARecherche* pclSearch,
                                        int bLike, int bAddNull);
    // = on a real column in a condition that finds the record read: the
    // value as the server finds what it stores.
    int _bGetSQLFromValueReal(const wchar_t* pszName, CNACommand* pclCommand, double d);
    // A parameter of a date bound at the end of the command's text.
    int _bAddBoundParameter(CNACommand* pclCommand, CNARecherche* pclSearch, CAny* pBound);
    // The node's own set (made on first need; user error 12 when it
    // cannot be).
    CColumnNullValueExcluded* _pclNullExcluded();
    void _SetNullSelected(int bSelected);
    int _bNotYet(int nPoint);
    void _Release();
    // The digest held (one reference).
    void _SetParserInfo(CSQLParserInfo* pclInfo);
    // The host-parsed condition, its parameters handed to the search.
    int _bWriteParsed(CNACommand* pclCommand, eNAOperator eParent, CNARecherche* pclSearch, CNARecord* pclRecord);
    // The server's text of the record's value that a comparison from the
    // record writes instead of the value (*ppszText null when it has none).
    // A value the record's item refused has no other stand-in: a comparison
    // that cannot write its text fails with the item's failure (0).
    int _bGetServerValue(CNARecherche* pclSearch, CNACommand* pclCommand, const wchar_t** ppszText) const;
    int _bGetSQLFromServerValue(const wchar_t* pszName, const wchar_t* pszValue, CNACommand* pclCommand);
    // The text's characters, as the server's Unicode character set's bytes,
    // equal to the record's: the record's own text, or the server's text of
    // it when the record holds less.
    int _bGetSQLFromCharacters(const wchar_t* pszName, CNACommand* pclCommand, CNARecherche* pclSearch);

    // Ends a comparison, letting the column's NULL rows through as well when
    // bAddNull (the comparison then opened a parenthesis).
    void _CloseNullRows(CNACommand* pclCommand, const wchar_t* pszName, int bAddNull);
    // A leaf whose column name is written.
    int _bGetSQLFromValueNamed(const wchar_t* pszName, CNACommand* pclCommand, CNARecherche* pclSearch,
                               int* pbConstant);

    CNAError* m_pclError;                       // one reference
    eNAOperator m_eOperator;
    CNAExpression* m_pclLeft;                   // one reference; null for a leaf
    CNAExpression* m_pclRight;                  // one reference; null for a leaf and for NOT
    CNAColumn* m_pclColumn;                     // one reference; leaves only
    CNAConvertVariant* m_pclValue;              // one reference; leaves only
    unsigned int m_nFlags;
    CSQLParserInfo* m_pclParserInfo;            // one reference: the condition's digest, or a leaf's source query
    CColumnNullValueExcluded* m_pclNullExcluded; // owned, made on first need
};
