// Local users kept apart on a shared Linux machine: single-instance locks live in the user's
// own private folder, the running-program check sees only the user's own processes, and the
// lab's serial port list cannot name anything outside /dev. Each rule is checked on a made-up
// /proc, folder owner or temporary root, and, when the test runs as root, against a real
// second user: a spare user id (the kernel knows users by number only, so no account is made)
// that a child of this program switches to before it runs this same program in a helper mode.
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "platform/linux/user_scope.h"
#include "platform/serial.h"
#include "platform/system.h"

namespace fs = std::filesystem;

namespace orvane::test {
namespace {

using platform::linux_user::isDevicePortName;
using platform::linux_user::ownProcessRunning;
using platform::linux_user::privateFolder;

// A fresh folder under /tmp, removed at the end.
class TempFolder {
public:
    TempFolder() {
        char name[] = "/tmp/orvane-users-test-XXXXXX";
        path_ = ::mkdtemp(name) != nullptr ? name : "";
    }
    ~TempFolder() {
        std::error_code ignored;
        if (!path_.empty()) fs::remove_all(path_, ignored);
    }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

std::string modeOf(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return "missing";
    char text[16];
    std::snprintf(text, sizeof text, "%03o", st.st_mode & 0777);
    return text;
}

TEST(LocalUsers, TheLockFolderIsAlwaysPrivateToTheUser) {
    TempFolder tmp;
    ASSERT_FALSE(tmp.path().empty());
    const uid_t me = ::getuid();
    const uid_t someoneElse = me + 1;
    const std::string runtime = tmp.path() + "/runtime";
    ASSERT_EQ(::mkdir(runtime.c_str(), 0700), 0);
    const std::string open = tmp.path() + "/open";
    ASSERT_EQ(::mkdir(open.c_str(), 0700), 0);
    ASSERT_EQ(::chmod(open.c_str(), 0755), 0);
    const std::string own = tmp.path() + "/orvane-" + std::to_string(me);

    // $XDG_RUNTIME_DIR is used only when it is an absolute path to a private folder of ours.
    const struct {
        const char* runtimeDir;
        std::string expected;
    } runtimeCases[] = {
        {runtime.c_str(), runtime},
        {nullptr, own},
        {"", own},
        {"runtime", own},       // relative
        {open.c_str(), own},    // others may enter it
        {"/nonexistent", own},
    };
    for (const auto& c : runtimeCases) {
        EXPECT_EQ(privateFolder(c.runtimeDir, me, tmp.path()), c.expected) << (c.runtimeDir ? c.runtimeDir : "unset");
        if (c.expected == own) {
            EXPECT_EQ(modeOf(own), "700");
        }
    }
    // The same folder seen by another user is not theirs: they get their own, never ours.
    EXPECT_EQ(privateFolder(runtime.c_str(), someoneElse, tmp.path()), "") << "a folder of another user";
    EXPECT_EQ(privateFolder(nullptr, someoneElse, "/nonexistent"), "");

    // A fallback folder that someone put there first is never used: not a link to one of ours,
    // not one others may write in.
    fs::remove_all(own);
    ASSERT_EQ(::symlink(runtime.c_str(), own.c_str()), 0);
    EXPECT_EQ(privateFolder(nullptr, me, tmp.path()), "");
    fs::remove(own);
    ASSERT_EQ(::mkdir(own.c_str(), 0700), 0);
    ASSERT_EQ(::chmod(own.c_str(), 0777), 0);
    EXPECT_EQ(privateFolder(nullptr, me, tmp.path()), "");
}

// A made-up /proc: what each process is called and whose it is.
TEST(LocalUsers, TheProgramCheckCountsOnlyTheUsersOwnProcesses) {
    TempFolder proc;
    auto process = [&](const char* pid, const char* comm, std::optional<int> uid) {
        const std::string dir = proc.path() + "/" + pid;
        fs::create_directories(dir);
        std::ofstream(dir + "/comm") << comm << "\n";
        if (uid)
            std::ofstream(dir + "/status") << "Name:\t" << comm << "\nUmask:\t0022\nState:\tS (sleeping)\nUid:\t" << *uid
                                           << "\t" << *uid << "\t" << *uid << "\t" << *uid << "\n";
    };
    process("100", "parlo", 1000);
    process("200", "PARLO", 2000);
    process("300", "a-very-long-pro", 1000);  // the kernel keeps 15 characters
    process("400", "ghost", std::nullopt);     // ended between the two reads
    process("self", "parlo", 3000);            // not a process number
    const struct {
        const char* name;
        uid_t uid;
        bool running;
    } cases[] = {
        {"parlo", 1000, true},   {"Parlo", 2000, true},   {"parlo", 3000, false},
        {"parlo", 0, false},     {"a-very-long-program", 1000, true},
        {"a-very-long-program", 2000, false},             {"ghost", 0, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ownProcessRunning(proc.path(), c.name, c.uid), c.running) << c.name << " of " << c.uid;
}

TEST(LocalUsers, LabPortNamesStayInsideDev) {
    const struct {
        const char* name;
        bool accepted;
    } cases[] = {
        {"ttyUSB0", true},          {"ttyACM12", true},        {"pts/7", true},
        {"", false},                {".", false},              {"..", false},
        {"../etc/shadow", false},   {"/etc/shadow", false},    {"pts/../../etc/shadow", false},
        {"pts/", false},            {"pts/7/..", false},       {"shm/x", false},
        {"fd/0", false},            {"tty\nUSB0", false},      {"pts/7a", false},
    };
    for (const auto& c : cases) EXPECT_EQ(isDevicePortName(c.name), c.accepted) << c.name;

    // Through the lab's port list, as the device thread reads it.
    TempFolder dir;
    const std::string list = dir.path() + "/serial-ports";
    {
        std::ofstream out(list);
        for (const auto& c : cases) {
            if (std::strchr(c.name, '\n') == nullptr) out << "USB\\VID_0403&PID_6001\t" << c.name << "\n";
        }
    }
    ::setenv("ORVANE_LAB_SERIAL_PORTS", list.c_str(), 1);
    std::vector<platform::SerialPortEntry> ports;
    const bool listed = platform::systemSerialPorts().listPorts(ports);
    ::unsetenv("ORVANE_LAB_SERIAL_PORTS");
    ASSERT_TRUE(listed);
    std::vector<std::string> names;
    for (const auto& p : ports) names.push_back(p.portName.value_or("(none)"));
    EXPECT_EQ(names, (std::vector<std::string>{"ttyUSB0", "ttyACM12", "pts/7"}));
}

// ---- a real second user -------------------------------------------------------------------

// A child of this program, started as `uid` (or as ourselves), running one of the helper
// modes of main() below with a bare environment: no $XDG_RUNTIME_DIR, as on a machine where the
// session sets none. It runs until the test closes its input.
class Helper {
public:
    Helper(std::optional<uid_t> uid, const std::vector<std::string>& args) {
        int in[2], out[2];
        if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0) return;
        std::vector<std::string> argv = {"local_users_test"};
        argv.insert(argv.end(), args.begin(), args.end());
        std::vector<char*> cargs;
        for (auto& a : argv) cargs.push_back(a.data());
        cargs.push_back(nullptr);
        char path[] = "PATH=/usr/bin:/bin";
        char* env[] = {path, nullptr};
        char self[4096];
        const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
        if (n <= 0) return;
        self[n] = '\0';
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(in[0], 0);
            ::dup2(out[1], 1);
            if (uid && (::setgroups(0, nullptr) != 0 || ::setgid(*uid) != 0 || ::setuid(*uid) != 0)) {
                (void)::write(1, "no-user\n", 8);
                ::_exit(3);
            }
            ::execve(self, cargs.data(), env);
            ::_exit(127);
        }
        ::close(in[0]);
        ::close(out[1]);
        input_ = in[1];
        output_ = out[0];
    }
    ~Helper() {
        if (input_ >= 0) ::close(input_);
        if (output_ >= 0) ::close(output_);
        if (pid_ > 0) {
            int status = 0;
            ::waitpid(pid_, &status, 0);
        }
    }
    // The helper's first line: what it did ("created", "named", "no-user", ...).
    std::string firstLine() {
        std::string line;
        char c = 0;
        while (output_ >= 0 && ::read(output_, &c, 1) == 1 && c != '\n') line += c;
        return line;
    }

private:
    pid_t pid_ = -1;
    int input_ = -1;
    int output_ = -1;
};

// A user id with no account and no folder of ours under /tmp.
uid_t spareUserId() {
    for (uid_t uid = 64100; uid < 65000; ++uid) {
        if (::getpwuid(uid) == nullptr && !fs::exists("/tmp/orvane-" + std::to_string(uid))) return uid;
    }
    return 0;
}

class SecondUser : public ::testing::Test {
protected:
    void SetUp() override {
        if (::geteuid() != 0) GTEST_SKIP() << "only root can act as a second user here (the made-up cases run anyway)";
        other = spareUserId();
        ASSERT_NE(other, 0u);
        if (const char* x = std::getenv("XDG_RUNTIME_DIR")) savedRuntime = x;
        ::unsetenv("XDG_RUNTIME_DIR");  // the case where the lock files once went to /tmp itself
    }
    void TearDown() override {
        if (savedRuntime) ::setenv("XDG_RUNTIME_DIR", savedRuntime->c_str(), 1);
        std::error_code ignored;
        if (other != 0) fs::remove_all("/tmp/orvane-" + std::to_string(other), ignored);
    }
    uid_t other = 0;
    std::optional<std::string> savedRuntime;
    const std::string tag = std::to_string(::getpid());
};

TEST_F(SecondUser, AnotherUsersLocksAreNeverSeenNorInTheWay) {
    // The other user runs both programs of ours: their Orvane and their Parlo hold their locks.
    Helper theirOrvane(other, {"--hold-mutex", "Orvane-t" + tag});
    Helper theirParlo(other, {"--hold-mutex", "Orvane-Synthe-t" + tag});
    const std::string a = theirOrvane.firstLine(), b = theirParlo.firstLine();
    if (a == "no-user") GTEST_SKIP() << "cannot switch to another user id here";
    ASSERT_EQ(a, "created");
    ASSERT_EQ(b, "created");
    const std::string theirs = "/tmp/orvane-" + std::to_string(other);
    EXPECT_EQ(modeOf(theirs), "700");
    EXPECT_EQ(modeOf(theirs + "/orvane-mutex-Orvane-t" + tag + ".lock"), "600");
    EXPECT_EQ(modeOf("/tmp/orvane-mutex-Orvane-t" + tag + ".lock"), "missing");

    // Ours are apart: their Orvane does not make our Parlo believe ours runs, their Parlo does
    // not keep ours from starting.
    platform::System& sys = platform::hostSystem();
    EXPECT_FALSE(sys.namedMutexExists("Orvane-t" + tag));
    EXPECT_EQ(sys.createNamedMutex("Orvane-Synthe-t" + tag), platform::MutexResult::Created);
    // ...while a lock of our own user, held by another of our processes, is seen.
    Helper ourOrvane(std::nullopt, {"--hold-mutex", "Orvane-u" + tag});
    ASSERT_EQ(ourOrvane.firstLine(), "created");
    EXPECT_TRUE(sys.namedMutexExists("Orvane-u" + tag));
    EXPECT_EQ(sys.createNamedMutex("Orvane-u" + tag), platform::MutexResult::AlreadyExists);
}

TEST_F(SecondUser, AnotherUsersProgramIsNotOurs) {
    const std::string name = "ovt" + tag;  // well under the kernel's 15 characters
    Helper theirs(other, {"--named", name});
    const std::string line = theirs.firstLine();
    if (line == "no-user") GTEST_SKIP() << "cannot switch to another user id here";
    ASSERT_EQ(line, "named");
    platform::System& sys = platform::hostSystem();
    EXPECT_FALSE(sys.isProcessRunning(name)) << "another user's process counted as ours";
    Helper ours(std::nullopt, {"--named", name});
    ASSERT_EQ(ours.firstLine(), "named");
    EXPECT_TRUE(sys.isProcessRunning(name));
    EXPECT_TRUE(sys.isProcessRunning("OVT" + tag)) << "case does not count";
}

// Helper modes: print what was done, then wait until the input closes.
int helperMain(const std::string& mode, const std::string& name) {
    if (mode == "--hold-mutex") {
        const auto r = platform::hostSystem().createNamedMutex(name);
        std::printf("%s\n", r == platform::MutexResult::Created ? "created"
                            : r == platform::MutexResult::AlreadyExists ? "exists"
                                                                        : "failed");
    } else {
        ::prctl(PR_SET_NAME, name.c_str(), 0, 0, 0);
        std::printf("named\n");
    }
    std::fflush(stdout);
    char c = 0;
    while (::read(0, &c, 1) > 0) {
    }
    return 0;
}

}  // namespace
}  // namespace orvane::test

int main(int argc, char** argv) {
    if (argc == 3 && (std::strcmp(argv[1], "--hold-mutex") == 0 || std::strcmp(argv[1], "--named") == 0))
        return orvane::test::helperMain(argv[1], argv[2]);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
