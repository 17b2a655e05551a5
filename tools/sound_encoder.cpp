#include "tools/sound_encoder.h"

#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "audio/sound.h"
#include "audio/wady.h"

namespace velmora::tools {

namespace {

uint32_t Le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }
uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
void Put32(std::vector<uint8_t>& v, uint32_t x) {
    for (int i = 0; i < 4; ++i) v.push_back(static_cast<uint8_t>(x >> (8 * i)));
}
void Put16(std::vector<uint8_t>& v, uint16_t x) {
    v.push_back(static_cast<uint8_t>(x));
    v.push_back(static_cast<uint8_t>(x >> 8));
}

platform::PcmFormat FormatOf(const PcmSound& s) {
    platform::PcmFormat f;
    f.channels = static_cast<uint16_t>(s.channels);
    f.samplesPerSec = s.rate;
    f.blockAlign = static_cast<uint16_t>(s.channels * 2);
    f.avgBytesPerSec = s.rate * f.blockAlign;
    f.bitsPerSample = 16;
    return f;
}

// One channel of the run coding. Ramps are taken when they stay within
// kRampTolerance of the signal, otherwise the closest one-byte code.
constexpr int kRampTolerance = 24;
constexpr int kTailCodes = kSoundEffectTail;

std::vector<uint8_t> EncodeRunChannel(const std::vector<int16_t>& x, uint32_t& codeCount) {
    const int16_t* S = RunDeltaTable();
    const int16_t* R = RunLengthTable();
    std::vector<uint8_t> codes;
    const size_t n = x.size();
    int32_t p = n ? x[0] : 0;
    size_t i = 1;
    codeCount = 0;
    while (i < n) {
        bool done = false;
        for (int idx = 7; idx >= 0 && !done; --idx) {
            const size_t r = static_cast<size_t>(R[idx]);
            if (i + r > n) continue;
            int32_t t = x[i + r - 1];
            // Targets are multiples of 16; round to the nearest one in range.
            int32_t target = static_cast<int32_t>(std::floor((t + 8) / 16.0)) * 16;
            target = std::clamp(target, -32768, 32752);
            const float step = static_cast<float>(target - p) / static_cast<float>(r);
            float v = static_cast<float>(p);
            bool ok = true;
            for (size_t k = 0; k < r && ok; ++k) {
                v = v + step;
                ok = std::abs(static_cast<int32_t>(std::trunc(v)) - x[i + k]) <= kRampTolerance;
            }
            if (!ok) continue;
            const uint16_t word = static_cast<uint16_t>(static_cast<int16_t>(target));
            codes.push_back(static_cast<uint8_t>((word & 0xF0) | (idx << 1)));
            codes.push_back(static_cast<uint8_t>(word >> 8));
            p = target;
            i += r;
            done = true;
        }
        if (done) {
            ++codeCount;
            continue;
        }
        // One-byte code: a delta from S or an absolute multiple of 1024.
        int best = -1;
        int32_t bestValue = 0, bestErr = 1 << 30;
        for (int v = 0; v < 64; ++v) {
            int32_t c = p + S[v];
            if (c < -32768 || c > 32767) continue;
            int32_t e = std::abs(c - x[i]);
            if (e < bestErr) best = v, bestValue = c, bestErr = e;
        }
        for (int s6 = -32; s6 < 32; ++s6) {
            int32_t c = s6 * 1024;
            int32_t e = std::abs(c - x[i]);
            if (e < bestErr) best = 0x40 | (s6 & 0x3F), bestValue = c, bestErr = e;
        }
        codes.push_back(static_cast<uint8_t>((best << 1) | 1));
        p = bestValue;
        ++i;
        ++codeCount;
    }
    // The player restarts the last 300 codes from zero: let them be silence.
    for (int k = 0; k < kTailCodes; ++k) codes.push_back(0x01);
    codeCount += kTailCodes;
    return codes;
}

// Byte coding of a whole signal at one scale; also gives the predictors
// just before frame loopFrame.
std::vector<uint8_t> EncodeBytes(const PcmSound& s, int scale, uint32_t loopFrame, int16_t loopPred[2]) {
    const int16_t* B = ByteDeltaTable();
    const int ch = s.channels;
    std::vector<uint8_t> out(s.samples.size());
    int32_t pred[2] = {0, 0};
    loopPred[0] = loopPred[1] = 0;
    const size_t frames = s.Frames();
    for (size_t f = 0; f < frames; ++f) {
        if (f == loopFrame) {
            loopPred[0] = static_cast<int16_t>(pred[0]);
            loopPred[1] = static_cast<int16_t>(pred[1]);
        }
        for (int c = 0; c < ch; ++c) {
            const int32_t x = s.samples[f * ch + c];
            const int32_t d = x - pred[c];
            // The nearest delta: B[0 ... 63] rise, B[65 ... 127] fall.
            const int32_t want = std::abs(d);
            int lo = 0;
            int32_t bestErr = 1 << 30, bestValue = pred[c];
            uint8_t code = 0x40;
            for (int k = 0; k < 64; ++k) {
                const int32_t step = scale * B[k];
                if (std::abs(step - want) < std::abs(scale * B[lo] - want)) lo = k;
            }
            for (int k = std::max(0, lo - 1); k <= std::min(63, lo + 1); ++k) {
                const int32_t v = d >= 0 ? pred[c] + scale * B[k] : pred[c] - scale * B[k];
                if (v < -32768 || v > 32767) continue;
                const int32_t e = std::abs(v - x);
                if (e < bestErr) {
                    bestErr = e;
                    bestValue = v;
                    code = static_cast<uint8_t>(d >= 0 || k == 0 ? k : 64 + k);
                }
            }
            const int s7 = std::clamp(static_cast<int>(std::lround(x / 512.0)), -64, 63);
            if (std::abs(s7 * 512 - x) < bestErr) {
                bestValue = s7 * 512;
                code = static_cast<uint8_t>(0x80 | (s7 & 0x7F));
            }
            pred[c] = bestValue;
            out[f * ch + c] = code;
        }
    }
    return out;
}

std::vector<int16_t> DecodeBytes(const std::vector<uint8_t>& coded, int ch, int scale) {
    std::vector<int16_t> out(coded.size());
    int16_t pred[2] = {0, 0};
    DecodeByteCoded(coded.data(), coded.size() / ch, ch, scale, pred, out.data());
    return out;
}

}  // namespace

bool ReadWav(const std::vector<uint8_t>& b, PcmSound& s, std::string& error) {
    if (b.size() < 12 || std::memcmp(b.data(), "RIFF", 4) != 0 || std::memcmp(b.data() + 8, "WAVE", 4) != 0) {
        error = "not a RIFF WAVE file";
        return false;
    }
    bool haveFormat = false;
    size_t pos = 12;
    while (pos + 8 <= b.size()) {
        const uint32_t len = Le32(b.data() + pos + 4);
        const uint8_t* body = b.data() + pos + 8;
        const size_t avail = b.size() - pos - 8;
        if (std::memcmp(b.data() + pos, "fmt ", 4) == 0) {
            if (len < 16 || avail < 16) break;
            const uint16_t tag = Le16(body), ch = Le16(body + 2), bits = Le16(body + 14);
            if ((tag != 1 && tag != 0xFFFE) || bits != 16 || (ch != 1 && ch != 2)) {
                error = "only 16-bit PCM WAV, mono or stereo, is supported";
                return false;
            }
            s.channels = ch;
            s.rate = Le32(body + 4);
            haveFormat = true;
        } else if (std::memcmp(b.data() + pos, "data", 4) == 0) {
            if (!haveFormat) break;
            const size_t n = std::min<size_t>(len, avail) / (2 * s.channels) * s.channels;
            s.samples.resize(n);
            for (size_t i = 0; i < n; ++i) s.samples[i] = static_cast<int16_t>(Le16(body + 2 * i));
            if (s.rate < 100 || s.rate > 200000) {
                error = "sample rate " + std::to_string(s.rate) + " is not usable";
                return false;
            }
            return true;
        }
        pos += 8 + len + (len & 1);
    }
    error = haveFormat ? "no data chunk" : "no usable fmt chunk";
    return false;
}

std::vector<uint8_t> WriteWav(const PcmSound& s) {
    std::vector<uint8_t> v;
    const uint32_t data = static_cast<uint32_t>(s.samples.size() * 2);
    v.insert(v.end(), {'R', 'I', 'F', 'F'});
    Put32(v, 36 + data);
    v.insert(v.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    Put32(v, 16);
    Put16(v, 1);
    Put16(v, static_cast<uint16_t>(s.channels));
    Put32(v, s.rate);
    Put32(v, s.rate * s.channels * 2);
    Put16(v, static_cast<uint16_t>(s.channels * 2));
    Put16(v, 16);
    v.insert(v.end(), {'d', 'a', 't', 'a'});
    Put32(v, data);
    for (int16_t x : s.samples) Put16(v, static_cast<uint16_t>(x));
    return v;
}

std::vector<uint8_t> EncodeSoundEffect(const PcmSound& s) {
    const size_t frames = std::max<size_t>(s.Frames(), 1);
    std::vector<std::vector<uint8_t>> blocks;
    for (int c = 0; c < s.channels; ++c) {
        std::vector<int16_t> x(frames, 0);
        for (size_t f = 0; f < s.Frames(); ++f) x[f] = s.samples[f * s.channels + c];
        uint32_t count = 0;
        std::vector<uint8_t> codes = EncodeRunChannel(x, count);
        std::vector<uint8_t> block;
        Put32(block, static_cast<uint32_t>(codes.size()));  // not read by the player
        Put32(block, count);
        Put16(block, static_cast<uint16_t>(x[0]));
        block.insert(block.end(), codes.begin(), codes.end());
        blocks.push_back(std::move(block));
    }
    WadyHeader h;
    h.channelsField = static_cast<uint16_t>(s.channels);
    h.decodedSize = static_cast<uint32_t>((frames + kTailCodes) * s.channels * 2);
    h.format = FormatOf(s);
    std::vector<uint8_t> out(kWadyHeaderSize);
    WriteWadyHeader(h, out.data());
    if (s.channels == 2) {
        // The right block starts at 56 + this value.
        Put32(out, static_cast<uint32_t>(blocks[0].size() - 4));
        out.insert(out.end(), blocks[0].begin(), blocks[0].end());
        out.insert(out.end(), blocks[1].begin(), blocks[1].end());
    } else {
        out.insert(out.end(), blocks[0].begin(), blocks[0].end());
    }
    return out;
}

bool EncodeMusic(const PcmSound& s, const MusicOptions& o, std::vector<uint8_t>& out, std::string& error) {
    const size_t frames = s.Frames();
    if (frames == 0) {
        error = "the sound has no samples";
        return false;
    }
    if (o.loopFrame >= frames) {
        error = "the loop start lies beyond the end (" + std::to_string(frames) + " frames)";
        return false;
    }
    const uint32_t F = o.framesPerQuarter ? o.framesPerQuarter : std::max<uint32_t>(s.rate / 4, 1);
    if (static_cast<uint64_t>(F) * s.channels > kMaxQuarterSamples) {
        error = "a quarter of " + std::to_string(F) + " frames exceeds the player's buffers";
        return false;
    }
    int16_t loopPred[2];
    std::vector<uint8_t> coded;
    int scale = o.scale;
    if (scale <= 0) {
        double best = -1e9;
        for (int k = 1; k <= 16; ++k) {
            std::vector<uint8_t> c = EncodeBytes(s, k, o.loopFrame, loopPred);
            double snr = SignalToNoise(s.samples, DecodeBytes(c, s.channels, k));
            if (snr > best) best = snr, scale = k, coded = std::move(c);
        }
    } else {
        if (scale > 255) {
            error = "the scale is at most 255";
            return false;
        }
        coded = EncodeBytes(s, scale, o.loopFrame, loopPred);
    }
    EncodeBytes(s, scale, o.loopFrame, loopPred);  // the loop predictors of the chosen scale
    WadyHeader h;
    h.scale = static_cast<uint8_t>(scale);
    h.channelsField = static_cast<uint16_t>(s.channels);
    h.framesPerQuarter = F;
    h.codedLength = static_cast<uint32_t>(coded.size());
    h.frames = static_cast<uint32_t>(frames);
    h.decodedSize = static_cast<uint32_t>(frames * s.channels * 2);
    h.loopStart = o.loopFrame * s.channels;
    h.loopPredictor[0] = loopPred[0];
    h.loopPredictor[1] = loopPred[1];
    h.format = FormatOf(s);
    out.assign(kWadyHeaderSize, 0);
    WriteWadyHeader(h, out.data());
    out.insert(out.end(), coded.begin(), coded.end());
    return true;
}

bool EncodeVoice(const PcmSound& s, float quality, std::vector<uint8_t>& out, std::string& error) {
    vorbis_info vi;
    vorbis_info_init(&vi);
    if (vorbis_encode_init_vbr(&vi, s.channels, static_cast<long>(s.rate), quality) != 0) {
        vorbis_info_clear(&vi);
        error = "the Vorbis encoder refuses this rate and quality";
        return false;
    }
    vorbis_comment vc;
    vorbis_comment_init(&vc);
    vorbis_comment_add_tag(&vc, "ENCODER", "velmora-pack");
    vorbis_dsp_state vd;
    vorbis_block vb;
    vorbis_analysis_init(&vd, &vi);
    vorbis_block_init(&vd, &vb);
    ogg_stream_state os;
    ogg_stream_init(&os, 0x56454C4D);  // a fixed serial: the same input gives the same file
    ogg_packet header, comm, code;
    vorbis_analysis_headerout(&vd, &vc, &header, &comm, &code);
    ogg_stream_packetin(&os, &header);
    ogg_stream_packetin(&os, &comm);
    ogg_stream_packetin(&os, &code);
    ogg_page og;
    out.clear();
    auto emit = [&](const ogg_page& p) {
        out.insert(out.end(), p.header, p.header + p.header_len);
        out.insert(out.end(), p.body, p.body + p.body_len);
    };
    while (ogg_stream_flush(&os, &og)) emit(og);
    const size_t frames = s.Frames();
    size_t at = 0;
    bool eos = false;
    while (!eos) {
        const size_t n = std::min<size_t>(1024, frames - at);
        if (n == 0) {
            vorbis_analysis_wrote(&vd, 0);
        } else {
            float** buf = vorbis_analysis_buffer(&vd, static_cast<int>(n));
            for (size_t i = 0; i < n; ++i)
                for (int c = 0; c < s.channels; ++c) buf[c][i] = s.samples[(at + i) * s.channels + c] / 32768.0f;
            vorbis_analysis_wrote(&vd, static_cast<int>(n));
            at += n;
        }
        while (vorbis_analysis_blockout(&vd, &vb) == 1) {
            vorbis_analysis(&vb, nullptr);
            vorbis_bitrate_addblock(&vb);
            ogg_packet op;
            while (vorbis_bitrate_flushpacket(&vd, &op)) {
                ogg_stream_packetin(&os, &op);
                while (ogg_stream_pageout(&os, &og)) {
                    emit(og);
                    if (ogg_page_eos(&og)) eos = true;
                }
            }
        }
        if (n == 0) {
            while (ogg_stream_flush(&os, &og)) emit(og);
            eos = true;
        }
    }
    ogg_stream_clear(&os);
    vorbis_block_clear(&vb);
    vorbis_dsp_clear(&vd);
    vorbis_comment_clear(&vc);
    vorbis_info_clear(&vi);
    return true;
}

bool DecodeWadyFile(const std::vector<uint8_t>& bytes, PcmSound& s, std::string& error) {
    WadyHeader h;
    if (!ParseWadyHeader(bytes.data(), bytes.size(), h)) {
        error = "not a WADY file";
        return false;
    }
    s.rate = h.format.samplesPerSec;
    if (h.frames > 0) {
        s.channels = h.ByteChannels();
        const size_t n = static_cast<size_t>(h.frames) * s.channels;
        if (n > bytes.size() - kWadyHeaderSize) {
            error = "the coded data is shorter than its frame count";
            return false;
        }
        s.samples.assign(n, 0);
        int16_t pred[2] = {0, 0};
        DecodeByteCoded(bytes.data() + kWadyHeaderSize, h.frames, s.channels, h.scale, pred, s.samples.data());
        return true;
    }
    s.channels = h.format.channels == 1 ? 1 : 2;
    const uint32_t size = h.decodedSize & ~1u;
    if (size == 0 || size > 256u * 1024 * 1024) {
        error = "decoded size " + std::to_string(h.decodedSize) + " is not usable";
        return false;
    }
    s.samples.assign(size / 2, 0);
    if (!DecodeRunCoded(bytes.data(), bytes.size(), h, s.samples.data(), size)) {
        error = "the run codes are damaged";
        return false;
    }
    return true;
}

std::string DescribeWady(const std::vector<uint8_t>& bytes) {
    WadyHeader h;
    if (!ParseWadyHeader(bytes.data(), bytes.size(), h)) return "not a WADY file\n";
    char buf[1024];
    const platform::PcmFormat& f = h.format;
    std::snprintf(buf, sizeof buf,
                  "WADY, %zu bytes\n"
                  "  coding            %s\n"
                  "  scale             %u\n"
                  "  channels (coding) %u\n"
                  "  frames/quarter    %u\n"
                  "  coded length      %u\n"
                  "  frames            %u\n"
                  "  decoded size      %u\n"
                  "  loop start        %u (predictors %d, %d)\n"
                  "  format            tag %u, %u channels, %u Hz, %u bytes/s, block %u, %u bits\n",
                  bytes.size(), h.frames > 0 ? "byte (music, animation sound)" : "run (sound effect)", h.scale,
                  h.channelsField, h.framesPerQuarter, h.codedLength, h.frames, h.decodedSize, h.loopStart,
                  h.loopPredictor[0], h.loopPredictor[1], f.formatTag, f.channels, f.samplesPerSec,
                  f.avgBytesPerSec, f.blockAlign, f.bitsPerSample);
    return buf;
}

double SignalToNoise(const std::vector<int16_t>& a, const std::vector<int16_t>& b) {
    double sig = 0, noise = 0;
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        sig += static_cast<double>(a[i]) * a[i];
        const double d = static_cast<double>(a[i]) - b[i];
        noise += d * d;
    }
    if (noise == 0) return 200.0;
    return 10.0 * std::log10(sig / noise);
}

}  // namespace velmora::tools
