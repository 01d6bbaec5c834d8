#include "shell/pattern_window.h"

#include "resources/resource_ids.h"
#include "shell/pattern_view.h"
#include "shell/settings_file.h"
#include "song/note_entry.h"
#include "song/song_model.h"
#include "sound/instrument_bank.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <vector>

namespace {

constexpr auto kRelaxed = std::memory_order_relaxed;
constexpr int kWheelRows = 3; // rows per wheel notch
constexpr int kGap = 12; // pixels between the main window and a pattern window placed beside it
constexpr int kDefaultWidth = 420, kDefaultHeight = 560; // when the desktop cannot tell

// Colours beside the pattern view's own (shell/pattern_view.h).
constexpr Rgb kHeadingPaper = 0xBEBEBE;
constexpr Rgb kHeadingInk = 0x000000;
constexpr Rgb kRowNumberPaper = 0xE4E4E4;
constexpr Rgb kRowNumberInk = 0x000000;
constexpr Rgb kMutedInk = 0x8C8C8C;
constexpr Rgb kBeatShade = 0x141414;  // taken off every channel of a row the metronome clicks on
constexpr Rgb kCursorBand = 0xC4E4C4; // the cursor row, stopped
constexpr Rgb kCursorCell = 0x8ED08E;
constexpr Rgb kPlayBand = 0xFFE28A; // the playing row
constexpr Rgb kPlayCell = 0xFFC640;
constexpr Rgb kPlayInk = 0x000000;

PatternWindow the_pattern_window;

Rgb Darker(Rgb colour, Rgb by) {
    Rgb out = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        const int part = int((colour >> shift) & 0xFF) - int((by >> shift) & 0xFF);
        out |= Rgb(std::max(part, 0)) << shift;
    }
    return out;
}

std::string TrackNumber(int track) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d", track);
    return text;
}

} // namespace

PatternWindow& pattern_window() {
    return the_pattern_window;
}

void TogglePatternWindow() {
    pattern_window().Toggle();
}

void RestorePatternWindow() {
    if (Preference(PATTERN_WINDOW_KEY) == "open" && !pattern_window().IsOpen())
        pattern_window().Toggle();
}

bool ParseWindowRect(const std::string& text, WindowRect& rect) {
    int values[4];
    const char* at = text.data();
    const char* end = text.data() + text.size();
    for (int i = 0; i < 4; ++i) {
        if (i > 0 && (at == end || *at++ != ',')) return false;
        const auto [next, error] = std::from_chars(at, end, values[i]);
        if (error != std::errc()) return false;
        at = next;
    }
    if (at != end) return false;
    rect = {values[0], values[1], values[2], values[3]};
    return true;
}

std::string WindowRectText(const WindowRect& rect) {
    return std::to_string(rect.x) + "," + std::to_string(rect.y) + "," +
           std::to_string(rect.width) + "," + std::to_string(rect.height);
}

WindowRect FitWindowRect(const WindowRect& rect, const WindowRect& area) {
    // In 64 bits: a kept place may hold any number an int can.
    auto fit = [](int64_t start, int64_t size, int64_t least, int64_t areaStart, int64_t areaSize,
                  int& outStart, int& outSize) {
        size = std::clamp(size, least, std::max(least, areaSize));
        start = std::clamp(start, areaStart, std::max(areaStart, areaStart + areaSize - size));
        outStart = int(start);
        outSize = int(size);
    };
    WindowRect out;
    fit(rect.x, rect.width, PATTERN_MIN_WIDTH, area.x, area.width, out.x, out.width);
    fit(rect.y, rect.height, PATTERN_MIN_HEIGHT, area.y, area.height, out.y, out.height);
    return out;
}

// ------------------------------------------------------------------------------ opening

void PatternWindow::Forget() {
    open_ = drawn_ = false;
    top_ = lines_ = 0;
    last_ = Shown{};
    title_.clear();
}

void PatternWindow::Toggle() {
    Desktop& d = desktop();
    if (open_) {
        KeepPlace();
        open_ = false;
        d.EndDialog(DIALOG_PATTERN);
    } else {
        d.CreateDialog(DIALOG_PATTERN, this);
    }
    SetPreference(PATTERN_WINDOW_KEY, open_ ? "open" : "closed");
    d.SetChecked(MAIN_WINDOW, CMD_PATTERN_WINDOW, open_);
}

void PatternWindow::OnInit() {
    Forget();
    open_ = true;
    Place();
    lines_ = desktop().GridLines(DIALOG_PATTERN, PATTERN_GRID);
    Refresh();
}

void PatternWindow::OnClose() {
    if (open_) Toggle();
}

// The kept place, else beside the main window at the template's size: to its right, or to its
// left when only there it fits whole, so that it does not cover the main window on a narrow
// screen; on the screen either way.
void PatternWindow::Place() {
    Desktop& d = desktop();
    WindowRect rect{0, 0, kDefaultWidth, kDefaultHeight};
    if (!ParseWindowRect(Preference(PATTERN_PLACE_KEY), rect)) {
        d.GetWindowRect(DIALOG_PATTERN, rect);
        if (WindowRect main; d.GetWindowRect(MAIN_WINDOW, main)) {
            const WindowRect area = d.ScreenArea(main);
            rect.x = main.x + main.width + kGap;
            const int left = main.x - kGap - rect.width;
            if (rect.x + rect.width > area.x + area.width && left >= area.x) rect.x = left;
            rect.y = main.y;
            rect.height = std::max(rect.height, main.height);
        }
    }
    d.SetWindowRect(DIALOG_PATTERN, FitWindowRect(rect, d.ScreenArea(rect)));
}

void PatternWindow::KeepPlace() {
    if (WindowRect rect; open_ && desktop().GetWindowRect(DIALOG_PATTERN, rect))
        SetPreference(PATTERN_PLACE_KEY, WindowRectText(rect));
}

// ----------------------------------------------------------------------------- geometry

int PatternWindow::RowsShown() const {
    return std::clamp(lines_ - 1, 1, TRACK_ROWS);
}

void PatternWindow::ScrollTo(int top) {
    top_ = std::clamp(top, 0, TRACK_ROWS - RowsShown());
}

void PatternWindow::Follow(int row, bool playing) {
    const int shown = RowsShown();
    // A row of what came before stays in sight above the cursor, when there is room.
    const int context = shown > 4 ? 1 : 0;
    if (playing) {
        if (row < top_ || row > top_ + shown - 1) ScrollTo(row - context);
    } else if (row < top_ + context) {
        ScrollTo(row - context);
    } else if (row > top_ + shown - 1 - context) {
        ScrollTo(row - shown + 1 + context);
    }
}

void PatternWindow::OnGridClick(int, int line, int column) {
    if (!open_ || column < 0 || column >= PATTERN_COLUMNS) return;
    if (column != PATTERN_ROW_COLUMN)
        play.current_channel.store(static_cast<int16_t>(column - 1), kRelaxed);
    // The heading picks a channel only; while playing, the row is the sequencer's.
    const int row = top_ + line - 1;
    if (line >= 1 && row < TRACK_ROWS && !IsPlaying()) SetCursorRow(row);
    RedrawCursorAndStatus();
}

void PatternWindow::OnGridWheel(int, int steps) {
    ScrollTo(top_ + steps * kWheelRows);
    Refresh();
}

void PatternWindow::OnGridResize(int, int lines) {
    lines_ = lines;
    ScrollTo(top_);
    Follow(play.current_row.load(kRelaxed), IsPlaying());
    Refresh();
}

// ------------------------------------------------------------------------------ drawing

PatternWindow::Shown PatternWindow::Capture() const {
    Shown now;
    now.position = play.current_position.load(kRelaxed);
    now.row = std::clamp<int>(play.current_row.load(kRelaxed), 0, TRACK_ROWS - 1);
    now.channel = play.current_channel.load(kRelaxed) & 3;
    now.instrument = current_instrument.load(kRelaxed);
    now.beat = settings.metronome_step.load(kRelaxed);
    now.playing = IsPlaying();
    for (int c = 0; c < CHANNEL_COUNT; ++c) {
        now.tracks[c] = TrackAt(now.position, c);
        now.muted[c] = play.channel_muted[c].load(kRelaxed);
        for (int r = 0; r < TRACK_ROWS; ++r) now.cells[c][r] = GetCell(now.tracks[c], r);
    }
    return now;
}

void PatternWindow::Refresh() {
    if (!open_) return;
    Shown now = Capture();
    if (now.playing || !drawn_ || now.row != last_.row || now.position != last_.position)
        Follow(now.row, now.playing);
    now.top = top_;
    now.lines = lines_;
    ShowTitle(now);
    if (drawn_ && now == last_) return;
    Paint(now);
    last_ = now;
    drawn_ = true;
}

// The song position and the current instrument, whose name the sound editor may change.
void PatternWindow::ShowTitle(const Shown& now) {
    char label[64];
    FormatInstrumentLabel(now.instrument, label, sizeof label);
    std::string title = "Pattern - position " + std::to_string(now.position + 1) + " of " +
                        std::to_string(song.song_size.load(kRelaxed)) + " - instrument " + label;
    if (title == title_) return;
    title_ = std::move(title);
    desktop().SetDialogTitle(DIALOG_PATTERN, title_);
}

void PatternWindow::Paint(const Shown& now) {
    static constexpr GridColumn kColumns[PATTERN_COLUMNS] = {{3, GridAlign::Right},
                                                             {10, GridAlign::Centre},
                                                             {10, GridAlign::Centre},
                                                             {10, GridAlign::Centre},
                                                             {10, GridAlign::Centre}};
    const int rows = std::min(RowsShown(), TRACK_ROWS - now.top);
    std::vector<GridCell> cells(size_t(1 + rows) * PATTERN_COLUMNS);
    auto at = [&](int line, int column) -> GridCell& {
        return cells[size_t(line * PATTERN_COLUMNS + column)];
    };

    at(0, PATTERN_ROW_COLUMN) = {"", kHeadingInk, kHeadingPaper};
    for (int c = 0; c < CHANNEL_COUNT; ++c) {
        const std::string name = "Ch " + std::to_string(c + 1);
        at(0, 1 + c) = {now.muted[c] ? name + " muted"
                                     : name + " \xC2\xB7 " + TrackNumber(now.tracks[c]),
                        now.muted[c] ? kMutedInk : kHeadingInk,
                        c == now.channel ? HIGHLIGHT_BACKGROUND : kHeadingPaper};
    }
    for (int line = 1; line <= rows; ++line) {
        const int r = now.top + line - 1;
        const bool cursor = r == now.row;
        const bool beat = now.beat > 0 && r % now.beat == 0;
        const Rgb band = now.playing ? kPlayBand : kCursorBand;
        at(line, PATTERN_ROW_COLUMN) = {std::to_string(r + 1), kRowNumberInk,
                                        cursor ? band
                                        : beat ? Darker(kRowNumberPaper, kBeatShade)
                                               : kRowNumberPaper};
        for (int c = 0; c < CHANNEL_COUNT; ++c) {
            const Cell cell = now.cells[c][r];
            Rgb paper = c == now.channel ? HIGHLIGHT_BACKGROUND : NORMAL_BACKGROUND;
            if (beat) paper = Darker(paper, kBeatShade);
            if (cursor) paper = c == now.channel ? (now.playing ? kPlayCell : kCursorCell) : band;
            const Rgb ink = now.muted[c]            ? kMutedInk
                            : cursor && now.playing ? kPlayInk
                            : cursor                ? CURSOR_TEXT
                                                    : BOX_TEXT;
            at(line, 1 + c) = {CellText(cell), ink, paper};
        }
    }
    desktop().PaintGrid(DIALOG_PATTERN, PATTERN_GRID, kColumns, PATTERN_COLUMNS, cells.data(),
                        1 + rows);
}
