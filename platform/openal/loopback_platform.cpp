#include "platform/openal/loopback_platform.h"

#include <AL/alc.h>

#include <algorithm>
#include <functional>
#include <string>
#include <utility>

namespace {

// Frames the mixer may still put out after a voice's last sample: the resampler's reach and
// the short fade OpenAL applies when a voice ends. Generous; silence after it costs nothing.
constexpr int64_t kMixerReach = 256;

} // namespace

LoopbackPlatform::LoopbackPlatform(Platform* inner) : inner_(inner) {}

LoopbackPlatform::~LoopbackPlatform() {
    Close();
}

bool LoopbackPlatform::Open(int rate) {
    Close();
    previousContext_ = alcGetCurrentContext();
    open_ = true;
    rate_ = rate;
    frame_ = 0;
    for (Voice& v : voice_) v = Voice{};
    if (voices_.OpenLoopback(rate)) return true;
    Close();
    return false;
}

void LoopbackPlatform::Close() {
    if (!open_) return;
    voices_.Close();
    // The loopback context was made current on open; give the process its own back.
    alcMakeContextCurrent(static_cast<ALCcontext*>(previousContext_));
    previousContext_ = nullptr;
    open_ = false;
}

void LoopbackPlatform::Mix(int16_t* out, int frames) {
    if (frames <= 0) return;
    if (voices_.silent()) {
        std::fill(out, out + frames, int16_t{0});
    } else {
        voices_.Render(out, frames);
    }
    frame_ += frames;
}

bool LoopbackPlatform::VoicesSilent() const {
    for (const Voice& v : voice_)
        if (v.audibleUntil > frame_) return false;
    return true;
}

void LoopbackPlatform::VoiceCreate(int voice, int bytes, int volumeHundredthsDb) {
    voices_.Create(voice, bytes, volumeHundredthsDb);
    if (voice < 0 || voice >= OpenAlVoices::VOICES || bytes <= 0) return;
    voice_[voice].samples.assign(static_cast<size_t>(bytes), 128);
    voice_[voice].audibleUntil = 0;
}

void LoopbackPlatform::VoiceFill(int voice, const uint8_t* samples, int count) {
    voices_.Fill(voice, samples, count);
    if (voice < 0 || voice >= OpenAlVoices::VOICES || count <= 0) return;
    std::vector<uint8_t>& whole = voice_[voice].samples;
    std::copy(samples, samples + std::min<size_t>(static_cast<size_t>(count), whole.size()),
              whole.begin());
}

void LoopbackPlatform::VoicePlay(int voice, bool looping) {
    voices_.Play(voice, looping);
    if (voice < 0 || voice >= OpenAlVoices::VOICES) return;
    Voice& v = voice_[voice];
    // 128 is silence: the voice sounds up to its last other sample.
    const auto loud =
        std::find_if(v.samples.rbegin(), v.samples.rend(), [](uint8_t s) { return s != 128; });
    const int64_t length = v.samples.rend() - loud;
    if (length == 0) {
        v.audibleUntil = frame_;
    } else if (looping) {
        v.audibleUntil = kForever;
    } else {
        const int64_t frames =
            (length * rate_ + OpenAlVoices::VOICE_RATE - 1) / OpenAlVoices::VOICE_RATE;
        v.audibleUntil = frame_ + frames + kMixerReach;
    }
}

void LoopbackPlatform::VoiceStop(int voice) {
    voices_.Stop(voice);
    if (voice < 0 || voice >= OpenAlVoices::VOICES) return;
    voice_[voice].audibleUntil = std::min(voice_[voice].audibleUntil, frame_ + kMixerReach);
}

// ---- everything else goes to the wrapped platform

void LoopbackPlatform::CreateDialog(int dialog, DialogEvents* events) {
    if (inner_) inner_->CreateDialog(dialog, events);
}
void LoopbackPlatform::RunModalDialog(int dialog, DialogEvents* events) {
    if (inner_) inner_->RunModalDialog(dialog, events);
}
void LoopbackPlatform::EndDialog(int dialog) {
    if (inner_) inner_->EndDialog(dialog);
}
void LoopbackPlatform::SetDialogTitle(int dialog, const std::string& title) {
    if (inner_) inner_->SetDialogTitle(dialog, title);
}
void LoopbackPlatform::StartWindowTimer(int dialog, int periodMs) {
    if (inner_) inner_->StartWindowTimer(dialog, periodMs);
}
void LoopbackPlatform::SetControlText(int dialog, int id, const std::string& text) {
    if (inner_) inner_->SetControlText(dialog, id, text);
}
std::string LoopbackPlatform::GetControlText(int dialog, int id) {
    return inner_ ? inner_->GetControlText(dialog, id) : std::string();
}
void LoopbackPlatform::SetControlImage(int dialog, int id, int bitmap) {
    if (inner_) inner_->SetControlImage(dialog, id, bitmap);
}
void LoopbackPlatform::SetScrollRange(int dialog, int id, int minimum, int maximum) {
    if (inner_) inner_->SetScrollRange(dialog, id, minimum, maximum);
}
void LoopbackPlatform::SetScrollPosition(int dialog, int id, int position) {
    if (inner_) inner_->SetScrollPosition(dialog, id, position);
}
void LoopbackPlatform::ComboReset(int dialog, int id) {
    if (inner_) inner_->ComboReset(dialog, id);
}
void LoopbackPlatform::ComboAdd(int dialog, int id, const std::string& text) {
    if (inner_) inner_->ComboAdd(dialog, id, text);
}
void LoopbackPlatform::ComboSelect(int dialog, int id, int index) {
    if (inner_) inner_->ComboSelect(dialog, id, index);
}
int LoopbackPlatform::ComboSelection(int dialog, int id) {
    return inner_ ? inner_->ComboSelection(dialog, id) : -1;
}
void LoopbackPlatform::EnableControl(int dialog, int id, bool enabled) {
    if (inner_) inner_->EnableControl(dialog, id, enabled);
}
void LoopbackPlatform::SetChecked(int dialog, int id, bool checked) {
    if (inner_) inner_->SetChecked(dialog, id, checked);
}
bool LoopbackPlatform::IsChecked(int dialog, int id) {
    return inner_ && inner_->IsChecked(dialog, id);
}
void LoopbackPlatform::SetFocus(int dialog, int id) {
    if (inner_) inner_->SetFocus(dialog, id);
}
void LoopbackPlatform::SetControlColors(int dialog, int id, Rgb text, Rgb background) {
    if (inner_) inner_->SetControlColors(dialog, id, text, background);
}
void LoopbackPlatform::SetToolTip(int dialog, int id, const std::string& text) {
    if (inner_) inner_->SetToolTip(dialog, id, text);
}
void LoopbackPlatform::PaintRows(int dialog, int id, const Rgb* rows, int count) {
    if (inner_) inner_->PaintRows(dialog, id, rows, count);
}
bool LoopbackPlatform::MessageBox(const std::string& text, const std::string& caption, int style) {
    return inner_ && inner_->MessageBox(text, caption, style);
}
std::string LoopbackPlatform::OpenFileDialog(const std::string& title,
                                             const std::string& description,
                                             const std::string& pattern,
                                             const std::string& folder) {
    return inner_ ? inner_->OpenFileDialog(title, description, pattern, folder) : std::string();
}
std::string LoopbackPlatform::SaveFileDialog(const std::string& title,
                                             const std::string& description,
                                             const std::string& pattern,
                                             const std::string& folder) {
    return inner_ ? inner_->SaveFileDialog(title, description, pattern, folder) : std::string();
}
bool LoopbackPlatform::ShowProgress(const std::string& title, const std::string& text,
                                    int percent) {
    return inner_ ? inner_->ShowProgress(title, text, percent) : true;
}
void LoopbackPlatform::EndProgress() {
    if (inner_) inner_->EndProgress();
}
int LoopbackPlatform::RunEventLoop(std::function<void()> pass) {
    return inner_ ? inner_->RunEventLoop(std::move(pass)) : 0;
}
void LoopbackPlatform::Quit(int code) {
    if (inner_) inner_->Quit(code);
}
bool LoopbackPlatform::OpenMidiInput(DialogEvents* events) {
    return inner_ && inner_->OpenMidiInput(events);
}
void LoopbackPlatform::CloseMidiInput() {
    if (inner_) inner_->CloseMidiInput();
}
bool LoopbackPlatform::IsKeyDown(int virtualKey) {
    return inner_ && inner_->IsKeyDown(virtualKey);
}
void LoopbackPlatform::DropKeyPresses() {
    if (inner_) inner_->DropKeyPresses();
}
bool LoopbackPlatform::KeysBelongToDialog() {
    return inner_ && inner_->KeysBelongToDialog();
}
int64_t LoopbackPlatform::SteadyMilliseconds() {
    return inner_ ? inner_->SteadyMilliseconds() : Platform::SteadyMilliseconds();
}
int LoopbackPlatform::StartPeriodicTimer(int periodMs, std::function<void()> tick) {
    return inner_ ? inner_->StartPeriodicTimer(periodMs, std::move(tick)) : 0;
}
void LoopbackPlatform::KillPeriodicTimer(int id) {
    if (inner_) inner_->KillPeriodicTimer(id);
}
