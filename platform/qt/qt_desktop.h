// The real desktop: dialogs built from their templates as Qt widgets, message boxes and file
// dialogs, the event loop with its 1 ms pass, key state from Qt's key events and the periodic
// timer on a thread of its own.
//
// Threads: a QApplication must exist before the desktop is built, on the same (UI) thread.
// Every call is made on the UI thread, except the timer calls and WakeSoon (any thread).
#pragma once

#include "platform/desktop.h"

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>

class PeriodicTimer;
class QObject;
class QProgressDialog;
class QTimer;
class QWidget;

namespace qtplatform {
class DialogWindow;
class KeyFilter;
} // namespace qtplatform

class QtDesktop : public Desktop {
  public:
    QtDesktop();
    ~QtDesktop() override;
    QtDesktop(const QtDesktop&) = delete;
    QtDesktop& operator=(const QtDesktop&) = delete;

    // Also the MIDI input's wake, when a message is queued.
    void WakeSoon() override;

    // ---- for tests (UI thread)
    // The top-level window of the newest open dialog `dialog`, or null.
    QWidget* DialogWidget(int dialog);
    // The widget of control `id` in the newest open dialog `dialog`, or null.
    QWidget* ControlWidget(int dialog, int id);

    // ---- Desktop
    void CreateDialog(int dialog, DialogEvents* events) override;
    void RunModalDialog(int dialog, DialogEvents* events) override;
    void EndDialog(int dialog) override;
    void SetDialogTitle(int dialog, const std::string& title) override;
    void StartWindowTimer(int dialog, int periodMs) override;
    void SetControlText(int dialog, int id, const std::string& text) override;
    std::string GetControlText(int dialog, int id) override;
    void SetControlImage(int dialog, int id, int bitmap) override;
    void SetScrollRange(int dialog, int id, int minimum, int maximum) override;
    void SetScrollPosition(int dialog, int id, int position) override;
    void ComboReset(int dialog, int id) override;
    void ComboAdd(int dialog, int id, const std::string& text) override;
    void ComboSelect(int dialog, int id, int index) override;
    int ComboSelection(int dialog, int id) override;
    void EnableControl(int dialog, int id, bool enabled) override;
    void SetChecked(int dialog, int id, bool checked) override;
    bool IsChecked(int dialog, int id) override;
    void SetFocus(int dialog, int id) override;
    void SetControlColors(int dialog, int id, Rgb text, Rgb background) override;
    void SetToolTip(int dialog, int id, const std::string& text) override;
    void PaintRows(int dialog, int id, const Rgb* rows, int count) override;
    void ControlPixelSize(int dialog, int id, int& width, int& height) override;
    void PaintPixels(int dialog, int id, int width, int height, const Rgb* pixels) override;
    void PaintGrid(int dialog, int id, const GridColumn* columns, int columnCount,
                   const GridCell* cells, int lineCount) override;
    int GridLines(int dialog, int id) override;
    bool GetWindowRect(int dialog, WindowRect& rect) override;
    void SetWindowRect(int dialog, const WindowRect& rect) override;
    WindowRect ScreenArea(const WindowRect& near) override;
    bool MessageBox(const std::string& text, const std::string& caption, int style) override;
    bool ShowProgress(const std::string& title, const std::string& text, int percent) override;
    void EndProgress() override;
    std::string OpenFileDialog(const std::string& title, const std::string& description,
                               const std::string& pattern, const std::string& folder) override;
    std::string SaveFileDialog(const std::string& title, const std::string& description,
                               const std::string& pattern, const std::string& folder) override;
    int RunEventLoop(std::function<int()> pass) override;
    void Quit(int code) override;
    bool IsKeyDown(int virtualKey) override;
    void DropKeyPresses() override;
    bool KeysBelongToDialog() override;
    bool HasFocus() override;
    std::string KeyboardLayout() override;
    int StartPeriodicTimer(int periodMs, std::function<void()> tick) override;
    void KillPeriodicTimer(int id) override;

  private:
    friend class qtplatform::DialogWindow;
    qtplatform::DialogWindow* Build(int dialog, DialogEvents* events, bool modal);
    qtplatform::DialogWindow* Find(int dialog);
    // Forgets a window that is being destroyed.
    void Forget(qtplatform::DialogWindow* window);
    // One pass: the caller's pass, never re-entered. Then the passes
    // go on every millisecond, or stop until the pass's deadline or the next event.
    void Pass();
    // Something happened (a key, a MIDI message, a window event): a pass runs at once.
    void Wake();

    // Open dialogs, oldest first; a dialog id may be open more than once (About boxes).
    std::deque<qtplatform::DialogWindow*> windows_;
    // The window whose events are being handled, so that EndDialog ends that one.
    qtplatform::DialogWindow* dispatching_ = nullptr;

    std::function<int()> pass_;
    QTimer* passTimer_ = nullptr; // every millisecond while the pass has work
    QTimer* wakeTimer_ = nullptr; // once, at the pass's next deadline
    bool inPass_ = false;
    bool quitRequested_ = false;
    int quitCode_ = 0;

    std::unique_ptr<qtplatform::KeyFilter> keys_;
    QProgressDialog* progress_ = nullptr; // while a long task runs

    std::mutex timerMutex_;
    std::map<int, std::unique_ptr<PeriodicTimer>> timers_;
    int nextTimerId_ = 1;
};
