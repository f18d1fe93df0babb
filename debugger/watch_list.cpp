#include "debugger/watch_list.h"

#include "debugger/gdb_session.h"

namespace korl {

namespace {
constexpr std::size_t kMaxLabel = 255;
}

WatchList::WatchList() { rows_.push_back({nextId_++, {}, {}}); }

int WatchList::IndexOf(int id) const {
    for (std::size_t i = 0; i < rows_.size(); ++i)
        if (rows_[i].id == id) return int(i);
    return -1;
}

WatchList::EditOutcome WatchList::EndEdit(int index, std::string_view text) {
    if (index < 0 || std::size_t(index) >= rows_.size()) return EditOutcome::EvaluateRow;
    rows_[std::size_t(index)].label = std::string(text);
    bool last = std::size_t(index) + 1 == rows_.size();
    if (last && !text.empty()) rows_.push_back({nextId_++, {}, {}});
    if (text.empty() && rows_.size() > 1 && !last) return EditOutcome::DeleteRow;
    return EditOutcome::EvaluateRow;
}

void WatchList::DeleteRow(int index) {
    if (index >= 0 && std::size_t(index) < rows_.size()) rows_.erase(rows_.begin() + index);
}

void WatchList::SetValue(int id, std::string value) {
    int i = IndexOf(id);
    if (i >= 0) rows_[std::size_t(i)].value = std::move(value);
}

void WatchList::ClearValues() {
    for (auto& r : rows_) r.value.clear();
}

std::vector<int> WatchList::RefreshIds() const {
    std::vector<int> ids;
    for (std::size_t i = 0; i + 1 < rows_.size(); ++i) ids.push_back(rows_[i].id);
    return ids;
}

void WatchList::EvaluateRow(Korl_GdbSession& session, int index) {
    if (index < 0 || std::size_t(index) >= rows_.size()) return;
    int id = rows_[std::size_t(index)].id;
    std::string label = rows_[std::size_t(index)].label.substr(0, kMaxLabel);
    // the list may be gone when the answer comes: the caller keeps it alive
    // for the session's lifetime (both belong to the main window)
    session.EvaluateWatch(label, [this, id](const std::string& v) { SetValue(id, v); });
}

void WatchList::RefreshAll(Korl_GdbSession& session) {
    for (int id : RefreshIds()) EvaluateRow(session, IndexOf(id));
}

} // namespace korl
