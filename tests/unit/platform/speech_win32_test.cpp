#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "platform/file.h"
#include "platform/speech_synth.h"
#include "platform/system.h"
#include "platform/win32/speech_sapi.h"

namespace orvane::platform {
namespace {

TEST(Win32Speech, VoiceLanguagesBecomeTheTagsTheVoiceRuleCompares) {
    const struct {
        const wchar_t* attribute;
        const char* tag;
    } cases[] = {
        {L"40C", "fr-FR"}, {L"40c", "fr-FR"}, {L"C0C", "fr-CA"}, {L"409;9", "en-US"},
        {L" 40C ", "fr-FR"}, {L"", ""}, {L"zz", ""}, {L"123456789", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(win32::languageTagOfLcids(c.attribute), c.tag) << static_cast<int>(c.attribute[0]);
    }
}

TEST(Win32Speech, SynthesisGivesACompleteWavOrFails) {
    std::unique_ptr<SpeechSynthesizer> synth = hostSpeech().newSynthesizer();
    if (!synth) GTEST_SKIP() << "no speech synthesizer on this system";
    std::vector<VoiceInfo> voices;
    ASSERT_TRUE(synth->voices(voices));
    for (const VoiceInfo& v : voices) EXPECT_FALSE(v.name.empty());
    // Wine lists a voice of its own but cannot speak with it: a failure must say so and leave
    // nothing that could be written and played as speech.
    std::vector<std::uint8_t> wav{1, 2, 3};
    if (voices.size() > 1) synth->selectVoice(voices.front());
    if (!synth->synthesizeToWav(u"Bonjour", wav)) {
        EXPECT_TRUE(wav.empty());
        return;
    }
    ASSERT_GE(wav.size(), 44u);
    EXPECT_EQ(std::memcmp(wav.data(), "RIFF", 4), 0);
    EXPECT_EQ(std::memcmp(wav.data() + 8, "WAVEfmt ", 8), 0);
    EXPECT_EQ(std::memcmp(wav.data() + 36, "data", 4), 0);
    const std::uint32_t data = wav[40] | wav[41] << 8 | wav[42] << 16 | static_cast<std::uint32_t>(wav[43]) << 24;
    EXPECT_EQ(data, wav.size() - 44);
    EXPECT_GT(data, 0u);
}

TEST(Win32Speech, WorkFilesTakeAccentedPathsAndAMissingSoundIsNotPlayed) {
    SpeechPlatform& speech = hostSpeech();
    const std::string folder = hostSystem().temporaryFolder() + "/Orvane-test-Cr\xC3\xA8me";
    speech.createFolder(folder);
    const std::string file = folder + "/parlo_sound.wav";
    const std::uint8_t bytes[] = {'R', 'I', 'F', 'F', 0, 1, 2};
    ASSERT_TRUE(speech.writeFile(file, bytes, sizeof bytes));
    ASSERT_TRUE(speech.writeFile(file, bytes, 4));  // replaced, not appended to
    std::FILE* in = openFileForReading(file);
    ASSERT_NE(in, nullptr);
    char back[16] = {};
    EXPECT_EQ(std::fread(back, 1, sizeof back, in), 4u);
    std::fclose(in);
    EXPECT_FALSE(speech.writeFile(folder, bytes, 4));  // a folder is not replaced by a file
    EXPECT_FALSE(speech.playWavFile(folder + "/missing.wav"));
}

}  // namespace
}  // namespace orvane::platform
