#include "mysql/MySQLDriver.h"

CMySQLDriver::CMySQLDriver()
{
    m_llRowBlockSize = 100;
}

CMySQLDriver::~CMySQLDriver() {}

int CMySQLDriver::g_NATermModule()
{
    return CNADriver::g_NATermModule();
}
