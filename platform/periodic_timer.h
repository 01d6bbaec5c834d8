// A periodic timer on a thread of its own: calls its tick every period on absolute deadlines,
// so lateness never accumulates. The real backend uses it; tests may too.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

class PeriodicTimer {
  public:
    PeriodicTimer(int periodMs, std::function<void()> tick);
    // Stops the thread; a tick that is running finishes first.
    ~PeriodicTimer();
    PeriodicTimer(const PeriodicTimer&) = delete;
    PeriodicTimer& operator=(const PeriodicTimer&) = delete;

  private:
    void Run(std::chrono::milliseconds period);
    std::function<void()> tick_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};
