#include "project/classify.h"

namespace korl {

namespace {

bool Contains(std::string_view s, std::string_view what) { return s.find(what) != std::string_view::npos; }

std::string Shown(std::string_view text) {
    std::string s(text);
    s += "\r\n";
    return s;
}

// Text before `phrase` less its last character, " error: " + phrase, then the
// rest of the line.
std::string RewriteWithError(std::string_view line, std::string_view phrase) {
    std::size_t at = line.find(phrase);
    std::string_view before = line.substr(0, at);
    if (!before.empty()) before.remove_suffix(1);
    std::string s(before);
    s += " error: ";
    s += phrase;
    s += line.substr(at + phrase.size());
    s += "\r\n";
    return s;
}

// Position and line of the file for "No such file or directory": the text up
// to the first blank, less the character before the blank, kept up to and
// including its last colon. Without such a colon (a tool's own name, as in
// "cc1plus: fatal error: ..."), the first word is kept whole.
std::string MissingFilePrefix(std::string_view line) {
    std::size_t blank = line.find(' ');
    std::string_view word = line.substr(0, blank); // npos: the whole line
    std::string_view cut = word;
    if (!cut.empty()) cut.remove_suffix(1);
    std::size_t colon = cut.rfind(':');
    if (colon != std::string_view::npos) return std::string(cut.substr(0, colon + 1));
    return std::string(word);
}

// The source path of a compile command make echoed: the last double-quoted
// word of the line, with the shell's escapes inside it undone.
bool LastQuotedWord(std::string_view line, std::string* word) {
    if (line.empty() || line.back() != '"') return false;
    bool inQuotes = false, found = false;
    std::string current;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (!inQuotes) {
            if (c == '"') {
                inQuotes = true;
                current.clear();
            }
            continue;
        }
        if (c == '\\' && i + 1 < line.size() &&
            std::string_view("\\\"$`").find(line[i + 1]) != std::string_view::npos) {
            current += line[++i];
        } else if (c == '"') {
            inQuotes = false;
            found = i + 1 == line.size();
        } else {
            current += c;
        }
    }
    if (found) *word = current;
    return found;
}

// The first word of the line is a tool naming itself ("g++:", "/usr/bin/ld:").
bool SaidBy(std::string_view line, std::string_view tool) {
    std::size_t colon = line.find(": ");
    if (colon == std::string_view::npos) return false;
    std::string_view word = line.substr(0, colon);
    if (word.find(' ') != std::string_view::npos) return false;
    if (word.size() < tool.size() || word.substr(word.size() - tool.size()) != tool) return false;
    return word.size() == tool.size() || word[word.size() - tool.size() - 1] == '/' ||
           word[word.size() - tool.size() - 1] == '-';
}

} // namespace

bool IsMakeLine(std::string_view line, std::string_view makeName) {
    if (makeName.empty() || line.substr(0, makeName.size()) != makeName) return false;
    std::string_view rest = line.substr(makeName.size());
    if (!rest.empty() && rest[0] == ':') return true;
    if (rest.empty() || rest[0] != '[') return false;
    std::size_t i = 1;
    while (i < rest.size() && rest[i] >= '0' && rest[i] <= '9') ++i;
    return i > 1 && rest.substr(i, 2) == "]:";
}

bool IsSourceExcerptLine(std::string_view line) {
    std::size_t i = 0;
    while (i < line.size() && line[i] == ' ') ++i;
    if (i == 0) return false;
    if (line.substr(i, 3) == "+++") {
        i += 3;
    } else {
        while (i < line.size() && line[i] >= '0' && line[i] <= '9') ++i;
    }
    if (line.substr(i, 2) != " |") return false;
    i += 2;
    return i == line.size() || line[i] == ' ' || line[i] == '+';
}

ClassifiedLine ClassifyBuildLine(std::string_view line, const BuildLineContext& context) {
    ClassifiedLine r;
    if (IsSourceExcerptLine(line)) {
        r.shown = Shown(line);
        return r;
    }
    // The compiler driver speaking for itself ("g++: error: x.o: No such
    // file or directory"): shown whole and counted.
    const bool driver = SaidBy(line, "g++") || SaidBy(line, "cc1plus");
    if (Contains(line, "g++") && !driver) {
        if (Contains(line, "c++filt")) {
            r.shown = "Linking...\r\n";
            return r;
        }
        // A compile command echoed by make ends in the quoted source path.
        std::string source;
        std::string_view body = line.substr(0, line.empty() ? 0 : line.size() - 1);
        std::size_t quote = body.rfind('"');
        if (LastQuotedWord(line, &source)) {
            r.shown = "Compiling...\r\n" + Shown(source);
        } else if (quote == std::string_view::npos) {
            r.shown = Shown(line);
        } else {
            r.shown = "Compiling...\r\n";
            r.shown += Shown(body.substr(quote + 1));
        }
        return r;
    }
    if (driver) {
        if (Contains(line, "error:")) r.errors = 1;
        if (Contains(line, "warning:")) r.warnings = 1;
        r.shown = Shown(line);
        return r;
    }
    // make giving up ("No rule to make target ...", "missing separator"):
    // nothing else reports it.
    const bool makeLine = IsMakeLine(line, context.makeName);
    if (Contains(line, "*** ") &&
        (Contains(line, "No rule to make target") || (!makeLine && line.ends_with("Stop.")))) {
        r.errors = 1;
        r.shown = Shown(line);
        return r;
    }
    if (makeLine) {
        if (Contains(line, "up to date")) r.shown = Shown(context.targetName + " is up to date.");
        return r;
    }
    if (Contains(line, "collect2:")) return r;
    if (Contains(line, "undefined reference to")) {
        r.errors = 1;
        r.shown = Shown(line);
        return r;
    }
    if (Contains(line, "ld: cannot open output file") && Contains(line, "Permission denied")) {
        r.errors = 1;
        r.shown =
            Shown("fatal error: cannot open " + context.projectTitle + context.exeSuffix + " for writing");
        return r;
    }
    // The linker names the file or library it could not find; keep the name.
    if (SaidBy(line, "ld") &&
        (Contains(line, "cannot find") || Contains(line, "cannot open") || Contains(line, "No such file"))) {
        r.errors = 1;
        r.shown = Shown(line);
        return r;
    }
    if (Contains(line, "multiple definition of")) {
        r.errors = 1;
        r.shown = Shown(line);
        return r;
    }
    if (Contains(line, "No such file or directory")) {
        r.errors = 1;
        r.shown = Shown(MissingFilePrefix(line) + " error: No such file or directory");
        return r;
    }
    for (std::string_view phrase : {"no match for call to", "parse error", "syntax error", "#error"}) {
        if (Contains(line, phrase)) {
            r.errors = 1;
            r.shown = RewriteWithError(line, phrase);
            return r;
        }
    }
    if (Contains(line, "error:")) r.errors = 1;
    if (Contains(line, "warning:")) r.warnings = 1;
    r.shown = Shown(line);
    return r;
}

} // namespace korl
