#include "mysql/MySQLDriverSQL.h"

#include "mysql/MySQLStatementSQL.h"

#include <new>

CMySQLDriverSQL::CMySQLDriverSQL(CNADriver* pclDriver, CNAError* pclError) : CNADriverSQL(pclDriver, pclError) {}

CMySQLDriverSQL::~CMySQLDriverSQL() {}

CNAStatementSQL* CMySQLDriverSQL::pclAllocStatementSQL(CNAConnectionDescription* pclConnection, CNAError* pclError)
{
    return new (std::nothrow) CMySQLStatementSQL(pclConnection, pclError);
}
