#include "platform/desktop_platform.h"

#include "platform/periodic_timer.h"

#include <cstdio>

DesktopPlatform::DesktopPlatform() = default;

DesktopPlatform::~DesktopPlatform() {
    std::map<int, std::unique_ptr<PeriodicTimer>> stopping;
    {
        std::lock_guard<std::mutex> lock(timerMutex_);
        stopping.swap(timers_);
    }
}

bool DesktopPlatform::MessageBox(const std::string& text, const std::string& caption, int) {
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
    return false;
}

int DesktopPlatform::StartPeriodicTimer(int periodMs, std::function<void()> tick) {
    std::lock_guard<std::mutex> lock(timerMutex_);
    const int id = nextTimerId_++;
    timers_[id] = std::make_unique<PeriodicTimer>(periodMs, std::move(tick));
    return id;
}

void DesktopPlatform::KillPeriodicTimer(int id) {
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
