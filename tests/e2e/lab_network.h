#pragma once
// The lab network for end-to-end tests and measurements: a private sound server, a test
// certificate authority and the web server with two accounts, the voice server on the
// address the client is built for, and two real `orvane` clients (A and B) on channel 0,
// headless, each with its own runtime folder. A records from the pipe microphone and plays
// into a null sink; B plays into the pipe speaker, which a recorder reads. Everything lives in
// a temporary folder, removed at the end unless ORVANE_KEEP_LAB=1.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <set>
#include <vector>

#include "lab/child_process.h"
#include "tests/fakes/pulse_fixture.h"

namespace orvane::e2e {

struct LabClient {
    std::string name;
    std::uint32_t volumeSerial = 0;
    int account = 0;  // what the web server gives it
    std::string folder;
    // Set before startNetwork: entries ("NAME=value") that replace the lab's own, e.g. a real
    // display instead of the offscreen one.
    std::vector<std::string> env;
    std::unique_ptr<lab::ChildProcess> process;
};

class LabNetwork {
public:
    LabNetwork();
    ~LabNetwork();

    // Sound, certificates, web server and accounts: once per test program.
    bool startShared(std::string& error);
    // Voice server and both clients; waits until the server has both on channel 0.
    bool startNetwork(std::string& error, int presenceTimeoutMs = 3000);
    void stopNetwork();

    // An operator order to the voice server, its answer ("" when it did not answer).
    std::string order(const std::string& text);
    // The accounts a roster poll of `channel` gets now (server side).
    std::vector<int> roster(int channel);
    // Waits, polling every 50 ms, until `pred` holds; false after `timeoutMs`.
    template <class Pred>
    static bool waitUntil(Pred pred, int timeoutMs);

    // Number of recording streams on the sound server (A capturing shows as one).
    int recordingStreams();
    // Waits (at most `ms`) until both clients' start-up chimes (played by paplay on the private
    // sound server's speaker) have come and gone. False when one still plays.
    bool waitForChimesToEnd(int ms);
    // The talk command ('T' or 'R') to a client; false when it has no socket to take it.
    bool command(LabClient& c, char cmd);

    test::PulseFixture& pulse() { return *pulse_; }
    LabClient& a() { return clients_[0]; }
    LabClient& b() { return clients_[1]; }
    const std::string& folder() const { return dir_; }
    // The servers' process ids (-1 when not running), the web server's log, database and the
    // authority its clients trust.
    int webServerPid() const { return web_ ? web_->pid() : -1; }
    int voiceServerPid() const { return voice_ ? voice_->pid() : -1; }
    std::string webLogPath() const { return dir_ + "/web.log"; }
    std::string webDatabase() const { return dir_ + "/web.db"; }
    const std::string& caFile() const { return caFile_; }
    std::string clientLog(const LabClient& c) const;
    std::string serverLog() const;
    // The sound server's streams and the clients' sockets, for failure messages.
    std::string diagnostics();

private:
    bool startClient(LabClient& c, const std::string& sink, const std::string& source, std::string& error);

    std::unique_ptr<test::PulseFixture> pulse_;
    std::string dir_;
    std::string caFile_;
    std::unique_ptr<lab::ChildProcess> web_;
    std::unique_ptr<lab::ChildProcess> voice_;
    std::string operatorPath_;
    LabClient clients_[2];
    std::vector<int> chimeStreams();
    std::set<int> chimesSeen_;  // start-up chimes seen playing, by stream number
};

template <class Pred>
bool LabNetwork::waitUntil(Pred pred, int timeoutMs) {
    for (int waited = 0;; waited += 50) {
        if (pred()) return true;
        if (waited >= timeoutMs) return false;
        ::usleep(50000);
    }
}

// `blocks` audio blocks of 16-bit stereo noise without a single zero sample, so it cannot be
// mistaken for silence and any shift, loss or insertion shows.
std::vector<std::uint8_t> makeNoiseSignal(std::size_t blocks, std::uint32_t seed);

}  // namespace orvane::e2e
