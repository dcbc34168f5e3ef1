#pragma once
// Files the user names (a picture chosen for sharing, ...). Their paths are UTF-8 everywhere in
// the program; the C library's fopen reads a path in the system's own code page on some
// systems, where a name such as "Crème.png" would then not be found.
#include <cstdio>
#include <string>

namespace orvane::platform {

// Opens the file at the UTF-8 `path` for reading in binary mode; null when it cannot be opened.
// Closed with std::fclose.
std::FILE* openFileForReading(const std::string& path);

}  // namespace orvane::platform
