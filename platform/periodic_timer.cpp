#include "platform/periodic_timer.h"

#include <algorithm>

PeriodicTimer::PeriodicTimer(int periodMs, std::function<void()> tick)
    : tick_(std::move(tick)),
      thread_([this, periodMs] { Run(std::chrono::milliseconds(std::max(1, periodMs))); }) {}

PeriodicTimer::~PeriodicTimer() {
    stop_.store(true);
    thread_.join();
}

void PeriodicTimer::Run(std::chrono::milliseconds period) {
    using Clock = std::chrono::steady_clock;
    auto deadline = Clock::now() + period;
    while (!stop_.load()) {
        // Sleep in short slices so that a kill never waits a whole long period.
        const auto slice = std::chrono::milliseconds(5);
        while (!stop_.load()) {
            const auto now = Clock::now();
            if (now >= deadline) break;
            std::this_thread::sleep_until(std::min(deadline, now + slice));
        }
        if (stop_.load()) break;
        tick_();
        deadline += period;
        // After a long stall (a suspended machine) start afresh instead of catching up.
        if (Clock::now() > deadline + 10 * period) deadline = Clock::now() + period;
    }
}
