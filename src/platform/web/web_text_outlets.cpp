#include "platform/web/web_text_outlets.h"

#include <emscripten.h>

namespace velmora::platform {

EM_JS(void, PageCopy, (const char* text), { velmoraPage.copy(UTF8ToString(text)); });
EM_JS(void, PageSpeak, (const char* text, int rate, int volume),
      { velmoraPage.speak(UTF8ToString(text), rate, volume); });
EM_JS(void, PageHush, (), { velmoraPage.hush(); });
EM_JS(int, PageHasSpeech, (), { return typeof speechSynthesis !== 'undefined' ? 1 : 0; });

void WebTextOutlets::Put(TextKind kind, const std::string& utf8, bool speak) {
    if (switches_.copy && ClipboardCarries(kind)) PageCopy(utf8.c_str());
    if (switches_.speech && speak) PageSpeak(utf8.c_str(), switches_.speechRate, switches_.speechVolume);
}

void WebTextOutlets::Copy(const std::string& utf8) { PageCopy(utf8.c_str()); }

void WebTextOutlets::Hush() { PageHush(); }

bool WebTextOutlets::SpeechAvailable(std::string* why) {
    if (PageHasSpeech()) return true;
    if (why) *why = "this browser has no speech synthesis";
    return false;
}

}  // namespace velmora::platform
