#include "shell/main_window.h"

#include "files/song_file.h"
#include "files/wav_export.h"
#include "platform/voices.h"
#include "shell_fixture.h"

#include <cstring>

#include <sys/stat.h>

namespace {

using MainWindowTest = ShellFixture;

TEST_F(MainWindowTest, InitialisationSetsButtonsScrollBarsAndFocus) {
    EXPECT_EQ(fake.focus, std::make_pair(MAIN_WINDOW, 1082));
    EXPECT_EQ(fake.image(1272), BITMAP_LOOP_ON);
    EXPECT_EQ(fake.image(1089), BITMAP_RECORD_ON);
    EXPECT_EQ(fake.image(1087), 111);
    EXPECT_EQ(fake.image(1118), 125);
    EXPECT_EQ(fake.image(1261), BITMAP_OCTAVE_HIGH);
    EXPECT_EQ(fake.image(1262), BITMAP_METRONOME_OFF);
    EXPECT_EQ(fake.image(1260), BITMAP_SPEAKER_ON);
    EXPECT_EQ(control(1236).minimum, 2);
    EXPECT_EQ(control(1236).maximum, 26);
    EXPECT_EQ(control(1238).maximum, 64);
    EXPECT_EQ(control(1243).position, 5);
    EXPECT_EQ(text(1276), "Countdown Start : 4.");
    EXPECT_EQ(text(1275), "Metronome Step : 4.");
    EXPECT_EQ(text(1274), "Cursor Step : 0.");
    EXPECT_EQ(text(1082), "Song size : 1 patterns.");
}

TEST_F(MainWindowTest, TitleCarriesTheModifiedMark) {
    UpdateTitle();
    EXPECT_EQ(title(), "Music Editor V2.10[Noname]");
    MarkSongModified();
    EXPECT_EQ(title(), "Music Editor V2.10[Noname*]");
}

TEST_F(MainWindowTest, TogglesChangeStateAndImagesAndParkTheFocus) {
    fake.SetFocus(MAIN_WINDOW, 1089);
    Click(1089);
    EXPECT_EQ(settings.record_enabled, 0);
    EXPECT_EQ(fake.image(1089), BITMAP_RECORD_OFF);
    EXPECT_EQ(fake.focus.second, 1082);
    Click(1272);
    EXPECT_EQ(song.song_loop, 0);
    EXPECT_EQ(fake.image(1272), BITMAP_LOOP_OFF);
    Click(1262);
    EXPECT_EQ(play.metronome_enabled, 1);
    EXPECT_EQ(fake.image(1262), BITMAP_METRONOME_ON);
    Click(1261);
    EXPECT_EQ(settings.octave_shift, 1);
    EXPECT_EQ(fake.image(1261), BITMAP_OCTAVE_LOW);
    Click(1259);
    EXPECT_EQ(play.channel_muted[2], 1);
    EXPECT_EQ(fake.image(1259), BITMAP_SPEAKER_OFF);
    EXPECT_EQ(fake.image(1258), BITMAP_SPEAKER_ON);
    EXPECT_EQ(song.song_modified, 0);
    // A toggle never runs for another notification code.
    main_window().OnCommand(1089, CMD_COMBO_CLOSED);
    EXPECT_EQ(settings.record_enabled, 0);
}

TEST_F(MainWindowTest, TransportCommands) {
    play.current_row = 12;
    settings.record_enabled = 0;
    Click(1111);
    EXPECT_EQ(play.playing, 1);
    EXPECT_EQ(play.song_play, 0);
    EXPECT_EQ(play.current_row, 12) << "pattern play keeps the row";
    EXPECT_EQ(play.metronome_count, 3);
    Click(1088);
    EXPECT_EQ(play.playing, 0);
    settings.record_enabled = 1;
    settings.countdown_start = 1;
    Click(1087);
    EXPECT_EQ(play.current_row, 0);
    EXPECT_EQ(play.song_play, 1);
    EXPECT_EQ(play.play_armed, 0) << "count-down 0 waits for MIDI";
    settings.countdown_start = 4;
    Click(1087);
    EXPECT_EQ(play.countdown_left, 4);
    EXPECT_EQ(play.play_armed, 1);
}

TEST_F(MainWindowTest, EmptyCopyBuffersAreReported) {
    Click(1116);
    Click(1120);
    ASSERT_EQ(fake.boxes.size(), 2u);
    EXPECT_EQ(fake.boxes[0].text, "Track copy buffer is empty !!!");
    EXPECT_EQ(fake.boxes[0].caption, "Error message");
    EXPECT_EQ(fake.boxes[0].style, 0x10);
    EXPECT_EQ(fake.boxes[1].text, "Pattern copy buffer is empty !!!");
    EXPECT_EQ(song.song_modified, 0);
}

TEST_F(MainWindowTest, TrackCommandsAskAndObeyTheAnswer) {
    song.song_positions[0][0] = 7;
    SetCell(7, 0, Cell{1, 1});
    fake.answers = {false};
    Click(1117);
    ASSERT_EQ(fake.boxes.size(), 1u);
    EXPECT_EQ(fake.boxes[0].text, "This will erase Track nr: 7\n\nAre you sure to Clear track ?");
    EXPECT_EQ(fake.boxes[0].caption, "Track Data Warning.");
    EXPECT_EQ(fake.boxes[0].style, 0x41);
    EXPECT_EQ(GetCell(7, 0), (Cell{1, 1}));
    EXPECT_EQ(song.song_modified, 0);

    Click(1115); // copy track 7
    Click(1119); // copy pattern (7, 0, 0, 0)
    Click(1117); // answered OK
    EXPECT_EQ(GetCell(7, 0), (Cell{}));
    EXPECT_EQ(title(), "Music Editor V2.10[Noname*]");
    EXPECT_EQ(text(1051), "00:00:0");

    Click(1116);
    EXPECT_EQ(GetCell(7, 0), (Cell{1, 1}));
    EXPECT_EQ(text(1051), "C-2:00:1");

    song.song_size = 2;
    play.current_position = 1;
    fake.answers = {false};
    Click(1120);
    EXPECT_EQ(song.song_positions[1][0], 0);
    Click(1120);
    EXPECT_EQ(song.song_positions[1][0], 7);
}

TEST_F(MainWindowTest, ComboChoicesSetTracksAndInstrument) {
    FillCurrentSelectors();
    fake.ComboSelect(MAIN_WINDOW, 1233, 6);
    main_window().OnCommand(1233, CMD_COMBO_CHOSEN);
    EXPECT_EQ(song.song_positions[0][2], 6);
    EXPECT_EQ(title(), "Music Editor V2.10[Noname*]");
    fake.ComboSelect(MAIN_WINDOW, 1240, 3);
    main_window().OnCommand(1240, CMD_COMBO_CHOSEN);
    EXPECT_EQ(current_instrument, 3);
    fake.SetFocus(MAIN_WINDOW, 1240);
    main_window().OnCommand(1240, CMD_COMBO_CLOSED);
    EXPECT_EQ(fake.focus.second, 1082);
}

TEST_F(MainWindowTest, TempoScrollEdges) {
    struct Case {
        int from, code, to, thumb;
    } cases[] = {{8, SB_LINEDOWN, 10, 10}, {20, SB_LINEDOWN, 30, 30}, {30, SB_LINEUP, 30, 30},
                 {20, SB_LINEUP, 20, 20},  {15, SB_LINEUP, 15, 15},   {8, SB_LINEUP, 7, 7},
                 {2, SB_LINEUP, 2, 2},     {12, SB_PAGEUP, 12, 12}};
    for (const Case& c : cases) {
        song.tempo = c.from;
        Scroll(1236, c.code);
        EXPECT_EQ(song.tempo, c.to) << c.from;
        EXPECT_EQ(control(1236).position, c.thumb) << c.from;
    }
    song.tempo = 20;
    Scroll(1236, SB_LINEDOWN);
    EXPECT_EQ(text(1113), "Tempo : 30 Bps (450 BPM)");
    EXPECT_EQ(fake.timerPeriodMs, 33);
    Scroll(1236, SB_THUMBTRACK, 7);
    EXPECT_EQ(text(1113), "Tempo : 7 Bps (105 BPM)");
    EXPECT_EQ(fake.timerPeriodMs, 142);
    EXPECT_EQ(title(), "Music Editor V2.10[Noname*]");
    EXPECT_EQ(fake.focus.second, 1082);
}

TEST_F(MainWindowTest, SongScrollBarsAndSteps) {
    play.current_position = 0;
    const int started = fake.timersStarted;
    Scroll(1238, SB_THUMBPOSITION, 12);
    EXPECT_EQ(song.song_size, 12);
    EXPECT_EQ(text(1082), "Song size : 12 patterns.");
    EXPECT_EQ(fake.timersStarted, started + 1) << "every refresh restarts the tick timer";
    Scroll(1237, SB_THUMBTRACK, 12);
    EXPECT_EQ(play.current_position, 11);
    EXPECT_EQ(control(1237).maximum, 12);
    EXPECT_EQ(text(1081), "Song position : 12.");
    Scroll(1238, SB_LINEDOWN);
    EXPECT_EQ(song.song_size, 13);
    EXPECT_EQ(play.current_position, 0);

    settings.countdown_start = 2;
    Scroll(1243, SB_LINEUP);
    EXPECT_EQ(text(1276), "Countdown Start : 0.");
    Scroll(1243, SB_THUMBTRACK, 9);
    EXPECT_EQ(settings.countdown_start, 6);
    EXPECT_EQ(text(1276), "Countdown Start : 5.");
    Scroll(1241, SB_THUMBTRACK, 0);
    EXPECT_EQ(settings.metronome_step, 2);
    EXPECT_EQ(text(1275), "Metronome Step : 2.");
    Scroll(1239, SB_LINEUP);
    EXPECT_EQ(settings.cursor_step, 0);
    Scroll(1239, SB_THUMBTRACK, 16);
    EXPECT_EQ(text(1274), "Cursor Step : 16.");
}

TEST_F(MainWindowTest, MetronomeStepMarksTheSongModified) {
    Scroll(1241, SB_LINEDOWN);
    EXPECT_EQ(song.song_modified, 1);
    EXPECT_EQ(title(), "Music Editor V2.10[Noname*]");
}

TEST_F(MainWindowTest, WindowTimerLowersMetersAndFollowsPlayback) {
    play.channel_level[0] = 4100;
    play.channel_level[1] = 300;
    play.channel_level[2] = 5000;
    main_window().OnTimer();
    EXPECT_EQ(play.channel_level[0], 3750);
    EXPECT_EQ(play.channel_level[1], 0);
    EXPECT_EQ(play.channel_level[2], 4100);
    EXPECT_EQ(control(1267).rows[3], METER_OFF);
    EXPECT_EQ(control(1267).rows[4], METER_RED);

    song.song_size = 3;
    play.playing = 1;
    play.current_position = 2;
    play.current_row = 40;
    main_window().OnTimer();
    EXPECT_EQ(text(1081), "Song position : 3.");
    EXPECT_EQ(control(1237).position, 2);
    EXPECT_EQ(control(1237).maximum, 3);
    EXPECT_EQ(text(1102), "37\n38\n39\n40\n\n41\n\n42\n43\n44\n45");
}

TEST_F(MainWindowTest, QuitAsksOnlyWhenModified) {
    Click(CMD_QUIT);
    EXPECT_TRUE(fake.boxes.empty());
    EXPECT_EQ(quit_requested, 1);
    EXPECT_EQ(fake.quitCode, 0);

    quit_requested = 0;
    fake.quitCode = -1;
    song.song_modified = 1;
    fake.answers = {false};
    main_window().OnClose();
    ASSERT_EQ(fake.boxes.size(), 1u);
    EXPECT_EQ(fake.boxes[0].text, "The current song has not been saved.\n\nAre you sure to quit ?");
    EXPECT_EQ(fake.boxes[0].caption, "Exit Warning.");
    EXPECT_EQ(fake.boxes[0].style, 0x11);
    EXPECT_EQ(quit_requested, 0);
    EXPECT_EQ(fake.quitCode, -1);
    main_window().OnClose();
    EXPECT_EQ(quit_requested, 1);
}

TEST_F(MainWindowTest, NewSongAsksAndKeepsPositionsAndSize) {
    song.song_size = 5;
    song.song_positions[3][1] = 4;
    SetCell(4, 0, Cell{1, 1});
    song.tempo = 20;
    song.song_loop = 0;
    play.current_position = 3;
    MarkSongModified();
    fake.answers = {false};
    Click(CMD_NEW_SONG);
    EXPECT_EQ(fake.boxes.back().caption, "Song Data Warning.");
    EXPECT_EQ(fake.boxes.back().style, 0x31);
    EXPECT_EQ(GetCell(4, 0), (Cell{1, 1}));
    Click(CMD_NEW_SONG);
    EXPECT_EQ(GetCell(4, 0), (Cell{}));
    EXPECT_EQ(song.song_size, 5);
    EXPECT_EQ(song.song_positions[3][1], 4);
    EXPECT_EQ(play.current_position, 0);
    EXPECT_EQ(song.tempo, 10);
    EXPECT_EQ(fake.image(1272), BITMAP_LOOP_ON);
    EXPECT_EQ(text(1113), "Tempo : 10 Bps (150 BPM)");
    EXPECT_EQ(fake.timerPeriodMs, 100) << "the tick timer runs at the new tempo";
    EXPECT_EQ(title(), "Music Editor V2.10[Noname]");
}

TEST_F(MainWindowTest, SaveSongKeepsTheMarkUnlessTheFileWasWritten) {
    MarkSongModified();
    Click(CMD_SAVE_SONG); // cancelled
    EXPECT_EQ(song.song_modified, 1);
    EXPECT_TRUE(fake.boxes.empty());

    fake.dialogPaths = {(scratch.dir / "missing-folder" / "a.son").string()};
    Click(CMD_SAVE_SONG);
    EXPECT_EQ(song.song_modified, 1);
    ASSERT_EQ(fake.boxes.size(), 1u);
    EXPECT_EQ(fake.boxes[0].caption, "Error message");
    EXPECT_EQ(fake.boxes[0].style, 0x10);
    EXPECT_EQ(title(), "Music Editor V2.10[Noname*]");

    fake.dialogPaths = {scratch.dir.string()}; // a folder
    Click(CMD_SAVE_SONG);
    EXPECT_EQ(song.song_modified, 1);
    ASSERT_EQ(fake.boxes.size(), 2u);
    EXPECT_EQ(fake.boxes[1].text, "This is not a regular file; nothing was written.");

    const std::string path = (scratch.dir / "a.son").string();
    fake.dialogPaths = {path};
    Click(CMD_SAVE_SONG);
    EXPECT_EQ(song.song_modified, 0);
    EXPECT_EQ(title(), "Music Editor V2.10[" + path + "]");
}

TEST_F(MainWindowTest, LoadSongChangesNothingUnlessASongWasLoaded) {
    // A song to load: tempo 20, loop off, track 2 on channel 3.
    const std::string good = (scratch.dir / "good.son").string();
    song.tempo = 20;
    song.song_loop = 0;
    song.song_positions[0][3] = 2;
    SetCell(2, 0, Cell{1, 1});
    ASSERT_EQ(WriteSongFile(good), SongFileResult::Done);
    ResetSong();
    play.current_position = 0;
    play.current_channel = 2;
    MarkSongModified();

    Click(CMD_LOAD_SONG); // confirmed, then the dialog cancelled
    EXPECT_EQ(song.song_modified, 1);
    EXPECT_EQ(play.current_channel, 2);
    EXPECT_EQ(fake.boxes.size(), 1u);
    EXPECT_EQ(fake.boxes[0].text,
              "This action will erase the\ncurrent song...\n\nAre you sure to Load a song ?");

    const std::string bad = (scratch.dir / "bad.son").string();
    WriteBytes(bad, {'N', 'O', 'P', 'E'});
    fake.dialogPaths = {bad};
    Click(CMD_LOAD_SONG);
    EXPECT_EQ(song.song_modified, 1);
    EXPECT_EQ(song.song_loop, 1);
    EXPECT_EQ(std::string(song.song_name), "Noname");
    ASSERT_EQ(fake.boxes.size(), 3u);
    EXPECT_EQ(fake.boxes[2].text,
              "This file is not a song file, or it is damaged.\nThe song was not changed.");
    EXPECT_EQ(fake.boxes[2].caption, "Error message");

    fake.answers = {false};
    fake.dialogPaths = {good};
    Click(CMD_LOAD_SONG);
    EXPECT_EQ(song.song_positions[0][3], 0) << "cancelled at the question";
    ASSERT_EQ(fake.dialogPaths.size(), 1u);

    Click(CMD_LOAD_SONG);
    EXPECT_EQ(song.song_positions[0][3], 2);
    EXPECT_EQ(song.song_modified, 0);
    EXPECT_EQ(play.current_channel, 0);
    EXPECT_EQ(song.tempo, 20);
    EXPECT_EQ(control(1236).position, 20);
    EXPECT_EQ(text(1113), "Tempo : 20 Bps (300 BPM)");
    EXPECT_EQ(fake.image(1272), BITMAP_LOOP_OFF);
    EXPECT_EQ(text(1061), "C-2:00:1");
    EXPECT_EQ(title(), "Music Editor V2.10[" + good + "]");
    EXPECT_EQ(fake.timerPeriodMs, 50);
}

TEST_F(MainWindowTest, SoundBankCommands) {
    const std::string bank = (scratch.dir / "a.fms").string();
    std::snprintf(SoundBank[0].name, INSTRUMENT_NAME_SIZE, "%s", "bass");
    fake.dialogPaths = {bank};
    Click(CMD_SAVE_SAMPLES);
    std::snprintf(SoundBank[0].name, INSTRUMENT_NAME_SIZE, "%s", "other");
    current_instrument = 5;

    Click(CMD_LOAD_SAMPLES); // cancelled
    EXPECT_EQ(current_instrument, 5);
    EXPECT_EQ(song.song_modified, 0);

    const std::string bad = (scratch.dir / "bad.fms").string();
    WriteBytes(bad, std::vector<uint8_t>(100, 1));
    fake.dialogPaths = {bad};
    Click(CMD_LOAD_SAMPLES);
    EXPECT_EQ(std::string(SoundBank[0].name), "other");
    ASSERT_EQ(fake.boxes.size(), 1u);
    EXPECT_EQ(fake.boxes[0].caption, "Error message");
    // A pipe is refused unopened, and the box says why.
    const std::string pipe = (scratch.dir / "pipe.fms").string();
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    fake.dialogPaths = {pipe};
    Click(CMD_LOAD_SAMPLES);
    ASSERT_EQ(fake.boxes.size(), 2u);
    EXPECT_EQ(fake.boxes[1].text, "This file could not be opened: it is not a regular file.\nThe "
                                  "instruments were not changed.");

    fake.dialogPaths = {bank};
    Click(CMD_LOAD_SAMPLES);
    EXPECT_EQ(std::string(SoundBank[0].name), "bass");
    EXPECT_EQ(current_instrument, 0);
    EXPECT_EQ(control(1240).entries[0], "(0)bass[1]");
    EXPECT_EQ(title(), "Music Editor V2.10[Noname*]");
}

TEST_F(MainWindowTest, SoundEditorAboutBoxAndMidi) {
    Click(1118);
    main_window().OnCommand(CMD_SOUND_EDITOR, CMD_CLICKED);
    EXPECT_EQ(fake.modalRuns, (std::vector<int>{101, 101}));
    EXPECT_EQ(sound_editor_open, 0);
    EXPECT_EQ(title(), "Music Editor V2.10[Noname*]");

    Click(CMD_ABOUT);
    EXPECT_EQ(fake.control(102, 1266).text, "Version Dec  1 1999.");
    ASSERT_EQ(fake.openDialogs.count(102), 1u);
    fake.openDialogs[102]->OnClose();
    EXPECT_EQ(fake.openDialogs.count(102), 0u);

    // MIDI data reaches note entry: a pitch bend to the top raises the instrument.
    main_window().OnMidi(0xE0, 127, 127);
    EXPECT_EQ(current_instrument.load(), 1);
}

} // namespace

namespace {

// A mixer that mixes silence: the export runs whole through the real render and file code.
class SilentMixer : public MixingVoices {
  public:
    bool Open(int) override { return true; }
    void Close() override {}
    void Mix(int16_t* out, int frames) override { std::fill(out, out + frames, int16_t{0}); }
    bool Silent() const override { return true; }
    void Create(int, int, int) override {}
    void Fill(int, const uint8_t*, int) override {}
    void Play(int, bool) override {}
    void Stop(int) override {}
};

} // namespace

TEST_F(MainWindowTest, ExportWavStopsPlayAndShowsProgressAndFailures) {
    SilentMixer mixer;
    SetMixingVoices(&mixer);
    song.song_modified = 1;
    StartSongPlay();
    // Cancelled dialog, opened in the song's folder: playback stopped, nothing rendered.
    std::strcpy(song.song_name, "songs/tune.son");
    main_window().OnCommand(CMD_EXPORT_WAV, CMD_CLICKED);
    EXPECT_EQ(play.playing.load(), 0);
    EXPECT_TRUE(fake.progress.empty());
    EXPECT_EQ(fake.dialogs.back(), "save|WAV Exporter|.WAV Audio file (*.wav)|*.wav|songs");

    std::filesystem::create_directory("bad.wav");
    fake.dialogPaths = {"song.wav", "bad.wav"};
    main_window().OnCommand(CMD_EXPORT_WAV, CMD_CLICKED);
    EXPECT_GT(ReadBytes("song.wav").size(), WAV_HEADER_SIZE);
    EXPECT_EQ(fake.progress.back(), "end");
    EXPECT_EQ(fake.progress.front().rfind("WAV Exporter|Rendering the song...|", 0), 0u);
    EXPECT_TRUE(fake.boxes.empty());
    EXPECT_EQ(song.song_modified, 1); // an export leaves the unsaved mark as it was
    EXPECT_EQ(long_task_running, 0);

    main_window().OnCommand(CMD_EXPORT_WAV, CMD_CLICKED);
    ASSERT_EQ(fake.boxes.size(), 1u);
    EXPECT_EQ(fake.boxes[0].caption, "Error message");
    EXPECT_EQ(fake.boxes[0].text, WavExportMessage(WavExportResult::NotRegularFile));
    SetMixingVoices(nullptr);
}
