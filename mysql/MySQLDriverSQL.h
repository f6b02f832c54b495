// The SQL interface of the MySQL back end: the driver's SQL interface with
// the MySQL direct SQL statement.
#pragma once

#include "access/driver/NADriverSQL.h"

class CNAConnectionDescription;
class CNAStatementSQL;

class CMySQLDriverSQL : public CNADriverSQL {
public:
    CMySQLDriverSQL(CNADriver* pclDriver, CNAError* pclError);
    ~CMySQLDriverSQL() override;

    // A new MySQL statement of the connection reporting into pclError, with
    // no reference taken; null without memory.
    CNAStatementSQL* pclAllocStatementSQL(CNAConnectionDescription* pclConnection, CNAError* pclError) override;
};
