// The pattern window on the fake platform: which rows it shows, a click and the wheel, following
// the cursor, the playing row and the song position, drawing only what changed, and its place
// kept in the preferences.
#include "shell/pattern_window.h"

#include "shell/key_commands.h"
#include "shell_fixture.h"
#include "song/note_entry.h"

namespace {

class PatternWindowTest : public ShellFixture {
  protected:
    void SetUp() override {
        ShellFixture::SetUp();
        ReadSettings();        // this test's own (empty) preferences
        grid().gridLines = 17; // the heading and 16 rows
        // Position 1 names tracks 5..8; a note in each of their rows 40.
        song.song_size = 2;
        for (int c = 0; c < CHANNEL_COUNT; ++c) {
            song.song_positions[1][c] = static_cast<int16_t>(5 + c);
            SetCell(5 + c, 40, {static_cast<uint8_t>(c), static_cast<uint8_t>(1 + c)});
        }
    }
    FakePlatform::Control& grid() { return fake.control(DIALOG_PATTERN, PATTERN_GRID); }
    std::string cell(int line, int column) { return grid().cell(line, column).text; }
    // The row number the line shows, 1-based as on screen.
    int rowAt(int line) { return std::stoi(cell(line, PATTERN_ROW_COLUMN)); }
    void Key(int vk) {
        fake.keysDown = {{vk, true}};
        PollKeyboard();
        HandleKeys(1);
        fake.keysDown.clear();
        PollKeyboard();
    }
    PatternWindow& window = pattern_window();
};

TEST_F(PatternWindowTest, F3AndTheMenuToggleItAndAClickOrTheWheelMoveTheCursorAndView) {
    Key(VKEY_F1 + 2);
    ASSERT_TRUE(window.IsOpen());
    EXPECT_TRUE(control(CMD_PATTERN_WINDOW).checked);
    EXPECT_EQ(grid().gridLineCount, 17);
    EXPECT_EQ(cell(0, 2), "Ch 2 \xC2\xB7 00");
    EXPECT_EQ(rowAt(1), 1);
    EXPECT_EQ(cell(16, 1), CellText({}));

    // A click puts the cursor on the cell, and the main window's view follows.
    window.OnGridClick(PATTERN_GRID, 5, 3);
    EXPECT_EQ(play.current_row, 4);
    EXPECT_EQ(play.current_channel, 2);
    EXPECT_EQ(control(CURSOR_BOX[2]).background, HIGHLIGHT_BACKGROUND);
    EXPECT_EQ(text(ROW_NUMBERS).substr(0, 8), "1\n2\n3\n4\n");
    EXPECT_NE(grid().cell(5, 3).paper, grid().cell(5, 2).paper) << "the cursor cell stands out";
    // The heading picks a channel only; a click past the rows or the columns does nothing.
    window.OnGridClick(PATTERN_GRID, 0, 1);
    window.OnGridClick(PATTERN_GRID, 3, -1);
    EXPECT_EQ(play.current_row, 4);
    EXPECT_EQ(play.current_channel, 0);

    // The wheel scrolls three rows a notch, within the pattern.
    window.OnGridWheel(PATTERN_GRID, 2);
    EXPECT_EQ(rowAt(1), 7);
    window.OnGridWheel(PATTERN_GRID, 100);
    EXPECT_EQ(rowAt(1), 49);
    EXPECT_EQ(rowAt(16), 64);
    window.OnGridClick(PATTERN_GRID, 16, 0);
    EXPECT_EQ(play.current_row, 63);
    window.OnGridWheel(PATTERN_GRID, -100);
    EXPECT_EQ(rowAt(1), 1);
    // The cursor moved from the main window comes into view again, a row of context below it.
    SetCursorRow(20);
    RedrawCursor();
    EXPECT_EQ(rowAt(1), 7);
    EXPECT_EQ(rowAt(16), 22);
    // A taller window shows every row; a tiny one still one.
    window.OnGridResize(PATTERN_GRID, 80);
    EXPECT_EQ(grid().gridLineCount, 65);
    EXPECT_EQ(rowAt(64), 64);
    window.OnGridResize(PATTERN_GRID, 0);
    EXPECT_EQ(grid().gridLineCount, 2);
    EXPECT_EQ(rowAt(1), 21);

    Click(CMD_PATTERN_WINDOW);
    EXPECT_FALSE(window.IsOpen());
    EXPECT_EQ(fake.openDialogs.count(DIALOG_PATTERN), 0u);
    EXPECT_FALSE(control(CMD_PATTERN_WINDOW).checked);
}

TEST_F(PatternWindowTest, WhilePlayingFollowsThePlayRowAndPositionAndDrawsOnlyChanges) {
    TogglePatternWindow();
    play.playing = 1;
    play.current_row = 40;
    main_window().OnTimer();
    // The playing row near the top, the rows to come below it.
    EXPECT_EQ(rowAt(1), 40);
    EXPECT_EQ(rowAt(2), 41);
    const Rgb playPaper = grid().cell(2, 1).paper;
    EXPECT_NE(playPaper, grid().cell(3, 1).paper);
    play.current_row = 55;
    main_window().OnTimer();
    EXPECT_EQ(rowAt(1), 49) << "the last page";

    // The song position moves on: the window shows the next pattern.
    play.current_position = 1;
    play.current_row = 40;
    main_window().OnTimer();
    EXPECT_EQ(cell(0, 4), "Ch 4 \xC2\xB7 08");
    EXPECT_EQ(cell(2, 4), CellText({3, 4}));
    EXPECT_NE(fake.titles[DIALOG_PATTERN].find("position 2 of 2"), std::string::npos);

    const int paints = grid().gridPaints;
    main_window().OnTimer();
    RedrawCursor();
    EXPECT_EQ(grid().gridPaints, paints) << "nothing changed, nothing drawn";
    play.channel_muted[1] = 1;
    main_window().OnTimer();
    EXPECT_EQ(grid().gridPaints, paints + 1);
    EXPECT_EQ(cell(0, 2), "Ch 2 muted");
    EXPECT_NE(grid().cell(3, 2).ink, grid().cell(3, 1).ink);
    SetCell(7, 41, {1, 9});
    RedrawCursor();
    EXPECT_EQ(cell(3, 3), CellText({1, 9}));
    EXPECT_EQ(grid().gridPaints, paints + 2);

    // Stopped, a row scrolled out of view stays out until the cursor moves.
    play.playing = 0;
    window.OnGridWheel(PATTERN_GRID, 5);
    main_window().OnTimer();
    EXPECT_EQ(rowAt(1), 49);
}

TEST_F(PatternWindowTest, ItsPlaceAndOpenStateAreKeptAndBadPlacesBroughtOntoTheScreen) {
    // First opened beside the main window.
    fake.windowRects[MAIN_WINDOW] = {300, 200, 600, 400};
    fake.openDialogs[MAIN_WINDOW] = &main_window();
    TogglePatternWindow();
    EXPECT_EQ(fake.windowRects[DIALOG_PATTERN], (WindowRect{912, 200, 420, 560}));

    // Moved: noted by the window timer, and kept at the quit with the window open.
    fake.windowRects[DIALOG_PATTERN] = {40, 60, 500, 700};
    main_window().OnTimer();
    EXPECT_EQ(Preference(PATTERN_PLACE_KEY), "40,60,500,700");
    Click(CMD_QUIT);
    WriteSettings();
    ReadSettings();
    EXPECT_EQ(Preference(PATTERN_WINDOW_KEY), "open");
    main_window().OnInit();
    fake.windowRects.clear();
    RestorePatternWindow();
    ASSERT_TRUE(window.IsOpen());
    EXPECT_EQ(fake.windowRects[DIALOG_PATTERN], (WindowRect{40, 60, 500, 700}));
    // Closed, it stays closed at the next start.
    TogglePatternWindow();
    main_window().OnInit();
    RestorePatternWindow();
    EXPECT_FALSE(window.IsOpen());

    // Places from a damaged or a bigger screen: on this one, whole, at least the minimum size.
    // Text that is no place puts it beside the main window.
    fake.screenArea = {0, 0, 1024, 768};
    fake.openDialogs[MAIN_WINDOW] = &main_window();
    const WindowRect beside{1024 - 420, 200, 420, 560};
    const std::pair<std::string, WindowRect> places[] = {
        {"5000,-300,400,300", {624, 0, 400, 300}},
        {"10,10,-5,99999", {10, 0, PATTERN_MIN_WIDTH, 768}},
        {"-2147483648,2147483647,2147483647,1",
         {0, 768 - PATTERN_MIN_HEIGHT, 1024, PATTERN_MIN_HEIGHT}},
        {"1,2,3", beside},
        {"1,2,3,4,5", beside},
        {"1,2,3,99999999999", beside},
        {"a,b,c,d", beside},
    };
    for (const auto& [text, want] : places) {
        SCOPED_TRACE(text);
        SetPreference(PATTERN_PLACE_KEY, text);
        fake.windowRects = {{MAIN_WINDOW, {300, 200, 600, 400}}};
        TogglePatternWindow();
        EXPECT_EQ(fake.windowRects[DIALOG_PATTERN], want);
        TogglePatternWindow();
    }
    // No room to the right of the main window, but room to its left: it goes there.
    SetPreference(PATTERN_PLACE_KEY, "");
    fake.windowRects = {{MAIN_WINDOW, {600, 200, 400, 400}}};
    TogglePatternWindow();
    EXPECT_EQ(fake.windowRects[DIALOG_PATTERN], (WindowRect{600 - 12 - 420, 200, 420, 560}));
    TogglePatternWindow();
}

} // namespace
