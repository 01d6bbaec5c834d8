#include "shell/settings_file.h"

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
    EXPECT_EQ(ReadBytes(SETTINGS_FILE_NAME), LittleEndian({1, 0, 1, 3, 6, 0x0102}));
}

} // namespace
