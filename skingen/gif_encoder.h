#pragma once
// GIF89a writer for looping animations: one global palette, full-size frames, a Graphic
// Control Extension per frame carrying its delay, and the looping application extension.
#include <cstdint>
#include <span>
#include <vector>

namespace orvane::skingen {

struct GifFrame {
    std::vector<std::uint8_t> indices;  // width x height palette indices, rows top to bottom
    int delayCentiseconds = 10;
    int transparentIndex = -1;  // pixels of this index keep the previous frame's; -1 for none
};

struct GifAnimation {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> palette;  // 0x00RRGGBB, 1..256 entries
    std::vector<GifFrame> frames;
    int loopCount = 0;  // 0 loops forever
};

// The variable-width LZW code stream of one image, as packed bytes (without the minimum code
// size byte and without the sub-block framing). Empty when `minCodeSize` is outside 2..8 or an
// index does not fit in it.
std::vector<std::uint8_t> lzwCompress(std::span<const std::uint8_t> indices, int minCodeSize);

// Turns every pixel of frames 1.. that repeats the previous frame into `transparentIndex`, so
// each frame only carries what moved; the first frame stays whole. Readers lay each frame over
// the one before (frames are never disposed), which rebuilds the same pictures.
void keepOnlyChanges(std::vector<GifFrame>& frames, std::uint8_t transparentIndex);

// Nothing is written (empty result) for an animation whose sizes, palette or frames are
// inconsistent: a frame of the wrong size, an index outside the palette, no frames.
std::vector<std::uint8_t> encodeGif(const GifAnimation& animation);

}  // namespace orvane::skingen
