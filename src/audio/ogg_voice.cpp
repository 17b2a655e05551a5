#include "audio/ogg_voice.h"

#include <vorbis/vorbisfile.h>

#include <cstring>

#include "app/trace.h"

namespace velmora {

namespace {

// The memory stream behind the callbacks.
struct MemoryStream {
    const uint8_t* data;
    size_t size;
    size_t pos;
};

size_t StreamRead(void* ptr, size_t size, size_t count, void* source) {
    MemoryStream* s = static_cast<MemoryStream*>(source);
    if (size == 0 || count == 0) return 0;
    size_t want = size * count;
    size_t left = s->size - s->pos;
    size_t n = want < left ? want : left;
    std::memcpy(ptr, s->data + s->pos, n);
    s->pos += n;
    return n / size;
}

int StreamSeek(void* source, ogg_int64_t offset, int whence) {
    MemoryStream* s = static_cast<MemoryStream*>(source);
    // Offsets are taken in their low 32 bits, relative to start, current or end.
    const int64_t off = static_cast<int32_t>(static_cast<uint32_t>(offset));
    int64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? static_cast<int64_t>(s->pos)
                                                                 : static_cast<int64_t>(s->size);
    int64_t to = base + off;
    // A position outside the stream is refused instead of followed.
    if (to < 0 || to > static_cast<int64_t>(s->size)) return -1;
    s->pos = static_cast<size_t>(to);
    return 0;
}

int StreamClose(void*) { return 0; }

long StreamTell(void* source) { return static_cast<long>(static_cast<MemoryStream*>(source)->pos); }

constexpr ogg_int64_t kMaxVoiceFrames = 48000LL * 60 * 10;  // ten minutes

}  // namespace

bool DecodeOggVoice(const uint8_t* data, size_t size, DecodedVoice& voice) {
    MemoryStream stream{data, size, 0};
    OggVorbis_File vf;
    ov_callbacks cb;
    cb.read_func = StreamRead;
    cb.seek_func = StreamSeek;
    cb.close_func = StreamClose;
    cb.tell_func = StreamTell;
    int rc = ov_open_callbacks(&stream, &vf, nullptr, 0, cb);
    if (rc != 0) {
        ContentError("damaged", "voice: not an Ogg Vorbis stream (%d)", rc);
        return false;
    }
    const vorbis_info* info = ov_info(&vf, -1);
    const ogg_int64_t total = ov_pcm_total(&vf, -1);
    if (!info || info->channels < 1 || info->channels > 2 || total < 0 || total > kMaxVoiceFrames) {
        Trace("voice: unusable stream (%d channels, %lld frames)", info ? info->channels : 0,
              static_cast<long long>(total));
        ov_clear(&vf);
        return false;
    }
    voice.channels = info->channels;
    voice.rate = static_cast<int>(info->rate);
    voice.pcm.assign(static_cast<size_t>((voice.channels + 2) * total), 0);
    size_t got = 0;
    int section = 0;
    // Decoding stops at the end of the stream, at an error or when the
    // buffer is full: the frame count in the header is not trusted.
    while (got < voice.pcm.size()) {
        long n = ov_read(&vf, reinterpret_cast<char*>(voice.pcm.data() + got),
                         static_cast<int>(std::min<size_t>(voice.pcm.size() - got, 1 << 20)), 0, 2, 1, &section);
        if (n <= 0) break;
        got += static_cast<size_t>(n);
    }
    ov_clear(&vf);
    got -= got % static_cast<size_t>(voice.channels * 2);
    voice.length = TrimmedVoiceLength(voice.pcm.data(), got);
    voice.length -= voice.length % static_cast<size_t>(voice.channels * 2);
    return true;
}

}  // namespace velmora
