#include "mysql/MySQLDriver.h"

#include "access/driver/NAError.h"
#include "common/platform/MyModuleInfo.h"
#include "mysql/MySQLConnection.h"
#include "mysql/MySQLDriverSQL.h"
#include "mysql/MySQLStatement.h"

#include <new>

CMySQLDriver::CMySQLDriver()
{
    m_llRowBlockSize = 100;
}

CMySQLDriver::~CMySQLDriver() {}

void CMySQLDriver::OnFatalErrorAddDebugMessage(CNAError* pError, CNAConnectionDescription* pConnection)
{
    if (pError == nullptr)
        return;
    pError->AddDebugMessage(ZTMSG_CLIENT_VERSION, L"3.23.52",
                            pConnection != nullptr ? CNAConnectionDescription::m_csClientVersion.pszGet() : L"");
}

CNAStatement* CMySQLDriver::pclAllocStatement(CNADataAccess* pDataAccess, CNAConnectionDescription*, CNAError* pError)
{
    return new (std::nothrow) CMySQLStatement(pDataAccess, pError);
}

CNAConnectionDescription* CMySQLDriver::_pclAllocConnectionDescription(const wchar_t* pszIdentification,
                                                                       INAConnectionDescription* piDescription)
{
    return new (std::nothrow) CMySQLConnection(pszIdentification, piDescription);
}

CNADriverSQL* CMySQLDriver::_pclAllocDriverSQL(CNAError* pError)
{
    return new (std::nothrow) CMySQLDriverSQL(this, pError);
}

int CMySQLDriver::g_NATermModule()
{
    CMySQLConnection::g_TermNativeLibrary();
    return CNADriver::g_NATermModule();
}
