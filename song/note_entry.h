// Note entry: the PC keyboard and a MIDI keyboard as an instrument and as an editor. Every note
// is sounded at once with `current_instrument`; in record mode it is also written at the cursor,
// in step time while stopped (the cursor then moves on by `cursor_step`) or in real time during
// playback (at the row the sequencer plays next). The PC keyboard also carries the editing
// commands: transport, cursor movement, copy and paste, command cells, mutes, octave and
// instrument edits.
//
// The PC keyboard is polled, not read from key messages: each pass of the main loop (about once
// a millisecond) queries all 256 virtual keys, then the handler acts on the keys that went down.
// Auto-repeat of UP and DOWN is counted on a steady clock.
//
// Threads: UI thread only. The handlers write cells, the cursor, the play state and the channel
// levels that the sequencer tick reads and writes on its own thread (all atomic words), and they
// hold `sound_engine_lock` for each whole note they play and for each voice they stop.
#pragma once

#include "song/song_model.h"

#include <cstdint>

// ------------------------------------------------------------------------------ key state
constexpr int KEY_COUNT = 256;
constexpr uint8_t KEY_UP = 0;
constexpr uint8_t KEY_WENT_DOWN = 1; // down now, up at the poll before
constexpr uint8_t KEY_HELD = 2;      // down now and at the poll before

// Auto-repeat of UP and DOWN, in milliseconds of the platform's steady clock (one pass of the
// main loop's designed period): the first repeat comes 800 ms after the press, each later one
// 100 ms sooner than the one before, down to every 100 ms.
constexpr int REPEAT_FIRST_DELAY = 800;
constexpr int REPEAT_DELAY_STEP = 100;
constexpr int REPEAT_MIN_DELAY = 100;

// Virtual-key codes the handler reads. Letters and digits are their upper-case characters
// ('A'..'Z' 0x41..0x5A, '0'..'9' 0x30..0x39).
constexpr int VKEY_BACKSPACE = 0x08;
constexpr int VKEY_TAB = 0x09;
constexpr int VKEY_ENTER = 0x0D;
constexpr int VKEY_SHIFT = 0x10;
constexpr int VKEY_CONTROL = 0x11;
constexpr int VKEY_SPACE = 0x20;
constexpr int VKEY_PAGE_UP = 0x21;
constexpr int VKEY_PAGE_DOWN = 0x22;
constexpr int VKEY_END = 0x23;
constexpr int VKEY_HOME = 0x24;
constexpr int VKEY_LEFT = 0x25;
constexpr int VKEY_UP = 0x26;
constexpr int VKEY_RIGHT = 0x27;
constexpr int VKEY_DOWN = 0x28;
constexpr int VKEY_DELETE = 0x2E;
constexpr int VKEY_PAD_PLUS = 0x6B;  // numeric pad
constexpr int VKEY_PAD_MINUS = 0x6D; // numeric pad
constexpr int VKEY_F1 = 0x70;        // F1..F12 are 0x70..0x7B
constexpr int VKEY_COMMA = 0xBC;
constexpr int VKEY_PERIOD = 0xBE;
constexpr int VKEY_METRONOME = 0xDE; // the key left of 1 on AZERTY, the quote key on QWERTY

// Per virtual key: KEY_UP, KEY_WENT_DOWN or KEY_HELD, as the last poll left it.
extern uint8_t key_state[KEY_COUNT];
// Commands and notes act on a key that went down in this poll; Ctrl and Shift count as held
// whether they went down now or before.
inline bool WentDown(int vk) {
    return key_state[vk] == KEY_WENT_DOWN;
}
inline bool IsHeld(int vk) {
    return key_state[vk] != KEY_UP;
}

// ------------------------------------------------------------------------------ operations

// True while any key reads down in the last poll (held, or gone down).
bool KeysDown();
// All key states up, no repeat due, both repeat delays back to 800; the presses the platform
// keeps for the next query are dropped too.
void ResetKeyboard();
// After a dialog had the keyboard: resets, then takes every key down now as held, so that a key
// held while the dialog closed neither acts as a press nor repeats until it is released.
void TakeHeldKeys();
// Takes `keyboard_reset_pending` (resetting first when it was set), then queries every virtual
// key 0..255 exactly once with IsKeyDown and updates the key state and the auto-repeat of UP and
// DOWN. The platform reports a key down while it is down and also at the first query after a
// press released before it, so that a tap between two polls still acts once.
void PollKeyboard();
// The note keys of this poll (the last step of the key handler, shell/key_commands.h): none
// pressed does nothing; in record mode with `commandsEnabled` 1 the note is recorded, and in
// every case it sounds.
void EnterKeyboardNote(int commandsEnabled);
// One MIDI short message: note on and off, control change, pitch bend. Bytes out of range (a
// status below 0x80, a data byte above 127) make the whole message ignored. Controller 0 set
// to 63 toggles the octave and set to 66 moves the cursor's channel; no other message does.
void HandleMidiMessage(uint8_t status, uint8_t data1, uint8_t data2);

// The note number of the note keys pressed in this poll (the highest key wins, the period key
// overrides all), with the octave toggle applied; 0 when no note key went down.
int KeyboardNote();
// The note number the key `vk` plays in a note layout (`keyboard_layout` 0 or not), octave
// toggle off; 0 for a key that plays none. The Keys window's chart comes from here.
int NoteOfKey(int layout, int vk);
// The note number a MIDI key enters, or 0 for keys outside 18..78.
int MidiNote(int key);

// ------------------------------------------------------------ shared with the key commands

// The cursor's channel 0..3, and whether the sequencer is playing.
int CursorChannel();
bool IsPlaying();
// Moves the cursor to `row` (0..63).
void SetCursorRow(int row);
// Redraws the pattern view at the cursor, and with it the status line, through the display
// hooks.
void RedrawCursor();
void RedrawCursorAndStatus();
// Record mode is on and the count-down is over: notes and edit keys write cells.
bool RecordingNow();
// The cursor cell: `current_row` of the current track.
Cell CursorCell();
void SetCursorCell(Cell cell);
// Stops the voice of a sound type, with the engine lock.
void StopVoice(int soundType);
// Toggles `octave_shift` and shows it on its button.
void ToggleOctave();
// Sounds note n with the current instrument on the current channel's meter (+2045 up to 1500,
// else `riseAbove`), then marks the song modified.
void PlayNote(int note, int riseAbove);
// Writes note n at the cursor (allocating a track first when the cursor's channel has none and
// `allocate` is set); while stopped the cursor then moves on by the cursor step, wrapping.
void RecordNote(int note, bool allocate);
