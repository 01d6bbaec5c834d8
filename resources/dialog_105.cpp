// Dialog 105: the main window, 307 x 168 dialog units. Controls bottom to top: the pictures, the
// frames, then every control the code addresses.

#include "resources/dialog_template.h"
#include "resources/resource_ids.h"

#include <iterator>

namespace {

using enum ControlKind;

constexpr int NO = CONTROL_NO_ID;
constexpr uint32_t PATTERN_BOX = CTL_CENTRED | CTL_SUNKEN; // four rows above or below the cursor
constexpr uint32_t TRACK_LIST = CTL_COMBO_LIST | CTL_SORTED;

constexpr ControlTemplate CONTROLS[] = {
    // Decoration. A picture's rectangle is its bitmap's pixel size at REFERENCE_BASE_UNITS,
    // rounded up to whole dialog units.
    {NO, Picture, 7, 8, 50, 60, "", 0, BITMAP_SOUND_CHIP},
    {NO, Picture, 59, 13, 48, 31, "", 0, BITMAP_CLEF}, // clef and staff, behind the level meters
    {NO, Picture, 57, 56, 80, 9, "", 0, BITMAP_TITLE_LETTERING},
    {NO, GroupBox, 4, 98, 135, 66, "Song information", 0, 0},
    {NO, GroupBox, 140, 3, 160, 120, "", 0, 0},  // around the pattern view
    {NO, GroupBox, 140, 124, 160, 38, "", 0, 0}, // around the instrument and transport

    // Level meters of channels 1..4, drawn into by the code.
    {LEVEL_METER[0], Frame, 72, 14, 6, 20, "", CTL_BLACK_FRAME, 0},
    {LEVEL_METER[1], Frame, 80, 14, 6, 20, "", CTL_BLACK_FRAME, 0},
    {LEVEL_METER[2], Frame, 88, 14, 6, 20, "", CTL_BLACK_FRAME, 0},
    {LEVEL_METER[3], Frame, 96, 14, 6, 20, "", CTL_BLACK_FRAME, 0},
    {COUNTDOWN_BUTTON, BitmapButton, 111, 12, 23, 19, "Count-down", 0, 0},

    // Sound editor, clear, copy and paste of tracks and patterns.
    {BUTTON_SOUND_EDITOR, BitmapButton, 7, 66, 20, 18, "Sound editor", 0, 0},
    {BUTTON_CLEAR_TRACK, BitmapButton, 32, 66, 20, 18, "Clear track", 0, 0},
    {BUTTON_COPY_TRACK, BitmapButton, 53, 66, 20, 18, "Copy track", 0, 0},
    {BUTTON_PASTE_TRACK, BitmapButton, 74, 66, 20, 18, "Paste track", 0, 0},
    {BUTTON_COPY_PATTERN, BitmapButton, 95, 66, 20, 18, "Copy pattern", 0, 0},
    {BUTTON_PASTE_PATTERN, BitmapButton, 116, 66, 20, 18, "Paste pattern", 0, 0},
    {STATUS_LINE, Static, 7, 87, 130, 11, "No note or command...", 0, 0},

    // Song information: the texts and their scroll bars.
    {SONG_SIZE_TEXT, Static, 10, 106, 78, 8, "Song size xxx patterns.", 0, 0},
    {SONG_POSITION_TEXT, Static, 10, 114, 78, 8, "Song position xxx.", 0, 0},
    {TEMPO_TEXT, Static, 10, 123, 78, 8, "Tempo xxx.", 0, 0},
    {CURSOR_STEP_TEXT, Static, 10, 132, 78, 8, "Cursor Step xxx.", 0, 0},
    {METRONOME_STEP_TEXT, Static, 10, 141, 78, 8, "Metronome Step xxx.", 0, 0},
    {COUNTDOWN_TEXT, Static, 10, 149, 78, 8, "Countdown Start xxx.", 0, 0},
    {SCROLL_SONG_SIZE, ScrollBarH, 89, 106, 44, 8, "", 0, 0},
    {SCROLL_POSITION, ScrollBarH, 89, 115, 44, 8, "", 0, 0},
    {SCROLL_TEMPO, ScrollBarH, 89, 124, 44, 8, "", 0, 0},
    {SCROLL_CURSOR_STEP, ScrollBarH, 89, 133, 44, 8, "", 0, 0},
    {SCROLL_METRONOME_STEP, ScrollBarH, 89, 142, 44, 8, "", 0, 0},
    {SCROLL_COUNTDOWN, ScrollBarH, 89, 151, 44, 8, "", 0, 0},

    // Pattern view: row numbers, then per channel the track list, the mute button and the rows
    // above, at and below the cursor.
    {ROW_NUMBERS, Static, 143, 30, 9, 87, "", 0, 0},
    {TRACK_SELECTOR[0], ComboBox, 154, 10, 19, 120, "", TRACK_LIST, 0},
    {MUTE_BUTTON[0], BitmapButton, 174, 10, 14, 10, "Channel 1", 0, 0},
    {UPPER_BOX[0], Static, 155, 29, 32, 36, "", PATTERN_BOX, 0},
    {CURSOR_BOX[0], Static, 155, 68, 32, 12, "", CTL_CENTRED, 0},
    {LOWER_BOX[0], Static, 155, 83, 32, 36, "", PATTERN_BOX, 0},
    {TRACK_SELECTOR[1], ComboBox, 190, 10, 19, 120, "", TRACK_LIST, 0},
    {MUTE_BUTTON[1], BitmapButton, 210, 10, 14, 10, "Channel 2", 0, 0},
    {UPPER_BOX[1], Static, 191, 29, 32, 36, "", PATTERN_BOX, 0},
    {CURSOR_BOX[1], Static, 191, 68, 32, 12, "", CTL_CENTRED, 0},
    {LOWER_BOX[1], Static, 191, 83, 32, 36, "", PATTERN_BOX, 0},
    {TRACK_SELECTOR[2], ComboBox, 226, 10, 19, 120, "", TRACK_LIST, 0},
    {MUTE_BUTTON[2], BitmapButton, 246, 10, 14, 10, "Channel 3", 0, 0},
    {UPPER_BOX[2], Static, 226, 29, 32, 36, "", PATTERN_BOX, 0},
    {CURSOR_BOX[2], Static, 226, 68, 32, 12, "", CTL_CENTRED, 0},
    {LOWER_BOX[2], Static, 226, 83, 32, 36, "", PATTERN_BOX, 0},
    {TRACK_SELECTOR[3], ComboBox, 261, 10, 19, 120, "", TRACK_LIST, 0},
    {MUTE_BUTTON[3], BitmapButton, 281, 10, 14, 10, "Channel 4", 0, 0},
    {UPPER_BOX[3], Static, 261, 29, 32, 36, "", PATTERN_BOX, 0},
    {CURSOR_BOX[3], Static, 261, 68, 32, 12, "", CTL_CENTRED, 0},
    {LOWER_BOX[3], Static, 261, 83, 32, 36, "", PATTERN_BOX, 0},

    // Current instrument, transport and mode buttons.
    {NO, Static, 146, 128, 58, 8, "Current Intrument", 0, 0},
    {INSTRUMENT_SELECTOR, ComboBox, 206, 126, 87, 100, "", CTL_COMBO_EDITABLE, 0},
    {BUTTON_RECORD, BitmapButton, 155, 143, 20, 12, "Record", 0, 0},
    {BUTTON_STOP, BitmapButton, 176, 143, 20, 12, "Stop", 0, 0},
    {BUTTON_PLAY_SONG, BitmapButton, 197, 143, 20, 12, "Play song", 0, 0},
    {BUTTON_PLAY_PATTERN, BitmapButton, 218, 143, 20, 12, "Play pattern", 0, 0},
    {BUTTON_LOOP, BitmapButton, 244, 143, 16, 12, "Song looping", 0, 0},
    {BUTTON_OCTAVE, BitmapButton, 261, 143, 16, 12, "Lower", 0, 0},
    {BUTTON_METRONOME, BitmapButton, 278, 143, 16, 12, "Tick", 0, 0},
};

} // namespace

extern constexpr DialogTemplate MAIN_DIALOG = {
    .id = MAIN_WINDOW,
    .caption = "Music Editing System.",
    .width = 307,
    .height = 168,
    .fontFamily = "Times New Roman",
    .pointSize = 12,
    .style = DLG_CENTRED | DLG_SYSTEM_MENU | DLG_MINIMISE | DLG_SUNKEN_EDGE,
    .menu = MENU_MAIN,
    .controls = CONTROLS,
    .count = int(std::size(CONTROLS)),
};
