#include "mysql/MySQLDriverSQL.h"

#include "access/driver/NAConnectionDescription.h"
#include "common/text/TStringArray.h"
#include "common/text/TStringConcatAW.h"
#include "common/text/XYStringConcat.h"
#include "common/values/Any.h"
#include "mysql/MySQLStatementSQL.h"

#include <new>
#include <string>

namespace {

const wchar_t kColumnTypes[] = L"bit\t1\r\n"
                               L"tinyint\t2\r\n"
                               L"tinyint unsigned\t2\r\n"
                               L"smallint\t13\r\n"
                               L"smallint unsigned\t13\r\n"
                               L"mediumint\t12\r\n"
                               L"mediumint unsigned\t12\r\n"
                               L"integer\t12\r\n"
                               L"integer unsigned\t12\r\n"
                               L"int\t12\r\n"
                               L"int unsigned\t12\r\n"
                               L"bigint\t3\r\n"
                               L"bigint unsigned\t3\r\n"
                               L"numeric\t10\r\n"
                               L"decimal\t11\r\n"
                               L"real\t15\r\n"
                               L"float\t15\r\n"
                               L"double\t16\r\n"
                               L"char\t9\r\n"
                               L"varchar\t20\r\n"
                               L"long varchar\t7\r\n"
                               L"text\t7\r\n"
                               L"mediumtext\t7\r\n"
                               L"tinyblob\t4\r\n"
                               L"mediumblob\t4\r\n"
                               L"blob\t4\r\n"
                               L"longblob\t4\r\n"
                               L"long varbinary\t4\r\n"
                               L"enum\t20\r\n"
                               L"set\t20\r\n"
                               L"year\t13\r\n"
                               L"date\t17\r\n"
                               L"time\t18\r\n"
                               L"datetime\t19\r\n"
                               L"timestamp\t19\r\n";

} // namespace

CMySQLDriverSQL::CMySQLDriverSQL(CNADriver* pclDriver, CNAError* pclError) : CNADriverSQL(pclDriver, pclError) {}

CMySQLDriverSQL::~CMySQLDriverSQL() {}

bool CMySQLDriverSQL::g_bServerBefore5(const CNAConnectionDescription* pConnection)
{
    return pConnection->nGetServerVersionMajor() <= 4;
}

int CMySQLDriverSQL::bGetColumnTypeList(CAny* pResult, int, unsigned int)
{
    g_SetListText(pResult, kColumnTypes, static_cast<unsigned int>(sizeof(kColumnTypes) / sizeof(wchar_t) - 1));
    return 1;
}

int CMySQLDriverSQL::bGetTableList(CAny* pResult, CNAConnectionDescription* pConnection, const wchar_t* pszFilter,
                                   unsigned int nFlags)
{
    // A failed INFORMATION_SCHEMA list leaves its error under this one.
    const bool bFallBack = !g_bServerBefore5(pConnection);
    if (bFallBack && CNADriverSQL::bGetTableList(pResult, pConnection, pszFilter, nFlags))
        return 1;
    // SHOW TABLES lists no view apart: without base tables asked for, the
    // list is empty, and a failed list stays failed.
    int bResult = bFallBack ? 0 : 1;
    CXYStringConcat<wchar_t> clList;
    if ((nFlags & LIST_BASE_TABLES) != 0) {
        bResult = 1;
        CTString csClause;
        bResult = _bTableFilterClause(pConnection, pszFilter, &csClause);
        if (bResult) {
            std::wstring strQuery = L"SHOW TABLES";
            if (csClause.nTaille() > 0)
                strQuery = strQuery + L" " + csClause.pszGet();
            bResult = _bGetList(&clList, pConnection, strQuery.c_str(), 1, nFlags);
        }
        if (bResult && (nFlags & LIST_DETAILED) != 0) {
            CTStringArray tabNames;
            tabNames.Decoupe(clList.pszGet(), L"\r\n");
            const wchar_t* pszDatabase = pConnection->pszGetDefaultDataBase();
            std::wstring s;
            for (int i = 0; i < tabNames.nGetNbElement(); i++) {
                CTString csOwner;
                CTString csTable;
                CNAConnectionDescription::bExtractOwner(nullptr, tabNames[i]->pszGet(), &csOwner, &csTable);
                if (i > 0)
                    s += L"\r\n";
                s = s + csTable.pszGet() + L"\t" + (pszDatabase != nullptr ? pszDatabase : L"") + L"\t" +
                    csOwner.pszGet() + L"\tTABLE";
            }
            clList.m_nLength = 0;
            clList.Add(s.c_str(), static_cast<int>(s.size()));
        }
    }
    if ((nFlags & LIST_SORTED) != 0)
        g_SortLines(&clList);
    g_SetListText(pResult, clList.pszGet(), clList.m_nLength);
    return bResult;
}

int CMySQLDriverSQL::bGetColumnList(CAny* pResult, CNAConnectionDescription* pConnection, const wchar_t* pszTable,
                                    unsigned int nFlags)
{
    CTString csFormatted;
    if (!pConnection->bFormatTableName(m_pclError, pszTable, &csFormatted))
        return 0;
    const std::wstring strQuery = std::wstring(L"SHOW COLUMNS FROM ") + csFormatted.pszGet();
    return _bGetList(pResult, pConnection, strQuery.c_str(), 1, nFlags);
}

CNAStatementSQL* CMySQLDriverSQL::pclAllocStatementSQL(CNAConnectionDescription* pclConnection, CNAError* pclError)
{
    return new (std::nothrow) CMySQLStatementSQL(pclConnection, pclError);
}

int CMySQLDriverSQL::_bGetDatabaseListQuery(CTStringConcatAW* pclQuery, CNAConnectionDescription* pConnection,
                                            unsigned int nFlags)
{
    if (!g_bServerBefore5(pConnection))
        return CNADriverSQL::_bGetDatabaseListQuery(pclQuery, pConnection, nFlags);
    g_SetQuery(pclQuery, L"SHOW DATABASES");
    return 1;
}

int CMySQLDriverSQL::_bGetDatabaseTableListQuery(CTStringConcatAW* pclQuery, const wchar_t* pszDatabase,
                                                 CNAConnectionDescription* pConnection, unsigned int nFlags)
{
    if (!g_bServerBefore5(pConnection))
        return CNADriverSQL::_bGetDatabaseTableListQuery(pclQuery, pszDatabase, pConnection, nFlags);
    CTString csFormatted;
    if (!pConnection->bFormatTableName(m_pclError, pszDatabase, &csFormatted))
        return 0;
    g_SetQuery(pclQuery, (std::wstring(L"SHOW TABLES FROM ") + csFormatted.pszGet()).c_str());
    return 1;
}
