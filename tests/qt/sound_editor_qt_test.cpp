// The sound editor on the Qt backend, offscreen: it opens modally over the main window, a scroll
// bar step reaches the logic and moves the bar, "Play Snd" starts the voice, Enter and Escape
// leave the window open, the waveform display is painted at its inside's size, and the close box
// ends it with the edits stored.
//
// With TAVOMIX_EDITOR_SHOTS naming a folder, the window is also saved there as one PNG per sound
// type (editor-type-1.png .. editor-type-4.png), for looking at it.
#include "platform/qt/qt_desktop.h"
#include "resources/resource_ids.h"
#include "shell/main_window.h"
#include "shell/sound_editor_window.h"
#include "song/song_model.h"
#include "sound/audio_output.h"
#include "sound/instrument_bank.h"
#include "sound/sound_engine.h"

#include <QApplication>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <mutex>
#include <string>

namespace {

class NoEvents : public DialogEvents {};

class SoundEditorQtTest : public ::testing::Test {
  protected:
    QtDesktop qt;
    NoEvents mainEvents;

    void SetUp() override {
        SetDesktop(&qt);
        ResetSong();
        {
            const EngineLockGuard lock(sound_engine_lock);
            InitSoundBank();
        }
        StartAudio();
        qt.CreateDialog(MAIN_WINDOW, &mainEvents);
    }
    void TearDown() override { SetDesktop(nullptr); }

    template <typename T> T* Control(int id) {
        return qobject_cast<T*>(qt.ControlWidget(DIALOG_SOUND_EDITOR, id));
    }
    std::string Label(int id) { return Control<QLabel>(id)->text().toStdString(); }
};

TEST_F(SoundEditorQtTest, OpensStepsAScrollBarPlaysAndClosesOnlyByItsCloseBox) {
    bool ran = false;
    QTimer::singleShot(0, [&] {
        QWidget* window = qt.DialogWidget(DIALOG_SOUND_EDITOR);
        ASSERT_NE(window, nullptr);
        EXPECT_TRUE(window->isModal());
        EXPECT_EQ(window->windowTitle().toStdString(), "FM Sounds Editor");
        EXPECT_TRUE(sound_editor().IsOpen());

        auto* names = Control<QComboBox>(EDITOR_INSTRUMENT_LIST);
        ASSERT_NE(names, nullptr);
        EXPECT_EQ(names->count(), 16);
        EXPECT_EQ(names->currentText().toStdString(), "dummy 0");
        EXPECT_EQ(Control<QComboBox>(EDITOR_WAVEFORM_TYPE_LIST)->itemText(4).toStdString(),
                  "Spec-Sin");

        // The display reports the size of its inside.
        int w = 0, h = 0;
        qt.ControlPixelSize(DIALOG_SOUND_EDITOR, EDITOR_DISPLAY, w, h);
        EXPECT_GT(w, 300);
        EXPECT_GT(h, 20);

        // An arrow step on the init volume bar.
        auto* bar = Control<QScrollBar>(EDITOR_INIT_VOLUME_BAR);
        ASSERT_NE(bar, nullptr);
        bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        EXPECT_EQ(Label(EDITOR_INIT_VOLUME_TEXT), "Init Volume : 1");
        EXPECT_EQ(bar->value(), 1);
        // The period bar is disabled for sound type 2.
        Control<QRadioButton>(EDITOR_SOUND_TYPE_1 + 2)->click();
        EXPECT_FALSE(Control<QScrollBar>(EDITOR_PERIOD_BAR)->isEnabled());
        EXPECT_TRUE(Control<QComboBox>(EDITOR_WAVEFORM_TYPE_LIST)->isEnabled());
        Control<QRadioButton>(EDITOR_SOUND_TYPE_1)->click();
        EXPECT_TRUE(Control<QScrollBar>(EDITOR_PERIOD_BAR)->isEnabled());

        // Enter and Escape, on the window and in the name field, change nothing.
        QTest::keyClick(window, Qt::Key_Escape);
        QTest::keyClick(window, Qt::Key_Return);
        names->lineEdit()->setText("dummy 3");
        QTest::keyClick(names->lineEdit(), Qt::Key_Return);
        QTest::keyClick(names->lineEdit(), Qt::Key_Escape);
        EXPECT_TRUE(window->isVisible());
        EXPECT_EQ(current_instrument, 0);
        names->lineEdit()->setText("organ");

        Control<QPushButton>(EDITOR_PLAY)->click();
        EXPECT_EQ(engine.playing_flags[0], 1);
        EXPECT_EQ(engine.sound_started[0], 1);
        Control<QPushButton>(EDITOR_STOP)->click();
        EXPECT_EQ(engine.playing_flags[0], 0);

        if (qEnvironmentVariableIsSet("TAVOMIX_EDITOR_SHOTS")) {
            const QString dir = qEnvironmentVariable("TAVOMIX_EDITOR_SHOTS");
            SoundBank[0].initVolume = 15;
            for (int t = 0; t < 4; ++t) {
                Control<QRadioButton>(EDITOR_SOUND_TYPE_1 + t)->click();
                auto* volume = Control<QScrollBar>(EDITOR_INIT_VOLUME_BAR);
                if (volume->isEnabled())
                    for (int i = 0; i < 15; ++i)
                        volume->triggerAction(QAbstractSlider::SliderSingleStepAdd);
                if (t == 2)
                    Control<QScrollBar>(EDITOR_LENGTH_BAR)
                        ->triggerAction(QAbstractSlider::SliderSingleStepAdd);
                QApplication::processEvents();
                window->grab().save(dir + QString("/editor-type-%1.png").arg(t + 1));
                if (qEnvironmentVariableIsSet("TAVOMIX_EDITOR_SHOTS_WAIT")) QTest::qWait(1500);
            }
            Control<QRadioButton>(EDITOR_SOUND_TYPE_1)->click();
        }

        window->close();
        ran = true;
    });
    qt.RunModalDialog(DIALOG_SOUND_EDITOR, &sound_editor());
    EXPECT_TRUE(ran);
    EXPECT_EQ(qt.DialogWidget(DIALOG_SOUND_EDITOR), nullptr);
    EXPECT_FALSE(sound_editor().IsOpen());
    EXPECT_EQ(sound_editor_open, 0);
    EXPECT_GE(SoundBank[0].initVolume, 1);
    EXPECT_STREQ(SoundBank[0].name, "organ");
}

TEST_F(SoundEditorQtTest, TheDisplayShowsThePaintedPixels) {
    QTimer::singleShot(0, [&] {
        QWidget* window = qt.DialogWidget(DIALOG_SOUND_EDITOR);
        ASSERT_NE(window, nullptr);
        QWidget* display = qt.ControlWidget(DIALOG_SOUND_EDITOR, EDITOR_DISPLAY);
        ASSERT_NE(display, nullptr);
        const QImage shot = display->grab().toImage();
        // Find the centre line's green on the middle row of the inside.
        int green = 0, grey = 0;
        for (int y = 0; y < shot.height(); ++y)
            for (int x = 0; x < shot.width(); ++x) {
                const QRgb c = shot.pixel(x, y) & 0xFFFFFF;
                green += c == DISPLAY_CENTRE_LINE;
                grey += c == DISPLAY_SAMPLE;
            }
        EXPECT_GT(green, 0);
        EXPECT_GT(grey, 100);
        window->close();
    });
    qt.RunModalDialog(DIALOG_SOUND_EDITOR, &sound_editor());
}

} // namespace
