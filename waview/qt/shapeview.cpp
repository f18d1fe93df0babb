#include "waview/qt/shapeview.h"

#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QToolTip>
#include <QWheelEvent>

#include "waview/qt/nameview.h"
#include "waview/qt/tracepainter.h"
#include "waview/qt/wave_look.h"

using Session = Waview_WaveSession;

Waview_ShapeView::Waview_ShapeView(Waview_WaveSession& session, const Waview_NameView& names, QWidget* parent)
    : QWidget(parent), session_(session), names_(names) {
    font_ = QFont("Times New Roman");
    font_.setPixelSize(12);
    valueFont_ = WaveValueFont();
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(false);
    setFocusPolicy(Qt::ClickFocus);
    setMinimumWidth(50);
    scrollBar_ = new QScrollBar(Qt::Horizontal, parent);
    connect(scrollBar_, &QScrollBar::actionTriggered, this, &Waview_ShapeView::OnScroll);
    observer_ = session_.Observe([this](unsigned c) {
        if (c & Session::kZoomArea) {
            bandActive_ = false;
            setCursor(session_.ZoomAreaOn() ? Qt::CrossCursor : Qt::ArrowCursor);
        }
        if (c & (Session::kWindow | Session::kCursors | Session::kRows | Session::kDisplay |
                 Session::kDocument | Session::kZoomArea))
            update();
    });
}

Waview_ShapeView::~Waview_ShapeView() { session_.Unobserve(observer_); }

void Waview_ShapeView::PaintTo(QPainter& p) {
    const Waview_ViewState& view = session_.View();
    p.fillRect(QRect(0, 0, view.width, view.height), Qt::black);
    const Waview_Cursors& cur = session_.Cursors();
    DrawGridAndAxis(p, view, cur.count, session_.TimescaleExponent(), font_);
    const int yAxis = view.height - (cur.count + 1) * kLineHeight;
    if (session_.HasDocument()) {
        session_.TrimSummaries();
        std::vector<Waview_ValueBox> boxes;
        {
            Waview_PainterSink sink(p, view.width);
            p.setClipRect(QRect(0, 0, view.width, yAxis));
            ForVisibleRows(&names_, session_.Doc(), this, [&](Waview_Hierarchy& row, int top, int bottom) {
                if (bottom >= yAxis) return false;
                DrawRowShape(row, session_.SummaryOf(row), view, RowRect{top, bottom}, sink, &boxes);
                return true;
            });
        }
        DrawValueBoxes(p, valueFont_, boxes);
        p.setClipping(false);
    }
    DrawCursors(p, view, cur, session_.TimescaleExponent(), font_);
    if (bandActive_) {
        p.setPen(QPen(Qt::white, 2));
        p.setBrush(Qt::NoBrush);
        const int l = std::min(bandX0_, bandX1_), r = std::max(bandX0_, bandX1_);
        p.drawRect(QRect(l, 1, std::max(1, r - l), view.height - 2));
    }
}

QImage Waview_ShapeView::Render() {
    const Waview_ViewState& view = session_.View();
    QImage img(std::max(1, view.width), std::max(1, view.height), QImage::Format_RGB32);
    QPainter p(&img);
    PaintTo(p);
    return img;
}

void Waview_ShapeView::paintEvent(QPaintEvent*) {
    UpdateScrollBar();
    QPainter p(this);
    PaintTo(p);
}

void Waview_ShapeView::resizeEvent(QResizeEvent*) {
    session_.Resize(width(), height());
    UpdateScrollBar();
}

void Waview_ShapeView::UpdateScrollBar() {
    const Waview_ViewState& view = session_.View();
    const int64_t end = session_.EndTime();
    const int64_t maxSteps = end > 0 ? end / std::max<int64_t>(1, view.stepTime) : 0;
    sbUnit_ = maxSteps > 1000000000 ? double(maxSteps) / 1000000000.0 : 1.0;
    const int max = static_cast<int>(double(maxSteps) / sbUnit_);
    const QSignalBlocker block(scrollBar_);
    scrollBar_->setRange(0, max);
    scrollBar_->setSingleStep(1);
    scrollBar_->setPageStep(std::max(1, max / 10));
    scrollBar_->setValue(
        static_cast<int>(double(view.start / std::max<int64_t>(1, view.stepTime)) / sbUnit_));
}

void Waview_ShapeView::OnScroll(int action) {
    const int max = scrollBar_->maximum();
    int pos = scrollBar_->value();
    const int page = max / 10;
    switch (action) {
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
        default: // single steps, thumb moves and tracking
            pos = scrollBar_->sliderPosition();
            break;
    }
    pos = std::clamp(pos, 0, max);
    scrollBar_->setSliderPosition(pos);
    session_.ScrollTo(static_cast<int64_t>(double(pos) * sbUnit_));
}

void Waview_ShapeView::mousePressEvent(QMouseEvent* e) {
    const QPoint pos = e->position().toPoint();
    if (e->button() == Qt::RightButton) {
        if (Waview_Hierarchy* row = names_.RowAt(this, pos))
            Q_EMIT popupRequested(e->globalPosition().toPoint(), row);
        return;
    }
    if (e->button() != Qt::LeftButton) return;
    if (session_.ZoomAreaOn()) {
        bandActive_ = true;
        bandX0_ = bandX1_ = pos.x();
        update();
        return;
    }
    if (session_.Cursors().count > 0) {
        dragging_ = true;
        session_.MoveNearestCursor(session_.View().TimeAt(pos.x()));
    }
}

void Waview_ShapeView::mouseMoveEvent(QMouseEvent* e) {
    const QPoint pos = e->position().toPoint();
    if (bandActive_) {
        bandX1_ = std::clamp(pos.x(), 0, std::max(0, width() - 1));
        update();
    } else if (dragging_ && (e->buttons() & Qt::LeftButton)) {
        session_.MoveActiveCursor(session_.View().TimeAt(pos.x()));
    }
}

void Waview_ShapeView::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return;
    dragging_ = false;
    if (!bandActive_) return;
    bandActive_ = false;
    // A click without a drag is no area: the mode stays for the next one
    // (and a double click there still finds transitions).
    if (std::abs(bandX1_ - bandX0_) < 2 || !session_.ZoomToArea(bandX0_, bandX1_)) update();
}

void Waview_ShapeView::mouseDoubleClickEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return;
    bandActive_ = false;
    Waview_Hierarchy* row = names_.RowAt(this, e->position().toPoint());
    if (!row) return;
    if (e->modifiers() & Qt::ShiftModifier)
        session_.PreviousTransition(*row);
    else
        session_.NextTransition(*row);
}

void Waview_ShapeView::wheelEvent(QWheelEvent* e) {
    const int d = e->angleDelta().y();
    if (d == 0) return;
    // Forward zooms out, backward in, around the time under the pointer.
    session_.ZoomAround(static_cast<int64_t>(e->position().x()), d < 0);
}

void Waview_ShapeView::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Escape && bandActive_) {
        bandActive_ = false;
        update();
        return;
    }
    if (e->key() == Qt::Key_F5) {
        Q_EMIT cursorKey(e->modifiers() & Qt::ShiftModifier);
        return;
    }
    QWidget::keyPressEvent(e);
}

bool Waview_ShapeView::event(QEvent* e) {
    if (e->type() == QEvent::ShortcutOverride) {
        // F5 and Shift+F5 add and remove cursors here, whatever the frame's
        // menus bind them to; Escape drops a zoom band.
        auto* ke = static_cast<QKeyEvent*>(e);
        if (ke->key() == Qt::Key_F5 || (ke->key() == Qt::Key_Escape && bandActive_)) {
            e->accept();
            return true;
        }
    }
    if (e->type() == QEvent::ToolTip) {
        auto* he = static_cast<QHelpEvent*>(e);
        Waview_Hierarchy* row = names_.RowAt(this, he->pos());
        if (row && session_.HasDocument()) {
            std::string text;
            row->ValueTextAt(text, session_.View().TimeAt(he->pos().x()));
            QToolTip::showText(he->globalPos(), QString::fromStdString(row->name + " = " + text), this);
        } else {
            QToolTip::hideText();
        }
        return true;
    }
    return QWidget::event(e);
}
