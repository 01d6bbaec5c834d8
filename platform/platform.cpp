#include "platform/platform.h"

#include <atomic>
#include <chrono>
#include <cstdlib>

namespace {
std::atomic<Platform*> installed{nullptr};
} // namespace

Platform& platform() {
    Platform* p = installed.load(std::memory_order_acquire);
    if (!p) std::abort(); // a programming error: nothing was installed
    return *p;
}

void SetPlatform(Platform* p) {
    installed.store(p, std::memory_order_release);
}

Platform* InstalledPlatform() {
    return installed.load(std::memory_order_acquire);
}

int64_t Platform::SteadyMilliseconds() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}
