#include "platform/fake_platform.h"

#include "platform/periodic_timer.h"

#include <algorithm>

FakePlatform::FakePlatform() = default;
FakePlatform::~FakePlatform() = default;

// A modal window is open for the length of this call: the keyboard is its, and a test may type
// into it and run main-loop passes meanwhile.
void FakePlatform::DialogOpen() {
    if (!whileDialogOpen) return;
    dialogHasKeys = true;
    whileDialogOpen();
    dialogHasKeys = false;
}

bool FakePlatform::MessageBox(const std::string& text, const std::string& caption, int style) {
    std::lock_guard<std::recursive_mutex> lock(mutex);
    boxes.push_back({text, caption, style});
    DialogOpen();
    if (answers.empty()) return true;
    const bool answer = answers.front();
    answers.pop_front();
    return answer;
}

FakePlatform::Control& FakePlatform::control(int dialog, int id) {
    std::lock_guard<std::recursive_mutex> lock(mutex);
    return controls[{dialog, id}];
}

void FakePlatform::CreateDialog(int dialog, DialogEvents* events) {
    {
        std::lock_guard<std::recursive_mutex> lock(mutex);
        openDialogs[dialog] = events;
    }
    if (events) events->OnInit();
}

void FakePlatform::RunModalDialog(int dialog, DialogEvents* events) {
    {
        std::lock_guard<std::recursive_mutex> lock(mutex);
        modalRuns.push_back(dialog);
    }
    if (events) events->OnInit();
}

void FakePlatform::EndDialog(int dialog) {
    std::lock_guard<std::recursive_mutex> lock(mutex);
    openDialogs.erase(dialog);
}

void FakePlatform::SetDialogTitle(int dialog, const std::string& title) {
    std::lock_guard<std::recursive_mutex> lock(mutex);
    titles[dialog] = title;
}

void FakePlatform::StartWindowTimer(int dialog, int periodMs) {
    std::lock_guard<std::recursive_mutex> lock(mutex);
    windowTimers[dialog] = periodMs;
}

void FakePlatform::SetControlText(int dialog, int id, const std::string& text) {
    control(dialog, id).text = text;
}

std::string FakePlatform::GetControlText(int dialog, int id) {
    return control(dialog, id).text;
}

void FakePlatform::SetControlImage(int dialog, int id, int bitmap) {
    control(dialog, id).image = bitmap;
}

void FakePlatform::SetScrollRange(int dialog, int id, int minimum, int maximum) {
    Control& c = control(dialog, id);
    c.minimum = minimum;
    c.maximum = maximum;
}

void FakePlatform::SetScrollPosition(int dialog, int id, int position) {
    control(dialog, id).position = position;
}

void FakePlatform::ComboReset(int dialog, int id) {
    Control& c = control(dialog, id);
    c.entries.clear();
    c.selection = -1;
}

void FakePlatform::ComboAdd(int dialog, int id, const std::string& text) {
    control(dialog, id).entries.push_back(text);
}

void FakePlatform::ComboSelect(int dialog, int id, int index) {
    Control& c = control(dialog, id);
    c.selection = (index >= 0 && index < static_cast<int>(c.entries.size())) ? index : -1;
}

int FakePlatform::ComboSelection(int dialog, int id) {
    return control(dialog, id).selection;
}

void FakePlatform::EnableControl(int dialog, int id, bool enabled) {
    control(dialog, id).enabled = enabled;
}

void FakePlatform::SetChecked(int dialog, int id, bool checked) {
    control(dialog, id).checked = checked;
}

bool FakePlatform::IsChecked(int dialog, int id) {
    return control(dialog, id).checked;
}

void FakePlatform::SetFocus(int dialog, int id) {
    std::lock_guard<std::recursive_mutex> lock(mutex);
    focus = {dialog, id};
}

void FakePlatform::SetControlColors(int dialog, int id, Rgb text, Rgb background) {
    Control& c = control(dialog, id);
    c.textColor = text;
    c.background = background;
}

void FakePlatform::SetToolTip(int dialog, int id, const std::string& text) {
    control(dialog, id).toolTip = text;
}

void FakePlatform::PaintRows(int dialog, int id, const Rgb* rows, int count) {
    control(dialog, id).rows.assign(rows, rows + count);
}

void FakePlatform::PaintGrid(int dialog, int id, const GridColumn* columns, int columnCount,
                             const GridCell* cells, int lineCount) {
    Control& c = control(dialog, id);
    std::vector<GridColumn> nextColumns(columns, columns + columnCount);
    std::vector<GridCell> nextCells(cells, cells + size_t(columnCount) * size_t(lineCount));
    if (nextColumns == c.gridColumns && nextCells == c.gridCells && lineCount == c.gridLineCount)
        return;
    c.gridColumns = std::move(nextColumns);
    c.gridCells = std::move(nextCells);
    c.gridLineCount = lineCount;
    ++c.gridPaints;
}

int FakePlatform::GridLines(int dialog, int id) {
    return control(dialog, id).gridLines;
}

bool FakePlatform::GetWindowRect(int dialog, WindowRect& rect) {
    std::lock_guard<std::recursive_mutex> lock(mutex);
    auto it = windowRects.find(dialog);
    if (!openDialogs.count(dialog) || it == windowRects.end()) return false;
    rect = it->second;
    return true;
}

void FakePlatform::SetWindowRect(int dialog, const WindowRect& rect) {
    std::lock_guard<std::recursive_mutex> lock(mutex);
    windowRects[dialog] = rect;
}

WindowRect FakePlatform::ScreenArea(const WindowRect&) {
    return screenArea;
}

void FakePlatform::ControlPixelSize(int dialog, int id, int& width, int& height) {
    const Control& c = control(dialog, id);
    width = c.pixelWidth;
    height = c.pixelHeight;
}

void FakePlatform::PaintPixels(int dialog, int id, int width, int height, const Rgb* pixels) {
    Control& c = control(dialog, id);
    c.paintedWidth = width;
    c.paintedHeight = height;
    ++c.paints;
    const size_t count = width > 0 && height > 0 ? size_t(width) * size_t(height) : 0;
    c.pixels.assign(pixels, pixels + count);
}

bool FakePlatform::ShowProgress(const std::string& title, const std::string& text, int percent) {
    std::lock_guard<std::recursive_mutex> lock(mutex);
    progress.push_back(title + "|" + text + "|" + std::to_string(percent));
    DialogOpen();
    return progressCancelAfter < 0 || static_cast<int>(progress.size()) <= progressCancelAfter;
}

void FakePlatform::EndProgress() {
    std::lock_guard<std::recursive_mutex> lock(mutex);
    progress.push_back("end");
}

int FakePlatform::RunEventLoop(std::function<int()> pass) {
    for (int i = 0; i < loopPasses && quitCode < 0; ++i) pass();
    return quitCode < 0 ? 0 : quitCode;
}

void FakePlatform::WakeSoon() {
    std::lock_guard<std::recursive_mutex> lock(mutex);
    ++wakes;
}

void FakePlatform::Quit(int code) {
    std::lock_guard<std::recursive_mutex> lock(mutex);
    quitCode = code;
}

bool FakePlatform::IsKeyDown(int virtualKey) {
    std::lock_guard<std::recursive_mutex> lock(mutex);
    auto it = keysDown.find(virtualKey);
    return it != keysDown.end() && it->second;
}

void FakePlatform::DropKeyPresses() {
    std::lock_guard<std::recursive_mutex> lock(mutex);
    ++keyPressDrops;
}

bool FakePlatform::KeysBelongToDialog() {
    std::lock_guard<std::recursive_mutex> lock(mutex);
    return dialogHasKeys;
}

bool FakePlatform::HasFocus() {
    std::lock_guard<std::recursive_mutex> lock(mutex);
    return focused;
}

int64_t FakePlatform::SteadyMilliseconds() {
    std::lock_guard<std::recursive_mutex> lock(mutex);
    return clockMs;
}

static std::string NextPath(std::deque<std::string>& paths) {
    if (paths.empty()) return "";
    std::string path = paths.front();
    paths.pop_front();
    return path;
}

std::string FakePlatform::OpenFileDialog(const std::string& title, const std::string& description,
                                         const std::string& pattern, const std::string& folder) {
    std::lock_guard<std::recursive_mutex> lock(mutex);
    dialogs.push_back("open|" + title + "|" + description + "|" + pattern + "|" + folder);
    DialogOpen();
    return NextPath(dialogPaths);
}

std::string FakePlatform::SaveFileDialog(const std::string& title, const std::string& description,
                                         const std::string& pattern, const std::string& folder) {
    std::lock_guard<std::recursive_mutex> lock(mutex);
    dialogs.push_back("save|" + title + "|" + description + "|" + pattern + "|" + folder);
    DialogOpen();
    return NextPath(dialogPaths);
}

int FakePlatform::StartPeriodicTimer(int periodMs, std::function<void()> tick) {
    std::lock_guard<std::recursive_mutex> lock(mutex);
    ++timersStarted;
    timerPeriodMs = periodMs;
    liveTimerId = timersStarted;
    tick_ = tick;
    if (realTimer) thread_ = std::make_unique<PeriodicTimer>(periodMs, std::move(tick));
    return liveTimerId;
}

void FakePlatform::KillPeriodicTimer(int id) {
    std::unique_ptr<PeriodicTimer> stopping;
    {
        std::lock_guard<std::recursive_mutex> lock(mutex);
        ++timersKilled;
        if (id != liveTimerId) return;
        liveTimerId = 0;
        tick_ = nullptr;
        stopping = std::move(thread_);
    }
    stopping.reset(); // joins outside the lock: the tick may be using the fake
}

void FakePlatform::FireTimer(int times) {
    std::function<void()> tick;
    {
        std::lock_guard<std::recursive_mutex> lock(mutex);
        tick = tick_;
    }
    for (int i = 0; i < times && tick; ++i) tick();
}

void FakePlatform::Create(int voice, int bytes, int volumeHundredthsDb) {
    std::lock_guard<std::recursive_mutex> lock(mutex);
    if (voice < 0 || voice > 4 || bytes < 0) return;
    voices[voice] = Voice{};
    voices[voice].samples.assign(static_cast<size_t>(bytes), 128);
    voices[voice].volume = volumeHundredthsDb;
    audioLog.push_back("create " + std::to_string(voice) + " " + std::to_string(bytes) + " " +
                       std::to_string(volumeHundredthsDb));
}

void FakePlatform::Fill(int voice, const uint8_t* samples, int count) {
    std::lock_guard<std::recursive_mutex> lock(mutex);
    if (voice < 0 || voice > 4 || count < 0) return;
    std::vector<uint8_t>& buffer = voices[voice].samples;
    std::copy(samples, samples + std::min<size_t>(static_cast<size_t>(count), buffer.size()),
              buffer.begin());
    ++voices[voice].fills;
    audioLog.push_back("fill " + std::to_string(voice) + " " + std::to_string(count));
}

void FakePlatform::Play(int voice, bool looping) {
    std::lock_guard<std::recursive_mutex> lock(mutex);
    if (voice < 0 || voice > 4) return;
    voices[voice].playing = true;
    voices[voice].looping = looping;
    ++voices[voice].plays;
    audioLog.push_back("play " + std::to_string(voice) + (looping ? " loop" : " once"));
}

void FakePlatform::Stop(int voice) {
    std::lock_guard<std::recursive_mutex> lock(mutex);
    if (voice < 0 || voice > 4) return;
    voices[voice].playing = false;
    ++voices[voice].stops;
    audioLog.push_back("stop " + std::to_string(voice));
}

void FakePlatform::OpenOutput(int periods) {
    std::lock_guard<std::recursive_mutex> lock(mutex);
    outputPeriods = periods;
}

Voices::Output FakePlatform::KeepOutput(bool songPlaying) {
    std::lock_guard<std::recursive_mutex> lock(mutex);
    ++outputChecks;
    outputSongPlaying = songPlaying;
    return output;
}
