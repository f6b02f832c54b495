#include "common/text/ZTAssert.h"

#if defined(ZT_CHECKED)

#include <cstdio>
#include <cstdlib>

void ZT_AssertFailed(const char* pszCondition, const char* pszFile, int nLine)
{
    std::fprintf(stderr, "%s:%d: invariant broken: %s\n", pszFile, nLine, pszCondition);
    std::abort();
}

#endif
