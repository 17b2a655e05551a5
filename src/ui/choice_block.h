#pragma once
// The option block after a select or clickmap line: "{" option lines up to
// the first "}" line.
#include <cstdint>

namespace velmora {

class TForm1;

// Walks the option lines of the block that starts at `pos`.
struct OptionBlockReader {
    int32_t pos = 0;
    int32_t blockEnd = -1;  // set once the "}" line is reached
};

// The next option line: its start (at the "{") in the script buffer. False
// at the block's end, which is then in reader.blockEnd.
bool NextOptionLine(TForm1& f, OptionBlockReader& reader, int32_t& lineStart);
// The start of the line after the one at pos.
int32_t NextLineAfter(const TForm1& f, int32_t pos);
// The block's end without reading the options.
int32_t FindBlockEnd(TForm1& f, int32_t pos);

// One option line taken apart: the condition (when present) evaluated, the
// text after it at `rest` (a buffer offset).
struct OptionLine {
    bool condition = true;
    int32_t rest = 0;
};
OptionLine ParseOptionLine(TForm1& f, int32_t lineStart);

// Continues the script at option `k`'s resume position (the end of a pick).
void ContinueAtOption(TForm1& f, int k);

}  // namespace velmora
