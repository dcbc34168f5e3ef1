#include "audio/codec_pair.h"

#include <opus/opus.h>

#include <cstring>

namespace orvane::audio {

void createCodecPair(ClientState& state) {
    int error = 0;
    OpusEncoder* encoder = opus_encoder_create(8000, 1, OPUS_APPLICATION_VOIP, &error);
    if (encoder == nullptr || error != OPUS_OK) return;
    opus_encoder_ctl(encoder, OPUS_SET_BITRATE(16000));
    OpusDecoder* decoder = opus_decoder_create(8000, 1, &error);
    if (decoder == nullptr || error != OPUS_OK) {
        opus_encoder_destroy(encoder);
        return;
    }
    state.audio.opusEncoder = encoder;
    state.audio.opusDecoder = decoder;
}

void destroyCodecPair(ClientState& state) {
    if (state.audio.opusDecoder != nullptr) opus_decoder_destroy(state.audio.opusDecoder);
    state.audio.opusDecoder = nullptr;
    if (state.audio.opusEncoder != nullptr) opus_encoder_destroy(state.audio.opusEncoder);
    state.audio.opusEncoder = nullptr;
}

bool codecTrialPass(ClientState& state, const std::uint8_t* block, CodecTrialBuffers& b) {
    OpusEncoder* encoder = state.audio.opusEncoder;
    OpusDecoder* decoder = state.audio.opusDecoder;
    if (encoder == nullptr || decoder == nullptr) return false;
    constexpr int kFrame = CodecTrialBuffers::kFrameSamples;
    opus_int32 lengths[CodecTrialBuffers::kFrames] = {};
    for (int i = 0; i < CodecTrialBuffers::kFrames; ++i) {
        // The inputs overlap on purpose: they start 160 bytes apart, 80 samples.
        std::int16_t input[kFrame];
        std::memcpy(input, block + i * 160, sizeof input);
        lengths[i] = opus_encode(encoder, input, kFrame, b.packets[i], CodecTrialBuffers::kMaxPacket);
        if (lengths[i] <= 0) return false;
    }
    for (int i = 0; i < CodecTrialBuffers::kFrames; ++i) {
        int samples = opus_decode(decoder, b.packets[i], lengths[i], b.decoded[i],
                                  CodecTrialBuffers::kMaxPacket, 0);
        if (samples <= 0) return false;
    }
    std::memcpy(b.work, block, kAudioBlockBytes);
    for (int i = 0; i < CodecTrialBuffers::kFrames; ++i)
        std::memcpy(b.work + i * kFrame * 2, b.decoded[i], kFrame * 2);
    return true;
}

}  // namespace orvane::audio
