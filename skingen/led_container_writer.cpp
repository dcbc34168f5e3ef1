#include "skingen/led_container_writer.h"

#include "base/byte_writer.h"

namespace orvane::skingen {

std::optional<std::vector<std::uint8_t>> buildLedContainer(const std::vector<LedImageFile>& images) {
    if (images.size() > display::kMaxLedEntries) return std::nullopt;  // the reader would take none
    for (const LedImageFile& image : images) {
        if (image.name.empty() || image.name.size() >= display::kLedNameBytes) return std::nullopt;
    }
    std::vector<std::uint8_t> out;
    base::putU32(out, static_cast<std::uint32_t>(images.size()));
    std::uint32_t offset = static_cast<std::uint32_t>(display::kLedCountBytes + display::kLedEntryBytes * images.size());
    for (const LedImageFile& image : images) {
        base::putText(out, image.name);
        out.resize(out.size() + (display::kLedNameBytes - image.name.size()), 0);
        base::putU32(out, offset);
        base::putU32(out, static_cast<std::uint32_t>(image.bytes.size()));
        offset += static_cast<std::uint32_t>(image.bytes.size());
    }
    for (const LedImageFile& image : images) out.insert(out.end(), image.bytes.begin(), image.bytes.end());
    return out;
}

}  // namespace orvane::skingen
