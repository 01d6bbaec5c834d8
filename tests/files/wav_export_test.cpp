// The offline render: what it plays, where it ends, the WAV it writes, and that the editor's
// song and state come through untouched.
#include "files/song_file.h"
#include "files/wav_export.h"
#include "platform/openal/openal_voices.h"
#include "sound/synthesis.h"

#include "export_test_support.h"

#include <filesystem>
#include <sys/stat.h>

namespace {

constexpr int kRate = 48000;

class WavExport : public ExportFixture {
  protected:
    // Renders into memory.
    std::vector<int16_t> Render(WavExportOptions options = {}) {
        std::vector<int16_t> out;
        const WavSink sink = [&](const int16_t* s, int n) {
            out.insert(out.end(), s, s + n);
            return true;
        };
        EXPECT_EQ(RenderSong(mixer, options, {}, sink, &stats), WavExportResult::Done);
        return out;
    }
    // Frames from one tick to the next at `tempo`.
    static int64_t TickFrames(int rate = kRate) { return int64_t{1000 / song.tempo} * rate / 1000; }
    WavExportStats stats;
};

TEST(WavHeader, IsAStandardPcmMonoHeaderFieldByField) {
    uint8_t header[WAV_HEADER_SIZE];
    EncodeWavHeader(header, 44100, 1000);
    const uint8_t expected[WAV_HEADER_SIZE] = {
        'R',  'I', 'F', 'F', 0xF4, 0x07, 0,   0,   'W', 'A',  'V',  'E',  'f', 'm',  't',
        ' ',  16,  0,   0,   0,    1,    0,   1,   0,   0x44, 0xAC, 0,    0,   0x88, 0x58,
        0x01, 0,   2,   0,   16,   0,    'd', 'a', 't', 'a',  0xD0, 0x07, 0,   0};
    EXPECT_EQ(0, std::memcmp(header, expected, WAV_HEADER_SIZE));
}

TEST_F(WavExport, A440PulseNoteMeasures440HzAtTheLiveGainEvenOnAMutedChannel) {
    SetInstrument(1, 1, 0); // sustained: the voice loops
    Put(1, 0, Cell{1, 10});
    Put(1, 10, kStop);
    Use(0, 0, 1);
    play.channel_muted[0] = 1; // the export hears every channel
    const auto mix = Render();
    ASSERT_EQ(stats.ticks, 11);
    EXPECT_EQ(stats.songFrames, 10 * TickFrames()); // the stop's tick ends the song
    // A looping voice never falls silent: the whole 2 s tail follows.
    EXPECT_EQ(stats.frames, stats.songFrames + 2 * kRate);
    ASSERT_EQ(static_cast<int64_t>(mix.size()), stats.frames);
    EXPECT_NEAR(MeasureHz(mix, kRate / 10, kRate, kRate), 440.0, 440.0 * 0.005);
    // Voices 0..3 at -10 dB: a full-scale square is about a third of full scale.
    EXPECT_GT(Peak(mix, 0, mix.size()), 6000);
    EXPECT_LT(Peak(mix, 0, mix.size()), 16000);
    EXPECT_EQ(play.channel_muted[0].load(), 1);
}

TEST_F(WavExport, PatternBreakAndStopCommandEndTheSongWhereSongPlayDoes) {
    song.tempo = 30;
    song.song_size = 2;
    song.song_loop = 0;
    Use(0, 2, 1);
    Put(1, 3, kBreak); // position 0 plays rows 0..3, then position 1 all 64 rows
    Render();
    EXPECT_EQ(stats.ticks, 4 + 64);
    EXPECT_EQ(CountSongTicks(1), 4 + 64);
    EXPECT_EQ(stats.songFrames, (4 + 64 - 1) * TickFrames());
    EXPECT_LT(stats.frames - stats.songFrames, kRate / 100); // nothing sounds: no tail

    Put(2, 5, kStop); // a stop in position 1, row 5, on a channel after the break's
    Use(1, 1, 2);
    Render();
    EXPECT_EQ(stats.ticks, 4 + 6);
    EXPECT_EQ(CountSongTicks(1), 4 + 6);
    EXPECT_EQ(stats.songFrames, (4 + 6 - 1) * TickFrames());
}

TEST_F(WavExport, LoopsCountPassesOfALoopingSong) {
    song.tempo = 30;
    song.song_size = 2;
    song.song_loop = 1;
    Use(1, 3, 1);
    Put(1, 9, kBreak);
    Render({1, kRate});
    const WavExportStats one = stats;
    EXPECT_EQ(one.ticks, 64 + 10);
    EXPECT_EQ(CountSongTicks(1), 64 + 10);
    Render({2, kRate});
    EXPECT_EQ(stats.ticks, 2 * one.ticks);
    EXPECT_EQ(CountSongTicks(2), 2 * one.ticks);
    EXPECT_EQ(stats.songFrames + TickFrames(), 2 * (one.songFrames + TickFrames()));
    // Without looping the song ends after its one pass, whatever the count.
    song.song_loop = 0;
    Render({3, kRate});
    EXPECT_EQ(stats.ticks, one.ticks);
}

TEST_F(WavExport, ShortNotesEndTheTailWhenTheyFallSilent) {
    SetInstrument(1, 1, 10); // 0.1 s, played once
    Put(1, 0, Cell{1, 10});
    Put(1, 1, kStop);
    Use(0, 3, 1);
    const auto mix = Render();
    EXPECT_EQ(stats.songFrames, TickFrames());
    EXPECT_GT(Peak(mix, kRate / 20, kRate / 20 + 100), 6000);
    EXPECT_LT(stats.frames, kRate / 10 + kRate / 50); // 0.1 s and a little
    EXPECT_LT(Peak(mix, stats.frames - 64, stats.frames), 100);
}

TEST_F(WavExport, SameSongSameBytesWhateverTheNoiseGeneratorWasAt) {
    SetInstrument(1, 3, 20); // noise draws from the shared generator
    SetInstrument(2, 2, 20);
    Put(1, 0, Cell{1, 12});
    Put(1, 1, Cell{2, 30});
    Put(1, 3, Cell{1, 20});
    Put(1, 4, kStop);
    Use(0, 1, 1);
    song.tempo = 20;
    ScratchFolder folder;
    ASSERT_EQ(RenderSongToWav(mixer, folder.Path("a.wav"), {}, {}), WavExportResult::Done);
    engine.noise_state = 12345; // the editor played noise notes meanwhile
    ASSERT_EQ(RenderSongToWav(mixer, folder.Path("b.wav"), {}, {}), WavExportResult::Done);
    EXPECT_EQ(engine.noise_state, 12345u);
    const auto a = ReadAll(folder.Path("a.wav"));
    EXPECT_GT(a.size(), WAV_HEADER_SIZE + 4 * 1000);
    EXPECT_EQ(a, ReadAll(folder.Path("b.wav")));
    // The header tells the true length.
    EXPECT_EQ(GetI32(&a[40]), static_cast<int32_t>(a.size() - WAV_HEADER_SIZE));
    EXPECT_EQ(GetI32(&a[4]), static_cast<int32_t>(a.size() - 8));
}

TEST_F(WavExport, LeavesTheSongTheEditorAndTheLiveVoicesAsTheyWere) {
    SetInstrument(1, 0, 0, 10);
    Put(1, 0, Cell{1, 20});
    Put(1, 2, Cell{CMD_STOP_SOUND_TYPE, NOTE_COMMAND});
    Put(1, 3, kStop);
    Use(0, 2, 1);
    song.song_modified = 1;
    play.current_position = 0;
    play.current_row = 17;
    play.current_channel = 2;
    play.metronome_enabled = 1;
    play.metronome_count = 2;
    play.countdown_left = 3;
    play.warmup_ticks = 7;
    play.channel_level[2] = 900;
    play.playing = 0;
    play.song_play = 1;
    play.play_armed = 0;
    std::strcpy(engine.ActiveSound.name, "in the editor");
    engine.ActiveSound.testFrequency = 777;
    SelectRenderBuffer(2);
    engine.render_buffers[1][5] = 42;
    engine.loop_flags[3] = 1;
    engine.playing_flags[1] = 1;
    tick_timer_id = desktop().StartPeriodicTimer(100, [] {});
    const int started = fake.timersStarted;
    uint8_t before[SONG_STATE_SIZE], after[SONG_STATE_SIZE];
    EncodeSongState(before);

    Render();
    EXPECT_GT(stats.ticks, 0);

    EncodeSongState(after);
    EXPECT_EQ(0, std::memcmp(before, after, SONG_STATE_SIZE));
    EXPECT_EQ(song.song_modified, 1);
    EXPECT_EQ(play.current_row.load(), 17);
    EXPECT_EQ(play.current_channel.load(), 2);
    EXPECT_EQ(play.metronome_enabled.load(), 1);
    EXPECT_EQ(play.metronome_count.load(), 2);
    EXPECT_EQ(play.countdown_left.load(), 3);
    EXPECT_EQ(play.warmup_ticks.load(), 7);
    EXPECT_EQ(play.channel_level[2].load(), 900);
    EXPECT_EQ(play.playing.load(), 0);
    EXPECT_EQ(play.song_play.load(), 1);
    EXPECT_EQ(play.play_armed.load(), 0);
    EXPECT_STREQ(engine.ActiveSound.name, "in the editor");
    EXPECT_EQ(engine.ActiveSound.testFrequency, 777);
    EXPECT_EQ(engine.current_render_buffer, 2);
    EXPECT_EQ(engine.render_buffers[1][5], 42);
    EXPECT_EQ(engine.loop_flags[3], 1);
    EXPECT_EQ(engine.playing_flags[1].load(), 1);
    // The editor's platform is back, its live voices were never called, and the tick timer was
    // stopped for the render and started again.
    EXPECT_EQ(&desktop(), &fake);
    EXPECT_TRUE(fake.audioLog.empty());
    EXPECT_EQ(fake.timersKilled, 1);
    EXPECT_EQ(fake.timersStarted, started + 1);
    EXPECT_NE(tick_timer_id, 0);
}

TEST_F(WavExport, ALiveOpenAlDeviceKeepsWorkingAfterAnExport) {
    OpenAlVoices live; // stands for the editor's device: its context is the current one
    ASSERT_TRUE(live.OpenLoopback(kRate));
    SetInstrument(1, 1, 5);
    Put(1, 0, Cell{1, 10});
    Use(0, 0, 1);
    Put(1, 1, kStop);
    Render();
    std::vector<uint8_t> square(4096);
    for (size_t i = 0; i < square.size(); ++i) square[i] = (i / 50) % 2 ? 255 : 0;
    live.Create(1, 4096, 0);
    live.Fill(1, square.data(), 4096);
    live.Play(1, true);
    std::vector<int16_t> mix(kRate / 10);
    live.Render(mix.data(), static_cast<int>(mix.size()));
    EXPECT_GT(Peak(mix, 0, mix.size()), 10000);
}

TEST_F(WavExport, CancelledOrBadExportsWriteNothingAndKeepTheOldFile) {
    song.tempo = 60;
    song.song_size = 3; // 192 ticks: progress moves in steps of 1 %
    ScratchFolder folder;
    const std::string path = folder.Path("out.wav");
    WriteAll(path, {1, 2, 3});
    std::vector<int> seen;
    const auto cancelAt = [&](int percent) {
        seen.push_back(percent);
        return percent < 30;
    };
    EXPECT_EQ(RenderSongToWav(mixer, path, {}, cancelAt), WavExportResult::Cancelled);
    EXPECT_EQ(seen.back(), 30);
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_EQ(ReadAll(path), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(RenderSongToWav(mixer, path, {0, kRate}, {}), WavExportResult::BadOptions);
    EXPECT_EQ(RenderSongToWav(mixer, path, {1, 1000}, {}), WavExportResult::BadOptions);
    EXPECT_EQ(RenderSongToWav(mixer, folder.Path("no/such/dir/x.wav"), {}, {}),
              WavExportResult::WriteFailed);
    // A pipe at the name is refused before the render starts, and stays a pipe.
    const std::string pipe = folder.Path("pipe.wav");
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    seen.clear();
    EXPECT_EQ(RenderSongToWav(mixer, pipe, {}, cancelAt), WavExportResult::NotRegularFile);
    EXPECT_TRUE(seen.empty());
    EXPECT_TRUE(std::filesystem::is_fifo(pipe));
    EXPECT_EQ(FolderNames(folder.dir), (std::vector<std::string>{"out.wav", "pipe.wav"}));
    seen.clear();
    EXPECT_EQ(RenderSongToWav(mixer, path, {}, [&](int p) { return seen.push_back(p), true; }),
              WavExportResult::Done);
    EXPECT_EQ(seen.back(), 100);
    EXPECT_EQ(&desktop(), &fake);
}

// The golden song: one short note of each sound type, a longer pulse note that sounds on after
// the stop, and the stop; every voice plays once.
void BuildGoldenSong() {
    song.tempo = 30;
    ExportFixture::SetInstrument(1, 1, 10);
    ExportFixture::SetInstrument(2, 2, 10);
    ExportFixture::SetInstrument(3, 3, 5);
    ExportFixture::SetInstrument(4, 0, 10, 10); // a sweep
    ExportFixture::Put(1, 0, Cell{1, 10});
    ExportFixture::Put(2, 2, Cell{2, 22});
    ExportFixture::Put(3, 4, Cell{3, 5});
    ExportFixture::Put(4, 6, Cell{4, 30});
    ExportFixture::SetInstrument(5, 1, 20);
    ExportFixture::Put(3, 7, Cell{5, 15});
    ExportFixture::Put(4, 8, kStop);
    for (int c = 0; c < CHANNEL_COUNT; ++c) ExportFixture::Use(0, c, 4 - c);
}

// Compares the golden render with the WAV kept in the repository. To regenerate it after an
// intended change of the sound, run tools/regenerate-export-golden.sh (which sets
// TAVOMIX_REGENERATE_GOLDEN=1 for this test) and listen to the result before committing it.
TEST_F(WavExport, GoldenRenderMatchesTheStoredFile) {
    BuildGoldenSong();
    const std::string golden = std::string(TAVOMIX_GOLDEN_DIR) + "/short_song.wav";
    if (std::getenv("TAVOMIX_REGENERATE_GOLDEN")) {
        ASSERT_EQ(RenderSongToWav(mixer, golden, {}, {}), WavExportResult::Done);
        GTEST_SKIP() << "regenerated " << golden;
    }
    ScratchFolder folder;
    ASSERT_EQ(RenderSongToWav(mixer, folder.Path("golden.wav"), {}, {}), WavExportResult::Done);
    const auto want = ReadWavSamples(golden);
    const auto got = ReadWavSamples(folder.Path("golden.wav"));
    ASSERT_FALSE(want.empty()) << "missing " << golden;
    ASSERT_EQ(got.size(), want.size());
    const auto diff = std::mismatch(got.begin(), got.end(), want.begin());
    EXPECT_TRUE(diff.first == got.end())
        << "first difference at sample " << (diff.first - got.begin());
    EXPECT_EQ(ReadAll(folder.Path("golden.wav")), ReadAll(golden));
}

} // namespace
