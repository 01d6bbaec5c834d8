// MIDI keyboards as the user picks them in the Program menu's "MIDI Input": "Automatic" (every
// keyboard port; the default), "None", or one port by its name. The choice is kept by name in
// the preferences under "midi-input". Once a second the ports are looked at again: a keyboard
// plugged in is connected and named in the status line ("MIDI input: <port name>"); a
// connected port that leaves is told once, and is connected again when it comes back.
//
// Threads: UI thread.
#pragma once

#include "platform/midi_input.h"

#include <cstdint>
#include <string>
#include <vector>

constexpr const char* MIDI_PREFERENCE = "midi-input";
constexpr const char* MIDI_AUTOMATIC = "Automatic";
constexpr const char* MIDI_NONE = "None";
constexpr int MIDI_RESCAN_MS = 1000;

// A port Automatic connects: a device's port that is not a through port (ALSA's "Midi
// Through", which only echoes what programs send) nor one of the editor's own.
bool IsKeyboardPort(const MidiPort& port);
// The names of the ports a choice connects, from `ports`: every keyboard port for Automatic,
// none for None, else the port with that name; when none has it, the one whose name differs
// only in the ALSA address at its end ("... 20:0" plugged in again as "... 24:0").
std::vector<std::string> PortsToConnect(const std::string& choice,
                                        const std::vector<MidiPort>& ports);

// At start-up: the choice from the preferences, the first look at the ports, the menu.
void StartMidiInput(int64_t nowMs);
// From the main window's timer: looks at the ports again when MIDI_RESCAN_MS have passed.
void PollMidiInput(int64_t nowMs);
// A "MIDI Input" menu item chosen: keeps the choice and connects by it. False for other ids.
bool MidiInputCommand(int id);
// At the end: every connection made is ended.
void StopMidiInput();
// The choice in force: MIDI_AUTOMATIC, MIDI_NONE or a port's name.
const std::string& MidiInputChoice();
