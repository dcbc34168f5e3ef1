#pragma once
// A System whose answers the test chooses and whose requests it records.
#include <string>
#include <vector>

#include "platform/system.h"

namespace orvane::test {

class FakeSystem final : public platform::System {
public:
    platform::MutexResult mutexResult = platform::MutexResult::Created;
    std::string root = "/";
    bool serialReadable = true;
    std::uint32_t serial = 1234567;
    bool soundPlays = true;
    std::string data;  // the data folder ("": the working folder)

    std::vector<std::string> mutexes;
    std::vector<std::string> urls;
    std::vector<std::string> sounds;
    std::vector<std::string> started;

    platform::MutexResult createNamedMutex(const std::string& name) override {
        mutexes.push_back(name);
        return mutexResult;
    }
    bool namedMutexExists(const std::string&) override { return !mutexes.empty(); }
    std::string systemRoot() override { return root; }
    bool volumeSerial(const std::string&, std::uint32_t& out) override {
        if (serialReadable) out = serial;
        return serialReadable;
    }
    bool isProcessRunning(const std::string&) override { return false; }
    bool startProgram(const std::string& path) override {
        started.push_back(path);
        return true;
    }
    std::string programsFolder() override { return "/opt"; }
    std::string dataFolder() override { return data; }
    std::string temporaryFolder() override { return "/tmp"; }
    std::string localDataFolder() override { return "/home/user/.local/share"; }
    bool openUrl(const std::string& url) override {
        urls.push_back(url);
        return true;
    }
    bool playSoundAsync(const std::string& path) override {
        sounds.push_back(path);
        return path == desktopChime ? desktopChimePlays : soundPlays;
    }
    std::string systemChimeFile() override { return desktopChime; }

    std::string desktopChime;  // empty: the desktop has no chime
    bool desktopChimePlays = true;
};

}  // namespace orvane::test
