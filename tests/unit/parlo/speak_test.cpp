#include "parlo/speak.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <stdexcept>

namespace orvane::parlo {
namespace {

using platform::VoiceGender;
using platform::VoiceInfo;

struct FakeSpeech final : platform::SpeechPlatform {
    std::vector<VoiceInfo> installed{{"en-US", VoiceGender::Male, "en"}, {"fr-FR", VoiceGender::Male, "fr"}};
    bool noSynthesizer = false, refuse = false, raise = false;
    std::set<std::string> locked;
    std::map<std::string, std::vector<std::uint8_t>> files;
    std::vector<std::string> folders, played, selected;
    std::vector<std::u16string> texts;

    struct Synth final : platform::SpeechSynthesizer {
        FakeSpeech& f;
        explicit Synth(FakeSpeech& owner) : f(owner) {}
        bool voices(std::vector<VoiceInfo>& out) override {
            out = f.installed;
            return true;
        }
        bool selectVoice(const VoiceInfo& v) override {
            f.selected.push_back(v.name);
            return true;
        }
        bool synthesizeToWav(std::u16string_view text, std::vector<std::uint8_t>& wav) override {
            if (f.raise) throw std::runtime_error("cancelled");
            if (f.refuse) return false;
            f.texts.emplace_back(text);
            std::string w = std::string("RIFF\0\0\0\0WAVEdata\x03\0\0\0", 20) + "abc";
            wav.assign(w.begin(), w.end());
            return true;
        }
    };
    std::unique_ptr<platform::SpeechSynthesizer> newSynthesizer() override {
        if (noSynthesizer) return nullptr;
        return std::make_unique<Synth>(*this);
    }
    bool createFolder(const std::string& p) override {
        folders.push_back(p);
        return true;
    }
    bool writeFile(const std::string& p, const std::uint8_t* d, std::size_t n) override {
        if (locked.count(p)) return false;
        files[p].assign(d, d + n);
        return true;
    }
    bool playWavFile(const std::string& p) override {
        played.push_back(p);
        return false;  // a missing sound device changes nothing
    }
};

struct SpeakTest : ::testing::Test {
    FakeSpeech fake;
    std::string folder = "/run/user/7";
    std::vector<std::string> errors;
    std::string localData;  // none unless a test gives one
    SpeakContext ctx{fake, [this] { return folder; }, [this](std::string_view e) { errors.emplace_back(e); },
                     [this] { return localData; }};
};

TEST_F(SpeakTest, WritesBothFilesInTheOrvaneFolderThenPlays) {
    EXPECT_TRUE(speak(ctx, u"Bonjour"));
    EXPECT_EQ(fake.selected, std::vector<std::string>{"fr"});
    EXPECT_EQ(fake.texts, std::vector<std::u16string>{u"Bonjour"});
    ASSERT_EQ(fake.files.size(), 2u);
    EXPECT_EQ(fake.files["/run/user/7/Orvane/parlo_sound.wav"].size(), 23u);
    const auto& raw = fake.files["/run/user/7/Orvane/audio_output.raw"];
    EXPECT_EQ(std::string(raw.begin(), raw.end()), "ab");  // 3 bytes rounded down to even
    EXPECT_EQ(fake.folders.front(), "/run/user/7/Orvane");
    EXPECT_EQ(fake.played, std::vector<std::string>{"/run/user/7/Orvane/parlo_sound.wav"});
    EXPECT_TRUE(errors.empty());
}

// Without a temporary folder the files go to the user's local data folder, not to the current
// folder (Parlo's own, under the programs folder, where a user may not write); with neither
// folder, to the current folder.
TEST_F(SpeakTest, WithoutATemporaryFolderTheFilesGoToTheLocalDataFolder) {
    localData = "C:\\Users\\Ana\\AppData\\Local";
    folder.clear();
    EXPECT_TRUE(speak(ctx, u""));
    const std::string orvane = localData + "/Orvane";
    ASSERT_FALSE(fake.folders.empty());
    EXPECT_EQ(fake.folders.front(), orvane);
    EXPECT_TRUE(fake.files.count(orvane + "/parlo_sound.wav"));
    EXPECT_TRUE(fake.files.count(orvane + "/audio_output.raw"));
    EXPECT_EQ(fake.played, std::vector<std::string>{orvane + "/parlo_sound.wav"});
    EXPECT_EQ(fake.files.size(), 2u);

    folder = "/run/user/7";  // the temporary folder comes first whenever there is one
    fake.files.clear();
    EXPECT_TRUE(speak(ctx, u""));
    EXPECT_TRUE(fake.files.count("/run/user/7/Orvane/parlo_sound.wav"));
    EXPECT_EQ(fake.files.size(), 2u);

    folder.clear();
    localData.clear();
    fake.files.clear();
    fake.folders.clear();
    EXPECT_TRUE(speak(ctx, u""));
    EXPECT_TRUE(fake.files.count("parlo_sound.wav"));
    EXPECT_TRUE(fake.files.count("audio_output.raw"));
    EXPECT_TRUE(fake.folders.empty());
}

TEST_F(SpeakTest, FailuresOfSynthesisSayOneLineAndPlayNothing) {
    for (int mode = 0; mode < 3; ++mode) {
        fake.noSynthesizer = mode == 0;
        fake.refuse = mode == 1;
        fake.raise = mode == 2;
        errors.clear();
        fake.played.clear();
        EXPECT_FALSE(speak(ctx, u"x")) << mode;
        EXPECT_EQ(errors, std::vector<std::string>{"Erreur lors de la synth\xC3\xA8se vocale.\n"}) << mode;
        EXPECT_TRUE(fake.played.empty()) << mode;
    }
}

TEST_F(SpeakTest, ALockedSoundFileIsSilentlyNotPlayedAndTheNextCallTriesAgain) {
    fake.locked.insert("/run/user/7/Orvane/parlo_sound.wav");
    EXPECT_FALSE(speak(ctx, u"x"));
    EXPECT_TRUE(fake.played.empty());
    EXPECT_TRUE(errors.empty());
    fake.locked.clear();
    EXPECT_TRUE(speak(ctx, u"x"));
    EXPECT_EQ(fake.played.size(), 1u);
}

}  // namespace
}  // namespace orvane::parlo
