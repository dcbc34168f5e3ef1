#include "tests/fakes/pulse_fixture.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>

extern char** environ;

namespace orvane::test {

double steadyNowMs() {
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

namespace {

// The current environment with some variables replaced, for a child process.
std::vector<std::string> childEnvironment(const std::map<std::string, std::string>& overrides) {
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        std::string entry(*e);
        std::string key = entry.substr(0, entry.find('='));
        if (overrides.count(key) == 0) env.push_back(entry);
    }
    for (const auto& [k, v] : overrides)
        if (!v.empty()) env.push_back(k + "=" + v);  // an empty value removes the variable
    return env;
}

std::vector<char*> pointers(std::vector<std::string>& strings) {
    std::vector<char*> p;
    for (std::string& s : strings) p.push_back(s.data());
    p.push_back(nullptr);
    return p;
}

// fork + exec; the child dies with us and writes its output to `logPath` (or nowhere).
pid_t spawn(std::vector<std::string> argv, std::vector<std::string> env, const std::string& logPath) {
    std::vector<char*> args = pointers(argv);
    std::vector<char*> envp = pointers(env);
    pid_t parent = getpid();
    pid_t pid = fork();
    if (pid != 0) return pid;
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(127);
    int out = open(logPath.empty() ? "/dev/null" : logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    if (out >= 0) {
        dup2(out, 1);
        dup2(out, 2);
        close(out);
    }
    int in = open("/dev/null", O_RDONLY);
    if (in >= 0) dup2(in, 0);
    execvpe(args[0], args.data(), envp.data());
    _exit(127);
}

int waitExit(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string serverConfig(const std::string& d) {
    const std::string fmt = " format=s16le rate=8000 channels=2";
    return "load-module module-native-protocol-unix auth-anonymous=1 socket=" + d + "/run/native\n"
           "load-module module-null-sink sink_name=nullsink\n"
           "load-module module-pipe-sink sink_name=pipesink file=" + d + "/out.fifo" + fmt +
           " use_system_clock_for_timing=yes\n"
           "load-module module-pipe-source source_name=pipesrc file=" + d + "/in.fifo" + fmt + "\n"
           "load-module module-pipe-source source_name=headset file=" + d + "/headset.fifo" + fmt +
           " source_properties='device.description=\"Headset Mic\" device.icon_name=audio-headset'\n"
           "set-default-sink pipesink\n"
           "set-default-source pipesrc\n";
}

}  // namespace

PulseFixture::~PulseFixture() { stop(); }

bool PulseFixture::start(std::string& error) {
    if (running()) return true;
    char pattern[] = "/tmp/orvane-pulse.XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        error = "mkdtemp failed";
        return false;
    }
    dir_ = pattern;
    std::filesystem::create_directories(dir_ + "/run");
    std::filesystem::create_directories(dir_ + "/state");
    std::ofstream(dir_ + "/test.pa") << serverConfig(dir_);

    std::vector<std::string> argv = {"pulseaudio", "--daemonize=no", "-n", "-F", dir_ + "/test.pa",
                                     "--exit-idle-time=-1", "--use-pid-file=no", "--realtime=no",
                                     "--high-priority=no", "--disallow-exit", "--log-target=stderr"};
    pid_ = spawn(argv,
                 childEnvironment({{"HOME", dir_ + "/state"},
                                   {"PULSE_RUNTIME_PATH", dir_ + "/run"},
                                   {"PULSE_STATE_PATH", dir_ + "/state"},
                                   {"XDG_RUNTIME_DIR", dir_ + "/run"},
                                   {"PULSE_SERVER", ""}}),
                 dir_ + "/daemon.log");
    if (pid_ < 0) {
        error = "fork failed";
        return false;
    }
    setenv("PULSE_SERVER", serverAddress().c_str(), 1);
    setenv("PULSE_COOKIE", (dir_ + "/state/cookie").c_str(), 1);

    // Ready when it answers; a loaded machine may take a few seconds.
    for (double until = steadyNowMs() + 20000; steadyNowMs() < until;) {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            error = "pulseaudio exited; see " + dir_ + "/daemon.log";
            return false;
        }
        if (pactl({"info"}) == 0) return true;
        usleep(50 * 1000);
    }
    error = "pulseaudio did not answer in time";
    stop();
    return false;
}

void PulseFixture::stop() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        bool gone = false;
        for (int i = 0; i < 100 && !gone; ++i) {
            int status = 0;
            gone = waitpid(pid_, &status, WNOHANG) == pid_;
            if (!gone) usleep(20 * 1000);
        }
        if (!gone) {
            kill(pid_, SIGKILL);
            waitExit(pid_);
        }
        pid_ = -1;
    }
    if (!dir_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
        dir_.clear();
    }
}

int PulseFixture::pactl(const std::vector<std::string>& args) const {
    std::vector<std::string> argv = {"pactl"};
    argv.insert(argv.end(), args.begin(), args.end());
    pid_t pid = spawn(argv, childEnvironment({{"PULSE_SERVER", serverAddress()}}), "");
    return pid < 0 ? -1 : waitExit(pid);
}

SinkRecorder::SinkRecorder(std::string fifoPath) : path_(std::move(fifoPath)) {}

SinkRecorder::~SinkRecorder() { stop(); }

bool SinkRecorder::start() {
    fd_ = open(path_.c_str(), O_RDONLY | O_NONBLOCK);
    if (fd_ < 0 || pipe(wakePipe_) != 0) return false;
    reader_ = std::thread([this] { loop(); });
    return true;
}

void SinkRecorder::stop() {
    if (reader_.joinable()) {
        char b = 0;
        if (::write(wakePipe_[1], &b, 1) < 0) {
        }
        reader_.join();
    }
    for (int* fd : {&fd_, &wakePipe_[0], &wakePipe_[1]}) {
        if (*fd >= 0) close(*fd);
        *fd = -1;
    }
}

void SinkRecorder::loop() {
    std::vector<std::uint8_t> chunk(65536);
    for (;;) {
        pollfd fds[2] = {{fd_, POLLIN, 0}, {wakePipe_[0], POLLIN, 0}};
        if (poll(fds, 2, 1000) < 0 && errno != EINTR) return;
        if (fds[1].revents != 0) return;
        if ((fds[0].revents & POLLIN) == 0) continue;
        ssize_t n = read(fd_, chunk.data(), chunk.size());
        if (n <= 0) continue;
        double now = steadyNowMs();
        std::lock_guard<std::mutex> hold(lock_);
        bytes_.insert(bytes_.end(), chunk.begin(), chunk.begin() + n);
        marks_.emplace_back(bytes_.size(), now);
        grown_.notify_all();
    }
}

void SinkRecorder::clear() {
    std::lock_guard<std::mutex> hold(lock_);
    bytes_.clear();
    marks_.clear();
}

std::size_t SinkRecorder::size() {
    std::lock_guard<std::mutex> hold(lock_);
    return bytes_.size();
}

bool SinkRecorder::waitForBytes(std::size_t bytes, int timeoutMs) {
    std::unique_lock<std::mutex> hold(lock_);
    return grown_.wait_for(hold, std::chrono::milliseconds(timeoutMs),
                           [&] { return bytes_.size() >= bytes; });
}

std::vector<std::uint8_t> SinkRecorder::data() {
    std::lock_guard<std::mutex> hold(lock_);
    return bytes_;
}

double SinkRecorder::arrivalMs(std::size_t offset) {
    std::lock_guard<std::mutex> hold(lock_);
    for (const auto& [end, time] : marks_)
        if (offset < end) return time;
    return -1;
}

SourceWriter::SourceWriter(const std::string& fifoPath) {
    // The source keeps its end open, so this does not wait for a reader.
    fd_ = open(fifoPath.c_str(), O_WRONLY);
}

SourceWriter::~SourceWriter() {
    if (fd_ >= 0) close(fd_);
}

bool SourceWriter::write(const std::uint8_t* data, std::size_t bytes) {
    while (bytes > 0) {
        ssize_t n = ::write(fd_, data, bytes);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        bytes -= static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace orvane::test
