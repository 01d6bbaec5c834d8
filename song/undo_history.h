// Undo and redo of every change to the song: its cells, positions, tempo, size and loop, and the
// instrument bank. The history keeps whole snapshots of that content (a few kilobytes each), at
// most UNDO_LIMIT steps, so it stays bounded whatever the song.
//
// A change is found by comparing the song with the last snapshot taken (ObserveChanges, called
// on every pass of the main loop and before every undo or redo), so no editing operation needs
// to announce itself. Changes made while the sound editor is open, or during a real-time
// recording take (playing with record mode on), are gathered into one step, taken once the
// editor closes or the take ends. Each step remembers the cursor (position, channel, row) and
// the current instrument as they were when the change was made; undo and redo put them back.
//
// The unsaved mark follows the history: the state last saved, loaded or started anew is clean,
// and undoing back to it clears the mark.
//
// Threads: UI thread. Restoring takes the engine lock for the bank; the tick sees restored cells
// as it sees any edit.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr int UNDO_LIMIT = 500;

// Empties the history and starts it from the song as it stands (start-up, Load Song); that state
// is the saved one unless the song is marked unsaved (a recovered song).
void ResetUndoHistory();
// Takes a step for whatever changed since the last look, unless `gathering` (the sound editor is
// open, or a recording take runs): then the changes wait for the first look without it. Notes
// the cursor for the next change, and takes a clean unsaved mark as the clean state. Asks the
// window to show whether undo and redo are possible when that changed.
void ObserveChanges(bool gathering);
// Puts back the state before the last step / after the last undone step, with the cursor and
// instrument where that change was made; refreshes every display. False when there is nothing
// to undo or redo.
bool Undo();
bool Redo();
bool CanUndo();
bool CanRedo();
// The bytes one step keeps.
size_t UndoStepBytes();
// Tells the states of the song apart: changes when a step is taken, undone or redone.
uint64_t UndoStateId();
