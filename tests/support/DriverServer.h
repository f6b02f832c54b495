// A server test with the MySQL driver as the host holds it (INADriver and
// its SQL interface), on the client library that counts handles and
// results and keeps the query texts; the connection it opens may present
// itself as a server of an older version.
#pragma once

#include "access/driver/NAError.h"
#include "mysql/MySQLConnection.h"
#include "mysql/MySQLDriver.h"
#include "tests/support/ServerDriver.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

extern "C" int bInitLibrary(HINSTANCE hModule);

// A MySQL connection that reads its server's version as the text given.
class CVersionedConnection : public CMySQLConnection {
public:
    CVersionedConnection(const wchar_t* pszId, INAConnectionDescription* pi, const wchar_t* pszVersion)
        : CMySQLConnection(pszId, pi), m_csVersion(pszVersion)
    {
    }
    int _bDecomposeServerVersion(CNAError* pError) override
    {
        m_csServerVersion = m_csVersion;
        return CMySQLConnection::_bDecomposeServerVersion(pError);
    }

private:
    CTString m_csVersion;
};

// The MySQL driver whose new connections read the version set, if any.
class CVersionedDriver : public CMySQLDriver {
public:
    CTString m_csVersion;
    CNAConnectionDescription* _pclAllocConnectionDescription(const wchar_t* pszId,
                                                             INAConnectionDescription* pi) override
    {
        if (m_csVersion.nTaille() == 0)
            return CMySQLDriver::_pclAllocConnectionDescription(pszId, pi);
        return new CVersionedConnection(pszId, pi, m_csVersion.pszGet());
    }
};

// The fixture with a driver of the type given (a CMySQLDriver).
template <class TDriver>
class DriverServerTestOf : public ServerTest {
protected:
    using ServerTest::ServerTest;

    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(ServerTest::SetUp());
        bInitLibrary(nullptr);
        m_pfnResults = CountingClient("CountingClient_nResults");
        m_pfnFreed = CountingClient("CountingClient_nResultsFreed");
        m_pfnQueries = CountingClient("CountingClient_nQueries");
        ASSERT_NE(m_pfnResults, nullptr);
        ASSERT_NE(m_pfnFreed, nullptr);
        ASSERT_NE(m_pfnQueries, nullptr);
        m_pDriver = new TDriver;
        CNADriver::s_pclDriver = m_pDriver;
        m_pDriver->ExternalAddRef();
        ASSERT_EQ(m_pDriver->bInitDriver(), 1);
        m_piDriver = m_pDriver;
        m_piSQL = static_cast<INADriverSQL*>(m_piDriver->piGetInterface(1));
        ASSERT_NE(m_piSQL, nullptr);
        m_pHost = HostOn(L"", m_pszConnectionName);
        m_nQueries = m_pfnQueries();
    }
    void TearDown() override
    {
        if (m_piSQL != nullptr) {
            for (int n : m_anOpened)
                m_piSQL->bCloseConnection(n);
            m_piSQL->nExternalRelease();
        }
        if (m_pDriver != nullptr) {
            EXPECT_EQ(m_pDriver->nGetNbConnection(), 0u);
            m_pDriver->nExternalRelease();
        }
        // Every result the driver took was freed.
        if (m_pfnResults != nullptr && m_pfnFreed != nullptr) {
            EXPECT_EQ(m_pfnResults(), m_pfnFreed());
        }
        ServerTest::TearDown();
    }
    // A host description of the test user on the counting client library.
    CHostConnectionDescription* HostOn(const std::wstring& strOptions, const wchar_t* pszName)
    {
        return Host(L"ZT CLIENT LIBRARY=" + Wide(CountingClientPath()) + L";" + strOptions, pszName);
    }
    // A connection of the SQL interface, closed by TearDown.
    int Open(CHostConnectionDescription* pHost = nullptr)
    {
        int n = 0;
        EXPECT_EQ(m_piSQL->bOpenConnection(&n, pHost != nullptr ? pHost : m_pHost), 1) << Report();
        if (n > 0)
            m_anOpened.push_back(n);
        return n;
    }
    // The texts sent since the last call (or the set-up), but the session
    // set-up of each connection.
    std::vector<std::string> Sent()
    {
        std::vector<std::string> tab;
        for (const std::string& s : CountingClientQueries(m_nQueries)) {
            m_nQueries++;
            if (s.compare(0, 10, "SET NAMES ") != 0)
                tab.push_back(s);
        }
        return tab;
    }
    std::string Report() { return Narrow(m_pDriver->pclGetError()->pszGetError()); }
    unsigned int Code() { return m_pDriver->pclGetError()->dwGetErrorId(); }
    unsigned int ServerCode() { return m_pDriver->pclGetError()->dwGetDataBaseErrorCode(); }

    // The name of the set-up's host description.
    const wchar_t* m_pszConnectionName = L"ztcat";
    CHostConnectionDescription* m_pHost = nullptr;
    TDriver* m_pDriver = nullptr;
    INADriver* m_piDriver = nullptr;
    INADriverSQL* m_piSQL = nullptr;
    std::vector<int> m_anOpened;
    PFN_COUNT m_pfnResults = nullptr;
    PFN_COUNT m_pfnFreed = nullptr;
    PFN_COUNT m_pfnQueries = nullptr;
    int m_nQueries = 0;
};

typedef DriverServerTestOf<CVersionedDriver> DriverServerTest;
