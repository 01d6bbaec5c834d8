// The state of the song and of its playback, grouped by owner: the song itself, the play state
// shared with the sequencer tick, and the stored settings. Member names are the ones the rest
// of the program and its documents use; each group is one struct so that it can be saved,
// restored or reset in one assignment.
//
// Threads: the song and the settings are the UI thread's, except the words marked shared; the
// play state is shared by the UI thread and the tick. Every shared word is a SharedWord
// (relaxed atomic: no code relies on two of them changing together), so an edit made during
// playback is seen by the next tick that reads that cell.
#pragma once

#include "platform/shared_word.h"

#include <cstdint>

// ------------------------------------------------------------------- constants and cells

constexpr int TRACK_COUNT = 32;
constexpr int TRACK_ROWS = 64;
constexpr int TRACK_BYTES = 2 * TRACK_ROWS; // 128 bytes per track in the song file
constexpr int CHANNEL_COUNT = 4;
constexpr int POSITION_COUNT = 64;
constexpr int STORED_POSITION_COUNT = 50; // positions the song file keeps
constexpr int NOTE_NAME_COUNT = 256;

constexpr uint8_t NOTE_NONE = 0;
constexpr uint8_t NOTE_COMMAND = 255; // the cell's instrument byte holds a command code

// Command codes (instrument byte of a command cell).
constexpr uint8_t CMD_STOP_SOUND_TYPE = 0; // codes 0..3: stop the voice of that sound type
constexpr uint8_t CMD_STOP_SOUND_TYPE_LAST = 3;
constexpr uint8_t CMD_PATTERN_BREAK = 5; // next position's row 0 (song play) or row 0 again
constexpr uint8_t CMD_STOP_MUSIC = 6;    // stop playback

// One row of one track: an instrument and a note, or a command code and NOTE_COMMAND.
struct Cell {
    uint8_t instrument = 0;
    uint8_t note = 0;
};
inline bool operator==(Cell a, Cell b) {
    return a.instrument == b.instrument && a.note == b.note;
}
inline bool IsEmptyCell(Cell c) {
    return c.instrument == 0 && c.note == 0;
}
inline bool IsCommandCell(Cell c) {
    return c.note == NOTE_COMMAND;
}

// ------------------------------------------------------------------------------ the song

constexpr int SONG_NAME_SIZE = 256;

struct SongState {
    // The cells, each packed as instrument | note << 8 so that a cell is read and written whole;
    // shared. Use GetCell/SetCell (song/song_model.h); they ignore numbers out of range.
    SharedWord<uint16_t> tracks[TRACK_COUNT][TRACK_ROWS];
    // Per position and channel, the track number 0..31; shared. Entries 50..63 are editing
    // space only.
    SharedWord<int16_t> song_positions[POSITION_COUNT][CHANNEL_COUNT];
    int32_t tempo = 10;                        // rows per second
    SharedWord<int32_t> song_size{1};          // positions in use, 1..64; shared
    int32_t song_reserved = 0;                 // carried with the song file, otherwise unused
    SharedWord<int32_t> song_loop{1};          // 1: playback wraps to position 0 at the end; shared
    char song_name[SONG_NAME_SIZE] = "Noname"; // path of the song file last saved or loaded
    int song_modified = 0; // unsaved changes; change it through MarkSongModified
    uint8_t track_clipboard[TRACK_BYTES] = {};
    int track_clipboard_full = 0; // set by the first CopyTrack, never cleared
    int32_t pattern_clipboard[CHANNEL_COUNT] = {};
    int pattern_clipboard_full = 0; // set by the first CopyPattern, never cleared
};
extern SongState song;

// ------------------------------------------------------------------------ the play state

struct PlayState {
    // The cursor. `current_position` 0..song_size-1 and `current_row` 0..63 are the edit
    // cursor's and the sequencer's (UI thread and tick); `current_channel` 0..3 is the UI's.
    // `current_instrument` is the instrument bank's (sound/instrument_bank.h).
    SharedWord<int32_t> current_position;
    SharedWord<int16_t> current_row;
    SharedWord<int16_t> current_channel;

    SharedWord<int32_t> playing;           // 1 while the sequencer advances
    SharedWord<int32_t> song_play;         // 1 song play, 0 pattern play
    SharedWord<int32_t> play_armed;        // 0: the tick waits (recording waits for MIDI)
    SharedWord<int32_t> countdown_left;    // count-down clicks still to come
    SharedWord<int32_t> metronome_count;   // ticks since the last click
    SharedWord<int32_t> metronome_enabled; // 0/1, default 0; the tick reads it
    SharedWord<int32_t> channel_muted[CHANNEL_COUNT];
    SharedWord<int32_t> channel_level[CHANNEL_COUNT]; // meters, 0..4100
    // Per MIDI note number: sound type + 1 of a note sustained by that key, or 0. UI thread.
    int held_keys[128] = {};

    // Counts ticks up to 10; the UI polls the keyboard only when it is 10.
    SharedWord<int32_t> warmup_ticks;
    // Bitmap the count-down button is to show, 0 when nothing is pending. Written by the tick,
    // taken by the UI (ApplyTickRequests).
    SharedWord<int32_t> countdown_image;
    // Set by each warm-up tick: the keyboard-poll state is to be reset before the next poll.
    // The UI's key poll takes it (exchange with 0) and resets its own state.
    SharedWord<int32_t> keyboard_reset_pending;
};
extern PlayState play;

// ---------------------------------------------------------------------- the stored settings

// Kept in the settings file between runs (shell/settings_file.h).
struct StoredSettings {
    int32_t keyboard_layout = 0;           // 0: the note keys start at A, otherwise at Q
    int32_t record_enabled = 1;            // 0/1
    int32_t octave_shift = 0;              // 0/1: the note keys play one bank lower
    int32_t cursor_step = 0;               // rows the cursor moves after a note, 0..16
    int32_t countdown_start = 5;           // 1..6, shown as one less
    SharedWord<int32_t> metronome_step{4}; // rows between clicks, 2..16; the tick reads it
};
extern StoredSettings settings;
