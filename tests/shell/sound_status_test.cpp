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

} // namespace
