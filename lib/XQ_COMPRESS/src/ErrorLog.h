// Error log of the compression library.
//
// The library never returns error codes and never shows messages; it formats one-line texts
// ("<source> AT LINE <n> : <message>") with FormatLogMessage and hands them to LogError or
// LogException. The log file is opened lazily by the first report; lines are written only while
// the log switch is 1 (it starts at 0, so by default the file is created but stays empty).
//
// Not thread-safe: the message ring and the stream are shared without locks. Call from one
// thread at a time.
#pragma once

namespace xq {

// Largest log name kept, terminator not included; longer names are cut.
inline constexpr int LOG_NAME_MAX = 511;
// Size of the message ring, and the room every message is guaranteed.
inline constexpr int LOG_RING_SIZE = 8192;
inline constexpr int LOG_MESSAGE_ROOM = 1024;

// Opens (truncating) the named log file, or "ERROR.LOG" when name is null, resolved against the
// current directory. A log that was already open is closed first. Returns whether it opened.
bool OpenLog(const char* name);

// Closes the log file if open. The next report opens "ERROR.LOG" again.
void CloseLog();

// Whether the last open succeeded.
bool LogIsOpen();

// Writes "ERROR : <text>\n" (LogError) or "EXCEPTION : <text>\n" (LogException) when the switch
// is 1, opening the default log first if none is open. A null text counts as empty. Each line is
// flushed at once so the log survives a crash.
void LogError(const char* text);
void LogException(const char* text);

// The log switch: lines are written only while it equals 1.
void SetLogSwitch(int value);
int LogSwitch();

// Formats a message (printf rules) into the message ring and returns it. The text stays valid
// until the ring wraps around over it. A null format gives an empty text. Messages longer than
// LOG_MESSAGE_ROOM - 1 bytes are cut to that length, so formatting never runs past the ring.
const char* FormatLogMessage(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Where the next message will be placed in the ring (for tests of the wrap rule).
int LogRingPosition();

} // namespace xq
