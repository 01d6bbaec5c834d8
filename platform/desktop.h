// The desktop seam: what the logic asks of the windowing system. Dialogs built from their
// templates, controls addressed by dialog and resource id, message boxes, file dialogs and the
// progress window, text grids in resizable windows and the windows' places, the main loop's
// passes, key state and the periodic tick timer. (MIDI input
// is a seam of its own, platform/midi_input.h.) The real backend is Qt 6 (platform/qt/); tests
// install the recording fake (platform/fake_platform.h). The logic never includes a toolkit
// header.
//
// Threads: every call is made on the UI thread, except the timer calls and WakeSoon, which may
// come from any thread.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

// Message box styles by their values: the icon and the buttons.
enum MessageBoxStyle : int {
    MB_ERROR_OK = 0x10,           // OK, stop icon
    MB_STOP_OK_CANCEL = 0x11,     // OK and Cancel, stop icon
    MB_WARNING_OK_CANCEL = 0x31,  // OK and Cancel, exclamation icon
    MB_QUESTION_OK_CANCEL = 0x41, // OK and Cancel, information icon
};

// Scroll codes of OnScroll, as scroll bars report them.
enum ScrollCode : int {
    SB_LINEUP = 0,        // arrow towards the minimum
    SB_LINEDOWN = 1,      // arrow towards the maximum
    SB_PAGEUP = 2,        // trough click towards the minimum
    SB_PAGEDOWN = 3,      // trough click towards the maximum
    SB_THUMBPOSITION = 4, // thumb released at `position`
    SB_THUMBTRACK = 5,    // thumb dragged to `position`
    SB_ENDSCROLL = 8,     // the scroll action ended
};

// Notification codes of OnCommand.
enum CommandNotification : int {
    CMD_CLICKED = 0,      // a button was pressed, a menu item chosen, or a key sent the command
    CMD_COMBO_OPENED = 7, // a combo box is about to show its list
    CMD_COMBO_CLOSED = 8, // a combo box closed its list
    CMD_COMBO_CHOSEN = 9, // a combo box selection was confirmed
};

// What a dialog's logic is told by the platform, on the UI thread. Every handler may be left
// empty.
class DialogEvents {
  public:
    virtual ~DialogEvents() = default;
    // The dialog's controls exist; set them up.
    virtual void OnInit() {}
    virtual void OnCommand(int /*id*/, int /*notification*/) {}
    virtual void OnScroll(int /*id*/, int /*code*/, int /*position*/) {}
    // The dialog's window timer.
    virtual void OnTimer() {}
    // The close box; the dialog stays open unless the handler ends it.
    virtual void OnClose() {}
    // One short MIDI message from the MIDI input, handed over by the main loop (main window
    // only).
    virtual void OnMidi(uint8_t /*status*/, uint8_t /*data1*/, uint8_t /*data2*/) {}
    // A text grid (Desktop::PaintGrid): a click on the cell at `line` (0 the top line, as
    // painted) and `column` (-1 right of the last column); a mouse wheel turned by `steps`
    // notches (positive: towards the user, the way to later lines); its size changed, and
    // `lines` whole lines fit now.
    virtual void OnGridClick(int /*id*/, int /*line*/, int /*column*/) {}
    virtual void OnGridWheel(int /*id*/, int /*steps*/) {}
    virtual void OnGridResize(int /*id*/, int /*lines*/) {}
};

// An RGB colour, 0xRRGGBB.
using Rgb = uint32_t;

// A column of a text grid: its width in average character widths of the dialog font, and where
// its texts stand in it.
enum class GridAlign : uint8_t { Left, Centre, Right };
struct GridColumn {
    int chars = 0;
    GridAlign align = GridAlign::Left;
    bool operator==(const GridColumn&) const = default;
};
// One cell of a text grid: its text (UTF-8), text colour and background.
struct GridCell {
    std::string text;
    Rgb ink = 0x000000;
    Rgb paper = 0xFFFFFF;
    bool operator==(const GridCell&) const = default;
};

// A window's inside (without the frame the window manager adds) in logical pixels of the
// desktop.
struct WindowRect {
    int x = 0, y = 0, width = 0, height = 0;
    bool operator==(const WindowRect&) const = default;
};

class Desktop {
  public:
    virtual ~Desktop() = default;

    // ---- dialogs (UI thread). Dialogs are built from their templates (resources/).
    // Builds and shows a modeless dialog (the main window 105, an About box 102); `events` lives
    // as long as the dialog.
    virtual void CreateDialog(int dialog, DialogEvents* events) = 0;
    // Builds a modal dialog (the sound editor 101) and returns when it has ended. The main loop's
    // passes and the tick timer go on meanwhile.
    virtual void RunModalDialog(int dialog, DialogEvents* events) = 0;
    // Ends (closes) a dialog.
    virtual void EndDialog(int dialog) = 0;
    virtual void SetDialogTitle(int dialog, const std::string& title) = 0;
    // Starts the dialog's window timer: OnTimer about every `periodMs` milliseconds.
    virtual void StartWindowTimer(int dialog, int periodMs) = 0;

    // ---- controls, addressed by dialog and control id (UI thread)
    // Also a menu item's text by its command id; a menu item with an empty text is hidden.
    virtual void SetControlText(int dialog, int id, const std::string& text) = 0;
    virtual std::string GetControlText(int dialog, int id) = 0;
    // Puts bitmap resource `bitmap` on a bitmap button.
    virtual void SetControlImage(int dialog, int id, int bitmap) = 0;
    virtual void SetScrollRange(int dialog, int id, int minimum, int maximum) = 0;
    virtual void SetScrollPosition(int dialog, int id, int position) = 0;
    // Combo boxes: an entry's index is its position in the order of adding.
    virtual void ComboReset(int dialog, int id) = 0;
    virtual void ComboAdd(int dialog, int id, const std::string& text) = 0;
    virtual void ComboSelect(int dialog, int id, int index) = 0;
    // The selected index, or -1 when nothing is selected.
    virtual int ComboSelection(int dialog, int id) = 0;
    // Enables or greys a control, or a menu item by its command id.
    virtual void EnableControl(int dialog, int id, bool enabled) = 0;
    // Check boxes and radio buttons, and the tick of a menu item by its command id.
    virtual void SetChecked(int dialog, int id, bool checked) = 0;
    virtual bool IsChecked(int dialog, int id) = 0;
    // Gives the keyboard focus to a control.
    virtual void SetFocus(int dialog, int id) = 0;
    // Text and background colours of a static.
    virtual void SetControlColors(int dialog, int id, Rgb text, Rgb background) = 0;
    virtual void SetToolTip(int dialog, int id, const std::string& text) = 0;
    // Paints a frame static as `rows` horizontal lines, top first, each the full width.
    virtual void PaintRows(int dialog, int id, const Rgb* rows, int count) = 0;
    // The inside of a frame static in pixels: the area that PaintPixels fills. 0 x 0 when the
    // control is not there.
    virtual void ControlPixelSize(int /*dialog*/, int /*id*/, int& width, int& height) {
        width = height = 0;
    }
    // Shows `width` x `height` pixels (row by row, top first) inside a frame static, one per
    // pixel of its inside, until they are painted again.
    virtual void PaintPixels(int /*dialog*/, int /*id*/, int /*width*/, int /*height*/,
                             const Rgb* /*pixels*/) {}
    // A grid control (resources/dialog_template.h): shows `lineCount` lines of `columnCount`
    // cells (row by row, top first), one line a font height (plus a little leading) in the
    // dialog font, each column as wide as its characters; what does not fit is cut off. The
    // same content painted again repaints nothing.
    virtual void PaintGrid(int /*dialog*/, int /*id*/, const GridColumn* /*columns*/,
                           int /*columnCount*/, const GridCell* /*cells*/, int /*lineCount*/) {}
    // How many whole lines fit in the grid now; 0 when the control is not there.
    virtual int GridLines(int /*dialog*/, int /*id*/) { return 0; }

    // ---- window places (UI thread)
    // Where an open dialog is; false when it is not open.
    virtual bool GetWindowRect(int /*dialog*/, WindowRect& /*rect*/) { return false; }
    // Moves and sizes an open dialog (a fixed-size one only moves); the desktop may still keep
    // it to a minimum size.
    virtual void SetWindowRect(int /*dialog*/, const WindowRect& /*rect*/) {}
    // The part of the desktop that windows may take (without panels and docks) on the screen
    // that holds the centre of `near`, else on the main screen.
    virtual WindowRect ScreenArea(const WindowRect& /*near*/) { return {0, 0, 1024, 768}; }

    // ---- message boxes and file dialogs (UI thread)
    // Shows a message box owned by the main window; true only when the user pressed OK.
    virtual bool MessageBox(const std::string& text, const std::string& caption, int style) = 0;
    // The open or save file dialog with its title and one filter ("description", "*.ext"),
    // opened in `folder` ("" = the working folder; a relative folder is taken from it). The
    // description is shown as given, with " (pattern)" added unless it already ends in the
    // pattern (in any case); names match the pattern in any case. Returns the chosen path, or an
    // empty string when the user cancelled. A name typed without an extension gets the
    // pattern's.
    virtual std::string OpenFileDialog(const std::string& title, const std::string& description,
                                       const std::string& pattern, const std::string& folder) = 0;
    virtual std::string SaveFileDialog(const std::string& title, const std::string& description,
                                       const std::string& pattern, const std::string& folder) = 0;

    // Shows (on the first call) or updates a modal progress window over the main window, with a
    // Cancel button, and lets the window repaint. Returns false once the user cancelled.
    virtual bool ShowProgress(const std::string& title, const std::string& text, int percent) = 0;
    // Closes the progress window.
    virtual void EndProgress() = 0;

    // ---- the main loop (UI thread)
    // Runs the event loop until Quit and returns the exit code. `pass` runs about once a
    // millisecond while it has work (also while a modal dialog is open); it returns how soon it
    // needs to run again: 1 (or less) while busy, a number of milliseconds for a deadline, or a
    // negative number when only an event can give it work. Between passes the loop sleeps, and
    // any key or window event wakes it at once (and a MIDI message, through the backend's wake).
    virtual int RunEventLoop(std::function<int()> pass) = 0;
    // A pass runs soon, also when the loop sleeps: what another thread calls when it has left
    // work for the pass (the tick's count-down image). Any thread.
    virtual void WakeSoon() = 0;
    virtual void Quit(int code) = 0;
    // True while the key with this virtual-key code is down (or went down since the last poll).
    // Only presses made while the main window, the pattern window or the sound editor has the
    // focus count: a key pressed in another window (a file dialog, a message box, an About box)
    // reads up, also while it stays held after that window closed.
    virtual bool IsKeyDown(int virtualKey) = 0;
    // Forgets the presses kept for the next query (a tap released before it); keys that are
    // down now stay down.
    virtual void DropKeyPresses() = 0;
    // True while the keyboard belongs to a window other than the main window, the pattern
    // window and the sound editor: a modal file dialog, message box or progress window, an
    // About box with the focus, an open menu, or the menu bar holding the keyboard (its title
    // highlighted). What the user types there is that window's, so the main loop neither polls nor
    // handles keys meanwhile.
    virtual bool KeysBelongToDialog() = 0;
    // The desktop's keyboard layout as an XKB layout name ("fr", "be", "us", "de(nodeadkeys)"),
    // or "" when it cannot tell.
    virtual std::string KeyboardLayout() = 0;
    // True while a window of the program is the active window (the user is working in it).
    virtual bool HasFocus() = 0;
    // A steady clock in milliseconds, for the delays the key poll counts in time.
    virtual int64_t SteadyMilliseconds();

    // ---- periodic timer (any thread)
    // Calls `tick` every `periodMs` milliseconds on a thread of its own, on absolute deadlines,
    // until killed. Returns a non-zero timer id.
    virtual int StartPeriodicTimer(int periodMs, std::function<void()> tick) = 0;
    // Stops the timer; returns once a tick that is running has finished. Never call it from the
    // timer's own tick.
    virtual void KillPeriodicTimer(int id) = 0;
};

// The desktop the logic talks to. The program installs its backend at start-up; a test installs
// a fake. Set it before any logic runs; reading it is safe from any thread.
Desktop& desktop();
void SetDesktop(Desktop* d);
// The installed desktop, or null when none is.
Desktop* InstalledDesktop();
