#include "platform/linux/user_scope.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>

namespace orvane::platform::linux_user {

namespace {

bool sameNameIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
    }
    return true;
}

// The kernel's copy of a program name: at most 15 characters.
constexpr std::size_t kKernelNameLength = 15;

}  // namespace

bool isPrivateFolder(const std::string& path, uid_t uid) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return false;
    return S_ISDIR(st.st_mode) && st.st_uid == uid && (st.st_mode & 077) == 0;
}

std::string privateFolder(const char* runtimeDir, uid_t uid, const std::string& tmpRoot) {
    if (runtimeDir != nullptr && *runtimeDir == '/' && isPrivateFolder(runtimeDir, uid)) return runtimeDir;
    std::string own = tmpRoot + "/orvane-" + std::to_string(uid);
    ::mkdir(own.c_str(), 0700);  // refused when something is there already: checked below
    return isPrivateFolder(own, uid) ? own : std::string();
}

bool processOwner(const std::string& procRoot, const std::string& pid, uid_t& uid) {
    std::ifstream status(procRoot + "/" + pid + "/status");
    std::string line;
    while (std::getline(status, line)) {
        // "Uid:\t<real>\t<effective>\t<saved>\t<file system>"
        if (line.compare(0, 4, "Uid:") != 0) continue;
        char* end = nullptr;
        const unsigned long value = std::strtoul(line.c_str() + 4, &end, 10);
        if (end == line.c_str() + 4) return false;
        uid = static_cast<uid_t>(value);
        return true;
    }
    return false;
}

bool ownProcessRunning(const std::string& procRoot, const std::string& name, uid_t uid) {
    DIR* proc = ::opendir(procRoot.c_str());
    if (!proc) return false;
    const std::string_view wanted =
        std::string_view(name).substr(0, std::min(name.size(), kKernelNameLength));
    bool found = false;
    while (dirent* e = ::readdir(proc)) {
        if (e->d_name[0] < '0' || e->d_name[0] > '9') continue;
        std::ifstream comm(procRoot + "/" + e->d_name + "/comm");
        std::string line;
        if (!std::getline(comm, line)) continue;
        // Case does not count, as on Windows.
        if (!sameNameIgnoringCase(line, name) && !(line.size() == kKernelNameLength && sameNameIgnoringCase(line, wanted)))
            continue;
        uid_t owner = 0;
        if (processOwner(procRoot, e->d_name, owner) && owner == uid) {
            found = true;
            break;
        }
    }
    ::closedir(proc);
    return found;
}

bool isDevicePortName(std::string_view name) {
    if (name.empty() || name == "." || name == "..") return false;
    for (const char c : name) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return false;
    }
    const std::size_t slash = name.find('/');
    if (slash == std::string_view::npos) return true;
    if (name.substr(0, slash + 1) != "pts/" || slash + 1 == name.size()) return false;
    for (const char c : name.substr(slash + 1)) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

}  // namespace orvane::platform::linux_user
