#include "tests/e2e/lab_network.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "lab/operator_client.h"
#include "lab/talk_command.h"

namespace orvane::e2e {

namespace {

const std::string kRun = ORVANE_RUN_DIR;
const std::string kSource = ORVANE_SOURCE_DIR;

// Runs a program to its end; its output, or "" with ok false.
std::string runToEnd(const std::vector<std::string>& argv, const std::string& log, bool& ok) {
    ::unlink(log.c_str());
    lab::ChildProcess p;
    int code = -1;
    ok = p.start(argv, {}, log) && p.waitExit(60000, code) && code == 0;
    return lab::readFile(log);
}

std::string machineIdOf(std::uint32_t serial) {
    char id[20];
    std::snprintf(id, sizeof id, "%016lu", static_cast<unsigned long>(serial));
    return id;
}

}  // namespace

LabNetwork::LabNetwork() {
    clients_[0].name = "A";
    clients_[0].volumeSerial = 424243;
    clients_[1].name = "B";
    clients_[1].volumeSerial = 424244;
}

LabNetwork::~LabNetwork() {
    stopNetwork();
    if (web_) web_->stop();
    pulse_.reset();
    // Failure messages carry the logs; ORVANE_KEEP_LAB=1 keeps the whole folder for a look.
    const char* keep = std::getenv("ORVANE_KEEP_LAB");
    if (!dir_.empty() && (keep == nullptr || *keep == '\0' || *keep == '0')) {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
}

bool LabNetwork::startShared(std::string& error) {
    char tmpl[] = "/tmp/orvane-e2e-XXXXXX";
    if (::mkdtemp(tmpl) == nullptr) {
        error = "no temporary folder";
        return false;
    }
    dir_ = tmpl;
    pulse_ = std::make_unique<test::PulseFixture>();
    if (!pulse_->start(error)) return false;

    bool ok = false;
    runToEnd({"/bin/bash", kSource + "/servers/web/make-test-ca.sh", dir_ + "/ca"}, dir_ + "/ca.log", ok);
    if (!ok) {
        error = "cannot make the test certificate authority";
        return false;
    }
    caFile_ = dir_ + "/ca/ca.pem";
    const std::string web = kRun + "/orvane-web-server";
    const std::string db = dir_ + "/web.db";
    for (LabClient& c : clients_) {
        std::string out = runToEnd({web, "create-account", "--db", db, "--machine", machineIdOf(c.volumeSerial)},
                                   dir_ + "/account.log", ok);
        c.account = std::atoi(out.c_str());
        if (!ok || c.account <= 0) {
            error = "cannot create an account on the web server: " + out;
            return false;
        }
        // A user with a card and parameters, as on the real network (a fresh account would
        // stop each client's start-up on the "no parameters" notice, which nobody closes here).
        const std::string number = std::to_string(c.account);
        runToEnd({web, "set-card", "--db", db, "--account", number, "--prenom", "Client " + c.name, "--ville", "Lab",
                  "--phrase", "Bonjour"},
                 dir_ + "/card.log", ok);
        bool colour = false;
        runToEnd({web, "set-background", "--db", db, "--account", number, "--colorref", "402010"},
                 dir_ + "/colour.log", colour);
        if (!ok || !colour) {
            error = "cannot set the card of account " + number + ": " + lab::readFile(dir_ + "/card.log") +
                    lab::readFile(dir_ + "/colour.log");
            return false;
        }
    }
    web_ = std::make_unique<lab::ChildProcess>();
    const std::string webLog = dir_ + "/web.log";
    if (!web_->start({web, "serve", "--cert", dir_ + "/ca/server.pem", "--key", dir_ + "/ca/server.key", "--db", db,
                      "--port", ORVANE_WEB_PORT},
                     {}, webLog) ||
        !waitUntil([&] { return lab::readFile(webLog).find("listening") != std::string::npos; }, 20000)) {
        error = "the web server did not start: " + lab::readFile(webLog);
        return false;
    }
    return true;
}

bool LabNetwork::startClient(LabClient& c, const std::string& sink, const std::string& source, std::string& error) {
    c.folder = dir_ + "/client-" + c.name;
    ::mkdir(c.folder.c_str(), 0700);
    const std::string xdg = c.folder + "/xdg";
    ::mkdir(xdg.c_str(), 0700);
    c.process = std::make_unique<lab::ChildProcess>();
    std::vector<std::string> env = {
        "XDG_RUNTIME_DIR=" + xdg,
        "ORVANE_LAB_VOLUME_SERIAL=" + std::to_string(c.volumeSerial),
        "PULSE_SINK=" + sink,
        "PULSE_SOURCE=" + source,
        "QT_QPA_PLATFORM=offscreen",
        "ORVANE_WEB_CA_FILE=" + caFile_,
    };
    for (const std::string& entry : c.env) {
        const std::string name = entry.substr(0, entry.find('=') + 1);
        std::erase_if(env, [&](const std::string& e) { return e.compare(0, name.size(), name) == 0; });
        env.push_back(entry);
    }
    // ORVANE_LAB_CLIENT runs another build of the client (to measure one against the other).
    const char* program = std::getenv("ORVANE_LAB_CLIENT");
    if (!c.process->start({program != nullptr ? std::string(program) : kRun + "/orvane"}, env,
                          c.folder + "/client.log", kRun)) {
        error = "cannot start client " + c.name;
        return false;
    }
    return true;
}

bool LabNetwork::startNetwork(std::string& error, int presenceTimeoutMs) {
    operatorPath_ = dir_ + "/voice-operator.sock";
    voice_ = std::make_unique<lab::ChildProcess>();
    if (!voice_->start({kRun + "/orvane-voice-server", "--address", ORVANE_VOICE_SERVER, "--operator", operatorPath_,
                        "--timeout-ms", std::to_string(presenceTimeoutMs)},
                       {}, dir_ + "/voice-server.log") ||
        !waitUntil([&] { return !order("status").empty() || !voice_->running(); }, 10000) || !voice_->running()) {
        error = "the voice server did not start: " + serverLog();
        return false;
    }
    if (!startClient(a(), "nullsink", test::PulseFixture::kSourceName, error)) return false;
    if (!startClient(b(), test::PulseFixture::kSinkName, test::PulseFixture::kHeadsetSourceName, error)) return false;
    bool both = waitUntil(
        [&] {
            std::vector<int> r = roster(0);
            auto has = [&](int account) { return std::find(r.begin(), r.end(), account) != r.end(); };
            return has(a().account) && has(b().account);
        },
        30000);
    if (!both) {
        error = "the clients did not both join channel 0 with their accounts; server sees: " + order("clients") +
                "\nA: " + clientLog(a()) + "\nB: " + clientLog(b());
        return false;
    }
    return true;
}

void LabNetwork::stopNetwork() {
    for (LabClient& c : clients_) {
        if (c.process) c.process->stop();
        c.process.reset();
    }
    if (voice_) voice_->stop();
    voice_.reset();
}

std::string LabNetwork::order(const std::string& text) {
    std::string reply;
    lab::askVoiceServer(operatorPath_, text, reply, 2000);
    return reply;
}

std::vector<int> LabNetwork::roster(int channel) {
    std::string reply = order("roster " + std::to_string(channel));
    std::vector<int> accounts;
    std::size_t colon = reply.find(':');
    if (colon == std::string::npos) return accounts;
    std::istringstream in(reply.substr(colon + 1));
    int a = 0;
    while (in >> a) accounts.push_back(a);
    return accounts;
}

int LabNetwork::recordingStreams() {
    FILE* p = ::popen("pactl list short source-outputs 2>/dev/null", "r");
    if (p == nullptr) return -1;
    int lines = 0;
    char line[512];
    while (std::fgets(line, sizeof line, p) != nullptr) ++lines;
    ::pclose(p);
    return lines;
}

std::vector<int> LabNetwork::chimeStreams() {
    std::vector<int> found;
    FILE* p = ::popen("pactl list sink-inputs 2>/dev/null", "r");
    if (p == nullptr) return found;
    int current = -1;
    char line[1024];
    while (std::fgets(line, sizeof line, p) != nullptr) {
        if (std::sscanf(line, "Sink Input #%d", &current) == 1) continue;
        if (std::strstr(line, "application.process.binary = \"paplay\"") != nullptr) found.push_back(current);
    }
    ::pclose(p);
    return found;
}

bool LabNetwork::waitForChimesToEnd(int ms) {
    std::vector<int> playing;
    waitUntil(
        [&] {
            playing = chimeStreams();
            chimesSeen_.insert(playing.begin(), playing.end());
            return chimesSeen_.size() >= 2 && playing.empty();
        },
        ms);
    return playing.empty();
}

bool LabNetwork::command(LabClient& c, char cmd) {
    return c.process && lab::sendClientCommand(c.process->pid(), cmd) > 0;
}

std::string LabNetwork::diagnostics() {
    std::string out;
    for (const char* what : {"sink-inputs", "source-outputs", "sinks", "sources"}) {
        out += std::string("pactl list short ") + what + ":\n";
        FILE* p = ::popen((std::string("pactl list short ") + what + " 2>&1").c_str(), "r");
        char line[512];
        while (p != nullptr && std::fgets(line, sizeof line, p) != nullptr) out += line;
        if (p != nullptr) ::pclose(p);
    }
    for (LabClient& c : clients_) {
        out += "client " + c.name + " UDP ports:";
        if (c.process)
            for (auto port : lab::udpPortsOfProcess(c.process->pid())) out += " " + std::to_string(port);
        out += "\n";
    }
    return out + order("clients");
}

std::string LabNetwork::clientLog(const LabClient& c) const { return lab::readFile(c.folder + "/client.log"); }
std::string LabNetwork::serverLog() const { return lab::readFile(dir_ + "/voice-server.log"); }

std::vector<std::uint8_t> makeNoiseSignal(std::size_t blocks, std::uint32_t seed) {
    std::vector<std::uint8_t> s(blocks * 1000);
    std::uint32_t x = seed;
    for (std::size_t i = 0; i < s.size(); i += 2) {
        x = x * 1664525u + 1013904223u;
        auto v = static_cast<std::uint16_t>(x >> 16);
        if (v == 0) v = 1;
        s[i] = static_cast<std::uint8_t>(v & 255);
        s[i + 1] = static_cast<std::uint8_t>(v >> 8);
    }
    return s;
}

}  // namespace orvane::e2e
