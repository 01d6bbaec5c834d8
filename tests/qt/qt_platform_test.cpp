// The Qt backend's wiring, offscreen: dialogs built from their templates report clicks, scroll
// actions, combo selections and the close box to their events; controls keep what the logic
// sets; statics show their whole text; message boxes answer; the event loop runs its pass (also
// under a modal dialog); MIDI messages wake it from another thread; key state reaches the logic.
#include "platform/fake_platform.h"
#include "platform/qt/qt_desktop.h"
#include "platform/rtmidi/rtmidi_input.h"
#include "resources/dialog_template.h"
#include "resources/resource_ids.h"
#include "shell/main_window.h"
#include "shell/pattern_view.h"
#include "shell/settings_file.h"
#include "song/sequencer.h"
#include "song/song_model.h"
#include "sound/instrument_bank.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

class Recorder : public DialogEvents {
  public:
    void OnInit() override { log.push_back("init"); }
    void OnCommand(int id, int code) override {
        log.push_back("command " + std::to_string(id) + " " + std::to_string(code));
    }
    void OnScroll(int id, int code, int position) override {
        log.push_back("scroll " + std::to_string(id) + " " + std::to_string(code) + " " +
                      std::to_string(position));
    }
    void OnTimer() override { ++timers; }
    void OnClose() override { log.push_back("close"); }
    void OnMidi(uint8_t s, uint8_t d1, uint8_t d2) override {
        log.push_back("midi " + std::to_string(s) + " " + std::to_string(d1) + " " +
                      std::to_string(d2));
    }
    std::vector<std::string> log;
    int timers = 0;
};

class QtPlatformTest : public ::testing::Test {
  protected:
    void SetUp() override { qt.CreateDialog(MAIN_WINDOW, &events); }
    template <typename T> T* Control(int id) {
        return qobject_cast<T*>(qt.ControlWidget(MAIN_WINDOW, id));
    }
    // The rectangle of a part of a scroll bar as the style draws it.
    static QRect ScrollPart(QScrollBar* bar, QStyle::SubControl part) {
        QStyleOptionSlider option;
        option.initFrom(bar);
        option.orientation = bar->orientation();
        option.minimum = bar->minimum();
        option.maximum = bar->maximum();
        option.sliderPosition = bar->sliderPosition();
        option.sliderValue = bar->value();
        option.singleStep = bar->singleStep();
        option.pageStep = bar->pageStep();
        option.upsideDown = bar->invertedAppearance();
        option.state |= QStyle::State_Horizontal;
        return bar->style()->subControlRect(QStyle::CC_ScrollBar, &option, part, bar);
    }
    static void SendMouse(QWidget* w, QEvent::Type type, QPoint at, Qt::MouseButton button,
                          Qt::MouseButtons held) {
        QMouseEvent event(type, at, w->mapToGlobal(at), button, held, Qt::NoModifier);
        QApplication::sendEvent(w, &event);
    }
    static void SendKey(QWidget* w, QEvent::Type type, int key, const QString& text = {},
                        quint32 scanCode = 0) {
        QKeyEvent event(type, key, Qt::NoModifier, scanCode, 0, 0, text);
        QApplication::sendEvent(w, &event);
    }
    // Runs the event loop for `passes` passes.
    int RunPasses(int passes) {
        int n = 0;
        return qt.RunEventLoop([&] {
            if (++n == passes) qt.Quit(7);
            return 1;
        });
    }

    QtDesktop qt;
    Recorder events;
};

TEST_F(QtPlatformTest, ButtonsAndMenuItemsSendTheirCommands) {
    ASSERT_EQ(events.log, std::vector<std::string>{"init"});
    auto* play = Control<QPushButton>(1087);
    ASSERT_NE(play, nullptr);
    EXPECT_EQ(play->focusPolicy(), Qt::NoFocus); // keys never press a button
    QTest::mouseClick(play, Qt::LeftButton);
    ASSERT_EQ(events.log.back(), "command 1087 0");

    auto* bar = qt.DialogWidget(MAIN_WINDOW)->findChild<QMenuBar*>();
    ASSERT_NE(bar, nullptr);
    std::vector<std::string> items;
    QAction *quit = nullptr, *undo = nullptr, *midi = nullptr;
    for (QAction* popup : bar->actions())
        for (QAction* item : popup->menu()->actions()) {
            items.push_back(item->isSeparator() ? "-" : item->text().toStdString());
            if (item->text() == "Quit") quit = item;
            if (item->text() == "Undo") undo = item;
            if (item->text() == "MIDI Input") midi = item;
        }
    EXPECT_EQ(items, (std::vector<std::string>{"Sound Editor", "Pattern Window\tF3", "-",
                                               "New Song", "-", "Save Song", "Load Song",
                                               "Export WAV...", "-",
                                               "AZERTY note keys", "QWERTY note keys", "MIDI Input",
                                               "Audio latency", "-", "Quit", "Undo", "Redo", "Save Samples",
                                               "Load Samples", "Keys...", "About"}));
    // The MIDI Input submenu: its port slots stay hidden until the logic names them, and show
    // a name as it is ("&" is no shortcut mark).
    ASSERT_TRUE(midi && midi->menu());
    const QList<QAction*> ports = midi->menu()->actions();
    ASSERT_EQ(ports.size(), 35);
    EXPECT_EQ(ports[0]->text(), "Automatic");
    EXPECT_EQ(ports[1]->text(), "None");
    EXPECT_FALSE(ports[3]->isVisible());
    qt.SetControlText(MAIN_WINDOW, CMD_MIDI_PORT_FIRST, "Keys & Pads:Port 1 20:0");
    qt.SetChecked(MAIN_WINDOW, CMD_MIDI_PORT_FIRST, true);
    EXPECT_TRUE(ports[3]->isVisible());
    EXPECT_EQ(ports[3]->text(), "Keys && Pads:Port 1 20:0");
    EXPECT_TRUE(ports[3]->isChecked());
    ports[3]->trigger();
    EXPECT_EQ(events.log.back(), "command 1400 0");
    qt.SetControlText(MAIN_WINDOW, CMD_MIDI_PORT_FIRST, "");
    EXPECT_FALSE(ports[3]->isVisible());
    // Menu items are greyed by their command id.
    ASSERT_NE(undo, nullptr);
    qt.EnableControl(MAIN_WINDOW, 1204, false);
    EXPECT_FALSE(undo->isEnabled());
    qt.EnableControl(MAIN_WINDOW, 1204, true);
    EXPECT_TRUE(undo->isEnabled());
    qt.SetChecked(MAIN_WINDOW, 1204, true);
    EXPECT_TRUE(undo->isChecked());
    ASSERT_NE(quit, nullptr);
    quit->trigger();
    EXPECT_EQ(events.log.back(), "command 1201 0");
}

TEST_F(QtPlatformTest, ScrollBarReportsStepsDragAndReleaseAndMovesOnlyWhenSet) {
    qt.SetScrollRange(MAIN_WINDOW, 1236, 2, 26);
    qt.SetScrollPosition(MAIN_WINDOW, 1236, 10);
    auto* bar = Control<QScrollBar>(1236);
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->value(), 10);
    EXPECT_EQ(events.log.size(), 1u); // setting from code reports nothing
    EXPECT_EQ(bar->focusPolicy(), Qt::NoFocus);

    QTest::mouseClick(bar, Qt::LeftButton, {},
                      ScrollPart(bar, QStyle::SC_ScrollBarAddLine).center());
    EXPECT_EQ(events.log.back(), "scroll 1236 1 11");
    EXPECT_EQ(bar->value(), 10); // the logic did not move it
    QTest::mouseClick(bar, Qt::LeftButton, {},
                      ScrollPart(bar, QStyle::SC_ScrollBarSubLine).center());
    EXPECT_EQ(events.log.back(), "scroll 1236 0 9");
    QTest::mouseClick(bar, Qt::LeftButton, {},
                      ScrollPart(bar, QStyle::SC_ScrollBarAddPage).center());
    EXPECT_EQ(events.log.back(), "scroll 1236 3 11");

    // Dragging the thumb to the right end: thumb track with positions, then the release.
    const QPoint grip = ScrollPart(bar, QStyle::SC_ScrollBarSlider).center();
    const QPoint end(ScrollPart(bar, QStyle::SC_ScrollBarAddLine).left() - 1, grip.y());
    events.log.clear();
    SendMouse(bar, QEvent::MouseButtonPress, grip, Qt::LeftButton, Qt::LeftButton);
    SendMouse(bar, QEvent::MouseMove, end, Qt::NoButton, Qt::LeftButton);
    SendMouse(bar, QEvent::MouseButtonRelease, end, Qt::LeftButton, Qt::NoButton);
    ASSERT_EQ(events.log.size(), 2u);
    EXPECT_EQ(events.log[0], "scroll 1236 5 26");
    EXPECT_EQ(events.log[1], "scroll 1236 4 26");
}

TEST_F(QtPlatformTest, ComboKeepsTheOrderOfAddingAndReportsChosenThenClosed) {
    auto* combo = Control<QComboBox>(1231);
    ASSERT_NE(combo, nullptr);
    for (int k = 31; k >= 0; --k) // in reverse: no sorting may undo it
        qt.ComboAdd(MAIN_WINDOW, 1231, (k < 10 ? "0" : "") + std::to_string(k));
    EXPECT_EQ(qt.ComboSelection(MAIN_WINDOW, 1231), -1);
    EXPECT_EQ(combo->itemText(0), "31");
    qt.ComboSelect(MAIN_WINDOW, 1231, 3);
    EXPECT_EQ(qt.ComboSelection(MAIN_WINDOW, 1231), 3);
    EXPECT_EQ(events.log.size(), 1u); // selecting from code reports nothing

    // The user opens the list, moves to entry 5 and confirms it.
    combo->showPopup();
    QAbstractItemView* list = combo->view();
    list->setCurrentIndex(combo->model()->index(5, 0));
    QTest::keyClick(list, Qt::Key_Return);
    QApplication::processEvents();
    EXPECT_EQ(qt.ComboSelection(MAIN_WINDOW, 1231), 5);
    ASSERT_GE(events.log.size(), 3u);
    EXPECT_EQ(events.log[events.log.size() - 2], "command 1231 9");
    EXPECT_EQ(events.log.back(), "command 1231 8");

    qt.ComboReset(MAIN_WINDOW, 1231);
    EXPECT_EQ(combo->count(), 0);
    EXPECT_EQ(qt.ComboSelection(MAIN_WINDOW, 1231), -1);
}

TEST_F(QtPlatformTest, ControlsKeepTextColoursImagesAndPaintedRows) {
    qt.SetControlText(MAIN_WINDOW, 1050, "C-3 01\nD#4 02\n--- --");
    EXPECT_EQ(qt.GetControlText(MAIN_WINDOW, 1050), "C-3 01\nD#4 02\n--- --");
    EXPECT_EQ(Control<QLabel>(1050)->alignment() & Qt::AlignHCenter, Qt::AlignHCenter);
    qt.SetControlText(MAIN_WINDOW, 1242, "Toggles Metronome ON/OFF. <\xC2\xB2>");
    EXPECT_EQ(qt.GetControlText(MAIN_WINDOW, 1242), "Toggles Metronome ON/OFF. <\xC2\xB2>");
    EXPECT_EQ(qt.GetControlText(MAIN_WINDOW, 4242), ""); // no such control: nothing happens

    qt.SetControlColors(MAIN_WINDOW, 1051, 0x006400, 0xFFFFFF);
    QLabel* row = Control<QLabel>(1051);
    EXPECT_EQ(row->palette().color(QPalette::WindowText), QColor(0, 100, 0));
    EXPECT_EQ(row->palette().color(QPalette::Window), QColor(255, 255, 255));
    EXPECT_EQ(row->grab().toImage().pixelColor(row->width() - 2, row->height() - 2),
              QColor(255, 255, 255));

    qt.SetToolTip(MAIN_WINDOW, 1087, "Starts Music playing. <ENTER>");
    EXPECT_EQ(qt.ControlWidget(MAIN_WINDOW, 1087)->toolTip(), "Starts Music playing. <ENTER>");

    // The bitmaps are compiled in; a missing one shows nothing.
    EXPECT_TRUE(QFile::exists(":/bitmaps/111.svg"));
    qt.SetControlImage(MAIN_WINDOW, 1087, 111);
    EXPECT_FALSE(Control<QPushButton>(1087)->icon().isNull());
    qt.SetControlImage(MAIN_WINDOW, 1087, 999);
    EXPECT_TRUE(Control<QPushButton>(1087)->icon().isNull());

    // A level meter: 41 rows, black above and green at the bottom, stretched to the frame.
    std::vector<Rgb> rows(41, 0x000000);
    for (int r = 30; r < 41; ++r) rows[size_t(r)] = 0x00FF00;
    qt.PaintRows(MAIN_WINDOW, 1267, rows.data(), int(rows.size()));
    qt.PaintRows(MAIN_WINDOW, 1087, rows.data(), int(rows.size())); // not a frame: ignored
    QWidget* meter = qt.ControlWidget(MAIN_WINDOW, 1267);
    const QImage image = meter->grab().toImage();
    const int x = meter->width() / 2;
    EXPECT_EQ(image.pixelColor(x, 0), QColor(Qt::black));                   // frame
    EXPECT_EQ(image.pixelColor(x, 2), QColor(Qt::black));                   // top row
    EXPECT_EQ(image.pixelColor(x, meter->height() - 3), QColor(0, 255, 0)); // bottom row
    EXPECT_EQ(image.pixelColor(1, meter->height() - 3), QColor(0, 255, 0)); // full width
}

TEST_F(QtPlatformTest, MessageBoxesAnswerOkOrCancelWithTheirIcon) {
    QMessageBox::Icon seen = QMessageBox::NoIcon;
    auto answer = [&](QMessageBox::StandardButton button) {
        QTimer::singleShot(0, [&seen, button] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            seen = box->icon();
            box->button(button)->click();
        });
    };
    answer(QMessageBox::Cancel);
    EXPECT_FALSE(qt.MessageBox("Sure?", "Song Data Warning.", MB_WARNING_OK_CANCEL));
    EXPECT_EQ(seen, QMessageBox::Warning);
    answer(QMessageBox::Ok);
    EXPECT_TRUE(qt.MessageBox("Sure?", "Track Data Warning.", MB_QUESTION_OK_CANCEL));
    EXPECT_EQ(seen, QMessageBox::Information);
    answer(QMessageBox::Ok);
    EXPECT_TRUE(qt.MessageBox("Empty", "Error message", MB_ERROR_OK));
    EXPECT_EQ(seen, QMessageBox::Critical);
}

TEST_F(QtPlatformTest, ProgressWindowShowsItsPercentAndReportsCancel) {
    EXPECT_TRUE(qt.ShowProgress("WAV Exporter", "Rendering", 10));
    auto* box = qt.DialogWidget(MAIN_WINDOW)->findChild<QProgressDialog*>();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->windowTitle(), "WAV Exporter");
    EXPECT_TRUE(qt.ShowProgress("WAV Exporter", "Rendering", 55));
    EXPECT_EQ(box->value(), 55);
    box->cancel();
    EXPECT_FALSE(qt.ShowProgress("WAV Exporter", "Rendering", 60));
    qt.EndProgress();
    EXPECT_EQ(qt.DialogWidget(MAIN_WINDOW)->findChild<QProgressDialog*>(), nullptr);
}

TEST_F(QtPlatformTest, FileDialogsOpenInTheirFolderListTheFilterOnceAndAddItsSuffix) {
    const QString dir = QDir::tempPath() + "/tavomix-file-dialog-" + QString::number(getpid());
    QDir().mkpath(dir + "/songs");
    for (const char* name : {"songs/a.son", "songs/B.SON", "songs/notes.txt"}) {
        QFile file(dir + "/" + name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    const QString before = QDir::currentPath();
    QDir::setCurrent(dir);
    QString filter, folder;
    QStringList listed;
    auto answer = [&](const QString& name) {
        QTimer::singleShot(0, [&, name] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            filter = dialog->selectedNameFilter();
            folder = dialog->directory().absolutePath();
            // The folder is read on a thread of its own: wait until its files are listed.
            auto* view = dialog->findChild<QAbstractItemView*>("listView");
            ASSERT_NE(view, nullptr);
            EXPECT_TRUE(QTest::qWaitFor(
                [&] {
                    listed.clear();
                    for (int r = 0; r < view->model()->rowCount(view->rootIndex()); ++r)
                        listed << view->model()->index(r, 0, view->rootIndex()).data().toString();
                    return !listed.isEmpty();
                },
                5000));
            if (name.isEmpty()) return dialog->reject();
            auto* edit = dialog->findChild<QLineEdit*>("fileNameEdit");
            ASSERT_NE(edit, nullptr);
            edit->setText(name);
            QTest::keyClick(edit, Qt::Key_Return);
        });
    };
    // The description names its pattern in capitals: shown once, matching either case.
    answer("tune");
    EXPECT_EQ(qt.SaveFileDialog("Song Saver", ".SON Song file (*.SON)", "*.son", "songs"),
              (dir + "/songs/tune.son").toStdString());
    EXPECT_EQ(filter, ".SON Song file (*.SON)");
    EXPECT_EQ(folder, dir + "/songs");
    listed.sort();
    EXPECT_EQ(listed, QStringList({"B.SON", "a.son"}));
    // No folder, or one that is gone: the working folder. A bare description gets its pattern.
    for (const char* gone : {"", "gone"}) {
        answer("");
        EXPECT_EQ(qt.OpenFileDialog("Song Loader", "Song files", "*.son", gone), "");
        EXPECT_EQ(filter, "Song files (*.son)");
        EXPECT_EQ(folder, dir) << gone;
    }
    QDir::setCurrent(before);
    QDir(dir).removeRecursively();
}

// Pixels of a static's text that its inside cuts off: the static itself, given more room on every
// side but the top (text hangs from the top), paints its text, and every inked pixel outside the
// place of its inside is counted.
int CutOffTextPixels(QLabel& label) {
    constexpr int kRoom = 300;
    const QRect place = label.geometry();
    const QRect original = label.contentsRect();
    label.resize(place.width() + 2 * kRoom, place.height() + kRoom);
    // Centred text stays centred when the static grows on both sides.
    const int shift = (label.alignment() & Qt::AlignHCenter) ? kRoom : 0;
    const qreal dpr = label.devicePixelRatioF();
    QImage image(label.size() * dpr, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(dpr);
    image.fill(Qt::transparent);
    // Text and frame, no background.
    const bool filled = label.autoFillBackground();
    label.setAutoFillBackground(false);
    label.render(&image, {}, {}, QWidget::DrawChildren);
    label.setAutoFillBackground(filled);
    auto device = [dpr](QRect r) {
        return QRect(QPoint(qRound(r.left() * dpr), qRound(r.top() * dpr)),
                     QSize(qRound(r.width() * dpr), qRound(r.height() * dpr)));
    };
    const QRect inside = device(original.translated(shift, 0));
    const QRect scanned = device(label.contentsRect()); // leaves out the frame
    label.setGeometry(place);
    int cut = 0;
    for (int y = scanned.top(); y <= scanned.bottom(); ++y)
        for (int x = scanned.left(); x <= scanned.right(); ++x)
            if (qAlpha(image.pixel(x, y)) > 0 && !inside.contains(x, y)) ++cut;
    return cut;
}

// The vertical middle of each line of text a static shows, top first, in its window's logical
// pixels: the rows of dark pixels inside its frame, a gap of up to two pixels counting as part of
// the same line (the thin stroke of a "7").
std::vector<double> TextLineMiddles(QLabel& label) {
    const QImage image = label.grab().toImage();
    const qreal dpr = image.devicePixelRatio();
    const QRect inside = label.contentsRect();
    const int top = label.mapTo(label.window(), QPoint(0, 0)).y();
    std::vector<std::pair<int, int>> runs; // device rows, first and last
    for (int y = qRound(inside.top() * dpr); y < qRound((inside.bottom() + 1) * dpr); ++y) {
        bool dark = false;
        for (int x = qRound(inside.left() * dpr); x < qRound((inside.right() + 1) * dpr); ++x)
            dark = dark || qGray(image.pixel(x, y)) < 160;
        if (!dark) continue;
        if (!runs.empty() && y - runs.back().second <= 1 + 2 * dpr)
            runs.back().second = y;
        else
            runs.emplace_back(y, y);
    }
    std::vector<double> middles;
    for (const auto& [first, last] : runs) middles.push_back(top + (first + last + 1) / 2.0 / dpr);
    return middles;
}

// Every static of the main window shows its whole text, for the longest texts the program writes
// there: each tempo, the largest steps and song numbers, two-digit row numbers, the widest cells
// and a full-length instrument name in the status line; and each row number stands beside its
// row. CTest runs this also with QT_SCALE_FACTOR=2.
TEST_F(QtPlatformTest, StaticsShowTheLongestTextsWholeAtTheScreensScale) {
    QWidget* window = qt.DialogWidget(MAIN_WINDOW);
    EXPECT_EQ(window->devicePixelRatioF(), qEnvironmentVariable("QT_SCALE_FACTOR", "1").toDouble());

    // The window logic writes its texts into a fake; each state's texts are then shown here.
    FakePlatform fake;
    InstallFake(&fake);
    ResetSong();
    InitSoundBank();
    std::strcpy(SoundBank[15].name, "Slow Strings Ensemble With Fade");
    SoundBank[15].soundType = 3;
    main_window().OnInit();
    for (int r = 0; r < TRACK_ROWS; ++r) SetCell(0, r, Cell{15, uint8_t(72 + r % 7)}); // F-X..B-X
    auto check = [&](const std::string& state) {
        for (const auto& [key, control] : fake.controls)
            if (key.first == MAIN_WINDOW &&
                qobject_cast<QLabel*>(qt.ControlWidget(key.first, key.second)))
                qt.SetControlText(MAIN_WINDOW, key.second, control.text);
        for (QLabel* label : window->findChildren<QLabel*>())
            EXPECT_EQ(CutOffTextPixels(*label), 0)
                << state << ": \"" << label->text().toStdString() << "\"";
    };
    check("template texts");
    for (int t : {2, 3, 4, 5, 6, 7, 8, 10, 12, 15, 20, 30}) {
        song.tempo = t;
        ShowTempoText();
        check("tempo " + std::to_string(t));
    }
    song.song_size = POSITION_COUNT;
    play.current_position = POSITION_COUNT - 1;
    settings.cursor_step = 16;
    settings.metronome_step = 16;
    settings.countdown_start = 6;
    RefreshSettings();
    ShowSongInfo();
    for (int row : {0, 40, TRACK_ROWS - 1}) {
        play.current_row = int16_t(row);
        RedrawPatternView(row, POSITION_COUNT - 1);
        ShowCursorCell();
        check("row " + std::to_string(row));
        // The number column and the rows above, at and below the cursor, line for line.
        std::vector<double> rows;
        for (int id : {UPPER_BOX[0], CURSOR_BOX[0], LOWER_BOX[0]})
            for (double middle : TextLineMiddles(*Control<QLabel>(id))) rows.push_back(middle);
        const std::vector<double> numbers = TextLineMiddles(*Control<QLabel>(ROW_NUMBERS));
        // Within a quarter of a row (17 pixels at the dialog font).
        ASSERT_EQ(numbers.size(), rows.size()) << "row " << row;
        for (size_t i = 0; i < rows.size(); ++i)
            EXPECT_NEAR(numbers[i], rows[i], 4.0) << "row " << row << ", line " << i;
    }
    SetCell(0, 40, Cell{CMD_STOP_SOUND_TYPE_LAST, NOTE_COMMAND});
    play.current_row = 40;
    ShowCursorCell();
    check("command cell");
    KillTickTimer();
    InstallFake(nullptr);
}

TEST_F(QtPlatformTest, CloseBoxAsksTheLogicWhichEndsTheDialog) {
    QWidget* window = qt.DialogWidget(MAIN_WINDOW);
    ASSERT_TRUE(window->isVisible());
    window->close();
    EXPECT_EQ(events.log.back(), "close");
    EXPECT_TRUE(window->isVisible()); // the close box alone does not close it
    qt.SetDialogTitle(MAIN_WINDOW, "Music Editor V2.10[Noname*]");
    EXPECT_EQ(window->windowTitle(), "Music Editor V2.10[Noname*]");
    qt.EndDialog(MAIN_WINDOW);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(qt.DialogWidget(MAIN_WINDOW), nullptr);
}

TEST_F(QtPlatformTest, LoopRunsPassesAlsoUnderAModalDialogAndHandsOverMidi) {
    // Messages wait for the pass that takes them, in order, whatever thread they came from.
    RtMidiInput midi([this] { qt.WakeSoon(); });
    std::thread([&] {
        midi.Inject(0x90, 60, 100);
        midi.Inject(0x80, 60, 0);
    }).join();
    int n = 0;
    EXPECT_EQ(qt.RunEventLoop([&] {
        midi.TakeMessages([&](uint8_t s, uint8_t d1, uint8_t d2) { events.OnMidi(s, d1, d2); });
        if (++n == 1) qt.Quit(7);
        return 1;
    }),
              7);
    EXPECT_EQ(events.log[events.log.size() - 2], "midi 144 60 100");
    EXPECT_EQ(events.log.back(), "midi 128 60 0");

    // A modal About box opened from a click (not from a pass): passes and the window timer go
    // on meanwhile. The box ends once ten passes and three timer events came under it (or after
    // five seconds on a very slow machine, which the checks below then report).
    Recorder about;
    int passes = 0, passesUnderModal = 0;
    bool modalOpen = false;
    QTimer::singleShot(5, [&] {
        modalOpen = true;
        const int timersBefore = events.timers;
        QTimer::singleShot(5000, [&] { qt.EndDialog(DIALOG_ABOUT); });
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            if (passesUnderModal >= 10 && events.timers - timersBefore >= 3)
                qt.EndDialog(DIALOG_ABOUT);
        });
        watch.start(2);
        qt.RunModalDialog(DIALOG_ABOUT, &about);
        modalOpen = false;
        qt.Quit(3);
    });
    qt.StartWindowTimer(MAIN_WINDOW, 10);
    EXPECT_EQ(qt.RunEventLoop([&] {
        ++passes;
        passesUnderModal += modalOpen;
        return 1;
    }),
              3);
    EXPECT_EQ(about.log, std::vector<std::string>{"init"});
    EXPECT_GE(passesUnderModal, 10);
    EXPECT_GT(events.timers, 2);
    EXPECT_EQ(qt.DialogWidget(DIALOG_ABOUT), nullptr);

    // Quit before the loop starts: the loop returns at once.
    qt.Quit(4);
    EXPECT_EQ(qt.RunEventLoop([] { return 1; }), 4);
}

// A pass with nothing to do lets the loop sleep: no pass runs until a key, a MIDI message or
// the pass's own deadline wakes it.
TEST_F(QtPlatformTest, AnIdleLoopSleepsUntilAKeyMidiOrADeadlineWakesIt) {
    QWidget* window = qt.DialogWidget(MAIN_WINDOW);
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    std::vector<int> at; // when each pass ran, in ms from the start
    RtMidiInput midi([this] { qt.WakeSoon(); });
    std::thread sender;
    QElapsedTimer clock;
    int next = -1;
    clock.start();
    QTimer::singleShot(100, [&] { SendKey(window, QEvent::KeyPress, Qt::Key_A, "a"); });
    // A message from another thread, as RtMidi's would come.
    QTimer::singleShot(200, [&] { sender = std::thread([&] { midi.Inject(0x90, 60, 100); }); });
    QTimer::singleShot(300, [&] { next = 50; }); // the next pass asks to run 50 ms later
    QTimer::singleShot(300, [&] { SendKey(window, QEvent::KeyRelease, Qt::Key_A, "a"); });
    QTimer::singleShot(500, [&] { qt.Quit(0); });
    qt.RunEventLoop([&] {
        at.push_back(int(clock.elapsed()));
        const int asked = next;
        next = -1;
        return asked;
    });
    sender.join();
    // The first pass, then one for each wake: the press, the MIDI message, the release, and the
    // deadline 50 ms after it.
    ASSERT_EQ(at.size(), 5u) << "passes ran while there was nothing to do";
    EXPECT_GE(at[1], 100);
    EXPECT_GE(at[2], 200);
    EXPECT_GE(at[3], 300);
    EXPECT_GE(at[4] - at[3], 45);
}

TEST_F(QtPlatformTest, KeyEventsSetKeyStateAndNeverMoveFocusOrPressButtons) {
    QWidget* window = qt.DialogWidget(MAIN_WINDOW);
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    qt.SetFocus(MAIN_WINDOW, 1082);
    QWidget* parked = qt.ControlWidget(MAIN_WINDOW, 1082);
    ASSERT_EQ(QApplication::focusWidget(), parked);

    struct Key {
        int qt, vk;
        QString text;
    };
    const Key keys[] = {{Qt::Key_A, 0x41, "a"},       {Qt::Key_Z, 0x5A, "z"},
                        {Qt::Key_0, 0x30, "0"},       {Qt::Key_Space, 0x20, " "},
                        {Qt::Key_Return, 0x0D, "\r"}, {Qt::Key_Backspace, 0x08, "\b"},
                        {Qt::Key_Tab, 0x09, "\t"},    {Qt::Key_Left, 0x25, ""},
                        {Qt::Key_Down, 0x28, ""},     {Qt::Key_F5, 0x74, ""},
                        {Qt::Key_F12, 0x7B, ""},      {Qt::Key_Shift, 0x10, ""},
                        {Qt::Key_Control, 0x11, ""},  {Qt::Key_Comma, 0xBC, ","},
                        {Qt::Key_Period, 0xBE, "."},  {Qt::Key_Apostrophe, 0xDE, "'"}};
    for (const Key& k : keys) {
        SendKey(parked, QEvent::KeyPress, k.qt, k.text);
        EXPECT_TRUE(qt.IsKeyDown(k.vk)) << k.vk;
        SendKey(parked, QEvent::KeyRelease, k.qt, k.text);
        EXPECT_FALSE(qt.IsKeyDown(k.vk)) << k.vk;
    }
    // Shift + 1 on the digit row (X11 key code 10) is still the key 1, down and up.
    SendKey(parked, QEvent::KeyPress, Qt::Key_Exclam, "!", 10);
    EXPECT_TRUE(qt.IsKeyDown(0x31));
    SendKey(parked, QEvent::KeyRelease, Qt::Key_1, "1", 10);
    EXPECT_FALSE(qt.IsKeyDown(0x31));

    // TAB, SPACE and ENTER leave the focus parked and press nothing.
    for (int key : {Qt::Key_Tab, Qt::Key_Space, Qt::Key_Return, Qt::Key_Right, Qt::Key_Escape})
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
    EXPECT_EQ(QApplication::focusWidget(), parked);
    EXPECT_EQ(events.log, std::vector<std::string>{"init"});
    EXPECT_TRUE(window->isVisible());
}

} // namespace
