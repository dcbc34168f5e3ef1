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
#include <sstream>

#ifndef ORVANE_SOURCE_DIR
#error "the sound server fixture needs ORVANE_SOURCE_DIR, the source tree holding lab/lib/sound-server.sh"
#endif

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

// The private sound server's configuration and start-up are the lab's (one recipe for the
// lab, the smoke tests and this fixture).
const std::string kSoundServerScript = std::string(ORVANE_SOURCE_DIR) + "/lab/lib/sound-server.sh";

std::string readText(const std::string& path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The last `lines` lines of a log, for an error message.
std::string tail(const std::string& text, int lines) {
    std::size_t from = text.size();
    if (from > 0 && text[from - 1] == '\n') --from;
    while (from > 0 && lines > 0) {
        from = text.rfind('\n', from - 1);
        if (from == std::string::npos) return text;
        --lines;
    }
    return text.substr(from + (lines == 0 ? 1 : 0));
}

// KEY=VALUE lines.
std::map<std::string, std::string> keyValues(const std::string& text) {
    std::map<std::string, std::string> values;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        std::size_t eq = line.find('=');
        if (eq != std::string::npos) values[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return values;
}

}  // namespace

bool soundServerClocksSources() {
    const char* kind = std::getenv("ORVANE_SOUND_SERVER");
    return kind != nullptr && std::string(kind) == "pipewire";
}

PulseFixture::~PulseFixture() { stop(); }

bool PulseFixture::start(std::string& error) { return start(error, {}); }

bool PulseFixture::start(std::string& error, const std::vector<std::string>& devices) {
    if (running()) return true;
    char pattern[] = "/tmp/orvane-pulse.XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        error = "mkdtemp failed";
        return false;
    }
    dir_ = pattern;

    const std::string configLog = dir_ + "/config.log";
    std::vector<std::string> command = {"bash", kSoundServerScript, "config", dir_};
    if (devices.empty()) {
        command.insert(command.end(), {"null-sink", "nullsink",                                   //
                                       "pipe-sink", kSinkName, sinkFifo(),                        //
                                       "pipe-source", kSourceName, sourceFifo(),                  //
                                       "pipe-source", kHeadsetSourceName, dir_ + "/headset.fifo", //
                                       "shown-as", "Headset Mic", "audio-headset",                //
                                       "default-sink", kSinkName, "default-source", kSourceName});
    } else {
        command.insert(command.end(), devices.begin(), devices.end());
    }
    pid_t config = spawn(command, childEnvironment({}), configLog);
    const int configExit = config < 0 ? -1 : waitExit(config);
    const std::string said = readText(configLog);
    if (configExit != 0) {
        error = "cannot configure the sound server with " + kSoundServerScript + " (exit " +
                std::to_string(configExit) + "): " + (said.empty() ? "no output" : said);
        stop();
        return false;
    }
    std::map<std::string, std::string> env = keyValues(said);
    if (env["PULSE_SERVER"] != serverAddress() || env["PULSE_COOKIE"].empty() ||
        (devices.empty() && (env[std::string("fifo.") + kSinkName] != sinkFifo() ||
                             env[std::string("fifo.") + kSourceName] != sourceFifo()))) {
        error = kSoundServerScript + " placed the server elsewhere than this fixture expects: " + said;
        stop();
        return false;
    }

    // The script execs the daemon: our child is the daemon itself, which we stop and reap.
    pid_ = spawn({"bash", kSoundServerScript, "run", dir_}, childEnvironment({}), dir_ + "/daemon.log");
    if (pid_ < 0) {
        error = "fork failed";
        stop();
        return false;
    }
    setenv("PULSE_SERVER", env["PULSE_SERVER"].c_str(), 1);
    setenv("PULSE_COOKIE", env["PULSE_COOKIE"].c_str(), 1);

    // Ready when it answers; a loaded machine may take a few seconds.
    for (double until = steadyNowMs() + 20000; steadyNowMs() < until;) {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            error = "the sound server exited (" +
                    (WIFEXITED(status) ? "status " + std::to_string(WEXITSTATUS(status))
                                       : "signal " + std::to_string(WTERMSIG(status))) +
                    "); the end of its log:\n" + tail(readText(dir_ + "/daemon.log"), 8);
            stop();
            return false;
        }
        if (pactl({"info"}) == 0) return true;
        usleep(50 * 1000);
    }
    error = "the sound server did not answer in 20 s; the end of its log:\n" + tail(readText(dir_ + "/daemon.log"), 8);
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

bool SourceWriter::writeLead(std::size_t bytes) {
    const std::vector<std::uint8_t> silence(bytes, 0);
    return write(silence.data(), silence.size());
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
