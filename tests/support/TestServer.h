// Where the private test server listens. The test command starts it and sets
// these variables; a server test without them fails instead of skipping.
#pragma once

#include <string>

struct CTestServer {
    std::string strHost;
    unsigned nPort = 0;
    std::string strSocket;
    std::string strUser;
    std::string strPassword;
    std::string strDatabase;
    // The CA file of the server's certificate.
    std::string strSSLCA;

    // False, with the reason in strError, when the variables are missing.
    static bool bGet(CTestServer& server, std::string& strError);
};

// A second private server, without TLS, that a test starts for itself with
// the scripts' own steps (a data folder of its own under the build folder)
// and that stops with the object.
class CPlainServer {
public:
    CPlainServer() = default;
    CPlainServer(const CPlainServer&) = delete;
    CPlainServer& operator=(const CPlainServer&) = delete;
    ~CPlainServer();
    // False, with the script's output in strError, when it does not start.
    bool bStart(std::string& strError);
    unsigned nPort() const { return m_nPort; }

private:
    std::string m_strDir;
    unsigned m_nPort = 0;
    int m_nPid = 0;
};
