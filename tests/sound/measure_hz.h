// The pitch of a mixed signal, for the end-to-end sound tests.
#pragma once

#include <cstdint>
#include <vector>

// Counts rising zero crossings of a signal around its mean.
inline double MeasureHz(const std::vector<int16_t>& mix, int from, int count, int rate) {
    double mean = 0;
    for (int i = from; i < from + count; ++i) mean += mix[i];
    mean /= count;
    int first = -1, last = -1, crossings = 0;
    for (int i = from + 1; i < from + count; ++i) {
        if (mix[i - 1] < mean && mix[i] >= mean) {
            if (first < 0) first = i;
            last = i;
            ++crossings;
        }
    }
    return crossings < 2 ? 0 : (crossings - 1) * double(rate) / (last - first);
}

