#include "platform/linux/serial_termios.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace orvane::platform::linux_serial {

namespace {

constexpr int kIntervalMs = 50;      // between two bytes of a reply
constexpr int kPerByteMs = 10;       // per requested byte ...
constexpr int kTotalExtraMs = 50;    // ... plus this, for a whole read
// A write has no time-out of its own; a line that takes no byte for this long (the 8 probe
// bytes need about 8 ms at 9600 baud) is treated as gone, so that a line held by flow control
// can neither hang the probe loop nor make shutdown wait more than a probe cycle.
constexpr int kWriteStallMs = 200;

std::int64_t nowMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1'000'000;
}

class TermiosPort final : public SerialPort {
public:
    explicit TermiosPort(int fd) : fd_(fd) {}
    ~TermiosPort() override {
        ::flock(fd_, LOCK_UN);
        ::ioctl(fd_, TIOCNXCL);
        ::close(fd_);
    }

    bool write(const void* data, std::size_t length) override {
        const auto* p = static_cast<const std::uint8_t*>(data);
        while (length > 0) {
            const ssize_t n = ::write(fd_, p, length);
            if (n > 0) {
                p += n;
                length -= static_cast<std::size_t>(n);
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && errno != EAGAIN) return false;
            pollfd pfd{fd_, POLLOUT, 0};
            const int r = ::poll(&pfd, 1, kWriteStallMs);
            if (r <= 0 || (pfd.revents & (POLLERR | POLLHUP | POLLNVAL))) return false;
        }
        return true;
    }

    bool read(void* buffer, std::size_t capacity, std::size_t& received) override {
        received = 0;
        auto* p = static_cast<std::uint8_t*>(buffer);
        const std::int64_t deadline = nowMs() + kPerByteMs * static_cast<std::int64_t>(capacity) + kTotalExtraMs;
        while (received < capacity) {
            const std::int64_t left = deadline - nowMs();
            if (left <= 0) break;
            // Before the first byte only the total time-out counts; after it, a 50 ms silence
            // also ends the read.
            const int wait = static_cast<int>(received > 0 && left > kIntervalMs ? kIntervalMs : left);
            pollfd pfd{fd_, POLLIN, 0};
            const int r = ::poll(&pfd, 1, wait);
            if (r < 0) {
                if (errno == EINTR) continue;
                return false;
            }
            if (r == 0) {
                if (received > 0) break;
                continue;
            }
            const ssize_t n = ::read(fd_, p + received, capacity - received);
            if (n > 0) {
                received += static_cast<std::size_t>(n);
                continue;
            }
            if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
            // End of file or an error (EIO when the other end hung up).
            return received > 0;
        }
        return true;
    }

private:
    int fd_;
};

}  // namespace

std::unique_ptr<SerialPort> openTermiosPort(const std::string& path, SerialOpenError& error) {
    error = SerialOpenError::CannotOpen;
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return nullptr;
    // Exclusive, as a port opened without sharing: TIOCEXCL refuses later opens of the terminal
    // (except by root), the lock refuses other programs that honour it, root's included.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::ioctl(fd, TIOCEXCL) != 0) {
        ::close(fd);
        return nullptr;
    }
    error = SerialOpenError::CannotConfigure;
    termios t{};
    if (::tcgetattr(fd, &t) != 0) {
        ::flock(fd, LOCK_UN);
        ::close(fd);
        return nullptr;
    }
    // 9600 baud, 8 data bits, no parity, one stop bit, bytes passed as they are; flow control
    // and the special characters stay as the driver has them.
    cfsetispeed(&t, B9600);
    cfsetospeed(&t, B9600);
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB);
    t.c_cflag |= CS8 | CREAD | CLOCAL;
    t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL);
    t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    if (::tcsetattr(fd, TCSANOW, &t) != 0) {
        ::flock(fd, LOCK_UN);
        ::close(fd);
        return nullptr;
    }
    error = SerialOpenError::None;
    return std::make_unique<TermiosPort>(fd);
}

}  // namespace orvane::platform::linux_serial
