// The host's values of the named parameters of a query (its bind
// variables). The order of the operations is the contract with the host.
#pragma once

#include "access/driver/INAVersion.h"

class CAny;

class INAQueryParametersValue : public INAVersion {
public:
    virtual void ExternalAddRef() = 0;                              // 6
    virtual unsigned int nExternalRelease() = 0;                    // 7
    virtual void Reserved8() = 0;                                   // 8
    // Whether the host prepared the query's parameters.
    virtual int bHPrepareRequeteCalled() = 0;                       // 9
    // The value of a named parameter, null when the host has none.
    virtual const CAny* pclGetValue(const wchar_t* pszName) = 0;    // 10
    // Direction of a named parameter: 2 and 3 mean an output parameter.
    virtual int nGetParameterDirection(const wchar_t* pszName) = 0; // 11

protected:
    ~INAQueryParametersValue() = default;
};
