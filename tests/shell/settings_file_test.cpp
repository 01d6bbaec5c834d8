#include "shell/settings_file.h"

#include "files/dialog_folders.h"
#include "shell_fixture.h"

#include <sys/stat.h>

#include <cstdint>

namespace {

std::vector<uint8_t> LittleEndian(std::initializer_list<int32_t> values) {
    std::vector<uint8_t> bytes;
    for (int32_t v : values)
        for (int i = 0; i < 4; ++i)
            bytes.push_back(static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * i)));
    return bytes;
}

class SettingsFile : public ::testing::Test {
  protected:
    ScratchWorkingDirectory scratch;
    const std::filesystem::path folder = SettingsFolder();
    const std::string ini = (folder / SETTINGS_FILE_NAME).string();
    const std::string conf = (folder / PREFERENCES_FILE_NAME).string();
    std::string ReadText(const std::string& path) {
        const std::vector<uint8_t> bytes = ReadBytes(path);
        return std::string(bytes.begin(), bytes.end());
    }
    void SetUp() override {
        settings.keyboard_layout = 0;
        settings.record_enabled = 1;
        settings.octave_shift = 0;
        settings.cursor_step = 0;
        settings.countdown_start = 5;
        settings.metronome_step = 4;
    }
};

TEST_F(SettingsFile, MissingFileOrAPipeKeepsEveryValue) {
    ReadSettings();
    // A pipe under the name is never opened, so it cannot block start-up.
    ASSERT_EQ(mkfifo(SETTINGS_FILE_NAME, 0600), 0);
    ReadSettings();
    EXPECT_EQ(settings.keyboard_layout, 0);
    EXPECT_EQ(settings.record_enabled, 1);
    EXPECT_EQ(settings.octave_shift, 0);
    EXPECT_EQ(settings.cursor_step, 0);
    EXPECT_EQ(settings.countdown_start, 5);
    EXPECT_EQ(settings.metronome_step, 4);
}

TEST_F(SettingsFile, ShortFileFillsOnlyTheWholeValuesItHolds) {
    WriteBytes(SETTINGS_FILE_NAME, LittleEndian({1, 0}));
    ReadSettings();
    EXPECT_EQ(settings.keyboard_layout, 1);
    EXPECT_EQ(settings.record_enabled, 0);
    EXPECT_EQ(settings.octave_shift, 0);
    EXPECT_EQ(settings.countdown_start, 5);
    EXPECT_EQ(settings.metronome_step, 4);

    // Ten bytes: the fragment of the third value is ignored.
    std::vector<uint8_t> ten = LittleEndian({0, 1, 1});
    ten.resize(10);
    WriteBytes(SETTINGS_FILE_NAME, ten);
    ReadSettings();
    EXPECT_EQ(settings.record_enabled, 1);
    EXPECT_EQ(settings.octave_shift, 0);
}

TEST_F(SettingsFile, LongFileIsReadInOrderAndItsTailIgnored) {
    std::vector<uint8_t> bytes = LittleEndian({1, 0, 1, 12, 4, 16, 99, 99});
    WriteBytes(SETTINGS_FILE_NAME, bytes);
    ReadSettings();
    EXPECT_EQ(settings.keyboard_layout, 1);
    EXPECT_EQ(settings.record_enabled, 0);
    EXPECT_EQ(settings.octave_shift, 1);
    EXPECT_EQ(settings.cursor_step, 12);
    EXPECT_EQ(settings.countdown_start, 4);
    EXPECT_EQ(settings.metronome_step, 16);
}

// A hostile file cannot hand the program a value its controls never allow (a count-down start
// of INT_MIN once overflowed when the count-down was shown): each becomes the nearest valid one.
TEST_F(SettingsFile, ValuesOutsideTheirRangeAreBroughtToTheNearestValidOne) {
    constexpr int32_t kMin = INT32_MIN, kMax = INT32_MAX;
    WriteBytes(SETTINGS_FILE_NAME, LittleEndian({kMin, kMax, kMin, kMax, kMin, kMax}));
    ReadSettings();
    EXPECT_EQ(settings.keyboard_layout, 1); // any non-zero value is the Q-key layout
    EXPECT_EQ(settings.record_enabled, 1);
    EXPECT_EQ(settings.octave_shift, 0);
    EXPECT_EQ(settings.cursor_step, 16);
    EXPECT_EQ(settings.countdown_start, 1);
    EXPECT_EQ(settings.metronome_step, 16);

    WriteBytes(SETTINGS_FILE_NAME, LittleEndian({0, kMin, kMax, kMin, kMax, kMin}));
    ReadSettings();
    EXPECT_EQ(settings.keyboard_layout, 0);
    EXPECT_EQ(settings.record_enabled, 0);
    EXPECT_EQ(settings.octave_shift, 1);
    EXPECT_EQ(settings.cursor_step, 0);
    EXPECT_EQ(settings.countdown_start, 6);
    EXPECT_EQ(settings.metronome_step, 2);
}

TEST_F(SettingsFile, WritesTwentyFourLittleEndianBytes) {
    settings.keyboard_layout = 1;
    settings.record_enabled = 0;
    settings.octave_shift = 1;
    settings.cursor_step = 3;
    settings.countdown_start = 6;
    settings.metronome_step = 0x0102;
    WriteSettings();
    EXPECT_EQ(ReadBytes(ini), LittleEndian({1, 0, 1, 3, 6, 0x0102}));
}

TEST_F(SettingsFile, LiveInAPrivateConfigFolderAndAnOldFileIsReadFromTheWorkingFolderOnce) {
    EXPECT_EQ(folder, scratch.dir / "config" / "tavomix");
    const std::vector<uint8_t> old = LittleEndian({1, 0, 1, 3, 6, 9});
    WriteBytes(SETTINGS_FILE_NAME, old);
    EXPECT_TRUE(ReadSettings());
    EXPECT_EQ(settings.metronome_step, 9);
    WriteSettings();
    EXPECT_EQ(std::filesystem::status(folder).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_all);
    EXPECT_EQ(ReadBytes(ini), old);
    settings.metronome_step = 12;
    WriteSettings();
    settings.metronome_step = 4;
    EXPECT_TRUE(ReadSettings());
    EXPECT_EQ(settings.metronome_step, 12) << "the config folder's file wins from now on";
    EXPECT_EQ(ReadBytes(SETTINGS_FILE_NAME), old) << "the working folder is never written";
    EXPECT_EQ(TakeSettingsMessage(), "");
}

TEST_F(SettingsFile, PreferencesKeepWhatTheyDoNotKnowAndADamagedFileIsLeftAlone) {
    std::filesystem::create_directories(folder);
    WriteBytes(conf, {'#', ' ', 'm', 'i',  'n', 'e', '\n', 'f', 'u', 't', 'u', 'r', 'e', ' ',
                      '=', ' ', '7', '\n', 'f', 'i', 'l',  'e', '-', 'd', 'i', 'a', 'l', 'o',
                      'g', '-', 'f', 'o',  'l', 'd', 'e',  'r', '=', '/', 'm', '\n'});
    ReadSettings();
    EXPECT_EQ(last_file_folder, "/m");
    last_file_folder = "/songs/new";
    WriteSettings();
    EXPECT_EQ(ReadText(conf), "# mine\nfuture = 7\nfile-dialog-folder = /songs/new\n");
    EXPECT_EQ(Preference("future"), "7");
    SetPreference("other", "x y");
    WriteSettings();
    EXPECT_EQ(ReadText(conf), "# mine\nfuture = 7\nfile-dialog-folder = /songs/new\nother = x y\n");

    // Damaged: the defaults, one message, and the file kept for the user to mend.
    for (const std::string& bad :
         {std::string("a = 1\nno equals sign\n"), std::string("a = 1\n\0\n", 8)}) {
        WriteBytes(conf, std::vector<uint8_t>(bad.begin(), bad.end()));
        ReadSettings();
        EXPECT_EQ(last_file_folder, "");
        EXPECT_EQ(TakeSettingsMessage(), conf + " is damaged at line 2; the defaults are used and "
                                                "the file is left as it is.");
        last_file_folder = "/x";
        WriteSettings();
        EXPECT_EQ(ReadText(conf), bad);
    }
    // Unreadable (here a folder under its name): the same, and nothing is written over it.
    std::filesystem::remove(conf);
    std::filesystem::create_directory(conf);
    ReadSettings();
    EXPECT_EQ(TakeSettingsMessage(), conf + " cannot be read; the defaults are used and the file "
                                            "is left as it is.");
    WriteSettings();
    EXPECT_TRUE(std::filesystem::is_directory(conf));
}

TEST_F(SettingsFile, AFolderThatCannotBeUsedGivesTheDefaultsAndIsToldOnce) {
    std::filesystem::create_directories(folder.parent_path());
    WriteBytes(folder.string(), {1}); // a file where the folder should be
    EXPECT_FALSE(ReadSettings());
    EXPECT_EQ(settings.metronome_step, 4);
    EXPECT_EQ(TakeSettingsMessage(), "The settings folder cannot be used: " + folder.string() +
                                         ": not a folder (a file or a link)");
    settings.metronome_step = 6;
    WriteSettings();
    EXPECT_EQ(TakeSettingsMessage().rfind("The settings cannot be saved: ", 0), 0u);
    settings.metronome_step = 7;
    WriteSettings();
    EXPECT_EQ(TakeSettingsMessage(), "") << "told once";
    std::filesystem::remove(folder);
    settings.metronome_step = 8;
    WriteSettings();
    EXPECT_EQ(ReadBytes(ini)[20], 8) << "written again once the folder can be made";
}

} // namespace
