// The one interface through which the logic reaches the desktop: message boxes, controls by
// their resource id, the periodic tick timer and the five audio voices. The real backend (Qt 6,
// OpenAL, RtMidi) and the recording fake used by tests implement it; the logic never includes
// a toolkit, audio or MIDI header.
//
// Threads: every call is made on the UI thread, except the audio voice calls, which are made
// with `sound_engine_lock` held from the tick thread or the UI thread, and the timer calls,
// which may come from either.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

// Message box styles by their values: the icon and the buttons.
enum MessageBoxStyle : int {
    MB_ERROR_OK = 0x10,           // OK, stop icon
    MB_STOP_OK_CANCEL = 0x11,     // OK and Cancel, stop icon
    MB_WARNING_OK_CANCEL = 0x31,  // OK and Cancel, exclamation icon
    MB_QUESTION_OK_CANCEL = 0x41, // OK and Cancel, information icon
};

class Platform {
  public:
    virtual ~Platform() = default;

    // ---- windows and controls (UI thread)
    // Shows a message box owned by the main window; true only when the user pressed OK.
    virtual bool MessageBox(const std::string& text, const std::string& caption, int style) = 0;
    // Sets the text of control `id`.
    virtual void SetControlText(int id, const std::string& text) = 0;
    // Puts bitmap resource `bitmap` on button `id`.
    virtual void SetControlImage(int id, int bitmap) = 0;
    // The open or save file dialog with its title and one filter ("description", "*.ext").
    // Returns the chosen path, or an empty string when the user cancelled. A name typed without
    // an extension gets the filter's.
    virtual std::string OpenFileDialog(const std::string& title, const std::string& description,
                                       const std::string& pattern) = 0;
    virtual std::string SaveFileDialog(const std::string& title, const std::string& description,
                                       const std::string& pattern) = 0;

    // ---- periodic timer (any thread)
    // Calls `tick` every `periodMs` milliseconds on a thread of its own, on absolute deadlines,
    // until killed. Returns a non-zero timer id.
    virtual int StartPeriodicTimer(int periodMs, std::function<void()> tick) = 0;
    // Stops the timer; returns once a tick that is running has finished. Never call it from the
    // timer's own tick.
    virtual void KillPeriodicTimer(int id) = 0;

    // ---- audio voices 0..4: fill-once buffers of unsigned 8-bit mono at 45056 Hz
    // (engine lock held). Without an audio device every call does nothing.
    // Creates voice `voice` with a buffer of `bytes` samples (silence) and its volume in
    // hundredths of a decibel (0 = full, -1000 = -10 dB).
    virtual void VoiceCreate(int voice, int bytes, int volumeHundredthsDb) = 0;
    // Copies `count` samples to the start of the voice's buffer (never past its end); the voice
    // must be stopped.
    virtual void VoiceFill(int voice, const uint8_t* samples, int count) = 0;
    // Plays the voice from its current position, once or repeating the whole buffer.
    virtual void VoicePlay(int voice, bool looping) = 0;
    // Stops the voice and rewinds it to its first sample.
    virtual void VoiceStop(int voice) = 0;
};

// The platform the logic talks to. The program installs its real backend at start-up; a test
// installs a fake. Set it before any logic runs; reading it is safe from any thread.
Platform& platform();
void SetPlatform(Platform* p);
