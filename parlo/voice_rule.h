#pragma once
// Which installed voice speaks: a French male voice when there is one, else the first voice
// of the list when there are several, else the synthesizer's own default.
#include <vector>

#include "platform/speech_synth.h"

namespace orvane::parlo {

inline constexpr int kDefaultVoice = -1;

// The index of the voice to select, or kDefaultVoice to leave the synthesizer as it is. The
// tag must be exactly "fr-FR": "fr-fr" or "fr-CA" do not match.
int chooseVoice(const std::vector<platform::VoiceInfo>& voices);

}  // namespace orvane::parlo
