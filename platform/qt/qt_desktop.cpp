// The Qt desktop itself: construction (the application's key filter and window icon) and
// teardown, the lifetime of dialog windows (building, showing, running modally, ending),
// message boxes, file dialogs, the progress window, the event loop with its 1 ms pass, and the
// periodic timers.

#include "platform/qt/qt_desktop.h"

#include "platform/periodic_timer.h"
#include "platform/qt/dialog_windows.h"
#include "platform/qt/keys.h"
#include "resources/dialog_template.h"
#include "resources/resource_ids.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QIcon>
#include <QMessageBox>
#include <QPixmap>
#include <QProgressDialog>
#include <QScreen>
#include <QTimer>

#include <algorithm>
#include <map>

using qtplatform::DialogWindow;

namespace {

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
    keys_->onEvent = [this] { Wake(); };
    // The logic decides when the program ends, not the last window closing.
    QApplication::setQuitOnLastWindowClosed(false);
    qApp->installEventFilter(keys_.get());
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128}) {
        const QPixmap pixmap = qtplatform::RenderBitmap(BITMAP_ICON, QSize(size, size), 1.0);
        if (!pixmap.isNull()) icon.addPixmap(pixmap);
    }
    if (!icon.isNull()) QApplication::setWindowIcon(icon);
}

QtDesktop::~QtDesktop() {
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
    QWidget* parent = dialog == MAIN_WINDOW ? nullptr : Find(MAIN_WINDOW);
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
        // The keyboard goes back to the window this one belongs to (the main window), where the
        // user typed before, rather than to no window at all.
        QWidget* owner = window->isActiveWindow() ? window->parentWidget() : nullptr;
        window->hide();
        window->deleteLater();
        if (owner) owner->activateWindow();
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
                    Find(MAIN_WINDOW));
    box.setDefaultButton(QMessageBox::Ok);
    return box.exec() == QMessageBox::Ok;
}

std::string QtDesktop::OpenFileDialog(const std::string& title, const std::string& description,
                                      const std::string& pattern, const std::string& folder) {
    return RunFileDialog(Find(MAIN_WINDOW), false, title, description, pattern, folder);
}

std::string QtDesktop::SaveFileDialog(const std::string& title, const std::string& description,
                                      const std::string& pattern, const std::string& folder) {
    return RunFileDialog(Find(MAIN_WINDOW), true, title, description, pattern, folder);
}

// ---- progress

bool QtDesktop::ShowProgress(const std::string& title, const std::string& text, int percent) {
    if (!progress_) {
        progress_ = new QProgressDialog(Find(MAIN_WINDOW));
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

int QtDesktop::RunEventLoop(std::function<int()> pass) {
    if (quitRequested_) { // Quit came before the loop started
        quitRequested_ = false;
        return quitCode_;
    }
    pass_ = std::move(pass);
    QTimer passTimer, wakeTimer;
    passTimer.setTimerType(Qt::PreciseTimer);
    passTimer.setInterval(1);
    wakeTimer.setSingleShot(true);
    QObject::connect(&passTimer, &QTimer::timeout, [this] { Pass(); });
    QObject::connect(&wakeTimer, &QTimer::timeout, [this] { Wake(); });
    passTimer_ = &passTimer;
    wakeTimer_ = &wakeTimer;
    passTimer.start();
    const int code = QApplication::exec();
    passTimer_ = wakeTimer_ = nullptr;
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
    const int next = pass_ ? pass_() : -1;
    inPass_ = false;
    if (!passTimer_) return;
    if (next >= 0 && next <= 1) return; // busy: the next pass comes in a millisecond
    // Nothing to do until a deadline or an event: the loop sleeps meanwhile.
    passTimer_->stop();
    if (next > 1) wakeTimer_->start(next);
}

void QtDesktop::WakeSoon() {
    // Queued to the UI thread with the key filter, which goes with this desktop, as the context,
    // so that a wake that comes too late is dropped.
    QMetaObject::invokeMethod(
        keys_.get(), [this] { Wake(); }, Qt::QueuedConnection);
}

void QtDesktop::Wake() {
    if (!passTimer_ || passTimer_->isActive()) return;
    // The first pass runs as soon as the event that woke the loop is handled, not a timer's
    // millisecond later: a key typed while a song plays is heard and recorded at once.
    passTimer_->start();
    QTimer::singleShot(0, keys_.get(), [this] { Pass(); });
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
