#include "parlo/voice_rule.h"

#include <gtest/gtest.h>

namespace orvane::parlo {
namespace {

using platform::VoiceGender;
using platform::VoiceInfo;
constexpr auto M = VoiceGender::Male;
constexpr auto F = VoiceGender::Female;

TEST(VoiceRule, FrenchMaleFirstElseFirstOfSeveralElseDefault) {
    struct Case {
        const char* what;
        std::vector<VoiceInfo> voices;
        int expected;
    };
    const Case cases[] = {
        {"female fr-FR first, male third", {{"fr-FR", F, "a"}, {"en-GB", M, "b"}, {"fr-FR", M, "c"}}, 2},
        {"no fr-FR male among three", {{"en-US", M, "a"}, {"fr-FR", F, "b"}, {"de-DE", M, "c"}}, 0},
        {"one voice, not French", {{"en-US", M, "a"}}, kDefaultVoice},
        {"one voice, French male", {{"fr-FR", M, "a"}}, 0},
        {"no voice at all", {}, kDefaultVoice},
        {"lower-case and Canadian do not match", {{"fr-fr", M, "a"}, {"fr-CA", M, "b"}, {"fr", M, "c"}}, 0},
        {"first fr-FR male wins", {{"it-IT", F, "a"}, {"fr-FR", M, "b"}, {"fr-FR", M, "c"}}, 1},
    };
    for (const Case& c : cases) EXPECT_EQ(chooseVoice(c.voices), c.expected) << c.what;
}

}  // namespace
}  // namespace orvane::parlo
