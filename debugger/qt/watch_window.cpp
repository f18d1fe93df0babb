#include "debugger/qt/watch_window.h"

#include "base/qt/strings.h"

#include <QAbstractItemDelegate>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "debugger/gdb_session.h"

namespace {
// gdb is asked about the first 255 characters of a label at most.
constexpr int kMaxLabel = 255;

using korl::Q;
using korl::S;
} // namespace

Korl_WatchWindow::Korl_WatchWindow(QWidget* parent) : QWidget(parent), tree_(new QTreeWidget(this)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(tree_);
    tree_->setObjectName("WatchTree");
    tree_->setColumnCount(2);
    tree_->setHeaderLabels({"Name", "Value"});
    tree_->setColumnWidth(0, 300);
    tree_->setColumnWidth(1, 300);
    tree_->setRootIsDecorated(false);
    tree_->setSortingEnabled(false);
    tree_->header()->setSectionsClickable(false);
    tree_->setSelectionMode(QAbstractItemView::SingleSelection);
    tree_->setSelectionBehavior(QAbstractItemView::SelectRows);
    tree_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tree_->setUniformRowHeights(true);
    tree_->setStyleSheet(
        "QTreeWidget::item { border-right: 1px solid #d0d0d0; border-bottom: 1px solid #d0d0d0; }");
    tree_->installEventFilter(this);
    tree_->viewport()->installEventFilter(this);

    // The end of a label edit: Escape cancels (no text), anything else keeps
    // what was typed. Handled after the editor is gone, since it rebuilds rows.
    connect(tree_->itemDelegate(), &QAbstractItemDelegate::closeEditor, this,
            [this](QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
                auto* line = qobject_cast<QLineEdit*>(editor);
                const QString text =
                    (hint == QAbstractItemDelegate::RevertModelCache || !line) ? QString() : line->text();
                const int row = editingRow_;
                editingRow_ = -1;
                if (row < 0) return;
                QMetaObject::invokeMethod(
                    this, [this, row, text] { EndEdit(row, text); }, Qt::QueuedConnection);
            });
    Rebuild();
}

void Korl_WatchWindow::Rebuild() {
    const int selected = SelectedRow();
    tree_->clear();
    for (const auto& row : list_.Rows()) {
        auto* item = new QTreeWidgetItem(tree_, {Q(row.label), Q(row.value)});
        item->setFlags(item->flags() | Qt::ItemIsEditable);
    }
    const int count = tree_->topLevelItemCount();
    if (selected >= 0 && count > 0) tree_->setCurrentItem(tree_->topLevelItem(std::min(selected, count - 1)));
}

int Korl_WatchWindow::SelectedRow() const {
    QTreeWidgetItem* item = tree_->currentItem();
    return item ? tree_->indexOfTopLevelItem(item) : -1;
}

void Korl_WatchWindow::ShowValue(int id) {
    const int index = list_.IndexOf(id);
    if (index < 0) return;
    if (QTreeWidgetItem* item = tree_->topLevelItem(index)) item->setText(1, Q(list_.Rows()[index].value));
    emit valueShown(index);
}

void Korl_WatchWindow::EvaluateRow(int index) {
    if (index < 0 || index >= int(list_.Rows().size())) return;
    const auto& row = list_.Rows()[index];
    const int id = row.id;
    if (!session_ || session_->Ended()) {
        list_.SetValue(id, {});
        ShowValue(id);
        return;
    }
    const std::string label = row.label.substr(0, kMaxLabel);
    QPointer<Korl_WatchWindow> self(this);
    session_->EvaluateWatch(label, [self, id](const std::string& value) {
        if (!self) return;
        self->list_.SetValue(id, value);
        self->ShowValue(id);
    });
}

void Korl_WatchWindow::RefreshAll() {
    if (!session_ || session_->Ended()) {
        list_.ClearValues();
        for (int i = 0; i < tree_->topLevelItemCount(); ++i) tree_->topLevelItem(i)->setText(1, QString());
        return;
    }
    for (int id : list_.RefreshIds()) EvaluateRow(list_.IndexOf(id));
}

void Korl_WatchWindow::EndEdit(int index, const QString& text) {
    if (index < 0 || index >= int(list_.Rows().size())) return;
    const auto outcome = list_.EndEdit(index, S(text));
    if (outcome == korl::WatchList::EditOutcome::DeleteRow) {
        // The edited row is the selected one.
        list_.DeleteRow(index);
        Rebuild();
        RefreshAll();
        return;
    }
    Rebuild();
    EvaluateRow(index);
}

void Korl_WatchWindow::DeleteSelectedRow() {
    const int index = SelectedRow();
    if (index < 0) return;
    list_.DeleteRow(index);
    Rebuild();
    RefreshAll();
}

void Korl_WatchWindow::EditRow(int index) {
    QTreeWidgetItem* item = tree_->topLevelItem(index);
    if (!item) return;
    tree_->setCurrentItem(item);
    tree_->scrollToItem(item);
    editingRow_ = index;
    tree_->editItem(item, 0);
}

bool Korl_WatchWindow::eventFilter(QObject* watched, QEvent* e) {
    if (watched == tree_ && e->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(e);
        switch (key->key()) {
            case Qt::Key_Return:
            case Qt::Key_Enter:
                if (SelectedRow() >= 0) EditRow(SelectedRow());
                return true;
            case Qt::Key_Delete:
                DeleteSelectedRow();
                return true;
            case Qt::Key_Home:
            case Qt::Key_End:
            case Qt::Key_Up:
            case Qt::Key_Down:
            case Qt::Key_Tab:
            case Qt::Key_Backtab:
                return false;
            default:
                return true; // the list is edited through its labels only
        }
    }
    if (watched == tree_->viewport() &&
        (e->type() == QEvent::MouseButtonPress || e->type() == QEvent::MouseButtonDblClick)) {
        auto* mouse = static_cast<QMouseEvent*>(e);
        if (mouse->button() != Qt::LeftButton) return false;
        QTreeWidgetItem* item = tree_->itemAt(mouse->position().toPoint());
        if (!item) return true;
        const int index = tree_->indexOfTopLevelItem(item);
        const bool last = index == tree_->topLevelItemCount() - 1;
        if (e->type() == QEvent::MouseButtonDblClick || item == tree_->currentItem() || last) {
            EditRow(index);
        } else {
            tree_->setCurrentItem(item);
            tree_->scrollToItem(item);
        }
        return true;
    }
    return QWidget::eventFilter(watched, e);
}
