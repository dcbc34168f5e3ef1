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

// Where the speak operation's work happens; the folders are asked for at every call.
struct SpeakContext {
    platform::SpeechPlatform& speech;
    std::function<std::string()> temporaryFolder;
    std::function<void(std::string_view)> errorLine = nullptr;  // default: standard error
    // Where the files go when there is no temporary folder: the user's local data folder. Not
    // the current folder, which is Parlo's own under the programs folder, where a user may not
    // write (nothing would be spoken, and nothing would say why).
    std::function<std::string()> localDataFolder = nullptr;
};

// folder + "/Orvane/" + name with the temporary folder, else the local data folder, the Orvane
// folder created first (a failure is ignored); the bare name (the current folder) when there
// is neither.
std::string temporaryFilePath(SpeakContext& ctx, const char* name);

// Writes the samples of `wav` to "audio_output.raw"; false when nothing was dumped.
bool dumpRawSamples(SpeakContext& ctx, const std::vector<std::uint8_t>& wav);

// Speaks the text completely before returning. False when synthesis failed or the WAV file
// could not be written; true once written, whether or not it could be played.
bool speak(SpeakContext& ctx, std::u16string_view text);

}  // namespace orvane::parlo
