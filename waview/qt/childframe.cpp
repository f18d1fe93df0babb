#include "waview/qt/childframe.h"

#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPageSetupDialog>
#include <QPainter>
#include <QPainterPath>
#include <QPrintDialog>
#include <QPrinter>
#include <QScrollBar>
#include <QSplitter>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QToolTip>
#include <QVBoxLayout>

#include "waview/qt/printing.h"
#include "waview/qt/tracepainter.h"
#include "waview/qt/waveopen.h"
#include "waview/wvwfile.h"

std::function<int(const QString&)> Waview_ChildFrame::closePromptHook;
std::function<QString()> Waview_ChildFrame::saveAsHook;

namespace {

const QColor kGreen(0, 255, 0);
constexpr int kRowRole = Qt::UserRole + 1;

QPalette BlackPalette() {
    QPalette pal;
    for (auto role : {QPalette::Base, QPalette::Window, QPalette::AlternateBase})
        pal.setColor(role, Qt::black);
    for (auto role : {QPalette::Text, QPalette::WindowText, QPalette::ButtonText}) pal.setColor(role, kGreen);
    pal.setColor(QPalette::Highlight, QColor(0, 96, 0));
    pal.setColor(QPalette::HighlightedText, Qt::white);
    return pal;
}

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

int RowImageIndex(const Waview_Hierarchy& row) {
    if (row.GetKind() == kRowComposite) return 3;
    Waview_Signal* s = row.GetSignal();
    if (!s) return 0;
    switch (s->GetTypeCode()) {
        case kTypeInteger:
            return 1;
        case kTypeReal:
            return 2;
        default:
            return 0;
    }
}

// The rows whose tree items are on screen, top to bottom, with their
// rectangles in the coordinates of `view`.
template <class F>
void ForVisibleRows(const Waview_NameView* tree, const QWidget* view, F f) {
    if (!tree) return;
    const int dy = tree->viewport()->mapTo(tree->window(), QPoint(0, 0)).y() -
                   view->mapTo(view->window(), QPoint(0, 0)).y();
    QTreeWidgetItem* item = tree->itemAt(QPoint(1, 1));
    for (; item; item = tree->itemBelow(item)) {
        const QRect r = tree->visualItemRect(item);
        if (!r.isValid()) break;
        Waview_Hierarchy* row = tree->RowOf(item);
        if (!row) continue;
        if (!f(*row, r.top() + dy, r.bottom() + 1 + dy)) break;
    }
}

} // namespace

// --- images ----------------------------------------------------------------

const QPixmap& RowImage(int n) {
    static std::array<QPixmap, 4> images = [] {
        std::array<QPixmap, 4> a;
        for (int i = 0; i < 4; ++i) {
            QPixmap pm(16, 16);
            pm.fill(Qt::transparent);
            QPainter p(&pm);
            p.setRenderHint(QPainter::Antialiasing, false);
            switch (i) {
                case 0: { // a pulse
                    p.setPen(QPen(kGreen, 1));
                    const QPoint pts[] = {{1, 12}, {5, 12}, {5, 3}, {10, 3}, {10, 12}, {14, 12}};
                    p.drawPolyline(pts, 6);
                    break;
                }
                case 1: { // a bus value
                    p.setPen(QPen(QColor(255, 128, 128), 1));
                    const QPoint pts[] = {{1, 8}, {4, 3}, {11, 3}, {14, 8}, {11, 13}, {4, 13}, {1, 8}};
                    p.drawPolyline(pts, 7);
                    p.drawLine(7, 6, 7, 10);
                    break;
                }
                case 2: { // a wave
                    p.setPen(QPen(QColor(255, 128, 128), 1));
                    p.setRenderHint(QPainter::Antialiasing, true);
                    QPainterPath path(QPointF(1, 8));
                    path.cubicTo(4, 0, 6, 0, 8, 8);
                    path.cubicTo(10, 16, 12, 16, 15, 8);
                    p.drawPath(path);
                    break;
                }
                default: { // a bundle of lines
                    p.setPen(QPen(QColor(255, 255, 0), 1));
                    const QPoint pts[] = {{1, 8}, {4, 3}, {11, 3}, {14, 8}, {11, 13}, {4, 13}, {1, 8}};
                    p.drawPolyline(pts, 7);
                    p.drawLine(5, 6, 10, 6);
                    p.drawLine(5, 10, 10, 10);
                    break;
                }
            }
            a[i] = pm;
        }
        return a;
    }();
    return images[n >= 0 && n < 4 ? n : 0];
}

const QPixmap& BookmarkImage(int n) {
    static std::array<QPixmap, 10> images = [] {
        std::array<QPixmap, 10> a;
        QFont f("Arial");
        f.setPixelSize(9);
        f.setBold(true);
        for (int i = 0; i < 10; ++i) {
            QPixmap pm(12, 12);
            pm.fill(Qt::transparent);
            QPainter p(&pm);
            p.setPen(QPen(QColor(255, 255, 255), 1));
            p.setBrush(QColor(0, 96, 255));
            // A tag with a point at the bottom marking the bookmark's start.
            const QPoint pts[] = {{1, 0}, {10, 0}, {10, 8}, {6, 11}, {5, 11}, {1, 8}};
            p.drawPolygon(pts, 6);
            p.setFont(f);
            p.drawText(QRect(1, 0, 10, 9), Qt::AlignCenter, QString::number(i));
            a[i] = pm;
        }
        return a;
    }();
    return images[n >= 0 && n < 10 ? n : 0];
}

// --- name tree ---------------------------------------------------------------

Waview_NameView::Waview_NameView(Waview_ChildFrame* frame) : QTreeWidget(frame), frame_(frame) {
    setHeaderHidden(true);
    setColumnCount(1);
    setFrameShape(QFrame::NoFrame);
    setPalette(BlackPalette());
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
        if (auto row = dynamic_cast<Waview_CompositeHierarchy*>(RowOf(item))) row->expanded = 1;
        frame_->Refresh();
    });
    connect(this, &QTreeWidget::itemCollapsed, this, [this](QTreeWidgetItem* item) {
        if (auto row = dynamic_cast<Waview_CompositeHierarchy*>(RowOf(item))) row->expanded = 0;
        frame_->Refresh();
    });
    connect(this, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item, int) {
        Waview_Hierarchy* row = RowOf(item);
        if (row && item->text(0).toStdString() != row->name) frame_->RenameRow(row, item->text(0));
    });
}

Waview_Hierarchy* Waview_NameView::RowOf(QTreeWidgetItem* item) const {
    if (!item) return nullptr;
    bool ok = false;
    const int i = item->data(0, kRowRole).toInt(&ok);
    return ok ? frame_->doc.Row(i) : nullptr;
}

Waview_Hierarchy* Waview_NameView::RowAtY(int y) const { return RowOf(itemAt(QPoint(1, y))); }

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
            frame_->Refresh();
        }
        return;
    }
    QTreeWidget::keyPressEvent(e);
}

void Waview_NameView::contextMenuEvent(QContextMenuEvent* e) {
    QMenu menu(this);
    menu.addAction("Signals...")->setData(int(kWaveSignalsDialog));
    if (QAction* chosen = menu.exec(e->globalPos())) frame_->HandleCommand(chosen->data().toInt());
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
    frame_->Refresh();
}

// --- value column ------------------------------------------------------------

Waview_ValueView::Waview_ValueView(Waview_ChildFrame* frame) : QWidget(frame), frame_(frame) {
    font_ = QFont("Arial");
    font_.setPixelSize(10);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumWidth(20);
}

void Waview_ValueView::PaintTo(QPainter& p) {
    p.fillRect(rect(), Qt::black);
    p.setFont(font_);
    const int w = width();
    ForVisibleRows(frame_->nameView, this, [&](Waview_Hierarchy& row, int top, int bottom) {
        if (top >= height()) return false;
        p.setPen(QPen(QColor(128, 128, 128), 1));
        p.drawRect(QRect(-1, top, w + 1, bottom - top));
        if (frame_->cursors.HasActive()) {
            std::string text;
            row.ValueTextAt(text, frame_->cursors.ActiveTime());
            p.setPen(kGreen);
            p.drawText(QRect(2, top + 2, 4000, bottom - top - 2), Qt::AlignLeft | Qt::AlignVCenter,
                       QString::fromStdString(text));
        }
        return true;
    });
}

void Waview_ValueView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    PaintTo(p);
}

void Waview_ValueView::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::RightButton) return;
    const int y = mapTo(window(), e->position().toPoint()).y() -
                  frame_->nameView->viewport()->mapTo(window(), QPoint(0, 0)).y();
    if (Waview_Hierarchy* row = frame_->nameView->RowAtY(y))
        frame_->ShowValuePopup(e->globalPosition().toPoint(), row);
}

bool Waview_ValueView::event(QEvent* e) {
    if (e->type() == QEvent::ToolTip) {
        auto* he = static_cast<QHelpEvent*>(e);
        const int y =
            mapTo(window(), he->pos()).y() - frame_->nameView->viewport()->mapTo(window(), QPoint(0, 0)).y();
        Waview_Hierarchy* row = frame_->nameView->RowAtY(y);
        QString tip;
        if (row && frame_->cursors.HasActive()) {
            std::string text;
            row->ValueTextAt(text, frame_->cursors.ActiveTime());
            const QString q = QString::fromStdString(text);
            if (QFontMetrics(font_).horizontalAdvance(q) + 2 > width()) tip = q;
        }
        if (tip.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(he->globalPos(), tip, this);
        return true;
    }
    return QWidget::event(e);
}

// --- shape view --------------------------------------------------------------

Waview_ShapeView::Waview_ShapeView(Waview_ChildFrame* frame) : QWidget(frame), frame_(frame) {
    font_ = QFont("Times New Roman");
    font_.setPixelSize(12);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(false);
    setFocusPolicy(Qt::ClickFocus);
    setMinimumWidth(50);
    scrollBar = new QScrollBar(Qt::Horizontal, frame);
    connect(scrollBar, &QScrollBar::actionTriggered, this, &Waview_ShapeView::OnScroll);
}

void Waview_ShapeView::PaintTo(QPainter& p) {
    p.fillRect(QRect(0, 0, view.width, view.height), Qt::black);
    const Waview_Cursors& cur = frame_->cursors;
    DrawGridAndAxis(p, view, cur.count, frame_->timescaleExponent, font_);
    const int yAxis = view.height - (cur.count + 1) * kLineHeight;
    if (frame_->endTime >= 0) {
        Waview_PainterSink sink(p, view.width);
        p.setClipRect(QRect(0, 0, view.width, yAxis));
        ForVisibleRows(frame_->nameView, this, [&](Waview_Hierarchy& row, int top, int bottom) {
            if (bottom >= yAxis) return false;
            DrawRowShape(row, view, RowRect{top, bottom}, sink, frame_->BusTimes(row));
            return true;
        });
        sink.Flush();
        p.setClipping(false);
    }
    DrawCursors(p, view, cur, frame_->timescaleExponent, font_);
    if (bandActive) {
        p.setPen(QPen(Qt::white, 2));
        p.setBrush(Qt::NoBrush);
        const int l = std::min(bandX0, bandX1), r = std::max(bandX0, bandX1);
        p.drawRect(QRect(l, 1, std::max(1, r - l), view.height - 2));
    }
}

QImage Waview_ShapeView::Render() {
    QImage img(std::max(1, view.width), std::max(1, view.height), QImage::Format_RGB32);
    QPainter p(&img);
    PaintTo(p);
    return img;
}

void Waview_ShapeView::paintEvent(QPaintEvent*) {
    UpdateScrollBar();
    QPainter p(this);
    PaintTo(p);
    p.end();
    if (frame_->extraView) frame_->extraView->update();
}

void Waview_ShapeView::resizeEvent(QResizeEvent*) {
    const bool firstSize = view.width < kLineHeight;
    view.Resize(width(), height());
    // A document loaded before the view had a width was zoomed against
    // nothing: zoom full now that the width is known.
    if (firstSize && frame_->endTime >= 0) view.ZoomFull(frame_->endTime);
    UpdateScrollBar();
}

void Waview_ShapeView::UpdateScrollBar() {
    if (!scrollBar) return;
    const int64_t maxSteps = frame_->endTime > 0 ? frame_->endTime / std::max<int64_t>(1, view.stepTime) : 0;
    sbUnit_ = maxSteps > 1000000000 ? double(maxSteps) / 1000000000.0 : 1.0;
    const int max = static_cast<int>(double(maxSteps) / sbUnit_);
    const QSignalBlocker block(scrollBar);
    scrollBar->setRange(0, max);
    scrollBar->setSingleStep(1);
    scrollBar->setPageStep(std::max(1, max / 10));
    scrollBar->setValue(static_cast<int>(double(view.start / std::max<int64_t>(1, view.stepTime)) / sbUnit_));
}

void Waview_ShapeView::OnScroll(int action) {
    const int max = scrollBar->maximum();
    int pos = scrollBar->value();
    const int page = max / 10;
    switch (action) {
        case QAbstractSlider::SliderSingleStepAdd:
            pos = scrollBar->sliderPosition();
            break;
        case QAbstractSlider::SliderSingleStepSub:
            pos = scrollBar->sliderPosition();
            break;
        case QAbstractSlider::SliderPageStepAdd:
            pos = std::min(max, pos + page);
            break;
        case QAbstractSlider::SliderPageStepSub:
            pos = std::max(0, pos - page);
            break;
        case QAbstractSlider::SliderToMinimum:
            pos = 0;
            break;
        case QAbstractSlider::SliderToMaximum:
            pos = max;
            break;
        default:
            pos = scrollBar->sliderPosition();
            break;
    }
    pos = std::clamp(pos, 0, max);
    scrollBar->setSliderPosition(pos);
    const int64_t steps = static_cast<int64_t>(double(pos) * sbUnit_);
    if (steps * view.stepTime != view.start) {
        view.ScrollTo(steps);
        frame_->Refresh();
    }
}

void Waview_ShapeView::mousePressEvent(QMouseEvent* e) {
    const QPoint pos = e->position().toPoint();
    if (e->button() == Qt::RightButton) {
        if (Waview_Hierarchy* row = frame_->nameView->RowAtY(
                mapTo(window(), pos).y() - frame_->nameView->viewport()->mapTo(window(), QPoint(0, 0)).y()))
            frame_->ShowShapePopup(e->globalPosition().toPoint(), row);
        return;
    }
    if (e->button() != Qt::LeftButton) return;
    if (frame_->zoomArea) {
        bandActive = true;
        bandX0 = bandX1 = pos.x();
        update();
        return;
    }
    if (frame_->cursors.count > 0) {
        dragging_ = true;
        frame_->MoveNearestCursor(view.TimeAt(pos.x()));
    }
}

void Waview_ShapeView::mouseMoveEvent(QMouseEvent* e) {
    const QPoint pos = e->position().toPoint();
    if (bandActive) {
        bandX1 = std::clamp(pos.x(), 0, std::max(0, width() - 1));
        update();
    } else if (dragging_ && (e->buttons() & Qt::LeftButton) && frame_->cursors.HasActive()) {
        frame_->cursors.times[frame_->cursors.active] = view.TimeAt(pos.x());
        frame_->RefreshCursorViews();
    }
}

void Waview_ShapeView::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return;
    dragging_ = false;
    if (bandActive) {
        bandActive = false;
        const int l = std::min(bandX0, bandX1), r = std::max(bandX0, bandX1);
        if (!frame_->SetWindow(view.TimeAt(l), view.TimeAt(r))) update();
    }
}

void Waview_ShapeView::mouseDoubleClickEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton || frame_->zoomArea) return;
    const QPoint pos = e->position().toPoint();
    Waview_Hierarchy* row = frame_->nameView->RowAtY(
        mapTo(window(), pos).y() - frame_->nameView->viewport()->mapTo(window(), QPoint(0, 0)).y());
    if (!row) return;
    if (e->modifiers() & Qt::ShiftModifier)
        frame_->PreviousTransition(row);
    else
        frame_->NextTransition(row);
}

void Waview_ShapeView::wheelEvent(QWheelEvent* e) {
    const int d = e->angleDelta().y();
    if (d == 0) return;
    frame_->HandleCommand(d >= 0 ? kWaveZoomOut : kWaveZoomIn);
}

void Waview_ShapeView::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Escape && bandActive) {
        bandActive = false;
        update();
        return;
    }
    if (e->key() == Qt::Key_F5) {
        frame_->HandleCommand(e->modifiers() & Qt::ShiftModifier ? kWaveRemoveCursor : kWaveAddCursor);
        return;
    }
    QWidget::keyPressEvent(e);
}

bool Waview_ShapeView::event(QEvent* e) {
    if (e->type() == QEvent::ShortcutOverride) {
        // F5 and Shift+F5 add and remove cursors here, whatever the frame's
        // menus bind them to; Escape drops a zoom band.
        auto* ke = static_cast<QKeyEvent*>(e);
        if (ke->key() == Qt::Key_F5 || (ke->key() == Qt::Key_Escape && bandActive)) {
            e->accept();
            return true;
        }
    }
    if (e->type() == QEvent::ToolTip) {
        auto* he = static_cast<QHelpEvent*>(e);
        Waview_Hierarchy* row = frame_->nameView->RowAtY(
            mapTo(window(), he->pos()).y() - frame_->nameView->viewport()->mapTo(window(), QPoint(0, 0)).y());
        if (row && frame_->endTime >= 0) {
            std::string text;
            row->ValueTextAt(text, view.TimeAt(he->pos().x()));
            QToolTip::showText(he->globalPos(), QString::fromStdString(row->name + " = " + text), this);
        } else {
            QToolTip::hideText();
        }
        return true;
    }
    return QWidget::event(e);
}

// --- extra view --------------------------------------------------------------

Waview_ExtraView::Waview_ExtraView(Waview_ChildFrame* frame) : QWidget(frame), frame_(frame) {
    font_ = QFont("Arial");
    font_.setPixelSize(11);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void Waview_ExtraView::PaintTo(QPainter& p) {
    const int w = width(), h = height();
    p.fillRect(rect(), Qt::black);
    if (!frame_->shapeView) return;
    p.setFont(font_);
    const Waview_ViewState& v = frame_->shapeView->view;
    const int e = frame_->timescaleExponent;
    const int top0 = 2;
    p.setPen(kGreen);
    p.drawText(
        QRect(2, top0 + 2, 4000, kLineHeight - 4), Qt::AlignLeft | Qt::AlignVCenter,
        QString("From:%1 - To:%2")
            .arg(QString::fromStdString(TimeLabel(v.start, e)), QString::fromStdString(TimeLabel(v.end, e))));
    const Waview_Cursors& c = frame_->cursors;
    for (int k = 0; k < c.count; ++k) {
        const int i = c.count - 1 - k;
        const int top = top0 + (k + 1) * kLineHeight;
        p.setPen(QPen(QColor(128, 128, 128), 1));
        p.drawRect(QRect(0, top, w - 1, kLineHeight));
        p.setPen(i == c.active ? QColor(255, 0, 0) : QColor(0, 255, 255));
        p.drawText(QRect(2, top + 2, 4000, kLineHeight - 4), Qt::AlignLeft | Qt::AlignVCenter,
                   QString("Cursor %1:%2").arg(i).arg(QString::fromStdString(TimeLabel(c.times[i], e))));
    }
    // Overview strip: the visible range within the whole dump and the bookmarks.
    const int sb = frame_->shapeView->scrollBar ? frame_->shapeView->scrollBar->sizeHint().height() : 16;
    const int stripTop = h - sb;
    p.setPen(QPen(QColor(112, 112, 112), 1));
    p.drawLine(0, h - 2, w, h - 2);
    const double total = double(frame_->endTime) - double(v.start) + double(v.end);
    if (frame_->endTime > 0 && total > 0) {
        const int xs = int(std::clamp(double(v.start) / total * w, -1.0, double(w)));
        const int xe = int(std::clamp(double(v.end) / total * w, -1.0, double(w)));
        p.fillRect(QRect(QPoint(xs, stripTop + 3), QPoint(std::max(xs, xe), h - 4)), QColor(0, 70, 0));
        p.setPen(QPen(kGreen, 1));
        p.drawLine(xs, stripTop + 1, xs, h - 2);
        p.drawLine(xe, stripTop + 1, xe, h - 2);
        for (int n = 0; n < 10; ++n) {
            const auto& b = frame_->bookmarks[n];
            if (!b.set) continue;
            const int x = int(std::clamp(double(b.start) / total * w, -100.0, double(w) + 100)) - 6;
            p.drawPixmap(x, stripTop + std::max(0, (sb - 12) / 2), BookmarkImage(n));
        }
    }
}

void Waview_ExtraView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    PaintTo(p);
}

// --- signals dialog ----------------------------------------------------------

Waview_SignalsDlg::Waview_SignalsDlg(Waview_FileManager& doc, QWidget* parent) : QDialog(parent), doc_(doc) {
    setWindowTitle("Signals");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel("Selected signals will be visible.", this));
    tree = new QTreeWidget(this);
    tree->setHeaderHidden(true);
    layout->addWidget(tree);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    for (int32_t r : doc.TopRows()) Insert(nullptr, r, 0);
    tree->expandAll();
    resize(360, 420);
}

void Waview_SignalsDlg::Insert(QTreeWidgetItem* parent, int32_t index, int depth) {
    Waview_Hierarchy* row = doc_.Row(index);
    if (!row || depth > 1000) return;
    auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(tree);
    item->setText(0, QString::fromStdString(row->name));
    item->setData(0, kRowRole, index);
    item->setIcon(0, RowImage(RowImageIndex(*row)));
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(0, row->visible ? Qt::Checked : Qt::Unchecked);
    if (row->GetKind() == kRowComposite)
        for (int32_t c : static_cast<Waview_CompositeHierarchy*>(row)->children)
            if (c != index) Insert(item, c, depth + 1);
}

bool Waview_SignalsDlg::Apply() {
    bool changed = false;
    for (QTreeWidgetItemIterator it(tree); *it; ++it) {
        Waview_Hierarchy* row = doc_.Row((*it)->data(0, kRowRole).toInt());
        if (!row) continue;
        const int want = (*it)->checkState(0) == Qt::Checked ? 1 : 0;
        if ((row->visible != 0) != (want != 0)) {
            row->visible = row->visible ? 0 : 1;
            changed = true;
        }
    }
    return changed;
}

// --- the window ----------------------------------------------------------------

Waview_ChildFrame::Waview_ChildFrame(const QString& wave, const QString& dump, QWidget* parent)
    : QMdiSubWindow(parent), wavePath(wave), dumpPath(dump) {
    setAttribute(Qt::WA_DeleteOnClose);
    auto* client = new QWidget(this);
    client->setObjectName("waveClient");
    client->setPalette(BlackPalette());
    client->setAutoFillBackground(true);
    auto* outer = new QVBoxLayout(client);
    outer->setContentsMargins(0, 0, 0, 0);
    mainSplit = new QSplitter(Qt::Horizontal, client);
    leftSplit = new QSplitter(Qt::Vertical, mainSplit);
    topSplit = new QSplitter(Qt::Horizontal, leftSplit);
    for (QSplitter* s : {mainSplit, leftSplit, topSplit}) {
        s->setHandleWidth(3);
        s->setChildrenCollapsible(false);
    }
    nameView = new Waview_NameView(this);
    valueView = new Waview_ValueView(this);
    topSplit->addWidget(nameView);
    topSplit->addWidget(valueView);
    extraView = new Waview_ExtraView(this);
    leftSplit->addWidget(topSplit);
    leftSplit->addWidget(extraView);
    leftSplit->setStretchFactor(0, 1);
    leftSplit->setStretchFactor(1, 0);
    auto* right = new QWidget(mainSplit);
    auto* rl = new QVBoxLayout(right);
    rl->setContentsMargins(0, 0, 0, 0);
    rl->setSpacing(0);
    shapeView = new Waview_ShapeView(this);
    rl->addWidget(shapeView, 1);
    rl->addWidget(shapeView->scrollBar);
    mainSplit->addWidget(leftSplit);
    mainSplit->addWidget(right);
    mainSplit->setStretchFactor(0, 0);
    mainSplit->setStretchFactor(1, 1);
    outer->addWidget(mainSplit);
    setWidget(client);
    client->installEventFilter(this);
    connect(leftSplit, &QSplitter::splitterMoved, this, [this] { RelayoutExtra(); });
    ResetState();
    UpdateTitle();
    setWindowIcon(RowImage(0));
    resize(900, 500);
}

Waview_ChildFrame::~Waview_ChildFrame() = default;

const std::vector<int64_t>* Waview_ChildFrame::BusTimes(Waview_Hierarchy& row) {
    if (row.GetKind() != kRowComposite) return nullptr;
    auto it = busTimes_.find(row.index);
    if (it == busTimes_.end()) {
        // Beyond a few million entries per row, or once the window holds
        // enough of them, the walk over the leaves is used instead.
        const size_t limit = std::min<size_t>(4000000, busBudget_);
        it =
            busTimes_
                .emplace(row.index, CompositeChangeTimes(static_cast<Waview_CompositeHierarchy&>(row), limit))
                .first;
        busBudget_ -= std::min(busBudget_, it->second.size());
    }
    return &it->second;
}

void Waview_ChildFrame::ResetState() {
    busTimes_.clear();
    busBudget_ = kBusTimesBudget;
    endTime = -1;
    modified = false;
    cursors = Waview_Cursors{};
    cursors.count = 1;
    cursors.active = 0;
    cursors.times[0] = 0;
    bookmarks = {};
    zoomArea = false;
    shapePopupRow = valuePopupRow = nullptr;
    shapeView->view = Waview_ViewState{};
    shapeView->view.Resize(shapeView->width(), shapeView->height());
}

bool Waview_ChildFrame::eventFilter(QObject* o, QEvent* e) {
    if (o == widget() && e->type() == QEvent::Resize) {
        const int w = widget()->width();
        if (!layoutDone_ && w > 0) {
            // Tree, value column and shape view at 1/4, 1/12 and 2/3 of the width.
            layoutDone_ = true;
            mainSplit->setSizes({w / 3, w - w / 3});
            topSplit->setSizes({w / 3 * 3 / 4, w / 3 - w / 3 * 3 / 4});
        }
        RelayoutExtra();
    }
    return QMdiSubWindow::eventFilter(o, e);
}

void Waview_ChildFrame::RelayoutExtra() {
    const int sb = shapeView->scrollBar->sizeHint().height();
    const int want = sb + (cursors.count + 1) * kLineHeight + 2;
    const int total = leftSplit->height();
    if (total <= 0) return;
    const QList<int> sizes = leftSplit->sizes();
    if (sizes.size() == 2 && sizes[1] == want) return;
    const QSignalBlocker block(leftSplit);
    leftSplit->setSizes({std::max(0, total - want - leftSplit->handleWidth()), want});
}

void Waview_ChildFrame::UpdateTitle() {
    QString title = QFileInfo(dumpPath).fileName();
    if (modified) title += " *";
    setWindowTitle(title);
}

void Waview_ChildFrame::SetModified(bool m) {
    modified = m;
    UpdateTitle();
}

void Waview_ChildFrame::InsertRow(QTreeWidgetItem* parent, int32_t index, int depth) {
    Waview_Hierarchy* row = doc.Row(index);
    if (!row || !row->visible || depth > 1000) return;
    auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(nameView);
    item->setText(0, QString::fromStdString(row->name));
    item->setData(0, kRowRole, index);
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

void Waview_ChildFrame::RebuildTree() {
    const QSignalBlocker block(nameView);
    nameView->clear();
    for (int32_t i = 0; i < doc.RowCount(); ++i) doc.Row(i)->treeItem = nullptr;
    for (int32_t r : doc.TopRows()) InsertRow(nullptr, r, 0);
    Refresh();
}

bool Waview_ChildFrame::Load(QWidget* messageParent) {
    ResetState();
    {
        const QSignalBlocker block(nameView);
        nameView->clear();
    }
    std::string error;
    if (!ReadWaveFile(doc, wavePath.toStdString(), &error)) {
        if (messageParent)
            QMessageBox::critical(
                messageParent, "Error",
                QString("Can not read %1\n%2").arg(wavePath, QString::fromStdString(error)));
        doc.Clear();
        Refresh();
        return false;
    }
    ShowDocument();
    return true;
}

void Waview_ChildFrame::ShowDocument() {
    busTimes_.clear();
    busBudget_ = kBusTimesBudget;
    endTime = doc.EndTime();
    timescaleExponent = doc.TimescaleExponent();
    RebuildTree();
    shapeView->view.Resize(shapeView->width(), shapeView->height());
    shapeView->view.ZoomFull(endTime);
    SetModified(false);
    Refresh();
}

bool Waview_ChildFrame::Reload(QWidget* messageParent) {
    {
        const QSignalBlocker block(nameView);
        nameView->clear();
    }
    doc.Clear();
    ResetState();
    Refresh();
    const Waview_ConvertResult r = ConvertDump(dumpPath, messageParent);
    if (!r.ok) return false;
    wavePath = QString::fromStdString(r.wavePath);
    TakeDocument(*r.document);
    return true;
}

void Waview_ChildFrame::TakeDocument(Waview_FileManager& from) {
    ResetState();
    {
        const QSignalBlocker block(nameView);
        nameView->clear();
    }
    doc.TakeFrom(from);
    ShowDocument();
}

void Waview_ChildFrame::Refresh() {
    if (!shapeView || !valueView || !extraView) return; // still being built
    shapeView->update();
    valueView->update();
    extraView->update();
}

void Waview_ChildFrame::RefreshCursorViews() {
    if (!shapeView || !valueView || !extraView) return;
    shapeView->update();
    valueView->update();
    extraView->update();
}

bool Waview_ChildFrame::SetWindow(int64_t a, int64_t b) {
    if (!shapeView->view.SetWindow(a, b, endTime)) return false;
    Refresh();
    return true;
}

void Waview_ChildFrame::AddCursor() {
    const Waview_ViewState& v = shapeView->view;
    if (!cursors.Add(static_cast<int64_t>((static_cast<__int128>(v.start) + v.end) / 2))) return;
    RelayoutExtra();
    Refresh();
}

void Waview_ChildFrame::RemoveCursor() {
    if (!cursors.Remove()) return;
    RelayoutExtra();
    Refresh();
}

void Waview_ChildFrame::MoveNearestCursor(int64_t t) {
    if (cursors.MoveNearest(t) < 0) return;
    RefreshCursorViews();
}

void Waview_ChildFrame::NextTransition(Waview_Hierarchy* row) {
    if (!row || !cursors.HasActive()) return;
    const int64_t c = cursors.ActiveTime();
    if (const std::vector<int64_t>* times = BusTimes(*row); times && !times->empty()) {
        // A bus changes whenever any of its leaves does.
        auto it = std::upper_bound(times->begin(), times->end(), c);
        if (it == times->end()) return;
        cursors.times[cursors.active] = *it;
        RefreshCursorViews();
        return;
    }
    const ChangeEntry* e = row->Seek(c);
    int guard = 0;
    while (e && e->time <= c && guard++ < 100000000) e = row->NextTransition(e->time);
    if (!e) return; // no later change: the cursor stays
    cursors.times[cursors.active] = e->time;
    RefreshCursorViews();
}

void Waview_ChildFrame::PreviousTransition(Waview_Hierarchy* row) {
    if (!row || !cursors.HasActive()) return;
    if (const std::vector<int64_t>* times = BusTimes(*row); times && !times->empty()) {
        auto it = std::lower_bound(times->begin(), times->end(), cursors.ActiveTime());
        if (it == times->begin() || *(it - 1) < 0) return;
        cursors.times[cursors.active] = *(it - 1);
        RefreshCursorViews();
        return;
    }
    const ChangeEntry* e = row->Seek(cursors.ActiveTime());
    // The sentinel before the first change is no place to go.
    if (!e || e->time < 0) return;
    cursors.times[cursors.active] = e->time;
    RefreshCursorViews();
}

void Waview_ChildFrame::SetBookmark(int n) {
    if (n < 0 || n > 9) return;
    bookmarks[n] = {true, shapeView->view.start, shapeView->view.end};
    extraView->update();
}

void Waview_ChildFrame::GotoBookmark(int n) {
    if (n < 0 || n > 9 || !bookmarks[n].set) return;
    SetWindow(bookmarks[n].start, bookmarks[n].end);
}

void Waview_ChildFrame::ToggleDigital(Waview_Hierarchy* row) {
    if (!row) return;
    row->digital = row->digital ? 0 : 1;
    shapeView->update();
}

void Waview_ChildFrame::SetRadix(Waview_Hierarchy* row, int radix) {
    if (!row) return;
    row->SetRadix(radix);
    valueView->update();
}

void Waview_ChildFrame::RenameRow(Waview_Hierarchy* row, const QString& name) {
    row->name = name.toStdString();
    row->InvalidateValueText();
    SetModified(true);
}

bool Waview_ChildFrame::Save() {
    std::string error;
    if (!WriteWaveFile(doc, wavePath.toStdString(), &error)) {
        QMessageBox::critical(this, "Error", QString::fromStdString(error));
        return false;
    }
    if (const std::string lost = SaveLossNote(doc); !lost.empty())
        QMessageBox::information(this, "Waview", QString::fromStdString(lost));
    SetModified(false);
    return true;
}

bool Waview_ChildFrame::SaveAs(const QString& path) {
    if (path.isEmpty()) return false;
    const QString old = wavePath;
    wavePath = path;
    if (!Save()) {
        wavePath = old;
        return false;
    }
    return true;
}

void Waview_ChildFrame::ShowSignalsDialog() {
    Waview_SignalsDlg dlg(doc, this);
    if (dlg.exec() == QDialog::Accepted && dlg.Apply()) RebuildTree();
}

QImage Waview_ChildFrame::GrabClient() { return widget()->grab().toImage(); }

void Waview_ChildFrame::Print() { PrintClientArea(widget(), true); }

void Waview_ChildFrame::PageSetup() {
    QPrinter printer;
    QPageSetupDialog dlg(&printer, this);
    dlg.exec();
}

QMenu* Waview_ChildFrame::BuildShapeMenu() {
    auto* menu = new QMenu(this);
    menu->setObjectName("_SHAPEPOPUPMENU_");
    auto add = [&](QMenu* m, const QString& text, int id) {
        QAction* a = m->addAction(text);
        a->setData(id);
        return a;
    };
    add(menu, "Goto Next Transaction\tDbl Click", kWaveNextTransition);
    add(menu, "Goto Previous Transaction\t Shift+Dbl Click", kWavePrevTransition);
    add(menu, "Zoom &In\tMouse Wheel Down", kWaveZoomIn);
    add(menu, "Zoom &Out\tMouse Wheel Up", kWaveZoomOut);
    add(menu, "Zoom &Full\tCtrl+U", kWaveZoomFull);
    QAction* area = add(menu, "Zoom &Area\tCtrl+T", kWaveZoomArea);
    area->setCheckable(true);
    area->setChecked(zoomArea);
    add(menu, "Toggle Digital/Analog", kWaveToggleDigital);
    add(menu, "&Add Cursor\tF5", kWaveAddCursor)->setEnabled(cursors.count < kMaxCursors);
    add(menu, "&Remove Cursor\tShift+F5", kWaveRemoveCursor)->setEnabled(cursors.HasActive());
    QMenu* set = menu->addMenu("Set Bookmark");
    QMenu* go = menu->addMenu("Goto Bookmark");
    for (int n = 0; n < 10; ++n) {
        add(set, QString("Bookmark %1\tCtrl+Shift+%1").arg(n), kWaveSetBookmark0 + n);
        add(go, QString("Bookmark %1\tCtrl+%1").arg(n), kWaveGotoBookmark0 + n)->setEnabled(bookmarks[n].set);
    }
    return menu;
}

void Waview_ChildFrame::ShowShapePopup(const QPoint& globalPos, Waview_Hierarchy* row) {
    shapePopupRow = row;
    QMenu* menu = BuildShapeMenu();
    QAction* chosen = menu->exec(globalPos);
    if (chosen && chosen->data().isValid()) HandleCommand(chosen->data().toInt());
    menu->deleteLater();
}

void Waview_ChildFrame::ShowValuePopup(const QPoint& globalPos, Waview_Hierarchy* row) {
    valuePopupRow = row;
    QMenu menu(this);
    menu.setObjectName("_VALUEPOPUPMENU_");
    auto* group = new QActionGroup(&menu);
    const char* texts[] = {"&Binary", "&Hexadecimal", "&Unsigned", "&Signed"};
    const int radices[] = {kRadixBinary, kRadixHex, kRadixUnsigned, kRadixSigned};
    for (int i = 0; i < 4; ++i) {
        QAction* a = menu.addAction(texts[i]);
        a->setData(kWaveRadixBinary + i);
        a->setCheckable(true);
        a->setChecked(row->radix == radices[i]);
        group->addAction(a);
    }
    QAction* chosen = menu.exec(globalPos);
    if (chosen) HandleCommand(chosen->data().toInt());
}

bool Waview_ChildFrame::HandleCommand(int id) {
    const int64_t e = endTime;
    Waview_ViewState& v = shapeView->view;
    switch (id) {
        case kWaveSave:
            Save();
            return true;
        case kWaveSaveAs: {
            const QString path = saveAsHook ? saveAsHook()
                                            : QFileDialog::getSaveFileName(this, "Save As", wavePath,
                                                                           "Wave viewer files (*.wvw)");
            if (path.isEmpty()) return true;
            SaveAs(QFileInfo(path).suffix().isEmpty() ? path + ".wvw" : path);
            return true;
        }
        case kWavePrint:
            Print();
            return true;
        case kWavePageSetup:
            PageSetup();
            return true;
        case kWaveZoomIn:
            if (v.ZoomIn(e)) Refresh();
            return true;
        case kWaveZoomOut:
            if (v.ZoomOut(e)) Refresh();
            return true;
        case kWaveZoomFull:
            if (v.ZoomFull(e)) Refresh();
            return true;
        case kWaveZoomArea:
            zoomArea = !zoomArea;
            shapeView->bandActive = false;
            shapeView->setCursor(zoomArea ? Qt::CrossCursor : Qt::ArrowCursor);
            shapeView->update();
            return true;
        case kWaveAddCursor:
            AddCursor();
            return true;
        case kWaveRemoveCursor:
            RemoveCursor();
            return true;
        case kWaveNextTransition:
            NextTransition(shapePopupRow);
            return true;
        case kWavePrevTransition:
            PreviousTransition(shapePopupRow);
            return true;
        case kWaveToggleDigital:
            ToggleDigital(shapePopupRow);
            return true;
        case kWaveSignalsDialog:
            ShowSignalsDialog();
            return true;
        case kWaveReload:
            if (!Reload(parentWidget())) close();
            return true;
        default:
            break;
    }
    if (id >= kWaveRadixBinary && id < kWaveRadixBinary + 4) {
        SetRadix(valuePopupRow, 1 << (id - kWaveRadixBinary));
        return true;
    }
    if (id >= kWaveSetBookmark0 && id < kWaveSetBookmark0 + 10) {
        SetBookmark(id - kWaveSetBookmark0);
        return true;
    }
    if (id >= kWaveGotoBookmark0 && id < kWaveGotoBookmark0 + 10) {
        GotoBookmark(id - kWaveGotoBookmark0);
        return true;
    }
    return false;
}

bool Waview_ChildFrame::CommandState(int id, bool* checked) const {
    if (checked) *checked = false;
    switch (id) {
        case kWaveZoomArea:
            if (checked) *checked = zoomArea;
            return true;
        case kWaveAddCursor:
            return cursors.count < kMaxCursors;
        case kWaveRemoveCursor:
            return cursors.HasActive();
        case kWaveSave:
        case kWaveSaveAs:
        case kWavePrint:
        case kWavePageSetup:
        case kWaveZoomIn:
        case kWaveZoomOut:
        case kWaveZoomFull:
        case kWaveSignalsDialog:
            return true;
        case kWaveNextTransition:
        case kWavePrevTransition:
            return shapePopupRow && cursors.HasActive();
        case kWaveToggleDigital:
            return shapePopupRow != nullptr;
        default:
            break;
    }
    if (id >= kWaveRadixBinary && id < kWaveRadixBinary + 4) {
        if (checked && valuePopupRow) *checked = valuePopupRow->radix == 1 << (id - kWaveRadixBinary);
        return valuePopupRow != nullptr;
    }
    if (id >= kWaveSetBookmark0 && id < kWaveSetBookmark0 + 10) return true;
    if (id >= kWaveGotoBookmark0 && id < kWaveGotoBookmark0 + 10)
        return bookmarks[id - kWaveGotoBookmark0].set;
    return false;
}

bool Waview_ChildFrame::IsWindowCommand(int id) {
    switch (id) {
        case kWaveSave:
        case kWaveSaveAs:
        case kWavePageSetup:
        case kWavePrint:
        case kWaveZoomIn:
        case kWaveZoomOut:
        case kWaveZoomFull:
        case kWaveZoomArea:
        case kWaveAddCursor:
        case kWaveRemoveCursor:
        case kWavePrevTransition:
        case kWaveNextTransition:
        case kWaveSignalsDialog:
        case kWaveToggleDigital:
            return true;
        default:
            return (id >= kWaveRadixBinary && id < kWaveRadixBinary + 4) ||
                   (id >= kWaveSetBookmark0 && id < kWaveGotoBookmark0 + 10);
    }
}

void Waview_ChildFrame::closeEvent(QCloseEvent* e) {
    if (modified) {
        const QString text = QString("Save changes to %1 ?").arg(wavePath);
        const int answer =
            closePromptHook ? closePromptHook(text)
                            : QMessageBox::question(this, "Waview", text,
                                                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        if (answer == QMessageBox::Cancel || (answer == QMessageBox::Yes && !Save())) {
            e->ignore();
            return;
        }
    }
    QMdiSubWindow::closeEvent(e);
}
