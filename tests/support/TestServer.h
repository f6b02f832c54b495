// Where the private test server listens. The test command starts it and sets
// these variables; a server test without them fails instead of skipping.
#pragma once

#include <chrono>
#include <string>
#include <thread>
#include <type_traits>

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

// The server ends a session, carries out a KILL or frees a lock on its own
// time after the client's call has returned: what it shows is read again
// until it is what the test wants or five seconds have passed. Returns the
// last reading, for the test to compare.
template <class F>
std::invoke_result_t<F&> ServerSettled(F&& fnRead, const std::invoke_result_t<F&>& want)
{
    const auto tEnd = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    auto got = fnRead();
    while (!(got == want) && std::chrono::steady_clock::now() < tEnd) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        got = fnRead();
    }
    return got;
}

// A second private server, without TLS, that a test starts for itself with
// the scripts' own steps (a data folder of its own under the build folder)
// and that stops with the object.
class CPlainServer {
public:
    CPlainServer() = default;
    CPlainServer(const CPlainServer&) = delete;
    CPlainServer& operator=(const CPlainServer&) = delete;
    ~CPlainServer();
    // False, with the script's output in strError, when it does not start;
    // the options go to the server.
    bool bStart(std::string& strError, const std::string& strOptions = "");
    unsigned nPort() const { return m_nPort; }
    // Killed by its pid (SIGKILL), and waited for until it is gone.
    void Kill();
    // Started again on the data and port it had, with its options.
    bool bRestart(std::string& strError);

private:
    // The script's last line read, after the command's output.
    static bool _bRun(const std::string& strCommand, std::string& strLast, std::string& strError);

    std::string m_strDir;
    std::string m_strOptions;
    unsigned m_nPort = 0;
    int m_nPid = 0;
};
