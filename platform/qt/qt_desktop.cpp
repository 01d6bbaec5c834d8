// The Qt desktop itself: construction (the application's key filter and window icon) and
// teardown, the lifetime of dialog windows (building, showing, running modally, ending),
// message boxes, file dialogs, the progress window, the event loop with its 1 ms pass, and the
// periodic timers; for now also the key state and MIDI input.

#include "platform/qt/qt_desktop.h"

#include "platform/periodic_timer.h"
#include "platform/qt/dialog_windows.h"
#include "resources/dialog_template.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QIcon>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPixmap>
#include <QProgressDialog>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include <RtMidi.h>
#include <alsa/asoundlib.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <map>
#include <vector>

namespace qtplatform {

// ------------------------------------------------------------------------------- key state

// The virtual-key code of a key event, or 0 for a key the program has no code for. The table
// is written out in docs/keyboard.md. Native scan codes are XKB key codes (X11 and Wayland):
// 10..19 the digit row, 58..60 the keys holding M , . on US (, ; : on AZERTY), 94 the extra
// key beside the left Shift.
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

// The windows whose keys the logic polls: the main window and the sound editor. Keys typed into
// any other window (a file dialog, a message box, an About box) are that window's.
bool TakesPolledKeys(const QWindow* window) {
    if (!window) return false;
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (top->windowHandle() != window) continue;
        const auto* dialog = dynamic_cast<const DialogWindow*>(top);
        return dialog && !dialog->ended &&
               (dialog->id() == DIALOG_MAIN || dialog->id() == DIALOG_SOUND_EDITOR);
    }
    return false;
}

// True while the keyboard belongs to another window: a modal window other than the sound
// editor is open, or a window other than the main window and the sound editor has the focus.
bool KeysWithDialog() {
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

// Keeps the state of the keys by their virtual-key codes, from every key event the
// application sees (whichever widget has the focus). A key counts while it is down, and also at
// the first query after a press, so that a tap released between two polls still acts once.
// Keys count only while the main window or the sound editor has the keyboard focus, and only
// when they went down there: a key pressed in a dialog (ENTER that accepts a file dialog) stays
// up for the logic until it is released and pressed again.
class KeyFilter : public QObject {
  public:
    // Called once per key and poll: true while the key is down or when it went down since the
    // last query of it.
    bool Query(int vk) {
        if (vk < 0 || vk >= KEYS) return false;
        if (!KeysForTheLogic()) {
            // Releases that happen elsewhere never arrive.
            Clear();
            return false;
        }
        const size_t i = size_t(vk);
        const bool down = down_[i] || pressed_[i];
        pressed_[i] = false;
        return down;
    }
    // Forgets the presses kept for the next query; keys down now stay down.
    void DropPresses() { pressed_.fill(false); }
    void Clear() {
        // Without a focused window every poll lands here; once clear, it costs nothing.
        if (clear_) return;
        down_.fill(false);
        pressed_.fill(false);
        pressedByScan_.clear();
        clear_ = true;
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        const QEvent::Type type = event->type();
        if (type == QEvent::KeyPress || type == QEvent::KeyRelease) {
            // The same event may pass here more than once (window, widget, parents): handling
            // it is idempotent.
            const auto* key = static_cast<const QKeyEvent*>(event);
            if (type == QEvent::KeyPress)
                Press(*key);
            else
                Release(*key);
        } else if (type == QEvent::ApplicationDeactivate ||
                   (type == QEvent::ApplicationStateChange &&
                    static_cast<QApplicationStateChangeEvent*>(event)->applicationState() !=
                        Qt::ApplicationActive)) {
            Clear();
        }
        return QObject::eventFilter(watched, event);
    }

  private:
    static constexpr int KEYS = 256;

    void Press(const QKeyEvent& key) {
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
    void Release(const QKeyEvent& key) {
        if (key.isAutoRepeat()) return;
        int vk = VirtualKeyOf(key);
        if (auto it = pressedByScan_.find(key.nativeScanCode());
            key.nativeScanCode() != 0 && it != pressedByScan_.end()) {
            down_[size_t(it->second)] = false;
            pressedByScan_.erase(it);
        }
        if (vk > 0 && vk < KEYS) down_[size_t(vk)] = false;
    }

    std::array<bool, KEYS> down_{};    // down now
    std::array<bool, KEYS> pressed_{}; // went down since the last query
    std::map<quint32, int> pressedByScan_;
    bool clear_ = true; // nothing is down or pressed
};

} // namespace qtplatform

// ------------------------------------------------------------------------------ the platform

using qtplatform::DialogWindow;

namespace {

void SilentAlsaError(const char*, int, const char*, int, const char*, ...) {}

void SilentMidiError(RtMidiError::Type, const std::string&, void*) {}

// The suffix a save dialog adds to a bare name: "*.son" gives "son".
QString SuffixOf(const std::string& pattern) {
    const std::string::size_type dot = pattern.rfind('.');
    if (dot == std::string::npos) return {};
    const std::string suffix = pattern.substr(dot + 1);
    if (suffix.find_first_of("*?") != std::string::npos) return {};
    return QString::fromStdString(suffix);
}

// The filter as the dialog lists it: the description, which often names its pattern already
// (".SON Song file (*.SON)" for "*.son"), then the pattern unless it is there in some case.
QString FilterText(const std::string& description, const std::string& pattern) {
    const QString text = qtplatform::ToQString(description);
    const QString patterns = "(" + qtplatform::ToQString(pattern) + ")";
    return text.endsWith(patterns, Qt::CaseInsensitive) ? text : text + " " + patterns;
}

// The folder a dialog opens in: `folder` taken from the working folder, or the working folder
// itself when `folder` is "" or no longer exists.
QString StartFolder(const std::string& folder) {
    const QString path = QDir::current().absoluteFilePath(QFile::decodeName(folder.c_str()));
    return !folder.empty() && QFileInfo(path).isDir() ? path : QDir::currentPath();
}

std::string RunFileDialog(QWidget* parent, bool save, const std::string& title,
                          const std::string& description, const std::string& pattern,
                          const std::string& folder) {
    QFileDialog dialog(parent, qtplatform::ToQString(title));
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setDirectory(StartFolder(folder));
    dialog.setNameFilter(FilterText(description, pattern));
    // Files match in any case ("a.son" and "B.SON"), whatever the platform's default.
    dialog.setFilter(dialog.filter() & ~QDir::CaseSensitive);
    dialog.setDefaultSuffix(SuffixOf(pattern));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return "";
    return QFile::encodeName(dialog.selectedFiles().first()).toStdString();
}

} // namespace

QtDesktop::QtDesktop() : keys_(std::make_unique<qtplatform::KeyFilter>()) {
    // The logic decides when the program ends, not the last window closing.
    QApplication::setQuitOnLastWindowClosed(false);
    qApp->installEventFilter(keys_.get());
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128}) {
        const QPixmap pixmap = qtplatform::RenderBitmap("icon", QSize(size, size), 1.0);
        if (!pixmap.isNull()) icon.addPixmap(pixmap);
    }
    if (!icon.isNull()) QApplication::setWindowIcon(icon);
}

QtDesktop::~QtDesktop() {
    CloseMidiInput();
    std::map<int, std::unique_ptr<PeriodicTimer>> stopping;
    {
        std::lock_guard<std::mutex> lock(timerMutex_);
        stopping.swap(timers_);
    }
    stopping.clear();
    // Windows left open die now; they forget themselves as they go.
    while (!windows_.empty()) delete windows_.back();
    qtplatform::BitmapCache().clear(); // pixmaps must not outlive the application
    if (qApp) qApp->removeEventFilter(keys_.get());
}

// ---- dialogs

DialogWindow* QtDesktop::Find(int dialog) {
    if (dispatching_ && dispatching_->id() == dialog && !dispatching_->ended) return dispatching_;
    for (auto it = windows_.rbegin(); it != windows_.rend(); ++it)
        if ((*it)->id() == dialog && !(*it)->ended) return *it;
    return nullptr;
}

void QtDesktop::Forget(DialogWindow* window) {
    windows_.erase(std::remove(windows_.begin(), windows_.end(), window), windows_.end());
    if (dispatching_ == window) dispatching_ = nullptr;
}

QWidget* QtDesktop::DialogWidget(int dialog) {
    return Find(dialog);
}

QWidget* QtDesktop::ControlWidget(int dialog, int id) {
    DialogWindow* window = Find(dialog);
    return window ? window->control(id) : nullptr;
}

DialogWindow* QtDesktop::Build(int dialog, DialogEvents* events, bool modal) {
    const DialogTemplate* tmpl = FindDialogTemplate(dialog);
    if (!tmpl) return nullptr;
    // Every dialog but the main window belongs to the main window (centred over it).
    QWidget* parent = dialog == DIALOG_MAIN ? nullptr : Find(DIALOG_MAIN);
    auto* window = new DialogWindow(this, *tmpl, events, parent, modal);
    windows_.push_back(window);
    window->Send([](DialogEvents& e) { e.OnInit(); });
    return window;
}

void QtDesktop::CreateDialog(int dialog, DialogEvents* events) {
    DialogWindow* window = Build(dialog, events, false);
    if (!window || window->ended) return;
    window->setAttribute(Qt::WA_DeleteOnClose, false);
    if (!window->parentWidget() && (FindDialogTemplate(dialog)->style & DLG_CENTRED)) {
        if (QScreen* screen = QApplication::primaryScreen()) {
            const QRect area = screen->availableGeometry();
            window->move(area.center() - window->rect().center());
        }
    }
    QWidget* focus = window->focusWidget();
    window->show();
    if (focus) focus->setFocus();
}

void QtDesktop::RunModalDialog(int dialog, DialogEvents* events) {
    DialogWindow* window = Build(dialog, events, true);
    if (!window) return;
    if (!window->ended) window->exec();
    delete window;
}

void QtDesktop::EndDialog(int dialog) {
    DialogWindow* window = Find(dialog);
    if (!window) return;
    window->ended = true;
    if (window->windowTimer()) window->windowTimer()->stop();
    if (window->isModal()) {
        window->done(1); // RunModalDialog deletes it when exec returns
    } else {
        window->hide();
        window->deleteLater();
    }
}

void QtDesktop::SetDialogTitle(int dialog, const std::string& title) {
    if (DialogWindow* window = Find(dialog)) window->setWindowTitle(qtplatform::ToQString(title));
}

void QtDesktop::StartWindowTimer(int dialog, int periodMs) {
    if (DialogWindow* window = Find(dialog)) window->windowTimer()->start(std::max(periodMs, 1));
}

// ---- message boxes and file dialogs

bool QtDesktop::MessageBox(const std::string& text, const std::string& caption, int style) {
    QMessageBox::Icon icon = QMessageBox::Critical;
    if (style == MB_WARNING_OK_CANCEL)
        icon = QMessageBox::Warning;
    else if (style == MB_QUESTION_OK_CANCEL)
        icon = QMessageBox::Information;
    const QMessageBox::StandardButtons buttons =
        style == MB_ERROR_OK ? QMessageBox::Ok : QMessageBox::Ok | QMessageBox::Cancel;
    QMessageBox box(icon, qtplatform::ToQString(caption), qtplatform::ToQString(text), buttons,
                    Find(DIALOG_MAIN));
    box.setDefaultButton(QMessageBox::Ok);
    return box.exec() == QMessageBox::Ok;
}

std::string QtDesktop::OpenFileDialog(const std::string& title, const std::string& description,
                                      const std::string& pattern, const std::string& folder) {
    return RunFileDialog(Find(DIALOG_MAIN), false, title, description, pattern, folder);
}

std::string QtDesktop::SaveFileDialog(const std::string& title, const std::string& description,
                                      const std::string& pattern, const std::string& folder) {
    return RunFileDialog(Find(DIALOG_MAIN), true, title, description, pattern, folder);
}

// ---- progress

bool QtDesktop::ShowProgress(const std::string& title, const std::string& text, int percent) {
    if (!progress_) {
        progress_ = new QProgressDialog(Find(DIALOG_MAIN));
        progress_->setWindowModality(Qt::ApplicationModal);
        progress_->setMinimumDuration(0);
        progress_->setAutoReset(false);
        progress_->setAutoClose(false);
        progress_->setRange(0, 100);
    }
    progress_->setWindowTitle(qtplatform::ToQString(title));
    progress_->setLabelText(qtplatform::ToQString(text));
    progress_->setValue(std::clamp(percent, 0, 100));
    QCoreApplication::processEvents();
    return !progress_->wasCanceled();
}

void QtDesktop::EndProgress() {
    delete progress_;
    progress_ = nullptr;
}

// ---- the main loop

int QtDesktop::RunEventLoop(std::function<void()> pass) {
    if (quitRequested_) { // Quit came before the loop started
        quitRequested_ = false;
        return quitCode_;
    }
    pass_ = std::move(pass);
    QTimer passTimer;
    passTimer.setTimerType(Qt::PreciseTimer);
    passTimer.setInterval(1);
    QObject::connect(&passTimer, &QTimer::timeout, [this] { Pass(); });
    passTimer.start();
    const int code = QApplication::exec();
    passTimer.stop();
    pass_ = nullptr;
    quitRequested_ = false;
    return code;
}

void QtDesktop::Quit(int code) {
    quitRequested_ = true;
    quitCode_ = code;
    QApplication::exit(code);
}

void QtDesktop::Pass() {
    // A pass that waits in a message box it opened is not entered again from that box's loop.
    if (inPass_) return;
    inPass_ = true;
    DrainMidi();
    if (pass_) pass_();
    inPass_ = false;
}

bool QtDesktop::IsKeyDown(int virtualKey) {
    return keys_->Query(virtualKey);
}

void QtDesktop::DropKeyPresses() {
    keys_->DropPresses();
}

bool QtDesktop::KeysBelongToDialog() {
    return qtplatform::KeysWithDialog();
}

// ---- MIDI input

void QtDesktop::MidiCallback(double, std::vector<unsigned char>* message, void* self) {
    if (!message || message->empty() || message->size() > 3) return; // short messages only
    auto* platform = static_cast<QtDesktop*>(self);
    const uint8_t d1 = message->size() > 1 ? (*message)[1] : 0;
    const uint8_t d2 = message->size() > 2 ? (*message)[2] : 0;
    platform->InjectMidi((*message)[0], d1, d2);
}

void QtDesktop::InjectMidi(uint8_t status, uint8_t data1, uint8_t data2) {
    constexpr size_t kMaxQueued = 4096; // a flood while no pass runs is cut, not hoarded
    std::lock_guard<std::mutex> lock(midiMutex_);
    if (midiQueue_.size() < kMaxQueued) midiQueue_.push_back({status, data1, data2});
}

void QtDesktop::DrainMidi() {
    std::deque<MidiMessage> messages;
    {
        std::lock_guard<std::mutex> lock(midiMutex_);
        messages.swap(midiQueue_);
    }
    for (const MidiMessage& m : messages)
        if (midiTarget_) midiTarget_->OnMidi(m.status, m.data1, m.data2);
}

bool QtDesktop::OpenMidiInput(DialogEvents* events) {
    CloseMidiInput();
    // The target also receives injected messages when there is no port.
    midiTarget_ = events;
    // Without the sequencer device RtMidi would only fail noisily.
    if (access("/dev/snd/seq", R_OK | W_OK) != 0) return false;
    snd_lib_error_set_handler(SilentAlsaError);
    try {
        auto midi = std::make_unique<RtMidiIn>(RtMidi::UNSPECIFIED, "Tavomix");
        midi->setErrorCallback(SilentMidiError, nullptr);
        if (midi->getPortCount() == 0) return false;
        midi->ignoreTypes(true, true, true); // no system exclusive, timing or active sensing
        midi->setCallback(&QtDesktop::MidiCallback, this);
        midi->openPort(0, "Tavomix input");
        if (!midi->isPortOpen()) return false;
        midi_ = std::move(midi);
        return true;
    } catch (const RtMidiError&) {
        return false;
    }
}

void QtDesktop::CloseMidiInput() {
    if (midi_) {
        try {
            midi_->cancelCallback();
            midi_->closePort();
        } catch (const RtMidiError&) {
        }
        midi_.reset();
    }
    midiTarget_ = nullptr;
    std::lock_guard<std::mutex> lock(midiMutex_);
    midiQueue_.clear();
}

// ---- periodic timer

int QtDesktop::StartPeriodicTimer(int periodMs, std::function<void()> tick) {
    std::lock_guard<std::mutex> lock(timerMutex_);
    const int id = nextTimerId_++;
    timers_[id] = std::make_unique<PeriodicTimer>(periodMs, std::move(tick));
    return id;
}

void QtDesktop::KillPeriodicTimer(int id) {
    std::unique_ptr<PeriodicTimer> stopping;
    {
        std::lock_guard<std::mutex> lock(timerMutex_);
        auto it = timers_.find(id);
        if (it == timers_.end()) return;
        stopping = std::move(it->second);
        timers_.erase(it);
    }
    // Destroying it joins the thread, outside the lock, after any running tick has finished.
}
