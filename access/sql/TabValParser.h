// The host's table of the values and item references of a parsed query
// text: a record the host fills and the driver reads in place. Both lists
// are ordered by position in the text.
#pragma once

#include "common/values/Any.h"

#include <cstddef>

// One entry: a value (with its place in the text and its type word) or an
// item reference (with its place and names).
struct STValParser {
    CAny clValeur;                // host value
    int nPosition;                // start in the text, in characters
    int nLongueur;                // length in the text, in characters
    unsigned int dwType;          // 0x1: the value names a file whose content is the value; 0x10 qualifies it
    const wchar_t* pszNomRubrique; // item name of a reference
    const wchar_t* pszNomTable;   // table name of a reference
};

class CTabValParser {
public:
    int nNbValeur;
    STValParser* pTabValeur;
    int nNbRubrique;
    STValParser* pTabRubrique;

    int nGetNbValeur() const { return pTabValeur != nullptr && nNbValeur > 0 ? nNbValeur : 0; }
    // The value of entry i, 0 to nGetNbValeur() - 1.
    const CAny* pclGetValeur(int i) const { return &pTabValeur[i].clValeur; }
    int nGetNbRubrique() const { return pTabRubrique != nullptr && nNbRubrique > 0 ? nNbRubrique : 0; }
};

static_assert(sizeof(void*) != 4 || sizeof(CAny) == 52, "CAny: reserve, treatment, type word, value area");
static_assert(sizeof(void*) != 4 || (offsetof(STValParser, nPosition) == 52 && offsetof(STValParser, nLongueur) == 56 &&
                                     offsetof(STValParser, dwType) == 60 &&
                                     offsetof(STValParser, pszNomRubrique) == 64 &&
                                     offsetof(STValParser, pszNomTable) == 68 && sizeof(STValParser) == 72),
              "STValParser: value, position, length, type word, item name, table name");
static_assert(sizeof(void*) != 4 || (offsetof(CTabValParser, pTabValeur) == 4 &&
                                     offsetof(CTabValParser, nNbRubrique) == 8 &&
                                     offsetof(CTabValParser, pTabRubrique) == 12 && sizeof(CTabValParser) == 16),
              "CTabValParser: two lists, each a count and an array");
