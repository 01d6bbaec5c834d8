// The pattern view and the rest of the main window's drawing: the nine rows per channel around
// the cursor, the row-number column, the song position and size texts, the track and instrument
// selectors, the status line of the cursor cell, the picture buttons, the colours of the pattern
// statics, the four level meters and the tool tips.
//
// Threads: UI thread only. During playback the redraw reads `current_row` and
// `current_position` while the tick changes them; a redraw may show a row one tick old.
#pragma once

#include "platform/desktop.h"
#include "resources/resource_ids.h"
#include "song/song_model.h"

#include <array>
#include <iterator>
#include <string>

// ------------------------------------------------------------------------- control ids
// The pattern view's controls in resources/resource_ids.h come one per channel.
static_assert(std::size(UPPER_BOX) == CHANNEL_COUNT && std::size(CURSOR_BOX) == CHANNEL_COUNT &&
              std::size(LOWER_BOX) == CHANNEL_COUNT && std::size(TRACK_SELECTOR) == CHANNEL_COUNT &&
              std::size(MUTE_BUTTON) == CHANNEL_COUNT && std::size(LEVEL_METER) == CHANNEL_COUNT);

// ------------------------------------------------------------------------------ colours
constexpr Rgb HIGHLIGHT_BACKGROUND = 0xFFFFFF; // statics of the cursor's channel
constexpr Rgb NORMAL_BACKGROUND = 0xD2D2D2;    // statics of the other channels
constexpr Rgb BOX_TEXT = 0x000078;             // rows above and below
constexpr Rgb CURSOR_TEXT = 0x006400;          // the cursor row
constexpr Rgb METER_OFF = 0x000000;
constexpr Rgb METER_GREEN = 0x00FF00;
constexpr Rgb METER_YELLOW = 0xFFFF00;
constexpr Rgb METER_RED = 0xFF0000;
constexpr int METER_ROWS = 41;

// ------------------------------------------------------------------------------- texts
// "C-2:00:3": note name, ":00:", instrument byte in lower-case hexadecimal.
std::string CellText(Cell cell);
// The text of an upper (rows r-4..r-1) or lower (rows r+1..r+4) box of `track` for cursor row
// `row`: one line per row, a blank line for a row outside 0..63, empty when no row is inside.
std::string UpperBoxText(int track, int row);
std::string LowerBoxText(int track, int row);
// The 1-based row numbers beside the boxes for cursor row `row` (0..63).
std::string RowNumbersText(int row);
// The status-line text for a cell.
std::string CellStatusText(Cell cell);

// ---------------------------------------------------------------------------- drawing
// Clamps `row` to 0..63, selects the tracks of `current_position` and `current_instrument` in
// the selectors, then fills the twelve pattern statics and the row numbers for `row` and
// `position`, and colours the statics by `current_channel`.
void RedrawPatternView(int row, int position);
// Selects the selectors' entries, then "Song size : %d patterns." and "Song position : %d.".
void ShowSongInfo();
// The status line of the cursor cell.
void ShowCursorCell();
// Rebuilds the four track selectors ("00".."31") and the instrument selector, then selects.
void FillSelectors(const int trackNumbers[CHANNEL_COUNT], int instrument);
// Selects entries without rebuilding.
void SelectEntries(const int trackNumbers[CHANNEL_COUNT], int instrument);
// FillSelectors / SelectEntries with the tracks of `current_position` and `current_instrument`.
void FillCurrentSelectors();
void SelectCurrentEntries();
// For a MUTE_BUTTON id toggles that channel's mute flag; then shows each mute button's image.
void ShowMuteButtons(int id);
void ShowOctaveButton();
void ShowMetronomeButton();
// Text and background colours of the twelve pattern statics by `current_channel`.
void ColourPatternView();
// The 41 rows of a meter for `level`, top first: black above, then red, yellow and green zones.
std::array<Rgb, METER_ROWS> MeterRows(int level);
// Paints the four meters from `channel_level`.
void DrawMeters();
// The tool tips of the main window's buttons and the instrument selector.
void SetUpToolTips();
