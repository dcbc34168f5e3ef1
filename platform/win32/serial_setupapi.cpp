// Serial ports on Windows: the present devices of the ports class from SetupAPI, with the first
// string of their hardware identifier ("USB\VID_0403&PID_6001&REV_0600") and the "PortName"
// value of their device key ("COM5", opened as "\\.\COM5"), driven with the comm functions.
#include <windows.h>
#include <setupapi.h>

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "platform/serial.h"
#include "platform/win32/wide.h"

namespace orvane::platform {

namespace {

// GUID_DEVCLASS_PORTS, written out so that no GUID definition unit is needed.
constexpr GUID kPortsClass = {0x4D36E978, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};

constexpr DWORD kHardwareIdBuffer = 512;
constexpr DWORD kPortNameBuffer = 32;

constexpr DWORD kIntervalMs = 50;    // between two bytes of a reply
constexpr DWORD kPerByteMs = 10;     // per requested byte ...
constexpr DWORD kTotalExtraMs = 50;  // ... plus this, for a whole read
// A write has a time-out, unlike a write that may wait for ever: a line held by flow control
// must neither hang the probe loop nor make shutdown (which joins the serial thread) wait more
// than a probe cycle. The 8 probe bytes need about 8 ms at 9600 baud.
constexpr DWORD kWritePerByteMs = 2;
constexpr DWORD kWriteExtraMs = 200;

// The text of a registry buffer that need not end with a zero: up to the first zero, or all of
// it (which the caller then finds too long for its own buffer and skips).
std::string bufferText(const char* data, DWORD size) {
    const void* zero = std::memchr(data, '\0', size);
    return std::string(data, zero ? static_cast<const char*>(zero) - data : size);
}

std::optional<std::string> hardwareId(HDEVINFO list, SP_DEVINFO_DATA& device) {
    char buffer[kHardwareIdBuffer] = {};
    DWORD type = 0;
    DWORD size = 0;
    if (!SetupDiGetDeviceRegistryPropertyA(list, &device, SPDRP_HARDWAREID, &type, reinterpret_cast<BYTE*>(buffer),
                                           sizeof buffer, &size)) {
        return std::nullopt;
    }
    if (type != REG_MULTI_SZ && type != REG_SZ) return std::nullopt;
    // The first string of the list.
    return bufferText(buffer, size < sizeof buffer ? size : sizeof buffer);
}

std::optional<std::string> portName(HDEVINFO list, SP_DEVINFO_DATA& device) {
    HKEY key = SetupDiOpenDevRegKey(list, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    if (key == INVALID_HANDLE_VALUE || key == nullptr) return std::nullopt;
    char buffer[kPortNameBuffer] = {};
    DWORD type = 0;
    DWORD size = sizeof buffer;
    // A longer name does not fit and fails here (ERROR_MORE_DATA): the device is skipped.
    const LSTATUS status = RegQueryValueExA(key, "PortName", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return std::nullopt;
    return bufferText(buffer, size < sizeof buffer ? size : sizeof buffer);
}

// "COM" and a port number, and nothing else: a name from the lab's list is opened as "\\.\"
// followed by it, which must not reach any other device.
bool isCommPortName(const std::string& name) {
    if (name.size() < 4 || name.size() > 6 || name.compare(0, 3, "COM") != 0 || name[3] == '0') return false;
    for (std::size_t i = 3; i < name.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(name[i]))) return false;
    }
    return true;
}

// The lab's simulated adapters (a pseudo-terminal that Wine shows as a COM port): a file of
// lines "hardware identifier<TAB>port name", read at every search so that the lab can plug and
// unplug. Only the lab sets the variable; lines whose name is not a COM port are left out.
bool labPorts(const char* file, std::vector<SerialPortEntry>& out) {
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const auto tab = line.find('\t');
        if (tab == std::string::npos || !isCommPortName(line.substr(tab + 1))) continue;
        out.push_back({line.substr(0, tab), line.substr(tab + 1)});
    }
    return true;
}

class CommPort final : public SerialPort {
public:
    explicit CommPort(HANDLE handle) : handle_(handle) {}
    ~CommPort() override { CloseHandle(handle_); }

    bool write(const void* data, std::size_t length) override {
        const auto* p = static_cast<const std::uint8_t*>(data);
        while (length > 0) {
            const DWORD chunk = length > 0x10000 ? 0x10000 : static_cast<DWORD>(length);
            DWORD written = 0;
            // A write that times out succeeds with fewer bytes: the line is not taking them.
            if (!WriteFile(handle_, p, chunk, &written, nullptr) || written == 0) return false;
            p += written;
            length -= written;
        }
        return true;
    }

    bool read(void* buffer, std::size_t capacity, std::size_t& received) override {
        received = 0;
        if (capacity == 0) return true;
        // The time-outs set at opening end the read: 10 ms per byte plus 50 ms in all, or 50 ms
        // of silence after a byte.
        const DWORD wanted = capacity > 0x10000 ? 0x10000 : static_cast<DWORD>(capacity);
        DWORD got = 0;
        if (!ReadFile(handle_, buffer, wanted, &got, nullptr)) return false;
        received = got;
        return true;
    }

private:
    HANDLE handle_;
};

class SetupApiSerialPorts final : public SerialPorts {
public:
    bool listPorts(std::vector<SerialPortEntry>& out) override {
        out.clear();
        if (const char* lab = std::getenv("ORVANE_LAB_SERIAL_PORTS"); lab && *lab) return labPorts(lab, out);
        HDEVINFO list = SetupDiGetClassDevsW(&kPortsClass, nullptr, nullptr, DIGCF_PRESENT);
        if (list == INVALID_HANDLE_VALUE) return false;
        for (DWORD index = 0;; ++index) {
            SP_DEVINFO_DATA device{};
            device.cbSize = sizeof device;
            if (!SetupDiEnumDeviceInfo(list, index, &device)) break;
            SerialPortEntry entry;
            entry.hardwareId = hardwareId(list, device);
            entry.portName = portName(list, device);
            out.push_back(std::move(entry));
        }
        SetupDiDestroyDeviceInfoList(list);
        return true;
    }

    std::string devicePath(std::string_view name) override { return "\\\\.\\" + std::string(name); }

    std::unique_ptr<SerialPort> open(const std::string& path, SerialOpenError& error) override {
        error = SerialOpenError::CannotOpen;
        const std::wstring wide = win32::widen(path);
        if (wide.empty()) return nullptr;
        // No sharing: a port another program holds is refused, and nobody opens ours meanwhile.
        HANDLE handle = CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE) return nullptr;
        // Something that is not a character device (a file or pipe of that name) is no port.
        if (GetFileType(handle) != FILE_TYPE_CHAR) {
            CloseHandle(handle);
            return nullptr;
        }
        error = SerialOpenError::CannotConfigure;
        DCB dcb{};
        dcb.DCBlength = sizeof dcb;
        if (!GetCommState(handle, &dcb)) {
            CloseHandle(handle);
            return nullptr;
        }
        // 9600 baud, 8 data bits, no parity, one stop bit; flow control and the special
        // characters stay as the driver has them.
        dcb.BaudRate = CBR_9600;
        dcb.ByteSize = 8;
        dcb.Parity = NOPARITY;
        dcb.StopBits = ONESTOPBIT;
        if (!SetCommState(handle, &dcb)) {
            CloseHandle(handle);
            return nullptr;
        }
        COMMTIMEOUTS timeouts{};
        timeouts.ReadIntervalTimeout = kIntervalMs;
        timeouts.ReadTotalTimeoutMultiplier = kPerByteMs;
        timeouts.ReadTotalTimeoutConstant = kTotalExtraMs;
        timeouts.WriteTotalTimeoutMultiplier = kWritePerByteMs;
        timeouts.WriteTotalTimeoutConstant = kWriteExtraMs;
        // Without these time-outs a read could wait for ever for its 32 bytes, and shutdown
        // waits for this thread: a port that refuses them is not used.
        if (!SetCommTimeouts(handle, &timeouts)) {
            CloseHandle(handle);
            return nullptr;
        }
        // Bytes the driver kept from before the port was ours are no reply to our probe.
        PurgeComm(handle, PURGE_RXCLEAR | PURGE_TXCLEAR);
        error = SerialOpenError::None;
        return std::make_unique<CommPort>(handle);
    }
};

}  // namespace

SerialPorts& systemSerialPorts() {
    static SetupApiSerialPorts ports;
    return ports;
}

}  // namespace orvane::platform
