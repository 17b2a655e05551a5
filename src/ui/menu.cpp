#include "app/engine.h"
#include "audio/sound.h"
#include "save/slots.h"
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

void LoadQuickButtons(TForm1& f) { (void)f; }

// Entry points of the quick bar, the return to the title and the right-click
// menu; empty until the menus are built.
void QuickBarHover(TForm1& f, int x, int y) { (void)f, (void)x, (void)y; }
bool QuickBarAction(TForm1& f) {
    (void)f;
    return false;
}
void ReturnToTitle(TForm1& f) { (void)f; }
void ShowRightClickMenu(TForm1& f, int screenX, int screenY) { (void)f, (void)screenX, (void)screenY; }

void TForm1::SpeedButton1Click() { plat.window().Close(); }
void TForm1::SpeedButton2Click() {}
void TForm1::SpeedButton3Click() {
    if (flags.interruptibleEffect) return;
    PlaySoundByName(*this, "SSE05");
    OpenSaveLoadDialog(*this, 1);
}

void TForm1::SpeedButton4Click() {
    if (flags.interruptibleEffect) return;
    PlaySoundByName(*this, "SSE06");
    OpenSaveLoadDialog(*this, 0);
}

}  // namespace velmora
