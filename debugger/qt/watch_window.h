// An Examine pane: a two-column list of watch expressions and their values.
// The rows live in a WatchList; the tree only shows them.
#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>

#include "debugger/watch_list.h"

class QTreeWidget;
class QTreeWidgetItem;

namespace korl {
class Korl_GdbSession;
}

class Korl_WatchWindow : public QWidget {
    Q_OBJECT
public:
    explicit Korl_WatchWindow(QWidget* parent = nullptr);

    QTreeWidget* Tree() const { return tree_; }
    const korl::WatchList& List() const { return list_; }

    // The session values come from; nullptr between runs.
    void SetSession(korl::Korl_GdbSession* session) { session_ = session; }
    // Re-evaluates every row (all values empty without a session).
    void RefreshAll();
    void EvaluateRow(int index);
    // What a finished label edit does: new row, deletion or evaluation.
    void EndEdit(int index, const QString& text);
    void DeleteSelectedRow();
    void EditRow(int index);

Q_SIGNALS:
    // A value arrived (tests wait on it).
    void valueShown(int row);

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void Rebuild();
    void ShowValue(int id);
    int SelectedRow() const;

    QTreeWidget* tree_;
    korl::WatchList list_;
    korl::Korl_GdbSession* session_ = nullptr;
    int editingRow_ = -1;
};
