// The driver's SQL interface, handed to the host as INADriverSQL. This is
// its reference counting and its links to the driver and the error object;
// the SQL interface itself is the back end's (it answers the host's slots).
#pragma once

#include "access/driver/INADriverSQL.h"

class CNADriver;
class CNAError;

class CNADriverSQL : public INADriverSQL {
public:
    // References the error object.
    CNADriverSQL(CNADriver* pclDriver, CNAError* pclError);
    CNADriverSQL(const CNADriverSQL&) = delete;
    CNADriverSQL& operator=(const CNADriverSQL&) = delete;

    INADriverSQL* ExternalAddRef() override;
    // The object is destroyed when a release brings one count to 0 while
    // the other is 0.
    int nExternalRelease() override;
    void AddRef() { m_nRef++; }
    unsigned int nRelease();
    unsigned int nGetRef() const { return m_nRef; }

    virtual ~CNADriverSQL();

protected:
    unsigned int m_nRef;
    int m_nExternalRef;
    CNADriver* m_pclDriver; // not referenced
    CNAError* m_pclError;   // one reference held
};
