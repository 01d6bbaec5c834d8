#include "platform/rtmidi/rtmidi_input.h"

#include "platform/jack_server.h"

#include <RtMidi.h>
#include <alsa/asoundlib.h>
#include <jack/jack.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr const char* kClientName = "Tavomix";
constexpr const char* kOwnPortName = "Tavomix input";
constexpr size_t kMaxQueued = 4096; // a flood while no pass runs is cut, not hoarded

void SilentAlsaError(const char*, int, const char*, int, const char*, ...) {}
void SilentRtMidiError(RtMidiError::Type, const std::string&, void*) {}
void SilentJack(const char*) {}

// RtMidi names an ALSA port "client name:port name client:port". Clients below 128 belong to
// the kernel: device drivers, and the through port.
bool AlsaKernelPort(const std::string& name) {
    const size_t space = name.rfind(' ');
    int client = -1, port = -1;
    if (space == std::string::npos ||
        std::sscanf(name.c_str() + space + 1, "%d:%d", &client, &port) != 2)
        return false;
    return client >= 0 && client < 128;
}

// An RtMidiIn that delivers short messages to `input`, or null when the system refuses.
std::unique_ptr<RtMidiIn> NewRtMidiIn(RtMidi::Api api, const std::string& client,
                                      RtMidiInput* input, RtMidiIn::RtMidiCallback callback) {
    try {
        auto midi = std::make_unique<RtMidiIn>(api, client);
        midi->setErrorCallback(SilentRtMidiError, nullptr);
        midi->ignoreTypes(true, true, true); // no system exclusive, timing or active sensing
        midi->setCallback(callback, input);
        return midi;
    } catch (const RtMidiError&) {
        return nullptr;
    }
}

void Close(std::unique_ptr<RtMidiIn>& midi) {
    if (!midi) return;
    try {
        midi->cancelCallback();
        midi->closePort();
    } catch (const RtMidiError&) {
    }
    midi.reset();
}

} // namespace

RtMidiInput::RtMidiInput(std::function<void()> wake) : wake_(std::move(wake)) {
    // Neither library prints its complaints (no server, no sequencer) on the terminal.
    snd_lib_error_set_handler(SilentAlsaError);
    jack_set_error_function(SilentJack);
    jack_set_info_function(SilentJack);
}

RtMidiInput::~RtMidiInput() {
    for (auto& [name, midi] : alsaSources_) Close(midi);
    Close(alsaOwn_);
    CloseJack();
}

void RtMidiInput::Received(double, std::vector<unsigned char>* message, void* self) {
    if (!message || message->empty() || message->size() > 3) return; // short messages only
    const uint8_t d1 = message->size() > 1 ? (*message)[1] : 0;
    const uint8_t d2 = message->size() > 2 ? (*message)[2] : 0;
    static_cast<RtMidiInput*>(self)->Inject((*message)[0], d1, d2);
}

void RtMidiInput::Inject(uint8_t status, uint8_t data1, uint8_t data2) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (queue_.size() < kMaxQueued) queue_.push_back({status, data1, data2});
    }
    if (wake_) wake_();
}

void RtMidiInput::TakeMessages(const std::function<void(uint8_t, uint8_t, uint8_t)>& take) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (queue_.empty()) return; // the usual case: nothing built, nothing freed
    std::deque<std::array<uint8_t, 3>> messages;
    messages.swap(queue_);
    lock.unlock();
    for (const auto& m : messages) take(m[0], m[1], m[2]);
}

// ---- ALSA

void RtMidiInput::OpenAlsa() {
    // Without the sequencer device RtMidi would only fail, and noisily.
    if (alsaOwn_ || access("/dev/snd/seq", R_OK | W_OK) != 0) return;
    auto midi = NewRtMidiIn(RtMidi::LINUX_ALSA, kClientName, this, &RtMidiInput::Received);
    if (!midi) return;
    try {
        midi->openVirtualPort(kOwnPortName);
    } catch (const RtMidiError&) {
        return;
    }
    alsaOwn_ = std::move(midi);
}

std::vector<MidiPort> RtMidiInput::AlsaPorts() {
    std::vector<MidiPort> ports;
    if (!alsaOwn_) return ports;
    try {
        const unsigned count = alsaOwn_->getPortCount();
        for (unsigned i = 0; i < count; ++i) {
            const std::string name = alsaOwn_->getPortName(i);
            if (!name.empty()) ports.push_back({name, AlsaKernelPort(name)});
        }
    } catch (const RtMidiError&) {
    }
    return ports;
}

// ---- JACK

void RtMidiInput::JackShutDown(void* self) {
    static_cast<RtMidiInput*>(self)->jackGone_.store(true);
}

void RtMidiInput::OpenJack() {
    // Trying to join a server that is not there costs about half a millisecond of CPU and
    // several of waiting, which the once-a-second look should not pay.
    if (jack_ || !JackServerMayRun()) return;
    // Never starts a server; finds the one JACK_DEFAULT_SERVER names, or the default one.
    jack_status_t status{};
    jack_client_t* client = jack_client_open(kClientName, JackNoStartServer, &status);
    if (!client) return;
    jackGone_.store(false);
    jack_on_shutdown(client, &RtMidiInput::JackShutDown, this);
    // RtMidi's client carries the own port; named after ours, which the server made unique.
    const std::string own = std::string(jack_get_client_name(client)) + " MIDI";
    auto midi = NewRtMidiIn(RtMidi::UNIX_JACK, own, this, &RtMidiInput::Received);
    try {
        if (midi) midi->openVirtualPort("input");
    } catch (const RtMidiError&) {
        midi.reset();
    }
    jack_ = client;
    if (!midi) return; // the list still works; the port is tried again at the next look
    jackOwn_ = std::move(midi);
    // The port's full name, as the server has it (RtMidi's client may have been renamed).
    const char** inputs = jack_get_ports(client, nullptr, JACK_DEFAULT_MIDI_TYPE, JackPortIsInput);
    for (size_t i = 0; inputs && inputs[i]; ++i) {
        const std::string name = inputs[i];
        if (name.rfind(own, 0) == 0 && name.ends_with(":input")) {
            jackInput_ = name;
            break;
        }
    }
    if (inputs) jack_free(inputs);
}

void RtMidiInput::CloseJack() {
    Close(jackOwn_);
    jackInput_.clear();
    jackConnected_.clear();
    if (jack_) jack_client_close(jack_);
    jack_ = nullptr;
}

std::vector<MidiPort> RtMidiInput::JackPorts() {
    std::vector<MidiPort> ports;
    // A server that ended takes our clients with it: start again with the next one. So does an
    // own port that could not be made last time.
    if (jack_ &&
        (jackGone_.load() || jackInput_.empty() || !jack_port_by_name(jack_, jackInput_.c_str())))
        CloseJack();
    OpenJack();
    if (!jack_) return ports;
    const char** names = jack_get_ports(jack_, nullptr, JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput);
    for (size_t i = 0; names && names[i]; ++i) {
        jack_port_t* port = jack_port_by_name(jack_, names[i]);
        const bool physical = port && (jack_port_flags(port) & JackPortIsPhysical) != 0;
        ports.push_back({names[i], physical});
    }
    if (names) jack_free(names);
    return ports;
}

// ---- the seam

std::vector<MidiPort> RtMidiInput::Ports() {
    OpenAlsa();
    std::vector<MidiPort> ports = AlsaPorts();
    systemOf_.clear();
    for (const MidiPort& p : ports) systemOf_[p.name] = System::Alsa;
    for (const MidiPort& p : JackPorts()) {
        if (systemOf_.count(p.name)) continue; // names are unique in the list
        systemOf_[p.name] = System::Jack;
        ports.push_back(p);
    }
    // Connections of ports that left are over.
    std::erase_if(jackConnected_, [this](const std::string& c) { return !systemOf_.count(c); });
    for (auto it = alsaSources_.begin(); it != alsaSources_.end();) {
        if (systemOf_.count(it->first)) {
            ++it;
        } else {
            Close(it->second);
            it = alsaSources_.erase(it);
        }
    }
    return ports;
}

bool RtMidiInput::Connect(const std::string& name) {
    const auto system = systemOf_.find(name);
    if (system == systemOf_.end()) return false;
    if (system->second == System::Jack) {
        if (!jack_ || jackInput_.empty()) return false;
        const int result = jack_connect(jack_, name.c_str(), jackInput_.c_str());
        if (result != 0 && result != EEXIST) return false;
        jackConnected_.insert(name);
        return true;
    }
    if (alsaSources_.count(name)) return true;
    // RtMidi opens ALSA ports by number: find this one's number now.
    auto midi = NewRtMidiIn(RtMidi::LINUX_ALSA, kClientName, this, &RtMidiInput::Received);
    if (!midi) return false;
    try {
        const unsigned count = midi->getPortCount();
        for (unsigned i = 0; i < count; ++i) {
            if (midi->getPortName(i) != name) continue;
            midi->openPort(i, kOwnPortName);
            if (!midi->isPortOpen()) return false;
            alsaSources_[name] = std::move(midi);
            return true;
        }
    } catch (const RtMidiError&) {
    }
    return false;
}

void RtMidiInput::Disconnect(const std::string& name) {
    if (jackConnected_.erase(name) && jack_ && !jackInput_.empty())
        jack_disconnect(jack_, name.c_str(), jackInput_.c_str());
    auto it = alsaSources_.find(name);
    if (it != alsaSources_.end()) {
        Close(it->second);
        alsaSources_.erase(it);
    }
}
