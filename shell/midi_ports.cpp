#include "shell/midi_ports.h"

#include "platform/desktop.h"
#include "resources/resource_ids.h"
#include "shell/settings_file.h"

#include <algorithm>
#include <cctype>
#include <set>

namespace {

struct MidiInputState {
    std::string choice = MIDI_AUTOMATIC;
    std::vector<MidiPort> ports;     // as last listed, the editor's own left out
    std::set<std::string> connected; // by name
    int64_t nextScanMs = 0;
};
MidiInputState state;

bool Contains(const std::vector<std::string>& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

bool IsOwnPort(const std::string& name) {
    return name.rfind("Tavomix", 0) == 0;
}

// The name without ALSA's " client:port" address at its end.
std::string WithoutAddress(const std::string& name) {
    const size_t space = name.rfind(' ');
    if (space == std::string::npos) return name;
    const std::string tail = name.substr(space + 1);
    const size_t colon = tail.find(':');
    const auto digits = [](const std::string& s) {
        return !s.empty() && std::all_of(s.begin(), s.end(),
                                         [](unsigned char c) { return std::isdigit(c) != 0; });
    };
    if (colon == std::string::npos || !digits(tail.substr(0, colon)) ||
        !digits(tail.substr(colon + 1)))
        return name;
    return name.substr(0, space);
}

std::string Joined(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
    return text;
}

// The menu: the ports listed in the slots, and a tick on the choice and on what is connected.
void ShowMenu() {
    Desktop& d = desktop();
    d.SetChecked(MAIN_WINDOW, CMD_MIDI_AUTOMATIC, state.choice == MIDI_AUTOMATIC);
    d.SetChecked(MAIN_WINDOW, CMD_MIDI_NONE, state.choice == MIDI_NONE);
    for (int i = 0; i < MIDI_PORT_SLOTS; ++i) {
        const bool listed = i < static_cast<int>(state.ports.size());
        const std::string name = listed ? state.ports[i].name : "";
        d.SetControlText(MAIN_WINDOW, CMD_MIDI_PORT_FIRST + i, name);
        d.SetChecked(MAIN_WINDOW, CMD_MIDI_PORT_FIRST + i,
                     listed && state.connected.count(name) != 0);
    }
}

// Looks at the ports, ends the connections of ports that left or are no longer chosen, makes
// the ones the choice wants, and tells what changed in the status line.
void Scan() {
    MidiInput& midi = midi_input();
    state.ports.clear();
    for (const MidiPort& port : midi.Ports())
        if (!IsOwnPort(port.name)) state.ports.push_back(port);
    const std::vector<std::string> wanted = PortsToConnect(state.choice, state.ports);
    std::vector<std::string> lost, added;
    for (auto it = state.connected.begin(); it != state.connected.end();) {
        const bool listed = std::any_of(state.ports.begin(), state.ports.end(),
                                        [&](const MidiPort& p) { return p.name == *it; });
        if (listed && Contains(wanted, *it)) {
            ++it;
            continue;
        }
        if (!listed) lost.push_back(*it);
        midi.Disconnect(*it);
        it = state.connected.erase(it);
    }
    // A port that refuses is tried again at the next look.
    for (const std::string& name : wanted)
        if (!state.connected.count(name) && midi.Connect(name)) {
            state.connected.insert(name);
            added.push_back(name);
        }
    if (!added.empty())
        desktop().SetControlText(MAIN_WINDOW, STATUS_LINE, "MIDI input: " + Joined(added));
    else if (!lost.empty())
        desktop().SetControlText(MAIN_WINDOW, STATUS_LINE, "MIDI input lost: " + Joined(lost));
    ShowMenu();
}

void Choose(const std::string& choice) {
    state.choice = choice;
    SetPreference(MIDI_PREFERENCE, choice);
    Scan();
}

} // namespace

bool IsKeyboardPort(const MidiPort& port) {
    std::string lower = port.name;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return port.hardware && lower.find("through") == std::string::npos && !IsOwnPort(port.name);
}

std::vector<std::string> PortsToConnect(const std::string& choice,
                                        const std::vector<MidiPort>& ports) {
    std::vector<std::string> names;
    if (choice == MIDI_NONE) return names;
    if (choice == MIDI_AUTOMATIC) {
        for (const MidiPort& port : ports)
            if (IsKeyboardPort(port)) names.push_back(port.name);
        return names;
    }
    for (const MidiPort& port : ports)
        if (port.name == choice) return {port.name};
    for (const MidiPort& port : ports)
        if (WithoutAddress(port.name) == WithoutAddress(choice)) return {port.name};
    return names;
}

void StartMidiInput(int64_t nowMs) {
    state = MidiInputState{};
    state.choice = Preference(MIDI_PREFERENCE, MIDI_AUTOMATIC);
    if (state.choice.empty()) state.choice = MIDI_AUTOMATIC;
    Scan();
    state.nextScanMs = nowMs + MIDI_RESCAN_MS;
}

void PollMidiInput(int64_t nowMs) {
    if (nowMs < state.nextScanMs) return;
    state.nextScanMs = nowMs + MIDI_RESCAN_MS;
    Scan();
}

bool MidiInputCommand(int id) {
    if (id == CMD_MIDI_AUTOMATIC) {
        Choose(MIDI_AUTOMATIC);
    } else if (id == CMD_MIDI_NONE) {
        Choose(MIDI_NONE);
    } else if (id >= CMD_MIDI_PORT_FIRST && id < CMD_MIDI_PORT_FIRST + MIDI_PORT_SLOTS) {
        const size_t slot = static_cast<size_t>(id - CMD_MIDI_PORT_FIRST);
        if (slot < state.ports.size()) Choose(state.ports[slot].name);
    } else {
        return false;
    }
    return true;
}

void StopMidiInput() {
    for (const std::string& name : state.connected) midi_input().Disconnect(name);
    state.connected.clear();
}

const std::string& MidiInputChoice() {
    return state.choice;
}
