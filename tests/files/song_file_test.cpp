// The song file: its layout, round trips, the tempo rule, and files that must be refused with
// the song left as it was.
#include "files/song_file.h"

#include "files/file_io.h"
#include "lib/XQ_COMPRESS/src/XQ_Compress.h"
#include "platform/fake_platform.h"
#include "song/sequencer.h"
#include "song/song_model.h"
#include "sound/instrument_bank.h"

#include <gtest/gtest.h>

#include "tests/files/file_test_support.h"

#include <csignal>
#include <cstring>
#include <random>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {

class SongFile : public ::testing::Test {
  protected:
    void SetUp() override {
        InstallFake(&fake);
        ResetSong();
        InitSoundBank();
    }
    void TearDown() override { InstallFake(nullptr); }
    std::vector<uint8_t> State() {
        std::vector<uint8_t> s(SONG_STATE_SIZE);
        EncodeSongState(s.data());
        return s;
    }
    // A song with something in every part of the state.
    void MakeBusySong() {
        song.tempo = 15;
        song.song_size = 60;
        song.song_loop = 0;
        for (int t = 0; t < TRACK_COUNT; ++t)
            for (int r = 0; r < TRACK_ROWS; r += 3)
                SetCell(t, r,
                        Cell{static_cast<uint8_t>(r % 16), static_cast<uint8_t>(1 + (t + r) % 78)});
        for (int p = 0; p < POSITION_COUNT; ++p)
            for (int c = 0; c < CHANNEL_COUNT; ++c) song.song_positions[p][c] = (p + c) % 32;
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
    EXPECT_STREQ(song.song_name, path.c_str());
    EXPECT_EQ(play.warmup_ticks.load(), 5);
}

TEST_F(SongFile, SaveAndLoadRestoreTheWholeState) {
    MakeBusySong();
    const std::vector<uint8_t> saved = State();
    const std::string path = folder.Path("busy.son");
    ASSERT_EQ(WriteSongFile(path), SongFileResult::Done);
    EXPECT_EQ(ReadAll(path)[2], 'X');

    ResetSong();
    InitSoundBank();
    song.song_positions[55][0] = 9; // positions past 49 are not in the file and stay as they are
    play.warmup_ticks = 10;
    ASSERT_EQ(LoadSongFile(path), SongFileResult::Done);
    EXPECT_EQ(State(), saved);
    EXPECT_EQ(song.song_loop.load(), 0);
    EXPECT_EQ(song.song_size.load(), 60);
    EXPECT_EQ(song.song_positions[49][3].load(), (49 + 3) % 32);
    EXPECT_EQ(song.song_positions[55][0].load(), 9);
    EXPECT_STREQ(SoundBank[5].name, "snare");
    EXPECT_EQ(SoundBank[5].reserved84, 1234);
    EXPECT_EQ(play.warmup_ticks.load(), 5);
}

TEST_F(SongFile, UnpackedFormLoadsTheSameState) {
    MakeBusySong();
    const std::vector<uint8_t> saved = State();
    std::vector<uint8_t> file = {'T', 'V', 'S', 0};
    file.insert(file.end(), saved.begin(), saved.end());
    const std::string path = folder.Path("plain.son");
    WriteAll(path, file);
    ResetSong();
    song.song_loop = 0;
    ASSERT_EQ(LoadSongFile(path), SongFileResult::Done);
    EXPECT_EQ(State(), saved);
    EXPECT_EQ(song.song_loop.load(), 1);
    // Any third byte other than "S" means no loop.
    file[2] = 's';
    WriteAll(path, file);
    ASSERT_EQ(LoadSongFile(path), SongFileResult::Done);
    EXPECT_EQ(song.song_loop.load(), 0);
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
    std::strcpy(song.song_name, "before.son");
    const std::vector<uint8_t> before = State();
    const std::string good = folder.Path("good.son");
    ASSERT_EQ(WriteSongFile(good), SongFileResult::Done);
    std::strcpy(song.song_name, "before.son");
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
    // The packed bytes cut, or lengthened with 0xFF bytes, to n, the block's header saying so.
    ASSERT_EQ(GetI32(&file[4 + 12]), int32_t{xq::METHOD_LZSS});
    const int32_t packedSize = GetI32(&file[4 + 20]);
    auto withPackedSize = [&](int32_t n) {
        std::vector<uint8_t> f = file;
        f.resize(SONG_FILE_HEADER_SIZE + xq::BLOCK_HEADER_SIZE + static_cast<size_t>(n), 0xFF);
        PutI32(&f[4 + 20], n);
        return f;
    };

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
        {"packed stream ends early", withPackedSize(packedSize / 2), SongFileResult::Damaged},
        {"packed stream runs on", withPackedSize(packedSize + 3), SongFileResult::Damaged},
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
        song.song_loop = 0;
        EXPECT_EQ(LoadSongFile(path), c.result) << c.what;
        EXPECT_EQ(State(), before) << c.what;
        EXPECT_EQ(song.song_loop.load(), 0) << c.what;
        EXPECT_STREQ(song.song_name, "before.son") << c.what;
    }
    EXPECT_EQ(LoadSongFile(folder.Path("missing.son")), SongFileResult::CannotOpen);
    // A pipe is refused at once, without waiting for a writer.
    ASSERT_EQ(mkfifo(folder.Path("pipe.son").c_str(), 0600), 0);
    EXPECT_EQ(LoadSongFile(folder.Path("pipe.son")), SongFileResult::CannotOpen);
    EXPECT_EQ(State(), before);
    EXPECT_STREQ(song.song_name, "before.son");
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
        ASSERT_TRUE(song.song_size >= 1 && song.song_size <= 64);
    }
}

TEST_F(SongFile, FailedSaveKeepsTheEarlierFileAndName) {
    std::strcpy(song.song_name, "Noname");
    EXPECT_EQ(WriteSongFile(folder.Path("no/such/folder/x.son")), SongFileResult::WriteFailed);
    EXPECT_STREQ(song.song_name, "Noname");
    EXPECT_EQ(play.warmup_ticks.load(), 5);
    // A folder or a pipe at the name is refused and left as it was.
    std::filesystem::create_directories(folder.Path("taken.son"));
    EXPECT_EQ(WriteSongFile(folder.Path("taken.son")), SongFileResult::NotRegularFile);
    EXPECT_TRUE(std::filesystem::is_empty(folder.Path("taken.son")));
    ASSERT_EQ(mkfifo(folder.Path("pipe.son").c_str(), 0600), 0);
    EXPECT_EQ(WriteSongFile(folder.Path("pipe.son")), SongFileResult::NotRegularFile);
    EXPECT_TRUE(std::filesystem::is_fifo(folder.Path("pipe.son")));

    // A write that fails half-way (past the file size limit) keeps the old file.
    const std::string old = folder.Path("old.son");
    WriteAll(old, {1, 2, 3});
    rlimit limit;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &limit), 0);
    const rlimit tiny = {10, limit.rlim_max};
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tiny), 0);
    const SongFileResult cut = WriteSongFile(old);
    setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, previous);
    EXPECT_EQ(cut, SongFileResult::WriteFailed);
    EXPECT_EQ(ReadAll(old), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_STREQ(song.song_name, "Noname");
    // No temporary file is left by any of them.
    EXPECT_EQ(FolderNames(folder.dir),
              (std::vector<std::string>{"old.son", "pipe.son", "taken.son"}));
}

// A save through a chain of links replaces the file at its end with that file's permissions and
// keeps the links; a link at a name the old saves used is never followed; a temporary file that
// a killed save left behind is cleared once it is old.
TEST_F(SongFile, SaveReplacesOnlyTheFileAtTheEndOfItsLinks) {
    namespace fs = std::filesystem;
    const mode_t mask = umask(027);
    const std::string real = folder.Path("real.son"), victim = folder.Path("victim");
    WriteAll(real, {1, 2, 3});
    fs::permissions(real, fs::perms(0660));
    WriteAll(victim, {4, 5, 6});
    fs::create_directories(folder.Path("sub"));
    fs::create_symlink("sub/link.son", folder.Path("a.son"));
    fs::create_symlink("../real.son", folder.Path("sub/link.son"));
    fs::create_symlink(victim, folder.Path("a.son.saving"));
    fs::create_symlink(victim, folder.Path("real.son.saving"));
    const std::string stale = std::string(".real.son.0123abcd") + TEMPORARY_FILE_SUFFIX;
    const std::string fresh = std::string(".real.son.89abcdef") + TEMPORARY_FILE_SUFFIX;
    const std::string other = std::string(".other.son.0123abcd") + TEMPORARY_FILE_SUFFIX;
    for (const std::string& name : {stale, fresh, other}) WriteAll(folder.Path(name), {7});
    for (const std::string& name : {stale, other})
        fs::last_write_time(folder.Path(name),
                            fs::file_time_type::clock::now() - std::chrono::minutes(2));

    ASSERT_EQ(WriteSongFile(folder.Path("a.son")), SongFileResult::Done);
    EXPECT_EQ(ReadAll(real)[0], 'T');
    EXPECT_EQ(fs::status(real).permissions(), fs::perms(0660));
    EXPECT_TRUE(fs::is_symlink(folder.Path("a.son")));
    EXPECT_TRUE(fs::is_symlink(folder.Path("sub/link.son")));
    EXPECT_EQ(ReadAll(victim), (std::vector<uint8_t>{4, 5, 6}));
    EXPECT_STREQ(song.song_name, folder.Path("a.son").c_str());
    EXPECT_EQ(FolderNames(folder.dir),
              (std::vector<std::string>{other, fresh, "a.son", "a.son.saving", "real.son",
                                        "real.son.saving", "sub", "victim"}));

    // A link to a file that does not exist yet makes it, as a new file: 0666 less the umask.
    fs::create_symlink("made.son", folder.Path("new.son"));
    EXPECT_EQ(WriteSongFile(folder.Path("new.son")), SongFileResult::Done);
    EXPECT_EQ(fs::status(folder.Path("made.son")).permissions(), fs::perms(0640));
    EXPECT_TRUE(fs::is_symlink(folder.Path("new.son")));
    umask(mask);
}

// The dialogs open in the working folder ("") until the song has a file, then in its folder.
TEST_F(SongFile, DialogsHaveTheirTitlesAndFilterAndOpenInTheSongsFolder) {
    play.warmup_ticks = 10;
    EXPECT_EQ(SaveSong(), SongFileResult::Cancelled);
    EXPECT_EQ(play.warmup_ticks.load(), 5);
    fake.dialogPaths = {folder.Path("a.son")};
    EXPECT_EQ(SaveSong(), SongFileResult::Done);
    fake.dialogPaths = {folder.Path("a.son")};
    EXPECT_EQ(LoadSong(), SongFileResult::Done);
    std::strcpy(song.song_name, "b.son"); // a bare name, as from the command line
    EXPECT_EQ(LoadSong(), SongFileResult::Cancelled);
    const std::string dir = folder.dir.string();
    EXPECT_EQ(fake.dialogs,
              (std::vector<std::string>{"save|Song Saver|.SON Song file (*.SON)|*.son|",
                                        "save|Song Saver|.SON Song file (*.SON)|*.son|",
                                        "open|Song Loader|.SON Song file (*.SON)|*.son|" + dir,
                                        "open|Song Loader|.SON Song file (*.SON)|*.son|"}));
}

} // namespace
