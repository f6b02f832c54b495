// Host queries on the private server in four sessions: UTF-8 and code page
// 1252 connections, each in the server's default mode and under
// NO_BACKSLASH_ESCAPES, with the checking client in the same mode.
#pragma once

#include "tests/support/HostQueryServer.h"

#include <algorithm>
#include <string>
#include <vector>

struct SSession {
    const char* pszName;
    bool bUTF8;
    bool bNoBackslash;
};

inline constexpr SSession kSessions[] = {
    {"UTF-8", true, false},
    {"1252", false, false},
    {"UTF-8 NO_BACKSLASH_ESCAPES", true, true},
    {"1252 NO_BACKSLASH_ESCAPES", false, true},
};

inline const wchar_t* ModeText(bool bNoBackslash)
{
    return bNoBackslash ? L"SET SESSION sql_mode = CONCAT(@@sql_mode, ',NO_BACKSLASH_ESCAPES')"
                        : L"SET SESSION sql_mode = REPLACE(@@sql_mode, 'NO_BACKSLASH_ESCAPES', '')";
}

// Ids in numeric order.
inline Rows Sorted(Rows tab)
{
    std::sort(tab.begin(), tab.end(),
              [](const std::string& a, const std::string& b) { return std::stoi(a) < std::stoi(b); });
    return tab;
}

class HostQuerySessionTest : public HostQueryServerTest {
protected:
    explicit HostQuerySessionTest(const char* pszPrefix) : HostQueryServerTest(pszPrefix) {}
    void TearDown() override
    {
        for (CHostConnectionDescription* p : m_tabOpened)
            EXPECT_EQ(m_piDriver->bCloseConnection(p), 1);
        HostQueryServerTest::TearDown();
    }
    // The host description of the session, its driver connection opened in
    // the session's mode; the checking client in the same mode.
    CHostConnectionDescription* Session(const SSession& st)
    {
        CHostConnectionDescription* pHost = st.bUTF8 ? m_pHost : m_p1252;
        if (pHost == nullptr)
            pHost = m_p1252 = HostOn(L"ZT Unicode Support=0", L"zt1252");
        if (std::find(m_tabOpened.begin(), m_tabOpened.end(), pHost) == m_tabOpened.end()) {
            EXPECT_EQ(m_piDriver->bOpenConnection(pHost), 1) << Report();
            m_tabOpened.push_back(pHost);
        }
        CNAConnectionDescription* pCnx = m_pDriver->_pclFindConnection(pHost);
        EXPECT_NE(pCnx, nullptr);
        if (pCnx != nullptr) {
            EXPECT_EQ(pCnx->bExecuteQueryNoResult(m_pDriver->pclGetError(), ModeText(st.bNoBackslash)), 1)
                << Report();
            EXPECT_EQ(pCnx->bBackslashEscapes(), st.bNoBackslash ? 0 : 1);
            pCnx->nRelease();
        }
        EXPECT_TRUE(Admin(Narrow(ModeText(st.bNoBackslash))));
        return pHost;
    }

    // The session's host description, and the catalogue of its connection
    // that later queries are parsed with.
    CHostConnectionDescription* Use(const SSession& st)
    {
        CHostConnectionDescription* pHost = Session(st);
        m_pCatalogue = Catalogue(pHost);
        return pHost;
    }
    // The query run on the session's connection, reported and null when it
    // does not run.
    CNATable* RunOn(const wchar_t* pszText, CHostConnectionDescription* pHost)
    {
        int b = 0;
        CNATable* p = Run(pszText, 0, &b, pHost);
        EXPECT_EQ(b, 1) << Report();
        EXPECT_NE(p, nullptr);
        return b == 1 ? p : nullptr;
    }

    CHostConnectionDescription* m_p1252 = nullptr;
    std::vector<CHostConnectionDescription*> m_tabOpened;
};
