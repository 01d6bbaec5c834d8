// The MIDI input on RtMidi, on the ALSA sequencer and on a JACK server, each when it runs. On
// each system the editor keeps one input port of its own ("Tavomix input"), open for
// connections made by hand; Connect joins a port to it (on ALSA through a port RtMidi opens
// for that source). Messages from RtMidi's (or JACK's) thread wait in a locked queue until the
// UI's pass takes them, and a wake tells the UI's loop that they are there.
//
// Threads: UI thread, except Inject (any thread).
#pragma once

#include "platform/midi_input.h"

#include <array>
#include <atomic>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

class RtMidiIn;
struct _jack_client;

class RtMidiInput : public MidiInput {
  public:
    // `wake` runs on the thread that received a message, right after it was queued.
    explicit RtMidiInput(std::function<void()> wake = {});
    ~RtMidiInput() override;
    RtMidiInput(const RtMidiInput&) = delete;
    RtMidiInput& operator=(const RtMidiInput&) = delete;

    std::vector<MidiPort> Ports() override;
    bool Connect(const std::string& name) override;
    void Disconnect(const std::string& name) override;
    void TakeMessages(const std::function<void(uint8_t, uint8_t, uint8_t)>& take) override;

    // Queues one short message as a port would, and wakes. Any thread.
    void Inject(uint8_t status, uint8_t data1, uint8_t data2);
    // The editor's own input port on the JACK server, as "client:port"; "" while there is none.
    std::string JackInputName() const { return jackInput_; }

  private:
    enum class System { Alsa, Jack };
    void OpenAlsa();
    void OpenJack();
    void CloseJack();
    std::vector<MidiPort> AlsaPorts();
    std::vector<MidiPort> JackPorts();
    static void Received(double stamp, std::vector<unsigned char>* message, void* self);
    static void JackShutDown(void* self);

    std::function<void()> wake_;
    std::unique_ptr<RtMidiIn> alsaOwn_; // the own port on ALSA; also lists ALSA's ports
    // A JACK client of our own that lists the server's ports with their flags and makes the
    // connections; it processes nothing, so it costs nothing per JACK cycle.
    _jack_client* jack_ = nullptr;
    std::atomic<bool> jackGone_{false}; // set on JACK's thread when the server shut down
    std::unique_ptr<RtMidiIn> jackOwn_; // the own port on JACK
    std::string jackInput_;
    std::map<std::string, System> systemOf_; // the last listed ports' systems, by name
    std::map<std::string, std::unique_ptr<RtMidiIn>> alsaSources_; // connected ALSA ports
    std::set<std::string> jackConnected_;                          // connected JACK ports

    std::mutex mutex_; // guards queue_ (the receiving threads and the UI)
    std::deque<std::array<uint8_t, 3>> queue_;
};
