// The headless mixer refuses the buffers the device mixer refuses, so a
// test on it cannot pass with a request that fails in play.
#include <gtest/gtest.h>

#include <memory>

#include "platform/headless/headless_mixer.h"
#include "platform/headless/headless_platform.h"
#include "platform/headless/ini_store.h"

namespace velmora::platform {
namespace {

TEST(HeadlessMixer, RefusesBadBuffersAndWritesPastTheEnd) {
    HeadlessPlatform plat(std::make_unique<IniSettingsStore>());
    HeadlessMixer m(plat.clock());
    ASSERT_TRUE(m.Open(false));
    const PcmFormat stereo{1, 2, 22050, 88200, 4, 16};
    EXPECT_FALSE(m.CreateBuffer(1, PcmFormat{1, 1, 22050, 22050, 1, 8}, 100, false));
    EXPECT_FALSE(m.CreateBuffer(1, stereo, 0, false));
    EXPECT_FALSE(m.CreateBuffer(1, stereo, 102, false));  // half a block
    EXPECT_TRUE(m.CreateBuffer(1, stereo, 104, false));
    // A stream is four quarters of whole blocks.
    EXPECT_FALSE(m.CreateBuffer(2, stereo, 104, true));
    EXPECT_TRUE(m.CreateBuffer(2, stereo, 112, true));

    const uint8_t bytes[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_TRUE(m.WriteBuffer(1, 96, bytes, 8));
    EXPECT_FALSE(m.WriteBuffer(1, 100, bytes, 8));
    EXPECT_FALSE(m.WriteBuffer(1, 0xFFFFFFF8u, bytes, 8));
    EXPECT_EQ(m.Data(1)[96], 1);
    EXPECT_EQ(m.Data(1)[103], 8);
    EXPECT_TRUE(m.WriteBuffer(1, 104, bytes, 0));
}

}  // namespace
}  // namespace velmora::platform
