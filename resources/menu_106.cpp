// Menu 106: the menu bar of the main window, four popups; the Program menu holds the MIDI Input
// and Audio latency submenus.

#include "resources/dialog_template.h"
#include "resources/resource_ids.h"

#include <array>
#include <iterator>
#include <utility>

namespace {

using enum MenuItemKind;

constexpr MenuItem SEPARATOR = {Separator, 0, "", nullptr, 0};

// MIDI Input: Automatic, None, a line, then the slots that the ports' names fill.
template <size_t... Slot>
constexpr std::array<MenuItem, 3 + sizeof...(Slot)> MidiItems(std::index_sequence<Slot...>) {
    return {{{Command, CMD_MIDI_AUTOMATIC, "Automatic", nullptr, 0},
             {Command, CMD_MIDI_NONE, "None", nullptr, 0},
             SEPARATOR,
             {Command, CMD_MIDI_PORT_FIRST + int(Slot), "", nullptr, 0}...}};
}
constexpr auto MIDI_ITEMS = MidiItems(std::make_index_sequence<MIDI_PORT_SLOTS>());

// The output device's period: one choice of three.
constexpr MenuItem AUDIO_LATENCY_ITEMS[] = {
    {Command, CMD_AUDIO_LATENCY_LOW, "Low", nullptr, 0},
    {Command, CMD_AUDIO_LATENCY_NORMAL, "Normal", nullptr, 0},
    {Command, CMD_AUDIO_LATENCY_SAFE, "Safe", nullptr, 0},
};

constexpr MenuItem PROGRAM_ITEMS[] = {
    {Command, CMD_SOUND_EDITOR, "Sound Editor", nullptr, 0},
    // The text after the tab shows as the item's key; the key itself is the key table's.
    {Command, CMD_PATTERN_WINDOW, "Pattern Window\tF3", nullptr, 0},
    SEPARATOR,
    {Command, CMD_NEW_SONG, "New Song", nullptr, 0},
    SEPARATOR,
    {Command, CMD_SAVE_SONG, "Save Song", nullptr, 0},
    {Command, CMD_LOAD_SONG, "Load Song", nullptr, 0},
    {Command, CMD_EXPORT_WAV, "Export WAV...", nullptr, 0},
    SEPARATOR,
    {Command, CMD_AZERTY_KEYS, "AZERTY note keys", nullptr, 0},
    {Command, CMD_QWERTY_KEYS, "QWERTY note keys", nullptr, 0},
    {Popup, 0, "MIDI Input", MIDI_ITEMS.data(), int(MIDI_ITEMS.size())},
    {Popup, 0, "Audio latency", AUDIO_LATENCY_ITEMS, int(std::size(AUDIO_LATENCY_ITEMS))},
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
