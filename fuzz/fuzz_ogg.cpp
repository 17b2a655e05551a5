// Ogg Vorbis voices decoded completely from memory.
#include "audio/ogg_voice.h"

using namespace velmora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    DecodedVoice voice;
    if (DecodeOggVoice(data, size, voice)) TrimmedVoiceLength(voice.pcm.data(), voice.pcm.size());
    return 0;
}
