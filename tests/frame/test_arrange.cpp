#include <gtest/gtest.h>

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTest>

#include "frame/arrange.h"

// Arrange Icons lines up the minimised windows along the bottom and leaves
// the others where the user put them.
TEST(ArrangeIcons, MinimisedWindowsInRowsAlongTheBottomOthersUntouched) {
    QMdiArea area;
    area.resize(500, 400);
    area.show();
    QList<QMdiSubWindow*> children;
    for (int i = 0; i < 5; ++i) {
        QMdiSubWindow* child = area.addSubWindow(new QWidget);
        child->setGeometry(20 * i, 10 * i, 200, 150);
        child->show();
        children << child;
    }
    const QRect normal = children[2]->geometry();
    for (int i : {0, 1, 3, 4}) children[i]->showMinimized();
    Korl_ArrangeMinimizedChildren(&area);

    EXPECT_EQ(children[2]->geometry(), normal);
    const int bottom = area.viewport()->rect().bottom() + 1;
    QList<QRect> icons;
    for (int i : {0, 1, 3, 4}) icons << children[i]->geometry();
    EXPECT_EQ(icons[0].bottom() + 1, bottom);
    EXPECT_EQ(icons[0].left(), 0);
    EXPECT_EQ(icons[1].left(), icons[0].right() + 1); // same row, next to it
    for (int a = 0; a < icons.size(); ++a) {
        EXPECT_TRUE(area.viewport()->rect().contains(icons[a])) << a;
        for (int b = a + 1; b < icons.size(); ++b)
            EXPECT_FALSE(icons[a].intersects(icons[b])) << a << " " << b;
    }
}
