// The settings file "Tavomix.ini" in the working directory: six little-endian 32-bit integers
// (24 bytes, no header) that keep the user's preferences from one run to the next, and the
// three shell settings that no other module owns.
//
// Threads: UI thread, at start-up and at exit.
#pragma once

#include <cstdint>

constexpr const char* SETTINGS_FILE_NAME = "Tavomix.ini";
constexpr int SETTINGS_FILE_SIZE = 24;

// 0: note keys laid out from the A key; nonzero: from the Q key. Only the file changes it.
extern int32_t keyboard_layout;
// Octave toggle of button 1261, 0 or 1.
extern int32_t octave_shift;
// Rows the edit cursor moves after a note is entered, 0..16 (0 at every start).
extern int32_t cursor_step;

// Reads the file in the order keyboard_layout, record_enabled, octave_shift, cursor_step,
// countdown_start, metronome_step. A missing file changes nothing; a short file fills the values
// it holds whole and leaves the rest; bytes past the 24th are ignored. Values are taken as
// stored: the scroll bars clamp them when the user next moves them.
void ReadSettings();
// Writes the six values (creating or truncating the file); a failure is silent.
void WriteSettings();
