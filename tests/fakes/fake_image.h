#pragma once
// What the fake decoder of fake_image.cpp reads: the first 24 bytes of a PNG file.
#include <string>

namespace orvane::test {

// The first 24 bytes of a PNG file of w x h pixels (all the fake decoder reads).
inline std::string pngHeader(int w, int h) {
    std::string s("\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR", 16);
    for (int v : {w, h})
        for (int shift = 24; shift >= 0; shift -= 8) s.push_back(static_cast<char>((v >> shift) & 0xFF));
    return s;
}

}  // namespace orvane::test
