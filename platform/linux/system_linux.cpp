// Process and system services on Linux.
#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/linux/user_scope.h"
#include "platform/program_folders.h"
#include "platform/system.h"

extern char** environ;

namespace orvane::platform {

namespace {

// The user's own folder: $XDG_RUNTIME_DIR when it is private to the user, else
// /tmp/orvane-<uid> (0700, checked to be ours). Never a folder other users share, so another
// user's lock of the same name is never seen, nor can one be planted for us. Empty when there
// is no such folder.
std::string userFolder() { return linux_user::privateFolder(std::getenv("XDG_RUNTIME_DIR"), ::getuid()); }

// Empty when the user has no private folder.
std::string lockPath(const std::string& name) {
    const std::string folder = userFolder();
    if (folder.empty()) return {};
    std::string safe;
    for (char c : name) safe.push_back((c == '/' || c == '\0') ? '_' : c);
    return folder + "/orvane-mutex-" + safe + ".lock";
}

// Starts a program detached from this one: the child double-forks away so that nothing is
// left to reap.
bool spawnDetached(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return false;
    // Reap it in the background so no zombie stays.
    std::thread([pid] {
        int status = 0;
        waitpid(pid, &status, 0);
    }).detach();
    return true;
}

bool fileExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

std::string findOnPath(const char* program) {
    const char* path = std::getenv("PATH");
    if (!path) return {};
    std::string all(path);
    std::size_t start = 0;
    while (start <= all.size()) {
        std::size_t end = all.find(':', start);
        if (end == std::string::npos) end = all.size();
        std::string candidate = all.substr(start, end - start) + "/" + program;
        if (::access(candidate.c_str(), X_OK) == 0) return candidate;
        start = end + 1;
    }
    return {};
}

bool isFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// This program's folders, found from its own location once. A program file replaced while it
// runs (a package upgrade) still names its folder: the kernel only appends " (deleted)".
const ProgramFolders& ownFolders() {
    static const ProgramFolders folders = [] {
        char buffer[4096];
        const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
        if (n <= 0) return ProgramFolders{};
        std::string path(buffer, static_cast<std::size_t>(n));
        constexpr std::string_view kDeleted = " (deleted)";
        if (path.ends_with(kDeleted)) path.resize(path.size() - kDeleted.size());
        return programFoldersFor(path, ORVANE_DATA_FROM_BIN, ORVANE_PROGRAMS_FROM_BIN, isFolder);
    }();
    return folders;
}

class LinuxSystem final : public System {
public:
    MutexResult createNamedMutex(const std::string& name) override {
        std::lock_guard<std::mutex> guard(lock_);
        if (held_.count(name)) return MutexResult::AlreadyExists;
        const std::string path = lockPath(name);
        if (path.empty()) return MutexResult::Failed;
        int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd < 0) return MutexResult::Failed;
        // The lock lives as long as the descriptor, so it is released when the process dies.
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            int err = errno;
            ::close(fd);
            return err == EWOULDBLOCK ? MutexResult::AlreadyExists : MutexResult::Failed;
        }
        held_[name] = fd;
        return MutexResult::Created;
    }

    bool namedMutexExists(const std::string& name) override {
        {
            std::lock_guard<std::mutex> guard(lock_);
            if (held_.count(name)) return true;
        }
        const std::string path = lockPath(name);
        if (path.empty()) return false;
        int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
        if (fd < 0) return false;
        bool held = ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
        ::close(fd);
        return held;
    }

    std::string systemRoot() override { return "/"; }

    bool volumeSerial(const std::string& root, std::uint32_t& serial) override {
        // Lab only: two clients on one machine need two machine identifiers.
        if (const char* lab = std::getenv("ORVANE_LAB_VOLUME_SERIAL"); lab && *lab) {
            char* end = nullptr;
            unsigned long long v = std::strtoull(lab, &end, 10);
            if (end && *end == '\0') {
                serial = static_cast<std::uint32_t>(v);
                return true;
            }
        }
        struct statvfs st {};
        if (::statvfs(root.c_str(), &st) != 0) return false;
        serial = static_cast<std::uint32_t>(st.f_fsid & 0xFFFFFFFFu);
        return true;
    }

    // Only this user's processes: another user's Parlo is theirs to stop.
    bool isProcessRunning(const std::string& name) override {
        return linux_user::ownProcessRunning("/proc", name, ::getuid());
    }

    bool startProgram(const std::string& path) override {
        if (!fileExists(path)) return false;
        return spawnDetached({path});
    }

    // A folder given to the build wins; else the one of this program's own tree.
    std::string programsFolder() override {
        if (*ORVANE_PROGRAMS_DIR != '\0') return ORVANE_PROGRAMS_DIR;
        return ownFolders().programs;
    }

    std::string dataFolder() override { return ownFolders().data; }

    // Per user: $XDG_RUNTIME_DIR when it is a folder of ours, else /tmp/orvane-<uid> made
    // 0700 and checked to be our own real folder (not a link someone else put there). Empty
    // when neither can be had.
    std::string temporaryFolder() override { return userFolder(); }

    // $XDG_DATA_HOME when absolute, else ~/.local/share: an existing folder of our own.
    std::string localDataFolder() override {
        std::string dir;
        if (const char* x = std::getenv("XDG_DATA_HOME"); x && *x == '/') {
            dir = x;
        } else if (const char* home = std::getenv("HOME"); home && *home == '/') {
            dir = std::string(home) + "/.local/share";
        }
        struct stat st {};
        if (dir.empty() || ::stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid()) return {};
        return dir;
    }

    bool openUrl(const std::string& url) override {
        std::string opener = findOnPath("xdg-open");
        if (opener.empty()) return false;
        return spawnDetached({opener, url});
    }

    // The freedesktop sound theme's "complete" sound (else its "bell"), looked up in the XDG
    // data folders, where desktops install their sound themes.
    std::string systemChimeFile() override {
        const char* env = std::getenv("XDG_DATA_DIRS");
        std::string dirs = (env && *env) ? env : "/usr/local/share:/usr/share";
        for (const char* name : {"complete", "bell"}) {
            std::size_t from = 0;
            while (from <= dirs.size()) {
                std::size_t to = dirs.find(':', from);
                if (to == std::string::npos) to = dirs.size();
                std::string dir = dirs.substr(from, to - from);
                from = to + 1;
                while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
                if (dir.empty()) continue;
                for (const char* ext : {".oga", ".ogg", ".wav"}) {
                    const std::string path = dir + "/sounds/freedesktop/stereo/" + name + ext;
                    if (fileExists(path)) return path;
                }
            }
        }
        return {};
    }

    bool playSoundAsync(const std::string& path) override {
        if (!fileExists(path)) return false;
        std::string player = findOnPath("paplay");
        if (player.empty()) return false;
        return spawnDetached({player, path});
    }

private:
    std::mutex lock_;
    std::map<std::string, int> held_;
};

}  // namespace

System& hostSystem() {
    static LinuxSystem system;
    return system;
}

const ProgramLocation& speechProgramLocation() { return kSpeechProgramOnLinux; }

}  // namespace orvane::platform
