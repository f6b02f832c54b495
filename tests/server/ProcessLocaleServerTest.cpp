// The host runs the driver in its own process and locale: in one whose i and
// I fold into İ and ı, reads and writes go as in any other. The table object
// and host queries in both code pages read the rows the server holds and
// write the statement written by hand, numbers bare.
#include "common/platform/MyModuleInfo.h"
#include "tests/support/ProcessLocale.h"
#include "tests/support/TableObjectServer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>

namespace {

using namespace tableobject;

class ProcessLocale : public TableObjectServer {
protected:
    ProcessLocale() : TableObjectServer("ztplw", {"CREATE TABLE sa (id INT PRIMARY KEY, o INT, t VARCHAR(8))"}) {}
    // Every record of the browse on the item, forward: its values.
    static Rows Browse(INATable* pi, CHostContext* pc, const wchar_t* pszItem)
    {
        Rows tab = Every(pi, pc, pszItem, 0, false, [&](int bRead) {
            return bRead == 1 ? Value(pi, pc, L"o") + "/" + Value(pi, pc, L"t") : "failed: " + Error(pi, pc);
        });
        std::sort(tab.begin(), tab.end());
        return tab;
    }
};

struct SRoad {
    const wchar_t* pszQuery; // the host's query; none: the table object
    const wchar_t* pszItem;  // the item browsed
    const char* pszFound;    // how the write of o and t finds the first row
};

const SRoad kRoads[] = {
    {nullptr, L"id", "`id`=1"},
    {L"SELECT id, o, t FROM sa", L"id", "`sa`.`id`=1"},
    // Found by its values: the same in every locale.
    {L"SELECT o, t FROM sa", L"o", nullptr},
};

TEST_F(ProcessLocale, ReadsAndWritesAsInAnyOtherLocale)
{
    unsigned int nContext = 0;
    CProcessLocale clLocale;
    std::map<std::pair<const SRoad*, bool>, Rows> mapWrites;
    for (const char* pszLocale : {"C.UTF-8", "tr_TR.UTF-8", "C"})
        for (const bool bUTF8 : {true, false})
            for (const SRoad& k : kRoads) {
                SCOPED_TRACE(std::string(pszLocale) + (bUTF8 ? " in UTF-8 " : " in 1252 ") +
                             (k.pszQuery != nullptr ? Narrow(k.pszQuery) : "through the table object"));
                ASSERT_TRUE(clLocale.bSet(pszLocale));
                ASSERT_TRUE(Admin("DELETE FROM sa") && Admin("INSERT INTO sa VALUES (1, 1, 'a'), (2, 3, 'c')"));
                CHostContext* pc = Context(++nContext);
                INATable* pi = k.pszQuery != nullptr ? RunOn(HostIn(bUTF8), pc, k.pszQuery, {L"sa"})
                                                     : Open(L"sa", pc, HostIn(bUTF8));
                ASSERT_NE(pi, nullptr);
                EXPECT_EQ(Browse(pi, pc, k.pszItem), (Rows{"1/a", "3/c"}));
                ASSERT_EQ(Read(pi, pc, k.pszItem, FIRST), 1) << Error(pi, pc);
                PutItem(pi, pc, L"o", CInt(99));
                PutItem(pi, pc, L"t", CHostText(L"Ii"));
                Sent();
                EXPECT_EQ(pi->bHModifie(pc, 0, 0, kNoLock), 1) << Error(pi, pc);
                const Rows tabWrites = Writes();
                const std::string strWrite = "UPDATE `sa` SET `o` = 99 , `t` = 'Ii' WHERE ";
                if (k.pszFound != nullptr) {
                    EXPECT_EQ(tabWrites, Rows{strWrite + k.pszFound});
                }
                EXPECT_EQ(tabWrites, mapWrites.emplace(std::make_pair(&k, bUTF8), tabWrites).first->second);
                EXPECT_EQ(List("SELECT CONCAT_WS('/', id, o, t) FROM sa ORDER BY id"), (Rows{"1/99/Ii", "2/3/c"}));
            }
}

} // namespace
