// Serial ports on Linux: the tty devices that sit on a USB device, with a hardware identifier
// written as the adapter table expects it ("USB\VID_0403&PID_6001&REV_0600") and the kernel's
// name as port name ("ttyUSB0", opened as "/dev/ttyUSB0").
#include <dirent.h>
#include <libudev.h>
#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <string>

#include "platform/linux/serial_termios.h"
#include "platform/linux/user_scope.h"
#include "platform/serial.h"

namespace orvane::platform {

namespace {

std::string upper(const char* s) {
    std::string out = s ? s : "";
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

// The lab's simulated adapters: a file of lines "hardware identifier<TAB>port name", read at
// every search so that the lab can plug and unplug. Only the lab sets the variable. A port is
// opened as "/dev/" + its name, so a name that would leave /dev ("../home/x", "/etc/x") or
// reach into another of its folders is left out.
bool labPorts(const char* file, std::vector<SerialPortEntry>& out) {
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        const auto tab = line.find('\t');
        if (tab == std::string::npos) continue;
        std::string name = line.substr(tab + 1);
        if (!linux_user::isDevicePortName(name)) continue;
        out.push_back({line.substr(0, tab), std::move(name)});
    }
    return true;
}

class UdevSerialPorts final : public SerialPorts {
public:
    bool listPorts(std::vector<SerialPortEntry>& out) override {
        out.clear();
        if (const char* lab = std::getenv("ORVANE_LAB_SERIAL_PORTS"); lab && *lab) return labPorts(lab, out);
        // The class folder is read directly and only terminals that sit under a USB device are
        // handed to udev: virtual consoles, pseudo-terminals and on-board ports would otherwise
        // make each search (every 2 s while no adapter is there) read dozens of devices.
        DIR* dir = ::opendir("/sys/class/tty");
        if (dir == nullptr) return false;
        std::vector<std::string> candidates;
        while (dirent* e = ::readdir(dir)) {
            if (e->d_name[0] == '.') continue;
            // Each entry links to the device's place in the device tree ("../../devices/...").
            char target[PATH_MAX];
            const std::string link = std::string("/sys/class/tty/") + e->d_name;
            const ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
            if (n <= 0) continue;
            target[n] = '\0';
            if (std::strstr(target, "/usb") == nullptr) continue;
            candidates.push_back(link);
        }
        ::closedir(dir);
        if (candidates.empty()) return true;
        std::sort(candidates.begin(), candidates.end());  // a stable order, by name
        udev* u = udev_new();
        if (u == nullptr) return false;
        for (const std::string& syspath : candidates) {
            udev_device* tty = udev_device_new_from_syspath(u, syspath.c_str());
            if (tty == nullptr) continue;
            // The parent is owned by its child: not unreferenced separately.
            udev_device* usb = udev_device_get_parent_with_subsystem_devtype(tty, "usb", "usb_device");
            if (usb != nullptr) {
                SerialPortEntry entry;
                const char* vid = udev_device_get_sysattr_value(usb, "idVendor");
                const char* pid = udev_device_get_sysattr_value(usb, "idProduct");
                const char* rev = udev_device_get_sysattr_value(usb, "bcdDevice");
                if (vid && pid) {
                    std::string id = "USB\\VID_" + upper(vid) + "&PID_" + upper(pid);
                    if (rev) id += "&REV_" + upper(rev);
                    entry.hardwareId = std::move(id);
                }
                if (const char* name = udev_device_get_sysname(tty)) entry.portName = std::string(name);
                out.push_back(std::move(entry));
            }
            udev_device_unref(tty);
        }
        udev_unref(u);
        return true;
    }

    std::string devicePath(std::string_view portName) override { return "/dev/" + std::string(portName); }

    std::unique_ptr<SerialPort> open(const std::string& path, SerialOpenError& error) override {
        return linux_serial::openTermiosPort(path, error);
    }
};

}  // namespace

SerialPorts& systemSerialPorts() {
    static UdevSerialPorts ports;
    return ports;
}

}  // namespace orvane::platform
