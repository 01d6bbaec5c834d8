// Runs the periodic timer for 1,000 ticks at 33 ms and reports how late the ticks came
// (median, 99th percentile, worst) and the drift of the last tick from its absolute deadline.
// Takes about 33 seconds. Usage: timer_accuracy [ticks] [period-ms]
#include "platform/periodic_timer.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <vector>

int main(int argc, char** argv) {
    const int ticks = argc > 1 ? std::atoi(argv[1]) : 1000;
    const int periodMs = argc > 2 ? std::atoi(argv[2]) : 33;
    using Clock = std::chrono::steady_clock;
    std::vector<Clock::time_point> at;
    at.reserve(static_cast<size_t>(ticks));
    std::mutex mutex;
    std::condition_variable done;
    const auto start = Clock::now();
    {
        PeriodicTimer timer(periodMs, [&] {
            std::lock_guard<std::mutex> lock(mutex);
            if (static_cast<int>(at.size()) < ticks) at.push_back(Clock::now());
            if (static_cast<int>(at.size()) == ticks) done.notify_one();
        });
        std::unique_lock<std::mutex> lock(mutex);
        done.wait(lock, [&] { return static_cast<int>(at.size()) == ticks; });
    }
    std::vector<double> lateMs;
    for (int i = 0; i < ticks; ++i) {
        const auto deadline = start + std::chrono::milliseconds(periodMs) * (i + 1);
        lateMs.push_back(std::chrono::duration<double, std::milli>(at[i] - deadline).count());
    }
    const double drift = lateMs.back();
    std::sort(lateMs.begin(), lateMs.end());
    std::printf("%d ticks at %d ms: lateness median %.3f ms, p99 %.3f ms, worst %.3f ms; "
                "last tick %.3f ms after its deadline\n",
                ticks, periodMs, lateMs[lateMs.size() / 2], lateMs[lateMs.size() * 99 / 100],
                lateMs.back(), drift);
    return 0;
}
