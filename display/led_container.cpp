#include "display/led_container.h"

#include <cstring>
#include <fstream>
#include <iterator>

namespace orvane::display {

namespace {

std::uint32_t readU32(std::span<const std::uint8_t> b, std::size_t at) {
    return static_cast<std::uint32_t>(b[at]) | (static_cast<std::uint32_t>(b[at + 1]) << 8) |
           (static_cast<std::uint32_t>(b[at + 2]) << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}
}  // namespace

std::optional<std::vector<LedContainerEntry>> readLedTable(std::span<const std::uint8_t> file) {
    if (file.size() < kLedCountBytes) return std::nullopt;
    std::uint32_t count = readU32(file, 0);
    if (count > kMaxLedEntries) return std::nullopt;
    if (file.size() < kLedCountBytes + count * kLedEntryBytes) return std::nullopt;
    std::vector<LedContainerEntry> table(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        std::size_t at = kLedCountBytes + i * kLedEntryBytes;
        std::memcpy(table[i].name, file.data() + at, kLedNameBytes);
        table[i].name[kLedNameBytes] = '\0';
        table[i].offset = readU32(file, at + kLedNameBytes);
        table[i].size = readU32(file, at + kLedNameBytes + 4);
    }
    return table;
}

std::optional<std::span<const std::uint8_t>> findLedImage(std::span<const std::uint8_t> file,
                                                          const std::vector<LedContainerEntry>& table,
                                                          const char* name) {
    for (const LedContainerEntry& e : table) {
        if (std::strcmp(e.name, name) != 0) continue;
        // Only the first entry of a name counts, even when it is unusable.
        if (e.offset > file.size() || e.size > file.size() - e.offset) return std::nullopt;
        return file.subspan(e.offset, e.size);
    }
    return std::nullopt;
}

LedImages decodeLedContainer(std::span<const std::uint8_t> file) {
    LedImages leds;
    auto table = readLedTable(file);
    if (!table) return leds;
    for (int code = kLampRed; code <= kLampDarkBlue; ++code) {
        if (auto bytes = findLedImage(file, *table, kLedNames[code])) {
            leds.byCode[code] = platform::decodeBmpBytes(*bytes);
        }
    }
    return leds;
}

LedImages loadLedContainer(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return decodeLedContainer(bytes);
}

}  // namespace orvane::display
