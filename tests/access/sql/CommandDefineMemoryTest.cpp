// Output definitions added to a command while the module's heap gives out:
// every allocation fails in turn. A definition is filed whole, or not at
// all with "no memory" said, and none is left behind (the sanitized build
// checks the last).
#include "access/driver/NAError.h"
#include "access/sql/NACommand.h"
#include "tests/support/FailingHeap.h"
#include "tests/support/ValueCells.h"

#include <gtest/gtest.h>

TEST(CommandDefineMemory, FiledWholeOrNotAtAll)
{
    BindValueMachine();
    CNAError* pError = new CNAError;
    pError->AddRef();
    CTestConnection* pCnx = new CTestConnection(1252, 1252);
    pCnx->AddRef();
    int nFailures = 0;
    const int nEnough = nFailEachAllocation([&](int n) {
        CNACommand* pCommand = new CNACommand(pError, pCnx);
        pCommand->AddRef();
        CCell* pCell = new CCell(pError, pCnx);
        pCell->AddRef();
        pError->Reset();
        int bAdded;
        {
            CFailingHeap clHeap(n);
            bAdded = pCommand->AddDefine(L"a column", pCell);
        }
        EXPECT_EQ(pCommand->nGetDefineNbr(), bAdded ? 1 : 0);
        if (!bAdded) {
            ++nFailures;
            EXPECT_EQ(pError->dwGetSystemErrorCode(), 12u) << "no memory, said";
        }
        pCommand->nRelease();
        EXPECT_EQ(pCell->nRelease(), 0u) << "the definition's reference went with it";
        return bAdded != 0;
    });
    EXPECT_GT(nEnough, 0);
    EXPECT_GT(nFailures, 0);
    EXPECT_EQ(pCnx->nRelease(), 0u);
    EXPECT_EQ(pError->nRelease(), 0u);
}
