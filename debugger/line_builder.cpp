#include "debugger/line_builder.h"

namespace korl {

void LineBuilder::Clear() {
    line_.clear();
    column_ = 0;
}

void LineBuilder::Append(char c) {
    if (c == '\t') {
        std::size_t fill = 8 - column_ % 8;
        column_ += fill;
        if (line_.size() + fill <= limit_) line_.append(fill, ' ');
        return;
    }
    ++column_;
    if (line_.size() < limit_) line_ += c;
}

void LineBuilder::Feed(std::string_view bytes, const std::function<void(std::string_view)>& onLine) {
    for (char c : bytes) {
        if (c == '\r') continue;
        if (c == '\n') {
            line_ += "\r\n";
            onLine(line_);
            Clear();
            continue;
        }
        Append(c);
    }
}

std::string ConsoleStream::Feed(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + 16);
    for (char c : bytes) {
        if (c == '\r') continue;
        if (c == '\n') {
            out += "\r\n";
            column_ = 0;
        } else if (c == '\t') {
            std::size_t fill = 8 - column_ % 8;
            out.append(fill, ' ');
            column_ += fill;
        } else {
            out += c;
            ++column_;
        }
    }
    return out;
}

} // namespace korl
