// Percent-encoding of a request target the way the platform's default escaping does it: only
// bytes that cannot appear raw on the request line are encoded; "%" and "/" stay as they are.
#include <cstring>

#include "platform/https.h"

namespace orvane::platform {

std::string escapeRequestPath(std::string_view path) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(path.size());
    for (char ch : path) {
        const auto b = static_cast<unsigned char>(ch);
        const bool unsafe = b <= 0x20 || b >= 0x7F || std::strchr("\"#<>\\^`{|}", ch) != nullptr;
        if (unsafe && b != 0) {
            out.push_back('%');
            out.push_back(kHex[b >> 4]);
            out.push_back(kHex[b & 0x0F]);
        } else if (b != 0) {
            out.push_back(ch);
        }
    }
    return out;
}

}  // namespace orvane::platform
