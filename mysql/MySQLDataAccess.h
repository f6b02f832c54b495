// The data access of the MySQL back end: the generic one, but a table's
// records are counted without a browse.
#pragma once

#include "access/table/NADataAccess.h"

class CMySQLDataAccess : public CNADataAccess {
public:
    CMySQLDataAccess(INADataSourceDescription* piDescription, CNAConnectionDescription* pclConnection,
                     CNAError* pclError);
    ~CMySQLDataAccess() override;

    // ---- Replaced operation, in the base's slot order ---------------------------
    // A table: 0 written (the server counts it), 1; a query: the base's answer.
    int bNbEnrNeedParse(int* pbNeedParse, const wchar_t* pszItem) override;
};
