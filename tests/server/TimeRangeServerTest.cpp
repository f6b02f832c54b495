// TIME values beyond what the host's time item holds (below 00:00:00, from
// 100:00:00 on) among good rows, through the table object as the host
// calls it: every browse reads the good rows and fails on each other one
// with the item, its SQL type and the server's value, and goes on past it,
// on the server road and from the whole-table cache, both ways, under
// searches and filters, in both code pages; a record whose read failed can
// still be changed without its TIME value being touched. The rows and
// values are the server's own.
#include "tests/support/TableObjectServer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace tableobject;

constexpr unsigned int kCache = CNADataAccess::WPF_TABLE_CACHE;

class TimeRange : public TableObjectServer {
protected:
    TimeRange()
        : TableObjectServer("zt55tm", {"CREATE TABLE tm (id INT PRIMARY KEY, t TIME, name VARCHAR(20), t2 TIME, "
                                       "KEY(name), KEY(t)) CHARACTER SET utf8mb4",
                                       "INSERT INTO tm (id, t, name) VALUES (1, '10:00:00', 'a'), "
                                       "(2, '-00:00:01', 'b\xC3\xA9'), "
                                       "(3, '23:59:59', 'c'), (4, '838:59:59', 'd'), (5, '00:00:00', 'e'), "
                                       "(6, '-838:59:59', 'f'), (7, '99:59:59', 'g'), (8, '100:00:00', 'h')",
                                       // Two refused items: the first names the read's failure.
                                       "UPDATE tm SET t2 = '-01:00:00' WHERE id = 6"})
    {
    }
    // The server's view of one row as a read gives it: its id and the time
    // item's digits, or its id and "refused" with the server's text.
    static std::string ServerColumns()
    {
        return "CONCAT(id, '|', IF(t >= '00:00:00' AND t < '100:00:00', TIME_FORMAT(t, '%H%i%s'), "
               "CONCAT('refused ', t)))";
    }
    // What one read gave, in the same form; a refusal must name the item,
    // its SQL type and the server's value.
    static std::string Seen(INATable* pi, CHostContext* pc, int bRead)
    {
        const std::string strId = Value(pi, pc, L"id");
        if (bRead == 1)
            return strId + "|" + Value(pi, pc, L"t");
        CNAError* pError = ErrorOf(pi, pc);
        const std::string strMessage = UTF8Of(pError->pclGetXError()->pszGetUserMessage());
        EXPECT_EQ(pError->nGetUserErrorCode(), 53u) << strMessage;
        EXPECT_NE(strMessage.find("\"t\""), std::string::npos) << strMessage;
        // The type as the description has it: the column's, or the result's.
        const size_t nType = strMessage.find("SQL type ");
        const std::string strType =
            nType != std::string::npos ? strMessage.substr(nType + 9, strMessage.find(')', nType) - nType - 9) : "";
        EXPECT_TRUE(strType.rfind("time", 0) == 0 || strType == "MYSQL_TYPE_TIME") << strMessage;
        // The value as the server wrote it, found after "value ".
        const size_t nAt = strMessage.find("value ");
        if (nAt == std::string::npos)
            return strId + "|refused without value";
        const size_t nEnd = strMessage.find(' ', nAt + 6);
        return strId + "|refused " + strMessage.substr(nAt + 6, nEnd - nAt - 6);
    }
    // Every record from one end on the item, with the flags.
    static Rows Browse(INATable* pi, CHostContext* pc, const wchar_t* pszItem, unsigned int nFlags, bool bBackward)
    {
        return Every(pi, pc, pszItem, nFlags, bBackward, [&](int bRead) { return Seen(pi, pc, bRead); });
    }
    Rows Server(const std::string& strRest) { return List("SELECT " + ServerColumns() + " FROM tm " + strRest); }
    CHostConnectionDescription* HostOfPage(bool bUTF8)
    {
        return bUTF8 ? m_pHost : HostOn(L"ZT Unicode Support=0", L"zt55tm1252");
    }
};

// On the primary key and on the time itself, both ways, from the server
// and from a query's whole-table cache.
TEST_F(TimeRange, EveryBrowseReadsTheGoodRowsAndRefusesEachOther)
{
    for (const bool bUTF8 : {true, false}) {
        SCOPED_TRACE(bUTF8 ? "UTF-8" : "1252");
        CHostContext* pc = Context(bUTF8 ? 1 : 2);
        INATable* pi = Open(L"tm", pc, HostOfPage(bUTF8));
        ASSERT_NE(pi, nullptr);
        EXPECT_EQ(Browse(pi, pc, L"id", 0, false), Server("ORDER BY id"));
        EXPECT_EQ(Browse(pi, pc, L"id", 0, true), Server("ORDER BY id DESC"));
        EXPECT_EQ(Browse(pi, pc, L"t", 0, false), Server("ORDER BY t"));
        EXPECT_EQ(Browse(pi, pc, L"name", 0, true), Server("ORDER BY name DESC"));

        CHostContext* pcQuery = Context(bUTF8 ? 3 : 4);
        INATable* piQuery = Run(L"SELECT * FROM tm", L"tm", pcQuery, CNADataAccess::QM_MAY_MODIFY);
        ASSERT_NE(piQuery, nullptr);
        EXPECT_EQ(Browse(piQuery, pcQuery, L"id", CNADataAccess::WPF_CONTINUE, false).size(), 8u);
        ASSERT_TRUE(Access(piQuery, pcQuery)->bHasTableCache());
        EXPECT_EQ(Browse(piQuery, pcQuery, L"name", kCache, false), Server("ORDER BY name"));
        EXPECT_EQ(Browse(piQuery, pcQuery, L"id", kCache, true), Server("ORDER BY id DESC"));
    }
}

// A search, a skip, a read of the current record, a return to a saved
// position and a move by place each fail when they land on a refused
// record, and the browse goes on from it; bounds filter the server's rows,
// refused ones failing in place.
TEST_F(TimeRange, EveryWayOntoARefusedRecordFailsAndTheBrowseGoesOn)
{
    for (const bool bUTF8 : {true, false}) {
        SCOPED_TRACE(bUTF8 ? "UTF-8" : "1252");
        CHostContext* pc = Context(bUTF8 ? 1 : 2);
        INATable* pi = Open(L"tm", pc, HostOfPage(bUTF8));
        ASSERT_NE(pi, nullptr);
        const CHostText vName(L"b\u00e9");
        EXPECT_EQ(Seen(pi, pc, pi->bHRecherche(pc, L"name", &vName, 1, 1, kNoLock, nullptr, 1, 0)),
                  Server("WHERE name = 'b\xC3\xA9'").at(0));
        EXPECT_EQ(Seen(pi, pc, Read(pi, pc, L"name", NEXT)), Server("WHERE name > 'b\xC3\xA9' ORDER BY name").at(0));

        const Rows tab = Server("ORDER BY id");
        EXPECT_EQ(Seen(pi, pc, Read(pi, pc, L"id", FIRST)), tab.at(0));
        EXPECT_EQ(Seen(pi, pc, pi->bSkipRecord(pc, L"id", NEXT, 1, 1, kNoLock, nullptr, 0)), tab.at(1));
        EXPECT_EQ(Seen(pi, pc, pi->bHLit(pc, 0, kNoLock, nullptr)), tab.at(1));
        const int nPosition = Save(pi, pc, L"id");
        EXPECT_EQ(Seen(pi, pc, Read(pi, pc, L"id", NEXT)), tab.at(2));
        wchar_t szItem[255] = L"";
        EXPECT_EQ(Seen(pi, pc, pi->bHRetourPosition(pc, nPosition, szItem, 1, 0)), tab.at(1));
        EXPECT_EQ(Seen(pi, pc, Read(pi, pc, L"id", NEXT)), tab.at(2));
        EXPECT_EQ(Seen(pi, pc, pi->bHPositionne(pc, L"id", 1000, kPrecision, 0)), tab.back());
        EXPECT_EQ(Seen(pi, pc, Read(pi, pc, L"id", PREVIOUS)), tab.at(tab.size() - 2));

        CAny vFirst, vLast;
        Set(vFirst, TQTYPE_I4, 2);
        Set(vLast, TQTYPE_I4, 7);
        ASSERT_EQ(pi->bHFiltre(pc, L"id", &vFirst, 1, &vLast, 1, nullptr), 1) << Error(pi, pc);
        EXPECT_EQ(Browse(pi, pc, L"id", 0, false), Server("WHERE id BETWEEN 2 AND 7 ORDER BY id"));
        EXPECT_EQ(Browse(pi, pc, L"id", 0, true), Server("WHERE id BETWEEN 2 AND 7 ORDER BY id DESC"));
    }
}

// The record of a refused read is the row's: its other items are there,
// the refused ones NULL, and a modify of one of the others leaves the
// server's times as they were.
TEST_F(TimeRange, ARefusedRecordCanBeChangedWithoutItsTime)
{
    CHostContext* pc = Context(1);
    INATable* pi = Open(L"tm", pc);
    ASSERT_NE(pi, nullptr);
    CAny vId;
    Set(vId, TQTYPE_I4, 6);
    EXPECT_EQ(pi->bHRecherche(pc, L"id", &vId, 1, 1, kNoLock, nullptr, 1, 0), 0);
    EXPECT_EQ(Value(pi, pc, L"name"), First("SELECT name FROM tm WHERE id = 6"));
    EXPECT_EQ(Value(pi, pc, L"t"), "NULL");
    EXPECT_EQ(Value(pi, pc, L"t2"), "NULL");
    const std::string strTime = First("SELECT CONCAT(t, '|', t2) FROM tm WHERE id = 6");
    SetItem(pi, pc, L"name", L"changed");
    ASSERT_EQ(pi->bHModifie(pc, 0, 0, kNoLock), 1) << Error(pi, pc);
    EXPECT_EQ(First("SELECT CONCAT(name, '|', t, '|', t2) FROM tm WHERE id = 6"), "changed|" + strTime);
    EXPECT_EQ(First("SELECT COUNT(*) FROM tm WHERE name = 'changed'"), "1");
}

} // namespace

// TIME values with fractions whose texts are as long as a date layout's
// (14 and 17 characters) are refused as the others are, never read as a
// date and time; the good ones around them are read.
TEST_F(TimeRange, FractionsOfTimesBeyondTheItemAreRefusedToo)
{
    struct Table {
        const char* pszName;
        const char* pszType;
        const char* pszRows;
    } const tables[] = {
        {"tf4", "TIME(4)", "(1, '-09:59:30.9186'), (2, '409:59:30.9186'), (3, '09:59:30.9186'), (4, '-00:00:00.5')"},
        {"tf3", "TIME(3)", "(1, '-409:59:30.918'), (2, '10:00:00.125'), (3, '-99:59:59.999')"},
        {"tf6", "TIME(6)", "(1, '-409:59:30.918678'), (2, '23:59:59.999999'), (3, '100:00:00.000001')"},
    };
    for (const Table& k : tables) {
        SCOPED_TRACE(k.pszType);
        ASSERT_TRUE(Admin(std::string("CREATE TABLE ") + k.pszName + " (id INT PRIMARY KEY, t " + k.pszType + ")"));
        ASSERT_TRUE(Admin(std::string("INSERT INTO ") + k.pszName + " VALUES " + k.pszRows));
        const std::wstring strTable(k.pszName, k.pszName + 3);
        for (const bool bUTF8 : {true, false}) {
            SCOPED_TRACE(bUTF8 ? "UTF-8" : "1252");
            CHostContext* pc = Context(bUTF8 ? 1 : 2);
            INATable* pi = Open(strTable.c_str(), pc, HostOfPage(bUTF8));
            ASSERT_NE(pi, nullptr);
            const Rows tabServer = List("SELECT " + ServerColumns() + " FROM " + k.pszName + " ORDER BY id");
            EXPECT_EQ(Browse(pi, pc, L"id", 0, false), tabServer);
        }
    }
}
