// The resource unpacker on arbitrary packed bytes and output sizes: a known
// status, the output terminated within its size.
#include "common/platform/DataCompressor.h"
#include "tests/fuzz/FuzzCheck.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider in(data, size);
    const int nOut = in.ConsumeIntegralInRange<int>(0, 300);
    const std::vector<unsigned char> packed = in.ConsumeRemainingBytes<unsigned char>();
    std::vector<unsigned char> out(static_cast<size_t>(nOut) + 1, 0xAA);
    int cb = nOut;
    CDataCompressor clUnpacker;
    const int nStatus = clUnpacker.nDeCompress(out.data(), &cb, packed.data(), static_cast<int>(packed.size()));
    FUZZ_CHECK(nStatus == CDataCompressor::DC_OK || nStatus == CDataCompressor::DC_TRONQUE ||
               nStatus == CDataCompressor::DC_CORROMPU || nStatus == CDataCompressor::DC_ECHAPPEMENT);
    FUZZ_CHECK(cb >= 0);
    if (nOut > 0) {
        // Terminated within the size given.
        bool bTerminated = false;
        for (int i = 0; i < nOut && !bTerminated; ++i)
            bTerminated = out[static_cast<size_t>(i)] == 0;
        FUZZ_CHECK(bTerminated);
    }
    FUZZ_CHECK(out[static_cast<size_t>(nOut)] == 0xAA);
    return 0;
}
