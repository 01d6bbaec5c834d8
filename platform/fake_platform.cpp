#include "platform/fake_platform.h"

#include "platform/periodic_timer.h"

#include <algorithm>

FakePlatform::FakePlatform() = default;
FakePlatform::~FakePlatform() = default;

bool FakePlatform::MessageBox(const std::string& text, const std::string& caption, int style) {
    std::lock_guard<std::mutex> lock(mutex);
    boxes.push_back({text, caption, style});
    if (answers.empty()) return true;
    const bool answer = answers.front();
    answers.pop_front();
    return answer;
}

void FakePlatform::SetControlText(int id, const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex);
    texts[id] = text;
}

void FakePlatform::SetControlImage(int id, int bitmap) {
    std::lock_guard<std::mutex> lock(mutex);
    images[id] = bitmap;
}

static std::string NextPath(std::deque<std::string>& paths) {
    if (paths.empty()) return "";
    std::string path = paths.front();
    paths.pop_front();
    return path;
}

std::string FakePlatform::OpenFileDialog(const std::string& title, const std::string& description,
                                         const std::string& pattern) {
    std::lock_guard<std::mutex> lock(mutex);
    dialogs.push_back("open|" + title + "|" + description + "|" + pattern);
    return NextPath(dialogPaths);
}

std::string FakePlatform::SaveFileDialog(const std::string& title, const std::string& description,
                                         const std::string& pattern) {
    std::lock_guard<std::mutex> lock(mutex);
    dialogs.push_back("save|" + title + "|" + description + "|" + pattern);
    return NextPath(dialogPaths);
}

int FakePlatform::StartPeriodicTimer(int periodMs, std::function<void()> tick) {
    std::lock_guard<std::mutex> lock(mutex);
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
        std::lock_guard<std::mutex> lock(mutex);
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
        std::lock_guard<std::mutex> lock(mutex);
        tick = tick_;
    }
    for (int i = 0; i < times && tick; ++i) tick();
}

void FakePlatform::VoiceCreate(int voice, int bytes, int volumeHundredthsDb) {
    std::lock_guard<std::mutex> lock(mutex);
    if (voice < 0 || voice > 4 || bytes < 0) return;
    voices[voice] = Voice{};
    voices[voice].samples.assign(static_cast<size_t>(bytes), 128);
    voices[voice].volume = volumeHundredthsDb;
    audioLog.push_back("create " + std::to_string(voice) + " " + std::to_string(bytes) + " " +
                       std::to_string(volumeHundredthsDb));
}

void FakePlatform::VoiceFill(int voice, const uint8_t* samples, int count) {
    std::lock_guard<std::mutex> lock(mutex);
    if (voice < 0 || voice > 4 || count < 0) return;
    std::vector<uint8_t>& buffer = voices[voice].samples;
    std::copy(samples, samples + std::min<size_t>(static_cast<size_t>(count), buffer.size()),
              buffer.begin());
    ++voices[voice].fills;
    audioLog.push_back("fill " + std::to_string(voice) + " " + std::to_string(count));
}

void FakePlatform::VoicePlay(int voice, bool looping) {
    std::lock_guard<std::mutex> lock(mutex);
    if (voice < 0 || voice > 4) return;
    voices[voice].playing = true;
    voices[voice].looping = looping;
    ++voices[voice].plays;
    audioLog.push_back("play " + std::to_string(voice) + (looping ? " loop" : " once"));
}

void FakePlatform::VoiceStop(int voice) {
    std::lock_guard<std::mutex> lock(mutex);
    if (voice < 0 || voice > 4) return;
    voices[voice].playing = false;
    ++voices[voice].stops;
    audioLog.push_back("stop " + std::to_string(voice));
}
