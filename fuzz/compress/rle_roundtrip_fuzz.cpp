// Run-length round trip for all four element widths. The first byte picks the width (bits 0-1)
// and padding (bit 2); the rest is the input, of any length (lengths that are not whole
// elements must come back too, stored).
#include "roundtrip.h"

#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The encoder's statistics lines would flood the fuzzer's output.
    static std::FILE* quiet = std::freopen("/dev/null", "w", stdout);
    (void)quiet;
    if (size == 0) return 0;
    static const uint32_t widths[] = {xq::METHOD_RLE_1, xq::METHOD_RLE_2, xq::METHOD_RLE_3,
                                      xq::METHOD_RLE_4};
    const uint32_t method = widths[data[0] & 3] | ((data[0] & 4) ? xq::PAD_TO_4 : 0);
    xqfuzz::RoundTrip(data + 1, size - 1, method, false);
    return 0;
}
