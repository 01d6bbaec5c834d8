// MIDI end to end, offscreen: note-on bytes injected at the RtMidi input are taken by the main
// loop's pass, reach the main window's MIDI handling and the note entry, and the note is heard
// at its pitch in the mix of OpenAL's loopback device.
#include "platform/openal/loopback_voices.h"
#include "platform/qt/qt_desktop.h"
#include "platform/rtmidi/rtmidi_input.h"
#include "resources/resource_ids.h"
#include "shell/main_window.h"
#include "shell/program.h"
#include "shell/settings_file.h"
#include "shell/sound_editor_window.h"
#include "song/note_entry.h"
#include "song/song_model.h"
#include "sound/audio_output.h"
#include "sound/instrument_bank.h"
#include "sound/sound_engine.h"
#include "sound/synthesis.h"
#include "tests/sound/measure_hz.h"

#include <gtest/gtest.h>

#include <mutex>
#include <vector>

namespace {

TEST(MidiLoopback, InjectedNoteOnIsHeardAtItsPitch) {
    constexpr int rate = 48000;
    QtDesktop qt;
    RtMidiInput midi([&qt] { qt.WakeSoon(); });
    LoopbackVoices loop;
    ASSERT_TRUE(loop.Open(rate));
    SetDesktop(&qt);
    SetVoices(&loop);
    SetMidiInput(&midi);
    ResetSong();
    settings.record_enabled = 0;
    settings.octave_shift = 0;
    sound_editor_open = 0;
    {
        const EngineLockGuard lock(sound_engine_lock);
        InitSoundBank();
        // Instrument 0: a steady pulse (type 1), full volume, no envelope, no length.
        Instrument& pulse = SoundBank[0];
        pulse.soundType = 1;
        pulse.initVolume = 15;
        pulse.fade = 7;
        pulse.useLength = 0;
        pulse.waveform = 2;
    }
    current_instrument = 0;
    StartAudio();
    desktop().CreateDialog(MAIN_WINDOW, &main_window());

    // Key 57 enters note 10 ("A-2"), key 69 note 22 ("A-3").
    struct Case {
        uint8_t key;
        int note, hz;
    };
    for (const Case& c : {Case{57, 10, 440}, Case{69, 22, 880}}) {
        SCOPED_TRACE(int(c.key));
        ASSERT_EQ(MidiNote(c.key), c.note);
        ASSERT_EQ(TONE_FREQUENCIES[c.note], c.hz);
        midi.Inject(0x90, c.key, 100); // note on, channel 1, velocity 100
        int passes = 0;
        qt.RunEventLoop([&] {
            MainLoopPass();
            if (++passes == 3) qt.Quit(0);
            return 1;
        });
        std::vector<int16_t> mix(rate / 2);
        {
            const EngineLockGuard lock(sound_engine_lock);
            loop.Mix(mix.data(), int(mix.size()));
        }
        int peak = 0;
        for (int16_t v : mix) peak = std::max(peak, std::abs(int(v)));
        EXPECT_GT(peak, 3000);
        const double hz = MeasureHz(mix, 2400, rate / 2 - 2400, rate);
        std::printf("MIDI key %d: %.1f Hz measured, %d Hz in the tone table\n", c.key, hz, c.hz);
        EXPECT_NEAR(hz, c.hz, c.hz * 0.01);
    }
    SetMidiInput(nullptr);
    StopAudio();
    loop.Close();
    ResetSongDisplay();
    SetDesktop(nullptr);
    SetVoices(nullptr);
}

} // namespace
