// A MIDI input for tests: its ports are a list the test edits (a keyboard plugged in, unplugged),
// connections are recorded, and messages are the ones the test queues.
//
// Threads: UI thread, like the seam.
#pragma once

#include "platform/midi_input.h"

#include <array>
#include <deque>
#include <set>
#include <string>
#include <vector>

class FakeMidiInput : public MidiInput {
  public:
    std::vector<MidiPort> Ports() override;
    bool Connect(const std::string& name) override;
    void Disconnect(const std::string& name) override;
    void TakeMessages(const std::function<void(uint8_t, uint8_t, uint8_t)>& take) override;

    std::vector<MidiPort> ports;                 // what Ports() lists
    std::set<std::string> connected;             // connected now, by name
    std::set<std::string> refusing;              // ports whose Connect fails
    std::deque<std::array<uint8_t, 3>> messages; // handed out by the next TakeMessages
    int scans = 0;                               // Ports() calls
};
