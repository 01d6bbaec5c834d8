#include "sound/instrument_bank.h"

#include <cstdio>
#include <cstring>

Instrument SoundBank[INSTRUMENT_COUNT];
std::atomic<int16_t> current_instrument{0};

namespace {

// Copies a name up to and including its NUL, never more than the 32-byte field; the bytes after
// the NUL in the destination stay as they were, so a record loaded from a file is saved back
// byte for byte.
void CopyName(char* to, const char* from) {
    for (int i = 0; i < INSTRUMENT_NAME_SIZE - 1; ++i) {
        to[i] = from[i];
        if (from[i] == '\0') return;
    }
    to[INSTRUMENT_NAME_SIZE - 1] = '\0';
}

void PutU32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
void PutI32(uint8_t* p, int32_t v) {
    PutU32(p, static_cast<uint32_t>(v));
}
uint32_t GetU32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
int32_t GetI32(const uint8_t* p) {
    return static_cast<int32_t>(GetU32(p));
}

} // namespace

void InitSoundBank() {
    for (int k = 0; k < INSTRUMENT_COUNT; ++k) {
        Instrument& r = SoundBank[k];
        r = Instrument{};
        std::snprintf(r.name, sizeof r.name, "dummy %d", k);
        r.soundType = 0;
        r.testFrequency = 128;
        r.soundLength = 25;
        r.lengthSeconds = 0.25;
    }
    ClearStartedFlags();
    current_instrument.store(0, std::memory_order_relaxed);
}

bool LoadActiveSound(int k) {
    if (k < 0 || k >= INSTRUMENT_COUNT) return false;
    const Instrument& r = SoundBank[k];
    if (SoundTypeStarted(r.soundType)) return false;
    engine.ActiveSound.soundType = r.soundType;
    CopyName(engine.ActiveSound.name, r.name);
    engine.ActiveSound.testFrequency = r.testFrequency;
    engine.ActiveSound.soundLength = r.soundLength;
    engine.ActiveSound.lengthSeconds = r.lengthSeconds;
    engine.ActiveSound.useLength = r.useLength;
    engine.ActiveSound.initVolume = r.initVolume;
    engine.ActiveSound.fade = r.fade;
    engine.ActiveSound.period = r.period;
    engine.ActiveSound.pitchBend = r.pitchBend;
    engine.ActiveSound.waveform = r.waveform;
    engine.ActiveSound.waveformType = r.waveformType;
    return true;
}

void StoreActiveSound(int k) {
    if (k < 0 || k >= INSTRUMENT_COUNT) return;
    Instrument& r = SoundBank[k];
    CopyName(r.name, engine.ActiveSound.name);
    r.soundType = engine.ActiveSound.soundType;
    r.testFrequency = engine.ActiveSound.testFrequency;
    r.soundLength = engine.ActiveSound.soundLength;
    r.lengthSeconds = engine.ActiveSound.lengthSeconds;
    r.useLength = engine.ActiveSound.useLength;
    r.initVolume = engine.ActiveSound.initVolume;
    r.fade = engine.ActiveSound.fade;
    r.period = engine.ActiveSound.period;
    r.pitchBend = engine.ActiveSound.pitchBend;
    r.waveform = engine.ActiveSound.waveform;
    r.waveformType = engine.ActiveSound.waveformType;
}

void FormatInstrumentLabel(int k, char* out, std::size_t size) {
    if (size == 0) return;
    if (k < 0 || k >= INSTRUMENT_COUNT) {
        out[0] = '\0';
        return;
    }
    const Instrument& r = SoundBank[k];
    std::snprintf(out, size, "(%x)%.31s[%lld]", static_cast<unsigned>(k), r.name,
                  static_cast<long long>(r.soundType) + 1);
}

void EncodeInstrument(const Instrument& in, uint8_t out[INSTRUMENT_RECORD_SIZE]) {
    std::memcpy(out, in.name, INSTRUMENT_NAME_SIZE);
    PutI32(out + 32, in.soundType);
    PutI32(out + 36, in.testFrequency);
    PutI32(out + 40, in.soundLength);
    PutI32(out + 44, in.reserved44);
    uint64_t bits;
    std::memcpy(&bits, &in.lengthSeconds, sizeof bits);
    PutU32(out + 48, static_cast<uint32_t>(bits));
    PutU32(out + 52, static_cast<uint32_t>(bits >> 32));
    PutI32(out + 56, in.useLength);
    PutI32(out + 60, in.initVolume);
    PutI32(out + 64, in.fade);
    PutI32(out + 68, in.period);
    PutI32(out + 72, in.pitchBend);
    PutI32(out + 76, in.waveform);
    PutI32(out + 80, in.waveformType);
    PutI32(out + 84, in.reserved84);
}

void DecodeInstrument(const uint8_t in[INSTRUMENT_RECORD_SIZE], Instrument& out) {
    std::memcpy(out.name, in, INSTRUMENT_NAME_SIZE);
    if (!std::memchr(out.name, '\0', INSTRUMENT_NAME_SIZE))
        out.name[INSTRUMENT_NAME_SIZE - 1] = '\0';
    out.soundType = GetI32(in + 32);
    out.testFrequency = GetI32(in + 36);
    out.soundLength = GetI32(in + 40);
    out.reserved44 = GetI32(in + 44);
    const uint64_t bits = uint64_t(GetU32(in + 48)) | uint64_t(GetU32(in + 52)) << 32;
    std::memcpy(&out.lengthSeconds, &bits, sizeof bits);
    out.useLength = GetI32(in + 56);
    out.initVolume = GetI32(in + 60);
    out.fade = GetI32(in + 64);
    out.period = GetI32(in + 68);
    out.pitchBend = GetI32(in + 72);
    out.waveform = GetI32(in + 76);
    out.waveformType = GetI32(in + 80);
    out.reserved84 = GetI32(in + 84);
}
