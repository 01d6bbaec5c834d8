// A word that the UI thread and the sequencer tick share: an atomic whose loads and stores are
// relaxed unless asked otherwise, since no code relies on two shared words changing together.
// Unlike std::atomic it copies value by value, so a whole state struct can be saved, restored
// or reset in one assignment while the other thread is stopped.
#pragma once

#include <atomic>

template <typename T> class SharedWord {
  public:
    static constexpr std::memory_order kRelaxed = std::memory_order_relaxed;

    constexpr SharedWord(T value = T{}) noexcept : word_(value) {}
    SharedWord(const SharedWord& other) noexcept : word_(other.load()) {}
    SharedWord& operator=(const SharedWord& other) noexcept {
        store(other.load());
        return *this;
    }
    SharedWord& operator=(T value) noexcept {
        store(value);
        return *this;
    }
    operator T() const noexcept { return load(); }

    T load(std::memory_order order = kRelaxed) const noexcept { return word_.load(order); }
    void store(T value, std::memory_order order = kRelaxed) noexcept { word_.store(value, order); }
    T exchange(T value, std::memory_order order = kRelaxed) noexcept {
        return word_.exchange(value, order);
    }
    T fetch_add(T value, std::memory_order order = kRelaxed) noexcept {
        return word_.fetch_add(value, order);
    }

  private:
    std::atomic<T> word_;
};
