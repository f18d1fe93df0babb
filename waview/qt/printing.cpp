#include "waview/qt/printing.h"

#include <algorithm>

#include <QPainter>
#include <QPrinter>
#include <QTreeWidget>

#include "waview/qt/tracepainter.h"
#include "waview/qt/wave_look.h"

namespace {

constexpr double kPageUnits = 1000; // the page's width in layout units
constexpr int kHeader = 28;
constexpr int kNameWidth = 190, kValueWidth = 110;
constexpr int kMinRowHeight = 12;

} // namespace

std::vector<Waview_PrintRow> ShownRows(const QTreeWidget& tree, const Waview_FileManager& doc) {
    std::vector<Waview_PrintRow> rows;
    QTreeWidgetItem* item = tree.itemAt(QPoint(1, 1));
    if (!item) item = tree.topLevelItemCount() > 0 ? tree.topLevelItem(0) : nullptr;
    for (; item; item = tree.itemBelow(item)) {
        Waview_Hierarchy* row = WaveRowOf(doc, item);
        if (!row) continue;
        int depth = 0;
        for (QTreeWidgetItem* up = item->parent(); up; up = up->parent()) ++depth;
        rows.push_back({row, depth});
    }
    return rows;
}

int PaintWavePage(QPainter& p, const QRectF& page, Waview_WaveSession& session,
                  const std::vector<Waview_PrintRow>& rows, const QString& title) {
    if (page.width() <= 0 || page.height() <= 0) return 0;
    p.save();
    const double scale = page.width() / kPageUnits;
    p.translate(page.topLeft());
    p.scale(scale, scale);
    const int width = int(kPageUnits);
    const int height = int(page.height() / scale);
    const int exponent = session.TimescaleExponent();
    const Waview_Cursors& cursors = session.Cursors();

    // The traces get the time range the window shows, fitted to the page.
    Waview_ViewState view = session.View();
    const int traceX = kNameWidth + kValueWidth;
    view.width = width - traceX;
    if (session.HasDocument() && view.end > view.start)
        view.SetWindow(view.start, std::max(view.start + 1, view.end), session.EndTime());

    QFont headerFont("Arial");
    headerFont.setPixelSize(14);
    p.setFont(headerFont);
    p.setPen(Qt::black);
    p.drawText(QRect(0, 0, width, kHeader - 6), Qt::AlignLeft | Qt::AlignVCenter,
               QString("%1    From:%2 - To:%3")
                   .arg(title, QString::fromStdString(TimeLabel(view.start, exponent)),
                        QString::fromStdString(TimeLabel(view.end, exponent))));

    const int bands = (cursors.count + 1) * kLineHeight; // axis and cursor rows
    const int room = height - kHeader - bands;
    int rowHeight = kLineHeight;
    int count = static_cast<int>(rows.size());
    if (count > 0 && room / count < rowHeight) rowHeight = std::max(kMinRowHeight, room / count);
    count = std::max(0, std::min(count, room / rowHeight));
    const int areaHeight = count * rowHeight + bands;
    view.height = areaHeight;

    p.translate(0, kHeader);
    p.fillRect(QRect(0, 0, width, areaHeight), Qt::black);
    QFont nameFont("Arial");
    nameFont.setPixelSize(std::min(12, rowHeight - 4));
    const QFont valueFont = WaveValueFont();
    std::vector<Waview_ValueBox> boxes;
    std::string text;
    for (int i = 0; i < count; ++i) {
        Waview_Hierarchy& row = *rows[size_t(i)].row;
        const int top = i * rowHeight;
        p.setPen(QPen(QColor(64, 64, 64), 1));
        p.drawLine(0, top + rowHeight - 1, traceX, top + rowHeight - 1);
        p.setPen(kWaveGreen);
        p.setFont(nameFont);
        const int indent = 4 + 10 * rows[size_t(i)].depth;
        p.drawText(QRect(indent, top, kNameWidth - indent - 4, rowHeight), Qt::AlignLeft | Qt::AlignVCenter,
                   QString::fromStdString(row.name));
        if (cursors.HasActive()) {
            row.ValueTextAt(text, cursors.ActiveTime());
            p.setFont(valueFont);
            p.drawText(QRect(kNameWidth + 2, top, kValueWidth - 4, rowHeight),
                       Qt::AlignLeft | Qt::AlignVCenter,
                       QFontMetrics(valueFont).elidedText(QString::fromStdString(text).trimmed(),
                                                          Qt::ElideRight, kValueWidth - 4));
        }
    }
    p.setPen(QPen(QColor(128, 128, 128), 1));
    p.drawLine(kNameWidth, 0, kNameWidth, areaHeight);
    p.drawLine(traceX, 0, traceX, areaHeight);

    p.translate(traceX, 0);
    const QFont axisFont = [] {
        QFont f("Times New Roman");
        f.setPixelSize(12);
        return f;
    }();
    p.setClipRect(QRect(0, 0, view.width, areaHeight));
    DrawGridAndAxis(p, view, cursors.count, exponent, axisFont);
    if (session.HasDocument()) {
        {
            Waview_PainterSink sink(p, view.width);
            for (int i = 0; i < count; ++i) {
                Waview_Hierarchy& row = *rows[size_t(i)].row;
                const int top = i * rowHeight;
                DrawRowShape(row, session.SummaryOf(row), view, RowRect{top, top + rowHeight}, sink, &boxes);
            }
        }
        DrawValueBoxes(p, valueFont, boxes);
    }
    DrawCursors(p, view, cursors, exponent, axisFont);
    p.restore();
    return count;
}

bool PrintWaves(QPrinter& printer, Waview_WaveSession& session, const std::vector<Waview_PrintRow>& rows,
                const QString& title) {
    printer.setDocName(kPrintCaption);
    QPainter p;
    if (!p.begin(&printer)) return false;
    const QRect page = printer.pageLayout().paintRectPixels(printer.resolution());
    PaintWavePage(p, QRectF(0, 0, page.width(), page.height()), session, rows, title);
    return p.end();
}
