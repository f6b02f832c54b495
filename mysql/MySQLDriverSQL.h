// The SQL interface of the MySQL back end: the driver's SQL interface with
// the MySQL direct SQL statement, the fixed list of column types and the
// catalogue lists of servers before version 5 (SHOW statements), which
// also serve when the INFORMATION_SCHEMA table list fails.
#pragma once

#include "access/driver/NADriverSQL.h"

class CNAConnectionDescription;
class CNAStatementSQL;

class CMySQLDriverSQL : public CNADriverSQL {
public:
    CMySQLDriverSQL(CNADriver* pclDriver, CNAError* pclError);

    // ---- Replaced operations, in slot order -------------------------------------
    // The 35 lines "name TAB code", each ended by CR LF; 1. No lock, the
    // error object untouched.
    int bGetColumnTypeList(CAny* pResult, int nConnection, unsigned int nFlags) override;
    ~CMySQLDriverSQL() override;
    // From version 5 the base's list; before it, or when that fails, SHOW
    // TABLES with the filter's clause (detailed lines: name, the default
    // database, the owner, "TABLE").
    int bGetTableList(CAny* pResult, CNAConnectionDescription* pConnection, const wchar_t* pszFilter,
                      unsigned int nFlags) override;
    // SHOW COLUMNS FROM the table: one column name a line.
    int bGetColumnList(CAny* pResult, CNAConnectionDescription* pConnection, const wchar_t* pszTable,
                       unsigned int nFlags) override;
    // A new MySQL statement of the connection reporting into pclError, with
    // no reference taken; null without memory.
    CNAStatementSQL* pclAllocStatementSQL(CNAConnectionDescription* pclConnection, CNAError* pclError) override;
    // Before version 5: "SHOW DATABASES".
    int _bGetDatabaseListQuery(CTStringConcatAW* pclQuery, CNAConnectionDescription* pConnection,
                               unsigned int nFlags) override;
    // Before version 5: "SHOW TABLES FROM " and the quoted database name.
    int _bGetDatabaseTableListQuery(CTStringConcatAW* pclQuery, const wchar_t* pszDatabase,
                                    CNAConnectionDescription* pConnection, unsigned int nFlags) override;

    // A server of version 4 or less: no INFORMATION_SCHEMA.
    static bool g_bServerBefore5(const CNAConnectionDescription* pConnection);
};
