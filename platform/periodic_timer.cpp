#include "platform/periodic_timer.h"

#include <algorithm>

PeriodicTimer::PeriodicTimer(int periodMs, std::function<void()> tick)
    : tick_(std::move(tick)),
      thread_([this, periodMs] { Run(std::chrono::milliseconds(std::max(1, periodMs))); }) {}

PeriodicTimer::~PeriodicTimer() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void PeriodicTimer::Run(std::chrono::milliseconds period) {
    using Clock = std::chrono::steady_clock;
    auto deadline = Clock::now() + period;
    for (;;) {
        {
            // Asleep until the deadline, waking only for it or for a kill.
            std::unique_lock<std::mutex> lock(mutex_);
            if (wake_.wait_until(lock, deadline, [this] { return stop_; })) return;
        }
        tick_();
        deadline += period;
        // After a long stall (a suspended machine) start afresh instead of catching up.
        if (Clock::now() > deadline + 10 * period) deadline = Clock::now() + period;
    }
}
