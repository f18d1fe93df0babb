// The model headers come before any Qt header (a member is named "signals").
#include "scparse/elaborate.h"
#include "scparse/qt/browsericons.h"

#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QtMath>

namespace {

using namespace scparse;

QPainterPath Arrow(qreal x0, qreal x1, qreal y) {
    // A right-pointing arrow from x0 to x1 on the row y.
    QPainterPath p;
    p.moveTo(x0, y - 1.2);
    p.lineTo(x1 - 4, y - 1.2);
    p.lineTo(x1 - 4, y - 3.8);
    p.lineTo(x1, y);
    p.lineTo(x1 - 4, y + 3.8);
    p.lineTo(x1 - 4, y + 1.2);
    p.lineTo(x0, y + 1.2);
    p.closeSubpath();
    return p;
}

void Chip(QPainter& p, QRectF body, QColor fill) {
    // A package with two pins on each side.
    p.setPen(QPen(QColor(60, 60, 60), 1.0));
    for (qreal y : {body.top() + body.height() * 0.3, body.top() + body.height() * 0.7}) {
        p.drawLine(QPointF(body.left() - 2, y), QPointF(body.left(), y));
        p.drawLine(QPointF(body.right(), y), QPointF(body.right() + 2, y));
    }
    p.setBrush(fill);
    p.setPen(QPen(fill.darker(170), 1.0));
    p.drawRoundedRect(body, 1.5, 1.5);
}

void PortBar(QPainter& p, qreal x, QColor c) {
    // The module edge a port sits on.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(90, 90, 90));
    p.drawRect(QRectF(x, 2, 2, 12));
    Q_UNUSED(c);
}

void Gear(QPainter& p, QPointF c, qreal outer, qreal inner, int teeth, QColor fill) {
    QPainterPath path;
    const int points = teeth * 4;
    for (int i = 0; i < points; ++i) {
        const qreal a = 2 * M_PI * i / points;
        const qreal r = (i % 4 < 2) ? outer : inner;
        const QPointF pt(c.x() + r * qCos(a), c.y() + r * qSin(a));
        if (i == 0)
            path.moveTo(pt);
        else
            path.lineTo(pt);
    }
    path.closeSubpath();
    QPainterPath hole;
    hole.addEllipse(c, inner * 0.45, inner * 0.45);
    p.setBrush(fill);
    p.setPen(QPen(fill.darker(160), 0.8));
    p.drawPath(path.subtracted(hole));
}

void Letter(QPainter& p, const QString& text, QRectF box, QColor color, bool italic = false) {
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(int(box.height()));
    f.setBold(true);
    f.setItalic(italic);
    p.setFont(f);
    p.setPen(color);
    p.drawText(box, Qt::AlignCenter, text);
}

// Paints one image into the 16x16 logical square.
void PaintImage(QPainter& p, int image) {
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    switch (image) {
        case kImageMain: {
            // The top of the design: a dark chip with a start triangle.
            Chip(p, QRectF(2.5, 1.5, 11, 13), QColor(40, 70, 150));
            QPainterPath play;
            play.moveTo(6, 4.5);
            play.lineTo(11.5, 8);
            play.lineTo(6, 11.5);
            play.closeSubpath();
            p.setPen(Qt::NoPen);
            p.setBrush(Qt::white);
            p.drawPath(play);
            break;
        }
        case kImageUnused:
            p.setPen(QPen(QColor(160, 160, 160), 1.0, Qt::DotLine));
            p.setBrush(Qt::NoBrush);
            p.drawRect(QRectF(3.5, 3.5, 9, 9));
            break;
        case kImageInPort: {
            // Arrow entering the module edge on the right.
            PortBar(p, 12, {});
            p.setPen(QPen(QColor(20, 100, 30), 0.8));
            p.setBrush(QColor(50, 170, 60));
            p.drawPath(Arrow(1, 12, 8));
            break;
        }
        case kImageOutPort: {
            // Arrow leaving the module edge on the left.
            PortBar(p, 2, {});
            p.setPen(QPen(QColor(150, 50, 10), 0.8));
            p.setBrush(QColor(230, 110, 30));
            p.drawPath(Arrow(4, 15, 8));
            break;
        }
        case kImageInoutPort: {
            PortBar(p, 7, {});
            QPainterPath both = Arrow(8.5, 15.5, 8);
            QTransform mirror;
            mirror.translate(16, 0);
            mirror.scale(-1, 1);
            both.addPath(mirror.map(Arrow(8.5, 15.5, 8)));
            p.setPen(QPen(QColor(90, 30, 120), 0.8));
            p.setBrush(QColor(150, 70, 190));
            p.drawPath(both);
            break;
        }
        case kImageSignal: {
            // A wire carrying a pulse.
            QPainterPath wave;
            wave.moveTo(1, 11);
            wave.lineTo(4.5, 11);
            wave.lineTo(4.5, 4.5);
            wave.lineTo(10.5, 4.5);
            wave.lineTo(10.5, 11);
            wave.lineTo(15, 11);
            p.setBrush(Qt::NoBrush);
            p.setPen(QPen(QColor(20, 90, 200), 1.8, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
            p.drawPath(wave);
            break;
        }
        case kImageProcess:
            Gear(p, QPointF(8, 8), 7.2, 5.2, 8, QColor(200, 140, 30));
            break;
        case kImageModule:
            Chip(p, QRectF(3, 2.5, 10, 11), QColor(40, 150, 150));
            break;
        case kImageFunction:
            Letter(p, QStringLiteral("f"), QRectF(0, 0, 16, 15), QColor(120, 40, 150), true);
            p.setPen(QPen(QColor(120, 40, 150), 1.0));
            p.drawArc(QRectF(0.5, 2, 5, 12), 100 * 16, 160 * 16);
            p.drawArc(QRectF(10.5, 2, 5, 12), -80 * 16, 160 * 16);
            break;
        case kImageObject: {
            // A small box seen from above: a member object.
            QPainterPath top, left, right;
            top.moveTo(8, 1.5);
            top.lineTo(14, 4.5);
            top.lineTo(8, 7.5);
            top.lineTo(2, 4.5);
            top.closeSubpath();
            left.moveTo(2, 4.5);
            left.lineTo(8, 7.5);
            left.lineTo(8, 14.5);
            left.lineTo(2, 11.5);
            left.closeSubpath();
            right.moveTo(14, 4.5);
            right.lineTo(8, 7.5);
            right.lineTo(8, 14.5);
            right.lineTo(14, 11.5);
            right.closeSubpath();
            p.setPen(QPen(QColor(100, 60, 20), 0.7));
            p.setBrush(QColor(230, 190, 120));
            p.drawPath(top);
            p.setBrush(QColor(200, 150, 80));
            p.drawPath(left);
            p.setBrush(QColor(170, 120, 60));
            p.drawPath(right);
            break;
        }
        case kImagePort: {
            // An interface socket on the module edge.
            PortBar(p, 12, {});
            p.setPen(QPen(QColor(30, 90, 160), 1.6));
            p.setBrush(Qt::NoBrush);
            p.drawLine(QPointF(7, 8), QPointF(12, 8));
            p.drawArc(QRectF(1.5, 3, 10, 10), 90 * 16, 180 * 16);
            break;
        }
        case kImageExport: {
            // An interface ball offered out of the module edge.
            PortBar(p, 2, {});
            p.setPen(QPen(QColor(30, 90, 160), 1.6));
            p.drawLine(QPointF(4, 8), QPointF(8, 8));
            p.setBrush(QColor(90, 160, 230));
            p.drawEllipse(QRectF(8, 4, 7, 8));
            break;
        }
        case kImageClock: {
            p.setPen(QPen(QColor(50, 50, 50), 1.2));
            p.setBrush(QColor(255, 250, 225));
            p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
            p.setPen(QPen(QColor(50, 50, 50), 0.8));
            for (int h = 0; h < 12; h += 3) {
                const qreal a = 2 * M_PI * h / 12;
                p.drawLine(QPointF(8 + 5.3 * qCos(a), 8 + 5.3 * qSin(a)),
                           QPointF(8 + 6.2 * qCos(a), 8 + 6.2 * qSin(a)));
            }
            p.setPen(QPen(QColor(20, 20, 20), 1.3, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(8, 8), QPointF(8, 3.8));
            p.drawLine(QPointF(8, 8), QPointF(11, 9.5));
            break;
        }
        case kImageClass: {
            // A class box with its name, member and function compartments.
            p.setPen(QPen(QColor(120, 100, 20), 1.0));
            p.setBrush(QColor(250, 225, 110));
            p.drawRect(QRectF(2.5, 1.5, 11, 13));
            p.drawLine(QPointF(2.5, 6), QPointF(13.5, 6));
            p.drawLine(QPointF(2.5, 10.5), QPointF(13.5, 10.5));
            break;
        }
        case kImageInstance: {
            // A module with a copy behind it: one use of a module type.
            Chip(p, QRectF(5.5, 1.5, 8.5, 8.5), QColor(140, 200, 200));
            Chip(p, QRectF(2.5, 6, 8.5, 8.5), QColor(30, 130, 130));
            break;
        }
        default:
            break;
    }
}

class BrowserIconEngine : public QIconEngine {
public:
    explicit BrowserIconEngine(int image) : image_(image) {}
    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override {
        painter->save();
        painter->translate(rect.topLeft());
        painter->scale(rect.width() / 16.0, rect.height() / 16.0);
        if (mode == QIcon::Disabled) painter->setOpacity(0.4);
        PaintImage(*painter, image_);
        painter->restore();
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return scaledPixmap(size, mode, state, 1.0);
    }
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state, qreal scale) override {
        // QIcon passes the size in device pixels already: drawn at that
        // size, a 2x screen gets 32 real pixels for a 16-pixel icon.
        QPixmap pm(size);
        pm.fill(Qt::transparent);
        {
            QPainter p(&pm);
            paint(&p, QRect(QPoint(0, 0), pm.size()), mode, state);
        }
        pm.setDevicePixelRatio(scale);
        return pm;
    }
    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override { return size; }
    QIconEngine* clone() const override { return new BrowserIconEngine(image_); }
    QString key() const override { return QStringLiteral("KorlBrowserIcon"); }

private:
    int image_;
};

} // namespace

QIcon Korl_BrowserIcon(int image) { return QIcon(new BrowserIconEngine(image)); }

QImage Korl_BrowserImage(int image, int pixels) {
    QImage img(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.scale(pixels / 16.0, pixels / 16.0);
    PaintImage(p, image);
    return img;
}
