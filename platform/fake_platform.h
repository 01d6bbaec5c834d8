// A platform for tests: it records every control text and image, every message box (and
// answers it from a queue), every audio voice operation, and runs the periodic timer only when
// the test fires it (or on a real thread when asked).
#pragma once

#include "platform/platform.h"

#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class PeriodicTimer;

class FakePlatform : public Platform {
  public:
    FakePlatform();
    ~FakePlatform() override;

    struct Box {
        std::string text, caption;
        int style;
    };
    struct Voice {
        std::vector<uint8_t> samples; // the voice's buffer
        int volume = 0;               // hundredths of a decibel
        bool playing = false, looping = false;
        int fills = 0, plays = 0, stops = 0;
    };

    // ---- Platform
    bool MessageBox(const std::string& text, const std::string& caption, int style) override;
    void SetControlText(int id, const std::string& text) override;
    void SetControlImage(int id, int bitmap) override;
    std::string OpenFileDialog(const std::string& title, const std::string& description,
                               const std::string& pattern) override;
    std::string SaveFileDialog(const std::string& title, const std::string& description,
                               const std::string& pattern) override;
    int StartPeriodicTimer(int periodMs, std::function<void()> tick) override;
    void KillPeriodicTimer(int id) override;
    void VoiceCreate(int voice, int bytes, int volumeHundredthsDb) override;
    void VoiceFill(int voice, const uint8_t* samples, int count) override;
    void VoicePlay(int voice, bool looping) override;
    void VoiceStop(int voice) override;

    // ---- for tests (lock-protected, any thread)
    std::vector<Box> boxes;   // every message box shown, in order
    std::deque<bool> answers; // answers for the next boxes; OK when empty
    // Paths the next file dialogs return ("" = cancelled; cancelled when empty), and every
    // dialog shown as "open|title|description|pattern" or "save|...".
    std::deque<std::string> dialogPaths;
    std::vector<std::string> dialogs;
    std::map<int, std::string> texts;
    std::map<int, int> images;
    Voice voices[5];
    std::vector<std::string> audioLog; // "create 0 81664 -1000", "fill 0 81664", "play 0 loop",
                                       // "stop 4", ...
    bool realTimer = false;            // run started timers on a real thread
    int timerPeriodMs = 0, timersStarted = 0, timersKilled = 0, liveTimerId = 0;

    // Runs the live timer's tick `times` times on the calling thread.
    void FireTimer(int times = 1);
    std::mutex mutex; // guards the records above when threads are involved

  private:
    std::function<void()> tick_;
    std::unique_ptr<PeriodicTimer> thread_;
};
