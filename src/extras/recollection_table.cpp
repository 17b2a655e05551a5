// The scene table "sys_flashbak" and the unlocking of scenes: a scene
// unlocks when its script is loaded in play, and stays unlocked through the
// global data.
#include <cstring>

#include "app/engine.h"
#include "app/trace.h"
#include "data/archive.h"
#include "extras/recollection.h"
#include "script/variables.h"

namespace velmora {

namespace {

bool IsHeading(const std::string& line) { return !line.empty() && line[0] == '*'; }

// Drops scene numbers the table does not have and closes the gaps, so a
// damaged "kaiso.dat" or a changed table cannot point outside the lists.
void CheckRecordLists(TForm1& f) {
    const RecollectionState& r = f.extras.recollection;
    const int lines = static_cast<int>(r.SceneLines.size());
    if (lines == 0) return;  // nothing to check against: keep them for a later run
    int dropped = 0;
    for (int l = 0; l < kRecordLists; ++l) {
        int32_t* list = f.extras.recordLists[l];
        int kept[kRecordListUsed] = {};
        int n = 0;
        for (int k = 0; k < kRecordListUsed && list[k] != 0; ++k) {
            if (list[k] > 0 && list[k] < lines && !r.SceneScripts[static_cast<size_t>(list[k])].empty()) kept[n++] = list[k];
            else ++dropped;
        }
        for (int k = 0; k < kRecordListLength; ++k) list[k] = k < n ? kept[k] : 0;
    }
    if (dropped > 0) Trace("recollection: %d record list entries name no scene, dropped", dropped);
}

}  // namespace

void LoadSceneTable(TForm1& f) {
    RecollectionState& r = f.extras.recollection;
    r.SceneLines.clear();
    r.SceneScripts.clear();
    r.categoryCount = 0;
    for (int k = 0; k < kSceneCategories; ++k) r.subListCount[k] = 0;
    std::vector<std::string> lines;
    if (!LoadTableLines(f, "sys_flashbak", lines, true)) {
        Trace("recollection: no scene table sys_flashbak");
        return;
    }
    size_t i = 0;
    while (i < lines.size() && lines[i].empty()) ++i;
    if (i >= lines.size() || UpperName(lines[i]) != ":SETTING") {
        Trace("sys_flashbak line %zu: the table does not start with :SETTING", i + 1);
        return;
    }
    // Every line is a category or a scene line, blank ones included: a
    // blank category has one nameless sub-list, a blank scene line an empty
    // cell and its own recollection bit, so the numbers of the lines after
    // it stay those of the table.
    for (++i; i < lines.size() && (lines[i].empty() || lines[i][0] != ':'); ++i) {
        if (r.categoryCount >= kSceneCategories) {
            Trace("sys_flashbak line %zu: more than %d categories, ignored", i + 1, kSceneCategories);
            continue;
        }
        const int k = r.categoryCount++;
        std::string names[kSubListsMax + 1];
        int n = SplitTableFields(lines[i], names, kSubListsMax + 1);
        if (n > kSubListsMax) {
            Trace("sys_flashbak line %zu: more than %d sub-lists, the rest ignored", i + 1, kSubListsMax);
            n = kSubListsMax;
        }
        for (int s = 0; s < n; ++s) r.subLists[k][s] = ":" + UpperName(names[s]);
        r.subListCount[k] = n;
    }
    bool ended = false;
    for (; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (static_cast<int>(r.SceneLines.size()) >= kRecollectionBits) {
            Trace("sys_flashbak line %zu: more than %d lines, the rest ignored", i + 1, kRecollectionBits);
            break;
        }
        if (!line.empty() && line[0] == ':') {
            r.SceneLines.push_back(UpperName(line));
            r.SceneScripts.emplace_back();
            if (UpperName(line) == ":END") {
                ended = true;
                break;
            }
            continue;
        }
        if (IsHeading(line)) {
            r.SceneLines.push_back(line);
            r.SceneScripts.emplace_back();
            continue;
        }
        const size_t comma = line.rfind(',');
        std::string script = comma == std::string::npos ? std::string() : UpperName(line.substr(comma + 1));
        while (!script.empty() && script.back() == ' ') script.pop_back();
        if (script.empty() && !line.empty()) Trace("sys_flashbak line %zu: a scene without a script name \"%s\"", i + 1, TraceText(line).c_str());
        r.SceneLines.push_back(comma == std::string::npos ? line : line.substr(0, comma));
        r.SceneScripts.push_back(script);
    }
    if (!ended) Trace("sys_flashbak: no :END line");
    if (r.categoryCount == 0) Trace("sys_flashbak: no categories after :SETTING");
    Trace("recollection: %d categories, %zu scene lines", r.categoryCount, r.SceneLines.size());
}

bool SceneUnlocked(const TForm1& f, int line) {
    return line > 0 && line < kRecollectionBits && TestBit(f.extras.recollectionBits, kRecollectionBits, line);
}

void UnlockScene(TForm1& f, const std::string& upperName) {
    const RecollectionState& r = f.extras.recollection;
    const int n = static_cast<int>(r.SceneScripts.size());
    for (int i = 1; i < n; ++i) {
        if (r.SceneScripts[static_cast<size_t>(i)] != upperName) continue;
        if (!SceneUnlocked(f, i)) Trace("recollection: scene %d (%s) unlocked", i, TraceText(upperName).c_str());
        SetBit(f.extras.recollectionBits, kRecollectionBits, i, true);
        // Its heading shows once a scene under it is unlocked.
        for (int j = i - 1; j > 0; --j) {
            const std::string& above = r.SceneLines[static_cast<size_t>(j)];
            if (!above.empty() && above[0] == ':') break;
            if (IsHeading(above) && above != "*") {
                SetBit(f.extras.recollectionBits, kRecollectionBits, j, true);
                break;
            }
        }
    }
}

void InitRecollection(TForm1& f) {
    LoadSceneTable(f);
    CheckRecordLists(f);
}

void RecollectionScriptLoaded(TForm1& f, const std::string& name) { UnlockScene(f, name); }

void SetSceneStartScript(TForm1& f, const std::string& name) {
    f.extras.recollection.sceneStartScript = name;
    Trace("rec: scene starts with %s", TraceText(name).c_str());
}

}  // namespace velmora
