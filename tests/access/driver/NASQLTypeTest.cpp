#include "access/driver/NAConnectionDescription.h"
#include "access/driver/NAError.h"
#include "access/driver/NAItemDescription.h"
#include "access/driver/NAMapConvertType.h"
#include "common/platform/MyModuleInfo.h"
#include "tests/support/ProcessLocale.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class CKindConnection : public CNAConnectionDescription {
public:
    explicit CKindConnection(int nKind = 5) { m_eDataSource = static_cast<eDATASOURCE>(nKind); }
    int bOpen(CNAError*) override { return 0; }
    int bIsOpen() override { return 0; }
    int bClose(CNAError*) override { return 1; }
    // The back end's own text for one type, over the defaults.
    void _InitKX2NativeType() override
    {
        m_nNativeCalls++;
        m_pclMapConvertType->Add(NA_IT_MEMOTEXTE, L"LONGTEXT", 0);
    }
    int m_nNativeCalls = 0;
};

class CItem : public CNAItemDescription {
public:
    CItem(eNA_ITEMTYPE eType, unsigned nSize, int nInteger = 0, int nDecimal = 0)
    {
        m_eItemType = eType;
        m_nItemSize = nSize;
        m_nDimension = 1;
        m_nIntegerPart = nInteger;
        m_nDecimalPart = nDecimal;
        m_csName = L"item";
        m_csSourceName = L"table";
    }
};

struct STParsed { eNA_ITEMTYPE eType; unsigned nSize; unsigned nCharacters; };

STParsed Parse(CNAConnectionDescription& cnx, const wchar_t* pszText, const wchar_t* pszCharset = nullptr,
               unsigned* pnInteger = nullptr, unsigned* pnScale = nullptr)
{
    STParsed st{NA_IT_EMPTY, 0, 12345};
    unsigned nInteger = 0, nScale = 0;
    EXPECT_EQ(cnx.bSQLTypeNameToNAType(nullptr, &st.eType, &st.nSize, &nInteger, &nScale, pszText, pszCharset,
                                       &st.nCharacters),
              1);
    if (pnInteger != nullptr)
        *pnInteger = nInteger;
    if (pnScale != nullptr)
        *pnScale = nScale;
    return st;
}

TEST(NASQLType, EveryKeywordOfTheTable)
{
    struct { const wchar_t* pszText; eNA_ITEMTYPE eType; unsigned nSize; } const tab[] = {
        {L"year(4)", NA_IT_DATE8, 9}, {L"varchar(50)", NA_IT_TEXTE, 51}, {L"VARYING CHARACTER(10)", NA_IT_TEXTE, 11},
        {L"character(10)", NA_IT_TEXTE, 11}, {L"nchar(10)", NA_IT_UNICODE, 22},
        {L"native character(3)", NA_IT_UNICODE, 8}, {L"nvarchar(20)", NA_IT_UNICODE, 42},
        {L"tinytext", NA_IT_MEMOTEXTE, 8}, {L"tinyint(1)", NA_IT_I1, 1}, {L"tinyint(3) unsigned", NA_IT_UI1, 1},
        {L"tinyblob", NA_IT_MEMOBINAIRE, 8}, {L"timestamp", NA_IT_DATETIME, 8}, {L"time", NA_IT_HEURE, 7},
        {L"time(3)", NA_IT_HEURE, 7}, {L"text", NA_IT_MEMOTEXTE, 8}, {L"ntext", NA_IT_MEMOUNICODE, 8},
        {L"clob", NA_IT_MEMOTEXTE, 8}, {L"smallint(6)", NA_IT_I2, 2}, {L"int2 unsigned", NA_IT_UI2, 2},
        {L"set('a','b')", NA_IT_MEMOTEXTE, 8}, {L"real", NA_IT_R4, 4}, {L"mediumtext", NA_IT_MEMOTEXTE, 8},
        {L"bigint(20)", NA_IT_I8, 8}, {L"big int", NA_IT_I8, 8}, {L"int8", NA_IT_I8, 8},
        {L"bigint(20) unsigned", NA_IT_UI8, 8}, {L"mediumint(9)", NA_IT_I4, 4}, {L"integer", NA_IT_I4, 4},
        {L"int(11)", NA_IT_I4, 4}, {L"int(11) unsigned", NA_IT_UI4, 4}, {L"unsigned int", NA_IT_UI4, 4},
        {L"mediumblob", NA_IT_MEMOBINAIRE, 8}, {L"longtext", NA_IT_MEMOTEXTE, 8}, {L"longblob", NA_IT_MEMOBINAIRE, 8},
        {L"float", NA_IT_R4, 4}, {L"enum('x','y')", NA_IT_MEMOTEXTE, 8}, {L"double", NA_IT_R8, 8},
        {L"double precision", NA_IT_R8, 8}, {L"datetime", NA_IT_DATETIME, 8}, {L"datetime(3)", NA_IT_DATETIME, 8},
        {L"date", NA_IT_DATE8, 9}, {L"char", NA_IT_CHAR, 1}, {L"char(1)", NA_IT_TEXTE, 2},
        {L"CHAR(30)", NA_IT_TEXTE, 31}, {L"char()", NA_IT_TEXTE, 2}, {L"bool", NA_IT_I1, 1},
        {L"boolean", NA_IT_I1, 1}, {L"blob", NA_IT_MEMOBINAIRE, 8},
        // A BIT width takes the smallest signed integer that holds its
        // largest number, 64 bits the unsigned 8-byte one; "bit" is one bit.
        {L"bit", NA_IT_I1, 1},      {L"bit(1)", NA_IT_I1, 1},   {L"BIT(7)", NA_IT_I1, 1},
        {L"bit(8)", NA_IT_I2, 2},   {L"bit(15)", NA_IT_I2, 2},  {L"bit(16)", NA_IT_I4, 4},
        {L"bit(31)", NA_IT_I4, 4},  {L"bit(32)", NA_IT_I8, 8},  {L"bit(63)", NA_IT_I8, 8},
        {L"bit(64)", NA_IT_UI8, 8}, {L"bit(0)", NA_IT_UI8, 8},  {L"bit(65)", NA_IT_UI8, 8},
        {L"varbinary(16)", NA_IT_BINAIRE, 18}, {L"varbinary", NA_IT_BINAIRE, 3}, {L"binary(4)", NA_IT_BINAIRE, 6},
        // Spatial values are bytes, as the server's catalogue names each.
        {L"geometry", NA_IT_MEMOBINAIRE, 8}, {L"point", NA_IT_MEMOBINAIRE, 8}, {L"linestring", NA_IT_MEMOBINAIRE, 8},
        {L"polygon", NA_IT_MEMOBINAIRE, 8}, {L"multipoint", NA_IT_MEMOBINAIRE, 8},
        {L"multilinestring", NA_IT_MEMOBINAIRE, 8}, {L"multipolygon", NA_IT_MEMOBINAIRE, 8},
        {L"geometrycollection", NA_IT_MEMOBINAIRE, 8}, {L"geomcollection", NA_IT_MEMOBINAIRE, 8},
        {L"", NA_IT_MEMOTEXTE, 8}, {L"json", NA_IT_MEMOTEXTE, 8}, {L"unsignedint", NA_IT_MEMOTEXTE, 8},
        {L"int unsignedx", NA_IT_I4, 4},
    };
    CKindConnection cnx;
    // The same in a locale that folds i into İ.
    CProcessLocale clLocale;
    for (const char* pszLocale : {"C", "tr_TR.UTF-8"})
        for (const auto& st : tab) {
            ASSERT_TRUE(clLocale.bSet(pszLocale));
            SCOPED_TRACE(testing::Message() << pszLocale << " " << st.pszText);
            const STParsed r = Parse(cnx, st.pszText);
            EXPECT_EQ(r.eType, st.eType);
            EXPECT_EQ(r.nSize, st.nSize);
        }
    CKindConnection cnx13(13);
    EXPECT_EQ(Parse(cnx13, L"real").eType, NA_IT_R8);
    EXPECT_EQ(Parse(cnx13, L"real").nSize, 8u);
}

TEST(NASQLType, DecimalPrecisionAndScale)
{
    struct { const wchar_t* pszText; unsigned nInteger, nScale; eNA_ITEMTYPE eType; } const tab[] = {
        {L"decimal(10,2) unsigned", 8, 2, NA_IT_MONETAIRE}, {L"decimal(10,2)", 8, 2, NA_IT_MONETAIRE},
        {L"decimal", 10, 0, NA_IT_I8}, {L"dec(5)", 5, 0, NA_IT_I4}, {L"numeric(30,10)", 20, 10, NA_IT_DECIMAL},
        {L"NUMERIC(65,30)", 35, 30, NA_IT_R8}, {L"decimal(", 10, 0, NA_IT_I8}, {L"decimal(12,", 12, 0, NA_IT_I8},
    };
    CKindConnection cnx;
    for (const auto& st : tab) {
        SCOPED_TRACE(st.pszText);
        unsigned nInteger = 99, nScale = 99;
        const STParsed r = Parse(cnx, st.pszText, nullptr, &nInteger, &nScale);
        EXPECT_EQ(nInteger, st.nInteger);
        EXPECT_EQ(nScale, st.nScale);
        EXPECT_EQ(r.eType, st.eType);
    }
}

TEST(NASQLType, NumbersBeyondTheLimitsAreRefused)
{
    // Each refused text stands beside the largest the server has.
    struct { const wchar_t* pszText; bool bRefused; } const tab[] = {
        {L"decimal(0,-2147483648)", true}, {L"decimal(65,30)", false}, {L"decimal(66,0)", true},
        {L"decimal(40,31)", true},          {L"decimal(5,6)", true},    {L"decimal(-1)", true},
        {L"decimal(99999999999999999999,0)", true},
        {L"nvarchar(2147483647)", true},    {L"nvarchar(65535)", false}, {L"varchar(65536)", true},
        {L"char(70000)", true},             {L"varbinary(65536)", true}, {L"varbinary(65535)", false},
    };
    CKindConnection cnx;
    for (const auto& st : tab) {
        SCOPED_TRACE(st.pszText);
        eNA_ITEMTYPE eType = NA_IT_EMPTY;
        unsigned nSize = 0, nInteger = 0, nScale = 0;
        CNAError err;
        EXPECT_EQ(cnx.bSQLTypeNameToNAType(&err, &eType, &nSize, &nInteger, &nScale, st.pszText, nullptr),
                  st.bRefused ? 0 : 1);
        EXPECT_EQ(err.dwGetErrorId(), st.bRefused ? static_cast<unsigned>(ZTERR_CONVERSION) : 0u);
        if (!st.bRefused) {
            EXPECT_GT(nSize, 0u);
        }
    }
}

TEST(NASQLType, CharacterSetsUpgradeTexts)
{
    struct { const wchar_t* pszText; const wchar_t* pszCharset; eNA_ITEMTYPE eType; unsigned nSize; } const tab[] = {
        {L"varchar(50)", L"UCS2", NA_IT_UNICODE, 102}, {L"varchar(50)", L"utf8_general_ci", NA_IT_UNICODE, 102},
        {L"varchar(50)", L"utf8mb3_bin", NA_IT_UNICODE, 102}, {L"varchar(50)", L"latin1", NA_IT_TEXTE, 51},
        {L"varchar(50)", L"", NA_IT_TEXTE, 51}, {L"text", L"utf8", NA_IT_MEMOUNICODE, 8},
        {L"int", L"utf8", NA_IT_I4, 4}, {L"char", L"utf8", NA_IT_CHAR, 1},
        // Characters beyond U+FFFF take two units each.
        {L"varchar(50)", L"utf8mb4", NA_IT_UNICODE, 202}, {L"varchar(4)", L"UTF8MB4_bin", NA_IT_UNICODE, 18},
        {L"char(3)", L"utf8mb4_general_ci", NA_IT_UNICODE, 14}, {L"varchar(1)", L"utf16_general_ci", NA_IT_UNICODE, 6},
        {L"char(2)", L"utf16le_bin", NA_IT_UNICODE, 10}, {L"varchar(3)", L"utf32_unicode_ci", NA_IT_UNICODE, 14},
        {L"text", L"utf16_bin", NA_IT_MEMOUNICODE, 8}, {L"mediumtext", L"utf8mb4_bin", NA_IT_MEMOUNICODE, 8},
        {L"varchar(5)", L"utf1", NA_IT_TEXTE, 6},
    };
    CKindConnection cnx;
    for (const auto& st : tab) {
        SCOPED_TRACE(std::wstring(st.pszText) + L"/" + st.pszCharset);
        const STParsed r = Parse(cnx, st.pszText, st.pszCharset);
        EXPECT_EQ(r.eType, st.eType);
        EXPECT_EQ(r.nSize, st.nSize);
    }
}

// The declared length of a text in characters, whatever units its item
// takes; 0 for every other type, and a text bounded by no length.
TEST(NASQLType, DeclaredCharactersOfTexts)
{
    struct { const wchar_t* pszText; const wchar_t* pszCharset; unsigned nCharacters; } const tab[] = {
        {L"varchar(4)", L"utf8mb4_bin", 4}, {L"char(3)", L"utf8mb4_general_ci", 3}, {L"varchar(7)", L"latin1", 7},
        {L"CHAR(2)", nullptr, 2}, {L"character(9)", L"utf16_bin", 9}, {L"VARYING CHARACTER(6)", nullptr, 6},
        {L"nvarchar(5)", nullptr, 5}, {L"nchar(8)", L"utf32_bin", 8}, {L"national varchar(11)", nullptr, 0},
        {L"char", L"utf8mb4_bin", 0}, {L"text", L"utf8mb4_bin", 0}, {L"tinytext", nullptr, 0},
        {L"varbinary(10)", nullptr, 0}, {L"int(11)", nullptr, 0}, {L"decimal(5,2)", nullptr, 0},
        {L"year(4)", nullptr, 0}, {L"enum('a','b')", L"utf8mb4_bin", 0}, {L"bit(3)", nullptr, 0},
    };
    CKindConnection cnx;
    for (const auto& st : tab) {
        SCOPED_TRACE(std::wstring(st.pszText) + L"/" + (st.pszCharset != nullptr ? st.pszCharset : L""));
        EXPECT_EQ(Parse(cnx, st.pszText, st.pszCharset).nCharacters, st.nCharacters);
    }
    // The length is not asked for: the rest is read as ever.
    eNA_ITEMTYPE eType = NA_IT_EMPTY;
    unsigned nSize = 0;
    EXPECT_EQ(cnx.bSQLTypeNameToNAType(nullptr, &eType, &nSize, nullptr, nullptr, L"varchar(4)", L"utf8mb4"), 1);
    EXPECT_EQ(eType, NA_IT_UNICODE);
    EXPECT_EQ(nSize, 18u);
}

TEST(NASQLType, SizeInTypeDeclaration)
{
    struct { const wchar_t* pszText; const wchar_t* pszKeyword; int n; } const tab[] = {
        {L"varchar(50)", L"varchar", 50}, {L"varchar ( 50 )", L"varchar", 50}, {L"varchar\t(\n7\r)", L"varchar", 7},
        {L"varchar(50", L"varchar", 1}, {L"varchar50)", L"varchar", 1}, {L"varchar()", L"varchar", 1},
        {L"varchar(5a)", L"varchar", 1}, {L"varchar(-5)", L"varchar", 1}, {L"varchar(99999999999)", L"varchar", 1},
        {L"var(5)", L"varchar", 1}, {L"", L"varchar", 1}, {nullptr, L"varchar", 1},
    };
    for (const auto& st : tab)
        EXPECT_EQ(CNAConnectionDescription::_nGetSizeInTypeDecl(st.pszText, st.pszKeyword), st.n)
            << (st.pszText != nullptr ? st.pszText : L"(null)");
}

TEST(NASQLType, TypeFromFormatAtEveryBoundary)
{
    struct { int nInteger, nDecimal; eNA_ITEMTYPE eType; unsigned nSize; } const tab[] = {
        {0, 0, NA_IT_R8, 8},         {-1, 2, NA_IT_R8, 8},        {3, -1, NA_IT_R8, 8},
        {2, 0, NA_IT_I1, 1},         {3, 0, NA_IT_I2, 2},         {4, 0, NA_IT_I2, 2},
        {5, 0, NA_IT_I4, 4},         {9, 0, NA_IT_I4, 4},         {10, 0, NA_IT_I8, 8},
        {19, 0, NA_IT_I8, 8},        {20, 0, NA_IT_DECIMAL, 11},  {10, 6, NA_IT_MONETAIRE, 10},
        {10, 7, NA_IT_DECIMAL, 10},  {11, 2, NA_IT_DECIMAL, 8},   {0, 6, NA_IT_MONETAIRE, 10},
        {38, 0, NA_IT_DECIMAL, 18},  {39, 0, NA_IT_R8, 8},        {0, 39, NA_IT_R8, 8},
        {20, 18, NA_IT_DECIMAL, 18}, {20, 19, NA_IT_R8, 8},       {12, 2, NA_IT_DECIMAL, 8},
        {8, 2, NA_IT_MONETAIRE, 10}, {30, 10, NA_IT_R8, 8},
    };
    for (const auto& st : tab) {
        SCOPED_TRACE(std::to_string(st.nInteger) + "," + std::to_string(st.nDecimal));
        eNA_ITEMTYPE eType = NA_IT_EMPTY;
        unsigned nSize = 0;
        CNAItemDescription::s_GetTypeFromFormat(st.nInteger, st.nDecimal, &eType, &nSize);
        EXPECT_EQ(eType, st.eType);
        EXPECT_EQ(nSize, st.nSize);
    }
}

TEST(NASQLType, TypeMapDefaultsAndFormats)
{
    struct { eNA_ITEMTYPE eType; unsigned nSize; int nInteger, nDecimal; const wchar_t* pszText; } const tab[] = {
        {NA_IT_IDAUTO, 8, 0, 0, L"NUMERIC(19,0)"},  {NA_IT_TEXTE, 51, 0, 0, L"VARCHAR(50)"},
        {NA_IT_I2, 2, 0, 0, L"SMALLINT"},           {NA_IT_I1, 1, 0, 0, L"SMALLINT"},
        {NA_IT_UI2, 2, 0, 0, L"SMALLINT"},          {NA_IT_UI1, 1, 0, 0, L"SMALLINT"},
        {NA_IT_BOOLEEN, 1, 0, 0, L"SMALLINT"},      {NA_IT_I4, 4, 0, 0, L"INTEGER"},
        {NA_IT_UI4, 4, 0, 0, L"INTEGER"},           {NA_IT_IDAUTO4, 4, 0, 0, L"INTEGER"},
        {NA_IT_R4, 4, 0, 0, L"REAL"},               {NA_IT_R8, 8, 0, 0, L"FLOAT"},
        {NA_IT_REELTURBO, 8, 0, 0, L"FLOAT"},       {NA_IT_DATE6, 6, 0, 0, L"DATE"},
        {NA_IT_DATE8, 9, 0, 0, L"DATE"},            {NA_IT_HEURE, 10, 0, 0, L"TIME"},
        {NA_IT_MEMOTEXTE, 8, 0, 0, L"TEXT"},        {NA_IT_MONETAIRE, 10, 0, 0, L"NUMERIC(24,6)"},
        {NA_IT_I8, 8, 0, 0, L"NUMERIC(19,0)"},      {NA_IT_TIMELENGHT, 8, 0, 0, L"NUMERIC(19,0)"},
        {NA_IT_UI8, 8, 0, 0, L"NUMERIC(20,0)"},     {NA_IT_IMAGE, 12, 0, 0, L"CHARACTER(12)"},
        {NA_IT_BINAIRE, 18, 0, 0, L"VARBINARY(16)"}, {NA_IT_DATETIME, 8, 0, 0, L"TIMESTAMP"},
        {NA_IT_CHAR, 1, 0, 0, L"CHARACTER"},        {NA_IT_UNICODE, 42, 0, 0, L"NVARCHAR(20)"},
        {NA_IT_MEMOUNICODE, 8, 0, 0, L"NTEXT"},     {NA_IT_DECIMAL, 9, 8, 2, L"NUMERIC(10,2)"},
    };
    CNAMapConvertType map;
    map._Init();
    for (const auto& st : tab) {
        SCOPED_TRACE(st.pszText);
        CItem it(st.eType, st.nSize, st.nInteger, st.nDecimal);
        CTString cl;
        EXPECT_EQ(map.bFormat(&it, &cl), 1);
        EXPECT_EQ(std::wstring(cl.pszGet()), st.pszText);
    }
    for (eNA_ITEMTYPE e : {NA_IT_EMPTY, static_cast<eNA_ITEMTYPE>(8), NA_IT_MEMOBINAIRE4, NA_IT_MEMOBINAIRE}) {
        CItem it(e, 8);
        CTString cl(L"kept");
        EXPECT_EQ(map.bFormat(&it, &cl), 0) << e;
        EXPECT_EQ(std::wstring(cl.pszGet()), L"kept");
    }
}

TEST(NASQLType, FormatsOfTimesDecimalsAndSizes)
{
    CNATypeInfo clTime(L"TIME(%d)", 1);
    struct { unsigned nSize; const wchar_t* psz; } const tabTime[] = {
        {5, L"TIME(0)"}, {7, L"TIME(0)"}, {8, L"TIME(1)"}, {10, L"TIME(3)"},
    };
    for (const auto& st : tabTime) {
        CItem it(NA_IT_HEURE, st.nSize);
        CTString cl;
        clTime.Format(&it, &cl);
        EXPECT_EQ(std::wstring(cl.pszGet()), st.psz) << st.nSize;
    }
    CNATypeInfo clPlain(L"TIME(%d)", 0);
    CItem itTime(NA_IT_HEURE, 10);
    CTString cl;
    clPlain.Format(&itTime, &cl);
    EXPECT_EQ(std::wstring(cl.pszGet()), L"TIME(%d)");
    // The logical size of one element of an array item.
    CNATypeInfo clText(L"VARCHAR(%d)", 1);
    CItem itArray(NA_IT_TEXTE, 11);
    clText.Format(&itArray, &cl);
    EXPECT_EQ(std::wstring(cl.pszGet()), L"VARCHAR(10)");
}

TEST(NASQLType, MatchingTypeOfAConnection)
{
    CKindConnection cnx;
    struct { eNA_ITEMTYPE eType; unsigned nSize; int nInteger, nDecimal; const wchar_t* pszText; } const tab[] = {
        {NA_IT_DECIMAL, 18, 40, 35, L"NUMERIC(64,30)"}, {NA_IT_DECIMAL, 9, 10, 2, L"NUMERIC(12,2)"},
        {NA_IT_DECIMAL, 18, 34, 30, L"NUMERIC(64,30)"}, {NA_IT_DECIMAL, 18, 33, 31, L"NUMERIC(63,30)"},
        {NA_IT_MEMOTEXTE, 8, 0, 0, L"LONGTEXT"}, {NA_IT_TEXTE, 21, 0, 0, L"VARCHAR(20)"},
    };
    for (const auto& st : tab) {
        CItem it(st.eType, st.nSize, st.nInteger, st.nDecimal);
        CTString cl;
        EXPECT_EQ(cnx.bGetMatchingSQLType(nullptr, &it, &cl), 1) << st.pszText;
        EXPECT_EQ(std::wstring(cl.pszGet()), st.pszText);
    }
    EXPECT_EQ(cnx.m_nNativeCalls, 1);  // the map is made once
    CKindConnection cnxGeneric(0);
    CItem itDecimal(NA_IT_DECIMAL, 18, 40, 35);
    CTString cl;
    EXPECT_EQ(cnxGeneric.bGetMatchingSQLType(nullptr, &itDecimal, &cl), 1);
    EXPECT_EQ(std::wstring(cl.pszGet()), L"NUMERIC(75,35)");
    CItem itBinaryMemo(NA_IT_MEMOBINAIRE, 8);
    EXPECT_EQ(cnx.bGetMatchingSQLType(nullptr, &itBinaryMemo, &cl), 0);
    EXPECT_EQ(cnx.bGetMatchingSQLType(nullptr, nullptr, &cl), 0);  // no item, no type text
}

TEST(NASQLType, UnicodeItemsRefusedByTheConnection)
{
    CKindConnection cnx;
    cnx.SetUnicodeItemsAllowed(0);
    CNAError err;
    CItem it(NA_IT_UNICODE, 42);
    CTString cl;
    EXPECT_EQ(cnx.bGetMatchingSQLType(&err, &it, &cl), 0);
    EXPECT_EQ(err.dwGetErrorId(), static_cast<unsigned>(ZTERR_UNICODE_REFUSED));
    EXPECT_EQ(std::wstring(err.pszGetLogicalTableName()), L"table");
    EXPECT_EQ(std::wstring(err.pszGetItemName()), L"item");
    err.Reset();
    CItem itMemo(NA_IT_MEMOUNICODE, 8);
    EXPECT_EQ(cnx.bGetMatchingSQLType(&err, &itMemo, &cl), 0);
    EXPECT_EQ(err.dwGetErrorId(), static_cast<unsigned>(ZTERR_UNICODE_REFUSED));
    err.Reset();
    CItem itText(NA_IT_TEXTE, 5);
    EXPECT_EQ(cnx.bGetMatchingSQLType(&err, &itText, &cl), 1);
    EXPECT_EQ(err.dwGetErrorId(), 0u);
}

} // namespace
