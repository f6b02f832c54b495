// Invariant checks for the sanitized and fuzz builds: a broken invariant
// names itself and aborts there. In the product ZT_ASSERT compiles to
// nothing (the host's process is never aborted) and its condition is not
// evaluated.
#pragma once

#if defined(ZT_CHECKED)
[[noreturn]] void ZT_AssertFailed(const char* pszCondition, const char* pszFile, int nLine);
#define ZT_ASSERT(cond) ((cond) ? static_cast<void>(0) : ZT_AssertFailed(#cond, __FILE__, __LINE__))
#else
#define ZT_ASSERT(cond) static_cast<void>(0)
#endif
