#include "script/stepper.h"

#include "app/engine.h"

namespace velmora {

void StepScript(TForm1& f) { (void)f; }

void ClearInsertedText(TForm1& f) { f.stepper.insertedText.clear(); }

}  // namespace velmora
