#include "audio/ogg_voice.h"

namespace velmora {

size_t TrimmedVoiceLength(const uint8_t* pcm, size_t d) {
    if (d <= 30000) return d;
    size_t len = d - 4;
    while (len > d / 2 && pcm[len] == 0 && pcm[len + 1] == 0 && pcm[len + 2] == 0 && pcm[len + 3] == 0) len -= 4;
    return len;
}

}  // namespace velmora
