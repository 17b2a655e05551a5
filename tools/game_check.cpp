#include "tools/game_check.h"
#include "tools/layout_check.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <map>

#include "app/trace.h"
#include "data/archive.h"
#include "data/config.h"
#include "data/encoding.h"
#include "data/file_io.h"
#include "gfx/effects.h"
#include "script/commands.h"
#include "script/stepper.h"
#include "tools/archive_writer.h"
#include "tools/game_layout.h"
#include "ui/input.h"

namespace velmora::tools {

namespace {

std::string Upper(const std::string& s) { return UpperName(s); }

// CP932 text for a message.
std::string Shown(const std::string& cp932) { return TraceText(cp932); }

// ---- reading ----

void AddNames(const ArchiveIndex& index, std::set<std::string>& into) {
    for (const std::string& n : index.names) into.insert(n);
}

void ReadVolumes(const std::string& dir, const std::vector<std::string>& files, std::set<std::string>& into) {
    for (const std::string& file : files) {
        ArchiveIndex index;
        if (!IsRegularFile(dir + "/" + file)) continue;
        index.path = dir + "/" + file;
        ReadVolumeIndex(index.path, index);
        AddNames(index, into);
    }
}

// Splits a decoded script entry into its lines.
void SplitLines(const std::vector<uint8_t>& bytes, std::vector<std::string>& lines) {
    size_t start = 0;
    for (size_t i = 0; i < bytes.size(); ++i)
        if (bytes[i] == 0) {
            lines.emplace_back(reinterpret_cast<const char*>(bytes.data()) + start, i - start);
            start = i + 1;
        }
    if (start < bytes.size())
        lines.emplace_back(reinterpret_cast<const char*>(bytes.data()) + start, bytes.size() - start);
}

bool ReadPackedGame(const std::string& dir, GameContents& game, std::string& why) {
    // vk_data2.vrk's entries replace vk_data.vrk's of the same name.
    std::map<std::string, CheckScript> byName;
    bool any = false;
    for (const char* file : {"vk_data.vrk", "vk_data2.vrk"}) {
        const std::string path = dir + "/" + file;
        if (!IsRegularFile(path)) continue;
        any = true;
        ArchiveIndex index;
        index.path = path;
        ReadScriptIndex(path, index);
        for (int i = 0; i < index.count; ++i) {
            std::vector<uint8_t> bytes;
            CheckScript s;
            s.name = index.names[i];
            s.file = s.name;
            if (ReadEntry(index, i, bytes) < 0) {
                game.readFindings.push_back({s.file, 0, true, std::string("the entry cannot be read from ") + file});
                continue;
            }
            NegateBytes(bytes.data(), bytes.size());
            s.bytes = bytes.size();
            SplitLines(bytes, s.lines);
            byName[s.name] = std::move(s);
        }
    }
    if (!any) {
        why = dir + ": no scripts folder and no vk_data.vrk: not a game folder";
        return false;
    }
    for (auto& [name, s] : byName) game.scripts.push_back(std::move(s));
    ReadVolumes(dir, {"vk_gjp.vrk", "vk_gra.vrk", "vk_gra2.vrk", "vk_gra3.vrk"}, game.pictures);
    ReadVolumes(dir, {"vk_se0.vrk", "vk_se1.vrk", "vk_se2.vrk"}, game.sounds);
    ReadVolumes(dir, {"vk_ogg1.vrk", "vk_ogg2.vrk", "vk_ogg3.vrk"}, game.voices);
    ReadVolumes(dir, {"vk_bgm.vrk"}, game.music);
    ReadVolumes(dir, {"vk_anim.vrk", "vk_anim2.vrk"}, game.anims);
    return true;
}

void ReadSourceScript(const std::string& path, const std::string& name, GameContents& game) {
    CheckScript s;
    s.name = name;
    s.file = path;
    std::vector<uint8_t> raw;
    if (!ReadWholeFile(path, raw)) {
        game.readFindings.push_back({path, 0, true, "cannot be read"});
        return;
    }
    const std::string text(raw.begin(), raw.end());
    size_t pos = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    int lineNo = 0;
    // The same line rules as the packer: one line a "\n", a "\r" before it dropped.
    while (pos < text.size()) {
        ++lineNo;
        const size_t nl = text.find('\n', pos);
        const std::string line = text.substr(pos, nl == std::string::npos ? std::string::npos : nl - pos);
        pos = nl == std::string::npos ? text.size() : nl + 1;
        std::vector<uint8_t> cp;
        std::string error;
        if (!ScriptTextToCp932(line, path, cp, error)) {
            // Only the message after "file:line: " belongs to the finding.
            const size_t at = error.find(": ", path.size() + 1);
            game.readFindings.push_back({path, lineNo, true, at == std::string::npos ? error : error.substr(at + 2)});
            s.lines.emplace_back();
            continue;
        }
        s.lines.emplace_back(reinterpret_cast<const char*>(cp.data()), cp.empty() ? 0 : cp.size() - 1);
    }
    for (const std::string& l : s.lines) s.bytes += l.size() + 1;
    game.scripts.push_back(std::move(s));
}

void ReadSourceGame(const std::string& dir, GameContents& game) {
    game.fromSources = true;
    if (IsRegularFile(dir + "/" + kConfigFile)) ReadSourceScript(dir + "/" + kConfigFile, "_CONFIG", game);
    for (const LayoutFolder& l : kLayoutFolders) {
        const std::string folder = dir + "/" + l.folder;
        // An animation is a folder of frames or an entry of its own (NAME.anim).
        std::vector<std::string> names = ListFolder(folder, l.kind == SourceKind::Anim);
        if (l.kind == SourceKind::Anim)
            for (const std::string& n : ListFolder(folder, false))
                if (UpperName(n).size() > 5 && UpperName(n).compare(n.size() - 5, 5, ".ANIM") == 0) names.push_back(n);
        for (const std::string& n : names) {
            if (!IsSourceFile(l.kind, n)) continue;
            const std::string name = EntryNameOf(n);
            switch (l.kind) {
                case SourceKind::Script:
                    ReadSourceScript(folder + "/" + n, name, game);
                    break;
                case SourceKind::Picture:
                    game.pictures.insert(name);
                    break;
                case SourceKind::Sound:
                case SourceKind::Loop:
                    game.sounds.insert(name);
                    break;
                case SourceKind::Voice:
                    game.voices.insert(name);
                    break;
                case SourceKind::Music:
                    game.music.insert(name);
                    break;
                case SourceKind::Anim:
                    game.anims.insert(name);
                    break;
            }
        }
    }
}

// ---- checking ----

class Checker {
public:
    explicit Checker(const GameContents& g) : game_(g), tables_(TableScripts(g)) {
        for (size_t i = 0; i < g.scripts.size(); ++i) {
            byName_[g.scripts[i].name] = i;
            std::set<std::string>& labels = labels_[g.scripts[i].name];
            // A label is any ":" and the rest of its line, as the jump looks for it.
            for (const std::string& line : g.scripts[i].lines)
                for (size_t p = line.find(':'); p != std::string::npos; p = line.find(':', p + 1))
                    labels.insert(Upper(line.substr(p + 1)));
        }
    }

    CheckReport Run() {
        for (const CheckFinding& f : game_.readFindings) Add(f);
        if (!byName_.count("MAIN")) Add({"", 0, true, "there is no script \"main\": the game has nothing to start"});
        if (!byName_.count("_CONFIG"))
            Add({"", 0, false, "there is no configuration block \"_config\": every key keeps its default"});
        for (const CheckScript& s : game_.scripts) {
            report_.scripts++;
            report_.lines += static_cast<long>(s.lines.size());
            script_ = &s;
            if (s.name == "_CONFIG") {
                CheckConfig(s);
                continue;
            }
            line_ = 0;
            if (s.bytes > static_cast<size_t>(kScriptBufferSize))
                Error("the script is " + std::to_string(s.bytes) + " bytes packed; the engine loads at most " +
                      std::to_string(kScriptBufferSize) + ": it does not run");
            // Tables are read by the commands that use them, not run.
            if (tables_.count(s.name)) continue;
            CheckBlocks(s);
            CheckLoopsWithoutWait(s);
            for (size_t i = 0; i < s.lines.size(); ++i) {
                line_ = static_cast<int>(i) + 1;
                CheckLine(s.lines[i], i);
            }
        }
        std::stable_sort(report_.findings.begin(), report_.findings.end(),
                         [](const CheckFinding& a, const CheckFinding& b) {
                             return a.file != b.file ? a.file < b.file : a.line < b.line;
                         });
        return report_;
    }

private:
    void Add(CheckFinding f) {
        (f.error ? report_.errors : report_.warnings)++;
        report_.findings.push_back(std::move(f));
    }
    void Error(const std::string& text) { Add({script_->file, line_, true, text}); }
    void Warning(const std::string& text) { Add({script_->file, line_, false, text}); }

    std::string Where(const char* what) const {
        return game_.fromSources ? std::string(" is not in ") + what + "/"
                                 : std::string(" is in no ") + what + " archive";
    }

    void NeedPicture(const char* cmd, const std::string& name) {
        if (!game_.pictures.count(Upper(name)))
            Error(std::string(cmd) + " " + Shown(name) + ": picture" + Where("pictures"));
    }
    void NeedSound(const char* cmd, const std::string& name) {
        const std::string up = Upper(name);
        if (!game_.sounds.count(up) && !game_.voices.count(up))
            Error(std::string(cmd) + " " + Shown(name) + ": sound" + Where("sounds"));
    }
    void NeedVoice(const char* cmd, const std::string& name) {
        const std::string up = Upper(name);
        if (!game_.voices.count(up) && !game_.sounds.count(up))
            Error(std::string(cmd) + " " + Shown(name) + ": voice" + Where("voices"));
    }

    // A jump target "name", "name:label" or a label in this script.
    void NeedLabel(const char* cmd, const std::string& scriptName, const std::string& label) {
        auto it = labels_.find(Upper(scriptName));
        if (it == labels_.end()) return;  // the missing script is reported on its own
        if (!it->second.count(Upper(label)))
            Error(std::string(cmd) + " " + Shown(label) + ": no label \":" + Shown(label) + "\" in script \"" +
                  Shown(scriptName) + "\"");
    }
    void NeedScript(const char* cmd, const std::string& target) {
        size_t n = 0;
        while (n < target.size() && target[n] != ':' && target[n] != ' ') ++n;
        const std::string name = target.substr(0, n);
        if (name.empty()) {
            Error(std::string(cmd) + ": no script named");
            return;
        }
        if (name[0] == '$') return;  // named by a string variable at run time
        if (!byName_.count(Upper(name))) {
            Error(std::string(cmd) + " " + Shown(name) + ": no such script");
            return;
        }
        if (n < target.size() && target[n] == ':') NeedLabel(cmd, name, target.substr(n + 1));
    }

    // gra, grb and the tag [gra]: the name decides what it is.
    void CheckGra(const char* cmd, const char* args) {
        size_t i = 0;
        while (args[i] && args[i] != ' ' && args[i] != ',' && args[i] != ']' && i < 64) ++i;
        const std::string name(args, i);
        const char kind = name.empty() ? '\0' : static_cast<char>(AsciiUpper(name[0]));
        if (kind == 'A' || kind == 'B')
            NeedPicture(cmd, name);
        else if (kind != 'S')
            Error(std::string(cmd) + " " + Shown(name) +
                  ": shows nothing: a background's name starts with A, a sprite's with B, a colour's with S");
    }

    void CheckSpriteList(const char* args) {
        std::string list(args);
        size_t start = 0;
        for (int k = 0; k < 5; ++k) {
            const size_t comma = list.find(',', start);
            const std::string field =
                list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
            if (!field.empty() && field != "-" && !(field[0] >= '0' && field[0] <= '9')) NeedPicture("spr", field);
            if (comma == std::string::npos) break;
            start = comma + 1;
        }
    }

    static std::string FirstField(const char* args, const char* stops) {
        size_t n = 0;
        while (args[n] && !std::strchr(stops, args[n])) ++n;
        return std::string(args, n);
    }

    void CheckSelect(const CheckScript& s, size_t at) {
        // The option lines: "{" lines up to the first "}" line.
        int options = 0;
        size_t i = at + 1;
        for (; i < s.lines.size(); ++i) {
            const std::string& l = s.lines[i];
            if (!l.empty() && l[0] == '}') break;
            if (l.empty() || l[0] != '{') continue;
            ++options;
            size_t p = 1;
            if (l.size() > 1 && l[1] == '(') {
                p = l.find(')');
                p = p == std::string::npos ? l.size() : p + 1;
            }
            const std::string label = l.substr(p);
            if (options == kChoiceMax + 1)
                Add({s.file, static_cast<int>(i) + 1, true,
                     "select: more than " + std::to_string(kChoiceMax) + " options; the rest are not offered"});
            if (label.size() > static_cast<size_t>(kChoiceLabelMax) && label[0] != '$')
                Add({s.file, static_cast<int>(i) + 1, true,
                     "select: an option of " + std::to_string(label.size()) + " bytes (at most " +
                         std::to_string(kChoiceLabelMax) + "); it is not offered"});
        }
        if (i >= s.lines.size())
            Error("select: its option block has no \"}\" line");
        else if (options == 0)
            Warning("select: no option lines (\"{text\") before the \"}\" line");
    }

    void CheckCommand(const std::string& text, size_t index) {
        const char* line = text.c_str();
        const int cmd = FindCommand(line);
        if (cmd < 0) {
            Error("unknown command \"" + Shown(FirstField(line + 1, " ")) + "\": the line is ignored");
            return;
        }
        const char* args = CommandArgs(cmd, line);
        switch (cmd) {
            case kCmdGra:
                CheckGra("gra", args);
                break;
            case kCmdGrb:
                CheckGra("grb", args);
                break;
            case kCmdBg: {
                const std::string name = FirstField(args, " ,]");
                if (name.empty() || AsciiUpper(name[0]) != 'S') NeedPicture("bg", name);
                break;
            }
            case kCmdSpr:
                CheckSpriteList(args);
                break;
            case kCmdClrb: {
                // Only a side letter at the very end keeps the other sprite:
                // "clrb L 6" clears both.
                const std::string a(args);
                const size_t side = a.find_first_of("LlRr");
                if (side != std::string::npos && side + 1 != a.size())
                    Warning("clrb " + Shown(a) + ": the side letter must come last (\"clrb 6" +
                            static_cast<char>(AsciiUpper(a[side])) + "\"); as written both sprites are cleared");
                break;
            }
            case kCmdOvr: {
                const std::string name = FirstField(args, " ,");
                if (Upper(name) != "OFF") NeedPicture("ovr", name);
                break;
            }
            case kCmdPartsload: {
                const std::string all(args);
                const size_t comma = all.find(',');
                NeedPicture("partsload", all.substr(0, comma));
                if (comma != std::string::npos) NeedPicture("partsload", all.substr(comma + 1));
                break;
            }
            case kCmdDirect:
                NeedPicture("direct", FirstField(args, ","));
                break;
            case kCmdScroll:
                NeedPicture("scroll", FirstField(args, ","));
                break;
            case kCmdManpu:
                NeedPicture("manpu", FirstField(args, ",:"));
                break;
            case kCmdSe:
                NeedSound("se", args);
                break;
            case kCmdSeloop:
                // The level-switched loops pick their variant at run time.
                if (Upper(args).rfind("SEH4", 0) != 0) NeedSound("seloop", args);
                break;
            case kCmdVoice: {
                const std::string name(args);
                if (name.size() > 35) Error("voice " + Shown(name) + ": a voice name has at most 35 bytes");
                NeedVoice("voice", name);
                break;
            }
            case kCmdMusic: {
                const int n = ReadInt(args);
                char name[16];
                std::snprintf(name, sizeof name, "M%02d", n);
                if (n > 0 && !game_.music.count(name))
                    Error("music " + std::to_string(n) + ": track " + name + Where("music"));
                break;
            }
            case kCmdAnim: {
                const char* after = line + 1 + 4;
                const char* a = *after == 'q' || *after == 'Q' ? (after[1] ? after + 2 : after + 1) : args;
                const std::string name = FirstField(a, ",");
                if (!game_.anims.count(Upper(name))) Error("anim " + Shown(name) + ": animation" + Where("anim"));
                break;
            }
            case kCmdGo:
                NeedLabel("go", script_->name, args);
                break;
            case kCmdChain:
                NeedScript("chain", args);
                break;
            case kCmdCall:
                NeedScript("call", args);
                break;
            case kCmdIf: {
                const char* close = std::strchr(args, ')');
                if (!close) {
                    Error("if: no \")\" closes the condition");
                    break;
                }
                const char* target = close + 1;
                while (*target == ' ') ++target;
                if (*target == '*' || *target == '@')
                    CheckCommand(target, index);
                else if (*target && *target != '!')
                    NeedLabel("if", script_->name, target);
                break;
            }
            case kCmdSelect:
                CheckSelect(*script_, index);
                break;
            case kCmdClickmap: {
                std::string name(args);
                while (!name.empty() && name.back() == ' ') name.pop_back();
                if (!byName_.count("MAP")) {
                    Error("clickmap: the game has no table \"map\"");
                    break;
                }
                // The map's section is the first ":" the name follows.
                bool found = false;
                for (const std::string& l : game_.scripts[byName_.at("MAP")].lines)
                    for (size_t p = l.find(':'); p != std::string::npos && !found; p = l.find(':', p + 1))
                        found = l.size() - p - 1 >= name.size() &&
                                SameNoCase(l.c_str() + p + 1, name.c_str(), name.size());
                if (name.empty() || !found) Error("clickmap " + Shown(name) + ": no such map in the table \"map\"");
                break;
            }
            case kCmdRoll: {
                const std::string name = FirstField(args, " ");
                if (!byName_.count(Upper(name))) Error("roll " + Shown(name) + ": no such roll script");
                break;
            }
            case kCmdViewer:
                if (!byName_.count("VIEW")) Error("viewer: the game has no table \"view\"");
                break;
            case kCmdEffect: {
                if (!byName_.count("EFFECT")) {
                    Error("effect: the game has no effect script \"effect\"");
                    break;
                }
                std::string name(args);
                while (!name.empty() && name.back() == ' ') name.pop_back();
                // The engine's own reader of effect definitions.
                std::string table;
                for (const std::string& l : game_.scripts[byName_.at("EFFECT")].lines) table += l + '\0';
                static EffectStep steps[kEffectStepsMax];
                int count = 0;
                if (!ParseEffectDefinition(table.data(), static_cast<int32_t>(table.size()), name.c_str(), steps, count))
                    Error("effect " + Shown(name) + ": not defined in the effect script");
                break;
            }
            default:
                break;
        }
    }

    // Tags, ruby and the rest of a text line.
    void CheckText(const std::string& text) {
        const auto* l = reinterpret_cast<const unsigned char*>(text.c_str());
        const size_t n = text.size();
        for (size_t p = 0; p < n;) {
            const unsigned char c = l[p];
            if (c == '[') {
                const char* tag = text.c_str() + p + 1;
                const int t = FindInlineTag(tag);
                if (t < 0) {
                    const char* close = std::strchr(tag, ']');
                    Error("unknown tag \"[" + Shown(std::string(tag, close ? close - tag : std::strlen(tag))) +
                          "]\": it is left out");
                } else if (t == kTagGra) {
                    CheckGra("[gra]", *(tag + 3) ? tag + 4 : tag + 3);
                } else if (t == kTagVoice) {
                    const std::string name(tag + 6);
                    if (name.find(']') != std::string::npos)
                        Error("[voice " + Shown(name) +
                              ": the voice tag takes the rest of the line as its name, \"]\" included; put it last "
                              "and leave out the \"]\"");
                    else if (name.size() > 63)
                        Error("[voice: a name of more than 63 bytes");
                    else
                        NeedVoice("[voice]", name);
                    return;
                }
                const char* close = std::strchr(tag, ']');
                if (!close) return;
                p = static_cast<size_t>(close - text.c_str()) + 1;
                continue;
            }
            if (c == '<') {
                const size_t close = text.find('>', p + 1);
                const size_t len = (close == std::string::npos ? n : close) - p - 1;
                if (len > 63) Error("a ruby text of " + std::to_string(len) + " bytes (at most 63); it is cut");
                p = close == std::string::npos ? n : close + 1;
                continue;
            }
            p += (c >= 0x20 && c <= 0x7E) ? 1 : 2;
        }
    }

    void CheckLine(const std::string& text, size_t index) {
        if (text.size() > static_cast<size_t>(kLineBufferSize - 1))
            Error("a line of " + std::to_string(text.size()) + " bytes (at most " +
                  std::to_string(kLineBufferSize - 1) + "); the rest is cut");
        if (text.empty()) return;
        switch (text[0]) {
            case '*':
            case '@':
                CheckCommand(text, index);
                break;
            case '!':
            case ':':
            case ';':
            case '{':
            case '}':
            case '\\':
            case '~':
            case '+':
            case '=':
            case '>':
                break;
            default:
                CheckText(text);
                break;
        }
    }

    // Every "{" needs a "}" after it, every "{:NAME" a "}:NAME"; without one
    // the rest of the script is skipped.
    // A jump back to a label with nothing between that could wait (only
    // labels, comments and assignments) loops for ever without the player
    // seeing anything: the engine cuts such passes short, but the game stalls.
    void CheckLoopsWithoutWait(const CheckScript& s) {
        for (size_t j = 0; j < s.lines.size(); ++j) {
            const std::string& line = s.lines[j];
            if (line.size() < 2 || (line[0] != '*' && line[0] != '@') || FindCommand(line.c_str()) != kCmdGo) continue;
            const std::string target = Upper(CommandArgs(kCmdGo, line.c_str()));
            for (size_t i = j; i-- > 0;) {
                const std::string& l = s.lines[i];
                if (!l.empty() && l[0] == ':' && Upper(l.substr(1)) == target) {
                    Add({s.file, static_cast<int>(j) + 1, false,
                         "go " + Shown(target) + ": loops back to line " + std::to_string(i + 1) +
                             " with nothing that waits: the game stalls there"});
                    break;
                }
                if (!PassesWithoutWait(l)) break;
            }
        }
    }
    static bool PassesWithoutWait(const std::string& l) {
        if (l.empty() || l[0] == ':' || l[0] == ';' || l[0] == '!') return true;
        if (l[0] != '*' && l[0] != '@') return false;
        const int cmd = FindCommand(l.c_str());
        return cmd == kCmdCalc || cmd == kCmdString;
    }

    void CheckBlocks(const CheckScript& s) {
        const size_t n = s.lines.size();
        size_t lastClose = std::string::npos;
        for (size_t i = n; i-- > 0;)
            if (!s.lines[i].empty() && s.lines[i][0] == '}') {
                lastClose = i;
                break;
            }
        bool open = false;
        for (size_t i = 0; i < n; ++i) {
            const std::string& l = s.lines[i];
            line_ = static_cast<int>(i) + 1;
            if (l.empty()) continue;
            if (l[0] == '{' && l.size() > 1 && l[1] == ':') {
                const std::string name =
                    Upper(l.substr(2, l.find('(') == std::string::npos ? std::string::npos : l.find('(') - 2));
                bool found = false;
                for (size_t k = i + 1; k < n && !found; ++k) found = Upper(s.lines[k]) == "}:" + name;
                if (!found) Error("block \"{:" + Shown(name) + "\" has no end \"}:" + Shown(name) + "\" after it");
            } else if (l[0] == '{') {
                if (lastClose == std::string::npos || lastClose < i)
                    Error("block \"{\" has no \"}\" line after it: the rest of the script is skipped");
                open = true;
            } else if (l[0] == '}' && !(l.size() > 1 && l[1] == ':')) {
                if (!open) Warning("\"}\" without a \"{\" line before it");
                open = false;
            }
        }
    }

    // The engine's own reader, one line at a time, so each finding has its line.
    void CheckConfig(const CheckScript& s) {
        char* buffer = nullptr;
        size_t size = 0;
        std::FILE* sink = open_memstream(&buffer, &size);
        if (!sink) return;
        SetTraceSink(sink);
        for (size_t i = 0; i < s.lines.size(); ++i) {
            if (s.lines[i] == "END") break;
            std::string one = s.lines[i] + '\0';
            ConfigValues scratch;
            std::fseek(sink, 0, SEEK_SET);
            const long before = std::ftell(sink);
            ParseConfigBlock(one.data(), static_cast<int32_t>(one.size()), scratch);
            std::fflush(sink);
            const long after = std::ftell(sink);
            if (after > before) {
                std::string msg(buffer + before, static_cast<size_t>(after - before));
                while (!msg.empty() && msg.back() == '\n') msg.pop_back();
                if (msg.rfind("_config: ", 0) == 0) msg = msg.substr(9);
                Add({s.file, static_cast<int>(i) + 1, false, msg});
            }
        }
        SetTraceSink(nullptr);
        std::fclose(sink);
        std::free(buffer);
    }

    const GameContents& game_;
    std::map<std::string, size_t> byName_;
    std::map<std::string, std::set<std::string>> labels_;
    std::set<std::string> tables_;
    const CheckScript* script_ = nullptr;
    int line_ = 0;
    CheckReport report_;
};

}  // namespace

bool ReadGameContents(const std::string& dir, GameContents& game, std::string& why) {
    if (!IsDirectory(dir)) {
        why = dir + ": no such folder";
        return false;
    }
    if (IsDirectory(dir + "/scripts")) {
        ReadSourceGame(dir, game);
        return true;
    }
    return ReadPackedGame(dir, game, why);
}

CheckReport CheckGame(const GameContents& game) { return Checker(game).Run(); }

std::set<std::string> TableScripts(const GameContents& game) {
    std::set<std::string> tables = {"MAP", "EFFECT", "VIEW", "SYS_FLASHBAK", "SROLL", "ENDROLL", "SELTREE"};
    for (const CheckScript& s : game.scripts) {
        // A roll script is a table of its own commands.
        for (const std::string& line : s.lines)
            if (line.size() > 1 && (line[0] == '*' || line[0] == '@') && FindCommand(line.c_str()) == kCmdRoll) {
                const char* args = CommandArgs(kCmdRoll, line.c_str());
                size_t n = 0;
                while (args[n] && args[n] != ' ') ++n;
                tables.insert(Upper(std::string(args, n)));
            }
    }
    return tables;
}

std::string FormatFinding(const CheckFinding& f) {
    std::string out = f.file;
    if (f.line > 0) out += ":" + std::to_string(f.line);
    if (!out.empty()) out += ": ";
    return out + (f.error ? "error: " : "warning: ") + f.text;
}

int RunCheck(const std::string& dir, std::FILE* out, std::FILE* err, bool layout) {
    const auto start = std::chrono::steady_clock::now();
    GameContents game;
    std::string why;
    if (!ReadGameContents(dir, game, why)) {
        std::fprintf(err, "velmora-check: %s\n", why.c_str());
        return 2;
    }
    CheckReport r = CheckGame(game);
    if (layout) {
        for (CheckFinding& f : CheckLayout(game)) {
            ++r.warnings;
            r.findings.push_back(std::move(f));
        }
        std::stable_sort(r.findings.begin(), r.findings.end(), [](const CheckFinding& a, const CheckFinding& b) {
            return a.file != b.file ? a.file < b.file : a.line < b.line;
        });
    }
    for (const CheckFinding& f : r.findings) std::fprintf(out, "%s\n", FormatFinding(f).c_str());
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    std::fprintf(out, "%s: %d error%s, %d warning%s in %d scripts (%ld lines), %.0f ms\n", dir.c_str(), r.errors,
                 r.errors == 1 ? "" : "s", r.warnings, r.warnings == 1 ? "" : "s", r.scripts, r.lines, ms);
    return r.errors > 0 ? 1 : 0;
}

}  // namespace velmora::tools
