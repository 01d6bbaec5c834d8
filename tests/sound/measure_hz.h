// For the end-to-end sound tests: a steady pulse note started as the note path does, and the
// pitch of a mixed signal.
#pragma once

#include "sound/audio_output.h"
#include "sound/synthesis.h"

#include <algorithm>
#include <cstdint>
#include <vector>

// Where a signal crosses its mean upwards in a span of it.
inline std::vector<size_t> RisingCrossings(const std::vector<int16_t>& mix, size_t from,
                                           size_t count) {
    double mean = 0;
    for (size_t i = from; i < from + count; ++i) mean += mix[i];
    mean /= static_cast<double>(count);
    std::vector<size_t> at;
    for (size_t i = from + 1; i < from + count; ++i)
        if (mix[i - 1] < mean && mix[i] >= mean) at.push_back(i);
    return at;
}

// The pitch from the rising crossings of the mean, first to last.
inline double MeasureHz(const std::vector<int16_t>& mix, int from, int count, int rate) {
    const std::vector<size_t> at = RisingCrossings(mix, size_t(from), size_t(count));
    return at.size() < 2 ? 0 : double(at.size() - 1) * rate / double(at.back() - at.front());
}

// The pitch from the median single period: a sound server's glitch or gap, which adds or
// drops a crossing, moves only a few periods.
inline double MedianPeriodHz(const std::vector<int16_t>& mix, size_t from, size_t count,
                             int rate) {
    const std::vector<size_t> at = RisingCrossings(mix, from, count);
    if (at.size() < 2) return 0;
    std::vector<size_t> periods;
    for (size_t i = 1; i < at.size(); ++i) periods.push_back(at[i] - at[i - 1]);
    std::nth_element(periods.begin(), periods.begin() + periods.size() / 2, periods.end());
    return double(rate) / double(periods[periods.size() / 2]);
}

// Renders a note of sound type 1 (a steady pulse at full volume) at `hz` and starts it. With
// `useLength` it plays its whole buffer once; otherwise it loops. Engine lock not needed in the
// tests' single thread.
inline void StartPulseNote(int hz, int useLength = 0) {
    ClearStartedFlags();
    engine.ActiveSound = {};
    engine.ActiveSound.soundType = 1;
    engine.ActiveSound.testFrequency = hz;
    engine.ActiveSound.initVolume = 15;
    engine.ActiveSound.fade = 7;
    engine.ActiveSound.useLength = useLength;
    engine.ActiveSound.lengthSeconds = 2.0; // longer than the buffer: it sounds to its end
    engine.ActiveSound.waveform = 2;
    SelectRenderBuffer(1);
    RenderSound(1);
    StartSound(1);
}
