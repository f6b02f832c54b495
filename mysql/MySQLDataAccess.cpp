#include "mysql/MySQLDataAccess.h"

CMySQLDataAccess::CMySQLDataAccess(INADataSourceDescription* piDescription, CNAConnectionDescription* pclConnection,
                                   CNAError* pclError)
    : CNADataAccess(piDescription, pclConnection, pclError)
{
}

CMySQLDataAccess::~CMySQLDataAccess() {}

int CMySQLDataAccess::bNbEnrNeedParse(int* pbNeedParse, const wchar_t* pszItem)
{
    if (bSourceIsQuery())
        return CNADataAccess::bNbEnrNeedParse(pbNeedParse, pszItem);
    if (pbNeedParse != nullptr)
        *pbNeedParse = 0;
    return 1;
}
