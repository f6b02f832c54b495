// Table and query descriptions on the private server: a query described
// from its result, a table from the catalogue (through a description whose
// four catalogue operations read information_schema), both through the SQL
// interface's numbers; the driver's table probe; and nested transactions
// through INADriver seen from another connection.
#include "access/driver/INADriverSQL.h"
#include "access/driver/NADataSourceDescription.h"
#include "access/driver/NADriverSQL.h"
#include "access/driver/NAError.h"
#include "access/statement/NAStatementSQL.h"
#include "common/platform/MyModuleInfo.h"
#include "common/text/XYStringConcat.h"
#include "host/HostConnectionDescription.h"
#include "mysql/MySQLDriver.h"
#include "tests/support/DriverServer.h"
#include "tests/support/ValueCells.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

// Column i of the statement's current row as text ("" for NULL).
std::wstring Text(CNAStatementSQL* pclStatement, unsigned int i)
{
    CAny v;
    if (!pclStatement->bGetValue(&v, i, 0) || v.bIsNull())
        return L"";
    const wchar_t* psz = nullptr;
    v.pclGetTraitement()->nGetPCWSTR(&psz);
    return psz != nullptr ? psz : L"";
}

// A description that reads the catalogue's information_schema: integers
// as 4-byte integers, everything else as text.
class CInfoSchemaDescription : public CNADataSourceDescription {
public:
    using CNADataSourceDescription::CNADataSourceDescription;

    // The columns of an information_schema view for this table.
    int Query(CXYStringConcat<wchar_t>* pclText, const wchar_t* pszColumns, const wchar_t* pszView,
              const wchar_t* pszOrder)
    {
        pclText->Add(L"SELECT ");
        pclText->Add(pszColumns);
        pclText->Add(L" FROM information_schema.");
        pclText->Add(pszView);
        pclText->Add(L" WHERE TABLE_SCHEMA = DATABASE() AND TABLE_NAME = '");
        pclText->Add(pszGetDBTableName());
        pclText->Add(L"' ORDER BY ");
        pclText->Add(pszOrder);
        return 1;
    }
    int _bGetQueryShowColumns(CXYStringConcat<wchar_t>* pclText) override
    {
        return Query(pclText, L"COLUMN_NAME, DATA_TYPE, CHARACTER_MAXIMUM_LENGTH", L"COLUMNS", L"ORDINAL_POSITION");
    }
    int _bInitItemFromQueryShowColumns(CNAStatementSQL* pclStatement) override
    {
        while (pclStatement->bFetch(0) && !pclStatement->bEndOfData()) {
            const std::wstring strType = Text(pclStatement, 1);
            const bool bInt = strType == L"int";
            const std::wstring strLength = Text(pclStatement, 2);
            const unsigned int nSize = bInt ? 4 : (strLength.empty() ? 20u : std::stoul(strLength) + 1);
            if (!bAddItem(Text(pclStatement, 0).c_str(), pszGetDBTableName(), nullptr, 1, nSize,
                          bInt ? NA_IT_I4 : NA_IT_TEXTE, -1, -1, 0, 0, 0))
                return 0;
        }
        return 1;
    }
    int _bGetQueryShowIndex(CXYStringConcat<wchar_t>* pclText) override
    {
        return Query(pclText, L"INDEX_NAME, COLUMN_NAME, NON_UNIQUE", L"STATISTICS", L"INDEX_NAME, SEQ_IN_INDEX");
    }
    int _bInitKeysFromQueryShowIndex(CNAStatementSQL* pclStatement) override
    {
        std::vector<std::wstring> tabIndex;
        std::map<std::wstring, std::vector<std::wstring>> mapColumns;
        std::map<std::wstring, unsigned short> mapFlags;
        while (pclStatement->bFetch(0) && !pclStatement->bEndOfData()) {
            const std::wstring strIndex = Text(pclStatement, 0);
            if (mapColumns.find(strIndex) == mapColumns.end())
                tabIndex.push_back(strIndex);
            mapColumns[strIndex].push_back(Text(pclStatement, 1));
            unsigned short n = Text(pclStatement, 2) == L"0" ? CNAItemDescription::KF_UNIQUE
                                                             : CNAItemDescription::KF_DUPLICATES;
            if (strIndex == L"PRIMARY")
                n |= CNAItemDescription::KF_PRIMARY;
            mapFlags[strIndex] = n;
        }
        for (const std::wstring& strIndex : tabIndex) {
            const std::vector<std::wstring>& tab = mapColumns[strIndex];
            if (tab.size() == 1) {
                if (!_bSetKeyType(tab[0].c_str(), mapFlags[strIndex]))
                    return 0;
                continue;
            }
            CNAItemDescription* pcl = CNADriver::s_pclDriver->pclAllocItemDescription();
            pcl->AddRef();
            pcl->bInit(strIndex.c_str(), pszGetDBTableName(), strIndex.c_str(), 1, 0, NA_IT_BINAIRE, -1,
                       static_cast<int>(nGetNumKeys()), mapFlags[strIndex] | CNAItemDescription::KF_COMPOSITE, 0, 0);
            bool bOK = true;
            for (const std::wstring& strColumn : tab)
                bOK = bOK && _bAddItemComponent(pcl, strColumn.c_str());
            if (bOK)
                _AddItem(pcl);
            pcl->nRelease();
            if (!bOK)
                return 0;
        }
        return 1;
    }
};

// The MySQL driver whose table descriptions read information_schema, or the
// base description when told.
class CInfoSchemaDriver : public CMySQLDriver {
public:
    bool m_bBase = false;
    CNADataSourceDescription* pclAllocDataSourceDescription(CNAConnectionDescription* pcl, CNAError* pe) override
    {
        return m_bBase ? CNADriver::pclAllocDataSourceDescription(pcl, pe) : new CInfoSchemaDescription(pcl, pe);
    }
    // The driver core's probe, through a description.
    int _bTableExists(int* pbExists, const wchar_t* pszName, CNAConnectionDescription* pcl) override
    {
        return CNADriver::_bTableExists(pbExists, pszName, pcl);
    }
};

class DescriptionServer : public DriverServerTestOf<CInfoSchemaDriver> {
protected:
    DescriptionServer()
        : DriverServerTestOf("zt30desc", {"CREATE TABLE t (id INT PRIMARY KEY, name VARCHAR(20), price DECIMAL(8,2), "
                                          "d DATE, a INT, b VARCHAR(6), UNIQUE KEY ab (a, b), KEY byname (name)) "
                                          "ENGINE=InnoDB"})
    {
        m_pszConnectionName = L"zt30";
    }
};

struct STItemSeen {
    const wchar_t* pszName;
    const wchar_t* pszSource; // null: the description's own name
    const wchar_t* pszNameInSource;
    eNA_ITEMTYPE eType;
    int nKey;
    const wchar_t* pszDBType;
};

} // namespace

TEST_F(DescriptionServer, QueryDescribedFromItsResult)
{
    const int nCnx = Open();
    int nStmt = 0;
    ASSERT_EQ(m_piSQL->bExecute(&nStmt, nCnx, L"SELECT id, name AS n, price*2, d FROM t", nullptr, 0), 1)
        << Report();
    ASSERT_NE(nStmt, 0);
    INADataSourceDescription* pi = m_piSQL->piGetTableDesc(nCnx, nStmt, 0);
    ASSERT_NE(pi, nullptr) << Report();
    CNADataSourceDescription* pcl = static_cast<CNADataSourceDescription*>(pi);
    EXPECT_EQ(pcl->nGetExternalRef(), 1u);
    EXPECT_EQ(pcl->nGetRef(), 0u);
    // Named after the statement object, a decimal number.
    const std::wstring strName = pi->pszGetLogicalName();
    ASSERT_FALSE(strName.empty());
    EXPECT_EQ(strName.find_first_not_of(L"0123456789"), std::wstring::npos) << Narrow(strName.c_str());
    EXPECT_STREQ(pi->pszGetDBTableName(), strName.c_str());
    const STItemSeen aSeen[] = {
        {L"id", L"t", L"id", NA_IT_I4, -1, L"MYSQL_TYPE_LONG"},
        {L"n", L"t", L"name", NA_IT_UNICODE, -1, L"MYSQL_TYPE_VAR_STRING"},
        {L"price*2", nullptr, L"price*2", NA_IT_MONETAIRE, -1, L"MYSQL_TYPE_NEWDECIMAL"},
        {L"d", L"t", L"d", NA_IT_DATE8, -1, L"MYSQL_TYPE_DATE"},
    };
    ASSERT_EQ(pi->nGetNumItems(), 4u);
    EXPECT_EQ(pi->nGetNumKeys(), 0u);
    unsigned int nOffset = 0;
    for (unsigned int i = 0; i < 4; i++) {
        INAItemDescription* piItem = pi->piNAGetItem(i);
        ASSERT_NE(piItem, nullptr);
        EXPECT_STREQ(piItem->pszGetName(), aSeen[i].pszName) << "item " << i;
        EXPECT_STREQ(piItem->pszGetSourceName(), aSeen[i].pszSource != nullptr ? aSeen[i].pszSource : strName.c_str())
            << "item " << i;
        EXPECT_STREQ(piItem->pszGetNameInSource(), aSeen[i].pszNameInSource) << "item " << i;
        EXPECT_EQ(piItem->eNAGetItemType(), aSeen[i].eType) << "item " << i;
        EXPECT_EQ(piItem->nGetPhysicalIndice(), static_cast<int>(i)) << "item " << i;
        EXPECT_EQ(piItem->nGetKeyIndice(), aSeen[i].nKey) << "item " << i;
        EXPECT_EQ(piItem->nGetOffset(0), static_cast<int>(nOffset)) << "item " << i;
        EXPECT_GT(piItem->nGetItemSize(), 0u) << "item " << i;
        EXPECT_STREQ(piItem->pszGetDBType(), aSeen[i].pszDBType) << "item " << i;
        nOffset += piItem->nGetTotalSize();
        piItem->nExternalRelease();
    }
    EXPECT_EQ(pi->nGetMemoryRecordSize(), nOffset);
    EXPECT_EQ(pi->nExternalRelease(), 0u);

    // Statement 0, an unknown statement or connection: null.
    EXPECT_EQ(m_piSQL->piGetTableDesc(nCnx, 0, 0), nullptr);
    EXPECT_EQ(m_piSQL->piGetTableDesc(nCnx, nStmt + 1000, 0), nullptr);
    EXPECT_EQ(m_piSQL->piGetTableDesc(nCnx + 1000, nStmt, 0), nullptr);
    EXPECT_EQ(m_piSQL->bFreeStmt(nCnx, nStmt, 0), 1);
}

TEST_F(DescriptionServer, TableDescribedFromTheCatalogue)
{
    const int nCnx = Open();
    const int nResults = m_pfnResults();
    INADataSourceDescription* pi = m_piSQL->piGetTableDesc(nCnx, L"t", 0);
    ASSERT_NE(pi, nullptr) << Report();
    // Two catalogue queries, both results freed.
    EXPECT_EQ(m_pfnResults(), nResults + 2);
    EXPECT_EQ(m_pfnFreed(), m_pfnResults());
    EXPECT_STREQ(pi->pszGetLogicalName(), L"t");
    const wchar_t* const apszItem[] = {L"id", L"name", L"price", L"d", L"a", L"b", L"ab"};
    ASSERT_EQ(pi->nGetNumItems(), 7u);
    for (unsigned int i = 0; i < 7; i++) {
        INAItemDescription* piItem = pi->piNAGetItem(i);
        EXPECT_STREQ(piItem->pszGetName(), apszItem[i]) << "item " << i;
        piItem->nExternalRelease();
    }
    // Keys in index order: the composite ab, byname, then the primary.
    struct {
        const wchar_t* pszName;
        unsigned short nFlags;
    } const aKey[] = {
        {L"ab", CNAItemDescription::KF_COMPOSITE | CNAItemDescription::KF_UNIQUE},
        {L"name", CNAItemDescription::KF_DUPLICATES},
        {L"id", CNAItemDescription::KF_PRIMARY | CNAItemDescription::KF_UNIQUE},
    };
    ASSERT_EQ(pi->nGetNumKeys(), 3u);
    for (unsigned int i = 0; i < 3; i++) {
        CNAItemDescription* pclKey = static_cast<CNAItemDescription*>(pi->piNAGetKey(i));
        EXPECT_STREQ(pclKey->pszGetName(), aKey[i].pszName) << "key " << i;
        EXPECT_EQ(pclKey->nGetKeyFlags(), aKey[i].nFlags) << "key " << i;
        EXPECT_EQ(pclKey->nGetKeyIndice(), static_cast<int>(i)) << "key " << i;
        pclKey->nExternalRelease();
    }
    INAItemDescription* piAB = pi->piNAGetItem(L"AB");
    ASSERT_EQ(piAB->nGetNumComponents(), 2);
    for (int k = 1; k <= 2; k++) {
        INAItemDescription* piC = piAB->piGetItemComponent(k);
        EXPECT_STREQ(piC->pszGetName(), k == 1 ? L"a" : L"b");
        piC->nExternalRelease();
    }
    piAB->nExternalRelease();
    // Composite keys are outside the record on disk.
    EXPECT_EQ(pi->nGetMemoryRecordSize() - pi->nGetDiskRecordSize(), 4u + 6u);
    INAItemDescription* piBest = pi->piGetBestParseItemDesc();
    EXPECT_STREQ(piBest->pszGetName(), L"id");
    piBest->nExternalRelease();
    EXPECT_EQ(pi->nExternalRelease(), 0u);

    // A missing table is user error 30; an unknown number names nothing.
    EXPECT_EQ(m_piSQL->piGetTableDesc(nCnx, L"missing", 0), nullptr);
    EXPECT_EQ(m_piSQL->piGetLastError()->dwGetErrorId(), static_cast<unsigned int>(ZTERR_NO_COLUMN));
    EXPECT_STREQ(m_piSQL->piGetLastError()->pszGetLogicalTableName(), L"missing");
    EXPECT_EQ(m_piSQL->piGetTableDesc(nCnx + 1000, L"t", 0), nullptr);
    EXPECT_EQ(m_piSQL->piGetLastError()->dwGetErrorId(), 0u);

    // The base description has no catalogue: not offered.
    m_pDriver->m_bBase = true;
    EXPECT_EQ(m_piSQL->piGetTableDesc(nCnx, L"t", 0), nullptr);
    EXPECT_EQ(m_piSQL->piGetLastError()->dwGetErrorId(), static_cast<unsigned int>(ZTERR_NOT_OFFERED));
    EXPECT_EQ(m_piSQL->piGetLastError()->eGetErrorType(), NA_ERRORTYPE_NOTOFFERED);
    EXPECT_EQ(m_pfnFreed(), m_pfnResults());
}

TEST_F(DescriptionServer, TableProbeAndDescriptionsThroughTheDriver)
{
    struct {
        const char* pszCase;
        bool bBase;
        const wchar_t* pszTable;
        int bResult;
        int bExists;
        unsigned int nError;
    } const aCase[] = {
        {"existing", false, L"t", 1, 1, 0},
        {"missing", false, L"missing", 1, 0, ZTERR_NO_COLUMN},
        {"no catalogue", true, L"t", 0, 0, ZTERR_NOT_OFFERED},
    };
    for (const auto& c : aCase) {
        m_pDriver->m_bBase = c.bBase;
        int bExists = -1;
        EXPECT_EQ(m_pDriver->bTableExists(&bExists, c.pszTable, m_pHost), c.bResult) << c.pszCase;
        EXPECT_EQ(bExists, c.bExists) << c.pszCase;
        EXPECT_EQ(Code(), c.nError) << c.pszCase;
        // The connection made for the probe is gone with it.
        EXPECT_EQ(m_pDriver->nGetNbConnection(), 0u) << c.pszCase;
    }
    m_pDriver->m_bBase = false;
    INADataSourceDescription* pi = m_pDriver->piGetTableDesc(L"t", m_pHost);
    ASSERT_NE(pi, nullptr) << Report();
    // The connection opened for the description stays while the host holds it.
    EXPECT_EQ(m_pDriver->nGetNbConnection(), 1u);
    EXPECT_EQ(pi->nGetNumItems(), 7u);
    EXPECT_EQ(pi->nExternalRelease(), 0u);
    EXPECT_EQ(m_pDriver->nGetNbConnection(), 0u);
}

TEST_F(DescriptionServer, NestedTransactionsThroughTheDriver)
{
    // Commit on a connection the driver does not know: user error 14.
    EXPECT_EQ(m_pDriver->bTransactionCommit(m_pHost, L"T"), 0);
    EXPECT_EQ(Code(), static_cast<unsigned int>(ZTERR_NO_CONNECTION));
    EXPECT_NE(Report().find("zt30"), std::string::npos) << Report();
    EXPECT_EQ(m_pDriver->nGetNbConnection(), 0u);

    ASSERT_EQ(m_pDriver->bOpenConnection(m_pHost), 1) << Report();
    ASSERT_EQ(m_pDriver->bTransactionBegin(m_pHost, L"T"), 1) << Report();
    CNAConnectionDescription* pcl = m_pDriver->_pclFindConnection(m_pHost);
    ASSERT_NE(pcl, nullptr);
    CNAError* pError = m_pDriver->pclGetError();
    ASSERT_EQ(pcl->bExecuteQueryNoResult(pError, L"INSERT INTO t (id) VALUES (1)"), 1) << Report();
    ASSERT_EQ(m_pDriver->bTransactionBegin(m_pHost, L"T"), 1) << Report();
    ASSERT_EQ(pcl->bExecuteQueryNoResult(pError, L"INSERT INTO t (id) VALUES (2)"), 1) << Report();
    // Nothing is seen from outside yet.
    EXPECT_EQ(First("SELECT COUNT(*) FROM t"), "0");
    EXPECT_EQ(m_pDriver->bTransactionRollBack(m_pHost, L"T"), 1) << Report();
    EXPECT_EQ(m_pDriver->bTransactionCommit(m_pHost, L"T"), 1) << Report();
    EXPECT_EQ(List("SELECT id FROM t ORDER BY id"), Rows{"1"});
    m_pDriver->nReleaseConnection(pcl);
    EXPECT_EQ(m_pDriver->bCloseConnection(m_pHost), 1);
}
