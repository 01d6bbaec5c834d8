#include "platform/fake_midi_input.h"

#include <algorithm>

std::vector<MidiPort> FakeMidiInput::Ports() {
    ++scans;
    // A port that left takes its connection with it, as on a real system.
    std::erase_if(connected, [this](const std::string& name) {
        return std::none_of(ports.begin(), ports.end(),
                            [&](const MidiPort& p) { return p.name == name; });
    });
    return ports;
}

bool FakeMidiInput::Connect(const std::string& name) {
    const bool listed =
        std::any_of(ports.begin(), ports.end(), [&](const MidiPort& p) { return p.name == name; });
    if (!listed || refusing.count(name)) return false;
    connected.insert(name);
    return true;
}

void FakeMidiInput::Disconnect(const std::string& name) {
    connected.erase(name);
}

void FakeMidiInput::TakeMessages(const std::function<void(uint8_t, uint8_t, uint8_t)>& take) {
    std::deque<std::array<uint8_t, 3>> now;
    now.swap(messages);
    for (const auto& m : now) take(m[0], m[1], m[2]);
}
