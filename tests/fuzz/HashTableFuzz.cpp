// The hash table driven by random operations beside a std::map: any
// disagreement on counts, lookups or the walked content aborts.
#include "common/text/HashTableBounce.h"
#include "tests/fuzz/FuzzCheck.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <map>

namespace {

// Keys are small integers carried in the pointer; a poor hash makes long
// chains on purpose.
int nCompare(const void* a, const void* b) { return a == b ? 0 : 1; }
unsigned int dwHash(const void* p) { return static_cast<unsigned int>(reinterpret_cast<uintptr_t>(p)) % 5; }

void* Key(unsigned n) { return reinterpret_cast<void*>(static_cast<uintptr_t>(n) + 1); }
void* Value(unsigned n) { return reinterpret_cast<void*>(static_cast<uintptr_t>(n) * 16 + 8); }

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider in(data, size);
    CHashTableBounce tab(in.ConsumeIntegralInRange<unsigned>(0, 40));
    tab.SetCmp(nCompare);
    tab.SetHashVal(dwHash);
    std::map<unsigned, unsigned> ref;
    while (in.remaining_bytes() > 0) {
        const unsigned nOp = in.ConsumeIntegralInRange<unsigned>(0, 5);
        const unsigned k = in.ConsumeIntegralInRange<unsigned>(0, 200);
        switch (nOp) {
        case 0:
        case 1:
            // Added once: the table would file a second pair in front.
            if (ref.count(k) == 0) {
                FUZZ_CHECK(tab.bAddElement(Key(k), Value(k)));
                ref[k] = k;
            }
            break;
        case 2: {
            void* pValue = nullptr;
            void* pKey = nullptr;
            const bool bFound = tab.bDeleteElement(Key(k), &pValue, &pKey);
            FUZZ_CHECK(bFound == (ref.count(k) == 1));
            if (bFound) {
                FUZZ_CHECK(pValue == Value(k));
                FUZZ_CHECK(pKey == Key(k));
                ref.erase(k);
            }
            break;
        }
        case 3: {
            void* pValue = nullptr;
            const bool bFound = tab.bGetElement(Key(k), &pValue, nullptr);
            FUZZ_CHECK(bFound == (ref.count(k) == 1));
            if (bFound)
                FUZZ_CHECK(pValue == Value(k));
            break;
        }
        case 4: {
            // A whole walk meets every pair once.
            unsigned nPos = 0;
            void* pValue = nullptr;
            void* pKey = nullptr;
            std::map<unsigned, unsigned> seen;
            while (tab.bParseTable(&nPos, 0, &pValue, &pKey)) {
                const unsigned n = static_cast<unsigned>(reinterpret_cast<uintptr_t>(pKey)) - 1;
                FUZZ_CHECK(ref.count(n) == 1);
                FUZZ_CHECK(pValue == Value(n));
                FUZZ_CHECK(seen.count(n) == 0);
                seen[n] = n;
            }
            FUZZ_CHECK(seen.size() == ref.size());
            break;
        }
        default:
            if (k % 16 == 0) {
                tab.DeleteAll(k);
                ref.clear();
            } else {
                // A walk that removes the first k % 7 pairs it meets, then stops.
                unsigned nPos = 0;
                void* pValue = nullptr;
                void* pKey = nullptr;
                for (unsigned i = 0; i < k % 7 && tab.bParseTable(&nPos, 1, &pValue, &pKey); ++i) {
                    const unsigned n = static_cast<unsigned>(reinterpret_cast<uintptr_t>(pKey)) - 1;
                    FUZZ_CHECK(ref.erase(n) == 1);
                }
                tab.StopParsing();
            }
            break;
        }
        FUZZ_CHECK(tab.dwGetNumElement() == ref.size());
    }
    for (const auto& e : ref) {
        void* pValue = nullptr;
        FUZZ_CHECK(tab.bGetElement(Key(e.first), &pValue, nullptr));
        FUZZ_CHECK(pValue == Value(e.first));
    }
    return 0;
}
