// Dialog 103: the Keys window, 254 x 236 dialog units. Four rows of key caps laid out as on the
// keyboard (each row set in a little further, as the keys are), the note layout's name, and the
// command keys in two columns. The code writes every text from the key tables.

#include "resources/dialog_template.h"
#include "resources/resource_ids.h"

#include <array>
#include <iterator>

namespace {

using enum ControlKind;

constexpr int NO = CONTROL_NO_ID;
constexpr int CAP_WIDTH = 20, CAP_HEIGHT = 18, CAP_STEP = 22;
constexpr int ROW_INDENT[KEYS_ROWS] = {0, 6, 9, 13};
constexpr int FIXED = 5;
constexpr int COUNT = FIXED + KEYS_ROWS * KEYS_COLUMNS;

constexpr std::array<ControlTemplate, COUNT> MakeControls() {
    std::array<ControlTemplate, COUNT> c{};
    c[0] = {KEYS_LAYOUT_TEXT, Static, 7, 6, 240, 8, "Note keys", 0, 0};
    c[1] = {NO, Frame, 7, 16, 240, 86, "", CTL_ETCHED, 0};
    c[2] = {NO, Static, 7, 106, 240, 8, "Command keys", 0, 0};
    c[3] = {KEYS_COMMANDS_LEFT, Static, 7, 116, 118, 114, "", 0, 0};
    c[4] = {KEYS_COMMANDS_RIGHT, Static, 129, 116, 118, 114, "", 0, 0};
    for (int r = 0; r < KEYS_ROWS; ++r)
        for (int col = 0; col < KEYS_COLUMNS; ++col)
            c[FIXED + r * KEYS_COLUMNS + col] = {KEYS_CAP_FIRST + r * KEYS_COLUMNS + col,
                                                 Static,
                                                 11 + ROW_INDENT[r] + col * CAP_STEP,
                                                 20 + r * (CAP_HEIGHT + 2),
                                                 CAP_WIDTH,
                                                 CAP_HEIGHT,
                                                 "",
                                                 CTL_CENTRED | CTL_SUNKEN,
                                                 0};
    return c;
}

constexpr std::array<ControlTemplate, COUNT> CONTROLS = MakeControls();

} // namespace

extern constexpr DialogTemplate KEYS_DIALOG = {
    .id = DIALOG_KEYS,
    .caption = "Keys",
    .width = 254,
    .height = 236,
    .fontFamily = "Times New Roman",
    .pointSize = 9,
    .style = DLG_SYSTEM_MENU,
    .menu = 0,
    .controls = CONTROLS.data(),
    .count = COUNT,
};
