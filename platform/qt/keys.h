// Key state for the logic's polls, private to platform/qt/: the virtual-key code of a Qt key
// event, whether the keyboard belongs to a dialog, and KeyFilter, which keeps the state of every
// key from the key events the application sees. The table and its rules are written out in
// docs/keyboard.md.
#pragma once

#include <QObject>

#include <array>
#include <functional>
#include <map>

class QEvent;
class QKeyEvent;

namespace qtplatform {

// The virtual-key code of a key event, or 0 for a key the program has no code for. The table
// is written out in docs/keyboard.md.
int VirtualKeyOf(const QKeyEvent& key);

// True while the keyboard belongs to another window: a modal window other than the sound
// editor is open, a window other than the main window, the pattern window and the sound editor
// has the focus, a menu is open, or the menu bar holds the keyboard.
bool KeysWithDialog();

// Keeps the state of the keys by their virtual-key codes, from every key event the
// application sees (whichever widget has the focus). A key counts while it is down, and also at
// the first query after a press, so that a tap released between two polls still acts once.
// Keys count only while the main window, the pattern window or the sound editor has the keyboard
// focus, and only when they went down there: a key pressed in a dialog (ENTER that accepts a
// file dialog) stays up for the logic until it is released and pressed again.
class KeyFilter : public QObject {
  public:
    // Called once per key and poll: true while the key is down or when it went down since the
    // last query of it.
    bool Query(int vk);
    // Forgets the presses kept for the next query; keys down now stay down.
    void DropPresses() { pressed_.fill(false); }
    void Clear();
    // Told of every key event, focus change and change of the application's state, so that the
    // main loop wakes for it.
    std::function<void()> onEvent;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    static constexpr int KEYS = 256;

    void Press(const QKeyEvent& key);
    void Release(const QKeyEvent& key);

    std::array<bool, KEYS> down_{};    // down now
    std::array<bool, KEYS> pressed_{}; // went down since the last query
    std::map<quint32, int> pressedByScan_;
    bool clear_ = true;                             // nothing is down or pressed
    bool forLogic_ = false, forLogicKnown_ = false; // the keyboard is the logic's, this poll
};

} // namespace qtplatform
