// The sound bank file (".fms"): the 16 instrument records of 88 bytes, instrument 0 first,
// 1,408 bytes with no header.
//
// Threads: UI thread; the instruments are replaced with the sound-engine lock held.
#pragma once

#include "files/song_file.h"

#include <string>
#include <vector>

// Writes the bank to `path` (through a temporary file; a failed save keeps the earlier file;
// see WriteFileSafely for links and permissions).
SongFileResult WriteSoundBankFile(const std::string& path);
// Reads a bank; a file that is not exactly 1,408 bytes is refused and the bank stays as it was.
SongFileResult ReadSoundBankFile(const std::string& path);
// The same for a file's bytes already in memory.
SongFileResult ReadSoundBankBytes(const std::vector<uint8_t>& bytes);

// The save and open dialogs ("FM Samples Saver", "FM Samples Loader"), then the file.
SongFileResult SaveSoundBank();
SongFileResult LoadSoundBank();
