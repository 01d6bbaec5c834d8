// Autosave and recovery on the fake platform, in a state folder of the test's own: when a copy
// is written and removed, and what start-up does with one.
#include "shell/recovery.h"

#include "files/song_file.h"
#include "shell/program.h"
#include "shell_fixture.h"
#include "song/undo_history.h"

#include <filesystem>
#include <string>

namespace {

namespace fs = std::filesystem;

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
        FlushRecoveryWriter();
        ShellFixture::TearDown();
    }
    // A change to the song, taken as a step, then the autosave's look at `nowMs`.
    void EditAt(int64_t nowMs, uint8_t note, bool focus = true) {
        SetCell(1, 0, {0, note});
        MarkSongModified();
        ObserveChanges(false);
        AutosaveTick(nowMs, focus);
        FlushRecoveryWriter();
    }
    bool HasCopy() { return fs::exists(folder / "recovery.son"); }
};

TEST_F(Recovery, ACopyIsWrittenEvery30SecondsAndOnLosingTheFocusAndGoesWithACleanSave) {
    EXPECT_EQ(folder, scratch.dir / "state" / "tavomix");
    EditAt(10000, 5);
    EXPECT_FALSE(HasCopy()) << "not before 30 s of editing";
    EditAt(AUTOSAVE_PERIOD_MS, 6);
    ASSERT_TRUE(HasCopy());
    std::vector<uint8_t> packed;
    ASSERT_TRUE(PackSongFile(packed));
    EXPECT_EQ(ReadBytes((folder / "recovery.son").string()), packed);
    EXPECT_EQ(ReadBytes((folder / "recovery.name").string()),
              (std::vector<uint8_t>{'N', 'o', 'n', 'a', 'm', 'e', '\n'}));

    EditAt(AUTOSAVE_PERIOD_MS + 1000, 7, /*focus=*/false); // the window lost the focus
    ASSERT_TRUE(PackSongFile(packed));
    EXPECT_EQ(ReadBytes((folder / "recovery.son").string()), packed);

    fake.dialogPaths = {(scratch.dir / "tune.son").string()};
    Click(CMD_SAVE_SONG);
    EXPECT_FALSE(HasCopy());
    AutosaveTick(10 * AUTOSAVE_PERIOD_MS, false);
    FlushRecoveryWriter();
    EXPECT_FALSE(HasCopy()) << "a saved song needs no copy";
}

TEST_F(Recovery, StartUpOffersTheCopyAndKeepsItAsideWhenDeclinedOrRefused) {
    // A copy of a song with a note, named as the song was.
    SetCell(2, 5, {1, 9});
    song.song_positions[0][0] = 2;
    std::vector<uint8_t> packed;
    ASSERT_TRUE(PackSongFile(packed));
    fs::create_directories(folder);
    auto plant = [&](const std::vector<uint8_t>& bytes) {
        WriteBytes((folder / "recovery.son").string(), bytes);
        WriteBytes((folder / "recovery.name").string(),
                   {'s', 'o', 'n', 'g', 's', '/', 'a', '.', 's', 'o', 'n', '\n'});
    };
    plant(packed);
    ResetSong();
    fake.loopPasses = 1;
    RunProgram("");
    ASSERT_EQ(fake.boxes.size(), 1u);
    EXPECT_EQ(fake.boxes[0].text, "The editor last ended with an unsaved song. Recover it?");
    EXPECT_EQ(GetCell(2, 5), (Cell{1, 9}));
    EXPECT_EQ(fake.titles[MAIN_WINDOW], "Music Editor V2.10[songs/a.son*]");
    EXPECT_FALSE(HasCopy()) << "quitting removes it";

    // Declined: kept under a dated name, and the editor starts on an empty song.
    plant(packed);
    fake.boxes.clear();
    fake.answers = {false};
    RunProgram("");
    EXPECT_EQ(GetCell(2, 5), Cell{});
    EXPECT_FALSE(HasCopy());
    int aside = 0;
    for (const auto& entry : fs::directory_iterator(folder))
        aside += entry.path().filename().string().rfind("recovery-", 0) == 0 &&
                 entry.path().extension() == ".son";
    EXPECT_EQ(aside, 1);

    // A copy the loader refuses is set aside with a message, and start-up goes on.
    plant({'j', 'u', 'n', 'k'});
    fake.boxes.clear();
    RunProgram("");
    ASSERT_EQ(fake.boxes.size(), 2u);
    EXPECT_EQ(fake.boxes[1].caption, "Error message");
    EXPECT_NE(fake.boxes[1].text.find("could not be read"), std::string::npos);
    EXPECT_EQ(fake.titles[MAIN_WINDOW], "Music Editor V2.10[Noname]");
    EXPECT_FALSE(HasCopy());
}

} // namespace
