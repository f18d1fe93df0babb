// The breakpoint table: file and line pairs in the order they were set,
// each with gdb's number while a session exists.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace korl {

class Korl_GdbSession;

struct BreakpointRecord {
    std::string file; // the editor's full path text
    int line = 0;     // 1-based
    int number = 0;   // gdb's number, 0 while none (or after a refusal)
};

class BreakpointTable {
public:
    // The editor's mark moves with the line gdb chose (a blank line moves down).
    using MovedFn = std::function<void(const std::string& file, int oldLine, int newLine)>;

    BreakpointTable();
    ~BreakpointTable();

    void SetMovedCallback(MovedFn moved);
    // The current session, or nullptr; the table must not outlive requests
    // it made unless the session is detached first.
    void SetSession(Korl_GdbSession* session);
    // At the start of a session: every record is inserted, in table order.
    void InsertAll();
    // Toggle: an existing file/line pair is removed, else a record is added
    // (and inserted while a session exists).
    void AddBreakpoint(std::string_view file, int line);
    // Removes the first record of that file and line (deleted in gdb first).
    void RemoveBreakpoint(std::string_view file, int line);
    bool Has(std::string_view file, int line) const;
    // Forgets every record (a project closed); no session may be attached.
    void Clear();
    std::vector<BreakpointRecord> Records() const;
    // Records of one file (exact path comparison), for the editor's marks.
    std::vector<int> LinesOf(std::string_view file) const;

private:
    struct Entry;
    struct Shared;
    void Insert(const std::shared_ptr<Entry>& entry);

    std::vector<std::shared_ptr<Entry>> entries_;
    std::shared_ptr<Shared> shared_;
    Korl_GdbSession* session_ = nullptr;
};

struct GdbStartOptions;

// Start Debugging after a successful debug build: starts gdb, inserts every
// breakpoint of the table in its order, runs the program. False (with the
// message in `error`) when gdb could not be started; the table then stays
// without a session.
bool StartDebugging(Korl_GdbSession& session, BreakpointTable& table, const GdbStartOptions& options,
                    std::string* error = nullptr);

} // namespace korl
