// The song file (".son"): a 4-byte header ("TV", the loop flag "S" or "X", the packed flag)
// followed by the 5,916-byte song state packed in one compressed block, or, in files from
// elsewhere, the state unpacked. docs/song-file.md describes the layout.
//
// Threads: UI thread. Loading holds the sound-engine lock while it replaces the instruments.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr size_t SONG_FILE_HEADER_SIZE = 4;
constexpr size_t SONG_STATE_SIZE = 5916;
constexpr size_t SONG_STATE_TRACKS = 12;       // offset of the tracks
constexpr size_t SONG_STATE_POSITIONS = 4108;  // offset of positions 0..49
constexpr size_t SONG_STATE_BANK = 4508;       // offset of the 16 instrument records
constexpr size_t SONG_FILE_MAX_PACKED = 64512; // bytes read after the header

enum class SongFileResult {
    Done,
    Cancelled,      // the file dialog was cancelled
    CannotOpen,     // the file could not be opened
    NotASongFile,   // it does not begin with "TV"
    Damaged,        // a song file whose contents are out of range or cut short: refused
    WriteFailed,    // the file could not be written completely; any earlier file is kept
    NotRegularFile, // the chosen name is a folder, a device or a pipe: nothing was written
};

// The song state of the song in memory, laid out as the file stores it.
void EncodeSongState(uint8_t out[SONG_STATE_SIZE]);

// Tempo as the tempo control keeps it: 60 / (60 / t) in integer arithmetic, so only 1..8, 10,
// 12, 15, 20, 30 and 60 remain. `t` must be 1..60.
int32_t NormaliseTempo(int32_t t);

// Writes the song to `path` (through a temporary file, so a failed save never destroys the
// file that was there; see WriteFileSafely for links and permissions) and, on success, makes
// `path` the song's name. Sets the warm-up to 5 ticks in every case.
SongFileResult WriteSongFile(const std::string& path);
// The bytes of a song file of the song in memory, as WriteSongFile writes them; false when the
// song could not be packed. Changes nothing (the recovery copy is made from it).
bool PackSongFile(std::vector<uint8_t>& out);

// Loads the song at `path`: the song fields, the first 50 positions, `song_loop` and the
// instruments. The whole file is checked before anything changes (a packed block must decode to
// exactly the 5,916 bytes of the state); a file that is refused leaves the song, its name and
// `song_loop` as they were. A path that is not a regular file gives CannotOpen at once. Sets the
// warm-up to 5 ticks in every case. The caller refreshes the display.
SongFileResult LoadSongFile(const std::string& path);

// LoadSongFile on a file's bytes already in memory (read at most 4 + 64,512 of them); the song
// name is not changed. Any bytes are safe.
SongFileResult LoadSongBytes(std::vector<uint8_t>& file);

// The save and open dialogs ("Song Saver", "Song Loader"), then WriteSongFile / LoadSongFile.
SongFileResult SaveSong();
SongFileResult LoadSong();
