#include "shell/recovery.h"

#include "files/private_folder.h"
#include "files/song_file.h"
#include "platform/desktop.h"
#include "resources/resource_ids.h"
#include "shell/main_window.h"
#include "song/song_model.h"
#include "song/undo_history.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <thread>
#include <utility>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Each running editor keeps its copy as "unsaved-<id>-<n>.son", the song's name beside it as
// "unsaved-<id>-<n>.name", and holds a lock on "unsaved-<id>.lock" from its first copy until it
// quits. <n> grows with every copy, so a copy always pairs with the name written just before
// it, and a name is never used twice. The kernel drops the lock when the editor dies: a copy
// whose lock is free is an orphan, offered at the next start.
constexpr char kPrefix[] = "unsaved-";
constexpr size_t kIdDigits = 16;
// An older version's single copy, offered once as an orphan.
constexpr char kLegacyCopy[] = "recovery.son";
constexpr char kLegacyName[] = "recovery.name";
constexpr char kFailure[] = "Unsaved changes cannot be kept for recovery: ";
constexpr char kWorksAgain[] = "Unsaved changes are kept for recovery again.";

// This editor's files. The writer thread uses it while it runs, the UI thread otherwise.
struct Own {
    std::string id;
    int lock = -1;        // held from the first copy until the editor quits
    uint64_t written = 0; // the number of the pair on the disk; 0: none
    uint64_t last = 0;    // the last number used
} own;

// The last copy's writer, joined before the next one starts and at exit; what it did is told
// through `done`.
struct Writer {
    std::thread thread;
    std::atomic<bool> done{false};
    bool ok = true;
    std::string why;
    ~Writer() {
        if (thread.joinable()) thread.join();
    }
} writer;
int64_t lastCopyMs = 0;   // when the last copy was made (or the first tick)
uint64_t copiedState = 0; // the history state last copied; 0: none in this run
bool hadFocus = true;
std::string shownFailure; // why copies cannot be kept, as the status line last told it

void ShowStatus(const std::string& text) {
    desktop().SetControlText(MAIN_WINDOW, STATUS_LINE, text);
}

std::string NewId() {
    uint64_t r = 0;
    if (getrandom(&r, sizeof r, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof r))
        r = static_cast<uint64_t>(std::time(nullptr)) << 20 ^ static_cast<uint64_t>(getpid());
    char digits[kIdDigits + 1];
    std::snprintf(digits, sizeof digits, "%016llx", static_cast<unsigned long long>(r));
    return digits;
}

std::string PairName(const std::string& id, uint64_t n, const char* extension) {
    return kPrefix + id + "-" + std::to_string(n) + extension;
}
std::string LockName(const std::string& id) {
    return kPrefix + id + ".lock";
}
// The name a lock has while its editor takes it.
std::string TakingLockName(const std::string& lockName) {
    return "." + lockName + ".new";
}

// Takes this editor's lock: made under a temporary name, locked, then moved into place, so that
// no other editor ever finds it unlocked while this one runs.
bool TakeOwnLock(int dir, std::string& why) {
    if (own.lock >= 0) return true;
    const std::string temporary = TakingLockName(LockName(own.id));
    unlinkat(dir, temporary.c_str(), 0);
    const int fd =
        openat(dir, temporary.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) == 0 &&
        renameat(dir, temporary.c_str(), dir, LockName(own.id).c_str()) == 0) {
        own.lock = fd;
        return true;
    }
    why = LockName(own.id) + ": " + std::strerror(errno);
    if (fd >= 0) close(fd);
    unlinkat(dir, temporary.c_str(), 0);
    return false;
}

// Writes the next pair, then removes the one before it; on the writer thread, or on the UI
// thread while no writer runs.
bool WriteOwnCopy(const std::vector<uint8_t>& bytes, const std::string& name,
                  const std::string& folder, std::string& why) {
    const int dir = OpenPrivateFolder(folder, true, why);
    if (dir < 0) return false;
    if (own.id.empty()) own.id = NewId();
    const uint64_t next = own.last + 1;
    const std::string line = name + "\n";
    const bool ok =
        TakeOwnLock(dir, why) &&
        WriteFileIn(dir, PairName(own.id, next, ".name"), line.data(), line.size(), why) &&
        WriteFileIn(dir, PairName(own.id, next, ".son"), bytes.data(), bytes.size(), why);
    if (ok) {
        own.last = next;
        if (own.written != 0) {
            unlinkat(dir, PairName(own.id, own.written, ".son").c_str(), 0);
            unlinkat(dir, PairName(own.id, own.written, ".name").c_str(), 0);
        }
        own.written = next;
    } else {
        unlinkat(dir, PairName(own.id, next, ".name").c_str(), 0);
    }
    close(dir);
    return ok;
}

// What the last write did, told in the status line when it changes.
void TakeWriterOutcome() {
    if (!writer.done.exchange(false, std::memory_order_acquire)) return;
    if (!writer.ok) {
        copiedState = 0; // tried again at the next period
        if (shownFailure != writer.why) ShowStatus(kFailure + writer.why);
        shownFailure = writer.why;
    } else if (!shownFailure.empty()) {
        ShowStatus(kWorksAgain);
        shownFailure.clear();
    }
}

// A song name read back from a copy, used only when it is a plain file path: no control
// characters and no ".." in it.
std::string PlainSongName(const std::vector<uint8_t>& bytes) {
    std::string name(bytes.begin(), bytes.end());
    const size_t end = name.find('\n');
    if (end != std::string::npos) name.resize(end);
    if (name.empty() || name.size() >= SONG_NAME_SIZE) return "";
    for (const char c : name)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) return "";
    const std::string padded = "/" + name + "/";
    if (padded.find("/../") != std::string::npos) return "";
    return name;
}

std::string LocalTime(time_t when, const char* format) {
    std::tm local{};
    localtime_r(&when, &local);
    char text[32];
    std::strftime(text, sizeof text, format, &local);
    return text;
}

// A copy another editor left: its files, and its lock while this editor handles it.
struct Orphan {
    std::string copy, name;         // the newest pair; `copy` empty when there is none
    std::vector<std::string> files; // all of its files, the lock last
    time_t written = 0;
    int lock = -1;
    std::string lockName;
    uint64_t newest = 0;
};

// The editor that wrote `id`'s files is gone when its lock is free (taken here and kept) or
// missing; false while it runs.
bool OwnerIsGone(int dir, Orphan& orphan) {
    int fd = openat(dir, orphan.lockName.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
    // An editor taking its lock holds it under the temporary name first.
    if (fd < 0 && errno == ENOENT)
        fd = openat(dir, TakingLockName(orphan.lockName).c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT || errno == ELOOP;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        return false;
    }
    orphan.lock = fd;
    return true;
}

// The orphans in the folder, newest first.
std::vector<Orphan> FindOrphans(int dir) {
    std::map<std::string, Orphan> byId; // "" for an older version's copy
    const int listing = dup(dir);
    DIR* d = listing >= 0 ? fdopendir(listing) : nullptr;
    if (!d) {
        if (listing >= 0) close(listing);
        return {};
    }
    const size_t idEnd = sizeof kPrefix - 1 + kIdDigits;
    while (const dirent* entry = readdir(d)) {
        const std::string file = entry->d_name;
        if (file == kLegacyCopy || file == kLegacyName) {
            Orphan& o = byId[""];
            o.files.push_back(file);
            if (file == kLegacyCopy) o.copy = file, o.name = kLegacyName;
            continue;
        }
        // Its own files, and the temporary files a killed write left (".unsaved-<id>...").
        const size_t at = file.rfind(kPrefix, 1);
        if (at > 1 || file.size() < at + idEnd || (at == 1 && file[0] != '.')) continue;
        const std::string id = file.substr(at + sizeof kPrefix - 1, kIdDigits);
        if (id == own.id) continue;
        Orphan& o = byId[id];
        o.lockName = LockName(id);
        if (file == o.lockName) continue; // removed last, once handled
        o.files.push_back(file);
        const std::string rest = file.substr(at + idEnd);
        char* end = nullptr;
        if (at != 0 || rest.size() < 2 || rest[0] != '-') continue;
        const unsigned long long n = std::strtoull(rest.c_str() + 1, &end, 10);
        if (std::strcmp(end, ".son") == 0 && n > o.newest) {
            o.newest = n;
            o.copy = file;
            o.name = PairName(id, n, ".name");
        }
    }
    closedir(d);
    std::vector<Orphan> orphans;
    for (auto& [id, o] : byId) {
        if (!id.empty() && !OwnerIsGone(dir, o)) continue;
        if (!id.empty()) o.files.push_back(o.lockName);
        struct stat st;
        if (!o.copy.empty() && fstatat(dir, o.copy.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0)
            o.written = st.st_mtime;
        orphans.push_back(std::move(o));
    }
    std::sort(orphans.begin(), orphans.end(),
              [](const Orphan& a, const Orphan& b) { return a.written > b.written; });
    return orphans;
}

// Renames the orphan's copy and name to a dated name that no earlier copy has (links are moved
// as they are, never followed); returns the copy's new file name.
std::string SetAside(int dir, const Orphan& orphan) {
    const std::string stamp = LocalTime(std::time(nullptr), "%Y%m%d-%H%M%S");
    std::string base = "recovery-" + stamp;
    struct stat st;
    for (int n = 2; fstatat(dir, (base + ".son").c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0; ++n)
        base = "recovery-" + stamp + "-" + std::to_string(n);
    renameat(dir, orphan.name.c_str(), dir, (base + ".name").c_str());
    renameat(dir, orphan.copy.c_str(), dir, (base + ".son").c_str());
    return base + ".son";
}

// Removes what is left of a handled orphan, its lock last, then lets the lock go.
void Remove(int dir, Orphan& orphan) {
    for (const std::string& file : orphan.files) unlinkat(dir, file.c_str(), 0);
    if (orphan.lock >= 0) close(orphan.lock);
    orphan.lock = -1;
}

// Offers one orphan; true when its song was loaded.
bool Offer(int dir, const std::string& folder, Orphan& orphan) {
    std::vector<uint8_t> bytes;
    if (orphan.copy.empty() ||
        !ReadFileIn(dir, orphan.copy, SONG_FILE_HEADER_SIZE + SONG_FILE_MAX_PACKED, bytes)) {
        // Nothing to offer: no copy, or one that is a link or not a file at all.
        if (!orphan.copy.empty()) SetAside(dir, orphan);
        Remove(dir, orphan);
        return false;
    }
    std::vector<uint8_t> nameBytes;
    const std::string name =
        ReadFileIn(dir, orphan.name, SONG_NAME_SIZE, nameBytes) ? PlainSongName(nameBytes) : "";
    const std::string text = "The editor ended with an unsaved song:\n" +
                             (name.empty() ? std::string("Noname") : name) + ", last kept " +
                             LocalTime(orphan.written, "%Y-%m-%d %H:%M") + ".\nRecover it?";
    if (!desktop().MessageBox(text, "Recovery", MB_QUESTION_OK_CANCEL)) {
        SetAside(dir, orphan);
        Remove(dir, orphan);
        return false;
    }
    if (LoadSongBytes(bytes) != SongFileResult::Done) {
        const std::string kept = SetAside(dir, orphan);
        Remove(dir, orphan);
        desktop().MessageBox("The recovery copy could not be read.\nIt was kept as " + folder +
                                 "/" + kept + ".",
                             ERROR_CAPTION, MB_ERROR_OK);
        return false;
    }
    // The song keeps its own name, so that the next save goes where the user expects, and stays
    // unsaved. It becomes this editor's copy before the orphan goes; when it cannot, the orphan
    // stays for the next start.
    ShowLoadedSong();
    std::snprintf(song.song_name, sizeof song.song_name, "%s",
                  name.empty() ? "Noname" : name.c_str());
    MarkSongModified();
    std::string why;
    if (WriteOwnCopy(bytes, song.song_name, folder, why)) {
        Remove(dir, orphan);
    } else {
        close(orphan.lock);
        orphan.lock = -1;
        ShowStatus(kFailure + why);
        shownFailure = why;
    }
    return true;
}

} // namespace

std::string RecoveryFolder() {
    return UserFolder("XDG_STATE_HOME", ".local/state");
}

void StartAutosave(int64_t nowMs, bool hasFocus) {
    lastCopyMs = nowMs;
    hadFocus = hasFocus;
    copiedState = 0;
}

void AutosaveTick(int64_t nowMs, bool hasFocus) {
    TakeWriterOutcome();
    const bool focusLost = hadFocus && !hasFocus;
    hadFocus = hasFocus;
    if (!song.song_modified) return;
    const uint64_t state = UndoStateId();
    if (state == copiedState) return; // this state is copied already
    if (!focusLost && nowMs - lastCopyMs < AUTOSAVE_PERIOD_MS) return;
    std::vector<uint8_t> bytes;
    if (!PackSongFile(bytes)) return;
    FlushRecoveryWriter();
    TakeWriterOutcome();
    writer.thread = std::thread(
        [](std::vector<uint8_t> copy, std::string name, std::string folder) {
            writer.ok = WriteOwnCopy(copy, name, folder, writer.why);
            writer.done.store(true, std::memory_order_release);
        },
        std::move(bytes), std::string(song.song_name), RecoveryFolder());
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
    copiedState = 0;
    if (own.written == 0) return;
    std::string why;
    const int dir = OpenPrivateFolder(RecoveryFolder(), false, why);
    if (dir >= 0) {
        unlinkat(dir, PairName(own.id, own.written, ".son").c_str(), 0);
        unlinkat(dir, PairName(own.id, own.written, ".name").c_str(), 0);
        close(dir);
    }
    own.written = 0;
}

void EndRecovery() {
    RemoveRecoveryCopy();
    if (own.lock < 0) return;
    std::string why;
    const int dir = OpenPrivateFolder(RecoveryFolder(), false, why);
    if (dir >= 0) {
        unlinkat(dir, LockName(own.id).c_str(), 0);
        close(dir);
    }
    close(own.lock);
    own = Own{};
}

bool OfferRecovery() {
    const std::string folder = RecoveryFolder();
    std::string why;
    const int dir = OpenPrivateFolder(folder, false, why);
    if (dir < 0) {
        // A folder that cannot be used is told at once; a missing one is made at the first copy.
        if (!why.empty()) ShowStatus(kFailure + why);
        shownFailure = why;
        return false;
    }
    bool loaded = false;
    for (Orphan& orphan : FindOrphans(dir)) {
        // Once a song is loaded, the other orphans wait for the next start.
        if (loaded) {
            if (orphan.lock >= 0) close(orphan.lock);
            continue;
        }
        loaded = Offer(dir, folder, orphan);
    }
    close(dir);
    return loaded;
}

void FlushRecoveryWriter() {
    if (writer.thread.joinable()) writer.thread.join();
}
