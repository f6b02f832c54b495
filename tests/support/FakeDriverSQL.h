// The SQL interface over a driver whose connections open without a server
// and whose statements record what they are given to send; a text may be
// given a scripted result or a refusal.
#pragma once

#include "access/driver/NADriverSQL.h"

#include "access/driver/NAConnectionDescription.h"
#include "access/driver/NAError.h"
#include "access/driver/NATransaction.h"
#include "access/driver/NaDriver.h"
#include "common/platform/MyModuleInfo.h"
#include "host/HostConnectionDescription.h"
#include "tests/support/CountingConnection.h"
#include "tests/support/RecordingStatementSQL.h"
#include "tests/support/ValueCells.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

extern "C" int bInitLibrary(HINSTANCE hModule);

namespace {

typedef CHostConnectionDescription CHost;

// What the fakes of one test went through.
struct STWorld : STConnectionCounts {
    int nStatementsMade = 0;
    int nStatementsDestroyed = 0;
    int nTransactionsMade = 0;
    int nTransactionsDestroyed = 0;
    bool bThrow = false;
    bool bNoConnectionObject = false;
    // Every text any statement sent, in order.
    std::vector<std::string> astrSent;
    // Results by exact text: the column names, then the rows (null: NULL).
    struct STResult {
        std::vector<std::wstring> tabColumn;
        std::vector<std::vector<const wchar_t*>> tabRow;
    };
    std::map<std::string, STResult> mapResult;
    // Texts refused, and texts whose fetch fails.
    std::set<std::string> setRefused;
    std::set<std::string> setFetchFails;
};

class CFakeTransaction : public CNATransaction {
public:
    CFakeTransaction(CNAConnectionDescription* pcl, STWorld* pst) : CNATransaction(pcl), m_pst(pst)
    {
        m_pst->nTransactionsMade++;
    }
    ~CFakeTransaction() override { m_pst->nTransactionsDestroyed++; }

private:
    STWorld* m_pst;
};

class CFakeConnection : public CCountingConnection {
public:
    CFakeConnection(const wchar_t* pszId, INAConnectionDescription* pi, STWorld* pst)
        : CCountingConnection(pszId, pi, pst), m_pst(pst)
    {
        m_nCnxCodePage = 65001;
        m_eDataSource = DS_MYSQL;
    }
    CNATransaction* pclAllocTransaction() override { return new CFakeTransaction(this, m_pst); }
    void SetDataSource(eDATASOURCE e) { m_eDataSource = e; }

private:
    STWorld* m_pst;
};

// A recording statement whose result follows its text: "SELECT" texts have
// two columns and three rows (one value NULL), "FAIL" texts are refused.
class CFakeStatement : public CRecordingStatementSQL {
public:
    CFakeStatement(CNAConnectionDescription* pcl, CNAError* pError, STWorld* pst)
        : CRecordingStatementSQL(pcl, pError), m_pst(pst)
    {
        m_pst->nStatementsMade++;
    }
    ~CFakeStatement() override { m_pst->nStatementsDestroyed++; }
    int _bExecuteDirect(const char* pszText, CTabValParser* pParameters, unsigned int nFlags) override
    {
        const std::string s = pszText != nullptr ? pszText : "";
        m_pst->astrSent.push_back(s);
        if (s.compare(0, 5, "THROW") == 0)
            throw std::runtime_error("statement broke");
        m_bFailExecution = s.compare(0, 4, "FAIL") == 0;
        if (s.compare(0, 6, "SELECT") == 0) {
            m_tabColumnName = {L"id", L"name"};
            m_tabRow = {{L"1", L"one"}, {L"2", nullptr}, {L"3", L"three"}};
        }
        const auto it = m_pst->mapResult.find(s);
        if (it != m_pst->mapResult.end()) {
            m_tabColumnName = it->second.tabColumn;
            m_tabRow = it->second.tabRow;
        }
        m_bFailExecution = m_bFailExecution || m_pst->setRefused.count(s) > 0;
        m_bFailFetch = m_pst->setFetchFails.count(s) > 0;
        return CRecordingStatementSQL::_bExecuteDirect(pszText, pParameters, nFlags);
    }

private:
    STWorld* m_pst;
};

class CFakeDriverSQL : public CNADriverSQL {
public:
    CFakeDriverSQL(CNADriver* pclDriver, CNAError* pError, STWorld* pst) : CNADriverSQL(pclDriver, pError), m_pst(pst) {}
    CNAStatementSQL* pclAllocStatementSQL(CNAConnectionDescription* pcl, CNAError* pError) override
    {
        if (m_pst->bThrow)
            throw std::runtime_error("statement factory broke");
        return new CFakeStatement(pcl, pError, m_pst);
    }

private:
    STWorld* m_pst;
};

class CFakeDriver : public CNADriver {
public:
    explicit CFakeDriver(STWorld* pst) : m_pst(pst) {}
    CNAConnectionDescription* _pclAllocConnectionDescription(const wchar_t* pszId,
                                                             INAConnectionDescription* pi) override
    {
        return m_pst->bNoConnectionObject ? nullptr : new CFakeConnection(pszId, pi, m_pst);
    }
    CNADriverSQL* _pclAllocDriverSQL(CNAError* pError) override { return new CFakeDriverSQL(this, pError, m_pst); }

private:
    STWorld* m_pst;
};

class DriverSQL : public testing::Test {
protected:
    void SetUp() override
    {
        BindValueMachine();
        bInitLibrary(nullptr);
        m_pDriver = new CFakeDriver(&m_st);
        m_pDriver->ExternalAddRef();
        ASSERT_EQ(m_pDriver->bInitDriver(), 1);
        CNADriver::s_pclDriver = m_pDriver;
        m_pSQL = static_cast<INADriverSQL*>(m_pDriver->piGetInterface(1));
        ASSERT_NE(m_pSQL, nullptr);
        m_host.SetText(CHost::TXT_CONNECTIONNAME, L"cnx");
        m_host.SetText(CHost::TXT_PROVIDER, L"MySQL");
        m_host.SetText(CHost::TXT_DATASOURCE, L"127.0.0.1");
        m_host.SetText(CHost::TXT_USER, L"root");
        m_host.SetText(CHost::TXT_PASSWORD, L"secret");
    }
    void TearDown() override
    {
        if (m_pSQL != nullptr) {
            EXPECT_EQ(m_pSQL->nExternalRelease(), 0);
        }
        if (m_pDriver != nullptr) {
            EXPECT_EQ(m_pDriver->nExternalRelease(), 0);
        }
        CNADriver::s_pclDriver = nullptr;
        // Each object of the test destroyed once.
        EXPECT_EQ(m_st.nDestroyed, m_st.nMade);
        EXPECT_EQ(m_st.nStatementsDestroyed, m_st.nStatementsMade);
        EXPECT_EQ(m_st.nTransactionsDestroyed, m_st.nTransactionsMade);
    }
    int Open()
    {
        int n = -1;
        EXPECT_EQ(m_pSQL->bOpenConnection(&n, &m_host), 1);
        return n;
    }
    int Execute(int nCnx, const wchar_t* pszQuery, int* pbResult = nullptr)
    {
        int n = -1;
        const int b = m_pSQL->bExecute(&n, nCnx, pszQuery, nullptr, 0);
        if (pbResult != nullptr)
            *pbResult = b;
        return n;
    }
    unsigned int Code() { return m_pSQL->piGetLastError()->dwGetErrorId(); }
    std::vector<std::string> Sent()
    {
        std::vector<std::string> a;
        a.swap(m_st.astrSent);
        return a;
    }
    CFakeConnection* Connection(int n)
    {
        CNAConnectionDescription* pcl = m_pDriver->pclGetConnectionByID(n);
        if (pcl == nullptr)
            return nullptr;
        pcl->nRelease();
        return static_cast<CFakeConnection*>(pcl);
    }

    STWorld m_st;
    CHost m_host;
    CFakeDriver* m_pDriver = nullptr;
    INADriverSQL* m_pSQL = nullptr;
};

typedef std::vector<std::string> Texts;

} // namespace
