#include "waview/qt/extraview.h"

#include <QPainter>

#include "waview/qt/wave_look.h"

using Session = Waview_WaveSession;

Waview_ExtraView::Waview_ExtraView(Waview_WaveSession& session, QWidget* parent)
    : QWidget(parent), session_(session) {
    font_ = QFont("Arial");
    font_.setPixelSize(11);
    setAttribute(Qt::WA_OpaquePaintEvent);
    observer_ = session_.Observe([this](unsigned c) {
        if (c & (Session::kWindow | Session::kCursors | Session::kBookmarks | Session::kDocument)) update();
    });
}

Waview_ExtraView::~Waview_ExtraView() { session_.Unobserve(observer_); }

void Waview_ExtraView::PaintTo(QPainter& p) {
    const int w = width(), h = height();
    p.fillRect(rect(), Qt::black);
    p.setFont(font_);
    const Waview_ViewState& v = session_.View();
    const int e = session_.TimescaleExponent();
    const int top0 = 2;
    p.setPen(kWaveGreen);
    p.drawText(
        QRect(2, top0 + 2, 4000, kLineHeight - 4), Qt::AlignLeft | Qt::AlignVCenter,
        QString("From:%1 - To:%2")
            .arg(QString::fromStdString(TimeLabel(v.start, e)), QString::fromStdString(TimeLabel(v.end, e))));
    const Waview_Cursors& c = session_.Cursors();
    for (int k = 0; k < c.count; ++k) {
        const int i = c.count - 1 - k;
        const int top = top0 + (k + 1) * kLineHeight;
        p.setPen(QPen(QColor(128, 128, 128), 1));
        p.drawRect(QRect(0, top, w - 1, kLineHeight));
        p.setPen(i == c.active ? QColor(255, 0, 0) : QColor(0, 255, 255));
        p.drawText(
            QRect(2, top + 2, 4000, kLineHeight - 4), Qt::AlignLeft | Qt::AlignVCenter,
            QString("Cursor %1:%2").arg(i).arg(QString::fromStdString(TimeLabel(c.times[size_t(i)], e))));
    }
    // Overview strip: the visible range within the whole dump and the bookmarks.
    const int sb = stripHeight_;
    const int stripTop = h - sb;
    p.setPen(QPen(QColor(112, 112, 112), 1));
    p.drawLine(0, h - 2, w, h - 2);
    const int64_t endTime = session_.EndTime();
    const double total = double(endTime) - double(v.start) + double(v.end);
    if (endTime > 0 && total > 0) {
        const int xs = int(std::clamp(double(v.start) / total * w, -1.0, double(w)));
        const int xe = int(std::clamp(double(v.end) / total * w, -1.0, double(w)));
        p.fillRect(QRect(QPoint(xs, stripTop + 3), QPoint(std::max(xs, xe), h - 4)), QColor(0, 70, 0));
        p.setPen(QPen(kWaveGreen, 1));
        p.drawLine(xs, stripTop + 1, xs, h - 2);
        p.drawLine(xe, stripTop + 1, xe, h - 2);
        for (int n = 0; n < 10; ++n) {
            const Waview_Bookmark& b = session_.Bookmark(n);
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
