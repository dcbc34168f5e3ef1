#include "parlo/speak.h"

#include <cstdio>

#include "parlo/riff_walk.h"
#include "parlo/voice_rule.h"

namespace orvane::parlo {

std::string temporaryFilePath(SpeakContext& ctx, const char* name) {
    std::string folder = ctx.temporaryFolder ? ctx.temporaryFolder() : std::string();
    if (folder.empty() && ctx.localDataFolder) folder = ctx.localDataFolder();
    if (folder.empty()) return name;
    folder += "/Orvane";
    ctx.speech.createFolder(folder);
    return folder + "/" + name;
}

bool dumpRawSamples(SpeakContext& ctx, const std::vector<std::uint8_t>& wav) {
    const std::string path = temporaryFilePath(ctx, kRawFile);
    const RawSamples raw = findRawSamples(wav.data(), wav.size());
    // Without usable samples the file is still made, and left empty.
    if (!raw.found) {
        ctx.speech.writeFile(path, nullptr, 0);
        return false;
    }
    return ctx.speech.writeFile(path, wav.data() + raw.offset, raw.length);
}

bool speak(SpeakContext& ctx, std::u16string_view text) {
    auto fail = [&] {
        if (ctx.errorLine) {
            ctx.errorLine(kSynthesisError);
        } else {
            std::fputs(kSynthesisError, stderr);
            std::fflush(stderr);
        }
        return false;
    };
    std::vector<std::uint8_t> wav;
    try {
        std::unique_ptr<platform::SpeechSynthesizer> synth = ctx.speech.newSynthesizer();
        if (!synth) return fail();
        std::vector<platform::VoiceInfo> voices;
        if (!synth->voices(voices)) return fail();
        const int chosen = chooseVoice(voices);
        if (chosen != kDefaultVoice && !synth->selectVoice(voices[static_cast<std::size_t>(chosen)])) return fail();
        if (!synth->synthesizeToWav(text, wav)) return fail();
        dumpRawSamples(ctx, wav);
    } catch (...) {
        return fail();
    }
    const std::string path = temporaryFilePath(ctx, kSoundFile);
    if (!ctx.speech.writeFile(path, wav.data(), wav.size())) return false;
    ctx.speech.playWavFile(path);
    return true;
}

}  // namespace orvane::parlo
