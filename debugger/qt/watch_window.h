// An Examine pane: watch expressions and their values as a tree (arrays,
// structs and classes expand into their members). The rows live in a
// WatchList; the tree shows them and their members.
#pragma once

#include <QHash>
#include <QPointer>
#include <QSet>
#include <QWidget>
#include <functional>

#include "debugger/value_tree.h"
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
    // At a stop: re-evaluates every row, marking values that changed since
    // the last stop (all values empty without a session).
    void RefreshAll();
    void EvaluateRow(int index);
    // What a finished label edit does: new row, deletion or evaluation.
    void EndEdit(int index, const QString& text);
    void DeleteSelectedRow();
    void EditRow(int index);
    // The watch expressions (without the empty last row), to keep with the project.
    QStringList Labels() const;
    void SetLabels(const QStringList& labels);
    // A value differs from the one shown at the previous stop.
    bool Changed(const QTreeWidgetItem* item) const;

Q_SIGNALS:
    // A value arrived (tests wait on it).
    void valueShown(int row);
    // Rows were added, renamed or deleted.
    void labelsChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void Rebuild();
    void ShowValue(int id, const korl::WatchValue* tree);
    void FillChildren(QTreeWidgetItem* item, const korl::WatchValue& value);
    void SetItemValue(QTreeWidgetItem* item, const QString& expression, const QString& value);
    void LoadMore(QTreeWidgetItem* moreItem);
    int SelectedRow() const;
    bool EditorOpen() const;
    int TopIndex(const QTreeWidgetItem* item) const;

    QTreeWidget* tree_;
    korl::WatchList list_;
    korl::Korl_GdbSession* session_ = nullptr;
    bool rebuilding_ = false;
    // values by expression, as shown now and at the previous stop
    QHash<QString, QString> shown_, previous_;
    QSet<QString> expanded_;
};
