// The browser build's program: the page has put the game under /game, the
// persistent folder under /persist and the fonts under /fonts before it
// starts main; it passes --test for the test page (the virtual clock) and
// --settings FILE for the settings store (in memory without).
#include <emscripten.h>

#include <cstdlib>
#include <cstring>
#include <memory>

#include "app/engine.h"
#include "app/trace.h"
#include "data/encoding.h"
#include "platform/headless/ini_store.h"
#include "platform/openal/openal_device.h"
#include "platform/openal/openal_mixer.h"
#include "platform/web/web_platform.h"
#include "platform/web/web_text_outlets.h"

namespace {

velmora::TForm1* gEngine = nullptr;
velmora::platform::WebPlatform* gPlatform = nullptr;

}  // namespace

EM_JS(void, PageFirstPass, (), { velmoraPage.firstPass(); });
EM_JS(void, PageEnded, (), { velmoraPage.ended(); });

extern "C" {

// What the window shows, as a PNG file at path; 1 when written.
EMSCRIPTEN_KEEPALIVE int velmora_screenshot(const char* path) {
    return gPlatform && gPlatform->Screenshot(path) ? 1 : 0;
}

// The current page's text, UTF-8, its lines joined by newlines.
EMSCRIPTEN_KEEPALIVE const char* velmora_shown_text() {
    static std::string text;
    text.clear();
    if (!gEngine) return "";
    std::string cp932;
    int lastLine = -1;
    for (int line = 0; line < velmora::kPageLines; ++line) {
        std::string row;
        for (int col = 0; col < velmora::kPageColumns; ++col)
            if (uint8_t b = gEngine->text.PageText[line][col]) row.push_back(static_cast<char>(b));
        if (!row.empty()) {
            for (int k = lastLine + 1; k < line && lastLine >= 0; ++k) cp932 += '\n';
            if (lastLine >= 0) cp932 += '\n';
            cp932 += row;
            lastLine = line;
        }
    }
    text = velmora::ToUtf8(cp932);
    return text.c_str();
}
}

int main(int argc, char** argv) {
    using namespace velmora;
    using namespace velmora::platform;
    bool test = false;
    int64_t seed = 1;
    std::string settingsFile;  // empty: settings in memory
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--test") == 0) test = true;
        else if (std::strcmp(argv[i], "--seed") == 0 && i + 1 < argc) seed = std::atoll(argv[++i]);
        else if (std::strcmp(argv[i], "--settings") == 0 && i + 1 < argc) settingsFile = argv[++i];
        else if (std::strcmp(argv[i], "--verbose") == 0) SetTraceSink(stderr);
    }
    // The game folder is read-only: saves, save0.dat and kaiso.dat go to the
    // persistent folder, under the game's GAME_ID.
    setenv("XDG_DATA_HOME", "/persist", 1);
    auto store = std::make_unique<IniSettingsStore>(settingsFile);
    std::string error;
    if (!store->Load(&error)) std::fprintf(stderr, "velmora: %s (settings start afresh)\n", error.c_str());
    WebPlatform plat(std::move(store), test);
    // The test page hears the runner's simulated sound; the player hears
    // OpenAL, opened after the click that started the page.
    OpenAlMixer openal;
    WebTextOutlets outlets;
    plat.textOutletsImpl = &outlets;
    if (!test) {
        plat.mixerImpl = &openal;
        plat.wavePresent = OpenAlOutputPresent();
    }
    auto engine = std::make_unique<TForm1>(plat);
    engine->app.gameDir = "/game";
    engine->app.seed = seed;
    plat.Attach(engine.get());
    gEngine = engine.get();
    gPlatform = &plat;
    try {
        engine->FormCreate();
        bool firstPass = true;
        while (!plat.Closed()) {
            plat.ProcessMessages();
            bool done = false;
            engine->AppIdle(done);
            if (firstPass) {
                firstPass = false;
                PageFirstPass();
            }
        }
    } catch (const RunEnded&) {
    }
    if (!engine->app.startFailure.empty()) std::fprintf(stderr, "velmora: %s\n", engine->app.startFailure.c_str());
    gEngine = nullptr;
    PageEnded();
    return 0;
}
