// Prints: speak request -> first non-silent sample at the sink for a 60-character text (p50,
// p90), the synthesis and file shares of it, Parlo's CPU while waiting and its resident memory.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "lab/child_process.h"
#include "parlo/riff_walk.h"
#include "parlo/speak.h"
#include "parlo/voice_rule.h"
#include "platform/speech_synth.h"
#include "platform/udp.h"
#include "tests/fakes/pulse_fixture.h"

namespace {

using orvane::test::steadyNowMs;

// 60 characters.
constexpr char kText[] = "Cliquez sur NETWORK pour voir les correspondants du groupe..";

double percentile(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[static_cast<std::size_t>(p * (v.size() - 1) + 0.5)];
}

// Offset of the first frame whose left sample is louder than the sink's silence.
long firstVoiced(const std::vector<std::uint8_t>& pcm) {
    for (std::size_t i = 0; i + 4 <= pcm.size(); i += 4) {
        const auto l = static_cast<std::int16_t>(pcm[i] | (pcm[i + 1] << 8));
        if (std::abs(l) > 300) return static_cast<long>(i);
    }
    return -1;
}

long ticksOf(int pid) {
    std::ifstream f("/proc/" + std::to_string(pid) + "/stat");
    std::string all((std::istreambuf_iterator<char>(f)), {});
    std::size_t close = all.rfind(')');
    if (close == std::string::npos) return -1;
    std::istringstream rest(all.substr(close + 2));
    std::string field;
    long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && rest >> field; ++i) {
        if (i == 14) utime = std::stol(field);
        if (i == 15) stime = std::stol(field);
    }
    return utime + stime;
}

std::string rssOf(int pid) {
    std::ifstream f("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(f, line)) {
        if (line.rfind("VmRSS:", 0) == 0) return line.substr(6);
    }
    return "?";
}

void sleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

}  // namespace

int main() {
    orvane::test::PulseFixture pulse;
    std::string error;
    if (!pulse.start(error)) {
        std::fprintf(stderr, "no sound server: %s\n", error.c_str());
        return 1;
    }
    char tmpl[] = "/tmp/parlo-bench-XXXXXX";
    const std::string runtime = ::mkdtemp(tmpl);
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);

    // In-process: synthesis and the two files, as Parlo's speak does them.
    {
        auto& speech = orvane::platform::hostSpeech();
        std::vector<double> synth, files;
        const std::u16string text(kText, kText + std::strlen(kText));
        for (int i = 0; i < 20; ++i) {
            const double t0 = steadyNowMs();
            auto s = speech.newSynthesizer();
            std::vector<orvane::platform::VoiceInfo> voices;
            s->voices(voices);
            const int v = orvane::parlo::chooseVoice(voices);
            if (v >= 0) s->selectVoice(voices[static_cast<std::size_t>(v)]);
            std::vector<std::uint8_t> wav;
            s->synthesizeToWav(text, wav);
            const double t1 = steadyNowMs();
            orvane::parlo::SpeakContext ctx{speech, [&] { return runtime; }};
            orvane::parlo::dumpRawSamples(ctx, wav);
            speech.writeFile(orvane::parlo::temporaryFilePath(ctx, orvane::parlo::kSoundFile), wav.data(), wav.size());
            const double t2 = steadyNowMs();
            synth.push_back(t1 - t0);
            files.push_back(t2 - t1);
        }
        std::printf("synthesis of 60 chars (voice list + synth): p50 %.1f ms, p90 %.1f ms\n", percentile(synth, 0.5),
                    percentile(synth, 0.9));
        std::printf("two files written: p50 %.2f ms, p90 %.2f ms\n", percentile(files, 0.5), percentile(files, 0.9));
    }

    // The real program, with Orvane's lock held here.
    const int lockFd = ::open((runtime + "/orvane-mutex-Orvane.lock").c_str(), O_RDWR | O_CREAT, 0600);
    ::flock(lockFd, LOCK_EX);
    orvane::test::SinkRecorder recorder(pulse.sinkFifo());
    recorder.start();
    orvane::lab::ChildProcess parlo;
    if (!parlo.start({PARLO_PATH}, {"QT_QPA_PLATFORM=offscreen", "ORVANE_LAB_ANSWER_BOXES=1"}, runtime + "/parlo.log",
                     runtime)) {
        std::fprintf(stderr, "parlo did not start\n");
        return 1;
    }
    // The announcements: wait until the sink has been quiet for 2 s.
    sleepMs(3000);
    for (int quiet = 0; quiet < 20;) {
        recorder.clear();
        sleepMs(1000);
        quiet = firstVoiced(recorder.data()) < 0 ? quiet + 20 : 0;
    }
    const long t0 = ticksOf(parlo.pid());
    sleepMs(5000);
    const long t1 = ticksOf(parlo.pid());
    const long hz = ::sysconf(_SC_CLK_TCK);
    std::printf("parlo waiting: CPU %.2f %% over 5 s, resident memory%s\n",
                100.0 * static_cast<double>(t1 - t0) / static_cast<double>(hz) / 5.0, rssOf(parlo.pid()).c_str());

    auto& udp = orvane::platform::systemUdp();
    const auto s = udp.openBound(orvane::platform::kLoopback, 0);
    std::vector<double> latency;
    std::string datagram = std::string("\x01") + kText;
    for (int i = 0; i < 15; ++i) {
        recorder.clear();
        const double sent = steadyNowMs();
        udp.sendTo(s, datagram.data(), datagram.size(), orvane::platform::kLoopback, 5555);
        long at = -1;
        for (int n = 0; n < 200 && at < 0; ++n) {
            sleepMs(20);
            at = firstVoiced(recorder.data());
        }
        if (at >= 0) {
            double arrived = -1;
            for (int n = 0; n < 100 && arrived < 0; ++n) {
                arrived = recorder.arrivalMs(static_cast<std::size_t>(at));
                if (arrived < 0) sleepMs(10);
            }
            latency.push_back(arrived - sent);
        }
        // Let the text end before the next one.
        for (int quiet = 0; quiet < 1;) {
            recorder.clear();
            sleepMs(700);
            quiet = firstVoiced(recorder.data()) < 0 ? 1 : 0;
        }
    }
    std::printf("speak request -> first sound at the sink (60 chars, %zu runs): p50 %.1f ms, p90 %.1f ms\n",
                latency.size(), percentile(latency, 0.5), percentile(latency, 0.9));
    if (!parlo.running()) {
        int code = 0;
        parlo.waitExit(0, code);
        std::printf("parlo ended early (code %d): %s\n", code, orvane::lab::readFile(runtime + "/parlo.log").c_str());
    }
    std::printf("parlo after %zu texts: resident memory%s\n", latency.size(), rssOf(parlo.pid()).c_str());
    const char stop = '\xFF';
    udp.sendTo(s, &stop, 1, orvane::platform::kLoopback, 5555);
    int code = 0;
    parlo.waitExit(30000, code);
    udp.close(s);
    std::system(("rm -rf '" + runtime + "'").c_str());
    return 0;
}
