// The Keys window: its chart comes from the key handler's own tables, for both note layouts.
#include "shell/keys_window.h"

#include "shell/key_commands.h"
#include "shell_fixture.h"
#include "song/note_entry.h"

#include <set>
#include <string>

namespace {

class KeysWindowTest : public ShellFixture {};

TEST_F(KeysWindowTest, EveryNoteKeyOfTheLayoutIsOnItsCapAndEveryCommandIsListed) {
    for (int layout : {0, 1}) {
        SCOPED_TRACE(layout ? "QWERTY" : "AZERTY");
        settings.keyboard_layout = layout;
        Click(CMD_KEYS);
        ASSERT_EQ(fake.openDialogs.count(DIALOG_KEYS), 1u);
        // Each of the 26 notes is on exactly one cap, under the key that plays it.
        std::set<std::string> notes;
        int caps = 0;
        for (int id = KEYS_CAP_FIRST; id < KEYS_CAP_FIRST + KEYS_ROWS * KEYS_COLUMNS; ++id) {
            const std::string cap = fake.control(DIALOG_KEYS, id).text;
            const size_t line = cap.find('\n');
            if (line == std::string::npos) continue;
            ++caps;
            notes.insert(cap.substr(line + 1));
        }
        EXPECT_EQ(caps, 26);
        EXPECT_EQ(notes.size(), 26u);
        EXPECT_EQ(fake.control(DIALOG_KEYS, KEYS_CAP_FIRST + KEYS_COLUMNS).text,
                  layout ? "Q\nC-2" : "A\nC-2");
        EXPECT_EQ(fake.control(DIALOG_KEYS, KEYS_CAP_FIRST + 1).text, "2\nC#2");
        EXPECT_EQ(fake.control(DIALOG_KEYS, KEYS_CAP_FIRST + KEYS_COLUMNS + 7).text, "I");
        const std::string commands = fake.control(DIALOG_KEYS, KEYS_COMMANDS_LEFT).text +
                                     fake.control(DIALOG_KEYS, KEYS_COMMANDS_RIGHT).text;
        for (const KeyCommandLine& line : KeyCommandChart())
            EXPECT_NE(commands.find(std::string(line.keys) + ": " + line.does), std::string::npos)
                << line.keys;
        // Switching the layout in the Program menu redraws the open window for it.
        Click(layout ? CMD_AZERTY_KEYS : CMD_QWERTY_KEYS);
        EXPECT_EQ(fake.control(DIALOG_KEYS, KEYS_CAP_FIRST + KEYS_COLUMNS).text,
                  layout ? "A\nC-2" : "Q\nC-2");
        EXPECT_NE(
            fake.control(DIALOG_KEYS, KEYS_LAYOUT_TEXT).text.find(layout ? "AZERTY" : "QWERTY"),
            std::string::npos);
        fake.openDialogs[DIALOG_KEYS]->OnClose();
    }
    // The chart follows the tables: the key a cap shows is the key that plays its note.
    EXPECT_EQ(NoteOfKey(1, 'Q'), 1);
    EXPECT_EQ(NoteOfKey(0, 'W'), 13);
    EXPECT_EQ(NoteOfKey(0, VKEY_COMMA), 24);
}

} // namespace
