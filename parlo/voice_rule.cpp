#include "parlo/voice_rule.h"

namespace orvane::parlo {

int chooseVoice(const std::vector<platform::VoiceInfo>& voices) {
    int chosen = voices.size() >= 2 ? 0 : kDefaultVoice;
    for (std::size_t i = 0; i < voices.size(); ++i) {
        if (voices[i].language == "fr-FR" && voices[i].gender == platform::VoiceGender::Male) {
            return static_cast<int>(i);
        }
    }
    return chosen;
}

}  // namespace orvane::parlo
