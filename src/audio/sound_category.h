#pragma once
// The sound-effect categories: names "SEH" + digit d are switched by SEd.
#include <string>

namespace velmora {

class TForm1;

// True for an upper-case name of a category whose switch is off now.
bool SoundCategoryOff(const TForm1& f, const std::string& name);

}  // namespace velmora
