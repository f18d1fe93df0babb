#pragma once
// What the wave window's views share: the black palette, the row and
// bookmark images, and the walk over the rows the name tree shows.
#include <QColor>
#include <QPalette>
#include <QPixmap>
#include <QTreeWidget>

#include "waview/model.h"

inline const QColor kWaveGreen(0, 255, 0);
// The tree items carry their row's index under this role.
inline constexpr int kWaveRowRole = Qt::UserRole + 1;

QPalette WaveBlackPalette();
// The four 16-pixel row images (state, integer, real, composite) and the ten
// 12-pixel bookmark images, drawn once.
const QPixmap& RowImage(int n);
const QPixmap& BookmarkImage(int n);
int RowImageIndex(const Waview_Hierarchy& row);

// The row of a tree item (its index under kWaveRowRole), or null.
Waview_Hierarchy* WaveRowOf(const Waview_FileManager& doc, const QTreeWidgetItem* item);

// Calls f(row, top, bottom) for the rows whose tree items are on screen, top
// to bottom, with their rectangles in the coordinates of `view`, until f
// returns false.
template <class F>
void ForVisibleRows(const QTreeWidget* tree, const Waview_FileManager& doc, const QWidget* view, F f) {
    if (!tree) return;
    const int dy = tree->viewport()->mapTo(tree->window(), QPoint(0, 0)).y() -
                   view->mapTo(view->window(), QPoint(0, 0)).y();
    for (QTreeWidgetItem* item = tree->itemAt(QPoint(1, 1)); item; item = tree->itemBelow(item)) {
        const QRect r = tree->visualItemRect(item);
        if (!r.isValid()) break;
        Waview_Hierarchy* row = WaveRowOf(doc, item);
        if (!row) continue;
        if (!f(*row, r.top() + dy, r.bottom() + 1 + dy)) break;
    }
}
