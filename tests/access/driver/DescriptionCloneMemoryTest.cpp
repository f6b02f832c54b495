// A description cloned while the module's heap gives out: every allocation
// of the clone fails in turn. The clone is whole, or there is none, and
// nothing of a half-made one is left behind (the sanitized build checks
// the last).
#include "access/driver/NADataSourceDescription.h"
#include "access/driver/NAError.h"
#include "mysql/MySQLDriver.h"
#include "tests/support/FailingHeap.h"
#include "tests/support/ValueCells.h"

#include <gtest/gtest.h>

#include <new>

extern "C" int bInitLibrary(HINSTANCE hModule);

TEST(DescriptionCloneMemory, AWholeCloneOrNone)
{
    BindValueMachine();
    bInitLibrary(nullptr);
    CNADriver* pFormer = CNADriver::s_pclDriver;
    CMySQLDriver* pDriver = new CMySQLDriver;
    pDriver->ExternalAddRef();
    ASSERT_EQ(pDriver->bInitDriver(), 1);
    CNADriver::s_pclDriver = pDriver;
    CNAError* pError = new CNAError;
    pError->AddRef();
    CTestConnection* pCnx = new CTestConnection(1252, 1252);
    pCnx->AddRef();
    CNADataSourceDescription* pDesc = pDriver->pclAllocDataSourceDescription(pCnx, pError);
    ASSERT_NE(pDesc, nullptr);
    pDesc->AddRef();
    pDesc->SetLogicalName(L"source with a long logical name");
    for (const wchar_t* psz : {L"first item of the source", L"second item of the source", L"third item"})
        ASSERT_EQ(pDesc->bAddItem(psz, L"src", psz, 1, 40, NA_IT_TEXTE, -1, -1, 0, 0, 0), 1);

    int nFailures = 0;
    const int nEnough = nFailEachAllocation([&](int n) {
        CNADataSourceDescription* pClone = nullptr;
        {
            CFailingHeap clHeap(n);
            try {
                pClone = pDesc->pclGetCloneDataSourceDescription(0);
            } catch (const std::bad_alloc&) {
                pClone = nullptr;
            }
        }
        if (pClone == nullptr) {
            ++nFailures;
            return false;
        }
        pClone->AddRef();
        EXPECT_EQ(pClone->nGetNumItems(), pDesc->nGetNumItems());
        EXPECT_STREQ(pClone->pszGetLogicalName(), pDesc->pszGetLogicalName());
        pClone->nRelease();
        return true;
    });
    EXPECT_GT(nEnough, 0);
    EXPECT_GT(nFailures, 0);
    pDesc->nRelease();
    EXPECT_EQ(pCnx->nRelease(), 0u);
    EXPECT_EQ(pError->nRelease(), 0u);
    CNADriver::s_pclDriver = pFormer;
    pDriver->nExternalRelease();
}
