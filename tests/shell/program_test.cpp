#include "shell/program.h"

#include "files/song_file.h"
#include "platform/fake_midi_input.h"
#include "shell/recovery.h"
#include "shell_fixture.h"
#include "song/note_entry.h"

#include <cstdio>
#include <utility>
#include <vector>

#include <sys/stat.h>

namespace {

class Program : public ::testing::Test {
  protected:
    ScratchWorkingDirectory scratch;
    FakePlatform fake;
    FakeMidiInput midi;

    void SetUp() override {
        InstallFake(&fake);
        SetMidiInput(&midi);
        fake.loopPasses = 3;
        midi.ports = {{"USB Keyboard:USB Keyboard MIDI 1 20:0", true}};
        midi.messages.push_back({0xE0, 127, 127}); // the wheel up: the next instrument
        // Leftovers of an earlier run that start-up must replace.
        settings.cursor_step = 9;
        play.metronome_enabled = 1;
        song.tempo = 3;
        song.song_modified = 1;
    }
    void TearDown() override {
        KillTickTimer();
        ResetSongDisplay();
        SetMidiInput(nullptr);
        InstallFake(nullptr);
    }
    std::string text(int id) { return fake.control(MAIN_WINDOW, id).text; }
    std::string Ini() { return SettingsFolder() + "/" + SETTINGS_FILE_NAME; }
};

TEST_F(Program, StartsWithDefaultsAndWritesTheSettingsOnQuit) {
    fake.keyboardLayout = "fr"; // a first start on a French keyboard: the A-key note layout
    EXPECT_EQ(RunProgram(""), 0);
    EXPECT_EQ(settings.countdown_start, 5);
    EXPECT_EQ(text(1276), "Countdown Start : 4.");
    EXPECT_EQ(settings.metronome_step, 4);
    EXPECT_EQ(settings.cursor_step, 0);
    EXPECT_EQ(settings.record_enabled, 1);
    EXPECT_EQ(fake.image(1089), 115);
    EXPECT_EQ(settings.octave_shift, 0);
    EXPECT_EQ(play.metronome_enabled, 0);
    EXPECT_EQ(song.song_loop, 1);
    EXPECT_EQ(text(1113), "Tempo : 10 Bps (150 BPM)");
    EXPECT_EQ(fake.timerPeriodMs, 100);
    EXPECT_EQ(fake.windowTimers[MAIN_WINDOW], 200);
    EXPECT_EQ(fake.titles[MAIN_WINDOW], "Music Editor V2.10[Noname]");
    EXPECT_EQ(text(1081), "Song position : 1.");
    EXPECT_EQ(text(1082), "Song size : 1 patterns.");
    EXPECT_EQ(text(1051), "00:00:0");
    EXPECT_EQ(fake.control(MAIN_WINDOW, 1240).entries.size(), 16u);
    EXPECT_EQ(fake.control(MAIN_WINDOW, 1231).selection, 0);
    EXPECT_EQ(fake.openDialogs.count(MAIN_WINDOW), 1u);
    EXPECT_EQ(fake.voices[4].fills, 1) << "the metronome click is ready";
    EXPECT_EQ(current_instrument, 1) << "the loop hands MIDI messages to the main window";
    EXPECT_EQ(midi.scans, 1) << "the keyboard was looked for at start";
    EXPECT_TRUE(midi.connected.empty()) << "MIDI connections end at the end";
    EXPECT_EQ(fake.liveTimerId, 0) << "the tick timer is killed at the end";
    EXPECT_EQ(ReadBytes(Ini()), (std::vector<uint8_t>{0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0,
                                                      0, 0, 0, 0, 5, 0, 0, 0, 4, 0, 0, 0}));
}

TEST_F(Program, FirstStartTakesTheNoteKeysFromTheDesktopAndTheMenuChangesThem) {
    fake.keyboardLayout = "be(oss)";
    RunProgram("");
    EXPECT_EQ(settings.keyboard_layout, 0);
    std::remove(Ini().c_str());
    fake.keyboardLayout = "us";
    RunProgram("");
    EXPECT_EQ(settings.keyboard_layout, 1);
    EXPECT_TRUE(fake.control(MAIN_WINDOW, CMD_QWERTY_KEYS).checked);
    EXPECT_FALSE(fake.control(MAIN_WINDOW, CMD_AZERTY_KEYS).checked);
    // The menu switches them and the choice is kept with the other settings; the file, once
    // written, wins over the desktop.
    main_window().OnCommand(CMD_AZERTY_KEYS, CMD_CLICKED);
    EXPECT_TRUE(fake.control(MAIN_WINDOW, CMD_AZERTY_KEYS).checked);
    EXPECT_FALSE(fake.control(MAIN_WINDOW, CMD_QWERTY_KEYS).checked);
    WriteSettings(); // as the run's end does
    RunProgram("");
    EXPECT_EQ(settings.keyboard_layout, 0);
}

TEST_F(Program, TheAudioLatencyChoiceIsKeptAndSetsThePeriodFromTheNextStart) {
    RunProgram("");
    EXPECT_EQ(fake.outputPeriods, 8) << "the default, Safe";
    EXPECT_TRUE(fake.control(MAIN_WINDOW, CMD_AUDIO_LATENCY_SAFE).checked);
    main_window().OnCommand(CMD_AUDIO_LATENCY_LOW, CMD_CLICKED);
    EXPECT_TRUE(fake.control(MAIN_WINDOW, CMD_AUDIO_LATENCY_LOW).checked);
    EXPECT_FALSE(fake.control(MAIN_WINDOW, CMD_AUDIO_LATENCY_NORMAL).checked);
    EXPECT_FALSE(fake.control(MAIN_WINDOW, CMD_AUDIO_LATENCY_SAFE).checked);
    EXPECT_EQ(text(STATUS_LINE),
              "Audio latency Low (2 periods of 256 frames) is used from the next start.");
    WriteSettings(); // as the run's end does
    RunProgram("");
    EXPECT_EQ(fake.outputPeriods, 2);
    EXPECT_TRUE(fake.control(MAIN_WINDOW, CMD_AUDIO_LATENCY_LOW).checked);
}

TEST_F(Program, ReadsAShortSettingsFileAndForgetsTheCursorStep) {
    WriteBytes(SETTINGS_FILE_NAME, {1, 0, 0, 0, 0, 0, 0, 0});
    RunProgram("");
    EXPECT_EQ(settings.keyboard_layout, 1);
    EXPECT_EQ(settings.record_enabled, 0);
    EXPECT_EQ(settings.countdown_start, 5);

    WriteBytes(Ini(), {0, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 7, 0, 0, 0, 2, 0, 0, 0, 8, 0, 0, 0});
    RunProgram("");
    EXPECT_EQ(settings.cursor_step, 0);
    EXPECT_EQ(settings.octave_shift, 1);
    EXPECT_EQ(fake.image(1261), 121);
    EXPECT_EQ(text(1276), "Countdown Start : 1.");
    EXPECT_EQ(text(1275), "Metronome Step : 8.");
    EXPECT_EQ(ReadBytes(Ini())[12], 0) << "the cursor step written back is 0";
}

TEST_F(Program, LoadsTheSongNamedOnTheCommandLine) {
    song.tempo = 5;
    song.song_loop = 0;
    song.song_size = 3;
    song.song_positions[0][0] = 4;
    SetCell(4, 0, Cell{2, 3});
    const std::string path = (scratch.dir / "start.son").string();
    ASSERT_EQ(WriteSongFile(path), SongFileResult::Done);

    RunProgram(path);
    EXPECT_EQ(song.tempo, 5);
    EXPECT_EQ(text(1113), "Tempo : 5 Bps (75 BPM)");
    EXPECT_EQ(fake.timerPeriodMs, 200);
    EXPECT_EQ(text(1082), "Song size : 3 patterns.");
    EXPECT_EQ(text(1051), "D-2:00:2");
    EXPECT_EQ(fake.titles[MAIN_WINDOW], "Music Editor V2.10[" + path + "]");
    EXPECT_EQ(play.warmup_ticks, 5);
    EXPECT_EQ(fake.image(1272), 134) << "the loop button shows the song's looping, off";
    EXPECT_TRUE(fake.boxes.empty());

    // A name that is not a song file starts an empty song and says why.
    WriteBytes("junk.son", {1, 2, 3, 4, 5});
    RunProgram("junk.son");
    EXPECT_EQ(fake.titles[MAIN_WINDOW], "Music Editor V2.10[Noname]");
    ASSERT_EQ(fake.boxes.size(), 1u);
    EXPECT_EQ(fake.boxes[0].caption, "Error message");

    // A name that cannot be opened says why, naming the file; a pipe is never waited on.
    std::filesystem::create_directory("folder.son");
    ASSERT_EQ(mkfifo("pipe.son", 0600), 0);
    std::filesystem::create_symlink("nowhere.son", "dangling.son");
    for (const auto& [name, why] : std::vector<std::pair<std::string, std::string>>{
             {"missing.son", "it was not found"},
             {"folder.son", "it is a folder"},
             {"pipe.son", "it is not a regular file"},
             {"dangling.son", "it is a link to a file that does not exist"}}) {
        fake.boxes.clear();
        RunProgram(name);
        ASSERT_EQ(fake.boxes.size(), 1u) << name;
        EXPECT_EQ(fake.boxes[0].text, "The file " + name + " could not be opened: " + why +
                                          ".\nThe song was not changed.");
    }
}

TEST_F(Program, MainLoopPassesPollOnlyAfterTheWarmUp) {
    // Start-up resets the key poll; a poll during the warm-up would read the key down again.
    key_state[int{'A'}] = KEY_HELD;
    fake.keysDown['A'] = true;
    fake.loopPasses = 4;
    RunProgram("");
    EXPECT_EQ(key_state[int{'A'}], KEY_UP)
        << "reset at start-up, not polled before the warm-up ends";

    play.warmup_ticks = WARMUP_TICKS;
    play.current_channel = 6;
    play.countdown_image = 129;
    MainLoopPass();
    EXPECT_EQ(key_state[int{'A'}], KEY_WENT_DOWN) << "polled once the warm-up is over";
    EXPECT_EQ(play.current_channel, 2);
    EXPECT_EQ(fake.image(1263), 129);
    // With the sound editor open only notes sound: ENTER does not start playback.
    sound_editor_open = 1;
    fake.keysDown = {{VKEY_ENTER, true}};
    MainLoopPass();
    EXPECT_EQ(play.playing, 0) << "commands are disabled while the sound editor is open";
    sound_editor_open = 0;
}

// The loop sleeps when a pass has nothing to do: a pass asks for the next one in a millisecond
// only while a key is down or the warm-up runs, and otherwise at the autosave's deadline or
// never (an event wakes it), also while a song plays: the tick wakes it for a count-down image.
TEST_F(Program, APassAsksForAnotherOnlyWhileItHasWork) {
    RunProgram("");
    EXPECT_EQ(MainLoopPass(), 1) << "the warm-up is still running";
    play.warmup_ticks = WARMUP_TICKS;
    fake.keysDown.clear();
    EXPECT_LT(MainLoopPass(), 0);
    fake.keysDown[VKEY_DOWN] = true; // held: its repeat is counted in passes
    EXPECT_EQ(MainLoopPass(), 1);
    fake.keysDown.clear();
    MainLoopPass(); // the release
    EXPECT_LT(MainLoopPass(), 0);
    play.metronome_enabled = 1;
    StartSongPlay();
    EXPECT_LT(MainLoopPass(), 0) << "playing alone needs no pass";
    fake.control(MAIN_WINDOW, COUNTDOWN_BUTTON).image = 0;
    SequencerTick(); // the first click of the count-down
    EXPECT_EQ(fake.wakes, 1) << "the count-down image wakes the loop";
    MainLoopPass();
    EXPECT_NE(fake.image(COUNTDOWN_BUTTON), 0) << "shown by the pass it woke";
    StopPlay();
    play.metronome_enabled = 0;
    EXPECT_LT(MainLoopPass(), 0);
    // Recording while the loop sleeps: the key's event brings the pass that writes the note on
    // the row the tick plays next.
    StartPatternPlay();
    SequencerTick();
    ASSERT_EQ(play.current_row, 1);
    fake.keysDown['T'] = true;
    EXPECT_EQ(MainLoopPass(), 1) << "a held key is polled every millisecond";
    EXPECT_FALSE(IsEmptyCell(GetCell(TrackAt(0, 0), 1)));
    fake.keysDown.clear();
    MainLoopPass();
    StopPlay();
    // An unsaved change: the next pass is due when its copy is.
    SetCell(1, 0, {0, 1});
    MarkSongModified();
    fake.clockMs += 1000;
    EXPECT_EQ(MainLoopPass(), AUTOSAVE_PERIOD_MS - 1000);
    KillTickTimer();
}

TEST_F(Program, QuitEndsTheLoop) {
    RunProgram("");
    fake.quitCode = -1;
    main_window().OnCommand(1201, CMD_CLICKED);
    EXPECT_EQ(fake.quitCode, 0);
    EXPECT_EQ(fake.openDialogs.count(MAIN_WINDOW), 0u);

    // Whoever sets the flag, the next pass ends the loop.
    fake.quitCode = -1;
    quit_requested = 1;
    MainLoopPass();
    EXPECT_EQ(fake.quitCode, 0);
    quit_requested = 0;
}

} // namespace
