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
    {1222, GroupBox, 80, 60, 99, 48, "Waveform type", 0, 0},

    {NO, Static, 9, 9, 34, 8, "Instrument", 0, 0},
    {1118, ComboBox, 48, 7, 92, 103, "", CTL_COMBO_EDITABLE | TAB, 0}, // edit field: the name
    {1123, Static, 15, 31, 57, 8, "Init Volume :", 0, 0},
    {1124, Static, 79, 32, 53, 8, "Fade :", 0, 0},
    {1121, ScrollBarH, 15, 42, 55, 11, "", TAB, 0},
    {1122, ScrollBarH, 78, 42, 54, 11, "", TAB, 0},
    {1127, Static, 145, 9, 64, 8, "Sound length", 0, 0},
    {1125, ScrollBarH, 212, 8, 54, 11, "", TAB, 0},
    {1126, CheckBox, 269, 8, 49, 10, "Use Length", TAB, 0},
    {1128, Static, 196, 31, 57, 8, "Period :", 0, 0},
    {1129, Static, 260, 32, 53, 8, "Pitch Bend :", 0, 0},
    {1130, ScrollBarH, 196, 42, 55, 11, "", TAB, 0},
    {1131, ScrollBarH, 259, 42, 54, 11, "", TAB, 0},
    {1212, RadioButton, 12, 70, 61, 10, "Sound Type 1", TAB, 0},
    {1213, RadioButton, 12, 79, 61, 10, "Sound Type 2", 0, 0},
    {1214, RadioButton, 12, 88, 61, 10, "Sound Type 3", 0, 0},
    {1215, RadioButton, 12, 97, 61, 10, "Sound Type 4", 0, 0},
    {1138, PushButton, 240, 94, 38, 14, "Play Snd", TAB, 0},
    {1139, PushButton, 279, 94, 38, 14, "Stop Snd", TAB, 0},
    {NO, Static, 223, 66, 52, 8, "Test Frequency ", 0, 0},
    {1218, Edit, 279, 65, 40, 12, "", CTL_BORDER | TAB, 0},
    {1219, ScrollBarH, 144, 42, 38, 11, "", TAB, 0},
    {1220, Static, 152, 31, 19, 8, "Static", 0, 0},
    {1221, ComboBox, 86, 71, 84, 47, "", CTL_COMBO_EDITABLE | TAB, 0},
    {1132, Frame, 7, 111, 311, 33, "", CTL_SUNKEN, 0}, // waveform display, drawn by the code
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
