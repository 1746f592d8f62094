#include "ui/image_resample.h"

#include <algorithm>
#include <cstddef>

namespace zorv::ui {

namespace {

constexpr int kWeightBits = 14;
constexpr int32_t kWeightOne = 1 << kWeightBits;

struct Tap {
    int source;
    int32_t weight;  // in 1 / kWeightOne
};

// The source pixels that make up each of `target` pixels along an axis of
// `source` pixels, with integer weights that add up to kWeightOne.
using AxisTaps = std::vector<std::vector<Tap>>;

// Shrinking: target pixel j covers the source span [j·n/m, (j+1)·n/m); in
// units of 1/m of a source pixel both ends are whole numbers, and each source
// pixel counts by its overlap with that span.
std::vector<Tap> AreaTaps(int j, int n, int m) {
    int64_t from = int64_t(j) * n, to = int64_t(j + 1) * n;
    std::vector<Tap> taps;
    for (int i = int(from / m); i < n && int64_t(i) * m < to; ++i) {
        int64_t overlap = std::min(to, int64_t(i + 1) * m) - std::max(from, int64_t(i) * m);
        if (overlap > 0) taps.push_back({i, int32_t(overlap * kWeightOne / n)});
    }
    return taps;
}

// Enlarging: target pixel j's centre lies at source position
// ((2j + 1)·n − m) / 2m; it is interpolated between the two source pixels
// around it (the edge pixel repeats beyond the edges).
std::vector<Tap> LinearTaps(int j, int n, int m) {
    int64_t position = int64_t(2 * j + 1) * n - m, unit = 2 * int64_t(m);
    int64_t first = position >= 0 ? position / unit : -((-position + unit - 1) / unit);
    int64_t fraction = position - first * unit;
    int32_t second = int32_t(fraction * kWeightOne / unit);
    auto clamp = [n](int64_t i) { return int(std::clamp<int64_t>(i, 0, n - 1)); };
    return {{clamp(first), kWeightOne - second}, {clamp(first + 1), second}};
}

AxisTaps TapsFor(int n, int m) {
    AxisTaps all(static_cast<std::size_t>(m));
    for (int j = 0; j < m; ++j) {
        std::vector<Tap> taps = m < n ? AreaTaps(j, n, m) : LinearTaps(j, n, m);
        // The truncated weights fall short of one by a little; the largest
        // takes the rest, so a plain colour stays exactly that colour.
        int32_t total = 0;
        for (const Tap& tap : taps) total += tap.weight;
        std::max_element(taps.begin(), taps.end(), [](const Tap& a, const Tap& b) { return a.weight < b.weight; })
            ->weight += kWeightOne - total;
        all[static_cast<std::size_t>(j)] = std::move(taps);
    }
    return all;
}

}  // namespace

PremultipliedImage ResampleImage(const PremultipliedImage& source, int width, int height) {
    const int n = source.width, rows = source.height;
    if (n <= 0 || rows <= 0 || width <= 0 || height <= 0 ||
        source.pixels.size() < std::size_t(n) * std::size_t(rows) * 4)
        return {};
    const AxisTaps across = TapsFor(n, width), down = TapsFor(rows, height);
    // Across first, into 16-bit values holding 8 more bits of the result.
    std::vector<uint16_t> wide(std::size_t(width) * std::size_t(rows) * 4);
    for (int y = 0; y < rows; ++y) {
        const uint8_t* in = source.pixels.data() + std::size_t(y) * std::size_t(n) * 4;
        uint16_t* out = wide.data() + std::size_t(y) * std::size_t(width) * 4;
        for (int x = 0; x < width; ++x)
            for (int channel = 0; channel < 4; ++channel) {
                int32_t sum = 0;
                for (const Tap& tap : across[std::size_t(x)]) sum += tap.weight * in[std::size_t(tap.source) * 4 + channel];
                out[std::size_t(x) * 4 + channel] = uint16_t((sum + (1 << 5)) >> 6);
            }
    }
    PremultipliedImage result{width, height, std::vector<uint8_t>(std::size_t(width) * std::size_t(height) * 4)};
    for (int y = 0; y < height; ++y) {
        uint8_t* out = result.pixels.data() + std::size_t(y) * std::size_t(width) * 4;
        for (int x = 0; x < width; ++x)
            for (int channel = 0; channel < 4; ++channel) {
                int32_t sum = 0;
                for (const Tap& tap : down[std::size_t(y)])
                    sum += tap.weight * wide[(std::size_t(tap.source) * std::size_t(width) + std::size_t(x)) * 4 + channel];
                out[std::size_t(x) * 4 + channel] = uint8_t(std::min<int32_t>(255, (sum + (1 << 21)) >> 22));
            }
    }
    return result;
}

}  // namespace zorv::ui
