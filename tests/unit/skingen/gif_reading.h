#pragma once
// A strict reader for the animated picture: it refuses anything a careful decoder would, so
// the writer cannot lean on lenient readers.
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "tests/unit/skingen/binary_reading.h"

namespace orvane::skingen::testing {

// Decodes one LZW code stream; nothing on a malformed stream (a code not yet defined, no end
// code, a first code that is not a literal).
inline std::optional<std::vector<std::uint8_t>> lzwDecode(std::span<const std::uint8_t> data, int minCodeSize) {
    const unsigned clearCode = 1u << minCodeSize;
    const unsigned endCode = clearCode + 1;
    std::vector<std::uint16_t> prefix(4096);
    std::vector<std::uint8_t> suffix(4096);
    std::vector<std::uint8_t> out;
    std::vector<std::uint8_t> text;
    int width = minCodeSize + 1;
    unsigned next = endCode + 1;
    int previous = -1;
    std::size_t bitPos = 0;

    auto stringOf = [&](unsigned code) {
        text.clear();
        while (code >= clearCode + 2) {
            text.push_back(suffix[code]);
            code = prefix[code];
        }
        text.push_back(static_cast<std::uint8_t>(code));
        std::vector<std::uint8_t> forward(text.rbegin(), text.rend());
        return forward;
    };

    for (;;) {
        if (bitPos + static_cast<std::size_t>(width) > data.size() * 8) return std::nullopt;  // no end code
        unsigned code = 0;
        for (int i = 0; i < width; ++i, ++bitPos) {
            code |= ((data[bitPos / 8] >> (bitPos % 8)) & 1u) << i;
        }
        if (code == clearCode) {
            width = minCodeSize + 1;
            next = endCode + 1;
            previous = -1;
            continue;
        }
        if (code == endCode) return out;
        if (previous < 0) {
            if (code >= clearCode) return std::nullopt;
            out.push_back(static_cast<std::uint8_t>(code));
            previous = static_cast<int>(code);
            continue;
        }
        std::vector<std::uint8_t> current;
        if (code < next && code != clearCode && code != endCode) {
            current = stringOf(code);
        } else if (code == next) {
            current = stringOf(static_cast<unsigned>(previous));
            current.push_back(current.front());
        } else {
            return std::nullopt;
        }
        out.insert(out.end(), current.begin(), current.end());
        if (next < 4096) {
            prefix[next] = static_cast<std::uint16_t>(previous);
            suffix[next] = current.front();
            ++next;
            if (next == (1u << width) && width < 12) ++width;
        }
        previous = static_cast<int>(code);
    }
}

struct GifRead {
    struct Frame {
        std::vector<std::uint8_t> indices;
        int delayCentiseconds = -1;  // -1: no Graphic Control Extension before the frame
        int transparentIndex = -1;
        int disposal = 0;
    };
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> palette;
    int loopCount = -1;  // -1: no looping extension
    std::vector<Frame> frames;

    // Frame i as a viewer shows it: each frame laid over the previous picture.
    std::vector<std::vector<std::uint32_t>> composited() const {
        std::vector<std::vector<std::uint32_t>> out;
        std::vector<std::uint32_t> canvas(static_cast<std::size_t>(width) * height, 0);
        for (const Frame& f : frames) {
            for (std::size_t i = 0; i < canvas.size(); ++i) {
                if (f.indices[i] != f.transparentIndex) canvas[i] = palette[f.indices[i]];
            }
            out.push_back(canvas);
        }
        return out;
    }
};

// Full-size frames, global palette only (what the skin writes); nothing on anything else.
inline std::optional<GifRead> parseGif(std::span<const std::uint8_t> b) {
    if (b.size() < 13 || std::string_view(reinterpret_cast<const char*>(b.data()), 6) != "GIF89a") return std::nullopt;
    GifRead gif;
    gif.width = static_cast<int>(le16(b, 6));
    gif.height = static_cast<int>(le16(b, 8));
    const unsigned packed = b[10];
    if (!(packed & 0x80u)) return std::nullopt;
    const std::size_t colours = std::size_t{2} << (packed & 7u);
    std::size_t at = 13;
    if (b.size() < at + 3 * colours) return std::nullopt;
    for (std::size_t i = 0; i < colours; ++i, at += 3) {
        gif.palette.push_back(static_cast<std::uint32_t>(b[at]) << 16 | static_cast<std::uint32_t>(b[at + 1]) << 8 | b[at + 2]);
    }
    auto subBlocks = [&](std::vector<std::uint8_t>* into) -> bool {
        for (;;) {
            if (at >= b.size()) return false;
            const std::size_t n = b[at++];
            if (n == 0) return true;
            if (at + n > b.size()) return false;
            if (into) into->insert(into->end(), b.begin() + static_cast<std::ptrdiff_t>(at), b.begin() + static_cast<std::ptrdiff_t>(at + n));
            at += n;
        }
    };
    GifRead::Frame pending;
    while (at < b.size()) {
        const std::uint8_t kind = b[at++];
        if (kind == 0x3B) return gif;
        if (kind == 0x21 && at < b.size()) {
            const std::uint8_t label = b[at++];
            std::vector<std::uint8_t> body;
            if (!subBlocks(&body)) return std::nullopt;
            if (label == 0xF9 && body.size() == 4) {
                pending.disposal = (body[0] >> 2) & 7;
                pending.delayCentiseconds = static_cast<int>(le16(body, 1));
                pending.transparentIndex = (body[0] & 1u) ? body[3] : -1;
            } else if (label == 0xFF && body.size() == 14 &&
                       std::string_view(reinterpret_cast<const char*>(body.data()), 11) == "NETSCAPE2.0" && body[11] == 1) {
                gif.loopCount = static_cast<int>(le16(body, 12));
            }
            continue;
        }
        if (kind != 0x2C || at + 10 > b.size()) return std::nullopt;
        if (le16(b, at) != 0 || le16(b, at + 2) != 0 || static_cast<int>(le16(b, at + 4)) != gif.width ||
            static_cast<int>(le16(b, at + 6)) != gif.height || b[at + 8] != 0) {
            return std::nullopt;
        }
        const int minCodeSize = b[at + 9];
        at += 10;
        std::vector<std::uint8_t> data;
        if (minCodeSize < 2 || minCodeSize > 8 || !subBlocks(&data)) return std::nullopt;
        auto indices = lzwDecode(data, minCodeSize);
        if (!indices || indices->size() != static_cast<std::size_t>(gif.width) * gif.height) return std::nullopt;
        for (std::uint8_t i : *indices) {
            if (i >= gif.palette.size()) return std::nullopt;
        }
        pending.indices = std::move(*indices);
        gif.frames.push_back(std::move(pending));
        pending = GifRead::Frame{};
    }
    return std::nullopt;  // no trailer
}

}  // namespace orvane::skingen::testing
