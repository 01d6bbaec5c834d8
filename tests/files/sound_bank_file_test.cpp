// The sound bank file: 1,408 bytes of instrument records, the same as in a song file.
#include "files/sound_bank_file.h"

#include "files/dialog_folders.h"
#include "platform/fake_platform.h"
#include "song/song_model.h"
#include "sound/instrument_bank.h"

#include <gtest/gtest.h>

#include "tests/files/file_test_support.h"

#include <cstring>
#include <sys/stat.h>

namespace {

class SoundBankFile : public ::testing::Test {
  protected:
    void SetUp() override {
        InstallFake(&fake);
        ResetSong();
        InitSoundBank();
        SoundBank[3].soundType = 2;
        SoundBank[3].waveformType = 4;
        SoundBank[15].reserved44 = -77;
        std::strcpy(SoundBank[15].name, "bass");
        last_bank_folder.clear();
    }
    void TearDown() override { InstallFake(nullptr); }
    FakePlatform fake;
    ScratchFolder folder;
};

TEST_F(SoundBankFile, BankIsTheSongStatesInstrumentBytes) {
    const std::string path = folder.Path("bank.fms");
    ASSERT_EQ(WriteSoundBankFile(path), SongFileResult::Done);
    const std::vector<uint8_t> bank = ReadAll(path);
    ASSERT_EQ(bank.size(), 1408u);
    std::vector<uint8_t> state(SONG_STATE_SIZE);
    EncodeSongState(state.data());
    EXPECT_TRUE(std::equal(bank.begin(), bank.end(), state.begin() + SONG_STATE_BANK));
}

TEST_F(SoundBankFile, LoadRestoresEveryInstrumentByteForByte) {
    const std::string path = folder.Path("bank.fms");
    ASSERT_EQ(WriteSoundBankFile(path), SongFileResult::Done);
    const std::vector<uint8_t> saved = ReadAll(path);
    InitSoundBank();
    ASSERT_EQ(ReadSoundBankFile(path), SongFileResult::Done);
    EXPECT_STREQ(SoundBank[15].name, "bass");
    EXPECT_EQ(SoundBank[15].reserved44, -77);
    ASSERT_EQ(WriteSoundBankFile(folder.Path("again.fms")), SongFileResult::Done);
    EXPECT_EQ(ReadAll(folder.Path("again.fms")), saved);
}

TEST_F(SoundBankFile, FilesOfAnyOtherLengthAreRefused) {
    const std::string path = folder.Path("short.fms");
    for (size_t size : {0, 100, 1407, 1409, 5000}) {
        WriteAll(path, std::vector<uint8_t>(size, 0xAB));
        EXPECT_EQ(ReadSoundBankFile(path), SongFileResult::Damaged) << size;
        EXPECT_STREQ(SoundBank[1].name, "dummy 1") << size;
        EXPECT_EQ(SoundBank[3].waveformType, 4) << size;
    }
    EXPECT_EQ(ReadSoundBankFile(folder.Path("missing.fms")), SongFileResult::CannotOpen);
    ASSERT_EQ(mkfifo(folder.Path("pipe.fms").c_str(), 0600), 0);
    EXPECT_EQ(ReadSoundBankFile(folder.Path("pipe.fms")), SongFileResult::CannotOpen);
}

// The dialogs open in the folder of the last bank saved or loaded, else in the song's, else in
// the working folder (""); a refused file moves nothing.
TEST_F(SoundBankFile, DialogsHaveTheirTitlesAndFilterAndOpenInTheLastBanksFolder) {
    EXPECT_EQ(SaveSoundBank(), SongFileResult::Cancelled);
    std::strcpy(song.song_name, folder.Path("songs/tune.son").c_str());
    fake.dialogPaths = {folder.Path("b.fms")};
    EXPECT_EQ(SaveSoundBank(), SongFileResult::Done);
    std::filesystem::create_directories(folder.Path("other"));
    WriteAll(folder.Path("other/short.fms"), std::vector<uint8_t>(100, 0));
    fake.dialogPaths = {folder.Path("other/short.fms")};
    EXPECT_EQ(LoadSoundBank(), SongFileResult::Damaged);
    EXPECT_EQ(LoadSoundBank(), SongFileResult::Cancelled);
    const std::string saver = "save|FM Samples Saver|.FMS Sound bank (*.FMS)|*.fms|";
    const std::string loader = "open|FM Samples Loader|.FMS Sound bank (*.FMS)|*.fms|";
    EXPECT_EQ(fake.dialogs, (std::vector<std::string>{saver, saver + folder.Path("songs"),
                                                      loader + folder.dir.string(),
                                                      loader + folder.dir.string()}));
}

} // namespace
