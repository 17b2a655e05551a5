// Stand-ins for the sound operations the script commands call, until the
// sound output is built: they record the request and play nothing.
#include "app/engine.h"
#include "app/trace.h"
#include "audio/sound.h"

namespace velmora {

int PlaySound(TForm1&, const std::string& name) {
    Trace("sound %s: sound output is not built yet", TraceText(name).c_str());
    return 0;
}
void PlaySoundByName(TForm1& f, const std::string& name) {
    if (!f.ui.SkipActive) PlaySound(f, name);
}
bool SoundExists(TForm1&, const std::string&) { return false; }
void StopVoice(TForm1&) {}
void StopLoopSound(TForm1&) { Trace("seoff"); }
bool IsVoiceOrEffectPlaying(TForm1&) { return false; }
void UpdateMusic(TForm1&) {}
void SetMusic(TForm1&, int n) { Trace("music %d: music is not built yet", n); }

}  // namespace velmora
