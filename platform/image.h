#pragma once
// Pixel images and the decoders the system needs. Images are plain memory, so the portable
// code can read and change pixels itself; decoding is the platform's.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace orvane::platform {

// 32-bit pixels 0xAARRGGBB, rows top to bottom.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;

    Image() = default;
    Image(int w, int h, std::uint32_t fill = 0xFF000000u)
        : width(w), height(h), pixels(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), fill) {}

    bool empty() const { return width <= 0 || height <= 0; }
    std::uint32_t at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
    std::uint32_t& at(int x, int y) { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

// A BMP file read by name (LoadImage from file). Nothing when missing or unreadable.
std::optional<Image> loadBmpFile(const std::string& path);

// A complete BMP file held in memory (a LED image of the container).
std::optional<Image> decodeBmpBytes(std::span<const std::uint8_t> bytes);

// PNG only: anything else (or fewer than 8 bytes, or a bad signature) gives nothing.
// Transparent pixels come out blended on opaque black.
std::optional<Image> decodePngBytes(std::span<const std::uint8_t> bytes);

// Any common format (PNG, JPEG, BMP, GIF at least), composited on opaque black.
std::optional<Image> decodeAnyImage(std::span<const std::uint8_t> bytes);

// Every frame of an animated picture file with its delay. `hasDelays` is false when the file
// carries no frame delays (the caller then uses its own default).
struct AnimationFile {
    std::vector<Image> frames;
    std::vector<int> delaysMs;  // one per frame when hasDelays
    bool hasDelays = false;
};
std::optional<AnimationFile> loadAnimationFile(const std::string& path);

// The image turned clockwise by `degrees` about its centre, same size; uncovered pixels are
// opaque black.
Image rotateImage(const Image& source, double degrees);

// A device icon by the two parts of its icon location ("file,number"): on Windows the icon
// `number` of an icon, program or library file (ExtractIcon: from 0 the n-th icon, negative
// the icon whose resource number is -number); with an icon theme, the icon named `file` (a
// sound device's icon name such as "audio-input-microphone"), whose one icon is number 0.
// size x size, composited on `background` (0xAARRGGBB). Nothing when there is no such icon.
// Needs the host UI (createHostUi) in this process.
std::optional<Image> loadIconImage(const std::string& file, int number, int size, std::uint32_t background);

// Scales `source` to w x h (smooth, like a halftone stretch).
Image scaleImage(const Image& source, int w, int h);

}  // namespace orvane::platform
