// Speech on Linux: espeak-ng for the voices and the synthesis, libsndfile and PulseAudio for
// playing the WAV file, POSIX for the private work files.
#include <espeak-ng/speak_lib.h>
#include <fcntl.h>
#include <pulse/error.h>
#include <pulse/simple.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstring>
#include <mutex>

#include "base/text.h"
#include "base/wav.h"
#include "platform/speech_synth.h"

namespace orvane::platform {

namespace {

// espeak-ng keeps one global engine: it is initialised once per process and every use of it
// (voice choice plus synthesis) is serialised.
std::mutex& engineLock() {
    static std::mutex m;
    return m;
}

int engineRate() {
    static int rate = [] {
        int r = espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 0, nullptr, espeakINITIALIZE_DONT_EXIT);
        return r;
    }();
    return rate;
}

int collect(short* samples, int count, espeak_EVENT* events) {
    if (samples && count > 0 && events && events->user_data) {
        auto* out = static_cast<std::vector<std::int16_t>*>(events->user_data);
        out->insert(out->end(), samples, samples + count);
    }
    return 0;
}

// espeak-ng's "fr-fr" presented as BCP-47 "fr-FR".
std::string bcp47(const char* tag) {
    std::string out(tag);
    std::size_t dash = out.find('-');
    if (dash != std::string::npos && out.size() - dash - 1 == 2) {
        for (std::size_t i = dash + 1; i < out.size(); ++i) {
            out[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(out[i])));
        }
    }
    return out;
}


std::vector<std::uint8_t> wavOf(const std::vector<std::int16_t>& samples, int rate) {
    return base::encodeWavPcm16(samples, 1, rate);
}

// The default voice: the program speaks French.
constexpr char kDefaultVoice[] = "fr";

class EspeakSynthesizer final : public SpeechSynthesizer {
public:
    bool voices(std::vector<VoiceInfo>& out) override {
        out.clear();
        std::lock_guard<std::mutex> guard(engineLock());
        if (engineRate() <= 0) return false;
        const espeak_VOICE** list = espeak_ListVoices(nullptr);
        if (!list) return false;
        for (; *list; ++list) {
            const espeak_VOICE* v = *list;
            // `languages` is a run of (priority byte, language text) ended by a zero priority.
            if (!v->languages || !v->languages[0] || !v->identifier) continue;
            const char* tag = v->languages + 1;
            const char* slash = std::strrchr(v->identifier, '/');
            VoiceInfo info;
            info.language = bcp47(tag);
            info.gender = v->gender == 2 ? VoiceGender::Female : VoiceGender::Male;
            info.name = slash ? slash + 1 : v->identifier;
            const bool french = info.language.rfind("fr", 0) == 0;
            // espeak-ng's female French voices are variants of its male ones.
            if (french && info.gender == VoiceGender::Male) {
                out.push_back({info.language, VoiceGender::Female, info.name + "+f2"});
            }
            out.push_back(std::move(info));
        }
        return true;
    }

    bool selectVoice(const VoiceInfo& voice) override {
        voice_ = voice.name;
        return true;
    }

    bool synthesizeToWav(std::u16string_view text, std::vector<std::uint8_t>& wav) override {
        const std::string utf8 = base::utf16ToUtf8(text);
        std::vector<std::int16_t> samples;
        std::lock_guard<std::mutex> guard(engineLock());
        const int rate = engineRate();
        if (rate <= 0) return false;
        espeak_SetSynthCallback(collect);
        if (espeak_SetVoiceByName(voice_.c_str()) != EE_OK) return false;
        espeak_ERROR e = espeak_Synth(utf8.c_str(), utf8.size() + 1, 0, POS_CHARACTER, 0,
                                      espeakCHARS_UTF8, nullptr, &samples);
        if (e != EE_OK) return false;
        if (espeak_Synchronize() != EE_OK) return false;
        wav = wavOf(samples, rate);
        return true;
    }

private:
    std::string voice_ = kDefaultVoice;
};

class LinuxSpeech final : public SpeechPlatform {
public:
    std::unique_ptr<SpeechSynthesizer> newSynthesizer() override {
        {
            std::lock_guard<std::mutex> guard(engineLock());
            if (engineRate() <= 0) return nullptr;
        }
        return std::make_unique<EspeakSynthesizer>();
    }

    bool createFolder(const std::string& path) override { return ::mkdir(path.c_str(), 0700) == 0; }

    bool writeFile(const std::string& path, const std::uint8_t* data, std::size_t size) override {
        // Never through a link, never into a fifo or device someone left there.
        int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
        if (fd < 0) return false;
        struct stat st {};
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || ::fchmod(fd, 0600) != 0) {
            ::close(fd);
            return false;
        }
        std::size_t done = 0;
        while (done < size) {
            ssize_t n = ::write(fd, data + done, size - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            done += static_cast<std::size_t>(n);
        }
        const bool closed = ::close(fd) == 0;
        return done == size && closed;
    }

    bool playWavFile(const std::string& path) override {
        SF_INFO info{};
        SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
        if (!f) return false;
        bool ok = info.channels >= 1 && info.channels <= 8 && info.samplerate > 0;
        pa_simple* out = nullptr;
        if (ok) {
            pa_sample_spec spec{};
            spec.format = PA_SAMPLE_S16LE;
            spec.rate = static_cast<std::uint32_t>(info.samplerate);
            spec.channels = static_cast<std::uint8_t>(info.channels);
            // A short buffer: speech should start at once, not after two seconds are queued.
            pa_buffer_attr attr{};
            attr.maxlength = static_cast<std::uint32_t>(-1);
            attr.tlength = static_cast<std::uint32_t>(pa_usec_to_bytes(100000, &spec));
            attr.prebuf = static_cast<std::uint32_t>(-1);
            attr.minreq = static_cast<std::uint32_t>(-1);
            attr.fragsize = static_cast<std::uint32_t>(-1);
            int err = 0;
            out = pa_simple_new(nullptr, "Parlo", PA_STREAM_PLAYBACK, nullptr, "speech", &spec, nullptr, &attr, &err);
            ok = out != nullptr;
        }
        if (ok) {
            std::vector<std::int16_t> block(static_cast<std::size_t>(1024 * info.channels));
            for (;;) {
                sf_count_t frames = sf_readf_short(f, block.data(), 1024);
                if (frames <= 0) break;
                int err = 0;
                if (pa_simple_write(out, block.data(), static_cast<std::size_t>(frames * info.channels) * 2, &err) < 0) {
                    ok = false;
                    break;
                }
            }
            int err = 0;
            if (ok && pa_simple_drain(out, &err) < 0) ok = false;
        }
        if (out) pa_simple_free(out);
        sf_close(f);
        return ok;
    }
};

}  // namespace

SpeechPlatform& hostSpeech() {
    static LinuxSpeech speech;
    return speech;
}

}  // namespace orvane::platform
