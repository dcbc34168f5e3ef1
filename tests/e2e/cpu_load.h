#pragma once
// A bounded load generator: one busy child process per core, at normal priority, for tests
// that must hold on a saturated machine. The children end when stop() is called, when the
// test process dies, and in any case after `limitSeconds`.
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <vector>

namespace orvane::e2e {

class CpuLoad {
public:
    CpuLoad() = default;
    ~CpuLoad() { stop(); }
    CpuLoad(const CpuLoad&) = delete;
    CpuLoad& operator=(const CpuLoad&) = delete;

    // `workers` <= 0: one per online core.
    void start(int workers, unsigned limitSeconds) {
        if (workers <= 0) workers = static_cast<int>(::sysconf(_SC_NPROCESSORS_ONLN));
        for (int i = 0; i < workers; ++i) {
            pid_t pid = ::fork();
            if (pid == 0) {
                ::prctl(PR_SET_PDEATHSIG, SIGKILL);
                ::alarm(limitSeconds);  // SIGALRM's default action ends the child
                volatile unsigned long spin = 0;
                for (;;) spin = spin + 1;
            }
            if (pid > 0) children_.push_back(pid);
        }
    }

    void stop() {
        for (pid_t pid : children_) ::kill(pid, SIGKILL);
        for (pid_t pid : children_) ::waitpid(pid, nullptr, 0);
        children_.clear();
    }

    int workers() const { return static_cast<int>(children_.size()); }

private:
    std::vector<pid_t> children_;
};

}  // namespace orvane::e2e
