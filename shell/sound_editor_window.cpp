#include "shell/sound_editor_window.h"

#include "shell/pattern_view.h"
#include "song/song_model.h"
#include "sound/audio_output.h"
#include "sound/note_player.h"
#include "sound/sound_engine.h"
#include "sound/synthesis.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <vector>

int sound_editor_open = 0;

namespace {

constexpr auto kRelaxed = std::memory_order_relaxed;
constexpr int kDialog = DIALOG_SOUND_EDITOR;
constexpr size_t kNameLimit = INSTRUMENT_NAME_SIZE - 1; // 31 characters
constexpr size_t kListTextLimit = 511;                  // read back from the name field
constexpr size_t kNumberTextLimit = 31;                 // read from the test-frequency field

// One scroll bar: its id, the field it sets and the field's range.
struct Bar {
    int id;
    int32_t ActiveSoundState::*field;
    int minimum, maximum;
};
constexpr Bar BARS[] = {
    {EDITOR_INIT_VOLUME_BAR, &ActiveSoundState::initVolume, 0, 15},
    {EDITOR_FADE_BAR, &ActiveSoundState::fade, 0, 14},
    {EDITOR_LENGTH_BAR, &ActiveSoundState::soundLength, 0, 99},
    {EDITOR_PERIOD_BAR, &ActiveSoundState::period, 0, 7},
    {EDITOR_PITCH_BEND_BAR, &ActiveSoundState::pitchBend, 0, 14},
    {EDITOR_WAVEFORM_BAR, &ActiveSoundState::waveform, 0, 3},
};
constexpr int kBarCount = int(sizeof BARS / sizeof BARS[0]);

int BarSlot(int id) {
    for (int i = 0; i < kBarCount; ++i)
        if (BARS[i].id == id) return i;
    return -1;
}

// The enable table: each row's controls are on for the sound types whose bit is set.
struct EnableRow {
    int bar, text;
    unsigned types; // bit t: on for sound type t
};
constexpr EnableRow ENABLE_TABLE[] = {
    {EDITOR_INIT_VOLUME_BAR, EDITOR_INIT_VOLUME_TEXT, 0b1011},
    {EDITOR_FADE_BAR, EDITOR_FADE_TEXT, 0b1011},
    {EDITOR_PERIOD_BAR, EDITOR_PERIOD_TEXT, 0b0001},
    {EDITOR_PITCH_BEND_BAR, EDITOR_PITCH_BEND_TEXT, 0b0001},
    {EDITOR_WAVEFORM_BAR, EDITOR_WAVEFORM_TEXT, 0b0011},
    {EDITOR_WAVEFORM_TYPE_LIST, EDITOR_WAVEFORM_TYPE_GROUP, 0b0100},
};

void SetText(int id, const char* format, auto value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    desktop().SetControlText(kDialog, id, text);
}

std::string ControlText(int id, size_t limit) {
    std::string text = desktop().GetControlText(kDialog, id);
    if (text.size() > limit) text.resize(limit);
    return text;
}

// A decimal integer as the field's text starts with it (spaces, a sign, digits); 0 when the text
// does not start with a number. Values beyond 32 bits are held at the nearest end.
int32_t ParseDecimal(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > int64_t(INT32_MAX) + 1) value = int64_t(INT32_MAX) + 1;
    }
    if (negative) value = -value;
    if (value > INT32_MAX) value = INT32_MAX;
    return static_cast<int32_t>(value);
}

void CopyName(char name[INSTRUMENT_NAME_SIZE], const std::string& text) {
    const size_t n = text.size() < kNameLimit ? text.size() : kNameLimit;
    std::memcpy(name, text.data(), n);
    name[n] = '\0';
}

int Clamp(int v, int lo, int hi) {
    return v < lo ? lo : (v > hi ? hi : v);
}

SoundEditor the_sound_editor;

} // namespace

// One editor step: takes the engine lock and puts the editor's working values into
// `ActiveSound`; on leaving, keeps what the step made of them. Between steps the sequencer and
// the note entry may load other instruments into `ActiveSound` without disturbing the edit.
class SCOPED_CAPABILITY SoundEditor::Session {
  public:
    explicit Session(SoundEditor& editor) ACQUIRE(sound_engine_lock) : editor_(editor) {
        sound_engine_lock.lock();
        engine.ActiveSound = editor_.working_;
        editor_.inSession_ = true;
    }
    ~Session() RELEASE() {
        editor_.working_ = engine.ActiveSound;
        editor_.inSession_ = false;
        sound_engine_lock.unlock();
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

  private:
    SoundEditor& editor_;
};

void DrawWaveform(const uint8_t* samples, int width, int height, Rgb* pixels) {
    if (width <= 0 || height <= 0) return;
    const size_t count = size_t(width) * size_t(height);
    for (size_t i = 0; i < count; ++i) pixels[i] = DISPLAY_BACKGROUND;
    const int centre = height / 2;
    for (int x = 0; x < width; ++x)
        pixels[size_t(centre) * size_t(width) + size_t(x)] = DISPLAY_CENTRE_LINE;
    const int scale = height >= 2 ? 128 / (height / 2) : 128;
    for (int x = 0; x < width; ++x) {
        const long index = long(DISPLAY_SAMPLES_PER_COLUMN) * x;
        int y = centre;
        if (index < RENDER_LENGTH && scale != 0) y = height - samples[index] / scale;
        y = Clamp(y, 0, height);
        // Row `height` lies just outside the display: that pixel is clipped.
        if (y < height) pixels[size_t(y) * size_t(width) + size_t(x)] = DISPLAY_SAMPLE;
    }
}

// ------------------------------------------------------------------------------ opening

void SoundEditor::OnInit() {
    Desktop& p = desktop();
    sound_editor_open = 1;
    p.ComboReset(kDialog, EDITOR_WAVEFORM_TYPE_LIST);
    for (const char* name : WAVEFORM_NAMES) p.ComboAdd(kDialog, EDITOR_WAVEFORM_TYPE_LIST, name);
    p.ComboSelect(kDialog, EDITOR_WAVEFORM_TYPE_LIST, 0);

    edited_ = Clamp(current_instrument.load(kRelaxed), 0, INSTRUMENT_COUNT - 1);
    current_instrument.store(static_cast<int16_t>(edited_), kRelaxed);
    p.ComboReset(kDialog, EDITOR_INSTRUMENT_LIST);
    {
        const EngineLockGuard lock(sound_engine_lock);
        for (int k = 0; k < INSTRUMENT_COUNT; ++k) entries_[size_t(k)] = SoundBank[k].name;
    }
    for (const std::string& entry : entries_) p.ComboAdd(kDialog, EDITOR_INSTRUMENT_LIST, entry);
    p.ComboSelect(kDialog, EDITOR_INSTRUMENT_LIST, edited_);
    p.SetControlText(kDialog, EDITOR_INSTRUMENT_LIST, entries_[size_t(edited_)]);

    // Every control starts enabled.
    barEnabled_.fill(true);
    p.ControlPixelSize(kDialog, EDITOR_DISPLAY, displayWidth_, displayHeight_);
    {
        const EngineLockGuard lock(sound_engine_lock);
        // A started flag left set would refuse the load and leave another instrument's values
        // in `ActiveSound`, which closing would then store into this one.
        ClearStartedFlags();
        if (LoadActiveSound(current_instrument.load(kRelaxed))) RefreshEditor();
        SelectRenderBuffer(engine.ActiveSound.soundType);
        SetScrollBarRanges();
        working_ = engine.ActiveSound;
    }
    open_ = true;
}

// ------------------------------------------------------------------------------ refresh

void SoundEditor::Enable(int id, bool on) {
    desktop().EnableControl(kDialog, id, on);
    const int slot = BarSlot(id);
    if (slot >= 0) barEnabled_[size_t(slot)] = on;
}

void SoundEditor::ApplyEnableTable(int soundType) {
    for (const EnableRow& row : ENABLE_TABLE) {
        const bool on = (row.types >> soundType) & 1u;
        Enable(row.bar, on);
        Enable(row.text, on);
    }
}

void SoundEditor::DrawDisplay() {
    const int w = displayWidth_, h = displayHeight_;
    if (w <= 0 || h <= 0) return;
    std::vector<Rgb> pixels(size_t(w) * size_t(h));
    DrawWaveform(CurrentRenderBuffer(), w, h, pixels.data());
    desktop().PaintPixels(kDialog, EDITOR_DISPLAY, w, h, pixels.data());
}

void SoundEditor::RefreshEditor() {
    Desktop& p = desktop();
    ActiveSoundState& s = engine.ActiveSound;
    const int type = s.soundType;
    if (type >= 0 && type < SOUND_TYPE_COUNT) {
        static constexpr unsigned kPositioned[SOUND_TYPE_COUNT] = {0b111111, 0b100111, 0b000100,
                                                                   0b000111};
        for (int i = 0; i < kBarCount; ++i)
            if ((kPositioned[type] >> i) & 1u)
                p.SetScrollPosition(kDialog, BARS[i].id, s.*BARS[i].field);
        ApplyEnableTable(type);
    }
    p.ComboSelect(kDialog, EDITOR_WAVEFORM_TYPE_LIST, s.waveformType);
    SetText(EDITOR_TEST_FREQUENCY, "%d", int(s.testFrequency));
    SetText(EDITOR_INIT_VOLUME_TEXT, "Init Volume : %d", int(s.initVolume));
    SetText(EDITOR_FADE_TEXT, "Fade : %lld", (long long)s.fade - 7);
    if (type != 2 && s.soundLength > 25) s.soundLength = 25;
    s.lengthSeconds = s.soundLength * 0.01;
    SetText(EDITOR_LENGTH_TEXT, "Snd Len : %2.2f sec", s.lengthSeconds);
    p.SetChecked(kDialog, EDITOR_USE_LENGTH, s.useLength != 0);
    SetText(EDITOR_PERIOD_TEXT, "Period : %d", int(s.period));
    SetText(EDITOR_PITCH_BEND_TEXT, "Pitch Bend : %lld", (long long)s.pitchBend - 7);
    SelectRenderBuffer(type);
    RenderSound(type);
    DrawDisplay();
    for (int t = 0; t < SOUND_TYPE_COUNT; ++t)
        p.SetChecked(kDialog, EDITOR_SOUND_TYPE_1 + t, t == type);
    SetText(EDITOR_WAVEFORM_TEXT, "%d", int(s.waveform));
}

void SoundEditor::ReadEditorControls() {
    Desktop& p = desktop();
    ActiveSoundState& s = engine.ActiveSound;
    s.waveformType = p.ComboSelection(kDialog, EDITOR_WAVEFORM_TYPE_LIST);
    CopyName(s.name, ControlText(EDITOR_INSTRUMENT_LIST, kNameLimit));
    s.testFrequency = ParseDecimal(ControlText(EDITOR_TEST_FREQUENCY, kNumberTextLimit));
    s.useLength = p.IsChecked(kDialog, EDITOR_USE_LENGTH) ? 1 : 0;
    s.soundType = 0;
    for (int t = 1; t < SOUND_TYPE_COUNT; ++t)
        if (p.IsChecked(kDialog, EDITOR_SOUND_TYPE_1 + t)) {
            s.soundType = t;
            break;
        }
    RefreshEditor();
}

void SoundEditor::ReadInstrumentName(char name[INSTRUMENT_NAME_SIZE]) {
    if (open_ && !inSession_) engine.ActiveSound = working_;
    CopyName(name, ControlText(EDITOR_INSTRUMENT_LIST, kNameLimit));
}

void SoundEditor::SetScrollBarRanges() {
    Desktop& p = desktop();
    for (const Bar& bar : BARS) {
        p.SetScrollRange(kDialog, bar.id, bar.minimum, bar.maximum);
        p.SetScrollPosition(kDialog, bar.id, engine.ActiveSound.*bar.field);
    }
}

// ------------------------------------------------------------------------------ user actions

void SoundEditor::OnScroll(int id, int code, int position) {
    const int slot = BarSlot(id);
    if (slot < 0) return;
    Session session(*this);
    CopyName(engine.ActiveSound.name, ControlText(EDITOR_INSTRUMENT_LIST, kNameLimit));
    if (!barEnabled_[size_t(slot)]) return;
    const Bar& bar = BARS[slot];
    int32_t& field = engine.ActiveSound.*bar.field;
    int value = field;
    switch (code) {
    case SB_LINEUP: value -= 1; break;
    case SB_LINEDOWN: value += 1; break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK: value = position; break;
    default: break;
    }
    field = Clamp(value, bar.minimum, bar.maximum);
    RefreshEditor();
    ReadEditorControls();
}

void SoundEditor::ListOpens() {
    // The typed name replaces the edited instrument's entry, so the list shows it before the
    // instrument is stored.
    Desktop& p = desktop();
    const std::string text = ControlText(EDITOR_INSTRUMENT_LIST, kListTextLimit);
    entries_[size_t(edited_)] = text;
    p.ComboReset(kDialog, EDITOR_INSTRUMENT_LIST);
    for (const std::string& entry : entries_) p.ComboAdd(kDialog, EDITOR_INSTRUMENT_LIST, entry);
    p.ComboSelect(kDialog, EDITOR_INSTRUMENT_LIST, edited_);
    p.SetControlText(kDialog, EDITOR_INSTRUMENT_LIST, text);
}

void SoundEditor::InstrumentChosen() {
    Desktop& p = desktop();
    const int chosen = p.ComboSelection(kDialog, EDITOR_INSTRUMENT_LIST);
    if (chosen < 0 || chosen >= INSTRUMENT_COUNT) return;
    // A list that has already put the chosen entry into the name field has overwritten the
    // typed name; the edited instrument's entry holds it since the list opened.
    if (chosen != edited_ &&
        p.GetControlText(kDialog, EDITOR_INSTRUMENT_LIST) == entries_[size_t(chosen)])
        p.SetControlText(kDialog, EDITOR_INSTRUMENT_LIST, entries_[size_t(edited_)]);
    {
        Session session(*this);
        ClearStartedFlags();
        ReadEditorControls();
        StoreEdited(edited_);
        entries_[size_t(edited_)] = SoundBank[edited_].name;
        edited_ = chosen;
        current_instrument.store(static_cast<int16_t>(chosen), kRelaxed);
        p.SetControlText(kDialog, EDITOR_INSTRUMENT_LIST, entries_[size_t(chosen)]);
        if (LoadActiveSound(chosen)) RefreshEditor();
    }
    MarkSongModified();
}

void SoundEditor::OnCommand(int id, int notification) {
    if (id == EDITOR_INSTRUMENT_LIST) {
        if (notification == CMD_COMBO_OPENED) ListOpens();
        if (notification == CMD_COMBO_CHOSEN) InstrumentChosen();
        return;
    }
    if (id == EDITOR_WAVEFORM_TYPE_LIST) {
        if (notification != CMD_COMBO_CHOSEN) return;
        {
            Session session(*this);
            ClearStartedFlags();
            ReadEditorControls();
        }
        MarkSongModified();
        return;
    }
    if (id >= EDITOR_SOUND_TYPE_1 && id < EDITOR_SOUND_TYPE_1 + SOUND_TYPE_COUNT) {
        for (int t = 0; t < SOUND_TYPE_COUNT; ++t)
            desktop().SetChecked(kDialog, EDITOR_SOUND_TYPE_1 + t, EDITOR_SOUND_TYPE_1 + t == id);
        Session session(*this);
        ReadEditorControls();
        RefreshEditor();
        return;
    }
    switch (id) {
    case EDITOR_USE_LENGTH: {
        Session session(*this);
        ReadEditorControls();
        break;
    }
    case EDITOR_PLAY: {
        Session session(*this);
        ClearStartedFlags();
        ReadEditorControls();
        ClearStartedFlags();
        StartActiveSound();
        DrawDisplay(); // the display shows the very render that plays
        break;
    }
    case EDITOR_STOP: {
        Session session(*this);
        ReadEditorControls();
        StopChannel(engine.ActiveSound.soundType);
        break;
    }
    default: break; // Enter, Escape and every other command do nothing
    }
}

// ------------------------------------------------------------------------------ closing

void SoundEditor::OnClose() {
    {
        Session session(*this);
        open_ = false;
        StoreEdited(edited_);
    }
    FillCurrentSelectors();
    RedrawPatternView(play.current_row.load(kRelaxed), play.current_position.load(kRelaxed));
    displayWidth_ = displayHeight_ = 0;
    sound_editor_open = 0;
    desktop().EndDialog(kDialog);
}

SoundEditor& sound_editor() {
    return the_sound_editor;
}

void SoundEditor::StoreEdited(int k) {
    ReadInstrumentName(engine.ActiveSound.name);
    engine.ActiveSound.name[INSTRUMENT_NAME_SIZE - 1] = '\0';
    StoreActiveSound(k);
}

void SoundEditor::StoreIntoCurrentInstrument() {
    if (!open_) return;
    const EngineLockGuard lock(sound_engine_lock);
    StoreEdited(current_instrument.load(kRelaxed));
}
