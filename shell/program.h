// The program's run: start-up, the main loop and shutdown. The platform (real or fake) must be
// installed before it is called.
//
// Threads: UI thread.
#pragma once

#include <string>

// Sets the start values, reads the settings file, resets the song and the instrument bank,
// creates the main window, loads the song named by `commandLine` (taken whole, quotes and all,
// when not empty), starts the window and tick timers, audio, the metronome click and MIDI
// input, then runs the main loop until Quit. At the end it stops audio, the tick timer and
// MIDI input and writes the settings file. Returns the exit code of the event loop.
int RunProgram(const std::string& commandLine);

// One pass of the main loop: hands the MIDI messages that came to the main window, keeps
// `current_channel` in 0..3, applies what the tick asked of the window, after the warm-up polls
// and handles the keyboard, takes any change as an undo step and autosaves when due. Returns how soon it needs to run again (see
// Desktop::RunEventLoop): 1 while busy, milliseconds to the autosave's deadline, or -1.
int MainLoopPass();
