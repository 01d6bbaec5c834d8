// Run-length coding: the item format, the encoder's item limits, statistics and bad streams.
#include "lib/XQ_COMPRESS/src/Rle.h"

#include "lib/XQ_COMPRESS/src/XQ_Compress.h"
#include "test_support.h"

#include <gtest/gtest.h>

using namespace xq;
using namespace xqtest;

namespace {

Bytes Encode(const Bytes& input, unsigned width) {
    Bytes out(input.size() * 2 + 16);
    uint32_t n = 0;
    EXPECT_TRUE(RleEncode(input.data(), uint32_t(input.size()), width, out.data(), out.size(), &n));
    out.resize(n);
    return out;
}

Bytes Decode(const Bytes& packed, size_t size, unsigned width) {
    Bytes out(size, 0xEE);
    RleDecode(packed.data(), uint32_t(packed.size()), out.data(), uint32_t(size), width);
    return out;
}

// Element counts of the items in a packed stream.
std::vector<int> ItemSizes(const Bytes& packed, unsigned width) {
    std::vector<int> sizes;
    for (size_t i = 0; i < packed.size();) {
        const int n = (packed[i] & 0x7F) + 1;
        sizes.push_back(packed[i] & 0x80 ? -n : n); // repeats negative
        i += 1 + (packed[i] & 0x80 ? width : n * width);
    }
    return sizes;
}

TEST(RleDecode, ReadsRepeatAndLiteralItems) {
    EXPECT_EQ(Decode({0x83, 0x41}, 4, 1), Bytes(4, 0x41));
    EXPECT_EQ(Decode({0x01, 0x11, 0x22, 0x33, 0x44}, 4, 2), (Bytes{0x11, 0x22, 0x33, 0x44}));
    EXPECT_EQ(Decode({0xFF, 0x07}, 128, 1), Bytes(128, 0x07));
    Bytes literal{0x7F};
    for (int i = 0; i < 128 * 3; ++i) literal.push_back(uint8_t(i));
    EXPECT_EQ(Decode(literal, 384, 3), Bytes(literal.begin() + 1, literal.end()));
}

TEST(RleDecode, StopsAtTheEndOfEitherBuffer) {
    // A repeat of 128 into room for 10 elements; a literal of 4 elements of which 2 follow.
    EXPECT_EQ(RleDecode(Bytes{0xFF, 0x07}.data(), 2, Bytes(10).data(), 10, 1), 10u);
    Bytes dest(8, 0xEE);
    EXPECT_EQ(RleDecode(Bytes{0x03, 1, 2, 3, 4, 5}.data(), 6, dest.data(), 8, 2), 4u);
    EXPECT_EQ(dest, (Bytes{1, 2, 3, 4, 0xEE, 0xEE, 0xEE, 0xEE}));
    // A repeat whose element is cut short, and a destination that is not a whole element.
    EXPECT_EQ(RleDecode(Bytes{0x80, 1, 2, 3}.data(), 4, dest.data(), 8, 4), 0u);
    EXPECT_EQ(RleDecode(Bytes{0x80, 1, 2, 3, 4}.data(), 5, dest.data(), 7, 4), 4u);
    EXPECT_EQ(dest[4], 0xEE);
}

TEST(RleEncode, ItemsCarryAtMost128Elements) {
    for (unsigned width = 1; width <= 4; ++width) {
        Bytes input(300 * width, 0x42);                            // a run of 300
        for (int i = 0; i < 300; ++i) input.push_back(uint8_t(i)); // 300 / width different
        input.resize(input.size() - input.size() % width);
        const Bytes packed = Encode(input, width);
        EXPECT_EQ(Decode(packed, input.size(), width), input) << width;
        for (int n : ItemSizes(packed, width)) {
            EXPECT_LE(std::abs(n), 128) << width;
            EXPECT_NE(n, 0);
        }
        const std::vector<int> sizes = ItemSizes(packed, width);
        EXPECT_EQ(std::vector<int>(sizes.begin(), sizes.begin() + 3),
                  (std::vector<int>{-128, -128, -44}));
    }
}

TEST(RleEncode, ARepeatTakesTheLastElementOfTheOpenLiteral) {
    EXPECT_EQ(Encode({1, 2, 3, 3, 3, 4}, 1), (Bytes{0x01, 1, 2, 0x82, 3, 0x00, 4}));
    EXPECT_EQ(Encode({9}, 1), (Bytes{0x00, 9}));
    EXPECT_TRUE(Encode({}, 2).empty());
}

TEST(RleEncode, RefusesSizesThatAreNotWholeElements) {
    Bytes out(64);
    uint32_t n = 0;
    EXPECT_FALSE(RleEncode(Bytes(7).data(), 7, 2, out.data(), out.size(), &n));
    EXPECT_FALSE(RleEncode(Bytes(9).data(), 9, 4, out.data(), out.size(), &n));
    EXPECT_FALSE(RleEncode(Bytes(8).data(), 8, 4, out.data(), 1, &n)); // no room for an item
}

TEST(RleStatistics, ThreeLinesOnStandardOutput) {
    testing::internal::CaptureStdout();
    PrintRleStatistics(100, 25);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "In : 100 bytes\nOut: 25 bytes\nOut/In: 0.250\n");

    // Through the container: 100 equal bytes make one repeat item of 2 bytes.
    const Bytes input(100, 3);
    testing::internal::CaptureStdout();
    PackedBlock* block = CompressBlock(input.data(), 100, METHOD_RLE_1);
    std::fflush(stdout);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "In : 100 bytes\nOut: 2 bytes\nOut/In: 0.020\n");
    EXPECT_EQ(block->packedSize, 2u);
    FreeBlock(block);
}

} // namespace
