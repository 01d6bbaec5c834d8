// tavomix-render, run as a program: the files it takes and refuses, its options and exit codes.
#include "files/song_file.h"

#include "export_test_support.h"

#include <cstdio>
#include <filesystem>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace {

class RenderTool : public ExportFixture {
  protected:
    // Runs the tool with `args`; its standard error lands in `errors`.
    int Run(const std::string& args) {
        const std::string log = folder.Path("stderr.txt");
        const std::string command =
            std::string("'") + TAVOMIX_RENDER_TOOL + "' " + args + " 2>'" + log + "'";
        const int status = std::system(command.c_str());
        const auto bytes = ReadAll(log);
        errors.assign(bytes.begin(), bytes.end());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    // A looping song of two positions, the second with a short note at row 0 and a pattern
    // break at row 9, saved.
    std::string SaveLoopingSong() {
        song.tempo = 30;
        song.song_size = 2;
        song.song_loop = 1;
        SetInstrument(1, 1, 10);
        Put(1, 0, Cell{1, 10});
        Put(1, 9, kBreak);
        Use(1, 3, 1);
        const std::string path = folder.Path("song.son");
        EXPECT_EQ(WriteSongFile(path), SongFileResult::Done);
        return path;
    }
    std::string Quote(const std::string& path) { return "'" + path + "'"; }
    ScratchFolder folder;
    std::string errors;
};

TEST_F(RenderTool, RendersASongFileAndLoopsItOnRequest) {
    const std::string song = SaveLoopingSong();
    const std::string one = folder.Path("one.wav"), two = folder.Path("two.wav");
    ASSERT_EQ(Run(Quote(song) + " " + Quote(one)), 0) << errors;
    EXPECT_EQ(errors, "");
    ASSERT_EQ(Run(Quote(song) + " " + Quote(two) + " --loops 2"), 0) << errors;
    int rate = 0;
    const auto a = ReadWavSamples(one, &rate);
    EXPECT_EQ(rate, 48000);
    const auto b = ReadWavSamples(two);
    // 74 ticks of 33 ms per pass; the note (row 0 of position 1) is over long before the end,
    // so no tail follows.
    const size_t tick = 33 * 48;
    EXPECT_EQ(a.size(), 73 * tick);
    EXPECT_EQ(b.size(), (2 * 74 - 1) * tick);
    EXPECT_NEAR(MeasureHz(a, 64 * tick + 100, 4000, rate), 440.0, 440.0 * 0.01);
    // The second pass sounds as the first.
    EXPECT_NEAR(MeasureHz(b, (74 + 64) * tick + 100, 4000, rate), 440.0, 440.0 * 0.01);
    EXPECT_TRUE(std::equal(a.begin(), a.end(), b.begin()));

    ASSERT_EQ(Run(Quote(song) + " " + Quote(one) + " --rate 44100"), 0) << errors;
    ReadWavSamples(one, &rate);
    EXPECT_EQ(rate, 44100);
}

TEST_F(RenderTool, RefusedSongsAndBadUsageFailWithAMessage) {
    const std::string out = folder.Path("out.wav");
    const std::string bad = folder.Path("bad.son");
    WriteAll(bad, {'T', 'V', 'S', 1, 9, 9, 9});
    EXPECT_EQ(Run(Quote(bad) + " " + Quote(out)), 1);
    EXPECT_NE(errors.find("bad.son: the song file is damaged"), std::string::npos) << errors;
    WriteAll(bad, {'M', 'Z'});
    EXPECT_EQ(Run(Quote(bad) + " " + Quote(out)), 1);
    EXPECT_NE(errors.find("not a song file"), std::string::npos) << errors;
    EXPECT_EQ(Run(Quote(folder.Path("none.son")) + " " + Quote(out)), 1);
    EXPECT_NE(errors.find("cannot open"), std::string::npos) << errors;
    const std::string pipe = folder.Path("pipe.son");
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    EXPECT_EQ(Run(Quote(pipe) + " " + Quote(out)), 1);
    EXPECT_NE(errors.find("pipe.son: cannot open"), std::string::npos) << errors;
    EXPECT_FALSE(std::filesystem::exists(out));

    const std::string song = SaveLoopingSong();
    // The packed stream cut to half its bytes, the block's header saying so.
    std::vector<uint8_t> half = ReadAll(song);
    const int32_t packed = GetI32(&half[4 + 20]) / 2;
    half.resize(4 + 32 + static_cast<size_t>(packed));
    PutI32(&half[4 + 20], packed);
    WriteAll(bad, half);
    EXPECT_EQ(Run(Quote(bad) + " " + Quote(out)), 1);
    EXPECT_NE(errors.find("bad.son: the song file is damaged"), std::string::npos) << errors;

    EXPECT_EQ(Run(Quote(song)), 2);
    EXPECT_NE(errors.find("usage:"), std::string::npos);
    EXPECT_EQ(Run(Quote(song) + " " + Quote(out) + " --rate 22050"), 2);
    EXPECT_EQ(Run(Quote(song) + " " + Quote(out) + " --loops 0"), 2);
    EXPECT_EQ(Run(Quote(song) + " " + Quote(out) + " --loops"), 2);
    EXPECT_FALSE(std::filesystem::exists(out));
}

TEST_F(RenderTool, ADeviceAsTheOutputIsRefusedAndLeftAsItWas) {
    const std::string device = folder.Path("null.wav"); // the null device's numbers
    if (mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0)
        GTEST_SKIP() << "making a device node needs root";
    EXPECT_EQ(Run(Quote(SaveLoopingSong()) + " " + Quote(device)), 1);
    EXPECT_NE(errors.find("null.wav: This is not a regular file; nothing was written."),
              std::string::npos)
        << errors;
    EXPECT_TRUE(std::filesystem::is_character_file(device));
}

TEST_F(RenderTool, SoxReadsTheOutput) {
    if (std::system("command -v sox >/dev/null 2>&1") != 0) GTEST_SKIP() << "sox not installed";
    const std::string song = SaveLoopingSong();
    const std::string out = folder.Path("out.wav");
    ASSERT_EQ(Run(Quote(song) + " " + Quote(out)), 0) << errors;
    const std::string info = folder.Path("info.txt");
    ASSERT_EQ(std::system(("sox --i " + Quote(out) + " >" + Quote(info) + " 2>&1").c_str()), 0);
    const auto bytes = ReadAll(info);
    const std::string text(bytes.begin(), bytes.end());
    EXPECT_NE(text.find("Channels       : 1"), std::string::npos) << text;
    EXPECT_NE(text.find("Sample Rate    : 48000"), std::string::npos) << text;
    EXPECT_NE(text.find("16-bit Signed Integer PCM"), std::string::npos) << text;
}

} // namespace
