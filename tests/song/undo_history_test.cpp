// Undo and redo through the main window on the fake platform: every kind of change, the cursor
// put back, the unsaved mark following the history, the bound, a recording take as one step,
// Ctrl+Z before the note keys, and the Edit menu's greying.
#include "song/undo_history.h"

#include "files/song_file.h"
#include "shell/program.h"
#include "song/note_entry.h"
#include "tests/shell/shell_fixture.h"

#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

namespace {

class UndoTest : public ShellFixture {
  protected:
    void SetUp() override {
        ShellFixture::SetUp();
        FillCurrentSelectors();
        ResetKeyboard();
        ResetUndoHistory();
    }
    // One pass of the main loop with these keys down.
    void Pass(std::initializer_list<int> keys = {}) {
        fake.keysDown.clear();
        for (int k : keys) fake.keysDown[k] = true;
        ++fake.clockMs;
        MainLoopPass();
    }
    void Tap(std::initializer_list<int> keys) {
        Pass(keys);
        Pass();
    }
    // Everything a step covers: the packed song state and the loop flag.
    std::vector<uint8_t> Song() {
        std::vector<uint8_t> state(SONG_STATE_SIZE + 1);
        EncodeSongState(state.data());
        state.back() = static_cast<uint8_t>(song.song_loop.load());
        return state;
    }
    bool Undoable(int id) { return control(id).enabled; }
    Cell CellAt(int row) {
        return GetCell(TrackAt(play.current_position, play.current_channel), row);
    }
};

TEST_F(UndoTest, EveryKindOfChangeIsUndoneAndRedone) {
    SetCell(3, 0, {2, 5});
    song.song_positions[0][1] = 3;
    Pass();
    ResetUndoHistory();
    const std::vector<std::pair<std::string, std::function<void()>>> changes = {
        {"note key", [&] { Tap({'A'}); }},
        {"octave shift", [&] { Tap({VKEY_F1 + 11}); }},
        {"instrument shift",
         [&] {
             Tap({VKEY_CONTROL, VKEY_F1 + 11});
         }},
        {"DELETE", [&] { Tap({VKEY_DELETE}); }},
        {"F1 command cell", [&] { Tap({VKEY_F1}); }},
        {"copy and paste track",
         [&] {
             Tap({VKEY_CONTROL, 'C'});
             play.current_channel = 1;
             fake.answers = {true};
             Tap({VKEY_CONTROL, 'V'});
         }},
        {"track choice",
         [&] {
             const int tracks[CHANNEL_COUNT] = {7, 3, 0, 0};
             SetPositionTracks(tracks);
         }},
        {"song size", [&] { Scroll(SCROLL_SONG_SIZE, SB_LINEDOWN); }},
        {"tempo", [&] { Scroll(SCROLL_TEMPO, SB_LINEDOWN); }},
        {"loop", [&] { Click(BUTTON_LOOP); }},
        {"bank", [&] { std::snprintf(SoundBank[4].name, INSTRUMENT_NAME_SIZE, "kick"); }},
        {"new song",
         [&] {
             fake.answers = {true};
             Click(CMD_NEW_SONG);
         }},
    };
    for (const auto& [what, change] : changes) {
        SCOPED_TRACE(what);
        const std::vector<uint8_t> before = Song();
        change();
        Pass();
        const std::vector<uint8_t> after = Song();
        ASSERT_NE(before, after);
        ASSERT_TRUE(Undo());
        EXPECT_EQ(Song(), before);
        ASSERT_TRUE(Redo());
        EXPECT_EQ(Song(), after);
    }
    // A change after an undo drops the undone step: nothing is left to redo over it.
    ASSERT_TRUE(Undo());
    Click(BUTTON_LOOP);
    Pass();
    const std::vector<uint8_t> changed = Song();
    EXPECT_FALSE(Redo());
    EXPECT_EQ(Song(), changed);
    // Back through all of them to the start, one step each.
    for (size_t i = 0; i < changes.size(); ++i) EXPECT_TRUE(Undo());
    EXPECT_FALSE(Undo());
    EXPECT_EQ(GetCell(3, 0), (Cell{2, 5}));
}

TEST_F(UndoTest, UndoPutsTheCursorBackAndRefreshesTheWindow) {
    settings.cursor_step = 4;
    play.current_row = 10;
    current_instrument = 3;
    Pass();
    Tap({'A'}); // written at row 10, the cursor moves on to 14
    EXPECT_EQ(play.current_row, 14);
    play.current_row = 40;
    play.current_channel = 2;
    current_instrument = 5;
    Pass();
    ASSERT_TRUE(Undo());
    EXPECT_EQ(play.current_row, 10);
    EXPECT_EQ(play.current_channel, 0);
    EXPECT_EQ(current_instrument, 3);
    EXPECT_EQ(text(CURSOR_BOX[0]), "00:00:0");
    EXPECT_EQ(control(INSTRUMENT_SELECTOR).selection, 3);
    ASSERT_TRUE(Redo());
    EXPECT_EQ(text(CURSOR_BOX[0]), "C-2:00:3");
}

TEST_F(UndoTest, TheUnsavedMarkFollowsTheHistory) {
    Tap({'A'});
    fake.dialogPaths = {(scratch.dir / "tune.son").string()};
    Click(CMD_SAVE_SONG);
    play.warmup_ticks = WARMUP_TICKS; // the hold-off after a save is over
    Pass();
    EXPECT_EQ(title().find("*]"), std::string::npos);
    Tap({'Z'});
    EXPECT_NE(title().find("*]"), std::string::npos);
    ASSERT_TRUE(Undo());
    EXPECT_EQ(title().find("*]"), std::string::npos) << "back to the saved state";
    EXPECT_EQ(song.song_modified, 0);
    ASSERT_TRUE(Redo());
    EXPECT_NE(title().find("*]"), std::string::npos);
    ASSERT_TRUE(Undo());
    ASSERT_TRUE(Undo()); // before the save: unsaved again
    EXPECT_EQ(song.song_modified, 1);
}

TEST_F(UndoTest, TheHistoryKeepsTheLast500StepsInBoundedMemory) {
    for (int i = 0; i < UNDO_LIMIT + 100; ++i) {
        SetCell(1, i % TRACK_ROWS, {uint8_t(i % 16), uint8_t(1 + i % 70)});
        Pass();
    }
    int undone = 0;
    while (Undo()) ++undone;
    EXPECT_EQ(undone, UNDO_LIMIT);
    EXPECT_LT(UndoStepBytes(), 8000u);
}

TEST_F(UndoTest, ARecordingTakeIsOneStepAndTheSoundEditorsEditsAnother) {
    StartPatternPlay();
    play.countdown_left = 0;
    for (int key : {int{'A'}, int{'E'}, int{'T'}}) {
        Tap({key});
        play.current_row = int16_t(play.current_row + 1);
    }
    StopPlay();
    Pass();
    ASSERT_TRUE(Undo());
    for (int row = 0; row < 4; ++row) EXPECT_EQ(CellAt(row), Cell{}) << row;
    EXPECT_FALSE(Undo());

    sound_editor_open = 1;
    std::snprintf(SoundBank[0].name, INSTRUMENT_NAME_SIZE, "lead");
    Pass();
    SoundBank[0].fade = 9;
    Pass();
    EXPECT_FALSE(CanUndo()) << "nothing is taken while the editor is open";
    sound_editor_open = 0;
    Pass();
    ASSERT_TRUE(Undo());
    EXPECT_STREQ(SoundBank[0].name, "dummy 0");
    EXPECT_EQ(SoundBank[0].fade, 0);
}

TEST_F(UndoTest, CtrlZUndoesWithoutSoundingItsNoteAndTheEditMenuGreys) {
    Pass();
    EXPECT_FALSE(Undoable(CMD_UNDO));
    EXPECT_FALSE(Undoable(CMD_REDO));
    Tap({'A'});
    EXPECT_TRUE(Undoable(CMD_UNDO));
    const int plays = fake.voices[0].plays;
    Tap({VKEY_CONTROL, 'Z'}); // Z is a note key of this layout
    EXPECT_EQ(fake.voices[0].plays, plays);
    EXPECT_EQ(CellAt(0), Cell{});
    EXPECT_FALSE(Undoable(CMD_UNDO));
    EXPECT_TRUE(Undoable(CMD_REDO));
    Tap({VKEY_CONTROL, VKEY_SHIFT, 'Z'});
    EXPECT_EQ(CellAt(0), (Cell{0, 1}));
    Tap({VKEY_CONTROL, 'Z'});
    Tap({VKEY_CONTROL, 'Y'});
    EXPECT_EQ(CellAt(0), (Cell{0, 1}));
    Click(CMD_UNDO);
    EXPECT_EQ(CellAt(0), Cell{});
    Click(CMD_REDO);
    EXPECT_EQ(CellAt(0), (Cell{0, 1}));
}

} // namespace
