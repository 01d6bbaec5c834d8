// The song file: its layout, round trips, the tempo rule, and files that must be refused with
// the song left as it was.
#include "files/song_file.h"

#include "lib/XQ_COMPRESS/src/XQ_Compress.h"
#include "platform/fake_platform.h"
#include "song/sequencer.h"
#include "song/song_model.h"
#include "sound/instrument_bank.h"

#include <gtest/gtest.h>

#include "tests/files/file_test_support.h"

#include <cstring>
#include <random>

namespace {

class SongFile : public ::testing::Test {
  protected:
    void SetUp() override {
        SetPlatform(&fake);
        ResetSong();
        InitSoundBank();
    }
    void TearDown() override { SetPlatform(nullptr); }
    std::vector<uint8_t> State() {
        std::vector<uint8_t> s(SONG_STATE_SIZE);
        EncodeSongState(s.data());
        return s;
    }
    // A song with something in every part of the state.
    void MakeBusySong() {
        tempo = 15;
        song_size = 60;
        song_loop = 0;
        for (int t = 0; t < TRACK_COUNT; ++t)
            for (int r = 0; r < TRACK_ROWS; r += 3)
                SetCell(t, r,
                        Cell{static_cast<uint8_t>(r % 16), static_cast<uint8_t>(1 + (t + r) % 78)});
        for (int p = 0; p < POSITION_COUNT; ++p)
            for (int c = 0; c < CHANNEL_COUNT; ++c) song_positions[p][c] = (p + c) % 32;
        SoundBank[5].soundType = 3;
        std::strcpy(SoundBank[5].name, "snare");
        SoundBank[5].reserved84 = 1234;
    }
    FakePlatform fake;
    ScratchFolder folder;
};

TEST_F(SongFile, SavedFileHasHeaderAndOnePackedBlock) {
    const std::string path = folder.Path("empty.son");
    ASSERT_EQ(WriteSongFile(path), SongFileResult::Done);
    const std::vector<uint8_t> bytes = ReadAll(path);
    ASSERT_GT(bytes.size(), 36u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 8), std::string("TVS\x01"
                                                                         "COMP",
                                                                         8));
    EXPECT_EQ(std::string(bytes.begin() + 8, bytes.begin() + 12), "V1.0");
    xq::PackedBlock block;
    std::vector<uint8_t> rest(bytes.begin() + 4, bytes.end());
    ASSERT_TRUE(xq::ReadBlockHeader(rest.data(), rest.size(), &block));
    EXPECT_EQ(block.unpackedSize, SONG_STATE_SIZE);
    EXPECT_EQ(block.method, xq::METHOD_LZSS);
    EXPECT_EQ(bytes.size(), 4 + 32 + block.packedSize);
    EXPECT_EQ(block.padCount, 0);
    EXPECT_STREQ(song_name, path.c_str());
    EXPECT_EQ(warmup_ticks.load(), 5);
}

TEST_F(SongFile, SaveAndLoadRestoreTheWholeState) {
    MakeBusySong();
    const std::vector<uint8_t> saved = State();
    const std::string path = folder.Path("busy.son");
    ASSERT_EQ(WriteSongFile(path), SongFileResult::Done);
    EXPECT_EQ(ReadAll(path)[2], 'X');

    ResetSong();
    InitSoundBank();
    song_positions[55][0] = 9; // positions past 49 are not in the file and stay as they are
    warmup_ticks = 10;
    ASSERT_EQ(LoadSongFile(path), SongFileResult::Done);
    EXPECT_EQ(State(), saved);
    EXPECT_EQ(song_loop.load(), 0);
    EXPECT_EQ(song_size.load(), 60);
    EXPECT_EQ(song_positions[49][3].load(), (49 + 3) % 32);
    EXPECT_EQ(song_positions[55][0].load(), 9);
    EXPECT_STREQ(SoundBank[5].name, "snare");
    EXPECT_EQ(SoundBank[5].reserved84, 1234);
    EXPECT_EQ(warmup_ticks.load(), 5);
}

TEST_F(SongFile, UnpackedFormLoadsTheSameState) {
    MakeBusySong();
    const std::vector<uint8_t> saved = State();
    std::vector<uint8_t> file = {'T', 'V', 'S', 0};
    file.insert(file.end(), saved.begin(), saved.end());
    const std::string path = folder.Path("plain.son");
    WriteAll(path, file);
    ResetSong();
    song_loop = 0;
    ASSERT_EQ(LoadSongFile(path), SongFileResult::Done);
    EXPECT_EQ(State(), saved);
    EXPECT_EQ(song_loop.load(), 1);
    // Any third byte other than "S" means no loop.
    file[2] = 's';
    WriteAll(path, file);
    ASSERT_EQ(LoadSongFile(path), SongFileResult::Done);
    EXPECT_EQ(song_loop.load(), 0);
}

TEST_F(SongFile, TempoKeepsOnlyTheValuesTheControlOffers) {
    const int kept[] = {1, 2, 3, 4, 5, 6, 7, 8, 10, 12, 15, 20, 30, 60};
    for (int t : kept) EXPECT_EQ(NormaliseTempo(t), t);
    EXPECT_EQ(NormaliseTempo(9), 10);
    EXPECT_EQ(NormaliseTempo(11), 12);
    EXPECT_EQ(NormaliseTempo(14), 15);
    EXPECT_EQ(NormaliseTempo(16), 20);
    EXPECT_EQ(NormaliseTempo(19), 20);
    EXPECT_EQ(NormaliseTempo(21), 30);
    EXPECT_EQ(NormaliseTempo(29), 30);
    EXPECT_EQ(NormaliseTempo(31), 60);
    EXPECT_EQ(NormaliseTempo(59), 60);
}

TEST_F(SongFile, RefusedFilesLeaveTheSongAsItWas) {
    MakeBusySong();
    std::strcpy(song_name, "before.son");
    const std::vector<uint8_t> before = State();
    const std::string good = folder.Path("good.son");
    ASSERT_EQ(WriteSongFile(good), SongFileResult::Done);
    std::strcpy(song_name, "before.son");
    const std::vector<uint8_t> file = ReadAll(good);

    auto plainFile = [&](const std::vector<uint8_t>& state) {
        std::vector<uint8_t> f = {'T', 'V', 'S', 0};
        f.insert(f.end(), state.begin(), state.end());
        return f;
    };
    auto withInt = [&](size_t at, int32_t v) {
        std::vector<uint8_t> s = before;
        std::memcpy(s.data() + at, &v, 4); // little-endian host
        return plainFile(s);
    };
    std::vector<uint8_t> badTrack = before;
    badTrack[SONG_STATE_POSITIONS + 2] = 32;
    std::vector<uint8_t> shortPlain = plainFile(before);
    shortPlain.pop_back();
    std::vector<uint8_t> badMagic = file;
    badMagic[4] = 'X';
    std::vector<uint8_t> bigger = file;
    bigger[4 + 16] = 0x1D; // unpacked size 5917
    bigger[4 + 17] = 0x17;

    const struct {
        const char* what;
        std::vector<uint8_t> bytes;
        SongFileResult result;
    } cases[] = {
        {"other magic", {'X', 'V', 'S', 1}, SongFileResult::NotASongFile},
        {"empty", {}, SongFileResult::NotASongFile},
        {"header only", {'T', 'V', 'S', 1}, SongFileResult::Damaged},
        {"no block", plainFile({1, 2, 3}), SongFileResult::Damaged},
        {"packed cut short", std::vector<uint8_t>(file.begin(), file.end() - 10),
         SongFileResult::Damaged},
        {"unpacked cut short", shortPlain, SongFileResult::Damaged},
        {"block magic", badMagic, SongFileResult::Damaged},
        {"unpacked size", bigger, SongFileResult::Damaged},
        {"tempo 0", withInt(0, 0), SongFileResult::Damaged},
        {"tempo 61", withInt(0, 61), SongFileResult::Damaged},
        {"size 65", withInt(4, 64), SongFileResult::Damaged},
        {"size 0", withInt(4, -1), SongFileResult::Damaged},
        {"track 32", plainFile(badTrack), SongFileResult::Damaged},
    };
    for (const auto& c : cases) {
        const std::string path = folder.Path("bad.son");
        WriteAll(path, c.bytes);
        song_loop = 0;
        EXPECT_EQ(LoadSongFile(path), c.result) << c.what;
        EXPECT_EQ(State(), before) << c.what;
        EXPECT_EQ(song_loop.load(), 0) << c.what;
        EXPECT_STREQ(song_name, "before.son") << c.what;
    }
    EXPECT_EQ(LoadSongFile(folder.Path("missing.son")), SongFileResult::CannotOpen);
    EXPECT_EQ(State(), before);
}

TEST_F(SongFile, CorruptedPackedBytesNeverEscapeTheirBuffers) {
    MakeBusySong();
    const std::string good = folder.Path("good.son");
    ASSERT_EQ(WriteSongFile(good), SongFileResult::Done);
    const std::vector<uint8_t> file = ReadAll(good);
    std::mt19937 rng(7);
    const std::string path = folder.Path("noisy.son");
    for (int round = 0; round < 300; ++round) {
        std::vector<uint8_t> bytes = file;
        const int flips = 1 + static_cast<int>(rng() % 8);
        for (int i = 0; i < flips; ++i) bytes[4 + rng() % (bytes.size() - 4)] ^= 1 << (rng() % 8);
        if (rng() % 4 == 0) bytes.resize(4 + rng() % (bytes.size() - 4));
        WriteAll(path, bytes);
        const SongFileResult r = LoadSongFile(path);
        EXPECT_TRUE(r == SongFileResult::Done || r == SongFileResult::Damaged);
        for (int p = 0; p < STORED_POSITION_COUNT; ++p)
            for (int c = 0; c < CHANNEL_COUNT; ++c)
                ASSERT_TRUE(TrackAt(p, c) >= 0 && TrackAt(p, c) < TRACK_COUNT);
        ASSERT_TRUE(song_size >= 1 && song_size <= 64);
    }
}

TEST_F(SongFile, FailedSaveKeepsTheEarlierFileAndName) {
    std::strcpy(song_name, "Noname");
    EXPECT_EQ(WriteSongFile(folder.Path("no/such/folder/x.son")), SongFileResult::WriteFailed);
    EXPECT_STREQ(song_name, "Noname");
    EXPECT_EQ(warmup_ticks.load(), 5);
    // A folder in the way of the file: the rename fails and nothing is left behind.
    std::filesystem::create_directories(folder.Path("taken.son"));
    EXPECT_EQ(WriteSongFile(folder.Path("taken.son")), SongFileResult::WriteFailed);
    EXPECT_FALSE(std::filesystem::exists(folder.Path("taken.son.saving")));
}

// The dialogs open in the working folder ("") until the song has a file, then in its folder.
TEST_F(SongFile, DialogsHaveTheirTitlesAndFilterAndOpenInTheSongsFolder) {
    warmup_ticks = 10;
    EXPECT_EQ(SaveSong(), SongFileResult::Cancelled);
    EXPECT_EQ(warmup_ticks.load(), 5);
    fake.dialogPaths = {folder.Path("a.son")};
    EXPECT_EQ(SaveSong(), SongFileResult::Done);
    fake.dialogPaths = {folder.Path("a.son")};
    EXPECT_EQ(LoadSong(), SongFileResult::Done);
    std::strcpy(song_name, "b.son"); // a bare name, as from the command line
    EXPECT_EQ(LoadSong(), SongFileResult::Cancelled);
    const std::string dir = folder.dir.string();
    EXPECT_EQ(fake.dialogs,
              (std::vector<std::string>{"save|Song Saver|.SON Song file (*.SON)|*.son|",
                                        "save|Song Saver|.SON Song file (*.SON)|*.son|",
                                        "open|Song Loader|.SON Song file (*.SON)|*.son|" + dir,
                                        "open|Song Loader|.SON Song file (*.SON)|*.son|"}));
}

} // namespace
