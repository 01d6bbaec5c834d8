// LZARI coding: known output, bounded output, and decoding of bad streams.
#include "lib/XQ_COMPRESS/src/Lzari.h"

#include "test_support.h"

#include <gtest/gtest.h>

using namespace xq;
using namespace xqtest;

namespace {

Bytes Encode(const Bytes& input) {
    Bytes out(input.size() * 2 + 64);
    uint32_t n = 0;
    EXPECT_TRUE(LzariEncode(input.data(), uint32_t(input.size()), out.data(), out.size(), &n));
    out.resize(n);
    return out;
}

Bytes Decode(const Bytes& packed, size_t size) {
    Bytes out(size);
    EXPECT_EQ(LzariDecode(packed.data(), uint32_t(packed.size()), out.data(), uint32_t(size)),
              size);
    return out;
}

TEST(Lzari, EmptyInputCodesToNothing) {
    EXPECT_TRUE(Encode(Bytes{}).empty());
    EXPECT_EQ(LzariDecode(nullptr, 0, nullptr, 0), 0u);
}

TEST(Lzari, OneLiteralAndOneFullMatchFor61EqualBytes) {
    // A literal 'x', then character 313 (a 60-byte match) at position code 0 (distance 1): with
    // fresh models these three symbols fit in four bytes.
    const Bytes input(61, 'x');
    const Bytes packed = Encode(input);
    EXPECT_EQ(packed, (Bytes{0x9D, 0x5A, 0x28, 0xC0}));
    EXPECT_EQ(Decode(packed, 61), input);
}

TEST(Lzari, RoundTripsShortAndWindowSizedInputs) {
    const Bytes text = MakeData(Kind::Text, 9000, 4);
    for (size_t n = 0; n < 130; n += 3) {
        const Bytes input(text.begin(), text.begin() + n);
        EXPECT_EQ(Decode(Encode(input), n), input) << n;
    }
    for (size_t n : {4035, 4036, 4096, 4155, 9000}) {
        const Bytes input(text.begin(), text.begin() + n);
        EXPECT_EQ(Decode(Encode(input), n), input) << n;
    }
}

TEST(Lzari, RefusesToRunPastItsCapacity) {
    const Bytes input = MakeData(Kind::Random, 2000);
    Bytes out(1100, 0xEE);
    uint32_t n = 0;
    EXPECT_FALSE(LzariEncode(input.data(), 2000, out.data(), 1000, &n));
    EXPECT_EQ(Bytes(out.begin() + 1000, out.end()), Bytes(100, 0xEE));
}

} // namespace
