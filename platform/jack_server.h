// Whether a JACK server may be running for this user, from its socket alone: the MIDI input
// and the audio output ask before any JACK client tries to join one (which costs time, and
// pages in the JACK library's metadata database, even when no server answers).
#pragma once

// True when a JACK server's socket is there (JACK 2 keeps it in /dev/shm, JACK 1 a folder) for
// the server JACK_DEFAULT_SERVER names (or "default"), or PipeWire's, whose JACK library may
// answer. Takes a few microseconds.
bool JackServerMayRun();
