#pragma once
// Speech synthesis and the playing of its sound, as Parlo needs them: the installed voices with
// a BCP-47 language tag and a gender, the choice of one, a text turned into one complete WAV
// byte stream, and a WAV file played to its end. Also the two file operations of Parlo's work
// folder, which must be private to the user.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace orvane::platform {

// Values as the platform's gender enumeration has them.
enum class VoiceGender { Male = 0, Female = 1 };

struct VoiceInfo {
    std::string language;  // BCP-47 ("fr-FR"): language lower case, region upper case
    VoiceGender gender = VoiceGender::Male;
    std::string name;      // what the synthesizer needs to select it
};

class SpeechSynthesizer {
public:
    virtual ~SpeechSynthesizer() = default;
    // Every installed voice in the platform's own order; false when the list is unavailable.
    virtual bool voices(std::vector<VoiceInfo>& out) = 0;
    // Uses that voice for the next synthesis; false when the synthesizer refuses it.
    virtual bool selectVoice(const VoiceInfo& voice) = 0;
    // The whole text as one WAV stream (RIFF, "fmt ", "data"); false when synthesis failed.
    virtual bool synthesizeToWav(std::u16string_view text, std::vector<std::uint8_t>& wav) = 0;
};

class SpeechPlatform {
public:
    virtual ~SpeechPlatform() = default;
    // A new synthesizer with the platform's default voice; null when none can be had.
    virtual std::unique_ptr<SpeechSynthesizer> newSynthesizer() = 0;
    // Creates a folder private to the user; false when it cannot (it may already exist).
    virtual bool createFolder(const std::string& path) = 0;
    // Creates or replaces a regular file readable by the user only, never through a link, and
    // writes all bytes at once. False when the file cannot be created or the write falls short.
    virtual bool writeFile(const std::string& path, const std::uint8_t* data, std::size_t size) = 0;
    // Plays a WAV file on the default sound output and returns when it has ended.
    virtual bool playWavFile(const std::string& path) = 0;
};

// The operating system's synthesizer, sound output and files.
SpeechPlatform& hostSpeech();

}  // namespace orvane::platform
