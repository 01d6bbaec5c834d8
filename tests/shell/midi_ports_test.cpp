#include "shell/midi_ports.h"

#include "platform/fake_midi_input.h"
#include "shell_fixture.h"

#include <set>

namespace {

const MidiPort kThrough{"Midi Through:Midi Through Port-0 14:0", true};
const MidiPort kKeyboard{"USB Keyboard:USB Keyboard MIDI 1 20:0", true};
const MidiPort kOwn{"Tavomix:Tavomix input 128:0", false};
const MidiPort kProgram{"Sequencer:out 130:0", false};
const MidiPort kJackKeyboard{"system:midi_capture_1", true};
const MidiPort kJackProgram{"SeqA:out", false};

class MidiPorts : public ShellFixture {
  protected:
    FakeMidiInput midi;
    void SetUp() override {
        ShellFixture::SetUp();
        ReadSettings(); // no preferences yet
        SetMidiInput(&midi);
        midi.ports = {kThrough, kKeyboard, kOwn, kProgram, kJackKeyboard, kJackProgram};
    }
    void TearDown() override {
        SetMidiInput(nullptr);
        ShellFixture::TearDown();
    }
    // A look one rescan period later.
    void Later() {
        fake.clockMs += MIDI_RESCAN_MS;
        PollMidiInput(fake.clockMs);
    }
    std::string Slot(int i) { return text(CMD_MIDI_PORT_FIRST + i); }
    bool Ticked(int id) { return control(id).checked; }
};

TEST_F(MidiPorts, AutomaticConnectsKeyboardsOnlyAndNamesThemOnce) {
    StartMidiInput(fake.clockMs);
    EXPECT_EQ(MidiInputChoice(), "Automatic");
    // Through ports, the editor's own and other programs' ports are never the answer.
    EXPECT_EQ(midi.connected, (std::set<std::string>{kKeyboard.name, kJackKeyboard.name}));
    EXPECT_EQ(text(STATUS_LINE), "MIDI input: " + kKeyboard.name + ", " + kJackKeyboard.name);
    // The menu lists every port but the editor's own, ticking Automatic and what it connected.
    EXPECT_TRUE(Ticked(CMD_MIDI_AUTOMATIC));
    EXPECT_FALSE(Ticked(CMD_MIDI_NONE));
    const std::vector<std::string> listed = {Slot(0), Slot(1), Slot(2), Slot(3), Slot(4)};
    EXPECT_EQ(listed, (std::vector<std::string>{kThrough.name, kKeyboard.name, kProgram.name,
                                                kJackKeyboard.name, kJackProgram.name}));
    EXPECT_EQ(Slot(5), "") << "unused slots are hidden";
    EXPECT_FALSE(Ticked(CMD_MIDI_PORT_FIRST + 0));
    EXPECT_TRUE(Ticked(CMD_MIDI_PORT_FIRST + 1));

    // Told once: later looks with nothing new leave the status line alone, and look no more
    // than once a second.
    desktop().SetControlText(MAIN_WINDOW, STATUS_LINE, "cell");
    const int scans = midi.scans;
    PollMidiInput(fake.clockMs + MIDI_RESCAN_MS - 1);
    EXPECT_EQ(midi.scans, scans);
    Later();
    EXPECT_EQ(midi.scans, scans + 1);
    EXPECT_EQ(text(STATUS_LINE), "cell");
}

TEST_F(MidiPorts, AChoiceIsKeptByNameAndRestored) {
    StartMidiInput(fake.clockMs);
    Click(CMD_MIDI_PORT_FIRST + 4); // SeqA:out, a program's port, chosen by hand
    EXPECT_EQ(midi.connected, (std::set<std::string>{kJackProgram.name}));
    EXPECT_EQ(text(STATUS_LINE), "MIDI input: SeqA:out");
    EXPECT_EQ(Preference(MIDI_PREFERENCE), "SeqA:out");
    EXPECT_TRUE(Ticked(CMD_MIDI_PORT_FIRST + 4));
    EXPECT_FALSE(Ticked(CMD_MIDI_AUTOMATIC));

    // The next start finds it by name, wherever the list puts it now.
    StopMidiInput();
    EXPECT_TRUE(midi.connected.empty());
    midi.ports = {kJackProgram, kKeyboard};
    StartMidiInput(fake.clockMs);
    EXPECT_EQ(midi.connected, (std::set<std::string>{kJackProgram.name}));

    // A keyboard plugged in again gets another ALSA client number: still the one chosen.
    SetPreference(MIDI_PREFERENCE, kKeyboard.name);
    midi.ports = {{"USB Keyboard:USB Keyboard MIDI 1 24:0", true}, kProgram};
    StartMidiInput(fake.clockMs);
    EXPECT_EQ(midi.connected, (std::set<std::string>{"USB Keyboard:USB Keyboard MIDI 1 24:0"}));
    EXPECT_EQ(PortsToConnect("Other:Port 20:0", midi.ports), std::vector<std::string>{});

    Click(CMD_MIDI_NONE);
    EXPECT_TRUE(midi.connected.empty());
    EXPECT_EQ(Preference(MIDI_PREFERENCE), "None");
    EXPECT_TRUE(Ticked(CMD_MIDI_NONE));
    Click(CMD_MIDI_AUTOMATIC);
    EXPECT_EQ(midi.connected, (std::set<std::string>{"USB Keyboard:USB Keyboard MIDI 1 24:0"}));
}

TEST_F(MidiPorts, APortThatLeavesIsToldOnceAndComesBack) {
    StartMidiInput(fake.clockMs);
    midi.ports = {kThrough, kJackKeyboard}; // the USB keyboard is unplugged
    Later();
    EXPECT_EQ(text(STATUS_LINE), "MIDI input lost: " + kKeyboard.name);
    EXPECT_EQ(midi.connected, (std::set<std::string>{kJackKeyboard.name}));
    EXPECT_EQ(Slot(2), "") << "the menu no longer lists it";
    desktop().SetControlText(MAIN_WINDOW, STATUS_LINE, "cell");
    Later();
    EXPECT_EQ(text(STATUS_LINE), "cell") << "the loss is told once";

    // Plugged in again: connected at the next look, and named.
    midi.ports.push_back(kKeyboard);
    midi.refusing.insert(kKeyboard.name); // still settling: the first try fails, quietly
    Later();
    EXPECT_EQ(text(STATUS_LINE), "cell");
    midi.refusing.clear();
    Later();
    EXPECT_EQ(text(STATUS_LINE), "MIDI input: " + kKeyboard.name);
    EXPECT_TRUE(midi.connected.count(kKeyboard.name));

    // A port chosen by name behaves the same.
    Click(CMD_MIDI_PORT_FIRST + 2);
    ASSERT_EQ(MidiInputChoice(), kKeyboard.name);
    midi.ports = {kThrough};
    Later();
    EXPECT_EQ(text(STATUS_LINE), "MIDI input lost: " + kKeyboard.name);
    midi.ports = {kThrough, kJackKeyboard, kKeyboard};
    Later();
    EXPECT_EQ(midi.connected, (std::set<std::string>{kKeyboard.name}));
}

} // namespace
