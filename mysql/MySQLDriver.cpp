#include "mysql/MySQLDriver.h"

#include "access/driver/NAConnectionDescription.h"
#include "access/driver/NAError.h"
#include "access/statement/NAStatementSQL.h"
#include "common/platform/MyModuleInfo.h"
#include "mysql/MySQLConnection.h"
#include "mysql/MySQLDataAccess.h"
#include "mysql/MySQLDataSourceDescription.h"
#include "mysql/MySQLDriverSQL.h"
#include "mysql/MySQLStatement.h"

#include <new>
#include <string>

namespace {

// Raising points of this file.
enum : int {
    POINT_LOCK_TABLE = 1,
    POINT_LOCK_QUERY = 2,
};

// The server's answer to a probe of a table that does not exist.
constexpr unsigned int kNoSuchTable = 1146;

} // namespace

CMySQLDriver::CMySQLDriver()
{
    m_llRowBlockSize = 100;
}

CMySQLDriver::~CMySQLDriver() {}

int CMySQLDriver::bSQLBloqueTable(INAConnectionDescription* piDescription, const wchar_t* pszTable)
{
    return _Guard(0, [&] {
        return _bLockThroughConnection(piDescription, ERRFILE_MYSQLDRIVER, POINT_LOCK_TABLE,
                                       [&](CNAConnectionDescription* pcl) {
                                           CNADriverSQL* pclSQL = pclGetDriverSQL();
                                           return pclSQL != nullptr
                                                      ? pclSQL->bSQLBloqueTable(m_pclError, pcl, pszTable, 0)
                                                      : _bNoMemory(POINT_LOCK_TABLE);
                                       });
    });
}

int CMySQLDriver::bSQLBloqueRequete(INAConnectionDescription* piDescription, ISQLParserInformation*)
{
    return _Guard(0, [&] {
        return _bLockThroughConnection(piDescription, ERRFILE_MYSQLDRIVER, POINT_LOCK_QUERY,
                                       [&](CNAConnectionDescription*) { return _bNotOffered(POINT_LOCK_QUERY); });
    });
}

CNADataSourceDescription* CMySQLDriver::pclAllocDataSourceDescription(CNAConnectionDescription* pConnection,
                                                                      CNAError* pError)
{
    return new (std::nothrow) CMySQLDataSourceDescription(pConnection, pError);
}

CNADataAccess* CMySQLDriver::pclAllocDataAccess(INADataSourceDescription* piDescription,
                                                CNAConnectionDescription* pConnection, CNAError* pError)
{
    // The constructor may fail to make its tables, as the base's does.
    try {
        return new CMySQLDataAccess(piDescription, pConnection, pError);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

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

int CMySQLDriver::_bTableExists(int* pbExists, const wchar_t* pszName, CNAConnectionDescription* pConnection)
{
    CNADriverSQL* pclSQL = pclGetDriverSQL();
    if (pclSQL == nullptr)
        return _bNoMemory(POINT_LOCK_TABLE);
    CTString csFormatted;
    if (!pConnection->bFormatTableName(m_pclError, pszName, &csFormatted))
        return 0;
    const std::wstring strQuery = std::wstring(L"SHOW COLUMNS FROM ") + csFormatted.pszGet();
    CNAStatementSQL* pclStatement = nullptr;
    const int bDone = pclSQL->bExecute(m_pclError, &pclStatement, pConnection, strQuery.c_str(), nullptr, 0);
    if (pclStatement != nullptr)
        pclStatement->nRelease();
    *pbExists = bDone ? 1 : 0;
    if (bDone)
        return 1;
    return m_pclError != nullptr && m_pclError->dwGetDataBaseErrorCode() == kNoSuchTable ? 1 : 0;
}

int CMySQLDriver::g_NATermModule()
{
    CMySQLConnection::g_TermNativeLibrary();
    return CNADriver::g_NATermModule();
}
