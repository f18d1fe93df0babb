#include "waview/qt/valueview.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

#include "waview/qt/nameview.h"
#include "waview/qt/wave_look.h"

Waview_ValueView::Waview_ValueView(Waview_WaveSession& session, const Waview_NameView& names, QWidget* parent)
    : QWidget(parent), session_(session), names_(names) {
    font_ = QFont("Arial");
    font_.setPixelSize(10);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumWidth(20);
    observer_ = session_.Observe([this](unsigned c) {
        if (c & (Waview_WaveSession::kCursors | Waview_WaveSession::kDisplay | Waview_WaveSession::kRows |
                 Waview_WaveSession::kDocument))
            update();
    });
}

Waview_ValueView::~Waview_ValueView() { session_.Unobserve(observer_); }

void Waview_ValueView::PaintTo(QPainter& p) {
    p.fillRect(rect(), Qt::black);
    p.setFont(font_);
    const int w = width();
    const Waview_Cursors& cursors = session_.Cursors();
    ForVisibleRows(&names_, session_.Doc(), this, [&](Waview_Hierarchy& row, int top, int bottom) {
        if (top >= height()) return false;
        p.setPen(QPen(QColor(128, 128, 128), 1));
        p.drawRect(QRect(-1, top, w + 1, bottom - top));
        if (cursors.HasActive()) {
            std::string text;
            row.ValueTextAt(text, cursors.ActiveTime());
            p.setPen(kWaveGreen);
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
    if (Waview_Hierarchy* row = names_.RowAt(this, e->position().toPoint()))
        Q_EMIT popupRequested(e->globalPosition().toPoint(), row);
}

bool Waview_ValueView::event(QEvent* e) {
    if (e->type() == QEvent::ToolTip) {
        auto* he = static_cast<QHelpEvent*>(e);
        Waview_Hierarchy* row = names_.RowAt(this, he->pos());
        QString tip;
        if (row && session_.Cursors().HasActive()) {
            std::string text;
            row->ValueTextAt(text, session_.Cursors().ActiveTime());
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
