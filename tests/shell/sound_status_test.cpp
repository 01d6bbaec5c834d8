#include "shell/sound_status.h"

#include "shell/program.h"
#include "shell_fixture.h"

namespace {

class SoundStatus : public ShellFixture {
  protected:
    void SetUp() override {
        ShellFixture::SetUp();
        sound_output_status = SoundOutputStatus{};
        ShowCursorCell();
    }
    // Main-loop passes, one a millisecond.
    void Passes(int count) {
        for (int i = 0; i < count; ++i) {
            ++fake.clockMs;
            MainLoopPass();
        }
    }
};

TEST_F(SoundStatus, TheStatusLineTellsTheLossOnceAndTheReturnOnce) {
    const std::string cell = text(STATUS_LINE);
    Passes(1000);
    EXPECT_EQ(text(STATUS_LINE), cell) << "nothing to tell while the output works";
    EXPECT_EQ(fake.outputChecks, 4) << "the voices are asked four times a second, not each pass";

    fake.output = Voices::Output::Lost;
    Passes(250);
    EXPECT_EQ(text(STATUS_LINE), "Sound output lost; waiting for a device...");
    // The cursor's cell takes the line back; the loss, already told, is not told again.
    ShowCursorCell();
    Passes(3000);
    EXPECT_EQ(text(STATUS_LINE), cell);

    fake.output = Voices::Output::Ok;
    Passes(250);
    EXPECT_EQ(text(STATUS_LINE), "Sound output is back.");
    ShowCursorCell();
    Passes(1000);
    EXPECT_EQ(text(STATUS_LINE), cell);
}

TEST_F(SoundStatus, ANoDeviceStartIsQuietAndAServerThatDoesNotAnswerIsToldOnce) {
    const std::string cell = text(STATUS_LINE);
    fake.output = Voices::Output::NoDevice;
    Passes(1000);
    EXPECT_EQ(text(STATUS_LINE), cell) << "no sound card is no error";

    fake.output = Voices::Output::NotAnswering;
    Passes(250);
    EXPECT_EQ(text(STATUS_LINE),
              "The sound server does not answer; playing silently until it does.");
    // Each new look at the wedged server fails and waits again: told once only.
    ShowCursorCell();
    for (const auto output : {Voices::Output::NoDevice, Voices::Output::NotAnswering}) {
        fake.output = output;
        Passes(1000);
    }
    EXPECT_EQ(text(STATUS_LINE), cell);

    fake.output = Voices::Output::Ok;
    Passes(250);
    EXPECT_EQ(text(STATUS_LINE), "Sound output found.");
    EXPECT_FALSE(fake.outputSongPlaying);
    play.playing.store(1, std::memory_order_relaxed);
    Passes(250);
    EXPECT_TRUE(fake.outputSongPlaying) << "a playing song keeps the device awake";
    play.playing.store(0, std::memory_order_relaxed);
}

} // namespace
