#pragma once
// One connection to the sound server for the whole process: a threaded main loop and a context
// made on first use and made again when the server went away. Every call into libpulse holds
// the main loop lock (MainLoopLock); callbacks run on the main loop thread with the lock held.
#include <pulse/pulseaudio.h>

#include <string>
#include <vector>

namespace orvane::platform::pulse {

// The stream format of every device: 16-bit little-endian, 2 channels, 8000 Hz.
pa_sample_spec sampleSpec();

class Connection {
public:
    static Connection& instance();

    pa_threaded_mainloop* loop() const { return loop_; }
    // The ready context, connecting first when needed; null when the server cannot be reached.
    // Call with the lock held.
    pa_context* readyContext();

    // Waits (lock held) until `op` is done, then releases it. False if it was cancelled.
    bool finish(pa_operation* op);
    // Waits (lock held) until `done()` is true or the context fails.
    template <class Pred>
    bool waitUntil(Pred done) {
        while (!done()) {
            if (!contextAlive()) return false;
            pa_threaded_mainloop_wait(loop_);
        }
        return true;
    }
    // Wakes every waiter; for callbacks.
    void signal() { pa_threaded_mainloop_signal(loop_, 0); }

private:
    Connection();
    bool contextAlive() const;

    pa_threaded_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
};

class MainLoopLock {
public:
    MainLoopLock() { pa_threaded_mainloop_lock(Connection::instance().loop()); }
    ~MainLoopLock() { pa_threaded_mainloop_unlock(Connection::instance().loop()); }
    MainLoopLock(const MainLoopLock&) = delete;
    MainLoopLock& operator=(const MainLoopLock&) = delete;
};

// A source or sink as the listings give it.
struct DeviceInfo {
    std::string name;         // the server's name of the device
    std::string description;  // what the user knows it by
    std::string iconName;     // device.icon_name, may be empty
    int channels = 0;
    pa_volume_t volume = 0;   // average over the channels
    bool monitor = false;     // a source that is the monitor of a sink
};

// The sources that are not monitors of a sink, in the server's order. False on failure. Lock held.
bool listCaptureSources(pa_context* c, std::vector<DeviceInfo>& out);
// A source or sink by name ("@DEFAULT_SOURCE@" and "@DEFAULT_SINK@" work). Lock held.
bool sourceByName(pa_context* c, const char* name, DeviceInfo& out);
bool sinkByName(pa_context* c, const char* name, DeviceInfo& out);
// The server's default source or sink name. Lock held.
bool defaultDeviceName(pa_context* c, bool capture, std::string& name);

}  // namespace orvane::platform::pulse
