#include "host/HostLifetime.h"

#include <atomic>

namespace {

struct STKept {
    void (*pfnFree)(void*);
    void* p;
};

// More than the stand-in's singletons; a further one would only stay.
constexpr int kMaxKept = 32;
STKept s_aKept[kMaxKept];
std::atomic<int> s_nKept{0};

// From the library's finalisers: after the process's static destructors
// at its end, and at dlclose.
__attribute__((destructor)) void FreeKept()
{
    int n = s_nKept.exchange(0);
    if (n > kMaxKept)
        n = kMaxKept;
    while (n-- > 0)
        s_aKept[n].pfnFree(s_aKept[n].p);
}

} // namespace

void HostFreeAtUnload(void (*pfnFree)(void*), void* p)
{
    if (p == nullptr)
        return;
    const int i = s_nKept.fetch_add(1);
    if (i < kMaxKept)
        s_aKept[i] = {pfnFree, p};
}
