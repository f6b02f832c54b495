#include "tests/support/ServerDriver.h"

#include "common/platform/UTF8Buffer.h"
#include "tests/support/FakeClient.h"
#include "tests/support/TestHost.h"
#include "tests/support/ValueCells.h"

#include <dlfcn.h>
#include <unistd.h>

extern "C" {
int bInitLibrary(HINSTANCE hModule);
int bDLLCompatible(int nModule, int nVersion, int* pnRequired);
INADriver* piQueryInterface();
}

void StartDriverAndSQL(INADriver** ppiDriver, INADriverSQL** ppiSQL)
{
    BindValueMachine();
    bInitLibrary(nullptr);
    int n = 0;
    bDLLCompatible(7, 31, &n);
    bDLLCompatible(28, 31, &n);
    *ppiDriver = piQueryInterface();
    *ppiSQL = nullptr;
    if (*ppiDriver != nullptr) {
        (*ppiDriver)->bSetKX(static_cast<IKXForNA*>(TestHost().pKeyService()));
        *ppiSQL = static_cast<INADriverSQL*>((*ppiDriver)->piGetInterface(1));
    }
}

void StopDriverAndSQL(INADriver** ppiDriver, INADriverSQL** ppiSQL)
{
    if (*ppiSQL != nullptr)
        (*ppiSQL)->nExternalRelease();
    if (*ppiDriver != nullptr)
        (*ppiDriver)->nExternalRelease();
    *ppiSQL = nullptr;
    *ppiDriver = nullptr;
}

void DescribeTestServer(CHostConnectionDescription* p, const CTestServer& server, const wchar_t* pszName,
                        const std::string& strDatabase, const std::wstring& strPassword,
                        const std::wstring& strOptions)
{
    auto Wide = [](const std::string& s) { return std::wstring(s.begin(), s.end()); };
    p->SetText(CHostConnectionDescription::TXT_CONNECTIONNAME, pszName);
    p->SetText(CHostConnectionDescription::TXT_PROVIDER, L"MySQL");
    p->SetText(CHostConnectionDescription::TXT_DATASOURCE, Wide(server.strHost).c_str());
    p->SetText(CHostConnectionDescription::TXT_USER, Wide(server.strUser).c_str());
    p->SetText(CHostConnectionDescription::TXT_PASSWORD, strPassword.c_str());
    p->SetText(CHostConnectionDescription::TXT_DEFAULTDATABASE, Wide(strDatabase).c_str());
    p->SetText(CHostConnectionDescription::TXT_EXTENDEDINFO,
               (L"Server Port=" + std::to_wstring(server.nPort) + L";" + strOptions).c_str());
}

std::string ValueText(CAny& v)
{
    if (v.bIsNull())
        return "NULL";
    if (v.__nCastTo(TQTYPE_DSTRW, nullptr, 0) > 99)
        return "(not text)";
    return UTF8Of(TextW(v));
}

std::string HexaOf(const std::string& s)
{
    static const char szDigits[] = "0123456789ABCDEF";
    std::string strOut;
    for (unsigned char c : s) {
        strOut += szDigits[c >> 4];
        strOut += szDigits[c & 15];
    }
    return strOut;
}

std::string UTF8Of(const std::wstring& s)
{
    std::string strOut;
    for (wchar_t c : s) {
        if (c == 0) {
            strOut += '\0';
            continue;
        }
        CUTF8Buffer cl(std::wstring(1, c).c_str());
        strOut += cl.pszGet() != nullptr ? cl.pszGet() : "(not UTF-8)";
    }
    return strOut;
}

std::string AllBytes()
{
    std::string s;
    for (int i = 0; i < 256; i++)
        s += static_cast<char>(i);
    return s;
}

std::wstring Wide(const std::string& s)
{
    return std::wstring(s.begin(), s.end());
}

std::string Narrow(const wchar_t* psz)
{
    const std::wstring s = psz != nullptr ? psz : L"";
    return std::string(s.begin(), s.end());
}

std::string UniqueName(const std::string& strPrefix)
{
    static int s_n = 0;
    return strPrefix + "_" + std::to_string(getpid()) + "_" + std::to_string(++s_n);
}

std::string CountingClientPath()
{
    return FakeClientPath("zt_counting_client.so");
}

namespace {

void* CountingClientSymbol(const char* pszName)
{
    static void* s_h = dlopen(CountingClientPath().c_str(), RTLD_NOW | RTLD_LOCAL);
    return s_h != nullptr ? dlsym(s_h, pszName) : nullptr;
}

} // namespace

PFN_COUNT CountingClient(const char* pszCounter)
{
    return reinterpret_cast<PFN_COUNT>(CountingClientSymbol(pszCounter));
}

std::vector<std::string> CountingClientQueries(int nFrom)
{
    typedef const char* (*PFN_QUERY)(int);
    const auto pfnQuery = reinterpret_cast<PFN_QUERY>(CountingClientSymbol("CountingClient_pszQuery"));
    std::vector<std::string> tab;
    for (int i = nFrom; pfnQuery != nullptr; i++) {
        const char* psz = pfnQuery(i);
        if (psz == nullptr)
            break;
        tab.emplace_back(psz);
    }
    return tab;
}

void ServerTest::SetUp()
{
    BindValueMachine();
    std::string strError;
    ASSERT_TRUE(CTestServer::bGet(m_server, strError)) << strError;
    ASSERT_TRUE(m_clAdmin.bConnect(false, strError)) << strError;
    m_strDatabase = UniqueName(m_pszPrefix);
    ASSERT_TRUE(m_clAdmin.bExecute("CREATE DATABASE `" + m_strDatabase + "` CHARACTER SET utf8mb4", strError))
        << strError;
    ASSERT_TRUE(m_clAdmin.bExecute("USE `" + m_strDatabase + "`", strError)) << strError;
    for (const std::string& s : m_tabTables)
        ASSERT_TRUE(Admin(s));
}

void ServerTest::TearDown()
{
    std::string strError;
    if (!m_strDatabase.empty())
        m_clAdmin.bExecute("DROP DATABASE IF EXISTS `" + m_strDatabase + "`", strError);
}

bool ServerTest::Admin(const std::string& strSQL)
{
    const bool b = m_clAdmin.bExecute(strSQL, m_strAdminError);
    EXPECT_TRUE(b) << m_strAdminError << "\n" << strSQL;
    return b;
}

Rows ServerTest::List(const std::string& strSQL)
{
    Rows tab;
    std::string strError;
    EXPECT_TRUE(m_clAdmin.bList(strSQL, tab, strError)) << strError << "\n" << strSQL;
    return tab;
}

std::string ServerTest::First(const std::string& strSQL)
{
    const Rows tab = List(strSQL);
    return tab.empty() ? "(no row)" : tab[0];
}

CHostConnectionDescription* ServerTest::Host(const std::wstring& strOptions, const wchar_t* pszName)
{
    m_apHost.emplace_back(new CHostConnectionDescription);
    DescribeTestServer(m_apHost.back().get(), m_server, pszName, m_strDatabase, Wide(m_server.strPassword),
                       strOptions);
    return m_apHost.back().get();
}
