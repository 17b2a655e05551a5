#include "app/engine.h"
#include "ui/input.h"

namespace velmora {

void UpdateMenuStates(TForm1& f) {
    // Saving and loading are offered while S000 allows them.
    bool allowed = f.vars.S[0] != 3;
    f.plat.window().SetToolBarEnabled(kButtonSave, allowed);
    f.plat.window().SetToolBarEnabled(kButtonLoad, allowed);
}

void EnterFullScreen(TForm1& f) {
    // Without exclusive full screen, mode 1 and 2 both become a borderless
    // window at 0,0.
    f.plat.window().SetBorder(false);
    f.plat.window().Move(0, 0);
    f.app.fullScreen = true;
}

void LeaveFullScreen(TForm1& f) {
    f.plat.window().SetBorder(true);
    f.plat.window().Move(f.settings.Left, f.settings.Top);
    f.app.fullScreen = false;
}

void LoadChoicePictures(TForm1& f) { (void)f; }
void LoadQuickButtons(TForm1& f) { (void)f; }
void LoadCursors(TForm1& f) { (void)f; }

void TForm1::SpeedButton1Click() { plat.window().Close(); }
void TForm1::SpeedButton2Click() {}
void TForm1::SpeedButton3Click() {}
void TForm1::SpeedButton4Click() {}

}  // namespace velmora
