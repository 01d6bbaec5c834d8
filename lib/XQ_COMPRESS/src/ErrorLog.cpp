#include "ErrorLog.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace xq {
namespace {

const char DEFAULT_LOG_NAME[] = "ERROR.LOG";

char log_name[LOG_NAME_MAX + 1] = "ERROR.LOG";
std::FILE* log_stream = nullptr;
bool log_open = false;
int log_switch = 0;

char message_ring[LOG_RING_SIZE];
int ring_position = 0;

void WriteLine(const char* level, const char* text) {
    if (!log_open) OpenLog(nullptr);
    if (log_switch != 1 || !log_open) return;
    std::fprintf(log_stream, "%s : %s\n", level, text ? text : "");
    std::fflush(log_stream);
}

} // namespace

bool OpenLog(const char* name) {
    CloseLog();
    const char* chosen = name ? name : DEFAULT_LOG_NAME;
    std::strncpy(log_name, chosen, LOG_NAME_MAX);
    log_name[LOG_NAME_MAX] = '\0';
    log_stream = std::fopen(log_name, "w");
    log_open = log_stream != nullptr;
    return log_open;
}

void CloseLog() {
    if (log_stream) std::fclose(log_stream);
    log_stream = nullptr;
    log_open = false;
}

bool LogIsOpen() {
    return log_open;
}

void LogError(const char* text) {
    WriteLine("ERROR", text);
}

void LogException(const char* text) {
    WriteLine("EXCEPTION", text);
}

void SetLogSwitch(int value) {
    log_switch = value;
}

int LogSwitch() {
    return log_switch;
}

int LogRingPosition() {
    return ring_position;
}

const char* FormatLogMessage(const char* format, ...) {
    // Every message gets at least LOG_MESSAGE_ROOM bytes: start over at the ring's beginning
    // when less than that is left. The position may sit one past the end after a message that
    // filled the room exactly, hence the signed comparison.
    if (LOG_RING_SIZE - ring_position < LOG_MESSAGE_ROOM) ring_position = 0;
    if (!format) return "";

    char* text = message_ring + ring_position;
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(text, LOG_MESSAGE_ROOM, format, args);
    va_end(args);
    if (n < 0) {
        text[0] = '\0';
        return text;
    }
    // A longer message was cut to the room; what is stored is what counts.
    const int stored = n < LOG_MESSAGE_ROOM ? n : LOG_MESSAGE_ROOM - 1;
    ring_position += stored + 2;
    return text;
}

} // namespace xq
