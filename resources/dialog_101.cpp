// Dialog 101: the sound editor, 325 x 151 dialog units, run modally. Group boxes come first so
// that the controls inside them lie above.

#include "resources/dialog_template.h"
#include "resources/resource_ids.h"

#include <iterator>

namespace {

using enum ControlKind;

constexpr int NO = CONTROL_NO_ID;
constexpr uint32_t TAB = CTL_TABSTOP;

constexpr ControlTemplate CONTROLS[] = {
    {NO, GroupBox, 7, 21, 131, 36, "Volume", 0, 0},
    {NO, GroupBox, 188, 21, 131, 36, "Frequency", 0, 0},
    {NO, GroupBox, 7, 60, 69, 49, "Static", 0, 0}, // frames the sound type buttons
    {NO, GroupBox, 140, 21, 46, 36, "Waveform", 0, 0},
    {EDITOR_WAVEFORM_TYPE_GROUP, GroupBox, 80, 60, 99, 48, "Waveform type", 0, 0},

    {NO, Static, 9, 9, 34, 8, "Instrument", 0, 0},
    // Its edit field holds the instrument's name.
    {EDITOR_INSTRUMENT_LIST, ComboBox, 48, 7, 92, 103, "", CTL_COMBO_EDITABLE | TAB, 0},
    {EDITOR_INIT_VOLUME_TEXT, Static, 15, 31, 57, 8, "Init Volume :", 0, 0},
    {EDITOR_FADE_TEXT, Static, 79, 32, 53, 8, "Fade :", 0, 0},
    {EDITOR_INIT_VOLUME_BAR, ScrollBarH, 15, 42, 55, 11, "", TAB, 0},
    {EDITOR_FADE_BAR, ScrollBarH, 78, 42, 54, 11, "", TAB, 0},
    {EDITOR_LENGTH_TEXT, Static, 145, 9, 64, 8, "Sound length", 0, 0},
    {EDITOR_LENGTH_BAR, ScrollBarH, 212, 8, 54, 11, "", TAB, 0},
    {EDITOR_USE_LENGTH, CheckBox, 269, 8, 49, 10, "Use Length", TAB, 0},
    {EDITOR_PERIOD_TEXT, Static, 196, 31, 57, 8, "Period :", 0, 0},
    {EDITOR_PITCH_BEND_TEXT, Static, 260, 32, 53, 8, "Pitch Bend :", 0, 0},
    {EDITOR_PERIOD_BAR, ScrollBarH, 196, 42, 55, 11, "", TAB, 0},
    {EDITOR_PITCH_BEND_BAR, ScrollBarH, 259, 42, 54, 11, "", TAB, 0},
    {EDITOR_SOUND_TYPE_1, RadioButton, 12, 70, 61, 10, "Sound Type 1", TAB, 0},
    {EDITOR_SOUND_TYPE_1 + 1, RadioButton, 12, 79, 61, 10, "Sound Type 2", 0, 0},
    {EDITOR_SOUND_TYPE_1 + 2, RadioButton, 12, 88, 61, 10, "Sound Type 3", 0, 0},
    {EDITOR_SOUND_TYPE_1 + 3, RadioButton, 12, 97, 61, 10, "Sound Type 4", 0, 0},
    {EDITOR_PLAY, PushButton, 240, 94, 38, 14, "Play Snd", TAB, 0},
    {EDITOR_STOP, PushButton, 279, 94, 38, 14, "Stop Snd", TAB, 0},
    {NO, Static, 223, 66, 52, 8, "Test Frequency ", 0, 0},
    {EDITOR_TEST_FREQUENCY, Edit, 279, 65, 40, 12, "", CTL_BORDER | TAB, 0},
    {EDITOR_WAVEFORM_BAR, ScrollBarH, 144, 42, 38, 11, "", TAB, 0},
    {EDITOR_WAVEFORM_TEXT, Static, 152, 31, 19, 8, "Static", 0, 0},
    {EDITOR_WAVEFORM_TYPE_LIST, ComboBox, 86, 71, 84, 47, "", CTL_COMBO_EDITABLE | TAB, 0},
    // The waveform display, drawn by the code.
    {EDITOR_DISPLAY, Frame, 7, 111, 311, 33, "", CTL_SUNKEN, 0},
};

} // namespace

extern constexpr DialogTemplate SOUND_EDITOR_DIALOG = {
    .id = DIALOG_SOUND_EDITOR,
    .caption = "FM Sounds Editor",
    .width = 325,
    .height = 151,
    .fontFamily = "Times New Roman",
    .pointSize = 11,
    .style = DLG_SYSTEM_MENU | DLG_MODAL,
    .menu = 0,
    .controls = CONTROLS,
    .count = int(std::size(CONTROLS)),
};
