// BIT columns on the private server, through the table object and the SQL
// interface as the host calls them: every width reads as the number its
// bits hold, the widest with its top bit set included, on the server road
// and from the whole-table cache; searches and filters on a BIT key find
// the server's rows; adds, modifies and deletes write the number back, the
// record found by a BIT value where no key tells it. Every value is judged
// by the server's own b+0.
#include "common/values/AnyConvert.h"
#include "tests/support/TableObjectServer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace tableobject;

constexpr unsigned int kCache = CNADataAccess::WPF_TABLE_CACHE;

class BitColumn : public TableObjectServer {
protected:
    BitColumn()
        : TableObjectServer(
              "zt55bit",
              {"CREATE TABLE f (id INT PRIMARY KEY, b1 BIT(1), b7 BIT(7), b8 BIT(8), b12 BIT(12), b33 BIT(33), "
               "b64 BIT(64), d BIT(4) DEFAULT b'101', d1 BIT(1) DEFAULT 1, "
               "d64 BIT(64) DEFAULT 18446744073709551615, tx VARCHAR(8) DEFAULT 'b''101''', KEY(b8), KEY(b64))",
               "INSERT INTO f (id, b1, b7, b8, b12, b33, b64, d) VALUES "
               "(1, 1, 127, 255, 4095, 8589934591, 18446744073709551615, 0), "
               // No 0 in b64: a whole-table cache keys NULL as 0 in an unsigned item.
               "(2, 0, 0, 0, 0, 0, 1, 1), (3, NULL, NULL, NULL, NULL, NULL, NULL, NULL), "
               "(4, 1, 64, 128, 2049, 4294967296, 9223372036854775808, 15), "
               "(5, 0, 1, 7, 256, 1, 9223372036854775807, 8)",
               // No key: a record is found by its values.
               "CREATE TABLE w (b64 BIT(64), b1 BIT(1), n VARCHAR(10))",
               "INSERT INTO w VALUES (9223372036854775808, 0, 'k\xC3\xA9')"})
    {
    }
    // The item values of the current record, NULL as NULL, joined by "|".
    static std::string Record(INATable* pi, CHostContext* pc, const std::vector<const wchar_t*>& tabItems)
    {
        std::string s;
        for (const wchar_t* psz : tabItems)
            s += (s.empty() ? "" : "|") + Value(pi, pc, psz);
        return s;
    }
    // The server's rows of f as Record gives the items of m_tabItems.
    Rows Server(const std::string& strRest)
    {
        return List("SELECT CONCAT_WS('|', id, IFNULL(b1+0, 'NULL'), IFNULL(b7+0, 'NULL'), IFNULL(b8+0, 'NULL'), "
                    "IFNULL(b12+0, 'NULL'), IFNULL(b33+0, 'NULL'), IFNULL(b64+0, 'NULL'), IFNULL(d+0, 'NULL')) "
                    "FROM f " + strRest);
    }
    // Every record from one end on the item.
    Rows Browse(INATable* pi, CHostContext* pc, const wchar_t* pszItem, unsigned int nFlags, bool bBackward)
    {
        Rows tab;
        for (eNA_PARSEDIRECTION e = bBackward ? LAST : FIRST; tab.size() < 50; e = bBackward ? PREVIOUS : NEXT) {
            if (pi->bHLitxxx(pc, pszItem, e, 1, kNoLock, nullptr, nFlags) != 1) {
                ADD_FAILURE() << Error(pi, pc);
                break;
            }
            if (Out(pi, pc, pszItem))
                break;
            tab.push_back(Record(pi, pc, m_tabItems));
        }
        return tab;
    }
    CHostConnectionDescription* HostOfPage(bool bUTF8)
    {
        return bUTF8 ? m_pHost : HostOn(L"ZT Unicode Support=0", L"zt55bit1252");
    }

    const std::vector<const wchar_t*> m_tabItems = {L"id", L"b1", L"b7", L"b8", L"b12", L"b33", L"b64", L"d"};
};

// Both ways, on the primary key and on the BIT keys, from the server and
// from the whole-table cache of a query, in both code pages. A default the
// server shows as b'101' is the item's number, at one bit and at 64; a
// text default written so stays a text.
TEST_F(BitColumn, EveryWidthReadsAsTheNumberItsBitsHold)
{
    for (const bool bUTF8 : {true, false}) {
        SCOPED_TRACE(bUTF8 ? "UTF-8" : "1252");
        CHostContext* pc = Context(bUTF8 ? 1 : 2);
        INATable* pi = Open(L"f", pc, HostOfPage(bUTF8));
        ASSERT_NE(pi, nullptr);
        EXPECT_EQ(Browse(pi, pc, L"id", 0, false), Server("ORDER BY id"));
        EXPECT_EQ(Browse(pi, pc, L"id", 0, true), Server("ORDER BY id DESC"));
        EXPECT_EQ(Browse(pi, pc, L"b64", 0, false), Server("ORDER BY b64, id"));
        EXPECT_EQ(Browse(pi, pc, L"b8", 0, true), Server("ORDER BY b8 DESC, id DESC"));
        for (const std::string strItem : {"d", "d1", "d64", "tx"}) {
            INAItemDescription* piItem = Description(pi)->piNAGetItem(Wide(strItem.c_str()).c_str());
            ASSERT_NE(piItem, nullptr);
            CAny v;
            piItem->pclGetDefaultValue(0)->pclGetTraitement()->Duplique(&v);
            piItem->nExternalRelease();
            const std::string strDefault = "DEFAULT(" + strItem + ")" + (strItem == "tx" ? "" : "+0");
            EXPECT_EQ(ValueText(v), First("SELECT " + strDefault + " FROM f LIMIT 1")) << strItem;
        }

        CHostContext* pcQuery = Context(bUTF8 ? 3 : 4);
        INATable* piQuery = Run(L"SELECT * FROM f", L"f", pcQuery, CNADataAccess::QM_MAY_MODIFY);
        ASSERT_NE(piQuery, nullptr);
        // Read to its end, the query's rows fill its cache.
        EXPECT_EQ(Browse(piQuery, pcQuery, L"id", CNADataAccess::WPF_CONTINUE, false).size(), 5u);
        ASSERT_TRUE(Access(piQuery, pcQuery)->bHasTableCache());
        EXPECT_EQ(Browse(piQuery, pcQuery, L"b64", kCache, false), Server("ORDER BY b64, id"));
        EXPECT_EQ(Browse(piQuery, pcQuery, L"b12", kCache, true), Server("ORDER BY b12 DESC, id DESC"));
    }
}

// A search on a BIT key lands on the server's row of that value; bounds on
// the widest BIT filter the server's rows, its top bit set included.
TEST_F(BitColumn, SearchesAndFiltersOnABitKeyFindTheServerRows)
{
    CHostContext* pc = Context(1);
    INATable* pi = Open(L"f", pc);
    ASSERT_NE(pi, nullptr);
    CAny v, vLow, vTop;
    Set(v, TQTYPE_I4, 128);
    Set(vLow, TQTYPE_UI8, 9223372036854775807ULL);
    Set(vTop, TQTYPE_UI8, 18446744073709551615ULL);
    ASSERT_EQ(pi->bHRecherche(pc, L"b8", &v, 1, 1, kNoLock, nullptr, 1, 0), 1) << Error(pi, pc);
    EXPECT_EQ(Found(pi, pc, L"b8"), 1);
    EXPECT_EQ(Record(pi, pc, m_tabItems), Server("WHERE b8 = 128").at(0));
    ASSERT_EQ(pi->bHRecherche(pc, L"b64", &vTop, 1, 1, kNoLock, nullptr, 1, 0), 1) << Error(pi, pc);
    EXPECT_EQ(Found(pi, pc, L"b64"), 1);
    EXPECT_EQ(Record(pi, pc, m_tabItems), Server("WHERE b64 = 18446744073709551615").at(0));

    ASSERT_EQ(pi->bHFiltre(pc, L"b64", &vLow, 1, &vTop, 0, nullptr), 1) << Error(pi, pc);
    const std::string strWhere = "WHERE b64 >= 9223372036854775807 AND b64 < 18446744073709551615 ORDER BY b64";
    EXPECT_EQ(Browse(pi, pc, L"b64", 0, false), Server(strWhere));
    EXPECT_EQ(Browse(pi, pc, L"b64", 0, true), Server(strWhere + " DESC"));
}

// An add writes the host's numbers, the widest with its top bit set; a
// modify and a delete find the record by those numbers (the table has no
// key) and change that row only; in both code pages, with a text beside.
TEST_F(BitColumn, WritesSendTheNumberBackAndFindTheRecordByIt)
{
    const std::string strRows = "SELECT CONCAT(b64+0, '|', b1+0, '|', n) FROM w ORDER BY b64";
    const Rows tabBefore = List(strRows);
    for (const bool bUTF8 : {true, false}) {
        SCOPED_TRACE(bUTF8 ? "UTF-8" : "1252");
        CHostContext* pc = Context(bUTF8 ? 1 : 2);
        INATable* pi = Open(L"w", pc, HostOfPage(bUTF8));
        ASSERT_NE(pi, nullptr);
        CAny vTop, vOne, vZero;
        Set(vTop, TQTYPE_UI8, 18446744073709551615ULL);
        Set(vOne, TQTYPE_I4, 1);
        Set(vZero, TQTYPE_I4, 0);
        SetItem(pi, pc, L"b64", vTop);
        SetItem(pi, pc, L"b1", vOne);
        SetItem(pi, pc, L"n", L"\u00e9t\u00e9");
        ASSERT_EQ(pi->bHAjoute(pc, 0, kNoLock), 1) << Error(pi, pc);
        EXPECT_EQ(List(strRows).back(), "18446744073709551615|1|\xC3\xA9t\xC3\xA9");

        // Read back on the text, then changed and deleted by its values.
        const CHostText vText(L"\u00e9t\u00e9");
        ASSERT_EQ(pi->bHRecherche(pc, L"n", &vText, 1, 1, kNoLock, nullptr, 1, 0), 1) << Error(pi, pc);
        EXPECT_EQ(Record(pi, pc, {L"b64", L"b1"}), "18446744073709551615|1");
        SetItem(pi, pc, L"b1", vZero);
        ASSERT_EQ(pi->bHModifie(pc, 0, 0, kNoLock), 1) << Error(pi, pc);
        Rows tabChanged = tabBefore;
        tabChanged.push_back("18446744073709551615|0|\xC3\xA9t\xC3\xA9");
        EXPECT_EQ(List(strRows), tabChanged);
        ASSERT_EQ(pi->bHSupprime(pc, 0, kNoLock), 1) << Error(pi, pc);
        EXPECT_EQ(List(strRows), tabBefore);
    }
}

// The SQL interface gives a BIT value as the number's text, and its bytes
// to a request for binary.
TEST_F(BitColumn, TheSQLInterfaceGivesTheNumber)
{
    const int nCnx = DriverServerTestOf<CPositionDriver>::Open();
    int nStmt = -1;
    ASSERT_EQ(m_piSQL->bExecute(&nStmt, nCnx, L"SELECT b1, b12, b64 FROM f ORDER BY id", nullptr, 0), 1) << Report();
    Rows tab;
    while (m_piSQL->bFetch(nCnx, nStmt, 0) == 1 && tab.size() < 50) {
        std::string s;
        CAny v;
        for (unsigned int nColumn : {1u, 2u, 3u}) {
            ASSERT_EQ(m_piSQL->bGetValue(&v, nCnx, nStmt, nColumn, 0), 1) << Report();
            s += ValueText(v) + "|";
        }
        ASSERT_EQ(m_piSQL->bGetBLOBValue(&v, nCnx, nStmt, 2, 0), 1) << Report();
        const Bytes by = DataBytes(v);
        tab.push_back(s + (v.bIsNull() ? std::string("NULL") : HexaOf(std::string(by.begin(), by.end()))));
    }
    EXPECT_EQ(Code(), 0u) << Report();
    EXPECT_EQ(tab, List("SELECT CONCAT_WS('|', IFNULL(b1+0, 'NULL'), IFNULL(b12+0, 'NULL'), IFNULL(b64+0, 'NULL'), "
                        "IFNULL(HEX(CAST(b12 AS BINARY)), 'NULL')) FROM f ORDER BY id"));
    EXPECT_EQ(m_piSQL->bFreeStmt(nCnx, nStmt, 0), 1);
}

} // namespace
