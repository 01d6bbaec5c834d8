// The voices seam: five fill-once buffers of unsigned 8-bit mono at 45056 Hz. Voices 0..3 play
// sound types 0..3, voice 4 the metronome click. The live implementation plays through the
// sound card with OpenAL (platform/openal/); the WAV export plays into a mixer that renders on
// demand; tests install the recording fake.
//
// Threads: every call is made with `sound_engine_lock` held, from the tick thread or the UI
// thread, and none of them waits for a sound server. Without an audio device every call does
// nothing audible.
#pragma once

#include <cstdint>

class Voices {
  public:
    virtual ~Voices() = default;
    // Creates voice `voice` with a buffer of `bytes` samples (silence) and its volume in
    // hundredths of a decibel (0 = full, -1000 = -10 dB).
    virtual void Create(int voice, int bytes, int volumeHundredthsDb) = 0;
    // Copies `count` samples to the start of the voice's buffer (never past its end); the voice
    // must be stopped.
    virtual void Fill(int voice, const uint8_t* samples, int count) = 0;
    // Plays the voice from its current position, once or repeating the whole buffer.
    virtual void Play(int voice, bool looping) = 0;
    // Stops the voice and rewinds it to its first sample.
    virtual void Stop(int voice) = 0;
    // Starts looking for the default output device, away from the calling thread, with a
    // buffer of `periods` device periods (0: the configuration's own). Returns at once;
    // KeepOutput takes the device into use once it opens. Called once, by the UI thread at
    // start-up.
    virtual void OpenOutput(int periods) { (void)periods; }
    // Keeps the output going and says how it stands. The live voices notice a lost device here,
    // take a device found in the background into use (bringing back the five voices with their
    // sizes, volumes and samples, and a looping voice that was playing), ask for a new look at
    // most once a second while they have none, and let the device rest after a while with no
    // voice sounding and `songPlaying` false. Never waits for the sound server: opening,
    // checking, pausing and closing a device happen on a thread of the voices' own. Meanwhile
    // every call above keeps its effect on the buffers but is not heard. Called by the UI's
    // pass only, never by the tick.
    enum class Output {
        Ok,           // on a device, or nothing to tell (no device wanted, first look under way)
        NoDevice,     // no device was found yet
        Lost,         // the device played on went away; looking for one again
        NotAnswering, // the sound server has kept the voices waiting for seconds
    };
    virtual Output KeepOutput(bool songPlaying) {
        (void)songPlaying;
        return Output::Ok;
    }
    // True while there is an output device to keep or to look for: only then does KeepOutput
    // need calling. Any thread.
    virtual bool HasOutput() const { return false; }
};

// Voices whose mix is rendered on demand instead of played: the WAV export plays the song into
// one, tick by tick, and takes the samples between the ticks.
class MixingVoices : public Voices {
  public:
    // Starts mixing 16-bit mono at `rate` Hz with five new voices. False when no mixer can be
    // had; the live voices are never disturbed.
    virtual bool Open(int rate) = 0;
    virtual void Close() = 0;
    // Mixes the next `frames` samples of the five voices into `out`.
    virtual void Mix(int16_t* out, int frames) = 0;
    // True once every voice has been stopped, never played, or played once past its last sample
    // that is not silence. A looping voice with sound in its buffer is never silent.
    virtual bool Silent() const = 0;
};

// The live voices the logic plays through, installed by the program at start-up (a test installs
// a fake). Reading it is safe from any thread.
Voices& voices();
void SetVoices(Voices* v);
Voices* InstalledVoices();

// The mixer the WAV export renders through; null when the program has none.
MixingVoices* mixing_voices();
void SetMixingVoices(MixingVoices* m);
