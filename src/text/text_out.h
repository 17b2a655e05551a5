#pragma once
// Text out: every line the story shows, every choice, every backlog line as
// the viewer opens and every menu item under the pointer leaves the engine
// here, converted once from CP932 to UTF-8, for the clipboard, the local text
// feed and speech (the platform's outlets).
#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace velmora {

class TForm1;

constexpr int kTextOutLineSize = 2048;  // a script line is shorter
constexpr int kTextOutNameSize = 70;    // as a backlog line holds a name

struct TextOutState {
    // The bytes shown of the current line, markup and ruby left out.
    char line[kTextOutLineSize] = {};
    int32_t lineLength = 0;
    // The speaker of the lines that follow, until the page ends.
    char speaker[kTextOutNameSize] = {};
    // The completed lines of the page shown, for Ctrl+C (CP932, one a line).
    std::string page;
    // A voice of the script plays on this page.
    bool voiced = false;
    // The page as it was when Ctrl went down: Ctrl also starts skipping.
    std::string pageAtCtrl;
    bool speechUnavailableTraced = false;
    bool selfVoicingYieldTraced = false;
};

// One shown text of a kind, CP932, to the enabled outlets. `speak` false
// keeps it out of speech.
void ShowText(platform::Platform& plat, platform::TextKind kind, const std::string& cp932, bool speak = true);

// The stepper's side: characters as they are shown, the speaker, the end of
// a line, the end of a page.
void TextOutLineStart(TForm1& f);
void TextOutChar(TForm1& f, const char* bytes, int n);
void TextOutSpeaker(TForm1& f, const char* name);
void TextOutLineDone(TForm1& f);
void TextOutNewPage(TForm1& f);

// Ctrl went down (it starts skipping): Ctrl+C still copies this page.
void TextOutCtrlDown(TForm1& f);
// Ctrl+C: the page onto the clipboard.
void CopyPage(TForm1& f);

// The switches from the settings to the outlets. Self-voicing asked for
// where there is no speech is switched off and traced once.
void ApplyTextOut(TForm1& f);
// Whether speech can be had; `why` says what is missing.
bool SelfVoicingAvailable(TForm1& f, std::string* why);
// The V-key and menu toggles: flips a switch, stores it and applies it.
void ToggleTextCopy(TForm1& f);
void ToggleSelfVoicing(TForm1& f);

}  // namespace velmora
