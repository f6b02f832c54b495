// Transactions: a nested level that cannot be made, a level without a
// connection, and the host's calls that always succeed.
#include "access/driver/NATransaction.h"

#include "access/driver/NAConnectionDescription.h"
#include "access/driver/NAError.h"
#include "common/platform/MyModuleInfo.h"
#include "common/platform/XError.h"
#include "tests/support/ClosedConnection.h"

#include <gtest/gtest.h>

namespace {

// A connection that opens at once, answers every text and makes levels
// until told not to.
class CLevelConnection : public CClosedConnection {
public:
    int bOpen(CNAError*) override { return 1; }
    int bIsOpen() override { return 1; }
    int bExecuteQueryNoResult(CNAError*, const wchar_t*) override { return 1; }
    CNATransaction* pclAllocTransaction() override
    {
        return m_bRefuse ? nullptr : CNAConnectionDescription::pclAllocTransaction();
    }
    bool m_bRefuse = false;
};

TEST(TransactionGaps, ANestedLevelThatCannotBeMadeIsTheNoMemoryError)
{
    CLevelConnection cnx;
    CNAError err;
    ASSERT_EQ(cnx.bTransactionBegin(&err, L"A"), 1);
    cnx.m_bRefuse = true;
    EXPECT_EQ(cnx.bTransactionBegin(&err, L"B"), 0);
    EXPECT_EQ(err.dwGetErrorId(), static_cast<unsigned>(ZTERR_NO_MEMORY));
    EXPECT_EQ(err.pclGetXError()->eGetErrorLevel(), EL_ERROR);
    cnx.m_bRefuse = false;
    err.Reset();
    EXPECT_EQ(cnx.bTransactionCommit(&err, L"A"), 1);
}

TEST(TransactionGaps, ALevelWithoutAConnectionBeginsNothing)
{
    CNATransaction* p = new CNATransaction(nullptr);
    p->AddRef();
    CNAError err;
    for (int bInternal : {0, 1}) {
        EXPECT_EQ(p->bBegin(&err, L"A", bInternal), 0) << "internal " << bInternal;
        EXPECT_EQ(p->bInternalTransactionBegin(&err, L"B"), 0) << "internal " << bInternal;
    }
    // The host's detach, activation and resumption have nothing to refuse.
    EXPECT_EQ(p->bDetach(&err), 1);
    EXPECT_EQ(p->bSetActive(&err, 1), 1);
    EXPECT_EQ(p->bResume(&err), 1);
    p->nRelease();
}

} // namespace
