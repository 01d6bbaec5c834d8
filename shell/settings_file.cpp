#include "shell/settings_file.h"

#include "files/file_io.h"
#include "song/song_model.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kFieldCount = SETTINGS_FILE_SIZE / 4;

int32_t Decode(const unsigned char* b) {
    return static_cast<int32_t>(static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 |
                                static_cast<uint32_t>(b[2]) << 16 |
                                static_cast<uint32_t>(b[3]) << 24);
}

void Encode(int32_t value, unsigned char* b) {
    const auto v = static_cast<uint32_t>(value);
    for (int i = 0; i < 4; ++i) b[i] = static_cast<unsigned char>(v >> (8 * i));
}

} // namespace

bool ReadSettings() {
    // Read only from a regular file: a pipe planted under the name would block start-up.
    std::vector<uint8_t> bytes;
    if (!ReadFilePrefix(SETTINGS_FILE_NAME, SETTINGS_FILE_SIZE, bytes)) return false;
    const size_t got = bytes.size();
    int32_t values[kFieldCount] = {settings.keyboard_layout, settings.record_enabled,
                                   settings.octave_shift,    settings.cursor_step,
                                   settings.countdown_start, settings.metronome_step.load()};
    // Only whole integers count: a trailing fragment leaves its value at the default.
    for (int i = 0; i < kFieldCount && static_cast<size_t>(4 * i + 4) <= got; ++i)
        values[i] = Decode(bytes.data() + 4 * i);
    // The file is outside input: each value is brought to the nearest one its control allows,
    // so that no later arithmetic on it can overflow. The layout keeps its meaning (0 or not).
    settings.keyboard_layout = values[0] != 0 ? 1 : 0;
    settings.record_enabled = std::clamp(values[1], 0, 1);
    settings.octave_shift = std::clamp(values[2], 0, 1);
    settings.cursor_step = std::clamp(values[3], 0, 16);
    settings.countdown_start = std::clamp(values[4], 1, 6);
    settings.metronome_step = std::clamp(values[5], 2, 16);
    return true;
}

int32_t NoteLayoutFor(const std::string& desktopLayout) {
    // The A-key layout is the one of the keyboards that have A where others have Q.
    const std::string country = desktopLayout.substr(0, desktopLayout.find_first_of("(,:+"));
    return country == "fr" || country == "be" ? 0 : 1;
}

void WriteSettings() {
    const int32_t values[kFieldCount] = {settings.keyboard_layout, settings.record_enabled,
                                         settings.octave_shift,    settings.cursor_step,
                                         settings.countdown_start, settings.metronome_step.load()};
    unsigned char bytes[SETTINGS_FILE_SIZE];
    for (int i = 0; i < kFieldCount; ++i) Encode(values[i], bytes + 4 * i);
    std::FILE* f = std::fopen(SETTINGS_FILE_NAME, "wb");
    if (!f) return;
    std::fwrite(bytes, 1, sizeof bytes, f);
    std::fclose(f);
}
