#include "platform/headless/ini_store.h"

#include <strings.h>

#include <cerrno>
#include <cstdlib>

#include "app/trace.h"
#include "data/encoding.h"
#include "data/file_io.h"

namespace velmora::platform {

namespace {

// Room for every value at its longest many times over.
constexpr size_t kSettingsFileLimit = 16u << 20;

bool SameName(const std::string& a, const std::string& b) { return ::strcasecmp(a.c_str(), b.c_str()) == 0; }

std::string Trim(const std::string& s) {
    size_t a = s.find_first_not_of(" \t\r");
    if (a == std::string::npos) return std::string();
    size_t b = s.find_last_not_of(" \t\r");
    return s.substr(a, b - a + 1);
}

}  // namespace

IniSettingsStore::IniSettingsStore(std::string path) : path_(std::move(path)) {}

std::string IniSettingsStore::GroupName(const std::string& keyPath, const std::string& section) {
    std::string g = ToUtf8(keyPath);
    for (char& c : g)
        if (c == '\\') c = '/';
    while (!g.empty() && g.back() == '/') g.pop_back();
    return g + "/" + ToUtf8(section);
}

bool IniSettingsStore::Load(std::string* error) {
    groups_.clear();
    if (path_.empty()) return true;
    {
        // Writes of a run that was killed leave their temporary files beside the store.
        const size_t slash = path_.rfind('/');
        RemoveStaleTemporaries(slash == std::string::npos ? "." : path_.substr(0, slash),
                               slash == std::string::npos ? path_ : path_.substr(slash + 1));
    }
    if (!IsRegularFile(path_)) return true;
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(path_, bytes, kSettingsFileLimit)) {
        if (error) *error = "cannot read " + path_ + " (not a regular file?)";
        return false;
    }
    if (bytes.size() > kSettingsFileLimit) {
        if (error) *error = path_ + " is larger than a settings file can be (" + std::to_string(kSettingsFileLimit) + " bytes)";
        return false;
    }
    LoadText(std::string(bytes.begin(), bytes.end()));
    return true;
}

void IniSettingsStore::LoadText(const std::string& text) {
    groups_.clear();
    Group* current = nullptr;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t nl = text.find('\n', pos);
        std::string line = Trim(text.substr(pos, nl == std::string::npos ? std::string::npos : nl - pos));
        pos = nl == std::string::npos ? text.size() : nl + 1;
        if (line.empty() || line[0] == ';' || line[0] == '#') continue;
        if (line.front() == '[' && line.back() == ']') {
            groups_.push_back(Group{line.substr(1, line.size() - 2), {}});
            current = &groups_.back();
            continue;
        }
        size_t eq = line.find('=');
        if (!current || eq == std::string::npos) continue;
        current->values.push_back(Value{Trim(line.substr(0, eq)), Trim(line.substr(eq + 1))});
    }
}

std::vector<std::string> IniSettingsStore::ValueNames(const std::string& keyPath, const std::string& section) {
    std::vector<std::string> names;
    const std::string group = GroupName(keyPath, section);
    for (const Group& g : groups_)
        if (SameName(g.name, group))
            for (const Value& v : g.values) names.push_back(ToCp932(v.name));
    return names;
}

const std::string* IniSettingsStore::Find(const std::string& group, const std::string& name) const {
    for (const Group& g : groups_)
        if (SameName(g.name, group))
            for (const Value& v : g.values)
                if (SameName(v.name, name)) return &v.text;
    return nullptr;
}

void IniSettingsStore::Set(const std::string& group, const std::string& name, const std::string& utf8Value) {
    Group* target = nullptr;
    for (Group& g : groups_)
        if (SameName(g.name, group)) target = &g;
    if (!target) {
        groups_.push_back(Group{group, {}});
        target = &groups_.back();
    }
    Value* value = nullptr;
    for (Value& v : target->values)
        if (SameName(v.name, name)) value = &v;
    if (value && value->text == utf8Value) return;
    if (value)
        value->text = utf8Value;
    else
        target->values.push_back(Value{name, utf8Value});
    dirty_ = true;
    if (!Batching()) Flush();
}

void IniSettingsStore::Flush() {
    if (!dirty_) return;
    dirty_ = false;
    Save();
}

int32_t IniSettingsStore::ReadInteger(const std::string& keyPath, const std::string& section,
                                      const std::string& name, int32_t fallback) {
    const std::string* v = Find(GroupName(keyPath, section), name);
    if (!v) return fallback;
    char* end = nullptr;
    errno = 0;
    long long n = std::strtoll(v->c_str(), &end, 10);
    if (end == v->c_str() || *end != '\0' || errno != 0 || n < INT32_MIN || n > INT32_MAX) {
        Trace("settings: %s value \"%s\" is not an integer; default used", name.c_str(), v->c_str());
        return fallback;
    }
    return static_cast<int32_t>(n);
}

std::string IniSettingsStore::ReadString(const std::string& keyPath, const std::string& section,
                                         const std::string& name, const std::string& fallback) {
    const std::string* v = Find(GroupName(keyPath, section), name);
    return v ? ToCp932(*v) : fallback;
}

void IniSettingsStore::WriteInteger(const std::string& keyPath, const std::string& section,
                                    const std::string& name, int32_t value) {
    Set(GroupName(keyPath, section), name, std::to_string(value));
}

void IniSettingsStore::WriteString(const std::string& keyPath, const std::string& section,
                                   const std::string& name, const std::string& value) {
    Set(GroupName(keyPath, section), name, ToUtf8(value));
}

std::vector<std::string> IniSettingsStore::GroupNames() const {
    std::vector<std::string> names;
    for (const Group& g : groups_) names.push_back(g.name);
    return names;
}

std::string IniSettingsStore::Text() const {
    std::string out;
    for (const Group& g : groups_) {
        out += "[" + g.name + "]\n";
        for (const Value& v : g.values) out += v.name + "=" + v.text + "\n";
        out += "\n";
    }
    return out;
}

void IniSettingsStore::Save() {
    if (path_.empty()) return;
    const std::string out = Text();
    if (!WriteFileAtomic(path_, out.data(), out.size())) Trace("settings: cannot write %s", path_.c_str());
}

}  // namespace velmora::platform
