// Voices through stb_vorbis, for builds without libvorbisfile (the browser).
#include <algorithm>

#include "app/trace.h"
#include "audio/ogg_voice.h"

#define STB_VORBIS_NO_STDIO
#define STB_VORBIS_NO_PUSHDATA_API
#include <stb/stb_vorbis.h>  // the whole decoder: no STB_VORBIS_HEADER_ONLY

namespace velmora {

namespace {
constexpr unsigned kMaxVoiceFrames = 48000u * 60 * 10;  // ten minutes
}

bool DecodeOggVoice(const uint8_t* data, size_t size, DecodedVoice& voice) {
    int error = 0;
    stb_vorbis* v = size <= 0x7FFFFFFF ? stb_vorbis_open_memory(data, static_cast<int>(size), &error, nullptr) : nullptr;
    if (!v) {
        ContentError("damaged", "voice: not an Ogg Vorbis stream (%d)", error);
        return false;
    }
    const stb_vorbis_info info = stb_vorbis_get_info(v);
    const unsigned total = stb_vorbis_stream_length_in_samples(v);
    if (info.channels < 1 || info.channels > 2 || total > kMaxVoiceFrames) {
        Trace("voice: unusable stream (%d channels, %u frames)", info.channels, total);
        stb_vorbis_close(v);
        return false;
    }
    voice.channels = info.channels;
    voice.rate = static_cast<int>(info.sample_rate);
    voice.pcm.assign(static_cast<size_t>(voice.channels + 2) * total, 0);
    // Decoding stops at the end of the stream, at an error or when the
    // buffer is full: the frame count in the header is not trusted.
    size_t got = 0;
    const size_t frameBytes = static_cast<size_t>(voice.channels) * 2;
    while (got + frameBytes <= voice.pcm.size()) {
        const size_t room = std::min<size_t>((voice.pcm.size() - got) / 2, 1 << 19);
        int frames = stb_vorbis_get_samples_short_interleaved(
            v, voice.channels, reinterpret_cast<short*>(voice.pcm.data() + got), static_cast<int>(room));
        if (frames <= 0) break;
        got += static_cast<size_t>(frames) * frameBytes;
    }
    stb_vorbis_close(v);
    voice.length = TrimmedVoiceLength(voice.pcm.data(), got);
    voice.length -= voice.length % frameBytes;
    return true;
}

}  // namespace velmora
