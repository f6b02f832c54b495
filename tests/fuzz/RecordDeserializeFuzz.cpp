// The record buffer's Deserialize on arbitrary bytes: an inconsistent form
// leaves the record as it was; a taken form serialises back to the same bytes.
#include "access/statement/NAKXRecord.h"
#include "tests/fuzz/FuzzCheck.h"

#include <cstdint>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CNAKXRecord* p = new CNAKXRecord;
    p->AddRef();
    // A first form, then the fuzzer's bytes over it.
    const unsigned char abyFirst[12 + 3] = {3, 0, 0, 0, 2, 0, 0, 0, 1, 0, 0, 0, 0x03, 7, 8};
    p->Deserialize(abyFirst, sizeof(abyFirst));
    FUZZ_CHECK(p->nGetBufferSize() == 3);
    p->Deserialize(data, static_cast<unsigned int>(size));
    const unsigned nBuffer = p->nGetBufferSize();
    std::vector<unsigned char> out(p->nGetSerializeSize());
    p->Serialize(out.data(), static_cast<unsigned int>(out.size()));
    if (nBuffer == 3 && std::memcmp(out.data(), abyFirst, sizeof(abyFirst)) == 0) {
        // Kept: the former form (or the same form again).
    } else {
        // Taken: the serialised form is the input's.
        FUZZ_CHECK(out.size() <= size);
        FUZZ_CHECK(std::memcmp(out.data(), data, out.size()) == 0);
        FUZZ_CHECK(p->nGetFlagFieldSize() <= nBuffer);
    }
    p->nRelease();
    return 0;
}
