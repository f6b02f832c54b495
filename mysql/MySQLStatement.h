// The table statement of the MySQL back end: CREATE TABLE with the InnoDB
// engine, MySQL constraints for automatic identifiers and primary keys, the
// identity of a new record from the server's last insert id, and the count
// of a rewritten query made by streaming its rows.
#pragma once

#include "access/statement/NAStatement.h"

class CMySQLStatement : public CNAStatement {
public:
    CMySQLStatement(CNADataAccess* pclDataAccess, CNAError* pclError);
    ~CMySQLStatement() override;

    // ---- Replaced operations, in the base's slot order --------------------------
    // The base text, then " Type=InnoDB" (server 4 and below) or
    // " ENGINE=InnoDB".
    int bBuildQueryCREATE(CNACommand* pclCommand) override;
    // The server's last insert id into the auto-increment column: signed
    // below 2^63, unsigned above; nothing for 0 or without such a column.
    int bUpdateRecordAfterInsert(int eType, unsigned int nFlags) override;
    // A rewritten query: its rows streamed and counted, the store mode back
    // on every path; a stream that ends on a client error or a crash counts
    // nothing. Otherwise the base's COUNT.
    int bGetNbEnr(long long* pllCount, unsigned int nFlags, int bAllRows) override;
    // The base's items of the result; a string of the binary character set,
    // a text by the result's type map, is marked as the bytes it is.
    int _bGetQueryStructure(CNADataSourceDescription* pclDescription, int bSkip) override;
    int _bGetNativeConstraint(CNAColumn* pclColumn, CTString* pclText) override;
};
