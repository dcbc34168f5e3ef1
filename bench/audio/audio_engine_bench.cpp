// Whole-path measurements of the audio engine on a private PulseAudio server:
//   - CPU time of the engine thread while listening and while talking, and of the sound
//     library's own thread;
//   - how long after the device reports an output buffer done its last sample comes out of the
//     sink (what our layer adds beyond the two output buffers), and the first-sample latency
//     of a buffer written to an idle device;
//   - microphone to frame sink: from a block's write into the source until the frame holding
//     its last sample reaches the sink function.
// Run: build/bench/audio_engine_bench [seconds per phase, default 5]
#include <pthread.h>
#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>
#include <vector>

#include "audio/audio_engine.h"
#include "audio/endpoint_volume.h"
#include "platform/audio_device.h"
#include "tests/fakes/fake_audio.h"
#include "tests/fakes/pulse_fixture.h"

using namespace orvane;
using test::steadyNowMs;

namespace {

void sleepUntil(double t) {
    while (steadyNowMs() < t) std::this_thread::sleep_for(std::chrono::microseconds(500));
}

double threadCpuMs(pthread_t t) {
    clockid_t id;
    if (pthread_getcpuclockid(t, &id) != 0) return -1;
    timespec ts{};
    clock_gettime(id, &ts);
    return static_cast<double>(ts.tv_sec) * 1000.0 + static_cast<double>(ts.tv_nsec) / 1e6;
}

// CPU ms (user + system, clock ticks) of this process's threads named `name`.
double namedThreadCpuMs(const char* name) {
    double total = 0;
    DIR* dir = opendir("/proc/self/task");
    if (dir == nullptr) return -1;
    long hz = sysconf(_SC_CLK_TCK);
    while (dirent* e = readdir(dir)) {
        if (e->d_name[0] == '.') continue;
        std::string base = std::string("/proc/self/task/") + e->d_name;
        std::string comm;
        std::getline(std::ifstream(base + "/comm"), comm);
        if (comm != name) continue;
        std::string stat;
        std::getline(std::ifstream(base + "/stat"), stat);
        std::istringstream rest(stat.substr(stat.rfind(')') + 2));
        std::string field;
        unsigned long long utime = 0, stime = 0;
        for (int i = 3; i <= 15 && rest >> field; ++i) {
            if (i == 14) utime = std::stoull(field);
            if (i == 15) stime = std::stoull(field);
        }
        total += static_cast<double>(utime + stime) * 1000.0 / static_cast<double>(hz);
    }
    closedir(dir);
    return total;
}

// Frame f of the bench signal: left = low 15 bits + 1, right = the rest, so any frame tells
// its own index.
void makeFrames(std::uint8_t* out, std::size_t first, std::size_t frames) {
    for (std::size_t i = 0; i < frames; ++i) {
        std::size_t f = first + i;
        auto l = static_cast<std::int16_t>((f & 0x7FFF) + 1);
        auto r = static_cast<std::int16_t>(f >> 15);
        std::memcpy(out + i * 4, &l, 2);
        std::memcpy(out + i * 4 + 2, &r, 2);
    }
}

long frameIndex(const std::uint8_t* frame) {
    std::int16_t l, r;
    std::memcpy(&l, frame, 2);
    std::memcpy(&r, frame + 2, 2);
    if (l <= 0) return -1;
    return static_cast<long>(l - 1) + (static_cast<long>(r) << 15);
}

void summary(const char* what, std::vector<double> v) {
    if (v.empty()) {
        std::printf("%-58s no samples\n", what);
        return;
    }
    std::sort(v.begin(), v.end());
    std::printf("%-58s median %6.1f ms  p90 %6.1f ms  max %6.1f ms  (n=%zu)\n", what, v[v.size() / 2],
                v[v.size() * 9 / 10], v.back(), v.size());
}

struct Engine {
    Engine() {
        state.audio.audioRunFlag = 1;  // raised by the starter, as startAudioEngine does
        thread = std::thread([this] {
            audio::AudioEngine engine(state, platform::hostAudio(), platform::systemClock(), ui,
                                      [this](const std::uint8_t* f) { onFrame(f); });
            engine.run();
        });
    }
    ~Engine() {
        state.audio.audioRunFlag = 0;
        thread.join();
    }
    void onFrame(const std::uint8_t* f) {
        double now = steadyNowMs();
        long last = frameIndex(f + 996);
        std::lock_guard<std::mutex> hold(lock);
        if (last >= 0) arrivals.emplace_back(last, now);
    }
    ClientState state;
    test::FakeAudioUi ui;
    std::mutex lock;
    std::vector<std::pair<long, double>> arrivals;  // (last frame index in the block, time)
    std::thread thread;
};

void measureEngine(test::PulseFixture& server, double seconds) {
    Engine e;
    while (e.state.audio.audioRunFlag != 1) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));

    double cpu0 = threadCpuMs(e.thread.native_handle()), lib0 = namedThreadCpuMs("threaded-ml");
    double t0 = steadyNowMs();
    std::this_thread::sleep_for(std::chrono::milliseconds(static_cast<int>(seconds * 1000)));
    double cpu1 = threadCpuMs(e.thread.native_handle()), lib1 = namedThreadCpuMs("threaded-ml");
    double t1 = steadyNowMs();
    std::printf("listening: engine thread CPU %.3f %% of one core, sound library thread %.2f %%\n",
                100 * (cpu1 - cpu0) / (t1 - t0), 100 * (lib1 - lib0) / (t1 - t0));

    e.state.setTransmit(true);
    while (e.state.lamps.lampTxRx != kLampRed) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    test::SourceWriter mic(server.sourceFifo());
    std::vector<double> written;  // time each block was written
    std::uint8_t block[kAudioBlockBytes];
    auto blocks = static_cast<std::size_t>(seconds * 32);
    double start = steadyNowMs();
    cpu0 = threadCpuMs(e.thread.native_handle());
    lib0 = namedThreadCpuMs("threaded-ml");
    for (std::size_t b = 0; b < blocks; ++b) {
        makeFrames(block, b * 250, 250);
        mic.write(block, sizeof block);
        written.push_back(steadyNowMs());
        sleepUntil(start + static_cast<double>(b + 1) * 31.25);
    }
    cpu1 = threadCpuMs(e.thread.native_handle());
    lib1 = namedThreadCpuMs("threaded-ml");
    t1 = steadyNowMs();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    e.state.setTransmit(false);
    std::printf("talking:   engine thread CPU %.3f %% of one core, sound library thread %.2f %%\n",
                100 * (cpu1 - cpu0) / (t1 - start), 100 * (lib1 - lib0) / (t1 - start));

    std::vector<double> latency;
    std::lock_guard<std::mutex> hold(e.lock);
    for (auto [frame, at] : e.arrivals) {
        auto b = static_cast<std::size_t>(frame / 250);
        if (b < written.size() && b > 3) latency.push_back(at - written[b]);
    }
    summary("microphone to frame sink (block written -> frame handed on)", latency);
}

void measurePlayback(test::PulseFixture& server, double seconds) {
    test::SinkRecorder speaker(server.sinkFifo());
    speaker.start();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));

    // An idle device: first sample out after a lone buffer is written.
    std::vector<double> firstSample;
    for (int round = 0; round < 5; ++round) {
        std::atomic<int> done{0};
        int error = 0;
        auto out = platform::hostAudio().openPlayback([&] { ++done; }, error);
        std::vector<std::uint8_t> data(4000);
        makeFrames(data.data(), static_cast<std::size_t>(100000 + round * 1000), 1000);
        platform::AudioBuffer b;
        b.data = data.data();
        b.length = 4000;
        std::size_t from = speaker.size();
        double w = steadyNowMs();
        out->write(b);
        while (done.load() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        out->close();
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        std::vector<std::uint8_t> heard = speaker.data();
        auto it = std::search(heard.begin() + static_cast<long>(from), heard.end(), data.begin(), data.begin() + 8);
        if (it != heard.end()) firstSample.push_back(speaker.arrivalMs(static_cast<std::size_t>(it - heard.begin())) - w);
    }
    summary("idle device: buffer written -> first sample out of the sink", firstSample);

    // Steady playback of two alternating buffers, as the engine does.
    std::atomic<int> done{0};
    std::vector<double> doneAt;
    std::mutex lock;
    int error = 0;
    auto out = platform::hostAudio().openPlayback([&] {
        std::lock_guard<std::mutex> hold(lock);
        doneAt.push_back(steadyNowMs());
        ++done;
    }, error);
    auto buffers = static_cast<int>(seconds * 8);
    std::vector<std::uint8_t> data[2] = {std::vector<std::uint8_t>(4000), std::vector<std::uint8_t>(4000)};
    platform::AudioBuffer b[2];
    std::size_t from = speaker.size();
    for (int i = 0; i < buffers; ++i) {
        if (i >= 2)
            while (done.load() < i - 1) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        makeFrames(data[i % 2].data(), static_cast<std::size_t>(200000 + i * 1000), 1000);
        b[i % 2].data = data[i % 2].data();
        b[i % 2].length = 4000;
        out->write(b[i % 2]);
    }
    while (done.load() < buffers) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    out->close();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    std::vector<std::uint8_t> heard = speaker.data();
    std::vector<double> beyond;
    for (int i = 2; i < buffers; ++i) {
        std::uint8_t last[4];
        makeFrames(last, static_cast<std::size_t>(200000 + i * 1000 + 999), 1);
        auto it = std::search(heard.begin() + static_cast<long>(from), heard.end(), last, last + 4);
        if (it == heard.end()) continue;
        std::lock_guard<std::mutex> hold(lock);
        beyond.push_back(speaker.arrivalMs(static_cast<std::size_t>(it - heard.begin())) - doneAt[static_cast<std::size_t>(i)]);
    }
    summary("steady playback: buffer reported done -> its last sample out", beyond);
    speaker.stop();
}

}  // namespace

int main(int argc, char** argv) {
    double seconds = argc > 1 ? std::atof(argv[1]) : 5.0;
    test::PulseFixture server;
    std::string error;
    if (!server.start(error)) {
        std::fprintf(stderr, "cannot start the sound server: %s\n", error.c_str());
        return 1;
    }
    audio::setMicVolume(1.0f);
    audio::setSpeakerVolume(1.0f);
    measurePlayback(server, seconds);
    measureEngine(server, seconds);
    server.stop();
    return 0;
}
