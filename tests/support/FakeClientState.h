// What a stand-in client library was told and what it answers: each
// zt_fake_<scenario>.so exports FakeClient_pState() to the tests, which set
// its answers and read the calls it received.
#pragma once

struct STFakeClientState {
    // ---- Answers (set by the test) ------------------------------------------
    int bInitNull;        // mysql_init answers NULL
    int bConnectOK;       // mysql_real_connect succeeds
    int nOptionsResult;   // mysql_options' answer
    int nSslResult;       // mysql_ssl_set's answer
    int nQueryResult;     // mysql_real_query's answer (its error 1064)
    int bNoInfovVersion;  // mariadb_get_infov gives no version
    char szServerInfo[64]; // empty: "10.11.19-fake"
    char szClientInfo[64]; // empty: the scenario's own

    // ---- Calls (read by the test) ---------------------------------------------
    int nCalls;  // every client function
    int nInits;  // handles made
    int nCloses; // handles closed
    int nConnects;
    // The last connect's arguments; a null text is recorded as "(null)".
    char szHost[128];
    char szUser[128];
    char szPassword[128];
    char szDatabase[128];
    char szSocket[256];
    unsigned int nPort;
    unsigned long nFlags;
    // The last MYSQL_SET_CHARSET_NAME and the options calls in all.
    char szCharset[32];
    int nOptionsCalls;
    int nSslCalls;
    char szSslCA[256];
    // Every query text, each followed by '\n'.
    char szQueries[4096];
    // The last MYSQL_OPT_CONNECT_TIMEOUT and how many were given.
    unsigned int nConnectTimeout;
    int nConnectTimeoutCalls;

    // ---- Later additions ------------------------------------------------------------
    int bNoBackslashEscapes; // mysql_real_escape_string doubles quotes only
    int nRealEscapes;        // mysql_real_escape_string calls
    char szSslCipher[64];    // mysql_get_ssl_cipher's answer; empty: NULL
    // MYSQL_OPT_SSL_VERIFY_SERVER_CERT calls, the last value given, and the
    // answer to it (0: nOptionsResult's).
    int nVerifyServerCertCalls;
    int nVerifyServerCert;
    int nVerifyServerCertResult;
    int nServerEnds;         // mysql_server_end calls
};

typedef STFakeClientState* (*PFN_FakeClient_pState)();
