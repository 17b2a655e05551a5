// Which sound-effect categories the player has switched off.
#include "app/engine.h"
#include "audio/sound_category.h"

namespace velmora {

bool SoundCategoryOff(const TForm1& f, const std::string& name) {
    if (name.size() < 4 || name.compare(0, 3, "SEH") != 0) return false;
    int d = name[3] - '0';
    return d >= 0 && d <= 4 && f.settings.SE[d] == 0;
}

}  // namespace velmora
