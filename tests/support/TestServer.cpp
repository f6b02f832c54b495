#include "tests/support/TestServer.h"

#include <cstdlib>

namespace {
const char* Env(const char* pszName)
{
    const char* pszValue = std::getenv(pszName);
    return pszValue != nullptr ? pszValue : "";
}
}  // namespace

bool CTestServer::bGet(CTestServer& server, std::string& strError)
{
    server.strHost = Env("ZT_TEST_HOST");
    server.nPort = static_cast<unsigned>(std::strtoul(Env("ZT_TEST_PORT"), nullptr, 10));
    server.strSocket = Env("ZT_TEST_SOCKET");
    server.strUser = Env("ZT_TEST_USER");
    server.strPassword = Env("ZT_TEST_PASSWORD");
    server.strDatabase = Env("ZT_TEST_DATABASE");
    server.strSSLCA = Env("ZT_TEST_SSL_CA");
    if (server.strHost.empty() || server.nPort == 0 || server.strUser.empty()) {
        strError = "ZT_TEST_HOST, ZT_TEST_PORT and ZT_TEST_USER are not set: run the tests through "
                   "scripts/test.sh, which starts the private server";
        return false;
    }
    return true;
}
