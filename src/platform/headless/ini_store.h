#pragma once
// The headless settings store: one INI file (or memory) holding every key
// path, a group per (key path, section) named "Key/Path/Section".
#include <string>
#include <vector>

#include "platform/platform.h"

namespace velmora::platform {

class IniSettingsStore : public SettingsStore {
public:
    // path empty: in memory only. A missing file is created at the first write
    // that changes a value.
    explicit IniSettingsStore(std::string path = std::string());
    // False when the file exists but cannot be read.
    bool Load(std::string* error = nullptr);

    int32_t ReadInteger(const std::string& keyPath, const std::string& section, const std::string& name,
                        int32_t fallback) override;
    std::string ReadString(const std::string& keyPath, const std::string& section, const std::string& name,
                           const std::string& fallback) override;
    void WriteInteger(const std::string& keyPath, const std::string& section, const std::string& name,
                      int32_t value) override;
    void WriteString(const std::string& keyPath, const std::string& section, const std::string& name,
                     const std::string& value) override;
    std::vector<std::string> ValueNames(const std::string& keyPath, const std::string& section) override;

    // The whole store as the file holds it, and the store from such a text
    // (replacing what it held; nothing is written).
    std::string Text() const;
    void LoadText(const std::string& text);
    // The names of the groups, in the store's order.
    std::vector<std::string> GroupNames() const;

    // The group name of (key path, section): backslashes become slashes.
    static std::string GroupName(const std::string& keyPath, const std::string& section);
    // Raw access (UTF-8 values), for tests and tools.
    const std::string* Find(const std::string& group, const std::string& name) const;
    void Set(const std::string& group, const std::string& name, const std::string& utf8Value);

protected:
    void Flush() override;

private:
    struct Value {
        std::string name;
        std::string text;  // UTF-8
    };
    struct Group {
        std::string name;
        std::vector<Value> values;
    };
    void Save();

    std::string path_;
    std::vector<Group> groups_;
    bool dirty_ = false;
};

}  // namespace velmora::platform
