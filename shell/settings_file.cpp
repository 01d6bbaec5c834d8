#include "shell/settings_file.h"

#include "files/dialog_folders.h"
#include "files/file_io.h"
#include "files/preference_file.h"
#include "files/private_folder.h"
#include "song/song_model.h"

#include <algorithm>
#include <array>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kFieldCount = SETTINGS_FILE_SIZE / 4;
constexpr char kFolderKey[] = "file-dialog-folder";
constexpr size_t kPreferencesLimit = 64 * 1024; // more is not a preferences file

using Fields = std::array<int32_t, kFieldCount>;

// What each file held when it was last read or written (or tried); a file is written when its
// values differ.
struct Stored {
    bool iniKnown = false;
    Fields ini{};
    bool confKnown = false;
    bool confDamaged = false; // left as it is for the user to mend
    std::string folder;       // `last_file_folder` as the preferences hold it
    bool confChanged = false; // a preference was set since the last write
    PreferenceFile preferences;
    std::string message;      // for the status line, taken once
    std::string shownFailure; // the last write failure told
} stored;

int32_t Decode(const unsigned char* b) {
    return static_cast<int32_t>(static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 |
                                static_cast<uint32_t>(b[2]) << 16 |
                                static_cast<uint32_t>(b[3]) << 24);
}

void Encode(int32_t value, unsigned char* b) {
    const auto v = static_cast<uint32_t>(value);
    for (int i = 0; i < 4; ++i) b[i] = static_cast<unsigned char>(v >> (8 * i));
}

Fields CurrentFields() {
    return {settings.keyboard_layout, settings.record_enabled,  settings.octave_shift,
            settings.cursor_step,     settings.countdown_start, settings.metronome_step.load()};
}

// The six values from the bytes of a Tavomix.ini.
void ApplyIni(const std::vector<uint8_t>& bytes) {
    Fields values = CurrentFields();
    // Only whole integers count: a trailing fragment leaves its value at the default.
    for (size_t i = 0; i < values.size() && 4 * i + 4 <= bytes.size(); ++i)
        values[i] = Decode(bytes.data() + 4 * i);
    // The file is outside input: each value is brought to the nearest one its control allows,
    // so that no later arithmetic on it can overflow. The layout keeps its meaning (0 or not).
    settings.keyboard_layout = values[0] != 0 ? 1 : 0;
    settings.record_enabled = std::clamp(values[1], 0, 1);
    settings.octave_shift = std::clamp(values[2], 0, 1);
    settings.cursor_step = std::clamp(values[3], 0, 16);
    settings.countdown_start = std::clamp(values[4], 1, 6);
    settings.metronome_step = std::clamp(values[5], 2, 16);
}

} // namespace

std::string SettingsFolder() {
    return UserFolder("XDG_CONFIG_HOME", ".config");
}

bool ReadSettings() {
    stored = Stored{};
    std::string why;
    const int dir = OpenPrivateFolder(SettingsFolder(), false, why);
    if (!why.empty()) stored.message = "The settings folder cannot be used: " + why;
    std::vector<uint8_t> bytes;
    bool read = false;
    if (dir >= 0) {
        read = ReadFileIn(dir, SETTINGS_FILE_NAME, SETTINGS_FILE_SIZE, bytes);
        std::vector<uint8_t> text;
        if (ReadFileIn(dir, PREFERENCES_FILE_NAME, kPreferencesLimit + 1, text)) {
            int badLine = 0;
            if (text.size() > kPreferencesLimit ||
                !stored.preferences.Parse(std::string(text.begin(), text.end()), badLine))
                stored.message = SettingsFolder() + "/" + PREFERENCES_FILE_NAME + " is damaged" +
                                 (badLine ? " at line " + std::to_string(badLine) : "") +
                                 "; the defaults are used and the file is left as it is.",
                stored.confDamaged = true;
            else
                stored.confKnown = true;
        } else if (struct stat st;
                   fstatat(dir, PREFERENCES_FILE_NAME, &st, AT_SYMLINK_NOFOLLOW) == 0) {
            // There, but a link, not a file, or not readable: left as it is, like a damaged one.
            stored.message =
                SettingsFolder() + "/" + PREFERENCES_FILE_NAME +
                " cannot be read; the defaults are used and the file is left as it is.";
            stored.confDamaged = true;
        }
        close(dir);
    }
    // Older versions kept the file in the working folder. Read only from a regular file: a
    // pipe planted under the name would block start-up.
    if (!read) read = ReadFilePrefix(SETTINGS_FILE_NAME, SETTINGS_FILE_SIZE, bytes);
    if (read) ApplyIni(bytes);
    if (!stored.confKnown) {
        int none = 0;
        stored.preferences.Parse("# Tavomix preferences: one \"key = value\" a line.\n", none);
    }
    last_file_folder = stored.folder = stored.preferences.Get(kFolderKey);
    return read;
}

int32_t NoteLayoutFor(const std::string& desktopLayout) {
    // The A-key layout is the one of the keyboards that have A where others have Q.
    const std::string country = desktopLayout.substr(0, desktopLayout.find_first_of("(,:+"));
    return country == "fr" || country == "be" ? 0 : 1;
}

void WriteSettings() {
    const Fields fields = CurrentFields();
    const bool iniChanged = !stored.iniKnown || fields != stored.ini;
    const bool confChanged = !stored.confDamaged && (!stored.confKnown || stored.confChanged ||
                                                     last_file_folder != stored.folder);
    if (!iniChanged && !confChanged) return;
    // Tried once per change: a folder that cannot be written costs nothing until the next one.
    stored.ini = fields, stored.iniKnown = true;
    stored.confKnown = true;
    stored.confChanged = false;
    stored.folder = last_file_folder;
    if (!last_file_folder.empty()) stored.preferences.Set(kFolderKey, last_file_folder);
    const std::string conf = stored.preferences.Text();
    std::string why;
    const int dir = OpenPrivateFolder(SettingsFolder(), true, why);
    bool ok = dir >= 0;
    if (ok && iniChanged) {
        unsigned char bytes[SETTINGS_FILE_SIZE];
        for (size_t i = 0; i < fields.size(); ++i) Encode(fields[i], bytes + 4 * i);
        ok = WriteFileIn(dir, SETTINGS_FILE_NAME, bytes, sizeof bytes, why);
    }
    if (ok && confChanged)
        ok = WriteFileIn(dir, PREFERENCES_FILE_NAME, conf.data(), conf.size(), why);
    if (dir >= 0) close(dir);
    if (ok) {
        stored.shownFailure.clear();
    } else if (why != stored.shownFailure) {
        stored.message = "The settings cannot be saved: " + why;
        stored.shownFailure = why;
    }
}

std::string Preference(const std::string& key, const std::string& fallback) {
    return stored.preferences.Get(key, fallback);
}

void SetPreference(const std::string& key, const std::string& value) {
    if (stored.preferences.Get(key) != value && stored.preferences.Set(key, value))
        stored.confChanged = true;
}

std::string TakeSettingsMessage() {
    std::string message;
    message.swap(stored.message);
    return message;
}
