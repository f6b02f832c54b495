// The driver's own queries on the private server while the module's heap
// gives out: every allocation of the reading of the rows fails in turn. The
// reading either gives every row, or fails with the reason in the error
// object and the text holding whole rows only, what it held before first.
#include "access/driver/NAError.h"
#include "access/table/NAInternalParse.h"
#include "common/text/XYStringConcat.h"
#include "tests/support/FailingHeap.h"
#include "tests/support/StatementServer.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class InternalQueryMemoryServer : public StatementServerTest {
protected:
    InternalQueryMemoryServer() : StatementServerTest("zt39h") {}
};

} // namespace

TEST_F(InternalQueryMemoryServer, EveryFailedAllocationLeavesWholeRowsAndSaysWhy)
{
    // Values long enough that the text grows while the rows are read.
    ASSERT_TRUE(Admin("CREATE TABLE t (id INT PRIMARY KEY, a VARCHAR(900), b VARCHAR(900)) CHARACTER SET utf8mb4"));
    ASSERT_TRUE(Admin("INSERT INTO t VALUES (1, REPEAT('one ', 200), 'x'), (2, 'two', NULL), "
                      "(3, NULL, REPEAT('z', 900)), (4, REPEAT('four', 220), REPEAT('4', 800))"));
    CMySQLConnection* pCnx = Connect();
    const std::string strRows = "SELECT a, b FROM t ORDER BY id";
    // The server's own joining of the rows, after what the text held.
    const std::string strAll = First("SELECT CONCAT('kept\\r\\n', GROUP_CONCAT(CONCAT(IFNULL(a, ''), '\\t', "
                                     "IFNULL(b, '')) ORDER BY id SEPARATOR '\\r\\n')) FROM t");
    int nFailures = 0;
    const int nEnough = nFailEachAllocation([&](int n) {
        CXYStringConcat<wchar_t> clText;
        clText.Add(L"kept");
        m_pError->Reset();
        CNAInternalParse* pParse = CNAInternalParse::s_pclGetNAInternalParse(Wide(strRows).c_str(), m_pError, pCnx);
        if (pParse == nullptr) {
            ADD_FAILURE() << ErrorText();
            return true;
        }
        pParse->m_nRefCount++;
        int bDone;
        {
            CFailingHeap clHeap(n);
            bDone = pParse->bFetchAll(&clText, L"\r\n", L"\t");
        }
        EXPECT_EQ(pParse->dwRelease(), 0u);
        const std::string strText = UTF8Of(clText.pszGet());
        if (bDone) {
            EXPECT_EQ(strText, strAll);
            return true;
        }
        ++nFailures;
        // A user error, or the system's "no memory".
        EXPECT_TRUE(m_pError->dwGetErrorId() != 0 || m_pError->dwGetSystemErrorCode() == 12u)
            << "the failure says why: " << ErrorText();
        // Whole rows only: the text ends where a row of the full text ends.
        EXPECT_EQ(strAll.compare(0, strText.size(), strText), 0) << strText;
        EXPECT_TRUE(strText.size() == strAll.size() || strAll.compare(strText.size(), 2, "\r\n") == 0) << strText;
        return false;
    });
    EXPECT_GT(nEnough, 0);
    EXPECT_GT(nFailures, 0);
}
