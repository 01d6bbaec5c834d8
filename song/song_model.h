// The operations on the song in memory (song/song_state.h): cells, note names, and the edits
// that change the song as a whole.
//
// Sections: cells | display hooks | operations.
//
// Threads: the operations run on the UI thread. The sequencer tick (song/sequencer.h) reads the
// tracks, the positions, `song_size`, `song_loop`, `channel_muted` and the play state, and writes
// `current_row`, `current_position`, the play flags, the counters and `channel_level`.
#pragma once

#include "song/song_state.h"

#include <cstdint>

// -------------------------------------------------------------------------- cells

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

// -------------------------------------------------------------------------- display hooks
// The one way the logic below the window asks it for a redraw or a refresh: the song
// operations, note entry and MIDI call these; the main window installs its own functions
// (InstallSongDisplay); until then each is a no-op. Called on the UI thread only, never from
// the tick.
struct SongDisplay {
    void (*redrawPatternView)() = nullptr; // the pattern view at the cursor
    void (*showSongInfo)() = nullptr;      // the song position and size texts
    void (*fillSelectors)() = nullptr;     // rebuild the track and instrument selectors
    void (*selectEntries)() = nullptr;     // select the cursor's tracks and instrument in them
    void (*updateTitle)() = nullptr;       // the title with `song_name` and "*" when modified
    void (*refreshSettings)() = nullptr;   // tempo and step displays, the loop button
    void (*showCursorCell)() = nullptr;    // the status line of the cursor cell
    void (*showOctaveButton)() = nullptr;  // the octave toggle's image
    void (*showHistory)() = nullptr;       // whether undo and redo are possible (the Edit menu)
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
// instrument to 0, tempo 10, loop on, unmodified; refreshes the displays (the settings refresh
// restarts the tick timer at the new tempo). Keeps the positions, song size, row, instruments,
// name and clipboards. Returns false when the user cancelled.
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
