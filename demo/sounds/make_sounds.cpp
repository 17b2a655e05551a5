// Synthesises the demo's sounds as WAV files into the folders of its game
// folder: two chimes, a rain loop, a spoken-like voice line, two music
// tracks and the short sounds the engine plays itself (a choice shown and
// picked, the save, load and settings dialogs, the backlog). Everything is
// made here from sine waves and a seeded noise generator.
#include <cmath>
#include <cstdio>
#include <string>

#include "data/file_io.h"
#include "tools/sound_encoder.h"

namespace {

using velmora::tools::PcmSound;
constexpr double kPi = 3.14159265358979323846;

int16_t Clip(double v) { return static_cast<int16_t>(std::lround(std::fmax(-32767.0, std::fmin(32767.0, v)))); }

// A bell: a few partials with an exponential decay.
PcmSound Chime(double base, double seconds) {
    PcmSound s;
    s.rate = 22050;
    const size_t n = static_cast<size_t>(seconds * s.rate);
    for (size_t i = 0; i < n; ++i) {
        double t = static_cast<double>(i) / s.rate;
        double env = std::exp(-4.0 * t) * std::fmin(1.0, t * 200.0);
        double v = std::sin(2 * kPi * base * t) + 0.5 * std::sin(2 * kPi * base * 2.01 * t) +
                   0.25 * std::sin(2 * kPi * base * 3.03 * t);
        s.samples.push_back(Clip(9000.0 * env * v));
    }
    return s;
}

// A short interface sound: a tone gliding from f0 to f1 that dies away fast.
PcmSound Blip(double f0, double f1, double seconds) {
    PcmSound s;
    s.rate = 22050;
    const size_t n = static_cast<size_t>(seconds * s.rate);
    double phase = 0;
    for (size_t i = 0; i < n; ++i) {
        const double u = static_cast<double>(i) / n;
        phase += 2 * kPi * (f0 + (f1 - f0) * u) / s.rate;
        const double env = std::exp(-5.0 * u) * std::fmin(1.0, i / 60.0) * std::fmin(1.0, (n - i) / 60.0);
        s.samples.push_back(Clip(7000.0 * env * (std::sin(phase) + 0.3 * std::sin(2 * phase))));
    }
    return s;
}

// Rain: filtered noise that loops without a click (it starts and ends at the
// same filter state because the noise is periodic with the loop).
PcmSound Rain() {
    PcmSound s;
    s.rate = 22050;
    s.channels = 2;
    const size_t n = s.rate * 2;
    uint32_t seed = 12345;
    double l = 0, r = 0;
    for (size_t i = 0; i < n; ++i) {
        seed = seed * 1664525u + 1013904223u;
        double a = ((seed >> 8) & 0xFFFF) / 32768.0 - 1.0;
        seed = seed * 1664525u + 1013904223u;
        double b = ((seed >> 8) & 0xFFFF) / 32768.0 - 1.0;
        l = 0.9 * l + 0.1 * a;
        r = 0.9 * r + 0.1 * b;
        double fade = std::fmin(1.0, std::fmin(i, n - i) / 200.0);
        s.samples.push_back(Clip(12000.0 * l * fade));
        s.samples.push_back(Clip(12000.0 * r * fade));
    }
    return s;
}

// A voice-like line: a gliding pitch with vowel-ish formants, in syllables.
PcmSound Voice() {
    PcmSound s;
    s.rate = 22050;
    const double syl = 0.22;
    const size_t n = static_cast<size_t>(syl * 7 * s.rate);
    double phase = 0;
    for (size_t i = 0; i < n; ++i) {
        double t = static_cast<double>(i) / s.rate;
        int k = static_cast<int>(t / syl);
        double u = t / syl - k;
        double f0 = 180 + 40 * std::sin(k * 1.7) - 30 * t;
        phase += 2 * kPi * f0 / s.rate;
        double env = std::sin(kPi * u) * (k < 6 ? 1.0 : 0.0);
        double formant = 1.0 + 0.6 * std::sin(k * 2.3);
        double v = std::sin(phase) + 0.5 * std::sin(2 * phase * formant) + 0.3 * std::sin(3 * phase);
        s.samples.push_back(Clip(8000.0 * env * v));
    }
    return s;
}

// A short stereo tune over a bass line; `notes` are semitones above A3.
PcmSound Tune(const int* notes, int count, double beat, double bassRoot) {
    PcmSound s;
    s.rate = 22050;
    s.channels = 2;
    const size_t perNote = static_cast<size_t>(beat * s.rate);
    for (int k = 0; k < count; ++k) {
        double f = 220.0 * std::pow(2.0, notes[k] / 12.0);
        double fb = bassRoot * std::pow(2.0, (k / 4 % 2 ? 5 : 0) / 12.0);
        for (size_t i = 0; i < perNote; ++i) {
            double t = static_cast<double>(i) / s.rate;
            double env = std::exp(-3.0 * t) * std::fmin(1.0, t * 300.0);
            double global = (k * perNote + i) / static_cast<double>(s.rate);
            double lead = std::sin(2 * kPi * f * t) * env;
            double bass = std::sin(2 * kPi * fb * global) * 0.5;
            s.samples.push_back(Clip(7000.0 * (lead * 0.8 + bass * 0.6)));
            s.samples.push_back(Clip(7000.0 * (lead * 0.5 + bass * 0.8)));
        }
    }
    return s;
}

bool Write(const std::string& path, const PcmSound& s) {
    if (velmora::WriteFileAtomic(path, velmora::tools::WriteWav(s))) return true;
    std::fprintf(stderr, "make_sounds: cannot write %s\n", path.c_str());
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_sounds GAME_DIR\nwrites sounds/se01.wav se02.wav sse01.wav sse02.wav sse05.wav\n"
                             "sse06.wav sse07.wav sse09.wav, loops/rain.wav, voices/v0001.wav, music/m01.wav m02.wav\n");
        return 2;
    }
    const std::string d = argv[1];
    for (const char* folder : {"sounds", "loops", "voices", "music"})
        if (!velmora::MakeDirectories(d + "/" + folder)) {
            std::fprintf(stderr, "make_sounds: cannot create %s/%s\n", d.c_str(), folder);
            return 1;
        }
    static const int tune1[] = {0, 4, 7, 12, 7, 4, 0, 4, 5, 9, 12, 17, 12, 9, 5, 9};
    static const int tune2[] = {12, 11, 9, 7, 9, 7, 5, 4, 5, 7, 9, 12, 9, 7, 4, 2};
    bool ok = Write(d + "/sounds/se01.wav", Chime(880, 0.6)) && Write(d + "/sounds/se02.wav", Chime(660, 0.8)) &&
              Write(d + "/loops/rain.wav", Rain()) && Write(d + "/voices/v0001.wav", Voice()) &&
              Write(d + "/music/m01.wav", Tune(tune1, 16, 0.3, 110)) &&
              Write(d + "/music/m02.wav", Tune(tune2, 16, 0.35, 98));
    // The engine's own: a choice picked and shown, the save and load dialogs
    // (up and down), the settings dialog, the backlog opening.
    ok = ok && Write(d + "/sounds/sse01.wav", Blip(1320, 1180, 0.12)) &&
         Write(d + "/sounds/sse02.wav", Blip(880, 990, 0.10)) && Write(d + "/sounds/sse05.wav", Blip(700, 1050, 0.16)) &&
         Write(d + "/sounds/sse06.wav", Blip(1050, 700, 0.16)) && Write(d + "/sounds/sse07.wav", Blip(900, 900, 0.08)) &&
         Write(d + "/sounds/sse09.wav", Blip(600, 450, 0.14));
    return ok ? 0 : 1;
}
