#include "frame/icons.h"

#include <QHash>
#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace korl {
namespace {

// Palette shared by all glyphs.
const QColor kInk(0x37, 0x41, 0x51);
const QColor kPaper(0xFF, 0xFF, 0xFF);
const QColor kPaperEdge(0x6B, 0x72, 0x80);
const QColor kBlue(0x25, 0x63, 0xEB);
const QColor kGreen(0x16, 0xA3, 0x4A);
const QColor kRed(0xDC, 0x26, 0x26);
const QColor kAmber(0xD9, 0x77, 0x06);
const QColor kFolder(0xF2, 0xC1, 0x4E);
const QColor kFolderEdge(0xB4, 0x83, 0x12);

QPen Pen(const QColor& c, qreal w = 1.2) { return QPen(c, w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin); }

void Page(QPainter& p, QRectF r = QRectF(3.5, 1.5, 9, 13)) {
    QPainterPath path;
    const qreal fold = 3;
    path.moveTo(r.left(), r.top());
    path.lineTo(r.right() - fold, r.top());
    path.lineTo(r.right(), r.top() + fold);
    path.lineTo(r.right(), r.bottom());
    path.lineTo(r.left(), r.bottom());
    path.closeSubpath();
    p.setPen(Pen(kPaperEdge, 1));
    p.setBrush(kPaper);
    p.drawPath(path);
    p.drawLine(QPointF(r.right() - fold, r.top()), QPointF(r.right() - fold, r.top() + fold));
    p.drawLine(QPointF(r.right() - fold, r.top() + fold), QPointF(r.right(), r.top() + fold));
}

void TextLines(QPainter& p, qreal x0, qreal x1, qreal y0, int n) {
    p.setPen(Pen(QColor(0xA0, 0xA8, 0xB5), 1));
    for (int i = 0; i < n; ++i) p.drawLine(QPointF(x0, y0 + 2 * i), QPointF(x1 - (i % 2) * 1.5, y0 + 2 * i));
}

void Folder(QPainter& p, QRectF r = QRectF(1.5, 3.5, 13, 10)) {
    QPainterPath path;
    path.moveTo(r.left(), r.top() + 1);
    path.lineTo(r.left() + 4.5, r.top() + 1);
    path.lineTo(r.left() + 5.5, r.top() + 2.5);
    path.lineTo(r.right(), r.top() + 2.5);
    path.lineTo(r.right(), r.bottom());
    path.lineTo(r.left(), r.bottom());
    path.closeSubpath();
    p.setPen(Pen(kFolderEdge, 1));
    p.setBrush(kFolder);
    p.drawPath(path);
}

void Badge(QPainter& p, const QColor& c, bool plus, QPointF at = QPointF(12, 12)) {
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawEllipse(at, 3.6, 3.6);
    p.setPen(Pen(Qt::white, 1.4));
    p.drawLine(at + QPointF(-2, 0), at + QPointF(2, 0));
    if (plus) p.drawLine(at + QPointF(0, -2), at + QPointF(0, 2));
}

void Arrow(QPainter& p, QPointF from, QPointF to, const QColor& c, qreal w = 1.6) {
    p.setPen(Pen(c, w));
    p.drawLine(from, to);
    QLineF l(to, from);
    QLineF a = l;
    a.setLength(3.2);
    a.setAngle(l.angle() + 35);
    QLineF b = l;
    b.setLength(3.2);
    b.setAngle(l.angle() - 35);
    p.drawLine(a);
    p.drawLine(b);
}

void Floppy(QPainter& p, QRectF r) {
    p.setPen(Pen(QColor(0x1E, 0x3A, 0x8A), 1));
    p.setBrush(kBlue);
    p.drawRoundedRect(r, 1.2, 1.2);
    p.setPen(Qt::NoPen);
    p.setBrush(kPaper);
    p.drawRect(QRectF(r.left() + r.width() * 0.2, r.top() + 1, r.width() * 0.6, r.height() * 0.38));
    p.setBrush(QColor(0xDB, 0xE4, 0xF5));
    p.drawRect(QRectF(r.left() + r.width() * 0.25, r.bottom() - r.height() * 0.38, r.width() * 0.5,
                      r.height() * 0.38 - 0.8));
}

void Magnifier(QPainter& p) {
    p.setPen(Pen(kInk, 1.4));
    p.setBrush(QColor(0xE0, 0xF2, 0xFE));
    p.drawEllipse(QPointF(6.5, 6.5), 4.6, 4.6);
    p.setPen(Pen(kInk, 2.4));
    p.drawLine(QPointF(10, 10), QPointF(14.3, 14.3));
}

void TimeCursor(QPainter& p) {
    p.setPen(Pen(kAmber, 1.6));
    p.drawLine(QPointF(6, 1.5), QPointF(6, 14.5));
    p.setPen(Pen(kInk, 1));
    p.drawPolyline(QPolygonF(
        {QPointF(1, 11), QPointF(3, 11), QPointF(3, 5), QPointF(9, 5), QPointF(9, 11), QPointF(11, 11)}));
}

void Paint(const QString& name, QPainter& p) {
    if (name == "new") {
        Page(p);
        TextLines(p, 5.5, 10.5, 7, 3);
    } else if (name == "open") {
        Folder(p);
        Arrow(p, QPointF(8, 11), QPointF(12.5, 4), kGreen, 1.6);
    } else if (name == "newproject" || name == "openproject") {
        // A project is a box of files.
        p.setPen(Pen(QColor(0x1E, 0x3A, 0x8A), 1));
        p.setBrush(QColor(0x93, 0xC5, 0xFD));
        p.drawRect(QRectF(1.5, 6.5, 10, 8));
        p.setBrush(QColor(0xBF, 0xDB, 0xFE));
        p.drawPolygon(QPolygonF({QPointF(1.5, 6.5), QPointF(4, 3.5), QPointF(14, 3.5), QPointF(11.5, 6.5)}));
        p.setBrush(QColor(0x60, 0xA5, 0xFA));
        p.drawPolygon(
            QPolygonF({QPointF(11.5, 6.5), QPointF(14, 3.5), QPointF(14, 11.5), QPointF(11.5, 14.5)}));
        if (name == "newproject") {
            p.setPen(Pen(kAmber, 1.3));
            p.drawLine(QPointF(4, 0.8), QPointF(4, 3));
            p.drawLine(QPointF(1.5, 1.5), QPointF(3, 2.6));
            p.drawLine(QPointF(6.5, 1.5), QPointF(5, 2.6));
        } else {
            Arrow(p, QPointF(6.5, 12), QPointF(6.5, 7.8), kGreen, 1.5);
        }
    } else if (name == "addnew") {
        Page(p, QRectF(2.5, 1.5, 9, 12));
        TextLines(p, 4.5, 9.5, 6, 2);
        Badge(p, kGreen, true);
    } else if (name == "addexisting") {
        Page(p, QRectF(2.5, 1.5, 9, 12));
        TextLines(p, 4.5, 9.5, 6, 3);
        Arrow(p, QPointF(15, 12), QPointF(9.5, 12), kBlue, 1.6);
    } else if (name == "save") {
        Floppy(p, QRectF(2, 2, 12, 12));
    } else if (name == "saveall") {
        Floppy(p, QRectF(1, 1, 9.5, 9.5));
        Floppy(p, QRectF(5.5, 5.5, 9.5, 9.5));
    } else if (name == "print") {
        p.setPen(Pen(kPaperEdge, 1));
        p.setBrush(kPaper);
        p.drawRect(QRectF(4.5, 1.5, 7, 5));
        p.setBrush(QColor(0x9C, 0xA3, 0xAF));
        p.setPen(Pen(kInk, 1));
        p.drawRoundedRect(QRectF(1.5, 6, 13, 6), 1.2, 1.2);
        p.setBrush(kPaper);
        p.setPen(Pen(kPaperEdge, 1));
        p.drawRect(QRectF(4.5, 10, 7, 4.5));
        p.setPen(Pen(kGreen, 1.2));
        p.drawPoint(QPointF(12.5, 8));
    } else if (name == "cut") {
        p.setPen(Pen(kInk, 1.3));
        p.drawLine(QPointF(4.5, 1.5), QPointF(10, 10));
        p.drawLine(QPointF(11.5, 1.5), QPointF(6, 10));
        p.setBrush(Qt::NoBrush);
        p.setPen(Pen(kRed, 1.4));
        p.drawEllipse(QPointF(5, 12), 2.4, 2.4);
        p.drawEllipse(QPointF(11, 12), 2.4, 2.4);
    } else if (name == "copy") {
        Page(p, QRectF(1.5, 1.5, 8, 10));
        Page(p, QRectF(6.5, 5.5, 8, 9.5));
        TextLines(p, 8.5, 12.5, 9.5, 2);
    } else if (name == "paste") {
        p.setPen(Pen(QColor(0x78, 0x35, 0x0F), 1));
        p.setBrush(QColor(0xC2, 0x8B, 0x4E));
        p.drawRoundedRect(QRectF(2, 2.5, 10, 12), 1, 1);
        p.setBrush(QColor(0x9C, 0xA3, 0xAF));
        p.drawRect(QRectF(4.5, 1.5, 5, 2.5));
        Page(p, QRectF(6.5, 5.5, 8, 9.5));
        TextLines(p, 8.5, 12.5, 9.5, 2);
    } else if (name == "delete") {
        p.setPen(Pen(kRed, 2.4));
        p.drawLine(QPointF(4, 4), QPointF(12, 12));
        p.drawLine(QPointF(12, 4), QPointF(4, 12));
    } else if (name == "undo" || name == "redo") {
        if (name == "redo") {
            p.translate(16, 0);
            p.scale(-1, 1);
        }
        QPainterPath path;
        path.moveTo(4, 7);
        path.cubicTo(QPointF(7, 3.5), QPointF(14, 4.5), QPointF(13, 10.5));
        path.cubicTo(QPointF(12.4, 13), QPointF(10, 13.8), QPointF(8.5, 13.8));
        p.setBrush(Qt::NoBrush);
        p.setPen(Pen(kBlue, 1.8));
        p.drawPath(path);
        p.setPen(Qt::NoPen);
        p.setBrush(kBlue);
        p.drawPolygon(QPolygonF({QPointF(1.5, 3), QPointF(7, 7.2), QPointF(1.5, 9.5)}));
    } else if (name == "compile") {
        Page(p, QRectF(1.5, 1.5, 9, 12));
        TextLines(p, 3.5, 8.5, 6, 3);
        Arrow(p, QPointF(10, 6.5), QPointF(10, 14.5), kBlue, 1.7);
    } else if (name == "build") {
        // Stacked bricks.
        p.setPen(Pen(QColor(0x7C, 0x2D, 0x12), 1));
        p.setBrush(QColor(0xEA, 0x58, 0x0C));
        p.drawRect(QRectF(1.5, 10.5, 6, 4));
        p.drawRect(QRectF(8.5, 10.5, 6, 4));
        p.drawRect(QRectF(5, 6, 6, 4));
        p.setBrush(QColor(0xFB, 0x92, 0x3C));
        p.drawRect(QRectF(8.5, 1.5, 6, 4));
    } else if (name == "stopbuild") {
        QPolygonF oct;
        for (int i = 0; i < 8; ++i) {
            double a = (22.5 + 45 * i) * 3.14159265 / 180;
            oct << QPointF(8 + 6.6 * std::cos(a), 8 + 6.6 * std::sin(a));
        }
        p.setPen(Pen(QColor(0x99, 0x1B, 0x1B), 1));
        p.setBrush(kRed);
        p.drawPolygon(oct);
        p.setPen(Pen(Qt::white, 1.8));
        p.drawLine(QPointF(5, 8), QPointF(11, 8));
    } else if (name == "elaborate") {
        // A module hierarchy.
        p.setPen(Pen(kInk, 1));
        p.drawLine(QPointF(8, 5.5), QPointF(8, 8));
        p.drawLine(QPointF(4, 8), QPointF(12, 8));
        p.drawLine(QPointF(4, 8), QPointF(4, 10.5));
        p.drawLine(QPointF(12, 8), QPointF(12, 10.5));
        p.setBrush(QColor(0x7C, 0x3A, 0xED));
        p.drawRect(QRectF(5, 1.5, 6, 4));
        p.setBrush(QColor(0xA7, 0x8B, 0xFA));
        p.drawRect(QRectF(1.5, 10.5, 5, 4));
        p.drawRect(QRectF(9.5, 10.5, 5, 4));
    } else if (name == "debug") {
        p.setPen(Pen(QColor(0x14, 0x53, 0x2D), 1));
        p.setBrush(kGreen);
        p.drawPolygon(QPolygonF({QPointF(4, 2), QPointF(14, 8), QPointF(4, 14)}));
    } else if (name == "stopdebug") {
        p.setPen(Pen(QColor(0x99, 0x1B, 0x1B), 1));
        p.setBrush(kRed);
        p.drawRoundedRect(QRectF(3, 3, 10, 10), 1.2, 1.2);
    } else if (name == "breakpoint") {
        p.setPen(Pen(QColor(0x99, 0x1B, 0x1B), 1));
        p.setBrush(kRed);
        p.drawEllipse(QPointF(8, 8), 5, 5);
    } else if (name == "stepinto" || name == "stepover" || name == "stepout" || name == "runtocursor") {
        TextLines(p, 2, 14, 13, 1);
        p.setPen(Pen(kInk, 1.2));
        p.setBrush(kInk);
        if (name == "stepinto") {
            p.drawEllipse(QPointF(8, 13.5), 1.2, 1.2);
            Arrow(p, QPointF(8, 1.5), QPointF(8, 10.5), kBlue);
        } else if (name == "stepover") {
            p.drawEllipse(QPointF(8, 13.5), 1.2, 1.2);
            QPainterPath path;
            path.moveTo(2.5, 12);
            path.cubicTo(QPointF(3, 2), QPointF(13, 2), QPointF(13.2, 10));
            p.setBrush(Qt::NoBrush);
            p.setPen(Pen(kBlue, 1.6));
            p.drawPath(path);
            Arrow(p, QPointF(13.2, 9), QPointF(13.2, 12), kBlue);
        } else if (name == "stepout") {
            p.drawEllipse(QPointF(8, 13.5), 1.2, 1.2);
            Arrow(p, QPointF(8, 11), QPointF(8, 1.5), kBlue);
        } else {
            p.setPen(Pen(kInk, 1.4));
            p.drawLine(QPointF(12, 3), QPointF(12, 13));
            Arrow(p, QPointF(1.5, 8), QPointF(10, 8), kBlue);
        }
    } else if (name == "zoomin" || name == "zoomout" || name == "zoomfull" || name == "zoomarea") {
        Magnifier(p);
        p.setPen(Pen(kInk, 1.3));
        if (name == "zoomin" || name == "zoomout") p.drawLine(QPointF(4.5, 6.5), QPointF(8.5, 6.5));
        if (name == "zoomin") p.drawLine(QPointF(6.5, 4.5), QPointF(6.5, 8.5));
        if (name == "zoomfull") {
            p.setPen(Pen(kInk, 1));
            p.drawLine(QPointF(3.5, 6.5), QPointF(9.5, 6.5));
            Arrow(p, QPointF(6.5, 6.5), QPointF(3.5, 6.5), kInk, 1);
            Arrow(p, QPointF(6.5, 6.5), QPointF(9.5, 6.5), kInk, 1);
        }
        if (name == "zoomarea") {
            QPen dash(kInk, 1, Qt::DotLine);
            p.setPen(dash);
            p.setBrush(Qt::NoBrush);
            p.drawRect(QRectF(4, 4.5, 5, 4));
        }
    } else if (name == "addcursor" || name == "removecursor") {
        TimeCursor(p);
        Badge(p, name == "addcursor" ? kGreen : kRed, name == "addcursor");
    } else if (name == "korl") {
        // The program's own mark: a chip with a waveform across it.
        p.setPen(Pen(QColor(0x1E, 0x3A, 0x8A), 1));
        p.setBrush(QColor(0x25, 0x63, 0xEB));
        p.drawRoundedRect(QRectF(1.5, 1.5, 13, 13), 2.5, 2.5);
        p.setPen(Pen(Qt::white, 1.5));
        p.setBrush(Qt::NoBrush);
        p.drawPolyline(QPolygonF({QPointF(3, 10.5), QPointF(5.5, 10.5), QPointF(5.5, 5.5), QPointF(9, 5.5),
                                  QPointF(9, 10.5), QPointF(11, 10.5), QPointF(11, 5.5), QPointF(13, 5.5)}));
    } else if (name == "about") {
        p.setPen(Qt::NoPen);
        p.setBrush(kBlue);
        p.drawEllipse(QPointF(8, 8), 6.5, 6.5);
        p.setPen(Pen(Qt::white, 1.9));
        p.drawLine(QPointF(8, 7), QPointF(8, 11.8));
        p.drawPoint(QPointF(8, 4.3));
    }
}

class KorlIconEngine : public QIconEngine {
public:
    explicit KorlIconEngine(QString name) : name_(std::move(name)) {}
    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override {
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->translate(rect.topLeft());
        const qreal s = std::min(rect.width(), rect.height()) / 16.0;
        painter->scale(s, s);
        if (mode == QIcon::Disabled) painter->setOpacity(0.35);
        Paint(name_, *painter);
        painter->restore();
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        QPixmap pm(size);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        paint(&p, QRect(QPoint(0, 0), size), mode, state);
        return pm;
    }
    QIconEngine* clone() const override { return new KorlIconEngine(name_); }

private:
    QString name_;
};

} // namespace

QIcon KorlIcon(const QString& name) {
    if (name.isEmpty()) return {};
    return QIcon(new KorlIconEngine(name));
}

} // namespace korl
