#include "frame/window_state.h"

#include <QDataStream>
#include <QIODevice>
#include <QDockWidget>
#include <QTabBar>
#include <QMainWindow>
#include <QSettings>
#include <QStatusBar>
#include <QToolBar>
#include <cmath>

namespace korl {
namespace {

constexpr const char* kGeneral = "General";
constexpr const char* kMainWindow = "Main Window";
constexpr int kLayoutVersion = 1;

int Scale(int v, double r) { return int(std::lround(v * r)); }

QRect ScaleRect(const QRect& r, ScreenRatios k) {
    return QRect(QPoint(Scale(r.left(), k.x), Scale(r.top(), k.y)),
                 QPoint(Scale(r.right(), k.x), Scale(r.bottom(), k.y)));
}

} // namespace

QByteArray WindowPlacement::ToBytes() const {
    QByteArray out;
    QDataStream s(&out, QIODevice::WriteOnly);
    s.setByteOrder(QDataStream::LittleEndian);
    s << qint32(kSize) << qint32(flags) << qint32(showCmd) << qint32(minPosition.x())
      << qint32(minPosition.y()) << qint32(maxPosition.x()) << qint32(maxPosition.y())
      << qint32(normal.left()) << qint32(normal.top()) << qint32(normal.right() + 1)
      << qint32(normal.bottom() + 1);
    return out;
}

bool WindowPlacement::FromBytes(const QByteArray& bytes) {
    if (bytes.size() != kSize) return false;
    QDataStream s(bytes);
    s.setByteOrder(QDataStream::LittleEndian);
    qint32 v[11];
    for (auto& x : v) s >> x;
    if (v[0] != kSize) return false;
    flags = v[1];
    showCmd = v[2];
    minPosition = QPoint(v[3], v[4]);
    maxPosition = QPoint(v[5], v[6]);
    normal = QRect(QPoint(v[7], v[8]), QPoint(v[9] - 1, v[10] - 1));
    return true;
}

ScreenRatios ReadScreenRatios(QSettings& settings, QSize currentScreen) {
    ScreenRatios r;
    settings.beginGroup(kGeneral);
    bool okX = false, okY = false;
    const int w = settings.value("SM_CXSCREEN").toInt(&okX);
    const int h = settings.value("SM_CYSCREEN").toInt(&okY);
    settings.endGroup();
    if (okX && w > 0 && currentScreen.width() > 0) r.x = double(currentScreen.width()) / w;
    if (okY && h > 0 && currentScreen.height() > 0) r.y = double(currentScreen.height()) / h;
    return r;
}

void SaveWindowState(QMainWindow& window, QSettings& settings, QSize currentScreen) {
    settings.beginGroup(kGeneral);
    settings.setValue("SM_CXSCREEN", currentScreen.width());
    settings.setValue("SM_CYSCREEN", currentScreen.height());
    settings.endGroup();

    WindowPlacement p;
    const bool maximized = window.isMaximized();
    p.flags = maximized ? WindowPlacement::kRestoreToMaximized : 0;
    // A minimised window comes back as a normal one.
    p.showCmd = maximized ? WindowPlacement::kShowMaximized : WindowPlacement::kShowNormal;
    p.normal = (window.isMaximized() || window.isMinimized() || window.isFullScreen())
                   ? window.normalGeometry()
                   : window.geometry();
    if (!p.normal.isValid()) p.normal = window.geometry();

    settings.remove(kMainWindow);
    settings.beginGroup(kMainWindow);
    settings.setValue("placement", p.ToBytes());
    settings.setValue("state", window.saveState(kLayoutVersion));
    settings.setValue("version", kLayoutVersion);
    for (QToolBar* bar : window.findChildren<QToolBar*>(Qt::FindDirectChildrenOnly)) {
        settings.beginGroup(bar->objectName());
        settings.setValue("visible", bar->isHidden() ? 0 : 1);
        settings.endGroup();
    }
    if (QStatusBar* bar = window.findChild<QStatusBar*>(QString(), Qt::FindDirectChildrenOnly)) {
        settings.beginGroup(bar->objectName());
        settings.setValue("visible", bar->isHidden() ? 0 : 1);
        settings.endGroup();
    }
    for (QDockWidget* dock : window.findChildren<QDockWidget*>(Qt::FindDirectChildrenOnly)) {
        // Qt's own layout record keeps pane sizes and floating rectangles
        // unscaled; ours scale with the screen.
        settings.beginGroup(dock->objectName());
        if (dock->isFloating()) {
            settings.setValue("placement", dock->geometry());
            settings.remove("docked");
        } else if (dock->isVisible()) {
            settings.setValue("docked", dock->size());
        } else {
            settings.remove("docked");
        }
        settings.endGroup();
    }
    settings.endGroup();
    settings.sync();
}

bool RestoreWindowState(QMainWindow& window, QSettings& settings, QSize currentScreen) {
    const ScreenRatios k = ReadScreenRatios(settings, currentScreen);
    settings.beginGroup(kMainWindow);
    if (settings.allKeys().isEmpty()) {
        settings.endGroup();
        return false;
    }
    WindowPlacement p;
    if (p.FromBytes(settings.value("placement").toByteArray()) && p.normal.isValid()) {
        window.setGeometry(ScaleRect(p.normal, k));
        if (p.flags & WindowPlacement::kRestoreToMaximized || p.showCmd == WindowPlacement::kShowMaximized)
            window.setWindowState(window.windowState() | Qt::WindowMaximized);
    }
    if (settings.value("version").toInt() == kLayoutVersion)
        window.restoreState(settings.value("state").toByteArray(), kLayoutVersion);

    for (QToolBar* bar : window.findChildren<QToolBar*>(Qt::FindDirectChildrenOnly)) {
        const QString key = bar->objectName() + "/visible";
        if (settings.contains(key)) bar->setVisible(settings.value(key).toInt() != 0);
    }
    if (QStatusBar* bar = window.findChild<QStatusBar*>(QString(), Qt::FindDirectChildrenOnly)) {
        const QString key = bar->objectName() + "/visible";
        if (settings.contains(key)) bar->setVisible(settings.value(key).toInt() != 0);
    }
    QList<QDockWidget*> across, down; // sized by width, by height
    QList<int> widths, heights;
    for (QDockWidget* dock : window.findChildren<QDockWidget*>(Qt::FindDirectChildrenOnly)) {
        const QString key = dock->objectName() + "/placement";
        if (dock->isFloating() && settings.contains(key)) {
            const QRect r = settings.value(key).toRect();
            if (r.isValid()) dock->setGeometry(ScaleRect(r, k));
            continue;
        }
        const QSize docked = settings.value(dock->objectName() + "/docked").toSize();
        if (dock->isFloating() || !docked.isValid()) continue;
        const Qt::DockWidgetArea area = window.dockWidgetArea(dock);
        // A tabbed pane's group is its size plus the tab bar's.
        int tabBar = 0;
        if (!window.tabifiedDockWidgets(dock).isEmpty())
            for (QTabBar* bar : window.findChildren<QTabBar*>(Qt::FindDirectChildrenOnly))
                tabBar = std::max(tabBar, bar->sizeHint().height());
        if (area == Qt::LeftDockWidgetArea || area == Qt::RightDockWidgetArea) {
            across << dock;
            widths << std::max(1, Scale(docked.width(), k.x));
        } else if (area == Qt::TopDockWidgetArea || area == Qt::BottomDockWidgetArea) {
            down << dock;
            heights << std::max(1, Scale(docked.height(), k.y) + tabBar);
        }
    }
    if (!across.isEmpty()) window.resizeDocks(across, widths, Qt::Horizontal);
    if (!down.isEmpty()) window.resizeDocks(down, heights, Qt::Vertical);
    settings.endGroup();
    return true;
}

} // namespace korl
