#pragma once
// A private PulseAudio server for tests and measurements. start() runs `pulseaudio` in a fresh
// temporary folder, configured and started by the lab's sound server script
// (lab/lib/sound-server.sh of the source tree, whose child process becomes the daemon), with a
// pipe sink (the default sink, whose output is a fifo the test reads)
// and a pipe source (the default source, fed by a fifo the test writes), plus a second pipe
// source named "Headset Mic" with its own icon, and points this process's PulseAudio clients
// at it through the environment. stop() (or the destructor) kills and reaps the daemon and
// removes the folder; the daemon also dies with the test process.
//
// Format everywhere: s16le, 2 channels, 8000 Hz. The sink writes silence while nothing plays
// and paces itself on the system clock.
#include <sys/types.h>

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace orvane::test {

class PulseFixture {
public:
    PulseFixture() = default;
    ~PulseFixture();
    PulseFixture(const PulseFixture&) = delete;
    PulseFixture& operator=(const PulseFixture&) = delete;

    // False with a reason when the server cannot be started (e.g. pulseaudio missing).
    bool start(std::string& error);
    // The same with other devices, as lab/lib/sound-server.sh takes them ("null-sink", "only",
    // ...): e.g. a machine whose only source is a sink's monitor. No fifo of this fixture
    // exists then unless `devices` makes it.
    bool start(std::string& error, const std::vector<std::string>& devices);
    void stop();
    bool running() const { return pid_ > 0; }

    const std::string& folder() const { return dir_; }
    std::string sinkFifo() const { return dir_ + "/out.fifo"; }
    std::string sourceFifo() const { return dir_ + "/in.fifo"; }
    std::string serverAddress() const { return "unix:" + dir_ + "/run/native"; }

    // Runs `pactl <args>` against this server; its exit status (-1 when it could not run).
    int pactl(const std::vector<std::string>& args) const;

    // Server names of what start() loads.
    static constexpr const char* kSinkName = "pipesink";
    static constexpr const char* kSourceName = "pipesrc";
    static constexpr const char* kHeadsetSourceName = "headset";

private:
    pid_t pid_ = -1;
    std::string dir_;
};

// Reads the sink fifo continuously on its own thread and keeps everything with arrival times.
class SinkRecorder {
public:
    explicit SinkRecorder(std::string fifoPath);
    ~SinkRecorder();
    SinkRecorder(const SinkRecorder&) = delete;
    SinkRecorder& operator=(const SinkRecorder&) = delete;

    bool start();
    void stop();

    // Forgets everything read so far.
    void clear();
    // Bytes read since the last clear.
    std::size_t size();
    // Waits until at least `bytes` are held; false on time-out.
    bool waitForBytes(std::size_t bytes, int timeoutMs);
    std::vector<std::uint8_t> data();
    // Monotonic time (ms, steady clock) at which byte `offset` arrived, -1 if not yet.
    double arrivalMs(std::size_t offset);

private:
    void loop();

    std::string path_;
    int fd_ = -1;
    int wakePipe_[2] = {-1, -1};
    std::thread reader_;
    std::mutex lock_;
    std::condition_variable grown_;
    std::vector<std::uint8_t> bytes_;
    std::vector<std::pair<std::size_t, double>> marks_;  // (end offset of a read, time)
};

// Writes to the source fifo (what the default source records).
class SourceWriter {
public:
    explicit SourceWriter(const std::string& fifoPath);
    ~SourceWriter();
    SourceWriter(const SourceWriter&) = delete;
    SourceWriter& operator=(const SourceWriter&) = delete;
    bool ok() const { return fd_ >= 0; }
    // Writes all of it (blocks while the fifo is full). False on failure.
    bool write(const std::uint8_t* data, std::size_t bytes);
    // A microphone's lead: `bytes` of silence written before sound fed at the real pace
    // keeps the writer that far ahead of the reader. PipeWire's pipe source is read on the
    // graph's clock and records silence wherever the fifo is empty at one of its cycles (a
    // writer a few milliseconds late), which no real microphone does; PulseAudio's waits for
    // its writer. kMicLeadBytes (two blocks, 62.5 ms) is enough for both.
    bool writeLead(std::size_t bytes = kMicLeadBytes);
    static constexpr std::size_t kMicLeadBytes = 2000;

private:
    int fd_ = -1;
};

// True when the private server is PipeWire's pulse server (ORVANE_SOUND_SERVER=pipewire,
// lab/lib/sound-server.sh): its pipe sources are read on the graph's clock and record silence
// wherever their writer is late, where PulseAudio's wait for their writer.
bool soundServerClocksSources();

// Steady clock in milliseconds, the time base of SinkRecorder::arrivalMs.
double steadyNowMs();

}  // namespace orvane::test
