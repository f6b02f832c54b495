#include "tests/support/TestServer.h"

#include "tests/support/Paths.h"

#include <cstdio>
#include <cstdlib>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
const char* Env(const char* pszName)
{
    const char* pszValue = std::getenv(pszName);
    return pszValue != nullptr ? pszValue : "";
}

// A command running a function of the scripts' library.
std::string LibraryCall(const std::string& strCall)
{
    return "bash -c 'source \"" + SourcePath("scripts/lib.sh") + "\" && " + strCall + "'";
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

bool CPlainServer::_bRun(const std::string& strCommand, std::string& strLast, std::string& strError)
{
    FILE* p = popen(strCommand.c_str(), "r");
    if (p == nullptr) {
        strError = "cannot run the scripts";
        return false;
    }
    std::string strOut;
    char sz[512];
    while (std::fgets(sz, sizeof sz, p) != nullptr)
        strOut += sz;
    const int nStatus = pclose(p);
    const size_t nLast = strOut.find_last_of('\n', strOut.size() >= 2 ? strOut.size() - 2 : 0);
    strLast = strOut.substr(nLast == std::string::npos ? 0 : nLast + 1);
    if (nStatus != 0) {
        strError = strOut;
        return false;
    }
    return true;
}

bool CPlainServer::bStart(std::string& strError, const std::string& strOptions)
{
    m_strDir = BuildPath("mariadb-plain-" + std::to_string(getpid()));
    m_strOptions = strOptions;
    std::string strLast;
    const bool bRan =
        _bRun(LibraryCall("zt_plain_server_start \"" + m_strDir + "\" " + strOptions) + " 2>&1", strLast, strError);
    // The last line is "<port> <pid>".
    unsigned nPort = 0;
    int nPid = 0;
    if (!bRan || std::sscanf(strLast.c_str(), "%u %d", &nPort, &nPid) != 2) {
        strError = "the server without TLS did not start:\n" + strError;
        return false;
    }
    m_nPort = nPort;
    m_nPid = nPid;
    return true;
}

void CPlainServer::Kill()
{
    if (m_nPid <= 0)
        return;
    kill(m_nPid, SIGKILL);
    // Not our child: wait until it is gone.
    for (int i = 0; i < 100 && kill(m_nPid, 0) == 0; i++)
        usleep(100000);
    m_nPid = 0;
}

bool CPlainServer::bRestart(std::string& strError)
{
    std::string strLast;
    int nPid = 0;
    if (!_bRun(LibraryCall("zt_plain_server_restart \"" + m_strDir + "\" " + std::to_string(m_nPort) + " " +
                           m_strOptions) +
                   " 2>&1",
               strLast, strError) ||
        std::sscanf(strLast.c_str(), "%d", &nPid) != 1) {
        strError = "the server without TLS did not start again:\n" + strError;
        return false;
    }
    m_nPid = nPid;
    return true;
}

CPlainServer::~CPlainServer()
{
    if (m_nPid > 0) {
        kill(m_nPid, SIGTERM);
        // Not our child: wait until it is gone.
        for (int i = 0; i < 100 && kill(m_nPid, 0) == 0; i++)
            usleep(100000);
    }
    // Its folder, and that of its socket under /tmp.
    if (!m_strDir.empty())
        std::system(LibraryCall("zt_server_folder_remove \"" + m_strDir + "\"").c_str());
}
