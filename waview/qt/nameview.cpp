#include "waview/qt/nameview.h"

#include <functional>

#include <QDropEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QStyledItemDelegate>

#include "waview/qt/wave_look.h"

namespace {

// Rows of the tree are one line high so traces line up with their names.
class RowHeightDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem& o, const QModelIndex& i) const override {
        QSize s = QStyledItemDelegate::sizeHint(o, i);
        s.setHeight(kLineHeight);
        return s;
    }
};

} // namespace

Waview_NameView::Waview_NameView(Waview_WaveSession& session, QWidget* parent)
    : QTreeWidget(parent), session_(session) {
    setHeaderHidden(true);
    setColumnCount(1);
    setFrameShape(QFrame::NoFrame);
    setPalette(WaveBlackPalette());
    setAutoFillBackground(true);
    setUniformRowHeights(true);
    setItemDelegate(new RowHeightDelegate(this));
    setIconSize(QSize(16, 16));
    setIndentation(12);
    setEditTriggers(QAbstractItemView::EditKeyPressed);
    setDragEnabled(true);
    setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DragDrop);
    setDropIndicatorShown(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    connect(this, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) {
        if (Waview_Hierarchy* row = RowOf(item)) session_.SetExpanded(*row, true);
        Q_EMIT rowsMoved();
    });
    connect(this, &QTreeWidget::itemCollapsed, this, [this](QTreeWidgetItem* item) {
        if (Waview_Hierarchy* row = RowOf(item)) session_.SetExpanded(*row, false);
        Q_EMIT rowsMoved();
    });
    connect(this, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item, int) {
        Waview_Hierarchy* row = RowOf(item);
        if (row && item->text(0).toStdString() != row->name)
            session_.RenameRow(*row, item->text(0).toStdString());
    });
}

Waview_Hierarchy* Waview_NameView::RowOf(const QTreeWidgetItem* item) const {
    return WaveRowOf(session_.Doc(), item);
}

Waview_Hierarchy* Waview_NameView::RowAtY(int y) const { return RowOf(itemAt(QPoint(1, y))); }

Waview_Hierarchy* Waview_NameView::RowAt(const QWidget* from, const QPoint& pos) const {
    return RowAtY(from->mapTo(window(), pos).y() - viewport()->mapTo(window(), QPoint(0, 0)).y());
}

void Waview_NameView::InsertRow(QTreeWidgetItem* parent, int32_t index, int depth) {
    Waview_Hierarchy* row = session_.Doc().Row(index);
    if (!row || !row->visible || depth > 1000) return;
    auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(this);
    item->setText(0, QString::fromStdString(row->name));
    item->setData(0, kWaveRowRole, index);
    item->setIcon(0, RowImage(RowImageIndex(*row)));
    item->setFlags(item->flags() | Qt::ItemIsEditable | Qt::ItemIsDragEnabled);
    row->treeItem = item;
    if (row->GetKind() == kRowComposite) {
        auto* comp = static_cast<Waview_CompositeHierarchy*>(row);
        for (int32_t c : comp->children)
            if (c != index) InsertRow(item, c, depth + 1);
        item->setExpanded(comp->expanded != 0);
    }
}

void Waview_NameView::Rebuild() {
    {
        const QSignalBlocker block(this);
        clear();
        Waview_FileManager& doc = session_.Doc();
        for (int32_t i = 0; i < doc.RowCount(); ++i) doc.Row(i)->treeItem = nullptr;
        for (int32_t r : doc.TopRows()) InsertRow(nullptr, r, 0);
    }
    Q_EMIT rowsMoved();
}

void Waview_NameView::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Delete) {
        if (QTreeWidgetItem* item = currentItem()) {
            // The row stays in the document; only its tree item goes.
            std::function<void(QTreeWidgetItem*)> forget = [&](QTreeWidgetItem* it) {
                if (Waview_Hierarchy* r = RowOf(it)) r->treeItem = nullptr;
                for (int i = 0; i < it->childCount(); ++i) forget(it->child(i));
            };
            forget(item);
            delete item;
            Q_EMIT rowsMoved();
        }
        return;
    }
    QTreeWidget::keyPressEvent(e);
}

void Waview_NameView::contextMenuEvent(QContextMenuEvent* e) {
    QMenu menu(this);
    QAction* signalsAction = menu.addAction("Signals...");
    if (menu.exec(e->globalPos()) == signalsAction) Q_EMIT signalsDialogRequested();
}

void Waview_NameView::dragMoveEvent(QDragMoveEvent* e) {
    QTreeWidget::dragMoveEvent(e);
    if (e->source() == this) {
        setCurrentItem(itemAt(e->position().toPoint()));
        e->acceptProposedAction();
    }
}

void Waview_NameView::dropEvent(QDropEvent* e) {
    // Dragging shows where the pointer is; releasing moves nothing.
    e->ignore();
}

void Waview_NameView::scrollContentsBy(int dx, int dy) {
    QTreeWidget::scrollContentsBy(dx, dy);
    Q_EMIT rowsMoved();
}
