#include "shell/key_commands.h"

#include "platform/desktop.h"
#include "shell/main_window.h"
#include "shell/pattern_view.h"
#include "shell/pattern_window.h"
#include "song/note_entry.h"
#include "song/sequencer.h"
#include "song/song_model.h"
#include "song/undo_history.h"
#include "sound/instrument_bank.h"

namespace {

constexpr auto kRelaxed = std::memory_order_relaxed;

// Sends a button's command to the main window, as a click on it would.
void SendCommand(int id) {
    main_window().OnCommand(id, CMD_CLICKED);
}

// --------------------------------------------------------------------------- the table

// What a command key needs besides going down: the modifiers held, and the state of playback.
enum class Held { Any, Ctrl, CtrlNotShift, Shift };
enum class When { Always, Playing, Recording, Stopped };

struct KeyCommand {
    int key;          // the virtual key that goes down
    Held held;        // modifiers that must be held (Any: whatever is held)
    When when;        // when the command applies
    const char* keys; // as the chart shows them; null: the line above covers this one
    const char* does; // what it does, for the chart
    bool (*act)();    // acts; false when it did not apply after all (the handler goes on)
};

bool Always(void (*action)()) {
    action();
    return true;
}

void PlaySongCommand() {
    SendCommand(BUTTON_PLAY_SONG);
}
void ToggleMetronome() {
    play.metronome_enabled.store(!play.metronome_enabled.load(kRelaxed), kRelaxed);
    ShowMetronomeButton();
}
void ToggleRecord() {
    settings.record_enabled = !settings.record_enabled;
    desktop().SetControlImage(MAIN_WINDOW, BUTTON_RECORD,
                              settings.record_enabled ? BITMAP_RECORD_ON : BITMAP_RECORD_OFF);
}
void StepInstrumentByte(int step) {
    Cell cell = CursorCell();
    cell.instrument = static_cast<uint8_t>((cell.instrument + step) % INSTRUMENT_COUNT);
    SetCursorCell(cell);
    RedrawCursor();
    MarkSongModified();
}
void ToggleMute(int c) {
    play.channel_muted[c].store(!play.channel_muted[c].load(kRelaxed), kRelaxed);
    ShowMuteButtons(0);
    pattern_window().Refresh();
}
void ShiftInstruments(bool up) {
    ShiftTrackInstruments(up);
    RedrawCursor();
    SelectCurrentEntries();
}
void StepChannel(int step) {
    play.current_channel.store(static_cast<int16_t>((CursorChannel() + step) % CHANNEL_COUNT),
                               kRelaxed);
    if (!IsPlaying()) RedrawCursorAndStatus();
}
void ClearCursorCell() {
    SetCursorCell({0, 0});
    RedrawCursor();
    MarkSongModified();
}
// F9: a stop command for the sound type of the last note before the cursor, when there is one.
bool StopLastSoundType() {
    const int t = FindLastSoundType();
    if (t < 0 || t >= SOUND_TYPE_COUNT) return false;
    SetCursorCell({static_cast<uint8_t>(CMD_STOP_SOUND_TYPE + t), NOTE_COMMAND});
    RedrawCursor();
    play.channel_level[CursorChannel()].store(0, kRelaxed);
    StopVoice(t);
    MarkSongModified();
    return true;
}
void ShiftOctave(bool up) {
    ShiftTrackOctave(up);
    RedrawCursor();
    MarkSongModified();
    play.channel_level[CursorChannel()].store(0, kRelaxed);
}
void WriteCommandCell(uint8_t code) {
    SetCursorCell({code, NOTE_COMMAND});
    RedrawCursor();
    MarkSongModified();
}
void MoveRow(int next) {
    SetCursorRow(next);
    RedrawCursorAndStatus();
}
int Row() {
    return play.current_row.load(kRelaxed);
}

// The commands in the order the handler tries them: the first that applies acts, and only when
// none does do the note keys play. Ctrl+Z comes before the note keys, so it never sounds the
// note its letter plays.
constexpr KeyCommand KEY_COMMANDS[] = {
    {VKEY_ENTER, Held::Any, When::Playing, "Enter", "play the song from row 0; stop",
     [] { return Always(StopPlay); }},
    {VKEY_TAB, Held::Any, When::Always, "Tab", "notes one octave lower, or back",
     [] { return Always(ToggleOctave); }},
    {VKEY_METRONOME, Held::Any, When::Always, "\xc2\xb2 or '", "metronome on or off",
     [] { return Always(ToggleMetronome); }},
    {VKEY_BACKSPACE, Held::Any, When::Always, "Backspace", "play the pattern; stop",
     [] {
         if (IsPlaying())
             StopPlay();
         else
             SendCommand(BUTTON_PLAY_PATTERN);
         return true;
     }},
    {VKEY_ENTER, Held::Any, When::Always, nullptr, nullptr, [] { return Always(PlaySongCommand); }},
    {VKEY_SPACE, Held::Any, When::Always, "Space", "record mode on or off",
     [] { return Always(ToggleRecord); }},
    {VKEY_PAD_PLUS, Held::Any, When::Always, "Pad + / -", "cell's instrument up / down",
     [] { return StepInstrumentByte(1), true; }},
    {VKEY_PAD_MINUS, Held::Any, When::Always, nullptr, nullptr,
     [] { return StepInstrumentByte(INSTRUMENT_COUNT - 1), true; }},
    {VKEY_F1 + 2, Held::Any, When::Always, "F3", "pattern window open / close",
     [] { return Always(TogglePatternWindow); }},
    {VKEY_F1 + 4, Held::Any, When::Always, "F5 .. F8", "mute channel 1 .. 4",
     [] { return ToggleMute(0), true; }},
    {VKEY_F1 + 5, Held::Any, When::Always, nullptr, nullptr, [] { return ToggleMute(1), true; }},
    {VKEY_F1 + 6, Held::Any, When::Always, nullptr, nullptr, [] { return ToggleMute(2), true; }},
    {VKEY_F1 + 7, Held::Any, When::Always, nullptr, nullptr, [] { return ToggleMute(3), true; }},
    {'Z', Held::CtrlNotShift, When::Always, "Ctrl+Z", "undo", [] { return Undo(), true; }},
    {'Y', Held::Ctrl, When::Always, "Ctrl+Y, Ctrl+Shift+Z", "redo", [] { return Redo(), true; }},
    {'Z', Held::Ctrl, When::Always, nullptr, nullptr, [] { return Redo(), true; }},
    {'C', Held::Ctrl, When::Always, "Ctrl+C / V", "copy / paste the track",
     [] { return SendCommand(BUTTON_COPY_TRACK), true; }},
    {'V', Held::Ctrl, When::Always, nullptr, nullptr,
     [] { return SendCommand(BUTTON_PASTE_TRACK), true; }},
    {VKEY_F1 + 10, Held::Ctrl, When::Always, "Ctrl+F11 / F12", "track's instruments down / up",
     [] { return ShiftInstruments(false), true; }},
    {VKEY_F1 + 11, Held::Ctrl, When::Always, nullptr, nullptr,
     [] { return ShiftInstruments(true), true; }},
    {'C', Held::Shift, When::Always, "Shift+C / V", "copy / paste the pattern",
     [] { return SendCommand(BUTTON_COPY_PATTERN), true; }},
    {'V', Held::Shift, When::Always, nullptr, nullptr,
     [] { return SendCommand(BUTTON_PASTE_PATTERN), true; }},
    {VKEY_RIGHT, Held::Any, When::Always, "Left / Right", "previous / next channel",
     [] { return StepChannel(1), true; }},
    {VKEY_LEFT, Held::Any, When::Always, nullptr, nullptr,
     [] { return StepChannel(CHANNEL_COUNT - 1), true; }},
    {VKEY_DELETE, Held::Any, When::Recording, "Delete", "clear the cell (record mode)",
     [] { return ClearCursorCell(), true; }},
    {VKEY_F1 + 8, Held::Any, When::Recording, "F9", "stop the last note's voice (record mode)",
     StopLastSoundType},
    {VKEY_F1 + 10, Held::Any, When::Recording, "F11 / F12", "track one octave down / up (record)",
     [] { return ShiftOctave(false), true; }},
    {VKEY_F1 + 11, Held::Any, When::Recording, nullptr, nullptr,
     [] { return ShiftOctave(true), true; }},
    {VKEY_F1, Held::Any, When::Stopped, "F1", "pattern break here",
     [] { return WriteCommandCell(CMD_PATTERN_BREAK), true; }},
    {VKEY_F1 + 1, Held::Any, When::Stopped, "F2", "stop the music here",
     [] { return WriteCommandCell(CMD_STOP_MUSIC), true; }},
    {VKEY_PAGE_UP, Held::Any, When::Stopped, "Page Up / Down", "16 rows up / down",
     [] { return MoveRow(Row() - 16 < 0 ? Row() - 16 + TRACK_ROWS : Row() - 16), true; }},
    {VKEY_PAGE_DOWN, Held::Any, When::Stopped, nullptr, nullptr,
     [] { return MoveRow(Row() + 16 > 63 ? Row() + 16 - TRACK_ROWS : Row() + 16), true; }},
    {VKEY_HOME, Held::Any, When::Stopped, "Home / End", "first / last row",
     [] { return MoveRow(0), true; }},
    {VKEY_END, Held::Any, When::Stopped, nullptr, nullptr,
     [] { return MoveRow(TRACK_ROWS - 1), true; }},
    {VKEY_UP, Held::Any, When::Stopped, "Up / Down", "one row up / down",
     [] { return MoveRow(Row() > 0 ? Row() - 1 : Row()), true; }},
    {VKEY_DOWN, Held::Any, When::Stopped, nullptr, nullptr,
     [] { return MoveRow(Row() < TRACK_ROWS - 1 ? Row() + 1 : Row()), true; }},
};

bool HeldAsNeeded(Held held) {
    switch (held) {
    case Held::Any: return true;
    case Held::Ctrl: return IsHeld(VKEY_CONTROL);
    case Held::CtrlNotShift: return IsHeld(VKEY_CONTROL) && !IsHeld(VKEY_SHIFT);
    case Held::Shift: return IsHeld(VKEY_SHIFT);
    }
    return false;
}

bool Applies(When when) {
    switch (when) {
    case When::Always: return true;
    case When::Playing: return IsPlaying();
    case When::Recording: return RecordingNow();
    case When::Stopped: return !IsPlaying();
    }
    return false;
}

// The commands of the key handler, in their order; true when one acted.
bool CommandKeys() {
    for (const KeyCommand& command : KEY_COMMANDS)
        if (WentDown(command.key) && HeldAsNeeded(command.held) && Applies(command.when) &&
            command.act())
            return true;
    return false;
}

} // namespace

std::vector<KeyCommandLine> KeyCommandChart() {
    std::vector<KeyCommandLine> lines;
    for (const KeyCommand& command : KEY_COMMANDS)
        if (command.keys) lines.push_back({command.keys, command.does});
    return lines;
}

void HandleKeys(int commandsEnabled) {
    if (commandsEnabled && CommandKeys()) return;
    EnterKeyboardNote(commandsEnabled);
}
