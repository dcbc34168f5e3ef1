// Windows reads a narrow path in the ANSI code page: a UTF-8 name is converted to UTF-16 and
// opened with the wide function, so any name the file chooser can return opens.
#include <windows.h>

#include <cstdio>
#include <string>

#include "platform/file.h"

namespace orvane::platform {

std::FILE* openFileForReading(const std::string& path) {
    if (path.empty() || path.size() > 32767) return nullptr;
    // A path that is not valid UTF-8 is refused rather than opened under a mangled name.
    const int size = static_cast<int>(path.size());
    const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path.data(), size, nullptr, 0);
    if (n <= 0) return nullptr;
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path.data(), size, wide.data(), n) != n) return nullptr;
    return ::_wfopen(wide.c_str(), L"rb");
}

}  // namespace orvane::platform
