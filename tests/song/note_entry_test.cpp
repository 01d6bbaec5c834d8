#include "song/note_entry.h"

#include "shell/key_commands.h"
#include "shell/program.h"

#include "tests/shell/shell_fixture.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <mutex>
#include <string>
#include <vector>

namespace {

constexpr const char* kTracksFull = "All 32 tracks are full !!!\nNo more tracks are available.\n";
constexpr int kF1 = VKEY_F1;

// The main window on a fresh song, bank and fake platform, stopped, record mode on, count-down
// over, cursor step 0, layout A, octave off.
class NoteEntryTest : public ShellFixture {
  protected:
    void SetUp() override {
        ShellFixture::SetUp();
        play.keyboard_reset_pending = 0;
        for (auto& k : play.held_keys) k = 0;
        FillCurrentSelectors(); // as at start-up
        ResetKeyboard();
    }

    // One pass of the main loop with these keys down, a millisecond after the last.
    void Poll(std::initializer_list<int> keys, int commandsEnabled = 1) {
        fake.keysDown.clear();
        for (int k : keys) fake.keysDown[k] = true;
        ++fake.clockMs;
        PollKeyboard();
        HandleKeys(commandsEnabled);
    }
    // Keys pressed together for one pass, then released for one pass.
    void Tap(std::initializer_list<int> keys, int commandsEnabled = 1) {
        Poll(keys, commandsEnabled);
        Poll({}, commandsEnabled);
    }
    Cell CellAt(int row, int channel = -1) {
        const int c = channel < 0 ? play.current_channel.load() : channel;
        return GetCell(TrackAt(play.current_position, c), row);
    }
    int Plays(int voice) { return fake.voices[voice].plays; }
    int Image(int id) { return fake.image(id); }
    void Midi(int status, int d1, int d2) {
        HandleMidiMessage(static_cast<uint8_t>(status), static_cast<uint8_t>(d1),
                          static_cast<uint8_t>(d2));
    }
    void FillAllTracks() {
        for (int t = 1; t < TRACK_COUNT; ++t) SetCell(t, 0, {1, 1});
    }
};

// ------------------------------------------------------------------------ key poll

TEST_F(NoteEntryTest, KeyStateGoesDownThenHeldThenUp) {
    Poll({'Q'});
    EXPECT_EQ(key_state[int{'Q'}], KEY_WENT_DOWN);
    Poll({'Q'});
    EXPECT_EQ(key_state[int{'Q'}], KEY_HELD);
    Poll({});
    EXPECT_EQ(key_state[int{'Q'}], KEY_UP);
}

TEST_F(NoteEntryTest, HoldingUpRepeatsAfter800PollsThenSoonerDownTo100) {
    play.current_row = 63;
    std::vector<int> moves; // the polls at which the row moved
    for (int poll = 1; poll <= 3800; ++poll) {
        const int before = play.current_row;
        Poll({VKEY_UP});
        if (play.current_row != before) moves.push_back(poll);
    }
    const std::vector<int> expected = {1, 801, 1501, 2101, 2601, 3001, 3301, 3501, 3601, 3701};
    EXPECT_EQ(moves, expected);

    // Releasing restores the first delay: a press moves at once, the repeat comes 800 later.
    Poll({});
    moves.clear();
    for (int poll = 1; poll <= 801; ++poll) {
        const int before = play.current_row;
        Poll({VKEY_DOWN});
        if (play.current_row != before) moves.push_back(poll);
    }
    EXPECT_EQ(moves, (std::vector<int>{1, 801}));
    Poll({});
    moves.clear();
    for (int poll = 1; poll <= 801; ++poll) {
        const int before = play.current_row;
        Poll({VKEY_UP});
        if (play.current_row != before) moves.push_back(poll);
    }
    EXPECT_EQ(moves, (std::vector<int>{1, 801})) << "UP's delay is its own, reset on release";
}

TEST_F(NoteEntryTest, OtherKeysDoNotRepeatAndResetPendingIsTakenOnce) {
    for (int i = 0; i < 1000; ++i) Poll({VKEY_PAGE_DOWN});
    EXPECT_EQ(play.current_row, 16);

    // The tick asks for a reset: the held key reads as a fresh press once more.
    play.keyboard_reset_pending = 1;
    Poll({VKEY_PAGE_DOWN});
    EXPECT_EQ(play.keyboard_reset_pending, 0);
    EXPECT_EQ(play.current_row, 32);
    Poll({VKEY_PAGE_DOWN});
    EXPECT_EQ(play.current_row, 32);
}

TEST_F(NoteEntryTest, ResetKeyboardRestoresTheFirstRepeatDelay) {
    play.current_row = 63;
    for (int i = 0; i < 1501; ++i) Poll({VKEY_UP}); // delay now 600
    ResetKeyboard();
    const int row = play.current_row;
    int moves = 0, last = 0;
    for (int poll = 1; poll <= 801; ++poll) {
        const int before = play.current_row;
        Poll({VKEY_UP});
        if (play.current_row != before) ++moves, last = poll;
    }
    EXPECT_EQ(moves, 2);
    EXPECT_EQ(last, 801);
    EXPECT_EQ(play.current_row, row - 2);
}

// The delays are milliseconds on the platform's clock: however late the passes come, holding
// DOWN for five seconds moves the cursor as often as with a pass every millisecond.
TEST_F(NoteEntryTest, RepeatsKeepTheirRateWhenPassesComeLate) {
    for (int every : {1, 3, 7}) {
        play.current_row = 0;
        Poll({});
        const int64_t start = fake.clockMs;
        while (fake.clockMs - start < 5000) {
            fake.clockMs += every - 1;
            Poll({VKEY_DOWN});
        }
        EXPECT_EQ(play.current_row, 22) << "a pass every " << every << " ms";
    }
}

// ---------------------------------------------------------------------- note numbers

TEST_F(NoteEntryTest, LayoutAReadsFromTheAKey) {
    settings.keyboard_layout = 0;
    const std::pair<int, int> cases[] = {{'A', 1},  {'2', 2},  {'Z', 3},   {'W', 13},
                                         {'U', 12}, {'K', 25}, {0xBC, 24}, {0xBE, 26}};
    for (auto [key, note] : cases) {
        Poll({key}, 0);
        EXPECT_EQ(KeyboardNote(), note) << key;
        Poll({}, 0);
    }
    Poll({'Q'}, 0);
    EXPECT_EQ(KeyboardNote(), 0) << "Q is no note key in this layout";
    Poll({'M'}, 0);
    EXPECT_EQ(KeyboardNote(), 0);
}

TEST_F(NoteEntryTest, LayoutQReadsFromTheQKeyAndTheHighestKeyWins) {
    settings.keyboard_layout = 1;
    const std::pair<int, int> cases[] = {{'Q', 1}, {'W', 3}, {'Z', 13}, {'M', 24}, {'K', 25}};
    for (auto [key, note] : cases) {
        Poll({key}, 0);
        EXPECT_EQ(KeyboardNote(), note) << key;
        Poll({}, 0);
    }
    Poll({'Q', 'K'}, 0);
    EXPECT_EQ(KeyboardNote(), 25);
    Poll({}, 0);
    Poll({'K', 0xBE, 'Q'}, 0);
    EXPECT_EQ(KeyboardNote(), 26) << "the period key overrides";
    Poll({}, 0);
    settings.octave_shift = 1;
    Poll({'Q'}, 0);
    EXPECT_EQ(KeyboardNote(), 33);
    Poll({'Q'}, 0);
    EXPECT_EQ(KeyboardNote(), 0) << "a key still held is no new note";
}

TEST_F(NoteEntryTest, QAndKTogetherEnterNote25) {
    settings.keyboard_layout = 1;
    Tap({'Q', 'K'});
    EXPECT_EQ(CellAt(0), (Cell{0, 25}));
}

// ---------------------------------------------------------------------- recording

TEST_F(NoteEntryTest, StepRecordingWrapsPastRow63) {
    settings.cursor_step = 4;
    play.current_row = 62;
    current_instrument = 3;
    Tap({'E'});
    EXPECT_EQ(TrackAt(0, 0), 1) << "a track is handed out for channel 0";
    EXPECT_EQ(CellAt(62), (Cell{3, 5}));
    EXPECT_EQ(play.current_row, 2);
    EXPECT_EQ(Plays(0), 1);
    EXPECT_EQ(song.song_modified, 1);
    EXPECT_EQ(fake.titles[MAIN_WINDOW], "Music Editor V2.10[Noname*]");
    EXPECT_EQ(play.channel_level[0], 2045);
    EXPECT_EQ(fake.control(MAIN_WINDOW, 1051).text, "00:00:0") << "the view shows row 2";
}

TEST_F(NoteEntryTest, RecordingDuringPatternPlayLandsOnTheRowPlayedNext) {
    play.current_row = 10;
    SetCell(5, 0, {1, 1});
    song.song_positions[0][1] = 5;
    play.current_channel = 1;
    Tap({VKEY_BACKSPACE});
    EXPECT_EQ(play.playing, 1);
    EXPECT_EQ(play.song_play, 0);
    SequencerTick(); // the count-down is skipped with the metronome off: row 10 plays
    EXPECT_EQ(play.current_row, 11);
    const int plays = Plays(0);
    Tap({'T'});
    EXPECT_EQ(CellAt(11), (Cell{0, 8}));
    EXPECT_EQ(play.current_row, 11) << "no cursor step during playback";
    EXPECT_EQ(Plays(0), plays + 1);
    SequencerTick();
    EXPECT_EQ(Plays(0), plays + 2) << "the tick plays the new cell";
    EXPECT_EQ(play.current_row, 12);
}

TEST_F(NoteEntryTest, RecordOffSoundsAndMarksButWritesNothing) {
    settings.record_enabled = 0;
    current_instrument = 4;
    SoundBank[4].soundType = 2;
    Tap({'A'});
    EXPECT_EQ(Plays(2), 1);
    EXPECT_EQ(song.song_modified, 1);
    EXPECT_EQ(TrackAt(0, 0), 0) << "no track for a note not recorded";
    EXPECT_EQ(CellAt(0), (Cell{}));

    // A MIDI note still allocates a track for the cursor's channel, and writes nothing.
    play.current_channel = 2;
    Midi(0x90, 60, 100);
    EXPECT_EQ(TrackAt(0, 2), 1);
    EXPECT_EQ(CellAt(0), (Cell{}));
    EXPECT_EQ(Plays(2), 2);
}

TEST_F(NoteEntryTest, CountDownRunningWritesNothing) {
    play.countdown_left = 2;
    Tap({'A'});
    EXPECT_EQ(CellAt(0), (Cell{}));
    EXPECT_EQ(Plays(0), 1);
    Tap({VKEY_DELETE});
    Midi(0x90, 60, 100);
    EXPECT_EQ(CellAt(0), (Cell{}));
}

TEST_F(NoteEntryTest, WithTheSoundEditorOpenOnlyNotesSound) {
    Tap({VKEY_ENTER}, 0);
    EXPECT_EQ(play.playing, 0) << "ENTER does not start playback";
    Tap({VKEY_SPACE}, 0);
    EXPECT_EQ(settings.record_enabled, 1);
    Tap({VKEY_DOWN}, 0);
    EXPECT_EQ(play.current_row, 0);
    Tap({'A'}, 0);
    EXPECT_EQ(Plays(0), 1);
    EXPECT_EQ(CellAt(0), (Cell{})) << "never records";
    EXPECT_EQ(TrackAt(0, 0), 0);
}

TEST_F(NoteEntryTest, TrackTableFullShowsTheBoxAndWritesTrackZero) {
    FillAllTracks();
    Tap({'A'});
    ASSERT_EQ(fake.boxes.size(), 1u);
    EXPECT_EQ(fake.boxes[0].text, kTracksFull);
    EXPECT_EQ(fake.boxes[0].caption, "Error message");
    EXPECT_EQ(GetCell(0, 0), (Cell{0, 1}));

    // One box per MIDI note, with record mode on or off.
    Midi(0x90, 60, 100);
    EXPECT_EQ(fake.boxes.size(), 2u);
    settings.record_enabled = 0;
    Midi(0x90, 61, 100);
    EXPECT_EQ(fake.boxes.size(), 3u);
    Tap({'A'});
    EXPECT_EQ(fake.boxes.size(), 3u) << "an unrecorded key note allocates nothing";
}

// ---------------------------------------------------------------------- command keys

TEST_F(NoteEntryTest, TransportKeys) {
    play.current_row = 20;
    settings.record_enabled = 0;
    Tap({VKEY_ENTER});
    EXPECT_EQ(play.playing, 1);
    EXPECT_EQ(play.song_play, 1);
    EXPECT_EQ(play.current_row, 0);
    EXPECT_EQ(play.metronome_count, 3);
    Tap({VKEY_ENTER});
    EXPECT_EQ(play.playing, 0);
    play.current_row = 20;
    Tap({VKEY_BACKSPACE});
    EXPECT_EQ(play.playing, 1);
    EXPECT_EQ(play.song_play, 0);
    EXPECT_EQ(play.current_row, 20);
    Tap({VKEY_BACKSPACE});
    EXPECT_EQ(play.playing, 0);
}

TEST_F(NoteEntryTest, ToggleKeysChangeStateAndImages) {
    Tap({VKEY_TAB});
    EXPECT_EQ(settings.octave_shift, 1);
    EXPECT_EQ(Image(1261), BITMAP_OCTAVE_LOW);
    Tap({VKEY_METRONOME});
    EXPECT_EQ(play.metronome_enabled, 1);
    EXPECT_EQ(Image(1262), BITMAP_METRONOME_ON);
    Tap({VKEY_SPACE});
    EXPECT_EQ(settings.record_enabled, 0);
    EXPECT_EQ(Image(1089), BITMAP_RECORD_OFF);
    Tap({kF1 + 6}); // F7
    EXPECT_EQ(play.channel_muted[2], 1);
    EXPECT_EQ(Image(1259), BITMAP_SPEAKER_OFF);
    EXPECT_EQ(Image(1258), BITMAP_SPEAKER_ON);
    EXPECT_EQ(song.song_modified, 0);
}

TEST_F(NoteEntryTest, CopyAndPasteKeysSendTheButtonsCommands) {
    song.song_positions[0][0] = 3;
    SetCell(3, 7, {2, 9});
    Tap({VKEY_CONTROL, 'V'});
    ASSERT_EQ(fake.boxes.size(), 1u);
    EXPECT_EQ(fake.boxes[0].text, "Track copy buffer is empty !!!");
    Tap({VKEY_CONTROL, 'C'});
    EXPECT_EQ(song.track_clipboard_full, 1);
    EXPECT_EQ(song.track_clipboard[14], 2);
    Tap({VKEY_SHIFT, 'C'});
    EXPECT_EQ(song.pattern_clipboard_full, 1);
    EXPECT_EQ(song.pattern_clipboard[0], 3);
    EXPECT_EQ(CellAt(0), (Cell{})) << "C with Ctrl or Shift is no note";
    // Shift held with another key goes on to the notes.
    Tap({VKEY_SHIFT, 'A'});
    EXPECT_EQ(CellAt(0), (Cell{0, 1}));
}

TEST_F(NoteEntryTest, CursorAndChannelKeys) {
    Tap({VKEY_PAGE_UP});
    EXPECT_EQ(play.current_row, 48);
    Tap({VKEY_PAGE_DOWN});
    EXPECT_EQ(play.current_row, 0);
    Tap({VKEY_END});
    EXPECT_EQ(play.current_row, 63);
    Tap({VKEY_DOWN});
    EXPECT_EQ(play.current_row, 63);
    Tap({VKEY_HOME});
    Tap({VKEY_UP});
    EXPECT_EQ(play.current_row, 0);
    Tap({VKEY_LEFT});
    EXPECT_EQ(play.current_channel, 3);
    Tap({VKEY_RIGHT});
    EXPECT_EQ(play.current_channel, 0);
    EXPECT_EQ(fake.control(MAIN_WINDOW, STATUS_LINE).text, "No note or command...");

    // While playing the cursor keys do nothing and the note keys still act.
    play.playing = 1;
    Tap({VKEY_DOWN});
    EXPECT_EQ(play.current_row, 0);
    Tap({VKEY_DOWN, 'A'});
    EXPECT_EQ(CellAt(0), (Cell{0, 1}));
}

TEST_F(NoteEntryTest, EditKeysWriteCommandCellsAndInstrumentBytes) {
    song.song_positions[0][0] = 2;
    Tap({kF1});
    EXPECT_EQ(CellAt(0), (Cell{CMD_PATTERN_BREAK, 255}));
    settings.record_enabled = 0; // F1 and F2 need no record mode
    play.current_row = 1;
    Tap({kF1 + 1});
    EXPECT_EQ(CellAt(1), (Cell{CMD_STOP_MUSIC, 255}));
    EXPECT_EQ(song.song_modified, 1);
    Tap({VKEY_DELETE});
    EXPECT_EQ(CellAt(1), (Cell{CMD_STOP_MUSIC, 255})) << "DELETE needs record mode";
    settings.record_enabled = 1;
    Tap({VKEY_DELETE});
    EXPECT_EQ(CellAt(1), (Cell{}));

    // Numeric-pad plus and minus renumber the byte, whatever the cell holds, modulo 16.
    SetCell(2, 1, {15, 4});
    Tap({VKEY_PAD_PLUS});
    EXPECT_EQ(CellAt(1), (Cell{0, 4}));
    Tap({VKEY_PAD_MINUS});
    Tap({VKEY_PAD_MINUS});
    EXPECT_EQ(CellAt(1), (Cell{14, 4}));
}

TEST_F(NoteEntryTest, F9WritesAStopForTheLastSoundTypeAndStopsIt) {
    song.song_positions[0][0] = 2;
    SoundBank[2].soundType = 1;
    SetCell(2, 3, {2, 10});
    play.current_row = 6;
    {
        const EngineLockGuard lock(sound_engine_lock);
        StartSound(1);
        ClearStartedFlags();
    }
    play.channel_level[0] = 3000;
    Tap({kF1 + 8});
    EXPECT_EQ(CellAt(6), (Cell{1, 255}));
    EXPECT_EQ(play.channel_level[0], 0);
    EXPECT_FALSE(fake.voices[1].playing);

    // No note before the cursor: F9 does nothing and the keys go on.
    play.current_row = 2;
    Tap({kF1 + 8});
    EXPECT_EQ(CellAt(2), (Cell{}));
}

TEST_F(NoteEntryTest, F11AndF12ShiftTheTrackOrWithCtrlItsInstruments) {
    song.song_positions[0][0] = 2;
    SetCell(2, 0, {0, 1});
    Tap({kF1 + 11});
    EXPECT_EQ(CellAt(0), (Cell{0, 13}));
    Tap({kF1 + 10});
    EXPECT_EQ(CellAt(0), (Cell{0, 1}));
    Tap({VKEY_CONTROL, kF1 + 11});
    EXPECT_EQ(CellAt(0), (Cell{1, 1}));
    EXPECT_EQ(current_instrument, 1);
    EXPECT_EQ(fake.control(MAIN_WINDOW, INSTRUMENT_SELECTOR).selection, 1);
}

// ---------------------------------------------------------------------- MIDI

TEST_F(NoteEntryTest, MidiKeysMapOntoTheTwoBanks) {
    Midi(0x90, 60, 100);
    EXPECT_EQ(CellAt(0), (Cell{0, 13})) << "C-3";
    EXPECT_STREQ(NoteName(13), "C-3");
    Midi(0x93, 47, 100); // the channel nibble is ignored
    EXPECT_EQ(CellAt(0), (Cell{0, 62}));
    EXPECT_STREQ(NoteName(62), "F-2");
    const int plays = Plays(0);
    Midi(0x90, 17, 100);
    Midi(0x90, 79, 100);
    EXPECT_EQ(Plays(0), plays) << "keys outside 18..78 are ignored";
    EXPECT_EQ(CellAt(0), (Cell{0, 62}));

    EXPECT_EQ(MidiNote(18), 33);
    EXPECT_EQ(MidiNote(48), 1);
    EXPECT_EQ(MidiNote(78), 31);
    settings.octave_shift = 1;
    EXPECT_EQ(MidiNote(60), 45);
    EXPECT_EQ(MidiNote(47), 62) << "the lower keys ignore the octave toggle";
    EXPECT_EQ(MidiNote(78), 63);
}

TEST_F(NoteEntryTest, MidiStepRecordingMovesTheCursorAndSetsTheMidiLevel) {
    settings.cursor_step = 2;
    play.channel_level[0] = 1600;
    Midi(0x90, 48, 100);
    EXPECT_EQ(CellAt(0), (Cell{0, 1}));
    EXPECT_EQ(play.current_row, 2);
    EXPECT_EQ(play.channel_level[0], 2100) << "+500 above 1500 for MIDI";
    EXPECT_EQ(play.play_armed, 1);
}

TEST_F(NoteEntryTest, SustainedNoteAndItsVelocityZeroReleaseWriteAStop) {
    SoundBank[0].soundType = 2;
    SoundBank[0].fade = 7;
    SoundBank[0].useLength = 0;
    Tap({VKEY_BACKSPACE}); // pattern play, record on
    SequencerTick();
    EXPECT_EQ(play.countdown_left, 0);
    play.current_row = 5;
    Midi(0x90, 60, 100);
    EXPECT_EQ(play.held_keys[60], 3);
    EXPECT_EQ(CellAt(5), (Cell{0, 13}));
    EXPECT_TRUE(fake.voices[2].playing);

    // A note-off message does not release.
    Midi(0x80, 60, 0);
    EXPECT_EQ(play.held_keys[60], 3);
    EXPECT_TRUE(fake.voices[2].playing);

    play.current_row = 9;
    play.channel_level[0] = 2000;
    Midi(0x90, 60, 0);
    EXPECT_EQ(play.held_keys[60], 0);
    EXPECT_EQ(CellAt(9), (Cell{2, 255})) << "a stop for sound type 2";
    EXPECT_FALSE(fake.voices[2].playing);
    EXPECT_EQ(play.channel_level[0], 0);
    EXPECT_EQ(play.current_row, 9);
}

TEST_F(NoteEntryTest, HeldKeysFollowSustainPlaybackAndTheSoundType) {
    SoundBank[0].soundType = 1;
    SoundBank[0].fade = 7;
    Midi(0x90, 60, 100);
    EXPECT_EQ(play.held_keys[60], 0) << "not held while stopped";
    play.playing = 1;
    Midi(0x90, 60, 100);
    EXPECT_EQ(play.held_keys[60], 2);
    Midi(0x90, 62, 100);
    EXPECT_EQ(play.held_keys[60], 0) << "a later key of the same type takes over";
    EXPECT_EQ(play.held_keys[62], 2);
    SoundBank[0].fade = 8;
    Midi(0x90, 64, 100);
    EXPECT_EQ(play.held_keys[62], 0);
    EXPECT_EQ(play.held_keys[64], 0) << "a fading instrument does not sustain";

    // A release of a key not held does nothing; with record off it still stops the voice.
    Midi(0x90, 70, 5);
    SoundBank[0].fade = 0;
    Midi(0x90, 64, 100);
    settings.record_enabled = 0;
    const Cell before = CellAt(0);
    Midi(0x90, 64, 19);
    EXPECT_EQ(play.held_keys[64], 0);
    EXPECT_FALSE(fake.voices[1].playing);
    EXPECT_EQ(CellAt(0), before);
}

TEST_F(NoteEntryTest, ControllerZeroValues63And66) {
    play.play_armed = 0;
    Midi(0xB0, 0, 63);
    EXPECT_EQ(settings.octave_shift, 1);
    EXPECT_EQ(Image(1261), BITMAP_OCTAVE_LOW);
    EXPECT_EQ(play.play_armed, 1);
    play.play_armed = 0;
    Midi(0xB0, 0, 66);
    EXPECT_EQ(play.current_channel, 1);
    EXPECT_EQ(play.play_armed, 1);
    Midi(0xB0, 1, 66);
    EXPECT_EQ(play.current_channel, 1) << "only controller 0";
    Midi(0xFE, 0, 66);
    EXPECT_EQ(play.current_channel, 1) << "active sensing is ignored whole";
    for (int i = 0; i < 3; ++i) Midi(0xB0, 0, 66);
    EXPECT_EQ(play.current_channel, 0);

    // A 7-bit pitch wheel passes E0 00 3F and E0 00 42 on its way: it arms, and leaves the
    // octave and the channel alone.
    play.play_armed = 0;
    Midi(0xE0, 0, 63);
    Midi(0xE0, 0, 66);
    Midi(0x90, 0, 63);
    Midi(0x80, 0, 66);
    EXPECT_EQ(settings.octave_shift, 1);
    EXPECT_EQ(play.current_channel, 0);
    EXPECT_EQ(play.play_armed, 1);
}

TEST_F(NoteEntryTest, PitchBendExtremesChangeTheInstrument) {
    Midi(0xE0, 0, 0);
    EXPECT_EQ(current_instrument, 15);
    EXPECT_EQ(fake.control(MAIN_WINDOW, INSTRUMENT_SELECTOR).selection, 15);
    Midi(0xE0, 127, 127);
    EXPECT_EQ(current_instrument, 0);
    Midi(0xE0, 0, 127);
    EXPECT_EQ(current_instrument, 1);
    Midi(0xE0, 64, 64);
    EXPECT_EQ(current_instrument, 1);
    play.play_armed = 0;
    Midi(0xC0, 5, 0);
    EXPECT_EQ(play.play_armed, 0) << "other messages do not arm";
}

TEST_F(NoteEntryTest, BytesOutOfRangeAreIgnored) {
    Midi(0x90, 200, 100);
    Midi(0x90, 60, 200);
    Midi(0x3C, 64, 100);
    Midi(0xE0, 0, 255);
    EXPECT_EQ(CellAt(0), (Cell{}));
    EXPECT_EQ(current_instrument, 0);
    EXPECT_EQ(Plays(0), 0);

    // Any key 0..127 may be released; an instrument of an unknown sound type is never held.
    Midi(0x90, 127, 0);
    Midi(0x90, 0, 0);
    play.playing = 1;
    SoundBank[0].soundType = 9;
    SoundBank[0].fade = 7;
    Midi(0x90, 60, 100);
    EXPECT_EQ(play.held_keys[60], 0);
    EXPECT_EQ(CellAt(0), (Cell{0, 13}));
}

// ---------------------------------------------------------------------- wiring

TEST_F(NoteEntryTest, MidiReachesNoteEntryAndAResetDropsThePlatformsKeptPresses) {
    main_window().OnMidi(0x90, 60, 100);
    EXPECT_EQ(CellAt(0), (Cell{0, 13}));
    Poll({'A'});
    ResetKeyboard();
    EXPECT_EQ(key_state[int{'A'}], KEY_UP);
    EXPECT_GT(fake.keyPressDrops, 0) << "the platform's kept presses go with a reset";
}

// What is typed into a dialog is the dialog's: the name "TUNE" typed into Save Song with record
// on, SPACE, BACKSPACE and DELETE, and ENTER that accepts it and is still held afterwards,
// change no cell and start nothing. Released and pressed again, ENTER plays the song.
TEST_F(NoteEntryTest, KeysTypedIntoADialogNeverReachTheSong) {
    Tap({'A'});
    const std::vector<Cell> before = [&] {
        std::vector<Cell> cells;
        for (int row = 0; row < TRACK_ROWS; ++row) cells.push_back(CellAt(row));
        return cells;
    }();
    auto pass = [&](std::initializer_list<int> keys) {
        fake.keysDown.clear();
        for (int k : keys) fake.keysDown[k] = true;
        ++fake.clockMs;
        MainLoopPass();
    };
    fake.whileDialogOpen = [&] {
        for (int key :
             {int{'T'}, int{'U'}, int{'N'}, int{'E'}, VKEY_SPACE, VKEY_BACKSPACE, VKEY_DELETE}) {
            pass({key});
            pass({});
        }
        pass({VKEY_ENTER});
    };
    fake.dialogPaths = {(scratch.dir / "tune.son").string()};
    Click(CMD_SAVE_SONG);
    fake.whileDialogOpen = nullptr;
    play.warmup_ticks = WARMUP_TICKS; // the hold-off after a save is over
    for (int i = 0; i < 3; ++i) pass({VKEY_ENTER});

    for (int row = 0; row < TRACK_ROWS; ++row) EXPECT_EQ(CellAt(row), before[row]) << row;
    EXPECT_EQ(settings.record_enabled, 1);
    EXPECT_EQ(play.playing, 0);
    pass({});
    pass({VKEY_ENTER});
    EXPECT_EQ(play.playing, 1);
}

} // namespace
