// The rows of an Examine pane without the list view: labels, values and the
// rules for the end of a label edit. Rows have ids so that a value arriving
// after rows were edited or deleted lands on its own row or nowhere.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace korl {

class Korl_GdbSession;

class WatchList {
public:
    struct Row {
        int id;
        std::string label; // the expression (at most 255 characters are evaluated)
        std::string value;
    };
    enum class EditOutcome { EvaluateRow, DeleteRow };

    WatchList(); // one empty row for typing a new expression

    const std::vector<Row>& Rows() const { return rows_; }
    int IndexOf(int id) const; // -1 when gone

    // The typed text becomes the label; then: on the last row with text a new
    // empty row follows; a cancelled edit (no text) of any other row, with
    // more than one row, deletes it (the caller then refreshes all);
    // otherwise the row is evaluated.
    EditOutcome EndEdit(int index, std::string_view text);
    void DeleteRow(int index);

    void SetValue(int id, std::string value);
    // Without a session every value is empty.
    void ClearValues();
    // Ids of the rows a refresh evaluates: all but the last (empty) one.
    std::vector<int> RefreshIds() const;

    // Evaluates rows through the session; values land as they arrive.
    void EvaluateRow(Korl_GdbSession& session, int index);
    void RefreshAll(Korl_GdbSession& session);

private:
    std::vector<Row> rows_;
    int nextId_ = 1;
};

} // namespace korl
