// The instrument bank: defaults, the working copy, the started flags and the 88-byte record.
#include "sound/instrument_bank.h"
#include "sound/note_player.h"
#include "sound/synthesis.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

class InstrumentBank : public ::testing::Test {
  protected:
    void SetUp() override { InitSoundBank(); }
    std::string Label(int k) {
        char text[64];
        FormatInstrumentLabel(k, text, sizeof text);
        return text;
    }
};

TEST_F(InstrumentBank, FreshBankListsSixteenDummies) {
    EXPECT_EQ(Label(0), "(0)dummy 0[1]");
    EXPECT_EQ(Label(10), "(a)dummy 10[1]");
    EXPECT_EQ(Label(15), "(f)dummy 15[1]");
    EXPECT_EQ(Label(16), "");
    const Instrument& r = SoundBank[7];
    EXPECT_EQ(r.testFrequency, 128);
    EXPECT_EQ(r.soundLength, 25);
    EXPECT_EQ(r.lengthSeconds, 0.25);
    EXPECT_EQ(r.initVolume, 0);
    EXPECT_EQ(r.reserved44, 0);
    EXPECT_EQ(current_instrument.load(), 0);
    SoundBank[3].soundType = 2;
    EXPECT_EQ(Label(3), "(3)dummy 3[3]");
}

TEST_F(InstrumentBank, StartedFlagBlocksLoadingThatType) {
    SoundBank[4].soundType = 2;
    SoundBank[4].testFrequency = 999;
    engine.ActiveSound.testFrequency = 1;
    engine.sound_started[2] = 1;
    EXPECT_FALSE(LoadActiveSound(4));
    EXPECT_EQ(engine.ActiveSound.testFrequency, 1);
    // Another type's instrument still loads.
    EXPECT_TRUE(LoadActiveSound(5));
    EXPECT_STREQ(engine.ActiveSound.name, "dummy 5");
    ClearStartedFlags();
    EXPECT_TRUE(LoadActiveSound(4));
    EXPECT_EQ(engine.ActiveSound.testFrequency, 999);
    EXPECT_EQ(engine.ActiveSound.soundType, 2);
}

TEST_F(InstrumentBank, OutOfRangeNumbersChangeNothing) {
    engine.ActiveSound.testFrequency = 5;
    EXPECT_FALSE(LoadActiveSound(16));
    EXPECT_FALSE(LoadActiveSound(-1));
    EXPECT_EQ(engine.ActiveSound.testFrequency, 5);
    const Instrument before = SoundBank[0];
    StoreActiveSound(16);
    EXPECT_EQ(std::memcmp(&before, &SoundBank[0], sizeof before), 0);
    // A record whose sound type has no started flag still loads.
    SoundBank[2].soundType = 77;
    engine.sound_started[0] = engine.sound_started[1] = engine.sound_started[2] =
        engine.sound_started[3] = 1;
    EXPECT_TRUE(LoadActiveSound(2));
    EXPECT_EQ(engine.ActiveSound.soundType, 77);
}

TEST_F(InstrumentBank, NamesKeepThirtyOneCharacters) {
    const std::string name31(31, 'x');
    LoadActiveSound(3);
    // A working name with no terminator in its 32 bytes.
    std::memset(engine.ActiveSound.name, 'x', INSTRUMENT_NAME_SIZE);
    StoreActiveSound(3);
    EXPECT_EQ(std::string(SoundBank[3].name), name31);
    engine.ActiveSound.name[0] = '\0';
    LoadActiveSound(3);
    EXPECT_EQ(std::string(engine.ActiveSound.name), name31);
    // A shorter name over a longer one ends at its own terminator.
    std::strcpy(engine.ActiveSound.name, "kick");
    StoreActiveSound(3);
    EXPECT_STREQ(SoundBank[3].name, "kick");
}

TEST_F(InstrumentBank, StoreCopiesEveryFieldButTheReservedWords) {
    SoundBank[6].reserved44 = 0x11223344;
    SoundBank[6].reserved84 = -5;
    LoadActiveSound(6);
    engine.ActiveSound.soundType = 3;
    engine.ActiveSound.fade = 12;
    engine.ActiveSound.lengthSeconds = 0.37;
    engine.ActiveSound.waveformType = 6;
    StoreActiveSound(6);
    EXPECT_EQ(SoundBank[6].soundType, 3);
    EXPECT_EQ(SoundBank[6].fade, 12);
    EXPECT_EQ(SoundBank[6].lengthSeconds, 0.37);
    EXPECT_EQ(SoundBank[6].waveformType, 6);
    EXPECT_EQ(SoundBank[6].reserved44, 0x11223344);
    EXPECT_EQ(SoundBank[6].reserved84, -5);
    EXPECT_STREQ(SoundBank[6].name, "dummy 6"); // without an editor the name stays
}

TEST_F(InstrumentBank, CurrentInstrumentLoadsWithItsRenderBuffer) {
    SoundBank[9].soundType = 3;
    current_instrument = 9;
    LoadCurrentInstrument();
    EXPECT_STREQ(engine.ActiveSound.name, "dummy 9");
    EXPECT_EQ(engine.current_render_buffer, 3);
}

TEST_F(InstrumentBank, RecordIsLittleEndianFieldByField) {
    Instrument r{};
    std::strcpy(r.name, "lead");
    r.soundType = 1;
    r.testFrequency = 0x01020304;
    r.soundLength = 99;
    r.reserved44 = -2;
    r.lengthSeconds = 0.99;
    r.useLength = 1;
    r.initVolume = 15;
    r.fade = 14;
    r.period = 7;
    r.pitchBend = 3;
    r.waveform = 2;
    r.waveformType = 5;
    r.reserved84 = 0x7F00FF01;
    uint8_t bytes[INSTRUMENT_RECORD_SIZE];
    EncodeInstrument(r, bytes);
    EXPECT_EQ(std::memcmp(bytes, "lead\0", 5), 0);
    const uint8_t frequency[] = {0x04, 0x03, 0x02, 0x01};
    EXPECT_EQ(std::memcmp(bytes + 36, frequency, 4), 0);
    const uint8_t reserved[] = {0xFE, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(std::memcmp(bytes + 44, reserved, 4), 0);
    const uint8_t seconds[] = {0xAE, 0x47, 0xE1, 0x7A, 0x14, 0xAE, 0xEF, 0x3F}; // 0.99
    EXPECT_EQ(std::memcmp(bytes + 48, seconds, 8), 0);
    EXPECT_EQ(bytes[80], 5);
    const uint8_t last[] = {0x01, 0xFF, 0x00, 0x7F};
    EXPECT_EQ(std::memcmp(bytes + 84, last, 4), 0);

    Instrument back{};
    DecodeInstrument(bytes, back);
    uint8_t again[INSTRUMENT_RECORD_SIZE];
    EncodeInstrument(back, again);
    EXPECT_EQ(std::memcmp(bytes, again, sizeof bytes), 0);
    EXPECT_EQ(back.lengthSeconds, 0.99);
    EXPECT_EQ(back.reserved84, 0x7F00FF01);
}

TEST_F(InstrumentBank, DecodedNameIsAlwaysTerminated) {
    uint8_t bytes[INSTRUMENT_RECORD_SIZE];
    std::memset(bytes, 'A', sizeof bytes);
    Instrument r{};
    DecodeInstrument(bytes, r);
    EXPECT_EQ(std::strlen(r.name), 31u);
    // Bytes after a terminator are kept, so that such a record is written back unchanged.
    std::memcpy(bytes, "ab\0garbage", 10);
    DecodeInstrument(bytes, r);
    uint8_t again[INSTRUMENT_RECORD_SIZE];
    EncodeInstrument(r, again);
    EXPECT_EQ(std::memcmp(bytes, again, INSTRUMENT_NAME_SIZE), 0);
}

} // namespace
