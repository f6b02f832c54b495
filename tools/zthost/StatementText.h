// Whether a query text holds more than one statement: the SQL interface
// hands back the first result of a text only, so the command-line host
// takes one statement per --sql.
#pragma once

#include <string>

// True when the server could run the text as several statements, read in
// any of the session modes that change where its quotes and comments end:
// with or without backslash escapes, with '"' quoting texts or names, a
// versioned code comment ("/*!50001") read as code or as a comment. A ';'
// ends a statement unless it is inside a compound statement (BEGIN NOT
// ATOMIC, IF, CASE, WHILE, LOOP, REPEAT, FOR, a routine's, a trigger's or
// an event's body): only where a statement starts does a keyword open or
// close one, so a keyword used as a name opens or closes nothing. A text
// whose compound statements do not read through is one statement only when
// no ';' is followed by more than ';'. scripts/lib.sh reads texts the same
// way (zt_several_statements).
bool bSeveralStatements(const std::string& strSQL);
