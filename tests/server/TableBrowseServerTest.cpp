// A table read end to end through the host's interfaces only: the driver
// from the module's entry, the table's description and object, one host
// context; first, last, next and previous on each key, in blocks of the
// default size and of 15 rows, against the order the server gives the
// same ORDER BY; everything given back, twice in one process. Disabled
// until the data access's reads are in this branch (they pass with them).
#include "access/driver/INADataSourceDescription.h"
#include "access/driver/NAItemDescription.h"
#include "access/driver/NaDriver.h"
#include "access/statement/NAKXRecord.h"
#include "access/table/INATable.h"
#include "host/HostContext.h"
#include "tests/support/ServerDriver.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace {

const eNA_PARSEDIRECTION FIRST = static_cast<eNA_PARSEDIRECTION>(0);
const eNA_PARSEDIRECTION LAST = static_cast<eNA_PARSEDIRECTION>(1);
const eNA_PARSEDIRECTION NEXT = static_cast<eNA_PARSEDIRECTION>(2);
const eNA_PARSEDIRECTION PREVIOUS = static_cast<eNA_PARSEDIRECTION>(3);
const char kOut[] = "(out of range)";

// A key and the ORDER BY the server sorts its records with.
struct STKey {
    const wchar_t* pszItem;
    const char* pszOrder;
};
const STKey kKeys[] = {
    {L"id", "id"},             // the primary key
    {L"name", "name, id"},     // text with accents, duplicates and NULL
    {L"ab", "a, b, id"},       // two columns, duplicates
    {L"u3", "c, a, b, id"},    // three columns, unique, not in the columns' order
};

// The host's road: the driver, the description, the table object opened in
// one context; every step checked, everything given back by Close.
class CHostRoad {
public:
    void Open(CHostConnectionDescription* pHost)
    {
        m_pHost = pHost;
        StartDriverAndSQL(&m_piDriver, &m_piSQL);
        ASSERT_NE(m_piDriver, nullptr);
        m_piDescription = m_piDriver->piGetTableDesc(L"people", pHost);
        ASSERT_NE(m_piDescription, nullptr) << Report(m_piDriver->piGetLastError());
        for (unsigned int i = 0; i < m_piDescription->nGetNumItems(); i++) {
            INAItemDescription* pi = m_piDescription->piNAGetItem(i);
            ASSERT_NE(pi, nullptr);
            m_apiItem.push_back(pi);
        }
        m_piTable = m_piDriver->piGetTable(pHost, m_piDescription);
        ASSERT_NE(m_piTable, nullptr) << Report(m_piDriver->piGetLastError());
        ASSERT_EQ(m_piTable->bHOuvre(&m_clContext, static_cast<eNA_ACCESS>(0), L""), 1)
            << Report(m_piDriver->piGetLastError());
    }
    // Each object given back once; nothing left in the driver.
    void Close()
    {
        if (m_piTable != nullptr) {
            EXPECT_EQ(m_piTable->bHFerme(&m_clContext), 1) << Error();
            m_piDriver->bCloseContext(&m_clContext);
            EXPECT_EQ(m_piTable->nExternalRelease(), 0);
        }
        for (INAItemDescription* pi : m_apiItem)
            pi->nExternalRelease();
        m_apiItem.clear();
        if (m_piDescription != nullptr) {
            EXPECT_EQ(m_piDescription->nExternalRelease(), 0u);
        }
        if (m_piDriver != nullptr) {
            EXPECT_EQ(CNADriver::s_pclDriver->nGetNbTable(), 0u);
            EXPECT_EQ(CNADriver::s_pclDriver->nGetNbContext(), 0u);
            EXPECT_EQ(CNADriver::s_pclDriver->nGetNbConnection(), 0u);
        }
        StopDriverAndSQL(&m_piDriver, &m_piSQL);
        m_piTable = nullptr;
        m_piDescription = nullptr;
    }
    // The record read in the direction, its values joined by tabs as the
    // server's CONCAT_WS writes them; kOut out of range.
    std::string Read(const wchar_t* pszItem, eNA_PARSEDIRECTION eDirection)
    {
        eNA_LOCKTYPE eLock = static_cast<eNA_LOCKTYPE>(0);
        if (!m_piTable->bHLitxxx(&m_clContext, pszItem, eDirection, 0, static_cast<eNA_LOCKTYPE>(0), &eLock, 0))
            return "(read failed) " + Error();
        int bOut = -1;
        if (!m_piTable->bHEnDehors(&m_clContext, pszItem, &bOut))
            return "(no range state) " + Error();
        if (bOut != 0)
            return kOut;
        CNAKXRecord* pRecord = nullptr;
        if (!m_piTable->bGetRecord(&m_clContext, &pRecord) || pRecord == nullptr)
            return "(no record) " + Error();
        std::string strLine;
        for (INAItemDescription* pi : m_apiItem) {
            if (pi->bIsComposedKey())
                continue;
            CAny v;
            if (pRecord->vbItemValueDefined(pi, 0))
                pRecord->vGetItemValue(&v, pi, 0);
            else
                v.SetNullFlag(true);
            strLine += (strLine.empty() ? "" : "\t") + ValueText(v);
        }
        // The host's reference goes; the data access keeps its own.
        EXPECT_GE(pRecord->nRelease(), 1u);
        return strLine;
    }
    // Every record from one end to the other, then what the step past the
    // end answers.
    std::vector<std::string> Browse(const wchar_t* pszItem, bool bBackward)
    {
        std::vector<std::string> tab;
        std::string str = Read(pszItem, bBackward ? LAST : FIRST);
        while (str != kOut && str.compare(0, 1, "(") != 0 && tab.size() <= 2000) {
            tab.push_back(str);
            str = Read(pszItem, bBackward ? PREVIOUS : NEXT);
        }
        tab.push_back(str);
        return tab;
    }
    std::string Error() { return Report(m_piTable->piGetLastError(&m_clContext)); }
    static std::string Report(INAError* pi)
    {
        return pi != nullptr && pi->pszGetError() != nullptr ? UTF8Of(pi->pszGetError()) : "(no error)";
    }

private:
    CHostConnectionDescription* m_pHost = nullptr;
    INADriver* m_piDriver = nullptr;
    INADriverSQL* m_piSQL = nullptr;
    INADataSourceDescription* m_piDescription = nullptr;
    std::vector<INAItemDescription*> m_apiItem;
    INATable* m_piTable = nullptr;
    CHostContext m_clContext{7, 7};
};

// The connection's options and the rows of a block they give.
struct STBlock {
    const wchar_t* pszOptions;
    int nBlock;
};

void PrintTo(const STBlock& st, std::ostream* pos)
{
    *pos << "blocks of " << st.nBlock << " rows";
}

class TableBrowseServer : public ServerTest, public testing::WithParamInterface<STBlock> {
protected:
    TableBrowseServer()
        : ServerTest("zt38browse",
                     {"CREATE TABLE people (id INT PRIMARY KEY, name VARCHAR(30) NULL, a INT NOT NULL, "
                      "b VARCHAR(10) NOT NULL, c INT NOT NULL, INDEX (name), INDEX ab (a, b), UNIQUE u3 (c, a, b)) "
                      "ENGINE=InnoDB",
                      // (c, a) fixes id modulo 91, b the rest: u3 is unique.
                      "INSERT INTO people SELECT seq, ELT(1 + seq % 9, '\xC3\xA9lan', 'Zo\xC3\xAB', "
                      "'z\xC3\xA8" "bre', '\xC3\x85ngstr\xC3\xB6m', 'apple', 'Apple', NULL, '\xC3\xA9" "clair', "
                      "'\xC5\x92uvre'), seq % 13, CONCAT('b', seq DIV 91), seq % 7 FROM seq_1_to_1000"})
    {
    }
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(ServerTest::SetUp());
        m_pfnResults = CountingClient("CountingClient_nResults");
        m_pfnFreed = CountingClient("CountingClient_nResultsFreed");
        ASSERT_NE(m_pfnResults, nullptr);
        ASSERT_NE(m_pfnFreed, nullptr);
    }
    void TearDown() override
    {
        m_clRoad.Close();
        // Every result the driver took was freed.
        if (m_pfnResults != nullptr && m_pfnFreed != nullptr) {
            EXPECT_EQ(m_pfnResults(), m_pfnFreed());
        }
        ServerTest::TearDown();
    }
    CHostConnectionDescription* Road()
    {
        return Host(L"ZT CLIENT LIBRARY=" + Wide(CountingClientPath()) + L";" + GetParam().pszOptions, L"zt38");
    }
    // The records in the key's order, as the server sorts them.
    Rows Expected(const STKey& stKey)
    {
        return List(std::string("SELECT CONCAT_WS('\t', id, IFNULL(name, 'NULL'), a, b, c) FROM people ORDER BY ") +
                    stKey.pszOrder);
    }

    CHostRoad m_clRoad;
    PFN_COUNT m_pfnResults = nullptr;
    PFN_COUNT m_pfnFreed = nullptr;
};

TEST_P(TableBrowseServer, EveryRecordOnceOnEachKeyBothWays)
{
    PFN_COUNT pfnQueries = CountingClient("CountingClient_nQueries");
    ASSERT_NE(pfnQueries, nullptr);
    ASSERT_NO_FATAL_FAILURE(m_clRoad.Open(Road()));
    for (const STKey& stKey : kKeys) {
        SCOPED_TRACE(Narrow(stKey.pszItem));
        Rows tabExpected = Expected(stKey);
        ASSERT_EQ(tabExpected.size(), 1000u);
        tabExpected.push_back(kOut);
        const int nQueries = pfnQueries();
        EXPECT_EQ(m_clRoad.Browse(stKey.pszItem, false), tabExpected);
        // One block of rows per query.
        EXPECT_GE(pfnQueries() - nQueries, 1000 / GetParam().nBlock);
        tabExpected.pop_back();
        Rows tabBackward(tabExpected.rbegin(), tabExpected.rend());
        tabBackward.push_back(kOut);
        EXPECT_EQ(m_clRoad.Browse(stKey.pszItem, true), tabBackward);
    }
}

// Turns inside blocks and across their edges, jumps to either end, and
// the steps past both ends.
TEST_P(TableBrowseServer, TurnsAndEndsOnEachKey)
{
    struct STMove {
        eNA_PARSEDIRECTION eDirection;
        int nTimes;
    };
    const STMove aMoves[] = {{FIRST, 1}, {NEXT, 20}, {PREVIOUS, 7},  {NEXT, 100}, {LAST, 1},  {PREVIOUS, 120},
                             {NEXT, 5},  {LAST, 1},  {PREVIOUS, 1}, {NEXT, 1},   {FIRST, 1}, {NEXT, 1},
                             {PREVIOUS, 1}};
    ASSERT_NO_FATAL_FAILURE(m_clRoad.Open(Road()));
    for (const STKey& stKey : kKeys) {
        SCOPED_TRACE(Narrow(stKey.pszItem));
        const Rows tabExpected = Expected(stKey);
        const int nLast = static_cast<int>(tabExpected.size()) - 1;
        ASSERT_GT(nLast, 100);
        int nAt = 0;
        int nStep = 0;
        for (const STMove& st : aMoves) {
            for (int i = 0; i < st.nTimes; i++, nStep++) {
                nAt = st.eDirection == FIRST ? 0 : st.eDirection == LAST ? nLast
                      : st.eDirection == NEXT ? nAt + 1 : nAt - 1;
                ASSERT_EQ(m_clRoad.Read(stKey.pszItem, st.eDirection), tabExpected[nAt]) << "step " << nStep;
            }
        }
        // Before the first record, then after the last.
        ASSERT_EQ(m_clRoad.Read(stKey.pszItem, PREVIOUS), kOut);
        ASSERT_EQ(m_clRoad.Read(stKey.pszItem, LAST), tabExpected[nLast]);
        ASSERT_EQ(m_clRoad.Read(stKey.pszItem, NEXT), kOut);
    }
}

// The whole road twice: the second driver finds nothing of the first.
TEST_P(TableBrowseServer, TwiceInOneProcess)
{
    const Rows tabExpected = Expected(kKeys[2]);
    for (int nRound = 0; nRound < 2; nRound++) {
        SCOPED_TRACE(nRound);
        ASSERT_NO_FATAL_FAILURE(m_clRoad.Open(Road()));
        std::vector<std::string> tab = m_clRoad.Browse(kKeys[2].pszItem, false);
        ASSERT_FALSE(tab.empty());
        tab.pop_back();
        EXPECT_EQ(tab, tabExpected);
        m_clRoad.Close();
        EXPECT_EQ(m_pfnResults(), m_pfnFreed());
    }
}

INSTANTIATE_TEST_SUITE_P(Blocks, TableBrowseServer,
                         testing::Values(STBlock{L"", 100}, STBlock{L"ZT Cache Size=15", 15}),
                         [](const testing::TestParamInfo<STBlock>& info) {
                             return "Block" + std::to_string(info.param.nBlock);
                         });

} // namespace
