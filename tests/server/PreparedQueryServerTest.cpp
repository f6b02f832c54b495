// Host queries asked to be prepared (mode 0x10) on the MySQL server, which
// prepares no statement: a selecting query with correction is opened at
// once all the same; any other preparation, and the run that follows the
// host's preparation, fail as an operation not offered and send nothing.
// The texts sent are those of the counting client; rows come from the
// server.
#include "tests/support/HostQueryServer.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class PreparedQueryServer : public HostQueryServerTest {
protected:
    PreparedQueryServer() : HostQueryServerTest("zt39p") {}
    // The query's table, holding the host's bind values (the same name and
    // context give the same table to every run).
    CNATable* Prepared()
    {
        CNATable* p = Run(L"SELECT id FROM t", 0);
        if (p != nullptr)
            p->SetQueryBindVariable(&m_clValues);
        return p;
    }
    void TearDown() override
    {
        for (INATable* pi : m_apTable)
            static_cast<CNATable*>(pi)->SetQueryBindVariable(nullptr);
        HostQueryServerTest::TearDown();
    }
    void ExpectNotOffered()
    {
        EXPECT_EQ(Code(), static_cast<unsigned int>(ZTERR_NOT_OFFERED)) << Report();
        EXPECT_EQ(m_pDriver->pclGetError()->eGetErrorType(), NA_ERRORTYPE_NOTOFFERED) << Report();
        EXPECT_NE(Report().find("IEDUZARO=3.62"), std::string::npos) << Report();
    }
};

} // namespace

TEST_F(PreparedQueryServer, ASelectWithCorrectionIsOpenedAtOnceAndItsPreparedRunRefused)
{
    ASSERT_NE(Prepared(), nullptr);
    const Rows tabIds = List("SELECT id FROM t WHERE n > 3 ORDER BY id");
    const std::wstring strText = L"SELECT id, name FROM t WHERE n > 3 ORDER BY id";
    Sent();
    CNATable* p = Run(strText, CNADataAccess::QM_PREPARE);
    ASSERT_NE(p, nullptr) << Report();
    const std::vector<std::string> tabSent = Sent();
    ASSERT_EQ(tabSent.size(), 1u) << "opened at once: one SELECT";
    EXPECT_EQ(tabSent[0].compare(0, 7, "SELECT "), 0) << tabSent[0];
    CNADataAccess* pAccess = Access(p);
    EXPECT_EQ(pAccess->bRequeteAPreparer(), 1) << "the mode is kept until the prepared run";
    const std::wstring strItem = Wide(Narrow(pAccess->pclGetLastStatementNoRef()->pszGetParseItem()));
    EXPECT_EQ(Walk(p, strItem.c_str(), true, true), tabIds);

    // The host prepared it and runs it: there is nothing prepared to run.
    m_clValues.m_bPrepared = 1;
    int bResult = 1;
    EXPECT_EQ(Run(strText, 0, &bResult), nullptr);
    EXPECT_EQ(bResult, 0);
    ExpectNotOffered();
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(pAccess->bRequeteAPreparer(), 0) << "the preparation is over";
    // The run went to the statement of the query's name, now the last one.
    CNAStatement* pNamed = pAccess->_pclFindStatement(L"Q");
    EXPECT_NE(pNamed, nullptr);
    EXPECT_EQ(pAccess->pclGetLastStatementNoRef(), pNamed);
    if (pNamed != nullptr)
        pNamed->nRelease();
    EXPECT_EQ(Access(p), pAccess) << "a prepared query keeps its data access";
}

TEST_F(PreparedQueryServer, OtherPreparationsSendNothingAndChangeNothing)
{
    ASSERT_NE(Prepared(), nullptr);
    const Rows tabBefore = List("SELECT CONCAT(id, '/', n) FROM t ORDER BY id");
    const struct {
        const char* pszCase;
        std::wstring strText;
        unsigned int nMode;
    } cases[] = {
        {"update", L"UPDATE t SET n = n + 100 WHERE id < 5", CNADataAccess::QM_PREPARE | CNADataAccess::QM_MAY_MODIFY},
        {"update as written", L"UPDATE t SET n = n + 100 WHERE id < 5",
         CNADataAccess::QM_PREPARE | CNADataAccess::QM_MAY_MODIFY | CNADataAccess::QM_WITHOUT_CORRECTION},
        {"select as written", L"SELECT id, name FROM t WHERE n > 3",
         CNADataAccess::QM_PREPARE | CNADataAccess::QM_WITHOUT_CORRECTION},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pszCase);
        m_clValues.m_bPrepared = 0;
        Sent();
        int bResult = 1;
        EXPECT_EQ(Run(c.strText, c.nMode, &bResult), nullptr);
        EXPECT_EQ(bResult, 0);
        ExpectNotOffered();
        EXPECT_TRUE(Sent().empty());
        EXPECT_EQ(List("SELECT CONCAT(id, '/', n) FROM t ORDER BY id"), tabBefore);
    }
}
