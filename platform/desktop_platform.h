// The real platform: audio voices on OpenAL Soft and the periodic timer on a thread of its
// own. The editor window's services (controls, message boxes) join it with the Qt backend; until
// then a message box is printed to standard error and answered Cancel, and control changes
// are dropped.
#pragma once

#include "platform/openal/openal_voices.h"
#include "platform/platform.h"

#include <map>
#include <memory>
#include <mutex>

class PeriodicTimer;

class DesktopPlatform : public Platform {
  public:
    DesktopPlatform();
    ~DesktopPlatform() override;

    // Opens the default audio device; false when there is none and the voices stay silent.
    bool OpenAudio() { return voices_.OpenDevice(); }
    const OpenAlVoices& voices() const { return voices_; }

    // Window services: there is no window yet. Message boxes print to standard error and
    // answer Cancel; everything else does nothing.
    void CreateDialog(int, DialogEvents*) override {}
    void RunModalDialog(int, DialogEvents*) override {}
    void EndDialog(int) override {}
    void SetDialogTitle(int, const std::string&) override {}
    void StartWindowTimer(int, int) override {}
    void SetControlText(int, int, const std::string&) override {}
    std::string GetControlText(int, int) override { return ""; }
    void SetControlImage(int, int, int) override {}
    void SetScrollRange(int, int, int, int) override {}
    void SetScrollPosition(int, int, int) override {}
    void ComboReset(int, int) override {}
    void ComboAdd(int, int, const std::string&) override {}
    void ComboSelect(int, int, int) override {}
    int ComboSelection(int, int) override { return -1; }
    void EnableControl(int, int, bool) override {}
    void SetChecked(int, int, bool) override {}
    bool IsChecked(int, int) override { return false; }
    void SetFocus(int, int) override {}
    void SetControlColors(int, int, Rgb, Rgb) override {}
    void SetToolTip(int, int, const std::string&) override {}
    void PaintRows(int, int, const Rgb*, int) override {}
    bool MessageBox(const std::string& text, const std::string& caption, int style) override;
    std::string OpenFileDialog(const std::string&, const std::string&,
                               const std::string&) override {
        return "";
    }
    std::string SaveFileDialog(const std::string&, const std::string&,
                               const std::string&) override {
        return "";
    }
    int RunEventLoop(std::function<void()>) override { return 0; }
    void Quit(int) override {}
    bool OpenMidiInput(DialogEvents*) override { return false; }
    void CloseMidiInput() override {}
    bool IsKeyDown(int) override { return false; }
    int StartPeriodicTimer(int periodMs, std::function<void()> tick) override;
    void KillPeriodicTimer(int id) override;
    void VoiceCreate(int voice, int bytes, int volume) override {
        voices_.Create(voice, bytes, volume);
    }
    void VoiceFill(int voice, const uint8_t* samples, int count) override {
        voices_.Fill(voice, samples, count);
    }
    void VoicePlay(int voice, bool looping) override { voices_.Play(voice, looping); }
    void VoiceStop(int voice) override { voices_.Stop(voice); }

  private:
    OpenAlVoices voices_;
    std::mutex timerMutex_;
    std::map<int, std::unique_ptr<PeriodicTimer>> timers_;
    int nextTimerId_ = 1;
};
