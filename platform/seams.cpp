#include "platform/desktop.h"
#include "platform/midi_input.h"
#include "platform/voices.h"

#include <atomic>
#include <chrono>
#include <cstdlib>

namespace {
std::atomic<Desktop*> installed_desktop{nullptr};
std::atomic<Voices*> installed_voices{nullptr};
std::atomic<MixingVoices*> installed_mixer{nullptr};
std::atomic<MidiInput*> installed_midi{nullptr};

// The voices of a program without any: every call does nothing.
class NoVoices : public Voices {
  public:
    void Create(int, int, int) override {}
    void Fill(int, const uint8_t*, int) override {}
    void Play(int, bool) override {}
    void Stop(int) override {}
};
NoVoices no_voices;

// The MIDI input of a program without any: no ports, no messages.
class NoMidiInput : public MidiInput {
  public:
    std::vector<MidiPort> Ports() override { return {}; }
    bool Connect(const std::string&) override { return false; }
    void Disconnect(const std::string&) override {}
    void TakeMessages(const std::function<void(uint8_t, uint8_t, uint8_t)>&) override {}
};
NoMidiInput no_midi;
} // namespace

Desktop& desktop() {
    Desktop* d = installed_desktop.load(std::memory_order_acquire);
    if (!d) std::abort(); // a programming error: nothing was installed
    return *d;
}

void SetDesktop(Desktop* d) {
    installed_desktop.store(d, std::memory_order_release);
}

Desktop* InstalledDesktop() {
    return installed_desktop.load(std::memory_order_acquire);
}

int64_t Desktop::SteadyMilliseconds() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

Voices& voices() {
    Voices* v = installed_voices.load(std::memory_order_acquire);
    return v ? *v : no_voices;
}

void SetVoices(Voices* v) {
    installed_voices.store(v, std::memory_order_release);
}

Voices* InstalledVoices() {
    return installed_voices.load(std::memory_order_acquire);
}

MixingVoices* mixing_voices() {
    return installed_mixer.load(std::memory_order_acquire);
}

void SetMixingVoices(MixingVoices* m) {
    installed_mixer.store(m, std::memory_order_release);
}

MidiInput& midi_input() {
    MidiInput* m = installed_midi.load(std::memory_order_acquire);
    return m ? *m : no_midi;
}

void SetMidiInput(MidiInput* m) {
    installed_midi.store(m, std::memory_order_release);
}
