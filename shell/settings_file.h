// The settings file "Tavomix.ini" in the working directory: six little-endian 32-bit integers
// (24 bytes, no header) that keep the user's preferences (`settings`, song/song_state.h) from one
// run to the next.
//
// Threads: UI thread, at start-up and at exit.
#pragma once

#include "song/song_state.h"

#include <cstdint>
#include <string>

constexpr const char* SETTINGS_FILE_NAME = "Tavomix.ini";
constexpr int SETTINGS_FILE_SIZE = 24;

// Reads the file in the order keyboard_layout, record_enabled, octave_shift, cursor_step,
// countdown_start, metronome_step. A missing file changes nothing; a short file fills the values
// it holds whole and leaves the rest; bytes past the 24th are ignored. Each value is brought to
// the nearest one its control allows.
bool ReadSettings();
// The note-key layout for a first start, from the desktop's keyboard layout (an XKB layout
// name such as "fr", "be(oss)" or "us"): 0, the A-key layout, for French and Belgian
// keyboards, 1, the Q-key layout, for every other.
int32_t NoteLayoutFor(const std::string& desktopLayout);
// Writes the six values (creating or truncating the file); a failure is silent.
void WriteSettings();
