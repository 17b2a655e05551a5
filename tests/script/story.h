#pragma once
// A tiny game played pass by pass on the headless platform, with the trace
// captured so tests can read what the engine did.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/trace.h"
#include "data/encoding.h"
#include "support/test_game.h"
#include "support/trace_capture.h"

namespace velmora::test {

inline const char kStoryConfig[] =
    "TITLE:Story\nMAKER_REG:Software\\Test\\Story\nGAME_ID:story\nDEFAULT_NAME:遠野\nDEFAULT_NAME2:明\n";

class Story {
public:
    // scripts: (name, UTF-8 text); "main" starts.
    Story(std::initializer_list<std::pair<std::string, std::string>> scripts, bool typewriter = false) {
        game_.Script("_config", kStoryConfig);
        for (auto& [name, text] : scripts) game_.Script(name, text);
        game_.Build();
        auto store = std::make_unique<platform::IniSettingsStore>();
        // The fast text speed unless a test wants the typewriter.
        if (!typewriter) store->Set("Software/Test/Story/story", "Delay", "1");
        e_ = std::make_unique<HeadlessEngine>(game_.path(), 1920, 1080, std::move(store));
    }
    Story(const Story&) = delete;
    Story& operator=(const Story&) = delete;
    TForm1& f() { return *e_->f; }
    platform::HeadlessPlatform& plat() { return e_->plat; }
    // Idle passes, each with the messages that are due delivered first.
    void Pass(int n = 1) {
        for (int i = 0; i < n; ++i) {
            plat().ProcessMessages();
            bool done = false;
            f().AppIdle(done);
        }
    }
    void Click() { f().PBMouseDown(platform::mbLeft, 0, 400, 300); }
    // Idle passes until the stepper waits for something (at most `passes`).
    void ToWait(int passes = 300) {
        for (int i = 0; i < passes && f().stepper.PendingWait == 0; ++i) Pass();
    }
    // A click, and on to the next wait.
    void NextWait() {
        Click();
        Pass();
        ToWait();
    }
    // Schedules events-file lines from now on (the forms and menus that open
    // later act on them); false with the parse error traced when they are bad.
    bool Events(const std::string& text) {
        platform::Timeline t;
        std::string error;
        if (!platform::ParseTimeline(text, t, error)) {
            std::fprintf(stderr, "events: %s\n", error.c_str());
            return false;
        }
        const uint32_t now = plat().Now();
        for (platform::TimelineEvent& e : t.events) e.time += now;
        t.endTime += now;
        plat().SetTimeline(std::move(t));
        return true;
    }
    // A key typed on the game window.
    void Type(char c) {
        char key = c;
        f().FormKeyPress(key);
    }
    // Everything traced so far, and from a mark on.
    std::string Trace() {
        return trace_.Text();
    }
    size_t Mark() { return Trace().size(); }
    std::string TraceSince(size_t mark) { return Trace().substr(mark); }
    bool Traced(const std::string& utf8) { return Trace().find(utf8) != std::string::npos; }
    // Backlog line i as UTF-8.
    std::string Backlog(int i) { return ToUtf8(f().backlog.BacklogLines[i]); }
    int32_t V(int n) { return f().vars.V[n]; }

private:
    // First, so that it outlives the engine and the game.
    TraceCapture trace_;
    TestGame game_;
    std::unique_ptr<HeadlessEngine> e_;
};

// Counts the occurrences of a text.
inline int Count(const std::string& hay, const std::string& needle) {
    int n = 0;
    for (size_t p = hay.find(needle); p != std::string::npos; p = hay.find(needle, p + needle.size())) ++n;
    return n;
}

}  // namespace velmora::test
