// MIDI input on RtMidi: the first input port opened for the main window, its short messages
// queued from RtMidi's thread (or injected by tests) and handed to the logic on the UI thread
// at the start of each pass. Without the ALSA sequencer or a port the input stays silent.

#include "platform/qt/keys.h"
#include "platform/qt/qt_desktop.h"

#include <RtMidi.h>
#include <alsa/asoundlib.h>
#include <unistd.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace {

void SilentAlsaError(const char*, int, const char*, int, const char*, ...) {}

void SilentMidiError(RtMidiError::Type, const std::string&, void*) {}

} // namespace

void QtDesktop::MidiCallback(double, std::vector<unsigned char>* message, void* self) {
    if (!message || message->empty() || message->size() > 3) return; // short messages only
    auto* platform = static_cast<QtDesktop*>(self);
    const uint8_t d1 = message->size() > 1 ? (*message)[1] : 0;
    const uint8_t d2 = message->size() > 2 ? (*message)[2] : 0;
    platform->InjectMidi((*message)[0], d1, d2);
}

void QtDesktop::InjectMidi(uint8_t status, uint8_t data1, uint8_t data2) {
    constexpr size_t kMaxQueued = 4096; // a flood while no pass runs is cut, not hoarded
    {
        std::lock_guard<std::mutex> lock(midiMutex_);
        if (midiQueue_.size() < kMaxQueued) midiQueue_.push_back({status, data1, data2});
    }
    // The main loop may be asleep: wake it on the UI thread. The key filter, which goes with
    // this desktop, is the context, so a wake that comes too late is dropped.
    QMetaObject::invokeMethod(
        keys_.get(), [this] { Wake(); }, Qt::QueuedConnection);
}

void QtDesktop::DrainMidi() {
    std::deque<MidiMessage> messages;
    {
        std::lock_guard<std::mutex> lock(midiMutex_);
        messages.swap(midiQueue_);
    }
    for (const MidiMessage& m : messages)
        if (midiTarget_) midiTarget_->OnMidi(m.status, m.data1, m.data2);
}

bool QtDesktop::OpenMidiInput(DialogEvents* events) {
    CloseMidiInput();
    // The target also receives injected messages when there is no port.
    midiTarget_ = events;
    // Without the sequencer device RtMidi would only fail noisily.
    if (access("/dev/snd/seq", R_OK | W_OK) != 0) return false;
    snd_lib_error_set_handler(SilentAlsaError);
    try {
        auto midi = std::make_unique<RtMidiIn>(RtMidi::UNSPECIFIED, "Tavomix");
        midi->setErrorCallback(SilentMidiError, nullptr);
        if (midi->getPortCount() == 0) return false;
        midi->ignoreTypes(true, true, true); // no system exclusive, timing or active sensing
        midi->setCallback(&QtDesktop::MidiCallback, this);
        midi->openPort(0, "Tavomix input");
        if (!midi->isPortOpen()) return false;
        midi_ = std::move(midi);
        return true;
    } catch (const RtMidiError&) {
        return false;
    }
}

void QtDesktop::CloseMidiInput() {
    if (midi_) {
        try {
            midi_->cancelCallback();
            midi_->closePort();
        } catch (const RtMidiError&) {
        }
        midi_.reset();
    }
    midiTarget_ = nullptr;
    std::lock_guard<std::mutex> lock(midiMutex_);
    midiQueue_.clear();
}
