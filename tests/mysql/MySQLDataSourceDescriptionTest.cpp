// The MySQL table description's readers over recorded SHOW results: the
// column list of servers from 4.1 and before it, the index list with single
// and composite keys, and what a failed read or fetch leaves.
#include "mysql/MySQLDataSourceDescription.h"

#include "access/driver/NAError.h"
#include "common/text/XYStringConcat.h"
#include "mysql/MySQLConnection.h"
#include "mysql/MySQLDriver.h"
#include "tests/support/RecordingStatementSQL.h"
#include "tests/support/ServerDriver.h"
#include "tests/support/ValueCells.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

extern "C" int bInitLibrary(HINSTANCE hModule);

namespace {

typedef std::vector<const wchar_t*> Row;

// A MySQL connection that has read its server's version, never opened.
class CShownConnection : public CMySQLConnection {
public:
    explicit CShownConnection(const wchar_t* pszVersion) : CMySQLConnection(L"shown", nullptr)
    {
        m_csServerVersion = pszVersion;
        _bDecomposeServerVersion(nullptr);
    }
};

// A recorded result whose value (row, column) cannot be read.
class CResult : public CRecordingStatementSQL {
public:
    using CRecordingStatementSQL::CRecordingStatementSQL;
    long long llFailRow = -1;
    unsigned int nFailColumn = 0;
    long long llFailFetchRow = -1; // a fetch that reaches this row fails
    int bFetch(unsigned int nFlags) override
    {
        const int b = CRecordingStatementSQL::bFetch(nFlags);
        return m_llCurrentRow == llFailFetchRow ? 0 : b;
    }
    int bGetValue(CNAConvertVariant* pclCell, unsigned int nColumn, unsigned int nFlags) override
    {
        if (m_llCurrentRow == llFailRow && nColumn == nFailColumn)
            return 0;
        return CRecordingStatementSQL::bGetValue(pclCell, nColumn, nFlags);
    }
    using CRecordingStatementSQL::bGetValue;
};

class MySQLDescription : public testing::Test {
protected:
    void SetUp() override
    {
        BindValueMachine();
        bInitLibrary(nullptr);
        m_pDriver = new CMySQLDriver;
        m_pDriver->ExternalAddRef();
        ASSERT_EQ(m_pDriver->bInitDriver(), 1);
        CNADriver::s_pclDriver = m_pDriver;
    }
    void TearDown() override
    {
        for (CNAStatementSQL* p : m_tabResults)
            p->nRelease();
        for (CMySQLDataSourceDescription* p : m_tabDescriptions)
            EXPECT_EQ(p->nExternalRelease(), 0u);
        for (CShownConnection* p : m_tabConnections)
            p->nRelease();
        m_pDriver->nExternalRelease();
        CNADriver::s_pclDriver = nullptr;
    }
    CMySQLDataSourceDescription* Description(const wchar_t* pszVersion)
    {
        m_tabConnections.push_back(new CShownConnection(pszVersion));
        m_tabConnections.back()->AddRef();
        CMySQLDataSourceDescription* p = new CMySQLDataSourceDescription(m_tabConnections.back(), Error());
        p->ExternalAddRef();
        p->SetLogicalName(L"t");
        p->SetDBName(L"t");
        m_tabDescriptions.push_back(p);
        return p;
    }
    CResult* Result(std::vector<std::wstring> tabColumns, std::vector<Row> tabRows)
    {
        CResult* p = new CResult(m_tabConnections.back(), Error());
        p->AddRef();
        p->m_tabColumnName = std::move(tabColumns);
        p->m_tabRow = std::move(tabRows);
        p->_bExecuteDirect("SHOW", nullptr, 0);
        m_tabResults.push_back(p);
        return p;
    }
    CNAError* Error() { return m_pDriver->pclGetError(); }
    static CNAItemDescription* Item(CNADataSourceDescription* p, const wchar_t* pszName)
    {
        return p->pclNAGetItemNoRef(pszName, 2);
    }
    static std::vector<std::wstring> Components(CNAItemDescription* p)
    {
        std::vector<std::wstring> tab;
        for (int k = 1; k <= p->nGetNumComponents(); k++) {
            INAItemDescription* pi = p->piGetItemComponent(k);
            tab.push_back(pi->pszGetName());
            pi->nExternalRelease();
        }
        return tab;
    }
    static std::string AsText(const CAny* p)
    {
        CAny cl;
        p->pclGetTraitement()->Duplique(&cl);
        if (cl.__nCastTo(TQTYPE_DSTRW, nullptr, 1) > 99)
            return "(no text)";
        return Narrow(TextW(cl).c_str());
    }

    CMySQLDriver* m_pDriver = nullptr;
    std::vector<CShownConnection*> m_tabConnections;
    std::vector<CMySQLDataSourceDescription*> m_tabDescriptions;
    std::vector<CNAStatementSQL*> m_tabResults;
};

const std::vector<std::wstring> kFullColumns = {L"Field", L"Type", L"Collation", L"Null", L"Key", L"Default", L"Extra"};
const std::vector<std::wstring> kOldColumns = {L"Field", L"Type", L"Null", L"Key", L"Default", L"Extra"};
const std::vector<std::wstring> kIndexColumns = {L"Table", L"Non_unique", L"Key_name", L"Seq_in_index",
                                                 L"Column_name"};

TEST_F(MySQLDescription, KeyTypesAndQueryTexts)
{
    const struct {
        const wchar_t* pszKey;
        unsigned short nType;
    } tabKey[] = {{L"PRI", 0x8800}, {L"pri", 0x8800}, {L"PRIMARY", 0x8800}, {L"Uni", 0x4800}, {L"MUL", 0},
                  {nullptr, 0},     {L"PR", 0},       {L"UN", 0}};
    for (const auto& t : tabKey)
        EXPECT_EQ(CMySQLDataSourceDescription::_nKeyType(t.pszKey), t.nType) << (t.pszKey ? Narrow(t.pszKey) : "");
    const struct {
        const wchar_t* pszVersion;
        const wchar_t* pszColumns;
    } tab[] = {{L"4.1.0", L"SHOW FULL COLUMNS FROM `t`"}, {L"4.0.30", L"SHOW COLUMNS FROM `t`"}};
    for (const auto& t : tab) {
        CMySQLDataSourceDescription* p = Description(t.pszVersion);
        CXYStringConcat<wchar_t> cl;
        cl.Add(L"left over");
        ASSERT_EQ(p->_bGetQueryShowColumns(&cl), 1);
        EXPECT_EQ(std::wstring(cl.pszGet()), t.pszColumns);
        ASSERT_EQ(p->_bGetQueryShowIndex(&cl), 1);
        EXPECT_EQ(std::wstring(cl.pszGet()), L"SHOW INDEX FROM `t`");
    }
}

TEST_F(MySQLDescription, ColumnsOfAServerFrom4_1)
{
    CMySQLDataSourceDescription* p = Description(L"10.11.19");
    CResult* pclResult =
        Result(kFullColumns, {{L"id", L"int(11)", nullptr, L"NO", L"PRI", nullptr, L"auto_increment"},
                              {L"n", L"bigint(20)", nullptr, L"NO", L"PRI", nullptr, L"auto_increment"},
                              {L"name", L"varchar(20)", L"utf8mb4_general_ci", L"YES", L"", nullptr, L""},
                              {L"u", L"int(11)", nullptr, L"", L"UNI", L"7", L""},
                              {L"p", L"int(11)", nullptr, L"NO", L"PRI", L"0", L"on update"},
                              {L"c", L"varchar(3)", L"latin1_swedish_ci", L"YES", L"MUL", L"", L""},
                              {L"d", L"datetime", nullptr, L"YES", L"", L"CURRENT_TIMESTAMP", L""},
                              {L"e", L"date", nullptr, L"YES", L"", L"2024-02-29", L""},
                              {L"f", L"double", nullptr, L"YES", L"", L"-.5", L""},
                              {L"g", L"varchar(9)", nullptr, L"YES", L"", L"uuid()", L""}});
    ASSERT_EQ(p->_bInitItemFromQueryShowColumns(pclResult), 1);
    struct {
        const wchar_t* pszName;
        eNA_ITEMTYPE eType;
        unsigned short nFlags;
        int nKey;
        bool bNullable;
        const char* pszDefault; // null: NULL
    } const tab[] = {
        {L"id", NA_IT_IDAUTO4, 0x8800, 0, false, nullptr}, {L"n", NA_IT_IDAUTO, 0x8800, 1, false, nullptr},
        {L"name", NA_IT_UNICODE, 0, -1, true, nullptr},    {L"u", NA_IT_I4, 0, -1, false, "7"},
        {L"p", NA_IT_I4, 0, -1, false, "0"},               {L"c", NA_IT_TEXTE, 0, -1, true, ""},
        // An expression is no value of a date, a text keeps it as written.
        {L"d", NA_IT_DATETIME, 0, -1, true, nullptr},      {L"e", NA_IT_DATE8, 0, -1, true, "20240229"},
        {L"f", NA_IT_R8, 0, -1, true, "-0.5"},             {L"g", NA_IT_TEXTE, 0, -1, true, "uuid()"},
    };
    ASSERT_EQ(p->nGetNumItems(), 10u);
    EXPECT_EQ(p->nGetNumKeys(), 2u);
    for (int i = 0; i < 10; i++) {
        SCOPED_TRACE(Narrow(tab[i].pszName));
        CNAItemDescription* pcl = p->pclNAGetItemNoRef(i);
        EXPECT_STREQ(pcl->pszGetName(), tab[i].pszName);
        EXPECT_STREQ(pcl->pszGetNameInSource(), tab[i].pszName);
        EXPECT_STREQ(pcl->pszGetSourceName(), L"t");
        EXPECT_EQ(pcl->eNAGetItemType(), tab[i].eType);
        EXPECT_EQ(pcl->nGetKeyFlags(), tab[i].nFlags);
        EXPECT_EQ(pcl->nGetKeyIndice(), tab[i].nKey);
        EXPECT_EQ(pcl->nGetPhysicalIndice(), i);
        EXPECT_EQ(pcl->bNullable() != 0, tab[i].bNullable);
        EXPECT_EQ(pcl->pclGetDefaultValue(0)->bIsNull(), tab[i].pszDefault == nullptr);
        if (tab[i].pszDefault != nullptr) {
            EXPECT_EQ(AsText(pcl->pclGetDefaultValue(0)), tab[i].pszDefault);
        }
        // Only the description's arrays hold the item.
        EXPECT_EQ(pcl->nGetRef(), 0u);
    }
    EXPECT_EQ(Error()->dwGetErrorId(), 0u);
}

// Defaults the server works out, as SHOW COLUMNS shows them where the
// catalogue has no quotes to tell: MySQL 8 marks them DEFAULT_GENERATED,
// older servers only know CURRENT_TIMESTAMP on dates and times.
TEST_F(MySQLDescription, ExpressionDefaultsOfServersWithoutQuotedLiterals)
{
    CMySQLDataSourceDescription* p = Description(L"8.0.36");
    CResult* pclResult =
        Result(kFullColumns,
               {{L"u", L"char(36)", L"utf8mb4_0900_ai_ci", L"YES", L"", L"uuid()", L"DEFAULT_GENERATED"},
                {L"t", L"datetime", nullptr, L"NO", L"", L"CURRENT_TIMESTAMP",
                 L"default_generated on update CURRENT_TIMESTAMP"},
                {L"o", L"timestamp", nullptr, L"NO", L"", L"CURRENT_TIMESTAMP", L""},
                {L"x", L"int", nullptr, L"YES", L"", L"(2 + 3)", L""},
                {L"l", L"varchar(20)", L"utf8mb4_0900_ai_ci", L"YES", L"", L"CURRENT_TIMESTAMP", L""},
                {L"e", L"int", nullptr, L"NO", L"", L"", L""},
                {L"n", L"int", nullptr, L"YES", L"", L"5", L""}});
    ASSERT_EQ(p->_bInitItemFromQueryShowColumns(pclResult), 1);
    struct {
        const wchar_t* pszName;
        bool bExpression;
        const char* pszDefault; // null: none
    } const tab[] = {
        {L"u", true, nullptr}, {L"t", true, nullptr}, {L"o", true, nullptr}, {L"x", true, nullptr},
        // A text's CURRENT_TIMESTAMP unmarked is its literal; an empty text
        // is no expression.
        {L"l", false, "CURRENT_TIMESTAMP"}, {L"e", false, nullptr}, {L"n", false, "5"},
    };
    ASSERT_EQ(p->nGetNumItems(), 7u);
    for (const auto& t : tab) {
        SCOPED_TRACE(Narrow(t.pszName));
        CNAItemDescription* pcl = p->pclNAGetItemNoRef(t.pszName, 2);
        ASSERT_NE(pcl, nullptr);
        EXPECT_EQ(pcl->bDefaultExpression() != 0, t.bExpression);
        const CAny* pDefault = pcl->pclGetDefaultValue(0);
        EXPECT_EQ(pDefault->bIsNull() || pDefault->nGetTypeCode() == TQTYPE_VIDE, t.pszDefault == nullptr);
        if (t.pszDefault != nullptr) {
            EXPECT_EQ(AsText(pcl->pclGetDefaultValue(0)), t.pszDefault);
        }
    }
    EXPECT_EQ(Error()->dwGetErrorId(), 0u);
}

TEST_F(MySQLDescription, AnAutoIncrementKeyIsTheFourByteIdentifierOnlyAtSizeFour)
{
    // Auto-increment primary keys of integers of each stored size: the
    // four-byte identifier for a size of 4 (MEDIUMINT is held in 4), the
    // eight-byte one for the others.
    CMySQLDataSourceDescription* p = Description(L"10.11.19");
    CResult* pclResult =
        Result(kFullColumns, {{L"s", L"smallint(6)", nullptr, L"NO", L"PRI", nullptr, L"auto_increment"},
                              {L"m", L"mediumint(9)", nullptr, L"NO", L"PRI", nullptr, L"auto_increment"},
                              {L"i", L"int(10) unsigned", nullptr, L"NO", L"PRI", nullptr, L"auto_increment"},
                              {L"t", L"smallint(6)", nullptr, L"NO", L"PRI", nullptr, L""}});
    ASSERT_EQ(p->_bInitItemFromQueryShowColumns(pclResult), 1);
    ASSERT_EQ(p->nGetNumItems(), 4u);
    struct {
        eNA_ITEMTYPE eType;
        int nKey;
    } const tab[] = {{NA_IT_IDAUTO, 0}, {NA_IT_IDAUTO4, 1}, {NA_IT_IDAUTO4, 2}, {NA_IT_I2, -1}};
    for (unsigned int i = 0; i < 4; i++) {
        SCOPED_TRACE(i);
        CNAItemDescription* pcl = p->pclNAGetItemNoRef(static_cast<int>(i));
        EXPECT_EQ(pcl->eNAGetItemType(), tab[i].eType);
        EXPECT_EQ(pcl->nGetKeyIndice(), tab[i].nKey);
    }
    EXPECT_EQ(Error()->dwGetErrorId(), 0u);
}

TEST_F(MySQLDescription, FailedColumnReadsAndFetches)
{
    // A value that cannot be read ends the list; the items before it stay.
    CMySQLDataSourceDescription* p = Description(L"10.11.19");
    CResult* pclResult = Result(kFullColumns, {{L"a", L"int", nullptr, L"YES", L"", nullptr, L""},
                                               {L"b", L"int", nullptr, L"YES", L"", nullptr, L""}});
    pclResult->llFailRow = 1;
    pclResult->nFailColumn = 6;
    EXPECT_EQ(p->_bInitItemFromQueryShowColumns(pclResult), 0);
    EXPECT_EQ(p->nGetNumItems(), 1u);
    // A fetch that fails is a failure, not the end of the rows, and its row
    // is not read.
    CMySQLDataSourceDescription* q = Description(L"10.11.19");
    CResult* pclFailing = Result(kFullColumns, {{L"a", L"int", nullptr, L"YES", L"", nullptr, L""},
                                                {L"b", L"int", nullptr, L"YES", L"", nullptr, L""}});
    pclFailing->llFailFetchRow = 1;
    EXPECT_EQ(q->_bInitItemFromQueryShowColumns(pclFailing), 0);
    EXPECT_EQ(q->nGetNumItems(), 1u);
}

TEST_F(MySQLDescription, IndexesIntoKeyFlagsAndCompositeKeys)
{
    CMySQLDataSourceDescription* p = Description(L"10.11.19");
    for (const wchar_t* psz : {L"a", L"b", L"c", L"x"})
        ASSERT_EQ(p->bAddItem(psz, L"t", psz, 1, 4, NA_IT_I4, -1, -1, 0, 0, 0), 1);
    CResult* pclResult = Result(kIndexColumns, {{L"t", L"0", L"PRIMARY", L"1", L"a"},
                                                {L"t", L"1", L"ix", L"1", L"b"},
                                                {L"t", L"1", L"ix", L"2", L"c"},
                                                {L"t", L"0", L"u", L"1", L"x"},
                                                {L"t", L"1", L"k", L"1", L"zz"},
                                                {L"t", L"0", L"uq", L"1", L"c"},
                                                {L"t", L"0", L"uq", L"2", L"b"},
                                                {L"t", L"0", L"uq", L"3", L"a"}});
    ASSERT_EQ(p->_bInitKeysFromQueryShowIndex(pclResult), 1);
    // An index column that names no item is passed over without an error.
    EXPECT_EQ(Error()->dwGetErrorId(), 0u);
    ASSERT_EQ(p->nGetNumKeys(), 4u);
    // Internal holders: the composites an item is a component of.
    struct {
        const wchar_t* pszKey;
        unsigned short nFlags;
        std::vector<std::wstring> tabComponents;
        unsigned int nHolders;
    } const tab[] = {{L"a", 0xC800, {}, 1}, {L"ix", 0x3800, {L"b", L"c"}, 0}, {L"x", 0x4800, {}, 0},
                     {L"uq", 0x5800, {L"c", L"b", L"a"}, 0}};
    for (int i = 0; i < 4; i++) {
        SCOPED_TRACE(Narrow(tab[i].pszKey));
        CNAItemDescription* pcl = p->pclNAGetKeyNoRef(i);
        EXPECT_STREQ(pcl->pszGetName(), tab[i].pszKey);
        EXPECT_EQ(pcl->nGetKeyFlags(), tab[i].nFlags);
        EXPECT_EQ(pcl->nGetKeyIndice(), i);
        EXPECT_EQ(Components(pcl), tab[i].tabComponents);
        EXPECT_EQ(pcl->nGetRef(), tab[i].nHolders);
        if (!tab[i].tabComponents.empty()) {
            EXPECT_EQ(pcl->eNAGetItemType(), NA_IT_BINAIRE);
            EXPECT_STREQ(pcl->pszGetSourceName(), L"t");
            EXPECT_EQ(pcl->nGetDimension(), 1u);
        }
    }
    EXPECT_EQ(Item(p, L"b")->nGetKeyFlags(), 0);
    // An empty index list keeps what the columns set.
    CMySQLDataSourceDescription* q = Description(L"10.11.19");
    ASSERT_EQ(q->bAddItem(L"a", L"t", L"a", 1, 4, NA_IT_IDAUTO4, 0, 0, 0x8800, 0, 0), 1);
    EXPECT_EQ(q->_bInitKeysFromQueryShowIndex(Result(kIndexColumns, {})), 1);
    EXPECT_EQ(Item(q, L"a")->nGetKeyFlags(), 0x8800);
}

// A server that keeps descending index parts says "D" in the Collation
// column: that part sorts descending, in a composite key as a component of
// its own; "A", NULL and an index list without the column keep ascending.
TEST_F(MySQLDescription, DescendingIndexParts)
{
    const std::vector<std::wstring> tabColumns = {L"Table",       L"Non_unique", L"Key_name",
                                                  L"Seq_in_index", L"Column_name", L"Collation"};
    CMySQLDataSourceDescription* p = Description(L"10.11.19");
    for (const wchar_t* psz : {L"a", L"b", L"c", L"d", L"e"})
        ASSERT_EQ(p->bAddItem(psz, L"t", psz, 1, 4, NA_IT_I4, -1, -1, 0, 0, 0), 1);
    CResult* pclResult = Result(tabColumns, {{L"t", L"1", L"ab", L"1", L"a", L"A"},
                                             {L"t", L"1", L"ab", L"2", L"b", L"D"},
                                             {L"t", L"0", L"ba", L"1", L"b", L"D"},
                                             {L"t", L"0", L"ba", L"2", L"a", L"A"},
                                             {L"t", L"0", L"ba", L"3", L"e", L"D"},
                                             {L"t", L"1", L"c", L"1", L"c", L"D"},
                                             {L"t", L"1", L"d", L"1", L"d", L"d"},
                                             {L"t", L"1", L"e", L"1", L"e", L""}});
    ASSERT_EQ(p->_bInitKeysFromQueryShowIndex(pclResult), 1);
    struct {
        const wchar_t* pszKey;
        unsigned short nFlags;
        std::vector<int> tabDescending; // each component's direction
    } const tab[] = {{L"ab", 0x3800, {0, 1}}, {L"ba", 0x5800, {1, 0, 1}}, {L"c", 0x2400, {}},
                     {L"d", 0x2800, {}}, {L"e", 0x2800, {}}};
    for (const auto& t : tab) {
        SCOPED_TRACE(Narrow(t.pszKey));
        CNAItemDescription* pcl = Item(p, t.pszKey);
        ASSERT_NE(pcl, nullptr);
        EXPECT_EQ(pcl->nGetKeyFlags(), t.nFlags);
        ASSERT_EQ(pcl->nGetNumComponents(), static_cast<int>(t.tabDescending.size()));
        for (size_t i = 0; i < t.tabDescending.size(); i++)
            EXPECT_EQ(pcl->bGetDescendant(static_cast<int>(i) + 1), t.tabDescending[i]) << i;
    }
    // A clone of the description keeps each part's direction.
    CNADataSourceDescription* pClone = p->pclGetCloneDataSourceDescription(0);
    ASSERT_NE(pClone, nullptr);
    pClone->AddRef();
    for (const auto& t : tab) {
        SCOPED_TRACE("clone " + Narrow(t.pszKey));
        CNAItemDescription* pcl = Item(pClone, t.pszKey);
        ASSERT_NE(pcl, nullptr);
        EXPECT_EQ(pcl->nGetKeyFlags(), t.nFlags);
        for (size_t i = 0; i < t.tabDescending.size(); i++)
            EXPECT_EQ(pcl->bGetDescendant(static_cast<int>(i) + 1), t.tabDescending[i]) << i;
    }
    pClone->nRelease();
    // Rows without the column: every part ascending.
    CMySQLDataSourceDescription* q = Description(L"10.11.19");
    for (const wchar_t* psz : {L"a", L"b"})
        ASSERT_EQ(q->bAddItem(psz, L"t", psz, 1, 4, NA_IT_I4, -1, -1, 0, 0, 0), 1);
    ASSERT_EQ(q->_bInitKeysFromQueryShowIndex(Result(kIndexColumns, {{L"t", L"1", L"k", L"1", L"a"},
                                                                     {L"t", L"1", L"k", L"2", L"b"},
                                                                     {L"t", L"1", L"j", L"1", L"b"}})),
              1);
    EXPECT_EQ(Item(q, L"k")->bGetDescendant(2), 0);
    EXPECT_EQ(Item(q, L"b")->nGetKeyFlags(), 0x2800);
    // A Collation that cannot be read fails the list as any column does.
    CMySQLDataSourceDescription* r = Description(L"10.11.19");
    ASSERT_EQ(r->bAddItem(L"a", L"t", L"a", 1, 4, NA_IT_I4, -1, -1, 0, 0, 0), 1);
    CResult* pclFailing = Result(tabColumns, {{L"t", L"1", L"k", L"1", L"a", L"D"}});
    pclFailing->llFailRow = 0;
    pclFailing->nFailColumn = 5;
    EXPECT_EQ(r->_bInitKeysFromQueryShowIndex(pclFailing), 0);
    EXPECT_EQ(Item(r, L"a")->nGetKeyFlags(), 0);
    Error()->Reset();
}

TEST_F(MySQLDescription, FailedIndexReadsFileNoHalfKey)
{
    struct {
        const char* pszCase;
        std::vector<Row> tabRows;
        long long llFailRow;
        bool bFailFetch;
    } const tab[] = {
        // A composite's column that names no item.
        {"unknown column", {{L"t", L"1", L"k", L"1", L"a"}, {L"t", L"1", L"k", L"2", L"zz"}}, -1, false},
        {"unknown first column", {{L"t", L"1", L"k", L"1", L"zz"}, {L"t", L"1", L"k", L"2", L"a"}}, -1, false},
        // A row that cannot be read, after the composite began.
        {"unread row",
         {{L"t", L"1", L"k", L"1", L"a"}, {L"t", L"1", L"k", L"2", L"b"}, {L"t", L"1", L"k", L"3", L"c"}},
         2,
         false},
        {"failed fetch", {{L"t", L"1", L"k", L"1", L"a"}, {L"t", L"1", L"k", L"2", L"b"}}, -1, true},
        {"fetch failed at the composite's end",
         {{L"t", L"1", L"k", L"1", L"a"}, {L"t", L"1", L"k", L"2", L"b"}, {L"t", L"0", L"u", L"1", L"c"}},
         -2,
         false},
    };
    for (const auto& t : tab) {
        SCOPED_TRACE(t.pszCase);
        CMySQLDataSourceDescription* p = Description(L"10.11.19");
        for (const wchar_t* psz : {L"a", L"b", L"c"})
            ASSERT_EQ(p->bAddItem(psz, L"t", psz, 1, 4, NA_IT_I4, -1, -1, 0, 0, 0), 1);
        CResult* pclResult = Result(kIndexColumns, t.tabRows);
        pclResult->llFailRow = t.llFailRow;
        pclResult->nFailColumn = 4;
        if (t.llFailRow == -2)
            pclResult->llFailFetchRow = 2;
        pclResult->m_bFailFetch = t.bFailFetch;
        EXPECT_EQ(p->_bInitKeysFromQueryShowIndex(pclResult), 0);
        EXPECT_EQ(p->nGetNumKeys(), 0u);
        EXPECT_EQ(p->nGetNumItems(), 3u);
        Error()->Reset();
    }
}

} // namespace
