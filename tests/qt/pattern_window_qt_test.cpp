// The pattern window on the Qt backend, offscreen (also at a device-pixel ratio of 2): it opens
// on the screen and follows a change of the song position, a click and the wheel reach the logic,
// a taller window shows more rows, and its keys are polled as the main window's, so that a note
// typed there is recorded where it would be from the main window.
#include "platform/qt/grid_view.h"
#include "platform/qt/qt_desktop.h"
#include "resources/resource_ids.h"
#include "shell/key_commands.h"
#include "shell/main_window.h"
#include "shell/pattern_view.h"
#include "shell/pattern_window.h"
#include "song/note_entry.h"
#include "song/sequencer.h"
#include "song/song_model.h"
#include "sound/audio_output.h"
#include "sound/instrument_bank.h"
#include "sound/sound_engine.h"

#include <QApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <mutex>

namespace {

class PatternWindowQt : public ::testing::Test {
  protected:
    void SetUp() override {
        SetDesktop(&qt);
        ResetSong();
        play = PlayState{};
        settings = StoredSettings{};
        {
            const EngineLockGuard lock(sound_engine_lock);
            InitSoundBank();
        }
        StartAudio();
        qt.CreateDialog(MAIN_WINDOW, &main_window());
        TogglePatternWindow();
        window = qt.DialogWidget(DIALOG_PATTERN);
        grid = dynamic_cast<qtplatform::GridView*>(qt.ControlWidget(DIALOG_PATTERN, PATTERN_GRID));
        ASSERT_TRUE(window && grid);
    }
    void TearDown() override {
        KillTickTimer();
        ResetSongDisplay();
        SetDesktop(nullptr);
    }
    std::string Shown(int line, int column) { return grid->CellText(line, column).toStdString(); }
    // Q, the note key of C-2 on the QWERTY layout, typed into `w` and handled by one poll.
    void TypeNote(QWidget* w) {
        w->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(w));
        EXPECT_FALSE(qt.KeysBelongToDialog());
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Q, Qt::NoModifier, 24, 0, 0, "q");
        QApplication::sendEvent(w, &press);
        PollKeyboard();
        HandleKeys(1);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_Q, Qt::NoModifier, 24, 0, 0, "q");
        QApplication::sendEvent(w, &release);
        PollKeyboard();
    }

    QtDesktop qt;
    QWidget* window = nullptr;
    qtplatform::GridView* grid = nullptr;
};

TEST_F(PatternWindowQt, OpensOnTheScreenFollowsThePositionAndTakesClicksWheelAndSize) {
    EXPECT_TRUE(window->isVisible());
    const QRect area = window->screen()->availableGeometry();
    // On the screen, a window frame's width aside.
    const QRect placed = window->geometry();
    EXPECT_TRUE(area.contains(placed.topLeft()));
    EXPECT_LE(placed.width(), area.width());
    EXPECT_LE(placed.height(), area.height());
    const int lines = grid->LinesThatFit();
    ASSERT_GT(lines, 4);
    EXPECT_EQ(Shown(1, 0), "1");
    EXPECT_EQ(Shown(lines - 1, 0), std::to_string(lines - 1));

    // The song moves on to a position naming track 5: the next refresh shows it.
    song.song_size = 2;
    song.song_positions[1][0] = 5;
    SetCell(5, 0, {2, 13});
    play.current_position = 1;
    main_window().OnTimer();
    EXPECT_EQ(Shown(0, 1), "Ch 1 \xC2\xB7 05");
    EXPECT_EQ(Shown(1, 1), CellText({2, 13}));
    EXPECT_TRUE(window->windowTitle().contains("position 2 of 2"));

    // A click on line 3 of channel 2: row 2 (the first line is the heading).
    QTest::mouseClick(grid, Qt::LeftButton, {}, grid->CellRect(3, 2).center());
    EXPECT_EQ(play.current_row, 2);
    EXPECT_EQ(play.current_channel, 1);
    // Two notches towards the user: six rows on.
    QWheelEvent wheel(grid->rect().center(), grid->mapToGlobal(grid->rect().center()), {},
                      {0, -240}, Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(grid, &wheel);
    EXPECT_EQ(Shown(1, 0), "7");

    // Taller by ten lines: ten more rows (and the cursor's row in view again).
    window->resize(window->width(), window->height() + 10 * grid->LineHeight());
    EXPECT_EQ(grid->LinesThatFit(), lines + 10);
    EXPECT_EQ(std::stoi(Shown(lines + 9, 0)), std::stoi(Shown(1, 0)) + lines + 8);
}

TEST_F(PatternWindowQt, TakesThePolledKeysAndANoteTypedThereIsRecordedAsInTheMainWindow) {
    settings.keyboard_layout = 1;
    settings.record_enabled = 1;
    TypeNote(window);
    const Cell typed = GetCell(TrackAt(0, 0), 0);
    EXPECT_FALSE(IsEmptyCell(typed));
    EXPECT_EQ(Shown(1, 1), CellText(typed)) << "and shows at once";

    SetCell(TrackAt(0, 0), 0, {});
    TypeNote(qt.DialogWidget(MAIN_WINDOW));
    EXPECT_EQ(GetCell(TrackAt(0, 0), 0), typed);
}

} // namespace
