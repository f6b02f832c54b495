// Column defaults through the table object as the host uses it: a default
// the server works out (uuid(), concat(), the time) is no value of the
// description and is left to the server by an add; literal defaults, an
// empty one and the text 'NULL' keep their values. Each add is judged by a
// twin row the server wrote itself from its key alone.
#include "access/driver/NAItemDescription.h"
#include "mysql/MySQLDataSourceDescription.h"
#include "tests/support/ProcessLocale.h"
#include "tests/support/TableObjectServer.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace tableobject;

const char* const kColumns[] = {"c", "c2", "f", "t", "t2", "d", "n", "e", "s", "z"};

class ServerDefault : public TableObjectServer {
protected:
    ServerDefault()
        : TableObjectServer("zt50sd",
                            {"CREATE TABLE d (id INT PRIMARY KEY, c CHAR(36) DEFAULT uuid(), c2 CHAR(36) DEFAULT "
                             "'uuid()', f VARCHAR(10) DEFAULT concat('a','b'), t DATETIME NOT NULL DEFAULT "
                             "CURRENT_TIMESTAMP, t2 DATETIME NULL DEFAULT CURRENT_TIMESTAMP, d DATE DEFAULT "
                             "(curdate()), n INT DEFAULT 5, e VARCHAR(5) DEFAULT '', s VARCHAR(5) DEFAULT 'NULL', "
                             "z VARCHAR(5) DEFAULT NULL) ENGINE=InnoDB CHARACTER SET utf8mb4"})
    {
    }
    // Each column of row id, NULL written out; a uuid by its length and
    // form, the time by its day (the twin is written the same second or
    // close to it).
    Rows Columns(int nId)
    {
        Rows tab;
        for (const char* psz : kColumns) {
            const std::string s(psz);
            std::string strRead = "IFNULL(" + s + ", 'NULL')";
            if (s == "c")
                strRead = "IFNULL(CONCAT(LENGTH(c), '/', c REGEXP '^[0-9a-f]{8}-[0-9a-f]{4}-'), 'NULL')";
            else if (s == "t" || s == "t2")
                strRead = "IFNULL(ABS(TIMESTAMPDIFF(SECOND, " + s + ", NOW())) < 60, 'NULL')";
            tab.push_back(s + "=" + First("SELECT " + strRead + " FROM d WHERE id = " + std::to_string(nId)));
        }
        return tab;
    }
};

TEST_F(ServerDefault, AnAddWithTheKeyAloneIsTheServersOwnRow)
{
    CHostContext* pc = Context(1);
    INATable* pi = Open(L"d", pc);
    ASSERT_NE(pi, nullptr);
    ASSERT_TRUE(Admin("INSERT INTO d (id) VALUES (1)"));
    SetItem(pi, pc, L"id", L"2");
    ASSERT_EQ(pi->bHAjoute(pc, 0, kNoLock), 1) << Error(pi, pc);
    const Rows tabTwin = Columns(1);
    EXPECT_EQ(Columns(2), tabTwin);
    // The twin is what the defaults make.
    EXPECT_EQ(tabTwin, (Rows{"c=36/1", "c2=uuid()", "f=ab", "t=1", "t2=1", "d=" + First("SELECT CURDATE()"), "n=5",
                             "e=", "s=NULL", "z=NULL"}));
    EXPECT_EQ(First("SELECT COUNT(*) FROM d WHERE s IS NULL OR c2 IS NULL"), "0");
    // Two adds get two uuids.
    EXPECT_EQ(First("SELECT COUNT(DISTINCT c) FROM d"), "2");

    // A value set is written as it is, expression default or not.
    SetItem(pi, pc, L"id", L"3");
    SetItem(pi, pc, L"c", L"given");
    SetItem(pi, pc, L"t", L"20200102030405000");
    ASSERT_EQ(pi->bHAjoute(pc, 0, kNoLock), 1) << Error(pi, pc);
    EXPECT_EQ(First("SELECT CONCAT(c, '/', t) FROM d WHERE id = 3"), "given/2020-01-02 03:04:05");
    // NULL set on a nullable one is the server's default all the same: the
    // record cannot tell it from unset.
    SetItem(pi, pc, L"id", L"4");
    SetItemNull(pi, pc, L"t2");
    ASSERT_EQ(pi->bHAjoute(pc, 0, kNoLock), 1) << Error(pi, pc);
    EXPECT_EQ(First("SELECT t2 IS NOT NULL FROM d WHERE id = 4"), "1");
    // A modify writes what it changes only, the rest as they are.
    const std::string strBefore = First("SELECT CONCAT_WS('/', c, t, d) FROM d WHERE id = 4");
    SetItem(pi, pc, L"n", L"9");
    ASSERT_EQ(pi->bHModifie(pc, 0, 0, kNoLock), 1) << Error(pi, pc);
    EXPECT_EQ(First("SELECT CONCAT_WS('/', c, t, d, n) FROM d WHERE id = 4"), strBefore + "/9");
}

TEST_F(ServerDefault, TheDescriptionTellsLiteralsFromExpressions)
{
    CHostContext* pc = Context(1);
    INATable* pi = Open(L"d", pc);
    ASSERT_NE(pi, nullptr);
    INADataSourceDescription* piDescription = Description(pi);
    struct {
        const wchar_t* pszItem;
        bool bExpression;
        const char* pszDefault; // null: none, or NULL
    } const tab[] = {
        {L"c", true, nullptr}, {L"c2", false, "uuid()"}, {L"f", true, nullptr}, {L"t", true, nullptr},
        {L"t2", true, nullptr}, {L"d", true, nullptr},  {L"n", false, "5"},     {L"e", false, ""},
        {L"s", false, "NULL"}, {L"z", false, nullptr},
    };
    for (const auto& t : tab) {
        SCOPED_TRACE(Narrow(t.pszItem));
        CNAItemDescription* p = static_cast<CNAItemDescription*>(piDescription->piNAGetItem(t.pszItem));
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(p->bDefaultExpression() != 0, t.bExpression);
        CAny* pDefault = p->pclGetDefaultValue(0);
        const bool bValue = pDefault != nullptr && !pDefault->bIsNull() && pDefault->nGetTypeCode() != TQTYPE_VIDE;
        EXPECT_EQ(bValue, t.pszDefault != nullptr);
        if (bValue && t.pszDefault != nullptr) {
            EXPECT_EQ(ValueText(*pDefault), t.pszDefault);
        }
        p->nExternalRelease();
    }
}

// The catalogue is asked about the schema written before the table's name,
// quoted or not.
TEST_F(ServerDefault, ATableNamedWithItsSchema)
{
    for (const std::string& strName : {m_strDatabase + ".d", "`" + m_strDatabase + "`.`d`"}) {
        SCOPED_TRACE(strName);
        INADataSourceDescription* pi = m_piDriver->piGetTableDesc(Wide(strName).c_str(), m_pHost);
        ASSERT_NE(pi, nullptr) << Report();
        for (const auto& st : {std::make_pair(L"c", true), std::make_pair(L"c2", false)}) {
            CNAItemDescription* p = static_cast<CNAItemDescription*>(pi->piNAGetItem(st.first));
            ASSERT_NE(p, nullptr);
            EXPECT_EQ(p->bDefaultExpression() != 0, st.second) << Narrow(st.first);
            p->nExternalRelease();
        }
        pi->nExternalRelease();
    }
}

TEST(QuotedDefaults, ExpressionsStandBareLiteralsQuoted)
{
    // Numbers with a decimal point in a locale whose decimal sign is a comma
    // too.
    CProcessLocale clLocale;
    for (const char* pszLocale : {"C", "tr_TR.UTF-8"}) {
        ASSERT_TRUE(clLocale.bSet(pszLocale));
        for (const wchar_t* psz : {L"uuid()", L"current_timestamp()", L"concat('a','b')", L"(2 + 3)", L"curdate()",
                                   L"inf", L"5abc", L"nextval(`s`)", L"1,5"})
            EXPECT_TRUE(CMySQLDataSourceDescription::s_bQuotedDefaultIsExpression(psz)) << Narrow(psz) << pszLocale;
        for (const wchar_t* psz : {L"'uuid()'", L"''", L"'NULL'", L"NULL", L"5", L"-5", L"1.50", L"+2", L".5", L"1e3",
                                   L"b'101'", L"", static_cast<const wchar_t*>(nullptr)})
            EXPECT_FALSE(CMySQLDataSourceDescription::s_bQuotedDefaultIsExpression(psz))
                << (psz != nullptr ? Narrow(psz) : "(null)") << pszLocale;
    }
}

} // namespace
