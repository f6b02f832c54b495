// The host's description of a connection, as the driver reads it. The host
// runtime implements it; the order of the operations is the contract with
// the host, and the places the driver never calls keep their slots.
#pragma once

#include "access/driver/INAVersion.h"

// Access mode answered by eGetAccess: 1 is read only, any other read-write.
enum eNA_ACCESSMODE : int {
    NA_ACCESS_READ = 1,
};

// Five version operations, then 21 (26 in all).
class INAConnectionDescription : public INAVersion {
public:
    virtual unsigned int AddRef() = 0;
    virtual unsigned int Release() = 0;
    // The texts answer null when the host has none; null differs from empty.
    virtual const wchar_t* pszGetUserName() = 0;
    virtual const wchar_t* pszGetPassword() = 0;
    // The data source: the server's host.
    virtual const wchar_t* pszGetDataSource() = 0;
    virtual const wchar_t* pszGetDescription() = 0;
    virtual eNA_ACCESSMODE eGetAccess() = 0;
    virtual int nGetNbParam() = 0;
    // The host's parameter object of that index (0 to count - 1).
    virtual void* pclGetParam(int nIndex) = 0;
    virtual const wchar_t* pszGetProvider() = 0;
    virtual int nGetDefaultConnectionTimeout() = 0;
    virtual int nGetDefaultCommandTimeout() = 0;
    virtual const wchar_t* pszGetExtendedInfo() = 0;
    // The text of the host's connection-name object; null means empty.
    virtual const wchar_t* pszGetConnectionName() = 0;
    virtual int lGetCursorOptions() = 0;
    virtual void Reserved16() = 0;
    virtual const wchar_t* pszGetDefaultDataBase() = 0;
    // Asked only when nGetVersion answers more than 3.
    virtual long long llGetCacheSize() = 0;
    virtual void Reserved19() = 0;
    virtual void Reserved20() = 0;
    virtual const wchar_t* pszGetLogicalConnectionName() = 0;

protected:
    ~INAConnectionDescription() = default;
};
