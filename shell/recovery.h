// Autosave and recovery: while the song has unsaved changes, a copy of it in the song file
// format is kept in the user's state folder ($XDG_STATE_HOME/tavomix/, by default
// ~/.local/state/tavomix/), with the song's name beside it. A crash, a power cut or a killed
// process then costs at most the last half minute of work: the next start offers the copy.
//
// Every running editor has copies of its own and holds a lock on them until it quits, so that
// two editors open at once never offer, move or remove each other's work; the kernel frees the
// lock of an editor that dies, and its copy is then offered by the next editor to start. The
// folder is used only when it is private to the user, and nothing in it is followed as a link.
//
// The copy is packed on the UI thread (well under a millisecond) and written by a thread of its
// own, through a temporary file and a rename, so the window and the sequencer never wait for
// the disk. A copy that cannot be written is told once in the status line.
//
// Threads: UI thread, except the writer's own.
#pragma once

#include <cstdint>
#include <string>

constexpr int64_t AUTOSAVE_PERIOD_MS = 30000;

// The folder of the recovery copy, without creating it.
std::string RecoveryFolder();
// At start: the 30 s count begins now, and nothing is copied yet in this run.
void StartAutosave(int64_t nowMs, bool hasFocus);
// Once per pass: writes a copy when the song has unsaved changes not yet copied and 30 s have
// passed since the last copy, or at once when the program has just lost the focus.
void AutosaveTick(int64_t nowMs, bool hasFocus);
// Milliseconds until AutosaveTick would write a copy (0 when it is due), or -1 when there is
// nothing to copy.
int64_t AutosaveDueIn(int64_t nowMs);
// A clean save, New Song or Load Song: this editor's copy is no longer needed.
void RemoveRecoveryCopy();
// At quit: removes this editor's copy and gives up its lock.
void EndRecovery();
// At start, once the window shows: offers, newest first, each copy left by an editor that is no
// longer running, one box each. OK loads it, marked modified and under the song's own name (the
// other copies wait for the next start); Cancel, or a copy the loader refuses, sets it aside
// under a dated name (never deleting it). Returns true when a copy was loaded.
bool OfferRecovery();
// Waits for the writer to finish what it was given. At exit, and in tests.
void FlushRecoveryWriter();
