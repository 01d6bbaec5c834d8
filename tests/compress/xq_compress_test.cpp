// The container: header bytes, method dispatch, keep-or-fall-back, padding, logging, round trips.
#include "lib/XQ_COMPRESS/src/XQ_Compress.h"

#include "lib/XQ_COMPRESS/src/ErrorLog.h"
#include "lib/XQ_COMPRESS/src/Memory.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <random>

using namespace xq;
using namespace xqtest;

namespace {

const uint32_t ALL_METHODS[] = {METHOD_STORED, METHOD_LZSS,  METHOD_LZSS_REVERSED, METHOD_LZARI,
                                METHOD_RLE_1,  METHOD_RLE_2, METHOD_RLE_3,         METHOD_RLE_4};

unsigned Width(uint32_t method) {
    switch (method) {
    case METHOD_RLE_2: return 2;
    case METHOD_RLE_3: return 3;
    case METHOD_RLE_4: return 4;
    default: return 1;
    }
}

// The bytes WriteBlock puts in a file.
Bytes WriteToBytes(PackedBlock* block) {
    std::FILE* f = std::tmpfile();
    EXPECT_NE(f, nullptr);
    EXPECT_TRUE(WriteBlock(block, f));
    const long n = std::ftell(f);
    Bytes bytes(static_cast<size_t>(n));
    std::rewind(f);
    EXPECT_EQ(std::fread(bytes.data(), 1, bytes.size(), f), bytes.size());
    std::fclose(f);
    return bytes;
}

uint32_t Le32(const Bytes& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t(b[at + 3]) << 24;
}

// Packs, writes to a file image, reads the image back and unpacks into an exact-size
// destination; returns the unpacked bytes.
Bytes FileRoundTrip(const Bytes& input, uint32_t method) {
    PackedBlock* packed = CompressBlock(input.data(), uint32_t(input.size()), method);
    EXPECT_NE(packed, nullptr);
    Bytes image = WriteToBytes(packed);
    FreeBlock(packed);

    PackedBlock block;
    EXPECT_TRUE(ReadBlockHeader(image.data(), image.size(), &block));
    Bytes out(block.unpackedSize);
    block.unpackedData = out.data();
    DecompressBlock(&block);
    return out;
}

class ContainerTest : public ScratchDirTest {};

TEST_F(ContainerTest, FileImageHasTheHeaderByteForByte) {
    const Bytes song = MakeSongState(false);
    PackedBlock* block = CompressBlock(song.data(), uint32_t(song.size()), METHOD_LZSS);
    const Bytes image = WriteToBytes(block);

    ASSERT_EQ(image.size(), 32u + block->packedSize + block->padCount);
    EXPECT_EQ(0, std::memcmp(image.data(), "COMPV1.0", 8));
    EXPECT_EQ(image[8], 0);            // byte-order flag
    EXPECT_EQ(image[9], 0);            // no pad asked for
    EXPECT_EQ(Le32(image, 12), 2u);    // method word
    EXPECT_EQ(Le32(image, 16), 5916u); // unpacked size
    EXPECT_EQ(Le32(image, 20), block->packedSize);
    EXPECT_EQ(Le32(image, 24), 0u);
    EXPECT_EQ(Le32(image, 28), 0u);
    EXPECT_EQ(0, std::memcmp(image.data() + 32, block->packedData, block->packedSize));
    EXPECT_EQ(block->magic, BLOCK_MAGIC);
    FreeBlock(block);
}

TEST_F(ContainerTest, SongStateKeepsLzssWellBelowNinetyPercent) {
    for (bool busy : {false, true}) {
        const Bytes song = MakeSongState(busy);
        PackedBlock* block = CompressBlock(song.data(), uint32_t(song.size()), METHOD_LZSS);
        EXPECT_EQ(block->method, METHOD_LZSS);
        EXPECT_EQ(block->unpackedSize, 5916u);
        EXPECT_LT(block->packedSize, 5324u);
        EXPECT_EQ(block->unpackedData, nullptr);
        FreeBlock(block);
        EXPECT_EQ(FileRoundTrip(song, METHOD_LZSS), song);
    }
}

TEST_F(ContainerTest, DataThatDoesNotShrinkFallsBackToStored) {
    const Bytes noise = MakeData(Kind::Random, 4000);
    for (uint32_t method : ALL_METHODS) {
        PackedBlock* block = CompressBlock(noise.data(), uint32_t(noise.size()), method);
        EXPECT_EQ(block->method, METHOD_STORED) << method;
        ASSERT_EQ(block->packedSize, noise.size());
        EXPECT_EQ(0, std::memcmp(block->packedData, noise.data(), noise.size()));
        FreeBlock(block);
    }
}

TEST_F(ContainerTest, ExactlyNinetyPercentStaysPacked) {
    // Run-length, 1-byte elements: 15 different bytes then a run of 5 pack to 16 + 2 = 18 bytes
    // of 20 (exactly 90 %); 16 different bytes then a run of 4 pack to 17 + 2 = 19 bytes.
    Bytes input(20);
    for (int i = 0; i < 15; ++i) input[i] = uint8_t(i);
    std::fill(input.begin() + 15, input.end(), 0xEE);
    testing::internal::CaptureStdout();
    PackedBlock* kept = CompressBlock(input.data(), 20, METHOD_RLE_1);
    input[15] = 15;
    PackedBlock* stored = CompressBlock(input.data(), 20, METHOD_RLE_1);
    testing::internal::GetCapturedStdout();

    EXPECT_EQ(kept->method, METHOD_RLE_1);
    EXPECT_EQ(kept->packedSize, 18u);
    EXPECT_EQ(stored->method, METHOD_STORED);
    EXPECT_EQ(stored->packedSize, 20u);
    FreeBlock(kept);
    FreeBlock(stored);
}

TEST_F(ContainerTest, PadToFourAddsZeroBytesThatDecodingIgnores) {
    const Bytes thirteen(13, 0x5A);
    PackedBlock* block = CompressBlock(thirteen.data(), 13, METHOD_STORED | PAD_TO_4);
    EXPECT_EQ(block->method, METHOD_STORED); // the flag itself is not stored
    EXPECT_EQ(block->packedSize, 13u);
    EXPECT_EQ(block->padCount, 3);
    EXPECT_EQ(WriteToBytes(block).size(), 32u + 16u);
    EXPECT_EQ(Bytes(block->packedData + 13, block->packedData + 16), Bytes(3, 0));
    FreeBlock(block);

    const Bytes sixteen(16, 0x5A);
    block = CompressBlock(sixteen.data(), 16, METHOD_STORED | PAD_TO_4);
    EXPECT_EQ(block->padCount, 0);
    FreeBlock(block);

    // 5,916 zero bytes pack to 701 bytes: three bytes of pad, and the stream still decodes.
    const Bytes zeros(5916, 0);
    block = CompressBlock(zeros.data(), 5916, METHOD_LZSS | PAD_TO_4);
    EXPECT_EQ(block->method, METHOD_LZSS);
    EXPECT_EQ(block->packedSize, 701u);
    EXPECT_EQ(block->padCount, 3);
    FreeBlock(block);
    EXPECT_EQ(FileRoundTrip(zeros, METHOD_LZSS | PAD_TO_4), zeros);
}

TEST_F(ContainerTest, EmptyInputKeepsTheMethodWithNoPackedBytes) {
    for (uint32_t method : {METHOD_LZSS, METHOD_LZARI}) {
        PackedBlock* block = CompressBlock(nullptr, 0, method);
        EXPECT_EQ(block->method, method);
        EXPECT_EQ(block->packedSize, 0u);
        EXPECT_EQ(block->unpackedSize, 0u);
        DecompressBlock(block);
        EXPECT_NE(block->unpackedData, nullptr);
        FreeBlock(block);
    }
}

TEST_F(ContainerTest, UnsupportedMethodsAreLoggedAndGiveNoPackedBytes) {
    SetLogSwitch(1);
    const Bytes data(100, 7);
    const std::string compressLine =
        "ERROR : lib/XQ_COMPRESS/src/XQ_Compress AT LINE 134 : COMPRESS METHOD NOT SUPPORTED.\n";
    const std::string decompressLine =
        "ERROR : lib/XQ_COMPRESS/src/XQ_Compress AT LINE 252 : COMPRESS METHOD NOT SUPPORTED.\n";
    std::string expected;
    for (uint32_t method : {1u, 5u, 0x40000002u, 0x80000001u}) {
        PackedBlock* block = CompressBlock(data.data(), 100, method);
        EXPECT_EQ(block->method, method & ~PAD_TO_4);
        EXPECT_EQ(block->packedSize, 0u);
        EXPECT_EQ(block->padCount, 0);
        expected += compressLine;

        // Decoding reports the method too (bit 30 aside, which makes 0x40000002 an LZSS block
        // with nothing in it) and leaves the destination alone.
        Bytes dest(100, 0xAA);
        block->unpackedData = dest.data();
        block->magic = BLOCK_MAGIC;
        block->version = BLOCK_VERSION;
        DecompressBlock(block);
        EXPECT_EQ(dest, Bytes(100, 0xAA));
        if (method != 0x40000002u) expected += decompressLine;
        FreeUnpackedData(block);
        FreeBlock(block);
    }
    EXPECT_EQ(LogText(), expected);
}

TEST_F(ContainerTest, WrongMagicAndVersionAreLoggedAndDecodingGoesOn) {
    SetLogSwitch(1);
    const Bytes text = MakeData(Kind::Text, 3000);
    PackedBlock* block = CompressBlock(text.data(), 3000, METHOD_LZSS);
    DecompressBlock(block); // magic and version are stamped only by WriteBlock
    EXPECT_EQ(Bytes(block->unpackedData, block->unpackedData + 3000), text);
    FreeBlock(block);
    EXPECT_EQ(LogText(), "EXCEPTION : lib/XQ_COMPRESS/src/XQ_Compress AT LINE 203 : NOT THE RIGHT "
                         "MAGIC.\nEXCEPTION : lib/XQ_COMPRESS/src/XQ_Compress AT LINE 204 : NOT "
                         "THE RIGHT VERSION.\n");
}

TEST_F(ContainerTest, StoredDecodingCopiesOnlyWhatItMay) {
    Bytes packed = MakeData(Kind::Random, 64);
    PackedBlock block;
    block.magic = BLOCK_MAGIC;
    block.version = BLOCK_VERSION;
    block.method = METHOD_STORED | 0x80000000u;
    block.unpackedSize = 40;
    block.packedSize = 64;
    block.packedData = packed.data();
    Bytes dest(48, 0xCC);
    block.unpackedData = dest.data();
    DecompressBlock(&block);
    EXPECT_EQ(block.method, METHOD_STORED); // bit 31 cleared
    EXPECT_EQ(Bytes(dest.begin(), dest.begin() + 40), Bytes(packed.begin(), packed.begin() + 40));
    EXPECT_EQ(Bytes(dest.begin() + 40, dest.end()), Bytes(8, 0xCC));

    // Fewer packed bytes than the unpacked size: only those are copied.
    block.packedSize = 10;
    std::fill(dest.begin(), dest.end(), 0xCC);
    DecompressBlock(&block);
    EXPECT_EQ(Bytes(dest.begin(), dest.begin() + 10), Bytes(packed.begin(), packed.begin() + 10));
    EXPECT_EQ(Bytes(dest.begin() + 10, dest.end()), Bytes(38, 0xCC));
}

TEST_F(ContainerTest, FastDecodeHeaderGetsSlackAndTheSameBytes) {
    const Bytes text = MakeData(Kind::Text, 5000);
    PackedBlock* block = CompressBlock(text.data(), 5000, METHOD_LZSS);
    block->magic = BLOCK_MAGIC;
    block->version = BLOCK_VERSION;
    block->method = METHOD_LZSS | FAST_DECODE;
    DecompressBlock(block);
    ASSERT_TRUE(block->ownsUnpackedData);
    EXPECT_EQ(Bytes(block->unpackedData, block->unpackedData + 5000), text);
    // The 32 bytes of slack are there (the address sanitizer would object otherwise) and untouched.
    EXPECT_EQ(Bytes(block->unpackedData + 5000, block->unpackedData + 5032), Bytes(32, 0));
    FreeUnpackedData(block);
    EXPECT_EQ(block->unpackedData, nullptr);
    FreeBlock(block);
}

TEST_F(ContainerTest, ReadBlockHeaderRefusesImagesTooShortForTheirHeader) {
    const Bytes data = MakeData(Kind::Text, 500);
    PackedBlock* packed = CompressBlock(data.data(), 500, METHOD_LZSS);
    Bytes image = WriteToBytes(packed);
    FreeBlock(packed);

    PackedBlock block;
    block.unpackedSize = 12345;
    EXPECT_FALSE(ReadBlockHeader(image.data(), 31, &block));
    EXPECT_FALSE(ReadBlockHeader(image.data(), image.size() - 1, &block));
    EXPECT_EQ(block.unpackedSize, 12345u); // left unchanged
    ASSERT_TRUE(ReadBlockHeader(image.data(), image.size(), &block));
    EXPECT_EQ(block.unpackedSize, 500u);
    EXPECT_EQ(block.packedData, image.data() + 32);
}

TEST_F(ContainerTest, OutOfMemoryIsLoggedAndNeverLosesData) {
    SetLogSwitch(1);
    const Bytes data = MakeData(Kind::Periodic, 1000);
    const std::string source = "EXCEPTION : lib/XQ_COMPRESS/src/";

    FailAllocation(0); // the record
    EXPECT_EQ(CompressBlock(data.data(), 1000, METHOD_LZSS), nullptr);
    FailAllocation(2); // the buffer for the packed bytes: record, work buffer, then this
    EXPECT_EQ(CompressBlock(data.data(), 1000, METHOD_LZSS), nullptr);
    std::string expected = source + "XQ_Compress AT LINE 112 : NO MORE FREE MEM.\n" + source +
                           "XQ_Compress AT LINE 160 : NO MORE FREE MEM.\n";

    // A method's work buffers fail: the input is stored unchanged.
    const std::pair<int, uint32_t> cases[] = {
        {1, METHOD_LZSS}, {2, METHOD_LZSS_REVERSED}, {2, METHOD_RLE_1}, {3, METHOD_RLE_1}};
    for (const auto& [index, method] : cases) {
        FailAllocation(index);
        PackedBlock* block = CompressBlock(data.data(), 1000, method);
        ASSERT_NE(block, nullptr);
        EXPECT_EQ(block->method, METHOD_STORED);
        EXPECT_EQ(Bytes(block->packedData, block->packedData + block->packedSize), data);
        FreeBlock(block);
    }
    expected += source + "XQ_Compress AT LINE 121 : NO MORE FREE MEM.\n";
    expected += source + "XQ_Compress AT LINE 121 : NO MORE FREE MEM.\n";
    expected += source + "Rle AT LINE 61 : NO MORE FREE MEM.\n";
    expected += source + "Rle AT LINE 67 : NO MORE FREE MEM.\n";

    // No destination can be had: logged, and the block has none.
    PackedBlock* block = CompressBlock(data.data(), 1000, METHOD_LZSS);
    block->magic = BLOCK_MAGIC;
    block->version = BLOCK_VERSION;
    FailAllocation(0);
    DecompressBlock(block);
    EXPECT_EQ(block->unpackedData, nullptr);
    FreeBlock(block);
    expected += source + "XQ_Compress AT LINE 226 : NO MORE FREE MEM.\n";
    EXPECT_EQ(LogText(), expected);
}

// Arbitrary bytes, and real streams cut short, for every method word, into destinations of
// any size followed by a guard: nothing is written past the unpacked size, and the address
// sanitizer build catches any read past the packed bytes (each copy is exactly their size).
TEST_F(ContainerTest, DamagedPackedBytesStayInsideTheirBuffers) {
    const uint32_t words[] = {0,   2, 2 | FAST_DECODE, 3, 3 | FAST_DECODE, 4, 16, 32, 64,
                              128, 1, 0x80000002u};
    const Bytes song = MakeSongState(true);
    std::vector<Bytes> good;
    testing::internal::CaptureStdout();
    for (uint32_t word : words) {
        PackedBlock* block = CompressBlock(song.data(), uint32_t(song.size()), word & 0xFF);
        good.emplace_back(block->packedData, block->packedData + block->packedSize);
        FreeBlock(block);
    }
    testing::internal::GetCapturedStdout();

    std::mt19937 rng(99);
    for (int round = 0; round < 200; ++round) {
        for (size_t w = 0; w < std::size(words); ++w) {
            Bytes packed(good[w].begin(), good[w].begin() + rng() % (good[w].size() + 1));
            if (round % 2) {
                packed.resize(rng() % 300);
                for (auto& b : packed) b = static_cast<uint8_t>(rng() % 4 ? rng() : 0xFF);
            }
            PackedBlock block;
            block.magic = BLOCK_MAGIC;
            block.version = BLOCK_VERSION;
            block.method = words[w];
            block.packedSize = uint32_t(packed.size());
            block.packedData = packed.empty() ? nullptr : packed.data();
            block.unpackedSize = rng() % 7000;
            Bytes dest(block.unpackedSize + 16, 0xEE);
            block.unpackedData = dest.data();
            DecompressBlock(&block);
            ASSERT_EQ(Bytes(dest.end() - 16, dest.end()), Bytes(16, 0xEE)) << words[w];
        }
    }
}

// Every method round-trips every kind of data at every size, with several blocks in one run.
class MethodRoundTrip : public ScratchDirTest, public testing::WithParamInterface<uint32_t> {};

TEST_P(MethodRoundTrip, EveryKindAndSizeComesBackUnchanged) {
    const uint32_t method = GetParam();
    const unsigned w = Width(method);
    const bool lz =
        method == METHOD_LZSS || method == METHOD_LZSS_REVERSED || method == METHOD_LZARI;
    for (Kind kind : {Kind::Text, Kind::Zeros, Kind::Random, Kind::Periodic}) {
        for (size_t n : {size_t{0}, size_t{1}, size_t{100}, size_t{5916}, size_t{1} << 20}) {
            const Bytes input = MakeData(kind, n - n % w, uint32_t(n));
            testing::internal::CaptureStdout(); // the run-length statistics
            PackedBlock* block = CompressBlock(input.data(), uint32_t(input.size()), method);
            testing::internal::GetCapturedStdout();
            block->magic = BLOCK_MAGIC;
            block->version = BLOCK_VERSION;
            Bytes out(input.size());
            block->unpackedData = out.data();
            DecompressBlock(block);
            EXPECT_EQ(out, input) << KindName(kind) << " " << n;
            const bool shrinks = kind == Kind::Zeros || (lz && kind != Kind::Random);
            if (n >= 100 && method != METHOD_STORED && shrinks) {
                EXPECT_EQ(block->method, method) << KindName(kind) << " " << n;
            }
            FreeUnpackedData(block);
            FreeBlock(block);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(AllMethods, MethodRoundTrip, testing::ValuesIn(ALL_METHODS));

TEST_F(ContainerTest, InterleavedBlocksDoNotShareState) {
    const Bytes a = MakeData(Kind::Text, 7000, 1);
    const Bytes b = MakeData(Kind::Periodic, 9000, 2);
    for (uint32_t method : {METHOD_LZSS, METHOD_LZSS_REVERSED, METHOD_LZARI}) {
        PackedBlock* pa = CompressBlock(a.data(), uint32_t(a.size()), method);
        PackedBlock* pb = CompressBlock(b.data(), uint32_t(b.size()), method);
        PackedBlock* pa2 = CompressBlock(a.data(), uint32_t(a.size()), method);
        ASSERT_EQ(pa->packedSize, pa2->packedSize);
        EXPECT_EQ(0, std::memcmp(pa->packedData, pa2->packedData, pa->packedSize));
        for (PackedBlock* p : {pa, pb, pa2}) {
            p->magic = BLOCK_MAGIC;
            p->version = BLOCK_VERSION;
        }
        DecompressBlock(pb);
        DecompressBlock(pa);
        EXPECT_EQ(Bytes(pa->unpackedData, pa->unpackedData + a.size()), a);
        EXPECT_EQ(Bytes(pb->unpackedData, pb->unpackedData + b.size()), b);
        FreeBlock(pa);
        FreeBlock(pb);
        FreeBlock(pa2);
    }
}

TEST_F(ContainerTest, RunLengthSizeNotAMultipleOfTheWidthIsStoredWhole) {
    const Bytes zeros(1001, 0); // 1001 = 3 * 333 + 2
    for (uint32_t method : {METHOD_RLE_2, METHOD_RLE_3, METHOD_RLE_4}) {
        PackedBlock* block = CompressBlock(zeros.data(), 1001, method);
        EXPECT_EQ(block->method, METHOD_STORED);
        FreeBlock(block);
        EXPECT_EQ(FileRoundTrip(zeros, method), zeros);
    }
}

} // namespace
