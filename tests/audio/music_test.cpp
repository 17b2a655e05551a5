// Streamed music on the headless mixer: the play cursor moves with the
// virtual clock and the engine refills the quarters behind it.
#include <gtest/gtest.h>

#include <cstring>

#include "app/engine.h"
#include "audio/sound_data.h"

namespace velmora::test {
namespace {

using platform::MixerEvent;

// What the stream should hold: the coded data decoded frame by frame,
// continuing at the loop start with the loop predictors.
struct Reference {
    std::vector<uint8_t> coded;
    int ch;
    uint32_t loopStart;
    int16_t loopPred[2];
    int scale;
    size_t read = 0;
    int16_t pred[2] = {0, 0};
    std::vector<int16_t> Next(size_t frames) {
        std::vector<int16_t> out(frames * ch);
        for (size_t i = 0; i < frames; ++i) {
            if (read + ch > coded.size()) {
                read = loopStart;
                pred[0] = loopPred[0];
                pred[1] = loopPred[1];
            }
            DecodeByteCoded(coded.data() + read, 1, ch, scale, pred, out.data() + i * ch);
            read += ch;
        }
        return out;
    }
};

// Plays a track for `ticks` timer ticks and checks every quarter written.
void PlayAndCheck(int channels, uint32_t F, size_t codedLength, uint32_t loopStart, int ticks) {
    auto coded = CodedNoise(codedLength, 7);
    TestGame g;
    BasicGame(g).Entry("vk_bgm.vrk", "M05", MusicEntry(coded, channels, F, loopStart, -1000, 2000));
    SoundRig rig(g);
    Reference ref{coded, channels, loopStart, {-1000, 2000}, 2};
    SetMusic(rig.f(), 5);
    platform::HeadlessMixer& m = rig.mixer();
    ASSERT_TRUE(m.HasBuffer(kSlotMusic));
    const size_t H = F * 2 * channels;
    ASSERT_EQ(m.Data(kSlotMusic).size(), 4 * H);
    for (int q = 0; q < 4; ++q) {
        auto want = ref.Next(F);
        ASSERT_EQ(0, std::memcmp(m.Data(kSlotMusic).data() + q * H, want.data(), H)) << "initial quarter " << q;
    }
    size_t seen = m.events.size();
    int refills = 0;
    for (int t = 0; t < ticks; ++t) {
        rig.Tick();
        for (; seen < m.events.size(); ++seen) {
            const MixerEvent& e = m.events[seen];
            if (e.kind != MixerEvent::Write || e.slot != kSlotMusic) continue;
            auto want = ref.Next(F);
            ASSERT_EQ(e.value % H, 0u);
            ASSERT_EQ(0, std::memcmp(m.Data(kSlotMusic).data() + e.value, want.data(), H))
                << "refill " << refills << " of quarter " << e.value / H;
            ++refills;
        }
        // Everything behind the cursor is refilled; the quarter it plays is next.
        ASSERT_EQ(m.PlayPosition(kSlotMusic) / H, static_cast<uint32_t>(rig.f().audio.music.next));
    }
    // 100 ms quarters over `ticks` x 55 ms: every quarter played is refilled.
    EXPECT_GE(refills, ticks * 55 / 100 - 1);
}

TEST(MusicStream, RefillsEveryQuarterAndWrapsAtTheLoop) {
    // Stereo, length not a multiple of a quarter's coded bytes.
    PlayAndCheck(2, 2205, 2205 * 2 * 5 + 1234, 4410, 120);
}

TEST(MusicStream, WrapWhenTheLengthIsAWholeNumberOfQuarters) {
    // The track ends exactly at a quarter's end: the next quarter starts at
    // the loop point with the loop predictors.
    PlayAndCheck(2, 2205, 2205 * 2 * 6, 100, 80);
}

TEST(MusicStream, MonoTrackWrapsOneFramePerByte) { PlayAndCheck(1, 2205, 2205 * 7 + 333, 999, 100); }

TEST(MusicStream, ShortTrackLoopsInsideTheFirstQuarters) { PlayAndCheck(1, 2205, 3000, 1000, 40); }

TEST(MusicStream, SameTrackTwiceDoesNothingAndZeroWithoutMusicNeither) {
    TestGame g;
    BasicGame(g).Entry("vk_bgm.vrk", "M05", MusicEntry(CodedNoise(50000, 1), 1, 2205, 0, 0, 0));
    SoundRig rig(g);
    SetMusic(rig.f(), 0);
    EXPECT_EQ(rig.mixer().Count(MixerEvent::Create, kSlotMusic), 0);
    SetMusic(rig.f(), 5);
    rig.Tick();
    SetMusic(rig.f(), 5);
    EXPECT_EQ(rig.mixer().Count(MixerEvent::Create, kSlotMusic), 1);
    EXPECT_EQ(rig.f().audio.playingTrack, 5);
    // A missing track leaves the playing one alone.
    SetMusic(rig.f(), 9);
    EXPECT_TRUE(rig.mixer().IsPlaying(kSlotMusic));
    EXPECT_EQ(rig.mixer().Count(MixerEvent::Release, kSlotMusic), 0);
}

TEST(MusicStream, FadeLowersTwentyPerTickAndStopsBelowMinus3000) {
    TestGame g;
    BasicGame(g).Entry("vk_bgm.vrk", "M05", MusicEntry(CodedNoise(50000, 1), 1, 2205, 0, 0, 0));
    SoundRig rig(g);
    SetMusic(rig.f(), 5);
    rig.Tick();
    EXPECT_EQ(rig.mixer().Volume(kSlotMusic), -300);
    SetMusic(rig.f(), -20);
    EXPECT_EQ(rig.f().audio.requestedTrack, 0);
    EXPECT_EQ(rig.f().audio.playingTrack, 0);
    int32_t expect = -300 - 1;
    int ticks = 0;
    while (rig.mixer().HasBuffer(kSlotMusic) && ticks < 1000) {
        rig.Tick();
        ++ticks;
        expect -= 20;
        if (rig.mixer().HasBuffer(kSlotMusic)) {
            ASSERT_EQ(rig.mixer().Volume(kSlotMusic), expect);
        }
    }
    EXPECT_LT(expect, -3000);
    EXPECT_GE(expect + 20, -3000);
    EXPECT_EQ(ticks, (3000 - 301) / 20 + 1);
    EXPECT_EQ(rig.f().audio.music.source, MusicSource::None);
}

TEST(MusicStream, TrackRequestedDuringAFadeRestartsAtFullVolume) {
    TestGame g;
    BasicGame(g).Entry("vk_bgm.vrk", "M05", MusicEntry(CodedNoise(50000, 1), 1, 2205, 0, 0, 0));
    SoundRig rig(g);
    SetMusic(rig.f(), 5);
    SetMusic(rig.f(), -20);
    for (int i = 0; i < 10; ++i) rig.Tick();
    EXPECT_LT(rig.mixer().Volume(kSlotMusic), -400);
    SetMusic(rig.f(), 5);
    EXPECT_EQ(rig.mixer().Count(MixerEvent::Create, kSlotMusic), 2);
    rig.Tick();
    EXPECT_EQ(rig.mixer().Volume(kSlotMusic), -300);
    EXPECT_EQ(rig.f().audio.playingTrack, 5);
}

TEST(MusicStream, MusicOffRecordsTheRequestAndSwitchingOnStartsIt) {
    TestGame g;
    BasicGame(g).Entry("vk_bgm.vrk", "M03", MusicEntry(CodedNoise(50000, 1), 1, 2205, 0, 0, 0));
    SoundRig rig(g);
    rig.f().settings.BGM_ENA = 0;
    SetMusic(rig.f(), 3);
    EXPECT_EQ(rig.f().audio.requestedTrack, 3);
    EXPECT_EQ(rig.f().audio.playingTrack, 0);
    EXPECT_FALSE(rig.mixer().HasBuffer(kSlotMusic));
    rig.f().settings.BGM_ENA = 1;
    ReapplyMusic(rig.f());
    EXPECT_TRUE(rig.mixer().IsPlaying(kSlotMusic));
    EXPECT_EQ(rig.f().audio.playingTrack, 3);
    EXPECT_EQ(rig.f().audio.requestedTrack, 3);
    // And off again stops it but keeps the request.
    rig.f().settings.BGM_ENA = 0;
    ReapplyMusic(rig.f());
    EXPECT_FALSE(rig.mixer().HasBuffer(kSlotMusic));
    EXPECT_EQ(rig.f().audio.requestedTrack, 3);
}

TEST(MusicStream, InactiveWindowDelaysTheStartByThreeTicks) {
    TestGame g;
    BasicGame(g).Entry("vk_bgm.vrk", "M02", MusicEntry(CodedNoise(50000, 1), 1, 2205, 0, 0, 0));
    SoundRig rig(g);
    rig.plat().active = false;
    SetMusic(rig.f(), 2);
    EXPECT_FALSE(rig.mixer().HasBuffer(kSlotMusic));
    // Still inactive: the countdown runs out and starts over.
    for (int i = 0; i < 3; ++i) MusicDelayTick(rig.f());
    EXPECT_FALSE(rig.mixer().HasBuffer(kSlotMusic));
    EXPECT_EQ(rig.f().audio.pendingCounter, 3);
    rig.plat().active = true;
    MusicDelayTick(rig.f());
    MusicDelayTick(rig.f());
    EXPECT_FALSE(rig.mixer().HasBuffer(kSlotMusic));
    MusicDelayTick(rig.f());
    EXPECT_TRUE(rig.mixer().IsPlaying(kSlotMusic));
    // The settings dialog having the focus does not hold music back.
    rig.f().audio.activeDialog = SoundDialog::Settings;
    SetMusic(rig.f(), 0);
    EXPECT_EQ(PlayTrack(rig.f(), 2), 0);
}

TEST(MusicStream, HostileTracksAreRefused) {
    TestGame g;
    BasicGame(g)
        .Entry("vk_bgm.vrk", "M01", MusicEntry(CodedNoise(50000, 1), 2, 44101, 0, 0, 0))  // quarter too big
        .Entry("vk_bgm.vrk", "M02", MusicEntry(CodedNoise(5000, 1), 1, 2205, 5000, 0, 0))  // loop past the end
        .Entry("vk_bgm.vrk", "M03", std::vector<uint8_t>(100, 'W'))                        // not WADY
        .Entry("vk_bgm.vrk", "M04", [] {  // coded length beyond the entry
            auto e = MusicEntry(CodedNoise(5000, 1), 1, 2205, 0, 0, 0);
            e[14] = 0x7F;
            return e;
        }());
    SoundRig rig(g);
    for (int n = 1; n <= 4; ++n) {
        EXPECT_EQ(PlayTrack(rig.f(), n), 1) << n;
        EXPECT_FALSE(rig.mixer().HasBuffer(kSlotMusic)) << n;
        rig.Tick();
    }
}

TEST(MusicStream, NoDeviceMeansSilenceWithoutErrors) {
    TestGame g;
    BasicGame(g).Entry("vk_bgm.vrk", "M05", MusicEntry(CodedNoise(50000, 1), 1, 2205, 0, 0, 0));
    SoundRig rig(g, true);
    EXPECT_FALSE(rig.f().audio.available);
    SetMusic(rig.f(), 5);
    rig.Tick();
    EXPECT_TRUE(rig.mixer().events.empty());
    EXPECT_EQ(rig.f().audio.playingTrack, 5);
}

}  // namespace
}  // namespace velmora::test
