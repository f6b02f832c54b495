// The host's options for running one query: the item the host wants the
// result browsed on and the browse flags. The order of the operations is
// the contract with the host.
#pragma once

#include "access/driver/INAVersion.h"

class INAQueryExecution : public INAVersion {
public:
    virtual void ExternalAddRef() = 0;                   // 6
    virtual unsigned int nExternalRelease() = 0;         // 7
    // The item to browse on; null or empty for the query's own choice.
    virtual const wchar_t* pszGetParseItem() const = 0;  // 8
    // The browse flags (NA_WRITEPARSEFLAGS) of the first read.
    virtual unsigned int nGetParseFlags() const = 0;     // 9

protected:
    ~INAQueryExecution() = default;
};
