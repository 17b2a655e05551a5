#include "app/engine.h"
#include "ui/input.h"

namespace velmora {

void DrawQuickBar(TForm1& f, int target) {
    (void)f;
    (void)target;
}

}  // namespace velmora
