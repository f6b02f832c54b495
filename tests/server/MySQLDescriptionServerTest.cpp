// Table descriptions of the MySQL driver read from the server's SHOW
// statements through INADriver::piGetTableDesc: automatic identifiers,
// key flags of single and composite indexes, NULL rules and defaults,
// names outside ASCII in both code-page modes, an old server's texts; the
// table probe; and the driver's replaced slots called by their place.
#include "access/driver/NADataSourceDescription.h"
#include "access/driver/NADriverSQL.h"
#include "access/driver/NAItemDescription.h"
#include "common/platform/MyModuleInfo.h"
#include "common/text/TStringConcatAW.h"
#include "mysql/MySQLDataSourceDescription.h"
#include "mysql/MySQLDriverSQL.h"
#include "tests/support/DriverServer.h"
#include "tests/support/ValueCells.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

extern "C" INADriver* piQueryInterface();

namespace {

typedef std::vector<std::string> Texts;
const unsigned short KF_ASC = CNAItemDescription::KF_ASCENDING;

// A value as text.
std::string AsText(const CAny& v)
{
    CAny clText;
    v.pclGetTraitement()->Duplique(&clText);
    if (clText.__nCastTo(TQTYPE_DSTRW, nullptr, 1) > 99)
        return "(no text)";
    return Narrow(TextW(clText).c_str());
}

// What a description says of one item: item type, key flags, key index.
struct STItem {
    eNA_ITEMTYPE eType;
    unsigned short nFlags;
    int nKey;
};

bool operator==(const STItem& a, const STItem& b)
{
    return a.eType == b.eType && a.nFlags == b.nFlags && a.nKey == b.nKey;
}

std::ostream& operator<<(std::ostream& os, const STItem& st)
{
    return os << "{type " << st.eType << ", flags 0x" << std::hex << st.nFlags << std::dec << ", key " << st.nKey
              << "}";
}

class MySQLDescriptionServer : public DriverServerTest {
protected:
    MySQLDescriptionServer()
        : DriverServerTest("zt38desc",
                           {"CREATE TABLE ai (id INT AUTO_INCREMENT PRIMARY KEY, v VARCHAR(10)) ENGINE=InnoDB",
                            "CREATE TABLE big (id BIGINT AUTO_INCREMENT PRIMARY KEY) ENGINE=InnoDB",
                            "CREATE TABLE pk (code CHAR(4) PRIMARY KEY, u INT, d DATE, UNIQUE (u), INDEX (d)) "
                            "ENGINE=InnoDB",
                            "CREATE TABLE ix (a INT, b VARCHAR(5), c INT, x INT, y INT, z INT, INDEX ix (a, b), "
                            "UNIQUE uq (z, x, y)) ENGINE=InnoDB",
                            "CREATE TABLE plain (n INT NOT NULL, m INT NULL, dn INT DEFAULT NULL, de VARCHAR(5) "
                            "DEFAULT '', dx VARCHAR(5) DEFAULT 'x', d42 INT DEFAULT 42, dt DATETIME DEFAULT "
                            "current_timestamp(), j JSON) ENGINE=InnoDB",
                            "CREATE TABLE `tablé` (`çolonne` VARCHAR(5), `prix€` INT, UNIQUE (`prix€`)) ENGINE=InnoDB"})
    {
    }
    // The description through the host's interface, with the number of
    // results the reading took (each given back).
    INADataSourceDescription* Describe(const wchar_t* pszTable, CHostConnectionDescription* pHost = nullptr,
                                       int nQueries = 2)
    {
        const int nResults = m_pfnResults();
        INADataSourceDescription* pi = m_piDriver->piGetTableDesc(pszTable, pHost != nullptr ? pHost : m_pHost);
        EXPECT_NE(pi, nullptr) << Report();
        EXPECT_EQ(m_pfnResults(), nResults + nQueries);
        EXPECT_EQ(m_pfnFreed(), m_pfnResults());
        return pi;
    }
    std::map<std::wstring, STItem> Items(INADataSourceDescription* pi)
    {
        std::map<std::wstring, STItem> map;
        for (unsigned int i = 0; i < pi->nGetNumItems(); i++) {
            CNAItemDescription* p = static_cast<CNAItemDescription*>(pi->piNAGetItem(i));
            map[p->pszGetName()] = {p->eNAGetItemType(), p->nGetKeyFlags(), p->nGetKeyIndice()};
            p->nExternalRelease();
        }
        return map;
    }
    std::vector<std::wstring> Components(INADataSourceDescription* pi, const wchar_t* pszKey)
    {
        std::vector<std::wstring> tab;
        INAItemDescription* piKey = pi->piNAGetItem(pszKey);
        if (piKey == nullptr)
            return tab;
        for (int k = 1; k <= piKey->nGetNumComponents(); k++) {
            INAItemDescription* piC = piKey->piGetItemComponent(k);
            tab.push_back(piC->pszGetName());
            piC->nExternalRelease();
        }
        piKey->nExternalRelease();
        return tab;
    }
};

TEST_F(MySQLDescriptionServer, AutomaticIdentifiersAndSingleColumnKeys)
{
    struct {
        const wchar_t* pszTable;
        std::map<std::wstring, STItem> mapItems;
    } const tab[] = {
        {L"ai", {{L"id", {NA_IT_IDAUTO4, 0x8000 | KF_ASC, 0}}, {L"v", {NA_IT_UNICODE, 0, -1}}}},
        {L"big", {{L"id", {NA_IT_IDAUTO, 0x8000 | KF_ASC, 0}}}},
        // A primary key without auto_increment takes its flags from the
        // index list; the single-column indexes follow in their order.
        {L"pk", {{L"code", {NA_IT_UNICODE, 0xC000 | KF_ASC, 0}}, {L"u", {NA_IT_I4, 0x4000 | KF_ASC, 1}},
                 {L"d", {NA_IT_DATE8, 0x2000 | KF_ASC, 2}}}},
    };
    for (const auto& t : tab) {
        SCOPED_TRACE(Narrow(t.pszTable));
        INADataSourceDescription* pi = Describe(t.pszTable);
        ASSERT_NE(pi, nullptr);
        EXPECT_EQ(Items(pi), t.mapItems);
        EXPECT_EQ(Sent(), (Texts{"SHOW FULL COLUMNS FROM `" + Narrow(t.pszTable) + "`",
                                 "SHOW INDEX FROM `" + Narrow(t.pszTable) + "`"}));
        EXPECT_EQ(pi->nExternalRelease(), 0u);
    }
}

TEST_F(MySQLDescriptionServer, CompositeKeysInIndexOrder)
{
    INADataSourceDescription* pi = Describe(L"ix");
    ASSERT_NE(pi, nullptr);
    ASSERT_EQ(pi->nGetNumItems(), 8u);
    EXPECT_EQ(pi->nGetNumKeys(), 2u);
    // Sizes: the components' (an INT 4, a utf8mb4 VARCHAR(5) 20: two
    // UTF-16 units a character).
    struct {
        const wchar_t* pszKey;
        unsigned short nFlags;
        std::vector<std::wstring> tabComponents;
        unsigned int nSize;
    } const tab[] = {
        {L"ix", 0x3800, {L"a", L"b"}, 24},
        {L"uq", 0x5800, {L"z", L"x", L"y"}, 12},
    };
    for (const auto& t : tab) {
        SCOPED_TRACE(Narrow(t.pszKey));
        CNAItemDescription* p = static_cast<CNAItemDescription*>(pi->piNAGetItem(t.pszKey));
        ASSERT_NE(p, nullptr);
        EXPECT_STREQ(p->pszGetName(), t.pszKey);
        EXPECT_STREQ(p->pszGetNameInSource(), t.pszKey);
        EXPECT_EQ(p->eNAGetItemType(), NA_IT_BINAIRE);
        EXPECT_EQ(p->nGetDimension(), 1u);
        EXPECT_EQ(p->nGetKeyFlags(), t.nFlags);
        EXPECT_TRUE(p->bIsComposedKey());
        // Made with no place of its own, it is filed after the columns.
        EXPECT_GE(p->nGetPhysicalIndice(), 6);
        EXPECT_EQ(Components(pi, t.pszKey), t.tabComponents);
        // Made of size 0, a composite grows by its components.
        EXPECT_EQ(p->nGetItemSize(), t.nSize);
        p->nExternalRelease();
    }
    // The columns of composite keys keep no key flags of their own.
    for (const wchar_t* psz : {L"a", L"b", L"c", L"x", L"y", L"z"})
        EXPECT_EQ(Items(pi)[psz].nFlags, 0) << Narrow(psz);
    EXPECT_EQ(pi->nExternalRelease(), 0u);
}

TEST_F(MySQLDescriptionServer, NullRulesDefaultsAndAnOldServer)
{
    for (const wchar_t* pszVersion : {L"", L"4.0.30"}) {
        const bool bOld = pszVersion[0] != 0;
        SCOPED_TRACE(bOld ? "4.0.30" : "current");
        m_pDriver->m_csVersion = pszVersion;
        // A text default ('x') is told from an expression by the catalogue
        // on this server, which quotes literals there.
        INADataSourceDescription* pi = Describe(L"plain", nullptr, bOld ? 2 : 3);
        ASSERT_NE(pi, nullptr);
        const Texts tabSent =
            bOld ? Texts{"SHOW COLUMNS FROM `plain`", "SHOW INDEX FROM `plain`"}
                 : Texts{"SHOW FULL COLUMNS FROM `plain`",
                         "SELECT TABLE_NAME, COLUMN_NAME, COLUMN_DEFAULT FROM INFORMATION_SCHEMA.COLUMNS WHERE "
                         "TABLE_SCHEMA = DATABASE() AND TABLE_NAME = 'plain'",
                         "SHOW INDEX FROM `plain`"};
        EXPECT_EQ(Sent(), tabSent);
        EXPECT_EQ(pi->nGetNumKeys(), 0u);
        struct {
            const wchar_t* pszItem;
            bool bNullable;
            const char* pszDefault; // null: a NULL default
        } const tab[] = {
            {L"n", false, nullptr}, {L"m", true, nullptr}, {L"dn", true, nullptr}, {L"de", true, ""},
            {L"dx", true, "x"},  {L"d42", true, "42"},   {L"dt", true, nullptr}, {L"j", true, nullptr},
        };
        for (const auto& t : tab) {
            SCOPED_TRACE(Narrow(t.pszItem));
            CNAItemDescription* p = static_cast<CNAItemDescription*>(pi->piNAGetItem(t.pszItem));
            ASSERT_NE(p, nullptr);
            EXPECT_EQ(p->bNullable() != 0, t.bNullable);
            CAny* pDefault = p->pclGetDefaultValue(0);
            EXPECT_EQ(pDefault->bIsNull(), t.pszDefault == nullptr);
            // A default is a value of the item's own host type.
            EXPECT_EQ(pDefault->nGetTypeCode(), p->eGetItemTQType());
            if (t.pszDefault != nullptr && !pDefault->bIsNull()) {
                EXPECT_EQ(AsText(*pDefault), t.pszDefault);
            }
            p->nExternalRelease();
        }
        // The collation makes texts and memos wide; an old server has none.
        const std::map<std::wstring, STItem> mapItems = Items(pi);
        EXPECT_EQ(mapItems.at(L"de").eType, bOld ? NA_IT_TEXTE : NA_IT_UNICODE);
        EXPECT_EQ(mapItems.at(L"j").eType, bOld ? NA_IT_MEMOTEXTE : NA_IT_MEMOUNICODE);
        EXPECT_EQ(mapItems.at(L"d42").eType, NA_IT_I4);
        // Nothing left in the driver's error by a default it could not take.
        EXPECT_EQ(Code(), 0u);
        EXPECT_EQ(pi->nExternalRelease(), 0u);
    }
}

TEST_F(MySQLDescriptionServer, NamesOutsideASCIIInBothCodePageModes)
{
    for (const wchar_t* pszOptions : {L"", L"ZT Unicode Support=0"}) {
        SCOPED_TRACE(Narrow(pszOptions));
        INADataSourceDescription* pi = Describe(L"tablé", HostOn(pszOptions, L"ztcp"));
        ASSERT_NE(pi, nullptr);
        const std::map<std::wstring, STItem> mapItems = Items(pi);
        ASSERT_EQ(mapItems.size(), 2u);
        EXPECT_EQ(mapItems.count(L"çolonne"), 1u);
        ASSERT_EQ(mapItems.count(L"prix€"), 1u);
        EXPECT_EQ(mapItems.at(L"prix€").nFlags, 0x4000 | KF_ASC);
        INAItemDescription* piItem = pi->piNAGetItem(L"çolonne");
        EXPECT_STREQ(piItem->pszGetSourceName(), L"tablé");
        piItem->nExternalRelease();
        EXPECT_EQ(pi->nExternalRelease(), 0u);
    }
}

TEST_F(MySQLDescriptionServer, TableProbe)
{
    const std::string strUser = UniqueName("ztnr");
    ASSERT_TRUE(Admin("CREATE USER '" + strUser + "'@'127.0.0.1' IDENTIFIED BY 'nr-pw'"));
    ASSERT_TRUE(Admin("GRANT SELECT ON `" + m_strDatabase + "`.ai TO '" + strUser + "'@'127.0.0.1'"));
    CHostConnectionDescription* pLimited = HostOn(L"", L"ztnr");
    pLimited->SetText(CHostConnectionDescription::TXT_USER, Wide(strUser).c_str());
    pLimited->SetText(CHostConnectionDescription::TXT_PASSWORD, L"nr-pw");
    struct {
        const char* pszCase;
        CHostConnectionDescription* pHost;
        const wchar_t* pszTable;
        int bResult;
        int bExists;
        unsigned int nServerError;
    } const tab[] = {
        {"existing", m_pHost, L"ai", 1, 1, 0},
        {"outside ASCII", m_pHost, L"tablé", 1, 1, 0},
        {"missing", m_pHost, L"missing", 1, 0, 1146},
        {"no rights", pLimited, L"pk", 0, 0, 1142},
        {"rights", pLimited, L"ai", 1, 1, 0},
    };
    for (const auto& t : tab) {
        SCOPED_TRACE(t.pszCase);
        int bExists = -1;
        EXPECT_EQ(m_piDriver->bTableExists(&bExists, t.pszTable, t.pHost), t.bResult);
        EXPECT_EQ(bExists, t.bExists);
        EXPECT_EQ(ServerCode(), t.nServerError);
        EXPECT_EQ(Code(), t.nServerError != 0 ? static_cast<unsigned int>(ZTERR_SERVER) : 0u);
        EXPECT_EQ(Sent(), Texts{"SHOW COLUMNS FROM `" + UTF8Of(t.pszTable) + "`"});
    }
    EXPECT_EQ(m_pDriver->nGetNbConnection(), 0u);
    Admin("DROP USER '" + strUser + "'@'127.0.0.1'");
}

// The place of a virtual operation in its table (i386 Itanium ABI: a
// member pointer holds one plus the slot's byte offset).
template <class M>
int Place(M pm)
{
    std::uintptr_t au[2];
    static_assert(sizeof(M) == sizeof au, "a member pointer is an address and an adjustment");
    std::memcpy(au, &pm, sizeof au);
    return (au[0] & 1) != 0 ? static_cast<int>((au[0] - 1) / sizeof(void*)) : -1;
}

// Calls the operation of that place on the object, as the host does.
template <class R, class... A>
R CallPlace(void* pObject, int nPlace, A... args)
{
    void** pTable = *static_cast<void***>(pObject);
    return reinterpret_cast<R (*)(void*, A...)>(pTable[nPlace])(pObject, args...);
}

TEST_F(MySQLDescriptionServer, ReplacedSlotsByTheirPlace)
{
    const int nCnx = Open();
    CNADriver* pclFixture = CNADriver::s_pclDriver;
    INADriver* pi = piQueryInterface();
    ASSERT_NE(pi, nullptr);
    CNADriver* pclDriver = static_cast<CNADriver*>(pi);
    CNAError* pError = pclDriver->pclGetError();

    CNADataSourceDescription* pclDescription = CallPlace<CNADataSourceDescription*>(
        pi, Place(&CNADriver::pclAllocDataSourceDescription), static_cast<CNAConnectionDescription*>(nullptr), pError);
    EXPECT_NE(dynamic_cast<CMySQLDataSourceDescription*>(pclDescription), nullptr);
    pclDescription->AddRef();
    pclDescription->nRelease();

    // Locks on a description the driver never used: user error 14 at
    // 103.1 and 103.2, nothing sent.
    CHostConnectionDescription* pUnused = HostOn(L"", L"ztunused");
    for (int nPoint : {1, 2}) {
        const int n = nPoint == 1 ? CallPlace<int>(pi, Place(&INADriver::bSQLBloqueTable), pUnused, L"ai")
                                  : CallPlace<int>(pi, Place(&INADriver::bSQLBloqueRequete), pUnused,
                                                   static_cast<ISQLParserInformation*>(nullptr));
        EXPECT_EQ(n, 0);
        EXPECT_EQ(pError->dwGetErrorId(), static_cast<unsigned int>(ZTERR_NO_CONNECTION));
        const std::string strReport = Narrow(pError->pszGetError());
        EXPECT_NE(strReport.find("=103." + std::to_string(nPoint)), std::string::npos) << strReport;
        EXPECT_NE(strReport.find("ztunused"), std::string::npos) << strReport;
    }
    EXPECT_TRUE(Sent().empty());

    // The probe by place, on the fixture's open connection.
    CNAConnectionDescription* pclConnection = m_pDriver->pclGetConnectionByID(nCnx);
    ASSERT_NE(pclConnection, nullptr);
    int bExists = -1;
    EXPECT_EQ(CallPlace<int>(pi, Place(&CNADriver::_bTableExists), &bExists, L"ai", pclConnection), 1);
    EXPECT_EQ(bExists, 1);
    EXPECT_EQ(Sent(), Texts{"SHOW COLUMNS FROM `ai`"});

    // The SQL interface's replaced operations by place.
    INADriverSQL* piSQL = static_cast<INADriverSQL*>(pi->piGetInterface(1));
    ASSERT_NE(piSQL, nullptr);
    CAny v;
    EXPECT_EQ(CallPlace<int>(piSQL, Place(&INADriverSQL::bGetColumnTypeList), &v, 0, 0u), 1);
    EXPECT_EQ(TextW(v).substr(0, 7), L"bit\t1\r\n");
    int (CNADriverSQL::*pfnColumns)(CAny*, CNAConnectionDescription*, const wchar_t*, unsigned int) =
        &CNADriverSQL::bGetColumnList;
    EXPECT_EQ(CallPlace<int>(piSQL, Place(pfnColumns), &v, pclConnection, L"ai", 0u), 1);
    EXPECT_EQ(TextW(v), L"id\r\nv");
    EXPECT_EQ(Sent(), Texts{"SHOW COLUMNS FROM `ai`"});
    int (CNADriverSQL::*pfnTables)(CAny*, CNAConnectionDescription*, const wchar_t*, unsigned int) =
        &CNADriverSQL::bGetTableList;
    EXPECT_EQ(CallPlace<int>(piSQL, Place(pfnTables), &v, pclConnection, L"WHERE 1=0", 0x1u), 1);
    EXPECT_EQ(Sent(), Texts{"SHOW TABLES WHERE 1=0"});
    // A connection never opened knows no server version: the SHOW texts.
    CMySQLConnection clClosed(L"closed", nullptr);
    CTStringConcatAW clQuery;
    EXPECT_EQ(CallPlace<int>(piSQL, Place(&CNADriverSQL::_bGetDatabaseListQuery), &clQuery,
                             static_cast<CNAConnectionDescription*>(&clClosed), 0u),
              1);
    EXPECT_STREQ(clQuery.pszGetW(), L"SHOW DATABASES");
    EXPECT_EQ(CallPlace<int>(piSQL, Place(&CNADriverSQL::_bGetDatabaseTableListQuery), &clQuery, L"shop",
                             static_cast<CNAConnectionDescription*>(&clClosed), 0x1u),
              1);
    EXPECT_STREQ(clQuery.pszGetW(), L"SHOW TABLES FROM `shop`");
    EXPECT_EQ(CallPlace<int>(piSQL, Place(&CNADriverSQL::_bGetDatabaseListQuery), &clQuery, pclConnection, 0u), 1);
    EXPECT_STREQ(clQuery.pszGetW(), L"SELECT SCHEMA_NAME FROM INFORMATION_SCHEMA.SCHEMATA ORDER BY SCHEMA_NAME");
    EXPECT_TRUE(Sent().empty());

    m_pDriver->nReleaseConnection(pclConnection);
    piSQL->nExternalRelease();
    pi->nExternalRelease();
    CNADriver::s_pclDriver = pclFixture;
}

} // namespace
