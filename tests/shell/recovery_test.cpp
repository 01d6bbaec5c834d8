// Autosave and recovery on the fake platform, in a state folder of the test's own: when a copy
// is written and removed, what start-up offers, and what it never touches. Another running
// editor is stood in for by a lock the test holds on that editor's lock file.
#include "shell/recovery.h"

#include "files/song_file.h"
#include "shell/program.h"
#include "shell_fixture.h"
#include "song/undo_history.h"

#include <filesystem>
#include <string>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

constexpr char kFailure[] = "Unsaved changes cannot be kept for recovery: ";

class Recovery : public ShellFixture {
  protected:
    fs::path folder;
    void SetUp() override {
        ShellFixture::SetUp();
        folder = RecoveryFolder();
        ResetUndoHistory();
        StartAutosave(0, true);
    }
    void TearDown() override {
        EndRecovery();
        ShellFixture::TearDown();
    }
    // A change to the song, taken as a step, then the autosave's look at `nowMs`.
    void EditAt(int64_t nowMs, uint8_t note, bool focus = true) {
        SetCell(1, 0, {0, note});
        MarkSongModified();
        ObserveChanges(false);
        AutosaveTick(nowMs, focus);
        FlushRecoveryWriter();
        AutosaveTick(nowMs, focus); // tells what the write did
    }
    // The files in the folder whose names end with `extension`.
    std::vector<fs::path> Files(const std::string& extension) {
        std::vector<fs::path> found;
        if (fs::exists(folder))
            for (const auto& entry : fs::directory_iterator(folder))
                if (entry.path().extension() == extension) found.push_back(entry.path());
        return found;
    }
    // Another editor's copy and name, written `ageSeconds` ago.
    void Plant(const std::string& id, const std::vector<uint8_t>& bytes, const std::string& name,
               int ageSeconds = 0) {
        fs::create_directories(folder);
        fs::permissions(folder, fs::perms::owner_all);
        const fs::path copy = folder / ("unsaved-" + id + "-3.son");
        WriteBytes(copy.string(), bytes);
        WriteBytes((folder / ("unsaved-" + id + "-3.name")).string(),
                   std::vector<uint8_t>(name.begin(), name.end()));
        fs::last_write_time(copy,
                            fs::file_time_type::clock::now() - std::chrono::seconds(ageSeconds));
    }
    // Stands in for a running editor: holds the lock of `id`. Closing the descriptor ends it.
    int Hold(const std::string& id) {
        const int fd = ::open((folder / ("unsaved-" + id + ".lock")).c_str(),
                              O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        EXPECT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
        return fd;
    }
    std::vector<uint8_t> SongWithNote(uint8_t note) {
        SetCell(2, 5, {1, note});
        song.song_positions[0][0] = 2;
        std::vector<uint8_t> packed;
        EXPECT_TRUE(PackSongFile(packed));
        ResetSong();
        return packed;
    }
    std::string Status() { return fake.control(MAIN_WINDOW, STATUS_LINE).text; }
};

TEST_F(Recovery, ACopyIsWrittenEvery30SecondsAndOnLosingTheFocusAndGoesWithACleanSave) {
    EXPECT_EQ(folder, scratch.dir / "state" / "tavomix");
    EditAt(10000, 5);
    EXPECT_TRUE(Files(".son").empty()) << "not before 30 s of editing";
    EditAt(AUTOSAVE_PERIOD_MS, 6);
    ASSERT_EQ(Files(".son").size(), 1u);
    EXPECT_EQ(fs::status(folder).permissions() & fs::perms::all, fs::perms::owner_all);
    std::vector<uint8_t> packed;
    ASSERT_TRUE(PackSongFile(packed));
    fs::path copy = Files(".son")[0];
    EXPECT_EQ(ReadBytes(copy.string()), packed);
    fs::path name = copy;
    EXPECT_EQ(ReadBytes(name.replace_extension(".name").string()),
              (std::vector<uint8_t>{'N', 'o', 'n', 'a', 'm', 'e', '\n'}));

    // The next copy replaces the last one, with its name; a link planted at the copy's name is
    // replaced, never written through.
    const fs::path target = scratch.dir / "target";
    WriteBytes(target.string(), {'k', 'e', 'e', 'p'});
    fs::remove(copy);
    fs::create_symlink(target, copy);
    EditAt(AUTOSAVE_PERIOD_MS + 1000, 7, /*focus=*/false); // the window lost the focus
    ASSERT_TRUE(PackSongFile(packed));
    ASSERT_EQ(Files(".son").size(), 1u);
    EXPECT_EQ(ReadBytes(Files(".son")[0].string()), packed);
    EXPECT_EQ(Files(".name").size(), 1u);
    EXPECT_EQ(ReadBytes(target.string()), (std::vector<uint8_t>{'k', 'e', 'e', 'p'}));

    fake.dialogPaths = {(scratch.dir / "tune.son").string()};
    Click(CMD_SAVE_SONG);
    EXPECT_TRUE(Files(".son").empty());
    AutosaveTick(10 * AUTOSAVE_PERIOD_MS, false);
    FlushRecoveryWriter();
    EXPECT_TRUE(Files(".son").empty()) << "a saved song needs no copy";
    EndRecovery();
    EXPECT_TRUE(fs::is_empty(folder)) << "quitting leaves nothing behind";
}

TEST_F(Recovery, StartUpOffersOnlyOrphansNewestFirstAndSetsAsideWhatIsDeclinedOrRefused) {
    const std::vector<uint8_t> older = SongWithNote(9), newer = SongWithNote(10);
    Plant("00000000000000a1", older, "songs/old.son\n", 600);
    Plant("00000000000000a2", newer, "songs/new.son\n", 60);
    Plant("00000000000000b1", newer, "songs/running.son\n");
    const int running = Hold("00000000000000b1");

    // Declined, the newest is set aside; the older is taken, and the running editor's copy is
    // neither offered nor touched.
    fake.answers = {false, true};
    fake.loopPasses = 1;
    RunProgram("");
    ASSERT_EQ(fake.boxes.size(), 2u);
    EXPECT_EQ(fake.boxes[0].text.rfind("The editor ended with an unsaved song:\nsongs/new.son, "
                                       "last kept ",
                                       0),
              0u)
        << fake.boxes[0].text;
    EXPECT_EQ(fake.boxes[1].text.find("songs/old.son"), 39u);
    EXPECT_EQ(GetCell(2, 5), (Cell{1, 9}));
    EXPECT_EQ(fake.titles[MAIN_WINDOW], "Music Editor V2.10[songs/old.son*]");
    EXPECT_TRUE(fs::exists(folder / "unsaved-00000000000000b1-3.son"));
    EXPECT_TRUE(fs::exists(folder / "unsaved-00000000000000b1.lock"));
    int aside = 0;
    for (const auto& entry : fs::directory_iterator(folder))
        aside += entry.path().filename().string().rfind("recovery-", 0) == 0 &&
                 entry.path().extension() == ".son";
    EXPECT_EQ(aside, 1);
    EXPECT_EQ(Files(".son").size(), 2u) << "the set-aside copy and the running editor's";

    // The running editor dies: its copy is offered at the next start. One written by an older
    // version is offered too, and a copy the loader refuses is set aside with a message.
    ::close(running);
    WriteBytes((folder / "recovery.son").string(), {'j', 'u', 'n', 'k'});
    WriteBytes((folder / "recovery.name").string(), {'a', '\n'});
    fs::last_write_time(folder / "recovery.son",
                        fs::file_time_type::clock::now() - std::chrono::seconds(3600));
    fake.boxes.clear();
    fake.answers = {false, true};
    RunProgram("");
    ASSERT_EQ(fake.boxes.size(), 3u);
    EXPECT_NE(fake.boxes[0].text.find("songs/running.son"), std::string::npos);
    EXPECT_NE(fake.boxes[1].text.find("\na, last kept"), std::string::npos);
    EXPECT_EQ(fake.boxes[2].caption, "Error message");
    EXPECT_NE(fake.boxes[2].text.find("could not be read"), std::string::npos);
    EXPECT_EQ(fake.titles[MAIN_WINDOW], "Music Editor V2.10[Noname]");
    EXPECT_FALSE(fs::exists(folder / "recovery.son"));
    fake.boxes.clear();
    RunProgram("");
    EXPECT_TRUE(fake.boxes.empty()) << "each copy is offered once";
}

TEST_F(Recovery, NamesAndLinksReadBackAreNeverFollowed) {
    // A name that is not a plain path is not used; a copy that is a link is set aside unread.
    const fs::path target = scratch.dir / "target.son";
    const std::vector<uint8_t> bytes = SongWithNote(4);
    WriteBytes(target.string(), bytes);
    for (const std::string name : {"../../../../etc/passwd\n", "a\x1b]0;b\n"}) {
        Plant("00000000000000c1", bytes, name);
        fake.boxes.clear();
        RunProgram("");
        ASSERT_EQ(fake.boxes.size(), 1u);
        EXPECT_NE(fake.boxes[0].text.find("\nNoname, last kept"), std::string::npos);
        EXPECT_EQ(fake.titles[MAIN_WINDOW], "Music Editor V2.10[Noname*]");
    }
    fs::create_directories(folder);
    fs::create_symlink(target, folder / "unsaved-00000000000000c2-1.son");
    fake.boxes.clear();
    RunProgram("");
    EXPECT_TRUE(fake.boxes.empty());
    EXPECT_FALSE(fs::is_symlink(folder / "unsaved-00000000000000c2-1.son"));
    EXPECT_EQ(ReadBytes(target.string()), bytes);
}

TEST_F(Recovery, AFolderThatIsNotPrivateOrCannotBeWrittenIsRefusedAndSaidOnce) {
    // Others may write in it: nothing is read from it or written into it.
    fs::create_directories(folder);
    fs::permissions(folder, fs::perms::owner_all | fs::perms::group_all);
    Plant("00000000000000d1", SongWithNote(3), "x\n");
    fs::permissions(folder, fs::perms::owner_all | fs::perms::group_all);
    fake.loopPasses = 1;
    RunProgram("");
    EXPECT_TRUE(fake.boxes.empty());
    EXPECT_EQ(Status(), kFailure + folder.string() + ": other users may write in this folder");
    StartAutosave(0, true);
    EditAt(AUTOSAVE_PERIOD_MS, 5);
    EXPECT_EQ(Files(".son").size(), 1u) << "only the planted copy";

    // The folder is a file: said once, and said again when copies are kept again.
    fs::remove_all(folder);
    WriteBytes(folder.string(), {1});
    fake.control(MAIN_WINDOW, STATUS_LINE).text.clear();
    EditAt(2 * AUTOSAVE_PERIOD_MS, 6);
    EXPECT_EQ(Status(), kFailure + folder.string() + ": not a folder (a file or a link)");
    fake.control(MAIN_WINDOW, STATUS_LINE).text.clear();
    EditAt(3 * AUTOSAVE_PERIOD_MS, 7);
    EXPECT_EQ(Status(), "") << "told once";
    fs::remove(folder);
    EditAt(4 * AUTOSAVE_PERIOD_MS, 8);
    EXPECT_EQ(Status(), "Unsaved changes are kept for recovery again.");
    EXPECT_EQ(Files(".son").size(), 1u);

    // Read-only (where permissions bind: not for root).
    EndRecovery();
    fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
    if (::access(folder.c_str(), W_OK) != 0) {
        EditAt(5 * AUTOSAVE_PERIOD_MS, 9);
        EXPECT_EQ(Status().rfind(kFailure, 0), 0u);
    }
    fs::permissions(folder, fs::perms::owner_all);
}

} // namespace
