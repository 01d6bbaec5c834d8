#include "shell/keys_window.h"

#include "resources/resource_ids.h"
#include "shell/key_commands.h"
#include "song/note_entry.h"
#include "song/song_model.h"

#include <cstddef>

namespace {

// The four rows of ten keys, left to right, as printed on a keyboard with each layout, one
// character a key; the digit row is read by position whatever it prints.
constexpr const char* Q_ROWS[KEYS_ROWS] = {"1234567890", "QWERTYUIOP", "ASDFGHJKL;", "ZXCVBNM,./"};
constexpr const char* A_ROWS[KEYS_ROWS] = {"1234567890", "AZERTYUIOP", "QSDFGHJKLM", "WXCVBN,;:!"};

// The virtual-key code of a key by its label (docs/keyboard.md).
int VirtualKey(int layout, char label) {
    switch (label) {
    case ',': return VKEY_COMMA;
    case '.': return VKEY_PERIOD;
    case ';': return layout != 0 ? 0xBA : VKEY_PERIOD; // AZERTY: the key that gives '.'
    case '/':
    case ':': return 0xBF;
    case '!': return 0xDF;
    default: return label; // letters and digits are their own codes
    }
}

KeysWindow the_keys_window;

} // namespace

std::string KeyCapText(int layout, int row, int column) {
    if (row < 0 || row >= KEYS_ROWS || column < 0 || column >= KEYS_COLUMNS) return "";
    const char label = (layout != 0 ? Q_ROWS : A_ROWS)[row][column];
    const int note = NoteOfKey(layout, VirtualKey(layout, label));
    return note ? std::string(1, label) + "\n" + NoteName(note) : std::string(1, label);
}

void KeysWindow::ShowNoteKeys() {
    if (!open_) return;
    Desktop& d = desktop();
    const int layout = settings.keyboard_layout;
    d.SetControlText(DIALOG_KEYS, KEYS_LAYOUT_TEXT,
                     layout != 0 ? "Note keys, QWERTY layout (Tab: one octave lower)"
                                 : "Note keys, AZERTY layout (Tab: one octave lower)");
    for (int r = 0; r < KEYS_ROWS; ++r)
        for (int c = 0; c < KEYS_COLUMNS; ++c)
            d.SetControlText(DIALOG_KEYS, KEYS_CAP_FIRST + r * KEYS_COLUMNS + c,
                             KeyCapText(layout, r, c));
}

void KeysWindow::OnInit() {
    open_ = true;
    ShowNoteKeys();
    Desktop& d = desktop();
    // The command lines split in two columns, in the handler's order.
    const std::vector<KeyCommandLine> chart = KeyCommandChart();
    std::string left, right;
    for (size_t i = 0; i < chart.size(); ++i)
        (i < (chart.size() + 1) / 2 ? left : right) +=
            std::string(chart[i].keys) + ": " + chart[i].does + "\n";
    d.SetControlText(DIALOG_KEYS, KEYS_COMMANDS_LEFT, left);
    d.SetControlText(DIALOG_KEYS, KEYS_COMMANDS_RIGHT, right);
}

void KeysWindow::OnClose() {
    open_ = false;
    desktop().EndDialog(DIALOG_KEYS);
}

KeysWindow& keys_window() {
    return the_keys_window;
}
