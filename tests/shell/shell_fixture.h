// The main window initialised on a fresh song, bank and fake platform, and a scratch working
// directory that is restored afterwards.
#pragma once

#include "platform/fake_platform.h"
#include "shell/main_window.h"
#include "shell/pattern_view.h"
#include "shell/settings_file.h"
#include "shell/sound_editor_window.h"
#include "song/sequencer.h"
#include "song/song_model.h"
#include "sound/audio_output.h"
#include "sound/instrument_bank.h"
#include "sound/sound_engine.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

// Runs the test in an empty folder of its own as the working directory.
struct ScratchWorkingDirectory {
    std::filesystem::path previousFolder = std::filesystem::current_path();
    std::filesystem::path dir;
    static constexpr const char* kVariables[2] = {"XDG_STATE_HOME", "XDG_CONFIG_HOME"};
    static constexpr const char* kFolders[2] = {"state", "config"};
    std::string previous[2];
    ScratchWorkingDirectory() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir = std::filesystem::temp_directory_path() /
              (std::string("tavomix-shell-") + info->test_suite_name() + "-" + info->name());
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        std::filesystem::current_path(dir);
        // Recovery copies and settings of this test stay in its folder.
        for (size_t i = 0; i < 2; ++i) {
            if (const char* value = std::getenv(kVariables[i])) previous[i] = value;
            setenv(kVariables[i], (dir / kFolders[i]).c_str(), 1);
        }
    }
    ~ScratchWorkingDirectory() {
        for (size_t i = 0; i < 2; ++i) {
            if (previous[i].empty())
                unsetenv(kVariables[i]);
            else
                setenv(kVariables[i], previous[i].c_str(), 1);
        }
        std::filesystem::current_path(previousFolder);
        std::filesystem::remove_all(dir);
    }
};

inline std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

inline void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

class ShellFixture : public ::testing::Test {
  protected:
    FakePlatform fake;
    ScratchWorkingDirectory scratch;

    void SetUp() override {
        InstallFake(&fake);
        ResetSong();
        play = PlayState{};
        play.warmup_ticks = WARMUP_TICKS;
        settings = StoredSettings{};
        tick_timer_id = 0;
        quit_requested = 0;
        sound_editor_open = 0;
        {
            const EngineLockGuard lock(sound_engine_lock);
            InitSoundBank();
        }
        StartAudio();
        main_window().OnInit();
    }

    void TearDown() override {
        KillTickTimer();
        ResetSongDisplay();
        InstallFake(nullptr);
    }

    FakePlatform::Control& control(int id) { return fake.control(MAIN_WINDOW, id); }
    std::string text(int id) { return control(id).text; }
    std::string title() { return fake.titles[MAIN_WINDOW]; }
    void Click(int id) { main_window().OnCommand(id, CMD_CLICKED); }
    void Scroll(int id, int code, int position = 0) { main_window().OnScroll(id, code, position); }
};
