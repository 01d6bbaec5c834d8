// LZARI round trip. The first byte picks padding (bit 0); the rest is the input.
#include "roundtrip.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const uint32_t method = xq::METHOD_LZARI | ((data[0] & 1) ? xq::PAD_TO_4 : 0);
    xqfuzz::RoundTrip(data + 1, size - 1, method, false);
    return 0;
}
