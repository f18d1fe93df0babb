#pragma once
// The Signals dialog: every row in a tree of check boxes, checked when the
// row is shown. Parents are tri-state and apply to their children; a filter
// box narrows the tree by name (a substring, or a regular expression after
// a leading "/").
#include <QDialog>

#include "waview/model.h"

class QLabel;
class QLineEdit;
class QTreeWidget;
class QTreeWidgetItem;

class Waview_SignalsDlg : public QDialog {
    Q_OBJECT
public:
    Waview_SignalsDlg(Waview_FileManager& doc, QWidget* parent);
    // Sets every row's visible flag from its box (a partly checked parent
    // stays shown); returns whether any row changed.
    bool Apply();
    // Shows the items whose name matches, with their ancestors and
    // descendants; an empty text shows all.
    void SetFilter(const QString& text);
    QTreeWidget* Tree() const { return tree_; }
    QLineEdit* FilterBox() const { return filter_; }

private:
    void Insert(QTreeWidgetItem* parent, int32_t row, int depth, bool shown);
    Waview_FileManager& doc_;
    QTreeWidget* tree_ = nullptr;
    QLineEdit* filter_ = nullptr;
    QLabel* filterError_ = nullptr;
};
