#pragma once
// Fixed-size text buffers of the scanner, and the declaration accumulator
// that module members, class members and sc_main statements share.
#include <string>

namespace scparse {

// Fixed-size text of at most Size-1 characters; longer text is cut.
template <int Size>
struct FixedText {
    char s[Size] = {};
    int n = 0;

    void clear() { n = 0, s[0] = '\0'; }
    void set(const char* text, int len) { clear(), append(text, len); }
    void set(const char* text) { set(text, static_cast<int>(std::char_traits<char>::length(text))); }
    void append(const char* text, int len) {
        int room = Size - 1 - n;
        if (len > room) len = room;
        if (len > 0) std::char_traits<char>::copy(s + n, text, static_cast<size_t>(len));
        n += len > 0 ? len : 0;
        s[n] = '\0';
    }
    void append(char c) {
        if (n < Size - 1) s[n++] = c, s[n] = '\0';
    }
    bool empty() const { return n == 0; }
    bool equals(const char* text) const {
        const size_t len = std::char_traits<char>::length(text);
        return len == static_cast<size_t>(n) && std::char_traits<char>::compare(s, text, len) == 0;
    }
    std::string str() const { return std::string(s, static_cast<size_t>(n)); }
};

using Text250 = FixedText<250>;

// The words of one declaration as they arrive ("sc_uint<8> * a [ 4 ]"):
// the text collects type and name, split() parts them at the last space.
struct Declaration {
    Text250 text;
    Text250 name;
    Text250 arraySize;
    bool pointer = false;
    bool array = false;

    void start(const char* word, int len) { clear(), text.set(word, len); }
    void word(const char* w, int len) {
        // "std::string" stays one word.
        if (!(text.n >= 2 && text.s[text.n - 1] == ':' && text.s[text.n - 2] == ':')) text.append(' ');
        text.append(w, len);
    }
    // The name after the last space; the text keeps the type. False (and
    // nothing changed) when the text is a single word.
    bool split() {
        int at = text.n - 1;
        while (at >= 0 && text.s[at] != ' ') --at;
        if (at < 0) return false;
        name.set(text.s + at + 1, text.n - at - 1);
        text.s[at] = '\0';
        text.n = at;
        return true;
    }
    // split(), or the whole text as the name and an empty type.
    void splitOrName() {
        if (split()) return;
        name.set(text.s, text.n);
        text.clear();
    }
    // After one declarator of a comma list: the type stays for the next.
    void nextDeclarator() {
        name.clear();
        arraySize.clear();
        array = false;
    }
    void clear() {
        text.clear();
        nextDeclarator();
        pointer = false;
    }
};

} // namespace scparse
