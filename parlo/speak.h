#pragma once
// Parlo's speak operation: synthesis with the chosen voice, the two files of the work folder
// ("parlo_sound.wav", the whole stream; "audio_output.raw", its samples), then the WAV file
// played to its end.
#include <functional>
#include <string>
#include <string_view>

#include "platform/speech_synth.h"

namespace orvane::parlo {

inline constexpr char kSoundFile[] = "parlo_sound.wav";
inline constexpr char kRawFile[] = "audio_output.raw";
inline constexpr char kSynthesisError[] = "Erreur lors de la synth\xC3\xA8se vocale.\n";

// Where the speak operation's work happens; the folder is asked for at every call.
struct SpeakContext {
    platform::SpeechPlatform& speech;
    std::function<std::string()> temporaryFolder;  // empty: files land in the current folder
    std::function<void(std::string_view)> errorLine = nullptr;  // default: standard error
};

// `folder` + "/Orvane/" + name, the Orvane folder created first (a failure is ignored); the
// bare name when `folder` is empty.
std::string temporaryFilePath(SpeakContext& ctx, const char* name);

// Writes the samples of `wav` to "audio_output.raw"; false when nothing was dumped.
bool dumpRawSamples(SpeakContext& ctx, const std::vector<std::uint8_t>& wav);

// Speaks the text completely before returning. False when synthesis failed or the WAV file
// could not be written; true once written, whether or not it could be played.
bool speak(SpeakContext& ctx, std::u16string_view text);

}  // namespace orvane::parlo
