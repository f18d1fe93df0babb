#pragma once
// The waveform area: grid and time axis, the traces of the shown rows, the
// cursors and the distances between them, and the zoom-area band.
#include <QFont>
#include <QImage>
#include <QWidget>

#include "waview/wave_session.h"

class QScrollBar;
class Waview_NameView;

class Waview_ShapeView : public QWidget {
    Q_OBJECT
public:
    Waview_ShapeView(Waview_WaveSession& session, const Waview_NameView& names, QWidget* parent);
    ~Waview_ShapeView() override;
    // Paints the whole view; the same code serves the widget, images and tests.
    void PaintTo(QPainter& p);
    QImage Render();
    QScrollBar* ScrollBar() const { return scrollBar_; }
    bool BandActive() const { return bandActive_; }

Q_SIGNALS:
    // A right press on a row: the shape popup for it.
    void popupRequested(const QPoint& globalPos, Waview_Hierarchy* row);
    // F5 and Shift+F5.
    void cursorKey(bool remove);

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    bool event(QEvent* e) override;

private:
    void UpdateScrollBar();
    void OnScroll(int action);
    Waview_WaveSession& session_;
    const Waview_NameView& names_;
    int observer_ = 0;
    QScrollBar* scrollBar_ = nullptr;
    QFont font_;
    QFont valueFont_;
    bool bandActive_ = false;
    int bandX0_ = 0, bandX1_ = 0;
    bool dragging_ = false;
    double sbUnit_ = 1; // grid steps per scroll-bar unit (large dumps)
};
