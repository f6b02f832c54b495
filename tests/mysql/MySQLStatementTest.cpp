// The MySQL table statement without a server: the engine clause by server
// version and the constraints of automatic identifiers and primary keys.
#include "mysql/MySQLStatement.h"

#include "access/sql/NACommand.h"
#include "access/statement/NARecord.h"
#include "access/table/NADataAccess.h"
#include "tests/support/ClosedConnection.h"
#include "tests/support/RecordValues.h"
#include "tests/support/TestTable.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

class CVersionConnection : public CMySQLKindConnection {
public:
    explicit CVersionConnection(int nMajor) { m_nServerVersionMajor = nMajor; }
};

// Every column's type is "T": the type map is the connection's business.
class CTypedStatement : public CMySQLStatement {
public:
    using CMySQLStatement::CMySQLStatement;
    int _bGetNativeDataType(CNAColumn*, CTString* pclText) override
    {
        pclText->Set(L"T");
        return 1;
    }
};

std::wstring CreateText(int nMajor)
{
    CDriverScope clDriver;
    CNAError* pError = new CNAError;
    pError->AddRef();
    CVersionConnection* pCnx = new CVersionConnection(nMajor);
    pCnx->AddRef();
    std::wstring strText;
    {
        CTestTable t(pError, pCnx, L"k");
        t.Add(L"id", NA_IT_IDAUTO4, 4, CTestTable::UNIQUE, false);
        t.Add(L"a", NA_IT_IDAUTO, 8, 0, false);
        t.Add(L"p", NA_IT_I4, 4, CTestTable::UNIQUE | CNAItemDescription::KF_PRIMARY, false);
        t.Add(L"u", NA_IT_I4, 4, CTestTable::UNIQUE, true);
        t.Add(L"d", NA_IT_I4, 4, CTestTable::DUPLICATES, true);
        t->UpdateRecordSize();
        CNADataAccess* pAccess = new CNADataAccess(t.Get(), pCnx, pError);
        pAccess->AddRef();
        CNARecord* pRecord = pAccess->_pclAllocRecord(pError);
        pRecord->AddRef();
        EXPECT_EQ(pRecord->bInitRecord(t.Get(), nullptr, pCnx), 1);
        pAccess->_SetCurrentRecord(pRecord);
        pRecord->nRelease();
        CTypedStatement* pStatement = new CTypedStatement(pAccess, pError);
        pStatement->AddRef();
        CNACommand* pCommand = new CNACommand(pError, pCnx);
        pCommand->AddRef();
        EXPECT_EQ(pStatement->bBuildQueryCREATE(pCommand), 1);
        strText = pCommand->pszGetOriginalSQL();
        pCommand->nRelease();
        EXPECT_EQ(pStatement->nRelease(), 0u);
        EXPECT_EQ(pAccess->nRelease(), 0u);
    }
    pCnx->nRelease();
    pError->nRelease();
    return strText;
}

TEST(MySQLStatement, EngineClauseByServerVersion)
{
    const std::wstring strColumns = L"CREATE TABLE `k`( `id` T  NOT NULL AUTO_INCREMENT, PRIMARY KEY (`id`), "
                                    L"`a` T  NOT NULL AUTO_INCREMENT, PRIMARY KEY (`a`), "
                                    L"`p` T , PRIMARY KEY (`p`), `u` T  UNIQUE , `d` T )";
    EXPECT_EQ(CreateText(3), strColumns + L" Type=InnoDB");
    EXPECT_EQ(CreateText(4), strColumns + L" Type=InnoDB");
    EXPECT_EQ(CreateText(5), strColumns + L" ENGINE=InnoDB");
    EXPECT_EQ(CreateText(10), strColumns + L" ENGINE=InnoDB");
}

} // namespace
