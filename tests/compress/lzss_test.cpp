// LZSS coding: exact packed bytes, and the three decoders on good and bad streams.
#include "lib/XQ_COMPRESS/src/Lzss.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

using namespace xq;
using namespace xqtest;

namespace {

Bytes Encode(const Bytes& input) {
    Bytes out(input.size() * 2 + 16);
    uint32_t n = 0;
    EXPECT_TRUE(LzssEncode(input.data(), uint32_t(input.size()), out.data(), out.size(), &n));
    out.resize(n);
    return out;
}

Bytes Decode(const Bytes& packed, size_t size) {
    Bytes out(size);
    EXPECT_EQ(LzssDecode(packed.data(), uint32_t(packed.size()), out.data(), uint32_t(size)), size);
    return out;
}

Bytes Text(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

TEST(LzssEncode, GivesTheKnownPackedBytes) {
    EXPECT_EQ(Encode(Text("abc")), (Bytes{0x07, 0x61, 0x62, 0x63}));
    // A match of 18 at ring position 4060 against the initial spaces, then two literals.
    EXPECT_EQ(Encode(Bytes(20, 0x20)), (Bytes{0x06, 0xDC, 0xFF, 0x20, 0x20}));
    // A match at 4078 of length 12 that overlaps the bytes it produces.
    EXPECT_EQ(Encode(Text("abcabcabcabcabc")), (Bytes{0x07, 0x61, 0x62, 0x63, 0xEE, 0xF9}));
    EXPECT_EQ(Encode(Bytes(5916, 0)).size(), 701u);
    EXPECT_TRUE(Encode(Bytes{}).empty());
}

TEST(LzssEncode, KnownPackedBytesDecodeBack) {
    for (const Bytes& input : {Text("abc"), Bytes(20, 0x20), Text("abcabcabcabcabc"),
                               Bytes(5916, 0), MakeSongState(true)}) {
        EXPECT_EQ(Decode(Encode(input), input.size()), input);
    }
}

TEST(LzssEncode, RefusesToRunPastItsCapacity) {
    const Bytes input = MakeData(Kind::Random, 1000);
    Bytes out(600, 0xEE);
    uint32_t n = 0;
    EXPECT_FALSE(LzssEncode(input.data(), 1000, out.data(), 500, &n));
    EXPECT_EQ(Bytes(out.begin() + 500, out.end()), Bytes(100, 0xEE));
}

TEST(LzssEncode, RoundTripsEveryLengthAroundGroupAndWindowEdges) {
    const Bytes text = MakeData(Kind::Text, 9000, 3);
    for (size_t n = 0; n < 70; ++n) {
        const Bytes input(text.begin(), text.begin() + n);
        EXPECT_EQ(Decode(Encode(input), n), input) << n;
    }
    for (size_t n : {4095, 4096, 4097, 4113, 8191, 8192, 9000}) {
        const Bytes input(text.begin(), text.begin() + n);
        EXPECT_EQ(Decode(Encode(input), n), input) << n;
    }
}

TEST(LzssDecode, StopsCleanlyAtTheLastCompleteItem) {
    Bytes dest(10, 0xEE);
    // The flags announce three literals, two follow.
    EXPECT_EQ(LzssDecode(Bytes{0x07, 0x61, 0x62}.data(), 3, dest.data(), 10), 2u);
    EXPECT_EQ(Bytes(dest.begin(), dest.begin() + 3), (Bytes{0x61, 0x62, 0xEE}));
    // A literal, then half a match.
    EXPECT_EQ(LzssDecode(Bytes{0x01, 0x61, 0xDC}.data(), 3, dest.data(), 10), 1u);
    // Only a flag byte.
    EXPECT_EQ(LzssDecode(Bytes{0xFF}.data(), 1, dest.data(), 10), 0u);
    EXPECT_EQ(LzssDecode(nullptr, 0, dest.data(), 10), 0u);
}

TEST(LzssDecode, FastDecoderMatchesTheGuardedOneOnAnyBytes) {
    std::mt19937 rng(11);
    for (int round = 0; round < 500; ++round) {
        Bytes packed(rng() % 400);
        for (auto& b : packed) b = static_cast<uint8_t>(rng());
        if (round % 2) packed = Encode(MakeData(Kind::Text, rng() % 3000, round));
        const uint32_t size = rng() % 4000;
        Bytes guarded(size, 0x11);
        Bytes fast(size, 0x11);
        const uint32_t a = LzssDecode(packed.data(), uint32_t(packed.size()), guarded.data(), size);
        const uint32_t b =
            LzssDecodeFast(packed.data(), uint32_t(packed.size()), fast.data(), size);
        EXPECT_EQ(a, b);
        EXPECT_EQ(guarded, fast);
    }
}

TEST(LzssDecode, ReversedDecoderFillsFromTheEnd) {
    const Bytes input = MakeData(Kind::Text, 6000);
    const Bytes reversedInput(input.rbegin(), input.rend());
    const Bytes packed = Encode(reversedInput);
    Bytes dest(6000);
    EXPECT_EQ(LzssDecodeReversed(packed.data(), uint32_t(packed.size()), dest.data(), 6000), 6000u);
    EXPECT_EQ(dest, input);

    // A short destination receives the first decoded bytes at its end.
    Bytes shortDest(4);
    LzssDecodeReversed(Bytes{0x07, 0x61, 0x62, 0x63}.data(), 4, shortDest.data(), 2);
    EXPECT_EQ(Bytes(shortDest.begin(), shortDest.begin() + 2), (Bytes{0x62, 0x61}));
}

TEST(LzssDecode, RingStartsTheSameOnEveryCall) {
    // Matches into the part of the ring no byte has reached yet: spaces below 4078, zeros above.
    const Bytes probe{0x00, 0x00, 0x00, 0xFA, 0xF0, 0xFA, 0xF0};
    auto decode = [&] {
        Bytes out(9);
        LzssDecode(probe.data(), uint32_t(probe.size()), out.data(), 9);
        return out;
    };
    const Bytes first = decode();
    EXPECT_EQ(first, (Bytes{0x20, 0x20, 0x20, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}));
    Decode(Encode(MakeData(Kind::Random, 5000)), 5000); // leave other bytes in any work area
    EXPECT_EQ(decode(), first);
}

} // namespace
