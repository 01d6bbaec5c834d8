// The dialog windows of the Qt desktop, private to platform/qt/: DialogWindow, one window built
// from its template with a widget per control, and the helpers the other files of the backend
// share with it (the logic's texts as QStrings, the compiled-in bitmaps drawn to pixmaps). The
// control widgets and the QtDesktop methods on controls are in dialog_windows.cpp.
#pragma once

#include "platform/qt/qt_desktop.h"
#include "resources/dialog_template.h"
#include "resources/dialog_units.h"

#include <QCloseEvent>
#include <QDialog>
#include <QKeyEvent>
#include <QMargins>
#include <QPixmap>
#include <QSize>
#include <QString>
#include <QTimer>

#include <functional>
#include <map>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

class QAction;
class QMenu;
class QButtonGroup;

namespace qtplatform {

// The logic's texts are UTF-8; a byte string that is not (a Latin-1 character such as 0xB2)
// is read as Latin-1 so that it still shows.
QString ToQString(const std::string& text);
// A colour of the logic as Qt's.
QColor ToColor(Rgb rgb);

// Drawn bitmaps by name, size and device-pixel ratio; emptied before the application ends.
std::map<std::tuple<QString, int, int, int>, QPixmap>& BitmapCache();

// The bitmap `name` (resources/bitmaps/<name>.svg, compiled in) drawn at `logical` size for a
// screen with device-pixel ratio `dpr`; a null pixmap when the file is missing or unreadable.
QPixmap RenderBitmap(const QString& name, QSize logical, qreal dpr);

// One dialog built from its template: a window with the menu bar (if any) above a client area
// holding one widget per control at its pixel rectangle. Its size is fixed, unless the template
// makes it resizable: then its grids keep their distances to the edges.
class DialogWindow : public QDialog {
  public:
    DialogWindow(QtDesktop* owner, const DialogTemplate& tmpl, DialogEvents* events,
                 QWidget* parent, bool modal);
    ~DialogWindow() override { owner_->Forget(this); }

    int id() const { return tmpl_.id; }
    DialogEvents* events() const { return events_; }
    DialogBaseUnits base() const { return base_; }
    QWidget* control(int id) const {
        auto it = controls_.find(id);
        return it == controls_.end() ? nullptr : it->second;
    }
    // The menu item with command `id`, or null.
    QAction* menuItem(int id) const {
        auto it = menuItems_.find(id);
        return it == menuItems_.end() ? nullptr : it->second;
    }
    QButtonGroup* radios() const { return radios_; }
    bool Resizable() const { return (tmpl_.style & DLG_RESIZABLE) != 0; }
    // Fits the client area, and the grids in it, to the window's size now.
    void Layout();
    QTimer* windowTimer() {
        if (!timer_) {
            timer_ = new QTimer(this);
            connect(timer_, &QTimer::timeout, this,
                    [this] { Send([](DialogEvents& e) { e.OnTimer(); }); });
        }
        return timer_;
    }
    bool ended = false;

    // Hands an event to the logic with this window marked as the one being handled.
    void Send(const std::function<void(DialogEvents&)>& call) {
        if (!events_ || ended) return;
        DialogWindow* outer = owner_->dispatching_;
        owner_->dispatching_ = this;
        call(*events_);
        owner_->dispatching_ = outer;
        owner_->Wake(); // the event may have given the main loop work
    }

  protected:
    // The close box asks the logic, which decides whether the dialog ends.
    void closeEvent(QCloseEvent* event) override {
        event->ignore();
        Send([](DialogEvents& e) { e.OnClose(); });
    }
    // No key closes the dialog or presses a default button: keys are the logic's (it polls them).
    void keyPressEvent(QKeyEvent* event) override { event->ignore(); }
    // TAB is a command key, never focus navigation.
    bool focusNextPrevChild(bool) override { return false; }
    void resizeEvent(QResizeEvent* event) override {
        QDialog::resizeEvent(event);
        Layout();
    }

  private:
    void AddMenuItems(QMenu* menu, const MenuItem* items, int count);
    void BuildControl(const ControlTemplate& control, QWidget* area);

    QtDesktop* owner_;
    const DialogTemplate& tmpl_;
    DialogEvents* events_;
    DialogBaseUnits base_{};
    std::map<int, QWidget*> controls_;
    std::map<int, QAction*> menuItems_;
    QButtonGroup* radios_ = nullptr;
    QTimer* timer_ = nullptr;
    QWidget* area_ = nullptr;
    int menuHeight_ = 0;
    // The grids of a resizable dialog and their distances to the client area's edges.
    std::vector<std::pair<QWidget*, QMargins>> stretched_;
};

} // namespace qtplatform
