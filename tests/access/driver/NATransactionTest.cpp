#include "access/driver/NATransaction.h"

#include "access/driver/NAConnectionDescription.h"
#include "access/driver/NAError.h"
#include "common/platform/MyModuleInfo.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A transaction that counts its destruction.
class CCountedTransaction : public CNATransaction {
public:
    CCountedTransaction(CNAConnectionDescription* pcl, int* pnDestroyed)
        : CNATransaction(pcl), m_pnDestroyed(pnDestroyed)
    {
    }
    ~CCountedTransaction() override { (*m_pnDestroyed)++; }


private:
    int* m_pnDestroyed;
};

// A connection that records the SQL it runs, opens at once and counts the
// transactions it makes and loses.
class CRecordingConnection : public CNAConnectionDescription {
public:
    // Transactions are destroyed in the base's end: the count lives outside.
    explicit CRecordingConnection(int* pnDestroyed) : m_pnTransactionsDestroyed(pnDestroyed) {}
    int bOpen(CNAError*) override { return m_bOpenAnswer; }
    int bIsOpen() override { return 1; }
    int bClose(CNAError*) override { return 1; }
    void _InitKX2NativeType() override {}
    int bExecuteQueryNoResult(CNAError* pError, const wchar_t* pszQuery) override
    {
        m_astrSQL.push_back(pszQuery);
        if (m_strLoseOn != pszQuery)
            return m_bAnswer;
        // The session ends under this text, as the back end reports it.
        _CXErrorModule32 clCause;
        clCause.SetUserError(&gstMyModuleInfo32, ZTERR_SERVER, L"host", 2013);
        _TransactionLost(&clCause);
        pError->AddError(NA_ERRORTYPE_GENERAL, &clCause, this);
        return 0;
    }
    CNATransaction* pclAllocTransaction() override
    {
        if (m_bRefuseTransaction)
            return nullptr;
        m_nTransactionsMade++;
        return new CCountedTransaction(this, m_pnTransactionsDestroyed);
    }
    void SetSeparateTransactions(int b) { m_bSeparateTransactions = b; }
    // The texts sent since the last call.
    std::vector<std::wstring> Sent()
    {
        std::vector<std::wstring> a;
        a.swap(m_astrSQL);
        return a;
    }

    std::vector<std::wstring> m_astrSQL;
    std::wstring m_strLoseOn;
    int m_bAnswer = 1;
    int m_bOpenAnswer = 1;
    bool m_bRefuseTransaction = false;
    int m_nTransactionsMade = 0;
    int* m_pnTransactionsDestroyed;
};

typedef std::vector<std::wstring> Texts;

struct TransactionTest : ::testing::Test {
    int nDestroyed = 0;
    CRecordingConnection cnx{&nDestroyed};
    CNAError err;

    unsigned int Code() const { return err.dwGetErrorId(); }
    std::wstring Message()
    {
        const wchar_t* psz = err.pclGetXError()->pszGetUserMessage();
        return psz != nullptr ? psz : L"";
    }
};

// Steps: +name begins, =name commits, -name rolls back, * rolls back every
// level; a name of _ is no name, an empty one the innermost level.
TEST_F(TransactionTest, ScriptedLevelsSendTheirTexts)
{
    struct { const char* pszScript; int bSeparate; Texts aExpected; int nMade; } const tab[] = {
        {"+A =A +A -a", 1, {L"BEGIN", L"COMMIT", L"BEGIN", L"ROLLBACK"}, 1},
        {"+A +B +C =C -B =A", 1,
         {L"BEGIN", L"SAVEPOINT ZT_LEVEL_1", L"SAVEPOINT ZT_LEVEL_2", L"RELEASE SAVEPOINT ZT_LEVEL_2",
          L"ROLLBACK TO SAVEPOINT ZT_LEVEL_1", L"COMMIT"}, 3},
        // Host names never reach the savepoint text.
        {"+A +x;DROP", 1, {L"BEGIN", L"SAVEPOINT ZT_LEVEL_1"}, 2},
        {"+A +B = -_", 1, {L"BEGIN", L"SAVEPOINT ZT_LEVEL_1", L"RELEASE SAVEPOINT ZT_LEVEL_1", L"ROLLBACK"}, 2},
        // A closed nested level serves again.
        {"+A +B =B +B2", 1,
         {L"BEGIN", L"SAVEPOINT ZT_LEVEL_1", L"RELEASE SAVEPOINT ZT_LEVEL_1", L"SAVEPOINT ZT_LEVEL_1"}, 2},
        {"* +A +B * *", 1, {L"BEGIN", L"SAVEPOINT ZT_LEVEL_1", L"ROLLBACK TO SAVEPOINT ZT_LEVEL_1", L"ROLLBACK"}, 2},
        // Without separate levels nested begins are counted and end once.
        {"+A +B =B =A +A +A -A -A", 0, {L"BEGIN", L"COMMIT", L"BEGIN", L"ROLLBACK"}, 1},
    };
    for (const auto& st : tab) {
        SCOPED_TRACE(st.pszScript);
        int nGone = 0;
        CRecordingConnection c(&nGone);
        c.SetSeparateTransactions(st.bSeparate);
        std::string strScript = st.pszScript;
        for (size_t i = 0; i < strScript.size();) {
            size_t nEnd = strScript.find(' ', i);
            if (nEnd == std::string::npos)
                nEnd = strScript.size();
            const std::string strName = strScript.substr(i + 1, nEnd - i - 1);
            const std::wstring wstrName(strName.begin(), strName.end());
            const wchar_t* pszName = strName == "_" ? nullptr : wstrName.c_str();
            int bDone = 0;
            switch (strScript[i]) {
            case '+': bDone = c.bTransactionBegin(&err, pszName); break;
            case '=': bDone = c.bTransactionCommit(&err, pszName); break;
            case '-': bDone = c.bTransactionRollBack(&err, pszName); break;
            default: bDone = c.bTransactionRollBackAll(&err); break;
            }
            EXPECT_EQ(bDone, 1) << strScript.substr(i, nEnd - i);
            i = nEnd + 1;
        }
        EXPECT_EQ(c.Sent(), st.aExpected);
        EXPECT_EQ(c.m_nTransactionsMade, st.nMade);
        EXPECT_EQ(Code(), 0u);
    }
}

TEST_F(TransactionTest, CommitOfTheOuterNameWithANestedLevelOpenIsRefused)
{
    ASSERT_EQ(cnx.bTransactionBegin(&err, L"A"), 1);
    ASSERT_EQ(cnx.bTransactionBegin(&err, L"B"), 1);
    cnx.Sent();
    EXPECT_EQ(cnx.bTransactionCommit(&err, L"A"), 0);
    EXPECT_EQ(Code(), 10u);
    EXPECT_NE(Message().find(L"A"), std::wstring::npos);
    EXPECT_NE(Message().find(L"B"), std::wstring::npos);
    EXPECT_TRUE(cnx.Sent().empty());
    err.Reset();
    ASSERT_EQ(cnx.bTransactionCommit(&err, L"B"), 1);
    ASSERT_EQ(cnx.bTransactionCommit(&err, L"A"), 1);
    EXPECT_EQ(cnx.Sent(), (Texts{L"RELEASE SAVEPOINT ZT_LEVEL_1", L"COMMIT"}));
}

TEST_F(TransactionTest, RollBackOfTheOuterNameUndoesOnlyTheLevelsBelow)
{
    ASSERT_EQ(cnx.bTransactionBegin(&err, L"A"), 1);
    ASSERT_EQ(cnx.bTransactionBegin(&err, L"B"), 1);
    ASSERT_EQ(cnx.bTransactionBegin(&err, L"C"), 1);
    cnx.Sent();
    ASSERT_EQ(cnx.bTransactionRollBack(&err, L"A"), 1);
    // Innermost first.
    EXPECT_EQ(cnx.Sent(), (Texts{L"ROLLBACK TO SAVEPOINT ZT_LEVEL_2", L"ROLLBACK TO SAVEPOINT ZT_LEVEL_1"}));
    EXPECT_EQ(cnx._bTransactionOpened(), 1);
    EXPECT_EQ(cnx.pclGetCurrentTransaction()->_bInternalTransactionOpened(), 0);
    ASSERT_EQ(cnx.bTransactionRollBack(&err, L"A"), 1);
    EXPECT_EQ(cnx.Sent(), (Texts{L"ROLLBACK"}));
}

TEST_F(TransactionTest, UnknownNamesAreRefusedWithTheirName)
{
    struct {
        const char* pszCase;
        int (CNAConnectionDescription::*pfn)(CNAError*, const wchar_t*);
    } tab[] = {{"commit", &CNAConnectionDescription::bTransactionCommit},
               {"roll-back", &CNAConnectionDescription::bTransactionRollBack}};
    ASSERT_EQ(cnx.bTransactionBegin(&err, L"A"), 1);
    ASSERT_EQ(cnx.bTransactionBegin(&err, L"B"), 1);
    cnx.Sent();
    for (const auto& st : tab) {
        SCOPED_TRACE(st.pszCase);
        err.Reset();
        EXPECT_EQ((cnx.*st.pfn)(&err, L"C"), 0);
        EXPECT_EQ(Code(), 9u);
        EXPECT_NE(Message().find(L"C"), std::wstring::npos);
        EXPECT_TRUE(cnx.Sent().empty());
        EXPECT_EQ(cnx.pclGetCurrentTransaction()->_bInternalTransactionOpened(), 1);
    }
}

TEST_F(TransactionTest, ClosedLevelRollsBackWithoutServerWork)
{
    ASSERT_EQ(cnx.bTransactionBegin(&err, L"A"), 1);
    ASSERT_EQ(cnx.bTransactionRollBack(&err, L"A"), 1);
    cnx.Sent();
    EXPECT_EQ(cnx.bTransactionRollBack(&err, L"A"), 1);
    EXPECT_EQ(cnx.pclGetCurrentTransaction()->bRollBackAll(&err), 1);
    EXPECT_TRUE(cnx.Sent().empty());
}

TEST_F(TransactionTest, EndWithoutABeginIsUserErrorNineAndChangesNothing)
{
    EXPECT_EQ(cnx.bTransactionCommit(&err, L"T"), 0);
    EXPECT_EQ(Code(), 9u);
    EXPECT_NE(Message().find(L"T"), std::wstring::npos);
    err.Reset();
    EXPECT_EQ(cnx.bTransactionRollBack(&err, L"T"), 0);
    EXPECT_EQ(Code(), 9u);
    EXPECT_TRUE(cnx.Sent().empty());
    EXPECT_EQ(cnx.pclGetCurrentTransaction(), nullptr);
    EXPECT_EQ(cnx.m_nTransactionsMade, 0);
}

TEST_F(TransactionTest, ServerFailuresLeaveTheFlagsAsTheRulesSay)
{
    cnx.m_bAnswer = 0;
    EXPECT_EQ(cnx.bTransactionBegin(&err, L"A"), 0);
    EXPECT_EQ(cnx._bTransactionOpened(), 0);
    cnx.m_bAnswer = 1;
    ASSERT_EQ(cnx.bTransactionBegin(&err, L"A"), 1);
    cnx.m_bAnswer = 0;
    EXPECT_EQ(cnx.bTransactionCommit(&err, L"A"), 0);
    // Cleared whatever the server answered.
    EXPECT_EQ(cnx._bTransactionOpened(), 0);
}

TEST_F(TransactionTest, OpenTransactionHoldsOffAutomaticClose)
{
    EXPECT_EQ(cnx.bAutoCloseEnabled(), 1);
    ASSERT_EQ(cnx.bTransactionBegin(&err, L"A"), 1);
    EXPECT_EQ(cnx.bAutoCloseEnabled(), 0);
    ASSERT_EQ(cnx.bTransactionCommit(&err, L"A"), 1);
    EXPECT_EQ(cnx.bAutoCloseEnabled(), 1);
}

TEST_F(TransactionTest, BeginOnAConnectionThatCannotOpenRunsNothing)
{
    cnx.m_bOpenAnswer = 0;
    EXPECT_EQ(cnx.bTransactionBegin(&err, L"A"), 0);
    EXPECT_TRUE(cnx.Sent().empty());
    EXPECT_EQ(cnx.pclGetCurrentTransaction(), nullptr);
}

TEST_F(TransactionTest, NoTransactionObjectIsTheNoMemoryErrorAtEveryLevel)
{
    for (int nLevel : {0, 1}) {
        SCOPED_TRACE(nLevel);
        err.Reset();
        cnx.m_bRefuseTransaction = nLevel == 0;
        if (nLevel == 1) {
            ASSERT_EQ(cnx.bTransactionBegin(&err, L"A"), 1);
            cnx.Sent();
            cnx.m_bRefuseTransaction = true;
        }
        EXPECT_EQ(cnx.bTransactionBegin(&err, L"B"), 0);
        EXPECT_EQ(Code(), 12u);
        EXPECT_TRUE(cnx.Sent().empty());
    }
}

// The loss is seen by a statement before the end, or under the end's own
// text; either way the transaction's ends never reach the server again.
TEST_F(TransactionTest, ALostTransactionEndsAtItsFirstEndAndNeverCommits)
{
    const auto pfnCommit = &CNAConnectionDescription::bTransactionCommit;
    const auto pfnRollBack = &CNAConnectionDescription::bTransactionRollBack;
    struct {
        const char* pszCase;
        const wchar_t* pszLoseOn; // null: lost before the end
        int (CNAConnectionDescription::*pfn)(CNAError*, const wchar_t*);
        const wchar_t* pszName;
        int bAnswer;
        int bOuterOpen; // after the end
    } const tab[] = {
        {"nested commit", nullptr, pfnCommit, L"B", 0, 0},
        {"commit", nullptr, pfnCommit, nullptr, 0, 0},
        {"nested roll-back", nullptr, pfnRollBack, L"B", 1, 0},
        {"roll-back of another name", nullptr, pfnRollBack, L"X", 1, 0},
        {"under the commit", L"COMMIT", pfnCommit, L"A", 0, 0},
        {"under the roll-back", L"ROLLBACK", pfnRollBack, L"A", 0, 0},
        {"under the nested commit", L"RELEASE SAVEPOINT ZT_LEVEL_1", pfnCommit, L"B", 0, 1},
        {"under the nested roll-back", L"ROLLBACK TO SAVEPOINT ZT_LEVEL_1", pfnRollBack, L"B", 0, 1},
    };
    for (const auto& t : tab) {
        SCOPED_TRACE(t.pszCase);
        int nGone = 0;
        CRecordingConnection c(&nGone);
        CNAError e;
        ASSERT_EQ(c.bTransactionBegin(&e, L"A"), 1);
        // The outer level's own end needs no level below it.
        if (t.pszLoseOn == nullptr || t.bOuterOpen) {
            ASSERT_EQ(c.bTransactionBegin(&e, L"B"), 1);
        }
        c.Sent();
        EXPECT_EQ(c._bRefuseInLostTransaction(&e), 0);
        if (t.pszLoseOn != nullptr) {
            c.m_strLoseOn = t.pszLoseOn;
        } else {
            _CXErrorModule32 clCause;
            clCause.SetUserError(&gstMyModuleInfo32, ZTERR_SERVER, L"host", 2013);
            c._TransactionLost(&clCause);
            // Only the first cause is kept.
            _CXErrorModule32 clLater;
            clLater.SetUserError(&gstMyModuleInfo32, ZTERR_CONNECT);
            c._TransactionLost(&clLater);
            // Open, it refuses every statement and level.
            EXPECT_EQ(c._bRefuseInLostTransaction(&e), 1);
            EXPECT_EQ(e.dwGetErrorId(), static_cast<unsigned int>(ZTERR_SERVER));
            e.Reset();
            EXPECT_EQ(c.bTransactionBegin(&e, L"C"), 0);
            EXPECT_EQ(e.dwGetErrorId(), static_cast<unsigned int>(ZTERR_SERVER));
            EXPECT_EQ(c._bTransactionOpened(), 1);
            EXPECT_TRUE(c.Sent().empty());
        }

        // The first end closes every level but the outer one of a nested
        // end under which the session ended; that one is ended next.
        e.Reset();
        EXPECT_EQ((c.*t.pfn)(&e, t.pszName), t.bAnswer);
        EXPECT_EQ(e.dwGetErrorId(), t.bAnswer ? 0u : static_cast<unsigned int>(ZTERR_SERVER));
        EXPECT_EQ(c.pclGetCurrentTransaction()->bIsLost(), 1);
        EXPECT_EQ(c._bTransactionOpened(), t.bOuterOpen);
        EXPECT_EQ(c._bRefuseInLostTransaction(&e), t.bOuterOpen);
        EXPECT_EQ(c.pclGetCurrentTransaction()->_bInternalTransactionOpened(), 0);
        c.Sent();
        // Until the next begin no commit of it succeeds.
        e.Reset();
        EXPECT_EQ(c.bTransactionCommit(&e, L"A"), 0);
        EXPECT_EQ(e.dwGetErrorId(), static_cast<unsigned int>(ZTERR_SERVER));
        EXPECT_EQ(c._bTransactionOpened(), 0);
        EXPECT_EQ(c._bRefuseInLostTransaction(&e), 0);
        e.Reset();
        EXPECT_EQ(c.bTransactionRollBack(&e, L"A"), 1);
        EXPECT_EQ(e.dwGetErrorId(), 0u);
        EXPECT_TRUE(c.Sent().empty());

        c.m_strLoseOn.clear();
        ASSERT_EQ(c.bTransactionBegin(&e, L"A"), 1);
        EXPECT_EQ(c.pclGetCurrentTransaction()->bIsLost(), 0);
        ASSERT_EQ(c.bTransactionCommit(&e, L"A"), 1);
        EXPECT_EQ(c.Sent(), (Texts{L"BEGIN", L"COMMIT"}));
    }
}

TEST_F(TransactionTest, ASessionEndedOutsideATransactionMarksNothing)
{
    _CXErrorModule32 clCause;
    clCause.SetUserError(&gstMyModuleInfo32, ZTERR_SERVER, L"host", 2006);
    cnx._TransactionLost(&clCause);
    ASSERT_EQ(cnx.bTransactionBegin(&err, L"A"), 1);
    EXPECT_EQ(cnx._bRefuseInLostTransaction(&err), 0);
    ASSERT_EQ(cnx.bTransactionCommit(&err, L"A"), 1);
    EXPECT_EQ(cnx.Sent(), (Texts{L"BEGIN", L"COMMIT"}));
}

TEST_F(TransactionTest, ActivateAndResumeAnswerTrueWithOrWithoutATransaction)
{
    EXPECT_EQ(cnx.bActiveCurrentTransaction(&err, 1), 1);
    EXPECT_EQ(cnx.bResumeCurrentTransaction(&err), 1);
    ASSERT_EQ(cnx.bTransactionBegin(&err, L"A"), 1);
    EXPECT_EQ(cnx.bActiveCurrentTransaction(&err, 0), 1);
    EXPECT_EQ(cnx.bResumeCurrentTransaction(&err), 1);
    EXPECT_EQ(cnx.Sent(), (Texts{L"BEGIN"}));
}

TEST_F(TransactionTest, CloseTransactionsForgetsTheChain)
{
    ASSERT_EQ(cnx.bTransactionBegin(&err, L"A"), 1);
    ASSERT_EQ(cnx.bTransactionBegin(&err, L"B"), 1);
    cnx._CloseTransactions();
    EXPECT_EQ(nDestroyed, 2);
    EXPECT_EQ(cnx.pclGetCurrentTransaction(), nullptr);
    EXPECT_EQ(cnx._bTransactionOpened(), 0);
    EXPECT_EQ(cnx.bTransactionCommit(&err, L"A"), 0);
    EXPECT_EQ(Code(), 9u);
}

TEST(Transaction, ConnectionEndDestroysEachLevelOnce)
{
    int nDestroyed = 0;
    int nMade = 0;
    {
        CRecordingConnection cnx(&nDestroyed);
        CNAError err;
        ASSERT_EQ(cnx.bTransactionBegin(&err, L"A"), 1);
        ASSERT_EQ(cnx.bTransactionBegin(&err, L"B"), 1);
        ASSERT_EQ(cnx.bTransactionBegin(&err, L"C"), 1);
        nMade = cnx.m_nTransactionsMade;
        // The error a lost transaction keeps goes with it (the leak check
        // sees it otherwise).
        cnx.m_strLoseOn = L"RELEASE SAVEPOINT ZT_LEVEL_2";
        EXPECT_EQ(cnx.bTransactionCommit(&err, L"C"), 0);
        ASSERT_EQ(cnx.pclGetCurrentTransaction()->bIsLost(), 1);
    }
    EXPECT_EQ(nMade, 3);
    EXPECT_EQ(nDestroyed, 3);
}

} // namespace
