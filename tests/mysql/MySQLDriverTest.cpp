// The MySQL driver's own pieces: the debug message after a crash in the
// client library, the connection, data-access and statement factories, and
// what the MySQL data access answers of a record count.
#include "mysql/MySQLDriver.h"

#include "access/driver/NAError.h"
#include "mysql/MySQLConnection.h"
#include "mysql/MySQLDataAccess.h"
#include "mysql/MySQLStatement.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

bool Contains(const wchar_t* psz, const std::wstring& strPart)
{
    return psz != nullptr && std::wstring(psz).find(strPart) != std::wstring::npos;
}

TEST(MySQLDriver, CrashMessageNamesTheLoadedClientVersionOnlyWithAConnection)
{
    const CTString csBefore = CNAConnectionDescription::m_csClientVersion;
    CNAConnectionDescription::m_csClientVersion = L"10.11.19";
    CMySQLDriver clDriver;
    CMySQLConnection clConnection(L"crash", nullptr);
    struct {
        CNAConnectionDescription* pclConnection;
        const wchar_t* pszLoaded;
    } tab[] = {{&clConnection, L"\"10.11.19\""}, {nullptr, L"\"\""}};
    for (const auto& t : tab) {
        CNAError clError;
        clError.AddError(NA_ERRORTYPE_GENERAL, 101, 6, nullptr, 23u, L"MySQL");
        clDriver.OnFatalErrorAddDebugMessage(&clError, t.pclConnection);
        const wchar_t* pszDebug = clError.pclGetXError()->pszGetDebugMessage();
        EXPECT_TRUE(Contains(pszDebug, L"3.23.52")) << pszDebug;
        EXPECT_TRUE(Contains(pszDebug, t.pszLoaded)) << pszDebug;
    }
    // Without an error object there is nothing to add to.
    clDriver.OnFatalErrorAddDebugMessage(nullptr, &clConnection);
    CNAConnectionDescription::m_csClientVersion = csBefore;
}

TEST(MySQLDriver, ConnectionsAreMySQLConnections)
{
    CMySQLDriver clDriver;
    std::unique_ptr<CNAConnectionDescription> pcl(clDriver._pclAllocConnectionDescription(L"id", nullptr));
    ASSERT_NE(pcl, nullptr);
    EXPECT_NE(dynamic_cast<CMySQLConnection*>(pcl.get()), nullptr);
    EXPECT_EQ(pcl->eGetDataSource(), CNAConnectionDescription::DS_MYSQL);
    EXPECT_EQ(std::wstring(pcl->pszGetIdentification()), L"id");
    EXPECT_EQ(pcl->bIsOpen(), 0);
    // Names are quoted with back-quotes.
    CTString csName;
    ASSERT_EQ(pcl->bFormatItemName(nullptr, L"a b", &csName), 1);
    EXPECT_EQ(std::wstring(csName.pszGet()), L"`a b`");
    EXPECT_EQ(clDriver.llGetRowBlockSize(), 100);
}

// A MySQL data access that serves a query.
class CQueryAccess : public CMySQLDataAccess {
public:
    using CMySQLDataAccess::CMySQLDataAccess;
    void SetQuerySource() { m_bSourceIsQuery = 1; }
};

TEST(MySQLDriver, DataAccessesAreMySQLOnesAndCountATableWithoutABrowse)
{
    CMySQLDriver clDriver;
    CNAError* pError = new CNAError;
    pError->AddRef();
    CNADataAccess* pcl = clDriver.pclAllocDataAccess(nullptr, nullptr, pError);
    ASSERT_NE(dynamic_cast<CMySQLDataAccess*>(pcl), nullptr);
    pcl->AddRef();
    int bNeed = -1;
    EXPECT_EQ(pcl->bNbEnrNeedParse(&bNeed, L"k"), 1);
    EXPECT_EQ(bNeed, 0);
    EXPECT_EQ(pcl->bNbEnrNeedParse(nullptr, L"k"), 1);
    pcl->nRelease();
    CQueryAccess* pQuery = new CQueryAccess(nullptr, nullptr, pError);
    pQuery->AddRef();
    pQuery->SetQuerySource();
    bNeed = -1;
    EXPECT_EQ(pQuery->bNbEnrNeedParse(&bNeed, L"k"), 1);
    EXPECT_EQ(bNeed, 1) << "a query: the base's answer";
    pQuery->nRelease();
    pError->nRelease();
}

TEST(MySQLDriver, StatementsAreMySQLOnesOfTheirDataAccess)
{
    CMySQLDriver clDriver;
    CNAError* pError = new CNAError;
    pError->AddRef();
    CNADataAccess* pAccess = clDriver.pclAllocDataAccess(nullptr, nullptr, pError);
    ASSERT_NE(pAccess, nullptr);
    pAccess->AddRef();
    CNAStatement* pcl = clDriver.pclAllocStatement(pAccess, nullptr, pError);
    ASSERT_NE(pcl, nullptr);
    pcl->AddRef();
    EXPECT_NE(dynamic_cast<CMySQLStatement*>(pcl), nullptr);
    EXPECT_EQ(pcl->pclGetDataAccessNoRef(), pAccess);
    pcl->nRelease();
    pAccess->nRelease();
    pError->nRelease();
}

} // namespace
