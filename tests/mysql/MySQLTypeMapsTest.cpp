// The MySQL type maps: field types to item types and sizes, wide character
// sets, field type names, and the DDL texts by server version.
#include "access/driver/NAMapConvertType.h"
#include "access/driver/NATypeInfo.h"
#include "mysql/MySQLConnection.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct ConvertCase {
    int nDBType;
    int nLength;
    int nDigits;
    int nDecimals;
    unsigned int nCharset;
    eNA_ITEMTYPE eType;
    unsigned int nSize;
};

TEST(MySQLTypeMaps, FieldTypesGiveTheirItemTypesAndSizes)
{
    const ConvertCase tab[] = {
        {1, 4, 0, 0, 63, NA_IT_I1, 1},
        {2, 6, 0, 0, 63, NA_IT_I2, 2},
        {3, 11, 0, 0, 63, NA_IT_I4, 4},
        {4, 12, 0, 31, 63, NA_IT_R4, 4},
        {5, 22, 0, 31, 63, NA_IT_R8, 8},
        {6, 0, 0, 0, 63, NA_IT_EMPTY, 0},
        {7, 19, 0, 0, 63, NA_IT_DATETIME, 8},
        {8, 20, 0, 0, 63, NA_IT_I8, 8},
        {9, 9, 0, 0, 63, NA_IT_I4, 4},
        {10, 10, 0, 0, 63, NA_IT_DATE8, 9},
        {11, 10, 0, 0, 63, NA_IT_DATETIME, 8}, // a time is not a time item
        {12, 26, 0, 6, 63, NA_IT_DATETIME, 8},
        {13, 4, 0, 0, 63, NA_IT_DATETIME, 8},
        {14, 10, 0, 0, 63, NA_IT_DATETIME, 8},
        {16, 0, 0, 0, 63, NA_IT_UI8, 8},
        {16, 1, 0, 0, 63, NA_IT_I1, 1},
        {16, 7, 0, 0, 63, NA_IT_I1, 1},
        {16, 8, 0, 0, 63, NA_IT_I2, 2},
        {16, 63, 0, 0, 63, NA_IT_I8, 8},
        {16, 64, 0, 0, 63, NA_IT_UI8, 8},
        {247, 1, 0, 0, 33, NA_IT_I4, 4},
        {248, 5, 0, 0, 33, NA_IT_I4, 4},
        // Blobs by character set.
        {249, 255, 0, 0, 63, NA_IT_MEMOBINAIRE, 8},
        {250, 16777215, 0, 0, 0, NA_IT_MEMOTEXTE, 8},
        {251, -1, 0, 0, 33, NA_IT_MEMOUNICODE, 8},
        {252, 65535, 0, 0, 8, NA_IT_MEMOTEXTE, 8},
        {252, 65535, 0, 0, 224, NA_IT_MEMOUNICODE, 8},
        // Spatial values are the server's bytes, whatever their length.
        {255, -1, 0, 0, 63, NA_IT_MEMOBINAIRE, 8},
        {255, 0, 0, 0, 63, NA_IT_MEMOBINAIRE, 8},
        {255, 255, 0, 0, 63, NA_IT_MEMOBINAIRE, 8},
        // Texts.
        {253, 255, 0, 0, 33, NA_IT_UNICODE, 512},
        {253, 255, 0, 0, 8, NA_IT_TEXTE, 256},
        {253, 40000, 0, 0, 33, NA_IT_MEMOUNICODE, 8},
        {253, 40000, 0, 0, 8, NA_IT_TEXTE, 40001},
        {253, 32766, 0, 0, 33, NA_IT_UNICODE, 65534}, // the widest sized wide text
        {253, 32767, 0, 0, 33, NA_IT_MEMOUNICODE, 8},
        {253, 65534, 0, 0, 8, NA_IT_TEXTE, 65535},
        {253, 65535, 0, 0, 8, NA_IT_MEMOTEXTE, 8},
        {253, 0, 0, 0, 8, NA_IT_MEMOTEXTE, 8},
        {253, 0, 0, 0, 33, NA_IT_MEMOUNICODE, 8},
        {254, 10, 0, 0, 63, NA_IT_TEXTE, 11},
        {15, 20, 0, 0, 45, NA_IT_UNICODE, 42},
        {100, 20, 0, 0, 8, NA_IT_TEXTE, 21}, // an unknown code is a text
        // Decimals by their digits.
        {246, 11, 10, 0, 63, NA_IT_I8, 8},
        {246, 3, 3, 0, 63, NA_IT_I2, 2},
        {246, 12, 8, 2, 63, NA_IT_MONETAIRE, 10},
        {0, 6, 4, 0, 63, NA_IT_I2, 2},
        {246, 0, 0, 0, 63, NA_IT_R8, 8},
    };
    for (const ConvertCase& c : tab) {
        eNA_ITEMTYPE eType = static_cast<eNA_ITEMTYPE>(-1);
        unsigned int nSize = 12345;
        CMySQLConnection::ConvertItemType(&eType, &nSize, c.nDBType, c.nLength, c.nDigits, c.nDecimals, c.nCharset);
        EXPECT_EQ(eType, c.eType) << "type " << c.nDBType << " length " << c.nLength << " charset " << c.nCharset;
        EXPECT_EQ(nSize, c.nSize) << "type " << c.nDBType << " length " << c.nLength << " charset " << c.nCharset;
    }
}

TEST(MySQLTypeMaps, WideCharacterSets)
{
    const unsigned int tabWide[] = {12, 17, 33, 35, 45, 46, 54, 55, 56, 60, 61, 62, 76, 83, 90, 91, 99, 224, 255, 2048};
    for (unsigned int n : tabWide)
        EXPECT_EQ(CMySQLConnection::bCharsetUnicode(n), 1) << n;
    int nNarrow = 0;
    for (unsigned int n = 0; n < 99; n++) {
        bool bListed = false;
        for (unsigned int w : tabWide)
            bListed = bListed || w == n;
        if (!bListed) {
            EXPECT_EQ(CMySQLConnection::bCharsetUnicode(n), 0) << n;
            nNarrow++;
        }
    }
    EXPECT_EQ(nNarrow, 99 - 16);
}

TEST(MySQLTypeMaps, FieldTypeNames)
{
    CMySQLConnection cl(L"names", nullptr);
    const struct {
        int nType;
        const wchar_t* pszName;
        int bKnown;
    } tab[] = {
        {0, L"MYSQL_TYPE_DECIMAL", 1},        {1, L"MYSQL_TYPE_TINY", 1},          {2, L"MYSQL_TYPE_SHORT", 1},
        {3, L"MYSQL_TYPE_LONG", 1},           {4, L"MYSQL_TYPE_FLOAT", 1},         {5, L"MYSQL_TYPE_DOUBLE", 1},
        {6, L"MYSQL_TYPE_NULL", 1},           {7, L"MYSQL_TYPE_TIMESTAMP", 1},     {8, L"MYSQL_TYPE_LONGLONG", 1},
        {9, L"MYSQL_TYPE_INT24", 1},          {10, L"MYSQL_TYPE_DATE", 1},         {11, L"MYSQL_TYPE_TIME", 1},
        {12, L"MYSQL_TYPE_DATETIME", 1},      {13, L"MYSQL_TYPE_YEAR", 1},         {14, L"MYSQL_TYPE_NEWDATE", 1},
        {15, L"MYSQL_TYPE_VARCHAR", 1},       {16, L"MYSQL_TYPE_BIT", 1},          {246, L"MYSQL_TYPE_NEWDECIMAL", 1},
        {247, L"MYSQL_TYPE_ENUM", 1},         {248, L"MYSQL_TYPE_SET", 1},         {249, L"MYSQL_TYPE_TINY_BLOB", 1},
        {250, L"MYSQL_TYPE_MEDIUM_BLOB", 1},  {251, L"MYSQL_TYPE_LONG_BLOB", 1},   {252, L"MYSQL_TYPE_BLOB", 1},
        {253, L"MYSQL_TYPE_VAR_STRING", 1},   {254, L"MYSQL_TYPE_STRING", 1},      {255, L"MYSQL_TYPE_GEOMETRY", 1},
        {17, L"MYSQL_TYPE_NEWDECIMAL", 0},    {100, L"MYSQL_TYPE_NEWDECIMAL", 0},  {245, L"MYSQL_TYPE_NEWDECIMAL", 0},
        {256, L"MYSQL_TYPE_NEWDECIMAL", 0},   {-1, L"MYSQL_TYPE_NEWDECIMAL", 0},
    };
    for (const auto& t : tab) {
        CTString cs;
        EXPECT_EQ(cl.bDBTypeToString(&cs, t.nType), t.bKnown) << t.nType;
        EXPECT_EQ(std::wstring(cs.pszGet()), t.pszName) << t.nType;
    }
}

// A connection that believes it is open on a server of a given version.
class CVersionConnection : public CMySQLConnection {
public:
    CVersionConnection(int nMajor, int nMinor, int nRevision) : CMySQLConnection(L"ddl", nullptr)
    {
        m_nServerVersionMajor = nMajor;
        m_nServerVersionMinor = nMinor;
        m_nServerVersionRevision = nRevision;
    }
    std::wstring Text(eNA_ITEMTYPE e)
    {
        CNATypeInfo* pcl = nullptr;
        CNAMapConvertType* pclMap = _pclGetMapConvertType();
        if (pclMap == nullptr || !pclMap->bGetValue(e, &pcl) || pcl == nullptr)
            return L"(none)";
        std::wstring s = pcl->pszGetText();
        if (pcl->bIsFormat())
            s += L" [sized]";
        pcl->nRelease();
        return s;
    }
};

TEST(MySQLTypeMaps, DDLTextsByServerVersion)
{
    struct Row {
        eNA_ITEMTYPE eType;
        const wchar_t* psz10_11;
        const wchar_t* psz4_0;
        const wchar_t* psz3_23;
    };
    const Row tab[] = {
        {NA_IT_IDAUTO, L"BIGINT", L"BIGINT", L"BIGINT"},
        {NA_IT_TEXTE, L"VARCHAR(%d) [sized]", L"VARCHAR(%d) [sized]", L"VARCHAR(%d) [sized]"},
        {NA_IT_I2, L"SMALLINT", L"SMALLINT", L"SMALLINT"},
        {NA_IT_I1, L"TINYINT", L"TINYINT", L"TINYINT"},
        {NA_IT_I4, L"INTEGER", L"INTEGER", L"INTEGER"},
        {NA_IT_R4, L"FLOAT", L"FLOAT", L"FLOAT"},
        {NA_IT_R8, L"DOUBLE", L"DOUBLE", L"DOUBLE"},
        {NA_IT_UI2, L"SMALLINT UNSIGNED", L"SMALLINT UNSIGNED", L"SMALLINT UNSIGNED"},
        {NA_IT_DATE6, L"DATE", L"DATE", L"DATE"},
        {NA_IT_HEURE, L"TIME", L"TIME", L"TIME"},
        {NA_IT_UI1, L"TINYINT UNSIGNED", L"TINYINT UNSIGNED", L"TINYINT UNSIGNED"},
        {NA_IT_REELTURBO, L"DOUBLE", L"DOUBLE", L"DOUBLE"},
        {NA_IT_DATE8, L"DATE", L"DATE", L"DATE"},
        {NA_IT_MEMOTEXTE, L"LONGTEXT", L"LONGTEXT", L"LONGBLOB"},
        {NA_IT_MEMOBINAIRE4, L"LONGBLOB", L"LONGBLOB", L"LONGBLOB"},
        {NA_IT_MONETAIRE, L"NUMERIC(24,6)", L"NUMERIC(24,6)", L"NUMERIC(24,6)"},
        {NA_IT_MEMOBINAIRE, L"LONGBLOB", L"LONGBLOB", L"LONGBLOB"},
        {NA_IT_I8, L"BIGINT", L"BIGINT", L"BIGINT"},
        {NA_IT_UI8, L"BIGINT UNSIGNED", L"BIGINT UNSIGNED", L"BIGINT UNSIGNED"},
        {NA_IT_IMAGE, L"CHARACTER(%d) [sized]", L"CHARACTER(%d) [sized]", L"CHARACTER(%d) [sized]"},
        {NA_IT_UI4, L"INTEGER UNSIGNED", L"INTEGER UNSIGNED", L"INTEGER UNSIGNED"},
        {NA_IT_BINAIRE, L"VARBINARY(%d) [sized]", L"VARCHAR(%d) BINARY [sized]", L"VARCHAR(%d) BINARY [sized]"},
        {NA_IT_DATETIME, L"DATETIME", L"DATETIME", L"DATETIME"},
        {NA_IT_TIMELENGHT, L"BIGINT", L"BIGINT", L"BIGINT"},
        {NA_IT_CHAR, L"CHARACTER", L"CHARACTER", L"CHARACTER"},
        {NA_IT_BOOLEEN, L"TINYINT", L"TINYINT", L"TINYINT"},
        {NA_IT_IDAUTO4, L"INTEGER", L"INTEGER", L"INTEGER"},
        {NA_IT_UNICODE, L"VARCHAR(%d) CHARACTER SET ucs2 [sized]", L"VARCHAR(%d) [sized]", L"VARCHAR(%d) [sized]"},
        {NA_IT_MEMOUNICODE, L"LONGTEXT CHARACTER SET ucs2", L"LONGTEXT", L"LONGBLOB"},
        {NA_IT_DECIMAL, L"NUMERIC(%d,%d) [sized]", L"NUMERIC(%d,%d) [sized]", L"NUMERIC(%d,%d) [sized]"},
        {NA_IT_EMPTY, L"(none)", L"(none)", L"(none)"},
    };
    CVersionConnection cl10(10, 11, 19);
    CVersionConnection cl4(4, 0, 30);
    CVersionConnection cl3(3, 23, 58);
    for (const Row& r : tab) {
        EXPECT_EQ(cl10.Text(r.eType), r.psz10_11) << r.eType;
        EXPECT_EQ(cl4.Text(r.eType), r.psz4_0) << r.eType;
        EXPECT_EQ(cl3.Text(r.eType), r.psz3_23) << r.eType;
    }
    // 4.1.2 is the first server with VARBINARY; 4.1.1 already has ucs2.
    CVersionConnection cl4_1_1(4, 1, 1);
    CVersionConnection cl4_1_2(4, 1, 2);
    EXPECT_EQ(cl4_1_1.Text(NA_IT_BINAIRE), L"VARCHAR(%d) BINARY [sized]");
    EXPECT_EQ(cl4_1_2.Text(NA_IT_BINAIRE), L"VARBINARY(%d) [sized]");
    EXPECT_EQ(cl4_1_1.Text(NA_IT_MEMOUNICODE), L"LONGTEXT CHARACTER SET ucs2");
}

} // namespace
