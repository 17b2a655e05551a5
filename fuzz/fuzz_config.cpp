// The configuration block and the table field readers on decoded lines.
#include <string>

#include "data/config.h"
#include "script/loader.h"

using namespace velmora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string table(reinterpret_cast<const char*>(data), size);
    ConfigValues config;
    ParseConfigBlock(table.data(), static_cast<int32_t>(table.size()), config);
    int32_t pos = 0;
    for (int n = 0; n < 64 && pos < static_cast<int32_t>(table.size()); ++n) {
        const std::string line = ReadTableLine(table.data(), static_cast<int32_t>(table.size()), pos);
        std::string fields[16];
        SplitTableFields(line, fields, 16);
        TableField(line, n % 8);
        ParseColourText(line.substr(0, 3));
    }
    return 0;
}
