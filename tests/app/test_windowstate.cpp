#include <gtest/gtest.h>

#include <QApplication>
#include <QDockWidget>
#include <QSettings>
#include <QStatusBar>
#include <QToolBar>

#include "base/command_ids.h"
#include "frame/window_state.h"
#include "helpers.h"

using namespace korl;

namespace {

struct ScratchSettings {
    QTemporaryDir dir;
    QSettings settings{dir.filePath("korl.ini"), QSettings::IniFormat};
};

} // namespace

TEST(WindowState, PlacementRecordIs44Bytes) {
    WindowPlacement p;
    p.flags = WindowPlacement::kRestoreToMaximized;
    p.showCmd = WindowPlacement::kShowMaximized;
    p.normal = QRect(QPoint(10, 20), QPoint(809, 619));
    const QByteArray b = p.ToBytes();
    ASSERT_EQ(b.size(), 44);
    EXPECT_EQ(quint8(b[0]), 44);
    WindowPlacement q;
    ASSERT_TRUE(q.FromBytes(b));
    EXPECT_EQ(q.normal, p.normal);
    EXPECT_EQ(q.flags, p.flags);
    EXPECT_FALSE(q.FromBytes(b.left(40)));
}

TEST(WindowState, FirstStartKeepsTheDefaultLayout) {
    ScratchSettings s;
    Korl_MainFrame f(korltest::NoState());
    EXPECT_FALSE(RestoreWindowState(f, s.settings, QSize(1600, 1000)));
    EXPECT_TRUE(f.statusBar()->isVisibleTo(&f));
    EXPECT_EQ(f.dockWidgetArea(f.PaneDock(Korl_Pane::Compile)), Qt::BottomDockWidgetArea);
}

TEST(WindowState, RoundTripScalesToTheNewScreen) {
    ScratchSettings s;
    {
        Korl_MainFrame f(korltest::NoState());
        f.setGeometry(800, 100, 1000, 600);
        f.OnCommand(ID_VIEW_STATUS_BAR); // hidden
        f.removeDockWidget(f.PaneDock(Korl_Pane::Stack));
        f.addDockWidget(Qt::RightDockWidgetArea, f.PaneDock(Korl_Pane::Stack));
        f.PaneDock(Korl_Pane::Stack)->show();
        SaveWindowState(f, s.settings, QSize(1600, 1000));
    }
    s.settings.beginGroup("General");
    EXPECT_EQ(s.settings.value("SM_CXSCREEN").toInt(), 1600);
    s.settings.endGroup();

    Korl_MainFrame g(korltest::NoState());
    ASSERT_TRUE(RestoreWindowState(g, s.settings, QSize(800, 1000)));
    EXPECT_EQ(g.geometry().x(), 400);
    EXPECT_EQ(g.geometry().y(), 100);
    EXPECT_NEAR(g.geometry().width(), 500, 1);
    EXPECT_FALSE(g.statusBar()->isVisibleTo(&g));
    EXPECT_TRUE(g.ToolBar()->isVisibleTo(&g));
    EXPECT_EQ(g.dockWidgetArea(g.PaneDock(Korl_Pane::Stack)), Qt::RightDockWidgetArea);
}

// Docked panes keep their share of the window on a smaller screen.
TEST(WindowState, DockedPaneSizesScaleWithTheScreen) {
    ScratchSettings s;
    int savedWidth = 0, savedHeight = 0;
    {
        Korl_MainFrame f(korltest::NoState());
        f.setGeometry(0, 0, 1400, 900);
        f.show();
        QDockWidget* compile = f.PaneDock(Korl_Pane::Compile);
        QDockWidget* browser = f.PaneDock(Korl_Pane::ProjectBrowser);
        f.resizeDocks({browser}, {420}, Qt::Horizontal);
        f.resizeDocks({compile}, {300}, Qt::Vertical);
        QApplication::processEvents();
        savedWidth = browser->width();
        savedHeight = compile->height();
        SaveWindowState(f, s.settings, QSize(1600, 1000));
    }
    Korl_MainFrame g(korltest::NoState());
    ASSERT_TRUE(RestoreWindowState(g, s.settings, QSize(1200, 750)));
    g.show();
    QApplication::processEvents();
    EXPECT_NEAR(g.PaneDock(Korl_Pane::ProjectBrowser)->width(), savedWidth * 3 / 4, 12);
    EXPECT_NEAR(g.PaneDock(Korl_Pane::Compile)->height(), savedHeight * 3 / 4, 12);
}

TEST(WindowState, FrameSavesAtCloseAndRestoresAtStart) {
    {
        QSettings().clear();
        Korl_MainFrame f;
        f.show();
        f.OnCommand(ID_VIEW_TOOLBAR);
        f.close();
    }
    Korl_MainFrame g;
    EXPECT_FALSE(g.ToolBar()->isVisibleTo(&g));
    QSettings().clear();
}
