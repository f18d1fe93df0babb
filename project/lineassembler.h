#pragma once
// Turns the byte stream of a child process into lines: carriage returns are
// dropped, a tab becomes blanks up to the next multiple of eight columns, a
// line feed ends a line. A last line without line feed is never delivered.
//
// Lines are bounded: a line that grows past maxLength bytes is cut there and
// the rest of it, up to its line feed, is discarded, so one tool message stays
// one line (a split piece would be classified and counted on its own).
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace korl {

class LineAssembler {
public:
    static constexpr std::size_t kDefaultMaxLength = 8192;

    explicit LineAssembler(std::size_t maxLength = kDefaultMaxLength);

    // Feeds bytes; complete lines are appended to `out`.
    void feed(std::string_view bytes, std::vector<std::string>& out);
    std::vector<std::string> feed(std::string_view bytes);

    // The partial line is thrown away (the child has ended).
    void reset();

    std::size_t maxLength() const { return maxLength_; }
    // Bytes of the line still waiting for its line feed.
    std::size_t pendingLength() const { return line_.size(); }

private:
    std::size_t maxLength_;
    std::string line_;
    bool overflowed_ = false; // the current line has been cut
};

} // namespace korl
