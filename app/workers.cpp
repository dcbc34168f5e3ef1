#include "app/workers.h"

namespace orvane {

void StoppableClock::sleepMs(int ms) {
    std::unique_lock<std::mutex> hold(lock_);
    wake_.wait_for(hold, std::chrono::milliseconds(ms < 0 ? 0 : ms), [this] { return stopped_; });
}

void StoppableClock::stop() {
    {
        std::lock_guard<std::mutex> hold(lock_);
        stopped_ = true;
    }
    wake_.notify_all();
}

Workers::~Workers() { stopAll(0); }

std::function<void()> Workers::endedNotice() {
    return [tally = tally_] {
        std::lock_guard<std::mutex> hold(tally->lock);
        ++tally->ended;
        tally->cv.notify_all();
    };
}

void Workers::start(std::function<void()> body) {
    threads_.emplace_back([body = std::move(body), ended = endedNotice()] {
        body();
        ended();
    });
}

void Workers::startWith(const std::function<std::thread(std::function<void()> ended)>& starter) {
    threads_.push_back(starter(endedNotice()));
}

bool Workers::stopAll(int boundMs) {
    bool allEnded = false;
    {
        Tally& tally = *tally_;
        std::unique_lock<std::mutex> hold(tally.lock);
        allEnded = tally.cv.wait_for(hold, std::chrono::milliseconds(boundMs < 0 ? 0 : boundMs),
                                     [&] { return tally.ended == threads_.size(); });
    }
    for (auto& t : threads_) {
        if (!t.joinable()) continue;
        if (allEnded) {
            t.join();
        } else {
            t.detach();
        }
    }
    threads_.clear();
    tally_ = std::make_shared<Tally>();
    return allEnded;
}

}  // namespace orvane
