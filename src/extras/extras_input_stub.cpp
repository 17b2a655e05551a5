// Stand-ins for input in the extras' play modes until they are built.
#include "app/engine.h"
#include "app/trace.h"
#include "extras/extras.h"

namespace velmora {

void SceneScrollClick(TForm1&, bool) {}
void ViewerHover(TForm1&, int, int) {}
void ViewerClick(TForm1&, int, int, int) {}
void RecollectionMouseMove(TForm1&, int, int) {}
void RecollectionMouseDown(TForm1&, int, int, int) {}
void RecollectionMouseUp(TForm1&, int, int, int) {}
void ChoiceTreeHover(TForm1&, int, int) {}
void ChoiceTreePick(TForm1&, int button) { Trace("choice tree press %d: the choice tree is not built yet", button); }
void EndChoiceTree(TForm1&) {}

}  // namespace velmora
