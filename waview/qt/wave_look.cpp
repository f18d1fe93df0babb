#include "waview/qt/wave_look.h"

#include <array>

#include <QPainter>
#include <QPainterPath>

QPalette WaveBlackPalette() {
    QPalette pal;
    for (auto role : {QPalette::Base, QPalette::Window, QPalette::AlternateBase})
        pal.setColor(role, Qt::black);
    for (auto role : {QPalette::Text, QPalette::WindowText, QPalette::ButtonText})
        pal.setColor(role, kWaveGreen);
    pal.setColor(QPalette::Highlight, QColor(0, 96, 0));
    pal.setColor(QPalette::HighlightedText, Qt::white);
    return pal;
}

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

Waview_Hierarchy* WaveRowOf(const Waview_FileManager& doc, const QTreeWidgetItem* item) {
    if (!item) return nullptr;
    bool ok = false;
    const int i = item->data(0, kWaveRowRole).toInt(&ok);
    return ok ? doc.Row(i) : nullptr;
}

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
                    p.setPen(QPen(kWaveGreen, 1));
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
