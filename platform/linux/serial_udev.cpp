// Serial ports on Linux: the tty devices that sit on a USB device, with a hardware identifier
// written as the adapter table expects it ("USB\VID_0403&PID_6001&REV_0600") and the kernel's
// name as port name ("ttyUSB0", opened as "/dev/ttyUSB0").
#include <libudev.h>

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <string>

#include "platform/linux/serial_termios.h"
#include "platform/serial.h"

namespace orvane::platform {

namespace {

std::string upper(const char* s) {
    std::string out = s ? s : "";
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

// The lab's simulated adapters: a file of lines "hardware identifier<TAB>port name", read at
// every search so that the lab can plug and unplug. Only the lab sets the variable.
bool labPorts(const char* file, std::vector<SerialPortEntry>& out) {
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        const auto tab = line.find('\t');
        if (tab == std::string::npos) continue;
        out.push_back({line.substr(0, tab), line.substr(tab + 1)});
    }
    return true;
}

class UdevSerialPorts final : public SerialPorts {
public:
    bool listPorts(std::vector<SerialPortEntry>& out) override {
        out.clear();
        if (const char* lab = std::getenv("ORVANE_LAB_SERIAL_PORTS"); lab && *lab) return labPorts(lab, out);
        udev* u = udev_new();
        if (u == nullptr) return false;
        udev_enumerate* e = udev_enumerate_new(u);
        if (e == nullptr) {
            udev_unref(u);
            return false;
        }
        udev_enumerate_add_match_subsystem(e, "tty");
        const bool scanned = udev_enumerate_scan_devices(e) >= 0;
        for (udev_list_entry* it = scanned ? udev_enumerate_get_list_entry(e) : nullptr; it != nullptr;
             it = udev_list_entry_get_next(it)) {
            udev_device* tty = udev_device_new_from_syspath(u, udev_list_entry_get_name(it));
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
        udev_enumerate_unref(e);
        udev_unref(u);
        return scanned;
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
