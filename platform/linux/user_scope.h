#pragma once
// What belongs to the user running the program, on a machine several users share: their own
// private folder (for lock files and work files), their own processes, and device names that
// stay inside /dev. The system service and the serial ports use these; tests call them with a
// made-up /proc, folder owner or temporary root.
#include <sys/types.h>

#include <string>
#include <string_view>

namespace orvane::platform::linux_user {

// A real folder (not a link) owned by `uid` that nobody else may enter (no group or other
// permission bit).
bool isPrivateFolder(const std::string& path, uid_t uid);

// The user's private folder: `runtimeDir` ($XDG_RUNTIME_DIR; null or empty when unset) when
// it is an absolute path to a private folder of `uid`; else `<tmpRoot>/orvane-<uid>`, made
// 0700 when missing, when that is one (a folder someone else made there, or a link, is never
// used). Empty when neither can be had.
std::string privateFolder(const char* runtimeDir, uid_t uid, const std::string& tmpRoot = "/tmp");

// The real user id of process `pid` as `<procRoot>/<pid>/status` gives it; false when it
// cannot be read.
bool processOwner(const std::string& procRoot, const std::string& pid, uid_t& uid);

// True when a process of user `uid` runs whose name equals `name` ignoring case (the kernel
// keeps the first 15 characters of a name, so a longer `name` is compared on those), looking
// in `procRoot` (normally "/proc"). Other users' processes never count.
bool ownProcessRunning(const std::string& procRoot, const std::string& name, uid_t uid);

// A serial port name that names a device directly inside /dev ("ttyUSB0": no '/', not empty,
// "." or "..", no control character), or a pseudo-terminal ("pts/" and digits, as the lab's
// simulated adapters are). Nothing else can leave /dev or reach into its other folders.
bool isDevicePortName(std::string_view name);

}  // namespace orvane::platform::linux_user
