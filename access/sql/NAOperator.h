// The operators of a search condition: the combinations, the comparisons of
// a column with a value, a host-parsed condition and the two constants.
#pragma once

enum eNAOperator : int {
    NAOP_NONE = 0,
    NAOP_OR = 1,
    NAOP_AND = 2,
    NAOP_NOT = 3,
    NAOP_EQ = 4,
    NAOP_GT = 5,
    NAOP_LT = 6,
    NAOP_GE = 7,
    NAOP_LE = 8,
    NAOP_PARSED = 9, // a condition the host parsed
    NAOP_FALSE = 10,
    NAOP_TRUE = 11,
    NAOP_NE = 12,
    NAOP_ISNULL = 13,
    NAOP_ISNOTNULL = 14,
};
