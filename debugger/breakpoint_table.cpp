#include "debugger/breakpoint_table.h"

#include "debugger/gdb_session.h"

#include <algorithm>

namespace korl {

struct BreakpointTable::Entry {
    BreakpointRecord record;
    // read when a deletion is sent, which may be queued behind the insertion
    std::shared_ptr<int> number = std::make_shared<int>(0);
};

struct BreakpointTable::Shared {
    MovedFn moved;
};

BreakpointTable::BreakpointTable() : shared_(std::make_shared<Shared>()) {}
BreakpointTable::~BreakpointTable() = default;

void BreakpointTable::SetMovedCallback(MovedFn moved) { shared_->moved = std::move(moved); }

void BreakpointTable::SetSession(Korl_GdbSession* session) {
    session_ = session;
    if (!session)
        for (auto& e : entries_) *e->number = e->record.number = 0;
}

void BreakpointTable::Insert(const std::shared_ptr<Entry>& entry) {
    if (!session_) return;
    std::weak_ptr<Entry> weak = entry;
    std::weak_ptr<Shared> shared = shared_;
    session_->InsertBreakpoint(entry->record.file, entry->record.line, [weak, shared](int number, int line) {
        auto e = weak.lock();
        if (!e) return;
        *e->number = e->record.number = number;
        if (number > 0 && line > 0 && line != e->record.line) {
            int old = e->record.line;
            e->record.line = line;
            auto s = shared.lock();
            if (s && s->moved) s->moved(e->record.file, old, line);
        }
    });
}

void BreakpointTable::InsertAll() {
    for (auto& e : entries_) Insert(e);
}

void BreakpointTable::AddBreakpoint(std::string_view file, int line) {
    if (Has(file, line)) {
        RemoveBreakpoint(file, line);
        return;
    }
    auto entry = std::make_shared<Entry>();
    entry->record = {std::string(file), line, 0};
    entries_.push_back(entry);
    Insert(entry);
}

void BreakpointTable::RemoveBreakpoint(std::string_view file, int line) {
    auto it = std::find_if(entries_.begin(), entries_.end(),
                           [&](const auto& e) { return e->record.file == file && e->record.line == line; });
    if (it == entries_.end()) return;
    if (session_) session_->DeleteBreakpoint(std::shared_ptr<const int>((*it)->number));
    entries_.erase(it);
}

void BreakpointTable::Clear() { entries_.clear(); }

bool BreakpointTable::Has(std::string_view file, int line) const {
    return std::any_of(entries_.begin(), entries_.end(),
                       [&](const auto& e) { return e->record.file == file && e->record.line == line; });
}

std::vector<BreakpointRecord> BreakpointTable::Records() const {
    std::vector<BreakpointRecord> out;
    for (auto& e : entries_) out.push_back(e->record);
    return out;
}

std::vector<int> BreakpointTable::LinesOf(std::string_view file) const {
    std::vector<int> out;
    for (auto& e : entries_)
        if (e->record.file == file) out.push_back(e->record.line);
    return out;
}

bool StartDebugging(Korl_GdbSession& session, BreakpointTable& table, const GdbStartOptions& options,
                    std::string* error) {
    if (!session.Start(options, error)) {
        table.SetSession(nullptr);
        return false;
    }
    table.SetSession(&session);
    table.InsertAll();
    session.Run();
    return true;
}

} // namespace korl
