#pragma once
// What the SAPI speech side reads from its voice tokens, apart so that it can be tested.
#include <windows.h>
#include <objidl.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/speech_synth.h"

namespace orvane::platform::win32 {

// A voice token's "Language" attribute, one or more hexadecimal language identifiers separated
// by ';' ("40C", "409;9"), as the BCP-47 tag of the first ("fr-FR", "en-US"); empty when it is
// no known language.
std::string languageTagOfLcids(std::wstring_view attribute);

// The voice token categories, in the order their voices are listed: the desktop voices, then
// the OneCore voices, where current Windows registers its French voices.
inline constexpr wchar_t kDesktopVoices[] = L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Speech\\Voices";
inline constexpr wchar_t kOneCoreVoices[] = L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Speech_OneCore\\Voices";

// What a voice token says of itself.
struct VoiceToken {
    std::wstring id;        // the token identifier, which selects the voice
    std::wstring language;  // its "Language" attribute
    std::wstring gender;    // its "Gender" attribute
};

// The tokens of one category in the category's order; false when the category cannot be read
// (a system without OneCore voices has no such category).
using VoiceTokenSource = std::function<bool(const wchar_t* categoryId, std::vector<VoiceToken>& out)>;

// Every voice of both categories, desktop first, each token once: the language tag from the
// "Language" attribute, female when "Gender" is "Female" (any case), male otherwise, named by
// the token identifier. False when neither category can be read.
bool listVoices(const VoiceTokenSource& source, std::vector<VoiceInfo>& out);

// The synthesis format: 16-bit mono PCM at 22050 Hz, the format SAPI voices speak natively.
WAVEFORMATEX synthesisFormat();

// The samples a voice spoke into `memory` (all its bytes, from its start, wherever its position
// is) behind the RIFF header, "fmt " chunk of `format` and "data" header of a WAV file. False,
// with `wav` empty, when the stream cannot be read whole or is too long for a WAV file.
bool wavFromStream(IStream* memory, const WAVEFORMATEX& format, std::vector<std::uint8_t>& wav);

// The tokens of a category as SAPI enumerates them (SpEnumTokens).
bool sapiVoiceTokens(const wchar_t* categoryId, std::vector<VoiceToken>& out);

}  // namespace orvane::platform::win32
