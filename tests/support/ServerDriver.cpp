#include "tests/support/ServerDriver.h"

#include "common/platform/UTF8Buffer.h"
#include "tests/support/TestHost.h"
#include "tests/support/ValueCells.h"

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
