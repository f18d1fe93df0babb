#include "project/lineassembler.h"

namespace korl {

LineAssembler::LineAssembler(std::size_t maxLength) : maxLength_(maxLength == 0 ? 1 : maxLength) {}

void LineAssembler::feed(std::string_view bytes, std::vector<std::string>& out) {
    for (char c : bytes) {
        if (c == '\n') {
            out.push_back(std::move(line_));
            line_.clear();
            overflowed_ = false;
            continue;
        }
        if (c == '\r' || overflowed_) continue;
        if (c == '\t') {
            std::size_t blanks = 8 - line_.size() % 8;
            if (line_.size() + blanks > maxLength_) blanks = maxLength_ - line_.size();
            line_.append(blanks, ' ');
        } else {
            line_.push_back(c);
        }
        if (line_.size() >= maxLength_) overflowed_ = true;
    }
}

std::vector<std::string> LineAssembler::feed(std::string_view bytes) {
    std::vector<std::string> out;
    feed(bytes, out);
    return out;
}

void LineAssembler::reset() {
    line_.clear();
    line_.shrink_to_fit();
    overflowed_ = false;
}

} // namespace korl
