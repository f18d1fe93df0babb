#include "debugger/qt/watch_window.h"

#include "base/qt/strings.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "debugger/gdb_session.h"

namespace {
// gdb is asked about the first 255 characters of a label at most.
constexpr int kMaxLabel = 255;
constexpr int kExpressionRole = Qt::UserRole;
constexpr int kMoreArrayRole = Qt::UserRole + 1; // on a "..." item: the array
constexpr int kMoreFromRole = Qt::UserRole + 2;  // and the index its page starts at

using korl::Q;
using korl::S;

// Only a watch's name is edited in place; every cell gets its grid lines.
class WatchDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        if (index.column() != 0 || index.parent().isValid()) return nullptr;
        return QStyledItemDelegate::createEditor(parent, option, index);
    }
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyledItemDelegate::paint(painter, option, index);
        painter->save();
        painter->setPen(QColor(0xd0, 0xd0, 0xd0));
        painter->drawLine(option.rect.bottomLeft(), option.rect.bottomRight());
        painter->drawLine(option.rect.topRight(), option.rect.bottomRight());
        painter->restore();
    }
};
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
    tree_->setSortingEnabled(false);
    tree_->header()->setSectionsClickable(false);
    tree_->setSelectionMode(QAbstractItemView::SingleSelection);
    tree_->setSelectionBehavior(QAbstractItemView::SelectRows);
    tree_->setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed |
                           QAbstractItemView::SelectedClicked);
    tree_->setItemDelegate(new WatchDelegate(tree_));
    tree_->installEventFilter(this);

    connect(tree_, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item, int column) {
        if (rebuilding_ || column != 0 || item->parent()) return;
        const int row = TopIndex(item);
        const QString text = item->text(0);
        if (row < 0 || S(text) == list_.Rows()[std::size_t(row)].label) return;
        // the rows are rebuilt: not while the view is still closing its editor
        QMetaObject::invokeMethod(
            this, [this, row, text] { EndEdit(row, text); }, Qt::QueuedConnection);
    });
    connect(tree_, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item, int) {
        if (item->data(0, kMoreFromRole).isValid())
            LoadMore(item);
        else if (!item->parent())
            EditRow(TopIndex(item));
    });
    connect(tree_, &QTreeWidget::itemExpanded, this,
            [this](QTreeWidgetItem* item) { expanded_.insert(item->data(0, kExpressionRole).toString()); });
    connect(tree_, &QTreeWidget::itemCollapsed, this,
            [this](QTreeWidgetItem* item) { expanded_.remove(item->data(0, kExpressionRole).toString()); });
    Rebuild();
}

int Korl_WatchWindow::TopIndex(const QTreeWidgetItem* item) const {
    return item && !item->parent() ? tree_->indexOfTopLevelItem(const_cast<QTreeWidgetItem*>(item)) : -1;
}

void Korl_WatchWindow::Rebuild() {
    const int selected = SelectedRow();
    rebuilding_ = true;
    tree_->clear();
    for (const auto& row : list_.Rows()) {
        auto* item = new QTreeWidgetItem(tree_, {Q(row.label), Q(row.value)});
        item->setFlags(item->flags() | Qt::ItemIsEditable);
        item->setData(0, kExpressionRole, Q(row.label));
    }
    rebuilding_ = false;
    const int count = tree_->topLevelItemCount();
    if (selected >= 0 && count > 0) tree_->setCurrentItem(tree_->topLevelItem(std::min(selected, count - 1)));
}

bool Korl_WatchWindow::EditorOpen() const {
    for (QWidget* w : tree_->viewport()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (w->isVisible()) return true;
    return false;
}

int Korl_WatchWindow::SelectedRow() const {
    QTreeWidgetItem* item = tree_->currentItem();
    while (item && item->parent()) item = item->parent();
    return TopIndex(item);
}

QStringList Korl_WatchWindow::Labels() const {
    QStringList labels;
    for (int id : list_.RefreshIds()) labels << Q(list_.Rows()[std::size_t(list_.IndexOf(id))].label);
    return labels;
}

void Korl_WatchWindow::SetLabels(const QStringList& labels) {
    list_ = korl::WatchList();
    for (int i = 0; i < labels.size(); ++i) list_.EndEdit(i, S(labels[i]));
    shown_.clear();
    previous_.clear();
    Rebuild();
}

bool Korl_WatchWindow::Changed(const QTreeWidgetItem* item) const {
    return item && item->foreground(1).color() == QColor(Qt::red) &&
           item->foreground(1).style() != Qt::NoBrush;
}

void Korl_WatchWindow::SetItemValue(QTreeWidgetItem* item, const QString& expression, const QString& value) {
    item->setText(1, value);
    auto before = previous_.constFind(expression);
    const bool changed = before != previous_.constEnd() && *before != value && !value.isEmpty();
    item->setForeground(1, changed ? QBrush(Qt::red) : QBrush());
    if (!value.isEmpty()) shown_.insert(expression, value);
}

void Korl_WatchWindow::FillChildren(QTreeWidgetItem* item, const korl::WatchValue& value) {
    rebuilding_ = true;
    qDeleteAll(item->takeChildren());
    for (const korl::WatchValue& child : value.children) {
        auto* c = new QTreeWidgetItem(item, {Q(child.name), QString()});
        const QString expression = Q(child.expression);
        c->setData(0, kExpressionRole, expression);
        SetItemValue(c, expression, Q(child.value));
        FillChildren(c, child);
    }
    if (value.moreFrom > 0) {
        auto* more = new QTreeWidgetItem(item, {"...", QString()});
        more->setData(0, kMoreArrayRole, Q(value.expression));
        more->setData(0, kMoreFromRole, qulonglong(value.moreFrom));
        more->setToolTip(0, "Double-click to show the next elements");
    }
    if (item->childCount() > 0 && expanded_.contains(item->data(0, kExpressionRole).toString()))
        item->setExpanded(true);
    rebuilding_ = false;
}

void Korl_WatchWindow::ShowValue(int id, const korl::WatchValue* tree) {
    const int index = list_.IndexOf(id);
    if (index < 0) return;
    QTreeWidgetItem* item = tree_->topLevelItem(index);
    if (!item) return;
    const auto& row = list_.Rows()[std::size_t(index)];
    rebuilding_ = true;
    SetItemValue(item, Q(row.label), Q(row.value));
    rebuilding_ = false;
    if (tree)
        FillChildren(item, *tree);
    else
        qDeleteAll(item->takeChildren());
    Q_EMIT valueShown(index);
}

void Korl_WatchWindow::EvaluateRow(int index) {
    if (index < 0 || index >= int(list_.Rows().size())) return;
    const auto& row = list_.Rows()[std::size_t(index)];
    const int id = row.id;
    if (!session_ || session_->Ended() || row.label.empty()) {
        list_.SetValue(id, {});
        ShowValue(id, nullptr);
        return;
    }
    const std::string label = row.label.substr(0, kMaxLabel);
    QPointer<Korl_WatchWindow> self(this);
    session_->EvaluateWatchTree(label, [self, id](const korl::WatchValue& value) {
        if (!self) return;
        self->list_.SetValue(id, value.value);
        self->ShowValue(id, &value);
    });
}

void Korl_WatchWindow::RefreshAll() {
    if (!session_ || session_->Ended()) {
        list_.ClearValues();
        shown_.clear();
        previous_.clear();
        for (int i = 0; i < tree_->topLevelItemCount(); ++i) {
            QTreeWidgetItem* item = tree_->topLevelItem(i);
            item->setText(1, QString());
            item->setForeground(1, QBrush());
            qDeleteAll(item->takeChildren());
        }
        return;
    }
    // what the previous stop showed is what "changed" compares with
    previous_ = shown_;
    shown_.clear();
    for (int id : list_.RefreshIds()) EvaluateRow(list_.IndexOf(id));
}

void Korl_WatchWindow::LoadMore(QTreeWidgetItem* moreItem) {
    if (!session_ || session_->Ended() || !session_->AtStop()) return;
    const QString array = moreItem->data(0, kMoreArrayRole).toString();
    const qulonglong from = moreItem->data(0, kMoreFromRole).toULongLong();
    moreItem->setText(1, "loading...");
    QPointer<Korl_WatchWindow> self(this);
    session_->LoadArrayPage(S(array), std::size_t(from), [self, array, from](const korl::WatchValue& page) {
        if (!self) return;
        // the "..." item may have been rebuilt meanwhile: find it again
        QTreeWidgetItemIterator it(self->tree_);
        QTreeWidgetItem* more = nullptr;
        for (; *it; ++it)
            if ((*it)->data(0, kMoreArrayRole).toString() == array &&
                (*it)->data(0, kMoreFromRole).toULongLong() == from)
                more = *it;
        if (!more || !more->parent()) return;
        QTreeWidgetItem* parent = more->parent();
        delete more;
        korl::WatchValue holder = page;
        holder.expression = S(array);
        QList<QTreeWidgetItem*> keep = parent->takeChildren();
        self->FillChildren(parent, holder);
        QList<QTreeWidgetItem*> added = parent->takeChildren();
        parent->addChildren(keep);
        parent->addChildren(added);
    });
}

void Korl_WatchWindow::EndEdit(int index, const QString& text) {
    if (index < 0 || index >= int(list_.Rows().size())) return;
    const auto outcome = list_.EndEdit(index, S(text));
    if (outcome == korl::WatchList::EditOutcome::DeleteRow) list_.DeleteRow(index);
    Rebuild();
    Q_EMIT labelsChanged();
    if (outcome == korl::WatchList::EditOutcome::DeleteRow) {
        RefreshAll();
        return;
    }
    if (tree_->topLevelItem(index)) tree_->setCurrentItem(tree_->topLevelItem(index));
    EvaluateRow(index);
}

void Korl_WatchWindow::DeleteSelectedRow() {
    const int index = SelectedRow();
    // the empty last row is where new watches are typed: it stays
    if (index < 0 || index + 1 >= int(list_.Rows().size())) return;
    list_.DeleteRow(index);
    Rebuild();
    Q_EMIT labelsChanged();
}

void Korl_WatchWindow::EditRow(int index) {
    QTreeWidgetItem* item = tree_->topLevelItem(index);
    if (!item) return;
    tree_->setCurrentItem(item);
    tree_->scrollToItem(item);
    tree_->editItem(item, 0);
}

bool Korl_WatchWindow::eventFilter(QObject* watched, QEvent* e) {
    // while a name is edited, keys go to the editor, not here
    // The editor's Return travels on to the tree while the editor still
    // closes: such keys are the editor's, not a request to edit again.
    if (watched == tree_ && e->type() == QEvent::KeyPress && !EditorOpen()) {
        auto* key = static_cast<QKeyEvent*>(e);
        QTreeWidgetItem* current = tree_->currentItem();
        switch (key->key()) {
            case Qt::Key_Return:
            case Qt::Key_Enter:
                if (current && current->data(0, kMoreFromRole).isValid())
                    LoadMore(current);
                else if (current && !current->parent())
                    EditRow(TopIndex(current));
                return true;
            case Qt::Key_Delete:
                if (current && !current->parent()) DeleteSelectedRow();
                return true;
            default:
                // typing starts a rename only on a watch's own row
                if (current && current->parent() && !key->text().isEmpty() && key->text()[0].isPrint())
                    return true;
                return false;
        }
    }
    return QWidget::eventFilter(watched, e);
}
