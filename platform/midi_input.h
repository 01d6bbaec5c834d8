// The MIDI input seam: the MIDI ports a keyboard can play through, connecting them to the
// editor's own input port by name, and the short messages that arrive there. The real backend
// is RtMidi on the ALSA sequencer and on a JACK server (platform/rtmidi/); tests install the
// fake (platform/fake_midi_input.h). A port coming or going shows in the next Ports().
//
// Threads: every call is made on the UI thread.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// One port that sends MIDI: a keyboard's, another program's, a through port.
struct MidiPort {
    std::string name; // as the MIDI system names it; unique among the ports listed
    // The port belongs to a device driver (an ALSA kernel client, a physical JACK port), not to
    // a program.
    bool hardware = false;
    bool operator==(const MidiPort&) const = default;
};

class MidiInput {
  public:
    virtual ~MidiInput() = default;
    // The ports there are now, on every MIDI system that runs, each looked at afresh: cheap
    // enough for once a second. A system that has come up since gets the editor's own input
    // port, open for connections made by hand; one that went away loses it and every
    // connection made through it.
    virtual std::vector<MidiPort> Ports() = 0;
    // Connects the port named `name` (from the last Ports()) to the editor's input. True when
    // it is connected, also when it already was; false when there is no such port or it
    // refused.
    virtual bool Connect(const std::string& name) = 0;
    // Ends a connection made by Connect; nothing when there is none.
    virtual void Disconnect(const std::string& name) = 0;
    // Hands every message that arrived since the last call to `take`, oldest first: status,
    // first and second data byte (0 for a byte the message does not have).
    virtual void TakeMessages(const std::function<void(uint8_t, uint8_t, uint8_t)>& take) = 0;
};

// The MIDI input the logic uses: the program installs its backend at start-up, a test a fake.
// Without one, there are no ports and no messages. Reading it is safe from any thread.
MidiInput& midi_input();
void SetMidiInput(MidiInput* m);
