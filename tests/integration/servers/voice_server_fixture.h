#pragma once
// The real orvane-voice-server on a loopback address of its own, so these tests run beside
// the lab (127.0.0.1) and each other.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "lab/child_process.h"
#include "servers/voice/sim_client.h"

namespace orvane::server::test {

class VoiceServerFixture : public ::testing::Test {
protected:
    // 127.0.0.<last>
    void startServer(int last, std::vector<std::string> extra = {}) {
        address = 0x7F000000u | static_cast<std::uint32_t>(last);
        dir = "/tmp/orvane-vs-test-" + std::to_string(::getpid());
        ::mkdir(dir.c_str(), 0700);
        operatorPath = dir + "/operator";
        logPath = dir + "/server.log";
        std::vector<std::string> argv = {std::string(ORVANE_RUN_DIR "/orvane-voice-server"),
                                         "--address", "127.0.0." + std::to_string(last), "--operator",
                                         operatorPath, "--timeout-ms", "1500"};
        argv.insert(argv.end(), extra.begin(), extra.end());
        ASSERT_TRUE(server.start(argv, {}, logPath));
        // Ready once the operator socket answers.
        for (int i = 0; i < 500 && order("status") != 0; ++i) ::usleep(10000);
        ASSERT_EQ(order("status"), 0) << lab::readFile(logPath);
    }
    void TearDown() override {
        server.stop();
        ::unlink(logPath.c_str());
        ::rmdir(dir.c_str());
    }
    int order(const std::string& text) {
        lab::ChildProcess p;
        if (!p.start({std::string(ORVANE_RUN_DIR "/orvane-voice-server"), "--operator", operatorPath,
                      "--order", text}))
            return -1;
        int code = -1;
        p.waitExit(10000, code);
        return code;
    }
    // Keeps the given clients present while waiting.
    void keepPresent(std::vector<SimClient*> clients, int ms) {
        for (int t = 0; t < ms; t += 20) {
            for (auto* c : clients) c->sendKeepalive();
            ::usleep(20000);
        }
    }
    // Roster of `channel` as asked by `c`: the account numbers, or {-1} with no reply.
    std::vector<int> roster(SimClient& c, int channel) {
        c.drain();
        c.sendRosterPoll(channel);
        std::uint8_t buf[1024];
        int n = c.receiveControl(buf, sizeof buf, 3000);
        if (n < 3 || buf[0] != 'L' || buf[1] != channel) return {-1};
        std::vector<int> accounts;
        for (int i = 0; i < static_cast<std::int8_t>(buf[2]) && 4 + 2 * i < n; ++i)
            accounts.push_back(buf[3 + 2 * i] | (buf[4 + 2 * i] << 8));
        return accounts;
    }

    std::uint32_t address = 0;
    std::string dir, operatorPath, logPath;
    lab::ChildProcess server;
};

}  // namespace orvane::server::test
