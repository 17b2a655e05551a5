#pragma once
// An engine on the headless platform without a game: the message window
// where the demo has it and the composition pictures at their sizes.
#include <gtest/gtest.h>

#include <memory>

#include "app/engine.h"
#include "platform/headless/headless_platform.h"
#include "platform/headless/ini_store.h"

namespace velmora::test {

class EngineFixture : public ::testing::Test {
protected:
    void SetUp() override {
        plat = std::make_unique<platform::HeadlessPlatform>(std::make_unique<platform::IniSettingsStore>());
        f = std::make_unique<TForm1>(*plat);
        plat->Attach(f.get());
        ConfigValues& c = f->config;
        c.TXW_OFS_X = 0, c.TXW_OFS_Y = 430, c.TXW_SIZE_X = 800, c.TXW_SIZE_Y = 170;
        CreateCompositionPictures(*f);
    }

    std::unique_ptr<platform::HeadlessPlatform> plat;
    std::unique_ptr<TForm1> f;
};

}  // namespace velmora::test
