// Turns gdb's output bytes into lines, and the program's console bytes into
// console text, by the same rules: CR dropped, a tab filled with blanks up
// to the next multiple of 8, LF ends the line as "\r\n".
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace korl {

class LineBuilder {
public:
    // Longest line kept; the rest of a longer line is dropped up to its LF.
    static constexpr std::size_t kDefaultLimit = 4 * 1024 * 1024;

    explicit LineBuilder(std::size_t limit = kDefaultLimit) : limit_(limit) {}

    // Calls `onLine` with each completed line (ending in "\r\n").
    void Feed(std::string_view bytes, const std::function<void(std::string_view)>& onLine);

    // Bytes of the unfinished last line (gdb closed its output without LF).
    const std::string& Pending() const { return line_; }
    void Clear();

private:
    void Append(char c);

    std::size_t limit_;
    std::string line_;
    std::size_t column_ = 0;
};

// The program's console stream: text is handed on as it arrives so that a
// prompt without a line end shows before the program waits for input.
class ConsoleStream {
public:
    std::string Feed(std::string_view bytes);

private:
    std::size_t column_ = 0;
};

} // namespace korl
