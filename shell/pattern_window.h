// The pattern window (dialog 104), beside the main window: every row of the pattern at the song
// position, as many as fit, in a grid the desktop paints. The cursor row and channel are marked
// and follow the main window's cursor; while a song or pattern plays, the playing row is marked
// and kept in view, and the window follows the song position. A click puts the cursor on a cell,
// the wheel scrolls. Its keys are the main window's (the desktop polls them for the logic). Its
// place and whether it is open are kept in the preferences.
//
// Threads: UI thread only. It reads the cursor and the cells while the tick changes them; a
// drawing may show a row one tick old, and the next refresh shows the rest.
#pragma once

#include "platform/desktop.h"
#include "song/song_state.h"

#include <cstdint>
#include <string>

// Preference keys: "open" or "closed"; "x,y,width,height" in pixels of the desktop.
constexpr const char* PATTERN_WINDOW_KEY = "pattern-window";
constexpr const char* PATTERN_PLACE_KEY = "pattern-window-geometry";
// The smallest size a kept place is given back with, in pixels.
constexpr int PATTERN_MIN_WIDTH = 160, PATTERN_MIN_HEIGHT = 100;

// The grid's columns: the row numbers, then one per channel.
constexpr int PATTERN_ROW_COLUMN = 0;
constexpr int PATTERN_COLUMNS = 1 + CHANNEL_COUNT;

class PatternWindow : public DialogEvents {
  public:
    void OnInit() override;
    void OnClose() override;
    void OnGridClick(int id, int line, int column) override;
    void OnGridWheel(int id, int steps) override;
    void OnGridResize(int id, int lines) override;

    bool IsOpen() const { return open_; }
    // Opens it (at its kept place, else beside the main window) or closes it, and keeps which.
    void Toggle();
    // Draws what changed since the last drawing: the rows, the cursor, the song position, the
    // cells, the mutes, the current instrument, the size. Nothing when nothing did, or when the
    // window is closed; what it compares costs a few microseconds.
    void Refresh();
    // Keeps the window's place in the preferences (when it is open); an unchanged place changes
    // nothing.
    void KeepPlace();
    // A new main window has no pattern window yet.
    void Forget();

    // The first pattern row shown, and how many rows are shown below the heading line.
    int TopRow() const { return top_; }
    int RowsShown() const;

  private:
    // What a drawing shows; the next drawing happens only when this changes.
    struct Shown {
        int position = -1, row = 0, channel = 0, instrument = 0, beat = 0, top = 0, lines = 0;
        bool playing = false;
        int tracks[CHANNEL_COUNT] = {};
        int muted[CHANNEL_COUNT] = {};
        Cell cells[CHANNEL_COUNT][TRACK_ROWS] = {};
        bool operator==(const Shown&) const = default;
    };
    Shown Capture() const;
    void Paint(const Shown& now);
    void ShowTitle(const Shown& now);
    void ScrollTo(int top);
    // Brings `row` into view: while playing a page at a time, the row then near the top so that
    // the rows to come show; else by as little as needed.
    void Follow(int row, bool playing);
    void Place();

    bool open_ = false;
    bool drawn_ = false;
    int top_ = 0;
    int lines_ = 0; // whole lines that fit in the grid, the heading line included
    Shown last_;
    std::string title_;
};

PatternWindow& pattern_window();
// F3 and the Program menu's "Pattern Window": opens or closes it.
void TogglePatternWindow();
// At start: opens the window when it was open at the last quit.
void RestorePatternWindow();

// A kept place read from "x,y,width,height"; false (leaving `rect`) for anything else.
bool ParseWindowRect(const std::string& text, WindowRect& rect);
std::string WindowRectText(const WindowRect& rect);
// `rect` brought onto `area`: at least the minimum size and at most the area's, and moved so that
// all of it is inside the area.
WindowRect FitWindowRect(const WindowRect& rect, const WindowRect& area);
