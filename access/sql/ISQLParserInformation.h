// The host's parse of a query text, as the driver reads it: the parse
// itself, its object of clause lists, the expression trees and the entries
// of each clause. The host owns these objects; the driver calls their
// operations by place, so each table below is the contract with the host:
// never insert, remove or move an operation. The places the driver does not
// call are kept as empty ReservedN operations (N the place, from 1).
//
// Every object carries a 32-bit reference count right after its table of
// operations; the driver adds a reference by raising that word and gives it
// back as each interface says (CRefTraits below). The interfaces are never
// deleted through: their destructors are protected and not virtual.
//
// Positions are character indexes in the query text; a tagRECT holds the
// start in its first word and the inclusive stop in its third. An operation
// said to give "a reference" raises the answer's count for the caller, who
// releases it; every other answer is borrowed from the host.
#pragma once

#include "common/platform/WinApi.h"
#include "common/text/RefTraits.h"

#include <cstddef>

class CAny;
class CTabValParser;
class IExpOpExpression;
class IInfoAffectation;
class IInfoFrom;
class IInfoGroupe;
class IInfoInsertion;
class IInfoOrderBy;
class IInfoRequete;
class IInfoRubrique;
class INADataSourceDescription;
class INAItemDescription;

// Query type of the host's parse: 1 and 2 SELECT, 3 UPDATE, 4 INSERT,
// 5 DELETE.
typedef int eTYPEREQUETE;
// Kind of an expression node of the host's parse (0 to 135); also the
// operator a parameter is compared with, -1 for none.
typedef int eOPEXPRESSION;

// Size in characters of the buffer the host writes a physical table name
// into (place 34 of ISQLParserInformation).
enum : unsigned int { SQLPARSER_PHYSICALNAME_SIZE = 261 };

class ISQLParserInformation {
public:
    // 1: the version exchange: the host checks the module and version the
    // driver asks for and writes its SQL module's version; 0 refuses.
    virtual int bVersionExchange(unsigned int nModule, unsigned int nVersion, unsigned int* pnHostVersion) = 0;
    // 2: adds a reference.
    virtual void AddRef() = 0;
    // 3: gives a reference back; answers the count left.
    virtual unsigned int nRelease() = 0;
    // 4: the stop of the last clause, -1 when there is none.
    virtual int nGetLastClauseStop() = 0;
    // 5: the stop of the query proper, -1 or -2 when there is none.
    virtual int nGetQueryStop() = 0;
    virtual void Reserved6() {}
    // 7: the values and item references of the whole text.
    virtual CTabValParser* pclGetTabValParser() = 0;
    // 8: the query text.
    virtual const wchar_t* pszGetRequete() = 0;
    virtual void Reserved9() {}
    // 10, 11: the WHERE keyword's position (0 without WHERE) and the stop of
    // its condition (-1 or -2 without WHERE).
    virtual int nGetWhereStart() = 0;
    virtual int nGetWhereStop() = 0;
    // 12: the ORDER BY keyword's position, 0 without ORDER BY.
    virtual int nGetOrderByStart() = 0;
    // 13: the clause lists, or null.
    virtual IInfoRequete* piGetInfoRequete() = 0;
    // 14, 15: the HAVING keyword's position (0 without HAVING) and the stop
    // of its condition (-1 or -2 without HAVING).
    virtual int nGetHavingStart() = 0;
    virtual int nGetHavingStop() = 0;
    virtual void Reserved16() {}
    virtual void Reserved17() {}
    // 18: the WHERE tree, a reference; null without WHERE.
    virtual IExpOpExpression* piGetWhere() = 0;
    virtual void Reserved19() {}
    // 20: the values and item references the clause walk reads.
    virtual CTabValParser* pclGetTabValParserClause() = 0;
    virtual void Reserved21() {}
    // 22: the description of a plain output item's item, a reference; null
    // for a computed item or an unknown one.
    virtual INAItemDescription* piGetRubriqueDescription(const IInfoRubrique* piItem) = 0;
    // 23: the description of an item of a table (name or alias; empty:
    // any table of the query), a reference; null when unknown.
    virtual INAItemDescription* piGetItemDescription(const wchar_t* pszTable, const wchar_t* pszItem) = 0;
    // 24: the description of a FROM entry's table, a reference, or null.
    virtual INADataSourceDescription* piGetFromDescription(const IInfoFrom* piFrom) = 0;
    // 25: the description of a table by its logical name, a reference, or
    // null.
    virtual INADataSourceDescription* piGetTableDescription(const wchar_t* pszTable) = 0;
    virtual void Reserved26() {}
    // 27: the query type.
    virtual eTYPEREQUETE eGetTypeRequete() = 0;
    // 28: the HAVING tree, a reference; null without HAVING.
    virtual IExpOpExpression* piGetHaving() = 0;
    virtual void Reserved29() {}
    virtual void Reserved30() {}
    virtual void Reserved31() {}
    // 32: the position just after the output list; 1 when the list is "*".
    virtual int nGetOutputListEnd() = 0;
    virtual void Reserved33() {}
    // 34: the database name of a logical table name, written into a buffer
    // of SQLPARSER_PHYSICALNAME_SIZE characters; empty when unknown. A name
    // that fills the buffer has no terminator.
    virtual void GetPhysicalName(const wchar_t* pszLogical, wchar_t* pszBuffer) = 0;

    unsigned int m_nRefCount;

protected:
    ISQLParserInformation() : m_nRefCount(0) {}
    ~ISQLParserInformation() = default;
};

// The clause lists of a parse. Each "next" operation restarts at the first
// entry with 1, goes on with 0, answers null after the last and adds no
// reference.
class IInfoRequete {
public:
    // 1: the next output item (for an INSERT, the next column of its list).
    virtual IInfoRubrique* piGetNextRubrique(int bRestart) = 0;
    virtual void Reserved2() {}
    virtual void Reserved3() {}
    virtual void Reserved4() {}
    // 5: the number of GROUP BY entries.
    virtual int nGetNbGroupe() = 0;
    virtual void Reserved6() {}
    // 7: the next FROM entry (for a write, its table).
    virtual IInfoFrom* piGetNextFrom(int bRestart) = 0;
    // 8: the next ORDER BY entry.
    virtual IInfoOrderBy* piGetNextOrderBy(int bRestart) = 0;
    // 9: the next GROUP BY entry.
    virtual IInfoGroupe* piGetNextGroupe(int bRestart) = 0;
    virtual void Reserved10() {}
    virtual void Reserved11() {}
    virtual void Reserved12() {}
    // 13: the condition of the next JOIN entry; the first argument is 0.
    virtual IExpOpExpression* piGetNextJoin(int nReserved, int bRestart) = 0;
    virtual void Reserved14() {}
    virtual void Reserved15() {}
    virtual void Reserved16() {}
    virtual void Reserved17() {}
    // 18: the next assignment of an UPDATE.
    virtual IInfoAffectation* piGetNextAffectation(int bRestart) = 0;
    // 19: the next value of an INSERT.
    virtual IInfoInsertion* piGetNextInsertion(int bRestart) = 0;

    unsigned int m_nRefCount;

protected:
    IInfoRequete() : m_nRefCount(0) {}
    ~IInfoRequete() = default;
};

// One node of an expression tree: an operator, a function, a column (47), a
// literal (48) or a parameter (49).
class IExpOpExpression {
public:
    virtual void Reserved1() {}
    // 2: gives a reference back; answers the count left.
    virtual unsigned int nRelease() = 0;
    // 3: the node's kind.
    virtual eOPEXPRESSION eGetOperateur() = 0;
    // 4, 5: the first and second operand, a reference; null when absent.
    virtual IExpOpExpression* piGetOperandeGauche() = 0;
    virtual IExpOpExpression* piGetOperandeDroite() = 0;
    // 6: a literal's value; null for other nodes.
    virtual const CAny* pclGetValeur() = 0;
    // 7: the escape character a LIKE node's ESCAPE clause gives, 0 without.
    virtual wchar_t cGetEscape() = 0;
    virtual void Reserved8() {}
    virtual void Reserved9() {}
    virtual void Reserved10() {}
    virtual void Reserved11() {}
    // 12: a column node's item name.
    virtual const wchar_t* pszGetNomRubrique() = 0;
    virtual void Reserved13() {}
    virtual void Reserved14() {}
    virtual void Reserved15() {}
    virtual void Reserved16() {}
    virtual void Reserved17() {}
    virtual void Reserved18() {}
    virtual void Reserved19() {}
    virtual void Reserved20() {}
    virtual void Reserved21() {}
    virtual void Reserved22() {}
    virtual void Reserved23() {}
    virtual void Reserved24() {}
    // 25: the node's own position.
    virtual tagRECT stGetPosition() = 0;
    // 26: a column node's table or alias as written; empty when unqualified.
    virtual const wchar_t* pszGetNomTable() = 0;
    virtual void Reserved27() {}
    // 28: the node's outer position (with the parentheses or sign around it).
    virtual tagRECT stGetPositionExterne() = 0;
    // 29: whether a column node is the outer side of a join.
    virtual int bJointureExterne() = 0;
    virtual void Reserved30() {}
    virtual void Reserved31() {}
    virtual void Reserved32() {}
    virtual void Reserved33() {}
    virtual void Reserved34() {}
    // 35: a column node's host engine type code.
    virtual int nGetType() = 0;
    virtual void Reserved36() {}
    virtual void Reserved37() {}
    // 38: the next operand, a reference, from the first when the caller's
    // word is 0 (the call moves it on); null after the last.
    virtual IExpOpExpression* piGetNextOperande(int* pnIterator) = 0;

    unsigned int m_nRefCount;

protected:
    IExpOpExpression() : m_nRefCount(0) {}
    ~IExpOpExpression() = default;
};

// One output item: a column of a table (computed kind 0) or an expression
// (1), or another computed item such as a lone value (2).
class IInfoRubrique {
public:
    virtual void Reserved1() {}
    virtual void Reserved2() {}
    // 3: gives a reference back; answers the count left.
    virtual unsigned int nRelease() = 0;
    // 4: the table as the query names it (its alias when it has one).
    virtual const wchar_t* pszGetNomTable() = 0;
    // 5: the item's name in the output: its alias, else its name.
    virtual const wchar_t* pszGetNom() = 0;
    // 6: the item it reads in its table.
    virtual const wchar_t* pszGetNomRubriqueSource() = 0;
    virtual void Reserved7() {}
    virtual void Reserved8() {}
    virtual void Reserved9() {}
    // 10: the alias as written, without quotes; empty without one.
    virtual const wchar_t* pszGetAlias() = 0;
    // 11: 0 plain, 1 expression, 2 other.
    virtual int eGetCalcul() = 0;
    virtual void Reserved12() {}
    virtual void Reserved13() {}
    virtual void Reserved14() {}
    // 15: the host engine type code.
    virtual int nGetType() = 0;
    virtual void Reserved16() {}
    virtual void Reserved17() {}
    virtual void Reserved18() {}
    virtual void Reserved19() {}
    virtual void Reserved20() {}
    // 21: the expression of a computed item, a reference; null otherwise.
    virtual IExpOpExpression* piGetExpression() = 0;
    // 22: the position of the item (its alias excluded); 0 to 0 when it has
    // none in the text.
    virtual tagRECT stGetPosition() = 0;
    // 23: the logical name of the table it reads.
    virtual const wchar_t* pszGetNomTableSource() = 0;
    // 24: 0 when writes through the query cannot reach the item.
    virtual int bGetItemFlag() = 0;

    unsigned int m_nRefCount;

protected:
    IInfoRubrique() : m_nRefCount(0) {}
    ~IInfoRubrique() = default;
};

// One table of the FROM clause.
class IInfoFrom {
public:
    virtual void Reserved1() {}
    virtual void Reserved2() {}
    // 3: gives a reference back; answers the count left.
    virtual unsigned int nRelease() = 0;
    // 4: the table's logical name.
    virtual const wchar_t* pszGetNomTable() = 0;
    // 5: its alias, empty without one.
    virtual const wchar_t* pszGetAlias() = 0;
    // 6: the position of the table's name (its alias excluded).
    virtual tagRECT stGetPosition() = 0;

    unsigned int m_nRefCount;

protected:
    IInfoFrom() : m_nRefCount(0) {}
    ~IInfoFrom() = default;
};

// One entry of the ORDER BY clause.
class IInfoOrderBy {
public:
    virtual void Reserved1() {}
    virtual void Reserved2() {}
    // 3: gives a reference back; answers the count left.
    virtual unsigned int nRelease() = 0;
    virtual void Reserved4() {}
    // 5: the index of the output item it designates, from 0; -1 for none.
    virtual int nGetIndiceColonne() = 0;
    // 6: the position of its expression (the direction excluded).
    virtual tagRECT stGetPosition() = 0;

    unsigned int m_nRefCount;

protected:
    IInfoOrderBy() : m_nRefCount(0) {}
    ~IInfoOrderBy() = default;
};

// One entry of the GROUP BY clause (the driver's copy is CInfoGroupe).
class IInfoGroupe {
public:
    // 1: the table or alias as written, empty when unqualified.
    virtual const wchar_t* pszGetAlias() = 0;
    // 2: whether it was written with a table.
    virtual int bIsAvecTable() = 0;
    // 3: the logical name of the table of the item.
    virtual const wchar_t* pszGetNomTable() = 0;
    // 4: the item's name, empty when the entry names an output item.
    virtual const wchar_t* pszGetNomRubrique() = 0;
    // 5: the entry's position.
    virtual tagRECT stGetPosition() = 0;
    // 6: the table as the query names it, empty for a computed output item.
    virtual const wchar_t* pszGetNomFichier() = 0;
    // 7: the name of the output item it names, empty otherwise.
    virtual const wchar_t* pszGetNomRubriqueAlias() = 0;

    unsigned int m_nRefCount;

protected:
    IInfoGroupe() : m_nRefCount(0) {}
    ~IInfoGroupe() = default;
};

// One assignment of an UPDATE.
class IInfoAffectation {
public:
    // 1: the target column, a reference.
    virtual IExpOpExpression* piGetColonne() = 0;
    // 2: the assigned expression, a reference.
    virtual IExpOpExpression* piGetExpression() = 0;

    unsigned int m_nRefCount;

protected:
    IInfoAffectation() : m_nRefCount(0) {}
    ~IInfoAffectation() = default;
};

// One value of an INSERT.
class IInfoInsertion {
public:
    // 1: the value's expression, a reference.
    virtual IExpOpExpression* piGetValeur() = 0;
    // 2: the target column, a reference.
    virtual IExpOpExpression* piGetColonne() = 0;

    unsigned int m_nRefCount;

protected:
    IInfoInsertion() : m_nRefCount(0) {}
    ~IInfoInsertion() = default;
};

// ---- References held by the driver's containers ------------------------------
// The count word is raised; the reference goes back through the release
// operation where the interface has one, else by lowering the word (never
// below 0).
template <class T>
struct CHostCountRelease {
    static void AddRef(T* p) { p->m_nRefCount++; }
    static void Release(T* p)
    {
        if (p->m_nRefCount > 0)
            p->m_nRefCount--;
    }
};
template <class T>
struct CHostCallRelease {
    static void AddRef(T* p) { p->m_nRefCount++; }
    static void Release(T* p) { p->nRelease(); }
};
template <>
struct CRefTraits<ISQLParserInformation> : CHostCallRelease<ISQLParserInformation> {};
template <>
struct CRefTraits<IExpOpExpression> : CHostCallRelease<IExpOpExpression> {};
template <>
struct CRefTraits<IInfoRubrique> : CHostCallRelease<IInfoRubrique> {};
template <>
struct CRefTraits<IInfoFrom> : CHostCallRelease<IInfoFrom> {};
template <>
struct CRefTraits<IInfoOrderBy> : CHostCallRelease<IInfoOrderBy> {};
template <>
struct CRefTraits<IInfoRequete> : CHostCountRelease<IInfoRequete> {};
template <>
struct CRefTraits<IInfoGroupe> : CHostCountRelease<IInfoGroupe> {};
template <>
struct CRefTraits<IInfoAffectation> : CHostCountRelease<IInfoAffectation> {};
template <>
struct CRefTraits<IInfoInsertion> : CHostCountRelease<IInfoInsertion> {};

// ---- Layouts the host shares -----------------------------------------------------
static_assert(sizeof(void*) != 4 || (sizeof(tagRECT) == 16 && offsetof(tagRECT, right) == 8),
              "tagRECT: start in the first word, stop in the third");
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
#define ZT_HOST_PARSE_LAYOUT(I)                                                                        \
    static_assert(sizeof(void*) != 4 || (offsetof(I, m_nRefCount) == 4 && sizeof(I) == 8),           \
                  #I ": the count follows the table of operations")
ZT_HOST_PARSE_LAYOUT(ISQLParserInformation);
ZT_HOST_PARSE_LAYOUT(IInfoRequete);
ZT_HOST_PARSE_LAYOUT(IExpOpExpression);
ZT_HOST_PARSE_LAYOUT(IInfoRubrique);
ZT_HOST_PARSE_LAYOUT(IInfoFrom);
ZT_HOST_PARSE_LAYOUT(IInfoOrderBy);
ZT_HOST_PARSE_LAYOUT(IInfoGroupe);
ZT_HOST_PARSE_LAYOUT(IInfoAffectation);
ZT_HOST_PARSE_LAYOUT(IInfoInsertion);
#undef ZT_HOST_PARSE_LAYOUT
#pragma GCC diagnostic pop
