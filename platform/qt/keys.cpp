// Key state: the virtual-key code of each Qt key event (the table of docs/keyboard.md), which
// window the keyboard belongs to, KeyFilter, which keeps the state of the keys from every key
// event the application sees, and the QtDesktop methods through which the logic polls it.

#include "platform/qt/keys.h"

#include "platform/qt/dialog_windows.h"
#include "resources/resource_ids.h"

#include <QApplication>
#include <QFile>
#include <QGuiApplication>
#include <QInputMethod>
#include <QKeyEvent>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QWindow>

namespace qtplatform {

// Native scan codes are XKB key codes (X11 and Wayland): 10..19 the digit row, 58..60 the keys
// holding M , . on US (, ; : on AZERTY), 94 the extra key beside the left Shift.
int VirtualKeyOf(const QKeyEvent& key) {
    const int k = key.key();
    const quint32 scan = key.nativeScanCode();

    // The numeric pad by its own codes (with Num Lock off its keys are the cursor keys below).
    if (key.modifiers() & Qt::KeypadModifier) {
        if (k >= Qt::Key_0 && k <= Qt::Key_9) return 0x60 + (k - Qt::Key_0);
        switch (k) {
        case Qt::Key_Asterisk: return 0x6A;
        case Qt::Key_Plus: return 0x6B;
        case Qt::Key_Minus: return 0x6D;
        case Qt::Key_Period:
        case Qt::Key_Comma: return 0x6E;
        case Qt::Key_Slash: return 0x6F;
        default: break;
        }
    }
    // The digit row by position: on AZERTY it produces & é " ' ( - è _ ç à without Shift.
    if (scan >= 10 && scan <= 19) return scan == 19 ? 0x30 : int(0x31 + (scan - 10));
    // Letters as the active layout produces them.
    if (k >= Qt::Key_A && k <= Qt::Key_Z) return 0x41 + (k - Qt::Key_A);
    // Digits without a scan code (a synthetic event).
    if (k >= Qt::Key_0 && k <= Qt::Key_9) return 0x30 + (k - Qt::Key_0);
    if (k >= Qt::Key_F1 && k <= Qt::Key_F12) return 0x70 + (k - Qt::Key_F1);
    switch (k) {
    case Qt::Key_Backspace: return 0x08;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return 0x09;
    case Qt::Key_Return:
    case Qt::Key_Enter: return 0x0D;
    case Qt::Key_Shift: return 0x10;
    case Qt::Key_Control: return 0x11;
    case Qt::Key_Alt: return 0x12;
    case Qt::Key_Escape: return 0x1B;
    case Qt::Key_Space: return 0x20;
    case Qt::Key_PageUp: return 0x21;
    case Qt::Key_PageDown: return 0x22;
    case Qt::Key_End: return 0x23;
    case Qt::Key_Home: return 0x24;
    case Qt::Key_Left: return 0x25;
    case Qt::Key_Up: return 0x26;
    case Qt::Key_Right: return 0x27;
    case Qt::Key_Down: return 0x28;
    case Qt::Key_Insert: return 0x2D;
    case Qt::Key_Delete: return 0x2E;
    // The comma key: "," on both layouts (US beside M, AZERTY beside N); shifted "<" on US, "?"
    // on AZERTY.
    case Qt::Key_Comma: return 0xBC;
    case Qt::Key_Less: return scan == 94 ? 0xE2 : 0xBC;
    case Qt::Key_Question: return scan == 58 ? 0xBC : 0xBF;
    // The period key: "." / ">" on US; on AZERTY the ";" key, which gives "." with Shift.
    case Qt::Key_Period: return 0xBE;
    case Qt::Key_Greater: return scan == 94 ? 0xE2 : 0xBE;
    case Qt::Key_Semicolon: return scan == 59 ? 0xBE : 0xBA;
    case Qt::Key_Colon: return scan == 60 ? 0xBF : 0xBA;
    // The quote key on US; "²" left of 1 on AZERTY (its quotes sit on the digit row, above).
    case Qt::Key_Apostrophe:
    case Qt::Key_QuoteDbl:
    case Qt::Key_twosuperior: return 0xDE;
    case Qt::Key_Equal:
    case Qt::Key_Plus: return 0xBB;
    case Qt::Key_Minus:
    case Qt::Key_Underscore: return 0xBD;
    case Qt::Key_Slash: return 0xBF;
    case Qt::Key_QuoteLeft:
    case Qt::Key_AsciiTilde:
    case Qt::Key_Ugrave: return 0xC0;
    case Qt::Key_BracketLeft:
    case Qt::Key_BraceLeft: return 0xDB;
    case Qt::Key_Backslash:
    case Qt::Key_Bar: return 0xDC;
    case Qt::Key_BracketRight:
    case Qt::Key_BraceRight: return 0xDD;
    default: return 0;
    }
}

// The windows whose keys the logic polls: the main window, the pattern window beside it and the
// sound editor. Keys typed into any other window (a file dialog, a message box, an About box) are
// that window's.
bool TakesPolledKeys(const QWindow* window) {
    if (!window) return false;
    // Which dialog a window belongs to is looked up when the window changes, not on every poll
    // (the list of top-level widgets is built anew each time it is asked for). The pointers
    // clear themselves when their objects go, so a new window at an old address is looked up.
    static QPointer<QWindow> known;
    static QPointer<DialogWindow> knownDialog;
    if (known != window || !known) {
        known = const_cast<QWindow*>(window);
        knownDialog = nullptr;
        for (QWidget* top : QApplication::topLevelWidgets())
            if (top->windowHandle() == window) {
                knownDialog = dynamic_cast<DialogWindow*>(top);
                break;
            }
    }
    const DialogWindow* dialog = knownDialog.data();
    return dialog && !dialog->ended &&
           (dialog->id() == MAIN_WINDOW || dialog->id() == DIALOG_PATTERN ||
            dialog->id() == DIALOG_SOUND_EDITOR);
}

// An open menu, or the menu bar holding the keyboard (its title highlighted after Escape closed
// its menu): ENTER there opens the menu or runs its item, the arrows move
// through it, so no key of that time is the logic's.
bool KeysWithMenu() {
    if (qobject_cast<QMenu*>(QApplication::activePopupWidget())) return true;
    return qobject_cast<QMenuBar*>(QApplication::focusWidget()) != nullptr;
}

bool KeysWithDialog() {
    if (KeysWithMenu()) return true;
    if (QWidget* modal = QApplication::activeModalWidget()) {
        const auto* dialog = dynamic_cast<const DialogWindow*>(modal);
        if (!dialog || dialog->id() != DIALOG_SOUND_EDITOR) return true;
    }
    const QWindow* focus = QGuiApplication::focusWindow();
    return focus && !TakesPolledKeys(focus);
}

// The keys the logic polls are the main window's or the sound editor's now.
bool KeysForTheLogic() {
    return !KeysWithDialog() && TakesPolledKeys(QGuiApplication::focusWindow());
}

bool KeyFilter::Query(int vk) {
    if (vk < 0 || vk >= KEYS) return false;
    // A poll asks for every key from 0 up: which window has the keyboard is looked up once per
    // poll, not once per key.
    if (vk == 0 || !forLogicKnown_) {
        forLogic_ = KeysForTheLogic();
        forLogicKnown_ = true;
    }
    if (!forLogic_) {
        // Releases that happen elsewhere never arrive.
        Clear();
        return false;
    }
    const size_t i = size_t(vk);
    const bool down = down_[i] || pressed_[i];
    pressed_[i] = false;
    return down;
}

void KeyFilter::Clear() {
    // Without a focused window every poll lands here; once clear, it costs nothing.
    if (clear_) return;
    down_.fill(false);
    pressed_.fill(false);
    pressedByScan_.clear();
    clear_ = true;
}

bool KeyFilter::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type == QEvent::KeyPress || type == QEvent::KeyRelease) {
        // The same event may pass here more than once (window, widget, parents): handling
        // it is idempotent.
        const auto* key = static_cast<const QKeyEvent*>(event);
        if (type == QEvent::KeyPress)
            Press(*key);
        else
            Release(*key);
        if (onEvent) onEvent();
    } else if (type == QEvent::ApplicationStateChange) {
        if (static_cast<QApplicationStateChangeEvent*>(event)->applicationState() !=
            Qt::ApplicationActive)
            Clear();
        if (onEvent) onEvent();
    } else if (type == QEvent::ApplicationDeactivate) {
        Clear();
    } else if (type == QEvent::FocusIn && onEvent) {
        // The keyboard came back from a menu or a dialog, perhaps by a click: the main loop
        // takes the keys held then before the next press is polled.
        onEvent();
    }
    return QObject::eventFilter(watched, event);
}

void KeyFilter::Press(const QKeyEvent& key) {
    const int vk = VirtualKeyOf(key);
    if (vk <= 0 || vk >= KEYS) return;
    // A press in another window, or the auto-repeat of a key that went down there, is not
    // the logic's.
    if (!KeysForTheLogic()) return;
    if (key.isAutoRepeat() && !down_[size_t(vk)]) return;
    down_[size_t(vk)] = true;
    clear_ = false;
    if (!key.isAutoRepeat()) pressed_[size_t(vk)] = true;
    if (key.nativeScanCode() != 0) pressedByScan_[key.nativeScanCode()] = vk;
}

// A key is released under the code it went down with, even when the modifiers changed what
// it produces in between (Shift pressed or let go while the key is down).
void KeyFilter::Release(const QKeyEvent& key) {
    if (key.isAutoRepeat()) return;
    int vk = VirtualKeyOf(key);
    if (auto it = pressedByScan_.find(key.nativeScanCode());
        key.nativeScanCode() != 0 && it != pressedByScan_.end()) {
        down_[size_t(it->second)] = false;
        pressedByScan_.erase(it);
    }
    if (vk > 0 && vk < KEYS) down_[size_t(vk)] = false;
}

} // namespace qtplatform

// ---------------------------------------------------------------------- QtDesktop: key state

bool QtDesktop::IsKeyDown(int virtualKey) {
    return keys_->Query(virtualKey);
}

void QtDesktop::DropKeyPresses() {
    keys_->DropPresses();
}

std::string QtDesktop::KeyboardLayout() {
    // The layout X is set up with, as the session or the system names it; else the country of
    // the input method's locale.
    QString layout = qEnvironmentVariable("XKB_DEFAULT_LAYOUT");
    if (layout.isEmpty()) {
        QFile keyboard("/etc/default/keyboard");
        if (keyboard.open(QIODevice::ReadOnly | QIODevice::Text)) {
            for (const QString& line : QString::fromUtf8(keyboard.readAll()).split('\n')) {
                if (!line.startsWith("XKBLAYOUT=")) continue;
                layout = line.mid(10).remove('"').trimmed();
            }
        }
    }
    layout = layout.section(',', 0, 0).trimmed(); // the first of several
    if (layout.isEmpty()) {
        const QLocale locale = QGuiApplication::inputMethod()->locale();
        if (locale.territory() == QLocale::France) layout = "fr";
        if (locale.territory() == QLocale::Belgium) layout = "be";
    }
    return layout.toStdString();
}

bool QtDesktop::HasFocus() {
    return QGuiApplication::applicationState() == Qt::ApplicationActive;
}

bool QtDesktop::KeysBelongToDialog() {
    return qtplatform::KeysWithDialog();
}
