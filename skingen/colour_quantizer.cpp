#include "skingen/colour_quantizer.h"

#include <algorithm>
#include <limits>
#include <unordered_map>

namespace orvane::skingen {
namespace {

struct ColourCount {
    std::uint32_t colour;
    std::uint64_t count;
};

int channel(std::uint32_t colour, int c) { return static_cast<int>((colour >> (16 - 8 * c)) & 0xFFu); }

struct Box {
    std::vector<ColourCount> colours;
    std::uint64_t population = 0;
    int widestChannel = 0;
    int range = 0;

    void measure() {
        population = 0;
        range = -1;
        for (const ColourCount& cc : colours) population += cc.count;
        for (int c = 0; c < 3; ++c) {
            int lo = 255, hi = 0;
            for (const ColourCount& cc : colours) {
                lo = std::min(lo, channel(cc.colour, c));
                hi = std::max(hi, channel(cc.colour, c));
            }
            if (hi - lo > range) {
                range = hi - lo;
                widestChannel = c;
            }
        }
    }

    // Splitting a well-populated wide box removes the most visible error first.
    std::uint64_t priority() const { return colours.size() < 2 ? 0 : static_cast<std::uint64_t>(range) * population; }

    std::uint32_t meanColour() const {
        std::uint64_t sum[3] = {0, 0, 0};
        for (const ColourCount& cc : colours) {
            for (int c = 0; c < 3; ++c) sum[c] += static_cast<std::uint64_t>(channel(cc.colour, c)) * cc.count;
        }
        std::uint32_t out = 0;
        for (int c = 0; c < 3; ++c) {
            const std::uint64_t mean = (sum[c] + population / 2) / population;
            out |= static_cast<std::uint32_t>(mean) << (16 - 8 * c);
        }
        return out;
    }
};

// Halves a box at the population median along its widest channel; both halves keep at least
// one colour.
Box splitBox(Box& box) {
    const int c = box.widestChannel;
    std::sort(box.colours.begin(), box.colours.end(), [c](const ColourCount& a, const ColourCount& b) {
        return channel(a.colour, c) < channel(b.colour, c);
    });
    std::uint64_t running = 0;
    std::size_t cut = 1;
    for (std::size_t i = 0; i + 1 < box.colours.size(); ++i) {
        running += box.colours[i].count;
        cut = i + 1;
        if (running * 2 >= box.population) break;
    }
    Box upper;
    upper.colours.assign(box.colours.begin() + static_cast<std::ptrdiff_t>(cut), box.colours.end());
    box.colours.resize(cut);
    box.measure();
    upper.measure();
    return upper;
}

std::uint32_t distance(std::uint32_t a, std::uint32_t b) {
    // Weights follow the eye's sensitivity (green most, blue least).
    static constexpr int kWeight[3] = {3, 4, 2};
    std::uint32_t d = 0;
    for (int c = 0; c < 3; ++c) {
        const int diff = channel(a, c) - channel(b, c);
        d += static_cast<std::uint32_t>(kWeight[c] * diff * diff);
    }
    return d;
}

std::uint8_t nearest(const std::vector<std::uint32_t>& palette, std::uint32_t colour) {
    std::uint32_t best = std::numeric_limits<std::uint32_t>::max();
    std::size_t bestIndex = 0;
    for (std::size_t i = 0; i < palette.size(); ++i) {
        const std::uint32_t d = distance(palette[i], colour);
        if (d < best) {
            best = d;
            bestIndex = i;
        }
    }
    return static_cast<std::uint8_t>(bestIndex);
}

}  // namespace

IndexedFrames quantizeFrames(const std::vector<Raster>& frames, int maxColours) {
    maxColours = std::clamp(maxColours, 1, 256);
    std::unordered_map<std::uint32_t, std::uint64_t> histogram;
    for (const Raster& frame : frames) {
        for (std::uint32_t p : frame.pixels) ++histogram[p & 0xFFFFFFu];
    }

    IndexedFrames out;
    if (histogram.empty()) out.palette.push_back(0);
    if (!histogram.empty()) {
        Box all;
        for (const auto& [colour, count] : histogram) all.colours.push_back({colour, count});
        // A fixed order keeps the output identical from build to build.
        std::sort(all.colours.begin(), all.colours.end(),
                  [](const ColourCount& a, const ColourCount& b) { return a.colour < b.colour; });
        all.measure();
        std::vector<Box> boxes{std::move(all)};
        while (static_cast<int>(boxes.size()) < maxColours) {
            auto widest = std::max_element(boxes.begin(), boxes.end(),
                                           [](const Box& a, const Box& b) { return a.priority() < b.priority(); });
            if (widest->priority() == 0) break;
            Box upper = splitBox(*widest);
            boxes.push_back(std::move(upper));
        }
        for (const Box& box : boxes) out.palette.push_back(box.meanColour());
    }

    std::unordered_map<std::uint32_t, std::uint8_t> lookup;
    for (const auto& entry : histogram) lookup.emplace(entry.first, nearest(out.palette, entry.first));
    for (const Raster& frame : frames) {
        std::vector<std::uint8_t> indices(frame.pixels.size());
        std::transform(frame.pixels.begin(), frame.pixels.end(), indices.begin(),
                       [&lookup](std::uint32_t p) { return lookup.at(p & 0xFFFFFFu); });
        out.frames.push_back(std::move(indices));
    }
    return out;
}

}  // namespace orvane::skingen
