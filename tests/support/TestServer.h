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
