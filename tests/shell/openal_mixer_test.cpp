// The OpenAL Soft mixer: the null device for the slot mechanics, and the
// wave writer to hear what actually comes out.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <thread>
#include <vector>

#include "data/file_io.h"
#include "platform/openal/openal_mixer.h"
#include "support/test_game.h"
#include "tools/sound_encoder.h"

using namespace velmora;
using platform::OpenAlMixer;

namespace {

platform::PcmFormat Mono(uint32_t rate = 22050) {
    platform::PcmFormat f;
    f.channels = 1;
    f.samplesPerSec = rate;
    f.blockAlign = 2;
    f.avgBytesPerSec = rate * 2;
    return f;
}

std::vector<int16_t> Sine(size_t n, double amplitude, uint32_t rate = 22050) {
    std::vector<int16_t> v(n);
    for (size_t i = 0; i < n; ++i) v[i] = static_cast<int16_t>(amplitude * std::sin(2 * M_PI * 440.0 * i / rate));
    return v;
}

void Wait(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

}  // namespace

TEST(OpenAlMixer, SlotsOnTheNullDevice) {
    ::setenv("ALSOFT_DRIVERS", "null", 0);  // no sound card needed
    OpenAlMixer m;
    if (!m.Open(false)) GTEST_SKIP() << "no OpenAL device, not even the null one";
    auto pcm = Sine(2205, 8000);  // 100 ms
    ASSERT_TRUE(m.CreateBuffer(1, Mono(), 4410, false));
    ASSERT_TRUE(m.WriteBuffer(1, 0, pcm.data(), 4410));
    EXPECT_FALSE(m.WriteBuffer(1, 4000, pcm.data(), 4410));  // past the end
    m.SetVolume(1, -2000);
    m.Play(1, false);
    EXPECT_TRUE(m.IsPlaying(1));
    Wait(400);
    EXPECT_FALSE(m.IsPlaying(1));
    EXPECT_TRUE(m.HasBuffer(1));  // a finished one-shot keeps its buffer
    m.Release(1);
    EXPECT_FALSE(m.HasBuffer(1));
    EXPECT_FALSE(m.CreateBuffer(1, platform::PcmFormat{1, 1, 22050, 22050, 1, 8}, 100, false));

    // A stream of four 50 ms quarters: the cursor moves through them and a
    // rewritten quarter is queued again behind the others.
    const uint32_t H = 2200;  // bytes: 1100 frames, 50 ms
    ASSERT_TRUE(m.CreateBuffer(3, Mono(), 4 * H, true));
    std::vector<int16_t> ring = Sine(2 * H, 4000);  // more than the ring needs
    ASSERT_TRUE(m.WriteBuffer(3, 0, ring.data(), 4 * H));
    m.Play(3, true);
    int next = 0, refills = 0;
    for (int t = 0; t < 40; ++t) {
        Wait(20);
        const int playing = static_cast<int>(m.PlayPosition(3) / H);
        ASSERT_GE(playing, 0);
        ASSERT_LT(playing, 4);
        while (playing != next) {
            ASSERT_TRUE(m.WriteBuffer(3, next * H, ring.data(), H));
            next = (next + 1) & 3;
            ++refills;
        }
    }
    EXPECT_TRUE(m.IsPlaying(3));
    EXPECT_GE(refills, 8);  // 800 ms of 50 ms quarters, give or take the scheduler
    m.Close();
}

// Runs in a child process with the wave writer as the device.
TEST(OpenAlMixer, WaveWriterChild) {
    if (!std::getenv("VELMORA_WAVE_CHILD")) GTEST_SKIP() << "run by WaveWriterHearsAMonoEffectOnBothSides";
    OpenAlMixer m;
    ASSERT_TRUE(m.Open(false));
    auto pcm = Sine(22050 / 2, 10000);
    ASSERT_TRUE(m.CreateBuffer(1, Mono(), static_cast<uint32_t>(pcm.size() * 2), false));
    ASSERT_TRUE(m.WriteBuffer(1, 0, pcm.data(), static_cast<uint32_t>(pcm.size() * 2)));
    m.SetVolume(1, 0);
    m.Play(1, false);
    Wait(800);
    m.Close();
}

TEST(OpenAlMixer, WaveWriterHearsAMonoEffectOnBothSides) {
    test::TempDir dir;
    const std::string wav = dir.File("out.wav"), conf = dir.File("alsoft.conf");
    std::ofstream(conf) << "[general]\ndrivers=wave\nchannels=stereo\nsample-type=int16\nfrequency=22050\n"
                           "output-limiter=false\ndither=false\n[wave]\nfile="
                        << wav << "\n";
    char self[4096];
    ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    ASSERT_GT(n, 0);
    self[n] = '\0';
    std::string cmd = "ALSOFT_DRIVERS=wave ALSOFT_CONF=" + conf + " VELMORA_WAVE_CHILD=1 " + self +
                      " --gtest_filter=OpenAlMixer.WaveWriterChild > /dev/null 2>&1";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(ReadWholeFile(wav, bytes));
    tools::PcmSound out;
    std::string error;
    ASSERT_TRUE(tools::ReadWav(bytes, out, error)) << error;
    ASSERT_EQ(out.channels, 2);
    ASSERT_GT(out.Frames(), 22050u / 2);
    int peak[2] = {0, 0};
    for (size_t i = 0; i < out.Frames(); ++i)
        for (int c = 0; c < 2; ++c) peak[c] = std::max(peak[c], std::abs(static_cast<int>(out.samples[2 * i + c])));
    // Full level on both sides, not OpenAL's -3 dB pan of a centred mono source.
    EXPECT_NEAR(peak[0], 10000, 600);
    EXPECT_NEAR(peak[1], 10000, 600);
    std::printf("wave writer peaks: left %d, right %d (of 10000)\n", peak[0], peak[1]);
}
