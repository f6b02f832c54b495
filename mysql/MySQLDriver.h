// The driver of the MySQL back end: the driver object the host receives.
// Its factories make the MySQL forms of the driver's classes.
#pragma once

#include "access/driver/NaDriver.h"

class CMySQLDriver : public CNADriver {
public:
    // Browse SELECTs read 100 rows at a time unless the connection says.
    CMySQLDriver();
    ~CMySQLDriver() override;

    // The module's end: the back end's, then the driver core's; the answer
    // of the common shut-down.
    static int g_NATermModule();
};
