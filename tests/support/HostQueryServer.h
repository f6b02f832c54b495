// What the host-query tests on the private server share: the MySQL driver
// as the host holds it, three tables (t with 30 rows out of key order, u
// joined to it, m for large values), queries parsed by the host stand-in
// and run through the driver's entry, and reads of the query's data access.
#pragma once

#include "access/driver/INADataSourceDescription.h"
#include "access/statement/NAColumn.h"
#include "access/statement/NARecord.h"
#include "access/statement/NARecordCache.h"
#include "access/statement/NAStatement.h"
#include "access/table/NADataAccess.h"
#include "access/table/NATable.h"
#include "common/platform/MyModuleInfo.h"
#include "common/values/Any.h"
#include "host/HostContext.h"
#include "host/HostQueryParametersValue.h"
#include "host/parse/HostSQLParse.h"
#include "tests/support/DriverServer.h"
#include "tests/support/ValueCells.h"

#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <string>
#include <vector>


inline constexpr eNA_LOCKTYPE kHostQueryNoLock = static_cast<eNA_LOCKTYPE>(0);

class HostQueryServerTest : public DriverServerTestOf<CMySQLDriver> {
protected:
    explicit HostQueryServerTest(const char* pszPrefix)
        : DriverServerTestOf<CMySQLDriver>(
              pszPrefix, {"CREATE TABLE t (id INT NOT NULL PRIMARY KEY, name VARCHAR(20) NULL, n INT NULL) "
                        "CHARACTER SET utf8mb4",
                        "CREATE TABLE u (k INT NOT NULL PRIMARY KEY, tid INT NULL)",
                        "CREATE TABLE m (id INT NOT NULL PRIMARY KEY, txt LONGTEXT NULL, bin LONGBLOB NULL) "
                        "CHARACTER SET utf8mb4"})
    {
    }
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(DriverServerTestOf<CMySQLDriver>::SetUp());
        BindValueMachine();
        ASSERT_TRUE(Admin(RowsOfT()));
        ASSERT_TRUE(Admin("INSERT INTO u VALUES (1, 7), (2, 14)"));
    }
    // The rows of t: n from 1 to 30, ids out of key order, names n0 to n4.
    static std::string RowsOfT()
    {
        std::string strSQL = "INSERT INTO t VALUES ";
        for (int i = 1; i <= 30; i++)
            strSQL += (i > 1 ? "," : "") + std::string("(") + std::to_string(i * 7 % 31) + ",'n" +
                      std::to_string(i % 5) + "'," + std::to_string(i) + ")";
        return strSQL;
    }
    void TearDown() override
    {
        for (INATable* pi : m_apTable) {
            for (CHostContext& ctx : m_tabContext)
                pi->bHFerme(&ctx);
            pi->nExternalRelease();
        }
        m_tabParse.clear();
        m_tabCatalogue.clear();
        EXPECT_EQ(m_clValues.m_nRef, 0u);
        DriverServerTestOf<CMySQLDriver>::TearDown();
    }
    // The catalogue of the connection's mode: the tables under their own names.
    CHostCatalogue* Catalogue(CHostConnectionDescription* pHost)
    {
        m_tabCatalogue.emplace_back(new CHostCatalogue);
        for (const wchar_t* psz : {L"t", L"u", L"m"}) {
            INADataSourceDescription* pi = m_piDriver->piGetTableDesc(psz, pHost);
            EXPECT_NE(pi, nullptr) << Report();
            if (pi != nullptr) {
                m_tabCatalogue.back()->Add(psz, psz, pi);
                pi->nExternalRelease();
            }
        }
        return m_tabCatalogue.back().get();
    }
    ISQLParserInformation* Parse(const std::wstring& strText, CHostCatalogue* pCatalogue)
    {
        std::wstring strError;
        m_tabParse.push_back(CHostSQLParse::pParse(strText.c_str(), pCatalogue, &m_clValues, &strError));
        EXPECT_NE(m_tabParse.back(), nullptr) << Narrow(strError.c_str());
        return m_tabParse.back().get();
    }
    // The query run by the driver's entry; its table object when kept.
    CNATable* Run(const std::wstring& strText, unsigned int nMode, int* pbResult = nullptr,
                  CHostConnectionDescription* pHost = nullptr)
    {
        if (pHost == nullptr)
            pHost = m_pHost;
        if (m_pCatalogue == nullptr)
            m_pCatalogue = Catalogue(pHost);
        ISQLParserInformation* pi = Parse(strText, m_pCatalogue);
        INATable* piTable = nullptr;
        const int b = m_piDriver->bHExecuteRequeteSQLEx(&piTable, Context(), L"Q", pHost, pi, nMode, nullptr);
        if (pbResult != nullptr)
            *pbResult = b;
        else
            EXPECT_EQ(b, 1) << Report();
        if (piTable != nullptr)
            m_apTable.push_back(piTable);
        return static_cast<CNATable*>(piTable);
    }
    CHostContext* Context()
    {
        if (m_tabContext.empty())
            m_tabContext.emplace_back(5, 1);
        return &m_tabContext.back();
    }
    CNADataAccess* Access(CNATable* p)
    {
        CNADataAccess* pAccess = p->_pclFindDataAccess(Context());
        if (pAccess != nullptr)
            pAccess->nRelease(); // the table keeps it
        return pAccess;
    }
    static std::string Value(CNADataAccess* p, const wchar_t* pszItem)
    {
        CNAColumn* pColumn = p->pclGetCurrentRecordNoRef()->pclGetColumnNoRef(pszItem);
        CAny v;
        if (pColumn == nullptr || !pColumn->bGetCurrentValue(&v, 0))
            return "(none)";
        if (v.bIsNull())
            return "NULL";
        const wchar_t* psz = nullptr;
        if (v.__nCastTo(TQTYPE_PSTRW, nullptr, 1) > 99 || v.pclGetTraitement()->nGetPCWSTR(&psz) > 99)
            return "(not text)";
        return UTF8Of(psz != nullptr ? psz : L"");
    }
    // The ids (or values of the item given) of a whole browse on the item,
    // forwards or backwards.
    Rows Walk(CNATable* p, const wchar_t* pszItem, bool bForward, bool bFromFirstRead = false, unsigned int nFlags = 0,
              const wchar_t* pszValue = L"id")
    {
        CNADataAccess* pAccess = Access(p);
        Rows tab;
        if (!bFromFirstRead) {
            EXPECT_EQ(pAccess->bHLitxxx(pszItem, bForward ? NA_PARSE_FIRST : NA_PARSE_LAST, 1, kHostQueryNoLock,
                                        nullptr, nFlags),
                      1)
                << Report();
        }
        int bOut = 0;
        while (pAccess->bHEndehors(pszItem, &bOut) && !bOut && tab.size() < 100) {
            tab.push_back(Value(pAccess, pszValue));
            EXPECT_EQ(pAccess->bHLitxxx(pszItem, bForward ? NA_PARSE_NEXT : NA_PARSE_PREVIOUS, 1, kHostQueryNoLock,
                                        nullptr, nFlags),
                      1);
        }
        return tab;
    }
    static Rows Reversed(Rows tab) { return Rows(tab.rbegin(), tab.rend()); }
    std::string DataError(CNATable* p) { return Narrow(Access(p)->pclGetError()->pszGetError()); }

    CHostQueryParametersValue m_clValues;
    std::vector<std::unique_ptr<CHostCatalogue>> m_tabCatalogue;
    CHostCatalogue* m_pCatalogue = nullptr;
    std::vector<std::unique_ptr<CHostSQLParse>> m_tabParse;
    std::vector<INATable*> m_apTable;
    std::deque<CHostContext> m_tabContext;
};

