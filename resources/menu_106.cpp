// Menu 106: the menu bar of the main window, three popups.

#include "resources/dialog_template.h"
#include "resources/resource_ids.h"

#include <iterator>

namespace {

using enum MenuItemKind;

constexpr MenuItem SEPARATOR = {Separator, 0, "", nullptr, 0};

constexpr MenuItem PROGRAM_ITEMS[] = {
    {Command, 1211, "Sound Editor", nullptr, 0},  SEPARATOR,
    {Command, 1203, "New Song", nullptr, 0},      SEPARATOR,
    {Command, 1206, "Save Song", nullptr, 0},     {Command, 1207, "Load Song", nullptr, 0},
    {Command, 1208, "Export WAV...", nullptr, 0}, SEPARATOR,
    {Command, 1201, "Quit", nullptr, 0},
};

constexpr MenuItem SAMPLES_ITEMS[] = {
    {Command, 1216, "Save Samples", nullptr, 0},
    {Command, 1217, "Load Samples", nullptr, 0},
};

constexpr MenuItem ABOUT_ITEMS[] = {
    {Command, 1218, "About", nullptr, 0},
};

constexpr MenuItem POPUPS[] = {
    {Popup, 0, "Program", PROGRAM_ITEMS, int(std::size(PROGRAM_ITEMS))},
    {Popup, 0, "Samples", SAMPLES_ITEMS, int(std::size(SAMPLES_ITEMS))},
    {Popup, 0, "About", ABOUT_ITEMS, int(std::size(ABOUT_ITEMS))},
};

constexpr MenuTemplate MAIN_MENU = {MENU_MAIN, POPUPS, int(std::size(POPUPS))};

} // namespace

const MenuTemplate& MainMenu() {
    return MAIN_MENU;
}
