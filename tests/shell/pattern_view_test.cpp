#include "shell/pattern_view.h"

#include "shell_fixture.h"

#include <algorithm>

namespace {

using PatternView = ShellFixture;

// Track 3 on channel 0 of position 0, its row r holding note r % 12 + 1 with instrument r % 16.
void FillTrackThree() {
    song.song_positions[0][0] = 3;
    for (int r = 0; r < TRACK_ROWS; ++r)
        SetCell(3, r, Cell{static_cast<uint8_t>(r % 16), static_cast<uint8_t>(r % 12 + 1)});
}

std::string Line(int r) {
    return CellText(Cell{static_cast<uint8_t>(r % 16), static_cast<uint8_t>(r % 12 + 1)}) + "\n";
}

TEST_F(PatternView, CellTexts) {
    EXPECT_EQ(CellText(Cell{3, 1}), "C-2:00:3");
    EXPECT_EQ(CellText(Cell{0, 0}), "00:00:0");
    EXPECT_EQ(CellText(Cell{CMD_PATTERN_BREAK, NOTE_COMMAND}), "FF:00:5");
    EXPECT_EQ(CellText(Cell{4, NOTE_COMMAND}), "FF:00:4");
    EXPECT_EQ(CellText(Cell{0xab, 1}), "C-2:00:ab");
}

TEST_F(PatternView, StatusLineTexts) {
    EXPECT_EQ(CellStatusText(Cell{0, 0}), "No note or command...");
    EXPECT_EQ(CellStatusText(Cell{4, NOTE_COMMAND}), "No note or command...");
    EXPECT_EQ(CellStatusText(Cell{2, NOTE_COMMAND}), "Stopping Instrument on sound type 3.");
    EXPECT_EQ(CellStatusText(Cell{5, NOTE_COMMAND}), "Restart pattern from this point.");
    EXPECT_EQ(CellStatusText(Cell{6, NOTE_COMMAND}), "Stop music at this point.");
    SoundBank[10].soundType = 3;
    EXPECT_EQ(CellStatusText(Cell{10, 1}), "Instr : (a) dummy 10[4] - Note C-2.");
    EXPECT_EQ(CellStatusText(Cell{2, 0}), "Instr : (2) dummy 2[1] - Note 00.");
    // An instrument the bank does not have is named without reading past the bank.
    EXPECT_EQ(CellStatusText(Cell{0x40, 1}), "Instr : (40) ?[?] - Note C-2.");

    song.song_positions[0][1] = 5;
    SetCell(5, 7, Cell{4, NOTE_COMMAND});
    play.current_channel = 1;
    play.current_row = 7;
    ShowCursorCell();
    EXPECT_EQ(text(STATUS_LINE), "No note or command...");
}

TEST_F(PatternView, BoxesAndRowNumbersAtTheEdges) {
    FillTrackThree();
    RedrawPatternView(0, 0);
    EXPECT_EQ(text(1050), "");
    EXPECT_EQ(text(1051), "C-2:00:0");
    EXPECT_EQ(text(1052), Line(1) + Line(2) + Line(3) + Line(4));
    EXPECT_EQ(text(1053), "");
    EXPECT_EQ(text(1056), "00:00:0\n00:00:0\n00:00:0\n00:00:0\n") << "channel 1 shows track 0";
    EXPECT_EQ(text(ROW_NUMBERS), "\n\n\n\n\n1\n\n2\n3\n4\n5");

    RedrawPatternView(1, 0);
    EXPECT_EQ(text(1050), "\n\n\n" + Line(0));
    EXPECT_EQ(text(1052), Line(2) + Line(3) + Line(4) + Line(5));
    EXPECT_EQ(text(ROW_NUMBERS), "\n\n\n1\n\n2\n\n3\n4\n5\n6");

    RedrawPatternView(60, 0);
    EXPECT_EQ(text(1050), Line(56) + Line(57) + Line(58) + Line(59));
    EXPECT_EQ(text(1052), Line(61) + Line(62) + Line(63) + "\n");
    EXPECT_EQ(text(ROW_NUMBERS), "57\n58\n59\n60\n\n61\n\n62\n63\n64");

    RedrawPatternView(63, 0);
    EXPECT_EQ(text(1050), Line(59) + Line(60) + Line(61) + Line(62));
    EXPECT_EQ(text(1051), Line(63).substr(0, Line(63).size() - 1));
    EXPECT_EQ(text(1052), "");
    EXPECT_EQ(text(ROW_NUMBERS), "60\n61\n62\n63\n\n64");

    // A row out of range is clamped.
    RedrawPatternView(99, 0);
    EXPECT_EQ(text(ROW_NUMBERS), "60\n61\n62\n63\n\n64");
    EXPECT_EQ(RowNumbersText(3), "\n1\n2\n3\n\n4\n\n5\n6\n7\n8");
    EXPECT_EQ(RowNumbersText(30), "27\n28\n29\n30\n\n31\n\n32\n33\n34\n35");
    EXPECT_EQ(RowNumbersText(62), "59\n60\n61\n62\n\n63\n\n64");
}

TEST_F(PatternView, RedrawShowsThePositionAskedAndSelectsTheCurrentEntries) {
    FillSelectors(std::array<int, 4>{0, 0, 0, 0}.data(), 0);
    song.song_size = 2;
    song.song_positions[1][2] = 9;
    song.song_positions[0][1] = 4;
    SetCell(9, 0, Cell{1, 2});
    current_instrument = 10;
    RedrawPatternView(0, 1);
    EXPECT_EQ(text(1060), "C#2:00:1");
    EXPECT_EQ(control(1232).selection, 4) << "selectors follow current_position";
    EXPECT_EQ(control(INSTRUMENT_SELECTOR).selection, 10);
}

TEST_F(PatternView, SelectorsAndSongInfo) {
    const int tracksNow[4] = {1, 2, 31, 0};
    FillSelectors(tracksNow, 10);
    for (int id : TRACK_SELECTOR) {
        ASSERT_EQ(control(id).entries.size(), 32u);
        EXPECT_EQ(control(id).entries[0], "00");
        EXPECT_EQ(control(id).entries[31], "31");
    }
    EXPECT_EQ(control(1233).selection, 31);
    ASSERT_EQ(control(INSTRUMENT_SELECTOR).entries.size(), 16u);
    EXPECT_EQ(control(INSTRUMENT_SELECTOR).entries[10], "(a)dummy 10[1]");
    EXPECT_EQ(control(INSTRUMENT_SELECTOR).selection, 10);

    song.song_size = 12;
    play.current_position = 4;
    ShowSongInfo();
    EXPECT_EQ(text(SONG_SIZE_TEXT), "Song size : 12 patterns.");
    EXPECT_EQ(text(SONG_POSITION_TEXT), "Song position : 5.");
}

TEST_F(PatternView, HighlightFollowsTheCursorChannel) {
    play.current_channel = 2;
    RedrawPatternView(0, 0);
    for (int c = 0; c < 4; ++c) {
        const Rgb background = c == 2 ? 0xFFFFFF : 0xD2D2D2;
        EXPECT_EQ(control(UPPER_BOX[c]).background, background);
        EXPECT_EQ(control(CURSOR_BOX[c]).background, background);
        EXPECT_EQ(control(LOWER_BOX[c]).background, background);
        EXPECT_EQ(control(UPPER_BOX[c]).textColor, 0x000078u);
        EXPECT_EQ(control(CURSOR_BOX[c]).textColor, 0x006400u);
        EXPECT_EQ(control(LOWER_BOX[c]).textColor, 0x000078u);
    }
    play.current_channel = 0;
    RedrawPatternView(0, 0);
    EXPECT_EQ(control(1054).background, 0xD2D2D2u);
    EXPECT_EQ(control(1051).background, 0xFFFFFFu);
}

TEST_F(PatternView, MeterZones) {
    auto count = [](const std::array<Rgb, METER_ROWS>& rows, Rgb colour) {
        return std::count(rows.begin(), rows.end(), colour);
    };
    for (int level : {0, 99, -5}) {
        const auto rows = MeterRows(level);
        EXPECT_EQ(rows[40], METER_GREEN);
        EXPECT_EQ(count(rows, METER_OFF), 40) << level;
    }
    auto rows = MeterRows(2100);
    EXPECT_EQ(count(rows, METER_GREEN), 21);
    EXPECT_EQ(count(rows, METER_YELLOW), 0);
    EXPECT_EQ(rows[19], METER_OFF);
    rows = MeterRows(2200);
    EXPECT_EQ(count(rows, METER_GREEN), 21);
    EXPECT_EQ(count(rows, METER_YELLOW), 1);
    EXPECT_EQ(rows[19], METER_YELLOW);
    rows = MeterRows(3400);
    EXPECT_EQ(count(rows, METER_YELLOW), 13);
    EXPECT_EQ(count(rows, METER_RED), 0);
    EXPECT_EQ(rows[6], METER_OFF);
    for (int level : {4100, 9000}) {
        rows = MeterRows(level);
        EXPECT_EQ(count(rows, METER_OFF), 0);
        EXPECT_EQ(count(rows, METER_RED), 7);
        EXPECT_EQ(rows[0], METER_RED);
    }

    play.channel_level[1] = 2200;
    DrawMeters();
    const auto expected = MeterRows(2200);
    EXPECT_EQ(control(1268).rows, std::vector<Rgb>(expected.begin(), expected.end()));
    EXPECT_EQ(control(1267).rows.size(), 41u);
}

TEST_F(PatternView, ButtonImagesAndToolTips) {
    ShowMuteButtons(1259);
    EXPECT_EQ(fake.image(1259), BITMAP_SPEAKER_OFF);
    EXPECT_EQ(fake.image(1257), BITMAP_SPEAKER_ON);
    EXPECT_EQ(play.channel_muted[2], 1);
    ShowMuteButtons(1087); // no mute button: nothing toggles
    EXPECT_EQ(play.channel_muted[2], 1);
    ShowMuteButtons(1259);
    EXPECT_EQ(fake.image(1259), BITMAP_SPEAKER_ON);

    settings.octave_shift = 1;
    ShowOctaveButton();
    EXPECT_EQ(fake.image(1261), BITMAP_OCTAVE_LOW);
    play.metronome_enabled = 1;
    ShowMetronomeButton();
    EXPECT_EQ(fake.image(1262), BITMAP_METRONOME_ON);

    EXPECT_EQ(control(1262).toolTip, "Toggles Metronome ON/OFF. <\xC2\xB2>");
    EXPECT_EQ(control(1111).toolTip, "Starts Pattern playing. <BACK SPACE>");
    EXPECT_EQ(control(1120).toolTip, "Paste Memory Data to Current Pattern. <Shift-V>");
    int tips = 0;
    for (auto& [key, c] : fake.controls) tips += !c.toolTip.empty();
    EXPECT_EQ(tips, 19);
}

} // namespace
