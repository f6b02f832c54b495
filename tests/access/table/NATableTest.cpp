// The table object's fixed answers and the place of its two counts, which
// the host reads right after the table of operations.
#include "access/table/NATable.h"

#include <gtest/gtest.h>

TEST(NATable, CountsFollowTheTableOfOperations)
{
    CNATable* p = new CNATable(L"Table=t;x", nullptr, nullptr, nullptr);
    p->AddRef();
    p->AddRef();
    p->ExternalAddRef();
    const int* pn = reinterpret_cast<const int*>(p);
    if (sizeof(void*) == 4) {
        EXPECT_EQ(pn[1], 2);
        EXPECT_EQ(pn[2], 1);
    }
    EXPECT_EQ(p->nGetVersion(), 11);
    EXPECT_EQ(p->nGetCompatSince(), 8);
    EXPECT_EQ(p->nRelease(), 1);
    EXPECT_EQ(p->nExternalRelease(), 0);
    EXPECT_EQ(p->nRelease(), 0);
}
