// The change of browse item on the private server when the browse it
// leaves has a refresh pending: the current record becomes the record
// that browse stood on, and the new browse goes on from it; and when no
// statement can be made for the new item.
#include "tests/support/TableObjectServer.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace tableobject;

class KeyChange : public TableObjectServer {
protected:
    KeyChange()
        : TableObjectServer("zt41kc", {"CREATE TABLE t (id INT PRIMARY KEY, name VARCHAR(20) NOT NULL, KEY(name))",
                                       "INSERT INTO t VALUES (7, 'ABC'), (3, 'B'), (5, 'AA'), (9, 'AZ'), (1, 'C'), "
                                       "(4, 'BA'), (8, 'CA'), (2, 'D'), (6, 'DA'), (10, 'E')"})
    {
    }
};

// The filter switched on marks the browse by name for a refresh from its
// record; values changed in the record buffer since are not kept.
TEST_F(KeyChange, FromABrowseWithARefreshPending)
{
    CHostContext* pContext = Context(1);
    INATable* pi = Open(L"t", pContext);
    ASSERT_NE(pi, nullptr);
    CNADataAccess* p = Access(pi, pContext);
    const CHostText vMin(L"B"), vMax(L"D");
    ASSERT_EQ(pi->bHFiltre(pContext, L"name", &vMin, 1, &vMax, 1, nullptr), 1) << Error(pi, pContext);
    ASSERT_EQ(pi->bHDesactiveFiltre(pContext, L"name", 0), 1);
    const std::string strId = Third(pi, pContext, L"name", true);
    ASSERT_EQ(strId, First("SELECT id FROM t ORDER BY name LIMIT 2, 1"));
    const std::string strName = Value(pi, pContext, L"name");
    ASSERT_EQ(pi->bHActiveFiltre(pContext, L"name", 0), 1) << Error(pi, pContext);
    ASSERT_NE(StatementOf(pi, pContext, L"name")->eParseNeedUpdate(), CNAStatement::UPDATE_NONE);
    ASSERT_EQ(p->nGetOwnRecordSave(), -1);
    SetCurrentValue(p, L"id", L"99");
    SetCurrentValue(p, L"name", L"ZZ");

    ASSERT_EQ(pi->bHChangeCle(pContext, L"id", 0), 1) << Error(pi, pContext);
    EXPECT_EQ(Value(pi, pContext, L"id"), strId);
    EXPECT_EQ(Value(pi, pContext, L"name"), strName);
    ASSERT_EQ(Read(pi, pContext, L"id", NEXT), 1) << Error(pi, pContext);
    EXPECT_EQ(Value(pi, pContext, L"id"), First("SELECT MIN(id) FROM t WHERE id > " + strId));
}

// No statement can be made for the new item: the change fails and the
// browse stays where it stood.
TEST_F(KeyChange, NoStatementForTheNewItem)
{
    CHostContext* pContext = Context(1);
    INATable* pi = Open(L"t", pContext);
    ASSERT_NE(pi, nullptr);
    const std::string strId = Third(pi, pContext, L"name", true);
    CPositionDriver::s_bNoStatement = true;
    EXPECT_EQ(pi->bHChangeCle(pContext, L"id", 0), 0);
    CPositionDriver::s_bNoStatement = false;
    EXPECT_EQ(Access(pi, pContext)->_pclFindStatement(L"id"), nullptr);
    ASSERT_EQ(Read(pi, pContext, L"name", NEXT), 1) << Error(pi, pContext);
    EXPECT_EQ(Value(pi, pContext, L"id"), First("SELECT id FROM t ORDER BY name LIMIT 3, 1"));
}

} // namespace
