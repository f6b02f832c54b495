// The driver of the MySQL back end: the driver object the host receives.
// Its factories make the MySQL forms of the driver's classes.
#pragma once

#include "access/driver/NaDriver.h"

class CMySQLDriver : public CNADriver {
public:
    // Browse SELECTs read 100 rows at a time unless the connection says.
    CMySQLDriver();
    ~CMySQLDriver() override;

    // ---- Replaced operations, in the driver's slot order ----------------------
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

    // The module's end: the back end's, then the driver core's; the answer
    // of the common shut-down.
    static int g_NATermModule();
};
