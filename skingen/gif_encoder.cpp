#include "skingen/gif_encoder.h"

#include <algorithm>

#include "base/byte_writer.h"

namespace orvane::skingen {
namespace {

constexpr int kMaxCodeBits = 12;
constexpr unsigned kMaxCodes = 1u << kMaxCodeBits;

// Codes go out least significant bit first.
class CodeWriter {
public:
    explicit CodeWriter(std::vector<std::uint8_t>& out) : out_(out) {}

    void write(unsigned code, int bits) {
        buffer_ |= static_cast<std::uint32_t>(code) << pending_;
        pending_ += bits;
        while (pending_ >= 8) {
            out_.push_back(static_cast<std::uint8_t>(buffer_ & 0xFFu));
            buffer_ >>= 8;
            pending_ -= 8;
        }
    }

    void flush() {
        if (pending_ > 0) out_.push_back(static_cast<std::uint8_t>(buffer_ & 0xFFu));
        buffer_ = 0;
        pending_ = 0;
    }

private:
    std::vector<std::uint8_t>& out_;
    std::uint32_t buffer_ = 0;
    int pending_ = 0;
};

// String table keyed by (prefix code, next index); 0 marks a free slot, since no string ever
// gets code 0 (the literal codes come first).
class StringTable {
public:
    explicit StringTable(unsigned alphabet) : alphabet_(alphabet), next_(kMaxCodes * alphabet, 0) {}
    std::uint16_t find(unsigned prefix, std::uint8_t index) const { return next_[prefix * alphabet_ + index]; }
    void add(unsigned prefix, std::uint8_t index, unsigned code) {
        next_[prefix * alphabet_ + index] = static_cast<std::uint16_t>(code);
    }
    void clear() { std::fill(next_.begin(), next_.end(), 0); }

private:
    unsigned alphabet_;
    std::vector<std::uint16_t> next_;
};

int paletteBits(std::size_t colours) {
    int bits = 1;
    while ((std::size_t{1} << bits) < colours) ++bits;
    return bits;
}

void putSubBlocks(std::vector<std::uint8_t>& out, const std::vector<std::uint8_t>& data) {
    for (std::size_t at = 0; at < data.size(); at += 255) {
        const std::size_t n = std::min<std::size_t>(255, data.size() - at);
        base::putU8(out, static_cast<unsigned>(n));
        out.insert(out.end(), data.begin() + static_cast<std::ptrdiff_t>(at),
                   data.begin() + static_cast<std::ptrdiff_t>(at + n));
    }
    base::putU8(out, 0);
}

bool consistent(const GifAnimation& a) {
    if (a.width <= 0 || a.height <= 0 || a.width > 0xFFFF || a.height > 0xFFFF) return false;
    if (a.palette.empty() || a.palette.size() > 256 || a.frames.empty()) return false;
    const std::size_t pixels = static_cast<std::size_t>(a.width) * static_cast<std::size_t>(a.height);
    for (const GifFrame& f : a.frames) {
        if (f.indices.size() != pixels || f.delayCentiseconds < 0 || f.delayCentiseconds > 0xFFFF) return false;
        if (f.transparentIndex >= static_cast<int>(a.palette.size())) return false;
        for (std::uint8_t i : f.indices) {
            if (i >= a.palette.size()) return false;
        }
    }
    return a.loopCount >= 0 && a.loopCount <= 0xFFFF;
}

}  // namespace

std::vector<std::uint8_t> lzwCompress(std::span<const std::uint8_t> indices, int minCodeSize) {
    if (minCodeSize < 2 || minCodeSize > 8) return {};
    const unsigned clearCode = 1u << minCodeSize;
    const unsigned endCode = clearCode + 1;
    for (std::uint8_t index : indices) {
        if (index >= clearCode) return {};
    }
    std::vector<std::uint8_t> out;
    CodeWriter writer(out);
    StringTable table(clearCode);
    int codeBits = minCodeSize + 1;
    unsigned nextCode = endCode + 1;

    // The reader adds one string per code it reads, one step behind the writer, and widens its
    // codes when its next free code reaches 2^bits. Adding a string here therefore widens the
    // codes that follow as soon as the added code equals 2^bits.
    auto addString = [&](unsigned prefix, std::uint8_t index) {
        table.add(prefix, index, nextCode);
        if (nextCode == (1u << codeBits) && codeBits < kMaxCodeBits) ++codeBits;
        ++nextCode;
    };

    writer.write(clearCode, codeBits);
    if (indices.empty()) {
        writer.write(endCode, codeBits);
        writer.flush();
        return out;
    }
    unsigned prefix = indices[0];
    for (std::size_t i = 1; i < indices.size(); ++i) {
        const std::uint8_t index = indices[i];
        if (const std::uint16_t code = table.find(prefix, index); code != 0) {
            prefix = code;
            continue;
        }
        writer.write(prefix, codeBits);
        if (nextCode < kMaxCodes) {
            addString(prefix, index);
        } else {
            writer.write(clearCode, codeBits);
            table.clear();
            codeBits = minCodeSize + 1;
            nextCode = endCode + 1;
        }
        prefix = index;
    }
    writer.write(prefix, codeBits);
    // The reader still adds a string after this last code, which may widen the end code.
    if (nextCode < kMaxCodes && nextCode == (1u << codeBits) && codeBits < kMaxCodeBits) ++codeBits;
    writer.write(endCode, codeBits);
    writer.flush();
    return out;
}

void keepOnlyChanges(std::vector<GifFrame>& frames, std::uint8_t transparentIndex) {
    if (frames.empty()) return;
    std::vector<std::uint8_t> previous = frames.front().indices;
    for (std::size_t f = 1; f < frames.size(); ++f) {
        std::vector<std::uint8_t>& indices = frames[f].indices;
        if (indices.size() != previous.size()) {
            previous = indices;
            continue;
        }
        std::vector<std::uint8_t> whole = indices;
        for (std::size_t i = 0; i < indices.size(); ++i) {
            if (indices[i] == previous[i]) indices[i] = transparentIndex;
        }
        frames[f].transparentIndex = transparentIndex;
        previous = std::move(whole);
    }
}

std::vector<std::uint8_t> encodeGif(const GifAnimation& animation) {
    if (!consistent(animation)) return {};
    const int bits = paletteBits(animation.palette.size());
    const int minCodeSize = std::max(2, bits);
    std::vector<std::uint8_t> out;

    base::putText(out, "GIF89a");
    base::putU16(out, static_cast<unsigned>(animation.width));
    base::putU16(out, static_cast<unsigned>(animation.height));
    base::putU8(out, 0x80u | (7u << 4) | static_cast<unsigned>(bits - 1));  // global palette, 8-bit source
    base::putU8(out, 0);  // background colour index
    base::putU8(out, 0);  // square pixels
    for (std::size_t i = 0; i < (std::size_t{1} << bits); ++i) {
        const std::uint32_t c = i < animation.palette.size() ? animation.palette[i] : 0;
        base::putU8(out, (c >> 16) & 0xFFu);
        base::putU8(out, (c >> 8) & 0xFFu);
        base::putU8(out, c & 0xFFu);
    }

    base::putU8(out, 0x21);
    base::putU8(out, 0xFF);
    base::putU8(out, 11);
    base::putText(out, "NETSCAPE2.0");
    base::putU8(out, 3);
    base::putU8(out, 1);
    base::putU16(out, static_cast<unsigned>(animation.loopCount));
    base::putU8(out, 0);

    for (const GifFrame& frame : animation.frames) {
        base::putU8(out, 0x21);
        base::putU8(out, 0xF9);
        base::putU8(out, 4);
        const bool transparent = frame.transparentIndex >= 0;
        base::putU8(out, (1u << 2) | (transparent ? 1u : 0u));  // each frame stays under the next one
        base::putU16(out, static_cast<unsigned>(frame.delayCentiseconds));
        base::putU8(out, transparent ? static_cast<unsigned>(frame.transparentIndex) : 0u);
        base::putU8(out, 0);

        base::putU8(out, 0x2C);
        base::putU16(out, 0);
        base::putU16(out, 0);
        base::putU16(out, static_cast<unsigned>(animation.width));
        base::putU16(out, static_cast<unsigned>(animation.height));
        base::putU8(out, 0);  // no local palette, not interlaced

        base::putU8(out, static_cast<unsigned>(minCodeSize));
        putSubBlocks(out, lzwCompress(frame.indices, minCodeSize));
    }
    base::putU8(out, 0x3B);
    return out;
}

}  // namespace orvane::skingen
