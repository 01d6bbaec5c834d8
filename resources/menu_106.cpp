// Menu 106: the menu bar of the main window, four popups; the Program menu holds the MIDI Input
// submenu.

#include "resources/dialog_template.h"
#include "resources/resource_ids.h"

#include <iterator>

namespace {

using enum MenuItemKind;

constexpr MenuItem SEPARATOR = {Separator, 0, "", nullptr, 0};

constexpr MenuItem MIDI_ITEMS[] = {
    {Command, CMD_MIDI_AUTOMATIC, "Automatic", nullptr, 0},
    {Command, CMD_MIDI_NONE, "None", nullptr, 0},
    SEPARATOR,
#define PORT(n) {Command, CMD_MIDI_PORT_FIRST + n, "", nullptr, 0}
    PORT(0),  PORT(1),  PORT(2),  PORT(3),  PORT(4),  PORT(5),  PORT(6),  PORT(7),
    PORT(8),  PORT(9),  PORT(10), PORT(11), PORT(12), PORT(13), PORT(14), PORT(15),
    PORT(16), PORT(17), PORT(18), PORT(19), PORT(20), PORT(21), PORT(22), PORT(23),
    PORT(24), PORT(25), PORT(26), PORT(27), PORT(28), PORT(29), PORT(30), PORT(31),
#undef PORT
};
static_assert(std::size(MIDI_ITEMS) == 3 + MIDI_PORT_SLOTS);

constexpr MenuItem PROGRAM_ITEMS[] = {
    {Command, CMD_SOUND_EDITOR, "Sound Editor", nullptr, 0},
    SEPARATOR,
    {Command, CMD_NEW_SONG, "New Song", nullptr, 0},
    SEPARATOR,
    {Command, CMD_SAVE_SONG, "Save Song", nullptr, 0},
    {Command, CMD_LOAD_SONG, "Load Song", nullptr, 0},
    {Command, CMD_EXPORT_WAV, "Export WAV...", nullptr, 0},
    SEPARATOR,
    {Command, CMD_AZERTY_KEYS, "AZERTY note keys", nullptr, 0},
    {Command, CMD_QWERTY_KEYS, "QWERTY note keys", nullptr, 0},
    {Popup, 0, "MIDI Input", MIDI_ITEMS, int(std::size(MIDI_ITEMS))},
    SEPARATOR,
    {Command, CMD_QUIT, "Quit", nullptr, 0},
};

constexpr MenuItem EDIT_ITEMS[] = {
    {Command, CMD_UNDO, "Undo", nullptr, 0},
    {Command, CMD_REDO, "Redo", nullptr, 0},
};

constexpr MenuItem SAMPLES_ITEMS[] = {
    {Command, CMD_SAVE_SAMPLES, "Save Samples", nullptr, 0},
    {Command, CMD_LOAD_SAMPLES, "Load Samples", nullptr, 0},
};

constexpr MenuItem ABOUT_ITEMS[] = {
    {Command, CMD_KEYS, "Keys...", nullptr, 0},
    {Command, CMD_ABOUT, "About", nullptr, 0},
};

constexpr MenuItem POPUPS[] = {
    {Popup, 0, "Program", PROGRAM_ITEMS, int(std::size(PROGRAM_ITEMS))},
    {Popup, 0, "Edit", EDIT_ITEMS, int(std::size(EDIT_ITEMS))},
    {Popup, 0, "Samples", SAMPLES_ITEMS, int(std::size(SAMPLES_ITEMS))},
    {Popup, 0, "About", ABOUT_ITEMS, int(std::size(ABOUT_ITEMS))},
};

constexpr MenuTemplate MAIN_MENU = {MENU_MAIN, POPUPS, int(std::size(POPUPS))};

} // namespace

const MenuTemplate& MainMenu() {
    return MAIN_MENU;
}
