// Dialog 104: the pattern window, resizable, 190 x 230 dialog units when it first opens: one grid
// filling it, which the code paints with the pattern at the song position.

#include "resources/dialog_template.h"
#include "resources/resource_ids.h"

#include <iterator>

namespace {

constexpr ControlTemplate CONTROLS[] = {
    {PATTERN_GRID, ControlKind::Grid, 0, 0, 190, 230, "", 0, 0},
};

} // namespace

extern constexpr DialogTemplate PATTERN_DIALOG = {
    .id = DIALOG_PATTERN,
    .caption = "Pattern",
    .width = 190,
    .height = 230,
    .fontFamily = "Times New Roman",
    .pointSize = 12, // the main window's, so that the cells read as in its pattern view
    .style = DLG_SYSTEM_MENU | DLG_MINIMISE | DLG_RESIZABLE,
    .menu = 0,
    .controls = CONTROLS,
    .count = int(std::size(CONTROLS)),
};
