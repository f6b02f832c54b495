// Server tests of the data access through the table object of the MySQL
// driver as the host calls it: tables opened in host contexts, reads,
// searches and the errors each context holds. The driver's data accesses
// count the positions they make and can be told to make none.
#pragma once

#include "access/driver/NAError.h"
#include "access/table/NADataAccess.h"
#include "access/table/NAPosition.h"
#include "access/table/NATable.h"
#include "common/values/Any.h"
#include "common/values/AnyConvert.h"
#include "access/statement/NAStatement.h"
#include "host/HostContext.h"
#include "host/HostQueryParametersValue.h"
#include "host/parse/HostSQLParse.h"
#include "mysql/MySQLDataAccess.h"
#include "mysql/MySQLDataSourceDescription.h"
#include "mysql/MySQLDriver.h"
#include "mysql/MySQLStatement.h"
#include "tests/support/AnyValue.h"
#include "tests/support/DriverServer.h"
#include "tests/support/HostTableServer.h"
#include "tests/support/StatementServer.h"
#include "tests/support/ValueCells.h"

#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace tableobject {

constexpr eNA_LOCKTYPE kNoLock = static_cast<eNA_LOCKTYPE>(0);
constexpr eNA_PRECISION kPrecision = static_cast<eNA_PRECISION>(0);
constexpr eNA_PARSEDIRECTION FIRST = static_cast<eNA_PARSEDIRECTION>(0), LAST = static_cast<eNA_PARSEDIRECTION>(1),
                             NEXT = static_cast<eNA_PARSEDIRECTION>(2), PREVIOUS = static_cast<eNA_PARSEDIRECTION>(3);

// A host integer built in place (values are not copied).
struct CInt : CAny {
    explicit CInt(int n) { Set(*this, TQTYPE_I4, n); }
};

// Positions that count the live ones; a data access may be told to make none.
class CCountedPosition : public CNAPosition {
public:
    static inline int s_nLive = 0;
    CCountedPosition() { s_nLive++; }
    ~CCountedPosition() override { s_nLive--; }
};

class CPositionAccess : public CMySQLDataAccess {
public:
    using CMySQLDataAccess::CMySQLDataAccess;
    static inline bool s_bRefuse = false;
    CNAPosition* pclAllocPosition() override { return s_bRefuse ? nullptr : new CCountedPosition; }
};

// Statements whose return to a position can be made to fail.
class CReturnStatement : public CMySQLStatement {
public:
    using CMySQLStatement::CMySQLStatement;
    static inline bool s_bFailReturn = false;
    int bSetPosition(CNAPosition* pclPosition, int eOption) override
    {
        return s_bFailReturn ? 0 : CMySQLStatement::bSetPosition(pclPosition, eOption);
    }
};

// Descriptions whose read of a table's items alone (a query's tables)
// fails while s_bUnreadable is set; whole descriptions read as ever.
class CItemsUnreadable : public CMySQLDataSourceDescription {
public:
    using CMySQLDataSourceDescription::CMySQLDataSourceDescription;
    static inline bool s_bUnreadable = false;
    int _bGetDataSourceInfo(int nOption) override
    {
        return s_bUnreadable && nOption == DB_ITEMS_ONLY ? 0
                                                          : CMySQLDataSourceDescription::_bGetDataSourceInfo(nOption);
    }
};

class CPositionDriver : public CMySQLDriver {
public:
    CNADataSourceDescription* pclAllocDataSourceDescription(CNAConnectionDescription* pConnection,
                                                            CNAError* pError) override
    {
        return new CItemsUnreadable(pConnection, pError);
    }
    // No statement at all while s_bNoStatement is set.
    static inline bool s_bNoStatement = false;
    CNAStatement* pclAllocStatement(CNADataAccess* pDataAccess, CNAConnectionDescription*, CNAError* pError) override
    {
        return s_bNoStatement ? nullptr : new CReturnStatement(pDataAccess, pError);
    }
    CNADataAccess* pclAllocDataAccess(INADataSourceDescription* piDescription, CNAConnectionDescription* pConnection,
                                      CNAError* pError) override
    {
        return new CPositionAccess(piDescription, pConnection, pError);
    }
};

// A table a query's catalogue names: by its server name, or by a logical
// name of the host's that maps to another server name.
struct STableName {
    STableName(const wchar_t* psz) : pszLogical(psz), pszServer(psz) {}
    STableName(const wchar_t* pszLogicalName, const wchar_t* pszServerName)
        : pszLogical(pszLogicalName), pszServer(pszServerName)
    {
    }
    const wchar_t* pszLogical;
    const wchar_t* pszServer;
};

class TableObjectServer : public HostTableServerTestOf<CPositionDriver> {
protected:
    using HostTableServerTestOf<CPositionDriver>::HostTableServerTestOf;

    void TearDown() override
    {
        CPositionAccess::s_bRefuse = false;
        CReturnStatement::s_bFailReturn = false;
        CPositionDriver::s_bNoStatement = false;
        CItemsUnreadable::s_bUnreadable = false;
        CloseTables();
        // The catalogue's descriptions hold the connection.
        m_tabQueryParse.clear();
        m_pQueryCatalogue.reset();
        m_tabQueryCatalogues.clear();
        HostTableServerTestOf<CPositionDriver>::TearDown();
        EXPECT_EQ(CCountedPosition::s_nLive, 0) << "a position outlived its data access";
    }
    // The query on the table named run by the driver's entry in the context,
    // in the mode given; its table object, closed by the tear-down.
    INATable* Run(const std::wstring& strText, const wchar_t* pszTable, CHostContext* pContext, unsigned int nMode)
    {
        if (!m_pQueryCatalogue) {
            m_pQueryCatalogue = Catalogue(m_pHost, {pszTable});
            if (!m_pQueryCatalogue)
                return nullptr;
        }
        return Execute(strText, m_pQueryCatalogue.get(), m_pHost, pContext, nMode);
    }
    // The same on the connection given, over a catalogue of the tables named
    // of its own.
    INATable* RunOn(CHostConnectionDescription* pHost, CHostContext* pContext, const std::wstring& strText,
                    std::initializer_list<STableName> tabTables,
                    unsigned int nMode = CNADataAccess::QM_MAY_MODIFY)
    {
        std::unique_ptr<CHostCatalogue> pCatalogue = Catalogue(pHost, tabTables);
        if (!pCatalogue)
            return nullptr;
        m_tabQueryCatalogues.push_back(std::move(pCatalogue));
        return Execute(strText, m_tabQueryCatalogues.back().get(), pHost, pContext, nMode);
    }
    // The user error the driver refuses the query with on the connection,
    // over the tables of the last query RunOn ran (on that connection),
    // before it sends anything of it; 0 when it takes the query.
    unsigned int QueryRefusal(CHostConnectionDescription* pHost, CHostContext* pContext, const wchar_t* pszText)
    {
        std::wstring strError;
        m_tabQueryParse.push_back(
            CHostSQLParse::pParse(pszText, m_tabQueryCatalogues.back().get(), &m_clQueryValues, &strError));
        if (m_tabQueryParse.back() == nullptr) {
            ADD_FAILURE() << Narrow(strError.c_str());
            return 0;
        }
        Sent();
        INATable* pi = nullptr;
        if (m_piDriver->bHExecuteRequeteSQLEx(&pi, pContext, L"Q", pHost, m_tabQueryParse.back().get(),
                                              CNADataAccess::QM_MAY_MODIFY, nullptr)) {
            if (pi != nullptr)
                Keep(pi);
            return 0;
        }
        EXPECT_EQ(pi, nullptr);
        EXPECT_EQ(Sent(), Rows());
        return m_pDriver->pclGetError()->nGetUserErrorCode();
    }
    // The connection in the code page (UTF-8, else 1252), reading results
    // in blocks of nBlock rows when given.
    CHostConnectionDescription* HostIn(bool bUTF8, int nBlock = 0)
    {
        if (nBlock == 0)
            return bUTF8 ? m_pHost : HostOn(L"ZT Unicode Support=0", L"zthostin1252");
        const std::wstring strBlock = L"ZT Cache Size=" + std::to_wstring(nBlock);
        return bUTF8 ? HostOn(strBlock, L"zthostinblock")
                     : HostOn(L"ZT Unicode Support=0;" + strBlock, L"zthostinblock1252");
    }
    // The query run in the context on that connection over the tables
    // named; from the cache (bCache), its browse on id read to its end
    // filled the whole-table cache.
    INATable* QueryIn(bool bUTF8, bool bCache, const std::wstring& strText, CHostContext* pContext,
                      std::initializer_list<STableName> tabTables, int nBlock = 0)
    {
        INATable* pi = RunOn(HostIn(bUTF8, nBlock), pContext, strText, tabTables);
        if (pi == nullptr || !bCache)
            return pi;
        Every(pi, pContext, L"id", CNADataAccess::WPF_CONTINUE, false, [](int) { return std::string(); });
        EXPECT_TRUE(Access(pi, pContext)->bHasTableCache());
        return pi;
    }
    // The error held: user error, debug line and item.
    static void ExpectError(INATable* pi, CHostContext* pContext, unsigned int nUserError, const wchar_t* pszPoint,
                            const char* pszItem)
    {
        CNAError* pError = ErrorOf(pi, pContext);
        EXPECT_EQ(pError->nGetUserErrorCode(), nUserError) << Narrow(pError->pszGetError());
        const wchar_t* pszDebug = pError->pclGetXError()->pszGetDebugMessage();
        EXPECT_NE(std::wstring(pszDebug != nullptr ? pszDebug : L"").find(pszPoint), std::wstring::npos)
            << Narrow(pError->pszGetError());
        EXPECT_EQ(pError->eGetErrorType(), NA_ERRORTYPE_GENERAL);
        EXPECT_EQ(Narrow(pError->pszGetItemName()), pszItem);
    }
    // The statement of the item's browse, kept by its data access.
    static CNAStatement* StatementOf(INATable* pi, CHostContext* pContext, const wchar_t* pszItem)
    {
        CNAStatement* p = Access(pi, pContext)->_pclFindStatement(pszItem);
        if (p != nullptr)
            p->nRelease();
        return p;
    }
    static int Read(INATable* pi, CHostContext* pContext, const wchar_t* pszItem, eNA_PARSEDIRECTION e)
    {
        return pi->bHLitxxx(pContext, pszItem, e, 1, kNoLock, nullptr, 0);
    }
    static bool Out(INATable* pi, CHostContext* pContext, const wchar_t* pszItem)
    {
        int bOut = 1;
        EXPECT_EQ(pi->bHEnDehors(pContext, pszItem, &bOut), 1);
        return bOut != 0;
    }
    // What fnSeen makes of each read of the browse on the item (its answer
    // given), from one end to the other, at most 50: a read that fails
    // goes on past its record.
    template <class F>
    static Rows Every(INATable* pi, CHostContext* pContext, const wchar_t* pszItem, unsigned int nFlags,
                      bool bBackward, F fnSeen)
    {
        Rows tab;
        for (eNA_PARSEDIRECTION e = bBackward ? LAST : FIRST; tab.size() < 50; e = bBackward ? PREVIOUS : NEXT) {
            const int bRead = pi->bHLitxxx(pContext, pszItem, e, 1, kNoLock, nullptr, nFlags);
            if (bRead == 1 && Out(pi, pContext, pszItem))
                break;
            tab.push_back(fnSeen(bRead));
        }
        return tab;
    }
    // The item's value in the record buffer the host holds, on the table's
    // own description (a query's too).
    static void PutItem(INATable* pi, CHostContext* pContext, const wchar_t* pszItem, const CAny& clValue)
    {
        INADataSourceDescription* piDescription = pi->piGetDataSourceDescription();
        ASSERT_NE(piDescription, nullptr);
        INAItemDescription* piItem = piDescription->piNAGetItem(pszItem);
        piDescription->nExternalRelease();
        ASSERT_NE(piItem, nullptr) << Narrow(pszItem);
        CNAKXRecord* pRecord = nullptr;
        ASSERT_EQ(pi->bGetRecord(pContext, &pRecord), 1) << Error(pi, pContext);
        pRecord->vSetItemValue(piItem, &clValue, 0);
        pRecord->nRelease();
        piItem->nExternalRelease();
    }
    // The values of an item, read on the browse item from the first on.
    static Rows Walk(INATable* pi, CHostContext* pContext, const wchar_t* pszItem, const wchar_t* pszValue)
    {
        Rows tab;
        EXPECT_EQ(Read(pi, pContext, pszItem, FIRST), 1) << Error(pi, pContext);
        while (!Out(pi, pContext, pszItem) && tab.size() < 100) {
            tab.push_back(Value(pi, pContext, pszValue));
            EXPECT_EQ(Read(pi, pContext, pszItem, NEXT), 1) << Error(pi, pContext);
        }
        return tab;
    }
    // The browse on the item to its third record from one end; its id.
    static std::string Third(INATable* pi, CHostContext* pContext, const wchar_t* pszItem, bool bFromFirst)
    {
        EXPECT_EQ(Read(pi, pContext, pszItem, bFromFirst ? FIRST : LAST), 1) << Error(pi, pContext);
        for (int i = 0; i < 2; i++)
            EXPECT_EQ(Read(pi, pContext, pszItem, bFromFirst ? NEXT : PREVIOUS), 1) << Error(pi, pContext);
        return Value(pi, pContext, L"id");
    }
    // The write texts sent since the last call.
    Rows Writes()
    {
        Rows tab;
        for (const std::string& s : Sent())
            if (s.compare(0, 7, "UPDATE ") == 0 || s.compare(0, 7, "DELETE ") == 0)
                tab.push_back(s);
        return tab;
    }
    // The found state of the item's browse (-1 when it cannot be asked).
    static int Found(INATable* pi, CHostContext* pContext, const wchar_t* pszItem)
    {
        int bFound = -1, bInRange = -1;
        return pi->bEvalHTrouve(pContext, pszItem, &bFound, &bInRange) ? bFound : -1;
    }
    int Save(INATable* pi, CHostContext* pContext, const wchar_t* pszItem)
    {
        int n = 0;
        EXPECT_EQ(pi->bHSauvePosition(pContext, pszItem, &n, 0), 1) << Error(pi, pContext);
        return n;
    }
    // Ends every session of the driver in the test's database from the
    // other client, and waits until the server lists none.
    void KillSessions()
    {
        const std::string strOthers =
            "FROM information_schema.PROCESSLIST WHERE DB = DATABASE() AND ID <> CONNECTION_ID()";
        const Rows tabIds = List("SELECT ID " + strOthers);
        ASSERT_FALSE(tabIds.empty());
        for (const std::string& strId : tabIds)
            ASSERT_TRUE(Admin("KILL " + strId));
        EXPECT_EQ(ServerSettled([&] { return First("SELECT COUNT(*) " + strOthers); }, std::string("0")), "0");
    }

    // Parses live until the tables are closed: the driver keeps their digest.
    CHostQueryParametersValue m_clQueryValues;
    std::unique_ptr<CHostCatalogue> m_pQueryCatalogue;
    std::vector<std::unique_ptr<CHostCatalogue>> m_tabQueryCatalogues;
    std::vector<std::unique_ptr<CHostSQLParse>> m_tabQueryParse;

private:
    // The tables' descriptions as the host holds them on the connection;
    // null when one cannot be had.
    std::unique_ptr<CHostCatalogue> Catalogue(CHostConnectionDescription* pHost,
                                              std::initializer_list<STableName> tabTables)
    {
        BindValueMachine();
        std::unique_ptr<CHostCatalogue> pCatalogue(new CHostCatalogue);
        for (const STableName& st : tabTables) {
            INADataSourceDescription* pi = HostDescription(st.pszServer, pHost);
            EXPECT_NE(pi, nullptr) << Report();
            if (pi == nullptr)
                return nullptr;
            pCatalogue->Add(st.pszLogical, st.pszServer, pi);
            pi->nExternalRelease();
        }
        return pCatalogue;
    }
    INATable* Execute(const std::wstring& strText, CHostCatalogue* pCatalogue, CHostConnectionDescription* pHost,
                      CHostContext* pContext, unsigned int nMode)
    {
        std::wstring strError;
        m_tabQueryParse.push_back(CHostSQLParse::pParse(strText.c_str(), pCatalogue, &m_clQueryValues, &strError));
        EXPECT_NE(m_tabQueryParse.back(), nullptr) << Narrow(strError.c_str());
        INATable* pi = nullptr;
        EXPECT_EQ(m_piDriver->bHExecuteRequeteSQLEx(&pi, pContext, L"Q", pHost, m_tabQueryParse.back().get(), nMode,
                                                    nullptr),
                  1)
            << Report();
        if (pi != nullptr)
            Keep(pi);
        return pi;
    }
};

} // namespace tableobject
