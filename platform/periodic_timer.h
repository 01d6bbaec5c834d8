// A periodic timer on a thread of its own: calls its tick every period on absolute deadlines,
// so lateness never accumulates. The real backend uses it; tests may too.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
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
    std::mutex mutex_;             // guards stop_
    std::condition_variable wake_; // a kill wakes the sleeping thread at once
    bool stop_ = false;
    std::thread thread_;
};
