#pragma once
// The text outlets in the browser: the clipboard API and speechSynthesis
// (its lines also go to the page's live region for screen readers). There
// is no local text feed in a page.
#include "platform/platform.h"

namespace velmora::platform {

class WebTextOutlets : public TextOutlets {
public:
    void Apply(const TextOutSwitches& switches) override { switches_ = switches; }
    void Put(TextKind kind, const std::string& utf8, bool speak) override;
    void Copy(const std::string& utf8) override;
    void Hush() override;
    bool SpeechAvailable(std::string* why) override;
    std::string SpeechNeeds() const override {
        return "読み上げにはブラウザーの音声合成（speechSynthesis）が必要です（このブラウザーにはありません）";
    }

private:
    TextOutSwitches switches_;
};

}  // namespace velmora::platform
