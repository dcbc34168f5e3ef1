// readTag and decodeEacute over any body: never past the body, never past the field.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "web/xml_tags.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The body is copied to its own allocation so that any read past it is caught.
    std::vector<std::uint8_t> body(data, data + size);
    for (const char* tag : {"PRENOM", "VILLE", "PHRASE", "BACKGROUND"}) {
        char field[64];
        std::memset(field, 'x', sizeof field);
        field[63] = '\0';
        orvane::web::readTag(body, tag, field, sizeof field);
        field[63] = '\0';
        orvane::web::decodeEacute(field);
        orvane::web::parseHexColour(field);
    }
    return 0;
}
