#include "frame/arrange.h"

#include <QMdiArea>
#include <QMdiSubWindow>

#include <algorithm>

void Korl_ArrangeMinimizedChildren(QMdiArea* area) {
    if (!area) return;
    const QRect space = area->viewport()->rect();
    int x = 0;
    int bottom = space.bottom() + 1;
    int rowHeight = 0;
    for (QMdiSubWindow* child : area->subWindowList(QMdiArea::CreationOrder)) {
        if (!child->isMinimized() || !child->isVisible()) continue;
        const QSize size = child->size();
        if (x > 0 && x + size.width() > space.width()) {
            // Next row above this one.
            bottom -= rowHeight;
            x = 0;
            rowHeight = 0;
        }
        child->move(x, bottom - size.height());
        x += size.width();
        rowHeight = std::max(rowHeight, size.height());
    }
}
