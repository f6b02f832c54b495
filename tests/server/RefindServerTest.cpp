// Finding the record read again after writes, on tables whose browse item
// holds equal values, through the table object on the private server: each
// of 40 equal rows read once in blocks of 15 while the browse writes, the
// place among equal rows kept or bounded by what another connection left,
// the record values untouched when asked to be, and a row gone for good.
#include "access/statement/NAKXRecord.h"
#include "access/statement/NARecord.h"
#include "access/statement/NARecordCache.h"
#include "access/statement/NARecordValue.h"
#include "access/statement/NAStatement.h"
#include "common/platform/MyModuleInfo.h"
#include "tests/support/HostTableServer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

constexpr eNA_LOCKTYPE kNoLock = static_cast<eNA_LOCKTYPE>(0);
constexpr eNA_PARSEDIRECTION FIRST = static_cast<eNA_PARSEDIRECTION>(0), NEXT = static_cast<eNA_PARSEDIRECTION>(2);

std::string Rows40(const char* pszTable)
{
    std::string s = std::string("INSERT INTO ") + pszTable + " (v, n) VALUES (1, 1)";
    for (int i = 2; i <= 40; i++)
        s += ", (1, " + std::to_string(i) + ")";
    return s;
}

class Refind : public HostTableServerTestOf<CVersionedDriver> {
protected:
    Refind()
        : HostTableServerTestOf<CVersionedDriver>(
              "zt40rf", {"CREATE TABLE same40 (v INT NOT NULL, n INT NOT NULL, m INT NULL, KEY (v)) ENGINE=InnoDB",
                         Rows40("same40"),
                         "CREATE TABLE same40u (v INT NOT NULL, n INT NOT NULL, m INT NULL, KEY (v), UNIQUE KEY (n)) "
                         "ENGINE=InnoDB",
                         Rows40("same40u"),
                         "CREATE TABLE same5 (v INT NOT NULL, n INT NOT NULL, KEY (v)) ENGINE=InnoDB",
                         "INSERT INTO same5 VALUES (1, 1), (1, 2), (1, 3), (1, 4), (1, 5)"})
    {
    }
    static int Read(INATable* pi, CHostContext* pc, eNA_PARSEDIRECTION e)
    {
        return pi->bHLitxxx(pc, L"v", e, 1, kNoLock, nullptr, 0);
    }
    static bool Out(INATable* pi, CHostContext* pc)
    {
        int bOut = 1;
        EXPECT_EQ(pi->bHEnDehors(pc, L"v", &bOut), 1);
        return bOut != 0;
    }
    // The browse statement of v.
    static CNAStatement* Browse(INATable* pi, CHostContext* pc)
    {
        CNAStatement* p = Access(pi, pc)->_pclFindStatement(L"v");
        if (p != nullptr)
            p->nRelease();
        return p;
    }
    // A record buffer: its flag field, then its values.
    static std::string Bytes(const CNAKXRecord* pKX)
    {
        return std::string(reinterpret_cast<const char*>(pKX->pbyGetNullValuesFlags()), pKX->nGetBufferSize());
    }
    // The current and original record buffers.
    static std::string Buffers(CNADataAccess* p)
    {
        CNARecord* pRecord = p->pclGetCurrentRecordNoRef();
        return Bytes(pRecord->pclGetNAKXRecord()) + "|" + Bytes(pRecord->pclGetOriginalNAKXRecord());
    }
    // The five rows read up to the third.
    INATable* OnTheThirdOfFive(CHostContext* pc)
    {
        INATable* pi = Open(L"same5", pc);
        EXPECT_NE(pi, nullptr);
        if (pi == nullptr)
            return nullptr;
        EXPECT_EQ(Read(pi, pc, FIRST), 1) << Error(pi, pc);
        EXPECT_EQ(Read(pi, pc, NEXT), 1) << Error(pi, pc);
        EXPECT_EQ(Read(pi, pc, NEXT), 1) << Error(pi, pc);
        EXPECT_EQ(Value(pi, pc, L"n"), First("SELECT n FROM same5 ORDER BY v LIMIT 2, 1"));
        return pi;
    }
};

// 40 rows equal on the browse item, read 15 at a time; halfway the
// record read is modified: every row still comes once, in the server's
// order. Without a unique key the browse is one result; with one, blocks
// of 15 rows, each found again from the last row of the one before.
TEST_F(Refind, FortyEqualRowsComeOnceWhileTheBrowseWrites)
{
    for (const char* pszTable : {"same40", "same40u"}) {
        SCOPED_TRACE(pszTable);
        const bool bUnique = std::string(pszTable) == "same40u";
        CHostContext* pc = Context(1, bUnique ? 2 : 1);
        INATable* pi = Open(Wide(pszTable).c_str(), pc, HostOn(L"ZT Cache Size=15", L"ztc15"));
        ASSERT_NE(pi, nullptr);
        Sent();
        Rows tabRead;
        std::string strModified;
        ASSERT_EQ(Read(pi, pc, FIRST), 1) << Error(pi, pc);
        while (!Out(pi, pc) && tabRead.size() < 100) {
            tabRead.push_back(Value(pi, pc, L"n"));
            if (tabRead.size() == 20) {
                strModified = Value(pi, pc, L"n");
                SetItem(pi, pc, L"m", L"7");
                ASSERT_EQ(pi->bHModifie(pc, 0, 0, kNoLock), 1) << Error(pi, pc);
            }
            ASSERT_EQ(Read(pi, pc, NEXT), 1) << Error(pi, pc);
        }
        const std::string strFrom = std::string(" FROM ") + pszTable;
        EXPECT_EQ(tabRead, List("SELECT n" + strFrom + " ORDER BY v, n"));
        EXPECT_EQ(List("SELECT n" + strFrom + " WHERE m = 7"), Rows{strModified});
        int nBlocks = 0;
        for (const std::string& s : Sent())
            nBlocks += s.compare(0, 7, "SELECT ") == 0 && s.find(" LIMIT 15") != std::string::npos ? 1 : 0;
        if (bUnique)
            EXPECT_GE(nBlocks, 3);
        else
            EXPECT_EQ(nBlocks, 0);
    }
}

// A write through the data access, then the browse goes on from its
// record, the third of five equal on the browse item.
TEST_F(Refind, TheThirdOfFiveAfterAWrite)
{
    CHostContext* pc = Context(1);
    INATable* pi = OnTheThirdOfFive(pc);
    ASSERT_NE(pi, nullptr);
    SetItem(pi, pc, L"v", L"2");
    SetItem(pi, pc, L"n", L"6");
    ASSERT_EQ(pi->bHAjoute(pc, 0, kNoLock), 1) << Error(pi, pc);
    Rows tabRest;
    ASSERT_EQ(Read(pi, pc, NEXT), 1) << Error(pi, pc);
    while (!Out(pi, pc) && tabRest.size() < 10) {
        tabRest.push_back(Value(pi, pc, L"n"));
        ASSERT_EQ(Read(pi, pc, NEXT), 1) << Error(pi, pc);
    }
    EXPECT_EQ(tabRest, List("SELECT n FROM same5 ORDER BY v, n LIMIT 3, 10"));
}

// Rows equal in every column: the place among them is the record. The
// third is found again as the third; when another connection left two,
// as the second, the last.
TEST_F(Refind, TheThirdOfFiveOrTheSecondWhenTwoAreLeft)
{
    ASSERT_TRUE(Admin("CREATE TABLE ident (v INT NOT NULL, KEY (v)) ENGINE=InnoDB"));
    ASSERT_TRUE(Admin("INSERT INTO ident VALUES (1), (1), (1), (1), (1)"));
    for (const int nLeft : {5, 2}) {
        SCOPED_TRACE(nLeft);
        CHostContext* pc = Context(1, static_cast<unsigned int>(nLeft));
        INATable* pi = Open(L"ident", pc);
        ASSERT_NE(pi, nullptr);
        CNADataAccess* p = Access(pi, pc);
        ASSERT_EQ(Read(pi, pc, FIRST), 1) << Error(pi, pc);
        ASSERT_EQ(Read(pi, pc, NEXT), 1) << Error(pi, pc);
        ASSERT_EQ(Read(pi, pc, NEXT), 1) << Error(pi, pc);
        ASSERT_EQ(p->pclGetCurrentRecordNoRef()->llGetDuplicateRank(), 2);
        if (nLeft == 2) {
            ASSERT_TRUE(Admin("DELETE FROM ident LIMIT 3"));
        }
        ASSERT_EQ(First("SELECT COUNT(*) FROM ident"), std::to_string(nLeft));
        ASSERT_EQ(p->bGoToOriginalRecord(0, Browse(pi, pc), 0, CNAStatement::DIRECTION_STAY, 0, nullptr), 1)
            << Error(pi, pc);
        EXPECT_EQ(p->pclGetCurrentRecordNoRef()->llGetDuplicateRank(), std::min(nLeft, 3) - 1);
        // The rows after it are those after its place.
        int nAfter = 0;
        ASSERT_EQ(Read(pi, pc, NEXT), 1) << Error(pi, pc);
        while (!Out(pi, pc) && nAfter < 10) {
            nAfter++;
            ASSERT_EQ(Read(pi, pc, NEXT), 1) << Error(pi, pc);
        }
        EXPECT_EQ(nAfter, nLeft - std::min(nLeft, 3));
        ASSERT_EQ(pi->bHFerme(pc), 1);
    }
}

// Asked to restore, a successful re-find leaves both record buffers as
// they were, to the byte.
TEST_F(Refind, RestoreAfterKeepsTheRecordValues)
{
    CHostContext* pc = Context(1);
    INATable* pi = OnTheThirdOfFive(pc);
    ASSERT_NE(pi, nullptr);
    CNADataAccess* p = Access(pi, pc);
    // The current values differ from the original ones.
    SetItem(pi, pc, L"n", L"99");
    const std::string strBefore = Buffers(p);
    ASSERT_EQ(p->bGoToOriginalRecord(1, Browse(pi, pc), 0, CNAStatement::DIRECTION_STAY, 0, nullptr), 1) << Error(pi, pc);
    EXPECT_EQ(Buffers(p), strBefore);
    EXPECT_EQ(Value(pi, pc, L"n"), "99");
    // Without restoring, the row found is the record.
    ASSERT_EQ(p->bGoToOriginalRecord(0, Browse(pi, pc), 0, CNAStatement::DIRECTION_STAY, 0, nullptr), 1) << Error(pi, pc);
    EXPECT_EQ(Value(pi, pc, L"n"), First("SELECT n FROM same5 ORDER BY v LIMIT 2, 1"));
}

// Every equal row gone: the record stays, the browse is marked for a
// new positioning with a save of the original values, user error 13.
TEST_F(Refind, AVanishedRowLeavesARepositioningWithASave)
{
    CHostContext* pc = Context(1);
    INATable* pi = OnTheThirdOfFive(pc);
    ASSERT_NE(pi, nullptr);
    CNADataAccess* p = Access(pi, pc);
    const std::string strBefore = Buffers(p);
    ASSERT_TRUE(Admin("DELETE FROM same5"));
    CNAStatement* pBrowse = Browse(pi, pc);
    EXPECT_EQ(p->bGoToOriginalRecord(0, pBrowse, 0, CNAStatement::DIRECTION_STAY, 0, nullptr), 0);
    EXPECT_EQ(ErrorOf(pi, pc)->dwGetErrorId(), static_cast<unsigned int>(ZTERR_RECORD_NOT_FOUND)) << Error(pi, pc);
    EXPECT_EQ(Buffers(p), strBefore);
    EXPECT_EQ(pBrowse->eParseNeedUpdate(), CNAStatement::UPDATE_REPOSITION);
    const int nSave = pBrowse->nGetRecordSaveID();
    ASSERT_NE(nSave, -1);
    EXPECT_GE(p->pclGetRecordSaveCacheNoRef()->nGetRecordSaveRef(nSave), 1);
    // The save is the record as it was read.
    CNARecordValue* pSaved = p->pclGetCurrentRecordNoRef()->pclGetOriginalRecordValueNoRef()->pclGetClone(-1);
    ASSERT_NE(pSaved, nullptr);
    pSaved->AddRef();
    ASSERT_EQ(p->bCopySaveToRecord(nSave, pSaved), 1);
    EXPECT_EQ(Bytes(pSaved->pclGetNAKXRecord()), Bytes(p->pclGetCurrentRecordNoRef()->pclGetOriginalNAKXRecord()));
    pSaved->nRelease();
}

} // namespace
