// ---- Type maps ----------------------------------------------------------------------------------

#include "access/driver/NAItemDescription.h"
#include "access/driver/NAMapConvertType.h"
#include "mysql/MySQLConnection.h"

namespace {

// Field type codes and names of the client library.
struct STDBTypeName {
    int nType;
    const wchar_t* pszName;
};

const STDBTypeName s_tabDBTypeName[] = {
    {0, L"MYSQL_TYPE_DECIMAL"},       {1, L"MYSQL_TYPE_TINY"},         {2, L"MYSQL_TYPE_SHORT"},
    {3, L"MYSQL_TYPE_LONG"},          {4, L"MYSQL_TYPE_FLOAT"},        {5, L"MYSQL_TYPE_DOUBLE"},
    {6, L"MYSQL_TYPE_NULL"},          {7, L"MYSQL_TYPE_TIMESTAMP"},    {8, L"MYSQL_TYPE_LONGLONG"},
    {9, L"MYSQL_TYPE_INT24"},         {10, L"MYSQL_TYPE_DATE"},        {11, L"MYSQL_TYPE_TIME"},
    {12, L"MYSQL_TYPE_DATETIME"},     {13, L"MYSQL_TYPE_YEAR"},        {14, L"MYSQL_TYPE_NEWDATE"},
    {15, L"MYSQL_TYPE_VARCHAR"},      {16, L"MYSQL_TYPE_BIT"},         {246, L"MYSQL_TYPE_NEWDECIMAL"},
    {247, L"MYSQL_TYPE_ENUM"},        {248, L"MYSQL_TYPE_SET"},        {249, L"MYSQL_TYPE_TINY_BLOB"},
    {250, L"MYSQL_TYPE_MEDIUM_BLOB"}, {251, L"MYSQL_TYPE_LONG_BLOB"},  {252, L"MYSQL_TYPE_BLOB"},
    {253, L"MYSQL_TYPE_VAR_STRING"},  {254, L"MYSQL_TYPE_STRING"},
};

// The character sets below 99 that hold multi-byte text; every number from
// 99 on does.
const unsigned int s_tabWideCharset[] = {12, 17, 33, 35, 45, 46, 54, 55, 56, 60, 61, 62, 76, 83, 90, 91};
const unsigned int FIRST_WIDE_RANGE = 99;
const unsigned int CHARSET_BINARY = 63;
const int MAX_SIZED_TEXT = 65534;
const unsigned int MEMO_SIZE = 8;

} // namespace

int CMySQLConnection::bDBTypeToString(CTString* pclOut, int nDBType)
{
    for (const STDBTypeName& st : s_tabDBTypeName) {
        if (st.nType == nDBType) {
            if (pclOut != nullptr)
                pclOut->Set(st.pszName);
            return 1;
        }
    }
    if (pclOut != nullptr)
        pclOut->Set(L"MYSQL_TYPE_NEWDECIMAL");
    return 0;
}

int CMySQLConnection::bCharsetUnicode(unsigned int nCharset)
{
    if (nCharset >= FIRST_WIDE_RANGE)
        return 1;
    for (unsigned int n : s_tabWideCharset)
        if (n == nCharset)
            return 1;
    return 0;
}

void CMySQLConnection::ConvertItemType(eNA_ITEMTYPE* peType, unsigned int* pnSize, int nDBType, int nLength,
                                       int nDigits, int nDecimals, unsigned int nCharset)
{
    eNA_ITEMTYPE eType = NA_IT_EMPTY;
    unsigned int nSize = 0;
    switch (nDBType) {
    case 0:
    case 246:
        CNAItemDescription::s_GetTypeFromFormat(nDigits, nDecimals, &eType, &nSize);
        break;
    case 1:
        eType = NA_IT_I1;
        nSize = 1;
        break;
    case 2:
        eType = NA_IT_I2;
        nSize = 2;
        break;
    case 3:
    case 9:
    case 247:
    case 248:
        eType = NA_IT_I4;
        nSize = 4;
        break;
    case 4:
        eType = NA_IT_R4;
        nSize = 4;
        break;
    case 5:
        eType = NA_IT_R8;
        nSize = 8;
        break;
    case 6:
        break;
    case 8:
        eType = NA_IT_I8;
        nSize = 8;
        break;
    case 10:
        eType = NA_IT_DATE8;
        nSize = 9;
        break;
    case 7:
    case 11:
    case 12:
    case 13:
    case 14:
        eType = NA_IT_DATETIME;
        nSize = 8;
        break;
    case 16:
        eType = NA_IT_BINAIRE;
        nSize = nLength >= 1 ? static_cast<unsigned int>(nLength) + 2 : 3;
        break;
    case 249:
    case 250:
    case 251:
    case 252:
        if (nCharset == CHARSET_BINARY)
            eType = NA_IT_MEMOBINAIRE;
        else if (nCharset != 0 && bCharsetUnicode(nCharset))
            eType = NA_IT_MEMOUNICODE;
        else
            eType = NA_IT_MEMOTEXTE;
        nSize = MEMO_SIZE;
        break;
    default: {
        // VARCHAR, VAR_STRING, STRING and any code not named above.
        const bool bWide = bCharsetUnicode(nCharset) != 0;
        if (nLength >= 1 && nLength <= MAX_SIZED_TEXT) {
            const long long llWide = 2LL * (static_cast<long long>(nLength) + 1);
            if (!bWide) {
                eType = NA_IT_TEXTE;
                nSize = static_cast<unsigned int>(nLength) + 1;
                break;
            }
            if (llWide <= MAX_SIZED_TEXT) {
                eType = NA_IT_UNICODE;
                nSize = static_cast<unsigned int>(llWide);
                break;
            }
        }
        eType = bWide ? NA_IT_MEMOUNICODE : NA_IT_MEMOTEXTE;
        nSize = MEMO_SIZE;
        break;
    }
    }
    if (peType != nullptr)
        *peType = eType;
    if (pnSize != nullptr)
        *pnSize = nSize;
}

void CMySQLConnection::_InitKX2NativeType()
{
    CNAMapConvertType* pclMap = m_pclMapConvertType;
    if (pclMap == nullptr)
        return;
    const bool bServer4 = m_nServerVersionMajor > 3;
    const bool bServer4_1 = bServerVersionGreaterThan4_1() != 0;
    pclMap->Add(NA_IT_IDAUTO, L"BIGINT", 0);
    pclMap->Add(NA_IT_I1, L"TINYINT", 0);
    pclMap->Add(NA_IT_R4, L"FLOAT", 0);
    pclMap->Add(NA_IT_R8, L"DOUBLE", 0);
    pclMap->Add(NA_IT_UI2, L"SMALLINT UNSIGNED", 0);
    pclMap->Add(NA_IT_UI1, L"TINYINT UNSIGNED", 0);
    pclMap->Add(NA_IT_REELTURBO, L"DOUBLE", 0);
    pclMap->Add(NA_IT_MEMOTEXTE, bServer4 ? L"LONGTEXT" : L"LONGBLOB", 0);
    pclMap->Add(NA_IT_MEMOBINAIRE4, L"LONGBLOB", 0);
    pclMap->Add(NA_IT_MEMOBINAIRE, L"LONGBLOB", 0);
    pclMap->Add(NA_IT_I8, L"BIGINT", 0);
    pclMap->Add(NA_IT_UI8, L"BIGINT UNSIGNED", 0);
    pclMap->Add(NA_IT_UI4, L"INTEGER UNSIGNED", 0);
    pclMap->Add(NA_IT_BINAIRE, bServerVersionGreaterThan4_1_2() ? L"VARBINARY(%d)" : L"VARCHAR(%d) BINARY", 1);
    pclMap->Add(NA_IT_DATETIME, L"DATETIME", 0);
    pclMap->Add(NA_IT_TIMELENGHT, L"BIGINT", 0);
    pclMap->Add(NA_IT_BOOLEEN, L"TINYINT", 0);
    pclMap->Add(NA_IT_UNICODE, bServer4_1 ? L"VARCHAR(%d) CHARACTER SET ucs2" : L"VARCHAR(%d)", 1);
    pclMap->Add(NA_IT_MEMOUNICODE,
                bServer4_1 ? L"LONGTEXT CHARACTER SET ucs2" : (bServer4 ? L"LONGTEXT" : L"LONGBLOB"), 0);
}
