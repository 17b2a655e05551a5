// Voices (Ogg Vorbis) and the encoders of velmora-pack.
#include <gtest/gtest.h>

#include <cmath>

#include "app/engine.h"
#include "audio/ogg_voice.h"
#include "audio/sound_data.h"
#include "tools/sound_encoder.h"

namespace velmora::test {
namespace {

tools::PcmSound Tone(int channels, double seconds, double hz = 440, uint32_t rate = 22050) {
    tools::PcmSound s;
    s.channels = channels;
    s.rate = rate;
    const size_t n = static_cast<size_t>(seconds * rate);
    for (size_t i = 0; i < n; ++i)
        for (int c = 0; c < channels; ++c)
            s.samples.push_back(static_cast<int16_t>(8000 * std::sin(2 * M_PI * hz * (c + 1) * i / rate)));
    return s;
}

TEST(Voice, TrimKeepsShortVoicesWholeAndCutsTrailingSilence) {
    std::vector<uint8_t> pcm(30000, 0);
    EXPECT_EQ(TrimmedVoiceLength(pcm.data(), 30000), 30000u);
    // Longer: the last four bytes go even when they are not zero ...
    std::vector<uint8_t> loud(40000, 7);
    EXPECT_EQ(TrimmedVoiceLength(loud.data(), 40000), 39996u);
    // ... and silence is cut four bytes at a time, but never below half.
    std::vector<uint8_t> tail(40000, 7);
    std::fill(tail.begin() + 36000, tail.end(), 0);
    EXPECT_EQ(TrimmedVoiceLength(tail.data(), 40000), 35996u);
    std::vector<uint8_t> quiet(40000, 0);
    EXPECT_EQ(TrimmedVoiceLength(quiet.data(), 40000), 20000u);
}

TEST(Voice, OggVoicePlaysOnSlotZeroAndDamageIsSilent) {
    std::vector<uint8_t> ogg, err;
    std::string error;
    ASSERT_TRUE(tools::EncodeVoice(Tone(1, 1.0), 0.4f, ogg, error)) << error;
    DecodedVoice v;
    ASSERT_TRUE(DecodeOggVoice(ogg.data(), ogg.size(), v));
    EXPECT_EQ(v.channels, 1);
    EXPECT_EQ(v.rate, 22050);
    EXPECT_NEAR(static_cast<double>(v.length), 44100.0, 64.0);
    std::vector<uint8_t> cut(ogg.begin(), ogg.begin() + ogg.size() / 2);  // a stream cut in half still decodes
    std::vector<uint8_t> junk(5000, 0x4F);

    TestGame g;
    BasicGame(g)
        .Entry("vk_ogg1.vrk", "V1", ogg)
        .Entry("vk_ogg1.vrk", "JUNK", junk)
        .Entry("vk_ogg3.vrk", "CUT", cut)
        .Entry("vk_se0.vrk", "V1X", EffectEntry({0x03, 0x03}));
    SoundRig rig(g);
    TForm1& f = rig.f();
    platform::HeadlessMixer& m = rig.mixer();
    EXPECT_EQ(PlaySound(f, "v1"), 0);
    ASSERT_TRUE(m.IsPlaying(kSlotVoice));
    EXPECT_EQ(m.Volume(kSlotVoice), -100);
    EXPECT_EQ(m.Format(kSlotVoice).avgBytesPerSec, 44100u);
    rig.plat().Sleep(900);
    EXPECT_TRUE(IsVoiceOrEffectPlaying(f));
    rig.plat().Sleep(200);
    EXPECT_FALSE(IsVoiceOrEffectPlaying(f));
    EXPECT_EQ(PlaySound(f, "junk"), 0);  // not Ogg: nothing new plays
    EXPECT_EQ(m.Count(platform::MixerEvent::Create, kSlotVoice), 1);
    EXPECT_EQ(PlaySound(f, "cut"), 0);
    // Voices off: the name is looked for among the effects only.
    f.settings.CV1 = 0;
    EXPECT_EQ(PlaySound(f, "v1"), 1);
    EXPECT_TRUE(SoundExists(f, "v1x"));
    EXPECT_FALSE(SoundExists(f, "v2"));
    // Skipping: PlaySoundByName plays nothing.
    f.settings.CV1 = 1;
    StopVoice(f);
    f.ui.SkipActive = true;
    PlaySoundByName(f, "V1");
    EXPECT_FALSE(m.HasBuffer(kSlotVoice));
}

TEST(Encoders, RunAndByteCodingsRoundTripWithTheirQuality) {
    for (int ch = 1; ch <= 2; ++ch) {
        tools::PcmSound s = Tone(ch, 0.5);
        std::vector<uint8_t> se = tools::EncodeSoundEffect(s);
        tools::PcmSound back;
        std::string error;
        ASSERT_TRUE(tools::DecodeWadyFile(se, back, error)) << error;
        ASSERT_EQ(back.Frames(), s.Frames() + 300);
        EXPECT_GT(tools::SignalToNoise(s.samples, back.samples), 25.0) << ch;
        // The 300 codes the player starts from zero are silence.
        for (size_t i = s.samples.size(); i < back.samples.size(); ++i) ASSERT_EQ(back.samples[i], 0);

        tools::MusicOptions o;
        o.loopFrame = 1000;
        std::vector<uint8_t> music;
        ASSERT_TRUE(tools::EncodeMusic(s, o, music, error)) << error;
        WadyHeader h;
        ASSERT_TRUE(ParseWadyHeader(music.data(), music.size(), h));
        EXPECT_EQ(h.loopStart, 1000u * ch);
        EXPECT_EQ(h.framesPerQuarter, 22050u / 4);
        ASSERT_TRUE(tools::DecodeWadyFile(music, back, error));
        EXPECT_GT(tools::SignalToNoise(s.samples, back.samples), 40.0) << ch;
        // The loop predictors are the decoder's state just before the loop frame.
        EXPECT_EQ(h.loopPredictor[0], back.samples[999 * ch]);
        if (ch == 2) {
            EXPECT_EQ(h.loopPredictor[1], back.samples[999 * ch + 1]);
        }
    }
    tools::MusicOptions bad;
    bad.loopFrame = 1u << 30;
    std::vector<uint8_t> out;
    std::string error;
    EXPECT_FALSE(tools::EncodeMusic(Tone(1, 0.1), bad, out, error));
}

TEST(Encoders, WavReaderRefusesWhatItCannotCode) {
    tools::PcmSound s = Tone(2, 0.01), back;
    std::vector<uint8_t> wav = tools::WriteWav(s);
    std::string error;
    ASSERT_TRUE(tools::ReadWav(wav, back, error));
    EXPECT_EQ(back.samples, s.samples);
    wav[34] = 8;  // 8 bits per sample
    EXPECT_FALSE(tools::ReadWav(wav, back, error));
    EXPECT_FALSE(tools::ReadWav(std::vector<uint8_t>(10, 0), back, error));
    std::vector<uint8_t> shortData = tools::WriteWav(s);
    shortData.resize(60);  // the data chunk says more than there is
    EXPECT_TRUE(tools::ReadWav(shortData, back, error));
    EXPECT_EQ(back.samples.size(), 8u);
}

}  // namespace
}  // namespace velmora::test
