// orvane-web-server: the reference web server of the Orvane network, and its operator commands
// (which work on the same database file, also while the server runs).
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "base/text.h"
#include "servers/web/demo_seed.h"
#include "servers/web/http_server.h"
#include "servers/web/store.h"

namespace {

using namespace orvane::webserver;

constexpr char kHelp[] = R"(Usage: orvane-web-server [serve] --cert FILE --key FILE [options]
       orvane-web-server COMMAND --db FILE [options]

The reference HTTPS server of the Orvane network: accounts found by machine identifier, each
user's card, colour and picture, the shared picture of each channel and the USB status icons.

Serving:
  --port N            TCP port (default 44300; 0 picks a free one, printed at start)
  --cert FILE         server certificate chain, PEM
  --key FILE          its private key, PEM
  --db FILE           SQLite database, created when missing (default orvane-web.db)
  --pictures-dir DIR  also keep every shared picture received in DIR
  --threads N         worker threads (default 2)
  --max-connections N connections held at once (default 256)
  --per-address N     connections held at once from one address (default 32)
  --idle-timeout S    seconds a silent connection is kept (default 20)
  --log-requests yes  one line per request on standard error: the client's address and port
                      (one connection each), method, target and status
  Prints "listening on port N" when ready; stops on SIGINT or SIGTERM. SIGUSR1 prints
  "counters: N connections, M requests" (since the start; each connection is one TLS
  handshake).

Operator commands (all take --db FILE):
  create-account --machine ID [--number N]
                                       account of a machine identifier (made when new,
                                       with number N when given); prints its number
  seed-demo                            the demo talkers' users (3001, 3002, 3010) with
                                       cards and pictures, a shared picture on channel 1
  set-status --machine ID --status S [--message TEXT]
                                       status sent in the account reply: 0 normal,
                                       200 or 240 stop the client, 220 stop and open the
                                       installer page; TEXT (at most 58 bytes once in
                                       Windows-1252) is shown with the stop
  set-card --account N [--prenom T] [--ville T] [--phrase T] [--email T] [--folder T]
                                       the user's card (only the texts given change)
  set-picture --account N --file PNG   the user's picture
  set-picture --account N --portrait yes
                                       a face of the account's own colour with its number
  set-background --account N --colorref HEX
                                       background colour, a COLORREF 0xBBGGRR in hex
  set-shared --channel C --file FILE   the shared picture of channel C (0..10)
  list                                 every account: number, machine, status
)";

volatile std::sig_atomic_t stopSignal = 0;
void onSignal(int) { stopSignal = 1; }
volatile std::sig_atomic_t countersAsked = 0;
void onCountersAsked(int) { countersAsked = 1; }

struct Args {
    std::string command = "serve";
    std::map<std::string, std::string> values;
    bool ok = true;

    bool has(const std::string& k) const { return values.count(k) != 0; }
    std::string get(const std::string& k, const std::string& def = "") const {
        auto it = values.find(k);
        return it == values.end() ? def : it->second;
    }
};

Args parse(int argc, char** argv) {
    Args a;
    int i = 1;
    if (i < argc && std::strncmp(argv[i], "--", 2) != 0) a.command = argv[i++];
    for (; i < argc; ++i) {
        std::string key = argv[i];
        if (key == "--help" || key == "-h") {
            a.command = "help";
            continue;
        }
        if (key.rfind("--", 0) != 0 || i + 1 >= argc) {
            std::fprintf(stderr, "orvane-web-server: unexpected argument %s\n", key.c_str());
            a.ok = false;
            return a;
        }
        a.values[key.substr(2)] = argv[++i];
    }
    return a;
}

int fail(const std::string& why) {
    std::fprintf(stderr, "orvane-web-server: %s\n", why.c_str());
    return 1;
}

bool readBytes(const std::string& path, Bytes& out) {
    std::string text;
    if (!readTextFile(path, text)) return false;
    out.assign(text.begin(), text.end());
    return true;
}

bool parseInt(const std::string& s, long min, long max, int& out) {
    char* end = nullptr;
    const long v = std::strtol(s.c_str(), &end, 10);
    if (s.empty() || *end != '\0' || v < min || v > max) return false;
    out = static_cast<int>(v);
    return true;
}

int serve(Store& store, const Args& a) {
    ServerOptions o;
    int port = 44300, threads = 2;
    if (!parseInt(a.get("port", "44300"), 0, 65535, port)) return fail("bad --port");
    if (!parseInt(a.get("threads", "2"), 1, 64, threads)) return fail("bad --threads");
    o.port = static_cast<std::uint16_t>(port);
    o.threads = threads;
    int limit = 0;
    if (!parseInt(a.get("max-connections", "256"), 1, 100000, limit)) return fail("bad --max-connections");
    o.connectionLimit = static_cast<unsigned>(limit);
    if (!parseInt(a.get("per-address", "32"), 1, 100000, limit)) return fail("bad --per-address");
    o.perAddressLimit = static_cast<unsigned>(limit);
    if (!parseInt(a.get("idle-timeout", "20"), 1, 3600, limit)) return fail("bad --idle-timeout");
    o.idleTimeoutSeconds = static_cast<unsigned>(limit);
    if (!readTextFile(a.get("cert"), o.certPem)) return fail("cannot read --cert " + a.get("cert"));
    if (!readTextFile(a.get("key"), o.keyPem)) return fail("cannot read --key " + a.get("key"));
    if (a.get("log-requests") == "yes") {
        o.requestLog = [](std::string_view line) {
            std::fprintf(stderr, "%.*s\n", static_cast<int>(line.size()), line.data());  // one write per line
        };
    }
    o.routes.picturesDir = a.get("pictures-dir");
    if (!o.routes.picturesDir.empty()) std::filesystem::create_directories(o.routes.picturesDir);

    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGUSR1, onCountersAsked);
    // The signals wait for the loop below (the server's threads, made after this, inherit the
    // mask), so that none comes between a check and the wait and is missed.
    sigset_t handled, waiting;
    sigemptyset(&handled);
    for (const int s : {SIGINT, SIGTERM, SIGUSR1}) sigaddset(&handled, s);
    sigprocmask(SIG_BLOCK, &handled, &waiting);
    WebServer server(store);
    std::string error;
    if (!server.start(o, error)) return fail(error);
    std::printf("orvane-web-server: listening on port %u\n", server.port());
    std::fflush(stdout);
    while (!stopSignal) {
        sigsuspend(&waiting);
        if (countersAsked) {
            countersAsked = 0;
            const WebServer::Counters c = server.counters();
            std::printf("orvane-web-server: counters: %llu connections, %llu requests\n",
                        static_cast<unsigned long long>(c.connections), static_cast<unsigned long long>(c.requests));
            std::fflush(stdout);
        }
    }
    server.stop();
    return 0;
}

// Bytes outside printable ASCII (and the blank that separates the fields) as \xHH, the
// backslash doubled, so that a line shows exactly what was stored and reads back unambiguously.
std::string printableText(const std::string& text) {
    std::string out;
    for (const char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (b == '\\') {
            out += "\\\\";
        } else if (b > 0x20 && b < 0x7F) {
            out += c;
        } else {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02X", b);
            out += hex;
        }
    }
    return out;
}

bool checkText(const std::string& t) { return t.find_first_of("<>") == std::string::npos; }

int setCard(Store& store, const Args& a, int number) {
    Card c;
    const std::pair<const char*, std::optional<std::string>*> fields[] = {
        {"prenom", &c.firstName}, {"ville", &c.town}, {"phrase", &c.phrase}, {"email", &c.email}, {"folder", &c.folder}};
    for (const auto& [key, field] : fields) {
        if (!a.has(key)) continue;
        // The client reads elements by plain text search: a bracket would cut the value.
        if (!checkText(a.get(key))) return fail(std::string("--") + key + " may not contain < or >");
        *field = a.get(key);
    }
    return store.setCard(number, c) ? 0 : fail("cannot store the card");
}

int operatorCommand(Store& store, const Args& a) {
    const std::string& cmd = a.command;
    int number = 0, value = 0;
    if (cmd == "list") {
        for (const Account& acc : store.accounts()) {
            // The identifier comes from the client: never send its bytes raw to a terminal.
            std::printf("%d %s %d\n", acc.number, printableText(acc.machineId).c_str(), acc.status);
        }
        return 0;
    }
    if (cmd == "seed-demo") return seedDemo(store) ? 0 : fail("cannot store the demo users");
    if (cmd == "create-account" || cmd == "set-status") {
        if (a.get("machine").empty()) return fail("--machine is required");
        if (a.has("number") && !parseInt(a.get("number"), 1, 65535, number)) return fail("bad --number (1..65535)");
        const auto acc = number != 0 ? store.createAccount(a.get("machine"), number)
                                     : store.findOrCreateAccount(a.get("machine"), "");
        if (!acc) return fail("no account: number or machine taken, or no number left");
        if (cmd == "create-account") {
            std::printf("%d\n", acc->number);
            return 0;
        }
        if (!parseInt(a.get("status"), 0, 255, value)) return fail("bad --status (0..255)");
        const std::string message = orvane::base::utf8ToCp1252(a.get("message"));
        if (message.size() > 58) return fail("--message is longer than 58 bytes");
        return store.setStatus(a.get("machine"), value, message) ? 0 : fail("cannot store the status");
    }
    if (cmd == "set-shared") {
        Bytes data;
        if (!parseInt(a.get("channel"), 0, 10, value)) return fail("bad --channel (0..10)");
        if (!readBytes(a.get("file"), data)) return fail("cannot read --file");
        const std::string name = std::filesystem::path(a.get("file")).filename().string();
        return store.setSharedPicture(value, {orvane::base::utf8ToCp1252(name), data}) ? 0 : fail("cannot store");
    }
    if (!parseInt(a.get("account"), 1, 65535, number)) return fail("bad --account (1..65535)");
    if (!store.accountByNumber(number)) return fail("no account " + std::to_string(number));
    if (cmd == "set-card") return setCard(store, a, number);
    if (cmd == "set-picture" && a.has("portrait")) {
        // A face with the account's number, for accounts without a photo (the lab's).
        return store.setPicture(number, portrait(number, portraitColour(number))) ? 0 : fail("cannot store");
    }
    if (cmd == "set-picture") {
        Bytes png;
        if (!readBytes(a.get("file"), png)) return fail("cannot read --file");
        return store.setPicture(number, png) ? 0 : fail("cannot store");
    }
    if (cmd == "set-background") {
        char* end = nullptr;
        const std::string hex = a.get("colorref");
        const unsigned long c = std::strtoul(hex.c_str(), &end, 16);
        if (hex.empty() || *end != '\0' || c > 0xFFFFFF) return fail("bad --colorref (hex 0..FFFFFF)");
        return store.setBackground(number, static_cast<std::uint32_t>(c), {}) ? 0 : fail("cannot store");
    }
    return fail("unknown command " + cmd + " (see --help)");
}

}  // namespace

int main(int argc, char** argv) {
    const Args a = parse(argc, argv);
    if (!a.ok) return 2;
    if (a.command == "help") {
        std::fputs(kHelp, stdout);
        return 0;
    }
    Store store;
    std::string error;
    if (!store.open(a.get("db", "orvane-web.db"), error)) return fail("database: " + error);
    return a.command == "serve" ? serve(store, a) : operatorCommand(store, a);
}
