#include "shell/recovery.h"

#include "files/file_io.h"
#include "files/song_file.h"
#include "platform/desktop.h"
#include "resources/resource_ids.h"
#include "shell/main_window.h"
#include "song/song_model.h"
#include "song/undo_history.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <thread>
#include <utility>
#include <vector>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr const char* kCopyName = "recovery.son";
constexpr const char* kNameFile = "recovery.name";
constexpr const char* kOffer = "The editor last ended with an unsaved song. Recover it?";

// The last copy's writer, joined before the next one starts and at exit.
struct Writer {
    std::thread thread;
    ~Writer() {
        if (thread.joinable()) thread.join();
    }
} writer;
int64_t lastCopyMs = 0;   // when the last copy was made (or the first tick)
uint64_t copiedState = 0; // the history state last copied; 0: none in this run
bool hadFocus = true;

bool Exists(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

// Creates the folder and its parents, private to the user.
bool MakeFolder(const std::string& folder) {
    for (size_t at = 1; at <= folder.size(); ++at) {
        if (at != folder.size() && folder[at] != '/') continue;
        const std::string part = folder.substr(0, at);
        if (::mkdir(part.c_str(), 0700) != 0 && !Exists(part)) return false;
    }
    return true;
}

bool WriteBytes(const std::string& path, const void* data, size_t size) {
    return WriteFileSafely(path, [&](std::FILE* f) {
               return std::fwrite(data, 1, size, f) == size;
           }) == WriteResult::Done;
}

// On the writer thread: the name first, then the copy, whose presence says there is one.
void WriteCopy(const std::vector<uint8_t>& bytes, const std::string& name,
               const std::string& folder) {
    if (!MakeFolder(folder)) return;
    const std::string line = name + "\n";
    WriteBytes(folder + "/" + kNameFile, line.data(), line.size());
    WriteBytes(folder + "/" + kCopyName, bytes.data(), bytes.size());
}

std::string ReadName(const std::string& folder) {
    std::vector<uint8_t> bytes;
    if (!ReadFilePrefix(folder + "/" + kNameFile, SONG_NAME_SIZE, bytes)) return "";
    std::string name(bytes.begin(), bytes.end());
    const size_t end = name.find_first_of("\n\0", 0, 2);
    if (end != std::string::npos) name.resize(end);
    return name;
}

// Renames the copy and its name file to a dated name that no earlier copy has; returns the
// copy's new file name.
std::string SetAside(const std::string& folder) {
    char stamp[32];
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    std::string base = std::string("recovery-") + stamp;
    for (int n = 2; Exists(folder + "/" + base + ".son"); ++n)
        base = std::string("recovery-") + stamp + "-" + std::to_string(n);
    std::rename((folder + "/" + kNameFile).c_str(), (folder + "/" + base + ".name").c_str());
    std::rename((folder + "/" + kCopyName).c_str(), (folder + "/" + base + ".son").c_str());
    return base + ".son";
}

} // namespace

std::string RecoveryFolder() {
    const char* state = std::getenv("XDG_STATE_HOME");
    // XDG_STATE_HOME counts only as an absolute path; anything else falls back to the home folder.
    if (state && state[0] == '/') return std::string(state) + "/tavomix";
    std::string home;
    if (const char* h = std::getenv("HOME"); h && h[0] == '/') {
        home = h;
    } else if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) {
        home = pw->pw_dir;
    }
    return home + "/.local/state/tavomix";
}

void StartAutosave(int64_t nowMs, bool hasFocus) {
    lastCopyMs = nowMs;
    hadFocus = hasFocus;
    copiedState = 0;
}

void AutosaveTick(int64_t nowMs, bool hasFocus) {
    const bool focusLost = hadFocus && !hasFocus;
    hadFocus = hasFocus;
    if (!song.song_modified) return;
    const uint64_t state = UndoStateId();
    if (state == copiedState) return; // this state is copied already
    if (!focusLost && nowMs - lastCopyMs < AUTOSAVE_PERIOD_MS) return;
    std::vector<uint8_t> bytes;
    if (!PackSongFile(bytes)) return;
    FlushRecoveryWriter();
    writer.thread =
        std::thread(WriteCopy, std::move(bytes), std::string(song.song_name), RecoveryFolder());
    copiedState = state;
    lastCopyMs = nowMs;
}

int64_t AutosaveDueIn(int64_t nowMs) {
    if (!song.song_modified || UndoStateId() == copiedState) return -1;
    const int64_t due = lastCopyMs + AUTOSAVE_PERIOD_MS - nowMs;
    return due > 0 ? due : 0;
}

void RemoveRecoveryCopy() {
    FlushRecoveryWriter();
    const std::string folder = RecoveryFolder();
    std::remove((folder + "/" + kCopyName).c_str());
    std::remove((folder + "/" + kNameFile).c_str());
    copiedState = 0;
}

bool OfferRecovery() {
    const std::string folder = RecoveryFolder();
    if (!Exists(folder + "/" + kCopyName)) return false;
    if (!desktop().MessageBox(kOffer, "Recovery", MB_QUESTION_OK_CANCEL)) {
        SetAside(folder);
        return false;
    }
    const std::string name = ReadName(folder);
    if (LoadSongFile(folder + "/" + kCopyName) != SongFileResult::Done) {
        const std::string kept = SetAside(folder);
        const std::string text =
            "The recovery copy could not be read.\nIt was kept as " + folder + "/" + kept + ".";
        desktop().MessageBox(text, ERROR_CAPTION, MB_ERROR_OK);
        return false;
    }
    // The song keeps its own name, so that the next save goes where the user expects, and stays
    // unsaved; the copy stays too until the song is saved.
    ShowLoadedSong();
    std::snprintf(song.song_name, sizeof song.song_name, "%s",
                  name.empty() ? "Noname" : name.c_str());
    MarkSongModified();
    return true;
}

void FlushRecoveryWriter() {
    if (writer.thread.joinable()) writer.thread.join();
}
