// A platform for offline rendering: its five audio voices are OpenAL voices on the loopback
// device, which mixes on demand instead of playing to a sound card; every other call is passed
// on to the platform it wraps (or does nothing when it wraps none). The WAV export installs one
// with SetPlatform while it runs the sequencer, so the tick's voice calls reach this mixer.
//
// It also follows when each voice stops making sound, so that the render can end its tail once
// every voice has fallen silent.
//
// Threads: the voice calls and Mix are made with `sound_engine_lock` held; the calls passed on
// follow the wrapped platform's rules.
#pragma once

#include "platform/openal/openal_voices.h"
#include "platform/platform.h"

#include <cstdint>
#include <vector>

class LoopbackPlatform : public Platform {
  public:
    // `inner` receives every call that is not a voice call; it may be null.
    explicit LoopbackPlatform(Platform* inner);
    ~LoopbackPlatform() override;
    LoopbackPlatform(const LoopbackPlatform&) = delete;
    LoopbackPlatform& operator=(const LoopbackPlatform&) = delete;

    // Opens the loopback device mixing 16-bit mono at `rate` Hz. False when OpenAL offers no
    // loopback device. Whatever OpenAL context was current before is made current again when
    // this platform closes, so a live device keeps working after an export.
    bool Open(int rate);
    void Close();

    // Mixes the next `frames` samples of the five voices into `out`.
    void Mix(int16_t* out, int frames);
    // Frames mixed since Open.
    int64_t framesMixed() const { return frame_; }
    // True once every voice has been stopped, never played, or played once past its last sample
    // that is not silence. A looping voice with sound in its buffer is never silent.
    bool VoicesSilent() const;

    // ---- Platform: voices
    void VoiceCreate(int voice, int bytes, int volumeHundredthsDb) override;
    void VoiceFill(int voice, const uint8_t* samples, int count) override;
    void VoicePlay(int voice, bool looping) override;
    void VoiceStop(int voice) override;

    // ---- Platform: passed on to the wrapped platform
    void CreateDialog(int dialog, DialogEvents* events) override;
    void RunModalDialog(int dialog, DialogEvents* events) override;
    void EndDialog(int dialog) override;
    void SetDialogTitle(int dialog, const std::string& title) override;
    void StartWindowTimer(int dialog, int periodMs) override;
    void SetControlText(int dialog, int id, const std::string& text) override;
    std::string GetControlText(int dialog, int id) override;
    void SetControlImage(int dialog, int id, int bitmap) override;
    void SetScrollRange(int dialog, int id, int minimum, int maximum) override;
    void SetScrollPosition(int dialog, int id, int position) override;
    void ComboReset(int dialog, int id) override;
    void ComboAdd(int dialog, int id, const std::string& text) override;
    void ComboSelect(int dialog, int id, int index) override;
    int ComboSelection(int dialog, int id) override;
    void EnableControl(int dialog, int id, bool enabled) override;
    void SetChecked(int dialog, int id, bool checked) override;
    bool IsChecked(int dialog, int id) override;
    void SetFocus(int dialog, int id) override;
    void SetControlColors(int dialog, int id, Rgb text, Rgb background) override;
    void SetToolTip(int dialog, int id, const std::string& text) override;
    void PaintRows(int dialog, int id, const Rgb* rows, int count) override;
    bool MessageBox(const std::string& text, const std::string& caption, int style) override;
    bool ShowProgress(const std::string& title, const std::string& text, int percent) override;
    void EndProgress() override;
    std::string OpenFileDialog(const std::string& title, const std::string& description,
                               const std::string& pattern, const std::string& folder) override;
    std::string SaveFileDialog(const std::string& title, const std::string& description,
                               const std::string& pattern, const std::string& folder) override;
    int RunEventLoop(std::function<void()> pass) override;
    void Quit(int code) override;
    bool OpenMidiInput(DialogEvents* events) override;
    void CloseMidiInput() override;
    bool IsKeyDown(int virtualKey) override;
    void DropKeyPresses() override;
    bool KeysBelongToDialog() override;
    int64_t SteadyMilliseconds() override;
    int StartPeriodicTimer(int periodMs, std::function<void()> tick) override;
    void KillPeriodicTimer(int id) override;

  private:
    static constexpr int64_t kForever = INT64_MAX;
    Platform* inner_;
    OpenAlVoices voices_;
    void* previousContext_ = nullptr; // the context current before Open
    bool open_ = false;
    int rate_ = 0;
    int64_t frame_ = 0;
    struct Voice {
        std::vector<uint8_t> samples; // a copy of the voice's buffer
        int64_t audibleUntil = 0;     // first frame after the voice's last sound
    };
    Voice voice_[OpenAlVoices::VOICES];
};
