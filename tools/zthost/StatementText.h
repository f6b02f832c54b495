// Whether a query text holds more than one statement: the SQL interface
// hands back the first result of a text only, so the command-line host
// takes one statement per --sql.
#pragma once

#include <string>

// True when a ';' outside quotes, comments and BEGIN ... END blocks is
// followed by more than blanks, comments and ';'. The text of a code
// comment ("/*!", "/*M!") is read as code; scripts/lib.sh reads texts the
// same way (zt_several_statements).
bool bSeveralStatements(const std::string& strSQL);
