// A platform for tests: it keeps every control's state (text, image, scroll range and position,
// combo entries and selection, enabled, checked, colours, tool tip, painted rows) and the
// focus, answers message boxes and file dialogs from queues, records every audio voice
// operation, and runs the periodic timer only when the test fires it (or on a real thread when
// asked). Dialogs are not built: a test calls the events it wants.
#pragma once

#include "platform/desktop.h"
#include "platform/voices.h"
#include "resources/resource_ids.h"

#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

class PeriodicTimer;

class FakePlatform : public Desktop, public Voices {
  public:
    FakePlatform();
    ~FakePlatform() override;

    struct Box {
        std::string text, caption;
        int style;
    };
    struct Voice {
        std::vector<uint8_t> samples; // the voice's buffer
        int volume = 0;               // hundredths of a decibel
        bool playing = false, looping = false;
        int fills = 0, plays = 0, stops = 0;
    };
    struct Control {
        std::string text;
        int image = 0;
        int minimum = 0, maximum = 0, position = 0;
        std::vector<std::string> entries;
        int selection = -1;
        bool enabled = true, checked = false;
        Rgb textColor = 0, background = 0;
        std::string toolTip;
        std::vector<Rgb> rows;
        // A frame static's inside in pixels (as a test sets it), and what was painted there.
        int pixelWidth = 0, pixelHeight = 0;
        int paintedWidth = 0, paintedHeight = 0, paints = 0;
        std::vector<Rgb> pixels;
        // A grid: the lines that fit (as a test sets it), and what was painted, with a count of
        // the paints that changed it.
        int gridLines = 0;
        std::vector<GridColumn> gridColumns;
        std::vector<GridCell> gridCells;
        int gridLineCount = 0, gridPaints = 0;
        // A painted grid cell; an empty one outside what was painted.
        GridCell cell(int line, int column) const {
            const int columns = static_cast<int>(gridColumns.size());
            if (line < 0 || line >= gridLineCount || column < 0 || column >= columns) return {};
            return gridCells[static_cast<size_t>(line * columns + column)];
        }
    };

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
    std::string OpenFileDialog(const std::string& title, const std::string& description,
                               const std::string& pattern, const std::string& folder) override;
    std::string SaveFileDialog(const std::string& title, const std::string& description,
                               const std::string& pattern, const std::string& folder) override;
    bool ShowProgress(const std::string& title, const std::string& text, int percent) override;
    void EndProgress() override;
    int RunEventLoop(std::function<int()> pass) override;
    void WakeSoon() override;
    void Quit(int code) override;
    bool IsKeyDown(int virtualKey) override;
    void DropKeyPresses() override;
    bool KeysBelongToDialog() override;
    bool HasFocus() override;
    std::string KeyboardLayout() override { return keyboardLayout; }
    int64_t SteadyMilliseconds() override;
    int StartPeriodicTimer(int periodMs, std::function<void()> tick) override;
    void KillPeriodicTimer(int id) override;
    // ---- Voices
    void Create(int voice, int bytes, int volumeHundredthsDb) override;
    void Fill(int voice, const uint8_t* samples, int count) override;
    void Play(int voice, bool looping) override;
    void Stop(int voice) override;
    void OpenOutput(int periods) override;
    Output KeepOutput(bool songPlaying) override;

    // ---- for tests (lock-protected, any thread)
    // The state of a control; created empty on first use.
    Control& control(int dialog, int id);
    // The image on a main-window button (0 when none was set).
    int image(int id) { return control(MAIN_WINDOW, id).image; }
    std::map<std::pair<int, int>, Control> controls;
    std::map<int, std::string> titles;        // by dialog
    std::map<int, DialogEvents*> openDialogs; // created and not ended
    std::vector<int> modalRuns;               // dialogs run modally, in order
    std::pair<int, int> focus{0, 0};          // dialog and control with the keyboard focus
    std::map<int, int> windowTimers;          // dialog -> period in ms
    std::map<int, WindowRect> windowRects;    // where each dialog was put (or a test put it)
    WindowRect screenArea{0, 0, 1600, 1200};  // ScreenArea, wherever asked
    std::vector<Box> boxes;                   // every message box shown, in order
    std::deque<bool> answers;                 // answers for the next boxes; OK when empty
    // Paths the next file dialogs return ("" = cancelled; cancelled when empty), and every
    // dialog shown as "open|title|description|pattern|folder" or "save|...".
    std::deque<std::string> dialogPaths;
    std::vector<std::string> dialogs;
    // Progress shown: "title|text|percent" per update, "end" when closed; updates past
    // `progressCancelAfter` (when not negative) answer that the user cancelled.
    std::vector<std::string> progress;
    int progressCancelAfter = -1;
    // Keys reported down by IsKeyDown, by virtual-key code.
    std::map<int, bool> keysDown;
    int keyPressDrops = 0; // DropKeyPresses calls
    int wakes = 0;         // WakeSoon calls
    // Runs while a message box, file dialog or progress window is open, with
    // KeysBelongToDialog true: a test types into the dialog and runs main-loop passes here.
    std::function<void()> whileDialogOpen;
    bool dialogHasKeys = false;
    int64_t clockMs = 0;               // SteadyMilliseconds
    bool focused = true;               // HasFocus
    std::string keyboardLayout = "us"; // KeyboardLayout
    int quitCode = -1;                 // set by Quit
    // RunEventLoop calls the pass this many times, then returns (unless Quit came first).
    int loopPasses = 1;
    Voice voices[5];
    std::vector<std::string> audioLog; // "create 0 81664 -1000", "fill 0 81664", "play 0 loop",
                                       // "stop 4", ...
    Output output = Output::Ok;        // what KeepOutput answers
    int outputChecks = 0;              // KeepOutput calls
    bool outputSongPlaying = false;    // what the last KeepOutput was told
    int outputPeriods = -1;            // what the last OpenOutput asked for
    bool realTimer = false;            // run started timers on a real thread
    int timerPeriodMs = 0, timersStarted = 0, timersKilled = 0, liveTimerId = 0;

    // Runs the live timer's tick `times` times on the calling thread.
    void FireTimer(int times = 1);
    std::recursive_mutex mutex; // guards the records above when threads are involved

  private:
    void DialogOpen();
    std::function<void()> tick_;
    std::unique_ptr<PeriodicTimer> thread_;
};

// Installs the fake as both the desktop and the voices; null removes both.
inline void InstallFake(FakePlatform* fake) {
    SetDesktop(fake);
    SetVoices(fake);
}
