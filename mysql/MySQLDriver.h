// The driver of the MySQL back end: the driver object the host receives.
// Its factories make the MySQL forms of the driver's classes.
#pragma once

#include "access/driver/NaDriver.h"

class CMySQLDriver : public CNADriver {
public:
    enum : int {
        // Source-file number of this file in the debug line.
        ERRFILE_MYSQLDRIVER = 103,
    };

    // Browse SELECTs read 100 rows at a time unless the connection says.
    CMySQLDriver();
    ~CMySQLDriver() override;

    // ---- Replaced operations, in the driver's slot order ----------------------
    // Lock through the SQL interface on the registered connection (user
    // error 14 at 103.1 when there is none): "SELECT * FROM <table> FOR
    // UPDATE", rows dropped. Resets the error first and holds the driver
    // mutex for the whole call, the server's wait included.
    int bSQLBloqueTable(INAConnectionDescription* piDescription, const wchar_t* pszTable) override;
    // The same for the rows of a parsed query (user error 14 at 103.2): the
    // parse's text with " FOR UPDATE" through the SQL interface; a parse
    // without text is refused by the connection.
    int bSQLBloqueRequete(INAConnectionDescription* piDescription, ISQLParserInformation* piParser) override;
    // A CMySQLDataSourceDescription; null without memory.
    CNADataSourceDescription* pclAllocDataSourceDescription(CNAConnectionDescription* pConnection,
                                                            CNAError* pError) override;
    // A CMySQLDataAccess (count 0); null without memory.
    CNADataAccess* pclAllocDataAccess(INADataSourceDescription* piDescription, CNAConnectionDescription* pConnection,
                                      CNAError* pError) override;
    // After a crash caught in the client library: debug message 3355 with
    // the oldest supported client version and the loaded one (empty
    // without a connection).
    void OnFatalErrorAddDebugMessage(CNAError* pError, CNAConnectionDescription* pConnection) override;
    // A CMySQLStatement (count 0); the connection is not passed on.
    CNAStatement* pclAllocStatement(CNADataAccess* pDataAccess, CNAConnectionDescription* pConnection,
                                    CNAError* pError) override;
    // A CMySQLConnection; null without memory.
    CNAConnectionDescription* _pclAllocConnectionDescription(const wchar_t* pszIdentification,
                                                             INAConnectionDescription* piDescription) override;
    // The MySQL SQL interface, reporting into the driver's error object;
    // null without memory.
    CNADriverSQL* _pclAllocDriverSQL(CNAError* pError) override;
    // Probes with SHOW COLUMNS: 1 exists; server error 1146 is an answer
    // (0, success, the error kept); any other failure fails.
    int _bTableExists(int* pbExists, const wchar_t* pszName, CNAConnectionDescription* pConnection) override;

    // The module's end: the back end's, then the driver core's; the answer
    // of the common shut-down.
    static int g_NATermModule();
};
