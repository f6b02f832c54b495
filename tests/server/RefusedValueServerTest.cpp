// Records holding a server value that their item cannot take (a TIME below
// 00:00:00 or from 100:00:00 on) in tables without a unique key free of
// NULLs, beside rows holding NULL and the same other values, through the
// table object as the host calls it: a modify or a delete changes that row
// and no other, a return to a saved position finds it and the browse reads
// on from it both ways, and the browses and searches read the server's
// rows afterwards; on the server road and from a query's whole-table
// cache, in both code pages. Judged by the server's own rows.
#include "tests/support/TableObjectServer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace tableobject;

constexpr unsigned int kCache = CNADataAccess::WPF_TABLE_CACHE;
constexpr unsigned int kContinue = CNADataAccess::WPF_CONTINUE;
enum eROAD { SERVER, CACHE, QUERY };

// The same columns keyed on n (kn) and on the time itself (kt).
std::string Table(const char* pszName, const char* pszKey)
{
    return std::string("CREATE TABLE ") + pszName + " (t TIME NULL, t2 TIME NULL, name VARCHAR(10), n INT, KEY(" +
           pszKey + ")) CHARACTER SET utf8mb4";
}

// A refused time of the server, and the host's form of a time read.
std::string Refused(const char* pszColumn)
{
    return std::string("(") + pszColumn + " < '00:00:00' OR " + pszColumn + " >= '100:00:00')";
}
std::string Held(const char* pszColumn)
{
    return std::string("IF(") + pszColumn + " IS NULL OR " + Refused(pszColumn) + ", 'NULL', TIME_FORMAT(" +
           pszColumn + ", '%H%i%s'))";
}

class RefusedValue : public TableObjectServer {
protected:
    RefusedValue() : TableObjectServer("zt59rv", {Table("kn", "n"), Table("kt", "t")}) {}
    // The table's rows made anew: (t, t2, name, n) each.
    void Reset(const char* pszTable, const std::string& strValues)
    {
        ASSERT_TRUE(Admin(std::string("DELETE FROM ") + pszTable));
        ASSERT_TRUE(Admin(std::string("INSERT INTO ") + pszTable + " VALUES " + strValues));
    }
    // Every row as the server holds it, in the form Seen gives a read:
    // name, n, each time as the host holds it, then the first refused item
    // with the server's value, or "read".
    Rows Server(const char* pszTable, const std::string& strRest = "")
    {
        return List(std::string("SELECT CONCAT(name, '|', n, '|', ") + Held("t") + ", '|', " + Held("t2") +
                    ", '|', IF(" + Refused("t") + ", CONCAT('t ', t), IF(" + Refused("t2") +
                    ", CONCAT('t2 ', t2), 'read'))) FROM " + pszTable + " " + strRest);
    }
    static Rows Sorted(Rows tab)
    {
        std::sort(tab.begin(), tab.end());
        return tab;
    }
    // What one read gave, in the server's form; a refused read must fail
    // with user error 53 naming the item and the server's value.
    static std::string Seen(INATable* pi, CHostContext* pc, int bRead)
    {
        std::string str = Value(pi, pc, L"name") + "|" + Value(pi, pc, L"n") + "|" + Value(pi, pc, L"t") + "|" +
                          Value(pi, pc, L"t2") + "|";
        if (bRead == 1)
            return str + "read";
        CNAError* pError = ErrorOf(pi, pc);
        const std::string strMessage = UTF8Of(pError->pclGetXError()->pszGetUserMessage());
        EXPECT_EQ(pError->nGetUserErrorCode(), 53u) << strMessage;
        const size_t nItem = strMessage.find("Item \"");
        const size_t nValue = strMessage.find("value ");
        if (nItem == std::string::npos || nValue == std::string::npos)
            return str + "failed: " + strMessage;
        const size_t nItemEnd = strMessage.find('"', nItem + 6);
        const size_t nValueEnd = strMessage.find(' ', nValue + 6);
        return str + strMessage.substr(nItem + 6, nItemEnd - nItem - 6) + " " +
               strMessage.substr(nValue + 6, nValueEnd - nValue - 6);
    }
    // Every record of the browse on the item from one end to the other.
    static Rows Browse(INATable* pi, CHostContext* pc, const wchar_t* pszItem, unsigned int nFlags,
                       bool bBackward = false)
    {
        return Every(pi, pc, pszItem, nFlags, bBackward, [&](int bRead) { return Seen(pi, pc, bRead); });
    }
    // The records a search of the item's value finds, read on while found.
    static Rows Search(INATable* pi, CHostContext* pc, const wchar_t* pszItem, int nValue,
                                           unsigned int nFlags)
    {
        Rows tab;
        const CInt v(nValue);
        int bRead = pi->bHRecherche(pc, pszItem, &v, 1, 1, kNoLock, nullptr, 1, nFlags);
        while (tab.size() < 50 && !(bRead == 1 && Out(pi, pc, pszItem))) {
            // Seen before the found state is asked: each call starts clear.
            const std::string str = Seen(pi, pc, bRead);
            if (Found(pi, pc, pszItem) != 1)
                break;
            tab.push_back(str);
            bRead = pi->bHLitxxx(pc, pszItem, NEXT, 1, kNoLock, nullptr, nFlags);
        }
        return tab;
    }
    // The browse on the item moved from its first record to the nth one
    // whose read fails (counted from 1), whose form is given back.
    static std::string Land(INATable* pi, CHostContext* pc, const wchar_t* pszItem, unsigned int nFlags,
                            int nRefused = 1)
    {
        for (eNA_PARSEDIRECTION e = FIRST;; e = NEXT) {
            const int bRead = pi->bHLitxxx(pc, pszItem, e, 1, kNoLock, nullptr, nFlags);
            if ((bRead == 1 && Out(pi, pc, pszItem)))
                return "no refused record";
            if (bRead == 0 && --nRefused == 0)
                return Seen(pi, pc, bRead);
        }
    }
    CHostConnectionDescription* HostIn(bool bUTF8)
    {
        return bUTF8 ? m_pHost : HostOn(L"ZT Unicode Support=0", L"zt59rv1252");
    }
    // The table on the road in a context of its own: opened, or a query of
    // all its rows, whose browse on the item, read to its end, filled the
    // whole-table cache on the cache road.
    INATable* OnRoad(eROAD eRoad, bool bUTF8, const char* pszTable, const wchar_t* pszItem, CHostContext** ppc)
    {
        *ppc = Context(++m_nContext);
        CHostConnectionDescription* pHost = HostIn(bUTF8);
        const std::wstring strTable = Wide(pszTable);
        if (eRoad == SERVER)
            return Open(strTable.c_str(), *ppc, pHost);
        INATable* pi = RunOn(pHost, *ppc, L"SELECT * FROM " + strTable, {strTable.c_str()});
        if (pi == nullptr || eRoad == QUERY)
            return pi;
        Browse(pi, *ppc, pszItem, kContinue);
        EXPECT_TRUE(Access(pi, *ppc)->bHasTableCache());
        return pi;
    }
    // The table object reads what the server holds: every browse on the
    // item both ways, in the server's order on the server road (the cache
    // places a refused time where NULL goes), and the search of n = 1.
    void ExpectServerRows(INATable* pi, CHostContext* pc, eROAD eRoad, const char* pszTable, const wchar_t* pszItem)
    {
        const unsigned int nFlags = eRoad == CACHE ? kCache : 0;
        const Rows tabForward = Browse(pi, pc, pszItem, nFlags);
        const Rows tabBackward = Browse(pi, pc, pszItem, nFlags, true);
        if (eRoad == SERVER && std::string(pszTable) == "kt") {
            EXPECT_EQ(tabForward, Server(pszTable, "ORDER BY t"));
            EXPECT_EQ(tabBackward, Server(pszTable, "ORDER BY t DESC"));
        } else {
            EXPECT_EQ(Sorted(tabForward), Sorted(Server(pszTable)));
            EXPECT_EQ(Sorted(tabBackward), Sorted(Server(pszTable)));
        }
        EXPECT_EQ(Sorted(Search(pi, pc, L"n", 1, nFlags)), Sorted(Server(pszTable, "WHERE n = 1")));
    }

    int m_nContext = 0;
};

// Two rows alike in all but the time, one refused, one NULL, among others.
const char* const kTwins = "('-01:00:00', NULL, 'tw\xC3\xA9', 1), (NULL, NULL, 'tw\xC3\xA9', 1), "
                           "('10:00:00', NULL, 'b', 0), ('11:00:00', NULL, 'c', 2)";

// The twins in a table, the refused one found on the table's key (n, or
// the time itself), on a road in a code page.
struct STwins {
    bool bUTF8;
    eROAD eRoad;
    const char* pszTable;

    const wchar_t* Item() const { return std::string(pszTable) == "kn" ? L"n" : L"t"; }
    unsigned int Flags() const { return eRoad == CACHE ? kCache : 0; }
    std::string Trace() const
    {
        return std::string(bUTF8 ? "UTF-8, " : "1252, ") + (eRoad == SERVER ? "server, " : "cache, ") + pszTable;
    }
};
const STwins kTwinCases[] = {
    {true, SERVER, "kn"},  {true, CACHE, "kn"},  {false, SERVER, "kn"},  {false, CACHE, "kn"},
    {true, SERVER, "kt"},  {true, CACHE, "kt"},  {false, SERVER, "kt"},  {false, CACHE, "kt"},
};

// A modify (of another item, or of the refused one to a good time) or a
// delete of the refused record changes that row alone, never its NULL
// twin; a modify leaves the refused time as the server holds it unless it
// writes the time.
TEST_F(RefusedValue, AWriteChangesTheRefusedRowAndNeverItsNullTwin)
{
    enum eWRITE { RENAME, SET_TIME, REMOVE };
    // The row the write leaves, by the hand-written condition: one, or none.
    const char* const apszLeft[] = {
        "t = '-01:00:00' AND name = 'z' AND n = 1",
        "t = '10:30:00' AND name = 'tw\xC3\xA9' AND n = 1",
        "t = '-01:00:00'",
    };
    for (const STwins& c : kTwinCases) {
        for (const eWRITE eWrite : {RENAME, SET_TIME, REMOVE}) {
            SCOPED_TRACE(c.Trace() + ", write " + std::to_string(eWrite));
            ASSERT_NO_FATAL_FAILURE(Reset(c.pszTable, kTwins));
            CHostContext* pc = nullptr;
            INATable* pi = OnRoad(c.eRoad, c.bUTF8, c.pszTable, c.Item(), &pc);
            ASSERT_NE(pi, nullptr);
            ASSERT_EQ(Land(pi, pc, c.Item(), c.Flags()), Server(c.pszTable, "WHERE t < '00:00:00'").at(0));
            if (eWrite == REMOVE) {
                ASSERT_EQ(pi->bHSupprime(pc, 0, kNoLock), 1) << Error(pi, pc);
            } else {
                PutItem(pi, pc, eWrite == RENAME ? L"name" : L"t", CHostText(eWrite == RENAME ? L"z" : L"103000000"));
                ASSERT_EQ(pi->bHModifie(pc, 0, 0, kNoLock), 1) << Error(pi, pc);
            }
            const std::string strCount = std::string("SELECT COUNT(*) FROM ") + c.pszTable;
            EXPECT_EQ(First(strCount + " WHERE " + apszLeft[eWrite]), eWrite == REMOVE ? "0" : "1");
            EXPECT_EQ(First(strCount + " WHERE t IS NULL AND name = 'tw\xC3\xA9' AND n = 1"), "1");
            EXPECT_EQ(First(strCount), eWrite == REMOVE ? "3" : "4");
            ExpectServerRows(pi, pc, c.eRoad, c.pszTable, c.Item());
        }
    }
}

// A return to a saved position on the refused record finds it, its read
// failing as any read of it does, and the browse reads on from it both
// ways as it read before.
TEST_F(RefusedValue, AReturnFindsTheRefusedRecordAndTheBrowseReadsOnBothWays)
{
    for (const STwins& c : kTwinCases) {
        SCOPED_TRACE(c.Trace());
        ASSERT_NO_FATAL_FAILURE(Reset(c.pszTable, kTwins));
        CHostContext* pc = nullptr;
        INATable* pi = OnRoad(c.eRoad, c.bUTF8, c.pszTable, c.Item(), &pc);
        ASSERT_NE(pi, nullptr);
        const Rows tabOrder = Browse(pi, pc, c.Item(), c.Flags());
        ASSERT_EQ(Sorted(tabOrder), Sorted(Server(c.pszTable)));
        const std::string strRefused = Server(c.pszTable, "WHERE t < '00:00:00'").at(0);
        const size_t nAt =
            static_cast<size_t>(std::find(tabOrder.begin(), tabOrder.end(), strRefused) - tabOrder.begin());
        ASSERT_TRUE(nAt > 0 && nAt + 1 < tabOrder.size()) << "the refused record between two others";

        ASSERT_EQ(Land(pi, pc, c.Item(), c.Flags()), strRefused);
        const int nPosition = Save(pi, pc, c.Item());
        ASSERT_EQ(Seen(pi, pc, pi->bHLitxxx(pc, c.Item(), FIRST, 1, kNoLock, nullptr, c.Flags())), tabOrder.front());
        wchar_t szItem[255] = L"";
        for (const eNA_PARSEDIRECTION e : {NEXT, PREVIOUS}) {
            EXPECT_EQ(Seen(pi, pc, pi->bHRetourPosition(pc, nPosition, szItem, 1, 0)), strRefused);
            EXPECT_EQ(Found(pi, pc, c.Item()), 1);
            const int bRead = pi->bHLitxxx(pc, c.Item(), e, 1, kNoLock, nullptr, c.Flags());
            EXPECT_EQ(Seen(pi, pc, bRead), tabOrder.at(e == NEXT ? nAt + 1 : nAt - 1));
        }
    }
}

// Another record written, a return to the refused record and a modify of
// it (of its name, or of its refused time to a good one): the browse reads
// on from it both ways as a browse of the rows as they are now reads past
// it, never from the record written before the return.
TEST_F(RefusedValue, AfterAReturnAndAWriteTheBrowseReadsOnFromTheRefusedRecord)
{
    for (const STwins& c : kTwinCases) {
        for (const bool bSetTime : {false, true}) {
            for (const eNA_PARSEDIRECTION e : {NEXT, PREVIOUS}) {
                SCOPED_TRACE(c.Trace() + (bSetTime ? ", time" : ", name") + (e == NEXT ? ", next" : ", back"));
                ASSERT_NO_FATAL_FAILURE(Reset(c.pszTable, kTwins));
                CHostContext* pc = nullptr;
                INATable* pi = OnRoad(c.eRoad, c.bUTF8, c.pszTable, c.Item(), &pc);
                ASSERT_NE(pi, nullptr);
                ASSERT_EQ(Land(pi, pc, c.Item(), c.Flags()), Server(c.pszTable, "WHERE t < '00:00:00'").at(0));
                const int nPosition = Save(pi, pc, c.Item());
                ASSERT_EQ(pi->bHLitxxx(pc, c.Item(), FIRST, 1, kNoLock, nullptr, c.Flags()), 1) << Error(pi, pc);
                PutItem(pi, pc, L"name", CHostText(L"first"));
                ASSERT_EQ(pi->bHModifie(pc, 0, 0, kNoLock), 1) << Error(pi, pc);
                EXPECT_EQ(Seen(pi, pc, pi->bHRetourPosition(pc, nPosition, nullptr, 1, 0)),
                          Server(c.pszTable, "WHERE t < '00:00:00'").at(0));
                PutItem(pi, pc, bSetTime ? L"t" : L"name", CHostText(bSetTime ? L"103000000" : L"z"));
                ASSERT_EQ(pi->bHModifie(pc, 0, 0, kNoLock), 1) << Error(pi, pc);
                const std::string strWritten = bSetTime ? "t = '10:30:00' AND name = 'tw\xC3\xA9'"
                                                        : "t < '00:00:00' AND name = 'z'";
                const std::string strCount = std::string("SELECT COUNT(*) FROM ") + c.pszTable;
                EXPECT_EQ(First(strCount + " WHERE " + strWritten), "1");
                EXPECT_EQ(First(strCount + " WHERE name = 'first'"), "1");
                EXPECT_EQ(First(strCount), "4");

                // The rows as they are now, browsed in a context of their own.
                CHostContext* pcNow = nullptr;
                INATable* piNow = OnRoad(c.eRoad, c.bUTF8, c.pszTable, c.Item(), &pcNow);
                ASSERT_NE(piNow, nullptr);
                const Rows tabNow = Browse(piNow, pcNow, c.Item(), c.Flags());
                ASSERT_EQ(Sorted(tabNow), Sorted(Server(c.pszTable)));
                const std::string strRecord = Server(c.pszTable, "WHERE " + strWritten).at(0);
                const auto it = std::find(tabNow.begin(), tabNow.end(), strRecord);
                ASSERT_TRUE(it != tabNow.end() && it != tabNow.begin() && it + 1 != tabNow.end())
                    << "the written record between two others";
                EXPECT_EQ(Seen(pi, pc, pi->bHLitxxx(pc, c.Item(), e, 1, kNoLock, nullptr, c.Flags())),
                          e == NEXT ? *(it + 1) : *(it - 1));
            }
        }
    }
}

// Rows alike in all but two times, refused or NULL in every way: the
// first refused item names the failure. Each refused time written with a
// good one makes its row read or fail on the other; then each record
// renamed in turn renames the row it was, and no other.
TEST_F(RefusedValue, TwoRefusedItemsTellTheirRowsApart)
{
    for (const bool bUTF8 : {true, false}) {
        for (const eROAD eRoad : {SERVER, CACHE}) {
            SCOPED_TRACE(std::string(bUTF8 ? "UTF-8" : "1252") + (eRoad == SERVER ? ", server" : ", cache"));
            ASSERT_NO_FATAL_FAILURE(Reset("kn", "('-01:00:00', '100:00:00', 'a', 1), ('-01:00:00', NULL, 'a', 1), "
                                                "(NULL, '100:00:00', 'a', 1), (NULL, NULL, 'a', 1), "
                                                "('10:00:00', NULL, 'b', 0)"));
            CHostContext* pc = nullptr;
            INATable* pi = OnRoad(eRoad, bUTF8, "kn", L"n", &pc);
            ASSERT_NE(pi, nullptr);
            const unsigned int nFlags = eRoad == CACHE ? kCache : 0;
            int nWritten = 0;
            for (eNA_PARSEDIRECTION e = FIRST; nWritten < 10; e = NEXT) {
                const int bRead = pi->bHLitxxx(pc, L"n", e, 1, kNoLock, nullptr, nFlags);
                if (bRead == 1 && Out(pi, pc, L"n"))
                    break;
                const std::string strSeen = Seen(pi, pc, bRead);
                const std::string strRefusedT = "|t -01:00:00";
                if (strSeen.size() < strRefusedT.size() ||
                    strSeen.compare(strSeen.size() - strRefusedT.size(), strRefusedT.size(), strRefusedT) != 0)
                    continue;
                PutItem(pi, pc, L"t", CHostText(L"103000000"));
                ASSERT_EQ(pi->bHModifie(pc, 0, 0, kNoLock), 1) << Error(pi, pc);
                nWritten++;
            }
            EXPECT_EQ(nWritten, 2);
            EXPECT_EQ(First("SELECT COUNT(*) FROM kn WHERE t = '10:30:00' AND t2 = '100:00:00'"), "1");
            EXPECT_EQ(First("SELECT COUNT(*) FROM kn WHERE t = '10:30:00' AND t2 IS NULL"), "1");
            EXPECT_EQ(First("SELECT COUNT(*) FROM kn WHERE t IS NULL AND t2 = '100:00:00'"), "1");
            EXPECT_EQ(First("SELECT COUNT(*) FROM kn WHERE t IS NULL AND t2 IS NULL"), "1");
            ExpectServerRows(pi, pc, eRoad, "kn", L"n");

            Rows tabSeen;
            for (eNA_PARSEDIRECTION e = FIRST; tabSeen.size() < 10; e = NEXT) {
                const int bRead = pi->bHLitxxx(pc, L"n", e, 1, kNoLock, nullptr, nFlags);
                if (bRead == 1 && Out(pi, pc, L"n"))
                    break;
                const std::string strSeen = Seen(pi, pc, bRead);
                const std::string strName = "r" + std::to_string(tabSeen.size());
                tabSeen.push_back(strName + strSeen.substr(strSeen.find('|')));
                PutItem(pi, pc, L"name", CHostText(Wide(strName.c_str())));
                ASSERT_EQ(pi->bHModifie(pc, 0, 0, kNoLock), 1) << Error(pi, pc);
            }
            ASSERT_EQ(tabSeen.size(), 5u);
            for (const std::string& str : tabSeen)
                EXPECT_EQ(Server("kn", "WHERE name = '" + str.substr(0, 2) + "'"), Rows{str});
            ExpectServerRows(pi, pc, eRoad, "kn", L"n");
        }
    }
}

// A VARCHAR and a CHAR holding a NUL, where the record's text items end,
// are refused as a time beyond its item is: the read fails naming both by
// their bytes, the items NULL, the browse reading on. After a write of
// another record, a return to that record then a modify of another item,
// of one of them, or a delete changes its own row, never its twin, keyed
// or not, on every road in both code pages; judged by the server's bytes.
TEST_F(RefusedValue, ATextHoldingANulIsRefusedAndItsWritesLandOnItsOwnRow)
{
    // The row each write leaves: of another item, of that item, none.
    const char* const apszWritten[] = {"1|610062|6100|5", "1|7A|6100|1", nullptr};
    for (const std::string strKey : {" PRIMARY KEY", ""}) {
        const std::string strTable = strKey.empty() ? "nl" : "nk", strTwin = strKey.empty() ? "1" : "2";
        ASSERT_TRUE(Admin("CREATE TABLE " + strTable + " (id INT" + strKey +
                          ", s VARCHAR(10), c CHAR(5), n INT, KEY(n)) CHARACTER SET utf8mb4"));
        for (int nCase = 0; nCase < 18; nCase++) {
            const bool bUTF8 = nCase < 9;
            const eROAD eRoad = static_cast<eROAD>(nCase / 3 % 3);
            const int nWrite = nCase % 3;
            SCOPED_TRACE(strTable + (bUTF8 ? ", UTF-8, road " : ", 1252, road ") + std::to_string(eRoad) +
                         ", write " + std::to_string(nWrite));
            ASSERT_NO_FATAL_FAILURE(Reset(strTable.c_str(), "(1, X'610062', X'6100', 1), (" + strTwin +
                                                                ", 'a', 'a', 1), (3, 'c', 'c', 0)"));
            CHostContext* pc = nullptr;
            INATable* pi = OnRoad(eRoad, bUTF8, strTable.c_str(), L"n", &pc);
            ASSERT_NE(pi, nullptr);
            int nPosition = -1;
            const auto Shown = [&](int bRead) {
                std::string str = Value(pi, pc, L"id") + "|" + Value(pi, pc, L"s") + "|" + Value(pi, pc, L"c");
                if (bRead == 1)
                    return str;
                const std::string strMessage = UTF8Of(ErrorOf(pi, pc)->pclGetXError()->pszGetUserMessage());
                str += " error " + std::to_string(ErrorOf(pi, pc)->nGetUserErrorCode());
                for (const char* psz : {"Item \"s\"", "value _utf8mb4 X'610062' ", "value _utf8mb4 X'6100' "})
                    str += strMessage.find(psz) != std::string::npos ? "" : std::string(", not named: ") + psz;
                nPosition = Save(pi, pc, L"n");
                return str;
            };
            const unsigned int nFlags = eRoad == CACHE ? kCache : 0;
            EXPECT_EQ(Sorted(Every(pi, pc, L"n", nFlags, false, Shown)),
                      Sorted({"1|NULL|NULL error 53", strTwin + "|a|a", "3|c|c"}));
            ASSERT_EQ(pi->bHLitxxx(pc, L"n", FIRST, 1, kNoLock, nullptr, nFlags), 1) << Error(pi, pc);
            PutItem(pi, pc, L"s", CHostText(L"d"));
            ASSERT_EQ(pi->bHModifie(pc, 0, 0, kNoLock), 1) << Error(pi, pc);
            EXPECT_EQ(Shown(pi->bHRetourPosition(pc, nPosition, nullptr, 1, 0)), "1|NULL|NULL error 53");
            if (nWrite < 2)
                PutItem(pi, pc, nWrite == 0 ? L"n" : L"s", CHostText(nWrite == 0 ? L"5" : L"z"));
            ASSERT_EQ(nWrite == 2 ? pi->bHSupprime(pc, 0, kNoLock) : pi->bHModifie(pc, 0, 0, kNoLock), 1)
                << Error(pi, pc);
            Rows tabLeft = {strTwin + "|61|61|1", "3|64|63|0"};
            if (apszWritten[nWrite] != nullptr)
                tabLeft.push_back(apszWritten[nWrite]);
            EXPECT_EQ(Sorted(List("SELECT CONCAT_WS('|', id, HEX(s), HEX(c), n) FROM " + strTable)), Sorted(tabLeft));
        }
    }
}

} // namespace
