// Paths are bytes here; UTF-8 names need no conversion.
#include <cstdio>

#include "platform/file.h"

namespace orvane::platform {

std::FILE* openFileForReading(const std::string& path) { return std::fopen(path.c_str(), "rb"); }

}  // namespace orvane::platform
