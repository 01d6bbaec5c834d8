// Key state from Qt's key events, offscreen: each key of a US QWERTY and a French AZERTY
// keyboard, sent as the event that layout produces (its Qt key and its XKB key code), is
// reported under the virtual-key code the note entry reads and under no other; a tap between
// two polls is reported once; keys count only while a window of the program has the focus.
#include "platform/qt/qt_desktop.h"
#include "resources/resource_ids.h"
#include "song/note_entry.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

// One key as a layout produces it: the Qt key, the XKB key code of the physical key (0 when a
// synthetic event carries none) and the modifiers.
struct KeyEvent {
    int qt;
    quint32 scan;
    Qt::KeyboardModifiers modifiers = Qt::NoModifier;
};

class KeyMapping : public ::testing::Test {
  protected:
    void SetUp() override {
        qt.CreateDialog(MAIN_WINDOW, &events);
        window = qt.DialogWidget(MAIN_WINDOW);
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window));
        qt.SetFocus(MAIN_WINDOW, 1082);
        parked = qt.ControlWidget(MAIN_WINDOW, 1082);
        ASSERT_EQ(QApplication::focusWidget(), parked);
    }

    void Send(QEvent::Type type, const KeyEvent& k, bool autoRepeat = false) {
        QKeyEvent event(type, k.qt, k.modifiers, k.scan, 0, 0, QString(), autoRepeat);
        QApplication::sendEvent(parked, &event);
    }
    void Press(const KeyEvent& k) { Send(QEvent::KeyPress, k); }
    void Release(const KeyEvent& k) { Send(QEvent::KeyRelease, k); }

    // One poll as the note entry makes it: every key queried once, in order.
    std::set<int> Poll() {
        std::set<int> down;
        for (int vk = 0; vk < KEY_COUNT; ++vk)
            if (qt.IsKeyDown(vk)) down.insert(vk);
        return down;
    }

    // The key goes down as `vk` alone and comes up again.
    void ExpectKey(const KeyEvent& k, int vk) {
        SCOPED_TRACE("Qt key 0x" + std::to_string(k.qt) + " scan " + std::to_string(k.scan));
        Press(k);
        EXPECT_EQ(Poll(), std::set<int>{vk});
        EXPECT_EQ(Poll(), std::set<int>{vk}); // still held
        Release(k);
        EXPECT_EQ(Poll(), std::set<int>{});
    }

    QtDesktop qt;
    DialogEvents events;
    QWidget* window = nullptr;
    QWidget* parked = nullptr;
};

// The letter keys of a layout by XKB key code: the top, home and bottom letter rows.
struct LetterRows {
    const char* top;    // key codes 24..
    const char* home;   // key codes 38..
    const char* bottom; // key codes 52..
};
constexpr LetterRows US_LETTERS = {"QWERTYUIOP", "ASDFGHJKL", "ZXCVBNM"};
constexpr LetterRows AZERTY_LETTERS = {"AZERTYUIOP", "QSDFGHJKLM", "WXCVBN"};

TEST_F(KeyMapping, LettersFollowTheActiveLayout) {
    for (const LetterRows& layout : {US_LETTERS, AZERTY_LETTERS}) {
        const std::pair<const char*, quint32> rows[] = {
            {layout.top, 24}, {layout.home, 38}, {layout.bottom, 52}};
        int seen = 0;
        for (const auto& [letters, first] : rows) {
            for (int i = 0; letters[i]; ++i, ++seen) {
                const int c = letters[i];
                ExpectKey({Qt::Key_A + (c - 'A'), first + quint32(i)}, c);
            }
        }
        EXPECT_EQ(seen, 26);
    }
    // Without a scan code too, and with Shift or Ctrl held (Ctrl+C copies a track).
    ExpectKey({Qt::Key_Q, 0}, 'Q');
    ExpectKey({Qt::Key_C, 54, Qt::ControlModifier}, 'C');
    ExpectKey({Qt::Key_V, 55, Qt::ShiftModifier}, 'V');
}

TEST_F(KeyMapping, DigitRowCountsByPosition) {
    // US: the digits; with Shift the symbols above them.
    const int usDigits[] = {Qt::Key_1, Qt::Key_2, Qt::Key_3, Qt::Key_4, Qt::Key_5,
                            Qt::Key_6, Qt::Key_7, Qt::Key_8, Qt::Key_9, Qt::Key_0};
    const int usShifted[] = {Qt::Key_Exclam,    Qt::Key_At,       Qt::Key_NumberSign,
                             Qt::Key_Dollar,    Qt::Key_Percent,  Qt::Key_AsciiCircum,
                             Qt::Key_Ampersand, Qt::Key_Asterisk, Qt::Key_ParenLeft,
                             Qt::Key_ParenRight};
    // AZERTY without Shift: & é " ' ( - è _ ç à, four of which are punctuation keys elsewhere.
    const int azerty[] = {Qt::Key_Ampersand, Qt::Key_Eacute, Qt::Key_QuoteDbl, Qt::Key_Apostrophe,
                          Qt::Key_ParenLeft, Qt::Key_Minus,  Qt::Key_Egrave,   Qt::Key_Underscore,
                          Qt::Key_Ccedilla,  Qt::Key_Agrave};
    for (int i = 0; i < 10; ++i) {
        const int vk = i == 9 ? '0' : '1' + i;
        const quint32 scan = quint32(10 + i);
        ExpectKey({usDigits[i], scan}, vk);
        ExpectKey({usShifted[i], scan, Qt::ShiftModifier}, vk);
        ExpectKey({azerty[i], scan}, vk);
        ExpectKey({usDigits[i], scan, Qt::ShiftModifier}, vk); // AZERTY with Shift
        ExpectKey({usDigits[i], 0}, vk);                       // no scan code: by the Qt key
    }
}

TEST_F(KeyMapping, CommaPeriodAndMetronomeKeysOnBothLayouts) {
    // US: "," and "." beside M, "<" and ">" with Shift; ";" is not the period key.
    ExpectKey({Qt::Key_Comma, 59}, VKEY_COMMA);
    ExpectKey({Qt::Key_Less, 59, Qt::ShiftModifier}, VKEY_COMMA);
    ExpectKey({Qt::Key_Period, 60}, VKEY_PERIOD);
    ExpectKey({Qt::Key_Greater, 60, Qt::ShiftModifier}, VKEY_PERIOD);
    ExpectKey({Qt::Key_Semicolon, 47}, 0xBA);
    ExpectKey({Qt::Key_Colon, 47, Qt::ShiftModifier}, 0xBA);
    ExpectKey({Qt::Key_Slash, 61}, 0xBF);
    // AZERTY: "," beside N ("?" with Shift), then ";" ("." with Shift) is the period key, then
    // ":" ("/"); "<" on the extra key is not the comma key.
    ExpectKey({Qt::Key_Comma, 58}, VKEY_COMMA);
    ExpectKey({Qt::Key_Question, 58, Qt::ShiftModifier}, VKEY_COMMA);
    ExpectKey({Qt::Key_Semicolon, 59}, VKEY_PERIOD);
    ExpectKey({Qt::Key_Period, 59, Qt::ShiftModifier}, VKEY_PERIOD);
    ExpectKey({Qt::Key_Colon, 60}, 0xBF);
    ExpectKey({Qt::Key_Slash, 60, Qt::ShiftModifier}, 0xBF);
    ExpectKey({Qt::Key_Less, 94}, 0xE2);
    ExpectKey({Qt::Key_Greater, 94, Qt::ShiftModifier}, 0xE2);
    // The metronome key: "²" left of 1 on AZERTY, the quote key on US. The key left of 1 on US
    // and the "ù" key in the US quote key's place on AZERTY are another key.
    ExpectKey({Qt::Key_twosuperior, 49}, VKEY_METRONOME);
    ExpectKey({Qt::Key_Apostrophe, 48}, VKEY_METRONOME);
    ExpectKey({Qt::Key_QuoteDbl, 48, Qt::ShiftModifier}, VKEY_METRONOME);
    ExpectKey({Qt::Key_QuoteLeft, 49}, 0xC0);
    ExpectKey({Qt::Key_Ugrave, 48}, 0xC0);
    // Synthetic events without scan codes.
    ExpectKey({Qt::Key_Comma, 0}, VKEY_COMMA);
    ExpectKey({Qt::Key_Period, 0}, VKEY_PERIOD);
    ExpectKey({Qt::Key_Apostrophe, 0}, VKEY_METRONOME);
}

TEST_F(KeyMapping, NumericPadFunctionAndCommandKeys) {
    // The pad's plus and minus are not the main keyboard's; its digits are not note keys.
    ExpectKey({Qt::Key_Plus, 86, Qt::KeypadModifier}, VKEY_PAD_PLUS);
    ExpectKey({Qt::Key_Minus, 82, Qt::KeypadModifier}, VKEY_PAD_MINUS);
    ExpectKey({Qt::Key_Plus, 0, Qt::KeypadModifier}, VKEY_PAD_PLUS);
    ExpectKey({Qt::Key_Minus, 0, Qt::KeypadModifier}, VKEY_PAD_MINUS);
    ExpectKey({Qt::Key_Plus, 21, Qt::ShiftModifier}, 0xBB);
    ExpectKey({Qt::Key_Minus, 20}, 0xBD);
    ExpectKey({Qt::Key_2, 88, Qt::KeypadModifier}, 0x62);
    ExpectKey({Qt::Key_Enter, 104, Qt::KeypadModifier}, VKEY_ENTER);
    // Num Lock off: the pad's keys are the cursor keys.
    ExpectKey({Qt::Key_Up, 80, Qt::KeypadModifier}, VKEY_UP);
    // F1..F12.
    const quint32 fScans[] = {67, 68, 69, 70, 71, 72, 73, 74, 75, 76, 95, 96};
    for (int i = 0; i < 12; ++i) ExpectKey({Qt::Key_F1 + i, fScans[i]}, VKEY_F1 + i);
    // Cursor, editing and transport keys, modifiers.
    const std::pair<KeyEvent, int> keys[] = {
        {{Qt::Key_Left, 113}, VKEY_LEFT},
        {{Qt::Key_Up, 111}, VKEY_UP},
        {{Qt::Key_Right, 114}, VKEY_RIGHT},
        {{Qt::Key_Down, 116}, VKEY_DOWN},
        {{Qt::Key_PageUp, 112}, VKEY_PAGE_UP},
        {{Qt::Key_PageDown, 117}, VKEY_PAGE_DOWN},
        {{Qt::Key_Home, 110}, VKEY_HOME},
        {{Qt::Key_End, 115}, VKEY_END},
        {{Qt::Key_Delete, 119}, VKEY_DELETE},
        {{Qt::Key_Backspace, 22}, VKEY_BACKSPACE},
        {{Qt::Key_Tab, 23}, VKEY_TAB},
        {{Qt::Key_Return, 36}, VKEY_ENTER},
        {{Qt::Key_Space, 65}, VKEY_SPACE},
        {{Qt::Key_Shift, 50}, VKEY_SHIFT},
        {{Qt::Key_Shift, 62}, VKEY_SHIFT},
        {{Qt::Key_Control, 37}, VKEY_CONTROL},
        {{Qt::Key_Control, 105}, VKEY_CONTROL},
        {{Qt::Key_Backtab, 23, Qt::ShiftModifier}, VKEY_TAB},
    };
    for (const auto& [k, vk] : keys) ExpectKey(k, vk);
}

TEST_F(KeyMapping, KeyIsReleasedUnderTheCodeItWentDownWith) {
    // Shift pressed while the key is down changes what it produces, not which key comes up.
    Press({Qt::Key_Eacute, 11});
    Release({Qt::Key_2, 11, Qt::ShiftModifier});
    Press({Qt::Key_Semicolon, 59});
    Release({Qt::Key_Period, 59, Qt::ShiftModifier});
    Press({Qt::Key_Comma, 59});
    Release({Qt::Key_Less, 59, Qt::ShiftModifier});
    EXPECT_EQ(Poll(), (std::set<int>{'2', VKEY_COMMA, VKEY_PERIOD})); // each tap, once
    EXPECT_EQ(Poll(), std::set<int>{});
}

TEST_F(KeyMapping, TapBetweenPollsIsReportedOnceAndHeldKeysUntilReleased) {
    // A press and release between two polls: down at the first, up at the next.
    Press({Qt::Key_A, 38});
    Release({Qt::Key_A, 38});
    EXPECT_EQ(Poll(), std::set<int>{'A'});
    EXPECT_EQ(Poll(), std::set<int>{});
    // Two taps between the same two polls are one press.
    for (int i = 0; i < 2; ++i) {
        Press({Qt::Key_K, 45});
        Release({Qt::Key_K, 45});
    }
    EXPECT_EQ(Poll(), std::set<int>{'K'});
    EXPECT_EQ(Poll(), std::set<int>{});
    // Held through auto-repeat (a repeated release and press between polls): down throughout.
    Press({Qt::Key_Up, 111});
    EXPECT_EQ(Poll(), std::set<int>{VKEY_UP});
    Send(QEvent::KeyRelease, {Qt::Key_Up, 111}, true);
    EXPECT_EQ(Poll(), std::set<int>{VKEY_UP});
    Send(QEvent::KeyPress, {Qt::Key_Up, 111}, true);
    EXPECT_EQ(Poll(), std::set<int>{VKEY_UP});
    Release({Qt::Key_Up, 111});
    EXPECT_EQ(Poll(), std::set<int>{});

    // Through the note entry's poll: the tap went down once, then is up.
    SetDesktop(&qt);
    ResetKeyboard();
    Press({Qt::Key_W, 25});
    Release({Qt::Key_W, 25});
    PollKeyboard();
    EXPECT_EQ(key_state[int{'W'}], KEY_WENT_DOWN);
    PollKeyboard();
    EXPECT_EQ(key_state[int{'W'}], KEY_UP);
    Press({Qt::Key_W, 25});
    PollKeyboard();
    PollKeyboard();
    EXPECT_EQ(key_state[int{'W'}], KEY_HELD);
    Release({Qt::Key_W, 25});
    PollKeyboard();
    EXPECT_EQ(key_state[int{'W'}], KEY_UP);
    SetDesktop(nullptr);
}

TEST_F(KeyMapping, KeysCountOnlyWhileTheMainWindowHasTheFocus) {
    // The application turning inactive (the focus went to another program): the releases
    // happen elsewhere and never arrive, so held keys come up.
    Press({Qt::Key_Z, 52});
    Press({Qt::Key_Shift, 50});
    EXPECT_EQ(Poll(), (std::set<int>{'Z', VKEY_SHIFT}));
    Press({Qt::Key_X, 53});
    Release({Qt::Key_X, 53}); // a tap not yet polled is dropped too
    QApplicationStateChangeEvent inactive(Qt::ApplicationInactive);
    QApplication::sendEvent(qApp, &inactive);
    EXPECT_EQ(Poll(), std::set<int>{});
    ExpectKey({Qt::Key_Z, 52}, 'Z');

    // No window of the program has the focus: nothing counts, and a key held then is up.
    Press({Qt::Key_Z, 52});
    window->windowHandle()->destroy(); // its native window goes, and the focus with it
    ASSERT_EQ(QGuiApplication::focusWindow(), nullptr);
    EXPECT_EQ(Poll(), std::set<int>{});
    Press({Qt::Key_Y, 29});
    EXPECT_EQ(Poll(), std::set<int>{});
    // Another window of the program (a dialog) takes the focus: the key held before stays up,
    // and what is typed there is the dialog's.
    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    parked = &other;
    EXPECT_TRUE(qt.KeysBelongToDialog());
    EXPECT_EQ(Poll(), std::set<int>{});
    Press({Qt::Key_Z, 52});
    EXPECT_EQ(Poll(), std::set<int>{});
}

TEST_F(KeyMapping, AKeyThatWentDownInADialogOrAMenuNeverActsInTheMainWindow) {
    // A tap kept for the next query goes with a reset of the poll.
    Press({Qt::Key_X, 53});
    Release({Qt::Key_X, 53});
    qt.DropKeyPresses();
    EXPECT_EQ(Poll(), std::set<int>{});

    // ENTER accepts a message box and is still held, repeating, once the main window has the
    // focus again.
    bool boxHadKeys = false;
    QTimer::singleShot(0, [&] {
        QWidget* box = QApplication::activeModalWidget();
        ASSERT_NE(box, nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowActive(box));
        boxHadKeys = qt.KeysBelongToDialog();
        QTest::keyPress(box, Qt::Key_Return);
    });
    EXPECT_TRUE(qt.MessageBox("Sure?", "Confirm", MB_QUESTION_OK_CANCEL));
    EXPECT_TRUE(boxHadKeys);
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    EXPECT_FALSE(qt.KeysBelongToDialog());
    EXPECT_EQ(Poll(), std::set<int>{});
    Send(QEvent::KeyPress, {Qt::Key_Return, 36}, true);
    EXPECT_EQ(Poll(), std::set<int>{});
    Release({Qt::Key_Return, 36});
    ExpectKey({Qt::Key_Return, 36}, VKEY_ENTER); // a new press counts

    // A menu keeps the keyboard from the click on its title until the menu bar lets go: the
    // Escape that closes it, the ENTER that opens it again from the highlighted title and the
    // keys typed into it are the menu's.
    auto* bar = window->findChild<QMenuBar*>();
    ASSERT_NE(bar, nullptr);
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(bar->actions().at(1)).center());
    ASSERT_NE(qobject_cast<QMenu*>(QApplication::activePopupWidget()), nullptr);
    EXPECT_TRUE(qt.KeysBelongToDialog());
    QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Escape);
    ASSERT_EQ(QApplication::activePopupWidget(), nullptr);
    EXPECT_EQ(QApplication::focusWidget(), bar);
    EXPECT_TRUE(qt.KeysBelongToDialog());
    QTest::keyClick(bar, Qt::Key_Return);
    ASSERT_NE(qobject_cast<QMenu*>(QApplication::activePopupWidget()), nullptr);
    QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(Poll(), std::set<int>{});
    QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Escape);
    QTest::keyClick(bar, Qt::Key_Escape);
    EXPECT_EQ(QApplication::focusWidget(), parked);
    EXPECT_FALSE(qt.KeysBelongToDialog());
    EXPECT_EQ(Poll(), std::set<int>{});
    ExpectKey({Qt::Key_Return, 36}, VKEY_ENTER);
}

} // namespace
