// Values of a table's automatic identifier computed on the client side: the
// next one for a new record and the current maximum. Not built yet: both
// answer user error 8 of kind 7.
#pragma once

#include "access/driver/Interf.h"

class CAny;
class CNAColumn;
class CNADataAccess;
class CNAError;

class CNAIDAuto : public CInterf {
public:
    enum : int {
        // Source-file number in the debug line.
        ERRFILE_IDAUTO = 71,
    };

    CNAIDAuto() = default;
    ~CNAIDAuto() override;

    virtual int bGetNextValue(CNADataAccess* pclDataAccess, CNAColumn* pclColumn, CNAError* pclError, CAny* pValue);
    virtual int bGetMaxCurrentValue(CNADataAccess* pclDataAccess, CNAColumn* pclColumn, CNAError* pclError,
                                    CAny* pValue);
};
