#pragma once
// StartupServices that only record what was asked of them, in order.
#include <mutex>
#include <string>
#include <vector>

#include "app/startup_services.h"

namespace orvane::test {

class RecordingServices final : public StartupServices {
public:
    std::vector<std::string> calls;
    float micVolume = 0.25f;
    bool micReadable = true;  // false: every microphone read fails (and gives 0)
    float speakerVolume = 0.5f;
    int ownParamsResult = -1;
    std::vector<float> micSets;
    std::vector<float> speakerSets;
    std::vector<platform::Point> spokenHelpClicks;

    int count(const std::string& name) const {
        std::lock_guard<std::mutex> g(lock_);
        int n = 0;
        for (const auto& c : calls) n += (c == name);
        return n;
    }
    std::vector<std::string> snapshot() const {
        std::lock_guard<std::mutex> g(lock_);
        return calls;
    }

    bool readMicVolume(float& v) override {
        note("readMicVolume");
        v = micReadable ? micVolume : 0.0f;
        return micReadable;
    }
    void setMicVolume(float v) override {
        note("setMicVolume");
        micSets.push_back(v);
    }
    float readSpeakerVolume() override { return note("readSpeakerVolume"), speakerVolume; }
    void setSpeakerVolume(float v) override {
        note("setSpeakerVolume");
        speakerSets.push_back(v);
    }
    void createCodecPair() override { note("createCodecPair"); }
    void destroyCodecPair() override { note("destroyCodecPair"); }
    void openServerSockets() override { note("openServerSockets"); }
    void startNetworkThreads() override { note("startNetworkThreads"); }
    void startAudioEngine() override { note("startAudioEngine"); }
    void requestUsbStatusPicture(int state) override { note("requestUsbStatusPicture:" + std::to_string(state)); }
    void drawUsbStatusPicture(platform::Canvas&) override {}
    void deleteUsbStatusPicture() override { note("deleteUsbStatusPicture"); }
    int startupAccountFetches() override { return note("startupAccountFetches"), ownParamsResult; }
    void talkerCardTick() override { note("talkerCardTick"); }
    void openSpeechSocketAndGreet() override { note("openSpeechSocketAndGreet"); }
    void sendSpeechStopRequest() override { note("sendSpeechStopRequest"); }
    void startSerialDeviceThread() override { note("startSerialDeviceThread"); }
    void stopSerialDeviceThread() override { note("stopSerialDeviceThread"); }
    void openParametersWindow() override { note("openParametersWindow"); }
    void openNetworkWindow() override { note("openNetworkWindow"); }
    void openGroupListWindow() override { note("openGroupListWindow"); }
    void pictureZoneClicked() override { note("pictureZoneClicked"); }
    void toggleSpeechProgram() override { note("toggleSpeechProgram"); }
    void spokenHelp(platform::Point p) override {
        note("spokenHelp");
        spokenHelpClicks.push_back(p);
    }

private:
    void note(const std::string& what) {
        std::lock_guard<std::mutex> g(lock_);
        calls.push_back(what);
    }
    mutable std::mutex lock_;
};

}  // namespace orvane::test
