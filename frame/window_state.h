#pragma once
// Where the main window and its bars and panes were, kept between runs in
// QSettings (organisation "KORL"): group "General" holds the screen size at
// saving time, group "Main Window" the placement record, the bars'
// visibility and the dock layout. Positions saved on another screen size
// are scaled to the current one.
#include <QByteArray>
#include <QRect>
#include <QSize>

class QMainWindow;
class QSettings;

namespace korl {

// The main window's placement, stored as eleven little-endian 32-bit
// numbers (44 bytes): length, flags, show state, minimised position,
// maximised position, normal rectangle (left, top, right, bottom).
struct WindowPlacement {
    static constexpr int kSize = 44;
    static constexpr int kRestoreToMaximized = 2;
    static constexpr int kShowNormal = 1;
    static constexpr int kShowMaximized = 3;
    int flags = 0;
    int showCmd = kShowNormal;
    QPoint minPosition{-1, -1};
    QPoint maxPosition{-1, -1};
    QRect normal; // left, top, right, bottom as stored

    QByteArray ToBytes() const;
    // False for a record of the wrong length.
    bool FromBytes(const QByteArray& bytes);
};

// Horizontal and vertical ratios between the current screen and the one the
// state was saved on (1.0 where no usable size was saved).
struct ScreenRatios {
    double x = 1.0;
    double y = 1.0;
};
ScreenRatios ReadScreenRatios(QSettings& settings, QSize currentScreen);

void SaveWindowState(QMainWindow& window, QSettings& settings, QSize currentScreen);

// Applies the saved state; false when none was saved (the caller keeps its
// default layout). The window is not shown here.
bool RestoreWindowState(QMainWindow& window, QSettings& settings, QSize currentScreen);

} // namespace korl
