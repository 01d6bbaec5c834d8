// Dialog 102: the About box, 268 x 81 dialog units. Static ABOUT_VERSION_TEXT receives the
// version line when the box opens.

#include "resources/dialog_template.h"
#include "resources/resource_ids.h"

#include <iterator>

namespace {

using enum ControlKind;

constexpr int NO = CONTROL_NO_ID;

constexpr ControlTemplate CONTROLS[] = {
    {NO, Frame, 7, 7, 254, 67, "", CTL_ETCHED, 0},
    {NO, Static, 14, 13, 240, 8, "Music Editor V2.10", CTL_CENTRED, 0},
    {NO, Static, 14, 23, 240, 8, "A four-channel pattern editor with its own synthesiser.",
     CTL_CENTRED, 0},
    {NO, Static, 14, 33, 240, 8, "32 tracks, 64 song positions and 16 instruments.", CTL_CENTRED,
     0},
    {NO, Static, 14, 43, 240, 8, "Notes from the PC keyboard or a MIDI keyboard.", CTL_CENTRED, 0},
    {ABOUT_VERSION_TEXT, Static, 14, 58, 240, 8, "Version", CTL_CENTRED, 0},
};

} // namespace

extern constexpr DialogTemplate ABOUT_DIALOG = {
    .id = DIALOG_ABOUT,
    .caption = "About",
    .width = 268,
    .height = 81,
    .fontFamily = "Times New Roman",
    .pointSize = 11,
    .style = DLG_SYSTEM_MENU,
    .menu = 0,
    .controls = CONTROLS,
    .count = int(std::size(CONTROLS)),
};
