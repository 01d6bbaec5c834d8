// The song in memory: 32 tracks of 64 two-byte cells, the song positions that name one track per
// channel, the song fields, the editing state, the play state shared with the sequencer tick, the
// two copy buffers, the note names, and the operations that change the song as a whole.
//
// Sections: constants and cells | song storage | editing state | play state | settings the
// sequencer reads | display hooks | operations.
//
// Threads: the operations run on the UI thread. The sequencer tick (song/sequencer.h) reads the
// tracks, the positions, `song_size`, `song_loop`, `channel_muted` and the play state, and writes
// `current_row`, `current_position`, the play flags, the counters and `channel_level`. Every word
// the two threads share is an atomic (relaxed order: no code relies on two of them changing
// together), so an edit made during playback is seen by the next tick that reads that cell.
#pragma once

#include <atomic>
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

// -------------------------------------------------------------------------- song storage

// The cells, each packed as instrument | note << 8 so that a cell is read and written whole.
// Use GetCell/SetCell; they ignore track or row numbers out of range.
extern std::atomic<uint16_t> tracks[TRACK_COUNT][TRACK_ROWS];
// Per position and channel, the track number 0..31. Entries 50..63 are editing space only.
extern std::atomic<int16_t> song_positions[POSITION_COUNT][CHANNEL_COUNT];

extern int32_t tempo;                  // rows per second; UI thread
extern std::atomic<int32_t> song_size; // positions in use, 1..64
extern int32_t song_reserved;          // carried with the song file, otherwise unused
extern std::atomic<int32_t> song_loop; // 1: playback wraps to position 0 at the end

// The cell at `row` of `track`; an empty cell when either is out of range. Any thread.
Cell GetCell(int track, int row);
// Writes the cell; does nothing when `track` or `row` is out of range. UI thread.
void SetCell(int track, int row, Cell cell);
// The track number a position names for a channel, or -1 when the position or channel is out of
// range. The result may still be outside 0..31 if such a number was stored. Any thread.
int TrackAt(int position, int channel);
// The track's 128 bytes in song-file order (instrument, note per row); an out-of-range track reads
// as empty and ignores writes. UI thread.
void ReadTrackBytes(int track, uint8_t out[TRACK_BYTES]);
void WriteTrackBytes(int track, const uint8_t in[TRACK_BYTES]);

// -------------------------------------------------------------------------- editing state

// 0..song_size-1; written by the UI thread and by the tick.
extern std::atomic<int32_t> current_position;
// 0..63, the row of the edit cursor and of the sequencer; UI thread and tick.
extern std::atomic<int16_t> current_row;
// 0..3; UI thread (the tick never reads it).
extern std::atomic<int16_t> current_channel;
// `current_instrument` is the instrument bank's (sound/instrument_bank.h).

extern uint8_t track_clipboard[TRACK_BYTES];
extern int track_clipboard_full; // set by the first CopyTrack, never cleared
extern int32_t pattern_clipboard[CHANNEL_COUNT];
extern int pattern_clipboard_full; // set by the first CopyPattern, never cleared
extern int song_modified;          // unsaved changes; change it through MarkSongModified
constexpr int SONG_NAME_SIZE = 256;
extern char song_name[SONG_NAME_SIZE]; // path of the song file last saved or loaded

// ----------------------------------------------------------------------------- play state
// All shared by the UI thread and the tick.

extern std::atomic<int32_t> playing;         // 1 while the sequencer advances
extern std::atomic<int32_t> song_play;       // 1 song play, 0 pattern play
extern std::atomic<int32_t> play_armed;      // 0: the tick waits (recording waits for MIDI)
extern std::atomic<int32_t> countdown_left;  // count-down clicks still to come
extern std::atomic<int32_t> metronome_count; // ticks since the last click
extern std::atomic<int32_t> channel_muted[CHANNEL_COUNT];
extern std::atomic<int32_t> channel_level[CHANNEL_COUNT]; // meters, 0..4100
// Per MIDI note number: sound type + 1 of a note sustained by that key, or 0. UI thread.
extern int held_keys[128];

// ------------------------------------------------------------- settings the sequencer reads
// Stored by the settings file; the tick reads the two metronome words.

extern std::atomic<int32_t> metronome_enabled; // 0/1, default 0
extern std::atomic<int32_t> metronome_step;    // rows between clicks, 2..16, default 4
extern int32_t record_enabled;                 // 0/1, default 1; UI thread
extern int32_t countdown_start;                // 1..6, default 5; UI thread

// -------------------------------------------------------------------------- display hooks
// What the song operations ask of the main window. The window installs its own functions;
// until then each is a no-op. Called on the UI thread only, never from the tick.
struct SongDisplay {
    void (*redrawPatternView)(); // the pattern view at `current_row` and `current_position`
    void (*showSongInfo)();      // the song position and size texts
    void (*fillSelectors)();     // the four track selectors and the instrument selector
    void (*updateTitle)();       // the title with `song_name` and "*" when modified
    void (*refreshSettings)();   // tempo and step displays, the loop button
};
extern SongDisplay song_display;
// Puts every hook back to its no-op.
void ResetSongDisplay();

// ----------------------------------------------------------------------------- operations
// UI thread. The current track is the one `song_positions` names for `current_position` and
// `current_channel`; the cursor cell is `current_row` of it.

// The text shown for a note number: "C-2", "F#X", "00" for notes without a name, "FF" for a
// command; at most 3 characters.
const char* NoteName(int note);

// Program start: every track empty, every position (0,0,0,0), size 1, cursor at 0, tempo 10,
// loop on, clipboards empty, unmodified, "Noname", play state cleared. Settings untouched.
void ResetSong();

// Sets `song_modified` to 1 and refreshes the title.
void MarkSongModified();
// The current track number (may be out of 0..31 only if such a number was stored).
int CurrentTrack();

// After confirmation when the song is modified: empties every track, puts the cursor and the
// instrument to 0, tempo 10 (restarting the tick timer), loop on, unmodified; refreshes the
// displays. Keeps the positions, song size, row, instruments, name and clipboards. Returns false
// when the user cancelled.
bool NewSong();
// Each asks for confirmation first and returns false when cancelled or refused; the paste
// operations report an empty copy buffer in an error box.
bool ClearTrack();
void CopyTrack();
bool PasteTrack();
void CopyPattern();
bool PastePattern();
// Stores the four selector choices as the current position's tracks; a choice outside 0..31
// (a selector with nothing chosen) leaves that channel's track as it was.
void SetPositionTracks(const int trackNumbers[CHANNEL_COUNT]);
// Makes k the current instrument; k outside 0..15 is ignored.
void SetCurrentInstrument(int k);
// Clamps to 1..64 and moves the cursor to position 0.
void SetSongSize(int size);
// Clamps to 0..song_size-1.
void SetCurrentPosition(int position);
// When the current track is 0: hands out the first empty track 1..31 to the cursor's position and
// channel, or reports that all tracks are full. Returns whether a track was handed out.
bool AllocateTrack();
// Moves every note of the current track one octave up or down, unless a note has no place there.
void ShiftTrackOctave(bool up);
// Renumbers the cells of the current instrument by one, and the current instrument with them.
void ShiftTrackInstruments(bool up);
// The sound type of the last note before the cursor in the cursor's channel, walking back
// through the positions; -1 when a command comes first or no such note exists.
int FindLastSoundType();
