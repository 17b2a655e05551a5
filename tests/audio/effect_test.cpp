// Sound effects and their rules on the headless mixer.
#include <gtest/gtest.h>

#include "app/engine.h"
#include "script/commands.h"
#include "audio/sound_data.h"

namespace velmora::test {
namespace {

using platform::MixerEvent;

// A command line through the dispatcher, as a script runs it.
int RunLine(TForm1& f, const std::string& line) {
    std::vector<char> buf(line.begin(), line.end());
    buf.push_back('\0');
    return ExecuteCommand(f, FindCommand(buf.data()), buf.data());
}

std::vector<uint8_t> Beep() { return EffectEntry(std::vector<uint8_t>(2000, 0x03), 100); }

TEST(SoundEffects, LookupOrderAndLoopingVolume) {
    TestGame g;
    BasicGame(g)
        .Entry("vk_se0.vrk", "BOTH", Beep())
        .Entry("vk_se2.vrk", "BOTH", Beep())
        .Entry("vk_se2.vrk", "RAIN", Beep());
    SoundRig rig(g);
    platform::HeadlessMixer& m = rig.mixer();
    EXPECT_EQ(PlaySound(rig.f(), "both"), 0);  // vk_se0 first: once, slot 1
    EXPECT_TRUE(m.IsPlaying(kSlotEffect));
    EXPECT_FALSE(m.Looping(kSlotEffect));
    EXPECT_EQ(m.Volume(kSlotEffect), -200);
    EXPECT_TRUE(rig.f().audio.loopSoundName.empty());
    // The decoded samples reach the buffer.
    ASSERT_EQ(m.Data(kSlotEffect).size(), 2001u * 2);
    EXPECT_EQ(m.Data(kSlotEffect)[0], 100);
    EXPECT_EQ(static_cast<int16_t>(m.Data(kSlotEffect)[2] | m.Data(kSlotEffect)[3] << 8), 104);
    // 2001 samples at 22050 Hz end after about 91 ms.
    rig.plat().Sleep(80);
    EXPECT_TRUE(IsVoiceOrEffectPlaying(rig.f()));
    rig.plat().Sleep(20);
    EXPECT_FALSE(IsVoiceOrEffectPlaying(rig.f()));

    EXPECT_EQ(RunLine(rig.f(), "*seloop rain"), 0);
    EXPECT_TRUE(m.Looping(kSlotLoop));
    EXPECT_EQ(rig.f().audio.loopSoundName, "RAIN");
    rig.plat().Sleep(5000);
    EXPECT_TRUE(m.IsPlaying(kSlotLoop));
    RunLine(rig.f(), "*seoff");
    EXPECT_FALSE(m.HasBuffer(kSlotLoop));
    EXPECT_TRUE(rig.f().audio.loopSoundName.empty());
    EXPECT_EQ(PlaySound(rig.f(), "nothing"), 1);
}

TEST(SoundEffects, CategoriesSkippingAndLevels) {
    TestGame g;
    BasicGame(g)
        .Entry("vk_se0.vrk", "SEH3BELL", Beep())
        .Entry("vk_se2.vrk", "SEH4LOOP1_1", Beep())
        .Entry("vk_se2.vrk", "SEH4LOOP1_3", Beep());
    SoundRig rig(g);
    TForm1& f = rig.f();
    platform::HeadlessMixer& m = rig.mixer();
    f.settings.SE[3] = 0;
    RunLine(f, "*se seh3bell");
    RunLine(f, "*seloop seh3bell");
    EXPECT_EQ(m.Count(MixerEvent::Create, kSlotEffect), 0);
    f.settings.SE[3] = 1;
    f.ui.SkipActive = true;
    RunLine(f, "*se seh3bell");  // cut while skipping
    EXPECT_EQ(m.Count(MixerEvent::Create, kSlotEffect), 0);
    f.settings.EFX_CUT = 0;
    RunLine(f, "*se seh3bell");
    EXPECT_EQ(m.Count(MixerEvent::Create, kSlotEffect), 1);
    f.ui.SkipActive = false;
    // The 9th character '1' picks SE_LVL0, added to the 11th.
    f.settings.SE_LVL[0] = 2;
    RunLine(f, "*seloop seh4loop1_1");
    EXPECT_EQ(f.audio.loopSoundName, "SEH4LOOP1_3");
}

TEST(SoundEffects, InactiveWindowPlaysOnlyTheVoiceSample) {
    TestGame g;
    BasicGame(g).Entry("vk_se0.vrk", "SSE01", Beep()).Entry("vk_se0.vrk", "SAMPLECV", Beep());
    SoundRig rig(g);
    rig.plat().active = false;
    EXPECT_EQ(PlaySound(rig.f(), "SSE01"), 0);
    EXPECT_FALSE(rig.mixer().HasBuffer(kSlotEffect));
    EXPECT_EQ(PlaySound(rig.f(), "samplecv"), 0);
    EXPECT_TRUE(rig.mixer().HasBuffer(kSlotEffect));
    // The settings dialog holds back everything but the sample as well.
    rig.plat().active = true;
    rig.f().audio.activeDialog = SoundDialog::Settings;
    StopAllSounds(rig.f());
    PlaySound(rig.f(), "SSE01");
    EXPECT_FALSE(rig.mixer().HasBuffer(kSlotEffect));
    rig.f().audio.activeDialog = SoundDialog::SaveLoadList;
    PlaySound(rig.f(), "SSE01");
    EXPECT_TRUE(rig.mixer().HasBuffer(kSlotEffect));
}

TEST(SoundEffects, HostileEntriesPlayNothing) {
    auto bigSize = Beep();
    bigSize[20] = 0xFF, bigSize[21] = 0xFF, bigSize[22] = 0xFF, bigSize[23] = 0x7F;
    auto longCount = Beep();
    longCount[55] = 0x10;  // N far beyond the codes
    auto badFormat = Beep();
    badFormat[46] = 8;  // 8 bits
    TestGame g;
    BasicGame(g)
        .Entry("vk_se0.vrk", "A", std::vector<uint8_t>(30, 'x'))
        .Entry("vk_se0.vrk", "B", bigSize)
        .Entry("vk_se0.vrk", "C", longCount)
        .Entry("vk_se0.vrk", "D", badFormat);
    SoundRig rig(g);
    for (const char* n : {"A", "B", "C", "D"}) {
        EXPECT_EQ(PlaySound(rig.f(), n), 0) << n;
        EXPECT_FALSE(rig.mixer().HasBuffer(kSlotEffect)) << n;
    }
}

TEST(SoundEffects, VolumesMuteAndMaster) {
    TestGame g;
    BasicGame(g).Entry("vk_se0.vrk", "A", Beep()).Entry("vk_se2.vrk", "L", Beep());
    SoundRig rig(g);
    TForm1& f = rig.f();
    PlaySound(f, "A");
    PlaySound(f, "L");
    f.settings.Vol[1] = -1500;
    ApplyVolumes(f);
    EXPECT_EQ(rig.mixer().Volume(kSlotEffect), -1500);
    EXPECT_EQ(rig.mixer().Volume(kSlotLoop), -1500);
    SetMasterVolume(f, -700);
    EXPECT_EQ(rig.mixer().PrimaryVolume(), -700);
    Mute(f);
    EXPECT_EQ(rig.mixer().PrimaryVolume(), platform::kSilentVolume);
    UpdateMusic(f);  // the timer keeps the mute
    EXPECT_EQ(rig.mixer().PrimaryVolume(), platform::kSilentVolume);
    Unmute(f);
    EXPECT_EQ(rig.mixer().PrimaryVolume(), -700);
    EXPECT_FLOAT_EQ(platform::GainFromVolume(-2000), 0.1f);
    EXPECT_FLOAT_EQ(platform::GainFromVolume(0), 1.0f);
    EXPECT_EQ(platform::GainFromVolume(-9999), 0.0f);
}

}  // namespace
}  // namespace velmora::test
