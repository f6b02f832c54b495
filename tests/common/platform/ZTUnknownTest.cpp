#include "common/platform/ZTUnknown.h"

#include "tests/support/Counted.h"
#include "tests/support/TestHost.h"

#include <cstring>

TEST(ZTUnknown, ReleaseDestroysAtZero)
{
    int nDestroyed = 0;
    auto* p = new CCounted(&nDestroyed);
    EXPECT_EQ(p->m_nRefCount, 0);
    p->m_nRefCount++;
    EXPECT_EQ(p->dwRelease(), 0u);
    EXPECT_EQ(nDestroyed, 1);

    // Two owners: the first release leaves the object to the second.
    auto* q = new CCounted(&nDestroyed);
    q->m_nRefCount++;
    q->m_nRefCount++;
    CZTUnknown* pRoot = q;
    EXPECT_EQ(pRoot->dwRelease(), 1u);
    EXPECT_EQ(nDestroyed, 1);
    EXPECT_EQ(pRoot->dwRelease(), 0u);
    EXPECT_EQ(nDestroyed, 2);
}

TEST(ZTUnknown, CountIsTheObjectsOwn)
{
    // Table of operations, then the count.
    int nDestroyed = 0;
    CCounted a(&nDestroyed);
    a.m_nRefCount = 3;
    int nWord;
    memcpy(&nWord, reinterpret_cast<const unsigned char*>(static_cast<CZTUnknown*>(&a)) + sizeof(void*), sizeof(nWord));
    EXPECT_EQ(nWord, 3);

    // A copy starts unowned; an assignment keeps the target's owners.
    CCounted b(a);
    EXPECT_EQ(b.m_nRefCount, 0);
    b.m_nRefCount = 1;
    b = a;
    EXPECT_EQ(b.m_nRefCount, 1);
    EXPECT_EQ(a.m_nRefCount, 3);
}
