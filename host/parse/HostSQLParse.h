// Stand-in for the host's parse of a query text: a small parser of a subset
// of the host's query language that builds the parse objects the driver
// reads (ISQLParserInformation and what it hands out) from a text, with
// their positions, the clause bounds, both tables of values and item
// references, and the look-ups of a catalogue of tables.
//
// The subset: SELECT [DISTINCT] with columns, t.c, *, arithmetic,
// parentheses, functions and aggregates, numbers, 'texts', {name} parameters
// and AS aliases (plain, "..." and [...]); FROM with aliases (the same), commas and
// [INNER | LEFT [OUTER] | RIGHT [OUTER]] JOIN ... ON; WHERE and HAVING with
// the six comparisons, AND, OR, NOT, [NOT] LIKE ... [ESCAPE 'c'], IS [NOT]
// NULL; GROUP BY names; UNION, INTERSECT, EXCEPT or MINUS (a name but
// before a SELECT or VALUES) and another SELECT or VALUES, kept as written;
// ORDER BY with ASC, DESC and numbers; a trailing
// LIMIT; INSERT INTO t (columns) VALUES (values), UPDATE t SET c = value,
// ... [WHERE], DELETE FROM t [WHERE]; a closing ";". A table written before
// a column stands for the FROM entry of that name as written, else case
// ignored; keywords are read by their ASCII letters.
//
// Every object counts its references: the host's own hold is 1, and the
// stand-in notes a release that would drop it. Tests check that whatever
// the driver took it gave back (nUnbalanced, nOverReleases).
#pragma once

#include "access/sql/ISQLParserInformation.h"
#include "access/sql/TabValParser.h"

#include <deque>
#include <memory>
#include <string>
#include <vector>

class CHostQueryParametersValue;
class INADataSourceDescription;

// The tables a parse can name: logical name, database name and the
// description of its items. Names compare ignoring case.
class CHostCatalogue {
public:
    struct STable {
        std::wstring strLogical;
        std::wstring strPhysical;
        INADataSourceDescription* piDescription;  // one external reference, or null
    };

    CHostCatalogue() = default;
    CHostCatalogue(const CHostCatalogue&) = delete;
    CHostCatalogue& operator=(const CHostCatalogue&) = delete;
    ~CHostCatalogue();

    // Takes an external reference on the description.
    void Add(const std::wstring& strLogical, const std::wstring& strPhysical, INADataSourceDescription* piDescription);
    // Null when the name is unknown.
    const STable* pFind(const wchar_t* pszLogical) const;

private:
    std::deque<STable> m_tabTable;  // parses keep pointers to its entries
};

// Kinds of the nodes the stand-in builds, the host's numbers: names of
// operators and functions as the subset writes them (upper case), "()" for
// parentheses, "-x" for a sign, and "column", "literal" and "parameter".
// A function missing from the table is of kind HOSTKIND_FUNCTION.
struct SHostKind {
    const wchar_t* pszName;
    int nKind;
};
extern const SHostKind g_astHostKind[];
extern const int g_nHostKind;
enum : int {
    HOSTKIND_FUNCTION = 6,
    HOSTKIND_COLUMN = 47,
    HOSTKIND_LITERAL = 48,
    HOSTKIND_PARAMETER = 49,
};
// The kind of a name of the table; -1 when absent.
int nHostKind(const wchar_t* pszName);

// Host engine type code of an item type (the codes the host reports for
// items and column nodes: 24 and 38 automatic identifiers; 15, 16, 30 and
// 40 memos).
int nHostEngineType(int eItemType);

class CHostSQLParse final : public ISQLParserInformation {
public:
    // The parse of the text, or null with the reason (and its position) in
    // *pstrError. The catalogue and the bind values, when given, must
    // outlive the parse; the values are read whenever a table is asked for.
    static std::unique_ptr<CHostSQLParse> pParse(const wchar_t* pszText, const CHostCatalogue* pclCatalogue = nullptr,
                                                 CHostQueryParametersValue* pclValues = nullptr,
                                                 std::wstring* pstrError = nullptr);
    ~CHostSQLParse();

    // ---- ISQLParserInformation ---------------------------------------------------
    int bVersionExchange(unsigned int nModule, unsigned int nVersion, unsigned int* pnHostVersion) override;
    void AddRef() override;
    unsigned int nRelease() override;
    int nGetLastClauseStop() override;
    int nGetQueryStop() override;
    CTabValParser* pclGetTabValParser() override;
    const wchar_t* pszGetRequete() override;
    int nGetWhereStart() override;
    int nGetWhereStop() override;
    int nGetOrderByStart() override;
    IInfoRequete* piGetInfoRequete() override;
    int nGetHavingStart() override;
    int nGetHavingStop() override;
    IExpOpExpression* piGetWhere() override;
    CTabValParser* pclGetTabValParserClause() override;
    INAItemDescription* piGetRubriqueDescription(const IInfoRubrique* piItem) override;
    INAItemDescription* piGetItemDescription(const wchar_t* pszTable, const wchar_t* pszItem) override;
    INADataSourceDescription* piGetFromDescription(const IInfoFrom* piFrom) override;
    INADataSourceDescription* piGetTableDescription(const wchar_t* pszTable) override;
    eTYPEREQUETE eGetTypeRequete() override;
    IExpOpExpression* piGetHaving() override;
    int nGetOutputListEnd() override;
    void GetPhysicalName(const wchar_t* pszLogical, wchar_t* pszBuffer) override;

    // ---- Set by tests ---------------------------------------------------------------
    // The version exchange answers m_bVersionAnswer and writes m_nHostVersion.
    int m_bVersionAnswer = 1;
    unsigned int m_nHostVersion = 31;
    int m_nVersionExchanges = 0;
    // The five look-ups (places 22 to 25 and 34) throw while set; the
    // clause lists (place 13) while the second is set.
    bool m_bThrowOnLookup = false;
    bool m_bThrowOnLists = false;
    // The engine type output item n reports (computed items report 0).
    void SetItemType(int n, int nType);
    // The FROM entries report an empty table name while set.
    void SetUnnamedFrom(bool bUnnamed);
    // The end of the last clause reported, where the host's own parse ends
    // before its text does.
    void SetLastClauseStop(int n);

    // ---- Accounting -------------------------------------------------------------------
    // Objects (this one included) whose count is not the host's hold of 1,
    // each named in the report.
    int nUnbalanced(std::wstring* pstrReport = nullptr) const;
    // Releases that found only the host's hold.
    int nOverReleases() const;
    // Look-ups made (places 22 to 25 and 34), thrown ones included.
    int nLookups() const;

    struct CImpl;

private:
    CHostSQLParse();
    std::unique_ptr<CImpl> m_p;
};
